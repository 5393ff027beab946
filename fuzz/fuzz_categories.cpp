// LoadCategories' parser on arbitrary PiTBPref.PDB images: the container is
// loaded as a file would be, then the parser runs on the raw image too (its
// own bounds, without the container's layout check having passed).
#include <cstddef>
#include <cstdint>

#include "foundation/pdb.h"
#include "syncmgr/categories.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    foundation::PdbImage image;
    int32_t deviceClass = -1;
    if (foundation::loadPdbFromBytes(image, {data, size})) syncmgr::categoriesOfImage(image, &deviceClass);
    image.bytes.assign(data, data + size);
    auto entries = syncmgr::categoriesOfImage(image, &deviceClass);
    if (entries.empty() || entries.size() > syncmgr::kMaxCategoryEntries) __builtin_trap();
    return 0;
}
