#include "platform/blocker_worker_win32.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace qm {
namespace {

using SharedSearch = std::shared_ptr<SearchShare>;

struct WorkerStart {
    SharedSearch share;
    SearchWork work;
    DWORD waiter;
};

DWORD WINAPI runWorker(void* parameter) {
    // The worker's own reference, handed over by StartWorkerSearch.
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    try {
        start->work(*start->share);
    } catch (...) {
        // Out of memory for a table or a list: what was found still counts.
    }
    // A thread message with no window: the waiting loop wakes, the pump
    // drops it. A thread gone makes it fail harmlessly.
    if (start->share->finish()) PostThreadMessageW(start->waiter, WM_NULL, 0, 0);
    return 0;
}

class WorkerSearch final : public BlockerSearch {
  public:
    explicit WorkerSearch(SharedSearch share) : share_(std::move(share)) {}
    ~WorkerSearch() override { share_->giveUp(); }

    bool running() override { return !share_->done(); }
    std::vector<Blocker> found() override { return share_->found(); }
    bool exhaustive() override { return share_->exhaustive(); }

  private:
    SharedSearch share_;
};

}  // namespace

std::unique_ptr<BlockerSearch> StartWorkerSearch(const BlockerQuery& query, SearchWork work) {
    auto share = std::make_shared<SearchShare>(query);
    auto start = std::make_unique<WorkerStart>(WorkerStart{share, work, GetCurrentThreadId()});
    UniqueKernelHandle thread(CreateThread(nullptr, 0, runWorker, start.get(), 0, nullptr));
    if (!thread) return nullptr;
    start.release();  // the worker's now
    return std::make_unique<WorkerSearch>(std::move(share));
}

}  // namespace qm
