#include "settings/ini.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "settings/settings_files.h"

namespace qm {
namespace {

TEST(IniFlags, LeadingNumberDecidesTheFlag) {
    EXPECT_TRUE(IniFlagIsSet("1"));
    EXPECT_TRUE(IniFlagIsSet("0001"));
    EXPECT_TRUE(IniFlagIsSet("1 yes"));
    EXPECT_TRUE(IniFlagIsSet(" 1"));
    EXPECT_FALSE(IniFlagIsSet(""));
    EXPECT_FALSE(IniFlagIsSet("yes"));
    EXPECT_FALSE(IniFlagIsSet("-1"));
    EXPECT_FALSE(IniFlagIsSet("10"));
    EXPECT_FALSE(IniFlagIsSet("0"));
    // A run of digits far past any integer must neither overflow into 1 nor crash.
    EXPECT_FALSE(IniFlagIsSet(std::string(5000, '9')));
    EXPECT_FALSE(IniFlagIsSet("18446744073709551617"));
    EXPECT_EQ(LeadingNumber("-123abc"), -123);
}

class IniFiles : public ::testing::Test {
protected:
    FakePlatform p;
    const std::string file = "C:\\Q\\Setting.ini";
    void SetUp() override { p.fileSystem.addFolder("C:\\Q"); }
};

TEST_F(IniFiles, LongValuesComeBackCutTo254Characters) {
    const std::string longValue(300, 'x');
    WriteIniString(p.profile, file, "Setting", "Long", longValue);
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "Long", ""), std::string(254, 'x'));
    WriteIniString(p.profile, file, "Setting", "Exact", std::string(254, 'y'));
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "Exact", "").size(), 254u);

    // The limit counts characters, never ending in half of one.
    std::string chinese;
    for (int i = 0; i < 127; ++i) chinese += "盘";
    WriteIniString(p.profile, file, "Setting", "Chinese", chinese);
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "Chinese", ""), chinese);

    // The routine keeps its own limit against a store that hands back more
    // than it was asked for.
    struct UncutProfile final : FakeProfile {
        using FakeProfile::FakeProfile;
        std::string getString(const std::string& f, const std::string& s, const std::string& k,
                              const std::string& fallback, std::size_t) override {
            return FakeProfile::getString(f, s, k, fallback, 1 << 20);
        }
    } uncut(p.fileSystem, &p.codePage);
    EXPECT_EQ(ReadIniString(uncut, file, "Setting", "Long", ""), std::string(254, 'x'));
    EXPECT_EQ(ReadIniString(uncut, file, "Setting", "None", longValue), std::string(254, 'x'));
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "盘";
    WriteIniString(uncut, file, "Setting", "Wide", wide);
    EXPECT_EQ(ReadIniString(uncut, file, "Setting", "Wide", ""), wide.substr(0, 254 * 3));
}

TEST_F(IniFiles, LineBreaksAreStoredAsSpacesOnOneLine) {
    WriteIniString(p.profile, file, "Setting", "Multi", "a\r\nb\nc\rd");
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "Multi", ""), "a  b c d");
    WriteIniString(p.profile, file, "Setting", "Next", "kept");
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "Next", ""), "kept");
}

TEST_F(IniFiles, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(ReadIniString(p.profile, "C:\\none\\x.ini", "Setting", "AutoStartup", "1"), "1");
    WriteIniString(p.profile, file, "Setting", "A", "v");
    EXPECT_EQ(ReadIniString(p.profile, file, "Other", "A", "d"), "d");
    EXPECT_EQ(ReadIniString(p.profile, file, "setting", "a", "d"), "v");  // no case
}

TEST_F(IniFiles, WritingNeverCreatesAMissingFolder) {
    WriteIniString(p.profile, "C:\\Missing\\Setting.ini", "Setting", "A", "1");
    EXPECT_FALSE(p.fileSystem.folderExists("C:\\Missing"));
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Missing\\Setting.ini"));
}

TEST_F(IniFiles, GarbageAndHugeLinesReadAsDefaultsWithoutHarm) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131) % 256));
    p.profile.seedFile(file, garbage);
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "AutoStartup", "1"), "1");

    p.profile.seedFile(file, "[Setting]\r\nAutoStartup=" + std::string(100 * 1024, '1') +
                                 "\r\nDisableAutoPlayService=0\r\n");
    const std::string v = ReadIniString(p.profile, file, "Setting", "AutoStartup", "1");
    EXPECT_EQ(v.size(), 254u);
    EXPECT_FALSE(IniFlagIsSet(v));  // 254 ones is not the number 1
    EXPECT_EQ(ReadIniString(p.profile, file, "Setting", "DisableAutoPlayService", "x"), "0");
}

TEST(SettingsFiles, EnsureSettingsFileWritesDefaultsOnlyForANewFile) {
    FakePlatform p;
    p.fileSystem.addFolder("C:\\Q");
    InstallPaths paths("C:\\Q\\");
    EnsureSettingsFile(p.profile, p.fileSystem, paths);
    EXPECT_EQ(ReadIniString(p.profile, paths.settingIni(), "Setting", "AutoStartup", ""), "1");
    EXPECT_EQ(ReadIniString(p.profile, paths.settingIni(), "Setting", "DisableAutoPlayService", ""),
              "0");

    FakePlatform q;
    q.fileSystem.addFolder("C:\\Q");
    q.profile.seedFile(paths.settingIni(), "[Setting]\r\nAutoStartup=0\r\n");
    EnsureSettingsFile(q.profile, q.fileSystem, paths);
    EXPECT_EQ(ReadIniString(q.profile, paths.settingIni(), "Setting", "AutoStartup", ""), "0");
    EXPECT_EQ(ReadIniString(q.profile, paths.settingIni(), "Setting", "DisableAutoPlayService",
                            "absent"),
              "absent");
}

TEST(SettingsFiles, WindowHandlesAreSignedDecimal) {
    EXPECT_EQ(WindowHandleText(0x000A01C4), "655812");
    EXPECT_EQ(WindowHandleText(0xFFFFFFFEu), "-2");
    EXPECT_EQ(InstallPaths("C:\\Program Files\\Quillmoor\\").programPath(),
              "C:\\Program Files\\Quillmoor\\Quillmoor.exe");
}

TEST(SettingsFiles, LocatorGoesToTheSystemCopyAndToAnImmunisedDriveOnly) {
    FakePlatform p;
    p.fileSystem.addFolder("c:\\windows\\system32");
    p.fileSystem.addFolder("G:\\autorun.inf");
    InstallPaths paths("C:\\Program Files\\Quillmoor");
    WriteLocatorIni(p.profile, paths, 1234, "G:\\");
    WriteLocatorIni(p.profile, paths, 1234, "H");  // no autorun.inf folder on H:
    const std::string sys = kSystemLocatorPath;
    EXPECT_EQ(ReadIniString(p.profile, sys, "Setting", "InstallDir", ""),
              "C:\\Program Files\\Quillmoor\\");
    EXPECT_EQ(ReadIniString(p.profile, sys, "Setting", "HWND", ""), "1234");
    EXPECT_EQ(ReadIniString(p.profile, "G:\\autorun.inf\\Quillmoor.ini", "Setting", "HWND", ""),
              "1234");
    EXPECT_FALSE(p.fileSystem.fileExists("H:\\autorun.inf\\Quillmoor.ini"));

    // A system folder that refuses writes does not stop the drive's copy.
    FakePlatform q;
    q.fileSystem.addFolder("G:\\autorun.inf");
    WriteLocatorIni(q.profile, paths, 99, "G");
    EXPECT_FALSE(q.fileSystem.fileExists(sys));
    EXPECT_EQ(ReadIniString(q.profile, "G:\\autorun.inf\\Quillmoor.ini", "Setting", "HWND", ""),
              "99");
}

TEST(SettingsFiles, TheLocatorWriterRewritesOnlyWhatIsMissingOrChanged) {
    FakePlatform p;
    p.fileSystem.addFolder("c:\\windows\\system32");
    p.fileSystem.addFolder("G:\\autorun.inf");
    InstallPaths paths("C:\\Program Files\\Quillmoor");
    LocatorWriter locator(p.profile, p.fileSystem, paths);
    locator.write(1234, "G");
    EXPECT_EQ(p.profile.writes.size(), 4u);
    locator.write(1234, "g");
    EXPECT_EQ(p.profile.writes.size(), 4u);
    // The drive's copy went with its folder and comes back with it.
    p.fileSystem.removeFile("G:\\autorun.inf\\Quillmoor.ini");
    locator.write(1234, "G");
    EXPECT_EQ(p.profile.writes.size(), 6u);
    EXPECT_EQ(ReadIniString(p.profile, "G:\\autorun.inf\\Quillmoor.ini", "Setting", "HWND", ""),
              "1234");
    // A new window handle is written everywhere.
    locator.write(77, "G");
    EXPECT_EQ(ReadIniString(p.profile, kSystemLocatorPath, "Setting", "HWND", ""), "77");
    EXPECT_EQ(p.profile.writes.size(), 10u);
}

}  // namespace
}  // namespace qm
