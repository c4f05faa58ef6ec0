#pragma once
// The protective autorun.inf folder on a drive, and planted autorun.inf files.
#include <string>

#include "platform/file_system.h"

namespace qm {

// "G" becomes "G:\"; anything longer is used as it is.
std::string DriveRootOf(const std::string& drive);
// The folder root + "autorun.inf" exists.
bool IsImmunised(FileSystem& files, const std::string& drive);
// Deletes the file even when read-only; true when it existed and is gone.
bool DeleteFileIfExists(FileSystem& files, const std::string& path);

// Notice and log texts of clearing a planted file, for the drive's label and
// name ("G:").
std::string AutorunClearedText(const std::string& label, const std::string& driveName);
std::string AutorunNotClearedText(const std::string& label, const std::string& driveName);

}  // namespace qm
