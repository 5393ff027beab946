#include "platform/text.h"

#include <gtest/gtest.h>

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

}  // namespace
