#pragma once
// The hidden main window that receives the program's messages.
#include <windows.h>

#include "core/tray_app.h"
#include "platform/code_page.h"

namespace qm {

class MainWindowWin32 final : public MainWindowHost {
public:
    explicit MainWindowWin32(HINSTANCE instance);
    ~MainWindowWin32() override;
    MainWindowWin32(const MainWindowWin32&) = delete;
    MainWindowWin32& operator=(const MainWindowWin32&) = delete;

    // Messages go to the app from the moment the window exists.
    void attach(TrayApp& app) { app_ = &app; }

    WindowId createMainWindow(const std::string& caption) override;
    IconId programIcon() override;
    HWND handle() const { return hwnd_; }
    void unloadMainWindow() override;
    void unloadOtherWindows() override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    TrayApp* app_ = nullptr;
    HWND hwnd_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
};

}  // namespace qm
