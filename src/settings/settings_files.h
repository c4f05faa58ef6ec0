#pragma once
// Where the programs keep their state, and the few writes the tray program
// makes to it outside the menu commands.
#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/types.h"
#include "settings/between_programs.h"

namespace qm {


// The folder of the running program, kept without a trailing backslash.
class InstallPaths {
public:
    explicit InstallPaths(std::string installDir);
    const std::string& installDir() const { return dir_; }
    std::string file(const std::string& name) const { return dir_ + "\\" + name; }
    std::string settingIni() const { return file(kSettingFileName); }
    std::string diskIni() const { return file(kDiskFileName); }
    std::string logTxt() const { return file(kLogFileName); }
    std::string programPath() const { return file(kProgramFileName); }

private:
    std::string dir_;
};

// The locator file a drive carries in its autorun.inf folder.
std::string DriveLocatorPath(char letter);

// Window handles are stored as signed 32-bit decimal numbers.
std::string WindowHandleText(WindowId window);

// Writes the defaults when Setting.ini does not exist yet; an existing file
// is left as it is, even with keys missing.
void EnsureSettingsFile(Profile& profile, FileSystem& files, const InstallPaths& paths);
// Records the install folder and window handle for the installer: in the
// system copy and in the drive's autorun.inf folder. Each write stands alone.
void WriteLocatorIni(Profile& profile, const InstallPaths& paths, WindowId window,
                     const std::string& drive);

// WriteLocatorIni for every refresh: a locator file that exists and already
// holds what this writer put there is left alone, since each write of a
// profile string rewrites the whole file.
class LocatorWriter {
public:
    LocatorWriter(Profile& profile, FileSystem& files, const InstallPaths& paths)
        : profile_(profile), files_(files), paths_(paths) {}
    void write(WindowId window, const std::string& drive);

private:
    void writeFile(const std::string& path, const std::string& handle);

    Profile& profile_;
    FileSystem& files_;
    const InstallPaths& paths_;
    std::map<std::string, std::string> written_;  // lower-cased path: handle written
};

}  // namespace qm
