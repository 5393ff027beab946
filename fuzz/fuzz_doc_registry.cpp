// QLRegistry.dat as it may lie on disk: any bytes. Reading the sections of a
// few users must stay in bounds, and what is read must write back to a file
// that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/link_file.h"
#include "text/doc_registry.h"

namespace {

// Inputs beyond this size add nothing but time (sections are sorted by
// insertion).
constexpr size_t kMaxInput = 1 << 16;

// The users to read: fixed names and the first names the file's own section
// lines give, each once.
std::vector<std::string> userNames(std::string_view text) {
    std::vector<std::string> names = {"Jo", "Ann", ""};
    size_t at = 0;
    while (names.size() < 8 && at < text.size()) {
        size_t end = text.find('\n', at);
        std::string_view line =
            text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        size_t close = line.find(']');
        if (line.empty() || line[0] != '[' || close == std::string_view::npos) continue;
        std::string name(line.substr(1, close - 1));
        bool seen = false;
        for (const std::string& n : names) seen = seen || n == name;
        if (!seen) names.push_back(name);
    }
    return names;
}

// The file text as the registry writes it to disk: line feeds as CR LF.
std::string onDisk(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string loadAndWrite(const std::string& fileText, const std::vector<std::string>& names) {
    foundation::LinkFileText file(fileText);
    std::vector<text::DocUserEntry> users;
    for (const std::string& name : names) {
        text::DocUserEntry user;
        user.name = name;
        user.entries = text::readDocSection(file, name);
        users.push_back(std::move(user));
    }
    return onDisk(text::serializeDocUsers(users));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = userNames(input);
    std::string once = loadAndWrite(input, names);
    std::string twice = loadAndWrite(once, names);
    if (once != twice) std::abort();

    // Single lines: a parsed entry with a path formats to a line that parses
    // to the same entry.
    text::ParsedDocLine first, again;
    if (text::parseDocLinkLine(input, first) && first.complete && input.find('\n') == std::string::npos) {
        std::string line = text::formatDocLinkLine(first.entry);
        line.pop_back();
        if (!text::parseDocLinkLine(line, again) || !again.complete ||
            again.entry.pcPath != first.entry.pcPath || again.entry.name() != first.entry.name() ||
            again.entry.category != first.entry.category ||
            again.entry.syncTimeHigh != first.entry.syncTimeHigh)
            std::abort();
    }
    return 0;
}
