#include "workbook/references.h"

#include <algorithm>

namespace workbook {

namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int letterValue(char c) { return (c >= 'a' ? c - 'a' : c - 'A') + 1; }

constexpr int32_t kMaxLetterColumn = 26 + 26 * 26;  // ZZ

}  // namespace

std::optional<CellRef> ParseCellRef(std::string_view text, size_t* consumed) {
    size_t i = 0;
    if (i < text.size() && text[i] == '$') ++i;
    // Numbers stop growing once past their limit, so long runs cannot overflow.
    int32_t column = 0;
    bool anyLetter = false;
    for (; i < text.size() && isLetter(text[i]); ++i) {
        anyLetter = true;
        if (column <= kMaxReferenceColumn) column = column * 26 + letterValue(text[i]);
    }
    if (i < text.size() && text[i] == '$') ++i;
    int32_t row = 0;
    bool anyDigit = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        anyDigit = true;
        if (row <= kMaxReferenceRow) row = row * 10 + (text[i] - '0');
    }
    if (consumed) *consumed = i;
    if (!anyLetter || !anyDigit) return std::nullopt;
    if (column < 1 || column > kMaxReferenceColumn || row < 1 || row > kMaxReferenceRow) return std::nullopt;
    return CellRef{column, row};
}

std::optional<CellRange> parseRange(std::string_view text) {
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    CellRange range;
    size_t bang = text.rfind('!');
    if (bang != std::string_view::npos) {
        range.sheetPart = std::string(text.substr(0, bang + 1));
        text.remove_prefix(bang + 1);
    }
    size_t used = 0;
    auto a = ParseCellRef(text, &used);
    if (!a) return std::nullopt;
    text.remove_prefix(used);
    CellRef b = *a;
    if (!text.empty() && text.front() == ':') {
        text.remove_prefix(1);
        auto second = ParseCellRef(text, &used);
        if (!second) return std::nullopt;
        text.remove_prefix(used);
        b = *second;
    }
    if (!text.empty()) return std::nullopt;
    range.first = CellRef{std::min(a->column, b.column), std::min(a->row, b.row)};
    range.last = CellRef{std::max(a->column, b.column), std::max(a->row, b.row)};
    return range;
}

std::string columnLetters(int32_t column) {
    if (column < 1 || column > kMaxLetterColumn) return {};
    if (column <= 26) return std::string(1, char('A' + column - 1));
    std::string s;
    s += char('A' + (column - 1) / 26 - 1);
    s += char('A' + (column - 1) % 26);
    return s;
}

std::string FormatRange(const CellRange& range) {
    std::string s = range.sheetPart;
    auto corner = [&s](const CellRef& ref) {
        s += '$';
        s += columnLetters(ref.column);
        s += '$';
        s += std::to_string(ref.row);
    };
    corner(range.first);
    s += ':';
    corner(range.last);
    return s;
}

bool mergeRange(std::optional<CellRange>& into, const CellRange& add) {
    if (!into) {
        into = add;
        return true;
    }
    if (into->sheetPart != add.sheetPart) return false;
    into->first.column = std::min(into->first.column, add.first.column);
    into->first.row = std::min(into->first.row, add.first.row);
    into->last.column = std::max(into->last.column, add.last.column);
    into->last.row = std::max(into->last.row, add.last.row);
    return true;
}

}  // namespace workbook
