#pragma once
// Real conversions between UTF-8 and a chosen ANSI code page (Simplified
// Chinese by default), so tests see the bytes a Chinese system would write.
#include <string>
#include <string_view>

#include "fakes/fake_support.h"
#include "platform/code_page.h"

namespace qm {

class FakeCodePage : public CodePage {
  public:
    // `ansiCharset` is an iconv name: "CP936" (GBK) or e.g. "CP1252".
    explicit FakeCodePage(std::string ansiCharset = "CP936");

    std::string toAnsi(std::string_view utf8) override;
    std::string fromAnsi(std::string_view ansi) override;
    std::size_t bytesIn936(std::string_view utf8) override;
    bool holds(std::string_view utf8) override;
    std::uint16_t userInterfaceLanguage() override { return uiLanguage; }

    // What the user reads: Chinese (PRC) unless a test says otherwise.
    std::uint16_t uiLanguage = 0x0804;

    // True for the first byte of a two-byte character of the ANSI code page.
    [[nodiscard]] bool isLeadByte(unsigned char byte) const;

    // A failing conversion answers empty text, as the system call does.
    FailSwitch failToAnsi;
    FailSwitch failFromAnsi;

  private:
    std::string charset_;
    bool doubleByte_;
};

// Converts with iconv, putting '?' for each character the target lacks and
// for each byte the source cannot decode.
std::string convertText(std::string_view text, const std::string& from, const std::string& to);

}  // namespace qm
