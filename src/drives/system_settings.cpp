#include "drives/system_settings.h"

#include "common/helpers.h"
#include "common/text_rules.h"
#include "texts/tray_texts.h"
#include "settings/cls_registry.h"
#include "settings/stored_settings.h"

namespace qm {
namespace {

bool isBlank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

std::optional<bool> AutoPlayWishOf(const std::string& arguments) {
    const std::string given = TrimBlanks(arguments);
    if (given == kAutoPlayOffArgument) return false;
    if (given == kAutoPlayOnArgument) return true;
    return std::nullopt;
}

bool AutoPlayServiceOn(Services& services) {
    const std::string word = services.GetServiceStateText("", kAutoPlayServiceName);
    const int start = services.GetServiceStartType(kAutoPlayServiceName);
    if (word == servicewords::kStartPending || word == servicewords::kRunning ||
        word == servicewords::kContinuePending || word == servicewords::kPaused) {
        return true;
    }
    return start == kServiceStartAutomatic;
}

bool ApplyAutoPlayWish(Services& services, bool on, const std::function<void()>& between) {
    services.SetServiceStartType(kAutoPlayServiceName,
                                 on ? kServiceStartAutomatic : kServiceStartDisabled);
    if (between) between();
    if (on) {
        services.StartServiceByName("", kAutoPlayServiceName);
    } else {
        services.StopServiceByName("", kAutoPlayServiceName);
    }
    if (between) between();
    return AutoPlayServiceOn(services) == on;
}

Phrase AutoPlayFailureText(bool on, SwitchOutcome outcome) {
    Phrase text(on ? TrayText::LogAutoPlayOnFailed : TrayText::LogAutoPlayOffFailed);
    if (outcome == SwitchOutcome::NeedsAdministrator) text += TrayText::SuffixNeedsAdministrator;
    if (outcome == SwitchOutcome::Refused) text += TrayText::SuffixConsentRefused;
    return text;
}

void SystemSettings::refresh() {
    if (requests_ != nullptr) requests_->refreshDrives();
}

void SystemSettings::ApplyStartupSettings() {
    EnsureSettingsFile(d_.profile, d_.files, d_.paths);
    const StartupFlags flags = ReadStartupFlags(d_.profile, d_.paths);
    if (flags.disableAutoPlay) {
        StopAutoPlayService();
    } else {
        StartAutoPlayService();
    }
    if (flags.autoStartup) EnableAutoStart();
}

bool SystemSettings::IsAutoPlayServiceOn() { return AutoPlayServiceOn(d_.services); }

SwitchOutcome SystemSettings::StopAutoPlayService(bool askForConsent) {
    return switchAutoPlay(false, askForConsent);
}

SwitchOutcome SystemSettings::StartAutoPlayService(bool askForConsent) {
    return switchAutoPlay(true, askForConsent);
}

SwitchOutcome SystemSettings::switchAutoPlay(bool on, bool askForConsent) {
    if (IsAutoPlayServiceOn() == on) return SwitchOutcome::Done;
    // One consent prompt at a time: a second switch while the first waits
    // for the user does nothing.
    if (switching_) return SwitchOutcome::Busy;
    switching_ = true;
    d_.loop.pump();
    SwitchOutcome outcome = SwitchOutcome::Done;
    if (!ApplyAutoPlayWish(d_.services, on, [this] { d_.loop.pump(); })) {
        outcome = askForConsent ? switchElevated(on) : SwitchOutcome::NeedsAdministrator;
    }
    // A choice from the menu that did not happen leaves the setting as it
    // was, or the next start would try it again behind the user's back.
    if (outcome == SwitchOutcome::Done || !askForConsent) {
        WriteDisableAutoPlay(d_.profile, d_.paths, !on);
    }
    d_.loop.pump();
    if (d_.loop.quitRequested()) {
        // The program ended while the user was asked: its log is closed.
        switching_ = false;
        return outcome;
    }
    if (outcome == SwitchOutcome::Done) {
        d_.log.WriteLog(on ? TrayText::LogAutoPlayOn : TrayText::LogAutoPlayOff);
    } else {
        d_.log.WriteLog(AutoPlayFailureText(on, outcome));
    }
    switching_ = false;
    refresh();
    return outcome;
}

SwitchOutcome SystemSettings::switchElevated(bool on) {
    std::unique_ptr<ElevatedStart> request = d_.processes.startElevated(
        d_.paths.programPath(), on ? kAutoPlayOnArgument : kAutoPlayOffArgument,
        d_.paths.installDir());
    if (!request) return SwitchOutcome::NeedsAdministrator;
    // The prompt waits for the user on a worker; the tray icon, its menu and
    // the notices keep working here meanwhile.
    const std::uint32_t asked = d_.loop.tickCount();
    std::optional<Processes::Handle> helper;
    while (!(helper = request->answer())) {
        if (d_.loop.quitRequested() || d_.loop.tickCount() - asked >= kConsentWaitMs) break;
        d_.loop.waitForMessage(100);
        d_.loop.pump();
    }
    if (helper && *helper == 0) return SwitchOutcome::Refused;
    if (helper) {
        d_.helpers.WaitForExit(*helper, kElevatedRunMs);
        d_.processes.close(*helper);
    }
    // Given up on, the prompt may still be answered later; what counts is
    // what the service manager says now, not the helper's exit code.
    return IsAutoPlayServiceOn() == on ? SwitchOutcome::Done : SwitchOutcome::Failed;
}

bool SystemSettings::IsAutoStartEnabled() {
    clsRegistry reg(d_.registry, d_.codePage);
    const std::string value =
        RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName));
    if (isBlank(value)) return false;
    return RunValueNames(value, d_.paths.programPath());
}

void SystemSettings::EnableAutoStart() {
    const std::string path = d_.paths.programPath();
    if (CountDoubleByteChars(d_.codePage, path) != 0) {
        WarnChinesePath(d_.notices, d_.log, noticeTitle_);
        DisableAutoStart();
        return;
    }
    WriteAutoStartup(d_.profile, d_.paths, true);
    d_.loop.pump();
    clsRegistry reg(d_.registry, d_.codePage);
    reg.SetRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName, RunValueFor(path), 8, 0);
    d_.loop.pump();
    refresh();
}

void SystemSettings::DisableAutoStart() {
    const std::string runKeySlash = std::string(kRunKey) + "\\";
    d_.loop.pump();
    {
        clsRegistry reg(d_.registry, d_.codePage);
        reg.DeleteRegistryValue(RegRoot::CurrentUser, runKeySlash, kRunValueName);
    }
    d_.loop.pump();
    {
        clsRegistry reg(d_.registry, d_.codePage);
        reg.DeleteRegistryKey(RegRoot::CurrentUser, runKeySlash + kRunValueName);
    }
    WriteAutoStartup(d_.profile, d_.paths, false);
    d_.loop.pump();
    refresh();
    d_.loop.pump();
}

}  // namespace qm
