#include "platform/text_lines.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitTextLines, EveryEndingCountsOnceAndNoneOpensAnEmptyLastLine) {
    EXPECT_EQ(SplitTextLines(""), Lines{});
    EXPECT_EQ(SplitTextLines("one"), Lines{"one"});
    EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitTextLines("a\nb\rc\r\nd"), (Lines{"a", "b", "c", "d"}));
    // LF CR is two endings, CR CR LF one blank line between.
    EXPECT_EQ(SplitTextLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("a\r\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(SplitTextLines("x\r"), Lines{"x"});
}

}  // namespace
}  // namespace qm
