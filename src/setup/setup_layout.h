#pragma once
// The installer's window laid out for its texts as the system's font draws
// them: the drawn places (twips at 96 dpi) are the least each control gets;
// a longer text widens its control and the window, a taller line heightens
// the controls and moves what lies below.
#include <cstdint>

#include "setup/setup_wizard.h"

namespace qm {

// What the view measures, in screen pixels.
struct SetupTextMetrics {
    std::int32_t lineHeight = 0, boldLineHeight = 0;
    std::int32_t label1Width = 0;  // in the bold font
    std::int32_t label2Width = 0, label3Width = 0, label4Width = 0;
    std::int32_t changeFolderWidth = 0, cancelWidth = 0, startWidth = 0;  // the buttons' texts
    int dpiX = 96, dpiY = 96;
};

// Boxes in twips: Picture2 inside Picture1, Text1 inside Frame1, Command2
// and Command3 inside Frame2, as the window nests them; the rest in the
// form's client area.
struct SetupLayout {
    setupdesign::Twips picture1, label1, label2, picture2, label3, frame1, text1, command1, label4,
        text2, frame2, command3, command2;
    std::int32_t clientWidth = 0, clientHeight = 0;
};

SetupLayout DesignSetupLayout();
SetupLayout LayOutSetup(const SetupTextMetrics& metrics);

}  // namespace qm
