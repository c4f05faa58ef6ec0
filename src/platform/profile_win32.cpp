#include "platform/profile_win32.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace qm {

std::string ProfileWin32::getString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& fallback,
                                    std::size_t bufferSize) {
    if (bufferSize == 0 || bufferSize > 0x7FFFFFFF) return {};
    const std::string aFile = codePage_.toAnsi(file);
    const std::string aSection = codePage_.toAnsi(section);
    const std::string aKey = codePage_.toAnsi(key);
    const std::string aFallback = codePage_.toAnsi(fallback);
    // One spare byte: the call never writes past nSize, the NUL stays ours.
    std::vector<char> buffer(bufferSize + 1, '\0');
    const DWORD n =
        GetPrivateProfileStringA(aSection.c_str(), aKey.c_str(), aFallback.c_str(), buffer.data(),
                                 static_cast<DWORD>(bufferSize), aFile.c_str());
    std::string_view value(buffer.data(), std::min<std::size_t>(n, bufferSize));
    // A NUL inside the value ends it, as it would for any caller of the API.
    value = value.substr(0, value.find('\0'));
    return codePage_.fromAnsi(value);
}

bool ProfileWin32::writeString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& value) {
    return WritePrivateProfileStringA(
               codePage_.toAnsi(section).c_str(), codePage_.toAnsi(key).c_str(),
               codePage_.toAnsi(value).c_str(), codePage_.toAnsi(file).c_str()) != FALSE;
}

}  // namespace qm
