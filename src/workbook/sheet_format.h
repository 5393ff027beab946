// workbook/sheet_format.h - the records inside a handheld sheet database.
//
// One worksheet is one Palm database (foundation/pdb.h) of type "Data",
// creator "PiTB". Every record starts with a 4-byte key, row then column,
// both big-endian 16-bit:
//
//   record  key (row, column)   contents
//   0       (0, 0)              book header, 62 bytes: the record is 66 bytes
//   1       (0, 1)              row entries, 3 bytes each
//   2       (1, 0)              column entries, 10 bytes each
//   3..n-2  (row, column)       a cell; (0xFFFE, c) a chart definition;
//                               (0xFFFF, i) chart item i
//   n-1     (0xFFFF, 0xFFFF)    terminator, the key alone
//
// Book header (after the key; big-endian):
//   off width contents                                   template value
//    0   2    sheet format version (colours need >= 60)  0, set to dbVersion
//    2   1    reserved                                   0
//    3   1    book flags: 0x01 high resolution, 0x02     0
//             sizes written by the desktop, 0xF0 category
//    4   4    sheet format flags (layout below)          6
//    8   1    colour index                               255
//    9   1    second colour index                        0
//   10   2    reserved                                   0
//   12   2    default column width                       30
//   14   2    default row height                         12
//   16   4    change counter, scrambled (ScrambleCounter) 0
//   20   2    not interpreted                            0
//   22   2    sheet setting (SheetRecord 20, signed)     1
//   24   2    sheet setting (SheetRecord 16, signed)     1
//   26   2    sheet setting (SheetRecord 32)             0
//   28   2    sheet setting (SheetRecord 36)             0
//   30   2    sheet setting (SheetRecord 24)             0
//   32   2    sheet setting (SheetRecord 28)             0
//   34   4    hash of the password opening requires      0
//   38   4    sheet options (SheetRecord 40)             0x00000C00
//   42   1    row-number width class (2: <=99, 1: <=999) 0
//   43   7    reserved                                   0
//   50   4    author password hash                       0
//   54   4    user password hash                         0
//   58   4    not interpreted, carried over as bytes     0
//
// Row entry:    0 2 row (1-9999)   2 1 height
// Column entry: 0 2 column (1-256) 2 1 width   3 1 reserved
//               4 4 format flags   8 1 text colour index   9 1 background index
// Cell record (after the key):
//    0 4 format flags    4 1 text colour index   5 1 background colour index
//    6 1 chart byte A    7 1 chart byte B        8 8 value, IEEE double
//   16 2 text length    18 7 reserved            25 .. text, no NUL
//
// Format flags (header, column entries, cells): 0x01 series run down columns
// (chart definitions), 0x40 currency present with its code in bits 24-31,
// 0x800 and 0x100000 the font level (font_levels.h), 0x10000 column or sheet
// defaults, 0x200000 explicit format; every other bit belongs to the add-in
// and passes through unchanged.
//
// Parsed structures hold host values; build functions produce file bytes;
// parse functions never read past the bytes they are given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gridlink.h"

namespace workbook {

// ---- Record keys and record numbers ------------------------------------

constexpr size_t kKeySize = 4;

struct RecordKey {
    uint16_t row = 0;
    uint16_t column = 0;
    friend bool operator==(const RecordKey&, const RecordKey&) = default;
};

constexpr RecordKey kHeaderKey{0, 0};
constexpr RecordKey kRowEntriesKey{0, 1};
constexpr RecordKey kColumnEntriesKey{1, 0};
constexpr RecordKey kTerminatorKey{0xFFFF, 0xFFFF};
constexpr uint16_t kChartDefinitionRow = 0xFFFE;
constexpr uint16_t kChartItemRow = 0xFFFF;
// A reader stops at the first record whose column is this.
constexpr uint16_t kEndColumn = 0xFFFF;

constexpr size_t kHeaderRecord = 0;
constexpr size_t kRowEntriesRecord = 1;
constexpr size_t kColumnEntriesRecord = 2;
constexpr size_t kFirstCellRecord = 3;

constexpr uint16_t kMaxRow = 9999;
constexpr uint16_t kMaxColumn = 256;
constexpr size_t kMaxRecords = 32767;         // a sheet database holds at most this many
constexpr size_t kMaxCellTextLength = 32766;  // the exporter cuts cell texts to this

// The key at the start of a record; nothing when fewer than 4 bytes.
std::optional<RecordKey> parseRecordKey(std::span<const uint8_t> record);
void appendRecordKey(std::vector<uint8_t>& out, RecordKey key);

// True for the key of an ordinary cell (row 1-9999, column 1-256).
constexpr bool isCellKey(RecordKey key) {
    return key.row >= 1 && key.row <= kMaxRow && key.column >= 1 && key.column <= kMaxColumn;
}

// ---- Format flags and book flags ----------------------------------------

constexpr uint32_t kFlagSeriesInColumns = 0x00000001;  // chart definitions only
constexpr uint32_t kFlagCurrency = 0x00000040;
constexpr uint32_t kFlagLargeFont = 0x00000800;
constexpr uint32_t kFlagColumnDefault = 0x00010000;
constexpr uint32_t kFlagHighResFont = 0x00100000;
constexpr uint32_t kFlagExplicitFormat = 0x00200000;
constexpr uint32_t kFlagCurrencyCodeMask = 0xFF000000;
constexpr unsigned kCurrencyCodeShift = 24;

constexpr uint8_t kBookHighResolution = 0x01;
constexpr uint8_t kBookDesktopSizes = 0x02;
constexpr uint8_t kBookCategoryMask = 0xF0;
constexpr unsigned kBookCategoryShift = 4;

// Versions from this one on carry colour indexes in their cell records.
constexpr uint16_t kFirstColourVersion = 60;

// ---- Book header ---------------------------------------------------------

constexpr size_t kBookHeaderSize = 62;
constexpr size_t kHeaderRecordSize = kKeySize + kBookHeaderSize;  // 66

namespace header {
constexpr size_t kVersion = 0;
constexpr size_t kReserved2 = 2;
constexpr size_t kBookFlags = 3;
constexpr size_t kFormatFlags = 4;
constexpr size_t kColor1 = 8;
constexpr size_t kColor2 = 9;
constexpr size_t kReserved10 = 10;
constexpr size_t kDefaultColumnWidth = 12;
constexpr size_t kDefaultRowHeight = 14;
constexpr size_t kChangeCounter = 16;
constexpr size_t kField20 = 20;
constexpr size_t kSetting22 = 22;
constexpr size_t kSetting24 = 24;
constexpr size_t kSetting26 = 26;
constexpr size_t kSetting28 = 28;
constexpr size_t kSetting30 = 30;
constexpr size_t kSetting32 = 32;
constexpr size_t kOpenPasswordHash = 34;
constexpr size_t kOptions = 38;
constexpr size_t kRowNumberClass = 42;
constexpr size_t kReserved43 = 43;
constexpr size_t kReserved43Size = 7;
constexpr size_t kAuthorPasswordHash = 50;
constexpr size_t kUserPasswordHash = 54;
constexpr size_t kCarried58 = 58;
}  // namespace header

// The book header with its numbers in host order. The reserved bytes and
// the four bytes at 58, which no one interprets, stay as file bytes so that
// decoding and encoding reproduce a header byte for byte.
struct BookHeader {
    uint16_t version = 0;
    uint8_t reserved2 = 0;
    uint8_t bookFlags = 0;
    uint32_t formatFlags = 0;
    uint8_t color1 = 0;  // palette index
    uint8_t color2 = 0;  // palette index
    std::array<uint8_t, 2> reserved10{};
    uint16_t defaultColumnWidth = 0;
    uint16_t defaultRowHeight = 0;
    uint32_t changeCounter = 0;  // as stored: scrambled (ScrambleCounter)
    uint16_t field20 = 0;
    int16_t setting22 = 0;  // sign-extended when read into the SheetRecord
    int16_t setting24 = 0;
    uint16_t setting26 = 0;  // zero-extended
    uint16_t setting28 = 0;
    uint16_t setting30 = 0;
    uint16_t setting32 = 0;
    uint32_t openPasswordHash = 0;  // 0: opening needs no password
    uint32_t options = 0;
    uint8_t rowNumberClass = 0;
    std::array<uint8_t, header::kReserved43Size> reserved43{};
    uint32_t authorPasswordHash = 0;  // not 0: the desktop refuses to read the sheet
    uint32_t userPasswordHash = 0;
    std::array<uint8_t, 4> carried58{};

    friend bool operator==(const BookHeader&, const BookHeader&) = default;

    uint8_t category() const { return uint8_t(bookFlags >> kBookCategoryShift); }
    void setCategory(unsigned category) {
        bookFlags = uint8_t((bookFlags & ~kBookCategoryMask) |
                            ((category << kBookCategoryShift) & kBookCategoryMask));
    }
};

// The header every new sheet database starts from; the caller puts dbVersion
// into `version`.
constexpr BookHeader bookHeaderTemplate() {
    BookHeader h;
    h.formatFlags = 6;
    h.color1 = 255;
    h.color2 = 0;
    h.defaultColumnWidth = 30;
    h.defaultRowHeight = 12;
    h.setting22 = 1;
    h.setting24 = 1;
    h.options = 0x00000C00;
    return h;
}

constexpr uint8_t kRowClassUpTo99 = 2;
constexpr uint8_t kRowClassUpTo999 = 1;
constexpr uint8_t kRowClassLarger = 0;

// Decodes exactly 62 header bytes (file order); nothing for any other size.
std::optional<BookHeader> decodeBookHeader(std::span<const uint8_t> bytes);
std::array<uint8_t, kBookHeaderSize> encodeBookHeader(const BookHeader& header);

// Record 0: the key and the header. A record of any length but 66 is a
// corrupted or old-version sheet: nothing.
std::optional<BookHeader> parseHeaderRecord(std::span<const uint8_t> record);
std::vector<uint8_t> buildHeaderRecord(const BookHeader& header);

// The six 2-byte sheet settings and the SheetRecord fields they come from:
// stored from the low 16 bits; read back with 22 and 24 sign-extended and
// 26 to 32 zero-extended.
void storeSheetSettings(const SheetRecord& sheet, BookHeader& header);
void loadSheetSettings(const BookHeader& header, SheetRecord& sheet);

// ---- Change counter --------------------------------------------------------

// The stored form of a change counter and back again: 0, -1 and -2 stay as
// they are, any other value is XOR-ed with 0x5C3E9A71 (the link registry
// file stores its counters the same way; both use foundation's one
// implementation). The three values whose scrambled form would be 0, -1 or
// -2 (0x5C3E9A71, 0xA3C1658E, 0xA3C1658F) therefore come back as 0, -1 and
// -2; the handheld uses the same function, so the stored form cannot change.
uint32_t ScrambleCounter(uint32_t value);

// ---- Widths and heights ------------------------------------------------------

constexpr uint8_t kSizeNotSet = 255;
constexpr uint8_t kMinSize = 7;
constexpr uint8_t kMaxSize = 139;
constexpr uint16_t kMaxDefaultColumnWidth = 139;
constexpr uint16_t kMaxDefaultRowHeight = 113;

// A column width or row height as the library writes it: 0 stays 0, 1 to 6
// become 7, above 139 becomes 139. A negative value (not a size) becomes 0.
constexpr uint8_t clampSize(int32_t size) {
    if (size <= 0) return 0;
    if (size < kMinSize) return kMinSize;
    if (size > kMaxSize) return kMaxSize;
    return uint8_t(size);
}
// The header's defaults: capped at 139 and 113; a negative value becomes 0.
constexpr uint16_t clampDefaultColumnWidth(int32_t width) {
    return width <= 0 ? 0 : width > kMaxDefaultColumnWidth ? kMaxDefaultColumnWidth : uint16_t(width);
}
constexpr uint16_t clampDefaultRowHeight(int32_t height) {
    return height <= 0 ? 0 : height > kMaxDefaultRowHeight ? kMaxDefaultRowHeight : uint16_t(height);
}

// ---- Row and column entries --------------------------------------------------

constexpr size_t kRowEntrySize = 3;
constexpr size_t kColumnEntrySize = 10;

struct RowEntry {
    uint16_t row = 0;
    uint8_t height = kSizeNotSet;
    friend bool operator==(const RowEntry&, const RowEntry&) = default;
};

namespace column_entry {
constexpr size_t kColumn = 0;
constexpr size_t kWidth = 2;
constexpr size_t kReserved = 3;
constexpr size_t kFlags = 4;
constexpr size_t kTextColor = 8;
constexpr size_t kBackColor = 9;
}  // namespace column_entry

constexpr uint32_t kDefaultColumnFlags = 15;

struct ColumnEntry {
    uint16_t column = 0;
    uint8_t width = kSizeNotSet;
    uint8_t reserved = 0;
    uint32_t flags = kDefaultColumnFlags;
    uint8_t textColor = 255;  // black
    uint8_t backColor = 0;    // white
    friend bool operator==(const ColumnEntry&, const ColumnEntry&) = default;
    // An entry still at its defaults is not written.
    bool isDefault() const { return flags == kDefaultColumnFlags && width == kSizeNotSet; }
};

// Entries of record 1 / record 2: (length - 4) / 3 and (length - 4) / 10 of
// them; bytes after the last whole entry are ignored. Nothing when the
// record is shorter than its key. Entry numbers are returned as stored: the
// caller keeps rows outside 1-9999 and columns outside 1-256 out of its tables.
std::optional<std::vector<RowEntry>> parseRowEntries(std::span<const uint8_t> record);
std::optional<std::vector<ColumnEntry>> parseColumnEntries(std::span<const uint8_t> record);
std::vector<uint8_t> buildRowEntriesRecord(std::span<const RowEntry> entries);
std::vector<uint8_t> buildColumnEntriesRecord(std::span<const ColumnEntry> entries);

// ---- Cell records (also chart definitions and chart items) -----------------

constexpr size_t kCellFixedSize = 25;
constexpr size_t kCellHeaderSize = kKeySize + kCellFixedSize;  // 29 bytes before the text
constexpr size_t kMaxRecordTextLength = 0xFFFF;                // the length field's limit

namespace cell {
constexpr size_t kFlags = 0;
constexpr size_t kTextColor = 4;
constexpr size_t kBackColor = 5;
constexpr size_t kChartByteA = 6;
constexpr size_t kChartByteB = 7;
constexpr size_t kValue = 8;
constexpr size_t kTextLength = 16;
constexpr size_t kReserved = 18;
constexpr size_t kReservedSize = 7;
constexpr size_t kText = 25;
}  // namespace cell

// One cell record. When parsed, `text` points into the record's bytes.
struct SheetCell {
    RecordKey key;
    uint32_t flags = 0;
    uint8_t textColor = 255;
    uint8_t backColor = 0;
    uint8_t chartByteA = 0;
    uint8_t chartByteB = 0;
    double value = 0.0;
    std::string_view text;  // ANSI bytes, may hold NULs (chart items)
};

// Nothing when the record is shorter than 29 bytes or its text length runs
// past the record's end. Bytes after the text are ignored.
std::optional<SheetCell> parseCellRecord(std::span<const uint8_t> record);
constexpr size_t cellRecordSize(size_t textLength) { return kCellHeaderSize + textLength; }
// Writes the record into `out`; returns the bytes written, or 0 when `out` is
// too small or the text is longer than 65,535 bytes.
size_t encodeCellRecord(const SheetCell& cell, std::span<uint8_t> out);
// Appends the record; false (nothing appended) when the text is too long.
bool appendCellRecord(std::vector<uint8_t>& out, const SheetCell& cell);

// A record is written for a cell only when it carries something.
constexpr bool cellIsWorthWriting(size_t textLength, uint32_t flags, uint8_t textColor, uint8_t backColor) {
    return textLength != 0 || (flags & kFlagExplicitFormat) != 0 || textColor != 255 || backColor != 0;
}

// ---- Charts ---------------------------------------------------------------------

// Chart definition text: "=##(" names "," categories {"," values} ")"; an
// empty names or categories range is written as "0".
constexpr std::string_view kChartDefinitionPrefix = "=##(";
constexpr std::string_view kNoRange = "0";

std::string buildChartDefinitionText(std::string_view names, std::string_view categories,
                                     std::span<const std::string> values);

// The arguments of a chart definition text; names and categories are empty
// when the text has "0" for them (or lacks them). Views point into the text.
struct ChartDefinition {
    std::string_view names;
    std::string_view categories;
    std::vector<std::string_view> values;
};
// Splits at commas outside single-quoted sheet names; the final ")" is set
// aside. Nothing when the text does not start with "=##(".
std::optional<ChartDefinition> splitChartDefinitionText(std::string_view text);

// Chart item text: item number (2 bytes, big-endian), the chart's first
// string (up to its first NUL), a NUL.
std::string buildChartItemText(uint16_t itemNumber, std::string_view firstString);
struct ChartItem {
    uint16_t itemNumber = 0;
    std::string_view name;  // without the number and the final NUL
};
// Nothing when the text is shorter than the item number.
std::optional<ChartItem> parseChartItemText(std::string_view text);

// ---- Terminator -------------------------------------------------------------------

std::vector<uint8_t> buildTerminatorRecord();

}  // namespace workbook
