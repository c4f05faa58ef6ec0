#include "platform/shell_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "platform/handles_win32.h"

namespace qm {
namespace {

using namespace notifyfield;
constexpr std::size_t kRecordSize = 488;

static_assert(sizeof(NotifyIconRecord) == kRecordSize);
static_assert(sizeof(NOTIFYICONDATAA::szTip) == kState - kTip);
static_assert(sizeof(NOTIFYICONDATAA::szInfo) == kTimeout - kInfo);
static_assert(sizeof(NOTIFYICONDATAA::szInfoTitle) == kInfoFlags - kInfoTitle);

#if !defined(_WIN64)
// On 32-bit Windows the record is the structure itself.
static_assert(NOTIFYICONDATAA_V2_SIZE == kRecordSize);
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == kWindow);
static_assert(offsetof(NOTIFYICONDATAA, uID) == kId);
static_assert(offsetof(NOTIFYICONDATAA, uFlags) == kFlags);
static_assert(offsetof(NOTIFYICONDATAA, uCallbackMessage) == kCallbackMessage);
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == kIcon);
static_assert(offsetof(NOTIFYICONDATAA, szTip) == kTip);
static_assert(offsetof(NOTIFYICONDATAA, dwState) == kState);
static_assert(offsetof(NOTIFYICONDATAA, dwStateMask) == kStateMask);
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == kInfo);
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == kTimeout);
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == kInfoTitle);
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == kInfoFlags);
#else
std::uint32_t field(const NotifyIconRecord& record, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, record.data() + offset, sizeof value);  // both little-endian
    return value;
}
#endif

NOTIFYICONDATAA nativeRecord(const NotifyIconRecord& record) {
    NOTIFYICONDATAA data{};
#if !defined(_WIN64)
    std::memcpy(&data, record.data(), kRecordSize);
#else
    data.hWnd = handleFromId<HWND>(field(record, kWindow));
    data.uID = field(record, kId);
    data.uFlags = field(record, kFlags);
    data.uCallbackMessage = field(record, kCallbackMessage);
    data.hIcon = handleFromId<HICON>(field(record, kIcon));
    std::memcpy(data.szTip, record.data() + kTip, sizeof data.szTip);
    data.dwState = field(record, kState);
    data.dwStateMask = field(record, kStateMask);
    std::memcpy(data.szInfo, record.data() + kInfo, sizeof data.szInfo);
    data.uTimeout = field(record, kTimeout);
    std::memcpy(data.szInfoTitle, record.data() + kInfoTitle, sizeof data.szInfoTitle);
    data.dwInfoFlags = field(record, kInfoFlags);
#endif
    // The record's own size field says "488", which only a 32-bit shell reads
    // as this layout; the native size of the same version says it everywhere.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    return data;
}

}  // namespace

bool ShellWin32::notifyIcon(std::uint32_t message, const NotifyIconRecord& record) {
    NOTIFYICONDATAA data = nativeRecord(record);
    return Shell_NotifyIconA(message, &data) != FALSE;
}

void ShellWin32::setForegroundWindow(WindowId window) { SetForegroundWindow(windowFromId(window)); }

std::uint32_t ShellWin32::registerWindowMessage(const std::string& name) {
    return RegisterWindowMessageA(codePage_.toAnsi(name).c_str());
}

bool ShellWin32::shellOpen(const std::string& target, int showState) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        nullptr, "open", codePage_.toAnsi(target).c_str(), nullptr, nullptr, showState));
    return result > 32;
}

int ShellWin32::messageBox(const std::string& text, const std::string& title,
                           std::uint32_t style) {
    return MessageBoxA(nullptr, codePage_.toAnsi(text).c_str(), codePage_.toAnsi(title).c_str(),
                       style);
}

}  // namespace qm
