#pragma once
// Files and folders in memory. Paths compare as Windows compares them: ASCII
// case folded, '/' same as '\', a trailing '\' on a folder ignored.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace qm {

class FakeFileSystem : public FileSystem {
  public:
    FakeFileSystem() = default;
    // Text files are read back through this code page, as the system reads them.
    explicit FakeFileSystem(CodePage* textCodePage) : codePage(textCodePage) {}

    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool appendBytes(const std::string& path, std::string_view bytes) override;
    std::optional<std::uint32_t> volumeSerial(const std::string& root) override;
    bool driveExists(char letter) override;
    std::uint32_t mappedDrives() override;
    std::optional<DriveProperties> driveProperties(char letter) override;
    int driveType(char letter) override;
    bool deleteFile(const std::string& path) override;
    bool deleteFileForced(const std::string& path) override;
    // Everything below goes that is not locked; a write-protected drive
    // (a read-only folder above) loses nothing.
    bool removeFolderTree(const std::string& path) override;
    bool createEmptyTextFile(const std::string& path) override;
    bool createFolder(const std::string& path) override;
    bool setFolderAttributes(const std::string& path, int bits) override;
    std::optional<int> folderAttributes(const std::string& path) override;
    bool copyFolder(const std::string& from, const std::string& to) override;
    // A refused copy gives the system's words for the cause: a file held
    // open, one missing, or access denied for everything else.
    CopyResult copyFile(const std::string& from, const std::string& to) override;
    // Both list by name with case folded, as NTFS keeps a folder.
    std::vector<std::string> listSubfolders(const std::string& path) override;
    std::vector<std::string> listFiles(const std::string& path) override;
    std::optional<std::vector<std::string>> readTextLines(const std::string& path) override;
    bool writeBytesAt(const std::string& path, std::uint64_t offset,
                      std::string_view bytes) override;
    FileHandle openForWriting(const std::string& path, bool append) override;
    bool writeFile(FileHandle file, std::string_view bytes) override;
    void closeFile(FileHandle file) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    // A locked file, a running program's file or one in a read-only folder
    // stays, with the system's words for why.
    FileOutcome eraseFile(const std::string& path) override;
    // A folder that holds a file or folder stays.
    FileOutcome eraseEmptyFolder(const std::string& path) override;
    // Within one drive only; a running program's file moves, a locked one
    // does not, nor one onto an existing name.
    FileOutcome moveFile(const std::string& from, const std::string& to) override;
    // Recorded in `deletedAtRestart`; nothing goes until the test says so.
    bool deleteAtRestart(const std::string& path) override;
    std::string tempFolder() override { return tempDir; }
    // Files open for writing now, by handle.
    std::map<FileHandle, std::string> openFiles;
    FailSwitch failOpenForWriting, failWriteFile;

    // Set-up. Both create the missing parent folders.
    void addFolder(const std::string& path);
    void addFile(const std::string& path, std::string_view bytes = {});
    void removeFile(const std::string& path);
    // Removes the folder with everything in it.
    void removeFolder(const std::string& path);

    // The file's bytes; empty when there is no such file.
    [[nodiscard]] std::optional<std::string> fileBytes(const std::string& path) const;
    // Replaces the whole file under the same rules as appendBytes; for other
    // fakes that keep their data in files.
    bool writeWholeFile(const std::string& path, std::string_view bytes);
    // Whether a write to the file would be allowed: its folder exists, it is
    // not a folder, not locked, not inside a read-only folder.
    [[nodiscard]] bool canWrite(const std::string& path) const;
    // Whether the file can be read (exists and is not locked).
    [[nodiscard]] bool canRead(const std::string& path) const;
    [[nodiscard]] std::vector<std::string> filePaths() const;

    // Files held open exclusively by someone else: neither read nor written.
    std::set<std::string, LessNoCase> lockedPaths;
    // The files of running programs: read and moved, never written or deleted.
    std::set<std::string, LessNoCase> runningImages;
    std::string tempDir = "C:\\Temp";
    // Paths handed to deleteAtRestart, in order.
    std::vector<std::string> deletedAtRestart;
    FailSwitch failMove, failDeleteAtRestart, failEraseFolder;
    // Folders (and everything below) where no file can be created or changed.
    std::set<std::string, LessNoCase> readOnlyFolders;
    // Every folder counts as present, for tests that do not care about them.
    bool assumeFoldersExist = false;

    FailSwitch failAppend;
    // Serial numbers of the volumes in drives, by drive letter (upper case);
    // a drive not listed has no readable medium.
    std::map<char, std::uint32_t> volumeSerials;

    // Drives by upper-case letter; volumeSerial answers from here too for a
    // letter missing above. A drive that is not ready answers its type and
    // nothing else, whatever else is set.
    std::map<char, DriveProperties> drives;
    // Adds a drive; a ready one gets its root folder.
    DriveProperties& addDrive(char letter, int driveType, bool ready = true);

    // Attribute bits (read-only 1, hidden 2, system 4) of a file or folder.
    // A read-only file cannot be written, replaced or deleted without force,
    // a hidden one cannot be replaced by a copy; a read-only folder, as on
    // the system, still takes new files.
    void setAttributes(const std::string& path, int bits);
    [[nodiscard]] int attributesOf(const std::string& path) const;

    // Without a code page readTextLines answers the bytes as they are.
    CodePage* codePage = nullptr;

    FailSwitch failDelete;  // both kinds of delete
    FailSwitch failRemoveTree;
    FailSwitch failCreateFile, failCreateFolder, failSetAttributes;
    FailSwitch failCopy;  // copyFile and whole copyFolder calls
    FailSwitch failList, failRead, failWriteAt;
    struct Append {
        std::string path;
        std::string bytes;
        bool succeeded;
    };
    std::vector<Append> appends;
    // Every path handed to fileExists or folderExists, in order.
    std::vector<std::string> checkedPaths;

    // The form a path is stored under.
    static std::string normalise(std::string_view path);
    static std::string parentOf(const std::string& normalisedPath);

  private:
    // A path in the stored form but with its case kept.
    static std::string tidy(std::string_view path);
    [[nodiscard]] bool isReadOnlyFile(const std::string& normalised) const;
    // Names of the files or folders right inside a folder.
    [[nodiscard]] std::vector<std::string> childNames(const std::string& normalisedFolder,
                                                      bool folders) const;
    bool copyOneFile(const std::string& from, const std::string& to);
    bool makeFolder(const std::string& path);
    [[nodiscard]] bool hasFolder(const std::string& normalised) const;
    [[nodiscard]] bool isLocked(const std::string& normalised) const;
    [[nodiscard]] bool isUnder(const std::string& normalised,
                               const std::set<std::string, LessNoCase>& folders) const;

    struct File {
        std::string path;  // as first created
        std::string bytes;
    };
    std::map<std::string, File> files_;  // keyed by normalise()
    std::set<std::string> folders_;
    std::map<std::string, std::string> folderSpellings_;  // normalise() -> as first created
    std::map<std::string, int> attributes_;               // keyed by normalise()
};

}  // namespace qm
