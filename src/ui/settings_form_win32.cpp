#include "ui/settings_form_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/rounding.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr char kFormClass[] = "QuillmoorSettings";
// Containers on the button face (Picture1, the list control) and on the
// window colour (the viewport and the panel it scrolls).
constexpr char kPaneClass[] = "QuillmoorSettingsPane";
constexpr char kViewClass[] = "QuillmoorSettingsView";
constexpr UINT_PTR kScrollSubclass = 1;

enum FormControlId : int {
    kPicture1Id = 201,
    kListId,
    kViewportId,
    kPanelId,
    kScrollId,
    kCommand1Id,
    kCommand2Id,
};
enum MenuId : UINT { kMenuTitle = 1, kMenuCreate, kMenuDelete };

}  // namespace

void SettingsFormWin32::registerClasses(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);

    wc.lpfnWndProc = &SettingsFormWin32::formProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);

    wc.lpfnWndProc = &SettingsFormWin32::paneProc;
    wc.lpszClassName = kPaneClass;
    RegisterClassExA(&wc);

    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kViewClass;
    RegisterClassExA(&wc);

    RegisterDiskRowClass(instance);
}

std::unique_ptr<DiskRowPort> SettingsFormWin32::createRow(int index) {
    return CreateDiskRowWin32(*this, panel_, index);
}

void SettingsFormWin32::setScrollBar(bool enabled, std::int32_t maximum, std::int32_t value) {
    if (scroll_ == nullptr) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    si.nMin = 0;
    si.nMax = enabled ? std::max(maximum, 0) : 0;
    si.nPage = 0;
    si.nPos = enabled ? value : 0;
    SetScrollInfo(scroll_, SB_CTL, &si, TRUE);
    EnableWindow(scroll_, enabled ? TRUE : FALSE);
    EnableScrollBar(scroll_, SB_CTL, enabled ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
}

ListMenuChoice SettingsFormWin32::showContextMenu(const std::string& title) {
    if (hwnd_ == nullptr) return ListMenuChoice::None;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return ListMenuChoice::None;
    AppendMenuA(menu, MF_STRING, kMenuTitle, codePage_.toAnsi(title).c_str());
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kMenuCreate, codePage_.toAnsi(Text(TrayText::SettingsCreateImmunity)).c_str());
    AppendMenuA(menu, MF_STRING, kMenuDelete, codePage_.toAnsi(Text(TrayText::SettingsDeleteImmunity)).c_str());
    // The heading shows in bold; choosing it does nothing.
    SetMenuDefaultItem(menu, kMenuTitle, FALSE);
    // Without the foreground the menu would not close when clicked outside.
    SetForegroundWindow(hwnd_);
    POINT at{};
    GetCursorPos(&at);
    menuOpen_ = true;
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0,
        hwnd_, nullptr));
    menuOpen_ = false;
    DestroyMenu(menu);
    switch (chosen) {
        case kMenuCreate:
            return ListMenuChoice::CreateAuto;
        case kMenuDelete:
            return ListMenuChoice::DeleteAuto;
        default:
            return ListMenuChoice::None;
    }
}

HWND SettingsFormWin32::makePane(const char* cls, HWND parent, int id, const PixelBox& box,
                                 DWORD extraStyle) {
    if (parent == nullptr) return nullptr;
    return makeControl(WS_EX_CONTROLPARENT, cls, "", WS_VISIBLE | WS_CLIPCHILDREN | extraStyle,
                       parent, id, scale_.box(box), nullptr, this);
}

bool SettingsFormWin32::create() {
    using namespace disklistdesign;
    scale_ = ScreenScale();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    const PixelBox at =
        CentredOnWorkArea(scale_.x(kClientWidth), scale_.y(kClientHeight), style, exStyle);
    const std::string caption = codePage_.toAnsi(Text(TrayText::SettingsCaption));
    CreateWindowExA(exStyle, kFormClass, caption.c_str(), style, at.left, at.top, at.width, at.height, nullptr,
                    nullptr, owner_->instance_, this);
    if (hwnd_ == nullptr) return false;
    if (owner_->programIcon_) {
        if (HICON icon = owner_->programIcon_()) {
            SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        }
    }

    // Created in tab order: the rows' boxes, then the two buttons.
    picture1_ = makePane(kPaneClass, hwnd_, kPicture1Id, {0, 0, kPicture1Width, kPicture1Height});
    listWindow_ =
        makePane(kPaneClass, picture1_, kListId, {0, 0, kPicture1Width, kPicture1Height});
    // The bar lies over the viewport's right edge: it comes first, above it.
    if (listWindow_ != nullptr) {
        scroll_ = makeControl(0, "SCROLLBAR", "", WS_VISIBLE | SBS_VERT, listWindow_, kScrollId,
                              scale_.box({kScrollLeft, 0, kScrollWidth, kViewportHeight}), nullptr);
    }
    if (scroll_ != nullptr) {
        SetWindowSubclass(scroll_, &SettingsFormWin32::scrollProc, kScrollSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
    }
    viewport_ = makePane(kViewClass, listWindow_, kViewportId,
                         {0, 0, kViewportWidth, kViewportHeight}, WS_CLIPSIBLINGS);
    panel_ = makePane(kViewClass, viewport_, kPanelId, {0, 0, kPanelWidth, 0});
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    command1_ = makeControl(0, "BUTTON", codePage_.toAnsi(Text(TrayText::SettingsRefresh)), button, hwnd_,
                            kCommand1Id,
                            scale_.box({kCommand1Left, kCommandTop, kCommandWidth, kCommandHeight}),
                            font_);
    command2_ = makeControl(0, "BUTTON", codePage_.toAnsi(Text(TrayText::SettingsClose)), button, hwnd_,
                            kCommand2Id,
                            scale_.box({kCommand2Left, kCommandTop, kCommandWidth, kCommandHeight}),
                            font_);
    setScrollBar(false, 0, 0);
    return true;
}

void SettingsFormWin32::open() {
    Hold hold(*this);
    if (!create()) {
        gone_ = true;
        if (owner_ != nullptr) owner_->forget(this);
        return;
    }
    // Making the list makes its first row, which pumps: the window may go
    // meanwhile, before the list could be told.
    auto list = std::make_unique<u_DiskList>(
        *this, DiskRowServices{owner_->profile_, owner_->files_, owner_->loop_, owner_->diskIni_},
        ImmunityActions{[this](const std::string& drive) {
                            if (owner_ != nullptr && owner_->actions_.immunise) {
                                owner_->actions_.immunise(drive);
                            }
                        },
                        [this](const std::string& drive) {
                            if (owner_ != nullptr && owner_->actions_.remove) {
                                owner_->actions_.remove(drive);
                            }
                        }});
    list_ = std::move(list);
    if (gone_) {
        list_->onDestroyed();
        return;
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    if (command1_ != nullptr) SetFocus(command1_);
    main_.onLoad();
}

void SettingsFormWin32::bringToFront() {
    // Still being made: it shows itself once ready.
    if (hwnd_ == nullptr || gone_ || !IsWindowVisible(hwnd_)) return;
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
}

void SettingsFormWin32::abandon() {
    Hold hold(*this);
    if (owner_ != nullptr) owner_->forget(this);
    owner_ = nullptr;
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    } else {
        gone_ = true;
    }
}

void SettingsFormWin32::onWindowGone() {
    hwnd_ = nullptr;
    picture1_ = listWindow_ = viewport_ = panel_ = scroll_ = command1_ = command2_ = nullptr;
    lastFocus_ = nullptr;
    gone_ = true;
    if (list_) list_->onDestroyed();
    main_.onDestroyed();
    if (owner_ != nullptr) owner_->forget(this);
}

LRESULT CALLBACK SettingsFormWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<SettingsFormWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    Busy busy(*self);
    return self->handleForm(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SettingsFormWin32::paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<SettingsFormWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    Busy busy(*self);
    return self->handlePane(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SettingsFormWin32::scrollProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR id, DWORD_PTR data) {
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &SettingsFormWin32::scrollProc, id);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    auto* self = reinterpret_cast<SettingsFormWin32*>(data);
    if (msg == WM_SETFOCUS && !self->gone_ && self->list_) {
        // The bar never keeps the keyboard: it goes on to the viewport.
        Busy busy(*self);
        self->list_->onScrollBarFocus();
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT SettingsFormWin32::handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDialogNavigation(hwnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_COMMAND:
            // Esc: the window has no control of that id, so the command
            // comes alone, and closes the window as "关闭(&C)" does.
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
                main_.onCommand2();
            } else if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
                const auto from = reinterpret_cast<HWND>(lParam);
                if (from == command1_) {
                    main_.onCommand1();
                } else if (from == command2_) {
                    main_.onCommand2();
                }
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd, focus)) lastFocus_ = focus;
                return 0;
            }
            if (HIWORD(wParam) == 0) restoreFocus();
            return 0;
        case WM_SETFOCUS:
            restoreFocus();
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            // The row menu goes with its window, but its loop runs on until
            // it takes a message, and a quit message it takes is lost: the
            // program ending meanwhile would never leave its message loop.
            // This message ends the menu loop first.
            if (menuOpen_) {
                EndMenu();
                PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
            }
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            onWindowGone();
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void SettingsFormWin32::restoreFocus() {
    if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
        IsWindowVisible(lastFocus_)) {
        SetFocus(lastFocus_);
    } else if (command1_ != nullptr) {
        SetFocus(command1_);
    }
}

LRESULT SettingsFormWin32::handlePane(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_VSCROLL:
            if (hwnd == listWindow_ && reinterpret_cast<HWND>(lParam) == scroll_ &&
                scroll_ != nullptr) {
                onScroll(wParam);
                return 0;
            }
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            for (HWND* pane : {&picture1_, &listWindow_, &viewport_, &panel_}) {
                if (*pane == hwnd) *pane = nullptr;
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void SettingsFormWin32::onScroll(WPARAM wParam) {
    u_DiskList* list = list_.get();
    if (list == nullptr || gone_) return;
    const DiskListMetrics m = metrics();
    const std::int32_t page =
        std::max<std::int32_t>(1, m.rowHeight > 0 ? RoundHalfEven(static_cast<double>(
                                                                      m.viewportHeight) /
                                                                  m.rowHeight)
                                                  : 1);
    std::int32_t value = list->scrollValue();
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            value -= 1;
            break;
        case SB_LINEDOWN:
            value += 1;
            break;
        case SB_PAGEUP:
            value -= page;
            break;
        case SB_PAGEDOWN:
            value += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            value = GetScrollInfo(scroll_, SB_CTL, &si) ? si.nTrackPos : value;
            break;
        }
        case SB_TOP:
            value = 0;
            break;
        case SB_BOTTOM:
            value = list->scrollMaximum();
            break;
        default:
            return;
    }
    list->onScroll(std::clamp<std::int32_t>(value, 0, std::max(list->scrollMaximum(), 0)));
    if (scroll_ != nullptr) SetScrollPos(scroll_, SB_CTL, list->scrollValue(), TRUE);
}

}  // namespace qm
