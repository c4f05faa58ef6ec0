#include "platform/file_system_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/handles_win32.h"

namespace qm {

bool FileSystemWin32::fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(codePage_.toAnsi(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileSystemWin32::folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(codePage_.toAnsi(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileSystemWin32::appendBytes(const std::string& path, std::string_view bytes) {
    // Shared for reading and writing so that a log can be watched, or written
    // by a second instance, while it grows.
    UniqueFileHandle file(CreateFileA(codePage_.toAnsi(path).c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace qm
