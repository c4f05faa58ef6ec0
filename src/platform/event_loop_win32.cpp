#include "platform/event_loop_win32.h"

#include <windows.h>

namespace qm {

void EventLoopWin32::pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Put it back for the main loop, which alone ends the program.
            PostQuitMessage(static_cast<int>(msg.wParam));
            quit_ = true;
            return;
        }
        dispatch(msg);
    }
}

void EventLoopWin32::dispatch(MSG& msg) {
    // A filter may pump too and so replace itself: it runs from a copy.
    if (MessageFilter filter = filter_; filter && filter(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void EventLoopWin32::waitForMessage(std::uint32_t milliseconds) {
    if (quit_) return;
    // MWMO_INPUTAVAILABLE: a message already queued but seen by an earlier
    // peek ends the wait too.
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

std::uint32_t EventLoopWin32::tickCount() { return GetTickCount(); }

std::uint64_t EventLoopWin32::systemTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::string EventLoopWin32::localTimestamp() {
    std::string date;
    if (int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, nullptr, 0);
        n > 0) {
        date.resize(static_cast<std::size_t>(n));
        n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date.data(), n);
        date.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    }
    std::string time;
    if (int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, nullptr, 0); n > 0) {
        time.resize(static_cast<std::size_t>(n));
        n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time.data(), n);
        time.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    }
    return codePage_.fromAnsi(date + " " + time);
}

}  // namespace qm
