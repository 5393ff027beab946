// The removal half: an install undone by the uninstall, what stays, files in
// use, the user keys, the previous-version removal and the install folder.
#include <cerrno>
#include <set>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "run_testing.h"

namespace {

using testsupport::RunSandbox;

const std::string kProductKey = "HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo";

std::vector<std::string> without(std::vector<std::string> all, const std::vector<std::string>& before) {
    std::set<std::string> old(before.begin(), before.end());
    std::erase_if(all, [&](const std::string& item) { return old.count(item) != 0; });
    return all;
}

// Install every kind of entry, uninstall with "/d", and find only what an
// uninstall leaves behind.
TEST(Uninstall, UndoesTheInstallButForWhatStays) {
    RunSandbox box;
    box.palmDesktop();
    box.entry(box.component("App", "a.txt")).desktopIcon = 1;
    box.file(box.component("Docs", "b.txt", "\\docs"), "c.txt", "\\docs");
    box.component("Handheld", "app.prc", "Pilot");
    box.component("Notifier", "notify.so", "\\NOTIFIER");
    std::vector<std::string> filesBefore = box.files(), keysBefore = box.hiveKeys();
    box.answer("yes\nyes\nyes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    ASSERT_TRUE(platform::isRegularFile(box.desktop + "/App.desktop"));

    ASSERT_EQ(box.uninstall(), std::nullopt);
    EXPECT_EQ(box.boxes().back(),
              "Uninstallation Finished: Program uninstalled from PC. Remove Palm components manually => ok");
    EXPECT_EQ(without(box.files(), filesBefore), std::vector<std::string>{"palm/Ann/Install/app.prc"});
    EXPECT_EQ(foundation::readNotifiers(), std::vector<std::string>{});
    EXPECT_EQ(
        without(box.hiveKeys(), keysBefore),
        (std::vector<std::string>{
            // The HotSync Manager's notifier list, now empty.
            std::string(installer::kHotSyncManagerKey) + "\\Notifiers",
            // Spelt as the Palm Desktop's keys made it first.
            "HKEY_CURRENT_USER\\SOFTWARE\\Brightfold", "HKEY_CURRENT_USER\\SOFTWARE\\Brightfold\\Tabulo",
            "HKEY_LOCAL_MACHINE\\Software", "HKEY_LOCAL_MACHINE\\Software\\Microsoft",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}));
    EXPECT_EQ(foundation::RegistryRead(kProductKey, "Path"), box.target);
    EXPECT_EQ(foundation::RegistryRead(kProductKey, "Install"), "Install");
    EXPECT_EQ(foundation::installFlag({"Ann", "", "1234"}), 1u);
}

// Names that would reach outside the worked-out folders are never deleted.
TEST(Uninstall, DeletesOnlyInsideItsFolders) {
    RunSandbox box;
    box.dir.makeDir("Brightfold");
    int app = box.component("../victim", "../victim.txt", ".", false);
    box.entry(app).desktopIcon = 1;
    testsupport::writeFile(box.dir.file("victim.txt"), std::string("keep"));
    testsupport::writeFile(box.dir.file("home/victim.desktop"), std::string("keep"));
    EXPECT_EQ(box.uninstall(), std::nullopt);
    EXPECT_TRUE(platform::isRegularFile(box.dir.file("victim.txt")));
    EXPECT_TRUE(platform::isRegularFile(box.dir.file("home/victim.desktop")));
}

TEST(Uninstall, FileInUseIsLeftToTheUserAndTheFolderToTheRestart) {
    RunSandbox box;
    box.component("App", "a.txt");
    box.answer("yes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    platform::faults::arm(platform::faults::Op::Delete, EACCES);
    box.answer("");
    ASSERT_EQ(box.uninstall(), std::nullopt);
    platform::faults::disarmAll();
    // The running setup program is not mentioned: it deletes itself later.
    EXPECT_EQ(box.boxes(), (std::vector<std::string>{
                               "Delete error: Please delete manually " + box.target + "/a.txt => ok",
                               "Delete error: Please delete manually " + box.target + "/setup.inf => ok",
                               "Uninstallation Finished: Program uninstalled from PC. Remove Palm components "
                               "manually => ok"}));
    for (const char* name : {"a.txt", "setup.inf", "setupwiz"}) platform::deleteFile(box.target + "/" + name);
    EXPECT_EQ(platform::shell::carryOutPendingDeletions(), std::vector<std::string>{box.target});
}

TEST(Uninstall, DeletesEveryUserKeyAndTheOneTheLookupMakes) {
    RunSandbox box;
    box.component("App", "a.txt");
    for (std::string n : {"0", "1"}) foundation::RegistryValue(kProductKey + "\\User" + n, "Name", n);
    ASSERT_EQ(box.uninstall(), std::nullopt);
    for (const std::string& key : box.hiveKeys()) EXPECT_EQ(key.find("\\User"), std::string::npos) << key;
}

TEST(Uninstall, RestartQuestionOnlyWhenRestartIsAllowed) {
    struct Case {
        bool restartAllowed;
        const char* reply;
        int hotSyncState;
        size_t boxes;
    } cases[] = {{true, "yes", 2, 2}, {true, "no", 0, 2}, {false, "yes", 2, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        RunSandbox box;
        std::string hotSync = "/opt/palm/hotsync";
        foundation::RegistryValue(installer::kPalmCoreKey, "HotSyncPath", hotSync);
        box.component("App", "a.txt");
        installer::SetupState& state = box.state;
        state.uninstallMode = true;
        state.restartAllowed = c.restartAllowed;
        state.hotSyncState = 2;
        box.answer(std::string(c.reply) + "\n");
        ASSERT_EQ(installer::RunInstallation(state, box.dist, box.target, false), std::nullopt);
        EXPECT_EQ(state.hotSyncState, c.hotSyncState);
        std::vector<std::string> shown = box.boxes();
        ASSERT_EQ(shown.size(), c.boxes);
        if (c.boxes == 2) {
            EXPECT_EQ(shown[0], "Restart Hotsync: Restart Hotsync Manager? => " + std::string(c.reply));
        }
    }
}

TEST(Uninstall, PreviousVersionRemovalKeepsTheRecords) {
    RunSandbox box;
    box.component("App", "a.txt");
    box.answer("yes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    std::string name = "Ann";
    foundation::RegistryValue(kProductKey + "\\User0", "Name", name);
    std::vector<std::string> keys = box.hiveKeys();
    box.answer("");
    installer::SetupState old;
    old.programPath = box.dist + "/setupwiz";
    old.scripts[0] = box.state.script();
    old.scripts[0].entries.resize(1);
    ASSERT_EQ(installer::RunInstallation(old, box.dist, box.target, true), std::nullopt);
    EXPECT_EQ(box.boxes(), std::vector<std::string>{});
    EXPECT_FALSE(platform::fileExists(box.target + "/a.txt"));
    EXPECT_EQ(box.hiveKeys(), keys);
}

}  // namespace
