// Extended-length paths: the removal of the protective folder reaches names
// ending in dots or blanks only through them, and they take a path as it
// stands, so every path must be made whole before it gets the prefix.
#include "platform/extended_path.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ExtendedLengthPath, DrivePathsAndSharesGetThePrefixOthersStayAsTheyAre) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"G:\\autorun.inf", "\\\\?\\G:\\autorun.inf"},
        {"g:\\autorun.inf\\Made by Quillmoor.. ", "\\\\?\\g:\\autorun.inf\\Made by Quillmoor.. "},
        // The system makes nothing of '/' or doubled separators in an extended path.
        {"G:/autorun.inf//inner\\\\x", "\\\\?\\G:\\autorun.inf\\inner\\x"},
        {"G:\\", "\\\\?\\G:\\"},
        {"\\\\server\\share\\autorun.inf", "\\\\?\\UNC\\server\\share\\autorun.inf"},
        // Already extended, a device, or relative: nothing to add.
        {"\\\\?\\G:\\autorun.inf", "\\\\?\\G:\\autorun.inf"},
        {"\\\\.\\G:", "\\\\.\\G:"},
        {"autorun.inf", "autorun.inf"},
        {"G:autorun.inf", "G:autorun.inf"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace qm
