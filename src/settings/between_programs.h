#pragma once
// What the tray program and the installer agree on: the names of their
// files, how the installer finds a running tray program (the locator file
// and the main window's class) and the message it sends it to quit.
#include <cstdint>

namespace qm {

inline constexpr char kProgramFileName[] = "Quillmoor.exe";
// The updater the tray program hands a newer version to; the installer
// stops it before it copies.
inline constexpr char kUpdaterFileName[] = "Quillmoor_Freshwell.exe";
inline constexpr char kUpdaterArgument[] = "-needupdate";
inline constexpr char kSettingFileName[] = "Setting.ini";
inline constexpr char kDiskFileName[] = "Disk.ini";
inline constexpr char kLogFileName[] = "log.txt";

// The locator: the install folder and the main window's handle, in the
// system folder and in each immunised drive's autorun.inf folder. The
// system path is fixed, not looked up, so both programs agree on it
// whatever the system folder is.
inline constexpr char kLocatorFileName[] = "Quillmoor.ini";
inline constexpr char kSystemLocatorPath[] = "c:\\windows\\system32\\Quillmoor.ini";

// The window class of the tray program's hidden main window, by which the
// installer knows it among the windows of a running Quillmoor.exe.
inline constexpr char kMainWindowClass[] = "QuillmoorMainWindow";
inline constexpr wchar_t kMainWindowClassW[] = L"QuillmoorMainWindow";

// The installer's request to end the tray program (WM_USER + 1).
inline constexpr std::uint32_t kQuitRequestMsg = 1025;
inline constexpr std::uintptr_t kQuitRequestParam = 1001;

// The command line tells a running tray program of each drive it ejects
// (WM_USER + 2, sent; wParam the drive letter, lParam the step), so that
// the removal is not announced as a drive pulled out.
inline constexpr std::uint32_t kDriveEjectedByCommandMsg = 1026;
enum class CommandEjectStep : std::intptr_t { Leaving = 0, Removed = 1, Stayed = 2 };

}  // namespace qm
