#pragma once
#include "platform/messenger.h"

namespace qm {

class MessengerWin32 final : public Messenger {
  public:
    bool sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam, std::uint32_t timeoutMs) override;
    std::optional<std::uint32_t> windowProcess(WindowId window) override;
    std::vector<WindowId> topLevelWindows(std::uint32_t processId,
                                          const std::string& className) override;
    std::vector<WindowId> windowsOfClass(const std::string& className) override;
};

}  // namespace qm
