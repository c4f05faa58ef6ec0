#pragma once
// What every window of both programs uses: the screen's scale, fonts,
// pictures, child controls, the object behind a window, clicks that count
// on release, and the keyboard's dialog keys.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "platform/scale.h"
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

struct GdiFontTraits {
    using Handle = HFONT;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DeleteObject(h); }
};
using UniqueFont = UniqueResource<GdiFontTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<IconTraits>;

// The system dpi, which the programs declare themselves aware of.
Scale ScreenScale();

// The first of `faces` (UTF-8, best first) that the system has; the last
// one when it has none of them, for the font mapper to stand in for.
std::wstring AvailableFace(std::span<const std::string_view> faces);

// The windows' 9-point font in `face` for a screen of `dpiY`.
HFONT makeFont(const std::wstring& face, int dpiY, bool bold, bool underline);

// The room a text takes in `font` as a static control draws it, measured
// in the font the system actually selected: the longest line by the lines'
// height; with a wrap width, its lines broken to fit that width. An empty
// text takes one line's height.
SIZE TextExtent(HDC dc, HFONT font, const std::string& text, int wrapWidth = 0,
                bool prefixes = false);

// Window texts as UTF-8, through the wide calls: no code page in between.
std::string WindowText(HWND hwnd);
void SetWindowTextUtf8(HWND hwnd, const std::string& text);

// An icon resource of this program drawn at `size` pixels square: the
// image of that size when the resource has one, else the nearest scaled.
HICON loadIconSized(HINSTANCE instance, WORD id, int size);

// Where a top-level window with this client size, style and extended
// style goes to be centred on the work area (never above or left of it).
PixelBox CentredOnWorkArea(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

// A child window (WS_CHILD is added) of a system or own wide class, its text
// UTF-8, in `font` when one is given; `param` reaches its WM_NCCREATE.
HWND makeControl(DWORD exStyle, const wchar_t* cls, const std::string& text, DWORD style,
                 HWND parent, int id, const PixelBox& box, HFONT font, void* param = nullptr);

// The object a window was made for, CreateWindowEx's last argument: kept
// from WM_NCCREATE on, null once the window cleared it.
template <class T>
T* windowObject(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// A press of the left button counts as a click only when it is released
// over the same window, as with a button: for a window procedure to call
// with each of its messages; true when `msg` completed a click.
bool ClickOnRelease(HWND hwnd, UINT msg, LPARAM lParam);

// A static control that tells its parent STN_CLICKED on release, by the
// rule above, instead of on the press as statics do.
void SendClicksOnRelease(HWND control);

// For the message loops: Tab, Shift+Tab, Enter, Esc and access keys of a
// window that is no dialog, for messages to it or its children; true when
// the message has been handled.
bool TranslateDialogKeys(HWND form, MSG& msg);

// For WM_ACTIVATE of such a window: the control with the keyboard is kept
// when the window goes inactive (a message box, another program) and gets it
// back when the window is active again; `fallback` gets it when that control
// is gone or disabled.
void KeepFocusOnActivate(HWND form, WPARAM wParam, HWND& lastFocus, HWND fallback);

// For the window procedure of such a window: moving the focus (Tab, access
// keys) and Enter on the focused button. Esc arrives as WM_COMMAND IDCANCEL
// with no control. True when `msg` was one of these; `result` is its answer.
bool HandleDialogNavigation(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace qm
