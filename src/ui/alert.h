#pragma once
// The notification popup: its layout arithmetic, its show and hide slides and
// what its clicks do. The window itself is behind AlertWindowPort, so all of
// this runs the same against the real window and against a test's recorder.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/notices.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "platform/scale.h"

namespace qm {

enum class AlertControl { Background, Picture1, Label1, Label2, Check1, Label3, Label4 };

// Places and sizes of the form as drawn, in pixels of the client area at 96
// dpi; other screens scale them all.
namespace alertdesign {
// The face of every label of the program's windows.
inline constexpr char kLabelFont[] = "宋体";
inline constexpr std::int32_t kPicture1Left = 8, kPicture1Top = 8, kPicture1Size = 32;
inline constexpr std::int32_t kLabel1Left = 56, kLabel1Top = 8;
inline constexpr std::int32_t kLabel2Left = 56, kLabel2Top = 24;
inline constexpr std::int32_t kCheck1Left = 56, kCheck1Top = 48, kCheck1Width = 73,
                              kCheck1Height = 17;
inline constexpr std::int32_t kLabel4Left = 80, kLabel4Top = 66;
inline constexpr std::int32_t kLabel3Left = 120, kLabel3Top = 66;
// Texts larger than drawn push what lies below them down, keeping these gaps.
inline constexpr std::int32_t kTextGap = 4, kLinkGap = 1;
// The window's edge lies this far right of the texts and below them.
inline constexpr std::int32_t kRightMargin = 10, kBottomMargin = 10;
// ... and at least this far below the picture, and the window this far
// inside the work area.
inline constexpr std::int32_t kPictureMargin = 6, kScreenMargin = 8;
inline constexpr std::uint32_t kCloseAfterMs = 4000;
// COLORREF values (0x00BBGGRR).
inline constexpr std::uint32_t kLinkColour = 0x00C00000;
inline constexpr std::uint32_t kHoverColour = 0x000000FF;
inline constexpr std::uint32_t kBackColour = 0x00FFFFFF;
}  // namespace alertdesign

struct PixelSize {
    std::int32_t width = 0, height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct ControlBox {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    std::int32_t right() const { return left + width; }
    std::int32_t bottom() const { return top + height; }
    friend bool operator==(const ControlBox&, const ControlBox&) = default;
};

// What the view measures before each layout: the labels' text extents in
// their own fonts (a multi-line body: its longest line by lines x line
// height), the check box's text and the room its box takes before the
// text, and the screen.
struct AlertMetrics {
    PixelSize label1, label2, label3, label4, check1Text;
    std::int32_t check1Glyph = 0;
    // The body is broken into lines to fit the screen (label2 measured so).
    bool bodyWraps = false;
    Rect workArea;
    std::int32_t screenWidth = 0, screenHeight = 0;
    int dpiX = 96, dpiY = 96;
};

struct AlertLayout {
    double tpx = 15, tpy = 15;  // twips per pixel
    // The window has no frame, so its client area is its outer size.
    double outerWidth = 0, outerHeight = 0;  // twips
    std::int32_t clientWidth = 0, clientHeight = 0;
    ControlBox picture1, label1, label2, check1, label3, label4, sp1;
    bool timerEnabled = false;
    std::uint32_t timerInterval = 0;
    std::int32_t targetLeft = 0, targetTop = 0;  // twips
    double left = 0, top = 0;                    // twips, where the window starts
    double slideStep = 15;                       // twips, one design pixel
    bool bodyWraps = false;
};

// 1440 / dpi; a screen that reports no dpi counts as 96.
double TwipsPerPixel(int dpi);
// The widest body that keeps the window inside the work area; 0 for no
// limit (a work area of no width).
std::int32_t BodyWidthLimit(const AlertMetrics& metrics);
// The layout for a notice of kind `sType` (0 information, otherwise question;
// only 1 is centred).
AlertLayout LayOutAlert(const AlertMetrics& metrics, int sType);

// The window as the popup drives it. Positions are in twips; the view turns
// them into pixels with the factors of the last layout.
class AlertWindowPort {
  public:
    virtual ~AlertWindowPort() = default;
    // Label1 or Label2.
    virtual void setLabelText(AlertControl label, const std::string& text) = 0;
    virtual void setPicture(NoticePicture picture) = 0;
    virtual AlertMetrics measure() = 0;
    // The body's extent when its lines are broken to fit `width` pixels.
    virtual PixelSize measureWrappedBody(std::int32_t width) = 0;
    // Sizes the window and places and shows or hides the controls and SP1.
    virtual void applyLayout(const AlertLayout& layout) = 0;
    virtual void moveTo(double leftTwips, double topTwips) = 0;
    virtual void setForeground() = 0;
    // false: not topmost, neither moved, sized nor activated. true: topmost,
    // likewise, and shown.
    virtual void setTopmost(bool topmost) = 0;
    virtual void setVisible(bool visible) = 0;
    virtual void startTimer(std::uint32_t milliseconds) = 0;
    virtual void stopTimer() = 0;
    virtual bool check1Ticked() = 0;
    // The label's colour (frmAlert::labelColour) differs from what is drawn.
    virtual void labelColourChanged(AlertControl label) = 0;
    // Destroys the window; its destruction is reported back through
    // frmAlert::onWindowDestroyed.
    virtual void unload() = 0;
};

struct AlertServices {
    Profile& profile;
    FileSystem& files;
    EventLoop& loop;
    NoticeKeys& keys;
    DriveImmuniser& immuniser;
    std::function<void()> trimMemory;
    std::string installDir;
};

class frmAlert {
  public:
    frmAlert(AlertWindowPort& port, AlertServices services);
    frmAlert(const frmAlert&) = delete;
    frmAlert& operator=(const frmAlert&) = delete;

    void setICON(NoticePicture sICON);
    void setTitle(const std::string& sTitle);
    void setContent(const std::string& sContent);
    void setDisk(const std::string& sDisk);
    void ShowWin(int sType);
    // Slides an information notice out, hides the window and hands the drive
    // key back; runs once, whoever asks.
    void HideWin();
    void initFrm(int sType);

    // Events of the window.
    void onClick(AlertControl control);
    void onDoubleClick(AlertControl control);
    void onMouseMove(AlertControl control);
    void onTimer();
    // The system asks the window to close (Alt+F4, end of session).
    void onCloseRequest();
    // The window is gone, whoever destroyed it.
    void onWindowDestroyed();

    // Label3 and Label4; the others keep their text colour.
    std::uint32_t labelColour(AlertControl label) const;

    int PopupKind() const { return PopupKind_; }
    const std::string& DriveKey() const { return DriveKey_; }
    const Rect& WorkArea() const { return WorkArea_; }
    std::int32_t TargetLeft() const { return TargetLeft_; }
    std::int32_t TargetTop() const { return TargetTop_; }
    const AlertLayout& layout() const { return layout_; }
    double left() const { return left_; }
    double top() const { return top_; }
    bool unloaded() const { return unloaded_; }

  private:
    // HideWin, then unload; later requests to close are ignored.
    void closeNotice();
    void answer(bool apply);
    void unload();
    void place(double left, double top);
    void paintLabel(AlertControl label, std::uint32_t colour);
    std::optional<std::uint32_t> driveSerial();
    // Once closing has begun nothing may show or move the window again.
    bool finishing() const { return closing_ || hideStarted_ || unloaded_ || windowGone_; }

    AlertWindowPort& port_;
    AlertServices services_;

    int PopupKind_ = 0;
    std::string DriveKey_;
    Rect WorkArea_;
    std::int32_t TargetLeft_ = 0;
    std::int32_t TargetTop_ = 0;
    AlertLayout layout_;
    bool laidOut_ = false;
    double left_ = 0, top_ = 0;
    std::uint32_t label3Colour_ = alertdesign::kLinkColour;
    std::uint32_t label4Colour_ = alertdesign::kLinkColour;

    bool closing_ = false;  // a close or an answer is under way
    bool hideStarted_ = false;
    bool unloaded_ = false;
    bool windowGone_ = false;
};

}  // namespace qm
