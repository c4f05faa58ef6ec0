#include "platform/desktop_win32.h"

#include <windows.h>

#include "platform/unique_resource.h"

namespace qm {
namespace {

constexpr int kDefaultDpi = 96;

// The DC of the whole screen goes back with ReleaseDC, not DeleteDC.
struct ScreenDcTraits {
    using Handle = HDC;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::ReleaseDC(nullptr, h); }
};

Rect fromNative(const RECT& r) {
    return Rect{static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
                static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

int screenDpi(int index) {
    UniqueResource<ScreenDcTraits> dc(GetDC(nullptr));
    if (!dc) return kDefaultDpi;
    const int dpi = GetDeviceCaps(dc.get(), index);
    return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

Rect DesktopWin32::workArea() {
    RECT area{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        return Rect{0, 0, screenWidth(), screenHeight()};
    }
    return fromNative(area);
}

std::int32_t DesktopWin32::screenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

std::int32_t DesktopWin32::screenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

int DesktopWin32::dpiX() { return screenDpi(LOGPIXELSX); }

int DesktopWin32::dpiY() { return screenDpi(LOGPIXELSY); }

namespace {

// A click on the desktop makes the shell's desktop window the foreground
// one; it covers the screen but is no full-screen program.
bool isDesktopItself(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    return lstrcmpiA(cls, "Progman") == 0 || lstrcmpiA(cls, "WorkerW") == 0;
}

}  // namespace

std::optional<Rect> DesktopWin32::foregroundWindowRect() {
    const HWND window = GetForegroundWindow();
    RECT r{};
    if (window == nullptr || isDesktopItself(window) || !GetWindowRect(window, &r)) {
        return std::nullopt;
    }
    return fromNative(r);
}

}  // namespace qm
