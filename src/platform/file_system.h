#pragma once
// Files and folders. Paths are UTF-8 Windows paths ("C:\dir\file").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/non_copyable.h"

namespace qm {

// Attribute bits of files and folders, as the system numbers them.
inline constexpr int kAttributeReadOnly = 1;
inline constexpr int kAttributeHidden = 2;
inline constexpr int kAttributeSystem = 4;

// What the system tells about a drive. A drive without a readable medium
// (an empty card-reader slot or CD drive) is not ready: then only the drive
// type is known, the names are empty, the serial number is absent and the
// sizes are 0.
struct DriveProperties {
    bool isReady = false;
    // 0 unknown, 1 removable, 2 fixed, 3 network, 4 CD-ROM, 5 RAM disk.
    int driveType = 0;
    std::string volumeName;
    std::optional<std::int32_t> serialNumber;
    std::string fileSystemName;
    std::uint64_t totalSize = 0;
    std::uint64_t freeSpace = 0;
    std::uint64_t availableSpace = 0;  // to this user, within any quota
};

inline constexpr int kDriveKindUnknown = 0;
inline constexpr int kDriveKindRemovable = 1;
inline constexpr int kDriveKindFixed = 2;
inline constexpr int kDriveKindNetwork = 3;
inline constexpr int kDriveKindCdRom = 4;
inline constexpr int kDriveKindRamDisk = 5;

// Whether a letter, either case, is among the mapped drives of
// FileSystem::mappedDrives().
constexpr bool DriveIn(std::uint32_t mapped, char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    return letter >= 'A' && letter <= 'Z' && ((mapped >> (letter - 'A')) & 1u) != 0;
}

// How a change to a file or folder ended: done, or the system's own words
// for why not.
struct FileOutcome {
    bool done = false;
    std::string reason;  // empty when done
    explicit operator bool() const { return done; }
};
using CopyResult = FileOutcome;

class FileSystem : NonCopyable {
public:
    virtual ~FileSystem() = default;
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool folderExists(const std::string& path) = 0;
    // Opens the file for appending (creating it), writes the bytes as they
    // are and closes it again. False when the file cannot be opened or written.
    virtual bool appendBytes(const std::string& path, std::string_view bytes) = 0;
    // The serial number of the volume in a drive ("G:\"); empty when the
    // drive has no readable medium or does not exist.
    virtual std::optional<std::uint32_t> volumeSerial(const std::string& root) = 0;

    // Drives by letter, either case.
    // Whether the letter is mapped, with or without a medium.
    virtual bool driveExists(char letter) = 0;
    // Every mapped letter at once, bit 0 for A: (asking letter by letter
    // costs a system round trip each).
    virtual std::uint32_t mappedDrives() = 0;
    // Empty when the letter is not mapped.
    virtual std::optional<DriveProperties> driveProperties(char letter) = 0;
    // The drive's type alone (kDriveKind...), without asking its medium or a
    // network server anything; kDriveKindUnknown when the letter is not mapped.
    virtual int driveType(char letter) = 0;

    // Deletes a file; a read-only one stays.
    virtual bool deleteFile(const std::string& path) = 0;
    // Deletes a file, clearing its read-only attribute first.
    virtual bool deleteFileForced(const std::string& path) = 0;
    // Deletes a folder with everything in it, clearing read-only, hidden
    // and system first. Names are taken exactly as listed, also those ending
    // in dots or blanks; links inside are removed, never followed. True when
    // the folder itself is gone; what could not go stays.
    virtual bool removeFolderTree(const std::string& path) = 0;
    // Creates the file with no content; an existing one is emptied.
    virtual bool createEmptyTextFile(const std::string& path) = 0;
    // Creates one folder; its parent must exist. False when it exists already.
    virtual bool createFolder(const std::string& path) = 0;
    // Sets the read-only, hidden and system bits of a folder to those of
    // `bits` and leaves its other attributes alone.
    virtual bool setFolderAttributes(const std::string& path, int bits) = 0;
    // The read-only, hidden and system bits of a folder; empty when there is
    // no such folder.
    virtual std::optional<int> folderAttributes(const std::string& path) = 0;
    // Copies the folder with everything in it to `to`, which is created
    // when missing and merged into when present; files there are replaced.
    // Stops at the first file or folder that cannot be copied.
    virtual bool copyFolder(const std::string& from, const std::string& to) = 0;
    // Copies a file with its attributes, replacing `to` unless that is
    // read-only or hidden.
    virtual CopyResult copyFile(const std::string& from, const std::string& to) = 0;
    // Names of a folder's subfolders and files, in the order the file system
    // keeps them; empty when the folder cannot be read.
    virtual std::vector<std::string> listSubfolders(const std::string& path) = 0;
    virtual std::vector<std::string> listFiles(const std::string& path) = 0;
    // The file's lines (see SplitTextLines), from the ANSI code page to
    // UTF-8; empty when the file cannot be read.
    virtual std::optional<std::vector<std::string>> readTextLines(const std::string& path) = 0;
    // Writes the bytes at a byte offset from the start of the file (created
    // when missing); a gap before the offset is filled with zero bytes.
    virtual bool writeBytesAt(const std::string& path, std::uint64_t offset,
                              std::string_view bytes) = 0;

    // A file kept open for a stream of writes; 0 is never valid.
    using FileHandle = std::uintptr_t;
    // Opens the file for writing, creating it when missing. `append`: the
    // writes follow its last byte; otherwise it is emptied first. 0 when it
    // cannot be opened.
    virtual FileHandle openForWriting(const std::string& path, bool append) = 0;
    virtual bool writeFile(FileHandle file, std::string_view bytes) = 0;
    virtual void closeFile(FileHandle file) = 0;
    // The file's length in bytes; empty when there is no such file.
    virtual std::optional<std::uint64_t> fileSize(const std::string& path) = 0;

    // Removing an installation.
    // Deletes a file, clearing its read-only attribute first.
    virtual FileOutcome eraseFile(const std::string& path) = 0;
    // Removes a folder that holds nothing.
    virtual FileOutcome eraseEmptyFolder(const std::string& path) = 0;
    // Moves a file to another folder of the same drive; never copies it. A
    // running program's file may move, though it cannot be deleted.
    virtual FileOutcome moveFile(const std::string& from, const std::string& to) = 0;
    // Has the system delete the file, or the empty folder, when it next
    // starts, in the order asked; false when that cannot be arranged.
    virtual bool deleteAtRestart(const std::string& path) = 0;
    // The user's folder for temporary files, without a trailing "\"; empty
    // when there is none.
    virtual std::string tempFolder() = 0;
};

}  // namespace qm
