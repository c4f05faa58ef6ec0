#include "ui/alert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "settings/ini.h"
#include "settings/stored_settings.h"

namespace qm {
namespace {

// The resting place keeps this far from the work area's right and bottom edges.
constexpr double kRightGapTwips = 50;
constexpr double kBottomGapTwips = 20;

// Nearest whole twip; halves go to the even neighbour.
std::int32_t roundTwips(double twips) { return static_cast<std::int32_t>(std::nearbyint(twips)); }

}  // namespace

double TwipsPerPixel(int dpi) { return Scale{dpi, dpi}.twipsPerPixelX(); }

std::int32_t BodyWidthLimit(const AlertMetrics& m) {
    using namespace alertdesign;
    const Scale s{m.dpiX, m.dpiY};
    const std::int32_t room = m.workArea.right - m.workArea.left;
    if (room <= 0) return 0;
    return std::max<std::int32_t>(
        1, room - s.x(kLabel2Left) - s.x(kRightMargin) - 2 * s.x(kScreenMargin));
}

namespace {

bool overlap(const ControlBox& a, const ControlBox& b) {
    return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}

// Every place and gap as drawn, scaled; the texts measured in fonts of the
// screen's size. A text taller than drawn pushes the rows below it down, so
// that no two overlap. Returns the top of the links' row.
std::int32_t placeTexts(AlertLayout& l, const AlertMetrics& m, const Scale& s) {
    using namespace alertdesign;
    l.picture1 = {s.x(kPicture1Left), s.y(kPicture1Top), s.x(kPicture1Size), s.y(kPicture1Size)};
    l.label1 = {s.x(kLabel1Left), s.y(kLabel1Top), m.label1.width, m.label1.height};
    l.label2 = {s.x(kLabel2Left), std::max(s.y(kLabel2Top), l.label1.bottom() + s.y(kTextGap)),
                m.label2.width, m.label2.height};
    l.check1 = {s.x(kCheck1Left), std::max(s.y(kCheck1Top), l.label2.bottom() + s.y(kTextGap)),
                std::max(s.x(kCheck1Width), m.check1Glyph + m.check1Text.width),
                std::max(s.y(kCheck1Height), m.check1Text.height)};
    const std::int32_t linksTop = std::max(s.y(kLabel3Top), l.check1.bottom() + s.y(kLinkGap));
    l.label4 = {s.x(kLabel4Left), s.y(kLabel4Top), m.label4.width, m.label4.height};
    l.label3 = {s.x(kLabel3Left), linksTop, m.label3.width, m.label3.height};
    return linksTop;
}

// An information notice: the body sizes it, and it closes by itself.
void sizeInformation(AlertLayout& l, const Scale& s, int textRight) {
    using namespace alertdesign;
    l.timerEnabled = true;
    l.timerInterval = kCloseAfterMs;
    l.clientWidth = textRight + s.x(kRightMargin);
    l.clientHeight = std::max(l.label2.bottom() + s.y(kBottomMargin),
                              l.picture1.bottom() + s.y(kPictureMargin));
    l.check1.visible = false;
    l.label3.visible = false;
    // Label4 stays where it was drawn, normally below the window's edge; a
    // tall body brings it into view, but never cut off or over a text.
    l.label4.visible = l.label4.right() <= l.clientWidth && l.label4.bottom() <= l.clientHeight &&
                       !overlap(l.label4, l.label2) && !overlap(l.label4, l.label1);
}

// A question: the check box and the two links on one row below it.
void sizeQuestion(AlertLayout& l, const Scale& s, int textRight, std::int32_t linksTop) {
    using namespace alertdesign;
    l.label4.top = linksTop;
    l.clientHeight = l.label3.bottom() + s.y(kBottomMargin);
    // The links, right to left from the edge, need at least this much room
    // beside the picture's column.
    const std::int32_t links = l.label4.width + s.x(20) + l.label3.width;
    const bool pinned = l.check1.right() <= textRight;
    const std::int32_t edgeGap = s.x(pinned ? kRightMargin : 16);
    l.clientWidth = std::max((pinned ? textRight : l.check1.right()) + s.x(kRightMargin),
                             s.x(kPicture1Left) + links + edgeGap);
    if (pinned) l.check1.left = l.clientWidth - l.check1.width - s.x(3);
    l.label3.left = l.clientWidth - l.label3.width - edgeGap;
    l.label4.left = l.label3.left - l.label4.width - s.x(20);
}

// Where the window rests and where it starts.
void placeWindow(AlertLayout& l, const AlertMetrics& m, int sType) {
    using namespace alertdesign;
    l.outerWidth = l.clientWidth * l.tpx;
    l.outerHeight = l.clientHeight * l.tpy;
    l.sp1 = {0, 0, l.clientWidth, l.clientHeight};
    // The gaps to the work area's edges are in twips, the same distance on
    // every screen.
    l.targetLeft = roundTwips((m.workArea.right - l.clientWidth) * l.tpx - kRightGapTwips);
    l.targetTop = roundTwips((m.workArea.bottom - l.clientHeight) * l.tpy - kBottomGapTwips);
    // Below the bottom of the screen, in the column it will slide up in.
    l.left = l.targetLeft;
    l.top = m.screenHeight * l.tpy;
    if (sType == kNoticeQuestion) {
        l.left = (m.screenWidth * l.tpx - l.outerWidth) / 2;
        l.top = (m.screenHeight * l.tpy - l.outerHeight) / 2;
    }
}

}  // namespace

AlertLayout LayOutAlert(const AlertMetrics& m, int sType) {
    const Scale s{m.dpiX, m.dpiY};
    AlertLayout l;
    l.tpx = s.twipsPerPixelX();
    l.tpy = s.twipsPerPixelY();
    l.slideStep = static_cast<double>(kTwipsPerInch) / kDesignDpi;
    l.bodyWraps = m.bodyWraps;
    const std::int32_t linksTop = placeTexts(l, m, s);
    // The body sizes the window; a title longer than the body would be cut
    // off at the edge, so the wider of the two counts.
    const int textRight = std::max(l.label2.right(), l.label1.right());
    if (sType == kNoticeInformation) {
        sizeInformation(l, s, textRight);
    } else {
        sizeQuestion(l, s, textRight, linksTop);
    }
    placeWindow(l, m, sType);
    return l;
}

frmAlert::frmAlert(AlertWindowPort& port, AlertServices services)
    : port_(port), services_(std::move(services)) {}

void frmAlert::setICON(NoticePicture sICON) { port_.setPicture(sICON); }

void frmAlert::setTitle(const std::string& sTitle) {
    port_.setLabelText(AlertControl::Label1, sTitle);
}

void frmAlert::setContent(const std::string& sContent) {
    port_.setLabelText(AlertControl::Label2, sContent);
}

void frmAlert::setDisk(const std::string& sDisk) { DriveKey_ = sDisk; }

void frmAlert::initFrm(int sType) {
    port_.setVisible(false);
    AlertMetrics metrics = port_.measure();
    // A body too wide for the screen is broken into lines rather than cut.
    if (const std::int32_t limit = BodyWidthLimit(metrics);
        limit > 0 && metrics.label2.width > limit) {
        metrics.label2 = port_.measureWrappedBody(limit);
        metrics.bodyWraps = true;
    }
    WorkArea_ = metrics.workArea;
    layout_ = LayOutAlert(metrics, sType);
    // The timer counts from here, before any slide.
    if (layout_.timerEnabled) {
        port_.startTimer(layout_.timerInterval);
    } else {
        port_.stopTimer();
    }
    port_.applyLayout(layout_);
    TargetLeft_ = layout_.targetLeft;
    TargetTop_ = layout_.targetTop;
    left_ = layout_.left;
    top_ = layout_.top;
    port_.moveTo(left_, top_);
    laidOut_ = true;
}

void frmAlert::ShowWin(int sType) {
    if (finishing()) return;
    port_.setForeground();
    PopupKind_ = sType;
    initFrm(sType);
    // Every pump may run a click or the timer that closes this popup; from
    // then on the close owns the window.
    services_.loop.pump();
    if (finishing()) return;
    port_.setTopmost(false);
    port_.setVisible(true);
    if (PopupKind_ == kNoticeInformation) {
        // One pixel per step, paced only by the messages in between.
        while (top_ > TargetTop_) {
            place(TargetLeft_, top_);
            services_.loop.pump();
            if (finishing()) return;
            place(TargetLeft_, top_ - layout_.slideStep);
            services_.loop.pump();
            if (finishing()) return;
        }
    }
    services_.loop.pump();
    if (finishing()) return;
    port_.setTopmost(true);
}

void frmAlert::HideWin() {
    if (hideStarted_) return;
    hideStarted_ = true;
    if (!windowGone_) {
        port_.setTopmost(false);
        if (PopupKind_ == kNoticeInformation && laidOut_) {
            const double below = WorkArea_.bottom * layout_.tpy;
            while (top_ <= below) {
                place(TargetLeft_, top_);
                services_.loop.pump();
                if (windowGone_) break;
                place(TargetLeft_, top_ + layout_.slideStep);
                services_.loop.pump();
                if (windowGone_) break;
            }
        }
        if (!windowGone_) port_.setVisible(false);
    }
    services_.keys.ReleaseDriveKey(DriveKey_);
}

namespace {

// The parts of the popup whose clicks close an information notice.
bool closesInformationNotice(AlertControl control) {
    return control == AlertControl::Background || control == AlertControl::Picture1 ||
           control == AlertControl::Label1 || control == AlertControl::Label2;
}

}  // namespace

void frmAlert::onClick(AlertControl control) {
    if (closesInformationNotice(control)) {
        if (PopupKind_ == kNoticeInformation) closeNotice();
        return;
    }
    switch (control) {
        case AlertControl::Label3:
            answer(true);
            break;
        case AlertControl::Label4:
            answer(false);
            break;
        default:
            break;  // the box ticks itself
    }
}

void frmAlert::onDoubleClick(AlertControl control) {
    // The answers come by single click only.
    if (closesInformationNotice(control) && PopupKind_ == kNoticeInformation) closeNotice();
}

void frmAlert::onMouseMove(AlertControl control) {
    using namespace alertdesign;
    switch (control) {
        case AlertControl::Label3:
            paintLabel(AlertControl::Label4, kLinkColour);
            paintLabel(AlertControl::Label3, kHoverColour);
            break;
        case AlertControl::Label4:
            paintLabel(AlertControl::Label3, kLinkColour);
            paintLabel(AlertControl::Label4, kHoverColour);
            break;
        default:
            paintLabel(AlertControl::Label4, kLinkColour);
            paintLabel(AlertControl::Label3, kLinkColour);
            break;
    }
}

void frmAlert::onTimer() {
    // A question has no timer; a tick left in the queue must not close it.
    if (PopupKind_ == kNoticeInformation) closeNotice();
}

void frmAlert::onCloseRequest() { closeNotice(); }

void frmAlert::onWindowDestroyed() {
    windowGone_ = true;
    // Destroyed from outside: the key still goes back and memory is trimmed,
    // as on every other way out.
    HideWin();
    unload();
}

std::uint32_t frmAlert::labelColour(AlertControl label) const {
    if (label == AlertControl::Label3) return label3Colour_;
    if (label == AlertControl::Label4) return label4Colour_;
    return 0;
}

void frmAlert::closeNotice() {
    if (closing_) return;
    closing_ = true;
    HideWin();
    unload();
}

void frmAlert::answer(bool apply) {
    if (closing_) return;
    closing_ = true;
    const std::optional<std::uint32_t> serial = driveSerial();
    if (!serial) {
        // The drive went before the user answered: nothing left to decide.
        HideWin();
        unload();
        return;
    }
    const bool remember = !windowGone_ && port_.check1Ticked();
    WritePolicyAnswer(services_.profile, InstallPaths(services_.installDir).diskIni(),
                      std::to_string(static_cast<std::int32_t>(*serial)), DriveKey_, remember,
                      apply);
    if (apply) {
        // The program may end during any pump, taking the window along:
        // from then on the answer does nothing more (the window's end has
        // handed the key back and unloaded the popup).
        services_.loop.pump();
        if (windowGone_) return;
        HideWin();
        services_.loop.pump();
        if (windowGone_) return;
        services_.immuniser.ImmuniseDrive(DriveKey_);
        services_.loop.pump();
    } else {
        HideWin();
    }
    unload();
}

void frmAlert::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (!windowGone_) {
        port_.stopTimer();
        port_.unload();
    }
    if (services_.trimMemory) services_.trimMemory();
}

void frmAlert::place(double left, double top) {
    if (left == left_ && top == top_) return;
    left_ = left;
    top_ = top;
    port_.moveTo(left_, top_);
}

void frmAlert::paintLabel(AlertControl label, std::uint32_t colour) {
    std::uint32_t& current = label == AlertControl::Label3 ? label3Colour_ : label4Colour_;
    if (current == colour) return;
    current = colour;
    if (!windowGone_) port_.labelColourChanged(label);
}

std::optional<std::uint32_t> frmAlert::driveSerial() {
    // Only a drive letter names a volume; "tip" and the like name none.
    if (DriveKey_.size() != 1 || !std::isalpha(static_cast<unsigned char>(DriveKey_[0]))) {
        return std::nullopt;
    }
    return services_.files.volumeSerial(DriveKey_ + ":\\");
}

}  // namespace qm
