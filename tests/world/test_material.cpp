// Building material: the wear arithmetic of a stock, and the material slots
// of simple buildings (supply ratio, short material, need, delivery by a
// builder, reconciliation with a changed type).
#include "rn_bld_bldr.h"
#include "rn_bld_generic.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

constexpr uint32_t kHour = DaxGameTime::kPerHour;
constexpr uint32_t T = 1000 * kHour;

// A stock of 10 units at 3 hours each, started full at T.
RnMaterialInf tenUnits() {
    RnMaterialInf m;
    m.add(T, 10, 3);
    return m;
}

TEST(MaterialInf, StockWearsOffLinearly) {
    RnMaterialInf m = tenUnits();
    EXPECT_EQ(m.time_level1_.value(), T);
    EXPECT_EQ(m.time_level0_.value(), T + 30 * kHour);
    EXPECT_EQ(m.amount_, 10);
    EXPECT_FLOAT_EQ(m.amountAt(T - 5), 10.0f);
    EXPECT_FLOAT_EQ(m.amountAt(T), 10.0f);
    EXPECT_FLOAT_EQ(m.amountAt(T + 15 * kHour), 5.0f);
    EXPECT_FLOAT_EQ(m.amountAt(T + 30 * kHour), 0.0f);
    EXPECT_FLOAT_EQ(m.amountAt(T + 90 * kHour), 0.0f);
}

TEST(MaterialInf, AddKeepsTheUnconsumedStock) {
    RnMaterialInf m = tenUnits();
    m.add(T + 7 * kHour, 4, 3);  // 7 / 3 = 2 units used
    EXPECT_EQ(m.time_level1_.value(), T + 6 * kHour);
    EXPECT_EQ(m.amount_, 12);
    EXPECT_EQ(m.time_level0_.value(), T + 42 * kHour);
}

TEST(MaterialInf, AddAfterRunningOutRestarts) {
    RnMaterialInf m = tenUnits();
    uint32_t now = T + 31 * kHour;
    m.add(now, 4, 3);
    EXPECT_EQ(m.time_level1_.value(), now);
    EXPECT_EQ(m.amount_, 4);
    EXPECT_EQ(m.time_level0_.value(), now + 12 * kHour);
}

TEST(MaterialInf, ZeroHoursPerUnitIsRefused) {
    RnMaterialInf m;
    EXPECT_EQ(raised([&] { m.add(T, 5, 0); }), "building material must last more than 0 hours per unit");
    EXPECT_EQ(m.amount_, 0);
    RnMaterialInf s = tenUnits();
    EXPECT_NE(raised([&] { s.relevel(T, 5, 0); }), "");
    EXPECT_EQ(s.amount_, 10);
}

TEST(MaterialInf, NextEventFindsTheNextChange) {
    RnMaterialInf m = tenUnits();
    DaxGameTime limit(T + 100 * kHour);
    m.nextEvent(limit, T - 1);
    EXPECT_EQ(limit.value(), T);  // full-stock end first
    limit = DaxGameTime(T + 100 * kHour);
    m.nextEvent(limit, T);
    EXPECT_EQ(limit.value(), T + 30 * kHour);  // then the run-out
    limit = DaxGameTime(T + 10 * kHour);
    m.nextEvent(limit, T);
    EXPECT_EQ(limit.value(), T + 10 * kHour);  // a limit already earlier stays
    RnMaterialInf empty;
    limit = DaxGameTime(77);
    empty.nextEvent(limit, 0);
    EXPECT_EQ(limit.value(), 77u);  // zero times are no events
}

TEST(MaterialInf, Relevel) {
    struct Case {
        const char* what;
        uint32_t now;
        uint16_t new_max;
        uint16_t new_hours;
        bool changed;
        uint16_t amount;
        uint32_t level1;
        uint32_t level0;
    };
    const Case cases[] = {
        {"same hours", T + 7 * kHour, 10, 3, false, 10, T, T + 30 * kHour},
        // 2 units wore off at the old 3 hours; the rest lasts 12 hours each.
        {"longer hours", T + 7 * kHour, 10, 12, true, 8, T + 6 * kHour, T + 6 * kHour + 96 * kHour},
        {"shorter hours, lower maximum", T + 7 * kHour, 5, 1, true, 5, T + 6 * kHour, T + 11 * kHour},
        {"nothing used yet", T, 10, 6, true, 10, T, T + 60 * kHour},
        {"worn out", T + 40 * kHour, 10, 6, true, 0, T + 40 * kHour, T + 40 * kHour},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RnMaterialInf m = tenUnits();
        EXPECT_EQ(m.relevel(c.now, c.new_max, c.new_hours), c.changed);
        EXPECT_EQ(m.amount_, c.amount);
        EXPECT_EQ(m.time_level1_.value(), c.level1);
        EXPECT_EQ(m.time_level0_.value(), c.level0);
        // The full-stock time never passes now, so a delivery now is
        // accepted.
        EXPECT_LE(m.time_level1_.value(), c.now);
        m.add(c.now, 1, c.new_hours);
    }
    RnMaterialInf empty;
    EXPECT_FALSE(empty.relevel(T, 10, 3));
}

TEST(MaterialInf, RelevelOfSubHourUnitsEndsTheStock) {
    // 10 units worn off within 5 hours: less than an hour each.
    RnMaterialInf m;
    m.time_level1_ = T;
    m.time_level0_ = T + 5 * kHour;
    m.amount_ = 10;
    EXPECT_TRUE(m.relevel(T + kHour, 10, 2));
    EXPECT_EQ(m.amount_, 0);
    EXPECT_LE(m.time_level1_.value(), m.time_level0_.value());
}

TEST(MaterialInfDeathTest, BrokenTimesAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnMaterialInf m = tenUnits();
    EXPECT_DEATH(m.add(T - 1, 1, 3), "xtime1 >= time_level1_");
    EXPECT_DEATH(m.relevel(T, 0, 3), "new_max_amount>0");
}

// A world with two goods types (wood 0, stone 1), a service type using both
// as building material and a builder type distributing them.
class MaterialTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(20);
        RnGoodsType wood("wood", 11, 1, 4, -2);
        wood.used_mat_ = true;
        RnGoodsType stone("stone", 12, 1, 4, -2);
        stone.used_mat_ = true;
        grn_game.addGoodsType(wood);
        grn_game.addGoodsType(stone);

        RnServType st;
        st.type_id_ = 300;
        st.name_ = "temple";
        st.image_ = "temple_img";
        st.build_material_ = {{0, 10, 3}, {1, 20, 3}};
        grn_game.addServType(st);

        RnBldrType bt;
        bt.type_id_ = 800;
        bt.name_ = "mason";
        bt.capacity_ = 10;
        bt.goods_allowed_ = {0, 1};
        grn_game.addBldrType(bt);
        setNow(T);
    }

    RnServ& placeServ(int x, int y) {
        RnObjectID oid = grn_game.servType(0).createBuilding(x, y);
        RnServ& s = grn_game.servByOid(oid);
        s.startMaterials(grn_game.servType(0), T);
        return s;
    }
    RnBldr& placeBldr(int x, int y) {
        return grn_game.bldrByOid(grn_game.bldrType(0).createBuilding(x, y));
    }
};

TEST_F(MaterialTest, SupplyRatioAndShortMaterial) {
    RnServ& s = placeServ(5, 5);
    EXPECT_EQ(s.earliestRunOut().value(), T + 30 * kHour);
    EXPECT_FLOAT_EQ(s.supplyRatio(), 1.0f);
    EXPECT_EQ(s.shortMaterial(), 0);

    setNow(T + 15 * kHour);  // wood at 0.5, stone at 0.75
    EXPECT_FLOAT_EQ(s.supplyRatio(), 0.5f);
    EXPECT_EQ(s.shortMaterial(), 0);

    setNow(T + 27 * kHour);  // wood at 0.1 is short, stone at 0.55 is not
    EXPECT_NEAR(s.supplyRatio(), 0.1f, 1e-6);
    s.material_in_store_[1].time_level0_ = T + 28 * kHour;  // stone lower still
    EXPECT_EQ(s.shortMaterial(), 1);
    EXPECT_LT(s.supplyRatio(), 0.05f);

    RnSimpleBuilding::MaterialMap saved = s.material_in_store_;
    s.material_in_store_.clear();
    EXPECT_FLOAT_EQ(s.supplyRatio(), 0.0f);
    s.material_in_store_ = saved;
    s.flags_ |= RnServPersData::kDestroyed;
    EXPECT_FLOAT_EQ(s.supplyRatio(), 0.0f);
}

TEST_F(MaterialTest, ShortMaterialOfGoodsTypeZeroAboveTheLimitIsNone) {
    RnServ& s = placeServ(5, 5);
    setNow(T + 21 * kHour);  // wood 0.3, stone 0.65: nothing short
    EXPECT_EQ(s.shortMaterial(), 0);
    EXPECT_NEAR(s.supplyRatio(), 0.3f, 1e-6);
}

TEST_F(MaterialTest, NeedScoresMissingAndOfferedMaterial) {
    RnServ& s = placeServ(5, 5);
    RnBldr& b = placeBldr(10, 10);
    const RnObjectID none(RnIdBldBldr, -1, -1);

    EXPECT_EQ(s.materialNeed(T, none), 0);  // nothing missing
    DaxGameTime t(T + 15 * kHour);          // wood 5 of 10, stone 15 of 20
    // Without a builder all that is missing counts as offered:
    // wood 5 of 10 -> 500, stone 5 of 20 -> 250, each below 700 and halved.
    EXPECT_EQ(s.materialNeed(t, none), (250 + 125) / 2);
    // The builder holds nothing: no score.
    EXPECT_EQ(s.materialNeed(t, b.oid_), 0);
    // It holds 2 wood: (5 * 0.1 + 2 * 0.9) * 1000 / 10 = 230 -> 115.
    b.goods_stored_[0].stored_ = 2;
    EXPECT_EQ(s.materialNeed(t, b.oid_), 115);
    b.goods_stored_[1].stored_ = 50;  // stone: (0.5 + 4.5) * 1000 / 20 = 250 -> 125
    EXPECT_EQ(s.materialNeed(t, b.oid_), (115 + 125) / 2);

    // Run out: wood 10 of 10 missing scores 1000 and is not halved; stone
    // 10 of 20 scores 500, halved.
    EXPECT_EQ(s.materialNeed(DaxGameTime(T + 30 * kHour), none), (1000 + 250) / 2);

    s.flags_ |= RnServPersData::kDestroyed;
    EXPECT_EQ(s.materialNeed(t, none), 0);
    s.flags_ &= ~RnServPersData::kDestroyed;
    s.material_in_store_.clear();
    EXPECT_EQ(s.materialNeed(t, none), 0);
}

TEST_F(MaterialTest, DeliveryTopsUpFromTheBuilder) {
    RnServ& s = placeServ(5, 5);
    RnBldr& b = placeBldr(10, 10);
    b.goods_stored_[0].stored_ = 3;
    b.goods_stored_[1].stored_ = 100;
    DaxGameTime t(T + 15 * kHour);
    s.materialDelivered(t, b.oid_);
    // Wood: 5 wanted, 3 handed over; stone: 5 wanted and handed over.
    EXPECT_EQ(b.goods_stored_[0].stored_, 0);
    EXPECT_EQ(b.goods_stored_[1].stored_, 95);
    EXPECT_FLOAT_EQ(s.material_in_store_[0].amountAt(t), 8.0f);
    EXPECT_FLOAT_EQ(s.material_in_store_[1].amountAt(t), 20.0f);
    EXPECT_EQ(grn_game.goodsType(0).consumed_cur_, 3u);
    EXPECT_EQ(grn_game.goodsType(1).consumed_cur_, 5u);

    // A destroyed building takes nothing.
    s.flags_ |= RnServPersData::kDestroyed;
    s.materialDelivered(DaxGameTime(T + 20 * kHour), b.oid_);
    EXPECT_EQ(b.goods_stored_[1].stored_, 95);

    RnGoodsSet listed;
    s.listMaterials(listed);
    EXPECT_EQ(listed, (RnGoodsSet{0, 1}));
}

TEST_F(MaterialTest, BuilderHandsOverWhatItHolds) {
    RnBldr& b = placeBldr(10, 10);
    ASSERT_EQ(b.goods_stored_.size(), 2u);
    b.goods_stored_[0].stored_ = 9;
    EXPECT_EQ(b.available(0, 4), 4);
    EXPECT_EQ(b.available(0, 40), 9);
    EXPECT_EQ(b.available(5, 4), 0);
    EXPECT_EQ(b.takeGoods(0, 20), 9);
    EXPECT_EQ(b.goods_stored_[0].stored_, 0);
    EXPECT_EQ(b.takeGoods(5, 1), 0);

    // A linked storage sees the change in whole lots (lot size 4).
    RnStorType stt;
    stt.type_id_ = 400;
    stt.name_ = "depot";
    stt.distribute_goods_ = {0};
    grn_game.addStorType(stt);
    RnStor& depot = grn_game.storByOid(grn_game.storType(0).createBuilding(15, 15));
    b.goods_stored_[0].stored_ = 9;  // 2 lots
    b.goods_stored_[0].near_storage_ = depot.oid_;
    b.goods_stored_[0].word_ = RnBldrAmountInf::kOrdering;
    EXPECT_EQ(b.takeGoods(0, 2), 2);  // 7 left: 1 lot
    EXPECT_EQ(depot.goods_stored_[0].demand_, -1);
    EXPECT_EQ(b.takeGoods(0, 2), 2);  // 5 left: still 1 lot
    EXPECT_EQ(depot.goods_stored_[0].demand_, -1);
    // An entry that does not order has no demand registered to change.
    b.goods_stored_[0].word_ = 0;
    EXPECT_EQ(b.takeGoods(0, 4), 4);
    EXPECT_EQ(depot.goods_stored_[0].demand_, -1);
}

TEST_F(MaterialTest, CheckMaterialNeedsFollowsTheType) {
    RnServ& s = placeServ(5, 5);
    s.flags_ = 0;
    RnServType changed = grn_game.servType(0);
    // Wood lasts longer now, stone is no longer needed, a third goods type is.
    RnGoodsType iron("iron", 13, 1, 4, -2);
    grn_game.addGoodsType(iron);
    changed.build_material_ = {{0, 10, 6}, {2, 4, 2}};
    DaxGameTime now(T + 7 * kHour);
    EXPECT_TRUE(s.checkMaterialNeeds(changed, now));
    ASSERT_EQ(s.material_in_store_.size(), 2u);
    EXPECT_EQ(s.material_in_store_[0].amount_, 8);
    EXPECT_EQ(s.material_in_store_[0].time_level0_.value(), T + 6 * kHour + 48 * kHour);
    EXPECT_EQ(s.material_in_store_[2].amount_, 4);
    EXPECT_EQ(s.material_in_store_[2].time_level1_.value(), now.value());
    EXPECT_EQ(s.material_in_store_.count(1), 0u);
    // The supply check wants the earliest run-out.
    EXPECT_NE(s.flags_ & RnServPersData::kBldPending, 0u);
    EXPECT_EQ(s.t_bld_.value(), now.value() + 8 * kHour);

    const std::string id = "[3:0,0]";
    EXPECT_TRUE(loggedContaining("prod " + id + " needs new material 2,iron"));
    EXPECT_TRUE(loggedContaining("prod " + id + " has changed material wood properties with prod type temple"));
    EXPECT_TRUE(loggedContaining("prod " + id + " has material stone which is not required with prod type temple"));

    // A second check finds nothing to change.
    EXPECT_FALSE(s.checkMaterialNeeds(changed, now));
}

}  // namespace
