// Storage buildings: the goods slots other kinds call, the timers of the
// update, both walker kinds from departure to return, decay, and the checks
// after loading, on hand-drawn road maps with fake buildings as partners.
#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "rn_bld_hous.h"
#include "rn_bld_stor.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

class StorTest : public WalkerTest {
protected:
    void SetUp() override {
        WalkerTest::SetUp();
        // Goods 1 and 2 beside the fixture's goods 0.
        for (int32_t id : {12, 13}) {
            grn_game.addGoodsTypeWithWalkers(RnGoodsType("g" + std::to_string(id), id, 1, 4, -2),
                                             walkerType<RnWalkerProdType>(id), walkerType<RnWalkerStorType>(id));
        }
        RnStorType st;
        st.type_id_ = 400;
        st.name_ = "store";
        st.capacity_ = 20;
        st.num_prod_walkers_ = 2;
        st.hours_respawn_prod_walker_ = 1;
        st.num_stor_walkers_ = 1;
        st.hours_respawn_stor_walker_ = 2;
        st.distribute_goods_ = {0, 1};
        type_ = grn_game.addStorType(st);
        setNow(600);
    }

    RnStorType& type() { return grn_game.storType(type_); }
    RnStor& storage(int x, int y) { return grn_game.storByOid(type().createBuilding(x, y)); }
    static void stock(RnStor& s, int16_t goods, int stored, int promised = 0, int demand = 0) {
        RnStorAmountInf& a = s.goods_stored_[goods];
        a.stored_nlots_ = static_cast<uint16_t>(stored);
        a.promised_nlots_ = static_cast<uint16_t>(promised);
        a.demand_ = static_cast<int16_t>(demand);
    }
    static bool pending(const RnStor& s, uint32_t bit) { return (s.flags_ & bit) != 0; }
    static size_t messagesNumbered(int number) {
        size_t n = 0;
        for (const DaxMessage& m : dax_msgmgr.history()) n += m.number_ == number ? 1 : 0;
        return n;
    }

    int16_t type_ = -1;
};

TEST_F(StorTest, GoodsNeedIsTheFreeRoomPerMilleAtMost250) {
    makeMap(8);
    RnStor& s = storage(3, 3);
    struct Case {
        int stored, promised;
        bool with_promised;
        uint16_t need;
    } cases[] = {
        {0, 0, false, 250},  {15, 0, false, 250}, {16, 0, false, 200}, {19, 0, false, 50},
        {20, 0, false, 0},   {25, 0, false, 0},   {10, 9, false, 250}, {10, 9, true, 50},
        {10, 10, true, 0},
    };
    for (const Case& c : cases) {
        stock(s, 0, c.stored, c.promised);
        EXPECT_EQ(s.goodsNeed(DaxGameTime(600), 0, c.with_promised), c.need)
            << c.stored << "+" << c.promised << (c.with_promised ? " with promised" : "");
    }
    // Goods the type does not distribute: no entry, or an entry without room.
    EXPECT_EQ(s.goodsNeed(DaxGameTime(600), 2, false), 0);
    stock(s, 2, 0);
    EXPECT_EQ(s.goodsNeed(DaxGameTime(600), 2, false), 0);
    s.goods_stored_.erase(2);
    // A ruin needs nothing.
    stock(s, 1, 0);
    s.flags_ |= RnStorPersData::kDestroyed;
    EXPECT_EQ(s.goodsNeed(DaxGameTime(600), 1, false), 0);
}

TEST_F(StorTest, LotsArePromisedDeliveredAndTaken) {
    makeMap(8);
    RnStor& s = storage(3, 3);
    stock(s, 0, 19);
    s.goodsPromised(0, 4);
    s.goodsPromised(0, 2);
    s.goodsPromised(0, -2);  // a walker gave up
    s.goodsDelivered(DaxGameTime(600), 0, 4);
    EXPECT_EQ(s.goods_stored_[0].stored_nlots_, 23);  // above the capacity: it was promised
    EXPECT_EQ(s.goods_stored_[0].promised_nlots_, 0);
    s.adjustStock(0, 3, 20);
    EXPECT_EQ(s.goods_stored_[0].stored_nlots_, 20);
    s.adjustStock(0, -30, 20);
    EXPECT_EQ(s.goods_stored_[0].stored_nlots_, 0);
    s.adjustDemand(1, -6);
    s.adjustDemand(1, 2);
    EXPECT_EQ(s.goods_stored_[1].demand_, -4);

    EXPECT_DEATH(s.goodsDelivered(DaxGameTime(600), 0, 1), "aa.promised_nlots_>=amount_nlots");
    EXPECT_DEATH(s.goodsPromised(2, 1), "false");
    EXPECT_DEATH(s.adjustDemand(2, 1), "it!=goods_stored_.end\\(\\)");
    EXPECT_DEATH(s.walkerReturned(DaxGameTime(600), RnObjectID(RnIdWlkServ, 0, 0)),
                 "type_id==RnIdWlkProd \\|\\| type_id==RnIdWlkStor");
}

TEST_F(StorTest, NetworkRefreshesTwoHoursOnThenEveryPeriodFromTheLast) {
    makeMap(8);
    RnStor& s = storage(3, 3);
    stock(s, 0, 5);
    // No workers: no walker timer is ever armed.
    EXPECT_EQ(s.update(DaxGameTime(600)).value(), 624u);
    EXPECT_FALSE(s.armProdWalkerTimer(DaxGameTime(600)));
    EXPECT_FALSE(s.armStorWalkerTimer(DaxGameTime(600)));
    EXPECT_EQ(s.update(DaxGameTime(624)).value(), 624u + 24 * 12);
    // Woken late, the next refresh still counts from the last one.
    EXPECT_EQ(s.update(DaxGameTime(950)).value(), 624u + 48 * 12);
    EXPECT_FALSE(pending(s, RnStorPersData::kProdSpwnPending | RnStorPersData::kStorSpwnPending));
}

TEST_F(StorTest, TheFirstWorkersArmTheProductionWalkersAtTheirRecheck) {
    makeMap(24);
    grn_game.addPeoplType(RnPeoplType(200, "settlers"));
    RnHousType ht;
    ht.type_id_ = 20;
    ht.name_ = "hut";
    ht.ppl_type_idx_ = 0;
    ht.level_descs_.push_back(RnHousLevelDesc());
    grn_game.addHousType(ht);
    type().worker_type_ = 0;
    type().num_workers_ = 2;
    type().worker_range_ = 10;
    RnStor& s = storage(5, 5);
    EXPECT_EQ(s.efficiency(), 0.0f);
    const RnObjectID house = grn_game.housType(0).createBuilding(8, 5);
    grn_game.housByOid(house).offerWorkers(grn_game.housType(0), 2);
    ASSERT_TRUE(pending(s, RnStorPersData::kWkfPending));
    const DaxGameTime t_wkf = s.t_wkf_;
    DaxGameTime due;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(s.oid_, due));
    EXPECT_EQ(due, t_wkf);
    setNow(t_wkf.value());
    grn_game.update();
    EXPECT_FLOAT_EQ(s.efficiency(), 1.0f);
    EXPECT_TRUE(pending(s, RnStorPersData::kProdSpwnPending));
    EXPECT_EQ(s.t_prod_spwn_.value(), t_wkf.value() + 12);
    EXPECT_TRUE(pending(s, RnStorPersData::kStorSpwnPending));
    EXPECT_EQ(s.t_stor_spwn_.value(), t_wkf.value() + 24);
}

TEST_F(StorTest, AProductionWalkerCarriesOneLotAndIsTakenBack) {
    draw({"##########", ".....P...."});
    RnStor& s = storage(1, 1);
    s.efficiency_ = 1.0f;
    stock(s, 0, 3);
    FakeBuilding& p = fake(5, 1);
    p.goods_need[0] = 500;
    EXPECT_EQ(s.update(DaxGameTime(600)).value(), 612u);
    EXPECT_EQ(s.update(DaxGameTime(612)).value(), 624u);
    ASSERT_EQ(prodWalkers().instanceCount(), 1);
    RnWalkerProd& w = *prodWalkers().instances_.begin();
    const RnObjectID walker = w.oid_;
    EXPECT_EQ(walker.type_idx_, 0);  // the goods type
    EXPECT_EQ(w.home_oid_, s.oid_);
    EXPECT_EQ(w.target_building_oid_, p.oid_);
    EXPECT_EQ(p.promised[0], 1);
    EXPECT_EQ(s.goods_stored_[0].stored_nlots_, 2);
    EXPECT_EQ(s.numProdWalkers(), 1);
    EXPECT_EQ(s.prodOutcome(), RnStorPersData::kOutcomeSent);
    // Walkers are left: the next departure is an hour on.
    EXPECT_TRUE(pending(s, RnStorPersData::kProdSpwnPending));
    EXPECT_EQ(s.t_prod_spwn_.value(), 624u);

    p.goods_need[0] = 0;
    runWalker(w);
    ASSERT_EQ(p.goods_got.size(), 1u);
    EXPECT_EQ(p.goods_got[0].first, 0);
    EXPECT_EQ(p.goods_got[0].second, 1);
    ASSERT_TRUE(pending(s, RnStorPersData::kProdKillPending));
    s.update(s.t_prod_kill_);
    expectGone(walker);
    EXPECT_EQ(s.numProdWalkers(), 0);
    // The departure due meanwhile found nobody in need: no problem.
    EXPECT_EQ(s.prodOutcome(), RnStorPersData::kOutcomeNoTarget);
    EXPECT_EQ(s.problemFlags(), 0u);
    expectTileListsConsistent();
}

TEST_F(StorTest, DeparturesWithoutGoodsTargetOrRoad) {
    draw({"#####.....", ".P........"});
    fake(1, 1).goods_need[0] = 500;
    RnStor& s = storage(3, 1);
    s.efficiency_ = 1.0f;
    RnStor& lone = storage(7, 2);  // no road beside it
    lone.efficiency_ = 1.0f;
    struct Case {
        const char* what;
        RnStor& storage;
        int stored;
        bool prod;
        uint32_t outcome;
    } cases[] = {
        {"no goods", s, 0, true, RnStorPersData::kOutcomeSent},
        {"no goods for a load", s, 3, false, RnStorPersData::kOutcomeSent},
        {"no neighbour to send a load to", s, 10, false, RnStorPersData::kOutcomeNoTarget},
        {"no road", lone, 10, true, RnStorPersData::kOutcomeNoRoad},
        {"no road for a load", lone, 10, false, RnStorPersData::kOutcomeNoRoad},
    };
    for (const Case& c : cases) {
        RnStor& st = c.storage;
        st.flags_ = (st.flags_ & ~(15u << 15)) | (c.prod ? 3u << 15 : 3u << 17);  // the last one found no road
        stock(st, 0, c.stored);
        const size_t no_road = messagesNumbered(3003);
        if (c.prod) {
            st.sendProdWalker(DaxGameTime(700));
            EXPECT_EQ(st.prodOutcome(), c.outcome) << c.what;
        } else {
            st.sendStorWalker(DaxGameTime(700));
            EXPECT_EQ(st.storOutcome(), c.outcome) << c.what;
        }
        EXPECT_EQ(st.problemFlags() != 0, c.outcome == RnStorPersData::kOutcomeNoRoad) << c.what;
        EXPECT_EQ(messagesNumbered(3003), no_road + (c.outcome == RnStorPersData::kOutcomeNoRoad ? 1 : 0)) << c.what;
        if (c.outcome == RnStorPersData::kOutcomeNoRoad) {
            EXPECT_EQ(dax_msgmgr.history().back().pos_, st.pos_on_map_) << c.what;
        }
        EXPECT_EQ(prodWalkers().instanceCount() + storWalkers().instanceCount(), 0) << c.what;
    }
    // Nothing in store: the update arms the departure again.
    stock(s, 0, 0);
    s.flags_ &= ~RnStorPersData::kProdSpwnPending;
    s.update(DaxGameTime(800));
    EXPECT_TRUE(pending(s, RnStorPersData::kProdSpwnPending));
    EXPECT_EQ(s.t_prod_spwn_.value(), 812u);
}

TEST_F(StorTest, AStorageWalkerCarriesALoadToTheNeighbourInNeed) {
    // The sender stands between two roads and beside a third one.
    draw({"############", "#...........", "############"});
    RnStor& a = storage(1, 1);
    RnStor& b = storage(9, 1);
    a.efficiency_ = 1.0f;
    b.efficiency_ = 1.0f;
    a.updateNetworkLinks();
    ASSERT_EQ(a.networkOutDegree(), 1);
    stock(a, 0, 10);
    stock(b, 0, 0, 0, -5);
    // The link starts on the first road beside the sender; once that road is
    // gone, the sender takes the road there is now.
    const int32_t edge = nex::tDiGraph::OutEdgeIterator(type().network_.gr_, a.network_node_).edge();
    EXPECT_EQ(type().network_.edgeData(edge).start_, DaxMapPositionI(1, 2));
    removeAt(1, 2);
    a.sendStorWalker(DaxGameTime(600));
    ASSERT_EQ(storWalkers().instanceCount(), 1);
    RnWalkerStor& w = *storWalkers().instances_.begin();
    EXPECT_EQ(w.oid_.type_idx_, 0);
    EXPECT_EQ(w.home_oid_, a.oid_);
    EXPECT_EQ(w.target_building_oid_, b.oid_);
    EXPECT_EQ(w.tilePos(), DaxMapPositionI(1, 0));
    EXPECT_EQ(b.goods_stored_[0].promised_nlots_, 4);
    EXPECT_EQ(a.goods_stored_[0].stored_nlots_, 6);
    EXPECT_EQ(a.numStorWalkers(), 1);
    EXPECT_EQ(a.storOutcome(), RnStorPersData::kOutcomeSent);
    // The type's one storage walker is out: no departure is armed.
    EXPECT_FALSE(pending(a, RnStorPersData::kStorSpwnPending));

    runWalker(w);
    EXPECT_EQ(b.goods_stored_[0].stored_nlots_, 4);
    EXPECT_EQ(b.goods_stored_[0].promised_nlots_, 0);
    // The goods that came in send the receiver's walkers out again.
    EXPECT_TRUE(pending(b, RnStorPersData::kProdSpwnPending));
    DaxGameTime due;
    EXPECT_TRUE(grn_game.updateQueue().pendingTime(b.oid_, due));
    ASSERT_TRUE(pending(a, RnStorPersData::kStorKillPending));
    a.update(a.t_stor_kill_);
    EXPECT_EQ(storWalkers().instanceCount(), 0);
    EXPECT_EQ(a.numStorWalkers(), 0);
    expectTileListsConsistent();
}

TEST_F(StorTest, DecayShutsTheStorageDown) {
    // A storage whose two units of material last ten hours each; a service
    // building on the road and a production building the storage serves.
    type().build_material_ = {{0, 2, 10}};
    type().ruin_image_ = "store_ruin";
    draw({"##############", "....S...P....."});
    RnStor& a = storage(1, 1);
    RnStor& b = storage(11, 1);
    a.efficiency_ = 1.0f;
    b.efficiency_ = 1.0f;
    a.updateNetworkLinks();
    b.updateNetworkLinks();
    // A sends a production walker to P; B a storage walker to A.
    FakeBuilding& p = fake(8, 1);
    p.goods_need[0] = 500;
    stock(a, 0, 3, 0, -9);
    stock(b, 0, 12);
    a.sendProdWalker(DaxGameTime(600));
    b.sendStorWalker(DaxGameTime(600));
    ASSERT_EQ(prodWalkers().instanceCount(), 1);
    ASSERT_EQ(storWalkers().instanceCount(), 1);
    const RnObjectID carrier = storWalkers().instances_.begin()->oid_;
    EXPECT_EQ(a.goods_stored_[0].promised_nlots_, 4);

    EXPECT_EQ(a.update(DaxGameTime(600)).value(), 612u);
    ASSERT_TRUE(pending(a, RnStorPersData::kBldPending));
    EXPECT_EQ(a.t_bld_.value(), 600u + 20 * 12);
    const size_t ruins = messagesNumbered(3002);
    EXPECT_EQ(a.update(a.t_bld_), kRnNoWakeTime);
    EXPECT_TRUE(a.isDestroyed());
    EXPECT_EQ(messagesNumbered(3002), ruins + 1);
    EXPECT_EQ(a.efficiency(), 0.0f);
    EXPECT_EQ(a.network_node_, 0);
    EXPECT_EQ(type().network_.gr_.nodeCount(), 1);
    EXPECT_EQ(b.networkOutDegree(), 0);
    EXPECT_TRUE(a.goods_stored_.empty());
    EXPECT_EQ(grn_map.tile(1, 1).oid_, a.oid_);  // the ruin stays
    // Its own walker is gone and its promise at P cancelled; the one coming
    // to it stopped and its home hears of it an hour later.
    EXPECT_EQ(prodWalkers().instanceCount(), 0);
    EXPECT_EQ(p.promised[0], 0);
    EXPECT_TRUE(grn_game.walkerByOid(carrier).isFinished());
    EXPECT_TRUE(pending(b, RnStorPersData::kStorKillPending));
    // The buildings around it forget it, once each.
    EXPECT_EQ(fake(4, 1).forgotten, std::vector<RnObjectID>{a.oid_});
    EXPECT_EQ(p.forgotten, std::vector<RnObjectID>{a.oid_});
    // A ruin does nothing more and needs nothing.
    EXPECT_EQ(a.update(DaxGameTime(9000)), kRnNoWakeTime);
    EXPECT_EQ(a.goodsNeed(DaxGameTime(9000), 0, false), 0);
    EXPECT_FALSE(a.armProdWalkerTimer(DaxGameTime(9000)));

    // Removing the ruin frees its tiles; the other storage still runs.
    const RnObjectID ruin = a.oid_;
    removeAt(1, 1);
    EXPECT_TRUE(grn_map.tile(1, 1).isTileFree());
    EXPECT_EQ(type().instanceCount(), 1);
    EXPECT_EQ(fake(4, 1).forgotten.size(), 1u);
    EXPECT_FALSE(grn_game.isObjectAlive(ruin));
    b.update(b.t_stor_kill_);
    EXPECT_EQ(storWalkers().instanceCount(), 0);
    EXPECT_EQ(b.numStorWalkers(), 0);
}

TEST_F(StorTest, AfterLoadingTheStorageFollowsItsType) {
    draw({"##############", ".P..........P."});
    RnStor& s = storage(5, 1);
    RnStor& r = storage(9, 1);
    s.efficiency_ = 1.0f;
    s.updateNetworkLinks();
    stock(s, 0, 10);
    stock(r, 0, 0, 0, -8);
    fake(1, 1).goods_need[0] = 500;
    s.sendProdWalker(DaxGameTime(600));
    s.sendStorWalker(DaxGameTime(600));
    // A production walker of another building brings goods 0 to s.
    FakeBuilding& far = fake(12, 1);
    RnWalkerProd incoming(far.oid_, DaxMapPositionI(12, 0), DaxGameTime(600), false);
    incoming.target_building_oid_ = s.oid_;
    const RnObjectID in = send(prodWalkers(), incoming, 0).oid_;
    s.goodsPromised(0, 1);
    ASSERT_EQ(prodWalkers().instanceCount(), 2);
    ASSERT_EQ(storWalkers().instanceCount(), 1);

    // The counters come from the walkers out there.
    s.flags_ |= 15u << RnStorPersData::kProdCountShift | 15u << RnStorPersData::kStorCountShift;
    s.recountWalkers();
    EXPECT_EQ(s.numProdWalkers(), 1);
    EXPECT_EQ(s.numStorWalkers(), 1);

    // The type now distributes goods 1 and 2: goods 0 goes with its
    // walkers, goods 2 comes in empty.
    type().distribute_goods_ = {1, 2};
    s.checkDistribution();
    EXPECT_EQ(s.goods_stored_.size(), 2u);
    EXPECT_EQ(s.goods_stored_.count(0), 0u);
    EXPECT_EQ(s.goods_stored_[2].stored_nlots_, 0);
    EXPECT_EQ(s.numProdWalkers(), 0);
    EXPECT_EQ(s.numStorWalkers(), 0);
    EXPECT_EQ(storWalkers().instanceCount(), 0);
    EXPECT_EQ(r.goods_stored_[0].promised_nlots_, 0);
    ASSERT_EQ(prodWalkers().instanceCount(), 1);  // the incoming one, stopped
    EXPECT_TRUE(grn_game.walkerByOid(in).isFinished());
    ASSERT_EQ(far.returned.size(), 1u);

    // A type without material leaves no supply check, whatever the save
    // says; material the type asks for now is started full and wakes the
    // storage for its supply check; a ruin keeps no node.
    ASSERT_TRUE(type().build_material_.empty());
    s.flags_ |= RnStor::kBldPending;
    s.verifyMaterialNeeds();
    EXPECT_EQ(s.flags_ & RnStor::kBldPending, 0u);
    grn_game.updateQueue().clear();
    type().build_material_ = {{1, 2, 10}};
    s.verifyMaterialNeeds();
    ASSERT_EQ(s.material_in_store_.size(), 1u);
    DaxGameTime due;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(s.oid_, due));
    EXPECT_EQ(due, s.t_bld_);
    // The ruin's node leaves the network with its links, so that the world
    // saves as it loaded.
    const int32_t ruin_node = r.network_node_;
    ASSERT_GT(ruin_node, 0);
    const int nodes = type().network_.gr_.nodeCount();
    r.flags_ |= RnStorPersData::kDestroyed;
    r.verifyMaterialNeeds();
    EXPECT_EQ(r.network_node_, 0);
    EXPECT_FALSE(type().network_.gr_.isNodeValid(ruin_node));
    EXPECT_EQ(type().network_.gr_.nodeCount(), nodes - 1);
}

TEST_F(StorTest, AFinishedWalkerWhoseHomeIsGoneIsClearedByAnyStorage) {
    draw({"#####", ".P..."});
    RnStor& s = storage(3, 1);
    RnWalkerProd lost(fake(1, 1).oid_, DaxMapPositionI(1, 0), DaxGameTime(600), false);
    RnWalkerProd& w = send(prodWalkers(), lost, 0);
    const RnObjectID walker = w.oid_;
    w.home_oid_.bld_idx_ = -1;
    s.removeFinishedProdWalkers();
    EXPECT_TRUE(grn_game.isObjectAlive(walker));  // still on its way
    w.state_ |= RnWalkerPersData::kFinished;
    s.removeFinishedProdWalkers();
    expectGone(walker);
    EXPECT_EQ(s.numProdWalkers(), 0);
}

}  // namespace
