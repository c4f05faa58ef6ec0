#include "platform/code_page_win32.h"

#include <windows.h>

#include <climits>

namespace qm {
namespace {

constexpr UINT kSimplifiedChinese = 936;

std::wstring widen(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), n);
    return wide;
}

// Characters the code page lacks become its default character, '?'.
std::string narrow(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int n =
        WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), n, nullptr, nullptr);
    return text;
}

}  // namespace

std::string CodePageWin32::toAnsi(std::string_view utf8) {
    return narrow(CP_ACP, widen(CP_UTF8, utf8));
}

std::string CodePageWin32::fromAnsi(std::string_view ansi) {
    return narrow(CP_UTF8, widen(CP_ACP, ansi));
}

bool CodePageWin32::holds(std::string_view utf8) {
    const std::wstring wide = widen(CP_UTF8, utf8);
    if (wide.empty()) return true;
    // A UTF-8 system code page holds everything (and refuses the flag).
    if (GetACP() == CP_UTF8) return true;
    BOOL defaulted = FALSE;
    const int n =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, nullptr, &defaulted);
    return n > 0 && !defaulted;
}

std::uint16_t CodePageWin32::userInterfaceLanguage() { return GetUserDefaultUILanguage(); }

std::size_t CodePageWin32::bytesIn936(std::string_view utf8) {
    const std::wstring wide = widen(CP_UTF8, utf8);
    if (wide.empty()) return 0;
    const int n = WideCharToMultiByte(kSimplifiedChinese, 0, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (n > 0) return static_cast<std::size_t>(n);
    // Without the 936 table: ASCII takes one byte there, the rest two.
    std::size_t bytes = 0;
    for (wchar_t c : wide) bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

}  // namespace qm
