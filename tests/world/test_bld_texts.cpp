// The info and debug texts of the building kinds, and the numbered texts
// they are written with: which lines appear for which state, with which
// arguments, and what a language text that does not fit its arguments does.
#include <string>

#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "support/text_checks.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class BuildingTextTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(24);
        dax_config.debug_enable_ = 0;
        grn_config.map_display_ = 0;
        for (auto [n, s] : std::initializer_list<std::pair<int, const char*>>{
                 {2101, "Desirability"}, {2103, "Efficiency"}, {2104, "[2104]"}, {2105, "[2105]"},
                 {2106, "[2106]"}, {2107, "[2107]"}, {2108, "[2108]"}, {2109, "[2109 %d %s]"}, {2110, "[2110 %d %d %s]"},
                 {2111, "[2111 %d %d %s %d %d]"}, {2112, "[2112 %d %d %s]"}, {2114, "[2114]"},
                 {2117, "[2117 %s %d %d]"}, {2118, "[2118 %s %d]"}, {2123, "[2123 %d %s]"},
                 {2120, "[2120]"}, {2121, "[2121 %d %s]"}, {2133, "[2133]"}, {2135, "[2135 %d%%]"},
                 {2137, "[2137]"}, {2146, "[2146]"}, {2151, "[2151 %d %s]"}, {2160, "[2160]"}, {2701, "[2701]"},
                 {2702, "[2702]"}, {2704, "[2704]"}, {2707, "[2707]"}, {2708, "[2708]"}, {2709, "[2709]"},
                 {2710, "[2710]"}, {2711, "[2711]"}}) {
            dax_strings.addString(n, s, true);
        }
        grn_game.addPeoplType(RnPeoplType(200, "settlers"));
    }
    void TearDown() override {
        grn_config.map_display_ = 0;
        WorldTest::TearDown();
    }
    static std::string info(const RnGenericBuilding& b) {
        std::string buf;
        b.infoText(buf, false);
        return buf;
    }
    static std::string debug(const RnGenericBuilding& b) {
        std::string buf;
        b.debugText(buf, false);
        return buf;
    }
    // A 1 by 1 type of each workplace kind, and one building of each. Each
    // needs a settler from within 30 tiles, and one lives in reach.
    RnGenericBuilding& workplace(int kind) {
        if (houseType().instanceCount() == 0) {
            RnHous& settler = grn_game.housByOid(houseType().createBuilding(20, 20));
            settler.offerWorkers(houseType(), 1);
        }
        const RnWorkerReq req{0, 1, 30};
        RnObjectID id;
        switch (kind) {
        case RnIdBldBldr: {
            RnBldrType t;
            t.type_id_ = 800;
            t.name_ = "bldr";
            t.worker_reqs_ = {req};
            id = grn_game.bldrType(grn_game.addBldrType(t)).createBuilding(2, 2);
            break;
        }
        case RnIdBldServ: {
            RnServType& t = grn_game.servType(addServType(300, 1, 1));
            t.worker_reqs_ = {req};
            id = t.createBuilding(4, 4);
            break;
        }
        case RnIdBldMrkt: {
            RnMrktType t;
            t.type_id_ = 600;
            t.name_ = "mrkt";
            t.worker_type_ = req.ppl_type_idx_;
            t.num_workers_ = req.num_req_;
            t.worker_range_ = req.range_;
            id = grn_game.mrktType(grn_game.addMrktType(t)).createBuilding(6, 6);
            break;
        }
        case RnIdBldStor: {
            grn_game.addGoodsType(RnGoodsType("wood", 900, 1, 4, -2));
            RnStorType t;
            t.type_id_ = 400;
            t.name_ = "stor";
            t.distribute_goods_ = {0};
            t.worker_type_ = req.ppl_type_idx_;
            t.num_workers_ = req.num_req_;
            t.worker_range_ = req.range_;
            id = grn_game.storType(grn_game.addStorType(t)).createBuilding(8, 8);
            break;
        }
        default: {
            RnProdType t;
            t.type_id_ = 500;
            t.name_ = "prod";
            t.worker_reqs_ = {req};
            id = grn_game.prodType(grn_game.addProdType(t)).createBuilding(10, 10);
            break;
        }
        }
        return grn_game.buildingByOid(id);
    }
    static RnServType& servType0() { return grn_game.servType(0); }
    static void setRatio(RnGenericBuilding& b, float ratio) {
        switch (b.oid_.kind_) {
        case RnIdBldBldr:
            static_cast<RnBldr&>(b).efficiency_ = ratio;
            break;
        case RnIdBldServ:
            static_cast<RnServ&>(b).efficiency_ = ratio;
            break;
        case RnIdBldMrkt:
            static_cast<RnMrkt&>(b).efficiency_ = ratio;
            break;
        case RnIdBldStor:
            static_cast<RnStor&>(b).efficiency_ = ratio;
            break;
        default:
            static_cast<RnProd&>(b).worker_factor_ = ratio;
            break;
        }
    }
    // A house type of three levels needing desirability 0, 10 and 20.
    static RnHousType& houseType() {
        if (grn_game.housTypes().empty()) {
            RnHousType t;
            t.type_id_ = 700;
            t.name_ = "house";
            t.width_ = 2;
            t.height_ = 2;
            t.ppl_type_idx_ = 0;
            for (int i = 0; i < 3; ++i) {
                RnHousLevelDesc d;
                d.name_ = "level" + std::to_string(i);
                d.people_max_ = static_cast<uint16_t>(4 * (i + 1));
                d.needed_attr_ = static_cast<int16_t>(10 * i);
                t.level_descs_.push_back(d);
            }
            grn_game.addHousType(t);
        }
        return grn_game.housType(0);
    }
    RnHous& house(int level) {
        RnHous& h = grn_game.housByOid(houseType().createBuilding(14, 14));
        h.state_ = (h.state_ & ~RnHousPersData::kLevelMask) | static_cast<uint32_t>(level);
        return h;
    }
    static void setDesirability(int value) {
        for (int x = 13; x <= 14; ++x) {
            for (int y = 13; y <= 14; ++y) grn_map.tile(x, y).desirability_ = static_cast<int16_t>(value);
        }
    }
};

TEST_F(BuildingTextTest, AFormatThatDoesNotFitIsShownAsItStands) {
    dax_strings.addString(2150, "The next level needs %d of %s.", true);
    std::string buf;
    rnAppendMsg(buf, 2150, "s", "planks");
    EXPECT_EQ(buf, "The next level needs %d of %s.");
    EXPECT_TRUE(loggedContaining("text 2150 does not fit its arguments (s)"));
    clearConsole();
    rnAppendMsg(buf, 2150, "s", "planks");
    EXPECT_FALSE(loggedContaining("text 2150"));  // once is enough
    buf.clear();
    rnAppendMsg(buf, 4999, "d", 3);
    EXPECT_EQ(buf, "#4999");
}

TEST_F(BuildingTextTest, TheWorkerRatioLineDependsOnTheKindsThreshold) {
    // 98.5 %: below the production's 99, not below the others' 98.
    for (int kind : {RnIdBldBldr, RnIdBldServ, RnIdBldMrkt, RnIdBldStor, RnIdBldProd}) {
        RnGenericBuilding& b = workplace(kind);
        setRatio(b, 0.985f);
        const std::string text = info(b);
        EXPECT_EQ(contains(text, "[2135 98%]"), kind == RnIdBldProd) << text;
        setRatio(b, 0.005f);
        EXPECT_EQ(info(b), b.buildingType().name_ + "\n[2114]");
    }
}

TEST_F(BuildingTextTest, TheWalkerStateLineOfAWorkplace) {
    RnGenericBuilding& b = workplace(RnIdBldServ);
    RnServ& s = static_cast<RnServ&>(b);
    s.efficiency_ = 1.0f;
    struct Case {
        uint32_t flags;
        const char* text;
    } cases[] = {
        {1u << 8, "serv\n[2702]"},
        {3u << 8, "serv\n[2701]"},
        {2u << 8, "serv"},
        {(1u << 8) | (1u << 5), "serv"},  // a walker is out: no line
        {RnServPersData::kDestroyed, "serv\nbuilding is destroyed!"},
    };
    for (const Case& c : cases) {
        s.flags_ = c.flags;
        EXPECT_EQ(info(b), c.text) << c.flags;
    }
}

TEST_F(BuildingTextTest, TheWorkerLinesOfBuilderServiceAndMarket) {
    // One settler lives in reach and each needs one: the builder, placed
    // first, gets him.
    RnGenericBuilding& bldr = workplace(RnIdBldBldr);
    RnGenericBuilding& serv = workplace(RnIdBldServ);
    RnGenericBuilding& mrkt = workplace(RnIdBldMrkt);
    EXPECT_TRUE(contains(debug(bldr), "\n[2118 settlers 1]")) << debug(bldr);
    EXPECT_TRUE(contains(debug(serv), "\n[2117 settlers 0 1]")) << debug(serv);
    EXPECT_TRUE(contains(debug(mrkt), "\nsettlers: 0(1) [2117 settlers 0 1]")) << debug(mrkt);
    // A ruin has no workers to list.
    static_cast<RnServ&>(serv).flags_ |= RnServPersData::kDestroyed;
    EXPECT_FALSE(contains(debug(serv), "2117")) << debug(serv);
}

TEST_F(BuildingTextTest, AServiceShortOfGoodsSaysSo) {
    dax_strings.addString(2136, "[2136]", true);
    grn_game.addGoodsType(RnGoodsType("bread", 900, 1, 5, -2));
    RnServ& s = static_cast<RnServ&>(workplace(RnIdBldServ));
    s.efficiency_ = 1.0f;
    EXPECT_EQ(info(s), "serv");
    servType0().needs_ = {{0, 2}};
    servType0().in_capa_ = 4;
    s.goods_stored_[0].amt_ = RnServAmount{1, 0};
    EXPECT_EQ(info(s), "serv\n[2136]");
    EXPECT_TRUE(contains(debug(s), "\n[2123 1 bread]")) << debug(s);
    s.goods_stored_[0].amt_ = RnServAmount{1, 1};
    EXPECT_EQ(info(s), "serv");
}

TEST_F(BuildingTextTest, AStorageTellsItIsNotLinkedBeforeItsWalkers) {
    RnStor& s = static_cast<RnStor&>(workplace(RnIdBldStor));
    s.efficiency_ = 1.0f;
    s.flags_ = 3u << 15;  // its production walkers found no road
    EXPECT_EQ(info(s), "stor\n[2146]");
    // Linked to another storage: the two walker state lines.
    RnStorType& type = grn_game.storType(s.oid_.type_idx_);
    RnStor& other = grn_game.storByOid(type.createBuilding(12, 8));
    RnStorNetEdgeData road;
    road.start_ = DaxMapPositionI(8, 9);
    road.dist_ = 4;
    road.len_ = 2;
    road.steps_[0] = DirXPlus;
    road.steps_[1] = DirYPlus;
    type.network_.setEdge(s.network_node_, other.network_node_, road);
    struct Case {
        uint32_t flags;
        const char* text;
    } cases[] = {
        {3u << 15, "stor\n[2704]"},
        {1u << 15, "stor\n[2708]"},
        {1u << 17, "stor\n[2709]"},
        {(1u << 15) | (3u << 17), "stor\n[2708]\n[2704]"},
        {(1u << 15) | (1u << 7), "stor"},  // a production walker is out
        {RnStorPersData::kDestroyed, "stor\nbuilding is destroyed!"},
    };
    for (const Case& c : cases) {
        s.flags_ = c.flags;
        EXPECT_EQ(info(s), c.text) << c.flags;
    }
    // At debug level 4 the debug text lists the edges of its node.
    s.flags_ = 0;
    type.network_.setEdge(other.network_node_, s.network_node_, RnStorNetEdgeData());
    EXPECT_FALSE(contains(debug(s), "N("));
    grn_config.map_display_ = 4;
    const std::string text = debug(s);
    EXPECT_TRUE(contains(text, "\nN(1): N(1)->N(2) d=4 s=8,9 2{13}\nN(1): N(2)->N(1) d=0 s=-32768,-32768\n")) << text;
}

TEST_F(BuildingTextTest, TheHousesWorkerLine) {
    RnHous& h = house(1);
    struct Case {
        int people, workers, employed;
        const char* line;
    } cases[] = {
        {4, 0, 0, "[2109 4 settlers]"},
        {4, 2, 2, "[2110 4 2 settlers]"},
        {4, 3, 1, "[2111 4 3 settlers 1 2]"},
        {4, 2, 0, "[2112 4 2 settlers]"},
    };
    for (const Case& c : cases) {
        h.state_ = 1u | (static_cast<uint32_t>(c.people) << 6) | (static_cast<uint32_t>(c.people) << 16);
        h.flags_ = static_cast<uint32_t>(c.workers) | (static_cast<uint32_t>(c.employed) << 8);
        EXPECT_EQ(info(h), std::string("level1: Level=1\n") + c.line + "\n[2105]");
    }
    // Room for more people, too many for the level, a fine neighbourhood.
    setDesirability(10);
    h.state_ = 1u | (3u << 6) | (6u << 16);
    h.flags_ = 0;
    EXPECT_EQ(info(h), "level1: Level=1 [2151 6 settlers]\n[2109 3 settlers]");
    h.state_ = 1u | (9u << 6) | (9u << 16);
    EXPECT_EQ(info(h), "level1: Level=1\n[2109 9 settlers]\n[2137]");
    h.flags_ = RnHousPersData::kDestroyed;
    EXPECT_EQ(info(h), "level1: Level=1\n[2160]");
}

TEST_F(BuildingTextTest, TheHousesJoblessLines) {
    RnHous& h = house(1);
    setDesirability(10);
    houseType().percent_workers_ = 100;
    houseType().percent_workers_without_job1_ = 20;
    struct Case {
        uint32_t flags;
        int employed;
        const char* text;
    } cases[] = {
        {RnHousPersData::kTooManyJobless, 4, "[2110 4 4 settlers]\n[2107]"},  // about to go down
        {0, 4, "[2110 4 4 settlers]"},
        {0, 2, "[2111 4 4 settlers 2 2]\n[2108]"},  // one more would leave 3 of 5 jobless
    };
    for (const Case& c : cases) {
        h.state_ = 1u | (4u << 6) | (4u << 16);
        h.flags_ = c.flags | 4u | (static_cast<uint32_t>(c.employed) << 8);
        EXPECT_EQ(info(h), std::string("level1: Level=1\n") + c.text) << c.flags << " " << c.employed;
    }
}

TEST_F(BuildingTextTest, TheHousesNeighbourhoodLineInItsDebugText) {
    struct Case {
        int level, desirability;
        bool next, fine;
    } cases[] = {
        {2, 25, false, true},   // top level reached
        {1, 25, false, false},  // the next level's need is met already
        {1, 15, true, false},   // this level's met, the next's not
        {1, 5, false, false},   // not even this level's
    };
    for (const Case& c : cases) {
        RnHous& h = house(c.level);
        setDesirability(c.desirability);
        const std::string text = debug(h);
        EXPECT_EQ(contains(text, "[2104]"), c.next) << c.level << " " << c.desirability << ": " << text;
        EXPECT_EQ(contains(text, "[2106]"), c.fine) << c.level << " " << c.desirability << ": " << text;
        grn_game.housType(0).removeBuilding(grn_map.tile(14, 14), 14, 14);
    }
}

TEST_F(BuildingTextTest, PendingTimersAtDebugLevelThree) {
    grn_config.map_display_ = 3;
    RnMrkt& m = static_cast<RnMrkt&>(workplace(RnIdBldMrkt));
    m.flags_ = RnMrktPersData::kSpwnPending | RnMrktPersData::kBldPending;
    m.t_spwn_ = 40;
    m.t_bld_ = 30;
    EXPECT_TRUE(contains(debug(m), "\nt_bld=30 t_spwn=40 ")) << debug(m);

    RnProd& p = static_cast<RnProd&>(workplace(RnIdBldProd));
    p.output_goods_in_store_[3].stored_ = RnProdOutInf::kCycleRunning | 2;
    p.output_goods_in_store_[3].ready_time_ = 77;
    p.output_goods_in_store_[5].ready_time_ = 0;
    p.flags_ = RnProdPersData::kWkfPending;
    p.t_wkf_ = 12;
    EXPECT_TRUE(contains(debug(p), "\nt_wkf=12 t_prd=3,77 t_prd=5,0 ")) << debug(p);
    // A builder's pending t_bld alone starts no line of its own.
    RnBldr& b = static_cast<RnBldr&>(workplace(RnIdBldBldr));
    b.flags_ = RnBldrPersData::kBldPending;
    b.t_bld_ = 30;
    EXPECT_EQ(debug(b), "Efficiency=0% own_attr=0 #wlk=0(0)\n[2117 settlers 0 1]t_bld=30 ");
}

TEST_F(BuildingTextTest, ARoadShowsItsLevelAndDesirability) {
    const int16_t rt = addRoadType();
    grn_game.roadType(rt).level_descs_[2].name_ = "paved";
    RnRoad& r = grn_game.roadByOid(grn_game.roadType(rt).createBuilding(3, 3));
    r.cur_level_ = 2;
    grn_map.tile(3, 3).desirability_ = 17;
    EXPECT_EQ(info(r), "paved Desirability=17(3)");
    EXPECT_EQ(debug(r), "");
}

}  // namespace
