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
#include "platform/file_system.h"

namespace qm {

class FakeFileSystem : public FileSystem {
  public:
    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    bool appendBytes(const std::string& path, std::string_view bytes) override;
    std::optional<std::uint32_t> volumeSerial(const std::string& root) override;

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
    // Folders (and everything below) where no file can be created or changed.
    std::set<std::string, LessNoCase> readOnlyFolders;
    // Every folder counts as present, for tests that do not care about them.
    bool assumeFoldersExist = false;

    FailSwitch failAppend;
    // Serial numbers of the volumes in drives, by drive letter (upper case);
    // a drive not listed has no readable medium.
    std::map<char, std::uint32_t> volumeSerials;
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
};

}  // namespace qm
