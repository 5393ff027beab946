// workbook/palette.h - the handheld's 256-colour palette.
//
// Cell records, column entries and the book header hold colours as one-byte
// indexes into this fixed table; the add-in sees them as Windows COLORREFs
// (red in the low byte: red + 256 * green + 65536 * blue).
//
//   index     entry
//   0-214     6x6x6 cube of channel levels 0..5 (level k = 51k, 0x00..0xFF):
//             index = (5 - g) + 6 * (3A + C) with
//             A = 5 - r,  C = 5 - b   when b >= 3
//             A = 11 - r, C = 2 - b   when b < 3
//             (0 white, 1 FF,CC,FF, 6 FF,FF,CC, 18 CC,FF,FF, 108 FF,FF,66)
//   215       11,11,11 (the cube's black position holds a dark grey)
//   216-224   greys 22, 44, 55, 77, 88, AA, BB, DD, EE
//   225       C0,C0,C0
//   226-229   80,00,00  80,00,80  00,80,00  00,80,80
//   230-255   black
//
// Colour to index: each channel becomes level (channel + 25) / 51; black
// after that (all levels 0) is index 255, anything else its cube index. So
// black text is 255 and a white background 0; entries 215-254 are never
// chosen, only read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace workbook {

using ColorRef = uint32_t;

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr size_t kPaletteSize = 256;
constexpr uint8_t kWhiteIndex = 0;
constexpr uint8_t kBlackIndex = 255;
constexpr ColorRef kBlackColorRef = 0x000000;
constexpr ColorRef kWhiteColorRef = 0xFFFFFF;

constexpr ColorRef makeColorRef(Rgb c) {
    return ColorRef(c.red) | (ColorRef(c.green) << 8) | (ColorRef(c.blue) << 16);
}
constexpr Rgb rgbOf(ColorRef c) { return Rgb{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)}; }

// The palette entry of an index, and the same as a COLORREF.
Rgb paletteEntry(uint8_t index);
ColorRef paletteColorRef(uint8_t index);

// The cube index of three channel levels 0..5.
constexpr uint8_t cubeIndex(unsigned r, unsigned g, unsigned b) {
    unsigned a = b >= 3 ? 5 - r : 11 - r;
    unsigned c = b >= 3 ? 5 - b : 2 - b;
    return uint8_t((5 - g) + 6 * (3 * a + c));
}

// The index a colour is stored as. The top byte of a COLORREF is ignored.
uint8_t colorIndex(Rgb color);
uint8_t colorIndex(ColorRef color);

}  // namespace workbook
