// The export checks against a sandbox: which user a linked workbook goes to
// under each sync rule, the path handed back, and the export list.
#include "syncmgr/export_checks.h"

#include <filesystem>

#include "foundation/link_registry.h"
#include "platform/bstr.h"
#include "support/sandbox.h"
#include "support/test_support.h"
#include "syncmgr/link_editing.h"

using testsupport::SheetDbSpec;

namespace {

struct SheetInput {
    SheetRecord rec{};
    explicit SheetInput(std::string_view path) { platform::replaceByteString(rec.sheetName, path); }
    ~SheetInput() { platform::clearByteString(rec.sheetName); }
    std::string_view path() const { return platform::byteStringView(rec.sheetName); }
};

struct TextInput {
    TextRecord rec{};
    ~TextInput() { platform::clearByteString(rec.text); }
};

class ExportChecks : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    foundation::LinkRegistry registry = box.linkRegistry();
    workbook::TransferOptions options;
    workbook::TransferContext context{registry, options};
    int ann = 0, bo = 0;

    ExportChecks() {
        ann = box.addUser("Ann", "1001");
        bo = box.addUser("Bo", "1002");
        syncmgr::useBackupDiscovery(registry);
    }
    // Writes the link file; VerifyExport loads it itself.
    void links(const std::string& annLines, const std::string& boLines = "", bool boEnabled = true) {
        box.writeLinks(testsupport::linkSection("Ann", annLines) +
                       (boLines.empty() ? "" : testsupport::linkSection("Bo", boLines, boEnabled)));
    }
    void load() { ASSERT_GE(testsupport::loadLinks(registry), 0); }
    std::string expectedPath(int user, const std::string& book) const {
        return box.install(user) + "/" + book + std::string(1, '\0');
    }
};

const std::string kBudget = "/pc/Sheets/Budget.xls";
std::string line(const std::string& book, int rule, const std::string& path, int fontMapping = 2) {
    return book + "=" + std::to_string(rule) + ",1,-1,0,0," + std::to_string(fontMapping) + "?" + path +
           "\r\n";
}

}  // namespace

TEST_F(ExportChecks, SynchronizeLinkTargetsItsUser) {
    links(line("Budget", 0, kBudget, 3));
    options.exportTarget.authorPassword = "secret";
    options.exportTarget.userPassword = "other";
    options.exportTargetUser = 5;
    SheetInput input("/PC/sheets/BUDGET.XLS");  // paths compare without regard to case
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), ann);
    EXPECT_EQ(input.path(), expectedPath(ann, "BUDGET"));
    EXPECT_EQ(input.rec.sheetNumber, ann);
    EXPECT_EQ(options.fontMapping, 3);
    EXPECT_EQ(options.exportTargetUser, -1);  // the sheets then go to every linking user
    EXPECT_EQ(options.exportTarget.exportBookName, "BUDGET");
    EXPECT_TRUE(options.exportTarget.authorPassword.empty());
    EXPECT_TRUE(options.exportTarget.userPassword.empty());
    EXPECT_EQ(options.exportTarget.authorPasswordHash, 0u);
    EXPECT_EQ(options.exportTarget.userPasswordHash, 0u);
}

TEST_F(ExportChecks, HandheldOverwritesRefusesExportOfAKnownBook) {
    box.putInBackup(ann, SheetDbSpec("Budget-Jan", 71));
    links(line("Budget", 1, kBudget));
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), BF_ERR_PARAMETER);
    EXPECT_EQ(input.path(), kBudget);  // left alone
}

TEST_F(ExportChecks, HandheldOverwritesWithUnsupportedBookVersionAllowsExport) {
    box.putInBackup(ann, SheetDbSpec("Budget", 40));  // listed whole, versionSign 0
    links(line("Budget", 1, kBudget));
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), ann);
    EXPECT_EQ(input.path(), expectedPath(ann, "Budget"));
}

TEST_F(ExportChecks, HandheldOverwritesWithoutAHandheldBookRefuses) {
    links(line("Budget", 1, kBudget));  // versionSign 1: only a desktop link
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), BF_ERR_PARAMETER);
}

TEST_F(ExportChecks, DesktopOverwritesTargetsItsUser) {
    box.putInBackup(ann, SheetDbSpec("Budget-Jan", 71));
    links(line("Budget", 2, kBudget));
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), ann);
}

TEST_F(ExportChecks, TwoUsersFirstEnabledTargetWins) {
    box.putInBackup(ann, SheetDbSpec("Budget-Jan", 71));
    links(line("Budget", 1, kBudget), line("Budget", 0, kBudget, 4));
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), bo);
    EXPECT_EQ(input.path(), expectedPath(bo, "Budget"));
    EXPECT_EQ(input.rec.sheetNumber, bo);
    EXPECT_EQ(options.fontMapping, 4);

    // Both allow export: the first user in index order.
    links(line("Budget", 2, kBudget, 1), line("Budget", 0, kBudget, 4));
    SheetInput both(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &both.rec), ann);
    // A disabled user is passed over.
    box.writeLinks(testsupport::linkSection("Ann", line("Budget", 2, kBudget), /*enabled=*/false) +
                   testsupport::linkSection("Bo", line("Budget", 0, kBudget)));
    SheetInput disabled(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &disabled.rec), bo);
}

TEST_F(ExportChecks, GivenUserStartsTheWalkAndHandheldOverwritesStopsIt) {
    box.putInBackup(ann, SheetDbSpec("Budget-Jan", 71));
    links(line("Budget", 1, "/pc/csv/Budget"), line("Budget", 0, "/pc/csv/Budget"));
    load();
    SheetInput first("/pc/csv/Budget");
    EXPECT_EQ(syncmgr::VerifyFileExport(context, &first.rec, ann), BF_ERR_PARAMETER);
    EXPECT_EQ(options.exportTargetUser, ann);
    SheetInput second("/pc/csv/Budget");
    EXPECT_EQ(syncmgr::VerifyFileExport(context, &second.rec, bo), bo);
    EXPECT_EQ(second.path(), expectedPath(bo, "Budget"));
    EXPECT_EQ(options.exportTargetUser, bo);
    EXPECT_EQ(options.exportTarget.exportBookName, "Budget");
    // Without a user the name must be a workbook's.
    SheetInput csv("/pc/csv/Budget");
    EXPECT_EQ(syncmgr::VerifyFileExport(context, &csv.rec, -1), BF_ERR_PARAMETER);
    // A given user past the list finds nobody.
    SheetInput beyond("/pc/csv/Budget");
    EXPECT_EQ(syncmgr::VerifyFileExport(context, &beyond.rec, 9), BF_ERR_PARAMETER);
}

TEST_F(ExportChecks, WorkbookMustBeTheLinkedOne) {
    links(line("Budget", 0, kBudget));
    load();
    for (const char* path : {"/pc/Sheets/Budget.txt", "/pc/Sheets/Other.xls", "/elsewhere/Budget.xls",
                             "/pc/Sheets/Budget.xlsx", ""}) {
        SheetInput input(path);
        EXPECT_EQ(syncmgr::VerifyFileExport(context, &input.rec, -1), BF_ERR_PARAMETER) << path;
        EXPECT_EQ(input.path(), path);
    }
    // A Windows-style path gives the book name, but it is not the linked path.
    SheetInput backslashes("C:\\Sheets\\Budget.xls");
    EXPECT_EQ(syncmgr::VerifyFileExport(context, &backslashes.rec, -1), BF_ERR_PARAMETER);  // not its path
    EXPECT_EQ(syncmgr::VerifyFileExport(context, nullptr, -1), BF_ERR_PARAMETER);
    EXPECT_EQ(syncmgr::VerifyExport(context, nullptr), BF_ERR_PARAMETER);
}

TEST_F(ExportChecks, RefreshFailureIsNothingToExport) {
    links(line("Budget", 0, kBudget));
    std::filesystem::remove(box.productFolder + "/sync.dat");
    SheetInput input(kBudget);
    EXPECT_EQ(syncmgr::VerifyExport(context, &input.rec), BF_ERR_PARAMETER);
}

TEST_F(ExportChecks, ExportListKeepsPathsBecomingExportable) {
    box.putInBackup(ann, SheetDbSpec("Known-Jan", 71));
    box.putInBackup(ann, SheetDbSpec("Locked-Jan", 71));
    links(line("Known", 0, "/pc/Known.xls") + line("Locked", 1, "/pc/Locked.xls") +
              line("New", 1, "/pc/New.xls") + line("Fresh", 2, "/pc/Fresh.xls"),
          line("Known", 2, "/PC/KNOWN.XLS") + line("Other", 0, "/pc/Other.xls"), /*boEnabled=*/false);
    load();
    syncmgr::ExportList list;
    syncmgr::BuildExportList(context, list);
    // Ann's links in name order; New is handheld-owned but not on the
    // handheld, so there is nothing to export it over; Bo is disabled.
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.block, std::string("/pc/Fresh.xls\0/pc/Known.xls\0/pc/Locked.xls\0", 43));

    // Built again: a book on the handheld already listed drops out; desktop-only
    // links stay.
    syncmgr::BuildExportList(context, list);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.block, std::string("/pc/Fresh.xls\0", 14));
    syncmgr::BuildExportList(context, list);
    EXPECT_EQ(list.count, 3);

    // A path linked by two enabled users appears once.
    links(line("Known", 0, "/pc/Known.xls"), line("Known", 2, "/PC/KNOWN.XLS"));
    load();
    list.clear();
    syncmgr::BuildExportList(context, list);
    EXPECT_EQ(list.count, 1);
    EXPECT_TRUE(list.contains("/pc/known.xls"));
}

TEST_F(ExportChecks, VerifyAllFileExportHandsOutTheWholeBlock) {
    syncmgr::ExportList list;
    list.append("/pc/A.xls");
    list.append("/pc/B.xls");
    TextInput record;
    platform::replaceByteString(record.rec.text, "old text");
    record.rec.number = 9;
    EXPECT_EQ(syncmgr::VerifyAllFileExport(list, &record.rec), 0);
    EXPECT_EQ(record.rec.number, 2);
    EXPECT_EQ(platform::byteStringView(record.rec.text), std::string("/pc/A.xls\0/pc/B.xls\0", 20));

    list.clear();
    EXPECT_EQ(syncmgr::VerifyAllFileExport(list, &record.rec), 0);
    EXPECT_EQ(record.rec.number, 0);
    EXPECT_EQ(record.rec.text, nullptr);
    EXPECT_EQ(syncmgr::VerifyAllFileExport(list, nullptr), BF_ERR_PARAMETER);
}
