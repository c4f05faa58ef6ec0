// setup.exe /S over fakes: its arguments, the folder it takes, what it
// writes, stops and starts (nothing), and its exit codes.
#include "setup/silent_install.h"

#include <gtest/gtest.h>

#include "fakes/fake_console_output.h"
#include "fakes/fake_messenger.h"
#include "fakes/fake_platform.h"
#include "fakes/installer_machine.h"
#include "settings/ini.h"

namespace qm {
namespace {

using Lines = std::vector<std::string>;

TEST(SetupArgumentsText, SilentWithTheRestOfTheLineAsTheFolder) {
    struct Case {
        const char* line;
        bool silent;
        const char* folder;  // null: none
        bool refused;
    };
    for (const Case& c : {Case{"", false, nullptr, false},
                          Case{"/S", true, nullptr, false},
                          Case{" /s  /D=C:\\Program Files\\My Tools\\Quillmoor ", true,
                               "C:\\Program Files\\My Tools\\Quillmoor", false},
                          // A caller that quotes every argument with a blank.
                          Case{"/S \"/D=C:\\a b\\Q\"", true, "C:\\a b\\Q", false},
                          // /D= takes the rest, an /S behind it included.
                          Case{"/D=C:\\x /S", false, "C:\\x /S", false},
                          Case{"/S X/D=C:\\x", true, nullptr, true},
                          Case{"/S /Q", true, nullptr, true},
                          Case{"/S /D=", true, nullptr, true},
                          Case{"/S /D=  \"\"", true, nullptr, true}}) {
        const SetupArguments args = ParseSetupArguments(c.line);
        EXPECT_EQ(args.silent, c.silent) << c.line;
        EXPECT_EQ(args.folder.value_or("<none>"), c.folder ? c.folder : "<none>") << c.line;
        EXPECT_EQ(!args.problem.empty(), c.refused) << c.line;
    }
    struct Removal {
        const char* line;
        bool uninstall, silent, purge, refused;
    };
    for (const Removal& c : {Removal{"/uninstall", true, false, false, false},
                             Removal{" /UNINSTALL /s /Purge", true, true, true, false},
                             Removal{"/S /purge", false, true, true, true},
                             Removal{"/uninstall /D=C:\\x", true, false, false, true}}) {
        const SetupArguments args = ParseSetupArguments(c.line);
        EXPECT_EQ(args.uninstall, c.uninstall) << c.line;
        EXPECT_EQ(args.silent, c.silent) << c.line;
        EXPECT_EQ(args.purge, c.purge) << c.line;
        EXPECT_EQ(!args.problem.empty(), c.refused) << c.line;
    }
    EXPECT_EQ(SilentInstallFolder("C:/Tools/Q"), "C:\\Tools\\Q\\");
    EXPECT_EQ(SilentInstallFolder(" \"D:\\My Q\\\" "), "D:\\My Q\\");
}

class SilentInstall : public ::testing::Test {
  protected:
    FakePlatform p;
    FakeMessenger messenger;
    FakeConsoleOutput console;
    const std::string source = "D:\\dist";

    void SetUp() override {
        AddInstallerMachine(p.fileSystem, source);
        p.eventLoop.tickStep = 10;
    }
    int install(const std::optional<std::string>& folder) {
        console.out.clear();
        console.err.clear();
        return RunSilentInstall(
            SetupDeps{p.profile, p.fileSystem, p.processes, p.eventLoop, p.shell, p.codePage,
                      messenger, p.registry, source, InstallerRelease()},
            folder, console);
    }
};

TEST_F(SilentInstall, InstallsIntoTheFolderGivenAndStartsAndOpensNothing) {
    EXPECT_EQ(install("C:\\Program Files\\My Tools\\Quillmoor"), kSetupDone);
    const std::string dir = "C:\\Program Files\\My Tools\\Quillmoor\\";
    for (const std::string& name : InstallerRelease()) {
        EXPECT_EQ(p.fileSystem.fileBytes(dir + name), p.fileSystem.fileBytes(source + "\\" + name))
            << name;
    }
    EXPECT_FALSE(p.fileSystem.fileExists(dir + "version.dll"));
    EXPECT_EQ(ReadIniString(p.profile, dir + "Setting.ini", "Setting", "AutoStartup", ""), "1");
    EXPECT_EQ(ReadIniString(p.profile, dir + "Setting.ini", "Setting", "DisableAutoPlayService", ""),
              "0");
    EXPECT_EQ(console.outLines(), Lines{"安装完成: " + dir});
    EXPECT_TRUE(console.err.empty());
    // No program, no home page, no message box.
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_TRUE(p.shell.opened.empty());
    EXPECT_TRUE(p.shell.boxes.empty());
    // Listed among the installed programs, where the system looks for a
    // 32-bit program, with the installed setup.exe to remove it.
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor";
    EXPECT_FALSE(p.registry.keyExists(RegRoot::LocalMachine, key));
    auto entry = [&](const char* name) {
        return p.registry.stringValue(RegRoot::LocalMachine, key, name, kRegView32)
            .value_or("<none>");
    };
    EXPECT_EQ(entry("DisplayName"), "Quillmoor");
    EXPECT_EQ(entry("InstallLocation"), "C:\\Program Files\\My Tools\\Quillmoor");
    EXPECT_EQ(entry("DisplayIcon"), dir + "Quillmoor.exe");
    EXPECT_EQ(entry("UninstallString"), "\"" + dir + "setup.exe\" /uninstall");
    EXPECT_EQ(entry("QuietUninstallString"), "\"" + dir + "setup.exe\" /uninstall /S");
    const auto size = p.registry.value(RegRoot::LocalMachine, key, "EstimatedSize", kRegView32);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->type, regtype::kDword);
    EXPECT_EQ(size->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));  // 23 bytes: one KB

    // Without a folder: the one the wizard offers.
    EXPECT_EQ(install(std::nullopt), kSetupDone);
    EXPECT_TRUE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\Quillmoor.exe"));
}

TEST_F(SilentInstall, AnInstallationThatCannotBeListedSaysHowToRemoveIt) {
    // The third value of the entry is refused: no half entry stays.
    p.registry.failSet.calls = {3};
    EXPECT_EQ(install("C:\\Q"), kSetupNotRegistered);
    EXPECT_FALSE(p.registry.keyExists(
        RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor",
        kRegView32));
    EXPECT_EQ(console.errLines(),
              Lines{"无法把 Quillmoor 登记到“程序和功能”中。需要卸载时,请以管理员身份运行: "
                    "\"C:\\Q\\setup.exe\" /uninstall"});
    EXPECT_EQ(console.outLines(), Lines{"安装完成: C:\\Q\\"});
    EXPECT_TRUE(p.fileSystem.fileExists("C:\\Q\\Quillmoor.exe"));
}

TEST_F(SilentInstall, StopsARunningTrayProgramAsTheWizardDoes) {
    const std::uint32_t tray = p.processes.add("Quillmoor.exe", 1);
    p.processes.processes[tray].imagePath = "E:\\Apps\\Quillmoor\\Quillmoor.exe";
    messenger.windows[0x7700] = {tray, "QuillmoorMainWindow"};
    messenger.onSend = [&](const FakeMessenger::Sent& sent) {
        if (sent.window == 0x7700 && sent.message == 1025 && sent.wParam == 1001) {
            p.processes.end(tray);
        }
        return true;
    };
    p.fileSystem.addDrive('E', kDriveKindFixed);
    EXPECT_EQ(install(std::nullopt), kSetupDone);
    // Offered: the running program's folder.
    EXPECT_TRUE(p.fileSystem.fileExists("E:\\Apps\\Quillmoor\\Quillmoor.exe"));
    EXPECT_EQ(messenger.sent.size(), 1u);
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(SilentInstall, RefusesWhatTheWizardRefusesWithItsOwnExitCode) {
    struct Case {
        const char* folder;
        int code;
    };
    for (const Case& c : {Case{"C:\\程序\\Quillmoor", kSetupFolderRefused},
                          Case{"Tools\\Quillmoor", kSetupFolderRefused},
                          Case{"\\\\server\\share\\Quillmoor", kSetupFolderRefused},
                          Case{"Q:\\Quillmoor", kSetupFolderRefused}}) {
        EXPECT_EQ(install(c.folder), c.code) << c.folder;
        EXPECT_TRUE(console.out.empty()) << c.folder;
        EXPECT_FALSE(console.err.empty()) << c.folder;
    }
    EXPECT_FALSE(p.fileSystem.folderExists("C:\\程序"));
    EXPECT_EQ(console.errLines(), Lines{"安装目录错误"});

    // Another user's copy in the folder: a program that will not end.
    const std::uint32_t theirs = p.processes.add("Quillmoor.exe", 2);
    p.processes.processes[theirs].imagePath = "C:\\Program Files\\Quillmoor\\Quillmoor.exe";
    EXPECT_EQ(install(std::nullopt), kSetupProgramRunning);
    EXPECT_EQ(console.errLines(), Lines{Text(SetupText::OtherUserRuns)});
    p.processes.end(theirs);

    // A file that cannot be copied.
    p.fileSystem.failCopy.always = true;
    EXPECT_EQ(install("C:\\Elsewhere"), kSetupFilesFailed);
    EXPECT_EQ(console.errLines().front().rfind("安装已停止,没有完成。无法复制文件 ", 0), 0u);
    EXPECT_TRUE(p.processes.startCalls.empty());
}

}  // namespace
}  // namespace qm
