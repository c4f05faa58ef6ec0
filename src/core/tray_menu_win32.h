#pragma once
// The tray menu's real menus: a menu bar on the hidden main window holding
// the drive popup, which is what a tray click shows.
#include <windows.h>

#include <map>

#include "core/tray_menu.h"
#include "platform/code_page.h"
#include "platform/unique_resource.h"

namespace qm {

// DestroyMenu takes the submenus along.
struct MenuHandleTraits {
    using Handle = HMENU;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::DestroyMenu(h); }
};
using UniqueMenu = UniqueResource<MenuHandleTraits>;

class TrayMenuWin32 final : public TrayMenuPort {
  public:
    TrayMenuWin32() = default;
    // Destroys every tree still held; the one a destroyed window took along
    // is only let go.
    ~TrayMenuWin32() override;

    MenuTreeId createTree(const MenuItem& drivePopup) override;
    void attachTree(WindowId window, MenuTreeId tree) override;
    void destroyTree(MenuTreeId tree) override;
    std::uint32_t track(MenuTreeId tree, WindowId owner, ScreenPoint at,
                        std::uint32_t flags) override;
    void postCommand(WindowId owner, std::uint32_t id) override;
    ScreenPoint cursorPosition() override;
    void setForeground(WindowId window) override;

  private:
    struct Tree {
        UniqueMenu bar;      // hMenu
        UniqueMenu popup;    // hPopMenuTmp while the bar does not own it
        HMENU drivePopup{};  // hPopMenuTmp
    };

    void appendItems(HMENU hSubMenu, const std::vector<MenuItem>& items);
    void detachFromWindow();

    std::map<MenuTreeId, Tree> trees_;
    MenuTreeId nextId_ = 1;
    HWND attachedTo_ = nullptr;
    MenuTreeId attached_ = kNoMenuTree;
};

}  // namespace qm
