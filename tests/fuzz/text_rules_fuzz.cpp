// Every other routine that reads outside text: numbers, the double-byte
// count, blanks, process names, text lines, extended paths, log lines, the
// event-log records of a refused removal, the downloader's stored
// properties and display texts, both programs' command lines and the
// hotkey of Setting.ini.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

#include "cli/command_line.h"
#include "core/hotkey.h"
#include "drives/drive_identification.h"
#include "common/event_log.h"
#include "common/system_helpers.h"
#include "common/text_rules.h"
#include "fakes/fake_code_page.h"
#include "fuzz_check.h"
#include "net/download.h"
#include "platform/blocker_rules.h"
#include "platform/extended_path.h"
#include "platform/program_arguments.h"
#include "platform/text_lines.h"
#include "setup/silent_install.h"

namespace qm {
namespace {

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

void Numbers(const std::string& text, std::int32_t any) {
    // Every number reads back as itself.
    FUZZ_CHECK(ParseInt32(std::to_string(any)) == any);
    FUZZ_CHECK(ParseInt32("+" + std::to_string(any)) == (any >= 0 ? std::optional(any) : std::nullopt) ||
               any < 0);
    const auto value = ParseInt32(text);
    if (!value) return;
    // A number is an optional sign and digits, nothing else.
    std::string_view digits = text;
    if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
    FUZZ_CHECK(IsDigits(digits));
    std::string_view canonical = text;
    if (canonical.front() == '+') canonical.remove_prefix(1);
    const bool negative = canonical.front() == '-';
    if (negative) canonical.remove_prefix(1);
    while (canonical.size() > 1 && canonical.front() == '0') canonical.remove_prefix(1);
    const std::string expected = (negative && canonical != "0" ? "-" : "") + std::string(canonical);
    FUZZ_CHECK(std::to_string(*value) == expected);
}

void Texts(CodePage& codePage, const std::string& text) {
    const std::string trimmed = TrimBlanks(text);
    FUZZ_CHECK(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));
    FUZZ_CHECK(text.find(trimmed) != std::string::npos);
    FUZZ_CHECK(LowerAscii(text).size() == text.size() && UpperAscii(text).size() == text.size());
    FUZZ_CHECK(Utf8Length(text) <= text.size());
    if (fuzz::IsValidUtf8(text)) FUZZ_CHECK(CountDoubleByteChars(codePage, text) <= Utf8Length(text));

    // Process names: the key is a lower-cased start of the name.
    const std::string key = ProcessNameKey(text);
    FUZZ_CHECK(key.size() <= text.size());
    FUZZ_CHECK(key == LowerAscii(text.substr(0, key.size())));
    FUZZ_CHECK(ProcessNameKey(key) == key);

    // Lines: none holds a line end, and together they hold every other byte.
    std::size_t kept = 0;
    for (const std::string& line : SplitTextLines(text)) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        kept += line.size();
    }
    std::size_t breaks = 0;
    for (char c : text) breaks += c == '\r' || c == '\n';
    FUZZ_CHECK(kept + breaks == text.size());

    const std::string extended = ExtendedLengthPath(text);
    FUZZ_CHECK(extended == text || extended.rfind("\\\\?\\", 0) == 0);
    FUZZ_CHECK(ExtendedLengthPath(extended) == extended);

    const std::string line = FormatLogLine("2024-01-02 03:04:05", text);
    FUZZ_CHECK(line.size() >= 2 && line.ends_with("\r\n"));
    FUZZ_CHECK(line.find_first_of("\r\n") == line.size() - 2);

    const std::string ansi = AnsiPtrToString(codePage, text);
    FUZZ_CHECK(fuzz::IsValidUtf8(ansi));
    ImageNameOf(text);
    ParseSystemTime(text);
}

void CommandLines(const std::string& text) {
    const std::string_view rest = SkipProgramName(text);
    FUZZ_CHECK(std::string_view(text).ends_with(rest));
    const std::vector<std::string> args = SplitCommandLine(text);
    std::size_t bytes = 0;
    for (const std::string& arg : args) bytes += arg.size();
    FUZZ_CHECK(bytes <= text.size() && args.size() <= text.size());
    const CliRequest request = ParseCliArguments(args);
    FUZZ_CHECK(request.letter == 0 || (request.letter >= 'A' && request.letter <= 'Z'));
    FUZZ_CHECK(request.problem.empty() || request.letter == 0);
    const char letter = DriveLetterArgument(text);
    FUZZ_CHECK(letter == 0 || (letter >= 'A' && letter <= 'Z'));

    // A folder of /D= is never empty, and always ends in one backslash.
    const SetupArguments setup = ParseSetupArguments(text);
    if (setup.folder) {
        FUZZ_CHECK(!TrimBlanks(*setup.folder).empty());
        FUZZ_CHECK(SilentInstallFolder(*setup.folder).ends_with("\\"));
    }
    // A removal's arguments are whole, or refused.
    if (setup.problem.empty()) FUZZ_CHECK(!setup.purge || setup.uninstall);
    if (setup.problem.empty()) FUZZ_CHECK(!setup.uninstall || !setup.folder);
    if (const auto hotkey = ParseHotkey(text)) {
        FUZZ_CHECK(hotkey->key != 0 && (hotkey->modifiers & ~0xFu) == 0);
    }
}

void Records(const std::string& xml, const std::string& path, std::uint64_t since) {
    std::vector<PnpVetoEvent> events;
    if (const auto event = ParsePnpVetoEvent(xml)) events.push_back(*event);
    events.push_back(PnpVetoEvent{since + 1, 42, path, "USB\\VID_0951&PID_1666\\1"});
    BlockerQuery query;
    query.letter = path.empty() ? 'G' : path[0];
    query.volumeDevice = "\\Device\\HarddiskVolume5";
    query.deviceIds = {"USB\\VID_0951&PID_1666\\1", path};
    query.since = since;
    const std::vector<Blocker> blockers = BlockersFromVetoEvents(events, query);
    FUZZ_CHECK(blockers.size() <= events.size());
    PathLiesOnVolume(path, query);
}

void Downloads(FuzzedDataProvider& in, const std::string& text) {
    PropertyBag bag;
    bag.write("CHUNK", text, "1024");
    bag.write("URL", in.ConsumeRandomLengthString(30), "");
    bag.write("KeepType", in.ConsumeBool() ? "True" : in.ConsumeRandomLengthString(5), "False");
    ApplyUrlExtension(in.ConsumeRandomLengthString(30), in.ConsumeRandomLengthString(30));
    const double rate = in.ConsumeFloatingPoint<double>();
    FormatRate(rate);
    FormatTimeLeft(in.ConsumeFloatingPoint<float>());
    FormatTimeLeft(static_cast<float>(in.ConsumeIntegralInRange<std::int64_t>(-100000, 100000)) / 7);
}

}  // namespace
}  // namespace qm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm;
    static FakeCodePage codePage;
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(300);
    Numbers(text, in.ConsumeIntegral<std::int32_t>());
    Texts(codePage, text);
    CommandLines(text);
    Downloads(in, text);
    const std::string path = in.ConsumeRandomLengthString(60);
    Records(in.ConsumeRemainingBytesAsString(), path, in.ConsumeIntegral<std::uint64_t>());
    return 0;
}
