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

std::optional<std::uint32_t> FileSystemWin32::volumeSerial(const std::string& root) {
    // No error box for an empty floppy or CD drive.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    DWORD serial = 0;
    const BOOL ok = GetVolumeInformationA(codePage_.toAnsi(root).c_str(), nullptr, 0, &serial,
                                          nullptr, nullptr, nullptr, 0);
    SetErrorMode(oldMode);
    if (!ok) return std::nullopt;
    return static_cast<std::uint32_t>(serial);
}

}  // namespace qm
