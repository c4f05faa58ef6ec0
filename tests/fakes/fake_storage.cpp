#include "fakes/fake_storage.h"

#include <algorithm>

namespace qm {
namespace {

constexpr std::size_t kDescriptorFixedSize = 36;
// PropertyId and QueryType of the standard device-property query.
constexpr std::size_t kPropertyQueryMinimum = 8;
constexpr std::uint32_t kDeviceNumberSize = 12;

void putUint32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getUint32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

char upperLetter(char letter) {
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

}  // namespace

std::vector<std::uint8_t> BuildStorageDescriptor(const DescriptorFields& fields) {
    std::vector<std::uint8_t> bytes(kDescriptorFixedSize, 0);
    auto place = [&](const std::optional<std::string>& text,
                     const std::optional<std::uint32_t>& forced, std::size_t offsetAt) {
        std::uint32_t offset = 0;
        if (text) {
            offset = static_cast<std::uint32_t>(bytes.size());
            bytes.insert(bytes.end(), text->begin(), text->end());
            bytes.push_back(0);
        }
        putUint32(bytes, offsetAt, forced.value_or(offset));
    };
    place(fields.vendorId, fields.vendorIdOffset, 12);
    place(fields.productId, fields.productIdOffset, 16);
    place(fields.productRevision, fields.productRevisionOffset, 20);
    place(fields.serialNumber, fields.serialNumberOffset, 24);
    putUint32(bytes, 0, static_cast<std::uint32_t>(kDescriptorFixedSize));
    putUint32(bytes, 4, static_cast<std::uint32_t>(bytes.size()));
    bytes[8] = fields.deviceType;
    bytes[9] = fields.deviceTypeModifier;
    bytes[10] = fields.removableMedia ? 1 : 0;
    bytes[11] = fields.commandQueueing ? 1 : 0;
    putUint32(bytes, 28, fields.busType);
    return bytes;
}

std::string FakeStorage::volumePath(char letter) {
    return std::string("\\\\.\\") + upperLetter(letter) + ":";
}

FakeStorage::Device& FakeStorage::volume(char letter) { return devices[volumePath(letter)]; }

std::uint32_t FakeStorage::detailSizeFor(const std::string& devicePath) {
    // The size field, then the path with its NUL.
    return static_cast<std::uint32_t>(4 + devicePath.size() + 1);
}

FakeStorage::Interface& FakeStorage::addDisk(const Guid& interfaceClass,
                                             const std::string& devicePath, std::uint32_t devInst,
                                             std::uint32_t deviceNumber, std::uint32_t deviceType) {
    devices[devicePath].number = StorageDeviceNumber{deviceType, deviceNumber, 0};
    std::vector<Interface>& list = interfaces[interfaceClass];
    list.push_back(Interface{devicePath, devInst, std::nullopt, false});
    return list.back();
}

Storage::Handle FakeStorage::openDevice(const std::string& path, std::uint32_t access) {
    const auto it = devices.find(path);
    Handle handle = 0;
    if (!failOpen.next() && it != devices.end() && it->second.opens) {
        handle = nextHandle_++;
        openDevices_[handle] = path;
    }
    opens.push_back({path, access, handle});
    return handle;
}

void FakeStorage::closeDevice(Handle device) {
    if (openDevices_.erase(device) == 0) ++badHandles;
}

std::optional<std::vector<std::uint8_t>> FakeStorage::control(
    Handle device, std::uint32_t code, const std::vector<std::uint8_t>& input,
    std::uint32_t outputSize) {
    const auto open = openDevices_.find(device);
    if (open == openDevices_.end()) {
        ++badHandles;
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> answer;
    const Device& target = devices[open->second];
    if (failControl.next()) {
        // fails as the test asked
    } else if (code == kIoctlStorageQueryProperty) {
        // Only the standard query of the device itself is answered.
        if (input.size() >= kPropertyQueryMinimum && getUint32(input, 0) == 0 &&
            getUint32(input, 4) == 0 && target.descriptor) {
            answer = *target.descriptor;
            if (answer->size() > outputSize) answer->resize(outputSize);
        }
    } else if (code == kIoctlStorageGetDeviceNumber) {
        if (outputSize >= kDeviceNumberSize && target.number) {
            answer = std::vector<std::uint8_t>(kDeviceNumberSize, 0);
            putUint32(*answer, 0, target.number->deviceType);
            putUint32(*answer, 4, target.number->deviceNumber);
            putUint32(*answer, 8, target.number->partitionNumber);
        }
    }
    controls.push_back({open->second, code, input, outputSize, answer.has_value()});
    return answer;
}

std::uint32_t FakeStorage::driveType(char letter) {
    const auto it = drives.find(upperLetter(letter));
    return it == drives.end() ? 1 : it->second.type;
}

std::optional<std::string> FakeStorage::dosDeviceName(char letter) {
    const auto it = drives.find(upperLetter(letter));
    if (it == drives.end()) return std::nullopt;
    return it->second.dosDeviceName;
}

Storage::Handle FakeStorage::openInterfaceList(const Guid& interfaceClass) {
    listsOpened.push_back(interfaceClass);
    if (failOpenList.next()) return 0;
    const Handle handle = nextHandle_++;
    const auto it = interfaces.find(interfaceClass);
    openLists_[handle] =
        OpenList{interfaceClass, it == interfaces.end() ? std::vector<Interface>{} : it->second};
    return handle;
}

void FakeStorage::destroyInterfaceList(Handle list) {
    if (openLists_.erase(list) == 0) ++badHandles;
}

const FakeStorage::Interface* FakeStorage::interfaceIn(Handle list, const Guid& interfaceClass,
                                                       std::uint32_t index) {
    const auto it = openLists_.find(list);
    if (it == openLists_.end()) {
        ++badHandles;
        return nullptr;
    }
    // A list holds the interfaces of the class it was built for only.
    if (it->second.interfaceClass != interfaceClass || index >= it->second.interfaces.size()) {
        return nullptr;
    }
    return &it->second.interfaces[index];
}

bool FakeStorage::interfaceExists(Handle list, const Guid& interfaceClass, std::uint32_t index) {
    return interfaceIn(list, interfaceClass, index) != nullptr;
}

std::uint32_t FakeStorage::interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                               std::uint32_t index) {
    const Interface* found = interfaceIn(list, interfaceClass, index);
    if (found == nullptr) return 0;
    return found->detailSize.value_or(detailSizeFor(found->devicePath));
}

std::optional<DeviceInterfaceDetail> FakeStorage::interfaceDetail(Handle list,
                                                                  const Guid& interfaceClass,
                                                                  std::uint32_t index,
                                                                  std::uint32_t size) {
    const Interface* found = interfaceIn(list, interfaceClass, index);
    if (found == nullptr || found->detailFails || size < detailSizeFor(found->devicePath)) {
        return std::nullopt;
    }
    return DeviceInterfaceDetail{found->devicePath, found->devInst};
}

std::optional<std::uint32_t> FakeStorage::getParent(std::uint32_t devInst) {
    const auto it = parents.find(devInst);
    if (it == parents.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeStorage::deviceInstanceId(std::uint32_t devInst) {
    const auto it = instanceIds.find(devInst);
    if (it == instanceIds.end()) return std::nullopt;
    return it->second;
}

std::uint32_t FakeStorage::requestEject(std::uint32_t devInst, int& vetoType,
                                        std::string& vetoName) {
    const std::size_t index = ejectCalls.size();
    ejectCalls.push_back({devInst, openDevices_.size(), openLists_.size()});
    if (onEject) onEject(devInst);
    EjectAnswer answer;
    if (!ejectAnswers.empty()) answer = ejectAnswers[std::min(index, ejectAnswers.size() - 1)];
    vetoType = answer.vetoType;
    vetoName = answer.vetoName;
    return answer.result;
}

}  // namespace qm
