// Password hashes, export preparation and the password check.
#include "workbook/passwords.h"

#include <gtest/gtest.h>

#include "platform/bstr.h"
#include "workbook/owned_records.h"

using namespace workbook;

namespace {

uint32_t be(const char* four) {
    auto u = [&](int i) { return uint32_t(uint8_t(four[i])); };
    return (u(0) << 24) | (u(1) << 16) | (u(2) << 8) | u(3);
}

}  // namespace

TEST(HashPassword, GroupsOfFourWithTheSalt) {
    // Three characters: one group "abcQ"; "mvr" is not used.
    EXPECT_EQ(HashPassword("abc", 0), be("abcQ"));
    EXPECT_EQ(HashPassword("abc", kExportHashStart), be("abcQ") ^ kExportHashStart);
    // Length plus four a multiple of four: every byte counts.
    EXPECT_EQ(HashPassword("word", 0), be("word") ^ be("Qmvr"));
    EXPECT_EQ(HashPassword("secret12", 0x11111111), 0x11111111u ^ be("secr") ^ be("et12") ^ be("Qmvr"));
    // Empty: the salt alone.
    EXPECT_EQ(HashPassword("", 0), be("Qmvr"));
    EXPECT_EQ(HashPassword("", 0, ZeroHash::LittleEndian), be("Qmvr"));
}

TEST(HashPassword, ZeroResultIsReplacedByTheFirstGroup) {
    // "Qmvr" + salt XORs to zero.
    EXPECT_EQ(HashPassword("Qmvr", 0, ZeroHash::BigEndian), be("Qmvr"));
    EXPECT_EQ(HashPassword("Qmvr", 0, ZeroHash::LittleEndian), 0x72766D51u);
    // Starting value XOR the groups = 0.
    uint32_t start = be("abcd") ^ be("Qmvr");
    EXPECT_EQ(HashPassword("abcd", start), be("abcd"));
}

TEST(HashPassword, LongPasswordsUseEveryGroup) {
    std::string longPassword(200, 'x');
    longPassword += "tail";
    uint32_t expected = be("Qmvr") ^ be("tail");  // 50 groups of "xxxx" cancel out
    EXPECT_EQ(HashPassword(longPassword, 0), expected);
    longPassword[0] = 'y';
    EXPECT_NE(HashPassword(longPassword, 0), expected);
}

TEST(PrepareExportTarget, BookNameAndHashes) {
    ExportTarget target;
    EXPECT_EQ(PrepareExportTarget(nullptr, target), BF_ERR_PARAMETER);

    target.authorPassword = "boss";
    target.userPassword = "";
    OwnedSheet sheet;
    platform::replaceByteString(sheet.sheetName, "C:\\Sheets\\Budget.XLS");
    EXPECT_EQ(PrepareExportTarget(&sheet, target), 1);
    EXPECT_EQ(target.exportBookName, "Budget");
    EXPECT_EQ(target.authorPasswordHash, kExportHashStart ^ be("boss") ^ be("Qmvr"));
    EXPECT_EQ(target.userPasswordHash, 0u);

    EXPECT_EQ(bookNameFromPath("/home/u/Budget.xls"), "Budget");
    EXPECT_EQ(bookNameFromPath("C:\\a/b\\Budget.xls"), "Budget");
    EXPECT_EQ(bookNameFromPath("Budget.xlsx"), "Budget.xlsx");
    EXPECT_EQ(bookNameFromPath("Budget.csv"), "Budget.csv");
    EXPECT_EQ(bookNameFromPath("Budget"), "Budget");
    EXPECT_EQ(bookNameFromPath("dir\\"), "");

    platform::replaceByteString(sheet.sheetName, std::string_view("/w/Plan.xls\0junk", 16));
    PrepareExportTarget(&sheet, target);
    EXPECT_EQ(target.exportBookName, "Plan");
    platform::clearByteString(sheet.sheetName);
    PrepareExportTarget(&sheet, target);
    EXPECT_EQ(target.exportBookName, "");
}

TEST(CheckPasswd, Statuses) {
    BookHeader header = bookHeaderTemplate();
    uint32_t entered = 0x1234;
    OwnedText record;
    platform::replaceByteString(record.text, "open sesame");

    EXPECT_EQ(CheckPasswd(nullptr, &header, entered), BF_ERR_PARAMETER);
    EXPECT_EQ(CheckPasswd(&record, nullptr, entered), BF_ERR_PROGRAM);

    // No password needed: 1 for any text, also none.
    EXPECT_EQ(CheckPasswd(&record, &header, entered), 1);
    TextRecord empty{};
    EXPECT_EQ(CheckPasswd(&empty, &header, entered), 1);
    EXPECT_EQ(entered, 0x1234u);

    header.openPasswordHash = HashPassword("open sesame", 0, ZeroHash::LittleEndian);
    EXPECT_EQ(CheckPasswd(&empty, &header, entered), BF_ERR_PASSWORD);
    platform::replaceByteString(record.text, "open sesam");
    EXPECT_EQ(CheckPasswd(&record, &header, entered), BF_ERR_PASSWORD);
    EXPECT_EQ(entered, HashPassword("open sesam", 0));  // kept, so cells stay closed
    platform::replaceByteString(record.text, "open sesame");
    EXPECT_EQ(CheckPasswd(&record, &header, entered), 1);
    EXPECT_EQ(entered, header.openPasswordHash);

    // An author password refuses the sheet even with the right password.
    header.authorPasswordHash = 1;
    entered = 0;
    EXPECT_EQ(CheckPasswd(&record, &header, entered), BF_ERR_AUTHORIZATION);
    EXPECT_EQ(entered, 0u);
    header.openPasswordHash = 0;
    EXPECT_EQ(CheckPasswd(&record, &header, entered), BF_ERR_AUTHORIZATION);
}

TEST(CheckPasswd, EmptyTextHashesTheSaltAndZeroHashFallsBackLittleEndian) {
    BookHeader header = bookHeaderTemplate();
    uint32_t entered = 0;
    OwnedText record;
    platform::replaceByteString(record.text, "");
    header.openPasswordHash = be("Qmvr");
    EXPECT_EQ(CheckPasswd(&record, &header, entered), 1);

    platform::replaceByteString(record.text,
                                "Qmvr");  // hashes to 0, replaced by its first bytes read little-endian
    header.openPasswordHash = 0x72766D51;
    EXPECT_EQ(CheckPasswd(&record, &header, entered), 1);
    header.openPasswordHash = be("Qmvr");
    EXPECT_EQ(CheckPasswd(&record, &header, entered), BF_ERR_PASSWORD);
}
