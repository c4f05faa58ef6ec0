#pragma once
// What the host benchmarks share: the tray program over the fakes with
// drives of their making, and recordings of the fakes kept from growing.
#include <cstdint>
#include <string>

#include "core/tray_app.h"
#include "fakes/fake_storage.h"
#include "fakes/fake_tray.h"

namespace qm {

struct NoPopups final : PopupFactory {
    bool OpenPopup(const std::string&, const std::string&, NoticePicture, int,
                   const std::string&) override {
        return true;
    }
};

// A ready drive labelled "VOL" + letter, immunised, on the given bus.
inline void AddBenchDrive(FakePlatform& p, char letter, int kind, std::uint32_t bus) {
    auto& d = p.fileSystem.addDrive(letter, kind);
    d.volumeName = std::string("VOL") + letter;
    d.serialNumber = 1000 + letter;
    p.fileSystem.addFolder(std::string(1, letter) + ":\\autorun.inf");
    DescriptorFields f;
    f.busType = bus;
    f.vendorId = "Vendor";
    f.productId = "Product";
    f.productRevision = "1.0";
    p.storage.volume(letter).descriptor = BuildStorageDescriptor(f);
}

// Keeps the recordings of the fakes from growing without bound.
inline void ForgetRecordings(FakePlatform& p) {
    p.profile.writes.clear();
    p.profile.reads.clear();
    p.fileSystem.appends.clear();
    p.fileSystem.checkedPaths.clear();
    p.storage.opens.clear();
    p.storage.controls.clear();
    p.processes.trims.clear();
    p.menus.tracked.clear();
    p.probe.asked.clear();
}

}  // namespace qm
