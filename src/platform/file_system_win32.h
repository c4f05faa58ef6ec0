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

  private:
    CodePage& codePage_;
};

}  // namespace qm
