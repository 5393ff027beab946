// text/text_icon.h - the product icon of the About box (resource 120).
//
// A 32 x 32 picture kept as text pixel art in text_icon.cpp, turned into
// ARGB pixels at compile time.
#pragma once

#include <span>

#include "platform/dialog.h"

namespace text {

// The icon, as the About box's only image (image index 0).
std::span<const platform::ui::Image> productIcon();

}  // namespace text
