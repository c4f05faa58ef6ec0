#include "core/tray_app.h"

#include <gtest/gtest.h>

#include "core/version.h"
#include "fakes/fake_tray.h"
#include "recording_notices.h"
#include "settings/ini.h"

namespace qm {
namespace {

struct FakeHost final : MainWindowHost {
    WindowId next = 0x10A2;
    WindowId window = 0;
    int created = 0, unloaded = 0, othersUnloaded = 0;
    std::function<void()> onUnload;
    WindowId createMainWindow(const std::string& caption) override {
        ++created;
        this->caption = caption;
        return window = next;
    }
    IconId programIcon() override { return 0x77; }
    void unloadMainWindow() override {
        ++unloaded;
        if (onUnload) onUnload();
    }
    void unloadOtherWindows() override { ++othersUnloaded; }
    std::string caption;
};

class TrayAppTest : public ::testing::Test {
  protected:
    FakePlatform p;
    HeldLockNames heldLocks;
    FakeInstanceLock firstProcess{heldLocks};
    FakeHost host;
    RecordingPopups notices;
    std::unique_ptr<FakeTrayProgram> app;
    const std::string dir = "C:\\Program Files\\Quillmoor";

    void SetUp() override {
        p.fileSystem.addFolder(dir);
        p.fileSystem.addFolder("c:\\windows\\system32");
        p.services.services["ShellHWDetection"].state = servicestate::kRunning;
        app = makeApp(firstProcess);
        // The real window reports its destruction back to the app.
        host.onUnload = [this] { app->onMainWindowUnloaded(); };
    }
    std::unique_ptr<FakeTrayProgram> makeApp(InstanceLock& lock) {
        return std::make_unique<FakeTrayProgram>(p, lock, host, notices, p.menus, dir,
                                         "1.0.1");
    }
    std::vector<std::string> logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    int countLog(const std::string& text) {
        int n = 0;
        for (const auto& t : logTexts()) n += t == text;
        return n;
    }
    std::uint32_t taskbarMsg() { return app->taskbarCreatedMsg(); }
};

TEST_F(TrayAppTest, FirstStartLogsInOrderAndLeavesTheHandlerLive) {
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(host.caption, "Quillmoor v1.0.1");
    // No update server answers here: the quiet check only logs that.
    EXPECT_EQ(logTexts(),
              (std::vector<std::string>{"建立程序托盘", "===============程序启动",
                                        "当前版本: v1.0.1", "更新失败:无法连接到更新服务器"}));
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_TRUE(app->handlerInstalled());
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    EXPECT_NE(taskbarMsg(), 0u);
    EXPECT_EQ(ReadIniString(p.profile, dir + "\\Setting.ini", "HWND", "Value", ""), "4258");
    ASSERT_EQ(p.shell.icons.size(), 1u);
    const auto& record = p.shell.icons.begin()->second;
    EXPECT_EQ(recordText(record, notifyfield::kTip, 128),
              p.codePage.toAnsi("Quillmoor v1.0.1\r\n安全弹出硬件"));
    EXPECT_EQ(recordField(record, notifyfield::kIcon), 0x77u);
    EXPECT_EQ(recordField(record, notifyfield::kFlags), 23u);
    EXPECT_EQ(recordText(record, notifyfield::kInfo, 256), "");  // never a balloon
    EXPECT_EQ(p.shell.foregroundCalls, std::vector<WindowId>{0x10A2});
}

// Every field different, so that a field taken for another shows.
TEST(Version, UsersReadMajorMinorAndRevisionOfTheFileVersion) {
    EXPECT_EQ(VersionText({1, 2, 3, 68}), "1.2.68");
    EXPECT_EQ(VersionText({10, 0, 65535, 7}), "10.0.7");
}

TEST_F(TrayAppTest, ASecondInstanceLogsItsRefusalAndMakesNoWindow) {
    ASSERT_TRUE(app->startup());
    FakeInstanceLock secondProcess(heldLocks, "user");
    auto second = makeApp(secondProcess);
    EXPECT_FALSE(second->startup());
    EXPECT_EQ(host.created, 1);
    EXPECT_EQ(p.shell.icons.size(), 1u);
    EXPECT_EQ(logTexts().back(), "程序重复运行，被中止");
    EXPECT_EQ(app->state(), TrayApp::State::Running);
}

TEST_F(TrayAppTest, InstallerQuitRequestEndsTheProgramAndOtherParamsDoNothing) {
    ASSERT_TRUE(app->startup());
    EXPECT_FALSE(app->windowProc(kQuitRequestMsg, 7, 0));
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    EXPECT_EQ(countLog("接收到安装程序要求的退出消息"), 0);

    app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
    const auto lines = logTexts();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "接收到安装程序要求的退出消息");
    EXPECT_EQ(lines.back(), "===============程序退出");
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    EXPECT_EQ(host.unloaded, 1);
    EXPECT_EQ(host.othersUnloaded, 1);
    EXPECT_TRUE(p.shell.icons.empty());  // the icon goes at once
    // The dead window answers nothing more, a second request included.
    app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
    app->windowProc(kWmDeviceChange, 0, 0);
    EXPECT_EQ(countLog("===============程序退出"), 1);
}

TEST_F(TrayAppTest, TaskbarCreatedBringsTheIconBackOnce) {
    ASSERT_TRUE(app->startup());
    p.shell.dropAllIcons();  // Explorer died and took the icon with it
    app->windowProc(taskbarMsg(), 0, 0);
    EXPECT_EQ(p.shell.icons.size(), 1u);
    EXPECT_EQ(countLog("建立程序托盘"), 2);
    // The old icon is deleted before the new one is added.
    const auto n = p.shell.notifyCalls.size();
    EXPECT_EQ(p.shell.notifyCalls[n - 2].message, kNimDelete);
    EXPECT_EQ(p.shell.notifyCalls[n - 1].message, kNimAdd);
    app->windowProc(taskbarMsg(), 0, 0);
    EXPECT_EQ(p.shell.icons.size(), 1u);
}

TEST_F(TrayAppTest, AFullScreenProgramKeepsTheForegroundWhileTheTrayIsBuilt) {
    p.desktop.foreground = Rect{0, 0, 1024, 600};
    ASSERT_TRUE(app->startup());
    EXPECT_TRUE(p.shell.foregroundCalls.empty());
    EXPECT_EQ(p.shell.icons.size(), 1u);
}

TEST_F(TrayAppTest, TrayClicksAreAnsweredButNeverPassedOn) {
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(app->windowProc(kTrayCallbackMsg, 1, kWmRButtonUp), std::optional<std::intptr_t>(0));
    EXPECT_EQ(app->windowProc(kTrayCallbackMsg, 1, 0x200), std::optional<std::intptr_t>(0));
    EXPECT_FALSE(app->windowProc(0x0F, 0, 0));
}

TEST_F(TrayAppTest, ARefreshAbsorbsClicksAndQuitsButRemembersDeviceChangesAndNewShells) {
    p.fileSystem.addDrive('D', kDriveKindFixed, true);
    ASSERT_TRUE(app->startup());
    const auto before = p.profile.writes.size();
    bool delivered = false;
    int nested = 0;
    // A device change, a new shell and a quit request land while the
    // refresh has the handler out of play; a second device change comes in
    // the same refresh.
    p.eventLoop.onPump = [&] {
        if (delivered || !app->refreshBusy() || app->handlerInstalled()) return;
        delivered = true;
        p.shell.dropAllIcons();
        nested += app->windowProc(kWmDeviceChange, 0, 0).has_value();
        app->windowProc(kWmDeviceChange, 0, 0);
        app->windowProc(taskbarMsg(), 0, 0);
        app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
        app->refreshDlist();  // asked for directly: nothing more
    };
    app->windowProc(kWmDeviceChange, 0, 0);
    EXPECT_TRUE(delivered);
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    EXPECT_EQ(countLog("接收到安装程序要求的退出消息"), 0);
    EXPECT_TRUE(app->handlerInstalled());
    EXPECT_FALSE(app->refreshBusy());
    EXPECT_EQ(nested, 0);
    // The icon is back, and the refresh that came with it stood for both
    // device changes: two refreshes in all, each writing the two locator
    // keys of D: (tried again because D: has no autorun.inf folder to keep
    // them).
    EXPECT_EQ(p.shell.icons.size(), 1u);
    EXPECT_EQ(countLog("建立程序托盘"), 2);
    EXPECT_EQ(p.profile.writes.size() - before, 4u);
}

TEST_F(TrayAppTest, ANewShellDuringTheFirstRefreshStillGetsTheIcon) {
    // The shell restarts while the tray is first built: its broadcast is
    // known from the start and acted on once the refresh ends.
    bool restarted = false;
    p.eventLoop.onPump = [&] {
        if (restarted || !app->refreshBusy() || taskbarMsg() == 0) return;
        restarted = true;
        p.shell.dropAllIcons();
        app->windowProc(taskbarMsg(), 0, 0);
    };
    ASSERT_TRUE(app->startup());
    EXPECT_TRUE(restarted);
    EXPECT_EQ(p.shell.icons.size(), 1u);
    EXPECT_EQ(countLog("建立程序托盘"), 2);
}

TEST_F(TrayAppTest, ASettingsFileDeletedWhileRunningGetsTheHandleBack) {
    ASSERT_TRUE(app->startup());
    p.fileSystem.removeFile(dir + "\\Setting.ini");
    app->windowProc(kWmDeviceChange, 0, 0);
    EXPECT_EQ(ReadIniString(p.profile, dir + "\\Setting.ini", "HWND", "Value", ""), "4258");
}

TEST_F(TrayAppTest, AQuitArrivingWhileStartupPumpsStopsTheRestOfStartup) {
    // The first pumps come before the handler exists and are lost; once the
    // tray icon is up a quit request is honoured mid-way.
    bool sent = false;
    p.eventLoop.onPump = [&] {
        if (!sent && app->handlerInstalled()) {
            sent = true;
            app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
        }
    };
    EXPECT_TRUE(app->startup());
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    EXPECT_EQ(logTexts().back(), "===============程序退出");
    EXPECT_EQ(countLog("===============程序启动"), 0);
    EXPECT_TRUE(p.shell.icons.empty());
}

TEST_F(TrayAppTest, MenuCommandsForStartWithWindowsAndQuit) {
    ASSERT_TRUE(app->startup());
    app->windowProc(kWmCommand, 504, 0);
    EXPECT_EQ(countLog("取消开机自启动"), 1);
    EXPECT_FALSE(app->services.systemSettings.IsAutoStartEnabled());
    app->windowProc(kWmCommand, 503, 0);
    EXPECT_EQ(countLog("添加到开机自启动"), 1);
    EXPECT_TRUE(app->services.systemSettings.IsAutoStartEnabled());
    app->windowProc(kWmCommand, 501, 0);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "已禁用Shell Hardware Detection服务");
    EXPECT_EQ(notices.shown[0].disk, "tip");
    // A standard user who refuses consent is told of the failure, and that
    // nothing changed.
    p.services.administrator = false;
    p.processes.failElevate.always = true;
    app->windowProc(kWmCommand, 502, 0);
    const std::string refused =
        "启用 Shell Hardware Detection 服务失败: 未获得管理员许可,设置没有改变";
    ASSERT_EQ(notices.shown.size(), 2u);
    EXPECT_EQ(notices.shown[1].content, refused);
    EXPECT_EQ(notices.shown[1].picture, NoticePicture::Warning);
    EXPECT_EQ(countLog(refused), 1);
    EXPECT_EQ(countLog("启用 Shell Hardware Detection 服务"), 0);
    app->windowProc(kWmCommand, 9999, 0);  // unknown ids do nothing
    app->windowProc(kWmCommand, 506, 0);
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    EXPECT_EQ(logTexts().back(), "===============程序退出");
}

TEST_F(TrayAppTest, UnwritableInstallFolderStillStartsAndQuits) {
    p.fileSystem.readOnlyFolders.insert(dir);
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    EXPECT_EQ(p.shell.icons.size(), 1u);
    app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
}

}  // namespace
}  // namespace qm
