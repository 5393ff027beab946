// foundation/byteorder.h - byte order for the core code.
//
// The load and store helpers live in platform/byteorder.h (the byte strings
// need them too); this header gives them to the core code under foundation::
// and adds the Palm four-character codes.
#pragma once

#include <cstdint>

#include "platform/byteorder.h"

namespace foundation {

using platform::loadBE16;
using platform::loadBE32;
using platform::loadBE64;
using platform::loadBEDouble;
using platform::loadLE16;
using platform::loadLE32;
using platform::storeBE16;
using platform::storeBE32;
using platform::storeBE64;
using platform::storeBEDouble;
using platform::storeLE16;
using platform::storeLE32;

// Four ASCII characters as the 32-bit number a Palm header holds ("Data" is
// 0x44617461).
constexpr uint32_t fourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

}  // namespace foundation
