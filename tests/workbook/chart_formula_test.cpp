// Formula texts of an exported sheet: the workbook names in cell formulas
// and the chart definition built from series formulas.
#include "workbook/chart_formula.h"

#include <gtest/gtest.h>

#include "workbook/sheet_format.h"

using namespace workbook;

TEST(ChartFormula, FormulaKeepsOnlyTheWorkbookFileName) {
    EXPECT_EQ(rewriteFormulaBrackets("=[C:\\Data\\Prices.XLS]Sheet1!A1"), "=[Prices]Sheet1!A1");
    EXPECT_EQ(rewriteFormulaBrackets("=[a\\B.xls]S!A1+[\\\\srv\\c\\D.txt]T!B2"), "=[B]S!A1+[D.txt]T!B2");
    EXPECT_EQ(rewriteFormulaBrackets("=[.xls]S!A1"), "=[.xls]S!A1");  // four characters: kept
    EXPECT_EQ(rewriteFormulaBrackets("=[dir/a.xls]S!A1"), "=[a]S!A1");
    EXPECT_EQ(rewriteFormulaBrackets("=[C:\\x\\A.xls]S!A1+[C:\\y\\B.xls"), "=[A]S!A1+[C:\\y\\B.xls");
    EXPECT_EQ(rewriteFormulaBrackets("[C:\\x\\A.xls]"), "[C:\\x\\A.xls]");  // not a formula
    EXPECT_EQ(rewriteFormulaBrackets("="), "=");
}

TEST(ChartFormula, RangesMergeOnlyWithinOneSheet) {
    const std::string_view formulas[] = {
        "=SERIES('My, Sheet'!$A$5,'My, Sheet'!$B$4:$C$4,'My, Sheet'!$B$5:$C$5,1)",
        "=SERIES(Other!$A$9,'My, Sheet'!$B$1,'My, Sheet'!$B$6:$C$6,2)",  // other sheet: name ignored
        "=SERIES(\"Plain, text\",junk,'My, Sheet'!$B$7:$C$7,3)",         // no usable reference
        "no parenthesis at all",
    };
    ChartDefinitionText def = chartDefinitionFromSeries(formulas);
    EXPECT_EQ(def.text,
              "=##('My, Sheet'!$A$5:$A$5,'My, Sheet'!$B$1:$C$4,'My, Sheet'!$B$5:$C$5,'My, Sheet'!$B$6:$C$6,"
              "'My, Sheet'!$B$7:$C$7)");
    EXPECT_FALSE(def.seriesInColumns);
    EXPECT_EQ(def.seriesWritten, 3u);

    auto args = formulaArguments("=SERIES((A1,A2),'a,b'!B1,\"x)y\",4)");
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[0], "(A1,A2)");
    EXPECT_EQ(args[1], "'a,b'!B1");
    EXPECT_EQ(args[2], "\"x)y\"");
    EXPECT_EQ(args[3], "4");
    EXPECT_TRUE(formulaArguments("=SUM").empty());
    EXPECT_EQ(formulaArguments("=SERIES(A1,B2").size(), 2u);
}

TEST(ChartFormula, DefinitionStaysWithin1023Bytes) {
    std::vector<std::string> series;
    for (int i = 0; i < 200; ++i)
        series.push_back("=SERIES(S!$A$" + std::to_string(i + 1) + ",S!$B$1:$Z$1,LongSheetName!$B$" +
                         std::to_string(i + 1) + ":$Z$" + std::to_string(i + 1) + "," + std::to_string(i) +
                         ")");
    std::vector<std::string_view> views(series.begin(), series.end());
    ChartDefinitionText def = chartDefinitionFromSeries(views);
    EXPECT_LE(def.text.size(), kMaxChartDefinitionLength);
    EXPECT_GT(def.seriesWritten, 10u);
    EXPECT_LT(def.seriesWritten, 200u);
    EXPECT_TRUE(def.text.ends_with(",LongSheetName!$B$" + std::to_string(def.seriesWritten) + ":$Z$" +
                                   std::to_string(def.seriesWritten) + ")"));
    auto split = splitChartDefinitionText(def.text);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->values.size(), def.seriesWritten);

    // A sheet part too long for the definition: that range is written as 0.
    std::string longSheet = "=SERIES(" + std::string(1100, 'N') + "!$A$1,S!$B$1,S!$C$1,1)";
    std::string_view one[] = {longSheet};
    def = chartDefinitionFromSeries(one);
    EXPECT_EQ(def.text, "=##(0,S!$B$1:$B$1,S!$C$1)");
}
