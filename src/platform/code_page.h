#pragma once
// Text inside the program is UTF-8; files, INI values, registry text and the
// A calls use the system's ANSI code page. This seam converts between them
// and tells which language the user reads.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/non_copyable.h"

namespace qm {

class CodePage : NonCopyable {
public:
    virtual ~CodePage() = default;
    // UTF-8 to the ANSI code page; characters it lacks become '?'.
    virtual std::string toAnsi(std::string_view utf8) = 0;
    // ANSI code page bytes to UTF-8.
    virtual std::string fromAnsi(std::string_view ansi) = 0;
    // Length in bytes of the text in the Simplified Chinese code page (936).
    virtual std::size_t bytesIn936(std::string_view utf8) = 0;
    // Whether the ANSI code page has every character of the text.
    virtual bool holds(std::string_view utf8) = 0;
    // The user's interface language, a LANGID (0x0804 Chinese, 0x0409 English).
    virtual std::uint16_t userInterfaceLanguage() = 0;
};

}  // namespace qm
