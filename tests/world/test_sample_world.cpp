// The bundled sample world under data/, loaded without a display the way the
// front end loads it: the initial-data script of the main menu, then after a
// clear the icon loader, the data model, the map script and the trigger. The
// log must stay free of errors.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_neighbourhood.h"
#include "rn.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_build_menu.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "test_sample_world_fixture.h"

namespace worldtest {
namespace {

TEST_F(SampleWorldTest, LoadsEveryTypeTableInTheRequiredOrder) {
    loadWorld();

    ASSERT_EQ(1u, grn_game.resources().size());
    EXPECT_EQ("Forest", grn_game.resource(0).name_);
    ASSERT_EQ(3u, grn_game.terrains().size());
    EXPECT_EQ("Grass", grn_game.terrain(0).name_);
    EXPECT_EQ(grn_game.resource(0).mask_, grn_game.terrain(1).resource_mask_);
    EXPECT_FALSE(grn_game.terrain(2).isWalkable());
    ASSERT_EQ(1u, grn_game.peoplTypes().size());

    // Goods in chain order, each with its production and storage walker type
    // at the same index.
    ASSERT_EQ(3u, grn_game.goodsTypes().size());
    const char* goods[] = {"Wood", "Planks", "Bread"};
    for (int16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(goods[i], grn_game.goodsType(i).name_);
        EXPECT_EQ(goods[i], grn_game.prodWalkerType(i).name_);
        EXPECT_EQ(goods[i], grn_game.storWalkerType(i).name_);
        EXPECT_GE(grn_game.goodsType(i).image_, 0);
    }
    // The storage walkers' speed was known when the goods were made.
    EXPECT_EQ(150, grn_game.storage_walker_speed_);

    EXPECT_EQ(2u, grn_game.servWalkerTypes().size());
    EXPECT_EQ(1u, grn_game.mrktWalkerTypes().size());
    EXPECT_EQ(1u, grn_game.bldrWalkerTypes().size());

    // Every building kind, the road with three levels.
    ASSERT_EQ(1u, grn_game.roadTypes().size());
    EXPECT_EQ(3u, grn_game.roadType(0).level_descs_.size());
    // Two services: water and the tax office, which collects taxes.
    ASSERT_EQ(2u, grn_game.servTypes().size());
    EXPECT_EQ(0, grn_game.servType(grn_game.servTypeIdx(5701)).tax_percent_);
    EXPECT_GT(grn_game.servType(grn_game.servTypeIdx(5702)).tax_percent_, 0);
    EXPECT_EQ(1u, grn_game.storTypes().size());
    EXPECT_EQ(1u, grn_game.mrktTypes().size());
    EXPECT_EQ(1u, grn_game.bldrTypes().size());
    EXPECT_EQ(3u, grn_game.prodTypes().size());
    EXPECT_EQ(2u, grn_game.decoTypes().size());

    // The house: three levels; the top one needs goods, water, building
    // material and pays taxes.
    ASSERT_EQ(1u, grn_game.housTypes().size());
    const RnHousType& house = grn_game.housType(0);
    ASSERT_EQ(3u, house.level_descs_.size());
    const RnHousLevelDesc& top = house.level_descs_[2];
    ASSERT_EQ(1u, top.goods_.size());
    EXPECT_EQ(grn_game.goodsTypeIdx(5313), top.goods_[0].good_type_idx_);
    ASSERT_EQ(2u, top.services_.size());
    EXPECT_EQ(grn_game.servTypeIdx(5701), top.services_[0].service_type_idx_);
    EXPECT_EQ(grn_game.servTypeIdx(5702), top.services_[1].service_type_idx_);
    EXPECT_EQ(grn_game.goodsTypeIdx(5312), top.material_.good_type_idx_);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(house.level_descs_[i].goods_.empty());
        EXPECT_TRUE(house.level_descs_[i].services_.empty());
    }

    // A raw good made into a processed one, and a production on a resource.
    const RnProdType& sawmill = grn_game.prodType(grn_game.prodTypeIdx(5902));
    ASSERT_EQ(1u, sawmill.input_goods_.size());
    EXPECT_EQ(grn_game.goodsTypeIdx(5311), sawmill.input_goods_[0].good_type_idx_);
    EXPECT_EQ(grn_game.goodsTypeIdx(5312), sawmill.output_goods_[0].good_type_idx_);
    const RnProdType& woodcutter = grn_game.prodType(grn_game.prodTypeIdx(5901));
    EXPECT_EQ(0, woodcutter.resource_idx_);

    // The fountain names the well.
    EXPECT_EQ(grn_game.servTypeIdx(5701), grn_game.decoType(grn_game.decoTypeIdx(5952)).service_type_idx_);

    // The build menu: eight menus with their images and texts.
    int offered = 0;
    for (int m = 1; m <= 8; ++m) {
        const RnBuildMenuEntry& e = grn_build_menu.entry(m);
        EXPECT_FALSE(e.image_.empty()) << m;
        EXPECT_GE(dax_bitmaps.findVariant(e.image_, 0), 0) << e.image_;
        EXPECT_TRUE(dax_strings.hasString(e.text_id_)) << m;
        EXPECT_FALSE(e.buttons_.empty()) << m;
        offered += static_cast<int>(e.buttons_.size());
    }
    EXPECT_EQ(12, offered);
    EXPECT_EQ(offered, grn_build_menu.buttonCount());

    EXPECT_EQ(std::vector<std::string>(), troubleLines());
}

TEST_F(SampleWorldTest, TheModelCheckDerivesWhatTheGameNeeds) {
    loadWorld();
    const int16_t wood = grn_game.goodsTypeIdx(5311);
    const int16_t planks = grn_game.goodsTypeIdx(5312);
    const int16_t food = grn_game.goodsTypeIdx(5313);
    // The town house needs food and planks, and the planks need wood.
    EXPECT_EQ("A p-in harv", usageText(grn_game.goodsType(wood)));
    EXPECT_EQ("A prod mat bldr", usageText(grn_game.goodsType(planks)));
    EXPECT_EQ("A hous harv", usageText(grn_game.goodsType(food)));
    for (int16_t g : {wood, planks, food}) EXPECT_EQ(0, grn_game.goodsType(g).stor_type_idx_);
    EXPECT_EQ((std::set<int16_t>{wood, planks, food}), grn_game.storType(0).distribute_goods_);
    EXPECT_EQ((std::set<int16_t>{food}), grn_game.mrktType(0).distribute_goods_);
    // The forest is on the map: every production works here and serves the
    // houses.
    for (const RnProdType& pt : grn_game.prodTypes()) {
        EXPECT_EQ(1, pt.menu_flag_) << pt.name_;
        EXPECT_EQ(1, pt.used_flag_) << pt.name_;
    }
    // The walkers' reach (storage walkers: 32) and the resource radius.
    EXPECT_GE(dax_neighbourhood_manh.radiusCount(), 40);
    EXPECT_GE(dax_neighbourhood_eucl.radiusCount(), grn_config.prod_max_radius_ + 1);
    EXPECT_EQ(std::vector<std::string>(), troubleLines());
}

TEST_F(SampleWorldTest, EveryTextUsedAsAFormatFitsItsArguments) {
    dax_config.debug_level_ = 1;
    clearConsole();
    rnDeclareTextFormats();
    dax_strings.loadFile((kData + "zor.en.txt").c_str(), false);
    EXPECT_FALSE(loggedContaining("does not fit"));
    for (int n : {3001, 3100, 3101, 3106, 2154}) EXPECT_NE(nullptr, dax_strings.declaredFormat(n)) << n;
}

TEST_F(SampleWorldTest, ScreensFindTheirImagesAndTexts) {
    loadWorld();
    const char* images[] = {
        "icon_pause", "icon_options", "icon_minimap", "icon_overview",
        "walker_direct_marker", "walker_second_marker", "red_alert_marker", "orange_alert_marker",
        "people_unhappy_marker", "people_yellow_marker", "no_people_marker", "no_goods_marker",
    };
    for (const char* name : images) EXPECT_GE(dax_bitmaps.findVariant(name, 0), 0) << name;

    // One hot-spot convention: the middle of the bottom edge, one row below.
    for (const char* name : {"no_goods_marker", "icon_pause", "wood", "water_carrier_ro", "tax_collector_lu", "tree"}) {
        const DaxBitmapEntry& e = dax_bitmaps.entry(dax_bitmaps.findVariant(name, 0));
        EXPECT_EQ(e.width_ / 2, e.hot_x_) << name;
        EXPECT_EQ(e.height_ + 1, e.hot_y_) << name;
    }
    // Multi-tiles: the footprint's bottom corner, one row below.
    const DaxBitmapEntry& house = dax_bitmaps.entry(dax_bitmaps.findVariant("house_town", 0));
    EXPECT_EQ(64, house.hot_x_);
    EXPECT_EQ(house.height_ + 1, house.hot_y_);

    // Every text the screens and messages ask for.
    const int texts[] = {100, 101, 110, 111, 112, 120, 1003, 1004, 1021, 1022, 1023, 1024, 1025, 1026, 1027,
                         1031, 1032, 1033, 1034, 1041, 1042, 1051, 1052, 1053, 1055, 1056, 1060, 1061, 1062,
                         1063, 1064, 1070, 1071, 1072, 1102, 1103, 1121, 1122, 1123, 1131, 1132, 1133, 1201,
                         1202, 1203, 1204, 1205, 2001, 2002, 2501, 2502, 2503, 2504, 2701, 2702, 2704, 2707,
                         2708, 2709, 2710, 2711, 2831, 2832, 2833, 2834, 3001, 3002, 3003};
    for (int n : texts) EXPECT_TRUE(dax_strings.hasString(n)) << n;
    for (int n = 2100; n <= 2191; ++n) {
        if (n == 2124 || n == 2168 || n == 2169) continue;
        EXPECT_TRUE(dax_strings.hasString(n)) << n;
    }
    for (int n = 2810; n <= 2819; ++n) EXPECT_TRUE(dax_strings.hasString(n)) << n;
    for (int n = 3100; n <= 3107; ++n) EXPECT_TRUE(dax_strings.hasString(n)) << n;
    EXPECT_EQ("Green Valley: the sample world of Zor", dax_strings.get(6201));
}

TEST_F(SampleWorldTest, MapScriptLaysTheTerrainAndSetsTheMoney) {
    loadWorld();
    ASSERT_EQ(64, grn_map.size());
    EXPECT_EQ(6101, info_.text_id_);
    EXPECT_EQ(5000, grn_game.money_);

    // The image: grass, a river three tiles wide starting at column 44 in
    // row 0, forests around (14, 14) and (24, 50).
    const int16_t grass = grn_game.terrainIdx(5101);
    const int16_t forest = grn_game.terrainIdx(5102);
    const int16_t water = grn_game.terrainIdx(5103);
    EXPECT_EQ(grass, grn_map.tile(0, 0).terrain_idx_);
    EXPECT_EQ(grass, grn_map.tile(43, 0).terrain_idx_);
    for (int x = 44; x < 47; ++x) EXPECT_EQ(water, grn_map.tile(x, 0).terrain_idx_) << x;
    EXPECT_EQ(grass, grn_map.tile(47, 0).terrain_idx_);
    EXPECT_EQ(forest, grn_map.tile(14, 14).terrain_idx_);
    EXPECT_EQ(forest, grn_map.tile(24, 50).terrain_idx_);
    EXPECT_EQ(0, grn_map.tile(45, 0).flags_ & kRnTileWalkable);
    EXPECT_GE(grn_map.tile(14, 14).second_bmp_idx_, 0);

    int count[3] = {0, 0, 0};
    for (int x = 0; x < 64; ++x) {
        for (int y = 0; y < 64; ++y) {
            const RnMapTile& t = grn_map.tile(x, y);
            ASSERT_GE(t.terrain_idx_, 0);
            ASSERT_LT(t.terrain_idx_, 3);
            ++count[t.terrain_idx_];
            ASSERT_GE(t.gnd_bmp_idx_, 0);
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_GT(count[i], 0) << i;
        EXPECT_TRUE(grn_game.terrain(static_cast<int16_t>(i)).isOnMap());
    }
    EXPECT_GT(count[grass], count[forest] + count[water]);
    EXPECT_EQ(std::vector<std::string>(), troubleLines());
}

TEST_F(SampleWorldTest, TriggerRunsDailyAndPaysAWeeklyGrant) {
    loadWorld();
    EXPECT_EQ("triggers/green_valley.lua", grn_trigger.scriptFile());
    EXPECT_EQ("daily", grn_trigger.functionName());
    EXPECT_EQ(24u, grn_trigger.periodHours());
    DaxGameTime first;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(RnScriptTrigger::jobId(), first));
    EXPECT_EQ(72u, first.value());

    RnTriggerTickServices services;
    grn_game.setTickServices(&services);
    const size_t messages = dax_msgmgr.history().size();
    // Seven game days from 6 o'clock of day 1: the seventh run pays.
    const uint32_t seventh = 72 + 6 * 288;
    for (uint32_t t = 0; t <= seventh; t += 6) {
        setNow(t);
        grn_game.update();
    }
    EXPECT_TRUE(loggedContaining("trigger starting at 0001/01/01-06:00"));
    EXPECT_TRUE(loggedContaining("trigger starting at 0001/01/07-06:00"));
    EXPECT_EQ(5250, grn_game.money_);
    // The trigger's one message, and the statistics' advice of a town
    // without houses, given once.
    std::vector<int> posted;
    for (size_t i = messages; i < dax_msgmgr.history().size(); ++i) posted.push_back(dax_msgmgr.history()[i].number_);
    EXPECT_EQ((std::vector<int>{3100, 1950}), posted);

    std::map<std::string, std::string> saved;
    int depth = 0;
    for (const RnScriptDataEntry& e : grn_trigger.scriptData()) {
        if (e.value_kind_ == kRnScriptTableEnd) {
            --depth;
            continue;
        }
        std::string key = (depth ? "chronicle." : "") + e.str_key_;
        if (e.value_kind_ == kRnScriptInteger) saved[key] = std::to_string(e.int_value_);
        if (e.value_kind_ == kRnScriptString) saved[key] = e.str_value_;
        if (e.value_kind_ == kRnScriptTableStart) ++depth;
    }
    EXPECT_EQ("7", saved["days"]);
    EXPECT_EQ("1", saved["chronicle.paydays"]);
    EXPECT_EQ("day 7", saved["chronicle.last"]);
    EXPECT_EQ(std::vector<std::string>(), troubleLines());
}

TEST_F(SampleWorldTest, MapListSeesTheSampleMap) {
    // The new-game screen runs the map script for its information only.
    grn_game.clear();
    RnMapImageInfo info;
    RnLuaMapLoader map;
    map.init();
    ASSERT_EQ(0, map.runForInfo("maps/green_valley.lua", &info));
    EXPECT_EQ(64, info.w_);
    EXPECT_EQ(64, info.h_);
    EXPECT_EQ(6101, info.text_id_);
    EXPECT_NE(std::string::npos, info.path_.find("maps/green_valley.png"));
    EXPECT_FALSE(grn_trigger.isSet());
    EXPECT_EQ(0, grn_map.size());
}

TEST_F(SampleWorldTest, HousesFillAndRiseBesideAGardenAndFallWithoutIt) {
    loadWorld();
    grn_game.money_ = 100000;
    // A free block of grass 16 by 6 tiles.
    int ox = -1;
    int oy = -1;
    for (int y = 0; y + 6 <= grn_map.size() && ox < 0; ++y) {
        for (int x = 0; x + 16 <= grn_map.size(); ++x) {
            if (grn_map.canBuildArea(x + 15, y + 5, 16, 6, false, 0)) {
                ox = x;
                oy = y;
                break;
            }
        }
    }
    ASSERT_GE(ox, 0);
    // Two houses with a garden between them; work for their people at the
    // far end of the block (a farm and a storehouse).
    const int32_t house = grn_game.housType(0).type_id_;
    place(RnIdBldHous, house, ox + 1, oy + 1);
    place(RnIdBldDeco, grn_game.decoType(0).type_id_, ox + 2, oy + 1);
    place(RnIdBldHous, house, ox + 4, oy + 1);
    place(RnIdBldProd, grn_game.prodType(grn_game.prodTypeIdx(5903)).type_id_, ox + 14, oy + 1);
    place(RnIdBldStor, grn_game.storType(0).type_id_, ox + 14, oy + 4);
    const RnHous& a = grn_game.housByOid(grn_map.tile(ox + 1, oy + 1).oid_);
    const RnHous& b = grn_game.housByOid(grn_map.tile(ox + 4, oy + 1).oid_);

    // People come every few hours; full, in a garden's neighbourhood, the
    // houses rise to the cottage level.
    const uint32_t days4 = 4 * DaxGameTime::kPerDay;
    runUntil(days4, 3);
    EXPECT_EQ(a.curLevel(), 1);
    EXPECT_EQ(b.curLevel(), 1);
    EXPECT_GT(a.people(), 6);
    EXPECT_GT(b.people(), 6);
    EXPECT_EQ(grn_game.population_, static_cast<uint32_t>(a.people() + b.people()));
    EXPECT_GT(a.employed(), 0);

    // The garden goes: the houses fall back to huts.
    RnSelection sel;
    sel.arm();
    ASSERT_GT(grn_game.selectBuildingsInRect(sel, ox + 2, oy + 1, ox + 2, oy + 1), 0);
    grn_game.demolishSelection(sel);
    runUntil(days4 + 3 * DaxGameTime::kPerDay, 3);
    EXPECT_EQ(a.curLevel(), 0);
    EXPECT_EQ(b.curLevel(), 0);
    EXPECT_EQ(a.peopleTarget(), 6);  // the people beyond it leave one by one
    EXPECT_FALSE(a.isDestroyed());
    EXPECT_EQ(std::vector<std::string>(), troubleLines());
}

}  // namespace
}  // namespace worldtest
