#include "platform/processes_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <climits>

#include "platform/handles_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// The full-access mask of the older systems; newer ones accept it too, while
// the older ones refuse the wider mask their successors' headers define.
constexpr DWORD kProcessAllAccess = 0x1F0FFF;

HANDLE nativeHandle(Processes::Handle process) { return reinterpret_cast<HANDLE>(process); }

}  // namespace

std::vector<ProcessInfo> ProcessesWin32::snapshot() {
    std::vector<ProcessInfo> list;
    // The snapshot answers INVALID_HANDLE_VALUE when it fails, as CreateFile does.
    UniqueFileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap.get(), &entry); more;
         more = Process32NextW(snap.get(), &entry)) {
        ProcessInfo info;
        info.id = entry.th32ProcessID;
        info.exeName = Utf8FromWide(entry.szExeFile);
        DWORD session = 0;
        if (ProcessIdToSessionId(entry.th32ProcessID, &session)) info.sessionId = session;
        list.push_back(std::move(info));
    }
    return list;
}

bool ProcessesWin32::terminate(std::uint32_t processId, std::uint32_t exitCode) {
    UniqueKernelHandle process(OpenProcess(kProcessAllAccess, FALSE, processId));
    return process && TerminateProcess(process.get(), exitCode) != FALSE;
}

Processes::Handle ProcessesWin32::start(const std::string& commandLine, int showState) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    const std::wstring wide = WideFromUtf8(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return 0;
    }
    // Only the process is waited on; its first thread is of no use.
    UniqueKernelHandle thread(info.hThread);
    return reinterpret_cast<Handle>(info.hProcess);
}

std::optional<std::uint32_t> ProcessesWin32::exitCode(Handle process) {
    DWORD code = 0;
    if (process == 0 || !GetExitCodeProcess(nativeHandle(process), &code)) return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

void ProcessesWin32::close(Handle process) {
    if (process != 0) CloseHandle(nativeHandle(process));
}

std::uint32_t ProcessesWin32::currentSessionId() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

void ProcessesWin32::trimWorkingSet(std::size_t minimum, std::size_t maximum) {
    // Only a hint to the memory manager: a refusal changes nothing for us.
    SetProcessWorkingSetSize(GetCurrentProcess(), minimum, maximum);
}

}  // namespace qm
