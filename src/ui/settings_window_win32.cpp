#include "ui/settings_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "settings/settings_files.h"
#include "ui/texts.h"

namespace qm {
namespace {

constexpr char kFormClass[] = "QuillmoorSettings";
// Containers on the button face (Picture1, the list control) and on the
// window colour (the viewport and the panel it scrolls).
constexpr char kPaneClass[] = "QuillmoorSettingsPane";
constexpr char kViewClass[] = "QuillmoorSettingsView";
constexpr char kRowClass[] = "QuillmoorDiskRow";
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT_PTR kScrollSubclass = 1;
constexpr int kPointSize = 9;

enum FormControlId : int {
    kPicture1Id = 201,
    kListId,
    kViewportId,
    kPanelId,
    kScrollId,
    kCommand1Id,
    kCommand2Id,
};
// Row windows are numbered from here by their element index.
constexpr int kFirstRowId = 1000;

enum RowControlId : int { kPicId = 301, kLDiskId, kCheck1Id, kCheck2Id, kCheck3Id, kLabel1Id };

enum MenuId : UINT { kMenuTitle = 1, kMenuCreate, kMenuDelete };

// Design pixels (96 dpi) to the screen's.
struct Scale {
    int dpiX = 96, dpiY = 96;
    int x(int v) const { return MulDiv(v, dpiX, 96); }
    int y(int v) const { return MulDiv(v, dpiY, 96); }

    static Scale ofScreen() {
        Scale s;
        if (HDC dc = GetDC(nullptr)) {
            s.dpiX = std::max(GetDeviceCaps(dc, LOGPIXELSX), 1);
            s.dpiY = std::max(GetDeviceCaps(dc, LOGPIXELSY), 1);
            ReleaseDC(nullptr, dc);
        }
        return s;
    }
};

HWND makeControl(DWORD exStyle, const char* cls, const std::string& ansiText, DWORD style,
                 HWND parent, int id, const diskrowdesign::Box& box, const Scale& s, HFONT font,
                 void* param = nullptr) {
    HWND hwnd = CreateWindowExA(exStyle, cls, ansiText.c_str(), WS_CHILD | style, s.x(box.left),
                                s.y(box.top), s.x(box.width), s.y(box.height), parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), param);
    if (hwnd != nullptr && font != nullptr) {
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return hwnd;
}

RowMouseUp mouseUpOf(DiskRowControl control, UINT msg, WPARAM wParam, LPARAM lParam) {
    RowMouseUp e;
    e.control = control;
    e.button = msg == WM_RBUTTONUP ? 2 : msg == WM_MBUTTONUP ? 4 : 1;
    e.shift = static_cast<std::int16_t>(((wParam & MK_SHIFT) != 0 ? 1 : 0) |
                                        ((wParam & MK_CONTROL) != 0 ? 2 : 0) |
                                        (GetKeyState(VK_MENU) < 0 ? 4 : 0));
    e.x = static_cast<short>(LOWORD(lParam));
    e.y = static_cast<short>(HIWORD(lParam));
    return e;
}

bool isButtonUp(UINT msg) {
    return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
}

}  // namespace

class DiskRowWin32;

// One opening of the window: the window and its controls, the list model
// and the form model. It lives until its window is gone and no call of it
// is left on the stack.
class SettingsFormWin32 final : public DiskListPort {
  public:
    explicit SettingsFormWin32(SettingsWindowWin32& owner)
        : owner_(&owner),
          codePage_(owner.codePage_),
          font_(owner.font_.get()),
          main_(
              owner.loop_, [this] { refresh(); }, [this] { unload(); }) {}
    ~SettingsFormWin32() override {
        // Whatever the members' teardown runs must not free the form again.
        ++depth_;
        if (owner_ != nullptr) owner_->forget(this);
    }
    SettingsFormWin32(const SettingsFormWin32&) = delete;
    SettingsFormWin32& operator=(const SettingsFormWin32&) = delete;

    class Hold {
      public:
        explicit Hold(SettingsFormWin32& form) : form_(form) { ++form_.depth_; }
        ~Hold() {
            if (--form_.depth_ == 0 && form_.gone_) delete &form_;
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        SettingsFormWin32& form_;
    };

    // What every window procedure of the form holds while it calls a model:
    // the form, and the list once it exists, so that rows cleared by a pump
    // stay alive until the outermost call returns. The list's hold goes first.
    class Busy {
      public:
        explicit Busy(SettingsFormWin32& form) : form_(form) {
            if (form.list_) list_.emplace(*form.list_);
        }

      private:
        Hold form_;
        std::optional<u_DiskList::Hold> list_;
    };

    void open();
    void bringToFront();
    // The program is ending: destroy the window without calling back.
    void abandon();
    bool windowOpen() const { return hwnd_ != nullptr && !gone_; }
    HWND handle() const { return hwnd_; }

    void clearAll() {
        Busy busy(*this);
        if (!gone_ && list_) list_->aClearAll();
    }
    void addItem(const std::string& root, const std::string& caption, const std::string& serial) {
        Busy busy(*this);
        if (!gone_ && list_) list_->AddItem(root, caption, serial);
    }

    // For the rows.
    u_DiskList* list() { return list_.get(); }
    const Scale& scale() const { return scale_; }
    HFONT font() const { return font_; }
    CodePage& codePage() { return codePage_; }

    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // The list's window.
    std::unique_ptr<DiskRowPort> createRow(int index) override;
    DiskListMetrics metrics() override { return DiskListMetrics{}; }
    void setPanelHeight(std::int32_t height) override {
        if (panel_ != nullptr) {
            SetWindowPos(panel_, nullptr, 0, 0, scale_.x(disklistdesign::kPanelWidth),
                         scale_.y(height), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void setPanelTop(std::int32_t top) override {
        if (panel_ != nullptr) {
            SetWindowPos(panel_, nullptr, 0, scale_.y(top), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void setScrollBar(bool enabled, std::int32_t maximum, std::int32_t value) override;
    void focusViewport() override {
        if (viewport_ != nullptr) SetFocus(viewport_);
    }
    ListMenuChoice showContextMenu(const std::string& title) override;

  private:
    static LRESULT CALLBACK scrollProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    static SettingsFormWin32* fromWindow(HWND hwnd, UINT msg, LPARAM lParam);
    bool create();
    HWND makePane(const char* cls, HWND parent, int id, const diskrowdesign::Box& box,
                  DWORD extraStyle = 0);
    LRESULT handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handlePane(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void onScroll(WPARAM wParam);
    void restoreFocus();
    void onWindowGone();
    void refresh() {
        if (owner_ != nullptr && owner_->refresh_) owner_->refresh_();
    }
    void unload() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }

    SettingsWindowWin32* owner_;
    CodePage& codePage_;
    HFONT font_;
    Scale scale_;
    HWND hwnd_ = nullptr;
    HWND picture1_ = nullptr, listWindow_ = nullptr, viewport_ = nullptr, panel_ = nullptr,
         scroll_ = nullptr, command1_ = nullptr, command2_ = nullptr;
    HWND lastFocus_ = nullptr;
    int depth_ = 0;
    bool gone_ = false;
    bool menuOpen_ = false;
    frmMain main_;
    // Last, so that it goes first: its rows' windows refer to the form.
    std::unique_ptr<u_DiskList> list_;
};

// One drive row's window. The list owns it beside its model, which it
// finds by its element index whenever the window reports something: the
// model may not exist yet (the list is still making it) or any more.
class DiskRowWin32 final : public DiskRowPort {
  public:
    DiskRowWin32(SettingsFormWin32& form, int index) : form_(form), index_(index) {}
    ~DiskRowWin32() override {
        // The model is already gone, and the list may be going: the window
        // goes without a word to either.
        detached_ = true;
        if (hwnd_ != nullptr) {
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            if (tip_ != nullptr && IsWindow(tip_)) DestroyWindow(tip_);
            DestroyWindow(hwnd_);
        }
        if (icon_ != nullptr) DestroyIcon(icon_);
    }
    DiskRowWin32(const DiskRowWin32&) = delete;
    DiskRowWin32& operator=(const DiskRowWin32&) = delete;

    void create(HWND panel);

    void setDriveText(const std::string& text) override {
        if (hwnd_ != nullptr) SetWindowTextA(lDisk_, form_.codePage().toAnsi(text).c_str());
    }
    void setIcon(const std::string& root) override;
    void setToolTip(const std::string& text) override;
    void setCheck(DiskRowControl box, int value) override {
        if (hwnd_ == nullptr) return;
        if (HWND control = child(box); control != hwnd_) {
            SendMessageA(control, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    void setStatus(const std::string& text, std::uint32_t colour) override {
        statusColour_ = colour;
        if (hwnd_ == nullptr) return;
        SetWindowTextA(label1_, form_.codePage().toAnsi(text).c_str());
        InvalidateRect(label1_, nullptr, TRUE);
    }
    void place(std::int32_t left, std::int32_t top) override {
        if (hwnd_ != nullptr) {
            SetWindowPos(hwnd_, nullptr, form_.scale().x(left), form_.scale().y(top), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void show() override {
        if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_SHOWNA);
    }
    void destroy() override {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);
    u_Disk* model() {
        if (detached_) return nullptr;
        u_DiskList* list = form_.list();
        return list != nullptr ? list->row(index_) : nullptr;
    }
    HWND child(DiskRowControl control) const;
    DiskRowControl controlOf(HWND hwnd) const;
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    SettingsFormWin32& form_;
    const int index_;
    HWND hwnd_ = nullptr;
    HWND pic_ = nullptr, lDisk_ = nullptr, check1_ = nullptr, check2_ = nullptr,
         check3_ = nullptr, label1_ = nullptr, tip_ = nullptr;
    HICON icon_ = nullptr;
    std::uint32_t statusColour_ = diskrowdesign::kNotImmunisedColour;
    bool detached_ = false;
};

// ---------------------------------------------------------------- the row

void DiskRowWin32::create(HWND panel) {
    if (panel == nullptr) return;
    using namespace diskrowdesign;
    const Scale& s = form_.scale();
    CreateWindowExA(WS_EX_CONTROLPARENT, kRowClass, "", WS_CHILD | WS_CLIPCHILDREN, 0, 0,
                    s.x(kRow.width), s.y(kRow.height), panel,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstRowId + index_)),
                    GetModuleHandleA(nullptr), this);
    if (hwnd_ == nullptr) return;
    CodePage& cp = form_.codePage();
    HFONT font = form_.font();
    // The boxes first: they lie above the drive label, whose box overlaps
    // the first of them, and take the keyboard in this order.
    const DWORD shown = WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD box = shown | BS_CHECKBOX | WS_TABSTOP;
    const DWORD label = shown | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
    check1_ = makeControl(0, "BUTTON", cp.toAnsi(diskrowtext::kCheck1), box, hwnd_, kCheck1Id,
                          kCheck1, s, font);
    check2_ = makeControl(0, "BUTTON", cp.toAnsi(diskrowtext::kCheck2), box, hwnd_, kCheck2Id,
                          kCheck2, s, font);
    check3_ = makeControl(0, "BUTTON", cp.toAnsi(diskrowtext::kCheck3), box, hwnd_, kCheck3Id,
                          kCheck3, s, font);
    label1_ = makeControl(0, "STATIC", cp.toAnsi(diskrowtext::kNotImmunised), label, hwnd_,
                          kLabel1Id, kLabel1, s, font);
    lDisk_ = makeControl(0, "STATIC", cp.toAnsi(diskrowtext::kDesignDrive), label, hwnd_,
                         kLDiskId, kLDisk, s, font);
    pic_ = makeControl(0, "STATIC", "", shown | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, hwnd_,
                       kPicId, kPic, s, nullptr);

    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    const DiskRowControl controls[] = {DiskRowControl::Pic,    DiskRowControl::LDisk,
                                       DiskRowControl::Check1, DiskRowControl::Check2,
                                       DiskRowControl::Check3, DiskRowControl::Label1};
    for (DiskRowControl control : controls) {
        HWND hwnd = child(control);
        if (hwnd == hwnd_ || hwnd == nullptr) continue;
        SetWindowSubclass(hwnd, &DiskRowWin32::controlProc, static_cast<UINT_PTR>(control),
                          reinterpret_cast<DWORD_PTR>(this));
        if (tip_ != nullptr) {
            TOOLINFOA ti{};
            ti.cbSize = sizeof ti;
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = hwnd_;
            ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
            ti.lpszText = const_cast<char*>("");
            SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }
    SetTimer(hwnd_, kStatusTimer, kStatusTimerMs, nullptr);
}

void DiskRowWin32::setIcon(const std::string& root) {
    if (hwnd_ == nullptr) return;
    HICON icon = nullptr;
    if (!root.empty()) {
        const std::string ansi = form_.codePage().toAnsi(root);
        SHFILEINFOA sfi{};
        if (SHGetFileInfoA(ansi.c_str(), 0, &sfi, sizeof sfi, SHGFI_ICON | SHGFI_SMALLICON) != 0) {
            icon = sfi.hIcon;
        }
    }
    // The shell may have pumped; the row may be gone by now.
    if (hwnd_ == nullptr) {
        if (icon != nullptr) DestroyIcon(icon);
        return;
    }
    SendMessageA(pic_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (icon_ != nullptr) DestroyIcon(icon_);
    icon_ = icon;
}

void DiskRowWin32::setToolTip(const std::string& text) {
    if (hwnd_ == nullptr || tip_ == nullptr) return;
    std::string ansi = form_.codePage().toAnsi(text);
    for (HWND control : {pic_, lDisk_, check1_, check2_, check3_, label1_}) {
        if (control == nullptr) continue;
        TOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(control);
        ti.lpszText = ansi.data();
        SendMessageA(tip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

HWND DiskRowWin32::child(DiskRowControl control) const {
    switch (control) {
        case DiskRowControl::Pic:
            return pic_;
        case DiskRowControl::LDisk:
            return lDisk_;
        case DiskRowControl::Check1:
            return check1_;
        case DiskRowControl::Check2:
            return check2_;
        case DiskRowControl::Check3:
            return check3_;
        case DiskRowControl::Label1:
            return label1_;
        case DiskRowControl::Background:
            break;
    }
    return hwnd_;
}

DiskRowControl DiskRowWin32::controlOf(HWND hwnd) const {
    if (hwnd == nullptr) return DiskRowControl::Background;
    if (hwnd == pic_) return DiskRowControl::Pic;
    if (hwnd == lDisk_) return DiskRowControl::LDisk;
    if (hwnd == check1_) return DiskRowControl::Check1;
    if (hwnd == check2_) return DiskRowControl::Check2;
    if (hwnd == check3_) return DiskRowControl::Check3;
    if (hwnd == label1_) return DiskRowControl::Label1;
    return DiskRowControl::Background;
}

LRESULT CALLBACK DiskRowWin32::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<DiskRowWin32*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<DiskRowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    // Nothing of the row may be touched once this goes: a pump inside the
    // model may have cleared the list, and the last hold frees the row.
    SettingsFormWin32::Busy busy(self->form_);
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK DiskRowWin32::controlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data) {
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &DiskRowWin32::controlProc, id);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    auto* self = reinterpret_cast<DiskRowWin32*>(data);
    if (!isButtonUp(msg) || self->detached_) return DefSubclassProc(hwnd, msg, wParam, lParam);
    const RowMouseUp event =
        mouseUpOf(static_cast<DiskRowControl>(id), msg, wParam, lParam);
    {
        SettingsFormWin32::Busy busy(self->form_);
        if (u_Disk* row = self->model()) row->onMouseUp(event);
    }
    // The control's own handling comes after, as a click follows the
    // release; the box reports its click from there. The row may be gone.
    if (!IsWindow(hwnd)) return 0;
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT DiskRowWin32::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND: {
            const DiskRowControl box = controlOf(reinterpret_cast<HWND>(lParam));
            const bool isBox = box == DiskRowControl::Check1 || box == DiskRowControl::Check2 ||
                               box == DiskRowControl::Check3;
            if (isBox && HIWORD(wParam) == BN_CLICKED) {
                if (u_Disk* row = model()) row->onClick(box);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            if (controlOf(reinterpret_cast<HWND>(lParam)) == DiskRowControl::Label1) {
                SetTextColor(dc, statusColour_);
            }
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        case WM_PAINT: {
            using namespace diskrowdesign;
            const Scale& s = form_.scale();
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (HPEN pen = CreatePen(PS_SOLID, 1, kLineColour)) {
                const HGDIOBJ old = SelectObject(dc, pen);
                MoveToEx(dc, s.x(kLineLeft), s.y(kLineTop), nullptr);
                LineTo(dc, s.x(kLineRight), s.y(kLineTop));
                SelectObject(dc, old);
                DeleteObject(pen);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kStatusTimer) {
                if (u_Disk* row = model()) row->onTimer();
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (u_Disk* row = model()) {
                row->onMouseUp(mouseUpOf(DiskRowControl::Background, msg, wParam, lParam));
            }
            return 0;
        case WM_DESTROY:
            KillTimer(hwnd, kStatusTimer);
            // The tips belong to the form's window, which outlives the row.
            if (tip_ != nullptr && IsWindow(tip_)) DestroyWindow(tip_);
            tip_ = nullptr;
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            pic_ = lDisk_ = check1_ = check2_ = check3_ = label1_ = nullptr;
            if (icon_ != nullptr) DestroyIcon(icon_);
            icon_ = nullptr;
            if (u_Disk* row = model()) row->onDestroyed();
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------- the form

std::unique_ptr<DiskRowPort> SettingsFormWin32::createRow(int index) {
    auto row = std::make_unique<DiskRowWin32>(*this, index);
    row->create(panel_);
    return row;
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
    AppendMenuA(menu, MF_STRING, kMenuCreate, codePage_.toAnsi(disklisttext::kCreateAuto).c_str());
    AppendMenuA(menu, MF_STRING, kMenuDelete, codePage_.toAnsi(disklisttext::kDeleteAuto).c_str());
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

HWND SettingsFormWin32::makePane(const char* cls, HWND parent, int id,
                                 const diskrowdesign::Box& box, DWORD extraStyle) {
    if (parent == nullptr) return nullptr;
    return makeControl(WS_EX_CONTROLPARENT, cls, "", WS_VISIBLE | WS_CLIPCHILDREN | extraStyle,
                       parent, id, box, scale_, nullptr, this);
}

bool SettingsFormWin32::create() {
    using namespace disklistdesign;
    scale_ = Scale::ofScreen();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, scale_.x(kClientWidth), scale_.y(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const int left = std::max<int>(work.left, work.left + (work.right - work.left - width) / 2);
    const int top = std::max<int>(work.top, work.top + (work.bottom - work.top - height) / 2);
    const std::string caption = codePage_.toAnsi(disklisttext::kCaption);
    CreateWindowExA(exStyle, kFormClass, caption.c_str(), style, left, top, width, height, nullptr,
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
                              {kScrollLeft, 0, kScrollWidth, kViewportHeight}, scale_, nullptr);
    }
    if (scroll_ != nullptr) {
        SetWindowSubclass(scroll_, &SettingsFormWin32::scrollProc, kScrollSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
    }
    viewport_ = makePane(kViewClass, listWindow_, kViewportId,
                         {0, 0, kViewportWidth, kViewportHeight}, WS_CLIPSIBLINGS);
    panel_ = makePane(kViewClass, viewport_, kPanelId, {0, 0, kPanelWidth, 0});
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    command1_ = makeControl(0, "BUTTON", codePage_.toAnsi(disklisttext::kRefresh), button, hwnd_,
                            kCommand1Id,
                            {kCommand1Left, kCommandTop, kCommandWidth, kCommandHeight}, scale_,
                            font_);
    command2_ = makeControl(0, "BUTTON", codePage_.toAnsi(disklisttext::kClose), button, hwnd_,
                            kCommand2Id,
                            {kCommand2Left, kCommandTop, kCommandWidth, kCommandHeight}, scale_,
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

SettingsFormWin32* SettingsFormWin32::fromWindow(HWND hwnd, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return reinterpret_cast<SettingsFormWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK SettingsFormWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    SettingsFormWin32* self = fromWindow(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    Busy busy(*self);
    return self->handleForm(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SettingsFormWin32::paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    SettingsFormWin32* self = fromWindow(hwnd, msg, lParam);
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
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
                const auto from = reinterpret_cast<HWND>(lParam);
                if (from == command1_) {
                    main_.onCommand1();
                } else if (from == command2_) {
                    main_.onCommand2();
                }
            }
            return 0;
        case WM_NEXTDLGCTL: {
            // Tab and Shift+Tab, from the message loop's dialog handling.
            HWND target = nullptr;
            if (LOWORD(lParam) != 0) {
                target = reinterpret_cast<HWND>(wParam);
            } else {
                HWND focus = GetFocus();
                if (focus != nullptr && !IsChild(hwnd, focus)) focus = nullptr;
                target = GetNextDlgTabItem(hwnd, focus, wParam != 0);
            }
            if (target != nullptr) SetFocus(target);
            return 0;
        }
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

// ---------------------------------------------------------------- the owner

SettingsWindowWin32::SettingsWindowWin32(HINSTANCE instance, CodePage& codePage, Profile& profile,
                                         FileSystem& files, EventLoop& loop,
                                         const std::string& installDir,
                                         std::function<void()> refresh, ImmunityActions actions,
                                         std::function<HICON()> programIcon)
    : instance_(instance),
      codePage_(codePage),
      profile_(profile),
      files_(files),
      loop_(loop),
      diskIni_(InstallPaths(installDir).diskIni()),
      refresh_(std::move(refresh)),
      actions_(std::move(actions)),
      programIcon_(std::move(programIcon)) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance_;
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

    wc.lpfnWndProc = &DiskRowWin32::windowProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kRowClass;
    RegisterClassExA(&wc);

    const std::string face = codePage_.toAnsi(alerttext::kLabelFont);
    const int dpiY = Scale::ofScreen().dpiY;
    font_.reset(CreateFontA(-MulDiv(kPointSize, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

SettingsWindowWin32::~SettingsWindowWin32() {
    if (current_ != nullptr) current_->abandon();
    current_ = nullptr;
}

void SettingsWindowWin32::forget(SettingsFormWin32* form) {
    if (current_ == form) current_ = nullptr;
}

void SettingsWindowWin32::ShowSettingsWindow() {
    // One window at a time, also while the first one is still loading.
    if (current_ != nullptr) {
        current_->bringToFront();
        return;
    }
    auto* form = new SettingsFormWin32(*this);
    current_ = form;
    SettingsFormWin32::Hold hold(*form);
    form->open();
}

bool SettingsWindowWin32::IsSettingsWindowOpen() {
    return current_ != nullptr && current_->windowOpen();
}

void SettingsWindowWin32::aClearAll() {
    if (current_ != nullptr) current_->clearAll();
}

void SettingsWindowWin32::AddItem(const std::string& root, const std::string& caption,
                                  const std::string& serial) {
    if (current_ != nullptr) current_->addItem(root, caption, serial);
}

bool SettingsWindowWin32::preTranslate(MSG& msg) {
    if (current_ == nullptr || msg.hwnd == nullptr) return false;
    HWND form = current_->handle();
    if (form == nullptr || (msg.hwnd != form && !IsChild(form, msg.hwnd))) return false;
    return IsDialogMessageA(form, &msg) != FALSE;
}

}  // namespace qm
