// The texts of the running world the screens show: the status and
// population lines, what is on a tile, the goods and service lines and the
// build-menu tooltips, each with its arguments.
#include <string>

#include "dax2/dax_clock.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game_infostr.h"
#include "support/text_checks.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

class InfoTextTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        makeMap(20);
        for (auto [n, s] : std::initializer_list<std::pair<int, const char*>>{
                 {2100, "[2100]"}, {2101, "Desirability"}, {2102, "Cost:"}, {2113, "Population: %d"},
                 {2125, "[2125 %d]"}, {2126, "[2126 %d]"}, {2127, "[2127 %d]"}, {2128, "[2128 %d %d]"},
                 {2129, "[2129]"}, {2152, "[2152 %d %s]"}, {2153, "[2153 %s]"},
                 {2154, "[2154 %s %.1f %.1f]"}, {2155, "[2155 %s]"}, {2156, "[2156 %s]"}, {2157, "[2157 %s]"},
                 {2158, "[2158 %s %d %d]"}, {2159, "[2159]"}, {2161, "[2161]"}, {2162, "[2162]"},
                 {2163, "[2163]"}, {2170, "[2170]"}, {2172, "[2172 %s]"}, {2178, "[2178]"},
                 {2186, "[2186]"}, {2190, "[2190 %d]"}, {2191, "[2191 %d]"}, {6100, "a note"}}) {
            text(n, s);
        }
        dax_gameclock.reset();
    }
    void TearDown() override {
        dax_config.debug_enable_ = 0;
        UiTest::TearDown();
    }
    // A goods type made and used at the given weekly rates.
    static int16_t goods(const char* name, double made, double used) {
        RnGoodsType g(name, 900 + static_cast<int>(grn_game.goodsTypes().size()), 1, 4, -2);
        g.rate_prod_ = made;
        g.rate_hous_ = used;
        return grn_game.addGoodsType(g);
    }
};

TEST_F(InfoTextTest, TheStatusLineShowsMoneySpeedAndDate) {
    grn_game.money_ = 4872;
    EXPECT_STREQ(rnStatusLine(), "4872$  100%  0001/01/01");
    dax_gameclock.setPaused(true);
    EXPECT_STREQ(rnStatusLine(), "4872$  0%  0001/01/01");
    dax_gameclock.setPaused(false);
    setNow(DaxGameTime::kPerYear + 40 * DaxGameTime::kPerDay + 13 * 12 + 7);
    dax_config.debug_enable_ = 1;
    EXPECT_STREQ(rnStatusLine(), "4872$  100%  0002/02/10-13:35");
}

TEST_F(InfoTextTest, ThePopulationLineRatesTheHousesLevels) {
    grn_game.population_ = 17;
    EXPECT_STREQ(rnPopulationLine(), "Population: 17");
    dax_config.debug_enable_ = 1;
    // One type of a single level: its houses count as risen fully.
    RnHousType one;
    one.type_id_ = 700;
    one.level_descs_.resize(1);
    grn_game.addHousType(one);
    grn_game.housType(0).createBuilding(3, 3);
    EXPECT_STREQ(rnPopulationLine(), "Population: 17 -- 100.0");
    // A type of three levels with houses at levels 0 and 2 gives 50; a type
    // without houses counts in the divisor.
    RnHousType three;
    three.type_id_ = 701;
    three.level_descs_.resize(3);
    grn_game.addHousType(three);
    grn_game.housType(1).createBuilding(6, 6);
    RnHous& top = grn_game.housByOid(grn_game.housType(1).createBuilding(9, 9));
    top.state_ |= 2;
    RnHousType none;
    none.type_id_ = 702;
    grn_game.addHousType(none);
    EXPECT_STREQ(rnPopulationLine(), "Population: 17 -- 50.0");
}

TEST_F(InfoTextTest, ATileShowsItsTerrainOrBuildingAndItsImagesNote) {
    std::string buf;
    rnTileInfo(buf, grn_map.tile(2, 2), false);
    EXPECT_EQ(buf, "grass");
    buf.clear();
    grn_map.tile(2, 3).terrain_idx_ = -1;
    rnTileInfo(buf, grn_map.tile(2, 3), false);
    EXPECT_EQ(buf, "invalid terrain!");

    // The note of the tile's image: text 0 is none.
    registerMemoryBitmap(DaxBitmapKey("plain", 1, 0), 4, 4, 0, 0);
    dax_bitmaps.add(DaxBitmapKey("noted", 1, 0), zorMemoryBitmap(4, 4), 0, 0, false, 6100);
    grn_map.tile(4, 4).second_bmp_idx_ = dax_bitmaps.findVariant("plain", 0);
    grn_map.tile(5, 5).second_bmp_idx_ = dax_bitmaps.findVariant("noted", 0);
    buf.clear();
    rnTileInfo(buf, grn_map.tile(4, 4), false);
    EXPECT_EQ(buf, "grass");
    buf.clear();
    rnTileInfo(buf, grn_map.tile(5, 5), false);
    EXPECT_EQ(buf, "grass\n(a note)");

    // A building: its info text, with the debug text when asked for.
    addRoadType();
    grn_game.roadType(0).level_descs_[2].name_ = "paved";
    grn_game.roadType(0).createBuilding(7, 7);
    grn_game.roadByOid(grn_map.tile(7, 7).oid_).cur_level_ = 2;
    buf.clear();
    rnTileInfo(buf, grn_map.tile(7, 7), true);
    EXPECT_EQ(buf, "paved Desirability=0(3)");
}

TEST_F(InfoTextTest, TheTilesDebugLinesGrowWithTheDebugLevel) {
    grn_map.tile(3, 4).desirability_ = -5;
    struct Case {
        int level;
        const char* text;
    } cases[] = {
        {0, ""},
        {1, "Desirability: -5"},
        {2, "3,4 - [0:-1,-1] - Desirability: -5"},
        {3, "3,4 - [0:-1,-1] - Desirability: -5\n ter=grass(flat) walk b-bld b-road"},
    };
    for (const Case& c : cases) {
        grn_config.map_display_ = c.level;
        std::string buf;
        rnTileDebugInfo(buf, 3, 4, grn_map.tile(3, 4));
        EXPECT_EQ(buf, c.text) << c.level;
    }
    // And the walkers on the tile.
    RnObjectID w = addWalker();
    grn_map.tile(3, 4).addWalker(w);
    std::string buf;
    rnTileDebugInfo(buf, 3, 4, grn_map.tile(3, 4));
    EXPECT_TRUE(contains(buf, "\nWlk:[16:0,0] passed=0 home=[0:-1,-1] 0{}"));
}

TEST_F(InfoTextTest, AGoodsLineWithoutRatesSaysOnlyThat) {
    const int16_t idle = goods("iron", 0, 0);
    std::string buf;
    rnGoodsLine(buf, idle, RnObjectID(), true, true);
    EXPECT_EQ(buf, "[2153 iron]");

    const int16_t wood = goods("wood", 2.5, 1.0);
    grn_game.goodsType(wood).stor_type_idx_ = 0;
    buf.clear();
    rnGoodsLine(buf, wood, RnObjectID(), true, true);
    EXPECT_EQ(buf, "[2154 wood 2.5 1.0]\n[2158 wood 0 0]\n[2161]");

    // A storage's entry: wanted, balanced or plentiful by its demand.
    RnStorType st;
    st.type_id_ = 400;
    st.name_ = "store";
    st.distribute_goods_ = {wood};
    grn_game.addStorType(st);
    RnStor& s = grn_game.storByOid(grn_game.storType(0).createBuilding(10, 10));
    // A new building recounts the rates from the types: these have none, so
    // the wood's are given again.
    grn_game.goodsType(wood).rate_prod_ = 2.5;
    grn_game.goodsType(wood).rate_hous_ = 1.0;
    s.goods_stored_[wood].stored_nlots_ = 3;
    s.goods_stored_[wood].promised_nlots_ = 1;
    struct Case {
        int demand;
        const char* line;
    } cases[] = {{2, "[2155 wood] (2, 3+1)."}, {1, "[2156 wood] (1, 3+1)."}, {-1, "[2156 wood] (-1, 3+1)."},
                 {-2, "[2157 wood] (-2, 3+1)."}};
    for (const Case& c : cases) {
        s.goods_stored_[wood].demand_ = static_cast<int16_t>(c.demand);
        buf.clear();
        rnGoodsLine(buf, wood, s.oid_, true, true);
        // Three lots of 4 in stock.
        EXPECT_EQ(buf, std::string("[2154 wood 2.5 1.0]\n[2158 wood 12 0]\n") + c.line);
    }
}

TEST_F(InfoTextTest, TheServiceBlockCountsHowWellReceiversAreServed) {
    const int16_t st = addServType(300, 1, 1);
    RnHousType ht;
    ht.type_id_ = 700;
    ht.level_descs_.resize(1);
    grn_game.addHousType(ht);
    setNow(1000);
    // A house served long ago (running out), one served lately.
    auto serve = [&](int x, uint32_t from, uint32_t to) {
        RnHous& h = grn_game.housByOid(grn_game.housType(0).createBuilding(x, x));
        h.services_[st] = RnHouseServiceData{from, to, 0, 0};
    };
    std::string buf;
    rnServiceBlock(buf, grn_game.servType(st));
    EXPECT_EQ(buf, "[2159]\n[2152 0 serv]");

    serve(3, 0, 1000);
    buf.clear();
    rnServiceBlock(buf, grn_game.servType(st));
    EXPECT_EQ(buf, "[2125 1]\n[2152 0 serv]");
    grn_game.servType(st).createBuilding(15, 15);
    buf.clear();
    rnServiceBlock(buf, grn_game.servType(st));
    EXPECT_EQ(buf, "[2126 1]\n[2152 1 serv]");

    serve(6, 900, 1900);
    serve(9, 950, 1950);
    buf.clear();
    rnServiceBlock(buf, grn_game.servType(st));
    EXPECT_EQ(buf, "[2128 2 1]\n[2152 1 serv]");  // the well served first
}

TEST_F(InfoTextTest, BuildMenuTooltipsOfTheKinds) {
    addRoadType();
    const int16_t st = addServType(300, 1, 1);
    grn_game.servType(st).own_attr_ = -3;
    grn_game.servType(st).worker_reqs_.push_back(RnWorkerReq{0, 2, 10});
    grn_game.addPeoplType(RnPeoplType(200, "settlers"));
    RnProdType pt;
    pt.type_id_ = 500;
    pt.name_ = "mill";
    pt.cost_ = 90;
    grn_game.addProdType(pt);
    RnDecoType dt;
    dt.type_id_ = 600;
    dt.name_ = "statue";
    dt.deprecated_ = 1;
    grn_game.addDecoType(dt);
    struct Case {
        int kind, id;
        const char* text;
    } cases[] = {
        {RnIdBldRoad, 100, "road\nCost: 5\n[2170]\n[2152 0 road]"},
        {RnIdBldServ, 300, "serv\nCost: 50\n[2163] (-3)\n[2172 ??]\n[2186] 2 settlers\n[2159]\n[2152 0 serv]"},
        {RnIdBldProd, 500, "mill\nCost: 90\n[2152 0 mill]"},
        {RnIdBldDeco, 600, "statue\n[2100]"},  // deprecated and none built
        {RnIdBldServ, 999, "unknown"},
        {9, 100, "unknown"},
    };
    for (const Case& c : cases) {
        std::string buf;
        rnBuildMenuTooltip(buf, c.kind, c.id, "unknown");
        EXPECT_EQ(buf, c.text) << c.kind << "," << c.id;
    }
    // A production type nothing needs, on a map that asks to say so.
    grn_game.disable_unused_prod_ = true;
    std::string buf;
    rnBuildMenuTooltip(buf, RnIdBldProd, 500, "");
    EXPECT_EQ(buf, "mill\n[2129]");
}

TEST_F(InfoTextTest, TheGoodsBalanceAddsStockAndNeed) {
    const int16_t wood = goods("wood", 1, 1);  // lots of 4
    RnStorType st;
    st.type_id_ = 400;
    st.distribute_goods_ = {wood};
    grn_game.addStorType(st);
    grn_game.storByOid(grn_game.storType(0).createBuilding(10, 10)).goods_stored_[wood].stored_nlots_ = 2;
    const int16_t sv = addServType(300, 1, 1);
    grn_game.servType(sv).in_capa_ = 5;
    grn_game.servType(sv).needs_.push_back(RnGoodsAmount{wood, 1});
    RnServ& s = grn_game.servByOid(grn_game.servType(sv).createBuilding(3, 3));
    s.goods_stored_[wood].amt_.stored_ = 2;
    int stock = 0;
    int need = 0;
    rnGoodsBalance(wood, stock, need);
    EXPECT_EQ(stock, 8);
    EXPECT_EQ(need, (5 - 2) * 4);
}

}  // namespace
