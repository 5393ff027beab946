#include "text/doc_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "text/doc_format.h"

namespace text {

namespace {

constexpr size_t kNoRun = size_t(-1);

inline bool needsEscape(uint8_t c) { return (c >= token::kRunFirst && c <= token::kRunLast) || c >= 0x80; }

// Writes tokens with the literal rule (a held space joins a following byte in
// 0x40..0x7F) and merges escaped bytes into runs as they are written: a run
// grows while the tokens that follow it are escaped bytes, up to 8 of them.
// The result equals writing every escaped byte as 0x01 c and merging the
// adjacent pairs afterwards.
class TokenWriter {
public:
    explicit TokenWriter(uint8_t* out) : out_(out) {}

    void literal(uint8_t c) {
        if (!pendingSpace_) {
            if (c == token::kSpace)
                pendingSpace_ = true;
            else
                put(c);
            return;
        }
        pendingSpace_ = false;
        if (c >= 0x40 && c <= 0x7F) {
            plain(uint8_t(c | 0x80));
            return;
        }
        plain(token::kSpace);
        put(c);  // a second space goes out plain here
    }

    void backReference(size_t distance, size_t length) {
        flushSpace();
        uint32_t v = uint32_t(distance << 3) | uint32_t(length - token::kMinMatch);
        out_[n_++] = uint8_t(token::kBackRefFirst | (v >> 8));
        out_[n_++] = uint8_t(v);
        run_ = kNoRun;
    }

    size_t finish() {
        flushSpace();
        return n_;
    }

private:
    void put(uint8_t c) {
        if (needsEscape(c))
            escaped(c);
        else
            plain(c);
    }
    void plain(uint8_t b) {
        out_[n_++] = b;
        run_ = kNoRun;
    }
    void escaped(uint8_t c) {
        if (run_ != kNoRun && out_[run_] < token::kMaxRun) {
            ++out_[run_];
        } else {
            run_ = n_;
            out_[n_++] = 1;
        }
        out_[n_++] = c;
    }
    void flushSpace() {
        if (pendingSpace_) {
            plain(token::kSpace);
            pendingSpace_ = false;
        }
    }

    uint8_t* out_;
    size_t n_ = 0;
    size_t run_ = kNoRun;  // index of the open run's count byte
    bool pendingSpace_ = false;
};

// Match search. The plain scan tries every window position for a candidate,
// extending it one byte at a time from where the shorter one was found first;
// what it takes is the longest match (3..10 bytes, never covering the last
// byte of the record) and, among equally long ones, the earliest position.
// Here each position's three-byte prefix is hashed into a chain of earlier
// positions in increasing order; a query skips the chain's head past the
// window start (heads only move forward) and walks oldest to newest, keeping
// the first position that reaches each new length, so it finds the same
// match without looking at positions that cannot start one.
constexpr unsigned kHashBits = 13;
constexpr size_t kHashSize = size_t(1) << kHashBits;
constexpr uint16_t kNone = 0xFFFF;
static_assert(kTextRecordSize < kNone, "positions fit 16 bits");

inline uint32_t prefixHash(const uint8_t* p) {
    uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Number of equal leading bytes of a and b, at most maxLen; b + maxLen lies
// inside the record and a < b.
inline size_t matchLength(const uint8_t* a, const uint8_t* b, size_t maxLen) {
    size_t n = 0;
    if constexpr (std::endian::native == std::endian::little) {
        if (maxLen >= 8) {
            uint64_t x = load64(a) ^ load64(b);
            if (x != 0) return size_t(std::countr_zero(x)) >> 3;
            n = 8;
        }
    }
    while (n < maxLen && a[n] == b[n]) ++n;
    return n;
}

size_t encodeTokens(const uint8_t* t, size_t length, uint8_t* out) {
    TokenWriter writer(out);
    if (length == 0) return 0;

    std::array<uint16_t, kHashSize> head;
    std::array<uint16_t, kTextRecordSize> next;
    head.fill(kNone);
    if (length >= token::kMinMatch) {
        for (size_t i = length - token::kMinMatch + 1; i-- > 0;) {
            uint32_t h = prefixHash(t + i);
            next[i] = head[h];
            head[h] = uint16_t(i);
        }
    }

    size_t p = 0;
    while (p < length) {
        // The last byte of a record always goes out as a literal.
        size_t maxLen = std::min(token::kMaxMatch, length - 1 - p);
        size_t best = token::kMinMatch - 1;
        size_t bestPos = 0;
        if (maxLen >= token::kMinMatch) {
            size_t windowStart = p > token::kMaxDistance ? p - token::kMaxDistance : 0;
            uint32_t h = prefixHash(t + p);
            uint16_t cur = head[h];
            while (cur != kNone && cur < windowStart) cur = next[cur];
            head[h] = cur;
            for (; cur != kNone && cur < p; cur = next[cur]) {
                // Only a strictly longer match counts, and it must agree at index best.
                if (t[cur + best] != t[p + best]) continue;
                size_t len = matchLength(t + cur, t + p, maxLen);
                if (len > best) {
                    best = len;
                    bestPos = cur;
                    if (len == maxLen) break;
                }
            }
        }
        if (best >= token::kMinMatch) {
            writer.backReference(p - bestPos, best);
            p += best;
        } else {
            writer.literal(t[p]);
            ++p;
        }
    }
    return writer.finish();
}

// Source and destination must not overlap.
inline void copy16(uint8_t* to, const uint8_t* from) {
    uint8_t v[16];
    std::memcpy(v, from, sizeof v);
    std::memcpy(to, v, sizeof v);
}

}  // namespace

void convertLineEnds(std::span<uint8_t> bytes) {
    size_t n = bytes.size();
    uint8_t* b = bytes.data();
    const void* found = n ? std::memchr(b, token::kCR, n) : nullptr;
    if (!found) return;
    for (size_t i = size_t(static_cast<const uint8_t*>(found) - b); i < n; ++i) {
        if (b[i] != token::kCR) continue;
        b[i] = (i + 1 < n && b[i + 1] == token::kLF) ? token::kSpace : token::kLF;
    }
}

std::optional<size_t> encodeDocRecord(std::span<uint8_t> text, uint8_t compression, std::span<uint8_t> out) {
    if (text.size() > kTextRecordSize || out.size() < encodeBound(text.size())) return std::nullopt;
    convertLineEnds(text);
    if (compression != kCompressionDoc) {
        if (!text.empty()) std::memcpy(out.data(), text.data(), text.size());
        return text.size();
    }
    return encodeTokens(text.data(), text.size(), out.data());
}

namespace {

// Decodes tokens one at a time with every check, while fewer than `until`
// bytes are out. False when a malformed token ends the record.
bool decodeCarefully(const uint8_t*& ip, const uint8_t* iend, uint8_t*& op, uint8_t* ostart, uint8_t* oend,
                     size_t until) {
    while (ip < iend && op < oend && size_t(op - ostart) < until) {
        const uint8_t b = *ip++;
        if (b >= token::kSpacePairFirst) {
            *op++ = token::kSpace;
            if (op < oend) *op++ = uint8_t(b & 0x7F);
        } else if (b >= token::kBackRefFirst) {
            if (ip == iend) return false;
            const uint32_t v = (uint32_t(b & token::kBackRefMask) << 8) | *ip++;
            const size_t distance = v >> 3;
            const size_t length = (v & 7) + token::kMinMatch;
            if (distance == 0 || distance > size_t(op - ostart)) return false;
            const size_t n = std::min(length, size_t(oend - op));
            const uint8_t* from = op - distance;
            for (size_t i = 0; i < n; ++i) op[i] = from[i];
            op += n;
        } else if (b >= token::kLiteralFirst) {
            *op++ = b == token::kCR ? token::kSpace : b;
        } else if (b == 0) {
            *op++ = 0;
        } else {
            if (size_t(iend - ip) < b) return false;
            const size_t n = std::min(size_t(b), size_t(oend - op));
            std::memcpy(op, ip, n);
            op += n;
            ip += b;
        }
    }
    return true;
}

// Fast decoding works from a table indexed by a token's first two bytes.
// Each 32-bit entry says what the token writes:
//   bits  0..15  the bytes of a literal or space pair
//   bits 16..19  output length (1 or 2; 3..10 for a back-reference)
//   bit  20      set for a back-reference: the literal bytes go 16 bytes
//                ahead, out of the way (later tokens overwrite them)
//   bits 21..31  source distance of the 16-byte copy every token makes: the
//                back-reference's distance, or kLiteralSource for literals
//                (a copy of settled output that the literal bytes then
//                overwrite); 0 sends the token to the careful path (runs,
//                distance 0, distances under 16 that overlap the copy)
constexpr size_t kLiteralSource = 64;
constexpr unsigned kLengthShift = 16, kAheadBit = 20, kSourceShift = 21;

struct PairTable {
    uint32_t entry[65536];
};

const PairTable& pairTable() {
    static const PairTable* table = [] {
        static PairTable t;
        for (uint32_t x = 0; x < 65536; ++x) {
            const uint32_t b = x & 0xFF, b2 = x >> 8;
            uint32_t e = 0;
            if (b >= token::kSpacePairFirst) {
                e = token::kSpace | ((b & 0x7F) << 8) | (2u << kLengthShift) |
                    (kLiteralSource << kSourceShift);
            } else if (b >= token::kBackRefFirst) {
                const uint32_t v = ((b & token::kBackRefMask) << 8) | b2;
                const uint32_t distance = v >> 3, length = (v & 7) + token::kMinMatch;
                if (distance >= 16)
                    e = (length << kLengthShift) | (1u << kAheadBit) | (distance << kSourceShift);
            } else if (b == 0 || b >= token::kLiteralFirst) {
                e = (b == token::kCR ? token::kSpace : b) | (1u << kLengthShift) |
                    (kLiteralSource << kSourceShift);
            }
            t.entry[x] = e;
        }
        return &t;
    }();
    return *table;
}

// Where the first four tokens of an 8-byte word start, for each mask of the
// bytes that begin back-references (bit k: byte k is 0x80..0xBF): offsets of
// tokens 2, 3 and 4 in bits 0..3, 4..7, 8..11, and the offset after token 4
// in bits 12..15. Runs are not counted here; the table entry sends them to
// the careful path.
struct WordStarts {
    uint16_t entry[256];
};
constexpr WordStarts makeWordStarts() {
    WordStarts t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned at = 0, packed = 0;
        for (unsigned k = 0; k < 4; ++k) {
            at += ((mask >> at) & 1) ? 2 : 1;
            packed |= at << (4 * k);
        }
        t.entry[mask] = uint16_t(packed);
    }
    return t;
}
constexpr WordStarts kWordStarts = makeWordStarts();

// Decodes while 16 input bytes and 96 bytes of room remain, once
// kLiteralSource bytes are out. Four tokens are taken from one 8-byte load
// (all but runs are at most 2 bytes); where they start follows from the mask
// of back-reference bytes in the word, so tokens do not wait for each other.
// Every token is one 16-byte copy and one 4-byte store of its table entry,
// without branches between literals, space pairs and back-references, whose
// mix in text defeats branch prediction. Copies may write past their length
// into the room; later tokens overwrite it. False when a malformed token ends
// the record.
bool decodeFast(const uint8_t*& ipRef, const uint8_t* iend, uint8_t*& opRef, uint8_t* ostart, uint8_t* oend) {
    constexpr size_t kInputMargin = 16;
    constexpr size_t kRoomMargin = 96;
    // Cursors in registers; the careful path works on copies.
    const uint8_t* ip = ipRef;
    uint8_t* op = opRef;
    if (size_t(iend - ip) < kInputMargin || size_t(oend - op) < kRoomMargin ||
        size_t(op - ostart) < kLiteralSource)
        return true;
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    constexpr uint64_t kGather = 0x0102040810204080ull;  // high bit of byte k to bit 56 + k
    const PairTable& table = pairTable();
    const uint8_t* const ilimit = iend - kInputMargin;
    uint8_t* const olimit = oend - kRoomMargin;
    bool intact = true;
    while (ip <= ilimit && op <= olimit) {
        const uint64_t word = load64(ip);
        // High bit set in every byte whose top bits are 10, gathered to 8 bits.
        const uint64_t t = (word & (kOnes * 0xC0)) ^ kHigh;
        const uint64_t refBytes = ~(((t & (kOnes * 0x7F)) + kOnes * 0x7F) | t) & kHigh;
        const unsigned starts = kWordStarts.entry[((refBytes >> 7) * kGather) >> 56];
        // One token at byte `at` of the word: 0 done, 1 taken carefully (a
        // fresh word follows), 2 malformed.
        auto token = [&](unsigned at) -> int {
            const uint32_t e = table.entry[uint16_t(word >> (8 * at))];
            const size_t distance = e >> kSourceShift;
            if (distance - 1 >= size_t(op - ostart)) [[unlikely]] {
                // Runs, near or malformed back-references.
                const uint8_t* i = ip + at;
                uint8_t* o = op;
                const bool ok = decodeCarefully(i, iend, o, ostart, oend, 1 + size_t(o - ostart));
                ip = i;
                op = o;
                return ok ? 1 : 2;
            }
            copy16(op, op - distance);
            std::memcpy(op + ((e >> (kAheadBit - 4)) & 16), &e, sizeof e);  // 0 or 16 bytes ahead
            op += (e >> kLengthShift) & 0xF;
            return 0;
        };
        int r;
        if ((r = token(0)) || (r = token(starts & 0xF)) || (r = token((starts >> 4) & 0xF)) ||
            (r = token((starts >> 8) & 0xF))) {
            if (r == 2) {
                intact = false;
                break;
            }
            continue;
        }
        ip += starts >> 12;
    }
    ipRef = ip;
    opRef = op;
    return intact;
}

}  // namespace

size_t decodeDocRecord(std::span<const uint8_t> record, uint8_t compression, std::span<uint8_t> out,
                       bool* intact) {
    if (intact) *intact = true;
    if (compression == kCompressionPlain) {
        size_t n = std::min(record.size(), out.size());
        if (n) std::memcpy(out.data(), record.data(), n);
        return n;
    }
    if (compression != kCompressionDoc) return 0;

    const uint8_t* ip = record.data();
    const uint8_t* const iend = ip + record.size();
    uint8_t* const ostart = out.data();
    uint8_t* op = ostart;
    uint8_t* const oend = ostart + out.size();
    // The first bytes carefully, the bulk fast, the end carefully again.
    const bool whole = decodeCarefully(ip, iend, op, ostart, oend, kLiteralSource) &&
                       decodeFast(ip, iend, op, ostart, oend) &&
                       decodeCarefully(ip, iend, op, ostart, oend, SIZE_MAX);
    if (intact) *intact = whole;
    return size_t(op - ostart);
}

}  // namespace text
