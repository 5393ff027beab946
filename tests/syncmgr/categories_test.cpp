// LoadCategories on PiTBPref.PDB images: the sorted list after "All", the
// device class, and the "All"-only list for every image that lacks what is
// read.
#include "syncmgr/categories.h"

#include "sync_manager_fixture.h"

using syncmgr::CategoryEntry;
using Entries = std::vector<CategoryEntry>;

namespace {

foundation::PdbImage imageOf(std::vector<uint8_t> bytes) {
    foundation::PdbImage image;
    image.bytes = std::move(bytes);
    // As loadPdb leaves it (host order), without its layout check, so that
    // the parser's own bounds are what is tested.
    if (image.hasHeader()) {
        foundation::swapPdbHeader(image);
        foundation::swapRecordOffsets(image);
    }
    return image;
}

}  // namespace

TEST(Categories, ListFromImages) {
    const Entries all{{0, "All"}};
    const std::vector<uint8_t> good = smtest::prefsDatabase({"Unfiled", "Business", "", "Personal"}, 1);
    // The block cut to 241 bytes, one short of the 15 names read.
    std::vector<uint8_t> shortBlock = smtest::prefsDatabase({"Unfiled"}, 1);
    const size_t blockStart = foundation::pdb::firstRecordOffset(1);
    shortBlock.erase(shortBlock.begin() + std::ptrdiff_t(blockStart + 241),
                     shortBlock.begin() + std::ptrdiff_t(blockStart + 258));
    foundation::storeBE32(&shortBlock[foundation::pdb::kHeaderSize], uint32_t(blockStart + 241));
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        Entries expected;
        int32_t deviceClass;  // -1: left alone
    };
    const Case cases[] = {
        {"sorted byte-wise after All, empty names left out",
         good,
         {{0, "All"}, {1, "Business"}, {3, "Personal"}, {0, "Unfiled"}},
         1},
        {"equal names keep their order; name 15 is not read; 16 bytes without NUL",
         smtest::prefsDatabase(
             {"b", "a", "b", "abcdefghijklmnopq", "", "", "", "", "", "", "", "", "", "", "", "z"}),
         {{0, "All"}, {1, "a"}, {3, "abcdefghijklmnop"}, {0, "b"}, {2, "b"}},
         2},
        {"bytes above 0x7F sort after ASCII",
         smtest::prefsDatabase({"\xC4pfel", "Zoo"}),
         {{0, "All"}, {1, "Zoo"}, {0, "\xC4pfel"}},
         2},
        {"first name empty", smtest::prefsDatabase({"", "Business"}, 3), all, 3},
        {"no application info block", smtest::prefsDatabase({}, 4), all, 4},
        {"block shorter than 15 names", shortBlock, all, 1},
        {"record 0 too short for the device class", smtest::prefsDatabase({"Unfiled"}, 5, 79), all, -1},
        {"no record at all", testsupport::databaseFile(testsupport::databaseHeader("PiTBPref", 1), {}), all,
         -1},
        {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 60), all, -1},
        {"cut inside the block", std::vector<uint8_t>(good.begin(), good.begin() + 200), all, -1},
        {"empty", {}, all, -1},
    };
    for (const Case& c : cases) {
        int32_t deviceClass = -1;
        EXPECT_EQ(syncmgr::categoriesOfImage(imageOf(c.bytes), &deviceClass), c.expected) << c.what;
        EXPECT_EQ(deviceClass, c.deviceClass) << c.what;
    }
}
