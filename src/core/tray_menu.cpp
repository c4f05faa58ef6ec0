#include "core/tray_menu.h"

#include <utility>

#include "texts/tray_texts.h"

namespace qm {
namespace {

MenuItem command(std::string caption, std::uint32_t id, bool checked = false) {
    return MenuItem{MenuItem::Kind::Command, std::move(caption), id, checked, {}, false};
}

MenuItem separator() {
    return MenuItem{MenuItem::Kind::Separator, {}, menuid::kNone, false, {}, false};
}

MenuItem popup(std::string caption, std::vector<MenuItem> children = {}) {
    return MenuItem{MenuItem::Kind::Popup, std::move(caption), menuid::kNone, false,
                    std::move(children), false};
}

// Right above the first drive: after the options and their separator.
constexpr std::size_t kEjectAllAt = 2;

std::uint32_t driveId(std::uint32_t base, std::size_t j) {
    return base + static_cast<std::uint32_t>(j);
}

}  // namespace

MenuItem BuildOptionsMenu(const std::string& noticeTitle, const std::string& homePage,
                          bool autoPlayOn, bool autoStartOn) {
    // The check mark shows the switch is off (AutoPlay) or on (start-up),
    // and the id is the command that flips it.
    return popup(Text(TrayText::MenuOptions),
                 {command(noticeTitle, menuid::kAbout), command(homePage, menuid::kHomePage),
                  separator(), command(Text(TrayText::MenuReload), menuid::kReload), separator(),
                  autoPlayOn ? command(Text(TrayText::MenuAutoPlay), menuid::kStopAutoPlay)
                             : command(Text(TrayText::MenuAutoPlay), menuid::kStartAutoPlay, true),
                  command(Text(TrayText::MenuSettings), menuid::kSettings),
                  command(Text(TrayText::MenuViewLog), menuid::kViewLog),
                  command(Text(TrayText::MenuCheckUpdate), menuid::kCheckUpdate),
                  autoStartOn ? command(Text(TrayText::MenuAutoStart), menuid::kDisableAutoStart, true)
                              : command(Text(TrayText::MenuAutoStart), menuid::kEnableAutoStart),
                  separator(), command(Text(TrayText::MenuQuit), menuid::kQuit)});
}

MenuItem BuildDriveMenu(const std::string& caption, std::size_t j, bool isCdRom, bool isImmunised) {
    MenuItem menu = popup(caption);
    auto& items = menu.children;
    items.push_back(command(Text(TrayText::MenuBrowse), driveId(menuid::kBrowse, j)));
    items.push_back(separator());
    if (isCdRom) {
        // A disc drive is never ejected or immunised, only opened and closed.
        items.push_back(command(Text(TrayText::MenuOpenCdTray), driveId(menuid::kOpenCdTray, j)));
        items.push_back(command(Text(TrayText::MenuCloseCdTray), driveId(menuid::kCloseCdTray, j)));
        return menu;
    }
    items.push_back(command(Text(TrayText::MenuSafeEject), driveId(menuid::kSafeEject, j)));
    items.push_back(separator());
    items.push_back(isImmunised
                        ? command(Text(TrayText::MenuImmunise), driveId(menuid::kRemoveImmunity, j), true)
                        : command(Text(TrayText::MenuImmunise), driveId(menuid::kImmunise, j)));
    items.push_back(separator());
    items.push_back(command(Text(TrayText::MenuForceEject), driveId(menuid::kForceEject, j)));
    return menu;
}

MenuItem NoDrivePlaceholder() { return command(Text(TrayText::MenuNoDrive), menuid::kNone); }

std::optional<DriveCommandId> DriveCommandOf(std::uintptr_t id) {
    // The id is the whole wParam, compared as a signed number.
    const auto value = static_cast<std::intptr_t>(id);
    const auto first = static_cast<std::intptr_t>(menuid::kBrowse);
    const auto end = static_cast<std::intptr_t>(menuid::kForceEject + menuid::kDriveRange);
    const auto range = static_cast<std::intptr_t>(menuid::kDriveRange);
    if (value < first || value >= end) return std::nullopt;
    return DriveCommandId{static_cast<DriveCommand>(value / range - 1),
                          static_cast<std::size_t>(value % range)};
}

TrayMenuModel::TrayMenuModel() : drivePopup_(popup(Text(TrayText::MenuDrivePopup))) {}

void TrayMenuModel::BeginMenu(const std::string& noticeTitle, const std::string& homePage,
                              bool autoPlayOn, bool autoStartOn) {
    MenuItem ejectAll = command(Text(TrayText::MenuEjectAll), menuid::kEjectAll);
    ejectAll.grayed = true;
    drivePopup_ = popup(Text(TrayText::MenuDrivePopup),
                        {BuildOptionsMenu(noticeTitle, homePage, autoPlayOn, autoStartOn),
                         separator(), std::move(ejectAll)});
    refs_.clear();
    drives_ = 0;
    finished_ = false;
}

void TrayMenuModel::AddDriveSubmenu(const std::string& caption, std::size_t j, bool isCdRom,
                                    bool isImmunised, DriveRef drive, bool ejectable) {
    drivePopup_.children.push_back(BuildDriveMenu(caption, j, isCdRom, isImmunised));
    if (ejectable && !isCdRom && drivePopup_.children.size() > kEjectAllAt) {
        drivePopup_.children[kEjectAllAt].grayed = false;
    }
    refs_.emplace_back(j, std::move(drive));
    ++drives_;
}

void TrayMenuModel::Finish() {
    if (finished_) return;
    finished_ = true;
    if (drives_ == 0) drivePopup_.children.push_back(NoDrivePlaceholder());
}

TrayMenu::TrayMenu(TrayMenuPort& port, EventLoop& loop) : port_(port), loop_(loop) {}

void TrayMenu::detach(WindowId) {
    if (attached_ == kNoMenuTree) return;
    retireSpare();
    spare_ = std::exchange(attached_, kNoMenuTree);
    spareEntries_ = std::move(attachedEntries_);
}

void TrayMenu::attach(WindowId window) {
    if (closed_) return;
    const MenuItem& entries = model_.drivePopup();
    const MenuTreeId tree = spare_ != kNoMenuTree && spareEntries_ == entries
                                ? std::exchange(spare_, kNoMenuTree)
                                : port_.createTree(entries);
    attachedEntries_ = entries;
    attachedDrives_ = model_.drives();
    putOnBar(window, tree);
    const MenuTreeId old = std::exchange(attached_, tree);
    if (old != kNoMenuTree) retire(old);
    retireSpare();
}

void TrayMenu::putOnBar(WindowId window, MenuTreeId tree) {
    if (onBar_ == tree) return;
    port_.attachTree(window, tree);
    onBar_ = tree;
}

void TrayMenu::popAppMenu(WindowId window, const std::function<void()>& refresh) {
    // Each pump may run a quit; nothing is shown on a window that is gone.
    loop_.pump();
    if (closed_) return;
    refresh();
    loop_.pump();
    if (closed_) return;
    const ScreenPoint at = port_.cursorPosition();
    loop_.pump();
    if (closed_) return;
    // Without the foreground the popup would not close when the user clicks
    // elsewhere.
    port_.setForeground(window);
    show(window, at, kTrackLeftAlign);
    loop_.pump();
}

void TrayMenu::popAtMainWindow(WindowId window) {
    show(window, port_.cursorPosition(), kTrackRightAlign);
}

void TrayMenu::shutdown(WindowId window) {
    if (closed_) return;
    closed_ = true;
    putOnBar(window, kNoMenuTree);
    detach(window);
    retireSpare();
}

void TrayMenu::show(WindowId window, ScreenPoint at, std::uint32_t flags) {
    if (closed_ || attached_ == kNoMenuTree) return;
    // A refresh while the menu is open may give the drives other indexes;
    // a pick acts on the drive its entry showed.
    const auto shownDrives = attachedDrives_;
    ++tracking_;
    const std::uint32_t id = port_.track(attached_, window, at, flags);
    --tracking_;
    destroyRetired();
    picked_.reset();
    if (id == menuid::kNone || closed_) return;
    if (const auto command = DriveCommandOf(id)) {
        for (const auto& [index, drive] : shownDrives) {
            if (index == command->index) picked_ = Pick{id, drive};
        }
    }
    port_.postCommand(window, id);
}

std::optional<DriveRef> TrayMenu::takePickedDrive(std::uint32_t id) {
    if (!picked_ || picked_->id != id) return std::nullopt;
    return std::exchange(picked_, std::nullopt)->drive;
}

void TrayMenu::retire(MenuTreeId tree) {
    retired_.push_back(tree);
    destroyRetired();
}

void TrayMenu::retireSpare() {
    if (spare_ != kNoMenuTree) retire(std::exchange(spare_, kNoMenuTree));
}

void TrayMenu::destroyRetired() {
    // A refresh run by a message while a popup is open replaces the tree
    // being shown; the system still walks that tree until the popup closes.
    if (tracking_ > 0) return;
    const std::vector<MenuTreeId> trees = std::exchange(retired_, {});
    for (MenuTreeId tree : trees) port_.destroyTree(tree);
}

}  // namespace qm
