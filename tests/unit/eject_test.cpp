#include "drives/eject.h"

#include <gtest/gtest.h>

#include "drives/blocker_search.h"
#include "drives/drive_identification.h"
#include "fakes/fake_platform.h"
#include "fakes/recording_requests.h"
#include "recording_notices.h"

namespace qm {
namespace {

constexpr std::uint32_t kDiskInstance = 0x51;
constexpr std::uint32_t kUsbParent = 0x40;
constexpr std::uint32_t kRemoveVetoed = 0x17;
constexpr char kUsbId[] = "USB\\VID_0951&PID_1666\\0019E06B9C85F9A0B7A0001B";
constexpr char kDiskId[] = "USBSTOR\\DISK&VEN_KINGSTON&PROD_DT&REV_PMAP\\0019E06B9C85&0";
constexpr char kFailed[] = "弹出 KINGSTON(G:) 失败,请关闭此设备中已打开的文件";

class EjectTest : public ::testing::Test {
  protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Program Files\\Quillmoor"};
    RecordingNotices notices;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    SystemHelpers helpers{
        SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, log, notices, paths},
        "T", nullptr};
    RecordingRequests requests;
    // The system's record first, then the walk through open files.
    FakeBlockerFinder events{p.eventLoop};
    FakeBlockerFinder openFiles{p.eventLoop};
    FirstAnswerFinder blockers{{&events, &openFiles}, p.eventLoop};
    Eject eject{
        EjectDeps{p.storage, p.eventLoop, log, notices, helpers, p.shell, p.processes, blockers},
        "Quillmoor v1.0.1", &requests};
    // Fake time and the skip flag as each eject request saw them.
    std::vector<std::uint32_t> ejectTicks;
    std::vector<int> skipsAtEject;

    void SetUp() override {
        p.fileSystem.addFolder(paths.installDir());
        p.storage.volume('G').number = StorageDeviceNumber{7, 3, 1};
        p.storage.drives['G'] = {kDriveRemovable, "\\Device\\HarddiskVolume5"};
        // Another disk first, so that the search has to compare numbers.
        p.storage.addDisk(kInterfaceClassDisk, "\\\\?\\ide#disk0", 0x31, 0);
        p.storage.parents[0x31] = 0x30;
        p.storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1", kDiskInstance, 3);
        p.storage.parents[kDiskInstance] = kUsbParent;
        p.storage.instanceIds[kUsbParent] = kUsbId;
        p.storage.instanceIds[kDiskInstance] = kDiskId;
        p.storage.onEject = [this](std::uint32_t) {
            ejectTicks.push_back(p.eventLoop.tick);
            skipsAtEject.push_back(requests.leavings);
        };
    }
    static FakeStorage::EjectAnswer vetoed(int type, const std::string& name) {
        return {kRemoveVetoed, type, name};
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        for (const auto& a : p.fileSystem.appends) {
            const std::string line = p.codePage.fromAnsi(a.bytes);
            const auto tab = line.find('\t');
            lines.push_back(line.substr(tab + 1, line.size() - tab - 3));
        }
        return lines;
    }
    void expectOneNotice(const std::string& content, NoticePicture picture) {
        ASSERT_EQ(notices.shown.size(), 1u);
        EXPECT_EQ(notices.shown[0].content, content);
        EXPECT_EQ(notices.shown[0].picture, picture);
        EXPECT_EQ(notices.shown[0].title, "Quillmoor v1.0.1");
        EXPECT_EQ(notices.shown[0].kind, kNoticeInformation);
        EXPECT_EQ(notices.shown[0].disk, "tip");
    }
};

// --- the eject request ---------------------------------------------------

TEST_F(EjectTest, ThreeVetoesThenTheParentDeviceGoes) {
    const auto v = vetoed(5, "\\Device\\HarddiskVolume5");
    p.storage.ejectAnswers = {v, v, v, {}};
    eject.SafeEjectDrive("KINGSTON", "G:\\");

    ASSERT_EQ(p.storage.ejectCalls.size(), 4u);
    for (const auto& call : p.storage.ejectCalls) {
        EXPECT_EQ(call.devInst, kUsbParent);  // never the disk's own instance
        // The volume and the interface list are closed before any request.
        EXPECT_EQ(call.openDevices, 0u);
        EXPECT_EQ(call.openLists, 0u);
    }
    for (std::size_t i = 1; i < ejectTicks.size(); ++i) {
        EXPECT_GE(ejectTicks[i] - ejectTicks[i - 1], kEjectRetryMs);
        EXPECT_LT(ejectTicks[i] - ejectTicks[i - 1], kEjectRetryMs + 50);
    }
    EXPECT_EQ(p.eventLoop.tick, ejectTicks.back());  // no wait after the success
    EXPECT_EQ(p.storage.opens.front().path, "\\\\.\\G:");
    EXPECT_EQ(p.storage.opens.front().access, 0u);
    expectOneNotice("KINGSTON(G:) 已安全弹出", NoticePicture::OK);
    EXPECT_TRUE(logLines().empty());
    EXPECT_EQ(skipsAtEject.front(), 1);
    EXPECT_EQ(p.storage.badHandles, 0);
}

TEST_F(EjectTest, FourVetoesFailAndTheLogNamesTheBlocker) {
    p.storage.ejectAnswers = {vetoed(3, "Windows Explorer")};
    eject.SafeEjectDrive("KINGSTON", "G:\\");

    EXPECT_EQ(p.storage.ejectCalls.size(), 4u);
    EXPECT_GE(p.eventLoop.tick, 4 * kEjectRetryMs);
    expectOneNotice("弹出 KINGSTON(G:) 失败,请关闭此设备中已打开的文件", NoticePicture::Warning);
    EXPECT_EQ(logLines(),
              std::vector<std::string>{"弹出 KINGSTON(G:) 被阻止: WindowsApp Windows Explorer"});
}

TEST_F(EjectTest, ASuccessCodeThatCarriesAVetoIsAFailure) {
    p.storage.ejectAnswers = {{kConfigSuccess, 12, ""}};
    const EjectResult r = EjectVolume(p.storage, nullptr, "\\\\.\\G:");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.attempts, 4);
    EXPECT_EQ(r.vetoType, 12);

    // The last refusal is the one reported, and its name does not linger.
    p.storage.ejectAnswers = {vetoed(6, "USB\\VID_0951"), vetoed(2, "")};
    p.storage.ejectCalls.clear();
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    EXPECT_EQ(logLines().back(), "弹出 KINGSTON(G:) 被阻止: PendingClose");
}

TEST_F(EjectTest, VetoTypesOutsideTheKnownRangeAreUnknown) {
    EXPECT_EQ(VetoTypeName(1), "LegacyDevice");
    EXPECT_EQ(VetoTypeName(12), "InsufficientRights");
    EXPECT_EQ(VetoTypeName(0), "Unknown");
    EXPECT_EQ(VetoTypeName(13), "Unknown");
    EXPECT_EQ(VetoTypeName(-1), "Unknown");
}

TEST_F(EjectTest, ADriveWhoseDeviceIsNotFoundFailsWithoutAnyRequest) {
    struct Case {
        const char* what;
        std::function<void(FakePlatform&)> arrange;
    };
    const std::vector<Case> cases = {
        {"remote drive", [](FakePlatform& f) { f.storage.drives['G'].type = kDriveRemote; }},
        {"RAM disk", [](FakePlatform& f) { f.storage.drives['G'].type = kDriveRamDisk; }},
        {"volume does not open", [](FakePlatform& f) { f.storage.volume('G').opens = false; }},
        {"no device number", [](FakePlatform& f) { f.storage.volume('G').number.reset(); }},
        {"reported number -1",
         [](FakePlatform& f) { f.storage.volume('G').number->deviceNumber = 0xFFFFFFFF; }},
        {"no DOS device name",
         [](FakePlatform& f) { f.storage.drives['G'].dosDeviceName.reset(); }},
        {"no such disk", [](FakePlatform& f) { f.storage.volume('G').number->deviceNumber = 9; }},
        {"no parent", [](FakePlatform& f) { f.storage.parents.erase(kDiskInstance); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform f;
        f.storage.volume('G').number = StorageDeviceNumber{7, 3, 1};
        f.storage.drives['G'] = {kDriveRemovable, "\\Device\\HarddiskVolume5"};
        f.storage.addDisk(kInterfaceClassDisk, "\\\\?\\usbstor#disk1", kDiskInstance, 3);
        f.storage.parents[kDiskInstance] = kUsbParent;
        c.arrange(f);
        int waits = 0;
        const EjectResult r = EjectVolume(
            f.storage, [&](std::uint32_t) { ++waits; }, "\\\\.\\G:");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.attempts, 0);
        EXPECT_TRUE(f.storage.ejectCalls.empty());
        EXPECT_EQ(waits, 0);
        EXPECT_EQ(f.storage.openDeviceCount(), 0u);
        EXPECT_EQ(f.storage.openListCount(), 0u);
    }

    // Through the menu command: the failure notice, and no blocker to name.
    p.storage.drives['G'].type = kDriveRemote;
    eject.SafeEjectDrive("网络", "G:\\");
    expectOneNotice("弹出 网络(G:) 失败,请关闭此设备中已打开的文件", NoticePicture::Warning);
    EXPECT_TRUE(logLines().empty());
}

// --- naming what holds the drive -----------------------------------------

TEST_F(EjectTest, TheSystemsRecordNamesTheBlockersOfThisEject) {
    p.storage.ejectAnswers = {vetoed(5, "STORAGE\\Volume\\_??_USBSTOR#Disk")};
    events.answer = {{4312, "WINWORD.EXE"}, {1288, "explorer.exe"}};
    events.takesMs = 40;
    eject.SafeEjectDrive("KINGSTON", "G:\\");

    expectOneNotice(std::string(kFailed) + "\r\n占用程序: WINWORD.EXE (4312), explorer.exe (1288)",
                    NoticePicture::Warning);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "弹出 KINGSTON(G:) 被阻止: OutstandingOpen STORAGE\\Volume\\_??_USBSTOR#Disk",
                  "弹出 KINGSTON(G:) 被占用: WINWORD.EXE (4312), explorer.exe (1288)"}));
    ASSERT_EQ(events.queries.size(), 1u);
    const BlockerQuery& q = events.queries[0];
    EXPECT_EQ(q.letter, 'G');
    EXPECT_EQ(q.volumeDevice, "\\Device\\HarddiskVolume5");
    EXPECT_EQ(q.deviceIds,
              (std::vector<std::string>{kUsbId, kDiskId, "STORAGE\\Volume\\_??_USBSTOR#Disk"}));
    // Records are held against the clock as it was before the first request.
    EXPECT_EQ(ejectTicks.front(), 0u);
    EXPECT_EQ(q.since, p.eventLoop.systemTimeAtTick0);
    // It answered: no walk, and the notice did not wait for the limit.
    EXPECT_TRUE(openFiles.queries.empty());
    EXPECT_LE(p.eventLoop.tick - ejectTicks.back(), kEjectRetryMs + 40 + kBlockerPollMs);
    EXPECT_EQ(events.alive, 0);
}

TEST_F(EjectTest, WithoutARecordTheOpenFilesNameTheProcess) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
    };
    const std::vector<Case> cases = {
        {"the record names nobody", [] {}},
        {"the log cannot be read", [this] { events.failStart.always = true; }},
        {"the log does not answer in its share",
         [this] {
             events.neverEnds = true;
             events.partial = {};
         }},
        {"the device was never found", [this] { p.storage.parents.erase(kDiskInstance); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        notices.shown.clear();
        p.fileSystem.appends.clear();
        c.arrange();
        p.storage.ejectAnswers = {vetoed(5, "")};
        openFiles.answer = {{77, "notepad.exe"}};
        openFiles.takesMs = 300;
        eject.SafeEjectDrive("KINGSTON", "G:\\");

        expectOneNotice(std::string(kFailed) + "\r\n占用程序: notepad.exe (77)",
                        NoticePicture::Warning);
        EXPECT_EQ(logLines().back(), "弹出 KINGSTON(G:) 被占用: notepad.exe (77)");
        EXPECT_EQ(events.alive + openFiles.alive, 0);
        events.failStart = {};
        events.neverEnds = false;
    }
    EXPECT_EQ(openFiles.queries.size(), cases.size());
    // Never found: nothing to match a record against.
    EXPECT_TRUE(openFiles.queries.back().deviceIds.empty());
    EXPECT_EQ(openFiles.queries.back().letter, 'G');
}

TEST_F(EjectTest, NothingFoundLeavesTheNoticeAsItWas) {
    p.storage.ejectAnswers = {vetoed(5, "")};
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    expectOneNotice(kFailed, NoticePicture::Warning);
    EXPECT_EQ(logLines(), std::vector<std::string>{"弹出 KINGSTON(G:) 被阻止: OutstandingOpen"});
    EXPECT_EQ(events.queries.size(), 1u);
    EXPECT_EQ(openFiles.queries.size(), 1u);

    // A drive that went is not looked into.
    notices.shown.clear();
    p.storage.ejectAnswers = {};
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    EXPECT_EQ(events.queries.size(), 1u);
}

TEST_F(EjectTest, AWalkThatOutlastsItsBoundEndsAndNamesWhatItFound) {
    p.storage.ejectAnswers = {vetoed(5, "")};
    openFiles.neverEnds = true;
    openFiles.partial = {{77, "notepad.exe"}};
    eject.SafeEjectDrive("KINGSTON", "G:\\");

    expectOneNotice(std::string(kFailed) + "\r\n占用程序: notepad.exe (77)",
                    NoticePicture::Warning);
    const std::uint32_t searched = p.eventLoop.tick - ejectTicks.back() - kEjectRetryMs;
    EXPECT_GE(searched, kBlockerSearchLimitMs);
    EXPECT_LE(searched, kBlockerSearchLimitMs + kBlockerPollMs);
    // Given up, not waited for: its worker may finish on its own.
    EXPECT_EQ(openFiles.givenUpRunning, 1);
    EXPECT_EQ(openFiles.alive, 0);
}

TEST_F(EjectTest, TheNoticeNamesThreeAndTheLogNamesAll) {
    p.storage.ejectAnswers = {vetoed(5, "")};
    events.answer = {{1, "a.exe"}, {2, "b.exe"}, {3, "c.exe"}};
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    expectOneNotice(std::string(kFailed) + "\r\n占用程序: a.exe (1), b.exe (2), c.exe (3)",
                    NoticePicture::Warning);

    notices.shown.clear();
    events.answer.push_back({4, "d.exe"});
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    expectOneNotice(std::string(kFailed) + "\r\n占用程序: a.exe (1), b.exe (2), c.exe (3)等",
                    NoticePicture::Warning);
    EXPECT_EQ(logLines().back(),
              "弹出 KINGSTON(G:) 被占用: a.exe (1), b.exe (2), c.exe (3), d.exe (4)");
}

TEST_F(EjectTest, ARefusalWithHoldersIsHandedOnAfterItsNoticeAndLog) {
    struct Refusals final : EjectRefusals {
        std::vector<RefusedEject> got;
        std::function<void()> onRefused;
        void ejectRefused(const RefusedEject& refused) override {
            got.push_back(refused);
            if (onRefused) onRefused();
        }
    } refusals;
    eject.setRefusals(&refusals);
    refusals.onRefused = [&] {
        EXPECT_EQ(notices.shown.size(), 1u);
        EXPECT_EQ(logLines().back(), "弹出 KINGSTON(G:) 被占用: notepad.exe (77)");
    };
    p.storage.ejectAnswers = {vetoed(5, "")};
    Blocker held{77, "notepad.exe"};
    held.files = {"G:\\a.txt"};
    held.fileCount = 1;
    held.startTime = 5;
    openFiles.answer = {held};
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    ASSERT_EQ(refusals.got.size(), 1u);
    EXPECT_EQ(refusals.got[0].label, "KINGSTON");
    EXPECT_EQ(refusals.got[0].root, "G:\\");
    EXPECT_EQ(refusals.got[0].blockers, std::vector<Blocker>{held});
    // The query the window follows the holders with is the eject's own.
    EXPECT_EQ(refusals.got[0].query.volumeDevice, "\\Device\\HarddiskVolume5");
    EXPECT_EQ(refusals.got[0].query.deviceIds, openFiles.queries.back().deviceIds);

    // Nobody found, or the drive gone: nothing to hand on.
    openFiles.answer.clear();
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    p.storage.ejectAnswers = {{}};
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    EXPECT_EQ(refusals.got.size(), 1u);
}

TEST_F(EjectTest, MessagesRunWhileTheNamesAreSought) {
    p.storage.ejectAnswers = {vetoed(5, "")};
    events.answer = {{4312, "WINWORD.EXE"}};
    events.takesMs = 200;
    // Another eject arrives while the first one waits for its names; each
    // search is its own, so neither loses its answer.
    bool nested = false;
    p.eventLoop.onWait = [&](std::uint32_t) {
        if (nested || events.alive == 0) return;
        nested = true;
        p.eventLoop.post([&] { eject.SafeEjectDrive("OTHER", "G:\\"); });
    };
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    ASSERT_EQ(notices.shown.size(), 2u);
    EXPECT_EQ(notices.shown[0].content,
              "弹出 OTHER(G:) 失败,请关闭此设备中已打开的文件\r\n占用程序: WINWORD.EXE (4312)");
    EXPECT_EQ(notices.shown[1].content, std::string(kFailed) + "\r\n占用程序: WINWORD.EXE (4312)");
    EXPECT_EQ(events.alive, 0);

    // A quit request ends the wait at once: the notice goes out as it is.
    notices.shown.clear();
    p.eventLoop.onWait = [&](std::uint32_t) {
        if (events.alive > 0) p.eventLoop.quit = true;
    };
    const std::uint32_t before = p.eventLoop.tick;
    eject.SafeEjectDrive("KINGSTON", "G:\\");
    expectOneNotice(kFailed, NoticePicture::Warning);
    EXPECT_LT(p.eventLoop.tick - before, 4 * kEjectRetryMs + events.takesMs);
    EXPECT_EQ(events.givenUpRunning, 1);
}

TEST(AllAnswersFinderTest, EveryFinderIsAskedAtOnceAndAllMustHaveLookedEverywhere) {
    FakeEventLoop loop;
    FakeBlockerFinder files{loop}, windows{loop};
    AllAnswersFinder all({&files, &windows});
    files.answer = {{77, "notepad.exe"}};
    files.takesMs = 100;
    files.exhaustive = true;
    Blocker folder{1288, "explorer.exe"};
    folder.kind = BlockerKind::FolderWindow;
    folder.window = 0x70;
    windows.answer = {folder, {77, "notepad.exe"}};
    windows.exhaustive = true;
    auto search = all.start(BlockerQuery{'G', {}, {}, 0});
    ASSERT_TRUE(search);
    EXPECT_EQ(files.queries.size(), 1u);
    EXPECT_EQ(windows.queries.size(), 1u);
    EXPECT_TRUE(search->running());
    EXPECT_FALSE(search->exhaustive());
    loop.tick = 100;
    EXPECT_FALSE(search->running());
    EXPECT_TRUE(search->exhaustive());
    EXPECT_EQ(search->found(), (std::vector<Blocker>{{77, "notepad.exe"}, folder}));

    // One that could not start leaves the others' answer, but not the
    // word that nobody else holds anything.
    windows.failStart.always = true;
    search = all.start(BlockerQuery{'G', {}, {}, 0});
    loop.tick = 300;
    EXPECT_EQ(search->found().size(), 1u);
    EXPECT_FALSE(search->exhaustive());
    files.failStart.always = true;
    EXPECT_FALSE(all.start(BlockerQuery{'G', {}, {}, 0}));
}

// --- forced eject --------------------------------------------------------

TEST_F(EjectTest, CancellingTheForcedEjectLeavesEverythingAlone) {
    const auto shell = p.processes.add("explorer.exe");
    p.shell.boxAnswer = 2;  // IDCANCEL
    eject.ForceEjectDrive("KINGSTON", "G:\\");

    ASSERT_EQ(p.shell.boxes.size(), 1u);
    EXPECT_EQ(p.shell.boxes[0].text, "强制弹出将重建 Explorer 进程\r\n\r\n确定要强制弹出吗?");
    EXPECT_EQ(p.shell.boxes[0].title, "Quillmoor v1.0.1");
    EXPECT_EQ(p.shell.boxes[0].style, 0x41u);
    EXPECT_TRUE(p.processes.isRunning(shell));
    EXPECT_TRUE(p.processes.terminateCalls.empty());
    EXPECT_TRUE(p.storage.ejectCalls.empty());
    EXPECT_TRUE(p.processes.startCalls.empty());
    EXPECT_TRUE(notices.shown.empty());
    EXPECT_EQ(requests.leavings, 0);
}

TEST_F(EjectTest, ForcedEjectEndsOnlyThisSessionsShellAndStartsItAgainMinimised) {
    const auto ours = p.processes.add("EXPLORER.EXE", 1);
    const auto theirs = p.processes.add("explorer.exe", 2);
    const auto other = p.processes.add("notepad.exe", 1);
    p.processes.windowsDir = "D:\\WINNT";
    eject.ForceEjectDrive("KINGSTON", "G:\\");

    EXPECT_FALSE(p.processes.isRunning(ours));
    EXPECT_TRUE(p.processes.isRunning(theirs));
    EXPECT_TRUE(p.processes.isRunning(other));
    for (const auto& t : p.processes.terminateCalls) EXPECT_EQ(t.processId, ours);
    // The other user's shell does not keep the loop going.
    EXPECT_LT(ejectTicks.at(0), 1000u);
    EXPECT_EQ(skipsAtEject.at(0), 1);
    expectOneNotice("KINGSTON(G:) 已安全弹出", NoticePicture::OK);
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    // The shell by its full path, never by a name looked up in the working folder.
    EXPECT_EQ(p.processes.startCalls[0].commandLine, "\"D:\\WINNT\\explorer.exe\"");
    EXPECT_EQ(p.processes.startCalls[0].showState, 2);
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
}

TEST_F(EjectTest, AShellThatWillNotDieStopsTheLoopAtItsBoundAndTheEjectStillRuns) {
    const auto stuck = p.processes.add("explorer.exe", 1);
    p.processes.survivesTerminate.insert(stuck);
    p.storage.ejectAnswers = {vetoed(5, "\\Device\\HarddiskVolume5")};
    // An unbounded loop fails here instead of hanging the run.
    int pumps = 0;
    p.eventLoop.onPump = [&] {
        if (++pumps > 10000) p.eventLoop.quit = true;
    };
    eject.ForceEjectDrive("KINGSTON", "G:\\");

    EXPECT_FALSE(p.eventLoop.quit);
    ASSERT_EQ(p.storage.ejectCalls.size(), 4u);
    EXPECT_GE(ejectTicks[0], kShellStopLimitMs);
    EXPECT_LT(ejectTicks[0], kShellStopLimitMs + 500);
    expectOneNotice("强制弹出 KINGSTON(G:) 失败,请检查是否有其它程序在运行此设备中的文件",
                    NoticePicture::Warning);
    EXPECT_EQ(logLines(),
              std::vector<std::string>{
                  "弹出 KINGSTON(G:) 被阻止: OutstandingOpen \\Device\\HarddiskVolume5"});
    // It is still there, so no second one is started.
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(EjectTest, AShellThatCameBackDuringTheEjectIsNotStartedTwice) {
    p.processes.add("explorer.exe", 1);
    p.storage.onEject = [this](std::uint32_t) {
        if (p.processes.idsOf("explorer.exe").empty()) p.processes.add("explorer.exe", 1);
    };
    eject.ForceEjectDrive("KINGSTON", "G:\\");
    EXPECT_EQ(p.storage.ejectCalls.size(), 1u);
    EXPECT_TRUE(p.processes.startCalls.empty());
}

TEST_F(EjectTest, AShellTheSystemRestartsWhileStoppingIsEndedToo) {
    p.processes.add("explorer.exe", 1);
    // The system brings a shell back once, soon after the first one went.
    bool restarted = false;
    p.eventLoop.onPump = [&] {
        if (!restarted && p.processes.idsOf("explorer.exe").empty() &&
            !p.processes.terminateCalls.empty()) {
            restarted = true;
            p.processes.add("explorer.exe", 1);
        }
    };
    std::size_t shellsAtEject = 99;
    p.storage.onEject = [&](std::uint32_t) {
        shellsAtEject = p.processes.idsOf("explorer.exe").size();
    };
    eject.ForceEjectDrive("KINGSTON", "G:\\");
    ASSERT_TRUE(restarted);
    EXPECT_EQ(shellsAtEject, 0u);
    EXPECT_EQ(p.processes.startCalls.size(), 1u);
}

}  // namespace
}  // namespace qm
