#pragma once
// The question of setup.exe /uninstall as a real window: the program's
// icon, the question's paragraphs, the check box "删除设置和日志", a line
// that follows the removal and the two buttons, each a child control, laid
// out at 96 dpi, grown with the screen's and widened for its texts.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/ui_kit_win32.h"
#include "setup/uninstall_dialog.h"
#include "setup/uninstall_layout.h"

namespace qm {

// Lives in WinMain's frame for the whole run, like the wizard's window:
// the removal pumps messages inside a handler, during which only the
// window handle may go away.
class UninstallWindowWin32 final : public UninstallWindowPort {
  public:
    explicit UninstallWindowWin32(HINSTANCE instance);
    ~UninstallWindowWin32() override;
    UninstallWindowWin32(const UninstallWindowWin32&) = delete;
    UninstallWindowWin32& operator=(const UninstallWindowWin32&) = delete;

    // Makes the window, hidden and centred, sized to the question; the box
    // ticked when asked for. False when it cannot be made.
    bool create(const std::vector<std::string>& question, bool purgeTicked);
    void attach(UninstallDialog& model) { model_ = &model; }
    void show(int showState);
    // Tab, Enter, Esc, Space on the check box and the access keys.
    bool preTranslate(MSG& msg) { return TranslateDialogKeys(hwnd_, msg); }

    void setStatus(const std::string& text) override;
    void enableAnswers(bool enabled) override;
    int messageBox(const std::string& text, std::uint32_t style) override;
    void close() override;

  private:
    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The window's boxes for its texts as its font draws them.
    UninstallLayout layOut(const std::vector<std::string>& question) const;
    void makeControls(const UninstallLayout& l, const std::vector<std::string>& question,
                      bool purgeTicked);
    void onWindowGone();

    HINSTANCE instance_;
    UninstallDialog* model_ = nullptr;
    Scale scale_;
    UniqueFont font_;
    UniqueIcon picture_;
    HWND hwnd_ = nullptr;
    HWND purge_ = nullptr, status_ = nullptr, uninstall_ = nullptr, cancel_ = nullptr;
    HWND lastFocus_ = nullptr;
};

}  // namespace qm
