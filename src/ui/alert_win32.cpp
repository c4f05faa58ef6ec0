#include "ui/alert_win32.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/ui_kit_win32.h"
#include "ui/alert.h"
#include "ui/notice_pictures.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr char kAlertWindowClass[] = "QuillmoorAlert";
constexpr UINT_PTR kTimer1 = 1;

enum ControlId : int {
    kPicture1Id = 101,
    kLabel1Id,
    kLabel2Id,
    kCheck1Id,
    kLabel3Id,
    kLabel4Id,
};

// The program's own pictures, drawn at every size the scales need.
constexpr WORD kPictureIds[] = {QM_PICTURE_OK, QM_PICTURE_WARNING, QM_PICTURE_ASK};

int pictureIndex(NoticePicture picture) {
    switch (picture) {
        case NoticePicture::OK:
            return 0;
        case NoticePicture::Warning:
            return 1;
        case NoticePicture::Ask:
            return 2;
    }
    return 0;
}

std::string windowText(HWND hwnd) {
    const int n = GetWindowTextLengthA(hwnd);
    if (n <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    const int got = GetWindowTextA(hwnd, buffer.data(), n + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

// The size a label takes for its text: the longest line by the number of
// lines, as the label draws it; with a wrap width, its lines broken to fit
// that width, as a label without SS_LEFTNOWORDWRAP breaks them.
PixelSize textExtent(HDC dc, HFONT font, const std::string& ansi, int wrapWidth = 0) {
    const HGDIOBJ old = SelectObject(dc, font);
    PixelSize size;
    if (ansi.empty()) {
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        size = {0, tm.tmHeight};
    } else {
        RECT r{0, 0, wrapWidth, 0};
        DrawTextA(dc, ansi.c_str(), static_cast<int>(ansi.size()), &r,
                  DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS |
                      (wrapWidth > 0 ? DT_WORDBREAK : 0));
        size = {r.right - r.left, r.bottom - r.top};
    }
    SelectObject(dc, old);
    return size;
}

constexpr DWORD kLabelStyle = SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;

}  // namespace

// One popup: the window, its controls and the model that drives them.
class AlertPopupWin32 final : public AlertWindowPort {
  public:
    AlertPopupWin32(AlertPopupFactoryWin32& owner, AlertServices services)
        : owner_(&owner),
          codePage_(owner.codePage_),
          resources_(owner.resources_),
          model_(*this, std::move(services)) {}
    ~AlertPopupWin32() override {
        if (owner_ != nullptr) owner_->forget(this);
    }
    AlertPopupWin32(const AlertPopupWin32&) = delete;
    AlertPopupWin32& operator=(const AlertPopupWin32&) = delete;

    // Keeps the popup alive while any of its code is on the stack: a message
    // handled deep inside a pump may destroy the window, and the popup may
    // only go once the outermost call has returned.
    class Hold {
      public:
        explicit Hold(AlertPopupWin32& popup) : popup_(popup) { ++popup_.depth_; }
        ~Hold() {
            if (--popup_.depth_ == 0 && popup_.gone_) delete &popup_;
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        AlertPopupWin32& popup_;
    };

    frmAlert& model() { return model_; }

    // False when the window cannot be made; the popup is then gone.
    bool create(HINSTANCE instance, HWND owner) {
        creating_ = true;
        HWND hwnd =
            CreateWindowExA(WS_EX_TOOLWINDOW, kAlertWindowClass, "", WS_POPUP | WS_CLIPCHILDREN, 0,
                            0, 345, 90, owner, nullptr, instance, this);
        creating_ = false;
        if (hwnd == nullptr) {
            gone_ = true;
            return false;
        }
        // Placed by the first layout; every click counts on release, as a
        // button's does.
        const DWORD label = kLabelStyle;
        picture1_ =
            makeChild("STATIC", kPicture1Id, SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, "", nullptr);
        label1_ = makeChild("STATIC", kLabel1Id, label, Text(TrayText::AlertCaption),
                            resources_.songBold.get());
        label2_ = makeChild("STATIC", kLabel2Id, label, "", resources_.song.get());
        check1_ = makeChild("BUTTON", kCheck1Id, BS_AUTOCHECKBOX | WS_TABSTOP, Text(TrayText::AlertRemember),
                            resources_.song.get());
        label4_ = makeChild("STATIC", kLabel4Id, label, Text(TrayText::AlertCancel),
                            resources_.songUnderline.get());
        label3_ = makeChild("STATIC", kLabel3Id, label, Text(TrayText::AlertApply),
                            resources_.songUnderline.get());
        for (HWND control : {picture1_, label1_, label2_, label3_, label4_}) {
            SendClicksOnRelease(control);
        }
        setPicture(NoticePicture::OK);
        return true;
    }

    // The factory is going away: destroy the window without calling back.
    void abandon() {
        Hold hold(*this);
        owner_ = nullptr;
        abandoned_ = true;
        if (hwnd_ != nullptr) {
            DestroyWindow(hwnd_);
        } else {
            gone_ = true;
        }
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = windowObject<AlertPopupWin32>(hwnd, msg, lParam);
        if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
        if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
        Hold hold(*self);
        return self->handle(hwnd, msg, wParam, lParam);
    }

    // The window as the model drives it.
    void setLabelText(AlertControl label, const std::string& text) override {
        if (hwnd_ == nullptr) return;
        const std::string ansi = codePage_.toAnsi(text);
        SetWindowTextA(child(label), ansi.c_str());
        // The title also names the window, for whoever lists windows.
        if (label == AlertControl::Label1) SetWindowTextA(hwnd_, ansi.c_str());
    }

    void setPicture(NoticePicture picture) override {
        if (hwnd_ == nullptr) return;
        SendMessageA(picture1_, STM_SETICON,
                     reinterpret_cast<WPARAM>(resources_.pictures[pictureIndex(picture)].get()), 0);
    }

    AlertMetrics measure() override {
        // The fonts were made for the screen's scale, and so is the layout.
        AlertMetrics m;
        m.dpiX = resources_.scale.dpiX;
        m.dpiY = resources_.scale.dpiY;
        if (hwnd_ != nullptr) {
            WindowDc dc(hwnd_);
            if (dc.get() != nullptr) {
                m.label1 = textExtent(dc.get(), resources_.songBold.get(), windowText(label1_));
                m.label2 = textExtent(dc.get(), resources_.song.get(), windowText(label2_));
                m.label3 =
                    textExtent(dc.get(), resources_.songUnderline.get(), windowText(label3_));
                m.label4 =
                    textExtent(dc.get(), resources_.songUnderline.get(), windowText(label4_));
                m.check1Text = textExtent(dc.get(), resources_.song.get(), windowText(check1_));
            }
        }
        // The box and the room the button leaves between it and the text.
        m.check1Glyph = GetSystemMetrics(SM_CXMENUCHECK) + resources_.scale.x(6);
        RECT wa{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &wa, 0);
        m.workArea = {wa.left, wa.top, wa.right, wa.bottom};
        m.screenWidth = GetSystemMetrics(SM_CXSCREEN);
        m.screenHeight = GetSystemMetrics(SM_CYSCREEN);
        return m;
    }

    PixelSize measureWrappedBody(std::int32_t width) override {
        if (hwnd_ == nullptr) return {};
        WindowDc dc(hwnd_);
        if (dc.get() == nullptr) return {};
        return textExtent(dc.get(), resources_.song.get(), windowText(label2_), width);
    }

    void applyLayout(const AlertLayout& layout) override {
        layout_ = layout;
        if (hwnd_ == nullptr) return;
        if (label2_ != nullptr) {
            // Broken into lines as measured, or one line per line of text.
            const LONG_PTR style = GetWindowLongPtrA(label2_, GWL_STYLE) & ~SS_TYPEMASK;
            SetWindowLongPtrA(label2_, GWL_STYLE,
                              style | (layout.bodyWraps ? SS_LEFT : SS_LEFTNOWORDWRAP));
        }
        SetWindowPos(hwnd_, nullptr, 0, 0, layout.clientWidth, layout.clientHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        place(picture1_, layout.picture1);
        place(label1_, layout.label1);
        place(label2_, layout.label2);
        place(check1_, layout.check1);
        place(label3_, layout.label3);
        place(label4_, layout.label4);
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void moveTo(double leftTwips, double topTwips) override {
        if (hwnd_ == nullptr) return;
        const int x = static_cast<int>(std::lround(leftTwips / layout_.tpx));
        const int y = static_cast<int>(std::lround(topTwips / layout_.tpy));
        SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void setForeground() override {
        if (hwnd_ != nullptr) SetForegroundWindow(hwnd_);
    }

    void setTopmost(bool topmost) override {
        if (hwnd_ == nullptr) return;
        if (topmost) {
            SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        } else {
            SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        }
    }

    void setVisible(bool visible) override {
        if (hwnd_ != nullptr) ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
    }

    void startTimer(std::uint32_t milliseconds) override {
        if (hwnd_ != nullptr) SetTimer(hwnd_, kTimer1, milliseconds, nullptr);
    }

    void stopTimer() override {
        if (hwnd_ != nullptr) KillTimer(hwnd_, kTimer1);
    }

    bool check1Ticked() override {
        return hwnd_ != nullptr && SendMessageA(check1_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    void labelColourChanged(AlertControl label) override {
        if (hwnd_ != nullptr) InvalidateRect(child(label), nullptr, TRUE);
    }

    void unload() override {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }

  private:
    HWND makeChild(const char* cls, int id, DWORD style, const std::string& text, HFONT font) {
        return makeControl(0, cls, codePage_.toAnsi(text), WS_VISIBLE | style, hwnd_, id, {}, font);
    }

    static void place(HWND control, const ControlBox& box) {
        if (control == nullptr) return;
        SetWindowPos(
            control, nullptr, box.left, box.top, box.width, box.height,
            SWP_NOZORDER | SWP_NOACTIVATE | (box.visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }

    HWND child(AlertControl control) const {
        switch (control) {
            case AlertControl::Picture1:
                return picture1_;
            case AlertControl::Label1:
                return label1_;
            case AlertControl::Label2:
                return label2_;
            case AlertControl::Check1:
                return check1_;
            case AlertControl::Label3:
                return label3_;
            case AlertControl::Label4:
                return label4_;
            case AlertControl::Background:
                break;
        }
        return hwnd_;
    }

    AlertControl controlOf(HWND hwnd) const {
        if (hwnd == nullptr) return AlertControl::Background;
        if (hwnd == picture1_) return AlertControl::Picture1;
        if (hwnd == label1_) return AlertControl::Label1;
        if (hwnd == label2_) return AlertControl::Label2;
        if (hwnd == check1_) return AlertControl::Check1;
        if (hwnd == label3_) return AlertControl::Label3;
        if (hwnd == label4_) return AlertControl::Label4;
        return AlertControl::Background;
    }

    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        switch (msg) {
            case WM_CTLCOLORSTATIC: {
                const auto dc = reinterpret_cast<HDC>(wParam);
                const auto control = controlOf(reinterpret_cast<HWND>(lParam));
                SetBkMode(dc, TRANSPARENT);
                if (control == AlertControl::Label3 || control == AlertControl::Label4) {
                    SetTextColor(dc, model_.labelColour(control));
                }
                return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            }
            case WM_COMMAND: {
                const AlertControl control = controlOf(reinterpret_cast<HWND>(lParam));
                // The check box ticks itself; the statics report clicks on
                // release, a double click as a second click.
                if (control == AlertControl::Background || control == AlertControl::Check1) {
                    return 0;
                }
                if (HIWORD(wParam) == STN_CLICKED) model_.onClick(control);
                return 0;
            }
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                ClickOnRelease(hwnd, msg, lParam);
                return 0;
            case WM_LBUTTONUP:
                // A press on the window released over it, as for the labels.
                if (ClickOnRelease(hwnd, msg, lParam)) model_.onClick(AlertControl::Background);
                return 0;
            case WM_SETCURSOR:
                // Comes for this window and, passed up, for every child under
                // the mouse: one place to follow the pointer.
                if (HIWORD(lParam) == WM_MOUSEMOVE) {
                    model_.onMouseMove(controlOf(reinterpret_cast<HWND>(wParam)));
                }
                break;
            case WM_TIMER:
                if (wParam == kTimer1) model_.onTimer();
                return 0;
            case WM_CLOSE:
                model_.onCloseRequest();
                return 0;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd, &ps);
                // The outline one design pixel thick.
                RECT outline{layout_.sp1.left, layout_.sp1.top, layout_.sp1.right(),
                             layout_.sp1.bottom()};
                const int thickness = std::max(1, resources_.scale.x(1));
                for (int i = 0; i < thickness; ++i) {
                    FrameRect(dc, &outline, GetSysColorBrush(COLOR_WINDOWTEXT));
                    InflateRect(&outline, -1, -1);
                }
                EndPaint(hwnd, &ps);
                return 0;
            }
            case WM_NCDESTROY:
                SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
                hwnd_ = nullptr;
                picture1_ = label1_ = label2_ = check1_ = label3_ = label4_ = nullptr;
                gone_ = true;
                // A window that failed to be made is reported by create().
                if (!abandoned_ && !creating_) model_.onWindowDestroyed();
                return DefWindowProcA(hwnd, msg, wParam, lParam);
            default:
                break;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    AlertPopupFactoryWin32* owner_;
    CodePage& codePage_;
    const AlertPopupFactoryWin32::Resources& resources_;
    frmAlert model_;
    AlertLayout layout_;
    HWND hwnd_ = nullptr;
    HWND picture1_ = nullptr, label1_ = nullptr, label2_ = nullptr, check1_ = nullptr,
         label3_ = nullptr, label4_ = nullptr;
    int depth_ = 0;
    bool creating_ = false;
    bool gone_ = false;
    bool abandoned_ = false;
};

AlertPopupFactoryWin32::AlertPopupFactoryWin32(HINSTANCE instance, CodePage& codePage,
                                               Profile& profile, FileSystem& files, EventLoop& loop,
                                               std::string installDir,
                                               std::function<void()> trimMemory)
    : instance_(instance),
      codePage_(codePage),
      profile_(profile),
      files_(files),
      loop_(loop),
      installDir_(std::move(installDir)),
      trimMemory_(std::move(trimMemory)) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    // Double clicks on the background close an information notice too.
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &AlertPopupWin32::windowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kAlertWindowClass;
    RegisterClassExA(&wc);

    resources_.scale = ScreenScale();
    const int dpiY = resources_.scale.dpiY;
    const std::string face = codePage_.toAnsi(alertdesign::kLabelFont);
    resources_.song.reset(makeFont(face, dpiY, false, false));
    resources_.songBold.reset(makeFont(face, dpiY, true, false));
    resources_.songUnderline.reset(makeFont(face, dpiY, false, true));
    const int pictureSize = resources_.scale.x(alertdesign::kPicture1Size);
    for (int i = 0; i < 3; ++i) {
        resources_.pictures[i].reset(loadIconSized(instance_, kPictureIds[i], pictureSize));
    }
}

AlertPopupFactoryWin32::~AlertPopupFactoryWin32() {
    const std::vector<AlertPopupWin32*> still(open_.begin(), open_.end());
    for (AlertPopupWin32* popup : still) popup->abandon();
}

void AlertPopupFactoryWin32::connect(NoticeKeys& keys, DriveImmuniser& immuniser) {
    keys_ = &keys;
    immuniser_ = &immuniser;
}

bool AlertPopupFactoryWin32::OpenPopup(const std::string& sTitle, const std::string& sContent,
                                       NoticePicture sICON, int sType, const std::string& sDisk) {
    if (keys_ == nullptr || immuniser_ == nullptr) return false;
    auto* popup = new AlertPopupWin32(*this, AlertServices{profile_, files_, loop_, *keys_,
                                                           *immuniser_, trimMemory_, installDir_});
    open_.insert(popup);
    // Showing pumps messages; the popup may close, and must outlive, this call.
    AlertPopupWin32::Hold hold(*popup);
    frmAlert& alert = popup->model();
    // Nothing to show: the gate takes the drive key back.
    if (!popup->create(instance_, owner_ ? owner_() : nullptr)) return false;
    alert.setICON(sICON);
    alert.setTitle(sTitle);
    alert.setContent(sContent);
    alert.setDisk(sDisk);
    alert.ShowWin(sType);
    return true;
}

}  // namespace qm
