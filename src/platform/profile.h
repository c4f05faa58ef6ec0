#pragma once
// The system's profile-string functions: INI files with case-insensitive
// sections and keys. Paths, sections, keys and values are UTF-8 here.
#include <cstddef>
#include <string>

#include "platform/non_copyable.h"

namespace qm {

class Profile : NonCopyable {
public:
    virtual ~Profile() = default;
    // Returns at most bufferSize - 1 characters, as the system call does with
    // a buffer of that size; the default when the file, section or key is missing.
    virtual std::string getString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& fallback,
                                  std::size_t bufferSize) = 0;
    // Creates the file and the section as needed, never a missing folder.
    virtual bool writeString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

}  // namespace qm
