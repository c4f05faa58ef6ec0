#pragma once
// What a blocker search's worker shares with the thread that waits for it:
// the question, what has been found so far, whether the worker is through
// and whether anybody still waits. Held by both sides, freed by whichever
// lets go last, so either may stop at any moment.
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/blockers.h"

namespace qm {

class SearchShare {
  public:
    explicit SearchShare(BlockerQuery query) : query_(std::move(query)) {}
    SearchShare(const SearchShare&) = delete;
    SearchShare& operator=(const SearchShare&) = delete;

    // Read-only once the worker runs.
    const BlockerQuery& query() const { return query_; }

    // Worker: a holder found (each one counts once; more files of one
    // already found join it).
    void add(Blocker blocker);
    // Waiter: what has been found so far, in the order found.
    std::vector<Blocker> found() const;

    // Worker: it is through. True when somebody still waits: the worker
    // then wakes them.
    bool finish();
    bool done() const { return done_.load(); }

    // Worker: it looked everywhere it looks, before its bound.
    void markExhaustive() { exhaustive_.store(true); }
    // Waiter: done, and nothing was left out.
    bool exhaustive() const { return done_.load() && exhaustive_.load(); }

    // Nobody waits for the answer any more: the worker stops at its next look.
    void giveUp() { givenUp_.store(true); }
    bool givenUp() const { return givenUp_.load(); }

  private:
    const BlockerQuery query_;
    mutable std::mutex lock_;
    std::vector<Blocker> found_;
    std::atomic<bool> done_{false};
    std::atomic<bool> exhaustive_{false};
    std::atomic<bool> givenUp_{false};
};

}  // namespace qm
