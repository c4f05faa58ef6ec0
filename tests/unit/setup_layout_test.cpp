#include "setup/setup_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "common/system_helpers.h"
#include "em_font.h"
#include "every_language.h"
#include "platform/scale.h"
#include "setup/uninstall_dialog.h"
#include "setup/uninstall_layout.h"
#include "texts/language.h"

namespace qm {
namespace {

using setupdesign::Twips;

SetupTextMetrics Measured(const EmFont& font) {
    SetupTextMetrics m;
    m.dpiX = m.dpiY = font.dpi;
    m.lineHeight = m.boldLineHeight = font.lineHeight();
    m.label1Width = font.width(Text(SetupText::Label1)) + font.em() / 2;  // bold is wider
    m.label2Width = font.width(Text(SetupText::Label2));
    m.label3Width = font.width(Text(SetupText::Label3));
    m.label4Width = font.width(Text(SetupText::HomePageLink, {kHomePageUrl}));
    const auto button = [&](SetupText id) { return font.width(Text(id)) - font.width("&"); };
    m.changeFolderWidth = font.width(Text(SetupText::ChangeFolder));
    m.cancelWidth = button(SetupText::Cancel);
    m.startWidth = button(SetupText::Start);
    return m;
}

Twips Offset(const Twips& box, const Twips& container) {
    return {box.left + container.left, box.top + container.top, box.width, box.height};
}

bool Overlap(const Twips& a, const Twips& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(SetupLayout, TextsThatFitTheDrawnPlacesKeepThem) {
    SetCurrentLanguage(*FindLanguage("zh-CN"));
    SetupTextMetrics m = Measured(EmFont{96, false});
    // SimSun's own line: 12 pixels at 96 dpi, as the window was drawn for.
    m.lineHeight = m.boldLineHeight = 12;
    const SetupLayout l = LayOutSetup(m);
    const SetupLayout d = DesignSetupLayout();
    const auto same = [](const Twips& a, const Twips& b) {
        return std::tie(a.left, a.top, a.width, a.height) ==
               std::tie(b.left, b.top, b.width, b.height);
    };
    EXPECT_TRUE(same(l.label2, d.label2) && same(l.picture2, d.picture2) &&
                same(l.frame1, d.frame1) && same(l.text2, d.text2) && same(l.frame2, d.frame2) &&
                same(l.command2, d.command2) && same(l.command1, d.command1) &&
                same(l.picture1, d.picture1));
    EXPECT_EQ(std::tie(l.clientWidth, l.clientHeight), std::tie(d.clientWidth, d.clientHeight));
}

TEST(SetupLayout, EveryTextFitsItsControlAndNothingOverlapsInEveryLanguageFontAndScale) {
    ForEveryLanguageFontAndDpi({96, 144}, [&](const EmFont& font) {
        const int dpi = font.dpi;
        const SetupTextMetrics m = Measured(font);
        const SetupLayout l = LayOutSetup(m);
        const Scale s{dpi, dpi};
        // On the screen each control holds its text and its line.
        const auto holds = [&](const Twips& box, std::int32_t width, std::int32_t padX = 0,
                               std::int32_t padY = 0) {
            EXPECT_GE(s.twipsX(box.width), width + padX) << box.left << "," << box.top;
            EXPECT_GE(s.twipsY(box.height), font.lineHeight() + padY) << box.left << "," << box.top;
        };
        holds(l.label1, m.label1Width);
        holds(l.label2, m.label2Width);
        holds(l.label3, m.label3Width);
        holds(l.label4, m.label4Width);
        holds(l.command1, m.changeFolderWidth, s.x(8), s.y(8));
        holds(l.command3, m.cancelWidth, s.x(8), s.y(8));
        holds(l.command2, m.startWidth, s.x(8), s.y(8));
        holds(l.text1, 0, 0, s.y(4));

        // Everything in the form's own coordinates: inside the
        // window (the panes may reach past its edges, as drawn),
        // nothing over anything else.
        const Twips placed[] = {Offset(l.label1, {}),
                                Offset(l.label2, {}),
                                Offset(l.picture2, l.picture1),
                                l.label3,
                                Offset(l.text1, l.frame1),
                                l.command1,
                                l.label4,
                                l.text2,
                                Offset(l.command3, l.frame2),
                                Offset(l.command2, l.frame2)};
        for (std::size_t i = 0; i < std::size(placed); ++i) {
            const Twips& b = placed[i];
            EXPECT_GE(b.left, 0) << i;
            EXPECT_GE(b.top, 0) << i;
            EXPECT_LE(b.left + b.width, l.clientWidth) << i;
            EXPECT_LE(b.top + b.height, l.clientHeight) << i;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(Overlap(b, placed[j])) << i << " " << j;
        }
        // The band holds its two labels; the frame its text box.
        EXPECT_LE(l.label2.top + l.label2.height, l.picture1.top + l.picture1.height);
        EXPECT_LE(l.text1.top + l.text1.height, l.frame1.height);
        EXPECT_GE(l.picture1.left + l.picture1.width, l.clientWidth);
    });
}

TEST(UninstallLayout, EveryTextFitsItsControlAndNothingOverlapsInEveryLanguageFontAndScale) {
    const auto apart = [](const PixelBox& a, const PixelBox& b) {
        return a.left + a.width <= b.left || b.left + b.width <= a.left ||
               a.top + a.height <= b.top || b.top + b.height <= a.top;
    };
    ForEveryLanguageFontAndDpi({96, 144}, [&](const EmFont& font) {
        const int dpi = font.dpi;
        const std::vector<std::string> question = {
            Text(SetupText::UninstallQuestion, {"C:\\Program Files\\Quillmoor\\"}),
            Text(SetupText::UninstallDrivesNote), Text(SetupText::UninstallAutoPlayNote)};
        // Each line of a text broken where it meets the wrap width.
        const MeasureText measure = [&](const std::string& text, std::int32_t wrap, bool prefixes) {
            std::int32_t lines = 0, widest = 0;
            std::size_t from = 0;
            while (true) {
                const std::size_t end = text.find("\r\n", from);
                std::string one = text.substr(from, end - from);
                if (prefixes) std::erase(one, '&');
                const std::int32_t width = font.width(one);
                widest = std::max(widest, width);
                lines += wrap > 0 ? std::max<std::int32_t>(1, (width + wrap - 1) / wrap) : 1;
                if (end == std::string::npos) break;
                from = end + 2;
            }
            return TextSize{wrap > 0 ? std::min(widest, wrap) : widest, lines * font.lineHeight()};
        };
        const Scale s{dpi, dpi};
        const std::int32_t glyph = s.x(19);
        const UninstallLayout l = LayOutUninstall(s, question, glyph, measure);

        EXPECT_GE(l.clientWidth, s.x(uninstalldesign::kClientWidth));
        ASSERT_EQ(l.paragraphs.size(), question.size());
        for (std::size_t i = 0; i < question.size(); ++i) {
            EXPECT_GE(l.paragraphs[i].height,
                      measure(question[i], l.paragraphs[i].width, false).height);
        }
        EXPECT_GE(l.purge.width, glyph + font.width(Text(SetupText::UninstallPurge)));
        for (const auto& [box, id] :
             {std::pair{l.uninstall, SetupText::UninstallButton}, {l.cancel, SetupText::Cancel}}) {
            EXPECT_GE(box.width, measure(Text(id), 0, true).width + s.x(16));
            EXPECT_GE(box.height, font.lineHeight());
        }
        EXPECT_GE(l.status.height, font.lineHeight());
        EXPECT_GE(l.purge.height, font.lineHeight());
        // Inside the window, nothing over anything else.
        std::vector<PixelBox> placed = {l.icon, l.purge, l.status, l.uninstall, l.cancel};
        placed.insert(placed.end(), l.paragraphs.begin(), l.paragraphs.end());
        for (std::size_t i = 0; i < placed.size(); ++i) {
            const PixelBox& b = placed[i];
            EXPECT_GE(b.left, 0) << i;
            EXPECT_GE(b.top, 0) << i;
            EXPECT_LE(b.left + b.width, l.clientWidth) << i;
            EXPECT_LE(b.top + b.height, l.clientHeight) << i;
            for (std::size_t j = 0; j < i; ++j) EXPECT_TRUE(apart(b, placed[j])) << i << " " << j;
        }
    });
}

}  // namespace
}  // namespace qm
