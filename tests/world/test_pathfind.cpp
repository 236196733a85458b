// The road path finder and the plain building flood on hand-drawn road maps.
#include <vector>

#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

using Steps = std::vector<DaxDirection>;

class PathFinderTest : public WalkerTest {
protected:
    int find(RnPathCache& path, const DaxMapPositionI& start, const RnObjectID& target, uint16_t max_range) {
        const RnGenericBuilding& b = grn_game.buildingByOid(target);
        return findPathToBuilding(path, start, b, b.buildingType(), max_range);
    }
};

TEST_F(PathFinderTest, ResultsAtTheEdgesOfReach) {
    // A 2 by 2 site anchored at (5, 5) (radius 2): a road runs up to it from
    // below, another winds to its right side; the house has no road.
    draw({"............",
          "............",
          "......###...",
          "......#.#...",
          "......#.....",
          "............",
          ".....#......",
          ".....#......",
          ".....#......",
          "..........H."});
    const RnObjectID site = addFakeType(RnIdBldServ, 2, 2).createBuilding(5, 5);
    RnPathCache path;

    // Already beside it: result 1 and no path, whatever the range.
    for (uint16_t range : {0, 50}) {
        EXPECT_EQ(find(path, DaxMapPositionI(5, 6), site, range), 1);
        EXPECT_EQ(path.size(), 0);
    }
    // Range 0 adds only neighbours of the start closer to the anchor than
    // the radius: one step away, one tile from the anchor.
    EXPECT_EQ(find(path, DaxMapPositionI(5, 7), site, 0), 2);
    EXPECT_EQ(stepsOf(path), (Steps{DirYMinus}));
    EXPECT_EQ(find(path, DaxMapPositionI(5, 8), site, 0), 0);
    EXPECT_EQ(find(path, DaxMapPositionI(5, 8), site, 1), 2);
    EXPECT_EQ(stepsOf(path), (Steps{DirYMinus, DirYMinus}));
    // The winding road leaves the diamond of Manhattan radius 2 + range
    // around the anchor at (8, 2), six tiles out: range 4 is long enough for
    // its five steps but the bound cuts it; range 5 lets it through.
    EXPECT_EQ(find(path, DaxMapPositionI(8, 3), site, 4), 0);
    EXPECT_TRUE(loggedContaining("(  8,  2) dir=4 len=1 -> skip because bound"));
    EXPECT_EQ(find(path, DaxMapPositionI(8, 3), site, 5), 2);
    EXPECT_EQ(stepsOf(path), (Steps{DirYMinus, DirXMinus, DirXMinus, DirYPlus, DirYPlus}));
    // No road beside the house: no target tile at all.
    EXPECT_EQ(find(path, DaxMapPositionI(5, 8), oidAt(10, 9), 50), 0);
    // A start off the roads finds nothing.
    EXPECT_EQ(find(path, DaxMapPositionI(0, 0), site, 50), 0);
}

TEST_F(PathFinderTest, LongPathsAreCutToTheCache) {
    // A 4-wide site at the left end of a road of 31 tiles; the walker
    // starts at the far end, 30 steps from the tile beside the site.
    draw({std::string(4, '.') + std::string(31, '#')});
    const RnObjectID site = addFakeType(RnIdBldDeco, 4, 1).createBuilding(3, 0);
    const DaxMapPositionI start(34, 0);
    for (int max_steps : {16, 4}) {
        grn_config.max_path_cache_ = max_steps;
        RnPathCache path;
        EXPECT_EQ(find(path, start, site, 40), 2);
        EXPECT_EQ(stepsOf(path), Steps(static_cast<size_t>(max_steps), DirXMinus));
    }
    // Tiles are added up to one step beyond the range: 30 steps need 29.
    RnPathCache path;
    EXPECT_EQ(find(path, start, site, 28), 0);
    EXPECT_TRUE(loggedContaining("skip because max_range"));
    EXPECT_EQ(find(path, start, site, 29), 2);
}

TEST_F(PathFinderTest, EqualRoutesFollowTheDirectionOrder) {
    // Two routes of four steps around a block; direction 1 (+x) is tried
    // before direction 3 (+y), so the path starts along x.
    draw({"###.",
          "#.#.",
          "###H"});
    RnPathCache path;
    EXPECT_EQ(find(path, DaxMapPositionI(0, 0), oidAt(3, 2), 10), 2);
    EXPECT_EQ(stepsOf(path), (Steps{DirXPlus, DirXPlus, DirYPlus, DirYPlus}));
}

class BuildingFloodTest : public WalkerTest {
protected:
    struct Visit {
        RnObjectID oid;
        int dist;
        bool operator==(const Visit& o) const { return oid == o.oid && dist == o.dist; }
    };
    struct Recorder : RnMapFlooderVisitor {
        void visit(const RnObjectID& bld, int dist) override { seen.push_back({bld, dist}); }
        std::vector<Visit> seen;
    };
};

TEST_F(BuildingFloodTest, VisitsEachBuildingOnceWithinTheDistance) {
    // The builder B floods from its one road tile (1, 1); a 2-wide building
    // stands above the first two road tiles.
    FakeBuildingType& wide = addFakeType(RnIdBldDeco, 2, 1);
    draw({"....D.D.",
          "B#######",
          "..D.....",
          "B.......",
          "........"});
    RnObjectID pair = wide.createBuilding(2, 0);
    const RnGenericBuilding& builder = fake(0, 1);
    const std::vector<Visit> all = {{pair, 1}, {oidAt(2, 2), 2}, {oidAt(4, 0), 4}, {oidAt(6, 0), 6}};
    struct Case {
        uint16_t max_dist;
        size_t visits;
    } cases[] = {{0, 1}, {1, 1}, {2, 2}, {4, 3}, {5, 3}, {6, 4}, {50, 4}};
    for (const Case& c : cases) {
        Recorder rec;
        floodVisitBuildings(builder, c.max_dist, rec);
        EXPECT_EQ(rec.seen, std::vector<Visit>(all.begin(), all.begin() + static_cast<long>(c.visits)))
            << "max_dist " << c.max_dist;
    }
    // The second builder has no road: nothing is visited.
    Recorder none;
    floodVisitBuildings(fake(0, 3), 50, none);
    EXPECT_TRUE(none.seen.empty());
}

TEST_F(BuildingFloodTest, MaterialVisitorCollectsTheMaterials) {
    draw({"D#B#D"});
    fake(0, 0).materials = {3, 5};
    fake(4, 0).materials = {5, 7};
    fake(2, 0).materials = {9};  // the builder's own never count
    RnGoodsSet goods;
    RnMaterialNeededVisitor visitor(goods);
    floodVisitBuildings(fake(2, 0), 10, visitor);
    EXPECT_EQ(goods, (RnGoodsSet{3, 5, 7}));
}

}  // namespace
