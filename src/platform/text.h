// Case-blind comparison of names. Names on the handheld, in the link
// registries and in the hive compare with ASCII case folding only: bytes
// outside 'A'..'Z' / 'a'..'z' compare as they are, whatever the locale.
// Header-only, so the stand-ins can use it without linking the libraries.
#pragma once

#include <cstddef>
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

}  // namespace platform
