// setupwiz from start to end: the command-line letters, the licence, the
// main dialog's folder and check list, and the main button, through the real
// program where the behaviour is the program's.
#include <gtest/gtest.h>

#include "installer/installer_places.h"
#include "installer/registry_lookup.h"
#include "installer/setup_dialogs.h"
#include "installer/setup_program.h"
#include "installer_testing.h"
#include "platform/dialog_model.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace installer {
namespace {

const std::string kProductKey = std::string(kProductRoot) + "Tabulo";
const std::string kUninstallKey = std::string(kUninstallRoot) + "Tabulo";

// Two components of one file each; DefDir as given.
std::string setupInf(const std::string& defDir = "") {
    return "[Installation]\nApplication=Tabulo\nDefDir=" + defDir +
           "\n[Tabulo]\nAppName0=Sheets, Spreadsheet add-in\nAppName1=Text, Word add-in\n"
           "[Sheets]\nFile0=sheets.txt\n[Text]\nFile0=text.txt\n";
}

class SetupwizFlowTest : public ::testing::Test {
protected:
    SetupwizFlowTest() {
        box.writeDist("setup.inf", setupInf());
        box.writeDist("sheets.txt", "sheets");
        box.writeDist("text.txt", "text");
    }
    bool contains(const std::string& line) const { return box.log().find(line) != std::string::npos; }

    installer_testing::Sandbox box;
};

TEST(SetupwizCommandLineTest, LettersAfterTheFirstSlashOrElseMinus) {
    struct Case {
        const char* line;
        bool uninstall, restart;
    };
    const Case cases[] = {
        {"", false, true},     {"/u", true, true},   {"/d", true, false},    {"-D", true, false},
        {"/q", false, true},   {"/Ux", true, true},  {"/x /u", false, true}, {"-u /q", false, true},
        {"a-u b", true, true}, {"/du", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SetupState state;
        parseCommandLine(c.line, state);
        EXPECT_EQ(state.uninstallMode, c.uninstall);
        EXPECT_EQ(state.restartAllowed, c.restart);
    }
}

// The group box is at 11, 0, 342 x 143 in a 363-pixel client area: the list
// is centred in the dialog, not on the box, so it starts a pixel further left.
TEST(SetupwizDialogTest, TheCheckListFillsTheGroupBoxBelowItsTop) {
    SetupState state;
    SetupwizDialog dialog(state);
    platform::ui::DialogModel model(mainDialogSpec(), dialog);
    model.open();
    const platform::ui::PixelRect list = model.clientRect(kSwComponents);
    EXPECT_EQ(list.x, 10);
    EXPECT_EQ(list.y, 5);
    EXPECT_EQ(list.width, 343);
    EXPECT_EQ(list.height, 138);
}

TEST_F(SetupwizFlowTest, TheLicenceDecidesWhetherTheInstallGoesOn) {
    struct Case {
        const char* what;
        const char* licence;  // nullptr: no license.txt
        const char* script;
        bool mainDialog;
    };
    const Case cases[] = {
        {"accepted", "Terms.\n", "dialog 129\nexpect 1002 text Terms.\\n\nclick 1\n", true},
        {"empty", "", "dialog 129\nexpect 1002 text\nclick 1\n", true},
        {"declined", "Terms.\n", "dialog 129\nclick 2\n", false},
        {"missing", nullptr, "dialog 129\nexpect 1002 text License agreement not found\nclick 1\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::deleteFile(box.dist + "/license.txt");
        if (c.licence) box.writeDist("license.txt", c.licence);
        testsupport::ProcessResult result = box.run({}, c.script);
        EXPECT_EQ(result.exitCode, kExitDone);
        EXPECT_EQ(box.log().find("FAIL"), std::string::npos) << box.log();
        EXPECT_TRUE(contains(c.mainDialog ? "dialog 129 closed 1\n" : "dialog 129 closed 2\n"));
        EXPECT_EQ(contains("dialog 102"), c.mainDialog);
    }
}

TEST_F(SetupwizFlowTest, AnUninstallSkipsTheLicenceAndOffersNoChoice) {
    box.run({"-D"},
            "dialog 102\nexpect 1 text Uninstall\nexpect 1003 enabled no\nexpect 1003 checked 1:yes\n"
            "expect 1008 enabled no\nexpect 1011 enabled no\n");
    EXPECT_EQ(box.log().rfind("dialog 102 \"Installable components:\" opened\n", 0), 0u) << box.log();
    EXPECT_FALSE(contains("FAIL"));
}

TEST_F(SetupwizFlowTest, WithoutAUsableScriptTheProgramEndsAfterTheLicence) {
    platform::deleteFile(box.dist + "/setup.inf");
    EXPECT_EQ(box.run({}, "dialog 129\nclick 1\n").exitCode, kExitNoScript);
    EXPECT_EQ(box.log(), "dialog 129 \"License Agreement\" opened\nclick 1 ok\ndialog 129 closed 1\n");
    box.writeDist("setup.inf", setupInf() + "File1=../escape\n");
    EXPECT_EQ(box.run({"/u"}, "").exitCode, kExitNoScript);
    EXPECT_FALSE(contains("dialog 102"));
}

TEST_F(SetupwizFlowTest, TheFolderEditStartsFromTheRecordedPathOrTheDefault) {
    box.writeDist("setup.inf", setupInf("/opt/default"));
    box.run({}, "dialog 129\nclick 1\ndialog 102\nexpect 1008 text /opt/default\n");
    box.setValue(kProductKey, "Path", "/opt/recorded");
    box.run({},
            "dialog 129\nclick 1\ndialog 102\nexpect 1008 text /opt/recorded\nclick 1011\nfile /opt/chosen\n"
            "expect 1008 text /opt/chosen\n");
    EXPECT_TRUE(contains("folder \"\" => /opt/chosen\n"));
    EXPECT_EQ(box.log().find("FAIL"), std::string::npos) << box.log();
}

// The typed folder loses one trailing separator; the uninstall the install
// records removes everything, the running program too.
TEST_F(SetupwizFlowTest, InstallIntoTheTypedFolderAndUninstallFromIt) {
    const std::string install =
        "dialog 129\nclick 1\ndialog 102\ntype 1008 " + box.target + "/\nclick 1\nyes\n";
    ASSERT_EQ(box.run({}, install).exitCode, kExitDone) << box.log();
    EXPECT_TRUE(platform::isRegularFile(box.target + "/sheets.txt"));
    EXPECT_EQ(box.value(kUninstallKey, "UninstallString"), box.target + "/setupwiz /d");
    EXPECT_EQ(box.run({"/d"}, "dialog 102\nclick 1\n", box.target + "/setupwiz").exitCode, kExitDone);
    EXPECT_FALSE(platform::fileExists(box.target + "/setupwiz")) << box.log();
    EXPECT_FALSE(platform::fileExists(box.target + "/sheets.txt"));
    EXPECT_FALSE(installer::keyExists(kUninstallKey));
}

TEST_F(SetupwizFlowTest, AnEmptyFolderMeansTheProgramFolder) {
    EXPECT_EQ(box.run({}, "dialog 129\nclick 1\ndialog 102\ntype 1008 \nclick 1\n").exitCode, kExitDone);
    EXPECT_TRUE(platform::isRegularFile(box.dist + "/sheets.txt")) << box.log();
}

TEST_F(SetupwizFlowTest, UncheckingEverythingSkipsThePreviousVersionButKeepsTheUninstaller) {
    // A refused old script shows a box whenever the previous version is looked at.
    box.writeDist("oldSetup.inf", setupInf() + "File1=../escape\n");
    // Nothing chosen, nothing makes the folder: it has to be there.
    const std::string folder = box.dir.makeDir("Brightfold");
    box.run({}, "dialog 129\nclick 1\ndialog 102\ncheck 1003 0 0\ncheck 1003 1 0\ntype 1008 " + folder +
                    "\nclick 1\nyes\n");
    EXPECT_FALSE(contains("Setup: "));
    EXPECT_FALSE(platform::fileExists(folder + "/sheets.txt"));
    EXPECT_EQ(box.value(kUninstallKey, "UninstallString"), folder + "/setupwiz /d");

    // With a component checked the refused old script stops the install.
    EXPECT_EQ(box.run({}, "dialog 129\nclick 1\ndialog 102\ntype 1008 " + folder + "\nclick 1\n").exitCode,
              kExitRunError);
    EXPECT_TRUE(contains("Setup: The setup script " + box.dist + "/oldSetup.inf cannot be used;"));
    EXPECT_FALSE(platform::fileExists(folder + "/sheets.txt"));
}

TEST_F(SetupwizFlowTest, PendingDeletionsAreCarriedOutAtStartUp) {
    const std::string marked = box.dir.file("marked.txt");
    testsupport::writeFile(marked, "x");
    ASSERT_TRUE(platform::shell::deleteAtRestart(marked));
    testsupport::ProcessResult result = box.run({}, "dialog 129\nclick 2\n");
    EXPECT_FALSE(platform::fileExists(marked));
    EXPECT_NE(result.err.find("setupwiz: removed " + marked), std::string::npos) << result.err;
}

TEST_F(SetupwizFlowTest, HelpPrintsTheUsage) {
    testsupport::ProcessResult result = box.run({"--help"}, "");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("usage: setupwiz", 0), 0u);
    EXPECT_EQ(box.log(), "");
}

}  // namespace
}  // namespace installer
