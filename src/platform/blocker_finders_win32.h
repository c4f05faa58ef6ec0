#pragma once
// The ways of finding who holds a volume, each search on a worker of its
// own: the System log's records of refused removals, the open files of
// this user's processes, and the shell's folder windows.
#include "platform/blockers.h"

namespace qm {

// Records of the kernel's Plug and Play manager (event 225) about the
// query's devices since the eject began, read through the event log API,
// which is looked up when asked (systems before 8 write no such record).
class VetoEventFinderWin32 final : public BlockerFinder {
  public:
    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;
};

// The handles of this user's other processes that are files on the volume,
// and the processes of any user started from a program file on it. Each
// handle is asked for its path within a bound, so a pipe or a hung handle
// costs its bound and nothing more.
class OpenFileFinderWin32 final : public BlockerFinder {
  public:
    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;
};

// The shell's folder windows that show a folder on the volume, from the
// shell's own list of its windows. The shell answers across processes and
// without a bound, so at most two of these searches run at a time.
class FolderWindowFinderWin32 final : public BlockerFinder {
  public:
    std::unique_ptr<BlockerSearch> start(const BlockerQuery& query) override;
};

}  // namespace qm
