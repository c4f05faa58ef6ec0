#pragma once
// The shell and the window manager as far as the tray program needs them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

// The message the desktop shell broadcasts when it (re)starts and every
// program should add its notification icon again.
inline constexpr char kTaskbarCreatedMessage[] = "TaskBarCreated";

// NOTIFYICONDATAA in its 488-byte layout, built by the core byte for byte.
using NotifyIconRecord = std::array<std::uint8_t, 488>;

// Byte offsets of the record's fields, and the sizes of its text fields.
namespace notifyfield {
inline constexpr std::size_t kSize = 0;
inline constexpr std::size_t kWindow = 4;
inline constexpr std::size_t kId = 8;
inline constexpr std::size_t kFlags = 12;
inline constexpr std::size_t kCallbackMessage = 16;
inline constexpr std::size_t kIcon = 20;
inline constexpr std::size_t kTip = 24;
inline constexpr std::size_t kState = 152;
inline constexpr std::size_t kStateMask = 156;
inline constexpr std::size_t kInfo = 160;
inline constexpr std::size_t kTimeout = 416;
inline constexpr std::size_t kInfoTitle = 420;
inline constexpr std::size_t kInfoFlags = 484;
inline constexpr std::size_t kTipSize = kState - kTip;            // 128
inline constexpr std::size_t kInfoSize = kTimeout - kInfo;        // 256
inline constexpr std::size_t kInfoTitleSize = kInfoFlags - kInfoTitle;  // 64
}  // namespace notifyfield

// The messages of notifyIcon.
inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimModify = 1;
inline constexpr std::uint32_t kNimDelete = 2;

// Message box styles and the buttons chosen, as the system numbers them.
namespace msgbox {
inline constexpr std::uint32_t kOk = 0x0, kOkCancel = 0x1, kYesNo = 0x4;
inline constexpr std::uint32_t kIconError = 0x10, kIconWarning = 0x30, kIconInformation = 0x40;
inline constexpr int kIdOk = 1, kIdYes = 6, kIdNo = 7;
}  // namespace msgbox

class Shell : NonCopyable {
public:
    virtual ~Shell() = default;
    // Shell_NotifyIcon with NIM_ADD (0), NIM_MODIFY (1) or NIM_DELETE (2).
    virtual bool notifyIcon(std::uint32_t message, const NotifyIconRecord& record) = 0;
    virtual void setForegroundWindow(WindowId window) = 0;
    virtual std::uint32_t registerWindowMessage(const std::string& name) = 0;
    // Asks the shell to "open" a file or address with a show state (3 is
    // maximised); false when nothing could be started.
    virtual bool shellOpen(const std::string& target, int showState) = 0;
    // A modal message box owned by no window; the button the user chose.
    virtual int messageBox(const std::string& text, const std::string& title,
                           std::uint32_t style) = 0;
    // A modal box asking for one line of text, pre-filled with `initial`;
    // empty when it is dismissed or cannot be shown.
    virtual std::optional<std::string> inputBox(const std::string& prompt,
                                                const std::string& title,
                                                const std::string& initial) = 0;
    // A system-wide hotkey that sends the window WM_HOTKEY with `id`;
    // `modifiers` and `key` as RegisterHotKey takes them. False when another
    // program holds that combination or the system refuses it.
    virtual bool registerHotkey(WindowId window, int id, std::uint32_t modifiers,
                                std::uint32_t key) = 0;
    virtual void unregisterHotkey(WindowId window, int id) = 0;
};

}  // namespace qm
