#include "foundation/file_names.h"

#include "platform/files.h"
#include "platform/text.h"

#include <vector>

namespace foundation {

namespace {

bool isReservedOnWindows(char c) {
    return c != '\0' && std::string_view(":*?\"<>|").find(c) != std::string_view::npos;
}

// A digit 1 to 9, or the superscript 1, 2 or 3 of the ANSI code page, which
// Windows reads as digits in device names too.
bool isDeviceDigit(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (c >= '1' && c <= '9') || u == 0xB9 || u == 0xB2 || u == 0xB3;
}

// Windows opens a device for these whatever follows the first dot, and
// ignores spaces before that dot.
bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (platform::sameNoCase(base, device)) return true;
    if (base.size() != 4 || !isDeviceDigit(base[3])) return false;
    const std::string_view stem = base.substr(0, 3);
    return platform::sameNoCase(stem, "COM") || platform::sameNoCase(stem, "LPT");
}

}  // namespace

bool isSafeFileNamePart(std::string_view name, FileNameRules rules) {
    if (name.empty() || name == "." || name == "..") return false;
    const bool windows = rules == FileNameRules::Windows;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
        if (windows && isReservedOnWindows(c)) return false;
    }
    if (!windows) return true;
    // Windows drops a trailing dot or space, so the file would get another name.
    if (name.back() == '.' || name.back() == ' ') return false;
    return !isDeviceName(name);
}

bool hasCaseTwin(const std::string& path) {
    const size_t start = platform::fileNameStart(path);
    const std::string_view name = std::string_view(path).substr(start);
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(start == 0 ? std::string(".") : path.substr(0, start), entries))
        return false;
    for (const platform::DirEntry& entry : entries)
        if (entry.name != name && platform::sameNoCase(entry.name, name)) return true;
    return false;
}

}  // namespace foundation
