#pragma once
// INI routines shared by the tray program and the installer.
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace qm {

// Values come back cut to their first 254 characters, as the programs have
// always read them through a 255-character limit.
inline constexpr std::size_t kIniReadLimit = 255;

std::string ReadIniString(Profile& profile, const std::string& file, const std::string& section,
                          const std::string& key, const std::string& fallback);
// Line breaks in the value become spaces, so a value always stays on one line.
void WriteIniString(Profile& profile, const std::string& file, const std::string& section,
                    const std::string& key, std::string_view value);

// The leading decimal number of a stored value: "007" is 7, "1abc" is 1, an
// empty or non-numeric text is 0. Saturates instead of overflowing.
long long LeadingNumber(std::string_view text);
// A flag stored as text counts as set when its leading number is 1.
inline bool IniFlagIsSet(std::string_view text) { return LeadingNumber(text) == 1; }

}  // namespace qm
