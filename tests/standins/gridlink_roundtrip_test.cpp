// Workbooks exported through libgridlink's exports, carried to Backup as a
// HotSync would, and imported through the exports again (each transfer in a
// child process that loads the library with the platform loader): what
// comes back for every kind of data, and what the export leaves for every
// user linking the book.
#include <filesystem>

#include "addin_testing.h"
#include "foundation/link_registry.h"
#include "foundation/sync_lock.h"
#include "syncmgr/discovery.h"
#include "syncmgr/link_editing.h"
#include "workbook/passwords.h"

using addintest::ChildTransfer;
using tabulo::Book;
using tabulo::CellData;
using tabulo::ChartData;
using tabulo::SheetData;

namespace fs = std::filesystem;

namespace {

constexpr int kSynchronize = 0, kHandheld = 1, kDesktop = 2;

CellData cell(int32_t row, int32_t column, std::string text, uint32_t flags = 0, int32_t fontSize = 10) {
    CellData c;
    c.row = row;
    c.column = column;
    c.text = std::move(text);
    c.formatFlags = flags;
    c.fontSize = fontSize;
    return c;
}

const CellData* findCell(const SheetData& sheet, int32_t row, int32_t column) {
    for (const CellData& c : sheet.cells)
        if (c.row == row && c.column == column) return &c;
    return nullptr;
}

const SheetData* findSheet(const Book& book, const std::string& name) {
    for (const SheetData& s : book.sheets)
        if (s.name == name) return &s;
    return nullptr;
}

class RoundTrip : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = 0;
    std::string pc, workbook;

    RoundTrip() {
        ann = box.addUser("Ann", "1001");
        pc = box.dir.makeDir("pc");
        workbook = pc + "/Budget.xls";
    }

    // Exports, carries the user's Install files to Backup, imports.
    Book roundTrip(const Book& book, int user = 0) {
        ChildTransfer out = addintest::exportInChild(box.dir, workbook, book);
        EXPECT_EQ(out.exitCode, 0) << out.call << " " << out.detail << " status " << out.status << "\n"
                                   << out.stderrText;
        EXPECT_EQ(out.user, user);
        EXPECT_EQ(addintest::hotSync(box, user), int(book.sheets.size()));
        Book back;
        ChildTransfer in = addintest::importInChild(box.dir, workbook, back);
        EXPECT_EQ(in.exitCode, 0) << in.call << " " << in.detail << " status " << in.status << "\n"
                                  << in.stderrText;
        EXPECT_EQ(in.user, user);
        return back;
    }
};

Book everyKindOfData() {
    SheetData jan;
    jan.name = "Jan";
    jan.formatFlags = 0x102;  // the add-in's own bits
    jan.fontSize = 13;        // large
    jan.defaultFontSize = 10;
    jan.settings = {-2, 3, 4, 70000, -1, 6};
    jan.options = 0x1;
    jan.defaultColumnWidth = 40;
    jan.defaultRowHeight = 150;
    jan.rows = {{2, 3}, {3, 0}, {4, 200}, {5, 40}, {7, 50}, {2, 60}};
    jan.columns.resize(4);
    jan.columns[0].column = 1, jan.columns[0].width = 3;
    jan.columns[1].column = 2, jan.columns[1].width = 200;
    jan.columns[2].column = 3, jan.columns[2].width = 255;
    jan.columns[3].column = 4, jan.columns[3].width = 50, jan.columns[3].formatFlags = 0x20,
    jan.columns[3].backColor = 0x00FFFF;

    jan.cells.push_back(cell(1, 1, "Sales"));
    jan.cells.back().textColor = 0x0000FF;  // red
    jan.cells.push_back(cell(2, 1, "12.5", 0x4C, 13));
    jan.cells.back().value = 12.5;
    jan.cells.back().currency = "[$kr-41D]";
    jan.cells.push_back(cell(3, 1, "=[C:\\Data\\Prices.XLS]Sheet1!A1"));
    jan.cells.back().value = 3.25;
    jan.cells.push_back(cell(3, 2, "olive"));
    jan.cells.back().textColor = 0x008080;  // 80,80,00
    jan.cells.back().backColor = 0x000080;  // 80,00,00
    jan.cells.push_back(cell(4, 1, "euro", 0x40));
    jan.cells.back().currency = "[$\x80-2]";
    jan.cells.push_back(cell(4, 2, "dollar", 0x40));
    jan.cells.back().currency = "[$$-409]";
    jan.cells.push_back(cell(5, 1, "yen", 0x40));
    jan.cells.back().currency = "[$\xA5]";
    jan.cells.push_back(cell(5, 2, "no currency flag", 0x4));
    jan.cells.back().currency = "[$kr-41D]";
    jan.cells.push_back(cell(5, 3, ""));  // nothing worth a record
    jan.cells.push_back(cell(5, 4, ""));
    jan.cells.back().backColor = 0x00FFFF;  // FF,FF,00
    jan.cells.push_back(cell(6, 256, "IV"));
    jan.cells.push_back(cell(9999, 1, "bottom"));
    jan.cells.back().value = -1e300;

    ChartData chart;
    chart.column = 5;
    chart.item = "Sales chart";
    chart.series = {"=SERIES(A1,A2:A4,B2:B4,1)", "=SERIES(C1,A2:A4,C2:C4,2)"};
    chart.chartByteA = 7;
    chart.chartByteB = 9;
    jan.charts.push_back(chart);

    SheetData feb;
    feb.name = "Feb";
    Book book;
    book.sheets = {jan, feb};
    return book;
}

}  // namespace

TEST_F(RoundTrip, EveryKindOfDataComesBackAsTheFormatKeepsIt) {
    addintest::linkBook(ann, workbook, kSynchronize);
    Book back = roundTrip(everyKindOfData());
    ASSERT_EQ(back.sheets.size(), 2u);
    EXPECT_EQ(back.sheets[0].name, "Feb");  // listed in name order
    const SheetData* jan = findSheet(back, "Jan");
    ASSERT_NE(jan, nullptr);

    // Sheet settings: the font level joins the add-in's bits; the settings
    // stored in 16 bits come back sign-extended (22, 24) or not (26-32).
    EXPECT_EQ(jan->formatFlags, 0x902u);
    EXPECT_EQ(jan->fontSize, 12);  // 13 points is large: round(1.2 x 10)
    EXPECT_EQ(jan->settings, (std::array<int32_t, 6>{-2, 3, 4, 70000 & 0xFFFF, 0xFFFF, 6}));
    EXPECT_EQ(jan->options, 0xC01u);
    EXPECT_EQ(jan->bookFlags, 0x02);  // sizes written by the desktop, category 0
    EXPECT_EQ(jan->defaultRowHeight, 113);
    EXPECT_EQ(jan->color1, tabulo::kBlack);
    EXPECT_EQ(jan->color2, tabulo::kWhite);
    EXPECT_EQ(jan->currency, "");

    // Row heights come back with the cells of their rows, clamped; the first
    // height given for a row wins; a row without cells is not handed out.
    EXPECT_EQ(jan->rows, (std::vector<tabulo::RowData>{{2, 7}, {3, 0}, {4, 139}, {5, 40}}));
    // Column widths are clamped; the add-in's column formats and colours are
    // not taken by the export: the entries carry the default flags.
    ASSERT_EQ(jan->columns.size(), 3u);
    EXPECT_EQ(jan->columns[0].column, 1);
    EXPECT_EQ(jan->columns[0].width, 7);
    EXPECT_EQ(jan->columns[1].width, 139);
    EXPECT_EQ(jan->columns[2].column, 4);
    EXPECT_EQ(jan->columns[2].width, 50);
    for (const tabulo::ColumnData& c : jan->columns) {
        EXPECT_EQ(c.formatFlags, 0x1000Fu);
        EXPECT_EQ(c.backColor, tabulo::kWhite);
    }

    // Cells: flags equal to the column's default (the sheet's flags with
    // 0x10000) carry no explicit bit; a cell's own flags carry 0x200000, its
    // font level and its currency code.
    const CellData* sales = findCell(*jan, 1, 1);
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->text, "Sales");
    EXPECT_EQ(sales->formatFlags, 0x10902u);
    EXPECT_EQ(sales->textColor, 0x0000FFu);
    EXPECT_EQ(sales->backColor, tabulo::kWhite);
    EXPECT_EQ(sales->fontSize, 12);  // the sheet's large level
    EXPECT_EQ(sales->currency, "");

    const CellData* krona = findCell(*jan, 2, 1);
    ASSERT_NE(krona, nullptr);
    EXPECT_EQ(krona->value, 12.5);
    EXPECT_EQ(krona->formatFlags, 0x0820084Cu);
    EXPECT_EQ(krona->currency, "[$kr-41D]");
    EXPECT_EQ(krona->fontSize, 12);

    const CellData* formula = findCell(*jan, 3, 1);
    ASSERT_NE(formula, nullptr);
    EXPECT_EQ(formula->text, "=[Prices]Sheet1!A1");
    EXPECT_EQ(formula->value, 3.25);

    // Colours pass through the palette: 80,80,00 becomes 99,99,00 and
    // 80,00,00 becomes 99,00,00.
    const CellData* olive = findCell(*jan, 3, 2);
    ASSERT_NE(olive, nullptr);
    EXPECT_EQ(olive->textColor, 0x009999u);
    EXPECT_EQ(olive->backColor, 0x000099u);

    struct Currency {
        int32_t row, column;
        uint32_t flags;
        std::string text;
    };
    for (const Currency& c : {Currency{4, 1, 0x16200040, "[$\x80-2]"}, Currency{4, 2, 0x01200040, "[$$-409]"},
                              Currency{5, 1, 0x15200040, "[$\xA5]"}, Currency{5, 2, 0x00200004, ""}}) {
        const CellData* got = findCell(*jan, c.row, c.column);
        ASSERT_NE(got, nullptr) << c.row << "," << c.column;
        EXPECT_EQ(got->formatFlags, c.flags) << c.row << "," << c.column;
        EXPECT_EQ(got->currency, c.text) << c.row << "," << c.column;
        EXPECT_EQ(got->fontSize, 10);
    }

    EXPECT_EQ(findCell(*jan, 5, 3), nullptr);
    const CellData* yellow = findCell(*jan, 5, 4);
    ASSERT_NE(yellow, nullptr);
    EXPECT_EQ(yellow->text, "");
    EXPECT_EQ(yellow->backColor, 0x00FFFFu);
    ASSERT_NE(findCell(*jan, 6, 256), nullptr);
    const CellData* bottom = findCell(*jan, 9999, 1);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->value, -1e300);
    EXPECT_EQ(jan->cells.size(), 11u);

    // The chart comes back as SERIES formulas of single columns on this
    // sheet, the names taken one cell at a time from the union of the names.
    ASSERT_EQ(jan->charts.size(), 1u);
    const ChartData& chart = jan->charts[0];
    EXPECT_EQ(chart.column, 5);
    EXPECT_EQ(chart.item, "Sales chart");
    EXPECT_EQ(chart.chartByteA, 7);
    EXPECT_EQ(chart.series,
              (std::vector<std::string>{"=SERIES('Jan'!$A$1,'Jan'!$A$2:$A$4,'Jan'!$B$2:$B$4,1)",
                                        "=SERIES('Jan'!$B$1,'Jan'!$A$2:$A$4,'Jan'!$C$2:$C$4,2)"}));
    EXPECT_NE(chart.formatFlags & 0x1, 0u);  // series down columns

    const SheetData* feb = findSheet(back, "Feb");
    ASSERT_NE(feb, nullptr);
    EXPECT_TRUE(feb->cells.empty());
    EXPECT_TRUE(feb->columns.empty());
    EXPECT_EQ(feb->fontSize, 10);
}

TEST_F(RoundTrip, HighResolutionFontSizesMapThroughTheFourLevels) {
    addintest::linkBook(ann, workbook, kSynchronize, /*highResolution=*/true, /*fontMapping=*/2);
    SheetData sheet;
    sheet.name = "Fonts";
    sheet.fontSize = 10;
    // With mapping 2 the default size is level 1 (high-resolution large);
    // cells with flags of their own get their own level.
    const int32_t sizes[] = {8, 10, 12, 14, 20};
    const int32_t expected[] = {8, 10, 12, 14, 14};
    for (int i = 0; i < 5; ++i) sheet.cells.push_back(cell(1, i + 1, "x", 0x0C, sizes[i]));
    // Without flags of its own a cell starts from the sheet's level, and the
    // font bits are only ever added to it.
    sheet.cells.push_back(cell(2, 1, "inherits", 0, 8));
    sheet.columns.resize(1);
    sheet.columns[0].column = 1;
    sheet.columns[0].width = 20;
    Book book;
    book.sheets = {sheet};

    Book back = roundTrip(book);
    ASSERT_EQ(back.sheets.size(), 1u);
    const SheetData& s = back.sheets[0];
    EXPECT_EQ(s.bookFlags, 0x03);
    EXPECT_EQ(s.formatFlags, 0x100800u);
    EXPECT_EQ(s.fontSize, 10);
    for (int i = 0; i < 5; ++i) {
        const CellData* c = findCell(s, 1, i + 1);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->fontSize, expected[i]) << sizes[i] << " points";
    }
    EXPECT_EQ(findCell(s, 1, 1)->formatFlags, 0x30000Cu);  // level 0
    EXPECT_EQ(findCell(s, 1, 2)->formatFlags, 0x30080Cu);  // level 1
    EXPECT_EQ(findCell(s, 1, 3)->formatFlags, 0x20000Cu);  // level 2
    EXPECT_EQ(findCell(s, 1, 4)->formatFlags, 0x20080Cu);  // level 3
    EXPECT_EQ(findCell(s, 2, 1)->fontSize, 10);
    ASSERT_EQ(s.columns.size(), 1u);
    EXPECT_EQ(s.columns[0].formatFlags, 0x1000Fu);
}

TEST_F(RoundTrip, HighResolutionWithTheDefaultMappingAddsTheHighResolutionBit) {
    addintest::linkBook(ann, workbook, kSynchronize, /*highResolution=*/true, /*fontMapping=*/0);
    SheetData sheet;
    sheet.name = "Fonts";
    sheet.fontSize = 10;
    sheet.cells = {cell(1, 1, "big", 0x0C, 13), cell(1, 2, "plain", 0x0C, 10)};
    sheet.columns.resize(1);
    sheet.columns[0].column = 2;
    sheet.columns[0].width = 20;
    Book book;
    book.sheets = {sheet};

    Book back = roundTrip(book);
    ASSERT_EQ(back.sheets.size(), 1u);
    const SheetData& s = back.sheets[0];
    EXPECT_EQ(s.bookFlags, 0x03);
    EXPECT_EQ(findCell(s, 1, 1)->formatFlags, 0x30080Cu);
    EXPECT_EQ(findCell(s, 1, 1)->fontSize, 12);
    EXPECT_EQ(findCell(s, 1, 2)->formatFlags, 0x30000Cu);
    EXPECT_EQ(findCell(s, 1, 2)->fontSize, 10);
    ASSERT_EQ(s.columns.size(), 1u);
    EXPECT_EQ(s.columns[0].formatFlags, 0x11000Fu);
}

TEST_F(RoundTrip, TheHandheldsCopyDecidesSizesAndPasswordOfTheNextExport) {
    addintest::linkBook(ann, workbook, kSynchronize);
    SheetData sheet;
    sheet.name = "Jan";
    sheet.rows = {{1, 30}};
    sheet.columns.resize(1);
    sheet.columns[0].column = 1;
    sheet.columns[0].width = 50;
    sheet.cells = {cell(1, 1, "first")};
    Book book;
    book.sheets = {sheet};
    ASSERT_EQ(addintest::exportInChild(box.dir, workbook, book).exitCode, 0);
    ASSERT_EQ(addintest::hotSync(box, ann), 1);

    // On the handheld the sheet gets an open password.
    const std::string copy = box.backup(ann) + "/Budget-Jan.pdb";
    auto bytes = testsupport::readFile(copy);
    addintest::setOpenPasswordHash(
        bytes, workbook::HashPassword("secret", workbook::kCheckHashStart, workbook::ZeroHash::LittleEndian));
    testsupport::writeFile(copy, bytes);

    // The desktop sends new sizes and text: the copy's row and column
    // entries were merged first, so its sizes stay; its password stays too.
    book.sheets[0].rows = {{1, 60}};
    book.sheets[0].columns[0].width = 90;
    book.sheets[0].cells = {cell(1, 1, "second")};
    ASSERT_EQ(addintest::exportInChild(box.dir, workbook, book).exitCode, 0);
    ASSERT_EQ(addintest::hotSync(box, ann), 1);

    Book back;
    ChildTransfer in = addintest::importInChild(box.dir, workbook, back);
    EXPECT_EQ(in.exitCode, 1);
    EXPECT_EQ(in.status, BF_ERR_PASSWORD);
    EXPECT_EQ(in.call, "CheckPasswd");

    tabulo::ImportOptions options;
    options.password = "secret";
    // The first import attempt ended before the book's end: still due.
    in = addintest::importInChild(box.dir, workbook, back, options);
    ASSERT_EQ(in.exitCode, 0) << in.call << " " << in.status;
    ASSERT_EQ(back.sheets.size(), 1u);
    EXPECT_EQ(back.sheets[0].rows, (std::vector<tabulo::RowData>{{1, 30}}));
    ASSERT_EQ(back.sheets[0].columns.size(), 1u);
    EXPECT_EQ(back.sheets[0].columns[0].width, 50);
    ASSERT_EQ(back.sheets[0].cells.size(), 1u);
    EXPECT_EQ(back.sheets[0].cells[0].text, "second");
}

TEST_F(RoundTrip, APasswordIsAskedAtMostThreeTimes) {
    auto db = testsupport::makeSheetDatabase(testsupport::SheetDbSpec("Budget-Jan", 71, 5));
    addintest::setOpenPasswordHash(
        db, workbook::HashPassword("pw", workbook::kCheckHashStart, workbook::ZeroHash::LittleEndian));
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb", db);
    addintest::linkBook(ann, workbook, kHandheld);

    for (int rightAt : {1, 3, 4}) {
        int asked = 0;
        tabulo::ImportOptions options;
        options.prompt = [&](const std::string& sheet) -> std::optional<std::string> {
            EXPECT_EQ(sheet, "Jan");
            ++asked;
            return asked == rightAt ? "pw" : "wrong";
        };
        Book back;
        ChildTransfer in = addintest::importInChild(box.dir, workbook, back, options);
        if (rightAt <= 3) {
            EXPECT_EQ(in.exitCode, 0) << rightAt;
            EXPECT_EQ(back.sheets.size(), 1u);
        } else {
            EXPECT_EQ(in.status, BF_ERR_PASSWORD);
            EXPECT_TRUE(back.sheets.empty());
        }
    }
}

TEST_F(RoundTrip, ADesktopChangeSentOverAHandheldChangeIsNeverImportedBack) {
    // Both sides changed since the last transfer: the handheld's book
    // (counter 5) and the workbook.
    testsupport::writeFile(workbook, std::string("the user's workbook"));
    testsupport::SheetDbSpec handheld("Budget-Jan", 71, 5);
    handheld.cellRecords.push_back(addintest::cellRecord(1, 1, "older"));
    box.putInBackup(ann, handheld);
    addintest::linkBook(ann, workbook, kSynchronize);
    SheetData sheet;
    sheet.name = "Jan";
    sheet.cells = {cell(1, 1, "newer")};
    Book book;
    book.sheets = {sheet};

    // Saving the workbook exports it (the spreadsheet closes without any other
    // save); the handheld's change is superseded. Neither before the HotSync
    // nor after it has installed the sheet does the import check offer the
    // handheld's book.
    ChildTransfer out = addintest::exportInChild(box.dir, workbook, book);
    ASSERT_EQ(out.exitCode, 0) << out.call << " " << out.status << out.stderrText;
    for (bool synced : {false, true}) {
        if (synced) {
            ASSERT_EQ(addintest::hotSync(box, ann, /*editedOnHandheld=*/false), 1);
        }
        Book back;
        ChildTransfer in = addintest::importInChild(box.dir, workbook, back);
        EXPECT_EQ(in.call, "VerifyImport") << synced;
        EXPECT_EQ(in.status, BF_ERR_PARAMETER) << synced;
        EXPECT_TRUE(back.sheets.empty()) << synced;
    }
}

TEST(RoundTripUsers, TwoUsersLinkingOneBookBothReceiveTheExport) {
    testsupport::Sandbox box;
    const int ann = box.addUser("Ann", "1001");
    const int bo = box.addUser("Bo", "1002");
    const int cy = box.addUser("Cy", "1003");
    const std::string pc = box.dir.makeDir("pc");
    const std::string budget = pc + "/Budget.xls", other = pc + "/Other.xls";
    box.putInBackup(ann, testsupport::SheetDbSpec("Budget-Jan", 71, 7, 0x32));
    box.putInBackup(ann, testsupport::SheetDbSpec("Other-S", 71, 3));
    addintest::linkBook(ann, budget, kSynchronize);
    addintest::linkBook(bo, budget, kDesktop);
    addintest::linkBook(cy, budget, kHandheld);  // the handheld wins for Cy: no export to him
    addintest::linkBook(ann, other, kSynchronize);

    SheetData sheet;
    sheet.name = "Jan";
    sheet.cells = {cell(1, 1, "shared")};
    Book book;
    book.sheets = {sheet};

    // The add-in checks both workbooks, then exports Budget and imports
    // Other; the export saves the counters it set, the end of the import
    // the one VerifyImport set.
    ChildTransfer t = addintest::inChild(box.dir, [&](tabulo::Gridlink& lib) {
        tabulo::TransferResult r;
        SheetRecord check{};
        check.sheetName = lib.alloc(budget);
        r.status = lib.verifyExport(&check);
        lib.release(check.sheetName);
        if (r.status < 0) {
            r.call = "VerifyExport";
            return r;
        }
        TextRecord list{};
        list.text = lib.alloc(other);
        r.status = lib.verifyImport(&list);
        if (r.status < 0) {
            r.call = "VerifyImport";
            lib.release(list.text);
            return r;
        }
        r = tabulo::exportSheets(lib, book);
        if (r.ok()) {
            Book imported;
            r = tabulo::importListedSheets(lib, list, imported, {});
        }
        lib.release(list.text);
        return r;
    });
    ASSERT_EQ(t.exitCode, 0) << t.call << " " << t.detail << " " << t.status << t.stderrText;

    EXPECT_TRUE(fs::exists(box.install(ann) + "/Budget-Jan.pdb"));
    EXPECT_TRUE(fs::exists(box.install(bo) + "/Budget-Jan.pdb"));
    EXPECT_FALSE(fs::exists(box.install(cy) + "/Budget-Jan.pdb"));
    EXPECT_EQ(box.installFlag("1001"), 1);
    EXPECT_EQ(box.installFlag("1002"), 1);
    EXPECT_EQ(box.installFlag("1003"), -1);

    // Each user's file carries the category of his link (Ann's handheld
    // book is in category 3, Bo's link has the default 0).
    auto annFile = testsupport::readFile(box.install(ann) + "/Budget-Jan.pdb");
    auto boFile = testsupport::readFile(box.install(bo) + "/Budget-Jan.pdb");
    ASSERT_GT(annFile.size(), 90u);
    uint32_t record0 =
        uint32_t(annFile[78]) << 24 | uint32_t(annFile[79]) << 16 | uint32_t(annFile[80]) << 8 | annFile[81];
    EXPECT_EQ(annFile[record0 + 4 + 3] >> 4, 3);
    EXPECT_EQ(boFile[record0 + 4 + 3] >> 4, 0);

    foundation::LinkRegistry registry = box.linkRegistry();
    syncmgr::useBackupDiscovery(registry);
    ASSERT_GE(testsupport::loadLinks(registry), 0);
    EXPECT_EQ(registry.findLink(ann, "Budget")->lastSyncedCounter, 8);  // its book's counter 7, plus 1
    EXPECT_EQ(registry.findLink(bo, "Budget")->lastSyncedCounter, 1);   // no book in Bo's Backup
    EXPECT_EQ(registry.findLink(cy, "Budget")->lastSyncedCounter, 0);   // untouched
    EXPECT_EQ(registry.findLink(ann, "Other")->lastSyncedCounter, 4);   // what the import saw
}

TEST_F(RoundTrip, TheRecordLimitIsReportedWithTheCellThatBrokeIt) {
    addintest::linkBook(ann, workbook, kSynchronize);
    SheetData sheet;
    sheet.name = "Big";
    // Records 0-2 and 32,764 cells make 32,767 records; the next cell is refused.
    for (int32_t i = 0; i < 32765; ++i) sheet.cells.push_back(cell(i / 200 + 1, i % 200 + 1, "n"));
    Book book;
    book.sheets = {sheet};
    ChildTransfer out = addintest::exportInChild(box.dir, workbook, book);
    EXPECT_EQ(out.exitCode, 1);
    EXPECT_EQ(out.status, BF_ERR_TOO_MANY_CELLS);
    EXPECT_EQ(out.call, "SetCellInfo");
    EXPECT_EQ(out.detail, "sheet \"Big\", cell (164, 165)");
    EXPECT_TRUE(fs::is_empty(box.install(ann)));
}
