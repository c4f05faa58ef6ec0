#include "platform/process_hardening_win32.h"

#include <windows.h>

namespace qm {

void HardenProcess() {
    // Looked up at run time: older systems lack the call (and an update
    // may add it); without it the working folder at least leaves the search.
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    bool restricted = false;
    if (const HMODULE kernel32 = GetModuleHandleA("kernel32.dll")) {
        const auto set = reinterpret_cast<SetDefaultDirectories>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
        restricted = set != nullptr && set(kSearchSystem32) != FALSE;
    }
    if (!restricted) SetDllDirectoryA("");
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace qm
