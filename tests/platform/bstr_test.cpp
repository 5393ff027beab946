// Byte strings with the OLE memory layout.
#include "platform/bstr.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.h"

namespace {

std::vector<uint8_t> blockOf(BSTR s, size_t length) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(s) - 4;
    return std::vector<uint8_t>(start, start + 4 + length + 2);
}

}  // namespace

TEST(ByteStrings, OleLayout) {
    BSTR s = SysAllocStringByteLen("Tab\0ulo", 7);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(testsupport::sameBytes(testsupport::hexBytes("07 00 00 00 54 61 62 00 75 6C 6F 00 00"),
                                       blockOf(s, 7)));
    EXPECT_EQ(SysStringByteLen(s), 7u);
    EXPECT_EQ(platform::byteStringView(s), std::string_view("Tab\0ulo", 7));
    EXPECT_EQ(platform::byteStringText(s), "Tab");
    SysFreeString(s);

    BSTR big = SysAllocStringByteLen(nullptr, 0x10203);
    ASSERT_NE(big, nullptr);
    std::vector<uint8_t> block = blockOf(big, 0x10203);
    EXPECT_TRUE(
        testsupport::sameBytes(testsupport::hexBytes("03 02 01 00"), {block.begin(), block.begin() + 4}));
    EXPECT_TRUE(std::all_of(block.begin() + 4, block.end(), [](uint8_t b) { return b == 0; }));
    SysFreeString(big);

    BSTR empty = SysAllocStringByteLen("", 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(testsupport::sameBytes(testsupport::hexBytes("00 00 00 00 00 00"), blockOf(empty, 0)));
    SysFreeString(empty);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
}

TEST(ByteStrings, FieldHelpers) {
    BSTR field = nullptr;
    EXPECT_EQ(platform::byteStringView(field), "");
    EXPECT_EQ(platform::byteStringText(field), "");
    ASSERT_TRUE(platform::replaceByteString(field, std::string_view("a\0b", 3)));
    EXPECT_EQ(platform::byteStringView(field), std::string_view("a\0b", 3));
    ASSERT_TRUE(platform::replaceByteString(field, "second"));  // the first is freed (ASan checks)
    EXPECT_EQ(platform::byteStringText(field), "second");
    BSTR copy = platform::allocByteString(platform::byteStringView(field));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, field);
    EXPECT_EQ(platform::byteStringView(copy), "second");
    platform::clearByteString(copy);
    EXPECT_EQ(copy, nullptr);
    platform::clearByteString(field);
    EXPECT_EQ(field, nullptr);
    platform::clearByteString(field);  // twice is harmless
}
