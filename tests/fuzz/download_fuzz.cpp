// The downloader against a scripted server built from the input: any status
// line and header, bodies in any chunking, failures, stalls, resume answers,
// and Cancel, Pause and the program's end arriving at any poll.
#include <fuzzer/FuzzedDataProvider.h>

#include <deque>
#include <map>

#include "common/text_rules.h"
#include "fakes/fake_event_loop.h"
#include "fakes/fake_file_system.h"
#include "fuzz_check.h"
#include "fuzz_http.h"
#include "net/download.h"

namespace qm {
namespace {

// Boxes answer from the input; once it has no more answers a box cannot be
// shown (0), which ends every prompt loop.
struct FuzzPrompts final : DownLoadPrompts {
    std::deque<int> answers;
    std::deque<std::string> inputs;
    int messageBox(const std::string&, const std::string&, std::uint32_t) override {
        if (answers.empty()) return 0;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        if (inputs.empty()) return std::nullopt;
        std::string a = inputs.front();
        inputs.pop_front();
        return a;
    }
};

// Knows which scripted response the current request is, so that a reported
// success can be held against the body the server sent.
struct TrackingTransfer final : FakeHttpTransfer {
    std::vector<Response> script;
    std::size_t taken = 0;
    std::optional<std::size_t> current;
    bool execute(const std::string& requestHeaders) override {
        const bool had = !responses.empty();
        const bool started = FakeHttpTransfer::execute(requestHeaders);
        current.reset();
        if (started && had) current = taken++;
        return started;
    }
    void cancel() override {
        FakeHttpTransfer::cancel();
        current.reset();
    }
    // The length the downloader was last told, whichever of several lines.
    std::optional<std::string> contentLength;
    using FakeHttpTransfer::getHeader;
    std::optional<std::string> getHeader(const std::string& name) override {
        std::optional<std::string> value = FakeHttpTransfer::getHeader(name);
        if (LowerAscii(name) == "content-length") contentLength = value;
        return value;
    }
};

// A length the downloader can hold a body against: plain digits in 32 bits.
std::optional<std::size_t> Announced(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const std::string digits = TrimBlanks(*text);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const auto n = ParseInt32(digits);
    return n ? std::optional<std::size_t>(static_cast<std::size_t>(*n)) : std::nullopt;
}


constexpr int kPollBudget = 400;

enum class Act { Cancel, Pause, Unpause, Quit };

}  // namespace
}  // namespace qm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm;
    FuzzedDataProvider in(data, size);

    TrackingTransfer http;
    FakeFileSystem files;
    FakeEventLoop loop;
    FuzzPrompts prompts;
    files.addFolder("C:\\Quillmoor");
    const std::string kTarget = "C:\\Quillmoor\\Update.txt";
    if (in.ConsumeBool()) files.addFile(kTarget, in.ConsumeRandomLengthString(64));

    const int responses = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < responses; ++i) http.script.push_back(fuzz::ConsumeResponse(in));
    for (const auto& r : http.script) http.responses.push_back(r);
    http.refuseExecute = in.ConsumeIntegralInRange(0, 15) == 0;
    http.connection.connected = in.ConsumeIntegralInRange(0, 7) != 0;
    http.connection.flags = in.ConsumeIntegral<std::uint8_t>() & 7;
    if (in.ConsumeIntegralInRange(0, 7) == 0) files.failWriteFile.calls.insert(in.ConsumeIntegralInRange(1, 8));
    if (in.ConsumeIntegralInRange(0, 15) == 0) files.failOpenForWriting.always = true;
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) prompts.answers.push_back(in.ConsumeIntegralInRange(0, 8));
    for (int i = in.ConsumeIntegralInRange(0, 2); i > 0; --i) prompts.inputs.push_back(in.ConsumeBool() ? kTarget : "C:\\Quillmoor\\Other.txt");

    DownLoad dl{DownLoadDeps{http, files, loop, prompts, "Quillmoor v1.0.1"}};
    dl.setUrl(in.ConsumeBool() ? "http://127.0.0.1:8080/Quillmoor/Update.txt"
                               : in.ConsumeRandomLengthString(40));
    dl.setSaveLocation(kTarget);
    dl.setCHUNK(in.ConsumeBool() ? 1024 : in.ConsumeIntegralInRange(-2, 700));
    dl.setKeepType(in.ConsumeIntegralInRange(0, 3) == 0);
    dl.setOnlineCheck(in.ConsumeIntegralInRange(0, 3) == 0);
    dl.setPromptOverwrite(in.ConsumeIntegralInRange(0, 3) == 0);

    // What a handler does at which poll of the request, of the body, or pump.
    std::map<int, Act> atPoll;
    for (int i = in.ConsumeIntegralInRange(0, 4); i > 0; --i) {
        atPoll[in.ConsumeIntegralInRange(1, 60)] =
            static_cast<Act>(in.ConsumeIntegralInRange(0, 3));
    }
    int polls = 0;
    auto poll = [&] {
        ++polls;
        // Whatever the script, a run ends: a stall or a pause with nobody
        // left to lift it gives way to the program's end.
        if (polls > kPollBudget) loop.quit = true;
        const auto act = atPoll.find(polls);
        if (act == atPoll.end()) return;
        switch (act->second) {
            case Act::Cancel: dl.Cancel(); break;
            case Act::Pause: dl.Pause(true); break;
            case Act::Unpause: dl.Pause(false); break;
            case Act::Quit: loop.quit = true; break;
        }
    };
    http.onPoll = poll;
    http.onReadPoll = poll;
    loop.onPump = poll;

    int completes = 0, errors = 0;
    std::string opened;
    dl.DLComplete = [&] { ++completes; };
    dl.DLError = [&](const std::string&) { ++errors; };
    dl.StatusChange = [&](const std::string& text) {
        static const std::string kOpening = "Opening ";
        static const std::string kForInput = " For DATA Input.";
        if (text.rfind(kOpening, 0) == 0 && text.size() >= kOpening.size() + kForInput.size()) {
            opened = text.substr(kOpening.size(), text.size() - kOpening.size() - kForInput.size());
        }
    };
    dl.Rate = [](const std::string&) {};
    dl.TimeLeft = [](const std::string&) {};

    for (int step = in.ConsumeIntegralInRange(1, 6); step > 0 && in.remaining_bytes() > 0; --step) {
        const int op = in.ConsumeIntegralInRange(0, 5);
        completes = errors = 0;
        opened.clear();
        const std::optional<std::size_t> request = http.current;
        const std::optional<std::string> before = files.fileBytes(dl.SaveLocation());
        const bool resume = op == 2;
        const std::size_t takenBefore = http.taken;
        http.contentLength.reset();
        switch (op) {
            case 0:
            case 3: dl.GetFileInformation(); break;
            case 1:
            case 4: dl.Download(); break;
            case 2: dl.DLResume(); break;
            default: dl.Cancel(); break;
        }
        // However it ended, nothing stays open and the flag is down.
        FUZZ_CHECK(files.openFiles.empty());
        FUZZ_CHECK(!dl.InDL());
        FUZZ_CHECK(completes <= 1);
        FUZZ_CHECK(completes == 0 || errors == 0);
        if (completes == 0) continue;
        // A success means the file holds what the server sent, at least as
        // much as it announced: a body cut short (an empty chunk is the
        // connection closing) is never a success.
        FUZZ_CHECK(!opened.empty());
        const std::string got = files.fileBytes(opened).value_or("<none>");
        FUZZ_CHECK(got.size() >= static_cast<std::size_t>(dl.FileSize()));
        if (!resume) {
            FUZZ_CHECK(request.has_value());
            FUZZ_CHECK(http.script[*request].body.starts_with(got));
        } else {
            // The resume's own request: the whole file again (200) or the rest (206).
            FUZZ_CHECK(http.taken > takenBefore);
            const auto& answer = http.script[http.taken - 1];
            const std::string code = answer.header.substr(9, 3);
            FUZZ_CHECK(code == "200" || (code == "206" && before.has_value()));
            const std::string kept = code == "200" ? "" : *before;
            FUZZ_CHECK(got.starts_with(kept));
            const std::string rest = got.substr(kept.size());
            FUZZ_CHECK(answer.body.starts_with(rest));
            if (const auto announced = Announced(http.contentLength)) {
                FUZZ_CHECK(rest.size() >= *announced);
            }
        }
    }
    return 0;
}
