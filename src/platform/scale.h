#pragma once
// Every window of both programs is laid out at 96 dpi, in pixels or in
// twips, and scaled to the screen by this one rule, so that positions,
// sizes, gaps and pictures grow together with the system's fonts.
#include <cstdint>

namespace qm {

inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerInch = 1440;

// A screen that reports no dpi counts as the design's.
constexpr int UsableDpi(int dpi) { return dpi > 0 ? dpi : kDesignDpi; }

// value * numerator / denominator to the nearest whole number, halves away
// from zero (the rounding of the system's MulDiv, which the views used).
constexpr std::int32_t ScaleRounded(std::int64_t value, std::int64_t numerator,
                                    std::int64_t denominator) {
    const std::int64_t product = value * numerator;
    const std::int64_t half = denominator / 2;
    return static_cast<std::int32_t>(product >= 0 ? (product + half) / denominator
                                                  : -((-product + half) / denominator));
}

// Where a control goes in its parent, in pixels.
struct PixelBox {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

struct Scale {
    int dpiX = kDesignDpi, dpiY = kDesignDpi;

    // Design pixels to the screen's.
    constexpr std::int32_t x(std::int32_t v) const {
        return ScaleRounded(v, UsableDpi(dpiX), kDesignDpi);
    }
    constexpr std::int32_t y(std::int32_t v) const {
        return ScaleRounded(v, UsableDpi(dpiY), kDesignDpi);
    }
    // Twips to the screen's pixels.
    constexpr std::int32_t twipsX(std::int32_t v) const {
        return ScaleRounded(v, UsableDpi(dpiX), kTwipsPerInch);
    }
    constexpr std::int32_t twipsY(std::int32_t v) const {
        return ScaleRounded(v, UsableDpi(dpiY), kTwipsPerInch);
    }
    // Twips in one screen pixel.
    constexpr double twipsPerPixelX() const {
        return static_cast<double>(kTwipsPerInch) / UsableDpi(dpiX);
    }
    constexpr double twipsPerPixelY() const {
        return static_cast<double>(kTwipsPerInch) / UsableDpi(dpiY);
    }

    // Any box with left, top, width and height, in design pixels or twips;
    // braces make a PixelBox.
    template <class Box = PixelBox>
    constexpr PixelBox box(const Box& design) const {
        return {x(design.left), y(design.top), x(design.width), y(design.height)};
    }
    template <class Box>
    constexpr PixelBox twipsBox(const Box& design) const {
        return {twipsX(design.left), twipsY(design.top), twipsX(design.width),
                twipsY(design.height)};
    }
};

}  // namespace qm
