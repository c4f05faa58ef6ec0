#pragma once
// Libraries that are no Known DLLs (WinINet, WinMM, ...). Named in the
// import table, Windows would look for them in the program's own folder
// before any of our code runs, and an installer or an elevated run started
// from a download folder would load whatever lies there. So they are loaded
// here, from the system folder only, when first needed.
#include <windows.h>

namespace qm {

// The library from the system folder; null when it is not there. It stays
// loaded for the rest of the run: callers keep its functions.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// A function of such a library by name; null when the library or the
// function is missing.
template <typename F>
F SystemFunction(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace qm
