#include "platform/file_system_win32.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/extended_path.h"
#include "platform/handles_win32.h"
#include "platform/path_rules.h"
#include "platform/text_lines.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// Without this an empty floppy, card-reader slot or CD drive makes the
// system ask for a disk in a box of its own. For the calling thread only:
// drives are also asked from worker threads, side by side.
class QuietMediaErrors {
  public:
    QuietMediaErrors() {
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode_);
    }
    ~QuietMediaErrors() { SetThreadErrorMode(oldMode_, nullptr); }
    QuietMediaErrors(const QuietMediaErrors&) = delete;
    QuietMediaErrors& operator=(const QuietMediaErrors&) = delete;

  private:
    DWORD oldMode_ = 0;
};

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// Joined in UTF-8: in a double-byte code page a character may end in the
// byte of '\'.
std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || endsWithSeparator(folder)) return folder + name;
    return folder + '\\' + name;
}

// The full path the system would use for a path relative to the working
// folder; the path itself where it cannot say.
std::string fullPath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()),
                                         full.data(), nullptr);
        if (n == 0) return path;
        if (n < full.size()) return Utf8FromWide(std::wstring_view(full.data(), n));
        full.assign(n, L'\0');
    }
    return path;
}

// The system counts from "no root folder" (1); the kinds start at removable.
int driveKind(UINT type) {
    if (type >= DRIVE_REMOVABLE && type <= DRIVE_RAMDISK) return static_cast<int>(type) - 1;
    return kDriveKindUnknown;
}

char upperLetter(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

constexpr DWORD kSettableFolderBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// Attributes SetFileAttributesA takes besides those; the others are the
// file system's own.
constexpr DWORD kKeptFolderBits = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                  FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

}  // namespace

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
    return file && writeAll(file.get(), bytes);
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

bool FileSystemWin32::driveExists(char letter) { return DriveIn(GetLogicalDrives(), letter); }

std::uint32_t FileSystemWin32::mappedDrives() { return GetLogicalDrives(); }

int FileSystemWin32::driveType(char letter) {
    const char upper = upperLetter(letter);
    if (upper < 'A' || upper > 'Z') return kDriveKindUnknown;
    const std::string root{upper, ':', '\\'};
    return driveKind(GetDriveTypeA(root.c_str()));
}

std::optional<DriveProperties> FileSystemWin32::driveProperties(char letter) {
    const char upper = upperLetter(letter);
    if (upper < 'A' || upper > 'Z') return std::nullopt;
    const std::string root{upper, ':', '\\'};
    DriveProperties properties;
    const UINT type = GetDriveTypeA(root.c_str());
    // A mapped letter has a root; the list of mapped letters is asked for
    // only when it seems to have none.
    if (type == DRIVE_NO_ROOT_DIR && !driveExists(upper)) return std::nullopt;
    properties.driveType = driveKind(type);

    QuietMediaErrors quiet;
    char volumeName[MAX_PATH + 1] = {};
    char fileSystemName[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (!GetVolumeInformationA(root.c_str(), volumeName, sizeof volumeName, &serial, nullptr,
                               nullptr, fileSystemName, sizeof fileSystemName)) {
        return properties;
    }
    properties.isReady = true;
    properties.volumeName = codePage_.fromAnsi(volumeName);
    properties.serialNumber = static_cast<std::int32_t>(serial);
    properties.fileSystemName = codePage_.fromAnsi(fileSystemName);
    ULARGE_INTEGER available{}, total{}, free{};
    if (GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) {
        properties.totalSize = total.QuadPart;
        properties.freeSpace = free.QuadPart;
        properties.availableSpace = available.QuadPart;
    }
    return properties;
}

bool FileSystemWin32::deleteFile(const std::string& path) {
    return DeleteFileA(codePage_.toAnsi(path).c_str()) != FALSE;
}

bool FileSystemWin32::deleteFileForced(const std::string& path) {
    const std::string ansi = codePage_.toAnsi(path);
    const DWORD attributes = GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA(ansi.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
    }
    return DeleteFileA(ansi.c_str()) != FALSE;
}

bool FileSystemWin32::removeFolderTree(const std::string& path) {
    QuietMediaErrors quiet;
    // Extended paths throughout: the system would drop the trailing dots
    // of "Made by Quillmoor..", and then find no such folder to remove.
    const std::wstring root = WideFromUtf8(ExtendedLengthPath(path));
    const DWORD rootAttributes = GetFileAttributesW(root.c_str());
    if (rootAttributes == INVALID_FILE_ATTRIBUTES ||
        (rootAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // Folders in the order found, so that each comes after its parent and
    // goes before it; no recursion, so no depth can exhaust the stack.
    struct Folder {
        std::wstring path;
        bool link;
    };
    std::vector<Folder> folders{{root, (rootAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0}};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const Folder folder = folders[i];
        SetFileAttributesW(folder.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A link is removed as it is: what it points to is not ours.
        if (folder.link) continue;
        WIN32_FIND_DATAW found{};
        UniqueFindHandle search(FindFirstFileW((folder.path + L"\\*").c_str(), &found));
        if (!search) continue;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder.path + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                folders.push_back(
                    {child, (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search.get(), &found));
    }
    for (std::size_t i = folders.size(); i-- > 1;) RemoveDirectoryW(folders[i].path.c_str());
    return RemoveDirectoryW(root.c_str()) != FALSE;
}

bool FileSystemWin32::createEmptyTextFile(const std::string& path) {
    UniqueFileHandle file(CreateFileA(codePage_.toAnsi(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

bool FileSystemWin32::createFolder(const std::string& path) {
    return CreateDirectoryA(codePage_.toAnsi(path).c_str(), nullptr) != FALSE;
}

bool FileSystemWin32::setFolderAttributes(const std::string& path, int bits) {
    const std::string ansi = codePage_.toAnsi(path);
    const DWORD current = GetFileAttributesA(ansi.c_str());
    if (current == INVALID_FILE_ATTRIBUTES || (current & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    const DWORD wanted =
        (current & kKeptFolderBits) | (static_cast<DWORD>(bits) & kSettableFolderBits);
    return SetFileAttributesA(ansi.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

std::optional<int> FileSystemWin32::folderAttributes(const std::string& path) {
    const DWORD current = GetFileAttributesA(codePage_.toAnsi(path).c_str());
    if (current == INVALID_FILE_ATTRIBUTES || (current & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::nullopt;
    }
    return static_cast<int>(current & kSettableFolderBits);
}

bool FileSystemWin32::copyFolder(const std::string& from, const std::string& to) {
    if (!folderExists(from)) return false;
    // A copy into the folder itself would find itself again and again.
    if (IsSameOrInsideFolder(fullPath(from), fullPath(to))) return false;
    if (!folderExists(to) && !createFolder(to)) return false;
    for (const std::string& name : listFiles(from)) {
        if (!copyFile(joinPath(from, name), joinPath(to, name))) return false;
    }
    for (const std::string& name : listSubfolders(from)) {
        if (!copyFolder(joinPath(from, name), joinPath(to, name))) return false;
    }
    return true;
}

CopyResult FileSystemWin32::copyFile(const std::string& from, const std::string& to) {
    if (CopyFileA(codePage_.toAnsi(from).c_str(), codePage_.toAnsi(to).c_str(), FALSE)) {
        return {true, {}};
    }
    return {false, SystemErrorText(GetLastError())};
}

std::vector<std::string> FileSystemWin32::listNames(const std::string& path, bool folders) {
    std::vector<std::string> names;
    QuietMediaErrors quiet;
    WIN32_FIND_DATAA found{};
    UniqueFindHandle search(FindFirstFileA(codePage_.toAnsi(joinPath(path, "*")).c_str(), &found));
    if (!search) return names;
    do {
        const std::string_view name = found.cFileName;
        if (name == "." || name == "..") continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders) names.push_back(codePage_.fromAnsi(name));
    } while (FindNextFileA(search.get(), &found));
    return names;
}

std::vector<std::string> FileSystemWin32::listSubfolders(const std::string& path) {
    return listNames(path, true);
}

std::vector<std::string> FileSystemWin32::listFiles(const std::string& path) {
    return listNames(path, false);
}

std::optional<std::vector<std::string>> FileSystemWin32::readTextLines(const std::string& path) {
    UniqueFileHandle file(CreateFileA(codePage_.toAnsi(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    std::vector<char> chunk(1u << 16);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(chunk.data(), got);
    }
    std::vector<std::string> lines = SplitTextLines(bytes);
    for (std::string& line : lines) line = codePage_.fromAnsi(line);
    return lines;
}

bool FileSystemWin32::writeBytesAt(const std::string& path, std::uint64_t offset,
                                   std::string_view bytes) {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    UniqueFileHandle file(CreateFileA(codePage_.toAnsi(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file) return false;
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && writeAll(file.get(), bytes);
}

FileSystem::FileHandle FileSystemWin32::openForWriting(const std::string& path, bool append) {
    HANDLE file = CreateFileA(codePage_.toAnsi(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const LARGE_INTEGER zero{};
    const bool placed = append ? SetFilePointerEx(file, zero, nullptr, FILE_END) != FALSE
                               : SetEndOfFile(file) != FALSE;
    if (!placed) {
        CloseHandle(file);
        return 0;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool FileSystemWin32::writeFile(FileHandle file, std::string_view bytes) {
    return file != 0 && writeAll(reinterpret_cast<HANDLE>(file), bytes);
}

void FileSystemWin32::closeFile(FileHandle file) {
    if (file != 0) CloseHandle(reinterpret_cast<HANDLE>(file));
}

std::optional<std::uint64_t> FileSystemWin32::fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(codePage_.toAnsi(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Removing an installation: wide calls, so that a temporary folder under a
// user name outside the ANSI code page is reached too.

namespace {

FileOutcome outcomeOf(BOOL ok) {
    if (ok) return {true, {}};
    return {false, SystemErrorText(GetLastError())};
}

}  // namespace

FileOutcome FileSystemWin32::eraseFile(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(wide.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL);
    }
    return outcomeOf(DeleteFileW(wide.c_str()));
}

FileOutcome FileSystemWin32::eraseEmptyFolder(const std::string& path) {
    return outcomeOf(RemoveDirectoryW(WideFromUtf8(path).c_str()));
}

FileOutcome FileSystemWin32::moveFile(const std::string& from, const std::string& to) {
    // Without MOVEFILE_COPY_ALLOWED: a rename within the drive, which the
    // system allows for a running program's file.
    return outcomeOf(MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), 0));
}

bool FileSystemWin32::deleteAtRestart(const std::string& path) {
    return MoveFileExW(WideFromUtf8(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

std::string FileSystemWin32::tempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return {};
    std::string folder = Utf8FromWide(std::wstring_view(buffer, n));
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace qm
