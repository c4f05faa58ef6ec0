#include "drives/cd_door.h"

#include <string>

namespace qm {
namespace {

void moveDoor(Mci& mci, EventLoop& loop, char letter, const char* door,
              const std::function<void()>& skipRemovalCheck) {
    if (skipRemovalCheck) skipRemovalCheck();
    const std::string drive(1, letter);
    const std::string alias = drive + "Drive";
    loop.pump();
    mci.sendString("Open " + drive + ": Alias " + alias + " Type CDAudio wait shareable");
    loop.pump();
    mci.sendString("Set " + alias + " Door " + door);
}

}  // namespace

void OpenCdTray(Mci& mci, EventLoop& loop, char letter,
                const std::function<void()>& skipRemovalCheck) {
    moveDoor(mci, loop, letter, "Open", skipRemovalCheck);
}

void CloseCdTray(Mci& mci, EventLoop& loop, char letter,
                 const std::function<void()>& skipRemovalCheck) {
    moveDoor(mci, loop, letter, "Closed", skipRemovalCheck);
}

}  // namespace qm
