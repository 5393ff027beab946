// platform/pixel_art.h - small pictures written as text in the source, turned
// into 0xAARRGGBB pixels at compile time (dialog images, icons).
//
// A picture is Side rows of Side characters, one per pixel; each character
// names a colour of kPixelArtPalette. A row of the wrong length or an unknown
// character stops the build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::ui {

struct PaletteEntry {
    char key;
    uint32_t argb;
};

inline constexpr PaletteEntry kPixelArtPalette[] = {
    {'.', 0x00000000},  // transparent
    {'k', 0xFF202020},  // outline
    {'g', 0xFFA0A0A0},  // grey: a handheld's case, a folded corner
    {'w', 0xFFFFFFFF},  // white: paper
    {'s', 0xFFB8D8A8},  // a handheld's screen
    {'G', 0xFF1C9A2C},  // green
    {'b', 0xFF2458C8},  // blue
    {'r', 0xFFD02020},  // red
};

consteval uint32_t pixelArtColour(char key) {
    for (const PaletteEntry& entry : kPixelArtPalette)
        if (entry.key == key) return entry.argb;
    throw "unknown colour character in a picture";
}

template <size_t Side>
consteval std::array<uint32_t, Side * Side> drawPixelArt(const std::array<std::string_view, Side>& rows) {
    std::array<uint32_t, Side * Side> pixels{};
    for (size_t y = 0; y < Side; ++y) {
        if (rows[y].size() != Side) throw "a row of a picture has the wrong length";
        for (size_t x = 0; x < Side; ++x) pixels[y * Side + x] = pixelArtColour(rows[y][x]);
    }
    return pixels;
}

}  // namespace platform::ui
