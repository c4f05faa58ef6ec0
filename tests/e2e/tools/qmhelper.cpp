// qmhelper: the end-to-end tests' hands inside Wine.
//
// One command per run. Results go to stdout as UTF-8 (one JSON object per line
// where a command reports structured data), the exit code is 0 on success and
// non-zero on failure. The Python driver in tests/e2e runs it with wine64.

#include <windows.h>
#include <dbt.h>
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/code_page_win32.h"
#include "platform/storage_win32.h"

namespace {

// A generous cap: a loaded machine may take a while, a hung program never answers.
constexpr UINT kSendTimeoutMs = 45000;

// ---------------------------------------------------------------- output

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Raw bytes to stdout: no C runtime text translation, no code page guessing.
void write(const std::string& bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && !bytes.empty())
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void line(const std::string& text) { write(text + "\n"); }

int fail(const std::string& why) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    std::string text = "qmhelper: " + why + "\n";
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return 1;
}

int failLastError(const std::string& what) {
    return fail(what + " failed, error " + std::to_string(GetLastError()));
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string jsonString(const std::wstring& text) {
    std::string utf8 = toUtf8(text);
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string handleText(HWND hwnd) {
    // Handles are written as signed decimal, the way the program stores its own.
    return std::to_string(static_cast<long long>(static_cast<int32_t>(reinterpret_cast<intptr_t>(hwnd))));
}

std::string rectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom) + "]";
}

// ---------------------------------------------------------------- parsing

bool parseInt(const std::wstring& text, long long& value) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    value = _wcstoi64(text.c_str(), &end, 0);
    return end != nullptr && *end == L'\0';
}

bool parseHwnd(const std::wstring& text, HWND& hwnd) {
    long long value = 0;
    if (!parseInt(text, value)) return false;
    // Window handles are 32-bit values sign-extended on 64-bit Windows.
    hwnd = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(value)));
    return true;
}

std::wstring lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring windowText(HWND hwnd) {
    // WM_GETTEXT with a timeout so that a hung window cannot hang the helper.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        length = 0;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        copied = 0;
    text.resize(copied < text.size() ? copied : 0);
    return text;
}

std::wstring className(HWND hwnd) {
    wchar_t buf[256] = {};
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

// Button texts carry '&' accelerator marks; compare without them.
std::wstring stripAccelerators(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        } else if (text[i] == L'&') {
            continue;
        }
        out += text[i];
    }
    return out;
}

// ---------------------------------------------------------------- processes

struct ProcessInfo {
    DWORD pid;
    DWORD parent;
    std::wstring exe;
};

std::vector<ProcessInfo> processes() {
    std::vector<ProcessInfo> list;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry))
        list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    CloseHandle(snap);
    return list;
}

// A number names one process, anything else an image name (case-insensitive).
std::vector<DWORD> resolveProcesses(const std::wstring& which) {
    std::vector<DWORD> pids;
    long long value = 0;
    if (parseInt(which, value)) {
        pids.push_back(static_cast<DWORD>(value));
        return pids;
    }
    std::wstring wanted = lower(which);
    for (const ProcessInfo& p : processes())
        if (lower(p.exe) == wanted) pids.push_back(p.pid);
    return pids;
}

// The full path of a process's program file; empty when it cannot be read.
std::wstring imagePath(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return {};
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) size = 0;
    CloseHandle(process);
    path.resize(size);
    return path;
}

int cmdProclist() {
    for (const ProcessInfo& p : processes())
        line("{\"pid\":" + std::to_string(p.pid) + ",\"parent\":" + std::to_string(p.parent) +
             ",\"exe\":" + jsonString(p.exe) + ",\"path\":" + jsonString(imagePath(p.pid)) + "}");
    return 0;
}

int cmdKill(const std::wstring& which) {
    std::vector<DWORD> pids = resolveProcesses(which);
    int killed = 0;
    for (DWORD pid : pids) {
        if (pid == GetCurrentProcessId()) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process == nullptr) continue;
        if (TerminateProcess(process, 1)) {
            WaitForSingleObject(process, 5000);
            ++killed;
        }
        CloseHandle(process);
    }
    line(std::to_string(killed));
    return 0;
}

// ---------------------------------------------------------------- windows

struct ChildCollector {
    std::string json;
    bool first = true;
    bool measure = false;  // each text's size too (slower)
};

// The client area in screen coordinates.
RECT clientOnScreen(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The size of a control's text as the control draws it, measured here with
// the control's own font (or, where that cannot be read from this process,
// the programs' 9-point 宋体 at the screen's dpi); [0, 0] without a text.
// A static that breaks its lines is measured at its own width.
std::string textSizeJson(HWND hwnd, const std::wstring& text) {
    if (text.empty()) return "[0,0]";
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const bool isStatic = lower(className(hwnd)) == L"static";
    HDC dc = GetDC(nullptr);
    HFONT own = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    HFONT made = nullptr;
    if (own == nullptr || GetObjectW(own, sizeof lf, &lf) == 0) {
        lf = LOGFONTW{};
        lf.lfHeight = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
        lf.lfCharSet = DEFAULT_CHARSET;
        wcscpy(lf.lfFaceName, L"\x5B8B\x4F53");  // 宋体
    }
    made = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, made);
    UINT flags = DT_CALCRECT | DT_EXPANDTABS;
    RECT r{0, 0, 0, 0};
    if (isStatic) {
        if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
            RECT client{};
            GetClientRect(hwnd, &client);
            r.right = client.right;
            flags |= DT_WORDBREAK;
        }
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    SelectObject(dc, old);
    DeleteObject(made);
    ReleaseDC(nullptr, dc);
    return "[" + std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top) + "]";
}

// What a control shows beyond its text: a box's check, a picture's icon.
std::string controlStateJson(HWND hwnd) {
    const std::wstring cls = lower(className(hwnd));
    const UINT query = cls == L"button" ? BM_GETCHECK : cls == L"static" ? STM_GETICON : 0;
    if (query == 0) return {};
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(hwnd, query, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer)) return {};
    return query == BM_GETCHECK ? ",\"check\":" + std::to_string(answer)
                                : std::string(",\"icon\":") + (answer != 0 ? "true" : "false");
}

BOOL CALLBACK collectChild(HWND hwnd, LPARAM param) {
    auto* c = reinterpret_cast<ChildCollector*>(param);
    RECT r{};
    GetWindowRect(hwnd, &r);
    const std::wstring text = windowText(hwnd);
    if (!c->first) c->json += ",";
    c->first = false;
    c->json += "{\"hwnd\":" + handleText(hwnd) + ",\"parent\":" + handleText(GetParent(hwnd)) +
               ",\"class\":" + jsonString(className(hwnd)) + ",\"text\":" + jsonString(text) +
               ",\"id\":" + std::to_string(GetDlgCtrlID(hwnd)) +
               ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") +
               ",\"enabled\":" + (IsWindowEnabled(hwnd) ? "true" : "false") + ",\"rect\":" + rectJson(r) +
               ",\"clientRect\":" + rectJson(clientOnScreen(hwnd)) + ",\"style\":" +
               std::to_string(static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE))) +
               controlStateJson(hwnd) +
               (c->measure ? ",\"textSize\":" + textSizeJson(hwnd, text) : std::string()) + "}";
    return TRUE;
}

std::string windowJson(HWND hwnd, bool measure = false) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    RECT client{};
    GetClientRect(hwnd, &client);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    ChildCollector children;
    children.measure = measure;
    EnumChildWindows(hwnd, collectChild, reinterpret_cast<LPARAM>(&children));
    return "{\"hwnd\":" + handleText(hwnd) + ",\"pid\":" + std::to_string(pid) +
           ",\"class\":" + jsonString(className(hwnd)) +
           ",\"caption\":" + jsonString(windowText(hwnd)) + ",\"rect\":" + rectJson(r) +
           ",\"client\":[" + std::to_string(client.right) + "," + std::to_string(client.bottom) +
           "],\"clientRect\":" + rectJson(clientOnScreen(hwnd)) +
           ",\"visible\":" + (IsWindowVisible(hwnd) ? "true" : "false") +
           ",\"topmost\":" + ((exStyle & WS_EX_TOPMOST) ? "true" : "false") +
           ",\"appwindow\":" + ((exStyle & WS_EX_APPWINDOW) ? "true" : "false") +
           ",\"children\":[" + children.json + "]}";
}

struct TopLevelFilter {
    std::vector<DWORD> pids;  // empty: every process
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<TopLevelFilter*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    bool wanted = f->pids.empty();
    for (DWORD p : f->pids) wanted = wanted || p == pid;
    if (wanted) f->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> topLevelWindows(const std::vector<DWORD>& pids) {
    TopLevelFilter filter{pids, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&filter));
    return filter.found;
}

int cmdWindows(const std::wstring& which) {
    std::vector<DWORD> pids;
    if (which != L"*") {
        pids = resolveProcesses(which);
        if (pids.empty()) return 0;  // no such process: no windows, not an error
    }
    for (HWND hwnd : topLevelWindows(pids)) line(windowJson(hwnd));
    return 0;
}

// window <hwnd> [measure]: one window; with measure, each control's text
// measured in its font as well.
int cmdWindow(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    if (args.empty() || !parseHwnd(args[0], hwnd)) return fail("bad window handle");
    if (!IsWindow(hwnd)) return fail("no such window");
    line(windowJson(hwnd, args.size() > 1 && args[1] == L"measure"));
    return 0;
}

// ---------------------------------------------------------------- messages

int cmdSend(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long msg = 0, wp = 0, lp = 0;
    if (args.size() < 4 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], msg) || !parseInt(args[2], wp) ||
        !parseInt(args[3], lp))
        return fail("usage: send <hwnd> <msg> <wparam> <lparam>");
    DWORD_PTR result = 0;
    SetLastError(0);
    if (!SendMessageTimeoutA(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return failLastError("SendMessageTimeout");
    line(std::to_string(static_cast<long long>(static_cast<LRESULT>(result))));
    return 0;
}

int cmdPost(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long msg = 0, wp = 0, lp = 0;
    if (args.size() < 4 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], msg) || !parseInt(args[2], wp) ||
        !parseInt(args[3], lp))
        return fail("usage: post <hwnd> <msg> <wparam> <lparam>");
    if (!PostMessageA(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp)))
        return failLastError("PostMessage");
    line("posted");
    return 0;
}

// postrepeat <hwnd> <msg> <wparam> <lparam> <count>: posts the message count
// times in a row, so that all of them are queued before the first is handled.
int cmdPostrepeat(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long msg = 0, wp = 0, lp = 0, count = 0;
    if (args.size() < 5 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], msg) || !parseInt(args[2], wp) ||
        !parseInt(args[3], lp) || !parseInt(args[4], count) || count < 1)
        return fail("usage: postrepeat <hwnd> <msg> <wparam> <lparam> <count>");
    for (long long i = 0; i < count; ++i)
        if (!PostMessageA(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp)))
            return failLastError("PostMessage");
    line("posted " + std::to_string(count));
    return 0;
}

int cmdBroadcast(const std::vector<std::wstring>& args) {
    if (args.empty()) return fail("usage: broadcast <registered-message-name> [wparam lparam]");
    long long wp = 0, lp = 0;
    if (args.size() >= 3 && (!parseInt(args[1], wp) || !parseInt(args[2], lp)))
        return fail("bad wparam/lparam");
    UINT msg = RegisterWindowMessageA(toUtf8(args[0]).c_str());
    if (msg == 0) return failLastError("RegisterWindowMessage");
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(HWND_BROADCAST, msg, static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return failLastError("SendMessageTimeout(HWND_BROADCAST)");
    line(std::to_string(msg));
    return 0;
}

int cmdDevchange(const std::vector<std::wstring>& args) {
    if (args.size() < 3) return fail("usage: devchange <hwnd|broadcast> <arrival|removal> <letter>");
    HWND target = HWND_BROADCAST;
    if (args[0] != L"broadcast" && !parseHwnd(args[0], target)) return fail("bad window handle");
    WPARAM event = 0;
    if (args[1] == L"arrival") {
        event = DBT_DEVICEARRIVAL;
    } else if (args[1] == L"removal") {
        event = DBT_DEVICEREMOVECOMPLETE;
    } else {
        return fail("event must be arrival or removal");
    }
    wchar_t letter = towupper(args[2].empty() ? L'?' : args[2][0]);
    if (letter < L'A' || letter > L'Z') return fail("bad drive letter");

    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (letter - L'A');
    volume.dbcv_flags = 0;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(target, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return failLastError("SendMessageTimeout(WM_DEVICECHANGE)");
    line(std::to_string(static_cast<long long>(static_cast<LRESULT>(result))));
    return 0;
}

int cmdClick(const std::wstring& handle) {
    HWND hwnd = nullptr;
    if (!parseHwnd(handle, hwnd) || !IsWindow(hwnd)) return fail("no such window");
    // Posted, not sent: a click that opens a modal loop must not block the helper.
    if (!PostMessageW(hwnd, BM_CLICK, 0, 0)) return failLastError("PostMessage(BM_CLICK)");
    line("clicked");
    return 0;
}

// clicklabel <hwnd>: a left click on a control that is no button, such as a
// static with SS_NOTIFY: the press and the release over the control, both
// posted at once, as the control may be gone after the second.
int cmdClickLabel(const std::wstring& handle) {
    HWND hwnd = nullptr;
    if (!parseHwnd(handle, hwnd) || !IsWindow(hwnd)) return fail("no such window");
    const LPARAM at = MAKELPARAM(1, 1);
    if (!PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at) || !PostMessageW(hwnd, WM_LBUTTONUP, 0, at))
        return failLastError("PostMessage");
    line("clicked");
    return 0;
}

// ---------------------------------------------------------------- real input

// Real input goes through the system's queue as a user's would: the window
// under the pointer gets the mouse, unless one holds it; the focus of the
// foreground window gets the keys.
bool sendInputs(std::vector<INPUT>& inputs) {
    if (inputs.empty()) return true;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

INPUT mouseInput(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    return in;
}

// mouse <hwnd> <step>...: steps in order: over (the pointer to the middle
// of the window), away (the pointer 40 pixels left of the window's top-level
// window, or right of it where the screen ends), press, release. Each step
// waits a little so that the program sees them one by one.
int cmdMouse(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    if (args.size() < 2 || !parseHwnd(args[0], hwnd) || !IsWindow(hwnd))
        return fail("usage: mouse <hwnd> over|away|press|release...");
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& step = args[i];
        std::vector<INPUT> inputs;
        if (step == L"over" || step == L"away") {
            RECT r{};
            GetWindowRect(step == L"over" ? hwnd : GetAncestor(hwnd, GA_ROOT), &r);
            POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            if (step == L"away") at.x = r.left >= 50 ? r.left - 40 : r.right + 40;
            // An absolute move as input, as a mouse makes it: the window
            // under the pointer, or the one holding the mouse, hears of it.
            // Repeated until the pointer is seen there (a move of the X
            // pointer may still be on its way and put it back).
            const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
            INPUT move = mouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
            move.mi.dx = MulDiv(at.x, 65535, width - 1);
            move.mi.dy = MulDiv(at.y, 65535, height - 1);
            const DWORD start = GetTickCount();
            for (;;) {
                std::vector<INPUT> one{move};
                if (!sendInputs(one)) return failLastError("SendInput");
                Sleep(50);
                POINT now{};
                GetCursorPos(&now);
                if (std::abs(now.x - at.x) <= 1 && std::abs(now.y - at.y) <= 1) break;
                if (GetTickCount() - start > 3000) return fail("the pointer did not get there");
            }
        } else if (step == L"press") {
            inputs.push_back(mouseInput(MOUSEEVENTF_LEFTDOWN));
        } else if (step == L"release") {
            inputs.push_back(mouseInput(MOUSEEVENTF_LEFTUP));
        } else {
            return fail("unknown mouse step");
        }
        if (!sendInputs(inputs)) return failLastError("SendInput");
        Sleep(100);
    }
    line("done");
    return 0;
}

struct KeyName {
    const wchar_t* name;
    WORD vk;
};
constexpr KeyName kKeys[] = {{L"tab", VK_TAB},     {L"enter", VK_RETURN}, {L"esc", VK_ESCAPE},
                             {L"space", VK_SPACE}, {L"shift", VK_SHIFT},  {L"alt", VK_MENU},
                             {L"ctrl", VK_CONTROL}};

WORD keyOf(const std::wstring& name) {
    for (const KeyName& k : kKeys)
        if (name == k.name) return k.vk;
    if (name.size() == 1 && iswalnum(name[0])) return static_cast<WORD>(towupper(name[0]));
    return 0;
}

INPUT keyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

// keys <hwnd> <chord>...: brings the window's top-level window to the front
// and types each chord (tab, shift+tab, enter, esc, space, alt+r, ...).
int cmdKeys(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    if (args.size() < 2 || !parseHwnd(args[0], hwnd) || !IsWindow(hwnd))
        return fail("usage: keys <hwnd> <chord>...");
    HWND top = GetAncestor(hwnd, GA_ROOT);
    const DWORD start = GetTickCount();
    while (GetForegroundWindow() != top) {
        if (GetTickCount() - start > 5000) return fail("the window did not come to the front");
        SetForegroundWindow(top);
        Sleep(50);
    }
    for (size_t i = 1; i < args.size(); ++i) {
        std::vector<WORD> chord;
        std::wstring rest = args[i];
        for (;;) {
            const size_t plus = rest.find(L'+');
            const WORD vk = keyOf(rest.substr(0, plus));
            if (vk == 0) return fail("unknown key in chord");
            chord.push_back(vk);
            if (plus == std::wstring::npos) break;
            rest = rest.substr(plus + 1);
        }
        std::vector<INPUT> inputs;
        for (WORD vk : chord) inputs.push_back(keyInput(vk, false));
        for (auto it = chord.rbegin(); it != chord.rend(); ++it)
            inputs.push_back(keyInput(*it, true));
        if (!sendInputs(inputs)) return failLastError("SendInput");
        Sleep(150);
    }
    line("typed");
    return 0;
}

// focus <hwnd>: the control that has the keyboard in the window's thread,
// as JSON, or null.
int cmdFocus(const std::wstring& handle) {
    HWND hwnd = nullptr;
    if (!parseHwnd(handle, hwnd) || !IsWindow(hwnd)) return fail("no such window");
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info))
        return failLastError("GetGUIThreadInfo");
    if (info.hwndFocus == nullptr) {
        line("null");
        return 0;
    }
    line("{\"hwnd\":" + handleText(info.hwndFocus) +
         ",\"class\":" + jsonString(className(info.hwndFocus)) +
         ",\"text\":" + jsonString(windowText(info.hwndFocus)) + "}");
    return 0;
}

struct ButtonSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK findButton(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<ButtonSearch*>(param);
    if (lower(className(hwnd)) != L"button") return TRUE;
    std::wstring text = windowText(hwnd);
    if (text == s->text || stripAccelerators(text) == stripAccelerators(s->text)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

int cmdClickButton(const std::vector<std::wstring>& args) {
    if (args.size() < 2) return fail("usage: clickbutton <caption-substring> <button-text>");
    for (HWND top : topLevelWindows({})) {
        if (!IsWindowVisible(top)) continue;
        if (windowText(top).find(args[0]) == std::wstring::npos) continue;
        ButtonSearch search{args[1], nullptr};
        EnumChildWindows(top, findButton, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) continue;
        // Dialogs (message boxes included) react to the button's command, and
        // BM_CLICK delivers exactly that.
        if (!PostMessageW(search.found, BM_CLICK, 0, 0)) return failLastError("PostMessage(BM_CLICK)");
        line(handleText(search.found));
        return 0;
    }
    return fail("no visible window with that caption and button");
}

// ---------------------------------------------------------------- drives

// Wine's mount manager interface for mapping a Unix folder to a drive letter.
constexpr DWORD kIoctlDefineUnixDrive = 0x6DC080;

#pragma pack(push, 1)
struct UnixDriveHeader {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
#pragma pack(pop)
static_assert(sizeof(UnixDriveHeader) == 32, "mount manager header layout");

int defineDrive(wchar_t letter, ULONG type, const std::string& unixPath) {
    letter = towlower(letter);
    if (letter < L'a' || letter > L'z') return fail("bad drive letter");
    std::vector<char> buffer(sizeof(UnixDriveHeader) + unixPath.size() + 1, '\0');
    UnixDriveHeader header{};
    header.size = static_cast<ULONG>(buffer.size());
    header.type = type;
    header.letter = letter;
    if (!unixPath.empty()) {
        header.mountPointOffset = sizeof(UnixDriveHeader);
        std::copy(unixPath.begin(), unixPath.end(), buffer.begin() + sizeof(UnixDriveHeader));
    }
    std::copy(reinterpret_cast<const char*>(&header), reinterpret_cast<const char*>(&header) + sizeof header,
              buffer.begin());

    HANDLE mgr = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mgr == INVALID_HANDLE_VALUE) return failLastError("open MountPointManager");
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(mgr, kIoctlDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                              nullptr, 0, &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(mgr);
    if (!ok) {
        SetLastError(error);
        return failLastError("IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE");
    }
    line("ok");
    return 0;
}

int cmdDefdrive(const std::vector<std::wstring>& args) {
    long long type = 0;
    if (args.size() < 3 || args[0].empty() || !parseInt(args[1], type))
        return fail("usage: defdrive <letter> <type> <unix-path>");
    return defineDrive(args[0][0], static_cast<ULONG>(type), toUtf8(args[2]));
}

int cmdUndefdrive(const std::vector<std::wstring>& args) {
    if (args.empty() || args[0].empty()) return fail("usage: undefdrive <letter>");
    return defineDrive(args[0][0], 1, std::string());
}

int cmdDrives() {
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        std::wstring root = std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":\\";
        wchar_t label[MAX_PATH + 1] = {};
        wchar_t fs[MAX_PATH + 1] = {};
        DWORD serial = 0;
        BOOL ready = GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &serial, nullptr, nullptr, fs,
                                           MAX_PATH + 1);
        line("{\"root\":" + jsonString(root) + ",\"type\":" + std::to_string(GetDriveTypeW(root.c_str())) +
             ",\"ready\":" + (ready ? "true" : "false") + ",\"label\":" + jsonString(label) +
             ",\"serial\":" + std::to_string(static_cast<int32_t>(serial)) + ",\"fs\":" + jsonString(fs) + "}");
    }
    return 0;
}

// ---------------------------------------------------------------- windows of our own

// listen: the window prints the messages it receives.
bool g_printMessages = false;

LRESULT CALLBACK ownWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_printMessages && msg >= WM_USER && msg < 0xC000) {
        line(std::to_string(msg) + " " + std::to_string(static_cast<unsigned long long>(wp)) + " " +
             std::to_string(static_cast<long long>(lp)));
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Creates a top-level window of the helper's own, prints its handle and runs
// its message loop until the helper is ended.
int runOwnWindow(const wchar_t* className, const wchar_t* title, DWORD exStyle, DWORD style, int width,
                 int height, HBRUSH background, bool show) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownWindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!RegisterClassW(&wc)) return failLastError("RegisterClass");
    HWND hwnd = CreateWindowExW(exStyle, className, title, style, 0, 0, width, height, nullptr, nullptr, instance,
                                nullptr);
    if (hwnd == nullptr) return failLastError("CreateWindowEx");
    if (show) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        SetForegroundWindow(hwnd);
    }
    line(handleText(hwnd));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int cmdFullscreen() {
    return runOwnWindow(L"QmFullscreen", L"qmhelper full screen", WS_EX_TOPMOST, WS_POPUP,
                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                        static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), true);
}

// listen: a hidden top-level window of another program, standing in for a
// window whose handle a stale locator file names. It prints its handle, then
// one line "<msg> <wparam> <lparam>" for each message from WM_USER on that
// it receives, until it is ended.
int cmdListen() {
    g_printMessages = true;
    return runOwnWindow(L"QmListener", L"qmhelper listener", WS_EX_TOOLWINDOW, WS_OVERLAPPEDWINDOW, 100, 100,
                        nullptr, false);
}

// waittray <ms> [keep]: brings up the desktop's shell (Wine starts it for the
// first window created on the desktop) and waits until its taskbar exists, so
// that a program started afterwards finds the notification area ready. With
// keep it then stays until it is ended: Wine closes a desktop, shell and all,
// a second after the last program using it has gone.
int cmdWaittray(const std::vector<std::wstring>& args) {
    long long ms = 0;
    const bool keep = args.size() >= 2 && args[1] == L"keep";
    if (args.empty() || !parseInt(args[0], ms)) return fail("usage: waittray <ms> [keep]");
    HWND probe = CreateWindowExW(0, L"STATIC", L"qmhelper probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    DWORD start = GetTickCount();
    HWND tray = nullptr;
    while ((tray = FindWindowW(L"Shell_TrayWnd", nullptr)) == nullptr &&
           GetTickCount() - start < static_cast<DWORD>(ms)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    if (probe != nullptr) DestroyWindow(probe);
    if (tray == nullptr) return fail("no taskbar after " + std::to_string(ms) + " ms");
    line(handleText(tray));
    // Without a window of its own it receives nothing that could wait for it.
    if (keep) Sleep(INFINITE);
    return 0;
}

// trayicon <hwnd> <id>: "1" when the notification area holds the icon that
// window added under that id, else "0". Asked by a change of nothing, which
// the shell refuses for an icon it does not have.
int cmdTrayicon(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long id = 0;
    if (args.size() < 2 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], id))
        return fail("usage: trayicon <hwnd> <id>");
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = hwnd;
    data.uID = static_cast<UINT>(id);
    line(Shell_NotifyIconW(NIM_MODIFY, &data) ? "1" : "0");
    return 0;
}

int cmdForeground() {
    HWND hwnd = GetForegroundWindow();
    if (hwnd == nullptr) {
        line("null");
        return 0;
    }
    line(windowJson(hwnd));
    return 0;
}

// ---------------------------------------------------------------- files and settings

LRESULT CALLBACK holderWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        // As a program whose close box was clicked: it goes, the file with it.
        line("closing");
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// holdfile <path> [window <title>]: keeps the file open until killed; with
// a window of that title, until the window is closed.
int cmdHoldfile(const std::vector<std::wstring>& args) {
    if (args.empty() || (args.size() > 1 && (args[1] != L"window" || args.size() < 3)))
        return fail("usage: holdfile <path> [window <title>]");
    HANDLE file = CreateFileW(args[0].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failLastError("CreateFile");
    if (args.size() < 3) {
        line("held " + std::to_string(GetCurrentProcessId()));
        // Keeps the file locked until the driver kills this process.
        Sleep(INFINITE);
        CloseHandle(file);
        return 0;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = holderWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmHolderWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, args[2].c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 320, 160,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (hwnd == nullptr) return failLastError("CreateWindowEx");
    ShowWindow(hwnd, SW_SHOWNORMAL);
    line("held " + std::to_string(GetCurrentProcessId()) + " " + handleText(hwnd));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CloseHandle(file);
    line("closed");
    return 0;
}

// runline <command line>: starts the command line as the system starts a
// registered one (CreateProcess with no program name), with this helper's
// output and error handles, waits for it and exits with its exit code.
int cmdRunline(const std::vector<std::wstring>& args) {
    if (args.empty()) return fail("usage: runline <command line>");
    std::wstring commandLine = args[0];
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return failLastError("CreateProcess");
    }
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    return static_cast<int>(code);
}

// writefile <path> <text>: creates or replaces a file holding the UTF-8 text.
int cmdWritefile(const std::vector<std::wstring>& args) {
    if (args.size() < 2) return fail("usage: writefile <path> <text>");
    HANDLE file = CreateFileW(args[0].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return failLastError("CreateFile");
    std::string text = toUtf8(args[1]);
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok) return failLastError("WriteFile");
    line("ok");
    return 0;
}

int cmdAcp() {
    line(std::to_string(GetACP()) + " " + std::to_string(GetOEMCP()));
    return 0;
}

// ---------------------------------------------------------------- services

std::string stateName(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start_pending";
    case SERVICE_STOP_PENDING: return "stop_pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue_pending";
    case SERVICE_PAUSE_PENDING: return "pause_pending";
    case SERVICE_PAUSED: return "paused";
    default: return "unknown";
    }
}

bool stateFromName(const std::string& name, DWORD& state) {
    for (DWORD s = SERVICE_STOPPED; s <= SERVICE_PAUSED; ++s) {
        if (stateName(s) == name) {
            state = s;
            return true;
        }
    }
    return false;
}

int waitForState(SC_HANDLE svc, DWORD wanted, DWORD ms) {
    DWORD start = GetTickCount();
    SERVICE_STATUS status{};
    for (;;) {
        if (QueryServiceStatus(svc, &status) && status.dwCurrentState == wanted) return 0;
        if (GetTickCount() - start > ms) return fail("timed out waiting for state " + stateName(wanted));
        Sleep(20);
    }
}

// svc <name> query|start [ms]|stop [ms]|config <start-type>|wait <state> <ms>
int cmdSvc(const std::vector<std::wstring>& args) {
    if (args.size() < 2) return fail("usage: svc <name> query|start [ms]|stop [ms]|config <type>|wait <state> <ms>");
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (scm == nullptr) return failLastError("OpenSCManager");
    SC_HANDLE svc = OpenServiceW(scm, args[0].c_str(), SERVICE_ALL_ACCESS);
    if (svc == nullptr) {
        int rc = failLastError("OpenService");
        CloseServiceHandle(scm);
        return rc;
    }
    int rc = 0;
    SERVICE_STATUS status{};
    const std::wstring& op = args[1];
    // start and stop take an optional time in ms to wait for the final state.
    long long waitMs = 0;
    if ((op == L"start" || op == L"stop") && args.size() >= 3 && !parseInt(args[2], waitMs))
        rc = fail("bad wait time");
    if (rc == 0 && op == L"start") {
        if (!StartServiceW(svc, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            rc = failLastError("StartService");
        else if (waitMs > 0)
            rc = waitForState(svc, SERVICE_RUNNING, static_cast<DWORD>(waitMs));
    } else if (rc == 0 && op == L"stop") {
        // A service still starting cannot take the stop yet: retry until the
        // wait is over.
        DWORD start = GetTickCount();
        for (;;) {
            SetLastError(0);
            bool sent = ControlService(svc, SERVICE_CONTROL_STOP, &status) ||
                        GetLastError() == ERROR_SERVICE_NOT_ACTIVE;
            if (sent) {
                if (waitMs > 0) rc = waitForState(svc, SERVICE_STOPPED, static_cast<DWORD>(waitMs));
                break;
            }
            if (GetLastError() != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || GetTickCount() - start > waitMs) {
                rc = failLastError("ControlService(STOP)");
                break;
            }
            Sleep(20);
        }
    } else if (op == L"config") {
        long long type = 0;
        if (args.size() < 3 || !parseInt(args[2], type)) {
            rc = fail("config needs a start type");
        } else if (!ChangeServiceConfigW(svc, SERVICE_NO_CHANGE, static_cast<DWORD>(type), SERVICE_NO_CHANGE,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)) {
            rc = failLastError("ChangeServiceConfig");
        }
    } else if (op == L"wait") {
        long long ms = 0;
        DWORD wanted = 0;
        if (args.size() < 4 || !parseInt(args[3], ms) || !stateFromName(toUtf8(args[2]), wanted))
            rc = fail("wait needs a state and a time in ms");
        else
            rc = waitForState(svc, wanted, static_cast<DWORD>(ms));
    } else if (op != L"query" && op != L"start" && op != L"stop") {
        rc = fail("unknown service operation");
    }
    if (rc == 0) {
        if (!QueryServiceStatus(svc, &status)) {
            rc = failLastError("QueryServiceStatus");
        } else {
            DWORD needed = 0;
            QueryServiceConfigW(svc, nullptr, 0, &needed);
            std::vector<BYTE> config(needed ? needed : 1);
            DWORD startType = 0xFFFFFFFF;
            if (needed &&
                QueryServiceConfigW(svc, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), needed, &needed))
                startType = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType;
            line("{\"state\":\"" + stateName(status.dwCurrentState) +
                 "\",\"start_type\":" + std::to_string(static_cast<int32_t>(startType)) + "}");
        }
    }
    CloseServiceHandle(svc);
    CloseServiceHandle(scm);
    return rc;
}

// ---------------------------------------------------------------- registry

bool splitRoot(const std::wstring& path, HKEY& root, std::wstring& subkey) {
    size_t slash = path.find(L'\\');
    std::wstring head = lower(path.substr(0, slash));
    subkey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    if (head == L"hkcu" || head == L"hkey_current_user") {
        root = HKEY_CURRENT_USER;
    } else if (head == L"hklm" || head == L"hkey_local_machine") {
        root = HKEY_LOCAL_MACHINE;
    } else {
        return false;
    }
    return true;
}

// regget <key> <value> [32]: {"type":n,"data":...}; exit 2 when the value is
// absent. The 64-bit registry view, or with "32" the 32-bit programs' view.
int cmdRegget(const std::vector<std::wstring>& args) {
    if (args.size() < 2) return fail("usage: regget <root\\key> <value> [32]");
    HKEY root = nullptr;
    std::wstring subkey;
    if (!splitRoot(args[0], root, subkey)) return fail("unknown root key");
    const REGSAM view = args.size() > 2 && args[2] == L"32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return 2;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key, args[1].c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + 2, 0);
    if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(key, args[1].c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 2;
    std::string json;
    if (type == REG_DWORD && size >= 4) {
        DWORD value = 0;
        std::memcpy(&value, data.data(), 4);
        json = std::to_string(value);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        json = jsonString(text);
    } else {
        json = "\"";
        char hex[3];
        for (DWORD i = 0; i < size; ++i) {
            std::snprintf(hex, sizeof hex, "%02x", data[i]);
            json += hex;
        }
        json += "\"";
    }
    line("{\"type\":" + std::to_string(type) + ",\"data\":" + json + "}");
    return 0;
}

// regdword <value-name> <number> <key>...: the same REG_DWORD in every key given.
int cmdRegdword(const std::vector<std::wstring>& args) {
    long long number = 0;
    if (args.size() < 3 || !parseInt(args[1], number)) return fail("usage: regdword <value-name> <number> <key>...");
    DWORD data = static_cast<DWORD>(number);
    for (size_t i = 2; i < args.size(); ++i) {
        HKEY root = nullptr;
        std::wstring subkey;
        if (!splitRoot(args[i], root, subkey)) return fail("unknown root key");
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                                  &key, nullptr);
        if (rc == ERROR_SUCCESS) {
            rc = RegSetValueExW(key, args[0].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                sizeof data);
            RegCloseKey(key);
        }
        if (rc != ERROR_SUCCESS) return fail("cannot set " + toUtf8(args[i]) + ", error " + std::to_string(rc));
    }
    line("ok");
    return 0;
}

// sendwhenshown <hwnd> <msg> <wparam> <lparam> <control-id> <text> <wait-ms>:
// sends the message as soon as a visible window of the same process holds a
// control with that id and text, to reach the program while it is busy
// showing that window.
int cmdSendWhenShown(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long msg = 0, wp = 0, lp = 0, id = 0, waitMs = 0;
    if (args.size() < 7 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], msg) || !parseInt(args[2], wp) ||
        !parseInt(args[3], lp) || !parseInt(args[4], id) || !parseInt(args[6], waitMs))
        return fail("usage: sendwhenshown <hwnd> <msg> <wparam> <lparam> <control-id> <text> <wait-ms>");
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(hwnd, &pid)) return fail("no such window");
    line("waiting");
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND top : topLevelWindows({pid})) {
            if (!IsWindowVisible(top)) continue;
            HWND control = GetDlgItem(top, static_cast<int>(id));
            if (control == nullptr || windowText(control) != args[5]) continue;
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                                     SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
                return failLastError("SendMessageTimeout");
            line(std::to_string(static_cast<long long>(static_cast<LRESULT>(result))));
            return 0;
        }
        if (GetTickCount() - start > static_cast<DWORD>(waitMs)) return fail("no such window shown");
        Sleep(1);
    }
}

// ---------------------------------------------------------------- popup menus

// One menu item as read inside the menu owner's process.
struct MenuRecord {
    int32_t depth;
    int32_t id;  // -1 for an item that opens a submenu
    uint32_t type;
    uint32_t state;
    int32_t hasSubmenu;
    wchar_t text[120];
};

constexpr int kMostMenuRecords = 256;

// The menu functions as the owner's process has them.
struct MenuApi {
    int(WINAPI* itemCount)(HMENU);
    BOOL(WINAPI* itemInfo)(HMENU, UINT, BOOL, LPMENUITEMINFOW);
    UINT(WINAPI* itemId)(HMENU, int);
    int(WINAPI* itemString)(HMENU, UINT, LPWSTR, int, UINT);
};

// Shared with the reader: the caller fills in api and menu, the reader the rest.
struct MenuDump {
    MenuApi api;
    HMENU menu;
    int32_t count;
    int32_t failed;
    MenuRecord records[kMostMenuRecords];
};

void readMenuLevel(MenuDump* dump, HMENU menu, int depth) {
    const int n = dump->api.itemCount(menu);
    if (n < 0) {
        dump->failed = 1;
        return;
    }
    for (int i = 0; i < n; ++i) {
        if (dump->count >= kMostMenuRecords) {
            dump->failed = 2;
            return;
        }
        MenuRecord& r = dump->records[dump->count++];
        MENUITEMINFOW info;
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        info.fType = 0;
        info.fState = 0;
        info.hSubMenu = nullptr;
        if (!dump->api.itemInfo(menu, static_cast<UINT>(i), TRUE, &info)) dump->failed = 3;
        r.depth = depth;
        r.id = static_cast<int32_t>(dump->api.itemId(menu, i));
        r.type = info.fType;
        r.state = info.fState;
        r.hasSubmenu = info.hSubMenu != nullptr;
        r.text[0] = L'\0';
        dump->api.itemString(menu, static_cast<UINT>(i), r.text, 120, MF_BYPOSITION);
        if (info.hSubMenu != nullptr) readMenuLevel(dump, info.hSubMenu, depth + 1);
    }
}

// Runs as a thread of the menu owner's process: Wine keeps menus private to
// the process that made them. This program is mapped there as a library,
// which leaves its imports unresolved and its C runtime uninitialised, so
// the reader calls nothing but the functions it is handed.
DWORD WINAPI readMenuInOwner(LPVOID param) {
    auto* dump = static_cast<MenuDump*>(param);
    dump->count = 0;
    dump->failed = 0;
    readMenuLevel(dump, dump->menu, 0);
    return 0;
}

std::wstring modulePath(HMODULE module) {
    wchar_t buf[MAX_PATH + 1] = {};
    GetModuleFileNameW(module, buf, MAX_PATH + 1);
    return lower(buf);
}

// The base in another process of the module loaded there from the same file.
HMODULE remoteModule(HANDLE process, const std::wstring& path) {
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    if (!K32EnumProcessModulesEx(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                                 &needed, LIST_MODULES_ALL))
        return nullptr;
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE m : modules) {
        wchar_t buf[MAX_PATH + 1] = {};
        if (K32GetModuleFileNameExW(process, m, buf, MAX_PATH + 1) && lower(buf) == path) return m;
    }
    return nullptr;
}

// Where a function of one of our modules sits in the other process.
void* remoteAddress(HANDLE process, const void* local) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(local), &module))
        return nullptr;
    HMODULE there = remoteModule(process, modulePath(module));
    if (there == nullptr) return nullptr;
    return reinterpret_cast<char*>(there) + (static_cast<const char*>(local) - reinterpret_cast<char*>(module));
}

bool runRemote(HANDLE process, void* start, void* param, DWORD& exitCode) {
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), param,
                                       0, nullptr);
    if (thread == nullptr) return false;
    bool done = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    return done;
}

// Reads a menu of another process by running readMenuInOwner there.
int readRemoteMenu(DWORD pid, HMENU menu, MenuDump& dump) {
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_READ | PROCESS_VM_WRITE | SYNCHRONIZE,
                                 FALSE, pid);
    if (process == nullptr) return failLastError("OpenProcess");
    wchar_t self[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    const size_t pathBytes = (wcslen(self) + 1) * sizeof(wchar_t);
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(MenuDump) + pathBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    int rc = 0;
    HMODULE loaded = nullptr;
    DWORD code = 0;
    dump.menu = menu;
    dump.count = 0;
    dump.failed = -1;
    void* loadLibrary = remoteAddress(process, reinterpret_cast<const void*>(&LoadLibraryW));
    void* freeLibrary = remoteAddress(process, reinterpret_cast<const void*>(&FreeLibrary));
    dump.api.itemCount = reinterpret_cast<decltype(dump.api.itemCount)>(
        remoteAddress(process, reinterpret_cast<const void*>(&GetMenuItemCount)));
    dump.api.itemInfo = reinterpret_cast<decltype(dump.api.itemInfo)>(
        remoteAddress(process, reinterpret_cast<const void*>(&GetMenuItemInfoW)));
    dump.api.itemId = reinterpret_cast<decltype(dump.api.itemId)>(
        remoteAddress(process, reinterpret_cast<const void*>(&GetMenuItemID)));
    dump.api.itemString = reinterpret_cast<decltype(dump.api.itemString)>(
        remoteAddress(process, reinterpret_cast<const void*>(&GetMenuStringW)));
    if (remote == nullptr) {
        rc = failLastError("VirtualAllocEx");
    } else if (loadLibrary == nullptr || freeLibrary == nullptr || dump.api.itemCount == nullptr ||
               dump.api.itemInfo == nullptr || dump.api.itemId == nullptr || dump.api.itemString == nullptr) {
        rc = fail("system functions not found in the menu owner");
    } else if (!WriteProcessMemory(process, remote + sizeof(MenuDump), self, pathBytes, nullptr) ||
               !WriteProcessMemory(process, remote, &dump, sizeof dump, nullptr)) {
        rc = failLastError("WriteProcessMemory");
    } else if (!runRemote(process, loadLibrary, remote + sizeof(MenuDump), code) ||
               (loaded = remoteModule(process, lower(self))) == nullptr) {
        rc = fail("cannot load the menu reader into the menu owner");
    } else {
        const auto offset = reinterpret_cast<const char*>(&readMenuInOwner) -
                            reinterpret_cast<const char*>(GetModuleHandleW(nullptr));
        if (!runRemote(process, reinterpret_cast<char*>(loaded) + offset, remote, code))
            rc = failLastError("the menu reader did not run: thread");
        else if (!ReadProcessMemory(process, remote, &dump, sizeof dump, nullptr))
            rc = failLastError("the menu reader did not run: read, code " + std::to_string(code));
        else if (dump.failed != 0)
            rc = fail("the menu reader failed (" + std::to_string(dump.failed) + ")");
        runRemote(process, freeLibrary, loaded, code);
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rc;
}

std::string menuJson(const MenuDump& dump, int& at, int depth) {
    std::string out = "[";
    bool first = true;
    while (at < dump.count && dump.records[at].depth == depth) {
        const MenuRecord& r = dump.records[at++];
        if (!first) out += ",";
        first = false;
        out += "{\"text\":" + jsonString(r.text) + ",\"id\":" + std::to_string(r.id) +
               ",\"separator\":" + ((r.type & MFT_SEPARATOR) ? "true" : "false") +
               ",\"checked\":" + ((r.state & MFS_CHECKED) ? "true" : "false") +
               ",\"grayed\":" + ((r.state & MFS_GRAYED) ? "true" : "false") +
               ",\"selected\":" + ((r.state & MFS_HILITE) ? "true" : "false");
        if (r.hasSubmenu) out += ",\"items\":" + menuJson(dump, at, depth + 1);
        out += "}";
    }
    return out + "]";
}

HWND findOpenMenu(const std::vector<DWORD>& pids) {
    for (HWND hwnd : topLevelWindows(pids))
        if (className(hwnd) == L"#32768" && IsWindowVisible(hwnd)) return hwnd;
    return nullptr;
}

void postKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Escape, as the user would press it, until the menu is gone; the menu
// loop takes keys posted to any window of its thread. False after 5 s.
bool closeMenu(HWND window, DWORD stepMs) {
    const DWORD closing = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - closing > 5000) return false;
        postKey(window, VK_ESCAPE);
        Sleep(stepMs);
    }
    return true;
}

// Which selectable top-level item (1, 2, ...) of a menu is the one with that
// id, or the one at that position (0, 1, ...); 0 when there is no such item.
int downKeysTo(const MenuDump& dump, long long id, long long position = -1) {
    int keys = 0;
    int at = -1;
    for (int i = 0; i < dump.count; ++i) {
        const MenuRecord& r = dump.records[i];
        if (r.depth != 0) continue;
        ++at;
        if ((r.type & MFT_SEPARATOR) || (r.state & MFS_GRAYED)) continue;
        ++keys;
        if (position < 0 ? r.id == id : at == position) return keys;
    }
    return 0;
}

// menu <pid|exe> <wait-ms> [keep | pick <id> | open <position>]: waits for a
// process's open popup menu, prints its items as one JSON array (nested
// "items" for submenus), then closes every menu of the process. "keep"
// leaves it open; "pick" chooses the top-level item with that id by the
// keyboard, as a user would; "open" opens the submenu at that top-level
// position (0, 1, ...) and leaves both open.
int cmdMenu(const std::vector<std::wstring>& args) {
    long long waitMs = 0;
    long long chosen = 0;
    const std::wstring mode = args.size() > 2 ? args[2] : L"";
    if (args.size() < 2 || !parseInt(args[1], waitMs) ||
        ((mode == L"pick" || mode == L"open") && (args.size() < 4 || !parseInt(args[3], chosen))))
        return fail("usage: menu <pid|exe> <wait-ms> [keep | pick <id> | open <position>]");
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    std::vector<DWORD> pids;
    for (;;) {
        pids = resolveProcesses(args[0]);
        if (!pids.empty() && (window = findOpenMenu(pids)) != nullptr) break;
        if (GetTickCount() - start > static_cast<DWORD>(waitMs)) return fail("no open popup menu");
        Sleep(20);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU
    DWORD_PTR menu = 0;
    if (!SendMessageTimeoutW(window, kGetMenuHandle, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &menu) || menu == 0)
        return fail("the menu window gave no menu handle");
    auto dump = std::make_unique<MenuDump>();
    int rc = readRemoteMenu(pid, reinterpret_cast<HMENU>(menu), *dump);
    if (rc == 0) {
        int at = 0;
        line(menuJson(*dump, at, 0));
    }
    if (mode == L"keep") return rc;
    if (rc == 0 && (mode == L"pick" || mode == L"open")) {
        const int keys = mode == L"pick" ? downKeysTo(*dump, chosen) : downKeysTo(*dump, 0, chosen);
        if (keys == 0) return fail("no such item in the menu");
        // The menu loop takes keys posted to any window of its thread, and
        // posted messages before the pointer's: Home selects the first item
        // whatever the pointer selected meanwhile.
        postKey(window, VK_HOME);
        for (int i = 1; i < keys; ++i) postKey(window, VK_DOWN);
        postKey(window, mode == L"pick" ? VK_RETURN : VK_RIGHT);
        const DWORD posted = GetTickCount();
        if (mode == L"open") {
            // Open once a second menu window shows.
            while (GetTickCount() - posted < 5000) {
                int shown = 0;
                for (HWND hwnd : topLevelWindows(pids))
                    shown += className(hwnd) == L"#32768" && IsWindowVisible(hwnd);
                if (shown >= 2) return 0;
                Sleep(20);
            }
            return fail("the submenu did not open");
        }
        // No Escape before the menu has taken the Return: the character that
        // chooses the item comes from it, and would queue behind the Escape.
        while (IsWindow(window) && IsWindowVisible(window) && GetTickCount() - posted < 20000) Sleep(20);
        if (IsWindow(window) && IsWindowVisible(window)) rc = fail("the menu took no pick within 20 s");
    }
    // Escape, as the user would press it, until no menu of the process is open.
    const DWORD closing = GetTickCount();
    while ((window = findOpenMenu(pids)) != nullptr) {
        if (GetTickCount() - closing > 5000) return fail("the menu did not close");
        postKey(window, VK_ESCAPE);
        Sleep(50);
    }
    return rc;
}

// ---------------------------------------------------------------- timing

double microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

std::string timingJson(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us) sum += v;
    char buf[160];
    std::snprintf(buf, sizeof buf, "{\"count\":%zu,\"mean_us\":%.1f,\"median_us\":%.1f,\"min_us\":%.1f,\"max_us\":%.1f",
                  us.size(), us.empty() ? 0.0 : sum / us.size(), us.empty() ? 0.0 : us[us.size() / 2],
                  us.empty() ? 0.0 : us.front(), us.empty() ? 0.0 : us.back());
    return buf;
}

// sendtimed <hwnd> <msg> <wparam> <lparam> <count>: sends the message count
// times; each send returns once the window has handled it.
int cmdSendtimed(const std::vector<std::wstring>& args) {
    HWND hwnd = nullptr;
    long long msg = 0, wp = 0, lp = 0, count = 0;
    if (args.size() < 5 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], msg) || !parseInt(args[2], wp) ||
        !parseInt(args[3], lp) || !parseInt(args[4], count) || count < 1)
        return fail("usage: sendtimed <hwnd> <msg> <wparam> <lparam> <count>");
    std::vector<double> us;
    for (long long i = 0; i < count; ++i) {
        LARGE_INTEGER before, after;
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&before);
        BOOL ok = SendMessageTimeoutA(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        QueryPerformanceCounter(&after);
        if (!ok) return failLastError("SendMessageTimeout");
        us.push_back(microseconds(before, after));
    }
    line(timingJson(us) + "}");
    return 0;
}

// clicktimed <hwnd> <count> <pause-ms>: count times, the tray icon's report
// of a released right button (message 2025, WM_RBUTTONUP) posted to the
// window, then the time until the window's process shows a popup menu,
// which is closed with Escape before the pause and the next click. Prints
// the times in order ("us") besides their summary.
int cmdClicktimed(const std::vector<std::wstring>& args) {
    constexpr UINT kTrayCallback = 2025;
    constexpr DWORD kMenuWaitMs = 60000;
    HWND hwnd = nullptr;
    long long count = 0, pauseMs = 0;
    if (args.size() < 3 || !parseHwnd(args[0], hwnd) || !parseInt(args[1], count) || count < 1 ||
        !parseInt(args[2], pauseMs) || pauseMs < 0)
        return fail("usage: clicktimed <hwnd> <count> <pause-ms>");
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == 0) return fail("no such window");
    std::vector<double> us;
    for (long long i = 0; i < count; ++i) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        if (!PostMessageW(hwnd, kTrayCallback, 1, WM_RBUTTONUP)) return failLastError("PostMessage");
        HWND menu = nullptr;
        const DWORD start = GetTickCount();
        while ((menu = findOpenMenu({pid})) == nullptr) {
            if (GetTickCount() - start > kMenuWaitMs) return fail("no menu after a click");
            Sleep(1);
        }
        QueryPerformanceCounter(&after);
        us.push_back(microseconds(before, after));
        if (!closeMenu(menu, 20)) return fail("the menu did not close");
        Sleep(static_cast<DWORD>(pauseMs));
    }
    std::string each;
    for (double v : us) each += (each.empty() ? "" : ",") + std::to_string(static_cast<long long>(v));
    line(timingJson(us) + ",\"us\":[" + each + "]}");
    return 0;
}

// drivescan <count>: the system calls of one drive table refresh and nothing
// else, count times over C: to Z:.
int cmdDrivescan(const std::wstring& countText) {
    long long count = 0;
    if (!parseInt(countText, count) || count < 1) return fail("usage: drivescan <count>");
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<double> us;
    int present = 0;
    std::vector<BYTE> descriptor(10000);
    for (long long i = 0; i < count; ++i) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        const DWORD mask = GetLogicalDrives();
        present = 0;
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            if (!(mask & (1u << (letter - 'A')))) continue;
            ++present;
            const char root[] = {letter, ':', '\\', '\0'};
            GetDriveTypeA(root);
            char label[MAX_PATH + 1], fs[MAX_PATH + 1];
            DWORD serial = 0;
            GetVolumeInformationA(root, label, sizeof label, &serial, nullptr, nullptr, fs, sizeof fs);
            ULARGE_INTEGER available, total, free;
            GetDiskFreeSpaceExA(root, &available, &total, &free);
            const char device[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
            HANDLE volume = CreateFileA(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                        nullptr);
            if (volume != INVALID_HANDLE_VALUE) {
                STORAGE_PROPERTY_QUERY query{};
                query.PropertyId = StorageDeviceProperty;
                query.QueryType = PropertyStandardQuery;
                DWORD returned = 0;
                DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor.data(),
                                static_cast<DWORD>(descriptor.size()), &returned, nullptr);
                CloseHandle(volume);
            }
        }
        QueryPerformanceCounter(&after);
        us.push_back(microseconds(before, after));
    }
    SetErrorMode(oldMode);
    line(timingJson(us) + ",\"drives\":" + std::to_string(present) + "}");
    return 0;
}

// ---------------------------------------------------------------- devices

// interfaces <class-guid>: the present device interfaces of a class as the
// tray program's storage layer reads them (its detail record is laid out
// per width), one JSON object per line.
int cmdInterfaces(const std::wstring& text) {
    GUID native{};
    if (IIDFromString(text.c_str(), &native) != NOERROR) return fail("usage: interfaces <{class-guid}>");
    qm::Guid wanted{native.Data1, native.Data2, native.Data3, {}};
    std::copy(std::begin(native.Data4), std::end(native.Data4), wanted.data4.begin());
    qm::CodePageWin32 codePage;
    qm::StorageWin32 storage(codePage);
    qm::ScopedInterfaceList list(storage, storage.openInterfaceList(wanted));
    if (!list) return fail("no interface list");
    for (std::uint32_t index = 0; storage.interfaceExists(list.get(), wanted, index); ++index) {
        const std::uint32_t size = storage.interfaceDetailSize(list.get(), wanted, index);
        const auto detail = storage.interfaceDetail(list.get(), wanted, index, size);
        line("{\"index\":" + std::to_string(index) + ",\"size\":" + std::to_string(size) + ",\"path\":" +
             (detail ? jsonString(fromUtf8(detail->devicePath)) : "null") +
             ",\"devinst\":" + (detail ? std::to_string(detail->devInst) : "null") + "}");
    }
    return 0;
}

int usage() {
    return fail(
        "commands: send|post <hwnd> <msg> <wparam> <lparam>; broadcast <name> [wparam lparam]; "
        "windows <pid|exe|*>; window <hwnd> [measure]; click <hwnd>; clicklabel <hwnd>; clickbutton "
        "<caption-part> <button-text>; "
        "mouse <hwnd> over|away|press|release...; keys <hwnd> <chord>...; focus <hwnd>; "
        "defdrive <letter> <type> <unix-path>; undefdrive <letter>; drives; "
        "devchange <hwnd|broadcast> <arrival|removal> <letter>; fullscreen; listen; foreground; waittray <ms> [keep]; trayicon <hwnd> <id>; proclist; "
        "kill <pid|exe>; holdfile <path> [window <title>]; writefile <path> <text>; acp; "
        "svc <name> query|start [ms]|stop [ms]|config <type>|wait <state> <ms>; regget <key> <value> [32]; runline <command line>; "
        "regdword <value-name> <number> <key>...; postrepeat <hwnd> <msg> <wparam> <lparam> <count>; "
        "sendwhenshown <hwnd> <msg> <wparam> <lparam> <control-id> <text> <wait-ms>; "
        "menu <pid|exe> <wait-ms> [keep | pick <id> | open <position>]; "
        "sendtimed <hwnd> <msg> <wparam> <lparam> <count>; clicktimed <hwnd> <count> <pause-ms>; "
        "drivescan <count>; interfaces <{class-guid}>");
}

}  // namespace

int main() {
    // Coordinates as the screen has them, at every scale.
    SetProcessDPIAware();
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return usage();
    std::wstring cmd = argv[1];
    std::vector<std::wstring> args(argv + 2, argv + argc);
    LocalFree(argv);
    auto need = [&](size_t n) { return args.size() >= n; };

    if (cmd == L"send") return cmdSend(args);
    if (cmd == L"post") return cmdPost(args);
    if (cmd == L"broadcast") return cmdBroadcast(args);
    if (cmd == L"windows") return need(1) ? cmdWindows(args[0]) : usage();
    if (cmd == L"window") return need(1) ? cmdWindow(args) : usage();
    if (cmd == L"click") return need(1) ? cmdClick(args[0]) : usage();
    if (cmd == L"clickbutton") return cmdClickButton(args);
    if (cmd == L"clicklabel") return need(1) ? cmdClickLabel(args[0]) : usage();
    if (cmd == L"mouse") return cmdMouse(args);
    if (cmd == L"keys") return cmdKeys(args);
    if (cmd == L"focus") return need(1) ? cmdFocus(args[0]) : usage();
    if (cmd == L"defdrive") return cmdDefdrive(args);
    if (cmd == L"undefdrive") return cmdUndefdrive(args);
    if (cmd == L"drives") return cmdDrives();
    if (cmd == L"devchange") return cmdDevchange(args);
    if (cmd == L"fullscreen") return cmdFullscreen();
    if (cmd == L"listen") return cmdListen();
    if (cmd == L"foreground") return cmdForeground();
    if (cmd == L"waittray") return cmdWaittray(args);
    if (cmd == L"trayicon") return cmdTrayicon(args);
    if (cmd == L"proclist") return cmdProclist();
    if (cmd == L"kill") return need(1) ? cmdKill(args[0]) : usage();
    if (cmd == L"holdfile") return cmdHoldfile(args);
    if (cmd == L"writefile") return cmdWritefile(args);
    if (cmd == L"acp") return cmdAcp();
    if (cmd == L"svc") return cmdSvc(args);
    if (cmd == L"regget") return cmdRegget(args);
    if (cmd == L"runline") return cmdRunline(args);
    if (cmd == L"regdword") return cmdRegdword(args);
    if (cmd == L"postrepeat") return cmdPostrepeat(args);
    if (cmd == L"sendwhenshown") return cmdSendWhenShown(args);
    if (cmd == L"menu") return cmdMenu(args);
    if (cmd == L"sendtimed") return cmdSendtimed(args);
    if (cmd == L"clicktimed") return cmdClicktimed(args);
    if (cmd == L"drivescan") return need(1) ? cmdDrivescan(args[0]) : usage();
    if (cmd == L"interfaces") return need(1) ? cmdInterfaces(args[0]) : usage();
    return usage();
}
