#include "drives/immunisation.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/recording_requests.h"
#include "recording_notices.h"
#include "settings/settings_files.h"

namespace qm {
namespace {

class Immunise : public ::testing::Test {
protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Program Files\\Quillmoor"};
    RecordingNotices notices;
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    RecordingRequests requests;
    Immunisation im{ImmunisationDeps{p.fileSystem, p.eventLoop, log, notices}, "Quillmoor v1.0.1",
                    &requests};

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
    EXPECT_EQ(requests.refreshes, 2);

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
    EXPECT_EQ(requests.refreshes, 1);
    ASSERT_EQ(notices.shown.size(), 1u);
    EXPECT_EQ(notices.shown[0].content, "驱动器 (H:) 未准备就绪");
    EXPECT_EQ(notices.shown[0].picture, NoticePicture::Warning);
    EXPECT_EQ(lastLog(), "驱动器 (H:) 未准备就绪");
    im.RemoveImmunity("H");
    EXPECT_EQ(notices.shown.size(), 2u);
}

TEST_F(Immunise, RemovalTakesTheWholeFolderWithoutAnyProgramOrBatchFile) {
    // As the system leaves it: read-only, hidden and system, the inner
    // folder's name ending in dots, a file with a name ending in a blank.
    p.fileSystem.addFolder("G:\\autorun.inf\\Made by Quillmoor..");
    p.fileSystem.addFile("G:\\autorun.inf\\Made by Quillmoor..\\note ", "x");
    p.fileSystem.setAttributes("G:\\autorun.inf", 7);
    p.fileSystem.setAttributes("G:\\autorun.inf\\Made by Quillmoor..\\note ", kAttributeReadOnly);
    im.RemoveImmunity("G");
    EXPECT_FALSE(p.fileSystem.folderExists("G:\\autorun.inf"));
    EXPECT_FALSE(IsImmunised(p.fileSystem, "G"));
    EXPECT_EQ(notices.shown.back().content, "已删除 (G:\\) 中的免疫文件夹");
    EXPECT_EQ(notices.shown.back().picture, NoticePicture::OK);
    EXPECT_EQ(lastLog(), "删除 G:\\ 中的免疫文件夹成功");
    EXPECT_TRUE(p.processes.startCalls.empty());
    for (const auto& name : p.fileSystem.listFiles(paths.installDir())) EXPECT_EQ(name, "log.txt");
    EXPECT_EQ(requests.refreshes, 1);

    // Without the folder there is nothing to do and nothing to say.
    const auto before = notices.shown.size();
    im.RemoveImmunity("G");
    EXPECT_EQ(notices.shown.size(), before);
}

TEST_F(Immunise, ARemovalThatCannotFinishIsReportedAsFailed) {
    const auto expectFailure = [&](const char* why) {
        EXPECT_EQ(notices.shown.back().content, "删除 (G:\\) 中的免疫文件夹失败") << why;
        EXPECT_EQ(notices.shown.back().picture, NoticePicture::Warning) << why;
        EXPECT_EQ(lastLog(), "删除 G:\\ 中的免疫文件夹失败") << why;
    };
    // A write-protected stick keeps everything.
    p.fileSystem.addFolder("G:\\autorun.inf\\Made by Quillmoor..");
    p.fileSystem.readOnlyFolders.insert("G:\\");
    im.RemoveImmunity("G");
    expectFailure("write-protected");
    EXPECT_TRUE(p.fileSystem.folderExists("G:\\autorun.inf\\Made by Quillmoor.."));

    // A file held open keeps its folders.
    p.fileSystem.readOnlyFolders.clear();
    p.fileSystem.addFile("G:\\autorun.inf\\held.txt");
    p.fileSystem.lockedPaths.insert("G:\\autorun.inf\\held.txt");
    im.RemoveImmunity("G");
    expectFailure("file held open");
    EXPECT_FALSE(p.fileSystem.folderExists("G:\\autorun.inf\\Made by Quillmoor.."));

    // The stick pulled in the middle: its folder is gone, but not removed.
    p.fileSystem.lockedPaths.clear();
    p.fileSystem.failRemoveTree.always = true;
    p.eventLoop.onPump = [&] {
        p.fileSystem.drives.erase('G');
        p.fileSystem.removeFolder("G:\\");
    };
    im.RemoveImmunity("G");
    expectFailure("pulled");
}

}  // namespace
}  // namespace qm
