// workbook/currency.h - currency codes <-> the add-in's currency texts.
//
// In a format word (book header, column entries, cells) bit 0x40 marks a
// currency format and bits 24-31 then hold the currency code: 1 to 22 name a
// row of the table below, 0x40 or more is itself the currency character.
//
// Currency table, 43 rows (symbols are Windows-1252 bytes, the euro is 0x80):
//   country, currency name (up to 31 characters), short and long symbol (up
//   to 7), code, Windows locale (0 = none)
// The names only describe the rows. Row 0 is the default currency, code 0.
//
// CurrencyText (flags): no text without 0x40; "[$%c]" for a code of 0x40 or
// more; for 1 to 22 the last row (1..42) with that code: "[$%s-%X]" with its
// short symbol and locale, "[$%s]" when the locale is 0; "$" otherwise.
// CurrencyCode (locale, symbol): the first row (from row 0) with that locale,
// else the first whose long symbol equals the symbol, else the first whose
// short symbol does, else 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace workbook {

struct CurrencyRow {
    std::string_view country;
    std::string_view currency;
    std::string_view shortSymbol;
    std::string_view longSymbol;
    uint8_t code = 0;
    uint16_t locale = 0;
};

constexpr size_t kCurrencyRows = 43;
constexpr uint8_t kMaxCurrencyTableCode = 22;
constexpr uint8_t kFirstCurrencyCharacter = 0x40;
// The exporter reads at most this many bytes of a cell's currency text.
constexpr size_t kMaxCurrencyTextLength = 63;

std::span<const CurrencyRow, kCurrencyRows> currencyTable();

// The text reported to the add-in for a format word; nothing without 0x40.
std::optional<std::string> CurrencyText(uint32_t formatFlags);

// The code 0-22 for a locale number (-1: none) and a symbol text.
uint8_t CurrencyCode(int32_t locale, std::string_view symbol);

// A cell's currency text split at its first hyphen: the symbol before it and
// the hexadecimal number after it (up to the first non-hex character; 0 when
// no digits follow), or locale -1 without a hyphen. Only the first 63 bytes
// count. A number too large for a locale is kept as a value no row has.
struct CurrencyTextParts {
    std::string_view symbol;
    int32_t locale = -1;
};
CurrencyTextParts splitCurrencyText(std::string_view text);

}  // namespace workbook
