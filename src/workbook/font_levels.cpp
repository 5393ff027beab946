#include "workbook/font_levels.h"

#include <cmath>

namespace workbook {

namespace {

constexpr double kStep = 1.2;  // each font level is 1.2 times the one below

bool mapped(const FontSettings& s) { return s.highResolution && s.fontMapping != 0; }

int16_t toPoints(double x) {
    if (std::isnan(x)) return 0;
    if (x <= INT16_MIN) return INT16_MIN;
    if (x >= INT16_MAX) return INT16_MAX;
    return int16_t(std::trunc(x));
}

}  // namespace

int fontLevel(uint32_t flags) {
    bool large = (flags & kFlagLargeFont) != 0;
    if (flags & kFlagHighResFont) return large ? 1 : 0;
    return large ? 3 : 2;
}

uint32_t fontBitsForPoints(int32_t points, const FontSettings& s) {
    if (mapped(s)) {
        double steps = 0.0;  // the default size itself when the ratio is undefined
        if (points > 0 && s.defaultFontSize > 0)
            steps = std::log(double(points) / double(s.defaultFontSize)) / std::log(kStep);
        double n = std::trunc(steps + double(s.fontMapping) - 0.5);
        if (n <= 0) return kFlagHighResFont;
        if (n == 1) return kFlagHighResFont | kFlagLargeFont;
        if (n == 2) return 0;
        return kFlagLargeFont;
    }
    // size >= 1.2 * default (in integers: 5 * size >= 6 * default), or at
    // least the size a large font reads back as, so that reading a sheet and
    // writing it again keeps its fonts (default 11: large reads back as 13,
    // which is below 13.2).
    // The default size itself always stays small.
    double readBack = std::trunc(kStep * double(s.defaultFontSize) + 0.5);
    bool large = 5 * int64_t(points) >= 6 * int64_t(s.defaultFontSize) ||
                 (points > s.defaultFontSize && double(points) >= readBack);
    uint32_t bits = large ? kFlagLargeFont : 0;
    if (s.highResolution) bits |= kFlagHighResFont;
    return bits;
}

int16_t pointsForFontBits(uint32_t flags, const FontSettings& s) {
    if (mapped(s)) {
        double e = 1.0 - double(s.fontMapping) + ((flags & kFlagLargeFont) ? 1 : 0) +
                   ((flags & kFlagHighResFont) ? 0 : 2);
        return toPoints(std::pow(kStep, e) * double(s.defaultFontSize) + 0.5);
    }
    if (flags & kFlagLargeFont) return toPoints(kStep * double(s.defaultFontSize) + 0.5);
    return toPoints(double(s.defaultFontSize));
}

}  // namespace workbook
