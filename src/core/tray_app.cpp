#include "core/tray_app.h"

#include <algorithm>

#include "core/hotkey.h"
#include "core/version.h"
#include "drives/cd_door.h"
#include "drives/immunisation.h"
#include "common/text_rules.h"
#include "settings/between_programs.h"
#include "settings/stored_settings.h"
#include "texts/tray_texts.h"

namespace qm {

TrayApp::TrayApp(TrayPlatform platform, TrayServices& services, MainWindowHost& host,
                 TrayMenuPort& menuPort)
    : p_(platform),
      s_(services),
      host_(host),
      locator_(p_.profile, p_.files, s_.paths),
      table_(p_.probe, p_.loop),
      menu_(menuPort, p_.loop) {
    s_.requests.connect(this);
    s_.eject.setRefusals(this);
}

TrayApp::~TrayApp() {
    s_.eject.setRefusals(nullptr);
    s_.requests.connect(nullptr);
}

void TrayApp::driveLeaving() {
    if (ejectTarget_ != nullptr) expectRemoval(*ejectTarget_, false);
}

bool TrayApp::startup() {
    state_ = State::Starting;
    if (!p_.instanceLock.acquire(kInstanceLockName)) {
        pump();
        s_.log.WriteLog(TrayText::LogDuplicate);
        state_ = State::Ended;
        return false;
    }
    window_ = host_.createMainWindow(s_.noticeTitle);
    // From here on a new shell's broadcast is known: one that comes while
    // the tray is first built must not leave the program without an icon.
    taskbarCreatedMsg_ = p_.shell.registerWindowMessage(kTaskbarCreatedMessage);
    p_.probe.reportLateAnswersTo(window_, kDriveAnsweredMsg);
    pump();
    if (ended()) return true;
    s_.systemSettings.ApplyStartupSettings();
    pump();
    if (ended()) return true;
    RebuildTray();
    if (ended()) return true;
    SaveWindowHandle(p_.profile, s_.paths, window_);
    savedHandle_ = window_;
    refreshDlist();
    if (ended()) return true;
    registerHotkey();
    if (ended()) return true;
    s_.log.WriteLog(TrayText::LogStarted);
    s_.log.WriteLog(Phrase(TrayText::LogVersion, {Words{s_.versionText}}));
    if (ended()) return true;
    state_ = State::Running;
    pump();
    if (ended()) return true;
    s_.update.setQuietUpdate(true);
    s_.update.StartCheckUpdate();
    return true;
}

std::optional<std::intptr_t> TrayApp::windowProc(std::uint32_t msg, std::uintptr_t wParam,
                                                 std::intptr_t lParam) {
    if (ended()) return std::nullopt;
    if (msg == kDriveEjectedByCommandMsg) {
        // Only a mark is kept, so it is taken whatever runs meanwhile.
        commandEject(wParam, lParam);
        return 0;
    }
    if (msg == kDriveAnsweredMsg) {
        // A drive answered after its refresh stopped waiting: the answer is
        // kept for a refresh now, or right after the one under way.
        table_.lateAnswer(static_cast<char>(wParam));
        if (!refreshBusy_) refreshForLateAnswers();
        return 0;
    }
    // These two broadcasts are never lost: while a refresh has the handler
    // out of play they are remembered and acted on when it ends.
    if (msg == kWmDeviceChange) {
        onDeviceChange();
        return std::nullopt;
    }
    if (taskbarCreatedMsg_ != 0 && msg == taskbarCreatedMsg_) {
        onTaskbarCreated();
        return std::nullopt;
    }
    if (msg == kWmHotkey && wParam == static_cast<std::uintptr_t>(kEjectAllHotkeyId)) {
        // A key press is not lost to a refresh: it runs when that ends.
        if (refreshBusy_ || !handlerInstalled_) {
            ejectAllPending_ = true;
        } else {
            ejectAll();
        }
        return 0;
    }
    if (!handlerInstalled_) return std::nullopt;
    if (msg == kWmCommand) {
        runCommand(wParam);
        return std::nullopt;
    }
    if (msg == kQuitRequestMsg) {
        if (wParam == kQuitRequestParam) {
            pump();
            if (ended()) return std::nullopt;
            s_.log.WriteLog(TrayText::LogInstallerQuit);
            QuitApp();
        }
        return std::nullopt;
    }
    if (msg == kTrayCallbackMsg) {
        if (lParam == kWmLButtonUp || lParam == kWmRButtonUp) {
            // The menu about to show asks the system for its switches.
            menu_.popAppMenu(window_, [this] {
                menuSwitchesKnown_ = false;
                refreshDlist();
            });
        }
        return 0;
    }
    if (msg == static_cast<std::uint32_t>(kWmRButtonUp)) {
        menu_.popAtMainWindow(window_);
        return std::nullopt;
    }
    return std::nullopt;
}

void TrayApp::onDeviceChange() {
    if (refreshBusy_ || !handlerInstalled_) {
        deviceChangePending_ = true;
        return;
    }
    refreshDlist();
}

void TrayApp::onTaskbarCreated() {
    if (refreshBusy_ || !handlerInstalled_) {
        trayRebuildPending_ = true;
        return;
    }
    RebuildTray();
}

void TrayApp::runCommand(std::uintptr_t wParam) {
    // Menu ids are 16-bit; ranges are signed and half-open.
    const auto id = static_cast<std::int32_t>(static_cast<std::int16_t>(wParam & 0xFFFF));
    if (const auto drive = DriveCommandOf(static_cast<std::uintptr_t>(static_cast<std::intptr_t>(id)))) {
        runDriveCommand(drive->command, drive->index, static_cast<std::uint32_t>(id));
        return;
    }
    // The switches change under the command: whatever refresh runs next
    // asks the system again.
    const bool switches = id >= static_cast<std::int32_t>(menuid::kStopAutoPlay) &&
                          id <= static_cast<std::int32_t>(menuid::kDisableAutoStart);
    if (switches) menuSwitchesKnown_ = false;
    runMenuCommand(id);
    if (switches) menuSwitchesKnown_ = false;
}

void TrayApp::runMenuCommand(std::int32_t id) {
    if (id < 0) return;
    switch (static_cast<std::uint32_t>(id)) {
        case menuid::kAbout:
            pump();
            s_.helpers.ShowAbout();
            break;
        case menuid::kStopAutoPlay:
        case menuid::kStartAutoPlay:
            switchAutoPlay(static_cast<std::uint32_t>(id) == menuid::kStartAutoPlay);
            break;
        case menuid::kEnableAutoStart:
            pump();
            s_.log.WriteLog(TrayText::LogAutoStartOn);
            s_.systemSettings.EnableAutoStart();
            break;
        case menuid::kDisableAutoStart:
            pump();
            s_.log.WriteLog(TrayText::LogAutoStartOff);
            s_.systemSettings.DisableAutoStart();
            break;
        case menuid::kHomePage:
            pump();
            s_.helpers.OpenHomePage();
            break;
        case menuid::kQuit:
            pump();
            QuitApp();
            break;
        case menuid::kReload:
            pump();
            refreshDlist();
            break;
        case menuid::kSettings:
            pump();
            if (settingsList_ != nullptr && !ended()) settingsList_->ShowSettingsWindow();
            break;
        case menuid::kViewLog:
            pump();
            s_.helpers.ViewLog();
            break;
        case menuid::kEjectAll:
            ejectAll();
            break;
        case menuid::kCheckUpdate:
            pump();
            if (!ended()) s_.update.StartCheckUpdate();
            break;
        default:
            break;
    }
}

void TrayApp::switchAutoPlay(bool on) {
    pump();
    // From the menu a change this user may not make asks for consent.
    const SwitchOutcome outcome =
        on ? s_.systemSettings.StartAutoPlayService(true) : s_.systemSettings.StopAutoPlayService(true);
    pump();
    if (outcome == SwitchOutcome::Busy || ended()) return;
    if (outcome == SwitchOutcome::Done) {
        informationNotice(Text(on ? TrayText::NoticeAutoPlayOn : TrayText::NoticeAutoPlayOff),
                          NoticePicture::OK);
    } else {
        informationNotice(AutoPlayFailureText(on, outcome).str(), NoticePicture::Warning);
    }
}

const DriveEntry* TrayApp::commandDrive(std::size_t j, std::uint32_t id) {
    if (const auto picked = menu_.takePickedDrive(id)) {
        return table_.find(picked->letter, picked->serial);
    }
    // The table may have shrunk since the id was made: such ids run nothing.
    return table_.at(j);
}

void TrayApp::runDriveCommand(DriveCommand command, std::size_t j, std::uint32_t id) {
    const DriveEntry* current = commandDrive(j, id);
    // An eject lets messages run while it waits between its attempts; a
    // drive command picked meanwhile is refused, not started inside it.
    if (ejecting_ || current == nullptr) return;
    // A copy: every handler below pumps, and a refresh in there rebuilds the table.
    const DriveEntry entry = *current;
    const std::string& root = entry.Root;
    switch (command) {
        case DriveCommand::Browse:
            p_.processes.close(
                p_.processes.start(ExplorerCommand(p_.processes) + " " + root, kShowNormal, {}));
            refreshDlist();
            break;
        case DriveCommand::OpenCdTray:
        case DriveCommand::CloseCdTray: {
            pump();
            const auto skip = [this, &entry] { expectRemoval(entry, true); };
            if (command == DriveCommand::OpenCdTray) {
                OpenCdTray(p_.mci, p_.loop, entry.letter(), skip);
            } else {
                CloseCdTray(p_.mci, p_.loop, entry.letter(), skip);
            }
            pump();
            s_.helpers.TrimMemory();
            break;
        }
        case DriveCommand::Immunise:
            s_.immunisation.ImmuniseDrive(std::string(1, entry.letter()));
            break;
        case DriveCommand::RemoveImmunity:
            s_.immunisation.RemoveImmunity(std::string(1, entry.letter()));
            break;
        case DriveCommand::SafeEject:
        case DriveCommand::ForceEject:
            runEject(entry, command == DriveCommand::ForceEject);
            break;
    }
}

EjectOutcome TrayApp::runEject(const DriveEntry& entry, bool forced) {
    ejecting_ = true;
    ejectTarget_ = &entry;
    const EjectOutcome outcome =
        forced ? s_.eject.ForceEjectDrive(entry.Label, entry.Root)
               : (s_.eject.SafeEjectDrive(entry.Label, entry.Root) ? EjectOutcome::Removed
                                                                   : EjectOutcome::Failed);
    ejectTarget_ = nullptr;
    ejecting_ = false;
    settleRemoval(entry.letter(), outcome == EjectOutcome::Removed);
    return outcome;
}

EjectOutcome TrayApp::ejectAgain(char letter, const std::string& serial, bool forced) {
    if (ended()) return EjectOutcome::DriveGone;
    // As a menu command is not run while a refresh rebuilds the table.
    if (ejecting_ || refreshBusy_) return EjectOutcome::Busy;
    const DriveEntry* current = table_.find(letter, serial);
    if (current == nullptr) return EjectOutcome::DriveGone;
    const DriveEntry entry = *current;
    return runEject(entry, forced);
}

void TrayApp::ejectRefused(const RefusedEject& refused) {
    if (ended() || blockerWindows_ == nullptr || ejectTarget_ == nullptr) return;
    // Read at each refusal: a change to the file counts at once.
    if (!ReadShowBlockers(p_.profile, s_.paths)) return;
    blockerWindows_->showHolders(HeldDrive{ejectTarget_->letter(), ejectTarget_->Serial,
                                           refused.label, refused.root, refused.query,
                                           refused.blockers});
}

void TrayApp::ejectAll() {
    if (ejecting_ || ended()) return;
    // Taken by identity now: every eject lets messages run, and a refresh
    // in there rebuilds the table under whatever indexes it likes.
    std::vector<EjectTarget> targets;
    for (const DriveEntry& e : table_.entries()) {
        if (EjectAllTakes(e)) targets.push_back(EjectTargetOf(e));
    }
    // The hotkey works whatever the menu shows: it gets an answer too.
    if (targets.empty()) {
        informationNotice(Text(TrayText::NothingToEject), NoticePicture::OK);
        return;
    }
    ejecting_ = true;
    const EjectAllOutcome outcome = EjectEach(
        targets,
        EjectAllSteps{[this](const EjectTarget& wanted) -> std::optional<EjectTarget> {
                          const DriveEntry* now = table_.find(wanted.letter, wanted.serial);
                          if (now == nullptr) return std::nullopt;
                          return EjectTargetOf(*now);
                      },
                      [this](const EjectTarget& target) { return ejectOne(target); },
                      [this] { return ended(); }});
    ejecting_ = false;
    if (outcome.stopped || ended()) return;
    const Phrase text = EjectAllSummaryText(outcome);
    informationNotice(text.str(),
                      outcome.refused.empty() ? NoticePicture::OK : NoticePicture::Warning);
    s_.log.WriteLog(text);
}

bool TrayApp::ejectOne(const EjectTarget& target) {
    // Looked up again by identity: the copy outlives any refresh inside.
    const DriveEntry* found = table_.find(target.letter, target.serial);
    if (found == nullptr) return false;
    const DriveEntry entry = *found;
    ejectTarget_ = &entry;
    const bool removed = s_.eject.SafeEject(entry.Label, entry.Root).ok();
    ejectTarget_ = nullptr;
    settleRemoval(entry.letter(), removed);
    return removed;
}

void TrayApp::registerHotkey() {
    const std::string setting = ReadHotkeyEjectAll(p_.profile, s_.paths);
    const auto problem = RegisterHotkeySetting(p_.shell, window_, kEjectAllHotkeyId, setting);
    hotkeyRegistered_ = !problem && !TrimBlanks(setting).empty();
    if (!problem) return;
    // Said once, at start-up; the program runs on without it.
    s_.log.WriteLog(*problem);
    informationNotice(problem->str(), NoticePicture::Warning);
}

void TrayApp::RebuildTray() {
    if (ended()) return;
    trayRebuildPending_ = false;
    tray_.reset();
    tray_.emplace(p_.shell, p_.codePage);
    const std::string tip = s_.noticeTitle + "\r\n" + Text(TrayText::TrayTipSecondLine);
    tray_->AddTrayAndInfo(window_, host_.programIcon(), tip, "", "", kTrayFlags, kNiifWarning);
    // Taking the foreground from a full-screen program would let the
    // notices of the refresh below open over it.
    if (!IsFullScreenAppActive(p_.desktop)) p_.shell.setForegroundWindow(window_);
    s_.log.WriteLog(TrayText::LogTrayBuilt);
    refreshDlist();
}

void TrayApp::informationNotice(const std::string& text, NoticePicture picture) {
    s_.gate.ShowNotice(s_.noticeTitle, text, picture, kNoticeInformation, kNoticeKeyTip);
}

void TrayApp::refreshDlist() {
    if (refreshBusy_ || ended()) return;
    refreshBusy_ = true;
    pump();
    beginRefresh();
    // A drive that comes while the letters are gone through is seen by the
    // refresh that its arrival asks for, once this one ends.
    deviceChangePending_ = false;
    const std::uint32_t mapped = p_.files.mappedDrives();
    // A drive that does not answer must not hold the program up: its volume
    // data is asked for off this thread, with a bound.
    table_.askVolumes(mapped, [this] { return ended(); }, lateAnswersOnly_);
    for (char letter = 'C'; letter <= 'Z' && !ended(); ++letter) {
        if (DriveIn(mapped, letter)) examineDrive(letter);
    }
    if (!ended()) finishRefresh();
    refreshBusy_ = false;
    listFilling_ = false;
    if (ended()) return;
    s_.helpers.TrimMemory();
    runWhatWaited();
}

void TrayApp::beginRefresh() {
    table_.reset();
    // Messages for the program are not handled while the drive state is
    // rebuilt; a device change or new shell in that window is remembered,
    // a click absorbed.
    handlerInstalled_ = false;
    menu_.detach(window_);
    // Asking the service manager is the slowest step of a refresh; the
    // switches are asked for when the menu is about to show, or changed.
    if (!menuSwitchesKnown_) {
        autoPlayOn_ = s_.systemSettings.IsAutoPlayServiceOn();
        autoStartOn_ = s_.systemSettings.IsAutoStartEnabled();
        menuSwitchesKnown_ = true;
    }
    menu_.BeginMenu(s_.noticeTitle, kHomePageUrl, autoPlayOn_, autoStartOn_);
    listFilling_ = settingsList_ != nullptr && settingsList_->IsSettingsWindowOpen();
    if (listFilling_) settingsList_->aClearAll();
}

void TrayApp::finishRefresh() {
    menu_.Finish();
    menu_.attach(window_);
    handlerInstalled_ = true;
    // Each profile write rewrites Setting.ini: only a handle that is not
    // there yet is written.
    if (savedHandle_ != window_ || !p_.files.fileExists(s_.paths.settingIni())) {
        SaveWindowHandle(p_.profile, s_.paths, window_);
        savedHandle_ = window_;
    }
    // A window listing who holds a drive that went has nothing left to do.
    if (blockerWindows_ != nullptr) {
        blockerWindows_->keepDrives([this](char letter, const std::string& serial) {
            return table_.find(letter, serial) != nullptr;
        });
    }
    pump();
    if (!ended()) reportRemovals();
    pump();
    // Unlike a table of two drives or more only, every table is remembered:
    // on a machine with drive C: alone the first stick is announced too.
    table_.GetOldDisk();
}

void TrayApp::runWhatWaited() {
    // What waited meanwhile has every drive asked again.
    if (trayRebuildPending_ || listRefreshPending_ || deviceChangePending_) lateAnswersOnly_ = false;
    // A new shell came meanwhile: the icon goes back, and the refresh that
    // brings with it covers everything else that waited.
    if (trayRebuildPending_) {
        RebuildTray();
        return;
    }
    if (listRefreshPending_ || deviceChangePending_) {
        listRefreshPending_ = false;
        refreshDlist();
    }
    refreshForLateAnswers();
    if (ejectAllPending_ && !refreshBusy_ && !ended()) {
        ejectAllPending_ = false;
        ejectAll();
    }
}

void TrayApp::refreshForLateAnswers() {
    if (refreshBusy_ || ended() || !table_.lateAnswersWaiting()) return;
    // Only the drives that answered late are asked; the others give their
    // last answers again.
    lateAnswersOnly_ = true;
    refreshDlist();
    lateAnswersOnly_ = false;
}

void TrayApp::expectRemoval(const DriveEntry& drive, bool settled, bool byCommand) {
    expectedRemovals_.push_back(
        ExpectedRemoval{drive.letter(), drive.Serial, drive.caption(), settled, byCommand});
}

void TrayApp::settleRemoval(char letter, bool removed, bool byCommand) {
    for (auto it = expectedRemovals_.begin(); it != expectedRemovals_.end();) {
        if (it->letter != letter || it->settled || it->byCommand != byCommand) {
            ++it;
        } else if (removed) {
            (it++)->settled = true;
        } else {
            // A drive that stayed may still be pulled out by hand: that is
            // reported like any other.
            it = expectedRemovals_.erase(it);
        }
    }
}

void TrayApp::commandEject(std::uintptr_t letter, std::intptr_t step) {
    if (letter < 'A' || letter > 'Z') return;
    const char drive = static_cast<char>(letter);
    switch (static_cast<CommandEjectStep>(step)) {
        case CommandEjectStep::Leaving:
            // The drive as the table shows it now; during a refresh that has
            // not reached it yet there is none, and its removal is reported.
            for (const DriveEntry& entry : table_.entries()) {
                if (entry.letter() == drive) {
                    expectRemoval(entry, false, true);
                    break;
                }
            }
            break;
        case CommandEjectStep::Removed:
            settleRemoval(drive, true, true);
            break;
        case CommandEjectStep::Stayed:
            settleRemoval(drive, false, true);
            break;
    }
}

TrayApp::ExpectedRemoval* TrayApp::expectedRemoval(const GoneDrive& gone) {
    for (ExpectedRemoval& r : expectedRemovals_) {
        if ((!r.serial.empty() && r.serial == gone.serial) || r.caption == gone.caption) return &r;
    }
    return nullptr;
}

void TrayApp::reportRemovals() {
    for (const GoneDrive& gone : table_.DetectUnloadDisk()) {
        if (ExpectedRemoval* expected = expectedRemoval(gone)) {
            // The command line's eject has done what it announced: its mark
            // goes now, so that one it never settles (a command ended by
            // force) cannot hide a later pull-out of the drive.
            if (expected->byCommand) expected->settled = true;
            continue;
        }
        const Phrase text(TrayText::DriveRemoved, {Words{gone.caption}});
        informationNotice(text.str(), NoticePicture::Warning);
        s_.log.WriteLog(text);
    }
    // A removal that is done has had its refresh. One still under way (a
    // refresh inside an eject's waits) keeps its mark for the device change
    // the eject itself brings about.
    std::erase_if(expectedRemovals_, [](const ExpectedRemoval& r) { return r.settled; });
}

void TrayApp::requestListRefresh() {
    if (ended()) return;
    if (refreshBusy_) {
        listRefreshPending_ = true;
        return;
    }
    refreshDlist();
}

void TrayApp::examineDrive(char letter) {
    DriveEntry entry = table_.examine(letter);
    // A drive whose question is still open is not touched: its menu entry
    // shows what was last known.
    if (entry.answered && entry.menuBus) {
        entry.immunised = IsImmunised(p_.files, std::string(1, letter));
    }
    table_.add(entry);
    const std::string caption = entry.caption();
    if (entry.DriveKind != kDriveKindCd && entry.IsReady) {
        locator_.write(window_, std::string(1, letter));
    }
    // Nothing is announced of a drive before it has answered, nor of a
    // drive without a medium unless it is a disc drive: an empty
    // card-reader slot is no news.
    const bool isCd = entry.DriveKind == kDriveKindCd;
    if (entry.answered && (entry.IsReady || isCd) && !table_.FindSernum(caption, entry.Serial)) {
        const bool emptyCd = isCd && !entry.IsReady;
        const Phrase text(emptyCd ? TrayText::DriveNoMedium : TrayText::DriveArrived,
                          {Words{caption}});
        informationNotice(text.str(), NoticePicture::OK);
        s_.log.WriteLog(text);
    }
    if (ended()) return;
    // A window opened during this refresh was not cleared by it: the
    // refresh it asked for fills it afterwards.
    if (listFilling_ && settingsList_->IsSettingsWindowOpen() && entry.listBus && entry.IsReady &&
        entry.DriveKind != kDriveKindCd) {
        settingsList_->AddItem(entry.Root, caption, entry.Serial);
    }
    if (entry.menuBus) {
        menu_.AddDriveSubmenu(caption, table_.entries().size() - 1, entry.DriveKind == kDriveKindCd,
                              entry.immunised, DriveRef{letter, entry.Serial},
                              EjectAllTakes(entry));
    }
    if (entry.IsReady && entry.DriveKind != kDriveKindCd) applyDrivePolicy(entry);
    pump();
    pump();
}

void TrayApp::applyDrivePolicy(const DriveEntry& entry) {
    const std::string autorun = entry.Root + "autorun.inf";
    if (p_.files.fileExists(autorun)) {
        const bool cleared = DeleteFileIfExists(p_.files, autorun);
        const Phrase text = cleared ? AutorunClearedText(entry.Label, entry.driveName())
                                    : AutorunNotClearedText(entry.Label, entry.driveName());
        informationNotice(text.str(), cleared ? NoticePicture::OK : NoticePicture::Warning);
        s_.log.WriteLog(text);
    }
    if (ended() || IsImmunised(p_.files, std::string(1, entry.letter()))) return;
    const VolumePolicy policy = ReadVolumePolicy(p_.profile, s_.paths.diskIni(), entry.Serial);
    if (!policy.remembered) {
        s_.gate.ShowNotice(
            s_.noticeTitle,
            Text(TrayText::AskImmunise, {entry.caption()}),
            NoticePicture::Ask, kNoticeQuestion, std::string(1, entry.letter()));
    } else if (policy.immunise) {
        pump();
        s_.immunisation.ImmuniseDrive(entry.Root);
    }
}

void TrayApp::QuitApp() {
    if (ended()) return;
    handlerInstalled_ = false;
    host_.unloadMainWindow();
    // A host whose window was already gone does not report the unload.
    onMainWindowUnloaded();
}

void TrayApp::onMainWindowUnloaded() {
    if (ended()) return;
    state_ = State::Ending;
    s_.log.WriteLog(TrayText::LogQuit);
    handlerInstalled_ = false;
    menu_.shutdown(window_);
    if (hotkeyRegistered_) p_.shell.unregisterHotkey(window_, kEjectAllHotkeyId);
    hotkeyRegistered_ = false;
    tray_.reset();
    // A check waiting for the server stops at its next look.
    s_.DL1.Cancel();
    if (blockerWindows_ != nullptr) blockerWindows_->closeAll();
    host_.unloadOtherWindows();
    state_ = State::Ended;
}

}  // namespace qm
