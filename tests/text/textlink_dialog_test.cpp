// The Export and Import controllers on the in-memory dialog, over a state
// of their own: what each form enables, the choosers, the window menu, and
// the reports of a conversion. The dialogs end to end, through the exports
// and a script, are in textlink_dialog_script_test.cpp.
#include <filesystem>

#include "platform/bstr.h"
#include "platform/dialog_model.h"
#include "support/sandbox.h"
#include "text/text_dialogs.h"
#include "textlink_testing.h"

using platform::ui::DialogModel;
using testsupport::writeFile;
namespace ui = platform::ui;

namespace {

class TextDialogs : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    text::TextlinkState state;
    int jo = box.addUser("Jo", "31");
    int al = box.addUser("Al", "32");
    textlinktest::ScopedRecorder recorder{};

    void SetUp() override {
        for (const char* name : {"b.pdb", "A.pdb"})
            writeFile(box.backup(jo) + "/" + name, textlinktest::makeDocDatabase({"db", {"text"}}));
        ASSERT_TRUE(text::attachTextlink(state));
    }
    void TearDown() override { text::detachTextlink(state); }
    static std::vector<std::string> items(const DialogModel& model, int id) {
        std::vector<std::string> out;
        for (int i = 0; i < model.itemCount(id); ++i) out.push_back(model.itemText(id, i));
        return out;
    }
};

}  // namespace

TEST_F(TextDialogs, StandAloneExportStartsFromTheLastSourceAndEnablesExportWithAPath) {
    state.lastExportSource = "/last/notes.txt";
    text::ExportDialog dialog(state, nullptr);
    DialogModel model(dialog.spec(), dialog);
    model.open();
    EXPECT_EQ(model.text(text::kTdFrom), "/last/notes.txt");
    EXPECT_EQ(model.focused(), text::kTdFrom);
    EXPECT_EQ(model.text(text::kTdCancel), "Done");
    EXPECT_FALSE(model.enabled(text::kTdOk));
    EXPECT_EQ(items(model, text::kTdUsers), (std::vector<std::string>{"Jo", "Al"}));
    ASSERT_EQ(model.systemMenuItems().size(), 1u);
    EXPECT_EQ(model.systemMenuItems()[0].command, 16);
    EXPECT_EQ(model.systemMenuItems()[0].text, "&About textlink...");

    model.type(text::kTdFrom, "x");
    EXPECT_TRUE(model.enabled(text::kTdOk));
    model.type(text::kTdFrom, "");
    EXPECT_FALSE(model.enabled(text::kTdOk));
    // No user selected is not a state the list keeps.
    model.choose(text::kTdUsers, -1);
    EXPECT_EQ(model.selected(text::kTdUsers), 0);

    // "...": a cancelled chooser changes nothing, a chosen file is the source.
    model.type(text::kTdFrom, "/typed.txt");
    recorder.answerChoosers({std::nullopt, "/chosen/a.txt"});
    model.click(text::kTdFromBrowse);
    EXPECT_EQ(model.text(text::kTdFrom), "/typed.txt");
    model.type(text::kTdFrom, "");
    model.click(text::kTdFromBrowse);
    EXPECT_EQ(model.text(text::kTdFrom), "/chosen/a.txt");
    EXPECT_EQ(state.lastExportSource, "/chosen/a.txt");
    EXPECT_TRUE(model.enabled(text::kTdOk));
    ASSERT_EQ(recorder.choosers().size(), 2u);
    const ui::FileChooser& chooser = recorder.choosers()[0];
    EXPECT_EQ(chooser.kind, ui::FileChooser::Kind::Open);
    EXPECT_EQ(chooser.initialPath, "/typed.txt");
    EXPECT_EQ(chooser.filter, "Text files (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_TRUE(chooser.hideReadOnly);

    // The window menu's item opens the About box; "Done" closes with 2.
    EXPECT_EQ(model.click(text::kAboutCommand), ui::ActionResult::Done);
    EXPECT_EQ(recorder.dialogs(), std::vector<int>{text::kAboutResource});
    EXPECT_FALSE(model.ended());
    model.click(text::kTdCancel);
    EXPECT_TRUE(model.ended());
    EXPECT_EQ(model.result(), ui::IdCancel);
}

TEST_F(TextDialogs, AFailedExportIsReportedAndTheDialogStaysOpen) {
    text::ExportDialog dialog(state, nullptr);
    DialogModel model(dialog.spec(), dialog);
    model.open();
    model.choose(text::kTdUsers, al);
    model.type(text::kTdFrom, "/no/such.txt");
    model.click(text::kTdOk);
    ASSERT_EQ(recorder.details().size(), 1u);
    EXPECT_EQ(recorder.boxes()[0],
              "Error: Conversion from /no/such.txt\n to " + box.install(al) + "/such.pdb failed, \nError -2");
    EXPECT_EQ(recorder.details()[0].icon, ui::Icon::Error);
    EXPECT_FALSE(model.ended());
    EXPECT_EQ(model.text(text::kTdFrom), "/no/such.txt");
}

TEST_F(TextDialogs, RecordFormsLeaveThePathFieldsDisabledAndTheRecordCancelled) {
    for (int resource : {text::kExportResource, text::kImportResource}) {
        SCOPED_TRACE(resource);
        DocTransferRecord record{};
        std::unique_ptr<ui::DialogController> dialog;
        if (resource == text::kExportResource)
            dialog = std::make_unique<text::ExportDialog>(state, &record);
        else
            dialog = std::make_unique<text::ImportDialog>(state, &record);
        EXPECT_EQ(record.status, BF_ERR_CANCELLED);
        DialogModel model(dialog->spec(), *dialog);
        model.open();
        const int edit = resource == text::kExportResource ? text::kTdFrom : text::kTdTo;
        EXPECT_FALSE(model.enabled(edit));
        EXPECT_FALSE(model.enabled(edit + 1));  // "..."
        EXPECT_EQ(model.text(text::kTdCancel), "Cancel");
        EXPECT_TRUE(model.enabled(text::kTdOk));
        EXPECT_EQ(model.systemMenuItems().size(), 1u);
    }
}

TEST_F(TextDialogs, RecordImportNeedsAFileAndHandsBackTheBackupDatabase) {
    DocTransferRecord record{};
    text::ImportDialog dialog(state, &record);
    DialogModel model(dialog.spec(), dialog);
    model.open();
    EXPECT_EQ(items(model, text::kTdFiles), (std::vector<std::string>{"A.pdb", "b.pdb"}));
    EXPECT_EQ(model.selected(text::kTdFiles), 0);
    model.choose(text::kTdUsers, al);
    EXPECT_EQ(model.itemCount(text::kTdFiles), 0);
    EXPECT_FALSE(model.enabled(text::kTdOk));
    model.choose(text::kTdUsers, jo);
    model.choose(text::kTdFiles, 1);
    model.click(text::kTdOk);
    EXPECT_EQ(model.result(), ui::IdOk);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.user, jo);
    EXPECT_EQ(platform::byteStringView(record.path), box.backup(jo) + "/b.pdb");
    platform::clearByteString(record.path);
}
