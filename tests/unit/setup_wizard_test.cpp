// The installer's wizard over fakes: where it offers to install, how it
// stops the running programs, what it copies and writes, and how Cancel
// and the close box cut an installation short.
#include "setup/setup_wizard.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakes/fake_messenger.h"
#include "fakes/fake_platform.h"
#include "fakes/installer_machine.h"
#include "settings/ini.h"
#include "texts/language.h"

namespace qm {
namespace {

constexpr char kOtherUserRuns[] =
    "另一个用户正在运行 Quillmoor,安装已停止。请该用户退出 Quillmoor 或注销后,再重新安装。";

struct RecordingWizardWindow final : SetupWindowPort {
    std::string text1, text2;
    bool choosingEnabled = true;
    bool closed = false;
    int callsAfterClose = 0;
    int focusCalls = 0;
    std::vector<std::string> boxes;
    std::deque<int> answers;  // 1 OK by default
    std::function<void(const std::string&)> whileBoxShown;
    std::string browseAnswer;

    void note() { callsAfterClose += closed; }
    void setText1(const std::string& t) override {
        note();
        text1 = t;
    }
    void setText2(const std::string& t) override {
        note();
        text2 = t;
    }
    void focusText2AtEnd() override { ++focusCalls; }
    void enableChoosing(bool e) override {
        note();
        choosingEnabled = e;
    }
    int messageBox(const std::string& text, std::uint32_t) override {
        note();
        boxes.push_back(text);
        if (whileBoxShown) whileBoxShown(text);
        if (answers.empty()) return 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string browseForFolder(const std::string&) override { return browseAnswer; }
    void close() override { closed = true; }
};

class Wizard : public ::testing::Test {
  protected:
    FakePlatform p;
    FakeMessenger messenger;
    RecordingWizardWindow window;
    const std::string source = "D:\\dist";
    std::unique_ptr<frmSETUP> wizard;

    void SetUp() override {
        AddInstallerMachine(p.fileSystem, source);
        p.fileSystem.addFile(source + "\\readme.txt", p.codePage.toAnsi("\r\n\r\n说明\r\n\r\nend"));
        p.eventLoop.tickStep = 10;
        makeWizard();
    }
    void makeWizard() {
        wizard.reset();
        window = RecordingWizardWindow{};
        wizard = std::make_unique<frmSETUP>(
            window,
            SetupDeps{p.profile, p.fileSystem, p.processes, p.eventLoop, p.shell, p.codePage,
                      messenger, p.registry, source, InstallerRelease(), "1.0.1"});
    }
    void locator(const std::string& file, const std::string& dir, const std::string& hwnd = "") {
        p.fileSystem.addFolder(file.substr(0, file.rfind('\\')));
        WriteIniString(p.profile, file, "Setting", "InstallDir", dir);
        if (!hwnd.empty()) WriteIniString(p.profile, file, "Setting", "HWND", hwnd);
    }
    std::vector<std::string> progress() {
        std::vector<std::string> lines;
        std::size_t at = 0;
        const std::string& t = window.text2;
        while (at <= t.size()) {
            const std::size_t end = std::min(t.find("\r\n", at), t.size());
            lines.push_back(t.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
    std::string setting(const std::string& key) {
        return ReadIniString(p.profile, "C:\\Program Files\\Quillmoor\\Setting.ini", "Setting", key,
                             "<none>");
    }
};

TEST_F(Wizard, ChosenFoldersEndInTheProgramsOwnFolder) {
    window.browseAnswer = "D:/Tools";
    wizard->onCommand1();
    EXPECT_EQ(wizard->InstallPath(), "D:\\Tools\\Quillmoor\\");
    EXPECT_EQ(window.text1, "D:\\Tools\\Quillmoor\\");
    window.browseAnswer = "D:\\apps\\QUILLMOOR";
    wizard->onCommand1();
    EXPECT_EQ(wizard->InstallPath(), "D:\\apps\\QUILLMOOR\\");
    window.browseAnswer = "  ";  // cancelled
    wizard->onCommand1();
    EXPECT_EQ(wizard->InstallPath(), "C:\\Program Files\\Quillmoor\\");
}

TEST_F(Wizard, TheReadmeIsTheOneOfTheInstallersLanguageOrTheFirstWhereItIsMissing) {
    SetCurrentLanguage(*FindLanguage("en"));
    wizard->onLoad();
    EXPECT_EQ(window.text2, "说明\r\n\r\nend");
    p.fileSystem.addFile(source + "\\readme-en.txt", "Quillmoor\r\nReadme");
    wizard->LoadReadMe();
    EXPECT_EQ(window.text2, "Quillmoor\r\nReadme");
    SetCurrentLanguage(*FindLanguage("zh-CN"));
    wizard->LoadReadMe();
    EXPECT_EQ(window.text2, "说明\r\n\r\nend");
}

TEST_F(Wizard, AnEarlierInstallationIsOfferedFromTheLocatorFiles) {
    wizard->onLoad();
    EXPECT_EQ(window.text1, "C:\\Program Files\\Quillmoor\\");
    // The readme starts at its first line with text.
    EXPECT_EQ(window.text2, "说明\r\n\r\nend");

    // A stick or a network drive is anybody's: its locator offers nothing,
    // and its window handle reaches no window.
    p.fileSystem.addDrive('F', kDriveKindRemovable);
    locator("F:\\autorun.inf\\Quillmoor.ini", "F:\\Portable", "4660");
    p.fileSystem.addDrive('N', kDriveKindNetwork);
    locator("N:\\autorun.inf\\Quillmoor.ini", "N:\\Shared");
    wizard->LoadOldPath();
    EXPECT_EQ(wizard->InstallPath(), "C:\\Program Files\\Quillmoor\\");
    EXPECT_EQ(wizard->LoadMainHWND(), 0);

    p.fileSystem.addDrive('G', kDriveKindFixed);
    locator("G:\\autorun.inf\\Quillmoor.ini", "G:\\Portable");
    wizard->LoadOldPath();
    EXPECT_EQ(wizard->InstallPath(), "G:\\Portable\\");  // as recorded, not extended

    locator("c:\\windows\\system32\\Quillmoor.ini", "E:\\Apps\\Quillmoor", "1234");
    wizard->LoadOldPath();
    EXPECT_EQ(wizard->InstallPath(), "E:\\Apps\\Quillmoor\\");
    EXPECT_EQ(wizard->LoadMainHWND(), 1234);

    for (const char* bad : {"", "  ", "12ab", "0x10", "99999999999"}) {
        WriteIniString(p.profile, "c:\\windows\\system32\\Quillmoor.ini", "Setting", "HWND", bad);
        WriteIniString(p.profile, "G:\\autorun.inf\\Quillmoor.ini", "Setting", "HWND", bad);
        EXPECT_EQ(wizard->LoadMainHWND(), 0) << bad;
    }
    WriteIniString(p.profile, "c:\\windows\\system32\\Quillmoor.ini", "Setting", "HWND", "-5");
    EXPECT_EQ(wizard->LoadMainHWND(), -5);
}

TEST_F(Wizard, AFreshInstallCopiesTheReleaseWritesDefaultsAndStartsTheProgram) {
    wizard->onLoad();
    const std::uint32_t updater = p.processes.add("Quillmoor_Freshwell.exe");
    p.processes.processes[updater].imagePath =
        "C:\\Program Files\\Quillmoor\\Quillmoor_Freshwell.exe";
    // Another program of that name, somewhere else: none of ours.
    const std::uint32_t namesake = p.processes.add("Quillmoor_Freshwell.exe");
    p.processes.processes[namesake].imagePath = "D:\\Games\\Quillmoor_Freshwell.exe";
    wizard->onCommand2();
    const auto lines = progress();
    EXPECT_EQ(lines,
              (std::vector<std::string>{"开始安装", "...等待 Quillmoor.exe 结束",
                                        "...等待 Quillmoor_Freshwell.exe 结束",
                                        "创建文件...Quillmoor.exe", "创建文件...readme.txt",
                                        "创建文件...setup.exe", "创建文件夹...lang",
                                        "创建文件...lang\\en.txt", "安装完成"}));
    EXPECT_EQ(p.fileSystem.fileBytes("C:\\Program Files\\Quillmoor\\Quillmoor.exe"), "MZ tray");
    EXPECT_EQ(p.fileSystem.fileBytes("C:\\Program Files\\Quillmoor\\lang\\en.txt"), "en");
    // What else lies beside the installer stays there.
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\version.dll"));
    EXPECT_FALSE(p.fileSystem.folderExists("C:\\Program Files\\Quillmoor\\Other"));
    EXPECT_EQ(setting("AutoStartup"), "1");
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
    EXPECT_EQ(
        p.registry.stringValue(RegRoot::LocalMachine,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor",
                               "DisplayVersion", kRegView32),
        "1.0.1");
    EXPECT_FALSE(p.processes.isRunning(updater));
    EXPECT_TRUE(p.processes.isRunning(namesake));
    EXPECT_EQ(window.boxes,
              (std::vector<std::string>{"确定开始安装吗?", "安装完成\r\n\r\n感谢您使用Quillmoor"}));
    // No desktop shell answers and the installer has no administrator's
    // rights: the page and the program are started directly, the program
    // from its folder.
    ASSERT_EQ(p.shell.opened.size(), 1u);
    EXPECT_EQ(p.shell.opened[0].target, "https://quillmoor.example.org/");
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].by, FakeProcesses::StartedBy::Process);
    EXPECT_EQ(p.processes.startCalls[0].commandLine,
              "\"C:\\Program Files\\Quillmoor\\Quillmoor.exe\"");
    EXPECT_EQ(p.processes.startCalls[0].workingFolder, "C:\\Program Files\\Quillmoor");
    EXPECT_EQ(p.processes.startCalls[0].showState, 2);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(window.callsAfterClose, 0);
    EXPECT_FALSE(wizard->Installing());
}

TEST_F(Wizard, AnUpgradeKeepsTheUsersSettings) {
    p.fileSystem.addFolder("C:\\Program Files\\Quillmoor");
    WriteIniString(p.profile, "C:\\Program Files\\Quillmoor\\Setting.ini", "Setting", "AutoStartup",
                   "0");
    wizard->onLoad();
    wizard->onCommand2();
    EXPECT_EQ(setting("AutoStartup"), "0");
    EXPECT_EQ(setting("DisableAutoPlayService"), "<none>");
}

TEST_F(Wizard, TheRunningTrayProgramIsAskedToQuitThroughItsRecordedWindow) {
    locator("c:\\windows\\system32\\Quillmoor.ini", "C:\\Program Files\\Quillmoor", "-2147480000");
    const std::uint32_t tray = p.processes.add("QUILLMOOR.EXE");
    messenger.windows[static_cast<WindowId>(static_cast<std::intptr_t>(-2147480000))] = {
        tray, "QuillmoorMainWindow"};
    messenger.onSend = [&](const FakeMessenger::Sent&) {
        p.processes.end(tray);
        return true;
    };
    wizard->onLoad();
    wizard->onCommand2();
    ASSERT_EQ(messenger.sent.size(), 1u);
    EXPECT_EQ(messenger.sent[0].window,
              static_cast<WindowId>(static_cast<std::intptr_t>(-2147480000)));
    EXPECT_EQ(messenger.sent[0].message, 1025u);
    EXPECT_EQ(messenger.sent[0].wParam, 1001u);
    EXPECT_GT(messenger.sent[0].timeoutMs, 0u);  // a hung program cannot hang us
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_EQ(progress().back(), "安装完成");
}

TEST_F(Wizard, OnlyTheMainWindowOfARunningTrayProgramIsAskedToQuit) {
    const std::uint32_t tray = p.processes.add("Quillmoor.exe");
    const std::uint32_t other = p.processes.add("notepad.exe");
    messenger.windows[0x7700] = {tray, "QuillmoorMainWindow"};
    messenger.windows[0x7704] = {tray, "QuillmoorAlert"};  // a notice of the program
    messenger.windows[0x5500] = {other, "Notepad"};
    messenger.windows[0x5504] = {other, "QuillmoorMainWindow"};  // a look-alike elsewhere
    // A stale handle, now another program's window; one that is gone; none;
    // a window of the program that is not its main window; garbage.
    for (const char* recorded : {"21760", "4660", "0", "30468", "x"}) {
        locator("c:\\windows\\system32\\Quillmoor.ini", "C:\\Program Files\\Quillmoor", recorded);
        EXPECT_EQ(wizard->TrayWindows(), std::vector<WindowId>{0x7700}) << recorded;
    }
    // The recorded one when it is right.
    messenger.windows[0x7708] = {tray, "QUILLMOORMAINWINDOW"};
    locator("c:\\windows\\system32\\Quillmoor.ini", "C:\\Program Files\\Quillmoor", "30472");
    EXPECT_EQ(wizard->TrayWindows(), std::vector<WindowId>{0x7708});
    messenger.windows.erase(0x7708);

    // An install sends the request to the program and never to the stranger.
    locator("c:\\windows\\system32\\Quillmoor.ini", "C:\\Program Files\\Quillmoor", "21760");
    messenger.onSend = [&](const FakeMessenger::Sent& sent) {
        if (sent.window == 0x7700) p.processes.end(tray);
        return true;
    };
    wizard->onLoad();
    wizard->onCommand2();
    ASSERT_EQ(messenger.sent.size(), 1u);
    EXPECT_EQ(messenger.sent[0].window, 0x7700u);
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_TRUE(p.processes.isRunning(other));
    EXPECT_EQ(progress().back(), "安装完成");
}

TEST_F(Wizard, WithoutALocatorTheRunningProgramsFolderIsOffered) {
    // The locator a virtualised tray program wrote is not the one an
    // elevated installer reads.
    const std::uint32_t elsewhere = p.processes.add("Quillmoor.exe", 2);
    p.processes.processes[elsewhere].imagePath = "F:\\Other\\Quillmoor.exe";
    const std::uint32_t own = p.processes.add("Quillmoor.exe", 1);
    wizard->onLoad();
    EXPECT_EQ(window.text1, "F:\\Other\\");  // this user's own cannot be read
    p.processes.processes[own].imagePath = "D:\\Apps (x86)\\Quill & Co\\Quillmoor.exe";
    wizard->LoadOldPath();
    EXPECT_EQ(wizard->InstallPath(), "D:\\Apps (x86)\\Quill & Co\\");
    // A locator still comes first.
    locator("c:\\windows\\system32\\Quillmoor.ini", "E:\\Apps\\Quillmoor");
    wizard->LoadOldPath();
    EXPECT_EQ(wizard->InstallPath(), "E:\\Apps\\Quillmoor\\");
}

TEST_F(Wizard, TheInstalledProgramStartsThroughTheDesktopShellFromItsOwnFolder) {
    p.processes.desktopShellRuns = true;
    p.processes.runsElevated = true;
    const std::string folder = "D:\\My (x86) & ^ @ % Tools\\Quillmoor";
    wizard->onLoad();
    wizard->setInstallPath(folder + "\\");
    wizard->onCommand2();
    // The home page and the program both as the desktop's user.
    ASSERT_EQ(p.processes.startCalls.size(), 2u);
    EXPECT_TRUE(p.shell.opened.empty());
    EXPECT_EQ(p.processes.startCalls[0].by, FakeProcesses::StartedBy::DesktopShell);
    EXPECT_EQ(p.processes.startCalls[0].commandLine, "\"https://quillmoor.example.org/\"");
    EXPECT_EQ(p.processes.startCalls[1].by, FakeProcesses::StartedBy::DesktopShell);
    EXPECT_EQ(p.processes.startCalls[1].commandLine, "\"" + folder + "\\Quillmoor.exe\"");
    EXPECT_EQ(p.processes.startCalls[1].workingFolder, folder);
    EXPECT_EQ(p.processes.startCalls[1].showState, 2);
    EXPECT_TRUE(p.fileSystem.fileExists(folder + "\\Quillmoor.exe"));
}

TEST_F(Wizard, AnElevatedInstallerWithoutADesktopShellStartsNothingWithItsRights) {
    p.processes.runsElevated = true;
    wizard->onLoad();
    wizard->onLabel4Click();
    wizard->onCommand2();
    // Neither the page nor the program: the user is told how to start it.
    EXPECT_TRUE(p.shell.opened.empty());
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_EQ(window.boxes.back(), "安装程序无法以您的身份启动 Quillmoor,请以普通方式(例如双击)启动: "
                                   "C:\\Program Files\\Quillmoor\\Quillmoor.exe");
    EXPECT_EQ(progress().back(), "安装完成");
    EXPECT_TRUE(window.closed);
}

TEST_F(Wizard, ProgramsThatWillNotEndAreStoppedOrEndTheInstallation) {
    // Deaf to the request, from the install folder: terminated after a while.
    const std::uint32_t deaf = p.processes.add("Quillmoor.exe");
    p.processes.processes[deaf].imagePath = "c:\\program files\\QUILLMOOR\\Quillmoor.exe";
    messenger.windows[0x1234] = {deaf, "QuillmoorMainWindow"};
    wizard->onLoad();
    wizard->onCommand2();
    EXPECT_EQ(p.processes.terminateCalls.size(), 1u);
    EXPECT_EQ(progress().back(), "安装完成");
    EXPECT_GT(messenger.sent.size(), 1u);

    // Deaf, from another folder (or one that cannot be told): asked, never
    // ended; the installation stops with a word, in the choosing state.
    for (const std::uint32_t started : p.processes.idsOf("Quillmoor.exe")) p.processes.end(started);
    for (const char* image : {"D:\\Portable\\Quillmoor.exe", ""}) {
        SCOPED_TRACE(image);
        const std::uint32_t elsewhere = p.processes.add("Quillmoor.exe");
        p.processes.processes[elsewhere].imagePath = image;
        messenger.windows[0x2000 + elsewhere] = {elsewhere, "QuillmoorMainWindow"};
        makeWizard();
        wizard->onLoad();
        wizard->setInstallPath("C:\\Program Files\\Quillmoor\\");
        const auto sent = messenger.sent.size();
        wizard->onCommand2();
        EXPECT_GT(messenger.sent.size(), sent);
        EXPECT_TRUE(p.processes.isRunning(elsewhere));
        EXPECT_EQ(window.boxes.back(), "无法结束 Quillmoor.exe,安装已停止。请关闭该程序后重新安装。");
        EXPECT_FALSE(wizard->Installing());
        EXPECT_TRUE(window.choosingEnabled);
        p.processes.end(elsewhere);
    }
    EXPECT_EQ(p.processes.terminateCalls.size(), 1u);

    // An updater that survives every attempt ends the installation too.
    makeWizard();
    wizard->onLoad();
    const std::uint32_t updater = p.processes.add("Quillmoor_Freshwell.exe");
    p.processes.processes[updater].imagePath =
        "C:\\Program Files\\Quillmoor\\Quillmoor_Freshwell.exe";
    p.processes.survivesTerminate.insert(updater);
    wizard->onCommand2();
    EXPECT_EQ(window.boxes.back(), "无法结束 Quillmoor_Freshwell.exe,安装已停止。请关闭该程序后重新安装。");
    EXPECT_FALSE(wizard->Installing());
    EXPECT_TRUE(window.choosingEnabled);
    EXPECT_FALSE(window.closed);
    EXPECT_EQ(p.processes.startCalls.size(), 1u);  // only the first install started it
}

TEST_F(Wizard, AnotherUsersRunningCopyIsLeftAloneAndStopsTheInstallation) {
    // Another user runs the program from this folder (or from one that
    // cannot be read); this user's own copy would go by request.
    const std::uint32_t own = p.processes.add("Quillmoor.exe", 1);
    p.processes.processes[own].imagePath = "C:\\Program Files\\Quillmoor\\Quillmoor.exe";
    messenger.windows[0x7700] = {own, "QuillmoorMainWindow"};
    for (const char* image : {"C:\\Program Files\\Quillmoor\\Quillmoor.exe", ""}) {
        SCOPED_TRACE(image);
        const std::uint32_t theirs = p.processes.add("Quillmoor.exe", 2);
        p.processes.processes[theirs].imagePath = image;
        messenger.windows[0x9900] = {theirs, "QuillmoorMainWindow"};
        makeWizard();
        wizard->onLoad();
        wizard->onCommand2();
        EXPECT_EQ(window.boxes.back(), kOtherUserRuns);
        EXPECT_EQ(window.text2, kOtherUserRuns);
        EXPECT_TRUE(p.processes.isRunning(theirs));
        EXPECT_TRUE(p.processes.isRunning(own));
        EXPECT_TRUE(messenger.sent.empty());
        EXPECT_TRUE(p.processes.terminateCalls.empty());
        EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\setup.exe"));
        EXPECT_TRUE(window.choosingEnabled);
        p.processes.end(theirs);
    }

    // Another user's copy in a folder of its own does not stand in the way,
    // and gets no request either: only this user's is asked.
    const std::uint32_t theirs = p.processes.add("Quillmoor.exe", 2);
    p.processes.processes[theirs].imagePath = "D:\\Portable\\Quillmoor.exe";
    messenger.windows[0x9900] = {theirs, "QuillmoorMainWindow"};
    messenger.onSend = [&](const FakeMessenger::Sent& sent) {
        if (sent.window == 0x7700) p.processes.end(own);
        return true;
    };
    makeWizard();
    wizard->onLoad();
    wizard->onCommand2();
    ASSERT_EQ(messenger.sent.size(), 1u);
    EXPECT_EQ(messenger.sent[0].window, 0x7700u);
    EXPECT_TRUE(p.processes.isRunning(theirs));
    EXPECT_EQ(progress().back(), "安装完成");
}

TEST_F(Wizard, AFileThatCannotBeCopiedStopsTheInstallationAndSaysWhy) {
    // The program of an earlier installation held open by someone else.
    p.fileSystem.addFile("C:\\Program Files\\Quillmoor\\Quillmoor.exe", "MZ old");
    p.fileSystem.lockedPaths.insert("C:\\Program Files\\Quillmoor\\Quillmoor.exe");
    wizard->onLoad();
    wizard->onCommand2();
    const std::string failure = "安装已停止,没有完成。无法复制文件 "
                                "Quillmoor.exe: 另一个程序正在使用此文件,进程无法访问。";
    EXPECT_EQ(window.boxes, (std::vector<std::string>{"确定开始安装吗?", failure}));
    EXPECT_EQ(window.text2, failure);
    EXPECT_EQ(p.fileSystem.fileBytes("C:\\Program Files\\Quillmoor\\Quillmoor.exe"), "MZ old");
    // Nothing after it is copied, written, opened or started.
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\setup.exe"));
    EXPECT_EQ(setting("AutoStartup"), "<none>");
    EXPECT_TRUE(p.shell.opened.empty());
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_FALSE(window.closed);
    EXPECT_TRUE(window.choosingEnabled);
    EXPECT_FALSE(wizard->Installing());

    // Once it is free, the same wizard installs.
    p.fileSystem.lockedPaths.clear();
    wizard->onCommand2();
    EXPECT_EQ(p.fileSystem.fileBytes("C:\\Program Files\\Quillmoor\\Quillmoor.exe"), "MZ tray");
    EXPECT_EQ(progress().back(), "安装完成");

    // A release with a file missing stops before anything is stopped or copied.
    p.fileSystem.removeFile(source + "\\lang\\en.txt");
    const std::uint32_t tray = p.processes.add("Quillmoor.exe");
    messenger.windows[0x7700] = {tray, "QuillmoorMainWindow"};
    makeWizard();
    wizard->onLoad();
    wizard->setInstallPath("D:\\Fresh\\Quillmoor\\");
    wizard->onCommand2();
    EXPECT_EQ(window.boxes.back(), "安装程序不完整,安装已停止。缺少文件: lang\\en.txt");
    EXPECT_TRUE(messenger.sent.empty());
    EXPECT_TRUE(p.processes.isRunning(tray));
    EXPECT_FALSE(p.fileSystem.fileExists("D:\\Fresh\\Quillmoor\\Quillmoor.exe"));
}

TEST_F(Wizard, PathsThatCannotBeUsedAreRefusedBeforeAnythingIsCreated) {
    wizard->onLoad();
    for (const char* chinese : {"C:\\程序\\Quillmoor\\", "C:\\盘\\Quillmoor\\"}) {
        wizard->setInstallPath(chinese);
        wizard->onCommand2();
        EXPECT_EQ(window.boxes.back(), "不能安装到含有中文字符的路径下,请重新选择安装目录！")
            << chinese;
        EXPECT_FALSE(wizard->Installing());
    }

    for (const char* bad : {"\\\\server\\share\\Quillmoor\\", "Q:\\Quillmoor\\", "Quillmoor\\"}) {
        wizard->setInstallPath(bad);
        wizard->onCommand2();
        EXPECT_EQ(window.boxes.back(), "安装目录错误") << bad;
        EXPECT_EQ(window.text2, "安装目录错误");
        EXPECT_TRUE(window.choosingEnabled);
        EXPECT_FALSE(wizard->Installing());
    }
    EXPECT_FALSE(p.fileSystem.folderExists("\\\\server\\share"));
    EXPECT_TRUE(p.processes.startCalls.empty());

    // Doubled and trailing separators make no empty folder names.
    window.answers = {1};
    wizard->setInstallPath("C:\\\\Program Files\\\\Deep\\Quillmoor\\");
    wizard->onCommand2();
    EXPECT_TRUE(p.fileSystem.fileExists("C:\\Program Files\\Deep\\Quillmoor\\setup.exe"));
}

TEST_F(Wizard, CancelDuringTheCopyAsksOnceAndStopsAfterTheCurrentItem) {
    wizard->onLoad();
    int questions = 0;
    p.eventLoop.onPump = [&] {
        if (window.text2.find("创建文件...readme.txt") != std::string::npos && questions == 0) {
            ++questions;
            wizard->onCommand3();
        }
    };
    wizard->onCommand2();
    EXPECT_EQ(window.boxes,
              (std::vector<std::string>{"确定开始安装吗?", "安装正在进行中,要结束安装吗?"}));
    // The file being copied arrives; the next one is not begun.
    EXPECT_TRUE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\readme.txt"));
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\setup.exe"));
    EXPECT_FALSE(p.fileSystem.folderExists("C:\\Program Files\\Quillmoor\\lang"));
    EXPECT_EQ(setting("AutoStartup"), "<none>");
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_TRUE(p.shell.opened.empty());
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(window.callsAfterClose, 0);
}

TEST_F(Wizard, CancelWhileWaitingForTheTrayProgramStopsNothingElse) {
    wizard->onLoad();
    // Deaf to the request.
    messenger.windows[0x1234] = {p.processes.add("Quillmoor.exe"), "QuillmoorMainWindow"};
    const std::uint32_t updater = p.processes.add("Quillmoor_Freshwell.exe");
    p.eventLoop.onPump = [&] {
        if (messenger.sent.size() == 2 && !wizard->CancelRequested()) wizard->onCommand3();
    };
    wizard->onCommand2();
    EXPECT_TRUE(p.processes.isRunning(updater));
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_EQ(progress().back(), "...等待 Quillmoor.exe 结束");
    EXPECT_FALSE(p.fileSystem.folderExists("C:\\Program Files\\Quillmoor\\lang"));
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(Wizard, TheCloseBoxAsksFirstUnlessClosingWasConfirmed) {
    window.answers = {2};
    EXPECT_FALSE(wizard->onCloseRequest());
    EXPECT_EQ(window.boxes.back(), "退出安装向导?");
    EXPECT_TRUE(wizard->onCloseRequest());
    window.answers = {2};
    wizard->onCommand3();
    EXPECT_FALSE(window.closed);
    wizard->onCommand3();
    EXPECT_TRUE(window.closed);
    const auto asked = window.boxes.size();
    EXPECT_TRUE(wizard->onCloseRequest());  // confirmed already
    EXPECT_EQ(window.boxes.size(), asked);
}

TEST_F(Wizard, InstallingBesideOrOverTheInstallerCopiesOnlyTheRelease) {
    wizard->setInstallPath(source + "\\Quillmoor\\");
    wizard->onCommand2();
    EXPECT_TRUE(p.fileSystem.fileExists(source + "\\Quillmoor\\setup.exe"));
    EXPECT_TRUE(p.fileSystem.fileExists(source + "\\Quillmoor\\lang\\en.txt"));
    EXPECT_FALSE(p.fileSystem.folderExists(source + "\\Quillmoor\\Quillmoor"));
    EXPECT_FALSE(p.fileSystem.folderExists(source + "\\Quillmoor\\Other"));
    for (const auto& line : progress()) EXPECT_NE(line, "创建文件夹...Quillmoor");

    // Run from the install folder itself, however it is written (a locator
    // file's text is taken as it is): the release is in place, and no file
    // is copied onto itself, which the system would refuse.
    p.fileSystem.failCopy.always = true;
    for (const std::string& spelled :
         {source + "\\", source + "\\.\\x\\..\\", std::string("d:\\DIST.\\")}) {
        SCOPED_TRACE(spelled);
        for (const std::uint32_t started : p.processes.idsOf("Quillmoor.exe")) {
            p.processes.end(started);
        }
        makeWizard();
        wizard->setInstallPath(spelled);
        wizard->onCommand2();
        EXPECT_EQ(progress().back(), "安装完成");
        EXPECT_EQ(p.fileSystem.fileBytes(source + "\\setup.exe"), "MZ setup");
        EXPECT_FALSE(p.fileSystem.folderExists(source + "\\lang\\lang"));
    }
}

TEST_F(Wizard, ChineseCharactersAreCountedInTheChineseCodePage) {
    EXPECT_EQ(wizard->CountChinese("C:\\Program Files\\"), 0);
    EXPECT_EQ(wizard->CountChinese("D:\\软件\\工具"), 4);
    EXPECT_EQ(wizard->CountChinese("D:\\Ｑ"), 1);  // a full-width letter takes two bytes too
}

}  // namespace
}  // namespace qm
