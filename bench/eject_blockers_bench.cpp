// A safe eject refused four times, from the last refusal to the failure
// notice, over the in-memory platform: how long the program waits for the
// names of the programs holding the drive (counter to_notice_ms, in the
// fakes' clock, the 300 ms wait after the last refusal left out), and what
// reading the system's records costs the worker (real time). With the
// window that lists them: from the last refusal to that window's rows
// (to_window_ms, the fakes' clock), and what making its rows costs (real time).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "drives/blocker_search.h"
#include "drives/drive_identification.h"
#include "drives/eject.h"
#include "fakes/fake_platform.h"
#include "platform/blocker_rules.h"
#include "ui/blocker_window.h"

namespace qm {
namespace {

// Notes the fake clock when the notice goes out.
struct TimedNotices final : NoticePresenter {
    FakeEventLoop* loop = nullptr;
    std::uint32_t shownAt = 0;
    void ShowNotice(const std::string&, const std::string&, NoticePicture, int,
                    const std::string&) override {
        shownAt = loop->tick;
    }
};

struct EjectBench {
    FakePlatform p;
    InstallPaths paths{"C:\\Quillmoor"};
    TimedNotices notices;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    SystemHelpers helpers{
        SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, log, notices, paths},
        "T", nullptr};
    FakeBlockerFinder events{p.eventLoop};
    FakeBlockerFinder openFiles{p.eventLoop};
    FirstAnswerFinder blockers{{&events, &openFiles}, p.eventLoop};
    Eject eject{
        EjectDeps{p.storage, p.eventLoop, log, notices, helpers, p.shell, p.processes, blockers},
        "Quillmoor v1.0.1", nullptr};
    std::uint32_t lastRequest = 0;

    // The window a refusal opens, as the tray program opens it.
    struct NoRunner final : EjectRunner {
        EjectOutcome ejectAgain(char, const std::string&, bool) override {
            return EjectOutcome::Failed;
        }
    } runner;
    struct Windows final : EjectRefusals {
        EjectBench* bench = nullptr;
        std::unique_ptr<BlockerWindow> window;
        std::uint32_t shownAt = 0;
        void ejectRefused(const RefusedEject& refused) override {
            FakePlatform& p = bench->p;
            window = std::make_unique<BlockerWindow>(
                BlockerWindowDeps{p.holders, p.blockers, p.eventLoop, bench->log, bench->runner},
                HeldDrive{'G', "1A2B", refused.label, refused.root, refused.query,
                          refused.blockers});
            if (!window->rows().empty()) shownAt = p.eventLoop.tick;
        }
    } windows;

    EjectBench() {
        notices.loop = &p.eventLoop;
        p.fileSystem.addFolder(paths.installDir());
        p.storage.volume('G').number = StorageDeviceNumber{7, 3, 1};
        p.storage.drives['G'] = {kDriveRemovable, "\\Device\\HarddiskVolume5"};
        p.storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1", 0x51, 3);
        p.storage.parents[0x51] = 0x40;
        p.storage.instanceIds[0x40] = "USB\\VID_0951&PID_1666\\0019E06B9C85F9A0B7A0001B";
        p.storage.ejectAnswers = {{0x17, 5, "STORAGE\\Volume\\1"}};
        p.storage.onEject = [this](std::uint32_t) { lastRequest = p.eventLoop.tick; };
        // A worker that ends wakes the waiting loop, as its message does
        // on the system.
        p.eventLoop.onWait = [this](std::uint32_t ms) {
            for (const FakeBlockerFinder* f : {&events, &openFiles}) {
                if (f->alive == 0 || f->neverEnds) continue;
                const std::uint32_t end = f->startTicks.back() + f->takesMs;
                if (end > p.eventLoop.tick && end <= p.eventLoop.tick + ms) {
                    p.eventLoop.tick = end;
                    p.eventLoop.post([] {});
                    return;
                }
            }
        };
    }

    void run(benchmark::State& state) {
        double total = 0;
        double toWindow = 0;
        for (auto _ : state) {
            p.eventLoop.tick = 0;
            eject.SafeEjectDrive("KINGSTON", "G:\\");
            total += notices.shownAt - lastRequest - kEjectRetryMs;
            toWindow += windows.shownAt - lastRequest - kEjectRetryMs;
            windows.window.reset();
            p.fileSystem.appends.clear();
            p.storage.ejectCalls.clear();
            p.storage.opens.clear();
            p.storage.controls.clear();
            p.storage.listsOpened.clear();
            for (FakeBlockerFinder* f : {&events, &openFiles}) {
                f->queries.clear();
                f->startTicks.clear();
            }
            p.eventLoop.waits.clear();
        }
        state.counters["to_notice_ms"] = total / static_cast<double>(state.iterations());
        if (windows.bench != nullptr) {
            state.counters["to_window_ms"] = toWindow / static_cast<double>(state.iterations());
        }
    }

    // The window opens for every refusal that found somebody: each holder
    // a running process of this user with a window of its own.
    void withWindow(std::uint32_t holders) {
        windows.bench = this;
        eject.setRefusals(&windows);
        events.answer.clear();
        for (std::uint32_t pid = 1000; pid < 1000 + holders; ++pid) {
            events.answer.push_back({pid, "holder.exe"});
            p.holders.add(pid, pid * 7ull, "C:\\Apps\\holder.exe");
            p.holders.addWindow(pid, "a document");
        }
    }
};

// The system's record answers after `range(0)` ms.
void BM_NoticeWhenTheRecordAnswers(benchmark::State& state) {
    EjectBench b;
    b.events.answer = {{4312, "WINWORD.EXE"}, {1288, "explorer.exe"}};
    b.events.takesMs = static_cast<std::uint32_t>(state.range(0));
    b.run(state);
}
BENCHMARK(BM_NoticeWhenTheRecordAnswers)->Arg(5)->Arg(30)->Arg(200);

// The window listing `range(1)` holders, the record answering after `range(0)` ms.
void BM_WindowWhenTheRecordAnswers(benchmark::State& state) {
    EjectBench b;
    b.withWindow(static_cast<std::uint32_t>(state.range(1)));
    b.events.takesMs = static_cast<std::uint32_t>(state.range(0));
    b.run(state);
}
BENCHMARK(BM_WindowWhenTheRecordAnswers)->Args({5, 1})->Args({30, 1})->Args({30, 20});

// No record; the walk through open files answers after `range(0)` ms.
void BM_NoticeWhenTheWalkAnswers(benchmark::State& state) {
    EjectBench b;
    b.events.takesMs = 20;
    b.openFiles.answer = {{77, "notepad.exe"}};
    b.openFiles.takesMs = static_cast<std::uint32_t>(state.range(0));
    b.run(state);
}
BENCHMARK(BM_NoticeWhenTheWalkAnswers)->Arg(100)->Arg(600);

// Neither answers: the record's log hangs past its share, the walk past the limit.
void BM_NoticeWhenNothingAnswers(benchmark::State& state) {
    EjectBench b;
    b.events.neverEnds = true;
    b.openFiles.neverEnds = true;
    b.run(state);
}
BENCHMARK(BM_NoticeWhenNothingAnswers);

// The worker's own part of reading the records: parse and match `range(0)`
// rendered records, one in eight about the stick.
void BM_ReadVetoRecords(benchmark::State& state) {
    std::vector<std::string> xml;
    for (int i = 0; i < state.range(0); ++i) {
        xml.push_back(
            "<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System>"
            "<Provider Name='Microsoft-Windows-Kernel-PnP' Guid='{9c205a39-1250-487d-abd7-"
            "e831c6290539}'/><EventID>225</EventID><Version>2</Version><Level>3</Level>"
            "<Task>223</Task><TimeCreated SystemTime='2024-01-02T03:04:05.1234567Z'/>"
            "<EventRecordID>699231</EventRecordID><Execution ProcessID='4' ThreadID='52'/>"
            "<Channel>System</Channel><Computer>pc</Computer></System><EventData>"
            "<Data Name='ProcessId'>" +
            std::to_string(1000 + i) +
            "</Data><Data Name='ProcessNameLength'>52</Data><Data Name='ProcessName'>"
            "\\Device\\HarddiskVolume3\\Windows\\System32\\dllhost.exe</Data>"
            "<Data Name='DeviceInstanceIdLength'>40</Data><Data Name='DeviceInstanceId'>" +
            (i % 8 == 0 ? std::string("USB\\VID_0951&amp;PID_1666\\1")
                        : "USB\\VID_1&amp;PID_2\\3") +
            "</Data></EventData></Event>");
    }
    BlockerQuery query;
    query.deviceIds = {"USB\\VID_0951&PID_1666\\1"};
    for (auto _ : state) {
        std::vector<PnpVetoEvent> events;
        for (const std::string& record : xml) {
            if (auto e = ParsePnpVetoEvent(record)) events.push_back(std::move(*e));
        }
        benchmark::DoNotOptimize(BlockersFromVetoEvents(events, query));
    }
}
BENCHMARK(BM_ReadVetoRecords)->Arg(16)->Arg(256);

}  // namespace
}  // namespace qm
