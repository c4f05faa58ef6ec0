#include "drives/immunisation.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "recording_notices.h"

namespace qm {
namespace {

class Immunise : public ::testing::Test {
protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Program Files\\Quillmoor"};
    RecordingNotices notices;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    int refreshes = 0;
    SystemHelpers helpers{SystemHelpersDeps{p.fileSystem, p.eventLoop, p.processes, p.shell, log,
                                            notices, paths},
                          "T", [this] { ++refreshes; }};
    Immunisation im{ImmunisationDeps{p.fileSystem, p.codePage, p.eventLoop, log, notices, helpers,
                                     paths},
                    "Quillmoor v1.0.1", [this] { ++refreshes; }};

    void SetUp() override {
        p.fileSystem.addFolder(paths.installDir());
        p.fileSystem.addDrive('G', kDriveKindRemovable, true).volumeName = "KINGSTON";
    }
    std::string lastLog() {
        const std::string line = p.codePage.fromAnsi(p.fileSystem.appends.back().bytes);
        return line.substr(line.find('\t') + 1, line.size() - line.find('\t') - 3);
    }
};

TEST_F(Immunise, APlantedReadOnlyFileMakesWayForTheProtectiveFolder) {
    p.fileSystem.addFile("G:\\autorun.inf", "[autorun]");
    p.fileSystem.setAttributes("G:\\autorun.inf", kAttributeReadOnly);
    im.ImmuniseDrive("g");
    EXPECT_TRUE(IsImmunised(p.fileSystem, "G"));
    EXPECT_EQ(p.fileSystem.folderAttributes("G:\\autorun.inf"), std::optional<int>(7));
    EXPECT_FALSE(p.fileSystem.listSubfolders("G:\\autorun.inf").empty());
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "已免疫 (G:\\) 可有效防止autorun病毒向该设备写入");
    EXPECT_EQ(notices.shown[0].picture, NoticePicture::OK);
    EXPECT_EQ(lastLog(), "免疫 G:\\ 成功");
    EXPECT_EQ(refreshes, 2);

    // Once more: nothing changes and nothing is said.
    im.ImmuniseDrive("G:\\");
    EXPECT_EQ(notices.shown.size(), 1u);
}

TEST_F(Immunise, AWriteProtectedStickEndsInTheFailureNotice) {
    p.fileSystem.failCreateFolder.always = true;
    im.ImmuniseDrive("G");
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "免疫 (G:\\) 失败");
    EXPECT_EQ(notices.shown[0].picture, NoticePicture::OK);
    EXPECT_EQ(lastLog(), "免疫 G:\\ 失败");
}

TEST_F(Immunise, AnEmptySlotIsReportedNotReadyAfterARefresh) {
    p.fileSystem.addDrive('H', kDriveKindRemovable, false);
    im.ImmuniseDrive("h");
    EXPECT_EQ(refreshes, 1);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "驱动器 (H:) 未准备就绪");
    EXPECT_EQ(notices.shown[0].picture, NoticePicture::Warning);
    EXPECT_EQ(lastLog(), "驱动器 (H:) 未准备就绪");
    im.RemoveImmunity("H");
    EXPECT_EQ(notices.shown.size(), 2u);
}

TEST_F(Immunise, RemovalRunsAHiddenBatchFileAndLeavesNoneBehind) {
    p.fileSystem.addFolder("G:\\autorun.inf");
    // The batch file runs: it checks its own line, then removes the folder.
    std::string seen;
    p.processes.onStart = [&](std::uint32_t, FakeProcesses::Process& proc) {
        seen = p.fileSystem.fileBytes("C:\\Program Files\\Quillmoor\\tmpG.bat").value_or("");
        p.fileSystem.removeFolder("G:\\autorun.inf");
        proc.queriesBeforeExit = 2;
    };
    im.RemoveImmunity("G");
    EXPECT_EQ(seen, "rmdir /s /q \"G:\\autorun.inf\"\r\n");
    ASSERT_EQ(p.processes.startCalls.size(), 1u);
    EXPECT_EQ(p.processes.startCalls[0].commandLine,
              "cmd.exe /c \"C:\\Program Files\\Quillmoor\\tmpG.bat\"");
    EXPECT_EQ(p.processes.startCalls[0].showState, kShowHidden);
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\tmpG.bat"));
    EXPECT_EQ(notices.shown.back().content, "已删除 (G:\\) 中的免疫文件夹");
    EXPECT_EQ(lastLog(), "删除 G:\\ 中的免疫文件夹成功");
    EXPECT_EQ(p.processes.openHandleCount(), 0u);
}

TEST_F(Immunise, TwoRemovalsInARowLeaveNoBatchFileBehind) {
    p.fileSystem.addDrive('H', kDriveKindRemovable, true);
    p.fileSystem.addFolder("G:\\autorun.inf");
    p.fileSystem.addFolder("H:\\autorun.inf");
    p.processes.onStart = [&](std::uint32_t, FakeProcesses::Process& proc) {
        const bool g = proc.commandLine.find("tmpG.bat") != std::string::npos;
        p.fileSystem.removeFolder(g ? "G:\\autorun.inf" : "H:\\autorun.inf");
        proc.queriesBeforeExit = 1;
    };
    im.RemoveImmunity("G");
    im.RemoveImmunity("H");
    for (const auto& name : p.fileSystem.listFiles(paths.installDir())) {
        EXPECT_EQ(name.find(".bat"), std::string::npos) << name;
    }
    EXPECT_EQ(lastLog(), "删除 H:\\ 中的免疫文件夹成功");
}

TEST_F(Immunise, ARemovalThatFailsSaysSoAndStillCleansUp) {
    p.fileSystem.addFolder("G:\\autorun.inf");
    p.fileSystem.addFile("C:\\Program Files\\Quillmoor\\tmpG.bat", "stale");
    p.processes.failStart.always = true;  // no command interpreter
    im.RemoveImmunity("G");
    EXPECT_FALSE(p.fileSystem.fileExists("C:\\Program Files\\Quillmoor\\tmpG.bat"));
    EXPECT_EQ(notices.shown.back().content, "删除 (G:\\) 中的免疫文件夹失败");
    EXPECT_EQ(notices.shown.back().picture, NoticePicture::Warning);
    // Without the folder there is nothing to do and nothing to say.
    p.fileSystem.removeFolder("G:\\autorun.inf");
    const auto before = notices.shown.size();
    im.RemoveImmunity("G");
    EXPECT_EQ(notices.shown.size(), before);
}

}  // namespace
}  // namespace qm
