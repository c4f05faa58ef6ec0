#pragma once
// Drives asked for their volume data off the caller's thread, so that a
// drive that does not answer (an offline network share, a hung device)
// holds up nobody but its own question. A drive has one question open at a
// time: while it has not answered, it is not asked again.
#include <optional>

#include "platform/file_system.h"
#include "platform/non_copyable.h"

namespace qm {

struct DriveAnswer {
    bool answered = false;  // false: the question is still open
    // As FileSystem::driveProperties answers it.
    std::optional<DriveProperties> properties;
};

class DriveProbe : NonCopyable {
  public:
    virtual ~DriveProbe() = default;
    // Starts a question to the drive (letter, either case), dropping an
    // answer of an earlier one not taken yet. False when the drive has not
    // answered its last question: that one stays open and nothing starts.
    virtual bool ask(char letter) = 0;
    // The answer to the drive's question once it has come; taking it closes
    // the question. Not answered while the question is open, and when none
    // was asked.
    virtual DriveAnswer take(char letter) = 0;
};

}  // namespace qm
