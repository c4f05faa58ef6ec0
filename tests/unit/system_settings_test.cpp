#include "drives/system_settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/recording_requests.h"
#include "recording_notices.h"
#include "settings/ini.h"

namespace qm {
namespace {

constexpr char kCurrentSet[] = "SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection";

class SystemSettingsTest : public ::testing::Test {
protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Program Files\\Quillmoor"};
    RecordingNotices notices;
    std::optional<EventLog> log;
    Services services{p.services};
    RecordingRequests requests;
    std::optional<SystemHelpers> helpers;
    std::unique_ptr<SystemSettings> settings;

    void SetUp() override { use(paths); }
    void use(const InstallPaths& where) {
        paths = where;
        p.fileSystem.addFolder(paths.installDir());
        log.emplace(p.fileSystem, p.codePage, p.eventLoop, paths.logTxt());
        helpers.emplace(SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, *log,
                                          notices, paths},
                        "Quillmoor v1.0.1", nullptr);
        settings = std::make_unique<SystemSettings>(
            SystemSettingsDeps{p.profile, p.fileSystem, p.registry, p.codePage, p.eventLoop, *log,
                               services, notices, p.processes, *helpers, paths},
            "Quillmoor v1.0.1", &requests);
    }
    void service(int state, int start) {
        p.services.services["ShellHWDetection"].state = state;
        p.services.services["ShellHWDetection"].startType = start;
    }
    // What the service manager acts on.
    int startType() { return p.services.services["ShellHWDetection"].startType; }
    std::string setting(const char* key) {
        return ReadIniString(p.profile, paths.settingIni(), "Setting", key, "<absent>");
    }
    std::vector<std::string> logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    std::optional<std::string> runValue() {
        return p.registry.stringValue(RegRoot::CurrentUser, kRunKey, "Quillmoor");
    }
};

TEST_F(SystemSettingsTest, AutoPlayCountsAsOnWhenActiveOrSetToStartAutomatically) {
    struct Case {
        int state;
        int start;
        bool on;
    } cases[] = {{servicestate::kRunning, 3, true},  {servicestate::kStartPending, 4, true},
                 {servicestate::kPaused, 4, true},   {servicestate::kStopped, 2, true},
                 {servicestate::kStopped, 4, false}, {servicestate::kStopPending, 3, false},
                 {servicestate::kStopped, 3, false}};
    for (const auto& c : cases) {
        service(c.state, c.start);
        EXPECT_EQ(settings->IsAutoPlayServiceOn(), c.on) << c.state << "/" << c.start;
    }
    // A "Start" value written into the registry behind the manager's back
    // changes nothing until the next boot: the manager's record counts.
    service(servicestate::kStopped, 4);
    p.registry.putDword(RegRoot::LocalMachine, kCurrentSet, "Start", 2);
    EXPECT_FALSE(settings->IsAutoPlayServiceOn());
    // A service that cannot be opened is off.
    p.services.services["ShellHWDetection"].canOpen = false;
    service(servicestate::kRunning, 2);
    EXPECT_FALSE(settings->IsAutoPlayServiceOn());
}

TEST_F(SystemSettingsTest, StoppingAStoppedButAutomaticServiceDisablesItEverywhere) {
    service(servicestate::kStopped, 2);
    settings->StopAutoPlayService();
    EXPECT_EQ(startType(), 4);
    EXPECT_EQ(p.services.countCalls("stop"), 1);
    EXPECT_EQ(setting("DisableAutoPlayService"), "1");
    EXPECT_EQ(logTexts(), std::vector<std::string>{"禁用 Shell Hardware Detection 服务"});
    EXPECT_EQ(requests.refreshes, 1);

    // Already off: nothing more happens.
    settings->StopAutoPlayService();
    EXPECT_EQ(p.services.countCalls("stop"), 1);
    EXPECT_EQ(logTexts().size(), 1u);
}

TEST_F(SystemSettingsTest, StartingADisabledServiceSetsItAutomaticAndStartsIt) {
    service(servicestate::kStopped, 4);
    settings->StartAutoPlayService();
    EXPECT_EQ(startType(), 2);
    EXPECT_EQ(p.services.services["ShellHWDetection"].state, servicestate::kRunning);
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
    EXPECT_EQ(logTexts(), std::vector<std::string>{"启用 Shell Hardware Detection 服务"});
}

TEST_F(SystemSettingsTest, AStandardUserSeesTheRealStateAndAChangeAsksForConsent) {
    // Queries need no administrator; changes do.
    service(servicestate::kRunning, 3);
    p.services.administrator = false;
    EXPECT_TRUE(settings->IsAutoPlayServiceOn());

    // At start-up nobody is asked: the failure is logged, the wish kept.
    EXPECT_EQ(settings->StopAutoPlayService(), SwitchOutcome::NeedsAdministrator);
    EXPECT_EQ(setting("DisableAutoPlayService"), "1");
    EXPECT_EQ(logTexts(),
              std::vector<std::string>{"禁用 Shell Hardware Detection 服务失败: 需要管理员权限"});
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_TRUE(settings->IsAutoPlayServiceOn());

    // From the menu the program itself runs elevated for just this change;
    // refused consent is a failure that leaves the setting as it was.
    WriteIniString(p.profile, paths.settingIni(), "Setting", "DisableAutoPlayService", "0");
    p.processes.failElevate.always = true;
    EXPECT_EQ(settings->StopAutoPlayService(true), SwitchOutcome::Refused);
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
    EXPECT_EQ(logTexts().back(),
              "禁用 Shell Hardware Detection 服务失败: 未获得管理员许可,设置没有改变");
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].by, FakeProcesses::StartedBy::Elevated);
    EXPECT_EQ(p.processes.startCalls[0].commandLine,
              "\"C:\\Program Files\\Quillmoor\\Quillmoor.exe\" /autoplay-off");

    // Consent given: the elevated run (with an administrator's rights)
    // applies the change, and success is logged.
    p.processes.failElevate.always = false;
    p.processes.onStart = [&](std::uint32_t, FakeProcesses::Process& run) {
        const auto wish = AutoPlayWishOf(run.commandLine.substr(run.commandLine.rfind('"') + 1));
        ASSERT_TRUE(wish.has_value());
        p.services.administrator = true;
        run.exitCode = ApplyAutoPlayWish(services, *wish) ? 0 : 1;
        run.queriesBeforeExit = 2;
        p.services.administrator = false;
    };
    EXPECT_EQ(settings->StopAutoPlayService(true), SwitchOutcome::Done);
    EXPECT_FALSE(settings->IsAutoPlayServiceOn());
    EXPECT_EQ(startType(), 4);
    EXPECT_EQ(setting("DisableAutoPlayService"), "1");
    EXPECT_EQ(logTexts().back(), "禁用 Shell Hardware Detection 服务");
    EXPECT_EQ(p.processes.openHandleCount(), 0u);

    // The elevated run went ahead but the service would not change.
    p.services.failStart.always = true;
    p.services.failChangeConfig.always = true;
    EXPECT_EQ(settings->StartAutoPlayService(true), SwitchOutcome::Failed);
    EXPECT_EQ(setting("DisableAutoPlayService"), "1");
    EXPECT_EQ(logTexts().back(), "启用 Shell Hardware Detection 服务失败");
}

TEST_F(SystemSettingsTest, ASecondSwitchWhileTheFirstAwaitsConsentDoesNothing) {
    service(servicestate::kRunning, 3);
    p.services.administrator = false;
    // The user takes a while over the prompt, and the elevated run a while
    // longer; the program's messages run throughout, a second switch among them.
    p.processes.consentPolls = 4;
    p.processes.startedQueriesBeforeExit = 3;
    int pumpsWhileAsked = 0;
    std::vector<SwitchOutcome> nested;
    p.eventLoop.onPump = [&] {
        const bool asking = p.processes.consentsAsked == 1 && p.processes.startCalls.empty();
        if (asking) ++pumpsWhileAsked;
        if ((asking && nested.empty()) || (!p.processes.startCalls.empty() && nested.size() == 1)) {
            nested.push_back(settings->StopAutoPlayService(true));
        }
    };
    // The elevated run ends without having changed anything.
    EXPECT_EQ(settings->StopAutoPlayService(true), SwitchOutcome::Failed);
    EXPECT_GE(pumpsWhileAsked, 4);
    EXPECT_EQ(nested, (std::vector<SwitchOutcome>{SwitchOutcome::Busy, SwitchOutcome::Busy}));
    EXPECT_EQ(p.processes.consentsAsked, 1);
    EXPECT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(logTexts().size(), 1u);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
}

TEST_F(SystemSettingsTest, AConsentPromptNobodyAnswersIsGivenUpAndAQuitEndsTheWait) {
    service(servicestate::kRunning, 3);
    p.services.administrator = false;
    WriteIniString(p.profile, paths.settingIni(), "Setting", "DisableAutoPlayService", "0");
    p.processes.consentPolls = FakeProcesses::kRunsUntilEnded;
    const std::uint32_t before = p.eventLoop.tick;
    EXPECT_EQ(settings->StopAutoPlayService(true), SwitchOutcome::Failed);
    EXPECT_GE(p.eventLoop.tick - before, kConsentWaitMs);
    EXPECT_EQ(p.processes.consentsGivenUp, 1);
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
    EXPECT_EQ(logTexts().back(), "禁用 Shell Hardware Detection 服务失败");

    // The program is asked to end while the prompt is up: the wait ends at
    // once, and nothing is logged or kept.
    p.eventLoop.onPump = [&] {
        if (p.processes.consentsAsked == 2) p.eventLoop.quit = true;
    };
    const auto logged = logTexts().size();
    const std::uint32_t asked = p.eventLoop.tick;
    EXPECT_NE(settings->StopAutoPlayService(true), SwitchOutcome::Done);
    EXPECT_LT(p.eventLoop.tick - asked, 1000u);
    EXPECT_EQ(p.processes.consentsGivenUp, 2);
    EXPECT_EQ(logTexts().size(), logged);
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
}

TEST_F(SystemSettingsTest, TheElevatedRunKnowsOnlyItsOwnArguments) {
    EXPECT_EQ(AutoPlayWishOf("/autoplay-off"), false);
    EXPECT_EQ(AutoPlayWishOf(" /autoplay-on "), true);
    for (const char* other : {"", "/autoplay", "/AUTOPLAY-OFF", "-needupdate", "/autoplay-off x"}) {
        EXPECT_FALSE(AutoPlayWishOf(other).has_value()) << other;
    }
}

TEST_F(SystemSettingsTest, RunValueMatchesThisProgramIgnoringCaseAndQuotes) {
    EXPECT_FALSE(settings->IsAutoStartEnabled());
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor",
                         "C:\\PROGRAM FILES\\QUILLMOOR\\QUILLMOOR.EXE");
    EXPECT_TRUE(settings->IsAutoStartEnabled());
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor",
                         "\"C:\\Program Files\\Quillmoor\\Quillmoor.exe\"");
    EXPECT_TRUE(settings->IsAutoStartEnabled());
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "D:\\Old\\Quillmoor.exe");
    EXPECT_FALSE(settings->IsAutoStartEnabled());
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "   ");
    EXPECT_FALSE(settings->IsAutoStartEnabled());
}

TEST_F(SystemSettingsTest, EnablingWritesAQuotedCommandLineOverAnOldValue) {
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "D:\\Old\\Quillmoor.exe");
    settings->EnableAutoStart();
    EXPECT_EQ(runValue(), "\"C:\\Program Files\\Quillmoor\\Quillmoor.exe\"");
    EXPECT_TRUE(settings->IsAutoStartEnabled());
    EXPECT_EQ(setting("AutoStartup"), "1");
    EXPECT_EQ(requests.refreshes, 1);

    settings->DisableAutoStart();
    EXPECT_FALSE(runValue());
    EXPECT_EQ(setting("AutoStartup"), "0");
    EXPECT_EQ(p.registry.openKeyCount(), 0u);
}

TEST_F(SystemSettingsTest, AChineseProgramFolderWarnsAndTurnsStartWithWindowsOff) {
    // One Chinese character is enough.
    for (const char* dir : {"C:\\测试目录\\Quillmoor", "C:\\盘\\Quillmoor"}) {
        SCOPED_TRACE(dir);
        use(InstallPaths{dir});
        notices.shown.clear();
        p.fileSystem.appends.clear();
        p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "whatever");
        settings->EnableAutoStart();
        EXPECT_FALSE(runValue());
        EXPECT_EQ(setting("AutoStartup"), "0");
        EXPECT_EQ(logTexts(), std::vector<std::string>{"提示:请不要把本程序放到中文路径下运行"});
        ASSERT_EQ(notices.shown.size(), 1u);
        EXPECT_EQ(notices.shown[0].content, "请不要把本程序放到中文路径下运行");
        EXPECT_EQ(notices.shown[0].picture, NoticePicture::Warning);
        EXPECT_EQ(notices.shown[0].disk, "tip");
        EXPECT_EQ(notices.shown[0].title, "Quillmoor v1.0.1");
    }
}

TEST_F(SystemSettingsTest, StartupCreatesDefaultsAndImposesThem) {
    service(servicestate::kRunning, 3);
    settings->ApplyStartupSettings();
    EXPECT_EQ(setting("AutoStartup"), "1");
    EXPECT_EQ(setting("DisableAutoPlayService"), "0");
    EXPECT_TRUE(settings->IsAutoStartEnabled());
    EXPECT_EQ(p.services.countCalls("start"), 0);  // already on: left alone

    // A file that names neither key is read as the defaults, not as "off".
    p.profile.seedFile(paths.settingIni(), "\x01\xfe[Settin\r\nAutoStartup\r\n");
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "D:\\Old\\Quillmoor.exe");
    service(servicestate::kStopped, 4);
    settings->ApplyStartupSettings();
    EXPECT_TRUE(settings->IsAutoStartEnabled());
    EXPECT_EQ(p.services.countCalls("start"), 1);
}

TEST_F(SystemSettingsTest, StartupKeepsAnExistingChoiceAndLeavesTheRunValueAlone) {
    service(servicestate::kRunning, 2);
    p.profile.seedFile(paths.settingIni(),
                       "[Setting]\r\nAutoStartup=0\r\nDisableAutoPlayService=01\r\n");
    p.registry.putString(RegRoot::CurrentUser, kRunKey, "Quillmoor", "D:\\Old\\Quillmoor.exe");
    settings->ApplyStartupSettings();
    EXPECT_EQ(runValue(), "D:\\Old\\Quillmoor.exe");
    EXPECT_EQ(p.services.countCalls("stop"), 1);
    EXPECT_EQ(startType(), 4);
}

}  // namespace
}  // namespace qm
