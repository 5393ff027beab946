// A1 references and ranges.
#include "workbook/references.h"

#include <gtest/gtest.h>

using namespace workbook;

TEST(References, ColumnLetters) {
    const std::pair<int, const char*> cases[] = {{1, "A"},   {26, "Z"},   {27, "AA"}, {52, "AZ"},
                                                 {53, "BA"}, {256, "IV"}, {702, "ZZ"}};
    for (auto [column, letters] : cases) EXPECT_EQ(columnLetters(column), letters) << column;
    EXPECT_EQ(columnLetters(0), "");
    EXPECT_EQ(columnLetters(703), "");
    EXPECT_EQ(columnLetters(-1), "");
}

TEST(References, ParseCellRef) {
    EXPECT_EQ(ParseCellRef("A1"), (CellRef{1, 1}));
    EXPECT_EQ(ParseCellRef("$iv$9999"), (CellRef{256, 9999}));
    EXPECT_EQ(ParseCellRef("aA27"), (CellRef{27, 27}));
    EXPECT_EQ(ParseCellRef("B$65536"), (CellRef{2, 65536}));
    size_t used = 0;
    EXPECT_EQ(ParseCellRef("$C$3:$D$4", &used), (CellRef{3, 3}));
    EXPECT_EQ(used, 4u);
    for (const char* bad :
         {"", "$", "A", "1", "$$A1", "A0", "IW1", "A65537", "ZZZZZZZZZZZZZZ1", "A99999999999999"})
        EXPECT_FALSE(ParseCellRef(bad)) << bad;
    ParseCellRef("ABC", &used);
    EXPECT_EQ(used, 3u);
}

TEST(References, ParseRange) {
    auto r = parseRange("Sheet1!$B$9:$A$2");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sheetPart, "Sheet1!");
    EXPECT_EQ(r->first, (CellRef{1, 2}));
    EXPECT_EQ(r->last, (CellRef{2, 9}));
    EXPECT_EQ(r->columns(), 2);
    EXPECT_EQ(r->rows(), 8);
    EXPECT_EQ(FormatRange(*r), "Sheet1!$A$2:$B$9");

    r = parseRange("(C3)");
    ASSERT_TRUE(r);
    EXPECT_EQ(FormatRange(*r), "$C$3:$C$3");
    r = parseRange("'Q1 ''99, East'!b2:b5");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sheetPart, "'Q1 ''99, East'!");
    EXPECT_EQ(FormatRange(*r), "'Q1 ''99, East'!$B$2:$B$5");

    for (const char* bad : {"", "0", "Sheet1!", "A1:", "A1:B", "A1 ", "A1:B2:C3", "(A1", "A1B2", "!"})
        EXPECT_FALSE(parseRange(bad)) << bad;
}

TEST(References, FormatThenParseIsTheIdentity) {
    const CellRef corners[] = {{1, 1},   {1, 9999}, {256, 1},   {256, 9999},
                               {26, 26}, {27, 100}, {52, 1000}, {53, 2}};
    for (const CellRef& a : corners)
        for (const CellRef& b : corners) {
            if (b.column < a.column || b.row < a.row) continue;
            for (const char* sheet : {"", "Data!", "'My Sheet'!"}) {
                CellRange range{sheet, a, b};
                auto back = parseRange(FormatRange(range));
                ASSERT_TRUE(back) << FormatRange(range);
                EXPECT_EQ(*back, range) << FormatRange(range);
            }
        }
    for (int column = 1; column <= 256; ++column) {
        CellRange range{"", {column, 1}, {column, 9999}};
        EXPECT_EQ(parseRange(FormatRange(range)), range) << column;
    }
}

TEST(References, MergeWidensAndIgnoresOtherSheets) {
    std::optional<CellRange> names;
    EXPECT_TRUE(mergeRange(names, *parseRange("Sheet1!$B$1")));
    EXPECT_TRUE(mergeRange(names, *parseRange("Sheet1!$D$3:$C$1")));
    EXPECT_FALSE(mergeRange(names, *parseRange("Other!$A$1:$Z$99")));
    EXPECT_FALSE(mergeRange(names, *parseRange("$A$1")));
    EXPECT_EQ(FormatRange(*names), "Sheet1!$B$1:$D$3");
}
