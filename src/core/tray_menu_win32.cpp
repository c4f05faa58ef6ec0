#include "core/tray_menu_win32.h"

#include <string>

#include "platform/handles_win32.h"

namespace qm {

TrayMenuWin32::TrayMenuWin32(CodePage& codePage) : codePage_(codePage) {}

TrayMenuWin32::~TrayMenuWin32() { detachFromWindow(); }

MenuTreeId TrayMenuWin32::createTree(const MenuItem& drivePopup) {
    Tree tree;
    tree.popup.reset(CreatePopupMenu());
    if (!tree.popup) return kNoMenuTree;
    tree.drivePopup = tree.popup.get();
    appendItems(tree.drivePopup, drivePopup.children);

    tree.bar.reset(CreateMenu());
    const std::string caption = codePage_.toAnsi(drivePopup.caption);
    if (tree.bar && AppendMenuA(tree.bar.get(), MF_POPUP | MF_STRING,
                                reinterpret_cast<UINT_PTR>(tree.drivePopup), caption.c_str())) {
        tree.popup.release();
    }
    const MenuTreeId id = nextId_++;
    trees_.emplace(id, std::move(tree));
    return id;
}

void TrayMenuWin32::appendItems(HMENU hSubMenu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        const std::string caption = codePage_.toAnsi(item.caption);
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                AppendMenuA(hSubMenu, MF_SEPARATOR, 0, nullptr);
                break;
            case MenuItem::Kind::Command:
                AppendMenuA(hSubMenu,
                            MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED) |
                                (item.grayed ? MF_GRAYED : MF_ENABLED),
                            item.id, caption.c_str());
                break;
            case MenuItem::Kind::Popup: {
                UniqueMenu child(CreatePopupMenu());
                if (!child) break;
                appendItems(child.get(), item.children);
                // Once appended the parent owns it; until then it is ours.
                if (AppendMenuA(hSubMenu, MF_POPUP | MF_STRING,
                                reinterpret_cast<UINT_PTR>(child.get()), caption.c_str())) {
                    child.release();
                }
                break;
            }
        }
    }
}

void TrayMenuWin32::attachTree(WindowId window, MenuTreeId tree) {
    if (!IsWindow(attachedTo_)) detachFromWindow();
    const HWND hwnd = windowFromId(window);
    auto it = trees_.find(tree);
    // A tree whose bar could not be built is shown from the tray, never
    // attached.
    HMENU hMenu = it != trees_.end() ? it->second.bar.get() : nullptr;
    SetMenu(hwnd, hMenu);
    DrawMenuBar(hwnd);
    attachedTo_ = hwnd;
    attached_ = hMenu != nullptr ? tree : kNoMenuTree;
}

void TrayMenuWin32::detachFromWindow() {
    if (attached_ == kNoMenuTree) return;
    if (IsWindow(attachedTo_)) {
        // A window must not keep a destroyed menu as its bar.
        SetMenu(attachedTo_, nullptr);
    } else {
        // DestroyWindow took the window's menu bar along.
        auto it = trees_.find(attached_);
        if (it != trees_.end()) it->second.bar.release();
    }
    attached_ = kNoMenuTree;
}

void TrayMenuWin32::destroyTree(MenuTreeId tree) {
    if (tree == attached_) detachFromWindow();
    trees_.erase(tree);
}

std::uint32_t TrayMenuWin32::track(MenuTreeId tree, WindowId owner, ScreenPoint at,
                                   std::uint32_t flags) {
    auto it = trees_.find(tree);
    if (it == trees_.end()) return menuid::kNone;
    const HWND hwnd = windowFromId(owner);
    // The pick comes back here rather than as the menu's own message, so
    // that the caller knows which menu it came from.
    const BOOL id = TrackPopupMenu(it->second.drivePopup, flags | TPM_RETURNCMD, at.x, at.y, 0,
                                   hwnd, nullptr);
    // Without a message after it, the next tray click would find the menu
    // still half open.
    PostMessageA(hwnd, WM_NULL, 0, 0);
    return id > 0 ? static_cast<std::uint32_t>(id) : menuid::kNone;
}

void TrayMenuWin32::postCommand(WindowId owner, std::uint32_t id) {
    PostMessageA(windowFromId(owner), WM_COMMAND, id, 0);
}

ScreenPoint TrayMenuWin32::cursorPosition() {
    POINT p{};
    if (!GetCursorPos(&p)) return {};
    return ScreenPoint{p.x, p.y};
}

void TrayMenuWin32::setForeground(WindowId window) { SetForegroundWindow(windowFromId(window)); }

}  // namespace qm
