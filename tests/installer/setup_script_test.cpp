// The setup script: the profile-string reading, the table it builds, the
// refusal of scripts that do not fit, and the load-time check.
#include <gtest/gtest.h>

#include "installer/installer_places.h"
#include "installer/setup_script.h"
#include "installer/setup_state.h"
#include "installer_testing.h"
#include "platform/ui_script.h"

namespace installer {
namespace {

// A script of one product "Tabulo" with the given component lines and sections.
std::string script(const std::string& components, const std::string& sections = "") {
    return "[Installation]\nApplication=Tabulo\nDefDir=/opt/tabulo\n[Tabulo]\n" + components + sections;
}

std::string repeated(const char* format, int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) {
        std::string line(format);
        for (size_t at; (at = line.find("%d")) != std::string::npos;) line.replace(at, 2, std::to_string(i));
        lines += line + "\n";
    }
    return lines;
}

TEST(SetupScriptTest, ReadsTheProfileTextIntoTheTable) {
    const ParsedScript parsed = parseScript(
        "; comment\n"
        "[ installation ]\r\n"
        "APPLICATION = \"Tabulo Office Link for Desktop 2003\"\r\n"
        "defdir='/opt/tabulo'\n"
        "[TABULO Office Link for Desktop]\n"
        "AppName0=Sheets, Spreadsheet add-in\n"
        "AppName1=Text,Word processor\n"
        "AppName2=Empty\n"
        "AppName3=\n"
        "AppName4=Never, read\n"
        "[sheets]\n"
        "File0=gridlink.so\n"
        "File1=TabuloAddin.xla\n"
        "Destination1=\\XLStart\n"
        "RegKey1=HKEY_CURRENT_USER\\Software\\Excel\n"
        "RegValue1=-Path\n"
        "DesktopIcon1=12abc\n"
        "File2=Tabulo.prc\n"
        "Destination2=Pilot\n"
        "DesktopIcon2=x\n"
        "[Text]\n"
        "File0=textlink.so\n"
        "File1=\n"
        "File2=never.read\n");
    const SetupScript& s = parsed.script;
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(parsed.defaultFolder, "/opt/tabulo");
    EXPECT_EQ(s.application, "Tabulo Office Link for Desktop");  // 30 characters kept
    EXPECT_EQ(s.applicationKeys, std::vector<std::string>{s.application});

    // name|description|fileName|destination|component|desktopIcon
    std::vector<std::string> rows;
    for (const FileEntry& e : s.entries)
        rows.push_back(e.name + "|" + e.description + "|" + e.fileName + "|" + e.destination + "|" +
                       std::to_string(e.component) + "|" + std::to_string(e.desktopIcon));
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "Sheets|Spreadsheet add-in|gridlink.so|.|0|0",
                        "Text|ord processor|textlink.so|.|1|0",
                        "Empty||||2|0",  // no section: the component is still listed
                        "Sheets||TabuloAddin.xla|\\XLStart|0|12",
                        "Sheets||Tabulo.prc|Pilot|0|0",
                    }));
    EXPECT_EQ(s.entries[3].regKey, "HKEY_CURRENT_USER\\Software\\Excel");
    EXPECT_EQ(s.entries[3].regValue, "-Path");

    const std::vector<ComponentItem> items = componentListing(s);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "Sheets, Spreadsheet add-in");
    EXPECT_EQ(items[2].text, "Empty, ");
}

TEST(SetupScriptTest, ProductKeysComeFromTheNumberedSeries) {
    EXPECT_EQ(parseScript("[Installation]\nApplication=Tabulo\nApplication0=Tabulo\nApplication1=Quillo\n"
                          "Application3=Never\n")
                  .script.applicationKeys,
              (std::vector<std::string>{"Tabulo", "Quillo"}));
    EXPECT_EQ(
        parseScript("[Installation]\nApplication0=" + std::string(40, 'k') + "\n").script.applicationKeys,
        std::vector<std::string>{std::string(31, 'k')});
}

TEST(SetupScriptTest, SelectionByIndexIgnoresIndicesOutsideTheTable) {
    SetupScript s = parseScript(script("AppName0=A\nAppName1=B\n", "[A]\nFile0=a\nFile1=b\n")).script;
    for (int i : {-1, 0, 3}) s.setSelected(i, true);
    EXPECT_EQ((std::vector<bool>{s.selected(-1), s.selected(0), s.selected(1), s.selected(3)}),
              (std::vector<bool>{false, true, false, false}));
    EXPECT_TRUE(s.chosen(s.entries[2]));  // file 1 of component 0
}

TEST(SetupScriptTest, RefusesScriptsThatDoNotFitTheTables) {
    const std::string keys8 = repeated("Application%d=K%d", 8);
    struct Case {
        const char* what;
        std::string text;
        const char* problem;  // nullptr: accepted
    };
    const Case cases[] = {
        {"8 product keys", "[Installation]\nApplication=A\n" + keys8 + "[A]\nAppName0=C\n[C]\nFile0=f\n",
         nullptr},
        {"9 product keys", "[Installation]\nApplication=A\n" + keys8 + "Application8=K\n[A]\nAppName0=C\n",
         "9 product keys"},
        {"62 entries", script(repeated("AppName%d=C%d", 2), "[C0]\n" + repeated("File%d=f%d", 61)), nullptr},
        {"63 entries", script(repeated("AppName%d=C%d", 2), "[C0]\n" + repeated("File%d=f%d", 62)),
         "63 files, at most 62"},
        {"63 components", script(repeated("AppName%d=C%d", 63)), "63 files"},
        {"31-character name", script("AppName0=C\n", "[C]\nFile0=" + std::string(31, 'f') + "\n"), nullptr},
        {"32-character name", script("AppName0=C\n", "[C]\nFile0=" + std::string(32, 'f') + "\n"),
         "File0 of [C] is longer than 31 characters"},
        {"251-character line", script("AppName0=" + std::string(251, 'c') + "\n"), nullptr},
        {"252-character line", script("AppName0=" + std::string(252, 'c') + "\n"),
         "AppName0 of [Tabulo] is longer than 251 characters"},
        {"slash", script("AppName0=C\n", "[C]\nFile0=a\nFile1=../x\n"),
         "File1 of [C] is not a plain file name"},
        {"backslash", script("AppName0=C\n", "[C]\nFile0=a\\b\n"), "not a plain file name: \"a\\b\""},
        {"dot", script("AppName0=C\n", "[C]\nFile0=.\n"), "not a plain file name"},
        {"dot dot", script("AppName0=C\n", "[C]\nFile0=..\n"), "not a plain file name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ParsedScript parsed = parseScript(c.text);
        if (!c.problem) {
            EXPECT_TRUE(parsed.problems.empty());
            EXPECT_FALSE(parsed.script.entries.empty());
            continue;
        }
        ASSERT_EQ(parsed.problems.size(), 1u);
        EXPECT_NE(parsed.problems[0].find(c.problem), std::string::npos) << parsed.problems[0];
        EXPECT_TRUE(parsed.script.entries.empty());
    }
}

TEST(SetupScriptTest, RefusalNamesEveryProblemUpToALimit) {
    const ParsedScript parsed = parseScript(script("AppName0=C\n", "[C]\n" + repeated("File%d=../f%d", 25)));
    ASSERT_EQ(parsed.problems.size(), 25u);
    const std::string text = refusalText("/dist/setup.inf", parsed.problems);
    EXPECT_EQ(
        text.rfind("The setup script /dist/setup.inf cannot be used; nothing was installed or removed:\n- ",
                   0),
        0u);
    EXPECT_NE(text.find("File19 of [C]"), std::string::npos);
    EXPECT_EQ(text.find("File20 of [C]"), std::string::npos);
    EXPECT_NE(text.find("\n- and 5 more"), std::string::npos);
}

// LoadScript on files, with the load-time check against the sandbox's hive.
class LoadScriptTest : public ::testing::Test {
protected:
    size_t load(const std::string& text, bool* refused = nullptr) {
        return LoadScript(state, box.writeDist("setup.inf", text), refused);
    }

    installer_testing::Sandbox box;
    SetupState state;
};

// Any root but "HKEY_LOCAL_MACHINE" names the current user's hive.
TEST_F(LoadScriptTest, ComponentsAreSelectableWhenEveryDestinationIsAvailable) {
    box.setValue("HKEY_CURRENT_USER\\Software\\Ed", "Folder", "/opt/ed");
    box.setValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Word", "x", "1");
    ASSERT_EQ(load(script("AppName0=Here\nAppName1=Named\nAppName2=Missing\nAppName3=Word\nAppName4=Old\n",
                          "[Here]\nFile0=a\nDestination0=\\word2003\nFile1=b\nDestination1=\\SYSTEM\n"
                          "[Named]\nFile0=c\nRegKey0=HKEY_CLASSES_ROOT\\Software\\Ed\nRegValue0=Folder\n"
                          "File1=d\nRegKey1=HKEY_CURRENT_USER\\Software\\Ed\nRegValue1=-\n"
                          "[Missing]\nFile0=e\nFile1=f\nRegKey1=HKEY_CURRENT_USER\\Software\\Nobody\n"
                          "RegValue1=-\n"
                          "[Word]\nFile0=g\nDestination0=\\Word2003\n"
                          "[Old]\nFile0=h\nDestination0=\\Word97\n")),
              8u);
    std::vector<bool> selectable;
    for (const ComponentItem& item : componentListing(state.script())) selectable.push_back(item.selected);
    EXPECT_EQ(selectable, (std::vector<bool>{true, true, false, true, false}));
    EXPECT_EQ(state.defaultFolder, "/opt/tabulo");
    EXPECT_EQ(box.log(), "");
}

TEST_F(LoadScriptTest, TheScriptReadLastSetsTheDefaultFolder) {
    load(script("AppName0=C\n"));
    state.current = ScriptSlot::OldSetup;
    EXPECT_EQ(LoadScript(state, box.writeDist("oldSetup.inf", "[Installation]\nDefDir=/old\n")), 0u);
    EXPECT_EQ(state.defaultFolder, "/old");
    EXPECT_EQ(state.scripts[0].entries.size(), 1u);
    EXPECT_EQ(LoadScript(state, box.dir.file("none.inf")), 0u);
    EXPECT_EQ(box.log(), "");
}

TEST_F(LoadScriptTest, ARefusedScriptShowsOneBoxAndYieldsNoEntries) {
    bool refused = false;
    EXPECT_EQ(load(script("AppName0=C\n", "[C]\nFile0=../a\nFile1=b/c\n"), &refused), 0u);
    EXPECT_TRUE(refused);
    const std::string text = box.log();
    EXPECT_EQ(text.rfind("Setup: The setup script " + box.dist + "/setup.inf cannot be used;", 0), 0u);
    EXPECT_NE(text.find("File0 of [C]"), std::string::npos);
    EXPECT_NE(text.find("File1 of [C]"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST_F(LoadScriptTest, APalmLibraryFailureIsReportedOnceAtLoad) {
    box.setValue(std::string(kPalmCoreKey), "Path", box.dir.makeDir("palm"));
    box.setValue(std::string(kPalmCoreKey), "HotSyncPath", box.dir.file("palm/HotSync.exe"));
    EXPECT_EQ(load(script("AppName0=C\n", "[C]\nFile0=a\nDestination0=Pilot\n")), 1u);
    EXPECT_EQ(box.log(), "Error: Error with CondMgr.dll, please contact support@brightfold.example => ok\n");
    EXPECT_EQ(state.palmDesktopPath, "");
    EXPECT_TRUE(state.script().selected(0));
}

}  // namespace
}  // namespace installer
