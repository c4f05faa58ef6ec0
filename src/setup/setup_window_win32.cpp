#include "setup/setup_window_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/system_helpers.h"

namespace qm {
namespace {

constexpr char kFormClass[] = "QuillmoorSetup";
// Picture1, Frame1 and Frame2: containers that pass their children's
// notices on to the form.
constexpr char kPaneClass[] = "QuillmoorSetupPane";
constexpr int kIconSizeAt96 = 48;
constexpr WORD kProgramIconId = 1;

enum ControlId : int {
    kPicture1Id = 101,
    kLabel1Id,
    kLabel2Id,
    kPicture2Id,
    kLabel3Id,
    kFrame1Id,
    kText1Id,
    kCommand1Id,
    kLabel4Id,
    kText2Id,
    kFrame2Id,
    kCommand3Id,
    kCommand2Id,
};

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

std::string windowTextA(HWND hwnd) {
    const int n = GetWindowTextLengthA(hwnd);
    if (n <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    const int got = GetWindowTextA(hwnd, buffer.data(), n + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

// Moves a design box from form coordinates into those of a container.
setupdesign::Twips inside(const setupdesign::Twips& box, const setupdesign::Twips& container) {
    return {box.left - container.left, box.top - container.top, box.width, box.height};
}

}  // namespace

SetupWindowWin32::SetupWindowWin32(HINSTANCE instance, CodePage& codePage)
    : instance_(instance), codePage_(codePage) {
    whiteBrush_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &SetupWindowWin32::formProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(kProgramIconId));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);

    WNDCLASSEXA pane{};
    pane.cbSize = sizeof pane;
    pane.lpfnWndProc = &SetupWindowWin32::paneProc;
    pane.hInstance = instance_;
    pane.hCursor = LoadCursor(nullptr, IDC_ARROW);
    pane.lpszClassName = kPaneClass;
    RegisterClassExA(&pane);
}

SetupWindowWin32::~SetupWindowWin32() {
    model_ = nullptr;
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool SetupWindowWin32::create() {
    scale_ = ScreenScale();
    const std::string face = codePage_.toAnsi(setupdesign::kFont);
    font_.reset(makeFont(face, scale_.dpiY, false, false));
    boldFont_.reset(makeFont(face, scale_.dpiY, true, false));
    picture_.reset(loadIconSized(instance_, kProgramIconId, scale_.x(kIconSizeAt96)));

    const PixelBox at =
        CentredOnWorkArea(scale_.twipsX(setupdesign::kClientWidth),
                          scale_.twipsY(setupdesign::kClientHeight), kFormStyle, kFormExStyle);
    const std::string caption = codePage_.toAnsi(Text(SetupText::Caption));
    CreateWindowExA(kFormExStyle, kFormClass, caption.c_str(), kFormStyle, at.left, at.top,
                    at.width, at.height, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) return false;
    makeControls();
    return true;
}

HWND SetupWindowWin32::makeChild(const char* cls, const std::string& text, DWORD style,
                                 DWORD exStyle, HWND parent, int id, const setupdesign::Twips& box,
                                 HFONT font) {
    if (parent == nullptr) return nullptr;
    return makeControl(exStyle, cls, codePage_.toAnsi(text), WS_VISIBLE | style, parent, id,
                       scale_.twipsBox(box), font);
}

HWND SetupWindowWin32::makePane(HWND parent, int id, const setupdesign::Twips& box) {
    if (parent == nullptr) return nullptr;
    return makeControl(WS_EX_CONTROLPARENT, kPaneClass, "", WS_VISIBLE | WS_CLIPCHILDREN, parent,
                       id, scale_.twipsBox(box), nullptr, this);
}

void SetupWindowWin32::makeControls() {
    using namespace setupdesign;
    HFONT font = font_.get();
    const DWORD label = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;

    // The white band across the top; its labels sit on it.
    picture1_ = makePane(hwnd_, kPicture1Id, kPicture1);
    label1_ = makeChild("STATIC", Text(SetupText::Label1), label, 0, picture1_, kLabel1Id,
                        inside(kLabel1, kPicture1), boldFont_.get());
    label2_ = makeChild("STATIC", Text(SetupText::Label2), label, 0, picture1_, kLabel2Id,
                        inside(kLabel2, kPicture1), font);
    picture2_ = makeChild("STATIC", "", SS_ICON | SS_CENTERIMAGE, 0, picture1_, kPicture2Id,
                          kPicture2, nullptr);
    if (picture2_ != nullptr && picture_) {
        SendMessageA(picture2_, STM_SETICON, reinterpret_cast<WPARAM>(picture_.get()), 0);
        // Setting an icon may have sized the control to the icon's own size.
        const PixelBox at = scale_.twipsBox(kPicture2);
        SetWindowPos(picture2_, nullptr, at.left, at.top, at.width, at.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    label3_ = makeChild("STATIC", Text(SetupText::Label3), label, 0, hwnd_, kLabel3Id, kLabel3, font);
    frame1_ = makePane(hwnd_, kFrame1Id, kFrame1);
    // Shows the folder only: the model never reads what is typed here.
    text1_ = makeChild("EDIT", Text(SetupText::Text1Design), ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, frame1_, kText1Id, kText1, font);
    command1_ =
        makeChild("BUTTON", Text(SetupText::ChangeFolder), button, 0, hwnd_, kCommand1Id, kCommand1, font);
    label4_ = makeChild("STATIC", Text(SetupText::HomePageLink, {kHomePageUrl}),
                        label | SS_NOTIFY, 0, hwnd_, kLabel4Id, kLabel4, font);
    // A link opens on release, as a button acts: a press that slides off it
    // opens nothing.
    SendClicksOnRelease(label4_);
    text2_ = makeChild("EDIT", Text(SetupText::Text2Design),
                       ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, hwnd_, kText2Id, kText2, font);

    // The band along the bottom with the two buttons.
    frame2_ = makePane(hwnd_, kFrame2Id, kFrame2);
    command3_ =
        makeChild("BUTTON", Text(SetupText::Cancel), button, 0, frame2_, kCommand3Id, kCommand3, font);
    command2_ =
        makeChild("BUTTON", Text(SetupText::Start), button, 0, frame2_, kCommand2Id, kCommand2, font);

    fitLabel(label1_, boldFont_.get());
    fitLabel(label2_, font);
    fitLabel(label3_, font);
    fitLabel(label4_, font);
}

void SetupWindowWin32::fitLabel(HWND label, HFONT font) {
    if (label == nullptr || font == nullptr) return;
    HDC dc = GetDC(label);
    if (dc == nullptr) return;
    const HGDIOBJ old = SelectObject(dc, font);
    const std::string text = windowTextA(label);
    RECT need{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &need,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);

    RECT box{};
    GetWindowRect(label, &box);
    MapWindowPoints(nullptr, GetParent(label), reinterpret_cast<POINT*>(&box), 2);
    RECT room{};
    GetClientRect(GetParent(label), &room);
    const int width =
        std::min<int>(std::max<int>(box.right - box.left, need.right), room.right - box.left);
    const int height = std::max<int>(box.bottom - box.top, need.bottom);
    SetWindowPos(label, nullptr, 0, 0, std::max(width, 0), height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetupWindowWin32::show(int showState) {
    if (hwnd_ == nullptr) return;
    ShowWindow(hwnd_, showState);
    UpdateWindow(hwnd_);
    if (command2_ != nullptr) SetFocus(command2_);
}

// ---------------------------------------------------------------- the port

void SetupWindowWin32::setText1(const std::string& text) {
    if (text1_ != nullptr) SetWindowTextA(text1_, codePage_.toAnsi(text).c_str());
}

void SetupWindowWin32::setText2(const std::string& text) {
    if (text2_ != nullptr) SetWindowTextA(text2_, codePage_.toAnsi(text).c_str());
}

void SetupWindowWin32::focusText2AtEnd() {
    if (text2_ == nullptr) return;
    SetFocus(text2_);
    const int end = GetWindowTextLengthA(text2_);
    SendMessageA(text2_, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageA(text2_, EM_SCROLLCARET, 0, 0);
}

void SetupWindowWin32::enableChoosing(bool enabled) {
    if (command1_ != nullptr) EnableWindow(command1_, enabled ? TRUE : FALSE);
    if (command2_ != nullptr) EnableWindow(command2_, enabled ? TRUE : FALSE);
}

int SetupWindowWin32::messageBox(const std::string& text, std::uint32_t style) {
    if (hwnd_ == nullptr) return 0;
    return MessageBoxA(hwnd_, codePage_.toAnsi(text).c_str(),
                       codePage_.toAnsi(Text(SetupText::Caption)).c_str(), style);
}

std::string SetupWindowWin32::browseForFolder(const std::string& title) {
    if (hwnd_ == nullptr) return {};
    const std::string ansiTitle = codePage_.toAnsi(title);
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = hwnd_;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = ansiTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderA(&info);
    if (picked == nullptr) return {};
    char path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(picked, path);
    CoTaskMemFree(picked);
    if (!ok) return {};
    return codePage_.fromAnsi(std::string(path, strnlen(path, sizeof path)));
}

void SetupWindowWin32::close() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK SetupWindowWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* self = static_cast<SetupWindowWin32*>(cs->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<SetupWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->handleForm(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SetupWindowWin32::paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<SetupWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return self->handlePane(hwnd, msg, wParam, lParam);
}

bool SetupWindowWin32::handleChildNotice(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND:
            if (lParam != 0) onCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            result = 0;
            return true;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            const auto from = reinterpret_cast<HWND>(lParam);
            if (from == text1_ || from == text2_) {
                // Read-only, yet drawn as the text boxes they are.
                SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                SetBkColor(dc, GetSysColor(COLOR_WINDOW));
                result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
                return true;
            }
            SetBkMode(dc, TRANSPARENT);
            if (GetParent(from) == picture1_) {
                result = reinterpret_cast<LRESULT>(whiteBrush_);
                return true;
            }
            if (from == label4_) SetTextColor(dc, setupdesign::kLabel4Colour);
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        case WM_SETCURSOR:
            if (label4_ != nullptr && reinterpret_cast<HWND>(wParam) == label4_) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                result = TRUE;
                return true;
            }
            return false;
        default:
            return false;
    }
}

void SetupWindowWin32::onCommand(HWND from, WORD code) {
    if (model_ == nullptr) return;
    if (from == label4_) {
        if (code == STN_CLICKED) model_->onLabel4Click();
        return;
    }
    if (code != BN_CLICKED) return;
    if (from == command1_) {
        model_->onCommand1();
    } else if (from == command2_) {
        model_->onCommand2();
    } else if (from == command3_) {
        model_->onCommand3();
    }
}

LRESULT SetupWindowWin32::handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDialogNavigation(hwnd, msg, wParam, lParam, result)) return result;
    // Esc: the window has no control of that id, so the command comes alone.
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL && lParam == 0) {
        if (model_ != nullptr) model_->onCommand3();
        return 0;
    }
    if (handleChildNotice(msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_ACTIVATE:
            // Back from a message box or another program: the keyboard goes
            // back to the control that had it.
            KeepFocusOnActivate(hwnd, wParam, lastFocus_, command3_);
            return 0;
        case WM_CLOSE:
            // The model may ask first; while it asks, the window may go.
            if (model_ != nullptr && !model_->onCloseRequest()) return 0;
            if (hwnd_ != nullptr) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            onWindowGone();
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT SetupWindowWin32::handlePane(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (handleChildNotice(msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r,
                     hwnd == picture1_ ? whiteBrush_ : GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT:
            paintPane(hwnd);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void SetupWindowWin32::paintPane(HWND pane) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(pane, &ps);
    RECT r{};
    GetClientRect(pane, &r);
    if (pane == picture1_) {
        // A sunken picture box; only its lower edge lies inside the window.
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    } else {
        // A frame without a caption: its line runs half a text line down.
        TEXTMETRICA tm{};
        const HGDIOBJ old = SelectObject(dc, font_.get());
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        r.top += tm.tmHeight / 2;
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
    }
    EndPaint(pane, &ps);
}

void SetupWindowWin32::onWindowGone() {
    hwnd_ = nullptr;
    picture1_ = label1_ = label2_ = picture2_ = label3_ = frame1_ = text1_ = command1_ = label4_ =
        text2_ = frame2_ = command3_ = command2_ = nullptr;
    lastFocus_ = nullptr;
    if (model_ != nullptr) model_->onDestroyed();
}

}  // namespace qm
