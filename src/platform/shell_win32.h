#pragma once
#include "platform/code_page_win32.h"
#include "platform/shell.h"

namespace qm {

class ShellWin32 final : public Shell {
  public:
    // The record's layout is that of 32-bit Windows; a 64-bit build moves
    // the fields into its own wider structure.
    bool notifyIcon(std::uint32_t message, const NotifyIconRecord& record) override;
    void setForegroundWindow(WindowId window) override;
    std::uint32_t registerWindowMessage(const std::string& name) override;
    bool shellOpen(const std::string& target, int showState) override;
    int messageBox(const std::string& text, const std::string& title,
                   std::uint32_t style) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override;
    bool registerHotkey(WindowId window, int id, std::uint32_t modifiers,
                        std::uint32_t key) override;
    void unregisterHotkey(WindowId window, int id) override;

  private:
    CodePageWin32 codePage_;
};

}  // namespace qm
