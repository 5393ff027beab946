#include "syncmgr/categories.h"

#include <algorithm>
#include <string_view>

#include "platform/files.h"
#include "syncmgr/discovery.h"

namespace syncmgr {

namespace {

// The application info block: from appInfoID to the first record (or the end
// of the file), when it lies after the record list.
std::span<const uint8_t> appInfoBlock(const foundation::PdbImage& image) {
    const size_t start = image.field32(foundation::pdb::kAppInfoIdOffset);
    const size_t listEnd = foundation::pdb::firstRecordOffset(image.numRecords());
    size_t end = image.size();
    if (image.numRecords() > 0) end = image.recordOffset(0);
    if (start == 0 || start < listEnd || start >= end || end > image.size()) return {};
    return std::span<const uint8_t>(image.bytes).subspan(start, end - start);
}

std::string nameAt(std::span<const uint8_t> block, size_t i) {
    auto field = block.subspan(kCategoryFlagsSize + i * kCategoryNameSize, kCategoryNameSize);
    size_t length = size_t(std::find(field.begin(), field.end(), uint8_t(0)) - field.begin());
    return std::string(reinterpret_cast<const char*>(field.data()), length);
}

bool byteLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return uint8_t(x) < uint8_t(y); });
}

}  // namespace

std::vector<CategoryEntry> categoriesOfImage(const foundation::PdbImage& image, int32_t* deviceClass) {
    std::vector<CategoryEntry> entries{{0, kAllCategories}};
    if (!foundation::validPdbLayout(image)) return entries;
    auto record0 = foundation::recordAt(image, 0);
    if (!record0 || record0->size() <= kDeviceClassOffset) return entries;
    if (deviceClass) *deviceClass = (*record0)[kDeviceClassOffset];

    std::span<const uint8_t> block = appInfoBlock(image);
    if (block.size() < kCategoryFlagsSize + kCategoriesRead * kCategoryNameSize) return entries;
    if (block[kCategoryFlagsSize] == 0) return entries;
    for (size_t i = 0; i < kCategoriesRead; ++i) {
        std::string name = nameAt(block, i);
        if (name.empty()) continue;
        auto at = std::upper_bound(
            entries.begin() + 1, entries.end(), name,
            [](const std::string& n, const CategoryEntry& e) { return byteLess(n, e.name); });
        entries.insert(at, CategoryEntry{uint8_t(i), std::move(name)});
    }
    return entries;
}

int LoadCategories(foundation::LinkRegistry& registry, int userIndex, std::vector<CategoryEntry>& entries,
                   int32_t* deviceClass, CategoryCache& cache) {
    entries.assign(1, CategoryEntry{0, kAllCategories});
    cache.release();
    if (userIndex < 0 || size_t(userIndex) >= registry.userList.size()) return 1;
    const std::string folder = registry.backupFolder(userIndex);
    if (folder.empty() || !foundation::loadPdb(cache.image, platform::joinPath(folder, kPreferencesDatabase)))
        return 1;
    int32_t device = -1;
    entries = categoriesOfImage(cache.image, &device);
    if (device >= 0) {
        registry.userList[size_t(userIndex)].deviceClass = device;
        if (deviceClass) *deviceClass = device;
    }
    return int(entries.size());
}

}  // namespace syncmgr
