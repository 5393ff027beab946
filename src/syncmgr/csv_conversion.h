// syncmgr/csv_conversion.h - CSV books converted during a HotSync.
//
// A book linked to a CSV file is kept on the PC as one CSV file per sheet,
// named after the book, a hyphen and the sheet name (Budget-Jan.csv), beside
// the linked file (workbook/csv_format.h holds the dialects and names). The
// HotSync notification converts without the spreadsheet, driving the same
// sheet and cell operations as the add-in:
//
//   CsvToHandheld   new or changed CSV files of the user's CSV links ->
//                   sheet databases in the user's Install folder
//                   (ListBookFiles, VerifyFileExport, SetSheetName and
//                   SetCellInfo, the last one with column 0x7FFF)
//   HandheldToCsv   the sheet databases of a listed book -> one CSV file per
//                   sheet (GetSheetName and GetCellInfo)
//
// Sheets started from a CSV file carry: name = the file name after its last
// hyphen (empty: the one-sheet book), sheet number = the file's place in the
// list, default sizes 30 and 12 (offsets 8 and 12), the settings at 16 and
// 20 = 1, options 0xC00, everything else 0. Cells carry the mapped field
// text, flags 0, black on white, value 0, font size 0.
//
// Regional settings: the first character of "sList" and "sDecimal" under
// HKEY_CURRENT_USER\Control Panel\International replaces the current
// separator when the value is there and not empty (read without creating
// the key).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gridlink.h"
#include "platform/files.h"
#include "workbook/csv_format.h"

namespace syncmgr {

struct GridlinkState;

constexpr std::string_view kInternationalKey = "HKEY_CURRENT_USER\\Control Panel\\International";
constexpr std::string_view kListSeparatorValue = "sList";
constexpr std::string_view kDecimalSeparatorValue = "sDecimal";

// The column of the SetCellInfo call that closes a sheet read from CSV.
constexpr int32_t kCsvClosingColumn = 0x7FFF;
// A CSV file is read in pieces of this size.
constexpr size_t kCsvReadPiece = 64 * 1024;
// The sheet record a CSV sheet starts with.
constexpr int32_t kCsvDefaultColumnWidth = 30;
constexpr int32_t kCsvDefaultRowHeight = 12;
constexpr int32_t kCsvSheetSetting = 1;
constexpr int32_t kCsvSheetOptions = 0x0C00;
// CellRecord colours of a CSV cell: black text on white.
constexpr uint32_t kCsvTextColor = 0x000000;
constexpr uint32_t kCsvBackColor = 0xFFFFFF;

// ReadRegionalSeparators: updates the separators from the regional settings.
void ReadRegionalSeparators(workbook::CsvSeparators& separators);

// A CSV file a conversion read or wrote whole: its name in the book's folder
// and its last-write time then.
struct CsvFileTime {
    std::string name;
    platform::FileTime time = 0;
};

// The CSV time of a link to csvPath, which was `since`, once `done` have
// been converted: the newest of them that is older than every other file of
// the book written after `since` (and than any of `done` that changed since),
// so that those are listed again at the next HotSync; `since` when none is,
// or when the folder cannot be listed.
platform::FileTime csvTimeAfter(std::string_view csvPath, platform::FileTime since,
                                const std::vector<CsvFileTime>& done);

// HandheldToCsv: writes one CSV file per sheet database of the book list
// (a TextRecord as ListBookFiles fills it) beside the linked CSV file. The
// sheets are read for state.options.importUser (whose device class scales
// the sizes), which the caller sets. A one-sheet book (a database without a
// hyphen) goes to the book's own file, prefix without its hyphen + ".csv".
// Each file is written whole or not at all (atomic replacement); a sheet
// whose cells cannot all be read leaves its file as it was.
// Returns 1; the status of GetSheetName that stopped it (0 or less); the
// status of a cell walk that failed (that sheet is left out, the others are
// written); -9 when a file cannot be written (it stops there) or a sheet
// name cannot be part of a file name (that sheet is left out); -1 for a
// missing list; -3 memory. csvTime (the link's time on entry) becomes
// csvTimeAfter the files written, also when the conversion stops later
// (those files hold the handheld's state and must not go back as desktop
// changes). `written`, when given, receives the files written.
int16_t HandheldToCsv(GridlinkState& state, TextRecord* bookList, std::string_view csvPath,
                      platform::FileTime& csvTime, std::vector<CsvFileTime>* written = nullptr);

// CsvToHandheld: for each of the user's links whose PC path ends in ".csv",
// the book's CSV files written after the link's csvSyncTime become sheet
// databases in the user's Install folder. Links whose files cannot be listed
// or whose export is refused are skipped (a refusal still moves the time
// past the files listed). A file that cannot be opened or read to its end,
// or whose database cannot be written, is left for the next HotSync: nothing
// of it is installed, and the link's time moves only past the files sent
// (csvTimeAfter, never back). A sheet that cannot be started ends the
// conversion; the files not reached are left likewise. A file whose sheet
// cannot name a database file is left out for good. Fields beyond column 256
// or row 9999 are not sent (a column above 256 would close the sheet).
// Returns 1 when every file listed went out, else the status of the first
// one that did not (-2 cannot be opened or read, -9 not written, or the
// status of SetSheetName); -3 memory.
int16_t CsvToHandheld(GridlinkState& state, int userIndex);

}  // namespace syncmgr
