#include "texts/language.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/language_choice.h"
#include "fakes/fake_platform.h"

namespace qm {
namespace {

// The marks {1}..{9} a text uses.
std::set<char> MarksOf(std::string_view text) {
    std::set<char> marks;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] == '{' && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '}') {
            marks.insert(text[i + 1]);
        }
    }
    return marks;
}

TEST(Languages, EveryLanguageFillsInTheSamePartsAsTheFirstLanguageAndIsFoundByItsTag) {
    const LanguageTables& chinese = *FindLanguage("zh-CN");
    ASSERT_GE(Languages().size(), 2u);
    for (const LanguageTables* language : Languages()) {
        EXPECT_EQ(FindLanguage(language->tag), language);
        EXPECT_FALSE(language->readmeFile.empty());
        EXPECT_FALSE(language->fontFaces[0].empty());
        // A part left out would drop a drive's name from a notice; one too
        // many would never be filled.
        for (std::size_t i = 0; i < kTrayTextCount; ++i) {
            const auto id = static_cast<TrayText>(i);
            EXPECT_EQ(MarksOf(TextIn(*language, id)), MarksOf(TextIn(chinese, id)))
                << language->tag << " tray text " << i << ": " << TextIn(*language, id);
        }
        for (std::size_t i = 0; i < kSetupTextCount; ++i) {
            const auto id = static_cast<SetupText>(i);
            EXPECT_EQ(MarksOf(TextIn(*language, id)), MarksOf(TextIn(chinese, id)))
                << language->tag << " setup text " << i << ": " << TextIn(*language, id);
        }
    }
    EXPECT_EQ(FallbackLanguage().tag, "en");
    EXPECT_EQ(FindLanguage("EN"), &FallbackLanguage());
    EXPECT_EQ(FindLanguage("fr"), nullptr);
    EXPECT_EQ(FindLanguage(""), nullptr);
}

TEST(Languages, TheSettingWinsThenTheUsersInterfaceLanguageThenEnglish) {
    const LanguageTables* chinese = FindLanguage("zh-CN");
    const LanguageTables* english = FindLanguage("en");
    struct Case {
        std::string setting;
        std::uint16_t ui;
        const LanguageTables* expected;
    };
    const Case cases[] = {
        {"", 0x0804, chinese},    // Chinese (PRC)
        {"", 0x0404, chinese},    // Chinese (Taiwan): its primary language is Chinese too
        {"", 0x1004, chinese},    // Chinese (Singapore)
        {"", 0x0409, english},    // English (United States)
        {"", 0x0809, english},    // English (United Kingdom)
        {"", 0x0407, english},    // German: no table, English
        {"", 0x0000, english},    // nothing known
        {"en", 0x0804, english},  // the setting over the system
        {"zh-CN", 0x0409, chinese}, {"ZH-cn", 0x0409, chinese},
        {"fr", 0x0804, chinese},  // an unknown setting decides nothing
        {"fr", 0x040C, english},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(&ChooseLanguage(c.setting, c.ui), c.expected) << c.setting << " " << c.ui;
    }
}

TEST(Languages, TheTrayProgramReadsSettingIniAndTheInstallerOnlyTheSystem) {
    FakePlatform p;
    InstallPaths paths{"C:\\Q"};
    p.fileSystem.addFolder("C:\\Q");
    p.codePage.uiLanguage = 0x0409;
    EXPECT_EQ(TrayLanguage(p.profile, paths, p.codePage).tag, "en");
    p.fileSystem.addFile(paths.settingIni(), "[Setting]\r\nLanguage= zh-CN \r\n");
    EXPECT_EQ(TrayLanguage(p.profile, paths, p.codePage).tag, "zh-CN");
    EXPECT_EQ(SetupLanguage(p.codePage).tag, "en");
    p.codePage.uiLanguage = 0x0804;
    p.fileSystem.addFile(paths.settingIni(), "[Setting]\r\nLanguage=en\r\n");
    EXPECT_EQ(TrayLanguage(p.profile, paths, p.codePage).tag, "en");
    EXPECT_EQ(SetupLanguage(p.codePage).tag, "zh-CN");
}

TEST(Languages, TextsSpeakTheCurrentLanguage) {
    SetCurrentLanguage(*FindLanguage("en"));
    EXPECT_EQ(Text(TrayText::DriveArrived, {"KINGSTON (G:)"}), "KINGSTON (G:) connected");
    EXPECT_EQ(Text(SetupText::Cancel), "&Cancel");
    SetCurrentLanguage(*FindLanguage("zh-CN"));
    EXPECT_EQ(Text(TrayText::DriveArrived, {"KINGSTON (G:)"}), "KINGSTON (G:) 已连接");
    EXPECT_EQ(Text(SetupText::Cancel), "取消(&C)");
}

}  // namespace
}  // namespace qm
