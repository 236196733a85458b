// The game loop without a display: tick counting, the PrintScreen fix,
// settings, screen switching, the quit state, window close, the dialog stack
// with blocked dialogs, key routing and console expiry. Ticks are fed by
// hand, so every run is the same.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "al5gcn/allegro5input.hpp"
#include "dax2/dax_clock.h"
#include "dax2/dax_dialog_ifc.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "gcn/gui.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/container.hpp"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

// ---------------------------------------------------------------------------
// Tick counting.

struct TickCase {
    const char* name;
    int pending;
    bool dialog;
    bool runs_game;
    bool catches_up;
    int max_skip;
    int ticks;
    int game_ticks;
    int dropped;
    int pending_after;
};

TEST(LoopTicks, PendingTicksRunByTheStatesRules) {
    const TickCase cases[] = {
        {"nothing pending", 0, false, true, true, 0, 0, 0, 0, 0},
        {"one tick per frame", 5, false, true, false, 0, 1, 1, 0, 4},
        {"menu screen runs no game", 3, false, false, false, 0, 1, 0, 0, 2},
        {"catch-up stops after max_skip + 2", 10, false, true, true, 0, 2, 2, 8, 0},
        {"larger max_skip", 10, false, true, true, 3, 5, 5, 5, 0},
        {"short backlog runs whole", 2, false, true, true, 0, 2, 2, 0, 0},
        {"single tick", 1, false, true, true, 0, 1, 1, 0, 0},
        {"dialog on a catching-up screen runs all", 10, true, true, true, 0, 10, 0, 0, 0},
        {"dialog on a plain screen runs one", 4, true, true, false, 0, 1, 0, 0, 3},
        {"catch-up without game", 10, false, false, true, 1, 3, 0, 7, 0},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.name);
        int pending = c.pending;
        int gui = 0;
        int game = 0;
        DaxTickStep step;
        step.dialog_on_top = c.dialog;
        step.runs_game = c.runs_game;
        step.catches_up = c.catches_up;
        step.max_skip = c.max_skip;
        DaxTickResult r = daxRunLogicTicks(pending, step, [&] { ++gui; }, [&] { ++game; });
        EXPECT_EQ(r.ticks, c.ticks);
        EXPECT_EQ(gui, c.ticks);
        EXPECT_EQ(r.game_ticks, c.game_ticks);
        EXPECT_EQ(game, c.game_ticks);
        EXPECT_EQ(r.dropped, c.dropped);
        EXPECT_EQ(pending, c.pending_after);
        EXPECT_EQ(r.logic_ran, c.ticks > 0);
    }
}

TEST(LoopStats, ASecondTurnsTimesIntoPercentages) {
    DaxLoopStats s;
    s.ticks = 30;
    s.flips = 29;
    s.passes = 900;
    s.logic_time = 250;
    s.draw_time = 500;
    s.flip_time = 1;
    s.rollSecond(1000);
    EXPECT_EQ(s.last_ticks, 30);
    EXPECT_EQ(s.last_flips, 29);
    EXPECT_EQ(s.last_passes, 900);
    EXPECT_EQ(s.last_logic_pct, 25);
    EXPECT_EQ(s.last_draw_pct, 50);
    EXPECT_EQ(s.last_flip_pct, 0);
    EXPECT_EQ(s.ticks + s.flips + s.passes, 0);
    EXPECT_EQ(s.logic_time + s.draw_time + s.flip_time, 0u);
}

// ---------------------------------------------------------------------------
// PrintScreen.

ALLEGRO_EVENT keyboardEvent(ALLEGRO_EVENT_TYPE type, int keycode, int unichar = 0) {
    ALLEGRO_EVENT e{};
    e.type = type;
    e.keyboard.type = type;
    e.keyboard.keycode = keycode;
    e.keyboard.unichar = unichar;
    e.keyboard.repeat = false;
    return e;
}

std::vector<ALLEGRO_EVENT_TYPE> typesOf(const std::vector<ALLEGRO_EVENT>& events) {
    std::vector<ALLEGRO_EVENT_TYPE> out;
    for (const ALLEGRO_EVENT& e : events) {
        out.push_back(e.type);
    }
    return out;
}

TEST(LoopPrintScreen, AReleaseWithoutPressBecomesDownCharAndUp) {
    DaxPrintScreenFix fix;
    auto out = fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_PRINTSCREEN));
    EXPECT_EQ(typesOf(out), (std::vector<ALLEGRO_EVENT_TYPE>{ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_EVENT_KEY_CHAR,
                                                             ALLEGRO_EVENT_KEY_UP}));
    for (const ALLEGRO_EVENT& e : out) {
        EXPECT_EQ(e.keyboard.keycode, ALLEGRO_KEY_PRINTSCREEN);
        EXPECT_FALSE(e.keyboard.repeat);
    }
}

TEST(LoopPrintScreen, ACompletePressAndOtherKeysPassUnchanged) {
    DaxPrintScreenFix fix;
    EXPECT_EQ(fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_PRINTSCREEN)).size(), 1u);
    EXPECT_TRUE(fix.keyIsDown());
    EXPECT_EQ(fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_PRINTSCREEN)).size(), 1u);
    EXPECT_EQ(fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_PRINTSCREEN)).size(), 1u);
    EXPECT_FALSE(fix.keyIsDown());
    // A second press that again delivers only the release is fixed again.
    EXPECT_EQ(fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_PRINTSCREEN)).size(), 3u);
    EXPECT_EQ(fix.process(keyboardEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_A, 'a')).size(), 1u);
}

// ---------------------------------------------------------------------------
// Console expiry.

TEST(LoopConsole, LinesExpireByTheirTimeoutAndImportantOnesHoldAll) {
    const uint32_t now = 5000;
    auto entry = [](uint32_t time, bool important) { return DaxConsoleEntry{"x", time, important}; };
    std::deque<DaxConsoleEntry> plain{entry(now - 400, false), entry(now - 300, false), entry(now - 299, false)};
    EXPECT_FALSE(DaxGameLoop::expireConsole(plain, now, 300, 900));
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain.front().time, now - 299);

    // One important line: every line keeps for the error timeout.
    std::deque<DaxConsoleEntry> mixed{entry(now - 400, false), entry(now - 900, false), entry(now - 10, true)};
    EXPECT_TRUE(DaxGameLoop::expireConsole(mixed, now, 300, 900));
    EXPECT_EQ(mixed.size(), 3u);  // the front line is young enough

    // Ages are unsigned differences: a line from before the counter wrapped.
    std::deque<DaxConsoleEntry> wrapped{entry(0xFFFFFF00u, false)};
    EXPECT_FALSE(DaxGameLoop::expireConsole(wrapped, 0x10u, 300, 900));
    EXPECT_EQ(wrapped.size(), 1u);
    EXPECT_FALSE(DaxGameLoop::expireConsole(wrapped, 0x200u, 300, 900));
    EXPECT_TRUE(wrapped.empty());
}

// ---------------------------------------------------------------------------
// The loop itself, without a display.

class CountingContainer : public gcn::Container {
public:
    void logic() override {
        ++logic_count;
        if (on_logic) {
            on_logic();
        }
        gcn::Container::logic();
    }
    int logic_count = 0;
    std::function<void()> on_logic;
};

class LoopScreen : public DaxSubMenuIfc {
public:
    LoopScreen(int id, std::vector<std::string>& log) : id_(id), log_(log) {}
    ~LoopScreen() override { log_.push_back("delete screen " + std::to_string(id_)); }
    void keyPressed(gcn::KeyEvent& event) override {
        log_.push_back("screen key " + std::to_string(event.getKey().getValue()));
    }
    gcn::Container* getContainer() override { return &container; }
    CountingContainer container;

private:
    int id_;
    std::vector<std::string>& log_;
};

class LoopDialog : public DaxDialogIfc {
public:
    LoopDialog(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    ~LoopDialog() override { log_.push_back("delete " + name_); }
    void keyPressed(gcn::KeyEvent& event) override {
        log_.push_back(name_ + " key " + std::to_string(event.getKey().getValue()));
    }
    gcn::Container* getContainer() override { return &container; }
    bool isFinished() override { return finished; }
    CountingContainer container;
    bool finished = false;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class TestCallback : public DaxLoopGameCallback {
public:
    void updateGame() override { ++updates; }
    void windowClosing() override { ++closings; }
    bool dialogsBlocked() override { return blocked; }
    int updates = 0;
    int closings = 0;
    bool blocked = false;
};

class LoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        handler_ = std::make_unique<DaxMenuHandler>();
        // 1: a menu screen; 2: the running game (catches up); 10: the end.
        handler_->registerMenu(1, [this](int id) { return screen(id); }, 1, false, false);
        handler_->registerMenu(2, [this](int id) { return screen(id); }, 2, true, false);
        handler_->registerMenu(10, nullptr, 1, false, true);
        loop_ = std::make_unique<DaxGameLoop>(&callback_);
        loop_->setManualTicks(true);
        loop_->start();
        dax_gameclock.reset();
    }
    void TearDown() override {
        loop_.reset();
        handler_->deleteAllInstances();
        handler_.reset();
    }
    DaxSubMenuIfc* screen(int id) {
        auto* s = new LoopScreen(id, log_);
        screens_[id] = s;
        return s;
    }
    // One pass with n logic ticks pending.
    void pass(int ticks = 1) {
        loop_->addPendingTicks(ticks);
        loop_->step();
    }
    LoopDialog* dialog(const std::string& name) { return new LoopDialog(name, log_); }

    TestCallback callback_;
    std::unique_ptr<DaxMenuHandler> handler_;
    std::unique_ptr<DaxGameLoop> loop_;
    std::map<int, LoopScreen*> screens_;
    std::vector<std::string> log_;
};

TEST_F(LoopTest, TheLoopIsTheGlobalLoopWhileItLives) {
    EXPECT_EQ(dax_game_loop, loop_.get());
    loop_.reset();
    EXPECT_EQ(dax_game_loop, nullptr);
}

TEST_F(LoopTest, ScreensSwitchAtTheStartOfAFrameAndTheGameRunsOnlyWhereFlagged) {
    handler_->requestState(1);
    pass();
    ASSERT_EQ(loop_->screenGui()->getTop(), &screens_[1]->container);
    EXPECT_EQ(screens_[1]->container.logic_count, 1);
    EXPECT_EQ(callback_.updates, 0);

    // A menu screen does one tick per frame and keeps the rest pending.
    pass(3);
    EXPECT_EQ(screens_[1]->container.logic_count, 2);
    EXPECT_EQ(loop_->pendingTicks(), 2);

    // A request during logic takes effect on the next frame.
    screens_[1]->container.on_logic = [this] { handler_->requestState(2); };
    pass(0);  // the leftover ticks: screen 1 still runs one of them
    EXPECT_EQ(loop_->screenGui()->getTop(), &screens_[1]->container);
    loop_->step();
    ASSERT_EQ(loop_->screenGui()->getTop(), &screens_[2]->container);
    // Entering the class-2 game screen deleted the class-1 menu screen.
    EXPECT_EQ(handler_->heldInstance(1), nullptr);
    EXPECT_NE(std::find(log_.begin(), log_.end(), "delete screen 1"), log_.end());

    // The game screen catches up: a backlog of ten runs two game ticks and
    // is dropped.
    const double before = dax_gameclock.rawTime();
    callback_.updates = 0;
    pass(10);
    EXPECT_EQ(callback_.updates, 2);
    EXPECT_EQ(loop_->lastTicks().dropped, 8);
    EXPECT_EQ(loop_->pendingTicks(), 0);
    EXPECT_GT(dax_gameclock.rawTime(), before);
}

TEST_F(LoopTest, WithoutFrameTimerEveryPassRunsOneTick) {
    loop_->finish();
    loop_->setManualTicks(false);  // and no readConfig: no frame timer
    loop_->start();
    handler_->requestState(2);
    loop_->runPasses(3);
    EXPECT_EQ(callback_.updates, 3);
    EXPECT_EQ(screens_[2]->container.logic_count, 3);
}

TEST_F(LoopTest, TheQuitStateEndsTheLoop) {
    handler_->requestState(1);
    pass();
    handler_->requestState(10);
    EXPECT_EQ(loop_->runPasses(5), 1);
    EXPECT_TRUE(loop_->ended());
    EXPECT_FALSE(loop_->step());
    EXPECT_EQ(handler_->currentState(), 10);
}

TEST_F(LoopTest, ClosingTheWindowTellsTheGameOnceAndLeavesThroughStateZero) {
    handler_->requestState(2);
    pass();
    ALLEGRO_EVENT close{};
    close.type = ALLEGRO_EVENT_DISPLAY_CLOSE;
    loop_->handleEvent(close);
    EXPECT_EQ(callback_.closings, 1);
    EXPECT_EQ(handler_->requestedState(), 0);
    EXPECT_FALSE(loop_->ended());  // the next frame leaves
    EXPECT_EQ(loop_->runPasses(5), 1);
    EXPECT_TRUE(loop_->ended());
    EXPECT_EQ(handler_->currentState(), 0);
    EXPECT_EQ(callback_.closings, 1);
}

TEST_F(LoopTest, TheTopDialogGetsTheTicksAndIsDeletedOnceFinished) {
    handler_->requestState(2);
    pass();
    LoopDialog* a = dialog("a");
    loop_->pushDialog(a);
    pass(3);
    EXPECT_EQ(loop_->dialogGui()->getTop(), &a->container);
    // A dialog on a catching-up screen takes every pending tick; the game
    // waits.
    EXPECT_EQ(a->container.logic_count, 3);
    EXPECT_EQ(callback_.updates, 1);

    a->finished = true;
    pass();
    EXPECT_TRUE(loop_->dialogs().empty());
    EXPECT_EQ(loop_->dialogGui()->getTop(), nullptr);
    EXPECT_EQ(log_.back(), "delete a");
    pass();
    EXPECT_EQ(callback_.updates, 2);
}

TEST_F(LoopTest, ADialogPushedByAFinishingDialogSurvives) {
    handler_->requestState(1);
    pass();
    LoopDialog* a = dialog("a");
    LoopDialog* b = dialog("b");
    loop_->pushDialog(a);
    // a's ok handler posts a message whose dialog is pushed in the same pass.
    a->container.on_logic = [&] {
        a->finished = true;
        loop_->pushDialog(b);
    };
    pass();
    ASSERT_EQ(loop_->dialogs().size(), 1u);
    EXPECT_EQ(loop_->dialogs().front(), b);
    EXPECT_EQ(log_.back(), "delete a");
    pass();
    EXPECT_EQ(loop_->dialogGui()->getTop(), &b->container);
    EXPECT_EQ(b->container.logic_count, 1);
}

TEST_F(LoopTest, BlockedDialogsWaitWithoutLogic) {
    handler_->requestState(2);
    pass();
    callback_.blocked = true;
    LoopDialog* a = dialog("a");
    int a_logic = 0;
    a->container.on_logic = [&] { ++a_logic; };
    loop_->pushDialog(a);
    a->finished = true;  // not even checked while blocked
    pass(2);
    EXPECT_EQ(a_logic, 0);
    EXPECT_EQ(loop_->dialogGui()->getTop(), nullptr);
    EXPECT_EQ(loop_->dialogs().size(), 1u);
    EXPECT_EQ(callback_.updates, 3);  // the screen and the game go on

    callback_.blocked = false;
    pass();
    EXPECT_EQ(a_logic, 1);  // drawn and run once, then finished
    EXPECT_TRUE(loop_->dialogs().empty());
    EXPECT_EQ(log_.back(), "delete a");
}

TEST_F(LoopTest, NullAndRepeatedPushesAreIgnoredAndLeftDialogsGoWithTheLoop) {
    LoopDialog* a = dialog("a");
    loop_->pushDialog(nullptr);
    loop_->pushDialog(a);
    loop_->pushDialog(a);
    EXPECT_EQ(loop_->dialogs().size(), 1u);
    loop_.reset();
    EXPECT_EQ(log_, (std::vector<std::string>{"delete a"}));
}

TEST_F(LoopTest, KeysGoToTheTopDialogElseToTheScreen) {
    handler_->requestState(1);
    pass();
    gcn::KeyEvent e1 = keyPressEvent('a');
    loop_->keyPressed(e1);
    LoopDialog* d = dialog("d");
    loop_->pushDialog(d);
    callback_.blocked = true;  // keys reach the dialog even then
    gcn::KeyEvent e2 = keyPressEvent('b');
    loop_->keyPressed(e2);
    gcn::KeyEvent e3 = keyPressEvent('c');
    e3.consume();
    loop_->keyPressed(e3);
    EXPECT_EQ(log_, (std::vector<std::string>{"screen key 97", "d key 98"}));
}

TEST_F(LoopTest, KeyEventsReachTheGuiThroughThePrintScreenFix) {
    handler_->requestState(1);
    pass();
    loop_->handleEvent(keyboardEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_PRINTSCREEN));
    gcn::Allegro5Input* input = loop_->input();
    ASSERT_FALSE(input->isKeyQueueEmpty());
    gcn::KeyInput down = input->dequeueKeyInput();
    EXPECT_EQ(down.getKey().getValue(), gcn::Key::PrintScreen);
    EXPECT_EQ(down.getType(), gcn::KeyInput::Pressed);
    ASSERT_FALSE(input->isKeyQueueEmpty());
    gcn::KeyInput up = input->dequeueKeyInput();
    EXPECT_EQ(up.getKey().getValue(), gcn::Key::PrintScreen);
    EXPECT_EQ(up.getType(), gcn::KeyInput::Released);
    EXPECT_TRUE(input->isKeyQueueEmpty());
}

TEST_F(LoopTest, FrameTimerTicksAndSecondsAreCountedByTheirSource) {
    TempDir dir;
    std::string saved_user = dax_config.user_dir_;
    dax_config.user_dir_ = dir.path();
    loop_->readConfig(dir.write("zor.ini", "[daxk_timers]\nnormal_fps=20\n").c_str());
    dax_config.user_dir_ = saved_user;
    daxIniOpenBase(nullptr);
    ALLEGRO_EVENT tick{};
    tick.type = ALLEGRO_EVENT_TIMER;
    tick.timer.source = loop_->frameTimer();
    loop_->handleEvent(tick);
    loop_->handleEvent(tick);
    EXPECT_EQ(loop_->pendingTicks(), 2);
    tick.timer.source = loop_->statsTimer();
    loop_->handleEvent(tick);
    EXPECT_EQ(loop_->pendingTicks(), 2);
}

TEST_F(LoopTest, AScreenWithoutContainerIsAFatalCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    handler_->registerMenu(3, [](int) -> DaxSubMenuIfc* { return nullptr; }, 1, false, false);
    handler_->requestState(3);
    EXPECT_DEATH(pass(), "dax2.dax_gameloop:316 no top widget for gui");
}

// ---------------------------------------------------------------------------
// Settings.

class LoopConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_user_ = dax_config.user_dir_;
        dax_config.user_dir_ = dir_.path();
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        dax_config.user_dir_ = saved_user_;
    }
    TempDir dir_;
    std::string saved_user_;
};

TEST_F(LoopConfigTest, SettingsComeFromBaseAndUserIniAndMakeTheTimers) {
    dir_.write("user.ini",
               "[daxk_debug]\nloop_display=1\nloop_x=5\nloop_y=-20\nconsole_msg_timeout=4\n"
               "console_err_timeout=2\n"
               "[daxk_timers]\nnormal_fps=99\n");
    std::string base = dir_.write("zor.ini",
                                  "[daxk]\nkeyboard_repeat=0\n"
                                  "[daxk_timers]\nmax_skip=2\nrest_dur_ms=5\nnormal_fps=25\n");
    DaxGameLoop loop(nullptr);
    loop.readConfig(base.c_str());
    EXPECT_EQ(loop.loopDisplay(), 1);
    EXPECT_EQ(loop.loopX(), 5);
    EXPECT_EQ(loop.loopY(), -20);
    EXPECT_EQ(loop.consoleMsgTimeout(), 400);
    EXPECT_EQ(loop.consoleErrTimeout(), 400);  // raised to the message timeout
    EXPECT_FALSE(loop.keyboardRepeat());
    EXPECT_EQ(loop.maxSkip(), 2);
    EXPECT_EQ(loop.restDurMs(), 5);
    EXPECT_EQ(loop.normalFps(), 25);  // the timers are read from the base only
    ASSERT_NE(loop.frameTimer(), nullptr);
    EXPECT_DOUBLE_EQ(al_get_timer_speed(loop.frameTimer()), 1.0 / 25);
    ASSERT_NE(loop.statsTimer(), nullptr);
    EXPECT_DOUBLE_EQ(al_get_timer_speed(loop.statsTimer()), 1.0);
    EXPECT_TRUE(daxIniOverlay().path().empty());

    // Reading again gives the same values, not timeouts a hundred times
    // longer.
    loop.readConfig(base.c_str());
    EXPECT_EQ(loop.consoleMsgTimeout(), 400);

    // Key repeat is kept unless switched off; it reaches the gui input.
    loop.start();
    EXPECT_TRUE(loop.input()->getIgnoreKeyRepeat());
    loop.finish();
}

TEST_F(LoopConfigTest, DefaultsWithoutIniFiles) {
    DaxGameLoop loop(nullptr);
    loop.readConfig(dir_.file("missing.ini").c_str());
    EXPECT_TRUE(loop.keyboardRepeat());
    EXPECT_EQ(loop.maxSkip(), 0);
    EXPECT_EQ(loop.restDurMs(), 1);
    EXPECT_EQ(loop.normalFps(), 0);
    EXPECT_EQ(loop.frameTimer(), nullptr);  // every frame runs one tick
    EXPECT_NE(loop.statsTimer(), nullptr);
    EXPECT_EQ(loop.loopY(), -1);
    EXPECT_EQ(loop.consoleMsgTimeout(), 300);
    EXPECT_EQ(loop.consoleErrTimeout(), 900);
}

}  // namespace
