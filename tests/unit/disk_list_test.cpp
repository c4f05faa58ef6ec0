// The immunisation settings window's models: a drive row's policy boxes and
// status word, the scrolled list of rows and its row menu.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "fakes/fake_event_loop.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_profile.h"
#include "settings/ini.h"
#include "ui/disk_list.h"

namespace qm {
namespace {

constexpr char kDiskIni[] = "C:\\Quillmoor\\Disk.ini";

// What a row's window was last told. Shared, so it outlives the view the
// list frees.
struct RowState {
    std::string driveText, icon, tip, status;
    std::uint32_t colour = 0xFFFFFFFF;
    int checks[3] = {0, 0, 0};
    std::int32_t left = -1, top = -1;
    bool shown = false, destroyed = false;
    int callsAfterDestroyed = 0;
};

struct RowView final : DiskRowPort {
    explicit RowView(std::shared_ptr<RowState> s) : state(std::move(s)) {}
    std::shared_ptr<RowState> state;
    bool live() {
        if (state->destroyed) ++state->callsAfterDestroyed;
        return !state->destroyed;
    }
    void setDriveText(const std::string& t) override {
        if (live()) state->driveText = t;
    }
    void setIcon(const std::string& root) override {
        if (live()) state->icon = root;
    }
    void setToolTip(const std::string& t) override {
        if (live()) state->tip = t;
    }
    void setCheck(DiskRowControl box, int value) override {
        if (!live()) return;
        state->checks[static_cast<int>(box) - static_cast<int>(DiskRowControl::Check1)] = value;
    }
    void setStatus(const std::string& t, std::uint32_t c) override {
        if (!live()) return;
        state->status = t;
        state->colour = c;
    }
    void place(std::int32_t l, std::int32_t t) override {
        if (!live()) return;
        state->left = l;
        state->top = t;
    }
    void show() override {
        if (live()) state->shown = true;
    }
    void destroy() override { state->destroyed = true; }
};

struct ListView final : DiskListPort {
    std::vector<std::shared_ptr<RowState>> created;  // every row ever made, in order
    DiskListMetrics m;
    std::int32_t panelHeight = -1, panelTop = 1;
    bool enabled = true;
    std::int32_t maximum = -1, value = -1;
    int focusCalls = 0;
    std::vector<std::string> menus;
    ListMenuChoice answer = ListMenuChoice::None;
    std::function<void()> whileMenuOpen;

    std::unique_ptr<DiskRowPort> createRow(int) override {
        created.push_back(std::make_shared<RowState>());
        return std::make_unique<RowView>(created.back());
    }
    DiskListMetrics metrics() override { return m; }
    void setPanelHeight(std::int32_t h) override { panelHeight = h; }
    void setPanelTop(std::int32_t t) override { panelTop = t; }
    void setScrollBar(bool e, std::int32_t mx, std::int32_t v) override {
        enabled = e;
        maximum = mx;
        value = v;
    }
    void focusViewport() override { ++focusCalls; }
    ListMenuChoice showContextMenu(const std::string& title) override {
        menus.push_back(title);
        if (whileMenuOpen) whileMenuOpen();
        return answer;
    }
};

class DiskModels : public ::testing::Test {
  protected:
    FakeFileSystem files;
    FakeProfile profile;
    FakeEventLoop loop;
    DiskRowServices services{profile, files, loop, kDiskIni};

    void SetUp() override {
        for (char c : std::string("EFGHIJKLMNOPQ")) files.addDrive(c, kDriveKindRemovable, true);
    }
    std::string stored(const std::string& serial, const std::string& key) {
        return ReadIniString(profile, kDiskIni, serial, key, "<none>");
    }
};

// ---- one row ----

class Row : public DiskModels {
  protected:
    std::shared_ptr<RowState> state = std::make_shared<RowState>();
    RowView view{state};
    std::unique_ptr<u_Disk> row;

    void SetUp() override {
        DiskModels::SetUp();
        row = std::make_unique<u_Disk>(view, services);
    }
    void fill(const std::string& disk, const std::string& serial) {
        row->setCurrDisk(disk);
        row->setDiskVol("KINGSTON");
        row->setDiskSerNum(serial);
    }
    std::vector<int> boxes() {
        return {row->check(DiskRowControl::Check1), row->check(DiskRowControl::Check2),
                row->check(DiskRowControl::Check3)};
    }
    std::vector<int> shownBoxes() { return {state->checks[0], state->checks[1], state->checks[2]}; }
};

TEST_F(Row, ANewVolumeAsksFirstAndNothingIsWrittenUntilAClick) {
    fill("e:\\", "-1234");
    EXPECT_EQ(boxes(), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(shownBoxes(), boxes());
    EXPECT_EQ(state->driveText, "E:\\");
    EXPECT_EQ(state->icon, "E:\\");
    EXPECT_EQ(row->CurrDisk(), "E:\\");
    EXPECT_EQ(state->tip, "KINGSTON");
    EXPECT_EQ(state->status, "没有免疫");
    EXPECT_EQ(state->colour, 0x000000FFu);
    EXPECT_TRUE(profile.writes.empty());
}

TEST_F(Row, ClicksWriteExactlyTheKeyTheyStandFor) {
    fill("E:\\", "77");
    const auto lastWrite = [&] {
        const auto& w = profile.writes.back();
        return w.section + "/" + w.key + "=" + w.value;
    };

    row->onClick(DiskRowControl::Check3);  // never immunise
    EXPECT_EQ(boxes(), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(lastWrite(), "77/MakeDir=0");
    row->onClick(DiskRowControl::Check2);  // always immunise
    EXPECT_EQ(boxes(), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(lastWrite(), "77/MakeDir=1");
    row->onClick(DiskRowControl::Check2);  // clearing "always" means "never"
    EXPECT_EQ(boxes(), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(lastWrite(), "77/MakeDir=0");
    row->onClick(DiskRowControl::Check1);
    EXPECT_EQ(lastWrite(), "77/Remember=1");
    row->onClick(DiskRowControl::Check1);
    EXPECT_EQ(lastWrite(), "77/Remember=0");
    EXPECT_EQ(profile.writes.size(), 5u);
    EXPECT_EQ(shownBoxes(), boxes());
    EXPECT_EQ(stored("77", "Partition"), "<none>");
}

TEST_F(Row, StoredPoliciesLoadWithoutWritingAndOddValuesTickNothing) {
    WriteIniString(profile, kDiskIni, "1", "Remember", "1");
    WriteIniString(profile, kDiskIni, "1", "MakeDir", "1");
    WriteIniString(profile, kDiskIni, "2", "Remember", "1");
    WriteIniString(profile, kDiskIni, "2", "MakeDir", "0");
    WriteIniString(profile, kDiskIni, "3", "MakeDir", "2");
    WriteIniString(profile, kDiskIni, "4", "MakeDir", "abc");
    WriteIniString(profile, kDiskIni, "4", "Remember", "abc");
    WriteIniString(profile, kDiskIni, "5", "MakeDir", std::string(5000, '9'));
    profile.writes.clear();

    fill("E:\\", "1");
    EXPECT_EQ(boxes(), (std::vector<int>{0, 1, 0}));
    fill("E:\\", "2");
    EXPECT_EQ(boxes(), (std::vector<int>{0, 0, 1}));
    for (const char* serial : {"3", "4", "5"}) {
        fill("E:\\", serial);
        // An unreadable Remember still means "ask": that is what the tray
        // program does with it at the drive's arrival.
        EXPECT_EQ(boxes(), (std::vector<int>{1, 0, 0})) << serial;
    }
    EXPECT_EQ(shownBoxes(), boxes());
    EXPECT_TRUE(profile.writes.empty());
}

TEST_F(Row, AReusedRowKeepsItsBoxesWhereTheNewVolumeDecidedNothing) {
    WriteIniString(profile, kDiskIni, "1", "MakeDir", "1");
    fill("E:\\", "1");
    fill("F:\\", "999");  // no section at all
    EXPECT_EQ(boxes(), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(state->driveText, "F:\\");
}

TEST_F(Row, TheStatusWordFollowsTheDriveOnEachTick) {
    files.addFolder("F:\\autorun.inf");
    fill("f", "5");
    EXPECT_EQ(state->status, "已经免疫");
    EXPECT_EQ(state->colour, 0u);
    files.drives.erase('F');  // pulled while shown
    files.removeFolder("F:\\autorun.inf");
    row->onTimer();
    EXPECT_EQ(state->status, "没有免疫");
    EXPECT_EQ(state->colour, 0x000000FFu);
}

TEST_F(Row, ARowDestroyedWhileItFillsStopsTouchingItsWindow) {
    const int base = loop.pumpCount;
    loop.onPump = [&] {
        if (loop.pumpCount == base + 2) {
            view.destroy();
            row->onDestroyed();
        }
    };
    fill("E:\\", "1");
    row->onClick(DiskRowControl::Check1);
    row->onTimer();
    EXPECT_EQ(state->callsAfterDestroyed, 0);
    EXPECT_TRUE(profile.writes.empty());
}

// ---- the list ----

class List : public DiskModels {
  protected:
    ListView view;
    std::vector<std::string> immunised, cleared;
    std::unique_ptr<u_DiskList> list;

    void SetUp() override {
        DiskModels::SetUp();
        list = std::make_unique<u_DiskList>(
            view, services,
            ImmunityActions{[this](const std::string& d) { immunised.push_back(d); },
                            [this](const std::string& d) { cleared.push_back(d); }});
    }
    void add(char letter) {
        const std::string root = std::string(1, letter) + ":\\";
        list->AddItem(root, std::string("VOL") + letter, std::to_string(letter));
    }
    void fill(const std::string& letters) {
        list->aClearAll();
        for (char c : letters) add(c);
    }
    std::string letters() {
        std::string out;
        for (int i = 0; i < list->RowCount(); ++i) out += list->row(i)->letter();
        return out;
    }
    void release(int index, std::int16_t button) {
        RowMouseUp e;
        e.control = DiskRowControl::LDisk;
        e.button = button;
        list->row(index)->onMouseUp(e);
    }
};

TEST_F(List, AnEmptyListHidesItsFirstRowAndCannotScroll) {
    EXPECT_EQ(list->aItemCount(), 1);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(view.panelHeight, 0);
    EXPECT_FALSE(view.enabled);
    fill("EF");
    fill("");
    EXPECT_EQ(list->aItemCount(), 1);
    EXPECT_EQ(view.panelHeight, 0);
    EXPECT_FALSE(view.enabled);
}

TEST_F(List, TenRowsFitAndTheEleventhScrollsByWholeRows) {
    fill("EFGHIJKLMN");
    EXPECT_FALSE(view.enabled);
    EXPECT_EQ(view.panelHeight, 250);
    EXPECT_EQ(view.created[9]->top, 225);
    EXPECT_TRUE(view.created[9]->shown);
    add('O');
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.maximum, 1);
    list->onScroll(1);
    EXPECT_EQ(view.panelTop, -25);
    EXPECT_EQ(view.focusCalls, 1);
    list->onScroll(7);  // past the end: the last row stays at the bottom
    EXPECT_EQ(view.panelTop, -25);
    list->onScrollBarFocus();
    EXPECT_EQ(view.focusCalls, 3);
}

TEST_F(List, EveryRefillStartsAtTheTop) {
    fill("EFGHIJKLMNOPQ");  // 13 rows, 3 hidden
    list->onScroll(3);
    EXPECT_EQ(view.panelTop, -75);
    fill("EFGHIJKLMNOP");
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(view.maximum, 2);
    EXPECT_EQ(view.value, 0);
    EXPECT_EQ(view.panelTop, 0);
    fill("EFG");
    EXPECT_FALSE(view.enabled);
    list->onScroll(1);  // a disabled bar moves nothing
    EXPECT_EQ(view.panelTop, 0);
}

TEST_F(List, RefillingGivesTheSameRowsAndFreesTheOldOnes) {
    fill("EFG");
    fill("EFG");
    EXPECT_EQ(letters(), "EFG");
    EXPECT_EQ(list->aItemCount(), 3);
    // Element 0 is reused; the others were destroyed and made anew.
    ASSERT_EQ(view.created.size(), 5u);
    EXPECT_FALSE(view.created[0]->destroyed);
    EXPECT_TRUE(view.created[1]->destroyed);
    EXPECT_TRUE(view.created[2]->destroyed);
    EXPECT_EQ(view.created[4]->top, 50);
    EXPECT_EQ(view.created[4]->driveText, "G:\\");
    for (const auto& r : view.created) EXPECT_EQ(r->callsAfterDestroyed, 0);
}

TEST_F(List, RoundingHalvesGoesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(249.0 / 25), 10);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<std::int32_t>::max());
    // A row height of zero never divides.
    view.m.rowHeight = 0;
    fill("E");
    EXPECT_TRUE(view.enabled);
}

TEST_F(List, TheRowMenuIsHeadedByTheRowLastReleasedAndActsOnItsDrive) {
    fill("EFG");
    release(2, 1);  // a left click only selects
    EXPECT_EQ(list->SelectedRow(), 2);
    EXPECT_EQ(list->menuTitle(), "VOLG");
    EXPECT_TRUE(view.menus.empty());

    view.answer = ListMenuChoice::CreateAuto;
    release(1, kRightButton);
    EXPECT_EQ(view.menus, std::vector<std::string>{"VOLF"});
    EXPECT_EQ(immunised, std::vector<std::string>{"F"});
    view.answer = ListMenuChoice::DeleteAuto;
    release(0, kRightButton);
    EXPECT_EQ(cleared, std::vector<std::string>{"E"});
    view.answer = ListMenuChoice::None;
    release(2, kRightButton);
    EXPECT_EQ(immunised.size() + cleared.size(), 2u);
}

TEST_F(List, ARefreshWhileTheMenuIsOpenDoesNotRedirectItsAction) {
    fill("EFG");
    view.answer = ListMenuChoice::CreateAuto;
    // A drive arrives while the menu is up: the list is rebuilt in another order.
    view.whileMenuOpen = [&] { fill("HEF"); };
    release(2, kRightButton);
    EXPECT_EQ(immunised, std::vector<std::string>{"G"});
    EXPECT_EQ(letters(), "HEF");
    for (const auto& r : view.created) EXPECT_EQ(r->callsAfterDestroyed, 0);
}

TEST_F(List, AWindowClosedWhileARowFillsEndsTheFillQuietly) {
    fill("EF");
    const int base = loop.pumpCount;
    loop.onPump = [&] {
        if (loop.pumpCount == base + 3) list->onDestroyed();
    };
    add('G');
    EXPECT_EQ(list->RowCount(), 2);
    EXPECT_FALSE(view.created.back()->shown);
    add('H');
    list->aClearAll();
    EXPECT_EQ(list->RowCount(), 0);
}

TEST(SettingsForm, LoadingPumpsBeforeItAsksForTheListAndAClosedFormIgnoresButtons) {
    FakeEventLoop loop;
    std::vector<std::string> calls;
    loop.post([&] { calls.push_back("message"); });
    frmMain form(loop, [&] { calls.push_back("refresh"); }, [&] { calls.push_back("unload"); });
    form.onLoad();
    form.onCommand1();
    form.onCommand2();
    form.onDestroyed();
    form.onCommand1();
    form.onCommand2();
    EXPECT_EQ(calls, (std::vector<std::string>{"message", "refresh", "refresh", "unload"}));
}

}  // namespace
}  // namespace qm
