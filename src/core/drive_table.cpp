#include "core/drive_table.h"

#include <algorithm>

#include "drives/drive_identification.h"
#include "drives/text_rules.h"

namespace qm {
namespace {

constexpr std::uint32_t kVolumePollMs = 10;

std::size_t indexOf(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    return static_cast<std::size_t>(letter - 'A') % 26;
}

}  // namespace

void DriveTable::askVolumes(std::uint32_t mapped, const std::function<bool()>& giveUp) {
    std::uint32_t open = 0;  // by letter: asked now, answer awaited
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::size_t i = indexOf(letter);
        volumes_[i] = {};
        if (DriveIn(mapped, letter) && probe_.ask(letter)) open |= 1u << i;
    }
    const std::uint32_t start = loop_.tickCount();
    for (;;) {
        for (std::size_t i = 0; i < volumes_.size(); ++i) {
            if (((open >> i) & 1u) == 0) continue;
            DriveAnswer answer = probe_.take(static_cast<char>('A' + i));
            if (!answer.answered) continue;
            if (answer.properties) lastKinds_[i] = answer.properties->driveType;
            volumes_[i] = std::move(answer);
            open &= ~(1u << i);
        }
        const std::uint32_t spent = loop_.tickCount() - start;
        if (open == 0 || spent >= kVolumeAnswerMs || giveUp()) return;
        // An answer wakes the wait; the poll is for a wake that got lost.
        loop_.waitForMessage(std::min(kVolumePollMs, kVolumeAnswerMs - spent));
        loop_.pump();
    }
}

DriveEntry DriveTable::examine(char letter) {
    DriveEntry e;
    e.Root = std::string(1, letter) + ":\\";
    const DeviceDescriptorInfo d = QueryDeviceDescriptor(storage_, codePage_, e.Root);
    if (d.ok) {
        e.BusWord = BusTypeName(d.busType);
        e.menuBus = IsMenuBus(d.busType);
        e.listBus = IsListBus(d.busType);
        e.Description = TrimBlanks(d.vendorId + " " + d.productId + " " + d.productRevision);
    } else {
        e.BusWord = BusTypeName(0);
    }
    const std::size_t i = indexOf(letter);
    std::optional<DriveProperties> props = volumes_[i].properties;
    if (!volumes_[i].answered) {
        props.emplace();
        props->driveType = lastKinds_[i];
    }
    if (props) {
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
    return e;
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
        s.captions.push_back(e.caption());
        s.serials.push_back(e.Serial);
        s.kinds.push_back(e.DriveKind);
        s.ready.push_back(e.IsReady);
    }
    snapshot_ = std::move(s);
}

}  // namespace qm
