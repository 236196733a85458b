// The content functions of the data model: each with its keys, defaults and
// messages, the checks that keep values inside the fields that hold them,
// the build menu and the order rules (model properties before goods, types
// before the types that name them).
#include "test_lua_loader_fixture.h"

#include <cmath>

using namespace luatest;

namespace {

// The model properties, people, goods, resources and walker types the
// building types below refer to, and one valid table per building kind
// with a function that lays extra keys over it.
constexpr const char* kWorld = R"(
set_model_properties{hours_incr_desirability = 2, hours_decr_desirability = 3, map_range_desirability = 5,
  prod_walker_range = 24, storage_walker_range = 32, storage_walker_capacity = 4, storage_walker_speed = 200,
  storage_network_update_hours = 24, resource_efficiency_update_hours = 12}
create_resource{501}
create_resource{502}
create_people_type{601}
create_people_type{602}
create_goods_type{701, 'wood', class = 801, lot_size = 10, hours_for_1tile_road = 0.5, smooth_move = 1}
create_goods_type{702, 'plank', class = 801, lot_size = 5, hours_for_1tile_road = 1, smooth_move = 0}
create_goods_type{703, 'food', class = 802, lot_size = 20, hours_for_1tile_road = 1, smooth_move = 0}
WALKER = {ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', distance_to_return = 20, hours_for_1tile_road = 0.25,
  smooth_move = 1}
create_service_walker_type(merge(WALKER, {901}))
create_market_walker_type(merge(WALKER, {902, tiles_without_houses = 3}))
create_builder_walker_type(merge(WALKER, {903}))
HEAD = {[2] = 2, [3] = 2, [4] = 50, [5] = 10, [6] = {10, 20, 30}, image = 'bld22', floor = 'floor22',
  own_attr = 5}
SERV = merge(HEAD, {walker_type = 901, num_walkers = 2, hours_respawn = 4, workers1 = {601, 3, 10}})
STOR = merge(HEAD, {worker_type = 601, num_workers = 4, worker_range = 12, capacity = 16, num_prod_walkers = 2,
  hours_respawn_prod_walker = 3, num_stor_walkers = 2, hours_respawn_stor_walker = 5, goods_class = 801})
MRKT = merge(HEAD, {walker_type = 902, num_walkers = 2, hours_respawn = 2, worker_type = 601, num_workers = 2,
  worker_range = 8, capacity = 6, goods_class = {802}})
BLDR = merge(HEAD, {walker_type = 903, num_walkers = 1, hours_respawn = 6, walker_range = 20, capacity = 10,
  distribute_material = {702}, workers1 = {601, 2, 10}})
PROD = merge(HEAD, {num_walkers = 1, hours_respawn = 2, out_capa = 8, output1 = {702, 1, 6}, input1 = {701, 2},
  workers1 = {601, 4, 10}})
DEKO = {[2] = 2, [3] = 2, [4] = 30, [5] = 5, [6] = {1, 2, 3}, floor = 'floor22', image_active = 'bld22', image_defunc = 'bld22b',
  own_attr_act = 20, own_attr_def = -5}
function serv(id, extra, menu) create_service_type(merge(merge(SERV, {id}), extra), menu or 3) end
function stor(id, extra, menu) create_storage_type(merge(merge(STOR, {id}), extra), menu or 4) end
function mrkt(id, extra, menu) create_market_type(merge(merge(MRKT, {id}), extra), menu or 4) end
function bldr(id, extra, menu) create_builder_type(merge(merge(BLDR, {id}), extra), menu or 5) end
function prod(id, extra, menu) create_production_type(merge(merge(PROD, {id}), extra), menu or 6) end
function deko(id, extra, menu) create_deko_type(merge(merge(DEKO, {id}), extra), menu or 7) end
ROAD_LEVELS = {{1101, 1, 0, image = 'road1', speed = 100}, {1102, 2, 50, image = 'road2', speed = 120},
  {1103, 3, 100, image = 'road3', speed = 150}}
function road(id, levels, menu)
  local t = {id, 2, 1, {50, 50, 50}}
  for _, l in ipairs(levels or ROAD_LEVELS) do t[#t + 1] = l end
  create_road_type(t, menu or 1)
end
LEVELS = {
  {1201, 4, 1, 0, image = 'bld22', floor = 'floor22'},
  {1202, 8, 2, 10, image = 'bld22', floor = 'floor22'},
  {1203, 12, 3, 20, image = 'bld22b', floor = 'floor22', g0 = {703, 2, 24}, s0 = {1001, 48}},
}
HOUS = {people_type = 601, percent_workers = 50, percent_workers_without_job1 = 10,
  percent_workers_without_job2 = 20, hours_people_immigrate = 2, hours_people_leave = 3, hours_level_up = 4,
  hours_level_down = 5}
function hous(id, extra, levels, menu)
  local t = merge(merge(HOUS, {id, 2, 2, 40, 4, {5, 6, 7}}), extra)
  for _, l in ipairs(levels or LEVELS) do t[#t + 1] = l end
  create_house_type(t, menu or 2)
end
)";

class LuaTypesTest : public LuaLoaderTest {
protected:
    // The world, then the text; returns the error raised, "" for none.
    std::string world(const std::string& text) { return script(std::string(kWorld) + text); }

    // Each case in a fresh world.
    void expectCases(const std::vector<ErrorCase>& cases, bool with_world = true) {
        for (const ErrorCase& c : cases) {
            SCOPED_TRACE(c.script);
            resetWorld();
            std::string err = with_world ? world(c.script) : script(c.script);
            if (c.error[0] == '\0') {
                EXPECT_EQ("", err);
            } else {
                EXPECT_TRUE(contains(err, c.error)) << "raised: " << err;
            }
        }
    }
};

}  // namespace

// --- resources, terrains, people ---------------------------------------------

TEST_F(LuaTypesTest, SixteenResourcesFitTheMaskTheSeventeenthDoesNot) {
    std::string code;
    for (int i = 0; i < 16; ++i) code += "create_resource{" + std::to_string(1001 + i) + "}\n";
    ASSERT_EQ("", script(code));
    ASSERT_EQ(16u, grn_game.resources().size());
    EXPECT_EQ(0x0001, grn_game.resource(0).mask_);
    EXPECT_EQ(0x8000, grn_game.resource(15).mask_);
    EXPECT_EQ("n1016", grn_game.resource(15).name_);
    EXPECT_TRUE(loggedLine("added resource id=1016 name='n1016' at index 15"));
    EXPECT_TRUE(loggedLine("  resource_mask=8000"));
    EXPECT_TRUE(contains(script("create_resource{1017}"), "in create_resource: too many resources, can only have 16"));
    EXPECT_EQ(16u, grn_game.resources().size());
}

TEST_F(LuaTypesTest, ResourceErrors) {
    expectCases({
        {"create_resource{0}", "parameter 1 of table 1 not gt 0: 0"},
        {"create_resource{501, 2}", "table row 1 has 2 entries, expected 1"},
        {"create_resource({501}, 2)", "wrong number of parameters: 2, expected 1"},
        {"create_resource{5001}", "string 5001 not found"},
        {"create_resource{501} create_resource{501}", "resource 501 already defined"},
    }, false);
}

TEST_F(LuaTypesTest, TerrainGetsFlagsColourAndTheMaskOfItsResources) {
    ASSERT_EQ("", script("create_resource{501} create_resource{502} create_resource{503}\n"
                         "create_terrain{101, {255, 0, 51}, {501, 503}, floor = 'grass', image = 'road1', walkable = 1,"
                         " roads = 0, buildings = 1, flat = 0}\n"
                         "create_terrain{102, {0, 0, 0}, {}, floor = 'grass', walkable = 0, roads = 1, buildings = 0,"
                         " flat = 1}"));
    ASSERT_EQ(2u, grn_game.terrains().size());
    const RnTerrain& t = grn_game.terrain(0);
    EXPECT_EQ(101, t.id_);
    EXPECT_EQ("n101", t.name_);
    EXPECT_EQ("grass", t.floor_name_);
    EXPECT_EQ("road1", t.image_name_);
    EXPECT_EQ(0x0005, t.resource_mask_);
    EXPECT_EQ(kRnTerrainWalkable | kRnTerrainBuildings, t.flags_);
    EXPECT_FLOAT_EQ(1.0f, t.colour_[0]);
    EXPECT_FLOAT_EQ(0.2f, t.colour_[2]);
    EXPECT_FLOAT_EQ(1.0f, t.colour_[3]);
    const RnTerrain& u = grn_game.terrain(1);
    EXPECT_EQ("", u.image_name_);
    EXPECT_EQ(0, u.resource_mask_);
    EXPECT_EQ(kRnTerrainRoads | kRnTerrainFlat, u.flags_);
    EXPECT_TRUE(loggedLine("added terrain id=101 name='n101' at index 0"));
    EXPECT_TRUE(loggedLine("  bmp_name='road1' resource_mask=0005 walkable=1 roads=0 buildings=1"));
}

TEST_F(LuaTypesTest, TerrainErrors) {
    const std::string keys = "floor = 'grass', walkable = 1, roads = 1, buildings = 1, flat = 1";
    std::vector<std::string> texts = {
        "create_terrain{101, {1, 2, 3}, {509}, " + keys + "}",
        "create_terrain{101, {1, 2, 3}, 7, " + keys + "}",
        "create_terrain{101, {1, 2, 3}, {}, floor = 'nope', walkable = 1, roads = 1, buildings = 1, flat = 1}",
        "create_terrain{101, {1, 2, 3}, {}, image = 'nope2', " + keys + "}",
        "create_terrain{101, {1, 2, 3}, {}, floor = 'grass', walkable = 1, roads = 1, buildings = 1}",
        "create_terrain{101, {1, 2, 3}, {}, floor = 'grass', walkable = 2, roads = 1, buildings = 1, flat = 1}",
        "create_terrain{101, {1, 2, 300}, {}, " + keys + "}",
        "create_terrain{101, {1, 2, 3}, " + keys + "}",
    };
    std::vector<ErrorCase> cases = {
        {texts[0].c_str(), "in create_terrain: resource 509 not found"},
        {texts[1].c_str(), "in create_terrain: table expected"},
        {texts[2].c_str(), "image nope not found"},
        {texts[3].c_str(), "image nope2 not found"},
        {texts[4].c_str(), "missing required parameter flat of table 1"},
        {texts[5].c_str(), "parameter walkable of table 1 not 0 or 1: 2"},
        {texts[6].c_str(), "parameter 3 of table 2 not between 0 and 255: 300"},
        {texts[7].c_str(), "table row 1 has 2 entries, expected 3"},
    };
    expectCases(cases, false);
}

TEST_F(LuaTypesTest, PeopleTypeTellsItsWorkforceItsIndex) {
    ASSERT_EQ("", script("create_people_type{601} create_people_type{602}"));
    EXPECT_EQ(1, grn_game.peoplType(1).workforce_.peopleTypeIdx());
    EXPECT_EQ("n602", grn_game.peoplType(1).name_);
    EXPECT_TRUE(loggedLine("added people id=602 type name='n602' at index 1"));
}

// --- goods ---------------------------------------------------------------------

TEST_F(LuaTypesTest, GoodsTypeBringsItsStorageImageAndBothWalkerTypes) {
    ASSERT_EQ("", world(""));
    ASSERT_EQ(3u, grn_game.goodsTypes().size());
    const RnGoodsType& g = grn_game.goodsType(0);
    EXPECT_EQ(701, g.id_);
    EXPECT_EQ("n701", g.name_);
    EXPECT_EQ(801, g.class_);
    EXPECT_EQ(10, g.lot_size_);
    EXPECT_EQ(dax_bitmaps.findVariant("wood", 0), g.image_);

    // "wood_stor": four items in a pile, 8 wider and 4 higher, hot spot
    // moved by (4, 4).
    DaxBitmapIndex stor = dax_bitmaps.find(DaxBitmapKey("wood_stor", 1, 0));
    ASSERT_GE(stor, 0);
    const DaxBitmapEntry& wood = dax_bitmaps.entry(g.image_);
    const DaxBitmapEntry& pile = dax_bitmaps.entry(stor);
    EXPECT_EQ(wood.width_ + 8, pile.width_);
    EXPECT_EQ(wood.height_ + 4, pile.height_);
    EXPECT_EQ(wood.hot_x_ + 4, pile.hot_x_);
    EXPECT_EQ(wood.hot_y_ + 4, pile.hot_y_);
    EXPECT_EQ((Rgba{200, 100, 50, 255}), pixel(pile.bitmap_, 12, 8));
    EXPECT_EQ(0, pixel(pile.bitmap_, 0, 0).a);  // outside the four items

    // One production and one storage walker type per goods type, at its
    // index; the storage walker's time per tile is scaled by the model's
    // storage walker speed (200 %): 0.5 hours become 0.25.
    ASSERT_EQ(3u, grn_game.prodWalkerTypes().size());
    ASSERT_EQ(3u, grn_game.storWalkerTypes().size());
    const RnWalkerProdType& pw = grn_game.prodWalkerType(0);
    const RnWalkerStorType& sw = grn_game.storWalkerType(0);
    EXPECT_EQ(701, pw.type_id_);
    EXPECT_FLOAT_EQ(0.5f, pw.hours_for_1tile_road_);
    EXPECT_TRUE(pw.smooth_move_);
    EXPECT_EQ(g.image_, pw.image_);
    EXPECT_FLOAT_EQ(0.25f, sw.hours_for_1tile_road_);
    EXPECT_EQ(stor, sw.image_);
    EXPECT_FALSE(grn_game.prodWalkerType(1).smooth_move_);
    EXPECT_TRUE(loggedLine("added goods id=701 type name='n701' classid=801 class name='n801' at index 0"));
    EXPECT_TRUE(loggedLine("added prod walker id=702 type name='n702' at index 1"));
    EXPECT_TRUE(loggedLine("added stor walker id=702 type name='n702' at index 1"));
    EXPECT_TRUE(loggedLine("    time_1tile_road=0.500"));
}

// Goods types need the model's storage walker speed: before
// set_model_properties they are refused, not divided by 0.
TEST_F(LuaTypesTest, GoodsTypeBeforeModelPropertiesIsRefused) {
    grn_game.storage_walker_speed_ = 100;  // left over from an earlier model
    std::string err = script("create_goods_type{701, 'wood', class = 801, lot_size = 10, hours_for_1tile_road = 1,"
                             " smooth_move = 0}");
    EXPECT_TRUE(contains(err, "in create_goods_type: model properties are not set: set_model_properties must come "
                              "before the first goods type"))
        << err;
    EXPECT_TRUE(grn_game.goodsTypes().empty());
    EXPECT_LT(dax_bitmaps.find(DaxBitmapKey("wood_stor", 1, 0)), 0);
}

TEST_F(LuaTypesTest, GoodsErrors) {
    expectCases({
        // A lot size of 0 would be divided by.
        {"create_goods_type{704, 'stone', class = 801, lot_size = 0, hours_for_1tile_road = 1, smooth_move = 0}",
         "parameter lot_size of table 1 not between 1 and 32767: 0"},
        {"create_goods_type{704, 'nope', class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "image nope not found"},
        {"create_goods_type{704, 'stone', class = 0, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "parameter class of table 1 not between 1 and 32767: 0"},
        {"create_goods_type{704, 'stone', class = 801, lot_size = 1, hours_for_1tile_road = 0, smooth_move = 0}",
         "parameter hours_for_1tile_road of table 1 not between 1 and 32767: 0.000000"},
        {"create_goods_type{704, 'stone', class = 801, lot_size = 1, smooth_move = 0}",
         "missing required parameter hours_for_1tile_road of table 1"},
        {"create_goods_type{704, class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "table row 1 has 1 entries, expected 2"},
        {"create_goods_type{701, 'stone', class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "goods type 701 already defined"},
        // Two goods types cannot share an image: the storage image exists.
        {"create_goods_type{704, 'wood', class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "bitmap wood_stor,1 already loaded"},
        {"create_goods_type{704, 'stone', class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}", ""},
    });
}

// A goods type and its two walker types are added together, after every
// field was checked: a refused goods type leaves no table changed (and no
// storage image), so the goods types after it still line up with their
// walker types.
TEST_F(LuaTypesTest, RefusedGoodsTypeLeavesNothingBehind) {
    ASSERT_EQ("", world(""));
    const size_t goods = grn_game.goodsTypes().size();
    const size_t images = dax_bitmaps.size();
    for (const char* bad : {"hours_for_1tile_road = 0, smooth_move = 0", "hours_for_1tile_road = 1, smooth_move = 2",
                            "hours_for_1tile_road = 1"}) {
        std::string err = script(std::string("create_goods_type{704, 'stone', class = 801, lot_size = 1, ") + bad +
                                 "}");
        EXPECT_FALSE(err.empty()) << bad;
        EXPECT_EQ(goods, grn_game.goodsTypes().size()) << bad;
        EXPECT_EQ(goods, grn_game.prodWalkerTypes().size()) << bad;
        EXPECT_EQ(goods, grn_game.storWalkerTypes().size()) << bad;
        EXPECT_EQ(images, dax_bitmaps.size()) << bad;
    }
    EXPECT_EQ("", script("create_goods_type{704, 'stone', class = 801, lot_size = 1, hours_for_1tile_road = 1,"
                         " smooth_move = 0}"));
    const int16_t idx = grn_game.goodsTypeIdx(704);
    EXPECT_EQ(idx, grn_game.findProdWalkerTypeIdx(704));
    EXPECT_EQ(idx, grn_game.findStorWalkerTypeIdx(704));
}

// --- walker types ----------------------------------------------------------------

TEST_F(LuaTypesTest, WalkerTypesOfServiceMarketAndBuilder) {
    ASSERT_EQ("", world(""));
    const RnWalkerServType& s = grn_game.servWalkerType(0);
    EXPECT_EQ(901, s.type_id_);
    EXPECT_EQ(20, s.distance_to_return_);
    EXPECT_EQ(0, s.tiles_without_houses_);  // the default
    EXPECT_FLOAT_EQ(0.25f, s.hours_for_1tile_road_);
    EXPECT_TRUE(s.smooth_move_);
    EXPECT_EQ("w_ro", s.images_.names_[0]);
    EXPECT_EQ("w_lu", s.images_.names_[3]);
    EXPECT_EQ(3, grn_game.mrktWalkerType(0).tiles_without_houses_);
    EXPECT_EQ(20, grn_game.bldrWalkerType(0).distance_to_return_);
    EXPECT_TRUE(loggedLine("added service walker id=901 type name='n901' at index 0"));
    EXPECT_TRUE(loggedLine("    dist_return=20 w/o_houses=3 time_1tile_road=0.250"));
    EXPECT_TRUE(loggedLine("added builder walker id=903 type name='n903' at index 0"));
    EXPECT_TRUE(loggedLine("    dist_return=20 time_1tile_road=0.250"));
}

TEST_F(LuaTypesTest, WalkerTypeErrors) {
    expectCases({
        // The walker counts its steps out and back in a field of 7 bits.
        {"create_service_walker_type(merge(WALKER, {904, distance_to_return = 127}))",
         "parameter distance_to_return of table 1 not between 1 and 126: 127"},
        {"create_market_walker_type(merge(WALKER, {904, distance_to_return = 127}))",
         "parameter distance_to_return of table 1 not between 1 and 126: 127"},
        {"create_builder_walker_type(merge(WALKER, {904, distance_to_return = 127}))",
         "parameter distance_to_return of table 1 not between 1 and 126: 127"},
        {"create_builder_walker_type(merge(WALKER, {904, distance_to_return = 126}))", ""},
        {"create_service_walker_type(merge(WALKER, {904, distance_to_return = 0}))",
         "parameter distance_to_return of table 1 not between 1 and 126: 0"},
        // The images are checked in the order ro, ru, lo, lu.
        {"create_service_walker_type(merge(WALKER, {904, ru = 'x_ru', lo = 'x_lo'}))", "image x_ru not found"},
        {"create_market_walker_type(merge(WALKER, {904, lu = 'x_lu'}))", "image x_lu not found"},
        {"create_service_walker_type(merge(WALKER, {904, lo = NIL}))", "missing required parameter lo of table 1"},
        {"create_market_walker_type(merge(WALKER, {904, tiles_without_houses = -1}))",
         "parameter tiles_without_houses of table 1 not between 0 and 32767: -1"},
        // Builder walkers have no such field and do not read the key.
        {"create_builder_walker_type(merge(WALKER, {904, tiles_without_houses = -1}))", ""},
        {"create_service_walker_type(merge(WALKER, {904, smooth_move = NIL}))",
         "missing required parameter smooth_move of table 1"},
        {"create_service_walker_type(merge(WALKER, {904, hours_for_1tile_road = 'x'}))",
         "parameter hours_for_1tile_road of table 1 is not a number"},
        {"create_service_walker_type(merge(WALKER, {901}))", "serv walker type 901 already defined"},
    });
}

// --- roads -----------------------------------------------------------------------

TEST_F(LuaTypesTest, RoadTypeWithItsLevelsEntersBuildMenuOne) {
    ASSERT_EQ("", world("road(401)"));
    const RnRoadType& rt = grn_game.roadType(0);
    EXPECT_EQ(401, rt.type_id_);
    EXPECT_EQ(2, rt.cost_);
    EXPECT_EQ(1, rt.demolition_cost_);
    EXPECT_EQ(1, rt.width_);
    EXPECT_EQ(1, rt.height_);
    EXPECT_EQ(1, rt.flat_);
    EXPECT_EQ(0, rt.deprecated_);
    ASSERT_EQ(3u, rt.level_descs_.size());
    const RnRoadLevelDesc& l = rt.level_descs_[1];
    EXPECT_EQ("road2", l.image_);
    EXPECT_EQ("n1102", l.name_);
    EXPECT_EQ(1102, l.text_id_);
    EXPECT_EQ(2, l.own_attr_);
    EXPECT_EQ(50, l.needed_attr_);
    EXPECT_EQ(120, l.speed_);
    const RnBuildMenuEntry& menu = grn_build_menu.entry(1);
    ASSERT_EQ(1u, menu.buttons_.size());
    EXPECT_EQ(RnIdBldRoad, menu.buttons_[0].kind_);
    EXPECT_EQ(401, menu.buttons_[0].type_id_);
    EXPECT_EQ("n401", menu.buttons_[0].name_);
    EXPECT_FALSE(menu.buttons_[0].disabled_);
    EXPECT_TRUE(loggedLine("added road id=401 name='n401' at index 0 - menu=1"));
    EXPECT_TRUE(loggedLine("  level 2 name='n1103' img='road3'"));
    EXPECT_TRUE(loggedLine("    own_attr=3 needed_attr=100"));
}

TEST_F(LuaTypesTest, RoadErrors) {
    expectCases({
        {"create_road_type({401, 2, 1, {50, 50, 50}}, 1)", "table row 1 has 4 entries, expected at least 5"},
        // New roads are laid above the first level: three levels at least.
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2]})", "in create_road_type: road type 401 has 2 levels, needs at least 3"},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], {1103, 3, 100, image = 'wide11', speed = 150}})",
         "in create_road_type: image size does not fit for "},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], {1103, 3, 100, image = 'nope', speed = 150}})",
         "image nope not found"},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], {1103, 3, 100, image = 'road3', speed = 19}})",
         "parameter speed of table 3 not between 20 and 500: 19"},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], {1103, 1001, 100, image = 'road3', speed = 20}})",
         "parameter 2 of table 3 not between -1000 and 1000: 1001"},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], {1103, 3, 100, speed = 20}})",
         "missing required parameter image of table 3"},
        {"road(401, {ROAD_LEVELS[1], ROAD_LEVELS[2], 'level'})", "in create_road_type: table expected"},
        {"road(401, nil, 12)", "parameter 2 not between 1 and 11: 12"},
        {"road(401, nil, 0)", "parameter 2 not between 1 and 11: 0"},
        {"create_road_type({401, -1, 1, {50, 50, 50}, ROAD_LEVELS[1], ROAD_LEVELS[2], ROAD_LEVELS[3]}, 1)",
         "parameter 2 of table 1 not ge 0: -1"},
        {"road(401, nil, 11)", ""},
    });
}

// --- houses ----------------------------------------------------------------------

TEST_F(LuaTypesTest, HouseTypeWithLevelsNeedsAndMaterial) {
    ASSERT_EQ("", world("serv(1001)\n"
                        "LEVELS[3].mat = {702, 3, 100}\n"
                        "hous(1301, {ruine = 'ruin22'})"));
    const RnHousType& ht = grn_game.housType(0);
    EXPECT_EQ(1301, ht.type_id_);
    EXPECT_EQ(2, ht.width_);
    EXPECT_EQ(40, ht.cost_);
    EXPECT_EQ(0, ht.flat_);
    EXPECT_EQ(0, ht.deprecated_);
    EXPECT_EQ(0, ht.ppl_type_idx_);
    EXPECT_EQ(50, ht.percent_workers_);
    EXPECT_EQ(10, ht.percent_workers_without_job1_);
    EXPECT_EQ(20, ht.percent_workers_without_job2_);
    EXPECT_EQ(2, ht.hours_people_immigrate_);
    EXPECT_EQ(5, ht.hours_level_down_);
    EXPECT_EQ(100, ht.tax_percent_);  // the default
    EXPECT_EQ("ruin22", ht.ruin_image_);
    ASSERT_EQ(3u, ht.level_descs_.size());
    const RnHousLevelDesc& top = ht.level_descs_[2];
    EXPECT_EQ("bld22b", top.image_);
    EXPECT_EQ("floor22", top.floor_image_);
    EXPECT_EQ(12, top.people_max_);
    EXPECT_EQ(3, top.own_attr_);
    EXPECT_EQ(20, top.needed_attr_);
    ASSERT_EQ(1u, top.goods_.size());
    EXPECT_EQ(2, top.goods_[0].good_type_idx_);
    EXPECT_EQ(2, top.goods_[0].cap_);
    EXPECT_EQ(24, top.goods_[0].hours_);
    ASSERT_EQ(1u, top.services_.size());
    EXPECT_EQ(0, top.services_[0].service_type_idx_);
    EXPECT_EQ(48, top.services_[0].hours_);
    EXPECT_EQ(1, top.material_.good_type_idx_);
    EXPECT_EQ(3, top.material_.amount_);
    EXPECT_EQ(100, top.material_.hours_);
    EXPECT_EQ(-1, ht.level_descs_[0].material_.good_type_idx_);
    EXPECT_EQ(RnIdBldHous, grn_build_menu.entry(2).buttons_.at(0).kind_);
    EXPECT_TRUE(loggedLine("added house id=1301 name='n1301' at index 0 - menu=2"));
    EXPECT_TRUE(loggedLine("    people_type_id=601 percent_workers=50 hours_immigr=2, hours_leave=3"));
    EXPECT_TRUE(loggedLine("  level 2 name='n1203' bld='bld22b' flr='floor22' people_max=12 own_attr=3"));
    EXPECT_TRUE(loggedLine("    needs good=703, cap=2, next needed after 24 hour(s)"));
    // distance_to_return 20 x 0.25 hours x 2 = 10 hours.
    EXPECT_TRUE(loggedLine("    needs service=1001, needed again after 48 hour(s), walker round in 10 hour(s)"));
}

TEST_F(LuaTypesTest, HouseErrors) {
    expectCases({
        {"serv(1001) hous(1301, {}, {LEVELS[1], merge(LEVELS[2], {g0 = {703, 1, 2}}), LEVELS[3]})",
         "in create_house_type: must not have goods requirements for housing levels < 2"},
        {"serv(1001) hous(1301, {}, {merge(LEVELS[1], {g0 = {703, 1, 2}}), LEVELS[2], LEVELS[3]})",
         "must not have goods requirements for housing levels < 2"},
        {"serv(1001) hous(1301, {}, {LEVELS[1], merge(LEVELS[2], {s0 = {1001, 2}}), LEVELS[3]})",
         "must not have service requirements for housing levels < 2"},
        {"serv(1001) hous(1301, {}, {LEVELS[1], LEVELS[2], merge(LEVELS[3], {s0 = {1001, 0}})})",
         "hours_until_needed_again must be greater zero!"},
        {"serv(1001) hous(1301, {}, {LEVELS[1], LEVELS[2], merge(LEVELS[3], {g1 = {703, 1, 2}})})",
         "duplicate goods type 703 in level 2"},
        {"serv(1001) hous(1301, {}, {LEVELS[1], LEVELS[2], merge(LEVELS[3], {s1 = {1001, 5}})})",
         "duplicate service type 1001 in level 2"},
        {"hous(1301)", "service type 1001 not found"},  // service types come first
        {"serv(1001) hous(1301, {}, {LEVELS[1], LEVELS[2], merge(LEVELS[3], {mat = {702, 1, 10}})})",
         "missing name for ruine parameter for type n1301"},
        {"serv(1001) hous(1301, {ruine = 'ruin22'}, {merge(LEVELS[1], {mat = {702, 1, 10}}), LEVELS[2],"
         " merge(LEVELS[3], {mat = {702, 2, 10}})})",
         "duplicate goods type 702 for hous type n1301"},
        {"serv(1001) hous(1301, {ruine = 'ruin22'}, {merge(LEVELS[1], {mat = {702, 1, 0}}), LEVELS[2], LEVELS[3]})",
         "not between 1 and 32767: 0"},
        {"serv(1001) hous(1301, {ruine = 'nope'})", "image nope not found"},
        {"serv(1001) hous(1301, {}, {merge(LEVELS[1], {floor = 'floor11'}), LEVELS[2], LEVELS[3]})",
         "image size does not fit for "},
        {"serv(1001) hous(1301, {}, {merge(LEVELS[1], {image = 'nope'}), LEVELS[2], LEVELS[3]})",
         "image nope not found"},
        {"serv(1001) hous(1301, {percent_workers = 101})", "parameter percent_workers of table 1 not between 0 and 100: 101"},
        {"serv(1001) hous(1301, {people_type = 609})", "people type 609 not found"},
        {"serv(1001) hous(1301, {hours_level_up = NIL})", "missing required parameter hours_level_up of table 1"},
        {"serv(1001) create_house_type(merge(HOUS, {1301, 2, 2, 40, 4, {5, 6, 7}}), 2)",
         "table row 1 has 6 entries, expected at least 7"},
        // The people count of a house is a 10-bit field.
        {"serv(1001) hous(1301, {percent_workers = 10}, {LEVELS[1], LEVELS[2], {1203, 1024, 3, 20, image = 'bld22',"
         " floor = 'floor22'}})",
         "people_max 1024 of level 2 out of range 0..1023"},
        {"serv(1001) hous(1301, {percent_workers = 10}, {LEVELS[1], LEVELS[2], {1203, 1023, 3, 20, image = 'bld22',"
         " floor = 'floor22'}})",
         ""},
        // Its worker count is an 8-bit field.
        {"serv(1001) hous(1301, {percent_workers = 100}, {LEVELS[1], LEVELS[2], {1203, 256, 3, 20, image = 'bld22',"
         " floor = 'floor22'}})",
         "people_max 256 of level 2 with percent_workers 100 gives 256 workers, at most 255"},
        {"serv(1001) hous(1301, {}, nil, 12)", "parameter 2 not between 1 and 11: 12"},
    });
}

TEST_F(LuaTypesTest, HouseLevelsAreLimitedToWhatTheLevelFieldHolds) {
    std::string levels = "L = {}\nfor i = 1, %d do L[i] = LEVELS[1] end\n";
    char buf[128];
    std::snprintf(buf, sizeof(buf), levels.c_str(), 64);
    EXPECT_EQ("", world(std::string(buf) + "hous(1301, {}, L)"));
    EXPECT_EQ(64u, grn_game.housType(0).level_descs_.size());
    resetWorld();
    std::snprintf(buf, sizeof(buf), levels.c_str(), 65);
    std::string err = world(std::string(buf) + "hous(1301, {}, L)");
    EXPECT_TRUE(contains(err, "in create_house_type: house type 1301 has 65 levels, can have at most 64")) << err;
    EXPECT_TRUE(grn_game.housTypes().empty());
}

// --- service -----------------------------------------------------------------------

TEST_F(LuaTypesTest, ServiceTypeKeysAndDefaults) {
    ASSERT_EQ("", world("serv(1001, {tax_percent = 12.7, in_capa = 5, input1 = {703, 2}, workers2 = {602, 1, 4},"
                        " ruine = 'ruin22', material1 = {702, 4, 50}, material3 = {701, 1, 1}, deprecated = 1})"));
    const RnServType& t = grn_game.servType(0);
    EXPECT_EQ(1001, t.type_id_);
    EXPECT_EQ("n1001", t.name_);
    EXPECT_EQ(2, t.width_);
    EXPECT_EQ(50, t.cost_);
    EXPECT_EQ(10, t.demolition_cost_);
    EXPECT_EQ(1, t.deprecated_);
    EXPECT_EQ(0, t.flat_);  // the service default
    EXPECT_EQ("bld22", t.image_);
    EXPECT_EQ("floor22", t.floor_image_);
    EXPECT_EQ(5, t.own_attr_);
    EXPECT_EQ(0, t.walker_type_idx_);
    EXPECT_EQ(2, t.req_num_serv_walkers_);
    EXPECT_EQ(4, t.hours_respawn_);
    EXPECT_EQ(5, t.in_capa_);
    EXPECT_EQ(12, t.tax_percent_);
    ASSERT_EQ(1u, t.needs_.size());
    EXPECT_EQ(2, t.needs_[0].good_type_idx_);
    ASSERT_EQ(2u, t.worker_reqs_.size());
    EXPECT_EQ(1, t.worker_reqs_[1].ppl_type_idx_);
    EXPECT_EQ(1, t.worker_reqs_[1].num_req_);
    EXPECT_EQ(4, t.worker_reqs_[1].range_);
    // Material keys stop at the first missing one: material3 is not read.
    ASSERT_EQ(1u, t.build_material_.size());
    EXPECT_EQ(1, t.build_material_[0].good_type_idx_);
    EXPECT_EQ(4, t.build_material_[0].amount_);
    EXPECT_EQ(50, t.build_material_[0].hours_);
    EXPECT_EQ("ruin22", t.ruin_image_);
    EXPECT_FLOAT_EQ(20.0f / 255.0f, t.colour_[1]);
    ASSERT_EQ(1u, grn_build_menu.entry(3).buttons_.size());
    EXPECT_TRUE(grn_build_menu.entry(3).buttons_[0].disabled_);  // deprecated
    EXPECT_TRUE(loggedLine("added service id=1001 name='n1001' at index 0 - menu=3"));
    EXPECT_TRUE(loggedLine("    walker type=901, number=2, respawn_time=4"));
    EXPECT_TRUE(loggedLine("  needs type=703 name='n703' amount=2"));
    EXPECT_TRUE(loggedLine("    workers type=602 name='n602' num_req=1 range=4"));
    EXPECT_TRUE(loggedLine("    material type=702 name='n702' amount=4 duration=50 per unit"));
}

TEST_F(LuaTypesTest, ServiceErrors) {
    expectCases({
        // The building counts its walkers out in 3 bits.
        {"serv(1001, {num_walkers = 8})", "in create_service_type: parameter num_walkers of table 1 not between 1 and 7: 8"},
        {"serv(1001, {num_walkers = 7})", ""},
        {"serv(1001, {input1 = {703, 2}})", "input goods are required, but in_capa is 0"},
        {"serv(1001, {in_capa = 0})", "parameter in_capa of table 1 not between 1 and 32767: 0"},
        {"serv(1001, {walker_type = 902})", "serv walker type 902 not found"},
        {"serv(1001, {workers1 = NIL})", "req workers missing for type id=1001 name=n1001"},
        {"serv(1001, {workers2 = {601, 1, 1}})", "duplicate worker type 601 for type id=1001 name=n1001"},
        {"serv(1001, {workers1 = {601, 0, 10}})", "parameter 2 of table 3 not between 1 and 32767: 0"},
        {"serv(1001, {material1 = {702, 1, 10}})", "missing name for ruine parameter for type n1001"},
        // A material's hours per unit are divided by: 0 is refused.
        {"serv(1001, {ruine = 'ruin22', material1 = {702, 1, 0}})", "parameter 3 of table 3 not between 1 and 32767: 0"},
        {"serv(1001, {ruine = 'ruin22', material1 = {702, 1, 5}, material2 = {702, 2, 5}})",
         "duplicate goods type 702 for prod type n1001"},
        {"serv(1001, {ruine = 'ruin22', material1 = 5})", "in create_service_type: table expected"},
        {"serv(1001, {ruine = 'ruin22', material1 = {702, 1}})", "table row 3 has 2 entries, expected 3"},
        {"serv(1001, {ruine = 'ruin22', material1 = {709, 1, 1}})", "goods type 709 not found"},
        {"serv(1001, {in_capa = 2, input1 = {703, 2}, input2 = {703, 1}})", "duplicate input goods type 703 for type n1001"},
        {"serv(1001, {floor = 'floor11'})", "image size does not fit for "},
        {"serv(1001, {floor = 'nope', image = 'nope2'})", "image nope not found"},  // floor first
        {"serv(1001, {image = 'nope2'})", "image nope2 not found"},
        {"serv(1001, {own_attr = -1001})", "parameter own_attr of table 1 not between -1000 and 1000: -1001"},
        {"serv(1001, {own_attr = NIL})", "missing required parameter own_attr of table 1"},
        {"serv(1001, {tax_percent = -1})", "parameter tax_percent of table 1 not between 0 and 32767"},
        {"serv(1001, {[7] = 1})", "table row 1 has 7 entries, expected 6"},
        {"serv(1001, {deprecated = 2})", "parameter deprecated of table 1 not 0 or 1: 2"},
        {"create_service_type(merge(SERV, {1001}))", "wrong number of parameters: 1, expected 2"},
        {"serv(1001) serv(1001, {}, 4)", "service type 1001 already defined"},
    });
}

// --- storage and market ----------------------------------------------------------

TEST_F(LuaTypesTest, StorageTypeKeysAndGoodsClasses) {
    ASSERT_EQ("", world("stor(1401)\n"
                        "stor(1402, {goods_class = {3, 3, 5}, flat = 0})"));
    const RnStorType& t = grn_game.storType(0);
    EXPECT_EQ(1, t.flat_);  // the storage default
    EXPECT_EQ(0, t.worker_type_);
    EXPECT_EQ(4, t.num_workers_);
    EXPECT_EQ(12, t.worker_range_);
    EXPECT_EQ(16, t.capacity_);
    EXPECT_EQ(2, t.num_prod_walkers_);
    EXPECT_EQ(3, t.hours_respawn_prod_walker_);
    EXPECT_EQ(2, t.num_stor_walkers_);
    EXPECT_EQ(5, t.hours_respawn_stor_walker_);
    EXPECT_EQ((std::set<int16_t>{801}), t.goods_class_);
    EXPECT_EQ((std::set<int16_t>{3, 5}), grn_game.storType(1).goods_class_);
    EXPECT_EQ(0, grn_game.storType(1).flat_);
    EXPECT_TRUE(loggedLine("added storage id=1401 name='n1401' at index 0 - menu=4"));
    EXPECT_TRUE(loggedLine("    workers type=601 num_req=4 range=12"));
    EXPECT_TRUE(loggedLine("    capacity=16"));
    EXPECT_TRUE(loggedLine("    num_prod_walkers=2 respawn_prod=3"));
    EXPECT_TRUE(loggedLine("    num_stor_walkers=2 respawn_stor=5"));
}

TEST_F(LuaTypesTest, StorageAndMarketErrors) {
    expectCases({
        {"stor(1401, {goods_class = 0})", "parameter goods_class of table 1 not gt 0: 0"},
        {"stor(1401, {goods_class = 'a'})", "wrong parameter type for goods_class of table 1"},
        {"stor(1401, {goods_class = NIL})", "missing required parameter goods_class of table 1"},
        {"stor(1401, {goods_class = {3, 0}})", "parameter 2 of table 3 not gt 0: 0"},
        {"stor(1401, {goods_class = 40000})", "parameter goods_class of table 1 not between 1 and 32767: 40000"},
        // The goods classes are read after the material.
        {"stor(1401, {goods_class = 'a', material1 = {702, 1, 1}})", "missing name for ruine parameter for type n1401"},
        // Both walker counters of a storage are 4 bits wide.
        {"stor(1401, {num_prod_walkers = 16})", "parameter num_prod_walkers of table 1 not between 1 and 15: 16"},
        {"stor(1401, {num_stor_walkers = 16})", "parameter num_stor_walkers of table 1 not between 1 and 15: 16"},
        {"stor(1401, {num_prod_walkers = 15, num_stor_walkers = 15})", ""},
        {"stor(1401, {worker_type = 609})", "people type 609 not found"},
        {"stor(1401, {capacity = 0})", "parameter capacity of table 1 not between 1 and 32767: 0"},
        {"stor(1401, {hours_respawn_stor_walker = 0})", "not between 1 and 32767: 0"},
        // The market counts its walkers in 4 bits too.
        {"mrkt(1501, {num_walkers = 16})", "in create_market_type: parameter num_walkers of table 1 not between 1 and 15: 16"},
        {"mrkt(1501, {num_walkers = 15})", ""},
        {"mrkt(1501, {walker_type = 901})", "mrkt walker type 901 not found"},
        {"mrkt(1501, {worker_range = 0})", "parameter worker_range of table 1 not between 1 and 32767: 0"},
        // Its promised lots are a 14-bit field.
        {"mrkt(1501, {capacity = 16384})", "parameter capacity of table 1 not between 1 and 16383: 16384"},
        {"mrkt(1501, {capacity = 16383})", ""},
        {"mrkt(1501, {goods_class = {}})", ""},
    });
}

TEST_F(LuaTypesTest, MarketTypeKeys) {
    ASSERT_EQ("", world("mrkt(1501, {goods_class = {802, 801}})"));
    const RnMrktType& t = grn_game.mrktType(0);
    EXPECT_EQ(1, t.flat_);
    EXPECT_EQ(0, t.walker_type_idx_);
    EXPECT_EQ(2, t.num_walkers_);
    EXPECT_EQ(2, t.hours_respawn_);
    EXPECT_EQ(0, t.worker_type_);
    EXPECT_EQ(2, t.num_workers_);
    EXPECT_EQ(8, t.worker_range_);
    EXPECT_EQ(6, t.capacity_);
    EXPECT_EQ((std::set<int16_t>{801, 802}), t.goods_class_);
    EXPECT_TRUE(loggedLine("added market id=1501 name='n1501' at index 0 - menu=4"));
    EXPECT_TRUE(loggedLine("    goods class=801 'n801'"));
    EXPECT_TRUE(loggedLine("    walker type=902, number=2, respawn_time=2"));
}

// --- builder -------------------------------------------------------------------------

TEST_F(LuaTypesTest, BuilderTypeReadsNoMaterial) {
    ASSERT_EQ("", world("bldr(1601, {distribute_material = {702, 701}, material1 = {702, 1, 1}, ruine = 'nope'})"));
    const RnBldrType& t = grn_game.bldrType(0);
    EXPECT_EQ(0, t.flat_);
    EXPECT_EQ(0, t.walker_type_idx_);
    EXPECT_EQ(1, t.req_num_bldr_walkers_);
    EXPECT_EQ(6, t.hours_respawn_);
    EXPECT_EQ(20, t.walker_range_);
    EXPECT_EQ(10, t.capacity_);
    EXPECT_EQ((std::set<int16_t>{0, 1}), t.goods_allowed_);
    EXPECT_TRUE(t.build_material_.empty());
    EXPECT_EQ("", t.ruin_image_);
    ASSERT_EQ(1u, t.worker_reqs_.size());
    EXPECT_TRUE(loggedLine("added builder id=1601 name='n1601' at index 0 - menu=5"));
    EXPECT_TRUE(loggedLine("    material type=702 name='n702'"));
    EXPECT_TRUE(loggedLine("    goods walkers number=1, respawn_time=6"));
}

TEST_F(LuaTypesTest, BuilderErrors) {
    expectCases({
        {"bldr(1601, {distribute_material = NIL})", "in create_builder_type: material table missing"},
        {"bldr(1601, {distribute_material = 702})", "material table missing"},
        {"bldr(1601, {distribute_material = {}})", "has 0 entries, expected at least 1"},
        {"bldr(1601, {distribute_material = {702, 702}})", "duplicate material in table"},
        {"bldr(1601, {distribute_material = {709}})", "goods type 709 not found"},
        // The builder counts its walkers out in 3 bits.
        {"bldr(1601, {num_walkers = 8})", "parameter num_walkers of table 1 not between 1 and 7: 8"},
        {"bldr(1601, {walker_range = 100})", "parameter walker_range of table 1 not between 1 and 99: 100"},
        {"bldr(1601, {walker_type = 901})", "bldr walker type 901 not found"},
        {"bldr(1601, {workers1 = NIL})", "req workers missing for type id=1601 name=n1601"},
    });
}

// --- production ----------------------------------------------------------------------

TEST_F(LuaTypesTest, ProductionTypeKeysAndResourceRules) {
    ASSERT_EQ("", world("prod(1701)\n"
                        "prod(1702, {input1 = NIL, output1 = {701, 2, 4}, output2 = {703, 1, 8}, in_capa = 3,"
                        " resource_under = 502, roam = 'roam', num_roam = 3})\n"
                        "prod(1703, {input1 = NIL, output1 = {701, 1, 4}, resource_around = 501,"
                        " resource_radius = 6, resource_percent = 40, roam = 'roam', num_roam = 3})\n"
                        "prod(1704, {input1 = {701, 1}, input2 = {703, 1}, resource_nextto = 501})"));
    const RnProdType& a = grn_game.prodType(0);
    EXPECT_EQ(0, a.flat_);
    EXPECT_EQ(1, a.num_walkers_);
    EXPECT_EQ(2, a.hours_respawn_);
    EXPECT_EQ(8, a.out_capa_);
    EXPECT_EQ(8, a.in_capa_);  // defaults to out_capa
    ASSERT_EQ(1u, a.output_goods_.size());
    EXPECT_EQ(1, a.output_goods_[0].good_type_idx_);
    EXPECT_EQ(1, a.output_goods_[0].amount_);
    EXPECT_EQ(6, a.output_goods_[0].time_);
    ASSERT_EQ(1u, a.input_goods_.size());
    EXPECT_EQ(2, a.input_goods_[0].amount_);
    EXPECT_EQ(kRnResNone, a.resource_bld_type_);
    EXPECT_EQ(-1, a.resource_idx_);

    const RnProdType& b = grn_game.prodType(1);
    EXPECT_EQ(3, b.in_capa_);
    EXPECT_EQ(2u, b.output_goods_.size());
    EXPECT_EQ(kRnResUnderBld, b.resource_bld_type_);
    EXPECT_EQ(1, b.resource_idx_);
    EXPECT_EQ("", b.roam_image_);  // roaming markers only around
    EXPECT_EQ(0, b.num_roaming_);

    const RnProdType& c = grn_game.prodType(2);
    EXPECT_EQ(kRnResAroundBld, c.resource_bld_type_);
    EXPECT_EQ(0, c.resource_idx_);
    EXPECT_EQ(6, c.resource_radius_);
    EXPECT_EQ(40, c.resource_percent_);
    EXPECT_EQ("roam", c.roam_image_);
    EXPECT_EQ(3, c.num_roaming_);

    const RnProdType& d = grn_game.prodType(3);
    EXPECT_EQ(kRnResNextToBld, d.resource_bld_type_);
    EXPECT_EQ(2u, d.input_goods_.size());

    EXPECT_TRUE(loggedLine("added production id=1701 name='n1701' at index 0 - menu=6"));
    EXPECT_TRUE(loggedLine("  makes type=702 name='n702' amount=1 time=6"));
    EXPECT_TRUE(loggedLine("    goods walkers number=1, respawn_time=2"));
    EXPECT_TRUE(loggedLine("    resource 502 (idx=1) under building"));
    EXPECT_TRUE(loggedLine("    resource 501 (idx=0) around building, rad=6, 40%"));
    EXPECT_TRUE(loggedLine("    resource 501 (idx=0) next to building"));
}

TEST_F(LuaTypesTest, ProductionErrors) {
    expectCases({
        {"prod(1701, {output2 = {703, 1, 1}})",
         "prod has multiple output goods AND at least one input good, which is not allowed"},
        {"prod(1701, {output1 = NIL})", "no output goods defined for type n1701"},
        {"prod(1701, {output2 = {702, 1, 1}, input1 = NIL})", "duplicate output goods type 702 for type n1701"},
        {"prod(1701, {output1 = {702, 1, 0}})", "parameter 3 of table 3 not between 1 and 32767: 0"},
        {"prod(1701, {num_walkers = 6})", "parameter num_walkers of table 1 not between 1 and 5: 6"},
        {"prod(1701, {num_roam = 9})", "parameter num_roam of table 1 not between 0 and 8: 9"},
        {"prod(1701, {out_capa = NIL})", "missing required parameter out_capa of table 1"},
        {"prod(1701, {in_capa = 0})", "parameter in_capa of table 1 not between 1 and 32767: 0"},
        {"prod(1701, {resource_around = 501, resource_under = 502})", "multiple resources specified"},
        {"prod(1701, {resource_around = 501, resource_nextto = 502})", "multiple resources specified"},
        {"prod(1701, {resource_under = 501, resource_nextto = 502})", "multiple resources specified"},
        {"prod(1701, {resource_under = 509})", "resource 509 not found"},
        // The radius runs from the footprint's larger side to the
        // configured maximum (12).
        {"prod(1701, {resource_around = 501, resource_radius = 1})",
         "parameter resource_radius of table 1 not between 2 and 12: 1"},
        {"prod(1701, {resource_around = 501, resource_radius = 13})",
         "parameter resource_radius of table 1 not between 2 and 12: 13"},
        {"prod(1701, {resource_around = 501, resource_percent = 101})",
         "parameter resource_percent of table 1 not between 1 and 100: 101"},
        {"prod(1701, {resource_around = 501, roam = 'nope', num_roam = 1})", "image nope not found"},
        {"prod(1701, {resource_under = 501, roam = 'nope', num_roam = 1})", ""},
        {"prod(1701, {workers1 = {609, 1, 1}})", "people type 609 not found"},
    });
}

// --- decoration ------------------------------------------------------------------------

TEST_F(LuaTypesTest, DecorationTypeWithGoodsOrService) {
    ASSERT_EQ("", world("serv(1001)\n"
                        "deko(1801, {input1 = {703, 2}, in_capa = 4, hours_attr = 24})\n"
                        "deko(1802, {service = 1001, deprecated = 1})\n"
                        "deko(1803, {service = 0})"));
    const RnDecoType& a = grn_game.decoType(0);
    EXPECT_EQ(1, a.flat_);  // the decoration default
    EXPECT_EQ("bld22", a.image_);
    EXPECT_EQ("bld22b", a.image_defunc_);
    EXPECT_EQ(20, a.own_attr_act_);
    EXPECT_EQ(-5, a.own_attr_def_);
    EXPECT_EQ(4, a.in_capa_);
    EXPECT_EQ(24, a.hours_attr_);
    EXPECT_EQ(-1, a.service_type_idx_);
    ASSERT_EQ(1u, a.goods_.size());
    EXPECT_EQ(2, a.goods_[0].good_type_idx_);
    EXPECT_EQ(0, grn_game.decoType(1).service_type_idx_);
    EXPECT_EQ(-1, grn_game.decoType(2).service_type_idx_);
    const RnBuildMenuEntry& menu = grn_build_menu.entry(7);
    ASSERT_EQ(3u, menu.buttons_.size());
    EXPECT_TRUE(menu.buttons_[1].disabled_);
    EXPECT_EQ(RnIdBldDeco, menu.buttons_[2].kind_);
    EXPECT_TRUE(loggedLine("added deko id=1801 name='n1801' at index 0 - menu=7"));
    EXPECT_TRUE(loggedLine("  consumes goods in 24 hours, capa=4"));
}

TEST_F(LuaTypesTest, DecorationErrors) {
    expectCases({
        {"serv(1001) deko(1801, {service = 1001, input1 = {703, 1}, in_capa = 2})",
         "deco can either require goods or a service, but not both"},
        {"deko(1801, {input1 = {703, 1}})", "input goods are required, but in_capa is 0"},
        {"deko(1801, {service = 1009})", "service type 1009 not found"},
        {"deko(1801, {image_defunc = 'nope'})", "image nope not found"},
        {"deko(1801, {image_active = NIL})", "missing required parameter image_active of table 1"},
        {"deko(1801, {own_attr_def = 1001})", "parameter own_attr_def of table 1 not between -1000 and 1000: 1001"},
        {"deko(1801, {material1 = {702, 1, 1}})", "missing name for ruine parameter for type n1801"},
        {"deko(1801, {ruine = 'ruin22', material1 = {702, 1, 1}})", ""},
    });
}

// --- build menu, model properties and order ---------------------------------------

TEST_F(LuaTypesTest, BuildMenuRefusesASecondTypeOfTheSameNameInOneMenu) {
    // Storage types 1401 and 1402 both show the name "Depot".
    auto sameNames = [] {
        dax_strings.clearImported();
        dax_strings.addString(1401, "Depot", true);
        dax_strings.addString(1402, "Depot", true);
        for (int id = 1; id < 2000; ++id) dax_strings.addString(id, "n" + std::to_string(id), true);
    };
    sameNames();
    ASSERT_EQ("", world("stor(1401, {}, 4)\nstor(1402, {goods_class = 802}, 5)"));  // two menus: fine
    EXPECT_EQ("Depot", grn_build_menu.entry(5).buttons_.at(0).name_);

    resetWorld();
    sameNames();
    std::string err = world("stor(1401, {}, 4)\nstor(1402, {goods_class = 802}, 4)");
    EXPECT_TRUE(contains(err, "in create_storage_type: build menu button for Depot already registered")) << err;
    // The refused type is not left in its table.
    EXPECT_EQ(1u, grn_game.storTypes().size());
    EXPECT_EQ(1u, grn_build_menu.entry(4).buttons_.size());
}

TEST_F(LuaTypesTest, MenuEntriesAreNumberedOneToEleven) {
    ASSERT_EQ("", script("define_menu_entry(1, 'menu_roads', 1201)\ndefine_menu_entry(11, 'menu_deco', 1202)"));
    EXPECT_EQ("menu_roads", grn_build_menu.entry(1).image_);
    EXPECT_EQ(1201, grn_build_menu.entry(1).text_id_);
    EXPECT_EQ("menu_deco", grn_build_menu.entry(11).image_);
    expectCases({
        {"define_menu_entry(0, 'x', 1)", "in define_menu_entry: parameter 1 not between 1 and 11: 0"},
        {"define_menu_entry(12, 'x', 1)", "parameter 1 not between 1 and 11: 12"},
        {"define_menu_entry(1, 'x', 0)", "parameter 3 not gt 0: 0"},
        {"define_menu_entry(1, 'x')", "wrong number of parameters: 2, expected 3"},
    }, false);
}

TEST_F(LuaTypesTest, ModelPropertiesAreStoredAndLogged) {
    ASSERT_EQ("", world(""));
    EXPECT_EQ(2, grn_game.hours_incr_desirability_);
    EXPECT_EQ(3, grn_game.hours_decr_desirability_);
    EXPECT_EQ(5, grn_game.map_range_desirability_);
    EXPECT_EQ(24, grn_game.prod_walker_range_);
    EXPECT_EQ(32, grn_game.storage_walker_range_);
    EXPECT_EQ(4, grn_game.storage_walker_capacity_);
    EXPECT_EQ(200, grn_game.storage_walker_speed_);
    EXPECT_EQ(24, grn_game.storage_network_update_hours_);
    EXPECT_EQ(12, grn_game.resource_efficiency_update_hours_);
    EXPECT_TRUE(rnModelPropertiesSet());
    EXPECT_TRUE(loggedLine("attr_incr_hours=2 decr=3 range=5"));
    EXPECT_TRUE(loggedLine("stor_walk_capa=4 stor_walk_speed=200 network_upd=24 hours"));
    EXPECT_TRUE(loggedLine("res_eff_upd=12 hours"));
}

TEST_F(LuaTypesTest, ModelPropertyErrors) {
    const std::string base =
        "P = {hours_incr_desirability = 2, hours_decr_desirability = 3, map_range_desirability = 5,"
        " prod_walker_range = 24, storage_walker_range = 32, storage_walker_capacity = 4, storage_walker_speed = 200,"
        " storage_network_update_hours = 24, resource_efficiency_update_hours = 12}\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"map_range_desirability = 16", "parameter map_range_desirability of table 1 not between 1 and 15: 16"},
        {"hours_incr_desirability = 0", "parameter hours_incr_desirability of table 1 not between 1 and 32767: 0"},
        {"hours_decr_desirability = 0", "parameter hours_decr_desirability of table 1 not between 1 and 32767: 0"},
        {"prod_walker_range = 129", "parameter prod_walker_range of table 1 not between 2 and 128: 129"},
        {"storage_walker_range = 1", "parameter storage_walker_range of table 1 not between 2 and 256: 1"},
        {"storage_walker_capacity = 9", "parameter storage_walker_capacity of table 1 not between 2 and 8: 9"},
        {"storage_walker_speed = 19", "parameter storage_walker_speed of table 1 not between 20 and 800: 19"},
        {"storage_network_update_hours = 0",
         "parameter storage_network_update_hours of table 1 not between 1 and 32767: 0"},
        {"resource_efficiency_update_hours = 0",
         "parameter resource_efficiency_update_hours of table 1 not between 1 and 32767: 0"},
        {"resource_efficiency_update_hours = NIL", "missing required parameter resource_efficiency_update_hours"},
        {"storage_walker_speed = NIL", "missing required parameter storage_walker_speed of table 1"},
        {"[1] = 5", "table row 1 has 1 entries, expected 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        resetWorld();
        grn_game.map_range_desirability_ = 10;
        std::string err = script(base + "set_model_properties(merge(P, {" + c.first + "}))");
        EXPECT_TRUE(contains(err, "in set_model_properties: " + c.second)) << err;
        // Nothing is stored from a refused table.
        EXPECT_EQ(10, grn_game.map_range_desirability_);
        EXPECT_FALSE(rnModelPropertiesSet());
    }
}

// Types are referred to by id and must exist when they are named.
TEST_F(LuaTypesTest, TypesMustBeDefinedBeforeTheyAreNamed) {
    expectCases({
        {"create_goods_type{701, 'wood', class = 801, lot_size = 1, hours_for_1tile_road = 1, smooth_move = 0}",
         "set_model_properties must come before the first goods type"},
        {"create_people_type{601}\n"
         "create_service_type({1001, 2, 2, 1, 1, {1, 2, 3}, image = 'bld22', floor = 'floor22', own_attr = 0,"
         " walker_type = 901, num_walkers = 1, hours_respawn = 1, workers1 = {601, 1, 1}}, 3)",
         "serv walker type 901 not found"},
    }, false);
    expectCases({
        {"prod(1701, {output1 = {704, 1, 1}})", "goods type 704 not found"},
        {"deko(1801, {service = 1001})", "service type 1001 not found"},
    });
}
