#pragma once
// Every text the installer shows, by name: its window, progress lines and
// message boxes. The words are in the language files (languages/*.cpp);
// parts filled in at run time are marked {1}, {2}...
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

enum class SetupText : std::uint16_t {
    Caption,
    Label1,
    Label2,
    Label3,
    Text1Design,
    ChangeFolder,
    HomePageLink,     // {1} the home page
    Text2Design,
    Cancel,
    Start,
    BrowseTitle,
    ConfirmStart,
    ChinesePath,
    DirError,
    Starting,
    Complete,
    Thanks,
    CreatingFolder,   // {1} the folder
    CreatingFile,     // {1} the file
    WaitTray,
    WaitUpdater,
    CancelInstall,
    LeaveWizard,
    UpdaterStuck,
    TrayStuck,
    OtherUserRuns,
    MissingFile,      // {1} the file
    CopyFailed,       // {1} the file, {2} the system's reason
    StartYourself,    // {1} the installed program
    // The silent installation, printed where it was started from.
    SilentUnknownArgument,  // {1} the argument
    SilentNoFolder,
    SilentUsage,
    SilentInstalledInto,    // {1} the install folder
    EntryFailed,            // {1} the command that removes the installation
    // Removing an installation: setup.exe /uninstall, its question, its
    // progress and what it says at the end.
    UninstallCaption,
    UninstallQuestion,      // {1} the install folder
    UninstallDrivesNote,
    UninstallAutoPlayNote,
    UninstallPurge,
    UninstallButton,
    UninstallRemoving,      // {1} what is being removed
    UninstallDone,          // {1} the install folder
    UninstallKeptSettings,  // {1} the install folder
    UninstallFolderKept,    // {1} the install folder
    UninstallAutoPlayHowTo,
    UninstallIncomplete,
    UninstallRemainItem,    // {1} what stays, {2} why
    UninstallAtRestart,
    UninstallCannotRemove,
    UninstallKeptForRetry,
    UninstallRunValueItem,
    UninstallEntryItem,
    UninstallNothingHere,   // {1} the folder
    UninstallTrayStuck,
    UninstallUpdaterStuck,
    UninstallOtherUserRuns,
    PurgeNeedsUninstall,
    UninstallTakesNoFolder,
    Count
};

std::string Text(SetupText id);
std::string Text(SetupText id, std::initializer_list<std::string_view> parts);

}  // namespace qm
