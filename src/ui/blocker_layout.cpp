#include "ui/blocker_layout.h"

#include <algorithm>

namespace qm {

using namespace blockerdesign;

BlockerLayout LayOutBlockerWindow(const Scale& s, const BlockerTextMetrics& texts) {
    BlockerLayout l;
    const std::int32_t line = std::max(texts.lineHeight, s.y(12));
    const std::int32_t margin = s.x(kMargin), top = s.y(kMargin), gap = s.y(kGap);
    const std::int32_t buttonWidth =
        std::max(s.x(kButtonWidth), texts.widestButton + s.x(kButtonPadX));
    const std::int32_t buttonGap = s.x(kButtonGap);
    const std::int32_t buttonHeight = std::max(s.y(kButtonHeight), line + s.y(8));
    const auto buttons = static_cast<std::int32_t>(kButtonCount);
    const std::int32_t inner =
        std::max(buttons * buttonWidth + (buttons - 1) * buttonGap, texts.widestLine);
    l.clientWidth = inner + 2 * margin;

    l.heading = {margin, top, inner, line};
    // Four lines of text, or the icon, whichever is taller.
    const std::int32_t pad = s.y(kRowPad);
    const std::int32_t rowHeight =
        std::max(static_cast<std::int32_t>(kRowLines) * line, s.y(kIconSize)) + 2 * pad;
    const std::int32_t border = 2;  // the list's sunken edge, each side
    l.list = {margin, l.heading.top + l.heading.height + gap, inner,
              static_cast<std::int32_t>(kVisibleRows) * rowHeight + 2 * border};
    const std::int32_t listInner = inner - 2 * border;
    const std::int32_t scrollWidth = s.x(kScrollWidth);
    l.scroll = {listInner - scrollWidth, 0, scrollWidth, l.list.height - 2 * border};
    l.row = {0, 0, listInner - scrollWidth, rowHeight};
    const std::int32_t iconSize = s.x(kIconSize);
    l.rowIcon = {s.x(kRowPad + 2), (rowHeight - s.y(kIconSize)) / 2, iconSize, s.y(kIconSize)};
    const std::int32_t textLeft = l.rowIcon.left + iconSize + s.x(kIconGap);
    for (std::size_t i = 0; i < kRowLines; ++i) {
        l.rowLines[i] = {textLeft, pad + static_cast<std::int32_t>(i) * line,
                         l.row.width - textLeft - s.x(kRowPad), line};
    }

    l.status = {margin, l.list.top + l.list.height + gap, inner, line};
    const std::int32_t buttonTop = l.status.top + l.status.height + gap;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        l.buttons[i] = {margin + static_cast<std::int32_t>(i) * (buttonWidth + buttonGap),
                        buttonTop, buttonWidth, buttonHeight};
    }
    l.clientHeight = buttonTop + buttonHeight + top;
    return l;
}

PixelBox PlaceBesideNotices(const PixelBox& workArea, std::int32_t width, std::int32_t height,
                            const std::vector<PixelBox>& notices, const Scale& s) {
    const std::int32_t gap = s.x(kScreenGap);
    const std::int32_t workRight = workArea.left + workArea.width;
    const std::int32_t workBottom = workArea.top + workArea.height;
    std::int32_t right = workRight - gap;
    for (const PixelBox& n : notices) {
        // Only the notices resting in the corner: a question in the middle
        // of the screen is not beside anything.
        if (n.left + n.width < workRight - n.width) continue;
        right = std::min(right, n.left - gap);
    }
    PixelBox at{right - width, workBottom - gap - height, width, height};
    at.left = std::max(at.left, workArea.left);
    at.top = std::max(at.top, workArea.top);
    return at;
}

std::size_t FirstVisibleRow(std::size_t first, std::optional<std::size_t> selected,
                            std::size_t visible, std::size_t count) {
    if (visible == 0 || count <= visible) return 0;
    if (selected && *selected < count) {
        if (*selected < first) first = *selected;
        if (*selected >= first + visible) first = *selected - visible + 1;
    }
    return std::min(first, count - visible);
}

}  // namespace qm
