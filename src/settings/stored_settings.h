#pragma once
// Every value the programs keep in Setting.ini, Disk.ini and the locator
// files, read and written by what it means. The sections, keys and the
// values that stand for "nothing stored" live here and nowhere else.
#include <string>

#include "platform/profile.h"
#include "platform/types.h"
#include "settings/settings_files.h"

namespace qm {

// --- Setting.ini ----------------------------------------------------------

// The two start-up switches. Read as flags by their leading number; a key
// not there reads as the default of a new installation.
struct StartupFlags {
    bool disableAutoPlay = false;  // DisableAutoPlayService, default 0
    bool autoStartup = true;       // AutoStartup, default 1
};
StartupFlags ReadStartupFlags(Profile& profile, const InstallPaths& paths);
void WriteDisableAutoPlay(Profile& profile, const InstallPaths& paths, bool disable);
void WriteAutoStartup(Profile& profile, const InstallPaths& paths, bool on);
// The switches of a new installation (start with Windows, AutoPlay left
// alone) into the Setting.ini at `settingIni`.
void WriteDefaultStartupFlags(Profile& profile, const std::string& settingIni);
// Whether the Setting.ini at `settingIni` holds a start-up choice already:
// an earlier installation's, which an installer keeps.
bool HasStartupChoice(Profile& profile, const std::string& settingIni);

// The hotkey of "eject all" as Setting.ini writes it ("Ctrl+Alt+E"); empty
// for none.
std::string ReadHotkeyEjectAll(Profile& profile, const InstallPaths& paths);

// The language the user chose (Language: "zh-CN", "en"), blanks trimmed;
// empty when none is stored, and the program goes by the system's.
std::string ReadLanguageTag(Profile& profile, const InstallPaths& paths);

// Whether a refused safe eject opens the window listing who holds the
// drive (ShowBlockers, default 1); read at each refusal.
bool ReadShowBlockers(Profile& profile, const InstallPaths& paths);

// The main window's handle, for the installer.
void SaveWindowHandle(Profile& profile, const InstallPaths& paths, WindowId window);

// Where the update descriptor is looked for unless Setting.ini names another
// server (key "UpdateServer" of section "Setting"): a base address such as
// "http://127.0.0.1:8080".
inline constexpr char kDefaultUpdateServer[] = "http://update.quillmoor.example.org";
// The configured base, blanks trimmed; the default when none (or a blank) is.
std::string ReadUpdateServer(Profile& profile, const InstallPaths& paths);

// --- Disk.ini: each volume's immunisation policy, by its serial text -------

// As the tray program acts on it: decided for good (no question), and
// whether to immunise then. Nothing stored: neither.
struct VolumePolicy {
    bool remembered = false;  // Remember
    bool immunise = false;    // MakeDir
};
VolumePolicy ReadVolumePolicy(Profile& profile, const std::string& diskIni,
                              const std::string& serial);

// As the settings window shows it: both values as stored, blanks and all,
// so that an undecided or damaged value can be shown as such. Remember reads
// "0" and MakeDir kMakeDirNotStored when nothing is stored.
struct StoredPolicy {
    std::string remember;
    std::string makeDir;
};
inline constexpr char kMakeDirNotStored[] = "-1";
StoredPolicy ReadStoredPolicy(Profile& profile, const std::string& diskIni,
                              const std::string& serial);

enum class PolicyKey { Remember, MakeDir };
void WritePolicy(Profile& profile, const std::string& diskIni, const std::string& serial,
                 PolicyKey key, int value);
// The answer to the question about a volume: the drive it was asked for,
// whether to remember it, whether to immunise.
void WritePolicyAnswer(Profile& profile, const std::string& diskIni, const std::string& serial,
                       const std::string& driveKey, bool remember, bool immunise);

// --- The locator -----------------------------------------------------------

enum class LocatorField { InstallDir, WindowHandle };
// One value of the locator file at `path`; empty when it has none.
std::string ReadLocator(Profile& profile, const std::string& path, LocatorField field);
// Writes the install folder (with its trailing backslash) and the handle.
void WriteLocator(Profile& profile, const std::string& path, const InstallPaths& paths,
                  const std::string& handle);

}  // namespace qm
