// Map scripts: load_map with its colour table, tolerance and region,
// set_game_properties, set_trigger, and the list-only run of the new-game
// screen.
#include <gtest/gtest.h>

#include <string>

#include "dax2/dax_msg.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "test_map_loader_fixture.h"

namespace worldtest {
namespace {

class MapLoaderTest : public ScriptWorldTest {
protected:
    std::string loadMap(const std::string& image, const std::string& options,
                        const std::string& colours = kColourTable) {
        return runMap("load_map('" + image + "', " + colours + ", 5000, " + options + ")");
    }
};

TEST_F(MapLoaderTest, WholeImageMakesSquareMapOfTerrains) {
    // Left half grass, right half water, a forest block at 200..209 x 30..39.
    makeImage("maps/big.png", 256, 256, [](int x, int y) {
        if (x >= 200 && x < 210 && y >= 30 && y < 40) return forestColour();
        return x < 128 ? grassColour() : waterColour();
    });
    EXPECT_EQ("", loadMap("big.png", "{tolerance = 0}"));
    ASSERT_EQ(256, grn_map.size());

    const RnMapTile& grass = grn_map.tile(5, 100);
    EXPECT_EQ(kGrass, grass.terrain_idx_);
    EXPECT_EQ(kRnTileWalkable | kRnTileRoadsAllowed | kRnTileBuildingsAllowed, grass.flags_);
    EXPECT_EQ("grass_floor", dax_bitmaps.name(grass.gnd_bmp_idx_).name_);
    EXPECT_EQ(-2, grass.second_bmp_idx_);

    const RnMapTile& water = grn_map.tile(128, 0);
    EXPECT_EQ(kWater, water.terrain_idx_);
    EXPECT_EQ(0, water.flags_);

    const RnMapTile& forest = grn_map.tile(209, 39);
    EXPECT_EQ(2, forest.terrain_idx_);
    EXPECT_EQ(kRnTileWalkable | kRnTileRoadsAllowed, forest.flags_);
    EXPECT_EQ("tree", dax_bitmaps.name(forest.second_bmp_idx_).name_);
    EXPECT_EQ(kWater, grn_map.tile(210, 39).terrain_idx_);

    for (const RnTerrain& t : grn_game.terrains()) EXPECT_TRUE(t.isOnMap()) << t.name_;
    EXPECT_TRUE(loggedContaining("load map from image file"));
    EXPECT_TRUE(loggedContaining("set color map: color=000,160,000 to terrain idx=0 id=11"));
}

TEST_F(MapLoaderTest, RegionTakesColumnsFromXAndRowsFromY) {
    // Column 10 and column 109 are water, row 5 forest, everything else grass;
    // columns 9 and 110 are forest to show that they stay outside.
    makeImage("maps/r.png", 256, 256, [](int x, int y) {
        if (x == 10 || x == 109) return waterColour();
        if (x == 9 || x == 110 || y == 5) return forestColour();
        return grassColour();
    });
    EXPECT_EQ("", loadMap("r.png", "{tolerance = 0, x = 10, w = 100, h = 100}"));
    ASSERT_EQ(100, grn_map.size());
    EXPECT_EQ(kWater, grn_map.tile(0, 0).terrain_idx_);
    EXPECT_EQ(kWater, grn_map.tile(99, 99).terrain_idx_);
    EXPECT_EQ(kGrass, grn_map.tile(1, 0).terrain_idx_);
    EXPECT_EQ(kGrass, grn_map.tile(98, 0).terrain_idx_);
    EXPECT_EQ(2, grn_map.tile(50, 5).terrain_idx_);
    EXPECT_EQ(kGrass, grn_map.tile(50, 6).terrain_idx_);

    // With y = 5 the forest row becomes row 0.
    EXPECT_EQ("", loadMap("r.png", "{tolerance = 0, x = 20, y = 5, w = 50, h = 50}"));
    ASSERT_EQ(50, grn_map.size());
    EXPECT_EQ(2, grn_map.tile(0, 0).terrain_idx_);
    EXPECT_EQ(kGrass, grn_map.tile(0, 1).terrain_idx_);
}

TEST_F(MapLoaderTest, TerrainsNotOnTheMapLoseTheirMark) {
    makeImage("maps/g.png", 8, 8, [](int, int) { return grassColour(); });
    grn_game.terrain(kWater).flags_ |= kRnTerrainOnMap;
    EXPECT_EQ("", loadMap("g.png", "{tolerance = 0}"));
    EXPECT_TRUE(grn_game.terrain(kGrass).isOnMap());
    EXPECT_FALSE(grn_game.terrain(kWater).isOnMap());
    EXPECT_FALSE(grn_game.terrain(2).isOnMap());
}

TEST_F(MapLoaderTest, ToleranceChoosesTheNearestColour) {
    // (0, 150, 0) is 10 steps from grass and far from the others.
    makeImage("maps/n.png", 4, 4, [](int x, int y) { return x == 2 && y == 3 ? al_map_rgb(0, 150, 0) : grassColour(); });
    std::string err = loadMap("n.png", "{tolerance = 0}");
    EXPECT_TRUE(contains(err, "map color 000,150,000 at 2,3 not found in color map, col_dist=999.0"));

    EXPECT_EQ("", loadMap("n.png", "{tolerance = 1}"));
    EXPECT_EQ(kGrass, grn_map.tile(2, 3).terrain_idx_);

    // Far from every entry: the summed distance exceeds the tolerance.
    makeImage("maps/far.png", 2, 2, [](int, int) { return al_map_rgb(255, 255, 255); });
    err = loadMap("far.png", "{tolerance = 1}", "{ {12, {0, 0, 0}} }");
    EXPECT_TRUE(contains(err, "map color 255,255,255 at 0,0 not found in color map, col_dist=3.0"));
}

TEST_F(MapLoaderTest, EqualDistanceGoesToTheColourSortedFirst) {
    // (100, 100, 100) is 20 steps from (90, 100, 100) and from (100, 100, 110);
    // (90, ...) sorts first by red although it is listed second.
    makeImage("maps/tie.png", 2, 2, [](int, int) { return al_map_rgb(100, 100, 100); });
    EXPECT_EQ("", loadMap("tie.png", "{tolerance = 1}", "{ {12, {100, 100, 110}}, {13, {90, 100, 100}} }"));
    EXPECT_EQ(2, grn_map.tile(0, 0).terrain_idx_);
}

TEST_F(MapLoaderTest, RefusedTablesAndImages) {
    makeImage("maps/g.png", 8, 8, [](int, int) { return grassColour(); });
    makeImage("maps/wide.png", 10, 8, [](int, int) { return grassColour(); });
    struct Case {
        std::string image, colours, options, error;
    };
    const Case cases[] = {
        {"g.png", "{ {11, {0, 160, 0}}, {11, {0, 160, 0}} }", "{tolerance = 0}",
         "color 000,160,000 is already assigned to terrain idx=0"},
        {"g.png", "{ {99, {0, 160, 0}} }", "{tolerance = 0}", "terrain 99 not found"},
        {"g.png", "{}", "{tolerance = 0}", "table row 2 has 0 entries, expected at least 1"},
        {"g.png", "{ {11, {0, 160}} }", "{tolerance = 0}", "has 2 entries, expected 3"},
        {"g.png", kColourTable, "{}", "missing required parameter tolerance of table 4"},
        {"g.png", kColourTable, "{tolerance = 0, 5}", "table row 4 has 1 entries, expected 0"},
        {"g.png", kColourTable, "{tolerance = 0, x = 7}", "parameter x of table 4 not between 0 and 6: 7"},
        {"g.png", kColourTable, "{tolerance = 0, x = 2, w = 7}", "parameter w of table 4 not between 1 and 6: 7"},
        {"wide.png", kColourTable, "{tolerance = 0}", "map image is not square: w=10 h=8"},
        {"none.png", kColourTable, "{tolerance = 0}", "can't load map image from maps/none.png"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(contains(loadMap(c.image, c.options, c.colours), c.error)) << c.error;
    }
    EXPECT_TRUE(contains(runMap("load_map('g.png', {}, 0, {tolerance = 0})"), "parameter 3 not between 1 and 32767: 0"));
    EXPECT_TRUE(contains(runMap("load_map('g.png', {}, 1)"), "wrong number of parameters: 3, expected 4"));
}

TEST_F(MapLoaderTest, NameTextIsKeptOnlyWhenTheTextExists) {
    makeImage("maps/g.png", 8, 8, [](int, int) { return grassColour(); });
    dax_strings.addString(5000, "Green Valley", true);
    RnMapImageInfo info;
    EXPECT_EQ("", runMap(std::string("load_map('g.png', ") + kColourTable + ", 5000, {tolerance = 0})", &info));
    EXPECT_EQ(5000, info.text_id_);
    RnMapImageInfo none;
    EXPECT_EQ("", runMap(std::string("load_map('g.png', ") + kColourTable + ", 5999, {tolerance = 0})", &none));
    EXPECT_EQ(-1, none.text_id_);
}

TEST_F(MapLoaderTest, ListOnlyRunDescribesTheMapAndTouchesNothing) {
    makeImage("maps/wide.png", 10, 8, [](int, int) { return grassColour(); });
    grn_game.money_ = 77;
    RnMapImageInfo info;
    // The colour table is never read: 5 is no table.
    std::string err = runMap("load_map('wide.png', 5, 5000, {tolerance = 0, x = 1, y = 2, w = 6})\n"
                             "set_game_properties{initial_cash = 999}\n"
                             "set_trigger('trig.lua', 'tick', 24, 6)",
                             &info, true);
    EXPECT_EQ("", err);
    EXPECT_EQ(1, info.x_);
    EXPECT_EQ(2, info.y_);
    EXPECT_EQ(6, info.w_);
    EXPECT_EQ(6, info.h_);
    EXPECT_TRUE(contains(info.path_, "maps/wide.png"));
    EXPECT_EQ(0, grn_map.size());
    EXPECT_EQ(77, grn_game.money_);
    EXPECT_FALSE(grn_trigger.isSet());
    EXPECT_TRUE(grn_game.updateQueue().empty());

    // The arguments are still checked.
    RnMapImageInfo info2;
    EXPECT_TRUE(contains(runMap("set_trigger('trig.lua', 'tick', 169, 6)", &info2, true),
                         "parameter 3 not between 1 and 168: 169"));
    EXPECT_TRUE(contains(runMap("set_game_properties{initial_cash = 0}", &info2, true),
                         "parameter initial_cash of table 1 not gt 0: 0"));
}

// The new-game list keeps the region in 16-bit fields and must offer only
// maps that load: an image wider than the largest map, or a region that is
// not square, is refused in both modes and leaves the record as it was.
TEST_F(MapLoaderTest, OversizedImageAndNonSquareRegionRefusedInBothModes) {
    makeImage("maps/huge.png", RnMap::kMaxSide + 1, 4, [](int, int) { return grassColour(); });
    makeImage("maps/tall.png", 4, RnMap::kMaxSide + 1, [](int, int) { return grassColour(); });
    makeImage("maps/wide.png", 10, 8, [](int, int) { return grassColour(); });
    const struct {
        const char* call;
        const char* error;
    } cases[] = {
        {"load_map('huge.png', {}, 5000, {tolerance = 0})", "is 5793x4 pixels, larger than the largest map side 5792"},
        {"load_map('tall.png', {}, 5000, {tolerance = 0})", "is 4x5793 pixels, larger than the largest map side 5792"},
        {"load_map('wide.png', {}, 5000, {tolerance = 0, x = 1, w = 9})", "map image is not square: w=9 h=8"},
    };
    for (bool info_only : {true, false}) {
        for (const auto& c : cases) {
            RnMapImageInfo info;
            EXPECT_TRUE(contains(runMap(c.call, &info, info_only), c.error)) << c.call << info_only;
            EXPECT_EQ(0, info.w_);
            EXPECT_EQ(0, info.h_);
            EXPECT_TRUE(info.path_.empty());
        }
    }
    EXPECT_EQ(0, grn_map.size());
}

TEST_F(MapLoaderTest, GamePropertiesSetMoneyAndFlag) {
    EXPECT_EQ("", runMap("set_game_properties{initial_cash = 2500, disable_unused_prod = 1}"));
    EXPECT_EQ(2500, grn_game.money_);
    EXPECT_TRUE(grn_game.disable_unused_prod_);
    EXPECT_TRUE(loggedContaining("initial_cash=2500"));

    EXPECT_EQ("", runMap("set_game_properties{initial_cash = 10}"));
    EXPECT_FALSE(grn_game.disable_unused_prod_);

    EXPECT_TRUE(contains(runMap("set_game_properties{initial_cash = 10, disable_unused_prod = 2}"), "parameter disable_unused_prod of table 1 not 0 or 1: 2"));
    EXPECT_TRUE(contains(runMap("set_game_properties{5, initial_cash = 10}"), "expected 0"));
    EXPECT_TRUE(contains(runMap("set_game_properties{}"), "missing required parameter initial_cash of table 1"));
    EXPECT_EQ(10, grn_game.money_);
}

TEST_F(MapLoaderTest, SetTriggerDefinesTheTriggerAndItsFirstJob) {
    tmp_.write("trig.lua", "function tick() end\n");
    EXPECT_EQ("", runMap("set_trigger('trig.lua', 'tick', 24, 6)"));
    EXPECT_TRUE(loggedContaining("set trigger: tick in trig.lua every 24 game hours, first after 6 hours"));
    EXPECT_FALSE(loggedContaining("not found"));
    EXPECT_TRUE(grn_trigger.isSet());
    EXPECT_EQ("trig.lua", grn_trigger.scriptFile());
    EXPECT_EQ("tick", grn_trigger.functionName());
    EXPECT_EQ(24u, grn_trigger.periodHours());
    DaxGameTime t;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(RnScriptTrigger::jobId(), t));
    EXPECT_EQ(72u, t.value());

    // A second definition replaces names and period; a later first job
    // leaves the pending one, an earlier one replaces it.
    EXPECT_EQ("", runMap("set_trigger('trig.lua', 'other', 12, 10)"));
    EXPECT_EQ("other", grn_trigger.functionName());
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(RnScriptTrigger::jobId(), t));
    EXPECT_EQ(72u, t.value());
    EXPECT_EQ("", runMap("set_trigger('trig.lua', 'other', 12, 2)"));
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(RnScriptTrigger::jobId(), t));
    EXPECT_EQ(24u, t.value());
    EXPECT_EQ(1u, grn_game.updateQueue().size());

    const char* bad[][2] = {
        {"set_trigger('trig.lua', 'tick', 0, 6)", "parameter 3 not between 1 and 168: 0"},
        {"set_trigger('trig.lua', 'tick', 24, 0)", "parameter 4 not between 1 and 32767: 0"},
        {"set_trigger('trig.lua', 'tick', 24)", "wrong number of parameters: 3, expected 4"},
        {"set_trigger('trig.lua', {}, 24, 1)", "parameter 2 is not a string"},
    };
    for (const auto& c : bad) EXPECT_TRUE(contains(runMap(c[0]), c[1])) << c[0];
}

TEST_F(MapLoaderTest, MissingTriggerScriptWarnsWhenTheMapLoads) {
    EXPECT_EQ("", runMap("set_trigger('nowhere.lua', 'tick', 24, 6)"));
    EXPECT_TRUE(loggedContaining("warning: trigger script nowhere.lua not found, trigger tick will not run"));
    EXPECT_TRUE(grn_trigger.isSet());
}

TEST_F(MapLoaderTest, MapLoaderRefusesToOpenBesideAnotherLuaState) {
    DaxLua other;
    other.init();
    RnLuaMapLoader loader;
    EXPECT_TRUE(contains(raised([&] { loader.init(); }), "another Lua state is open"));
    EXPECT_FALSE(loader.isOpen());
    other.close();
    loader.init();
    EXPECT_TRUE(loader.isOpen());
}

}  // namespace
}  // namespace worldtest
