#pragma once
// Opens and closes the tray of a CD drive through MCI.
#include <functional>

#include "platform/event_loop.h"
#include "platform/mci.h"

namespace qm {

// Both set `skipRemovalCheck` first: the disc that leaves with an open tray
// is the user's doing, not a drive pulled out. Both answer the MCI error of
// the door command, 0 when the drive took it; the menu does not look.
unsigned long OpenCdTray(Mci& mci, EventLoop& loop, char letter,
                         const std::function<void()>& skipRemovalCheck);
unsigned long CloseCdTray(Mci& mci, EventLoop& loop, char letter,
                          const std::function<void()>& skipRemovalCheck);

}  // namespace qm
