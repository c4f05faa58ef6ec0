#pragma once
// One of each fake, wired together: INI files live in the file system and
// hold the code page's bytes; text files are read back through it.
#include "fakes/fake_blocker_finder.h"
#include "fakes/fake_code_page.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_drive_probe.h"
#include "fakes/fake_event_loop.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_holder_control.h"
#include "fakes/fake_http_transfer.h"
#include "fakes/fake_instance_lock.h"
#include "fakes/fake_mci.h"
#include "fakes/fake_menu_port.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_profile.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_service_manager.h"
#include "fakes/fake_shell.h"
#include "fakes/fake_storage.h"

namespace qm {

struct FakePlatform {
    FakeCodePage codePage;
    FakeFileSystem fileSystem{&codePage};
    FakeProfile profile{fileSystem, &codePage};
    FakeRegistry registry;
    FakeServiceManager services;
    FakeEventLoop eventLoop;
    FakeShell shell;
    FakeInstanceLock instanceLock;
    FakeMenuPort menus;
    FakeMci mci;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeStorage storage;
    FakeHttpTransfer http;
    FakeBlockerFinder blockers{eventLoop};
    FakeDriveProbe probe{fileSystem, storage, codePage};
    FakeHolderControl holders;
};

}  // namespace qm
