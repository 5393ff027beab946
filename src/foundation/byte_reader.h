// foundation/byte_reader.h - a bounds-checked cursor over bytes.
//
// Reads a run of fields and checks once: every read past the end returns 0
// and clears the sticky ok() flag, so a parser reads its fields and then asks
// whether they were all there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "foundation/byteorder.h"

namespace foundation {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    bool ok() const { return ok_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
    size_t size() const { return size_; }

    // Moves to an absolute offset; past the end clears ok().
    void seek(size_t offset) {
        if (offset > size_)
            fail();
        else
            pos_ = offset;
    }
    void skip(size_t n) {
        if (!has(n))
            fail();
        else
            pos_ += n;
    }
    uint8_t u8() { return has(1) ? data_[pos_++] : (fail(), 0); }
    uint16_t be16() { return take(2) ? loadBE16(data_ + pos_ - 2) : 0; }
    uint32_t be32() { return take(4) ? loadBE32(data_ + pos_ - 4) : 0; }
    double beDouble() { return take(8) ? loadBEDouble(data_ + pos_ - 8) : 0.0; }
    uint16_t le16() { return take(2) ? loadLE16(data_ + pos_ - 2) : 0; }
    uint32_t le32() { return take(4) ? loadLE32(data_ + pos_ - 4) : 0; }
    // n bytes as a span (empty and !ok() when they are not all there).
    std::span<const uint8_t> bytes(size_t n) {
        if (!take(n)) return {};
        return {data_ + pos_ - n, n};
    }

private:
    bool has(size_t n) const { return ok_ && n <= size_ - pos_; }
    bool take(size_t n) {
        if (!has(n)) {
            fail();
            return false;
        }
        pos_ += n;
        return true;
    }
    void fail() { ok_ = false; }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace foundation
