#pragma once
// Where the controls of the window listing a drive's holders go, laid out
// at 96 dpi and scaled to the screen, and where the window itself goes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/scale.h"

namespace qm {

namespace blockerdesign {
inline constexpr std::int32_t kMargin = 10;
inline constexpr std::int32_t kGap = 6;
inline constexpr std::int32_t kRowPad = 4;
inline constexpr std::int32_t kIconSize = 32;
inline constexpr std::int32_t kIconGap = 8;
inline constexpr std::int32_t kScrollWidth = 17;
inline constexpr std::int32_t kButtonWidth = 84;
inline constexpr std::int32_t kButtonHeight = 24;
inline constexpr std::int32_t kButtonGap = 6;
// Around a button's text: its edges and the focus rectangle.
inline constexpr std::int32_t kButtonPadX = 16;
inline constexpr std::size_t kButtonCount = 6;
inline constexpr std::size_t kVisibleRows = 4;
inline constexpr std::size_t kRowLines = 4;
// Between the window and a notice beside it, and the work area's edge.
inline constexpr std::int32_t kScreenGap = 8;
}  // namespace blockerdesign

struct BlockerLayout {
    std::int32_t clientWidth = 0, clientHeight = 0;
    PixelBox heading, list, scroll, status;
    // Switch, close, end, retry, force, cancel.
    std::array<PixelBox, blockerdesign::kButtonCount> buttons{};
    // One row's slot in the list (the first; each next one a row lower),
    // and its parts inside it.
    PixelBox row;
    PixelBox rowIcon;
    std::array<PixelBox, blockerdesign::kRowLines> rowLines{};
};

// What the view measures in the window's font, in screen pixels.
struct BlockerTextMetrics {
    std::int32_t lineHeight = 0;    // one line of text
    std::int32_t widestButton = 0;  // the widest button text, access marks left out
    std::int32_t widestLine = 0;    // the widest of the heading and the status lines
};

// Every box scaled; text boxes never lower than the measured line, the
// buttons (all as wide as the widest) and the window wide enough for their
// texts.
BlockerLayout LayOutBlockerWindow(const Scale& scale, const BlockerTextMetrics& texts);

// The window's place: its right edge beside the leftmost notice resting
// at the work area's bottom right, or that corner when there is none;
// always inside the work area as far as it fits.
PixelBox PlaceBesideNotices(const PixelBox& workArea, std::int32_t width, std::int32_t height,
                            const std::vector<PixelBox>& notices, const Scale& scale);

// The first row shown: as before, moved just enough for the selected row
// to be in view, never past the last page.
std::size_t FirstVisibleRow(std::size_t first, std::optional<std::size_t> selected,
                            std::size_t visible, std::size_t count);

}  // namespace qm
