// Fuzz target: the add-in stand-in's workbook files. The first byte picks
// the reader (JSON description or CSV sheet); whatever is read must write
// out and read back to the same book.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "workbook_csv.h"
#include "workbook_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    tabulo::Book book;
    std::string error;
    if (data[0] & 1) {
        tabulo::SheetData sheet;
        if (!tabulo::readCsvSheet(text, sheet)) return 0;
        for (const tabulo::CellData& c : sheet.cells)
            if (c.row < 1 || c.column < 1 || c.text.empty()) std::abort();
        // Writing and reading again gives the same cells.
        tabulo::SheetData again;
        tabulo::readCsvSheet(tabulo::writeCsvSheet(sheet), again);
        if (again.cells.size() != sheet.cells.size()) std::abort();
        for (size_t i = 0; i < sheet.cells.size(); ++i)
            if (again.cells[i].row != sheet.cells[i].row || again.cells[i].column != sheet.cells[i].column ||
                again.cells[i].text != sheet.cells[i].text)
                std::abort();
        return 0;
    }
    if (!tabulo::readJson(text, book, error)) return 0;
    tabulo::Book again;
    if (!tabulo::readJson(tabulo::writeJson(book), again, error)) std::abort();
    if (again.sheets.size() != book.sheets.size()) std::abort();
    for (size_t i = 0; i < book.sheets.size(); ++i)
        if (again.sheets[i].cells.size() != book.sheets[i].cells.size() ||
            again.sheets[i].charts != book.sheets[i].charts || again.sheets[i].name != book.sheets[i].name)
            std::abort();
    return 0;
}
