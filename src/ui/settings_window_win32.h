#pragma once
// The real window "分区免疫设置": a top-level window with the drive list
// (one child window per drive row) and its two buttons, every text in a
// child control of its own so that tools can read it.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/ui_kit_win32.h"
#include "ui/disk_list.h"
#include "ui/settings_window.h"

namespace qm {

class SettingsFormWin32;

// One per program. The window itself comes and goes; each opening gets a
// fresh window with its own list, which frees itself once the window is
// gone and no call of it is left on the stack.
class SettingsWindowWin32 final : public SettingsWindowList {
  public:
    SettingsWindowWin32(HINSTANCE instance, Profile& profile, FileSystem& files, EventLoop& loop,
                        const std::string& installDir, std::function<void()> refresh,
                        ImmunityActions actions, std::function<HICON()> programIcon);
    // Destroys a window still open without calling back into the program.
    ~SettingsWindowWin32() override;
    SettingsWindowWin32(const SettingsWindowWin32&) = delete;
    SettingsWindowWin32& operator=(const SettingsWindowWin32&) = delete;

    void ShowSettingsWindow() override;
    bool IsSettingsWindowOpen() override;
    void aClearAll() override;
    void AddItem(const std::string& root, const std::string& caption,
                 const std::string& serial) override;

    // Keyboard navigation (Tab, the buttons' access keys) for the message
    // loop: true when the message was the window's and has been handled.
    bool preTranslate(MSG& msg);

  private:
    friend class SettingsFormWin32;
    void forget(SettingsFormWin32* form);

    HINSTANCE instance_;
    Profile& profile_;
    FileSystem& files_;
    EventLoop& loop_;
    std::string diskIni_;
    std::function<void()> refresh_;
    ImmunityActions actions_;
    std::function<HICON()> programIcon_;
    UniqueFont font_;
    SettingsFormWin32* current_ = nullptr;
};

}  // namespace qm
