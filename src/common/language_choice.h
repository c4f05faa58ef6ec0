#pragma once
// Which language each program speaks, decided once at its start.
#include "platform/code_page.h"
#include "platform/profile.h"
#include "settings/settings_files.h"
#include "texts/language.h"

namespace qm {

// The tray program: the language Setting.ini names, else the user's
// interface language, else English.
const LanguageTables& TrayLanguage(Profile& profile, const InstallPaths& paths, CodePage& codePage);
// The installer: the user's interface language, else English (a settings
// file it has not installed yet decides nothing).
const LanguageTables& SetupLanguage(CodePage& codePage);

}  // namespace qm
