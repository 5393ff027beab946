// syncmgr/sync_manager_images.h - the Sync Manager's four 16 x 16 book states.
//
// The list view shows each book with one of these (resources 140 to 143,
// image index 0 to 3); the pictures are text pixel art in
// sync_manager_images.cpp, turned into ARGB pixels at compile time.
#pragma once

#include <span>

#include "platform/dialog.h"

namespace syncmgr {

enum BookImage : int {
    kImageLinked = 0,       // linked and on the handheld
    kImageNotLinked = 1,    // on the handheld, not linked
    kImageDesktopOnly = 2,  // linked, not on the handheld yet
    kImageUnsupported = 3,  // unsupported version or against the naming rule
};

constexpr int kFirstImageResource = 140;

// The four images in image-index order.
std::span<const platform::ui::Image> syncManagerImages();

}  // namespace syncmgr
