#pragma once
// The tray program over the fakes: its platform bundle and a main window
// that does nothing.
#include "core/tray_app.h"
#include "fakes/fake_platform.h"

namespace qm {

inline TrayPlatform TrayPlatformOf(FakePlatform& p, InstanceLock& lock) {
    return TrayPlatform{p.fileSystem, p.profile,  p.registry, p.services, p.eventLoop,
                        p.shell,      p.codePage, lock,       p.desktop,  p.processes,
                        p.storage,    p.mci,      p.http,     p.blockers, p.probe};
}
inline TrayPlatform TrayPlatformOf(FakePlatform& p) { return TrayPlatformOf(p, p.instanceLock); }

struct NullHost final : MainWindowHost {
    WindowId createMainWindow(const std::string&) override { return 0x42; }
    IconId programIcon() override { return 1; }
    void unloadMainWindow() override {}
    void unloadOtherWindows() override {}
};

}  // namespace qm
