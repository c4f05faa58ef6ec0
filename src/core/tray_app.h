#pragma once
// The tray program: start-up, the handling of its main window's messages,
// the tray icon and shutdown. Everything after start-up arrives as a
// message on the one UI thread; routines pump, so any handler may run inside
// any other, and each one checks what it relies on after a pump.
#include <cstdint>
#include <optional>
#include <string>

#include "core/drive_table.h"
#include "core/tray_icon.h"
#include "core/tray_menu.h"
#include "core/tray_services.h"
#include "settings/settings_files.h"
#include "ui/blocker_windows.h"
#include "ui/settings_window.h"

namespace qm {

inline constexpr std::uint32_t kWmCommand = 0x111;
inline constexpr std::uint32_t kWmDeviceChange = 0x219;
// Posted by the drive probe when a drive answers after its refresh stopped
// waiting for it.
inline constexpr std::uint32_t kDriveAnsweredMsg = 2026;
inline constexpr std::intptr_t kWmLButtonUp = 0x202;
inline constexpr std::intptr_t kWmRButtonUp = 0x205;

inline constexpr char kInstanceLockName[] = "Quillmoor.TrayProgram";

// The window side of the program, implemented by the Win32 main window.
class MainWindowHost {
  public:
    virtual ~MainWindowHost() = default;
    // A hidden top-level window that is never shown and has no taskbar button.
    virtual WindowId createMainWindow(const std::string& caption) = 0;
    virtual IconId programIcon() = 0;
    // Destroys the main window; the host then calls onMainWindowUnloaded.
    virtual void unloadMainWindow() = 0;
    // Closes every other window of the program (popups, settings window).
    virtual void unloadOtherWindows() = 0;
};

class TrayApp : public TrayRequests, public EjectRunner, private EjectRefusals {
  public:
    enum class State { Created, Starting, Running, Ending, Ended };

    // The services' requests come to this program from here on, until it goes.
    TrayApp(TrayPlatform platform, TrayServices& services, MainWindowHost& host,
            TrayMenuPort& menuPort);
    ~TrayApp() override;

    // The settings window's list joins once that window exists.
    void setSettingsWindowList(SettingsWindowList* list) { settingsList_ = list; }
    // So do the windows that list who holds a drive an eject could not remove.
    void setBlockerWindows(BlockerWindows* windows) { blockerWindows_ = windows; }
    // The eject and CD door commands take their drive away on purpose: the
    // next refresh does not report that drive as pulled out (other drives
    // still are).
    void setSkipRemovalCheck(const DriveEntry& drive) { expectRemoval(drive, true); }
    const DriveTable& driveTable() const { return table_; }
    TrayApp(const TrayApp&) = delete;
    TrayApp& operator=(const TrayApp&) = delete;

    // False when another tray program of this user runs: the caller then
    // ends the process without a window.
    bool startup();

    // The program's window procedure. Empty result: pass the message on to
    // the window's own procedure.
    std::optional<std::intptr_t> windowProc(std::uint32_t msg, std::uintptr_t wParam,
                                            std::intptr_t lParam);

    void QuitApp();
    // The main window is going away, however that came about.
    void onMainWindowUnloaded();

    void RebuildTray();
    void refreshDlist();
    // The settings window wants its list filled: a refresh now, or, when
    // one is under way (it may have begun before the window opened), one
    // more right after it.
    void requestListRefresh();
    void runCommand(std::uintptr_t wParam);
    // Every drive "eject all" takes, one after another, then one notice.
    // Refused, as other drive commands are, while an eject runs.
    void ejectAll();
    // The eject of a drive, asked for again from its holders' window: the
    // drive by its letter and serial, refused while another eject or a
    // refresh runs.
    EjectOutcome ejectAgain(char letter, const std::string& serial, bool forced) override;

    State state() const { return state_; }
    bool handlerInstalled() const { return handlerInstalled_; }
    WindowId window() const { return window_; }
    std::uint32_t taskbarCreatedMsg() const { return taskbarCreatedMsg_; }
    bool refreshBusy() const { return refreshBusy_; }

    // What the services ask of the program.
    void refreshDrives() override { refreshDlist(); }
    void driveLeaving() override;
    bool ending() const override { return ended(); }

  private:
    bool ended() const { return state_ == State::Ending || state_ == State::Ended; }
    void runDriveCommand(DriveCommand command, std::size_t j, std::uint32_t id);
    // The drive a command names: the one its menu entry showed when picked
    // from a shown menu, else table index j; null when that drive is gone.
    const DriveEntry* commandDrive(std::size_t j, std::uint32_t id);
    EjectOutcome runEject(const DriveEntry& entry, bool forced);
    void ejectRefused(const RefusedEject& refused) override;
    void onDeviceChange();
    void onTaskbarCreated();
    // A drive on its way out: `settled` when its removal is done (the next
    // refresh forgets it), else while the command that removes it runs.
    void expectRemoval(const DriveEntry& drive, bool settled, bool byCommand = false);
    void settleRemoval(char letter, bool removed, bool byCommand = false);
    // What the command line says of a drive it ejects (a CommandEjectStep).
    void commandEject(std::uintptr_t letter, std::intptr_t step);
    void reportRemovals();
    void runMenuCommand(std::int32_t id);
    // A refresh that takes the drives' late answers, when there are any.
    void refreshForLateAnswers();
    // The steps of a refresh: the table emptied and the menu begun, every
    // drive examined, then the menu attached, removals reported and the
    // snapshot taken; after it, what came in meanwhile.
    void beginRefresh();
    void finishRefresh();
    void runWhatWaited();
    void examineDrive(char letter);
    void applyDrivePolicy(const DriveEntry& entry);
    void registerHotkey();
    bool ejectOne(const EjectTarget& target);
    void informationNotice(const std::string& text, NoticePicture picture);
    void switchAutoPlay(bool on);
    void pump() { p_.loop.pump(); }

    TrayPlatform p_;
    TrayServices& s_;
    MainWindowHost& host_;
    SettingsWindowList* settingsList_ = nullptr;
    BlockerWindows* blockerWindows_ = nullptr;
    LocatorWriter locator_;
    DriveTable table_;
    TrayMenu menu_;

    State state_ = State::Created;
    WindowId window_ = 0;
    std::optional<cToolTip> tray_;
    std::uint32_t taskbarCreatedMsg_ = 0;
    bool handlerInstalled_ = false;
    bool refreshBusy_ = false;
    // Broadcasts that came while a refresh had the handler out of play;
    // acted on once it ends.
    bool deviceChangePending_ = false;
    bool trayRebuildPending_ = false;
    struct ExpectedRemoval {
        char letter = 0;
        std::string serial, caption;
        bool settled = false;
        bool byCommand = false;  // the command line's eject, not waited for here
    };
    ExpectedRemoval* expectedRemoval(const GoneDrive& gone);
    std::vector<ExpectedRemoval> expectedRemovals_;
    const DriveEntry* ejectTarget_ = nullptr;  // while an eject runs
    bool ejecting_ = false;     // a safe or forced eject, or "eject all", is under way
    // The hotkey came while a refresh had the handler out of play.
    bool ejectAllPending_ = false;
    bool hotkeyRegistered_ = false;
    bool listFilling_ = false;  // this refresh cleared the settings list
    bool listRefreshPending_ = false;
    bool lateAnswersOnly_ = false;  // the refresh under way is for late answers
    // The AutoPlay and start-with-Windows switches as the menu shows them.
    bool menuSwitchesKnown_ = false;
    WindowId savedHandle_ = 0;  // the handle last written to Setting.ini
    bool autoPlayOn_ = false;
    bool autoStartOn_ = false;
};

}  // namespace qm
