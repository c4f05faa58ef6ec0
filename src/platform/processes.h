#pragma once
// Processes of the system: list, end, start.
#include <cstdint>
#include <memory>
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

// A start with administrator rights under way. The consent prompt waits for
// the user on a worker of its own, so the caller's messages keep running;
// letting go of it before the answer leaves the worker to close whatever it
// started.
class ElevatedStart : NonCopyable {
public:
    virtual ~ElevatedStart() = default;
    // Empty while the user is still asked; then the process, which the
    // caller now owns and closes, or 0 when consent was refused or the
    // program did not start.
    virtual std::optional<std::uintptr_t> answer() = 0;
};

class Processes : NonCopyable {
public:
    using Handle = std::uintptr_t;  // 0 is never valid

    virtual ~Processes() = default;
    virtual std::vector<ProcessInfo> snapshot() = 0;
    // Opens the process with full access and terminates it with the exit code.
    virtual bool terminate(std::uint32_t processId, std::uint32_t exitCode) = 0;
    // Starts a command line with a show state (0 hidden, 1 normal, 3
    // maximised, 6 minimised) in a working folder (empty: this process's
    // own); the process handle, or 0 when it did not start. The program
    // gets the system's default error mode, not this program's.
    virtual Handle start(const std::string& commandLine, int showState,
                         const std::string& workingFolder) = 0;
    // Asks the desktop's running shell to start a program or open a document
    // or address, so that it runs with the shell's rights (the logged-on
    // user's, never an administrator's taken from this process); false when
    // no shell answers.
    virtual bool startAsDesktopUser(const std::string& program, const std::string& arguments,
                                    const std::string& workingFolder, int showState) = 0;
    // Whether this process runs with an administrator's full rights; also
    // true when that cannot be told, so that nothing is started with them
    // by mistake.
    virtual bool elevated() = 0;
    // Starts the program with administrator rights, which asks the user for
    // consent; null when the request could not even be made.
    virtual std::unique_ptr<ElevatedStart> startElevated(const std::string& program,
                                                         const std::string& arguments,
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
