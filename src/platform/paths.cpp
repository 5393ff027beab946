// Path helpers that need no OS: the separator comes from platform_os.h.
#include "platform/files.h"

namespace platform {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    // '/' ends a folder on Windows too, which accepts both separators.
    if (!out.empty() && out.back() != kPathSeparator && out.back() != '/') out += kPathSeparator;
    out += name;
    return out;
}

size_t fileNameStart(std::string_view path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? 0 : cut + 1;
}

std::string_view fileNamePart(std::string_view path) { return path.substr(fileNameStart(path)); }

}  // namespace platform
