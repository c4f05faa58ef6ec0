#pragma once
#include "platform/code_page_win32.h"
#include "platform/event_loop.h"

namespace qm {

// The thread's message queue, GetTickCount and the user's date and time formats.
class EventLoopWin32 final : public EventLoop {
  public:
    void pump() override;
    void waitForMessage(std::uint32_t milliseconds) override;
    std::uint32_t tickCount() override;
    std::string localTimestamp() override;
    std::uint64_t systemTime() override;
    bool quitRequested() override { return quit_; }

    // Marks the program as ending, so that waits in progress stop early. The
    // message loop still ends only on WM_QUIT.
    void requestQuit() { quit_ = true; }

  private:
    CodePageWin32 codePage_;
    bool quit_ = false;
};

}  // namespace qm
