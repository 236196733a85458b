// The front end on the sample world, without a window: the main menu, the
// new-game screen with its map list, and the loading screen's stages with
// their failures (a missing or broken script, a saved game) and the data
// each screen hands to it.
#include <filesystem>
#include <string>

#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "gcn/font.hpp"
#include "gcn/key.hpp"
#include "rn_bld_stor.h"
#include "rn_menu_loading.h"
#include "rn_file_save.h"
#include "rn_menu_main.h"
#include "rn_menu_newgame.h"
#include "rn_trigger.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"
#include "front_end_fixture.h"

using namespace uitest;
using namespace frontend;

namespace {

namespace fs = std::filesystem;

TEST_F(FrontEndTest, TheSampleWorldLoadsOneStagePerTick) {
    grn_game.resetForNewGame("green_valley", "Testhausen");
    enterLoadingFromNewGame();
    RnLoadingMenu m(1024, 768, rnNewGameLoadingData(kData + "maps/green_valley.lua"));
    EXPECT_EQ(m.progressLines().size(), 0u);
    m.logic();
    EXPECT_EQ(m.progressLines(), std::vector<std::string>{"preloader"});
    m.logic();
    EXPECT_EQ(menus_.cursor, "busy");
    EXPECT_EQ(m.progressLines().back(), "loading game data");
    // Enter while the stages run does nothing.
    auto enter = keyPressEvent(gcn::Key::Enter);
    m.keyPressed(enter);
    EXPECT_FALSE(enter.isConsumed());
    EXPECT_EQ(menus_.requestedState(), kRnStateLoading);
    m.logic();
    ASSERT_NE(grn_pmenu_game, nullptr);
    EXPECT_FALSE(grn_pmenu_game->buildMenu(1).buttons.empty());
    runStages(m);
    ASSERT_EQ(m.failure(), "");
    EXPECT_GT(m.stage(), RnLoadingMenu::kLastStage);
    EXPECT_LT(m.stage(), RnLoadingMenu::kFailed);
    EXPECT_EQ(menus_.cursor, "default");

    // The sample world's images carry no text numbers: no image lines.
    const auto& lines = m.progressLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "preloader");
    EXPECT_EQ(lines[1].rfind("data loaded from ddm.lua in ", 0), 0u) << lines[1];
    EXPECT_TRUE(contains(lines[2], "green_valley.lua (Green Valley: meadows, two forests and a river) in "));
    EXPECT_TRUE(lines[3] == "post initialize" || lines[3].rfind("initialized after load in", 0) == 0) << lines[3];
    EXPECT_TRUE(lines[4] == "initializing new game" || lines[4].rfind("initialized new game in", 0) == 0);
    EXPECT_EQ(lines[5].rfind("converted bitmaps in ", 0), 0u);
    EXPECT_EQ(lines[6], "finished");
    // The map's line, wider than the box, goes on over the next rows: every
    // row fits, and the rows hold the lines' words in order.
    gcn::TextBox& box = m.progressBox();
    gcn::Font& font = *box.getFont();
    ASSERT_GT(font.getWidth(lines[2]), box.getWidth());
    std::string words;
    std::string shown;
    for (const std::string& line : lines) words += line + ' ';
    for (int r = 0; r < box.getNumberOfRows(); ++r) {
        const std::string row = box.getTextRow(r);
        EXPECT_LE(font.getWidth(row) + 1, box.getWidth()) << row;
        if (!row.empty()) shown += row + ' ';
    }
    EXPECT_EQ(shown, words);
    EXPECT_GE(box.getNumberOfRows(), 14);

    EXPECT_TRUE(grn_game.isWorldLoaded());
    EXPECT_EQ(grn_pmainmap->tileWidth(), 64);
    EXPECT_TRUE(grn_pmenu_game->isMiniMapShown());
    EXPECT_TRUE(grn_trigger.isLoaded());
    // The model check gave the storage its goods.
    EXPECT_FALSE(grn_game.storType(0).distribute_goods_.empty());

    auto c = keyPressEvent('c');
    m.keyPressed(c);
    EXPECT_TRUE(c.isConsumed());
    EXPECT_EQ(menus_.requestedState(), kRnStateRunGame);
}

TEST_F(FrontEndTest, AWorldWithoutItsScriptsOrWithABrokenOneSaysWhyAndGoesBack) {
    // A world folder of its own on the search path: the sample world, then
    // each case takes a script away or breaks one.
    TempDir world;
    fs::copy(kData, world.path(), fs::copy_options::recursive);
    dax_config.search_path_ = {world.path()};
    const std::string model = TempDir::read(world.file("ddm.lua"));
    const std::string trigger = TempDir::read(world.file("triggers/green_valley.lua"));
    struct Case {
        const char* name;
        const char* file;  // removed when script is null, else written
        const char* script;
        std::string why;  // the start of the reason shown
    } cases[] = {
        {"no data model", "ddm.lua", nullptr, "can't find file ddm.lua in " + world.path()},
        {"syntax error", "ddm.lua", "set_iso_tile_size(64, 32)\n\nlocal x = = 3\n",
         world.file("ddm.lua") + ":3: unexpected symbol near '='"},
        {"bad argument", "ddm.lua", "set_iso_tile_size(64, 32)\ndefine_menu_entry(12, \"menu_roads\", 6001)\n",
         "ddm.lua(2) in define_menu_entry: parameter 1 not between 1 and 11: 12"},
        {"no map script", "maps/green_valley.lua", nullptr,
         "can't find file maps/green_valley.lua in " + world.path()},
        {"broken trigger", "triggers/green_valley.lua", "function daily()\n  x = = 1\nend\n",
         world.file("triggers/green_valley.lua") + ":2: unexpected symbol near '='"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.script) {
            world.write(c.file, c.script);
        } else {
            fs::remove(world.file(c.file));
        }
        grn_game.clear();
        grn_trigger.reset();
        grn_game.resetForNewGame("green_valley", "Testhausen");
        enterLoadingFromNewGame();
        clearConsole();
        RnLoadingMenu m(1024, 768, rnNewGameLoadingData("maps/green_valley.lua"));
        runStages(m);
        EXPECT_EQ(m.stage(), RnLoadingMenu::kFailed);
        EXPECT_EQ(m.failure().substr(0, c.why.size()), c.why) << m.failure();
        EXPECT_EQ(m.progressLines().back(), m.failure());
        EXPECT_EQ(menus_.requestedState(), kRnStateNewGame);
        // The busy pointer of the first stage does not stay.
        EXPECT_EQ(menus_.cursor, "default");
        EXPECT_FALSE(m.enterButton().isEnabled());
        EXPECT_FALSE(grn_game.isWorldLoaded());
        menus_.deleteAllInstances();
        // The log keeps the lines it had.
        if (!c.script) {
            EXPECT_TRUE(loggedLine(std::string("can't find file ") + c.file));
        }
        world.write("ddm.lua", model);
        world.write("triggers/green_valley.lua", trigger);
        TempDir::copy(kData + "maps/green_valley.lua", world.file("maps/green_valley.lua"));
    }
}

TEST_F(FrontEndTest, ContentTheModelCheckRefusesStopsTheStagesWithItsReason) {
    // The sample model with planks defined before the wood they are sawn
    // from: every script runs, the check after the map refuses it.
    std::string model = TempDir::read(kData + "ddm.lua");
    const std::string wood = "create_goods_type{WOOD,";
    const std::string planks = "create_goods_type{PLANKS,";
    const size_t w = model.find(wood);
    const size_t p = model.find(planks);
    ASSERT_LT(w, p);
    model.replace(p, planks.size(), wood);
    model.replace(w, wood.size(), planks);
    TempDir dir;
    grn_config.datamodel_ = dir.write("ddm.lua", model);
    grn_game.resetForNewGame("green_valley", "Testhausen");
    enterLoadingFromNewGame();
    RnLoadingMenu m(1024, 768, rnNewGameLoadingData(kData + "maps/green_valley.lua"));
    runStages(m);
    EXPECT_EQ(m.stage(), RnLoadingMenu::kFailed);
    EXPECT_TRUE(contains(m.failure(), "goods type 5312 (Planks) must be defined after the goods it is made from: "
                                      "production type 5902 (Sawmill) makes it from goods type 5311 (Wood)"))
        << m.failure();
    EXPECT_EQ(menus_.requestedState(), kRnStateNewGame);
    EXPECT_FALSE(grn_game.isWorldLoaded());
}

TEST_F(FrontEndTest, ARaisedErrorAndAMissingMapStopTheStages) {
    struct Case {
        RnLoadingData data;
        std::string why;
    } cases[] = {
        {rnNewGameLoadingData("maps/nowhere.lua"), "can't find file maps/nowhere.lua in " + kData},
        {rnLastSaveLoadingData("green_valley"), "lastsave.sav for reading"},
    };
    for (const Case& c : cases) {
        grn_game.clear();
        enterLoadingFromNewGame();
        clearConsole();
        RnLoadingMenu m(1024, 768, c.data);
        runStages(m);
        EXPECT_EQ(m.stage(), RnLoadingMenu::kFailed);
        EXPECT_TRUE(contains(m.failure(), c.why)) << m.failure();
        EXPECT_EQ(menus_.requestedState(), kRnStateNewGame);
        EXPECT_EQ(menus_.cursor, "default");
        menus_.deleteAllInstances();
    }
    EXPECT_TRUE(loggedContaining("can't open file " + rnSavePath("lastsave") + " for reading"));
}

TEST_F(FrontEndTest, TheDataTheMenusHandOverIsWhatTheLoadingScreenAccepts) {
    const RnLoadingData fresh = rnNewGameLoadingData("maps/green_valley.lua");
    EXPECT_TRUE(fresh.is_new_);
    EXPECT_EQ(fresh.map_file_name_, "maps/green_valley.lua");
    EXPECT_EQ(fresh.save_file_name_, "");
    const RnLoadingData last = rnLastSaveLoadingData("green_valley");
    EXPECT_TRUE(last.is_lastsave_);
    EXPECT_EQ(last.map_file_name_, "maps/green_valley.lua");
    EXPECT_EQ(last.save_file_name_, "");
    RnLoadingMenu a(1024, 768, fresh);
    RnLoadingMenu b(1024, 768, last);
    EXPECT_EQ(a.stage(), 0);
    EXPECT_EQ(b.stage(), 0);

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnLoadingData both = fresh;
    both.save_file_name_ = "maps/green_valley.lua";
    EXPECT_DEATH(RnLoadingMenu(1024, 768, both),
                 "\\(loading_data_.is_lastsave_ \\|\\| loading_data_.is_new_\\) == "
                 "\\(loading_data_.save_file_name_.length\\(\\) == 0\\)");
}

TEST_F(FrontEndTest, TheMainMenuRunsTheInitialDataAndOffersWhatThereIs) {
    RnMainMenu menu(1024, 768);
    addRoadType();
    menu.getContainer();
    EXPECT_TRUE(grn_game.roadTypes().empty());  // the game was cleared
    EXPECT_TRUE(dax_strings.hasString(6201));    // the initial data ran
    EXPECT_FALSE(menu.continueButton().isEnabled());
    EXPECT_EQ(menu.continueButton().getCaption(), "Continue");
    auto c = keyPressEvent('c');
    menu.keyPressed(c);
    EXPECT_FALSE(c.isConsumed());
    EXPECT_EQ(menus_.requestedState(), 0);
    for (const auto& [key, state] : {std::pair{'n', kRnStateNewGame}, std::pair{'l', kRnStateLoadGame},
                                     std::pair{'o', kRnStateOptions1}}) {
        auto k = keyPressEvent(key);
        menu.keyPressed(k);
        EXPECT_TRUE(k.isConsumed()) << key;
        EXPECT_EQ(menus_.requestedState(), state) << key;
    }
    auto q = keyPressEvent('q');
    menu.keyPressed(q);
    EXPECT_EQ(menus_.requestedState(), kRnStateQuit);

    dax_config.initial_loader_ = "missing_initial.lua";
    EXPECT_EQ(raisedBy([&] { menu.getContainer(); }), raisedFor("failed to load missing_initial.lua"));
    dax_config.initial_loader_ = "initial_load.lua";
}

TEST_F(FrontEndTest, TheNewGameScreenListsMapsAndStartsTheLoading) {
    // A second data folder: a map of the same name (not listed again) and a
    // script that lays no map (not listed at all).
    TempDir second;
    second.write("maps/green_valley.lua", "load_map(\"other.png\", {}, 6101, {tolerance = 0})\n");
    second.write("maps/empty.lua", "set_game_properties{initial_cash = 10}\n");
    dax_config.search_path_ = {kData, second.path()};
    RnNewGameMenu screen(1024, 768);
    screen.getContainer();
    ASSERT_EQ(screen.model().getNumberOfElements(), 1);
    const RnMapInfo& map = screen.model().entryAt(0);
    EXPECT_EQ(map.name_, "green_valley");
    EXPECT_EQ(map.script_path_, kData + "maps/green_valley.lua");
    EXPECT_EQ(map.image_.w_, 64);
    EXPECT_EQ(screen.model().getElementAt(0),
              "green_valley    : 64   " + kData + "maps/green_valley.lua  (Green Valley: meadows, two forests and a river)");
    EXPECT_EQ(screen.model().entryAt(5).name_, "");

    EXPECT_EQ(screen.nameField().getText(), "Dorfhausen");
    EXPECT_GE(screen.nameField().getWidth(), screen.nameField().getFont()->getWidth(std::string(55, 'n')));
    EXPECT_FALSE(screen.startButton().isEnabled());
    auto enter = keyPressEvent(gcn::Key::Enter);
    screen.keyPressed(enter);
    EXPECT_EQ(menus_.requestedState(), 0);

    screen.listBox().setSelected(0);
    EXPECT_TRUE(screen.startButton().isEnabled());
    ASSERT_NE(screen.previewImage(), nullptr);
    EXPECT_EQ(screen.previewImage()->getWidth(), 1024 / 4);
    screen.nameField().setText("Ostwald");
    screen.startButton().fireAction();
    EXPECT_EQ(menus_.requestedState(), kRnStateLoading);
    EXPECT_EQ(grn_game.map_name_, "green_valley");
    EXPECT_EQ(grn_game.game_name_, "Ostwald");
    auto* data = dynamic_cast<RnLoadingData*>(menus_.getMenuData());
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->is_new_);
    EXPECT_EQ(data->map_file_name_, map.script_path_);
    EXPECT_EQ(data->save_file_name_, "");

    auto esc = keyPressEvent(gcn::Key::Escape);
    screen.keyPressed(esc);
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
}

}  // namespace
