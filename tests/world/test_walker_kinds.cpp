// The trips of the walker kinds: serving on the way, new targets, turning
// home, finishing and walkerReturned, deliveries, and the walker types'
// drop, recall and removal operations.
#include <vector>

#include "dax2/dax_random.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

using W = RnWalkerPersData;

class WalkerKindTest : public WalkerTest {
protected:
    // The service of the fake service buildings: their type index.
    int16_t svc() { return fakeType(RnIdBldServ).type_idx_; }
    void need(int x, int y, uint16_t value) { fake(x, y).service_need[svc()] = value; }

    // Sends a service walker as a service building does: its own flood
    // chooses the target, which is marked.
    RnWalkerServ& sendServ(int hx, int hy, DaxGameTime t) {
        const FakeBuilding& home = fake(hx, hy);
        RnFloodTarget target;
        RnFloodWalkerServ flood(target, t, svc(), servWalkers().tiles_without_houses_);
        EXPECT_TRUE(flood.floodFromStarts(target, home.oid_, roadsAround(home), servWalkers().distance_to_return_));
        grn_game.buildingByOid(target.target_oid_).setServicePending(svc(), true);
        return send(servWalkers(), RnWalkerServ(home.oid_, target, t, false));
    }
    // Sends a production walker as a production building does: the target
    // of its flood gets the lot promised.
    RnWalkerProd& sendProd(int hx, int hy, DaxGameTime t) {
        const FakeBuilding& home = fake(hx, hy);
        RnFloodTargetProd target;
        const RnGoodsSet goods = {kGoods};
        RnFloodWalkerProd flood(target, t, goods, true);
        EXPECT_TRUE(flood.floodFromStarts(target, home.oid_, roadsAround(home), 24));
        grn_game.buildingByOid(target.target_oid_).goodsPromised(kGoods, 1);
        return send(prodWalkers(), RnWalkerProd(home.oid_, target, t, false), kGoods);
    }
    // Runs single updates until the walker has arrived at its n-th tile
    // and decided there.
    template <class Walker>
    void walkUntilArrival(Walker& w, int n) {
        for (int i = 0; i < 100 && !(w.stepsWalked() == n - 1 && w.phase() == W::kSecondHalf); ++i)
            w.update(w.wake_time_);
        ASSERT_EQ(w.phase(), W::kSecondHalf);
        w.update(w.wake_time_);
        ASSERT_EQ(w.stepsWalked(), n);
    }
};

TEST_F(WalkerKindTest, BuilderServesEveryNeighbourInNeedBeforeItsFirstStep) {
    draw({".D.",
          "###",
          "BD."});
    fake(1, 0).material_need = 300;
    fake(1, 2).material_need = 200;
    const RnObjectID home = oidAt(0, 2);
    RnWalkerBldr& w = send(bldrWalkers(), RnWalkerBldr(home, DaxMapPositionI(1, 1), DaxGameTime(50), false, 300));
    w.target_building_oid_ = oidAt(1, 0);
    w.update(DaxGameTime(50));
    ASSERT_EQ(fake(1, 0).material_got.size(), 1u);
    EXPECT_EQ(fake(1, 0).material_got[0], std::make_pair(50u, home));
    EXPECT_EQ(fake(1, 2).material_got.size(), 1u);
    // Nothing else to do and not a step taken: home, with outcome bit 22.
    EXPECT_TRUE(w.isFinished());
    EXPECT_NE(w.state_ & W::kDelivered, 0u);
    EXPECT_NE(w.state_ & W::kOutcomeLow, 0u);
    EXPECT_EQ(w.state_ & W::kOutcomeHigh, 0u);
    ASSERT_EQ(fake(0, 2).returned.size(), 1u);
    EXPECT_EQ(fake(0, 2).returned[0], std::make_pair(62u, w.oid_));
    DaxGameTime woken;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(home, woken));
    EXPECT_EQ(woken.value(), 62u);
}

TEST_F(WalkerKindTest, ServiceWalkerServesOnItsWayAndWalksHome) {
    draw({"S#######",
          "..H...H."});
    need(2, 1, 100);
    need(6, 1, 500);
    RnWalkerServ& w = sendServ(0, 0, DaxGameTime(100));
    EXPECT_EQ(w.target_building_oid_, oidAt(6, 1));
    EXPECT_EQ(w.amount_, 500);
    EXPECT_EQ(w.cachedSteps(), 6);  // five along the road, one into the house
    EXPECT_TRUE(fake(6, 1).pending[svc()]);
    const RnObjectID id = w.oid_;
    runWalker(w);
    // Both houses were served on the way, the target at the end of the
    // road; the pending mark is gone with the target.
    EXPECT_EQ(fake(2, 1).served.size(), 1u);
    EXPECT_EQ(fake(6, 1).served.size(), 1u);
    EXPECT_FALSE(fake(6, 1).pending[svc()]);
    EXPECT_TRUE(w.target_building_oid_.isNull());
    // Home by the path finder: five steps out, five back.
    EXPECT_EQ(w.stepsWalked(), 10);
    EXPECT_EQ(w.tilePos(), DaxMapPositionI(1, 0));
    EXPECT_EQ(w.state_ & (W::kOutcomeLow | W::kOutcomeHigh), 0u);
    EXPECT_NE(w.state_ & W::kDelivered, 0u);
    ASSERT_EQ(fake(0, 0).returned.size(), 1u);
    EXPECT_EQ(fake(0, 0).returned[0].second, id);
}

TEST_F(WalkerKindTest, TargetThatNoLongerWantsTheWalkerIsReplaced) {
    draw({"S#######",
          "....H.H."});
    need(6, 1, 500);
    RnWalkerServ& w = sendServ(0, 0, DaxGameTime(100));
    walkUntilArrival(w, 1);
    // Someone else served the target; another house needs the service now.
    need(6, 1, 100);
    need(4, 1, 400);
    walkUntilArrival(w, 2);
    EXPECT_EQ(w.target_building_oid_, oidAt(4, 1));
    EXPECT_EQ(w.amount_, 400);
    EXPECT_FALSE(fake(6, 1).pending[svc()]);
    EXPECT_TRUE(fake(4, 1).pending[svc()]);
}

TEST_F(WalkerKindTest, DemolishedTargetIsDroppedAndAnotherOneFound) {
    draw({"S########",
          "......HH."});
    need(6, 1, 200);
    need(7, 1, 900);
    RnWalkerServ& w = sendServ(0, 0, DaxGameTime(100));
    ASSERT_EQ(w.target_building_oid_, oidAt(7, 1));
    walkUntilArrival(w, 2);
    FakeBuilding& old_target = fake(7, 1);
    removeAt(7, 1);
    // Told by the type's dropTarget while it still stood; steps dropped.
    EXPECT_FALSE(old_target.pending[svc()]);
    EXPECT_TRUE(w.target_building_oid_.isNull());
    EXPECT_EQ(w.cachedSteps(), 0);
    // Halfway, then the next tile: a new flood there.
    w.update(w.wake_time_);
    w.update(w.wake_time_);
    EXPECT_EQ(w.target_building_oid_, oidAt(6, 1));
    EXPECT_TRUE(fake(6, 1).pending[svc()]);
    runWalker(w);
    EXPECT_EQ(fake(6, 1).served.size(), 1u);
    expectTileListsConsistent();
}

TEST_F(WalkerKindTest, TurnsHomeAfterDistanceToReturnAndGivesUpAfterTwiceAsMany) {
    // The target stays in need far down the road; home lies beyond the path
    // finder's reach once the walker has turned.
    draw({"S####################",
          "...................H."});
    need(19, 1, 100);
    servWalkers().distance_to_return_ = 30;
    RnWalkerServ& w = sendServ(0, 0, DaxGameTime(100));
    servWalkers().distance_to_return_ = 5;
    int turned_at = -1;
    while (!w.isFinished()) {
        w.update(w.wake_time_);
        if (turned_at < 0 && w.isReturning()) turned_at = w.stepsWalked();
    }
    EXPECT_EQ(turned_at, 6);
    EXPECT_FALSE(fake(19, 1).pending[svc()]);
    // Turned, it follows the rest of its cached steps (they lead on from
    // where it stands); the last move starts at 11 steps walked
    // (5 >= 11 / 2).
    EXPECT_EQ(w.stepsWalked(), 12);
    EXPECT_EQ(w.tilePos(), DaxMapPositionI(13, 0));
    EXPECT_EQ(fake(0, 0).returned.size(), 1u);
}

TEST_F(WalkerKindTest, LongDistanceToReturnStillEndsWithinTheStepCount) {
    // A walker circles a block around a house that never stops needing the
    // service; its home's road is not connected. distance_to_return 300
    // would never be reached by the 8-bit count: the walker turns at 127 and
    // gives up after 254 steps.
    draw({"S#......",
          "........",
          "..#####.",
          "..#H..#.",
          "..#...#.",
          "..#####."});
    servWalkers().distance_to_return_ = 300;
    need(3, 3, 500);
    fake(3, 3).stays_in_need = true;
    dax_random.seed(7);
    RnWalkerServ w0(oidAt(0, 0), DaxMapPositionI(2, 2), DaxGameTime(10), false, 500);
    w0.target_building_oid_ = oidAt(3, 3);
    RnWalkerServ& w = send(servWalkers(), w0);
    int turned_at = -1;
    int updates = 0;
    while (!w.isFinished() && updates < 2000) {
        w.update(w.wake_time_);
        ++updates;
        if (turned_at < 0 && w.isReturning()) turned_at = w.stepsWalked();
    }
    ASSERT_TRUE(w.isFinished());
    // It turns at 126 when it has no step of its own there, else on its
    // arrival at 127.
    EXPECT_GE(turned_at, kRnMaxDistanceToReturn);
    EXPECT_LE(turned_at, kRnMaxDistanceToReturn + 1);
    EXPECT_EQ(w.stepsWalked(), 2 * kRnMaxDistanceToReturn + 2);
    EXPECT_GT(fake(3, 3).served.size(), 10u);
}

TEST_F(WalkerKindTest, AFirstStepIntoTheChosenBuildingIsNoStep) {
    // The house beside the walker still needs the service after being
    // served: its own flood picks it, and the path's first step leads into
    // it. That step is refused like a cached one; the walker walks on.
    draw({"S###",
          ".H.."});
    need(1, 1, 500);
    fake(1, 1).stays_in_need = true;
    dax_random.seed(3);
    RnWalkerServ& w = send(servWalkers(), RnWalkerServ(oidAt(0, 0), DaxMapPositionI(1, 0), DaxGameTime(10), false, 0));
    w.update(DaxGameTime(10));
    EXPECT_EQ(w.phase(), W::kFirstHalf);
    EXPECT_EQ(w.to_.y_, 0.5f);  // along the road
    EXPECT_TRUE(w.target_building_oid_.isNull());
    EXPECT_FALSE(fake(1, 1).pending[svc()]);
}

TEST_F(WalkerKindTest, MarketWalkersLeaveNoServiceMark) {
    draw({"M####",
          "...H."});
    fake(3, 1).market_need = 40;
    RnWalkerMrkt& w = send(mrktWalkers(), RnWalkerMrkt(oidAt(0, 0), DaxMapPositionI(1, 0), DaxGameTime(10), false, 0));
    w.update(DaxGameTime(10));
    EXPECT_EQ(w.target_building_oid_, oidAt(3, 1));
    EXPECT_TRUE(fake(3, 1).pending.empty());
    runWalker(w);
    ASSERT_EQ(fake(3, 1).market_got.size(), 1u);
    EXPECT_EQ(fake(3, 1).market_got[0].second, oidAt(0, 0));
    EXPECT_TRUE(fake(3, 1).pending.empty());
}

TEST_F(WalkerKindTest, ProductionWalkerDeliversOneLotAtItsTarget) {
    draw({"P####",
          "....T"});
    fake(4, 1).goods_need = {{kGoods, 300}};
    RnWalkerProd& w = sendProd(0, 0, DaxGameTime(100));
    // The flood's path ends with the step into the storage; that step is
    // refused and the path finder finds the walker beside its target.
    EXPECT_EQ(w.cachedSteps(), 4);
    runWalker(w);
    EXPECT_EQ(fake(4, 1).goods_got, (std::vector<std::pair<int16_t, int>>{{kGoods, 1}}));
    EXPECT_EQ(fake(4, 1).promised[kGoods], 0);
    EXPECT_EQ(fake(4, 1).arrived.size(), 1u);
    EXPECT_EQ(w.state_ & (W::kFinished | W::kDelivered), W::kFinished | W::kDelivered);
    EXPECT_TRUE(w.target_building_oid_.isNull());
    EXPECT_EQ(w.stepsWalked(), 3);
    EXPECT_EQ(fake(0, 0).returned.size(), 1u);
}

TEST_F(WalkerKindTest, CutRoadCancelsThePromise) {
    draw({"P#######",
          ".......T"});
    fake(7, 1).goods_need = {{kGoods, 300}};
    RnWalkerProd& w = sendProd(0, 0, DaxGameTime(100));
    walkUntilArrival(w, 2);
    removeAt(5, 0);
    runWalker(w);
    EXPECT_TRUE(fake(7, 1).goods_got.empty());
    EXPECT_EQ(fake(7, 1).promised[kGoods], 0);
    EXPECT_NE(w.state_ & W::kFinished, 0u);
    EXPECT_EQ(w.state_ & W::kDelivered, 0u);
    EXPECT_EQ(w.tilePos(), DaxMapPositionI(4, 0));
    EXPECT_EQ(fake(0, 0).returned.size(), 1u);
}

TEST_F(WalkerKindTest, StorageWalkerCarriesAFullLoadAndKeepsItsRange) {
    draw({"T###",
          "...T"});
    grn_game.storage_walker_capacity_ = 6;
    RnStorTransportPlan plan;
    plan.start_ = DaxMapPositionI(1, 0);
    plan.target_ = oidAt(3, 1);
    plan.goods_type_ = kGoods;
    plan.len_ = 2;
    plan.steps_[0] = DirXPlus;
    plan.steps_[1] = DirXPlus;
    fake(3, 1).promised[kGoods] = 6;
    RnWalkerStor& w = send(storWalkers(), RnWalkerStor(oidAt(0, 0), plan, DaxGameTime(10), false), kGoods);
    EXPECT_EQ(w.cachedSteps(), 2);
    runWalker(w);
    EXPECT_EQ(fake(3, 1).goods_got, (std::vector<std::pair<int16_t, int>>{{kGoods, 6}}));
    EXPECT_EQ(fake(3, 1).promised[kGoods], 0);

    // A range of 256 does not outrun the 8-bit count: at 255 steps walked
    // no move starts; the load is cancelled where the walker stands.
    grn_game.storage_walker_range_ = 256;
    fake(3, 1).promised[kGoods] = 6;
    RnWalkerStor& far = send(storWalkers(), RnWalkerStor(oidAt(0, 0), plan, DaxGameTime(10), false), kGoods);
    far.state_ = (far.state_ & ~W::kStepsWalkedMask) | 254u;
    far.update(DaxGameTime(10));          // the move starts
    far.update(far.wake_time_);           // halfway
    far.update(far.wake_time_);           // arrival: 255, no further move
    EXPECT_TRUE(far.isFinished());
    EXPECT_EQ(far.stepsWalked(), 255);
    EXPECT_EQ(fake(3, 1).promised[kGoods], 0);
    EXPECT_EQ(fake(3, 1).goods_got.size(), 1u);
}

TEST_F(WalkerKindTest, RecallFinishesTheWalkersHeadingThere) {
    draw({"P#####T",
          ".....#T"});
    setNow(500);
    fake(6, 0).goods_need = {{kGoods, 300}};
    RnWalkerProd& a = sendProd(0, 0, DaxGameTime(500));
    RnWalkerProd& b = sendProd(0, 0, DaxGameTime(500));
    fake(6, 0).goods_need.clear();
    fake(6, 1).goods_need = {{kGoods, 300}};
    RnWalkerProd& other = sendProd(0, 0, DaxGameTime(500));
    ASSERT_EQ(a.target_building_oid_, oidAt(6, 0));
    ASSERT_EQ(other.target_building_oid_, oidAt(6, 1));
    a.update(DaxGameTime(500));
    EXPECT_EQ(prodWalkers().recallWalkersTo(oidAt(6, 0)), 2);
    EXPECT_TRUE(a.isFinished());
    EXPECT_TRUE(b.isFinished());
    EXPECT_FALSE(other.isFinished());
    EXPECT_EQ(fake(6, 0).promised[kGoods], 0);
    EXPECT_EQ(fake(6, 1).promised[kGoods], 1);
    // The home hears of both an hour from now and is woken then.
    const FakeBuilding& home = fake(0, 0);
    ASSERT_EQ(home.returned.size(), 2u);
    EXPECT_EQ(home.returned[0].first, 512u);
    DaxGameTime woken;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(home.oid_, woken));
    EXPECT_EQ(woken.value(), 512u);
    // Their next update is their last.
    EXPECT_EQ(a.update(a.wake_time_), kRnNoWakeTime);
}

TEST_F(WalkerKindTest, RemovalTakesTheWalkersOutOfTheWorld) {
    draw({"P####T",
          "S####H"});
    fake(5, 0).goods_need = {{kGoods, 300}};
    need(5, 1, 500);
    RnWalkerProd& moving = sendProd(0, 0, DaxGameTime(100));
    moving.update(DaxGameTime(100));  // between two tiles
    const RnObjectID prod_id = moving.oid_;
    const RnObjectID standing = sendProd(0, 0, DaxGameTime(100)).oid_;
    const RnObjectID serv_id = sendServ(0, 1, DaxGameTime(100)).oid_;
    EXPECT_EQ(prodWalkers().removeWalkersOf(oidAt(0, 0)), 2);
    expectGone(prod_id);
    expectGone(standing);
    EXPECT_EQ(fake(5, 0).promised[kGoods], 0);
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    // A building that goes away takes its walkers with it.
    removeAt(0, 1);
    expectGone(serv_id);
    EXPECT_FALSE(fake(5, 1).pending[svc()]);
    expectTileListsConsistent();
}

TEST_F(WalkerKindTest, WalkerWhoseHomeVanishedStopsWithoutTouchingIt) {
    draw({"S####",
          "....H"});
    need(4, 1, 500);
    RnWalkerServ& w = sendServ(0, 0, DaxGameTime(100));
    // The home's slot is freed behind the walkers' back.
    FakeBuildingType& homes = fakeType(RnIdBldServ);
    FakeBuilding& home = fake(0, 0);
    home.is_active_ = false;
    homes.instances_.remove(home.oid_.bld_idx_);
    grn_map.resetArea(0, 0, 1, 1);
    EXPECT_EQ(w.update(DaxGameTime(100)), kRnNoWakeTime);
    EXPECT_TRUE(w.isFinished());
    EXPECT_TRUE(home.returned.empty());
    EXPECT_FALSE(fake(4, 1).pending[svc()]);
}

TEST_F(WalkerKindTest, CarrierWhoseTargetVanishedFinishesWithoutTouchingIt) {
    draw({"P####",
          "....T"});
    fake(4, 1).goods_need = {{kGoods, 300}};
    RnWalkerProd& w = sendProd(0, 0, DaxGameTime(100));
    FakeBuildingType& stores = fakeType(RnIdBldStor);
    FakeBuilding& target = fake(4, 1);
    target.is_active_ = false;
    stores.instances_.remove(target.oid_.bld_idx_);
    grn_map.resetArea(4, 1, 1, 1);
    EXPECT_EQ(w.update(DaxGameTime(100)).value(), 112u);
    EXPECT_TRUE(w.isFinished());
    EXPECT_TRUE(w.target_building_oid_.isNull());
    EXPECT_EQ(target.promised[kGoods], 1);  // the freed slot is not told
    EXPECT_EQ(fake(0, 0).returned.size(), 1u);
}

}  // namespace
