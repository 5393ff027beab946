// platform/byteorder.h - the one place that knows byte orders.
//
// Big-endian (Palm files) and little-endian (Windows host order, the order of
// the add-in records and of the OLE string's byte count) loads and stores,
// built from shifts on unsigned bytes. Nothing else in the code reads a number
// through a cast pointer. It lives in the platform layer because the byte
// strings need it; the core code uses it through foundation/byteorder.h.
#pragma once

#include <cstdint>
#include <cstring>

namespace platform {

inline uint16_t loadBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t loadBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint64_t loadBE64(const uint8_t* p) { return (uint64_t(loadBE32(p)) << 32) | loadBE32(p + 4); }
inline void storeBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void storeBE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline void storeBE64(uint8_t* p, uint64_t v) {
    storeBE32(p, uint32_t(v >> 32));
    storeBE32(p + 4, uint32_t(v));
}

inline uint16_t loadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t loadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void storeLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void storeLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// IEEE 754 doubles stored big-endian.
inline double loadBEDouble(const uint8_t* p) {
    uint64_t bits = loadBE64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline void storeBEDouble(uint8_t* p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    storeBE64(p, bits);
}

}  // namespace platform
