// What service buildings, markets and builders share, run through the
// per-tick update: a walker sent to the building that needs it and taken
// back when it comes home, the outcome of a departure without a target or a
// road, no departure without workers, building material running out to a
// ruin, and a game saved with more walkers out than the type now allows.
#include <functional>
#include <string>

#include "test_workplace_fixture.h"

using namespace worldtest;

namespace {

using W = RnWalkerPersData;

// One workplace kind as the tests drive it.
struct Kind {
    const char* name;
    int16_t kind;
    uint32_t no_target;  // problemFlags after a departure that found nothing
    uint32_t no_road;    // and after one without a road
};
const Kind kKinds[] = {
    {"service", RnIdBldServ, 0x100, 0x301},
    {"market", RnIdBldMrkt, 0x200, 0x601},
    {"builder", RnIdBldBldr, 0x100, 0x301},
};

class WorkplacesTest : public WorkplaceTest {
protected:
    // The kind's building at (x, y) with the given efficiency; a service
    // building gets bread for four walkers.
    RnGenericBuilding& workplace(const Kind& k, int x, int y, float efficiency) {
        RnGenericBuilding& b = place(k.kind, x, y);
        switch (k.kind) {
        case RnIdBldServ: {
            RnServ& s = static_cast<RnServ&>(b);
            s.efficiency_ = efficiency;
            s.goods_stored_[kBread].amt_.stored_ = 4;
            break;
        }
        case RnIdBldMrkt: static_cast<RnMrkt&>(b).efficiency_ = efficiency; break;
        default: static_cast<RnBldr&>(b).efficiency_ = efficiency; break;
        }
        return b;
    }
    static void setEfficiency(RnGenericBuilding& b, float e) {
        switch (b.oid_.kind_) {
        case RnIdBldServ: static_cast<RnServ&>(b).efficiency_ = e; break;
        case RnIdBldMrkt: static_cast<RnMrkt&>(b).efficiency_ = e; break;
        default: static_cast<RnBldr&>(b).efficiency_ = e; break;
        }
    }
    static int walkersOut(const RnGenericBuilding& b) {
        switch (b.oid_.kind_) {
        case RnIdBldServ: return static_cast<const RnServ&>(b).walkersOut();
        case RnIdBldMrkt: return static_cast<const RnMrkt&>(b).walkersOut();
        default: return static_cast<const RnBldr&>(b).walkersOut();
        }
    }
    int liveWalkers(const Kind& k) {
        switch (k.kind) {
        case RnIdBldServ: return servWalkers().instanceCount();
        case RnIdBldMrkt: return mrktWalkers().instanceCount();
        default: return bldrWalkers().instanceCount();
        }
    }
    // The fake at (x, y) wants what the kind brings.
    void wants(const Kind& k, int x, int y) {
        FakeBuilding& f = fake(x, y);
        switch (k.kind) {
        case RnIdBldServ: f.service_need[0] = 800; break;
        case RnIdBldMrkt: f.market_need = 800; break;
        default: f.material_need = 800; break;
        }
    }
    size_t deliveries(const Kind& k, int x, int y) {
        FakeBuilding& f = fake(x, y);
        switch (k.kind) {
        case RnIdBldServ: return f.served.size();
        case RnIdBldMrkt: return f.market_got.size();
        default: return f.material_got.size();
        }
    }
};

TEST_F(WorkplacesTest, EachKindSendsAWalkerThatComesHome) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        TearDown();
        SetUp();
        draw({"#########",
              "........D"});
        wants(k, 8, 1);
        RnGenericBuilding& b = workplace(k, 0, 1, 1.0f);
        // The first departure is due respawn hours after the first update.
        runTo(123);
        EXPECT_EQ(liveWalkers(k), 0);
        runTo(124);
        ASSERT_EQ(liveWalkers(k), 1);
        EXPECT_EQ(walkersOut(b), 1);
        if (k.kind == RnIdBldServ) {
            EXPECT_TRUE(fake(8, 1).pending[0]);
        }
        // Eight tiles there and back at an hour each, then an hour to be
        // taken back: the building counts it home at once.
        uint32_t collected = 0;
        uint32_t flags_then = 0xFFFF;
        for (uint32_t t = 125; t <= 500 && collected == 0; ++t) {
            runTo(t);
            if (walkersOut(b) == 0) {
                collected = t;
                flags_then = b.problemFlags();
            }
        }
        ASSERT_NE(collected, 0u);
        EXPECT_EQ(liveWalkers(k), 0);
        EXPECT_EQ(flags_then, 0u);  // it went and came back
        EXPECT_EQ(deliveries(k, 8, 1), 1u);
        if (k.kind == RnIdBldServ) {
            EXPECT_FALSE(fake(8, 1).pending[0]);
        }
        expectTileListsConsistent();
        // Later departures find the target served: nothing to go for.
        runTo(collected + 100);
        EXPECT_EQ(b.problemFlags(), k.no_target);
        EXPECT_EQ(liveWalkers(k), 0);
    }
}

TEST_F(WorkplacesTest, ADepartureWithoutTargetOrRoadIsTriedAgainLater) {
    for (const Kind& k : kKinds) {
        for (bool road : {false, true}) {
            SCOPED_TRACE(std::string(k.name) + (road ? " no target" : " no road"));
            TearDown();
            SetUp();
            draw({road ? "#####" : ".....",
                  "....."});
            RnGenericBuilding& b = workplace(k, 0, 1, 1.0f);
            const int before = posted(3003, b.pos_on_map_);
            runTo(124);
            EXPECT_EQ(b.problemFlags(), road ? k.no_target : k.no_road);
            EXPECT_EQ(posted(3003, b.pos_on_map_) - before, road ? 0 : 1);
            EXPECT_EQ(liveWalkers(k), 0);
            // The next try comes respawn hours (2) later.
            EXPECT_EQ(pendingAt(b), 124u + 24u);
        }
    }
}

TEST_F(WorkplacesTest, ADepartureWithRespawnOfZeroHoursComesAUnitLater) {
    // A building that finds nothing must not be woken again at the same
    // time (the tick would never end).
    servType().hours_respawn_ = 0;
    draw({"###", "..."});
    RnServ& s = static_cast<RnServ&>(workplace(kKinds[0], 0, 1, 1.0f));
    runTo(101);
    EXPECT_EQ(s.problemFlags(), 0x100u);
    EXPECT_EQ(pendingAt(s), 102u);
}

TEST_F(WorkplacesTest, NoWalkerLeavesWithEfficiencyOfOnePercentOrLess) {
    struct Case {
        float efficiency;
        float later;  // the efficiency once the first departure is scheduled
        bool leaves;
    } cases[] = {
        {0.0f, 0.0f, false},
        {0.01f, 0.01f, false},
        {0.0101f, 0.0101f, true},
        {1.0f, 0.01f, false},  // the workers left before the walker did
    };
    for (const Kind& k : kKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(k.name) + " " + std::to_string(c.efficiency));
            TearDown();
            SetUp();
            draw({"#########",
                  "........D"});
            wants(k, 8, 1);
            RnGenericBuilding& b = workplace(k, 0, 1, c.efficiency);
            runTo(110);
            setEfficiency(b, c.later);
            // A walker of a building this short of workers walks at a
            // fifth of the speed: 40 hours to the target.
            runTo(700);
            EXPECT_EQ(deliveries(k, 8, 1), c.leaves ? 1u : 0u);
            EXPECT_EQ(liveWalkers(k), c.leaves ? 1 : 0);
        }
    }
}

TEST_F(WorkplacesTest, AssignedWorkersStartTheFirstDeparture) {
    // With workers placed in range the worker re-check gives the building
    // its efficiency, and then its walkers leave.
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        TearDown();
        SetUp();
        draw({"#########",
              "........D",
              ".........",
              ".........",
              "........."});
        wants(k, 8, 1);
        RnGenericBuilding& b = workplace(k, 0, 1, 0.0f);
        runTo(130);
        EXPECT_EQ(liveWalkers(k), 0);
        // A house away from the roads offers the two workers needed.
        RnHous& h = placeHouse(4, 4, 0);
        h.offerWorkers(grn_game.housType(0), 2);
        EXPECT_EQ(grn_game.peoplType(0).workforce_.pplAssigned(b.oid_), 2);
        runTo(200);
        EXPECT_FLOAT_EQ(b.efficiency(), 1.0f);
        EXPECT_TRUE(b.hasWorkers());
        EXPECT_EQ(liveWalkers(k) + static_cast<int>(deliveries(k, 8, 1)), 1);
    }
}

TEST_F(WorkplacesTest, MaterialRunningOutLeavesARuin) {
    // Two units of wood lasting three hours each: gone six hours after the
    // first update, while the first walker is on its way.
    for (const Kind& k : {kKinds[0], kKinds[1]}) {
        SCOPED_TRACE(k.name);
        TearDown();
        SetUp();
        servType().build_material_ = {{kWood, 2, 3}};
        mrktType().build_material_ = {{kWood, 2, 3}};
        draw({"#########",
              "........D"});
        wants(k, 8, 1);
        RnStor& depot = placeStor(4, 1);
        RnGenericBuilding& b = workplace(k, 0, 1, 1.0f);
        if (k.kind == RnIdBldMrkt) placeHouse(2, 1, 1);  // a house at level 1 wants bread
        const int before = posted(3002, b.pos_on_map_);
        runTo(171);
        EXPECT_FALSE(b.isDestroyed());
        EXPECT_EQ(liveWalkers(k), 1);
        EXPECT_LT(demand(depot, kBread), 0);  // linked at 124, ordering bread
        EXPECT_TRUE(b.refersTo(depot.oid_));
        runTo(172);
        EXPECT_TRUE(b.isDestroyed());
        EXPECT_EQ(posted(3002, b.pos_on_map_) - before, 1);
        EXPECT_EQ(liveWalkers(k), 0);
        EXPECT_EQ(walkersOut(b), 0);
        if (k.kind == RnIdBldServ) {
            EXPECT_FALSE(fake(8, 1).pending[0]);
        }
        EXPECT_EQ(demand(depot, kBread), 0);
        EXPECT_FALSE(b.refersTo(depot.oid_));
        EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(b.oid_), 0);
        EXPECT_EQ(b.efficiency(), 0.0f);
        EXPECT_FALSE(pending(b));
        EXPECT_EQ(b.update(DaxGameTime(200)), kRnNoWakeTime);
        expectTileListsConsistent();
    }
}

TEST_F(WorkplacesTest, AGameSavedWithMoreWalkersOutThanAllowedGoesOn) {
    // The type allowed three walkers when the game was saved, one now: the
    // walkers coming home are taken back and the count goes down.
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        TearDown();
        SetUp();
        draw({"#####", "....."});
        RnGenericBuilding& b = workplace(k, 0, 1, 1.0f);
        for (int i = 0; i < 3; ++i) {
            switch (k.kind) {
            case RnIdBldServ:
                send(servWalkers(), RnWalkerServ(b.oid_, DaxMapPositionI(0, 0), 100, false, 0)).state_ |=
                    W::kFinished;
                break;
            case RnIdBldMrkt:
                send(mrktWalkers(), RnWalkerMrkt(b.oid_, DaxMapPositionI(0, 0), 100, false, 0)).state_ |=
                    W::kFinished;
                break;
            default:
                send(bldrWalkers(), RnWalkerBldr(b.oid_, DaxMapPositionI(0, 0), 100, false, 0)).state_ |=
                    W::kFinished;
                break;
            }
        }
        switch (k.kind) {
        case RnIdBldServ: rnSetWalkersOut(static_cast<RnServ&>(b), 3); break;
        case RnIdBldMrkt: rnSetWalkersOut(static_cast<RnMrkt&>(b), 3); break;
        default: rnSetWalkersOut(static_cast<RnBldr&>(b), 3); break;
        }
        clearConsole();
        b.walkerReturned(DaxGameTime(101), RnObjectID(static_cast<int16_t>(k.kind == RnIdBldServ   ? RnIdWlkServ
                                                                           : k.kind == RnIdBldMrkt ? RnIdWlkMrkt
                                                                                                   : RnIdWlkBldr),
                                                       0, 0));
        grn_game.updateQueue().schedule(DaxGameTime(101), b.oid_);
        runTo(101);
        EXPECT_EQ(walkersOut(b), 0);
        EXPECT_EQ(liveWalkers(k), 0);
        EXPECT_TRUE(loggedContaining("with 3 walkers out of 1"));
        expectTileListsConsistent();
    }
}

}  // namespace
