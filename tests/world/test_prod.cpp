// Production buildings on a small world: the cycle and its length under the
// efficiency, inputs and their need, the walker dispatch and its outcome, the
// near storages' demand, decay, the resource factor with its roaming
// markers, and the checks after loading.
#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "dax2/dax_neighbourhood.h"
#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_workforce.h"
#include "support/text_checks.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

class ProdTest : public WalkerTest {
protected:
    static constexpr int16_t kWood = kGoods;  // lot size 4
    static constexpr int16_t kPlanks = 1;     // lot size 2
    static constexpr uint32_t kStart = 600;   // a whole game hour
    static constexpr uint32_t kHour = DaxGameTime::kPerHour;

    void SetUp() override {
        WalkerTest::SetUp();
        history_start_ = dax_msgmgr.history().size();
        grn_game.addGoodsTypeWithWalkers(RnGoodsType("planks", 12, 1, 2, -2), walkerType<RnWalkerProdType>(12),
                                         walkerType<RnWalkerStorType>(12));
        grn_game.addPeoplType(RnPeoplType(200, "settlers"));
        RnHousType ht;
        ht.type_id_ = 20;
        ht.name_ = "hut";
        ht.ppl_type_idx_ = 0;
        ht.level_descs_.push_back(RnHousLevelDesc());
        grn_game.addHousType(ht);
        setNow(kStart);
    }

    // A 1 by 1 type of id, making wood (one per 10 hours) from nothing,
    // out_capa 4, one walker every hour, four workers.
    static RnProdType harvesterType(int32_t id = 500) {
        RnProdType t;
        t.type_id_ = id;
        t.name_ = "harvester";
        t.num_walkers_ = 1;
        t.hours_respawn_ = 1;
        t.out_capa_ = 4;
        t.in_capa_ = 4;
        t.output_goods_ = {{kWood, 1, 10}};
        t.worker_reqs_ = {{0, 4, 24}};
        return t;
    }
    // Planks (one per 6 hours) from two wood, in_capa 8.
    static RnProdType sawmillType(int32_t id = 501) {
        RnProdType t = harvesterType(id);
        t.name_ = "sawmill";
        t.in_capa_ = 8;
        t.output_goods_ = {{kPlanks, 1, 6}};
        t.input_goods_ = {{kWood, 2}};
        return t;
    }
    // Registers the type and places a building at (x, y), woken now as a
    // build order wakes it.
    static RnProd& place(const RnProdType& t, int x, int y) {
        int16_t idx = grn_game.findProdTypeIdx(t.type_id_);
        if (idx < 0) idx = grn_game.addProdType(t);
        RnObjectID oid = grn_game.prodType(idx).createBuilding(x, y);
        grn_game.updateQueue().schedule(dax_gameclock.gameTime(), oid);
        return grn_game.prodByOid(oid);
    }
    // A house at (x, y) offering workers to the network.
    static RnObjectID house(int x, int y, int workers) {
        RnHousType& ht = grn_game.housType(0);
        RnObjectID oid = ht.createBuilding(x, y);
        grn_game.housByOid(oid).offerWorkers(ht, workers);
        return oid;
    }
    // A storage type keeping wood and planks, and one of its storages.
    static RnStor& storage(int x, int y) {
        if (grn_game.storTypes().empty()) {
            RnStorType st;
            st.type_id_ = 400;
            st.name_ = "stor";
            st.capacity_ = 16;
            st.distribute_goods_ = {kWood, kPlanks};
            grn_game.addStorType(st);
        }
        return grn_game.storByOid(grn_game.storType(0).createBuilding(x, y));
    }
    // A road along row 1 and beside it at (7, 2) a building that needs
    // wood.
    void roadWithCustomer() {
        draw({"........",
              "########",
              ".......D"});
        fake(7, 2).goods_need[kWood] = 500;
    }
    // A sawmill at (0, 0) and a storage at (4, 0) on one road, linked by
    // the sawmill's first near-storage refresh, two hours after its first
    // update.
    RnProd& linkedSawmill() {
        draw({"........",
              "########"});
        storage(4, 0);
        RnProd& p = place(sawmillType(), 0, 0);
        p.update(DaxGameTime(kStart));
        EXPECT_EQ(p.t_near_.value(), kStart + 2 * kHour);
        EXPECT_TRUE(p.input_goods_[kWood].near_storage_.isNull());
        p.update(DaxGameTime(kStart + 2 * kHour));
        return p;
    }
    static RnStor& storageAt(int x, int y) { return grn_game.storByOid(grn_map.tile(x, y).oid_); }
    // Runs the game tick by tick up to game time t.
    static void runUntil(uint32_t t) {
        for (uint32_t now = dax_gameclock.gameTime().value() + 1; now <= t; ++now) {
            setNow(now);
            grn_game.update();
        }
    }
    static const RnProdOutInf& output(const RnProd& p, int16_t goods) { return p.output_goods_in_store_.at(goods); }
    static int stock(const RnProd& p, int16_t goods) { return output(p, goods).stored_ & RnProdOutInf::kAmountMask; }
    static bool running(const RnProd& p, int16_t goods) {
        return (output(p, goods).stored_ & RnProdOutInf::kCycleRunning) != 0;
    }
    static DaxGameTime pending(const RnObjectID& oid) {
        DaxGameTime t;
        return grn_game.updateQueue().pendingTime(oid, t) ? t : kRnNoWakeTime;
    }
    // Whether message number was posted since the test began.
    bool posted(int number) const {
        const auto& history = dax_msgmgr.history();
        for (size_t i = history_start_; i < history.size(); ++i)
            if (history[i].number_ == number) return true;
        return false;
    }

    size_t history_start_ = 0;
};

// Workers assigned at kStart are read two hours later; then the first cycle
// starts and lasts its hours divided by the efficiency.
TEST_F(ProdTest, CycleTimeIsStretchedByTheEfficiency) {
    struct Case {
        int workers;
        float efficiency;
        uint32_t cycle_hours;  // 0: no cycle
    } cases[] = {{4, 1.0f, 10}, {2, 0.5f, 20}, {1, 0.25f, 40}, {0, 0.0f, 0}};
    // One building with its house per case, out of each other's reach.
    draw(std::vector<std::string>(4, std::string(80, '.')));
    RnProdType t = harvesterType();
    t.worker_reqs_[0].range_ = 3;
    std::vector<RnProd*> buildings;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const int x = static_cast<int>(i) * 20;
        buildings.push_back(&place(t, x, 0));
        if (cases[i].workers > 0) house(x, 2, cases[i].workers);
    }
    const uint32_t read = kStart + 2 * kHour;
    runUntil(read);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const RnProd& p = *buildings[i];
        SCOPED_TRACE(c.workers);
        EXPECT_FLOAT_EQ(p.efficiency(), c.efficiency);
        if (c.cycle_hours == 0) {
            // Without workers nothing starts and no walker is due.
            EXPECT_FALSE(running(p, kWood));
            EXPECT_EQ(p.flags_ & RnProdPersData::kSpwnPending, 0u);
        } else {
            ASSERT_TRUE(running(p, kWood));
            EXPECT_EQ(output(p, kWood).ready_time_.value(), read + c.cycle_hours * kHour);
        }
    }
    // The half-staffed one: its goods come 20 hours after the start, and
    // the next cycle starts where the last one ended.
    const RnProd& half = *buildings[1];
    const uint32_t ready = read + 20 * kHour;
    runUntil(ready - 1);
    EXPECT_EQ(stock(half, kWood), 0);
    runUntil(ready);
    EXPECT_EQ(stock(half, kWood), 1);
    EXPECT_EQ(output(half, kWood).ready_time_.value(), ready + 20 * kHour);
    EXPECT_FALSE(running(*buildings[3], kWood));
}

TEST_F(ProdTest, MoreWorkersShortenARunningCycleFewerNeverLengthenIt) {
    draw({"...."});
    RnProd& p = place(harvesterType(), 0, 0);
    p.worker_factor_ = 0.5f;
    ASSERT_TRUE(p.startCycles(DaxGameTime(kStart)));
    EXPECT_EQ(output(p, kWood).ready_time_.value(), kStart + 20 * kHour);
    p.worker_factor_ = 0.25f;
    EXPECT_FALSE(p.startCycles(DaxGameTime(kStart + kHour)));
    EXPECT_EQ(output(p, kWood).ready_time_.value(), kStart + 20 * kHour);
    p.worker_factor_ = 1.0f;
    EXPECT_TRUE(p.startCycles(DaxGameTime(kStart + kHour)));
    EXPECT_EQ(output(p, kWood).ready_time_.value(), kStart + 11 * kHour);
}

// A type without inputs cycles while its store has room and never holds
// more than out_capa; without a road nothing leaves, and the building says
// so.
TEST_F(ProdTest, WithoutARoadTheStoreFillsToItsCapacityAndStops) {
    draw({"....", "....", "...."});
    RnProd& p = place(harvesterType(), 0, 0);
    house(2, 2, 4);
    runUntil(kStart + 2 * kHour + 60 * kHour);
    EXPECT_EQ(stock(p, kWood), 4);
    EXPECT_FALSE(running(p, kWood));
    EXPECT_EQ(p.outputLevel(), 1000);
    EXPECT_EQ(p.problemFlags(), RnProdPersData::kProblemBits | 1u);
    EXPECT_TRUE(posted(3003));
    // Lots produced, counted in units.
    EXPECT_EQ(grn_game.goodsType(kWood).produced_cur_, 16u);
    // Taken away, the stock makes room for the next cycle at once.
    p.adjustOutput(kWood, -1, 65535);
    EXPECT_TRUE(p.startCycles(dax_gameclock.gameTime()));
    EXPECT_TRUE(running(p, kWood));
}

// The walker outcome: nothing to send clears it, no building in need gives
// bit 10 alone.
TEST_F(ProdTest, DepartureOutcomeTellsWhatStoppedTheWalker) {
    draw({"........",
          "########"});
    RnProd& p = place(harvesterType(), 0, 0);
    p.worker_factor_ = 1.0f;
    p.flags_ |= RnProdPersData::kProblemBits;
    p.update(DaxGameTime(kStart));
    ASSERT_NE(p.flags_ & RnProdPersData::kSpwnPending, 0u);
    EXPECT_EQ(p.t_spwn_.value(), kStart + kHour);
    p.update(DaxGameTime(kStart + kHour));  // nothing to send
    EXPECT_EQ(p.problemFlags(), 0u);
    p.adjustOutput(kWood, 1, 4);
    p.update(DaxGameTime(kStart + 2 * kHour));  // nobody needs it
    EXPECT_EQ(p.problemFlags(), RnProdPersData::kNoTarget);
    EXPECT_EQ(p.walkerCount(), 0);
    EXPECT_EQ(stock(p, kWood), 1);
}

// Respawning at once with nothing to send would wake the building at its
// own time again and again within one tick.
TEST_F(ProdTest, ZeroRespawnHoursStillWakeLater) {
    draw({"....", "####"});
    RnProdType t = harvesterType();
    t.hours_respawn_ = 0;
    RnProd& p = place(t, 0, 0);
    p.worker_factor_ = 1.0f;
    const DaxGameTime wake = p.update(DaxGameTime(kStart));
    EXPECT_GT(wake.value(), kStart);
    EXPECT_GT(p.update(wake).value(), wake.value());
    runUntil(kStart + 3 * kHour);
}

// The whole trip: a cycle ends, a walker takes the unit to the building
// that needs it, comes back and is taken in.
TEST_F(ProdTest, OutputIsCarriedToTheBuildingInNeed) {
    roadWithCustomer();
    RnProdType t = harvesterType();
    t.output_goods_[0].time_ = 30;  // the next unit comes after the trip
    RnProd& p = place(t, 0, 0);
    house(4, 0, 4);
    const uint32_t ready = kStart + 32 * kHour;
    runUntil(ready - 1);
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    runUntil(ready);
    // It left at once with the unit, promised at the target.
    EXPECT_EQ(p.walkerCount(), 1);
    EXPECT_EQ(stock(p, kWood), 0);
    EXPECT_EQ(fake(7, 2).promised[kWood], 1);
    EXPECT_EQ(prodWalkers().instanceCount(), 1);
    // No second walker while one is out.
    EXPECT_EQ(p.flags_ & RnProdPersData::kSpwnPending, 0u);
    runUntil(ready + 12 * kHour);
    ASSERT_EQ(fake(7, 2).goods_got.size(), 1u);
    EXPECT_EQ(fake(7, 2).goods_got[0], std::make_pair(kWood, 1));
    EXPECT_EQ(fake(7, 2).promised[kWood], 0);
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    EXPECT_EQ(p.walkerCount(), 0);
    EXPECT_EQ(p.problemFlags(), 0u);
    EXPECT_NE(p.flags_ & RnProdPersData::kSpwnPending, 0u);
    EXPECT_EQ(grn_game.goodsType(kWood).produced_cur_, 4u);
    expectTileListsConsistent();
}

// A finished walker whose home did not come back (a save's walker) is
// cleared away by a producer of its goods taking its own walkers in.
TEST_F(ProdTest, FinishedWalkerWithoutAHomeIsClearedAway) {
    draw({"....", "####"});
    RnProd& p = place(harvesterType(), 0, 0);
    RnWalkerProd& w =
        send(prodWalkers(), RnWalkerProd(p.oid_, DaxMapPositionI(2, 1), DaxGameTime(kStart), false), kWood);
    const RnObjectID oid = w.oid_;
    w.home_oid_.bld_idx_ = -1;
    w.state_ |= RnWalkerPersData::kFinished;
    p.walkerReturned(DaxGameTime(kStart), oid);
    p.update(DaxGameTime(kStart));
    expectGone(oid);
    EXPECT_EQ(p.walkerCount(), 0);
    expectTileListsConsistent();
}

TEST_F(ProdTest, InputNeedFallsWithTheSquareOfTheFreeShare) {
    draw({"...."});
    RnProd& p = place(sawmillType(), 0, 0);
    struct Case {
        uint16_t stored, promised;
        uint16_t need, need_with_promised;
    } cases[] = {
        {0, 0, 1000, 1000}, {4, 0, 250, 250}, {2, 2, 562, 250}, {6, 0, 62, 62}, {8, 0, 0, 0}, {4, 4, 250, 0},
    };
    for (const Case& c : cases) {
        p.input_goods_[kWood].stored_ = c.stored;
        p.input_goods_[kWood].promised_ = c.promised;
        EXPECT_EQ(p.goodsNeed(DaxGameTime(kStart), kWood, false), c.need) << c.stored << "+" << c.promised;
        EXPECT_EQ(p.goodsNeed(DaxGameTime(kStart), kWood, true), c.need_with_promised) << c.stored << "+" << c.promised;
    }
    EXPECT_EQ(p.inputLevel(), 1000);
    p.input_goods_[kWood] = RnProdInpInf();
    p.input_goods_[kWood].stored_ = 2;
    EXPECT_EQ(p.inputLevel(), 250);
    EXPECT_EQ(p.goodsNeed(DaxGameTime(kStart), kPlanks, false), 0);  // an output, not an input
    p.flags_ |= RnProdPersData::kDestroyed;
    EXPECT_EQ(p.goodsNeed(DaxGameTime(kStart), kWood, false), 0);
    EXPECT_EQ(p.inputLevel(), 0);
}

// Promised goods count for inputsAvailable, but a cycle starts only on what
// is stored; it takes the inputs and counts them as consumed.
TEST_F(ProdTest, CycleStartsOnStoredInputsOnly) {
    draw({"...."});
    RnProd& p = place(sawmillType(), 0, 0);
    p.worker_factor_ = 1.0f;
    EXPECT_FALSE(p.inputsAvailable());
    p.goodsPromised(kWood, 2);
    EXPECT_TRUE(p.inputsAvailable());
    EXPECT_FALSE(p.startCycles(DaxGameTime(kStart)));
    p.goodsDelivered(DaxGameTime(kStart), kWood, 1);
    p.goodsArrived(DaxGameTime(kStart));
    EXPECT_FALSE(running(p, kPlanks));
    p.goodsDelivered(DaxGameTime(kStart + 1), kWood, 1);
    p.goodsArrived(DaxGameTime(kStart + 1));
    ASSERT_TRUE(running(p, kPlanks));
    EXPECT_EQ(output(p, kPlanks).ready_time_.value(), kStart + 1 + 6 * kHour);
    EXPECT_EQ(p.input_goods_[kWood].stored_, 0);
    EXPECT_EQ(p.input_goods_[kWood].promised_, 0);
    EXPECT_EQ(grn_game.goodsType(kWood).consumed_cur_, 8u);  // two lots of four
    EXPECT_EQ(pending(p.oid_).value(), kStart);  // the build order's wake-up is earlier
    // While a cycle runs the next one's inputs need not be there.
    EXPECT_TRUE(p.inputsAvailable());
}

TEST_F(ProdTest, CycleProgressOfTheOnlyOutput) {
    draw({"...."});
    RnProd& p = place(harvesterType(), 0, 0);
    struct Case {
        float efficiency;
        uint32_t hours_in;
        int percent;
    } cases[] = {{1.0f, 0, 0}, {1.0f, 5, 50}, {1.0f, 10, 100}, {0.5f, 5, 25}, {0.5f, 19, 95}};
    for (const Case& c : cases) {
        p.output_goods_in_store_[kWood] = RnProdOutInf();
        p.worker_factor_ = c.efficiency;
        setNow(kStart);
        ASSERT_TRUE(p.startCycles(DaxGameTime(kStart)));
        setNow(kStart + c.hours_in * kHour);
        EXPECT_EQ(p.cycleProgressPercent(), c.percent) << c.efficiency << " " << c.hours_in;
    }
    setNow(kStart + 21 * kHour);  // past the ready time
    EXPECT_EQ(p.cycleProgressPercent(), -1);
    setNow(kStart);
    p.worker_factor_ = 0.0f;
    EXPECT_EQ(p.cycleProgressPercent(), -1);
    // The debug text shows it after the material lines.
    p.worker_factor_ = 1.0f;
    p.output_goods_in_store_[kWood] = RnProdOutInf();
    p.startCycles(DaxGameTime(kStart));
    setNow(kStart + 5 * kHour);
    dax_strings.addString(2132, "[2132 %d%%]", true);
    std::string text;
    p.debugText(text, false);
    EXPECT_TRUE(contains(text, "\n[2132 50%]")) << text;
    // Two outputs: no single progress.
    RnProdType two = harvesterType(502);
    two.output_goods_.push_back({kPlanks, 1, 5});
    RnProd& q = place(two, 3, 0);
    q.worker_factor_ = 1.0f;
    q.startCycles(DaxGameTime(kStart + 5 * kHour));
    EXPECT_EQ(q.cycleProgressPercent(), -1);
}

// Each goods entry registers at its near storage: the open room of an
// input as need, the stock of an output as offer; every change passes the
// same delta, and the building takes its share back when it goes.
TEST_F(ProdTest, NearStorageDemandFollowsTheEntries) {
    RnProd& p = linkedSawmill();
    const RnStor& stor = storageAt(4, 0);
    p.worker_factor_ = 1.0f;
    EXPECT_EQ(p.t_near_.value(), kStart + 26 * kHour);
    EXPECT_EQ(p.input_goods_[kWood].near_storage_, stor.oid_);
    EXPECT_EQ(output(p, kPlanks).near_storage_, stor.oid_);
    EXPECT_TRUE(p.refersTo(stor.oid_));
    auto demand = [&stor](int16_t g) { return stor.goods_stored_.at(g).demand_; };
    EXPECT_EQ(demand(kWood), -8);
    EXPECT_EQ(demand(kPlanks), 0);
    p.goodsPromised(kWood, 3);
    EXPECT_EQ(demand(kWood), -5);
    p.goodsDelivered(DaxGameTime(kStart + 3 * kHour), kWood, 3);
    EXPECT_EQ(demand(kWood), -5);
    ASSERT_TRUE(p.startCycles(DaxGameTime(kStart + 3 * kHour)));
    EXPECT_EQ(demand(kWood), -7);
    p.adjustOutput(kPlanks, 3, 4);
    EXPECT_EQ(demand(kPlanks), 3);
    p.adjustOutput(kPlanks, 3, 4);  // capped at 4
    EXPECT_EQ(demand(kPlanks), 4);
    p.adjustOutput(kPlanks, -1, 65535);
    EXPECT_EQ(demand(kPlanks), 3);

    removeAt(0, 0);
    EXPECT_EQ(demand(kWood), 0);
    EXPECT_EQ(demand(kPlanks), 0);
}

TEST_F(ProdTest, ForgottenStorageLeavesNoLink) {
    RnProd& p = linkedSawmill();
    const RnStor& stor = storageAt(4, 0);
    ASSERT_TRUE(p.refersTo(stor.oid_));
    p.forgetObject(stor.oid_);
    EXPECT_FALSE(p.refersTo(stor.oid_));
    EXPECT_TRUE(output(p, kPlanks).near_storage_.isNull());
}

// Material that runs out makes a ruin: it leaves the workforce, its walkers
// and links go, and it wants no further update.
TEST_F(ProdTest, BuildingWhoseMaterialRunsOutFalls) {
    roadWithCustomer();
    RnProdType t = harvesterType();
    t.build_material_ = {{kPlanks, 3, 5}};  // lasts 15 hours
    t.ruin_image_ = "ruin";
    RnProd& p = place(t, 0, 0);
    house(4, 0, 4);
    runUntil(kStart + 14 * kHour);
    ASSERT_EQ(p.walkerCount(), 1);
    EXPECT_EQ(fake(7, 2).promised[kWood], 1);
    ASSERT_NE(p.flags_ & RnProdPersData::kBldPending, 0u);
    EXPECT_EQ(p.t_bld_.value(), kStart + 15 * kHour);
    runUntil(kStart + 15 * kHour);
    EXPECT_TRUE(p.isDestroyed());
    EXPECT_TRUE(posted(3002));
    EXPECT_EQ(p.efficiency(), 0.0f);
    EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(p.oid_), 0);
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    EXPECT_EQ(fake(7, 2).promised[kWood], 0);
    EXPECT_EQ(p.walkerCount(), 0);
    EXPECT_EQ(p.update(DaxGameTime(kStart + 11 * kHour)), kRnNoWakeTime);
    EXPECT_FALSE(p.startCycles(DaxGameTime(kStart + 11 * kHour)));
    expectTileListsConsistent();
}

// ---------------------------------------------------------------------------
// Resources around the building

class ProdResourceTest : public ProdTest {
protected:
    // Around (1, 2) within radius 2 lie 20 tiles on a 10 by 10 map (x -1
    // is off it).
    static RnProdType aroundType(uint16_t percent, uint16_t roam, int32_t id = 510) {
        RnProdType t = harvesterType(id);
        t.resource_bld_type_ = kRnResAroundBld;
        t.resource_idx_ = 0;
        t.resource_radius_ = 2;
        t.resource_percent_ = percent;
        t.num_roaming_ = roam;
        t.roam_image_ = "roam";
        return t;
    }
    void SetUp() override {
        ProdTest::SetUp();
        draw(std::vector<std::string>(10, std::string(10, '.')));
    }
    static void ore(const std::vector<DaxMapPositionI>& tiles) {
        for (const DaxMapPositionI& p : tiles) setTerrain(p.x, p.y, kOre);
    }
    static int marked() {
        int n = 0;
        for (int x = 0; x < grn_map.size(); ++x)
            for (int y = 0; y < grn_map.size(); ++y)
                if (grn_map.tile(x, y).flags_ & kRnTileProdImage) ++n;
        return n;
    }
};

TEST_F(ProdResourceTest, FactorIsTheShareOfResourceTilesAgainstThePercent) {
    // Six of the 20 tiles carry ore: 30 %.
    ore({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {3, 1}});
    RnProd& p = place(aroundType(60, 0), 1, 2);
    p.updateResourceFactor(p.prodType());
    EXPECT_FLOAT_EQ(p.resource_factor_, 0.5f);
    p.worker_factor_ = 1.0f;
    EXPECT_FLOAT_EQ(p.efficiency(), 0.5f);
    // A road and another building on ore: those tiles no longer count.
    addRoad(0, 0);
    fakeType(RnIdBldDeco).createBuilding(1, 0);
    p.updateResourceFactor(p.prodType());
    EXPECT_FLOAT_EQ(p.resource_factor_, 20.0f / 60.0f);
    // Ore under the building itself counts.
    setTerrain(1, 2, kOre);
    grn_map.tile(1, 2).oid_ = p.oid_;
    p.updateResourceFactor(p.prodType());
    EXPECT_FLOAT_EQ(p.resource_factor_, 25.0f / 60.0f);
    // At the percent or above: 1.0.
    ore({{0, 3}, {0, 4}, {2, 4}, {3, 4}, {3, 3}, {2, 3}});
    p.updateResourceFactor(p.prodType());
    EXPECT_FLOAT_EQ(p.resource_factor_, 55.0f / 60.0f);
    ore({{1, 4}});
    p.updateResourceFactor(p.prodType());
    EXPECT_FLOAT_EQ(p.resource_factor_, 1.0f);
}

TEST_F(ProdResourceTest, MarkersFollowTheFactorAndNeverDoubleUp) {
    ore({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {3, 1}, {0, 3}, {0, 4}, {2, 4}, {3, 4}, {3, 3}, {2, 3}});
    struct Case {
        uint16_t percent;
        uint16_t roam;
        int markers;
    } cases[] = {{60, 3, 3}, {120, 3, 1}, {60, 0, 0}};  // factor 1.0, 0.5, no roaming
    int32_t id = 530;
    for (const Case& c : cases) {
        RnProd& p = place(aroundType(c.percent, c.roam, id++), 1, 2);
        p.updateResourceFactor(p.prodType());
        EXPECT_EQ(static_cast<int>(p.marked_tiles_.size()), c.markers) << c.percent << " " << c.roam;
        EXPECT_EQ(marked(), c.markers);
        // Drawn anew each time, never added up.
        p.updateResourceFactor(p.prodType());
        EXPECT_EQ(marked(), c.markers);
        removeAt(1, 2);
        EXPECT_EQ(marked(), 0);
    }
}

TEST_F(ProdResourceTest, FewerCandidatesThanMarkersAreEachMarkedOnce) {
    ore({{0, 0}, {1, 0}});
    RnProdType t = aroundType(5, 8);
    RnProd& p = place(t, 1, 2);
    p.updateResourceFactor(p.prodType());
    EXPECT_EQ(p.marked_tiles_.size(), 2u);
    EXPECT_NE(grn_map.tile(0, 0).flags_ & kRnTileProdImage, 0);
    EXPECT_NE(grn_map.tile(1, 0).flags_ & kRnTileProdImage, 0);
    // A neighbour of the same type finds them marked: they count for its
    // factor, but it has nothing left to mark.
    RnProd& q = place(t, 2, 2);
    q.updateResourceFactor(q.prodType());
    EXPECT_FLOAT_EQ(q.resource_factor_, 1.0f);
    EXPECT_TRUE(q.marked_tiles_.empty());
    EXPECT_EQ(marked(), 2);
}

TEST_F(ProdResourceTest, OnlyResourceAroundTypesUpdateTheirFactorDaily) {
    ore({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {3, 1}});
    RnProdType plain = harvesterType(511);
    plain.resource_bld_type_ = kRnResNextToBld;
    plain.resource_idx_ = 0;
    // Both types first: a new type may move the records of the others.
    grn_game.addProdType(aroundType(60, 0));
    grn_game.addProdType(plain);
    RnProd& around = place(aroundType(60, 0), 1, 2);
    RnProd& next_to = place(plain, 4, 1);
    around.update(DaxGameTime(kStart));
    next_to.update(DaxGameTime(kStart));
    EXPECT_FLOAT_EQ(around.resource_factor_, 0.5f);
    EXPECT_NE(around.flags_ & RnProdPersData::kEffPending, 0u);
    EXPECT_EQ(around.t_eff_.value(), kStart + 24 * kHour);
    EXPECT_FLOAT_EQ(next_to.resource_factor_, 1.0f);
    EXPECT_EQ(next_to.flags_ & RnProdPersData::kEffPending, 0u);
}

// ---------------------------------------------------------------------------
// After loading

TEST_F(ProdTest, LoadedGoodsEntriesAreReconciledWithTheType) {
    RnProd& p = linkedSawmill();
    RnStor& stor = storageAt(4, 0);
    // The storage no longer keeps planks; wood went missing from the map.
    stor.goods_stored_.erase(kPlanks);
    p.input_goods_.clear();
    clearConsole();
    p.checkInputGoods();
    p.checkOutputGoods();
    ASSERT_EQ(p.input_goods_.count(kWood), 1u);
    EXPECT_TRUE(p.input_goods_[kWood].near_storage_.isNull());
    EXPECT_TRUE(output(p, kPlanks).near_storage_.isNull());
    EXPECT_TRUE(loggedContaining("add new input goods type 0 to prod"));
    EXPECT_TRUE(loggedContaining("cleared for output goods type 1 prod"));
    // Goods the type does not list stop the loading.
    p.output_goods_in_store_[kWood] = RnProdOutInf();
    EXPECT_EQ(raised([&] { p.checkOutputGoods(); }),
              "prod [5:0,0] has output goods which are not allowed with prod type");
    p.input_goods_[kPlanks] = RnProdInpInf();
    EXPECT_EQ(raised([&] { p.checkInputGoods(); }),
              "prod [5:0,0] has input goods which are not allowed with prod type");
}

TEST_F(ProdTest, VerifyOnMapChecksTheResourceRule) {
    draw(std::vector<std::string>(8, std::string(8, '.')));
    setTerrain(3, 3, kOre);
    struct Case {
        uint8_t rule;
        int x, y;
        const char* error;  // "" none
    } cases[] = {
        {kRnResNone, 1, 1, ""},
        {kRnResUnderBld, 3, 3, ""},
        {kRnResUnderBld, 1, 1, "resource under condition violated"},
        {kRnResNextToBld, 2, 3, ""},
        {kRnResNextToBld, 6, 6, "resource next to condition violated"},
        {kRnResAroundBld, 6, 6, "resource around condition violated"},
        {kRnResNone, 3, 3, "can't build here on map: [5:%d,0]"},  // ore allows no buildings
    };
    int n = 0;
    for (const Case& c : cases) {
        RnProdType t = harvesterType(520 + n);
        t.resource_bld_type_ = c.rule;
        t.resource_idx_ = c.rule == kRnResNone ? -1 : 0;
        RnProd& p = place(t, c.x, c.y);
        char expected[128];
        std::snprintf(expected, sizeof(expected), c.error, n);
        EXPECT_EQ(raised([&] { p.verifyOnMap(); }), expected) << n;
        removeAt(c.x, c.y);
        ++n;
    }
    // The anchor tile must carry the building.
    RnProd& p = place(harvesterType(), 1, 1);
    grn_map.tile(1, 1).oid_ = RnObjectID();
    clearConsole();
    EXPECT_EQ(raised([&] { p.verifyOnMap(); }),
              "prod [5:" + std::to_string(p.oid_.type_idx_) + ",0] has inconsistent oid [0:-1,-1] at pos 1,1");
    EXPECT_TRUE(loggedContaining("tile [0:-1,-1] at (1,1)"));
    p.pos_on_map_ = DaxMapPositionI(9, 1);
    EXPECT_EQ(raised([&] { p.verifyOnMap(); }), "not all on map: [5:" + std::to_string(p.oid_.type_idx_) + ",0]");
}

TEST_F(ProdTest, BuildingOffItsAnchorIsTakenOutAfterLoading) {
    roadWithCustomer();
    RnProdType t = harvesterType();
    t.width_ = 2;
    RnProd& p = place(t, 1, 0);
    house(4, 0, 4);
    runUntil(kStart + 12 * kHour);
    ASSERT_EQ(p.walkerCount(), 1);
    // Recounted from the walkers out.
    p.flags_ &= ~RnProdPersData::kWalkerCountMask;
    p.checkOidAndWalkers();
    EXPECT_EQ(p.walkerCount(), 1);
    // The anchor names another object: the building goes, with the tiles
    // that still carry it and its walker.
    const RnObjectID oid = p.oid_;
    grn_map.tile(1, 0).oid_ = RnObjectID(RnIdBldDeco, 0, 7);
    p.checkOidAndWalkers();
    EXPECT_FALSE(grn_game.isObjectAlive(oid));
    EXPECT_EQ(grn_game.prodType(0).instanceCount(), 0);
    EXPECT_EQ(grn_map.tile(0, 0).oid_, RnObjectID());
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    EXPECT_EQ(pending(oid), kRnNoWakeTime);
    EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(oid), 0);
    // A position off the map (a damaged save) goes the same way, the map
    // untouched.
    RnProd& off = place(t, 7, 0);
    const RnObjectID off_oid = off.oid_;
    off.pos_on_map_ = DaxMapPositionI(200, -3);
    off.checkOidAndWalkers();
    EXPECT_FALSE(grn_game.isObjectAlive(off_oid));
    EXPECT_EQ(grn_map.tile(7, 0).oid_, off_oid);
    // So does one whose anchor is right but another tile of its footprint
    // is not its own: its tiles are cleared.
    RnProd& part = place(t, 3, 0);
    const RnObjectID part_oid = part.oid_;
    grn_map.tile(2, 0).oid_ = RnObjectID();
    part.checkOidAndWalkers();
    EXPECT_FALSE(grn_game.isObjectAlive(part_oid));
    EXPECT_EQ(grn_map.tile(3, 0).oid_, RnObjectID());
}

TEST_F(ProdTest, ChangedMaterialIsCheckedAgainAtItsNewTime) {
    draw({"...."});
    RnProdType t = harvesterType();
    t.build_material_ = {{kPlanks, 2, 5}};
    RnProd& p = place(t, 0, 0);
    p.update(DaxGameTime(kStart));
    ASSERT_EQ(p.t_bld_.value(), kStart + 10 * kHour);
    grn_game.updateQueue().remove(p.oid_);
    // The type's material now lasts longer per unit.
    grn_game.prodType(0).build_material_ = {{kPlanks, 2, 8}};
    EXPECT_TRUE(p.material_in_store_.count(kPlanks) == 1);
    p.verifyMaterialNeeds();
    EXPECT_EQ(pending(p.oid_).value(), p.t_bld_.value());
    // A type that dropped its material leaves no supply check behind.
    grn_game.prodType(0).build_material_.clear();
    p.verifyMaterialNeeds();
    EXPECT_TRUE(p.material_in_store_.empty());
    EXPECT_EQ(p.flags_ & RnProdPersData::kBldPending, 0u);
    EXPECT_NE(p.update(DaxGameTime(kStart + 20 * kHour)), kRnNoWakeTime);
    EXPECT_FALSE(p.isDestroyed());
}

}  // namespace
