#pragma once
#include "platform/threaded_drive_probe.h"

namespace qm {

// Each question a work item of the system's thread pool. An answer its
// asker waits for wakes the thread that made the probe (its message wait)
// with a message of no meaning (WM_NULL); a late one is posted to the window
// named by reportLateAnswersTo. A question whose drive never answers keeps
// its pool thread; nothing else waits for it, not even the end of the program.
class DriveProbeWin32 final : public DriveProbe {
  public:
    // `asker` runs on pool threads and must build whatever it asks through
    // for itself.
    explicit DriveProbeWin32(DriveAsker asker);

    bool ask(char letter) override { return probe_.ask(letter); }
    DriveAnswer take(char letter) override { return probe_.take(letter); }
    DriveAnswer leave(char letter) override { return probe_.leave(letter); }
    void reportLateAnswersTo(WindowId window, std::uint32_t message) override {
        probe_.reportLateAnswersTo(window, message);
    }

  private:
    ThreadedDriveProbe probe_;
};

}  // namespace qm
