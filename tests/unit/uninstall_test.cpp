// setup.exe /uninstall over fakes: what goes and what stays, the records of
// another installation left alone, the running tray program asked first,
// what cannot go listed and never called removed, and the question's window
// while the removal lets messages run.
#include "setup/uninstall.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakes/fake_console_output.h"
#include "fakes/fake_messenger.h"
#include "fakes/fake_platform.h"
#include "fakes/installer_machine.h"
#include "settings/ini.h"
#include "settings/system_entries.h"
#include "setup/uninstall_dialog.h"

namespace qm {
namespace {

constexpr char kDir[] = "C:\\Program Files\\Quillmoor";
constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor";
constexpr char kLocator[] = "c:\\windows\\system32\\Quillmoor.ini";

class Uninstall : public ::testing::Test {
  protected:
    FakePlatform p;
    FakeMessenger messenger;
    FakeConsoleOutput console;
    std::string dir = kDir;

    void SetUp() override {
        AddInstallerMachine(p.fileSystem, "D:\\dist");
        p.fileSystem.addFolder("C:\\Temp");
        p.eventLoop.tickStep = 10;
        install(dir);
    }
    // An installation as setup.exe leaves it and the tray program adds to
    // it: the release, the settings, the log, the locator, the Run value
    // and the entry; setup.exe runs.
    void install(const std::string& folder) {
        dir = folder;
        for (const std::string& name : InstallerRelease())
            p.fileSystem.addFile(folder + "\\" + name, "x");
        WriteIniString(p.profile, folder + "\\Setting.ini", "Setting", "AutoStartup", "1");
        p.fileSystem.addFile(folder + "\\Disk.ini", "[1234]");
        p.fileSystem.addFile(folder + "\\log.txt", "log");
        WriteIniString(p.profile, kLocator, "Setting", "InstallDir", folder + "\\");
        p.registry.putString(RegRoot::CurrentUser, kRunKeyPath, "Quillmoor",
                             "\"" + folder + "\\Quillmoor.exe\"");
        UninstallEntry entry;
        entry.installLocation = folder;
        ASSERT_TRUE(WriteUninstallEntry(p.registry, p.codePage, entry));
        p.fileSystem.runningImages.insert(folder + "\\setup.exe");
    }
    SetupDeps deps() {
        return SetupDeps{p.profile,  p.fileSystem, p.processes, p.eventLoop, p.shell,
                         p.codePage, messenger,    p.registry,  dir,         InstallerRelease()};
    }
    bool entryThere() { return p.registry.keyExists(RegRoot::LocalMachine, kEntryKey, kRegView32); }
    bool runValueThere() {
        return p.registry.stringValue(RegRoot::CurrentUser, kRunKeyPath, "Quillmoor").has_value();
    }
    bool has(const std::string& name) { return p.fileSystem.fileExists(dir + "\\" + name); }
    int silent(bool purge) {
        console.out.clear();
        console.err.clear();
        return RunSilentUninstall(deps(), purge, console);
    }
};

TEST_F(Uninstall, RemovesTheReleaseAndItsRecordsAndKeepsTheSettingsUnlessPurged) {
    EXPECT_EQ(silent(false), kUninstallDone);
    for (const std::string& name : InstallerRelease()) EXPECT_FALSE(has(name)) << name;
    EXPECT_FALSE(p.fileSystem.folderExists(dir + "\\lang"));
    EXPECT_FALSE(p.fileSystem.fileExists(kLocator));
    EXPECT_FALSE(runValueThere());
    EXPECT_FALSE(entryThere());
    // The running setup.exe moved out of the way, to go at the next start.
    ASSERT_EQ(p.fileSystem.deletedAtRestart.size(), 1u);
    EXPECT_EQ(p.fileSystem.deletedAtRestart[0].rfind("C:\\Temp\\", 0), 0u);
    EXPECT_TRUE(p.fileSystem.fileExists(p.fileSystem.deletedAtRestart[0]));
    // The user's settings and log stay, and so does their folder.
    for (const char* name : {"Setting.ini", "Disk.ini", "log.txt"}) EXPECT_TRUE(has(name)) << name;
    EXPECT_EQ(console.out,
              "Quillmoor 已卸载: " + dir + "\\\r\n\r\n设置和日志保留在 " + dir + "\\\r\n");
    EXPECT_TRUE(console.err.empty());

    // Purged, the folder goes with them.
    install(dir);
    EXPECT_EQ(silent(true), kUninstallDone);
    EXPECT_FALSE(p.fileSystem.folderExists(dir));
    EXPECT_EQ(console.outLines(), (std::vector<std::string>{"Quillmoor 已卸载: " + dir + "\\"}));

    // A file of someone else's keeps the folder, and is said to.
    install(dir);
    p.fileSystem.addFile(dir + "\\notes.txt", "mine");
    EXPECT_EQ(silent(true), kUninstallDone);
    EXPECT_TRUE(has("notes.txt"));
    EXPECT_EQ(console.outLines().back(),
              "安装目录中还有不属于 Quillmoor 的文件,目录已保留: " + dir + "\\");
}

TEST_F(Uninstall, WhatNamesAnotherInstallationStays) {
    WriteIniString(p.profile, kLocator, "Setting", "InstallDir", "D:\\Other\\Quillmoor\\");
    p.registry.putString(RegRoot::CurrentUser, kRunKeyPath, "Quillmoor",
                         "\"D:\\Other\\Quillmoor\\Quillmoor.exe\"");
    UninstallEntry other;
    other.installLocation = "D:\\Other\\Quillmoor";
    ASSERT_TRUE(WriteUninstallEntry(p.registry, p.codePage, other));
    // Setting.ini makes the folder an installation without the entry.
    EXPECT_EQ(silent(false), kUninstallDone);
    EXPECT_FALSE(has("Quillmoor.exe"));
    EXPECT_EQ(ReadLocator(p.profile, kLocator, LocatorField::InstallDir), "D:\\Other\\Quillmoor\\");
    EXPECT_TRUE(runValueThere());
    EXPECT_EQ(ReadUninstallLocation(p.registry, p.codePage), "D:\\Other\\Quillmoor");

    // A download folder holds the release but no installation: untouched.
    dir = "D:\\dist";
    EXPECT_EQ(silent(true), kUninstallNothingHere);
    EXPECT_TRUE(has("setup.exe"));
    EXPECT_TRUE(has("Quillmoor.exe"));
    EXPECT_EQ(console.errLines(),
              (std::vector<std::string>{"这里没有安装 Quillmoor,没有删除任何文件: D:\\dist\\"}));
}

TEST_F(Uninstall, TheTrayProgramOfTheFolderIsAskedToQuitBeforeAnythingGoes) {
    const std::uint32_t tray = p.processes.add("Quillmoor.exe");
    p.processes.processes[tray].imagePath = dir + "\\Quillmoor.exe";
    messenger.windows[0x500] = {tray, "QuillmoorMainWindow"};
    // Another folder's tray program is none of this removal's business.
    const std::uint32_t other = p.processes.add("Quillmoor.exe");
    p.processes.processes[other].imagePath = "D:\\Other\\Quillmoor.exe";
    messenger.windows[0x600] = {other, "QuillmoorMainWindow"};
    bool filesThereWhenAsked = false;
    messenger.onSend = [&](const FakeMessenger::Sent& sent) {
        if (sent.window == 0x500 && sent.message == 1025 && sent.wParam == 1001) {
            filesThereWhenAsked = has("Quillmoor.exe") && p.fileSystem.fileExists(kLocator);
            p.processes.end(tray);
        }
        return true;
    };
    EXPECT_EQ(silent(false), kUninstallDone);
    EXPECT_TRUE(filesThereWhenAsked);
    ASSERT_EQ(messenger.sent.size(), 1u);
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_TRUE(p.processes.isRunning(other));
}

TEST_F(Uninstall, AProgramThatWillNotEndStopsItBeforeAnythingGoes) {
    // Deaf to the request: ended once the request had its time.
    const std::uint32_t deaf = p.processes.add("Quillmoor.exe");
    p.processes.processes[deaf].imagePath = dir + "\\Quillmoor.exe";
    // An updater of the folder is ended at once.
    const std::uint32_t updater = p.processes.add("Quillmoor_Freshwell.exe");
    p.processes.processes[updater].imagePath = dir + "\\Quillmoor_Freshwell.exe";
    EXPECT_EQ(silent(false), kUninstallDone);
    EXPECT_FALSE(p.processes.isRunning(deaf));
    EXPECT_FALSE(p.processes.isRunning(updater));

    // One that survives being ended: nothing is removed, and that is said.
    install(dir);
    const std::uint32_t stuck = p.processes.add("Quillmoor.exe");
    p.processes.processes[stuck].imagePath = dir + "\\Quillmoor.exe";
    p.processes.survivesTerminate.insert(stuck);
    EXPECT_EQ(silent(false), kUninstallProgramRunning);
    EXPECT_EQ(console.errLines(),
              (std::vector<std::string>{
                  "无法结束 Quillmoor.exe,卸载已停止,没有删除任何文件。请关闭该程序后重新卸载。"}));
    p.processes.end(stuck);

    // Another user's copy is theirs to end.
    const std::uint32_t theirs = p.processes.add("Quillmoor.exe", 2);
    p.processes.processes[theirs].imagePath = dir + "\\Quillmoor.exe";
    EXPECT_EQ(silent(true), kUninstallProgramRunning);
    EXPECT_TRUE(p.processes.isRunning(theirs));
    for (const std::string& name : InstallerRelease()) EXPECT_TRUE(has(name)) << name;
    EXPECT_TRUE(has("Setting.ini"));
    EXPECT_TRUE(entryThere());
    EXPECT_TRUE(runValueThere());
    EXPECT_TRUE(console.out.empty());
}

TEST_F(Uninstall, WhatCannotGoIsListedAndSetupAndTheEntryStayToTryAgain) {
    p.fileSystem.lockedPaths.insert(dir + "\\Quillmoor.exe");
    EXPECT_EQ(silent(false), kUninstallSomeRemain);
    EXPECT_TRUE(console.out.empty());
    EXPECT_EQ(console.errLines(),
              (std::vector<std::string>{"卸载没有完成,以下项目未能删除:",
                                        "Quillmoor.exe: 另一个程序正在使用此文件,进程无法访问。",
                                        "setup.exe: 已保留,以便重新卸载",
                                        "“程序和功能”中的 Quillmoor: 已保留,以便重新卸载"}));
    EXPECT_TRUE(has("Quillmoor.exe"));
    EXPECT_TRUE(has("setup.exe"));
    EXPECT_TRUE(entryThere());
    EXPECT_FALSE(has("readme.txt"));
    EXPECT_FALSE(runValueThere());

    // Let go of, it goes on the second try, and so does the rest.
    p.fileSystem.lockedPaths.clear();
    EXPECT_EQ(silent(false), kUninstallDone);
    EXPECT_FALSE(has("Quillmoor.exe"));
    EXPECT_FALSE(entryThere());

    // An entry the registry will not let go of is no entry removed.
    install(dir);
    p.registry.failDeleteKey.always = true;
    EXPECT_EQ(silent(true), kUninstallSomeRemain);
    EXPECT_EQ(console.errLines().back(), "“程序和功能”中的 Quillmoor: 无法删除");
    EXPECT_TRUE(entryThere());
}

TEST_F(Uninstall, SetupOnAnotherDriveThanTheTemporaryFolderGoesAtTheRestartWithItsFolder) {
    install("D:\\Apps\\Quillmoor");
    EXPECT_EQ(silent(true), kUninstallSomeRemain);
    EXPECT_EQ(p.fileSystem.deletedAtRestart, (std::vector<std::string>{dir + "\\setup.exe", dir}));
    EXPECT_EQ(console.errLines(), (std::vector<std::string>{"卸载没有完成,以下项目未能删除:",
                                                            "setup.exe: 将在重新启动电脑时删除",
                                                            dir + "\\: 将在重新启动电脑时删除"}));
    // Nothing is left to start the removal again.
    EXPECT_FALSE(entryThere());
    EXPECT_FALSE(has("Quillmoor.exe"));
}

struct RecordingUninstallWindow final : UninstallWindowPort {
    std::vector<std::string> statuses, boxes;
    bool answersEnabled = true;
    bool closed = false;
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void enableAnswers(bool enabled) override { answersEnabled = enabled; }
    int messageBox(const std::string& text, std::uint32_t) override {
        boxes.push_back(text);
        return 1;
    }
    void close() override { closed = true; }
};

TEST_F(Uninstall, TheQuestionIsAskedOnceAndTheRemovalRunsToItsEndWhateverArrivesMeanwhile) {
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "DisableAutoPlayService", "1");
    Uninstaller uninstaller(deps());
    RecordingUninstallWindow window;
    UninstallDialog dialog(window, uninstaller);
    const auto question = dialog.Question();
    ASSERT_EQ(question.size(), 3u);
    EXPECT_EQ(question[0], "确定要从这台电脑上删除 Quillmoor 吗?\r\n安装目录: " + dir + "\\");
    EXPECT_NE(question[2].find("卸载后它仍保持关闭"), std::string::npos);
    ASSERT_TRUE(dialog.onLoad());

    // A second press, Cancel, Esc and the close box, each from inside a pump.
    int pumps = 0;
    p.eventLoop.onPump = [&] {
        if (++pumps != 3) return;
        dialog.onUninstall(false);
        dialog.onCancel();
        EXPECT_FALSE(dialog.onCloseRequest());
        EXPECT_TRUE(dialog.removing());
    };
    dialog.onUninstall(true);
    EXPECT_GT(pumps, 3);
    EXPECT_FALSE(window.answersEnabled);
    EXPECT_NE(std::find(window.statuses.begin(), window.statuses.end(), "删除...Quillmoor.exe"),
              window.statuses.end());
    ASSERT_EQ(window.boxes.size(), 1u);
    // How to switch AutoPlay back on, with the settings gone that said it was off.
    EXPECT_EQ(
        window.boxes[0].rfind("Quillmoor 已卸载: " + dir + "\\\r\n\r\n系统的“自动播放”服务", 0),
        0u);
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(dialog.exitCode(), kUninstallDone);
    EXPECT_FALSE(p.fileSystem.folderExists(dir));
}

TEST_F(Uninstall, CancelledOrClosedTheQuestionRemovesNothing) {
    Uninstaller uninstaller(deps());
    for (const bool byCloseBox : {false, true}) {
        RecordingUninstallWindow window;
        UninstallDialog dialog(window, uninstaller);
        ASSERT_TRUE(dialog.onLoad());
        if (byCloseBox) {
            EXPECT_TRUE(dialog.onCloseRequest());
        } else {
            dialog.onCancel();
            EXPECT_TRUE(window.closed);
        }
        dialog.onUninstall(false);  // a press queued behind the answer
        EXPECT_EQ(dialog.exitCode(), kUninstallCancelled);
        EXPECT_TRUE(window.boxes.empty());
        EXPECT_TRUE(has("Quillmoor.exe"));
    }
    // No installation: said, closed, nothing asked.
    dir = "D:\\dist";
    Uninstaller nothing(deps());
    RecordingUninstallWindow window;
    UninstallDialog dialog(window, nothing);
    EXPECT_FALSE(dialog.onLoad());
    EXPECT_EQ(window.boxes,
              (std::vector<std::string>{"这里没有安装 Quillmoor,没有删除任何文件: D:\\dist\\"}));
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(dialog.exitCode(), kUninstallNothingHere);
}

}  // namespace
}  // namespace qm
