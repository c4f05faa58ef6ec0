#pragma once
// setup.exe /uninstall with its window: one question (what goes, that
// immunised drives are the user's, whether the settings and the log go
// too), the removal with its steps shown under it, and a box at the end
// that says what was removed and what stays.
#include <cstdint>
#include <string>
#include <vector>

#include "setup/uninstall.h"

namespace qm {

// The window in pixels at 96 dpi; the texts' heights are measured.
namespace uninstalldesign {
inline constexpr int kClientWidth = 440;
inline constexpr int kMargin = 12;
inline constexpr int kIconSize = 32;
inline constexpr int kTextLeft = kMargin + kIconSize + kMargin;
inline constexpr int kTextWidth = kClientWidth - kTextLeft - kMargin;
inline constexpr int kParagraphGap = 8;
inline constexpr int kSectionGap = 14;
inline constexpr int kCheckHeight = 20;
inline constexpr int kButtonWidth = 88;
inline constexpr int kButtonHeight = 26;
inline constexpr int kButtonGap = 8;
}  // namespace uninstalldesign

class UninstallWindowPort {
  public:
    virtual ~UninstallWindowPort() = default;
    // The line under the question that follows the removal.
    virtual void setStatus(const std::string& text) = 0;
    // "卸载(&U)", "取消(&C)" and the check box.
    virtual void enableAnswers(bool enabled) = 0;
    // Owned by the window, with its caption as title; the button chosen.
    virtual int messageBox(const std::string& text, std::uint32_t style) = 0;
    // Destroys the window; later calls on the port do nothing.
    virtual void close() = 0;
};

class UninstallDialog {
  public:
    UninstallDialog(UninstallWindowPort& port, Uninstaller& uninstaller)
        : port_(port), uninstaller_(uninstaller) {}
    UninstallDialog(const UninstallDialog&) = delete;
    UninstallDialog& operator=(const UninstallDialog&) = delete;

    // The question, a paragraph each: what goes from where, that immunised
    // drives stay, and that the AutoPlay service stays off when Quillmoor
    // had switched it off.
    std::vector<std::string> Question();
    // Before the window shows: when setup.exe's folder holds no
    // installation, says so and closes; false then.
    bool onLoad();
    // "卸载(&U)", with the check box's state: the removal, then what it did.
    void onUninstall(bool purge);
    // "取消(&C)" and Esc: nothing is removed. Not while the removal runs.
    void onCancel();
    // The close box: as Cancel while asking; refused while removing.
    bool onCloseRequest();
    void onDestroyed() { closed_ = true; }

    bool removing() const { return state_ == State::Removing; }
    int exitCode() const { return exitCode_; }

  private:
    enum class State { Asking, Removing, Ended };
    void close();

    UninstallWindowPort& port_;
    Uninstaller& uninstaller_;
    State state_ = State::Asking;
    bool closed_ = false;
    int exitCode_ = kUninstallCancelled;
};

}  // namespace qm
