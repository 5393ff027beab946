// tabulo-addin/gridlink_host.h - driving libgridlink the way the add-in does.
//
// The library is loaded through the platform loader (its attach step loads
// the link registry and may refuse the load) and reached only through its
// exported functions and include/gridlink.h:
//
//   export  VerifyExport (the workbook's path in SheetRecord offset 48),
//           then per sheet SetSheetName, SetCellInfo for the sheet defaults
//           (0, 0), every row (column 0), every column (row 0), every cell,
//           every chart (row 0xFFFE: the item string and the series formulas
//           as NUL-separated strings, their count at offset 10, the number
//           of charts at offset 8), and a closing SetCellInfo at column
//           kClosingColumn, which writes the sheet database
//   import  VerifyImport (the workbook's path), then per listed sheet
//           GetSheetName, CheckPasswd when it answers -13, and GetCellInfo
//           from walk state 0 until -6
//   list    VerifyAllFileExport
//   manager ShowTBManDialog (the Sync Manager, shown by the ui backend)
//   dialogs ExportWorkbook (the workbook's path at SheetRecord offset 48),
//           then the sheets as above; ImportWorkbook, then the listed
//           sheets as above; GetPassword; GetSize (the range at offsets 4
//           to 16, the answer at 20, 22 and 24)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gridlink.h"
#include "platform/library.h"
#include "workbook_model.h"

namespace tabulo {

// Any column above 256 closes a sheet; this is the one the CSV conversion uses.
constexpr int32_t kClosingColumn = 0x7FFF;
constexpr int32_t kChartDefinitionRow = 0xFFFE;
constexpr int32_t kChartItemRow = 0xFFFF;
// The template's default column width, passed at SheetRecord offset 12 on
// import (the library hands the value back scaled with the sheet's sizes).
constexpr int32_t kImportDefaultColumnWidth = 30;
constexpr int kPasswordAttempts = 3;

// The exports this host uses.
struct Gridlink {
    platform::Library library;
    int16_t(WINAPI* getErrorText)(TextRecord*) = nullptr;
    int16_t(WINAPI* verifyImport)(TextRecord*) = nullptr;
    int16_t(WINAPI* getSheetName)(SheetRecord*, TextRecord*) = nullptr;
    int16_t(WINAPI* getCellInfo)(CellRecord*) = nullptr;
    int16_t(WINAPI* checkPasswd)(TextRecord*) = nullptr;
    int16_t(WINAPI* verifyExport)(SheetRecord*) = nullptr;
    int16_t(WINAPI* verifyAllFileExport)(TextRecord*) = nullptr;
    int16_t(WINAPI* setSheetName)(SheetRecord*) = nullptr;
    int16_t(WINAPI* setCellInfo)(CellRecord*) = nullptr;
    int16_t(WINAPI* showTBManDialog)(void) = nullptr;
    int16_t(WINAPI* exportDialog)(SheetRecord*) = nullptr;  // ExportWorkbook
    int16_t(WINAPI* importDialog)(TextRecord*) = nullptr;   // ImportWorkbook
    int16_t(WINAPI* getPassword)(TextRecord*) = nullptr;
    int16_t(WINAPI* getSize)(SheetRecord*) = nullptr;
    BSTR (*sysAllocStringByteLen)(const char*, unsigned int) = nullptr;
    unsigned int (*sysStringByteLen)(BSTR) = nullptr;
    void (*sysFreeString)(BSTR) = nullptr;

    // Loads the library (attach step and all) and looks up the exports.
    bool load(const std::string& path, std::string& error);

    // GetErrorText's message for a status ("" when it has none).
    std::string errorText(int16_t status);
    BSTR alloc(std::string_view bytes);
    std::string bytes(BSTR text);
    void release(BSTR& text);
};

using Progress = std::function<void(const std::string& line)>;

// How a transfer ended: status 0, or the first negative status with the
// call that gave it and where.
struct TransferResult {
    int16_t status = 0;
    std::string call;    // the export that failed
    std::string detail;  // which sheet and piece
    int user = -1;       // what VerifyExport / VerifyImport chose
    std::string target;  // VerifyExport's Install path, VerifyImport's Backup path
    size_t sheets = 0;
    size_t calls = 0;  // SetCellInfo or GetCellInfo calls that succeeded
    bool ok() const { return status >= 0; }
};

// VerifyExport for the workbook, then every sheet of the book.
TransferResult exportWorkbook(Gridlink& lib, const std::string& workbookPath, const Book& book,
                              const Progress& progress = {});
// Every sheet of the book, after VerifyExport (or the Export dialog) has
// chosen the target.
TransferResult exportSheets(Gridlink& lib, const Book& book, const Progress& progress = {});

struct ImportOptions {
    int32_t defaultFontSize = kDefaultFontSize;  // the spreadsheet's default font, points
    // Given: the one password tried for every sheet that asks for one.
    // Otherwise the prompt is asked up to kPasswordAttempts times per sheet;
    // it answers nothing when there is no more input.
    std::optional<std::string> password;
    std::function<std::optional<std::string>(const std::string& sheetName)> prompt;
};

// VerifyImport for the workbook, then every listed sheet into book. A list
// that names no sheet database (VerifyImport chose a user whose Backup holds
// none of the book) gives status 0 and no sheets.
TransferResult importWorkbook(Gridlink& lib, const std::string& workbookPath, Book& book,
                              const ImportOptions& options, const Progress& progress = {});
// Every sheet of a book list (VerifyImport's or ImportWorkbook's record).
TransferResult importListedSheets(Gridlink& lib, TextRecord& list, Book& book, const ImportOptions& options,
                                  const Progress& progress = {});

// The Export dialog for the workbook (its path goes to the dialog), then
// every sheet of the book to the user it chose. status 0 and no sheets when
// the dialog was cancelled.
TransferResult exportThroughDialog(Gridlink& lib, const std::string& workbookPath, const Book& book,
                                   bool& cancelled, const Progress& progress = {});
// The Import dialog, then every sheet of the book chosen there. cancelled
// tells a closed dialog from a book without sheet databases.
TransferResult importThroughDialog(Gridlink& lib, Book& book, const ImportOptions& options, bool& cancelled,
                                   const Progress& progress = {});

// VerifyAllFileExport: the paths of the export list.
int16_t exportList(Gridlink& lib, std::vector<std::string>& paths);

}  // namespace tabulo
