#pragma once
// Asking a helper thread about one handle at a time, within a bound, and
// keeping count of the helpers that a question never let go. A question
// about a handle can block in the system for good (a synchronous pipe with
// a read pending, a file of a hung redirector); its helper is then left
// behind, and the handle is not asked about again.
#include <chrono>
#include <compare>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace qm {

// One question at a time from a walker to its helper. The walker hands the
// helper a handle of its own (an opaque number here) and waits a bounded
// time; a question it gives up on, and the handle with it, is the helper's.
class ProbeQuestion {
  public:
    struct Reply {
        enum Outcome {
            // The handle is the walker's again; `answer` holds the answer,
            // empty when the helper had not even taken the question in time.
            Answered,
            Hung,      // given up: the helper owns the handle and stays behind
            NoHelper,  // the helper had ended; nothing was asked
        } outcome = NoHelper;
        std::string answer;
    };

    // Walker: asks about `handle` and waits up to `bound`.
    Reply ask(std::uintptr_t handle, std::chrono::milliseconds bound);
    // Walker: no more questions; an idle helper ends at once.
    void close();

    // Helper: the next handle to ask about; none when the walker closed the
    // question or sent nothing for `idle` (the helper then ends).
    std::optional<std::uintptr_t> next(std::chrono::milliseconds idle);
    // Helper: the answer to the question. False when the walker gave up on
    // it: the helper then closes the handle and ends.
    bool answer(std::string answer);

  private:
    // Asking: handed over, not taken yet; Working: the helper is asking.
    enum class State { Idle, Asking, Working, Answered, Abandoned, Ended };

    std::mutex lock_;
    std::condition_variable changed_;
    State state_ = State::Idle;
    std::uintptr_t handle_ = 0;
    std::string answer_;
};

// A handle as it was met in the system's table: its process (by id and
// start time, as ids are reused) and its value there.
struct HandleKey {
    std::uint32_t processId = 0;
    std::uint64_t processStart = 0;
    std::uint64_t handleValue = 0;

    friend auto operator<=>(const HandleKey&, const HandleKey&) = default;
};

// The helpers of all walks of the process together: a bound on how many
// live at once, stuck ones included, and the handles that hung before.
class HungProbes {
  public:
    HungProbes(std::size_t mostHelpers, std::size_t mostRemembered)
        : mostHelpers_(mostHelpers), mostRemembered_(mostRemembered) {}
    HungProbes(const HungProbes&) = delete;
    HungProbes& operator=(const HungProbes&) = delete;

    // Counts a new helper in; false when the bound is reached.
    bool startHelper();
    // A helper has ended, however late.
    void helperEnded();
    std::size_t helpers() const;

    // A question about the handle was given up; the oldest remembered
    // handle is forgotten past the bound.
    void hung(const HandleKey& key);
    bool hungBefore(const HandleKey& key) const;

  private:
    const std::size_t mostHelpers_;
    const std::size_t mostRemembered_;
    mutable std::mutex lock_;
    std::size_t helpers_ = 0;
    std::set<HandleKey> hung_;
    std::deque<HandleKey> hungOrder_;
};

}  // namespace qm
