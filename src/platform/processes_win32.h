#pragma once
#include "platform/processes.h"

namespace qm {

// The Tool Help snapshot, OpenProcess with full access and CreateProcessW;
// names and command lines cross as UTF-16. Starting through the desktop's
// shell and elevated starts use COM and ShellExecuteExW.
class ProcessesWin32 final : public Processes {
  public:
    // A process whose session cannot be read is listed in session 0.
    std::vector<ProcessInfo> snapshot() override;
    bool terminate(std::uint32_t processId, std::uint32_t exitCode) override;
    Handle start(const std::string& commandLine, int showState,
                 const std::string& workingFolder) override;
    bool startAsDesktopUser(const std::string& program, const std::string& arguments,
                            const std::string& workingFolder, int showState) override;
    bool elevated() override;
    // ShellExecuteExW "runas" on a worker thread of its own.
    std::unique_ptr<ElevatedStart> startElevated(const std::string& program,
                                                 const std::string& arguments,
                                                 const std::string& workingFolder) override;
    std::optional<std::uint32_t> exitCode(Handle process) override;
    void close(Handle process) override;
    std::uint32_t currentSessionId() override;
    std::optional<std::string> imagePath(std::uint32_t processId) override;
    std::string windowsFolder() override;
    void trimWorkingSet(std::size_t minimum, std::size_t maximum) override;
};

}  // namespace qm
