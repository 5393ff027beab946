// The book-state pictures. Each is 16 rows of 16 characters, one per pixel;
// the palette below gives each character its colour ('.' is transparent).
// To change a picture, edit its rows: a wrong length or an unknown character
// stops the build.
#include "syncmgr/sync_manager_images.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace syncmgr {

namespace {

constexpr int kSide = 16;
using Pixels = std::array<uint32_t, kSide * kSide>;
using Art = std::array<std::string_view, kSide>;

consteval uint32_t colourOf(char c) {
    switch (c) {
        case '.':
            return 0x00000000;  // transparent
        case 'k':
            return 0xFF202020;  // outline
        case 'g':
            return 0xFFA0A0A0;  // case
        case 'w':
            return 0xFFFFFFFF;  // paper
        case 's':
            return 0xFFB8D8A8;  // handheld screen
        case 'G':
            return 0xFF1C9A2C;  // green: linked
        case 'b':
            return 0xFF2458C8;  // blue: desktop
        case 'r':
            return 0xFFD02020;  // red: refused
        default:
            throw "unknown colour character";
    }
}

consteval Pixels draw(const Art& art) {
    Pixels pixels{};
    for (int y = 0; y < kSide; ++y) {
        if (art[size_t(y)].size() != size_t(kSide)) throw "a row must have 16 characters";
        for (int x = 0; x < kSide; ++x) pixels[size_t(y * kSide + x)] = colourOf(art[size_t(y)][size_t(x)]);
    }
    return pixels;
}

// 0: the handheld with a green tick.
constexpr Pixels kLinked = draw({
    ".kkkkkkkkkk.....",
    ".kggggggggk.....",
    ".kgkkkkkkgk.....",
    ".kgksssskgk.....",
    ".kgksssskgk.....",
    ".kgksssskgk.....",
    ".kgksssskgk.....",
    ".kgkkkkkkgk.....",
    ".kggggggggk...GG",
    ".kgkgkgkggk..GGG",
    ".kggggggggk.GGG.",
    ".kggggGgggkGGG..",
    ".kkkkGGGkkGGG...",
    "......GGGGGG....",
    ".......GGGG.....",
    "........GG......",
});

// 1: the handheld alone.
constexpr Pixels kNotLinked = draw({
    "................",
    "...kkkkkkkkkk...",
    "...kggggggggk...",
    "...kgkkkkkkgk...",
    "...kgksssskgk...",
    "...kgksssskgk...",
    "...kgksssskgk...",
    "...kgksssskgk...",
    "...kgkkkkkkgk...",
    "...kggggggggk...",
    "...kgkgkgkggk...",
    "...kggggggggk...",
    "...kggggggggk...",
    "...kkkkkkkkkk...",
    "................",
    "................",
});

// 2: a desktop sheet with a blue arrow towards the handheld.
constexpr Pixels kDesktopOnly = draw({
    "..kkkkkkkk......",
    "..kwwwwwwkk.....",
    "..kwbwbwbwkk....",
    "..kwwwwwwwwk....",
    "..kwbwbwbwbk....",
    "..kwwwwwwwwk....",
    "..kwbwbwbwbk....",
    "..kwwwwwwwwk.b..",
    "..kwbwbwbwbk.bb.",
    "..kwwwwbbbbbbbbb",
    "..kwbwbbbbbbbbbb",
    "..kwwwwwwwwk.bb.",
    "..kwbwbwbwbk.b..",
    "..kwwwwwwwwk....",
    "..kkkkkkkkkk....",
    "................",
});

// 3: a red circle with a bar: cannot be linked.
constexpr Pixels kUnsupported = draw({
    "................",
    ".....rrrrrr.....",
    "...rrrrrrrrrr...",
    "..rrrwwwwwwrrr..",
    "..rrwwwwwwrrrr..",
    ".rrwwwwwwrrrwrr.",
    ".rrwwwwwrrrwwrr.",
    ".rrwwwwrrrwwwrr.",
    ".rrwwwrrrwwwwrr.",
    ".rrwwrrrwwwwwrr.",
    ".rrwrrrwwwwwwrr.",
    "..rrrrwwwwwwrr..",
    "..rrrwwwwwwrrr..",
    "...rrrrrrrrrr...",
    ".....rrrrrr.....",
    "................",
});

constexpr platform::ui::Image kImages[] = {
    {kFirstImageResource + kImageLinked, kSide, kSide, kLinked},
    {kFirstImageResource + kImageNotLinked, kSide, kSide, kNotLinked},
    {kFirstImageResource + kImageDesktopOnly, kSide, kSide, kDesktopOnly},
    {kFirstImageResource + kImageUnsupported, kSide, kSide, kUnsupported},
};

}  // namespace

std::span<const platform::ui::Image> syncManagerImages() { return kImages; }

}  // namespace syncmgr
