// workbook/references.h - A1 cell and range references of chart ranges.
//
// Cell reference: optional "$", column letters (any case, base 26 with A = 1:
// AA = 27, IV = 256), optional "$", row digits. A reference without letters
// or without digits (column or row 0) is not usable.
// Range: optional sheet part ending in "!" (kept exactly as given, quotes and
// all), a reference, optionally ":" and a second reference. Ranges are
// written absolute, both corners: sheet part, "$A$1:$B$9".
// Column letters: one letter up to 26, else the letter for (k - 1) / 26 and
// the letter for (k - 1) mod 26 + 1.
//
// Limits: columns 1-256 (A to IV), rows 1-65536; a reference beyond them is
// not usable, so every usable range can be written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace workbook {

constexpr int32_t kMaxReferenceColumn = 256;
constexpr int32_t kMaxReferenceRow = 65536;

struct CellRef {
    int32_t column = 0;  // 1 = A
    int32_t row = 0;     // 1-based
    friend bool operator==(const CellRef&, const CellRef&) = default;
};

struct CellRange {
    std::string sheetPart;  // "" or the sheet text including its final "!"
    CellRef first;          // top left corner
    CellRef last;           // bottom right corner
    friend bool operator==(const CellRange&, const CellRange&) = default;

    int32_t columns() const { return last.column - first.column + 1; }
    int32_t rows() const { return last.row - first.row + 1; }
};

// Reads a cell reference at the start of the text. `consumed`, when given,
// receives the number of characters that form the reference (also when it
// is not usable).
std::optional<CellRef> ParseCellRef(std::string_view text, size_t* consumed = nullptr);

// Reads a whole range text: an optional pair of enclosing parentheses, an
// optional sheet part, one reference or two joined by ":", and nothing
// after. The corners come out ordered (top left, bottom right).
std::optional<CellRange> parseRange(std::string_view text);

// "A" to "IV" (and on to "ZZ"); empty for a column outside 1-702.
std::string columnLetters(int32_t column);

// Sheet part and "$A$1:$B$9".
std::string FormatRange(const CellRange& range);

// Widens `into` to the bounding box of both ranges. An empty `into` takes
// `add` as it is; a range whose sheet part differs is ignored (false).
bool mergeRange(std::optional<CellRange>& into, const CellRange& add);

}  // namespace workbook
