#include "text/doc_format.h"

#include <algorithm>

#include "foundation/pdb.h"

namespace text {

uint16_t docDbVersion() { return foundation::parseVersionText(kVersionText); }

std::optional<DocHeader> parseDocHeader(std::span<const uint8_t> record0) {
    if (record0.size() < dochdr::kSize) return std::nullopt;
    const uint8_t* p = record0.data();
    DocHeader h;
    h.compression = p[dochdr::kCompressionOffset];
    h.spare = foundation::loadBE16(p + dochdr::kSpareOffset);
    h.textLength = foundation::loadBE32(p + dochdr::kTextLengthOffset);
    h.recordCount = foundation::loadBE16(p + dochdr::kRecordCountOffset);
    h.recordSize = foundation::loadBE16(p + dochdr::kRecordSizeOffset);
    h.position = foundation::loadBE32(p + dochdr::kPositionOffset);
    return h;
}

void storeDocHeader(const DocHeader& header, std::span<uint8_t> out) {
    uint8_t* p = out.data();
    p[dochdr::kReservedOffset] = 0;
    p[dochdr::kCompressionOffset] = header.compression;
    foundation::storeBE16(p + dochdr::kSpareOffset, header.spare);
    foundation::storeBE32(p + dochdr::kTextLengthOffset, header.textLength);
    foundation::storeBE16(p + dochdr::kRecordCountOffset, header.recordCount);
    foundation::storeBE16(p + dochdr::kRecordSizeOffset, header.recordSize);
    foundation::storeBE32(p + dochdr::kPositionOffset, header.position);
}

size_t textRecordCount(uint64_t textLength) {
    return size_t((textLength + kTextRecordSize - 1) / kTextRecordSize);
}

void buildDocHeader(uint32_t textLength, uint16_t n, uint16_t lastLength, std::span<uint8_t> out) {
    DocHeader h;
    h.compression = kCompressionDoc;
    h.spare = dochdr::kSpareValue;
    h.textLength = textLength;
    h.recordCount = n;
    h.recordSize = uint16_t(kTextRecordSize);
    storeDocHeader(h, out);
    for (size_t i = 0; i < n; ++i) {
        uint16_t len = i + 1 == n ? lastLength : uint16_t(kTextRecordSize);
        foundation::storeBE16(out.data() + dochdr::kLengthsOffset + 2 * i, len);
    }
}

}  // namespace text
