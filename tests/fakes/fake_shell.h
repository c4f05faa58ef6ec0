#pragma once
// Tray icons as the shell keeps them, keyed by window and id, plus a record
// of every call.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/shell.h"

namespace qm {


// A 32-bit little-endian field of the record.
std::uint32_t recordField(const NotifyIconRecord& record, std::size_t offset);
// A NUL-terminated text field of `length` bytes.
std::string recordText(const NotifyIconRecord& record, std::size_t offset, std::size_t length);

class FakeShell : public Shell {
  public:
    bool notifyIcon(std::uint32_t message, const NotifyIconRecord& record) override;
    void setForegroundWindow(WindowId window) override;
    std::uint32_t registerWindowMessage(const std::string& name) override;
    bool shellOpen(const std::string& target, int showState) override;
    int messageBox(const std::string& text, const std::string& title,
                   std::uint32_t style) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override {
        inputs.push_back(title + "|" + prompt + "|" + initial);
        return inputAnswer;
    }
    bool registerHotkey(WindowId window, int id, std::uint32_t modifiers,
                        std::uint32_t key) override {
        // The repeat flag is no part of the combination.
        const auto combination = std::make_pair(modifiers & ~kModNoRepeat, key);
        if (takenHotkeys.count(combination) != 0) return false;
        for (const auto& [_, held] : hotkeys) {
            const auto heldCombination = std::make_pair(held.modifiers & ~kModNoRepeat, held.key);
            if (heldCombination == combination) return false;
        }
        hotkeys[{window, id}] = Hotkey{modifiers, key};
        return true;
    }
    void unregisterHotkey(WindowId window, int id) override { hotkeys.erase({window, id}); }
    static constexpr std::uint32_t kModNoRepeat = 0x4000;
    struct Hotkey {
        std::uint32_t modifiers, key;
    };
    // Registered now, by (window, id); combinations other programs hold.
    std::map<std::pair<WindowId, int>, Hotkey> hotkeys;
    std::set<std::pair<std::uint32_t, std::uint32_t>> takenHotkeys;

    std::vector<std::string> inputs;  // "title|prompt|initial" of each input box
    std::optional<std::string> inputAnswer;

    struct Opened {
        std::string target;
        int showState;
    };
    std::vector<Opened> opened;
    FailSwitch failOpen;
    struct Box {
        std::string text, title;
        std::uint32_t style;
    };
    std::vector<Box> boxes;
    int boxAnswer = 1;  // IDOK
    // Runs while a box is up, as the message loop of a modal box would.
    std::function<void()> whileBoxShown;

    // Explorer restarted: every icon is gone until added again.
    void dropAllIcons() { icons.clear(); }

    struct NotifyCall {
        std::uint32_t message;
        NotifyIconRecord record;
        bool succeeded;
    };
    std::vector<NotifyCall> notifyCalls;
    // Icons shown now, by (window, id), with the record that last set them.
    std::map<std::pair<std::uint32_t, std::uint32_t>, NotifyIconRecord> icons;
    FailSwitch failNotify;

    std::vector<WindowId> foregroundCalls;
    // Ids handed out, 0xC000 upwards in order of first use; names without case.
    std::map<std::string, std::uint32_t, LessNoCase> registeredMessages;
};

}  // namespace qm
