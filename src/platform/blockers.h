#pragma once
// Finding the programs that keep a volume from being ejected. A search runs
// on a worker of its own and is polled by the caller, whose messages keep
// running meanwhile; it never closes or ends anything it finds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

// A process that holds the volume, or one folder window of the shell that
// shows a folder on it.
enum class BlockerKind { Process, FolderWindow };

// How many of the files a holder keeps open are named; the rest are counted.
inline constexpr std::size_t kBlockerFilesNamed = 3;

// A holder of the volume: its process id and image file name ("WINWORD.EXE"),
// and what else the finder that found it knows.
struct Blocker {
    Blocker() = default;
    Blocker(std::uint32_t id, std::string name) : processId(id), imageName(std::move(name)) {}

    std::uint32_t processId = 0;
    std::string imageName;
    BlockerKind kind = BlockerKind::Process;
    // The first files or folders on the volume it holds, as paths on the
    // drive letter where they can be told; a folder window's folder.
    std::vector<std::string> files;
    // All of them; 0 when the finder cannot tell (the system's record).
    std::size_t fileCount = 0;
    // When the process started (UTC, 100-ns units since 1601), which with
    // its id tells it from a later process given the same id; 0 unknown.
    std::uint64_t startTime = 0;
    // A folder window's own window.
    WindowId window = 0;

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
    // Whether it ended having looked everywhere it looks, not cut short by
    // its bound: then whoever it did not find holds nothing it can see.
    virtual bool exhaustive() { return false; }
};

class BlockerFinder : NonCopyable {
  public:
    virtual ~BlockerFinder() = default;
    // Starts a search of its own, independent of any other still running;
    // null when none could be started.
    virtual std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) = 0;
};

// Adds a holder, or the files of one that is there already (the same
// process, or the same folder window).
void AddBlocker(std::vector<Blocker>& list, Blocker blocker);

}  // namespace qm
