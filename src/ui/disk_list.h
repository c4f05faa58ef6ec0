#pragma once
// The immunisation settings window: a scrolled list of drive rows, filled by
// the tray program's drive refresh while the window is open, and the
// context menu that immunises or clears a row's drive at once.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/rounding.h"
#include "ui/disk_row.h"

namespace qm {

namespace disklistdesign {
inline constexpr std::int32_t kViewportWidth = 341, kViewportHeight = 249;
inline constexpr std::int32_t kPanelWidth = 337;
inline constexpr std::int32_t kScrollLeft = 336, kScrollWidth = 21;
inline constexpr std::int32_t kClientWidth = 362, kClientHeight = 292;
inline constexpr std::int32_t kPicture1Width = 361, kPicture1Height = 253;
inline constexpr std::int32_t kCommand1Left = 4, kCommand2Left = 280, kCommandTop = 256,
                              kCommandWidth = 81, kCommandHeight = 33;
}  // namespace disklistdesign

enum class ListMenuChoice { None, CreateAuto, DeleteAuto };

// What the list's window measures: element 0's top and height and the
// viewport's height, in design pixels.
struct DiskListMetrics {
    std::int32_t rowTop = 0;
    std::int32_t rowHeight = diskrowdesign::kRow.height;
    std::int32_t viewportHeight = disklistdesign::kViewportHeight;
};

class DiskListPort {
  public:
    virtual ~DiskListPort() = default;
    // A new, hidden row window in the panel; element 0 is asked for once,
    // when the list is created.
    virtual std::unique_ptr<DiskRowPort> createRow(int index) = 0;
    virtual DiskListMetrics metrics() = 0;
    virtual void setPanelHeight(std::int32_t height) = 0;
    virtual void setPanelTop(std::int32_t top) = 0;
    // A disabled bar keeps no range the user could move.
    virtual void setScrollBar(bool enabled, std::int32_t maximum, std::int32_t value) = 0;
    virtual void focusViewport() = 0;
    // Opens the row menu at the pointer, headed by `title`; returns once it
    // is closed. Messages run while it is open.
    virtual ListMenuChoice showContextMenu(const std::string& title) = 0;
};

// What the context menu does to a drive (letter only, e.g. "E").
struct ImmunityActions {
    std::function<void(const std::string&)> immunise;
    std::function<void(const std::string&)> remove;
};

class u_DiskList {
  public:
    u_DiskList(DiskListPort& port, DiskRowServices services, ImmunityActions actions);
    ~u_DiskList();
    u_DiskList(const u_DiskList&) = delete;
    u_DiskList& operator=(const u_DiskList&) = delete;

    void AddItem(const std::string& sDisk, const std::string& sVol, const std::string& sDiskNum);
    void aClearAll();
    // Row elements that exist, element 0 included: at least 1.
    std::int16_t aItemCount() const { return static_cast<std::int16_t>(rows_.size()); }
    std::int16_t RowCount() const { return RowCount_; }
    std::int16_t SelectedRow() const { return SelectedRow_; }
    // Element `index`, or null.
    u_Disk* row(int index);

    void UpdateScrollRange();
    bool scrollEnabled() const { return scrollEnabled_; }
    std::int32_t scrollMaximum() const { return scrollMaximum_; }
    std::int32_t scrollValue() const { return scrollValue_; }
    std::int32_t panelTop() const { return panelTop_; }
    std::int32_t panelHeight() const { return panelHeight_; }

    // Events of the window.
    void onScroll(std::int32_t value);
    void onScrollBarFocus();
    void onRowMouseUp(int index, const RowMouseUp& event);
    // The window is gone: pending work stops at its next check.
    void onDestroyed() { destroyed_ = true; }

    // Keeps rows removed by aClearAll alive while any call of the list is
    // on the stack: a pump inside a row's setter or the row menu may clear
    // the list under it. The view holds one around every event it passes in.
    class Hold {
      public:
        explicit Hold(u_DiskList& list) : list_(list) { ++list_.depth_; }
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        u_DiskList& list_;
    };
    // The heading of the row menu: the volume of the row last released.
    const std::string& menuTitle() const { return menuTitle_; }

  private:
    struct Element {
        std::unique_ptr<DiskRowPort> view;
        std::unique_ptr<u_Disk> row;
    };
    Element makeElement(int index);
    void pump();
    bool gone() const { return destroyed_; }

    DiskListPort& port_;
    DiskRowServices services_;
    ImmunityActions actions_;
    std::vector<Element> rows_;
    std::vector<Element> retired_;
    std::int16_t RowCount_ = 0;
    std::int16_t SelectedRow_ = 0;
    bool scrollEnabled_ = false;
    std::int32_t scrollMaximum_ = 0;
    std::int32_t scrollValue_ = 0;
    std::int32_t panelTop_ = 0;
    std::int32_t panelHeight_ = 0;
    std::string menuTitle_;
    int depth_ = 0;
    bool destroyed_ = false;
};

// The window "分区免疫设置" as a whole: its load and its two buttons.
class frmMain {
  public:
    // `refresh` asks the tray program for a drive refresh, which fills the
    // list; `unload` destroys the window.
    frmMain(EventLoop& loop, std::function<void()> refresh, std::function<void()> unload)
        : loop_(loop), refresh_(std::move(refresh)), unload_(std::move(unload)) {}

    void onLoad() {
        loop_.pump();
        if (!unloaded_) refresh_();
    }
    void onCommand1() {
        if (!unloaded_) refresh_();
    }
    void onCommand2() {
        if (!unloaded_) unload_();
    }
    void onDestroyed() { unloaded_ = true; }
    bool unloaded() const { return unloaded_; }

  private:
    EventLoop& loop_;
    std::function<void()> refresh_;
    std::function<void()> unload_;
    bool unloaded_ = false;
};

}  // namespace qm
