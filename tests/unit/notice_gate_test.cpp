#include "common/notice_gate.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "recording_notices.h"

namespace qm {
namespace {

class Gate : public ::testing::Test {
protected:
    FakePlatform p;
    RecordingPopups popups;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, "C:\\Q\\log.txt"};
    NoticeGate gate{p.desktop, log, popups};
    void SetUp() override { p.fileSystem.addFolder("C:\\Q"); }
    void drive(const std::string& key) { gate.ShowNotice("T", "body", NoticePicture::Ask, 1, key); }
    int logLines() { return static_cast<int>(p.fileSystem.appends.size()); }
};

TEST_F(Gate, OnePopupPerDriveUntilItHides) {
    drive("G");
    drive("g");  // same drive, other case
    EXPECT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(gate.OpenNoticeDrives(), std::vector<std::string>{"g"});
    drive("H");
    EXPECT_EQ(popups.shown.size(), 2u);
    gate.ReleaseDriveKey("G");
    EXPECT_EQ(gate.OpenNoticeDrives(), std::vector<std::string>{"h"});
    drive("G");
    EXPECT_EQ(popups.shown.size(), 3u);
    // The popup keeps the key as it was given.
    EXPECT_EQ(popups.shown[0].disk, "G");
}

TEST_F(Gate, APopupThatCouldNotBeMadeHoldsNoKey) {
    popups.fail = true;
    drive("G");
    EXPECT_TRUE(gate.OpenNoticeDrives().empty());
    // So the drive is asked about again, once a window can be made.
    popups.fail = false;
    drive("G");
    EXPECT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(gate.OpenNoticeDrives(), std::vector<std::string>{"g"});
}

TEST_F(Gate, TipNoticesAreNeverHeldBack) {
    for (int i = 0; i < 5; ++i) gate.ShowNotice("T", "x", NoticePicture::OK, 0, "tip");
    EXPECT_EQ(popups.shown.size(), 5u);
    EXPECT_TRUE(gate.OpenNoticeDrives().empty());
    gate.ReleaseDriveKey("tip");  // matches nothing, harms nothing
    drive("G");
    gate.ReleaseDriveKey("tip");
    EXPECT_EQ(gate.OpenNoticeDrives().size(), 1u);
}

TEST_F(Gate, AFullScreenProgramSuppressesEveryNoticeWithOneLineEach) {
    p.desktop.foreground = Rect{0, 0, 1024, 600};
    gate.ShowNotice("T", "x", NoticePicture::OK, 0, "tip");
    drive("G");
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(logLines(), 2);
    EXPECT_NE(p.codePage.fromAnsi(p.fileSystem.appends[0].bytes)
                  .find("监测到全屏运行的程序,停止了弹出提示！"),
              std::string::npos);
    // A suppressed drive notice does not hold its key.
    EXPECT_TRUE(gate.OpenNoticeDrives().empty());
}

TEST(FullScreen, OnlyAWindowCoveringTheWholeScreenCounts) {
    FakeDesktop d;
    EXPECT_FALSE(IsFullScreenAppActive(d));  // no foreground window
    d.foreground = Rect{0, 0, 1024, 570};     // maximised, task bar visible
    EXPECT_FALSE(IsFullScreenAppActive(d));
    d.foreground = Rect{-8, -8, 1032, 608};   // larger than the screen
    EXPECT_TRUE(IsFullScreenAppActive(d));
    d.foreground = Rect{0, 0, 1024, 600};
    d.failForeground.always = true;
    EXPECT_FALSE(IsFullScreenAppActive(d));
}

}  // namespace
}  // namespace qm
