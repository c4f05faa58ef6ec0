#pragma once
// The processes and windows a holders' window asks about and acts on: each
// process with what the system would say of it and its shown windows; what
// was brought forward, asked to close and ended is recorded.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/holder_control.h"

namespace qm {

class FakeHolderControl : public HolderControl {
  public:
    std::uint32_t ownProcessId() override { return ownPid; }
    std::uint32_t ownSessionId() override { return ownSession; }
    ProcessFacts processFacts(std::uint32_t processId) override;
    std::vector<ProgramWindow> programWindows(std::uint32_t processId) override;
    std::optional<std::uint32_t> windowProcess(WindowId window) override;
    std::string windowTitle(WindowId window) override;
    bool bringToFront(WindowId window) override;
    bool postClose(WindowId window) override;
    EndOutcome endProcess(std::uint32_t processId, std::uint64_t startTime) override;

    struct Process {
        ProcessFacts facts;
        std::vector<ProgramWindow> windows;  // shown, unowned, front first
        // Ending it is refused although it may be looked into.
        bool refusesEnd = false;
    };
    std::map<std::uint32_t, Process> processes;
    // Windows of the shell's folder views, which are no program windows:
    // the window, its process and title.
    std::map<WindowId, std::pair<std::uint32_t, std::string>> folderWindows;

    std::uint32_t ownPid = 100;
    std::uint32_t ownSession = 1;

    // A running process of this user in session 1, started at `startTime`.
    Process& add(std::uint32_t processId, std::uint64_t startTime,
                 const std::string& imagePath = "");
    WindowId addWindow(std::uint32_t processId, const std::string& title, bool minimised = false);
    WindowId addFolderWindow(std::uint32_t processId, const std::string& title);
    // The process ends by itself, its windows with it.
    void exit(std::uint32_t processId);

    std::vector<WindowId> broughtToFront;
    std::vector<WindowId> closePosted;
    struct EndCall {
        std::uint32_t processId;
        std::uint64_t startTime;
        EndOutcome outcome;
    };
    std::vector<EndCall> ends;
    // Called with each window asked to close, e.g. to end its process.
    std::function<void(WindowId)> onClose;
    int factsAsked = 0;

  private:
    WindowId nextWindow_ = 0x7000;
};

}  // namespace qm
