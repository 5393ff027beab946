// A one-off transfer end to end: a two-sheet workbook sent to the second of
// two users through the Export dialog, carried to the handheld and back by
// the hotsync program, and loaded again through the Import dialog.
#include <filesystem>

#include "addin_testing.h"
#include "syncmgr/sync_manager_fixture.h"
#include "workbook_files.h"

namespace fs = std::filesystem;

namespace {

tabulo::SheetData sheetOf(const std::string& name, const std::vector<std::pair<int, std::string>>& texts) {
    tabulo::SheetData sheet;
    sheet.name = name;
    for (const auto& [row, text] : texts) {
        tabulo::CellData cell;
        cell.row = row;
        cell.column = 2;
        cell.text = text;
        sheet.cells.push_back(cell);
    }
    return sheet;
}

using Texts = std::vector<std::tuple<std::string, int, int, std::string>>;  // sheet, row, column, text

Texts textsOf(const tabulo::Book& book) {
    Texts texts;
    for (const tabulo::SheetData& sheet : book.sheets)
        for (const tabulo::CellData& cell : sheet.cells)
            texts.emplace_back(sheet.name, cell.row, cell.column, cell.text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

}  // namespace

TEST(TransferDialogsEndToEnd, ExportToTheSecondUserHotSyncAndImportBack) {
    testsupport::Sandbox box;
    const int ann = box.addUser("Ann", "1001"), bo = box.addUser("Bo", "1002");
    const std::string handheld = box.dir.makeDir("handheld");
    const std::string hotsync = testsupport::buildDir() + "/bin/hotsync";
    for (const auto& [name, id, user] : {std::tuple{"Ann", "1001", ann}, std::tuple{"Bo", "1002", bo}})
        ASSERT_EQ(addintest::runProgram(hotsync,
                                        {"users", "add", name, "--id", id, "--folder", box.userFolder(user)})
                      .exitCode,
                  0);

    tabulo::Book book;
    book.sheets = {sheetOf("Jan", {{1, "Rent"}, {2, "Gas"}}), sheetOf("Feb", {{1, "Food"}})};
    const std::string source = box.dir.file("trip.json");
    std::string error;
    ASSERT_TRUE(tabulo::writeWorkbookFile(source, book, error)) << error;

    smtest::Played exported =
        smtest::playAddin(box.dir, {"export-dialog", box.dir.file("Trip.xls"), "--from", source},
                          "dialog 132\nselect 1005 1\nclick 1\n");
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(fs::is_empty(box.install(ann)));
    EXPECT_TRUE(fs::exists(box.install(bo) + "/Trip-Jan.pdb"));
    EXPECT_TRUE(fs::exists(box.install(bo) + "/Trip-Feb.pdb"));

    auto synced = addintest::runProgram(hotsync, {"sync", "--user", "Bo"},
                                        {{"BRIGHTFOLD_HANDHELD", handheld}, {"BRIGHTFOLD_UI", "headless"}});
    ASSERT_EQ(synced.exitCode, 0) << synced.out << synced.err;
    ASSERT_TRUE(fs::exists(box.backup(bo) + "/Trip-Jan.pdb"));

    const std::string output = box.dir.file("back.json");
    smtest::Played imported = smtest::playAddin(
        box.dir, {"import-dialog", output}, "dialog 133\nselect 1005 1\nexpect 1002 items Trip\nclick 1\n");
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    tabulo::Book back;
    ASSERT_TRUE(tabulo::readWorkbookFile(output, back, error)) << error;
    EXPECT_EQ(textsOf(back), textsOf(book));
}
