#pragma once
#include "platform/code_page.h"
#include "platform/profile.h"

namespace qm {

// GetPrivateProfileStringA and WritePrivateProfileStringA; every argument
// goes to the system in the ANSI code page.
class ProfileWin32 final : public Profile {
  public:
    explicit ProfileWin32(CodePage& codePage) : codePage_(codePage) {}

    std::string getString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback,
                          std::size_t bufferSize) override;
    bool writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override;

  private:
    CodePage& codePage_;
};

}  // namespace qm
