#pragma once
// What the services ask of the tray program they serve. The program's
// composition root makes the services first and the tray program after,
// so services hold this interface, never the tray program itself.
#include "platform/non_copyable.h"

namespace qm {

class TrayRequests : NonCopyable {
  public:
    virtual ~TrayRequests() = default;
    // What the drive table shows has changed (a drive immunised, a switch
    // flipped, a folder window opened): a refresh now, or right after the
    // one under way.
    virtual void refreshDrives() = 0;
    // An eject is about to take its drive away: the refresh that follows
    // must not report it pulled out.
    virtual void driveLeaving() = 0;
    // The program is on its way out: work that waited must not go on.
    virtual bool ending() const = 0;
};

}  // namespace qm
