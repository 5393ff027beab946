// The handheld workbooks found in a user's Backup folder.
#include "syncmgr/discovery.h"

#include <filesystem>

#include "support/sandbox.h"

using foundation::HandheldBook;
using testsupport::SheetDbSpec;

namespace {

class Discovery : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    std::vector<HandheldBook> books;

    int scan() { return syncmgr::scanHandheldBooks(box.backup(ann), books); }
    const HandheldBook* find(std::string_view name) {
        for (const auto& b : books)
            if (b.bookName() == name) return &b;
        return nullptr;
    }
    void put(const std::string& name, uint16_t version, uint32_t counter = 0, uint8_t category = 0) {
        box.putInBackup(ann, SheetDbSpec{name, version, counter, uint8_t(0x02 | (category << 4))});
    }
};

}  // namespace

TEST_F(Discovery, SheetsOfABookMergeIntoOne) {
    put("Budget-Jan", 71, 5, 3);
    put("Budget-Feb", 60, 9, 3);
    put("Accounts", 71, 2);
    ASSERT_EQ(scan(), 2);
    EXPECT_EQ(books[0].bookName(), "Accounts");  // sorted by name
    EXPECT_EQ(books[0].versionSign, -71);        // no hyphen: breaks the naming rule
    EXPECT_EQ(books[1].bookName(), "Budget");
    EXPECT_EQ(books[1].versionSign, 71);
    EXPECT_EQ(books[1].category, 3);
    EXPECT_EQ(books[1].changeCounter, 9u);  // the highest counter of its sheets
    EXPECT_NE(books[1].newestBackupTime.value(), 0u);
}

TEST_F(Discovery, VersionsOutsideTheWindow) {
    put("Old-Sheet", 40, 7, 5);
    put("New-Sheet", 72);
    ASSERT_EQ(scan(), 2);
    const HandheldBook* old = find("Old-Sheet");  // the whole name, not the book part
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->versionSign, 0);
    EXPECT_EQ(old->category, -1);
    EXPECT_EQ(old->changeCounter, 0u);
    EXPECT_EQ(old->newestBackupTime.value(), 0u);
    ASSERT_NE(find("New-Sheet"), nullptr);
    // A supported sheet of the same book part outranks an unsupported one.
    put("Old", 71);
    put("Old-Sheet2", 50);
    ASSERT_EQ(scan(), 3);
    EXPECT_EQ(find("Old")->versionSign, 50);
}

TEST_F(Discovery, NamingRuleOnTheBookPart) {
    put(std::string(22, 'b') + "-Jan", 71);
    put(std::string(21, 'c') + "-Jan", 71);
    put("-Jan", 71);  // empty book part
    put("A-B-C", 71);
    ASSERT_EQ(scan(), 4);
    EXPECT_EQ(find(std::string(22, 'b'))->versionSign, -71);
    EXPECT_EQ(find(std::string(21, 'c'))->versionSign, 71);
    EXPECT_EQ(find("")->versionSign, -71);
    EXPECT_EQ(find("A-B")->versionSign, 71);  // cut at the last hyphen
}

TEST_F(Discovery, SignsMergeTowardsTheHighestSupportedVersion) {
    put("Mixed", 60);      // -60
    put("Mixed-Jan", 55);  // 55
    put("Mixed-Feb", 65);  // 65
    put("Rule", 60);       // -60
    put("Rule-", 71);      // empty sheet part still has a hyphen: 71? book part "Rule" → 71
    put("Neg", 70);
    put("NEG", 52);  // the lowest negative one wins among rule breakers
    ASSERT_EQ(scan(), 3);
    EXPECT_EQ(find("Mixed")->versionSign, 65);
    EXPECT_EQ(find("Rule")->versionSign, 71);
    const HandheldBook* neg = find("Neg") ? find("Neg") : find("NEG");
    ASSERT_NE(neg, nullptr);
    EXPECT_EQ(neg->versionSign, -70);
}

TEST_F(Discovery, OnlySheetDatabasesCount) {
    put("Budget-Jan", 71);
    box.putInBackup(ann, SheetDbSpec{"PiTBPref", 71}, "PiTBPref.PDB");
    box.putInBackup(ann, SheetDbSpec{"PiTBData", 71}, "pitbdata.pdb");
    box.putInBackup(ann, SheetDbSpec{"Hidden-Jan", 71}, ".Hidden-Jan.pdb");
    SheetDbSpec doc{"Notes", 70};
    doc.type = "TEXt";
    doc.creator = "REAd";
    box.putInBackup(ann, doc);
    box.putInBackup(ann, SheetDbSpec{"Other-Ext", 71}, "Other-Ext.dat");
    box.putInBackup(ann, SheetDbSpec{"Upper-Case", 71}, "Upper-Case.PDB");
    std::filesystem::create_directory(box.backup(ann) + "/Folder.pdb");
    testsupport::writeFile(box.backup(ann) + "/Short.pdb", std::string(50, 'x'));
    // A header that claims a record list which is not there.
    auto noRecords = testsupport::makeSheetDatabase(SheetDbSpec{"Broken-A", 71});
    noRecords.resize(90);
    testsupport::writeFile(box.backup(ann) + "/Broken-A.pdb", noRecords);
    auto zero = testsupport::makeSheetDatabase(SheetDbSpec{"Broken-B", 71});
    zero[76] = zero[77] = 0;  // no records at all
    testsupport::writeFile(box.backup(ann) + "/Broken-B.pdb", zero);
    ASSERT_EQ(scan(), 2);
    EXPECT_NE(find("Budget"), nullptr);
    EXPECT_NE(find("Upper"), nullptr);
}

TEST_F(Discovery, FoldersOfTheUser) {
    foundation::LinkRegistry registry = box.linkRegistry();
    ASSERT_GE(testsupport::loadLinks(registry), 0);
    put("Budget-Jan", 71);
    EXPECT_EQ(syncmgr::FindHandheldBooks(registry, 0, books), 1);
    EXPECT_EQ(syncmgr::FindHandheldBooks(registry, -1, books), BF_ERR_PARAMETER);
    // Without a Backup folder the user folder itself is scanned.
    std::filesystem::remove_all(box.backup(ann));
    testsupport::writeFile(box.userFolder(ann) + "/Loose-One.pdb",
                           testsupport::makeSheetDatabase(SheetDbSpec{"Loose-One", 71}));
    ASSERT_EQ(syncmgr::FindHandheldBooks(registry, 0, books), 1);
    EXPECT_EQ(books[0].bookName(), "Loose");
    std::filesystem::remove_all(box.userFolder(ann));
    EXPECT_EQ(syncmgr::FindHandheldBooks(registry, 0, books), BF_ERR_PATH);
    // A user index without a user has no folder.
    EXPECT_EQ(syncmgr::FindHandheldBooks(registry, 5, books), BF_ERR_PATH);
}
