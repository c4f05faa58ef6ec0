#pragma once
// What the services asked of the tray program, counted.
#include "common/tray_requests.h"

namespace qm {

struct RecordingRequests final : TrayRequests {
    int refreshes = 0;
    int leavings = 0;
    bool isEnding = false;
    void refreshDrives() override { ++refreshes; }
    void driveLeaving() override { ++leavings; }
    bool ending() const override { return isEnding; }
};

}  // namespace qm
