#pragma once
// A blocker search on a thread of its own. The search and its worker share
// one SearchShare, freed by whichever lets go last: a caller that stops
// waiting never leaves the worker with freed state, and a worker stuck in a
// system call never holds the caller up.
#include <memory>

#include "platform/blockers.h"
#include "platform/search_share.h"

namespace qm {

using SearchWork = void (*)(SearchShare& share);

// Starts `work` on a new thread; null when no thread could be made. The
// finished worker wakes the thread that started it, if it still waits, with
// a thread message.
std::unique_ptr<BlockerSearch> StartWorkerSearch(const BlockerQuery& query, SearchWork work);

}  // namespace qm
