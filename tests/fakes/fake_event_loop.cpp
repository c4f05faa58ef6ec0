#include "fakes/fake_event_loop.h"

namespace qm {
namespace {

// Keeps the depth count right even when a message throws.
class DepthGuard {
  public:
    explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

  private:
    int& depth_;
};

}  // namespace

void FakeEventLoop::pump() {
    const int number = ++pumpCount;
    DepthGuard guard(pumpDepth);
    if (pumpDepth > maxPumpDepth) maxPumpDepth = pumpDepth;
    if (onPump) onPump();

    for (auto it = atPump_.find(number); it != atPump_.end(); it = atPump_.find(number)) {
        Message message = std::move(it->second);
        atPump_.erase(it);
        message();
    }
    while (!queue_.empty()) {
        // Taken off first: the message may pump again.
        Message message = std::move(queue_.front());
        queue_.pop_front();
        message();
        if (mode == Mode::OnePerPump) break;
    }
}

void FakeEventLoop::waitForMessage(std::uint32_t milliseconds) {
    waits.push_back(milliseconds);
    if (onWait) onWait(milliseconds);
    // A message already waiting ends the wait at once.
    if (queue_.empty()) tick += milliseconds;
}

std::uint32_t FakeEventLoop::tickCount() {
    const std::uint32_t now = tick;
    tick += tickStep;
    return now;
}

std::string FakeEventLoop::localTimestamp() { return timestamp; }

void FakeEventLoop::post(Message message) { queue_.push_back(std::move(message)); }

void FakeEventLoop::postAtPump(int n, Message message) { atPump_.emplace(n, std::move(message)); }

}  // namespace qm
