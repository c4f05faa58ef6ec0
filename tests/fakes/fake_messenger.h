#pragma once
// Records the messages sent to other programs' windows; a test decides
// what the receiving program does with each.
#include <functional>
#include <vector>

#include "platform/messenger.h"

namespace qm {

class FakeMessenger : public Messenger {
  public:
    struct Sent {
        WindowId window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::uint32_t timeoutMs;
    };
    bool sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t, std::uint32_t timeoutMs) override {
        sent.push_back({window, message, wParam, timeoutMs});
        return onSend ? onSend(sent.back()) : false;
    }
    std::vector<Sent> sent;
    // The receiving side; false: no such window, or it did not answer in time.
    std::function<bool(const Sent&)> onSend;
};

}  // namespace qm
