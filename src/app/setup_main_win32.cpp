// Entry point of the installer: builds the Win32 platform, the wizard
// window and frmSETUP, which installs the release's files from beside
// setup.exe.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/release_files.h"
#include "platform/code_page_win32.h"
#include "platform/console_output_win32.h"
#include "platform/event_loop_win32.h"
#include "platform/file_system_win32.h"
#include "platform/messenger_win32.h"
#include "platform/process_hardening_win32.h"
#include "platform/processes_win32.h"
#include "platform/profile_win32.h"
#include "platform/shell_win32.h"
#include "platform/utf16_win32.h"
#include "setup/setup_window_win32.h"
#include "setup/setup_wizard.h"
#include "setup/silent_install.h"
#include "texts/setup_texts.h"

namespace {

// The folder browser is a shell object: COM for the whole run.
class ComScope {
  public:
    ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool ok_;
};

// setup.exe /S: no window; what it has to say goes where it was started from.
int installSilently(const qm::SetupArguments& args) {
    qm::ConsoleOutputWin32 console;
    if (!args.problem.empty()) {
        qm::PrintLine(console, args.problem, qm::ConsoleOutput::Stream::Err);
        qm::PrintLine(console, qm::Text(qm::SetupText::SilentUsage), qm::ConsoleOutput::Stream::Err);
        return qm::kSetupUsage;
    }
    qm::CodePageWin32 codePage;
    qm::FileSystemWin32 files(codePage);
    qm::ProfileWin32 profile(codePage);
    qm::ProcessesWin32 processes;
    qm::EventLoopWin32 loop;
    qm::ShellWin32 shell;
    qm::MessengerWin32 messenger;
    const std::string sourceDir = qm::FolderOf(qm::Utf8FromWide(qm::ModuleFileName()));
    std::vector<std::string> release(std::begin(qm::kReleaseFiles), std::end(qm::kReleaseFiles));
    return qm::RunSilentInstall(qm::SetupDeps{profile, files, processes, loop, shell, codePage,
                                              messenger, sourceDir, std::move(release)},
                                args.folder, console);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    qm::HardenProcess();
    const qm::SetupArguments args = qm::ParseSetupArguments(qm::CommandLineArguments());
    if (args.silent) return installSilently(args);
    ComScope com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    qm::CodePageWin32 codePage;
    qm::FileSystemWin32 files(codePage);
    qm::ProfileWin32 profile(codePage);
    qm::ProcessesWin32 processes;
    qm::EventLoopWin32 loop;
    qm::ShellWin32 shell;
    qm::MessengerWin32 messenger;

    // The release lies beside setup.exe, among whatever else may lie there.
    const std::string sourceDir = qm::FolderOf(qm::Utf8FromWide(qm::ModuleFileName()));
    std::vector<std::string> release(std::begin(qm::kReleaseFiles), std::end(qm::kReleaseFiles));

    // Made before the model and so gone after it; both outlive every
    // handler, which all run inside the message loop below.
    qm::SetupWindowWin32 window(instance, codePage);
    if (!window.create()) return 1;
    qm::frmSETUP setup(window, qm::SetupDeps{profile, files, processes, loop, shell, codePage,
                                             messenger, sourceDir, std::move(release)});
    window.attach(setup);
    // The window's keyboard also works inside every pump (the copy's too).
    qm::MessageFilterScope dialogKeys(loop, [&window](MSG& m) { return window.preTranslate(m); });
    window.show(showState == SW_HIDE ? SW_SHOWNORMAL : showState);
    setup.onLoad();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) loop.dispatch(msg);
    return 0;
}
