// The model check after loading: the usage flags and goods sets it derives,
// the report it logs, the content errors it raises and the neighbourhood
// tables it sizes.
#include <functional>
#include <set>
#include <string>

#include "dax2/dax_neighbourhood.h"
#include "test_model_fixture.h"

using namespace worldtest;

namespace {

using GameModelTest = ModelTest;

TEST_F(GameModelTest, UsageFlagsAndGoodsSetsOfASmallModel) {
    ASSERT_EQ("", check(SmallModel()));
    // Level 1 needs bread and planks, and planks are made of wood.
    EXPECT_EQ("A p-in harv", usageText(grn_game.goodsType(0)));
    EXPECT_EQ("A prod mat bldr", usageText(grn_game.goodsType(1)));
    EXPECT_EQ("A hous harv", usageText(grn_game.goodsType(2)));
    for (int16_t g = 0; g < 3; ++g) EXPECT_EQ(0, grn_game.goodsType(g).stor_type_idx_);
    EXPECT_EQ((std::set<int16_t>{0, 1, 2}), grn_game.storType(0).distribute_goods_);
    EXPECT_EQ((std::set<int16_t>{2}), grn_game.mrktType(0).distribute_goods_);
    for (const RnProdType& pt : grn_game.prodTypes()) {
        EXPECT_EQ(1, pt.menu_flag_) << pt.name_;
        EXPECT_EQ(1, pt.used_flag_) << pt.name_;
    }

    // The report: each level lists what it adds, in the order it was found.
    EXPECT_TRUE(loggedLine("house type house"));
    EXPECT_TRUE(loggedLine("level  0:  6  3"));
    EXPECT_TRUE(loggedLine("level  1: 12  6 g(512)planks g(513)bread g(511)wood"));
    EXPECT_TRUE(loggedLine("goods type 511 (wood) is harvested by prod"));
    EXPECT_TRUE(loggedLine("goods type 512 (planks) is produced by prod"));
    EXPECT_TRUE(loggedLine("prod 902 per week 512 lot=  2 /week= 28.00 - 4 sawmill planks"));
    // Planks: needed for a level, sawn (4 workers, 6 with the woodcutter's).
    EXPECT_TRUE(loggedLine("goods type 512 A" + std::string(21, ' ') +
                           "prod mat bldr stor= 0 lot=  2 /week= 28.00  56.00   4  0   6  0  planks"));
    EXPECT_FALSE(loggedContaining("consumed, but not produced"));
    EXPECT_FALSE(loggedContaining("not used anywhere"));
}

TEST_F(GameModelTest, ContentThatCannotWorkIsRefusedWithItsReason) {
    struct Case {
        const char* what;
        std::function<void(SmallModel&)> change;
        const char* message;
    } cases[] = {
        {"no market", [](SmallModel& m) { m.markets.clear(); },
         "goods are consumed by houses, but there are no markets"},
        {"houses eat nothing", [](SmallModel& m) { m.houses[0].level_descs_[1].goods_.clear(); },
         "no goods are consumed by any house, markets not usable"},
        {"no builder", [](SmallModel& m) { m.bldrs.clear(); },
         "material is needed by buildings, but there are no builders"},
        {"no material",
         [](SmallModel& m) {
             m.houses[0].level_descs_[1].material_ = RnMaterialEntry();
             m.stors[0].build_material_.clear();
         },
         "no material is needed by any building, builders not usable"},
        {"material not delivered", [](SmallModel& m) { m.bldrs[0].goods_allowed_ = {0}; },
         "all needed material must be distributed by some builder"},
        {"market of another class", [](SmallModel& m) { m.markets[0].goods_class_ = {kMaterialClass}; },
         "market type 800 'market' has no goods to distribute"},
        {"two storages for bread",
         [](SmallModel& m) {
             RnStorType cellar = m.stors[0];
             cellar.type_id_ = 751;
             cellar.goods_class_ = {kFoodClass};
             m.stors.push_back(cellar);
         },
         "goods type 513 in more than one type of storage 0 and 1"},
        {"storage with nothing to keep",
         [](SmallModel& m) {
             RnStorType shed = m.stors[0];
             shed.type_id_ = 752;
             shed.name_ = "shed";
             shed.goods_class_ = {9};
             m.stors.push_back(shed);
         },
         "storage type 752 'shed' has no goods to distribute"},
        // Planks defined before the wood they are sawn from.
        {"goods out of chain order", [](SmallModel& m) { m = SmallModel(1, 0, 2); },
         "goods type 512 (planks) must be defined after the goods it is made from: production type 902 (sawmill) "
         "makes it from goods type 511 (wood)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grn_game.clear();
        makeMap(32);
        grn_game.addPeoplType(RnPeoplType(200, "settlers"));
        SmallModel model;
        c.change(model);
        EXPECT_EQ(c.message, check(model));
    }
}

TEST_F(GameModelTest, GoodsNobodyMakesOnThisMapAreReportedNotRefused) {
    // Without ore on the map the woodcutter cannot work: the sawmill's wood
    // is then used but made nowhere.
    ASSERT_EQ("", check(SmallModel(), false));
    EXPECT_EQ(0, grn_game.prodType(0).menu_flag_);
    EXPECT_EQ(1, grn_game.prodType(1).menu_flag_);
    EXPECT_FALSE(grn_game.goodsType(0).used_harv_);
    EXPECT_TRUE(loggedLine("prod type 901 (woodcutter) is not available on map"));
    EXPECT_TRUE(loggedLine("goods type 511 wood consumed, but not produced"));

    // Bread made only by a type that is no longer built.
    grn_game.clear();
    makeMap(32);
    grn_game.addPeoplType(RnPeoplType(200, "settlers"));
    clearConsole();
    SmallModel model;
    model.prods[2].deprecated_ = 1;
    ASSERT_EQ("", check(model));
    EXPECT_FALSE(grn_game.goodsType(2).used_harv_);
    EXPECT_EQ(0, grn_game.prodType(2).used_flag_);
    EXPECT_TRUE(loggedLine("prod type 903 (bakery) is deprecated"));
    EXPECT_TRUE(loggedLine("goods type 513 bread consumed, but not produced"));
    EXPECT_FALSE(loggedContaining("goods type 511 wood consumed"));
}

TEST_F(GameModelTest, NeighbourhoodTablesReachTheContentsRanges) {
    dax_neighbourhood_manh.clear();
    dax_neighbourhood_eucl.clear();
    grn_config.walker_target_radius_ = 12;
    grn_config.prod_max_radius_ = 12;
    grn_game.prod_walker_range_ = 24;
    grn_game.storage_walker_range_ = 32;
    ASSERT_EQ("", check(SmallModel()));
    // The storage walkers' 32 tiles and a margin of 8; every resource
    // radius up to prod_max_radius can be counted.
    EXPECT_EQ(40, dax_neighbourhood_manh.radiusCount());
    EXPECT_TRUE(dax_neighbourhood_manh.isManhattan());
    EXPECT_TRUE(loggedLine("set global neighbourhood (manh) radius to 40"));
    EXPECT_EQ(13, dax_neighbourhood_eucl.radiusCount());
    EXPECT_FALSE(dax_neighbourhood_eucl.isManhattan());
    EXPECT_TRUE(loggedLine("set global neighbourhood (eucl) radius to 13"));

    // Tables that reach far enough are kept; a longer reach rebuilds.
    clearConsole();
    grn_game.storage_walker_range_ = 20;
    grn_game.validateModel();
    EXPECT_EQ(40, dax_neighbourhood_manh.radiusCount());
    EXPECT_FALSE(loggedContaining("set global neighbourhood"));
    grn_game.storage_walker_range_ = 100;
    grn_game.validateModel();
    EXPECT_EQ(108, dax_neighbourhood_manh.radiusCount());

    // A radius from the settings no table can be built for.
    grn_config.prod_max_radius_ = -1;
    EXPECT_EQ("[resource] prod_max_radius=-1: expected 0 to 1023", raised([] { grn_game.validateModel(); }));
    grn_config.prod_max_radius_ = 12;
    grn_config.walker_target_radius_ = 5000;
    EXPECT_EQ("the walkers' reach of 5000 tiles is beyond 1016 ([astar] walker_target_radius, prod_walker_range, "
              "storage_walker_range)",
              raised([] { grn_game.validateModel(); }));
}

}  // namespace
