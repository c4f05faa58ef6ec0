#include "ui/blocker_window_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "platform/ui_kit_win32.h"
#include "platform/utf16_win32.h"
#include "texts/language.h"
#include "texts/tray_texts.h"
#include "ui/blocker_layout.h"

namespace qm {
namespace {

constexpr wchar_t kFormClass[] = L"QuillmoorBlockers";
constexpr wchar_t kListClass[] = L"QuillmoorBlockerList";
constexpr wchar_t kRowClass[] = L"QuillmoorBlockerRow";
// The notices, which the window opens beside.
constexpr wchar_t kAlertWindowClass[] = L"QuillmoorAlert";
constexpr UINT_PTR kTickTimer = 1;
// The notes of rows that are not ended here.
constexpr COLORREF kNoteColour = RGB(176, 0, 0);
// shell32's closed folder.
constexpr int kFolderIconIndex = 3;

enum ControlId : int {
    kHeadingId = 301,
    kListId,
    kScrollId,
    kStatusId,
    kButtonFirstId = 311,  // switch, close, end, retry, force, cancel
    kRowFirstId = 401,
    // Slot i's icon and lines: kLineFirstId + 10 * i + 0 (icon), 1..4 (lines).
    kLineFirstId = 1000,
};

enum ButtonIndex : int { kSwitch, kClose, kEnd, kRetry, kForce, kCancel };

static_assert(kBlockerButtonTexts.size() == blockerdesign::kButtonCount);

BOOL CALLBACK collectNotice(HWND hwnd, LPARAM lParam) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    RECT r{};
    if (lstrcmpW(name, kAlertWindowClass) == 0 && IsWindowVisible(hwnd) &&
        GetWindowRect(hwnd, &r)) {
        reinterpret_cast<std::vector<PixelBox>*>(lParam)->push_back(
            PixelBox{r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    return TRUE;
}

std::vector<PixelBox> noticeBoxes() {
    std::vector<PixelBox> boxes;
    EnumThreadWindows(GetCurrentThreadId(), &collectNotice, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

PixelBox workArea() {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return {work.left, work.top, work.right - work.left, work.bottom - work.top};
}

std::wstring systemFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return name;
    return std::wstring(folder, n) + L"\\" + name;
}

}  // namespace

// One window: its controls, the model that drives it, the rows' icons.
class BlockerFormWin32 final : public BlockerWindowPort {
  public:
    static void registerClasses(HINSTANCE instance);

    explicit BlockerFormWin32(BlockerWindowsWin32& owner) : owner_(owner) {}
    ~BlockerFormWin32() override {
        // The model goes with the form; its window has gone already.
        if (hwnd_ != nullptr) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
    }
    BlockerFormWin32(const BlockerFormWin32&) = delete;
    BlockerFormWin32& operator=(const BlockerFormWin32&) = delete;

    BlockerWindow* open(const HeldDrive& drive);
    bool gone() const { return gone_; }
    HWND handle() const { return hwnd_; }

    void showState() override;
    void bringToFront() override;
    bool askYesNo(const std::string& text) override;
    void closeWindow() override {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }

  private:
    struct Slot {
        HWND row = nullptr, icon = nullptr;
        std::array<HWND, blockerdesign::kRowLines> lines{};
        std::array<std::string, blockerdesign::kRowLines> shown;
        HICON shownIcon = nullptr;
        bool note = false;  // the last line is a protected row's note
    };

    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK listProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK rowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool create();
    // The window's texts measured in its font, for the layout.
    BlockerTextMetrics measureTexts() const;
    LRESULT handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleList(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleRow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void onButton(int index);
    void onKey(WPARAM key);
    void scrollTo(long long first);
    int slotOf(HWND row) const;
    bool slotSelected(int slot) const;
    HICON iconFor(const BlockerRow& row);
    void setText(HWND control, std::string& shown, const std::string& text);
    void redrawRows();
    void onWindowGone();

    BlockerWindowsWin32& owner_;
    std::unique_ptr<BlockerWindow> model_;
    Scale scale_;
    BlockerLayout layout_;
    UniqueFont font_;
    HWND hwnd_ = nullptr, heading_ = nullptr, list_ = nullptr, scroll_ = nullptr, status_ = nullptr;
    std::array<HWND, blockerdesign::kButtonCount> buttons_{};
    std::array<Slot, blockerdesign::kVisibleRows> slots_{};
    std::string statusShown_;
    std::map<std::string, UniqueIcon> icons_;
    HICON defaultIcon_ = nullptr;
    std::size_t first_ = 0;
    std::optional<std::size_t> lastSelected_;
    bool gone_ = false;
};

void BlockerFormWin32::registerClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpfnWndProc = &BlockerFormWin32::formProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);

    wc.lpfnWndProc = &BlockerFormWin32::listProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kListClass;
    RegisterClassExW(&wc);

    wc.lpfnWndProc = &BlockerFormWin32::rowProc;
    wc.hbrBackground = nullptr;  // painted by the row, selected or not
    wc.lpszClassName = kRowClass;
    RegisterClassExW(&wc);
}

BlockerWindow* BlockerFormWin32::open(const HeldDrive& drive) {
    model_ = std::make_unique<BlockerWindow>(owner_.deps_, drive);
    if (!create()) return nullptr;
    model_->attach(this);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(list_);
    SetTimer(hwnd_, kTickTimer, kBlockerTickMs, nullptr);
    return model_.get();
}

bool BlockerFormWin32::create() {
    scale_ = ScreenScale();
    // The font of the program's language that this system has.
    font_.reset(makeFont(AvailableFace(CurrentLanguage().fontFaces), scale_.dpiY, false, false));
    layout_ = LayOutBlockerWindow(scale_, measureTexts());

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, layout_.clientWidth, layout_.clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const PixelBox at = PlaceBesideNotices(workArea(), frame.right - frame.left,
                                           frame.bottom - frame.top, noticeBoxes(), scale_);
    CreateWindowExW(exStyle, kFormClass, WideFromUtf8(model_->caption()).c_str(), style, at.left,
                    at.top, at.width, at.height, nullptr, nullptr, owner_.instance_, this);
    if (hwnd_ == nullptr) return false;
    if (owner_.programIcon_) {
        if (HICON icon = owner_.programIcon_()) {
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        }
    }
    const HFONT font = font_.get();
    const DWORD text = WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
    // Created in tab order: the list, then the buttons.
    heading_ = makeControl(0, L"STATIC", model_->heading(), text, hwnd_, kHeadingId,
                           layout_.heading, font);
    list_ = makeControl(WS_EX_CLIENTEDGE, kListClass, "", WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN,
                        hwnd_, kListId, layout_.list, nullptr, this);
    if (list_ == nullptr) return false;
    scroll_ = makeControl(0, L"SCROLLBAR", "", SBS_VERT, list_, kScrollId, layout_.scroll, nullptr);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        PixelBox box = layout_.row;
        box.top = static_cast<std::int32_t>(i) * layout_.row.height;
        s.row = makeControl(0, kRowClass, "", WS_CLIPCHILDREN, list_,
                            kRowFirstId + static_cast<int>(i), box, nullptr, this);
        if (s.row == nullptr) return false;
        const int base = kLineFirstId + 10 * static_cast<int>(i);
        s.icon = makeControl(0, L"STATIC", "", WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, s.row, base,
                             layout_.rowIcon, nullptr);
        for (std::size_t j = 0; j < s.lines.size(); ++j) {
            s.lines[j] = makeControl(0, L"STATIC", "", text, s.row, base + 1 + static_cast<int>(j),
                                     layout_.rowLines[j], font);
        }
    }
    status_ = makeControl(0, L"STATIC", "", text, hwnd_, kStatusId, layout_.status, font);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i] = makeControl(0, L"BUTTON", Text(kBlockerButtonTexts[i]),
                                  WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, hwnd_,
                                  kButtonFirstId + static_cast<int>(i), layout_.buttons[i], font);
    }
    const int iconSize = layout_.rowIcon.width;
    defaultIcon_ = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, iconSize, iconSize, LR_SHARED));
    return true;
}

BlockerTextMetrics BlockerFormWin32::measureTexts() const {
    BlockerTextMetrics m;
    WindowDc dc(nullptr);
    if (dc.get() == nullptr || !font_) return m;
    m.lineHeight = TextExtent(dc.get(), font_.get(), "").cy;
    // The access keys' marks take no room.
    for (TrayText t : kBlockerButtonTexts) {
        const std::int32_t width = TextExtent(dc.get(), font_.get(), Text(t), 0, true).cx;
        m.widestButton = std::max(m.widestButton, width);
    }
    m.widestLine = TextExtent(dc.get(), font_.get(), model_->heading()).cx;
    for (TrayText t : kBlockerStatusTexts) {
        const std::int32_t width = TextExtent(dc.get(), font_.get(), Text(t)).cx;
        m.widestLine = std::max(m.widestLine, width);
    }
    return m;
}

HICON BlockerFormWin32::iconFor(const BlockerRow& row) {
    const bool folder = row.kind == BlockerKind::FolderWindow;
    const std::string key = folder ? std::string("|folder") : row.imagePath;
    // A program on a network share is not read for its picture: the share
    // may not answer.
    if (key.empty() || key.rfind("\\\\", 0) == 0) return defaultIcon_;
    if (const auto known = icons_.find(key); known != icons_.end()) {
        return known->second ? known->second.get() : defaultIcon_;
    }
    const std::wstring file = folder ? systemFile(L"shell32.dll") : WideFromUtf8(key);
    HICON icon = nullptr;
    const int size = layout_.rowIcon.width;
    if (PrivateExtractIconsW(file.c_str(), folder ? kFolderIconIndex : 0, size, size, &icon,
                             nullptr, 1, 0) != 1) {
        icon = nullptr;
    }
    UniqueIcon& kept = icons_[key];
    kept.reset(icon);
    return icon != nullptr ? icon : defaultIcon_;
}

void BlockerFormWin32::setText(HWND control, std::string& shown, const std::string& text) {
    // Only what changed is set: a row rewritten each second would flicker.
    if (control == nullptr || shown == text) return;
    shown = text;
    SetWindowTextUtf8(control, text);
}

void BlockerFormWin32::showState() {
    if (gone_ || hwnd_ == nullptr || !model_) return;
    const std::vector<BlockerRow>& rows = model_->rows();
    const std::optional<std::size_t> selected = model_->selected();
    const std::size_t visible = slots_.size();
    // The selected row comes into view when it changes; otherwise the
    // list stays where it was scrolled to, as far as there are rows.
    first_ = FirstVisibleRow(first_, selected != lastSelected_ ? selected : std::nullopt, visible,
                             rows.size());
    lastSelected_ = selected;
    for (std::size_t i = 0; i < visible; ++i) {
        Slot& s = slots_[i];
        const std::size_t at = first_ + i;
        if (at >= rows.size()) {
            ShowWindow(s.row, SW_HIDE);
            continue;
        }
        const BlockerRow& row = rows[at];
        setText(s.lines[0], s.shown[0], RowHeading(row));
        setText(s.lines[1], s.shown[1], RowWindowLine(row));
        setText(s.lines[2], s.shown[2], RowFilesLine(row));
        setText(s.lines[3], s.shown[3], RowNote(row));
        s.note = row.kind == BlockerKind::Process && row.protection != Protection::None;
        const HICON icon = iconFor(row);
        if (icon != s.shownIcon) {
            s.shownIcon = icon;
            SendMessageW(s.icon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
        ShowWindow(s.row, SW_SHOWNA);
    }
    if (scroll_ != nullptr) {
        const bool scrolls = rows.size() > visible;
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
        si.nMax = scrolls ? static_cast<int>(rows.size()) - 1 : 0;
        si.nPage = static_cast<UINT>(visible);
        si.nPos = static_cast<int>(first_);
        SetScrollInfo(scroll_, SB_CTL, &si, TRUE);
        ShowWindow(scroll_, scrolls ? SW_SHOWNA : SW_HIDE);
    }
    setText(status_, statusShown_, model_->status());

    const BlockerButtons b = model_->buttons();
    const std::array<bool, blockerdesign::kButtonCount> enabled = {
        b.switchTo, b.closeProgram, b.endProcess, b.retry, b.forceEject, b.cancel};
    HWND focus = GetFocus();
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i] == nullptr) continue;
        // The keyboard is never left on a button that rests.
        if (!enabled[i] && focus == buttons_[i]) SetFocus(list_);
        EnableWindow(buttons_[i], enabled[i] ? TRUE : FALSE);
    }
    redrawRows();
}

void BlockerFormWin32::redrawRows() {
    for (const Slot& s : slots_) {
        if (s.row != nullptr) {
            RedrawWindow(s.row, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
    }
}

void BlockerFormWin32::bringToFront() {
    if (gone_ || hwnd_ == nullptr) return;
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
}

bool BlockerFormWin32::askYesNo(const std::string& text) {
    if (gone_ || hwnd_ == nullptr || !model_) return false;
    // No is the default: Enter alone never ends a program.
    return MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), WideFromUtf8(model_->caption()).c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

int BlockerFormWin32::slotOf(HWND row) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].row == row) return static_cast<int>(i);
    }
    return -1;
}

bool BlockerFormWin32::slotSelected(int slot) const {
    const auto selected = model_ ? model_->selected() : std::nullopt;
    return slot >= 0 && selected && *selected == first_ + static_cast<std::size_t>(slot);
}

void BlockerFormWin32::onButton(int index) {
    // In the order of ButtonIndex.
    static constexpr void (BlockerWindow::*kActions[])() = {
        &BlockerWindow::onSwitchTo, &BlockerWindow::onCloseProgram, &BlockerWindow::onEndProcess,
        &BlockerWindow::onRetry,    &BlockerWindow::onForceEject,   &BlockerWindow::onCancel};
    static_assert(std::size(kActions) == kCancel + 1);
    if (!model_ || gone_ || index < 0 || index > kCancel) return;
    ((*model_).*kActions[index])();
}

void BlockerFormWin32::onKey(WPARAM key) {
    if (!model_ || model_->rows().empty()) return;
    const auto page = static_cast<int>(slots_.size());
    switch (key) {
        case VK_UP:
            model_->moveSelection(-1);
            break;
        case VK_DOWN:
            model_->moveSelection(1);
            break;
        case VK_PRIOR:
            model_->moveSelection(-page);
            break;
        case VK_NEXT:
            model_->moveSelection(page);
            break;
        case VK_HOME:
            model_->select(0);
            break;
        case VK_END:
            model_->select(model_->rows().size() - 1);
            break;
        default:
            break;
    }
}

void BlockerFormWin32::scrollTo(long long first) {
    if (!model_) return;
    const auto count = static_cast<long long>(model_->rows().size());
    const auto visible = static_cast<long long>(slots_.size());
    first_ = static_cast<std::size_t>(std::clamp(first, 0LL, std::max(0LL, count - visible)));
    showState();
}

void BlockerFormWin32::onWindowGone() {
    KillTimer(hwnd_, kTickTimer);
    hwnd_ = nullptr;
    heading_ = list_ = scroll_ = status_ = nullptr;
    buttons_.fill(nullptr);
    slots_.fill(Slot{});
    gone_ = true;
    if (model_) model_->onWindowGone();
}

LRESULT CALLBACK BlockerFormWin32::formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<BlockerFormWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    // Last out frees this form if its window went: nothing of it is
    // touched after the answer is known.
    BlockerWindowsWin32::Enter enter(self->owner_);
    return self->handleForm(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK BlockerFormWin32::listProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<BlockerFormWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    BlockerWindowsWin32::Enter enter(self->owner_);
    return self->handleList(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK BlockerFormWin32::rowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = windowObject<BlockerFormWin32>(hwnd, msg, lParam);
    if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    BlockerWindowsWin32::Enter enter(self->owner_);
    return self->handleRow(hwnd, msg, wParam, lParam);
}

LRESULT BlockerFormWin32::handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleDialogNavigation(hwnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_COMMAND:
            if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
                // Esc, as "取消".
                onButton(kCancel);
            } else if (lParam == 0 && LOWORD(wParam) == IDOK) {
                // Enter on the list: to the selected program's window.
                if (model_ && model_->buttons().switchTo) onButton(kSwitch);
            } else if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
                const int index = static_cast<int>(LOWORD(wParam)) - kButtonFirstId;
                if (index >= 0 && index < static_cast<int>(buttons_.size())) onButton(index);
            }
            return 0;
        case WM_TIMER:
            if (wParam == kTickTimer && model_ && !gone_) model_->tick();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0 && list_ != nullptr) {
                HWND focus = GetFocus();
                if (focus == nullptr || !IsChild(hwnd, focus)) SetFocus(list_);
            }
            return 0;
        case WM_CLOSE:
            onButton(kCancel);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            onWindowGone();
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT BlockerFormWin32::handleList(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_KEYDOWN:
            onKey(wParam);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            redrawRows();
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            return 0;
        case WM_MOUSEWHEEL:
            scrollTo(static_cast<long long>(first_) - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
            return 0;
        case WM_VSCROLL: {
            if (reinterpret_cast<HWND>(lParam) != scroll_ || scroll_ == nullptr) break;
            const auto page = static_cast<long long>(slots_.size());
            long long first = static_cast<long long>(first_);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    --first;
                    break;
                case SB_LINEDOWN:
                    ++first;
                    break;
                case SB_PAGEUP:
                    first -= page;
                    break;
                case SB_PAGEDOWN:
                    first += page;
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    first = HIWORD(wParam);
                    break;
                default:
                    return 0;
            }
            scrollTo(first);
            return 0;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT BlockerFormWin32::handleRow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int slot = slotOf(hwnd);
    const bool selected = slotSelected(slot);
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r,
                     GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (selected && list_ != nullptr && GetFocus() == list_) {
                RECT r{};
                GetClientRect(hwnd, &r);
                DrawFocusRect(dc, &r);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const bool note = slot >= 0 && slots_[static_cast<std::size_t>(slot)].note &&
                              reinterpret_cast<HWND>(lParam) ==
                                  slots_[static_cast<std::size_t>(slot)].lines.back();
            SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                             : note   ? kNoteColour
                                      : GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(
                GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // The texts let the click through to their row.
            if (list_ != nullptr) SetFocus(list_);
            if (model_ && slot >= 0) model_->select(first_ + static_cast<std::size_t>(slot));
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

BlockerWindowsWin32::BlockerWindowsWin32(HINSTANCE instance, HolderControl& control,
                                         BlockerFinder& follow, EventLoop& loop, EventLog& log,
                                         EjectRunner& runner, std::function<HICON()> programIcon)
    : instance_(instance),
      deps_{control, follow, loop, log, runner},
      programIcon_(std::move(programIcon)),
      set_(*this) {
    BlockerFormWin32::registerClasses(instance_);
}

BlockerWindowsWin32::~BlockerWindowsWin32() {
    // Nothing is freed from inside the closing below: all of it goes after.
    ++depth_;
    set_.closeAll();
    forms_.clear();
}

void BlockerWindowsWin32::reap() {
    std::erase_if(forms_, [](const std::unique_ptr<BlockerFormWin32>& f) { return f->gone(); });
}

BlockerWindow* BlockerWindowsWin32::openWindow(const HeldDrive& drive) {
    auto form = std::make_unique<BlockerFormWin32>(*this);
    BlockerWindow* model = form->open(drive);
    if (model == nullptr) return nullptr;
    forms_.push_back(std::move(form));
    return model;
}

void BlockerWindowsWin32::showHolders(const HeldDrive& drive) {
    Enter enter(*this);
    set_.showHolders(drive);
}

void BlockerWindowsWin32::keepDrives(
    const std::function<bool(char letter, const std::string& serial)>& present) {
    Enter enter(*this);
    set_.keepDrives(present);
}

void BlockerWindowsWin32::closeAll() {
    Enter enter(*this);
    set_.closeAll();
}

bool BlockerWindowsWin32::preTranslate(MSG& msg) {
    if (forms_.empty()) return false;
    Enter enter(*this);
    for (std::size_t i = 0; i < forms_.size(); ++i) {
        BlockerFormWin32& form = *forms_[i];
        if (!form.gone() && TranslateDialogKeys(form.handle(), msg)) return true;
    }
    return false;
}

}  // namespace qm
