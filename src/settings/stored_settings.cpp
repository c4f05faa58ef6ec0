#include "settings/stored_settings.h"

#include "settings/ini.h"

namespace qm {
namespace {

constexpr char kSectionSetting[] = "Setting";
constexpr char kSectionHwnd[] = "HWND";
constexpr char kKeyAutoStartup[] = "AutoStartup";
constexpr char kKeyDisableAutoPlay[] = "DisableAutoPlayService";
constexpr char kKeyValue[] = "Value";
constexpr char kKeyUpdateServer[] = "UpdateServer";
constexpr char kKeyHotkeyEjectAll[] = "HotkeyEjectAll";
constexpr char kKeyLanguage[] = "Language";
constexpr char kKeyShowBlockers[] = "ShowBlockers";
constexpr char kKeyInstallDir[] = "InstallDir";
constexpr char kKeyHwnd[] = "HWND";
constexpr char kKeyPartition[] = "Partition";
constexpr char kKeyRemember[] = "Remember";
constexpr char kKeyMakeDir[] = "MakeDir";
// No flag reads like this: what a missing key returns.
constexpr char kNoValue[] = "-123";

const char* keyOf(PolicyKey key) { return key == PolicyKey::Remember ? kKeyRemember : kKeyMakeDir; }

std::string flagText(bool on) { return on ? "1" : "0"; }

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

StartupFlags ReadStartupFlags(Profile& profile, const InstallPaths& paths) {
    const std::string ini = paths.settingIni();
    StartupFlags flags;
    flags.disableAutoPlay =
        IniFlagIsSet(ReadIniString(profile, ini, kSectionSetting, kKeyDisableAutoPlay, "0"));
    flags.autoStartup =
        IniFlagIsSet(ReadIniString(profile, ini, kSectionSetting, kKeyAutoStartup, "1"));
    return flags;
}

void WriteDisableAutoPlay(Profile& profile, const InstallPaths& paths, bool disable) {
    WriteIniString(profile, paths.settingIni(), kSectionSetting, kKeyDisableAutoPlay,
                   flagText(disable));
}

void WriteAutoStartup(Profile& profile, const InstallPaths& paths, bool on) {
    WriteIniString(profile, paths.settingIni(), kSectionSetting, kKeyAutoStartup, flagText(on));
}

void WriteDefaultStartupFlags(Profile& profile, const std::string& settingIni) {
    WriteIniString(profile, settingIni, kSectionSetting, kKeyAutoStartup, "1");
    WriteIniString(profile, settingIni, kSectionSetting, kKeyDisableAutoPlay, "0");
}

bool HasStartupChoice(Profile& profile, const std::string& settingIni) {
    return ReadIniString(profile, settingIni, kSectionSetting, kKeyAutoStartup, kNoValue) !=
           kNoValue;
}

std::string ReadHotkeyEjectAll(Profile& profile, const InstallPaths& paths) {
    return ReadIniString(profile, paths.settingIni(), kSectionSetting, kKeyHotkeyEjectAll, "");
}

std::string ReadLanguageTag(Profile& profile, const InstallPaths& paths) {
    return trimmed(ReadIniString(profile, paths.settingIni(), kSectionSetting, kKeyLanguage, ""));
}

bool ReadShowBlockers(Profile& profile, const InstallPaths& paths) {
    return IniFlagIsSet(
        ReadIniString(profile, paths.settingIni(), kSectionSetting, kKeyShowBlockers, "1"));
}

void SaveWindowHandle(Profile& profile, const InstallPaths& paths, WindowId window) {
    WriteIniString(profile, paths.settingIni(), kSectionHwnd, kKeyValue, WindowHandleText(window));
}

std::string ReadUpdateServer(Profile& profile, const InstallPaths& paths) {
    const std::string base = trimmed(ReadIniString(profile, paths.settingIni(), kSectionSetting,
                                                   kKeyUpdateServer, kDefaultUpdateServer));
    return base.empty() ? kDefaultUpdateServer : base;
}

VolumePolicy ReadVolumePolicy(Profile& profile, const std::string& diskIni,
                              const std::string& serial) {
    VolumePolicy policy;
    policy.remembered = IniFlagIsSet(ReadIniString(profile, diskIni, serial, kKeyRemember, "0"));
    policy.immunise = IniFlagIsSet(ReadIniString(profile, diskIni, serial, kKeyMakeDir, "0"));
    return policy;
}

StoredPolicy ReadStoredPolicy(Profile& profile, const std::string& diskIni,
                              const std::string& serial) {
    return {ReadIniString(profile, diskIni, serial, kKeyRemember, "0"),
            ReadIniString(profile, diskIni, serial, kKeyMakeDir, kMakeDirNotStored)};
}

void WritePolicy(Profile& profile, const std::string& diskIni, const std::string& serial,
                 PolicyKey key, int value) {
    WriteIniString(profile, diskIni, serial, keyOf(key), std::to_string(value));
}

void WritePolicyAnswer(Profile& profile, const std::string& diskIni, const std::string& serial,
                       const std::string& driveKey, bool remember, bool immunise) {
    WriteIniString(profile, diskIni, serial, kKeyPartition, driveKey);
    WriteIniString(profile, diskIni, serial, kKeyRemember, flagText(remember));
    WriteIniString(profile, diskIni, serial, kKeyMakeDir, flagText(immunise));
}

std::string ReadLocator(Profile& profile, const std::string& path, LocatorField field) {
    return ReadIniString(profile, path, kSectionSetting,
                         field == LocatorField::InstallDir ? kKeyInstallDir : kKeyHwnd, "");
}

void WriteLocator(Profile& profile, const std::string& path, const InstallPaths& paths,
                  const std::string& handle) {
    WriteIniString(profile, path, kSectionSetting, kKeyInstallDir, paths.installDir() + "\\");
    WriteIniString(profile, path, kSectionSetting, kKeyHwnd, handle);
}

}  // namespace qm
