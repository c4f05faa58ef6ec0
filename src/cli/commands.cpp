#include "cli/commands.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "core/version.h"
#include "drives/blocker_search.h"
#include "drives/cd_door.h"
#include "texts/tray_texts.h"
#include "drives/eject_all.h"
#include "settings/between_programs.h"

namespace qm {
namespace {

std::string kindWord(int driveType) {
    switch (driveType) {
        case kDriveKindRemovable:
            return Text(TrayText::KindRemovable);
        case kDriveKindFixed:
            return Text(TrayText::KindFixed);
        case kDriveKindNetwork:
            return Text(TrayText::KindNetwork);
        case kDriveKindCdRom:
            return Text(TrayText::KindCdRom);
        case kDriveKindRamDisk:
            return Text(TrayText::KindRamDisk);
        default:
            return Text(TrayText::KindUnknown);
    }
}

std::string driveName(char letter) { return std::string(1, letter) + ":"; }

// The volume serial as the drive table writes it.
std::optional<std::string> serialNow(FileSystem& files, char letter) {
    const auto props = files.driveProperties(letter);
    if (!props || !props->isReady || !props->serialNumber) return std::nullopt;
    return std::to_string(*props->serialNumber);
}

}  // namespace

std::string FormatSize(std::uint64_t bytes) {
    static constexpr std::array<const char*, 6> kUnits = {"B", "KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    // Tenths of the unit, rounded half up, in whole numbers: no floating
    // point drift at the edges of a unit.
    std::size_t unit = 0;
    std::uint64_t scale = 1;
    while (unit + 1 < kUnits.size() && bytes / scale >= 1024) {
        scale *= 1024;
        ++unit;
    }
    unsigned long long tenths = (bytes / scale) * 10 + ((bytes % scale) * 10 + scale / 2) / scale;
    // 1023.96 KB shows as 1.0 MB, never as 1024.0 KB.
    if (tenths >= 10240 && unit + 1 < kUnits.size()) {
        ++unit;
        tenths = (tenths + 512) / 1024;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%llu %s", tenths / 10, tenths % 10, kUnits[unit]);
    return text;
}

std::string DriveListLine(const DriveEntry& entry, bool immunised) {
    std::string size, state;
    if (!entry.answered) {
        size = Text(TrayText::CliNotAnswering);
    } else if (!entry.IsReady) {
        size = Text(TrayText::CliNoMedium);
    } else {
        size = FormatSize(std::strtoull(entry.TotalSize.c_str(), nullptr, 10));
    }
    // A disc drive is never immunised; a drive without a medium cannot be told.
    if (entry.answered && entry.IsReady && entry.DriveKind != kDriveKindCd) {
        state = Text(immunised ? TrayText::CliImmunised : TrayText::CliNotImmunisedWord);
    } else {
        state = "-";
    }
    return entry.driveName() + "\t" + entry.BusWord + "\t" + kindWord(entry.DriveKind) + "\t" +
           entry.Label + "\t" + size + "\t" + state;
}

CommandLine::CommandLine(CliPlatform platform, std::string installDir, std::string versionText)
    : p_(platform),
      paths_(std::move(installDir)),
      noticeTitle_(NoticeTitle(versionText)),
      log_(p_.files, p_.codePage, p_.loop, paths_.logTxt()),
      helpers_(SystemHelpersDeps{p_.files, p_.loop, p_.processes, p_.shell, log_, notices_, paths_},
               noticeTitle_, {}),
      immunisation_(ImmunisationDeps{p_.files, p_.loop, log_, notices_}, noticeTitle_, {}),
      eject_(EjectDeps{p_.storage, p_.loop, log_, notices_, helpers_, p_.shell, p_.processes,
                       p_.blockers},
             noticeTitle_, {}),
      table_(p_.probe, p_.loop) {}

int CommandLine::run(const CliRequest& request) {
    if (!request.problem.empty()) {
        complain(request.problem);
        complain(Text(TrayText::CliUsage));
        return kExitUsage;
    }
    switch (request.command) {
        case CliCommand::Usage:
            say(Text(TrayText::CliUsage));
            return kExitDone;
        case CliCommand::List:
            return list();
        case CliCommand::Eject:
            return eject(request.letter);
        case CliCommand::EjectAll:
            return ejectAll();
        case CliCommand::WhoLocks:
            return whoLocks(request.letter);
        case CliCommand::Immunise:
            return immunise(request.letter, true);
        case CliCommand::Unimmunise:
            return immunise(request.letter, false);
        case CliCommand::CdOpen:
            return door(request.letter, true);
        case CliCommand::CdClose:
            return door(request.letter, false);
    }
    return kExitUsage;
}

std::vector<DriveEntry> CommandLine::drives() {
    const std::uint32_t mapped = p_.files.mappedDrives();
    table_.askVolumes(mapped, [] { return false; });
    std::vector<DriveEntry> out;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (DriveIn(mapped, letter)) out.push_back(table_.examine(letter));
    }
    return out;
}

std::optional<DriveEntry> CommandLine::drive(char letter) {
    // The tray program never looks at A: and B:; neither does this.
    const std::uint32_t mapped = p_.files.mappedDrives();
    if (letter < 'C' || !DriveIn(mapped, letter)) {
        complain(Text(TrayText::CliNoSuchDrive, {driveName(letter)}));
        return std::nullopt;
    }
    table_.askVolumes(mapped & (1u << (letter - 'A')), [] { return false; });
    return table_.examine(letter);
}

int CommandLine::list() {
    for (const DriveEntry& entry : drives()) {
        const bool immunised = entry.answered && entry.IsReady && entry.DriveKind != kDriveKindCd &&
                               IsImmunised(p_.files, std::string(1, entry.letter()));
        say(DriveListLine(entry, immunised));
    }
    return kExitDone;
}

bool CommandLine::sayEject(const SafeEjectOutcome& outcome) {
    if (outcome.ok()) {
        say(EjectedText(outcome.displayName));
        return true;
    }
    complain(SafeEjectFailureText(outcome.displayName));
    if (!outcome.blockers.empty()) {
        complain(Text(TrayText::CliHoldersHeader));
        for (const Blocker& b : outcome.blockers) complain("  " + BlockerListText({b}).str());
    } else if (outcome.result.attempts > 0) {
        complain(Text(TrayText::CliVetoed, {VetoTypeName(outcome.result.vetoType)}));
    } else {
        complain(Text(TrayText::CliNoDevice));
    }
    return false;
}

SafeEjectOutcome CommandLine::ejectTellingTray(const std::string& label, const std::string& root) {
    // Sent, not posted: the tray program knows before the drive goes. One
    // that hangs or is busy too long is not waited for; it then announces
    // the drive as pulled out, as it did before it was told.
    constexpr std::uint32_t kTellTimeoutMs = 2000;
    const std::vector<WindowId> trays = p_.messenger.windowsOfClass(kMainWindowClass);
    const auto tell = [&](CommandEjectStep step) {
        for (WindowId tray : trays) {
            p_.messenger.sendWithTimeout(tray, kDriveEjectedByCommandMsg,
                                         static_cast<unsigned char>(root.empty() ? 0 : root[0]),
                                         static_cast<std::intptr_t>(step), kTellTimeoutMs);
        }
    };
    tell(CommandEjectStep::Leaving);
    SafeEjectOutcome outcome = eject_.SafeEject(label, root);
    tell(outcome.ok() ? CommandEjectStep::Removed : CommandEjectStep::Stayed);
    return outcome;
}

int CommandLine::eject(char letter) {
    const auto entry = drive(letter);
    if (!entry) return kExitNoDrive;
    if (!entry->answered) {
        complain(Text(TrayText::CliNoAnswer, {entry->driveName()}));
        return kExitFailed;
    }
    if (!HasStickMenu(*entry)) {
        complain(Text(TrayText::CliNotEjectable, {entry->driveName()}));
        return kExitNoDrive;
    }
    const SafeEjectOutcome outcome = ejectTellingTray(entry->Label, entry->Root);
    if (sayEject(outcome)) return kExitDone;
    return outcome.inUse() ? kExitInUse : kExitFailed;
}

int CommandLine::ejectAll() {
    std::vector<EjectTarget> targets;
    for (const DriveEntry& entry : drives()) {
        if (EjectAllTakes(entry)) targets.push_back(EjectTargetOf(entry));
    }
    if (targets.empty()) {
        say(Text(TrayText::NothingToEject));
        return kExitDone;
    }
    bool inUse = false;
    const EjectAllOutcome outcome = EjectEach(
        targets, EjectAllSteps{// Each eject takes its time: a stick pulled meanwhile, or another
                               // one in its place, is not the drive that was meant.
                               [this](const EjectTarget& wanted) -> std::optional<EjectTarget> {
                                   if (serialNow(p_.files, wanted.letter) != wanted.serial)
                                       return std::nullopt;
                                   return wanted;
                               },
                               [this, &inUse](const EjectTarget& target) {
                                   const SafeEjectOutcome one =
                                       ejectTellingTray(target.label, target.root);
                                   inUse = inUse || (!one.ok() && one.inUse());
                                   return sayEject(one);
                               },
                               {}});
    const Phrase said = EjectAllSummaryText(outcome);
    log_.WriteLog(said);
    const std::string summary = said.str();
    if (outcome.refused.empty()) {
        say(summary);
        return kExitDone;
    }
    complain(summary);
    return inUse ? kExitInUse : kExitFailed;
}

int CommandLine::whoLocks(char letter) {
    const auto entry = drive(letter);
    if (!entry) return kExitNoDrive;
    BlockerQuery query;
    query.letter = letter;
    query.volumeDevice = p_.storage.dosDeviceName(letter).value_or("");
    // Nothing was asked to go: no record of a refusal can be about this.
    query.since = p_.loop.systemTime();
    const std::vector<Blocker> found = FindBlockers(p_.blockers, p_.loop, query);
    if (found.empty()) say(Text(TrayText::CliNoHolders, {entry->driveName()}));
    for (const Blocker& b : found) say(BlockerListText({b}).str());
    return kExitDone;
}

void CommandLine::sayNotices(bool ok) {
    for (const std::string& text : notices_.texts) ok ? say(text) : complain(text);
    notices_.texts.clear();
}

int CommandLine::immunise(char letter, bool on) {
    const auto entry = drive(letter);
    if (!entry) return kExitNoDrive;
    if (!entry->answered) {
        complain(Text(TrayText::CliNoAnswer, {entry->driveName()}));
        return kExitFailed;
    }
    const int type = p_.files.driveType(letter);
    if (entry->DriveKind == kDriveKindCd || type == kDriveKindCdRom || type == kDriveKindNetwork) {
        complain(Text(TrayText::CliNotImmunisable, {entry->driveName()}));
        return kExitNoDrive;
    }
    const std::string drive(1, letter);
    const std::string root = DriveRootOf(drive);
    const bool ready = entry->IsReady;
    // Nothing to do is done: said, and no failure.
    if (ready && IsImmunised(p_.files, drive) == on) {
        say(Text(on ? TrayText::CliAlreadyImmunised : TrayText::CliNotImmunised, {root}));
        return kExitDone;
    }
    if (on) {
        immunisation_.ImmuniseDrive(drive);
    } else {
        immunisation_.RemoveImmunity(drive);
    }
    // A drive without a medium has been said so by the services.
    const bool done = ready && IsImmunised(p_.files, drive) == on;
    sayNotices(done);
    return done ? kExitDone : kExitFailed;
}

int CommandLine::door(char letter, bool open) {
    const auto entry = drive(letter);
    if (!entry) return kExitNoDrive;
    if (entry->DriveKind != kDriveKindCd && p_.files.driveType(letter) != kDriveKindCdRom) {
        complain(Text(TrayText::CliNotCdDrive, {entry->driveName()}));
        return kExitNoDrive;
    }
    const unsigned long error =
        open ? OpenCdTray(p_.mci, p_.loop, letter, {}) : CloseCdTray(p_.mci, p_.loop, letter, {});
    if (error != 0) {
        complain(Text(TrayText::CliDoorFailed, {std::to_string(error), entry->driveName()}));
        return kExitFailed;
    }
    say(Text(open ? TrayText::CliDoorOpened : TrayText::CliDoorClosed, {entry->driveName()}));
    return kExitDone;
}

int RunCommandLine(CliPlatform platform, const std::string& installDir,
                   const std::string& versionText, std::string_view commandLine) {
    CommandLine commands(platform, installDir, versionText);
    return commands.run(ParseCliArguments(SplitCommandLine(commandLine)));
}

}  // namespace qm
