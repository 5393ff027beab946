// The Sync Manager end to end: `tabulo-addin manager` calls ShowTBManDialog
// in its own process, the scripted ui backend plays a script against it, and
// the sandbox's TBRegistry.dat, workbooks and the log show what happened.
#include <chrono>
#include <filesystem>

#include "platform/files.h"
#include "sync_manager_fixture.h"
#include "syncmgr/link_editing.h"

using hotsynctest::textOf;
using testsupport::linkLine;
using testsupport::linkSection;
using testsupport::SheetDbSpec;
namespace fs = std::filesystem;

namespace {

class SyncManagerScript : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");
    std::string pc = box.dir.makeDir("pc");

    using Played = smtest::Played;
    // Runs `tabulo-addin manager` with the script; "PC" in it stands for the
    // sandbox's folder of PC files.
    Played manager(std::string script) {
        for (size_t at = script.find("PC"); at != std::string::npos; at = script.find("PC", at + pc.size()))
            script.replace(at, 2, pc);
        return smtest::playAddin(box.dir, {"manager"}, script);
    }
    foundation::LinkRegistry committed() {
        foundation::LinkRegistry fresh{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
        EXPECT_GE(fresh.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
        return fresh;
    }
    std::string linkedPath(int user, const std::string& book) {
        foundation::LinkRegistry fresh = committed();
        const foundation::LinkEntry* link = fresh.findLink(user, book);
        return link ? link->pcPath : std::string();  // Backup books are not merged here
    }
};

}  // namespace

TEST_F(SyncManagerScript, ACsvFileLinksItsBookAndABookAgainstTheNamingRuleCannotBeLinked) {
    smtest::putBudgetAndTravel(box, ann);
    Played played = manager(smtest::kRegisterBudgetScript);
    EXPECT_EQ(played.exitCode, 0);
    EXPECT_EQ(linkedPath(ann, "Budget"), pc + "/Budget-Jan.csv");
    EXPECT_NE(played.log.find(std::string("Error: ") + syncmgr::kNamingRuleMessage + " => ok"),
              std::string::npos)
        << played.log;
    EXPECT_EQ(linkedPath(ann, "Travel"), "");
    EXPECT_FALSE(fs::exists(pc + "/Travel.xls"));
}

TEST_F(SyncManagerScript, AnotherUsersLinkRefusesAndTheSameUsersLinkMoves) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 3});
    box.writeLinks(linkSection("Bo", linkLine("Budget", 0, 0, pc + "/Other.xls")));
    box.dir.makeDir("pc/moved");
    Played played = manager(
        "dialog 130\n"
        "type 1001 PC/Budget.xls\n"
        "click 1012\n"
        "ok\n"
        "select 1005 1\n"
        "expect 1001 text PC/Other.xls\n"
        "type 1001 PC/moved/Budget.xls\n"
        "click 1012\n"
        "click 1\n");
    EXPECT_EQ(played.exitCode, 0);
    EXPECT_NE(played.log.find("Error: Book already registered as " + pc + "/Other.xls => ok"),
              std::string::npos)
        << played.log;
    EXPECT_EQ(linkedPath(ann, "Budget"), "");
    EXPECT_EQ(linkedPath(bo, "Budget"), pc + "/moved/Budget.xls");
}

TEST_F(SyncManagerScript, AMissingWorkbookComesFromTheTemplateAndTheFirstImportLoadsIt) {
    box.putInBackup(ann, hotsynctest::sheetWithCells("Budget-Jan", 3, {{1, 1, "from the handheld"}}));
    EXPECT_EQ(manager("dialog 130\n"
                      "type 1001 PC/Budget.xls\n"
                      "click 1012\n"
                      "click 1\n")
                  .exitCode,
              0);
    ASSERT_TRUE(fs::exists(pc + "/Budget.xls"));
    auto import = testsupport::runProgram(testsupport::buildDir() + "/bin/tabulo-addin",
                                          {"import", pc + "/Budget.xls", box.dir.file("out.json")});
    EXPECT_EQ(import.exitCode, 0) << import.err;
    EXPECT_NE(textOf(box.dir.file("out.json")).find("from the handheld"), std::string::npos);
}

TEST_F(SyncManagerScript, ARuleButtonReRegistersAtOnceAndEnableWaitsForDone) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 3});
    testsupport::writeFile(pc + "/Budget.xls", std::string("workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 0, pc + "/Budget.xls")));
    // Cancelled: the rule is stored, the Disable click is not.
    Played played = manager(
        "dialog 130\n"
        "click 1011\n"
        "click 1021\n"
        "end\n");
    EXPECT_EQ(played.exitCode, 1);
    EXPECT_EQ(committed().findLink(ann, "Budget")->syncRule, foundation::kSyncDesktopOverwrites);
    EXPECT_EQ(committed().userList[size_t(ann)].enabled, 1);
    // Done stores it.
    EXPECT_EQ(manager("dialog 130\n"
                      "click 1021\n"
                      "click 1\n")
                  .exitCode,
              0);
    EXPECT_EQ(committed().userList[size_t(ann)].enabled, 0);
}
