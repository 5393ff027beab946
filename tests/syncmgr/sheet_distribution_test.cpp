// Sheet export against HotSync users in a sandbox: the merge with the
// handheld's copy in Backup, the distribution into the Install folders under
// the link rules, install flags, refused names and write failures.
#include <cerrno>
#include <filesystem>

#include "foundation/link_registry.h"
#include "foundation/pdb.h"
#include "platform/bstr.h"
#include "platform/faults.h"
#include "support/sandbox.h"
#include "support/test_support.h"
#include "syncmgr/sheet_distribution.h"
#include "workbook/sheet_export.h"

using namespace workbook;
using testsupport::hexBytes;
using testsupport::sameBytes;
namespace fs = std::filesystem;

namespace {

constexpr const char* kThreeUsers =
    "0\r\n"
    "[Ann]\r\nenabled=13\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
    "[Bo]\r\nenabled=10\r\nBudget=2,5,-1,0,0,-1?/pc/Budget.xls\r\n"
    "[Cy]\r\nenabled=15\r\nBudget=1,1,-1,0,0,-1?/pc/Budget.xls\r\n";

// A sheet database file from whole records.
std::vector<uint8_t> databaseBytes(const std::string& name, uint16_t version,
                                   const std::vector<std::vector<uint8_t>>& records) {
    return testsupport::databaseFile(testsupport::databaseHeader(name, version), records);
}

std::vector<uint8_t> handheldCopy(const std::string& name, const BookHeader& header,
                                  const std::vector<RowEntry>& rows = {},
                                  const std::vector<ColumnEntry>& columns = {}, uint16_t version = 71) {
    return databaseBytes(name, version,
                         {buildHeaderRecord(header), buildRowEntriesRecord(rows),
                          buildColumnEntriesRecord(columns), buildTerminatorRecord()});
}

BookHeader handheldHeader(uint32_t openHash) {
    BookHeader h = bookHeaderTemplate();
    h.version = 71;
    h.openPasswordHash = openHash;
    return h;
}

struct SheetInput {
    SheetRecord rec{};
    explicit SheetInput(std::string_view name) {
        rec.fontSize = 10;
        rec.defaultFontSize = 10;
        platform::replaceByteString(rec.sheetName, name);
    }
    ~SheetInput() { platform::clearByteString(rec.sheetName); }
};

class ExportUsers : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    foundation::LinkRegistry registry = box.linkRegistry();
    TransferOptions options;
    TransferContext context{registry, options};
    // Distributes as the library does and counts the written sheets; the
    // library reloads the link registry there, which releases the sheet.
    struct Owner : SheetExportOwner {
        int calls = 0;
        int16_t answer = 1;
        SheetExport* sheet = nullptr;
        int16_t writeToUsers(TransferContext& context, std::string_view bookName,
                             const foundation::PdbImage& image, size_t& usersWritten) override {
            return syncmgr::WriteSheetToUsers(context, bookName, image, -1, 0, &usersWritten);
        }
        int16_t afterWrite() override {
            ++calls;
            sheet->release();
            return answer;
        }
    } owner;
    SheetExport sheet{&owner};
    int ann = 0, bo = 0, cy = 0;

    ExportUsers() {
        owner.sheet = &sheet;
        ann = box.addUser("Ann", "1001");
        bo = box.addUser("Bo", "1002");
        cy = box.addUser("Cy", "1003");
    }
    void TearDown() override { platform::faults::disarmAll(); }

    void load(const std::string& text = kThreeUsers) {
        testsupport::writeFile(box.registryFile(), text);
        ASSERT_GE(testsupport::loadLinks(registry), 0);
        ASSERT_EQ(registry.userList.size(), 3u);
    }
    int16_t start(std::string_view book = "Budget", std::string_view sheetName = "Jan") {
        options.exportTarget.exportBookName = std::string(book);
        SheetInput input(sheetName);
        return sheet.SetSheetName(context, &input.rec);
    }
    int16_t close() {
        CellRecord closing{};
        closing.column = 257;
        return sheet.SetCellInfo(context, &closing);
    }
    std::string installed(int user, const std::string& name = "Budget-Jan") const {
        return box.install(user) + "/" + name + ".pdb";
    }
    static BookHeader headerOf(const std::string& path) {
        foundation::PdbImage image;
        EXPECT_TRUE(foundation::loadPdb(image, path)) << path;
        auto record = foundation::recordAt(image, 0);
        auto header = record ? parseHeaderRecord(*record) : std::nullopt;
        EXPECT_TRUE(header.has_value());
        return header.value_or(BookHeader{});
    }
    static std::vector<uint8_t> recordOf(const std::string& path, size_t i) {
        foundation::PdbImage image;
        EXPECT_TRUE(foundation::loadPdb(image, path));
        auto r = foundation::recordAt(image, i);
        return r ? std::vector<uint8_t>(r->begin(), r->end()) : std::vector<uint8_t>{};
    }
    // Every file below the users' folders, Backup copies included.
    std::vector<std::string> filesOfUsers() const {
        std::vector<std::string> files;
        for (auto& e : fs::recursive_directory_iterator(fs::path(box.userFolder(ann)).parent_path()))
            if (e.is_regular_file()) files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
};

}  // namespace

TEST_F(ExportUsers, MergesTheHandheldCopyFromBackup) {
    BookHeader h = handheldHeader(0xCAFEBABE);
    h.formatFlags = 0x00101844;
    h.options = 0x0000F3FF;
    h.bookFlags = 0x71;  // category 7, high resolution, sizes not from the desktop
    h.color1 = 5;
    h.color2 = 6;
    h.defaultColumnWidth = 45;
    h.defaultRowHeight = 14;
    h.setting22 = 11;
    h.setting30 = 15;
    h.rowNumberClass = 1;
    h.carried58 = {1, 2, 3, 4};
    std::vector<RowEntry> rows = {{2, 20}, {0, 9}, {10001, 9}, {2, 30}, {5, 255}, {9999, 40}};
    ColumnEntry wide{3, 50, 0, 0x20000F, 7, 8};
    ColumnEntry plain{4, 255, 0, 15, 9, 9};  // default width and flags: not an entry
    ColumnEntry outside{300, 20, 0, 15, 255, 0};
    ColumnEntry zero{0, 20, 0, 15, 255, 0};
    ColumnEntry last{256, 10, 0, 15, 255, 0};
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb",
                           handheldCopy("Budget-Jan", h, rows, {wide, plain, outside, zero, last}));
    load();
    options.exportCategory = 4;
    options.exportTarget.exportBookName = "Budget";
    SheetInput input("Jan");
    input.rec.setting16 = 21;
    input.rec.setting20 = 22;
    input.rec.setting24 = 23;
    input.rec.setting28 = 24;
    input.rec.setting32 = 25;
    input.rec.setting36 = 26;
    input.rec.options = 0x2;
    input.rec.formatFlags = 0x8;  // replaced by the handheld's
    ASSERT_EQ(sheet.SetSheetName(context, &input.rec), 1);
    EXPECT_EQ(input.rec.deviceClass, 3);

    const BookHeader& made = sheet.header();
    EXPECT_EQ(made.openPasswordHash, 0xCAFEBABE);
    EXPECT_EQ(made.formatFlags, 0x00101844u);
    EXPECT_EQ(made.options, 0x0C00u | 0x1300u | 0x2u);
    EXPECT_EQ(made.bookFlags, 0x41);
    EXPECT_EQ(made.color1, 255);
    EXPECT_EQ(made.color2, 0);
    EXPECT_EQ(made.defaultColumnWidth, 45);
    EXPECT_EQ(made.defaultRowHeight, 14);
    EXPECT_EQ(made.setting24, 21);  // the record's settings win
    EXPECT_EQ(made.setting22, 22);
    EXPECT_EQ(made.setting30, 23);
    EXPECT_EQ(made.rowNumberClass, 1);
    EXPECT_EQ(made.carried58, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(sheet.rowCount(), 2u);
    EXPECT_EQ(sheet.columnCount(), 2u);

    CellRecord cell{};
    cell.row = 3;
    cell.column = 3;
    cell.formatFlags = 0x20000F | 0x10;  // differs from the column's explicit flags
    cell.backColor = 0xFFFFFF;
    ASSERT_EQ(sheet.SetCellInfo(context, &cell), 1);
    ASSERT_EQ(close(), 1);

    const std::string path = installed(ann);
    BookHeader written = headerOf(path);
    EXPECT_EQ(written.bookFlags, 0x30);  // category of Ann's link; 0x01 and 0x02 cleared
    EXPECT_EQ(written.openPasswordHash, 0xCAFEBABE);
    EXPECT_TRUE(sameBytes(hexBytes("00000001 0002 1E 270F 28"), recordOf(path, 1)));
    EXPECT_TRUE(sameBytes(hexBytes("00010000 0003 32 00 0021000F 07 08 0100 0A 00 0001000F FF 00"),
                          recordOf(path, 2)));
    const auto cellBytes = recordOf(path, 3);
    auto stored = parseCellRecord(cellBytes);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->flags, 0x20001Fu);
    EXPECT_EQ(stored->text, "");
}

TEST_F(ExportUsers, UnusableCopiesArePassedOver) {
    BookHeader newer = handheldHeader(0x1111);
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb",
                           handheldCopy("Budget-Jan", newer, {}, {}, 72));
    testsupport::writeFile(
        box.backup(bo) + "/Budget-Jan.pdb",
        databaseBytes("Budget-Jan", 71, {std::vector<uint8_t>(60, 0), buildTerminatorRecord()}));
    testsupport::writeFile(box.backup(cy) + "/Budget-Jan.pdb",
                           handheldCopy("Budget-Jan", handheldHeader(0x3333)));
    load();
    // For every user the first usable copy is merged; for one user only his
    // own copy, so a later user's password never reaches his handheld.
    struct Case {
        int32_t target;
        uint32_t hash;
        int16_t deviceClass;
    } cases[] = {{-1, 0x3333, 5}, {ann, 0, 3}, {bo, 0, 0}, {cy, 0x3333, 5}, {7, 0, 0}};
    for (const Case& c : cases) {
        SheetExport fresh;
        options.exportTargetUser = c.target;
        options.exportTarget.exportBookName = "Budget";
        SheetInput input("Jan");
        ASSERT_EQ(fresh.SetSheetName(context, &input.rec), 1) << c.target;
        EXPECT_EQ(fresh.header().openPasswordHash, c.hash) << c.target;
        EXPECT_EQ(input.rec.deviceClass, c.deviceClass) << c.target;
    }
    // Bo's file carries no password either.
    options.exportTargetUser = bo;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(close(), 1);
    EXPECT_EQ(headerOf(installed(bo)).openPasswordHash, 0u);
}

TEST_F(ExportUsers, TwoUsersLinkingOneBook) {
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb",
                           handheldCopy("Budget-Jan", handheldHeader(0xAAAA)));
    load();
    registry.findLink(ann, "Budget")->book.changeCounter = 41;
    registry.findLink(bo, "Budget")->book.changeCounter = 7;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(close(), 1);

    ASSERT_TRUE(fs::exists(installed(ann)));
    ASSERT_TRUE(fs::exists(installed(bo)));
    EXPECT_FALSE(fs::exists(installed(cy)));  // Handheld Overwrites
    EXPECT_EQ(headerOf(installed(ann)).bookFlags, 0x30);
    EXPECT_EQ(headerOf(installed(bo)).bookFlags, 0x50);  // the merged copy's flags, category 5
    EXPECT_EQ(registry.findLink(ann, "Budget")->lastSyncedCounter, 42);
    EXPECT_EQ(registry.findLink(bo, "Budget")->lastSyncedCounter, 8);
    EXPECT_EQ(registry.findLink(cy, "Budget")->lastSyncedCounter, -1);
    EXPECT_EQ(box.installFlag("1001"), 1);
    EXPECT_EQ(box.installFlag("1002"), 1);
    EXPECT_EQ(box.installFlag("1003"), -1);
}

TEST_F(ExportUsers, EachUserTakesOverOnlyHisOwnHandheldCopy) {
    BookHeader annCopy = handheldHeader(0xAAAA);
    annCopy.formatFlags = 0x800;
    annCopy.carried58 = {9, 9, 9, 9};
    BookHeader boCopy = handheldHeader(0xBBBB);
    boCopy.formatFlags = 0x100000;
    boCopy.defaultColumnWidth = 77;
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb", handheldCopy("Budget-Jan", annCopy));
    testsupport::writeFile(box.backup(bo) + "/Budget-Jan.pdb", handheldCopy("Budget-Jan", boCopy));
    load(
        "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
        "[Bo]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
        "[Cy]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n");
    ASSERT_EQ(start(), 1);  // merged from Ann's copy
    ASSERT_EQ(close(), 1);
    BookHeader a = headerOf(installed(ann)), b = headerOf(installed(bo)), c = headerOf(installed(cy));
    EXPECT_EQ(a.openPasswordHash, 0xAAAAu);
    EXPECT_EQ(b.openPasswordHash, 0xBBBBu);
    EXPECT_EQ(c.openPasswordHash, 0xAAAAu);  // the sheet as built, not Bo's copy
    EXPECT_EQ(b.formatFlags & 0x101800u, 0x100000u);
    EXPECT_EQ(c.formatFlags & 0x101800u, 0x800u);
    EXPECT_EQ(b.defaultColumnWidth, 77);
    EXPECT_EQ(c.defaultColumnWidth, 30);
    EXPECT_EQ(b.carried58, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(c.carried58, (std::array<uint8_t, 4>{9, 9, 9, 9}));
}

TEST_F(ExportUsers, ExcludedUserAndGivenCounter) {
    load();
    ASSERT_EQ(start(), 1);
    CellRecord closing{};
    foundation::PdbImage image;
    ASSERT_EQ(sheet.finishSheet(context, closing, image), 1);
    ASSERT_EQ(syncmgr::WriteSheetToUsers(context, "Budget", image, ann, 77), 1);
    EXPECT_FALSE(fs::exists(installed(ann)));
    EXPECT_TRUE(fs::exists(installed(bo)));
    EXPECT_EQ(registry.findLink(ann, "Budget")->lastSyncedCounter, -1);
    EXPECT_EQ(registry.findLink(bo, "Budget")->lastSyncedCounter, 77);
    EXPECT_EQ(box.installFlag("1001"), -1);
}

TEST_F(ExportUsers, OneUserExportStopsAfterIt) {
    load();
    options.exportTargetUser = ann;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(close(), 1);
    EXPECT_TRUE(fs::exists(installed(ann)));
    EXPECT_FALSE(fs::exists(installed(bo)));
    EXPECT_EQ(registry.findLink(ann, "Budget")->lastSyncedCounter, -1);  // link rules only for every user
    EXPECT_EQ(box.installFlag("1002"), -1);

    // One user is written whatever his link says; an excluded one gets nothing,
    // and neither does anyone after him.
    options.exportTargetUser = cy;
    ASSERT_EQ(start("Budget", "Feb"), 1);
    ASSERT_EQ(close(), 1);
    EXPECT_TRUE(fs::exists(installed(cy, "Budget-Feb")));
}

TEST_F(ExportUsers, NobodyReceivingTheSheetIsReported) {
    // Cy's book is of a version the library does not know (versionSign 0):
    // the export check lets his Handheld Overwrites link through, the write
    // to every user passes it over.
    box.putInBackup(cy, testsupport::SheetDbSpec("Budget-Jan", 40));
    const std::string cyOnly = "0\r\n[Cy]\r\nenabled=10\r\nBudget=1,1,-1,0,0,-1?/pc/Budget.xls\r\n";
    struct Case {
        const char* what;
        std::string links;
        int32_t target;
        int excluded;
        std::string book;
    } cases[] = {
        {"a Handheld Overwrites link only", cyOnly, -1, -1, "Budget"},
        {"a book nobody links", kThreeUsers, -1, -1, "Other"},
        {"the one user asked for is excluded", kThreeUsers, ann, ann, "Budget"},
        {"no such user", kThreeUsers, 7, -1, "Budget"},
    };
    const auto before = filesOfUsers();
    for (const Case& c : cases) {
        load(c.links);
        options.exportTargetUser = c.target;
        ASSERT_EQ(start(), 1) << c.what;
        CellRecord closing{};
        foundation::PdbImage image;
        ASSERT_EQ(sheet.finishSheet(context, closing, image), 1) << c.what;
        size_t written = 9;
        EXPECT_EQ(syncmgr::WriteSheetToUsers(context, c.book, image, c.excluded, 0, &written), BF_ERR_USER)
            << c.what;
        EXPECT_EQ(written, 0u) << c.what;
    }
    EXPECT_EQ(filesOfUsers(), before);
    for (const char* id : {"1001", "1002", "1003"}) EXPECT_EQ(box.installFlag(id), -1) << id;
}

TEST_F(ExportUsers, RefusedDatabaseNameLeavesEveryFolderUntouched) {
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb",
                           handheldCopy("Budget-Jan", handheldHeader(1)));
    load(
        "0\r\n[Ann]\r\nenabled=10\r\n..=0,3,-1,0,0,-1?/pc/...xls\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
        "[Bo]\r\nenabled=10\r\n..=0,3,-1,0,0,-1?/pc/...xls\r\n");
    const auto before = filesOfUsers();
    for (const char* book : {"..", ".", ""}) {
        ASSERT_EQ(start(book, ""), 1) << book;
        EXPECT_EQ(close(), BF_ERR_WRITE) << book;
    }
    ASSERT_EQ(start("Budget", "Jan\x01"), 1);
    EXPECT_EQ(close(), BF_ERR_WRITE);
    ASSERT_EQ(start("Budget", "Jan\tx"), 1);
    EXPECT_EQ(close(), BF_ERR_WRITE);
    // A separator in a sheet name would cut the book off ("Sheet/One" would
    // replace the book One): refused at the start, no sheet to close.
    for (const char* name : {"Sheet/One", "..\\..\\Jan", "x/../..", "/"}) {
        EXPECT_EQ(start("Budget", name), BF_ERR_WRITE) << name;
        EXPECT_EQ(close(), BF_ERR_PROGRAM) << name;
    }

    // Names held in a handheld image are checked the same way.
    CellRecord closing{};
    foundation::PdbImage image;
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(sheet.finishSheet(context, closing, image), 1);
    for (std::string bad : {"../../Budget", "a\\b", "..", "CON", "lpt1.x", "Budget?", "Budget."}) {
        image.setName(bad);
        EXPECT_EQ(syncmgr::WriteSheetToUsers(context, "Budget", image, -1, 0), BF_ERR_WRITE) << bad;
    }
    EXPECT_EQ(syncmgr::WriteSheetToUsers(context, "Budget", foundation::PdbImage{}, -1, 0), BF_ERR_WRITE);
    EXPECT_EQ(filesOfUsers(), before);
    EXPECT_EQ(box.installFlag("1001"), -1);
    EXPECT_EQ(box.installFlag("1002"), -1);
    EXPECT_FALSE(fs::exists(box.userFolder(ann) + "/Budget.pdb"));
    EXPECT_FALSE(fs::exists(box.dir.file("palm/Budget.pdb")));
}

TEST_F(ExportUsers, WaitingFileWhoseNameDiffersOnlyInCaseIsKept) {
    load();
    testsupport::writeFile(box.install(bo) + "/budget-JAN.pdb", "waiting");
    const auto before = filesOfUsers();
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(close(), BF_ERR_WRITE);
    const auto kept = testsupport::readFile(box.install(bo) + "/budget-JAN.pdb");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "waiting");
    EXPECT_EQ(filesOfUsers(), before);  // Ann, before Bo, gets nothing either
    EXPECT_EQ(box.installFlag("1001"), -1);
}

TEST_F(ExportUsers, AfterWriteRunsWhenUsersGotTheSheet) {
    load();
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(close(), 1);
    EXPECT_EQ(owner.calls, 1);
    owner.answer = BF_ERR_WRITE;  // the counters could not be saved
    EXPECT_EQ(close(), BF_ERR_WRITE);
    EXPECT_EQ(owner.calls, 2);     // the sheet outlived the release
    options.exportTargetUser = 7;  // nobody received it: nothing to save
    EXPECT_EQ(close(), BF_ERR_USER);
    EXPECT_EQ(owner.calls, 2);
}

TEST_F(ExportUsers, WriteFailureStopsTheLoop) {
    load(
        "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
        "[Bo]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n"
        "[Cy]\r\nenabled=10\r\nBudget=0,3,-1,0,0,-1?/pc/Budget.xls\r\n");
    fs::remove_all(box.install(bo));
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(close(), BF_ERR_WRITE);
    EXPECT_TRUE(fs::exists(installed(ann)));
    EXPECT_FALSE(fs::exists(installed(cy)));
    EXPECT_EQ(box.installFlag("1001"), 1);
    EXPECT_EQ(box.installFlag("1002"), -1);
    EXPECT_EQ(box.installFlag("1003"), -1);
    // Only the user who got the file has the transfer recorded.
    EXPECT_EQ(registry.findLink(ann, "Budget")->lastSyncedCounter, 1);
    EXPECT_EQ(registry.findLink(bo, "Budget")->lastSyncedCounter, -1);
    EXPECT_EQ(registry.findLink(cy, "Budget")->lastSyncedCounter, -1);

    // A disk that refuses every write: nothing written, no flag raised.
    fs::create_directory(box.install(bo));
    fs::remove(installed(ann));
    platform::faults::arm(platform::faults::Op::Write, ENOSPC);
    ASSERT_EQ(start("Budget", "Feb"), 1);
    EXPECT_EQ(close(), BF_ERR_WRITE);
    platform::faults::disarmAll();
    for (int u : {ann, bo, cy}) EXPECT_TRUE(fs::is_empty(box.install(u))) << u;
    // The sheet is still there: closing again once the disk is back writes it.
    EXPECT_EQ(close(), 1);
    EXPECT_TRUE(fs::exists(installed(cy, "Budget-Feb")));
}
