#include "setup/uninstall_window_win32.h"

#include <algorithm>

#include "platform/utf16_win32.h"
#include "setup/setup_wizard.h"
#include "texts/language.h"

namespace qm {
namespace {

constexpr wchar_t kFormClass[] = L"QuillmoorUninstall";
constexpr WORD kProgramIconId = 1;

enum ControlId : int {
    kIconId = 201,
    kParagraphId,  // the question's paragraphs follow one another from here
    kPurgeId = 230,
    kStatusId,
    kUninstallId,
    kCancelId,
};

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr DWORD kStaticText = SS_LEFT | SS_NOPREFIX;

}  // namespace

UninstallWindowWin32::UninstallWindowWin32(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &UninstallWindowWin32::formProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kProgramIconId));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
}

UninstallWindowWin32::~UninstallWindowWin32() {
    model_ = nullptr;
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

UninstallLayout UninstallWindowWin32::layOut(const std::vector<std::string>& question) const {
    WindowDc dc(nullptr);
    const MeasureText measure = [&](const std::string& text, std::int32_t wrapWidth,
                                    bool prefixes) {
        if (dc.get() == nullptr) return TextSize{0, scale_.y(16)};
        const SIZE size = TextExtent(dc.get(), font_.get(), text, wrapWidth, prefixes);
        return TextSize{size.cx, size.cy};
    };
    return LayOutUninstall(scale_, question, GetSystemMetrics(SM_CXMENUCHECK) + scale_.x(6),
                           measure);
}

bool UninstallWindowWin32::create(const std::vector<std::string>& question, bool purgeTicked) {
    using namespace uninstalldesign;
    scale_ = ScreenScale();
    // The font of the installer's language that this system has.
    font_.reset(makeFont(AvailableFace(CurrentLanguage().fontFaces), scale_.dpiY, false, false));
    picture_.reset(loadIconSized(instance_, kProgramIconId, scale_.x(kIconSize)));
    const UninstallLayout l = layOut(question);

    const PixelBox at = CentredOnWorkArea(l.clientWidth, l.clientHeight, kFormStyle, kFormExStyle);
    const std::wstring caption = WideFromUtf8(Text(SetupText::UninstallCaption));
    CreateWindowExW(kFormExStyle, kFormClass, caption.c_str(), kFormStyle, at.left, at.top,
                    at.width, at.height, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) return false;
    makeControls(l, question, purgeTicked);
    return true;
}

void UninstallWindowWin32::makeControls(const UninstallLayout& l,
                                        const std::vector<std::string>& question,
                                        bool purgeTicked) {
    HFONT font = font_.get();
    HWND icon = makeControl(0, L"STATIC", "", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, hwnd_, kIconId,
                            l.icon, nullptr);
    if (icon != nullptr && picture_) {
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(picture_.get()), 0);
        // Setting an icon may have sized the control to the icon's own size.
        SetWindowPos(icon, nullptr, l.icon.left, l.icon.top, l.icon.width, l.icon.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (std::size_t i = 0; i < question.size() && i < l.paragraphs.size(); ++i) {
        makeControl(0, L"STATIC", question[i], WS_VISIBLE | kStaticText, hwnd_,
                    kParagraphId + static_cast<int>(i), l.paragraphs[i], font);
    }
    purge_ = makeControl(0, L"BUTTON", Text(SetupText::UninstallPurge),
                         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, hwnd_, kPurgeId, l.purge, font);
    if (purge_ != nullptr && purgeTicked) SendMessageW(purge_, BM_SETCHECK, BST_CHECKED, 0);
    // One line; a long path is shortened in its middle rather than cut.
    status_ = makeControl(0, L"STATIC", "",
                          WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, hwnd_,
                          kStatusId, l.status, font);
    uninstall_ = makeControl(0, L"BUTTON", Text(SetupText::UninstallButton),
                             WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, hwnd_, kUninstallId,
                             l.uninstall, font);
    cancel_ =
        makeControl(0, L"BUTTON", Text(SetupText::Cancel), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                    hwnd_, kCancelId, l.cancel, font);
}

void UninstallWindowWin32::show(int showState) {
    if (hwnd_ == nullptr) return;
    ShowWindow(hwnd_, showState);
    UpdateWindow(hwnd_);
    if (uninstall_ != nullptr) SetFocus(uninstall_);
}

// ---------------------------------------------------------------- the port

void UninstallWindowWin32::setStatus(const std::string& text) {
    if (status_ == nullptr) return;
    SetWindowTextUtf8(status_, text);
    UpdateWindow(status_);
}

void UninstallWindowWin32::enableAnswers(bool enabled) {
    for (HWND control : {purge_, uninstall_, cancel_}) {
        if (control != nullptr) EnableWindow(control, enabled ? TRUE : FALSE);
    }
}

int UninstallWindowWin32::messageBox(const std::string& text, std::uint32_t style) {
    return MessageBoxW(hwnd_, WideFromUtf8(text).c_str(),
                       WideFromUtf8(Text(SetupText::UninstallCaption)).c_str(), style);
}

void UninstallWindowWin32::close() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK UninstallWindowWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<UninstallWindowWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT UninstallWindowWin32::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDialogNavigation(hwnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_COMMAND: {
            if (model_ == nullptr) return 0;
            // Esc comes as IDCANCEL from no control.
            const auto from = reinterpret_cast<HWND>(lParam);
            if (LOWORD(wParam) == IDCANCEL && from == nullptr) {
                model_->onCancel();
            } else if (HIWORD(wParam) == BN_CLICKED && from != nullptr && from == uninstall_) {
                const bool purge =
                    purge_ != nullptr && SendMessageW(purge_, BM_GETCHECK, 0, 0) == BST_CHECKED;
                model_->onUninstall(purge);
            } else if (HIWORD(wParam) == BN_CLICKED && from != nullptr && from == cancel_) {
                model_->onCancel();
            }
            return 0;
        }
        case WM_ACTIVATE:
            // Back from the box or another program: the keyboard goes back
            // to the control that had it.
            KeepFocusOnActivate(hwnd, wParam, lastFocus_, cancel_);
            return 0;
        case WM_CLOSE:
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

void UninstallWindowWin32::onWindowGone() {
    hwnd_ = purge_ = status_ = uninstall_ = cancel_ = lastFocus_ = nullptr;
    if (model_ != nullptr) model_->onDestroyed();
}

}  // namespace qm
