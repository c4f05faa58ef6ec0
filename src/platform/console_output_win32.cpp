#include "platform/console_output_win32.h"

#include <string>

#include "platform/utf16_win32.h"

namespace qm {
namespace {

StdHandleKind kindOf(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return StdHandleKind::None;
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(handle);
    switch (type) {
        case FILE_TYPE_DISK:
            return StdHandleKind::File;
        case FILE_TYPE_PIPE:
            return StdHandleKind::Pipe;
        case FILE_TYPE_CHAR: {
            DWORD mode = 0;
            return GetConsoleMode(handle, &mode) ? StdHandleKind::Console
                                                 : StdHandleKind::OtherDevice;
        }
        default:
            // A handle of a kind the system does not name is still written to.
            return GetLastError() == NO_ERROR ? StdHandleKind::OtherDevice : StdHandleKind::None;
    }
}

bool writeAll(HANDLE handle, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

std::string inCodePage(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string bytes(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace

ConsoleOutputWin32::~ConsoleOutputWin32() {
    if (screen_ != INVALID_HANDLE_VALUE) CloseHandle(screen_);
}

bool ConsoleOutputWin32::parentConsole() {
    if (!attachTried_) {
        attachTried_ = true;
        // A console of our own already (ERROR_ACCESS_DENIED) serves as well.
        attached_ =
            AttachConsole(ATTACH_PARENT_PROCESS) != 0 || GetLastError() == ERROR_ACCESS_DENIED;
        if (attached_) {
            screen_ =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            attached_ = screen_ != INVALID_HANDLE_VALUE;
        }
    }
    return attached_;
}

ConsoleOutputWin32::Target& ConsoleOutputWin32::target(Stream stream) {
    Target& t = stream == Stream::Out ? out_ : err_;
    if (t.decided) return t;
    t.decided = true;
    const HANDLE handle =
        GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    const StdHandleKind kind = kindOf(handle);
    t.route = RouteFor(kind, kind == StdHandleKind::None && parentConsole());
    t.handle = kind == StdHandleKind::None ? screen_ : handle;
    return t;
}

bool ConsoleOutputWin32::write(Stream stream, std::string_view utf8) {
    Target& t = target(stream);
    if (utf8.empty()) return t.route != OutputRoute::Nowhere;
    const std::wstring wide = WideFromUtf8(utf8);
    if (t.route == OutputRoute::Console) {
        // UTF-16 shows right whatever the console's code page.
        DWORD written = 0;
        if (WriteConsoleW(t.handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                          nullptr)) {
            return true;
        }
    } else if (t.route == OutputRoute::Nowhere) {
        return false;
    }
    // A file or pipe is read by whoever sits at the console, if anybody does.
    parentConsole();
    const UINT codePage = BytesCodePage(GetConsoleOutputCP(), GetACP());
    const std::string bytes = codePage == CP_UTF8 ? std::string(utf8) : inCodePage(wide, codePage);
    return writeAll(t.handle, bytes.data(), bytes.size());
}

}  // namespace qm
