// A game played as a player plays it, through the program's own window and
// input: the main menu, a new game on the sample map with a town name, the
// loading stages, the run screen with its first advice, a road dragged and
// four buildings placed through the build menu, game hours at top speed until
// a walker is out on the road, a picture of the run screen showing it, and
// back out through the menus; and the options, a town saved under a typed
// name and loaded back from the load screen, with pictures of the options,
// save and load screens. The log must stay free of errors.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_platform.h"
#include "gcn/gui.hpp"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_gui_startup.h"
#include "rn_mainmap.h"
#include "rn_mainmap_mini.h"
#include "rn_map.h"
#include "rn_menu_game.h"
#include "rn_menu_loading.h"
#include "rn_menu_loadsave.h"
#include "rn_menu_main.h"
#include "rn_menu_newgame.h"
#include "rn_menu_options.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "play_fixture.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"

namespace {

using namespace playtest;

// The walkers out in the world.
std::vector<const RnWalkerGeneric*> walkersOut() {
    std::vector<const RnWalkerGeneric*> out;
    auto add = [&out](auto& types) {
        for (auto& type : types)
            for (const auto& w : type.instances_) out.push_back(&w);
    };
    add(grn_game.servWalkerTypes());
    add(grn_game.prodWalkerTypes());
    add(grn_game.mrktWalkerTypes());
    add(grn_game.storWalkerTypes());
    add(grn_game.bldrWalkerTypes());
    return out;
}

// Whether the walker moves on the road, listed on the tile it stands on (in
// the first half of a move the one it leaves, then the one it heads for).
bool onItsRoad(const RnWalkerGeneric& w) {
    const DaxMapPositionI at(static_cast<int>(w.at_.x_), static_cast<int>(w.at_.y_));
    const DaxMapPositionI to = w.tilePos();
    if (!grn_map.tile(at).isRoad() || !grn_map.tile(to).isRoad()) return false;
    const RnMapTile& tile = grn_map.tile(w.phase() == RnWalkerPersData::kFirstHalf ? at : to);
    for (RnObjectID id = tile.walker_head_; id.isWalker(); id = grn_game.walkerByOid(id).next_walker_) {
        if (id == w.oid_) return true;
    }
    return false;
}

// The share of the walker image's opaque pixels that the picture of the
// screen shows where the main map draws the walker now.
double shownShare(ALLEGRO_BITMAP* picture, const RnWalkerGeneric& w) {
    if (w.image_ < 0) return 0.0;
    const DaxBitmapEntry& e = dax_bitmaps.entry(w.image_);
    const DaxMapPositionF p = w.interpolatedPos(dax_gameclock.gameTime());
    float fx = 0.0f;
    float fy = 0.0f;
    grn_pmainmap->mapToScreen(fx, fy, p.x, p.y);
    int wx = 0;
    int wy = 0;
    grn_pmainmap->getAbsolutePosition(wx, wy);
    const int x0 = static_cast<int>(fx) + wx - e.hot_x_;
    const int y0 = static_cast<int>(fy) + wy - e.hot_y_;
    int opaque = 0;
    int same = 0;
    for (int i = 0; i < e.width_; ++i) {
        for (int j = 0; j < e.height_; ++j) {
            unsigned char r, g, b, a;
            al_unmap_rgba(al_get_pixel(e.bitmap_, i, j), &r, &g, &b, &a);
            if (a == 0) continue;
            ++opaque;
            unsigned char sr, sg, sb;
            al_unmap_rgb(al_get_pixel(picture, x0 + i, y0 + j), &sr, &sg, &sb);
            if (std::abs(sr - r) <= 8 && std::abs(sg - g) <= 8 && std::abs(sb - b) <= 8) ++same;
        }
    }
    return opaque == 0 ? 0.0 : static_cast<double>(same) / opaque;
}

TEST_F(PlayTest, APlayerStartsATownBuildsAndLeaves) {
    // Pictures of the screens on the way, in the build folder.
    const std::string pictures = std::string(ZOR_BINARY_DIR) + "/play_";
    const std::string shot = pictures + "run_screen.png";
    std::remove(shot.c_str());
    DaxMenuHandler menus;
    int placed_roads = 0;
    int buildings = 0;
    uint32_t hours = 0;
    size_t walkers = 0;
    int walkers_on_roads = 0;
    double best_shown = 0.0;
    bool ended = false;
    int rc = rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        Player p(loop);
        p.frames(3);

        // Main menu: a new game.
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        auto* main_menu = screen<RnMainMenu>(kRnStateMainMenu);
        ASSERT_NE(main_menu, nullptr);
        EXPECT_FALSE(main_menu->continueButton().isEnabled());
        EXPECT_TRUE(p.screenshot(pictures + "main_menu.png"));
        p.clickWidget(main_menu->newGameButton());
        p.frames(2);

        // New game: the sample map, a town name of our own, start.
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateNewGame);
        auto* new_game = screen<RnNewGameMenu>(kRnStateNewGame);
        ASSERT_NE(new_game, nullptr);
        ASSERT_EQ(new_game->model().getNumberOfElements(), 1);
        EXPECT_EQ(new_game->model().entryAt(0).name_, "green_valley");
        EXPECT_FALSE(new_game->startButton().isEnabled());
        gcn::ListBox& list = new_game->listBox();
        int lx = 0;
        int ly = 0;
        list.getAbsolutePosition(lx, ly);
        p.click(lx + 20, ly + list.getRowHeight() / 2);
        EXPECT_EQ(list.getSelected(), 0);
        EXPECT_TRUE(new_game->startButton().isEnabled());
        EXPECT_NE(new_game->previewImage(), nullptr);
        p.clickWidget(new_game->nameField());
        for (int i = 0; i < 12; ++i) p.key(ALLEGRO_KEY_BACKSPACE, 8);
        p.type("Ostwald");
        EXPECT_EQ(new_game->nameField().getText(), "Ostwald");
        EXPECT_TRUE(p.screenshot(pictures + "new_game.png"));
        p.clickWidget(new_game->startButton());
        p.frames(1);

        // Loading, stage by stage, then into the game.
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateLoading);
        auto* loading = screen<RnLoadingMenu>(kRnStateLoading);
        ASSERT_NE(loading, nullptr);
        EXPECT_FALSE(loading->enterButton().isEnabled());
        p.frames(10);
        ASSERT_TRUE(loading->failure().empty()) << loading->failure();
        ASSERT_TRUE(loading->enterButton().isEnabled());
        EXPECT_EQ(loading->progressLines().back(), "finished");
        EXPECT_TRUE(p.screenshot(pictures + "loading.png"));
        p.clickWidget(loading->enterButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
        EXPECT_EQ(grn_game.game_name_, "Ostwald");
        EXPECT_EQ(grn_game.map_name_, "green_valley");

        auto* game = screen<RnRunGameMenu>(kRnStateRunGame);
        ASSERT_NE(game, nullptr);
        ASSERT_NE(grn_pmainmap, nullptr);
        EXPECT_TRUE(game->isMiniMapShown());

        // A town without houses is advised to build some, in a message
        // dialog; Enter closes it.
        ASSERT_EQ(loop.dialogs().size(), 1u);
        auto* advice = dynamic_cast<DaxMsgDialog*>(loop.dialogs().back());
        ASSERT_NE(advice, nullptr);
        EXPECT_EQ(advice->number(), 3100);
        EXPECT_EQ(advice->textBox().getText(), "Build houses so that settlers move in.");
        p.key(ALLEGRO_KEY_ENTER, 13);
        p.frames(1);
        EXPECT_TRUE(loop.dialogs().empty());

        // A street: the road along y0, the buildings on the two rows above.
        int x0 = 0;
        int y0 = 0;
        ASSERT_TRUE(findStreet(9, x0, y0));
        // The mini map takes the view there.
        ASSERT_NE(grn_pminimap, nullptr);
        int mx = 0, my = 0;
        grn_pminimap->getAbsolutePosition(mx, my);
        const int zoom = static_cast<int>(grn_pminimap->zoom());
        p.click(mx + (x0 + 4 + grn_pminimap->offsetX()) * zoom + zoom / 2,
                my + (y0 + grn_pminimap->offsetY()) * zoom + zoom / 2);
        EXPECT_EQ(grn_pmainmap->viewCentre(), std::make_pair(static_cast<float>(x0 + 4), static_cast<float>(y0)));
        auto place = [&](const std::string& name, int tx0, int ty0, int tx1, int ty1) {
            p.placeFromMenu(*game, name, tx0, ty0, tx1, ty1);
        };
        const int money = grn_game.money_;
        place("Road", x0, y0, x0 + 8, y0);
        placed_roads = grn_game.roadType(0).instanceCount();
        place("House", x0 + 2, y0 - 1, x0 + 2, y0 - 1);
        place("Well", x0 + 3, y0 - 1, x0 + 3, y0 - 1);
        place("Farm", x0 + 6, y0 - 1, x0 + 6, y0 - 1);
        // A fountain at the end of the street, which the well's water
        // carrier walks to.
        place("Fountain", x0 + 8, y0 - 1, x0 + 8, y0 - 1);
        buildings = grn_game.housType(0).instanceCount() + grn_game.servType(0).instanceCount();
        for (const auto& pt : grn_game.prodTypes()) buildings += pt.instanceCount();
        for (const auto& dt : grn_game.decoTypes()) buildings += dt.instanceCount();
        EXPECT_LT(grn_game.money_, money);

        // Top speed for some game hours, and on until a walker is out (the
        // well sends one once the house's first settlers work there): at
        // most a game day, so that the next day's advice does not come.
        for (int i = 0; i < 30; ++i) p.key(ALLEGRO_KEY_PAD_PLUS, '+');
        EXPECT_EQ(dax_gameclock.speed(), dax_gameclock.maxSpeed());
        const DaxGameTime start = dax_gameclock.gameTime();
        for (int i = 0; i < 40 || (walkersOut().empty() && dax_gameclock.gameTime().totalHours() < 20); ++i)
            p.frames(1);
        // Two frames more: the walker is under way.
        p.frames(2);
        hours = dax_gameclock.gameTime().hoursSince(start);
        p.moveTo(10, 300);
        EXPECT_TRUE(p.screenshot(shot));
        // The walkers are on the road, and the picture shows them there.
        const std::vector<const RnWalkerGeneric*> out = walkersOut();
        walkers = out.size();
        ALLEGRO_BITMAP* picture = al_load_bitmap(shot.c_str());
        ASSERT_NE(picture, nullptr);
        for (const RnWalkerGeneric* w : out) {
            walkers_on_roads += onItsRoad(*w) ? 1 : 0;
            best_shown = std::max(best_shown, shownShare(picture, *w));
        }
        al_destroy_bitmap(picture);

        // Out through the menus.
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
        auto* options = screen<RnOptions2Menu>(kRnStateOptions2);
        ASSERT_NE(options, nullptr);
        p.clickWidget(options->quitButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->quitButton());
        p.frames(2);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(ended);
    EXPECT_EQ(placed_roads, 9);
    EXPECT_EQ(buildings, 4);
    EXPECT_GE(hours, 6u);
    EXPECT_GT(walkers, 0u);
    EXPECT_EQ(walkers_on_roads, static_cast<int>(walkers));
    EXPECT_GT(best_shown, 0.6);
    EXPECT_TRUE(fs::exists(shot));
    expectCleanLog();
}

TEST_F(PlayTest, AMissingOrBrokenDataModelSendsThePlayerBackWithWhy) {
    // The user's data folder a folder of its own: the sample world's files
    // without the data model.
    fs::remove(dir_.file("home/Zor/data"));
    fs::create_directories(dir_.file("home/Zor/data"));
    for (const auto& entry : fs::directory_iterator(kData)) {
        if (entry.path().filename() != "ddm.lua") {
            fs::create_symlink(entry.path(), dir_.file("home/Zor/data") / entry.path().filename());
        }
    }
    struct Case {
        const char* name;
        const char* devd_model;  // the developer folder's data model, or none
        std::string why;         // the start of the dialog's text
    } cases[] = {
        {"missing", nullptr, "can't find file ddm.lua in " + dir_.file("home/Zor/devd/") + ", " +
                                 dir_.file("home/Zor/data/")},
        // The developer folder is searched before the data folder.
        {"broken", "set_iso_tile_size(64, 32)\n\nlocal broken = = 1\n",
         dir_.file("home/Zor/devd/ddm.lua") + ":3: unexpected symbol near '='"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.devd_model) dir_.write("home/Zor/devd/ddm.lua", c.devd_model);
        DaxMenuHandler menus;
        std::string shown;
        int state_after = 0;
        bool ended = false;
        int rc = runPlaying([&](DaxGameLoop& loop, Player& p) {
            p.startNewGame();
            p.frames(8);
            state_after = dax_menu_handler->currentState();
            ASSERT_EQ(loop.dialogs().size(), 1u);
            auto* dialog = dynamic_cast<DaxDialog*>(loop.dialogs().back());
            ASSERT_NE(dialog, nullptr);
            // The dialog wraps the text at spaces.
            shown = dialog->textBox().getText();
            std::replace(shown.begin(), shown.end(), '\n', ' ');
            p.key(ALLEGRO_KEY_ENTER, 13);
            p.frames(2);
            EXPECT_TRUE(loop.dialogs().empty());
            // The new-game screen, Escape to the main menu, 'q' out.
            for (const auto& [keycode, key] : {std::pair{ALLEGRO_KEY_ESCAPE, 27}, std::pair{ALLEGRO_KEY_Q, int{'q'}}}) {
                p.key(keycode, key);
                p.frames(2);
            }
            ended = loop.ended();
            loop.finish();
        });
        EXPECT_EQ(rc, 0);
        EXPECT_TRUE(ended);
        EXPECT_EQ(state_after, kRnStateNewGame);
        EXPECT_EQ(shown.substr(0, c.why.size()), c.why) << shown;
        DaxLog::reset();
    }
}

TEST_F(PlayTest, APlayerSetsTheOptionsSavesAndLoadsTheTownBack) {
    // Pictures of the load, save and options screens, in the build folder.
    const std::string pictures = std::string(ZOR_BINARY_DIR) + "/play_";
    for (const char* name : {"options1.png", "options2.png", "save_screen.png", "load_screen.png"}) {
        std::remove((pictures + name).c_str());
    }
    const std::string saves = dir_.file("home/Zor/saves/");
    DaxMenuHandler menus;
    bool ended = false;
    int32_t saved_money = 0;
    int rc = rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        Player p(loop);
        p.frames(3);
        auto clickRow = [&](gcn::ListBox& list, int row) {
            int lx = 0;
            int ly = 0;
            list.getAbsolutePosition(lx, ly);
            p.click(lx + 20, ly + row * list.getRowHeight() + list.getRowHeight() / 2);
            EXPECT_EQ(list.getSelected(), row);
        };

        // Options: autosave every week, kept in the user ini.
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->optionsButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions1);
        auto* options1 = screen<RnOptions1Menu>(kRnStateOptions1);
        ASSERT_NE(options1, nullptr);
        p.clickWidget(options1->autosaveButton(1));
        EXPECT_TRUE(options1->autosaveButton(1).isSelected());
        EXPECT_TRUE(p.screenshot(pictures + "options1.png"));
        p.clickWidget(options1->okButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        EXPECT_EQ(grn_config.freq_autosave_, 1);

        // A new game.
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->newGameButton());
        p.frames(2);
        auto* new_game = screen<RnNewGameMenu>(kRnStateNewGame);
        ASSERT_NE(new_game, nullptr);
        clickRow(new_game->listBox(), 0);
        p.clickWidget(new_game->nameField());
        for (int i = 0; i < 12; ++i) p.key(ALLEGRO_KEY_BACKSPACE, 8);
        p.type("Ostwald");
        p.clickWidget(new_game->startButton());
        p.frames(10);
        auto* loading = screen<RnLoadingMenu>(kRnStateLoading);
        ASSERT_NE(loading, nullptr);
        ASSERT_TRUE(loading->enterButton().isEnabled()) << loading->failure();
        p.clickWidget(loading->enterButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
        p.key(ALLEGRO_KEY_ENTER, 13);  // the first advice
        p.frames(1);

        // The in-game menu, its save button, a name typed on the save
        // screen, saved.
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
        auto* options2 = screen<RnOptions2Menu>(kRnStateOptions2);
        ASSERT_NE(options2, nullptr);
        EXPECT_TRUE(p.screenshot(pictures + "options2.png"));
        p.clickWidget(options2->saveButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateSaveGame);
        auto* save = screen<RnSaveGameMenu>(kRnStateSaveGame);
        ASSERT_NE(save, nullptr);
        EXPECT_FALSE(save->saveButton().isEnabled());
        p.clickWidget(save->nameField());
        p.type("Ostwald im Herbst");
        EXPECT_TRUE(save->saveButton().isEnabled());
        saved_money = grn_game.money_;
        p.clickWidget(save->saveButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
        EXPECT_TRUE(fs::exists(saves + "Ostwald im Herbst.sav"));

        // Again: the save is listed; choosing it offers to overwrite it.
        p.clickWidget(options2->saveButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateSaveGame);
        ASSERT_EQ(save->model().getNumberOfElements(), 1);
        clickRow(save->listBox(), 0);
        p.frames(1);
        EXPECT_EQ(save->nameField().getText(), "Ostwald im Herbst");
        EXPECT_TRUE(save->deleteButton().isEnabled());
        EXPECT_TRUE(p.screenshot(pictures + "save_screen.png"));
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);

        // Out to the main menu (the last save is written), and the town
        // loaded back from the load screen.
        grn_game.money_ += 1000;
        p.clickWidget(options2->quitButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->loadButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateLoadGame);
        auto* load = screen<RnLoadGameMenu>(kRnStateLoadGame);
        ASSERT_NE(load, nullptr);
        int row = -1;
        for (int i = 0; i < load->model().getNumberOfElements(); ++i) {
            if (load->model().entryAt(i).name == "Ostwald im Herbst") row = i;
        }
        ASSERT_GE(row, 0);
        EXPECT_EQ(load->model().getNumberOfElements(), 2);  // and the last save
        EXPECT_FALSE(load->loadButton().isEnabled());
        clickRow(load->listBox(), row);
        EXPECT_TRUE(load->loadButton().isEnabled());
        EXPECT_TRUE(p.screenshot(pictures + "load_screen.png"));
        p.clickWidget(load->loadButton());
        p.frames(10);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateLoading);
        loading = screen<RnLoadingMenu>(kRnStateLoading);
        ASSERT_NE(loading, nullptr);
        ASSERT_TRUE(loading->enterButton().isEnabled()) << loading->failure();
        p.clickWidget(loading->enterButton());
        p.frames(2);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
        EXPECT_EQ(grn_game.game_name_, "Ostwald");
        EXPECT_EQ(grn_game.money_, saved_money);

        // The town still has no houses: the advice comes again.
        ASSERT_EQ(loop.dialogs().size(), 1u);
        auto* advice = dynamic_cast<DaxMsgDialog*>(loop.dialogs().back());
        ASSERT_NE(advice, nullptr);
        EXPECT_EQ(advice->number(), 3100);
        p.key(ALLEGRO_KEY_ENTER, 13);
        p.frames(1);
        EXPECT_TRUE(loop.dialogs().empty());
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        EXPECT_EQ(dax_menu_handler->currentState(), kRnStateOptions2);
        p.key(ALLEGRO_KEY_Q, 'q');
        p.frames(2);
        EXPECT_EQ(dax_menu_handler->currentState(), kRnStateMainMenu);
        p.key(ALLEGRO_KEY_Q, 'q');
        p.frames(2);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(ended);
    for (const char* name : {"options1.png", "options2.png", "save_screen.png", "load_screen.png"}) {
        EXPECT_TRUE(fs::exists(pictures + name)) << name;
    }
    EXPECT_TRUE(contains(TempDir::read(dir_.file("home/Zor/user.ini")), "freq_autosave=1"));
    expectCleanLog();
}

}  // namespace
