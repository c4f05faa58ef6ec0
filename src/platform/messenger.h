#pragma once
// Messages to windows of other programs, and whose windows they are.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // The process that owns the window; empty when there is no such window.
    virtual std::optional<std::uint32_t> windowProcess(WindowId window) = 0;
    // The process's top-level windows of that window class (ASCII, without
    // case), shown or hidden.
    virtual std::vector<WindowId> topLevelWindows(std::uint32_t processId,
                                                  const std::string& className) = 0;
    // The top-level windows of that window class of every process of this
    // desktop.
    virtual std::vector<WindowId> windowsOfClass(const std::string& className) = 0;
};

}  // namespace qm
