#pragma once
// A screen of settable size, with a task bar along the bottom and, when the
// test gives one, a foreground window.
#include <cstdint>
#include <optional>

#include "fakes/fake_support.h"
#include "platform/desktop.h"

namespace qm {

class FakeDesktop : public Desktop {
  public:
    Rect workArea() override;
    std::int32_t screenWidth() override { return width; }
    std::int32_t screenHeight() override { return height; }
    int dpiX() override { return horizontalDpi; }
    int dpiY() override { return verticalDpi; }
    std::optional<Rect> foregroundWindowRect() override;

    // A 1024 x 600 screen with a 30-pixel task bar at the bottom.
    Rect work{0, 0, 1024, 570};
    std::int32_t width = 1024;
    std::int32_t height = 600;
    int horizontalDpi = 96;
    int verticalDpi = 96;
    // Empty: no window is in the foreground.
    std::optional<Rect> foreground;

    // A work area that cannot be read answers the whole screen, as the
    // system layer does; a foreground window that cannot be read, nothing.
    FailSwitch failWorkArea, failForeground;
};

}  // namespace qm
