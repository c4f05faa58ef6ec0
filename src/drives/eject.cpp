#include "drives/eject.h"

#include <array>

#include "drives/blocker_search.h"
#include "drives/drive_identification.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

constexpr char kShellName[] = "explorer.exe";
// Minimised, keeping the focus: the new shell does not take over the screen.
constexpr int kShowMinimisedWithFocus = 2;
// Nothing but queries: opening the volume must not lock it.
constexpr std::uint32_t kQueryOnly = 0;
constexpr std::uint32_t kNoDeviceNumber = 0xFFFFFFFF;
// Between two attempts to end the shell, time for it to go.
constexpr std::uint32_t kShellStopStepMs = 100;

Phrase blockedText(const std::string& displayName, const EjectResult& result) {
    std::string why = VetoTypeName(result.vetoType);
    if (!result.vetoName.empty()) why += " " + result.vetoName;
    return Phrase(TrayText::LogEjectBlocked, {Words{displayName}, Words{why}});
}

}  // namespace

std::string VetoTypeName(int vetoType) {
    static constexpr std::array<const char*, 13> kNames = {"Unknown",
                                                           "LegacyDevice",
                                                           "PendingClose",
                                                           "WindowsApp",
                                                           "WindowsService",
                                                           "OutstandingOpen",
                                                           "Device",
                                                           "Driver",
                                                           "IllegalDeviceRequest",
                                                           "InsufficientPower",
                                                           "NonDisableable",
                                                           "LegacyDriver",
                                                           "InsufficientRights"};
    if (vetoType < 0 || vetoType >= static_cast<int>(kNames.size())) return kNames[0];
    return kNames[static_cast<std::size_t>(vetoType)];
}

std::string EjectedText(const std::string& displayName) {
    return Text(TrayText::Ejected, {displayName});
}

std::string SafeEjectFailureText(const std::string& displayName) {
    return Text(TrayText::SafeEjectFailed, {displayName});
}

std::string EjectDisplayName(const std::string& label, const std::string& root) {
    return label + "(" + root.substr(0, 2) + ")";
}

EjectResult EjectVolume(Storage& storage, const std::function<void(std::uint32_t)>& wait,
                        const std::string& volumePath) {
    EjectResult result;
    if (volumePath.size() < 2) return result;
    const char letter = volumePath[volumePath.size() - 2];

    std::uint32_t deviceNumber = kNoDeviceNumber;
    {
        ScopedDevice volume(storage, storage.openDevice(volumePath, kQueryOnly));
        if (!volume) return result;
        if (const auto number = QueryDeviceNumber(storage, volume.get())) {
            deviceNumber = number->deviceNumber;
        }
    }
    if (deviceNumber == kNoDeviceNumber) return result;

    const std::uint32_t driveType = storage.driveType(letter);
    const auto dosName = storage.dosDeviceName(letter);
    if (!dosName) return result;
    const std::uint32_t devInst =
        FindDevInstByDeviceNumber(storage, deviceNumber, driveType, *dosName);
    if (devInst == 0) return result;
    // The volume's own instance cannot be ejected; its parent (the USB
    // device, the card reader) can. Without one there is nothing to ask.
    const auto parent = storage.getParent(devInst);
    if (!parent) return result;
    result.device = devInst;
    result.parent = *parent;

    for (int attempt = 0; attempt < kEjectAttempts; ++attempt) {
        result.vetoType = 0;
        result.vetoName.clear();
        ++result.attempts;
        const std::uint32_t code = storage.requestEject(*parent, result.vetoType, result.vetoName);
        // A vetoed request can still come back as a success: only a clean
        // one means the device is gone.
        if (code == kConfigSuccess && result.vetoType == 0) {
            result.ok = true;
            return result;
        }
        if (wait) wait(kEjectRetryMs);
    }
    return result;
}

EjectResult Eject::ejectRoot(const std::string& root) {
    return EjectVolume(
        d_.storage, [this](std::uint32_t ms) { d_.helpers.WaitMilliseconds(ms); },
        "\\\\.\\" + root.substr(0, 2));
}

void Eject::report(const EjectResult& result, const std::string& displayName,
                   const std::string& failureText) {
    if (result.ok) {
        d_.notices.ShowNotice(noticeTitle_, EjectedText(displayName), NoticePicture::OK,
                              kNoticeInformation, kNoticeKeyTip);
        return;
    }
    d_.notices.ShowNotice(noticeTitle_, failureText, NoticePicture::Warning, kNoticeInformation,
                          kNoticeKeyTip);
}

void Eject::logRefusal(const SafeEjectOutcome& outcome) {
    if (outcome.result.ok) return;
    // The notice cannot say who holds the drive; the log keeps it.
    if (outcome.result.attempts > 0) {
        d_.log.WriteLog(blockedText(outcome.displayName, outcome.result));
    }
    if (!outcome.blockers.empty()) {
        d_.log.WriteLog(Phrase(TrayText::LogBlockersHeld,
                               {Words{outcome.displayName}, BlockerListText(outcome.blockers)}));
    }
}

BlockerQuery Eject::blockerQuery(const std::string& root, const EjectResult& result,
                                 std::uint64_t began) {
    BlockerQuery query;
    query.letter = root[0];
    query.volumeDevice = d_.storage.dosDeviceName(query.letter).value_or("");
    query.since = began;
    // The system's record names the device it was asked to remove; which
    // one of the chain that is, is its choice, so each may match.
    for (const std::uint32_t devInst : {result.parent, result.device}) {
        if (devInst == 0) continue;
        if (auto id = d_.storage.deviceInstanceId(devInst)) query.deviceIds.push_back(*id);
    }
    if (!result.vetoName.empty()) query.deviceIds.push_back(result.vetoName);
    return query;
}

SafeEjectOutcome Eject::ejectQuietly(const std::string& label, const std::string& root) {
    skipRemovalCheck();
    SafeEjectOutcome outcome;
    outcome.displayName = EjectDisplayName(label, root);
    const std::uint64_t began = d_.loop.systemTime();
    outcome.result = ejectRoot(root);
    // Naming is all that is done here: nothing is closed or ended for the user.
    if (!outcome.result.ok && !root.empty()) {
        outcome.query = blockerQuery(root, outcome.result, began);
        outcome.blockers = FindBlockers(d_.blockers, d_.loop, outcome.query);
    }
    return outcome;
}

bool Eject::SafeEjectDrive(const std::string& label, const std::string& root) {
    const SafeEjectOutcome outcome = ejectQuietly(label, root);
    std::string failureText = SafeEjectFailureText(outcome.displayName);
    if (!outcome.blockers.empty()) {
        failureText += "\r\n" + Text(TrayText::NoticeBlockers,
                                     {BlockerListText(outcome.blockers, kBlockersInNotice).str()});
    }
    report(outcome.result, outcome.displayName, failureText);
    logRefusal(outcome);
    // Whoever offers the user a way to free the drive takes it from here.
    if (!outcome.blockers.empty() && refusals_ != nullptr) {
        refusals_->ejectRefused(RefusedEject{label, root, outcome.query, outcome.blockers});
    }
    return outcome.ok();
}

SafeEjectOutcome Eject::SafeEject(const std::string& label, const std::string& root) {
    const SafeEjectOutcome outcome = ejectQuietly(label, root);
    logRefusal(outcome);
    return outcome;
}

bool Eject::ownShellRunning() {
    const std::uint32_t session = d_.processes.currentSessionId();
    for (const auto& p : d_.processes.snapshot()) {
        if (p.sessionId == session && ProcessNameKey(p.exeName) == kShellName) return true;
    }
    return false;
}

EjectOutcome Eject::ForceEjectDrive(const std::string& label, const std::string& root) {
    if (d_.shell.messageBox(Text(TrayText::ForceEjectQuestion), noticeTitle_,
                            msgbox::kOkCancel | msgbox::kIconInformation) != msgbox::kIdOk) {
        return EjectOutcome::Cancelled;
    }
    skipRemovalCheck();

    // Only this session's shell holds our user's open folders; other users'
    // shells cannot be ended anyway. One that will not go must not hang us.
    const std::uint32_t start = d_.loop.tickCount();
    while (ownShellRunning() && d_.loop.tickCount() - start < kShellStopLimitMs &&
           !d_.loop.quitRequested()) {
        d_.loop.pump();
        d_.helpers.KillProcessByName(kShellName, true);
        d_.helpers.WaitMilliseconds(kShellStopStepMs);
    }

    const std::string displayName = EjectDisplayName(label, root);
    // The system restarts a shell that died on its own; end that one too.
    if (ownShellRunning()) d_.helpers.KillProcessByName(kShellName, true);
    const EjectResult result = ejectRoot(root);
    report(result, displayName, Text(TrayText::ForceEjectFailed, {displayName}));
    SafeEjectOutcome forced;
    forced.result = result;
    forced.displayName = displayName;
    logRefusal(forced);

    if (!ownShellRunning()) {
        d_.helpers.RunAndWait(ExplorerCommand(d_.processes), false, kShowMinimisedWithFocus);
    }
    return result.ok ? EjectOutcome::Removed : EjectOutcome::Failed;
}

}  // namespace qm
