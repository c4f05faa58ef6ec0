#include "common/language_choice.h"

#include "settings/stored_settings.h"

namespace qm {

const LanguageTables& TrayLanguage(Profile& profile, const InstallPaths& paths,
                                   CodePage& codePage) {
    return ChooseLanguage(ReadLanguageTag(profile, paths), codePage.userInterfaceLanguage());
}

const LanguageTables& SetupLanguage(CodePage& codePage) {
    return ChooseLanguage("", codePage.userInterfaceLanguage());
}

}  // namespace qm
