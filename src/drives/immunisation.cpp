#include "drives/immunisation.h"

#include "common/text_rules.h"
#include "texts/tray_texts.h"

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
    return Text(TrayText::AutorunCleared, {label + " (" + driveName + ")"});
}

std::string AutorunNotClearedText(const std::string& label, const std::string& driveName) {
    return Text(TrayText::AutorunNotCleared, {label + " (" + driveName + ")"});
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
    const std::string text = Text(TrayText::DriveNotReady, {UpperAscii(drive)});
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
        notice(Text(TrayText::NoticeImmunised, {shown}), NoticePicture::OK);
        d_.log.WriteLog(Text(TrayText::LogImmunised, {shown}));
    } else {
        // The failure notice carries the OK picture, as users have always seen it.
        notice(Text(TrayText::NoticeImmuniseFailed, {shown}), NoticePicture::OK);
        d_.log.WriteLog(Text(TrayText::LogImmuniseFailed, {shown}));
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
        const std::string text = Text(TrayText::NoticeRemoveImmunityFailed, {shown});
        notice(text, NoticePicture::Warning);
        d_.log.WriteLog(Text(TrayText::LogRemoveImmunityFailed, {shown}));
    } else {
        notice(Text(TrayText::NoticeImmunityRemoved, {shown}), NoticePicture::OK);
        d_.log.WriteLog(Text(TrayText::LogImmunityRemoved, {shown}));
    }
    d_.loop.pump();
    refresh();
}

}  // namespace qm
