// Decorations: supplied by a service or by goods, the effect window and the
// image it shows, the goods bookings and the near storage's demand, the
// self-supplied kind, ruin, and the checks after loading.
#include <string>

#include "dax2/dax_msg.h"
#include "rn_bld_deco.h"
#include "rn_bld_stor.h"
#include "test_hous_fixture.h"

using namespace worldtest;

namespace {

using D = RnDecoPersData;

class DecoTest : public TownTest {
protected:
    enum : int16_t { kFountain = 0, kStatue = 1, kGarden = 2 };

    void SetUp() override {
        TownTest::SetUp();
        // A fountain lives on the well's service for 10 hours, a statue on 2
        // lots of food for 24 hours; a garden needs nothing.
        RnDecoType f = decoType(900, "fountain", 20, 0);
        f.service_type_idx_ = kWell;
        f.hours_attr_ = 10;
        grn_game.addDecoType(f);
        RnDecoType s = decoType(901, "statue", 10, -2);
        s.goods_ = {{kFood, 2}};
        s.in_capa_ = 10;
        s.hours_attr_ = 24;
        grn_game.addDecoType(s);
        grn_game.addDecoType(decoType(902, "garden", 5, 0));
        active_img_ = registerMemoryBitmap(DaxBitmapKey("fountain", 0, 0), 2, 2, 0, 0);
        defunct_img_ = registerMemoryBitmap(DaxBitmapKey("fountain_dry", 0, 0), 2, 2, 0, 0);
        ruin_img_ = registerMemoryBitmap(DaxBitmapKey("rubble", 0, 0), 2, 2, 0, 0);
    }

    static RnDecoType decoType(int32_t id, const std::string& name, int16_t act, int16_t def) {
        RnDecoType t;
        t.type_id_ = id;
        t.name_ = name;
        t.image_ = "fountain";
        t.image_defunc_ = "fountain_dry";
        t.ruin_image_ = "rubble";
        t.own_attr_act_ = act;
        t.own_attr_def_ = def;
        return t;
    }
    static RnDeco& deco(int16_t type, int x, int y) {
        return grn_game.decoByOid(grn_game.decoType(type).createBuilding(x, y));
    }
    static int32_t imageAt(const RnDeco& d) { return grn_map.tile(d.pos_on_map_).second_bmp_idx_; }
    // A storage keeping food at (8, 5), beside the road at y = 6.
    RnStor& storage() {
        RnStorType st;
        st.type_id_ = 400;
        st.name_ = "store";
        st.distribute_goods_ = {kFood};
        return grn_game.storByOid(grn_game.storType(grn_game.addStorType(st)).createBuilding(8, 5));
    }
    void road() {
        for (int x = 0; x < 12; ++x) addRoad(x, 6);
    }

    DaxBitmapIndex active_img_ = kDaxNoBitmap;
    DaxBitmapIndex defunct_img_ = kDaxNoBitmap;
    DaxBitmapIndex ruin_img_ = kDaxNoBitmap;
};

TEST_F(DecoTest, GoodsNeedInPerMilleAndTheBookings) {
    RnDeco& d = deco(kStatue, 3, 3);
    RnDecoInpInf& e = d.goods_[kFood];
    struct Case {
        int stored, promised;
        int need, need_promised, level;
        bool inputs;
    } cases[] = {
        {4, 2, 600, 400, 600, true},
        {0, 0, 1000, 1000, 0, false},
        {1, 0, 900, 900, 100, false},  // one lot short of a supply
        {0, 2, 1000, 800, 200, true},  // the promised lots count for the inputs
        {10, 0, 0, 0, 1000, true},
        {8, 4, 200, 0, 1000, true},
    };
    for (const Case& c : cases) {
        e.stored_ = static_cast<uint16_t>(c.stored);
        e.promised_ = static_cast<uint16_t>(c.promised);
        EXPECT_EQ(d.goodsNeed(DaxGameTime(0), kFood, false), c.need) << c.stored << "+" << c.promised;
        EXPECT_EQ(d.goodsNeed(DaxGameTime(0), kFood, true), c.need_promised) << c.stored << "+" << c.promised;
        EXPECT_EQ(d.inputLevel(), c.level) << c.stored << "+" << c.promised;
        EXPECT_EQ(d.inputsAvailable(), c.inputs) << c.stored << "+" << c.promised;
    }
    EXPECT_EQ(d.goodsNeed(DaxGameTime(0), kPlanks, false), 0);  // not taken

    e.stored_ = 1;
    e.promised_ = 0;
    d.goodsPromised(kFood, 3);
    d.goodsPromised(kFood, -1);  // a walker that gave up
    d.goodsDelivered(DaxGameTime(5), kFood, 1);
    EXPECT_EQ(e.promised_, 1);
    EXPECT_EQ(e.stored_, 2);
    EXPECT_DEATH(d.goodsDelivered(DaxGameTime(5), kFood, 2), "promised_>=amount");
}

TEST_F(DecoTest, AServiceKeepsItActiveForItsHours) {
    RnDeco& d = deco(kFountain, 5, 5);
    EXPECT_EQ(imageAt(d), defunct_img_);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 0);
    const uint32_t t = 1000;
    setNow(t);
    // Never served: needed in full; the walker's mark hides it from others.
    EXPECT_EQ(d.serviceNeed(DaxGameTime(t), kWell, 0), 1000);
    EXPECT_EQ(d.serviceNeed(DaxGameTime(t), kTax, 1), 0);
    d.setServicePending(kWell, true);
    EXPECT_EQ(d.serviceNeed(DaxGameTime(t), kWell, 0), 0);
    EXPECT_EQ(d.serviceNeed(DaxGameTime(t), kWell, 1), 1000);
    EXPECT_FALSE(d.inputsAvailable());
    d.setServicePending(kWell, false);

    d.serviceDelivered(DaxGameTime(t), kTax);  // not its service
    EXPECT_EQ(d.flags_ & D::kActive, 0u);
    d.serviceDelivered(DaxGameTime(t), kWell);
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(imageAt(d), active_img_);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 20);
    EXPECT_TRUE(d.inputsAvailable());
    struct Case {
        uint32_t at;
        int need;
    } cases[] = {{t, 0}, {t + hours(5), 500}, {t + hours(9), 900}, {t + hours(10), 1000}, {t + hours(20), 1000}};
    for (const Case& c : cases) EXPECT_EQ(d.serviceNeed(DaxGameTime(c.at), kWell, 0), c.need) << c.at - t;

    // Unserved when the window ends, it falls defunct.
    runTo(t + hours(10) - 1);
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    runTo(t + hours(10));
    EXPECT_EQ(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(imageAt(d), defunct_img_);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 0);
}

TEST_F(DecoTest, TheActiveImageAfterASupply) {
    struct Case {
        const char* what;
        bool active_before;
        uint32_t previous_start;  // the effect window's first time; 0: never
        uint32_t at;
        bool image_set;
    } cases[] = {
        {"renewal soon after the start", true, 1000, 1000 + hours(4), false},
        {"renewal long after the start", true, 1000, 1000 + hours(9), true},
        {"defunct, supplied soon after the last start", false, 1000, 1000 + hours(4), true},
        {"first supply soon after time 0", false, 0, hours(2), true},
    };
    for (const Case& c : cases) {
        RnDeco& d = deco(kFountain, 5, 5);
        d.effect_.first_ = c.previous_start;
        d.effect_.second_ = c.previous_start + hours(10);
        if (c.active_before) d.flags_ |= D::kActive;
        // A marker in place of the image shows whether it was set.
        grn_map.tile(5, 5).second_bmp_idx_ = -7;
        setNow(c.at);
        d.serviceDelivered(DaxGameTime(c.at), kWell);
        EXPECT_EQ(imageAt(d), c.image_set ? active_img_ : -7) << c.what;
        EXPECT_EQ(d.effect_.first_.value(), c.at) << c.what;
        EXPECT_EQ(d.t_gds_.value(), c.at + hours(10)) << c.what;
        if (c.active_before) d.flags_ &= ~D::kActive;  // nothing was spread for it
        const RnObjectID oid = d.oid_;
        grn_game.decoType(kFountain).removeBuilding(grn_map.tile(5, 5), 5, 5);
        grn_game.updateQueue().remove(oid);
    }
}

TEST_F(DecoTest, GoodsFromTheNearStorageKeepItActiveAndAreCountedInUnits) {
    road();
    RnStor& s = storage();
    RnDeco& d = deco(kStatue, 3, 5);
    grn_game.updateQueue().schedule(DaxGameTime(0), d.oid_);
    runTo(0);
    ASSERT_NE(d.flags_ & D::kNearPending, 0u);
    EXPECT_EQ(d.t_near_.value(), hours(2));
    runTo(hours(2));
    EXPECT_EQ(d.goods_[kFood].near_storage_, s.oid_);
    EXPECT_EQ(s.goods_stored_[kFood].demand_, -10);  // room for 10 lots
    EXPECT_TRUE(d.refersTo(s.oid_));

    d.goodsPromised(kFood, 3);
    EXPECT_EQ(s.goods_stored_[kFood].demand_, -7);
    d.goodsDelivered(DaxGameTime(hours(3)), kFood, 3);
    d.goodsArrived(DaxGameTime(hours(3)));
    // Two lots used at once: the effect runs 24 hours.
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(d.goods_[kFood].stored_, 1);
    EXPECT_EQ(s.goods_stored_[kFood].demand_, -9);
    EXPECT_EQ(grn_game.goodsType(kFood).consumed_cur_, 4u);  // 2 lots of 2
    EXPECT_EQ(grn_map.tile(4, 5).desirability_, 10);
    // More goods while it runs change nothing yet.
    d.goodsPromised(kFood, 1);
    d.goodsDelivered(DaxGameTime(hours(4)), kFood, 1);
    d.goodsArrived(DaxGameTime(hours(4)));
    EXPECT_EQ(d.goods_[kFood].stored_, 2);
    // At the end of the effect the stock renews it.
    runTo(hours(27));
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(d.goods_[kFood].stored_, 0);
    EXPECT_EQ(d.t_gds_.value(), hours(51));
    // Then it runs dry.
    runTo(hours(51));
    EXPECT_EQ(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(grn_map.tile(4, 5).desirability_, -2);

    // Removal hands the demand back.
    grn_game.decoType(kStatue).removeBuilding(grn_map.tile(3, 5), 3, 5);
    EXPECT_EQ(s.goods_stored_[kFood].demand_, 0);
    EXPECT_EQ(grn_map.tile(4, 5).desirability_, 0);
}

TEST_F(DecoTest, ADecorationNeedingNothingIsActiveFromItsFirstUpdate) {
    RnDeco& d = deco(kGarden, 5, 5);
    grn_game.updateQueue().schedule(DaxGameTime(0), d.oid_);
    runTo(0);
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 5);
    // Its effect of 0 hours is renewed hourly, never at the time it was
    // made (which would wake it again and again within one tick).
    runTo(hours(48));
    EXPECT_NE(d.flags_ & D::kActive, 0u);
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(d.oid_, wake));
    EXPECT_GT(wake.value(), hours(48));
    EXPECT_TRUE(d.inputsAvailable());
}

TEST_F(DecoTest, MaterialRunningOutLeavesARuin) {
    road();
    RnStor& s = storage();
    grn_game.decoType(kStatue).build_material_ = {RnMaterialEntry{kPlanks, 1, 30}};
    RnDeco& d = deco(kStatue, 3, 5);
    grn_game.updateQueue().schedule(DaxGameTime(0), d.oid_);
    runTo(0);
    EXPECT_EQ(d.material_in_store_[kPlanks].amount_, 1);
    EXPECT_EQ(d.t_bld_.value(), hours(30));
    runTo(hours(3));
    d.goodsPromised(kFood, 2);
    d.goodsDelivered(DaxGameTime(hours(3)), kFood, 2);
    d.goodsArrived(DaxGameTime(hours(3)));
    ASSERT_EQ(grn_map.tile(4, 5).desirability_, 10);
    const size_t messages = dax_msgmgr.history().size();
    runTo(hours(30));
    EXPECT_TRUE(d.isDestroyed());
    EXPECT_EQ(d.flags_ & (D::kGdsPending | D::kNearPending | D::kBldPending), 0u);
    EXPECT_EQ(imageAt(d), ruin_img_);
    EXPECT_EQ(grn_map.tile(4, 5).desirability_, 0);
    EXPECT_EQ(s.goods_stored_[kFood].demand_, 0);
    ASSERT_EQ(dax_msgmgr.history().size(), messages + 1);
    EXPECT_EQ(dax_msgmgr.history().back().number_, 3002);
    EXPECT_EQ(d.update(DaxGameTime(hours(31))), kRnNoWakeTime);
    EXPECT_EQ(d.goodsNeed(DaxGameTime(hours(31)), kFood, true), 0);
    EXPECT_EQ(d.serviceNeed(DaxGameTime(hours(31)), kWell, 1), 0);
    // Removing the ruin changes the neighbourhood no more.
    grn_game.decoType(kStatue).removeBuilding(grn_map.tile(3, 5), 3, 5);
    EXPECT_EQ(grn_map.tile(4, 5).desirability_, 0);
}

TEST_F(DecoTest, TheChecksAfterLoading) {
    road();
    RnStor& s = storage();
    RnDeco& d = deco(kStatue, 3, 5);
    RnDecoType& type = grn_game.decoType(kStatue);
    d.goods_.clear();
    clearConsole();
    d.checkGoods(type);
    EXPECT_TRUE(loggedContaining("add new goods type 1 to deco [7:1,0]"));
    ASSERT_EQ(d.goods_.size(), 1u);
    // A link to a storage that keeps the goods stays; one to a storage
    // that no longer keeps them goes.
    d.goods_[kFood].near_storage_ = s.oid_;
    d.checkGoods(type);
    EXPECT_EQ(d.goods_[kFood].near_storage_, s.oid_);
    s.goods_stored_.erase(kFood);
    d.checkGoods(type);
    EXPECT_TRUE(loggedContaining("near_stor [4:0,0] cleared for goods type 1 service [7:1,0]"));
    EXPECT_TRUE(d.goods_[kFood].near_storage_.isNull());
    // Goods the type does not take stop the load.
    d.goods_[kPlanks] = RnDecoInpInf();
    EXPECT_EQ(raised([&] { d.checkGoods(type); }), "deco [7:1,0] has goods which are not allowed with deco type");

    // The material follows the type; a moved supply check is registered.
    type.build_material_ = {RnMaterialEntry{kPlanks, 2, 10}};
    setNow(50);
    EXPECT_TRUE(d.verifyMaterialNeeds(type));
    EXPECT_EQ(d.t_bld_.value(), 50u + hours(20));
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(d.oid_, wake));
    EXPECT_EQ(wake.value(), d.t_bld_.value());
    EXPECT_FALSE(d.verifyMaterialNeeds(type));
}

}  // namespace
