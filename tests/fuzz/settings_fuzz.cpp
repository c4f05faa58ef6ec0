// INI files and registry values as any program of the user may leave them:
// ReadIniString/WriteIniString over files of any bytes (code page 936 pairs
// cut in half, huge lines, CR/LF), flags by leading number, Disk.ini
// sections by serial, the locator files, and clsRegistry over values of any
// type and size.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

#include "common/text_rules.h"
#include "fakes/fake_code_page.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_profile.h"
#include "fakes/fake_registry.h"
#include "fuzz_check.h"
#include "settings/cls_registry.h"
#include "settings/ini.h"
#include "settings/settings_files.h"
#include "settings/stored_settings.h"

namespace qm {
namespace {

const char* const kFiles[] = {"C:\\Q\\Setting.ini", "C:\\Q\\Disk.ini", kSystemLocatorPath,
                              "G:\\autorun.inf\\Quillmoor.ini"};
const char* const kSections[] = {"Setting", "HWND", "1234ABCD", "0", "-1", "setting", "中文"};
const char* const kKeys[] = {"AutoStartup", "DisableAutoPlayService", "Value",   "InstallDir",
                             "HWND",        "Partition",              "Remember", "MakeDir",
                             "UpdateServer"};

std::string Pick(FuzzedDataProvider& in, const char* const* names, std::size_t count) {
    if (in.ConsumeIntegralInRange(0, 5) == 0) return in.ConsumeRandomLengthString(12);
    return names[in.ConsumeIntegralInRange<std::size_t>(0, count - 1)];
}

// A value as a program might write it: short, long, Chinese, cut.
std::string ConsumeValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            std::string text;
            for (int n = in.ConsumeIntegralInRange(0, 300); n > 0; --n) text += "盘";
            return text + in.ConsumeRandomLengthString(8);
        }
        case 1:
            return std::string(in.ConsumeIntegralInRange(0, 600), 'v') + in.ConsumeRandomLengthString(8);
        default:
            return in.ConsumeRandomLengthString(80);
    }
}

// The reference rule of LeadingNumber for a short run of digits.
std::optional<long long> ReferenceLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long n = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        if (digits < 18) n = n * 10 + (text[i] - '0');
    }
    if (digits > 17) return std::nullopt;
    return negative ? -n : n;
}

void CheckReadValue(const std::string& value, bool storeIsText) {
    FUZZ_CHECK(value.find('\r') == std::string::npos && value.find('\n') == std::string::npos);
    if (storeIsText) FUZZ_CHECK(fuzz::IsValidUtf8(value));
    FUZZ_CHECK(Utf8Length(value) <= kIniReadLimit - 1);
}

void FuzzIni(FuzzedDataProvider& in, FakeCodePage& codePage) {
    FakeFileSystem files(&codePage);
    files.addFolder("C:\\Q");
    files.addFolder("c:\\windows\\system32");
    files.addFolder("G:\\autorun.inf");
    FakeProfile profile(files, &codePage);
    // Files of any bytes: cut pairs, a mark, NULs, no line ends at all.
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        const char* file = kFiles[in.ConsumeIntegralInRange(0, 3)];
        std::string bytes = in.ConsumeRandomLengthString(600);
        if (in.ConsumeIntegralInRange(0, 7) == 0) bytes = "\xEF\xBB\xBF" + bytes;
        profile.seedFile(file, bytes);
    }
    if (in.ConsumeIntegralInRange(0, 15) == 0) profile.failReads.calls.insert(in.ConsumeIntegralInRange(1, 4));
    if (in.ConsumeIntegralInRange(0, 15) == 0) profile.failWrites.calls.insert(in.ConsumeIntegralInRange(1, 4));

    const InstallPaths paths("C:\\Q\\");
    FUZZ_CHECK(paths.installDir() == "C:\\Q");
    LocatorWriter locators(profile, files, paths);
    for (int step = in.ConsumeIntegralInRange(1, 10); step > 0 && in.remaining_bytes() > 0; --step) {
        const std::string file = kFiles[in.ConsumeIntegralInRange(0, 3)];
        const std::string section = Pick(in, kSections, std::size(kSections));
        const std::string key = Pick(in, kKeys, std::size(kKeys));
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: {
                // A default of ours holds no line break; a stored value cannot.
                std::string fallback = ConsumeValue(in);
                std::replace(fallback.begin(), fallback.end(), '\r', '_');
                std::replace(fallback.begin(), fallback.end(), '\n', '_');
                const std::string value = ReadIniString(profile, file, section, key, fallback);
                CheckReadValue(value, true);
                const long long n = LeadingNumber(value);
                if (const auto ref = ReferenceLeadingNumber(value)) FUZZ_CHECK(n == *ref);
                FUZZ_CHECK(IniFlagIsSet(value) == (n == 1));
                break;
            }
            case 1: {
                const std::string value = ConsumeValue(in);
                WriteIniString(profile, file, section, key, value);
                const std::string back = ReadIniString(profile, file, section, key, "<none>");
                CheckReadValue(back, true);
                break;
            }
            case 2:
                EnsureSettingsFile(profile, files, paths);
                SaveWindowHandle(profile, paths, static_cast<WindowId>(in.ConsumeIntegral<std::uint32_t>()));
                break;
            case 3:
                WriteLocatorIni(profile, paths, static_cast<WindowId>(in.ConsumeIntegral<std::uint32_t>()),
                                in.ConsumeRandomLengthString(3));
                break;
            case 4:
                locators.write(static_cast<WindowId>(in.ConsumeIntegral<std::uint32_t>()),
                               in.ConsumeBool() ? "G" : in.ConsumeRandomLengthString(2));
                break;
            default: {
                // A window handle written is read back as the same signed number.
                const auto window = static_cast<WindowId>(in.ConsumeIntegral<std::uint32_t>());
                WriteIniString(profile, "C:\\Q\\Setting.ini", "HWND", "Value", WindowHandleText(window));
                const std::string back = ReadIniString(profile, "C:\\Q\\Setting.ini", "HWND", "Value", "");
                if (profile.failReads.calls.empty() && profile.failWrites.calls.empty() &&
                    !files.fileBytes("C:\\Q\\Setting.ini").value_or("").starts_with("\xEF\xBB\xBF")) {
                    FUZZ_CHECK(back == WindowHandleText(window));
                }
                break;
            }
        }
    }
}

void FuzzRegistry(FuzzedDataProvider& in, FakeCodePage& codePage) {
    FakeRegistry registry;
    registry.environment["TEMP"] = in.ConsumeRandomLengthString(20);
    clsRegistry reg(registry, codePage);
    const std::string key = "Software\\Quillmoor";
    for (int step = in.ConsumeIntegralInRange(1, 8); step > 0 && in.remaining_bytes() > 0; --step) {
        const std::string name = in.ConsumeBool() ? "Value" : in.ConsumeRandomLengthString(10);
        const RegRoot root = in.ConsumeBool() ? RegRoot::CurrentUser : RegRoot::LocalMachine;
        if (in.ConsumeBool()) {
            // A value of any type and size, put there by someone else.
            const std::uint32_t type = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 7)
                                                        : in.ConsumeIntegral<std::uint32_t>();
            std::vector<std::uint8_t> bytes =
                in.ConsumeBytes<std::uint8_t>(in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 8)
                                                               : in.ConsumeIntegralInRange(0, 3000));
            registry.putValue(root, key, codePage.toAnsi(name), type, bytes);
            const RegValue got = reg.GetRegistryValue(root, key, name, std::string("<default>"));
            if (const auto* text = std::get_if<std::string>(&got)) FUZZ_CHECK(fuzz::IsValidUtf8(*text));
            if (const auto* raw = std::get_if<std::vector<std::uint8_t>>(&got)) FUZZ_CHECK(*raw == bytes);
            RegValueText(got);
            RegValueNumber(got);
        } else {
            // Written by the program and read back as it was written.
            RegValue value;
            int flag = 0;
            switch (in.ConsumeIntegralInRange(0, 3)) {
                case 0: value = in.ConsumeIntegral<std::int32_t>(); break;
                case 1:
                    value = ConsumeValue(in);
                    flag = in.ConsumeIntegralInRange(0, 2);
                    break;
                case 2: value = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 2100)); break;
                default: break;
            }
            const bool written = reg.SetRegistryValue(root, key, name, value, 0, flag);
            const RegValue got = reg.GetRegistryValue(root, key, name);
            if (!written) continue;
            if (const auto* number = std::get_if<std::int32_t>(&value)) {
                FUZZ_CHECK(got == RegValue(*number));
            } else if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) {
                FUZZ_CHECK(got == RegValue(*bytes));
            } else if (const auto* text = std::get_if<std::string>(&value); text && flag != kRegFlagExpand) {
                FUZZ_CHECK(got == RegValue(codePage.fromAnsi(codePage.toAnsi(*text))));
            }
        }
        FUZZ_CHECK(registry.openKeyCount() == 0);
        FUZZ_CHECK(registry.badCloses == 0);
    }
}

}  // namespace
}  // namespace qm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static qm::FakeCodePage codePage;
    if (in.ConsumeBool()) {
        qm::FuzzIni(in, codePage);
    } else {
        qm::FuzzRegistry(in, codePage);
    }
    return 0;
}
