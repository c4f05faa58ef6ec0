#include "ui/blocker_window.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/text_rules.h"
#include "texts/phrase.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr std::array<std::string_view, 3> kIndexerNames = {
    "searchindexer.exe", "searchprotocolhost.exe", "searchfilterhost.exe"};
constexpr std::array<std::string_view, 4> kAntivirusNames = {
    "msmpeng.exe", "nissrv.exe", "mpdefendercoreservice.exe", "mssense.exe"};
// The system's own, whichever session they run in.
constexpr std::array<std::string_view, 11> kSystemNames = {
    "system",       "registry",  "smss.exe",    "csrss.exe",       "wininit.exe", "winlogon.exe",
    "services.exe", "lsass.exe", "svchost.exe", "fontdrvhost.exe", "dwm.exe"};
constexpr std::uint32_t kIdleProcessId = 0;
constexpr std::uint32_t kSystemProcessId = 4;

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string processSubject(const BlockerRow& row) {
    return row.imageName + " (" + std::to_string(row.processId) + ")";
}

std::string folderOf(const BlockerRow& row) { return row.files.empty() ? "" : row.files.front(); }

}  // namespace

Protection ProtectionOf(const std::string& imageName, std::uint32_t processId,
                        const ProcessFacts& facts, std::uint32_t ownProcessId,
                        std::uint32_t ownSessionId) {
    const std::string name = LowerAscii(imageName);
    if (processId == ownProcessId) return Protection::Self;
    if (name == "explorer.exe") return Protection::Shell;
    if (listed(kIndexerNames, name)) return Protection::Indexer;
    if (listed(kAntivirusNames, name)) return Protection::Antivirus;
    if (processId == kIdleProcessId || processId == kSystemProcessId || facts.critical ||
        listed(kSystemNames, name)) {
        return Protection::System;
    }
    // Services run in session 0; where this program runs there too, that
    // says nothing.
    if (facts.sessionId && *facts.sessionId == 0 && ownSessionId != 0) return Protection::System;
    // One whose user cannot be read runs with more rights than this program.
    if (facts.state != ProcessState::Running || !facts.userKnown) return Protection::Hidden;
    if (!facts.sameUser) return Protection::OtherUser;
    return Protection::None;
}

std::string RowHeading(const BlockerRow& row) {
    if (row.kind == BlockerKind::FolderWindow) {
        return Text(TrayText::BlockerFolderWindow, {row.imageName, std::to_string(row.processId)});
    }
    return processSubject(row);
}

std::string RowWindowLine(const BlockerRow& row) {
    if (row.mainWindow == 0) return Text(TrayText::BlockerNoWindow);
    return Text(TrayText::BlockerWindowLine, {row.title});
}

std::string RowFilesLine(const BlockerRow& row) {
    if (row.kind == BlockerKind::FolderWindow)
        return Text(TrayText::BlockerFolder, {folderOf(row)});
    if (row.files.empty()) return Text(TrayText::BlockerFilesUnknown);
    std::string files;
    for (std::size_t i = 0; i < row.files.size(); ++i) {
        if (i > 0) files += Text(TrayText::ListJoin);
        files += row.files[i];
    }
    if (row.fileCount > row.files.size()) {
        return Text(TrayText::BlockerFilesMore, {files, std::to_string(row.fileCount)});
    }
    return Text(TrayText::BlockerFiles, {files});
}

std::string RowNote(const BlockerRow& row) {
    if (row.kind == BlockerKind::FolderWindow) return Text(TrayText::BlockerNoteFolderWindow);
    switch (row.protection) {
        case Protection::None:
            return {};
        case Protection::Self:
            return Text(TrayText::BlockerNoteSelf);
        case Protection::Shell:
            return Text(TrayText::BlockerNoteShell);
        case Protection::System:
            return Text(TrayText::BlockerNoteSystem);
        case Protection::Indexer:
            return Text(TrayText::BlockerNoteIndexer);
        case Protection::Antivirus:
            return Text(TrayText::BlockerNoteAntivirus);
        case Protection::OtherUser:
            return Text(TrayText::BlockerNoteOtherUser);
        case Protection::Hidden:
            return Text(TrayText::BlockerNoteHidden);
    }
    return {};
}

BlockerWindow::BlockerWindow(BlockerWindowDeps deps, HeldDrive drive)
    : d_(deps), drive_(std::move(drive)) {
    for (const Blocker& b : drive_.holders) {
        if (auto row = describe(b)) rows_.push_back(std::move(*row));
    }
    if (!rows_.empty()) selected_ = keyOf(rows_.front());
    status_ = rows_.empty() ? TrayText::BlockersEmpty : TrayText::BlockersFollowing;
    // The first look starts at the first tick.
    lastLook_ = d_.loop.tickCount() - kBlockerFollowGapMs;
}

BlockerWindow::~BlockerWindow() {
    if (onDestroyed_) onDestroyed_(this);
}

void BlockerWindow::attach(BlockerWindowPort* port) {
    port_ = port;
    show();
}

std::string BlockerWindow::caption() const {
    return Text(TrayText::BlockersCaption, {std::string(1, drive_.letter)});
}

std::string BlockerWindow::heading() const {
    return Text(TrayText::BlockersHeading, {std::string(1, drive_.letter)});
}

std::string BlockerWindow::displayName() const {
    return EjectDisplayName(drive_.label, drive_.root);
}

void BlockerWindow::log(TrayText action, const std::string& subject, TrayText outcome) {
    d_.log.WriteLog(Phrase(action, {Words{subject}, outcome}));
}

std::optional<BlockerRow> BlockerWindow::describe(const Blocker& blocker) {
    const ProcessFacts facts = d_.control.processFacts(blocker.processId);
    if (facts.state == ProcessState::Gone) return std::nullopt;
    // The id went to another process since it was found.
    if (blocker.startTime != 0 && facts.startTime != 0 && facts.startTime != blocker.startTime) {
        return std::nullopt;
    }
    BlockerRow row;
    row.kind = blocker.kind;
    row.processId = blocker.processId;
    row.startTime = facts.startTime != 0 ? facts.startTime : blocker.startTime;
    row.window = blocker.window;
    row.imageName = blocker.imageName;
    row.imagePath = facts.imagePath;
    row.files = blocker.files;
    row.fileCount = std::max(blocker.fileCount, blocker.files.size());
    row.protection = ProtectionOf(blocker.imageName, blocker.processId, facts,
                                  d_.control.ownProcessId(), d_.control.ownSessionId());
    if (row.kind == BlockerKind::FolderWindow) {
        if (d_.control.windowProcess(row.window) != row.processId) return std::nullopt;
        row.followed = true;
    } else {
        row.followed = facts.state == ProcessState::Running && facts.sameUser;
    }
    refreshWindows(row);
    return row;
}

void BlockerWindow::refreshWindows(BlockerRow& row) {
    if (row.kind == BlockerKind::FolderWindow) {
        row.mainWindow = row.window;
        row.title = d_.control.windowTitle(row.window);
        return;
    }
    row.mainWindow = 0;
    row.title.clear();
    // Nothing of other users' or the system's windows is offered.
    if (row.protection != Protection::None) return;
    const std::vector<ProgramWindow> windows = d_.control.programWindows(row.processId);
    const auto titled = std::find_if(windows.begin(), windows.end(),
                                     [](const ProgramWindow& w) { return !w.title.empty(); });
    const auto chosen = titled != windows.end() ? titled : windows.begin();
    if (chosen != windows.end()) {
        row.mainWindow = chosen->window;
        row.title = chosen->title;
    }
}

bool BlockerWindow::stillThere(const BlockerRow& row) {
    const ProcessFacts facts = d_.control.processFacts(row.processId);
    if (facts.state == ProcessState::Gone) return false;
    if (row.startTime != 0 && facts.startTime != 0 && facts.startTime != row.startTime) {
        return false;
    }
    return row.kind != BlockerKind::FolderWindow ||
           d_.control.windowProcess(row.window) == row.processId;
}

void BlockerWindow::merge(const std::vector<Blocker>& found, bool exhaustive) {
    const auto before = selected();
    std::vector<BlockerRow> next;
    for (BlockerRow& row : rows_) {
        if (!stillThere(row)) continue;
        const auto seen = std::find_if(found.begin(), found.end(),
                                       [&](const Blocker& b) { return keyOf(b) == keyOf(row); });
        if (seen != found.end()) {
            if (!seen->files.empty()) {
                row.files = seen->files;
                row.fileCount = std::max(seen->fileCount, seen->files.size());
            }
        } else if (exhaustive && row.followed) {
            continue;  // it let go of the drive
        }
        refreshWindows(row);
        next.push_back(std::move(row));
    }
    for (const Blocker& b : found) {
        const bool known = std::any_of(next.begin(), next.end(),
                                       [&](const BlockerRow& r) { return keyOf(r) == keyOf(b); });
        if (known) continue;
        if (auto row = describe(b)) next.push_back(std::move(*row));
    }
    rows_ = std::move(next);
    // The selection stays on its row, or goes to the row now in its place.
    if (!selected() && !rows_.empty()) {
        selected_ = keyOf(rows_[std::min(before.value_or(0), rows_.size() - 1)]);
    }
    if (rows_.empty()) selected_.reset();
}

void BlockerWindow::removeRow(const RowKey& key) {
    const auto before = selected();
    std::erase_if(rows_, [&](const BlockerRow& r) { return keyOf(r) == key; });
    if (!selected() && !rows_.empty()) {
        selected_ = keyOf(rows_[std::min(before.value_or(0), rows_.size() - 1)]);
    }
    if (rows_.empty()) selected_.reset();
}

void BlockerWindow::holdersFound(const HeldDrive& fresh) {
    if (closed_) return;
    drive_.query = fresh.query;
    drive_.label = fresh.label;
    // Somebody else's eject found them: the list emptying is news again.
    if (!ejecting_) autoRetryArmed_ = true;
    merge(fresh.holders, false);
    status_ = rows_.empty() ? TrayText::BlockersEmpty : TrayText::BlockersFollowing;
    show();
    if (port_ != nullptr) port_->bringToFront();
}

void BlockerWindow::close() {
    if (closed_) return;
    closed_ = true;
    search_.reset();
    if (port_ != nullptr) port_->closeWindow();
}

void BlockerWindow::onWindowGone() {
    closed_ = true;
    port_ = nullptr;
    search_.reset();
}

void BlockerWindow::tick() {
    // Not inside an eject or a question of ours: their messages run here.
    if (closed_ || ejecting_ || asking_) return;
    const std::uint32_t now = d_.loop.tickCount();
    if (search_) {
        if (search_->running()) {
            if (now - searchStarted_ >= kBlockerFollowLimitMs) {
                search_.reset();
                lastLook_ = now;
            }
            return;
        }
        finishLook();
        return;
    }
    if (now - lastLook_ < kBlockerFollowGapMs) return;
    searchStarted_ = now;
    search_ = d_.follow.start(drive_.query);
    if (!search_) lastLook_ = now;
}

void BlockerWindow::finishLook() {
    const std::vector<Blocker> found = search_->found();
    const bool exhaustive = search_->exhaustive();
    search_.reset();
    lastLook_ = d_.loop.tickCount();
    const bool wasEmpty = rows_.empty();
    merge(found, exhaustive);
    // A new holder that goes again is worth another try by itself.
    if (wasEmpty && !rows_.empty()) autoRetryArmed_ = true;
    if (rows_.empty() && autoRetryArmed_) {
        autoRetryArmed_ = false;
        runEject(false, true);
        return;
    }
    if (status_ != TrayText::BlockersCloseAsked || rows_.empty()) {
        status_ = rows_.empty() ? TrayText::BlockersEmpty : TrayText::BlockersFollowing;
    }
    show();
}

std::optional<std::size_t> BlockerWindow::selected() const {
    if (!selected_) return std::nullopt;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (keyOf(rows_[i]) == *selected_) return i;
    }
    return std::nullopt;
}

const BlockerRow* BlockerWindow::selectedRow() const {
    const auto at = selected();
    return at ? &rows_[*at] : nullptr;
}

void BlockerWindow::select(std::size_t index) {
    if (closed_ || index >= rows_.size()) return;
    selected_ = keyOf(rows_[index]);
    show();
}

void BlockerWindow::moveSelection(int delta) {
    if (rows_.empty()) return;
    const auto at = static_cast<long long>(selected().value_or(0));
    const long long last = static_cast<long long>(rows_.size()) - 1;
    select(static_cast<std::size_t>(std::clamp(at + delta, 0LL, last)));
}

BlockerButtons BlockerWindow::buttons() const {
    BlockerButtons b;
    b.retry = b.forceEject = !ejecting_;
    const BlockerRow* row = selectedRow();
    if (row == nullptr || ejecting_) return b;
    if (row->kind == BlockerKind::FolderWindow) {
        b.switchTo = b.closeProgram = true;
        return b;
    }
    const bool mayAct = row->protection == Protection::None;
    b.switchTo = b.closeProgram = mayAct && row->mainWindow != 0;
    b.endProcess = mayAct;
    return b;
}

void BlockerWindow::onSwitchTo() {
    const BlockerRow* current = selectedRow();
    if (closed_ || current == nullptr || !buttons().switchTo) return;
    const BlockerRow row = *current;
    const std::string subject =
        row.kind == BlockerKind::FolderWindow ? folderOf(row) : processSubject(row);
    if (!stillThere(row)) {
        log(TrayText::LogBlockerSwitchTo, subject,
            row.kind == BlockerKind::FolderWindow ? TrayText::OutcomeWindowGone
                                                  : TrayText::OutcomeProcessGone);
        removeRow(keyOf(row));
        show();
        return;
    }
    // The window as it is now: the one the row showed may have closed.
    BlockerRow now = row;
    refreshWindows(now);
    const bool ours =
        now.mainWindow != 0 && d_.control.windowProcess(now.mainWindow) == row.processId;
    const bool done = ours && d_.control.bringToFront(now.mainWindow);
    log(TrayText::LogBlockerSwitchTo, subject,
        !ours  ? TrayText::OutcomeNoWindow
        : done ? TrayText::OutcomeDone
               : TrayText::OutcomeFailed);
}

void BlockerWindow::onCloseProgram() {
    const BlockerRow* current = selectedRow();
    if (closed_ || current == nullptr || !buttons().closeProgram) return;
    const BlockerRow row = *current;
    if (row.kind == BlockerKind::FolderWindow) {
        // That window only: the shell and its other windows stay.
        const bool there = stillThere(row);
        const bool asked = there && d_.control.postClose(row.window);
        log(TrayText::LogBlockerCloseFolderWindow, folderOf(row),
            !there  ? TrayText::OutcomeWindowGone
            : asked ? TrayText::OutcomeCloseAsked
                    : TrayText::OutcomeFailed);
        if (!there) removeRow(keyOf(row));
    } else if (!stillThere(row)) {
        log(TrayText::LogBlockerCloseProgram, processSubject(row), TrayText::OutcomeProcessGone);
        removeRow(keyOf(row));
    } else {
        // As its own close box would: each of its windows is asked, and the
        // program may ask about unsaved work before it goes.
        bool asked = false;
        for (const ProgramWindow& w : d_.control.programWindows(row.processId)) {
            if (d_.control.windowProcess(w.window) != row.processId) continue;
            asked = d_.control.postClose(w.window) || asked;
        }
        log(TrayText::LogBlockerCloseProgram, processSubject(row),
            asked ? TrayText::OutcomeCloseAsked : TrayText::OutcomeNoWindow);
    }
    status_ = TrayText::BlockersCloseAsked;
    autoRetryArmed_ = true;
    show();
}

void BlockerWindow::onEndProcess() {
    const BlockerRow* current = selectedRow();
    if (closed_ || current == nullptr || !buttons().endProcess || port_ == nullptr) return;
    const BlockerRow row = *current;
    const std::string subject = processSubject(row);
    asking_ = true;
    const bool yes = port_->askYesNo(Text(TrayText::BlockerConfirmEnd, {subject}));
    asking_ = false;
    // Closed meanwhile (the drive went, the program ends): nothing is ended.
    if (!yes || closed_) {
        log(TrayText::LogBlockerEndProcess, subject, TrayText::OutcomeCancelled);
        return;
    }
    // Ended by identity, checked on the process itself: the row may have
    // gone while the question was open, and its id to another process.
    const EndOutcome outcome = d_.control.endProcess(row.processId, row.startTime);
    log(TrayText::LogBlockerEndProcess, subject,
        outcome == EndOutcome::Ended  ? TrayText::OutcomeDone
        : outcome == EndOutcome::Gone ? TrayText::OutcomeProcessGone
                                      : TrayText::OutcomeFailed);
    if (outcome != EndOutcome::Refused) removeRow(keyOf(row));
    autoRetryArmed_ = true;
    status_ = rows_.empty() ? TrayText::BlockersEmpty : TrayText::BlockersFollowing;
    show();
}

void BlockerWindow::onRetry() { runEject(false, false); }

void BlockerWindow::onForceEject() { runEject(true, false); }

void BlockerWindow::runEject(bool forced, bool automatic) {
    if (closed_ || ejecting_) return;
    ejecting_ = true;
    // What a look finds while the drive is asked to go means nothing.
    search_.reset();
    status_ = TrayText::BlockersEjecting;
    show();
    const EjectOutcome outcome = d_.runner.ejectAgain(drive_.letter, drive_.serial, forced);
    ejecting_ = false;
    if (automatic && outcome == EjectOutcome::Busy && !closed_) {
        // Another eject had the program: the next look tries again.
        autoRetryArmed_ = true;
        lastLook_ = d_.loop.tickCount();
        return;
    }
    TrayText said = TrayText::OutcomeFailed;
    switch (outcome) {
        case EjectOutcome::Removed:
            said = TrayText::OutcomeDone;
            break;
        case EjectOutcome::Failed:
            said = TrayText::OutcomeFailed;
            break;
        case EjectOutcome::Cancelled:
            said = TrayText::OutcomeCancelled;
            break;
        case EjectOutcome::Busy:
            said = TrayText::OutcomeBusy;
            break;
        case EjectOutcome::DriveGone:
            said = TrayText::OutcomeDriveGone;
            break;
    }
    log(automatic ? TrayText::LogBlockerAutoRetry
        : forced  ? TrayText::LogBlockerForceEject
                  : TrayText::LogBlockerRetry,
        displayName(), said);
    lastLook_ = d_.loop.tickCount();
    if (outcome == EjectOutcome::Removed || outcome == EjectOutcome::DriveGone) {
        // Its success notice says the rest.
        close();
        return;
    }
    if (closed_) return;
    status_ = outcome == EjectOutcome::Busy     ? TrayText::BlockersBusy
              : outcome == EjectOutcome::Failed ? TrayText::BlockersEjectFailed
              : rows_.empty()                   ? TrayText::BlockersEmpty
                                                : TrayText::BlockersFollowing;
    show();
}

}  // namespace qm
