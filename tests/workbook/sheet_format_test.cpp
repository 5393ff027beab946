// Sheet database records: golden bytes, round trips, truncated and oversized input.
#include "workbook/sheet_format.h"

#include <memory>

#include "support/test_support.h"

using namespace workbook;
using testsupport::hexBytes;
using testsupport::sameBytes;

namespace {

// The bytes in a heap block of exactly their size, so a read past the end
// is caught by the address sanitizer.
struct Exact {
    explicit Exact(const std::vector<uint8_t>& bytes, size_t n) : data(new uint8_t[n == 0 ? 1 : n]), size(n) {
        std::copy(bytes.begin(), bytes.begin() + n, data.get());
    }
    std::span<const uint8_t> span() const { return {data.get(), size}; }
    std::unique_ptr<uint8_t[]> data;
    size_t size;
};

std::vector<uint8_t> toVector(const std::array<uint8_t, kBookHeaderSize>& a) { return {a.begin(), a.end()}; }

const std::vector<uint8_t> kTemplate71 = hexBytes(
    "0047 00 00 00000006 FF 00 0000 001E 000C 00000000 0000 0001 0001 0000 0000 0000 0000"
    "00000000 00000C00 00 00000000000000 00000000 00000000 00000000");

}  // namespace

TEST(BookHeader, TemplateWithVersionEncodesToGoldenBytes) {
    BookHeader h = bookHeaderTemplate();
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.rowNumberClass, 0);
    h.version = 71;
    EXPECT_TRUE(sameBytes(kTemplate71, toVector(encodeBookHeader(h))));
    auto record = buildHeaderRecord(h);
    ASSERT_EQ(record.size(), kHeaderRecordSize);
    EXPECT_TRUE(sameBytes(hexBytes("00000000"), {record.begin(), record.begin() + 4}));
}

TEST(BookHeader, EveryFieldLandsAtItsOffsetAndDecodesBack) {
    BookHeader h;
    h.version = 0x0102;
    h.reserved2 = 0x03;
    h.bookFlags = 0xA3;
    h.formatFlags = 0x05060708;
    h.color1 = 0x09;
    h.color2 = 0x0A;
    h.reserved10 = {0x0B, 0x0C};
    h.defaultColumnWidth = 0x0D0E;
    h.defaultRowHeight = 0x0F10;
    h.changeCounter = 0x11121314;
    h.field20 = 0x1516;
    h.setting22 = int16_t(0x1718);
    h.setting24 = int16_t(0x191A);
    h.setting26 = 0x1B1C;
    h.setting28 = 0x1D1E;
    h.setting30 = 0x1F20;
    h.setting32 = 0x2122;
    h.openPasswordHash = 0x23242526;
    h.options = 0x2728292A;
    h.rowNumberClass = 0x2B;
    h.reserved43 = {0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
    h.authorPasswordHash = 0x33343536;
    h.userPasswordHash = 0x3738393A;
    h.carried58 = {0x3B, 0x3C, 0x3D, 0x3E};
    auto bytes = toVector(encodeBookHeader(h));
    // Every byte but the flags byte at 3 holds its offset + 1 in this layout.
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 3) continue;
        EXPECT_EQ(bytes[i], uint8_t(i + 1)) << "offset " << i;
    }
    EXPECT_EQ(bytes[3], 0xA3);
    EXPECT_EQ(h.category(), 0x0A);
    auto back = decodeBookHeader(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, h);
}

TEST(BookHeader, NegativeSettingsAndCategory) {
    auto bytes = kTemplate71;
    bytes[header::kSetting22] = 0xFF;
    bytes[header::kSetting22 + 1] = 0xFE;
    bytes[header::kSetting26] = 0xFF;
    bytes[header::kSetting26 + 1] = 0xFE;
    auto h = decodeBookHeader(bytes);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->setting22, -2);
    EXPECT_EQ(h->setting26, 0xFFFE);
    h->bookFlags = 0x03;
    h->setCategory(15);
    EXPECT_EQ(h->bookFlags, 0xF3);
    h->setCategory(0x12);  // only four bits
    EXPECT_EQ(h->bookFlags, 0x23);
}

TEST(BookHeader, RecordOfAnyLengthBut66IsRefused) {
    auto record = buildHeaderRecord(bookHeaderTemplate());
    for (size_t n = 0; n < record.size(); ++n) EXPECT_FALSE(parseHeaderRecord(Exact(record, n).span())) << n;
    EXPECT_TRUE(parseHeaderRecord(Exact(record, record.size()).span()));
    record.push_back(0);
    EXPECT_FALSE(parseHeaderRecord(Exact(record, record.size()).span()));
    EXPECT_FALSE(decodeBookHeader(Exact(kTemplate71, 61).span()));
}

TEST(SheetSettings, StoredFromLow16BitsAndExtendedOnReading) {
    SheetRecord in{};
    in.setting16 = 0x00010002;  // -> 24
    in.setting20 = 0x7FFFFFFF;  // -> 22: low half 0xFFFF, read back as -1
    in.setting24 = 0x00000030;  // -> 30
    in.setting28 = 0x00000040;  // -> 32
    in.setting32 = 0x0000FFFF;  // -> 26: read back as 65535
    in.setting36 = 0x00000060;  // -> 28
    BookHeader h;
    storeSheetSettings(in, h);
    EXPECT_EQ(h.setting24, 2);
    EXPECT_EQ(h.setting22, -1);
    EXPECT_EQ(h.setting30, 0x30);
    EXPECT_EQ(h.setting32, 0x40);
    EXPECT_EQ(h.setting26, 0xFFFF);
    EXPECT_EQ(h.setting28, 0x60);
    SheetRecord out{};
    loadSheetSettings(h, out);
    EXPECT_EQ(out.setting16, 2);
    EXPECT_EQ(out.setting20, -1);
    EXPECT_EQ(out.setting24, 0x30);
    EXPECT_EQ(out.setting28, 0x40);
    EXPECT_EQ(out.setting32, 0xFFFF);
    EXPECT_EQ(out.setting36, 0x60);
}

TEST(ScrambleCounter, FixedValuesAndGoldenExamples) {
    EXPECT_EQ(ScrambleCounter(0), 0u);
    EXPECT_EQ(ScrambleCounter(0xFFFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(ScrambleCounter(0xFFFFFFFE), 0xFFFFFFFEu);
    EXPECT_EQ(ScrambleCounter(1), 0x5C3E9A70u);
    EXPECT_EQ(ScrambleCounter(0x5C3E9A70), 1u);
    EXPECT_EQ(ScrambleCounter(0xFFFFFFFD), 0xA3C1658Cu);
}

TEST(ScrambleCounter, IsItsOwnInverseButForThreeValues) {
    // These three scramble to the values stored unchanged, so they come back
    // as 0, -1 and -2: the stored form cannot tell them apart.
    const uint32_t lost[] = {0x5C3E9A71, 0xA3C1658E, 0xA3C1658F};
    const uint32_t storedAs[] = {0, 0xFFFFFFFF, 0xFFFFFFFE};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ScrambleCounter(lost[i]), storedAs[i]);
        EXPECT_EQ(ScrambleCounter(ScrambleCounter(lost[i])), storedAs[i]);
    }
    auto check = [&](uint32_t v) {
        if (v == lost[0] || v == lost[1] || v == lost[2]) return;
        ASSERT_EQ(ScrambleCounter(ScrambleCounter(v)), v) << std::hex << v;
    };
    for (uint64_t v = 0; v <= 0xFFFFFFFFull; v += 65521) check(uint32_t(v));
    for (uint32_t base : {0u, 0xFFFFFFF0u, 0x5C3E9A60u, 0xA3C16580u, 0x80000000u})
        for (uint32_t d = 0; d < 32; ++d) check(base + d);
}

TEST(Sizes, ClampingOfWidthsAndHeights) {
    const std::pair<int32_t, uint8_t> cases[] = {{0, 0},       {1, 7},     {3, 7},     {6, 7},     {7, 7},
                                                 {30, 30},     {139, 139}, {140, 139}, {200, 139}, {255, 139},
                                                 {70000, 139}, {-1, 0},    {-32768, 0}};
    for (auto [in, out] : cases) EXPECT_EQ(clampSize(in), out) << in;
    EXPECT_EQ(clampDefaultColumnWidth(30), 30);
    EXPECT_EQ(clampDefaultColumnWidth(140), 139);
    EXPECT_EQ(clampDefaultColumnWidth(3), 3);
    EXPECT_EQ(clampDefaultColumnWidth(-5), 0);
    EXPECT_EQ(clampDefaultRowHeight(113), 113);
    EXPECT_EQ(clampDefaultRowHeight(114), 113);
    EXPECT_EQ(clampDefaultRowHeight(-5), 0);
}

TEST(Entries, EmptyTablesAreTheKeyAlone) {
    EXPECT_TRUE(sameBytes(hexBytes("00000001"), buildRowEntriesRecord({})));
    EXPECT_TRUE(sameBytes(hexBytes("00010000"), buildColumnEntriesRecord({})));
    EXPECT_TRUE(sameBytes(hexBytes("FFFFFFFF"), buildTerminatorRecord()));
    EXPECT_EQ(parseRowEntries(hexBytes("00000001"))->size(), 0u);
    EXPECT_EQ(parseColumnEntries(hexBytes("00010000"))->size(), 0u);
}

TEST(Entries, GoldenBytesAndRoundTrip) {
    std::vector<RowEntry> rows{{3, 7}, {1000, 139}};
    auto rowBytes = buildRowEntriesRecord(rows);
    EXPECT_TRUE(sameBytes(hexBytes("00000001 000307 03E88B"), rowBytes));
    EXPECT_EQ(*parseRowEntries(rowBytes), rows);

    ColumnEntry col;
    col.column = 2;
    col.width = 40;
    col.flags = 0x00210000;
    ColumnEntry wide{256, 139, 0, 0x00010040, 12, 200};
    std::vector<ColumnEntry> cols{col, wide};
    auto colBytes = buildColumnEntriesRecord(cols);
    EXPECT_TRUE(
        sameBytes(hexBytes("00010000 0002 28 00 00210000 FF 00  0100 8B 00 00010040 0C C8"), colBytes));
    EXPECT_EQ(*parseColumnEntries(colBytes), cols);
    EXPECT_TRUE(ColumnEntry{}.isDefault());
    EXPECT_FALSE(col.isDefault());
}

TEST(Entries, CountsComeFromTheRecordLength) {
    auto rowBytes = buildRowEntriesRecord(std::vector<RowEntry>{{1, 20}, {2, 30}});
    for (size_t n = 0; n < kKeySize; ++n) EXPECT_FALSE(parseRowEntries(Exact(rowBytes, n).span()));
    for (size_t n = kKeySize; n <= rowBytes.size(); ++n)
        EXPECT_EQ(parseRowEntries(Exact(rowBytes, n).span())->size(), (n - kKeySize) / kRowEntrySize);

    auto colBytes = buildColumnEntriesRecord(std::vector<ColumnEntry>{{}, {}});
    for (size_t n = kKeySize; n <= colBytes.size(); ++n)
        EXPECT_EQ(parseColumnEntries(Exact(colBytes, n).span())->size(), (n - kKeySize) / kColumnEntrySize);
    // Out-of-range numbers come back as stored, for the caller to refuse.
    auto odd = *parseRowEntries(hexBytes("00000001 FFFF05 000009"));
    EXPECT_EQ(odd[0].row, 0xFFFF);
    EXPECT_EQ(odd[1].row, 0);
}

TEST(CellRecord, GoldenBytes) {
    SheetCell c;
    c.key = {2, 3};
    c.flags = 0x08200040;
    c.textColor = 161;
    c.backColor = 0;
    c.chartByteA = 1;
    c.chartByteB = 2;
    c.value = 12.5;
    c.text = "12.5";
    std::vector<uint8_t> out;
    ASSERT_TRUE(appendCellRecord(out, c));
    EXPECT_TRUE(sameBytes(
        hexBytes("0002 0003 08200040 A1 00 01 02 4029000000000000 0004 00000000000000 31322E35"), out));
    EXPECT_EQ(out.size(), cellRecordSize(4));
}

TEST(CellRecord, RoundTripKeepsEveryFieldAndNulsInText) {
    SheetCell c;
    c.key = {kChartItemRow, 1};
    c.flags = 0xFFFFFFFF;
    c.textColor = 255;
    c.backColor = 255;
    c.chartByteA = 0x80;
    c.chartByteB = 0xFF;
    c.value = -0.125;
    std::string text("\0\x01Sales\0", 8);
    c.text = text;
    std::vector<uint8_t> out;
    ASSERT_TRUE(appendCellRecord(out, c));
    Exact exact(out, out.size());  // the parsed text points into it
    auto back = parseCellRecord(exact.span());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->key, c.key);
    EXPECT_EQ(back->flags, c.flags);
    EXPECT_EQ(back->textColor, 255);
    EXPECT_EQ(back->backColor, 255);
    EXPECT_EQ(back->chartByteA, 0x80);
    EXPECT_EQ(back->chartByteB, 0xFF);
    EXPECT_EQ(back->value, -0.125);
    EXPECT_EQ(back->text, text);
}

TEST(CellRecord, TruncatedRecordsAndTextsPastTheEndAreRefused) {
    SheetCell c;
    c.key = {1, 1};
    c.text = "hello";
    std::vector<uint8_t> out;
    appendCellRecord(out, c);
    for (size_t n = 0; n < out.size(); ++n) EXPECT_FALSE(parseCellRecord(Exact(out, n).span())) << n;
    // A text length claiming more than the record holds.
    auto lying = out;
    lying[kKeySize + cell::kTextLength] = 0xFF;
    EXPECT_FALSE(parseCellRecord(Exact(lying, lying.size()).span()));
    // Bytes after the text are ignored.
    auto longer = out;
    longer.insert(longer.end(), {1, 2, 3});
    Exact exact(longer, longer.size());
    auto back = parseCellRecord(exact.span());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, "hello");
    // An empty text needs just the fixed part.
    c.text = {};
    out.clear();
    appendCellRecord(out, c);
    EXPECT_EQ(out.size(), kCellHeaderSize);
    EXPECT_TRUE(parseCellRecord(Exact(out, out.size()).span()));
}

TEST(CellRecord, EncodeRefusesSmallBuffersAndOverlongTexts) {
    std::string text(10, 'x');
    SheetCell c;
    c.text = text;
    std::vector<uint8_t> buffer(cellRecordSize(10) - 1, 0xAA);
    EXPECT_EQ(encodeCellRecord(c, buffer), 0u);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0xAA);  // nothing written
    buffer.resize(cellRecordSize(10) + 5, 0xAA);
    EXPECT_EQ(encodeCellRecord(c, buffer), cellRecordSize(10));
    EXPECT_EQ(buffer.back(), 0xAA);

    std::string huge(kMaxRecordTextLength + 1, 'x');
    c.text = huge;
    std::vector<uint8_t> out;
    EXPECT_FALSE(appendCellRecord(out, c));
    EXPECT_TRUE(out.empty());
    c.text = std::string_view(huge).substr(0, kMaxRecordTextLength);
    EXPECT_TRUE(appendCellRecord(out, c));
    EXPECT_EQ(parseCellRecord(out)->text.size(), kMaxRecordTextLength);
}

TEST(Keys, ShortKeysAreRefused) {
    EXPECT_FALSE(parseRecordKey(hexBytes("FFFF FF")));
    EXPECT_EQ(*parseRecordKey(hexBytes("FFFE 0102 99")), (RecordKey{0xFFFE, 0x0102}));
}

TEST(Charts, ItemTextForSales) {
    std::string text = buildChartItemText(1, std::string("Sales\0=SERIES(a,b,c,1)", 22));
    EXPECT_EQ(text, std::string("\x00\x01Sales\x00", 8));
    auto item = parseChartItemText(text);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->itemNumber, 1);
    EXPECT_EQ(item->name, "Sales");
    EXPECT_EQ(buildChartItemText(0x0102, "").size(), 3u);
    EXPECT_FALSE(parseChartItemText(std::string_view("\x00", 1)));
    EXPECT_EQ(parseChartItemText(std::string_view("\x00\x02", 2))->name, "");
    EXPECT_EQ(parseChartItemText(std::string_view("\x00\x02xy", 4))->name, "xy");  // no final NUL
}

TEST(Charts, DefinitionTextBuildsAndSplits) {
    std::vector<std::string> values{"$B$2:$B$9", "'My, Sheet'!$C$2:$C$9"};
    std::string text = buildChartDefinitionText("$B$1:$C$1", "", values);
    EXPECT_EQ(text, "=##($B$1:$C$1,0,$B$2:$B$9,'My, Sheet'!$C$2:$C$9)");
    auto def = splitChartDefinitionText(text);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->names, "$B$1:$C$1");
    EXPECT_EQ(def->categories, "");
    ASSERT_EQ(def->values.size(), 2u);
    EXPECT_EQ(def->values[0], "$B$2:$B$9");
    EXPECT_EQ(def->values[1], "'My, Sheet'!$C$2:$C$9");

    EXPECT_EQ(buildChartDefinitionText("", "", {}), "=##(0,0)");
    auto bare = splitChartDefinitionText("=##(0,0)");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->names.empty() && bare->categories.empty() && bare->values.empty());
    EXPECT_FALSE(splitChartDefinitionText("=SUM(A1)"));
    EXPECT_FALSE(splitChartDefinitionText("=##"));
    auto open = splitChartDefinitionText("=##(A1");  // no closing parenthesis
    ASSERT_TRUE(open);
    EXPECT_EQ(open->names, "A1");
    EXPECT_TRUE(open->values.empty());
}
