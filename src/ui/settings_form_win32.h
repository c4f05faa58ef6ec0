#pragma once
// One opening of the window "分区免疫设置": the top-level window, the
// list's panes (Picture1, the list control, the viewport and the panel it
// scrolls), its scroll bar, the row menu and the two buttons.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/code_page.h"
#include "platform/ui_kit_win32.h"
#include "ui/disk_list.h"
#include "ui/disk_row_win32.h"
#include "ui/settings_window_win32.h"

namespace qm {

// One opening of the window: the window and its controls, the list model
// and the form model. It lives until its window is gone and no call of it
// is left on the stack.
class SettingsFormWin32 final : public DiskListPort, public DiskRowHost {
  public:
    // The window classes of the form, its panes and its rows; once.
    static void registerClasses(HINSTANCE instance);

    explicit SettingsFormWin32(SettingsWindowWin32& owner)
        : owner_(&owner),
          font_(owner.font_.get()),
          main_(
              owner.loop_, [this] { refresh(); }, [this] { unload(); }) {}
    ~SettingsFormWin32() override {
        // Whatever the members' teardown runs must not free the form again.
        ++depth_;
        if (owner_ != nullptr) owner_->forget(this);
    }
    SettingsFormWin32(const SettingsFormWin32&) = delete;
    SettingsFormWin32& operator=(const SettingsFormWin32&) = delete;

    void open();
    void bringToFront();
    // The program is ending: destroy the window without calling back.
    void abandon();
    bool windowOpen() const { return hwnd_ != nullptr && !gone_; }
    HWND handle() const { return hwnd_; }

    void clearAll() {
        Busy busy(*this);
        if (!gone_ && list_) list_->aClearAll();
    }
    void addItem(const std::string& root, const std::string& caption, const std::string& serial) {
        Busy busy(*this);
        if (!gone_ && list_) list_->AddItem(root, caption, serial);
    }

    // For the rows.
    u_DiskList* list() override { return list_.get(); }
    const Scale& scale() const override { return scale_; }
    HFONT font() const override { return font_; }
    const SettingsLayout& layout() const override { return layout_; }

    // The list's window.
    std::unique_ptr<DiskRowPort> createRow(int index) override;
    DiskListMetrics metrics() override { return layout_.listMetrics(); }
    void setPanelHeight(std::int32_t height) override {
        if (panel_ != nullptr) {
            SetWindowPos(panel_, nullptr, 0, 0, scale_.x(layout_.panelWidth), scale_.y(height),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void setPanelTop(std::int32_t top) override {
        if (panel_ != nullptr) {
            SetWindowPos(panel_, nullptr, 0, scale_.y(top), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    void setScrollBar(bool enabled, std::int32_t maximum, std::int32_t value) override;
    void focusViewport() override {
        if (viewport_ != nullptr) SetFocus(viewport_);
    }
    ListMenuChoice showContextMenu(const std::string& title) override;

  private:
    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK scrollProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
    bool create();
    // The window's texts measured in its font, for the layout.
    SettingsTextMetrics measureTexts() const;
    HWND makePane(const wchar_t* cls, HWND parent, int id, const PixelBox& box,
                  DWORD extraStyle = 0);
    LRESULT handleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handlePane(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void onScroll(WPARAM wParam);
    void restoreFocus();
    void onWindowGone();
    void refresh() {
        if (owner_ != nullptr && owner_->refresh_) owner_->refresh_();
    }
    void unload() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    void hold() override { ++depth_; }
    void release() override {
        if (--depth_ == 0 && gone_) delete this;
    }

    SettingsWindowWin32* owner_;
    HFONT font_;
    Scale scale_;
    SettingsLayout layout_ = DesignSettingsLayout();
    HWND hwnd_ = nullptr;
    HWND picture1_ = nullptr, listWindow_ = nullptr, viewport_ = nullptr, panel_ = nullptr,
         scroll_ = nullptr, command1_ = nullptr, command2_ = nullptr;
    HWND lastFocus_ = nullptr;
    int depth_ = 0;
    bool gone_ = false;
    bool menuOpen_ = false;
    frmMain main_;
    // Last, so that it goes first: its rows' windows refer to the form.
    std::unique_ptr<u_DiskList> list_;
};

}  // namespace qm
