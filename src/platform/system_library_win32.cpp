#include "platform/system_library_win32.h"

#include <string>
#include <vector>

namespace qm {

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    // The library and what it imports itself come from the system folder.
    HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // A Windows 7 without the update that brought the search flags: the full
    // path, its imports looked for beside it first.
    std::vector<wchar_t> folder(MAX_PATH + 1);
    UINT n = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (n >= folder.size()) {
        folder.resize(n + 1);
        n = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    }
    if (n == 0 || n >= folder.size()) return nullptr;
    const std::wstring path = std::wstring(folder.data(), n) + L"\\" + fileName;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace qm
