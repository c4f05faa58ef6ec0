#include "platform/messenger_win32.h"

#include <windows.h>

namespace qm {

bool MessengerWin32::sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam, std::uint32_t timeoutMs) {
    const HWND target = reinterpret_cast<HWND>(window);
    if (target == nullptr || !IsWindow(target)) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(target, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                               timeoutMs, &result) != 0;
}

}  // namespace qm
