#include "workbook/chart_formula.h"

#include <optional>

#include "platform/files.h"
#include "platform/text.h"
#include "workbook/references.h"
#include "workbook/sheet_format.h"

namespace workbook {

std::string rewriteFormulaBrackets(std::string_view text) {
    if (text.empty() || text.front() != '=') return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('[', pos);
        if (open == std::string_view::npos) break;
        size_t close = text.find(']', open + 1);
        if (close == std::string_view::npos) break;
        out.append(text.substr(pos, open + 1 - pos));
        std::string_view name = platform::fileNamePart(text.substr(open + 1, close - open - 1));
        if (name.size() > 4 && platform::endsWithNoCase(name, ".xls")) name.remove_suffix(4);
        out.append(name);
        out += ']';
        pos = close + 1;
    }
    out.append(text.substr(pos));
    return out;
}

std::vector<std::string_view> formulaArguments(std::string_view formula) {
    std::vector<std::string_view> args;
    size_t open = formula.find('(');
    if (open == std::string_view::npos) return args;
    std::string_view body = formula.substr(open + 1);
    size_t depth = 0, start = 0;
    char quote = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote closes and reopens
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth == 0) {
                args.push_back(body.substr(start, i - start));
                return args;
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            args.push_back(body.substr(start, i - start));
            start = i + 1;
        }
    }
    args.push_back(body.substr(start));  // no closing parenthesis: the rest
    return args;
}

ChartDefinitionText chartDefinitionFromSeries(std::span<const std::string_view> formulas) {
    std::optional<CellRange> names, categories;
    std::vector<std::string_view> values;
    ChartDefinitionText out;
    bool first = true;
    for (std::string_view formula : formulas) {
        std::vector<std::string_view> args = formulaArguments(formula);
        if (args.size() > 0)
            if (auto range = parseRange(args[0])) mergeRange(names, *range);
        if (args.size() > 1)
            if (auto range = parseRange(args[1])) mergeRange(categories, *range);
        if (args.size() > 2) {
            values.push_back(args[2]);
            if (first) {
                auto range = parseRange(args[2]);
                out.seriesInColumns = range && range->first.column == range->last.column;
            }
        }
        first = false;
    }

    std::string namesText = names ? FormatRange(*names) : std::string(kNoRange);
    std::string categoriesText = categories ? FormatRange(*categories) : std::string(kNoRange);
    const size_t fixed = kChartDefinitionPrefix.size() + 2;  // "=##(", "," and ")"
    if (fixed + namesText.size() + categoriesText.size() > kMaxChartDefinitionLength) {
        std::string& longer = namesText.size() >= categoriesText.size() ? namesText : categoriesText;
        longer = kNoRange;
        if (fixed + namesText.size() + categoriesText.size() > kMaxChartDefinitionLength)
            namesText = categoriesText = kNoRange;
    }
    out.text.reserve(kMaxChartDefinitionLength);
    out.text = kChartDefinitionPrefix;
    out.text += namesText;
    out.text += ',';
    out.text += categoriesText;
    for (std::string_view v : values) {
        // Series keep their order: once one does not fit, the rest are left out.
        if (out.text.size() + 1 + v.size() + 1 > kMaxChartDefinitionLength) break;
        out.text += ',';
        out.text += v;
        ++out.seriesWritten;
    }
    out.text += ')';
    return out;
}

}  // namespace workbook
