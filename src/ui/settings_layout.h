#pragma once
// The settings window laid out for its texts as the system's font draws
// them: the drawn places are the least each control gets, and a longer
// text (another language) or a taller line (another font) widens and
// heightens what holds it, and moves what lies beyond.
#include <cstdint>

#include "ui/disk_list.h"
#include "ui/disk_row.h"

namespace qm {

// What the view measures in the window's font, in screen pixels.
struct SettingsTextMetrics {
    std::int32_t lineHeight = 0;  // one line of text
    std::int32_t checkGlyph = 0;  // a check box's box and its gap before the text
    std::int32_t driveWidth = 0;  // the widest drive root ("W:\")
    std::int32_t askWidth = 0, alwaysWidth = 0, neverWidth = 0;  // the three boxes' texts
    std::int32_t statusWidth = 0;                   // the wider of the two status words
    std::int32_t refreshWidth = 0, closeWidth = 0;  // the buttons' texts
    int dpiX = 96, dpiY = 96;
};

// Everything in design pixels (96 dpi), as the view scales them.
struct SettingsLayout {
    // One row, inside the panel, and its controls inside the row.
    diskrowdesign::Box row, pic, lDisk, check1, check2, check3, label1;
    std::int32_t lineTop = 0, lineRight = 0;
    // The list: the viewport, the scrolled panel, the bar.
    std::int32_t viewportWidth = 0, viewportHeight = 0, panelWidth = 0;
    std::int32_t scrollLeft = 0, scrollWidth = 0;
    std::int32_t picture1Width = 0, picture1Height = 0;
    diskrowdesign::Box command1, command2;
    std::int32_t clientWidth = 0, clientHeight = 0;
    // What the list's arithmetic needs.
    DiskListMetrics listMetrics() const { return {0, row.height, viewportHeight}; }
};

// As drawn: the layout of texts that fit the drawn places.
SettingsLayout DesignSettingsLayout();
SettingsLayout LayOutSettings(const SettingsTextMetrics& metrics);

}  // namespace qm
