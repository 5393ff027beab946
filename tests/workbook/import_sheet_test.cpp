// Opening listed sheet databases and walking their data: GetSheetName,
// CheckPasswd and GetCellInfo as the add-in calls them.
#include "workbook/sheet_import.h"

#include "foundation/byteorder.h"
#include "platform/bstr.h"
#include "support/test_support.h"
#include "workbook/book_lister.h"
#include "workbook/palette.h"
#include "workbook/passwords.h"

using namespace workbook;
using testsupport::writeFile;
using Bytes = std::vector<uint8_t>;

namespace {

// ---- Building sheet databases ----------------------------------------------------

Bytes pdbFile(const std::string& name, uint16_t version, const std::vector<Bytes>& records) {
    return testsupport::databaseFile(testsupport::databaseHeader(name, version), records);
}

Bytes cellRecord(uint16_t row, uint16_t column, std::string_view text, uint32_t flags = 0,
                 uint8_t textColor = 255, uint8_t backColor = 0, double value = 0.0, uint8_t chartA = 0) {
    SheetCell c;
    c.key = {row, column};
    c.flags = flags;
    c.textColor = textColor;
    c.backColor = backColor;
    c.chartByteA = chartA;
    c.value = value;
    c.text = text;
    Bytes out;
    appendCellRecord(out, c);
    return out;
}

struct SheetFile {
    std::string name = "Budget-Jan";
    BookHeader header = [] {
        BookHeader h = bookHeaderTemplate();
        h.version = 71;
        h.bookFlags = kBookDesktopSizes;
        return h;
    }();
    std::vector<RowEntry> rows;
    std::vector<ColumnEntry> columns;
    std::vector<Bytes> cells;
    bool terminator = true;
    std::vector<Bytes> afterTerminator;

    Bytes bytes() const {
        std::vector<Bytes> records{buildHeaderRecord(header), buildRowEntriesRecord(rows),
                                   buildColumnEntriesRecord(columns)};
        records.insert(records.end(), cells.begin(), cells.end());
        if (terminator) records.push_back(buildTerminatorRecord());
        records.insert(records.end(), afterTerminator.begin(), afterTerminator.end());
        return pdbFile(name, 71, records);
    }
};

// ---- The add-in's records ------------------------------------------------------------

struct Sheet : SheetRecord {
    explicit Sheet(int16_t number = 1) : SheetRecord{} {
        sheetNumber = number;
        defaultFontSize = 10;
    }
    ~Sheet() {
        platform::clearByteString(sheetName);
        platform::clearByteString(currencyText);
    }
    Sheet(const Sheet&) = delete;
};

struct Cell : CellRecord {
    Cell() : CellRecord{} {}
    ~Cell() {
        platform::clearByteString(text);
        platform::clearByteString(currencyText);
    }
    Cell(const Cell&) = delete;
    std::string textBytes() const { return std::string(platform::byteStringView(text)); }
    std::string currency() const { return std::string(platform::byteStringView(currencyText)); }
};

struct Text : TextRecord {
    Text(int16_t n, std::string_view bytes) : TextRecord{} {
        number = n;
        text = platform::allocByteString(bytes);
    }
    ~Text() { platform::clearByteString(text); }
    Text(const Text&) = delete;
};

class Import : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string folder = dir.makeDir("Backup");
    foundation::LinkRegistry registry{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
    TransferOptions options;
    TransferContext context{registry, options};
    // Counts the ends of a book; releases the state when asked, as the
    // library's registry refresh there does.
    struct BookEnds : SheetImportOwner {
        int calls = 0;
        SheetImport* releasing = nullptr;
        void atBookEnd() override {
            ++calls;
            if (releasing) releasing->release();
        }
    } ends;
    SheetImport import{&ends};

    void SetUp() override { registry.userList.push_back(foundation::UserEntry{"Ann", 1, 0, {}}); }

    void put(const SheetFile& file, const std::string& fileName = "") {
        writeFile(folder + "/" + (fileName.empty() ? file.name + ".pdb" : fileName), file.bytes());
    }
    // Lists the book of the sheets put into the folder, as VerifyImport does.
    Text list(const std::string& book = "Budget") {
        Text t(kListSheetDatabases, folder + "/" + book);
        EXPECT_GT(ListBookFiles(&t, nullptr, import.lastListedBook), 0);
        return Text(t.number, platform::byteStringView(t.text));
    }
    int16_t open(const SheetFile& file, Sheet& sheet) {
        put(file);
        Text l = list(file.name);
        return import.GetSheetName(context, &sheet, &l);
    }
    int16_t next(Cell& cell) { return import.GetCellInfo(context, &cell); }
    // Walks the rest of the sheet; the statuses and (row, column) of every piece.
    std::vector<std::pair<int, int>> walk(Cell& cell, int16_t* end = nullptr) {
        std::vector<std::pair<int, int>> seen;
        int16_t rc;
        while ((rc = next(cell)) == 0 && seen.size() < 1000) seen.emplace_back(cell.row, cell.column);
        if (end) *end = rc;
        return seen;
    }
};

using Walk = std::vector<std::pair<int, int>>;

}  // namespace

// ---- GetSheetName ----------------------------------------------------------------------

TEST_F(Import, SheetRecordFromTheBookHeader) {
    SheetFile file;
    BookHeader& h = file.header;
    h.bookFlags = 0x32;          // category 3, desktop sizes
    h.formatFlags = 0x08000840;  // currency code 8, large font
    h.color1 = 6;
    h.color2 = 18;
    h.defaultColumnWidth = 44;
    h.defaultRowHeight = 17;
    h.setting22 = -2;
    h.setting24 = 5;
    h.setting26 = 0xFFFF;
    h.setting28 = 7;
    h.setting30 = 8;
    h.setting32 = 9;
    h.options = 0x1C00;
    registry.userList[0].deviceClass = 3;

    Sheet sheet;
    sheet.defaultSize12 = 77;         // kept as the caller put it
    ASSERT_EQ(open(file, sheet), 4);  // "Jan" and one
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "Jan");
    EXPECT_EQ(SysStringByteLen(sheet.sheetName), 3u);
    EXPECT_EQ(uint32_t(sheet.formatFlags), 0x08000840u);
    EXPECT_EQ(sheet.defaultSize8, 17);  // the default row height
    EXPECT_EQ(sheet.defaultSize12, 77);
    EXPECT_EQ(sheet.setting20, -2);      // header 22, sign-extended
    EXPECT_EQ(sheet.setting16, 5);       // header 24
    EXPECT_EQ(sheet.setting32, 0xFFFF);  // header 26, zero-extended
    EXPECT_EQ(sheet.setting36, 7);
    EXPECT_EQ(sheet.setting24, 8);
    EXPECT_EQ(sheet.setting28, 9);
    EXPECT_EQ(sheet.options, 0x1C00);
    EXPECT_EQ(sheet.bookFlags, 0x32);
    EXPECT_EQ(sheet.color1, 0xCCFFFFu);  // palette 6: FF,FF,CC
    EXPECT_EQ(sheet.color2, 0xFFFFCCu);  // palette 18: CC,FF,FF
    EXPECT_EQ(platform::byteStringView(sheet.currencyText), "[$kr-41D]");
    EXPECT_EQ(sheet.fontSize, 12);  // large font, default 10
    EXPECT_EQ(sheet.deviceClass, 3);
    EXPECT_EQ(import.openDatabaseName(), "Budget-Jan");
    EXPECT_EQ(options.importUser, 0);  // none chosen: user 0
}

TEST_F(Import, SheetNumbersOutsideTheList) {
    for (const char* name : {"Budget-A", "Budget-B", "Budget-C"}) {
        SheetFile f;
        f.name = name;
        put(f);
    }
    Text l = list();
    ASSERT_EQ(l.number, 3);
    for (int16_t k : {0, 4, -1}) {
        Sheet sheet(k);
        EXPECT_EQ(import.GetSheetName(context, &sheet, &l), BF_ERR_SHEET_NAME) << k;
    }
    Sheet third(3);
    EXPECT_EQ(import.GetSheetName(context, &third, &l), 2);
    EXPECT_EQ(platform::byteStringView(third.sheetName), "C");

    // A count that promises more than the list holds.
    Text longer(5, platform::byteStringView(l.text));
    Sheet fourth(4);
    EXPECT_EQ(import.GetSheetName(context, &fourth, &longer), BF_ERR_SHEET_NAME);
    EXPECT_FALSE(import.sheetOpen());
    // Lists the add-in may pass: no text, a path only, an empty name.
    Text noText(1, "");
    platform::clearByteString(noText.text);
    Sheet one(1);
    EXPECT_EQ(import.GetSheetName(context, &one, &noText), BF_ERR_SHEET_NAME);
    Text pathOnly(1, folder + "/Budget");
    EXPECT_EQ(import.GetSheetName(context, &one, &pathOnly), BF_ERR_SHEET_NAME);
    Text gap(2, folder + "/Budget" + std::string("\0\0Budget-B.pdb\0", 15));
    Sheet two(2);
    EXPECT_EQ(import.GetSheetName(context, &two, &gap), BF_ERR_SHEET_NAME);
    Text outside(1, folder + "/Budget" + std::string("\0../Budget-A.pdb\0", 17));
    EXPECT_EQ(import.GetSheetName(context, &one, &outside), BF_ERR_SHEET_NAME);
    // Missing arguments, a file that is gone.
    EXPECT_EQ(import.GetSheetName(context, nullptr, &l), BF_ERR_PARAMETER);
    EXPECT_EQ(import.GetSheetName(context, &one, nullptr), BF_ERR_PARAMETER);
    Text gone(1, folder + "/Budget" + std::string("\0Budget-Z.pdb\0", 14));
    EXPECT_EQ(import.GetSheetName(context, &one, &gone), BF_ERR_OPEN);
}

TEST_F(Import, SheetNameAfterTheLastHyphen) {
    EXPECT_EQ(sheetNameOf("A-B-C"), "C");
    EXPECT_EQ(sheetNameOf("Budget"), "Budget");
    EXPECT_EQ(sheetNameOf("Budget-"), "");
    SheetFile file;
    file.name = "A-B-C";
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 2);
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "C");
    // A sheet name replaces the one the record held.
    file.name = "Solo";
    ASSERT_EQ(open(file, sheet), 5);
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "Solo");
}

TEST_F(Import, RecordZeroMustBe66Bytes) {
    SheetFile file;
    // Rebuild with a 67-byte record 0.
    Bytes r0 = buildHeaderRecord(file.header);
    r0.push_back(0);
    writeFile(folder + "/Budget-Jan.pdb", pdbFile("Budget-Jan", 71,
                                                  {r0, buildRowEntriesRecord({}),
                                                   buildColumnEntriesRecord({}), buildTerminatorRecord()}));
    Text l = list();
    Sheet sheet;
    EXPECT_EQ(import.GetSheetName(context, &sheet, &l), BF_ERR_CORRUPT);
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "Jan");  // filled as far as it got
    EXPECT_FALSE(import.sheetOpen());
    Cell cell;
    EXPECT_EQ(next(cell), BF_ERR_PROGRAM);
}

TEST_F(Import, ShortRowAndColumnRecords) {
    SheetFile file;
    for (auto shape : {std::vector<Bytes>{{0, 0}, {1, 0, 0, 0}}, std::vector<Bytes>{{0, 0, 0, 1}, {1}},
                       std::vector<Bytes>{{0, 0, 0, 1}}, std::vector<Bytes>{}}) {
        std::vector<Bytes> records{buildHeaderRecord(file.header)};
        records.insert(records.end(), shape.begin(), shape.end());
        writeFile(folder + "/Budget-Jan.pdb", pdbFile("Budget-Jan", 71, records));
        Text l = list();
        Sheet sheet;
        EXPECT_EQ(import.GetSheetName(context, &sheet, &l), BF_ERR_CORRUPT) << shape.size();
        EXPECT_FALSE(import.sheetOpen());
    }
    // Bytes after the last whole entry are ignored.
    Bytes rows = buildRowEntriesRecord(std::vector<RowEntry>{{3, 20}});
    rows.push_back(7);
    writeFile(folder + "/Budget-Jan.pdb", pdbFile("Budget-Jan", 71,
                                                  {buildHeaderRecord(file.header), rows,
                                                   buildColumnEntriesRecord({}), buildTerminatorRecord()}));
    Text l = list();
    Sheet sheet;
    ASSERT_EQ(import.GetSheetName(context, &sheet, &l), 4);
    EXPECT_EQ(import.rowHeight(3), 20);
}

// ---- Sizes ----------------------------------------------------------------------------------

TEST_F(Import, RowHeightsScaledByDeviceClass) {
    SheetFile file;
    file.header.bookFlags = 0;  // sizes from the handheld
    file.header.defaultRowHeight = 12;
    file.rows = {{4, 24}, {5, 200}, {6, 255}, {7, 0}};
    file.columns = {ColumnEntry{2, 40, 0, 0x10000, 255, 0}};
    file.cells = {cellRecord(4, 2, "x")};

    registry.userList[0].deviceClass = 1;  // halved without high resolution
    Sheet sheet;
    sheet.defaultSize12 = 30;
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(import.rowHeight(4), 12);
    EXPECT_EQ(import.rowHeight(5), 100);
    EXPECT_EQ(import.rowHeight(6), 255);  // not set stays not set
    EXPECT_EQ(import.rowHeight(7), 0);
    EXPECT_EQ(import.columnEntry(2).width, 20);
    EXPECT_EQ(sheet.defaultSize8, 6);
    EXPECT_EQ(sheet.defaultSize12, 15);
    Cell cell;
    Walk seen = walk(cell);
    ASSERT_EQ(seen, (Walk{{0, 2}, {4, 2}}));
    EXPECT_EQ(cell.height, 12);
    EXPECT_EQ(cell.width, 20);

    // The same sheet with the desktop-sizes flag: as stored.
    file.header.bookFlags = kBookDesktopSizes;
    Sheet kept;
    ASSERT_EQ(open(file, kept), 4);
    EXPECT_EQ(import.rowHeight(4), 24);
    EXPECT_EQ(kept.defaultSize8, 12);
    // High resolution on: device class 1 keeps the sizes.
    file.header.bookFlags = 0;
    registry.highResolution = 1;
    ASSERT_EQ(open(file, kept), 4);
    EXPECT_EQ(import.rowHeight(4), 24);
}

TEST_F(Import, DoubledForDeviceClassTwoWithHighResolution) {
    SheetFile file;
    file.header.bookFlags = 0x01;  // a high-resolution book without desktop sizes
    file.header.defaultRowHeight = 113;
    file.rows = {{1, 24}, {2, 127}, {3, 128}, {4, 254}, {5, 255}};
    file.columns = {ColumnEntry{1, 139, 0, 15, 255, 0}, ColumnEntry{3, 255, 0, 0x10040, 255, 0}};
    registry.userList[0].deviceClass = 2;
    registry.highResolution = 1;
    Sheet sheet;
    sheet.defaultSize12 = 0x7FFFFFF0;  // whatever the caller put there, saturated
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(import.rowHeight(1), 48);
    EXPECT_EQ(import.rowHeight(2), 254);
    EXPECT_EQ(import.rowHeight(3), 254);  // 256 does not fit a byte
    EXPECT_EQ(import.rowHeight(4), 254);
    EXPECT_EQ(import.rowHeight(5), 255);
    EXPECT_EQ(import.columnEntry(1).width, 254);
    EXPECT_EQ(import.columnEntry(3).width, 255);
    EXPECT_EQ(sheet.defaultSize8, 226);
    EXPECT_EQ(sheet.defaultSize12, 0x7FFFFFFF);
    // Without high resolution device class 2 is not scaled.
    registry.highResolution = 0;
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(import.rowHeight(1), 24);
}

TEST(SizeScaling, Rules) {
    EXPECT_EQ(sizeScaleFor(0x00, 1, false), SizeScale::Halve);
    EXPECT_EQ(sizeScaleFor(0x02, 1, false), SizeScale::AsStored);
    EXPECT_EQ(sizeScaleFor(0xF1, 1, false), SizeScale::Halve);
    EXPECT_EQ(sizeScaleFor(0x00, 1, true), SizeScale::AsStored);
    EXPECT_EQ(sizeScaleFor(0x00, 2, true), SizeScale::Double);
    EXPECT_EQ(sizeScaleFor(0x00, 2, false), SizeScale::AsStored);
    EXPECT_EQ(sizeScaleFor(0x00, 0, true), SizeScale::AsStored);
    EXPECT_EQ(scaleDefaultSize(-7, SizeScale::Halve), -4);
    EXPECT_EQ(scaleDefaultSize(-7, SizeScale::Double), -14);
    EXPECT_EQ(scaleDefaultSize(INT32_MIN, SizeScale::Double), INT32_MIN);
}

TEST_F(Import, RowsAndColumnsOutsideTheTables) {
    SheetFile file;
    file.rows = {{0, 50}, {9999, 30}, {10000, 40}, {0xFFFF, 41}};
    file.columns = {ColumnEntry{0, 50, 0, 1, 255, 0}, ColumnEntry{256, 60, 0, 2, 255, 0},
                    ColumnEntry{257, 70, 0, 3, 255, 0}, ColumnEntry{0xFFFF, 80, 0, 4, 255, 0}};
    file.cells = {cellRecord(10000, 3, "far down"), cellRecord(9999, 256, "corner")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(import.rowHeight(0), 255);
    EXPECT_EQ(import.rowHeight(9999), 30);
    EXPECT_EQ(import.columnEntry(0).width, 255);
    EXPECT_EQ(import.columnEntry(256).width, 60);
    Cell cell;
    ASSERT_EQ(next(cell), 0);  // the one column entry inside the table
    EXPECT_EQ(cell.column, 256);
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.row, 10000);
    EXPECT_EQ(cell.height, 255);  // no table row: not set
    EXPECT_EQ(cell.width, 255);
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.height, 30);
    EXPECT_EQ(cell.width, 60);
    EXPECT_EQ(next(cell), BF_EOF);
}

// ---- GetCellInfo --------------------------------------------------------------------------

TEST_F(Import, SheetWithoutCellsHandsOutColumnEntriesThenEnds) {
    SheetFile file;
    file.columns = {ColumnEntry{5, 30, 0, 0x10000 | 0x40 | (20u << 24), 108, 6},
                    ColumnEntry{2, 255, 0, 0x110800, 255, 0}};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    cell.text = platform::allocByteString("stale");
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.walkState, kWalkColumnEntries);
    EXPECT_EQ(cell.row, 0);
    EXPECT_EQ(cell.column, 5);  // file order
    EXPECT_EQ(uint32_t(cell.formatFlags), 0x10000u | 0x40 | (20u << 24));
    EXPECT_EQ(cell.width, 30);
    EXPECT_EQ(cell.textColor, 0x66FFFFu);  // palette 108: FF,FF,66
    EXPECT_EQ(cell.backColor, 0xCCFFFFu);
    EXPECT_EQ(cell.fontSize, 10);
    EXPECT_EQ(cell.text, nullptr);
    EXPECT_EQ(cell.currency(), "[$\xA3-809]");
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.column, 2);
    EXPECT_EQ(cell.width, 255);
    EXPECT_EQ(cell.fontSize, 12);
    EXPECT_EQ(cell.currencyText, nullptr);
    EXPECT_EQ(next(cell), BF_EOF);
    EXPECT_EQ(next(cell), BF_EOF);
    // Setting the state to 0 again restarts the sheet.
    cell.walkState = 0;
    EXPECT_EQ(walk(cell), (Walk{{0, 5}, {0, 2}}));
}

TEST_F(Import, CellsColoursAndTexts) {
    SheetFile file;
    file.columns = {ColumnEntry{3, 50, 0, 0x10000, 255, 0}};
    file.rows = {{2, 20}};
    file.cells = {
        cellRecord(2, 3, "1234.5", 0x200040 | (1u << 24), 215, 0, 1234.5),
        cellRecord(2, 4, "", 0x200000, 0, 0),  // both colours 0: black on white
        cellRecord(3, 300, "beyond"),          // columns above 256 are passed over
        cellRecord(4, 1, std::string("a\0b", 3), 0x800, 1, 226),
    };
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    cell.currencyText = platform::allocByteString("[$x]");  // the caller's strings are freed
    ASSERT_EQ(next(cell), 0);                               // the column entry
    EXPECT_EQ(cell.currencyText, nullptr);
    cell.result = 9;
    cell.text = platform::allocByteString("the caller's");
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.result, 0);
    EXPECT_EQ(cell.walkState, 3);
    EXPECT_EQ(cell.row, 2);
    EXPECT_EQ(cell.column, 3);
    EXPECT_EQ(uint32_t(cell.formatFlags), 0x200040u | (1u << 24));
    EXPECT_EQ(cell.value, 1234.5);
    EXPECT_EQ(cell.textBytes(), "1234.5");
    EXPECT_EQ(cell.currency(), "[$$-409]");
    EXPECT_EQ(cell.textColor, 0x111111u);
    EXPECT_EQ(cell.backColor, 0xFFFFFFu);
    EXPECT_EQ(cell.width, 50);
    EXPECT_EQ(cell.height, 20);
    EXPECT_EQ(cell.fontSize, 10);

    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.column, 4);
    EXPECT_EQ(cell.textBytes(), "");
    EXPECT_NE(cell.text, nullptr);          // a string of length 0
    EXPECT_EQ(cell.currencyText, nullptr);  // the previous currency text is replaced by none
    EXPECT_EQ(cell.textColor, 0u);          // 255: black
    EXPECT_EQ(cell.backColor, 0xFFFFFFu);
    EXPECT_EQ(cell.width, 255);
    EXPECT_EQ(cell.height, 20);

    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.walkState, 6);  // record 5 (column 300) was passed over
    EXPECT_EQ(cell.row, 4);
    EXPECT_EQ(cell.textBytes(), std::string("a\0b", 3));
    EXPECT_EQ(cell.textColor, 0xFFCCFFu);  // palette 1: FF,CC,FF
    EXPECT_EQ(cell.backColor, 0x000080u);  // palette 226: 80,00,00
    EXPECT_EQ(cell.fontSize, 12);
    EXPECT_EQ(cell.height, 255);
    EXPECT_EQ(next(cell), BF_EOF);
    EXPECT_EQ(cell.walkState, 7);  // the terminator
}

TEST_F(Import, OldSheetsAreBlackOnWhite) {
    SheetFile file;
    file.header.version = 50;
    file.cells = {cellRecord(1, 1, "old", 0, 1, 226)};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textColor, 0u);
    EXPECT_EQ(cell.backColor, 0xFFFFFFu);
    // Version 60 is the first with colours.
    file.header.version = 60;
    ASSERT_EQ(open(file, sheet), 4);
    cell.walkState = 0;
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textColor, 0xFFCCFFu);
}

TEST_F(Import, ChartItemsAndDefinitions) {
    SheetFile file;
    file.cells = {
        cellRecord(1, 1, "Region"),
        cellRecord(kChartDefinitionRow, 9, "=##($B$1:$C$1,$A$2:$A$4,$B$2:$C$4)", kFlagSeriesInColumns, 255, 0,
                   0, 0x5A),
        cellRecord(kChartDefinitionRow, 10, ""),
        cellRecord(kChartItemRow, 1, buildChartItemText(1, "Sales")),
        cellRecord(kChartItemRow, 2, std::string(1, '\0')),  // shorter than the item number
    };
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    ASSERT_EQ(next(cell), 0);
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.row, kChartDefinitionRow);
    EXPECT_EQ(cell.column, 9);
    EXPECT_EQ(cell.chartByteA, 0x5A);
    EXPECT_EQ(cell.textBytes(), std::string("=SERIES('Jan'!$B$1,'Jan'!$A$2:$A$4,'Jan'!$B$2:$B$4,1)\0"
                                            "=SERIES('Jan'!$C$1,'Jan'!$A$2:$A$4,'Jan'!$C$2:$C$4,2)\0",
                                            2 * 54));
    cell.chartByteA = 7;
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.column, 10);
    EXPECT_EQ(cell.text, nullptr);  // an empty definition: no text
    EXPECT_EQ(cell.chartByteA, 7);
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.row, kChartItemRow);
    EXPECT_EQ(cell.column, 1);
    EXPECT_EQ(cell.textBytes(), "Sales");
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textBytes(), "");
    EXPECT_EQ(next(cell), BF_EOF);
}

TEST_F(Import, UnreadableChartDefinition) {
    SheetFile file;
    file.cells = {cellRecord(kChartDefinitionRow, 1, "=##(0,0,nonsense)"), cellRecord(1, 1, "after")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    EXPECT_EQ(next(cell), BF_ERR_PROGRAM);
    EXPECT_EQ(cell.walkState, 3);
    // A caller that goes on gets the rest of the sheet.
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textBytes(), "after");
}

// ---- Ends of walks ----------------------------------------------------------------------

TEST_F(Import, SheetWithoutTerminatorEndsAtItsLastRecord) {
    SheetFile file;
    file.terminator = false;
    file.cells = {cellRecord(1, 1, "a"), cellRecord(1, 2, "b"), cellRecord(1, 300, "passed over")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    int16_t end = 0;
    EXPECT_EQ(walk(cell, &end), (Walk{{1, 1}, {1, 2}}));
    EXPECT_EQ(end, BF_EOF);
    EXPECT_EQ(cell.walkState, 5);
    EXPECT_EQ(next(cell), BF_EOF);
    // A sheet with nothing after the column entries.
    SheetFile bare;
    bare.terminator = false;
    ASSERT_EQ(open(bare, sheet), 4);
    Cell fresh;
    EXPECT_EQ(next(fresh), BF_EOF);
    EXPECT_EQ(fresh.walkState, kWalkColumnEntries);
}

TEST_F(Import, NothingIsReadPastTheTerminator) {
    SheetFile file;
    file.cells = {cellRecord(1, 1, "a")};
    file.afterTerminator = {cellRecord(2, 2, "hidden")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    int16_t end = 0;
    EXPECT_EQ(walk(cell, &end), (Walk{{1, 1}}));
    EXPECT_EQ(end, BF_EOF);
    EXPECT_EQ(cell.walkState, 4);
    EXPECT_EQ(next(cell), BF_EOF);
    // A state pointing past the terminator does not come from this walk.
    cell.walkState = 5;
    EXPECT_EQ(next(cell), BF_ERR_PROGRAM);
}

TEST_F(Import, WalkStatesThatDoNotFit) {
    SheetFile file;
    file.cells = {cellRecord(1, 1, "a"), cellRecord(1, 2, "b")};
    Sheet sheet;
    Cell cell;
    EXPECT_EQ(next(cell), BF_ERR_PROGRAM);  // no sheet open
    EXPECT_EQ(import.GetCellInfo(context, nullptr), BF_ERR_PARAMETER);
    ASSERT_EQ(open(file, sheet), 4);
    for (int32_t state : {1, -1, -2, 6, 70000, INT32_MAX, INT32_MIN}) {
        cell.walkState = state;
        EXPECT_EQ(next(cell), BF_ERR_PROGRAM) << state;
        EXPECT_EQ(cell.walkState, state);
    }
    cell.walkState = 3;  // continue after record 3
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.column, 2);
    cell.walkState = 5;  // the terminator was read
    EXPECT_EQ(next(cell), BF_EOF);
}

TEST_F(Import, MalformedCellRecords) {
    SheetFile file;
    Bytes longText = cellRecord(1, 2, "abc");
    foundation::storeBE16(&longText[kKeySize + cell::kTextLength], 500);  // runs past the record
    Bytes shortCell = cellRecord(1, 3, "");
    shortCell.resize(20);
    file.cells = {cellRecord(1, 1, "ok"), longText, shortCell, Bytes{0, 1}, cellRecord(1, 4, "last")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    ASSERT_EQ(next(cell), 0);
    for (int32_t state : {4, 5, 6}) {
        EXPECT_EQ(next(cell), BF_ERR_CORRUPT);
        EXPECT_EQ(cell.walkState, state);  // the state moves past the bad record
    }
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textBytes(), "last");
    EXPECT_EQ(next(cell), BF_EOF);
}

TEST_F(Import, HookAtTheEndOfTheLastListedSheet) {
    for (const char* name : {"Budget-Feb", "Budget-Jan"}) {
        SheetFile f;
        f.name = name;
        f.cells = {cellRecord(1, 1, name)};
        put(f);
    }
    Text l = list();
    ASSERT_EQ(import.lastListedBook, "Budget-Jan");
    import.lastListedBook = "BUDGET-JAN";  // compared without regard to case
    for (int16_t k : {1, 2}) {
        Sheet sheet(k);
        ASSERT_EQ(import.GetSheetName(context, &sheet, &l), 4);
        Cell cell;
        int16_t end = 0;
        walk(cell, &end);
        EXPECT_EQ(end, BF_EOF);
        EXPECT_EQ(ends.calls, k == 1 ? 0 : 1);
        EXPECT_EQ(next(cell), BF_EOF);  // once per walk
        EXPECT_EQ(ends.calls, k == 1 ? 0 : 1);
    }
    // An owner that releases the state (a registry refresh does) is safe.
    ends.releasing = &import;
    Sheet last(2);
    ASSERT_EQ(import.GetSheetName(context, &last, &l), 4);
    Cell cell;
    int16_t end = 0;
    walk(cell, &end);
    EXPECT_EQ(end, BF_EOF);
    EXPECT_EQ(ends.calls, 2);
    EXPECT_EQ(next(cell), BF_ERR_PROGRAM);
}

TEST_F(Import, NoHookWithoutTerminatorOrListing) {
    SheetFile file;
    file.terminator = false;
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    Cell cell;
    EXPECT_EQ(next(cell), BF_EOF);
    // A sheet opened from an image nobody listed.
    import.lastListedBook.clear();
    file.terminator = true;
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, file.bytes()));
    ASSERT_EQ(import.openSheet(context, &sheet, std::move(image)), 4);
    Cell again;
    EXPECT_EQ(next(again), BF_EOF);
    EXPECT_EQ(ends.calls, 0);
}

// ---- Passwords --------------------------------------------------------------------------

TEST_F(Import, PasswordProtectedSheet) {
    SheetFile file;
    file.header.openPasswordHash = HashPassword("open sesame", kCheckHashStart, ZeroHash::LittleEndian);
    file.cells = {cellRecord(1, 1, "secret")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), BF_ERR_PASSWORD);
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "Jan");  // the record is filled
    EXPECT_EQ(sheet.defaultSize8, 12);
    Cell cell;
    EXPECT_EQ(next(cell), BF_ERR_PASSWORD);
    EXPECT_EQ(next(cell), BF_ERR_PASSWORD);
    EXPECT_EQ(cell.walkState, 0);

    Text wrong(0, "open sesam");
    EXPECT_EQ(import.CheckPasswd(&wrong), BF_ERR_PASSWORD);
    EXPECT_EQ(next(cell), BF_ERR_PASSWORD);  // a wrong password keeps it closed
    Text none(0, "");
    platform::clearByteString(none.text);
    EXPECT_EQ(import.CheckPasswd(&none), BF_ERR_PASSWORD);
    EXPECT_EQ(import.CheckPasswd(nullptr), BF_ERR_PARAMETER);
    Text right(0, "open sesame");
    EXPECT_EQ(import.CheckPasswd(&right), 1);
    ASSERT_EQ(next(cell), 0);
    EXPECT_EQ(cell.textBytes(), "secret");
    EXPECT_EQ(import.CheckPasswd(&wrong), BF_ERR_PASSWORD);  // and closes again
    EXPECT_EQ(next(cell), BF_ERR_PASSWORD);

    // The next GetSheetName forgets the password.
    ASSERT_EQ(open(file, sheet), BF_ERR_PASSWORD);
    EXPECT_EQ(next(cell), BF_ERR_PASSWORD);
}

TEST_F(Import, AuthorPasswordSheetIsRefused) {
    SheetFile file;
    file.header.authorPasswordHash = exportPasswordHash("author");
    file.cells = {cellRecord(1, 1, "private")};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), BF_ERR_AUTHORIZATION);
    EXPECT_EQ(platform::byteStringView(sheet.sheetName), "Jan");
    EXPECT_EQ(sheet.options, 0x0C00);
    Cell cell;
    EXPECT_EQ(next(cell), BF_ERR_AUTHORIZATION);
    Text anything(0, "author");
    EXPECT_EQ(import.CheckPasswd(&anything), BF_ERR_AUTHORIZATION);
    EXPECT_EQ(next(cell), BF_ERR_AUTHORIZATION);
    EXPECT_EQ(cell.text, nullptr);
    // Both hashes: the author password decides.
    file.header.openPasswordHash = 1234;
    ASSERT_EQ(open(file, sheet), BF_ERR_AUTHORIZATION);
}

TEST_F(Import, CheckPasswdWithoutAPassword) {
    Text any(0, "x");
    EXPECT_EQ(import.CheckPasswd(&any), BF_ERR_PROGRAM);  // no sheet open
    SheetFile file;
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(import.CheckPasswd(&any), 1);
    Text none(0, "");
    platform::clearByteString(none.text);
    EXPECT_EQ(import.CheckPasswd(&none), 1);
}

TEST_F(Import, ImportUserDecidesTheDeviceClass) {
    registry.userList.push_back(foundation::UserEntry{"Bo", 1, 1, {}});
    options.importUser = 1;
    SheetFile file;
    file.header.bookFlags = 0;
    file.rows = {{1, 24}};
    Sheet sheet;
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(sheet.deviceClass, 1);
    EXPECT_EQ(import.rowHeight(1), 12);
    options.importUser = 7;  // no such user: no device class
    ASSERT_EQ(open(file, sheet), 4);
    EXPECT_EQ(sheet.deviceClass, 0);
    EXPECT_EQ(import.rowHeight(1), 24);
}
