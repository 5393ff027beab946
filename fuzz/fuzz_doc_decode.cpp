// One Doc text record as it may lie in a database: any bytes, any capacity,
// any compression value. The decoder must stay inside the record and the
// room it is given and agree with a plain token-by-token decoder; and any
// bytes taken as text must come back from an encoding after line-end
// conversion.
//
// Input: byte 0 selects the compression (1, 2 or another value), bytes 1-2
// the capacity (big-endian), the rest is the record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/doc_codec.h"
#include "text/doc_format.h"

namespace {

// Token by token, every rule spelled out; a token that cannot be decoded
// whole ends the record.
std::vector<uint8_t> plainDecode(const uint8_t* in, size_t n, uint8_t compression, size_t capacity) {
    std::vector<uint8_t> out;
    if (compression == text::kCompressionPlain) return std::vector<uint8_t>(in, in + std::min(n, capacity));
    if (compression != text::kCompressionDoc) return out;
    size_t i = 0;
    while (i < n && out.size() < capacity) {
        uint8_t b = in[i++];
        if (b == 0) {
            out.push_back(0);
        } else if (b <= 8) {
            if (n - i < b) break;
            for (size_t k = 0; k < b && out.size() < capacity; ++k) out.push_back(in[i + k]);
            i += b;
        } else if (b < 0x80) {
            out.push_back(b == 0x0D ? 0x20 : b);
        } else if (b < 0xC0) {
            if (i >= n) break;
            unsigned v = (unsigned(b & 0x3F) << 8) | in[i++];
            size_t d = v >> 3, len = (v & 7) + 3;
            if (d == 0 || d > out.size()) break;
            for (size_t k = 0; k < len && out.size() < capacity; ++k) out.push_back(out[out.size() - d]);
        } else {
            out.push_back(0x20);
            if (out.size() < capacity) out.push_back(b & 0x7F);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t selector = data[0];
    const uint8_t compression = selector % 3 == 0   ? text::kCompressionDoc
                                : selector % 3 == 1 ? text::kCompressionPlain
                                                    : uint8_t(selector);
    const size_t capacity = (size_t(data[1]) << 8) | data[2];
    const uint8_t* record = data + 3;
    const size_t length = size - 3;

    // Exactly the capacity, so that any write past it is caught.
    std::vector<uint8_t> out(capacity);
    size_t n = text::decodeDocRecord({record, length}, compression, out);
    if (n > capacity) std::abort();
    std::vector<uint8_t> expect = plainDecode(record, length, compression, capacity);
    if (expect.size() != n || (n && std::memcmp(expect.data(), out.data(), n) != 0)) std::abort();

    // The record's bytes as the text of a record: encode, decode, compare.
    std::vector<uint8_t> textBytes(record, record + std::min(length, text::kTextRecordSize));
    std::vector<uint8_t> encoded(text::encodeBound(textBytes.size()));
    auto size2 = text::encodeDocRecord(textBytes, text::kCompressionDoc, encoded);  // converts textBytes
    if (!size2 || *size2 > encoded.size()) std::abort();
    std::vector<uint8_t> back(text::kTextRecordSize);
    bool intact = false;
    size_t m = text::decodeDocRecord({encoded.data(), *size2}, text::kCompressionDoc, back, &intact);
    if (!intact || m != textBytes.size() || (m && std::memcmp(back.data(), textBytes.data(), m) != 0))
        std::abort();
    return 0;
}
