// The screen state machine: registration, requests and the call stack,
// lifetime classes, flags for the loop, menu data, key handling with
// screenshots, cursors without bitmaps and the restart.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/events.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/container.hpp"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

// A screen that records its creation, deletion and the keys it gets.
class TestScreen : public DaxSubMenuIfc {
public:
    TestScreen(int id, std::vector<std::string>& log) : id_(id), log_(log) {
        log_.push_back("new " + std::to_string(id_));
    }
    ~TestScreen() override { log_.push_back("delete " + std::to_string(id_)); }
    void keyPressed(gcn::KeyEvent& event) override {
        log_.push_back("key " + std::to_string(id_) + " " + std::to_string(event.getKey().getValue()));
        DaxSubMenuIfc::keyPressed(event);
    }
    gcn::Container* getContainer() override { return &container_; }

private:
    int id_;
    std::vector<std::string>& log_;
    gcn::Container container_;
};

class TestMenuData : public DaxMenuData {
public:
    explicit TestMenuData(int& deleted) : deleted_(deleted) {}
    ~TestMenuData() override { ++deleted_; }

private:
    int& deleted_;
};

class MenuHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_enable_ = dax_config.debug_enable_;
        saved_user_dir_ = dax_config.user_dir_;
        saved_shot_dir_ = dax_config.screenshot_dir_;
        saved_suffix_ = dax_config.screenshot_suffix_;
        saved_shrt_ = dax_config.shrt_name_;
        saved_exe_ = dax_config.exe_fullpath_;
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 1;
        dax_config.user_dir_ = dir_.path();
        dax_config.screenshot_dir_ = dir_.file("shots/");
        dax_config.screenshot_suffix_ = "png";
        dax_config.shrt_name_ = "zor";
        DaxLog::reset();
        handler_ = std::make_unique<DaxMenuHandler>();
    }
    void TearDown() override {
        handler_->deleteAllInstances();
        handler_.reset();
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        daxSetMsgBoxHook({});
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.debug_enable_ = saved_enable_;
        dax_config.user_dir_ = saved_user_dir_;
        dax_config.screenshot_dir_ = saved_shot_dir_;
        dax_config.screenshot_suffix_ = saved_suffix_;
        dax_config.shrt_name_ = saved_shrt_;
        dax_config.exe_fullpath_ = saved_exe_;
        DaxLog::reset();
    }

    DaxMenuCreator creator() {
        return [this](int id) -> DaxSubMenuIfc* { return new TestScreen(id, log_); };
    }
    void registerStates(const std::vector<std::pair<int, int>>& id_lifetime) {
        for (auto [id, lifetime] : id_lifetime) {
            handler_->registerMenu(id, creator(), lifetime, false, false);
        }
    }
    // Requests a state and performs the change as the loop's frame does.
    gcn::Container* go(int id, bool push = true) {
        if (push) {
            handler_->requestState(id);
        } else {
            handler_->requestStateNoPush(id);
        }
        gcn::Container* top = handler_->takeNewTopWidget();
        if (top) {
            handler_->deleteUnneededInstances();
        }
        return top;
    }

    TempDir dir_;
    std::unique_ptr<DaxMenuHandler> handler_;
    std::vector<std::string> log_;
    int saved_level_ = 0, saved_ltype_ = 0, saved_enable_ = 0;
    std::string saved_user_dir_, saved_shot_dir_, saved_suffix_, saved_shrt_, saved_exe_;
};

TEST_F(MenuHandlerTest, ConstructionReplacesTheGlobalHandlerAndTheDestructorPutsItBack) {
    DaxMenuHandler* outer = dax_menu_handler;
    EXPECT_EQ(outer, handler_.get());
    {
        DaxMenuHandler inner;
        EXPECT_EQ(dax_menu_handler, &inner);
    }
    EXPECT_EQ(dax_menu_handler, outer);
}

TEST_F(MenuHandlerTest, RegistrationRefusesBadIdsDuplicatesAndMissingCreators) {
    handler_->registerMenu(5, creator(), 1, true, false);
    EXPECT_TRUE(loggedLine("menu register state 5: lifetime 1, run ----"));

    struct Case {
        int id;
        bool with_creator;
        bool quit;
        const char* error;
    };
    const Case cases[] = {
        {0, true, false, "id must be > 0: 0"},
        {-3, true, false, "id must be > 0: -3"},
        {5, true, false, "menu already registered: 5"},
        {7, false, false, "missing pointer to creator instance for id=7"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(raisedBy([&] { handler_->registerMenu(c.id, c.with_creator ? creator() : nullptr, 1, false, c.quit); }),
                  c.error);
    }
    // A quit state needs no creator; its instance is null.
    handler_->registerMenu(10, nullptr, 1, false, true);
    EXPECT_TRUE(loggedLine("menu register state 10: lifetime 1, --- quit"));
    EXPECT_EQ(handler_->getInstance(10), nullptr);
    EXPECT_TRUE(loggedLine("menu reuse existing instance of 10"));
}

TEST_F(MenuHandlerTest, RequestingTheCurrentStateChangesAndLogsNothing) {
    registerStates({{1, 1}});
    go(1);
    DaxLog::reset();
    handler_->requestState(1);
    handler_->requestStateNoPush(1);
    EXPECT_TRUE(consoleTexts().empty());
    EXPECT_EQ(handler_->takeNewTopWidget(), nullptr);
    EXPECT_EQ(handler_->currentState(), 1);
    // Only the empty start state was pushed, by the first change.
    EXPECT_EQ(handler_->callStack(), std::deque<int>({0}));
}

TEST_F(MenuHandlerTest, BackToCallerRestoresTheStackAndReusesAKeptScreen) {
    registerStates({{1, 3}, {2, 3}, {3, 3}});
    gcn::Container* first = go(1, false);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(handler_->callStack().empty());
    go(2);
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1}));
    go(3);
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1, 2}));

    handler_->backToCaller();
    EXPECT_TRUE(loggedLine("menu request back to caller"));
    // The caller leaves the stack only when the change happens.
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1, 2}));
    handler_->takeNewTopWidget();
    EXPECT_EQ(handler_->currentState(), 2);
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1}));

    handler_->backToCaller();
    EXPECT_EQ(handler_->takeNewTopWidget(), first);  // class 3 kept the screen
    EXPECT_TRUE(handler_->callStack().empty());
    EXPECT_EQ(raisedBy([&] { handler_->backToCaller(); }), "call stack is empty");
    // Each screen was built once.
    EXPECT_EQ(log_, (std::vector<std::string>{"new 1", "new 2", "new 3"}));
}

TEST_F(MenuHandlerTest, RequestingTheStateOnTopOfTheStackActsLikeGoingBack) {
    registerStates({{1, 3}, {2, 3}, {3, 3}});
    go(1, false);
    go(2);
    go(3);
    go(2);  // with push, but 2 is the caller on top
    EXPECT_EQ(handler_->currentState(), 2);
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1}));
}

TEST_F(MenuHandlerTest, NoStateStandsTwiceInTheCallStack) {
    registerStates({{1, 3}, {2, 3}, {3, 3}, {4, 3}});
    go(1, false);
    go(2);
    go(3);
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1, 2}));
    go(1, false);  // 1 is current again while it stands at the bottom
    EXPECT_TRUE(loggedLine("menu request new state 1 do not push caller"));
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1, 2}));
    go(4);  // leaving 1 cuts the stack back below it, then pushes it once
    EXPECT_EQ(handler_->callStack(), std::deque<int>({1}));
    EXPECT_EQ(handler_->currentState(), 4);
}

TEST_F(MenuHandlerTest, LifetimeClassesDecideWhichScreensGo) {
    struct Case {
        int enter;
        std::vector<int> kept;
    };
    // States 1 and 4 are class 1, 2 and 5 class 2, 3 and 6 class 3.
    const Case cases[] = {
        {1, {1}},
        {2, {2, 5}},
        {3, {1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enter);
        DaxMenuHandler h;
        for (int id = 1; id <= 6; ++id) {
            h.registerMenu(id, creator(), (id - 1) % 3 + 1, false, false);
            h.getInstance(id);
        }
        h.requestState(c.enter);
        ASSERT_NE(h.takeNewTopWidget(), nullptr);
        h.deleteUnneededInstances();
        std::vector<int> kept;
        for (int id = 1; id <= 6; ++id) {
            if (h.heldInstance(id)) {
                kept.push_back(id);
            }
        }
        EXPECT_EQ(kept, c.kept);
        h.deleteAllInstances();
    }
    EXPECT_TRUE(loggedLine("menu delete unneeded instance of 4"));
}

TEST_F(MenuHandlerTest, FlagsOfTheCurrentState) {
    handler_->registerMenu(1, creator(), 1, false, false);
    handler_->registerMenu(2, creator(), 2, true, false);
    handler_->registerMenu(10, nullptr, 1, false, true);
    // State 0 at the start: the exit state.
    EXPECT_TRUE(handler_->currentQuits());
    EXPECT_FALSE(handler_->currentRunsGame());
    EXPECT_FALSE(handler_->currentCatchesUp());

    go(2);
    EXPECT_TRUE(handler_->currentRunsGame());
    EXPECT_FALSE(handler_->currentQuits());
    EXPECT_TRUE(handler_->currentCatchesUp());
    go(1);
    EXPECT_FALSE(handler_->currentRunsGame());
    EXPECT_FALSE(handler_->currentCatchesUp());
    EXPECT_EQ(go(10), nullptr);
    EXPECT_TRUE(handler_->currentQuits());

    handler_->requestState(99);
    EXPECT_EQ(raisedBy([&] { handler_->takeNewTopWidget(); }), "state is not registered: 99");
    EXPECT_EQ(raisedBy([&] { handler_->currentQuits(); }), "wrong current state");
    EXPECT_EQ(raisedBy([&] { handler_->currentRunsGame(); }), "wrong current state");
}

TEST_F(MenuHandlerTest, InstancesAreCreatedOnceAndDeletedOnRequest) {
    registerStates({{1, 3}});
    EXPECT_EQ(handler_->getInstance(0), nullptr);
    DaxSubMenuIfc* a = handler_->getInstance(1);
    EXPECT_EQ(handler_->getInstance(1), a);
    EXPECT_TRUE(loggedLine("menu create new instance of 1"));
    EXPECT_TRUE(loggedLine("menu reuse existing instance of 1"));
    handler_->deleteInstance(0);
    handler_->deleteInstance(1);
    EXPECT_TRUE(loggedLine("menu delete instance of 1"));
    EXPECT_EQ(handler_->heldInstance(1), nullptr);
    handler_->deleteInstance(1);  // nothing left to delete
    EXPECT_EQ(log_, (std::vector<std::string>{"new 1", "delete 1"}));
    EXPECT_EQ(raisedBy([&] { handler_->getInstance(4); }), "state is not registered: 4");
    EXPECT_EQ(raisedBy([&] { handler_->deleteInstance(4); }), "state is not registered: 4");
}

TEST_F(MenuHandlerTest, MenuDataIsOwnedAndReplaced) {
    int deleted = 0;
    auto* a = new TestMenuData(deleted);
    handler_->setMenuData(a);
    EXPECT_EQ(handler_->getMenuData(), a);
    handler_->setMenuData(new TestMenuData(deleted));
    EXPECT_EQ(deleted, 1);
    handler_->releaseMenuData();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(handler_->getMenuData(), nullptr);
    handler_->setMenuData(new TestMenuData(deleted));
    handler_.reset();  // the handler's end deletes what it holds
    EXPECT_EQ(deleted, 3);
    handler_ = std::make_unique<DaxMenuHandler>();
}

TEST_F(MenuHandlerTest, KeysGoToTheCurrentScreenUnlessConsumed) {
    registerStates({{1, 1}});
    go(1);
    gcn::KeyEvent a = keyPressEvent('a');
    handler_->dispatchKey(a);
    gcn::KeyEvent b = keyPressEvent('b');
    b.consume();
    handler_->dispatchKey(b);
    EXPECT_EQ(log_, (std::vector<std::string>{"new 1", "key 1 97"}));
    EXPECT_FALSE(a.isConsumed());
}

TEST_F(MenuHandlerTest, F1EndsTheProgramOnlyInDebugMode) {
    registerStates({{1, 1}});
    go(1);
    dax_config.debug_enable_ = 0;
    gcn::KeyEvent f1 = keyPressEvent(gcn::Key::F1);
    handler_->dispatchKey(f1);
    EXPECT_EQ(handler_->requestedState(), 1);

    dax_config.debug_enable_ = 1;
    handler_->dispatchKey(f1);
    EXPECT_EQ(handler_->requestedState(), 0);
    EXPECT_TRUE(loggedLine("menu request new state 0"));
    handler_->takeNewTopWidget();
    EXPECT_TRUE(handler_->currentQuits());
}

TEST_F(MenuHandlerTest, ScreenshotKeysCountInTheUserIniAndPostTheFileName) {
    dax_strings.addString(120, "screenshot saved:", true);
    registerStates({{1, 1}});
    go(1);
    const int keys[] = {gcn::Key::F4, gcn::Key::PrintScreen};
    const char* names[] = {"zor_0002.png", "zor_0003.png"};
    for (int i = 0; i < 2; ++i) {
        gcn::KeyEvent e = keyPressEvent(keys[i]);
        handler_->dispatchKey(e);
        EXPECT_TRUE(e.isConsumed());
        ASSERT_FALSE(dax_msgmgr.history().empty());
        const DaxMessage& m = dax_msgmgr.history().back();
        EXPECT_EQ(m.number_, 0);
        EXPECT_EQ(m.text_, std::string("screenshot saved: ") + names[i]);
        EXPECT_TRUE(m.pos_.isNone());
    }
    // The counter is written back through the user ini, which is closed.
    EXPECT_NE(TempDir::read(dir_.file("user.ini")).find("counter=3"), std::string::npos);
    EXPECT_TRUE(daxIniOverlay().path().empty());
    // No display here: the failed save is logged, the message posted anyway.
    EXPECT_TRUE(loggedLine("can't save screenshot " + dir_.file("shots/zor_0003.png")));

    // Other keys pass untouched.
    gcn::KeyEvent other = keyPressEvent('x');
    handler_->dispatchKey(other);
    EXPECT_FALSE(other.isConsumed());
}

TEST_F(MenuHandlerTest, ScreenshotNamesTakeTheWholeShortNameAndAnyCounter) {
    struct Case {
        const char* shrt_name;
        const char* counter;  // null: no user ini yet
        const char* file;
        const char* next;
    };
    const std::string long_name(60, 'n');
    const Case cases[] = {
        {"zor", nullptr, "zor_0002.png", "counter=2"},
        {"zor", "41", "zor_0042.png", "counter=42"},
        {"zor", "123456", "zor_123457.png", "counter=123457"},
        {long_name.c_str(), "7", nullptr, "counter=8"},
        // At the top of the range the counter starts again instead of
        // overflowing.
        {"zor", "2147483647", "zor_0001.png", "counter=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counter ? c.counter : "none");
        std::remove(dir_.file("user.ini").c_str());
        if (c.counter) {
            dir_.write("user.ini", std::string("[screenshots]\ncounter=") + c.counter + "\n");
        }
        dax_config.shrt_name_ = c.shrt_name;
        const std::string file = c.file ? c.file : long_name + "_0008.png";
        EXPECT_EQ(daxTakeScreenshot(), dir_.file("shots/") + file);
        EXPECT_NE(TempDir::read(dir_.file("user.ini")).find(c.next), std::string::npos);
    }
}

TEST_F(MenuHandlerTest, MissingCursorBitmapsFallBackToTheSystemCursor) {
    handler_->setMouseCursor(3);
    EXPECT_TRUE(loggedLine("mouse pointer mouse 3 not found, try to use variant 0 instead"));
    EXPECT_TRUE(loggedLine("mouse pointer mouse 0 not found"));
    DaxLog::reset();
    handler_->setMouseCursor(0);
    EXPECT_FALSE(loggedLine("mouse pointer mouse 0 not found, try to use variant 0 instead"));
    EXPECT_TRUE(loggedLine("mouse pointer mouse 0 not found"));
    handler_->setBusyCursor();
    handler_->setDefaultCursor();
}

TEST_F(MenuHandlerTest, RestartSavesTheSettingsAndExecutesTheProgramItself) {
    dax_config.exe_fullpath_ = "./zor";
    std::string user_ini = dir_.file("user.ini");
    daxIniOpenOverlay(user_ini.c_str());
    daxIniSetString("daxk", "resolution", "800 600");

    std::string exec_path, arg0, ini_at_exec;
    bool argv_ends = false;
    handler_->setExecFunction([&](const char* path, char* const argv[]) {
        exec_path = path;
        arg0 = argv[0];
        argv_ends = argv[1] == nullptr;
        ini_at_exec = TempDir::read(user_ini);
        errno = ENOENT;
        return -1;
    });
    std::vector<std::string> boxes;
    daxSetMsgBoxHook([&](const std::string& title, const std::string&, const std::string& text, int) {
        boxes.push_back(title + ": " + text);
        return 0;
    });
    handler_->restartProgram();

    EXPECT_EQ(exec_path, daxExecutablePath());
    EXPECT_EQ(arg0, exec_path);
    EXPECT_TRUE(argv_ends);
    EXPECT_NE(ini_at_exec.find("resolution=800 600"), std::string::npos);
    // A failed exec is reported and the program goes on.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Error: can't restart " + exec_path + ": " + std::strerror(ENOENT));
}

TEST_F(MenuHandlerTest, RestartWithoutProgramPathIsAFatalCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dax_config.exe_fullpath_.clear();
    EXPECT_DEATH(handler_->restartProgram(), "dax2.dax_menu_ifc:347 dax_config.exe_fullpath_.length\\(\\) > 0");
}

}  // namespace
