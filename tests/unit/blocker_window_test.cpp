#include "ui/blocker_window.h"

#include <gtest/gtest.h>

#include "em_font.h"
#include "every_language.h"
#include "fakes/fake_platform.h"
#include "recording_notices.h"
#include "settings/settings_files.h"
#include "texts/language.h"
#include "ui/blocker_layout.h"
#include "ui/blocker_windows.h"

namespace qm {
namespace {

constexpr std::uint32_t kWord = 4312;
constexpr std::uint64_t kWordStart = 0x01DA000000000001ull;
constexpr std::uint32_t kNotepad = 77;
constexpr std::uint32_t kShell = 1288;

struct Runner final : EjectRunner {
    struct Call {
        char letter;
        std::string serial;
        bool forced;
    };
    std::vector<Call> calls;
    EjectOutcome outcome = EjectOutcome::Failed;
    std::function<void()> during;  // what happens while the eject runs
    EjectOutcome ejectAgain(char letter, const std::string& serial, bool forced) override {
        calls.push_back({letter, serial, forced});
        if (during) during();
        return outcome;
    }
};

struct Port final : BlockerWindowPort {
    BlockerWindow* model = nullptr;
    int shown = 0, fronts = 0, closes = 0;
    std::vector<std::string> questions;
    bool answer = true;
    std::function<void()> duringQuestion;
    void showState() override { ++shown; }
    void bringToFront() override { ++fronts; }
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        if (duringQuestion) duringQuestion();
        return answer;
    }
    void closeWindow() override {
        ++closes;
        model->onWindowGone();
    }
};

class BlockerWindowTest : public ::testing::Test {
  protected:
    FakePlatform p;
    InstallPaths paths{"C:\\Quillmoor"};
    EventLog log{p.fileSystem, p.codePage, p.eventLoop, paths.logTxt()};
    FakeHolderControl& control = p.holders;
    FakeBlockerFinder follow{p.eventLoop};
    Runner runner;
    Port port;
    std::unique_ptr<BlockerWindow> window;

    void SetUp() override { p.fileSystem.addFolder(paths.installDir()); }

    static Blocker holder(std::uint32_t pid, const std::string& name,
                          std::vector<std::string> files = {}, std::size_t count = 0) {
        Blocker b{pid, name};
        b.files = std::move(files);
        b.fileCount = count;
        return b;
    }
    static Blocker folderWindow(std::uint32_t pid, WindowId w, const std::string& folder) {
        Blocker b{pid, "explorer.exe"};
        b.kind = BlockerKind::FolderWindow;
        b.window = w;
        b.files = {folder};
        b.fileCount = 1;
        return b;
    }
    HeldDrive drive(std::vector<Blocker> holders) {
        HeldDrive d{'G', "1A2B", "KINGSTON", "G:\\", {}, std::move(holders)};
        d.query.letter = 'G';
        d.query.volumeDevice = "\\Device\\HarddiskVolume5";
        return d;
    }
    BlockerWindow& open(std::vector<Blocker> holders) {
        window = std::make_unique<BlockerWindow>(
            BlockerWindowDeps{control, follow, p.eventLoop, log, runner},
            drive(std::move(holders)));
        port.model = window.get();
        window->attach(&port);
        return *window;
    }
    // One look of the follow-up that finds `found`, to its end.
    void look(std::vector<Blocker> found, bool exhaustive = true) {
        follow.answer = std::move(found);
        follow.exhaustive = exhaustive;
        follow.takesMs = 0;
        p.eventLoop.tick += kBlockerFollowGapMs;
        window->tick();  // starts it
        window->tick();  // takes what it found
    }
    std::vector<std::string> headings() const {
        std::vector<std::string> out;
        for (const BlockerRow& r : window->rows()) out.push_back(RowHeading(r));
        return out;
    }
    std::vector<std::string> logTexts() { return LoggedTexts(p.fileSystem, p.codePage); }
    void addWord() {
        control.add(kWord, kWordStart, "C:\\Office\\WINWORD.EXE");
        control.addWindow(kWord, "");  // a title-less helper window in front
        control.addWindow(kWord, "报告.docx - Word");
    }
};

// --- rows ------------------------------------------------------------------

TEST_F(BlockerWindowTest, RowsNameEachHolderItsWindowItsFilesAndWhyItStays) {
    addWord();
    control.add(kNotepad, 5);
    control.add(kShell, 6);
    const WindowId photos = control.addFolderWindow(kShell, "photos");
    control.add(900, 7).facts.sameUser = false;
    control.add(901, 8).facts.sessionId = 0;
    control.add(902, 9);
    control.add(control.ownPid, 10);
    control.add(903, 11);  // exited before the window opened:
    control.exit(903);
    Blocker reused = holder(904, "old.exe", {"G:\\x"}, 1);
    reused.startTime = 1;  // the id went to another process since
    control.add(904, 2);

    BlockerWindow& w =
        open({holder(kWord, "WINWORD.EXE", {"G:\\报告.docx", "G:\\a.tmp", "G:\\b.tmp"}, 5),
              holder(kNotepad, "notepad.exe"), holder(kShell, "explorer.exe"),
              folderWindow(kShell, photos, "G:\\photos"), holder(900, "other.exe"),
              holder(901, "svchost2.exe"), holder(902, "SearchIndexer.exe"),
              holder(control.ownPid, "Quillmoor.exe"), holder(903, "gone.exe"), reused});

    EXPECT_EQ(w.caption(), "占用 G: 的程序");
    ASSERT_EQ(headings(),
              (std::vector<std::string>{"WINWORD.EXE (4312)", "notepad.exe (77)",
                                        "explorer.exe (1288)", "资源管理器窗口 (explorer.exe 1288)",
                                        "other.exe (900)", "svchost2.exe (901)",
                                        "SearchIndexer.exe (902)", "Quillmoor.exe (100)"}));
    const auto& rows = w.rows();
    EXPECT_EQ(RowWindowLine(rows[0]), "窗口: 报告.docx - Word");
    EXPECT_EQ(RowFilesLine(rows[0]), "文件: G:\\报告.docx, G:\\a.tmp, G:\\b.tmp 等 5 个");
    EXPECT_EQ(RowNote(rows[0]), "");
    EXPECT_EQ(rows[0].imagePath, "C:\\Office\\WINWORD.EXE");
    EXPECT_EQ(RowWindowLine(rows[1]), "窗口: 没有");
    EXPECT_EQ(RowFilesLine(rows[1]), "文件: 由系统记录得知, 具体文件未知");
    EXPECT_EQ(RowFilesLine(rows[3]), "文件夹: G:\\photos");
    EXPECT_EQ(RowWindowLine(rows[3]), "窗口: photos");
    const std::vector<Protection> protections = {
        Protection::None,      Protection::None,   Protection::Shell,   Protection::Shell,
        Protection::OtherUser, Protection::System, Protection::Indexer, Protection::Self};
    for (std::size_t i = 0; i < protections.size(); ++i) {
        SCOPED_TRACE(headings()[i]);
        EXPECT_EQ(rows[i].protection, protections[i]);
        // Every row that may not be ended says why, and what helps.
        if (i != 0 && i != 1) EXPECT_NE(RowNote(rows[i]), "");
    }
    EXPECT_EQ(RowNote(rows[3]), "关闭程序只关闭这个窗口");

    // The first row is selected; what its buttons do follows the selection.
    ASSERT_EQ(w.selected(), 0u);
    const auto buttonsOf = [&](std::size_t i) {
        w.select(i);
        const BlockerButtons b = w.buttons();
        return std::vector<bool>{b.switchTo, b.closeProgram, b.endProcess,
                                 b.retry,    b.forceEject,   b.cancel};
    };
    EXPECT_EQ(buttonsOf(0), (std::vector<bool>{true, true, true, true, true, true}));
    // No window: nothing to switch to or ask to close, but it may be ended.
    EXPECT_EQ(buttonsOf(1), (std::vector<bool>{false, false, true, true, true, true}));
    // The shell: never ended, nor its windows closed wholesale.
    EXPECT_EQ(buttonsOf(2), (std::vector<bool>{false, false, false, true, true, true}));
    // Its folder window: that window alone.
    EXPECT_EQ(buttonsOf(3), (std::vector<bool>{true, true, false, true, true, true}));
    for (std::size_t i = 4; i < rows.size(); ++i) {
        EXPECT_EQ(buttonsOf(i), (std::vector<bool>{false, false, false, true, true, true}));
    }
}

TEST_F(BlockerWindowTest, ProcessesThatMayNotBeEndedAreNeverEndedOrAskedAbout) {
    struct Case {
        const char* name;
        std::uint32_t pid;
        std::function<void(FakeHolderControl::Process&)> facts;
        Protection expected;
    };
    const std::vector<Case> cases = {
        {"explorer.exe", 1288, [](auto&) {}, Protection::Shell},
        {"EXPLORER.EXE", 1289, [](auto& p) { p.facts.sessionId = 2; }, Protection::Shell},
        {"System", 4, [](auto& p) { p.facts.state = ProcessState::Hidden; }, Protection::System},
        {"csrss.exe", 600, [](auto& p) { p.facts.sessionId = 1; }, Protection::System},
        {"service.exe", 601, [](auto& p) { p.facts.sessionId = 0; }, Protection::System},
        {"crit.exe", 602, [](auto& p) { p.facts.critical = true; }, Protection::System},
        {"SearchProtocolHost.exe", 603, [](auto&) {}, Protection::Indexer},
        {"MsMpEng.exe", 604, [](auto&) {}, Protection::Antivirus},
        {"word.exe", 605, [](auto& p) { p.facts.sameUser = false; }, Protection::OtherUser},
        {"guarded.exe", 606, [](auto& p) { p.facts.state = ProcessState::Hidden; },
         Protection::Hidden},
        // Running with more rights than this program: its user cannot be read.
        {"elevated.exe", 608,
         [](auto& p) {
             p.facts.userKnown = false;
             p.facts.sameUser = false;
         },
         Protection::Hidden},
        {"Quillmoor.exe", 100, [](auto&) {}, Protection::Self},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto& proc = control.add(c.pid, 50);
        control.addWindow(c.pid, "a window");
        c.facts(proc);
        BlockerWindow& w = open({holder(c.pid, c.name)});
        ASSERT_EQ(w.rows().size(), 1u);
        EXPECT_EQ(w.rows()[0].protection, c.expected);
        EXPECT_FALSE(w.buttons().endProcess);
        EXPECT_FALSE(w.buttons().closeProgram);
        EXPECT_FALSE(w.buttons().switchTo);
        w.onEndProcess();
        w.onCloseProgram();
        w.onSwitchTo();
    }
    EXPECT_TRUE(port.questions.empty());
    EXPECT_TRUE(control.ends.empty());
    EXPECT_TRUE(control.closePosted.empty());
    EXPECT_TRUE(control.broughtToFront.empty());
    EXPECT_TRUE(logTexts().empty());

    // Services in session 0 say nothing where this program runs in session 0 too.
    control.ownSession = 0;
    control.add(607, 51).facts.sessionId = 0;
    EXPECT_EQ(open({holder(607, "tool.exe")}).rows()[0].protection, Protection::None);
}

// --- following the holders ---------------------------------------------------

TEST_F(BlockerWindowTest, TheListFollowsHoldersThatComeGoAndLetGo) {
    addWord();
    control.add(kNotepad, 5);
    control.add(900, 7).facts.sameUser = false;  // the walk cannot see it
    BlockerWindow& w = open(
        {holder(kWord, "WINWORD.EXE"), holder(kNotepad, "notepad.exe"), holder(900, "other.exe")});
    w.select(1);

    // Looks come one after another, each off this thread, with a gap between.
    p.eventLoop.tick += kBlockerFollowGapMs;
    w.tick();
    ASSERT_EQ(follow.queries.size(), 1u);
    EXPECT_EQ(follow.queries[0].letter, 'G');
    EXPECT_EQ(follow.queries[0].volumeDevice, "\\Device\\HarddiskVolume5");
    follow.neverEnds = true;
    w.tick();
    p.eventLoop.tick += kBlockerFollowLimitMs - 1;
    w.tick();
    EXPECT_EQ(follow.alive, 1);
    EXPECT_TRUE(w.following());
    // A look that outlasts its limit is given up; the rows stay as they were.
    p.eventLoop.tick += 1;
    w.tick();
    EXPECT_EQ(follow.alive, 0);
    EXPECT_EQ(w.rows().size(), 3u);
    w.tick();
    EXPECT_EQ(follow.queries.size(), 1u);  // the gap again before the next
    follow.neverEnds = false;

    // A look cut short says nothing of who it did not find.
    look({holder(kWord, "WINWORD.EXE", {"G:\\报告.docx"}, 1)}, false);
    EXPECT_EQ(w.rows().size(), 3u);
    EXPECT_EQ(RowFilesLine(w.rows()[0]), "文件: G:\\报告.docx");

    // A whole look: notepad let go; the other user's program, which no look
    // can see, stays while it runs; a new holder joins.
    control.add(55, 60);
    look({holder(kWord, "WINWORD.EXE", {"G:\\报告.docx"}, 1), holder(55, "new.exe", {"G:\\n"}, 1)});
    EXPECT_EQ(headings(),
              (std::vector<std::string>{"WINWORD.EXE (4312)", "other.exe (900)", "new.exe (55)"}));
    // Notepad's place went to the row after it.
    EXPECT_EQ(w.selected(), 1u);

    // A holder that exits leaves at the next look, found or not; so does
    // one whose id now belongs to another process.
    control.exit(900);
    control.add(55, 61);
    look({holder(kWord, "WINWORD.EXE", {"G:\\报告.docx"}, 1), holder(900, "other.exe")}, false);
    EXPECT_EQ(headings(), (std::vector<std::string>{"WINWORD.EXE (4312)"}));
    EXPECT_EQ(w.selected(), 0u);
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_GT(port.shown, 0);
}

TEST_F(BlockerWindowTest, AnEmptiedListRetriesTheEjectOnceAndASuccessClosesTheWindow) {
    control.add(kNotepad, 5);
    BlockerWindow& w = open({holder(kNotepad, "notepad.exe")});
    // Messages run during the eject: the window's timer does nothing there.
    runner.during = [&] {
        p.eventLoop.tick += kBlockerFollowGapMs;
        w.tick();
        w.tick();
    };
    control.exit(kNotepad);
    look({}, true);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].letter, 'G');
    EXPECT_EQ(runner.calls[0].serial, "1A2B");
    EXPECT_FALSE(runner.calls[0].forced);
    EXPECT_EQ(follow.queries.size(), 1u);
    EXPECT_EQ(logTexts(),
              std::vector<std::string>{"占用程序已全部退出, 自动重试弹出 KINGSTON(G:): 失败"});
    EXPECT_TRUE(w.open());
    EXPECT_EQ(w.status(), "弹出失败。");
    // Once: the list staying empty retries no more.
    look({}, true);
    look({}, true);
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(logTexts().size(), 1u);

    // A new holder that lets go again is worth another try; one that finds
    // the program busy with another eject is tried at the next look,
    // unlogged, and then succeeds.
    control.add(56, 70);
    look({holder(56, "copy.exe", {"G:\\big.iso"}, 1)});
    EXPECT_EQ(w.rows().size(), 1u);
    runner.outcome = EjectOutcome::Busy;
    runner.during = nullptr;
    look({}, true);
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(logTexts().size(), 1u);
    runner.outcome = EjectOutcome::Removed;
    look({}, true);
    EXPECT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(logTexts().back(), "占用程序已全部退出, 自动重试弹出 KINGSTON(G:): 成功");
    EXPECT_FALSE(w.open());
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(w.following());
}

TEST_F(BlockerWindowTest, HoldersFoundByTheRetrysOwnRefusalDoNotRetryForEver) {
    // Only the system's record names it; the look does not see it holding
    // anything, so each look empties the list.
    control.add(kNotepad, 5);
    BlockerWindow& w = open({holder(kNotepad, "notepad.exe")});
    runner.during = [&] { w.holdersFound(drive({holder(kNotepad, "notepad.exe")})); };
    for (int i = 0; i < 4; ++i) look({}, true);
    EXPECT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(w.rows().size(), 0u);

    // Another eject of the drive (from the menu) finding it: news again.
    w.holdersFound(drive({holder(kNotepad, "notepad.exe")}));
    EXPECT_EQ(port.fronts, 2);
    look({}, true);
    EXPECT_EQ(runner.calls.size(), 2u);
}

// --- acting on a row -----------------------------------------------------------

TEST_F(BlockerWindowTest, EndingAsksFirstAndEndsOnlyTheProcessItAskedAbout) {
    control.add(kNotepad, 5);
    control.add(kWord, kWordStart);
    BlockerWindow& w = open({holder(kNotepad, "notepad.exe"), holder(kWord, "WINWORD.EXE")});

    port.answer = false;
    w.onEndProcess();
    ASSERT_EQ(port.questions.size(), 1u);
    EXPECT_EQ(port.questions[0],
              "确定要结束 notepad.exe (77) 吗?\r\n\r\n该程序中尚未保存的工作将会丢失。");
    EXPECT_TRUE(control.ends.empty());

    // The answer comes after notepad exited and its id went to another
    // program: that one is not touched.
    port.answer = true;
    port.duringQuestion = [&] {
        control.exit(kNotepad);
        control.add(kNotepad, 99);
    };
    w.onEndProcess();
    ASSERT_EQ(control.ends.size(), 1u);
    EXPECT_EQ(control.ends[0].startTime, 5u);
    EXPECT_EQ(control.ends[0].outcome, EndOutcome::Gone);
    EXPECT_EQ(control.processes[kNotepad].facts.state, ProcessState::Running);
    EXPECT_EQ(headings(), std::vector<std::string>{"WINWORD.EXE (4312)"});

    // Timer ticks inside the question neither look nor retry; a window
    // closed while it was open ends nothing.
    port.duringQuestion = [&] {
        p.eventLoop.tick += kBlockerFollowGapMs;
        w.tick();
        w.close();
    };
    w.onEndProcess();
    EXPECT_EQ(control.ends.size(), 1u);
    EXPECT_TRUE(follow.queries.empty());

    // Yes ends it.
    BlockerWindow& again = open({holder(kWord, "WINWORD.EXE")});
    port.duringQuestion = nullptr;
    control.processes[kWord].refusesEnd = true;
    again.onEndProcess();
    EXPECT_EQ(again.rows().size(), 1u);  // refused: it stays
    control.processes[kWord].refusesEnd = false;
    again.onEndProcess();
    EXPECT_EQ(control.ends.back().outcome, EndOutcome::Ended);
    EXPECT_EQ(control.ends.back().startTime, kWordStart);
    EXPECT_TRUE(again.rows().empty());
    EXPECT_EQ(logTexts(),
              (std::vector<std::string>{
                  "结束进程 notepad.exe (77): 已取消", "结束进程 notepad.exe (77): 进程已退出",
                  "结束进程 WINWORD.EXE (4312): 已取消", "结束进程 WINWORD.EXE (4312): 失败",
                  "结束进程 WINWORD.EXE (4312): 成功"}));
    // Emptied by the user's act: the next look retries the eject.
    look({}, true);
    EXPECT_EQ(runner.calls.size(), 1u);
}

TEST_F(BlockerWindowTest, CloseAsksEveryWindowOfTheProgramOrTheOneFolderWindow) {
    addWord();
    control.add(kShell, 6);
    const WindowId taskbar = control.addWindow(kShell, "");
    const WindowId photos = control.addFolderWindow(kShell, "photos");
    const WindowId other = control.addFolderWindow(kShell, "C:\\");
    BlockerWindow& w =
        open({holder(kWord, "WINWORD.EXE"), folderWindow(kShell, photos, "G:\\photos")});

    w.onCloseProgram();
    EXPECT_EQ(control.closePosted,
              (std::vector<WindowId>{control.processes[kWord].windows[0].window,
                                     control.processes[kWord].windows[1].window}));
    EXPECT_EQ(w.status(), "已请求程序关闭; 它可能会询问是否保存。");
    // Asking is all: the program may ask about its unsaved work first.
    EXPECT_EQ(w.rows().size(), 2u);

    w.select(1);
    control.closePosted.clear();
    w.onCloseProgram();
    EXPECT_EQ(control.closePosted, std::vector<WindowId>{photos});
    EXPECT_NE(control.closePosted[0], taskbar);
    EXPECT_NE(control.closePosted[0], other);
    // Closed by the user meanwhile: nothing is sent, and the row goes.
    control.folderWindows.erase(photos);
    w.onCloseProgram();
    EXPECT_EQ(control.closePosted.size(), 1u);
    EXPECT_EQ(w.rows().size(), 1u);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"关闭程序 WINWORD.EXE (4312): 已发送关闭请求",
                                                    "关闭资源管理器窗口 G:\\photos: 已发送关闭请求",
                                                    "关闭资源管理器窗口 G:\\photos: 窗口已关闭"}));
}

TEST_F(BlockerWindowTest, SwitchBringsForwardTheProgramsWindowAsItIsNow) {
    addWord();
    BlockerWindow& w = open({holder(kWord, "WINWORD.EXE")});
    const WindowId shown = w.rows()[0].mainWindow;
    EXPECT_EQ(shown, control.processes[kWord].windows[1].window);  // the titled one
    w.onSwitchTo();
    EXPECT_EQ(control.broughtToFront, std::vector<WindowId>{shown});

    // That window closed, another opened since the row was shown.
    control.processes[kWord].windows.clear();
    const WindowId later = control.addWindow(kWord, "新文档 - Word", true);
    w.onSwitchTo();
    EXPECT_EQ(control.broughtToFront.back(), later);
    control.processes[kWord].windows.clear();
    w.onSwitchTo();
    control.exit(kWord);
    w.onSwitchTo();
    EXPECT_EQ(control.broughtToFront.size(), 2u);
    EXPECT_EQ(logTexts(),
              (std::vector<std::string>{
                  "切换到 WINWORD.EXE (4312): 成功", "切换到 WINWORD.EXE (4312): 成功",
                  "切换到 WINWORD.EXE (4312): 没有窗口", "切换到 WINWORD.EXE (4312): 进程已退出"}));
    EXPECT_TRUE(w.rows().empty());
}

TEST_F(BlockerWindowTest, RetryAndForceRunTheProgramsEjectAndSayHowItWent) {
    control.add(kNotepad, 5);
    BlockerWindow& w = open({holder(kNotepad, "notepad.exe")});
    // While an eject runs every button but cancel rests, and a click that
    // gets through anyway starts nothing.
    runner.during = [&] {
        EXPECT_TRUE(w.ejecting());
        const BlockerButtons b = w.buttons();
        EXPECT_FALSE(b.retry || b.forceEject || b.endProcess || b.switchTo || b.closeProgram);
        EXPECT_TRUE(b.cancel);
        w.onRetry();
        w.onForceEject();
    };
    w.onRetry();
    runner.outcome = EjectOutcome::Busy;
    w.onRetry();
    EXPECT_EQ(w.status(), "另一个弹出正在进行, 请稍候再试。");
    runner.outcome = EjectOutcome::Cancelled;
    w.onForceEject();
    EXPECT_TRUE(w.open());
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_TRUE(runner.calls[2].forced);

    // The drive pulled during the eject closes the window under it.
    runner.outcome = EjectOutcome::Failed;
    runner.during = [&] { w.close(); };
    w.onRetry();
    EXPECT_FALSE(w.open());
    EXPECT_EQ(port.closes, 1);
    w.onRetry();  // closed: nothing more
    EXPECT_EQ(runner.calls.size(), 4u);

    BlockerWindow& forced = open({holder(kNotepad, "notepad.exe")});
    runner.during = nullptr;
    runner.outcome = EjectOutcome::Removed;
    forced.onForceEject();
    EXPECT_FALSE(forced.open());
    EXPECT_EQ(logTexts(),
              (std::vector<std::string>{
                  "重试弹出 KINGSTON(G:): 失败", "重试弹出 KINGSTON(G:): 另一个弹出正在进行",
                  "强制弹出 KINGSTON(G:): 已取消", "重试弹出 KINGSTON(G:): 失败",
                  "强制弹出 KINGSTON(G:): 成功"}));
}

// --- one window per drive ------------------------------------------------------

struct FakeViews final : BlockerViewFactory {
    BlockerWindowTest* test = nullptr;
    std::function<BlockerWindowDeps()> deps;
    std::vector<std::unique_ptr<BlockerWindow>> models;
    std::vector<std::unique_ptr<Port>> ports;
    bool fail = false;
    BlockerWindow* openWindow(const HeldDrive& drive) override {
        if (fail) return nullptr;
        models.push_back(std::make_unique<BlockerWindow>(deps(), drive));
        ports.push_back(std::make_unique<Port>());
        ports.back()->model = models.back().get();
        models.back()->attach(ports.back().get());
        return models.back().get();
    }
};

TEST_F(BlockerWindowTest, OneWindowPerDriveLetterEachClosingWithItsDrive) {
    FakeViews views;
    views.deps = [this] { return BlockerWindowDeps{control, follow, p.eventLoop, log, runner}; };
    BlockerWindowSet set(views);
    control.add(kNotepad, 5);
    control.add(kWord, 6);
    HeldDrive g = drive({holder(kNotepad, "notepad.exe")});
    HeldDrive h = drive({holder(kWord, "WINWORD.EXE")});
    h.letter = 'H';
    h.serial = "9999";

    set.showHolders(g);
    set.showHolders(h);
    EXPECT_EQ(set.openCount(), 2u);
    // A second refusal for G: shows in its window, brought to the front.
    set.showHolders(drive({holder(kWord, "WINWORD.EXE")}));
    ASSERT_EQ(views.models.size(), 2u);
    EXPECT_EQ(views.models[0]->rows().size(), 2u);
    EXPECT_EQ(views.ports[0]->fronts, 1);
    EXPECT_EQ(set.windowOf('g'), views.models[0].get());

    // Another stick in G: now: the old window goes, a new one comes.
    HeldDrive other = drive({holder(kWord, "WINWORD.EXE")});
    other.serial = "5555";
    set.showHolders(other);
    EXPECT_FALSE(views.models[0]->open());
    ASSERT_EQ(views.models.size(), 3u);
    EXPECT_EQ(set.windowOf('G'), views.models[2].get());

    // A refresh without H: closes H's window only.
    set.keepDrives([](char letter, const std::string&) { return letter == 'G'; });
    EXPECT_FALSE(views.models[1]->open());
    EXPECT_TRUE(views.models[2]->open());
    // A model that goes is forgotten; the program ending closes the rest.
    views.models[0].reset();
    set.closeAll();
    EXPECT_EQ(set.openCount(), 0u);
    EXPECT_EQ(views.ports[2]->closes, 1);
    views.fail = true;
    set.showHolders(g);
    EXPECT_EQ(set.openCount(), 0u);
    EXPECT_TRUE(logTexts().empty());
}

// --- layout ----------------------------------------------------------------------

TEST(BlockerLayoutTest, EveryTextFitsAndNothingOverlapsInEveryLanguageAndFontAtEveryScale) {
    const auto inside = [](const PixelBox& inner, std::int32_t width, std::int32_t height) {
        return inner.left >= 0 && inner.top >= 0 && inner.left + inner.width <= width &&
               inner.top + inner.height <= height;
    };
    const auto apart = [](const PixelBox& a, const PixelBox& b) {
        return a.left + a.width <= b.left || b.left + b.width <= a.left ||
               a.top + a.height <= b.top || b.top + b.height <= a.top;
    };
    const auto withoutMarks = [](std::string text) {
        std::erase(text, '&');
        return text;
    };
    ForEveryLanguageFontAndDpi({72, 96, 120, 144, 192, 288}, [&](const EmFont& font) {
        const int dpi = font.dpi;
        const Scale s{dpi, dpi};
        BlockerTextMetrics m;
        m.lineHeight = font.lineHeight();
        for (TrayText t : kBlockerButtonTexts)
            m.widestButton = std::max(m.widestButton, font.width(withoutMarks(Text(t))));
        m.widestLine = font.width(Text(TrayText::BlockersHeading, {"G"}));
        for (TrayText t : kBlockerStatusTexts)
            m.widestLine = std::max(m.widestLine, font.width(Text(t)));
        const BlockerLayout l = LayOutBlockerWindow(s, m);

        std::vector<PixelBox> top = {l.heading, l.list, l.status};
        top.insert(top.end(), l.buttons.begin(), l.buttons.end());
        for (std::size_t i = 0; i < top.size(); ++i) {
            EXPECT_TRUE(inside(top[i], l.clientWidth, l.clientHeight)) << i;
            for (std::size_t j = i + 1; j < top.size(); ++j)
                EXPECT_TRUE(apart(top[i], top[j])) << i << " " << j;
        }
        EXPECT_GE(l.heading.height, m.lineHeight);
        EXPECT_GE(l.heading.width, m.widestLine);
        EXPECT_GE(l.status.width, m.widestLine);
        for (const PixelBox& b : l.buttons) {
            EXPECT_GE(b.height, m.lineHeight);
            EXPECT_GE(b.width, m.widestButton + s.x(blockerdesign::kButtonPadX));
        }
        // The rows and the scroll bar inside the list's sunken edge.
        const std::int32_t listInner = l.list.width - 4, listInnerHeight = l.list.height - 4;
        EXPECT_LE(static_cast<std::int32_t>(blockerdesign::kVisibleRows) * l.row.height,
                  listInnerHeight);
        EXPECT_TRUE(inside(l.scroll, listInner, listInnerHeight));
        EXPECT_TRUE(apart(l.row, l.scroll));
        std::vector<PixelBox> parts = {l.rowIcon};
        parts.insert(parts.end(), l.rowLines.begin(), l.rowLines.end());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            EXPECT_TRUE(inside(parts[i], l.row.width, l.row.height)) << i;
            for (std::size_t j = i + 1; j < parts.size(); ++j)
                EXPECT_TRUE(apart(parts[i], parts[j]));
        }
        EXPECT_GE(l.rowLines[0].height, m.lineHeight);
    });
    // Everything grows with the screen.
    EXPECT_EQ(LayOutBlockerWindow(Scale{192, 192}, {32, 0, 0}).clientWidth,
              2 * LayOutBlockerWindow(Scale{96, 96}, {16, 0, 0}).clientWidth);
}

TEST(BlockerLayoutTest, TheWindowRestsBesideTheNoticesAndTheSelectedRowInView) {
    const Scale s{96, 96};
    const PixelBox work{0, 0, 1024, 570};
    // Beside the notice in the corner, bottoms aligned; a question in the
    // middle of the screen is not in the way.
    const PixelBox at =
        PlaceBesideNotices(work, 554, 300, {{700, 460, 316, 102}, {350, 200, 316, 150}}, s);
    EXPECT_EQ(at.left + at.width, 700 - 8);
    EXPECT_EQ(at.top + at.height, 570 - 8);
    EXPECT_EQ(PlaceBesideNotices(work, 554, 300, {}, s).left, 1024 - 8 - 554);
    // No room beside it: inside the work area all the same.
    const PixelBox squeezed =
        PlaceBesideNotices({100, 50, 600, 300}, 554, 400, {{300, 200, 380, 100}}, s);
    EXPECT_EQ(squeezed.left, 100);
    EXPECT_EQ(squeezed.top, 50);

    EXPECT_EQ(FirstVisibleRow(0, 2, 4, 3), 0u);
    EXPECT_EQ(FirstVisibleRow(0, 5, 4, 9), 2u);
    EXPECT_EQ(FirstVisibleRow(4, 1, 4, 9), 1u);
    EXPECT_EQ(FirstVisibleRow(8, std::nullopt, 4, 6), 2u);  // rows left since
    EXPECT_EQ(FirstVisibleRow(3, 4, 4, 9), 3u);
}

}  // namespace
}  // namespace qm
