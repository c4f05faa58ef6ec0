#pragma once
// The machine the installer's tests run on: fixed drives C: and D:, the
// system folders the installer looks for, and the distribution folder
// setup.exe starts from, holding both programs and a language file.
#include <string>

#include "fakes/fake_file_system.h"
#include "platform/file_system.h"

namespace qm {

inline void AddInstallerMachine(FakeFileSystem& fs, const std::string& source) {
    fs.addDrive('C', kDriveKindFixed);
    fs.addDrive('D', kDriveKindFixed);
    fs.addFolder("C:\\Program Files");
    fs.addFolder("c:\\windows\\system32");
    fs.addFile(source + "\\setup.exe", "MZ setup");
    fs.addFile(source + "\\Quillmoor.exe", "MZ tray");
    fs.addFile(source + "\\lang\\en.txt", "en");
}

}  // namespace qm
