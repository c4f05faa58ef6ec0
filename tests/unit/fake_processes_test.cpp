// The process and screen fakes script what other suites wait for (a started
// program that ends, a process that will not die); these cases pin the parts
// of that script that are easy to get wrong.
#include "fakes/fake_processes.h"

#include <gtest/gtest.h>

#include "fakes/fake_desktop.h"

namespace qm {
namespace {

TEST(FakeProcesses, StartedProcessRunsForItsScriptedQueries) {
    FakeProcesses procs;
    procs.startedQueriesBeforeExit = 2;
    procs.startedExitCode = 7;
    const Processes::Handle h = procs.start("  \"C:\\Program Files\\Q\\up date.exe\" /S", 0, {});
    ASSERT_NE(h, 0u);
    ASSERT_EQ(procs.idsOf("UP DATE.EXE").size(), 1u) << "the quoted path names the image";
    EXPECT_EQ(procs.exitCode(h), kStillActive);
    procs.failExitCode.calls = {2};
    EXPECT_EQ(procs.exitCode(h), std::nullopt);
    EXPECT_EQ(procs.exitCode(h), kStillActive) << "a failed query does not use up the script";
    EXPECT_EQ(procs.exitCode(h), 7u);
    EXPECT_EQ(procs.exitCode(h), 7u);
    EXPECT_TRUE(procs.snapshot().empty()) << "an ended process leaves the snapshot";

    // A bare name gets ".exe"; a blank command line starts nothing.
    const Processes::Handle other = procs.start("notepad x.txt", 3, {});
    EXPECT_EQ(procs.idsOf("Notepad.exe").size(), 1u);
    EXPECT_EQ(procs.start("   ", 1, {}), 0u);
    ASSERT_EQ(procs.startCalls.size(), 3u);
    EXPECT_EQ(procs.startCalls[1].showState, 3);
    EXPECT_EQ(procs.startCalls[2].handle, 0u);
    EXPECT_EQ(procs.exitCode(other), kStillActive) << "runs until ended by default";

    EXPECT_EQ(procs.openHandleCount(), 2u);
    procs.close(h);
    procs.close(h);
    EXPECT_EQ(procs.badCloses, 1);
    EXPECT_EQ(procs.exitCode(h), std::nullopt) << "a closed handle reads nothing";
    procs.close(other);
    EXPECT_EQ(procs.openHandleCount(), 0u);
}

TEST(FakeProcesses, TerminateRespectsProtectedAndStuckProcesses) {
    FakeProcesses procs;
    procs.processes[1004].exeName = "chosen.exe";  // an id picked by the test
    const std::uint32_t plain = procs.add("Tool.exe", 2);
    const std::uint32_t guarded = procs.add("tool.exe");
    const std::uint32_t stuck = procs.add("TOOL.EXE");
    EXPECT_NE(plain, 1004u) << "new ids skip the ones in use";
    procs.protectedIds.insert(guarded);
    procs.survivesTerminate.insert(stuck);

    EXPECT_TRUE(procs.terminate(plain, 1));
    EXPECT_FALSE(procs.terminate(plain, 1)) << "an ended process cannot be ended again";
    EXPECT_FALSE(procs.terminate(guarded, 1));
    EXPECT_TRUE(procs.terminate(stuck, 1));
    EXPECT_FALSE(procs.terminate(4242, 1));
    EXPECT_EQ(procs.idsOf("tool.exe"), (std::vector<std::uint32_t>{guarded, stuck}));
    EXPECT_EQ(procs.processes[plain].exitCode, 1u);
    ASSERT_EQ(procs.terminateCalls.size(), 5u);
    EXPECT_TRUE(procs.terminateCalls[3].succeeded);

    const std::vector<ProcessInfo> list = procs.snapshot();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, 1004u);
    procs.failSnapshot.always = true;
    EXPECT_TRUE(procs.snapshot().empty());
}

TEST(FakeProcesses, OnStartMayReshapeTheTable) {
    FakeProcesses procs;
    procs.currentSession = 3;
    procs.onStart = [&](std::uint32_t, FakeProcesses::Process& p) {
        // Enough new entries to move a vector's storage; `p` must stay valid.
        for (int i = 0; i < 50; ++i) procs.add("child.exe");
        p.queriesBeforeExit = 0;
        p.exitCode = 5;
    };
    const Processes::Handle h = procs.start("setup.exe /q", 0, {});
    EXPECT_EQ(procs.exitCode(h), 5u) << "ends at the first query";
    EXPECT_EQ(procs.idsOf("child.exe").size(), 50u);
    EXPECT_EQ(procs.processes.begin()->second.sessionId, 3u) << "started in this session";
    procs.close(h);
}

TEST(FakeDesktop, UnreadableWorkAreaIsTheWholeScreen) {
    FakeDesktop desktop;
    EXPECT_EQ(desktop.workArea(), (Rect{0, 0, 1024, 570}));
    desktop.width = 800;
    desktop.failWorkArea.calls = {3};
    EXPECT_EQ(desktop.workArea(), (Rect{0, 0, 1024, 570}));
    EXPECT_EQ(desktop.workArea(), (Rect{0, 0, 800, 600}));
    EXPECT_FALSE(desktop.foregroundWindowRect().has_value());
    desktop.foreground = Rect{10, 20, 110, 220};
    desktop.failForeground.calls = {3};
    EXPECT_EQ(desktop.foregroundWindowRect(), (Rect{10, 20, 110, 220}));
    EXPECT_FALSE(desktop.foregroundWindowRect().has_value());
}

}  // namespace
}  // namespace qm
