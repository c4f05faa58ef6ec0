#pragma once
// Naming the programs that keep a drive from being ejected: the finders
// asked in turn, the bounded wait for their answer, and the words for it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/blockers.h"
#include "platform/event_loop.h"
#include "texts/phrase.h"

namespace qm {

// How long a failed eject waits for the names before it reports without them.
inline constexpr std::uint32_t kBlockerSearchLimitMs = 2000;
// How long a finder that is not the last may take before the next is asked.
inline constexpr std::uint32_t kBlockerFinderShareMs = 800;
// The longest single wait between two looks at a search; a finished worker
// wakes the wait earlier.
inline constexpr std::uint32_t kBlockerPollMs = 50;
// How many programs the notice names.
inline constexpr std::size_t kBlockersInNotice = 3;

// Asks its finders one after another: the first that names anybody wins.
// Each but the last gets `shareMs`; what it found by then counts.
class FirstAnswerFinder final : public BlockerFinder {
  public:
    FirstAnswerFinder(std::vector<BlockerFinder*> finders, EventLoop& loop,
                      std::uint32_t shareMs = kBlockerFinderShareMs)
        : finders_(std::move(finders)), loop_(loop), shareMs_(shareMs) {}

    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;

  private:
    std::vector<BlockerFinder*> finders_;
    EventLoop& loop_;
    std::uint32_t shareMs_;
};

// Asks all its finders at once, for a list that follows the holders: what
// any of them found counts, merged. Exhaustive when every one of them is
// (one that could not start is not).
class AllAnswersFinder final : public BlockerFinder {
  public:
    explicit AllAnswersFinder(std::vector<BlockerFinder*> finders) : finders_(std::move(finders)) {}

    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;

  private:
    std::vector<BlockerFinder*> finders_;
};

// Runs one search with the program's messages running until it ends, the
// limit passes or the program is asked to quit; what it found by then. The
// search is given up on the way out.
std::vector<Blocker> FindBlockers(BlockerFinder& finder, EventLoop& loop, const BlockerQuery& query,
                                  std::uint32_t limitMs = kBlockerSearchLimitMs);

// "WINWORD.EXE (4312), explorer.exe (1288)": at most `most` of them (all
// when 0), followed by "等" when some are left out.
Phrase BlockerListText(const std::vector<Blocker>& blockers, std::size_t most = 0);

}  // namespace qm
