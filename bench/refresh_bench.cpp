// Cost of one drive table refresh over the in-memory platform, by the number
// of drive letters present: it should grow linearly.
#include <benchmark/benchmark.h>

#include "bench_platform.h"

namespace qm {
namespace {

void BM_RefreshDlist(benchmark::State& state) {
    FakePlatform p;
    NullHost host;
    NoPopups popups;
    p.fileSystem.addFolder("C:\\Quillmoor");
    p.fileSystem.addFolder("c:\\windows\\system32");
    const int drives = static_cast<int>(state.range(0));
    for (int i = 0; i < drives; ++i) {
        AddBenchDrive(p, static_cast<char>('C' + i), i == 0 ? kDriveKindFixed : kDriveKindRemovable,
                      i == 0 ? 3 : 7);
    }
    FakeTrayProgram app(p, host, popups, p.menus, "C:\\Quillmoor", "1.0.1");
    app.startup();
    for (auto _ : state) {
        app.refreshDlist();
        ForgetRecordings(p);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RefreshDlist)->Arg(1)->Arg(8)->Arg(24)->Complexity(benchmark::oN);

}  // namespace
}  // namespace qm
