#include "platform/process_facts_win32.h"

#include "platform/handles_win32.h"
#include "platform/utf16_win32.h"

namespace qm {

std::string ProcessImagePath(HANDLE process) {
    std::vector<wchar_t> path(MAX_PATH);
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process, 0, path.data(), &size)) {
            return Utf8FromWide(std::wstring_view(path.data(), size));
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        path.resize(path.size() * 4);
    }
    return {};
}

std::vector<BYTE> ProcessUserSid(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!GetTokenInformation(token.get(), TokenUser, data.data(), size, &size)) return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(data.data());
    const auto* sid = static_cast<const BYTE*>(user->User.Sid);
    return std::vector<BYTE>(sid, sid + GetLengthSid(user->User.Sid));
}

std::uint64_t ProcessStartTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace qm
