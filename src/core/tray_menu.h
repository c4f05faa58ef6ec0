#pragma once
// The tray menu: which entries exist, with which ids and check marks, and
// when the real menus are built, attached, shown and destroyed. The menus
// themselves are behind TrayMenuPort, so all of this runs the same against
// real menus and against a test's recorder.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

// Command ids as the window procedure receives them.
namespace menuid {
inline constexpr std::uint32_t kNone = 0;  // the placeholder: runs nothing
inline constexpr std::uint32_t kAbout = 500;
inline constexpr std::uint32_t kStopAutoPlay = 501;
inline constexpr std::uint32_t kStartAutoPlay = 502;
inline constexpr std::uint32_t kEnableAutoStart = 503;
inline constexpr std::uint32_t kDisableAutoStart = 504;
inline constexpr std::uint32_t kHomePage = 505;
inline constexpr std::uint32_t kQuit = 506;
inline constexpr std::uint32_t kReload = 601;
inline constexpr std::uint32_t kSettings = 602;
inline constexpr std::uint32_t kViewLog = 603;
// Every stick and card holding a medium, one after another.
inline constexpr std::uint32_t kEjectAll = 604;
inline constexpr std::uint32_t kCheckUpdate = 700;
// Drive commands: base + drive table index.
inline constexpr std::uint32_t kBrowse = 1000;
inline constexpr std::uint32_t kOpenCdTray = 2000;
inline constexpr std::uint32_t kCloseCdTray = 3000;
inline constexpr std::uint32_t kSafeEject = 4000;
inline constexpr std::uint32_t kImmunise = 5000;
inline constexpr std::uint32_t kRemoveImmunity = 6000;
inline constexpr std::uint32_t kForceEject = 7000;
inline constexpr std::uint32_t kDriveRange = 1000;
}  // namespace menuid

// TrackPopupMenu flags.
inline constexpr std::uint32_t kTrackLeftAlign = 0;
inline constexpr std::uint32_t kTrackRightAlign = 8;

struct MenuItem {
    enum class Kind { Command, Popup, Separator };
    Kind kind = Kind::Command;
    std::string caption;
    std::uint32_t id = menuid::kNone;  // commands only
    bool checked = false;
    std::vector<MenuItem> children;  // popups only
    bool grayed = false;             // shown, but cannot be chosen
    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// "选项(&S)" and its entries; the two switches pick the entry (and the id)
// that the user can flip them with.
MenuItem BuildOptionsMenu(const std::string& noticeTitle, const std::string& homePage,
                          bool autoPlayOn, bool autoStartOn);
// The submenu of drive table index j, captioned with the drive's caption.
MenuItem BuildDriveMenu(const std::string& caption, std::size_t j, bool isCdRom, bool isImmunised);
// "没有可移动设备", shown instead of any drive.
MenuItem NoDrivePlaceholder();

enum class DriveCommand {
    Browse,
    OpenCdTray,
    CloseCdTray,
    SafeEject,
    Immunise,
    RemoveImmunity,
    ForceEject
};
struct DriveCommandId {
    DriveCommand command;
    std::size_t index;
    friend bool operator==(const DriveCommandId&, const DriveCommandId&) = default;
};
// The drive command a command id stands for; empty for every other id.
std::optional<DriveCommandId> DriveCommandOf(std::uintptr_t id);

// The drive a submenu was built for: its letter and volume serial. A command
// picked from that submenu acts on this drive, wherever the table has moved
// it since.
struct DriveRef {
    char letter = 0;
    std::string serial;
    friend bool operator==(const DriveRef&, const DriveRef&) = default;
};

// The drive popup as one refresh builds it, step by step.
class TrayMenuModel {
  public:
    TrayMenuModel();
    // A fresh drive popup holding the options submenu, a separator and
    // "eject all", grayed until a drive it would eject is added.
    void BeginMenu(const std::string& noticeTitle, const std::string& homePage, bool autoPlayOn,
                   bool autoStartOn);
    // `ejectable`: "eject all" would take this drive along.
    void AddDriveSubmenu(const std::string& caption, std::size_t j, bool isCdRom, bool isImmunised,
                         DriveRef drive = {}, bool ejectable = false);
    // Adds the placeholder when no drive got a submenu.
    void Finish();

    // "安全弹出": the only entry of the menu bar and the menu that is shown.
    const MenuItem& drivePopup() const { return drivePopup_; }
    bool hasDrives() const { return drives_ > 0; }
    // The drives of the submenus, by table index.
    const std::vector<std::pair<std::size_t, DriveRef>>& drives() const { return refs_; }

  private:
    MenuItem drivePopup_;
    std::vector<std::pair<std::size_t, DriveRef>> refs_;
    std::size_t drives_ = 0;
    bool finished_ = false;
};

struct ScreenPoint {
    std::int32_t x = 0, y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// One set of real menus: a menu bar whose only entry opens the drive popup.
using MenuTreeId = std::uint32_t;
inline constexpr MenuTreeId kNoMenuTree = 0;

// The real menus as TrayMenu drives them. TrayMenu decides when a tree may
// go; the port only does what it is told.
class TrayMenuPort : NonCopyable {
  public:
    virtual ~TrayMenuPort() = default;
    // Builds real menus for the drive popup and a menu bar holding it.
    // Entries the system refuses are missing; kNoMenuTree when nothing could
    // be built.
    virtual MenuTreeId createTree(const MenuItem& drivePopup) = 0;
    // Makes the tree the window's menu bar (kNoMenuTree: no menu) and
    // redraws the bar.
    virtual void attachTree(WindowId window, MenuTreeId tree) = 0;
    virtual void destroyTree(MenuTreeId tree) = 0;
    // Shows the tree's drive popup and returns once it closes, with the id
    // of the command picked (kNone when none was). Messages, this program's
    // own handlers included, run while it is open.
    virtual std::uint32_t track(MenuTreeId tree, WindowId owner, ScreenPoint at,
                                std::uint32_t flags) = 0;
    // Hands a picked command to the owner as the menu itself would have:
    // a command message behind the ones already waiting.
    virtual void postCommand(WindowId owner, std::uint32_t id) = 0;
    virtual ScreenPoint cursorPosition() = 0;
    virtual void setForeground(WindowId window) = 0;
};

// The tray menu of the main window. A refresh calls detach, BeginMenu,
// AddDriveSubmenu per drive, Finish and attach; a tray click calls
// popAppMenu.
class TrayMenu {
  public:
    TrayMenu(TrayMenuPort& port, EventLoop& loop);
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // The menu can no longer be shown. Its tree stays the window's menu bar
    // (a hidden window's bar is out of reach) until the next attach, which
    // keeps it when its entries are still the same; otherwise that attach
    // destroys it, or, while a popup of it is open, once that closes.
    void detach(WindowId window);
    void BeginMenu(const std::string& noticeTitle, const std::string& homePage, bool autoPlayOn,
                   bool autoStartOn) {
        model_.BeginMenu(noticeTitle, homePage, autoPlayOn, autoStartOn);
    }
    void AddDriveSubmenu(const std::string& caption, std::size_t j, bool isCdRom, bool isImmunised,
                         DriveRef drive = {}, bool ejectable = false) {
        model_.AddDriveSubmenu(caption, j, isCdRom, isImmunised, std::move(drive), ejectable);
    }
    void Finish() { model_.Finish(); }
    // Real menus for what the model holds, attached to the window; a tree
    // still attached is replaced.
    void attach(WindowId window);

    // A tray click: refreshes, then shows the drive popup at the cursor.
    void popAppMenu(WindowId window, const std::function<void()>& refresh);
    // A right-button release on the main window: the menu as it stands,
    // right-aligned at the cursor.
    void popAtMainWindow(WindowId window);

    // The window is going away: its menu goes now, nothing is shown again.
    void shutdown(WindowId window);

    // The drive a drive command was picked for, when `id` is the command
    // last picked from a shown menu; taking it forgets the pick. Empty for
    // any other id: such a command (sent by another program, or left over)
    // names the drive by its index in the table as it stands.
    std::optional<DriveRef> takePickedDrive(std::uint32_t id);

    const TrayMenuModel& model() const { return model_; }
    MenuTreeId attachedTree() const { return attached_; }

  private:
    void retire(MenuTreeId tree);
    void retireSpare();
    void putOnBar(WindowId window, MenuTreeId tree);
    void destroyRetired();
    void show(WindowId window, ScreenPoint at, std::uint32_t flags);

    TrayMenuPort& port_;
    EventLoop& loop_;
    TrayMenuModel model_;
    MenuTreeId attached_ = kNoMenuTree;
    MenuItem attachedEntries_;
    std::vector<std::pair<std::size_t, DriveRef>> attachedDrives_;
    struct Pick {
        std::uint32_t id = menuid::kNone;
        DriveRef drive;
    };
    std::optional<Pick> picked_;
    // What the last detach took away. Most refreshes end with the entries
    // they started with, and replacing a window's menu bar costs more than
    // the rest of a refresh of a drive or two.
    MenuTreeId spare_ = kNoMenuTree;
    MenuItem spareEntries_;
    // The window's menu bar as the port last set it.
    MenuTreeId onBar_ = kNoMenuTree;
    std::vector<MenuTreeId> retired_;
    int tracking_ = 0;
    bool closed_ = false;
};

}  // namespace qm
