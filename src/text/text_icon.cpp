// The product icon: a page of text with a handheld in front of it. 32 rows
// of 32 characters, one per pixel; the palette below gives each character
// its colour ('.' is transparent). A wrong length or an unknown character
// stops the build.
#include "text/text_icon.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "text/text_dialogs.h"

namespace text {

namespace {

constexpr int kSide = 32;
using Pixels = std::array<uint32_t, kSide * kSide>;
using Art = std::array<std::string_view, kSide>;

consteval uint32_t colourOf(char c) {
    switch (c) {
        case '.':
            return 0x00000000;  // transparent
        case 'k':
            return 0xFF202020;  // outline
        case 'w':
            return 0xFFFFFFFF;  // paper
        case 'g':
            return 0xFFA0A0A0;  // handheld case, folded corner
        case 's':
            return 0xFFB8D8A8;  // handheld screen
        case 'b':
            return 0xFF2458C8;  // lines of text
        default:
            throw "unknown colour character";
    }
}

consteval Pixels draw(const Art& art) {
    Pixels pixels{};
    for (int y = 0; y < kSide; ++y) {
        if (art[size_t(y)].size() != size_t(kSide)) throw "a row must have 32 characters";
        for (int x = 0; x < kSide; ++x) pixels[size_t(y * kSide + x)] = colourOf(art[size_t(y)][size_t(x)]);
    }
    return pixels;
}

constexpr Pixels kIcon = draw({
    "................................", "...kkkkkkkkkkkkkk...............",
    "...kwwwwwwwwwwwwkg..............", "...kwwwwwwwwwwwwkgg.............",
    "...kwwwwwwwwwwwwkggg............", "...kwwbbbbbbbbwwkgggg...........",
    "...kwwwwwwwwwwwwkkkkkk..........", "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwbbbbbbbbbbbbbwwk..........", "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........", "...kwwbbbbbbbbbbbbbwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........", "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwbbbbbbbbbwwwwkkkkkkkkkkk..", "...kwwwwwwwwwwwwwwwkgggggggggk..",
    "...kwwwwwwwwwwwwwwwkgkkkkkkkgk..", "...kwwbbbbbbbbbbbbbkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgksbbbskgk..", "...kwwwwwwwwwwwwwwwkgkssssskgk..",
    "...kwwbbbbbbbbbbbbbkgksbbbskgk..", "...kwwwwwwwwwwwwwwwkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgksbbbskgk..", "...kwwbbbbbbbbbwwwwkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgkkkkkkkgk..", "...kwwwwwwwwwwwwwwwkgggggggggk..",
    "...kwwwwwwwwwwwwwwwkgggggggggk..", "...kwwwwwwwwwwwwwwwkggkgkgkggk..",
    "...kkkkkkkkkkkkkkkkkgggggggggk..", "...................kgggggggggk..",
    "...................kkkkkkkkkkk..", "................................",
});

constexpr platform::ui::Image kImages[] = {{kProductIconResource, kSide, kSide, kIcon}};

}  // namespace

std::span<const platform::ui::Image> productIcon() { return kImages; }

}  // namespace text
