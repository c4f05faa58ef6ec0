#include "platform/shell_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

using namespace notifyfield;
constexpr std::size_t kRecordSize = 488;

static_assert(sizeof(NotifyIconRecord) == kRecordSize);
static_assert(sizeof(NOTIFYICONDATAA::szTip) == kState - kTip);
static_assert(sizeof(NOTIFYICONDATAA::szInfo) == kTimeout - kInfo);
static_assert(sizeof(NOTIFYICONDATAA::szInfoTitle) == kInfoFlags - kInfoTitle);

#if !defined(_WIN64)
// On 32-bit Windows the record is the structure itself.
static_assert(NOTIFYICONDATAA_V2_SIZE == kRecordSize);
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == kWindow);
static_assert(offsetof(NOTIFYICONDATAA, uID) == kId);
static_assert(offsetof(NOTIFYICONDATAA, uFlags) == kFlags);
static_assert(offsetof(NOTIFYICONDATAA, uCallbackMessage) == kCallbackMessage);
static_assert(offsetof(NOTIFYICONDATAA, hIcon) == kIcon);
static_assert(offsetof(NOTIFYICONDATAA, szTip) == kTip);
static_assert(offsetof(NOTIFYICONDATAA, dwState) == kState);
static_assert(offsetof(NOTIFYICONDATAA, dwStateMask) == kStateMask);
static_assert(offsetof(NOTIFYICONDATAA, szInfo) == kInfo);
static_assert(offsetof(NOTIFYICONDATAA, uTimeout) == kTimeout);
static_assert(offsetof(NOTIFYICONDATAA, szInfoTitle) == kInfoTitle);
static_assert(offsetof(NOTIFYICONDATAA, dwInfoFlags) == kInfoFlags);
#else
std::uint32_t field(const NotifyIconRecord& record, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, record.data() + offset, sizeof value);  // both little-endian
    return value;
}
#endif

NOTIFYICONDATAA nativeRecord(const NotifyIconRecord& record) {
    NOTIFYICONDATAA data{};
#if !defined(_WIN64)
    std::memcpy(&data, record.data(), kRecordSize);
#else
    data.hWnd = handleFromId<HWND>(field(record, kWindow));
    data.uID = field(record, kId);
    data.uFlags = field(record, kFlags);
    data.uCallbackMessage = field(record, kCallbackMessage);
    data.hIcon = handleFromId<HICON>(field(record, kIcon));
    std::memcpy(data.szTip, record.data() + kTip, sizeof data.szTip);
    data.dwState = field(record, kState);
    data.dwStateMask = field(record, kStateMask);
    std::memcpy(data.szInfo, record.data() + kInfo, sizeof data.szInfo);
    data.uTimeout = field(record, kTimeout);
    std::memcpy(data.szInfoTitle, record.data() + kInfoTitle, sizeof data.szInfoTitle);
    data.dwInfoFlags = field(record, kInfoFlags);
#endif
    // The record's own size field says "488", which only a 32-bit shell reads
    // as this layout; the native size of the same version says it everywhere.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    return data;
}

}  // namespace

bool ShellWin32::notifyIcon(std::uint32_t message, const NotifyIconRecord& record) {
    NOTIFYICONDATAA data = nativeRecord(record);
    return Shell_NotifyIconA(message, &data) != FALSE;
}

void ShellWin32::setForegroundWindow(WindowId window) { SetForegroundWindow(windowFromId(window)); }

bool ShellWin32::registerHotkey(WindowId window, int id, std::uint32_t modifiers,
                                std::uint32_t key) {
    return RegisterHotKey(windowFromId(window), id, modifiers, key) != 0;
}

void ShellWin32::unregisterHotkey(WindowId window, int id) {
    UnregisterHotKey(windowFromId(window), id);
}

std::uint32_t ShellWin32::registerWindowMessage(const std::string& name) {
    return RegisterWindowMessageA(codePage_.toAnsi(name).c_str());
}

bool ShellWin32::shellOpen(const std::string& target, int showState) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        nullptr, "open", codePage_.toAnsi(target).c_str(), nullptr, nullptr, showState));
    return result > 32;
}

int ShellWin32::messageBox(const std::string& text, const std::string& title,
                           std::uint32_t style) {
    return MessageBoxA(nullptr, codePage_.toAnsi(text).c_str(), codePage_.toAnsi(title).c_str(),
                       style);
}

namespace {

enum : WORD { kInputPrompt = 100, kInputEdit = 101 };

// An in-memory dialog template: the header, then each item, every item
// aligned to a DWORD.
class DialogTemplate {
  public:
    void header(DWORD style, WORD items, short cx, short cy, const std::wstring& title) {
        dword(style);
        dword(0);  // extended style
        words_.push_back(items);
        words_.insert(words_.end(), {0, 0, static_cast<WORD>(cx), static_cast<WORD>(cy)});
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        text(title);
        words_.push_back(9);  // point size, as DS_SETFONT asks
        text(L"MS Shell Dlg");
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const std::wstring& caption) {
        while (words_.size() % 2 != 0) words_.push_back(0);
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        words_.insert(words_.end(), {static_cast<WORD>(x), static_cast<WORD>(y),
                                     static_cast<WORD>(cx), static_cast<WORD>(cy), id, 0xFFFF, atom});
        text(caption);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void dword(DWORD v) {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void text(const std::wstring& s) {
        words_.insert(words_.end(), s.begin(), s.end());
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct InputBoxState {
    std::wstring initial;
    std::wstring answer;
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<InputBoxState*>(lParam);
            SetDlgItemTextW(dialog, kInputEdit, state->initial.c_str());
            SendDlgItemMessageW(dialog, kInputEdit, EM_SETSEL, 0, -1);
            SetFocus(GetDlgItem(dialog, kInputEdit));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && state != nullptr) {
                const HWND edit = GetDlgItem(dialog, kInputEdit);
                std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
                const int n = GetWindowTextW(edit, text.data(), static_cast<int>(text.size()));
                state->answer.assign(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

std::optional<std::string> ShellWin32::inputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& initial) {
    DialogTemplate t;
    t.header(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 240,
             84, WideFromUtf8(title));
    t.item(SS_LEFT, 7, 7, 170, 48, kInputPrompt, 0x0082, WideFromUtf8(prompt));
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 183, 7, 50, 14, IDOK, 0x0080, L"OK");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 183, 24, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 62, 226, 14, kInputEdit, 0x0081, L"");
    InputBoxState state{WideFromUtf8(initial), {}};
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr,
                                                   &InputBoxProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return std::nullopt;
    return Utf8FromWide(state.answer);
}

}  // namespace qm
