#pragma once
#include <array>
#include <memory>

#include "platform/drive_probe.h"

namespace qm {

struct DriveQuestion;

// Each question runs as a work item of the system's thread pool and asks
// the drive as FileSystemWin32 does. An answer wakes the thread that made
// the probe (its message wait) with a message of no meaning (WM_NULL). A
// question whose drive never answers keeps its pool thread; nothing else
// waits for it, not even the end of the program.
class DriveProbeWin32 final : public DriveProbe {
  public:
    DriveProbeWin32();
    bool ask(char letter) override;
    DriveAnswer take(char letter) override;

  private:
    std::array<std::shared_ptr<DriveQuestion>, 26> questions_;
    unsigned long wakeThread_;
};

}  // namespace qm
