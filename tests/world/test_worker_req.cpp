// Worker requirements of the five workplace kinds on a real world: houses
// and workplaces join the networks of their people types when placed, the
// worker ratio follows the assignments two game hours later, workers in
// range, ruins, and removals that leave no node behind.
#include <functional>
#include <string>

#include "rn_bld_bldr.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_workforce.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class WorkerReqTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        dax_config.debug_level_ = 0;
        dax_config.debug_ltype_ = 0;
        makeMap(80);
        grn_game.addGoodsType(RnGoodsType("wood", 11, 1, 4, -2));
        for (int id : {500, 501}) grn_game.addPeoplType(RnPeoplType(id, "people"));
        RnHousType ht;
        ht.type_id_ = 20;
        ht.name_ = "hut";
        ht.ppl_type_idx_ = 0;
        ht.level_descs_.push_back(RnHousLevelDesc());
        grn_game.addHousType(ht);
        ht.type_id_ = 21;
        ht.ppl_type_idx_ = 1;
        grn_game.addHousType(ht);
        setNow(500);
    }

    static RnWorkforce& network(int16_t ppl) { return grn_game.peoplType(ppl).workforce_; }
    // A 1 by 1 house of people type ppl at (x, y) offering workers.
    static RnObjectID house(int x, int y, int workers, int16_t ppl = 0) {
        RnHousType& ht = grn_game.housType(ppl);
        RnObjectID oid = ht.createBuilding(x, y);
        grn_game.housByOid(oid).offerWorkers(ht, workers);
        return oid;
    }
    // Removes a building as a demolition does.
    static void demolish(const RnObjectID& oid) {
        RnGenericBuilding& b = grn_game.buildingByOid(oid);
        DaxMapPositionI at = b.pos_on_map_;
        grn_game.buildingType(oid).removeBuilding(grn_map.tile(at.x, at.y), at.x, at.y);
        grn_game.updateQueue().remove(oid);
    }
    static void setDestroyed(RnGenericBuilding& b) {
        switch (b.oid_.kind_) {
        case RnIdBldServ: static_cast<RnServ&>(b).flags_ |= RnServPersData::kDestroyed; break;
        case RnIdBldBldr: static_cast<RnBldr&>(b).flags_ |= RnBldrPersData::kDestroyed; break;
        case RnIdBldProd: static_cast<RnProd&>(b).flags_ |= RnProdPersData::kDestroyed; break;
        case RnIdBldMrkt: static_cast<RnMrkt&>(b).flags_ |= RnMrktPersData::kDestroyed; break;
        case RnIdBldStor: static_cast<RnStor&>(b).flags_ |= RnStorPersData::kDestroyed; break;
        default: FAIL() << "not a workplace";
        }
    }

    // A workplace type of each kind (2 by 2, id 42) requiring the given
    // workers; returns its kind.
    struct Kind {
        const char* name;
        int16_t kind;
        std::function<void(const std::vector<RnWorkerReq>&)> add;
    };
    static std::vector<Kind> kinds() {
        auto simple = [](RnSimpleBuildingType& t) {
            t.type_id_ = 42;
            t.name_ = "workplace";
            t.width_ = 2;
            t.height_ = 2;
        };
        return {
            {"builder", RnIdBldBldr,
             [=](const std::vector<RnWorkerReq>& reqs) {
                 RnBldrType t;
                 simple(t);
                 t.worker_reqs_ = reqs;
                 grn_game.addBldrType(t);
             }},
            {"service", RnIdBldServ,
             [=](const std::vector<RnWorkerReq>& reqs) {
                 RnServType t;
                 simple(t);
                 t.worker_reqs_ = reqs;
                 grn_game.addServType(t);
             }},
            {"production", RnIdBldProd,
             [=](const std::vector<RnWorkerReq>& reqs) {
                 RnProdType t;
                 simple(t);
                 t.worker_reqs_ = reqs;
                 grn_game.addProdType(t);
             }},
            {"market", RnIdBldMrkt,
             [=](const std::vector<RnWorkerReq>& reqs) {
                 RnMrktType t;
                 simple(t);
                 t.worker_type_ = reqs[0].ppl_type_idx_;
                 t.num_workers_ = reqs[0].num_req_;
                 t.worker_range_ = reqs[0].range_;
                 grn_game.addMrktType(t);
             }},
            {"storage", RnIdBldStor,
             [=](const std::vector<RnWorkerReq>& reqs) {
                 RnStorType t;
                 simple(t);
                 t.distribute_goods_ = {0};
                 t.worker_type_ = reqs[0].ppl_type_idx_;
                 t.num_workers_ = reqs[0].num_req_;
                 t.worker_range_ = reqs[0].range_;
                 grn_game.addStorType(t);
             }},
        };
    }
};

TEST_F(WorkerReqTest, EveryKindFollowsItsWorkersTwoHoursLater) {
    int x = 10;
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.name);
        setNow(500);
        k.add({{0, 4, 6}});
        RnGenericBuildingType& type = grn_game.buildingType(RnObjectTypeID(k.kind, 0));
        // The workplace's centre is (x - 0.5, 19.5).
        RnObjectID oid = type.createBuilding(x, 20);
        RnGenericBuilding& b = grn_game.buildingByOid(oid);
        EXPECT_NE(network(0).nodeOf(oid), 0);
        EXPECT_FALSE(b.hasWorkers());  // nobody in range yet
        EXPECT_EQ(b.efficiency(), 0.0f);

        RnObjectID h = house(x, 25, 3);  // 5.5 tiles away
        RnHous& hs = grn_game.housByOid(h);
        EXPECT_TRUE(b.hasWorkers());
        EXPECT_EQ(network(0).pplAssigned(oid), 3);
        EXPECT_EQ(hs.employed(), 3);
        DaxGameTime due;
        ASSERT_TRUE(grn_game.updateQueue().pendingTime(oid, due));
        EXPECT_EQ(due.value(), 524u);
        ASSERT_TRUE(grn_game.updateQueue().pendingTime(h, due));
        EXPECT_EQ(due.value(), 524u);
        EXPECT_NE(hs.flags_ & RnHousPersData::kWkfPending, 0u);

        setNow(523);
        grn_game.update();
        EXPECT_EQ(b.efficiency(), 0.0f);
        setNow(524);
        grn_game.update();
        EXPECT_FLOAT_EQ(b.efficiency(), 0.75f);
        // Done with the workers; a production building still waits for its
        // first near-storage refresh.
        if (k.kind == RnIdBldProd) {
            ASSERT_TRUE(grn_game.updateQueue().pendingTime(oid, due));
            EXPECT_EQ(due.value(), 548u);
        } else {
            EXPECT_FALSE(grn_game.updateQueue().pendingTime(oid, due));
        }

        // A ruin has no workers and no ratio, whatever is assigned.
        setDestroyed(b);
        EXPECT_FALSE(b.hasWorkers());
        EXPECT_EQ(network(0).pplAssigned(oid), 3);
        b.workersChanged(DaxGameTime(524));
        b.update(DaxGameTime(524));
        EXPECT_EQ(b.efficiency(), 0.0f);

        // Removed, the workplace leaves the network and the house's workers
        // their jobs.
        demolish(oid);
        EXPECT_EQ(network(0).nodeOf(oid), 0);
        EXPECT_EQ(hs.employed(), 0);
        demolish(h);
        x += 15;
    }
    EXPECT_FALSE(network(0).hasNodes());
}

TEST_F(WorkerReqTest, BuilderWithOneOfTwoRequirementsFilledHasHalf) {
    kinds()[0].add({{0, 4, 8}, {1, 2, 8}});
    RnObjectID oid = grn_game.bldrType(0).createBuilding(20, 20);
    EXPECT_NE(network(1).nodeOf(oid), 0);
    house(20, 24, 4, 0);
    RnBldr& b = grn_game.bldrByOid(oid);
    EXPECT_TRUE(b.hasWorkers());
    b.updateWorkerRatio();
    EXPECT_FLOAT_EQ(b.efficiency(), 0.5f);
    house(22, 24, 1, 1);
    b.updateWorkerRatio();
    EXPECT_FLOAT_EQ(b.efficiency(), 0.75f);
}

TEST_F(WorkerReqTest, MarketWhoseHousesWorkElsewhereHasWorkersButNoRatio) {
    kinds()[1].add({{0, 2, 8}});
    grn_game.servType(0).createBuilding(20, 20);
    house(20, 24, 2);
    kinds()[3].add({{0, 2, 8}});
    RnObjectID m = grn_game.mrktType(0).createBuilding(24, 24);
    RnMrkt& mrkt = grn_game.mrktByOid(m);
    EXPECT_EQ(network(0).pplAssigned(m), 0);
    EXPECT_EQ(network(0).pplInRange(m), 2);
    EXPECT_TRUE(mrkt.hasWorkers());
    mrkt.updateWorkerRatio();
    EXPECT_EQ(mrkt.efficiency(), 0.0f);
    // A house of another people type in range counts for nothing.
    RnObjectID other = house(25, 25, 3, 1);
    EXPECT_EQ(network(0).pplInRange(m), 2);
    EXPECT_NE(network(1).nodeOf(other), 0);
}

TEST_F(WorkerReqTest, RemovedRuinLeavesNoSinkBehind) {
    kinds()[1].add({{0, 3, 8}});
    RnServType& type = grn_game.servType(0);
    RnObjectID h = house(30, 30, 2);

    // A ruin that never went through its shutDown (as one read from a save
    // would): removal still takes its node out.
    RnObjectID ruin = type.createBuilding(30, 26);
    EXPECT_EQ(network(0).pplAssigned(ruin), 2);
    setDestroyed(grn_game.buildingByOid(ruin));
    demolish(ruin);
    EXPECT_EQ(network(0).nodeOf(ruin), 0);
    // The freed slot's id is used again at once; the house's next workers
    // go to the new building and nothing reaches the freed one.
    RnObjectID again = type.createBuilding(26, 30);
    EXPECT_EQ(again, ruin);
    grn_game.housByOid(h).offerWorkers(grn_game.housType(0), 3);
    EXPECT_EQ(network(0).pplAssigned(again), 3);

    // A ruin from decay leaves the network when it falls, not only when it
    // is removed.
    RnServ& s = grn_game.servByOid(again);
    s.shutDown(type);
    setDestroyed(s);
    EXPECT_EQ(network(0).nodeOf(again), 0);
    EXPECT_EQ(grn_game.housByOid(h).employed(), 0);
    EXPECT_FALSE(s.hasWorkers());
    demolish(again);
    EXPECT_EQ(network(0).totalJobs(), 0);
}

TEST_F(WorkerReqTest, HousesJoinGrowAndLeaveTheirNetwork) {
    kinds()[1].add({{0, 3, 8}});
    RnObjectID s1 = grn_game.servType(0).createBuilding(40, 40);
    RnObjectID s2 = grn_game.servType(0).createBuilding(48, 40);
    RnObjectID h = house(43, 40, 0);
    EXPECT_NE(network(0).nodeOf(h), 0);
    EXPECT_EQ(network(0).pplAssigned(h), 0);
    RnHousType& ht = grn_game.housType(0);
    RnHous& hs = grn_game.housByOid(h);
    hs.offerWorkers(ht, 5);
    EXPECT_EQ(hs.curNumWorkers(), 5);
    EXPECT_EQ(hs.employed(), 5);
    EXPECT_EQ(network(0).pplAssigned(s1), 3);
    EXPECT_EQ(network(0).pplAssigned(s2), 2);
    // The field holds 8 bits.
    hs.offerWorkers(ht, 300);
    EXPECT_EQ(hs.curNumWorkers(), 255);
    EXPECT_EQ(network(0).totalWorkers(), 255);
    hs.offerWorkers(ht, 1);
    EXPECT_EQ(hs.employed(), 1);
    EXPECT_EQ(network(0).pplAssigned(s1) + network(0).pplAssigned(s2), 1);

    // A second house takes the jobs the first one leaves when it goes.
    RnObjectID h2 = house(44, 44, 4);
    EXPECT_EQ(network(0).totalAssignments(), 5);
    demolish(h);
    EXPECT_EQ(network(0).nodeOf(h), 0);
    EXPECT_EQ(network(0).totalWorkers(), 4);
    EXPECT_EQ(network(0).totalAssignments(), 4);
    EXPECT_EQ(grn_game.housByOid(h2).employed(), 4);
}

class WorkerReqDeathTest : public WorkerReqTest {};

TEST_F(WorkerReqDeathTest, EmployedNeverExceedsTheOfferedWorkers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnHous& hs = grn_game.housByOid(house(5, 5, 2));
    EXPECT_DEATH(hs.setEmployed(3), "new_num_ <= cur_num_workers_");
    kinds()[0].add({});
    RnBldr& b = grn_game.bldrByOid(grn_game.bldrType(0).createBuilding(20, 20));
    EXPECT_DEATH(b.updateWorkerRatio(), "typ.worker_reqs_.size\\(\\)>0");
}

}  // namespace
