// Running dialogs and file choosers through the process's ui backend, and
// what a backend that cannot show them answers.
#include "platform/dialog.h"

#include <string>

#include "platform/ui_native.h"

namespace platform::ui {

int Backend::runDialog(Window, DialogController& controller) {
    native::writeStandardError("dialog " + std::to_string(controller.spec().resourceId) + ": no display\n");
    return IdCancel;
}

std::optional<std::string> Backend::chooseFile(const FileChooser&) { return std::nullopt; }

WaitCursor::WaitCursor() { native::beginWaitCursor(); }
WaitCursor::~WaitCursor() { native::endWaitCursor(); }

int runDialog(Window owner, DialogController& controller) {
    return currentBackend().runDialog(owner, controller);
}

std::optional<std::string> chooseFile(const FileChooser& chooser) {
    return currentBackend().chooseFile(chooser);
}

std::vector<FileFilter> parseFileFilter(std::string_view filter) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string_view::npos) bar = filter.size();
        fields.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<FileFilter> out;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty()) break;  // the "||" that ends the list
        FileFilter entry{std::string(fields[i]), {}};
        std::string_view patterns = fields[i + 1];
        size_t from = 0;
        while (from <= patterns.size()) {
            size_t semi = patterns.find(';', from);
            if (semi == std::string_view::npos) semi = patterns.size();
            if (semi > from) entry.patterns.emplace_back(patterns.substr(from, semi - from));
            from = semi + 1;
        }
        if (entry.patterns.empty()) break;
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace platform::ui
