#pragma once
// Raw registry access. Values travel as bytes in the registry's own layout
// (ANSI text with its NUL, little-endian numbers); clsRegistry converts.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/non_copyable.h"

namespace qm {

enum class RegRoot : std::uint8_t { CurrentUser, LocalMachine };

// Registry value types, numbered as the system numbers them.
namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kMultiSz = 7;
}  // namespace regtype

// Added to the rights a key is opened or created with: the registry that
// 32-bit programs see, also from a 64-bit build (the system's
// KEY_WOW64_32KEY). Without it a program sees that of its own width.
inline constexpr std::uint32_t kRegView32 = 0x0200;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;

struct RegQueryResult {
    long status = kErrorFileNotFound;
    std::uint32_t type = regtype::kNone;
    std::uint32_t size = 0;               // bytes of data, or bytes needed on kErrorMoreData
    std::vector<std::uint8_t> data;       // the first `size` bytes when status is success
};

class Registry : NonCopyable {
public:
    using Key = std::uintptr_t;  // an open key; 0 is never valid

    virtual ~Registry() = default;
    // Key paths are ANSI bytes, as the system takes them.
    virtual long createKey(RegRoot root, const std::string& path, std::uint32_t access,
                           Key& out) = 0;
    virtual long openKey(RegRoot root, const std::string& path, std::uint32_t access,
                         Key& out) = 0;
    virtual void closeKey(Key key) = 0;
    virtual long setValue(Key key, const std::string& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& data) = 0;
    // Queries into a buffer of `bufferSize` bytes; answers kErrorMoreData and the
    // size needed when it is too small.
    virtual RegQueryResult queryValue(Key key, const std::string& name,
                                      std::uint32_t bufferSize) = 0;
    virtual long deleteValue(Key key, const std::string& name) = 0;
    // Deletes a key without subkeys; `view` is 0 or kRegView32.
    virtual long deleteKey(RegRoot root, const std::string& path, std::uint32_t view) = 0;
    // ANSI text with %NAME% references expanded; empty on failure.
    virtual std::string expandEnvironment(const std::string& ansi) = 0;
};

}  // namespace qm
