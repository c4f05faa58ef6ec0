#pragma once
// Every text the tray program shows or writes to its log, by name: notices,
// the tray tip and menu, window captions and labels, message boxes, log
// lines, and the downloader's status words. The words are in the language
// files (languages/*.cpp); parts filled in at run time are marked {1},
// {2}... in them, so that a language may put them where its sentence needs
// them.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm {

enum class TrayText : std::uint16_t {
    // The product and the tray icon.
    AppTitle,             // the product's name, first word of every notice title
    TrayTipSecondLine,
    // Start-up and shutdown, in the log.
    LogTrayBuilt,
    LogStarted,
    LogVersion,           // {1} version text
    LogQuit,
    LogDuplicate,
    LogInstallerQuit,
    LogFullScreen,
    LogChinesePath,
    NoticeChinesePath,
    // Drives coming and going ({1} the drive's caption).
    DriveArrived,
    DriveNoMedium,
    DriveRemoved,
    AskImmunise,
    BusUnknown,           // the bus word of a drive whose descriptor is unreadable
    // The tray menu.
    MenuDrivePopup,
    MenuOptions,
    MenuNoDrive,
    MenuReload,
    MenuAutoPlay,
    MenuSettings,
    MenuViewLog,
    MenuCheckUpdate,
    MenuAutoStart,
    MenuQuit,
    MenuBrowse,
    MenuOpenCdTray,
    MenuCloseCdTray,
    MenuSafeEject,
    MenuImmunise,
    MenuForceEject,
    // About and the home page.
    About,                // {1} notice title, {2} home page, {3} install folder
    NoticeHomePage,       // {1} home page
    // The AutoPlay service and start-with-Windows.
    LogAutoPlayOff,
    LogAutoPlayOn,
    LogAutoPlayOffFailed,
    LogAutoPlayOnFailed,
    SuffixNeedsAdministrator,
    SuffixConsentRefused,
    LogAutoStartOn,
    LogAutoStartOff,
    NoticeAutoPlayOff,
    NoticeAutoPlayOn,
    // Ejecting ({1} the display name, "KINGSTON(G:)").
    Ejected,
    SafeEjectFailed,
    ForceEjectFailed,
    ForceEjectQuestion,
    LogEjectBlocked,      // {2} why, as the system names it
    NoticeBlockers,       // {1} the programs
    BlockersMore,
    LogBlockersHeld,      // {2} the programs
    // Autorun.inf files and immunisation.
    AutorunCleared,       // {1} the drive's caption
    AutorunNotCleared,    // {1} the drive's caption
    DriveNotReady,        // {1} the drive letter
    NoticeImmunised,      // {1} the root
    LogImmunised,
    NoticeImmuniseFailed,
    LogImmuniseFailed,
    NoticeImmunityRemoved,
    LogImmunityRemoved,
    NoticeRemoveImmunityFailed,
    LogRemoveImmunityFailed,
    // Eject all and its hotkey.
    MenuEjectAll,
    EjectedCount,         // {1} how many
    NotEjected,           // {1} the captions of those that stayed
    ListJoin,
    NothingToEject,
    HotkeyMalformed,      // {1} the setting as written
    HotkeyTaken,          // {1} the hotkey
    // The command line.
    CliUsage,
    CliUnknownCommand,    // {1} the argument
    CliBadDrive,          // {1} the argument
    CliExtraArgument,     // {1} the argument
    CliMissingDrive,      // {1} the command
    CliNoSuchDrive,       // {1} the drive name ("G:")
    CliNotEjectable,      // {1} the drive name
    CliNotCdDrive,        // {1} the drive name
    CliNotImmunisable,    // {1} the drive name
    CliNoAnswer,          // {1} the drive name
    CliNoHolders,         // {1} the drive name
    CliAlreadyImmunised,  // {1} the root
    CliNotImmunised,      // {1} the root
    CliHoldersHeader,
    CliNoDevice,
    CliVetoed,            // {1} why, as the system names it
    CliDoorOpened,        // {1} the drive name
    CliDoorClosed,        // {1} the drive name
    CliDoorFailed,        // {1} the MCI error, {2} the drive name
    KindUnknown,
    KindRemovable,
    KindFixed,
    KindNetwork,
    KindCdRom,
    KindRamDisk,
    CliNoMedium,
    CliNotAnswering,
    CliImmunised,
    CliNotImmunisedWord,
    // The notification popup.
    AlertCaption,
    AlertRemember,
    AlertApply,
    AlertCancel,
    // The settings window and its rows.
    SettingsCaption,
    SettingsRefresh,
    SettingsClose,
    SettingsCreateImmunity,
    SettingsDeleteImmunity,
    RowAsk,
    RowAlways,
    RowNever,
    RowImmunised,
    RowNotImmunised,
    // The window listing who holds a drive.
    BlockersCaption,      // {1} the drive letter
    BlockersHeading,      // {1} the drive letter
    BlockersSwitchTo,
    BlockersCloseProgram,
    BlockersEndProcess,
    BlockersRetry,
    BlockersForceEject,
    BlockersCancel,
    BlockerFolderWindow,  // {1} the program, {2} its id
    BlockerWindowLine,    // {1} the window's title
    BlockerNoWindow,
    BlockerFiles,         // {1} the files
    BlockerFilesMore,     // {1} the first files, {2} how many in all
    BlockerFolder,        // {1} the folder
    BlockerFilesUnknown,
    BlockerNoteFolderWindow,
    BlockerNoteSelf,
    BlockerNoteShell,
    BlockerNoteSystem,
    BlockerNoteIndexer,
    BlockerNoteAntivirus,
    BlockerNoteOtherUser,
    BlockerNoteHidden,
    BlockersFollowing,
    BlockersEmpty,
    BlockersEjecting,
    BlockersEjectFailed,
    BlockersBusy,
    BlockersCloseAsked,
    BlockerConfirmEnd,    // {1} the program and its id
    LogBlockerSwitchTo,   // {1} whom, {2} how it went
    LogBlockerCloseProgram,  // {1} whom, {2} how it went
    LogBlockerCloseFolderWindow,  // {1} the folder, {2} how it went
    LogBlockerEndProcess, // {1} whom, {2} how it went
    LogBlockerRetry,      // {1} the display name, {2} how it went
    LogBlockerAutoRetry,  // {1} the display name, {2} how it went
    LogBlockerForceEject, // {1} the display name, {2} how it went
    OutcomeDone,
    OutcomeFailed,
    OutcomeProcessGone,
    OutcomeWindowGone,
    OutcomeNoWindow,
    OutcomeCancelled,
    OutcomeCloseAsked,
    OutcomeBusy,
    OutcomeDriveGone,
    // The update check.
    NoticeNoUpdateServer,
    LogNoUpdateServer,
    NoticeNewVersion,     // {1} the new version
    LogNewVersion,        // {1} the new version
    NoticeUpToDate,
    LogUpToDate,
    // The downloader's rates and times left (its status and error words are
    // in download_texts.h).
    RateBytes,            // {1} bytes a second
    RateKilobytes,        // {1} kilobytes a second
    TimeSeconds,          // {1}
    TimeMinutesSeconds,   // {1} minutes, {2} seconds
    TimeHoursMinutes,     // {1} hours, {2} minutes
    Count
};

// The text in the program's language (CurrentLanguage).
std::string Text(TrayText id);
// The text with its marks {1}, {2}... filled in, in order.
std::string Text(TrayText id, std::initializer_list<std::string_view> parts);

}  // namespace qm
