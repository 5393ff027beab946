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
            if (c == token::kSpace) pendingSpace_ = true;
            else put(c);
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
        if (needsEscape(c)) escaped(c);
        else plain(c);
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

inline void copy8(uint8_t* to, const uint8_t* from) {
    uint64_t v;
    std::memcpy(&v, from, sizeof v);
    std::memcpy(to, &v, sizeof v);
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

size_t decodeDocRecord(std::span<const uint8_t> record, uint8_t compression, std::span<uint8_t> out) {
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

    // Fast loop: while any token is whole in the record (at most 9 bytes) and
    // 16 bytes of room remain, copies may write a little past their length.
    constexpr size_t kTokenMax = 1 + token::kMaxRun;
    constexpr size_t kSlack = 16;
    if (record.size() >= kTokenMax && out.size() >= kSlack) {
        const uint8_t* const ilimit = iend - kTokenMax;
        uint8_t* const olimit = oend - kSlack;
        while (ip <= ilimit && op <= olimit) {
            uint8_t b = *ip++;
            if (b >= token::kSpacePairFirst) {
                op[0] = token::kSpace;
                op[1] = uint8_t(b & 0x7F);
                op += 2;
            } else if (b >= token::kBackRefFirst) {
                uint32_t v = (uint32_t(b & token::kBackRefMask) << 8) | *ip++;
                size_t distance = v >> 3;
                size_t length = (v & 7) + token::kMinMatch;
                if (distance == 0 || distance > size_t(op - ostart)) return size_t(op - ostart);
                const uint8_t* from = op - distance;
                if (distance >= 8) {
                    copy8(op, from);
                    copy8(op + 8, from + 8);
                } else {
                    for (size_t i = 0; i < length; ++i) op[i] = from[i];
                }
                op += length;
            } else if (b >= token::kLiteralFirst) {
                *op++ = b == token::kCR ? token::kSpace : b;
            } else if (b == 0) {
                *op++ = 0;
            } else {
                copy8(op, ip);
                op += b;
                ip += b;
            }
        }
    }

    // Careful loop for the end of the record and of the room.
    while (ip < iend && op < oend) {
        uint8_t b = *ip++;
        if (b >= token::kSpacePairFirst) {
            *op++ = token::kSpace;
            if (op < oend) *op++ = uint8_t(b & 0x7F);
        } else if (b >= token::kBackRefFirst) {
            if (ip == iend) break;
            uint32_t v = (uint32_t(b & token::kBackRefMask) << 8) | *ip++;
            size_t distance = v >> 3;
            size_t length = (v & 7) + token::kMinMatch;
            if (distance == 0 || distance > size_t(op - ostart)) break;
            size_t n = std::min(length, size_t(oend - op));
            const uint8_t* from = op - distance;
            for (size_t i = 0; i < n; ++i) op[i] = from[i];
            op += n;
        } else if (b >= token::kLiteralFirst) {
            *op++ = b == token::kCR ? token::kSpace : b;
        } else if (b == 0) {
            *op++ = 0;
        } else {
            if (size_t(iend - ip) < b) break;
            size_t n = std::min(size_t(b), size_t(oend - op));
            std::memcpy(op, ip, n);
            op += n;
            ip += b;
        }
    }
    return size_t(op - ostart);
}

}  // namespace text
