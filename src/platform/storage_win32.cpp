#include "platform/storage_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>
#include <cfgmgr32.h>

#include <algorithm>
#include <cstring>

#include "platform/utf16_win32.h"

namespace qm {
namespace {

// Large enough for any DOS device target of a drive name.
constexpr DWORD kDosDeviceNameChars = 280;

HANDLE nativeHandle(Storage::Handle handle) { return reinterpret_cast<HANDLE>(handle); }
HDEVINFO nativeList(Storage::Handle list) { return reinterpret_cast<HDEVINFO>(list); }

GUID nativeGuid(const Guid& g) {
    GUID out{};
    out.Data1 = g.data1;
    out.Data2 = g.data2;
    out.Data3 = g.data3;
    std::memcpy(out.Data4, g.data4.data(), sizeof out.Data4);
    return out;
}

std::string rootOf(char letter) { return std::string(1, letter) + ":\\"; }

// The list's interface at `index`, for the detail calls that need it.
bool enumInterface(Storage::Handle list, const Guid& interfaceClass, std::uint32_t index,
                   SP_DEVICE_INTERFACE_DATA& data) {
    if (list == 0) return false;
    const GUID guid = nativeGuid(interfaceClass);
    data = SP_DEVICE_INTERFACE_DATA{};
    data.cbSize = sizeof data;
    return SetupDiEnumDeviceInterfaces(nativeList(list), nullptr, &guid, index, &data) != FALSE;
}

}  // namespace

Storage::Handle StorageWin32::openDevice(const std::string& path, std::uint32_t access) {
    HANDLE device =
        CreateFileA(codePage_.toAnsi(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<Handle>(device);
}

void StorageWin32::closeDevice(Handle device) {
    if (device != 0) CloseHandle(nativeHandle(device));
}

std::optional<std::vector<std::uint8_t>> StorageWin32::control(
    Handle device, std::uint32_t code, const std::vector<std::uint8_t>& input,
    std::uint32_t outputSize) {
    if (device == 0) return std::nullopt;
    std::vector<std::uint8_t> in(input);  // the call takes a writable buffer
    std::vector<std::uint8_t> out(outputSize, 0);
    DWORD returned = 0;
    if (!DeviceIoControl(nativeHandle(device), code, in.empty() ? nullptr : in.data(),
                         static_cast<DWORD>(in.size()), out.empty() ? nullptr : out.data(),
                         outputSize, &returned, nullptr)) {
        return std::nullopt;
    }
    out.resize(std::min<std::size_t>(returned, out.size()));
    return out;
}

std::uint32_t StorageWin32::driveType(char letter) { return GetDriveTypeA(rootOf(letter).c_str()); }

std::optional<std::string> StorageWin32::dosDeviceName(char letter) {
    const std::string name{letter, ':'};
    char target[kDosDeviceNameChars] = {};
    if (QueryDosDeviceA(name.c_str(), target, kDosDeviceNameChars) == 0) return std::nullopt;
    // The buffer holds a list of targets; the first one is the drive's.
    return codePage_.fromAnsi(target);
}

Storage::Handle StorageWin32::openInterfaceList(const Guid& interfaceClass) {
    const GUID guid = nativeGuid(interfaceClass);
    HDEVINFO list =
        SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return 0;
    return reinterpret_cast<Handle>(list);
}

void StorageWin32::destroyInterfaceList(Handle list) {
    if (list != 0) SetupDiDestroyDeviceInfoList(nativeList(list));
}

bool StorageWin32::interfaceExists(Handle list, const Guid& interfaceClass, std::uint32_t index) {
    SP_DEVICE_INTERFACE_DATA data;
    return enumInterface(list, interfaceClass, index, data);
}

std::uint32_t StorageWin32::interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                                std::uint32_t index) {
    SP_DEVICE_INTERFACE_DATA data;
    if (!enumInterface(list, interfaceClass, index, data)) return 0;
    // Fails for want of a buffer, and says how large it must be.
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(nativeList(list), &data, nullptr, 0, &required, nullptr);
    return required;
}

std::optional<DeviceInterfaceDetail> StorageWin32::interfaceDetail(Handle list,
                                                                   const Guid& interfaceClass,
                                                                   std::uint32_t index,
                                                                   std::uint32_t size) {
    SP_DEVICE_INTERFACE_DATA data;
    if (!enumInterface(list, interfaceClass, index, data)) return std::nullopt;
    // The record's own size field counts only its fixed part (5 bytes on
    // 32-bit systems, 8 on 64-bit); the path follows it.
    const std::size_t bytes =
        std::max<std::size_t>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    std::vector<DWORD> record((bytes + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiGetDeviceInterfaceDetailA(nativeList(list), &data, detail,
                                          static_cast<DWORD>(bytes), nullptr, &device)) {
        return std::nullopt;
    }
    return DeviceInterfaceDetail{codePage_.fromAnsi(detail->DevicePath), device.DevInst};
}

std::optional<std::uint32_t> StorageWin32::getParent(std::uint32_t devInst) {
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, devInst, 0) != CR_SUCCESS) return std::nullopt;
    return parent;
}

std::optional<std::string> StorageWin32::deviceInstanceId(std::uint32_t devInst) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(devInst, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return std::nullopt;
    id[MAX_DEVICE_ID_LEN] = L'\0';
    if (id[0] == L'\0') return std::nullopt;
    return Utf8FromWide(id);
}

std::uint32_t StorageWin32::requestEject(std::uint32_t devInst, int& vetoType,
                                         std::string& vetoName) {
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    // With a buffer for the veto name the system shows no dialog of its own.
    wchar_t name[MAX_PATH] = {};
    const CONFIGRET result = CM_Request_Device_EjectW(devInst, &veto, name, MAX_PATH, 0);
    vetoType = static_cast<int>(veto);
    name[MAX_PATH - 1] = L'\0';
    vetoName.clear();
    vetoName = Utf8FromWide(name);
    return static_cast<std::uint32_t>(result);
}

}  // namespace qm
