// qmminwin: the least a tray program can do before it is reachable — create a
// hidden top-level window and publish its handle in Setting.ini beside the exe.
// The start-up benchmark times Quillmoor.exe against this floor.

#include <windows.h>

#include <string>

namespace {

// Same quit request as the tray program, so the benchmark stops both alike.
constexpr UINT kQuitRequestMsg = WM_USER + 1;
constexpr WPARAM kQuitRequestCode = 1001;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kQuitRequestMsg && wp == kQuitRequestCode) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

std::string settingsPath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos) folder.resize(slash);
    return folder + "\\Setting.ini";
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "QmMinWin";
    if (!RegisterClassA(&wc)) return 1;
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "qmminwin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) return 1;
    std::string value = std::to_string(static_cast<long long>(static_cast<INT32>(reinterpret_cast<INT_PTR>(hwnd))));
    WritePrivateProfileStringA("HWND", "Value", value.c_str(), settingsPath().c_str());

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
