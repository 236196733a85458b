// Service buildings: the goods one walker uses are taken when its departure
// is scheduled and given back when the departure falls through, the store's
// need and fill, the share of the near storage's demand through every
// change, the checks after loading, the served-houses count and the dialog's
// request for more workers.
#include <string>

#include "test_workplace_fixture.h"

using namespace worldtest;

namespace {

class ServiceTest : public WorkplaceTest {
protected:
    // A service building on a road, no workers, nothing in store.
    RnServ& serv(int x = 0, int y = 1) {
        RnServ& s = placeServ(x, y);
        return s;
    }
};

TEST_F(ServiceTest, ScheduleSpawnTakesTheGoodsOfOneWalker) {
    struct Case {
        const char* what;
        float efficiency;
        uint16_t stored;
        uint32_t flags;  // set before
        bool ok;
    } cases[] = {
        {"goods and workers", 1.0f, 3, 0, true},
        {"barely workers", 0.02f, 1, 0, true},
        {"too little bread", 1.0f, 0, 0, false},
        {"workers at one percent", 0.01f, 3, 0, false},
        {"a departure is scheduled", 1.0f, 3, RnServPersData::kSpwnPending, false},
        {"a ruin", 1.0f, 3, RnServPersData::kDestroyed, false},
        {"its one walker is out", 1.0f, 3, 1u << RnServPersData::kWalkerCountShift, false},
    };
    makeMap(20);
    int x = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RnServ& s = serv(x, 1);
        x += 2;
        s.efficiency_ = c.efficiency;
        s.flags_ = c.flags;
        s.goods_stored_[kBread].amt_.stored_ = c.stored;
        const uint32_t consumed = grn_game.goodsType(kBread).consumed_cur_;
        EXPECT_EQ(s.scheduleSpawn(DaxGameTime(200)), c.ok);
        EXPECT_EQ(s.goods_stored_[kBread].amt_.stored_, c.ok ? c.stored - 1 : c.stored);
        // One lot of bread is five loaves.
        EXPECT_EQ(grn_game.goodsType(kBread).consumed_cur_ - consumed, c.ok ? 5u : 0u);
        if (c.ok) {
            EXPECT_NE(s.flags_ & RnServPersData::kSpwnPending, 0u);
            EXPECT_EQ(s.t_spwn_.value(), 224u);  // respawn 2 hours
        }
    }
    // A type without needs takes nothing and needs nothing.
    servType().needs_.clear();
    RnServ& free = serv(x, 1);
    free.efficiency_ = 1.0f;
    EXPECT_TRUE(free.goods_stored_.empty());
    EXPECT_TRUE(free.scheduleSpawn(DaxGameTime(200)));
}

TEST_F(ServiceTest, WorkersLeavingBeforeADepartureLoseNoGoods) {
    // No house is near: a departure with workers finds no target and is put
    // off by the respawn hours (2), keeping its goods.
    struct Case {
        const char* what;
        bool scheduled;       // by scheduleSpawn, taking the goods; else re-armed after a walker left, without
        bool put_off_first;   // the first departure comes with workers, the workers leave before the next
        uint16_t stored_end;  // of 3 lots
    } cases[] = {
        {"scheduled with the goods", true, false, 3},
        {"put off once, still holding them", true, true, 3},
        {"re-armed without goods", false, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        draw({"##########", ".........."});
        RnStor& near = placeStor(5, 1);
        RnServ& s = serv(0, 1);
        runTo(124);  // the first near-storage check links the storage
        ASSERT_EQ(s.goods_stored_[kBread].near_storage_, near.oid_);
        s.goodsPromised(kBread, 3);
        s.goodsDelivered(DaxGameTime(124), kBread, 3);
        const uint32_t consumed = grn_game.goodsType(kBread).consumed_cur_;
        s.efficiency_ = 1.0f;
        if (c.scheduled) {
            ASSERT_TRUE(s.scheduleSpawn(DaxGameTime(124)));  // leaves at 148
        } else {
            s.goods_stored_[kBread].amt_.stored_ = 2;
            rnPassDemand(near.oid_, kBread, -1);
            s.flags_ |= RnServPersData::kSpwnPending;
            s.t_spwn_ = DaxGameTime(148);
        }
        grn_game.updateQueue().schedule(DaxGameTime(148), s.oid_);
        EXPECT_EQ(s.goods_stored_[kBread].amt_.stored_, 2);
        if (c.put_off_first) {
            runTo(148);
            EXPECT_EQ(s.problemFlags(), 0x100u);
            EXPECT_EQ(s.t_spwn_.value(), 172u);
            EXPECT_EQ(s.goods_stored_[kBread].amt_.stored_, 2);
        }
        // The workers go (none are assigned): the departure falls through.
        s.workersChanged(DaxGameTime(rnNow().value() + 1));
        grn_game.updateQueue().schedule(DaxGameTime(rnNow().value() + 1), s.oid_);
        runTo(200);
        EXPECT_EQ(s.efficiency(), 0.0f);
        EXPECT_EQ(s.flags_ & (RnServPersData::kSpwnPending | RnServPersData::kGoodsTaken), 0u);
        EXPECT_EQ(s.walkersOut(), 0);
        EXPECT_EQ(s.goods_stored_[kBread].amt_.stored_, c.stored_end);
        EXPECT_EQ(demand(near, kBread), -s.freeCapacity(s.goods_stored_[kBread]));
        // Goods given back were not used.
        EXPECT_EQ(grn_game.goodsType(kBread).consumed_cur_, consumed);
    }
}

TEST_F(ServiceTest, NeedFillAndInputsOfTheStore) {
    struct Case {
        uint16_t stored, promised;
        uint16_t need, need_with_promised;
        int level;
        bool inputs;
    } cases[] = {
        {0, 0, 1000, 1000, 0, false},
        {2, 0, 500, 500, 500, true},
        {0, 2, 1000, 500, 500, true},
        {0, 1, 1000, 750, 250, true},  // one lot on its way is enough for a walker
        {4, 0, 0, 0, 1000, true},
        {3, 2, 250, 0, 1000, true},
    };
    makeMap(10);
    RnServ& s = serv();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stored) + "+" + std::to_string(c.promised));
        s.goods_stored_[kBread].amt_ = RnServAmount{c.stored, c.promised};
        EXPECT_EQ(s.goodsNeed(DaxGameTime(0), kBread, false), c.need);
        EXPECT_EQ(s.goodsNeed(DaxGameTime(0), kBread, true), c.need_with_promised);
        EXPECT_EQ(s.inputLevel(), c.level);
        EXPECT_EQ(s.inputsAvailable(), c.inputs);
    }
    EXPECT_EQ(s.goodsNeed(DaxGameTime(0), kWood, true), 0);
    // While its walker is out it has what it needs.
    s.goods_stored_[kBread].amt_ = RnServAmount{0, 0};
    rnSetWalkersOut(s, 1);
    EXPECT_TRUE(s.inputsAvailable());
    // A ruin needs nothing and holds nothing.
    s.flags_ |= RnServPersData::kDestroyed;
    EXPECT_EQ(s.goodsNeed(DaxGameTime(0), kBread, true), 0);
    EXPECT_EQ(s.inputLevel(), 0);
    EXPECT_TRUE(s.inputsAvailable());

    // Without needs: everything is there; the fill is full, or 0 without a
    // store at all.
    servType().needs_.clear();
    RnServ& free = serv(4, 4);
    EXPECT_TRUE(free.inputsAvailable());
    EXPECT_EQ(free.inputLevel(), 1000);
    servType().in_capa_ = 0;
    EXPECT_EQ(free.inputLevel(), 0);
}

TEST_F(ServiceTest, ItsShareOfTheStoragesDemandFollowsEveryChange) {
    draw({"##########",
          "..........",
          ".........."});
    RnStor& near = placeStor(3, 1);
    RnServ& s = serv(0, 1);
    // The share the storage holds is minus the free room of the entry.
    auto share = [&s](const RnStor& stor) {
        EXPECT_EQ(demand(stor, kBread), s.goods_stored_[kBread].near_storage_ == stor.oid_
                                            ? -s.freeCapacity(s.goods_stored_[kBread])
                                            : 0);
    };
    runTo(123);
    EXPECT_TRUE(s.goods_stored_[kBread].near_storage_.isNull());
    runTo(124);  // the first near-storage check, two hours after the first update
    EXPECT_EQ(s.goods_stored_[kBread].near_storage_, near.oid_);
    EXPECT_EQ(demand(near, kBread), -4);
    EXPECT_TRUE(s.refersTo(near.oid_));
    s.goodsPromised(kBread, 3);
    share(near);
    s.goodsPromised(kBread, -1);  // a walker gave up
    share(near);
    s.goodsDelivered(DaxGameTime(130), kBread, 2);
    EXPECT_EQ(demand(near, kBread), -2);
    share(near);
    s.efficiency_ = 1.0f;
    ASSERT_TRUE(s.takeGoodsForWalker(servType()));
    EXPECT_EQ(demand(near, kBread), -3);
    share(near);

    // The storage goes; the building forgets it without passing demand, and
    // the next check links the one farther off.
    const RnObjectID gone = near.oid_;
    removeAt(3, 1);
    s.forgetObject(gone);
    EXPECT_FALSE(s.refersTo(gone));
    RnStor& far = placeStor(9, 1);
    runTo(124 + 24 * 12);
    EXPECT_EQ(s.goods_stored_[kBread].near_storage_, far.oid_);
    share(far);
    // Removed, it withdraws its share.
    removeAt(0, 1);
    EXPECT_EQ(demand(far, kBread), 0);
}

TEST_F(ServiceTest, GoodsArrivingScheduleTheNextDeparture) {
    draw({"###", "..."});
    RnServ& s = serv(0, 1);
    s.efficiency_ = 1.0f;
    runTo(101);  // nothing in store: nothing scheduled
    EXPECT_EQ(s.flags_ & RnServPersData::kSpwnPending, 0u);
    s.goodsPromised(kBread, 1);
    s.goodsDelivered(DaxGameTime(110), kBread, 1);
    s.goodsArrived(DaxGameTime(110));
    EXPECT_NE(s.flags_ & RnServPersData::kSpwnPending, 0u);
    EXPECT_EQ(s.t_spwn_.value(), 134u);
    EXPECT_EQ(s.goods_stored_[kBread].amt_.stored_, 0);
    EXPECT_EQ(pendingAt(s), 110u);
}

TEST_F(ServiceTest, ChecksAfterLoading) {
    draw({"#####", "....."});
    RnStor& depot = placeStor(3, 1);
    RnServ& s = serv(0, 1);
    runTo(124);
    ASSERT_EQ(s.goods_stored_[kBread].near_storage_, depot.oid_);

    // The type now needs wood too, and the depot no longer keeps bread.
    servType().needs_.push_back({kWood, 2});
    depot.goods_stored_.erase(kBread);
    clearConsole();
    s.checkGoods();
    EXPECT_EQ(s.goods_stored_.count(kWood), 1u);
    EXPECT_TRUE(loggedContaining("add new goods type 0 to service [3:0,0]"));
    EXPECT_TRUE(s.goods_stored_[kBread].near_storage_.isNull());
    EXPECT_TRUE(loggedContaining("near_stor [4:0,0] cleared for goods type 1 service [3:0,0]"));

    // A goods type the type does not need is refused.
    servType().needs_ = {{kWood, 2}};
    EXPECT_EQ(raised([&] { s.checkGoods(); }), "service [3:0,0] has goods which are not allowed with service type");

    // Material added to the type: the store is filled and the building is
    // woken when it runs out.
    servType().build_material_ = {{kWood, 2, 3}};
    s.verifyMaterialNeeds();
    ASSERT_EQ(s.material_in_store_.count(kWood), 1u);
    EXPECT_EQ(s.t_bld_.value(), 124u + 72u);
    EXPECT_EQ(pendingAt(s), std::min(s.t_near_.value(), 196u));
    // And taken away again: no supply check is left pending.
    servType().build_material_.clear();
    s.verifyMaterialNeeds();
    EXPECT_TRUE(s.material_in_store_.empty());
    EXPECT_EQ(s.flags_ & RnServPersData::kBldPending, 0u);
    runTo(400);  // the update finds no supply check to make
    EXPECT_FALSE(s.isDestroyed());
}

TEST_F(ServiceTest, CountsTheHousesItServesByHowSoonTheyNeedItAgain) {
    makeMap(12);
    struct Case {
        uint32_t served, again;  // the entry's interval
        bool badly;              // more than 900 per mille passed at 1000
    } cases[] = {
        {900, 1100, false},  // 500 per mille
        {0, 1111, false},    // 900: not above
        {0, 1109, true},     // 901
        {0, 900, true},      // due
    };
    setNow(1000);
    int x = 1;
    for (const Case& c : cases) {
        RnHous& h = placeHouse(x, 5, 1);
        x += 2;
        RnHouseServiceData e;
        e.served_at_ = c.served;
        e.needed_again_at_ = c.again;
        h.services_[0] = e;
    }
    placeHouse(x, 5, 1);  // no entry for the service: not counted
    int badly = -1;
    int well = -1;
    servType().countServedHouses(badly, well);
    EXPECT_EQ(badly, 2);
    EXPECT_EQ(well, 2);
}

TEST_F(ServiceTest, TheDialogAsksForOneMoreWorker) {
    makeMap(20);
    // Both buildings need two workers; the one house in reach has three.
    RnServ& first = serv(2, 2);
    RnServ& second = serv(6, 2);
    RnHous& h = placeHouse(4, 6, 0);
    h.offerWorkers(grn_game.housType(0), 3);
    RnWorkforce& wkf = grn_game.peoplType(0).workforce_;
    ASSERT_EQ(wkf.pplAssigned(first.oid_) + wkf.pplAssigned(second.oid_), 3);
    RnServ& short_one = wkf.pplAssigned(first.oid_) == 1 ? first : second;
    RnServ& other = &short_one == &first ? second : first;
    EXPECT_EQ(short_one.requestMoreWorkers(), 1);
    EXPECT_EQ(wkf.pplAssigned(short_one.oid_), 2);
    EXPECT_EQ(wkf.pplAssigned(other.oid_), 1);
    // Full: nothing more to take.
    EXPECT_EQ(short_one.requestMoreWorkers(), 0);
    // A ruin has left the network and asks nobody.
    other.shutDown(servType());
    other.flags_ |= RnServPersData::kDestroyed;
    EXPECT_EQ(other.requestMoreWorkers(), 0);
}

}  // namespace
