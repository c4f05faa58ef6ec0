#pragma once
// A blocker search on a thread of its own. The search and its worker share
// one record, freed by whichever lets go last: a caller that stops waiting
// never leaves the worker with freed state, and a worker stuck in a system
// call never holds the caller up.
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/blockers.h"

namespace qm {

class SearchShare {
  public:
    explicit SearchShare(const BlockerQuery& query)
        : query_(query), waiter_(GetCurrentThreadId()) {}
    SearchShare(const SearchShare&) = delete;
    SearchShare& operator=(const SearchShare&) = delete;

    // Read-only once the worker runs.
    const BlockerQuery& query() const { return query_; }

    void add(Blocker blocker);
    std::vector<Blocker> found();

    // The worker is through; wakes the thread that started it if it waits
    // for messages.
    void finish();
    bool done() const { return done_.load(); }

    // Nobody waits for the answer any more: the worker stops at its next look.
    void giveUp() { givenUp_.store(true); }
    bool givenUp() const { return givenUp_.load(); }

  private:
    const BlockerQuery query_;
    const DWORD waiter_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<Blocker> found_;
    std::atomic<bool> done_{false};
    std::atomic<bool> givenUp_{false};
};

using SearchWork = void (*)(SearchShare& share);

// Starts `work` on a new thread; null when no thread could be made.
std::unique_ptr<BlockerSearch> StartWorkerSearch(const BlockerQuery& query, SearchWork work);

}  // namespace qm
