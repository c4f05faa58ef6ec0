#pragma once
// Finding the programs that keep a volume from being ejected. A search runs
// on a worker of its own and is polled by the caller, whose messages keep
// running meanwhile; it never closes or ends anything it finds.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/non_copyable.h"

namespace qm {

// A process that holds the volume: its id and image file name ("WINWORD.EXE").
struct Blocker {
    std::uint32_t processId = 0;
    std::string imageName;

    friend bool operator==(const Blocker&, const Blocker&) = default;
};

struct BlockerQuery {
    char letter = 0;           // the volume's drive letter
    std::string volumeDevice;  // its kernel name ("\Device\HarddiskVolume5"); may be empty
    // The instance ids of the devices asked to go ("USB\VID_0951&PID_1666\..."),
    // the one that refused among them when the system named it.
    std::vector<std::string> deviceIds;
    // When the eject began: UTC, 100-ns units since 1601, as the system
    // stamps its event records.
    std::uint64_t since = 0;
};

class BlockerSearch : NonCopyable {
  public:
    // Giving a search up: a worker still inside a system call finishes on
    // its own and touches nothing of the caller's.
    virtual ~BlockerSearch() = default;
    virtual bool running() = 0;
    // What it has found so far, each process once, in the order found;
    // everything once it has ended.
    virtual std::vector<Blocker> found() = 0;
};

class BlockerFinder : NonCopyable {
  public:
    virtual ~BlockerFinder() = default;
    // Starts a search of its own, independent of any other still running;
    // null when none could be started.
    virtual std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) = 0;
};

// Adds a process unless it is there already.
void AddBlocker(std::vector<Blocker>& list, Blocker blocker);

}  // namespace qm
