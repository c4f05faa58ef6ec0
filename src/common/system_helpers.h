#pragma once
// Small services every part of the tray program uses: process helpers,
// waits that keep the program responsive, memory trimming, and the about,
// home page and log commands.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/event_log.h"
#include "common/notices.h"
#include "common/tray_requests.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "settings/settings_files.h"

namespace qm {

// The one address of the maker's home page.
inline constexpr char kHomePageUrl[] = "https://quillmoor.example.org/";

// Show states of started programs and opened documents.
inline constexpr int kShowHidden = 0;
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMaximised = 3;

// How a process image name is compared: lower-cased and cut after the third
// character following its first "." ("EXPLORER.EXE" gives "explorer.exe");
// a name without "." keeps its first three characters.
std::string ProcessNameKey(const std::string& exeName);

// The shell's program by its full path and quoted, to start as a command
// line: by its bare name the system would look in the working folder first.
std::string ExplorerCommand(Processes& processes);

// Gives memory the program holds but does not use back to the system.
void TrimMemory(Processes& processes);

struct SystemHelpersDeps {
    FileSystem& files;
    EventLoop& loop;
    Processes& processes;
    Shell& shell;
    EventLog& log;
    NoticePresenter& notices;
    const InstallPaths& paths;
};

class SystemHelpers {
public:
    // `requests` may be null: nobody to tell.
    SystemHelpers(SystemHelpersDeps deps, std::string noticeTitle, TrayRequests* requests)
        : d_(deps), noticeTitle_(std::move(noticeTitle)), requests_(requests) {}

    bool IsProcessRunning(const std::string& name);
    // Ends every process whose name matches; with sameSessionOnly, only those
    // of this program's own logon session.
    void KillProcessByName(const std::string& name, bool sameSessionOnly = false);
    // Starts a program with a show state; with wait, returns once it ended,
    // letting messages run meanwhile.
    void RunAndWait(const std::string& commandLine, bool wait, int windowStyle);
    // Waits, letting messages run, until the started process ends, the
    // program is asked to quit or `limitMs` have passed; its exit code,
    // empty while it still runs or when the code cannot be read.
    std::optional<std::uint32_t> WaitForExit(Processes::Handle process,
                                             std::uint32_t limitMs = kNoLimit);
    static constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;
    // Waits in steps of a tenth of a second, messages running throughout.
    void PauseSeconds(float seconds);
    void WaitMilliseconds(std::uint32_t ms);
    void TrimMemory();

    void ViewLog();
    void ShowAbout();
    void OpenHomePage();

private:
    // Lets messages run until `ms` milliseconds from `start` have passed,
    // sleeping between them instead of spinning.
    void runMessagesUntil(std::uint32_t start, std::uint32_t ms);
    void refresh() {
        if (requests_ != nullptr) requests_->refreshDrives();
    }

    SystemHelpersDeps d_;
    std::string noticeTitle_;
    TrayRequests* requests_;
};

}  // namespace qm
