#include "ui/settings_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "em_font.h"
#include "every_language.h"
#include "platform/scale.h"
#include "texts/language.h"

namespace qm {
namespace {

SettingsTextMetrics Measured(const EmFont& font) {
    SettingsTextMetrics m;
    m.dpiX = m.dpiY = font.dpi;
    m.lineHeight = font.lineHeight();
    m.checkGlyph = Scale{font.dpi, font.dpi}.x(13 + 6);
    m.driveWidth = font.width("W:\\");
    m.askWidth = font.width(Text(TrayText::RowAsk));
    m.alwaysWidth = font.width(Text(TrayText::RowAlways));
    m.neverWidth = font.width(Text(TrayText::RowNever));
    m.statusWidth = std::max(font.width(Text(TrayText::RowImmunised)),
                             font.width(Text(TrayText::RowNotImmunised)));
    m.refreshWidth = font.width(Text(TrayText::SettingsRefresh)) - font.width("&");
    m.closeWidth = font.width(Text(TrayText::SettingsClose)) - font.width("&");
    return m;
}

TEST(SettingsLayout, TextsThatFitTheDrawnPlacesKeepThem) {
    SetCurrentLanguage(*FindLanguage("zh-CN"));
    SettingsTextMetrics m = Measured(EmFont{96, false});
    // SimSun's own line: 14 pixels at 96 dpi.
    m.lineHeight = 14;
    const SettingsLayout l = LayOutSettings(m);
    SettingsLayout d = DesignSettingsLayout();
    // The status word's box ends with the row, which cut it as drawn, and
    // the root's and the first two boxes where the next starts, not under it.
    d.label1.width = d.row.width - d.label1.left;
    d.check1.width = d.check2.left - d.check1.left;
    d.check2.width = d.check3.left - d.check2.left;
    d.lDisk.width = d.check1.left - d.lDisk.left;
    for (auto [a, b] : {std::pair{l.row, d.row},
                        {l.lDisk, d.lDisk},
                        {l.check1, d.check1},
                        {l.check2, d.check2},
                        {l.check3, d.check3},
                        {l.label1, d.label1},
                        {l.command1, d.command1},
                        {l.command2, d.command2},
                        {l.pic, d.pic}}) {
        EXPECT_EQ(std::tie(a.left, a.top, a.width, a.height),
                  std::tie(b.left, b.top, b.width, b.height));
    }
    EXPECT_EQ(std::tie(l.clientWidth, l.clientHeight, l.viewportHeight, l.lineTop),
              std::tie(d.clientWidth, d.clientHeight, d.viewportHeight, d.lineTop));
}

TEST(SettingsLayout, EveryTextFitsItsControlAndNothingOverlapsInEveryLanguageFontAndScale) {
    ForEveryLanguageFontAndDpi({96, 144}, [&](const EmFont& font) {
        const int dpi = font.dpi;
        const SettingsTextMetrics m = Measured(font);
        const SettingsLayout l = LayOutSettings(m);
        const Scale s{dpi, dpi};
        // On the screen, each control holds its text and a line.
        const auto holds = [&](const diskrowdesign::Box& box, std::int32_t width,
                               std::int32_t before = 0) {
            EXPECT_GE(s.x(box.width), before + width) << box.left;
            EXPECT_GE(s.y(box.height), font.lineHeight()) << box.left;
        };
        holds(l.lDisk, m.driveWidth);
        holds(l.check1, m.askWidth, m.checkGlyph);
        holds(l.check2, m.alwaysWidth, m.checkGlyph);
        holds(l.check3, m.neverWidth, m.checkGlyph);
        holds(l.label1, m.statusWidth);
        holds(l.command1, m.refreshWidth);
        holds(l.command2, m.closeWidth);

        // Left to right in the row, each text clear of the next
        // control; all above the separator, inside the row.
        EXPECT_LE(l.lDisk.left + (m.driveWidth * 96 + dpi - 1) / dpi, l.check1.left);
        const auto inDesign = [&](std::int32_t pixels) { return (pixels * 96 + dpi - 1) / dpi; };
        EXPECT_LE(l.check1.left + inDesign(m.checkGlyph + m.askWidth), l.check2.left);
        EXPECT_LE(l.check2.left + inDesign(m.checkGlyph + m.alwaysWidth), l.check3.left);
        EXPECT_LE(l.check3.left + inDesign(m.checkGlyph + m.neverWidth), l.label1.left);
        for (const auto [box, next] : {std::pair{l.lDisk, l.check1},
                                       {l.check1, l.check2},
                                       {l.check2, l.check3},
                                       {l.check3, l.label1}}) {
            EXPECT_LE(box.left + box.width, next.left);
        }
        for (const auto& box : {l.pic, l.lDisk, l.check1, l.check2, l.check3, l.label1}) {
            EXPECT_LE(box.top + box.height, l.lineTop);
            EXPECT_LE(box.left + box.width, l.row.width);
        }
        EXPECT_LT(l.lineTop, l.row.height);
        EXPECT_GE(l.lineRight, l.row.width);

        // The list: the rows inside the panel, ten of them in view,
        // the bar at its right; what the list's arithmetic gets.
        EXPECT_LE(l.row.width, l.panelWidth);
        EXPECT_LE(l.panelWidth, l.scrollLeft + 1);
        EXPECT_GE(l.viewportHeight, 10 * l.row.height - 1);
        EXPECT_EQ(l.listMetrics().rowHeight, l.row.height);
        EXPECT_EQ(l.listMetrics().viewportHeight, l.viewportHeight);
        EXPECT_LE(l.scrollLeft + l.scrollWidth, l.picture1Width);
        EXPECT_LE(l.picture1Width, l.clientWidth);

        // The buttons below the list, apart, inside the window.
        for (const auto& button : {l.command1, l.command2}) {
            EXPECT_GE(button.top, l.picture1Height);
            EXPECT_LE(button.top + button.height, l.clientHeight);
            EXPECT_GE(button.left, 0);
            EXPECT_LE(button.left + button.width, l.clientWidth);
        }
        EXPECT_LT(l.command1.left + l.command1.width, l.command2.left);
    });
}

}  // namespace
}  // namespace qm
