// tabulo-addin/workbook_model.h - a desktop workbook as the add-in sees it.
//
// What the spreadsheet add-in hands to libgridlink and gets back from it,
// sheet by sheet: the sheet settings of the SheetRecord, row heights, column
// entries, cells and charts as in the CellRecord. Texts are ANSI
// (Windows-1252) bytes, as in the byte strings of the records; the JSON
// form converts them to and from UTF-8 (workbook_json.h).
//
//   sheet   name, format flags, default column width / row height, the six
//           settings (SheetRecord offsets 16, 20, 24, 28, 32, 36), options,
//           font size, default font size; on import also the book flags,
//           the two colours, the currency text and the device class
//   row     row number 1-9999, height
//   column  column number 1-256, width, format flags, colours, font size
//   cell    row, column, text, value, format flags, text and background
//           colour (COLORREF), font size, currency text, chart bytes
//   chart   the column of its definition, the item string, the series
//           formulas =SERIES(name,categories,values,order), chart bytes
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabulo {

constexpr uint32_t kBlack = 0x000000;  // COLORREF
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kDefaultFontSize = 10;  // points, the spreadsheet's usual default
constexpr uint32_t kDefaultColumnFlags = 15;
// A sheet's places: rows 1-9999, columns 1-256 (a column above 256 ends the
// sheet in the library, so a workbook file never holds one).
constexpr int32_t kMaxRow = 9999;
constexpr int32_t kMaxColumn = 256;

struct RowData {
    int32_t row = 0;
    int32_t height = 0;
    friend bool operator==(const RowData&, const RowData&) = default;
};

struct ColumnData {
    int32_t column = 0;
    int32_t width = 255;
    uint32_t formatFlags = kDefaultColumnFlags;
    uint32_t textColor = kBlack;
    uint32_t backColor = kWhite;
    int32_t fontSize = 0;
    std::string currency;  // spreadsheet form, "[$kr-41D]"
    friend bool operator==(const ColumnData&, const ColumnData&) = default;
};

struct CellData {
    int32_t row = 0;
    int32_t column = 0;
    std::string text;
    double value = 0;
    uint32_t formatFlags = 0;
    uint32_t textColor = kBlack;
    uint32_t backColor = kWhite;
    int32_t fontSize = 0;
    std::string currency;  // spreadsheet form, "[$kr-41D]"
    uint8_t chartByteA = 0;
    uint8_t chartByteB = 0;
};

struct ChartData {
    int32_t column = 1;
    std::string item;
    std::vector<std::string> series;  // "=SERIES(name,categories,values,order)"
    uint32_t formatFlags = 0;
    uint8_t chartByteA = 0;
    uint8_t chartByteB = 0;
    friend bool operator==(const ChartData&, const ChartData&) = default;
};

struct SheetData {
    std::string name;
    uint32_t formatFlags = 0;
    int32_t defaultColumnWidth = 30;
    int32_t defaultRowHeight = 12;
    std::array<int32_t, 6> settings{1, 1, 0, 0, 0, 0};  // SheetRecord 16, 20, 24, 28, 32, 36
    uint32_t options = 0;
    int32_t fontSize = kDefaultFontSize;
    int32_t defaultFontSize = kDefaultFontSize;
    // Filled by an import only.
    uint8_t bookFlags = 0;
    int32_t deviceClass = 0;
    uint32_t color1 = kBlack;
    uint32_t color2 = kWhite;
    std::string currency;

    std::vector<RowData> rows;
    std::vector<ColumnData> columns;
    std::vector<CellData> cells;
    std::vector<ChartData> charts;
};

struct Book {
    std::vector<SheetData> sheets;
};

// Currency texts: the spreadsheet writes a currency format as "[$kr-41D]"
// (symbol, hyphen, locale in hexadecimal, in brackets after "$"); the
// library's export reads "symbol-locale" ("kr-41D"). A text in brackets
// loses them; any other text is passed as it is.
std::string currencyForExport(const std::string& spreadsheetText);

}  // namespace tabulo
