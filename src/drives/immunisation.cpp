#include "drives/immunisation.h"

namespace qm {

std::string DriveRootOf(const std::string& drive) {
    return drive.size() == 1 ? drive + ":\\" : drive;
}

bool IsImmunised(FileSystem& files, const std::string& drive) {
    return files.folderExists(DriveRootOf(drive) + "autorun.inf");
}

bool DeleteFileIfExists(FileSystem& files, const std::string& path) {
    if (!files.fileExists(path)) return false;
    files.deleteFileForced(path);
    return !files.fileExists(path);
}

std::string AutorunClearedText(const std::string& label, const std::string& driveName) {
    return "已清除 " + label + " (" + driveName + ")" + " 中的autorun.inf文件";
}

std::string AutorunNotClearedText(const std::string& label, const std::string& driveName) {
    return "清除 " + label + " (" + driveName + ")" + " 中的autorun.inf文件失败";
}

}  // namespace qm
