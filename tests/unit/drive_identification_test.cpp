#include "drives/drive_identification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "fakes/fake_code_page.h"
#include "fakes/fake_storage.h"

namespace qm {
namespace {

class DriveIdentification : public ::testing::Test {
  protected:
    FakeStorage storage;
    FakeCodePage codePage;

    // Whatever path a case takes, nothing may stay open behind it.
    void TearDown() override {
        EXPECT_EQ(storage.openDeviceCount(), 0u);
        EXPECT_EQ(storage.openListCount(), 0u);
        EXPECT_EQ(storage.badHandles, 0);
    }

    DeviceDescriptorInfo query(const std::string& drive) {
        return QueryDeviceDescriptor(storage, codePage, drive);
    }

    static DescriptorFields usbStick() {
        DescriptorFields f;
        f.removableMedia = true;
        f.busType = 7;
        f.vendorId = "Generic ";
        f.productId = "  Flash Disk      ";
        f.productRevision = "8.07";
        f.serialNumber = "0123456789";
        return f;
    }
};

TEST_F(DriveIdentification, AVolumeThatCannotBeOpenedOrQueriedIsNotOk) {
    // No such volume at all.
    DeviceDescriptorInfo info = query("G");
    EXPECT_FALSE(info.ok);

    // It opens but the query fails: the record still carries nothing.
    storage.volume('G').descriptor = BuildStorageDescriptor(usbStick());
    storage.failControl.always = true;
    info = query("G:\\");
    EXPECT_FALSE(info.ok);
    EXPECT_EQ(info.busType, 0);
    EXPECT_FALSE(info.removable);
    EXPECT_TRUE(info.vendorId.empty() && info.productId.empty() && info.productRevision.empty());

    // A volume that refuses to open is not queried.
    storage.failControl.always = false;
    storage.volume('H').opens = false;
    storage.volume('H').descriptor = BuildStorageDescriptor(usbStick());
    EXPECT_FALSE(query("H:").ok);
    EXPECT_EQ(storage.controls.size(), 1u);
}

TEST_F(DriveIdentification, AUsbStickGivesItsBusWordAndTrimmedStrings) {
    DescriptorFields f = usbStick();
    f.productId = "U\xC5\xCC ";  // "U盘" in the ANSI code page
    storage.volume('G').descriptor = BuildStorageDescriptor(f);

    const DeviceDescriptorInfo info = query("g:\\some\\path");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.busType, 7);
    EXPECT_EQ(BusTypeName(info.busType), "USB");
    EXPECT_TRUE(info.removable);
    EXPECT_EQ(info.vendorId, "Generic");
    EXPECT_EQ(info.productId, "U盘");
    EXPECT_EQ(info.productRevision, "8.07");

    // Only the letter counts; the volume is opened for queries only and
    // asked the standard question into the large buffer.
    ASSERT_EQ(storage.opens.size(), 1u);
    EXPECT_EQ(storage.opens[0].path, "\\\\.\\g:");
    EXPECT_EQ(storage.opens[0].access, 0u);
    ASSERT_EQ(storage.controls.size(), 1u);
    EXPECT_EQ(storage.controls[0].code, 0x2D1400u);
    EXPECT_EQ(storage.controls[0].input, std::vector<std::uint8_t>(12, 0));
    EXPECT_EQ(storage.controls[0].outputSize, 10000u);
}

TEST_F(DriveIdentification, StringsWithoutAUsableOffsetStayEmptyAndTheOthersAreRead) {
    DescriptorFields f = usbStick();
    f.vendorIdOffset = 0;
    f.productRevisionOffset = 10000;
    f.busType = 0x30002;  // only the low 16 bits are the bus type
    std::vector<std::uint8_t> bytes = BuildStorageDescriptor(f);
    bytes[10] = 0x80;  // any non-zero byte means removable
    storage.volume('G').descriptor = bytes;

    DeviceDescriptorInfo info = query("G");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.busType, 2);
    EXPECT_TRUE(info.removable);
    EXPECT_EQ(info.vendorId, "");
    EXPECT_EQ(info.productId, "Flash Disk");
    EXPECT_EQ(info.productRevision, "");

    // A string at the very end of the buffer, without its NUL; an offset far
    // beyond the buffer; one past what the device wrote (zeros there).
    f = usbStick();
    f.vendorIdOffset = 9995;
    f.productRevisionOffset = 40000;
    bytes = BuildStorageDescriptor(f);
    bytes.resize(10400, 'x');
    std::copy_n("IOMEGA", 6, bytes.begin() + 9995);
    storage.volume('H').descriptor = bytes;
    info = query("H");
    EXPECT_EQ(info.vendorId, "IOMEG");
    EXPECT_EQ(info.productId, "Flash Disk");
    EXPECT_EQ(info.productRevision, "");
    f = usbStick();
    f.productIdOffset = 5000;
    storage.volume('J').descriptor = BuildStorageDescriptor(f);
    info = query("J");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.productId, "");
    EXPECT_EQ(info.productRevision, "8.07");

    // An answer too short to hold the fields still counts as read.
    storage.volume('K').descriptor = std::vector<std::uint8_t>{40, 0, 0, 0};
    info = query("K");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.busType, 0);
    EXPECT_FALSE(info.removable);
}

TEST(BusTypeName, EveryBusOfTodaysMachinesHasItsWordAndTheRestNone) {
    EXPECT_EQ(BusTypeName(0), "未知");
    EXPECT_EQ(BusTypeName(1), "SCSI");
    EXPECT_EQ(BusTypeName(2), "ATAPI");
    EXPECT_EQ(BusTypeName(8), "RAID");
    EXPECT_EQ(BusTypeName(9), "iSCSI");
    EXPECT_EQ(BusTypeName(11), "SATA");
    EXPECT_EQ(BusTypeName(12), "SD");
    EXPECT_EQ(BusTypeName(13), "MMC");
    EXPECT_EQ(BusTypeName(15), "FileBackedVirtual");
    EXPECT_EQ(BusTypeName(17), "NVMe");
    EXPECT_EQ(BusTypeName(19), "UFS");
    EXPECT_EQ(BusTypeName(20), "");
    EXPECT_EQ(BusTypeName(0x7F), "");
    EXPECT_EQ(BusTypeName(-1), "");
}

TEST(AnsiPtrToString, StopsAtTheNulAndTrimsSpacesOnly) {
    FakeCodePage codePage;
    using namespace std::string_literals;
    EXPECT_EQ(AnsiPtrToString(codePage, "  Kingston \0DataTraveler"s), "Kingston");
    EXPECT_EQ(AnsiPtrToString(codePage, "\tPMAP\t"), "\tPMAP\t");
    EXPECT_EQ(AnsiPtrToString(codePage, "    \0x"s), "");
    EXPECT_EQ(AnsiPtrToString(codePage, "\0SanDisk"s), "");
    EXPECT_EQ(AnsiPtrToString(codePage, " \xD6\xD0\xCE\xC4 "), "中文");
}

// The interface class searched for each kind of drive.
struct ClassCase {
    std::uint32_t driveType;
    const char* dosDeviceName;
    std::optional<Guid> interfaceClass;
};

void PrintTo(const ClassCase& c, std::ostream* os) {
    *os << "drive type " << c.driveType << ", " << c.dosDeviceName;
}

class InterfaceClassChoice : public ::testing::TestWithParam<ClassCase> {};

TEST_P(InterfaceClassChoice, FollowsTheDriveType) {
    const ClassCase& c = GetParam();
    FakeStorage storage;
    // One matching disk in every class: only the class searched decides.
    storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk", 0x100, 3);
    storage.addDisk(kInterfaceClassCdRom, "\\\\?\\ide#cdrom", 0x200, 3);
    storage.addDisk(kInterfaceClassFloppy, "\\\\?\\fdc#floppy", 0x300, 3);

    const std::uint32_t devInst =
        FindDevInstByDeviceNumber(storage, 3, c.driveType, c.dosDeviceName);
    if (c.interfaceClass) {
        ASSERT_EQ(storage.listsOpened.size(), 1u);
        EXPECT_EQ(storage.listsOpened[0], *c.interfaceClass);
        EXPECT_NE(devInst, 0u);
    } else {
        EXPECT_TRUE(storage.listsOpened.empty());
        EXPECT_TRUE(storage.opens.empty());
        EXPECT_EQ(devInst, 0u);
    }
    EXPECT_EQ(storage.openListCount(), 0u);
    EXPECT_EQ(storage.openDeviceCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    DriveTypes, InterfaceClassChoice,
    ::testing::Values(ClassCase{2, "\\Device\\Floppy0", kInterfaceClassFloppy},
                      ClassCase{2, "\\Device\\HarddiskVolume7", kInterfaceClassDisk},
                      // The floppy test minds case, as the name is the system's own.
                      ClassCase{2, "\\Device\\floppy0", kInterfaceClassDisk},
                      ClassCase{3, "\\Device\\Floppy0", kInterfaceClassDisk},
                      ClassCase{5, "\\Device\\CdRom0", kInterfaceClassCdRom},
                      ClassCase{4, "\\Device\\LanmanRedirector\\;Z:", std::nullopt},
                      ClassCase{6, "\\Device\\Ramdisk", std::nullopt},
                      ClassCase{1, "", std::nullopt}, ClassCase{0, "", std::nullopt}));

TEST_F(DriveIdentification, TheSearchSkipsWhatItCannotReadAndGoesOn) {
    const Guid& disk = kInterfaceClassDisk;
    storage.addDisk(disk, "\\\\?\\a", 0xA, 4).detailSize = 0;
    storage.addDisk(disk, "\\\\?\\b", 0xB, 4).detailSize = 1025;
    storage.addDisk(disk, "\\\\?\\c", 0xC, 4);
    storage.devices["\\\\?\\c"].opens = false;
    storage.addDisk(disk, "\\\\?\\d", 0xD, 4).detailFails = true;
    storage.addDisk(disk, "\\\\?\\e", 0xE, 4);
    storage.devices["\\\\?\\e"].number.reset();  // does not answer the number
    storage.addDisk(disk, "\\\\?\\f", 0xF, 9);
    storage.addDisk(disk, "\\\\?\\g", 0x10, 4).detailSize = 1024;  // the largest taken

    EXPECT_EQ(FindDevInstByDeviceNumber(storage, 4, 3, ""), 0x10u);
    std::vector<std::string> opened;
    for (const auto& open : storage.opens) {
        opened.push_back(open.path);
        EXPECT_EQ(open.access, 0u);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"\\\\?\\c", "\\\\?\\e", "\\\\?\\f", "\\\\?\\g"}));
    ASSERT_FALSE(storage.controls.empty());
    EXPECT_EQ(storage.controls[0].code, 0x2D1080u);
    EXPECT_EQ(storage.controls[0].outputSize, 12u);

    EXPECT_EQ(FindDevInstByDeviceNumber(storage, 5, 3, ""), 0u) << "no disk with that number";
    storage.failOpenList.always = true;
    EXPECT_EQ(FindDevInstByDeviceNumber(storage, 4, 3, ""), 0u);
}

TEST_F(DriveIdentification, PartitionsOfOneDiskLeadToTheDisksInstance) {
    storage.addDisk(kInterfaceClassDisk, "\\\\?\\ide#disk0", 0x51, 0);
    storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1", 0x52, 1);
    // A second interface of the same number comes later and loses.
    storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1b", 0x53, 1);
    storage.volume('G').number = StorageDeviceNumber{7, 1, 1};
    storage.volume('H').number = StorageDeviceNumber{7, 1, 2};

    for (char letter : {'G', 'H'}) {
        ScopedDevice volume(storage, storage.openDevice(FakeStorage::volumePath(letter), 0));
        const auto number = QueryDeviceNumber(storage, volume.get());
        ASSERT_TRUE(number.has_value());
        EXPECT_EQ(FindDevInstByDeviceNumber(storage, number->deviceNumber, 2,
                                            "\\Device\\HarddiskVolume9"),
                  0x52u)
            << letter;
    }
}

}  // namespace
}  // namespace qm
