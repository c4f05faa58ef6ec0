#include "core/tray_app.h"

#include <algorithm>

#include "core/texts.h"
#include "core/version.h"
#include "drives/cd_door.h"
#include "drives/immunisation.h"
#include "drives/texts.h"
#include "settings/ini.h"

namespace qm {

TrayApp::TrayApp(TrayPlatform platform, MainWindowHost& host, PopupFactory& popups,
                 TrayMenuPort& menuPort, std::string installDir, std::string versionText)
    : p_(platform),
      host_(host),
      paths_(std::move(installDir)),
      versionText_(std::move(versionText)),
      noticeTitle_(NoticeTitle(versionText_)),
      log_(p_.files, p_.codePage, p_.loop, paths_.logTxt()),
      gate_(p_.desktop, log_, popups),
      services_(p_.serviceManager),
      helpers_(SystemHelpersDeps{p_.files, p_.loop, p_.processes, p_.shell, log_, gate_, paths_},
               noticeTitle_, [this] { refreshDlist(); }),
      systemSettings_(SystemSettingsDeps{p_.profile, p_.files, p_.registry, p_.codePage, p_.loop,
                                         log_, services_, gate_, p_.processes, helpers_, paths_},
                      noticeTitle_, [this] { refreshDlist(); }),
      immunisation_(ImmunisationDeps{p_.files, p_.loop, log_, gate_}, noticeTitle_,
                    [this] { refreshDlist(); }),
      eject_(EjectDeps{p_.storage, p_.loop, log_, gate_, helpers_, p_.shell, p_.processes,
                       p_.blockers},
             noticeTitle_,
             [this] {
                 if (ejectTarget_ != nullptr) expectRemoval(*ejectTarget_, false);
             }),
      prompts_(p_.shell),
      DL1_(DownLoadDeps{p_.http, p_.files, p_.loop, prompts_, text::kAppTitle}),
      update_(UpdateCheckDeps{DL1_, p_.files, p_.profile, p_.processes, p_.loop, log_, gate_,
                              helpers_, paths_},
              versionText_, noticeTitle_, [this] { return ended(); }),
      locator_(p_.profile, p_.files, paths_),
      table_(p_.probe, p_.loop),
      menu_(menuPort, p_.loop) {
    eject_.setRefusals(this);
}

bool TrayApp::startup() {
    state_ = State::Starting;
    if (!p_.instanceLock.acquire(kInstanceLockName)) {
        pump();
        log_.WriteLog(text::kLogDuplicate);
        state_ = State::Ended;
        return false;
    }
    window_ = host_.createMainWindow(noticeTitle_);
    // From here on a new shell's broadcast is known: one that comes while
    // the tray is first built must not leave the program without an icon.
    taskbarCreatedMsg_ = p_.shell.registerWindowMessage(text::kTaskbarCreated);
    p_.probe.reportLateAnswersTo(window_, kDriveAnsweredMsg);
    pump();
    if (ended()) return true;
    systemSettings_.ApplyStartupSettings();
    pump();
    if (ended()) return true;
    RebuildTray();
    if (ended()) return true;
    SaveWindowHandle(p_.profile, paths_, window_);
    savedHandle_ = window_;
    refreshDlist();
    if (ended()) return true;
    log_.WriteLog(text::kLogStarted);
    log_.WriteLog(std::string(text::kLogVersionPrefix) + versionText_);
    if (ended()) return true;
    state_ = State::Running;
    pump();
    if (ended()) return true;
    update_.setQuietUpdate(true);
    update_.StartCheckUpdate();
    return true;
}

std::optional<std::intptr_t> TrayApp::windowProc(std::uint32_t msg, std::uintptr_t wParam,
                                                 std::intptr_t lParam) {
    if (ended()) return std::nullopt;
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
    if (!handlerInstalled_) return std::nullopt;
    if (msg == kWmCommand) {
        runCommand(wParam);
        return std::nullopt;
    }
    if (msg == kQuitRequestMsg) {
        if (wParam == kQuitRequestParam) {
            pump();
            if (ended()) return std::nullopt;
            log_.WriteLog(text::kLogInstallerQuit);
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
    if (id >= 1000 && id < 8000) {
        runDriveCommand(id / 1000, static_cast<std::size_t>(id % 1000),
                        static_cast<std::uint32_t>(id));
        return;
    }
    // The switches change under the command: whatever refresh runs next
    // asks the system again.
    const bool switches = id >= 501 && id <= 504;
    if (switches) menuSwitchesKnown_ = false;
    runMenuCommand(id);
    if (switches) menuSwitchesKnown_ = false;
}

void TrayApp::runMenuCommand(std::int32_t id) {
    switch (id) {
        case 500:
            pump();
            helpers_.ShowAbout();
            break;
        case 501:
        case 502:
            switchAutoPlay(id == 502);
            break;
        case 503:
            pump();
            log_.WriteLog(text::kLogAutoStartOn);
            systemSettings_.EnableAutoStart();
            break;
        case 504:
            pump();
            log_.WriteLog(text::kLogAutoStartOff);
            systemSettings_.DisableAutoStart();
            break;
        case 505:
            pump();
            helpers_.OpenHomePage();
            break;
        case 506:
            pump();
            QuitApp();
            break;
        case 601:
            pump();
            refreshDlist();
            break;
        case 602:
            pump();
            if (settingsList_ != nullptr && !ended()) settingsList_->ShowSettingsWindow();
            break;
        case 603:
            pump();
            helpers_.ViewLog();
            break;
        case 700:
            pump();
            if (!ended()) update_.StartCheckUpdate();
            break;
        default:
            break;
    }
}

void TrayApp::switchAutoPlay(bool on) {
    pump();
    // From the menu a change this user may not make asks for consent.
    const SwitchOutcome outcome =
        on ? systemSettings_.StartAutoPlayService(true) : systemSettings_.StopAutoPlayService(true);
    pump();
    if (outcome == SwitchOutcome::Busy || ended()) return;
    if (outcome == SwitchOutcome::Done) {
        informationNotice(on ? text::kNoticeAutoPlayOn : text::kNoticeAutoPlayOff,
                          NoticePicture::OK);
    } else {
        informationNotice(AutoPlayFailureText(on, outcome), NoticePicture::Warning);
    }
}

const DriveEntry* TrayApp::commandDrive(std::size_t j, std::uint32_t id) {
    if (const auto picked = menu_.takePickedDrive(id)) {
        return table_.find(picked->letter, picked->serial);
    }
    // The table may have shrunk since the id was made: such ids run nothing.
    return table_.at(j);
}

void TrayApp::runDriveCommand(int range, std::size_t j, std::uint32_t id) {
    const DriveEntry* current = commandDrive(j, id);
    // An eject lets messages run while it waits between its attempts; a
    // drive command picked meanwhile is refused, not started inside it.
    if (ejecting_ || current == nullptr) return;
    // A copy: every handler below pumps, and a refresh in there rebuilds the table.
    const DriveEntry entry = *current;
    const std::string& root = entry.Root;
    switch (range) {
        case 1:
            p_.processes.close(
                p_.processes.start(ExplorerCommand(p_.processes) + " " + root, kShowNormal, {}));
            refreshDlist();
            break;
        case 2:
        case 3: {
            pump();
            const auto skip = [this, &entry] { expectRemoval(entry, true); };
            if (range == 2) {
                OpenCdTray(p_.mci, p_.loop, entry.letter(), skip);
            } else {
                CloseCdTray(p_.mci, p_.loop, entry.letter(), skip);
            }
            pump();
            helpers_.TrimMemory();
            break;
        }
        case 5:
            immunisation_.ImmuniseDrive(std::string(1, entry.letter()));
            break;
        case 6:
            immunisation_.RemoveImmunity(std::string(1, entry.letter()));
            break;
        case 4:
        case 7:
            runEject(entry, range == 7);
            break;
        default:
            break;
    }
}

EjectOutcome TrayApp::runEject(const DriveEntry& entry, bool forced) {
    ejecting_ = true;
    ejectTarget_ = &entry;
    const EjectOutcome outcome =
        forced ? eject_.ForceEjectDrive(entry.Label, entry.Root)
               : (eject_.SafeEjectDrive(entry.Label, entry.Root) ? EjectOutcome::Removed
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
    if (!ShowBlockersWindow(p_.profile, paths_)) return;
    blockerWindows_->showHolders(HeldDrive{ejectTarget_->letter(), ejectTarget_->Serial,
                                           refused.label, refused.root, refused.query,
                                           refused.blockers});
}

void TrayApp::RebuildTray() {
    if (ended()) return;
    trayRebuildPending_ = false;
    tray_.reset();
    tray_.emplace(p_.shell, p_.codePage);
    const std::string tip = noticeTitle_ + "\r\n" + text::kTrayTipSecondLine;
    tray_->AddTrayAndInfo(window_, host_.programIcon(), tip, "", "", kTrayFlags, kNiifWarning);
    // Taking the foreground from a full-screen program would let the
    // notices of the refresh below open over it.
    if (!IsFullScreenAppActive(p_.desktop)) p_.shell.setForegroundWindow(window_);
    log_.WriteLog(text::kLogTrayBuilt);
    refreshDlist();
}

void TrayApp::informationNotice(const std::string& text, NoticePicture picture) {
    gate_.ShowNotice(noticeTitle_, text, picture, kNoticeInformation, kNoticeKeyTip);
}

void TrayApp::refreshDlist() {
    if (refreshBusy_ || ended()) return;
    refreshBusy_ = true;
    pump();
    table_.reset();
    // Messages for the program are not handled while the drive state is
    // rebuilt; a device change or click in that window is absorbed.
    handlerInstalled_ = false;
    menu_.detach(window_);
    // Asking the service manager is the slowest step of a refresh; the
    // switches are asked for when the menu is about to show, or changed.
    if (!menuSwitchesKnown_) {
        autoPlayOn_ = systemSettings_.IsAutoPlayServiceOn();
        autoStartOn_ = systemSettings_.IsAutoStartEnabled();
        menuSwitchesKnown_ = true;
    }
    menu_.BeginMenu(noticeTitle_, kHomePageUrl, autoPlayOn_, autoStartOn_);
    listFilling_ = settingsList_ != nullptr && settingsList_->IsSettingsWindowOpen();
    if (listFilling_) settingsList_->aClearAll();
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
    if (ended()) {
        refreshBusy_ = false;
        listFilling_ = false;
        return;
    }
    menu_.Finish();
    menu_.attach(window_);
    handlerInstalled_ = true;
    // Each profile write rewrites Setting.ini: only a handle that is not
    // there yet is written.
    if (savedHandle_ != window_ || !p_.files.fileExists(paths_.settingIni())) {
        SaveWindowHandle(p_.profile, paths_, window_);
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
    refreshBusy_ = false;
    listFilling_ = false;
    helpers_.TrimMemory();
    if (ended()) return;
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
}

void TrayApp::refreshForLateAnswers() {
    if (refreshBusy_ || ended() || !table_.lateAnswersWaiting()) return;
    // Only the drives that answered late are asked; the others give their
    // last answers again.
    lateAnswersOnly_ = true;
    refreshDlist();
    lateAnswersOnly_ = false;
}

void TrayApp::expectRemoval(const DriveEntry& drive, bool settled) {
    expectedRemovals_.push_back(
        ExpectedRemoval{drive.letter(), drive.Serial, drive.caption(), settled});
}

void TrayApp::settleRemoval(char letter, bool removed) {
    for (auto it = expectedRemovals_.begin(); it != expectedRemovals_.end();) {
        if (it->letter != letter || it->settled) {
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

bool TrayApp::removalExpected(const GoneDrive& gone) const {
    for (const ExpectedRemoval& r : expectedRemovals_) {
        if ((!r.serial.empty() && r.serial == gone.serial) || r.caption == gone.caption) return true;
    }
    return false;
}

void TrayApp::reportRemovals() {
    for (const GoneDrive& gone : table_.DetectUnloadDisk()) {
        if (removalExpected(gone)) continue;
        const std::string text = gone.caption + text::kDriveRemoved;
        informationNotice(text, NoticePicture::Warning);
        log_.WriteLog(text);
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
        const std::string text = caption + (emptyCd ? text::kDriveNoMedium : text::kDriveArrived);
        informationNotice(text, NoticePicture::OK);
        log_.WriteLog(text);
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
                              entry.immunised, DriveRef{letter, entry.Serial});
    }
    if (entry.IsReady && entry.DriveKind != kDriveKindCd) applyDrivePolicy(entry);
    pump();
    pump();
}

void TrayApp::applyDrivePolicy(const DriveEntry& entry) {
    const std::string autorun = entry.Root + "autorun.inf";
    if (p_.files.fileExists(autorun)) {
        const bool cleared = DeleteFileIfExists(p_.files, autorun);
        const std::string text = cleared ? AutorunClearedText(entry.Label, entry.driveName())
                                         : AutorunNotClearedText(entry.Label, entry.driveName());
        informationNotice(text, cleared ? NoticePicture::OK : NoticePicture::Warning);
        log_.WriteLog(text);
    }
    if (ended() || IsImmunised(p_.files, std::string(1, entry.letter()))) return;
    const std::string disk = paths_.diskIni();
    if (!IniFlagIsSet(ReadIniString(p_.profile, disk, entry.Serial, kKeyRemember, "0"))) {
        gate_.ShowNotice(
            noticeTitle_,
            std::string(text::kAskImmunise) + entry.Label + " (" + entry.driveName() + ")",
            NoticePicture::Ask, kNoticeQuestion, std::string(1, entry.letter()));
    } else if (IniFlagIsSet(ReadIniString(p_.profile, disk, entry.Serial, kKeyMakeDir, "0"))) {
        pump();
        immunisation_.ImmuniseDrive(entry.Root);
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
    log_.WriteLog(text::kLogQuit);
    handlerInstalled_ = false;
    menu_.shutdown(window_);
    tray_.reset();
    // A check waiting for the server stops at its next look.
    DL1_.Cancel();
    if (blockerWindows_ != nullptr) blockerWindows_->closeAll();
    host_.unloadOtherWindows();
    state_ = State::Ended;
}

}  // namespace qm
