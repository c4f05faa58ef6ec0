#pragma once
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace qm {

class FileSystemWin32 final : public FileSystem {
  public:
    explicit FileSystemWin32(CodePage& codePage) : codePage_(codePage) {}

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
    bool removeFolderTree(const std::string& path) override;
    bool createEmptyTextFile(const std::string& path) override;
    bool createFolder(const std::string& path) override;
    bool setFolderAttributes(const std::string& path, int bits) override;
    std::optional<int> folderAttributes(const std::string& path) override;
    bool copyFolder(const std::string& from, const std::string& to) override;
    CopyResult copyFile(const std::string& from, const std::string& to) override;
    std::vector<std::string> listSubfolders(const std::string& path) override;
    std::vector<std::string> listFiles(const std::string& path) override;
    std::optional<std::vector<std::string>> readTextLines(const std::string& path) override;
    bool writeBytesAt(const std::string& path, std::uint64_t offset,
                      std::string_view bytes) override;
    FileHandle openForWriting(const std::string& path, bool append) override;
    bool writeFile(FileHandle file, std::string_view bytes) override;
    void closeFile(FileHandle file) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    FileOutcome eraseFile(const std::string& path) override;
    FileOutcome eraseEmptyFolder(const std::string& path) override;
    FileOutcome moveFile(const std::string& from, const std::string& to) override;
    bool deleteAtRestart(const std::string& path) override;
    std::string tempFolder() override;

  private:
    // Names in a folder without "." and "..": its folders or its files.
    std::vector<std::string> listNames(const std::string& path, bool folders);

    CodePage& codePage_;
};

}  // namespace qm
