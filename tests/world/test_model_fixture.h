// A small data model with every part the model check looks at, kept as
// records a test can change before they are registered: wood cut on ore,
// sawn into planks, bread baked; a house whose second level needs bread and
// planks; a market for bread, a builder for planks, one storage for all.
#pragma once

#include <vector>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_wlk_serv.h"
#include "test_game_fixture.h"

namespace worldtest {

// Goods ids; their names are "wood", "planks", "bread".
enum : int32_t { kWoodId = 511, kPlanksId = 512, kBreadId = 513 };
// Goods classes.
enum : int16_t { kRawClass = 1, kMaterialClass = 2, kFoodClass = 3 };

struct SmallModel {
    std::vector<RnGoodsType> goods;
    std::vector<RnProdType> prods;  // woodcutter 901, sawmill 902, bakery 903
    std::vector<RnHousType> houses;  // 600
    std::vector<RnServType> servs;
    std::vector<RnDecoType> decos;
    std::vector<RnMrktType> markets;  // 800
    std::vector<RnStorType> stors;    // 750
    std::vector<RnBldrType> bldrs;    // 850

    // The goods at the indices given (a permutation of 0, 1, 2).
    SmallModel(int16_t wood = 0, int16_t planks = 1, int16_t bread = 2) {
        goods.resize(3);
        goods[wood] = RnGoodsType("wood", kWoodId, kRawClass, 4, -2);
        goods[planks] = RnGoodsType("planks", kPlanksId, kMaterialClass, 2, -2);
        goods[bread] = RnGoodsType("bread", kBreadId, kFoodClass, 4, -2);

        RnProdType cutter = prod(901, "woodcutter");
        cutter.resource_bld_type_ = kRnResAroundBld;
        cutter.resource_idx_ = 0;
        cutter.output_goods_ = {{wood, 1, 4}};
        cutter.worker_reqs_ = {{0, 2, 24}};
        RnProdType sawmill = prod(902, "sawmill");
        sawmill.input_goods_ = {{wood, 2}};
        sawmill.output_goods_ = {{planks, 1, 6}};
        sawmill.worker_reqs_ = {{0, 4, 24}};
        RnProdType bakery = prod(903, "bakery");
        bakery.output_goods_ = {{bread, 2, 8}};
        prods = {cutter, sawmill, bakery};

        RnHousType house;
        house.type_id_ = 600;
        house.name_ = "house";
        house.percent_workers_ = 50;
        house.level_descs_.resize(2);
        house.level_descs_[0].people_max_ = 6;
        house.level_descs_[1].people_max_ = 12;
        house.level_descs_[1].goods_ = {{bread, 1, 24}};
        house.level_descs_[1].material_ = {planks, 2, 240};
        houses = {house};

        RnMrktType market;
        market.type_id_ = 800;
        market.name_ = "market";
        market.goods_class_ = {kFoodClass};
        markets = {market};

        RnStorType stor;
        stor.type_id_ = 750;
        stor.name_ = "storehouse";
        stor.goods_class_ = {kRawClass, kMaterialClass, kFoodClass};
        stor.build_material_ = {{planks, 2, 480}};
        stors = {stor};

        RnBldrType bldr;
        bldr.type_id_ = 850;
        bldr.name_ = "builder";
        bldr.goods_allowed_ = {planks};
        bldrs = {bldr};
    }

    static RnProdType prod(int32_t id, const char* name) {
        RnProdType pt;
        pt.type_id_ = id;
        pt.name_ = name;
        return pt;
    }

    // Registers everything in the game's tables.
    void registerAll() const {
        for (const RnGoodsType& g : goods) grn_game.addGoodsType(g);
        for (const RnProdType& t : prods) grn_game.addProdType(t);
        for (const RnServType& t : servs) grn_game.addServType(t);
        for (const RnHousType& t : houses) grn_game.addHousType(t);
        for (const RnDecoType& t : decos) grn_game.addDecoType(t);
        for (const RnMrktType& t : markets) grn_game.addMrktType(t);
        for (const RnStorType& t : stors) grn_game.addStorType(t);
        for (const RnBldrType& t : bldrs) grn_game.addBldrType(t);
    }
};

// The world of WorldTest with the settlers (people type 0) and, unless the
// test says otherwise, the ore on the map.
class ModelTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(32);
        grn_game.addPeoplType(RnPeoplType(200, "settlers"));
    }
    static void setOreOnMap(bool on) {
        RnTerrain& ore = grn_game.terrain(kOre);
        ore.flags_ = static_cast<int16_t>(on ? ore.flags_ | kRnTerrainOnMap : ore.flags_ & ~kRnTerrainOnMap);
    }
    // Registers the model and runs the check; the message it raised, "" for
    // none.
    static std::string check(const SmallModel& model, bool ore_on_map = true) {
        setOreOnMap(ore_on_map);
        model.registerAll();
        return raised([] { grn_game.validateModel(); });
    }
};

}  // namespace worldtest
