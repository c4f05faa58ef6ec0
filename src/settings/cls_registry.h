#pragma once
// Registry values as the programs use them: typed reads and writes that
// swallow every error and report only through their result.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace qm {

// Empty, a 32-bit integer, text or raw bytes.
using RegValue = std::variant<std::monostate, std::int32_t, std::string, std::vector<std::uint8_t>>;

// Text flags of SetRegistryValue.
inline constexpr int kRegFlagExpand = 1;
inline constexpr int kRegFlagMulti = 2;

class clsRegistry {
public:
    clsRegistry(Registry& registry, CodePage& codePage) : registry_(registry), codePage_(codePage) {}

    // Creates the key when missing and writes the value by its kind: integers
    // as REG_DWORD, text as REG_SZ (REG_EXPAND_SZ for flag 1, REG_MULTI_SZ with
    // items separated by NUL for flag 2), bytes as REG_BINARY. An empty value
    // writes nothing. True when the last registry call made succeeded.
    bool SetRegistryValue(RegRoot hKey, const std::string& KeyName, const std::string& ValueName,
                          const RegValue& Value, int valueType, int Flag);
    RegValue GetRegistryValue(RegRoot hKey, const std::string& KeyName,
                              const std::string& ValueName, const RegValue& DefaultValue = {});
    bool DeleteRegistryValue(RegRoot hKey, const std::string& RegKeyName,
                             const std::string& ValueName);
    bool DeleteRegistryKey(RegRoot hKey, const std::string& RegKeyName);

    static std::uint32_t SwapDwordBytes(std::uint32_t n);

private:
    std::string ExpandEnvString(const std::string& ansi);

    Registry& registry_;
    CodePage& codePage_;
};

// An open key, closed however the holder leaves; 0 holds nothing.
class ScopedRegKey {
public:
    ScopedRegKey(Registry& registry, Registry::Key key) : registry_(registry), key_(key) {}
    ~ScopedRegKey() {
        if (key_ != 0) registry_.closeKey(key_);
    }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;
    Registry::Key get() const { return key_; }

private:
    Registry& registry_;
    Registry::Key key_;
};

// Helpers for callers that expect one kind of value.
std::string RegValueText(const RegValue& value);
// Integers as they are, text by its leading number, anything else 0.
long long RegValueNumber(const RegValue& value);

}  // namespace qm
