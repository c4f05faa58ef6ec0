#include "platform/messenger_win32.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace qm {
namespace {

struct WindowSearch {
    DWORD processId;  // 0: any process
    const std::string* className;
    std::vector<WindowId> found;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (search.processId != 0 && owner != search.processId) return TRUE;
    char name[256] = {};
    const int n = GetClassNameA(hwnd, name, static_cast<int>(sizeof name));
    if (n > 0 && lstrcmpiA(name, search.className->c_str()) == 0) {
        search.found.push_back(reinterpret_cast<WindowId>(hwnd));
    }
    return TRUE;
}

}  // namespace

bool MessengerWin32::sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam, std::uint32_t timeoutMs) {
    const HWND target = windowFromId(window);
    if (target == nullptr || !IsWindow(target)) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(target, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                               timeoutMs, &result) != 0;
}

std::optional<std::uint32_t> MessengerWin32::windowProcess(WindowId window) {
    const HWND target = windowFromId(window);
    if (target == nullptr || !IsWindow(target)) return std::nullopt;
    DWORD owner = 0;
    if (GetWindowThreadProcessId(target, &owner) == 0 || owner == 0) return std::nullopt;
    return static_cast<std::uint32_t>(owner);
}

std::vector<WindowId> MessengerWin32::topLevelWindows(std::uint32_t processId,
                                                      const std::string& className) {
    WindowSearch search{processId, &className, {}};
    EnumWindows(&collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<WindowId> MessengerWin32::windowsOfClass(const std::string& className) {
    return topLevelWindows(0, className);
}

}  // namespace qm
