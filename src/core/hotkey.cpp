#include "core/hotkey.h"

#include <array>
#include <vector>

#include "texts/tray_texts.h"
#include "common/text_rules.h"

namespace qm {
namespace {

struct NamedKey {
    const char* name;
    std::uint32_t key;
    bool alone;  // may go without Ctrl, Alt or Win
};

// Keys by their lower-case names, beyond letters, digits and F-keys.
constexpr std::array<NamedKey, 18> kNamedKeys{{
    {"space", 0x20, false},
    {"insert", 0x2D, false},
    {"ins", 0x2D, false},
    {"delete", 0x2E, false},
    {"del", 0x2E, false},
    {"home", 0x24, false},
    {"end", 0x23, false},
    {"pageup", 0x21, false},
    {"pgup", 0x21, false},
    {"pagedown", 0x22, false},
    {"pgdn", 0x22, false},
    {"up", 0x26, false},
    {"down", 0x28, false},
    {"left", 0x25, false},
    {"right", 0x27, false},
    {"pause", 0x13, true},
    {"break", 0x13, true},
    {"scrolllock", 0x91, true},
}};

constexpr std::uint32_t kVkF1 = 0x70;
constexpr std::uint32_t kVkNumpad0 = 0x60;

std::optional<std::uint32_t> modifierOf(const std::string& part) {
    if (part == "ctrl" || part == "control") return kModControl;
    if (part == "alt") return kModAlt;
    if (part == "shift") return kModShift;
    if (part == "win" || part == "windows") return kModWin;
    return std::nullopt;
}

// The key's code, and whether it may go alone.
std::optional<std::pair<std::uint32_t, bool>> keyOf(const std::string& part) {
    if (part.size() == 1) {
        const char c = part[0];
        if (c >= 'a' && c <= 'z')
            return std::make_pair(static_cast<std::uint32_t>(c - 'a' + 'A'), false);
        if (c >= '0' && c <= '9') return std::make_pair(static_cast<std::uint32_t>(c), false);
        return std::nullopt;
    }
    if (part[0] == 'f') {
        const auto n = ParseInt32(std::string_view(part).substr(1));
        if (n && *n >= 1 && *n <= 24 && part[1] != '+' && part[1] != '-' && part[1] != '0') {
            return std::make_pair(kVkF1 + static_cast<std::uint32_t>(*n - 1), true);
        }
        return std::nullopt;
    }
    if (part.size() == 4 && part.compare(0, 3, "num") == 0 && part[3] >= '0' && part[3] <= '9') {
        return std::make_pair(kVkNumpad0 + static_cast<std::uint32_t>(part[3] - '0'), false);
    }
    for (const NamedKey& named : kNamedKeys) {
        if (part == named.name) return std::make_pair(named.key, named.alone);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Hotkey> ParseHotkey(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t plus = text.find('+', at);
        parts.push_back(LowerAscii(TrimBlanks(
            text.substr(at, plus == std::string_view::npos ? std::string_view::npos : plus - at))));
        if (plus == std::string_view::npos) break;
        at = plus + 1;
    }
    Hotkey hotkey;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto modifier = modifierOf(parts[i]);
        // Each modifier once: "Ctrl+Ctrl+E" is a slip, not a wish.
        if (!modifier || (hotkey.modifiers & *modifier) != 0) return std::nullopt;
        hotkey.modifiers |= *modifier;
    }
    if (parts.back().empty()) return std::nullopt;
    const auto key = keyOf(parts.back());
    if (!key) return std::nullopt;
    hotkey.key = key->first;
    // Shift alone still types: Shift+E is a capital E to every other program.
    if (!key->second && (hotkey.modifiers & (kModControl | kModAlt | kModWin)) == 0) {
        return std::nullopt;
    }
    return hotkey;
}

std::optional<std::string> RegisterHotkeySetting(Shell& shell, WindowId window, int id,
                                                 const std::string& setting) {
    const std::string given = TrimBlanks(setting);
    if (given.empty()) return std::nullopt;
    const auto hotkey = ParseHotkey(given);
    if (!hotkey) return Text(TrayText::HotkeyMalformed, {given});
    if (!shell.registerHotkey(window, id, hotkey->modifiers | kModNoRepeat, hotkey->key)) {
        return Text(TrayText::HotkeyTaken, {given});
    }
    return std::nullopt;
}

}  // namespace qm
