// Road floods and their evaluators, the flood entry points of the building
// kinds, and the near-storage and house-level floods, on hand-drawn maps.
#include <map>
#include <vector>

#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

using Steps = std::vector<DaxDirection>;

// The service flood with every building it looks at written down.
class RecordingFlood : public RnFloodWalkerServ {
public:
    struct Seen {
        RnObjectID oid;
        uint16_t dist;
        float cost;
    };
    RecordingFlood(RnFloodTarget& target, uint16_t tiles_without_houses = 0)
        : RnFloodWalkerServ(target, DaxGameTime(0), kService, tiles_without_houses) {}
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override {
        seen.push_back({bld, dist, cost});
        RnFloodWalkerServ::evaluate(bld, dist, cost, step, out);
    }
    bool saw(const RnObjectID& oid) const {
        for (const Seen& s : seen)
            if (s.oid == oid) return true;
        return false;
    }
    const Seen& of(const RnObjectID& oid) const {
        for (const Seen& s : seen)
            if (s.oid == oid) return s;
        ADD_FAILURE() << "not evaluated";
        return seen.front();
    }

    static constexpr int16_t kService = 3;
    std::vector<Seen> seen;
};

class FloodTest : public WalkerTest {
protected:
    // Every fake at a position asks for the service with that need.
    void need(int x, int y, uint16_t value) { fake(x, y).service_need[RecordingFlood::kService] = value; }
    static const RnObjectID kNobody;
};
const RnObjectID FloodTest::kNobody;

TEST_F(FloodTest, NothingFoundLeavesTheTargetEmpty) {
    draw({"#D.",
          "#H.",
          "..."});
    RnFloodTarget target;
    RecordingFlood off_road(target);
    // A walker off the roads: the flood ends at its tile.
    EXPECT_FALSE(off_road.floodFromTile(target, oidAt(1, 0), DaxMapPositionI(2, 2), 5, 5));
    EXPECT_TRUE(off_road.seen.empty());
    // On the road, but nobody asks for anything.
    RecordingFlood nobody(target);
    EXPECT_FALSE(nobody.floodFromStarts(target, kNobody, {DaxMapPositionI(0, 0)}, 5));
    EXPECT_EQ(nobody.seen.size(), 2u);
    EXPECT_TRUE(target.target_oid_.isNull());
    EXPECT_EQ(target.amount_, 0);
    EXPECT_TRUE(target.start_pos_.isNone());
    EXPECT_EQ(target.path_.size(), 0);
}

TEST_F(FloodTest, MaxDistOneLooksOnlyBesideTheStart) {
    draw({".D.D",
          "####",
          "H..."});
    need(1, 0, 50);
    need(3, 0, 900);
    need(0, 2, 10);
    for (bool from_tile : {false, true}) {
        RnFloodTarget target;
        RecordingFlood flood(target);
        bool found = from_tile ? flood.floodFromTile(target, oidAt(0, 2), DaxMapPositionI(1, 1), 1, 1)
                               : flood.floodFromStarts(target, kNobody, {DaxMapPositionI(1, 1)}, 1);
        EXPECT_TRUE(found);
        ASSERT_EQ(flood.seen.size(), 1u) << from_tile;
        EXPECT_EQ(flood.seen[0].oid, oidAt(1, 0));
        EXPECT_EQ(flood.seen[0].dist, 1);
        // The path is the step into the building.
        EXPECT_EQ(target.start_pos_, DaxMapPositionI(1, 1));
        EXPECT_EQ(stepsOf(target.path_), (Steps{DirYMinus}));
    }
}

TEST_F(FloodTest, TiesGoToTheBuildingReachedFirst) {
    // Beside one tile: direction 1 (+x) comes before direction 3 (+y).
    // Beside two start tiles: the earlier start tile comes first.
    draw({"...D",
          ".D#D",
          "..D.",
          "....",
          "#D#D"});
    for (auto p : {std::pair<int, int>{3, 1}, {2, 2}, {1, 1}, {3, 0}}) need(p.first, p.second, 100);
    RnFloodTarget target;
    RecordingFlood beside(target);
    EXPECT_TRUE(beside.floodFromStarts(target, kNobody, {DaxMapPositionI(2, 1)}, 1));
    EXPECT_EQ(target.target_oid_, oidAt(3, 1));
    EXPECT_EQ(target.amount_, 100);

    need(1, 4, 100);
    need(3, 4, 100);
    for (auto order : {std::vector<DaxMapPositionI>{DaxMapPositionI(0, 4), DaxMapPositionI(2, 4)},
                       std::vector<DaxMapPositionI>{DaxMapPositionI(2, 4), DaxMapPositionI(0, 4)}}) {
        RnFloodTarget t;
        RecordingFlood starts(t);
        EXPECT_TRUE(starts.floodFromStarts(t, kNobody, order, 1));
        // From (0, 4) the building at (1, 4) is met first; from (2, 4) the
        // one at (3, 4) (direction 1 before direction 2).
        EXPECT_EQ(t.target_oid_, order[0].x == 0 ? oidAt(1, 4) : oidAt(3, 4));
        EXPECT_EQ(t.start_pos_, order[0]);
    }
}

TEST_F(FloodTest, HouseLimitStopsAtTheFourthTileWithoutHouses) {
    // Houses beside the start and beside road tile 4; buildings in need
    // beside tiles 3 and 4.
    draw({"H...H..",
          "#######",
          "...DD.."});
    need(3, 2, 10);
    need(4, 2, 900);
    need(4, 0, 900);
    RnFloodTarget limited_target;
    RecordingFlood limited(limited_target, 3);
    EXPECT_TRUE(limited.floodFromStarts(limited_target, kNobody, {DaxMapPositionI(0, 1)}, 20));
    // Tile 4 is reached with 4 tiles since the house, but not expanded:
    // neither the building nor the house beside it is looked at.
    EXPECT_TRUE(limited.saw(oidAt(3, 2)));
    EXPECT_FALSE(limited.saw(oidAt(4, 2)));
    EXPECT_FALSE(limited.saw(oidAt(4, 0)));
    EXPECT_EQ(limited_target.target_oid_, oidAt(3, 2));

    RnFloodTarget open_target;
    RecordingFlood open(open_target, 0);
    EXPECT_TRUE(open.floodFromStarts(open_target, kNobody, {DaxMapPositionI(0, 1)}, 20));
    EXPECT_TRUE(open.saw(oidAt(4, 2)));
    EXPECT_EQ(open_target.target_oid_, oidAt(4, 2));
}

TEST_F(FloodTest, EachBuildingOnceAtItsNearestRoad) {
    // A 3-wide building above road tiles 1 to 3; the sender asks most but
    // is skipped, and so is the home of a walker.
    FakeBuildingType& wide = addFakeType(RnIdBldDeco, 3, 1);
    draw({"S.....",
          "######",
          "H....."});
    RnObjectID long_one = wide.createBuilding(3, 0);
    wide.instances_[long_one.bld_idx_].service_need[RecordingFlood::kService] = 10;
    need(0, 0, 1000);
    need(0, 2, 5);
    RnFloodTarget target;
    RecordingFlood from_starts(target);
    EXPECT_TRUE(from_starts.floodFromStarts(target, oidAt(0, 0), {DaxMapPositionI(0, 1)}, 10));
    EXPECT_EQ(target.target_oid_, long_one);
    EXPECT_FALSE(from_starts.saw(oidAt(0, 0)));
    int times = 0;
    for (const auto& s : from_starts.seen) times += s.oid == long_one;
    EXPECT_EQ(times, 1);
    EXPECT_EQ(from_starts.of(long_one).dist, 2);

    RnFloodTarget t2;
    RecordingFlood from_tile(t2);
    EXPECT_TRUE(from_tile.floodFromTile(t2, oidAt(0, 2), DaxMapPositionI(2, 1), 10, 10));
    EXPECT_FALSE(from_tile.saw(oidAt(0, 2)));  // the home
    EXPECT_EQ(t2.target_oid_, oidAt(0, 0));
}

TEST_F(FloodTest, PathsKeepOneStepLessThanTheCache) {
    // A building 20 steps along the road from the start tile, and one
    // beside the end of a short road.
    draw({std::string(21, '#'), std::string(20, '.') + "D", "", "###", "..D"});
    need(20, 1, 5);
    RnFloodTarget target;
    RecordingFlood flood(target);
    EXPECT_TRUE(flood.floodFromStarts(target, kNobody, {DaxMapPositionI(0, 0)}, 30));
    EXPECT_EQ(target.start_pos_, DaxMapPositionI(0, 0));
    EXPECT_EQ(stepsOf(target.path_), Steps(15, DirXPlus));
    // A short path ends with the step into the building.
    need(2, 4, 5);
    RnFloodTarget near;
    RecordingFlood short_flood(near);
    EXPECT_TRUE(short_flood.floodFromStarts(near, kNobody, {DaxMapPositionI(0, 3)}, 30));
    EXPECT_EQ(stepsOf(near.path_), (Steps{DirXPlus, DirXPlus, DirYPlus}));
}

TEST_F(FloodTest, SearchStopsWhenNoBuildingFurtherOutCanWin) {
    // The building beside the start scores 100 / 1; road tile d has the
    // distance weight d / 8 + 1, so no building beside tile 73 or beyond
    // can score more (1000 / 10.125 < 100), while tile 72 (1000 / 10) is
    // still expanded.
    const int n = 80;
    draw({std::string(n, 'D'), std::string(n, '#'), "D"});
    need(0, 2, 100);
    for (int x = 1; x < n; ++x) need(x, 0, 1);
    RnFloodTarget target;
    RecordingFlood flood(target);
    EXPECT_TRUE(flood.floodFromStarts(target, kNobody, {DaxMapPositionI(0, 1)}, 200));
    EXPECT_EQ(target.target_oid_, oidAt(0, 2));
    EXPECT_FLOAT_EQ(flood.best_score_, 100.0f);
    uint16_t farthest = 0;
    for (const auto& s : flood.seen) farthest = std::max(farthest, s.dist);
    EXPECT_EQ(farthest, 73);  // the building beside tile 72
    EXPECT_FALSE(flood.saw(oidAt(73, 0)));
}

TEST_F(FloodTest, CostsGrowWithRoadAndHomeDistance) {
    // Home: a 2 by 2 building whose centre tile is (1, 0).
    FakeBuildingType& big = addFakeType(RnIdBldServ, 2, 2);
    draw({"......",
          "......",
          "###D..",
          "..##..",
          "...#D."});
    RnObjectID home = big.createBuilding(2, 1);
    need(3, 2, 300);
    need(4, 4, 300);
    grn_config.path_dist_weight_ = 0.5f;
    grn_config.path_home_weight_ = 0.25f;
    RnFloodTarget target;
    RecordingFlood flood(target);
    EXPECT_TRUE(flood.floodFromTile(target, home, DaxMapPositionI(0, 2), 10, 10));
    // (3, 2) beside road tile 2, 4 from the home centre:
    // (2 x 0.5 + 1) x (4 x 0.25 + 1); (4, 4) beside road tile 5, 7 from
    // the centre.
    EXPECT_FLOAT_EQ(flood.of(oidAt(3, 2)).cost, 2.0f * 2.0f);
    EXPECT_FLOAT_EQ(flood.of(oidAt(4, 4)).cost, 3.5f * 2.75f);
    EXPECT_EQ(target.target_oid_, oidAt(3, 2));
    EXPECT_FLOAT_EQ(flood.best_score_, 300.0f / 4.0f);
    // A sender's flood uses 1/8 per step and no home distance.
    RnFloodTarget t2;
    RecordingFlood sender(t2);
    EXPECT_TRUE(sender.floodFromStarts(t2, home, {DaxMapPositionI(0, 2)}, 10));
    EXPECT_FLOAT_EQ(sender.of(oidAt(4, 4)).cost, 5 * 0.125f + 1.0f);
}

TEST_F(FloodTest, ProductionFloodPicksBuildingAndGoods) {
    // Storages may be skipped; of several goods types the first of the
    // best score stays.
    draw({"T#D"});
    fake(0, 0).goods_need = {{1, 900}};
    fake(2, 0).goods_need = {{1, 100}, {2, 100}};
    const RnGoodsSet goods = {1, 2};
    for (bool storages : {true, false}) {
        RnFloodTargetProd target;
        RnFloodWalkerProd flood(target, DaxGameTime(0), goods, storages);
        EXPECT_TRUE(flood.floodFromStarts(target, kNobody, {DaxMapPositionI(1, 0)}, 10));
        EXPECT_EQ(target.target_oid_, storages ? oidAt(0, 0) : oidAt(2, 0));
        EXPECT_EQ(target.goods_type_, 1);
    }
    fake(2, 0).goods_need[2] = 101;
    RnFloodTargetProd target;
    RnFloodWalkerProd flood(target, DaxGameTime(0), goods, false);
    EXPECT_TRUE(flood.floodFromStarts(target, kNobody, {DaxMapPositionI(1, 0)}, 10));
    EXPECT_EQ(target.goods_type_, 2);
    EXPECT_EQ(target.amount_, 101);
}

// The flood entry points of the real building kinds.
class KindFloodTest : public FloodTest {
protected:
    void SetUp() override {
        FloodTest::SetUp();
        RnServType st;
        st.type_id_ = 300;
        st.walker_type_idx_ = 0;
        serv_type_ = grn_game.addServType(st);
        RnProdType pt;
        pt.type_id_ = 500;
        prod_type_ = grn_game.addProdType(pt);
        RnStorType stt;
        stt.type_id_ = 400;
        stt.distribute_goods_ = {kGoods};
        stor_type_ = grn_game.addStorType(stt);
    }
    int16_t serv_type_ = -1;
    int16_t prod_type_ = -1;
    int16_t stor_type_ = -1;
};

TEST_F(KindFloodTest, ServiceBuildingsFloodWithTheirWalkersReach) {
    // Houses at road distance 3 and 11 ask for the service type of the
    // building (its type index); the walker type's distance_to_return 10
    // bounds the search, its tiles_without_houses the houseless stretch.
    draw({"...H.......H",
          "............",
          "............"});
    for (int x = 0; x < 12; ++x) addRoad(x, 1);
    const RnServ& serv = grn_game.servByOid(grn_game.servType(serv_type_).createBuilding(0, 2));
    fake(3, 0).service_need[serv.oid_.type_idx_] = 10;
    fake(11, 0).service_need[serv.oid_.type_idx_] = 1000;
    RnFloodTarget target;
    EXPECT_TRUE(serv.findWalkerTarget(target, DaxGameTime(0), roadsAround(serv)));
    EXPECT_EQ(target.target_oid_, oidAt(3, 0));
    servWalkers().distance_to_return_ = 12;
    RnFloodTarget farther;
    EXPECT_TRUE(serv.findWalkerTarget(farther, DaxGameTime(0), roadsAround(serv)));
    EXPECT_EQ(farther.target_oid_, oidAt(11, 0));
    servWalkers().tiles_without_houses_ = 5;
    RnFloodTarget limited;
    EXPECT_TRUE(serv.findWalkerTarget(limited, DaxGameTime(0), roadsAround(serv)));
    EXPECT_EQ(limited.target_oid_, oidAt(3, 0));
}

TEST_F(KindFloodTest, ProductionTakesStoragesAStorageDoesNot) {
    draw({"T.D",
          "###",
          "..."});
    fake(0, 0).goods_need = {{kGoods, 500}};
    fake(2, 0).goods_need = {{kGoods, 100}};
    const RnProd& prod = grn_game.prodByOid(grn_game.prodType(prod_type_).createBuilding(0, 2));
    const RnStor& stor = grn_game.storByOid(grn_game.storType(stor_type_).createBuilding(2, 2));
    const RnGoodsSet goods = {kGoods};
    RnFloodTargetProd from_prod;
    EXPECT_TRUE(prod.findProdWalkerTarget(from_prod, DaxGameTime(0), roadsAround(prod), goods));
    EXPECT_EQ(from_prod.target_oid_, oidAt(0, 0));
    RnFloodTargetProd from_stor;
    EXPECT_TRUE(stor.findProdWalkerTarget(from_stor, DaxGameTime(0), roadsAround(stor), goods));
    EXPECT_EQ(from_stor.target_oid_, oidAt(2, 0));
    // prod_walker_range bounds the search: the building beside road tile 2
    // needs range 3.
    fake(0, 0).goods_need.clear();
    grn_game.prod_walker_range_ = 2;
    RnFloodTargetProd none;
    EXPECT_FALSE(prod.findProdWalkerTarget(none, DaxGameTime(0), roadsAround(prod), goods));
    grn_game.prod_walker_range_ = 3;
    EXPECT_TRUE(prod.findProdWalkerTarget(none, DaxGameTime(0), roadsAround(prod), goods));
}

TEST_F(KindFloodTest, NearStoragesAreTheFirstThatKeepTheGoods) {
    // Along the road from the service building: a storage of goods 0 and 1,
    // a ruin keeping everything, a storage of goods 2, and one of goods 3
    // beyond prod_walker_range.
    RnStorType& keeps01 = grn_game.storType(stor_type_);
    keeps01.distribute_goods_ = {0, 1};
    RnStorType all;
    all.type_id_ = 401;
    all.distribute_goods_ = {0, 1, 2, 3};
    int16_t all_idx = grn_game.addStorType(all);
    RnStorType keeps2 = all;
    keeps2.type_id_ = 402;
    keeps2.distribute_goods_ = {2};
    int16_t keeps2_idx = grn_game.addStorType(keeps2);
    RnStorType keeps3 = all;
    keeps3.type_id_ = 403;
    keeps3.distribute_goods_ = {3};
    int16_t keeps3_idx = grn_game.addStorType(keeps3);
    draw({std::string(12, '#'), std::string(12, '.')});
    const RnServ& serv = grn_game.servByOid(grn_game.servType(serv_type_).createBuilding(0, 1));
    RnObjectID s01 = grn_game.storType(stor_type_).createBuilding(3, 1);
    RnObjectID ruin = grn_game.storType(all_idx).createBuilding(2, 1);
    grn_game.storByOid(ruin).flags_ |= RnStorPersData::kDestroyed;
    RnObjectID s2 = grn_game.storType(keeps2_idx).createBuilding(5, 1);
    RnObjectID s3 = grn_game.storType(keeps3_idx).createBuilding(11, 1);
    grn_game.prod_walker_range_ = 8;

    const RnObjectID elsewhere(RnIdBldStor, 0, 77);
    std::map<int16_t, RnObjectID> goods = {{0, RnObjectID()}, {1, elsewhere}, {2, RnObjectID()}, {3, RnObjectID()}};
    EXPECT_EQ(serv.linkNearStorages(goods), 2);
    EXPECT_EQ(goods[0], s01);
    EXPECT_EQ(goods[1], elsewhere);  // linked before: kept
    EXPECT_EQ(goods[2], s2);
    EXPECT_EQ(goods[3], RnObjectID());
    grn_game.prod_walker_range_ = 12;
    EXPECT_EQ(serv.linkNearStorages(goods), 1);
    EXPECT_EQ(goods[3], s3);
}

TEST_F(KindFloodTest, HouseLevelsAreTheHighestReached) {
    RnHousType ht;
    ht.type_id_ = 200;
    ht.level_descs_.resize(6);
    int16_t first = grn_game.addHousType(ht);
    ht.type_id_ = 201;
    int16_t second = grn_game.addHousType(ht);
    // Road from the service building's tile (0, 0): houses of the first
    // type beside tiles 2 and 6, of the second beside tile 10.
    draw({std::string(12, '#'), std::string(12, '.')});
    const RnServ& serv = grn_game.servByOid(grn_game.servType(serv_type_).createBuilding(0, 1));
    auto house = [](int16_t type, int x, int level) {
        RnHous& h = grn_game.housByOid(grn_game.housType(type).createBuilding(x, 1));
        h.state_ = (h.state_ & ~RnHousPersData::kLevelMask) | static_cast<uint32_t>(level);
    };
    house(first, 2, 2);
    house(first, 6, 4);
    house(second, 10, 3);
    struct Case {
        uint16_t max_dist;
        uint16_t limit;
        std::vector<int16_t> levels;
    } cases[] = {
        {20, 0, {4, 3}},
        {7, 0, {4, 0}},
        {6, 0, {2, 0}},   // tile 6 is reached, not expanded
        {2, 0, {0, 0}},
        {20, 3, {2, 0}},  // tile 6 is the fourth after the house at tile 2
        {20, 4, {4, 3}},
        {0, 0, {0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> levels = {9, 9, 9};
        serv.floodHouseLevels(levels, c.max_dist, c.limit);
        EXPECT_EQ(levels, c.levels) << c.max_dist << "/" << c.limit;
    }
}

}  // namespace
