#include "ui/ui_win32.h"

#include <algorithm>

namespace qm {
namespace {

constexpr int kPointSize = 9;

}  // namespace

Scale Scale::ofScreen() {
    Scale s;
    WindowDc dc(nullptr);
    if (dc.get() != nullptr) {
        s.dpiX = std::max(GetDeviceCaps(dc.get(), LOGPIXELSX), 1);
        s.dpiY = std::max(GetDeviceCaps(dc.get(), LOGPIXELSY), 1);
    }
    return s;
}

HFONT makeFont(const std::string& ansiFace, int dpiY, bool bold, bool underline) {
    return CreateFontA(-MulDiv(kPointSize, dpiY, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                       underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       ansiFace.c_str());
}

HWND makeControl(DWORD exStyle, const char* cls, const std::string& ansiText, DWORD style,
                 HWND parent, int id, const PixelBox& box, HFONT font, void* param) {
    HWND hwnd = CreateWindowExA(exStyle, cls, ansiText.c_str(), WS_CHILD | style, box.left,
                                box.top, box.width, box.height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), param);
    if (hwnd != nullptr && font != nullptr) {
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
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

}  // namespace qm
