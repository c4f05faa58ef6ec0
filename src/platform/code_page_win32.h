#pragma once
#include "platform/code_page.h"

namespace qm {

// Converts through UTF-16 with the system's ANSI code page.
class CodePageWin32 final : public CodePage {
  public:
    std::string toAnsi(std::string_view utf8) override;
    std::string fromAnsi(std::string_view ansi) override;
    std::size_t bytesIn936(std::string_view utf8) override;
    bool holds(std::string_view utf8) override;
    std::uint16_t userInterfaceLanguage() override;
};

}  // namespace qm
