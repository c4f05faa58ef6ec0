// Cost of one drive table refresh over the in-memory platform, by the number
// of drive letters present: it should grow linearly.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/tray_app.h"
#include "fakes/fake_storage.h"
#include "fakes/fake_tray.h"

namespace qm {
namespace {

struct BenchHost final : MainWindowHost {
    WindowId createMainWindow(const std::string&) override { return 0x42; }
    IconId programIcon() override { return 1; }
    void unloadMainWindow() override {}
    void unloadOtherWindows() override {}
};
struct NoPopups final : PopupFactory {
    bool OpenPopup(const std::string&, const std::string&, NoticePicture, int,
                   const std::string&) override {
        return true;
    }
};

void BM_RefreshDlist(benchmark::State& state) {
    FakePlatform p;
    BenchHost host;
    NoPopups popups;
    p.fileSystem.addFolder("C:\\Quillmoor");
    p.fileSystem.addFolder("c:\\windows\\system32");
    const int drives = static_cast<int>(state.range(0));
    for (int i = 0; i < drives; ++i) {
        const char letter = static_cast<char>('C' + i);
        auto& d = p.fileSystem.addDrive(letter, i == 0 ? kDriveKindFixed : kDriveKindRemovable);
        d.volumeName = std::string("VOL") + letter;
        d.serialNumber = 1000 + i;
        p.fileSystem.addFolder(std::string(1, letter) + ":\\autorun.inf");
        DescriptorFields f;
        f.busType = i == 0 ? 3 : 7;
        f.vendorId = "Vendor";
        f.productId = "Product";
        f.productRevision = "1.0";
        p.storage.volume(letter).descriptor = BuildStorageDescriptor(f);
    }
    TrayApp app(TrayPlatformOf(p), host, popups, p.menus, "C:\\Quillmoor", "1.0.1");
    app.startup();
    for (auto _ : state) {
        app.refreshDlist();
        // Keep the recordings of the fakes from growing without bound.
        p.profile.writes.clear();
        p.profile.reads.clear();
        p.fileSystem.appends.clear();
        p.fileSystem.checkedPaths.clear();
        p.storage.opens.clear();
        p.storage.controls.clear();
        p.processes.trims.clear();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RefreshDlist)->Arg(1)->Arg(8)->Arg(24)->Complexity(benchmark::oN);

}  // namespace
}  // namespace qm
