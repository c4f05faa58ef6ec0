#include "settings/system_entries.h"

#include <utility>
#include <vector>

#include "platform/path_rules.h"
#include "settings/cls_registry.h"

namespace qm {
namespace {

constexpr std::uint32_t kQueryValue = 0x0001;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kInitialBuffer = 1024;
constexpr char kProductName[] = "Quillmoor";

std::string trimmedBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::uint8_t> textBytes(CodePage& codePage, const std::string& text) {
    const std::string ansi = codePage.toAnsi(text);
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> dwordBytes(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
            static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
}

long openUninstallKey(Registry& registry, std::uint32_t access, Registry::Key& key) {
    return registry.openKey(RegRoot::LocalMachine, kUninstallKey, access | kRegView32, key);
}

}  // namespace

std::string RunValueFor(const std::string& programPath) { return "\"" + programPath + "\""; }

bool RunValueNames(const std::string& value, const std::string& programPath) {
    std::string path = trimmedBlanks(value);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    if (trimmedBlanks(path).empty()) return false;
    return ComparablePath(path) == ComparablePath(programPath);
}

std::optional<std::string> ReadRunValue(Registry& registry, CodePage& codePage) {
    clsRegistry reg(registry, codePage);
    const RegValue value = reg.GetRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName);
    if (std::holds_alternative<std::monostate>(value)) return std::nullopt;
    return RegValueText(value);
}

bool DeleteRunValue(Registry& registry, CodePage& codePage) {
    clsRegistry reg(registry, codePage);
    reg.DeleteRegistryValue(RegRoot::CurrentUser, kRunKey, kRunValueName);
    return !ReadRunValue(registry, codePage).has_value();
}

bool WriteUninstallEntry(Registry& registry, CodePage& codePage, const UninstallEntry& entry) {
    Registry::Key raw = 0;
    if (registry.createKey(RegRoot::LocalMachine, kUninstallKey, kSetValue | kRegView32, raw) !=
        kErrorSuccess) {
        return false;
    }
    bool written = true;
    {
        ScopedRegKey key(registry, raw);
        const std::pair<const char*, std::string> texts[] = {
            {"DisplayName", kProductName},
            {"DisplayVersion", entry.displayVersion},
            {"Publisher", kProductName},
            {"InstallLocation", entry.installLocation},
            {"DisplayIcon", entry.displayIcon},
            {"UninstallString", entry.uninstallString},
            {"QuietUninstallString", entry.quietUninstallString},
        };
        for (const auto& [name, text] : texts) {
            written = written && registry.setValue(key.get(), name, regtype::kSz,
                                                   textBytes(codePage, text)) == kErrorSuccess;
        }
        const std::pair<const char*, std::uint32_t> numbers[] = {
            {"EstimatedSize", entry.estimatedSizeKb}, {"NoModify", 1}, {"NoRepair", 1}};
        for (const auto& [name, number] : numbers) {
            written = written && registry.setValue(key.get(), name, regtype::kDword,
                                                   dwordBytes(number)) == kErrorSuccess;
        }
    }
    // A half entry would list a program that cannot be removed from there.
    if (!written) DeleteUninstallEntry(registry);
    return written;
}

std::optional<std::string> ReadUninstallLocation(Registry& registry, CodePage& codePage) {
    Registry::Key raw = 0;
    if (openUninstallKey(registry, kQueryValue, raw) != kErrorSuccess) return std::nullopt;
    ScopedRegKey key(registry, raw);
    RegQueryResult r = registry.queryValue(key.get(), "InstallLocation", kInitialBuffer);
    if (r.status == kErrorMoreData) r = registry.queryValue(key.get(), "InstallLocation", r.size);
    if (r.status != kErrorSuccess || (r.type != regtype::kSz && r.type != regtype::kExpandSz)) {
        return std::string();
    }
    std::string ansi(r.data.begin(), r.data.end());
    while (!ansi.empty() && ansi.back() == '\0') ansi.pop_back();
    return codePage.fromAnsi(ansi);
}

bool UninstallEntryExists(Registry& registry) {
    Registry::Key raw = 0;
    const long status = openUninstallKey(registry, kQueryValue, raw);
    ScopedRegKey key(registry, raw);
    // A key that cannot be opened for another reason is still there.
    return status != kErrorFileNotFound;
}

bool DeleteUninstallEntry(Registry& registry) {
    registry.deleteKey(RegRoot::LocalMachine, kUninstallKey, kRegView32);
    return !UninstallEntryExists(registry);
}

}  // namespace qm
