#include "core/main_window_win32.h"

#include <vector>


namespace qm {
namespace {

constexpr WORD kProgramIconId = 1;

// Lets the shell's "TaskBarCreated" and the installer's quit request through
// the window's message filter: a tray program started elevated would
// otherwise never hear a restarted (unelevated) shell, and an installer of
// another integrity level could not ask it to quit. The call exists from
// Windows 7 on; without it there is no filter to pass.
void allowMessagesFromOtherIntegrityLevels(HWND hwnd) {
    using ChangeFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr) return;
    const auto change = reinterpret_cast<ChangeFilterEx>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    if (change == nullptr) return;
    constexpr DWORD kMsgFltAllow = 1;
    change(hwnd, RegisterWindowMessageA(kTaskbarCreatedMessage), kMsgFltAllow, nullptr);
    change(hwnd, kQuitRequestMsg, kMsgFltAllow, nullptr);
}

BOOL CALLBACK collectThreadWindow(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

}  // namespace

MainWindowWin32::MainWindowWin32(HINSTANCE instance, CodePage& codePage)
    : instance_(instance), codePage_(codePage) {
    bigIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(kProgramIconId),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    smallIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(kProgramIconId),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

MainWindowWin32::~MainWindowWin32() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

WindowId MainWindowWin32::createMainWindow(const std::string& caption) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MainWindowWin32::windowProc;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    RegisterClassExA(&wc);
    // A top-level window, not a message-only one: only top-level windows
    // receive the shell's and the system's broadcasts. The tool-window style
    // keeps it off the taskbar should anything ever show it.
    const std::string ansiCaption = codePage_.toAnsi(caption);
    hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kMainWindowClass, ansiCaption.c_str(),
                            WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr,
                            nullptr, instance_, this);
    if (hwnd_ != nullptr) allowMessagesFromOtherIntegrityLevels(hwnd_);
    return reinterpret_cast<WindowId>(hwnd_);
}

IconId MainWindowWin32::programIcon() { return reinterpret_cast<IconId>(smallIcon_); }

void MainWindowWin32::unloadMainWindow() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void MainWindowWin32::unloadOtherWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &collectThreadWindow,
                      reinterpret_cast<LPARAM>(&windows));
    for (HWND w : windows) {
        if (w != hwnd_ && IsWindow(w)) DestroyWindow(w);
    }
}

LRESULT CALLBACK MainWindowWin32::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT MainWindowWin32::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (app_ != nullptr) {
        if (auto result = app_->windowProc(msg, wParam, lParam)) return *result;
    }
    switch (msg) {
        case WM_CLOSE:
            // Whoever closes the main window ends the program the orderly way.
            if (app_ != nullptr) {
                app_->QuitApp();
            } else {
                DestroyWindow(hwnd);
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Windows ends the process after this message without destroying
            // the window: log the exit and remove the icon now.
            if (wParam != 0 && app_ != nullptr) app_->onMainWindowUnloaded();
            return 0;
        case WM_DESTROY:
            if (app_ != nullptr) app_->onMainWindowUnloaded();
            hwnd_ = nullptr;
            // A tray menu still open runs its own message loop, which would
            // take the quit message and drop it: the program would never
            // end. The menu is ended, and this message ends its loop first.
            EndMenu();
            PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qm
