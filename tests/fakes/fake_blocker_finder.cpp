#include "fakes/fake_blocker_finder.h"

namespace qm {
namespace {

class FakeSearch final : public BlockerSearch {
  public:
    FakeSearch(FakeBlockerFinder& finder, FakeEventLoop& loop)
        : finder_(finder), loop_(loop), startedAt_(loop.tick) {
        ++finder_.alive;
    }
    ~FakeSearch() override {
        if (running()) ++finder_.givenUpRunning;
        --finder_.alive;
    }
    bool running() override {
        return finder_.neverEnds || loop_.tick - startedAt_ < finder_.takesMs;
    }
    std::vector<Blocker> found() override { return running() ? finder_.partial : finder_.answer; }
    bool exhaustive() override { return !running() && finder_.exhaustive; }

  private:
    FakeBlockerFinder& finder_;
    FakeEventLoop& loop_;
    std::uint32_t startedAt_;
};

}  // namespace

std::unique_ptr<BlockerSearch> FakeBlockerFinder::start(const BlockerQuery& query) {
    queries.push_back(query);
    if (failStart.next()) return nullptr;
    startTicks.push_back(loop_.tick);
    return std::make_unique<FakeSearch>(*this, loop_);
}

}  // namespace qm
