#pragma once
// The table of drive letters C: to Z: and the snapshot that tells which
// drives came and went between two refreshes.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/drive_probe.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/storage.h"

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

    std::string driveName() const { return Root.substr(0, 2); }
    char letter() const { return Root.empty() ? '\0' : Root[0]; }
    // "KINGSTON (G:)"
    std::string caption() const { return Label + " (" + driveName() + ")"; }
};

inline constexpr std::int16_t kDriveKindCd = 4;

// A drive of the last snapshot that the table no longer holds.
struct GoneDrive {
    std::string caption;
    std::string serial;
};
// How long a refresh waits for the drives' volume data, all together.
inline constexpr std::uint32_t kVolumeAnswerMs = 1000;

class DriveTable {
  public:
    DriveTable(DriveProbe& probe, Storage& storage, CodePage& codePage, EventLoop& loop)
        : probe_(probe), storage_(storage), codePage_(codePage), loop_(loop) {}

    // Asks every mapped drive for its volume data at once, off this thread,
    // and waits with messages running until all have answered, `giveUp`
    // says so, or kVolumeAnswerMs have passed. A drive still busy with the
    // question of an earlier refresh is neither asked again nor waited for.
    void askVolumes(std::uint32_t mapped, const std::function<bool()>& giveUp);
    // One drive's entry from its storage descriptor and the volume data of
    // the last askVolumes; a drive that did not answer counts as not ready,
    // of the kind it last said it was.
    DriveEntry examine(char letter);

    void reset() { entries_.clear(); }
    void add(DriveEntry entry) { entries_.push_back(std::move(entry)); }
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
    Storage& storage_;
    CodePage& codePage_;
    EventLoop& loop_;
    std::vector<DriveEntry> entries_;
    std::optional<Snapshot> snapshot_;
    // By letter from A:.
    std::array<DriveAnswer, 26> volumes_{};
    std::array<int, 26> lastKinds_{};
};

}  // namespace qm
