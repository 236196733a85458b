// A service walker's round through the per-tick update of the game: a home
// sends it to a house, it serves the house, comes back and is taken out of
// the world; the house demolished, the road cut or the home removed on the
// way leave no id behind.
#include <string>
#include <vector>

#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

using W = RnWalkerPersData;

class WalkerScenarioTest : public WalkerTest {
protected:
    void SetUp() override {
        WalkerTest::SetUp();
        sent_ = 0;
        outcomes_.clear();
        walker_ = RnObjectID();
        draw({"S#######",
              ".......H"});
        home_ = oidAt(0, 0);
        house_ = oidAt(7, 1);
        fake(7, 1).service_need[svc()] = 600;
        // The home sends one walker at its first update and takes back the
        // walkers that came home at each later one.
        fake(0, 0).on_update = [this](FakeBuilding& home, DaxGameTime now) {
            rnCollectFinishedWalkers(servWalkers().instances_, home.oid_,
                                     [this](const RnWalkerServ& w) { outcomes_.push_back(w.state_); });
            if (sent_ == 0) send(home, now);
            return kRnNoWakeTime;
        };
        grn_game.updateQueue().schedule(DaxGameTime(1), home_);
    }

    int16_t svc() { return fakeType(RnIdBldServ).type_idx_; }

    void send(FakeBuilding& home, DaxGameTime now) {
        RnFloodTarget target;
        RnFloodWalkerServ flood(target, now, svc(), 0);
        ASSERT_TRUE(flood.floodFromStarts(target, home.oid_, roadsAround(home), servWalkers().distance_to_return_));
        grn_game.buildingByOid(target.target_oid_).setServicePending(svc(), true);
        walker_ = rnSendWalker(servWalkers().instances_, 0, RnWalkerServ(home.oid_, target, now, false));
        ++sent_;
    }

    // Runs the game tick by tick up to game time end; at game time at, does
    // what (once).
    void play(uint32_t end, uint32_t at = 0, const std::function<void()>& what = nullptr) {
        for (uint32_t t = 1; t <= end; ++t) {
            setNow(t);
            grn_game.update();
            if (t == at && what) what();
            expectTileListsConsistent();
            if (HasFailure()) return;
        }
    }
    // Where the walker stands, none when it is gone.
    DaxMapPositionI walkerTile() {
        if (!grn_game.isObjectAlive(walker_)) return DaxMapPositionI::none();
        return grn_game.walkerByOid(walker_).tilePos();
    }

    RnObjectID home_;
    RnObjectID house_;
    RnObjectID walker_;
    int sent_ = 0;
    std::vector<uint32_t> outcomes_;
};

TEST_F(WalkerScenarioTest, AWalkerServesTheHouseAndComesHome) {
    play(400);
    EXPECT_EQ(sent_, 1);
    ASSERT_EQ(fake(7, 1).served.size(), 1u);
    EXPECT_EQ(fake(7, 1).served[0].second, svc());
    EXPECT_FALSE(fake(7, 1).pending[svc()]);
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_NE(outcomes_[0] & W::kDelivered, 0u);
    EXPECT_EQ(outcomes_[0] & (W::kOutcomeLow | W::kOutcomeHigh), 0u);
    expectGone(walker_);
    EXPECT_EQ(servWalkers().instanceCount(), 0);
}

TEST_F(WalkerScenarioTest, NothingIsLeftWhenTheWayChanges) {
    // The walker leaves at 1 and takes 12 units per tile: at 40 it is on
    // its way from (4, 0) to (5, 0).
    struct Case {
        const char* what;
        DaxMapPositionI removed;
        bool served;
        bool taken_home;  // the home took the walker back (else it went with its home)
    } cases[] = {
        {"house demolished", {7, 1}, false, true},
        {"road cut ahead", {6, 0}, false, true},
        {"road cut behind", {2, 0}, true, true},
        {"home removed", {0, 0}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        play(600, 40, [&] {
            EXPECT_EQ(walkerTile(), DaxMapPositionI(5, 0));
            removeAt(c.removed.x, c.removed.y);
        });
        expectGone(walker_);
        EXPECT_EQ(servWalkers().instanceCount(), 0);
        if (grn_game.isObjectAlive(house_)) {
            EXPECT_EQ(fake(7, 1).served.size(), c.served ? 1u : 0u);
            EXPECT_FALSE(fake(7, 1).pending[svc()]);
        }
        EXPECT_EQ(outcomes_.size(), c.taken_home ? 1u : 0u);
        if (HasFailure()) return;
    }
}

}  // namespace
