#pragma once
#include <windows.h>

#include <functional>

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

    // Sees every message taken from the queue, by the main loop and by every
    // pump alike, before it is translated; true when it has handled the
    // message (the windows' dialog keys). Null for none.
    using MessageFilter = std::function<bool(MSG&)>;
    void setMessageFilter(MessageFilter filter) { filter_ = std::move(filter); }
    // Hands one message taken from the queue to its window.
    void dispatch(MSG& msg);

  private:
    CodePageWin32 codePage_;
    MessageFilter filter_;
    bool quit_ = false;
};

// Keeps a message filter on the loop for as long as it lives, so that the
// filter never outlives the windows it names.
class MessageFilterScope {
  public:
    MessageFilterScope(EventLoopWin32& loop, EventLoopWin32::MessageFilter filter) : loop_(loop) {
        loop_.setMessageFilter(std::move(filter));
    }
    ~MessageFilterScope() { loop_.setMessageFilter(nullptr); }
    MessageFilterScope(const MessageFilterScope&) = delete;
    MessageFilterScope& operator=(const MessageFilterScope&) = delete;

  private:
    EventLoopWin32& loop_;
};

}  // namespace qm
