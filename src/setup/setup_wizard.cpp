#include "setup/setup_wizard.h"

#include <algorithm>
#include <cctype>

#include "common/system_helpers.h"
#include "common/text_rules.h"
#include "platform/path_rules.h"
#include "settings/ini.h"
#include "settings/settings_files.h"
#include "settings/system_entries.h"
#include "setup/running_copies.h"
#include "texts/language.h"

namespace qm {
namespace {

constexpr int kShowMinimised = 2;

// The request carries the address of a 16-bit zero; the tray program does
// not look at it.
const std::int16_t kQuitRequestZero = 0;

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           LowerAscii(text.substr(text.size() - tail.size())) == LowerAscii(tail);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

// "D:\..." and nothing else: network paths and relative ones are refused.
bool StartsWithDriveRoot(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
           path[1] == ':' && path[2] == '\\';
}

}  // namespace

std::string UninstallCommand(const std::string& setupPath, bool silent) {
    std::string command = "\"" + setupPath + "\" " + kUninstallArgument;
    if (silent) command += std::string(" ") + kSilentArgument;
    return command;
}

frmSETUP::frmSETUP(SetupWindowPort& port, SetupDeps deps, StopLimits limits)
    : port_(port), d_(std::move(deps)), limits_(limits) {}

void frmSETUP::onLoad() {
    LoadOldPath();
    LoadReadMe();
}

std::string frmSETUP::locatorValue(LocatorField field) {
    if (d_.files.fileExists(kSystemLocatorPath)) {
        std::string value = ReadLocator(d_.profile, kSystemLocatorPath, field);
        if (!TrimBlanks(value).empty()) return value;
    }
    const std::uint32_t mapped = d_.files.mappedDrives();
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (!DriveIn(mapped, letter) || d_.files.driveType(letter) != kDriveKindFixed) continue;
        const std::string locator = DriveLocatorPath(letter);
        if (d_.files.fileExists(locator)) {
            return ReadLocator(d_.profile, locator, field);
        }
    }
    return {};
}

std::vector<std::uint32_t> frmSETUP::trayProcesses(bool thisSessionOnly) {
    const std::uint32_t session = d_.processes.currentSessionId();
    std::vector<std::uint32_t> own, others;
    for (const ProcessInfo& process : d_.processes.snapshot()) {
        if (ProcessNameKey(process.exeName) != LowerAscii(kProgramFileName)) continue;
        (process.sessionId == session ? own : others).push_back(process.id);
    }
    if (!thisSessionOnly) own.insert(own.end(), others.begin(), others.end());
    return own;
}

std::string frmSETUP::runningProgramFolder() {
    for (const std::uint32_t id : trayProcesses()) {
        const auto image = d_.processes.imagePath(id);
        if (!image) continue;
        const auto slash = image->find_last_of('\\');
        if (slash != std::string::npos && slash > 0) return image->substr(0, slash);
    }
    return {};
}

void frmSETUP::LoadOldPath() {
    std::string recorded = locatorValue(LocatorField::InstallDir);
    // An elevated installer cannot see the locator file that a tray program
    // under file virtualisation wrote; the running program shows its folder.
    if (TrimBlanks(recorded).empty()) recorded = runningProgramFolder();
    if (TrimBlanks(recorded).empty()) {
        InstallPath_ = kDefaultInstallPath;
        initSetPath();
    } else {
        InstallPath_ = recorded;
    }
    if (InstallPath_.empty() || InstallPath_.back() != '\\') InstallPath_ += '\\';
    port_.setText1(InstallPath_);
}

void frmSETUP::LoadReadMe() {
    std::string text;
    // The readme of the installer's language; the first one where it is missing.
    std::string file = d_.sourceDir + "\\" + std::string(CurrentLanguage().readmeFile);
    if (!d_.files.fileExists(file)) file = d_.sourceDir + "\\readme.txt";
    if (const auto lines = d_.files.readTextLines(file)) {
        for (const std::string& line : *lines) {
            text = TrimBlanks(text).empty() ? line : text + "\r\n" + line;
        }
    }
    setText2(text);
}

void frmSETUP::setText2(const std::string& text) {
    text2_ = text;
    port_.setText2(text2_);
}

void frmSETUP::initSetPath() {
    for (char& c : InstallPath_) {
        if (c == '/') c = '\\';
    }
    if (InstallPath_.empty() || InstallPath_.back() != '\\') InstallPath_ += '\\';
    if (!EndsWithNoCase(InstallPath_, "Quillmoor\\")) InstallPath_ += "Quillmoor\\";
    port_.setText1(InstallPath_);
}

void frmSETUP::AddToText(const std::string& line) {
    pump();
    setText2(text2_ + "\r\n" + line);
    port_.focusText2AtEnd();
    pump();
}

std::int16_t frmSETUP::CountChinese(const std::string& text) {
    const std::size_t n = CountDoubleByteChars(d_.codePage, text);
    return static_cast<std::int16_t>(n > 32767 ? 32767 : n);
}

void frmSETUP::onCommand1() {
    std::string path = port_.browseForFolder(Text(SetupText::BrowseTitle));
    if (TrimBlanks(path).empty()) path = kBrowseFallback;
    InstallPath_ = path;
    initSetPath();
}

void frmSETUP::onLabel4Click() {
    // This installer runs as an administrator: a browser started with its
    // rights would browse the web with them.
    openAsUser(kHomePageUrl, false, kShowMaximised);
}

bool frmSETUP::openAsUser(const std::string& target, bool isProgram, int showState) {
    // The desktop's shell starts it with its own rights, the logged-on user's.
    const std::string folder = isProgram ? WithoutTrailingSlash(InstallPath_) : std::string();
    if (d_.processes.startAsDesktopUser(target, "", folder, showState)) return true;
    // No shell answers: only rights that are no more than the user's own may
    // be passed on.
    if (d_.processes.elevated()) return false;
    if (!isProgram) return d_.shell.shellOpen(target, showState);
    // Quoted: the folder usually holds a blank.
    const Processes::Handle started = d_.processes.start("\"" + target + "\"", showState, folder);
    if (started == 0) return false;
    d_.processes.close(started);
    return true;
}

bool frmSETUP::CreateEveryFolder(int level, const std::string& path) {
    bool ok = false;
    if (level == 0) {
        ok = !path.empty() && d_.files.driveExists(path[0]);
    } else {
        const std::string folder = WithoutTrailingSlash(path);
        ok = d_.files.folderExists(folder) || d_.files.createFolder(folder);
    }
    if (!ok) {
        Installing_ = false;
        CancelRequested_ = false;
    }
    return ok;
}

void frmSETUP::failInstall(const std::string& message, InstallOutcome outcome) {
    failure_ = outcome;
    port_.messageBox(message, msgbox::kOk | msgbox::kIconInformation);
    setText2(message);
    CancelRequested_ = false;
    port_.enableChoosing(true);
    Installing_ = false;
}

void frmSETUP::onCommand2() {
    if (Installing_ || closed_) return;
    if (port_.messageBox(Text(SetupText::ConfirmStart), msgbox::kOkCancel | msgbox::kIconInformation) !=
        msgbox::kIdOk) {
        return;
    }
    const InstallOutcome outcome = Install();
    if (outcome == InstallOutcome::Cancelled) {
        close();
        return;
    }
    if (outcome != InstallOutcome::Done) return;  // already said why
    port_.enableChoosing(true);
    AddToText(Text(SetupText::Complete));
    Installing_ = false;
    CancelRequested_ = false;
    pump();
    port_.messageBox(Text(SetupText::Thanks), msgbox::kOk | msgbox::kIconInformation);
    pump();
    onLabel4Click();
    startInstalledProgram();
    CloseConfirmed_ = true;
    close();
}

InstallOutcome frmSETUP::Install() {
    if (CountChinese(InstallPath_) >= 1) {
        port_.messageBox(Text(SetupText::ChinesePath), msgbox::kOk | msgbox::kIconInformation);
        return InstallOutcome::ChinesePath;
    }
    Installing_ = true;
    failure_ = InstallOutcome::Done;
    port_.enableChoosing(false);
    bool folderOk = StartsWithDriveRoot(InstallPath_);
    std::string running;
    std::size_t index = 0;
    for (std::size_t at = 0; folderOk && at <= InstallPath_.size(); ++index) {
        const std::size_t slash = std::min(InstallPath_.find('\\', at), InstallPath_.size());
        const std::string part = InstallPath_.substr(at, slash - at);
        at = slash + 1;
        if (TrimBlanks(part).empty()) continue;
        running += part + "\\";
        folderOk = CreateEveryFolder(static_cast<int>(index), running);
    }
    if (!folderOk) {
        failInstall(Text(SetupText::DirError), InstallOutcome::BadFolder);
        return InstallOutcome::BadFolder;
    }
    setText2(Text(SetupText::Starting));
    pump();
    const bool copied = CopyFileToPath();
    pump();
    if (CancelRequested_ || closed_) return InstallOutcome::Cancelled;
    if (!copied) return failure_ != InstallOutcome::Done ? failure_ : InstallOutcome::FilesFailed;
    CreatDefaultSetting();
    registered_ = RegisterUninstall();
    if (!registered_) {
        port_.messageBox(
            Text(SetupText::EntryFailed, {UninstallCommand(InstallPath_ + kSetupFileName, false)}),
            msgbox::kOk | msgbox::kIconInformation);
    }
    return InstallOutcome::Done;
}

bool frmSETUP::RegisterUninstall() {
    const std::string setup = InstallPath_ + kSetupFileName;
    // Without the installed setup.exe the entry could remove nothing.
    if (!d_.files.fileExists(setup)) return false;
    std::uint64_t bytes = 0;
    for (const std::string& name : d_.releaseFiles) {
        bytes += d_.files.fileSize(InstallPath_ + name).value_or(0);
    }
    UninstallEntry entry;
    entry.displayVersion = d_.displayVersion;
    entry.installLocation = WithoutTrailingSlash(InstallPath_);
    entry.displayIcon = InstallPath_ + kProgramFileName;
    entry.estimatedSizeKb = static_cast<std::uint32_t>((bytes + 1023) / 1024);
    entry.uninstallString = UninstallCommand(setup, false);
    entry.quietUninstallString = UninstallCommand(setup, true);
    return WriteUninstallEntry(d_.registry, d_.codePage, entry);
}

void frmSETUP::startInstalledProgram() {
    const std::string program = InstallPath_ + kProgramFileName;
    // The tray program must run as the user who is logged on, as it does
    // from the Run value, or the two copies would see different files; and
    // never with this installer's administrator rights.
    if (!openAsUser(program, true, kShowMinimised)) {
        port_.messageBox(Text(SetupText::StartYourself, {program}),
                         msgbox::kOk | msgbox::kIconInformation);
    }
}

bool frmSETUP::CopyFileToPath() {
    const std::string& source = d_.sourceDir;
    // A release that is not whole is found out before anything is stopped.
    for (const std::string& name : d_.releaseFiles) {
        if (!d_.files.fileExists(source + "\\" + name)) {
            failInstall(Text(SetupText::MissingFile, {name}), InstallOutcome::FilesFailed);
            return false;
        }
    }
    if (!KillMainProcess()) return false;
    // Run from the install folder itself, the release is in place already.
    const bool inPlace = ComparablePath(source) == ComparablePath(InstallPath_);
    std::vector<std::string> made;
    for (const std::string& name : d_.releaseFiles) {
        if (CancelRequested_ || closed_) return true;
        // The folders of the release, each once, before the first file in it.
        for (std::size_t slash = name.find('\\'); slash != std::string::npos;
             slash = name.find('\\', slash + 1)) {
            const std::string folder = name.substr(0, slash);
            if (std::find(made.begin(), made.end(), folder) != made.end()) continue;
            made.push_back(folder);
            AddToText(Text(SetupText::CreatingFolder, {folder}));
            pump();
            const std::string target = InstallPath_ + folder;
            if (!d_.files.folderExists(target)) d_.files.createFolder(target);
        }
        AddToText(Text(SetupText::CreatingFile, {name}));
        pump();
        if (inPlace) continue;
        const CopyResult copied = d_.files.copyFile(source + "\\" + name, InstallPath_ + name);
        pump();
        if (CancelRequested_ || closed_) return true;
        if (!copied) {
            failInstall(Text(SetupText::CopyFailed, {name, copied.reason}),
                        InstallOutcome::FilesFailed);
            return false;
        }
    }
    return true;
}

bool frmSETUP::KillMainProcess() {
    pump();
    AddToText(Text(SetupText::WaitTray));
    pump();
    if (CancelRequested_ || closed_) return true;
    // Another user's copy is theirs to end; its files cannot be replaced
    // while it runs.
    if (OtherSessionRunsIn(d_.processes, InstallPath_)) {
        failInstall(Text(SetupText::OtherUserRuns), InstallOutcome::ProgramRunning);
        return false;
    }
    std::uint32_t start = d_.loop.tickCount();
    for (std::int32_t pass = 1;; ++pass) {
        if (!FindProcess(kProgramFileName, false) || CancelRequested_ || closed_) break;
        const std::uint32_t elapsed = d_.loop.tickCount() - start;
        if (elapsed >= limits_.giveUpMs) {
            failInstall(Text(SetupText::TrayStuck), InstallOutcome::ProgramRunning);
            return false;
        }
        for (const WindowId window : TrayWindows()) {
            if (CancelRequested_ || closed_) break;
            d_.messenger.sendWithTimeout(window, kQuitRequestMsg, kQuitRequestParam,
                                         reinterpret_cast<std::intptr_t>(&kQuitRequestZero),
                                         limits_.quitRequestTimeoutMs);
            pump();
        }
        if (pass >= kForcedStopPass || elapsed >= limits_.forcedStopMs) {
            FindProcess(kProgramFileName, true);
        }
        pump();
        d_.loop.waitForMessage(limits_.passWaitMs);
    }
    // Cancelled or closed meanwhile: nothing more is stopped or said.
    if (CancelRequested_ || closed_) return true;
    pump();
    AddToText(Text(SetupText::WaitUpdater));
    pump();
    start = d_.loop.tickCount();
    // Only an updater in the install folder stands in the way.
    for (;;) {
        FindProcess(kUpdaterFileName, true);
        if (SessionCopiesIn(d_.processes, InstallPath_, kUpdaterFileName).empty() ||
            CancelRequested_ || closed_) {
            break;
        }
        pump();
        if (d_.loop.tickCount() - start >= limits_.giveUpMs) {
            failInstall(Text(SetupText::UpdaterStuck), InstallOutcome::ProgramRunning);
            return false;
        }
        d_.loop.waitForMessage(limits_.passWaitMs);
    }
    return true;
}

bool frmSETUP::FindProcess(const std::string& name, bool terminate) {
    const std::string wanted = LowerAscii(name);
    const std::uint32_t session = d_.processes.currentSessionId();
    bool found = false;
    for (const ProcessInfo& process : d_.processes.snapshot()) {
        if (process.sessionId == session && ProcessNameKey(process.exeName) == wanted) {
            found = true;
            if (terminate && RunsFrom(d_.processes, process.id, InstallPath_, name)) {
                d_.processes.terminate(process.id, 1);
            }
        }
        pump();
    }
    return found;
}

std::int32_t frmSETUP::LoadMainHWND() {
    return ParseInt32(TrimBlanks(locatorValue(LocatorField::WindowHandle))).value_or(0);
}

std::vector<WindowId> frmSETUP::TrayWindows() {
    // Another session's windows are out of reach, and no business of ours.
    const std::vector<std::uint32_t> trays = trayProcesses(true);
    // A recorded handle may be stale, and by now another program's window:
    // that program would take message 1025 as one of its own.
    const std::int32_t recorded = LoadMainHWND();
    if (recorded != 0) {
        const auto window = static_cast<WindowId>(static_cast<std::intptr_t>(recorded));
        const auto owner = d_.messenger.windowProcess(window);
        if (owner && std::find(trays.begin(), trays.end(), *owner) != trays.end()) {
            for (const WindowId main : d_.messenger.topLevelWindows(*owner, kMainWindowClass)) {
                if (static_cast<std::int32_t>(main) == recorded) return {window};
            }
        }
    }
    std::vector<WindowId> windows;
    for (const std::uint32_t id : trays) {
        for (const WindowId main : d_.messenger.topLevelWindows(id, kMainWindowClass)) {
            windows.push_back(main);
        }
    }
    return windows;
}

void frmSETUP::CreatDefaultSetting() {
    const std::string ini = InstallPath_ + kSettingFileName;
    if (!HasStartupChoice(d_.profile, ini)) WriteDefaultStartupFlags(d_.profile, ini);
}

void frmSETUP::close() {
    if (closed_) return;
    closed_ = true;
    port_.close();
}

void frmSETUP::onCommand3() {
    const bool installing = Installing_;
    const int answer =
        port_.messageBox(installing ? Text(SetupText::CancelInstall) : Text(SetupText::LeaveWizard),
                         msgbox::kOkCancel | msgbox::kIconInformation);
    if (answer != msgbox::kIdOk) {
        CloseConfirmed_ = false;
        return;
    }
    if (installing) CancelRequested_ = true;
    CloseConfirmed_ = true;
    close();
}

bool frmSETUP::onCloseRequest() {
    if (CloseConfirmed_) return true;
    const bool installing = Installing_;
    const int answer =
        port_.messageBox(installing ? Text(SetupText::CancelInstall) : Text(SetupText::LeaveWizard),
                         msgbox::kOkCancel | msgbox::kIconInformation);
    if (answer != msgbox::kIdOk) return false;
    if (installing) CancelRequested_ = true;
    return true;
}

}  // namespace qm
