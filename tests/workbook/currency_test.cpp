// Currency codes <-> currency texts.
#include "workbook/currency.h"

#include <gtest/gtest.h>

#include "workbook/sheet_format.h"

using namespace workbook;

namespace {
uint32_t withCode(uint32_t code) { return kFlagCurrency | (code << kCurrencyCodeShift); }
}  // namespace

TEST(Currency, TableShape) {
    auto table = currencyTable();
    EXPECT_EQ(table[0].country, "Default");
    EXPECT_EQ(table[0].code, 0);
    EXPECT_EQ(table[0].locale, 0);
    EXPECT_EQ(table[3].longSymbol, "\xF6S");
    EXPECT_EQ(table[14].locale, 0x0407);
    EXPECT_EQ(table[19].shortSymbol, "IR\xA3");
    EXPECT_EQ(table[42].country, "United States");
    EXPECT_EQ(table[42].longSymbol, "$US");
    // Every code 1 to 22 has a row, so CurrencyText always finds one.
    for (int code = 1; code <= 22; ++code) {
        bool found = false;
        for (const auto& row : table) found |= row.code == code;
        EXPECT_TRUE(found) << code;
    }
}

TEST(Currency, TextForCodes) {
    EXPECT_EQ(CurrencyText(withCode(1)), "[$$-409]");
    EXPECT_EQ(CurrencyText(withCode(8)), "[$kr-41D]");
    EXPECT_EQ(CurrencyText(withCode(20)), "[$\xA3-809]");
    EXPECT_EQ(CurrencyText(withCode(21)), "[$\xA5]");
    EXPECT_EQ(CurrencyText(withCode(22)), "[$\x80-2]");
    EXPECT_EQ(CurrencyText(withCode(5)), "[$DM-407]");
    EXPECT_EQ(CurrencyText(withCode(16)), "[$Rs]");
    EXPECT_EQ(CurrencyText(withCode(19)), "[$SFr.-100C]");
    EXPECT_EQ(CurrencyText(withCode(0x80)), "[$\x80]");
    EXPECT_EQ(CurrencyText(withCode(0x40)), "[$@]");
    EXPECT_EQ(CurrencyText(withCode(0)), "$");
    EXPECT_EQ(CurrencyText(withCode(23)), "$");
    EXPECT_EQ(CurrencyText(withCode(0x3F)), "$");
    EXPECT_EQ(CurrencyText(withCode(0x80) | 0x00FFFF00), "[$\x80]");  // other bits do not matter
}

TEST(Currency, NoTextWithoutTheCurrencyBit) {
    EXPECT_FALSE(CurrencyText(0));
    EXPECT_FALSE(CurrencyText(0x08000000));
    EXPECT_FALSE(CurrencyText(0xFFFFFFBF));
}

TEST(Currency, CodeForLocaleAndSymbol) {
    EXPECT_EQ(CurrencyCode(0x407, "whatever"), 5);
    EXPECT_EQ(CurrencyCode(0x407, "$"), 5);
    EXPECT_EQ(CurrencyCode(0x9999, "SEK"), 8);
    EXPECT_EQ(CurrencyCode(-1, "SEK"), 8);
    EXPECT_EQ(CurrencyCode(-1, "sek"), 0);  // case counts
    EXPECT_EQ(CurrencyCode(-1, "XYZ"), 0);
    EXPECT_EQ(CurrencyCode(0, "SEK"), 0);   // locale 0 is row 0
    EXPECT_EQ(CurrencyCode(-1, "Mk"), 11);  // first row wins
    EXPECT_EQ(CurrencyCode(0x081D, "Mk"), 20);
    EXPECT_EQ(CurrencyCode(-1, "F"), 6);  // a short symbol
    EXPECT_EQ(CurrencyCode(-1, "\x80"), 22);
    EXPECT_EQ(CurrencyCode(-1, "$"), 0);  // row 0's long symbol
    EXPECT_EQ(CurrencyCode(-1, ""), 0);
}

TEST(Currency, SplittingTheCellsText) {
    auto p = splitCurrencyText("Fr-40C");
    EXPECT_EQ(p.symbol, "Fr");
    EXPECT_EQ(p.locale, 0x40C);
    p = splitCurrencyText("Fr40C");
    EXPECT_EQ(p.symbol, "Fr40C");
    EXPECT_EQ(p.locale, -1);
    EXPECT_EQ(splitCurrencyText("x-0").locale, 0);
    EXPECT_EQ(splitCurrencyText("x-").locale, 0);
    EXPECT_EQ(splitCurrencyText("x-zz").locale, 0);
    EXPECT_EQ(splitCurrencyText("kr-41d]").locale, 0x41D);
    EXPECT_EQ(splitCurrencyText("a-b-c").symbol, "a");
    EXPECT_EQ(splitCurrencyText("a-b-c").locale, 0xB);
    EXPECT_EQ(splitCurrencyText("-FFFFFFFFFFFFFFFFFFFF").locale, 0x7FFFFFFF);
    // Only the first 63 bytes count.
    std::string longText(62, 'x');
    EXPECT_EQ(splitCurrencyText(longText + "-1").locale, 0);
    EXPECT_EQ(splitCurrencyText(longText + "-1").symbol, longText);
    EXPECT_EQ(splitCurrencyText(longText + "x-1").locale, -1);
    // Through to the code, as the cell writer uses it.
    auto sek = splitCurrencyText("SEK-41D");
    EXPECT_EQ(CurrencyCode(sek.locale, sek.symbol), 8);
}
