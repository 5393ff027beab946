// The product icon, 32 x 32: a page of text with a handheld in front of it,
// drawn as text (platform/pixel_art.h).
#include "text/text_icon.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/pixel_art.h"

#include "text/text_dialogs.h"

namespace text {

namespace {

constexpr size_t kSide = 32;
using Pixels = std::array<uint32_t, kSide * kSide>;

consteval Pixels draw(const std::array<std::string_view, kSide>& rows) {
    return platform::ui::drawPixelArt<kSide>(rows);
}

// clang-format off
constexpr Pixels kIcon = draw({
    "................................",
    "...kkkkkkkkkkkkkk...............",
    "...kwwwwwwwwwwwwkg..............",
    "...kwwwwwwwwwwwwkgg.............",
    "...kwwwwwwwwwwwwkggg............",
    "...kwwbbbbbbbbwwkgggg...........",
    "...kwwwwwwwwwwwwkkkkkk..........",
    "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwbbbbbbbbbbbbbwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwbbbbbbbbbbbbbwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwwwwwwwwwwwwwwwwk..........",
    "...kwwbbbbbbbbbwwwwkkkkkkkkkkk..",
    "...kwwwwwwwwwwwwwwwkgggggggggk..",
    "...kwwwwwwwwwwwwwwwkgkkkkkkkgk..",
    "...kwwbbbbbbbbbbbbbkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgksbbbskgk..",
    "...kwwwwwwwwwwwwwwwkgkssssskgk..",
    "...kwwbbbbbbbbbbbbbkgksbbbskgk..",
    "...kwwwwwwwwwwwwwwwkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgksbbbskgk..",
    "...kwwbbbbbbbbbwwwwkgkssssskgk..",
    "...kwwwwwwwwwwwwwwwkgkkkkkkkgk..",
    "...kwwwwwwwwwwwwwwwkgggggggggk..",
    "...kwwwwwwwwwwwwwwwkgggggggggk..",
    "...kwwwwwwwwwwwwwwwkggkgkgkggk..",
    "...kkkkkkkkkkkkkkkkkgggggggggk..",
    "...................kgggggggggk..",
    "...................kkkkkkkkkkk..",
    "................................",
});
// clang-format on

constexpr platform::ui::Image kImages[] = {{kProductIconResource, kSide, kSide, kIcon}};

}  // namespace

std::span<const platform::ui::Image> productIcon() { return kImages; }

}  // namespace text
