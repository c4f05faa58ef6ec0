#include "platform/hung_probes.h"

#include <utility>

namespace qm {

ProbeQuestion::Reply ProbeQuestion::ask(std::uintptr_t handle, std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> locked(lock_);
    if (state_ != State::Idle) return {};
    handle_ = handle;
    answer_.clear();
    state_ = State::Asking;
    changed_.notify_all();
    // An answer that comes just as the bound runs out still counts: the
    // state decides, under the lock, not the wait's result.
    changed_.wait_for(locked, bound, [this] { return state_ == State::Answered; });
    if (state_ == State::Answered) {
        state_ = State::Idle;
        return {Reply::Answered, std::move(answer_)};
    }
    if (state_ == State::Asking) {
        // Not taken yet: withdrawn, the helper never sees it.
        state_ = State::Idle;
        return {Reply::Answered, {}};
    }
    state_ = State::Abandoned;
    return {Reply::Hung, {}};
}

void ProbeQuestion::close() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (state_ == State::Idle) state_ = State::Ended;
    changed_.notify_all();
}

std::optional<std::uintptr_t> ProbeQuestion::next(std::chrono::milliseconds idle) {
    std::unique_lock<std::mutex> locked(lock_);
    changed_.wait_for(locked, idle,
                      [this] { return state_ == State::Asking || state_ == State::Ended; });
    if (state_ == State::Asking) {
        state_ = State::Working;
        return handle_;
    }
    // Ended here, so that a walker that asks later knows nobody listens.
    state_ = State::Ended;
    return std::nullopt;
}

bool ProbeQuestion::answer(std::string answer) {
    const std::lock_guard<std::mutex> locked(lock_);
    if (state_ != State::Working) {
        state_ = State::Ended;
        return false;
    }
    answer_ = std::move(answer);
    state_ = State::Answered;
    changed_.notify_all();
    return true;
}

bool HungProbes::startHelper() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (helpers_ >= mostHelpers_) return false;
    ++helpers_;
    return true;
}

void HungProbes::helperEnded() {
    const std::lock_guard<std::mutex> locked(lock_);
    if (helpers_ > 0) --helpers_;
}

std::size_t HungProbes::helpers() const {
    const std::lock_guard<std::mutex> locked(lock_);
    return helpers_;
}

void HungProbes::hung(const HandleKey& key) {
    const std::lock_guard<std::mutex> locked(lock_);
    if (mostRemembered_ == 0 || !hung_.insert(key).second) return;
    hungOrder_.push_back(key);
    if (hungOrder_.size() > mostRemembered_) {
        hung_.erase(hungOrder_.front());
        hungOrder_.pop_front();
    }
}

bool HungProbes::hungBefore(const HandleKey& key) const {
    const std::lock_guard<std::mutex> locked(lock_);
    return hung_.count(key) != 0;
}

}  // namespace qm
