// The colour palette: named entries, quantisation, and stability of the round trip.
#include "workbook/palette.h"

#include <gtest/gtest.h>

using namespace workbook;

TEST(Palette, NamedEntries) {
    const std::pair<int, Rgb> cases[] = {
        {0, {0xFF, 0xFF, 0xFF}},   {1, {0xFF, 0xCC, 0xFF}},   {6, {0xFF, 0xFF, 0xCC}},
        {18, {0xCC, 0xFF, 0xFF}},  {108, {0xFF, 0xFF, 0x66}}, {161, {0x99, 0x00, 0x00}},
        {214, {0x00, 0x33, 0x00}}, {215, {0x11, 0x11, 0x11}}, {216, {0x22, 0x22, 0x22}},
        {217, {0x44, 0x44, 0x44}}, {218, {0x55, 0x55, 0x55}}, {219, {0x77, 0x77, 0x77}},
        {220, {0x88, 0x88, 0x88}}, {221, {0xAA, 0xAA, 0xAA}}, {222, {0xBB, 0xBB, 0xBB}},
        {223, {0xDD, 0xDD, 0xDD}}, {224, {0xEE, 0xEE, 0xEE}}, {225, {0xC0, 0xC0, 0xC0}},
        {226, {0x80, 0x00, 0x00}}, {227, {0x80, 0x00, 0x80}}, {228, {0x00, 0x80, 0x00}},
        {229, {0x00, 0x80, 0x80}}, {230, {0, 0, 0}},          {255, {0, 0, 0}},
    };
    for (auto [index, rgb] : cases) EXPECT_EQ(paletteEntry(uint8_t(index)), rgb) << index;
    for (int i = 230; i < 256; ++i) EXPECT_EQ(paletteColorRef(uint8_t(i)), kBlackColorRef) << i;
    EXPECT_EQ(paletteColorRef(0), kWhiteColorRef);
    EXPECT_EQ(paletteColorRef(161), 0x000099u);  // red in the low byte
    EXPECT_EQ(paletteColorRef(6), 0xCCFFFFu);
}

TEST(Palette, CubeHoldsEveryLevelCombinationOnce) {
    bool seen[216] = {};
    for (unsigned r = 0; r < 6; ++r)
        for (unsigned g = 0; g < 6; ++g)
            for (unsigned b = 0; b < 6; ++b) {
                uint8_t i = cubeIndex(r, g, b);
                ASSERT_LT(i, 216);
                EXPECT_FALSE(seen[i]) << int(i);
                seen[i] = true;
                if (i != 215) {
                    EXPECT_EQ(paletteEntry(i), (Rgb{uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b)}));
                }
            }
}

TEST(Palette, ColourQuantisation) {
    EXPECT_EQ(colorIndex(Rgb{0xFF, 0xFF, 0xFF}), 0);
    EXPECT_EQ(colorIndex(Rgb{0, 0, 0}), 255);
    EXPECT_EQ(colorIndex(Rgb{0x10, 0x10, 0x10}), 255);
    EXPECT_EQ(colorIndex(Rgb{0x80, 0x00, 0x00}), 161);  // not entry 226
    EXPECT_EQ(colorIndex(Rgb{0x11, 0x11, 0x11}), 255);  // entry 215 is never chosen
    EXPECT_EQ(colorIndex(Rgb{25, 25, 25}), 255);
    EXPECT_EQ(colorIndex(Rgb{26, 0, 0}), cubeIndex(1, 0, 0));
    EXPECT_EQ(colorIndex(ColorRef(0x000080)), 161);
    EXPECT_EQ(colorIndex(ColorRef(0xFF000080)), 161);  // top byte ignored
    EXPECT_EQ(colorIndex(kWhiteColorRef), kWhiteIndex);
    EXPECT_EQ(colorIndex(kBlackColorRef), kBlackIndex);
}

TEST(Palette, ColourIndexColourIndexIsStable) {
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                uint8_t i = colorIndex(Rgb{uint8_t(r), uint8_t(g), uint8_t(b)});
                ASSERT_TRUE(i < 215 || i == 255) << r << "," << g << "," << b;
                ASSERT_EQ(colorIndex(paletteColorRef(i)), i) << r << "," << g << "," << b;
            }
    // Every stored index maps to a colour whose index is stable from then on.
    for (int i = 0; i < 256; ++i) {
        uint8_t once = colorIndex(paletteColorRef(uint8_t(i)));
        EXPECT_EQ(colorIndex(paletteColorRef(once)), once) << i;
    }
}
