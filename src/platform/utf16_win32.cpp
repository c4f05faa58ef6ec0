#include "platform/utf16_win32.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/program_arguments.h"

namespace qm {

std::wstring WideFromUtf8(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return {};
    const int length = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring ModuleFileName() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string CommandLineArguments() {
    const wchar_t* line = GetCommandLineW();
    return std::string(SkipProgramName(Utf8FromWide(line != nullptr ? line : L"")));
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text != nullptr ? text : L"", text != nullptr ? n : 0);
    if (text != nullptr) LocalFree(text);
    while (!words.empty() &&
           (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ')) {
        words.pop_back();
    }
    if (words.empty()) return "Win32 error " + std::to_string(code);
    return Utf8FromWide(words);
}

}  // namespace qm
