#pragma once
// The table of drive letters C: to Z: and the snapshot that tells which
// drives came and went between two refreshes.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drives/eject_all.h"
#include "platform/drive_probe.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"

namespace qm {

struct DriveEntry {
    std::string Root;         // "G:\"
    std::string BusWord;      // "USB", or "未知" when the descriptor cannot be read
    std::string Description;  // vendor, product and revision
    std::string Label;        // volume name, else the description
    std::string Serial;       // signed decimal volume serial; empty when not ready
    std::string FileSystem;
    std::string TotalSize, FreeSpace, AvailableSpace;
    bool IsReady = false;
    std::int16_t DriveKind = 0;  // 4 is a CD-ROM drive
    bool menuBus = false;        // removable media or a disc drive: gets a tray menu entry
    bool listBus = false;        // a disk or removable media: may appear in the settings window
    // False while the drive's volume question is still open: the entry is
    // then what was last known of the drive (nothing, before its first
    // answer), not ready.
    bool answered = true;
    bool immunised = false;  // as the tray menu shows it

    std::string driveName() const { return Root.substr(0, 2); }
    char letter() const { return Root.empty() ? '\0' : Root[0]; }
    // "KINGSTON (G:)"
    std::string caption() const { return Label + " (" + driveName() + ")"; }
};

inline constexpr std::int16_t kDriveKindCd = 4;

// A drive with the stick's submenu (safe and forced eject): removable media
// on any bus, but no disc drive.
inline bool HasStickMenu(const DriveEntry& e) { return e.menuBus && e.DriveKind != kDriveKindCd; }
// The drives "eject all" takes: those with the stick's submenu that hold a
// medium. An empty card-reader slot has nothing to take out, and its eject
// would switch off the reader itself.
inline bool EjectAllTakes(const DriveEntry& e) {
    return HasStickMenu(e) && e.answered && e.IsReady;
}
inline EjectTarget EjectTargetOf(const DriveEntry& e) {
    return EjectTarget{e.letter(), e.Serial, e.Label, e.Root, e.caption()};
}

// A drive of the last snapshot that the table no longer holds.
struct GoneDrive {
    std::string caption;
    std::string serial;
};
// How long a refresh waits for the drives' volume data, all together.
inline constexpr std::uint32_t kVolumeAnswerMs = 1000;

class DriveTable {
  public:
    DriveTable(DriveProbe& probe, EventLoop& loop) : probe_(probe), loop_(loop) {}

    // Asks every mapped drive for its volume data and storage descriptor at
    // once, off this thread, and waits with messages running until all have
    // answered, `giveUp` says so, or kVolumeAnswerMs have passed. A drive
    // still busy with the question of an earlier refresh is neither asked
    // again nor waited for; one that answered after its refresh stopped
    // waiting gives that answer. With `lateOnly` only those are asked, and
    // the others give their last answer again: two slow drives would
    // otherwise ask for each other's refresh for ever.
    void askVolumes(std::uint32_t mapped, const std::function<bool()>& giveUp,
                    bool lateOnly = false);
    // A drive's answer came after the refresh that asked stopped waiting.
    void lateAnswer(char letter);
    // Late answers that no refresh has taken yet.
    bool lateAnswersWaiting() const { return late_ != 0; }
    // One drive's entry from the answer of the last askVolumes. A drive that
    // has not answered is not touched: its entry is what was last known of
    // it, not ready.
    DriveEntry examine(char letter);

    void reset() { entries_.clear(); }
    // Adds the entry; an answered one is what is known of its drive from now on.
    void add(DriveEntry entry);
    const std::vector<DriveEntry>& entries() const { return entries_; }
    const DriveEntry* at(std::size_t index) const {
        return index < entries_.size() ? &entries_[index] : nullptr;
    }
    // The entry of that drive letter holding that volume; null when none does.
    const DriveEntry* find(char letter, const std::string& serial) const;

    // A drive is known when the snapshot holds its caption or its serial;
    // before the first snapshot every drive is known, so start-up is silent.
    bool FindSernum(const std::string& caption, const std::string& serial);
    // Snapshot drives found in the table by neither serial nor caption;
    // CD-ROM drives and drives that held no medium (an empty card-reader
    // slot) never count as gone.
    std::vector<GoneDrive> DetectUnloadDisk();
    // Remembers the table as it stands, whatever its size.
    void GetOldDisk();
    bool hasSnapshot() const { return snapshot_.has_value(); }

  private:
    struct Snapshot {
        std::vector<std::string> captions, serials;
        std::vector<std::int16_t> kinds;
        std::vector<bool> ready;
    };

    DriveProbe& probe_;
    EventLoop& loop_;
    std::vector<DriveEntry> entries_;
    std::optional<Snapshot> snapshot_;
    // By letter from A:.
    std::array<DriveAnswer, 26> volumes_{};
    std::array<DriveAnswer, 26> lastAnswers_{};
    std::array<std::optional<DriveEntry>, 26> lastKnown_{};
    // Letters there before the first snapshot that had not answered yet.
    std::uint32_t unansweredAtStart_ = 0;
    // By letter: questions left open by a refresh, and of those the ones
    // whose answer has come since.
    std::uint32_t left_ = 0;
    std::uint32_t late_ = 0;
};

}  // namespace qm
