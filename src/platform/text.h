// Case-blind comparison of names, and decimal numbers in text. Names on the
// handheld, in the link registries and in the hive compare with ASCII case
// folding only: bytes outside 'A'..'Z' / 'a'..'z' compare as they are,
// whatever the locale. Header-only, so the stand-ins can use it without
// linking the libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
constexpr char upperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Orders as the link registries sort: letters folded to upper case, then
// bytes compared unsigned; a prefix sorts first. Answers <0, 0 or >0.
constexpr int compareNoCase(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(upperAscii(a[i])),
             y = static_cast<unsigned char>(upperAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

constexpr bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

constexpr bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameNoCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool endsWithNoCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && sameNoCase(text.substr(text.size() - ending.size()), ending);
}

// What parseDecimal accepts besides the digits. The readers of numbers in
// files, the hive, the environment and on command lines differ in these
// points, and each keeps its own rules.
struct DecimalRules {
    bool skipBlanks = false;      // leading spaces and tabs are skipped
    bool minus = false;           // a leading '-' negates the number
    bool plus = false;            // a leading '+' is accepted
    bool stopAtJunk = false;      // the number ends at a non-digit; otherwise that fails
    bool noDigitsIsZero = false;  // no digits at all reads as 0; otherwise that fails
    size_t maxLength = 0;         // a longer text fails (the whole text counts); 0: any length
};

// Reads a decimal number. The value is kept modulo 2^64 and a minus sign
// negates it in two's complement, so a caller that narrows the result to 32
// bits gets what 32-bit arithmetic would give; a caller that needs a range
// checks it.
constexpr std::optional<uint64_t> parseDecimal(std::string_view text, const DecimalRules& rules) {
    if (rules.maxLength && text.size() > rules.maxLength) return std::nullopt;
    size_t i = 0;
    if (rules.skipBlanks)
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && ((rules.minus && text[i] == '-') || (rules.plus && text[i] == '+')))
        negative = text[i++] == '-';
    const size_t first = i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + uint64_t(text[i] - '0');
    if (i == first && !rules.noDigitsIsZero) return std::nullopt;
    if (i != text.size() && !rules.stopAtJunk) return std::nullopt;
    return negative ? uint64_t(0) - value : value;
}

}  // namespace platform
