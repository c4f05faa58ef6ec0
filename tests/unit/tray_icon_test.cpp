#include "core/tray_icon.h"

#include <gtest/gtest.h>

#include "fakes/fake_platform.h"

namespace qm {
namespace {

TEST(NotifyIconRecord, FieldsLieWhereTheShellReadsThem) {
    FakeCodePage cp;
    const auto r = BuildNotifyIconRecord(cp, 0x1234, 0x5678, "tip", "info", "title", kTrayFlags,
                                         kNiifWarning);
    EXPECT_EQ(r.size(), 488u);
    EXPECT_EQ(recordField(r, notifyfield::kSize), 488u);
    EXPECT_EQ(recordField(r, notifyfield::kWindow), 0x1234u);
    EXPECT_EQ(recordField(r, notifyfield::kId), 1u);
    EXPECT_EQ(recordField(r, notifyfield::kFlags), 0x17u);
    EXPECT_EQ(recordField(r, notifyfield::kCallbackMessage), 2025u);
    EXPECT_EQ(recordField(r, notifyfield::kIcon), 0x5678u);
    EXPECT_EQ(recordText(r, notifyfield::kTip, 128), "tip");
    EXPECT_EQ(recordField(r, notifyfield::kState), 0u);
    EXPECT_EQ(recordField(r, notifyfield::kStateMask), 0u);
    EXPECT_EQ(recordText(r, notifyfield::kInfo, 256), "info");
    EXPECT_EQ(recordField(r, notifyfield::kTimeout), 1000u);
    EXPECT_EQ(recordText(r, notifyfield::kInfoTitle, 64), "title");
    EXPECT_EQ(recordField(r, notifyfield::kInfoFlags), 2u);
    // Unused bytes after each text stay zero.
    EXPECT_EQ(r[notifyfield::kTip + 127], 0);
    EXPECT_EQ(r[notifyfield::kInfo + 255], 0);
}

TEST(NotifyIconRecord, LongTextsAreCutOnACharacterBoundaryAndKeepTheirNul) {
    FakeCodePage cp;
    // 126 ASCII bytes and then a character of two bytes: 128 would not fit.
    const std::string tip = std::string(126, 'a') + "安全";
    const auto r = BuildNotifyIconRecord(cp, 1, 1, tip, std::string(400, 'b'),
                                         std::string(100, 'c'), 0, 0);
    EXPECT_EQ(r[notifyfield::kTip + 126], 0);  // half a character never goes in
    EXPECT_EQ(recordText(r, notifyfield::kTip, 128), std::string(126, 'a'));
    EXPECT_EQ(recordText(r, notifyfield::kInfo, 256).size(), 255u);
    EXPECT_EQ(recordText(r, notifyfield::kInfoTitle, 64).size(), 63u);

    const std::string chinese(200, 'x');
    EXPECT_EQ(AnsiPrefix(cp, "安全弹出硬件", 127), cp.toAnsi("安全弹出硬件"));
    EXPECT_EQ(AnsiPrefix(cp, "安全弹出硬件", 5), cp.toAnsi("安全"));
}

TEST(TrayIconObject, HandsTheShellItsTextsWholeAndDeletesTheIconItAddedWhenReleased) {
    FakeShell shell;
    // A code page without Chinese: the record holds question marks, the
    // shell gets the program's own texts.
    FakeCodePage cp("CP1252");
    const std::string tip = "Quillmoor v1.0.1\r\n安全弹出硬件";
    {
        cToolTip tray(shell, cp);
        tray.AddTrayAndInfo(7, 9, tip, "已连接", "通知", kTrayFlags, kNiifWarning);
        EXPECT_EQ(shell.icons.size(), 1u);
    }
    ASSERT_EQ(shell.notifyCalls.size(), 2u);
    EXPECT_EQ(recordText(shell.notifyCalls[0].record, notifyfield::kTip, 128),
              "Quillmoor v1.0.1\r\n??????");
    for (const auto& call : shell.notifyCalls) {
        EXPECT_EQ(call.texts.tip, tip);
        EXPECT_EQ(call.texts.info, "已连接");
        EXPECT_EQ(call.texts.infoTitle, "通知");
    }
    EXPECT_EQ(shell.notifyCalls[1].message, kNimDelete);
    EXPECT_EQ(recordField(shell.notifyCalls[1].record, notifyfield::kWindow), 7u);
    EXPECT_TRUE(shell.icons.empty());

    // An object that never added an icon removes nothing.
    { cToolTip unused(shell, cp); }
    EXPECT_EQ(shell.notifyCalls.size(), 2u);
}

}  // namespace
}  // namespace qm
