#pragma once
#include "platform/processes.h"

namespace qm {

// The Tool Help snapshot, OpenProcess with full access and CreateProcessW;
// names and command lines cross as UTF-16.
class ProcessesWin32 final : public Processes {
  public:
    // A process whose session cannot be read is listed in session 0.
    std::vector<ProcessInfo> snapshot() override;
    bool terminate(std::uint32_t processId, std::uint32_t exitCode) override;
    Handle start(const std::string& commandLine, int showState) override;
    std::optional<std::uint32_t> exitCode(Handle process) override;
    void close(Handle process) override;
    std::uint32_t currentSessionId() override;
    void trimWorkingSet(std::size_t minimum, std::size_t maximum) override;
};

}  // namespace qm
