#pragma once
// Files and folders. Paths are UTF-8 Windows paths ("C:\dir\file").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/non_copyable.h"

namespace qm {

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
};

}  // namespace qm
