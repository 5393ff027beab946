// Helpers of the CSV conversion and HotSync notification tests: sheet
// databases with cells, the cells of a written database.
#pragma once

#include <string>
#include <vector>

#include "foundation/link_registry.h"
#include "foundation/pdb.h"
#include "support/sandbox.h"
#include "support/test_support.h"
#include "workbook/sheet_format.h"

namespace hotsynctest {

struct Cell {
    uint32_t row = 0;
    uint32_t column = 0;
    std::string text;
    friend bool operator==(const Cell&, const Cell&) = default;
};
using Cells = std::vector<Cell>;

inline std::ostream& operator<<(std::ostream& os, const Cell& c) {
    return os << "(" << c.row << "," << c.column << ") \"" << c.text << "\"";
}

// A sheet database spec with cell records, in the order given.
inline testsupport::SheetDbSpec sheetWithCells(const std::string& name, uint32_t counter,
                                               const Cells& cells) {
    testsupport::SheetDbSpec spec{name, 71, counter};
    for (const Cell& c : cells) {
        workbook::SheetCell cell;
        cell.key = {uint16_t(c.row), uint16_t(c.column)};
        cell.text = c.text;
        spec.cellRecords.emplace_back();
        workbook::appendCellRecord(spec.cellRecords.back(), cell);
    }
    return spec;
}

// The cells of a sheet database file, in record order; the database name in
// `name` when given.
inline Cells cellsOf(const std::string& path, std::string* name = nullptr) {
    foundation::PdbImage image;
    if (!foundation::loadPdb(image, path)) return {{0, 0, "<unreadable>"}};
    if (name) *name = image.name();
    Cells cells;
    for (size_t i = workbook::kFirstCellRecord; i < image.numRecords(); ++i) {
        auto record = foundation::recordAt(image, i);
        if (!record) break;
        auto cell = workbook::parseCellRecord(*record);
        if (!cell || !workbook::isCellKey(cell->key)) continue;
        cells.push_back({cell->key.row, cell->key.column, std::string(cell->text)});
    }
    return cells;
}

// The change counter (unscrambled) of a sheet database file.
inline uint32_t counterOf(const std::string& path) {
    foundation::PdbImage image;
    if (!foundation::loadPdb(image, path)) return 0xDEADBEEF;
    auto record = foundation::recordAt(image, 0);
    auto header = record ? workbook::parseHeaderRecord(*record) : std::nullopt;
    return header ? workbook::ScrambleCounter(header->changeCounter) : 0xDEADBEEF;
}

using testsupport::linkLine;
using testsupport::linkSection;

inline std::string textOf(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace hotsynctest
