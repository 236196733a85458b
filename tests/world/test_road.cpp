// Roads: the dragged preview, placement at level 2, levels following the
// desirability of the tile, removal, texts and the after-load checks.
#include <algorithm>
#include <utility>
#include <vector>

#include "dax2/dax_msg.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_placement.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

using Tiles = std::vector<std::pair<int, int>>;

class RoadTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(12);
        grn_game.hours_incr_desirability_ = 2;
        grn_game.hours_decr_desirability_ = 3;
        grn_game.map_range_desirability_ = 3;
        road_idx_ = addRoadType();
        setNow(100);
    }

    RnRoadType& roadType() { return grn_game.roadType(road_idx_); }

    // Drags a road preview from (x1, y1) to (x2, y2).
    int drag(int x1, int y1, int x2, int y2) {
        list_.clear();
        list_.setType(RnIdBldRoad, 100);
        return roadType().addPhantom(list_, x1, y1, x2, y2);
    }
    Tiles previewed() const {
        Tiles out;
        for (const RnPhantomList::Entry& e : list_.entries()) out.emplace_back(e.x_, e.y_);
        return out;
    }
    RnRoad& place(int x, int y) { return grn_game.roadByOid(roadType().createBuilding(x, y)); }
    void block(int x, int y) { setTerrain(x, y, kWater); }

    int16_t road_idx_ = 0;
    RnPhantomList list_;
};

TEST_F(RoadTest, DragGoesAlongXThenY) {
    EXPECT_EQ(drag(2, 2, 5, 4), 6 * 5);
    EXPECT_EQ(previewed(), (Tiles{{2, 2}, {3, 2}, {4, 2}, {5, 2}, {5, 3}, {5, 4}}));
    // Backwards in both directions.
    EXPECT_EQ(drag(5, 4, 3, 3), 4 * 5);
    EXPECT_EQ(previewed(), (Tiles{{5, 4}, {4, 4}, {3, 4}, {3, 3}}));
    // A single tile.
    EXPECT_EQ(drag(7, 7, 7, 7), 5);
    EXPECT_EQ(previewed(), (Tiles{{7, 7}}));
}

TEST_F(RoadTest, DragTurnsEarlyAroundBlockedTiles) {
    block(4, 2);
    EXPECT_EQ(drag(2, 2, 5, 4), 6 * 5);
    EXPECT_EQ(previewed(), (Tiles{{2, 2}, {3, 2}, {3, 3}, {4, 3}, {5, 3}, {5, 4}}));
}

TEST_F(RoadTest, BlockedEndsAndStartsFail) {
    block(5, 4);
    EXPECT_EQ(drag(2, 2, 5, 4), -1);
    EXPECT_FALSE(list_.entries().empty());  // the part that can be built is still shown
    EXPECT_EQ(drag(5, 4, 2, 2), -1);
    EXPECT_TRUE(list_.entries().empty());
    // A building blocks a road; roads-allowed terrain without buildings does not.
    grn_map.placeBuilding(RnObjectID(RnIdBldServ, 0, 0), 8, 8, 1, 1, "", "");
    EXPECT_EQ(drag(8, 6, 8, 9), -1);
    setTerrain(9, 6, kOre);
    EXPECT_EQ(drag(9, 5, 9, 7), 3 * 5);
}

TEST_F(RoadTest, ExistingRoadsAreNotListedAndCostNothing) {
    place(3, 2);
    place(5, 3);
    EXPECT_EQ(drag(2, 2, 5, 4), 4 * 5);
    EXPECT_EQ(previewed(), (Tiles{{2, 2}, {4, 2}, {5, 2}, {5, 4}}));
    // Starting on a road.
    EXPECT_EQ(drag(3, 2, 4, 2), 5);
    EXPECT_EQ(previewed(), (Tiles{{4, 2}}));
}

TEST_F(RoadTest, GamePreviewChecksBothEnds) {
    RnPhantomList list;
    list.setType(RnIdBldRoad, 100);
    EXPECT_EQ(grn_game.addPhantom(list, 2, 2, 12, 2), -1);
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(grn_game.addPhantom(list, 2, 2, 4, 2), 15);
}

TEST_F(RoadTest, PlacedRoadStartsAtLevelTwoAndSpreadsIt) {
    RnRoad& road = place(5, 5);
    EXPECT_EQ(road.oid_, RnObjectID(RnIdBldRoad, 0, 0));
    EXPECT_TRUE(road.is_active_);
    EXPECT_EQ(road.cur_level_, 2);
    EXPECT_EQ(roadType().instanceCount(), 1);
    const RnMapTile& tile = grn_map.tile(5, 5);
    EXPECT_EQ(tile.oid_, road.oid_);
    EXPECT_EQ(tile.second_bmp_idx_, -2);
    EXPECT_NE(tile.flags_ & kRnTileWalkable, 0);
    // Level 2 gives 3 to the neighbours, not to its own tile.
    EXPECT_EQ(grn_map.tile(5, 5).desirability_, 0);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 3);
    // A re-check is due now.
    EXPECT_NE(road.state_bits_ & RnRoadPersData::kAttrPending, 0);
    EXPECT_EQ(road.t_attr_.value(), 100u);
}

TEST_F(RoadTest, FirstUpdateFallsToTheLevelTheTileDeserves) {
    RnRoad& road = place(5, 5);
    EXPECT_EQ(road.update(DaxGameTime(100)), kRnNoWakeTime);
    EXPECT_EQ(road.cur_level_, 0);  // desirability 0 is below level 1's 100
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 1);
    EXPECT_EQ(road.state_bits_ & RnRoadPersData::kAttrPending, 0);
}

TEST_F(RoadTest, LevelsFollowTheDesirability) {
    // Each level its own speed, so that the tile's copy of it shows which
    // level it follows.
    for (size_t i = 0; i < roadType().level_descs_.size(); ++i)
        roadType().level_descs_[i].speed_ = static_cast<int16_t>(50 + 100 * i);
    RnRoad& road = place(5, 5);
    EXPECT_EQ(grn_map.tile(5, 5).road_speed_, 250);
    road.update(DaxGameTime(100));
    EXPECT_EQ(grn_map.tile(5, 5).road_speed_, 50);
    struct Step {
        int16_t desirability;
        int level;
    };
    const Step steps[] = {{150, 1}, {250, 2}, {99, 0}, {200, 2}, {120, 1}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.desirability);
        grn_map.tile(5, 5).desirability_ = s.desirability;
        road.desirabilityChanged(DaxGameTime(200));
        road.update(DaxGameTime(200));
        EXPECT_EQ(road.cur_level_, s.level);
        EXPECT_EQ(grn_map.tile(6, 5).desirability_, s.level + 1);
        EXPECT_FLOAT_EQ(road.speedFactor(), (50 + 100 * s.level) / 100.0f);
        EXPECT_EQ(grn_map.tile(5, 5).road_speed_, road.levelDesc().speed_);
    }
    EXPECT_EQ(roadType().maxUsedLevel(), 1);
}

TEST_F(RoadTest, FirstNoteWinsAndEarlyUpdatesWait) {
    RnRoad& road = place(5, 5);
    road.update(DaxGameTime(100));
    road.desirabilityChanged(DaxGameTime(300));
    road.desirabilityChanged(DaxGameTime(250));
    EXPECT_EQ(road.t_attr_.value(), 300u);
    grn_map.tile(5, 5).desirability_ = 500;
    // Woken before its time, the road keeps its level and asks again.
    EXPECT_EQ(road.update(DaxGameTime(200)).value(), 300u);
    EXPECT_EQ(road.cur_level_, 0);
    EXPECT_EQ(road.update(DaxGameTime(300)), kRnNoWakeTime);
    EXPECT_EQ(road.cur_level_, 2);
}

TEST_F(RoadTest, NeighbouringBuildingsAreWokenByTheArea) {
    // A road placed beside another changes that one's desirability and puts
    // it in the queue at now + the increase delay.
    RnRoad& first = place(5, 5);
    first.update(DaxGameTime(100));
    grn_game.updateQueue().clear();
    place(6, 5);
    DaxGameTime when;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(first.oid_, when));
    EXPECT_EQ(when.value(), 100u + 2 * DaxGameTime::kPerHour);
}

TEST_F(RoadTest, RemovalRestoresTileAndDesirability) {
    RnRoad& keep = place(4, 4);
    RnRoad& road = place(5, 5);
    road.update(DaxGameTime(100));
    keep.update(DaxGameTime(100));
    std::vector<int16_t> before;
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 12; ++y) before.push_back(grn_map.tile(x, y).desirability_);
    RnRoad& gone = place(7, 7);
    RnObjectID gone_oid = gone.oid_;
    gone.update(DaxGameTime(100));
    roadType().removeBuilding(grn_map.tile(7, 7), 7, 7);
    EXPECT_EQ(roadType().instanceCount(), 2);
    EXPECT_EQ(roadType().findInstance(gone_oid.bld_idx_), nullptr);
    EXPECT_TRUE(grn_map.tile(7, 7).isTileFree());
    EXPECT_EQ(grn_map.tile(7, 7).road_speed_, 0);
    size_t i = 0;
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 12; ++y) EXPECT_EQ(grn_map.tile(x, y).desirability_, before[i++]) << x << "," << y;
    // The freed slot is taken by the next road.
    EXPECT_EQ(place(8, 8).oid_.bld_idx_, gone_oid.bld_idx_);
}

TEST_F(RoadTest, TypesThatCannotHoldARoadAreRefused) {
    RnRoadType two_levels = roadType();
    two_levels.type_id_ = 101;
    two_levels.level_descs_.resize(2);
    int16_t idx = grn_game.addRoadType(two_levels);
    EXPECT_EQ(raised([&] { grn_game.roadType(idx).createBuilding(3, 3); }),
              "road type id=101 has 2 levels, a road needs at least 3");
    EXPECT_EQ(raised([&] { roadType().createBuilding(12, 3); }), "road position 12,3 is not on the map");
    EXPECT_EQ(grn_game.roadType(idx).instanceCount() + roadType().instanceCount(), 0);
    RnRoadType none;
    none.type_id_ = 102;
    EXPECT_EQ(raised([&] { none.phantomImage(); }), "no phantom image available for road type id=102");
}

TEST_F(RoadTest, DefaultSlotsOfARoad) {
    RnRoad& road = place(5, 5);
    EXPECT_FLOAT_EQ(road.efficiency(), 1.0f);
    EXPECT_FLOAT_EQ(road.supplyRatio(), 1.0f);
    EXPECT_EQ(road.inputLevel(), 1000);
    EXPECT_EQ(road.outputLevel(), 0);
    EXPECT_FALSE(road.isDestroyed());
    EXPECT_TRUE(road.hasWorkers());
    EXPECT_TRUE(road.inputsAvailable());
    EXPECT_EQ(road.problemFlags(), 0u);
    EXPECT_EQ(road.shortMaterial(), 0);
    EXPECT_FALSE(road.hasUnmetNeeds());
    EXPECT_FALSE(road.refersTo(road.oid_));
    EXPECT_EQ(road.materialNeed(DaxGameTime(0), RnObjectID()), 0);
    EXPECT_EQ(road.goodsNeed(DaxGameTime(0), 0, true), 0);
    EXPECT_EQ(road.serviceNeed(DaxGameTime(0), 0, 1), 0);
    EXPECT_EQ(road.marketNeed(DaxGameTime(0), RnObjectID()), 0);
    RnGoodsSet goods;
    road.listMaterials(goods);
    EXPECT_TRUE(goods.empty());
}

TEST_F(RoadTest, Texts) {
    dax_strings.addString(2101, "Desirability", true);
    roadType().level_descs_[0].name_ = "dirt";
    RnRoad& road = place(5, 5);
    road.update(DaxGameTime(100));
    grn_map.tile(5, 5).desirability_ = 42;
    std::string buf = "x";
    EXPECT_EQ(road.infoText(buf, true), 25);
    EXPECT_EQ(buf, "x\ndirt Desirability=42(1)");

    road.desirabilityChanged(DaxGameTime(777));
    std::string dbg;
    grn_config.map_display_ = 2;
    EXPECT_EQ(road.debugText(dbg, true), 0);
    grn_config.map_display_ = 3;
    road.debugText(dbg, true);
    EXPECT_EQ(dbg, "\nt_attr=777");
    dax_strings.clearImported();
}

TEST_F(RoadTest, VerifyOnMap) {
    RnRoad& road = place(5, 5);
    EXPECT_EQ(raised([&] { road.verifyOnMap(); }), "");

    grn_map.tile(5, 5).flags_ &= static_cast<uint16_t>(~kRnTileRoadsAllowed);
    EXPECT_EQ(raised([&] { road.verifyOnMap(); }), "can build road property violated: [1:0,0]");
    grn_map.tile(5, 5).flags_ |= kRnTileRoadsAllowed;

    RnRoad& other = place(6, 6);
    grn_map.tile(5, 5).oid_ = other.oid_;
    EXPECT_EQ(raised([&] { road.verifyOnMap(); }), "road [1:0,0] has inconsistent oid [1:0,1] at pos 5,5");
    EXPECT_TRUE(loggedContaining("road [1:0,1] at pos 6,6 has tile.oid [1:0,1]"));

    road.pos_on_map_ = DaxMapPositionI(20, 5);
    EXPECT_EQ(raised([&] { road.verifyOnMap(); }), "not on map: [1:0,0]");
}

TEST_F(RoadTest, CheckOidDropsAnInconsistentRoad) {
    RnRoad& keep = place(5, 5);
    // A tile read from a save carries no speed: the check gives it back.
    grn_map.tile(5, 5).road_speed_ = 0;
    EXPECT_FALSE(keep.checkOid(roadType()));
    EXPECT_EQ(grn_map.tile(5, 5).road_speed_, keep.levelDesc().speed_);
    RnRoad& road = place(7, 7);
    RnObjectID oid = road.oid_;
    grn_game.updateQueue().schedule(DaxGameTime(150), oid);  // its wake-up, as a save brings it
    EXPECT_EQ(grn_map.tile(8, 7).desirability_, 3);
    grn_map.tile(7, 7).oid_.setNull();  // the tile lost the road
    EXPECT_TRUE(road.checkOid(roadType()));
    EXPECT_TRUE(loggedContaining("road [1:0,1] has inconsistent oid [0:-1,-1] at pos 7,7"));
    EXPECT_EQ(roadType().findInstance(oid.bld_idx_), nullptr);
    EXPECT_EQ(grn_map.tile(8, 7).desirability_, 0);
    EXPECT_EQ(roadType().instanceCount(), 1);
    DaxGameTime t;
    EXPECT_FALSE(grn_game.updateQueue().pendingTime(oid, t));
    // The ticks that follow meet no job of the dropped road.
    setNow(1000);
    grn_game.update();
}

class RoadDeathTest : public RoadTest {};

TEST_F(RoadDeathTest, MisuseIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnRoad& road = place(5, 5);
    EXPECT_DEATH(road.walkerReturned(DaxGameTime(0), RnObjectID()), "rn_bld_road.cpp:[0-9]+ false");
    EXPECT_DEATH(road.goodsDelivered(DaxGameTime(0), 0, 1), "rn_bld_generic.cpp:[0-9]+ false");
    EXPECT_DEATH(road.levelUp(roadType()), "cur_level_\\+1u < rt.level_descs_.size\\(\\)");
    EXPECT_DEATH(roadType().removeBuilding(grn_map.tile(5, 5), 5, 6),
                 "road.pos_on_map_ == DaxMapPositionI\\(tx,ty\\)");
    RnPhantomList houses;
    houses.setType(RnIdBldHous, 1);
    EXPECT_DEATH(roadType().addPhantom(houses, 1, 1, 2, 2), "bld_id == RnIdBldRoad");
}

}  // namespace
