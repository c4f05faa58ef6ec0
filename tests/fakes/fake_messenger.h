#pragma once
// Records the messages sent to other programs' windows; a test decides
// what the receiving program does with each, and which windows exist.
#include <functional>
#include <map>
#include <vector>

#include "fakes/fake_support.h"
#include "platform/messenger.h"

namespace qm {

class FakeMessenger : public Messenger {
  public:
    struct Sent {
        WindowId window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::uint32_t timeoutMs;
        std::intptr_t lParam;
    };
    bool sendWithTimeout(WindowId window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam, std::uint32_t timeoutMs) override {
        sent.push_back({window, message, wParam, timeoutMs, lParam});
        return onSend ? onSend(sent.back()) : false;
    }
    std::optional<std::uint32_t> windowProcess(WindowId window) override {
        auto it = windows.find(window);
        if (it == windows.end()) return std::nullopt;
        return it->second.processId;
    }
    std::vector<WindowId> topLevelWindows(std::uint32_t processId,
                                          const std::string& className) override {
        std::vector<WindowId> found;
        for (const auto& [id, w] : windows) {
            if (w.processId == processId && equalsNoCase(w.className, className))
                found.push_back(id);
        }
        return found;
    }
    std::vector<WindowId> windowsOfClass(const std::string& className) override {
        std::vector<WindowId> found;
        for (const auto& [id, w] : windows) {
            if (equalsNoCase(w.className, className)) found.push_back(id);
        }
        return found;
    }
    std::vector<Sent> sent;
    // The receiving side; false: no such window, or it did not answer in time.
    std::function<bool(const Sent&)> onSend;

    // Top-level windows that exist, by handle.
    struct Window {
        std::uint32_t processId;
        std::string className;
    };
    std::map<WindowId, Window> windows;
};

}  // namespace qm
