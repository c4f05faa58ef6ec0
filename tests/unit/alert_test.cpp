#include "ui/alert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "fakes/fake_event_loop.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_profile.h"
#include "settings/ini.h"
#include "texts/tray_texts.h"

namespace qm {
namespace {

using Events = std::vector<std::string>;

// Metrics of a one-line notice on a 1920 x 1080 screen at 96 dpi with the
// task bar 30 pixels high.
AlertMetrics standardMetrics() {
    AlertMetrics m;
    m.label1 = {100, 12};
    m.label2 = {200, 12};
    m.label3 = {48, 12};
    m.label4 = {24, 12};
    m.workArea = {0, 0, 1920, 1050};
    m.screenWidth = 1920;
    m.screenHeight = 1080;
    return m;
}

// The window as a list of what was asked of it.
struct RecordingPort : AlertWindowPort {
    explicit RecordingPort(Events& e) : events(e) {}
    Events& events;
    frmAlert* model = nullptr;
    AlertMetrics metrics = standardMetrics();
    std::vector<std::pair<double, double>> moves;
    bool ticked = false;
    bool destroyed = false;
    int callsAfterDestroyed = 0;

    void record(std::string what) {
        if (destroyed) ++callsAfterDestroyed;
        events.push_back(std::move(what));
    }
    void setLabelText(AlertControl, const std::string&) override {}
    void setPicture(NoticePicture) override {}
    AlertMetrics measure() override {
        record("measure");
        return metrics;
    }
    PixelSize measureWrappedBody(std::int32_t width) override {
        record("wrap");
        return {width, metrics.label2.height * 2};
    }
    void applyLayout(const AlertLayout& layout) override {
        record("layout");
        applied = layout;
    }
    AlertLayout applied;
    void moveTo(double left, double top) override {
        record("move");
        moves.emplace_back(left, top);
    }
    void setForeground() override { record("foreground"); }
    void setTopmost(bool on) override { record(on ? "topmost 1" : "topmost 0"); }
    void setVisible(bool on) override { record(on ? "visible 1" : "visible 0"); }
    void startTimer(std::uint32_t ms) override { record("timer " + std::to_string(ms)); }
    void stopTimer() override { record("stoptimer"); }
    bool check1Ticked() override { return ticked; }
    void labelColourChanged(AlertControl label) override {
        record(label == AlertControl::Label3 ? "colour 3" : "colour 4");
    }
    void unload() override {
        record("unload");
        destroyFromOutside();
    }
    // As the real window does: its destruction comes back to the model.
    void destroyFromOutside() {
        destroyed = true;
        if (model != nullptr) model->onWindowDestroyed();
    }
};

struct RecordingKeys final : NoticeKeys {
    explicit RecordingKeys(Events& e) : events(e) {}
    Events& events;
    int released = 0;
    void ReleaseDriveKey(const std::string& sDisk) override {
        ++released;
        events.push_back("release " + sDisk);
    }
};

struct RecordingImmuniser final : DriveImmuniser {
    explicit RecordingImmuniser(Events& e) : events(e) {}
    Events& events;
    std::vector<std::string> drives;
    void ImmuniseDrive(const std::string& drive) override {
        drives.push_back(drive);
        events.push_back("immunise " + drive);
    }
};

// One popup with everything it talks to.
struct Rig {
    Events events;
    FakeFileSystem files;
    FakeProfile profile;
    FakeEventLoop loop;
    RecordingPort port{events};
    RecordingKeys keys{events};
    RecordingImmuniser immuniser{events};
    frmAlert alert{port, AlertServices{profile, files, loop, keys, immuniser,
                                       [this] { events.push_back("trim"); }, "C:\\Q"}};
    static constexpr char kDiskIni[] = "C:\\Q\\Disk.ini";

    Rig() {
        port.model = &alert;
        loop.onPump = [this] { events.push_back("pump"); };
    }
    int count(const std::string& what) const {
        return static_cast<int>(std::count(events.begin(), events.end(), what));
    }
    Events withoutPumps() const {
        Events out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                     [](const std::string& e) { return e != "pump"; });
        return out;
    }
    // The events from the first `from` on.
    Events since(const std::string& from) const {
        const auto it = std::find(events.begin(), events.end(), from);
        return Events(it, events.end());
    }
    std::string disk(const std::string& section, const std::string& key) {
        return ReadIniString(profile, kDiskIni, section, key, "<none>");
    }
    bool closedOnce() const {
        return alert.unloaded() && keys.released == 1 && count("unload") == 1 &&
               count("trim") == 1 && port.callsAfterDestroyed == 0;
    }
};

// ---------------------------------------------------------------- layout

TEST(AlertLayout, InformationNoticeIsSizedByItsBodyAndRestsInTheCorner) {
    const AlertLayout l = LayOutAlert(standardMetrics(), kNoticeInformation);
    EXPECT_EQ(l.clientWidth, 266);  // 56 + 200 + 10
    EXPECT_EQ(l.clientHeight, 46);  // 24 + 12 + 10
    EXPECT_DOUBLE_EQ(l.outerWidth, 3990);
    EXPECT_DOUBLE_EQ(l.outerHeight, 690);
    EXPECT_EQ(l.sp1, (ControlBox{0, 0, 266, 46}));
    EXPECT_FALSE(l.check1.visible);
    EXPECT_FALSE(l.label3.visible);
    // Left where it was drawn, below the window's bottom edge, and so hidden.
    EXPECT_EQ(l.label4, (ControlBox{80, 66, 24, 12, false}));
    EXPECT_TRUE(l.timerEnabled);
    EXPECT_EQ(l.timerInterval, 4000u);
    EXPECT_EQ(l.targetLeft, (1920 - 266) * 15 - 50);
    EXPECT_EQ(l.targetTop, (1050 - 46) * 15 - 20);
    // Starts below the screen, in the column it rests in.
    EXPECT_DOUBLE_EQ(l.top, 1080 * 15);
    EXPECT_DOUBLE_EQ(l.left, l.targetLeft);
}

TEST(AlertLayout, MultiLineBodyWithEachAxisConvertedByItsOwnDpi) {
    AlertMetrics m = standardMetrics();
    m.dpiX = 120;          // 12 twips per pixel across
    m.dpiY = 144;          // 10 down
    m.label2 = {300, 54};  // three lines of 18 pixels
    m.workArea = {0, 0, 2880, 1560};
    m.screenWidth = 2880;
    m.screenHeight = 1620;
    const AlertLayout l = LayOutAlert(m, kNoticeInformation);
    // Design pixels scale by 1.25 across (56 -> 70, 10 -> 13 rounded half
    // up) and by 1.5 down (24 -> 36, 10 -> 15).
    EXPECT_EQ(l.label2, (ControlBox{70, 36, 300, 54}));
    EXPECT_EQ(l.clientWidth, 383);   // 70 + 300 + 13
    EXPECT_EQ(l.clientHeight, 105);  // 36 + 54 + 15
    EXPECT_DOUBLE_EQ(l.outerWidth, 4596);
    EXPECT_DOUBLE_EQ(l.outerHeight, 1050);
    EXPECT_EQ(l.targetLeft, (2880 - 383) * 12 - 50);
    EXPECT_EQ(l.targetTop, (1560 - 105) * 10 - 20);
    EXPECT_DOUBLE_EQ(l.top, 16200);
    // The tall body brings Label4 (at 99) into the window, but cut off at
    // its bottom edge and over the body's last line: it stays hidden.
    EXPECT_EQ(l.label4.top, 99);
    EXPECT_FALSE(l.label4.visible);
}

TEST(AlertLayout, QuestionWithAWideBodyPinsTheRowToTheRightEdgeAndIsCentred) {
    const AlertLayout l = LayOutAlert(standardMetrics(), kNoticeQuestion);
    EXPECT_EQ(l.clientWidth, 266);
    EXPECT_EQ(l.clientHeight, 88);  // 66 + 12 + 10
    EXPECT_EQ(l.check1, (ControlBox{190, 48, 73, 17, true}));
    EXPECT_EQ(l.label3, (ControlBox{208, 66, 48, 12, true}));
    EXPECT_EQ(l.label4.left, 208 - 24 - 20);
    EXPECT_FALSE(l.timerEnabled);
    EXPECT_EQ(l.timerInterval, 0u);
    // Centred on the whole screen with the outer size, task bar included.
    EXPECT_DOUBLE_EQ(l.left, (28800 - 3990) / 2.0);
    EXPECT_DOUBLE_EQ(l.top, (16200 - 1320) / 2.0);
}

TEST(AlertLayout, QuestionWithANarrowBodyIsSizedByTheCheckBox) {
    AlertMetrics m = standardMetrics();
    m.label1 = {60, 12};  // a short title
    m.label2 = {72, 12};  // right edge 128, one short of the box's 129
    AlertLayout l = LayOutAlert(m, kNoticeQuestion);
    EXPECT_EQ(l.clientWidth, 139);  // 56 + 73 + 10
    EXPECT_EQ(l.check1.left, 56);
    EXPECT_EQ(l.label3.left, 139 - 48 - 16);
    EXPECT_EQ(l.label4.left, l.label3.left - 24 - 20);

    // Level with the box counts as the body's width.
    m.label2 = {73, 12};
    l = LayOutAlert(m, kNoticeQuestion);
    EXPECT_EQ(l.clientWidth, 139);
    EXPECT_EQ(l.check1.left, 139 - 73 - 3);
    EXPECT_EQ(l.label3.left, 139 - 48 - 10);
}

TEST(AlertLayout, ATitleWiderThanTheBodyWidensTheWindowInsteadOfBeingCut) {
    AlertMetrics m = standardMetrics();
    m.label1 = {110, 12};  // right edge 166
    m.label2 = {60, 12};   // right edge 116
    EXPECT_EQ(LayOutAlert(m, kNoticeInformation).clientWidth, 176);
    const AlertLayout q = LayOutAlert(m, kNoticeQuestion);
    EXPECT_EQ(q.clientWidth, 176);
    EXPECT_EQ(q.check1.left, 176 - 73 - 3);
    EXPECT_EQ(q.label3.left, 176 - 48 - 10);
}

TEST(AlertLayout, RestingPlaceRoundsToTheNearestTwip) {
    // 128 dpi: 11.25 twips per pixel, so the products have quarters.
    AlertMetrics m = standardMetrics();
    m.dpiX = m.dpiY = 128;
    const AlertLayout at = LayOutAlert(m, kNoticeInformation);
    const std::int32_t w = at.clientWidth, h = at.clientHeight;
    auto place = [&](std::int32_t right, std::int32_t bottom) {
        m.workArea = {0, 0, right, bottom};
        const AlertLayout l = LayOutAlert(m, kNoticeInformation);
        return std::pair{l.targetLeft, l.targetTop};
    };
    // 738 * 11.25 - 50 = 8252.5: a half goes to the even neighbour; .75
    // goes up, .25 down.
    EXPECT_EQ(place(w + 738, 800).first, 8252);
    EXPECT_EQ(place(w + 735, 800).first, 8219);    // 8218.75
    EXPECT_EQ(place(w + 733, 800).first, 8196);    // 8196.25
    EXPECT_EQ(place(1000, h + 753).second, 8451);  // 8451.25
    EXPECT_EQ(place(1000, h + 755).second, 8474);  // 8473.75
}

TEST(AlertLayout, AScreenReportingNoDpiCountsAs96) {
    EXPECT_DOUBLE_EQ(TwipsPerPixel(0), 15);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(-5), 15);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(144), 10);
}

// A window whose texts are measured as a font of the screen's size draws
// them: 9 points, an em wide for a Chinese character, half an em for any
// other, lines a sixth of an em apart; the check box before its text as
// wide as the system's box at that scale.
struct MeasuringPort final : RecordingPort {
    MeasuringPort(Events& e, int dpi, Rect work) : RecordingPort(e), dpi(dpi) {
        metrics.dpiX = metrics.dpiY = dpi;
        metrics.workArea = work;
        metrics.screenWidth = work.right;
        metrics.screenHeight = work.bottom + 40;
    }
    int dpi;
    std::map<AlertControl, std::string> texts{{AlertControl::Label1, Text(TrayText::AlertCaption)},
                                              {AlertControl::Label3, Text(TrayText::AlertApply)},
                                              {AlertControl::Label4, Text(TrayText::AlertCancel)},
                                              {AlertControl::Check1, Text(TrayText::AlertRemember)}};

    std::int32_t em() const { return Scale{dpi, dpi}.y(12); }
    std::int32_t lineHeight() const { return em() + em() / 6; }
    std::int32_t width(const std::string& text) const {
        std::int32_t halves = 0;
        for (unsigned char c : text) {
            if (c < 0x80)
                halves += 1;  // one byte, half an em
            else if (c >= 0xE0)
                halves += 2;  // the lead byte of a wide character
        }
        return halves * em() / 2;
    }
    PixelSize extent(AlertControl control) const {
        return {width(texts.at(control)), lineHeight()};
    }

    void setLabelText(AlertControl label, const std::string& text) override { texts[label] = text; }
    AlertMetrics measure() override {
        metrics.label1 = extent(AlertControl::Label1);
        metrics.label2 = extent(AlertControl::Label2);
        metrics.label3 = extent(AlertControl::Label3);
        metrics.label4 = extent(AlertControl::Label4);
        metrics.check1Text = extent(AlertControl::Check1);
        metrics.check1Glyph = Scale{dpi, dpi}.x(13 + 6);
        return RecordingPort::measure();
    }
    PixelSize measureWrappedBody(std::int32_t limit) override {
        const std::int32_t full = width(texts.at(AlertControl::Label2));
        const std::int32_t lines = (full + limit - 1) / limit;
        return {std::min(full, limit), lines * lineHeight()};
    }
};

bool overlaps(const ControlBox& a, const ControlBox& b) {
    return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

TEST(AlertLayout, EveryTextFitsItsBoxAndNothingOverlapsAtEveryScale) {
    const std::string usual = "是否免疫 DEMO STICK (G:)";
    const std::string threeTimes = usual + " " + usual + " " + usual;
    int wrapped = 0;
    for (int dpi : {72, 96, 120, 144, 192, 480}) {
        for (int kind : {kNoticeInformation, kNoticeQuestion}) {
            for (const std::string& body : {usual, threeTimes}) {
                SCOPED_TRACE(std::to_string(dpi) + " dpi, kind " + std::to_string(kind) +
                             ", body of " + std::to_string(body.size()) + " bytes");
                Events events;
                // A laptop's 1920 x 1080 screen with its task bar.
                const Scale s{dpi, dpi};
                MeasuringPort port(events, dpi, {0, 0, 1920, 1080 - s.y(40)});
                FakeFileSystem files;
                FakeProfile profile;
                FakeEventLoop loop;
                RecordingKeys keys(events);
                RecordingImmuniser immuniser(events);
                frmAlert alert(port,
                               AlertServices{profile, files, loop, keys, immuniser, {}, "C:\\Q"});
                alert.setTitle("Quillmoor v1.0.1");
                alert.setContent(body);
                alert.setDisk("G");
                alert.ShowWin(kind);
                const AlertLayout& l = port.applied;

                // Each text gets at least the room its font needs.
                const auto fits = [&](const ControlBox& box, AlertControl control) {
                    const PixelSize need = port.extent(control);
                    EXPECT_GE(box.height, need.height) << static_cast<int>(control);
                    if (control == AlertControl::Label2 && l.bodyWraps) return;
                    EXPECT_GE(box.width, need.width) << static_cast<int>(control);
                };
                fits(l.label1, AlertControl::Label1);
                fits(l.label2, AlertControl::Label2);
                if (kind == kNoticeQuestion) {
                    fits(l.label3, AlertControl::Label3);
                    fits(l.label4, AlertControl::Label4);
                    EXPECT_GE(l.check1.width,
                              port.metrics.check1Glyph + port.extent(AlertControl::Check1).width);
                    EXPECT_GE(l.check1.height, port.extent(AlertControl::Check1).height);
                    // The two links side by side on one row below the box.
                    EXPECT_EQ(l.label4.top, l.label3.top);
                    EXPECT_GE(l.label3.top, l.check1.bottom());
                    EXPECT_LT(l.label4.right(), l.label3.left);
                }
                EXPECT_EQ(l.picture1.width, s.x(32));
                EXPECT_EQ(l.picture1.height, s.y(32));

                // Every control shown lies inside the window, none over another.
                std::vector<ControlBox> shown;
                for (const ControlBox& box :
                     {l.picture1, l.label1, l.label2, l.check1, l.label3, l.label4}) {
                    if (!box.visible) continue;
                    EXPECT_GE(box.left, 0);
                    EXPECT_GE(box.top, 0);
                    EXPECT_LE(box.right(), l.clientWidth);
                    EXPECT_LE(box.bottom(), l.clientHeight);
                    for (const ControlBox& other : shown) EXPECT_FALSE(overlaps(box, other));
                    shown.push_back(box);
                }

                // The window fits the work area, at rest or centred; a body
                // too long for one line is broken into lines instead.
                const Rect& work = port.metrics.workArea;
                EXPECT_LE(l.clientWidth, work.right - work.left);
                if (l.label2.left + port.width(body) > work.right - work.left) {
                    EXPECT_TRUE(l.bodyWraps);
                }
                wrapped += l.bodyWraps;
                const double left = kind == kNoticeQuestion ? l.left : l.targetLeft;
                EXPECT_GE(left / l.tpx, work.left);
                EXPECT_LE(left / l.tpx + l.clientWidth, work.right);
                // A wrapped body keeps the screen margin; the information
                // notice's right edge keeps its resting gap instead.
                if (l.bodyWraps) {
                    const std::int32_t margin = s.x(alertdesign::kScreenMargin);
                    EXPECT_GE(left / l.tpx, work.left + margin);
                    if (kind == kNoticeQuestion) {
                        EXPECT_LE(left / l.tpx + l.clientWidth, work.right - margin);
                    }
                }
            }
        }
    }
    // The long body at 480 dpi, for both kinds.
    EXPECT_EQ(wrapped, 2);
}

// ---------------------------------------------------------------- showing and hiding

// The tops of the moves from the `first`th on.
std::vector<double> tops(const RecordingPort& port, std::size_t first = 0) {
    std::vector<double> out;
    for (std::size_t i = first; i < port.moves.size(); ++i) out.push_back(port.moves[i].second);
    return out;
}

TEST(AlertShow, InformationSlidesUpOneDesignPixelAtATimeAndThenStaysOnTop) {
    struct Case {
        int dpi;
        double restsAt;  // the first top at or above TargetTop
    } cases[] = {{96, 15030}, {144, 9780}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        Rig rig;
        rig.port.metrics.dpiX = rig.port.metrics.dpiY = c.dpi;
        rig.alert.setDisk("tip");
        rig.alert.ShowWin(kNoticeInformation);

        // One pixel at 96 dpi, one and a half at 144: the slide takes as
        // many steps on every screen.
        const double step = 15;
        const double targetTop = rig.alert.TargetTop();
        const Events head(rig.events.begin(), rig.events.begin() + 9);
        EXPECT_EQ(head, (Events{"foreground", "visible 0", "measure", "timer 4000", "layout",
                                "move", "pump", "topmost 0", "visible 1"}));
        EXPECT_EQ(rig.events.back(), "topmost 1");
        EXPECT_EQ(rig.events[rig.events.size() - 2], "pump");

        const std::vector<double> t = tops(rig.port);
        ASSERT_GT(t.size(), 2u);
        EXPECT_DOUBLE_EQ(t.front(), rig.port.metrics.screenHeight * 1440.0 / c.dpi);
        for (std::size_t i = 1; i < t.size(); ++i) EXPECT_DOUBLE_EQ(t[i - 1] - t[i], step);
        EXPECT_LE(t.back(), targetTop);
        EXPECT_GT(t.back(), targetTop - step);
        EXPECT_DOUBLE_EQ(t.back(), c.restsAt);
        for (const auto& move : rig.port.moves)
            EXPECT_DOUBLE_EQ(move.first, rig.alert.TargetLeft());
        // Messages run between every two steps.
        for (std::size_t i = 1; i < rig.events.size(); ++i) {
            EXPECT_FALSE(rig.events[i - 1] == "move" && rig.events[i] == "move") << i;
        }
        EXPECT_EQ(rig.keys.released, 0);
    }
}

TEST(AlertShow, QuestionIsCentredAtOnceAndNeverSlides) {
    Rig rig;
    rig.alert.setDisk("G");
    rig.alert.ShowWin(kNoticeQuestion);
    EXPECT_EQ(rig.events, (Events{"foreground", "visible 0", "measure", "stoptimer", "layout",
                                  "move", "pump", "topmost 0", "visible 1", "pump", "topmost 1"}));
    ASSERT_EQ(rig.port.moves.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.port.moves[0].first, 12405);
    EXPECT_DOUBLE_EQ(rig.port.moves[0].second, 7440);
}

TEST(AlertShow, AnAnswerDuringTheLastPumpLeavesTheWindowClosed) {
    Rig rig;
    rig.alert.setDisk("G");  // gone already: the answer just closes
    rig.loop.postAtPump(2, [&] { rig.alert.onClick(AlertControl::Label4); });
    rig.alert.ShowWin(kNoticeQuestion);
    EXPECT_TRUE(rig.closedOnce());
    EXPECT_EQ(rig.count("topmost 1"), 0);
}

TEST(AlertShow, ClosingSlidesBelowTheWorkAreaThenHidesAndReleasesTheKey) {
    Rig rig;
    rig.alert.setDisk("G");
    rig.alert.ShowWin(kNoticeInformation);
    const std::size_t shownMoves = rig.port.moves.size();
    rig.events.clear();
    rig.alert.onClick(AlertControl::Label2);

    const double below = 1050 * 15.0;
    const std::vector<double> t = tops(rig.port, shownMoves);
    ASSERT_GT(t.size(), 1u);
    EXPECT_DOUBLE_EQ(t.front(), 15030 + 15);
    for (std::size_t i = 1; i < t.size(); ++i) EXPECT_DOUBLE_EQ(t[i] - t[i - 1], 15);
    EXPECT_GT(t.back(), below);
    EXPECT_LE(t[t.size() - 2], below);

    const Events rest = rig.withoutPumps();
    EXPECT_EQ(rest.front(), "topmost 0");
    const Events tail(rest.end() - 5, rest.end());
    EXPECT_EQ(tail, (Events{"visible 0", "release G", "stoptimer", "unload", "trim"}));
    EXPECT_TRUE(rig.closedOnce());
}

TEST(AlertShow, TimerClosesAnInformationNoticeOnceEvenWhenItFiresAgainMidSlide) {
    Rig rig;
    rig.alert.setDisk("G");
    rig.alert.ShowWin(kNoticeInformation);
    // The next tick is already queued when the first one starts the slide.
    rig.loop.post([&] { rig.alert.onTimer(); });
    rig.alert.onTimer();
    EXPECT_EQ(rig.loop.pendingCount(), 0u);
    EXPECT_TRUE(rig.closedOnce());
    EXPECT_EQ(rig.count("visible 0"), 2);  // laid out hidden, then hidden by the close
}

TEST(AlertShow, AClickDuringTheSlideInClosesItOnceAndNothingShowsItAgain) {
    Rig rig;
    rig.alert.setDisk("G");
    rig.loop.postAtPump(20, [&] { rig.alert.onClick(AlertControl::Picture1); });
    // A second click and the timer land during the slide out.
    rig.loop.postAtPump(25, [&] { rig.alert.onDoubleClick(AlertControl::Background); });
    rig.loop.postAtPump(26, [&] { rig.alert.onTimer(); });
    rig.alert.ShowWin(kNoticeInformation);

    EXPECT_TRUE(rig.closedOnce());
    const Events after = rig.since("release G");
    EXPECT_EQ(after, (Events{"release G", "stoptimer", "unload", "trim"}));
    EXPECT_EQ(rig.count("topmost 1"), 0);
    EXPECT_EQ(rig.count("visible 1"), 1);
    // The slide out started where the slide in was stopped.
    const std::vector<double> t = tops(rig.port);
    const auto lowest = std::min_element(t.begin(), t.end());
    EXPECT_GT(*lowest, rig.alert.TargetTop());
}

TEST(AlertShow, AWindowDestroyedFromOutsideMidSlideStopsTheSlideAndStillReleasesTheKey) {
    for (bool slidingOut : {false, true}) {
        SCOPED_TRACE(slidingOut);
        Rig rig;
        rig.alert.setDisk("G");
        if (slidingOut) rig.alert.ShowWin(kNoticeInformation);
        rig.loop.postAtPump(rig.loop.pumpCount + 11, [&] { rig.port.destroyFromOutside(); });
        slidingOut ? rig.alert.onTimer() : rig.alert.ShowWin(kNoticeInformation);
        EXPECT_EQ(rig.keys.released, 1);
        EXPECT_EQ(rig.count("trim"), 1);
        EXPECT_EQ(rig.count("unload"), 0);
        EXPECT_EQ(rig.port.callsAfterDestroyed, 0);
        // Nothing left to close afterwards.
        rig.alert.onTimer();
        rig.alert.HideWin();
        EXPECT_EQ(rig.keys.released, 1);
        EXPECT_EQ(rig.count("trim"), 1);
    }
}

// ---------------------------------------------------------------- clicks

TEST(AlertClicks, InformationClosesOnClicksAnywhereButTheQuestionIgnoresThem) {
    const AlertControl closers[] = {AlertControl::Background, AlertControl::Picture1,
                                    AlertControl::Label1, AlertControl::Label2};
    for (AlertControl control : closers) {
        for (bool dbl : {false, true}) {
            SCOPED_TRACE(static_cast<int>(control) * 10 + dbl);
            Rig info;
            info.alert.setDisk("tip");
            info.alert.ShowWin(kNoticeInformation);
            dbl ? info.alert.onDoubleClick(control) : info.alert.onClick(control);
            EXPECT_TRUE(info.closedOnce());

            Rig question;
            question.alert.setDisk("G");
            question.alert.ShowWin(kNoticeQuestion);
            dbl ? question.alert.onDoubleClick(control) : question.alert.onClick(control);
            EXPECT_FALSE(question.alert.unloaded());
            EXPECT_EQ(question.keys.released, 0);
        }
    }
    Rig info;
    info.alert.ShowWin(kNoticeInformation);
    info.alert.onClick(AlertControl::Check1);
    EXPECT_FALSE(info.alert.unloaded());

    // A stray tick never closes a question.
    Rig question;
    question.alert.ShowWin(kNoticeQuestion);
    question.alert.onTimer();
    EXPECT_FALSE(question.alert.unloaded());
}

TEST(AlertClicks, HoverRepaintsOnlyTheLabelsWhoseColourChanges) {
    using namespace alertdesign;
    Rig rig;
    rig.alert.ShowWin(kNoticeQuestion);
    rig.events.clear();
    rig.alert.onMouseMove(AlertControl::Background);  // both already resting
    rig.alert.onMouseMove(AlertControl::Label3);
    rig.alert.onMouseMove(AlertControl::Label3);
    EXPECT_EQ(rig.alert.labelColour(AlertControl::Label3), kHoverColour);
    rig.alert.onMouseMove(AlertControl::Label4);
    EXPECT_EQ(rig.alert.labelColour(AlertControl::Label3), kLinkColour);
    EXPECT_EQ(rig.alert.labelColour(AlertControl::Label4), kHoverColour);
    rig.alert.onMouseMove(AlertControl::Check1);
    rig.alert.onMouseMove(AlertControl::Label1);
    EXPECT_EQ(rig.events, (Events{"colour 3", "colour 3", "colour 4", "colour 4"}));
    EXPECT_EQ(rig.alert.labelColour(AlertControl::Label4), kLinkColour);
}

// ---------------------------------------------------------------- answers

TEST(AlertAnswer, WritesTheVolumeSectionForEveryAnswerAndTickAndImmunisesOnlyOnApply) {
    struct Case {
        bool apply, ticked;
        const char* remember;
        const char* makeDir;
    } cases[] = {{true, true, "1", "1"},
                 {true, false, "0", "1"},
                 {false, true, "1", "0"},
                 {false, false, "0", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.apply) + std::to_string(c.ticked));
        Rig rig;
        // Serials with the top bit set are written negative.
        rig.files.volumeSerials['G'] = 0x80000001u;
        rig.alert.setDisk("G");
        rig.alert.ShowWin(kNoticeQuestion);
        rig.port.ticked = c.ticked;
        rig.events.clear();
        rig.alert.onClick(c.apply ? AlertControl::Label3 : AlertControl::Label4);

        ASSERT_EQ(rig.profile.writes.size(), 3u);
        const std::string section = "-2147483647";
        for (const auto& w : rig.profile.writes) {
            EXPECT_EQ(w.file, Rig::kDiskIni);
            EXPECT_EQ(w.section, section);
        }
        EXPECT_EQ(rig.profile.writes[0].key, "Partition");
        EXPECT_EQ(rig.profile.writes[1].key, "Remember");
        EXPECT_EQ(rig.profile.writes[2].key, "MakeDir");
        EXPECT_EQ(rig.disk(section, "Partition"), "G");
        EXPECT_EQ(rig.disk(section, "Remember"), c.remember);
        EXPECT_EQ(rig.disk(section, "MakeDir"), c.makeDir);

        if (c.apply) {
            // The popup is gone and the key free before the drive is touched,
            // so the immuniser's own notice about this drive can show.
            EXPECT_EQ(rig.events, (Events{"pump", "topmost 0", "visible 0", "release G", "pump",
                                          "immunise G", "pump", "stoptimer", "unload", "trim"}));
        } else {
            EXPECT_EQ(rig.events, (Events{"topmost 0", "visible 0", "release G", "stoptimer",
                                          "unload", "trim"}));
        }
        EXPECT_TRUE(rig.closedOnce());
    }
}

TEST(AlertAnswer, ADriveGoneBeforeTheAnswerClosesWithoutWritingOrImmunising) {
    for (AlertControl answer : {AlertControl::Label3, AlertControl::Label4}) {
        Rig rig;
        rig.alert.setDisk("G");  // no volume in G: any more
        rig.alert.ShowWin(kNoticeQuestion);
        rig.alert.onClick(answer);
        EXPECT_TRUE(rig.profile.writes.empty());
        EXPECT_TRUE(rig.immuniser.drives.empty());
        EXPECT_TRUE(rig.closedOnce());
    }
    // A general notice's visible "取消" names no drive at all.
    Rig rig;
    rig.files.volumeSerials['T'] = 1234;
    rig.port.metrics.label2 = {200, 60};
    rig.alert.setDisk("tip");
    rig.alert.ShowWin(kNoticeInformation);
    rig.alert.onClick(AlertControl::Label4);
    EXPECT_TRUE(rig.profile.writes.empty());
    EXPECT_TRUE(rig.closedOnce());
}

TEST(AlertAnswer, ApplyDoesNothingMoreOnceTheProgramEndingTookTheWindow) {
    // The window goes in the pump before the popup hides, or in the one
    // before the drive is immunised.
    for (int pump : {1, 2}) {
        SCOPED_TRACE(pump);
        Rig rig;
        rig.files.volumeSerials['G'] = 5;
        rig.alert.setDisk("G");
        rig.alert.ShowWin(kNoticeQuestion);
        rig.loop.postAtPump(rig.loop.pumpCount + pump, [&] { rig.port.destroyFromOutside(); });
        rig.alert.onClick(AlertControl::Label3);
        // The answer itself was written before the first pump.
        EXPECT_EQ(rig.disk("5", "MakeDir"), "1");
        EXPECT_TRUE(rig.immuniser.drives.empty());
        EXPECT_EQ(rig.keys.released, 1);
        EXPECT_EQ(rig.count("trim"), 1);
        EXPECT_EQ(rig.port.callsAfterDestroyed, 0);
    }
}

TEST(AlertAnswer, ClicksArrivingWhileAnAnswerRunsAreIgnored) {
    Rig rig;
    rig.files.volumeSerials['H'] = 77;
    rig.alert.setDisk("h");
    rig.alert.ShowWin(kNoticeQuestion);
    rig.port.ticked = true;
    rig.loop.post([&] {
        rig.alert.onClick(AlertControl::Label3);
        rig.alert.onClick(AlertControl::Label4);
        rig.alert.onDoubleClick(AlertControl::Label3);
    });
    rig.alert.onClick(AlertControl::Label3);
    EXPECT_EQ(rig.profile.writes.size(), 3u);
    EXPECT_EQ(rig.immuniser.drives, std::vector<std::string>{"h"});
    EXPECT_EQ(rig.disk("77", "Partition"), "h");
    EXPECT_EQ(rig.disk("77", "MakeDir"), "1");
    EXPECT_TRUE(rig.closedOnce());
}

}  // namespace
}  // namespace qm
