#pragma once
// One drive of the immunisation settings window: its icon, its root, the
// three policy boxes and the status word. The boxes edit the volume's
// section of Disk.ini, the same keys the arrival question writes.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "settings/stored_settings.h"

namespace qm {

enum class DiskRowControl { Background, Pic, LDisk, Check1, Check2, Check3, Label1 };

// Places and sizes of the row as drawn, in pixels at 96 dpi.
namespace diskrowdesign {
struct Box {
    std::int32_t left, top, width, height;
};
inline constexpr Box kRow{0, 0, 333, 25};
inline constexpr Box kPic{4, 4, 16, 16};
inline constexpr Box kLDisk{24, 2, 56, 17};
inline constexpr Box kCheck1{52, 2, 69, 17};
inline constexpr Box kCheck2{120, 2, 69, 17};
inline constexpr Box kCheck3{188, 2, 85, 17};
inline constexpr Box kLabel1{280, 2, 56, 17};
inline constexpr std::int32_t kLineLeft = 0, kLineTop = 20, kLineRight = 344;
inline constexpr std::uint32_t kStatusTimerMs = 2000;
// COLORREF values (0x00BBGGRR).
inline constexpr std::uint32_t kBackColour = 0x00FFFFFF;
inline constexpr std::uint32_t kLineColour = 0x00C0C0C0;
inline constexpr std::uint32_t kImmunisedColour = 0x00000000;
inline constexpr std::uint32_t kNotImmunisedColour = 0x000000FF;
}  // namespace diskrowdesign

namespace diskrowdesign {
inline constexpr char kDesignDrive[] = "C:\\";
}  // namespace diskrowdesign

// A mouse button released over the row or one of its controls; the values
// are passed on as the window reported them.
struct RowMouseUp {
    DiskRowControl control = DiskRowControl::Background;
    std::int16_t button = 0;  // 1 left, 2 right, 4 middle
    std::int16_t shift = 0;   // 1 Shift, 2 Ctrl, 4 Alt
    float x = 0, y = 0;       // in the control under the pointer
};
inline constexpr std::int16_t kRightButton = 2;

// The row's window as the model drives it. Calls after destroy() do nothing.
class DiskRowPort {
  public:
    virtual ~DiskRowPort() = default;
    virtual void setDriveText(const std::string& text) = 0;
    // The small shell icon of the drive root ("E:\"); the previous one is freed.
    virtual void setIcon(const std::string& root) = 0;
    // The tooltip of the picture, the root, the three boxes and the status word.
    virtual void setToolTip(const std::string& text) = 0;
    // Check1, Check2 or Check3; 0 clear, 1 ticked. Not a click: the model
    // is not called back.
    virtual void setCheck(DiskRowControl box, int value) = 0;
    virtual void setStatus(const std::string& text, std::uint32_t colour) = 0;
    // Pixels of the scrolled panel, at design scale; the view scales them.
    virtual void place(std::int32_t left, std::int32_t top) = 0;
    virtual void show() = 0;
    virtual void destroy() = 0;
};

struct DiskRowServices {
    Profile& profile;
    FileSystem& files;
    EventLoop& loop;
    std::string diskIni;  // the full path of Disk.ini
};

class u_Disk {
  public:
    // Creation reads the boxes once with an empty serial; nothing is written.
    u_Disk(DiskRowPort& port, DiskRowServices services);
    u_Disk(const u_Disk&) = delete;
    u_Disk& operator=(const u_Disk&) = delete;

    // Each setter pumps between its steps; a row destroyed meanwhile stops.
    void setCurrDisk(const std::string& value);
    void setDiskVol(const std::string& value);
    void setDiskSerNum(const std::string& value);
    const std::string& CurrDisk() const { return CurrDisk_; }
    const std::string& DiskVol() const { return DiskVol_; }
    const std::string& DiskSerNum() const { return DiskSerNum_; }
    // The drive letter, or 0 before any drive was set.
    char letter() const { return CurrDisk_.empty() ? '\0' : CurrDisk_[0]; }

    // Reloads the boxes from Disk.ini without writing anything.
    void initChecks();
    int check(DiskRowControl box) const;
    const std::string& statusText() const { return statusText_; }

    // Events of the window.
    // The user clicked one of the boxes; the model decides its new value.
    void onClick(DiskRowControl box);
    void onTimer();
    void onMouseUp(const RowMouseUp& event);
    void onDestroyed() { destroyed_ = true; }
    bool destroyed() const { return destroyed_; }

    // Raised by onMouseUp.
    std::function<void(const RowMouseUp&)> aMouseUP;

  private:
    void refreshStatus();
    void setBox(DiskRowControl box, int value);
    void writeKey(PolicyKey key, int value);
    void pump();

    DiskRowPort& port_;
    DiskRowServices services_;
    std::string CurrDisk_;
    std::string DiskVol_;
    std::string DiskSerNum_;
    std::string statusText_;
    int check1_ = 0, check2_ = 0, check3_ = 0;
    bool destroyed_ = false;
};

}  // namespace qm
