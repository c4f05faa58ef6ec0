#include "setup/setup_layout.h"

#include <algorithm>

namespace qm {
namespace {

using setupdesign::Twips;

// Screen pixels at `dpi` to twips, rounded up so that scaling back never
// gives less than was measured.
std::int32_t twips(std::int32_t pixels, int dpi) {
    if (pixels <= 0) return 0;
    const int usable = dpi > 0 ? dpi : 96;
    return static_cast<std::int32_t>((static_cast<std::int64_t>(pixels) * 1440 + usable - 1) /
                                     usable);
}

std::int32_t bottom(const Twips& b) { return b.top + b.height; }
std::int32_t right(const Twips& b) { return b.left + b.width; }

// Room beside a button's text, and what a text box adds to its line, as drawn.
constexpr std::int32_t kButtonPadX = 300, kEditPadY = 105;

}  // namespace

SetupLayout DesignSetupLayout() {
    using namespace setupdesign;
    return {kPicture1, kLabel1,   kLabel2,   kPicture2,    kLabel3,
            kFrame1,   kText1,    kCommand1, kLabel4,      kText2,
            kFrame2,   kCommand3, kCommand2, kClientWidth, kClientHeight};
}

SetupLayout LayOutSetup(const SetupTextMetrics& m) {
    using namespace setupdesign;
    SetupLayout l = DesignSetupLayout();
    const std::int32_t line = std::max(kLabel2.height, twips(m.lineHeight, m.dpiY));
    const std::int32_t boldLine = std::max(kLabel1.height, twips(m.boldLineHeight, m.dpiY));
    const std::int32_t buttonHeight =
        std::max(kCommand1.height, line - kLabel2.height + kCommand1.height);

    // Top to bottom, each control keeping its drawn gap to the one above.
    l.label1.height = boldLine;
    l.label2.top = std::max(kLabel2.top, bottom(l.label1) + (kLabel2.top - bottom(kLabel1)));
    l.label2.height = line;
    l.picture1.height = std::max(
        kPicture1.height, bottom(l.label2) + (bottom(kPicture1) - bottom(kLabel2)) - kPicture1.top);
    const std::int32_t down = bottom(l.picture1) - bottom(kPicture1);
    l.label3.top = kLabel3.top + down;
    l.label3.height = line;
    l.frame1.top = std::max(kFrame1.top + down, bottom(l.label3) + (kFrame1.top - bottom(kLabel3)));
    l.text1.height = std::max(kText1.height, line + kEditPadY);
    l.frame1.height = kFrame1.height + (l.text1.height - kText1.height);
    l.command1.top = bottom(l.frame1) + (kCommand1.top - bottom(kFrame1));
    l.command1.height = buttonHeight;
    l.label4.height = line;
    l.label4.top = l.command1.top + (l.command1.height - l.label4.height) / 2;
    l.text2.top = bottom(l.command1) + (kText2.top - bottom(kCommand1));
    l.frame2.top = bottom(l.text2) + (kFrame2.top - bottom(kText2));
    l.command3.height = l.command2.height = buttonHeight;
    l.clientHeight = l.frame2.top + kCommand2.top + buttonHeight +
                     (kClientHeight - kFrame2.top - kCommand2.top - kCommand2.height);

    // Left to right: the texts' widths, the window as wide as the widest
    // row needs, and what spans it (the band, the boxes, the frames)
    // widened alike.
    l.label1.width = std::max(kLabel1.width, twips(m.label1Width, m.dpiX));
    l.label2.width = std::max(kLabel2.width, twips(m.label2Width, m.dpiX));
    l.label3.width = std::max(kLabel3.width, twips(m.label3Width, m.dpiX));
    l.command1.width = std::max(kCommand1.width, twips(m.changeFolderWidth, m.dpiX) + kButtonPadX);
    l.label4.left =
        std::max(kLabel4.left, right(l.command1) + (kLabel4.left - right(kCommand1)) / 4);
    l.label4.width = std::max(kLabel4.width, twips(m.label4Width, m.dpiX));
    l.command3.width = std::max(kCommand3.width, twips(m.cancelWidth, m.dpiX) + kButtonPadX);
    l.command2.width = std::max(kCommand2.width, twips(m.startWidth, m.dpiX) + kButtonPadX);

    // A label may run to the window's edge but for this margin.
    constexpr std::int32_t margin = 90;
    const std::int32_t picture2Gap = kPicture2.left - right(kLabel2);
    std::int32_t width = kClientWidth;
    width = std::max(
        width, right(l.label2) + picture2Gap + kPicture2.width + (kClientWidth - right(kPicture2)));
    width = std::max(width, right(l.label3) + margin);
    width = std::max(width, right(l.label4) + margin);
    // The two buttons at the bottom keep their drawn margins and a gap.
    width =
        std::max(width, kFrame2.left + kCommand3.left + l.command3.width + kCommand1.left +
                            l.command2.width + (kClientWidth - kFrame2.left - right(kCommand2)));
    l.clientWidth = width;
    const std::int32_t wider = width - kClientWidth;
    l.picture1.width = kPicture1.width + wider;
    l.picture2.left = kPicture2.left + wider;
    l.frame1.width = kFrame1.width + wider;
    l.text1.width = kText1.width + wider;
    l.text2.width = kText2.width + wider;
    l.frame2.width = kFrame2.width + wider;
    l.command2.left = right(kCommand2) + wider - l.command2.width;
    return l;
}

}  // namespace qm
