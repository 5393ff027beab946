// HS_Notify against a sandbox: the registry reload and the CSV export at the
// start of a HotSync, bringing changed books back and passing them on after
// it, the commit, and the lock on failure.
#include "syncmgr/hotsync_notify.h"

#include <filesystem>

#include "foundation/sync_lock.h"
#include "hotsync_sandbox.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "support/process.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/link_editing.h"

using namespace hotsynctest;
using testsupport::SheetDbSpec;
namespace fs = std::filesystem;

namespace {

class HotSyncNotify : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");
    std::string sheets = box.dir.makeDir("Sheets");
    std::string workbook = sheets + "/Budget.xls";
    syncmgr::GridlinkState state;

    int32_t notify(int32_t event, int32_t id) { return syncmgr::notifyHotSync(state, event, id); }
    // The load the library's attach step makes.
    void attach() { ASSERT_GE(testsupport::loadLinks(state.registry), 0); }
    // A HotSync of a user as the HotSync Manager runs it around its own work.
    void hotSync(int32_t id) {
        EXPECT_EQ(notify(syncmgr::kHotSyncStarted, id), 1);
        EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, id), 1);
    }
    // The link as the committed file has it.
    foundation::LinkEntry committed(int user, const std::string& book) {
        foundation::LinkRegistry fresh = box.linkRegistry();
        EXPECT_GE(testsupport::loadLinks(fresh), 0);
        const foundation::LinkEntry* link = fresh.findLink(user, book);
        return link ? *link : foundation::LinkEntry{};
    }
    std::string installed(int user, const std::string& database) const {
        return box.install(user) + "/" + database + ".pdb";
    }
};

}  // namespace

TEST_F(HotSyncNotify, SynchronizeBringsBackOnlyANewerBook) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 5});
    testsupport::writeFile(workbook, std::string("workbook"));
    // Counter equal to the book's: the desktop has it already.
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 5, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    hotSync(101);
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 0);
    EXPECT_EQ(box.installFlag("102"), -1);
    // One less: brought back and passed on to Bo.
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 4, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    hotSync(101);
    EXPECT_TRUE(fs::exists(installed(bo, "Budget-Jan")));
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 6);
    // Ann's own link is left for VerifyImport (an Excel workbook).
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, 4);
}

TEST_F(HotSyncNotify, TwoUsersAndTheInstallFlag) {
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 9, {{1, 1, "jan"}}));
    box.putInBackup(ann, sheetWithCells("Budget-Feb", 7, {{2, 2, "feb"}}));
    box.putInBackup(ann, SheetDbSpec{"Travel", 71, 3});
    testsupport::writeFile(workbook, std::string("workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, workbook)) +
                   linkSection("Bo", linkLine("Budget", 2, 1, workbook)));
    hotSync(101);
    EXPECT_EQ(cellsOf(installed(bo, "Budget-Jan")), (Cells{{1, 1, "jan"}}));
    EXPECT_EQ(cellsOf(installed(bo, "Budget-Feb")), (Cells{{2, 2, "feb"}}));
    EXPECT_FALSE(fs::exists(installed(bo, "Travel")));  // Bo links no Travel
    EXPECT_EQ(box.installFlag("102"), 1);
    // The syncing user's own Install folder and flag are left alone.
    EXPECT_TRUE(fs::is_empty(box.install(ann)));
    EXPECT_EQ(box.installFlag("101"), -1);
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 10);
}

TEST_F(HotSyncNotify, DesktopOverwritesWithADeletedWorkbookGetsTheTemplate) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    box.writeLinks(linkSection("Ann", linkLine("Budget", 2, 3, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    hotSync(101);
    EXPECT_EQ(textOf(workbook), "template workbook");
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, -1);
    // No transfer.
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 0);
}

TEST_F(HotSyncNotify, AWorkbookThatIsThereIsNeverReplacedByTheTemplate) {
    // -2 left in the file by hand: the workbook exists, so it stays.
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    testsupport::writeFile(workbook, std::string("my figures"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 2, -2, workbook)));
    hotSync(101);
    EXPECT_EQ(textOf(workbook), "my figures");
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, -1);
}

TEST_F(HotSyncNotify, HandheldOverwritesCsvIsConvertedEveryTime) {
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 4, {{1, 1, "jan"}}));
    const std::string csv = sheets + "/Budget.csv";
    testsupport::writeFile(csv, std::string("desktop"));
    // The start of the HotSync has moved the time past the desktop's file.
    box.writeLinks(linkSection("Ann", linkLine("Budget", 1, 4, csv, *platform::lastWriteTime(csv))));
    attach();
    for (int round = 0; round < 3; ++round) {
        fs::remove(sheets + "/Budget-Jan.csv");
        EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
        EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"jan\"") << round;
        foundation::LinkEntry link = committed(ann, "Budget");
        EXPECT_EQ(link.lastSyncedCounter, 4);
        EXPECT_EQ(link.csvSyncTime.value(), *platform::lastWriteTime(sheets + "/Budget-Jan.csv"));
    }
}

TEST_F(HotSyncNotify, CsvLinkRoundTrip) {
    const std::string csv = sheets + "/Budget.csv";
    testsupport::writeFile(sheets + "/Budget-Jan.csv", std::string("a,b\r\nc"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, csv)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, sheets + "/x.xls")));
    // The start sends the CSV files to Ann's Install folder.
    EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 101), 1);
    EXPECT_EQ(cellsOf(installed(ann, "Budget-Jan")), (Cells{{1, 1, "a"}, {1, 2, "b"}, {2, 1, "c"}}));
    EXPECT_EQ(box.installFlag("101"), 1);
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    // The HotSync installs them and backs them up with a new counter.
    box.putInBackup(ann,
                    sheetWithCells("Budget-Jan", 1, {{1, 1, "a"}, {1, 2, "b"}, {2, 1, "c"}, {2, 3, "new"}}));
    fs::remove(installed(ann, "Budget-Jan"));
    EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"a\",\"b\"\r\n\"c\",,\"new\"");
    foundation::LinkEntry link = committed(ann, "Budget");
    EXPECT_EQ(link.lastSyncedCounter, 1);
    EXPECT_EQ(link.csvSyncTime.value(), *platform::lastWriteTime(sheets + "/Budget-Jan.csv"));
    EXPECT_TRUE(fs::exists(installed(bo, "Budget-Jan")));
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 2);
    // The next start finds nothing new to send: the files came from the handheld.
    EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 101), 1);
    EXPECT_FALSE(fs::exists(installed(ann, "Budget-Jan")));
}

TEST_F(HotSyncNotify, FailedCsvImportKeepsTheCounter) {
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 3, {{1, 1, "x"}}));
    const std::string csv = sheets + "/Budget.csv";
    testsupport::writeFile(csv, std::string("x"));
    fs::create_directory(sheets + "/Budget-Jan.csv");  // cannot be written
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 2, csv)));
    attach();
    EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, 2);  // tried again at the next HotSync
    // A missing linked file: import at the next chance.
    fs::remove(csv);
    EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, -1);
}

TEST_F(HotSyncNotify, DisabledUnknownAndOtherEventsDoNothing) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    testsupport::writeFile(workbook, std::string("workbook"));
    testsupport::writeFile(sheets + "/Budget-Jan.csv", std::string("x"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv"), false) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    const auto before = testsupport::readFile(box.registryFile());
    hotSync(101);  // Ann is disabled
    hotSync(999);  // nobody's ID
    for (int32_t event : {syncmgr::kHotSyncQueryOk, syncmgr::kHotSyncUserUpdate, 5, -1})
        EXPECT_EQ(notify(event, 101), 1);
    EXPECT_TRUE(fs::is_empty(box.install(ann)));
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    EXPECT_TRUE(testsupport::sameBytes(before, testsupport::readFile(box.registryFile())));
}

TEST_F(HotSyncNotify, NoBookInBackupCommitsNothing) {
    box.writeLinks(linkSection("Bo", linkLine("Budget", 0, -1, workbook)));
    const auto before = testsupport::readFile(box.registryFile());
    hotSync(102);
    EXPECT_TRUE(testsupport::sameBytes(before, testsupport::readFile(box.registryFile())));
}

TEST_F(HotSyncNotify, IdsAboveTwoToTheThirtyOneMatchTheirSignedForm) {
    int carl = box.addUser("Carl", "4294967295");
    box.putInBackup(carl, SheetDbSpec{"Budget-Jan", 71, 9});
    testsupport::writeFile(workbook, std::string("workbook"));
    box.writeLinks(linkSection("Bo", linkLine("Budget", 0, 0, workbook)) +
                   linkSection("Carl", linkLine("Budget", 0, -1, workbook)));
    hotSync(-1);
    EXPECT_TRUE(fs::exists(installed(bo, "Budget-Jan")));
}

TEST_F(HotSyncNotify, StartPicksUpWhatTheDesktopSavedAndDropsWhatWasInMemory) {
    ASSERT_GE(testsupport::loadLinks(state.registry), 0);
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 9, workbook)));
    EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 101), 1);
    ASSERT_NE(state.registry.findLink(ann, "Budget"), nullptr);
    EXPECT_EQ(state.registry.findLink(ann, "Budget")->lastSyncedCounter, 9);
    // The lock is not held after the reload; sync.dat records the HotSync mode.
    EXPECT_EQ(testsupport::readFile(box.productFolder + "/sync.dat")[0], 1);
    auto other = platform::File::open(box.productFolder + "/sync.dat", platform::File::Mode::ReadWrite);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->tryLockRange(0, 1));
}

TEST_F(HotSyncNotify, TheCommitKeepsLinksTheDesktopSavedDuringTheHotSync) {
    const int carl = box.addUser("Carl", "103");
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 5});
    testsupport::writeFile(workbook, std::string("workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 4, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)) +
                   linkSection("Carl", linkLine("Budget", 0, 0, workbook)));
    attach();
    ASSERT_EQ(notify(syncmgr::kHotSyncStarted, 101), 1);
    // Meanwhile the Sync Manager, in another process: Bo links Travel, Carl
    // unlinks Budget.
    const std::string travel = sheets + "/Travel.xls";
    const int rc = testsupport::runInChild(box.dir.file("desktop.err"), [&] {
        foundation::LinkRegistry desktop{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
        syncmgr::useBackupDiscovery(desktop);
        syncmgr::RegisterRequest request;
        request.user = bo;
        request.pcPath = travel;
        request.syncRule = foundation::kSyncDesktopOverwrites;
        const bool linked = syncmgr::registerLink(desktop, request).ok();
        return linked && syncmgr::unregisterLink(desktop, carl, "Budget").ok() ? 0 : 1;
    });
    ASSERT_EQ(rc, 0) << textOf(box.dir.file("desktop.err"));
    ASSERT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
    // The notification's own change (Budget passed on to Bo) and the desktop's.
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 6);
    EXPECT_EQ(committed(bo, "Travel").pcPath, travel);
    EXPECT_EQ(committed(bo, "Travel").syncRule, foundation::kSyncDesktopOverwrites);
    EXPECT_EQ(committed(carl, "Budget").pcPath, "");
}

TEST_F(HotSyncNotify, FailureReleasesTheLock) {
    ASSERT_GE(state.registry.LockSyncFile(foundation::kLockModeHotSync), 0);
    auto other = platform::File::open(box.productFolder + "/sync.dat", platform::File::Mode::ReadWrite);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->tryLockRange(0, 1));
    EXPECT_EQ(notify(syncmgr::kHotSyncFailure, 101), 1);
    EXPECT_TRUE(other->tryLockRange(0, 1));
    // Nothing held: still fine.
    other->unlockRange(0, 1);
    EXPECT_EQ(notify(syncmgr::kHotSyncFailure, 101), 1);
}

TEST_F(HotSyncNotify, NothingAfterAFailedAttach) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    testsupport::writeFile(workbook, std::string("workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    state.attachFailed = true;
    hotSync(101);
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
}

TEST_F(HotSyncNotify, EndOfTheImportedBookDoesNotRefreshDuringTheNotification) {
    // Handheld Overwrites of a CSV book: the conversion reads the book to its
    // last sheet, which outside a HotSync refreshes the registry.
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 2, {{1, 1, "x"}}));
    box.putInBackup(ann, sheetWithCells("Budget-Mar", 3, {{1, 1, "y"}}));
    box.writeLinks(linkSection(
        "Ann", linkLine("Budget", 1, 0, sheets + "/Budget.csv") + linkLine("Cars", 0, -1, workbook)));
    box.putInBackup(ann, SheetDbSpec{"Cars", 71, 1});
    attach();
    // The commit at the end is the only holder of the sync lock: a refresh
    // at the end of the book would take the one lock left.
    platform::faults::arm(platform::faults::Op::Lock, EIO, 1);
    EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
    platform::faults::disarmAll();
    EXPECT_FALSE(state.inHotSync);
    EXPECT_EQ(textOf(sheets + "/Budget-Mar.csv"), "\"y\"");
    // The links after the conversion were still handled and committed.
    EXPECT_EQ(committed(ann, "Budget").lastSyncedCounter, 3);
    EXPECT_EQ(textOf(workbook), "template workbook");
    EXPECT_EQ(committed(ann, "Cars").lastSyncedCounter, -1);
}

TEST_F(HotSyncNotify, OtherUsersOfTheSameCsvFilesDoNotSendThemBack) {
    const std::string csv = sheets + "/Budget.csv";
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 5, {{1, 1, "from the handheld"}}));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 4, csv)) +
                   linkSection("Bo", linkLine("Budget", 0, 4, csv)));
    hotSync(101);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"from the handheld\"");
    const platform::FileTime written = *platform::lastWriteTime(sheets + "/Budget-Jan.csv");
    EXPECT_EQ(committed(bo, "Budget").csvSyncTime.value(), written);
    EXPECT_EQ(committed(bo, "Budget").lastSyncedCounter, 6);
    // Bo has the book from Ann's handheld waiting; the rewritten file is not
    // sent to him a second time as a desktop change.
    fs::remove(installed(bo, "Budget-Jan"));
    EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 102), 1);
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    // A change made on the desktop afterwards still goes out.
    fs::last_write_time(sheets + "/Budget-Jan.csv",
                        fs::last_write_time(sheets + "/Budget-Jan.csv") + std::chrono::seconds(5));
    EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 102), 1);
    EXPECT_EQ(cellsOf(installed(bo, "Budget-Jan")), (Cells{{1, 1, "from the handheld"}}));
}

TEST_F(HotSyncNotify, ACsvChangeStillToGoOutOutlivesTheBookComingBack) {
    // Budget-Mar.csv was changed on the desktop and has not gone out to Bo
    // (no HotSync yet), nor, in the first round, to Ann (the start could not
    // read it). Ann's handheld brings back Budget-Jan, written after it.
    const std::string csv = sheets + "/Budget.csv";
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 5, {{1, 1, "jan"}}));
    for (bool annHasIt : {false, true}) {
        SCOPED_TRACE(annHasIt ? "Ann has it" : "Ann has it not");
        for (int user : {ann, bo})
            for (const auto& e : fs::directory_iterator(box.install(user))) fs::remove(e.path());
        testsupport::writeFile(sheets + "/Budget-Mar.csv", std::string("desktop"));
        fs::last_write_time(sheets + "/Budget-Mar.csv",
                            fs::file_time_type::clock::now() - std::chrono::hours(1));
        const platform::FileTime marTime = *platform::lastWriteTime(sheets + "/Budget-Mar.csv");
        box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 4, csv, annHasIt ? marTime : 0)) +
                       linkSection("Bo", linkLine("Budget", 0, 4, csv)));
        attach();
        EXPECT_EQ(notify(syncmgr::kHotSyncSuccess, 101), 1);
        const platform::FileTime janTime = *platform::lastWriteTime(sheets + "/Budget-Jan.csv");
        ASSERT_GT(janTime, marTime);
        EXPECT_EQ(committed(ann, "Budget").csvSyncTime.value(), annHasIt ? janTime : 0);
        EXPECT_EQ(committed(bo, "Budget").csvSyncTime.value(), 0u);
        // The next HotSync of whoever lacks it sends it.
        EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 101), 1);
        EXPECT_EQ(fs::exists(installed(ann, "Budget-Mar")), !annHasIt);
        EXPECT_EQ(notify(syncmgr::kHotSyncStarted, 102), 1);
        EXPECT_EQ(cellsOf(installed(bo, "Budget-Mar")), (Cells{{1, 1, "desktop"}}));
    }
}

TEST_F(HotSyncNotify, AnUnreadableRegistryFileIsNeverSavedAsEmpty) {
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 9});
    testsupport::writeFile(workbook, std::string("workbook"));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 4, workbook)) +
                   linkSection("Bo", linkLine("Budget", 0, 0, workbook)));
    const auto before = testsupport::readFile(box.registryFile());
    syncmgr::RegisterRequest travel;
    travel.user = ann;
    travel.pcPath = sheets + "/Travel.xls";
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"HotSync",
         [&] {
             hotSync(101);
             EXPECT_FALSE(state.registry.loaded());  // the start could not load: nothing to commit
         }},
        {"register", [&] { EXPECT_EQ(syncmgr::registerLink(state.registry, travel).status, BF_ERR_OPEN); }},
        {"unregister",
         [&] { EXPECT_EQ(syncmgr::unregisterLink(state.registry, ann, "Budget").status, BF_ERR_OPEN); }},
    };
    for (const auto& [name, step] : steps) {
        attach();
        // A reload reads sync.dat's lock mode first, then the registry file.
        platform::faults::arm(platform::faults::Op::Read, EIO, 1, 1);
        step();
        platform::faults::disarmAll();
        EXPECT_TRUE(testsupport::sameBytes(before, testsupport::readFile(box.registryFile()))) << name;
    }
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
}
