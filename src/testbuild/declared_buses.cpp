#include "testbuild/declared_buses.h"

#include <cctype>
#include <cstdlib>

#include "drives/drive_identification.h"

namespace qm {
namespace {

constexpr std::size_t kBusTypeAt = 28;
// Far above the small numbers the system hands out, one per letter.
constexpr std::uint32_t kDeclaredDevInstBase = 0x51000000;

std::string upper(std::string word) {
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// A bus by its word ("USB", "sd", "NVMe") or its number.
std::optional<std::int32_t> busNumber(std::string word) {
    word = upper(std::move(word));
    for (std::int32_t bus = 1; bus <= kBusTypeLastNamed; ++bus) {
        if (upper(BusTypeName(bus)) == word) return bus;
    }
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::strtol(word.c_str(), nullptr, 10));
}

// "\\.\G:", the only form the program opens a volume by.
std::optional<char> volumeLetter(const std::string& path) {
    if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':') {
        return std::nullopt;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(path[4])));
}

std::string volumePath(char letter) { return std::string("\\\\.\\") + letter + ":"; }

bool inClass(const Guid& interfaceClass, std::uint32_t driveType) {
    if (interfaceClass == kInterfaceClassCdRom) return driveType == kDriveCdRom;
    if (interfaceClass == kInterfaceClassDisk) {
        return driveType == kDriveRemovable || driveType == kDriveFixed;
    }
    return false;
}

}  // namespace

std::map<char, std::int32_t> DeclaredBusStorage::declared() {
    std::map<char, std::int32_t> buses;
    const auto lines = files_.readTextLines(declarations_);
    if (!lines) return buses;
    for (const std::string& line : *lines) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || !std::isalpha(static_cast<unsigned char>(line[first]))) {
            continue;
        }
        const std::size_t word = line.find_first_not_of(" \t", first + 1);
        if (word == std::string::npos) continue;
        const std::size_t end = line.find_first_of(" \t\r", word);
        const auto bus = busNumber(line.substr(word, end == std::string::npos ? end : end - word));
        if (bus)
            buses[static_cast<char>(std::toupper(static_cast<unsigned char>(line[first])))] = *bus;
    }
    return buses;
}

Storage::Handle DeclaredBusStorage::openDevice(const std::string& path, std::uint32_t access) {
    const Handle device = system_.openDevice(path, access);
    const auto letter = volumeLetter(path);
    if (device != 0 && letter && declared().count(*letter) != 0) volumes_[device] = *letter;
    return device;
}

void DeclaredBusStorage::closeDevice(Handle device) {
    volumes_.erase(device);
    system_.closeDevice(device);
}

std::optional<std::vector<std::uint8_t>> DeclaredBusStorage::control(
    Handle device, std::uint32_t code, const std::vector<std::uint8_t>& input,
    std::uint32_t outputSize) {
    auto answer = system_.control(device, code, input, outputSize);
    const auto volume = volumes_.find(device);
    if (!answer || code != kIoctlStorageQueryProperty || volume == volumes_.end() ||
        outputSize < kBusTypeAt + 4) {
        return answer;
    }
    // The descriptor stays the system's; only its bus is the declared one.
    const auto buses = declared();
    const auto bus = buses.find(volume->second);
    if (bus == buses.end()) return answer;
    if (answer->size() < kBusTypeAt + 4) answer->resize(kBusTypeAt + 4, 0);
    const auto value = static_cast<std::uint32_t>(bus->second);
    for (std::size_t i = 0; i < 4; ++i) {
        (*answer)[kBusTypeAt + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return answer;
}

Storage::Handle DeclaredBusStorage::openInterfaceList(const Guid& interfaceClass) {
    const Handle list = system_.openInterfaceList(interfaceClass);
    if (list == 0) return list;
    List entry{interfaceClass, {}, std::nullopt};
    for (const auto& [letter, bus] : declared()) {
        if (inClass(interfaceClass, system_.driveType(letter))) entry.letters.push_back(letter);
    }
    lists_[list] = std::move(entry);
    return list;
}

void DeclaredBusStorage::destroyInterfaceList(Handle list) {
    lists_.erase(list);
    system_.destroyInterfaceList(list);
}

std::optional<char> DeclaredBusStorage::declaredAt(Handle list, const Guid& interfaceClass,
                                                   std::uint32_t index) {
    const auto found = lists_.find(list);
    if (found == lists_.end() || found->second.interfaceClass != interfaceClass) {
        return std::nullopt;
    }
    List& entry = found->second;
    if (!entry.systemCount) {
        std::uint32_t count = 0;
        while (system_.interfaceExists(list, interfaceClass, count)) ++count;
        entry.systemCount = count;
    }
    if (index < *entry.systemCount || index - *entry.systemCount >= entry.letters.size()) {
        return std::nullopt;
    }
    return entry.letters[index - *entry.systemCount];
}

bool DeclaredBusStorage::interfaceExists(Handle list, const Guid& interfaceClass,
                                         std::uint32_t index) {
    return declaredAt(list, interfaceClass, index).has_value() ||
           system_.interfaceExists(list, interfaceClass, index);
}

std::uint32_t DeclaredBusStorage::interfaceDetailSize(Handle list, const Guid& interfaceClass,
                                                      std::uint32_t index) {
    // As the system counts it: the record's size field, the path and its end.
    if (declaredAt(list, interfaceClass, index)) return 4 + 6 + 1;
    return system_.interfaceDetailSize(list, interfaceClass, index);
}

std::optional<DeviceInterfaceDetail> DeclaredBusStorage::interfaceDetail(Handle list,
                                                                         const Guid& interfaceClass,
                                                                         std::uint32_t index,
                                                                         std::uint32_t size) {
    if (const auto letter = declaredAt(list, interfaceClass, index)) {
        return DeviceInterfaceDetail{volumePath(*letter),
                                     kDeclaredDevInstBase + static_cast<std::uint32_t>(*letter)};
    }
    return system_.interfaceDetail(list, interfaceClass, index, size);
}

}  // namespace qm
