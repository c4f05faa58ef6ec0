// Quillmoor.exe's command line over fakes: what each command prints, on
// which stream, with which exit code, and that it leaves the tray program's
// state alone.
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "fakes/fake_console_output.h"
#include "fakes/fake_messenger.h"
#include "fakes/stick_machine.h"
#include "recording_notices.h"

namespace qm {
namespace {

using Lines = std::vector<std::string>;

constexpr std::uint32_t kRemoveVetoed = 0x17;

class Cli : public ::testing::Test {
  protected:
    FakePlatform p;
    FakeConsoleOutput console;
    FakeMessenger messenger;
    const std::string dir = "C:\\Program Files\\Quillmoor";

    void SetUp() override {
        p.fileSystem.addFolder("C:\\Program Files");
        p.fileSystem.addFolder(dir);
        p.fileSystem.addFolder("c:\\windows\\system32");
        AddFixedDisk(p, 'C', "SYSTEM", 0x1111);
    }
    int run(std::string_view line) {
        console.out.clear();
        console.err.clear();
        p.fileSystem.appends.clear();
        return RunCommandLine(CliPlatform{p.fileSystem, p.storage, p.codePage, p.eventLoop, p.mci,
                                          p.processes, p.shell, p.blockers, p.probe, console,
                                          messenger},
                              dir, "1.0.1", line);
    }
    Lines out() const { return console.outLines(); }
    Lines err() const { return console.errLines(); }
    Lines logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
};

TEST_F(Cli, ListShowsEveryDriveAndTouchesNothingOfTheTrayProgram) {
    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    p.fileSystem.addFolder("G:\\autorun.inf");
    AddEjectableStick(p, 'I', "", 0, kBusTypeSd, false);  // an empty card slot
    AddEjectableStick(p, 'N', "SLOW", 0x4444);
    p.probe.hung.insert('N');

    EXPECT_EQ(run("/list"), kExitDone);
    EXPECT_EQ(out(), (Lines{"C:\tATA\t本地磁盘\tSYSTEM\t256.0 GB\t未免疫",
                            "E:\tATAPI\t光驱\tHL-DT-ST DVDRAM 1.00\t无介质\t-",
                            "G:\tUSB\t可移动磁盘\tKINGSTON\t1.9 GB\t已免疫",
                            "I:\tSD\t可移动磁盘\tKingston DataTraveler 1.00\t无介质\t-",
                            "N:\t未知\t未知\t\t未响应\t-"}));
    EXPECT_TRUE(err().empty());
    // A drive that does not answer holds the command up no longer than a refresh.
    EXPECT_LE(p.eventLoop.tick, kVolumeAnswerMs + 50);
    // Nothing a running tray program owns: no settings, window handle or
    // locator, no tray icon, no hotkey, no update check, no log line.
    EXPECT_FALSE(p.fileSystem.fileExists(dir + "\\Setting.ini"));
    EXPECT_FALSE(p.fileSystem.fileExists("c:\\windows\\system32\\Quillmoor.ini"));
    EXPECT_FALSE(p.fileSystem.fileExists("G:\\autorun.inf\\Quillmoor.ini"));
    EXPECT_TRUE(p.shell.notifyCalls.empty());
    EXPECT_TRUE(p.shell.hotkeys.empty());
    EXPECT_TRUE(p.http.requests.empty());
    EXPECT_TRUE(logTexts().empty());
}

TEST_F(Cli, EjectEndsWithTheCodeOfItsOutcomeAndLogsAsTheMenuDoes) {
    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    for (const char* form : {"/eject G:", "/EJECT g", "/eject g:\\"}) {
        p.storage.ejectCalls.clear();
        EXPECT_EQ(run(form), kExitDone) << form;
        EXPECT_EQ(out(), Lines{"KINGSTON(G:) 已安全弹出"}) << form;
        ASSERT_EQ(p.storage.ejectCalls.size(), 1u);
        EXPECT_EQ(p.storage.ejectCalls[0].devInst, StickParent('G'));
    }
    EXPECT_TRUE(p.blockers.queries.empty());

    // Refused, with a program found holding it: in use.
    p.storage.ejectAnswers = {{kRemoveVetoed, 5, "\\Device\\HarddiskVolume6"}};
    p.blockers.answer = {{4312, "WINWORD.EXE"}, {1288, "explorer.exe"}};
    EXPECT_EQ(run("/eject G:"), kExitInUse);
    EXPECT_TRUE(out().empty());
    EXPECT_EQ(err(), (Lines{"弹出 KINGSTON(G:) 失败,请关闭此设备中已打开的文件",
                            "占用程序:", "  WINWORD.EXE (4312)", "  explorer.exe (1288)"}));
    EXPECT_EQ(logTexts(),
              (Lines{"弹出 KINGSTON(G:) 被阻止: OutstandingOpen \\Device\\HarddiskVolume6",
                     "弹出 KINGSTON(G:) 被占用: WINWORD.EXE (4312), explorer.exe (1288)"}));
    // Refused, and nobody found: still in use, as the system says.
    p.blockers.answer.clear();
    EXPECT_EQ(run("/eject G:"), kExitInUse);
    EXPECT_EQ(err().back(), "系统拒绝弹出: OutstandingOpen");
    // No device to ask: another failure, with the reason.
    p.storage.parents.clear();
    EXPECT_EQ(run("/eject G:"), kExitFailed);
    EXPECT_EQ(err().back(), "找不到可以弹出的设备");

    // No such drive, or one that is no stick.
    EXPECT_EQ(run("/eject Q:"), kExitNoDrive);
    EXPECT_EQ(err(), Lines{"没有驱动器 Q:"});
    EXPECT_EQ(run("/eject A:"), kExitNoDrive);
    EXPECT_EQ(run("/eject C:"), kExitNoDrive);
    EXPECT_EQ(err(), Lines{"不是可以安全弹出的设备: C:"});
    EXPECT_EQ(run("/eject E:"), kExitNoDrive);
    p.probe.hung.insert('G');
    EXPECT_EQ(run("/eject G:"), kExitFailed);
    EXPECT_EQ(err(), Lines{"驱动器没有响应: G:"});
}

TEST_F(Cli, EjectAllTakesEachStickWithAMediumByIdentityAndSaysItOnce) {
    EXPECT_EQ(run("/eject /all"), kExitDone);
    EXPECT_EQ(out(), Lines{"没有可以安全弹出的设备"});

    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    AddEjectableStick(p, 'H', "OTHER", 0x3334);
    AddEjectableStick(p, 'I', "", 0, kBusTypeSd, false);  // an empty card slot stays
    p.storage.onEject = [this](std::uint32_t devInst) {
        // H: is vetoed, every time it is asked.
        p.storage.ejectAnswers = {devInst == StickParent('H')
                                      ? FakeStorage::EjectAnswer{kRemoveVetoed, 5, ""}
                                      : FakeStorage::EjectAnswer{}};
    };
    // A running tray program hears of each eject before and after it, so
    // that it does not announce the sticks as pulled out; other windows
    // hear nothing.
    messenger.windows[WindowId(0x70)] = {1200, "QuillmoorMainWindow"};
    messenger.windows[WindowId(0x71)] = {1200, "QuillmoorAlert"};
    std::vector<std::string> told;
    messenger.onSend = [this, &told](const FakeMessenger::Sent& sent) {
        EXPECT_EQ(sent.window, WindowId(0x70));
        EXPECT_EQ(sent.message, kDriveEjectedByCommandMsg);
        told.push_back(std::string(1, static_cast<char>(sent.wParam)) + std::to_string(sent.lParam) +
                       " after " + std::to_string(p.storage.ejectCalls.size()));
        return true;
    };
    EXPECT_EQ(run("/EJECT /ALL"), kExitInUse);
    EXPECT_EQ(told, (Lines{"G0 after 0", "G1 after 1", "H0 after 1", "H2 after 5"}));
    messenger.onSend = nullptr;
    EXPECT_EQ(out(), Lines{"KINGSTON(G:) 已安全弹出"});
    EXPECT_EQ(err(),
              (Lines{"弹出 OTHER(H:) 失败,请关闭此设备中已打开的文件",
                     "系统拒绝弹出: OutstandingOpen", "已安全弹出 1 个设备,未能弹出: OTHER (H:)"}));
    EXPECT_EQ(logTexts().back(), "已安全弹出 1 个设备,未能弹出: OTHER (H:)");
    for (const auto& call : p.storage.ejectCalls) {
        EXPECT_TRUE(call.devInst == StickParent('G') || call.devInst == StickParent('H'));
    }

    // Another stick in H: while G: was ejected: not the drive that was meant.
    p.storage.ejectCalls.clear();
    p.storage.ejectAnswers.clear();
    p.storage.onEject = [this](std::uint32_t) { p.fileSystem.drives['H'].serialNumber = 0x7777; };
    EXPECT_EQ(run("/eject /all"), kExitDone);
    EXPECT_EQ(out(), (Lines{"KINGSTON(G:) 已安全弹出", "已安全弹出 1 个设备"}));
    EXPECT_EQ(p.storage.ejectCalls.size(), 1u);
}

TEST_F(Cli, WhoLocksNamesTheHoldersAndEjectsNothing) {
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    p.blockers.answer = {{4312, "WINWORD.EXE"}};
    EXPECT_EQ(run("/who-locks g:"), kExitDone);
    EXPECT_EQ(out(), Lines{"WINWORD.EXE (4312)"});
    ASSERT_EQ(p.blockers.queries.size(), 1u);
    EXPECT_EQ(p.blockers.queries[0].letter, 'G');
    EXPECT_EQ(p.blockers.queries[0].volumeDevice, "\\Device\\HarddiskVolume6");
    EXPECT_TRUE(p.storage.ejectCalls.empty());
    p.blockers.answer.clear();
    EXPECT_EQ(run("/who-locks G:"), kExitDone);
    EXPECT_EQ(out(), Lines{"没有找到占用它的程序: G:"});
    EXPECT_EQ(run("/who-locks K:"), kExitNoDrive);
}

TEST_F(Cli, ImmunisationPrintsWhatTheNoticeWouldSayAndLogsTheSame) {
    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    AddEjectableStick(p, 'I', "", 0, kBusTypeSd, false);

    EXPECT_EQ(run("/immunise G:"), kExitDone);
    EXPECT_EQ(out(), Lines{"已免疫 (G:\\) 可有效防止autorun病毒向该设备写入"});
    EXPECT_EQ(logTexts(), Lines{"免疫 G:\\ 成功"});
    EXPECT_TRUE(p.fileSystem.folderExists("G:\\autorun.inf"));
    EXPECT_EQ(run("/immunise G:"), kExitDone);
    EXPECT_EQ(out(), Lines{"已经免疫: G:\\"});
    EXPECT_TRUE(logTexts().empty());

    EXPECT_EQ(run("/unimmunise g"), kExitDone);
    EXPECT_EQ(out(), Lines{"已删除 (G:\\) 中的免疫文件夹"});
    EXPECT_EQ(logTexts(), Lines{"删除 G:\\ 中的免疫文件夹成功"});
    EXPECT_EQ(run("/unimmunise G:"), kExitDone);
    EXPECT_EQ(out(), Lines{"没有免疫文件夹: G:\\"});

    // A write-protected stick: the failure, on the error stream.
    p.fileSystem.failCreateFolder.always = true;
    EXPECT_EQ(run("/immunise G:"), kExitFailed);
    EXPECT_EQ(err(), Lines{"免疫 (G:\\) 失败"});
    EXPECT_EQ(logTexts(), Lines{"免疫 G:\\ 失败"});
    EXPECT_EQ(run("/immunise I:"), kExitFailed);
    EXPECT_EQ(err(), Lines{"驱动器 (I:) 未准备就绪"});
    EXPECT_EQ(run("/immunise E:"), kExitNoDrive);
    EXPECT_EQ(err(), Lines{"光驱和网络驱动器不能免疫: E:"});
    EXPECT_EQ(run("/unimmunise Y:"), kExitNoDrive);
}

TEST_F(Cli, TheDoorCommandsTakeADiscDriveAndReportTheDrivesAnswer) {
    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    EXPECT_EQ(run("/cd-open E:"), kExitDone);
    EXPECT_EQ(out(), Lines{"已弹出光驱托盘: E:"});
    EXPECT_EQ(p.mci.commands.back(), "Set EDrive Door Open");
    EXPECT_EQ(run("/cd-close e"), kExitDone);
    EXPECT_EQ(p.mci.commands.back(), "Set EDrive Door Closed");
    p.mci.answer = 263;
    EXPECT_EQ(run("/cd-open E:"), kExitFailed);
    EXPECT_EQ(err(), Lines{"光驱托盘没有响应 (MCI 错误 263) E:"});
    const auto sent = p.mci.commands.size();
    EXPECT_EQ(run("/cd-open G:"), kExitNoDrive);
    EXPECT_EQ(err(), Lines{"不是光驱: G:"});
    EXPECT_EQ(p.mci.commands.size(), sent);
}

TEST_F(Cli, UsageGoesToOutputWhenAskedForAndWithTheProblemWhenNot) {
    EXPECT_EQ(run("/?"), kExitDone);
    EXPECT_EQ(out().front().rfind("用法: Quillmoor.exe", 0), 0u);
    EXPECT_TRUE(err().empty());
    for (const char* bad : {"/frobnicate", "/eject", "/eject G: H:", "/eject 1:", "/list all",
                            "/who-locks /all", "/immunise GG:"}) {
        EXPECT_EQ(run(bad), kExitUsage) << bad;
        EXPECT_TRUE(out().empty()) << bad;
        ASSERT_GE(err().size(), 2u) << bad;
        EXPECT_EQ(err()[1].rfind("用法: ", 0), 0u) << bad;
    }
    EXPECT_EQ(run("/frobnicate"), kExitUsage);
    EXPECT_EQ(err().front(), "未知的命令: /frobnicate");
    // Nowhere to print: the exit code still tells.
    console.nowhere = true;
    EXPECT_EQ(run("/eject Q:"), kExitNoDrive);
}

}  // namespace
}  // namespace qm
