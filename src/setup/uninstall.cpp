#include "setup/uninstall.h"

#include <algorithm>

#include "common/text_rules.h"
#include "platform/path_rules.h"
#include "settings/settings_files.h"
#include "settings/stored_settings.h"
#include "settings/system_entries.h"
#include "setup/running_copies.h"
#include "texts/setup_texts.h"

namespace qm {
namespace {

constexpr std::uint32_t kTerminatedCode = 1;
// Names tried in the temporary folder for the running setup.exe.
constexpr int kParkingNames = 8;

bool samePath(const std::string& a, const std::string& b) {
    return ComparablePath(a) == ComparablePath(b);
}

bool isDriveRoot(const std::string& folder) {
    const std::string path = ComparablePath(folder);
    return path.size() <= 3 && path.size() >= 2 && path[1] == ':';
}

// The folder with a separator at its end and otherwise as given: taking
// separators off could name another folder (the start of a network path).
std::string shownFolder(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    return folder;
}

// The release's folders, deepest first, so that each is empty before its parent.
std::vector<std::string> releaseFolders(const std::vector<std::string>& files) {
    std::vector<std::string> folders;
    for (const std::string& name : files) {
        for (std::size_t slash = name.find('\\'); slash != std::string::npos;
             slash = name.find('\\', slash + 1)) {
            const std::string folder = name.substr(0, slash);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                folders.push_back(folder);
            }
        }
    }
    std::stable_sort(
        folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
            return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
        });
    return folders;
}

}  // namespace

int UninstallExitCode(UninstallOutcome outcome) {
    switch (outcome) {
        case UninstallOutcome::Done:
            return kUninstallDone;
        case UninstallOutcome::NothingHere:
            return kUninstallNothingHere;
        case UninstallOutcome::ProgramRunning:
            return kUninstallProgramRunning;
        case UninstallOutcome::Cancelled:
            return kUninstallCancelled;
        case UninstallOutcome::SomeRemain:
            break;
    }
    return kUninstallSomeRemain;
}

std::string UninstallSummary(const UninstallResult& result, const std::string& folder) {
    std::vector<std::string> paragraphs;
    switch (result.outcome) {
        case UninstallOutcome::NothingHere:
        case UninstallOutcome::ProgramRunning:
            return result.problem;
        case UninstallOutcome::Cancelled:
            return {};
        case UninstallOutcome::Done:
            paragraphs.push_back(Text(SetupText::UninstallDone, {folder}));
            if (result.settingsKept) {
                paragraphs.push_back(Text(SetupText::UninstallKeptSettings, {folder}));
            }
            if (result.otherFilesKept) {
                paragraphs.push_back(Text(SetupText::UninstallFolderKept, {folder}));
            }
            break;
        case UninstallOutcome::SomeRemain: {
            std::string list = Text(SetupText::UninstallIncomplete);
            for (const std::string& line : result.remaining) list += "\r\n" + line;
            paragraphs.push_back(list);
            break;
        }
    }
    if (result.autoPlayWasOff) paragraphs.push_back(Text(SetupText::UninstallAutoPlayHowTo));
    std::string text;
    for (const std::string& paragraph : paragraphs) {
        text += (text.empty() ? "" : "\r\n\r\n") + paragraph;
    }
    return text;
}

Uninstaller::Uninstaller(SetupDeps deps, StopLimits limits)
    : d_(std::move(deps)),
      limits_(limits),
      dir_(shownFolder(d_.sourceDir)),
      folder_(isDriveRoot(dir_) ? dir_ : dir_.substr(0, dir_.size() - 1)) {}

bool Uninstaller::HasInstallation() {
    const auto listed = ReadUninstallLocation(d_.registry, d_.codePage);
    if (listed && !TrimBlanks(*listed).empty() && samePath(*listed, dir_)) return true;
    return d_.files.fileExists(InstallPaths(dir_).settingIni());
}

bool Uninstaller::AutoPlayWasOff() {
    const InstallPaths paths(dir_);
    return d_.files.fileExists(paths.settingIni()) &&
           ReadStartupFlags(d_.profile, paths).disableAutoPlay;
}

void Uninstaller::say(const std::string& line) {
    if (progress_) progress_(line);
    pump();
}

void Uninstaller::remain(UninstallResult& result, const std::string& what, const std::string& why) {
    result.remaining.push_back(Text(SetupText::UninstallRemainItem, {what, why}));
}

UninstallResult Uninstaller::Run(bool purge,
                                 const std::function<void(const std::string&)>& progress) {
    progress_ = progress;
    UninstallResult result;
    // Read before Setting.ini may go.
    result.autoPlayWasOff = AutoPlayWasOff();
    if (!stopPrograms(result)) {
        result.outcome = UninstallOutcome::ProgramRunning;
        return result;
    }

    // The release; the running setup.exe cannot be deleted and goes last.
    const std::string self = dir_ + d_.ownFile;
    bool selfListed = false;
    bool releaseGone = true;
    for (const std::string& name : d_.releaseFiles) {
        if (samePath(dir_ + name, self)) {
            selfListed = true;
            continue;
        }
        if (!d_.files.fileExists(dir_ + name)) continue;
        eraseFile(name, result);
        releaseGone = releaseGone && !d_.files.fileExists(dir_ + name);
    }
    for (const char* name : {kSettingFileName, kDiskFileName, kLogFileName}) {
        if (!d_.files.fileExists(dir_ + name)) continue;
        if (purge) {
            eraseFile(name, result);
        } else {
            result.settingsKept = true;
        }
    }
    removeLocator(result);
    removeRunValue(result);

    // While any of the release stays, so do setup.exe and the entry that
    // starts it: the removal can be tried again from the list.
    bool selfAtRestart = false;
    const auto listed = ReadUninstallLocation(d_.registry, d_.codePage);
    const bool entryIsOurs = listed && !TrimBlanks(*listed).empty() && samePath(*listed, dir_);
    if (!releaseGone) {
        if (selfListed && d_.files.fileExists(self)) {
            remain(result, d_.ownFile, Text(SetupText::UninstallKeptForRetry));
        }
        if (entryIsOurs) {
            remain(result, Text(SetupText::UninstallEntryItem),
                   Text(SetupText::UninstallKeptForRetry));
        }
    } else {
        // Gone, or going at the restart: the entry would start nothing.
        const bool selfGone = !selfListed || removeSelf(result, selfAtRestart);
        if (selfGone && entryIsOurs) {
            say(Text(SetupText::UninstallRemoving, {Text(SetupText::UninstallEntryItem)}));
            if (!DeleteUninstallEntry(d_.registry)) {
                remain(result, Text(SetupText::UninstallEntryItem),
                       Text(SetupText::UninstallCannotRemove));
            }
        }
    }
    removeFolders(result, selfAtRestart);
    result.outcome =
        result.remaining.empty() ? UninstallOutcome::Done : UninstallOutcome::SomeRemain;
    return result;
}

bool Uninstaller::stopPrograms(UninstallResult& result) {
    // Another user's copy is theirs to end; its files cannot go while it runs.
    if (OtherSessionRunsIn(d_.processes, dir_)) {
        result.problem = Text(SetupText::UninstallOtherUserRuns);
        return false;
    }
    bool said = false;
    std::uint32_t start = d_.loop.tickCount();
    for (;;) {
        const std::vector<std::uint32_t> trays =
            SessionCopiesIn(d_.processes, dir_, kProgramFileName);
        if (trays.empty()) break;
        if (!said) {
            say(Text(SetupText::WaitTray));
            said = true;
        }
        const std::uint32_t elapsed = d_.loop.tickCount() - start;
        if (elapsed >= limits_.giveUpMs) {
            result.problem = Text(SetupText::UninstallTrayStuck);
            return false;
        }
        for (const std::uint32_t id : trays) {
            AskTrayToQuit(d_.messenger, id, limits_.quitRequestTimeoutMs);
            pump();
            if (elapsed >= limits_.forcedStopMs) d_.processes.terminate(id, kTerminatedCode);
        }
        pump();
        d_.loop.waitForMessage(limits_.passWaitMs);
    }
    // An updater of this folder is ended at once, as the installer does.
    said = false;
    start = d_.loop.tickCount();
    for (;;) {
        const std::vector<std::uint32_t> updaters =
            SessionCopiesIn(d_.processes, dir_, kUpdaterFileName);
        if (updaters.empty()) break;
        if (!said) {
            say(Text(SetupText::WaitUpdater));
            said = true;
        }
        if (d_.loop.tickCount() - start >= limits_.giveUpMs) {
            result.problem = Text(SetupText::UninstallUpdaterStuck);
            return false;
        }
        for (const std::uint32_t id : updaters) d_.processes.terminate(id, kTerminatedCode);
        pump();
        d_.loop.waitForMessage(limits_.passWaitMs);
    }
    return true;
}

void Uninstaller::eraseFile(const std::string& name, UninstallResult& result) {
    say(Text(SetupText::UninstallRemoving, {name}));
    const FileOutcome erased = d_.files.eraseFile(dir_ + name);
    if (!erased) remain(result, name, erased.reason);
}

void Uninstaller::removeLocator(UninstallResult& result) {
    if (!d_.files.fileExists(kSystemLocatorPath)) return;
    // Another installation's locator is that one's.
    const std::string named = ReadLocator(d_.profile, kSystemLocatorPath, LocatorField::InstallDir);
    if (TrimBlanks(named).empty() || !samePath(named, dir_)) return;
    say(Text(SetupText::UninstallRemoving, {kSystemLocatorPath}));
    const FileOutcome erased = d_.files.eraseFile(kSystemLocatorPath);
    if (!erased) remain(result, kSystemLocatorPath, erased.reason);
}

void Uninstaller::removeRunValue(UninstallResult& result) {
    const auto value = ReadRunValue(d_.registry, d_.codePage);
    if (!value || !RunValueNames(*value, dir_ + kProgramFileName)) return;
    say(Text(SetupText::UninstallRemoving, {Text(SetupText::UninstallRunValueItem)}));
    if (!DeleteRunValue(d_.registry, d_.codePage)) {
        remain(result, Text(SetupText::UninstallRunValueItem),
               Text(SetupText::UninstallCannotRemove));
    }
}

bool Uninstaller::removeSelf(UninstallResult& result, bool& atRestart) {
    const std::string self = dir_ + d_.ownFile;
    if (!d_.files.fileExists(self)) return true;
    say(Text(SetupText::UninstallRemoving, {d_.ownFile}));
    // A running program's file cannot be deleted, but it can move within
    // its drive: into the temporary folder, which the system empties, and
    // deleted from there at the next start. The folder is then free at once.
    std::string why = Text(SetupText::UninstallCannotRemove);
    const std::string temp = d_.files.tempFolder();
    if (!temp.empty()) {
        const std::string stamp = std::to_string(d_.loop.tickCount());
        for (int i = 0; i < kParkingNames; ++i) {
            const std::string parked =
                temp + "\\Quillmoor-setup-" + stamp + "-" + std::to_string(i) + ".tmp";
            if (d_.files.fileExists(parked)) continue;
            const FileOutcome moved = d_.files.moveFile(self, parked);
            if (moved) {
                d_.files.deleteAtRestart(parked);
                return true;
            }
            why = moved.reason;
            break;
        }
    }
    // On another drive than the temporary folder: the system deletes it
    // when it next starts, and the folder after it.
    if (d_.files.deleteAtRestart(self)) {
        atRestart = true;
        remain(result, d_.ownFile, Text(SetupText::UninstallAtRestart));
        return true;
    }
    remain(result, d_.ownFile, why);
    return false;
}

void Uninstaller::removeFolders(UninstallResult& result, bool selfAtRestart) {
    for (const std::string& folder : releaseFolders(d_.releaseFiles)) {
        const std::string path = dir_ + folder;
        if (d_.files.folderExists(path) && d_.files.listFiles(path).empty() &&
            d_.files.listSubfolders(path).empty()) {
            const FileOutcome erased = d_.files.eraseEmptyFolder(path);
            if (!erased) remain(result, folder, erased.reason);
        }
    }
    if (!d_.files.folderExists(folder_) || isDriveRoot(dir_)) return;
    // What keeps the folder: the settings and the log (kept as asked, or
    // listed already), setup.exe until the restart, files that are not ours.
    std::vector<std::string> others = d_.files.listSubfolders(folder_);
    bool settingsLeft = false;
    bool selfWaits = false;
    for (const std::string& name : d_.files.listFiles(folder_)) {
        if (samePath(name, kSettingFileName) || samePath(name, kDiskFileName) ||
            samePath(name, kLogFileName)) {
            settingsLeft = true;
        } else if (selfAtRestart && samePath(name, d_.ownFile)) {
            selfWaits = true;
        } else {
            others.push_back(name);
        }
    }
    if (!others.empty()) {
        result.otherFilesKept = true;
    } else if (settingsLeft) {
        // Nothing to say: the folder holds what the user keeps.
    } else if (selfWaits) {
        // setup.exe goes at the restart, and the folder right after it.
        remain(result, dir_,
               Text(d_.files.deleteAtRestart(folder_) ? SetupText::UninstallAtRestart
                                                      : SetupText::UninstallCannotRemove));
    } else {
        say(Text(SetupText::UninstallRemoving, {dir_}));
        const FileOutcome erased = d_.files.eraseEmptyFolder(folder_);
        if (!erased) remain(result, dir_, erased.reason);
    }
}

int RunSilentUninstall(SetupDeps deps, bool purge, ConsoleOutput& out) {
    Uninstaller uninstaller(std::move(deps));
    if (!uninstaller.HasInstallation()) {
        PrintLine(out, Text(SetupText::UninstallNothingHere, {uninstaller.installDir()}),
                  ConsoleOutput::Stream::Err);
        return kUninstallNothingHere;
    }
    const UninstallResult result = uninstaller.Run(purge);
    PrintLine(out, UninstallSummary(result, uninstaller.installDir()),
              result.outcome == UninstallOutcome::Done ? ConsoleOutput::Stream::Out
                                                       : ConsoleOutput::Stream::Err);
    return UninstallExitCode(result.outcome);
}

}  // namespace qm
