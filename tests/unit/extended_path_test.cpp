// Extended-length paths: the removal of the protective folder reaches names
// ending in dots or blanks only through them, and they take a path as it
// stands, so every path must be made whole before it gets the prefix.
#include "platform/extended_path.h"
#include "platform/path_rules.h"

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

// A copy must never land inside its own source: however either path is
// written, whole names decide.
TEST(FolderContainment, ResolvedPathsAndWholeNamesDecide) {
    struct Case {
        const char* folder;
        const char* path;
        bool inside;
    } cases[] = {
        {"D:\\dist", "D:\\dist", true},
        {"D:\\dist\\", "d:/DIST/lang", true},
        {"D:\\dist\\lang", "D:\\dist\\\\lang\\x", true},
        {"D:\\dist\\lang", "D:\\dist\\other\\..\\.\\lang\\x", true},
        {"D:\\dist\\lang", "D:\\dist\\lang. \\x", true},
        {"D:\\dist\\lang", "\\\\?\\D:\\dist\\lang\\x", true},
        {"\\\\srv\\share\\a", "\\\\?\\UNC\\srv\\share\\a\\b", true},
        {"C:\\", "C:\\anything", true},
        {"C:\\dist\\Quill", "C:\\dist\\Quillmoor\\Quill", false},
        {"C:\\dist\\lang", "C:\\dist\\lang\\..\\x", false},
        {"C:\\a", "C:\\a\\..\\..\\..\\b", false},
        {"\\\\srv\\share\\a", "\\\\srv\\share\\..\\..\\a", true},  // never above the share
        {"C:\\dist", "D:\\dist", false},
        {"", "C:\\dist", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSameOrInsideFolder(c.folder, c.path), c.inside) << c.folder << " | " << c.path;
    }
}

}  // namespace
}  // namespace qm
