// The file-system fake stands in for drives, attributes and copies in the
// suites of immunisation, the drive table and the installer; these cases pin
// the rules of it that are easy to get wrong.
#include "fakes/fake_file_system.h"

#include <gtest/gtest.h>

#include "fakes/fake_code_page.h"

namespace qm {
namespace {

using Names = std::vector<std::string>;

TEST(FakeFileSystemDrives, ADriveThatIsNotReadyTellsOnlyItsType) {
    FakeFileSystem fs;
    DriveProperties& card = fs.addDrive('h', kDriveKindRemovable, false);
    card.volumeName = "OLD";
    card.serialNumber = -5;
    card.fileSystemName = "FAT32";
    card.totalSize = 99;
    DriveProperties& stick = fs.addDrive('G', kDriveKindRemovable);
    stick.serialNumber = -2023406815;  // 0x87654321
    stick.volumeName = "STICK";

    EXPECT_TRUE(fs.driveExists('H'));
    const auto h = fs.driveProperties('H');
    ASSERT_TRUE(h.has_value());
    EXPECT_FALSE(h->isReady);
    EXPECT_EQ(h->driveType, kDriveKindRemovable);
    EXPECT_EQ(h->volumeName, "");
    EXPECT_EQ(h->serialNumber, std::nullopt);
    EXPECT_EQ(h->fileSystemName, "");
    EXPECT_EQ(h->totalSize, 0u);
    EXPECT_FALSE(fs.folderExists("H:\\")) << "no medium, no root folder";
    EXPECT_EQ(fs.volumeSerial("H:\\"), std::nullopt);

    EXPECT_EQ(fs.driveProperties('g')->volumeName, "STICK");
    EXPECT_TRUE(fs.folderExists("G:\\"));
    EXPECT_EQ(fs.volumeSerial("G:\\"), 0x87654321u);
    EXPECT_FALSE(fs.driveExists('K'));
    EXPECT_EQ(fs.driveProperties('K'), std::nullopt);

    const std::uint32_t mapped = fs.mappedDrives();
    EXPECT_TRUE(DriveIn(mapped, 'g') && DriveIn(mapped, 'H'));
    EXPECT_FALSE(DriveIn(mapped, 'K') || DriveIn(mapped, '@') || DriveIn(mapped, '['));
}

TEST(FakeFileSystemAttributes, ReadOnlyFilesNeedForceAndReadOnlyFoldersDoNot) {
    FakeFileSystem fs;
    fs.addFile("G:\\autorun.inf", "[autorun]");
    fs.setAttributes("G:\\AUTORUN.INF", kAttributeReadOnly | kAttributeHidden);
    EXPECT_FALSE(fs.deleteFile("G:\\autorun.inf"));
    EXPECT_FALSE(fs.appendBytes("G:\\autorun.inf", "x"));
    EXPECT_FALSE(fs.writeBytesAt("G:\\autorun.inf", 0, "x"));
    EXPECT_TRUE(fs.deleteFileForced("G:\\autorun.inf"));
    EXPECT_FALSE(fs.fileExists("G:\\autorun.inf"));
    // A new file of the same name starts without the old attributes.
    fs.addFile("G:\\autorun.inf");
    EXPECT_EQ(fs.attributesOf("G:\\autorun.inf"), 0);

    // A locked file loses its read-only bit to the forced delete but stays.
    fs.setAttributes("G:\\autorun.inf", kAttributeReadOnly);
    fs.lockedPaths.insert("G:\\autorun.inf");
    EXPECT_FALSE(fs.deleteFileForced("G:\\autorun.inf"));
    EXPECT_EQ(fs.attributesOf("G:\\autorun.inf"), 0);
    EXPECT_TRUE(fs.fileExists("G:\\autorun.inf"));

    // The read-only attribute of a folder does not keep files out of it.
    ASSERT_TRUE(fs.createFolder("G:\\autorun.inf.d"));
    ASSERT_TRUE(fs.setFolderAttributes("G:\\autorun.inf.d", 7));
    EXPECT_EQ(fs.folderAttributes("G:\\AUTORUN.INF.D"), 7);
    EXPECT_TRUE(fs.createFolder("G:\\autorun.inf.d\\Made by Quillmoor"));
    EXPECT_TRUE(fs.createEmptyTextFile("G:\\autorun.inf.d\\x.txt"));
    EXPECT_EQ(fs.folderAttributes("G:\\autorun.inf"), std::nullopt) << "a file is no folder";

    // A write-protected medium refuses every change.
    fs.readOnlyFolders.insert("G:\\");
    fs.lockedPaths.clear();
    EXPECT_FALSE(fs.deleteFileForced("G:\\autorun.inf"));
    EXPECT_FALSE(fs.createFolder("G:\\new"));
    EXPECT_FALSE(fs.setFolderAttributes("G:\\autorun.inf.d", 0));
    EXPECT_FALSE(fs.createFolder("G:\\autorun.inf.d")) << "exists already";
}

TEST(FakeFileSystemCopies, AFolderCopyIsDeepOverwritesAndKeepsNames) {
    FakeFileSystem fs;
    fs.addFile("D:\\Setup\\Quillmoor.exe", "new exe");
    fs.addFile("D:\\Setup\\Docs\\ReadMe.txt", "new readme");
    fs.setAttributes("D:\\Setup\\Docs\\ReadMe.txt", kAttributeReadOnly);
    fs.addFolder("D:\\Setup\\Empty\\Deeper");
    fs.addFile("C:\\Program Files\\Quillmoor\\quillmoor.EXE", "old exe");
    fs.addFile("C:\\Program Files\\Quillmoor\\Disk.ini", "keep");

    ASSERT_TRUE(fs.copyFolder("D:\\Setup", "C:\\Program Files\\Quillmoor"));
    EXPECT_EQ(fs.fileBytes("C:\\Program Files\\Quillmoor\\Quillmoor.exe"), "new exe");
    EXPECT_EQ(fs.fileBytes("C:\\Program Files\\Quillmoor\\Disk.ini"), "keep");
    EXPECT_EQ(fs.fileBytes("C:\\Program Files\\Quillmoor\\Docs\\ReadMe.txt"), "new readme");
    EXPECT_EQ(fs.attributesOf("C:\\Program Files\\Quillmoor\\Docs\\ReadMe.txt"),
              kAttributeReadOnly);
    EXPECT_TRUE(fs.folderExists("C:\\Program Files\\Quillmoor\\Empty\\Deeper"));
    EXPECT_EQ(fs.listSubfolders("C:\\Program Files\\Quillmoor"), (Names{"Docs", "Empty"}));
    // A replaced file keeps the name it had.
    EXPECT_EQ(fs.listFiles("C:\\Program Files\\Quillmoor"), (Names{"Disk.ini", "quillmoor.EXE"}));

    // The copied read-only file now blocks the next copy over it.
    EXPECT_FALSE(fs.copyFolder("D:\\Setup", "C:\\Program Files\\Quillmoor"));
    EXPECT_FALSE(fs.copyFile("D:\\Setup\\Docs\\ReadMe.txt",
                             "C:\\Program Files\\Quillmoor\\Docs\\readme.txt"));
    fs.setAttributes("C:\\Program Files\\Quillmoor\\Disk.ini", kAttributeHidden);
    EXPECT_FALSE(fs.copyFile("D:\\Setup\\Quillmoor.exe", "C:\\Program Files\\Quillmoor\\Disk.ini"));
    EXPECT_TRUE(fs.copyFile("D:\\Setup\\Quillmoor.exe", "C:\\Program Files\\Quillmoor\\New.exe"));
    EXPECT_FALSE(fs.copyFolder("D:\\Setup", "D:\\Setup\\Backup")) << "a copy into itself";
    EXPECT_FALSE(fs.copyFolder("D:\\Missing", "C:\\Elsewhere"));
    EXPECT_FALSE(fs.copyFolder("D:\\Setup", "Q:\\No\\Parent"));
}

TEST(FakeFileSystemText, LinesComeThroughTheCodePageAndWritesLandAtTheirOffset) {
    FakeCodePage codePage;
    FakeFileSystem fs(&codePage);
    fs.addFile("C:\\q\\list.txt", "\xD6\xD0\xCE\xC4\r\nsecond\nthird\r\n");
    EXPECT_EQ(fs.readTextLines("C:\\q\\list.txt"), (Names{"中文", "second", "third"}));
    EXPECT_EQ(fs.readTextLines("C:\\q\\none.txt"), std::nullopt);
    fs.lockedPaths.insert("C:\\q\\list.txt");
    EXPECT_EQ(fs.readTextLines("C:\\q\\list.txt"), std::nullopt);

    ASSERT_TRUE(fs.writeBytesAt("C:\\q\\part.bin", 4, "CD"));
    ASSERT_TRUE(fs.writeBytesAt("C:\\q\\part.bin", 1, "ab"));
    EXPECT_EQ(fs.fileBytes("C:\\q\\part.bin"), std::string("\0ab\0CD", 6));
    EXPECT_FALSE(fs.writeBytesAt("C:\\missing\\part.bin", 0, "x"));
}

}  // namespace
}  // namespace qm
