#pragma once
// The storage stack in memory: devices by path with the descriptor and the
// device number they answer, drive types and DOS device names by letter, and
// device interfaces per class, parents of device instances and scripted
// answers to eject requests. Open devices and interface lists are counted
// so a test can assert that every one was released.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/storage.h"

namespace qm {

// The fields of a storage device descriptor. Strings are ANSI bytes, put
// after the fixed part in the order vendor, product, revision, serial; an
// absent one gets offset 0. An offset set here replaces the computed one.
struct DescriptorFields {
    std::uint8_t deviceType = 0;
    std::uint8_t deviceTypeModifier = 0;
    bool removableMedia = false;
    bool commandQueueing = false;
    std::uint32_t busType = 0;
    std::optional<std::string> vendorId;
    std::optional<std::string> productId;
    std::optional<std::string> productRevision;
    std::optional<std::string> serialNumber;
    std::optional<std::uint32_t> vendorIdOffset;
    std::optional<std::uint32_t> productIdOffset;
    std::optional<std::uint32_t> productRevisionOffset;
    std::optional<std::uint32_t> serialNumberOffset;
};

// The descriptor's bytes as the system lays them out: Version and Size at
// 0 and 4, the four one-byte fields from 8 (RemovableMedia at 10), the four
// string offsets from 12, BusType at 28, RawPropertiesLength (0) at 32.
std::vector<std::uint8_t> BuildStorageDescriptor(const DescriptorFields& fields);

class FakeStorage : public Storage {
  public:
    Handle openDevice(const std::string& path, std::uint32_t access) override;
    void closeDevice(Handle device) override;
    std::optional<std::vector<std::uint8_t>> control(Handle device, std::uint32_t code,
                                                     const std::vector<std::uint8_t>& input,
                                                     std::uint32_t outputSize) override;
    std::uint32_t driveType(char letter) override;
    std::optional<std::string> dosDeviceName(char letter) override;
    Handle openInterfaceList(const Guid& interfaceClass) override;
    void destroyInterfaceList(Handle list) override;
    bool interfaceExists(Handle list, const Guid& interfaceClass, std::uint32_t index) override;
    std::uint32_t interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                      std::uint32_t index) override;
    std::optional<DeviceInterfaceDetail> interfaceDetail(Handle list, const Guid& interfaceClass,
                                                         std::uint32_t index,
                                                         std::uint32_t size) override;
    std::optional<std::uint32_t> getParent(std::uint32_t devInst) override;
    std::optional<std::string> deviceInstanceId(std::uint32_t devInst) override;
    std::uint32_t requestEject(std::uint32_t devInst, int& vetoType,
                               std::string& vetoName) override;

    // A volume ("\\.\G:") or a disk behind an interface path.
    struct Device {
        bool opens = true;
        // The answer to the standard device-property query; none: it fails.
        std::optional<std::vector<std::uint8_t>> descriptor;
        // The answer to the device-number query; none: it fails.
        std::optional<StorageDeviceNumber> number;
    };
    // By path without case.
    std::map<std::string, Device, LessNoCase> devices;
    static std::string volumePath(char letter);
    // The volume of a drive letter, added when missing.
    Device& volume(char letter);

    struct Drive {
        std::uint32_t type = 2;                    // removable
        std::optional<std::string> dosDeviceName;  // none: the query fails
    };
    // By upper-case letter; a letter not here has type 1 (no root folder).
    std::map<char, Drive> drives;

    struct Interface {
        std::string devicePath;
        std::uint32_t devInst = 0;
        // The detail size the system reports; by default what the path needs.
        std::optional<std::uint32_t> detailSize;
        bool detailFails = false;
    };
    // Present interfaces by class, in enumeration order. A list is a copy
    // taken when it is opened.
    std::map<Guid, std::vector<Interface>> interfaces;
    // Adds an interface and the disk behind its path, with that device number.
    Interface& addDisk(const Guid& interfaceClass, const std::string& devicePath,
                       std::uint32_t devInst, std::uint32_t deviceNumber,
                       std::uint32_t deviceType = 7);
    // The detail size a path needs on a 32-bit system.
    static std::uint32_t detailSizeFor(const std::string& devicePath);

    // Parents by device instance; an instance not here has none.
    std::map<std::uint32_t, std::uint32_t> parents;
    // Instance ids by device instance; an instance not here has none.
    std::map<std::uint32_t, std::string> instanceIds;

    // What an eject request answers.
    struct EjectAnswer {
        std::uint32_t result = kConfigSuccess;
        int vetoType = 0;
        std::string vetoName;
    };
    // One answer per request, in order; once they are used up every further
    // request answers the last one (success when there are none).
    std::vector<EjectAnswer> ejectAnswers;
    struct EjectCall {
        std::uint32_t devInst;
        // Devices and interface lists still open when it was asked.
        std::size_t openDevices;
        std::size_t openLists;
    };
    std::vector<EjectCall> ejectCalls;
    // Called at each eject request, e.g. to read the clock.
    std::function<void(std::uint32_t devInst)> onEject;

    FailSwitch failOpen, failControl, failOpenList;

    struct Open {
        std::string path;
        std::uint32_t access;
        Handle handle;  // 0 when it failed
    };
    std::vector<Open> opens;
    struct Control {
        std::string path;
        std::uint32_t code;
        std::vector<std::uint8_t> input;
        std::uint32_t outputSize;
        bool succeeded;
    };
    std::vector<Control> controls;
    // The class of each list asked for, in order.
    std::vector<Guid> listsOpened;

    [[nodiscard]] std::size_t openDeviceCount() const { return openDevices_.size(); }
    [[nodiscard]] std::size_t openListCount() const { return openLists_.size(); }
    // Calls with a handle that was not open (closed twice, never opened, or
    // a device handle given as a list and the other way round).
    int badHandles = 0;

  private:
    struct OpenList {
        Guid interfaceClass;
        std::vector<Interface> interfaces;
    };
    const Interface* interfaceIn(Handle list, const Guid& interfaceClass, std::uint32_t index);

    std::map<Handle, std::string> openDevices_;  // handle -> path
    std::map<Handle, OpenList> openLists_;
    Handle nextHandle_ = 0x100;
};

}  // namespace qm
