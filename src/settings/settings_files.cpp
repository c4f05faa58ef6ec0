#include "settings/settings_files.h"

#include <cctype>
#include <cstdint>

#include "settings/stored_settings.h"

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
    WriteDefaultStartupFlags(profile, ini);
}

std::string DriveLocatorPath(char letter) {
    return std::string(1, letter) + ":\\autorun.inf\\" + kLocatorFileName;
}

void WriteLocatorIni(Profile& profile, const InstallPaths& paths, WindowId window,
                     const std::string& drive) {
    const std::string handle = WindowHandleText(window);
    WriteLocator(profile, kSystemLocatorPath, paths, handle);
    if (drive.empty()) return;
    WriteLocator(profile, DriveLocatorPath(drive[0]), paths, handle);
}

void LocatorWriter::write(WindowId window, const std::string& drive) {
    const std::string handle = WindowHandleText(window);
    writeFile(kSystemLocatorPath, handle);
    if (!drive.empty()) {
        writeFile(DriveLocatorPath(drive[0]), handle);
    }
}

void LocatorWriter::writeFile(const std::string& path, const std::string& handle) {
    std::string key = path;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto known = written_.find(key);
    if (known != written_.end() && known->second == handle && files_.fileExists(path)) return;
    WriteLocator(profile_, path, paths_, handle);
    written_[key] = handle;
}

}  // namespace qm
