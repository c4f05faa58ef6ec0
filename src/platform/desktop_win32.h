#pragma once
#include "platform/desktop.h"

namespace qm {

// The primary screen as the system metrics and the screen DC give it.
class DesktopWin32 final : public Desktop {
  public:
    // The whole screen when the work area cannot be read.
    Rect workArea() override;
    std::int32_t screenWidth() override;
    std::int32_t screenHeight() override;
    // 96, the system's default, when the screen DC cannot be had.
    int dpiX() override;
    int dpiY() override;
    std::optional<Rect> foregroundWindowRect() override;
};

}  // namespace qm
