#pragma once
// The screen as the windows of the program see it.
#include <cstdint>
#include <optional>

#include "platform/non_copyable.h"
#include "platform/types.h"

namespace qm {

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Desktop : NonCopyable {
public:
    virtual ~Desktop() = default;
    // The screen minus the task bar, in pixels.
    virtual Rect workArea() = 0;
    // Width and height of the primary screen in pixels.
    virtual std::int32_t screenWidth() = 0;
    virtual std::int32_t screenHeight() = 0;
    // Dots per inch of the screen, horizontally and vertically.
    virtual int dpiX() = 0;
    virtual int dpiY() = 0;
    // The rectangle of the foreground window; empty when there is none or it
    // cannot be read.
    virtual std::optional<Rect> foregroundWindowRect() = 0;
};

}  // namespace qm
