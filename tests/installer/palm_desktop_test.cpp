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
#include "palm_testing.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

namespace fs = std::filesystem;
namespace ui = platform::ui;
using installer::PalmDesktop;
using installer::PalmUser;
using palmtest::ScopedUi;

std::string buildModule(const char* file) { return testsupport::buildDir() + "/bin/" + file; }

class PalmDesktopTest : public ::testing::Test {
protected:
    palmtest::PalmSandbox box;
    PalmDesktop palm;

    void loadLibraries() { ASSERT_EQ(palm.load(), installer::kPalmLoaded); }
    std::string productValue(const std::string& subkey, const char* name) {
        return foundation::RegistryRead(std::string(installer::kProductRoot) + "Tabulo" + subkey, name);
    }
};

// Each case lays out the HotSync Manager's folder: which files lie there as
// the Conduit Manager and the install aide (empty: none).
struct LoadCase {
    const char* name;
    const char* hotSyncFolder;  // nullptr: the value is missing; "": the case's own folder
    const char* conduitManagerFrom;
    const char* installAideFrom;
    int expected;
};

TEST_F(PalmDesktopTest, LoadReportsWhichLibraryIsUnusable) {
    const LoadCase cases[] = {
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
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = box.dir.makeDir(std::string("desktop/") + c.name);
        if (*c.conduitManagerFrom)
            fs::copy_file(buildModule(c.conduitManagerFrom), folder + "/libCondMgr.so");
        if (*c.installAideFrom) fs::copy_file(buildModule(c.installAideFrom), folder + "/libInstaide.so");
        foundation::RegistryDeleteKey(installer::kPalmCoreKey);
        if (c.hotSyncFolder)
            box.setHotSyncPath((*c.hotSyncFolder ? std::string(c.hotSyncFolder) : folder) + "/hotsync");
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

struct ChooseCase {
    const char* name;
    std::vector<std::string> users;  // IDs 1001, 1002, ... in this order
    ScopedUi::Play play;
    std::string expected;  // empty: no user
    bool dialog;
};

TEST_F(PalmDesktopTest, ChooseUserAsksOnlyAmongSeveral) {
    using Model = ui::DialogModel;
    const std::string tooLong(64, 'x');
    const ChooseCase cases[] = {
        {"one user", {"Ann"}, {}, "Ann", false},
        {"OK on the second",
         {"Ann", "Bob"},
         [](Model& m) {
             m.choose(installer::kPilotUsersList, 1);
             m.click(ui::IdOk);
         },
         "Bob",
         true},
        {"double click",
         {"Ann", "Bob"},
         [](Model& m) { m.doubleClick(installer::kPilotUsersList, 0); },
         "Ann",
         true},
        {"OK at once takes the first", {"Ann", "Bob"}, [](Model& m) { m.click(ui::IdOk); }, "Ann", true},
        {"Cancel", {"Ann", "Bob"}, [](Model& m) { m.click(ui::IdCancel); }, "", true},
        {"Escape", {"Ann", "Bob"}, {}, "", true},
        {"a name too long for the record is left out", {"Ann", tooLong}, {}, "Ann", false},
        {"only a name too long", {tooLong}, {}, "", false},
    };
    for (const ChooseCase& c : cases) {
        SCOPED_TRACE(c.name);
        palmtest::PalmSandbox sandbox;
        std::vector<std::string> folders;
        for (size_t i = 0; i < c.users.size(); ++i)
            folders.push_back(sandbox.addUser(c.users[i], std::to_string(1001 + i)));
        PalmDesktop desktop;
        ASSERT_EQ(desktop.load(), installer::kPalmLoaded);
        ScopedUi ui({}, c.play);
        PalmUser user;
        const int32_t id = desktop.chooseUser(user);
        EXPECT_EQ(ui.record().dialogs,
                  c.dialog ? std::vector<int>{installer::kPilotUsersResource} : std::vector<int>{});
        if (c.expected.empty()) {
            EXPECT_EQ(id, -1);
            continue;
        }
        const size_t index = size_t(std::find(c.users.begin(), c.users.end(), c.expected) - c.users.begin());
        EXPECT_EQ(id, int32_t(1001 + index));
        EXPECT_EQ(user.id, id);
        EXPECT_EQ(user.name, c.expected);
        EXPECT_EQ(user.folder, folders[index]);
    }
}

TEST_F(PalmDesktopTest, ChooseUserWithoutADisplayChoosesNobody) {
    for (const char* name : {"Ann", "Bob", "Cy"}) box.addUser(name, "1001");
    loadLibraries();
    ScopedUi ui;
    ui.record().showDialogs = false;  // the backend answers IdCancel (2), which is also Cy's index
    PalmUser user;
    EXPECT_EQ(palm.chooseUser(user), -1);
}

TEST_F(PalmDesktopTest, ChooseUserRefusesAFolderTooLongForTheRecord) {
    std::string folder = box.dir.path();
    while (folder.size() <= 259) folder += "/" + std::string(40, 'f');
    std::string error;
    ASSERT_TRUE(fs::create_directories(folder));
    ASSERT_TRUE(foundation::addUser({"Ann", folder, "1001"}, error)) << error;
    loadLibraries();
    PalmUser user;
    EXPECT_EQ(palm.chooseUser(user), -1);
    EXPECT_TRUE(user.folder.empty());
}

TEST_F(PalmDesktopTest, RecordingAUserAgainReusesTheUsersSlot) {
    const PalmUser ann{"Ann", box.addUser("Ann", "1001"), 1001};
    const PalmUser bob{"Bob", box.addUser("Bob", "2002"), 2002};
    installer::RecordHotSyncUser("Tabulo", ann);
    installer::RecordHotSyncUser("Tabulo", bob);
    installer::RecordHotSyncUser("Tabulo", bob);
    EXPECT_EQ(foundation::installFlag({"Bob", bob.folder, "2002"}), std::optional<uint32_t>(1));
    EXPECT_EQ(productValue("\\User0", "Name"), "Ann");
    EXPECT_EQ(productValue("\\User1", "Name"), "Bob");
    EXPECT_EQ(productValue("\\User1", "Path"), bob.folder);
    EXPECT_EQ(productValue("\\User1", "ID"), "2002");
    EXPECT_EQ(productValue("\\User2", "Name"), "");
    EXPECT_EQ(productValue("", "Install"), "Install");
}

TEST_F(PalmDesktopTest, BackupNameFollowsTheFirstUsersFolderAndStays) {
    for (bool sauvegarde : {true, false}) {
        SCOPED_TRACE(sauvegarde ? "Sauvegarde" : "Backup");
        palmtest::PalmSandbox sandbox;
        const PalmUser ann{"Ann", sandbox.addUser("Ann", "1001"), 1001};
        if (sauvegarde) fs::create_directory(ann.folder + "/Sauvegarde");
        installer::RecordHotSyncUser("Tabulo", ann);
        const std::string first = productValue("", "Backup");
        EXPECT_EQ(first, sauvegarde ? "Sauvegarde" : "Backup");
        // Later installs leave the name as it is.
        if (sauvegarde)
            fs::remove(ann.folder + "/Sauvegarde");
        else
            fs::create_directory(ann.folder + "/Sauvegarde");
        installer::RecordHotSyncUser("Tabulo", ann);
        EXPECT_EQ(productValue("", "Backup"), first);
    }
}

struct NotifierCase {
    const char* name;
    std::vector<std::string> listed;
    bool registering;
    const char* fileName;
    std::vector<std::string> expected;
};

TEST_F(PalmDesktopTest, NotifiersAreMatchedWithoutRegardToCase) {
    const NotifierCase cases[] = {
        {"listed in other case", {"libgridlink.so"}, true, "LibGridlink.SO", {"libgridlink.so"}},
        {"three listed",
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
    for (const NotifierCase& c : cases) {
        SCOPED_TRACE(c.name);
        palmtest::PalmSandbox sandbox;
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

// Windows of the programs that may have to close, as test helpers play them.
struct StopCase {
    const char* name;
    int flags;
    std::vector<const char*> running;
    std::vector<ui::Answer> answers;
    int expected;
    size_t questions;
};

TEST_F(PalmDesktopTest, StopRunningAppsAsksOnlyWhatRuns) {
    using installer::kCloseExcel;
    using installer::kCloseHotSync;
    using installer::kCloseWord;
    const StopCase cases[] = {
        {"nothing running", kCloseHotSync | kCloseExcel | kCloseWord, {}, {}, 1, 0},
        {"HotSync Manager shut down", kCloseHotSync, {"KittyHawk"}, {ui::IdOk}, 2, 1},
        {"HotSync Manager left running", kCloseHotSync, {"KittyHawk"}, {ui::IdCancel}, 0, 1},
        {"Excel closed by the user", kCloseExcel, {"XLMAIN"}, {ui::IdOk}, 1, 1},
        {"Word left open", kCloseWord, {"OpusApp"}, {ui::IdCancel}, 0, 1},
        {"Excel running but not asked about", kCloseWord, {"XLMAIN"}, {}, 1, 0},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<platform::shell::WindowClass>> windows;
        for (const char* cls : c.running) windows.push_back(platform::shell::WindowClass::create(cls));
        ScopedUi ui(c.answers);
        // The user closes Excel or Word before answering.
        ui.record().afterBox = [&] {
            if (c.running.empty() || c.running[0] != std::string("KittyHawk")) windows.clear();
        };
        EXPECT_EQ(installer::StopRunningApps(c.flags), c.expected);
        EXPECT_EQ(ui.record().boxes.size(), c.questions);
        if (c.expected == 2) {
            EXPECT_EQ(ui.record().boxes[0],
                      "Can not continue: HotSync Manager is running. Click OK to shut it down.");
            auto message = windows[0]->wait(0);
            ASSERT_TRUE(message);
            EXPECT_EQ(message->message, 0xBEC5u);
            EXPECT_EQ(message->wParam, 1u);
        }
    }
}

}  // namespace
