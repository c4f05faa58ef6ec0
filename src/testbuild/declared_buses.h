#pragma once
// Test builds only: the storage stack with the bus of some drive letters
// declared by the test that runs the program. Wine answers every drive with
// a SCSI bus and lists no disk or CD-ROM devices, so without this no drive
// would ever get a tray menu entry, a settings row or an eject request
// there. Everything that is not declared goes to the real calls unchanged.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/storage.h"

namespace qm {

// The declarations beside the program: one "<letter> <bus>" per line, the
// bus as its word (USB, SD, SATA, NVMe, any the program names) or a number.
inline constexpr char kDeclaredBusesFile[] = "qm-test-buses.txt";

class DeclaredBusStorage final : public Storage {
  public:
    // The file is read afresh at every query, so a test may change it while
    // the program runs.
    DeclaredBusStorage(Storage& system, FileSystem& files, std::string declarations)
        : system_(system), files_(files), declarations_(std::move(declarations)) {}

    // A declared volume answers the descriptor query with its declared bus.
    Handle openDevice(const std::string& path, std::uint32_t access) override;
    void closeDevice(Handle device) override;
    std::optional<std::vector<std::uint8_t>> control(Handle device, std::uint32_t code,
                                                     const std::vector<std::uint8_t>& input,
                                                     std::uint32_t outputSize) override;
    std::uint32_t driveType(char letter) override { return system_.driveType(letter); }
    std::optional<std::string> dosDeviceName(char letter) override {
        return system_.dosDeviceName(letter);
    }

    // After the system's own interfaces, a disk or CD-ROM list holds one per
    // declared drive of its class: its path is the volume itself (which
    // answers the device-number query) and its device instance one of ours,
    // which the configuration manager then judges.
    Handle openInterfaceList(const Guid& interfaceClass) override;
    void destroyInterfaceList(Handle list) override;
    bool interfaceExists(Handle list, const Guid& interfaceClass, std::uint32_t index) override;
    std::uint32_t interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                      std::uint32_t index) override;
    std::optional<DeviceInterfaceDetail> interfaceDetail(Handle list, const Guid& interfaceClass,
                                                         std::uint32_t index,
                                                         std::uint32_t size) override;

    std::optional<std::uint32_t> getParent(std::uint32_t devInst) override {
        return system_.getParent(devInst);
    }
    std::uint32_t requestEject(std::uint32_t devInst, int& vetoType,
                               std::string& vetoName) override {
        return system_.requestEject(devInst, vetoType, vetoName);
    }
    std::optional<std::string> deviceInstanceId(std::uint32_t devInst) override {
        return system_.deviceInstanceId(devInst);
    }

  private:
    struct List {
        Guid interfaceClass;
        std::vector<char> letters;
        std::optional<std::uint32_t> systemCount;
    };

    std::map<char, std::int32_t> declared();
    std::optional<char> declaredAt(Handle list, const Guid& interfaceClass, std::uint32_t index);

    Storage& system_;
    FileSystem& files_;
    std::string declarations_;
    std::map<Handle, char> volumes_;
    std::map<Handle, List> lists_;
};

}  // namespace qm
