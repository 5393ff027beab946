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
#include <string_view>

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

// HandheldToCsv: writes one CSV file per sheet database of the book list
// (a TextRecord as ListBookFiles fills it) beside the linked CSV file. The
// sheets are read for state.options.importUser (whose device class scales
// the sizes), which the caller sets. A one-sheet book (a database without a
// hyphen) goes to the book's own file, prefix without its hyphen + ".csv".
// Each file is written whole or not at all (atomic replacement).
// Returns 1; the status of GetSheetName that stopped it (0 or less); -9
// when a file cannot be written (it stops there) or a sheet name cannot be
// part of a file name (that sheet is left out, the others are written);
// -1 for a missing list; -3 memory. csvTime becomes the newest last-write
// time of the files written, also when the conversion stops later (those
// files hold the handheld's state and must not go back as desktop changes).
int16_t HandheldToCsv(GridlinkState& state, TextRecord* bookList, std::string_view csvPath,
                      platform::FileTime& csvTime);

// CsvToHandheld: for each of the user's links whose PC path ends in ".csv",
// the book's CSV files written after the link's csvSyncTime (which listing
// raises) become sheet databases in the user's Install folder. Links whose
// files cannot be listed or whose export is refused are skipped, files that
// cannot be opened too; a sheet that cannot be started ends the conversion.
// Fields beyond column 256 or row 9999 are not sent (a column above 256
// would close the sheet). 1, also when it stops early; -3 memory.
int16_t CsvToHandheld(GridlinkState& state, int userIndex);

}  // namespace syncmgr
