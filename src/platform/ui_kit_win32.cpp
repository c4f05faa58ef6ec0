#include "platform/ui_kit_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/utf16_win32.h"

namespace qm {
namespace {

constexpr int kPointSize = 9;
constexpr UINT_PTR kClickSubclassId = 0x51C1;

LRESULT CALLBACK clickOnReleaseProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // Kept from the static, which would report the click right now.
            ClickOnRelease(hwnd, msg, lParam);
            return 0;
        case WM_LBUTTONUP:
            if (ClickOnRelease(hwnd, msg, lParam)) {
                // The parent may destroy this control in answer: nothing of
                // it is touched afterwards.
                SendMessageW(GetParent(hwnd), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                             reinterpret_cast<LPARAM>(hwnd));
            }
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &clickOnReleaseProc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

}  // namespace

Scale ScreenScale() {
    Scale s;
    WindowDc dc(nullptr);
    if (dc.get() != nullptr) {
        s.dpiX = UsableDpi(GetDeviceCaps(dc.get(), LOGPIXELSX));
        s.dpiY = UsableDpi(GetDeviceCaps(dc.get(), LOGPIXELSY));
    }
    return s;
}

std::wstring AvailableFace(std::span<const std::string_view> faces) {
    std::wstring last;
    WindowDc dc(nullptr);
    for (std::string_view face : faces) {
        if (face.empty()) continue;
        last = WideFromUtf8(face);
        if (dc.get() == nullptr || last.size() >= LF_FACESIZE) continue;
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        last.copy(wanted.lfFaceName, last.size());
        bool found = false;
        EnumFontFamiliesExW(dc.get(), &wanted, &noteFace, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return last;
    }
    return last;
}

HFONT makeFont(const std::wstring& face, int dpiY, bool bold, bool underline) {
    return CreateFontW(-MulDiv(kPointSize, UsableDpi(dpiY), 72), 0, 0, 0,
                       bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

SIZE TextExtent(HDC dc, HFONT font, const std::string& text, int wrapWidth, bool prefixes) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    const std::wstring wide = WideFromUtf8(text);
    if (wide.empty()) {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        size = {0, tm.tmHeight};
    } else {
        RECT r{0, 0, wrapWidth, 0};
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r,
                  DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | (prefixes ? 0 : DT_NOPREFIX) |
                      (wrapWidth > 0 ? DT_WORDBREAK : 0));
        size = {r.right - r.left, r.bottom - r.top};
    }
    SelectObject(dc, old);
    return size;
}

std::string WindowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    if (n <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(n) + 1);
    const int got = GetWindowTextW(hwnd, buffer.data(), n + 1);
    return Utf8FromWide(
        std::wstring_view(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0));
}

void SetWindowTextUtf8(HWND hwnd, const std::string& text) {
    SetWindowTextW(hwnd, WideFromUtf8(text).c_str());
}

HICON loadIconSized(HINSTANCE instance, WORD id, int size) {
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HWND makeControl(DWORD exStyle, const wchar_t* cls, const std::string& text, DWORD style,
                 HWND parent, int id, const PixelBox& box, HFONT font, void* param) {
    HWND hwnd = CreateWindowExW(exStyle, cls, WideFromUtf8(text).c_str(), WS_CHILD | style,
                                box.left, box.top, box.width, box.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), param);
    if (hwnd != nullptr && font != nullptr) {
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return hwnd;
}

PixelBox CentredOnWorkArea(int clientWidth, int clientHeight, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const int left = std::max<int>(work.left, work.left + (work.right - work.left - width) / 2);
    const int top = std::max<int>(work.top, work.top + (work.bottom - work.top - height) / 2);
    return {left, top, width, height};
}

bool ClickOnRelease(HWND hwnd, UINT msg, LPARAM lParam) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // Holding the mouse, the window gets the release wherever it is.
            SetCapture(hwnd);
            return false;
        case WM_LBUTTONUP: {
            // A release whose press was elsewhere is no click.
            if (GetCapture() != hwnd) return false;
            ReleaseCapture();
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            RECT client{};
            GetClientRect(hwnd, &client);
            if (!PtInRect(&client, at)) return false;
            // Over a child of the window is over another control.
            return ChildWindowFromPointEx(hwnd, at, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT) ==
                   hwnd;
        }
        default:
            return false;
    }
}

void SendClicksOnRelease(HWND control) {
    if (control != nullptr) SetWindowSubclass(control, &clickOnReleaseProc, kClickSubclassId, 0);
}

bool TranslateDialogKeys(HWND form, MSG& msg) {
    if (form == nullptr || msg.hwnd == nullptr) return false;
    if (msg.hwnd != form && !IsChild(form, msg.hwnd)) return false;
    return IsDialogMessageW(form, &msg) != FALSE;
}

void KeepFocusOnActivate(HWND form, WPARAM wParam, HWND& lastFocus, HWND fallback) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(form, focus)) lastFocus = focus;
        return;
    }
    if (HIWORD(wParam) != 0) return;  // minimised
    if (lastFocus != nullptr && IsWindow(lastFocus) && IsWindowEnabled(lastFocus)) {
        SetFocus(lastFocus);
    } else if (fallback != nullptr) {
        SetFocus(fallback);
    }
}

bool HandleDialogNavigation(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_NEXTDLGCTL: {
            // Tab and Shift+Tab from the dialog keys, access keys and
            // multi-line text boxes.
            HWND target = nullptr;
            if (LOWORD(lParam) != 0) {
                target = reinterpret_cast<HWND>(wParam);
            } else {
                HWND focus = GetFocus();
                if (focus != nullptr && !IsChild(form, focus)) focus = nullptr;
                target = GetNextDlgTabItem(form, focus, wParam != 0);
            }
            if (target != nullptr) SetFocus(target);
            result = 0;
            return true;
        }
        case DM_GETDEFID: {
            // Enter presses the button that has the keyboard.
            result = 0;
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(form, focus) && IsWindowEnabled(focus) &&
                (SendMessageW(focus, WM_GETDLGCODE, 0, 0) &
                 (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
                result = MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace qm
