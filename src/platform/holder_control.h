#pragma once
// The programs that hold a drive, as the window that lists them asks about
// and acts on them: what a process is, its windows, and the three things
// done to it (to the front, asked to close, ended). Every call answers at
// once: nothing here waits for the other program.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

enum class ProcessState {
    Running,
    Gone,    // no such process (any more)
    Hidden,  // it exists, but this user may not look into it
};

struct ProcessFacts {
    ProcessState state = ProcessState::Gone;
    // When it started (UTC, 100-ns units since 1601): with the id, which
    // process this is. 0 when it cannot be read.
    std::uint64_t startTime = 0;
    std::optional<std::uint32_t> sessionId;
    // Whether its user could be read (not for a process running with more
    // rights than this one), and whether it is the user this program runs as.
    bool userKnown = false;
    bool sameUser = false;
    // The system stops when it ends.
    bool critical = false;
    std::string imagePath;  // empty when it cannot be read
};

// A window of a process as the user sees it: shown, top-level, owned by no
// other window.
struct ProgramWindow {
    WindowId window = 0;
    std::string title;
    bool minimised = false;
};

enum class EndOutcome { Ended, Gone, Refused };

class HolderControl : NonCopyable {
  public:
    virtual ~HolderControl() = default;
    virtual std::uint32_t ownProcessId() = 0;
    virtual std::uint32_t ownSessionId() = 0;
    virtual ProcessFacts processFacts(std::uint32_t processId) = 0;
    // Its shown top-level windows that no other window owns, the front one first.
    virtual std::vector<ProgramWindow> programWindows(std::uint32_t processId) = 0;
    // The process owning a window; empty when there is no such window.
    virtual std::optional<std::uint32_t> windowProcess(WindowId window) = 0;
    // The window's title as the system keeps it, without asking its program.
    virtual std::string windowTitle(WindowId window) = 0;
    // Restores the window when it is minimised and brings it to the front.
    virtual bool bringToFront(WindowId window) = 0;
    // Posts WM_CLOSE, as a click on its close box does; false when there is
    // no such window.
    virtual bool postClose(WindowId window) = 0;
    // Ends the process, but only the one that started at `startTime` (0:
    // whichever has the id), told apart on the opened process itself.
    virtual EndOutcome endProcess(std::uint32_t processId, std::uint64_t startTime) = 0;
};

}  // namespace qm
