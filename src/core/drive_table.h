#pragma once
// The table of drive letters C: to Z: and the snapshot that tells which
// drives came and went between two refreshes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
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
    bool menuBus = false;        // ATAPI or USB: gets a tray menu entry
    bool listBus = false;        // ATA or USB: may appear in the settings window

    std::string driveName() const { return Root.substr(0, 2); }
    char letter() const { return Root.empty() ? '\0' : Root[0]; }
    // "KINGSTON (G:)"
    std::string caption() const { return Label + " (" + driveName() + ")"; }
};

inline constexpr std::int16_t kDriveKindCd = 4;

class DriveTable {
public:
    DriveTable(FileSystem& files, Storage& storage, CodePage& codePage, EventLoop& loop)
        : files_(files), storage_(storage), codePage_(codePage), loop_(loop) {}

    // Reads one drive's entry from the file system and its storage descriptor.
    DriveEntry examine(char letter);

    void reset() { entries_.clear(); }
    void add(DriveEntry entry) { entries_.push_back(std::move(entry)); }
    const std::vector<DriveEntry>& entries() const { return entries_; }
    const DriveEntry* at(std::size_t index) const {
        return index < entries_.size() ? &entries_[index] : nullptr;
    }

    // A drive is known when the snapshot holds its caption or its serial;
    // before the first snapshot every drive is known, so start-up is silent.
    bool FindSernum(const std::string& caption, const std::string& serial);
    // Captions of snapshot drives found in the table by neither serial nor
    // caption; CD-ROM drives never count as gone.
    std::vector<std::string> DetectUnloadDisk();
    // Remembers the table as it stands, whatever its size.
    void GetOldDisk();
    bool hasSnapshot() const { return snapshot_.has_value(); }

private:
    struct Snapshot {
        std::vector<std::string> captions, serials;
        std::vector<std::int16_t> kinds;
    };

    FileSystem& files_;
    Storage& storage_;
    CodePage& codePage_;
    EventLoop& loop_;
    std::vector<DriveEntry> entries_;
    std::optional<Snapshot> snapshot_;
};

}  // namespace qm
