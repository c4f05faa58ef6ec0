#include "drives/system_settings.h"

#include "drives/helpers.h"
#include "drives/text_rules.h"
#include "drives/texts.h"
#include "settings/cls_registry.h"
#include "settings/ini.h"

namespace qm {
namespace {

bool isBlank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

// The Run value is a command line: an unquoted path with a blank would let
// Windows start "C:\Program.exe" instead. Values written by older copies
// without quotes still count.
std::string unquoted(std::string s) {
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    if (first == std::string::npos) return {};
    s = s.substr(first, last - first + 1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

}  // namespace

std::string RunCommandLine(const std::string& programPath) { return "\"" + programPath + "\""; }

void SystemSettings::refresh() {
    if (refreshDrives_) refreshDrives_();
}

void SystemSettings::ApplyStartupSettings() {
    EnsureSettingsFile(d_.profile, d_.files, d_.paths);
    const std::string ini = d_.paths.settingIni();
    if (IniFlagIsSet(ReadIniString(d_.profile, ini, kSectionSetting, kKeyDisableAutoPlay, "0"))) {
        StopAutoPlayService();
    } else {
        StartAutoPlayService();
    }
    if (IniFlagIsSet(ReadIniString(d_.profile, ini, kSectionSetting, kKeyAutoStartup, "1"))) {
        EnableAutoStart();
    }
}

bool SystemSettings::IsAutoPlayServiceOn() {
    const std::string word = d_.services.GetServiceStateText("", kAutoPlayServiceName);
    const int start = d_.services.GetServiceStartType(kAutoPlayServiceName);
    if (word == text::kStateStartPending || word == text::kStateRunning ||
        word == text::kStateContinuePending || word == text::kStatePaused) {
        return true;
    }
    return start == kServiceStartAutomatic;
}

void SystemSettings::StopAutoPlayService() {
    if (!IsAutoPlayServiceOn()) return;
    d_.loop.pump();
    d_.services.SetServiceStartType(kAutoPlayServiceName, kServiceStartDisabled);
    d_.loop.pump();
    d_.services.StopServiceByName("", kAutoPlayServiceName);
    d_.loop.pump();
    WriteIniString(d_.profile, d_.paths.settingIni(), kSectionSetting, kKeyDisableAutoPlay, "1");
    d_.loop.pump();
    d_.log.WriteLog(text::kLogAutoPlayOff);
    refresh();
}

void SystemSettings::StartAutoPlayService() {
    if (IsAutoPlayServiceOn()) return;
    d_.loop.pump();
    d_.services.SetServiceStartType(kAutoPlayServiceName, kServiceStartAutomatic);
    d_.loop.pump();
    d_.services.StartServiceByName("", kAutoPlayServiceName);
    d_.loop.pump();
    WriteIniString(d_.profile, d_.paths.settingIni(), kSectionSetting, kKeyDisableAutoPlay, "0");
    d_.loop.pump();
    d_.log.WriteLog(text::kLogAutoPlayOn);
    refresh();
}

bool SystemSettings::IsAutoStartEnabled() {
    clsRegistry reg(d_.registry, d_.codePage);
    const std::string value =
        RegValueText(reg.GetRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName));
    if (isBlank(value)) return false;
    return LowerAscii(unquoted(value)) == LowerAscii(d_.paths.programPath());
}

void SystemSettings::EnableAutoStart() {
    const std::string path = d_.paths.programPath();
    if (CountDoubleByteChars(d_.codePage, path) != 0) {
        WarnChinesePath(d_.notices, d_.log, noticeTitle_);
        DisableAutoStart();
        return;
    }
    WriteIniString(d_.profile, d_.paths.settingIni(), kSectionSetting, kKeyAutoStartup, "1");
    d_.loop.pump();
    clsRegistry reg(d_.registry, d_.codePage);
    reg.SetRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName, RunCommandLine(path), 8, 0);
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
    WriteIniString(d_.profile, d_.paths.settingIni(), kSectionSetting, kKeyAutoStartup, "0");
    d_.loop.pump();
    refresh();
    d_.loop.pump();
}

}  // namespace qm
