#pragma once
// A finder whose searches answer what the test scripts, after as much fake
// time as it says; one that never ends shows its partial list until it is
// given up.
#include <cstdint>
#include <memory>
#include <vector>

#include "fakes/fake_event_loop.h"
#include "fakes/fake_support.h"
#include "platform/blockers.h"

namespace qm {

class FakeBlockerFinder : public BlockerFinder {
  public:
    explicit FakeBlockerFinder(FakeEventLoop& loop) : loop_(loop) {}

    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;

    std::vector<Blocker> answer;  // found once the search has ended
    std::uint32_t takesMs = 0;    // fake time from the start to the end
    bool neverEnds = false;
    std::vector<Blocker> partial;  // found while it runs
    bool exhaustive = false;       // an ended search looked everywhere
    FailSwitch failStart;

    std::vector<BlockerQuery> queries;      // every start, in order
    std::vector<std::uint32_t> startTicks;  // the fake clock at each search started
    int alive = 0;                          // searches not given up yet
    int givenUpRunning = 0;                 // searches given up before they ended

  private:
    FakeEventLoop& loop_;
};

}  // namespace qm
