#include "common/system_helpers.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/recording_requests.h"
#include "recording_notices.h"

namespace qm {
namespace {

TEST(ProcessNames, LowerCasedAndCutThreeCharactersAfterTheFirstDot) {
    EXPECT_EQ(ProcessNameKey("EXPLORER.EXE"), "explorer.exe");
    EXPECT_EQ(ProcessNameKey("Quillmoor_Freshwell.exe.old"), "quillmoor_freshwell.exe");
    EXPECT_EQ(ProcessNameKey("a.b.c.d"), "a.b.c");
    EXPECT_EQ(ProcessNameKey("System"), "sys");
    EXPECT_EQ(ProcessNameKey("ab"), "ab");
    EXPECT_EQ(ProcessNameKey("x.e"), "x.e");
}

class Helpers : public ::testing::Test {
protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Program Files\\Quillmoor"};
    RecordingNotices notices;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    RecordingRequests requests;
    SystemHelpers helpers{SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, log,
                                            notices, paths},
                          "Quillmoor v1.0.1", &requests};
    void SetUp() override { p.fileSystem.addFolder(paths.installDir()); }
};

TEST_F(Helpers, FindsAndEndsProcessesByTheirNameRule) {
    const auto shell = p.processes.add("EXPLORER.EXE");
    const auto other = p.processes.add("explorer.exe", 2);  // another user's session
    p.processes.add("notepad.exe");
    EXPECT_TRUE(helpers.IsProcessRunning("explorer.exe"));
    EXPECT_FALSE(helpers.IsProcessRunning("explorer"));

    helpers.KillProcessByName("explorer.exe", true);
    EXPECT_FALSE(p.processes.isRunning(shell));
    EXPECT_TRUE(p.processes.isRunning(other));
    helpers.KillProcessByName("explorer.exe");
    EXPECT_FALSE(p.processes.isRunning(other));
    EXPECT_EQ(p.processes.terminateCalls.back().exitCode, 1u);
    EXPECT_FALSE(helpers.IsProcessRunning("explorer.exe"));
}

TEST_F(Helpers, RunAndWaitReturnsWhenTheProgramEndsAndKeepsMessagesFlowing) {
    p.processes.startedQueriesBeforeExit = 3;
    p.eventLoop.tickStep = 10;
    int delivered = 0;
    p.eventLoop.onWait = [&](std::uint32_t) {
        if (delivered == 0) p.eventLoop.post([&] { ++delivered; });
    };
    helpers.RunAndWait("\"C:\\Program Files\\Quillmoor\\tmpG.bat\"", true, kShowHidden);
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].showState, kShowHidden);
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
    // Never a busy loop: every wait blocks on the message queue.
    EXPECT_FALSE(p.eventLoop.waits.empty());

    // A program that cannot start returns at once.
    p.processes.failStart.always = true;
    helpers.RunAndWait("nothing.exe", true, kShowHidden);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
}

TEST_F(Helpers, PausesTakeTheirStepsAndStopWhenTheProgramEnds) {
    helpers.PauseSeconds(0.25f);
    EXPECT_EQ(p.eventLoop.tick, 200u);  // two steps of 100 ms
    p.eventLoop.tick = 0;
    helpers.WaitMilliseconds(1000);
    EXPECT_GT(p.eventLoop.tick, 1000u);
    EXPECT_LE(p.eventLoop.waits.size(), 6u);  // sleeps, not spins

    p.eventLoop.quit = true;
    const auto before = p.eventLoop.tick;
    helpers.WaitMilliseconds(60000);
    helpers.PauseSeconds(30.0f);
    EXPECT_EQ(p.eventLoop.tick, before);
}

TEST_F(Helpers, TickCountWrapDoesNotEndAWaitEarly) {
    p.eventLoop.tick = 0xFFFFFF00u;
    helpers.WaitMilliseconds(1000);
    EXPECT_EQ(p.eventLoop.tick - 0xFFFFFF00u > 1000u, true);
}

TEST_F(Helpers, AboutBoxShowsTitleSiteAndFolderThenRefreshes) {
    helpers.ShowAbout();
    ASSERT_EQ(p.shell.boxes.size(), 1u);
    EXPECT_EQ(p.shell.boxes[0].text,
              "Quillmoor v1.0.1\r\n\r\nWeb Site: " + std::string(kHomePageUrl) +
                  "\r\n\r\n安装目录:C:\\Program Files\\Quillmoor\\\r\n\r\n");
    EXPECT_EQ(p.shell.boxes[0].title, "Quillmoor v1.0.1");
    EXPECT_EQ(p.shell.boxes[0].style, 0x40u);
    EXPECT_EQ(requests.refreshes, 1);
}

TEST_F(Helpers, HomePageAnnouncesAndOpensTheAddressMaximised) {
    helpers.OpenHomePage();
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "打开官方首页 " + std::string(kHomePageUrl));
    EXPECT_EQ(notices.shown[0].disk, "tip");
    ASSERT_EQ(p.shell.opened.size(), 1u);
    EXPECT_EQ(p.shell.opened[0].target, kHomePageUrl);
    EXPECT_EQ(p.shell.opened[0].showState, kShowMaximised);
    EXPECT_EQ(requests.refreshes, 1);
}

TEST_F(Helpers, ViewLogCreatesAnEmptyLogOnAFreshInstall) {
    helpers.ViewLog();
    EXPECT_TRUE(p.fileSystem.fileExists(paths.logTxt()));
    EXPECT_EQ(p.fileSystem.fileBytes(paths.logTxt()), "");
    ASSERT_EQ(p.shell.opened.size(), 1u);
    EXPECT_EQ(p.shell.opened[0].target, paths.logTxt());
    // An existing log is opened as it is.
    log.WriteLog("x");
    helpers.ViewLog();
    EXPECT_NE(p.fileSystem.fileBytes(paths.logTxt()), "");
}

TEST_F(Helpers, TrimMemoryAsksForTheSmallWorkingSet) {
    helpers.TrimMemory();
    ASSERT_EQ(p.processes.trims.size(), 1u);
    EXPECT_EQ(p.processes.trims[0].minimum, 100000u);
    EXPECT_EQ(p.processes.trims[0].maximum, 200000u);
}

}  // namespace
}  // namespace qm
