// The book-state pictures, 16 x 16, drawn as text (platform/pixel_art.h):
// to change a picture, edit its rows.
#include "syncmgr/sync_manager_images.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/pixel_art.h"

namespace syncmgr {

namespace {

constexpr size_t kSide = 16;
using Pixels = std::array<uint32_t, kSide * kSide>;

consteval Pixels draw(const std::array<std::string_view, kSide>& rows) {
    return platform::ui::drawPixelArt<kSide>(rows);
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
