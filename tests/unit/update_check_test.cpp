// The update check as the tray program runs it: quietly at start-up and on
// the menu's command, against a scripted server.
#include <gtest/gtest.h>

#include "core/tray_app.h"
#include "fakes/fake_tray.h"
#include "recording_notices.h"
#include "settings/ini.h"

namespace qm {
namespace {

class Updates : public ::testing::Test {
  protected:
    FakePlatform p;
    NullHost host;
    RecordingPopups popups;
    const std::string dir = "C:\\Program Files\\Quillmoor";
    std::unique_ptr<FakeTrayProgram> app;

    void SetUp() override {
        p.fileSystem.addFolder(dir);
        p.fileSystem.addFolder("c:\\windows\\system32");
        app = std::make_unique<FakeTrayProgram>(p, host, popups, p.menus, dir, "1.0.68");
    }
    void serve(const std::string& descriptor) {
        p.http.responses.push_back(FakeHttpTransfer::ok(p.codePage.toAnsi(descriptor)));
    }
    void notFound() { p.http.responses.push_back(FakeHttpTransfer::status(404, "Not Found")); }
    void checkNow() { app->runCommand(700); }
    std::vector<std::string> logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    std::vector<std::string> noticeTexts() {
        std::vector<std::string> out;
        for (const auto& n : popups.shown) out.push_back(n.content);
        return out;
    }
    void clear() {
        popups.shown.clear();
        p.fileSystem.appends.clear();
        p.processes.startCalls.clear();
    }
};

TEST_F(Updates, ANewerVersionIsAnnouncedEvenAtStartUpAndTheUpdaterStarts) {
    serve(" 1.0.70 \r\nWhat is new\r\n");
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"提示:检测到新版本 v1.0.70"});
    EXPECT_EQ(popups.shown[0].title, "Quillmoor v1.0.68");
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::OK);
    EXPECT_EQ(logTexts().back(), "检测到新版本 v1.0.70 打开Freshwell.exe");
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].commandLine,
              "\"C:\\Program Files\\Quillmoor\\Quillmoor_Freshwell.exe\" -needupdate");
    EXPECT_EQ(p.processes.startCalls[0].showState, 6);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);  // started, not waited for
    EXPECT_EQ(p.http.requests.at(0).url,
              "http://update.quillmoor.example.org/Quillmoor/Update.txt");
    EXPECT_FALSE(app->services.update.quietUpdate());
}

TEST_F(Updates, TheSameVersionIsToldOnlyWhenAsked) {
    serve("1.0.68");
    ASSERT_TRUE(app->startup());
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(logTexts().back(), "当前是最新版本,无需更新");
    clear();
    serve("1.0.68");
    checkNow();
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"提示:当前是最新版本,无需更新"});
    EXPECT_EQ(logTexts(), std::vector<std::string>{"当前是最新版本,无需更新"});
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(Updates, AnUnreachableServerIsReportedOnlyWhenAsked) {
    notFound();
    ASSERT_TRUE(app->startup());
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(logTexts().back(), "更新失败:无法连接到更新服务器");
    clear();
    checkNow();  // nothing answers at all
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"无法连接到更新服务器,请稍后再试"});
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::Warning);
    EXPECT_EQ(logTexts(), std::vector<std::string>{"更新失败:无法连接到更新服务器"});
}

TEST_F(Updates, EveryFailedCheckIsReportedEvenAfterAGoodOne) {
    serve("1.0.68");
    ASSERT_TRUE(app->startup());
    clear();
    checkNow();  // the server is gone; the downloader still knows the old size
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"无法连接到更新服务器,请稍后再试"});
    EXPECT_EQ(logTexts(), std::vector<std::string>{"更新失败:无法连接到更新服务器"});

    // A descriptor cut off after its headers: the same report, and the
    // quiet start-up does not silence the next check.
    clear();
    auto cut = FakeHttpTransfer::ok("1.0.99");
    cut.failAtChunk = 0;
    p.http.responses.push_back(cut);
    app->services.update.setQuietUpdate(true);
    checkNow();
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(logTexts(), std::vector<std::string>{"更新失败:无法连接到更新服务器"});
    EXPECT_FALSE(app->services.update.quietUpdate());
    serve("1.0.68");
    checkNow();
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"提示:当前是最新版本,无需更新"});
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(Updates, AStaleDescriptorIsDeletedBeforeTheRequest) {
    ASSERT_TRUE(app->startup());
    clear();
    const std::string local = dir + "\\Update.txt";
    p.fileSystem.addFile(local, "9.9.99");
    p.fileSystem.setAttributes(local, kAttributeReadOnly);
    p.http.onPoll = [&] { EXPECT_FALSE(p.fileSystem.fileExists(local)); };
    notFound();
    checkNow();
    EXPECT_FALSE(p.fileSystem.fileExists(local));
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(Updates, VersionsCompareAsTheirDigitsReadAsOneNumber) {
    const std::string local = dir + "\\Update.txt";
    const std::vector<std::pair<std::string, bool>> cases = {
        {"1.0.69", true},       {"1.0.68", false},  {"1.0.67", false},   {"1.1.0", false},
        {"2.0.0.0", true},      {"v1.0.70", false}, {"", false},         {"  \r\n1.0.99", false},
        {"99999999999", false}, {"1.0.7x", false},  {"\t1.0.70", false},
    };
    for (const auto& [line, newer] : cases) {
        p.fileSystem.addFile(local, line);
        EXPECT_EQ(app->services.update.isNeedUpdate(), newer) << line;
    }
    p.fileSystem.removeFile(local);
    EXPECT_EQ(app->services.update.LoadNewVersion(), "0");
    EXPECT_FALSE(app->services.update.isNeedUpdate());
}

TEST_F(Updates, TheServerCanBeChosenInTheSettings) {
    ASSERT_TRUE(app->startup());
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "UpdateServer",
                   " http://127.0.0.1:8080/ ");
    notFound();
    checkNow();
    EXPECT_EQ(p.http.requests.back().url, "http://127.0.0.1:8080/Quillmoor/Update.txt");
}

TEST_F(Updates, ASecondCheckWhileOneWaitsIsIgnored) {
    ASSERT_TRUE(app->startup());
    clear();
    auto slow = FakeHttpTransfer::ok("1.0.68");
    slow.pollsUntilDone = 3;
    p.http.responses.push_back(slow);
    const std::size_t before = p.http.requests.size();
    p.http.onPoll = [&] {
        if (p.http.polls == 1) checkNow();
    };
    p.http.polls = 0;
    checkNow();
    EXPECT_EQ(p.http.requests.size(), before + 1);
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"提示:当前是最新版本,无需更新"});
    p.http.onPoll = nullptr;
    serve("1.0.68");
    checkNow();  // and the next one runs again
    EXPECT_EQ(p.http.requests.size(), before + 2);
}

TEST_F(Updates, QuittingWhileTheServerIsSilentEndsTheCheckWithoutAWord) {
    ASSERT_TRUE(app->startup());
    clear();
    auto silent = FakeHttpTransfer::ok("1.0.99");
    silent.pollsUntilDone = 1000000;
    p.http.responses.push_back(silent);
    p.http.onPoll = [&] {
        if (p.http.polls == 3) {
            app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
            p.eventLoop.quit = true;  // the message loop has seen its end
        }
    };
    p.http.polls = 0;
    checkNow();
    EXPECT_LT(p.http.polls, 10);
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(logTexts().back(), "===============程序退出");
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(Updates, AQuitDuringTheWaitBeforeTheUpdaterLeavesNoUpdaterBehind) {
    ASSERT_TRUE(app->startup());
    clear();
    serve("1.0.70");
    p.eventLoop.onWait = [&](std::uint32_t) {
        if (app->state() != TrayApp::State::Running) return;
        app->windowProc(kQuitRequestMsg, kQuitRequestParam, 0);
        p.eventLoop.quit = true;
    };
    checkNow();
    EXPECT_EQ(noticeTexts(), std::vector<std::string>{"提示:检测到新版本 v1.0.70"});
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    EXPECT_TRUE(p.processes.startCalls.empty());
}

}  // namespace
}  // namespace qm
