// "Eject all" in the tray program: the drives it takes, the one notice it
// shows, what a refresh in the middle of it can and cannot change, and the
// hotkey that runs it.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/hotkey.h"
#include "core/tray_app.h"
#include "drives/eject_all.h"
#include "fakes/fake_tray.h"
#include "fakes/stick_machine.h"
#include "recording_notices.h"
#include "settings/ini.h"

namespace qm {
namespace {

using Lines = std::vector<std::string>;

constexpr std::uint32_t kRemoveVetoed = 0x17;

class EjectAll : public ::testing::Test {
  protected:
    FakePlatform p;
    NullHost host;
    RecordingPopups popups;
    const std::string dir = "C:\\Quillmoor";
    std::unique_ptr<FakeTrayProgram> app;

    void SetUp() override {
        p.fileSystem.addFolder(dir);
        p.fileSystem.addFolder("c:\\windows\\system32");
        AddFixedDisk(p, 'C', "SYSTEM", 0x1111);
        // Every volume answered for good: no question at an arrival.
        for (const char* serial : {"4369", "13107", "13108", "13109", "30583"}) {
            WriteIniString(p.profile, dir + "\\Disk.ini", serial, "Remember", "1");
        }
        app = std::make_unique<FakeTrayProgram>(p, host, popups, p.menus, dir, "1.0.1");
    }
    void started() {
        ASSERT_TRUE(app->startup());
        popups.shown.clear();
        p.fileSystem.appends.clear();
    }
    Lines notices() const {
        Lines out;
        for (const auto& n : popups.shown) out.push_back(n.content);
        return out;
    }
    Lines logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    std::vector<std::uint32_t> ejected() const {
        std::vector<std::uint32_t> out;
        for (const auto& call : p.storage.ejectCalls) out.push_back(call.devInst);
        return out;
    }
    const MenuItem& ejectAllEntry() const { return p.menus.attachedPopup()->children.at(2); }
    std::size_t indexOf(char letter) const {
        const auto& entries = app->driveTable().entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].letter() == letter) return i;
        }
        return 99;
    }
    void deviceChange() { app->windowProc(kWmDeviceChange, 0, 0); }
    void pull(char letter) {
        p.fileSystem.drives.erase(letter);
        p.storage.devices.erase(FakeStorage::volumePath(letter));
    }
};

TEST_F(EjectAll, TakesEveryStickHoldingAMediumAndSaysItInOneNotice) {
    AddDiscDrive(p, 'E');
    AddEjectableStick(p, 'I', "", 0, kBusTypeSd, false);  // an empty card slot
    started();
    // A disc drive and an empty slot: nothing to take.
    EXPECT_EQ(ejectAllEntry().id, menuid::kEjectAll);
    EXPECT_EQ(ejectAllEntry().caption, "全部安全弹出(&A)");
    EXPECT_TRUE(ejectAllEntry().grayed);
    app->runCommand(menuid::kEjectAll);
    EXPECT_EQ(notices(), Lines{"没有可以安全弹出的设备"});
    EXPECT_TRUE(ejected().empty());

    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    AddEjectableStick(p, 'H', "OTHER", 0x3334, kBusTypeSd);
    deviceChange();
    EXPECT_FALSE(ejectAllEntry().grayed);
    popups.shown.clear();
    p.fileSystem.appends.clear();
    p.storage.onEject = [this](std::uint32_t devInst) {
        pull(devInst == StickParent('G') ? 'G' : 'H');
    };
    app->runCommand(menuid::kEjectAll);
    EXPECT_EQ(ejected(), (std::vector<std::uint32_t>{StickParent('G'), StickParent('H')}));
    // One notice for all of them, none of each drive's own.
    EXPECT_EQ(notices(), Lines{"已安全弹出 2 个设备"});
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::OK);
    EXPECT_EQ(logTexts(), Lines{"已安全弹出 2 个设备"});
    // Gone on purpose: not reported as pulled out.
    deviceChange();
    EXPECT_EQ(notices().size(), 1u);

    // A stick that stays is named, with the warning picture.
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    deviceChange();
    popups.shown.clear();
    p.storage.onEject = nullptr;
    p.storage.ejectAnswers = {{kRemoveVetoed, 5, ""}};
    app->runCommand(menuid::kEjectAll);
    EXPECT_EQ(notices(), Lines{"已安全弹出 0 个设备,未能弹出: KINGSTON (G:)"});
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::Warning);
}

TEST_F(EjectAll, KeepsToTheDrivesItTookWhateverARefreshDoesMeanwhile) {
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    AddEjectableStick(p, 'H', "OTHER", 0x3334);
    started();
    // G: is refused once; while the eject waits to ask again, a stick
    // arrives in F: (every index moves), H: holds another volume now, and
    // a command is picked for the new stick.
    p.storage.ejectAnswers = {{kRemoveVetoed, 5, ""}, {}};
    bool once = false;
    p.storage.onEject = [&](std::uint32_t) {
        if (std::exchange(once, true)) return;
        p.eventLoop.post([this] {
            AddEjectableStick(p, 'F', "NEW", 0x7777);
            p.fileSystem.drives['H'].serialNumber = 0x3335;
            deviceChange();
            app->runCommand(menuid::kSafeEject + indexOf('F'));
            app->runCommand(menuid::kEjectAll);
        });
    };
    app->runCommand(menuid::kEjectAll);
    EXPECT_TRUE(once);
    // G: asked twice; neither the new stick nor the other volume in H:.
    EXPECT_EQ(ejected(), (std::vector<std::uint32_t>{StickParent('G'), StickParent('G')}));
    // The new stick's arrival, then one word about the one stick taken.
    EXPECT_EQ(notices(), (Lines{"NEW (F:) 已连接", "已安全弹出 1 个设备"}));
    EXPECT_EQ(indexOf('F'), 1u);
}

TEST_F(EjectAll, AQuitDuringEjectAllEndsItWithoutANotice) {
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    AddEjectableStick(p, 'H', "OTHER", 0x3334);
    started();
    p.storage.ejectAnswers = {{kRemoveVetoed, 5, ""}};
    p.storage.onEject = [this](std::uint32_t) {
        p.eventLoop.post([this] { app->QuitApp(); });
    };
    app->runCommand(menuid::kEjectAll);
    EXPECT_EQ(app->state(), TrayApp::State::Ended);
    // G:'s own request runs out its attempts; H: is never asked.
    for (const std::uint32_t devInst : ejected()) EXPECT_EQ(devInst, StickParent('G'));
    EXPECT_TRUE(notices().empty());
}

TEST_F(EjectAll, TheHotkeyRunsItAndWaitsForARefreshToEnd) {
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "HotkeyEjectAll", " ctrl + Alt+E ");
    AddEjectableStick(p, 'G', "KINGSTON", 0x3333);
    started();
    ASSERT_EQ(p.shell.hotkeys.size(), 1u);
    const auto& [where, hotkey] = *p.shell.hotkeys.begin();
    EXPECT_EQ(where, std::make_pair(app->window(), kEjectAllHotkeyId));
    EXPECT_EQ(hotkey.modifiers, kModControl | kModAlt | kModNoRepeat);
    EXPECT_EQ(hotkey.key, static_cast<std::uint32_t>('E'));

    // Pressed while a refresh has the handler out of play: after it.
    int ejectsDuringRefresh = -1;
    p.eventLoop.onPump = [&] {
        if (ejectsDuringRefresh >= 0 || !app->refreshBusy() || app->handlerInstalled()) return;
        app->windowProc(kWmHotkey, kEjectAllHotkeyId, 0);
        ejectsDuringRefresh = static_cast<int>(ejected().size());
    };
    deviceChange();
    EXPECT_EQ(ejectsDuringRefresh, 0);
    EXPECT_EQ(ejected(), std::vector<std::uint32_t>{StickParent('G')});
    EXPECT_EQ(notices(), Lines{"已安全弹出 1 个设备"});
    // Another id is nobody's.
    p.eventLoop.onPump = nullptr;
    EXPECT_EQ(app->windowProc(kWmHotkey, 7, 0), std::nullopt);
    EXPECT_EQ(ejected().size(), 1u);

    app->QuitApp();
    EXPECT_TRUE(p.shell.hotkeys.empty());
}

TEST_F(EjectAll, AHotkeyThatCannotBeHadIsSaidOnceAndTheProgramRunsOn) {
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "HotkeyEjectAll", "Ctrl+Alt+");
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    EXPECT_TRUE(p.shell.hotkeys.empty());
    const std::string malformed = "热键设置无效,没有启用: Ctrl+Alt+";
    const Lines logged = logTexts();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), malformed), 1);
    ASSERT_EQ(notices(), Lines{malformed});
    EXPECT_EQ(popups.shown[0].picture, NoticePicture::Warning);
    // A new shell rebuilds the tray, not the hotkey: nothing said again.
    app->windowProc(app->taskbarCreatedMsg(), 0, 0);
    EXPECT_EQ(notices().size(), 1u);
    app->QuitApp();

    // Held by another program.
    popups.shown.clear();
    WriteIniString(p.profile, dir + "\\Setting.ini", "Setting", "HotkeyEjectAll", "Win+F9");
    p.shell.takenHotkeys.insert({kModWin, 0x78});
    FakeInstanceLock nextRun;
    app = std::make_unique<FakeTrayProgram>(p, nextRun, host, popups, p.menus, dir, "1.0.1");
    ASSERT_TRUE(app->startup());
    EXPECT_EQ(notices(), Lines{"热键无法使用(可能已被其它程序占用): Win+F9"});
    EXPECT_EQ(app->state(), TrayApp::State::Running);
    app.reset();  // before the lock it holds
}

TEST(EjectEach, StopsWhenToldAndSkipsWhatIsGone) {
    const std::vector<EjectTarget> targets{{'G', "1", "A", "G:\\", "A (G:)"},
                                           {'H', "2", "B", "H:\\", "B (H:)"},
                                           {'I', "3", "C", "I:\\", "C (I:)"}};
    Lines tried;
    int stopAfter = 99;
    const EjectAllSteps steps{
        [](const EjectTarget& t) -> std::optional<EjectTarget> {
            if (t.letter == 'H') return std::nullopt;
            return t;
        },
        [&](const EjectTarget& t) {
            tried.push_back(t.caption);
            return t.letter == 'G';
        },
        [&] { return static_cast<int>(tried.size()) >= stopAfter; }};
    const EjectAllOutcome all = EjectEach(targets, steps);
    EXPECT_EQ(tried, (Lines{"A (G:)", "C (I:)"}));
    EXPECT_EQ((std::tuple{all.ejected, all.skipped, all.stopped}), (std::tuple{1, 1, false}));
    EXPECT_EQ(EjectAllSummaryText(all), "已安全弹出 1 个设备,未能弹出: C (I:)");
    tried.clear();
    stopAfter = 1;
    const EjectAllOutcome stopped = EjectEach(targets, steps);
    EXPECT_EQ(tried, Lines{"A (G:)"});
    EXPECT_TRUE(stopped.stopped);
}

}  // namespace
}  // namespace qm
