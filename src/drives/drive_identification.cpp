#include "drives/drive_identification.h"

#include <array>

#include "texts/tray_texts.h"

namespace qm {
namespace {

// Access 0: the volume is only queried, so no rights to its data are needed
// and an open file on the stick does not get in the way.
constexpr std::uint32_t kQueryOnly = 0;
constexpr std::uint32_t kDescriptorBufferSize = 10000;
// Property id 0 (the device), query type 0 (standard), one byte of
// additional parameters, padded to the record's size.
constexpr std::size_t kPropertyQuerySize = 12;
constexpr std::uint32_t kDeviceNumberSize = 12;
// Detail records beyond this are not paths of ours.
constexpr std::uint32_t kMostDetailSize = 1024;

// Where the storage descriptor keeps its fields.
constexpr std::size_t kRemovableMediaAt = 10;
constexpr std::size_t kVendorIdOffsetAt = 12;
constexpr std::size_t kProductIdOffsetAt = 16;
constexpr std::size_t kProductRevisionOffsetAt = 20;
constexpr std::size_t kBusTypeAt = 28;

std::uint32_t readUint32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) return 0;
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The descriptor string whose offset is stored at `offsetAt`; offsets that
// point outside the buffer mean the device has no such string.
std::string descriptorString(CodePage& codePage, const std::vector<std::uint8_t>& buffer,
                             std::size_t offsetAt) {
    const std::uint32_t offset = readUint32(buffer, offsetAt);
    if (offset == 0 || offset >= buffer.size()) return {};
    const std::string_view rest(reinterpret_cast<const char*>(buffer.data()) + offset,
                                buffer.size() - offset);
    return AnsiPtrToString(codePage, rest);
}

std::optional<Guid> interfaceClassFor(std::uint32_t driveType, const std::string& dosDeviceName) {
    switch (driveType) {
        case kDriveRemovable:
            // Floppy drives report removable too but sit in their own class.
            if (dosDeviceName.find("\\Floppy") != std::string::npos) return kInterfaceClassFloppy;
            return kInterfaceClassDisk;
        case kDriveFixed:
            return kInterfaceClassDisk;
        case kDriveCdRom:
            return kInterfaceClassCdRom;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string AnsiPtrToString(CodePage& codePage, std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (bytes.empty()) return {};
    const std::string text = codePage.fromAnsi(bytes);
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<StorageDeviceNumber> QueryDeviceNumber(Storage& storage, Storage::Handle device) {
    // Formed from its parts, as the driver headers form it.
    const std::uint32_t code = DeviceControlCode(kDeviceTypeMassStorage, 1056, 0, 0);
    auto answer = storage.control(device, code, {}, kDeviceNumberSize);
    if (!answer) return std::nullopt;
    return StorageDeviceNumber{readUint32(*answer, 0), readUint32(*answer, 4),
                               readUint32(*answer, 8)};
}

DeviceDescriptorInfo QueryDeviceDescriptor(Storage& storage, CodePage& codePage,
                                           const std::string& drive) {
    DeviceDescriptorInfo info;
    if (drive.empty()) return info;
    ScopedDevice volume(storage,
                        storage.openDevice(std::string("\\\\.\\") + drive[0] + ":", kQueryOnly));
    if (!volume) return info;
    auto buffer =
        storage.control(volume.get(), kIoctlStorageQueryProperty,
                        std::vector<std::uint8_t>(kPropertyQuerySize, 0), kDescriptorBufferSize);
    if (!buffer) return info;
    // The buffer was zeroed before the call: what the device did not write reads as 0.
    buffer->resize(kDescriptorBufferSize, 0);

    info.ok = true;
    info.busType = static_cast<std::int32_t>(readUint32(*buffer, kBusTypeAt) & 0xFFFF);
    info.removable = (*buffer)[kRemovableMediaAt] != 0;
    info.productId = descriptorString(codePage, *buffer, kProductIdOffsetAt);
    info.productRevision = descriptorString(codePage, *buffer, kProductRevisionOffsetAt);
    info.vendorId = descriptorString(codePage, *buffer, kVendorIdOffsetAt);
    return info;
}

DriveAnswer AnswerDriveQuestion(FileSystem& files, Storage& storage, CodePage& codePage,
                                char letter) {
    DriveAnswer answer;
    answer.answered = true;
    answer.properties = files.driveProperties(letter);
    answer.descriptor = QueryDeviceDescriptor(storage, codePage, std::string(1, letter));
    return answer;
}

std::string BusTypeName(std::int32_t busType) {
    // The buses' own names, the same in every language; only "unknown" is
    // a word of the program's.
    static constexpr std::array<const char*, kBusTypeLastNamed + 1> kWords = {
        nullptr, "SCSI",    "ATAPI",   "ATA",  "1394",    "SSA",  "Fibre",
        "USB",   "RAID",    "iSCSI",   "SAS",  "SATA",    "SD",   "MMC",
        "Virtual", "FileBackedVirtual", "Spaces", "NVMe", "SCM", "UFS"};
    if (busType == 0) return Text(TrayText::BusUnknown);
    if (busType < 0 || busType > kBusTypeLastNamed) return {};
    return kWords[static_cast<std::size_t>(busType)];
}

bool IsMenuBus(std::int32_t busType) {
    return busType == kBusTypeUsb || busType == kBusTypeSd || busType == kBusTypeMmc;
}

bool IsListBus(std::int32_t busType) {
    switch (busType) {
        case kBusTypeAta:
        case kBusTypeSata:
        case kBusTypeNvme:
        case kBusTypeSas:
            return true;
        default:
            return IsMenuBus(busType);
    }
}

std::uint32_t FindDevInstByDeviceNumber(Storage& storage, std::uint32_t deviceNumber,
                                        std::uint32_t driveType, const std::string& dosDeviceName) {
    const std::optional<Guid> interfaceClass = interfaceClassFor(driveType, dosDeviceName);
    if (!interfaceClass) return 0;
    ScopedInterfaceList list(storage, storage.openInterfaceList(*interfaceClass));
    if (!list) return 0;

    // A disk with several partitions matches at its first interface: the
    // partition number is not compared.
    for (std::uint32_t index = 0; storage.interfaceExists(list.get(), *interfaceClass, index);
         ++index) {
        const std::uint32_t size = storage.interfaceDetailSize(list.get(), *interfaceClass, index);
        if (size == 0 || size > kMostDetailSize) continue;
        const auto detail = storage.interfaceDetail(list.get(), *interfaceClass, index, size);
        if (!detail) continue;
        ScopedDevice device(storage, storage.openDevice(detail->devicePath, kQueryOnly));
        if (!device) continue;
        const auto number = QueryDeviceNumber(storage, device.get());
        if (number && number->deviceNumber == deviceNumber) return detail->devInst;
    }
    return 0;
}

}  // namespace qm
