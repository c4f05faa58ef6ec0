#pragma once
// A scripted message queue and a clock that moves only when told. Callbacks
// queued with post() stand for window messages: they run inside pump(), so a
// test can have a message arrive in the middle of a routine.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/event_loop.h"

namespace qm {

class FakeEventLoop : public EventLoop {
  public:
    using Message = std::function<void()>;

    void pump() override;
    void waitForMessage(std::uint32_t milliseconds) override;
    std::uint32_t tickCount() override;
    std::string localTimestamp() override;
    // Moves with the tick: a millisecond of `tick` is 10000 units.
    std::uint64_t systemTime() override { return systemTimeAtTick0 + tick * 10000ull; }
    bool quitRequested() override { return quit; }

    // Queues a message for a later pump.
    void post(Message message);
    // Runs the message during the `n`th pump (1-based), before the queue.
    void postAtPump(int n, Message message);
    [[nodiscard]] std::size_t pendingCount() const { return queue_.size(); }

    // OnePerPump delivers at most one queued message per pump; AllPending
    // runs the queue dry, messages posted meanwhile included, as the system
    // pump does.
    enum class Mode { AllPending, OnePerPump };
    Mode mode = Mode::AllPending;

    int pumpCount = 0;     // pumps started
    int pumpDepth = 0;     // pumps running now
    int maxPumpDepth = 0;  // deepest nesting seen

    std::uint32_t tick = 0;      // what the next tickCount answers
    std::uint32_t tickStep = 0;  // added after each tickCount
    std::vector<std::uint32_t> waits;
    // Called at each wait with its length, e.g. to post a message that ends it.
    std::function<void(std::uint32_t)> onWait;
    // Called at the start of every pump, e.g. to send a message once some
    // condition holds.
    std::function<void()> onPump;

    std::string timestamp = "2024-01-02 03:04:05";
    std::uint64_t systemTimeAtTick0 = 133486382450000000ull;  // 2024-01-02T03:04:05Z
    bool quit = false;

  private:
    std::deque<Message> queue_;
    std::multimap<int, Message> atPump_;
};

}  // namespace qm
