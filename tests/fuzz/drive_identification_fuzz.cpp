// Drive identification from whatever a stick's maker wrote into its storage
// descriptor: offsets anywhere, strings without their NUL, answers of any
// size, and the device search over interface lists and device numbers.
#include <fuzzer/FuzzedDataProvider.h>

#include "drives/drive_identification.h"
#include "fakes/fake_code_page.h"
#include "fakes/fake_storage.h"
#include "fuzz_check.h"

namespace {

void CheckDescriptorText(const std::string& text) {
    FUZZ_CHECK(qm::fuzz::IsValidUtf8(text));
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

std::vector<std::uint8_t> ConsumeDescriptor(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) {
        // Raw bytes, as long as the device likes (the query's buffer is 10000).
        const std::size_t size = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::size_t>(0, 64)
                                                  : in.ConsumeIntegralInRange<std::size_t>(0, 12000);
        std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(size);
        bytes.resize(size, in.ConsumeIntegral<std::uint8_t>());
        return bytes;
    }
    qm::DescriptorFields f;
    f.removableMedia = in.ConsumeBool();
    f.busType = in.ConsumeIntegral<std::uint32_t>();
    auto text = [&]() -> std::optional<std::string> {
        if (in.ConsumeIntegralInRange(0, 4) == 0) return std::nullopt;
        return in.ConsumeRandomLengthString(48);
    };
    auto offset = [&]() -> std::optional<std::uint32_t> {
        if (in.ConsumeIntegralInRange(0, 3) != 0) return std::nullopt;
        return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 10010)
                                : in.ConsumeIntegral<std::uint32_t>();
    };
    f.vendorId = text();
    f.productId = text();
    f.productRevision = text();
    f.serialNumber = text();
    f.vendorIdOffset = offset();
    f.productIdOffset = offset();
    f.productRevisionOffset = offset();
    f.serialNumberOffset = offset();
    std::vector<std::uint8_t> bytes = qm::BuildStorageDescriptor(f);
    // Cut anywhere, or padded past the end of the buffer.
    if (in.ConsumeBool()) bytes.resize(in.ConsumeIntegralInRange<std::size_t>(0, bytes.size()));
    if (in.ConsumeIntegralInRange(0, 7) == 0) bytes.resize(10000 + in.ConsumeIntegralInRange(0, 64), 'x');
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm;
    FuzzedDataProvider in(data, size);
    FakeStorage storage;
    FakeCodePage codePage;

    const char letter = static_cast<char>('C' + in.ConsumeIntegralInRange(0, 23));
    FakeStorage::Device& volume = storage.volume(letter);
    volume.opens = in.ConsumeIntegralInRange(0, 15) != 0;
    if (in.ConsumeIntegralInRange(0, 15) != 0) volume.descriptor = ConsumeDescriptor(in);
    if (in.ConsumeIntegralInRange(0, 15) == 0) storage.failControl.always = true;

    std::string drive = in.ConsumeBool() ? std::string(1, letter) + ":\\" : in.ConsumeRandomLengthString(4);
    const DeviceDescriptorInfo info = QueryDeviceDescriptor(storage, codePage, drive);
    if (!info.ok) {
        FUZZ_CHECK(info.busType == 0 && !info.removable);
        FUZZ_CHECK(info.vendorId.empty() && info.productId.empty() && info.productRevision.empty());
    }
    FUZZ_CHECK(info.busType >= 0 && info.busType <= 0xFFFF);
    CheckDescriptorText(info.vendorId);
    CheckDescriptorText(info.productId);
    CheckDescriptorText(info.productRevision);
    const std::string bus = BusTypeName(info.busType);
    FUZZ_CHECK(bus.empty() == (info.busType > kBusTypeLastNamed));

    // The same strings read straight from bytes.
    const std::string raw = in.ConsumeRandomLengthString(64);
    CheckDescriptorText(AnsiPtrToString(codePage, raw));

    // The device search: interfaces of any path, size and number.
    const Guid classes[] = {kInterfaceClassDisk, kInterfaceClassCdRom, kInterfaceClassFloppy};
    for (int i = in.ConsumeIntegralInRange(0, 5); i > 0; --i) {
        const Guid& cls = classes[in.ConsumeIntegralInRange(0, 2)];
        std::string path = in.ConsumeRandomLengthString(40);
        FakeStorage::Interface& added = storage.addDisk(cls, path, in.ConsumeIntegral<std::uint32_t>(),
                                                        in.ConsumeIntegralInRange<std::uint32_t>(0, 4));
        if (in.ConsumeIntegralInRange(0, 3) == 0) added.detailSize = in.ConsumeIntegral<std::uint32_t>();
        added.detailFails = in.ConsumeIntegralInRange(0, 7) == 0;
        if (in.ConsumeIntegralInRange(0, 7) == 0) storage.devices[path].opens = false;
        if (in.ConsumeIntegralInRange(0, 7) == 0) storage.devices[path].number.reset();
    }
    storage.failControl.always = in.ConsumeIntegralInRange(0, 15) == 0;
    storage.failOpenList.always = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::uint32_t driveType = in.ConsumeIntegralInRange<std::uint32_t>(0, 7);
    const std::string dosName = in.ConsumeRandomLengthString(40);
    FindDevInstByDeviceNumber(storage, in.ConsumeIntegralInRange<std::uint32_t>(0, 4), driveType, dosName);

    // Whatever path it took, every device and list it opened was closed once.
    FUZZ_CHECK(storage.openDeviceCount() == 0);
    FUZZ_CHECK(storage.openListCount() == 0);
    FUZZ_CHECK(storage.badHandles == 0);
    return 0;
}
