#pragma once
// The popup's real windows: one frameless, always-on-top window per notice,
// with a child control for every picture and text so that tools can read them.
#include <windows.h>

#include <functional>
#include <set>
#include <string>

#include "common/notices.h"
#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/ui_kit_win32.h"

namespace qm {

class AlertPopupWin32;

// Opens a new popup for every notice the gate lets through. Each popup lives
// until its window is destroyed and then frees itself.
class AlertPopupFactoryWin32 final : public PopupFactory {
  public:
    AlertPopupFactoryWin32(HINSTANCE instance, CodePage& codePage, Profile& profile,
                           FileSystem& files, EventLoop& loop, std::string installDir,
                           std::function<void()> trimMemory);
    // Destroys the popups still open without calling back into the program.
    ~AlertPopupFactoryWin32() override;
    AlertPopupFactoryWin32(const AlertPopupFactoryWin32&) = delete;
    AlertPopupFactoryWin32& operator=(const AlertPopupFactoryWin32&) = delete;

    // The gate and the immuniser are built after this factory, since both
    // lead back to it; notices arriving before this are dropped.
    void connect(NoticeKeys& keys, DriveImmuniser& immuniser);
    // Popups owned by the hidden main window get no taskbar button of their own.
    void setOwner(std::function<HWND()> owner) { owner_ = std::move(owner); }

    bool OpenPopup(const std::string& sTitle, const std::string& sContent, NoticePicture sICON,
                   int sType, const std::string& sDisk) override;

    // Shared by every popup, made for the screen's scale.
    struct Resources {
        Scale scale;
        UniqueFont song, songBold, songUnderline;
        UniqueIcon pictures[3];
    };

  private:
    friend class AlertPopupWin32;
    void forget(AlertPopupWin32* popup) { open_.erase(popup); }

    HINSTANCE instance_;
    CodePage& codePage_;
    Profile& profile_;
    FileSystem& files_;
    EventLoop& loop_;
    std::string installDir_;
    std::function<void()> trimMemory_;
    NoticeKeys* keys_ = nullptr;
    DriveImmuniser* immuniser_ = nullptr;
    std::function<HWND()> owner_;
    Resources resources_;
    std::set<AlertPopupWin32*> open_;
};

}  // namespace qm
