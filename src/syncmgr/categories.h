// syncmgr/categories.h - a user's handheld categories, from PiTBPref.PDB.
//
// The handheld application's preferences database, copied to the user's
// Backup folder at every HotSync, carries the category names of its books
// and the device class of the handheld:
//
//   where                      width  meaning
//   record 0, offset 79         1     the handheld's deviceClass (kept in
//                                     the user's UserEntry)
//   application info block            the standard Palm category layout:
//     +0                        2     renamed-categories flags (not used)
//     +2                   16 x 16    category names, NUL-padded; index i is
//                                     the handheld's category number i
//
// The list starts with "All" (index byte 0) and holds the non-empty names of
// categories 0 to 14 in ascending byte-wise order, a name after names equal
// to it. A file that cannot be read, is malformed, lacks record 0's byte or
// the block's 15 names, or whose first name is empty gives "All" alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/link_registry.h"
#include "foundation/pdb.h"

namespace syncmgr {

constexpr size_t kCategoryNameSize = 16;       // one name in the block
constexpr size_t kCategoryCount = 16;          // names in the block
constexpr size_t kCategoriesRead = 15;         // names 0 to 14 are listed
constexpr size_t kCategoryFlagsSize = 2;       // before the names
constexpr size_t kDeviceClassOffset = 79;      // in record 0
constexpr size_t kMaxCategoryEntries = 16;     // "All" and 15 names
constexpr size_t kMaxCategoryNameLength = 19;  // CategoryEntry's name field
constexpr const char* kAllCategories = "All";

struct CategoryEntry {
    uint8_t index = 0;  // the handheld's category number (0 for "All")
    std::string name;
    friend bool operator==(const CategoryEntry&, const CategoryEntry&) = default;
};

// The last PiTBPref.PDB image read, kept until the link registry is freed.
struct CategoryCache {
    foundation::PdbImage image;
    void release() { image.bytes = {}; }
};

// The category list of an image already loaded (loadPdb / loadPdbFromBytes):
// sets *deviceClass when record 0 is long enough; returns the list ("All"
// alone when the image does not hold what is read).
std::vector<CategoryEntry> categoriesOfImage(const foundation::PdbImage& image, int32_t* deviceClass);

// LoadCategories: reads PiTBPref.PDB of the user's Backup folder into the
// cache and fills entries; the user's deviceClass (and *deviceClass when
// given) take record 0's byte. Returns the number of entries (1 when the
// file gives only "All").
int LoadCategories(foundation::LinkRegistry& registry, int userIndex, std::vector<CategoryEntry>& entries,
                   int32_t* deviceClass, CategoryCache& cache);

}  // namespace syncmgr
