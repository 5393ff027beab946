// The GTK backend on a display (CTest runs this under scripts/with-xvfb.sh):
// every dialog's layout against the dialog-unit rule and Windows' own
// pixels, the Sync Manager played on real widgets, and the choice of backend
// by a host with and without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "installer/pilot_users_dialog.h"
#include "installer/setup_dialogs.h"
#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui_module.h"
#include "support/process.h"
#include "support/test_support.h"
#include "sync_manager_fixture.h"
#include "syncmgr/sync_manager_dialog.h"
#include "syncmgr/transfer_dialogs.h"
#include "text/text_dialogs.h"

namespace ui = platform::ui;
namespace fs = std::filesystem;

namespace {

// Shows a dialog's table with no behaviour behind it.
class TableOnly final : public ui::DialogController {
public:
    explicit TableOnly(const ui::DialogSpec& spec) : spec_(spec) {}
    const ui::DialogSpec& spec() const override { return spec_; }
    void init(ui::DialogView&) override {}
    void handle(ui::DialogView&, const ui::Event&) override {}

private:
    const ui::DialogSpec& spec_;
};

// One dialog of the backend's layout report (BRIGHTFOLD_UI_REPORT).
struct Laid {
    int baseX = 0, baseY = 0;
    ui::PixelRect client;
    struct Control {
        ui::PixelRect rect;
        int textWidth = -1, room = -1;  // -1: no text
    };
    std::vector<Control> controls;  // in table order
};

std::vector<Laid> parseReport(const std::string& text) {
    std::vector<Laid> out;
    std::istringstream lines(text);
    std::string line, word;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        in >> word;
        if (word == "dialog") {
            Laid d;
            int id = 0;
            in >> id >> word >> d.client.width >> d.client.height >> word >> d.baseX >> d.baseY;
            out.push_back(d);
        } else if (word == "control" && !out.empty()) {
            Laid::Control c;
            int id = 0, kind = 0;
            in >> id >> kind >> c.rect.x >> c.rect.y >> c.rect.width >> c.rect.height;
            if (in >> word && word == "text") in >> c.textWidth >> c.room;
            out.back().controls.push_back(c);
        }
    }
    return out;
}

// The kinds of control no dialog of the libraries has (yet), once each.
constexpr ui::ControlSpec kOtherKinds[] = {
    {10, ui::ControlKind::GroupBox, "Group", 4, 2, 120, 60},
    {11, ui::ControlKind::CheckList, "", 8, 12, 110, 44, ui::kVScroll},
    {12, ui::ControlKind::Edit, "Lines", 130, 4, 80, 40, ui::kMultiline | ui::kVScroll | ui::kReadOnly},
    {13, ui::ControlKind::Label, "A label long enough to wrap onto its second line", 4, 66, 120, 16},
    {1, ui::ControlKind::DefaultButton, "OK", 130, 82, 50, 14},
};
const ui::DialogSpec kOtherKindsSpec{900, "Other kinds", 214, 100, "MS Sans Serif", 8, kOtherKinds, {}};

struct Shown {
    const char* name;
    const ui::DialogSpec& spec;
    ui::DialogController* controller = nullptr;  // none: the table alone
};

// setupwiz's main dialog places its check list in init.
installer::SetupState g_setupState;
installer::SetupwizDialog g_setupwizDialog(g_setupState);

// Every dialog of both libraries, opened once each by a GTK backend that
// plays "dialog ID / end" and reports the layouts.
class GtkLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dialogs_ = new std::vector<Shown>{
            {"Sync Manager", syncmgr::syncManagerSpec()},
            {"gridlink Export", syncmgr::exportSpec()},
            {"gridlink Import", syncmgr::importSpec()},
            {"Password", syncmgr::passwordSpec()},
            {"Change Size", syncmgr::sizeSpec()},
            {"textlink Export", text::exportDialogSpec()},
            {"textlink Import", text::importDialogSpec()},
            {"About", text::aboutDialogSpec()},
            {"other kinds", kOtherKindsSpec},
            {"setupwiz main", installer::mainDialogSpec(), &g_setupwizDialog},
            {"License Agreement", installer::licenseDialogSpec()},
            {"Pilot Users", installer::pilotUsersDialogSpec()},
        };
        testsupport::TempDir dir;
        std::string script;
        for (const Shown& d : *dialogs_) script += "dialog " + std::to_string(d.spec.resourceId) + "\nend\n";
        testsupport::writeFile(dir.file("ui.script"), script);
        testsupport::ScopedEnv scriptEnv("BRIGHTFOLD_UI_SCRIPT", dir.file("ui.script").c_str());
        testsupport::ScopedEnv reportEnv("BRIGHTFOLD_UI_REPORT", dir.file("layout").c_str());
        std::string why;
        std::unique_ptr<ui::Backend> gtk = ui::openGtkBackend(why);
        ASSERT_TRUE(gtk) << why;
        for (const Shown& d : *dialogs_) {
            TableOnly tableOnly(d.spec);
            gtk->runDialog(nullptr, d.controller ? *d.controller : tableOnly);
        }
        laid_ = new std::vector<Laid>(parseReport(hotsynctest::textOf(dir.file("layout"))));
    }
    static void TearDownTestSuite() {
        delete dialogs_;
        delete laid_;
    }
    struct Golden {
        size_t index;  // in the table
        ui::PixelRect rect;
    };
    // The client size and control rectangles of dialog `n` of the list, as
    // Windows' dialog manager gives them with MS Sans Serif 8 at 96 DPI.
    static void expectWindowsPixels(size_t n, int width, int height, std::initializer_list<Golden> goldens) {
        const Laid& laid = laid_->at(n);
        EXPECT_EQ(laid.client.width, width);
        EXPECT_EQ(laid.client.height, height);
        for (const Golden& g : goldens) {
            SCOPED_TRACE("control #" + std::to_string(g.index));
            const ui::PixelRect& got = laid.controls.at(g.index).rect;
            EXPECT_EQ(got.x, g.rect.x);
            EXPECT_EQ(got.y, g.rect.y);
            EXPECT_EQ(got.width, g.rect.width);
            EXPECT_EQ(got.height, g.rect.height);
        }
    }
    static std::vector<Shown>* dialogs_;
    static std::vector<Laid>* laid_;
};
std::vector<Shown>* GtkLayout::dialogs_ = nullptr;
std::vector<Laid>* GtkLayout::laid_ = nullptr;

TEST_F(GtkLayout, EveryControlSitsAtItsDialogUnitRectangleAndItsTextFits) {
    ASSERT_EQ(laid_->size(), dialogs_->size());
    for (size_t n = 0; n < dialogs_->size(); ++n) {
        const ui::DialogSpec& spec = (*dialogs_)[n].spec;
        const Laid& laid = (*laid_)[n];
        SCOPED_TRACE((*dialogs_)[n].name);
        auto rule = [&](int x, int y, int cx, int cy) {
            return ui::dialogUnitsToPixels(x, y, cx, cy, laid.baseX, laid.baseY);
        };
        ui::PixelRect client = rule(0, 0, spec.cx, spec.cy);
        EXPECT_EQ(laid.client.width, client.width);
        EXPECT_EQ(laid.client.height, client.height);
        ASSERT_EQ(laid.controls.size(), spec.controls.size());
        for (size_t i = 0; i < spec.controls.size(); ++i) {
            const ui::ControlSpec& c = spec.controls[i];
            if (c.styles & ui::kHidden) continue;  // never laid out
            if (c.cx == 0 && c.cy == 0) continue;  // placed at run time by its controller
            SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + std::string(c.text) + "\"");
            ui::PixelRect want = rule(c.x, c.y, c.cx, c.cy);
            // A closed drop-down is one line high; cy is its dropped height.
            if (c.kind == ui::ControlKind::DropDownList) want.height = laid.baseY + 8;
            // An icon has a desktop icon's size.
            if (c.kind == ui::ControlKind::Icon) want.width = want.height = 32;
            const Laid::Control& got = laid.controls[i];
            EXPECT_EQ(got.rect.x, want.x);
            EXPECT_EQ(got.rect.y, want.y);
            EXPECT_EQ(got.rect.width, want.width);
            EXPECT_EQ(got.rect.height, want.height);
            EXPECT_LE(got.textWidth, got.room);
        }
    }
}

// Windows' dialog manager with MS Sans Serif 8 at 96 DPI gives these pixels
// for textlink's Export dialog: the GTK backend must give the same.
TEST_F(GtkLayout, TextlinksExportDialogHasWindowsPixels) {
    expectWindowsPixels(5, 255, 122,
                        {
                            {0, {11, 16, 29, 13}},
                            {1, {38, 11, 179, 23}},
                            {2, {218, 11, 27, 23}},
                            {3, {84, 42, 87, 13}},
                            {4, {68, 60, 120, 21}},
                            {7, {41, 88, 75, 23}},
                            {8, {140, 88, 75, 23}},
                        });
}

// The same for setupwiz's License Agreement and main dialog, the check list
// the controller places included.
TEST_F(GtkLayout, SetupwizDialogsHaveWindowsPixels) {
    {
        SCOPED_TRACE("License Agreement");
        expectWindowsPixels(10, 411, 224,
                            {{0, {11, 11, 390, 171}}, {1, {102, 190, 75, 23}}, {2, {231, 190, 75, 23}}});
    }
    SCOPED_TRACE("main");
    expectWindowsPixels(9, 363, 210,
                        {
                            {0, {11, 0, 342, 143}},
                            {1, {10, 5, 343, 138}},
                            {2, {11, 148, 32, 32}},
                            {3, {74, 156, 92, 13}},
                            {4, {74, 176, 179, 23}},
                            {5, {255, 176, 24, 23}},
                            {6, {287, 150, 66, 23}},
                            {7, {287, 176, 66, 23}},
                        });
    // The check list's rule: from 5 px down to the group box's bottom, as wide
    // as the box and centred in the dialog, the spare pixel to the right.
    const Laid& laid = (*laid_)[9];
    const ui::PixelRect& group = laid.controls[0].rect;
    const ui::PixelRect& list = laid.controls[1].rect;
    const int left = (laid.client.width - group.width) / 2;
    EXPECT_EQ(list.x, left);
    EXPECT_EQ(list.x + list.width, laid.client.width - left);
    EXPECT_EQ(list.y, 5);
    EXPECT_EQ(list.y + list.height, group.y + group.height);
}

// The same script registers the same book through the real widgets as
// through the in-memory dialog.
TEST(GtkSyncManager, AScriptOnTheWidgetsLeavesTheSameRegistryAsTheScriptedBackend) {
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    box.addUser("Bo", "102");
    smtest::putBudgetAndTravel(box, ann);
    const std::string pc = box.dir.makeDir("pc");
    std::string script = smtest::kRegisterBudgetScript;
    for (size_t at = script.find("PC"); at != std::string::npos; at = script.find("PC", at + pc.size()))
        script.replace(at, 2, pc);
    std::vector<uint8_t> registries[2];
    const char* backends[] = {"scripted", "gtk"};
    for (int n = 0; n < 2; ++n) {
        SCOPED_TRACE(backends[n]);
        fs::remove(box.registryFile());
        smtest::Played played = smtest::playAddin(box.dir, {"manager"}, script, backends[n]);
        EXPECT_EQ(played.exitCode, 0) << played.err;
        registries[n] = testsupport::readFile(box.registryFile());
    }
    EXPECT_FALSE(registries[0].empty());
    EXPECT_EQ(registries[0], registries[1]);
}

// A foreign host (Python's ctypes) opening textlink's About box: with a
// display the GTK backend plays the script; without one, or with GTK forced
// and no display, the box is not shown and the host is told on stderr.
TEST(GtkChoice, AHostGetsGtkWithADisplayAndHeadlessWithout) {
    if (!fs::exists("/usr/bin/python3") || testsupport::addressSanitizerBuild())
        GTEST_SKIP() << "no python3, or a sanitizer build the interpreter cannot load";
    testsupport::Sandbox box("Quillo");
    box.addUser("Ann", "101");
    testsupport::writeFile(box.dir.file("ui.script"), "dialog 134\nclick 1\n");
    const char* display = std::getenv("DISPLAY");
    ASSERT_TRUE(display && *display);
    struct Case {
        const char* display;
        const char* ui;
        int answer;
        std::string err;
    } cases[] = {
        {display, "", 1, ""},
        {"", "", 2, "dialog 134: no display\n"},
        {"", "gtk", 2, "BRIGHTFOLD_UI=gtk: no display; no windows will show\ndialog 134: no display\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("DISPLAY=") + c.display + " BRIGHTFOLD_UI=" + c.ui);
        auto run = testsupport::runProgram(
            "/usr/bin/python3",
            {"-c", "import ctypes, sys; print(ctypes.CDLL(sys.argv[1]).AboutDialog())",
             testsupport::buildDir() + "/lib/libtextlink.so"},
            {{"DISPLAY", c.display},
             {"BRIGHTFOLD_UI", c.ui},
             {"BRIGHTFOLD_UI_SCRIPT", box.dir.file("ui.script")},
             {"BRIGHTFOLD_UI_LOG", box.dir.file("ui.log")}});
        EXPECT_EQ(run.out, std::to_string(c.answer) + "\n");
        EXPECT_EQ(run.err, c.err);
    }
}

// A GTK application calling the library inside its own main loop: the
// dialog runs modally on that loop, and closing its window cancels it.
TEST(GtkChoice, AGtkHostRunsTheDialogInsideItsOwnLoop) {
    testsupport::Sandbox box("Quillo");
    box.addUser("Ann", "101");
    auto run = testsupport::runProgram(testsupport::buildDir() + "/tests/gtk_host",
                                       {testsupport::buildDir() + "/lib/libtextlink.so"},
                                       {{"BRIGHTFOLD_UI", ""}, {"BRIGHTFOLD_UI_SCRIPT", ""}});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 1\n");  // IdCancel, called at main loop level 1
    EXPECT_EQ(run.err, "");       // not the headless "dialog 134: no display"
}

// setupwiz, one program file copied anywhere, loads the GTK module from
// beside itself or from the system folder where it installs it; where there
// is none, BRIGHTFOLD_UI=gtk says so in one line and the run goes on
// headless: the licence is declined and the program ends as documented.
// With the module, the check list opens with no row selected (GTK selects
// the first row of a list box that takes the focus).
TEST(GtkChoice, SetupwizFindsTheModuleBesideItOrInTheSystemFolderElseGoesHeadless) {
    const std::string module = testsupport::buildDir() + "/lib/libbrightfold-gtk.so";
    enum class Where { Nowhere, Beside, System };
    struct Case {
        const char* what;
        Where where;
    } cases[] = {{"nowhere", Where::Nowhere}, {"beside", Where::Beside}, {"system folder", Where::System}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir box;
        const std::string dist = box.makeDir("dist"), system = box.makeDir("system");
        fs::copy_file(testsupport::buildDir() + "/bin/setupwiz", dist + "/setupwiz");
        testsupport::writeFile(dist + "/license.txt", "Terms.\n");
        testsupport::writeFile(dist + "/setup.inf",
                               "[Installation]\nApplication=Suite\n[Suite]\nAppName0=Tabulo, Workbooks\n"
                               "[Tabulo]\nFile0=tabulo-addin\n");
        if (c.where == Where::Beside) fs::copy_file(module, dist + "/libbrightfold-gtk.so");
        if (c.where == Where::System) fs::copy_file(module, system + "/libbrightfold-gtk.so");
        testsupport::writeFile(box.file("ui.script"),
                               "dialog 129\nclick 1\ndialog 102\nexpect 1003 selected -1\nclick 2\n");
        auto run = testsupport::runProgram(dist + "/setupwiz", {},
                                           {{"BRIGHTFOLD_UI", "gtk"},
                                            {"BRIGHTFOLD_GTK_MODULE", ""},
                                            {"BRIGHTFOLD_SYSTEM_DIR", system},
                                            {"BRIGHTFOLD_HIVE", box.file("hive.reg")},
                                            {"HOME", box.makeDir("home")},
                                            {"BRIGHTFOLD_UI_SCRIPT", box.file("ui.script")},
                                            {"BRIGHTFOLD_UI_LOG", box.file("ui.log")}});
        EXPECT_EQ(run.exitCode, 0);  // Decline, or Exit, ends the program normally
        if (c.where == Where::Nowhere) {
            EXPECT_EQ(run.err, "BRIGHTFOLD_UI=gtk: libbrightfold-gtk.so not found in " + dist + ", " + dist +
                                   "/../lib, " + system + "; no windows will show\ndialog 129: no display\n");
        } else {
            EXPECT_EQ(run.err, "");
            const std::string log = hotsynctest::textOf(box.file("ui.log"));
            EXPECT_EQ(log.find("FAIL"), std::string::npos) << log;
            EXPECT_NE(log.find("dialog 102 closed 2"), std::string::npos) << log;
        }
    }
}

}  // namespace
