// Register and Unregister against a sandbox: which book a path names, the
// refusals with their exact messages, the template workbook for a missing
// Excel file, links moving or refused across users, and what reaches
// TBRegistry.dat.
#include "syncmgr/link_editing.h"

#include <filesystem>

#include "foundation/sync_lock.h"
#include "platform/faults.h"
#include "support/sandbox.h"
#include "support/test_support.h"

using syncmgr::LinkEditResult;
using syncmgr::RegisterRequest;
using testsupport::SheetDbSpec;

namespace {

std::string textOf(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class LinkEditing : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    foundation::LinkRegistry registry = box.linkRegistry();
    int ann = 0, bo = 0;
    std::string pc;

    LinkEditing() {
        ann = box.addUser("Ann", "1001");
        bo = box.addUser("Bo", "1002");
        pc = box.dir.makeDir("pc");
        syncmgr::useBackupDiscovery(registry);
    }
    LinkEditResult link(int user, const std::string& path, int rule = 0, int category = 0,
                        bool highRes = false, int mapping = 0) {
        RegisterRequest r;
        r.user = user;
        r.pcPath = path;
        r.syncRule = rule;
        r.category = category;
        r.highResolution = highRes;
        r.fontMapping = mapping;
        return syncmgr::registerLink(registry, r);
    }
    std::string file() const { return textOf(box.registryFile()); }
};

TEST(LinkTarget, BookNameFromThePathsFileName) {
    struct Case {
        std::string path, book;
        syncmgr::LinkKind kind;
    };
    for (const Case& c :
         {Case{"C:\\Data\\Budget-Jan.csv", "Budget", syncmgr::LinkKind::Csv},
          Case{"/data/Budget-Jan.csv", "Budget", syncmgr::LinkKind::Csv},
          Case{"/data/My-Book-Jan.CSV", "My-Book", syncmgr::LinkKind::Csv},
          Case{"/data/Budget.xls", "Budget", syncmgr::LinkKind::Excel},
          Case{"D:\\x/y\\Sales.XLS", "Sales", syncmgr::LinkKind::Excel},
          Case{"/data/Budget-Jan.xls", "Budget-Jan", syncmgr::LinkKind::Excel},
          Case{std::string(31, 'b') + ".xls", std::string(31, 'b'), syncmgr::LinkKind::Excel}}) {
        syncmgr::LinkTarget t = syncmgr::linkTargetOf(c.path);
        EXPECT_EQ(t.refusal, "") << c.path;
        EXPECT_EQ(t.bookName, c.book) << c.path;
        EXPECT_EQ(t.kind, c.kind) << c.path;
    }
}

TEST(LinkTarget, PathsThatNameNoBookAreRefusedWithTheirMessages) {
    const std::string csvRule =
        "CSV file has to follow Tabulo naming convention. Hyphen should separate workbook name from "
        "worksheet name.";
    struct Case {
        std::string path, message;
    };
    for (const Case& c :
         {Case{"", "Enter file path"}, Case{"/data/Budget.csv", csvRule}, Case{"/data-x/Budget.csv", csvRule},
          Case{"/data/Budget.txt", "Invalid file type"}, Case{"/data/Budget.xlsx", "Invalid file type"},
          Case{"/data/Budget.xls/", "Invalid file type"},
          Case{"/data/A=B.xls", "Book name contains illegal character - '='"},
          Case{"/data/A=B-Jan.csv", "Book name contains illegal character - '='"},
          Case{"/data/.xls", syncmgr::kBookNameLengthMessage},
          Case{"/data/-Jan.csv", syncmgr::kBookNameLengthMessage},
          Case{"/data/" + std::string(32, 'b') + ".xls", syncmgr::kBookNameLengthMessage}}) {
        syncmgr::LinkTarget t = syncmgr::linkTargetOf(c.path);
        EXPECT_EQ(t.refusal, c.message) << c.path;
        EXPECT_EQ(t.bookName, "") << c.path;
    }
}

TEST_F(LinkEditing, ACsvSheetFileLinksItsBook) {
    const std::string path = pc + "/Budget-Jan.csv";
    LinkEditResult r = link(ann, path);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.bookName, "Budget");
    EXPECT_FALSE(r.templateCopied);
    EXPECT_FALSE(std::filesystem::exists(path));  // CSV files are not created
    EXPECT_EQ(file(), "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,0,0,0,0,-1?" + path + "\r\n");
    ASSERT_NE(registry.findBook("budget"), nullptr);
    EXPECT_EQ(registry.findBook("budget")->refCount, 1);
}

TEST_F(LinkEditing, AMissingWorkbookIsCreatedFromTheTemplateAndMarkedForImport) {
    const std::string path = pc + "/Budget.xls";
    LinkEditResult r = link(ann, path, 0, 3, true, 2);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(r.templateCopied);
    EXPECT_EQ(textOf(path), "template workbook");
    EXPECT_EQ(file(), "1\r\n[Ann]\r\nenabled=10\r\nBudget=0,3,-1,0,0,2?" + path + "\r\n");

    // An existing workbook is kept, and a new link to it is not marked.
    testsupport::writeFile(pc + "/Sales.xls", std::string("my own workbook"));
    r = link(bo, pc + "/Sales.xls", 2);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_FALSE(r.templateCopied);
    EXPECT_EQ(textOf(pc + "/Sales.xls"), "my own workbook");
    EXPECT_NE(file().find("[Bo]\r\nenabled=10\r\nSales=2,0,0,0,0,-1?" + pc + "/Sales.xls\r\n"),
              std::string::npos)
        << file();
    // High Resolution follows the last registration.
    EXPECT_EQ(file().substr(0, 3), "0\r\n");
}

TEST_F(LinkEditing, TemplateCopyFailuresAreReportedWithTheSystemErrorAndChangeNothing) {
    const std::string missingFolder = pc + "/nowhere/Budget.xls";
    LinkEditResult r = link(ann, missingFolder);
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
    EXPECT_EQ(r.message, "Error creating " + missingFolder + " - 2");
    EXPECT_FALSE(std::filesystem::exists(box.registryFile()));

    // A folder of that name is not a plain file: the copy over it fails.
    std::filesystem::create_directories(pc + "/Folder.xls");
    r = link(ann, pc + "/Folder.xls");
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
    EXPECT_EQ(r.message.rfind("Error creating " + pc + "/Folder.xls - ", 0), 0u) << r.message;
    EXPECT_TRUE(std::filesystem::is_directory(pc + "/Folder.xls"));

    // Without the template workbook nothing can be created either.
    std::filesystem::remove(box.productFolder + "/dummy.xls");
    r = link(ann, pc + "/Budget.xls");
    EXPECT_EQ(r.message, "Error creating " + pc + "/Budget.xls - 2");
    EXPECT_FALSE(std::filesystem::exists(pc + "/Budget.xls"));
}

TEST_F(LinkEditing, ABookLinkedByAnotherUserToAnotherPathIsRefused) {
    const std::string annPath = pc + "/Budget.xls", boPath = pc + "/Other/Budget.xls";
    std::filesystem::create_directories(pc + "/Other");
    ASSERT_TRUE(link(ann, annPath).ok());
    const std::string before = file();

    LinkEditResult r = link(bo, boPath);
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
    EXPECT_EQ(r.message, "Book already registered as " + annPath);
    EXPECT_EQ(file(), before);
    EXPECT_FALSE(std::filesystem::exists(boPath));

    // The same path is shared: both users link the book, two references.
    ASSERT_TRUE(link(bo, annPath).ok());
    EXPECT_EQ(registry.findBook("Budget")->refCount, 2);
    // Now neither can move it alone.
    r = link(ann, boPath);
    EXPECT_EQ(r.message, "Book already registered as " + annPath);
}

TEST_F(LinkEditing, ABookInBackupIsNotARegistrationOfItsOwn) {
    // Bo has the handheld book but never linked it: Ann's link to another
    // path must still refuse his registration (mended: counting the Backup
    // book as his own registration dropped Ann's index entry and linked one
    // book to two paths).
    box.putInBackup(bo, SheetDbSpec("Budget-Jan", 71, 4));
    const std::string annPath = pc + "/Budget.xls";
    ASSERT_TRUE(link(ann, annPath).ok());
    LinkEditResult r = link(bo, pc + "/Mine.xls");  // another book: fine
    ASSERT_TRUE(r.ok()) << r.message;
    r = link(bo, pc + "/B/Budget.xls");
    EXPECT_EQ(r.message, "Book already registered as " + annPath);
    EXPECT_EQ(file().find("/B/Budget.xls"), std::string::npos) << file();
}

TEST_F(LinkEditing, TheUsersOwnLinkMovesToTheNewPath) {
    box.putInBackup(ann, SheetDbSpec("Budget-Jan", 71, 4, 0x52));
    const std::string first = pc + "/Budget.csv-dir/Budget-Jan.csv";
    std::filesystem::create_directories(pc + "/Budget.csv-dir");
    ASSERT_TRUE(link(ann, first, 0, 9).ok());
    // The handheld book's category (5) stays; the category asked for is for new links.
    EXPECT_NE(file().find("Budget=0,5,0,0,0,-1?" + first), std::string::npos) << file();

    testsupport::writeFile(pc + "/Budget.xls", std::string("x"));
    LinkEditResult r = link(ann, pc + "/Budget.xls", 1);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(file(), "0\r\n[Ann]\r\nenabled=10\r\nBudget=1,5,0,0,0,-1?" + pc + "/Budget.xls\r\n");
    ASSERT_NE(registry.findBook("Budget"), nullptr);
    EXPECT_EQ(registry.findBook("Budget")->pcPath, pc + "/Budget.xls");
    EXPECT_EQ(registry.findBook("Budget")->refCount, 1);

    // Registering the same path again (a rule button) keeps one link.
    ASSERT_TRUE(link(ann, pc + "/Budget.xls", 2).ok());
    EXPECT_EQ(file(), "0\r\n[Ann]\r\nenabled=10\r\nBudget=2,5,0,0,0,-1?" + pc + "/Budget.xls\r\n");
    EXPECT_EQ(registry.findBook("Budget")->refCount, 1);
}

TEST_F(LinkEditing, HandheldBooksThatCannotBeLinkedAreRefused) {
    box.putInBackup(ann, SheetDbSpec("Old-Jan", 40));  // version below 50: versionSign 0
    box.putInBackup(ann, SheetDbSpec("Solo", 71));     // no sheet part: versionSign < 0
    testsupport::writeFile(pc + "/Old-Jan.xls", std::string("x"));
    testsupport::writeFile(pc + "/Solo.xls", std::string("x"));

    LinkEditResult r = link(ann, pc + "/Old-Jan.xls");
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
    EXPECT_EQ(r.message, "Old version workbook. Upgrade it on Palm and Hotsync.");
    r = link(ann, pc + "/Solo.xls");
    EXPECT_EQ(
        r.message,
        "Palm workbook name does not follow the Tabulo naming convention. Add worksheet name to book name "
        "using Tabulo and HotSync.");
    EXPECT_FALSE(std::filesystem::exists(box.registryFile()));
    // Another user without those books links them.
    EXPECT_TRUE(link(bo, pc + "/Solo.xls").ok());
}

TEST_F(LinkEditing, PathsTheLinkFileCannotHoldAreRefused) {
    // A line feed would end the link's line: the rest would load as a
    // forged link line of its own (mended).
    for (const std::string& path :
         {pc + "/a\nEvil=0,0,0,0,0,0?/x/Evil.xls", pc + "/b\r.xls", pc + std::string("/c\0.xls", 7)}) {
        LinkEditResult r = link(ann, path);
        EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
        EXPECT_EQ(r.message, syncmgr::kPathLineBreakMessage);
    }
    EXPECT_FALSE(std::filesystem::exists(box.registryFile()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pc), std::filesystem::directory_iterator()),
              0);
}

TEST_F(LinkEditing, UnregisterDropsOneReferenceAndTheLine) {
    const std::string path = pc + "/Budget.xls";
    ASSERT_TRUE(link(ann, path).ok());
    ASSERT_TRUE(link(bo, path).ok());
    LinkEditResult r = syncmgr::unregisterLink(registry, ann, "BUDGET");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(file(), "0\r\n[Bo]\r\nenabled=10\r\nBudget=0,0,0,0,0,-1?" + path + "\r\n");
    EXPECT_EQ(registry.findBook("Budget")->refCount, 1);

    r = syncmgr::unregisterLink(registry, ann, "Budget");
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Refused);
    EXPECT_EQ(r.message, "Book Budget is not linked");

    ASSERT_TRUE(syncmgr::unregisterLink(registry, bo, "Budget").ok());
    EXPECT_EQ(file(), "0\r\n");
    EXPECT_EQ(registry.findBook("Budget"), nullptr);
    // Free again: Ann may link it elsewhere.
    std::filesystem::create_directories(pc + "/n");
    EXPECT_TRUE(link(ann, pc + "/n/Budget.xls").ok());
}

TEST_F(LinkEditing, FailuresOfTheRegistryAreStatuses) {
    LinkEditResult r = link(7, pc + "/Budget.xls");
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Failed);
    EXPECT_EQ(r.status, BF_ERR_USER);
    EXPECT_FALSE(std::filesystem::exists(pc + "/Budget.xls"));
    EXPECT_EQ(syncmgr::unregisterLink(registry, -1, "Budget").status, BF_ERR_USER);

    std::filesystem::remove(box.productFolder + "/sync.dat");
    r = link(ann, pc + "/Budget.xls");
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Failed);
    EXPECT_EQ(r.status, -1);
    EXPECT_FALSE(std::filesystem::exists(pc + "/Budget.xls"));
}

TEST_F(LinkEditing, AFileThatCannotBeWrittenFailsWithMinus9) {
    ASSERT_TRUE(link(ann, pc + "/Budget.xls").ok());
    platform::faults::arm(platform::faults::Op::Rename, 28);  // the atomic replace of TBRegistry.dat
    LinkEditResult r = link(bo, pc + "/Budget.xls");
    platform::faults::disarmAll();
    EXPECT_EQ(r.outcome, LinkEditResult::Outcome::Failed);
    EXPECT_EQ(r.status, BF_ERR_WRITE);
    EXPECT_EQ(file().find("[Bo]"), std::string::npos);

    // The system error of a failed template copy is part of the message (a
    // "%d" in the path is not taken for it).
    platform::faults::arm(platform::faults::Op::Copy, 13);
    r = link(bo, pc + "/Sales%d%s.xls");
    platform::faults::disarmAll();
    EXPECT_EQ(r.message, "Error creating " + pc + "/Sales%d%s.xls - 13");
}

}  // namespace
