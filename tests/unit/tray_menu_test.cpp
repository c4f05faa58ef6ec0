#include "core/tray_menu.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "fakes/fake_event_loop.h"

namespace qm {
namespace {

using Kind = MenuItem::Kind;
using Lines = std::vector<std::string>;

// One entry as "id caption", "id caption [x]" when checked, "-" for a
// separator and "> caption" for a popup.
Lines entries(const MenuItem& menu) {
    Lines out;
    for (const auto& item : menu.children) {
        if (item.kind == Kind::Separator) {
            out.push_back("-");
        } else if (item.kind == Kind::Popup) {
            out.push_back("> " + item.caption);
        } else {
            out.push_back(std::to_string(item.id) + " " + item.caption +
                          (item.checked ? " [x]" : "") + (item.grayed ? " (grayed)" : ""));
        }
    }
    return out;
}

TEST(TrayMenuModelTest, OptionsEntriesFollowBothSwitches) {
    const MenuItem on = BuildOptionsMenu("Quillmoor v1.0.1", "https://h/", true, true);
    EXPECT_EQ(on.kind, Kind::Popup);
    EXPECT_EQ(on.caption, "选项(&S)");
    EXPECT_EQ(entries(on),
              (Lines{"500 Quillmoor v1.0.1", "505 https://h/", "-", "601 重载列表(&R)", "-",
                     "501 禁用系统“自动播放”服务", "602 分区免疫设置", "603 查看日志",
                     "700 检查更新", "504 系统启动时自动运行 [x]", "-", "506 退出(&Q)"}));
    // AutoPlay off: the same caption, checked, now starting the service;
    // start-up off: unchecked, enabling it.
    const Lines off = entries(BuildOptionsMenu("T", "H", false, false));
    EXPECT_EQ(off[5], "502 禁用系统“自动播放”服务 [x]");
    EXPECT_EQ(off[9], "503 系统启动时自动运行");
    const Lines mixed = entries(BuildOptionsMenu("T", "H", false, true));
    EXPECT_EQ(mixed[5], "502 禁用系统“自动播放”服务 [x]");
    EXPECT_EQ(mixed[9], "504 系统启动时自动运行 [x]");
}

TEST(TrayMenuModelTest, DriveSubmenusCarryTheTableIndexInEveryId) {
    // The first stick behind C: and D: has index 2.
    const MenuItem stick = BuildDriveMenu("KINGSTON (G:)", 2, false, false);
    EXPECT_EQ(stick.kind, Kind::Popup);
    EXPECT_EQ(stick.caption, "KINGSTON (G:)");
    EXPECT_EQ(entries(stick), (Lines{"1002 浏览(&V)...", "-", "4002 安全弹出(&P)", "-",
                                     "5002 免疫自动运行(autorun.inf)", "-", "7002 强制弹出(&F)"}));
    EXPECT_EQ(entries(BuildDriveMenu("K (G:)", 2, false, true))[4],
              "6002 免疫自动运行(autorun.inf) [x]");
    // A disc drive opens and closes its tray, immunised or not.
    const Lines cd{"1005 浏览(&V)...", "-", "2005 弹出 光驱托盘(&O)", "3005 关闭 光驱托盘(&C)"};
    EXPECT_EQ(entries(BuildDriveMenu("DVD (E:)", 5, true, false)), cd);
    EXPECT_EQ(entries(BuildDriveMenu("DVD (E:)", 5, true, true)), cd);
}

TEST(TrayMenuModelTest, DrivePopupHoldsOptionsThenDrivesOrThePlaceholder) {
    TrayMenuModel model;
    model.BeginMenu("T", "H", true, false);
    model.Finish();
    model.Finish();  // a second call adds nothing
    EXPECT_EQ(model.drivePopup().caption, "安全弹出");
    EXPECT_EQ(entries(model.drivePopup()),
              (Lines{"> 选项(&S)", "-", "604 全部安全弹出(&A) (grayed)", "0 没有可移动设备"}));
    EXPECT_FALSE(model.hasDrives());

    // The next refresh starts from nothing: no placeholder left over.
    // "Eject all" stays grayed for a disc drive and a stick it would not
    // take (no medium); a stick it takes enables it, wherever it comes.
    model.BeginMenu("T", "H", true, false);
    model.AddDriveSubmenu("A (G:)", 2, false, false);
    model.AddDriveSubmenu("B (H:)", 3, true, false, {}, true);
    model.Finish();
    EXPECT_EQ(entries(model.drivePopup()),
              (Lines{"> 选项(&S)", "-", "604 全部安全弹出(&A) (grayed)", "> A (G:)", "> B (H:)"}));
    EXPECT_EQ(model.drivePopup().children[4].children[2].id, 2003u);
    model.AddDriveSubmenu("C (I:)", 4, false, false, {'I', "7"}, true);
    EXPECT_EQ(entries(model.drivePopup())[2], "604 全部安全弹出(&A)");
    model.BeginMenu("T", "H", true, false);
    EXPECT_EQ(entries(model.drivePopup())[2], "604 全部安全弹出(&A) (grayed)");
}

TEST(TrayMenuModelTest, CommandIdsDecodeToTheirDriveAndNothingElseDoes) {
    EXPECT_EQ(DriveCommandOf(1002), (DriveCommandId{DriveCommand::Browse, 2}));
    EXPECT_EQ(DriveCommandOf(1000), (DriveCommandId{DriveCommand::Browse, 0}));
    EXPECT_EQ(DriveCommandOf(3999), (DriveCommandId{DriveCommand::CloseCdTray, 999}));
    EXPECT_EQ(DriveCommandOf(6023), (DriveCommandId{DriveCommand::RemoveImmunity, 23}));
    EXPECT_EQ(DriveCommandOf(7000), (DriveCommandId{DriveCommand::ForceEject, 0}));
    for (std::uintptr_t id : {0u, 506u, 700u, 999u, 8000u}) EXPECT_FALSE(DriveCommandOf(id)) << id;
    EXPECT_FALSE(DriveCommandOf(static_cast<std::uintptr_t>(-1000)));
}

// Real menus stand-in: records the calls in order and which trees exist.
class RecordingMenuPort final : public TrayMenuPort {
  public:
    explicit RecordingMenuPort(Lines& calls) : calls_(calls) {}
    MenuTreeId createTree(const MenuItem& drivePopup) override {
        built.push_back(drivePopup);
        live.insert(next_);
        calls_.push_back("create " + std::to_string(next_));
        return next_++;
    }
    void attachTree(WindowId, MenuTreeId tree) override {
        attached = tree;
        calls_.push_back("attach " + std::to_string(tree));
    }
    void destroyTree(MenuTreeId tree) override {
        EXPECT_NE(tree, attached) << "destroying the attached bar";
        EXPECT_EQ(live.erase(tree), 1u) << "tree " << tree << " destroyed twice";
        calls_.push_back("destroy " + std::to_string(tree));
    }
    std::uint32_t track(MenuTreeId tree, WindowId owner, ScreenPoint at,
                        std::uint32_t flags) override {
        calls_.push_back("track " + std::to_string(tree) + " owner " + std::to_string(owner) +
                         " at " + std::to_string(at.x) + "," + std::to_string(at.y) + " flags " +
                         std::to_string(flags));
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        // The system walks the tree until the popup closes.
        EXPECT_TRUE(live.count(tree)) << "tree " << tree << " destroyed while shown";
        return menuid::kNone;
    }
    void postCommand(WindowId, std::uint32_t id) override {
        calls_.push_back("post " + std::to_string(id));
    }
    ScreenPoint cursorPosition() override {
        calls_.push_back("cursor");
        return {640, 480};
    }
    void setForeground(WindowId window) override {
        calls_.push_back("foreground " + std::to_string(window));
    }

    std::function<void()> whileOpen;
    std::vector<MenuItem> built;
    std::set<MenuTreeId> live;
    MenuTreeId attached = kNoMenuTree;

  private:
    Lines& calls_;
    MenuTreeId next_ = 1;
};

class TrayMenuTest : public ::testing::Test {
  protected:
    static constexpr WindowId kWindow = 66;
    Lines calls;
    RecordingMenuPort port{calls};
    FakeEventLoop loop;
    TrayMenu menu{port, loop};

    void SetUp() override {
        loop.onPump = [this] { calls.push_back("pump"); };
    }
    // The menu part of a refresh, with one stick when `drive` is set.
    void refresh(bool drive = true) {
        calls.push_back("refresh");
        menu.detach(kWindow);
        menu.BeginMenu("T", "H", true, false);
        if (drive) menu.AddDriveSubmenu("K (G:)", 2, false, false);
        menu.Finish();
        menu.attach(kWindow);
    }
};

TEST_F(TrayMenuTest, ARefreshReplacesTheTreeOnlyWhenItsEntriesChanged) {
    refresh(false);
    refresh();
    EXPECT_EQ(calls, (Lines{"refresh", "create 1", "attach 1", "refresh", "create 2", "attach 2",
                            "destroy 1"}));
    EXPECT_EQ(entries(port.built.back())[3], "> K (G:)");

    // The same entries: the tree stays, nothing is built or attached.
    calls.clear();
    refresh();
    EXPECT_EQ(calls, (Lines{"refresh"}));
    // A check mark is an entry too; in the middle of a refresh the menu
    // cannot be shown.
    calls.clear();
    menu.detach(kWindow);
    menu.popAtMainWindow(kWindow);
    menu.BeginMenu("T", "H", false, false);
    menu.AddDriveSubmenu("K (G:)", 2, false, false);
    menu.Finish();
    menu.attach(kWindow);
    EXPECT_EQ(calls, (Lines{"cursor", "create 3", "attach 3", "destroy 2"}));

    // Attaching without detaching first still lets the old tree go.
    menu.attach(kWindow);
    EXPECT_EQ(port.live, (std::set<MenuTreeId>{4}));
    EXPECT_EQ(port.attached, 4u);
}

TEST_F(TrayMenuTest, TrayClickRefreshesFirstRightButtonShowsTheMenuAsItStands) {
    refresh();
    calls.clear();
    menu.popAppMenu(kWindow, [this] { refresh(false); });
    EXPECT_EQ(calls,
              (Lines{"pump", "refresh", "create 2", "attach 2", "destroy 1", "pump", "cursor",
                     "pump", "foreground 66", "track 2 owner 66 at 640,480 flags 0", "pump"}));
    calls.clear();
    menu.popAtMainWindow(kWindow);
    EXPECT_EQ(calls, (Lines{"cursor", "track 2 owner 66 at 640,480 flags 8"}));
}

TEST_F(TrayMenuTest, RefreshWhileTheMenuIsOpenKeepsTheShownTreeUntilItCloses) {
    refresh();
    // Two device changes (the stick goes, then comes back) arrive while the
    // popup is open, a right click between them opens the new tree on top.
    port.whileOpen = [this] {
        refresh(false);
        menu.popAtMainWindow(kWindow);
        refresh();
        EXPECT_EQ(port.live, (std::set<MenuTreeId>{1, 2, 3}));
    };
    calls.clear();
    menu.popAppMenu(kWindow, [] {});
    EXPECT_EQ(port.live, (std::set<MenuTreeId>{3}));
    EXPECT_EQ(port.attached, 3u);
    // Gone once the popup closed, before the pump that runs its command.
    EXPECT_EQ(Lines(calls.end() - 3, calls.end()), (Lines{"destroy 1", "destroy 2", "pump"}));
}

TEST_F(TrayMenuTest, UnchangedRefreshWhileTheMenuIsOpenKeepsTheShownTreeOnTheWindow) {
    refresh();
    port.whileOpen = [this] { refresh(); };
    menu.popAtMainWindow(kWindow);
    EXPECT_EQ(port.live, (std::set<MenuTreeId>{1}));
    EXPECT_EQ(port.attached, 1u);
    menu.shutdown(kWindow);
    EXPECT_TRUE(port.live.empty());
}

TEST_F(TrayMenuTest, NothingIsShownWithoutATreeOrOnceTheWindowIsGoing) {
    menu.popAppMenu(kWindow, [] {});
    EXPECT_EQ(calls, (Lines{"pump", "pump", "cursor", "pump", "foreground 66", "pump"}));

    // Quit chosen from the open popup: the tree goes when the popup closes.
    refresh();
    port.whileOpen = [this] {
        menu.shutdown(kWindow);
        EXPECT_EQ(port.live, (std::set<MenuTreeId>{1}));
    };
    menu.popAtMainWindow(kWindow);
    EXPECT_TRUE(port.live.empty());
    EXPECT_EQ(port.attached, kNoMenuTree);

    // Nothing is built or shown afterwards.
    menu.attach(kWindow);
    menu.popAtMainWindow(kWindow);
    EXPECT_TRUE(port.live.empty());
}

TEST_F(TrayMenuTest, QuitInTheFirstPumpOfATrayClickStopsItThere) {
    refresh();
    loop.post([this] { menu.shutdown(kWindow); });
    calls.clear();
    menu.popAppMenu(kWindow, [this] { refresh(); });
    EXPECT_EQ(calls, (Lines{"pump", "attach 0", "destroy 1"}));
}

}  // namespace
}  // namespace qm
