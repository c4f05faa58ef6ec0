#pragma once
// The storage stack: volumes and disks opened as devices, their control
// calls, drive types and DOS device names, and the Plug and Play lists of
// device interfaces. Only the raw calls live here; what to ask and what the
// answers mean is decided above the seam.
#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/non_copyable.h"

namespace qm {

// A class id, laid out as the system lays it out.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend auto operator<=>(const Guid&, const Guid&) = default;
};

// The control-code rule of the system's device drivers.
constexpr std::uint32_t DeviceControlCode(std::uint32_t deviceType, std::uint32_t function,
                                          std::uint32_t method, std::uint32_t access) {
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

inline constexpr std::uint32_t kDeviceTypeMassStorage = 0x2D;
inline constexpr std::uint32_t kIoctlStorageQueryProperty = 0x2D1400;
inline constexpr std::uint32_t kIoctlStorageGetDeviceNumber = 0x2D1080;
// The configuration manager's result of a call that succeeded.
inline constexpr std::uint32_t kConfigSuccess = 0;

// The answer to the device-number query: three 32-bit values.
struct StorageDeviceNumber {
    std::uint32_t deviceType = 0;
    std::uint32_t deviceNumber = 0;
    std::uint32_t partitionNumber = 0;
};

// What the storage descriptor of the device behind a drive letter says.
// When `ok` is false every other field is empty or zero.
struct DeviceDescriptorInfo {
    bool ok = false;
    std::int32_t busType = 0;
    bool removable = false;
    std::string vendorId;
    std::string productId;
    std::string productRevision;
};

// What an interface list tells about one of its interfaces.
struct DeviceInterfaceDetail {
    std::string devicePath;     // UTF-8, opened with Storage::openDevice
    std::uint32_t devInst = 0;  // the device instance that owns the interface
};

class Storage : NonCopyable {
  public:
    using Handle = std::uintptr_t;  // an open device or interface list; 0 is never valid

    virtual ~Storage() = default;

    // Opens a device path ("\\.\G:" or an interface's path) as an existing
    // file, shared for reading and writing, with the desired access (0 asks
    // nothing but queries); 0 when it cannot be opened.
    virtual Handle openDevice(const std::string& path, std::uint32_t access) = 0;
    virtual void closeDevice(Handle device) = 0;
    // Sends a control code with the input bytes and an output buffer of
    // `outputSize` bytes; the bytes the device returned, empty when the
    // call fails.
    virtual std::optional<std::vector<std::uint8_t>> control(Handle device, std::uint32_t code,
                                                             const std::vector<std::uint8_t>& input,
                                                             std::uint32_t outputSize) = 0;

    // The system's type number of the drive's root (2 removable, 3 fixed,
    // 4 remote, 5 CD-ROM, 6 RAM disk; 0 and 1 for unknown and missing).
    virtual std::uint32_t driveType(char letter) = 0;
    // The first target the drive name ("G:") is linked to, such as
    // "\Device\HarddiskVolume3"; empty when the system reports none.
    virtual std::optional<std::string> dosDeviceName(char letter) = 0;

    // The present interfaces of a class, as a list; 0 when it cannot be built.
    virtual Handle openInterfaceList(const Guid& interfaceClass) = 0;
    virtual void destroyInterfaceList(Handle list) = 0;
    // Whether the list holds an interface of the class at `index` (0, 1, ...).
    virtual bool interfaceExists(Handle list, const Guid& interfaceClass, std::uint32_t index) = 0;
    // The bytes the interface's detail record needs; 0 when the system does
    // not say.
    virtual std::uint32_t interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                              std::uint32_t index) = 0;
    // The device path and device instance, read into a record of `size`
    // bytes; empty when that fails.
    virtual std::optional<DeviceInterfaceDetail> interfaceDetail(Handle list,
                                                                 const Guid& interfaceClass,
                                                                 std::uint32_t index,
                                                                 std::uint32_t size) = 0;

    // The parent of a device instance; empty when the system names none.
    virtual std::optional<std::uint32_t> getParent(std::uint32_t devInst) = 0;
    // The instance id of a device instance ("USB\VID_0951&PID_1666\..."),
    // UTF-8; empty when the system names none.
    virtual std::optional<std::string> deviceInstanceId(std::uint32_t devInst) = 0;
    // Asks the system to eject a device instance without a dialog of its
    // own. Answers the configuration manager's result (kConfigSuccess when
    // the request went through) and sets the veto type (0 for none) and the
    // name of what vetoed, UTF-8, empty when the system gave none.
    virtual std::uint32_t requestEject(std::uint32_t devInst, int& vetoType,
                                       std::string& vetoName) = 0;
};

// Closes a device however the caller leaves.
class ScopedDevice {
  public:
    ScopedDevice(Storage& storage, Storage::Handle device) : storage_(storage), device_(device) {}
    ~ScopedDevice() {
        if (device_ != 0) storage_.closeDevice(device_);
    }
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;

    [[nodiscard]] Storage::Handle get() const { return device_; }
    explicit operator bool() const { return device_ != 0; }

  private:
    Storage& storage_;
    Storage::Handle device_;
};

// Destroys an interface list however the caller leaves.
class ScopedInterfaceList {
  public:
    ScopedInterfaceList(Storage& storage, Storage::Handle list) : storage_(storage), list_(list) {}
    ~ScopedInterfaceList() {
        if (list_ != 0) storage_.destroyInterfaceList(list_);
    }
    ScopedInterfaceList(const ScopedInterfaceList&) = delete;
    ScopedInterfaceList& operator=(const ScopedInterfaceList&) = delete;

    [[nodiscard]] Storage::Handle get() const { return list_; }
    explicit operator bool() const { return list_ != 0; }

  private:
    Storage& storage_;
    Storage::Handle list_;
};

}  // namespace qm
