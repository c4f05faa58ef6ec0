#pragma once
// The window that lists who holds a drive a safe eject could not remove,
// as a portable model: its rows, which follow the holders while it is
// open, the selected row, which buttons act, and what each one does.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/event_log.h"
#include "drives/eject.h"
#include "platform/blockers.h"
#include "platform/event_loop.h"
#include "platform/holder_control.h"
#include "texts/tray_texts.h"

namespace qm {

// The buttons' texts, left to right: switch, close, end, retry, force, cancel.
inline constexpr std::array<TrayText, 6> kBlockerButtonTexts = {
    TrayText::BlockersSwitchTo, TrayText::BlockersCloseProgram, TrayText::BlockersEndProcess,
    TrayText::BlockersRetry,    TrayText::BlockersForceEject,   TrayText::BlockersCancel};
// Every text the status line shows, for the view to make room for.
inline constexpr std::array<TrayText, 6> kBlockerStatusTexts = {
    TrayText::BlockersFollowing, TrayText::BlockersEmpty, TrayText::BlockersEjecting,
    TrayText::BlockersEjectFailed, TrayText::BlockersBusy, TrayText::BlockersCloseAsked};

// The drive a refused eject left, and who was found holding it.
struct HeldDrive {
    char letter = 0;
    std::string serial;
    std::string label;
    std::string root;  // "G:\\"
    BlockerQuery query;
    std::vector<Blocker> holders;
};

// The tray program's own eject of a drive, run again as its menu runs it
// (the forced one with its question); it lets messages run.
class EjectRunner {
  public:
    virtual ~EjectRunner() = default;
    virtual EjectOutcome ejectAgain(char letter, const std::string& serial, bool forced) = 0;
};

// Why a process is not ended from the window.
enum class Protection {
    None,       // it may be: one of this user's programs
    Self,       // this program
    Shell,      // explorer.exe, whoever runs it
    System,     // a service, a critical process, the kernel
    Indexer,    // the search indexer
    Antivirus,  // the virus scanner's service
    OtherUser,  // another user's program
    Hidden,     // one this user may not look into
};

Protection ProtectionOf(const std::string& imageName, std::uint32_t processId,
                        const ProcessFacts& facts, std::uint32_t ownProcessId,
                        std::uint32_t ownSessionId);

struct BlockerRow {
    BlockerKind kind = BlockerKind::Process;
    std::uint32_t processId = 0;
    // With the id, the process the row is about; a later one given the
    // same id is another.
    std::uint64_t startTime = 0;
    WindowId window = 0;  // a folder window's own
    std::string imageName;
    std::string imagePath;  // for its icon; may be empty
    // The window "切换到" brings to the front: the front one of the process
    // (one with a title first), or the folder window; 0 when none.
    WindowId mainWindow = 0;
    std::string title;
    std::vector<std::string> files;
    std::size_t fileCount = 0;
    Protection protection = Protection::None;
    // Whether the searches that follow the holders can see it: this user's
    // processes and the shell's folder windows. One they cannot see stays
    // listed for as long as it runs.
    bool followed = false;
};

// The four lines of a row.
std::string RowHeading(const BlockerRow& row);  // "WINWORD.EXE (4312)"
std::string RowWindowLine(const BlockerRow& row);
std::string RowFilesLine(const BlockerRow& row);
std::string RowNote(const BlockerRow& row);  // why it is not ended here; may be empty

struct BlockerButtons {
    bool switchTo = false, closeProgram = false, endProcess = false;
    bool retry = false, forceEject = false, cancel = true;
};

// The window as the model drives it.
class BlockerWindowPort {
  public:
    virtual ~BlockerWindowPort() = default;
    // Rows, selection, buttons or the status line changed: show them again.
    virtual void showState() = 0;
    virtual void bringToFront() = 0;
    // A modal yes-or-no question owned by the window; messages run meanwhile.
    virtual bool askYesNo(const std::string& text) = 0;
    // Destroys the window; onWindowGone follows.
    virtual void closeWindow() = 0;
};

// The view's timer, which drives the follow-up.
inline constexpr std::uint32_t kBlockerTickMs = 250;
// From the end of one look for the holders to the start of the next.
inline constexpr std::uint32_t kBlockerFollowGapMs = 1000;
// A look that takes longer is given up; the rows stay as they were.
inline constexpr std::uint32_t kBlockerFollowLimitMs = 5000;

struct BlockerWindowDeps {
    HolderControl& control;
    // The searches that follow the holders while the window is open.
    BlockerFinder& follow;
    EventLoop& loop;
    EventLog& log;
    EjectRunner& runner;
};

class BlockerWindow {
  public:
    BlockerWindow(BlockerWindowDeps deps, HeldDrive drive);
    ~BlockerWindow();
    BlockerWindow(const BlockerWindow&) = delete;
    BlockerWindow& operator=(const BlockerWindow&) = delete;

    // The view, once it exists.
    void attach(BlockerWindowPort* port);
    // Told when the model goes, to whoever keeps a list of the windows.
    void setOnDestroyed(std::function<void(BlockerWindow*)> onDestroyed) {
        onDestroyed_ = std::move(onDestroyed);
    }

    // Another refused eject of the drive found holders: they join the list.
    void holdersFound(const HeldDrive& fresh);
    // Closes the window (the drive went, the program ends, "取消").
    void close();

    // From the view.
    void tick();
    void select(std::size_t index);
    void moveSelection(int delta);
    void onSwitchTo();
    void onCloseProgram();
    void onEndProcess();
    void onRetry();
    void onForceEject();
    void onCancel() { close(); }
    void onWindowGone();

    const std::vector<BlockerRow>& rows() const { return rows_; }
    std::optional<std::size_t> selected() const;
    BlockerButtons buttons() const;
    std::string status() const { return Text(status_); }
    std::string caption() const;
    std::string heading() const;
    char letter() const { return drive_.letter; }
    const std::string& serial() const { return drive_.serial; }
    bool open() const { return !closed_; }
    bool following() const { return search_ != nullptr; }
    bool ejecting() const { return ejecting_; }

  private:
    struct RowKey {
        BlockerKind kind = BlockerKind::Process;
        std::uint32_t processId = 0;
        WindowId window = 0;
        friend bool operator==(const RowKey&, const RowKey&) = default;
    };
    static RowKey keyOf(const BlockerRow& row) { return {row.kind, row.processId, row.window}; }
    static RowKey keyOf(const Blocker& b) { return {b.kind, b.processId, b.window}; }

    std::optional<BlockerRow> describe(const Blocker& blocker);
    // Still the process (and window) the row is about.
    bool stillThere(const BlockerRow& row);
    void refreshWindows(BlockerRow& row);
    void merge(const std::vector<Blocker>& found, bool exhaustive);
    void removeRow(const RowKey& key);
    void runEject(bool forced, bool automatic);
    void finishLook();
    const BlockerRow* selectedRow() const;
    std::string displayName() const;
    void log(TrayText action, const std::string& subject, TrayText outcome);
    void show() {
        if (port_ != nullptr) port_->showState();
    }

    BlockerWindowDeps d_;
    HeldDrive drive_;
    BlockerWindowPort* port_ = nullptr;
    std::function<void(BlockerWindow*)> onDestroyed_;
    std::vector<BlockerRow> rows_;
    std::optional<RowKey> selected_;
    TrayText status_ = TrayText::BlockersFollowing;
    std::unique_ptr<BlockerSearch> search_;
    std::uint32_t searchStarted_ = 0;
    std::uint32_t lastLook_ = 0;
    bool closed_ = false;
    bool ejecting_ = false;
    bool asking_ = false;
    // The list emptying retries the eject once; a user's action on a row,
    // or holders found by an eject of someone else's, arm it again.
    bool autoRetryArmed_ = true;
};

}  // namespace qm
