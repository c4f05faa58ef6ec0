#pragma once
// The two system settings the tray program owns: the AutoPlay service
// ("ShellHWDetection") and start-with-Windows (the user's Run value).
// Setting.ini holds the wanted state; the system holds the actual one.
#include <functional>
#include <string>

#include "drives/event_log.h"
#include "drives/notices.h"
#include "drives/services.h"
#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "settings/settings_files.h"

namespace qm {

inline constexpr char kAutoPlayServiceName[] = "ShellHWDetection";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Quillmoor";

// The Run value for the program: its path in quotes.
std::string RunCommandLine(const std::string& programPath);

struct SystemSettingsDeps {
    Profile& profile;
    FileSystem& files;
    Registry& registry;
    CodePage& codePage;
    EventLoop& loop;
    EventLog& log;
    Services& services;
    NoticePresenter& notices;
    const InstallPaths& paths;
};

class SystemSettings {
public:
    SystemSettings(SystemSettingsDeps deps, std::string noticeTitle,
                   std::function<void()> refreshDrives)
        : d_(deps), noticeTitle_(std::move(noticeTitle)), refreshDrives_(std::move(refreshDrives)) {}

    // Makes the system match Setting.ini, creating the file with its
    // defaults first. Runs once at start-up.
    void ApplyStartupSettings();

    // Running, starting, continuing or pausing counts as on; so does a
    // stopped service that is set to start automatically.
    bool IsAutoPlayServiceOn();
    void StopAutoPlayService();
    void StartAutoPlayService();

    // True when the Run value names this very program, ignoring case.
    bool IsAutoStartEnabled();
    void EnableAutoStart();
    void DisableAutoStart();

private:
    void refresh();

    SystemSettingsDeps d_;
    std::string noticeTitle_;
    std::function<void()> refreshDrives_;
};

}  // namespace qm
