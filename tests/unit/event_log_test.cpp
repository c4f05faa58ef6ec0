#include "common/event_log.h"

#include <gtest/gtest.h>

#include "common/text_rules.h"
#include "fakes/fake_platform.h"
#include "texts/language.h"

namespace qm {
namespace {

class Log : public ::testing::Test {
protected:
    FakePlatform p;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, "C:\\Q\\log.txt"};
    void SetUp() override {
        p.fileSystem.addFolder("C:\\Q");
        p.eventLoop.timestamp = "2026/12/7 20:31:05";
    }
};

TEST_F(Log, LinesAreStampedTabbedAndEndInCrLfInTheAnsiCodePage) {
    log.WriteLog(Words{"建立程序托盘"});
    log.WriteLog(Words{"second\r\nline"});
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_EQ(p.fileSystem.appends[0].bytes,
              p.codePage.toAnsi("2026/12/7 20:31:05\t建立程序托盘\r\n"));
    // One event stays one line.
    EXPECT_EQ(p.fileSystem.appends[1].bytes, "2026/12/7 20:31:05\tsecond  line\r\n");
}

TEST_F(Log, PendingMessagesRunFirstSoTheirLinesComeBefore) {
    p.eventLoop.post([this] { log.WriteLog(Words{"inner"}); });
    log.WriteLog(Words{"outer"});
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_NE(p.fileSystem.appends[0].bytes.find("inner"), std::string::npos);
    EXPECT_NE(p.fileSystem.appends[1].bytes.find("outer"), std::string::npos);
}

TEST_F(Log, ALockedLogLosesTheLineAndNothingElse) {
    p.fileSystem.lockedPaths.insert("C:\\Q\\log.txt");
    log.WriteLog(Words{"lost"});
    p.fileSystem.lockedPaths.clear();
    log.WriteLog(Words{"kept"});
    ASSERT_EQ(p.fileSystem.appends.size(), 2u);
    EXPECT_FALSE(p.fileSystem.appends[0].succeeded);
    EXPECT_TRUE(p.fileSystem.appends[1].succeeded);
}

TEST(LogLanguage, EachLineInTheProgramsLanguageWhereTheCodePageHoldsItElseInEnglish) {
    for (const char* charset : {"CP936", "CP1252"}) {
        FakeCodePage codePage(charset);
        FakeFileSystem files(&codePage);
        FakeEventLoop loop;
        files.addFolder("C:\\Q");
        loop.timestamp = "t";
        EventLog log{files, codePage, loop, "C:\\Q\\log.txt"};
        for (const LanguageTables* language : Languages()) {
            SetCurrentLanguage(*language);
            log.WriteLog(TrayText::LogQuit);
            // A name in the parts that no code page here holds wholly: the
            // English line still says what happened.
            log.WriteLog(Phrase(TrayText::DriveArrived, {Words{"KINGSTON (G:)"}}) +
                         TrayText::SuffixNeedsAdministrator);
        }
        SetCurrentLanguage(*FindLanguage("zh-CN"));
        std::vector<std::string> lines;
        for (const auto& a : files.appends) lines.push_back(codePage.fromAnsi(a.bytes));
        ASSERT_EQ(lines.size(), 4u);
        const bool chineseHeld = charset == std::string("CP936");
        // Languages() lists English first, then Simplified Chinese.
        EXPECT_EQ(lines[0], "t\t=============== Program exited\r\n");
        EXPECT_EQ(lines[1], "t\tKINGSTON (G:) connected: administrator rights are needed\r\n");
        EXPECT_EQ(lines[2], chineseHeld ? "t\t===============程序退出\r\n" : lines[0]) << charset;
        EXPECT_EQ(lines[3], chineseHeld ? "t\tKINGSTON (G:) 已连接: 需要管理员权限\r\n" : lines[1])
            << charset;
        for (const auto& line : lines) EXPECT_EQ(line.find('?'), std::string::npos) << line;
    }
}

TEST(DoubleByteCount, CountsCharactersTakingTwoBytesIn936) {
    FakeCodePage cp;
    EXPECT_EQ(CountDoubleByteChars(cp, "C:\\Program Files\\Quillmoor"), 0u);
    EXPECT_EQ(CountDoubleByteChars(cp, "测试目录"), 4u);
    EXPECT_EQ(CountDoubleByteChars(cp, "C:\\测试\\Quillmoor"), 2u);
    EXPECT_EQ(CountDoubleByteChars(cp, ""), 0u);
}

}  // namespace
}  // namespace qm
