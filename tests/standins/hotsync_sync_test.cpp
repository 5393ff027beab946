// The hotsync program against the real libgridlink in a sandbox: two users
// linking a CSV book and a workbook, several HotSyncs with an edit on the
// handheld and one on the desktop in between, every file and every link
// counter checked after each. Then the tool's own commands and failures.
#include <filesystem>
#include <map>

#include "addin_testing.h"
#include "foundation/link_registry.h"
#include "platform/files.h"
#include "syncmgr/hotsync_sandbox.h"
#include "syncmgr/link_editing.h"

using addintest::ProcessResult;
using hotsynctest::Cell;
using hotsynctest::Cells;
using hotsynctest::cellsOf;
using hotsynctest::counterOf;
using hotsynctest::textOf;
using testsupport::linkLine;
using testsupport::linkSection;
namespace fs = std::filesystem;

namespace {

std::string hotsyncPath() { return testsupport::buildDir() + "/bin/hotsync"; }

class HotSyncProgram : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "1001");
    int bo = box.addUser("Bo", "1002");
    std::string handheld = box.dir.makeDir("handheld");
    std::string sheets = box.dir.makeDir("Sheets");
    std::string budget = sheets + "/Budget-Jan.csv";  // the linked file of the CSV book
    std::string travel = sheets + "/Travel.xls";

    void SetUp() override {
        ASSERT_TRUE(fs::exists(hotsyncPath())) << hotsyncPath();
        ASSERT_EQ(run({"users", "add", "Ann", "--id", "1001", "--folder", box.userFolder(ann)}).exitCode, 0);
        ASSERT_EQ(run({"users", "add", "Bo", "--id", "1002", "--folder", box.userFolder(bo)}).exitCode, 0);
        ASSERT_EQ(run({"notifiers", "add", addintest::gridlinkPath()}).exitCode, 0);
    }

    ProcessResult run(const std::vector<std::string>& args,
                      std::vector<std::pair<std::string, std::string>> env = {}) {
        env.emplace_back("BRIGHTFOLD_HANDHELD", handheld);
        env.emplace_back("BRIGHTFOLD_UI", "headless");
        return addintest::runProgram(hotsyncPath(), args, env);
    }
    ProcessResult sync(const std::string& user) {
        ProcessResult r = run({"sync", "--user", user});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return r;
    }

    std::string onHandheld(const std::string& user, const std::string& db) const {
        return handheld + "/" + user + "/" + db + ".pdb";
    }
    std::vector<std::string> filesIn(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The links as TBRegistry.dat has them: user index -> book -> link.
    std::map<int, std::map<std::string, foundation::LinkEntry>> links() {
        foundation::LinkRegistry registry = box.linkRegistry();
        syncmgr::useBackupDiscovery(registry);
        EXPECT_GE(testsupport::loadLinks(registry), 0);
        std::map<int, std::map<std::string, foundation::LinkEntry>> out;
        for (size_t u = 0; u < registry.userList.size(); ++u)
            for (const foundation::LinkEntry& link : registry.userList[u].links)
                if (!link.pcPath.empty()) out[int(u)][std::string(link.name())] = link;
        return out;
    }
    int32_t counter(int user, const std::string& book) { return links()[user][book].lastSyncedCounter; }
    uint64_t csvTime(int user, const std::string& book) { return links()[user][book].csvSyncTime.value(); }
    uint64_t newestCsv() const {
        return std::max(*platform::lastWriteTime(sheets + "/Budget-Jan.csv"),
                        *platform::lastWriteTime(sheets + "/Budget-Feb.csv"));
    }
    // A database's bytes in Backup equal those on the handheld.
    void expectBackedUp(int user, const std::string& name, const std::string& db) const {
        EXPECT_TRUE(testsupport::sameBytes(testsupport::readFile(onHandheld(name, db)),
                                           testsupport::readFile(box.backup(user) + "/" + db + ".pdb")))
            << db;
    }
};

const std::vector<std::string> kBudgetAndTravel{"Budget-Feb.pdb", "Budget-Jan.pdb", "Travel-Trip.pdb"};

}  // namespace

TEST_F(HotSyncProgram, TwoUsersThroughSeveralHotSyncs) {
    testsupport::writeFile(sheets + "/Budget-Jan.csv", std::string("Item,Amount\r\nRent,500\r\n"));
    testsupport::writeFile(sheets + "/Budget-Feb.csv", std::string("Item,Amount\nGas,40\n"));  // LF line ends
    testsupport::writeFile(travel, std::string("my travel workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 0, budget) + linkLine("Travel", 0, -1, travel)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, budget) + linkLine("Travel", 2, 0, travel)));
    // Ann made the book Travel on her handheld.
    fs::create_directory(handheld + "/Ann");
    testsupport::writeFile(
        onHandheld("Ann", "Travel-Trip"),
        testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("Travel-Trip", 3, {{1, 1, "Rome"}})));

    // 1. Ann: her CSV book goes to her handheld; both books come back and go on to Bo.
    ProcessResult r = sync("Ann");
    EXPECT_NE(r.out.find("HS_SYNC_STARTED to 1 notifier(s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("HS_SYNC_SUCCESS to 1 notifier(s)"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(handheld + "/Ann"), kBudgetAndTravel);
    EXPECT_EQ(cellsOf(onHandheld("Ann", "Budget-Jan")),
              (Cells{{1, 1, "Item"}, {1, 2, "Amount"}, {2, 1, "Rent"}, {2, 2, "500"}}));
    EXPECT_EQ(cellsOf(onHandheld("Ann", "Budget-Feb")),
              (Cells{{1, 1, "Item"}, {1, 2, "Amount"}, {2, 1, "Gas"}, {2, 2, "40"}}));
    EXPECT_EQ(counterOf(onHandheld("Ann", "Budget-Jan")), 1u);
    EXPECT_EQ(counterOf(onHandheld("Ann", "Budget-Feb")), 1u);
    EXPECT_EQ(filesIn(box.backup(ann)), kBudgetAndTravel);
    for (const char* db : {"Budget-Feb", "Budget-Jan", "Travel-Trip"}) expectBackedUp(ann, "Ann", db);
    EXPECT_TRUE(filesIn(box.install(ann)).empty());
    EXPECT_EQ(box.installFlag("1001"), 0);
    EXPECT_EQ(filesIn(box.install(bo)), kBudgetAndTravel);
    EXPECT_EQ(box.installFlag("1002"), 1);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"Item\",\"Amount\"\r\n\"Rent\",\"500\"");
    EXPECT_EQ(textOf(sheets + "/Budget-Feb.csv"), "\"Item\",\"Amount\"\r\n\"Gas\",\"40\"");
    EXPECT_EQ(textOf(travel), "my travel workbook");
    EXPECT_EQ(counter(ann, "Budget"), 1);
    EXPECT_EQ(counter(ann, "Travel"), -1);  // left for VerifyImport
    EXPECT_EQ(counter(bo, "Budget"), 2);
    EXPECT_EQ(counter(bo, "Travel"), 4);
    EXPECT_EQ(csvTime(ann, "Budget"), newestCsv());
    EXPECT_EQ(csvTime(bo, "Budget"), newestCsv());
    const uint64_t firstCsvTime = newestCsv();

    // 2. Bo: what was passed on reaches his handheld; nothing comes back.
    sync("Bo");
    EXPECT_EQ(filesIn(handheld + "/Bo"), kBudgetAndTravel);
    EXPECT_EQ(cellsOf(onHandheld("Bo", "Budget-Feb")), cellsOf(onHandheld("Ann", "Budget-Feb")));
    EXPECT_EQ(cellsOf(onHandheld("Bo", "Travel-Trip")), (Cells{{1, 1, "Rome"}}));
    EXPECT_EQ(counterOf(onHandheld("Bo", "Budget-Jan")), 2u);
    EXPECT_EQ(counterOf(onHandheld("Bo", "Travel-Trip")), 4u);
    EXPECT_TRUE(filesIn(box.install(bo)).empty());
    EXPECT_EQ(box.installFlag("1002"), 0);
    EXPECT_TRUE(filesIn(box.install(ann)).empty());
    for (const char* db : {"Budget-Feb", "Budget-Jan", "Travel-Trip"}) expectBackedUp(bo, "Bo", db);
    EXPECT_EQ(newestCsv(), firstCsvTime);
    EXPECT_EQ(counter(bo, "Budget"), 2);
    EXPECT_EQ(counter(bo, "Travel"), 4);
    EXPECT_EQ(counter(ann, "Budget"), 1);

    // 3. An edit on Ann's handheld.
    r = run({"set-cell", "--user", "Ann", "--database", "Budget-Jan", "--row", "2", "--column", "2", "--text",
             "650"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("change counter of Budget now 2"), std::string::npos) << r.out;

    // 4. Ann: the change arrives in the CSV files and in Bo's Install folder.
    sync("Ann");
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"Item\",\"Amount\"\r\n\"Rent\",\"650\"");
    EXPECT_EQ(cellsOf(box.install(bo) + "/Budget-Jan.pdb"),
              (Cells{{1, 1, "Item"}, {1, 2, "Amount"}, {2, 1, "Rent"}, {2, 2, "650"}}));
    EXPECT_EQ(filesIn(box.install(bo)), kBudgetAndTravel);
    EXPECT_EQ(box.installFlag("1002"), 1);
    EXPECT_EQ(counter(ann, "Budget"), 2);
    EXPECT_EQ(counter(bo, "Budget"), 3);
    EXPECT_EQ(csvTime(ann, "Budget"), newestCsv());
    EXPECT_EQ(csvTime(bo, "Budget"), newestCsv());

    // 5. Bo, whose workbook Travel (Desktop Overwrites) was deleted meanwhile.
    fs::remove(travel);
    sync("Bo");
    EXPECT_EQ(cellsOf(onHandheld("Bo", "Budget-Jan"))[3], (Cell{2, 2, "650"}));
    EXPECT_EQ(counterOf(onHandheld("Bo", "Budget-Jan")), 3u);
    EXPECT_EQ(counterOf(onHandheld("Bo", "Travel-Trip")), 5u);
    EXPECT_EQ(textOf(travel), "template workbook");
    EXPECT_EQ(counter(bo, "Travel"), -1);
    EXPECT_EQ(counter(bo, "Budget"), 3);  // Bo's handheld is what the desktop has
    EXPECT_TRUE(filesIn(box.install(ann)).empty());
    EXPECT_TRUE(filesIn(box.install(bo)).empty());

    // 6. A change on the desktop: the CSV file goes to Ann's handheld, comes
    // back with the handheld's counter and goes on to Bo.
    testsupport::writeFile(sheets + "/Budget-Feb.csv", std::string("Item,Amount\r\nGas,45.5\r\n"));
    fs::last_write_time(sheets + "/Budget-Feb.csv",
                        fs::file_time_type::clock::now() + std::chrono::seconds(2));
    r = sync("Ann");
    EXPECT_NE(r.out.find("installed Budget-Feb (change counter 3)"), std::string::npos) << r.out;
    EXPECT_EQ(cellsOf(onHandheld("Ann", "Budget-Feb"))[3], (Cell{2, 2, "45.5"}));
    EXPECT_EQ(counter(ann, "Budget"), 3);
    EXPECT_EQ(counter(bo, "Budget"), 4);
    EXPECT_EQ(cellsOf(box.install(bo) + "/Budget-Feb.pdb")[3], (Cell{2, 2, "45.5"}));
    EXPECT_EQ(textOf(sheets + "/Budget-Feb.csv"), "\"Item\",\"Amount\"\r\n\"Gas\",\"45.5\"");
    EXPECT_EQ(csvTime(ann, "Budget"), newestCsv());
}

TEST_F(HotSyncProgram, FailedStepSendsFailureAndCommitsNothing) {
    testsupport::writeFile(budget, std::string("a,b"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 0, budget)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, budget)));
    const auto registryBefore = testsupport::readFile(box.registryFile());
    // Copies into Backup fail.
    ProcessResult r = run({"sync", "--user", "Ann"}, {{"BRIGHTFOLD_FAULTS", "copy:EIO"}});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("HS_SYNC_FAILURE to 1 notifier(s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cannot back up Budget-Jan.pdb"), std::string::npos) << r.out;
    // The CSV book was sent and installed, but nothing was committed.
    EXPECT_EQ(cellsOf(onHandheld("Ann", "Budget-Jan")), (Cells{{1, 1, "a"}, {1, 2, "b"}}));
    EXPECT_TRUE(testsupport::sameBytes(registryBefore, testsupport::readFile(box.registryFile())));
    EXPECT_TRUE(filesIn(box.install(bo)).empty());
    // The lock was released: the next HotSync works and sends the book again.
    sync("Ann");
    EXPECT_EQ(counter(ann, "Budget"), 2);
    EXPECT_EQ(filesIn(box.install(bo)), std::vector<std::string>{"Budget-Jan.pdb"});
}

TEST_F(HotSyncProgram, InstallTakesDatabasesByTheirNameAndLeavesOtherFiles) {
    fs::create_directory(handheld + "/Ann");
    testsupport::writeFile(onHandheld("Ann", "Notes-A"),
                           testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("Notes-A", 7, {})));
    testsupport::writeFile(
        box.install(ann) + "/whatever.pdb",
        testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("Notes-B", 2, {{1, 1, "b"}})));
    testsupport::writeFile(box.install(ann) + "/broken.pdb", std::string("not a database"));
    testsupport::writeFile(box.install(ann) + "/escape.pdb",
                           testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("../x", 1, {})));
    testsupport::writeFile(box.install(ann) + "/device.pdb",
                           testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("Com1", 1, {})));
    testsupport::writeFile(box.install(ann) + "/readme.txt", std::string("text"));
    ProcessResult r = sync("Ann");
    EXPECT_NE(r.out.find("left broken.pdb in Install: not a Palm database"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("left escape.pdb in Install"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("left device.pdb in Install"), std::string::npos) << r.out;
    EXPECT_EQ(filesIn(handheld + "/Ann"), (std::vector<std::string>{"Notes-A.pdb", "Notes-B.pdb"}));
    EXPECT_EQ(counterOf(onHandheld("Ann", "Notes-B")), 8u);  // the book Notes had 7
    EXPECT_EQ(filesIn(box.install(ann)),
              (std::vector<std::string>{"broken.pdb", "device.pdb", "escape.pdb", "readme.txt"}));
    EXPECT_FALSE(fs::exists(handheld + "/x.pdb"));
}

TEST_F(HotSyncProgram, SetCellAddsInOrderAndReplaces) {
    fs::create_directory(handheld + "/Ann");
    testsupport::writeFile(onHandheld("Ann", "Budget-Jan"),
                           testsupport::makeSheetDatabase(
                               hotsynctest::sheetWithCells("Budget-Jan", 4, {{1, 1, "a"}, {3, 1, "c"}})));
    testsupport::writeFile(onHandheld("Ann", "Budget-Feb"),
                           testsupport::makeSheetDatabase(hotsynctest::sheetWithCells("Budget-Feb", 9, {})));
    auto set = [&](const std::string& row, const std::string& column, const std::string& text) {
        return run({"set-cell", "--user", "Ann", "--database", "Budget-Jan", "--row", row, "--column", column,
                    "--text", text});
    };
    EXPECT_EQ(set("2", "5", "b").exitCode, 0);
    EXPECT_EQ(set("3", "1", "C").exitCode, 0);
    EXPECT_EQ(cellsOf(onHandheld("Ann", "Budget-Jan")), (Cells{{1, 1, "a"}, {2, 5, "b"}, {3, 1, "C"}}));
    EXPECT_EQ(counterOf(onHandheld("Ann", "Budget-Jan")), 11u);  // the book's counter (9) + 1, then + 1
    ProcessResult shown = run({"show", "--user", "Ann", "--database", "Budget-Jan"});
    EXPECT_EQ(shown.out, "(1,1)\ta\n(2,5)\tb\n(3,1)\tC\n");
    shown = run({"show", "--user", "Ann"});
    EXPECT_NE(shown.out.find("Budget-Jan\tData/PiTB\tversion 71\t7 records\tchange counter 11"),
              std::string::npos)
        << shown.out;
    // Places outside the sheet and unknown databases.
    EXPECT_EQ(set("0", "1", "x").exitCode, 2);
    EXPECT_EQ(set("1", "257", "x").exitCode, 2);
    EXPECT_EQ(
        run({"set-cell", "--user", "Ann", "--database", "Nope", "--row", "1", "--column", "1", "--text", "x"})
            .exitCode,
        1);
    EXPECT_EQ(run({"set-cell", "--user", "Ann", "--database", "../Budget-Jan", "--row", "1", "--column", "1",
                   "--text", "x"})
                  .exitCode,
              1);
}

TEST_F(HotSyncProgram, NotifierListAndUsage) {
    EXPECT_EQ(run({"notifiers", "add", addintest::gridlinkPath()}).exitCode, 0);  // already there
    EXPECT_EQ(run({"notifiers", "add", "/nowhere/libmissing.so"}).exitCode, 0);
    EXPECT_EQ(run({"notifiers", "add", "libother.so"}).exitCode, 0);
    EXPECT_EQ(run({"notifiers", "list"}).out,
              "0\t" + addintest::gridlinkPath() + "\n1\t/nowhere/libmissing.so\n2\tlibother.so\n");
    // A notifier that cannot be loaded is left out; the HotSync goes on.
    ProcessResult r = sync("Ann");
    EXPECT_NE(r.out.find("notifier /nowhere/libmissing.so not loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("HS_SYNC_SUCCESS to 1 notifier(s)"), std::string::npos) << r.out;
    EXPECT_EQ(run({"notifiers", "remove", "/NOWHERE/libmissing.so"}).exitCode, 0);
    EXPECT_EQ(run({"notifiers", "list"}).out, "0\t" + addintest::gridlinkPath() + "\n1\tlibother.so\n");
    EXPECT_EQ(run({"notifiers", "remove", "/nowhere/libmissing.so"}).exitCode, 1);

    EXPECT_EQ(run({"--help"}).exitCode, 0);
    EXPECT_EQ(run({"dance"}).exitCode, 2);
    EXPECT_EQ(run({"sync"}).exitCode, 2);
    EXPECT_EQ(run({"sync", "--user", "Ann", "--row", "1"}).exitCode, 2);
    EXPECT_EQ(run({"sync", "--user", "Nobody"}).exitCode, 1);
    EXPECT_EQ(run({"users", "add", "Cy", "--id", "12x", "--folder", "/tmp"}).exitCode, 2);
    r = run({"users", "list"});
    EXPECT_EQ(r.out, "Ann\tID 1001\t" + box.userFolder(ann) + "\tinstall flag 0\nBo\tID 1002\t" +
                         box.userFolder(bo) + "\tinstall flag -\n");
}
