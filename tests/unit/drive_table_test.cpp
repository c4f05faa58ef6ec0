// The drive table refresh as the tray program runs it: arrivals, removals,
// the snapshot, planted autorun.inf files and the immunisation policy.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/tray_app.h"
#include "drives/drive_identification.h"
#include "fakes/fake_storage.h"
#include "fakes/fake_tray.h"
#include "recording_notices.h"
#include "settings/ini.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

class Refresh : public ::testing::Test {
  protected:
    FakePlatform p;
    NullHost host;
    RecordingPopups popups;
    const std::string dir = "C:\\Quillmoor";
    std::unique_ptr<FakeTrayProgram> app;

    void SetUp() override {
        p.fileSystem.addFolder(dir);
        p.fileSystem.addFolder("c:\\windows\\system32");
        fixed('C', "SYSTEM", 0x1111);
        app = std::make_unique<FakeTrayProgram>(p, host, popups, p.menus, dir, "1.0.1");
        // A late answer reaches the program as a posted message: at a pump.
        p.probe.onLate = [this](std::uint32_t message, char letter) {
            p.eventLoop.post([this, message, letter] {
                app->windowProc(message, static_cast<std::uintptr_t>(letter), 0);
            });
        };
    }
    DriveEntry entryOf(char letter) const {
        for (const DriveEntry& e : app->driveTable().entries()) {
            if (e.letter() == letter) return e;
        }
        return DriveEntry{};
    }
    long askedOf(char letter) const {
        return std::count(p.probe.asked.begin(), p.probe.asked.end(), letter);
    }
    void descriptor(char letter, std::uint32_t bus, const char* vendor = "Kingston",
                    const char* product = "DataTraveler", const char* revision = "1.00") {
        DescriptorFields f;
        f.busType = bus;
        f.vendorId = vendor;
        f.productId = product;
        f.productRevision = revision;
        p.storage.volume(letter).descriptor = BuildStorageDescriptor(f);
    }
    void fixed(char letter, const std::string& label, std::uint32_t serial) {
        auto& d = p.fileSystem.addDrive(letter, kDriveKindFixed, true);
        d.volumeName = label;
        d.serialNumber = static_cast<std::int32_t>(serial);
        descriptor(letter, 3, "ATA", "Disk", "1");
    }
    DriveProperties& stick(char letter, const std::string& label, std::uint32_t serial) {
        auto& d = p.fileSystem.addDrive(letter, kDriveKindRemovable, true);
        d.volumeName = label;
        d.serialNumber = static_cast<std::int32_t>(serial);
        descriptor(letter, 7);
        // Sticks in these tests already carry their protective folder unless
        // a test says otherwise, so no question gets in the way.
        p.fileSystem.addFolder(std::string(1, letter) + ":\\autorun.inf");
        return d;
    }
    void cdrom(char letter, bool withDisc, const std::string& label = "",
               std::uint32_t serial = 0) {
        auto& d = p.fileSystem.addDrive(letter, kDriveKindCdRom, withDisc);
        d.volumeName = label;
        if (withDisc) d.serialNumber = static_cast<std::int32_t>(serial);
        descriptor(letter, 2, "HL-DT-ST", "DVDRAM", "1.0");
    }
    void pull(char letter) {
        p.fileSystem.drives.erase(letter);
        p.storage.devices.erase(FakeStorage::volumePath(letter));
    }
    void deviceChange() { app->windowProc(kWmDeviceChange, 0, 0); }
    std::vector<std::string> logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    std::vector<std::string> notices() {
        std::vector<std::string> out;
        for (const auto& n : popups.shown) out.push_back(n.content);
        return out;
    }
    void started() {
        // C: gets its question once at start-up; answered for good here.
        WriteIniString(p.profile, dir + "\\Disk.ini", "4369", "Remember", "1");
        ASSERT_TRUE(app->startup());
        popups.shown.clear();
        p.fileSystem.appends.clear();
    }
};

TEST_F(Refresh, DrivesPresentAtStartAreNotAnnouncedButLaterOnesAre) {
    stick('E', "OLD", 0x2222);
    started();
    EXPECT_TRUE(notices().empty());
    stick('G', "KINGSTON", 0x3333);
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"KINGSTON (G:) 已连接"});
    EXPECT_EQ(logTexts(), std::vector<std::string>{"KINGSTON (G:) 已连接"});
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::OK);
    EXPECT_EQ(popups.shown[0].disk, "tip");
    deviceChange();  // nothing new: silent
    EXPECT_EQ(notices().size(), 1u);

    pull('G');
    deviceChange();
    EXPECT_EQ(notices().back(), "KINGSTON (G:) 已被断开连接");
    EXPECT_EQ(popups.shown.back().picture, NoticePicture::Warning);
    EXPECT_EQ(logTexts().back(), "KINGSTON (G:) 已被断开连接");
}

TEST_F(Refresh, AStickEjectedByTheCommandLineIsNotAnnouncedAsPulledOut) {
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    stick('I', "THIRD", 0x3335);
    started();
    const auto told = [this](char letter, CommandEjectStep step) {
        EXPECT_EQ(app->windowProc(kDriveEjectedByCommandMsg, static_cast<std::uintptr_t>(letter),
                                  static_cast<std::intptr_t>(step)),
                  std::optional<std::intptr_t>(0));
    };
    // Ejected: its removal is silent, whether the command's last word comes
    // before or after the device change.
    told('G', CommandEjectStep::Leaving);
    pull('G');
    deviceChange();
    told('G', CommandEjectStep::Removed);
    EXPECT_TRUE(notices().empty());
    EXPECT_TRUE(logTexts().empty());
    // Refused: pulled out by hand afterwards, it is reported as ever.
    told('H', CommandEjectStep::Leaving);
    told('H', CommandEjectStep::Stayed);
    pull('H');
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"OTHER (H:) 已被断开连接"});
    // A command ended before its last word hides one removal, not every later one.
    told('I', CommandEjectStep::Leaving);
    pull('I');
    deviceChange();
    stick('I', "THIRD", 0x3335);
    deviceChange();
    pull('I');
    deviceChange();
    EXPECT_EQ(notices(), (std::vector<std::string>{"OTHER (H:) 已被断开连接", "THIRD (I:) 已连接",
                                                   "THIRD (I:) 已被断开连接"}));
    // Words that name no drive or no step change nothing.
    app->windowProc(kDriveEjectedByCommandMsg, 0, 0);
    app->windowProc(kDriveEjectedByCommandMsg, 'G', 7);
    EXPECT_EQ(notices().size(), 3u);
}

TEST_F(Refresh, OnAMachineWithDriveCAloneTheFirstStickIsAnnouncedAndMissed) {
    started();
    stick('D', "ONLY", 0x4444);
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"ONLY (D:) 已连接"});
    pull('D');
    deviceChange();
    EXPECT_EQ(notices().back(), "ONLY (D:) 已被断开连接");
}

TEST_F(Refresh, ARenamedOrReformattedStickStaysKnown) {
    auto& d = stick('G', "KINGSTON", 0x3333);
    started();
    d.volumeName = "RENAMED";
    deviceChange();
    d.serialNumber = 0x5555;  // reformatted under the new name
    deviceChange();
    EXPECT_TRUE(notices().empty());
}

TEST_F(Refresh, DiscsComeAndGoWithoutEverBeingReportedAsPulled) {
    cdrom('E', false);
    started();
    auto& e = p.fileSystem.drives['E'];
    e.isReady = true;
    e.volumeName = "MOVIE";
    e.serialNumber = 0x7777;
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"MOVIE (E:) 已连接"});
    e.isReady = false;
    deviceChange();
    EXPECT_EQ(notices().back(), "HL-DT-ST DVDRAM 1.0 (E:) 中没有介质");
    pull('E');
    deviceChange();
    EXPECT_EQ(notices().size(), 2u);
}

TEST_F(Refresh, EmptyCardSlotsComeAndGoUnannouncedButTheirCardsDoNot) {
    p.fileSystem.addDrive('H', kDriveKindRemovable, false);
    descriptor('H', 7, "Generic", "Card Reader", "");
    started();
    p.fileSystem.addDrive('I', kDriveKindRemovable, false);
    descriptor('I', 12, "Generic", "SD Reader", "");
    deviceChange();
    pull('H');
    deviceChange();
    EXPECT_TRUE(notices().empty());
    // A card goes in: it is news, and so is its leaving.
    auto& card = p.fileSystem.drives['I'];
    card.isReady = true;
    card.volumeName = "CAMERA";
    card.serialNumber = 0x777;
    p.fileSystem.addFolder("I:\\autorun.inf");  // no question in the way
    deviceChange();
    card.isReady = false;
    deviceChange();
    EXPECT_EQ(notices(), (std::vector<std::string>{"CAMERA (I:) 已连接", "CAMERA (I:) 已被断开连接"}));
    // The slot alone leaves without a word.
    pull('I');
    deviceChange();
    EXPECT_EQ(notices().size(), 2u);
    EXPECT_TRUE(std::none_of(popups.shown.begin(), popups.shown.end(),
                             [](const auto& n) { return n.kind == kNoticeQuestion; }));
}

TEST_F(Refresh, ALabelFallsBackToTheDescription) {
    started();
    stick('H', "  ", 0x9999);
    descriptor('H', 7, " Generic ", "Flash Disk", "8.07");
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"Generic Flash Disk 8.07 (H:) 已连接"});
}

TEST_F(Refresh, AnEjectKeepsItsDriveFromBeingReportedOnce) {
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    stick('I', "THIRD", 0x3335);
    started();
    pull('G');
    app->setSkipRemovalCheck(*app->driveTable().find('G', "13107"));
    pull('I');  // only G was meant to go
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"THIRD (I:) 已被断开连接"});
    popups.shown.clear();
    pull('H');
    deviceChange();  // the flag was used up by the refresh before
    EXPECT_EQ(notices(), std::vector<std::string>{"OTHER (H:) 已被断开连接"});
}

TEST_F(Refresh, ARefusedEjectLeavesTheRemovalOfEveryDriveReported) {
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    started();
    // G cannot even be found as a device: the eject fails.
    app->runCommand(menuid::kSafeEject + 1);
    ASSERT_EQ(notices(), std::vector<std::string>{"弹出 KINGSTON(G:) 失败,请关闭此设备中已打开的文件"});
    // G stayed, so pulling it by hand is reported, and so is any other drive.
    pull('G');
    pull('H');
    deviceChange();
    EXPECT_EQ(notices(), (std::vector<std::string>{"弹出 KINGSTON(G:) 失败,请关闭此设备中已打开的文件",
                                                   "KINGSTON (G:) 已被断开连接",
                                                   "OTHER (H:) 已被断开连接"}));
}

TEST_F(Refresh, ARefusedEjectWithHoldersOpensTheirWindowWhichFollowsItsDrive) {
    struct Windows final : BlockerWindows {
        std::vector<HeldDrive> shown;
        std::vector<bool> kept;  // whether the window's drive was still there, per refresh
        int closedAll = 0;
        std::function<void()> onShow;
        void showHolders(const HeldDrive& drive) override {
            shown.push_back(drive);
            if (onShow) onShow();
        }
        void keepDrives(const std::function<bool(char, const std::string&)>& present) override {
            if (!shown.empty()) kept.push_back(present(shown[0].letter, shown[0].serial));
        }
        void closeAll() override { ++closedAll; }
    } windows;
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    started();
    app->setBlockerWindows(&windows);
    p.blockers.answer = {{77, "notepad.exe"}};

    // After the notice, as the notice always was.
    windows.onShow = [&] { EXPECT_EQ(notices().size(), 1u); };
    app->runCommand(menuid::kSafeEject + 1);
    ASSERT_EQ(windows.shown.size(), 1u);
    const HeldDrive held = windows.shown[0];
    EXPECT_EQ(held.letter, 'G');
    EXPECT_EQ(held.serial, entryOf('G').Serial);
    EXPECT_EQ(held.label, "KINGSTON");
    EXPECT_EQ(held.root, "G:\\");
    EXPECT_EQ(held.query.letter, 'G');
    EXPECT_EQ(held.holders, p.blockers.answer);
    windows.onShow = nullptr;

    // The window's retry is the menu's eject of the same drive, by identity.
    EXPECT_EQ(app->ejectAgain('G', held.serial, false), EjectOutcome::Failed);
    EXPECT_EQ(windows.shown.size(), 2u);
    EXPECT_EQ(app->ejectAgain('G', "another stick", false), EjectOutcome::DriveGone);
    // Not inside another eject, nor inside a refresh.
    bool nested = false;
    windows.onShow = [&] {
        if (nested) return;
        nested = true;
        EXPECT_EQ(app->ejectAgain('G', held.serial, false), EjectOutcome::Busy);
    };
    app->runCommand(menuid::kSafeEject + 2);
    windows.onShow = nullptr;
    EXPECT_TRUE(nested);
    p.eventLoop.postAtPump(p.eventLoop.pumpCount + 1, [&] {
        EXPECT_TRUE(app->refreshBusy());
        EXPECT_EQ(app->ejectAgain('H', entryOf('H').Serial, false), EjectOutcome::Busy);
    });
    deviceChange();
    EXPECT_EQ(windows.shown.size(), 3u);
    EXPECT_EQ(p.storage.ejectCalls.size(), 0u);

    // Switched off in Setting.ini: the notice alone, read at each refusal.
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "ShowBlockers", "0");
    app->runCommand(menuid::kSafeEject + 1);
    EXPECT_EQ(windows.shown.size(), 3u);
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "ShowBlockers", "1");
    app->runCommand(menuid::kSafeEject + 1);
    EXPECT_EQ(windows.shown.size(), 4u);

    // Each refresh asks whether the drive is still there; pulled, it is not.
    windows.kept.clear();
    deviceChange();
    pull('G');
    deviceChange();
    EXPECT_EQ(windows.kept, (std::vector<bool>{true, false}));
    EXPECT_EQ(app->ejectAgain('G', held.serial, false), EjectOutcome::DriveGone);
    app->QuitApp();
    EXPECT_EQ(windows.closedAll, 1);
    EXPECT_EQ(app->ejectAgain('H', entryOf('H').Serial, true), EjectOutcome::DriveGone);
}

TEST_F(Refresh, ARefreshDuringAnEjectLeavesItsFlagAndOtherDriveCommandsAreRefused) {
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    started();
    // G is a USB disk whose parent device can be asked to go; it refuses
    // twice, so the eject waits twice with messages running.
    p.storage.volume('G').number = StorageDeviceNumber{7, 3, 1};
    p.storage.drives['G'] = {kDriveRemovable, "\\Device\\HarddiskVolume5"};
    p.storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1", 0x51, 3);
    p.storage.parents[0x51] = 0x40;
    const FakeStorage::EjectAnswer vetoed{0x17, 5, ""};
    p.storage.ejectAnswers = {vetoed, vetoed, {}};
    p.storage.onEject = [&](std::uint32_t) {
        if (p.storage.ejectCalls.size() == 3) pull('G');
    };
    bool meanwhile = false;
    p.eventLoop.onWait = [&](std::uint32_t) {
        if (meanwhile) return;
        meanwhile = true;
        deviceChange();         // someone else's device
        app->runCommand(4002);  // eject H
        app->runCommand(1002);  // browse H
    };
    app->runCommand(4001);
    p.eventLoop.onWait = nullptr;
    EXPECT_TRUE(meanwhile);
    EXPECT_EQ(p.storage.ejectCalls.size(), 3u);  // G's attempts only
    EXPECT_TRUE(p.processes.startCalls.empty());
    // The device change the eject brought about says nothing of G.
    deviceChange();
    EXPECT_EQ(notices(), std::vector<std::string>{"KINGSTON(G:) 已安全弹出"});
    // And the flag was used up there.
    pull('H');
    deviceChange();
    EXPECT_EQ(notices().back(), "OTHER (H:) 已被断开连接");
}

TEST_F(Refresh, ADriveThatNeverAnswersHoldsUpOneRefreshAtMostOnce) {
    stick('G', "KINGSTON", 0x3333);
    p.fileSystem.addDrive('N', kDriveKindNetwork, true).volumeName = "SHARE";
    started();
    const auto refreshTime = [&] {
        const std::uint32_t before = p.eventLoop.tick;
        app->windowProc(kTrayCallbackMsg, 1, kWmRButtonUp);
        return p.eventLoop.tick - before;
    };
    // The share goes offline; its question never comes back.
    p.probe.hung.insert('N');
    const auto askedBefore = std::count(p.probe.asked.begin(), p.probe.asked.end(), 'N');
    const std::uint32_t first = refreshTime();
    EXPECT_GE(first, kVolumeAnswerMs);
    EXPECT_LT(first, kVolumeAnswerMs + 100);
    EXPECT_FALSE(entryOf('N').IsReady);
    EXPECT_EQ(entryOf('N').DriveKind, kDriveKindNetwork);  // as it last said
    EXPECT_TRUE(entryOf('G').IsReady);
    // Later refreshes neither ask it again nor wait for it.
    EXPECT_EQ(refreshTime(), 0u);
    EXPECT_EQ(refreshTime(), 0u);
    EXPECT_EQ(std::count(p.probe.asked.begin(), p.probe.asked.end(), 'N'), askedBefore + 1);
    EXPECT_EQ(p.menus.tracked.size(), 3u);
    EXPECT_EQ(p.probe.lateWindow, app->window());
    // Back online: its late answer asks for a refresh, which uses it.
    p.probe.finish('N');
    p.eventLoop.pump();
    EXPECT_EQ(std::count(p.probe.asked.begin(), p.probe.asked.end(), 'N'), askedBefore + 1);
    EXPECT_TRUE(entryOf('N').IsReady);
    EXPECT_EQ(entryOf('N').Label, "SHARE");

    // A slow drive that answers within the bound is waited for and ready.
    p.probe.takesBeforeAnswer['N'] = 30;
    const std::uint32_t slow = refreshTime();
    EXPECT_GT(slow, 0u);
    EXPECT_LT(slow, kVolumeAnswerMs);
    EXPECT_TRUE(entryOf('N').IsReady);
}

TEST_F(Refresh, PlantedAutorunFilesAreDeletedEvenReadOnlyButFoldersStay) {
    started();
    stick('G', "KINGSTON", 0x3333);
    p.fileSystem.removeFolder("G:\\autorun.inf");
    p.fileSystem.addFile("G:\\autorun.inf", "[autorun]\r\nopen=virus.exe\r\n");
    p.fileSystem.setAttributes("G:\\autorun.inf", kAttributeReadOnly);
    deviceChange();
    EXPECT_FALSE(p.fileSystem.fileExists("G:\\autorun.inf"));
    const auto log = logTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "KINGSTON (G:) 已连接");
    EXPECT_EQ(log[1], "已清除 KINGSTON (G:) 中的autorun.inf文件");

    p.fileSystem.lockedPaths.clear();
    p.fileSystem.addFolder("G:\\autorun.inf");
    deviceChange();
    EXPECT_TRUE(p.fileSystem.folderExists("G:\\autorun.inf"));
}

TEST_F(Refresh, TheVolumePolicyAsksImmunisesOrStaysQuiet) {
    started();
    auto& g = stick('G', "KINGSTON", 0x80000001u);
    p.fileSystem.removeFolder("G:\\autorun.inf");
    deviceChange();
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].content, "是否免疫 KINGSTON (G:)");
    EXPECT_EQ(popups.shown[1].kind, kNoticeQuestion);
    EXPECT_EQ(popups.shown[1].disk, "G");
    EXPECT_EQ(popups.shown[1].picture, NoticePicture::Ask);
    EXPECT_EQ(logTexts(), std::vector<std::string>{"KINGSTON (G:) 已连接"});  // asking logs nothing

    // While that question is open no second one comes.
    deviceChange();
    EXPECT_EQ(popups.shown.size(), 2u);

    // Remembered "always": immunised silently at the next refresh.
    app->services.gate.ReleaseDriveKey("G");
    const std::string section = "-2147483647";
    WriteIniString(p.profile, dir + "\\Disk.ini", section, "Remember", "1");
    WriteIniString(p.profile, dir + "\\Disk.ini", section, "MakeDir", "1");
    deviceChange();
    EXPECT_TRUE(p.fileSystem.folderExists("G:\\autorun.inf"));
    EXPECT_EQ(logTexts().back(), "免疫 G:\\ 成功");
    EXPECT_EQ(popups.shown.back().content, "已免疫 (G:\\) 可有效防止autorun病毒向该设备写入");
    // Remembered "never": nothing at all, on another stick.
    const auto shownBefore = popups.shown.size();
    stick('H', "NEVER", 0x1234);
    p.fileSystem.removeFolder("H:\\autorun.inf");
    WriteIniString(p.profile, dir + "\\Disk.ini", "4660", "Remember", "1");
    WriteIniString(p.profile, dir + "\\Disk.ini", "4660", "MakeDir", "0");
    deviceChange();
    EXPECT_FALSE(p.fileSystem.folderExists("H:\\autorun.inf"));
    EXPECT_EQ(popups.shown.size(), shownBefore + 1);  // only its arrival
    (void)g;
}

TEST_F(Refresh, TheLocatorIsWrittenForReadyDrivesExceptDiscs) {
    cdrom('E', true, "DISC", 0x10);
    stick('G', "KINGSTON", 0x3333);
    started();
    EXPECT_TRUE(p.fileSystem.fileExists("G:\\autorun.inf\\Quillmoor.ini"));
    EXPECT_FALSE(p.fileSystem.fileExists("E:\\autorun.inf\\Quillmoor.ini"));
    EXPECT_EQ(ReadIniString(p.profile, "c:\\windows\\system32\\Quillmoor.ini", "Setting",
                            "InstallDir", ""),
              "C:\\Quillmoor\\");
}

TEST_F(Refresh, TheTableIndexCountsEveryDriveAndUnreadableDescriptorsGetNoBus) {
    fixed('D', "DATA", 0x2);
    stick('G', "KINGSTON", 0x3333);
    p.storage.volume('D').opens = false;
    started();
    const auto& t = app->driveTable().entries();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[2].Root, "G:\\");
    EXPECT_TRUE(t[2].menuBus);
    EXPECT_EQ(t[1].BusWord, "未知");
    EXPECT_FALSE(t[1].menuBus);
    EXPECT_FALSE(t[1].listBus);
    EXPECT_EQ(t[1].Serial, "2");
    EXPECT_EQ(t[0].BusWord, "ATA");
    EXPECT_TRUE(t[0].listBus);
}

TEST_F(Refresh, TheCdTrayOpensAndClosesThroughItsAliasAndIsNotReportedPulled) {
    cdrom('D', true, "DISC", 0x10);
    started();
    app->windowProc(kWmCommand, 2001, 0);
    p.fileSystem.drives['D'].isReady = false;  // the disc went out with the tray
    deviceChange();
    app->windowProc(kWmCommand, 3001, 0);
    EXPECT_EQ(p.mci.commands,
              (std::vector<std::string>{
                  "Open D: Alias DDrive Type CDAudio wait shareable", "Set DDrive Door Open",
                  "Open D: Alias DDrive Type CDAudio wait shareable", "Set DDrive Door Closed"}));
    EXPECT_EQ(notices(), std::vector<std::string>{"HL-DT-ST DVDRAM 1.0 (D:) 中没有介质"});
}

TEST_F(Refresh, ADriveCommandSurvivesARefreshThatEmptiesTheTableUnderIt) {
    cdrom('E', true, "DISC", 0x10);
    started();
    // The command pumps before it acts; in there the drive goes and a
    // device change rebuilds the table the command was taken from.
    bool pulled = false;
    p.eventLoop.onPump = [&] {
        if (pulled || app->refreshBusy()) return;
        pulled = true;
        pull('E');
        deviceChange();
    };
    app->windowProc(kWmCommand, 2001, 0);
    EXPECT_TRUE(pulled);
    EXPECT_TRUE(app->driveTable().entries().size() == 1u);
    ASSERT_EQ(p.mci.commands.size(), 2u);
    EXPECT_EQ(p.mci.commands[1], "Set EDrive Door Open");
}

TEST_F(Refresh, BrowseOpensAFolderWindowOnTheDriveAndStaleIdsDoNothing) {
    fixed('D', "DATA", 0x2);
    stick('G', "KINGSTON", 0x3333);
    started();
    app->windowProc(kWmCommand, 1002, 0);
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    // By its full path: a bare name is looked up in the working folder first.
    EXPECT_EQ(p.processes.startCalls[0].commandLine, "\"C:\\Windows\\explorer.exe\" G:\\");
    EXPECT_EQ(p.processes.startCalls[0].showState, 1);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);

    pull('G');
    deviceChange();
    for (std::uintptr_t id : {1002u, 4002u, 5002u, 6002u, 7002u, 1999u, 65535u}) {
        app->windowProc(kWmCommand, id, 0);
    }
    EXPECT_EQ(p.processes.startCalls.size(), 1u);
}

std::vector<std::string> driveEntries(const FakeMenuPort& menus);

TEST_F(Refresh, AStickThatArrivesDuringARefreshIsAnnouncedCleanedAndListedRightAfter) {
    started();
    bool plugged = false;
    p.eventLoop.onPump = [&] {
        if (plugged || !app->refreshBusy() || app->handlerInstalled()) return;
        plugged = true;
        stick('G', "KINGSTON", 0x3333);
        p.fileSystem.removeFolder("G:\\autorun.inf");
        p.fileSystem.addFile("G:\\autorun.inf", "[autorun]\r\nopen=virus.exe\r\n");
        deviceChange();
    };
    app->runCommand(menuid::kReload);
    EXPECT_TRUE(plugged);
    EXPECT_EQ(notices().at(0), "KINGSTON (G:) 已连接");
    EXPECT_FALSE(p.fileSystem.fileExists("G:\\autorun.inf"));
    EXPECT_EQ(driveEntries(p.menus), std::vector<std::string>{"KINGSTON (G:)"});
}

TEST_F(Refresh, AMenuPickActsOnTheDriveItsEntryShowedWhateverTheTableDidMeanwhile) {
    stick('G', "KINGSTON", 0x3333);
    started();
    const auto pickWhileADriveArrives = [this](std::uint32_t id, const std::function<void()>& meanwhile) {
        p.menus.pick = id;
        p.menus.whileOpen = [this, meanwhile] {
            meanwhile();
            deviceChange();  // the menu's own loop delivers it
        };
        p.menus.posted.clear();
        app->windowProc(kTrayCallbackMsg, 1, kWmLButtonUp);
        ASSERT_EQ(p.menus.posted, std::vector<std::uint32_t>{id});
        app->windowProc(kWmCommand, id, 0);
    };
    // G had index 1 when the menu showed; E arrives and takes index 1.
    pickWhileADriveArrives(menuid::kBrowse + 1, [this] { stick('E', "SANDISK", 0x4444); });
    ASSERT_EQ(app->driveTable().entries().at(1).letter(), 'E');
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].commandLine, "\"C:\\Windows\\explorer.exe\" G:\\");
    // Picked for G, which is pulled while the menu is open: nothing runs,
    // least of all on the drive that has G's index now.
    pickWhileADriveArrives(menuid::kBrowse + 2, [this] { pull('G'); });
    EXPECT_EQ(p.processes.startCalls.size(), 1u);
    // A command nobody picked from a menu names the drive by its index.
    app->windowProc(kWmCommand, menuid::kBrowse + 1, 0);
    ASSERT_EQ(p.processes.startCalls.size(), 2u);
    EXPECT_EQ(p.processes.startCalls[1].commandLine, "\"C:\\Windows\\explorer.exe\" E:\\");
}

// Captions of the drive popup's entries after "选项(&S)" and its separator.
std::vector<std::string> driveEntries(const FakeMenuPort& menus) {
    std::vector<std::string> out;
    const MenuItem* popup = menus.attachedPopup();
    if (popup == nullptr) return out;
    const auto& items = popup->children;
    // After the options, their separator and "eject all".
    for (std::size_t i = 3; i < items.size(); ++i) out.push_back(items[i].caption);
    return out;
}

TEST_F(Refresh, TheMenuSwitchesAreAskedForOnlyWhenTheMenuShowsOrTheyChange) {
    started();
    const int queries = p.services.countCalls("query");
    deviceChange();
    deviceChange();
    EXPECT_EQ(p.services.countCalls("query"), queries);
    const auto autoStartItem = [this]() -> MenuItem {
        const MenuItem* popup = p.menus.attachedPopup();
        if (popup == nullptr) return {};
        for (const MenuItem& m : popup->children.at(0).children) {
            if (m.caption == Text(TrayText::MenuAutoStart)) return m;
        }
        return {};
    };
    // Switched off behind the program's back: the menu shows it.
    p.registry.putString(RegRoot::CurrentUser, kRunKey, kRunValueName, "   ");
    app->windowProc(kTrayCallbackMsg, 1, kWmRButtonUp);
    EXPECT_GT(p.services.countCalls("query"), queries);
    EXPECT_EQ(autoStartItem().id, menuid::kEnableAutoStart);
    EXPECT_FALSE(autoStartItem().checked);
    // Switched on from the menu: the next menu shows it on.
    app->runCommand(menuid::kEnableAutoStart);
    app->windowProc(kTrayCallbackMsg, 1, kWmRButtonUp);
    EXPECT_EQ(autoStartItem().id, menuid::kDisableAutoStart);
    EXPECT_TRUE(autoStartItem().checked);
}

TEST_F(Refresh, RemovableMediaAndDiscDrivesOnAnyBusGetMenuEntriesAndDisksNone) {
    started();
    EXPECT_EQ(driveEntries(p.menus), std::vector<std::string>{"没有可移动设备"});
    fixed('D', "DATA", 0x2);  // ATA
    fixed('F', "FAST", 0x6);
    descriptor('F', kBusTypeNvme);
    stick('G', "KINGSTON", 0x3333);
    cdrom('E', false);
    p.fileSystem.addDrive('H', kDriveKindRemovable, true).volumeName = "SCSI";
    descriptor('H', 1);
    stick('I', "CAMERA", 0x4444);
    descriptor('I', kBusTypeSd);
    stick('J', "PHONE", 0x4445);
    descriptor('J', kBusTypeMmc);
    cdrom('K', true, "DISC", 0x5);
    descriptor('K', kBusTypeSata);  // a SATA disc drive
    deviceChange();
    EXPECT_EQ(driveEntries(p.menus),
              (std::vector<std::string>{"HL-DT-ST DVDRAM 1.0 (E:)", "KINGSTON (G:)", "CAMERA (I:)",
                                        "PHONE (J:)", "DISC (K:)"}));
    const MenuItem* popup = p.menus.attachedPopup();
    ASSERT_NE(popup, nullptr);
    // The SD card can be ejected; the SATA disc drive opens its door.
    EXPECT_EQ(popup->children.at(5).children.at(2).id, menuid::kSafeEject + 6);
    EXPECT_EQ(popup->children.at(7).children.at(2).id, menuid::kOpenCdTray + 8);
}

TEST_F(Refresh, ADriveWhoseQuestionIsOpenIsNotTouchedAndKeepsWhatWasKnown) {
    stick('G', "KINGSTON", 0x3333);
    stick('H', "OTHER", 0x3334);
    started();
    // G hangs, with a planted autorun.inf and no protective folder now.
    p.probe.hung.insert('G');
    p.fileSystem.removeFolder("G:\\autorun.inf");
    p.fileSystem.addFile("G:\\autorun.inf", "[autorun]\r\nopen=virus.exe\r\n");
    p.storage.opens.clear();
    p.fileSystem.checkedPaths.clear();
    const long asked = askedOf('G');
    app->windowProc(kTrayCallbackMsg, 1, kWmRButtonUp);
    deviceChange();  // its question still open: not asked again
    for (const auto& open : p.storage.opens) EXPECT_NE(open.path, "\\\\.\\G:");
    for (const auto& path : p.fileSystem.checkedPaths) EXPECT_NE(path[0], 'G') << path;
    EXPECT_EQ(askedOf('G'), asked + 1);
    // Neither gone nor asked about; its menu entry stays as it was known.
    EXPECT_TRUE(notices().empty());
    EXPECT_FALSE(entryOf('G').IsReady);
    EXPECT_EQ(entryOf('G').DriveKind, kDriveKindRemovable);
    EXPECT_EQ(driveEntries(p.menus), (std::vector<std::string>{"KINGSTON (G:)", "OTHER (H:)"}));
    EXPECT_TRUE(p.menus.attachedPopup()->children.at(3).children.at(4).checked);
    EXPECT_TRUE(p.fileSystem.fileExists("G:\\autorun.inf"));

    // Answered at last: cleared and asked about like any other drive.
    p.probe.finish('G');
    p.eventLoop.pump();
    EXPECT_FALSE(p.fileSystem.fileExists("G:\\autorun.inf"));
    EXPECT_EQ(notices(), (std::vector<std::string>{"已清除 KINGSTON (G:) 中的autorun.inf文件",
                                                   "是否免疫 KINGSTON (G:)"}));
    // Pulled while its next question hangs: reported gone, its name forgotten.
    p.probe.hung.insert('G');
    deviceChange();
    pull('G');
    deviceChange();
    EXPECT_EQ(notices().back(), "KINGSTON (G:) 已被断开连接");
    EXPECT_EQ(entryOf('G').Root, "");
}

TEST_F(Refresh, ADriveSlowerThanTheBoundIsSeenReadyThroughItsLateAnswer) {
    // Every question to G takes longer than a refresh waits.
    stick('G', "KINGSTON", 0x3333);
    p.probe.takesBeforeAnswer['G'] = 150;
    started();
    EXPECT_FALSE(entryOf('G').IsReady);
    EXPECT_EQ(driveEntries(p.menus), std::vector<std::string>{"没有可移动设备"});
    // Its late answer asks for a refresh that takes it instead of asking again.
    p.probe.finish('G');
    p.eventLoop.pump();
    EXPECT_EQ(askedOf('G'), 1);
    EXPECT_TRUE(entryOf('G').IsReady);
    EXPECT_EQ(driveEntries(p.menus), std::vector<std::string>{"KINGSTON (G:)"});
    // It was there at start-up: no arrival.
    EXPECT_TRUE(notices().empty());

    // As slow sticks plugged later are announced once they have answered.
    const auto plugSlow = [&](char letter, const char* label) {
        stick(letter, label, 0x4400 + letter);
        p.probe.takesBeforeAnswer[letter] = 150;
        deviceChange();
    };
    // The drive answers in the pump where `when` first holds during a refresh.
    const auto answerDuringRefresh = [&](char letter, const std::function<bool()>& when) {
        bool answered = false;
        p.eventLoop.onPump = [&] {
            if (answered || !app->refreshBusy() || !when()) return;
            answered = true;
            p.probe.finish(letter);
        };
        deviceChange();
        p.eventLoop.onPump = nullptr;
        EXPECT_TRUE(answered);
        EXPECT_FALSE(app->refreshBusy());
    };
    // An answer that comes while another refresh examines the drives is
    // remembered, and that refresh runs once more.
    plugSlow('J', "TOSHIBA");
    EXPECT_TRUE(notices().empty());
    answerDuringRefresh('J', [&] { return app->driveTable().entries().size() == 1; });
    EXPECT_EQ(askedOf('J'), 1);
    EXPECT_TRUE(entryOf('J').IsReady);
    // One that comes just before the refresh under way asks its drives is
    // taken there, even though its message is handled only afterwards: no
    // refresh follows that would ask the drive afresh.
    plugSlow('K', "SANDISK");
    p.probe.onLate = [this](std::uint32_t message, char letter) {
        p.eventLoop.postAtPump(p.eventLoop.pumpCount + 1, [this, message, letter] {
            app->windowProc(message, static_cast<std::uintptr_t>(letter), 0);
        });
    };
    answerDuringRefresh('K', [&] { return app->driveTable().entries().size() == 4; });
    EXPECT_EQ(askedOf('K'), 1);
    EXPECT_TRUE(entryOf('K').IsReady);
    EXPECT_EQ(notices(), (std::vector<std::string>{"TOSHIBA (J:) 已连接", "SANDISK (K:) 已连接"}));
}

TEST_F(Refresh, TwoSlowDrivesDoNotAskForEachOthersRefreshForever) {
    started();
    stick('J', "TOSHIBA", 0x4444);
    stick('K', "SANDISK", 0x5555);
    p.probe.takesBeforeAnswer['J'] = p.probe.takesBeforeAnswer['K'] = 150;
    deviceChange();
    const std::size_t asked = p.probe.asked.size();
    // Each late answer's refresh takes it and asks nobody afresh: the other
    // drive's answer stands, or its question stays open.
    p.probe.finish('J');
    p.eventLoop.pump();
    EXPECT_TRUE(entryOf('J').IsReady);
    EXPECT_FALSE(entryOf('K').IsReady);
    p.probe.finish('K');
    p.eventLoop.pump();
    EXPECT_TRUE(entryOf('J').IsReady);
    EXPECT_TRUE(entryOf('K').IsReady);
    EXPECT_EQ(p.probe.asked.size(), asked);
    EXPECT_EQ(p.eventLoop.pendingCount(), 0u);
    EXPECT_EQ(notices(), (std::vector<std::string>{"TOSHIBA (J:) 已连接", "SANDISK (K:) 已连接"}));
    // A refresh of any other cause asks every drive again.
    p.probe.takesBeforeAnswer.clear();
    deviceChange();
    EXPECT_EQ(std::string(p.probe.asked.begin() + asked, p.probe.asked.end()), "CJK");
}

TEST_F(Refresh, ATrayClickRefreshesThenShowsTheMenuAndSurvivesARefreshWhileOpen) {
    started();
    stick('G', "KINGSTON", 0x3333);
    p.menus.whileOpen = [this] { deviceChange(); };  // a device change while the menu is up
    EXPECT_EQ(app->windowProc(kTrayCallbackMsg, 1, kWmLButtonUp), std::optional<std::intptr_t>(0));
    ASSERT_EQ(p.menus.tracked.size(), 1u);
    EXPECT_EQ(p.menus.tracked[0].flags, 0u);
    // The refresh before the menu already knew the stick.
    EXPECT_EQ(notices(), std::vector<std::string>{"KINGSTON (G:) 已连接"});
    EXPECT_EQ(driveEntries(p.menus), std::vector<std::string>{"KINGSTON (G:)"});
    // Pressing the button or moving over the icon shows nothing.
    app->windowProc(kTrayCallbackMsg, 1, 0x201);
    app->windowProc(kTrayCallbackMsg, 1, 0x200);
    EXPECT_EQ(p.menus.tracked.size(), 1u);
}

// The settings window as the refresh sees it: opening asks for a refresh,
// as the real window's load does.
struct RecordingSettingsList final : SettingsWindowList {
    TrayApp* app = nullptr;
    bool open = false;
    int shows = 0;
    std::vector<std::string> calls;
    void ShowSettingsWindow() override {
        ++shows;
        if (open) return;
        open = true;
        calls.push_back("load");
        app->requestListRefresh();
    }
    bool IsSettingsWindowOpen() override { return open; }
    void aClearAll() override { calls.push_back("clear"); }
    void AddItem(const std::string& root, const std::string& caption,
                 const std::string& serial) override {
        calls.push_back(root + "|" + caption + "|" + serial);
    }
};

TEST_F(Refresh, TheSettingsWindowListsReadyDisksAndMediaAtEveryRefresh) {
    RecordingSettingsList list;
    list.app = app.get();
    app->setSettingsWindowList(&list);
    started();
    EXPECT_TRUE(list.calls.empty());  // closed: nothing is listed
    stick('G', "KINGSTON", 0xFFFFFFF0);
    cdrom('E', true, "DISC", 0x5);
    p.fileSystem.addDrive('H', kDriveKindRemovable, false);  // empty card slot
    descriptor('H', 7);
    p.fileSystem.addDrive('I', kDriveKindRemovable, true).volumeName = "SCSI";
    descriptor('I', 1);
    stick('J', "CAMERA", 0x4444);
    descriptor('J', kBusTypeSd);
    fixed('K', "FAST", 0x6);
    descriptor('K', kBusTypeNvme);
    fixed('L', "BULK", 0x7);
    descriptor('L', kBusTypeSata);
    fixed('M', "POOL", 0x8);
    descriptor('M', 16);  // a storage space is no disk of its own
    app->runCommand(602);
    app->runCommand(602);  // one window
    EXPECT_EQ(list.shows, 2);
    const std::vector<std::string> filled{
        "load",          "clear", "C:\\|SYSTEM (C:)|4369", "G:\\|KINGSTON (G:)|-16",
        "J:\\|CAMERA (J:)|17476", "K:\\|FAST (K:)|6", "L:\\|BULK (L:)|7"};
    EXPECT_EQ(list.calls, filled);
    list.calls.clear();
    deviceChange();
    EXPECT_EQ(list.calls, std::vector<std::string>(filled.begin() + 1, filled.end()));
}

TEST_F(Refresh, AWindowOpenedDuringARefreshIsFilledRightAfterIt) {
    RecordingSettingsList list;
    list.app = app.get();
    app->setSettingsWindowList(&list);
    started();
    stick('G', "KINGSTON", 0x10);
    stick('J', "TOSHIBA", 0x20);
    // The window opens in the middle of a device-change refresh, after C:.
    int pumps = 0;
    p.eventLoop.onPump = [&] {
        if (++pumps == 3) app->runCommand(602);
    };
    deviceChange();
    p.eventLoop.onPump = nullptr;
    // Whatever the first refresh handed over, the list ends up cleared and
    // filled once, in drive order.
    const auto lastClear = std::find(list.calls.rbegin(), list.calls.rend(), "clear");
    ASSERT_NE(lastClear, list.calls.rend());
    EXPECT_EQ(std::vector<std::string>(lastClear.base(), list.calls.end()),
              (std::vector<std::string>{"C:\\|SYSTEM (C:)|4369", "G:\\|KINGSTON (G:)|16",
                                        "J:\\|TOSHIBA (J:)|32"}));
    EXPECT_FALSE(app->refreshBusy());
    // No refresh is left owed.
    list.calls.clear();
    app->runCommand(602);
    EXPECT_TRUE(list.calls.empty());
}

}  // namespace
}  // namespace qm
