// Path helpers that need no OS: the separator comes from platform_os.h.
#include "platform/files.h"

namespace platform {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != kPathSeparator) out += kPathSeparator;
    out += name;
    return out;
}

}  // namespace platform
