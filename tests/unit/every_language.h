#pragma once
// Layout checks run in every language the programs speak, with a usual and a
// tall font, at each screen density; Chinese is the language again after
// them, whatever the check did.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "em_font.h"
#include "texts/language.h"

namespace qm {

template <typename Check>
void ForEveryLanguageFontAndDpi(std::initializer_list<int> dpis, Check&& check) {
    struct BackToChinese {
        ~BackToChinese() { SetCurrentLanguage(*FindLanguage("zh-CN")); }
    } backToChinese;
    for (const LanguageTables* language : Languages()) {
        SetCurrentLanguage(*language);
        for (const bool tall : {false, true}) {
            for (const int dpi : dpis) {
                SCOPED_TRACE(std::string(language->tag) + (tall ? ", tall font, " : ", ") +
                             std::to_string(dpi) + " dpi");
                check(EmFont{dpi, tall});
            }
        }
    }
}

}  // namespace qm
