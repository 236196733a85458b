// The generic walker: move timing, the two half-steps, heading and state
// word, drawing position, the step cache, random road choice and the tile
// walker lists.
#include <set>
#include <vector>

#include "dax2/dax_random.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

using W = RnWalkerPersData;

class GenericWalkerTest : public WalkerTest {
protected:
    // A production walker of the home at (0, 1), standing at (0, 0) at time
    // t, heading for the building at target with the given cached steps.
    RnWalkerProd& carrier(DaxGameTime t, const DaxMapPositionI& target, const std::vector<uint8_t>& steps = {},
                          bool smooth = false) {
        RnWalkerProd w(oidAt(0, 1), DaxMapPositionI(0, 0), t, smooth);
        w.target_building_oid_ = oidAt(target.x, target.y);
        RnPathCache path;
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) path.pushFront(*it);
        w.cachePath(path, 0);
        return send(prodWalkers(), w, kGoods);
    }
    static DaxMapPositionI listedAt(const RnObjectID& walker) {
        for (int x = 0; x < grn_map.size(); ++x)
            for (int y = 0; y < grn_map.size(); ++y)
                for (RnObjectID w = grn_map.tile(x, y).walker_head_; w.bld_idx_ != -1;
                     w = grn_game.walkerByOid(w).next_walker_)
                    if (w == walker) return DaxMapPositionI(x, y);
        return DaxMapPositionI::none();
    }
};

TEST_F(GenericWalkerTest, MovesTakeTheMeanRoadTimeOverTheHomesEfficiency) {
    draw({"####D",
          "P...."});
    struct Case {
        float hours;            // hours_for_1tile_road of the walker type
        uint8_t dest, earlier;  // road levels of (1, 0) and (0, 0)
        float efficiency;
        uint32_t units;         // length of the move in game time
    } cases[] = {
        {1.0f, kFastRoad, kSlowRoad, 1.0f, 15},  // (0.5 + 2.0) / 2 = 1.25 hours
        {1.0f, kRoad, kRoad, 1.0f, 12},
        {1.0f, kRoad, kRoad, 0.5f, 24},
        {1.0f, kRoad, kRoad, 0.1f, 60},          // 0.1 counts as 0.2: five times as long
        {0.02f, kRoad, kRoad, 1.0f, 1},          // 0.02 hours, at least 0.1 (1.2 units)
    };
    int n = 0;
    for (const Case& c : cases) {
        prodWalkers().hours_for_1tile_road_ = c.hours;
        grn_game.roadByOid(oidAt(1, 0)).setLevel(c.dest);
        grn_game.roadByOid(oidAt(0, 0)).setLevel(c.earlier);
        fake(0, 1).efficiency_ = c.efficiency;
        const DaxGameTime t0(1000u * static_cast<uint32_t>(++n));
        RnWalkerProd& w = carrier(t0, {4, 0}, {DirXPlus});
        EXPECT_EQ(w.update(t0), w.wake_time_);
        EXPECT_EQ(w.to_.time_.value() - t0.value(), c.units) << "case " << n;
        // Woken halfway, rounded to the nearest unit.
        EXPECT_EQ(w.wake_time_.value(), t0.value() + (c.units + 1) / 2) << "case " << n;
    }
}

TEST_F(GenericWalkerTest, TwoHalfStepsPerTileAndTheEarlierTileCounts) {
    // Slow, fast, normal road; the walker's second move takes the mean of
    // its destination and the tile its first move started from.
    draw({"-=#D",
          "P..."});
    prodWalkers().image_ = 42;
    const DaxGameTime t0(100);
    RnWalkerProd& w = carrier(t0, {3, 0}, {DirXPlus, DirXPlus});
    const RnObjectID id = w.oid_;
    EXPECT_EQ(w.image_, 42);
    EXPECT_EQ(listedAt(id), DaxMapPositionI(0, 0));

    // At the tile: the move starts (phase 2, heading +x).
    EXPECT_EQ(w.update(t0).value(), 108u);
    EXPECT_EQ(w.phase(), W::kFirstHalf);
    EXPECT_EQ(w.heading(), DirXPlus);
    EXPECT_EQ(listedAt(id), DaxMapPositionI(0, 0));
    // Halfway: the walker changes tiles and stands between them.
    EXPECT_EQ(w.update(DaxGameTime(108)).value(), 115u);
    EXPECT_EQ(w.phase(), W::kSecondHalf);
    EXPECT_EQ(listedAt(id), DaxMapPositionI(1, 0));
    EXPECT_FLOAT_EQ(w.at_.x_, 1.0f);
    EXPECT_EQ(w.at_.time_.value(), 108u);
    EXPECT_EQ(w.stepsWalked(), 0);
    // Arrival and the next move at once: (1.0 + 2.0) / 2 hours.
    EXPECT_EQ(w.update(DaxGameTime(115)).value(), 124u);
    EXPECT_EQ(w.stepsWalked(), 1);
    EXPECT_EQ(w.to_.time_.value(), 133u);
    EXPECT_EQ(w.from_.x_, 1.5f);
    EXPECT_EQ(w.cachedSteps(), 0);
    EXPECT_EQ(w.update(DaxGameTime(124)).value(), 133u);
    EXPECT_EQ(listedAt(id), DaxMapPositionI(2, 0));
    // Beside the target: delivered.
    EXPECT_EQ(w.update(DaxGameTime(133)).value(), 133u + 12u);
    EXPECT_TRUE(w.isFinished());
    EXPECT_EQ(w.phase(), W::kAtTile);
    EXPECT_EQ(w.stepsWalked(), 2);
    // A finished walker takes no further update.
    EXPECT_EQ(w.update(DaxGameTime(145)), kRnNoWakeTime);
}

TEST_F(GenericWalkerTest, DrawnBetweenTilesOnlyWhenSmooth) {
    draw({"##D",
          "P.."});
    for (bool smooth : {false, true}) {
        const DaxGameTime t0(smooth ? 200 : 100);
        RnWalkerProd& w = carrier(t0, {2, 0}, {DirXPlus}, smooth);
        w.update(t0);  // to (1, 0), 12 units
        const DaxMapPositionF quarter = w.interpolatedPos(DaxGameTime(t0.value() + 3));
        w.update(w.wake_time_);
        const DaxMapPositionF three_quarters = w.interpolatedPos(DaxGameTime(t0.value() + 9));
        if (smooth) {
            EXPECT_FLOAT_EQ(quarter.x, 0.75f);
            EXPECT_FLOAT_EQ(three_quarters.x, 1.25f);
        } else {
            // At the tile, then jumped to the middle of the move.
            EXPECT_FLOAT_EQ(quarter.x, 0.5f);
            EXPECT_FLOAT_EQ(three_quarters.x, 1.0f);
        }
        // Outside the move's times the walker is drawn where it stands.
        EXPECT_FLOAT_EQ(w.interpolatedPos(DaxGameTime(t0.value() + 50)).x, 1.0f);
        EXPECT_FLOAT_EQ(three_quarters.y, 0.5f);
    }
}

TEST_F(GenericWalkerTest, StepCacheTakesStepsInOrder) {
    draw({"#D",
          "P."});
    RnWalkerProd& w = carrier(DaxGameTime(10), {1, 0});
    RnPathCache path;
    for (DaxDirection d : {DirYMinus, DirXMinus, DirYPlus, DirXPlus}) path.pushFront(d);
    w.cachePath(path, 1);
    EXPECT_EQ(w.cachedSteps(), 3);
    EXPECT_EQ(w.popStep(), DirYPlus);
    EXPECT_EQ(w.popStep(), DirXMinus);
    EXPECT_EQ(w.popStep(), DirYMinus);
    EXPECT_EQ(w.popStep(), DirNone);
    EXPECT_EQ(w.cachedSteps(), 0);
    // The other bits of the state word stay as they were.
    EXPECT_EQ(w.phase(), W::kAtTile);
}

TEST_F(GenericWalkerTest, RandomRoadChoiceAvoidsTheWayBack) {
    // A junction at (2, 1): roads west (came from), north, east and south;
    // the south road is not walkable. A dead end at (0, 4).
    draw({"..#..",
          "#####",
          "..#..",
          ".....",
          "##..."});
    grn_map.tile(2, 2).flags_ &= static_cast<uint16_t>(~kRnTileWalkable);
    RnWalkerServ w(RnObjectID(), DaxMapPositionI(1, 1), DaxGameTime(0), false, 0);
    w.to_.x_ = 2.5f;  // moved from (1, 1) to (2, 1)
    w.at_ = w.to_;
    std::set<DaxDirection> chosen;
    for (uint32_t seed = 1; seed <= 64; ++seed) {
        dax_random.seed(seed);
        RnMapStep s = w.randomRoadNeighbour();
        chosen.insert(s.dir_);
        EXPECT_EQ(s.pos_, DaxMapPositionI(2, 1) + daxDirectionOffset(s.dir_));
    }
    EXPECT_EQ(chosen, (std::set<DaxDirection>{DirXPlus, DirYMinus}));
    // Before its first move every neighbour counts.
    RnWalkerServ fresh(RnObjectID(), DaxMapPositionI(2, 1), DaxGameTime(0), false, 0);
    chosen.clear();
    for (uint32_t seed = 1; seed <= 64; ++seed) {
        dax_random.seed(seed);
        chosen.insert(fresh.randomRoadNeighbour().dir_);
    }
    EXPECT_EQ(chosen, (std::set<DaxDirection>{DirXPlus, DirXMinus, DirYMinus}));
    // At a dead end the only road is the way back.
    RnWalkerServ end(RnObjectID(), DaxMapPositionI(1, 4), DaxGameTime(0), false, 0);
    end.to_.x_ = 0.5f;
    end.at_ = end.to_;
    RnMapStep none = end.randomRoadNeighbour();
    EXPECT_EQ(none.dir_, DirNone);
    EXPECT_TRUE(none.pos_.isNone());
}

TEST_F(GenericWalkerTest, HeadingImagesOfSearchingWalkers) {
    const char* names[4] = {"w_ro", "w_ru", "w_lo", "w_lu"};
    DaxBitmapIndex ids[4];
    for (int i = 0; i < 4; ++i) {
        servWalkers().images_.names_[i] = names[i];
        ids[i] = registerMemoryBitmap(DaxBitmapKey(names[i], 0, 0), 4, 4, 0, 0);
    }
    draw({"##",
          "S."});
    RnWalkerServ& w = send(servWalkers(), RnWalkerServ(oidAt(0, 1), DaxMapPositionI(0, 0), 0, false, 0));
    // Headings 1 to 4 show "ru", "lo", "lu", "ro"; anything else keeps the
    // image.
    const DaxBitmapIndex expect[5] = {ids[0], ids[1], ids[2], ids[3], ids[0]};
    for (DaxDirection d = DirXPlus; d <= DirYMinus; ++d) {
        w.setDirectionImage(d);
        EXPECT_EQ(w.image_, expect[d]) << d;
    }
    w.setDirectionImage(DirNone);
    EXPECT_EQ(w.image_, ids[0]);
}

TEST_F(GenericWalkerTest, LeavingTheTileOfEachPhase) {
    draw({"###D",
          "P..."});
    RnWalkerProd& w = carrier(DaxGameTime(10), {3, 0}, {DirXPlus, DirXPlus});
    RnWalkerProd& v = carrier(DaxGameTime(10), {3, 0}, {DirXPlus});
    w.update(DaxGameTime(10));
    ASSERT_EQ(w.phase(), W::kFirstHalf);
    // During the first half the walker is still listed where it started.
    w.leaveTile();
    EXPECT_EQ(grn_map.tile(0, 0).walker_head_, v.oid_);
    EXPECT_TRUE(v.next_walker_.isNull());
    grn_map.tile(0, 0).addWalker(w.oid_);
    w.update(w.wake_time_);
    ASSERT_EQ(w.phase(), W::kSecondHalf);
    // From the middle of the move on, at the tile it heads for.
    w.leaveTile();
    EXPECT_EQ(grn_map.tile(1, 0).walker_head_.bld_idx_, -1);
    EXPECT_EQ(grn_map.tile(0, 0).walker_head_, v.oid_);
}

class GenericWalkerDeathTest : public GenericWalkerTest {};

TEST_F(GenericWalkerDeathTest, ProgramErrorsAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    draw({"#.D",
          "P.."});
    RnWalkerProd& w = carrier(DaxGameTime(50), {2, 0});
    EXPECT_DEATH(w.update(DaxGameTime(49)), "rn_wlk_generic.cpp:[0-9]+ false");
    EXPECT_DEATH(w.startMove(RnMapStep{DirXPlus, DaxMapPositionI(1, 0)}), "next_pos_tile.isRoad\\(\\)");
    w.leaveTile();
    EXPECT_DEATH(w.leaveTile(), "rc2");
}

}  // namespace
