#pragma once
// Where the controls of the uninstall question go, in screen pixels: the
// drawn sizes at the screen's scale, widened and heightened for the texts
// as the font in use draws them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/scale.h"

namespace qm {

struct TextSize {
    std::int32_t width = 0, height = 0;
};

// A text as the window's font draws it, in screen pixels: one line, or
// broken into lines at `wrapWidth` when that is not 0; the access keys'
// marks left out when `prefixes`. An empty text is one line high.
using MeasureText =
    std::function<TextSize(const std::string& text, std::int32_t wrapWidth, bool prefixes)>;

struct UninstallLayout {
    std::int32_t clientWidth = 0, clientHeight = 0;
    PixelBox icon;
    std::vector<PixelBox> paragraphs;  // one per paragraph of the question
    PixelBox purge, status, uninstall, cancel;
};

// `checkGlyph`: a check box's box and its gap before the text.
UninstallLayout LayOutUninstall(const Scale& scale, const std::vector<std::string>& question,
                                std::int32_t checkGlyph, const MeasureText& measure);

}  // namespace qm
