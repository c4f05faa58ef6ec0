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
// Around a button's text: its edges and the focus rectangle.
constexpr int kButtonPadX = 16;

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

int UninstallWindowWin32::measuredHeight(const std::string& text, bool wrap) const {
    WindowDc dc(nullptr);
    if (dc.get() == nullptr) return scale_.y(16);
    return TextExtent(dc.get(), font_.get(), text, wrap ? textWidth_ : 0).cy;
}

void UninstallWindowWin32::measureWidths() {
    using namespace uninstalldesign;
    buttonWidth_ = scale_.x(kButtonWidth);
    int checkWidth = 0;
    WindowDc dc(nullptr);
    if (dc.get() != nullptr) {
        // The access keys' marks take no room.
        for (SetupText t : {SetupText::UninstallButton, SetupText::Cancel}) {
            const int text = TextExtent(dc.get(), font_.get(), Text(t), 0, true).cx;
            buttonWidth_ = std::max(buttonWidth_, text + scale_.x(kButtonPadX));
        }
        checkWidth =
            GetSystemMetrics(SM_CXMENUCHECK) + scale_.x(6) +
            static_cast<int>(TextExtent(dc.get(), font_.get(), Text(SetupText::UninstallPurge)).cx);
    }
    // The text column is as drawn, or wider for the check box or the two
    // buttons under it.
    const int left = scale_.x(kTextLeft);
    const int buttons = 2 * buttonWidth_ + scale_.x(kButtonGap);
    clientWidth_ = std::max({scale_.x(kClientWidth), left + checkWidth + scale_.x(kMargin),
                             left + buttons + scale_.x(kMargin)});
    textWidth_ = clientWidth_ - left - scale_.x(kMargin);
}

int UninstallWindowWin32::buttonHeight(int lineHeight) const {
    return std::max(scale_.y(uninstalldesign::kButtonHeight), lineHeight + scale_.y(8));
}

bool UninstallWindowWin32::create(const std::vector<std::string>& question, bool purgeTicked) {
    using namespace uninstalldesign;
    scale_ = ScreenScale();
    // The font of the installer's language that this system has.
    font_.reset(makeFont(AvailableFace(CurrentLanguage().fontFaces), scale_.dpiY, false, false));
    picture_.reset(loadIconSized(instance_, kProgramIconId, scale_.x(kIconSize)));
    measureWidths();

    // The height follows the texts, as the screen's font draws them.
    int height = scale_.y(kMargin);
    for (const std::string& paragraph : question) {
        height += measuredHeight(paragraph, true) + scale_.y(kParagraphGap);
    }
    const int line = measuredHeight({}, false);
    height += scale_.y(kSectionGap - kParagraphGap) + std::max(scale_.y(kCheckHeight), line) +
              scale_.y(kParagraphGap) + line + scale_.y(kSectionGap) + buttonHeight(line) +
              scale_.y(kMargin);
    height = std::max(height, scale_.y(kMargin + kIconSize + kMargin));

    const PixelBox at = CentredOnWorkArea(clientWidth_, height, kFormStyle, kFormExStyle);
    const std::wstring caption = WideFromUtf8(Text(SetupText::UninstallCaption));
    CreateWindowExW(kFormExStyle, kFormClass, caption.c_str(), kFormStyle, at.left, at.top,
                    at.width, at.height, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) return false;
    makeControls(question, purgeTicked);
    return true;
}

void UninstallWindowWin32::makeControls(const std::vector<std::string>& question,
                                        bool purgeTicked) {
    using namespace uninstalldesign;
    HFONT font = font_.get();
    const int left = scale_.x(kTextLeft);
    const int textWidth = textWidth_;

    HWND icon = makeControl(0, L"STATIC", "", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, hwnd_, kIconId,
                            scale_.box(PixelBox{kMargin, kMargin, kIconSize, kIconSize}), nullptr);
    if (icon != nullptr && picture_) {
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(picture_.get()), 0);
        // Setting an icon may have sized the control to the icon's own size.
        const PixelBox box = scale_.box(PixelBox{kMargin, kMargin, kIconSize, kIconSize});
        SetWindowPos(icon, nullptr, box.left, box.top, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    int top = scale_.y(kMargin);
    int id = kParagraphId;
    for (const std::string& paragraph : question) {
        const int height = measuredHeight(paragraph, true);
        makeControl(0, L"STATIC", paragraph, WS_VISIBLE | kStaticText, hwnd_, id++,
                    {left, top, textWidth, height}, font);
        top += height + scale_.y(kParagraphGap);
    }
    top += scale_.y(kSectionGap - kParagraphGap);

    const int checkHeight = std::max(scale_.y(kCheckHeight), measuredHeight({}, false));
    purge_ = makeControl(0, L"BUTTON", Text(SetupText::UninstallPurge),
                         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, hwnd_, kPurgeId,
                         {left, top, textWidth, checkHeight}, font);
    if (purge_ != nullptr && purgeTicked) SendMessageW(purge_, BM_SETCHECK, BST_CHECKED, 0);
    top += checkHeight + scale_.y(kParagraphGap);

    // One line; a long path is shortened in its middle rather than cut.
    const int lineHeight = measuredHeight({}, false);
    status_ = makeControl(0, L"STATIC", "",
                          WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, hwnd_,
                          kStatusId, {left, top, textWidth, lineHeight}, font);
    top += lineHeight + scale_.y(kSectionGap);

    const int buttonWidth = buttonWidth_;
    const int buttonsHeight = buttonHeight(lineHeight);
    const int right = clientWidth_ - scale_.x(kMargin);
    uninstall_ = makeControl(
        0, L"BUTTON", Text(SetupText::UninstallButton), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
        hwnd_, kUninstallId,
        {right - 2 * buttonWidth - scale_.x(kButtonGap), top, buttonWidth, buttonsHeight}, font);
    cancel_ =
        makeControl(0, L"BUTTON", Text(SetupText::Cancel), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                    hwnd_, kCancelId, {right - buttonWidth, top, buttonWidth, buttonsHeight}, font);
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
