#pragma once
// The real windows that list who holds a drive: one top-level window per
// drive letter with its rows (each a child window of text lines and an
// icon), a status line and six buttons, every text in a child control of
// its own.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/holder_control.h"
#include "ui/blocker_windows.h"

namespace qm {

class BlockerFormWin32;

// One per program, made after the tray program and gone before it. A
// window that goes is freed once no call of these windows is left on the
// stack, so that nothing any of them is in the middle of dangles.
class BlockerWindowsWin32 final : public BlockerWindows, private BlockerViewFactory {
  public:
    BlockerWindowsWin32(HINSTANCE instance, HolderControl& control, BlockerFinder& follow,
                        EventLoop& loop, EventLog& log, EjectRunner& runner,
                        std::function<HICON()> programIcon);
    // Destroys windows still open without calling back into the program.
    ~BlockerWindowsWin32() override;
    BlockerWindowsWin32(const BlockerWindowsWin32&) = delete;
    BlockerWindowsWin32& operator=(const BlockerWindowsWin32&) = delete;

    void showHolders(const HeldDrive& drive) override;
    void keepDrives(
        const std::function<bool(char letter, const std::string& serial)>& present) override;
    void closeAll() override;

    // Keyboard navigation (Tab, access keys, Enter, Esc) for the message
    // loop: true when the message was one of these windows' and is handled.
    bool preTranslate(MSG& msg);

    // Held by every call into these windows; the last one out frees the
    // windows that went meanwhile.
    class Enter {
      public:
        explicit Enter(BlockerWindowsWin32& owner) : owner_(owner) { ++owner_.depth_; }
        ~Enter() {
            if (--owner_.depth_ == 0) owner_.reap();
        }
        Enter(const Enter&) = delete;
        Enter& operator=(const Enter&) = delete;

      private:
        BlockerWindowsWin32& owner_;
    };

  private:
    friend class BlockerFormWin32;
    BlockerWindow* openWindow(const HeldDrive& drive) override;
    void reap();

    HINSTANCE instance_;
    BlockerWindowDeps deps_;
    std::function<HICON()> programIcon_;
    std::vector<std::unique_ptr<BlockerFormWin32>> forms_;
    int depth_ = 0;
    // Last, so that it goes first: it forgets the windows' models.
    BlockerWindowSet set_;
};

}  // namespace qm
