#pragma once
// The window of one drive row in the settings window's scrolled panel: the
// three boxes, the drive's icon and root, the status word, their tooltips,
// the separator line and the status timer.
#include <windows.h>

#include <memory>
#include <optional>

#include "platform/code_page.h"
#include "platform/ui_kit_win32.h"
#include "ui/disk_list.h"
#include "ui/disk_row.h"
#include "ui/settings_layout.h"

namespace qm {

// The window the rows lie in, as they use it. It lives until its window is
// gone and no hold on it is left.
class DiskRowHost {
  public:
    // The list once it is made: a row finds its model there by its element
    // index whenever its window reports something.
    virtual u_DiskList* list() = 0;
    virtual const Scale& scale() const = 0;
    virtual HFONT font() const = 0;
    // Where a row's controls go, laid out for the window's texts and font.
    virtual const SettingsLayout& layout() const = 0;

    class Hold {
      public:
        explicit Hold(DiskRowHost& host) : host_(host) { host_.hold(); }
        ~Hold() { host_.release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        DiskRowHost& host_;
    };

    // What every window procedure of the host and its rows holds while it
    // calls a model: the host, and the list once it exists, so that rows
    // cleared by a pump stay alive until the outermost call returns. The
    // list's hold goes first.
    class Busy {
      public:
        explicit Busy(DiskRowHost& host) : host_(host) {
            if (u_DiskList* list = host.list()) list_.emplace(*list);
        }

      private:
        Hold host_;
        std::optional<u_DiskList::Hold> list_;
    };

  protected:
    ~DiskRowHost() = default;

  private:
    // One hold more, one less; the last one to go after the window frees
    // the host.
    virtual void hold() = 0;
    virtual void release() = 0;
};

// Registers the rows' window class; once, before the first row is made.
void RegisterDiskRowClass(HINSTANCE instance);

// A new, hidden row window in `panel`, numbered by the element index. The
// list owns it beside its model. Without a panel there is no window and
// the port does nothing.
std::unique_ptr<DiskRowPort> CreateDiskRowWin32(DiskRowHost& host, HWND panel, int index);

}  // namespace qm
