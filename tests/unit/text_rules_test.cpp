#include "common/text_rules.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// The installer's window handle, the stored CHUNK and the first line of
// Update.txt are read with this rule: any text a program may have written.
TEST(NumberText, OnlyPlainDecimalNumbersThatFit32BitsAreNumbers) {
    EXPECT_EQ(ParseInt32("0"), 0);
    EXPECT_EQ(ParseInt32("+42"), 42);
    EXPECT_EQ(ParseInt32("-42"), -42);
    EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "+", "-", "+-5", "-+5", "++5", "--5", " 5", "5 ", "0x10", "1e3",
                            "2147483648", "-2147483649", "5\r\n", "１"}) {
        EXPECT_FALSE(ParseInt32(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace qm
