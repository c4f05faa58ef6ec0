// Entry point of the installer: builds the Win32 platform, the wizard
// window and frmSETUP, which copies everything beside setup.exe.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "platform/code_page_win32.h"
#include "platform/event_loop_win32.h"
#include "platform/file_system_win32.h"
#include "platform/messenger_win32.h"
#include "platform/processes_win32.h"
#include "platform/profile_win32.h"
#include "platform/shell_win32.h"
#include "setup/setup_window_win32.h"
#include "setup/setup_wizard.h"

namespace {

std::wstring modulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string toUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                            nullptr);
    }
    return s;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The folder browser is a shell object: COM for the whole run.
class ComScope {
  public:
    ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool ok_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    ComScope com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    qm::CodePageWin32 codePage;
    qm::FileSystemWin32 files(codePage);
    qm::ProfileWin32 profile(codePage);
    qm::ProcessesWin32 processes;
    qm::EventLoopWin32 loop;
    qm::ShellWin32 shell;
    qm::MessengerWin32 messenger;

    // Everything beside setup.exe is what gets installed.
    const std::string sourceDir = folderOf(toUtf8(modulePath()));

    // Made before the model and so gone after it; both outlive every
    // handler, which all run inside the message loop below.
    qm::SetupWindowWin32 window(instance, codePage);
    if (!window.create()) return 1;
    qm::frmSETUP setup(window, qm::SetupDeps{profile, files, processes, loop, shell, codePage,
                                             messenger, sourceDir});
    window.attach(setup);
    window.show(showState == SW_HIDE ? SW_SHOWNORMAL : showState);
    setup.onLoad();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (window.preTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
