#pragma once
// The update check: fetches Update.txt from the update server with the
// downloader, compares its first line with the running version and either
// starts the updater or says the program is current. The start-up check is
// quiet: it tells the user only of a new version.
#include <functional>
#include <string>

#include "common/event_log.h"
#include "common/notices.h"
#include "common/tray_requests.h"
#include "common/system_helpers.h"
#include "net/download.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/profile.h"
#include "settings/settings_files.h"

namespace qm {

// The descriptor's path on the update server.
inline constexpr char kUpdatePath[] = "/Quillmoor/Update.txt";

struct UpdateCheckDeps {
    DownLoad& DL1;
    FileSystem& files;
    Profile& profile;
    Processes& processes;
    EventLoop& loop;
    EventLog& log;
    NoticePresenter& notices;
    SystemHelpers& helpers;
    const InstallPaths& paths;
};

class UpdateCheck {
  public:
    // Once the program is ending, a check stops without a word.
    UpdateCheck(UpdateCheckDeps deps, std::string versionText, std::string noticeTitle,
                TrayRequests& program);
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    // Runs one check; a check asked for while one runs is ignored.
    void StartCheckUpdate();
    bool isNeedUpdate();
    std::string LoadNewVersion();
    // DL1 has the whole descriptor.
    void OnUpdateDescriptorComplete();

    void setQuietUpdate(bool quiet) { quietUpdate_ = quiet; }
    bool quietUpdate() const { return quietUpdate_; }
    const std::string& NewVersionText() const { return NewVersionText_; }
    bool running() const { return running_; }
    // The server's base address from Setting.ini, or the default, plus the path.
    std::string UpdateAddress();
    std::string LocalCopy() const { return d_.paths.file("Update.txt"); }

  private:
    void notice(const std::string& text, NoticePicture picture);
    // The end of a check that got no descriptor.
    void reportNoServer();

    UpdateCheckDeps d_;
    std::string versionText_;
    std::string noticeTitle_;
    TrayRequests& program_;
    bool quietUpdate_ = false;
    bool running_ = false;
    bool failed_ = false;     // the downloader reported an error in this check
    bool completed_ = false;  // the whole descriptor arrived in this check
    std::string NewVersionText_;
};

}  // namespace qm
