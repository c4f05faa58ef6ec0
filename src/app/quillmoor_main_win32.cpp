// Entry point of the tray program: builds the Win32 platform, the main
// window and the app, runs start-up and then the message loop.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/version_info.h"
#include "cli/commands.h"
#include "common/language_choice.h"
#include "core/main_window_win32.h"
#include "core/tray_app.h"
#include "core/tray_menu_win32.h"
#include "core/version.h"
#include "drives/blocker_search.h"
#include "drives/drive_identification.h"
#include "platform/blocker_finders_win32.h"
#include "platform/code_page_win32.h"
#include "platform/console_output_win32.h"
#include "platform/desktop_win32.h"
#include "platform/drive_probe_win32.h"
#include "platform/event_loop_win32.h"
#include "platform/file_system_win32.h"
#include "platform/holder_control_win32.h"
#include "platform/http_transfer_win32.h"
#include "platform/instance_lock_win32.h"
#include "platform/mci_win32.h"
#include "platform/messenger_win32.h"
#include "platform/process_hardening_win32.h"
#include "platform/processes_win32.h"
#include "platform/profile_win32.h"
#include "platform/registry_win32.h"
#include "platform/service_manager_win32.h"
#include "platform/shell_win32.h"
#include "platform/storage_win32.h"
#include "platform/utf16_win32.h"
#include "ui/alert_win32.h"
#include "ui/blocker_window_win32.h"
#include "ui/settings_window_win32.h"
#ifdef QM_TEST_BUILD
#include "testbuild/declared_buses.h"
#endif

namespace {

// The version users see comes from the program's own version resource,
// read in place: the version library is no Known DLL, and a library named
// in the import table would be looked for beside the program first.
qm::FileVersion ownFileVersion() {
    qm::FileVersion version{QM_VER_MAJOR, QM_VER_MINOR, QM_VER_PATCH, QM_VER_BUILD};
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (found == nullptr) return version;
    const DWORD size = SizeofResource(nullptr, found);
    const HGLOBAL loaded = LoadResource(nullptr, found);
    const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
    // VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" with its NUL,
    // padding to a DWORD, then the fixed part.
    constexpr std::size_t kFixedAt = 40;
    VS_FIXEDFILEINFO info{};
    if (data == nullptr || size < kFixedAt + sizeof info) return version;
    std::memcpy(&info, data + kFixedAt, sizeof info);
    if (info.dwSignature != VS_FFI_SIGNATURE) return version;
    return {HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
            HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS)};
}

// The program's elevated run for one change of the AutoPlay service: it
// applies just that and ends, without a window, the log or Setting.ini,
// and whether another copy runs does not matter.
int switchAutoPlayElevated(bool on) {
    qm::ServiceManagerWin32 serviceManager;
    qm::Services services(serviceManager);
    return qm::ApplyAutoPlayWish(services, on) ? 0 : 1;
}

// The storage stack the program asks through. Test builds answer the buses
// that a Wine end-to-end test declares, over the real calls.
class ProgramStorage {
  public:
    ProgramStorage(qm::CodePage& codePage, [[maybe_unused]] qm::FileSystem& files,
                   [[maybe_unused]] const std::string& installDir)
        : system_(codePage)
#ifdef QM_TEST_BUILD
          ,
          declared_(system_, files, installDir + "\\" + qm::kDeclaredBusesFile)
#endif
    {
    }
    ProgramStorage(const ProgramStorage&) = delete;
    ProgramStorage& operator=(const ProgramStorage&) = delete;

#ifdef QM_TEST_BUILD
    qm::Storage& get() { return declared_; }
#else
    qm::Storage& get() { return system_; }
#endif

  private:
    qm::StorageWin32 system_;
#ifdef QM_TEST_BUILD
    qm::DeclaredBusStorage declared_;
#endif
};

// The composition root: the platform, then either one command over the
// services it needs, or the services of the tray program, the program over
// them, its windows and the message loop.
int runProgram(HINSTANCE instance, const std::string& installDir, const std::string& arguments) {
    qm::CodePageWin32 codePage;
    qm::FileSystemWin32 files(codePage);
    qm::ProfileWin32 profile(codePage);
    // Before any text is made: every window, notice, log line and printed
    // line speaks this language.
    qm::SetCurrentLanguage(qm::TrayLanguage(profile, qm::InstallPaths(installDir), codePage));
    qm::RegistryWin32 registry;
    qm::ServiceManagerWin32 serviceManager;
    qm::EventLoopWin32 loop;
    qm::ShellWin32 shell;
    qm::InstanceLockWin32 instanceLock;
    qm::DesktopWin32 desktop;
    qm::ProcessesWin32 processes;
    qm::MciWin32 mci;
    qm::HttpTransferWin32 http;
    // The system's record answers in a moment where it exists; the walk
    // through open files is the slower way round.
    qm::VetoEventFinderWin32 vetoEvents;
    qm::OpenFileFinderWin32 openFiles;
    qm::FirstAnswerFinder blockers({&vetoEvents, &openFiles}, loop);
    // Each question builds the storage stack it asks through: pool threads
    // share nothing with this thread.
    qm::DriveProbeWin32 probe([installDir](char letter) {
        qm::CodePageWin32 threadCodePage;
        qm::FileSystemWin32 threadFiles(threadCodePage);
        ProgramStorage threadStorage(threadCodePage, threadFiles, installDir);
        return qm::AnswerDriveQuestion(threadFiles, threadStorage.get(), threadCodePage, letter);
    });

    const std::string versionText = qm::VersionText(ownFileVersion());
    ProgramStorage programStorage(codePage, files, installDir);
    qm::Storage& storage = programStorage.get();

    // A command: the same services, printing instead of popups, and nothing
    // of the tray program (its lock, window, tray icon or update check).
    if (qm::IsCommandLineMode(arguments)) {
        qm::ConsoleOutputWin32 console;
        qm::MessengerWin32 messenger;
        return qm::RunCommandLine(qm::CliPlatform{files, storage, codePage, loop, mci, processes,
                                                  shell, blockers, probe, console, messenger},
                                  installDir, versionText, arguments);
    }

    const qm::TrayPlatform platform{files,     profile, registry, serviceManager, loop,
                                    shell,     codePage, instanceLock, desktop, processes,
                                    storage,   mci,     http,     blockers,       probe};
    qm::AlertPopupFactoryWin32 popups(instance, profile, files, loop, installDir,
                                      [&processes] { qm::TrimMemory(processes); });
    qm::TrayServices services(platform, popups, installDir, versionText);
    popups.connect(services.gate, services.immunisation);
    qm::MainWindowWin32 mainWindow(instance);
    popups.setOwner([&mainWindow] { return mainWindow.handle(); });
    qm::TrayMenuWin32 trayMenu;
    qm::TrayApp app(platform, services, mainWindow, trayMenu);
    // Made after the app, so gone before it: its window only ever calls the
    // app from its own events, and its destructor calls nothing back.
    qm::Immunisation& immunisation = services.immunisation;
    qm::SettingsWindowWin32 settingsWindow(
        instance, profile, files, loop, installDir, [&app] { app.requestListRefresh(); },
        qm::ImmunityActions{
            [&immunisation](const std::string& drive) { immunisation.ImmuniseDrive(drive); },
            [&immunisation](const std::string& drive) { immunisation.RemoveImmunity(drive); }},
        [&mainWindow] { return reinterpret_cast<HICON>(mainWindow.programIcon()); });
    app.setSettingsWindowList(&settingsWindow);
    // While the window listing who holds a drive is open, the holders are
    // followed by their open files and the shell's folder windows together.
    qm::FolderWindowFinderWin32 folderWindows;
    qm::AllAnswersFinder followHolders({&openFiles, &folderWindows});
    qm::HolderControlWin32 holderControl;
    qm::BlockerWindowsWin32 blockerWindows(
        instance, holderControl, followHolders, loop, services.log, app,
        [&mainWindow] { return reinterpret_cast<HICON>(mainWindow.programIcon()); });
    app.setBlockerWindows(&blockerWindows);
    // Whatever runs after the loop finds no windows that are gone.
    struct DetachBlockerWindows {
        qm::TrayApp& app;
        ~DetachBlockerWindows() { app.setBlockerWindows(nullptr); }
    } detachBlockerWindows{app};
    // The windows' keyboard also works inside every pump.
    qm::MessageFilterScope dialogKeys(loop, [&settingsWindow, &blockerWindows](MSG& m) {
        return settingsWindow.preTranslate(m) || blockerWindows.preTranslate(m);
    });
    mainWindow.attach(app);
    if (!app.startup()) return 0;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) loop.dispatch(msg);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    qm::HardenProcess();
    const std::wstring exePath = qm::ModuleFileName();
    const std::string installDir = qm::FolderOf(qm::Utf8FromWide(exePath));
    // The program's own folder as its working folder: one on a stick it was
    // started from (or an installer was) would block that stick's eject.
    SetCurrentDirectoryW(qm::WideFromUtf8(installDir + "\\").c_str());
    const std::string arguments = qm::CommandLineArguments();
    if (const auto wish = qm::AutoPlayWishOf(arguments)) {
        return switchAutoPlayElevated(*wish);
    }
    return runProgram(instance, installDir, arguments);
}
