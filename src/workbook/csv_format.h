// workbook/csv_format.h - the CSV dialects of the CSV conversion.
//
// A book linked to a CSV file is kept as one CSV file per sheet, named after
// the book, a hyphen and the sheet name (Budget-Jan.csv), beside the linked
// file. This module is the pure part of that: reading and writing fields,
// the separator mapping and the file names. csv_conversion (syncmgr) drives
// the sheet and cell operations with it.
//
// Separators. The handheld writes numbers with "." and lists with ","; a CSV
// file uses the PC's regional characters (listSeparator, decimalSeparator).
// Every field is mapped character by character in both directions:
//   handheld -> CSV   ","  -> listSeparator    "." -> decimalSeparator
//   CSV -> handheld   decimalSeparator -> "."  listSeparator -> ","
// (a separator equal to the handheld's character maps to itself).
//
// Written dialect (one sheet):
//   every field between double quotes, a double quote inside written twice;
//   fields separated by listSeparator, rows by CR LF, no line end after the
//   last row; an empty cell is nothing between separators, a row without
//   cells an empty line. Cells are placed by row and column (both from 1).
//
// Read dialect, byte by byte (a field is quoted when its first byte is '"'):
//   byte            unquoted field        quoted field        after its closing '"'
//   '"'             text                  closing quote ->    a doubled '"': one '"'
//   listSeparator   ends the field        text                ends the field
//   CR              ends field and row    ends field and row  ends field and row
//   LF after a CR   ignored               -                   -
//   other LF        ends field and row    text                ends field and row
//   other           text                  text                ends the reading
// A UTF-8 byte-order mark (EF BB BF) at the very start is skipped. A field
// holds at most 32,766 bytes; the bytes after that are dropped. Empty fields
// produce no cell but take their column. At the end of the input the field
// read so far ends; "ends the reading" does the same and ignores the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

constexpr char kHandheldListSeparator = ',';
constexpr char kHandheldDecimalSeparator = '.';
constexpr std::string_view kCsvLineEnd = "\r\n";
constexpr char kCsvQuote = '"';
constexpr size_t kCsvFieldBufferSize = 32767;                   // with the C string's NUL
constexpr size_t kMaxCsvFieldLength = kCsvFieldBufferSize - 1;  // 32,766 bytes of text
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kCsvFileEnding = ".csv";
constexpr std::string_view kWorkbookFileEnding = ".xls";

// The PC's characters for lists and decimal points.
struct CsvSeparators {
    char list = kHandheldListSeparator;
    char decimal = kHandheldDecimalSeparator;
};

// Takes the first character of each regional value ("sList", "sDecimal")
// when the value is not empty. A character that would break the dialect (a
// double quote, CR, LF or NUL) is not taken either: the current one stays.
void applyRegionalValues(CsvSeparators& separators, std::string_view listValue,
                         std::string_view decimalValue);
// True for a character that can separate fields or mark decimals in a CSV file.
bool usableSeparator(char c);

// The separator mapping (see above).
std::string mapToPc(std::string_view handheldText, const CsvSeparators& separators);
void mapFromPc(std::string& field, const CsvSeparators& separators);

// ---- Writing ----------------------------------------------------------------

// Appends one field of the written dialect: the handheld text mapped to the
// PC's separators, between double quotes, every double quote doubled.
void appendCsvField(std::string& out, std::string_view handheldText, const CsvSeparators& separators);

struct CsvCell {
    uint32_t row = 0;     // from 1
    uint32_t column = 0;  // from 1
    std::string text;     // handheld text
};

// The file text of one sheet. Cells are placed in row and column order
// whatever order they come in; of two cells at one place the later one is
// written (a later record of the sheet replaces an earlier one, as it does
// when the sheet is read into a workbook). Cells outside rows 1-9999 and
// columns 1-256 are left out.
std::string writeCsvSheet(std::vector<CsvCell> cells, const CsvSeparators& separators);

// ---- Reading ----------------------------------------------------------------

// One non-empty field read, at its row and column (both from 1). The text is
// as in the file (not mapped) and valid only during the callback.
struct CsvField {
    uint64_t row = 1;
    uint64_t column = 1;
    std::string_view text;
};

// A push reader of the read dialect: feed() the bytes of a file in pieces of
// any size, then finish(). Each non-empty field is handed to the callback
// (void(const CsvField&)) when it ends.
class CsvReader {
public:
    explicit CsvReader(char listSeparator = kHandheldListSeparator) : list_(listSeparator) {}

    // Reads the bytes; false once the reading has ended (a closing quote
    // followed by something else, or finish()), after which further bytes
    // are ignored.
    template <typename OnField>
    bool feed(std::span<const uint8_t> bytes, OnField&& onField) {
        for (uint8_t b : bytes) {
            if (state_ == State::Stopped || state_ == State::Finished) break;
            if (bomPending_) {
                if (matchBom(b)) continue;
                replayBom(onField);
            }
            process(b, onField);
        }
        return state_ != State::Stopped && state_ != State::Finished;
    }
    template <typename OnField>
    bool feed(std::string_view bytes, OnField&& onField) {
        return feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), onField);
    }
    // Ends the input: the field read so far (if any) is handed out.
    template <typename OnField>
    void finish(OnField&& onField) {
        if (state_ == State::Finished || state_ == State::Stopped) return;
        if (bomPending_) replayBom(onField);
        if (state_ != State::Stopped) deliver(onField);
        if (state_ != State::Stopped) state_ = State::Finished;
    }

    // The place of the field being read.
    uint64_t row() const { return row_; }
    uint64_t column() const { return column_; }
    // True when a closing quote followed by something else ended the reading.
    bool stopped() const { return stopped_; }
    // Bytes dropped from fields longer than kMaxCsvFieldLength so far.
    uint64_t droppedBytes() const { return dropped_; }

private:
    enum class State : uint8_t { FieldStart, Unquoted, Quoted, AfterQuote, Stopped, Finished };
    enum class Event : uint8_t { None, FieldEnd, RowEnd, Stop };

    Event step(uint8_t b);
    void afterField(Event e);
    bool matchBom(uint8_t b);
    void append(uint8_t b) {
        if (field_.size() < kMaxCsvFieldLength)
            field_.push_back(char(b));
        else
            ++dropped_;
    }
    template <typename OnField>
    void process(uint8_t b, OnField& onField) {
        if (state_ == State::Stopped) return;
        if (Event e = step(b); e != Event::None) {
            deliver(onField);
            afterField(e);
        }
    }
    // The bytes of a byte-order mark begun but not completed are text.
    template <typename OnField>
    void replayBom(OnField& onField) {
        bomPending_ = false;
        for (size_t i = 0; i < bomMatched_; ++i) process(uint8_t(kUtf8ByteOrderMark[i]), onField);
    }
    template <typename OnField>
    void deliver(OnField& onField) {
        if (!field_.empty()) onField(CsvField{row_, column_, std::string_view(field_)});
        field_.clear();
    }

    char list_;
    State state_ = State::FieldStart;
    bool bomPending_ = true;
    size_t bomMatched_ = 0;
    bool afterCr_ = false;
    bool stopped_ = false;
    uint64_t row_ = 1;
    uint64_t column_ = 1;
    uint64_t dropped_ = 0;
    std::string field_;
};

// A field read, with its own copy of the text.
struct ReadCsvField {
    uint64_t row = 0;
    uint64_t column = 0;
    std::string text;
    friend bool operator==(const ReadCsvField&, const ReadCsvField&) = default;
};
// Reads a whole text; the non-empty fields in file order (tests, tools).
std::vector<ReadCsvField> readCsvText(std::string_view text, char listSeparator);

// ---- File names ---------------------------------------------------------------

// The prefix of a book's CSV file names from the linked CSV file's path: the
// path cut after the last hyphen of its file name; without one, a final
// ".csv" (any case) replaced by a hyphen; else the path as it is. Hyphens in
// folder names do not count: C:\My-Data\Budget.csv gives C:\My-Data\Budget-.
std::string csvPrefix(std::string_view csvPath);
// A sheet's CSV file: prefix and sheet name ("%s%s"), a final ".xls" (any
// case) replaced by ".csv", else ".csv" appended.
std::string csvSheetFileName(std::string_view prefix, std::string_view sheetName);
// The CSV file of a one-sheet book (a database without hyphen): the prefix
// without its final hyphen, with ".csv" - the file the book came from.
std::string csvOneSheetFileName(std::string_view prefix);
// The sheet name of a CSV file name: the part after its last hyphen (empty
// without one), without a final ".csv" (any case) when it is longer than
// four characters.
std::string csvSheetName(std::string_view fileName);

}  // namespace workbook
