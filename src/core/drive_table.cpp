#include "core/drive_table.h"

#include <algorithm>

#include "drives/drive_identification.h"
#include "common/text_rules.h"

namespace qm {
namespace {

constexpr std::uint32_t kVolumePollMs = 10;

std::size_t indexOf(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    return static_cast<std::size_t>(letter - 'A') % 26;
}

}  // namespace

void DriveTable::askVolumes(std::uint32_t mapped, const std::function<bool()>& giveUp,
                            bool lateOnly) {
    std::uint32_t open = 0;  // by letter: asked now, answer awaited
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::size_t i = indexOf(letter);
        volumes_[i] = {};
        const std::uint32_t bit = 1u << i;
        if (!DriveIn(mapped, letter)) {
            // Whatever gets this letter next is another drive.
            lastKnown_[i].reset();
            lastAnswers_[i] = {};
            unansweredAtStart_ &= ~bit;
            left_ &= ~bit;
            late_ &= ~bit;
            continue;
        }
        if (lateOnly && (late_ & bit) == 0) {
            // A drive whose question is open stays so.
            if ((left_ & bit) == 0) volumes_[i] = lastAnswers_[i];
            continue;
        }
        if (probe_.ask(letter)) {
            open |= bit;
            left_ &= ~bit;
            late_ &= ~bit;
        }
    }
    const std::uint32_t start = loop_.tickCount();
    for (;;) {
        for (std::size_t i = 0; i < volumes_.size(); ++i) {
            if (((open >> i) & 1u) == 0) continue;
            DriveAnswer answer = probe_.take(static_cast<char>('A' + i));
            if (!answer.answered) continue;
            lastAnswers_[i] = answer;
            volumes_[i] = std::move(answer);
            open &= ~(1u << i);
        }
        const std::uint32_t spent = loop_.tickCount() - start;
        if (open == 0 || spent >= kVolumeAnswerMs || giveUp()) break;
        // An answer wakes the wait; the poll is for a wake that got lost.
        loop_.waitForMessage(std::min(kVolumePollMs, kVolumeAnswerMs - spent));
        loop_.pump();
    }
    // An answer that came since the last look is taken; a later one asks
    // for a refresh of its own.
    for (std::size_t i = 0; i < volumes_.size(); ++i) {
        if (((open >> i) & 1u) == 0) continue;
        volumes_[i] = probe_.leave(static_cast<char>('A' + i));
        if (volumes_[i].answered) {
            lastAnswers_[i] = volumes_[i];
        } else {
            left_ |= 1u << i;
        }
    }
}

void DriveTable::lateAnswer(char letter) {
    if (!DriveIn(~0u, letter)) return;
    // Only a question a refresh left counts: the one under way may have
    // taken the answer already, and any other message is nobody's.
    const std::uint32_t bit = 1u << indexOf(letter);
    if ((left_ & bit) != 0) late_ |= bit;
}

DriveEntry DriveTable::examine(char letter) {
    const std::size_t i = indexOf(letter);
    const DriveAnswer& answer = volumes_[i];
    const std::string root = std::string(1, letter) + ":\\";
    if (!answer.answered) {
        DriveEntry e = lastKnown_[i].value_or(DriveEntry{});
        e.Root = root;
        e.answered = false;
        e.IsReady = false;
        e.FileSystem.clear();
        e.TotalSize.clear();
        e.FreeSpace.clear();
        e.AvailableSpace.clear();
        if (!lastKnown_[i]) {
            e.BusWord = BusTypeName(0);
            if (!snapshot_) unansweredAtStart_ |= 1u << i;
        }
        return e;
    }
    DriveEntry e;
    e.Root = root;
    const DeviceDescriptorInfo& d = answer.descriptor;
    if (d.ok) {
        e.BusWord = BusTypeName(d.busType);
        e.menuBus = IsMenuBus(d.busType);
        e.listBus = IsListBus(d.busType);
        e.Description = TrimBlanks(d.vendorId + " " + d.productId + " " + d.productRevision);
    } else {
        e.BusWord = BusTypeName(0);
    }
    if (const auto& props = answer.properties) {
        e.IsReady = props->isReady;
        e.DriveKind = static_cast<std::int16_t>(props->driveType);
        if (props->isReady) {
            e.Label = props->volumeName;
            if (props->serialNumber) e.Serial = std::to_string(*props->serialNumber);
            e.FileSystem = props->fileSystemName;
            e.TotalSize = std::to_string(props->totalSize);
            e.FreeSpace = std::to_string(props->freeSpace);
            e.AvailableSpace = std::to_string(props->availableSpace);
        }
    }
    if (TrimBlanks(e.Label).empty()) e.Label = e.Description;
    // A disc drive gets its door entries on whatever bus it sits.
    if (e.DriveKind == kDriveKindCd) e.menuBus = true;
    // A drive that was there at start-up but answered only now is no
    // arrival: it joins the snapshot as if it had answered in time.
    if ((unansweredAtStart_ >> i) & 1u) {
        unansweredAtStart_ &= ~(1u << i);
        if (snapshot_) {
            snapshot_->captions.push_back(e.caption());
            snapshot_->serials.push_back(e.Serial);
            snapshot_->kinds.push_back(e.DriveKind);
            snapshot_->ready.push_back(e.IsReady);
        }
    }
    return e;
}

void DriveTable::add(DriveEntry entry) {
    if (entry.answered && !entry.Root.empty()) lastKnown_[indexOf(entry.letter())] = entry;
    entries_.push_back(std::move(entry));
}

bool DriveTable::FindSernum(const std::string& caption, const std::string& serial) {
    if (!snapshot_) return true;
    for (std::size_t i = 0; i < snapshot_->captions.size(); ++i) {
        if (snapshot_->captions[i] == caption || snapshot_->serials[i] == serial) return true;
        loop_.pump();
        // A nested refresh cannot replace the snapshot (the refresh guard
        // stops it), but stay safe should it ever shrink.
        if (!snapshot_ || i + 1 > snapshot_->captions.size()) break;
    }
    return false;
}

const DriveEntry* DriveTable::find(char letter, const std::string& serial) const {
    for (const DriveEntry& e : entries_) {
        if (e.letter() == letter && e.Serial == serial) return &e;
    }
    return nullptr;
}

std::vector<GoneDrive> DriveTable::DetectUnloadDisk() {
    std::vector<GoneDrive> gone;
    if (!snapshot_) return gone;
    const Snapshot previous = *snapshot_;
    for (std::size_t i = 0; i < previous.captions.size(); ++i) {
        bool found = false;
        for (const auto& e : entries_) {
            if (e.Serial == previous.serials[i] || e.caption() == previous.captions[i]) {
                found = true;
                break;
            }
        }
        if (!found && previous.kinds[i] != kDriveKindCd && previous.ready[i]) {
            gone.push_back(GoneDrive{previous.captions[i], previous.serials[i]});
        }
    }
    return gone;
}

void DriveTable::GetOldDisk() {
    Snapshot s;
    for (const auto& e : entries_) {
        // A drive that never answered has nothing to be known by yet.
        if (!e.answered && !lastKnown_[indexOf(e.letter())]) continue;
        s.captions.push_back(e.caption());
        s.serials.push_back(e.Serial);
        s.kinds.push_back(e.DriveKind);
        // A drive whose question is open counts as holding the medium it
        // last held.
        s.ready.push_back(e.IsReady || (!e.answered && !e.Serial.empty()));
    }
    snapshot_ = std::move(s);
}

}  // namespace qm
