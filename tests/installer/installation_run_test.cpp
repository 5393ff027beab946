// The installation run driven in memory: where each kind of entry goes, the
// copy rules, the records and the boxes.
#include <cerrno>
#include <filesystem>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "run_testing.h"

namespace {

using testsupport::RunSandbox;
namespace fs = std::filesystem;

const std::string kVendorKey = "HKEY_CURRENT_USER\\Software\\Vendor\\App";

struct FolderCase {
    const char* label;
    const char* destination;
    const char* regValue;       // nullptr: no RegKey
    const char* hiveText;       // the RegKey value in the hive; nullptr: none
    const char* placed;         // where the file lands, relative to the sandbox; "" nowhere
    const char* error;          // with "%K" for the RegKey, nullptr: none
    const char* reply = "yes";  // to "Do you want to create folder ...?"
};

// "%D" in hive texts stands for the sandbox folder.
std::string expand(std::string text, const std::string& dir) {
    for (size_t at; (at = text.find("%D")) != std::string::npos;) text.replace(at, 2, dir);
    for (size_t at; (at = text.find("%K")) != std::string::npos;) text.replace(at, 2, kVendorKey);
    return text;
}

TEST(InstallationRun, EachDestinationHasItsFolder) {
    const FolderCase cases[] = {
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
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.label);
        RunSandbox box;
        box.dir.makeDir("Brightfold");
        box.dir.makeDir("app");
        int app = box.component("App", "f.txt", c.destination);
        if (c.regValue) {
            box.entry(app).regKey = kVendorKey;
            box.entry(app).regValue = c.regValue;
        }
        if (c.hiveText) {
            std::string text = expand(c.hiveText, box.dir.path());
            foundation::RegistryValue(kVendorKey, c.regValue[0] == '-' ? "" : c.regValue, text);
        }
        box.answer(std::string(c.reply) + "\n");
        std::optional<std::string> error = box.install();
        EXPECT_EQ(error.value_or(""), c.error ? expand(c.error, "") : "");
        for (const char* place : {"Brightfold/f.txt", "Brightfold/sub/f.txt", "system/f.txt", "app/f.txt"})
            EXPECT_EQ(platform::fileExists(box.dir.file(place)), std::string(place) == c.placed) << place;
        // A RegKey entry records the copied file's path; destination "." names the settings root.
        if (c.regValue && *c.placed)
            EXPECT_EQ(foundation::RegistryRead("HKEY_CURRENT_USER\\Software\\Brightfold", "Path"),
                      box.dir.file(c.placed));
    }
}

// The file is never copied onto itself: not when the texts match, and not
// when the install folder reaches the distribution under another name.
TEST(InstallationRun, SameFileIsNotCopied) {
    for (bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink ? "install folder links to the distribution" : "install into the distribution");
        RunSandbox box;
        box.component("App", "f.txt", ".");
        std::string target = box.dist;
        if (viaLink) {
            target = box.dir.file("link");
            fs::create_directory_symlink(box.dist, target);
        }
        platform::faults::arm(platform::faults::Op::Copy, EIO);
        EXPECT_EQ(installer::RunInstallation(box.state, box.dist, target, false), std::nullopt);
        platform::faults::disarmAll();
        EXPECT_EQ(testsupport::readFile(box.dist + "/f.txt"), testsupport::bytesOf("contents of f.txt"));
    }
}

TEST(InstallationRun, MissingDistributionFilesStopBeforeAnythingIsDone) {
    RunSandbox box;
    box.component("A", "a.txt");
    box.component("B", "b.txt", ".", false);
    box.component("C", "c.txt", "\\sub", false);
    box.dir.makeDir("Brightfold/sub");
    EXPECT_EQ(box.install(), "Files missing from " + box.dist + ": b.txt, c.txt\nInstallation interrupted");
    EXPECT_FALSE(platform::fileExists(box.target + "/a.txt"));
    EXPECT_EQ(foundation::RegistryRead("HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo", "Path"), "");
}

TEST(InstallationRun, ComponentWithoutFileFailsWithTheCopyError) {
    RunSandbox box;
    box.component("Empty", "");
    box.dir.makeDir("Brightfold");
    EXPECT_EQ(box.install(), "Error copying " + box.dist + "/ to " + box.target +
                                 "/\nIf this is a network problem please read our manual");
}

TEST(InstallationRun, PlainFilesNeedNoPalmAndRecordTheUninstaller) {
    RunSandbox box;
    box.component("App", "a.txt");
    box.answer("yes\n");
    ASSERT_EQ(box.install(), std::nullopt);
    EXPECT_EQ(box.boxes(), (std::vector<std::string>{"Folder does not exist: Do you want to create folder " +
                                                         box.target + "? => yes",
                                                     "Installation Finished: Done! => ok"}));
    for (const char* name : {"a.txt", "setup.inf", "setupwiz"})
        EXPECT_TRUE(platform::isRegularFile(box.target + "/" + name));
    std::string uninstallKey = std::string(installer::kUninstallRoot) + "Tabulo";
    EXPECT_EQ(foundation::RegistryRead(uninstallKey, "UninstallString"), box.target + "/setupwiz /d");
    EXPECT_EQ(foundation::RegistryRead(uninstallKey, "DisplayName"), "Brightfold Tabulo");
    EXPECT_EQ(foundation::RegistryRead("HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo", "Path"),
              box.target);
    for (const std::string& key : box.hiveKeys()) {
        EXPECT_EQ(key.find("User0"), std::string::npos) << key;
        EXPECT_EQ(key.find("Pilot Desktop"), std::string::npos) << key;
    }
}

TEST(InstallationRun, PalmComponentsGoToTheUserAndTheNotifierList) {
    RunSandbox box;
    std::string user = box.palmDesktop();
    box.component("Handheld", "app.prc", "Pilot");
    box.component("Notifier", "notify.so", "\\NOTIFIER");
    box.dir.makeDir("Brightfold");
    ASSERT_EQ(box.install(), std::nullopt);
    EXPECT_TRUE(platform::isRegularFile(user + "/Install/app.prc"));
    EXPECT_TRUE(platform::isRegularFile(box.system + "/notify.so"));
    EXPECT_EQ(foundation::readNotifiers(), std::vector<std::string>{"notify.so"});
    EXPECT_EQ(foundation::RegistryRead("HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo\\User0", "Name"),
              "Ann");
    EXPECT_EQ(box.boxes(), std::vector<std::string>{
                               "Installation Finished: Hotsync your Palm to complete installation => ok"});
}

TEST(InstallationRun, LibraryWithoutPalmDesktopEndsTheRun) {
    RunSandbox box;
    box.component("Library", "lib.dll");
    EXPECT_EQ(box.install(),
              std::string(installer::kPalmCoreKey) +
                  "\\Path key not found in Registry, unable to continue. Is Palm software installed?");
    EXPECT_FALSE(platform::fileExists(box.target));
}

}  // namespace
