// The Export, Import, Password and Change Size dialogs: `tabulo-addin`
// opens them through the exports in a child process and a ui script plays
// them; what the records receive is checked in this process, with the
// scripted backend over the operations.
#include <cstring>

#include "platform/bstr.h"
#include "platform/ui_script.h"
#include "sync_manager_fixture.h"
#include "syncmgr/transfer_dialogs.h"

using smtest::Played;
using testsupport::linkLine;
using testsupport::linkSection;
using testsupport::SheetDbSpec;

namespace {

class TransferDialogs : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");

    Played addin(const std::vector<std::string>& args, const std::string& script) {
        return smtest::playAddin(box.dir, args, script);
    }
    void prefs(int user) {
        testsupport::writeFile(box.backup(user) + "/PiTBPref.PDB",
                               smtest::prefsDatabase({"Unfiled", "Business"}));
    }
};

// The operations in this process, with a script played by the scripted backend.
class TransferDialogsHere : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    syncmgr::GridlinkState state;

    void script(const std::string& text) {
        platform::ui::setBackend(platform::ui::makeScriptedBackend(text, dir.file("ui.log")));
    }
    ~TransferDialogsHere() override { platform::ui::setBackend(nullptr); }
};

}  // namespace

TEST_F(TransferDialogs, ChangeSizeCaptionAndTheScrollBarHeldBetween10And500) {
    std::string script =
        "dialog 153\n"
        "expect 0 caption Change Size For AA5:AB7\n"
        "expect 1020 text 100\n"
        "expect 1032 checked yes\n"
        "expect 1034 checked no\n";
    for (int i = 0; i < 50; ++i) script += "scroll 1036 lineup\n";
    script += "expect 1020 text 500\n";
    for (int i = 0; i < 50; ++i) script += "scroll 1036 linedown\n";
    script += "expect 1020 text 10\nclick 1034\nclick 1\n";
    Played played = addin({"size", "5", "27", "3", "2"}, script);
    EXPECT_EQ(played.exitCode, 0) << played.err;
    EXPECT_EQ(played.out, "percentage 10, font size 1, cell size 1\n");
}

TEST_F(TransferDialogs, ExportOffersTheUsersCategoriesAndTheUserPasswordOnlyWithAnAuthorPassword) {
    prefs(bo);
    testsupport::writeFile(box.dir.file("Budget.xls"), std::string("workbook"));
    Played played = addin({"export-dialog", box.dir.file("Budget.xls")},
                          "dialog 132\n"
                          "expect 1005 items Ann|Bo\n"
                          "expect 1006 items \n"
                          "select 1005 1\n"
                          "expect 1006 items Business|Unfiled\n"
                          "expect 1006 selected 1\n"
                          "expect 1025 enabled no\n"
                          "type 1024 author\n"
                          "type 1025 user\n"
                          "type 1024\n"
                          "expect 1025 enabled no\n"
                          "click 2\n");
    EXPECT_EQ(played.exitCode, 1);
    EXPECT_NE(played.err.find("the Export dialog was cancelled"), std::string::npos) << played.err;
}

TEST_F(TransferDialogs, ImportListsBooksInBackupByCategoryAndNotDesktopOnlyLinks) {
    prefs(ann);
    box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 3, 0x12});  // category 1, Business
    box.putInBackup(ann, SheetDbSpec{"Trip-Rome", 71, 3});
    box.writeLinks(linkSection("Ann", linkLine("Travel", 0, 0, box.dir.file("Travel.xls"))));
    Played played = addin({"import-dialog", box.dir.file("out.json")},
                          "dialog 133\n"
                          "expect 1006 items All|Business|Unfiled\n"
                          "expect 1002 items Budget|Trip\n"
                          "expect 1 enabled yes\n"
                          "select 1006 1\n"
                          "expect 1002 items Budget\n"
                          "select 1002 -1\n"
                          "expect 1 enabled no\n"
                          "select 1005 1\n"
                          "expect 1006 items All\n"
                          "expect 1002 items \n"
                          "click 2\n");
    EXPECT_EQ(played.exitCode, 1);
    EXPECT_NE(played.err.find("the Import dialog was cancelled"), std::string::npos) << played.err;
}

TEST_F(TransferDialogsHere, GetSizeWritesThreeInt16AndRemembersTheBoxes) {
    script(
        "dialog 153\nclick 1032\nclick 1034\nscroll 1036 pageup\nclick 1\n"
        "dialog 153\nexpect 1032 checked no\nexpect 1034 checked yes\ntype 1020 250\nclick 1\n"
        "dialog 153\nscroll 1036 bottom\ntype 1020 25x\nclick 1\n"
        "dialog 153\nclick 2\n");
    SheetRecord record{};
    record.defaultSize8 = record.defaultSize12 = record.setting16 = 1;
    std::memset(&record.setting20, 0x7F, 8);
    struct Answer {
        int16_t result, percentage, fontSize, cellSize;
    };
    for (const Answer& want :
         {Answer{1, 110, 0, 1}, Answer{1, 250, 0, 1}, Answer{1, 90, 0, 1}, Answer{2, 90, 0, 1}}) {
        EXPECT_EQ(syncmgr::GetSize(state, &record), want.result);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
        EXPECT_EQ(bytes[20] | bytes[21] << 8, want.percentage);
        EXPECT_EQ(bytes[22] | bytes[23] << 8, want.fontSize);
        EXPECT_EQ(bytes[24] | bytes[25] << 8, want.cellSize);
        EXPECT_EQ(bytes[26], 0x7F);
    }
    EXPECT_EQ(syncmgr::GetSize(state, nullptr), BF_ERR_PARAMETER);
}

TEST_F(TransferDialogsHere, GetPasswordFillsTheRecordOnlyAfterOk) {
    script(
        "dialog 131\nexpect 0 caption Tabulo password to synchronize Excel book\ntype 1020 new\nclick 2\n"
        "dialog 131\ntype 1020 s3cret\nclick 1\n");
    TextRecord record{};
    record.text = platform::allocByteString("old");
    EXPECT_EQ(syncmgr::GetPassword(state, &record), 2);
    EXPECT_EQ(platform::byteStringView(record.text), "old");
    EXPECT_EQ(syncmgr::GetPassword(state, &record), 1);
    EXPECT_EQ(platform::byteStringView(record.text), "s3cret");
    platform::clearByteString(record.text);
    EXPECT_EQ(syncmgr::GetPassword(state, nullptr), BF_ERR_PARAMETER);
}
