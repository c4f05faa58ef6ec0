#pragma once
// The two system settings the tray program owns: the AutoPlay service
// ("ShellHWDetection") and start-with-Windows (the user's Run value).
// Setting.ini holds the wanted state; the system holds the actual one.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/event_log.h"
#include "common/notices.h"
#include "common/system_helpers.h"
#include "common/tray_requests.h"
#include "drives/services.h"
#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "settings/settings_files.h"
#include "settings/system_entries.h"

namespace qm {

inline constexpr char kAutoPlayServiceName[] = "ShellHWDetection";

// The arguments of the program's own elevated run that switches the
// AutoPlay service off or on and does nothing else.
inline constexpr char kAutoPlayOffArgument[] = "/autoplay-off";
inline constexpr char kAutoPlayOnArgument[] = "/autoplay-on";
// The state an elevated run was started to bring about; empty for any other
// command line, the ordinary start included.
std::optional<bool> AutoPlayWishOf(const std::string& arguments);
// Running, starting, continuing or pausing counts as on; so does a stopped
// service that is set to start automatically.
bool AutoPlayServiceOn(Services& services);
// Sets the service's start type and starts or stops it, running `between`
// after each step; writes no setting and no log. True when the service then
// counts as wished.
bool ApplyAutoPlayWish(Services& services, bool on, const std::function<void()>& between = {});

// How switching the AutoPlay service ended.
enum class SwitchOutcome {
    Done,                // the service is as wished
    NeedsAdministrator,  // it takes an administrator, and nobody was asked
    Refused,             // the user refused consent; nothing was changed
    Failed,              // even with an administrator's rights it did not change
    Busy,                // another switch waits for consent; nothing was done
};

// How long a switch from the menu waits for the user to answer the consent
// prompt, and then for the elevated run to change the service; messages run
// all the while.
inline constexpr std::uint32_t kConsentWaitMs = 180000;
inline constexpr std::uint32_t kElevatedRunMs = 60000;
// The notice and log text of a switch that did not happen.
Phrase AutoPlayFailureText(bool on, SwitchOutcome outcome);

struct SystemSettingsDeps {
    Profile& profile;
    FileSystem& files;
    Registry& registry;
    CodePage& codePage;
    EventLoop& loop;
    EventLog& log;
    Services& services;
    NoticePresenter& notices;
    Processes& processes;
    SystemHelpers& helpers;
    const InstallPaths& paths;
};

class SystemSettings {
public:
    // `requests` may be null: nobody to tell.
    SystemSettings(SystemSettingsDeps deps, std::string noticeTitle, TrayRequests* requests)
        : d_(deps), noticeTitle_(std::move(noticeTitle)), requests_(requests) {}

    // Makes the system match Setting.ini, creating the file with its
    // defaults first. Runs once at start-up.
    void ApplyStartupSettings();

    // Running, starting, continuing or pausing counts as on; so does a
    // stopped service that is set to start automatically.
    bool IsAutoPlayServiceOn();
    // With askForConsent (a choice from the menu) a change this user may
    // not make is made by an elevated run of the program, after the user's
    // consent; Setting.ini then takes the choice only once the service
    // manager says it is done. Without (start-up, where Setting.ini holds
    // the wish already) it keeps it whatever the outcome. The log says the
    // outcome, read back from the service manager.
    SwitchOutcome StopAutoPlayService(bool askForConsent = false);
    SwitchOutcome StartAutoPlayService(bool askForConsent = false);

    // True when the Run value names this very program, ignoring case.
    bool IsAutoStartEnabled();
    void EnableAutoStart();
    void DisableAutoStart();

private:
    void refresh();
    SwitchOutcome switchAutoPlay(bool on, bool askForConsent);
    SwitchOutcome switchElevated(bool on);

    SystemSettingsDeps d_;
    std::string noticeTitle_;
    TrayRequests* requests_;
    bool switching_ = false;
};

}  // namespace qm
