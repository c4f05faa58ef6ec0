#pragma once
// Processes of the system: list, end, start.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/non_copyable.h"

namespace qm {

struct ProcessInfo {
    std::uint32_t id = 0;
    std::string exeName;  // image file name as the snapshot gives it, UTF-8
    std::uint32_t sessionId = 0;
};

inline constexpr std::uint32_t kStillActive = 259;

class Processes : NonCopyable {
public:
    using Handle = std::uintptr_t;  // 0 is never valid

    virtual ~Processes() = default;
    virtual std::vector<ProcessInfo> snapshot() = 0;
    // Opens the process with full access and terminates it with the exit code.
    virtual bool terminate(std::uint32_t processId, std::uint32_t exitCode) = 0;
    // Starts a command line with a show state (0 hidden, 1 normal, 3
    // maximised, 6 minimised) in a working folder (empty: this process's
    // own); the process handle, or 0 when it did not start.
    virtual Handle start(const std::string& commandLine, int showState,
                         const std::string& workingFolder) = 0;
    // Asks the desktop's running shell to start the program, so that it
    // runs with the shell's rights (the logged-on user's, never an
    // administrator's taken from this process); false when no shell answers.
    virtual bool startAsDesktopUser(const std::string& program, const std::string& arguments,
                                    const std::string& workingFolder, int showState) = 0;
    // Starts the program with administrator rights, which asks the user for
    // consent; the process handle, or 0 when refused or not started.
    virtual Handle startElevated(const std::string& program, const std::string& arguments,
                                 const std::string& workingFolder) = 0;
    // The exit code, kStillActive while it runs; empty when it cannot be read.
    virtual std::optional<std::uint32_t> exitCode(Handle process) = 0;
    virtual void close(Handle process) = 0;
    virtual std::uint32_t currentSessionId() = 0;
    // The full path of a running process's program file; empty when the
    // process is gone or cannot be asked.
    virtual std::optional<std::string> imagePath(std::uint32_t processId) = 0;
    // The system's Windows folder ("C:\Windows"), without a trailing "\".
    virtual std::string windowsFolder() = 0;
    // Shrinks the working set of this process.
    virtual void trimWorkingSet(std::size_t minimum, std::size_t maximum) = 0;
};

}  // namespace qm
