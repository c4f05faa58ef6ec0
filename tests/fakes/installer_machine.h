#pragma once
// The machine the installer's tests run on: fixed drives C: and D:, the
// system folders the installer looks for, and the distribution folder
// setup.exe starts from, holding the release (both programs, the readme and
// a language file) among things that are no part of it, as in a download
// folder: a planted DLL and someone else's folder.
#include <string>
#include <vector>

#include "fakes/fake_file_system.h"
#include "platform/file_system.h"

namespace qm {

// The release as the build lists it, relative to setup.exe's folder.
inline std::vector<std::string> InstallerRelease() {
    return {"Quillmoor.exe", "readme.txt", "setup.exe", "lang\\en.txt"};
}

inline void AddInstallerMachine(FakeFileSystem& fs, const std::string& source) {
    fs.addDrive('C', kDriveKindFixed);
    fs.addDrive('D', kDriveKindFixed);
    fs.addFolder("C:\\Program Files");
    fs.addFolder("c:\\windows\\system32");
    fs.addFile(source + "\\setup.exe", "MZ setup");
    fs.addFile(source + "\\Quillmoor.exe", "MZ tray");
    fs.addFile(source + "\\readme.txt", "readme");
    fs.addFile(source + "\\lang\\en.txt", "en");
    fs.addFile(source + "\\version.dll", "MZ planted");
    fs.addFile(source + "\\Other\\notes.txt", "not ours");
}

}  // namespace qm
