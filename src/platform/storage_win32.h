#pragma once
#include "platform/code_page.h"
#include "platform/storage.h"

namespace qm {

// CreateFileA and DeviceIoControl, GetDriveTypeA, QueryDosDeviceA and the
// SetupDi calls on device-interface lists, CM_Get_Parent, CM_Get_Device_IDW and
// CM_Request_Device_EjectW. Paths cross in the ANSI code page.
class StorageWin32 final : public Storage {
  public:
    explicit StorageWin32(CodePage& codePage) : codePage_(codePage) {}

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

  private:
    CodePage& codePage_;
};

}  // namespace qm
