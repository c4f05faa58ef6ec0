#pragma once
// Drives as a whole machine shows them: the file system's drive, the
// storage descriptor with its bus, and for sticks the device chain an eject
// walks (volume, disk interface, parent device).
#include <cstdint>
#include <string>

#include "drives/drive_identification.h"
#include "fakes/fake_platform.h"

namespace qm {

inline void AddDescriptor(FakePlatform& p, char letter, std::uint32_t bus,
                          const char* vendor = "Kingston", const char* product = "DataTraveler") {
    DescriptorFields f;
    f.busType = bus;
    f.vendorId = vendor;
    f.productId = product;
    f.productRevision = "1.00";
    p.storage.volume(letter).descriptor = BuildStorageDescriptor(f);
}

inline void AddFixedDisk(FakePlatform& p, char letter, const std::string& label,
                         std::uint32_t serial) {
    auto& d = p.fileSystem.addDrive(letter, kDriveKindFixed, true);
    d.volumeName = label;
    d.serialNumber = static_cast<std::int32_t>(serial);
    d.totalSize = 256ull << 30;
    AddDescriptor(p, letter, kBusTypeAta, "ATA", "Disk");
}

inline void AddDiscDrive(FakePlatform& p, char letter) {
    p.fileSystem.addDrive(letter, kDriveKindCdRom, false);
    AddDescriptor(p, letter, kBusTypeAtapi, "HL-DT-ST", "DVDRAM");
}

// A stick whose eject goes to its USB device, 0x40 + its letter's place;
// the device chain is found by device number. Without a medium (a card
// reader's empty slot) it has no label, serial or size.
inline DriveProperties& AddEjectableStick(FakePlatform& p, char letter, const std::string& label,
                                          std::uint32_t serial, std::uint32_t bus = kBusTypeUsb,
                                          bool ready = true) {
    auto& d = p.fileSystem.addDrive(letter, kDriveKindRemovable, ready);
    d.volumeName = label;
    if (ready) d.serialNumber = static_cast<std::int32_t>(serial);
    d.totalSize = 2000000000;
    AddDescriptor(p, letter, bus);
    const auto place = static_cast<std::uint32_t>(letter - 'A');
    p.storage.volume(letter).number = StorageDeviceNumber{7, place, 1};
    p.storage.drives[letter] = {kDriveRemovable,
                                "\\Device\\HarddiskVolume" + std::to_string(place)};
    p.storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk" + std::to_string(place),
                      0x100 + place, place);
    p.storage.parents[0x100 + place] = 0x40 + place;
    return d;
}

inline std::uint32_t StickParent(char letter) {
    return 0x40 + static_cast<std::uint32_t>(letter - 'A');
}

}  // namespace qm
