// workbook/chart_formula.h - formula texts of an exported sheet.
//
// Cell formulas keep only the workbook's file name inside "[...]". A chart
// comes from the add-in as its series formulas, =SERIES(name,categories,
// values,order), one per series; the sheet database stores one definition
// for the whole chart:
//   "=##(" names "," categories {"," values} ")"
// where names and categories are the union of the series' ranges on one
// sheet ("0" when there is none) and the values ranges follow in series
// order.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// A chart definition text never grows beyond this (a 1,024-byte buffer with
// its NUL on the handheld and in earlier desktop versions).
constexpr size_t kMaxChartDefinitionLength = 1023;

// A formula (text beginning with "=") keeps only the file name inside every
// "[...]": the folder part goes and a final ".xls" (any case) goes when the
// name is longer than four characters. Scanning stops at a "[" without a
// following "]". Other texts come back unchanged.
std::string rewriteFormulaBrackets(std::string_view text);

// The arguments of a formula such as =SERIES(name,categories,values,order):
// the text after the first "(" up to its matching ")", split at commas that
// are neither inside parentheses nor inside single or double quotes.
std::vector<std::string_view> formulaArguments(std::string_view formula);

// A chart definition text built from the series formulas of one chart:
// "=##(" names "," categories {"," values} ")", never longer than
// kMaxChartDefinitionLength (series from the first one that does not fit are
// left out; a names or categories range that alone does not fit is "0").
struct ChartDefinitionText {
    std::string text;
    bool seriesInColumns = false;  // the first values range is one column wide
    size_t seriesWritten = 0;
};
ChartDefinitionText chartDefinitionFromSeries(std::span<const std::string_view> formulas);

}  // namespace workbook
