#pragma once
// The program's version as users read it.
#include <array>
#include <cstdint>
#include <string>

namespace qm {

using FileVersion = std::array<std::uint16_t, 4>;

// Major, minor and revision of the file version: 1.0.0.68 reads "1.0.68".
std::string VersionText(const FileVersion& version);
// "Quillmoor v1.0.68": the title of every notice.
std::string NoticeTitle(const std::string& versionText);

}  // namespace qm
