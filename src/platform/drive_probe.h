#pragma once
// Drives asked for their volume data and storage descriptor off the
// caller's thread, so that a drive that does not answer (an offline network
// share, a hung stick, a disc spinning up) holds up nobody but its own
// question. A drive has one question open at a time: while it has not
// answered, it is not asked again.
#include <cstdint>
#include <optional>

#include "platform/file_system.h"
#include "platform/non_copyable.h"
#include "platform/storage.h"
#include "platform/types.h"

namespace qm {

struct DriveAnswer {
    bool answered = false;  // false: the question is still open
    // As FileSystem::driveProperties answers it.
    std::optional<DriveProperties> properties;
    // The volume's storage descriptor; not ok when it could not be read.
    DeviceDescriptorInfo descriptor;
};

// How long an answer that came after its asker stopped waiting is kept for
// the drive's next question. The late answer asks for that question at
// once, so only a program that is busy elsewhere for this long asks anew.
inline constexpr std::uint32_t kKeptAnswerMs = 10000;

class DriveProbe : NonCopyable {
  public:
    virtual ~DriveProbe() = default;
    // Starts a question to the drive (letter, either case), unless an
    // answer to its last one is there, untaken and fresh: that answer is
    // kept for take() and nothing starts. True when an answer is to be
    // taken, now or once it comes; false when the drive has not answered its
    // last question: that one stays open and nothing starts.
    virtual bool ask(char letter) = 0;
    // The answer to the drive's question once it has come; taking it closes
    // the question. Not answered while the question is open, and when none
    // was asked.
    virtual DriveAnswer take(char letter) = 0;
    // The asker stops waiting. An answer that has come is taken as take()
    // takes it; otherwise the question stays open, and its answer, when it
    // comes, is kept for the next ask() and reported as late.
    virtual DriveAnswer leave(char letter) = 0;
    // A late answer posts `message` to `window` (wParam: the drive letter),
    // from whatever thread the answer came on.
    virtual void reportLateAnswersTo(WindowId window, std::uint32_t message) = 0;
};

}  // namespace qm
