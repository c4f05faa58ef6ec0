#pragma once
// What hardware sits behind a drive letter, and which Plug and Play device
// owns it, asked of the storage stack rather than of the file system.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/drive_probe.h"
#include "platform/file_system.h"
#include "platform/storage.h"

namespace qm {

// Interface classes the device search looks in.
inline constexpr Guid kInterfaceClassDisk{
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr Guid kInterfaceClassCdRom{
    0x53F56308, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr Guid kInterfaceClassFloppy{
    0x53F56311, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// Drive types as the system numbers them.
inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveRemote = 4;
inline constexpr std::uint32_t kDriveCdRom = 5;
inline constexpr std::uint32_t kDriveRamDisk = 6;

// Bus types of the storage descriptor, as the system numbers them.
inline constexpr std::int32_t kBusTypeAtapi = 2;
inline constexpr std::int32_t kBusTypeAta = 3;
inline constexpr std::int32_t kBusTypeUsb = 7;
inline constexpr std::int32_t kBusTypeSas = 10;
inline constexpr std::int32_t kBusTypeSata = 11;
inline constexpr std::int32_t kBusTypeSd = 12;
inline constexpr std::int32_t kBusTypeMmc = 13;
inline constexpr std::int32_t kBusTypeNvme = 17;
// The highest bus type with a word of its own.
inline constexpr std::int32_t kBusTypeLastNamed = 19;

// Media a user takes out of the machine (sticks, card-reader cards): they
// get the tray menu's eject and immunise entries.
bool IsMenuBus(std::int32_t busType);
// Buses whose volumes the settings window may list: the machine's own
// disks and removable media.
bool IsListBus(std::int32_t busType);

// Reads the storage descriptor of the volume; only the first character of
// `drive` (the letter) is used, so "G", "G:" and "G:\" all do.
DeviceDescriptorInfo QueryDeviceDescriptor(Storage& storage, CodePage& codePage,
                                           const std::string& drive);

// The drive probe's question, on whichever thread asks it: the drive's
// volume data and its storage descriptor. Answered, whatever it found.
DriveAnswer AnswerDriveQuestion(FileSystem& files, Storage& storage, CodePage& codePage,
                                char letter);

// The word for a bus type; empty for a type without one.
std::string BusTypeName(std::int32_t busType);

// The device instance owning the disk, CD-ROM or floppy with that device
// number; 0 when the drive type has no interface class or nothing matches.
// `dosDeviceName` is what the system links the drive name to.
std::uint32_t FindDevInstByDeviceNumber(Storage& storage, std::uint32_t deviceNumber,
                                        std::uint32_t driveType, const std::string& dosDeviceName);

// The NUL-terminated ANSI text at the start of `bytes` (or all of it when
// there is no NUL), as UTF-8 without leading and trailing spaces.
std::string AnsiPtrToString(CodePage& codePage, std::string_view bytes);

// Asks an open device for its device number.
std::optional<StorageDeviceNumber> QueryDeviceNumber(Storage& storage, Storage::Handle device);

}  // namespace qm
