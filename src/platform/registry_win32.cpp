#include "platform/registry_win32.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace qm {
namespace {

HKEY rootKey(RegRoot root) {
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY keyOf(Registry::Key key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long RegistryWin32::createKey(RegRoot root, const std::string& path, std::uint32_t access,
                              Key& out) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status =
        RegCreateKeyExA(rootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &key, &disposition);
    out = status == ERROR_SUCCESS ? reinterpret_cast<Key>(key) : 0;
    return status;
}

long RegistryWin32::openKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(rootKey(root), path.c_str(), 0, access, &key);
    out = status == ERROR_SUCCESS ? reinterpret_cast<Key>(key) : 0;
    return status;
}

void RegistryWin32::closeKey(Key key) {
    if (key != 0) RegCloseKey(keyOf(key));
}

long RegistryWin32::setValue(Key key, const std::string& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
    return RegSetValueExA(keyOf(key), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size()));
}

RegQueryResult RegistryWin32::queryValue(Key key, const std::string& name,
                                         std::uint32_t bufferSize) {
    RegQueryResult result;
    try {
        // Never a null buffer: with one the call reports the size and success
        // instead of saying the buffer is too small.
        result.data.resize(std::max<std::uint32_t>(bufferSize, 1));
    } catch (const std::bad_alloc&) {
        result.status = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    DWORD type = REG_NONE;
    DWORD size = bufferSize;
    result.status =
        RegQueryValueExA(keyOf(key), name.c_str(), nullptr, &type, result.data.data(), &size);
    result.type = type;
    result.size = size;
    if (result.status == ERROR_SUCCESS) {
        result.data.resize(std::min<std::size_t>(size, bufferSize));
    } else {
        result.data.clear();
    }
    return result;
}

long RegistryWin32::deleteValue(Key key, const std::string& name) {
    return RegDeleteValueA(keyOf(key), name.c_str());
}

long RegistryWin32::deleteKey(RegRoot root, const std::string& path, std::uint32_t view) {
    return RegDeleteKeyExA(rootKey(root), path.c_str(), view & kRegView32, 0);
}

std::string RegistryWin32::expandEnvironment(const std::string& ansi) {
    DWORD needed = ExpandEnvironmentStringsA(ansi.c_str(), nullptr, 0);
    // The text may grow between the two calls; try again once with the new size.
    for (int attempt = 0; attempt < 2 && needed != 0; ++attempt) {
        // The A call has wanted one byte more than it says on some systems.
        std::string buffer(needed + 1, '\0');
        const DWORD n = ExpandEnvironmentStringsA(ansi.c_str(), buffer.data(), needed + 1);
        if (n == 0) return {};
        if (n <= needed + 1) return std::string(buffer.c_str());
        needed = n;
    }
    return {};
}

}  // namespace qm
