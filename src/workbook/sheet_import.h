// workbook/sheet_import.h - sheet databases handed back to the add-in.
//
// The add-in reads a listed book (book_lister.h) sheet by sheet: GetSheetName
// opens sheet k of the list and fills the SheetRecord, CheckPasswd opens a
// sheet that asks for a password, and GetCellInfo hands out one piece of data
// per call until -6 ("EOF, no more cells.").
//
// Import state (one per library instance):
//   workbookImage        the sheet database last opened (foundation/pdb.h)
//   header               its book header (record 0), host values
//   rowTable             heights of rows 0-9999, scaled; 255 = not set
//   columnTable          entries of columns 0-256, width scaled; default
//                        width 255, flags 15, text colour 255, background 0
//   columnOrder          the columns of the file's column entries, file order
//   enteredPasswordHash  hash of the password last tried; 0 after GetSheetName
//   lastListedBook       database name of the last sheet database listed
//   deviceClass          of the import user
//
// Walk state (CellRecord offset 4), kept by the caller:
//   0            start: becomes 2
//   2            column entries are handed out (position kept here)
//   3 ... end    the number of the record last read; the walk ends at the
//                terminator (column 0xFFFF) or, without one, after the
//                last record
// Any other value cannot come from the walk of the open sheet: -14.
//
// Sizes: a book without flag 0x02 (sizes written by the desktop) is scaled
// for the desktop: halved for a handheld of device class 1 without high
// resolution, doubled for device class 2 with it. 255 (not set) stays 255,
// and a doubled size is capped at 254.
//
// Charts: a definition "=##(names,categories,values...)" is handed out as
// "=SERIES(name,categories,values,order)" formulas, each followed by a NUL,
// at most 4,096 bytes in all; ranges without a sheet part get "'sheet'!".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/pdb.h"
#include "gridlink.h"
#include "workbook/sheet_format.h"
#include "workbook/transfer_context.h"

namespace workbook {

constexpr int32_t kWalkStart = 0;
constexpr int32_t kWalkColumnEntries = 2;
constexpr size_t kRowTableSize = kMaxRow + 1;        // rows 0-9999
constexpr size_t kColumnTableSize = kMaxColumn + 1;  // columns 0-256
constexpr uint8_t kMaxScaledSize = 254;              // 255 means not set
constexpr size_t kMaxSeriesTextSize = 4096;          // formulas and their NULs

enum class SizeScale { AsStored, Halve, Double };

// The scaling for a sheet: none for desktop-written sizes (book flag 0x02).
SizeScale sizeScaleFor(uint8_t bookFlags, int32_t deviceClass, bool highResolution);
uint8_t scaleSize(uint8_t size, SizeScale scale);
int32_t scaleDefaultSize(int32_t size, SizeScale scale);

// The sheet name of a database name: the part after its last hyphen.
std::string_view sheetNameOf(std::string_view databaseName);

// A chart definition's text turned into series formulas (each followed by a
// NUL); seriesInColumns is the definition's flag 0x01. 0, or -14 when the
// text is not a definition or a values range cannot be read.
int16_t chartSeriesFormulas(std::string_view definition, bool seriesInColumns, std::string_view sheetName,
                            std::string& formulas);

// The owner of an import state: told when the add-in has read the imported
// book to its end.
class SheetImportOwner {
public:
    // Called when a walk ends at the terminator of the last sheet listed
    // (its database name equals lastListedBook). The library refreshes the
    // link registry with saving here, which may release the import state.
    virtual void atBookEnd() = 0;

protected:
    ~SheetImportOwner() = default;
};

class SheetImport {
public:
    // owner, when given, outlives the import state.
    explicit SheetImport(SheetImportOwner* owner = nullptr) : owner_(owner) { resetTables(); }
    SheetImport(const SheetImport&) = delete;
    SheetImport& operator=(const SheetImport&) = delete;

    std::string lastListedBook;

    // GetSheetName: opens sheet k (offset 2) of the book list. The sheet
    // name's length + 1, or -1, -2, -3, -4, -5; -13 the sheet needs a
    // password, -11 it has an author password (the record is filled in
    // both cases, cells are withheld).
    int16_t GetSheetName(TransferContext& context, SheetRecord* sheet, TextRecord* list);
    // The step of GetSheetName after the file is loaded (also for images
    // that do not come from a file).
    int16_t openSheet(TransferContext& context, SheetRecord* sheet, foundation::PdbImage&& image);
    // GetCellInfo: 0 with one piece of data; -6 at the end; -1 record
    // missing; -11, -13 as above; -14 no sheet open, a walk state that does
    // not fit, or a chart definition that cannot be read; -5 a record too
    // short for its key or fields (the state moves past it); -3 memory.
    int16_t GetCellInfo(TransferContext& context, CellRecord* cell);
    // CheckPasswd on the open sheet (passwords.h); -14 when none is open.
    int16_t CheckPasswd(const TextRecord* record);
    // Frees the image and the tables; lastListedBook is kept.
    void release();

    bool sheetOpen() const { return open_; }
    // The open database's name (empty when none is loaded).
    std::string openDatabaseName() const;
    const BookHeader& header() const { return header_; }
    uint8_t rowHeight(size_t row) const { return row < kRowTableSize ? rowTable_[row] : kSizeNotSet; }
    const ColumnEntry& columnEntry(size_t column) const {
        return columnTable_[column < kColumnTableSize ? column : 0];
    }

private:
    void resetTables();
    int16_t loadEntries();
    int16_t handOutColumnEntry(TransferContext& context, CellRecord& cell);
    int16_t handOutRecord(TransferContext& context, CellRecord& cell, std::span<const uint8_t> record);

    SheetImportOwner* owner_ = nullptr;
    foundation::PdbImage workbookImage_;
    bool open_ = false;
    BookHeader header_;
    std::array<uint8_t, kRowTableSize> rowTable_{};
    std::array<ColumnEntry, kColumnTableSize> columnTable_{};
    std::vector<uint16_t> columnOrder_;
    size_t columnPosition_ = 0;
    uint32_t enteredPasswordHash_ = 0;
    int32_t deviceClass_ = 0;
    int32_t defaultFontSize_ = 0;
    SizeScale scale_ = SizeScale::AsStored;
    std::string sheetName_;
    size_t endRecord_ = 0;  // the terminator, or numRecords when there is none
};

}  // namespace workbook
