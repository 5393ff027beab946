// VerifyImport: whether an open workbook is due for import, under the links
// and sync rules of the link registry; and the import that follows.
#include "syncmgr/import_checks.h"

#include <cctype>
#include <cstdio>
#include <tuple>

#include "platform/bstr.h"
#include "support/sandbox.h"
#include "syncmgr/discovery.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/link_editing.h"
#include "workbook/sheet_import.h"

using foundation::LinkEntry;
using testsupport::SheetDbSpec;

namespace {

struct Record : TextRecord {
    explicit Record(std::string_view text) : TextRecord{} { this->text = platform::allocByteString(text); }
    ~Record() { platform::clearByteString(text); }
    Record(const Record&) = delete;
    std::string bytes() const { return std::string(platform::byteStringView(text)); }
};

class VerifyImportTest : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");
    std::string sheets = box.dir.makeDir("Sheets");
    std::string workbook = sheets + "/Budget.xls";
    foundation::LinkRegistry registry = box.linkRegistry();
    workbook::TransferOptions options;
    workbook::TransferContext context{registry, options};
    std::string lastListed;

    void SetUp() override {
        syncmgr::useBackupDiscovery(registry);
        // Ann's handheld has the book Budget with change counter 5.
        box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 5});
        box.putInBackup(ann, SheetDbSpec{"Budget-Feb", 71, 3});
        box.putInBackup(ann, SheetDbSpec{"Budgets-Mar", 71, 9});
    }

    static std::string linkLine(int rule, int32_t lastSynced, const std::string& path, int fontMapping = 2) {
        return testsupport::linkLine("Budget", rule, lastSynced, path, 0, fontMapping);
    }
    // TBRegistry.dat with one section per (user name, enabled, link line).
    void writeRegistry(const std::vector<std::tuple<std::string, int, std::string>>& sections) {
        std::string text;
        for (const auto& [user, enabled, line] : sections)
            text += testsupport::linkSection(user, line, enabled != 0);
        box.writeLinks(text);
    }
    int16_t verify(Record& r) { return syncmgr::VerifyImport(context, &r, lastListed); }
    LinkEntry* link(int user) { return registry.findLink(user, "Budget"); }
};

}  // namespace

TEST_F(VerifyImportTest, MarkedForImportListsTheBook) {
    writeRegistry({{"Ann", 1, linkLine(0, -1, workbook)}});
    Record r(workbook);
    ASSERT_EQ(verify(r), ann);
    EXPECT_EQ(r.number, 2);
    EXPECT_EQ(r.bytes(), box.backup(ann) + "/Budget" + std::string("\0Budget-Feb.pdb\0Budget-Jan.pdb\0", 31));
    EXPECT_EQ(lastListed, "Budget-Jan");
    EXPECT_EQ(options.fontMapping, 2);
    EXPECT_EQ(options.importUser, ann);
    ASSERT_NE(link(ann), nullptr);
    EXPECT_EQ(link(ann)->lastSyncedCounter, 6);  // changeCounter + 1, in memory only
}

TEST_F(VerifyImportTest, MinusTwoNeverImportsUnderSynchronize) {
    // -2 read unsigned is larger than any counter.
    writeRegistry({{"Ann", 1, linkLine(0, -2, workbook)}});
    Record r(workbook);
    EXPECT_EQ(verify(r), BF_ERR_PARAMETER);
    EXPECT_EQ(r.bytes(), workbook);  // the record is left alone
    EXPECT_EQ(link(ann)->lastSyncedCounter, -2);
}

TEST_F(VerifyImportTest, SynchronizeImportsANewerHandheldBook) {
    for (int32_t lastSynced : {0, 4, 5, 6, -3}) {
        writeRegistry({{"Ann", 1, linkLine(0, lastSynced, workbook)}});
        Record r(workbook);
        EXPECT_EQ(verify(r), lastSynced == 0 || lastSynced == 4 ? ann : BF_ERR_PARAMETER) << lastSynced;
    }
}

TEST_F(VerifyImportTest, HandheldOverwritesAlwaysDesktopOverwritesNever) {
    writeRegistry({{"Ann", 1, linkLine(1, 100, workbook)}});
    Record always(workbook);
    EXPECT_EQ(verify(always), ann);
    EXPECT_EQ(link(ann)->lastSyncedCounter, 6);
    writeRegistry({{"Ann", 1, linkLine(2, -1, workbook)}});
    Record never(workbook);
    EXPECT_EQ(verify(never), BF_ERR_PARAMETER);
}

TEST_F(VerifyImportTest, DisabledUsersAreSkipped) {
    box.putInBackup(bo, SheetDbSpec{"Budget", 71, 2});
    writeRegistry({{"Ann", 0, linkLine(1, -1, workbook)}, {"Bo", 1, linkLine(0, -1, workbook, 3)}});
    Record r(workbook);
    ASSERT_EQ(verify(r), bo);
    EXPECT_EQ(r.number, 1);
    EXPECT_EQ(r.bytes(), box.backup(bo) + "/Budget" + std::string("\0Budget.pdb\0", 12));
    EXPECT_EQ(lastListed, "Budget");
    EXPECT_EQ(options.fontMapping, 3);
    EXPECT_EQ(options.importUser, bo);  // Bo's device class scales the sheets
    EXPECT_EQ(link(bo)->lastSyncedCounter, 3);
    EXPECT_EQ(link(ann)->lastSyncedCounter, -1);
}

TEST_F(VerifyImportTest, FirstQualifyingUserInIndexOrder) {
    box.putInBackup(bo, SheetDbSpec{"Budget-Jan", 71, 8});
    // Ann's link does not qualify; Bo has one that does.
    writeRegistry({{"Ann", 1, linkLine(2, -1, workbook)}, {"Bo", 1, linkLine(0, 7, workbook)}});
    Record r(workbook);
    EXPECT_EQ(verify(r), bo);
    // Both qualify: Ann first.
    writeRegistry({{"Ann", 1, linkLine(0, -1, workbook)}, {"Bo", 1, linkLine(0, 7, workbook)}});
    Record both(workbook);
    EXPECT_EQ(verify(both), ann);
}

TEST_F(VerifyImportTest, PathMustBeTheLinkedOne) {
    writeRegistry({{"Ann", 1, linkLine(0, -1, workbook)}});
    Record elsewhere(box.dir.path() + "/Other/Budget.xls");
    EXPECT_EQ(verify(elsewhere), BF_ERR_PARAMETER);
    EXPECT_EQ(elsewhere.bytes(), box.dir.path() + "/Other/Budget.xls");
    Record prefix(sheets + "/Budget.xlsx");
    EXPECT_EQ(verify(prefix), BF_ERR_PARAMETER);
    // Compared without regard to case, the ending included.
    std::string upper = workbook;
    for (char& c : upper) c = char(toupper(uint8_t(c)));
    Record shouting(upper);
    EXPECT_EQ(verify(shouting), ann);
}

TEST_F(VerifyImportTest, OnlyExcelWorkbooks) {
    std::string csv = sheets + "/Budget.csv";
    writeRegistry({{"Ann", 1, "Budget=0,1,-1,0,0,0?" + csv}});
    Record r(csv);
    EXPECT_EQ(verify(r), BF_ERR_PARAMETER);
    Record noEnding(sheets + "/Budget");
    EXPECT_EQ(verify(noEnding), BF_ERR_PARAMETER);
    Record shortName("xls");
    EXPECT_EQ(verify(shortName), BF_ERR_PARAMETER);
    Record empty("");
    EXPECT_EQ(verify(empty), BF_ERR_PARAMETER);
    EXPECT_EQ(syncmgr::VerifyImport(context, nullptr, lastListed), BF_ERR_PARAMETER);
}

TEST_F(VerifyImportTest, UnknownBookOrNoRegistry) {
    writeRegistry({});
    Record r(workbook);
    EXPECT_EQ(verify(r), BF_ERR_PARAMETER);  // Budget is on the handheld but linked to nothing
    std::remove((box.productFolder + "/sync.dat").c_str());
    writeRegistry({{"Ann", 1, linkLine(0, -1, workbook)}});
    EXPECT_EQ(verify(r), BF_ERR_PARAMETER);  // the refresh fails
}

TEST(ImportDue, SyncRules) {
    LinkEntry link;
    link.book.changeCounter = 0x80000000u;
    link.syncRule = foundation::kSyncSynchronize;
    link.lastSyncedCounter = 0x7FFFFFFF;
    EXPECT_TRUE(syncmgr::importDue(link));  // unsigned comparison
    link.lastSyncedCounter = int32_t(0x80000000u);
    EXPECT_FALSE(syncmgr::importDue(link));
    link.syncRule = 7;  // no such rule
    link.lastSyncedCounter = -1;
    EXPECT_FALSE(syncmgr::importDue(link));
}

TEST_F(VerifyImportTest, ImportedBookIsRecordedAtTheEndOfItsLastSheet) {
    // The sheets carry a cell each; the last one read commits the counter.
    SheetDbSpec jan{"Budget-Jan", 71, 5};
    workbook::SheetCell cell;
    cell.key = {1, 1};
    cell.text = "January";
    jan.cellRecords.emplace_back();
    workbook::appendCellRecord(jan.cellRecords.back(), cell);
    box.putInBackup(ann, jan);
    writeRegistry({{"Ann", 1, linkLine(0, -1, workbook)}});

    // The library's state saves the registry at the end of the book, which
    // releases the import state.
    syncmgr::GridlinkState state;
    workbook::TransferContext library = state.context();
    workbook::SheetImport& import = state.sheetImport;
    Record list(workbook);
    ASSERT_EQ(syncmgr::VerifyImport(library, &list, import.lastListedBook), ann);
    std::vector<std::string> texts;
    for (int16_t k = 1; k <= list.number; ++k) {
        SheetRecord sheet{};
        sheet.sheetNumber = k;
        ASSERT_GT(import.GetSheetName(library, &sheet, &list), 0);
        CellRecord c{};
        int16_t rc;
        while ((rc = import.GetCellInfo(library, &c)) == 0)
            texts.emplace_back(platform::byteStringView(c.text));
        EXPECT_EQ(rc, BF_EOF);
        platform::clearByteString(c.text);
        platform::clearByteString(c.currencyText);
        platform::clearByteString(sheet.sheetName);
        platform::clearByteString(sheet.currencyText);
    }
    EXPECT_EQ(texts, std::vector<std::string>{"January"});
    EXPECT_FALSE(import.sheetOpen());
    auto bytes = testsupport::readFile(box.registryFile());
    std::string onDisk(bytes.begin(), bytes.end());
    EXPECT_NE(onDisk.find(linkLine(0, 6, workbook)), std::string::npos) << onDisk;
    // The next question finds nothing new.
    Record again(workbook);
    EXPECT_EQ(syncmgr::VerifyImport(library, &again, import.lastListedBook), BF_ERR_PARAMETER);
}
