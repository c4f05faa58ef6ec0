#pragma once
#include "platform/holder_control.h"

namespace qm {

// OpenProcess with the least rights each question needs, the process's own
// times and token, EnumWindows, and messages posted, never sent.
class HolderControlWin32 final : public HolderControl {
  public:
    std::uint32_t ownProcessId() override;
    std::uint32_t ownSessionId() override;
    ProcessFacts processFacts(std::uint32_t processId) override;
    std::vector<ProgramWindow> programWindows(std::uint32_t processId) override;
    std::optional<std::uint32_t> windowProcess(WindowId window) override;
    std::string windowTitle(WindowId window) override;
    bool bringToFront(WindowId window) override;
    bool postClose(WindowId window) override;
    EndOutcome endProcess(std::uint32_t processId, std::uint64_t startTime) override;
};

}  // namespace qm
