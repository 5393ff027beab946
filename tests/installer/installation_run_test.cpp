// The installation run driven in memory: where each kind of entry goes, the
// copy rules, the records and boxes, and the removal that undoes it.
#include <cerrno>
#include <filesystem>
#include <set>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "installer_testing.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

using installer_testing::Sandbox;
namespace fs = std::filesystem;

const std::string kVendorKey = "HKEY_CURRENT_USER\\Software\\Vendor\\App";
const std::string kProductKey = "HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo";
const std::string kWordOptions = "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Word\\Options";
const std::string kFinished =
    "Uninstallation Finished: Program uninstalled from PC. Remove Palm components manually => ok";

// "%D" stands for the sandbox folder, "%K" for the vendor key.
std::string expand(std::string text, const std::string& dir) {
    for (size_t at; (at = text.find("%D")) != std::string::npos;) text.replace(at, 2, dir);
    for (size_t at; (at = text.find("%K")) != std::string::npos;) text.replace(at, 2, kVendorKey);
    return text;
}

TEST(InstallationRun, EachDestinationHasItsFolder) {
    const struct {
        const char* label;
        const char* destination;
        const char* regValue;       // nullptr: no RegKey
        const char* hiveText;       // the RegKey value in the hive; nullptr: none
        const char* placed;         // where the file lands, relative to the sandbox; "" nowhere
        const char* error;          // nullptr: none
        const char* reply = "yes";  // to "Do you want to create folder ...?"
    } cases[] = {
        {"dot", ".", nullptr, nullptr, "Brightfold/f.txt", nullptr},
        {"dot then folder: base itself", ".\\sub", nullptr, nullptr, "Brightfold/f.txt", nullptr},
        {"folder under the install folder", "\\sub", nullptr, nullptr, "Brightfold/sub/f.txt", nullptr},
        {"folder declined", "\\sub", nullptr, nullptr, "", "Installation interrupted", "no"},
        {"system folder", "\\SYSTEM", nullptr, nullptr, "system/f.txt", nullptr},
        {"default value, program name cut", ".", "-\\prog.exe", "%D/app/PROG.EXE;more", "app/f.txt", nullptr},
        {"named value", ".", "Folder", "%D/app", "app/f.txt", nullptr},
        {"relative value: skipped", ".", "Folder", "app", "", nullptr},
        {"named value missing", ".", "Folder", nullptr, "", "%K\\Folder key not found in Registry"},
        {"key missing", ".", "-\\prog.exe", nullptr, "", "%K key not found in Registry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Sandbox box;
        box.dir.makeDir("Brightfold");
        box.dir.makeDir("app");
        int app = box.component("App", "f.txt", c.destination);
        if (c.regValue) {
            box.entry(app).regKey = kVendorKey;
            box.entry(app).regValue = c.regValue;
        }
        if (c.hiveText)
            box.setValue(kVendorKey, c.regValue[0] == '-' ? "" : c.regValue,
                         expand(c.hiveText, box.dir.path()));
        box.answer(std::string(c.reply) + "\n");
        EXPECT_EQ(box.install().value_or(""), c.error ? expand(c.error, "") : "");
        for (const char* place : {"Brightfold/f.txt", "Brightfold/sub/f.txt", "system/f.txt", "app/f.txt"})
            EXPECT_EQ(platform::fileExists(box.dir.file(place)), std::string(place) == c.placed) << place;
        // A RegKey entry records the copied file's path; destination "." names the settings root.
        if (c.regValue && *c.placed) {
            EXPECT_EQ(box.value("HKEY_CURRENT_USER\\Software\\Brightfold", "Path"), box.dir.file(c.placed));
        }
    }
}

// The file is never copied onto itself: not when the texts match, and not
// when the install folder reaches the distribution under another name.
TEST(InstallationRun, SameFileIsNotCopied) {
    for (bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink ? "install folder links to the distribution" : "install into the distribution");
        Sandbox box;
        box.component("App", "f.txt", ".");
        std::string target = box.dist;
        if (viaLink) fs::create_directory_symlink(box.dist, target = box.dir.file("link"));
        platform::faults::arm(platform::faults::Op::Copy, EIO);
        EXPECT_EQ(installer::RunInstallation(box.state, box.dist, target, false), std::nullopt);
        platform::faults::disarmAll();
        EXPECT_EQ(testsupport::readFile(box.dist + "/f.txt"), testsupport::bytesOf("contents of f.txt"));
    }
}

TEST(InstallationRun, FilesMissingOrUnnamedStopTheRun) {
    Sandbox box;
    box.component("A", "a.txt");
    box.component("B", "b.txt", ".", false);
    box.component("C", "c.txt", "\\sub", false);
    box.dir.makeDir("Brightfold/sub");
    EXPECT_EQ(box.install(), "Files missing from " + box.dist + ": b.txt, c.txt\nInstallation interrupted");
    EXPECT_FALSE(platform::fileExists(box.target + "/a.txt"));
    EXPECT_EQ(box.value(kProductKey, "Path"), "");

    Sandbox empty;
    empty.component("Empty", "");
    empty.dir.makeDir("Brightfold");
    EXPECT_EQ(empty.install(), "Error copying " + empty.dist + "/ to " + empty.target +
                                   "/\nIf this is a network problem please read our manual");
}

TEST(InstallationRun, PalmEntriesNeedThePalmDesktop) {
    Sandbox box;
    box.component("Library", "lib.dll");
    EXPECT_EQ(box.install(),
              std::string(installer::kPalmCoreKey) +
                  "\\Path key not found in Registry, unable to continue. Is Palm software installed?");
    EXPECT_FALSE(platform::fileExists(box.target));
}

std::vector<std::string> without(std::vector<std::string> all, const std::vector<std::string>& before) {
    std::set<std::string> old(before.begin(), before.end());
    std::erase_if(all, [&](const std::string& item) { return old.count(item) != 0; });
    return all;
}

// Install every kind of entry, uninstall with "/d", and find only what an
// uninstall leaves behind.
TEST(Uninstall, UndoesTheInstallButForWhatStays) {
    Sandbox box;
    box.palmDesktop();
    const std::string ann = box.addUser("Ann", "1234");
    box.entry(box.component("App", "a.txt")).desktopIcon = 1;
    box.file(box.component("Docs", "b.txt", "\\docs"), "c.txt", "\\docs");
    box.component("Handheld", "app.prc", "Pilot");
    box.component("Notifier", "notify.so", "\\NOTIFIER");
    box.component("Word add-in", "addin.dot", "\\Word2003");
    box.setValue(kWordOptions, "STARTUP-PATH", box.dir.makeDir("startup"));
    std::vector<std::string> filesBefore = box.files(), keysBefore = box.hiveKeys();
    box.answer("yes\nyes\nyes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    EXPECT_EQ(box.boxes().back(), "Installation Finished: Hotsync your Palm to complete installation => ok");
    EXPECT_TRUE(platform::isRegularFile(box.desktop + "/App.desktop"));
    EXPECT_TRUE(platform::isRegularFile(ann + "/Install/app.prc"));
    EXPECT_TRUE(platform::isRegularFile(box.system + "/notify.so"));
    EXPECT_EQ(foundation::readNotifiers(), std::vector<std::string>{"notify.so"});
    EXPECT_EQ(box.value(kProductKey + "\\User0", "Name"), "Ann");
    EXPECT_EQ(box.value("HKEY_CURRENT_USER\\Software\\Brightfold\\Word2003", "Path"),
              box.dir.file("startup/addin.dot"));

    ASSERT_EQ(box.uninstall(), std::nullopt);
    EXPECT_EQ(box.boxes().back(), kFinished);
    EXPECT_EQ(without(box.files(), filesBefore), std::vector<std::string>{"palm/Ann/Install/app.prc"});
    EXPECT_EQ(foundation::readNotifiers(), std::vector<std::string>{});
    EXPECT_EQ(
        without(box.hiveKeys(), keysBefore),
        (std::vector<std::string>{
            // The HotSync Manager's notifier list, now empty.
            std::string(installer::kHotSyncManagerKey) + "\\Notifiers",
            // Spelt as the Palm Desktop's keys made it first.
            "HKEY_CURRENT_USER\\SOFTWARE\\Brightfold", "HKEY_CURRENT_USER\\SOFTWARE\\Brightfold\\Word2003",
            "HKEY_CURRENT_USER\\SOFTWARE\\Brightfold\\Tabulo", "HKEY_LOCAL_MACHINE\\Software",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}));
    EXPECT_EQ(box.value(kProductKey, "Path"), box.target);
    EXPECT_EQ(box.value(kProductKey, "Install"), "Install");
    EXPECT_EQ(foundation::installFlag({"Ann", "", "1234"}), 1u);
}

// Names that would reach outside the worked-out folders are never deleted;
// every user key goes, the one the lookup makes too.
TEST(Uninstall, DeletesOnlyItsOwn) {
    Sandbox box;
    box.dir.makeDir("Brightfold");
    box.entry(box.component("../victim", "../victim.txt", ".", false)).desktopIcon = 1;
    testsupport::writeFile(box.dir.file("victim.txt"), std::string("keep"));
    testsupport::writeFile(box.dir.file("home/victim.desktop"), std::string("keep"));
    for (std::string n : {"0", "1"}) box.setValue(kProductKey + "\\User" + n, "Name", n);
    EXPECT_EQ(box.uninstall(), std::nullopt);
    EXPECT_TRUE(platform::isRegularFile(box.dir.file("victim.txt")));
    EXPECT_TRUE(platform::isRegularFile(box.dir.file("home/victim.desktop")));
    for (const std::string& key : box.hiveKeys()) EXPECT_EQ(key.find("\\User"), std::string::npos) << key;
}

// Plain files need no Palm Desktop; the run records the uninstaller, and its
// removal leaves files in use to the user and the folder to the restart.
TEST(Uninstall, PlainInstallThenRemovalWithFilesInUse) {
    Sandbox box;
    box.component("App", "a.txt");
    box.answer("yes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    EXPECT_EQ(box.boxes(), (std::vector<std::string>{"Folder does not exist: Do you want to create folder " +
                                                         box.target + "? => yes",
                                                     "Installation Finished: Done! => ok"}));
    for (const char* name : {"a.txt", "setup.inf", "setupwiz"})
        EXPECT_TRUE(platform::isRegularFile(box.target + "/" + name));
    std::string uninstallKey = std::string(installer::kUninstallRoot) + "Tabulo";
    EXPECT_EQ(box.value(uninstallKey, "UninstallString"), box.target + "/setupwiz /d");
    EXPECT_EQ(box.value(uninstallKey, "DisplayName"), "Brightfold Tabulo");
    EXPECT_EQ(box.value(kProductKey, "Path"), box.target);
    for (const std::string& key : box.hiveKeys()) {
        EXPECT_EQ(key.find("User0"), std::string::npos) << key;
        EXPECT_EQ(key.find("Pilot Desktop"), std::string::npos) << key;
    }

    platform::faults::arm(platform::faults::Op::Delete, EACCES);
    box.answer("");
    ASSERT_EQ(box.uninstall(), std::nullopt);
    platform::faults::disarmAll();
    // The running setup program is not mentioned: it deletes itself later.
    EXPECT_EQ(box.boxes(),
              (std::vector<std::string>{
                  "Delete error: Please delete manually " + box.target + "/a.txt => ok",
                  "Delete error: Please delete manually " + box.target + "/setup.inf => ok", kFinished}));
    for (const char* name : {"a.txt", "setup.inf", "setupwiz"}) platform::deleteFile(box.target + "/" + name);
    EXPECT_EQ(platform::shell::carryOutPendingDeletions(), std::vector<std::string>{box.target});
}

// The question comes only when the run shut the HotSync Manager down (state
// 2) and may start it again; a declined or impossible restart clears it.
TEST(Uninstall, RestartQuestionOnlyWhenTheManagerWasShutDown) {
    const struct {
        const char* what;
        bool restartAllowed;
        int hotSyncState;
        const char* reply;
        int after;
    } cases[] = {{"restart", true, 2, "yes", 2},
                 {"declined", true, 2, "no", 0},
                 {"not allowed", false, 2, "yes", 2},
                 {"not running", true, 1, "yes", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        box.setValue(std::string(installer::kPalmCoreKey), "HotSyncPath", "/opt/palm/hotsync");
        box.component("App", "a.txt");
        box.state.uninstallMode = true;
        box.state.restartAllowed = c.restartAllowed;
        box.state.hotSyncState = c.hotSyncState;
        box.answer(std::string(c.reply) + "\n");
        ASSERT_EQ(installer::RunInstallation(box.state, box.dist, box.target, false), std::nullopt);
        EXPECT_EQ(box.state.hotSyncState, c.after);
        const bool asked = c.restartAllowed && c.hotSyncState == 2;
        EXPECT_EQ(
            box.boxes().front() == "Restart Hotsync: Restart Hotsync Manager? => " + std::string(c.reply),
            asked);
        EXPECT_EQ(box.boxes().size(), asked ? 2u : 1u);
    }
}

TEST(Uninstall, PreviousVersionRemovalKeepsTheRecords) {
    Sandbox box;
    box.component("App", "a.txt");
    box.answer("yes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    box.setValue(kProductKey + "\\User0", "Name", "Ann");
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
