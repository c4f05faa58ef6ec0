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
    // maximised, 6 minimised); the process handle, or 0 when it did not start.
    virtual Handle start(const std::string& commandLine, int showState) = 0;
    // The exit code, kStillActive while it runs; empty when it cannot be read.
    virtual std::optional<std::uint32_t> exitCode(Handle process) = 0;
    virtual void close(Handle process) = 0;
    virtual std::uint32_t currentSessionId() = 0;
    // Shrinks the working set of this process.
    virtual void trimWorkingSet(std::size_t minimum, std::size_t maximum) = 0;
};

}  // namespace qm
