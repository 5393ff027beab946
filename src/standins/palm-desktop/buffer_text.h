// palm-desktop/buffer_text.h - a text into a caller's buffer, as both
// modules answer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "palm_modules.h"

namespace palmdesktop {

// Copies text and its NUL when they fit capacity; else sets needed.
template <typename Size>
int32_t putText(const std::string& text, char* buffer, Size* size) {
    if (!buffer || !size || *size < 0) return kPalmBadArgument;
    const size_t needed = text.size() + 1;
    if (needed > size_t(*size)) {
        *size = needed > size_t(INT16_MAX) && sizeof(Size) == 2 ? Size(INT16_MAX) : Size(needed);
        return kPalmBufferTooSmall;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *size = Size(text.size());
    return kPalmOk;
}

}  // namespace palmdesktop
