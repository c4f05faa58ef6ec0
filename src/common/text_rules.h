#pragma once
// Text rules shared by the tray program and the installer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace qm {

// Number of characters of the text that take two bytes in the Simplified
// Chinese code page: a path for which this is not 0 is refused.
std::size_t CountDoubleByteChars(CodePage& codePage, std::string_view utf8);

// Number of characters (code points) in UTF-8 text.
std::size_t Utf8Length(std::string_view utf8);

// ASCII letters to lower case; other characters stay as they are.
std::string LowerAscii(std::string text);
std::string UpperAscii(std::string text);
// Blanks (spaces) off both ends.
std::string TrimBlanks(std::string_view text);
// A whole number written in decimal digits with an optional sign that fits
// 32 bits; anything else (blanks included) is no number.
std::optional<std::int32_t> ParseInt32(std::string_view text);

}  // namespace qm
