#include "drives/immunisation.h"

#include "drives/text_rules.h"

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

bool Immunisation::driveReady(const std::string& drive) {
    if (drive.empty()) return false;
    const auto props = d_.files.driveProperties(drive[0]);
    return props && props->isReady;
}

void Immunisation::notice(const std::string& text, NoticePicture picture) {
    d_.notices.ShowNotice(noticeTitle_, text, picture, kNoticeInformation, kNoticeKeyTip);
}

void Immunisation::NotifyDriveNotReady(const std::string& drive) {
    const std::string text = "驱动器 (" + UpperAscii(drive) + ":) 未准备就绪";
    notice(text, NoticePicture::Warning);
    d_.log.WriteLog(text);
}

void Immunisation::ImmuniseDrive(const std::string& drive) {
    if (!driveReady(drive)) {
        refresh();
        NotifyDriveNotReady(drive);
        return;
    }
    const std::string root = DriveRootOf(drive);
    const std::string folder = root + "autorun.inf";
    DeleteFileIfExists(d_.files, folder);
    if (d_.files.folderExists(folder)) return;
    d_.loop.pump();
    d_.files.createFolder(folder);
    d_.loop.pump();
    d_.files.createFolder(folder + "\\Made by Quillmoor..\\");
    d_.loop.pump();
    d_.files.setFolderAttributes(folder, 7);
    d_.loop.pump();
    refresh();
    d_.loop.pump();
    const std::string shown = UpperAscii(root);
    if (IsImmunised(d_.files, root)) {
        notice("已免疫 (" + shown + ") 可有效防止autorun病毒向该设备写入", NoticePicture::OK);
        d_.log.WriteLog("免疫 " + shown + " 成功");
    } else {
        // The failure notice carries the OK picture, as users have always seen it.
        notice("免疫 (" + shown + ") 失败", NoticePicture::OK);
        d_.log.WriteLog("免疫 " + shown + " 失败");
    }
    d_.loop.pump();
    refresh();
}

void Immunisation::RemoveImmunity(const std::string& drive) {
    if (!driveReady(drive)) {
        refresh();
        NotifyDriveNotReady(drive);
        return;
    }
    const std::string root = DriveRootOf(drive);
    if (!d_.files.folderExists(root + "autorun.inf")) return;
    // Removed here, not by a command interpreter: it would be handed a path
    // it may misread, or a batch file it cannot see under virtualisation.
    d_.files.removeFolderTree(root + "autorun.inf");
    d_.loop.pump();
    const std::string shown = UpperAscii(root);
    // A stick pulled meanwhile has no folder left, and no removal either.
    if (IsImmunised(d_.files, root) || !driveReady(root)) {
        const std::string text = "删除 (" + shown + ") 中的免疫文件夹失败";
        notice(text, NoticePicture::Warning);
        d_.log.WriteLog("删除 " + shown + " 中的免疫文件夹失败");
    } else {
        notice("已删除 (" + shown + ") 中的免疫文件夹", NoticePicture::OK);
        d_.log.WriteLog("删除 " + shown + " 中的免疫文件夹成功");
    }
    d_.loop.pump();
    refresh();
}

}  // namespace qm
