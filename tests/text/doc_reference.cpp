#include "doc_reference.h"

#include <algorithm>
#include <cstddef>

namespace docref {

std::vector<uint8_t> mergeEscapedLiterals(const std::vector<uint8_t>& u) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < u.size()) {
        uint8_t b = u[i];
        if (b >= 0x80 && b <= 0xBF) {
            out.push_back(u[i]);
            if (i + 1 < u.size()) out.push_back(u[i + 1]);
            i += 2;
        } else if (b == 0x01 && i + 1 < u.size()) {
            std::vector<uint8_t> run{u[i + 1]};
            i += 2;
            while (run.size() < 8 && i + 1 < u.size() && u[i] == 0x01) {
                run.push_back(u[i + 1]);
                i += 2;
            }
            out.push_back(uint8_t(run.size()));
            out.insert(out.end(), run.begin(), run.end());
        } else {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

std::vector<uint8_t> referenceEncode(const std::vector<uint8_t>& t) {
    const size_t L = t.size();
    std::vector<uint8_t> u;
    if (L == 0) return u;
    bool pending = false;

    auto plainOrEscaped = [&](uint8_t c) {
        if ((c >= 1 && c <= 8) || c >= 0x80) {
            u.push_back(0x01);
            u.push_back(c);
        } else {
            u.push_back(c);
        }
    };
    auto literal = [&](uint8_t c) {
        if (!pending) {
            if (c == 0x20)
                pending = true;
            else
                plainOrEscaped(c);
        } else if (c >= 0x40 && c <= 0x7F) {
            u.push_back(uint8_t(c | 0x80));
            pending = false;
        } else {
            u.push_back(0x20);
            plainOrEscaped(c);
            pending = false;
        }
    };

    size_t p = 0, e = 1, s = 0;
    while (p < L) {
        if (p - s > 2047) s = p - 2047;
        const size_t k = e - p;
        size_t f = s;
        while (f < p &&
               !std::equal(t.begin() + ptrdiff_t(f), t.begin() + ptrdiff_t(f + k), t.begin() + ptrdiff_t(p)))
            ++f;
        if (f < p && k <= 10 && e < L) {
            s = f;
            ++e;
            continue;
        }
        if (k >= 4) {
            const size_t m = k - 1;
            if (pending) {
                u.push_back(0x20);
                pending = false;
            }
            const size_t d = p - s;
            const unsigned v = unsigned(d << 3) | unsigned(m - 3);
            u.push_back(uint8_t(0x80 | (v >> 8)));
            u.push_back(uint8_t(v & 0xFF));
            p = e - 1;
        } else {
            literal(t[p]);
            ++p;
        }
        s = 0;
        if (e < L) ++e;
    }
    if (pending) u.push_back(0x20);
    return mergeEscapedLiterals(u);
}

std::vector<uint8_t> simpleDecode(const std::vector<uint8_t>& in, size_t capacity, bool* intact) {
    std::vector<uint8_t> out;
    bool broken = false;  // a token that cannot be decoded whole
    size_t i = 0;
    while (i < in.size() && out.size() < capacity) {
        uint8_t b = in[i++];
        if (b == 0) {
            out.push_back(0);
        } else if (b <= 8) {
            if (in.size() - i < b) {
                broken = true;
                break;
            }
            for (size_t k = 0; k < b && out.size() < capacity; ++k) out.push_back(in[i + k]);
            i += b;
        } else if (b < 0x80) {
            out.push_back(b == 0x0D ? 0x20 : b);
        } else if (b < 0xC0) {
            broken = i >= in.size();
            if (broken) break;
            unsigned v = (unsigned(b & 0x3F) << 8) | in[i++];
            size_t d = v >> 3, len = (v & 7) + 3;
            broken = d == 0 || d > out.size();
            if (broken) break;
            for (size_t k = 0; k < len && out.size() < capacity; ++k) out.push_back(out[out.size() - d]);
        } else {
            out.push_back(0x20);
            if (out.size() < capacity) out.push_back(b & 0x7F);
        }
    }
    if (intact) *intact = !broken;
    return out;
}

}  // namespace docref
