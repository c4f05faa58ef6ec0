#pragma once
// What the system's raw answers about a held volume mean: the Plug and Play
// manager's record of a refused removal, and file paths as the kernel or
// the Win32 layer spells them. Shared by the Win32 finders and the tests.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/blockers.h"

namespace qm {

// The System log's record of an application that stopped a removal.
inline constexpr char kPnpProvider[] = "Microsoft-Windows-Kernel-PnP";
inline constexpr std::uint32_t kPnpVetoEventId = 225;

struct PnpVetoEvent {
    std::uint64_t time = 0;  // UTC, 100-ns units since 1601
    std::uint32_t processId = 0;
    std::string imagePath;  // "\Device\HarddiskVolume3\...\WINWORD.EXE"
    std::string deviceId;   // the device whose removal was stopped
};

// One record as the event log renders it in XML (UTF-8). Empty when it is
// not such a record or lacks the process.
std::optional<PnpVetoEvent> ParsePnpVetoEvent(std::string_view xml);

// The processes of the records about the query's devices written since it
// began, oldest first, each once.
std::vector<Blocker> BlockersFromVetoEvents(const std::vector<PnpVetoEvent>& events,
                                            const BlockerQuery& query);

// "2024-01-02T03:04:05.1234567Z" as 100-ns units since 1601.
std::optional<std::uint64_t> ParseSystemTime(std::string_view text);

// The last part of a path ("WINWORD.EXE").
std::string ImageNameOf(std::string_view path);

// A path as the user knows it: the volume's kernel name replaced by its
// drive letter, the "\\?\" of extended-length paths left off.
std::string PathOnDriveLetter(std::string_view path, const BlockerQuery& query);

// Whether a file's path names the query's volume: by its drive letter
// ("G:\...", "\\?\G:\...") or by the volume's kernel name.
bool PathLiesOnVolume(std::string_view path, const BlockerQuery& query);

}  // namespace qm
