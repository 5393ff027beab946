// workbook/font_levels.h - font sizes in points <-> the handheld's font levels.
//
// Two format-flag bits select one of four handheld fonts:
//
//   0x100000  0x800   level
//   set       clear   0  high-resolution small
//   set       set     1  high-resolution large
//   clear     clear   2  standard small
//   clear     set     3  standard large
//
// With high resolution and a font mapping (the "Map default Excel font to:"
// choice, 0 = none) a size maps through its ratio to the Excel default font:
//   n = trunc(ln(size / default) / ln 1.2 + mapping - 0.5)
//   n <= 0 -> 0x100000, 1 -> 0x100800, 2 -> 0, >= 3 -> 0x800
//   back:  e = 1 - mapping + (0x800 set) + 2 * (0x100000 clear),
//          points = trunc(1.2^e * default + 0.5)
// Otherwise: 0x800 when size >= 1.2 * default (plus 0x100000 with high
// resolution); back: round(1.2 * default) for 0x800, else the default.
// A size above the default and at least round(1.2 * default) also counts as
// large, so a large cell read back and written again stays large when the
// rounding goes down (default 11: 0x800 reads back as 13, and 13 < 13.2).
//
// Where the ratio is undefined - a default size or a cell size of 0 or less
// with a mapping - the cell is taken to have the default size, so it gets
// the level the mapping gives the default font: n = trunc(mapping - 0.5).
// Points handed back are clamped to the 16-bit range of the records.
#pragma once

#include <cstdint>

#include "workbook/sheet_format.h"

namespace workbook {

constexpr uint32_t kFontBitsMask = kFlagHighResFont | kFlagLargeFont;

struct FontSettings {
    bool highResolution = false;
    int32_t fontMapping = 0;      // 0 = none
    int32_t defaultFontSize = 0;  // points
};

// The level 0..3 of the font bits in a format word.
int fontLevel(uint32_t flags);

// The font bits (0, 0x800, 0x100000 or 0x100800) for a size in points.
uint32_t fontBitsForPoints(int32_t points, const FontSettings& settings);
// The size in points for the font bits of a format word.
int16_t pointsForFontBits(uint32_t flags, const FontSettings& settings);

}  // namespace workbook
