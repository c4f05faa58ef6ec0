#pragma once
// A response body read ahead of its owner by a worker thread. The worker
// reads while the owner wants a chunk and less than the most it may hold is
// there; the owner takes chunks of the size it asks for. Either side may be
// slower than the other; the owner may give up at any moment, also while the
// worker waits inside a read.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

class ReadAhead {
  public:
    // `mostHeld`: how much the worker reads ahead; also the most a chunk
    // waits to fill up, a larger one is handed out in parts.
    explicit ReadAhead(std::size_t mostHeld);
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Worker: waits until the owner wants something and there is room for
    // more. False once the owner has given up: the worker stops.
    bool waitForRoom();
    // Worker: what one read gave, the end of the body, a failed read. Each
    // is true when the owner waits for a chunk that is there now: the
    // worker then wakes it.
    bool put(std::string_view block);
    bool end();
    bool fail();

    // Owner: true while a chunk of `size` would still have to wait; the
    // worker's next delivery that makes it ready then says to wake the owner.
    bool stillReading(std::size_t size);
    // Owner: the next at most `size` bytes, waiting for them unless
    // stillReading(size) has turned false; empty at the end of the body,
    // none after a failed read (once the bytes read before it are out).
    std::optional<std::string> getChunk(std::size_t size);
    // Owner: gives up; the worker stops at its next look.
    void abandon();

    // How much is held now, read and not handed out.
    std::size_t held() const;

  private:
    std::size_t heldLocked() const { return body_.size() - bodyAt_; }
    bool chunkThere(std::size_t size) const;
    bool wantsMore() const;
    // After a delivery: whether to wake the owner; tells waiters either way.
    bool delivered();

    const std::size_t mostHeld_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::string body_;  // read, not handed out yet, from `bodyAt_` on
    std::size_t bodyAt_ = 0;
    std::size_t wanted_ = 0;  // the chunk the owner waits for; 0 before it asks
    bool ownerWaiting_ = false;
    bool ended_ = false;
    bool failed_ = false;
    bool abandoned_ = false;
};

}  // namespace qm
