// Builder buildings: an entry orders material once a building in reach uses
// it and keeps ordering, the lots registered at the near storage, the store's
// need, the hand-over to sites in units, and the checks after loading.
#include <string>

#include "test_workplace_fixture.h"

using namespace worldtest;

namespace {

using A = RnBldrAmountInf;

class BuilderTest : public WorkplaceTest {
protected:
    // A builder at (0, 1) beside the road of row 0 (its walkers' search
    // reaches 20 road tiles), a depot at (3, 1).
    void SetUp() override {
        WorkplaceTest::SetUp();
        draw({"##########################",
              "..........................",
              ".........................."});
        depot_ = &placeStor(3, 1);
        builder_ = &placeBldr(0, 1);
    }
    RnBldr& b() { return *builder_; }
    RnStor& depot() { return *depot_; }
    A& wood() { return b().goods_stored_.at(kWood); }
    // A fake site at (x, 1) whose building material is wood.
    FakeBuilding& site(int x) {
        fakeType(RnIdBldDeco).createBuilding(x, 1);
        FakeBuilding& f = fake(x, 1);
        f.materials = {kWood};
        return f;
    }
    // The time of the n-th near-storage check.
    static uint32_t check(int n) { return 124u + static_cast<uint32_t>(n - 1) * 24u * 12u; }

    RnStor* depot_ = nullptr;
    RnBldr* builder_ = nullptr;
};

TEST_F(BuilderTest, ItKeepsOneEntryPerMaterialItDistributes) {
    // Bread is no building material: a builder allowed it keeps no entry.
    bldrType().goods_allowed_ = {kWood, kBread};
    RnBldr& other = placeBldr(6, 1);
    EXPECT_EQ(other.goods_stored_.size(), 1u);
    EXPECT_EQ(other.goods_stored_.count(kWood), 1u);
    EXPECT_EQ(other.goods_stored_.at(kWood).word_, 0);
}

TEST_F(BuilderTest, OrderingStartsWithASiteInReachAndNeverStops) {
    // Nothing in reach uses wood: nothing is ordered, nothing registered.
    site(21);  // beyond the walkers' reach of 20 road tiles
    runTo(check(1));
    EXPECT_FALSE(wood().ordering());
    EXPECT_TRUE(wood().near_storage_.isNull());
    EXPECT_EQ(demand(depot(), kWood), 0);
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 0);

    // A site in reach: the entry orders its capacity at the depot.
    site(8);
    runTo(check(2));
    EXPECT_TRUE(wood().ordering());
    EXPECT_EQ(wood().near_storage_, depot().oid_);
    EXPECT_EQ(demand(depot(), kWood), -8);
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 1000);

    // The site goes; the builder keeps ordering.
    removeAt(8, 1);
    runTo(check(3));
    EXPECT_TRUE(wood().ordering());
    EXPECT_EQ(demand(depot(), kWood), -8);
    // Removed, it withdraws what it registered.
    removeAt(0, 1);
    EXPECT_EQ(demand(depot(), kWood), 0);
}

TEST_F(BuilderTest, NeedOfTheStore) {
    // Capacity 8 lots of four planks each: 32.
    struct Case {
        uint16_t stored, promised;
        uint16_t need, need_with_promised;
    } cases[] = {
        {0, 0, 1000, 1000},
        {16, 0, 500, 500},
        {16, 2, 500, 250},
        {32, 0, 0, 0},
        {40, 0, 0, 0},  // more than it may keep
    };
    wood().word_ = A::kOrdering;
    for (const Case& c : cases) {
        wood().stored_ = c.stored;
        wood().word_ = static_cast<uint16_t>(A::kOrdering | c.promised);
        EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, false), c.need) << c.stored << "+" << c.promised;
        EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), c.need_with_promised) << c.stored << "+" << c.promised;
    }
    wood() = A();
    // Not ordering, or no longer allowed by the type although the entry is
    // still there: no need.
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 0);
    wood().word_ = A::kOrdering;
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 1000);
    bldrType().goods_allowed_.clear();
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 0);
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kBread, true), 0);
}

TEST_F(BuilderTest, SitesTakeWhatItHoldsAndTheDepotSeesWholeLots) {
    wood().word_ = A::kOrdering;
    b().setGoodsLink(kWood, wood(), RnObjectID(), false);  // a not ordering entry takes no link ...
    EXPECT_FALSE(wood().ordering());
    b().setGoodsLink(kWood, wood(), depot().oid_, false);
    EXPECT_TRUE(wood().near_storage_.isNull());
    b().setGoodsLink(kWood, wood(), depot().oid_, true);  // ... an ordering one does
    EXPECT_EQ(demand(depot(), kWood), -8);
    b().goodsPromised(kWood, 3);
    EXPECT_EQ(demand(depot(), kWood), -5);
    b().goodsDelivered(DaxGameTime(0), kWood, 3);  // three lots of four
    EXPECT_EQ(wood().stored_, 12);
    EXPECT_EQ(wood().promisedLots(), 0);
    EXPECT_EQ(demand(depot(), kWood), -5);

    struct Take {
        uint16_t available_of_10, asked, got, left;
        int demand;
    } takes[] = {
        {10, 1, 1, 11, -6},  // 3 lots to 2
        {10, 2, 2, 9, -6},
        {9, 20, 9, 0, -8},   // all it holds
        {0, 5, 0, 0, -8},
    };
    const uint32_t consumed = grn_game.goodsType(kWood).consumed_cur_;
    for (const Take& t : takes) {
        EXPECT_EQ(b().available(kWood, 10), t.available_of_10);
        EXPECT_EQ(b().takeGoods(kWood, t.asked), t.got);
        EXPECT_EQ(wood().stored_, t.left);
        EXPECT_EQ(demand(depot(), kWood), t.demand);
    }
    EXPECT_EQ(grn_game.goodsType(kWood).consumed_cur_ - consumed, 12u);
    EXPECT_EQ(b().available(kBread, 10), 0);
    EXPECT_EQ(b().takeGoods(kBread, 10), 0);
    // A ruin hands over nothing.
    wood().stored_ = 4;
    b().flags_ |= RnBldrPersData::kDestroyed;
    EXPECT_EQ(b().takeGoods(kWood, 4), 0);
    EXPECT_EQ(b().goodsNeed(DaxGameTime(0), kWood, true), 0);
}

TEST_F(BuilderTest, ASiteIsSuppliedFromTheStore) {
    // A real service building two tiles along the road, whose four units of
    // wood last three hours each (all gone at 244): once a unit is missing
    // (from 136) the builder's walker brings one from the builder's store.
    servType().build_material_ = {{kWood, 4, 3}};
    RnServ& well = placeServ(2, 1);
    b().efficiency_ = 1.0f;
    wood().stored_ = 10;
    runTo(300);
    EXPECT_FALSE(well.isDestroyed());
    EXPECT_GT(well.material_in_store_.at(kWood).time_level0_.value(), 300u);
    EXPECT_LT(wood().stored_, 10);
    EXPECT_EQ(bldrWalkers().instanceCount(), b().walkersOut());
}

TEST_F(BuilderTest, ChecksAfterLoading) {
    b().setGoodsLink(kWood, wood(), depot().oid_, true);
    ASSERT_EQ(demand(depot(), kWood), -8);
    // The type distributes bread only now: wood goes, with its demand.
    bldrType().goods_allowed_ = {kBread};
    grn_game.goodsType(kBread).used_mat_ = true;
    clearConsole();
    b().checkGoods();
    EXPECT_EQ(b().goods_stored_.count(kWood), 0u);
    EXPECT_EQ(b().goods_stored_.count(kBread), 1u);
    EXPECT_EQ(demand(depot(), kWood), 0);
    EXPECT_TRUE(loggedContaining("bldr [8:0,0] has material wood that it cannot distribute, yard"));
    // A builder keeps no material of its own: a store found after loading
    // goes, and no supply check is left.
    b().material_in_store_[kWood] = RnMaterialInf();
    b().scheduleSupplyCheck(DaxGameTime(500));
    b().verifyMaterialNeeds();
    EXPECT_TRUE(b().material_in_store_.empty());
    EXPECT_EQ(b().flags_ & RnBldrPersData::kBldPending, 0u);
    EXPECT_TRUE(b().t_bld_.isNull());
}

}  // namespace
