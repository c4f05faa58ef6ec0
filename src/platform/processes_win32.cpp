#include "platform/processes_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <climits>

#include "platform/com_ref_win32.h"
#include "platform/handles_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// The full-access mask of the older systems; newer ones accept it too, while
// the older ones refuse the wider mask their successors' headers define.
constexpr DWORD kProcessAllAccess = 0x1F0FFF;

HANDLE nativeHandle(Processes::Handle process) { return reinterpret_cast<HANDLE>(process); }

// COM on this thread for as long as it lives, if it is not there already.
class ComUse {
  public:
    ComUse() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComUse(const ComUse&) = delete;
    ComUse& operator=(const ComUse&) = delete;
    ~ComUse() {
        if (initialised_) CoUninitialize();
    }

  private:
    bool initialised_;
};

// A VARIANT holding text, cleared when it goes.
class TextVariant {
  public:
    explicit TextVariant(const std::wstring& text) {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    ~TextVariant() { VariantClear(&v_); }
    VARIANT& get() { return v_; }

  private:
    VARIANT v_;
};

// The shell object of the desktop's own folder window, reached through the
// shell's window list; null when no desktop shell runs (another shell, a
// service's session, Wine).
bool desktopShell(ComRef<IShellDispatch2>& shell) {
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.outVoid()))) {
        return false;
    }
    VARIANT location;
    VariantInit(&location);
    VARIANT root;
    VariantInit(&root);
    LONG window = 0;
    ComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.out()) != S_OK ||
        !desktop) {
        return false;
    }
    ComRef<IServiceProvider> provider;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.outVoid())) ||
        FAILED(
            provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) ||
        FAILED(browser->QueryActiveShellView(view.out())) || !view ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) ||
        !background ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) ||
        FAILED(folderView->get_Application(application.out())) || !application ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()))) {
        return false;
    }
    return static_cast<bool>(shell);
}

// An elevated start and its consent worker share one record, freed by
// whichever lets go last.
struct ElevatedShare {
    std::wstring file, arguments, folder;
    DWORD waiter = 0;  // the thread woken by the answer
    SRWLOCK lock = SRWLOCK_INIT;
    bool answered = false;
    bool givenUp = false;  // nobody waits: the worker closes what it started
    bool taken = false;    // the caller owns the process handle
    HANDLE process = nullptr;
};
using SharedElevation = std::shared_ptr<ElevatedShare>;

DWORD WINAPI askForConsent(void* parameter) {
    // The worker's own reference, handed over by startElevated.
    const std::unique_ptr<SharedElevation> own(static_cast<SharedElevation*>(parameter));
    ElevatedShare& share = **own;
    HANDLE process = nullptr;
    {
        ComUse com;
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        // "runas" asks for the consent prompt, which waits here for the
        // user; a refusal fails the call.
        info.lpVerb = L"runas";
        info.lpFile = share.file.c_str();
        info.lpParameters = share.arguments.empty() ? nullptr : share.arguments.c_str();
        info.lpDirectory = share.folder.empty() ? nullptr : share.folder.c_str();
        info.nShow = SW_HIDE;
        if (ShellExecuteExW(&info)) process = info.hProcess;
    }
    AcquireSRWLockExclusive(&share.lock);
    const bool givenUp = share.givenUp;
    if (!givenUp) {
        share.process = process;
        share.answered = true;
    }
    ReleaseSRWLockExclusive(&share.lock);
    if (givenUp) {
        if (process != nullptr) CloseHandle(process);
    } else {
        // A thread message with no window wakes the waiting loop; its pump drops it.
        PostThreadMessageW(share.waiter, WM_NULL, 0, 0);
    }
    return 0;
}

class WorkerElevatedStart final : public ElevatedStart {
  public:
    explicit WorkerElevatedStart(SharedElevation share) : share_(std::move(share)) {}
    ~WorkerElevatedStart() override {
        AcquireSRWLockExclusive(&share_->lock);
        share_->givenUp = true;
        HANDLE unclaimed = share_->answered && !share_->taken ? share_->process : nullptr;
        share_->process = nullptr;
        ReleaseSRWLockExclusive(&share_->lock);
        if (unclaimed != nullptr) CloseHandle(unclaimed);
    }

    std::optional<std::uintptr_t> answer() override {
        AcquireSRWLockExclusive(&share_->lock);
        std::optional<std::uintptr_t> result;
        if (share_->answered) {
            share_->taken = true;
            result = reinterpret_cast<std::uintptr_t>(share_->process);
        }
        ReleaseSRWLockExclusive(&share_->lock);
        return result;
    }

  private:
    SharedElevation share_;
};

}  // namespace

std::vector<ProcessInfo> ProcessesWin32::snapshot() {
    std::vector<ProcessInfo> list;
    // The snapshot answers INVALID_HANDLE_VALUE when it fails, as CreateFile does.
    UniqueFileHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap.get(), &entry); more;
         more = Process32NextW(snap.get(), &entry)) {
        ProcessInfo info;
        info.id = entry.th32ProcessID;
        info.exeName = Utf8FromWide(entry.szExeFile);
        DWORD session = 0;
        if (ProcessIdToSessionId(entry.th32ProcessID, &session)) info.sessionId = session;
        list.push_back(std::move(info));
    }
    return list;
}

bool ProcessesWin32::terminate(std::uint32_t processId, std::uint32_t exitCode) {
    UniqueKernelHandle process(OpenProcess(kProcessAllAccess, FALSE, processId));
    return process && TerminateProcess(process.get(), exitCode) != FALSE;
}

Processes::Handle ProcessesWin32::start(const std::string& commandLine, int showState,
                                        const std::string& workingFolder) {
    // CreateProcessW may write into the command line, so it gets its own copy.
    const std::wstring wide = WideFromUtf8(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION info{};
    const std::wstring folder = WideFromUtf8(workingFolder);
    // Our own error mode keeps the system's "no disk" boxes away from us;
    // a program we start (the shell after a forced eject above all) gets
    // the system's default, as if the user had started it.
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return 0;
    }
    // Only the process is waited on; its first thread is of no use.
    UniqueKernelHandle thread(info.hThread);
    return reinterpret_cast<Handle>(info.hProcess);
}

bool ProcessesWin32::startAsDesktopUser(const std::string& program, const std::string& arguments,
                                        const std::string& workingFolder, int showState) {
    ComUse com;
    ComRef<IShellDispatch2> shell;
    if (!desktopShell(shell)) return false;
    // The shell runs the program itself, so it gets the shell's token.
    BSTR file = SysAllocString(WideFromUtf8(program).c_str());
    if (file == nullptr) return false;
    TextVariant args(WideFromUtf8(arguments));
    TextVariant folder(WideFromUtf8(workingFolder));
    TextVariant verb(L"open");
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = showState;
    const HRESULT hr = shell->ShellExecute(file, args.get(), folder.get(), verb.get(), show);
    SysFreeString(file);
    return SUCCEEDED(hr);
}

bool ProcessesWin32::elevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    const UniqueKernelHandle own(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) {
        return true;
    }
    return elevation.TokenIsElevated != 0;
}

std::unique_ptr<ElevatedStart> ProcessesWin32::startElevated(const std::string& program,
                                                             const std::string& arguments,
                                                             const std::string& workingFolder) {
    auto share = std::make_shared<ElevatedShare>();
    share->file = WideFromUtf8(program);
    share->arguments = WideFromUtf8(arguments);
    share->folder = WideFromUtf8(workingFolder);
    share->waiter = GetCurrentThreadId();
    auto workerReference = std::make_unique<SharedElevation>(share);
    UniqueKernelHandle thread(
        CreateThread(nullptr, 0, askForConsent, workerReference.get(), 0, nullptr));
    if (!thread) return nullptr;
    workerReference.release();  // the worker's now
    return std::make_unique<WorkerElevatedStart>(std::move(share));
}

std::optional<std::uint32_t> ProcessesWin32::exitCode(Handle process) {
    DWORD code = 0;
    if (process == 0 || !GetExitCodeProcess(nativeHandle(process), &code)) return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

void ProcessesWin32::close(Handle process) {
    if (process != 0) CloseHandle(nativeHandle(process));
}

std::uint32_t ProcessesWin32::currentSessionId() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

std::optional<std::string> ProcessesWin32::imagePath(std::uint32_t processId) {
    // The least right that reads the path, granted for other users' and
    // elevated processes too.
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &size) || size == 0) {
        return std::nullopt;
    }
    return Utf8FromWide(std::wstring_view(buffer.data(), size));
}

std::string ProcessesWin32::windowsFolder() {
    // The shared Windows folder: on a terminal server the plain Windows
    // folder may be the user's own.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT n = GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetSystemWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size()) return "C:\\Windows";
    std::wstring folder(buffer.data(), n);
    while (folder.size() > 2 && folder.back() == L'\\') folder.pop_back();
    return Utf8FromWide(folder);
}

void ProcessesWin32::trimWorkingSet(std::size_t minimum, std::size_t maximum) {
    // Only a hint to the memory manager: a refusal changes nothing for us.
    SetProcessWorkingSetSize(GetCurrentProcess(), minimum, maximum);
}

}  // namespace qm
