#pragma once
// setup.exe /uninstall: removes the installation that setup.exe lies in.
// A running tray program of that folder is asked to quit, then go the
// release's files, the locator file and the Run value when they name this
// installation, the entry in the list of installed programs, setup.exe
// itself and the folder once it is empty. Setting.ini, Disk.ini and
// log.txt stay unless purged; immunised drives and the AutoPlay service
// are left as they are. Every step is checked: what stays is listed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/console_output.h"
#include "setup/setup_wizard.h"

namespace qm {

// Exit codes of setup.exe /uninstall.
inline constexpr int kUninstallDone = 0;
inline constexpr int kUninstallUsage = 1;        // unknown argument, /purge or /D= misused
inline constexpr int kUninstallNothingHere = 2;  // no installation in setup.exe's folder
inline constexpr int kUninstallProgramRunning =
    3;                                          // a running program would not end; nothing removed
inline constexpr int kUninstallSomeRemain = 4;  // something could not be removed (listed)
inline constexpr int kUninstallCancelled = 5;   // the question was answered no

enum class UninstallOutcome { Done, NothingHere, ProgramRunning, SomeRemain, Cancelled };
int UninstallExitCode(UninstallOutcome outcome);

struct UninstallResult {
    UninstallOutcome outcome = UninstallOutcome::Done;
    // Why nothing was removed (NothingHere, ProgramRunning).
    std::string problem;
    // What could not be removed, and why: one line each.
    std::vector<std::string> remaining;
    bool settingsKept = false;    // Setting.ini, Disk.ini or log.txt stay, as asked
    bool otherFilesKept = false;  // the folder stays for files that are not Quillmoor's
    bool autoPlayWasOff = false;  // Quillmoor had switched the AutoPlay service off
};

// The words of the end: what was done in `folder` (as shown), what stays,
// how to switch AutoPlay back on. Paragraphs separated by an empty line.
std::string UninstallSummary(const UninstallResult& result, const std::string& folder);

class Uninstaller {
  public:
    // The installation lies in deps.sourceDir, where this setup.exe runs.
    explicit Uninstaller(SetupDeps deps, StopLimits limits = {});

    // The folder to remove, as shown: with its trailing "\".
    const std::string& installDir() const { return dir_; }
    // Whether the folder holds an installation: the list of installed
    // programs names it, or the tray program's settings lie in it. A
    // download folder with the release alone is none.
    bool HasInstallation();
    // Whether Quillmoor switched the AutoPlay service off (Setting.ini).
    bool AutoPlayWasOff();

    // The removal; `progress` hears each step. Messages run between steps,
    // so the window that asked stays drawn; nothing they do stops it.
    UninstallResult Run(bool purge, const std::function<void(const std::string&)>& progress = {});

  private:
    // False with result.problem set when a program of the folder would not
    // end (another user's included).
    bool stopPrograms(UninstallResult& result);
    void say(const std::string& line);
    void pump() { d_.loop.pump(); }
    void eraseFile(const std::string& name, UninstallResult& result);
    void removeLocator(UninstallResult& result);
    void removeRunValue(UninstallResult& result);
    // True when setup.exe is gone from the folder or will be at the restart.
    bool removeSelf(UninstallResult& result, bool& atRestart);
    void removeFolders(UninstallResult& result, bool selfAtRestart);
    void remain(UninstallResult& result, const std::string& what, const std::string& why);

    SetupDeps d_;
    StopLimits limits_;
    std::string dir_;     // with its trailing "\\", a drive's root too
    std::string folder_;  // the folder itself: without it, except a root
    std::function<void(const std::string&)> progress_;
};

// setup.exe /uninstall /S: no window, no question; what it has to say goes
// to `out`. The exit code.
int RunSilentUninstall(SetupDeps deps, bool purge, ConsoleOutput& out);

}  // namespace qm
