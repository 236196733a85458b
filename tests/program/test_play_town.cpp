// A whole game as a player plays it, through the program's own window and
// input: a new town on the sample map built through the build menu, a few
// game days at top speed, a building's dialog and the overview, a quick
// save, a save under a typed name, back to the main menu, "Continue", the
// named save loaded from the load screen, and the loaded town the same as
// the saved one down to the bytes it saves. Pictures of the way go into the
// build folder ("town_*.png") with the program's log ("town_play.log"),
// which must stay free of errors.
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_platform.h"
#include "rn.h"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_gui_startup.h"
#include "rn_mainmap_mini.h"
#include "rn_menu_loadsave.h"
#include "rn_menu_main.h"
#include "rn_menu_options.h"
#include "rn_menu_overview.h"
#include "play_fixture.h"
#include "support/save_bytes.h"
#include "support/town_facts.h"

namespace {

using namespace playtest;
using savebytes::firstDifference;
using savebytes::unpacked;

// What the player sees of the town, and where the view is.
std::string townAndView() {
    const auto centre = grn_pmainmap->viewCentre();
    return townfacts::facts() + "view " + std::to_string(centre.first) + "," + std::to_string(centre.second) + "\n";
}

TEST_F(PlayTest, ATownSavedLeftAndLoadedAgainIsTheSameTown) {
    const std::string pictures = std::string(ZOR_BINARY_DIR) + "/town_";
    const std::vector<std::string> shots = {"built", "dialog", "overview", "continued", "loaded", "later"};
    for (const std::string& s : shots) std::remove((pictures + s + ".png").c_str());
    const std::string saves = dir_.file("home/Zor/saves/");
    const std::string named = "Ostwald am Fluss";
    // A log that tells what the program did, loads and checks of saves
    // included.
    dir_.write("home/Zor/user.ini", "[daxk_debug]\ndebug_enable=1\ndebug_level=2\ndebug_ltype=1\n");
    DaxMenuHandler menus;
    bool ended = false;
    int rc = rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        Player p(loop);
        p.frames(3);
        auto shot = [&](const std::string& name) { EXPECT_TRUE(p.screenshot(pictures + name + ".png")) << name; };
        auto inGameMenu = [&]() -> RnOptions2Menu& {
            p.key(ALLEGRO_KEY_ESCAPE, 27);
            p.frames(1);
            EXPECT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
            return *screen<RnOptions2Menu>(kRnStateOptions2);
        };
        // The run screen: Escape, "Save game", a name typed, "Save".
        auto saveAs = [&](const std::string& name) {
            p.clickWidget(inGameMenu().saveButton());
            p.frames(2);
            ASSERT_EQ(dax_menu_handler->currentState(), kRnStateSaveGame);
            auto* save = screen<RnSaveGameMenu>(kRnStateSaveGame);
            p.clickWidget(save->nameField());
            p.type(name);
            ASSERT_TRUE(save->saveButton().isEnabled());
            p.clickWidget(save->saveButton());
            p.frames(2);
            ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
            p.key(ALLEGRO_KEY_ESCAPE, 27);
            p.frames(1);
            ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
        };
        // The run screen: Escape, "Quit to the main menu" (which keeps the
        // town as the last save).
        auto quitToMainMenu = [&]() {
            p.clickWidget(inGameMenu().quitButton());
            p.frames(2);
            ASSERT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        };

        // A new town on the sample map.
        p.enterNewGame();
        if (HasFatalFailure()) return;
        auto* game = screen<RnRunGameMenu>(kRnStateRunGame);
        ASSERT_NE(game, nullptr);

        // A street found on the map, the view taken there with the mini map,
        // and on it roads, houses, a well, a storehouse, a market, a farm,
        // a builder's yard and gardens, each through the build menu.
        int x0 = 0;
        int y0 = 0;
        ASSERT_TRUE(findStreet(20, x0, y0));
        int mx = 0, my = 0;
        grn_pminimap->getAbsolutePosition(mx, my);
        const int zoom = static_cast<int>(grn_pminimap->zoom());
        p.click(mx + (x0 + 10 + grn_pminimap->offsetX()) * zoom + zoom / 2,
                my + (y0 - 2 + grn_pminimap->offsetY()) * zoom + zoom / 2);
        p.placeFromMenu(*game, "Road", x0, y0, x0 + 19, y0);
        const struct {
            const char* name;
            int dx;
        } town[] = {{"House", 1},  {"House", 3},       {"Well", 4},           {"Storehouse", 7},
                    {"Garden", 5}, {"Market", 10},     {"Garden", 8},         {"Farm", 13},
                    {"House", 15}, {"Builder's yard", 16}, {"House", 18}};
        for (const auto& b : town) {
            p.closeMessages();
            p.placeFromMenu(*game, b.name, x0 + b.dx, y0 - 1, x0 + b.dx, y0 - 1);
        }
        ASSERT_FALSE(HasFailure());
        EXPECT_EQ(grn_game.roadType(0).instanceCount(), 20);
        EXPECT_EQ(grn_game.housType(0).instanceCount(), 4);
        shot("built");

        // Three game days at top speed: people move in and go to work.
        for (int i = 0; i < 30; ++i) p.key(ALLEGRO_KEY_PAD_PLUS, '+');
        EXPECT_EQ(dax_gameclock.speed(), dax_gameclock.maxSpeed());
        EXPECT_GE(p.playHours(72), 72u);
        EXPECT_GT(grn_game.population_, 0u);
        // On until walkers are out on the roads, so that the saves carry
        // some on their way.
        for (int i = 0; i < 200 && townfacts::walkers() == 0; ++i) {
            p.closeMessages();
            p.frames(1);
        }
        p.closeMessages();
        EXPECT_GT(townfacts::walkers(), 0);
        // Paused from here on: what is saved stays as it is.
        p.key(ALLEGRO_KEY_SPACE, ' ');
        ASSERT_TRUE(dax_gameclock.paused());

        // The first house's dialog, with a right click; Enter closes it.
        int hx = 0;
        int hy = 0;
        p.tilePoint(x0 + 1, y0 - 1, hx, hy);
        p.moveTo(hx, hy);
        p.click(hx, hy, 2);
        ASSERT_EQ(loop.dialogs().size(), 1u);
        p.frames(1);
        shot("dialog");
        p.key(ALLEGRO_KEY_ENTER, 13);
        p.frames(1);
        EXPECT_TRUE(loop.dialogs().empty());

        // The overview by its key, back with Escape.
        p.key(ALLEGRO_KEY_O, 'o');
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOverview);
        shot("overview");
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);

        // A quick save with F5, written in the background.
        p.key(ALLEGRO_KEY_F5, 0);
        RnSaveWriter::waitIdle();
        std::vector<RnSaveListEntry> listed = RnSaveLoader::listSaves();
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].name.rfind(grn_config.quicksave_, 0), 0u) << listed[0].name;
        EXPECT_TRUE(listed[0].valid);
        EXPECT_EQ(listed[0].summary.game_name, grn_game.game_name_);
        EXPECT_EQ(listed[0].summary.money, grn_game.money_);

        // Saved under a typed name, and left for the main menu.
        const std::string saved = townAndView();
        const bool without_holes = townfacts::withoutHoles();
        saveAs(named);
        if (HasFatalFailure()) return;
        const std::string named_path = saves + named + ".sav";
        const std::string named_bytes = unpacked(named_path);
        ASSERT_GT(named_bytes.size(), 1000u);
        quitToMainMenu();
        if (HasFatalFailure()) return;
        // The last save is the same town, saved the same way.
        const std::string last_path = rnSavePath(grn_config.lastsave_);
        EXPECT_EQ(firstDifference(unpacked(last_path), named_bytes), "");

        // "Continue" takes up the last game.
        ASSERT_TRUE(screen<RnMainMenu>(kRnStateMainMenu)->continueButton().isEnabled());
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->continueButton());
        p.enterFromLoading();
        if (HasFatalFailure()) return;
        EXPECT_EQ(townAndView(), saved);
        shot("continued");
        // Left again: the last save is now that of a loaded town, whose
        // objects are numbered anew.
        quitToMainMenu();
        if (HasFatalFailure()) return;
        const std::string loaded_bytes = unpacked(last_path);
        ASSERT_GT(loaded_bytes.size(), 1000u);

        // The named save from the load screen, which lists it beside the
        // quick and the last saves.
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->loadButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateLoadGame);
        auto* load = screen<RnLoadGameMenu>(kRnStateLoadGame);
        int row = -1;
        for (int i = 0; i < load->model().getNumberOfElements(); ++i) {
            EXPECT_TRUE(load->model().entryAt(i).valid) << load->model().entryAt(i).name;
            if (load->model().entryAt(i).name == named) row = i;
        }
        ASSERT_GE(row, 0);
        int lx = 0;
        int ly = 0;
        load->listBox().getAbsolutePosition(lx, ly);
        p.click(lx + 20, ly + row * load->listBox().getRowHeight() + load->listBox().getRowHeight() / 2);
        ASSERT_TRUE(load->loadButton().isEnabled());
        p.clickWidget(load->loadButton());
        p.enterFromLoading();
        if (HasFatalFailure()) return;
        EXPECT_EQ(townAndView(), saved);
        shot("loaded");

        // Saved again, it gives the bytes of the other loaded town's save,
        // and those of the named save where the original numbered its
        // objects without gaps.
        saveAs("Ostwald again");
        if (HasFatalFailure()) return;
        const std::string again = unpacked(saves + "Ostwald again.sav");
        EXPECT_EQ(firstDifference(again, loaded_bytes), "");
        if (without_holes) {
            EXPECT_EQ(firstDifference(again, named_bytes), "");
        }

        // The loaded town runs on at top speed.
        p.key(ALLEGRO_KEY_SPACE, ' ');
        ASSERT_FALSE(dax_gameclock.paused());
        EXPECT_GE(p.playHours(24), 24u);
        EXPECT_GT(grn_game.population_, 0u);
        shot("later");

        quitToMainMenu();
        if (HasFatalFailure()) return;
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->quitButton());
        p.frames(2);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(ended);
    for (const std::string& s : shots) EXPECT_TRUE(fs::exists(pictures + s + ".png")) << s;
    expectCleanLog();
    // The program's log beside the pictures.
    EXPECT_TRUE(TempDir::copy(dir_.file("home/Zor/zor.log"), pictures + "play.log"));
}

}  // namespace
