#include "platform/drive_probe_win32.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace qm {
namespace {

class PoolWorkers final : public ProbeWorkers {
  public:
    bool run(const std::function<void()>& work) override {
        auto item = std::make_unique<std::function<void()>>(work);
        if (!QueueUserWorkItem(runItem, item.get(), WT_EXECUTELONGFUNCTION)) return false;
        item.release();  // the work item's now
        return true;
    }

    // A thread message with no window: the waiting loop wakes, the pump
    // drops it. A thread gone makes it fail harmlessly.
    void wakeAsker() override { PostThreadMessageA(asker_, WM_NULL, 0, 0); }

    void reportLate(char letter) override {
        const auto window = reinterpret_cast<HWND>(window_.load());
        const UINT message = message_.load();
        if (window != nullptr && message != 0) {
            PostMessageA(window, message, static_cast<WPARAM>(letter), 0);
        }
    }

    void setLateTarget(WindowId window, std::uint32_t message) override {
        message_.store(message);
        window_.store(window);
    }

    std::uint32_t now() override { return GetTickCount(); }

  private:
    static DWORD WINAPI runItem(void* parameter) {
        const std::unique_ptr<std::function<void()>> work(
            static_cast<std::function<void()>*>(parameter));
        (*work)();
        return 0;
    }

    const DWORD asker_ = GetCurrentThreadId();
    std::atomic<WindowId> window_{0};
    std::atomic<UINT> message_{0};
};

}  // namespace

DriveProbeWin32::DriveProbeWin32(DriveAsker asker)
    : probe_(std::make_shared<PoolWorkers>(), std::move(asker)) {}

}  // namespace qm
