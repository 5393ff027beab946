// One Doc text record as it may lie in a database: any bytes, any capacity,
// any compression value. The decoder must stay inside the record and the
// room it is given and agree with a plain token-by-token decoder; and any
// bytes taken as text must come back from an encoding after line-end
// conversion.
//
// Input: byte 0 selects the compression (1, 2 or another value), bytes 1-2
// the capacity (big-endian), the rest is the record.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/doc_codec.h"
#include "text/doc_format.h"

#include "doc_reference.h"  // tests/text: the token-by-token decoder

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
    std::vector<uint8_t> expect;
    if (compression == text::kCompressionPlain)
        expect.assign(record, record + std::min(length, capacity));
    else if (compression == text::kCompressionDoc)
        expect = docref::simpleDecode({record, record + length}, capacity);
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
