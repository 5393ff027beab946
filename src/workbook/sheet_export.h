// workbook/sheet_export.h - sheet databases built from the add-in's cells.
//
// The add-in exports a sheet with one SetSheetName, any number of
// SetCellInfo calls and a closing SetCellInfo whose column is above 256. The
// sheet is built in memory and, on the closing call, handed to the export's
// owner, which writes it into the Install folder of every HotSync user
// concerned (syncmgr/sheet_distribution.h).
//
// Export state, kept between calls and replaced by every SetSheetName:
//   workbookImage   PdbImage of 78 + 8 * 65,536 bytes: the database header and
//                   a record list; while building, entries 3 and on hold
//                   offsets into recordBuffer
//   recordBuffer    record 0 (key and 62-byte book header) followed by the
//                   cell records in the order written; writeOffset bytes
//                   used; starts at 512 KiB + 66 bytes, grows by 512 KiB
//   rowTable        10,000 row heights, index = row, 255 = not set
//   columnTable     257 column entries, index = column; default entry:
//                   width 255, flags 15, text colour 255, background 0
//   chartList       item text of every chart so far: item number (2 bytes,
//                   big-endian), the chart's first string, a NUL
//   header          the book header under construction (host values)
//
// What a SetCellInfo call is, by row r and column c:
//   c > 256                 closing: chart items, terminator, write to users
//   c = 0, r = 0            sheet defaults (width at 8, height at 10)
//   c = 0, r = 1..9999      row entry (height at 10)
//   r = 0, c = 1..256       column entry (width at 8)
//   r = 0xFFFE or 0xFFFF    chart: NUL-separated strings, count at 10
//   r = 1..9999, c = 1..256 cell
//
// Final file (n records, R row entries, C column entries):
//   record 0 at 78 + 8n + 2, 66 bytes; record 1 at +66, 4 + 3R bytes;
//   record 2 at +4 + 3R, 4 + 10C bytes; cell record at recordBuffer offset o
//   goes to o + 8n + 88 + 3R + 10C.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/pdb.h"
#include "gridlink.h"
#include "workbook/sheet_format.h"
#include "workbook/transfer_context.h"

namespace workbook {

namespace sheet_export {
constexpr size_t kRecordListCapacity = 65536;
constexpr size_t kBuildImageSize =
    foundation::pdb::kHeaderSize + foundation::pdb::kEntrySize * kRecordListCapacity;
constexpr size_t kRecordBufferStep = 512 * 1024;
constexpr size_t kRecordBufferStart = kRecordBufferStep + kHeaderRecordSize;
constexpr size_t kRowTableSize = kMaxRow + 1;
constexpr size_t kColumnTableSize = kMaxColumn + 1;
// A column above this closes the sheet.
constexpr int32_t kLastDataColumn = kMaxColumn;
// Records a new sheet database starts with: header, row and column entries.
constexpr uint16_t kFixedRecords = 3;
// Bits of the sheet options that the handheld's copy keeps.
constexpr uint32_t kHandheldOptionsMask = 0x1300;
// Endings dropped from a database name.
constexpr std::array<std::string_view, 3> kDroppedEndings{".csv", ".txt", ".pdb"};
}  // namespace sheet_export

// The database name of a sheet: folder part (up to the last '/' or '\\')
// and one trailing ".csv", ".txt" or ".pdb" (any case) removed, cut to 31
// characters.
std::string sheetDatabaseName(std::string_view bookName, std::string_view sheetName);

// The owner of an export state: where a closing call sends the finished
// sheet (the library writes it into the users' Install folders,
// syncmgr/sheet_distribution.h), and what follows once users received it.
class SheetExportOwner {
public:
    // Writes the finished database of the book bookName to the users
    // concerned: 1 when every write succeeded and at least one user received
    // the sheet, -10 when no user did, -9 when a write failed or the name
    // cannot be a file name. usersWritten receives the number of users whose
    // file was written (their counters changed), also on failure.
    virtual int16_t writeToUsers(TransferContext& context, std::string_view bookName,
                                 const foundation::PdbImage& image, size_t& usersWritten) = 0;
    // Called by a closing call once the sheet reached at least one user, so
    // their links' counters changed (the library saves the link registry
    // here). A negative answer becomes the closing call's status when the
    // writing itself succeeded.
    virtual int16_t afterWrite() = 0;

protected:
    ~SheetExportOwner() = default;
};

class SheetExport {
public:
    // owner, when given, outlives the export state.
    explicit SheetExport(SheetExportOwner* owner = nullptr) : owner_(owner) {}
    SheetExport(const SheetExport&) = delete;
    SheetExport& operator=(const SheetExport&) = delete;

    // Starts a sheet: 1, -1 record missing, -3 memory, -9 a sheet name
    // holding '/' or '\\' (it would cut the book name off the database
    // name; no sheet is started). Writes the HotSync user's device class
    // back into the record.
    int16_t SetSheetName(TransferContext& context, SheetRecord* record);
    // Takes one piece of sheet data, or closes and writes the sheet: 1, -1,
    // -3, -7 row, -8 column, -12 too many records, -14 no sheet started;
    // closing: also -9 write failure (or a database name that cannot be a
    // file name, or afterWrite failed), -10 no user received the sheet (so
    // always for an export without an owner), -99 / -98 row / column
    // entries miscounted. The sheet stays after every closing call.
    int16_t SetCellInfo(TransferContext& context, CellRecord* record);
    // Frees every buffer; the next sheet starts from scratch. Called while
    // the owner's afterWrite runs, it leaves the sheet: the closing call
    // still holds it.
    void release();

    // The closing call without the writing: the finished database - the
    // sheet so far, the chart items and the terminator - is built into `out`.
    // The sheet itself stays as it is, so a closing call repeated after a
    // failed write writes the same database. 1, -3, -12, -14, -99, -98.
    int16_t finishSheet(const TransferContext& context, const CellRecord& closing, foundation::PdbImage& out);

    // What the state holds (tests, tools).
    bool started() const { return started_; }
    const BookHeader& header() const { return header_; }
    uint16_t numRecords() const;
    size_t writeOffset() const { return writeOffset_; }
    size_t recordBufferSize() const { return recordBuffer_.size(); }
    size_t rowCount() const { return rowCount_; }
    size_t columnCount() const { return columnCount_; }
    size_t chartCount() const { return chartList_.size(); }
    int32_t deviceClass() const { return deviceClass_; }
    std::string databaseName() const;

private:
    void resetTables();
    void mergeHandheldCopy(TransferContext& context);
    bool takeHandheldCopy(const std::string& path);
    int16_t takeDefaults(const CellRecord& record);
    int16_t takeRow(int32_t row, const CellRecord& record);
    int16_t takeColumn(int32_t column, const CellRecord& record);
    int16_t takeCell(const TransferContext& context, const CellRecord& record);
    int16_t takeChart(const TransferContext& context, const CellRecord& record);
    // The cell record for a text and the record's other fields; nothing when
    // the cell carries nothing worth a record.
    std::optional<SheetCell> makeCell(const TransferContext& context, const CellRecord& record, RecordKey key,
                                      std::string_view text, uint32_t recordFlags) const;
    int16_t writeCellRecord(const TransferContext& context, const CellRecord& record, RecordKey key,
                            std::string_view text, uint32_t recordFlags);
    bool ensureRoom(size_t bytes);
    bool appendRecordEntry();
    void setNumRecords(size_t n);

    SheetExportOwner* owner_ = nullptr;
    bool started_ = false;
    bool inAfterWrite_ = false;
    foundation::PdbImage workbookImage_;
    std::vector<uint8_t> recordBuffer_;
    size_t writeOffset_ = 0;
    std::array<uint8_t, sheet_export::kRowTableSize> rowTable_{};
    std::array<ColumnEntry, sheet_export::kColumnTableSize> columnTable_{};
    size_t rowCount_ = 0;
    size_t columnCount_ = 0;
    std::vector<std::string> chartList_;
    int32_t deviceClass_ = 0;
    int32_t defaultFontSize_ = 0;
    BookHeader header_;
};

}  // namespace workbook
