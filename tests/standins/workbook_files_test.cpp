// The add-in stand-in's workbook files: JSON descriptions (texts between
// UTF-8 and Windows-1252, colours, flags, refusals), CSV sheets and their
// file names, and the paths links are recorded with.
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>

#include "platform/faults.h"
#include "support/test_support.h"
#include "workbook_csv.h"
#include "workbook_files.h"
#include "workbook_json.h"

using namespace tabulo;

TEST(WorkbookText, Windows1252AndUtf8ConvertBothWays) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    EXPECT_EQ(toAnsi(toUtf8(all)), all);
    EXPECT_EQ(toUtf8("\x80\x9F\xE4"), "\xE2\x82\xAC\xC5\xB8\xC3\xA4");  // euro, Y diaeresis, a umlaut
    // What Windows-1252 cannot hold, and bytes that are not UTF-8, become '?'.
    EXPECT_EQ(toAnsi("\xE2\x88\x9E x \xF0\x9F\x98\x80"), "? x ?");
    EXPECT_EQ(toAnsi("a\xC3"), "a?");
    EXPECT_EQ(toAnsi("\xC3\x28"), "?(");
    EXPECT_EQ(toAnsi(std::string("nul\0inside", 10)), std::string("nul\0inside", 10));
}

TEST(WorkbookJson, WrittenAndReadBackUnchanged) {
    Book book;
    SheetData s;
    s.name = "Jan \x80";
    s.formatFlags = 0x80100800;
    s.settings = {-2, 3, 4, 5, 6, -7};
    s.options = 0xC01;
    s.rows = {{2, 7}};
    ColumnData c;
    c.column = 3;
    c.width = 40;
    c.textColor = 0x0000FF;
    s.columns = {c};
    CellData cell;
    cell.row = 9999;
    cell.column = 256;
    cell.text = std::string("a\"b\\c\nd\0e", 10);
    cell.value = -0.0;
    cell.formatFlags = 0xFF200040;
    cell.backColor = 0x123456;
    cell.currency = "[$kr-41D]";
    cell.chartByteA = 1;
    cell.chartByteB = 255;
    s.cells = {cell};
    cell.value = std::numeric_limits<double>::infinity();
    s.cells.push_back(cell);
    s.charts = {ChartData{5, "Pie", {"=SERIES(A1,B1:B2,C1:C2,1)", "=SERIES(,,D1:D2,2)"}, 0x1, 7, 8}};
    book.sheets = {s, SheetData()};

    Book back;
    std::string error;
    ASSERT_TRUE(readJson(writeJson(book), back, error)) << error;
    ASSERT_EQ(back.sheets.size(), 2u);
    const SheetData& b = back.sheets[0];
    EXPECT_EQ(b.name, s.name);
    EXPECT_EQ(b.formatFlags, s.formatFlags);
    EXPECT_EQ(b.settings, s.settings);
    EXPECT_EQ(b.options, s.options);
    EXPECT_EQ(b.rows, s.rows);
    EXPECT_EQ(b.columns, s.columns);
    EXPECT_EQ(b.charts, s.charts);
    ASSERT_EQ(b.cells.size(), 2u);
    EXPECT_EQ(b.cells[0].text, s.cells[0].text);
    EXPECT_TRUE(std::signbit(b.cells[0].value));
    EXPECT_EQ(b.cells[1].value, s.cells[1].value);
    EXPECT_EQ(b.cells[0].formatFlags, 0xFF200040u);
    EXPECT_EQ(b.cells[0].backColor, 0x123456u);
    EXPECT_EQ(b.cells[0].currency, "[$kr-41D]");
    EXPECT_EQ(b.cells[0].chartByteB, 255);
}

TEST(WorkbookJson, FieldsTakeSeveralSpellingsAndDefaults) {
    Book book;
    std::string error;
    ASSERT_TRUE(readJson(R"({"sheets": [{"cells": [{"row": 1, "column": 2, "formatFlags": 64,
        "textColor": "#ff8000", "backgroundColor": 255, "value": "nan"}]}]})",
                         book, error))
        << error;
    const SheetData& s = book.sheets.at(0);
    EXPECT_EQ(s.name, "");
    EXPECT_EQ(s.defaultColumnWidth, 30);
    EXPECT_EQ(s.settings, (std::array<int32_t, 6>{1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(s.fontSize, 10);
    const CellData& c = s.cells.at(0);
    EXPECT_EQ(c.formatFlags, 64u);
    EXPECT_EQ(c.textColor, 0x0080FFu);  // COLORREF: red in the low byte
    EXPECT_EQ(c.backColor, 255u);
    EXPECT_TRUE(std::isnan(c.value));
    EXPECT_EQ(c.fontSize, 0);

    ASSERT_TRUE(readJson("{}", book, error));
    EXPECT_TRUE(book.sheets.empty());
}

TEST(WorkbookJson, MistakesAreRefusedWithTheFieldsPath) {
    struct Case {
        const char* text;
        const char* message;
    };
    for (const Case& c :
         {Case{"[1]", "workbook: must be an object"},
          Case{"{\"sheets\": 3}", "workbook.sheets: must be a list"},
          Case{"{\"sheets\": [{}, 4]}", "sheets[1]: must be an object"},
          Case{"{\"sheets\": [{\"fontSize\": 40000}]}", "sheets[0].fontSize: must be from -32768 to 32767"},
          Case{"{\"sheets\": [{\"settings\": [1, 2]}]}", "sheets[0].settings: must be a list of six numbers"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1.5, \"column\": 1}]}]}",
               "sheets[0].cells[0].row: must be a whole number"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"column\": 1, \"formatFlags\": \"0x1G\"}]}]}",
               "sheets[0].cells[0].formatFlags: must be a number or \"0x\" and hexadecimal digits"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"column\": 1, \"formatFlags\": \"0x100000000\"}]}]}",
               "sheets[0].cells[0].formatFlags: is out of range"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"column\": 1, \"textColor\": \"red\"}]}]}",
               "sheets[0].cells[0].textColor: must be \"#RRGGBB\" or a COLORREF number"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"column\": 1, \"chartBytes\": [1, 256]}]}]}",
               "sheets[0].cells[0].chartBytes[1]: must be a number from 0 to 255"},
          Case{"{\"sheets\": [{\"charts\": [{\"column\": 2, \"series\": [\"=SERIES()\", 2]}]}]}",
               "sheets[0].charts[0].series[1]: must be a text"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"column\": 257}]}]}",
               "sheets[0].cells[0].column: must be from 1 to 256"},
          Case{"{\"sheets\": [{\"rows\": [{\"row\": 0}]}]}", "sheets[0].rows[0].row: must be from 1 to 9999"},
          Case{"{\"sheets\": [{\"cells\": [{\"row\": 1, \"text\": \"x\"}]}]}",
               "sheets[0].cells[0].column: is missing"},
          Case{"{\"sheets\": [", "not a JSON text"}}) {
        Book book;
        book.sheets.resize(1);
        std::string error;
        EXPECT_FALSE(readJson(c.text, book, error)) << c.text;
        EXPECT_EQ(error, c.message) << c.text;
        EXPECT_EQ(book.sheets.size(), 1u);  // left as it was
    }
}

TEST(WorkbookCsv, SheetsAreWrittenQuotedWithEmptyPlaces) {
    SheetData s;
    CellData a, b, c;
    a.row = 3, a.column = 2, a.text = "say \"hi\", twice";
    b.row = 1, b.column = 1, b.text = "first";
    c.row = 3, c.column = 4, c.text = "";
    s.cells = {a, b, c};
    // Cells in row and column order; a cell in row 3, column 2 after two line ends and one separator.
    EXPECT_EQ(writeCsvSheet(s), "\"first\"\r\n\r\n,\"say \"\"hi\"\", twice\",,\"\"");
    EXPECT_EQ(writeCsvSheet(SheetData()), "");
}

TEST(WorkbookCsv, FieldsRowsAndQuotesAreRead) {
    SheetData s;
    EXPECT_TRUE(readCsvSheet("a,\"b\"\"c\",,d\r\n\"multi\r\nline\",x\n\n\"tail\"x,", s));
    std::vector<std::tuple<int, int, std::string>> got;
    for (const CellData& c : s.cells) got.emplace_back(c.row, c.column, c.text);
    EXPECT_EQ(got, (std::vector<std::tuple<int, int, std::string>>{{1, 1, "a"},
                                                                   {1, 2, "b\"c"},
                                                                   {1, 4, "d"},
                                                                   {2, 1, "multi\r\nline"},
                                                                   {2, 2, "x"},
                                                                   {4, 1, "tailx"}}));
    SheetData open;
    EXPECT_TRUE(readCsvSheet("\"never closed", open));
    ASSERT_EQ(open.cells.size(), 1u);
    EXPECT_EQ(open.cells[0].text, "never closed");
}

TEST(WorkbookCsv, FieldsBeyondTheSheetAreLeftOutAndReported) {
    // Column 257 would close the sheet in the library; row 10000 does not exist.
    SheetData wide, tall, edge;
    EXPECT_FALSE(readCsvSheet(std::string(256, ',') + "x,y", wide));
    EXPECT_TRUE(wide.cells.empty());
    EXPECT_FALSE(readCsvSheet(std::string(9999, '\n') + "x", tall));
    EXPECT_TRUE(tall.cells.empty());
    EXPECT_TRUE(readCsvSheet(std::string(9998, '\n') + std::string(255, ',') + "x,,,", edge));
    ASSERT_EQ(edge.cells.size(), 1u);
    EXPECT_EQ(edge.cells[0].row, 9999);
    EXPECT_EQ(edge.cells[0].column, 256);
}

TEST(WorkbookCsv, EachSheetHasAFileBesideTheOutput) {
    EXPECT_EQ(csvPathForSheet("/out/Budget.csv", "Jan"), "/out/Budget-Jan.csv");
    EXPECT_EQ(csvPathForSheet("/out/Budget-Feb.CSV", "Jan"), "/out/Budget-Jan.csv");
    EXPECT_EQ(csvPathForSheet("/my-folder/Budget.csv", "Jan"), "/my-folder/Budget-Jan.csv");
    EXPECT_EQ(csvPathForSheet("/out/Budget.csv", ""), "/out/Budget.csv");

    testsupport::TempDir dir;
    Book book;
    book.sheets.resize(2);
    book.sheets[0].name = "Jan";
    book.sheets[1].name = "../escape";
    std::string error;
    std::vector<std::string> written;
    EXPECT_FALSE(writeCsvBook(dir.file("Budget.csv"), book, error, &written));
    EXPECT_EQ(error, "sheet name \"../escape\" cannot be part of a file name");
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/../escape.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("Budget-Jan.csv"))) << "a refused book writes no sheet";
    book.sheets[1].name = "";  // a sheet without a name is the book's own file
    ASSERT_TRUE(writeCsvBook(dir.file("Budget.csv"), book, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir.file("Budget.csv")));
}

TEST(WorkbookCsv, ABookThatCannotBeWrittenWholeLeavesTheOldBook) {
    testsupport::TempDir dir;
    Book book;
    for (const char* name : {"Jan", "Feb", "Mar"}) {
        SheetData sheet;
        sheet.name = name;
        CellData cell;
        cell.row = cell.column = 1;
        cell.text = std::string("new ") + name;
        sheet.cells.push_back(cell);
        book.sheets.push_back(sheet);
    }
    for (const char* name : {"Budget-Jan.csv", "Budget-Feb.csv", "Budget-Mar.csv"})
        testsupport::writeFile(dir.file(name), std::string("old"));
    std::string error;
    platform::faults::arm(platform::faults::Op::Write, ENOSPC, 1);  // the disk fills at the second sheet
    EXPECT_FALSE(writeCsvBook(dir.file("Budget.csv"), book, error));
    platform::faults::disarmAll();
    EXPECT_NE(error.find("Budget-Feb.csv: No space left on device"), std::string::npos) << error;
    for (const char* name : {"Budget-Jan.csv", "Budget-Feb.csv", "Budget-Mar.csv"})
        EXPECT_EQ(testsupport::readFile(dir.file(name)), testsupport::bytesOf("old")) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "temporary file left";
    ASSERT_TRUE(writeCsvBook(dir.file("Budget.csv"), book, error)) << error;
    EXPECT_EQ(testsupport::readFile(dir.file("Budget-Feb.csv")), testsupport::bytesOf("\"new Feb\""));
}

TEST(WorkbookCsv, ABookIsEveryFileOfItsName) {
    testsupport::TempDir dir;
    for (const char* name : {"Budget-Jan.csv", "BUDGET-feb.CSV", "Budget.csv", "Budgets-Jan.csv",
                             "Budget-Jan-2.csv", "Budget-Mar.txt"})
        testsupport::writeFile(dir.file(name), std::string("\"") + name + "\"");
    Book book;
    std::string error;
    ASSERT_TRUE(readCsvBook(dir.file("Budget-Anything.csv"), book, error)) << error;
    std::vector<std::string> names, texts;
    for (const SheetData& s : book.sheets) {
        names.push_back(s.name);
        texts.push_back(s.cells.at(0).text);
    }
    // Name order without regard to case: '-' sorts before '.'.
    EXPECT_EQ(names, (std::vector<std::string>{"feb", "Jan", ""}));
    EXPECT_EQ(texts, (std::vector<std::string>{"BUDGET-feb.CSV", "Budget-Jan.csv", "Budget.csv"}));

    EXPECT_FALSE(readCsvBook(dir.file("Other.csv"), book, error));
    EXPECT_EQ(error, "no CSV file of the book Other in " + dir.path());
}

TEST(WorkbookFiles, ContentDecidesForWorkbookFiles) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("template.xls"), std::string("\xD0\xCF\x11\xE0 binary"));
    testsupport::writeFile(dir.file("book.xls"), std::string("  \n{\"sheets\": [{\"name\": \"S\"}]}"));
    Book book;
    book.sheets.resize(3);
    std::string error;
    bool empty = false;
    ASSERT_TRUE(readWorkbookFile(dir.file("template.xls"), book, error, &empty));
    EXPECT_TRUE(empty);
    EXPECT_TRUE(book.sheets.empty());
    ASSERT_TRUE(readWorkbookFile(dir.file("book.xls"), book, error, &empty));
    EXPECT_FALSE(empty);
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].name, "S");

    EXPECT_EQ(outputFormatOf("a.JSON"), WorkbookFormat::Json);
    EXPECT_EQ(outputFormatOf("a.Xls"), WorkbookFormat::Json);
    EXPECT_EQ(outputFormatOf("a.csv"), WorkbookFormat::Csv);
    EXPECT_EQ(outputFormatOf("a.xlsx"), WorkbookFormat::Unknown);
}

TEST(WorkbookFiles, LinkPathsAreMadeAbsoluteAndPlain) {
    EXPECT_EQ(absolutePath("/a/./b//c/../d.xls"), "/a/b/d.xls");
    EXPECT_EQ(absolutePath("/../x.xls"), "/x.xls");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(absolutePath("x.xls"), cwd + "/x.xls");
    EXPECT_EQ(absolutePath("./sub/../x.xls"), cwd + "/x.xls");
}

TEST(WorkbookCurrency, BracketsAreDroppedForTheExport) {
    EXPECT_EQ(currencyForExport("[$kr-41D]"), "kr-41D");
    EXPECT_EQ(currencyForExport("[$\xA5]"), "\xA5");
    EXPECT_EQ(currencyForExport("[$$-409]"), "$-409");
    EXPECT_EQ(currencyForExport("kr-41D"), "kr-41D");
    EXPECT_EQ(currencyForExport("$"), "$");
    EXPECT_EQ(currencyForExport("[$"), "[$");
}
