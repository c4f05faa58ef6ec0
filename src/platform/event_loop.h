#pragma once
// The UI thread's message pump and clock.
#include <cstdint>
#include <string>

#include "platform/non_copyable.h"

namespace qm {

class EventLoop : NonCopyable {
public:
    virtual ~EventLoop() = default;
    // Lets every pending window message run, then returns. Handlers may run
    // anything from inside it, this program's own routines included.
    virtual void pump() = 0;
    // Blocks until a message arrives or the time is up, whichever is first;
    // does not run the message.
    virtual void waitForMessage(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t tickCount() = 0;
    // Local date and time in the user's short-date and long-time formats,
    // separated by one space.
    virtual std::string localTimestamp() = 0;
    // The system's clock as it stamps its own records: UTC, 100-ns units
    // since 1601.
    virtual std::uint64_t systemTime() = 0;
    // True once the program has been asked to end; waits stop early then.
    virtual bool quitRequested() = 0;
};

}  // namespace qm
