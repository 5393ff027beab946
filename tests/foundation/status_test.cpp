#include "foundation/status.h"

#include "platform/bstr.h"
#include "support/test_support.h"

using foundation::ErrorTexts;

TEST(StatusTexts, EveryCodeOfBothLibraries) {
    TextRecord record{};
    for (int code = -32768; code <= 32767; ++code) {
        record.number = int16_t(code);
        ASSERT_EQ(foundation::fillErrorText(&record, ErrorTexts::Workbook), 0);
        bool hasText = code >= -15 && code <= -1;
        ASSERT_EQ(record.text != nullptr, hasText) << code;
        ASSERT_EQ(foundation::fillErrorText(&record, ErrorTexts::Text), 0);
        ASSERT_EQ(record.text != nullptr, code >= -16 && code <= -1) << code;
    }
    platform::clearByteString(record.text);
}

TEST(StatusTexts, HistoricalSpellingsAreKept) {
    TextRecord record{};
    record.number = -12;
    foundation::fillErrorText(&record, ErrorTexts::Workbook);
    EXPECT_EQ(platform::byteStringView(record.text), "Number of cells exceeds maximmu 32K.");
    EXPECT_EQ(platform::byteStringView(record.text).size(), 36u);  // no NUL inside
    foundation::fillErrorText(&record, ErrorTexts::Text);
    EXPECT_EQ(platform::byteStringView(record.text), "Number of cells exceeds maximum 32K.");
    record.number = -11;
    foundation::fillErrorText(&record, ErrorTexts::Workbook);
    EXPECT_EQ(platform::byteStringView(record.text), "Can not open input file, authorizaton error.");
    record.number = -16;
    foundation::fillErrorText(&record, ErrorTexts::Workbook);
    EXPECT_EQ(record.text, nullptr);
    foundation::fillErrorText(&record, ErrorTexts::Text);
    EXPECT_EQ(platform::byteStringView(record.text), "Operation cancelled.");
    record.number = 0;
    foundation::fillErrorText(&record, ErrorTexts::Text);
    EXPECT_EQ(record.text, nullptr);
    EXPECT_EQ(foundation::fillErrorText(nullptr, ErrorTexts::Workbook), 0);
}
