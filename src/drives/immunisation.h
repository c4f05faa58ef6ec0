#pragma once
// The protective autorun.inf folder on a drive, and planted autorun.inf files.
#include <functional>
#include <string>

#include "common/event_log.h"
#include "common/notices.h"
#include "common/tray_requests.h"
#include "platform/event_loop.h"
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

struct ImmunisationDeps {
    FileSystem& files;
    EventLoop& loop;
    EventLog& log;
    NoticePresenter& notices;
};

class Immunisation final : public DriveImmuniser {
public:
    // `requests` may be null: nobody to tell.
    Immunisation(ImmunisationDeps deps, std::string noticeTitle, TrayRequests* requests)
        : d_(deps), noticeTitle_(std::move(noticeTitle)), requests_(requests) {}

    // Plants the folder root + "autorun.inf" (read-only, hidden, system) with
    // a folder inside, after deleting a planted file of that name. Only the
    // final test decides which notice follows.
    void ImmuniseDrive(const std::string& drive) override;
    // Removes the folder with everything in it, inner names ending in dots
    // included; a drive gone meanwhile counts as a failure.
    void RemoveImmunity(const std::string& drive);
    void NotifyDriveNotReady(const std::string& drive);

private:
    bool driveReady(const std::string& drive);
    void notice(const std::string& text, NoticePicture picture);
    void refresh() {
        if (requests_ != nullptr) requests_->refreshDrives();
    }

    ImmunisationDeps d_;
    std::string noticeTitle_;
    TrayRequests* requests_;
};

}  // namespace qm
