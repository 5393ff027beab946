#include "foundation/message_text.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageText, FillsFormatOnce) {
    const struct {
        std::string_view format, text;
        int number;
        std::string_view expected;
    } cases[] = {
        {"%s is not installed properly", "Quillo", 0, "Quillo is not installed properly"},
        {"Error %d creating %s", "C:\\%d\\%s.xls", -5, "Error -5 creating C:\\%d\\%s.xls"},
        {"100% of %s", "x", 0, "100% of x"},
        {"%s and %s", "a", 0, "a and a"},
        {"ends with %", "x", 0, "ends with %"},
        {"", "x", 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(foundation::fillMessage(c.format, c.text, c.number), c.expected) << c.format;
}

}  // namespace
