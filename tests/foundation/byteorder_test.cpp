#include "foundation/byteorder.h"
#include "foundation/byte_reader.h"

#include <gtest/gtest.h>

TEST(ByteOrder, KnownBytes) {
    const uint8_t b[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    EXPECT_EQ(foundation::loadBE16(b), 0x1234);
    EXPECT_EQ(foundation::loadBE32(b), 0x12345678u);
    EXPECT_EQ(foundation::loadBE64(b), 0x123456789ABCDEF0ull);
    EXPECT_EQ(foundation::loadLE16(b), 0x3412);
    EXPECT_EQ(foundation::loadLE32(b), 0x78563412u);
    uint8_t out[8] = {};
    foundation::storeBE32(out, 0x44617461);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "Data");
    EXPECT_EQ(foundation::fourCC("Data"), 0x44617461u);
    foundation::storeBEDouble(out, 1.5);  // 3F F8 00 ...
    EXPECT_EQ(out[0], 0x3F);
    EXPECT_EQ(out[1], 0xF8);
    EXPECT_EQ(foundation::loadBEDouble(out), 1.5);
}

TEST(ByteReader, StickyFailureAtTheEnd) {
    const uint8_t b[] = {0, 1, 2, 3, 4};
    foundation::ByteReader r(b, sizeof b);
    EXPECT_EQ(r.be32(), 0x00010203u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.be16(), 0);  // only one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0);  // stays failed
    EXPECT_EQ(r.remaining(), 0u);
    foundation::ByteReader s(b, sizeof b);
    s.seek(5);
    EXPECT_TRUE(s.ok());
    s.skip(1);
    EXPECT_FALSE(s.ok());
    foundation::ByteReader t(b, sizeof b);
    EXPECT_TRUE(t.bytes(6).empty());
    EXPECT_FALSE(t.ok());
}

#include "foundation/file_names.h"

TEST(FileNames, RulesOfEachFileSystem) {
    using foundation::FileNameRules;
    struct Case {
        std::string_view name;
        bool posix, windows;
    };
    const Case cases[] = {
        {"Budget-Jan", true, true},  {"A b.c", true, true},     {"\xE9t\xE9", true, true},  // ANSI letters
        {"", false, false},          {".", false, false},       {"..", false, false},
        {"a/b", false, false},       {"..\\x", false, false},   {"a\tb", false, false},
        {"a\nb", false, false},      {"x\x7F", false, false},   {std::string_view("a\0b", 3), false, false},
        {"a:b", true, false},        {"a*", true, false},       {"a?", true, false},
        {"\"a\"", true, false},      {"<a>", true, false},      {"a|b", true, false},
        {"...", true, false},        {"Budget.", true, false},  {"Budget ", true, false},
        {"CON", true, false},        {"con", true, false},      {"Prn.txt", true, false},
        {"aux.tar.gz", true, false}, {"NUL .pdb", true, false}, {"COM1", true, false},
        {"lpt9.csv", true, false},   {"COM\xB9", true, false},  // superscript one
        {"CONOUT$", true, false},    {"COM0", true, true},      {"COM10", true, true},
        {"LPT10", true, true},       {"CONSOLE", true, true},   {"NULL.pdb", true, true},
        {"Budget-CON", true, true},  {".CON", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(foundation::isSafeFileNamePart(c.name, FileNameRules::Posix), c.posix) << c.name;
        EXPECT_EQ(foundation::isSafeFileNamePart(c.name, FileNameRules::Windows), c.windows) << c.name;
        EXPECT_EQ(foundation::isSafeFileNamePart(c.name), c.windows) << c.name;  // every build's default
    }
}
