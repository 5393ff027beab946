// text/doc_format.h - the Palm Doc database as textlink writes and reads it.
//
// A Palm database (foundation/pdb.h) of type "TEXt", creator "REAd". With n
// text records (n >= 1), big-endian throughout:
//   offset              size            content
//   0                   78              database header: name = output file's base
//                                       name without ".pdb" (31 characters at most),
//                                       version 70, both dates 0x75541D36, type/creator
//                                       "TEXt"/"REAd", numRecords n + 1, rest 0
//   78                  8 * (n + 1)     record list: offset, attribute 0, unique ID 0
//   78 + 8 * (n + 1)    2               two zero bytes
//   80 + 8 * (n + 1)    16 + 2 * n      record 0, the DocHeader (below)
//   next                ...             text records 1..n, encoded, back to back
//
// DocHeader (record 0):
//   off size  written                              read
//    0   1    0                                    -
//    1   1    compression 2                        must be 1 (plain) or 2 (encoded)
//    2   2    3                                    -
//    4   4    total text length (uncompressed)     -
//    8   2    n, the number of text records        must be non-zero
//   10   2    record size 8192                     must be non-zero; the most text
//                                                  bytes one record decodes to
//   12   4    current position 0                   -
//   16   2*n  uncompressed length of each record   - (other writers omit it)
//             (8192 but for the last)
//
// Text record k holds document bytes (k-1)*8192 .. k*8192-1 after line-end
// conversion, encoded on its own (doc_codec.h). Records after n (bookmarks of
// other writers) are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "foundation/byteorder.h"

namespace text {

constexpr uint32_t kDocType = foundation::fourCC("TEXt");
constexpr uint32_t kDocCreator = foundation::fourCC("REAd");

// The product version text; its digits give the database version (70).
constexpr std::string_view kVersionText = "7.0";
uint16_t docDbVersion();

namespace dochdr {
constexpr size_t kReservedOffset = 0;     // 1 byte, written 0
constexpr size_t kCompressionOffset = 1;  // 1 byte
constexpr size_t kSpareOffset = 2;        // 2 bytes, written 3
constexpr size_t kTextLengthOffset = 4;   // 4 bytes
constexpr size_t kRecordCountOffset = 8;  // 2 bytes
constexpr size_t kRecordSizeOffset = 10;  // 2 bytes
constexpr size_t kPositionOffset = 12;    // 4 bytes, written 0
constexpr size_t kLengthsOffset = 16;     // 2 bytes per text record
constexpr size_t kSize = 16;              // the part every reader needs
constexpr uint16_t kSpareValue = 3;
}  // namespace dochdr

// Compression byte values.
constexpr uint8_t kCompressionPlain = 1;
constexpr uint8_t kCompressionDoc = 2;

// Text bytes per record written by this library.
constexpr size_t kTextRecordSize = 8192;
// n + 1 records must fit the 16-bit record count of the container.
constexpr size_t kMaxTextRecords = 65534;

// Record 0 fields, host values.
struct DocHeader {
    uint8_t compression = 0;
    uint16_t spare = 0;
    uint32_t textLength = 0;
    uint16_t recordCount = 0;
    uint16_t recordSize = 0;
    uint32_t position = 0;
};

// Bytes of record 0 written for n text records.
constexpr size_t docHeaderSize(size_t n) { return dochdr::kSize + 2 * n; }

// Reads the 16 fixed bytes of record 0; nothing when the record is shorter.
std::optional<DocHeader> parseDocHeader(std::span<const uint8_t> record0);

// Writes the 16 fixed bytes of record 0 (out must hold 16 bytes).
void storeDocHeader(const DocHeader& header, std::span<uint8_t> out);

// Number of 8192-byte text records for a text of this length (0 for none).
size_t textRecordCount(uint64_t textLength);

// Record 0 as this library writes it for n text records: compression 2,
// spare 3, record size 8192, position 0, then the length array (8192 for
// every record but the last, which gets lastLength). out must hold
// docHeaderSize(n) bytes.
void buildDocHeader(uint32_t textLength, uint16_t n, uint16_t lastLength, std::span<uint8_t> out);

}  // namespace text
