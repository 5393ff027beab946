// Message boxes, and the choice of backend: the headless one (standard
// error, safe answers) here, the scripted one in ui_script.cpp. They need no
// window system; their few OS calls are in ui_native.h.
#include "platform/ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/ui_native.h"
#include "platform/ui_script.h"

namespace platform::ui {
namespace {

std::string describe(const MessageBox& box) { return oneLine(box.caption) + ": " + oneLine(box.text); }

class HeadlessBackend final : public Backend {
public:
    Answer messageBox(const MessageBox& box) override {
        native::writeStandardError(describe(box) + "\n");
        return safeAnswer(box.buttons);
    }
    std::optional<std::string> chooseFile(const FileChooser&) override {
        native::writeStandardError("file chooser: no display\n");
        return std::nullopt;
    }
};

std::unique_ptr<Backend> g_chosen;    // from BRIGHTFOLD_UI, made on first use
std::unique_ptr<Backend> g_replaced;  // set by setBackend

}  // namespace

Backend& currentBackend() {
    if (g_replaced) return *g_replaced;
    if (!g_chosen) {
        const char* kind = std::getenv("BRIGHTFOLD_UI");
        if (kind && std::string(kind) == "scripted")
            g_chosen = makeScriptedBackendFromEnvironment();
        else
            g_chosen = std::make_unique<HeadlessBackend>();  // no GUI backend yet
    }
    return *g_chosen;
}

Answer safeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return IdOk;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return IdNo;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            return IdCancel;
        case Buttons::AbortRetryIgnore:
            return IdAbort;  // stops, never repeats or skips
    }
    return IdCancel;
}

Answer messageBox(Window owner, std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    MessageBox box;
    box.owner = owner;
    box.text = std::string(text);
    box.caption = std::string(caption);
    box.buttons = buttons;
    box.icon = icon;
    return currentBackend().messageBox(box);
}

void setBackend(std::unique_ptr<Backend> backend) { g_replaced = std::move(backend); }

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

}  // namespace platform::ui
