// The tile map: size limit, fresh tiles, walker lists, footprint tests,
// building marks and the road tiles around a footprint.
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class MapTest : public WorldTest {
protected:
    RnObjectID nextOf(const RnObjectID& w) { return grn_game.walkerByOid(w).next_walker_; }
};

TEST_F(MapTest, SizeLimitIsCheckedIn64Bits) {
    struct Case {
        unsigned side;
        bool fits;
    };
    // 65536 * 65536 * 32 is 2^37: it wraps to 0 in 32 bits and would pass.
    const Case cases[] = {{5793, false}, {65536, false}, {0x80000000u, false}, {16, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        grn_map.createEmpty(4);
        std::string msg = raised([&] { grn_map.createEmpty(c.side); });
        if (c.fits) {
            EXPECT_EQ(msg, "");
            EXPECT_EQ(grn_map.size(), static_cast<int>(c.side));
        } else {
            EXPECT_EQ(msg, "map too large: " + std::to_string(c.side));
            EXPECT_EQ(grn_map.size(), 4);  // the old map stays
        }
    }
    // The largest side stays within the limit; a step further does not.
    EXPECT_LE(uint64_t(5792) * 5792 * sizeof(RnMapTile), RnMap::kMaxTileBytes);
    EXPECT_GT(uint64_t(5793) * 5793 * sizeof(RnMapTile), RnMap::kMaxTileBytes);
}

TEST_F(MapTest, FreshTilesAndClear) {
    grn_map.createEmpty(3);
    EXPECT_TRUE(loggedContaining("created new empty map of size 3"));
    const RnMapTile& t = grn_map.tile(2, 1);
    EXPECT_EQ(t.flags_, 7);
    EXPECT_EQ(t.terrain_idx_, -1);
    EXPECT_EQ(t.gnd_bmp_idx_, -2);
    EXPECT_EQ(t.second_bmp_idx_, -2);
    EXPECT_EQ(t.desirability_, 0);
    EXPECT_TRUE(t.isTileFree());
    EXPECT_TRUE(grn_map.isOnMap(2, 2));
    EXPECT_FALSE(grn_map.isOnMap(3, 0));
    EXPECT_FALSE(grn_map.isOnMap(-1, 0));
    EXPECT_FALSE(grn_map.isOnMap(DaxMapPositionI::none()));
    EXPECT_EQ(&grn_map.tile(DaxMapPositionF(1.9f, 0.2f)), &grn_map.tile(1, 0));
    grn_map.clear();
    EXPECT_EQ(grn_map.size(), 0);
}

// The tiles lie in one block, row after row as a save stores them, and a
// copy of the map holds tiles of its own.
TEST_F(MapTest, TilesLieRowByRowAndACopyHoldsItsOwn) {
    grn_map.createEmpty(300);  // 2.7 MiB: room in large pages
    EXPECT_EQ(&grn_map.tile(1, 0) - &grn_map.tile(0, 0), 300);
    EXPECT_EQ(&grn_map.tile(0, 299) + 1, &grn_map.tile(1, 0));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&grn_map.tile(0, 0)) % (uintptr_t(2) << 20), 0u);
    grn_map.tile(7, 9).desirability_ = 5;
    RnMap copy(grn_map);
    ASSERT_EQ(copy.size(), 300);
    EXPECT_NE(&copy.tile(7, 9), &grn_map.tile(7, 9));
    EXPECT_EQ(copy.tile(7, 9).desirability_, 5);
    copy.tile(7, 9).desirability_ = 6;
    EXPECT_EQ(grn_map.tile(7, 9).desirability_, 5);
    grn_map = copy;
    EXPECT_EQ(grn_map.tile(7, 9).desirability_, 6);
    copy.clear();
    EXPECT_EQ(grn_map.tile(7, 9).desirability_, 6);
    RnMap none;
    grn_map = none;
    EXPECT_EQ(grn_map.size(), 0);
}

TEST_F(MapTest, ResetToTerrainKeepsWalkersDesirabilityAndOtherBits) {
    makeMap(4);
    RnObjectID w = addWalker();
    RnMapTile& t = grn_map.tile(1, 1);
    t.addWalker(w);
    t.desirability_ = 17;
    t.flags_ = static_cast<uint16_t>(0x20 | kRnTileProdImage);  // bits 0-2 cleared, 4 and 5 set
    t.oid_ = RnObjectID(RnIdBldRoad, 0, 3);
    t.resetToTerrain();
    EXPECT_EQ(t.flags_, 0x20 | 7);
    EXPECT_TRUE(t.oid_.isNull());
    EXPECT_EQ(t.walker_head_, w);
    EXPECT_EQ(t.desirability_, 17);

    setTerrain(2, 2, kWater);  // nothing allowed on water
    EXPECT_EQ(grn_map.tile(2, 2).flags_, 0);
}

TEST_F(MapTest, WalkerListPushesFrontAndUnlinks) {
    makeMap(2);
    RnObjectID a = addWalker(), b = addWalker(), c = addWalker(), stranger = addWalker();
    RnMapTile& t = grn_map.tile(0, 0);
    t.addWalker(a);
    t.addWalker(b);
    t.addWalker(c);  // list: c b a
    EXPECT_EQ(t.walker_head_, c);
    EXPECT_FALSE(t.isTileFree());

    EXPECT_FALSE(t.removeWalker(stranger));
    EXPECT_EQ(t.walker_head_, c);
    EXPECT_EQ(nextOf(c), b);

    EXPECT_TRUE(t.removeWalker(b));  // middle
    EXPECT_EQ(nextOf(c), a);
    EXPECT_TRUE(nextOf(b).isNull());
    EXPECT_TRUE(t.removeWalker(c));  // head
    EXPECT_EQ(t.walker_head_, a);
    EXPECT_TRUE(t.removeWalker(a));  // the only one
    EXPECT_TRUE(t.walker_head_.isNull());
    EXPECT_EQ(t.walker_head_.bld_idx_, -1);
    EXPECT_TRUE(t.isTileFree());
}

TEST_F(MapTest, CanBuildAreaTests) {
    makeMap(6);
    setTerrain(4, 4, kOre);
    setTerrain(0, 5, kWater);
    RnObjectID w = addWalker();
    grn_map.tile(2, 2).addWalker(w);
    struct Case {
        const char* what;
        int x, y;
        int16_t w, h;
        bool occupied;
        uint16_t mask;
        bool expected;
    };
    const Case cases[] = {
        {"free grass", 1, 1, 2, 2, false, 0, true},
        {"off the map at the top left", 0, 0, 2, 1, false, 0, false},
        {"off the map at the bottom right", 6, 5, 1, 1, false, 0, false},
        {"walker on a tile", 2, 2, 1, 1, false, 0, false},
        {"walker allowed when occupied tiles are", 2, 2, 1, 1, true, 0, true},
        {"ore forbids buildings", 4, 4, 1, 1, false, 0, false},
        {"ore accepted for its resource", 5, 5, 2, 2, false, 1, true},
        {"water has no resource", 0, 5, 1, 1, false, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(grn_map.canBuildArea(c.x, c.y, c.w, c.h, c.occupied, c.mask), c.expected);
    }
    EXPECT_TRUE(grn_map.isAreaOnMap(1, 1, 2, 2));
    EXPECT_FALSE(grn_map.isAreaOnMap(0, 1, 2, 2));
}

TEST_F(MapTest, ResourceTests) {
    makeMap(6);
    setTerrain(2, 2, kOre);
    setTerrain(3, 2, kOre);
    // Partly: at least one tile on ore, the others allowing buildings.
    EXPECT_TRUE(grn_map.canBuildPartlyOnResource(1, 3, 3, 2, 2, false));
    EXPECT_FALSE(grn_map.canBuildPartlyOnResource(1, 1, 1, 2, 2, false));
    // On: every tile on ore.
    EXPECT_TRUE(grn_map.canBuildOnResource(1, 3, 2, 2, 1, false));
    EXPECT_FALSE(grn_map.canBuildOnResource(1, 3, 3, 2, 2, false));
    EXPECT_FALSE(grn_map.canBuildOnResource(2, 3, 2, 2, 1, false));  // another resource
    // Next to: buildable itself, ore beside a side.
    EXPECT_TRUE(grn_map.canBuildNextToResource(1, 3, 3, 2, 1, false));  // ore just above
    EXPECT_TRUE(grn_map.canBuildNextToResource(1, 1, 2, 1, 1, false));  // ore to the right
    EXPECT_FALSE(grn_map.canBuildNextToResource(1, 1, 1, 1, 1, false)); // only a corner touches
    EXPECT_FALSE(grn_map.canBuildNextToResource(1, 3, 2, 1, 1, false)); // standing on ore itself
}

TEST_F(MapTest, PlaceSetImagesAndReset) {
    makeMap(6);
    RnObjectID oid(RnIdBldServ, 0, 0);
    grn_map.placeBuilding(oid, 3, 4, 2, 3, "unknown_floor", nullptr);
    for (int x = 0; x < 6; ++x) {
        for (int y = 0; y < 6; ++y) {
            bool inside = x >= 2 && x <= 3 && y >= 2 && y <= 4;
            const RnMapTile& t = grn_map.tile(x, y);
            EXPECT_EQ(t.oid_ == oid, inside) << x << "," << y;
            EXPECT_EQ((t.flags_ & kRnTileWalkable) == 0, inside) << x << "," << y;
        }
    }
    EXPECT_EQ(grn_map.tile(3, 4).gnd_bmp_idx_, -2);  // an unregistered image is none
    grn_map.setBuildingImages(oid, 3, 4, 2, 3, nullptr, nullptr);
    grn_map.tile(2, 2).desirability_ = 5;
    grn_map.resetArea(3, 4, 2, 3);
    EXPECT_TRUE(grn_map.tile(2, 2).isTileFree());
    EXPECT_EQ(grn_map.tile(3, 4).flags_, 7);
    EXPECT_EQ(grn_map.tile(2, 2).desirability_, 5);
}

TEST_F(MapTest, AdjacentRoadsInScanOrder) {
    makeMap(5);
    auto road = [](int x, int y) { grn_map.tile(x, y).oid_ = RnObjectID(RnIdBldRoad, 0, x * 10 + y); };
    // Every side tile of the 2 by 2 footprint at anchor (2, 2), and corners.
    for (int x = 1; x <= 2; ++x) {
        road(x, 3);
        road(x, 0);
    }
    for (int y = 1; y <= 2; ++y) {
        road(3, y);
        road(0, y);
    }
    road(3, 3);
    road(0, 0);
    std::vector<DaxMapPositionI> out{DaxMapPositionI(9, 9)};
    grn_map.adjacentRoads(out, 2, 2, 2, 2);
    const std::vector<DaxMapPositionI> expected = {{2, 3}, {1, 3}, {2, 0}, {1, 0}, {3, 2}, {3, 1}, {0, 2}, {0, 1}};
    EXPECT_EQ(out, expected);

    // At the corner of the map the candidates off the map are skipped.
    grn_map.createEmpty(2);
    road(0, 1);
    road(1, 0);
    grn_map.adjacentRoads(out, 0, 0, 1, 1);
    EXPECT_EQ(out, (std::vector<DaxMapPositionI>{{0, 1}, {1, 0}}));
}

using MapDeathTest = MapTest;

TEST_F(MapDeathTest, PlacingOnAnOccupiedTileIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    makeMap(4);
    grn_map.tile(1, 1).oid_ = RnObjectID(RnIdBldRoad, 0, 0);
    EXPECT_DEATH(grn_map.placeBuilding(RnObjectID(RnIdBldServ, 0, 0), 2, 2, 2, 2, nullptr, nullptr),
                 "rn_map:[0-9]+ tile.isTileFree\\(\\)");
    EXPECT_DEATH(grn_map.setBuildingImages(RnObjectID(RnIdBldServ, 0, 0), 1, 1, 1, 1, nullptr, nullptr),
                 "tile.oid_ == oid");
}

}  // namespace
