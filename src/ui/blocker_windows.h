#pragma once
// The windows that list who holds a drive, as the tray program drives
// them: one per drive letter, opened by a refused eject, closed when their
// drive goes or the program ends.
#include <functional>
#include <string>
#include <vector>

#include "ui/blocker_window.h"

namespace qm {

class BlockerWindows {
  public:
    virtual ~BlockerWindows() = default;
    // A refused eject found holders: the drive's window lists them, opened
    // if it is not open yet.
    virtual void showHolders(const HeldDrive& drive) = 0;
    // After each drive table refresh: the windows of drives no longer there close.
    virtual void keepDrives(
        const std::function<bool(char letter, const std::string& serial)>& present) = 0;
    // The program ends: every window closes without calling back into it.
    virtual void closeAll() = 0;
};

// Makes one window and its model; null when no window could be made. The
// model lives as long as its window and tells the set when it goes.
class BlockerViewFactory {
  public:
    virtual ~BlockerViewFactory() = default;
    virtual BlockerWindow* openWindow(const HeldDrive& drive) = 0;
};

// The windows that are open, by drive letter. Every call closing a window
// may end up freeing it, so each acts on a copy of the list and looks
// every window up again before it touches it.
class BlockerWindowSet final : public BlockerWindows {
  public:
    explicit BlockerWindowSet(BlockerViewFactory& factory) : factory_(factory) {}
    ~BlockerWindowSet() override;
    BlockerWindowSet(const BlockerWindowSet&) = delete;
    BlockerWindowSet& operator=(const BlockerWindowSet&) = delete;

    void showHolders(const HeldDrive& drive) override;
    void keepDrives(
        const std::function<bool(char letter, const std::string& serial)>& present) override;
    void closeAll() override;

    // The open window of a drive letter; null when there is none.
    BlockerWindow* windowOf(char letter) const;
    std::size_t openCount() const;

  private:
    bool known(const BlockerWindow* window) const;
    void forget(BlockerWindow* window);

    BlockerViewFactory& factory_;
    std::vector<BlockerWindow*> windows_;
};

}  // namespace qm
