#include "ui/settings_layout.h"

#include <algorithm>

namespace qm {
namespace {

// The design rows show this many rows in the viewport, less the last line.
constexpr std::int32_t kRowsShown = 10;
// Room around a text inside its control, and between neighbours.
constexpr std::int32_t kTextPad = 2, kGap = 4, kButtonPadX = 20, kButtonPadY = 16;

// Screen pixels at `dpi` to design pixels, rounded up so that scaling back
// never gives less than was measured.
std::int32_t design(std::int32_t pixels, int dpi) {
    if (pixels <= 0) return 0;
    const int usable = dpi > 0 ? dpi : 96;
    return static_cast<std::int32_t>((static_cast<std::int64_t>(pixels) * 96 + usable - 1) /
                                     usable);
}

}  // namespace

SettingsLayout DesignSettingsLayout() {
    using namespace diskrowdesign;
    using namespace disklistdesign;
    SettingsLayout l;
    l.row = kRow;
    l.pic = kPic;
    l.lDisk = kLDisk;
    l.check1 = kCheck1;
    l.check2 = kCheck2;
    l.check3 = kCheck3;
    l.label1 = kLabel1;
    l.lineTop = kLineTop;
    l.lineRight = kLineRight;
    l.viewportWidth = kViewportWidth;
    l.viewportHeight = kViewportHeight;
    l.panelWidth = kPanelWidth;
    l.scrollLeft = kScrollLeft;
    l.scrollWidth = kScrollWidth;
    l.picture1Width = kPicture1Width;
    l.picture1Height = kPicture1Height;
    l.command1 = {kCommand1Left, kCommandTop, kCommandWidth, kCommandHeight};
    l.command2 = {kCommand2Left, kCommandTop, kCommandWidth, kCommandHeight};
    l.clientWidth = kClientWidth;
    l.clientHeight = kClientHeight;
    return l;
}

SettingsLayout LayOutSettings(const SettingsTextMetrics& m) {
    using namespace diskrowdesign;
    using namespace disklistdesign;
    SettingsLayout l = DesignSettingsLayout();
    const std::int32_t line = design(m.lineHeight, m.dpiY);
    const std::int32_t glyph = design(m.checkGlyph, m.dpiX);

    // Heights: every text control holds a line; the row its controls, the
    // separator below them and the drawn room under it.
    const std::int32_t textHeight = std::max(kCheck1.height, line + kTextPad);
    const std::int32_t grown = textHeight - kCheck1.height;
    l.row.height = kRow.height + grown;
    l.lineTop = kLineTop + grown;
    l.pic.top = kPic.top + grown / 2;
    for (Box* b : {&l.lDisk, &l.check1, &l.check2, &l.check3, &l.label1}) b->height = textHeight;

    // Widths, left to right: the root, three boxes, the status word. Each
    // control starts where the drawn place or the one before it ends.
    // The root's box ends where the first box starts (as drawn it reached
    // under it).
    l.lDisk.width = std::max(kCheck1.left - kLDisk.left, design(m.driveWidth, m.dpiX) + kTextPad);
    // Each box ends where the next control starts (as drawn they overlapped
    // by a pixel), or further on with a longer text; returns the next left.
    const auto place = [&](Box& box, const Box& drawn, const Box& drawnNext, std::int32_t text) {
        const std::int32_t step = drawnNext.left - drawn.left;
        box.width = std::max(std::min(drawn.width, step), glyph + design(text, m.dpiX) + 1);
        return box.left + std::max(step, box.width);
    };
    l.check1.left = std::max(kCheck1.left, l.lDisk.left + l.lDisk.width);
    l.check2.left = place(l.check1, kCheck1, kCheck2, m.askWidth);
    l.check3.left = place(l.check2, kCheck2, kCheck3, m.alwaysWidth);
    l.label1.left = place(l.check3, kCheck3, kLabel1, m.neverWidth);
    // The status word's box as drawn reaches past the row, which cuts it:
    // it ends with the row, or the row with a longer word.
    l.label1.width = std::max(kRow.width - l.label1.left, design(m.statusWidth, m.dpiX) + kTextPad);
    l.row.width = std::max(kRow.width, l.label1.left + l.label1.width);
    const std::int32_t wider = l.row.width - kRow.width;
    l.lineRight = kLineRight + wider;

    // The list around the rows: as wide as a row, ten rows high.
    l.panelWidth = kPanelWidth + wider;
    l.viewportWidth = kViewportWidth + wider;
    l.scrollLeft = kScrollLeft + wider;
    l.picture1Width = kPicture1Width + wider;
    l.viewportHeight = std::max(kViewportHeight, kRowsShown * l.row.height - 1);
    l.picture1Height = kPicture1Height + (l.viewportHeight - kViewportHeight);

    // The buttons under it, the first at the left, the second at the right.
    const std::int32_t buttonHeight = std::max(kCommandHeight, line + kButtonPadY);
    const std::int32_t buttonWidth =
        std::max({kCommandWidth, design(m.refreshWidth, m.dpiX) + kButtonPadX,
                  design(m.closeWidth, m.dpiX) + kButtonPadX});
    l.clientWidth = std::max(kClientWidth + wider, kCommand1Left + 2 * buttonWidth + 2 * kGap);
    const std::int32_t top = kCommandTop + (l.picture1Height - kPicture1Height);
    l.command1 = {kCommand1Left, top, buttonWidth, buttonHeight};
    l.command2 = {l.clientWidth - (kClientWidth - kCommand2Left - kCommandWidth) - buttonWidth, top,
                  buttonWidth, buttonHeight};
    l.clientHeight = top + buttonHeight + (kClientHeight - kCommandTop - kCommandHeight);
    return l;
}

}  // namespace qm
