// The fakes stand in for the system in every other suite; these cases pin
// the parts of their behaviour that are easy to get wrong and that other
// tests lean on.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fakes/fake_platform.h"

namespace qm {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(FakeCodePage, ConvertsToGbkAndMarksWhatItCannotHold) {
    FakeCodePage cp;
    EXPECT_EQ(cp.toAnsi("A中文"), "A\xD6\xD0\xCE\xC4");
    EXPECT_EQ(cp.fromAnsi("A\xD6\xD0\xCE\xC4"), "A中文");
    // An emoji has no GBK form and is two UTF-16 units; a stray byte or a
    // cut sequence is no UTF-8 at all.
    EXPECT_EQ(cp.toAnsi("x😀y"), "x??y");
    EXPECT_EQ(cp.toAnsi("x\xFFy"), "x?y");
    EXPECT_EQ(cp.toAnsi("x\xE4\xB8y"), "x?y");
    // A lead byte cut off at the end of the text.
    EXPECT_EQ(cp.fromAnsi("ab\xD6"), "ab?");
    EXPECT_EQ(cp.bytesIn936("a中é"), 5u);
    EXPECT_EQ(cp.bytesIn936(""), 0u);
}

TEST(FakeCodePage, WesternCodePageHasNoLeadBytes) {
    FakeCodePage cp("CP1252");
    EXPECT_EQ(cp.toAnsi("é中"), "\xE9?");
    EXPECT_FALSE(cp.isLeadByte(0xD6));
    EXPECT_EQ(cp.bytesIn936("中"), 2u);  // always counted in 936
}

TEST(FailSwitch, FailsChosenCallsAndCountsAll) {
    FailSwitch s;
    s.failFirst(2);  // "the third attempt succeeds"
    EXPECT_TRUE(s.next());
    EXPECT_TRUE(s.next());
    EXPECT_FALSE(s.next());
    s.from = 5;
    EXPECT_FALSE(s.next());
    EXPECT_TRUE(s.next());
    EXPECT_TRUE(s.next());
    EXPECT_EQ(s.count, 6);
}

TEST(FakeFileSystem, PathsCompareAsWindowsComparesThem) {
    FakeFileSystem fs;
    fs.addFile("C:\\Data\\Log.txt", "x");
    EXPECT_TRUE(fs.fileExists("c:/data/LOG.TXT"));
    EXPECT_TRUE(fs.folderExists("C:\\DATA\\"));
    EXPECT_TRUE(fs.folderExists("C:"));
    EXPECT_FALSE(fs.folderExists("C:\\Data\\Log.txt"));
    EXPECT_FALSE(fs.fileExists("C:\\Data"));
    // A sibling whose name starts the same is not inside the folder.
    fs.addFile("C:\\Database\\keep.txt");
    fs.removeFolder("C:\\Data");
    EXPECT_FALSE(fs.fileExists("C:\\Data\\Log.txt"));
    EXPECT_TRUE(fs.fileExists("C:\\Database\\keep.txt"));
}

TEST(FakeFileSystem, AppendNeedsAWritableExistingFolder) {
    FakeFileSystem fs;
    EXPECT_FALSE(fs.appendBytes("D:\\logs\\a.log", "x"));
    fs.addFolder("D:\\logs");
    EXPECT_TRUE(fs.appendBytes("D:\\logs\\a.log", "one"));
    EXPECT_TRUE(fs.appendBytes("d:\\LOGS\\A.log", "two"));
    EXPECT_EQ(fs.fileBytes("D:\\logs\\a.log"), "onetwo");
    EXPECT_FALSE(fs.appendBytes("D:\\logs", "x")) << "a folder is no file";

    fs.lockedPaths.insert("d:/logs/a.log");
    EXPECT_FALSE(fs.appendBytes("D:\\logs\\a.log", "three"));
    fs.lockedPaths.clear();
    fs.readOnlyFolders.insert("D:\\");
    EXPECT_FALSE(fs.appendBytes("D:\\logs\\a.log", "three"));
    EXPECT_EQ(fs.fileBytes("D:\\logs\\a.log"), "onetwo");
    ASSERT_EQ(fs.appends.size(), 6u);
    EXPECT_FALSE(fs.appends.back().succeeded);
}

class FakeProfileTest : public ::testing::Test {
  protected:
    const std::string ini = "C:\\App\\Setting.ini";
    FakeCodePage cp;
    FakeFileSystem fs;
    FakeProfile profile{fs, &cp};
};

TEST_F(FakeProfileTest, ReadsValuesAsTheSystemDoes) {
    profile.seedFile(ini,
                     "\x01\xFF garbage\r\n"
                     "[ Disk ]\n"
                     "  Name =  \"quoted \"  \r"
                     "Bare\n"
                     "Bare=later\n"
                     "Empty=\n"
                     "[disk]\n"
                     "Name=second section\n"
                     "[Other]\n"
                     "Label=\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(profile.getString(ini, "disk", "NAME", "-", 255), "quoted ");
    EXPECT_EQ(profile.getString(ini, "Disk", "Empty", "-", 255), "");
    EXPECT_EQ(profile.getString(ini, "Disk", "Bare", "dflt", 255), "dflt")
        << "a name without '=' hides the later entry";
    EXPECT_EQ(profile.getString(ini, "Other", "Label", "-", 255), "中文");
    EXPECT_EQ(profile.getString(ini, "Other", "Name", "dflt  ", 255), "dflt")
        << "trailing blanks of the default are dropped";
    EXPECT_EQ(profile.getString("C:\\App\\none.ini", "Disk", "Name", "d", 255), "d");
}

TEST_F(FakeProfileTest, CutsAtTheBufferWithoutSplittingACharacter) {
    profile.seedFile(ini, "[s]\nk=ab\xD6\xD0\xCE\xC4\nlong=" + std::string(100 * 1024, 'x') + "\n");
    EXPECT_EQ(profile.getString(ini, "s", "k", "", 5), "ab中");
    EXPECT_EQ(profile.getString(ini, "s", "k", "", 4), "ab");
    EXPECT_EQ(profile.getString(ini, "s", "k", "", 1), "");
    EXPECT_EQ(profile.getString(ini, "s", "long", "", 255), std::string(254, 'x'));
    EXPECT_EQ(profile.getString(ini, "s", "missing", "fallback", 4), "fal");
}

TEST_F(FakeProfileTest, WritesNeedTheFolderAndLandInTheFile) {
    EXPECT_FALSE(profile.writeString(ini, "Disk", "Name", "x"));
    EXPECT_FALSE(fs.fileExists(ini));

    fs.addFolder("C:\\App");
    EXPECT_TRUE(profile.writeString(ini, "Disk", "Name", "中"));
    EXPECT_TRUE(fs.fileExists("c:\\app\\setting.INI"));
    EXPECT_EQ(fs.fileBytes(ini), "[Disk]\r\nName=\xD6\xD0\r\n");
    EXPECT_EQ(profile.getString(ini, "DISK", "name", "", 255), "中");

    fs.lockedPaths.insert(ini);
    EXPECT_FALSE(profile.writeString(ini, "Disk", "Name", "y"));
    EXPECT_EQ(profile.getString(ini, "Disk", "Name", "locked", 255), "locked");
    EXPECT_FALSE(profile.writes.back().succeeded);
}

TEST_F(FakeProfileTest, UpdatesInPlaceAndKeepsEverythingElse) {
    profile.seedFile(ini, "junk\xFF\r\n[A]\r\nx = 1\r\n\r\n[B]\r\ny=2");
    EXPECT_TRUE(profile.writeString(ini, "a", "X", "10"));
    EXPECT_TRUE(profile.writeString(ini, "A", "z", "3"));
    EXPECT_TRUE(profile.writeString(ini, "B", "w", "4"));
    EXPECT_TRUE(profile.writeString(ini, "C", "v", "5"));
    EXPECT_EQ(fs.fileBytes(ini),
              "junk\xFF\r\n[A]\r\nx=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n[C]\r\nv=5\r\n");
}

TEST(FakeProfileAlone, NeedsNoFolders) {
    FakeProfile profile;
    EXPECT_TRUE(profile.writeString("X:\\any\\where.ini", "s", "k", "v"));
    EXPECT_EQ(profile.getString("x:\\ANY\\where.ini", "s", "k", "", 255), "v");
    EXPECT_EQ(profile.fileText("X:\\any\\where.ini"), "[s]\r\nk=v\r\n");
}

class FakeRegistryTest : public ::testing::Test {
  protected:
    static constexpr std::uint32_t kAll = 0xF003F;
    static constexpr std::uint32_t kRead = 0x20019;
    FakeRegistry reg;
};

TEST_F(FakeRegistryTest, SmallBufferAnswersMoreDataWithTheSizeNeeded) {
    reg.putString(RegRoot::CurrentUser, "Software\\Q", "Path", std::string(2000, 'p'));
    Registry::Key key = 0;
    ASSERT_EQ(reg.openKey(RegRoot::CurrentUser, "software\\q", kRead, key), kErrorSuccess);
    RegQueryResult r = reg.queryValue(key, "PATH", 1024);
    EXPECT_EQ(r.status, kErrorMoreData);
    EXPECT_EQ(r.size, 2001u);
    EXPECT_TRUE(r.data.empty());
    r = reg.queryValue(key, "path", r.size);
    EXPECT_EQ(r.status, kErrorSuccess);
    EXPECT_EQ(r.type, regtype::kSz);
    EXPECT_EQ(r.data.size(), 2001u);
    EXPECT_EQ(reg.queryValue(key, "nope", 10).status, kErrorFileNotFound);
    reg.closeKey(key);
    EXPECT_EQ(reg.queryBufferSizes, (std::vector<std::uint32_t>{1024, 2001, 10}));
}

TEST_F(FakeRegistryTest, TracksHandlesAndRights) {
    Registry::Key created = 0;
    Registry::Key readOnly = 0;
    ASSERT_EQ(reg.createKey(RegRoot::CurrentUser, "A\\B\\C", kAll, created), kErrorSuccess);
    EXPECT_TRUE(reg.keyExists(RegRoot::CurrentUser, "a\\b"));
    ASSERT_EQ(reg.openKey(RegRoot::CurrentUser, "A\\B\\C", kRead, readOnly), kErrorSuccess);
    EXPECT_NE(created, readOnly);
    EXPECT_EQ(reg.openKeyCount(), 2u);

    EXPECT_EQ(reg.setValue(readOnly, "v", regtype::kDword, bytes("1234")), kErrorAccessDenied);
    EXPECT_EQ(reg.setValue(created, "v", regtype::kDword, bytes("1234")), kErrorSuccess);
    EXPECT_EQ(reg.queryValue(readOnly, "V", 4).status, kErrorSuccess);

    reg.closeKey(created);
    reg.closeKey(created);
    EXPECT_EQ(reg.badCloses, 1);
    EXPECT_EQ(reg.setValue(created, "v", regtype::kDword, bytes("1")), kErrorInvalidHandle);
    reg.closeKey(readOnly);
    EXPECT_EQ(reg.openKeyCount(), 0u);
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "A", kRead, readOnly), kErrorFileNotFound);
    EXPECT_EQ(readOnly, 0u);
}

TEST_F(FakeRegistryTest, DeletesOnlyLeafKeys) {
    reg.addKey(RegRoot::LocalMachine, "Soft\\Vendor\\App");
    reg.addKey(RegRoot::LocalMachine, "Soft\\Vendor App");
    EXPECT_EQ(reg.deleteKey(RegRoot::LocalMachine, "Soft\\Vendor", 0), kErrorAccessDenied);
    EXPECT_EQ(reg.deleteKey(RegRoot::LocalMachine, "Soft\\Missing", 0), kErrorFileNotFound);

    Registry::Key key = 0;
    ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "Soft\\Vendor\\App", kAll, key), kErrorSuccess);
    EXPECT_EQ(reg.deleteKey(RegRoot::LocalMachine, "SOFT\\vendor\\app", 0), kErrorSuccess);
    EXPECT_EQ(reg.deleteKey(RegRoot::LocalMachine, "Soft\\Vendor", 0), kErrorSuccess)
        << "a sibling that sorts close by is no subkey";
    // A key made again under the old name is a new key to the old handle.
    reg.addKey(RegRoot::LocalMachine, "Soft\\Vendor\\App");
    EXPECT_EQ(reg.setValue(key, "v", regtype::kSz, bytes("x")), kErrorKeyDeleted);
    reg.closeKey(key);
}

TEST_F(FakeRegistryTest, ReadOnlyRootRefusesChangesButReads) {
    reg.putDword(RegRoot::LocalMachine, "K", "n", 7);
    reg.readOnlyRoots.insert(RegRoot::LocalMachine);
    Registry::Key key = 0;
    EXPECT_EQ(reg.createKey(RegRoot::LocalMachine, "New", kAll, key), kErrorAccessDenied);
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "K", kAll, key), kErrorAccessDenied);
    ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "K", kRead, key), kErrorSuccess);
    EXPECT_EQ(reg.queryValue(key, "n", 4).data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
    reg.closeKey(key);
    EXPECT_EQ(reg.deleteKey(RegRoot::LocalMachine, "K", 0), kErrorAccessDenied);
}

TEST_F(FakeRegistryTest, ExpandsKnownVariablesOnly) {
    reg.environment["SystemRoot"] = "C:\\WINDOWS";
    EXPECT_EQ(reg.expandEnvironment("%systemroot%\\x"), "C:\\WINDOWS\\x");
    EXPECT_EQ(reg.expandEnvironment("%nope%SYSTEMROOT%"), "%nope%SYSTEMROOT%");
    EXPECT_EQ(reg.expandEnvironment("%nope%%SYSTEMROOT%"), "%nope%C:\\WINDOWS");
    EXPECT_EQ(reg.expandEnvironment("50% off"), "50% off");
    reg.failExpand.always = true;
    EXPECT_EQ(reg.expandEnvironment("x"), "");
}

TEST(FakeEventLoop, DeliversMessagesInsideAPump) {
    FakeEventLoop loop;
    std::vector<std::string> order;
    loop.post([&] {
        order.push_back("outer");
        loop.post([&] { order.push_back("posted meanwhile"); });
        loop.pump();  // a handler that pumps again
    });
    loop.post([&] { order.push_back("second"); });
    loop.pump();
    EXPECT_EQ(order, (std::vector<std::string>{"outer", "second", "posted meanwhile"}));
    EXPECT_EQ(loop.pumpCount, 2);
    EXPECT_EQ(loop.maxPumpDepth, 2);
    EXPECT_EQ(loop.pumpDepth, 0);
}

TEST(FakeEventLoop, ScriptsPumpsAndClock) {
    FakeEventLoop loop;
    loop.mode = FakeEventLoop::Mode::OnePerPump;
    int ran = 0;
    loop.postAtPump(2, [&] { ran = 2; });
    loop.post([&] { ran = 1; });
    loop.post([&] { ran = 3; });
    loop.pump();
    EXPECT_EQ(ran, 1);
    loop.pump();
    EXPECT_EQ(ran, 3) << "the scripted message, then the next queued one";
    EXPECT_EQ(loop.pendingCount(), 0u);

    loop.tick = 0xFFFFFFF0u;
    loop.tickStep = 0x20;
    EXPECT_EQ(loop.tickCount(), 0xFFFFFFF0u);
    EXPECT_EQ(loop.tickCount(), 0x10u) << "wraps like the system's 32-bit count";
    loop.waitForMessage(100);
    EXPECT_EQ(loop.tick, 0x30u + 100);
    loop.post([] {});
    loop.waitForMessage(100);
    EXPECT_EQ(loop.tick, 0x30u + 100) << "a waiting message ends the wait at once";
}

TEST(FakeShell, KeepsIconsAsTheShellDoes) {
    FakeShell shell;
    NotifyIconRecord rec{};
    rec[notifyfield::kWindow] = 0x34;
    rec[notifyfield::kId] = 1;
    rec[notifyfield::kTip] = 'Q';
    EXPECT_FALSE(shell.notifyIcon(kNimModify, rec));
    EXPECT_TRUE(shell.notifyIcon(kNimAdd, rec));
    EXPECT_FALSE(shell.notifyIcon(kNimAdd, rec));
    shell.dropAllIcons();
    EXPECT_FALSE(shell.notifyIcon(kNimDelete, rec));
    EXPECT_TRUE(shell.notifyIcon(kNimAdd, rec));
    ASSERT_EQ(shell.notifyCalls.size(), 5u);
    EXPECT_EQ(recordField(shell.notifyCalls[1].record, notifyfield::kWindow), 0x34u);
    EXPECT_EQ(recordText(shell.notifyCalls[1].record, notifyfield::kTip, 128), "Q");

    const std::uint32_t id = shell.registerWindowMessage("TaskbarCreated");
    EXPECT_GE(id, 0xC000u);
    EXPECT_EQ(shell.registerWindowMessage("taskbarcreated"), id);
    EXPECT_NE(shell.registerWindowMessage("Other"), id);
}

TEST(FakeInstanceLock, SharedTableModelsTwoProcesses) {
    HeldLockNames held;
    auto first = std::make_unique<FakeInstanceLock>(held);
    FakeInstanceLock second(held);
    FakeInstanceLock otherUser(held, "someone else");
    EXPECT_TRUE(first->acquire("Quillmoor"));
    EXPECT_FALSE(second.acquire("Quillmoor"));
    EXPECT_TRUE(otherUser.acquire("Quillmoor"));
    first.reset();  // the first process ends
    EXPECT_TRUE(second.acquire("Quillmoor"));
}

}  // namespace
}  // namespace qm
