#pragma once
// Small pieces every window of the program uses: the font, device contexts,
// design pixels scaled to the screen, child controls and the object behind
// a window.
#include <windows.h>

#include <string>

#include "platform/unique_resource.h"

namespace qm {

// A window's device context (the screen's for null), released when this goes.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// Where a control goes in its parent, in pixels.
struct PixelBox {
    int left = 0, top = 0, width = 0, height = 0;
};

// Design pixels (96 dpi) to the screen's.
struct Scale {
    int dpiX = 96, dpiY = 96;
    int x(int v) const { return MulDiv(v, dpiX, 96); }
    int y(int v) const { return MulDiv(v, dpiY, 96); }
    // Any box with left, top, width and height; braces make a PixelBox.
    template <class Box = PixelBox>
    PixelBox box(const Box& design) const {
        return {x(design.left), y(design.top), x(design.width), y(design.height)};
    }

    static Scale ofScreen();
};

struct GdiFontTraits {
    using Handle = HFONT;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DeleteObject(h); }
};
using UniqueFont = UniqueResource<GdiFontTraits>;

// Where a top-level window with this client size, style and extended
// style goes to be centred on the work area (never above or left of it).
PixelBox CentredOnWorkArea(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

// The windows' 9-point font in `ansiFace` for a screen of `dpiY`.
HFONT makeFont(const std::string& ansiFace, int dpiY, bool bold, bool underline);

// A child window (WS_CHILD is added) in `font` when one is given; `param`
// reaches its WM_NCCREATE.
HWND makeControl(DWORD exStyle, const char* cls, const std::string& ansiText, DWORD style,
                 HWND parent, int id, const PixelBox& box, HFONT font, void* param = nullptr);

// The object a window was made for, CreateWindowEx's last argument: kept
// from WM_NCCREATE on, null once the window cleared it.
template <class T>
T* windowObject(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

}  // namespace qm
