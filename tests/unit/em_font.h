#pragma once
// Texts measured as a 9-point font of the screen's size draws them: an em
// wide for a Chinese character, half an em for any other. Its lines are a
// sixth of an em apart, or, as a tall font (the substitutes for SimSun,
// Microsoft YaHei), a third.
#include <cstdint>
#include <string>

#include "platform/scale.h"

namespace qm {

struct EmFont {
    int dpi = 96;
    bool tall = false;

    std::int32_t em() const { return Scale{dpi, dpi}.y(12); }
    std::int32_t lineHeight() const { return tall ? em() + em() / 3 : em() + em() / 6; }
    std::int32_t width(const std::string& text) const {
        std::int32_t halves = 0;
        for (unsigned char c : text) {
            if (c < 0x80)
                halves += 1;  // one byte, half an em
            else if (c >= 0xE0)
                halves += 2;  // the lead byte of a wide character
        }
        return halves * em() / 2;
    }
};

}  // namespace qm
