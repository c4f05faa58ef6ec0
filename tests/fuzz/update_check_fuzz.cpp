// The update check against a scripted server: any Update.txt, any running
// version text, any UpdateServer value, transfers that fail, stall or are
// cut short, and the menu asking again or the program ending mid-check.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>

#include "fakes/fake_platform.h"
#include "fakes/recording_requests.h"
#include "fuzz_check.h"
#include "fuzz_http.h"
#include "net/update_check.h"

namespace qm {
namespace {

struct NoPrompts final : DownLoadPrompts {
    int messageBox(const std::string&, const std::string&, std::uint32_t) override { return 0; }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
};

struct CountingNotices final : NoticePresenter {
    std::vector<std::string> shown;
    void ShowNotice(const std::string&, const std::string& content, NoticePicture, int,
                    const std::string&) override {
        shown.push_back(content);
    }
};

constexpr int kPollBudget = 400;
constexpr char kNewVersionNotice[] = "提示:检测到新版本 v";

enum class Act { Cancel, AskAgain, End, Quit };

std::string ConsumeVersionText(FuzzedDataProvider& in) {
    static const char* const kVersions[] = {"1.0.68", "1.0.70", "1.0.1", "2.0.0.0", "0.0.0",
                                            "1.0.99", "+1.0.70", "-1", "2147483647", "1..0"};
    return in.ConsumeBool() ? in.PickValueInArray(kVersions) : in.ConsumeRandomLengthString(16);
}

}  // namespace
}  // namespace qm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm;
    FuzzedDataProvider in(data, size);
    FakePlatform p;
    NoPrompts prompts;
    CountingNotices notices;
    const InstallPaths paths("C:\\Program Files\\Quillmoor");
    p.fileSystem.addFolder(paths.installDir());
    if (in.ConsumeBool()) p.fileSystem.addFile(paths.settingIni(), in.ConsumeRandomLengthString(80));
    // A descriptor left over from an earlier check.
    if (in.ConsumeBool()) p.fileSystem.addFile(paths.file("Update.txt"), ConsumeVersionText(in));

    auto& http = p.http;
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        FakeHttpTransfer::Response r = fuzz::ConsumeResponse(in);
        if (in.ConsumeBool()) {
            // Mostly a descriptor as the server keeps it, sent whole.
            r = FakeHttpTransfer::ok(p.codePage.toAnsi(ConsumeVersionText(in)) +
                                     in.ConsumeRandomLengthString(40));
            r.split = {in.ConsumeIntegralInRange<std::size_t>(0, 8)};
        }
        http.responses.push_back(r);
    }
    http.refuseExecute = in.ConsumeIntegralInRange(0, 15) == 0;

    DownLoad dl{DownLoadDeps{http, p.fileSystem, p.eventLoop, prompts, "Quillmoor v1.0.68"}};
    EventLog log(p.fileSystem, p.codePage, p.eventLoop, paths.logTxt());
    SystemHelpers helpers(SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, log,
                                            notices, paths},
                          "Quillmoor v1.0.68", nullptr);
    RecordingRequests program;
    bool& ending = program.isEnding;
    UpdateCheck check(UpdateCheckDeps{dl, p.fileSystem, p.profile, p.processes, p.eventLoop, log,
                                      notices, helpers, paths},
                      ConsumeVersionText(in), "Quillmoor v1.0.68", program);
    int completes = 0;
    const auto onComplete = dl.DLComplete;
    dl.DLComplete = [&] {
        ++completes;
        onComplete();
    };

    std::map<int, Act> atPoll;
    for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) {
        atPoll[in.ConsumeIntegralInRange(1, 40)] = static_cast<Act>(in.ConsumeIntegralInRange(0, 3));
    }
    int polls = 0;
    auto poll = [&] {
        ++polls;
        if (polls > kPollBudget) p.eventLoop.quit = ending = true;
        const auto act = atPoll.find(polls);
        if (act == atPoll.end()) return;
        switch (act->second) {
            case Act::Cancel: dl.Cancel(); break;
            case Act::AskAgain: check.StartCheckUpdate(); break;  // ignored while one runs
            case Act::End: ending = true; break;
            case Act::Quit: p.eventLoop.quit = ending = true; break;
        }
    };
    http.onPoll = poll;
    http.onReadPoll = poll;
    p.eventLoop.onPump = poll;

    for (int round = in.ConsumeIntegralInRange(1, 3); round > 0; --round) {
        check.setQuietUpdate(in.ConsumeBool());
        notices.shown.clear();
        completes = 0;
        const std::size_t processesBefore = p.processes.processes.size();
        check.StartCheckUpdate();
        FUZZ_CHECK(!check.running());
        FUZZ_CHECK(!dl.InDL());
        FUZZ_CHECK(p.fileSystem.openFiles.empty());
        // One check says one thing at most.
        FUZZ_CHECK(notices.shown.size() <= 1);
        const std::size_t started = p.processes.processes.size() - processesBefore;
        FUZZ_CHECK(started <= 1);
        if (started == 1) {
            // Only a descriptor that arrived in this check, with a newer
            // version than the running one, starts the updater.
            FUZZ_CHECK(completes >= 1);
            FUZZ_CHECK(!ending);
            FUZZ_CHECK(!notices.shown.empty() && notices.shown[0].rfind(kNewVersionNotice, 0) == 0);
        }
        for (const std::string& text : notices.shown) FUZZ_CHECK(fuzz::IsValidUtf8(text));
        FUZZ_CHECK(fuzz::IsValidUtf8(check.NewVersionText()));
    }
    return 0;
}
