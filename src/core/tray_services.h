#pragma once
// The services the tray program is built from, made once by the program's
// composition root and handed to TrayApp: the log, the notices and their
// gate, the system helpers and settings, immunisation, eject, the
// downloader and the update check.
#include <string>

#include "common/event_log.h"
#include "common/notice_gate.h"
#include "common/system_helpers.h"
#include "common/tray_requests.h"
#include "drives/eject.h"
#include "drives/immunisation.h"
#include "drives/services.h"
#include "drives/system_settings.h"
#include "net/download.h"
#include "net/update_check.h"
#include "platform/blockers.h"
#include "platform/code_page.h"
#include "platform/desktop.h"
#include "platform/drive_probe.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/http_transfer.h"
#include "platform/instance_lock.h"
#include "platform/mci.h"
#include "platform/processes.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "platform/shell.h"
#include "platform/storage.h"
#include "settings/settings_files.h"

namespace qm {

struct TrayPlatform {
    FileSystem& files;
    Profile& profile;
    Registry& registry;
    ServiceManager& serviceManager;
    EventLoop& loop;
    Shell& shell;
    CodePage& codePage;
    InstanceLock& instanceLock;
    Desktop& desktop;
    Processes& processes;
    Storage& storage;
    Mci& mci;
    HttpTransfer& http;
    // Who holds a drive an eject could not remove.
    BlockerFinder& blockers;
    DriveProbe& probe;
};

// The services' requests, passed on to the tray program once it exists and
// for as long as it does; before and after, a refresh asks nobody and the
// program counts as ending.
class TrayRequestRelay final : public TrayRequests {
  public:
    void connect(TrayRequests* program) { program_ = program; }
    void refreshDrives() override {
        if (program_ != nullptr) program_->refreshDrives();
    }
    void driveLeaving() override {
        if (program_ != nullptr) program_->driveLeaving();
    }
    bool ending() const override { return program_ == nullptr || program_->ending(); }

  private:
    TrayRequests* program_ = nullptr;
};

struct TrayServices {
    TrayServices(const TrayPlatform& p, PopupFactory& popups, std::string installDir,
                 std::string versionText);
    TrayServices(const TrayServices&) = delete;
    TrayServices& operator=(const TrayServices&) = delete;

    TrayRequestRelay requests;
    InstallPaths paths;
    std::string versionText;
    std::string noticeTitle;
    EventLog log;
    NoticeGate gate;
    Services services;
    SystemHelpers helpers;
    SystemSettings systemSettings;
    Immunisation immunisation;
    Eject eject;
    ShellPrompts prompts;
    DownLoad DL1;
    UpdateCheck update;
};

}  // namespace qm
