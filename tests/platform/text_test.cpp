#include "platform/text.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// ASCII folding only: bytes outside the letters, and bytes above 0x7F,
// compare as they are; ordering folds to upper case, so '_' sorts after
// letters of either case.
struct CompareCase {
    std::string_view a, b;
    int order;  // sign of compareNoCase(a, b)
};

TEST(CaseBlindText, ComparesWithAsciiFolding) {
    const CompareCase cases[] = {
        {"Book.PDB", "book.pdb", 0}, {"", "", 0},         {"a", "", 1},
        {"abc", "ABD", -1},          {"_x", "ax", 1},     {"_x", "Ax", 1},
        {"\xC4", "\xE4", -1},        {"\xE4", "\xE4", 0}, {"@", "`", -1},
        {"Book", "Books", -1},       {"[", "{", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        int got = platform::compareNoCase(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.order);
        EXPECT_EQ(platform::sameNoCase(c.a, c.b), c.order == 0);
    }
}

struct AffixCase {
    std::string_view text, affix;
    bool starts, ends;
};

TEST(CaseBlindText, MatchesPrefixAndEnding) {
    const AffixCase cases[] = {
        {"Budget.XLS", ".xls", false, true},
        {"dword:0001", "DWORD:", true, false},
        {".xls", ".xls", true, true},
        {"xls", ".xls", false, false},
        {"", "", true, true},
        {"Abc", "", true, true},
        {"a.xl\xD3", ".xl\xF3", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + std::string(c.affix));
        EXPECT_EQ(platform::startsWithNoCase(c.text, c.affix), c.starts);
        EXPECT_EQ(platform::endsWithNoCase(c.text, c.affix), c.ends);
    }
}

// The readers of numbers differ in blanks, signs, what may follow the
// digits and how long the text may be; every rule once, in each direction.
struct DecimalCase {
    std::string_view text;
    platform::DecimalRules rules;
    std::optional<uint64_t> value;
};

constexpr platform::DecimalRules kDigitsOnly{};
constexpr platform::DecimalRules kSignedField{.skipBlanks = true, .minus = true, .plus = true};
constexpr platform::DecimalRules kLeadingNumber{
    .skipBlanks = true, .minus = true, .plus = true, .stopAtJunk = true, .noDigitsIsZero = true};
constexpr platform::DecimalRules kShortNegative{.minus = true, .maxLength = 4};
constexpr uint64_t minus(uint64_t v) { return uint64_t(0) - v; }

TEST(DecimalText, EachReaderKeepsItsRules) {
    const DecimalCase cases[] = {
        {"0", kDigitsOnly, 0},
        {"0042", kDigitsOnly, 42},
        {"", kDigitsOnly, std::nullopt},
        {"+1", kDigitsOnly, std::nullopt},
        {"-1", kDigitsOnly, std::nullopt},
        {" 1", kDigitsOnly, std::nullopt},
        {"1 ", kDigitsOnly, std::nullopt},
        {"1a", kDigitsOnly, std::nullopt},
        {"18446744073709551617", kDigitsOnly, 1},  // kept modulo 2^64
        {" \t-12", kSignedField, minus(12)},
        {"+7", kSignedField, 7},
        {"4294967297", kSignedField, 4294967297u},
        {"-", kSignedField, std::nullopt},
        {"- 1", kSignedField, std::nullopt},
        {"--1", kSignedField, std::nullopt},
        {"12abc", kLeadingNumber, 12},
        {"  -3x", kLeadingNumber, minus(3)},
        {"abc", kLeadingNumber, 0},
        {"", kLeadingNumber, 0},
        {"-", kLeadingNumber, 0},
        {"-123", kShortNegative, minus(123)},
        {"1234", kShortNegative, 1234},
        {"-1234", kShortNegative, std::nullopt},  // the sign counts
        {"+1", kShortNegative, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(platform::parseDecimal(c.text, c.rules), c.value);
    }
}

}  // namespace
