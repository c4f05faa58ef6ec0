#include "common/event_log.h"

#include <gtest/gtest.h>

#include "common/text_rules.h"
#include "fakes/fake_platform.h"

namespace qm {
namespace {

class Log : public ::testing::Test {
protected:
    FakePlatform p;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, "C:\\Q\\log.txt"};
    void SetUp() override {
        p.fileSystem.addFolder("C:\\Q");
        p.eventLoop.timestamp = "2026/12/7 20:31:05";
    }
};

TEST_F(Log, LinesAreStampedTabbedAndEndInCrLfInTheAnsiCodePage) {
    log.WriteLog("建立程序托盘");
    log.WriteLog("second\r\nline");
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_EQ(p.fileSystem.appends[0].bytes,
              p.codePage.toAnsi("2026/12/7 20:31:05\t建立程序托盘\r\n"));
    // One event stays one line.
    EXPECT_EQ(p.fileSystem.appends[1].bytes, "2026/12/7 20:31:05\tsecond  line\r\n");
}

TEST_F(Log, PendingMessagesRunFirstSoTheirLinesComeBefore) {
    p.eventLoop.post([this] { log.WriteLog("inner"); });
    log.WriteLog("outer");
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_NE(p.fileSystem.appends[0].bytes.find("inner"), std::string::npos);
    EXPECT_NE(p.fileSystem.appends[1].bytes.find("outer"), std::string::npos);
}

TEST_F(Log, ALockedLogLosesTheLineAndNothingElse) {
    p.fileSystem.lockedPaths.insert("C:\\Q\\log.txt");
    log.WriteLog("lost");
    p.fileSystem.lockedPaths.clear();
    log.WriteLog("kept");
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_FALSE(p.fileSystem.appends[0].succeeded);
    EXPECT_TRUE(p.fileSystem.appends[1].succeeded);
}

TEST(DoubleByteCount, CountsCharactersTakingTwoBytesIn936) {
    FakeCodePage cp;
    EXPECT_EQ(CountDoubleByteChars(cp, "C:\\Program Files\\Quillmoor"), 0u);
    EXPECT_EQ(CountDoubleByteChars(cp, "测试目录"), 4u);
    EXPECT_EQ(CountDoubleByteChars(cp, "C:\\测试\\Quillmoor"), 2u);
    EXPECT_EQ(CountDoubleByteChars(cp, ""), 0u);
}

}  // namespace
}  // namespace qm
