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

// The tray program made as its composition root makes it: the services
// first, the program over them. `services` is there for the tests to look at.
struct TrayServicesOwner {
    TrayServicesOwner(const TrayPlatform& p, PopupFactory& popups, const std::string& installDir,
                      const std::string& versionText)
        : services(p, popups, installDir, versionText) {}
    TrayServices services;
};
class FakeTrayProgram : public TrayServicesOwner, public TrayApp {
  public:
    FakeTrayProgram(FakePlatform& p, InstanceLock& lock, MainWindowHost& host, PopupFactory& popups,
                    TrayMenuPort& menus, const std::string& installDir,
                    const std::string& versionText)
        : TrayServicesOwner(TrayPlatformOf(p, lock), popups, installDir, versionText),
          TrayApp(TrayPlatformOf(p, lock), services, host, menus) {}
    FakeTrayProgram(FakePlatform& p, MainWindowHost& host, PopupFactory& popups,
                    TrayMenuPort& menus, const std::string& installDir,
                    const std::string& versionText)
        : FakeTrayProgram(p, p.instanceLock, host, popups, menus, installDir, versionText) {}
};

struct NullHost final : MainWindowHost {
    WindowId createMainWindow(const std::string&) override { return 0x42; }
    IconId programIcon() override { return 1; }
    void unloadMainWindow() override {}
    void unloadOtherWindows() override {}
};

}  // namespace qm
