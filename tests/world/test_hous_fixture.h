// A small town for the house and decoration tests: food and planks with
// their walker types, settlers, a well and a tax office, a house type of
// three levels, and helpers that run the update queue and set the
// neighbourhood of a footprint.
#pragma once

#include <string>

#include "rn_bld_bldr.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_workforce.h"
#include "test_walker_fixture.h"

namespace worldtest {

class TownTest : public WalkerTest {
protected:
    // Goods (wood, index 0, comes from WalkerTest).
    static constexpr int16_t kFood = 1;
    static constexpr int16_t kPlanks = 2;
    // Service types.
    static constexpr int16_t kWell = 0;
    static constexpr int16_t kTax = 1;
    // Hours of the house type.
    static constexpr int kImmigrate = 2;
    static constexpr int kLeave = 3;
    static constexpr int kUp = 6;
    static constexpr int kDown = 12;
    // Planks a level-1 house keeps and the hours one lasts.
    static constexpr int kPlanksAmount = 2;
    static constexpr int kPlanksHours = 100;

    void SetUp() override {
        WalkerTest::SetUp();
        makeMap(24);
        grn_game.hours_incr_desirability_ = 1;
        grn_game.hours_decr_desirability_ = 1;
        grn_game.addGoodsTypeWithWalkers(RnGoodsType("food", 12, 2, 2, -2), walkerType<RnWalkerProdType>(12),
                                         walkerType<RnWalkerStorType>(12));
        grn_game.addGoodsTypeWithWalkers(RnGoodsType("planks", 13, 3, 1, -2), walkerType<RnWalkerProdType>(13),
                                         walkerType<RnWalkerStorType>(13));
        grn_game.goodsType(kPlanks).used_mat_ = true;
        grn_game.addPeoplType(RnPeoplType(1, "settlers"));
        for (int i = 0; i < 2; ++i) {
            RnServType st;
            st.type_id_ = 300 + i;
            st.name_ = i == 0 ? "well" : "tax office";
            st.walker_type_idx_ = 0;
            st.tax_percent_ = static_cast<int16_t>(i == 0 ? 0 : 50);
            grn_game.addServType(st);
        }

        RnHousType t;
        t.type_id_ = 200;
        t.name_ = "house";
        t.width_ = 2;
        t.height_ = 2;
        t.ppl_type_idx_ = 0;
        t.percent_workers_ = 50;
        t.percent_workers_without_job1_ = 100;
        t.percent_workers_without_job2_ = 100;
        t.hours_people_immigrate_ = kImmigrate;
        t.hours_people_leave_ = kLeave;
        t.hours_level_up_ = kUp;
        t.hours_level_down_ = kDown;
        t.tax_percent_ = 100;
        t.ruin_image_ = "ruin";
        for (int i = 0; i < 3; ++i) {
            RnHousLevelDesc d;
            d.name_ = "level" + std::to_string(i);
            d.image_ = "house" + std::to_string(i);
            d.people_max_ = static_cast<uint16_t>(4 * (i + 1));
            d.own_attr_ = static_cast<int16_t>(i + 1);
            d.needed_attr_ = static_cast<int16_t>(i == 0 ? -100 : 10 * i);
            t.level_descs_.push_back(d);
        }
        t.level_descs_[1].material_ = RnMaterialEntry{kPlanks, kPlanksAmount, kPlanksHours};
        t.level_descs_[2].goods_ = {RnHousGoodsNeed{kFood, 2, 24}};
        t.level_descs_[2].services_ = {RnHousServiceNeed{kWell, 48}, RnHousServiceNeed{kTax, 24}};
        grn_game.addHousType(t);
    }

    static RnHousType& houseType() { return grn_game.housType(0); }

    // A house at (5, 5) (footprint 4..5 by 4..5) created at t and woken then.
    RnHous& newHouse(uint32_t t = 0, int x = 5, int y = 5) {
        setNow(t);
        RnObjectID oid = houseType().createBuilding(x, y);
        grn_game.updateQueue().schedule(DaxGameTime(t), oid);
        return grn_game.housByOid(oid);
    }
    // A house with n people at level 0 (nothing pending), created at t at
    // (x, y).
    RnHous& houseWith(int n, uint32_t t = 0, int x = 5, int y = 5) {
        RnHous& h = newHouse(t, x, y);
        grn_game.updateQueue().remove(h.oid_);
        h.flags_ = 0;
        h.setPeopleTarget(houseType().level_descs_[0].people_max_);
        h.peopleArrive(houseType(), n);
        return h;
    }

    // Raises the house a level at t as the update does once the next
    // level's material is there (delivered here, full).
    static void raise(RnHous& h, uint32_t t) {
        const RnMaterialEntry& m = houseType().level_descs_[static_cast<size_t>(h.curLevel() + 1)].material_;
        if (m.good_type_idx_ >= 0) h.material_in_store_[m.good_type_idx_].add(DaxGameTime(t), m.amount_, m.hours_);
        h.levelUp(DaxGameTime(t), houseType());
    }

    // The desirability total of each tile of the footprint anchored at
    // (x, y).
    static void setDesirability(int value, int x = 5, int y = 5) {
        for (int i = x - 1; i <= x; ++i)
            for (int j = y - 1; j <= y; ++j) grn_map.tile(i, j).desirability_ = static_cast<int16_t>(value);
    }

    // Runs every job of the queue due up to t, each at its own time, and
    // leaves the clock at t.
    static void runTo(uint32_t t) {
        RnGameUpdateQueue& q = grn_game.updateQueue();
        while (!q.empty() && q.front().time_for_next_update.value() <= t) {
            setNow(q.front().time_for_next_update.value());
            grn_game.update();
        }
        setNow(t);
    }

    static uint32_t hours(int h) { return static_cast<uint32_t>(h) * DaxGameTime::kPerHour; }
};

}  // namespace worldtest
