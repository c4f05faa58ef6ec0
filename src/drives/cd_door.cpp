#include "drives/cd_door.h"

#include <string>

namespace qm {
namespace {

unsigned long moveDoor(Mci& mci, EventLoop& loop, char letter, const char* door,
                       const std::function<void()>& skipRemovalCheck) {
    if (skipRemovalCheck) skipRemovalCheck();
    const std::string drive(1, letter);
    const std::string alias = drive + "Drive";
    loop.pump();
    // An alias left open by an earlier move refuses a second open, yet it
    // still reaches the drive: only the door command tells.
    mci.sendString("Open " + drive + ": Alias " + alias + " Type CDAudio wait shareable");
    loop.pump();
    return mci.sendString("Set " + alias + " Door " + door);
}

}  // namespace

unsigned long OpenCdTray(Mci& mci, EventLoop& loop, char letter,
                         const std::function<void()>& skipRemovalCheck) {
    return moveDoor(mci, loop, letter, "Open", skipRemovalCheck);
}

unsigned long CloseCdTray(Mci& mci, EventLoop& loop, char letter,
                          const std::function<void()>& skipRemovalCheck) {
    return moveDoor(mci, loop, letter, "Closed", skipRemovalCheck);
}

}  // namespace qm
