#pragma once
#include "platform/registry.h"

namespace qm {

// The registry's A functions. Key handles travel as their numeric value.
class RegistryWin32 final : public Registry {
  public:
    long createKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) override;
    long openKey(RegRoot root, const std::string& path, std::uint32_t access, Key& out) override;
    void closeKey(Key key) override;
    long setValue(Key key, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override;
    RegQueryResult queryValue(Key key, const std::string& name, std::uint32_t bufferSize) override;
    long deleteValue(Key key, const std::string& name) override;
    long deleteKey(RegRoot root, const std::string& path, std::uint32_t view) override;
    std::string expandEnvironment(const std::string& ansi) override;
};

}  // namespace qm
