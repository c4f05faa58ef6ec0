#pragma once
// Menus as the window manager would keep them: trees by id, the one attached
// to the main window, and a callback that runs while a popup is shown.
#include <functional>
#include <map>
#include <vector>

#include "core/tray_menu.h"

namespace qm {

class FakeMenuPort : public TrayMenuPort {
  public:
    MenuTreeId createTree(const MenuItem& drivePopup) override {
        live[next_] = drivePopup;
        return next_++;
    }
    void attachTree(WindowId, MenuTreeId tree) override { attached = tree; }
    void destroyTree(MenuTreeId tree) override {
        ++destroyed;
        live.erase(tree);
    }
    std::uint32_t track(MenuTreeId tree, WindowId, ScreenPoint, std::uint32_t flags) override {
        tracked.push_back({tree, flags});
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        return std::exchange(pick, menuid::kNone);
    }
    void postCommand(WindowId, std::uint32_t id) override { posted.push_back(id); }
    ScreenPoint cursorPosition() override { return {500, 590}; }
    void setForeground(WindowId) override {}

    // The drive popup attached to the main window now; null when none.
    const MenuItem* attachedPopup() const {
        const auto it = live.find(attached);
        return it == live.end() ? nullptr : &it->second;
    }

    std::map<MenuTreeId, MenuItem> live;
    MenuTreeId attached = kNoMenuTree;
    int destroyed = 0;
    struct Track {
        MenuTreeId tree;
        std::uint32_t flags;
    };
    std::vector<Track> tracked;
    std::function<void()> whileOpen;
    // What the user picks in the next menu shown, and the commands posted.
    std::uint32_t pick = menuid::kNone;
    std::vector<std::uint32_t> posted;

  private:
    MenuTreeId next_ = 1;
};

}  // namespace qm
