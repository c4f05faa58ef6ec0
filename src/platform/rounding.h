#pragma once
// Rounding as the windows and the downloader do their arithmetic.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qm {

// Halves go to the even neighbour (2.5 gives 2, 3.5 gives 4); a value that
// is not a number gives 0 and one beyond the 32-bit range its nearest end.
inline std::int32_t RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return std::isnan(value) ? 0
               : value < 0       ? std::numeric_limits<std::int32_t>::min()
                                 : std::numeric_limits<std::int32_t>::max();
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5) {
        rounded = floor + 1;
    } else if (fraction == 0.5) {
        rounded = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1;
    }
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::clamp(rounded, kMin, kMax));
}

// True when the value rounds into the 32-bit range.
inline bool FitsInt32(double value) {
    return std::isfinite(value) && value > -2147483648.5 && value < 2147483647.5;
}

}  // namespace qm
