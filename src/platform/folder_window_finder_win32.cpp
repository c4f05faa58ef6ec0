// The shell's folder windows that show a folder on a volume.
#include <windows.h>
// After windows.h, which they need.
#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <string>

#include "platform/blocker_finders_win32.h"
#include "platform/blocker_rules.h"
#include "platform/blocker_worker_win32.h"
#include "platform/com_ref_win32.h"
#include "platform/handles_win32.h"
#include "platform/process_facts_win32.h"
#include "platform/utf16_win32.h"

namespace qm {
namespace {

// A shell that hangs keeps the searches that asked it; no more than this
// many wait on it together.
constexpr int kMostSearches = 2;
std::atomic<int> running{0};

// The file-system folder a shell window shows; empty for the virtual ones
// (Computer, the control panel) and for windows that are no folder windows.
std::wstring folderOf(IDispatch* item) {
    ComRef<IServiceProvider> provider;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IFolderView> folderView;
    ComRef<IPersistFolder2> folder;
    if (FAILED(item->QueryInterface(IID_IServiceProvider, provider.outVoid())) ||
        FAILED(
            provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) ||
        FAILED(browser->QueryActiveShellView(view.out())) || !view ||
        FAILED(view->QueryInterface(IID_IFolderView, folderView.outVoid())) ||
        FAILED(folderView->GetFolder(IID_IPersistFolder2, folder.outVoid())) || !folder) {
        return {};
    }
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(folder->GetCurFolder(&pidl)) || pidl == nullptr) return {};
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(pidl, path) != FALSE;
    CoTaskMemFree(pidl);
    return ok ? std::wstring(path) : std::wstring();
}

std::string programName(DWORD processId) {
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    const std::string path = process ? ProcessImagePath(process.get()) : std::string();
    return path.empty() ? "explorer.exe" : ImageNameOf(path);
}

void listFolderWindows(SearchShare& share) {
    // Counted out however the search ends.
    struct Running {
        ~Running() { running.fetch_sub(1); }
    } counted;
    // An apartment of its own: the calls all go out to the shell's process.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComRef<IShellWindows> windows;
        if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                    windows.outVoid()))) {
            // No shell that keeps such a list runs: none of its windows
            // can hold the drive.
            share.markExhaustive();
        } else {
            long count = 0;
            if (SUCCEEDED(windows->get_Count(&count))) {
                for (long i = 0; i < count && !share.givenUp(); ++i) {
                    VARIANT index;
                    VariantInit(&index);
                    index.vt = VT_I4;
                    index.lVal = i;
                    ComRef<IDispatch> item;
                    if (windows->Item(index, item.out()) != S_OK || !item) continue;
                    ComRef<IWebBrowserApp> browser;
                    SHANDLE_PTR handle = 0;
                    if (FAILED(item->QueryInterface(IID_IWebBrowserApp, browser.outVoid())) ||
                        FAILED(browser->get_HWND(&handle)) || handle == 0) {
                        continue;
                    }
                    const std::string folder = Utf8FromWide(folderOf(item.operator->()));
                    if (folder.empty() || !PathLiesOnVolume(folder, share.query())) continue;
                    const auto hwnd = reinterpret_cast<HWND>(handle);
                    DWORD processId = 0;
                    GetWindowThreadProcessId(hwnd, &processId);
                    Blocker found{processId, programName(processId)};
                    found.kind = BlockerKind::FolderWindow;
                    found.window = reinterpret_cast<WindowId>(hwnd);
                    found.files = {PathOnDriveLetter(folder, share.query())};
                    found.fileCount = 1;
                    share.add(std::move(found));
                }
                if (!share.givenUp()) share.markExhaustive();
            }
        }
    }
    if (SUCCEEDED(init)) CoUninitialize();
}

}  // namespace

std::unique_ptr<BlockerSearch> FolderWindowFinderWin32::start(const BlockerQuery& query) {
    if (running.fetch_add(1) >= kMostSearches) {
        running.fetch_sub(1);
        return nullptr;
    }
    auto search = StartWorkerSearch(query, listFolderWindows);
    if (!search) running.fetch_sub(1);
    return search;
}

}  // namespace qm
