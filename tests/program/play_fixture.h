// The player's hands on the running program and the folder it plays in:
// input as Allegro events through the game loop, a frame after each, the
// points of widgets and tiles, pictures of what the screen shows, and
// building through the build menu. Shared by the tests that play the game.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_platform.h"
#include "gcn/gui.hpp"
#include "rn_gui_startup.h"
#include "rn_mainmap.h"
#include "rn_map.h"
#include "rn_menu_game.h"
#include "rn_menu_loading.h"
#include "rn_menu_main.h"
#include "rn_menu_newgame.h"
#include "support/temp_dir.h"

namespace playtest {

namespace fs = std::filesystem;

inline const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data";

// The player's hands on one running loop: every input goes through Allegro
// events into the loop, and each is followed by a frame.
class Player {
public:
    explicit Player(DaxGameLoop& loop) : loop_(loop) {}

    size_t dialogCount() const { return loop_.dialogs().size(); }

    // Frames with one logic tick each.
    void frames(int n) {
        for (int i = 0; i < n && !loop_.ended(); ++i) {
            loop_.addPendingTicks(1);
            loop_.runPasses(1);
        }
    }
    void mouse(ALLEGRO_EVENT_TYPE type, int x, int y, int button) {
        ALLEGRO_EVENT ev{};
        ev.type = type;
        ev.mouse.x = x;
        ev.mouse.y = y;
        ev.mouse.button = static_cast<unsigned>(button);
        ev.mouse.display = al_get_current_display();
        loop_.handleEvent(ev);
        frames(1);
    }
    void moveTo(int x, int y) { mouse(ALLEGRO_EVENT_MOUSE_AXES, x, y, 0); }
    void click(int x, int y, int button = 1) {
        moveTo(x, y);
        mouse(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, x, y, button);
        mouse(ALLEGRO_EVENT_MOUSE_BUTTON_UP, x, y, button);
    }
    // Presses at one point, moves to the other in steps, releases there.
    void drag(int x0, int y0, int x1, int y1) {
        moveTo(x0, y0);
        mouse(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, x0, y0, 1);
        for (int i = 1; i <= 8; ++i) moveTo(x0 + (x1 - x0) * i / 8, y0 + (y1 - y0) * i / 8);
        mouse(ALLEGRO_EVENT_MOUSE_BUTTON_UP, x1, y1, 1);
    }
    void clickWidget(gcn::Widget& w) {
        int x = 0;
        int y = 0;
        w.getAbsolutePosition(x, y);
        click(x + w.getWidth() / 2, y + w.getHeight() / 2);
    }
    // A key as Allegro reports a press: down, the character, up.
    void key(int keycode, int unichar) {
        for (ALLEGRO_EVENT_TYPE type : {ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_EVENT_KEY_UP}) {
            ALLEGRO_EVENT ev{};
            ev.type = type;
            ev.keyboard.keycode = keycode;
            ev.keyboard.unichar = type == ALLEGRO_EVENT_KEY_CHAR ? unichar : 0;
            ev.keyboard.display = al_get_current_display();
            loop_.handleEvent(ev);
        }
        frames(1);
    }
    void type(const std::string& text) {
        for (char c : text) {
            const int lower = c | 0x20;
            key(lower >= 'a' && lower <= 'z' ? ALLEGRO_KEY_A + (lower - 'a') : ALLEGRO_KEY_SPACE, c);
        }
    }
    // The tile's centre on the screen.
    void tilePoint(int tx, int ty, int& x, int& y) const {
        float sx = 0.0f;
        float sy = 0.0f;
        grn_pmainmap->mapToScreen(sx, sy, static_cast<float>(tx) + 0.5f, static_cast<float>(ty) + 0.5f);
        int wx = 0;
        int wy = 0;
        grn_pmainmap->getAbsolutePosition(wx, wy);
        x = static_cast<int>(sx) + wx;
        y = static_cast<int>(sy) + wy;
    }
    // Plays on for game hours (at most 2000 frames), reading and closing
    // the advice that comes; returns the game hours that passed.
    uint32_t playHours(uint32_t hours) {
        const DaxGameTime start = dax_gameclock.gameTime();
        for (int i = 0; i < 2000 && dax_gameclock.gameTime().hoursSince(start) < hours; ++i) {
            closeMessages();
            frames(1);
        }
        closeMessages();
        return dax_gameclock.gameTime().hoursSince(start);
    }
    // From the main menu: "New game", the first map, "Start".
    void startNewGame();
    // The loading screen's stages, "Start playing", and the first advice
    // read and closed: the run screen of the town loaded.
    void enterFromLoading();
    // startNewGame and enterFromLoading: the run screen of a new town.
    void enterNewGame() {
        startNewGame();
        enterFromLoading();
    }
    // A day's advice waits in a message dialog, which holds the game: the
    // player reads it and closes it with Enter.
    void closeMessages() {
        for (int i = 0; i < 4 && dialogCount() != 0; ++i) {
            key(ALLEGRO_KEY_ENTER, 13);
            frames(1);
        }
        ASSERT_EQ(dialogCount(), 0u);
    }
    // Builds a type of the build menu from one tile to another (a drag
    // for more than one tile), then ends build mode with a right click.
    void placeFromMenu(RnRunGameMenu& game, const std::string& name, int tx0, int ty0, int tx1, int ty1);
    // Saves what the screen shows, its dialog included, as a PNG.
    bool screenshot(const std::string& path) {
        ALLEGRO_DISPLAY* display = al_get_current_display();
        ALLEGRO_BITMAP* shot = al_create_bitmap(al_get_display_width(display), al_get_display_height(display));
        if (!shot) return false;
        ALLEGRO_BITMAP* old = al_get_target_bitmap();
        al_set_target_bitmap(shot);
        loop_.screenGui()->draw();
        if (loop_.dialogGui()->getTop()) loop_.dialogGui()->draw();
        loop_.drawOverlays(al_get_display_height(display));
        al_set_target_bitmap(old);
        const bool ok = al_save_bitmap(path.c_str(), shot);
        al_destroy_bitmap(shot);
        return ok;
    }

private:
    DaxGameLoop& loop_;
};

class PlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof(buf)), nullptr);
        old_cwd_ = buf;
        // The sample world as the program finds it: zor.ini beside it, the
        // data folder in the user's data folder.
        ASSERT_TRUE(TempDir::copy(kData + "/zor.ini", dir_.file("zor.ini")));
        dir_.write("lang.ini", "[system]\nlanguage=en\n");
        fs::create_directories(dir_.file("home/Zor"));
        fs::create_symlink(kData, dir_.file("home/Zor/data"));
        setenv("XDG_DATA_HOME", dir_.file("home").c_str(), 1);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override {
        // The log file goes with the folder; the next test opens its own,
        // once its run has read its settings: what the next run logs before
        // must not reopen this one. A run reads the debug filter only while
        // its user settings enable debugging, so a filter one test set is
        // not left to the next.
        DaxLog::reset();
        dax_config.log_path_.clear();
        dax_config.debug_enable_ = 0;
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 1;
        ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    }

    // Runs the program on a loop ticked by hand, the player's hands on it
    // after three frames of the first screen; the program's result.
    static int runPlaying(const std::function<void(DaxGameLoop&, Player&)>& play) {
        return rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
            loop.setManualTicks(true);
            loop.start();
            Player p(loop);
            p.frames(3);
            play(loop, p);
        });
    }

    // The program's log, once it is closed: not empty, and without an
    // error or warning.
    void expectCleanLog() {
        DaxLog::reset();
        const std::string log = TempDir::read(dir_.file("home/Zor/zor.log"));
        EXPECT_FALSE(log.empty());
        for (const char* mark : {"ERR", "rror", "failed", "not found", "arning"}) {
            EXPECT_EQ(log.find(mark), std::string::npos) << mark << " in the log:\n" << log;
        }
    }

    // Free land for a street: a row of `length` tiles at y where roads may
    // go, with two rows above it where buildings may go, near the middle.
    static bool findStreet(int length, int& x0, int& y0) {
        const int n = grn_map.size();
        for (int r = 0; r < n / 2; ++r) {
            for (int y = n / 2 - r; y <= n / 2 + r; ++y) {
                for (int x = n / 2 - r - length / 2; x <= n / 2 + r; ++x) {
                    bool ok = true;
                    for (int i = 0; i < length && ok; ++i) {
                        for (int dy = -2; dy <= 0 && ok; ++dy) {
                            ok = grn_map.isOnMap(x + i, y + dy) &&
                                 grn_map.canBuildArea(x + i, y + dy, 1, 1, false, 0);
                        }
                    }
                    if (ok) {
                        x0 = x;
                        y0 = y;
                        return true;
                    }
                }
            }
        }
        return false;
    }

    TempDir dir_;
    std::string old_cwd_;
};

template <class T>
T* screen(int state) {
    return dynamic_cast<T*>(dax_menu_handler->heldInstance(state));
}

// The build-menu button of a type name, after opening its menu.
inline BuildMenuButton* menuButton(RnRunGameMenu& game, const std::string& name, int& menu) {
    for (int i = 1; i <= 11; ++i) {
        for (auto& [n, b] : game.buildMenu(i).buttons) {
            if (n == name) {
                menu = i;
                return b.get();
            }
        }
    }
    return nullptr;
}

inline void Player::startNewGame() {
    clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->newGameButton());
    frames(2);
    auto* new_game = screen<RnNewGameMenu>(kRnStateNewGame);
    ASSERT_NE(new_game, nullptr);
    new_game->listBox().setSelected(0);
    clickWidget(new_game->startButton());
}

inline void Player::enterFromLoading() {
    frames(10);
    auto* loading = screen<RnLoadingMenu>(kRnStateLoading);
    ASSERT_NE(loading, nullptr);
    ASSERT_TRUE(loading->failure().empty()) << loading->failure();
    clickWidget(loading->enterButton());
    frames(2);
    ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
    closeMessages();
}

inline void Player::placeFromMenu(RnRunGameMenu& game, const std::string& name, int tx0, int ty0, int tx1,
                                  int ty1) {
    int menu = 0;
    BuildMenuButton* b = menuButton(game, name, menu);
    ASSERT_NE(b, nullptr) << name;
    clickWidget(*game.buildMenu(menu).main);
    ASSERT_TRUE(game.isSubmenuOpen());
    clickWidget(*b);
    ASSERT_EQ(game.mode(), b->kind());
    int ax = 0, ay = 0, bx = 0, by = 0;
    tilePoint(tx0, ty0, ax, ay);
    tilePoint(tx1, ty1, bx, by);
    if (ax == bx && ay == by) {
        moveTo(ax + 1, ay);
        click(ax, ay);
    } else {
        drag(ax, ay, bx, by);
    }
    click(ax, ay, 2);  // a right click ends build mode
    EXPECT_EQ(game.mode(), 0);
}

}  // namespace playtest
