#pragma once
// The languages the programs speak. Each is one file of languages/ holding
// both programs' words and how to recognise it; the build lists every such
// file, so another language is one more file and nothing else.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "texts/setup_texts.h"
#include "texts/text_table.h"
#include "texts/tray_texts.h"

namespace qm {

inline constexpr std::size_t kTrayTextCount = static_cast<std::size_t>(TrayText::Count);
inline constexpr std::size_t kSetupTextCount = static_cast<std::size_t>(SetupText::Count);

// Primary language ids (the low ten bits of a LANGID).
inline constexpr std::uint16_t kPrimaryChinese = 0x04;
inline constexpr std::uint16_t kPrimaryEnglish = 0x09;

struct LanguageTables {
    // As written in Setting.ini's Language key ("zh-CN", "en").
    std::string_view tag;
    // The system's primary language id of the users who get it by default.
    std::uint16_t primaryLanguage;
    const TextEntry<TrayText>* tray;    // kTrayTextCount entries
    const TextEntry<SetupText>* setup;  // kSetupTextCount entries
    // The readme shipped for its readers, beside the programs.
    std::string_view readmeFile;
    // The faces its windows prefer, best first; the first the system has wins.
    std::array<std::string_view, 3> fontFaces;
};

// Every language built in, in the order of their files' names.
std::span<const LanguageTables* const> Languages();
// The language with this tag (case ignored), or null.
const LanguageTables* FindLanguage(std::string_view tag);
// English: spoken where no language fits, and written to the log where the
// system's code page cannot hold the program's language.
const LanguageTables& FallbackLanguage();
// The program's language: the one named by `settingTag` when there is one,
// else the one of the user's interface language `uiLanguage` (a LANGID),
// else the fallback.
const LanguageTables& ChooseLanguage(std::string_view settingTag, std::uint16_t uiLanguage);

// The language every Text() speaks: Simplified Chinese until the program
// chooses, at start-up, before any window or worker exists.
const LanguageTables& CurrentLanguage();
void SetCurrentLanguage(const LanguageTables& language);

std::string TextIn(const LanguageTables& language, TrayText id);
std::string TextIn(const LanguageTables& language, SetupText id);

}  // namespace qm
