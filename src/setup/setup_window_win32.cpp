#include "setup/setup_window_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/system_helpers.h"
#include "platform/utf16_win32.h"
#include "texts/language.h"

namespace qm {
namespace {

constexpr wchar_t kFormClass[] = L"QuillmoorSetup";
// Picture1, Frame1 and Frame2: containers that pass their children's
// notices on to the form.
constexpr wchar_t kPaneClass[] = L"QuillmoorSetupPane";
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

// Moves a design box from form coordinates into those of a container.
setupdesign::Twips inside(const setupdesign::Twips& box, const setupdesign::Twips& container) {
    return {box.left - container.left, box.top - container.top, box.width, box.height};
}

}  // namespace

SetupWindowWin32::SetupWindowWin32(HINSTANCE instance) : instance_(instance) {
    whiteBrush_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &SetupWindowWin32::formProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kProgramIconId));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);

    WNDCLASSEXW pane{};
    pane.cbSize = sizeof pane;
    pane.lpfnWndProc = &SetupWindowWin32::paneProc;
    pane.hInstance = instance_;
    pane.hCursor = LoadCursor(nullptr, IDC_ARROW);
    pane.lpszClassName = kPaneClass;
    RegisterClassExW(&pane);
}

SetupWindowWin32::~SetupWindowWin32() {
    model_ = nullptr;
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

SetupTextMetrics SetupWindowWin32::measureTexts() const {
    SetupTextMetrics m;
    m.dpiX = scale_.dpiX;
    m.dpiY = scale_.dpiY;
    WindowDc dc(nullptr);
    if (dc.get() == nullptr || !font_ || !boldFont_) return m;
    HFONT font = font_.get();
    const auto width = [&](const std::string& text) { return TextExtent(dc.get(), font, text).cx; };
    // Buttons draw their access keys' marks as underlines, taking no room.
    const auto button = [&](const std::string& text) {
        return TextExtent(dc.get(), font, text, 0, true).cx;
    };
    m.lineHeight = TextExtent(dc.get(), font, "").cy;
    m.boldLineHeight = TextExtent(dc.get(), boldFont_.get(), "").cy;
    m.label1Width = TextExtent(dc.get(), boldFont_.get(), Text(SetupText::Label1)).cx;
    m.label2Width = width(Text(SetupText::Label2));
    m.label3Width = width(Text(SetupText::Label3));
    m.label4Width = width(Text(SetupText::HomePageLink, {kHomePageUrl}));
    m.changeFolderWidth = button(Text(SetupText::ChangeFolder));
    m.cancelWidth = button(Text(SetupText::Cancel));
    m.startWidth = button(Text(SetupText::Start));
    return m;
}

bool SetupWindowWin32::create() {
    scale_ = ScreenScale();
    // The font of the installer's language that this system has.
    const std::wstring face = AvailableFace(CurrentLanguage().fontFaces);
    font_.reset(makeFont(face, scale_.dpiY, false, false));
    boldFont_.reset(makeFont(face, scale_.dpiY, true, false));
    picture_.reset(loadIconSized(instance_, kProgramIconId, scale_.x(kIconSizeAt96)));
    layout_ = LayOutSetup(measureTexts());

    const PixelBox at =
        CentredOnWorkArea(scale_.twipsX(layout_.clientWidth), scale_.twipsY(layout_.clientHeight),
                          kFormStyle, kFormExStyle);
    const std::wstring caption = WideFromUtf8(Text(SetupText::Caption));
    CreateWindowExW(kFormExStyle, kFormClass, caption.c_str(), kFormStyle, at.left, at.top,
                    at.width, at.height, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) return false;
    makeControls();
    return true;
}

HWND SetupWindowWin32::makeChild(const wchar_t* cls, const std::string& text, DWORD style,
                                 DWORD exStyle, HWND parent, int id, const setupdesign::Twips& box,
                                 HFONT font) {
    if (parent == nullptr) return nullptr;
    return makeControl(exStyle, cls, text, WS_VISIBLE | style, parent, id, scale_.twipsBox(box),
                       font);
}

HWND SetupWindowWin32::makePane(HWND parent, int id, const setupdesign::Twips& box) {
    if (parent == nullptr) return nullptr;
    return makeControl(WS_EX_CONTROLPARENT, kPaneClass, "", WS_VISIBLE | WS_CLIPCHILDREN, parent,
                       id, scale_.twipsBox(box), nullptr, this);
}

void SetupWindowWin32::makeControls() {
    const SetupLayout& l = layout_;
    HFONT font = font_.get();
    const DWORD label = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;

    // The white band across the top; its labels sit on it.
    picture1_ = makePane(hwnd_, kPicture1Id, l.picture1);
    label1_ = makeChild(L"STATIC", Text(SetupText::Label1), label, 0, picture1_, kLabel1Id,
                        inside(l.label1, l.picture1), boldFont_.get());
    label2_ = makeChild(L"STATIC", Text(SetupText::Label2), label, 0, picture1_, kLabel2Id,
                        inside(l.label2, l.picture1), font);
    picture2_ = makeChild(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, 0, picture1_, kPicture2Id,
                          l.picture2, nullptr);
    if (picture2_ != nullptr && picture_) {
        SendMessageW(picture2_, STM_SETICON, reinterpret_cast<WPARAM>(picture_.get()), 0);
        // Setting an icon may have sized the control to the icon's own size.
        const PixelBox at = scale_.twipsBox(l.picture2);
        SetWindowPos(picture2_, nullptr, at.left, at.top, at.width, at.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    label3_ =
        makeChild(L"STATIC", Text(SetupText::Label3), label, 0, hwnd_, kLabel3Id, l.label3, font);
    frame1_ = makePane(hwnd_, kFrame1Id, l.frame1);
    // Shows the folder only: the model never reads what is typed here.
    text1_ =
        makeChild(L"EDIT", Text(SetupText::Text1Design), ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP,
                  WS_EX_CLIENTEDGE, frame1_, kText1Id, l.text1, font);
    command1_ = makeChild(L"BUTTON", Text(SetupText::ChangeFolder), button, 0, hwnd_, kCommand1Id,
                          l.command1, font);
    label4_ = makeChild(L"STATIC", Text(SetupText::HomePageLink, {kHomePageUrl}), label | SS_NOTIFY,
                        0, hwnd_, kLabel4Id, l.label4, font);
    // A link opens on release, as a button acts: a press that slides off it
    // opens nothing.
    SendClicksOnRelease(label4_);
    text2_ = makeChild(L"EDIT", Text(SetupText::Text2Design),
                       ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, hwnd_, kText2Id, l.text2, font);

    // The band along the bottom with the two buttons.
    frame2_ = makePane(hwnd_, kFrame2Id, l.frame2);
    command3_ = makeChild(L"BUTTON", Text(SetupText::Cancel), button, 0, frame2_, kCommand3Id,
                          l.command3, font);
    command2_ = makeChild(L"BUTTON", Text(SetupText::Start), button, 0, frame2_, kCommand2Id,
                          l.command2, font);
}

void SetupWindowWin32::show(int showState) {
    if (hwnd_ == nullptr) return;
    ShowWindow(hwnd_, showState);
    UpdateWindow(hwnd_);
    if (command2_ != nullptr) SetFocus(command2_);
}

// ---------------------------------------------------------------- the port

void SetupWindowWin32::setText1(const std::string& text) {
    if (text1_ != nullptr) SetWindowTextUtf8(text1_, text);
}

void SetupWindowWin32::setText2(const std::string& text) {
    if (text2_ != nullptr) SetWindowTextUtf8(text2_, text);
}

void SetupWindowWin32::focusText2AtEnd() {
    if (text2_ == nullptr) return;
    SetFocus(text2_);
    const int end = GetWindowTextLengthW(text2_);
    SendMessageW(text2_, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(text2_, EM_SCROLLCARET, 0, 0);
}

void SetupWindowWin32::enableChoosing(bool enabled) {
    if (command1_ != nullptr) EnableWindow(command1_, enabled ? TRUE : FALSE);
    if (command2_ != nullptr) EnableWindow(command2_, enabled ? TRUE : FALSE);
}

int SetupWindowWin32::messageBox(const std::string& text, std::uint32_t style) {
    if (hwnd_ == nullptr) return 0;
    return MessageBoxW(hwnd_, WideFromUtf8(text).c_str(),
                       WideFromUtf8(Text(SetupText::Caption)).c_str(), style);
}

std::string SetupWindowWin32::browseForFolder(const std::string& title) {
    if (hwnd_ == nullptr) return {};
    const std::wstring wideTitle = WideFromUtf8(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = hwnd_;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info);
    if (picked == nullptr) return {};
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(picked, path);
    CoTaskMemFree(picked);
    if (!ok) return {};
    return Utf8FromWide(std::wstring_view(path, wcsnlen(path, MAX_PATH)));
}

void SetupWindowWin32::close() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK SetupWindowWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<SetupWindowWin32*>(cs->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<SetupWindowWin32*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->handleForm(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SetupWindowWin32::paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<SetupWindowWin32*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
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
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            onWindowGone();
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
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
    return DefWindowProcW(hwnd, msg, wParam, lParam);
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
        TEXTMETRICW tm{};
        const HGDIOBJ old = SelectObject(dc, font_.get());
        GetTextMetricsW(dc, &tm);
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
