// Chart definitions turned back into the add-in's series formulas.
#include <gtest/gtest.h>

#include "workbook/sheet_import.h"

using namespace workbook;

namespace {

// The formulas of a result, without their NULs.
std::vector<std::string> split(const std::string& formulas) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i < formulas.size(); ++i) {
        if (formulas[i] == '\0') {
            out.push_back(formulas.substr(start, i - start));
            start = i + 1;
        }
    }
    EXPECT_EQ(start, formulas.size()) << "every formula ends with a NUL";
    return out;
}

std::vector<std::string> series(std::string_view definition, bool inColumns,
                                std::string_view sheet = "Sheet") {
    std::string out;
    EXPECT_EQ(chartSeriesFormulas(definition, inColumns, sheet, out), 0) << definition;
    return split(out);
}

using Formulas = std::vector<std::string>;

}  // namespace

TEST(ChartSeries, ValuesPerColumnNamesAlongColumns) {
    EXPECT_EQ(series("=##($B$1:$D$1,$A$2:$A$9,$B$2:$D$9)", true),
              (Formulas{"=SERIES('Sheet'!$B$1,'Sheet'!$A$2:$A$9,'Sheet'!$B$2:$B$9,1)",
                        "=SERIES('Sheet'!$C$1,'Sheet'!$A$2:$A$9,'Sheet'!$C$2:$C$9,2)",
                        "=SERIES('Sheet'!$D$1,'Sheet'!$A$2:$A$9,'Sheet'!$D$2:$D$9,3)"}));
}

TEST(ChartSeries, ValuesPerRowNamesAlongRows) {
    EXPECT_EQ(series("=##($A$2:$A$3,$B$1:$D$1,$B$2:$D$3)", false),
              (Formulas{"=SERIES('Sheet'!$A$2,'Sheet'!$B$1:$D$1,'Sheet'!$B$2:$D$2,1)",
                        "=SERIES('Sheet'!$A$3,'Sheet'!$B$1:$D$1,'Sheet'!$B$3:$D$3,2)"}));
}

TEST(ChartSeries, SheetPartsAreKeptAndNamesRunOut) {
    // Order numbers run on across the values ranges; a name range that is
    // used up leaves the later names empty.
    EXPECT_EQ(series("=##(Other!$B$1,'My Sheet'!$A$2:$A$4,Other!$B$2:$C$4,Third!$D$2:$D$4)", true, "Jan"),
              (Formulas{"=SERIES(Other!$B$1,'My Sheet'!$A$2:$A$4,Other!$B$2:$B$4,1)",
                        "=SERIES(,'My Sheet'!$A$2:$A$4,Other!$C$2:$C$4,2)",
                        "=SERIES(,'My Sheet'!$A$2:$A$4,Third!$D$2:$D$4,3)"}));
}

TEST(ChartSeries, MissingOrUnreadableNamesAndCategories) {
    EXPECT_EQ(series("=##(0,0,$B$2:$B$4)", true), (Formulas{"=SERIES(,,'Sheet'!$B$2:$B$4,1)"}));
    EXPECT_EQ(series("=##(junk,??,$B$2:$B$4)", true), (Formulas{"=SERIES(,,'Sheet'!$B$2:$B$4,1)"}));
    // Parentheses around an argument, and a range written the other way round.
    EXPECT_EQ(series("=##(($A$1),0,($C$3:$B$2))", true),
              (Formulas{"=SERIES('Sheet'!$A$1,,'Sheet'!$B$2:$B$3,1)", "=SERIES(,,'Sheet'!$C$2:$C$3,2)"}));
}

TEST(ChartSeries, WhatTheExporterWrites) {
    std::vector<std::string> values{"$B$2:$B$5", "$C$2:$C$5"};
    std::string text = buildChartDefinitionText("$B$1:$C$1", "$A$2:$A$5", values);
    EXPECT_EQ(series(text, true, "Q1"), (Formulas{"=SERIES('Q1'!$B$1,'Q1'!$A$2:$A$5,'Q1'!$B$2:$B$5,1)",
                                                  "=SERIES('Q1'!$C$1,'Q1'!$A$2:$A$5,'Q1'!$C$2:$C$5,2)"}));
}

TEST(ChartSeries, UnreadableDefinitions) {
    std::string out = "previous";
    EXPECT_EQ(chartSeriesFormulas("=##(0,0,$B$2:$B$3,junk)", true, "S", out), BF_ERR_PROGRAM);
    EXPECT_EQ(out, "");
    EXPECT_EQ(chartSeriesFormulas("=##(0,0)", true, "S", out), BF_ERR_PROGRAM);  // no values at all
    EXPECT_EQ(chartSeriesFormulas("=##(0,0,)", true, "S", out), BF_ERR_PROGRAM);
    EXPECT_EQ(chartSeriesFormulas("=SERIES(,,$B$2:$B$3,1)", true, "S", out), BF_ERR_PROGRAM);
    EXPECT_EQ(chartSeriesFormulas("", true, "S", out), BF_ERR_PROGRAM);
    EXPECT_EQ(chartSeriesFormulas(std::string("=##(0,0,$B$2\0:$B$3)", 19), true, "S", out), BF_ERR_PROGRAM);
}

TEST(ChartSeries, FormulasStayWithin4096Bytes) {
    // Each formula of the first range is 1,123 bytes plus its NUL: three fit,
    // the fourth does not, and the rest of that range goes with it. The next
    // range's short formula still fits.
    std::string part(1100, 'L');
    std::string definition = "=##(0,0," + part + "!$B$1:$B$9,$C$1:$C$1)";
    std::string out;
    ASSERT_EQ(chartSeriesFormulas(definition, false, "S", out), 0);
    Formulas f = split(out);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0], "=SERIES(,," + part + "!$B$1:$B$1,1)");
    EXPECT_EQ(f[2], "=SERIES(,," + part + "!$B$3:$B$3,3)");
    EXPECT_EQ(f[3], "=SERIES(,,'S'!$C$1:$C$1,5)");
    EXPECT_EQ(out.size(), 3 * 1124 + 27u);

    // Exactly 4,096 bytes fit.
    std::string exact(1000, 'E');
    ASSERT_EQ(chartSeriesFormulas("=##(0,0," + exact + "!$B$1:$B$9)", false, "S", out), 0);
    EXPECT_EQ(out.size(), kMaxSeriesTextSize);
    EXPECT_EQ(split(out).size(), 4u);

    // A whole sheet's width of series: cut at the limit, never beyond it.
    ASSERT_EQ(chartSeriesFormulas("=##($A$1:$IV$1,$A$2:$A$65536,$A$2:$IV$65536)", true, "Sheet", out), 0);
    EXPECT_LE(out.size(), kMaxSeriesTextSize);
    f = split(out);
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f[0], "=SERIES('Sheet'!$A$1,'Sheet'!$A$2:$A$65536,'Sheet'!$A$2:$A$65536,1)");
    EXPECT_EQ(f.back().back(), ')');
}
