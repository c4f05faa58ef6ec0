#pragma once
// setup.exe /S [/D=<folder>]: the wizard's installation without its window.
// It stops a running tray program as the wizard does, checks every copy and
// writes the default settings, but starts and opens nothing, and writes
// nothing for the user (no Run value).
#include <optional>
#include <string>
#include <string_view>

#include "platform/console_output.h"
#include "setup/setup_wizard.h"

namespace qm {

// Exit codes of a silent installation.
inline constexpr int kSetupDone = 0;
inline constexpr int kSetupUsage = 1;           // unknown argument, or /D= without a folder
inline constexpr int kSetupFolderRefused = 2;   // Chinese characters, no drive root, cannot be made
inline constexpr int kSetupProgramRunning = 3;  // a running program would not end
inline constexpr int kSetupFilesFailed = 4;     // a release file missing or not copied
inline constexpr int kSetupNotRegistered = 5;   // installed, but not listed as installed

struct SetupArguments {
    bool silent = false;
    bool uninstall = false;  // /uninstall: remove the installation setup.exe lies in
    bool purge = false;      // /purge: with it, the settings and the log
    // The folder of /D=, which takes the rest of the command line: blanks
    // and all, without quotes.
    std::optional<std::string> folder;
    // Why the arguments were refused; empty when they were not.
    std::string problem;
};

// "/S", "/uninstall" and "/purge" in either case, and "/D=" last. Without
// /S or /uninstall the wizard shows as ever.
SetupArguments ParseSetupArguments(std::string_view commandLine);

// A folder of /D= as the installation takes it: "/" as "\", one trailing "\".
std::string SilentInstallFolder(const std::string& given);

int SetupExitCode(InstallOutcome outcome);

// Installs into the folder given, else into the one the wizard offers; says
// why it stopped, or where it installed, on `out`. The exit code.
int RunSilentInstall(SetupDeps deps, const std::optional<std::string>& folder, ConsoleOutput& out);

}  // namespace qm
