#pragma once
// What the programs keep in the system's own records: the user's Run value
// that starts the tray program with Windows, and Quillmoor's entry in the
// list of installed programs, which setup.exe writes and removes.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/registry.h"

namespace qm {

// --- Start with Windows: HKCU ...\Run, value "Quillmoor" -------------------

inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Quillmoor";

// The Run value for the program: its path in quotes, so that a folder with
// blanks can never start another program.
std::string RunValueFor(const std::string& programPath);
// Whether the Run value starts that program: quoted or not (older copies
// wrote it without quotes), letter case aside.
bool RunValueNames(const std::string& value, const std::string& programPath);
// The current user's Run value; empty when there is none.
std::optional<std::string> ReadRunValue(Registry& registry, CodePage& codePage);
// True when the value is gone afterwards (or was never there).
bool DeleteRunValue(Registry& registry, CodePage& codePage);

// --- The list of installed programs ------------------------------------------

// HKLM, in the 32-bit programs' view whatever the installer's width: where
// the system lists a 32-bit program.
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmoor";

struct UninstallEntry {
    std::string displayVersion;   // "1.0.1"
    std::string installLocation;  // the folder, without a trailing "\"
    std::string displayIcon;      // the program file, with the icon's index
    std::uint32_t estimatedSizeKb = 0;
    std::string uninstallString;  // the command lines that remove it
    std::string quietUninstallString;
};

// Writes the whole entry (name and publisher "Quillmoor", no "change" or
// "repair"); false when any value could not be written, and then no half
// entry is left.
bool WriteUninstallEntry(Registry& registry, CodePage& codePage, const UninstallEntry& entry);
// The install folder the entry names: empty when there is no entry, an
// empty text for an entry that names none.
std::optional<std::string> ReadUninstallLocation(Registry& registry, CodePage& codePage);
bool UninstallEntryExists(Registry& registry);
// True when the entry is gone afterwards (or was never there).
bool DeleteUninstallEntry(Registry& registry);

}  // namespace qm
