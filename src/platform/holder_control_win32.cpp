#include "platform/holder_control_win32.h"

#include <windows.h>

#include <vector>

#include "platform/handles_win32.h"
#include "platform/process_facts_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// What ending a process costs it: the code it leaves with.
constexpr UINT kEndedExitCode = 1;

bool stillRunning(HANDLE process) {
    DWORD code = 0;
    return GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
}

// The system's mark on the processes it cannot do without; systems before
// 8.1 have no call for it and answer no.
bool isCritical(HANDLE process) {
    using IsProcessCriticalFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const auto query = reinterpret_cast<IsProcessCriticalFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsProcessCritical")));
    BOOL critical = FALSE;
    return query != nullptr && query(process, &critical) && critical;
}

// The caption as the system keeps it: for another process's window no
// message is sent, so a program that hangs cannot hold us up.
std::string titleOf(HWND hwnd) {
    wchar_t text[512] = {};
    const int n = InternalGetWindowText(hwnd, text, static_cast<int>(sizeof text / sizeof text[0]));
    return n > 0 ? Utf8FromWide(std::wstring_view(text, static_cast<std::size_t>(n)))
                 : std::string();
}

struct WindowSearch {
    DWORD processId;
    std::vector<ProgramWindow> found;
};

BOOL CALLBACK collectProgramWindow(HWND hwnd, LPARAM lParam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search.processId || !IsWindowVisible(hwnd) ||
        GetWindow(hwnd, GW_OWNER) != nullptr) {
        return TRUE;
    }
    search.found.push_back(
        ProgramWindow{reinterpret_cast<WindowId>(hwnd), titleOf(hwnd), IsIconic(hwnd) != FALSE});
    return TRUE;
}

}  // namespace

std::uint32_t HolderControlWin32::ownProcessId() { return GetCurrentProcessId(); }

std::uint32_t HolderControlWin32::ownSessionId() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : 0;
}

ProcessFacts HolderControlWin32::processFacts(std::uint32_t processId) {
    ProcessFacts facts;
    // The least right there is: granted for other users' processes too.
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        facts.state =
            GetLastError() == ERROR_INVALID_PARAMETER ? ProcessState::Gone : ProcessState::Hidden;
        DWORD session = 0;
        if (ProcessIdToSessionId(processId, &session)) facts.sessionId = session;
        return facts;
    }
    if (!stillRunning(process.get())) return facts;
    facts.state = ProcessState::Running;
    facts.startTime = ProcessStartTime(process.get());
    DWORD session = 0;
    if (ProcessIdToSessionId(processId, &session)) facts.sessionId = session;
    const std::vector<BYTE> user = ProcessUserSid(process.get());
    facts.userKnown = !user.empty();
    facts.sameUser = facts.userKnown && user == ProcessUserSid(GetCurrentProcess());
    facts.critical = isCritical(process.get());
    facts.imagePath = ProcessImagePath(process.get());
    return facts;
}

std::vector<ProgramWindow> HolderControlWin32::programWindows(std::uint32_t processId) {
    WindowSearch search{processId, {}};
    EnumWindows(&collectProgramWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<std::uint32_t> HolderControlWin32::windowProcess(WindowId window) {
    const HWND hwnd = windowFromId(window);
    if (hwnd == nullptr || !IsWindow(hwnd)) return std::nullopt;
    DWORD owner = 0;
    if (GetWindowThreadProcessId(hwnd, &owner) == 0 || owner == 0) return std::nullopt;
    return static_cast<std::uint32_t>(owner);
}

std::string HolderControlWin32::windowTitle(WindowId window) {
    const HWND hwnd = windowFromId(window);
    return hwnd != nullptr && IsWindow(hwnd) ? titleOf(hwnd) : std::string();
}

bool HolderControlWin32::bringToFront(WindowId window) {
    const HWND hwnd = windowFromId(window);
    if (hwnd == nullptr || !IsWindow(hwnd)) return false;
    // Asynchronous: a program that hangs does not hang us.
    if (IsIconic(hwnd)) ShowWindowAsync(hwnd, SW_RESTORE);
    // The user just clicked our window, so ours is the foreground to give.
    return SetForegroundWindow(hwnd) != FALSE;
}

bool HolderControlWin32::postClose(WindowId window) {
    const HWND hwnd = windowFromId(window);
    return hwnd != nullptr && IsWindow(hwnd) && PostMessageW(hwnd, WM_CLOSE, 0, 0) != FALSE;
}

EndOutcome HolderControlWin32::endProcess(std::uint32_t processId, std::uint64_t startTime) {
    UniqueKernelHandle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        return GetLastError() == ERROR_INVALID_PARAMETER ? EndOutcome::Gone : EndOutcome::Refused;
    }
    // Held open, the id cannot pass to another process: what is checked
    // here is what is ended.
    if (!stillRunning(process.get()) ||
        (startTime != 0 && ProcessStartTime(process.get()) != startTime)) {
        return EndOutcome::Gone;
    }
    return TerminateProcess(process.get(), kEndedExitCode) ? EndOutcome::Ended
                                                           : EndOutcome::Refused;
}

}  // namespace qm
