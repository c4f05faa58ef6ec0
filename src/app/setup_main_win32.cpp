// Entry point of the installer: builds the Win32 platform and either the
// wizard window and frmSETUP, which installs the release's files from
// beside setup.exe, or (with /uninstall) the removal of the installation
// setup.exe lies in, with its question or (with /S) without a window.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <objbase.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/release_files.h"
#include "app/version_info.h"
#include "common/language_choice.h"
#include "platform/code_page_win32.h"
#include "platform/console_output_win32.h"
#include "platform/event_loop_win32.h"
#include "platform/file_system_win32.h"
#include "platform/messenger_win32.h"
#include "platform/process_hardening_win32.h"
#include "platform/processes_win32.h"
#include "platform/profile_win32.h"
#include "platform/registry_win32.h"
#include "platform/shell_win32.h"
#include "platform/utf16_win32.h"
#include "setup/setup_window_win32.h"
#include "setup/setup_wizard.h"
#include "setup/silent_install.h"
#include "setup/uninstall.h"
#include "setup/uninstall_dialog.h"
#include "setup/uninstall_window_win32.h"
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

// The system as every mode of the installer uses it, made once.
struct Win32Platform {
    qm::CodePageWin32 codePage;
    qm::FileSystemWin32 files{codePage};
    qm::ProfileWin32 profile{codePage};
    qm::ProcessesWin32 processes;
    qm::EventLoopWin32 loop;
    qm::ShellWin32 shell;
    qm::MessengerWin32 messenger;
    qm::RegistryWin32 registry;

    // The release lies beside setup.exe, among whatever else may lie there;
    // for /uninstall, that folder is the installation.
    qm::SetupDeps deps() {
        const std::string self = qm::Utf8FromWide(qm::ModuleFileName());
        const std::string sourceDir = qm::FolderOf(self);
        std::string ownFile = self.substr(self.find_last_of('\\') + 1);
        std::vector<std::string> release(std::begin(qm::kReleaseFiles),
                                         std::end(qm::kReleaseFiles));
        return qm::SetupDeps{profile,
                             files,
                             processes,
                             loop,
                             shell,
                             codePage,
                             messenger,
                             registry,
                             sourceDir,
                             std::move(release),
                             QM_VERSION_SHOWN,
                             std::move(ownFile)};
    }
};

void printUsageError(const std::string& problem) {
    qm::ConsoleOutputWin32 console;
    qm::PrintLine(console, problem, qm::ConsoleOutput::Stream::Err);
    qm::PrintLine(console, qm::Text(qm::SetupText::SilentUsage), qm::ConsoleOutput::Stream::Err);
}

// setup.exe /S: no window; what it has to say goes where it was started from.
int installSilently(const qm::SetupArguments& args) {
    if (!args.problem.empty()) {
        printUsageError(args.problem);
        return qm::kSetupUsage;
    }
    qm::ConsoleOutputWin32 console;
    Win32Platform platform;
    return qm::RunSilentInstall(platform.deps(), args.folder, console);
}

void runMessages(qm::EventLoopWin32& loop) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) loop.dispatch(msg);
}

// setup.exe /uninstall [/S] [/purge].
int uninstall(HINSTANCE instance, const qm::SetupArguments& args, int showState) {
    if (!args.problem.empty()) {
        printUsageError(args.problem);
        return qm::kUninstallUsage;
    }
    Win32Platform platform;
    if (args.silent) {
        qm::ConsoleOutputWin32 console;
        return qm::RunSilentUninstall(platform.deps(), args.purge, console);
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    qm::Uninstaller uninstaller(platform.deps());
    // Made before the model and so gone after it; both outlive every
    // handler, which all run inside the message loop below.
    qm::UninstallWindowWin32 window(instance);
    qm::UninstallDialog dialog(window, uninstaller);
    if (!window.create(dialog.Question(), args.purge)) return qm::kUninstallSomeRemain;
    window.attach(dialog);
    qm::MessageFilterScope dialogKeys(platform.loop,
                                      [&window](MSG& m) { return window.preTranslate(m); });
    if (dialog.onLoad()) window.show(showState == SW_HIDE ? SW_SHOWNORMAL : showState);
    runMessages(platform.loop);
    return dialog.exitCode();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
    qm::HardenProcess();
    {
        // Before any text is made: the installer speaks the user's language.
        qm::CodePageWin32 codePage;
        qm::SetCurrentLanguage(qm::SetupLanguage(codePage));
    }
    const qm::SetupArguments args = qm::ParseSetupArguments(qm::CommandLineArguments());
    if (args.uninstall) return uninstall(instance, args, showState);
    if (args.silent) return installSilently(args);
    ComScope com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    Win32Platform platform;

    // Made before the model and so gone after it; both outlive every
    // handler, which all run inside the message loop below.
    qm::SetupWindowWin32 window(instance);
    if (!window.create()) return 1;
    qm::frmSETUP setup(window, platform.deps());
    window.attach(setup);
    // The window's keyboard also works inside every pump (the copy's too).
    qm::MessageFilterScope dialogKeys(platform.loop,
                                      [&window](MSG& m) { return window.preTranslate(m); });
    window.show(showState == SW_HIDE ? SW_SHOWNORMAL : showState);
    setup.onLoad();
    runMessages(platform.loop);
    return 0;
}
