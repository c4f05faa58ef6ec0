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

// The installer's request to end the tray program (WM_USER + 1).
inline constexpr std::uint32_t kQuitRequestMsg = 1025;
inline constexpr std::uintptr_t kQuitRequestParam = 1001;

}  // namespace qm
