#include "doc_samples.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace docref {

namespace {
constexpr std::array<const char*, 64> kWords{
    "the",   "of",         "and",     "to",     "in",       "a",           "is",       "that",
    "for",   "it",         "as",      "was",    "with",     "be",          "by",       "on",
    "not",   "he",         "this",    "are",    "or",       "his",         "from",     "at",
    "which", "but",        "have",    "an",     "had",      "they",        "you",      "were",
    "their", "one",        "all",     "we",     "can",      "her",         "has",      "there",
    "been",  "if",         "more",    "when",   "will",     "would",       "who",      "so",
    "no",    "handheld",   "desktop", "record", "database", "synchronize", "document", "Palm",
    "text",  "conversion", "library", "Quillo", "memory",   "install",     "backup",   "user"};
}  // namespace

std::vector<uint8_t> englishText(size_t length, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    out.reserve(length + 32);
    bool sentenceStart = true;
    while (out.size() < length) {
        // Zipf-like: small indexes are much more frequent.
        size_t r = rng() % 4096;
        size_t idx = size_t((r * r) / (4096u * 4096u / kWords.size())) % kWords.size();
        std::string w = kWords[idx];
        if (sentenceStart) w[0] = char(std::toupper(static_cast<unsigned char>(w[0])));
        sentenceStart = false;
        out.insert(out.end(), w.begin(), w.end());
        unsigned k = rng() % 100;
        if (k < 6) {
            out.push_back('.');
            sentenceStart = true;
            if (k < 2) {
                out.push_back('\r');
                out.push_back('\n');
            } else if (k < 3) {
                out.push_back('\n');
            } else {
                out.push_back(' ');
            }
        } else if (k < 10) {
            out.push_back(',');
            out.push_back(' ');
        } else {
            out.push_back(' ');
        }
    }
    out.resize(length);
    return out;
}

std::vector<uint8_t> randomBytes(size_t length, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(length);
    for (auto& b : out) b = uint8_t(rng());
    return out;
}

std::vector<uint8_t> randomFrom(const std::string& alphabet, size_t length, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(length);
    for (auto& b : out) b = uint8_t(alphabet[rng() % alphabet.size()]);
    return out;
}

std::vector<uint8_t> noRepeats(size_t length, uint8_t first, unsigned symbols) {
    // Lyndon-word construction of the de Bruijn sequence B(symbols, 3).
    std::vector<unsigned> a(3 * symbols + 1, 0);
    std::vector<uint8_t> seq;
    auto db = [&](auto&& self, unsigned t, unsigned p) -> void {
        if (seq.size() >= length + 2) return;
        if (t > 3) {
            if (3 % p == 0)
                for (unsigned j = 1; j <= p; ++j) seq.push_back(uint8_t(first + a[j]));
        } else {
            a[t] = a[t - p];
            self(self, t + 1, p);
            for (unsigned j = a[t - p] + 1; j < symbols; ++j) {
                a[t] = j;
                self(self, t + 1, t);
            }
        }
    };
    db(db, 1, 1);
    seq.resize(std::min(seq.size(), length));
    return seq;
}

std::vector<uint8_t> convertedCopy(std::vector<uint8_t> b) {
    for (size_t i = 0; i < b.size(); ++i)
        if (b[i] == 0x0D) b[i] = (i + 1 < b.size() && b[i + 1] == 0x0A) ? 0x20 : 0x0A;
    return b;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%s%02X", s.empty() ? "" : " ", b);
        s += buf;
    }
    return s;
}

}  // namespace docref
