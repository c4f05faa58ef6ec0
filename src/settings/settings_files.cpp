#include "settings/settings_files.h"

#include <cstdint>

#include "settings/ini.h"

namespace qm {

InstallPaths::InstallPaths(std::string installDir) : dir_(std::move(installDir)) {
    while (!dir_.empty() && (dir_.back() == '\\' || dir_.back() == '/')) dir_.pop_back();
}

std::string WindowHandleText(WindowId window) {
    const auto low = static_cast<std::uint32_t>(window);
    return std::to_string(static_cast<std::int32_t>(low));
}

void EnsureSettingsFile(Profile& profile, FileSystem& files, const InstallPaths& paths) {
    const std::string ini = paths.settingIni();
    if (files.fileExists(ini)) return;
    WriteIniString(profile, ini, kSectionSetting, kKeyAutoStartup, "1");
    WriteIniString(profile, ini, kSectionSetting, kKeyDisableAutoPlay, "0");
}

void SaveWindowHandle(Profile& profile, const InstallPaths& paths, WindowId window) {
    WriteIniString(profile, paths.settingIni(), kSectionHwnd, kKeyValue, WindowHandleText(window));
}

void WriteLocatorIni(Profile& profile, const InstallPaths& paths, WindowId window,
                     const std::string& drive) {
    const std::string installDir = paths.installDir() + "\\";
    const std::string handle = WindowHandleText(window);
    WriteIniString(profile, kSystemLocatorPath, kSectionSetting, kKeyInstallDir, installDir);
    WriteIniString(profile, kSystemLocatorPath, kSectionSetting, kKeyHwnd, handle);
    if (drive.empty()) return;
    const std::string onDrive = drive.substr(0, 1) + ":\\autorun.inf\\" + kLocatorFileName;
    WriteIniString(profile, onDrive, kSectionSetting, kKeyInstallDir, installDir);
    WriteIniString(profile, onDrive, kSectionSetting, kKeyHwnd, handle);
}

}  // namespace qm
