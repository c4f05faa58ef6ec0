#pragma once
// Waiting for what other threads do, never for a time: each wait has a
// deadline only so that a lost wake fails the test instead of hanging it.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qm {

inline constexpr std::chrono::seconds kThreadDeadline{30};

// Where a worker stops until the test lets it on; counts the arrivals.
class Gate {
  public:
    void pass() {
        std::unique_lock<std::mutex> locked(lock_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(locked, [this] { return open_; });
    }
    void open() {
        const std::lock_guard<std::mutex> locked(lock_);
        open_ = true;
        changed_.notify_all();
    }
    // False when fewer than `n` arrived before the deadline.
    bool awaitArrivals(int n) {
        std::unique_lock<std::mutex> locked(lock_);
        return changed_.wait_for(locked, kThreadDeadline, [&] { return arrived_ >= n; });
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    int arrived_ = 0;
};

// Events signalled by other threads, counted.
class Signals {
  public:
    void signal() {
        const std::lock_guard<std::mutex> locked(lock_);
        ++count_;
        changed_.notify_all();
    }
    int count() {
        const std::lock_guard<std::mutex> locked(lock_);
        return count_;
    }
    // False when fewer than `n` came before the deadline.
    bool awaitCount(int n) {
        std::unique_lock<std::mutex> locked(lock_);
        return changed_.wait_for(locked, kThreadDeadline, [&] { return count_ >= n; });
    }
    // Waits for one signal more than taken so far, and takes it.
    bool takeOne() {
        std::unique_lock<std::mutex> locked(lock_);
        if (!changed_.wait_for(locked, kThreadDeadline, [&] { return count_ > taken_; })) {
            return false;
        }
        ++taken_;
        return true;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
    int taken_ = 0;
};

}  // namespace qm
