// The scripted backend playing dialogs (every command, every failure, boxes
// and choosers raised by commands, the log lines), the headless backend's
// dialogs and choosers, and the in-memory dialog's own behaviour.
#include <functional>

#include <gtest/gtest.h>

#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui_script.h"
#include "support/test_support.h"

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

// Control ids, as the scripts below name them.
enum : int {
    kName = 1001,
    kOverwrite = 1002,
    kCsv = 1003,
    kText = 1004,
    kFruit = 1005,
    kParts = 1006,
    kFiles = 1007,
    kBrowse = 1008,
    kClear = 1009,
    kScroller = 1010,
    kMore = 1013,
    kStatus = 1014,
    kTitle = 1015,
    kOptions = 1016,
    kFormat = 1017,
};

constexpr uint32_t kPixel[1] = {0};
constexpr ui::Image kImages[] = {{200, 1, 1, kPixel}, {201, 1, 1, kPixel}};

// An export dialog using every kind of control a command can reach.
constexpr ui::ControlSpec kExportControls[] = {
    {kTitle, ControlKind::Label, "Name:", 5, 5, 30, 8},
    {kName, ControlKind::Edit, "", 40, 5, 100, 12},
    {ui::IdOk, ControlKind::DefaultButton, "OK", 5, 100, 50, 14},
    {ui::IdCancel, ControlKind::Button, "Cancel", 60, 100, 50, 14},
    {kOverwrite, ControlKind::CheckBox, "Overwrite", 5, 20, 60, 10},
    {kCsv, ControlKind::RadioButton, "CSV", 5, 32, 40, 10, 0, 1},
    {kText, ControlKind::RadioButton, "Text", 50, 32, 40, 10, 0, 1},
    {kFruit, ControlKind::ListBox, "", 5, 45, 60, 40, ui::kSorted | ui::kNotify},
    {kParts, ControlKind::CheckList, "", 70, 45, 60, 40},
    {kFiles, ControlKind::ListView, "", 135, 45, 60, 40},
    {kBrowse, ControlKind::Button, "...", 145, 5, 15, 12},
    {kClear, ControlKind::Button, "Clear", 115, 100, 50, 14},
    {kScroller, ControlKind::VScrollBar, "", 200, 45, 10, 40},
    {kStatus, ControlKind::Label, "", 5, 88, 100, 8},
    {kMore, ControlKind::Button, "More", 170, 100, 30, 14, ui::kHidden},
    {kOptions, ControlKind::Button, "Options", 170, 80, 30, 14},
    {kFormat, ControlKind::DropDownList, "", 135, 20, 60, 40},
};
constexpr ui::DialogSpec kExport{300, "Export", 220, 120, "MS Sans Serif", 8, kExportControls, kImages};

constexpr ui::ControlSpec kOptionControls[] = {
    {ui::IdOk, ControlKind::DefaultButton, "OK", 5, 30, 50, 14},
    {ui::IdCancel, ControlKind::Button, "Cancel", 60, 30, 50, 14},
};
constexpr ui::DialogSpec kOptionsDialog{301, "Options", 120, 50, "MS Sans Serif", 8, kOptionControls, {}};

// Closes on its buttons; the options dialog has nothing else.
class OptionsController : public ui::DialogController {
public:
    const ui::DialogSpec& spec() const override { return kOptionsDialog; }
    void init(ui::DialogView&) override {}
    void handle(ui::DialogView& view, const ui::Event& event) override {
        if (event.id == ui::IdOk || event.id == ui::IdCancel) view.end(event.id);
    }
};

class ExportController : public ui::DialogController {
public:
    const ui::DialogSpec& spec() const override { return kExport; }
    void init(ui::DialogView& view) override {
        view.setCaption("Export Budget");
        view.enable(ui::IdOk, false);
        view.check(kCsv, true);
        view.addItem(kFruit, "pear");
        view.addItem(kFruit, "apple");
        view.addItem(kParts, "Sheet1");
        view.addItem(kParts, "Sheet2");
        view.setItemEnabled(kParts, 1, false);
        view.addItem(kFiles, "a.csv", 1);
        view.addItem(kFormat, "Comma");
        view.addItem(kFormat, "Tab");
    }
    void handle(ui::DialogView& view, const ui::Event& e) override {
        switch (e.id) {
            case kName:
                view.enable(ui::IdOk, !view.text(kName).empty());
                break;
            case ui::IdOk:
                if (ui::messageBox(view.window(), "Replace Budget.csv?", "Export", ui::Buttons::YesNo) ==
                    ui::IdYes)
                    view.end(ui::IdOk);
                break;
            case ui::IdCancel:
                view.end(ui::IdCancel);
                break;
            case kFruit:
                if (e.what == ui::Notify::DoubleClicked) view.setText(kName, view.itemText(kFruit, e.index));
                break;
            case kBrowse: {
                ui::FileChooser chooser;
                chooser.kind = ui::FileChooser::Kind::Save;
                chooser.owner = view.window();
                chooser.initialPath = "Budget.csv";
                if (auto path = ui::chooseFile(chooser)) {
                    view.setText(kName, *path);
                    view.enable(ui::IdOk, true);
                }
                break;
            }
            case kClear:
                ui::messageBox(view.window(), "Cleared.", "Export");
                view.setText(kName, "");
                break;
            case kScroller:
                view.setText(kStatus, e.scroll == ui::Scroll::Bottom ? "bottom" : "other");
                break;
            case kOptions: {
                OptionsController options;
                view.setText(kStatus, "options " + std::to_string(ui::runDialog(view.window(), options)));
                break;
            }
            default:
                break;
        }
    }
};

struct Played {
    int result = 0;
    std::string log;
};

// Plays `script` against the export dialog, then runs `after` (more boxes,
// choosers or dialogs of the same process).
Played play(std::string_view script, const std::function<void()>& after = {}) {
    testsupport::TempDir dir;
    std::string log = dir.file("log");
    ui::setBackend(ui::makeScriptedBackend(script, log));
    ExportController controller;
    Played played;
    played.result = ui::runDialog(nullptr, controller);
    if (after) after();
    ui::setBackend(nullptr);
    std::vector<uint8_t> bytes = testsupport::readFile(log);
    played.log.assign(bytes.begin(), bytes.end());
    return played;
}

constexpr const char* kOpened = "dialog 300 \"Export Budget\" opened\n";

}  // namespace

TEST(ScriptedDialogs, CommandsAndTheirLog) {
    struct Case {
        const char* name;
        const char* script;
        int result;
        const char* log;  // after the "opened" line
    };
    const Case cases[] = {
        {"type enables OK, box answered after the command",
         "dialog 300\ntype 1001 Budget\\nQ1 \\\\x\nexpect 1 enabled yes\nclick 1\nyes\n", ui::IdOk,
         "type 1001 Budget\\nQ1 \\\\x ok\nexpect 1 enabled yes ok\nExport: Replace Budget.csv? => yes\nclick "
         "1 ok\n"
         "dialog 300 closed 1\n"},
        {"box without an answer line takes the safe answer; lines run out",
         "# comment\n\ndialog 300\ntype 1001 x\nclick 1\nexpect 1001 text x\n", ui::IdCancel,
         "type 1001 x ok\nExport: Replace Budget.csv? => no (no answer line)\nclick 1 ok\nexpect 1001 text x "
         "ok\n"
         "dialog 300 closed 2\n"},
        {"type with nothing empties the edit",
         "dialog 300\ntype 1001 x\ntype 1001\nexpect 1 enabled no\nend\n", ui::IdCancel,
         "type 1001 x ok\ntype 1001 ok\nexpect 1 enabled no ok\nend ok\ndialog 300 closed 2\n"},
        {"toggles, lists and expectations",
         "dialog 300\nclick 1002\nclick 1004\nexpect 1002 checked yes\nexpect 1003 checked no\n"
         "expect 1005 items apple|pear\nselect 1005 1\nexpect 1005 selected 1\ndblclick 1005 0\n"
         "expect 1001 text apple\ncheck 1006 0 1\nexpect 1006 checked 0:yes\nexpect 1006 enabled 1:no\n"
         "expect 1007 image 0:1\nselect 1017 -1\nexpect 1017 selected -1\nscroll 1010 bottom\n"
         "expect 1014 text bottom\nexpect 1013 visible no\nexpect 0 caption Export Budget\nclick 2\n",
         ui::IdCancel,
         "click 1002 ok\nclick 1004 ok\nexpect 1002 checked yes ok\nexpect 1003 checked no ok\n"
         "expect 1005 items apple|pear ok\nselect 1005 1 ok\nexpect 1005 selected 1 ok\ndblclick 1005 0 ok\n"
         "expect 1001 text apple ok\ncheck 1006 0 1 ok\nexpect 1006 checked 0:yes ok\nexpect 1006 enabled "
         "1:no ok\n"
         "expect 1007 image 0:1 ok\nselect 1017 -1 ok\nexpect 1017 selected -1 ok\nscroll 1010 bottom ok\n"
         "expect 1014 text bottom ok\nexpect 1013 visible no ok\nexpect 0 caption Export Budget ok\nclick 2 "
         "ok\n"
         "dialog 300 closed 2\n"},
        {"chooser answered by a file line, then cancelled",
         "dialog 300\nclick 1008\nfile /tmp/out\\\\x.csv\nexpect 1001 text /tmp/out\\\\x.csv\nclick 1008\n"
         "file cancel\nclick 1008\nend\n",
         ui::IdCancel,
         "save \"Budget.csv\" => /tmp/out\\x.csv\nclick 1008 ok\nexpect 1001 text /tmp/out\\\\x.csv ok\n"
         "save \"Budget.csv\" => cancel\nclick 1008 ok\nsave \"Budget.csv\" => cancel (no file line)\nclick "
         "1008 ok\n"
         "end ok\ndialog 300 closed 2\n"},
        {"a dialog opened by a command takes the next section; its owner goes on after it",
         "dialog 300\nclick 1016\ndialog 301\nclick 1\nexpect 1014 text options 1\nclick 2\n", ui::IdCancel,
         "dialog 301 \"Options\" opened\nclick 1 ok\ndialog 301 closed 1\nclick 1016 ok\n"
         "expect 1014 text options 1 ok\nclick 2 ok\ndialog 300 closed 2\n"},
        {"a nested dialog without a section closes at once",
         "dialog 300\nclick 1016\nexpect 1014 text options 2\n", ui::IdCancel,
         "dialog 301 \"Options\" opened\ndialog 301 closed 2\nclick 1016 ok\nexpect 1014 text options 2 ok\n"
         "dialog 300 closed 2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Played played = play(c.script);
        EXPECT_EQ(played.result, c.result);
        EXPECT_EQ(played.log, std::string(kOpened) + c.log);
    }
}

// Each failure logs its line number and reason, skips the rest of the
// section and closes the dialog with IdCancel.
TEST(ScriptedDialogs, FailuresCloseTheDialog) {
    struct Case {
        const char* command;
        const char* reason;
    };
    const Case cases[] = {
        {"click 4711", "no such control"},
        {"click 1", "control is disabled"},
        {"click 1013", "control is hidden"},
        {"click 1001", "control cannot do that"},
        {"select 1005 2", "no such item"},
        {"check 1006 1 1", "control is disabled"},
        {"expect 1001 text y", "text is \"\""},
        {"expect 1002 checked yes", "checked is no"},
        {"expect 1006 checked 0:yes", "checked is 0:no"},
        {"expect 1005 items pear", "items is \"apple|pear\""},
        {"expect 1005 selected 0", "selected is -1"},
        {"expect 1007 image 0:0", "image is 0:1"},
        {"expect 0 caption Export", "caption is \"Export Budget\""},
        {"expect 1001 items x", "control has no items"},
        {"expect 1005 text x", "control has no text"},
        {"expect 1002 checked 0:yes", "control has no checked"},
        {"expect 1006 checked 5:yes", "no such item"},
        {"expect 1001 colour red", "unknown property \"colour\""},
        {"expect 1001 enabled maybe", "bad value, want yes or no \"maybe\""},
        {"expect 1001 caption x", "caption belongs to the dialog (0)"},
        {"press 1", "unknown command \"press\""},
        {"click x1", "bad control id \"x1\""},
        {"click 99999999999", "bad control id \"99999999999\""},
        {"click 1 2", "unexpected \"2\""},
        {"select 1005", "missing argument"},
        {"check 1006 0 2", "bad check state \"2\""},
        {"scroll 1010 left", "bad scroll \"left\""},
        {"yes", "no message box to answer"},
        {"file /tmp/x", "no file chooser to answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Played played = play(std::string("dialog 300\n\n") + c.command + "\nclick 2\n");
        EXPECT_EQ(played.result, ui::IdCancel);
        EXPECT_EQ(played.log,
                  std::string(kOpened) + c.command + " FAIL line 3: " + c.reason + "\ndialog 300 closed 2\n");
    }
}

// The dialog line: a wrong id or a missing section, and what later boxes,
// choosers and dialogs of the process get.
TEST(ScriptedDialogs, SectionsInOrder) {
    Played wrong = play("dialog 301\nclick 2\ndialog 300\nend\n", [] {
        ExportController again;
        EXPECT_EQ(ui::runDialog(nullptr, again), ui::IdCancel);
    });
    EXPECT_EQ(wrong.log, std::string(kOpened) +
                             "dialog 301 FAIL line 1: dialog 300 opened\ndialog 300 closed 2\n" + kOpened +
                             "end ok\ndialog 300 closed 2\n");

    // Message-box-only scripts: the dialog has no section and leaves the answers alone.
    Played none = play("yes\nfile /a\n", [] {
        EXPECT_EQ(ui::messageBox(nullptr, "Go?", "Q", ui::Buttons::YesNo), ui::IdYes);
        EXPECT_EQ(ui::chooseFile({}), "/a");
        EXPECT_EQ(ui::messageBox(nullptr, "Again?", "Q", ui::Buttons::YesNo), ui::IdNo);
    });
    EXPECT_EQ(none.log, std::string(kOpened) +
                            "dialog 300 closed 2\nQ: Go? => yes\nopen \"\" => /a\nQ: Again? => no\n");
}

TEST(HeadlessDialogs, CancelAndSayWhy) {
    // The default (headless) backend of a test process; BRIGHTFOLD_UI is headless under CTest.
    ExportController controller;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ui::runDialog(nullptr, controller), ui::IdCancel);
    EXPECT_EQ(ui::chooseFile({}), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "dialog 300: no display\nfile chooser: no display\n");
}

TEST(DialogModel, ActsAsControlsDo) {
    ExportController controller;
    ui::DialogModel model(kExport, controller);
    model.open();
    EXPECT_EQ(model.itemText(kFruit, 0), "apple");  // sorted insert
    EXPECT_EQ(model.addItem(kFruit, "banana"), 1);
    EXPECT_EQ(model.click(kText), ui::ActionResult::Done);  // a radio button unchecks its group
    EXPECT_FALSE(model.checked(kCsv));
    EXPECT_TRUE(model.checked(kText));
    EXPECT_EQ(model.click(kOverwrite), ui::ActionResult::Done);  // a check box toggles
    EXPECT_EQ(model.click(kOverwrite), ui::ActionResult::Done);
    EXPECT_FALSE(model.checked(kOverwrite));
    EXPECT_EQ(model.click(ui::IdOk), ui::ActionResult::Disabled);
    EXPECT_EQ(model.click(kMore), ui::ActionResult::Hidden);
    model.close();
    EXPECT_TRUE(model.ended());
    EXPECT_EQ(model.result(), ui::IdCancel);
    EXPECT_EQ(model.click(ui::IdCancel), ui::ActionResult::Closed);
}
