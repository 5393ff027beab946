// setupwiz towards the Palm Desktop, against the Conduit Manager and install
// aide stand-ins: loading the libraries, choosing the Palm user, the user's
// records under a product key, notifiers, and the programs asked to close.
#include <filesystem>
#include <optional>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installer_places.h"
#include "installer/palm_desktop.h"
#include "installer/pilot_users_dialog.h"
#include "installer_testing.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

namespace fs = std::filesystem;
using installer::PalmDesktop;
using installer::PalmUser;
using installer_testing::binary;
using installer_testing::Sandbox;

const std::string kProductKey = std::string(installer::kProductRoot) + "Tabulo";

TEST(PalmDesktopTest, LoadReportsWhichLibraryIsUnusable) {
    const struct {
        const char* name;
        const char* hotSyncFolder;       // nullptr: the value is missing; "": the case's own folder
        const char* conduitManagerFrom;  // the module copied as the Conduit Manager; "": none
        const char* installAideFrom;
        int expected;
    } cases[] = {
        {"no HotSyncPath", nullptr, "libCondMgr.so", "libInstaide.so", installer::kPalmNoHotSync},
        {"a folder that cannot be entered", "/nonexistent", "libCondMgr.so", "libInstaide.so",
         installer::kPalmNoHotSync},
        {"no modules", "", "", "", installer::kPalmNoConduitManager},
        {"no install aide", "", "libCondMgr.so", "", installer::kPalmNoInstallAide},
        {"Conduit Manager without its entry points", "", "libInstaide.so", "libInstaide.so",
         installer::kPalmNoConduitManager},
        {"install aide without its entry points", "", "libCondMgr.so", "libCondMgr.so",
         installer::kPalmNoInstallAide},
        {"both usable", "", "libCondMgr.so", "libInstaide.so", installer::kPalmLoaded},
    };
    Sandbox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = box.dir.makeDir(std::string("desktop/") + c.name);
        foundation::RegistryDeleteKey(installer::kPalmCoreKey);
        if (*c.conduitManagerFrom) fs::copy_file(binary(c.conduitManagerFrom), folder + "/libCondMgr.so");
        if (*c.installAideFrom) fs::copy_file(binary(c.installAideFrom), folder + "/libInstaide.so");
        if (c.hotSyncFolder)
            box.setValue(std::string(installer::kPalmCoreKey), "HotSyncPath",
                         (*c.hotSyncFolder ? std::string(c.hotSyncFolder) : folder) + "/hotsync");
        const std::string before = platform::currentDirectory();
        PalmDesktop desktop;
        EXPECT_EQ(desktop.load(), c.expected);
        EXPECT_EQ(desktop.loaded(), c.expected == installer::kPalmLoaded);
        if (c.expected == installer::kPalmLoaded) {
            EXPECT_EQ(platform::currentDirectory(), before);
        }
        platform::setCurrentDirectory(before);
    }
}

TEST(PalmDesktopTest, ChooseUserAsksOnlyAmongSeveral) {
    const std::string tooLong(64, 'x');
    const std::string deep = "/" + std::string(40, 'f');
    const struct {
        const char* name;
        std::vector<std::string> users;  // IDs 1001, 1002, ... in this order
        std::string script;
        std::string expected;         // empty: no user
        std::string folderTail = "";  // added to the first user's folder
    } cases[] = {
        {"one user: no dialog", {"Ann"}, "", "Ann"},
        {"OK on the second", {"Ann", "Bob"}, "dialog 131\nselect 1003 1\nclick 1\n", "Bob"},
        {"double click", {"Ann", "Bob"}, "dialog 131\ndblclick 1003 0\n", "Ann"},
        {"OK at once takes the first", {"Ann", "Bob"}, "dialog 131\nclick 1\n", "Ann"},
        {"Cancel", {"Ann", "Bob"}, "dialog 131\nclick 2\n", ""},
        // The dialog's IdCancel (2) is not Cy's index.
        {"Escape", {"Ann", "Bob", "Cy"}, "dialog 131\n", ""},
        {"a name too long for the record is left out", {"Ann", tooLong}, "", "Ann"},
        {"only a name too long", {tooLong}, "", ""},
        {"a folder too long for the record", {"Ann"}, "", "", deep + deep + deep + deep + deep + deep + deep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.palmDesktop();
        std::vector<std::string> folders;
        for (size_t i = 0; i < c.users.size(); ++i) {
            folders.push_back(box.dir.makeDir("palm/" + c.users[i] + (i ? "" : c.folderTail)));
            std::string error;
            ASSERT_TRUE(foundation::addUser({c.users[i], folders[i], std::to_string(1001 + i)}, error))
                << error;
        }
        PalmDesktop desktop;
        ASSERT_EQ(desktop.load(), installer::kPalmLoaded);
        box.answer(c.script);
        PalmUser user;
        const int32_t id = desktop.chooseUser(user);
        EXPECT_EQ(box.log().starts_with("dialog 131"), !c.script.empty()) << box.log();
        EXPECT_EQ(box.log().find("FAIL"), std::string::npos) << box.log();
        const size_t index = size_t(std::find(c.users.begin(), c.users.end(), c.expected) - c.users.begin());
        EXPECT_EQ(id, c.expected.empty() ? -1 : int32_t(1001 + index));
        EXPECT_EQ(user.folder, c.expected.empty() ? "" : folders[index]);
        if (!c.expected.empty()) {
            EXPECT_EQ(user.id, id);
            EXPECT_EQ(user.name, c.expected);
        }
    }
}

TEST(PalmDesktopTest, RecordingAUserAgainReusesTheUsersSlot) {
    Sandbox box;
    const PalmUser ann{"Ann", box.addUser("Ann", "1001"), 1001};
    const PalmUser bob{"Bob", box.addUser("Bob", "2002"), 2002};
    installer::RecordHotSyncUser("Tabulo", ann);
    installer::RecordHotSyncUser("Tabulo", bob);
    installer::RecordHotSyncUser("Tabulo", bob);
    EXPECT_EQ(foundation::installFlag({"Bob", bob.folder, "2002"}), std::optional<uint32_t>(1));
    EXPECT_EQ(box.value(kProductKey + "\\User0", "Name"), "Ann");
    EXPECT_EQ(box.value(kProductKey + "\\User1", "Name"), "Bob");
    EXPECT_EQ(box.value(kProductKey + "\\User1", "Path"), bob.folder);
    EXPECT_EQ(box.value(kProductKey + "\\User1", "ID"), "2002");
    EXPECT_EQ(box.value(kProductKey + "\\User2", "Name"), "");
    EXPECT_EQ(box.value(kProductKey, "Install"), "Install");
}

TEST(PalmDesktopTest, BackupNameFollowsTheFirstUsersFolderAndStays) {
    for (bool sauvegarde : {true, false}) {
        SCOPED_TRACE(sauvegarde ? "Sauvegarde" : "Backup");
        Sandbox box;
        const PalmUser ann{"Ann", box.addUser("Ann", "1001"), 1001};
        if (sauvegarde) fs::create_directory(ann.folder + "/Sauvegarde");
        installer::RecordHotSyncUser("Tabulo", ann);
        EXPECT_EQ(box.value(kProductKey, "Backup"), sauvegarde ? "Sauvegarde" : "Backup");
        // Later installs leave the name as it is.
        if (sauvegarde)
            fs::remove(ann.folder + "/Sauvegarde");
        else
            fs::create_directory(ann.folder + "/Sauvegarde");
        installer::RecordHotSyncUser("Tabulo", ann);
        EXPECT_EQ(box.value(kProductKey, "Backup"), sauvegarde ? "Sauvegarde" : "Backup");
    }
}

TEST(PalmDesktopTest, NotifiersAreMatchedWithoutRegardToCase) {
    const struct {
        const char* name;
        std::vector<std::string> listed;
        bool registering;
        const char* fileName;
        std::vector<std::string> expected;
    } cases[] = {
        {"listed in other case", {"libgridlink.so"}, true, "LibGridlink.SO", {"libgridlink.so"}},
        {"three listed: added at index 3",
         {"a.so", "b.so", "c.so"},
         true,
         "libgridlink.so",
         {"a.so", "b.so", "c.so", "libgridlink.so"}},
        {"removed from the middle",
         {"a.so", "libgridlink.so", "c.so"},
         false,
         "LIBGRIDLINK.so",
         {"a.so", "c.so"}},
        {"removing one not listed", {"a.so"}, false, "libgridlink.so", {"a.so"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.palmDesktop();
        std::string message;
        for (const std::string& entry : c.listed) ASSERT_TRUE(foundation::addNotifier(entry, message));
        PalmDesktop desktop;
        ASSERT_EQ(desktop.load(), installer::kPalmLoaded);
        if (c.registering)
            desktop.registerNotifier(c.fileName);
        else
            desktop.unregisterNotifier(c.fileName);
        EXPECT_EQ(foundation::readNotifiers(), c.expected);
    }
}

TEST(PalmDesktopTest, StopRunningAppsAsksOnlyWhatRuns) {
    using installer::kCloseExcel;
    using installer::kCloseHotSync;
    using installer::kCloseWord;
    const struct {
        const char* name;
        int flags;
        const char* running;  // a window class, or nullptr
        const char* answers;
        int expected;
        size_t questions;
    } cases[] = {
        {"nothing running", kCloseHotSync | kCloseExcel | kCloseWord, nullptr, "", 1, 0},
        {"HotSync Manager shut down", kCloseHotSync, "KittyHawk", "ok\n", 2, 1},
        {"HotSync Manager left running", kCloseHotSync, "KittyHawk", "cancel\n", 0, 1},
        {"Excel closed by the user", kCloseExcel, "XLMAIN", "ok\n", 1, 1},
        {"Word left open", kCloseWord, "OpusApp", "cancel\n", 0, 1},
        {"Excel running but not asked about", kCloseWord, "XLMAIN", "", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        std::unique_ptr<platform::shell::WindowClass> window;
        if (c.running) window = platform::shell::WindowClass::create(c.running);
        // The user closes Excel or Word before answering.
        if (c.running && c.running != std::string("KittyHawk")) box.afterBox = [&] { window.reset(); };
        box.answer(c.answers);
        EXPECT_EQ(installer::StopRunningApps(c.flags), c.expected);
        EXPECT_EQ(box.boxes().size(), c.questions);
        if (c.expected == 2) {
            EXPECT_EQ(box.boxes()[0],
                      "Can not continue: HotSync Manager is running. Click OK to shut it down. => ok");
            auto message = window->wait(0);
            ASSERT_TRUE(message);
            EXPECT_EQ(message->message, 0xBEC5u);
            EXPECT_EQ(message->wParam, 1u);
        }
    }
}

}  // namespace
