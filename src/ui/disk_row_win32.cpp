#include "ui/disk_row_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr char kRowClass[] = "QuillmoorDiskRow";
constexpr UINT_PTR kStatusTimer = 1;
// Row windows are numbered from here by their element index.
constexpr int kFirstRowId = 1000;

enum RowControlId : int { kPicId = 301, kLDiskId, kCheck1Id, kCheck2Id, kCheck3Id, kLabel1Id };

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

// One drive row's window. The list owns it beside its model, which it
// finds by its element index whenever the window reports something: the
// model may not exist yet (the list is still making it) or any more.
class DiskRowWin32 final : public DiskRowPort {
  public:
    DiskRowWin32(DiskRowHost& host, int index) : host_(host), index_(index) {}
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
        if (hwnd_ != nullptr) SetWindowTextA(lDisk_, host_.codePage().toAnsi(text).c_str());
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
        SetWindowTextA(label1_, host_.codePage().toAnsi(text).c_str());
        InvalidateRect(label1_, nullptr, TRUE);
    }
    void place(std::int32_t left, std::int32_t top) override {
        if (hwnd_ != nullptr) {
            SetWindowPos(hwnd_, nullptr, host_.scale().x(left), host_.scale().y(top), 0, 0,
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
        u_DiskList* list = host_.list();
        return list != nullptr ? list->row(index_) : nullptr;
    }
    HWND child(DiskRowControl control) const;
    DiskRowControl controlOf(HWND hwnd) const;
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    DiskRowHost& host_;
    const int index_;
    HWND hwnd_ = nullptr;
    HWND pic_ = nullptr, lDisk_ = nullptr, check1_ = nullptr, check2_ = nullptr,
         check3_ = nullptr, label1_ = nullptr, tip_ = nullptr;
    HICON icon_ = nullptr;
    std::uint32_t statusColour_ = diskrowdesign::kNotImmunisedColour;
    bool detached_ = false;
};

void DiskRowWin32::create(HWND panel) {
    if (panel == nullptr) return;
    using namespace diskrowdesign;
    const Scale& s = host_.scale();
    makeControl(WS_EX_CONTROLPARENT, kRowClass, "", WS_CLIPCHILDREN, panel, kFirstRowId + index_,
                s.box(kRow), nullptr, this);
    if (hwnd_ == nullptr) return;
    CodePage& cp = host_.codePage();
    HFONT font = host_.font();
    // The boxes first: they lie above the drive label, whose box overlaps
    // the first of them, and take the keyboard in this order.
    const DWORD shown = WS_VISIBLE | WS_CLIPSIBLINGS;
    const DWORD box = shown | BS_CHECKBOX | WS_TABSTOP;
    const DWORD label = shown | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
    check1_ = makeControl(0, "BUTTON", cp.toAnsi(Text(TrayText::RowAsk)), box, hwnd_, kCheck1Id,
                          s.box(kCheck1), font);
    check2_ = makeControl(0, "BUTTON", cp.toAnsi(Text(TrayText::RowAlways)), box, hwnd_, kCheck2Id,
                          s.box(kCheck2), font);
    check3_ = makeControl(0, "BUTTON", cp.toAnsi(Text(TrayText::RowNever)), box, hwnd_, kCheck3Id,
                          s.box(kCheck3), font);
    label1_ = makeControl(0, "STATIC", cp.toAnsi(Text(TrayText::RowNotImmunised)), label, hwnd_,
                          kLabel1Id, s.box(kLabel1), font);
    lDisk_ = makeControl(0, "STATIC", cp.toAnsi(diskrowdesign::kDesignDrive), label, hwnd_,
                         kLDiskId, s.box(kLDisk), font);
    pic_ = makeControl(0, "STATIC", "", shown | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, hwnd_,
                       kPicId, s.box(kPic), nullptr);
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
        const std::string ansi = host_.codePage().toAnsi(root);
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
    std::string ansi = host_.codePage().toAnsi(text);
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
    auto* self = windowObject<DiskRowWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    // Nothing of the row may be touched once this goes: a pump inside the
    // model may have cleared the list, and the last hold frees the row.
    DiskRowHost::Busy busy(self->host_);
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
        DiskRowHost::Busy busy(self->host_);
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
            const Scale& s = host_.scale();
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

}  // namespace

void RegisterDiskRowClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpfnWndProc = &DiskRowWin32::windowProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kRowClass;
    RegisterClassExA(&wc);
}

std::unique_ptr<DiskRowPort> CreateDiskRowWin32(DiskRowHost& host, HWND panel, int index) {
    auto row = std::make_unique<DiskRowWin32>(host, index);
    row->create(panel);
    return row;
}

}  // namespace qm
