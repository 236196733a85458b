// Markets: the goods switches and wanted bits that decide what is ordered,
// the lots registered at the near storage through every change (no drift
// whatever the bits), wanted goods from the house levels in reach,
// deliveries in lots and hand-overs in units, removal of a ruin, and the
// checks after loading.
#include <functional>
#include <string>

#include "test_workplace_fixture.h"

using namespace worldtest;

namespace {

using A = RnMrktAmountInf;

class MarketTest : public WorkplaceTest {
protected:
    // A market at (0, 1) beside the road of row 0, a depot at (3, 1).
    void SetUp() override {
        WorkplaceTest::SetUp();
        draw({"##########",
              "..........",
              ".........."});
        depot_ = &placeStor(3, 1);
        market_ = &placeMrkt(0, 1);
    }
    RnMrkt& m() { return *market_; }
    RnStor& depot() { return *depot_; }
    A& bread() { return m().goods_stored_.at(kBread); }

    RnStor* depot_ = nullptr;
    RnMrkt* market_ = nullptr;
};

TEST_F(MarketTest, SwitchesAndWantedBitsDecideWhatIsOrdered) {
    // Capacity 4 lots of five loaves. Each step, then the demand the depot
    // holds for bread and the entry's bits.
    struct Step {
        const char* what;
        std::function<void(RnMrkt&, RnStor&)> act;
        int demand;
        uint16_t bits;
        uint16_t need;  // goodsNeed with promised lots
    } steps[] = {
        {"new: switched on, not wanted", [](RnMrkt&, RnStor&) {}, 0, A::kEnabled, 0},
        {"wanted and linked",
         [](RnMrkt& m, RnStor& d) { m.setGoodsLink(kBread, m.goods_stored_[kBread], d.oid_, true, true); }, -4,
         A::kEnabled | A::kWanted, 1000},
        {"a lot promised", [](RnMrkt& m, RnStor&) { m.goodsPromised(kBread, 1); }, -3, A::kEnabled | A::kWanted, 750},
        {"switched off", [](RnMrkt& m, RnStor&) { m.setGoodsEnabled(kBread, false); }, 0, A::kWanted, 0},
        {"promised while off", [](RnMrkt& m, RnStor&) { m.goodsPromised(kBread, 1); }, 0, A::kWanted, 0},
        {"switched on again", [](RnMrkt& m, RnStor&) { m.setGoodsEnabled(kBread, true); }, -2,
         A::kEnabled | A::kWanted, 500},
        {"delivered", [](RnMrkt& m, RnStor&) { m.goodsDelivered(DaxGameTime(0), kBread, 2); }, -2,
         A::kEnabled | A::kWanted, 500},
        {"no longer wanted",
         [](RnMrkt& m, RnStor& d) { m.setGoodsLink(kBread, m.goods_stored_[kBread], d.oid_, false, true); }, 0,
         A::kEnabled, 0},
        {"sold while not wanted", [](RnMrkt& m, RnStor&) { m.takeGoods(kBread, 6); }, 0, A::kEnabled, 0},
        {"wanted again", [](RnMrkt& m, RnStor& d) { m.setGoodsLink(kBread, m.goods_stored_[kBread], d.oid_, true, true); },
         -4, A::kEnabled | A::kWanted, 800},
        {"unlinked", [](RnMrkt& m, RnStor&) { m.clearNearStorages(); }, 0, A::kEnabled, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act(m(), depot());
        EXPECT_EQ(demand(depot(), kBread), s.demand);
        EXPECT_EQ(bread().word_ & (A::kEnabled | A::kWanted), s.bits);
        EXPECT_EQ(m().goodsNeed(DaxGameTime(0), kBread, true), s.need);
    }
    // 10 loaves came, 6 were sold: 4 left, less than a lot.
    EXPECT_EQ(bread().amount_, 4);
    EXPECT_TRUE(bread().near_storage_.isNull());
}

TEST_F(MarketTest, AnEntryThatDoesNotOrderKeepsItsLinkUntilItsBitsChange) {
    // Not wanted: a new link found by a check is not taken, nor is the old
    // one dropped.
    m().setGoodsLink(kBread, bread(), RnObjectID(), false, true);
    m().setGoodsLink(kBread, bread(), depot().oid_, false, true);
    EXPECT_TRUE(bread().near_storage_.isNull());
    m().setGoodsLink(kBread, bread(), depot().oid_, true, true);
    EXPECT_EQ(bread().near_storage_, depot().oid_);
    m().setGoodsEnabled(kBread, false);
    m().setGoodsLink(kBread, bread(), RnObjectID(), true, false);
    EXPECT_EQ(bread().near_storage_, depot().oid_);
    EXPECT_EQ(demand(depot(), kBread), 0);
}

TEST_F(MarketTest, OnlyAnOrderingEntryPassesChangesToItsStorage) {
    // Linked, with each pair of bits: promises and sales move the depot's
    // demand only where it is registered, and withdrawing the link always
    // leaves the depot where it started.
    struct Case {
        bool wanted, on;
    } cases[] = {
        {true, true},
        {true, false},
        {false, true},  // wanted no more, switched on: no drift
        {false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.wanted) + std::to_string(c.on));
        A& e = bread();
        e = A();
        e.amount_ = 10;  // two lots
        e.word_ = A::kEnabled | A::kWanted;
        m().setGoodsLink(kBread, e, depot().oid_, true, true);  // registers 4 - 2 = 2 lots
        m().setGoodsLink(kBread, e, depot().oid_, c.wanted, c.on);
        const int base = demand(depot(), kBread);
        m().goodsPromised(kBread, 2);
        EXPECT_EQ(demand(depot(), kBread) - base, c.wanted && c.on ? 2 : 0);
        EXPECT_EQ(m().takeGoods(kBread, 3), 3);  // 7 left: one lot less
        EXPECT_EQ(demand(depot(), kBread) - base, c.wanted && c.on ? 1 : 0);
        m().goodsDelivered(DaxGameTime(0), kBread, 2);
        m().setGoodsLink(kBread, e, depot().oid_, true, true);
        m().clearNearStorages();
        EXPECT_EQ(demand(depot(), kBread), 0);
    }
}

TEST_F(MarketTest, WantedGoodsFollowTheHouseLevelsInReach) {
    // Houses of level v want the goods of their levels 0 to v + 1: bread
    // from level 1, wood from level 3. The market's walkers reach 10 road
    // tiles.
    struct Case {
        const char* what;
        int x;      // where a house stands beside the road, -1 none
        int level;
        bool bread, wood;
    } cases[] = {
        {"no house", -1, 0, false, false},
        {"a house at level 0", 5, 0, false, false},  // its levels are what a new market assumes
        {"a house at level 1", 5, 1, true, false},
        {"a house at level 2", 5, 2, true, true},
        {"at the top level", 5, 3, true, true},
        {"out of reach", 9 + 2, 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        WorkplaceTest::SetUp();
        draw({"##############",
              "..............",
              ".............."});
        depot_ = &placeStor(3, 1);
        market_ = &placeMrkt(0, 1);
        if (c.x >= 0) placeHouse(c.x, 1, c.level);
        runTo(124);
        EXPECT_EQ(bread().wanted(), c.bread);
        EXPECT_EQ(m().goods_stored_.at(kWood).wanted(), c.wood);
        EXPECT_EQ(demand(depot(), kBread), c.bread ? -4 : 0);
        EXPECT_EQ(m().house_levels_.size(), 1u);
        // An unchanged neighbourhood keeps the bits as they are, whatever
        // the check would mark.
        const bool flipped = !bread().wanted();
        m().setGoodsLink(kBread, bread(), depot().oid_, flipped, true);
        runTo(124 + 24 * 12);
        EXPECT_EQ(bread().wanted(), flipped);
        EXPECT_EQ(demand(depot(), kBread), flipped ? -4 : 0);
    }
}

TEST_F(MarketTest, DeliveriesInLotsAndSalesInLoaves) {
    struct Case {
        uint16_t amount, promised;
        uint16_t need, need_with_promised;
    } needs[] = {
        {0, 0, 1000, 1000},
        {10, 0, 500, 500},
        {10, 1, 500, 250},
        {20, 0, 0, 0},
        {5, 3, 750, 0},
    };
    bread().word_ |= A::kWanted;
    for (const Case& c : needs) {
        bread().amount_ = c.amount;
        bread().word_ = static_cast<uint16_t>((bread().word_ & ~A::kPromisedMask) | c.promised);
        EXPECT_EQ(m().goodsNeed(DaxGameTime(0), kBread, false), c.need) << c.amount << "+" << c.promised;
        EXPECT_EQ(m().goodsNeed(DaxGameTime(0), kBread, true), c.need_with_promised) << c.amount << "+" << c.promised;
    }
    EXPECT_EQ(m().goodsNeed(DaxGameTime(0), kWood, true), 0);  // not wanted

    bread() = A();
    bread().word_ = A::kEnabled;
    m().setGoodsLink(kBread, bread(), depot().oid_, true, true);
    EXPECT_EQ(demand(depot(), kBread), -4);
    m().goodsPromised(kBread, 2);
    m().goodsDelivered(DaxGameTime(0), kBread, 2);  // two lots of five
    EXPECT_EQ(bread().amount_, 10);
    EXPECT_EQ(bread().promisedLots(), 0);
    EXPECT_EQ(demand(depot(), kBread), -2);
    EXPECT_EQ(m().inputLevel(), 500);
    EXPECT_EQ(m().available(kBread, 4), 4);
    EXPECT_EQ(m().available(kBread, 40), 10);
    EXPECT_TRUE(m().hasGoods(kBread));
    EXPECT_FALSE(m().hasGoods(kWood));
    struct Sale {
        uint16_t asked, got;
        uint16_t left;
        int demand;
    } sales[] = {
        {4, 4, 6, -3},  // 2 lots to 1
        {1, 1, 5, -3},  // still 1 lot: no change
        {9, 5, 0, -4},
        {1, 0, 0, -4},
    };
    const uint32_t consumed = grn_game.goodsType(kBread).consumed_cur_;
    for (const Sale& s : sales) {
        EXPECT_EQ(m().takeGoods(kBread, s.asked), s.got);
        EXPECT_EQ(bread().amount_, s.left);
        EXPECT_EQ(demand(depot(), kBread), s.demand);
    }
    EXPECT_EQ(grn_game.goodsType(kBread).consumed_cur_ - consumed, 10u);
    EXPECT_FALSE(m().hasGoods(kBread));
    // A ruin sells nothing.
    bread().amount_ = 5;
    m().flags_ |= RnMrktPersData::kDestroyed;
    EXPECT_EQ(m().takeGoods(kBread, 5), 0);
    EXPECT_FALSE(m().hasGoods(kBread));
    EXPECT_EQ(m().inputLevel(), 0);
}

TEST_F(MarketTest, AProductionWalkerBringsALot) {
    // A bakery (a fake) beside the road sends a lot of bread to the market,
    // which wants it and has it ordered at the depot.
    fakeType(RnIdBldProd).createBuilding(7, 1);
    const RnObjectID bakery = oidAt(7, 1);
    m().setGoodsLink(kBread, bread(), depot().oid_, true, true);
    RnFloodTargetProd target;
    const RnGoodsSet goods{kBread};
    RnFloodWalkerProd flood(target, rnNow(), goods, false);
    ASSERT_TRUE(flood.floodFromStarts(target, bakery, roadsAround(fake(7, 1)), 24));
    ASSERT_EQ(target.target_oid_, m().oid_);
    EXPECT_EQ(target.amount_, 1000);
    RnWalkerProd& w = send(grn_game.prodWalkerType(kBread), RnWalkerProd(bakery, target, rnNow(), false), kBread);
    m().goodsPromised(kBread, w.lots());
    EXPECT_EQ(demand(depot(), kBread), -3);
    EXPECT_EQ(m().goodsNeed(rnNow(), kBread, true), 750);
    runTo(300);
    EXPECT_EQ(bread().amount_, 5);
    EXPECT_EQ(bread().promisedLots(), 0);
    EXPECT_EQ(demand(depot(), kBread), -3);
    EXPECT_EQ(fake(7, 1).returned.size(), 1u);
}

TEST_F(MarketTest, TheNearStorageSendsWhatTheHousesWant) {
    // A house at level 1 in reach wants bread; the depot holds some and
    // sends it lot by lot with its production walkers until the market's
    // store is full.
    grn_game.storType(0).num_prod_walkers_ = 1;
    grn_game.storType(0).hours_respawn_prod_walker_ = 1;
    depot().goods_stored_[kBread].stored_nlots_ = 10;
    depot().efficiency_ = 1.0f;
    grn_game.updateQueue().schedule(rnNow(), depot().oid_);
    placeHouse(6, 1, 1);
    runTo(124);
    ASSERT_TRUE(bread().ordering());
    ASSERT_EQ(bread().near_storage_, depot().oid_);
    // The depot's first walker may be on its way already.
    EXPECT_EQ(demand(depot(), kBread), -(4 - bread().promisedLots()));
    EXPECT_FALSE(m().goods_stored_.at(kWood).wanted());
    runTo(124 + 24 * 12);
    EXPECT_EQ(bread().amount_, 20);  // capacity: four lots of five
    EXPECT_EQ(bread().promisedLots(), 0);
    EXPECT_EQ(depot().goods_stored_[kBread].stored_nlots_, 6);
    EXPECT_EQ(demand(depot(), kBread), 0);
    EXPECT_EQ(m().goodsNeed(rnNow(), kBread, true), 0);
    expectTileListsConsistent();
}

TEST_F(MarketTest, ARemovedRuinGivesBackItsDesirabilityOnce) {
    removeAt(0, 1);  // the fixture's market was built without these
    mrktType().own_attr_ = 6;
    mrktType().build_material_ = {{kWood, 1, 2}};
    grn_game.hours_incr_desirability_ = 1;
    grn_game.hours_decr_desirability_ = 1;
    RnMrkt& ruin = placeMrkt(6, 2);
    EXPECT_EQ(grn_map.tile(7, 2).desirability_, 6);
    runTo(124);  // the wood lasted two hours
    ASSERT_TRUE(ruin.isDestroyed());
    EXPECT_EQ(grn_map.tile(7, 2).desirability_, 0);
    EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(ruin.oid_), 0);
    removeAt(6, 2);
    EXPECT_EQ(grn_map.tile(7, 2).desirability_, 0);
    EXPECT_TRUE(grn_map.tile(6, 2).isTileFree());
}

TEST_F(MarketTest, ChecksAfterLoading) {
    m().setGoodsLink(kBread, bread(), depot().oid_, true, true);
    // The type sells one more goods type (a third one), and the depot no
    // longer keeps bread.
    RnWalkerProdType pw = walkerType<RnWalkerProdType>(13);
    RnWalkerStorType sw = walkerType<RnWalkerStorType>(13);
    const int16_t fish = grn_game.addGoodsTypeWithWalkers(RnGoodsType("fish", 13, 2, 1, -2), pw, sw);
    mrktType().distribute_goods_.insert(fish);
    depot().goods_stored_.erase(kBread);
    clearConsole();
    m().checkGoods();
    ASSERT_EQ(m().goods_stored_.count(fish), 1u);
    EXPECT_EQ(m().goods_stored_.at(fish).word_, A::kEnabled);
    EXPECT_TRUE(loggedContaining("add new goods type 2 to market [6:0,0]"));
    EXPECT_TRUE(bread().near_storage_.isNull());
    EXPECT_TRUE(loggedContaining("near_stor [4:0,0] cleared for goods type 1 market [6:0,0]"));
    // Goods the type no longer sells are refused.
    mrktType().distribute_goods_.erase(kWood);
    EXPECT_EQ(raised([&] { m().checkGoods(); }), "market [6:0,0] has goods which are not allowed with market type market");
}

}  // namespace
