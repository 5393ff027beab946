// Building one sheet database from SetSheetName and SetCellInfo calls, with
// no HotSync user: golden bytes, the data rules and the record limit.
#include <memory>

#include "foundation/link_registry.h"
#include "platform/bstr.h"
#include "support/test_support.h"
#include "workbook/sheet_export.h"

using namespace workbook;
using testsupport::hexBytes;
using testsupport::sameBytes;

namespace {

// A CellRecord whose byte strings belong to the test.
struct CellInput {
    CellRecord rec{};
    CellInput(int32_t row, int32_t column, std::string_view text = {}) {
        rec.row = row;
        rec.column = column;
        rec.textColor = 0x000000;  // black
        rec.backColor = 0xFFFFFF;  // white
        rec.fontSize = 10;
        if (!text.empty()) setText(text);
    }
    ~CellInput() {
        platform::clearByteString(rec.text);
        platform::clearByteString(rec.currencyText);
    }
    CellInput(const CellInput&) = delete;
    CellInput& operator=(const CellInput&) = delete;
    CellInput& setText(std::string_view t) {
        platform::replaceByteString(rec.text, t);
        return *this;
    }
    CellInput& setCurrency(std::string_view t) {
        platform::replaceByteString(rec.currencyText, t);
        return *this;
    }
};

struct SheetInput {
    SheetRecord rec{};
    explicit SheetInput(std::string_view name) {
        rec.fontSize = 10;
        rec.defaultFontSize = 10;
        if (!name.empty()) platform::replaceByteString(rec.sheetName, name);
    }
    ~SheetInput() { platform::clearByteString(rec.sheetName); }
    SheetInput(const SheetInput&) = delete;
    SheetInput& operator=(const SheetInput&) = delete;
};

class SheetExportTest : public ::testing::Test {
protected:
    foundation::LinkRegistry registry{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
    TransferOptions options;
    TransferContext context{registry, options};
    SheetExport sheet;

    int16_t start(std::string_view book = "Budget", std::string_view name = "Jan") {
        options.exportTarget.exportBookName = std::string(book);
        SheetInput input(name);
        return sheet.SetSheetName(context, &input.rec);
    }
    int16_t put(CellInput& cell) { return sheet.SetCellInfo(context, &cell.rec); }
    int16_t put(int32_t row, int32_t column, std::string_view text = {}) {
        CellInput cell(row, column, text);
        return put(cell);
    }
    foundation::PdbImage finish() {
        CellInput closing(0, 257);
        foundation::PdbImage image;
        EXPECT_EQ(sheet.finishSheet(context, closing.rec, image), 1);
        EXPECT_TRUE(foundation::validPdbLayout(image));
        return image;
    }
    static std::vector<uint8_t> record(const foundation::PdbImage& image, size_t i) {
        auto r = foundation::recordAt(image, i);
        EXPECT_TRUE(r.has_value()) << "record " << i;
        return r ? std::vector<uint8_t>(r->begin(), r->end()) : std::vector<uint8_t>{};
    }
    // The one cell record of a sheet with a single cell.
    static SheetCell onlyCell(const foundation::PdbImage& image) {
        EXPECT_EQ(image.numRecords(), 5);
        auto r = foundation::recordAt(image, kFirstCellRecord);
        auto cell = r ? parseCellRecord(*r) : std::nullopt;
        EXPECT_TRUE(cell.has_value());
        return cell.value_or(SheetCell{});
    }
};

}  // namespace

// ---- The sheet with nothing in it -------------------------------------------------

TEST_F(SheetExportTest, ClosingCallAloneGives190GoldenBytes) {
    options.exportTarget.exportBookName = "Budget";
    options.exportTarget.authorPasswordHash = 0x11223344;
    options.exportCategory = 2;
    SheetInput input("Jan");
    input.rec.formatFlags = 0x102;
    input.rec.setting16 = 3;
    input.rec.setting20 = 4;
    input.rec.setting24 = 5;
    input.rec.setting28 = 6;
    input.rec.setting32 = 7;
    input.rec.setting36 = 0x10008;  // stored from its low 16 bits
    input.rec.options = 0x1;
    ASSERT_EQ(sheet.SetSheetName(context, &input.rec), 1);
    EXPECT_EQ(input.rec.deviceClass, 0);

    const auto golden = hexBytes(
        // name "Budget-Jan", attributes, version 71, the fixed dates
        "42756467 65742D4A 616E0000 00000000 00000000 00000000 00000000 00000000"
        "0000 0047 75541D36 75541D36 00000000 00000000 00000000 00000000"
        "44617461 50695442 00000000 00000000 0004"
        // record list: 112, 178, 182, 186, then the two zero bytes
        "00000070 00000000 000000B2 00000000 000000B6 00000000 000000BA 00000000 0000"
        // record 0: key, version, flags 0x22 (category 2, desktop sizes), format flags,
        // colours, widths, counter, settings 4 3 7 8 5 6, hash, options 0x0C01, class 2
        "00000000 0047 00 22 00000102 FF 00 0000 001E 000C 00000000 0000 0004 0003 0007 0008 0005 0006"
        "00000000 00000C01 02 00000000000000 11223344 00000000 00000000"
        // records 1 and 2 (keys alone) and the terminator
        "00000001 00010000 FFFFFFFF");
    ASSERT_EQ(golden.size(), 190u);
    foundation::PdbImage image = finish();
    EXPECT_TRUE(sameBytes(golden, foundation::pdbFileBytes(image)));
}

TEST_F(SheetExportTest, MissingRecordsAndCallsBeforeAnySheet) {
    EXPECT_EQ(sheet.SetSheetName(context, nullptr), BF_ERR_PARAMETER);
    EXPECT_EQ(sheet.SetCellInfo(context, nullptr), BF_ERR_PARAMETER);
    EXPECT_EQ(put(1, 1, "x"), BF_ERR_PROGRAM);
    EXPECT_EQ(put(0, 257), BF_ERR_PROGRAM);
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(put(1, 1, "x"), 1);
    EXPECT_EQ(put(0, 257), BF_ERR_USER);  // no owner to write it to: kept
    EXPECT_TRUE(sheet.started());
    sheet.release();
    EXPECT_FALSE(sheet.started());
    EXPECT_EQ(put(1, 1, "x"), BF_ERR_PROGRAM);
}

TEST_F(SheetExportTest, HighResolutionMarksTheBookAndTheSheetFont) {
    registry.highResolution = 1;
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(sheet.header().bookFlags, kBookHighResolution | kBookDesktopSizes);
    EXPECT_EQ(sheet.header().formatFlags, kFlagHighResFont);
    // Column entries carry 0x110000 with high resolution and no font mapping.
    CellInput column(0, 4);
    column.rec.width = 20;
    ASSERT_EQ(put(column), 1);
    EXPECT_TRUE(sameBytes(hexBytes("00010000 0004 14 00 0011000F FF 00"), record(finish(), 2)));
}

TEST_F(SheetExportTest, DatabaseNames) {
    EXPECT_EQ(sheetDatabaseName("Budget", "Jan"), "Budget-Jan");
    EXPECT_EQ(sheetDatabaseName("Budget", ""), "Budget");
    EXPECT_EQ(sheetDatabaseName("Notes", "Week.TXT"), "Notes-Week");
    EXPECT_EQ(sheetDatabaseName("Data.csv", ""), "Data");
    EXPECT_EQ(sheetDatabaseName("Book", "a.pdb.csv"), "Book-a.pdb");
    EXPECT_EQ(sheetDatabaseName("Book", "..\\..\\Jan"), "Jan");
    EXPECT_EQ(sheetDatabaseName("Book", "x/../.."), "..");
    EXPECT_EQ(sheetDatabaseName("Budget", std::string(40, 'S')), "Budget-" + std::string(24, 'S'));
}

// ---- Cells -------------------------------------------------------------------------

TEST_F(SheetExportTest, CellRecordGoldenBytes) {
    SheetInput input("Jan");
    input.rec.formatFlags = 0x102;
    options.exportTarget.exportBookName = "Budget";
    ASSERT_EQ(sheet.SetSheetName(context, &input.rec), 1);
    CellInput cell(2, 3, "Hi");
    cell.rec.formatFlags = 0x2;
    cell.rec.textColor = 0x0000FF;  // red: cube index 125
    cell.rec.chartByteA = 0x11;
    cell.rec.chartByteB = 0x22;
    cell.rec.value = 1.5;
    ASSERT_EQ(put(cell), 1);
    EXPECT_EQ(sheet.writeOffset(), 66u + 31u);
    EXPECT_TRUE(
        sameBytes(hexBytes("0002 0003 00200002 7D 00 11 22 3FF8000000000000 0002 00000000000000 4869"),
                  record(finish(), kFirstCellRecord)));
}

TEST_F(SheetExportTest, CellsThatCarryNothingLeaveNoRecord) {
    ASSERT_EQ(start(), 1);
    const uint32_t sheetDefault = sheet.header().formatFlags | kFlagColumnDefault;
    CellInput empty(5, 5);
    ASSERT_EQ(put(empty), 1);
    CellInput sameAsDefault(5, 6);
    sameAsDefault.rec.formatFlags = int32_t(sheetDefault);
    ASSERT_EQ(put(sameAsDefault), 1);
    CellInput nearBlack(5, 7);
    nearBlack.rec.textColor = 0x101010;  // quantises to black
    nearBlack.rec.backColor = 0xF0F0F0;  // quantises to white
    ASSERT_EQ(put(nearBlack), 1);
    EXPECT_EQ(sheet.numRecords(), 3);
    EXPECT_EQ(sheet.writeOffset(), 66u);

    CellInput explicitFormat(6, 1);
    explicitFormat.rec.formatFlags = 0x4;
    CellInput coloured(6, 2);
    coloured.rec.textColor = 0x0000FF;
    CellInput shaded(6, 3);
    shaded.rec.backColor = 0xC0C0C0;
    for (CellInput* c : {&explicitFormat, &coloured, &shaded}) ASSERT_EQ(put(*c), 1);
    EXPECT_EQ(sheet.numRecords(), 6);
    EXPECT_EQ(sheet.writeOffset(), 66u + 3 * 29u);
}

TEST_F(SheetExportTest, ColumnFormatWithExplicitBitIsTheCellsDefault) {
    ASSERT_EQ(start(), 1);
    // A cell whose flags equal the sheet default (plus 0x10000) carries no
    // explicit bit; one with other flags does.
    CellInput plain(1, 1, "a");
    plain.rec.formatFlags = int32_t(sheet.header().formatFlags | kFlagColumnDefault);
    ASSERT_EQ(put(plain), 1);
    CellInput other(1, 2, "b");
    other.rec.formatFlags = 0x30;
    ASSERT_EQ(put(other), 1);
    CellInput zero(1, 3, "c");  // flags 0 take the default
    ASSERT_EQ(put(zero), 1);
    CellInput large(1, 4, "d");
    large.rec.fontSize = 13;  // 1.2 x the default font: large
    ASSERT_EQ(put(large), 1);
    auto image = finish();
    auto flagsOf = [&](size_t i) { return parseCellRecord(record(image, i))->flags; };
    EXPECT_EQ(flagsOf(3), sheet.header().formatFlags | kFlagColumnDefault);
    EXPECT_EQ(flagsOf(4), 0x30u | kFlagExplicitFormat);
    EXPECT_EQ(flagsOf(5), sheet.header().formatFlags | kFlagColumnDefault);
    EXPECT_EQ(flagsOf(6), sheet.header().formatFlags | kFlagColumnDefault | kFlagLargeFont);
}

TEST_F(SheetExportTest, FormulaKeepsOnlyTheWorkbookFileName) {
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(put(1, 1, "=[C:\\Data\\Prices.XLS]Sheet1!A1"), 1);
    EXPECT_EQ(onlyCell(finish()).text, "=[Prices]Sheet1!A1");
}

TEST_F(SheetExportTest, CurrencyCodeFromTheCurrencyText) {
    struct Case {
        const char* text;
        uint32_t flags;
        uint32_t stored;
    } cases[] = {
        {"F-40C", 0x40, 0x06000040 | kFlagExplicitFormat},  // locale 0x40C: France
        {"F40C", 0x40, 0x00000040 | kFlagExplicitFormat},   // no hyphen: locale -1, no symbol match
        {"SEK", 0x40, 0x08000040 | kFlagExplicitFormat},    // long symbol
        {"kr-41D", 0x40, 0x08000040 | kFlagExplicitFormat},
        {"F-40C", 0x02, 0x00000002 | kFlagExplicitFormat},  // without 0x40 the text is not read
        // Flags handed back from an import carry the old code (8, kr): the
        // new currency replaces it instead of mixing with it (8 | 1 = 9).
        {"$-409", 0x08000040, 0x01000040 | kFlagExplicitFormat},
        {"F40C", 0x08000040, 0x00000040 | kFlagExplicitFormat},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(start(), 1);
        CellInput cell(1, 1, "12");
        cell.rec.formatFlags = int32_t(c.flags);
        cell.setCurrency(c.text);
        ASSERT_EQ(put(cell), 1);
        EXPECT_EQ(onlyCell(finish()).flags, c.stored) << c.text;
    }
}

TEST_F(SheetExportTest, TextIsCutAndBufferGrowsInSteps) {
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(sheet.recordBufferSize(), 512u * 1024 + 66);
    std::string longText(40000, 'x');
    longText += "tail";
    ASSERT_EQ(put(1, 1, longText), 1);
    EXPECT_EQ(sheet.writeOffset(), 66u + 29 + 32766);
    // Forty cells of 30,000 bytes need two more 512 KiB steps.
    for (int i = 0; i < 40; ++i) ASSERT_EQ(put(2 + i, 1, std::string(30000, char('a' + i % 26))), 1);
    EXPECT_EQ(sheet.recordBufferSize(), 3u * 512 * 1024 + 66);
    auto image = finish();
    EXPECT_EQ(parseCellRecord(record(image, 3))->text, std::string(32766, 'x'));
    EXPECT_EQ(parseCellRecord(record(image, 43))->text, std::string(30000, 'n'));
    // A text holding a NUL ends there.
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(put(1, 1, std::string_view("ab\0cd", 5)), 1);
    EXPECT_EQ(onlyCell(finish()).text, "ab");
}

TEST_F(SheetExportTest, RowNumberClassFollowsTheLargestRow) {
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(sheet.header().rowNumberClass, 2);
    ASSERT_EQ(put(99, 1, "a"), 1);
    EXPECT_EQ(sheet.header().rowNumberClass, 2);
    ASSERT_EQ(put(150, 1, "a"), 1);
    EXPECT_EQ(sheet.header().rowNumberClass, 1);
    ASSERT_EQ(put(1500, 1, "a"), 1);
    EXPECT_EQ(sheet.header().rowNumberClass, 0);
    ASSERT_EQ(put(120, 1, "a"), 1);  // a smaller row later does not widen it again
    EXPECT_EQ(sheet.header().rowNumberClass, 0);
}

TEST_F(SheetExportTest, RowAndColumnNumbersOutOfRange) {
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(put(-1, 1, "x"), BF_ERR_ROW);
    EXPECT_EQ(put(10000, 1, "x"), BF_ERR_ROW);
    EXPECT_EQ(put(0xFFFD, 1, "x"), BF_ERR_ROW);
    EXPECT_EQ(put(10000, 0), BF_ERR_ROW);        // row entry beyond 9999
    EXPECT_EQ(put(0xFFFE, 0, "x"), BF_ERR_ROW);  // a chart row without a column
    EXPECT_EQ(put(0, -3), BF_ERR_COLUMN);
    EXPECT_EQ(put(4, -1, "x"), BF_ERR_COLUMN);  // would become the end key 0xFFFF
    EXPECT_EQ(sheet.numRecords(), 3);
    EXPECT_EQ(put(9999, 256, "x"), 1);
}

// ---- Sheet defaults, rows and columns ------------------------------------------------

TEST_F(SheetExportTest, SheetDefaultsAreTakenOnceAndCapped) {
    ASSERT_EQ(start(), 1);
    CellInput defaults(0, 0);
    defaults.rec.width = 200;
    defaults.rec.height = 150;
    ASSERT_EQ(put(defaults), 1);
    EXPECT_EQ(sheet.header().defaultColumnWidth, 139);
    EXPECT_EQ(sheet.header().defaultRowHeight, 113);
    defaults.rec.width = 40;
    defaults.rec.height = 20;
    ASSERT_EQ(put(defaults), 1);  // already set: ignored
    EXPECT_EQ(sheet.header().defaultColumnWidth, 139);
    EXPECT_EQ(sheet.header().defaultRowHeight, 113);

    // The height is taken on its own default, whatever the width.
    ASSERT_EQ(start(), 1);
    defaults.rec.width = 50;
    defaults.rec.height = 15;
    ASSERT_EQ(put(defaults), 1);
    EXPECT_EQ(sheet.header().defaultColumnWidth, 50);
    EXPECT_EQ(sheet.header().defaultRowHeight, 15);
    ASSERT_EQ(start(), 1);
    defaults.rec.width = 30;
    defaults.rec.height = 12;
    ASSERT_EQ(put(defaults), 1);
    defaults.rec.height = 18;  // height still at its default 12: taken
    ASSERT_EQ(put(defaults), 1);
    EXPECT_EQ(sheet.header().defaultRowHeight, 18);
}

TEST_F(SheetExportTest, RowHeightsAreClampedAndSetOnce) {
    ASSERT_EQ(start(), 1);
    const int16_t heights[] = {3, 0, 200};
    for (int row = 1; row <= 3; ++row) {
        CellInput entry(row, 0);
        entry.rec.height = heights[row - 1];
        ASSERT_EQ(put(entry), 1);
    }
    CellInput again(1, 0);
    again.rec.height = 50;
    ASSERT_EQ(put(again), 1);
    CellInput last(9999, 0);
    last.rec.height = 255;  // above 139: 139, and counted as set
    ASSERT_EQ(put(last), 1);
    EXPECT_EQ(sheet.rowCount(), 4u);
    auto image = finish();
    EXPECT_TRUE(sameBytes(hexBytes("00000001 0001 07 0002 00 0003 8B 270F 8B"), record(image, 1)));
}

TEST_F(SheetExportTest, ColumnWidthsAreClampedAndSetOnce) {
    ASSERT_EQ(start(), 1);
    const std::pair<int32_t, int16_t> widths[] = {{3, 3}, {1, 200}, {2, 255}, {256, 0}, {3, 90}};
    for (auto [column, width] : widths) {
        CellInput entry(0, column);
        entry.rec.width = width;
        ASSERT_EQ(put(entry), 1);
    }
    EXPECT_EQ(sheet.columnCount(), 3u);
    EXPECT_TRUE(sameBytes(hexBytes("00010000"
                                   "0001 8B 00 0001000F FF 00"
                                   "0003 07 00 0001000F FF 00"
                                   "0100 00 00 0001000F FF 00"),
                          record(finish(), 2)));
}

TEST_F(SheetExportTest, FinalOffsetsAccountForRowsAndColumns) {
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(put(1, 1, "first"), 1);
    CellInput row(7, 0);
    row.rec.height = 20;
    ASSERT_EQ(put(row), 1);
    CellInput column(0, 2);
    column.rec.width = 20;
    ASSERT_EQ(put(column), 1);
    ASSERT_EQ(put(2, 2, "second"), 1);
    auto image = finish();
    ASSERT_EQ(image.numRecords(), 6);
    const size_t n = 6, r = 1, c = 1;
    EXPECT_EQ(image.recordOffset(0), 78 + 8 * n + 2);
    EXPECT_EQ(image.recordOffset(1), 78 + 8 * n + 2 + 66);
    EXPECT_EQ(image.recordOffset(2), image.recordOffset(1) + 4 + 3 * r);
    EXPECT_EQ(image.recordOffset(3), 66 + 8 * n + 88 + 3 * r + 10 * c);
    EXPECT_EQ(parseCellRecord(record(image, 3))->text, "first");
    EXPECT_EQ(parseCellRecord(record(image, 4))->text, "second");
    EXPECT_TRUE(sameBytes(hexBytes("FFFFFFFF"), record(image, 5)));
    EXPECT_EQ(image.size(), image.recordOffset(5) + 4);
}

// ---- The record limit ---------------------------------------------------------------------

TEST_F(SheetExportTest, RecordLimitRefusesEveryCallAfter32767) {
    ASSERT_EQ(start(), 1);
    for (int i = 0; sheet.numRecords() < 32766; ++i) ASSERT_EQ(put(1 + i / 256, 1 + i % 256, "v"), 1);
    // An empty cell at 32,766 adds nothing and is still taken.
    ASSERT_EQ(put(9000, 1), 1);
    EXPECT_EQ(sheet.numRecords(), 32766);
    EXPECT_EQ(put(9000, 2, "last"), 1);  // brings the sheet to 32,767: accepted
    EXPECT_EQ(sheet.numRecords(), 32767);
    EXPECT_EQ(put(9000, 3, "more"), BF_ERR_TOO_MANY_CELLS);
    EXPECT_EQ(put(0, 0), BF_ERR_TOO_MANY_CELLS);
    EXPECT_EQ(put(5, 0), BF_ERR_TOO_MANY_CELLS);
    EXPECT_EQ(put(0, 5), BF_ERR_TOO_MANY_CELLS);
    EXPECT_EQ(put(0, 257), BF_ERR_TOO_MANY_CELLS);  // the closing call too
    EXPECT_EQ(sheet.numRecords(), 32767);

    // At 32,766 the sheet still closes: 32,767 records with the terminator.
    ASSERT_EQ(start(), 1);
    for (int i = 0; sheet.numRecords() < 32766; ++i) ASSERT_EQ(put(1 + i / 256, 1 + i % 256, "v"), 1);
    auto image = finish();
    EXPECT_EQ(image.numRecords(), 32767);
}

// ---- Charts -------------------------------------------------------------------------------

TEST_F(SheetExportTest, ChartDefinitionAndItemBytes) {
    ASSERT_EQ(start(), 1);
    const std::string strings = std::string("Sales") + '\0' +
                                "=SERIES(Sheet1!$A$2,Sheet1!$B$1:$C$1,Sheet1!$B$2:$C$2,1)" + '\0' +
                                "=SERIES(Sheet1!$A$3,Sheet1!B1:D1,Sheet1!$B$3:$C$3,2)";
    CellInput chart(0xFFFE, 5, strings);
    chart.rec.width = 1;   // charts announced
    chart.rec.height = 3;  // strings in the text
    chart.rec.chartByteA = 7;
    chart.rec.chartByteB = 9;
    ASSERT_EQ(put(chart), 1);
    EXPECT_EQ(sheet.chartCount(), 1u);
    CellInput closing(0, 300);
    foundation::PdbImage image;
    ASSERT_EQ(sheet.finishSheet(context, closing.rec, image), 1);
    ASSERT_EQ(image.numRecords(), 6);

    const std::string definition = "=##(Sheet1!$A$2:$A$3,Sheet1!$B$1:$D$1,Sheet1!$B$2:$C$2,Sheet1!$B$3:$C$3)";
    std::vector<uint8_t> expected = hexBytes("FFFE 0005 00010000 FF 00 07 09 0000000000000000");
    expected.push_back(0);
    expected.push_back(uint8_t(definition.size()));
    expected.resize(expected.size() + 7, 0);
    expected.insert(expected.end(), definition.begin(), definition.end());
    EXPECT_TRUE(sameBytes(expected, record(image, 3)));
    // The item: number 1, the first string, a NUL - eight bytes of text.
    EXPECT_TRUE(sameBytes(hexBytes("FFFF 0001 00010000 FF 00 00 00 0000000000000000 0008 00000000000000"
                                   "0001 53616C6573 00"),
                          record(image, 4)));
    // Closing leaves the sheet as it was: a second closing builds the same file.
    EXPECT_EQ(sheet.chartCount(), 1u);
    foundation::PdbImage again;
    ASSERT_EQ(sheet.finishSheet(context, closing.rec, again), 1);
    EXPECT_TRUE(sameBytes(image.bytes, again.bytes));
}

TEST_F(SheetExportTest, ChartSeriesDownColumnsSetFlagOne) {
    ASSERT_EQ(start(), 1);
    const std::string strings = std::string("Col") + '\0' + "=SERIES(,(Sheet1!$A$2:$A$9),Sheet1!$B$2:$B$9,1)";
    CellInput chart(0xFFFF, 2, strings);
    chart.rec.height = 2;
    chart.rec.formatFlags = 0x100;
    ASSERT_EQ(put(chart), 1);
    auto image = finish();
    const auto bytes = record(image, 3);
    auto def = parseCellRecord(bytes);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->key, (RecordKey{0xFFFE, 2}));
    EXPECT_EQ(def->flags, 0x101u | kFlagExplicitFormat);
    EXPECT_EQ(def->text, "=##(0,Sheet1!$A$2:$A$9,Sheet1!$B$2:$B$9)");
}

TEST_F(SheetExportTest, ChartStringCountsAreCheckedAgainstTheText) {
    ASSERT_EQ(start(), 1);
    const std::string two = std::string("One") + '\0' + "=SERIES(S!$A$1,S!$B$1,S!$C$1:$C$4,1)";
    CellInput tooFew(0xFFFE, 1, two);
    tooFew.rec.height = 1;  // one string: nothing stored
    ASSERT_EQ(put(tooFew), 1);
    CellInput negative(0xFFFE, 1, two);
    negative.rec.height = -5;
    ASSERT_EQ(put(negative), 1);
    CellInput single(0xFFFE, 1, "Lonely");
    single.rec.height = 4;  // announces four strings, holds one
    ASSERT_EQ(put(single), 1);
    EXPECT_EQ(sheet.numRecords(), 3);
    EXPECT_EQ(sheet.chartCount(), 0u);

    CellInput more(0xFFFE, 1, two);
    more.rec.height = 50;  // announces fifty, holds two
    ASSERT_EQ(put(more), 1);
    const std::string three = two + '\0' + "=SERIES(S!$A$2,S!$B$1,S!$D$1:$D$4,2)";
    CellInput fewer(0xFFFE, 2, three);
    fewer.rec.height = 2;  // only the first series is used
    ASSERT_EQ(put(fewer), 1);
    EXPECT_EQ(sheet.chartCount(), 2u);
    auto image = finish();
    EXPECT_EQ(parseCellRecord(record(image, 3))->text, "=##(S!$A$1:$A$1,S!$B$1:$B$1,S!$C$1:$C$4)");
    EXPECT_EQ(parseCellRecord(record(image, 4))->text, "=##(S!$A$1:$A$1,S!$B$1:$B$1,S!$C$1:$C$4)");
    const auto itemBytes = record(image, 6);
    auto item2 = parseChartItemText(parseCellRecord(itemBytes)->text);
    ASSERT_TRUE(item2);
    EXPECT_EQ(item2->itemNumber, 2);
    EXPECT_EQ(item2->name, "One");
}

TEST_F(SheetExportTest, ManyChartsWriteItemsBeyondColumn256) {
    ASSERT_EQ(start(), 1);
    const std::string strings = std::string("C") + '\0' + "=SERIES(S!$A$1,S!$B$1,S!$C$1:$C$4,1)";
    for (int i = 0; i < 300; ++i) {
        CellInput chart(0xFFFE, 1 + i % 256, strings);
        chart.rec.width = 2;  // announces two charts: more keep coming
        chart.rec.height = 2;
        ASSERT_EQ(put(chart), 1);
    }
    EXPECT_EQ(sheet.chartCount(), 300u);
    auto image = finish();
    ASSERT_EQ(image.numRecords(), 3 + 300 + 300 + 1);
    const auto bytes = record(image, 3 + 300 + 299);
    auto lastItem = parseCellRecord(bytes);
    ASSERT_TRUE(lastItem);
    EXPECT_EQ(lastItem->key, (RecordKey{0xFFFF, 300}));
    EXPECT_EQ(parseChartItemText(lastItem->text)->itemNumber, 300);
}
