#pragma once
// Messages to windows of other programs.
#include <cstdint>

#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

class Messenger : NonCopyable {
  public:
    virtual ~Messenger() = default;
    // Sends the message and waits until it was handled, for at most
    // `timeoutMs` and not at all for a window that hangs. False when the
    // window does not exist, hangs or took too long.
    virtual bool sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam, std::uint32_t timeoutMs) = 0;
};

}  // namespace qm
