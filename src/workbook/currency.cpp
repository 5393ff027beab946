#include "workbook/currency.h"

#include <array>
#include <cstdio>

#include "workbook/sheet_format.h"

namespace workbook {

namespace {

// Symbols are Windows-1252 bytes: \xF6 o-umlaut, \x80 euro, \xA3 pound, \xA5 yen.
constexpr std::array<CurrencyRow, kCurrencyRows> kTable{{
    {"Default", "Default Currency", "$", "$", 0, 0},
    {"Default Dollar", "Default Dollar", "$", "$", 1, 0},
    {"Australia", "Australian Dollar", "$", "AU$", 1, 0x0C09},
    {"Austria", "Schilling", "AS", "\xF6S", 2, 0x0C07},
    {"Belgium", "Franc", "BF", "BF", 3, 0x080C},
    {"Brazil", "Cruzeiro", "R$", "R$", 13, 0x0416},
    {"Canada", "Canadian Dollar", "$", "$CN", 1, 0x1009},
    {"Canada", "Canadian Dollar", "$", "$CN", 1, 0x0C0C},
    {"Denmark", "Krone", "kr", "DKK", 8, 0x0406},
    {"Euro", "Euro", "\x80", "\x80", 22, 0x0001},
    {"Euro", "Euro", "\x80", "\x80", 22, 0x0002},
    {"Finland", "Markka", "Mk", "Mk", 11, 0x040B},
    {"Finland", "Markka", "Mk", "Mk", 20, 0x081D},
    {"France", "Franc", "F", "FRF", 6, 0x040C},
    {"Germany", "Deutsche Mark", "DM", "DM", 5, 0x0407},
    {"Hong Kong", "HK Dollar", "$", "HKD", 1, 0x0C04},
    {"Iceland", "Icelandic Krona", "kr", "ISK", 8, 0x040F},
    {"India", "Indian Rupees", "Rs", "Rs", 16, 0},
    {"Indonesia", "Indonesian Rupiah", "Rp", "Rp", 15, 0x0421},
    {"Ireland", "Punt", "IR\xA3", "IR\xA3", 7, 0x1809},
    {"Italy", "Italian Lira", "L.", "L.", 10, 0x0410},
    {"Japan", "Yen", "\xA5", "\xA5", 21, 0x0411},
    {"Korea", "Korean Won", "KRW", "KRW", 9, 0x0412},
    {"Luxembourg", "Luxembourg Franc", "F", "Flux", 6, 0x140C},
    {"Luxembourg", "Luxembourg Franc", "F", "Flux", 6, 0x1007},
    {"Malaysia", "Malaysian Ringgit", "RM", "RM", 14, 0x043E},
    {"Mexico", "Peso", "$", "MXP", 1, 0x080A},
    {"Netherlands", "Guilder", "F", "NLG", 6, 0x0413},
    {"New Zealand", "New Zealand Dollar", "$", "$NZ", 1, 0x1409},
    {"Norway", "Norwegian Krone", "kr", "NOK", 8, 0x0414},
    {"Norway", "Norwegian Krone", "kr", "NOK", 8, 0x0814},
    {"P.R.C.", "Renminbi", "\xA5", "\xA5", 21, 0},
    {"Philippines", "Philippines Peso", "P", "Php", 17, 0x3409},
    {"Singapore", "Singapore Dollar", "$", "SGD", 1, 0x1004},
    {"Spain", "Peseta", "Pts", "Pts", 18, 0x040A},
    {"Sweden", "Swedish Krona", "kr", "SEK", 8, 0x041D},
    {"Switzerland", "Swiss Franc", "SFr.", "CHF", 19, 0x0807},
    {"Switzerland", "Swiss Franc", "SFr.", "CHF", 19, 0x0810},
    {"Switzerland", "Swiss Franc", "SFr.", "CHF", 19, 0x100C},
    {"Taiwan", "New Taiwan Dollar", "NT$", "NTD", 12, 0x0404},
    {"Thailand", "Thai Baht", "BHT", "BHT", 4, 0x041E},
    {"United Kingdom", "Pound", "\xA3", "\xA3", 20, 0x0809},
    {"United States", "US Dollar", "$", "$US", 1, 0x0409},
}};

constexpr bool fitsLimits() {
    for (const CurrencyRow& r : kTable)
        if (r.country.size() > 31 || r.currency.size() > 31 || r.shortSymbol.size() > 7 ||
            r.longSymbol.size() > 7 || r.code > kMaxCurrencyTableCode)
            return false;
    return true;
}
static_assert(fitsLimits(), "currency names up to 31 characters, symbols up to 7, codes up to 22");

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::span<const CurrencyRow, kCurrencyRows> currencyTable() { return kTable; }

std::optional<std::string> CurrencyText(uint32_t formatFlags) {
    if (!(formatFlags & kFlagCurrency)) return std::nullopt;
    uint8_t code = uint8_t(formatFlags >> kCurrencyCodeShift);
    if (code >= kFirstCurrencyCharacter) return "[$" + std::string(1, char(code)) + "]";
    if (code >= 1 && code <= kMaxCurrencyTableCode) {
        const CurrencyRow* found = nullptr;
        for (size_t i = 1; i < kTable.size(); ++i)
            if (kTable[i].code == code) found = &kTable[i];
        if (found) {
            std::string text = "[$" + std::string(found->shortSymbol);
            if (found->locale != 0) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "-%X", unsigned(found->locale));
                text += hex;
            }
            return text + "]";
        }
    }
    return "$";
}

uint8_t CurrencyCode(int32_t locale, std::string_view symbol) {
    for (const CurrencyRow& r : kTable)
        if (int32_t(r.locale) == locale) return r.code;
    for (const CurrencyRow& r : kTable)
        if (r.longSymbol == symbol) return r.code;
    for (const CurrencyRow& r : kTable)
        if (r.shortSymbol == symbol) return r.code;
    return 0;
}

CurrencyTextParts splitCurrencyText(std::string_view text) {
    constexpr int32_t kTooLarge = 0x7FFFFFFF;  // no row has this locale
    text = text.substr(0, kMaxCurrencyTextLength);
    CurrencyTextParts parts;
    size_t hyphen = text.find('-');
    if (hyphen == std::string_view::npos) {
        parts.symbol = text;
        return parts;
    }
    parts.symbol = text.substr(0, hyphen);
    int64_t locale = 0;
    for (size_t i = hyphen + 1; i < text.size(); ++i) {
        int d = hexDigit(text[i]);
        if (d < 0) break;
        locale = locale * 16 + d;
        if (locale > kTooLarge) locale = kTooLarge;
    }
    parts.locale = int32_t(locale);
    return parts;
}

}  // namespace workbook
