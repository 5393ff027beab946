#include "workbook/palette.h"

#include <array>

namespace workbook {

namespace {

constexpr uint8_t kLevelStep = 51;  // channel value of one cube level

constexpr std::array<Rgb, kPaletteSize> makePalette() {
    std::array<Rgb, kPaletteSize> p{};  // 230-255 stay black
    for (unsigned r = 0; r < 6; ++r)
        for (unsigned g = 0; g < 6; ++g)
            for (unsigned b = 0; b < 6; ++b)
                p[cubeIndex(r, g, b)] =
                    Rgb{uint8_t(r * kLevelStep), uint8_t(g * kLevelStep), uint8_t(b * kLevelStep)};
    constexpr uint8_t greys[] = {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE, 0xC0};
    for (size_t i = 0; i < sizeof greys; ++i) p[215 + i] = Rgb{greys[i], greys[i], greys[i]};
    p[226] = Rgb{0x80, 0x00, 0x00};
    p[227] = Rgb{0x80, 0x00, 0x80};
    p[228] = Rgb{0x00, 0x80, 0x00};
    p[229] = Rgb{0x00, 0x80, 0x80};
    return p;
}

constexpr std::array<Rgb, kPaletteSize> kPalette = makePalette();

static_assert(cubeIndex(0, 0, 0) == 215, "the cube's black position is 215");
static_assert(cubeIndex(5, 5, 5) == 0, "white is entry 0");

constexpr unsigned level(uint8_t channel) { return (unsigned(channel) + 25) / kLevelStep; }

}  // namespace

Rgb paletteEntry(uint8_t index) { return kPalette[index]; }

ColorRef paletteColorRef(uint8_t index) { return makeColorRef(kPalette[index]); }

uint8_t colorIndex(Rgb color) {
    unsigned r = level(color.red), g = level(color.green), b = level(color.blue);
    if (r == 0 && g == 0 && b == 0) return kBlackIndex;
    return cubeIndex(r, g, b);
}

uint8_t colorIndex(ColorRef color) { return colorIndex(rgbOf(color)); }

}  // namespace workbook
