#include "platform/read_ahead.h"

#include <algorithm>

namespace qm {

ReadAhead::ReadAhead(std::size_t mostHeld) : mostHeld_(std::max<std::size_t>(mostHeld, 1)) {}

bool ReadAhead::chunkThere(std::size_t size) const {
    return ended_ || failed_ || heldLocked() >= std::min(size, mostHeld_);
}

// The worker starts again once the owner has taken half of what it holds,
// so that the two threads rarely wait for each other.
bool ReadAhead::wantsMore() const { return heldLocked() < mostHeld_ / 2 || !chunkThere(wanted_); }

bool ReadAhead::waitForRoom() {
    std::unique_lock<std::mutex> locked(lock_);
    changed_.wait(locked,
                  [this] { return abandoned_ || (wanted_ != 0 && heldLocked() < mostHeld_); });
    return !abandoned_;
}

bool ReadAhead::delivered() {
    const bool wake = ownerWaiting_ && chunkThere(wanted_);
    if (wake) ownerWaiting_ = false;
    changed_.notify_all();
    return wake;
}

bool ReadAhead::put(std::string_view block) {
    const std::lock_guard<std::mutex> locked(lock_);
    if (abandoned_ || ended_ || failed_) return false;
    // What was handed out goes once it outweighs what is held.
    if (bodyAt_ > 0 && bodyAt_ >= heldLocked()) {
        body_.erase(0, bodyAt_);
        bodyAt_ = 0;
    }
    body_.append(block);
    return delivered();
}

bool ReadAhead::end() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (abandoned_ || failed_) return false;
    ended_ = true;
    return delivered();
}

bool ReadAhead::fail() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (abandoned_ || ended_) return false;
    failed_ = true;
    return delivered();
}

bool ReadAhead::stillReading(std::size_t size) {
    const std::lock_guard<std::mutex> locked(lock_);
    wanted_ = std::max<std::size_t>(size, 1);
    if (wantsMore()) changed_.notify_all();
    if (chunkThere(wanted_)) return false;
    ownerWaiting_ = true;
    return true;
}

std::optional<std::string> ReadAhead::getChunk(std::size_t size) {
    std::unique_lock<std::mutex> locked(lock_);
    wanted_ = std::max<std::size_t>(size, 1);
    if (wantsMore()) changed_.notify_all();
    changed_.wait(locked, [this] { return abandoned_ || chunkThere(wanted_); });
    // Bytes already read still count; the error comes with the next call.
    if (heldLocked() == 0) {
        if (failed_ || abandoned_) return std::nullopt;
        return std::string();
    }
    const std::size_t n = std::min(std::max<std::size_t>(size, 1), heldLocked());
    std::string chunk = body_.substr(bodyAt_, n);
    bodyAt_ += n;
    if (wantsMore()) changed_.notify_all();
    return chunk;
}

void ReadAhead::abandon() {
    const std::lock_guard<std::mutex> locked(lock_);
    abandoned_ = true;
    changed_.notify_all();
}

std::size_t ReadAhead::held() const {
    const std::lock_guard<std::mutex> locked(lock_);
    return heldLocked();
}

}  // namespace qm
