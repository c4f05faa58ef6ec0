#include "settings/cls_registry.h"

#include <cstring>

#include "settings/ini.h"

namespace qm {
namespace {

constexpr std::uint32_t kKeyAllAccess = 0x3F;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kInitialBuffer = 1024;

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::string stripTrailingNuls(const std::vector<std::uint8_t>& data, std::size_t size,
                              std::size_t most) {
    size = std::min(size, data.size());
    std::size_t dropped = 0;
    while (size > 0 && dropped < most && data[size - 1] == 0) {
        --size;
        ++dropped;
    }
    return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)};
}

}  // namespace

std::uint32_t clsRegistry::SwapDwordBytes(std::uint32_t n) {
    return ((n & 0xFFu) << 24) | ((n & 0xFF00u) << 8) | ((n >> 8) & 0xFF00u) | (n >> 24);
}

std::string clsRegistry::ExpandEnvString(const std::string& ansi) {
    return registry_.expandEnvironment(ansi);
}

bool clsRegistry::SetRegistryValue(RegRoot hKey, const std::string& KeyName,
                                   const std::string& ValueName, const RegValue& Value,
                                   int /*valueType*/, int Flag) {
    Registry::Key key = 0;
    long status = registry_.createKey(hKey, codePage_.toAnsi(KeyName), kKeyAllAccess, key);
    if (status != kErrorSuccess) return false;
    ScopedRegKey closer(registry_, key);
    const std::string name = codePage_.toAnsi(ValueName);

    if (const auto* number = std::get_if<std::int32_t>(&Value)) {
        auto u = static_cast<std::uint32_t>(*number);
        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                       static_cast<std::uint8_t>(u >> 16),
                                       static_cast<std::uint8_t>(u >> 24)};
        status = registry_.setValue(key, name, regtype::kDword, data);
    } else if (const auto* text = std::get_if<std::string>(&Value)) {
        std::vector<std::uint8_t> data = bytesOf(codePage_.toAnsi(*text));
        data.push_back(0);
        std::uint32_t type = regtype::kSz;
        if (Flag == kRegFlagExpand) {
            type = regtype::kExpandSz;
        } else if (Flag == kRegFlagMulti) {
            type = regtype::kMultiSz;
            // A multi-string ends with an empty item; without it the last
            // item would lose its final character when read back.
            data.push_back(0);
        }
        status = registry_.setValue(key, name, type, data);
    } else if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&Value)) {
        status = registry_.setValue(key, name, regtype::kBinary, *bytes);
    }
    return status == kErrorSuccess;
}

RegValue clsRegistry::GetRegistryValue(RegRoot hKey, const std::string& KeyName,
                                       const std::string& ValueName,
                                       const RegValue& DefaultValue) {
    Registry::Key key = 0;
    if (registry_.openKey(hKey, codePage_.toAnsi(KeyName), kKeyRead, key) != kErrorSuccess) {
        return DefaultValue;
    }
    ScopedRegKey closer(registry_, key);
    const std::string name = codePage_.toAnsi(ValueName);

    RegQueryResult r = registry_.queryValue(key, name, kInitialBuffer);
    if (r.status == kErrorMoreData) r = registry_.queryValue(key, name, r.size);
    if (r.status != kErrorSuccess) return DefaultValue;
    const std::size_t size = std::min<std::size_t>(r.size, r.data.size());

    switch (r.type) {
        case regtype::kSz:
            return codePage_.fromAnsi(stripTrailingNuls(r.data, size, 1));
        case regtype::kExpandSz:
            return codePage_.fromAnsi(ExpandEnvString(stripTrailingNuls(r.data, size, 1)));
        case regtype::kMultiSz:
            return codePage_.fromAnsi(stripTrailingNuls(r.data, size, 2));
        case regtype::kDword:
        case regtype::kDwordBigEndian: {
            // A value shorter than four bytes reads as far as it goes; an
            // empty one (which any program may write) as 0.
            std::uint32_t n = 0;
            if (size > 0) std::memcpy(&n, r.data.data(), std::min<std::size_t>(size, 4));
            if (r.type == regtype::kDwordBigEndian) n = SwapDwordBytes(n);
            return static_cast<std::int32_t>(n);
        }
        default:
            return std::vector<std::uint8_t>(r.data.begin(),
                                             r.data.begin() + static_cast<std::ptrdiff_t>(size));
    }
}

bool clsRegistry::DeleteRegistryValue(RegRoot hKey, const std::string& RegKeyName,
                                      const std::string& ValueName) {
    Registry::Key key = 0;
    if (registry_.openKey(hKey, codePage_.toAnsi(RegKeyName), kKeyAllAccess, key) != kErrorSuccess) {
        return false;
    }
    ScopedRegKey closer(registry_, key);
    return registry_.deleteValue(key, codePage_.toAnsi(ValueName)) == kErrorSuccess;
}

bool clsRegistry::DeleteRegistryKey(RegRoot hKey, const std::string& RegKeyName) {
    return registry_.deleteKey(hKey, codePage_.toAnsi(RegKeyName), 0) == kErrorSuccess;
}

std::string RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
    return {};
}

long long RegValueNumber(const RegValue& value) {
    if (const auto* number = std::get_if<std::int32_t>(&value)) return *number;
    if (const auto* text = std::get_if<std::string>(&value)) return LeadingNumber(*text);
    return 0;
}

}  // namespace qm
