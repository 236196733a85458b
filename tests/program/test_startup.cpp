// The program from start to end in a real window: configuration read from
// "zor.ini" and the user ini, the first screen shown, and the two ways out
// (its Quit button and closing the window).
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_platform.h"
#include "rn.h"
#include "rn_gui_dialogs.h"
#include "rn_gui_startup.h"
#include "rn_menu_game.h"
#include "rn_menu_main.h"
#include "support/temp_dir.h"

namespace {

const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof(buf)), nullptr);
        old_cwd_ = buf;
        dir_.write("zor.ini", std::string("[daxk]\nshrt_name=zt\nlong_name=ZorTest\n"
                                          "[daxk_fonts]\ndefault_font=") +
                                  kFont +
                                  "\ndefault_fontw=12\ndefault_fonth=12\n"
                                  "[daxk_timers]\nnormal_fps=30\n"
                                  "[menu]\ngame_side_width=123\n"
                                  "[scrolling]\nmouse_sensitivity=1.5\n");
        dir_.write("lang.ini", "[system]\nlanguage=en\n");
        dir_.write("home/ZorTest/data/zt.en.txt", "1026 Leave\n");
        // The main menu runs the initial-data script each time it is shown.
        dir_.write("home/ZorTest/data/initial_load.lua", "logmsg(\"initial data\")\n");
        dir_.write("home/ZorTest/user.ini",
                   "[scrolling]\nmouse_sensitivity=2.5\n[daxk_debug]\ndebug_enable=1\ndebug_level=2\n");
        setenv("XDG_DATA_HOME", dir_.file("home").c_str(), 1);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(old_cwd_.c_str()), 0); }

    // A left click at a point of the display, as Allegro reports it.
    static void click(DaxGameLoop& loop, int x, int y) {
        for (ALLEGRO_EVENT_TYPE type :
             {ALLEGRO_EVENT_MOUSE_AXES, ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, ALLEGRO_EVENT_MOUSE_BUTTON_UP}) {
            ALLEGRO_EVENT ev{};
            ev.type = type;
            ev.mouse.x = x;
            ev.mouse.y = y;
            ev.mouse.button = 1;
            ev.mouse.display = al_get_current_display();
            loop.handleEvent(ev);
            loop.addPendingTicks(1);
            loop.runPasses(2);
        }
    }

    TempDir dir_;
    std::string old_cwd_;
};

TEST_F(StartupTest, StartsOnTheFirstScreenAndLeavesThroughItsQuitButton) {
    DaxMenuHandler menus;
    bool shown = false;
    bool ended = false;
    std::string caption;
    rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        loop.addPendingTicks(1);
        loop.runPasses(3);
        shown = dax_menu_handler->currentState() == 1;
        auto* menu = dynamic_cast<RnMainMenu*>(dax_menu_handler->getInstance(1));
        ASSERT_NE(menu, nullptr);
        caption = menu->quitButton().getCaption();
        int x = 0, y = 0;
        menu->quitButton().getAbsolutePosition(x, y);
        click(loop, x + menu->quitButton().getWidth() / 2, y + menu->quitButton().getHeight() / 2);
        loop.addPendingTicks(1);
        loop.runPasses(5);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(caption, "Leave");
    EXPECT_TRUE(ended);
    // The game's sections: the base file, with the user ini over it.
    EXPECT_EQ(grn_config.game_side_width_, 123);
    EXPECT_FLOAT_EQ(grn_config.mouse_sensitivity_, 2.5f);
    EXPECT_NE(dax_config.window_title_.find("ZorTest 0.11.1.22"), std::string::npos);
    // The screens' changes are in the log (closed here so it is complete).
    DaxLog::reset();
    std::string log = TempDir::read(dir_.file("home/ZorTest/zt.log"));
    EXPECT_NE(log.find("menu change state 1"), std::string::npos);
    EXPECT_NE(log.find("menu change state 10"), std::string::npos);
}

TEST_F(StartupTest, AnErrorReachingTheStartEndsTheProgramWithItsText) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
    dir_.write("zor.ini", std::string("[daxk]\nshrt_name=zt\nlong_name=ZorTest\n"
                                      "[daxk_fonts]\ndefault_font=") +
                              kFont + "\ndefault_fontw=12\ndefault_fonth=12\n[menu]\ngame_mini_size=big\n");
    DaxMenuHandler menus;
    // The loop never runs: reading the game's keys raises first.
    EXPECT_DEATH(rnRunProgram(daxExecutablePath().c_str(), [](DaxGameLoop&) {}),
                 "src\\\\rn:169 .*value for \\[menu\\]\\.game_mini_size not an int");
}

TEST_F(StartupTest, ClosingTheWindowEndsTheProgram) {
    DaxMenuHandler menus;
    bool ended = false;
    rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        loop.addPendingTicks(1);
        loop.runPasses(3);
        ALLEGRO_EVENT ev{};
        ev.type = ALLEGRO_EVENT_DISPLAY_CLOSE;
        ev.display.source = al_get_current_display();
        loop.handleEvent(ev);
        loop.runPasses(3);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_TRUE(ended);
}

}  // namespace

namespace {

TEST_F(StartupTest, VersionAndBuildingDialogsOpenOnTheLoop) {
    DaxMenuHandler menus;
    rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        showVersionInfoDialog();
        ASSERT_EQ(loop.dialogs().size(), 1u);
        auto* version = dynamic_cast<DaxDialog*>(loop.dialogs().back());
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version->textBox().getText().rfind("Version Info:\n" + dax_config.window_title_ + "\n\n", 0), 0u);

        // A building without a dialog of its own shows its texts in a plain one.
        ASSERT_NE(grn_building_dialogs, nullptr);
        DaxDialogIfc* plain = grn_building_dialogs->createTextDialog("Road", "level 2");
        auto* text_dialog = dynamic_cast<DaxDialog*>(plain);
        ASSERT_NE(text_dialog, nullptr);
        EXPECT_EQ(text_dialog->textBox().getText(), "level 2");
        delete plain;

        dax_menu_handler->requestState(kRnStateQuit);
        loop.addPendingTicks(1);
        loop.runPasses(3);
        loop.finish();
    });
    EXPECT_EQ(grn_building_dialogs, nullptr);
}

}  // namespace
