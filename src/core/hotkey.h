#pragma once
// The system-wide hotkey of "eject all", as Setting.ini writes it
// ("Ctrl+Alt+E"), and its registration on the main window.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell.h"
#include "platform/types.h"

namespace qm {

// Modifier bits as RegisterHotKey takes them.
inline constexpr std::uint32_t kModAlt = 0x1;
inline constexpr std::uint32_t kModControl = 0x2;
inline constexpr std::uint32_t kModShift = 0x4;
inline constexpr std::uint32_t kModWin = 0x8;
// Held down, the key does not repeat the command.
inline constexpr std::uint32_t kModNoRepeat = 0x4000;

inline constexpr std::uint32_t kWmHotkey = 0x0312;
inline constexpr int kEjectAllHotkeyId = 1;

struct Hotkey {
    std::uint32_t modifiers = 0;  // kMod... bits
    std::uint32_t key = 0;        // virtual-key code
    friend bool operator==(const Hotkey&, const Hotkey&) = default;
};

// Modifiers Ctrl (Control), Alt, Shift and Win joined by "+" to one key:
// A-Z, 0-9, F1-F24, Space, Insert, Delete, Home, End, PageUp, PageDown, Up,
// Down, Left, Right, Pause or Num0-Num9; either case, blanks around the
// parts. A key that types something, or moves the caret, needs Ctrl, Alt
// or Win with it: the system would take it from every other program. Empty
// for anything else.
std::optional<Hotkey> ParseHotkey(std::string_view text);

// Registers the hotkey `setting` names on the window, without repeats.
// Nothing to do for an empty setting. Otherwise the text that tells why it
// is not in use (malformed, or held by another program); empty when it is.
std::optional<std::string> RegisterHotkeySetting(Shell& shell, WindowId window, int id,
                                                 const std::string& setting);

}  // namespace qm
