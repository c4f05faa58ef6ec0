#pragma once
// Quillmoor.exe run with a command ("/list", "/eject G:" ...): what the
// arguments ask for. A first argument that starts with "/" is a command;
// without one the program is the tray program.
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Exit codes of a command.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 1;    // unknown command or argument
inline constexpr int kExitNoDrive = 2;  // no such drive, or the wrong kind for the command
inline constexpr int kExitInUse = 3;    // refused: the drive is in use
inline constexpr int kExitFailed = 4;   // any other failure

enum class CliCommand {
    Usage,
    List,
    Eject,
    EjectAll,
    WhoLocks,
    Immunise,
    Unimmunise,
    CdOpen,
    CdClose
};

struct CliRequest {
    CliCommand command = CliCommand::Usage;
    // The drive, an upper-case letter; 0 for commands without one.
    char letter = 0;
    // Why the arguments were refused; empty when they were not.
    std::string problem;
};

// The arguments by the system's rules for a command line: blanks between
// them, quotes around blanks, backslashes before a quote escaping it.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The first argument starts with "/".
bool IsCommandLineMode(std::string_view commandLine);

// "G", "G:" or "G:\" in either case: the letter in upper case; 0 otherwise.
char DriveLetterArgument(std::string_view argument);

// Command names in either case.
CliRequest ParseCliArguments(const std::vector<std::string>& arguments);

}  // namespace qm
