// Font sizes <-> font level bits.
#include "workbook/font_levels.h"

#include <gtest/gtest.h>

using namespace workbook;

namespace {
const uint32_t kLevelBits[4] = {0x100000, 0x100800, 0, 0x800};
}

TEST(FontLevels, LevelOfBits) {
    for (int l = 0; l < 4; ++l) EXPECT_EQ(fontLevel(kLevelBits[l] | 0x6), l);
}

TEST(FontLevels, StandardSizesAroundTheDefault) {
    FontSettings plain{false, 0, 10};
    EXPECT_EQ(fontBitsForPoints(13, plain), 0x800u);
    EXPECT_EQ(fontBitsForPoints(12, plain), 0x800u);
    EXPECT_EQ(fontBitsForPoints(11, plain), 0u);
    EXPECT_EQ(fontBitsForPoints(0, plain), 0u);
    EXPECT_EQ(pointsForFontBits(0x800, plain), 12);
    EXPECT_EQ(pointsForFontBits(0, plain), 10);
    EXPECT_EQ(pointsForFontBits(0x12345600 & ~0x800u, plain), 10);  // other bits do not matter

    FontSettings high{true, 0, 10};  // high resolution without a mapping
    EXPECT_EQ(fontBitsForPoints(13, high), 0x100800u);
    EXPECT_EQ(fontBitsForPoints(11, high), 0x100000u);
    EXPECT_EQ(pointsForFontBits(0x100800, high), 12);
    EXPECT_EQ(pointsForFontBits(0x100000, high), 10);
}

TEST(FontLevels, LargeFontSurvivesReadingAndWritingAgain) {
    // Default 11: 0x800 reads back as 13 (1.2 * 11 = 13.2 rounds down) and
    // 13 is written as large again.
    FontSettings s{false, 0, 11};
    EXPECT_EQ(pointsForFontBits(0x800, s), 13);
    EXPECT_EQ(fontBitsForPoints(13, s), 0x800u);
    EXPECT_EQ(fontBitsForPoints(12, s), 0u);
    for (int def = 1; def <= 200; ++def)
        for (bool high : {false, true}) {
            FontSettings f{high, 0, def};
            for (uint32_t bits : {0x800u, 0u}) {
                // Below 3 points a large default font reads back as the default size.
                uint32_t expected = (def < 3 ? 0 : bits) | (high ? 0x100000u : 0u);
                EXPECT_EQ(fontBitsForPoints(pointsForFontBits(bits, f), f), expected) << def;
            }
        }
}

TEST(FontLevels, HighResolutionMapping) {
    FontSettings s{true, 2, 10};
    EXPECT_EQ(fontBitsForPoints(10, s), 0x100800u);  // n = trunc(1.5) = 1
    EXPECT_EQ(pointsForFontBits(0x100800, s), 10);   // 1.2^(1 - 2 + 1 + 0) * 10
    EXPECT_EQ(fontBitsForPoints(12, s), 0u);         // trunc(2.5)
    EXPECT_EQ(fontBitsForPoints(15, s), 0x800u);     // trunc(2.22 + 1.5)
    EXPECT_EQ(fontBitsForPoints(8, s), 0x100000u);   // trunc(-1.22 + 1.5) = 0
    EXPECT_EQ(fontBitsForPoints(1, s), 0x100000u);   // far below: n < 0
    EXPECT_EQ(pointsForFontBits(0x100000, s), 8);    // 1.2^-1 * 10 = 8.33
    EXPECT_EQ(pointsForFontBits(0, s), 12);          // 1.2^1 * 10
    EXPECT_EQ(pointsForFontBits(0x800, s), 14);      // 1.2^2 * 10 = 14.4
}

TEST(FontLevels, MappingRoundTripsEveryLevel) {
    for (int def = 6; def <= 99; ++def)
        for (int mapping = 1; mapping <= 4; ++mapping) {
            FontSettings s{true, mapping, def};
            for (uint32_t bits : kLevelBits)
                EXPECT_EQ(fontBitsForPoints(pointsForFontBits(bits, s), s), bits)
                    << "default " << def << " mapping " << mapping << " bits " << std::hex << bits;
        }
}

TEST(FontLevels, UndefinedRatioTakesTheDefaultFontsLevel) {
    // Default size 0 (or below) or a cell size of 0 (or below): the cell is
    // taken to have the default size, n = trunc(mapping - 0.5).
    const std::pair<int, uint32_t> byMapping[] = {{1, 0x100000}, {2, 0x100800}, {3, 0}, {4, 0x800}};
    for (auto [mapping, bits] : byMapping) {
        for (int def : {0, -1, -32768})
            for (int points : {0, 1, 10, 500, -3})
                EXPECT_EQ(fontBitsForPoints(points, {true, mapping, def}), bits);
        EXPECT_EQ(fontBitsForPoints(0, {true, mapping, 10}), bits);
        EXPECT_EQ(fontBitsForPoints(-7, {true, mapping, 10}), bits);
        EXPECT_EQ(fontBitsForPoints(0, {true, mapping, 10}), fontBitsForPoints(10, {true, mapping, 10}));
    }
    EXPECT_EQ(pointsForFontBits(0x800, {true, 2, 0}), 0);
}

TEST(FontLevels, ExtremeSettingsStayInRange) {
    EXPECT_EQ(pointsForFontBits(0x800, {false, 0, 0x7FFFFFFF}), INT16_MAX);
    EXPECT_EQ(pointsForFontBits(0, {false, 0, -0x7FFFFFFF}), INT16_MIN);
    EXPECT_EQ(pointsForFontBits(0x800, {true, INT32_MIN, 10}), INT16_MAX);
    EXPECT_EQ(pointsForFontBits(0x800, {true, INT32_MIN, 0}), 0);
    EXPECT_EQ(pointsForFontBits(0x800, {true, INT32_MAX, 10}), 0);
    EXPECT_EQ(fontBitsForPoints(INT32_MAX, {true, INT32_MAX, 1}), 0x800u);
    EXPECT_EQ(fontBitsForPoints(INT32_MAX, {false, 0, INT32_MAX}), 0u);
}
