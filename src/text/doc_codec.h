// text/doc_codec.h - encoding and decoding of one Palm Doc text record.
//
// Token stream (compression byte 2):
//   first byte   meaning
//   0x00         the byte 0x00
//   0x01..0x08   c: the next c bytes, copied as they stand
//   0x09..0x7F   the byte itself (0x0D decodes as a space)
//   0x80..0xBF   back-reference, two bytes: v = ((b0 & 0x3F) << 8) | b1,
//                distance v >> 3 (1..2047), length (v & 7) + 3 (3..10),
//                copied byte by byte (may overlap its own output)
//   0xC0..0xFF   a space followed by the byte b0 & 0x7F (0x40..0x7F)
//
// The encoder's output is fixed byte for byte (docs/palm-doc.md explains the
// match search, its tie-break and the literal rule). encodeDocRecord finds the
// same matches as the plain window scan, only faster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace text {

// Decoding limits of the token stream.
namespace token {
constexpr uint8_t kRunFirst = 0x01, kRunLast = 0x08;
constexpr uint8_t kLiteralFirst = 0x09, kLiteralLast = 0x7F;
constexpr uint8_t kBackRefFirst = 0x80, kBackRefLast = 0xBF;
constexpr uint8_t kSpacePairFirst = 0xC0;
constexpr uint8_t kBackRefMask = 0x3F;
constexpr size_t kMaxRun = 8;
constexpr size_t kMaxDistance = 2047;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 10;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;
}  // namespace token

// Room an encoding of length bytes may need (every byte escaped, plus one
// held space) before the escaped literals are merged.
constexpr size_t encodeBound(size_t length) { return 2 * length + 1; }

// Line-end conversion, in place: CR before LF becomes a space, every other
// CR (also one that ends the record) becomes LF.
void convertLineEnds(std::span<uint8_t> bytes);

// Converts the record's line ends in place, then encodes it: with compression
// byte 2 as the token stream, with any other value as the converted bytes.
// Returns the encoded size, or nothing when the text is longer than 8192
// bytes or out holds fewer than encodeBound(text.size()) bytes.
std::optional<size_t> encodeDocRecord(std::span<uint8_t> text, uint8_t compression, std::span<uint8_t> out);

// Decodes one record into out (its size is the capacity: the DocHeader's
// record size). Compression 1 copies the bytes; 2 reads the token stream
// until the record or the room ends; any other value produces nothing.
// A token that cannot be decoded whole - a run or back-reference cut off by
// the end of the record, or a back-reference of distance 0 or reaching before
// the start of the output - ends the record: the bytes decoded before it are
// kept, and intact (when given) is set false; otherwise true. Never reads
// outside the record, never writes outside out. Returns the number of bytes
// written.
size_t decodeDocRecord(std::span<const uint8_t> record, uint8_t compression, std::span<uint8_t> out,
                       bool* intact = nullptr);

}  // namespace text
