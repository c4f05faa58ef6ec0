#include "setup/uninstall_layout.h"

#include <algorithm>

#include "setup/uninstall_dialog.h"
#include "texts/setup_texts.h"

namespace qm {
namespace {

// Around a button's text: its edges and the focus rectangle.
constexpr std::int32_t kButtonPadX = 16, kButtonPadY = 8;

}  // namespace

UninstallLayout LayOutUninstall(const Scale& s, const std::vector<std::string>& question,
                                std::int32_t checkGlyph, const MeasureText& measure) {
    using namespace uninstalldesign;
    UninstallLayout l;
    const std::int32_t line = measure("", 0, false).height;
    const std::int32_t margin = s.x(kMargin), left = s.x(kTextLeft), gap = s.y(kParagraphGap);

    // The text column is as drawn, or wider for the check box or for the
    // two buttons under it, each as wide as the wider text needs.
    std::int32_t buttonWidth = s.x(kButtonWidth);
    for (SetupText t : {SetupText::UninstallButton, SetupText::Cancel}) {
        buttonWidth = std::max(buttonWidth, measure(Text(t), 0, true).width + s.x(kButtonPadX));
    }
    const std::int32_t checkWidth =
        checkGlyph + measure(Text(SetupText::UninstallPurge), 0, false).width;
    l.clientWidth = std::max({s.x(kClientWidth), left + checkWidth + margin,
                              left + 2 * buttonWidth + s.x(kButtonGap) + margin});
    const std::int32_t textWidth = l.clientWidth - left - margin;

    // Top to bottom, each as tall as its text draws.
    l.icon = s.box({kMargin, kMargin, kIconSize, kIconSize});
    std::int32_t top = s.y(kMargin);
    for (const std::string& paragraph : question) {
        const std::int32_t height = measure(paragraph, textWidth, false).height;
        l.paragraphs.push_back({left, top, textWidth, height});
        top += height + gap;
    }
    top += s.y(kSectionGap - kParagraphGap);
    const std::int32_t checkHeight = std::max(s.y(kCheckHeight), line);
    l.purge = {left, top, textWidth, checkHeight};
    top += checkHeight + gap;
    l.status = {left, top, textWidth, line};
    top += line + s.y(kSectionGap);
    const std::int32_t buttonHeight = std::max(s.y(kButtonHeight), line + s.y(kButtonPadY));
    const std::int32_t right = l.clientWidth - margin;
    l.uninstall = {right - 2 * buttonWidth - s.x(kButtonGap), top, buttonWidth, buttonHeight};
    l.cancel = {right - buttonWidth, top, buttonWidth, buttonHeight};
    l.clientHeight = std::max(top + buttonHeight + margin, s.y(kMargin + kIconSize + kMargin));
    return l;
}

}  // namespace qm
