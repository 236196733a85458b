// A small world from start to end: a dragged road and a building are placed,
// the clock runs the world through the per-tick update, and both are
// demolished again; money, tiles and the queue end as they should.
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class WorldFlowTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        dax_gameclock.reset();
        makeMap(16);
        addRoadType();                  // cost 5, demolition 1, own desirability 3/2/1 by level
        addServType(300, 2, 2, 5);      // cost 50, demolition 10, own desirability 5
        grn_game.setWorldLoaded(true);
    }
    // Runs the clock and the world for some game hours, one logic tick at a
    // time as the game loop does.
    static void runHours(int hours) {
        DaxGameTime end = dax_gameclock.gameTime();
        end.addHours(static_cast<float>(hours));
        while (dax_gameclock.gameTime().value() < end.value()) {
            dax_gameclock.tick();
            grn_game.update();
        }
    }
    static int roadsAtLevel(int level) {
        int n = 0;
        for (const RnRoad& r : grn_game.roadType(0).instances_) n += r.cur_level_ == level ? 1 : 0;
        return n;
    }
};

TEST_F(WorldFlowTest, BuildRunAndDemolish) {
    // Drag a road from (2, 2) to (8, 5): along x first, then along y.
    RnPhantomList roads;
    roads.setType(RnIdBldRoad, 100);
    ASSERT_EQ(grn_game.addPhantom(roads, 2, 2, 8, 5), 10 * 5);
    grn_game.placeBuildings(roads, 2, 2);
    EXPECT_EQ(grn_game.roadType(0).instanceCount(), 10);
    EXPECT_EQ(grn_map.tile(8, 5).oid_.kind_, RnIdBldRoad);
    EXPECT_EQ(grn_map.tile(5, 2).oid_.kind_, RnIdBldRoad);
    EXPECT_TRUE(grn_map.tile(2, 3).isTileFree());

    RnPhantomList house;
    house.setType(RnIdBldServ, 300);
    ASSERT_EQ(grn_game.addPhantom(house, 6, 4, 6, 4), 50);
    grn_game.placeBuildings(house, 6, 4);
    const RnObjectID serv(RnIdBldServ, 0, 0);
    EXPECT_EQ(grn_map.tile(5, 3).oid_, serv);
    EXPECT_EQ(grn_game.money_, 10000 - 50 - 50);
    std::vector<DaxMapPositionI> access;
    grn_map.adjacentRoads(access, 6, 4, 2, 2);
    EXPECT_FALSE(access.empty());
    EXPECT_EQ(grn_game.updateQueue().size(), 11u);  // every new object woken now

    // New roads start at level 2; their tiles do not deserve it, so their
    // first update takes them down to level 0.
    EXPECT_EQ(roadsAtLevel(2), 10);
    runHours(6);
    EXPECT_EQ(roadsAtLevel(0), 10);
    EXPECT_TRUE(grn_game.updateQueue().empty());  // everything settled, nobody asks to be woken
    EXPECT_NE(grn_map.tile(7, 3).desirability_, 0);

    // Demolish everything in one rectangle.
    RnSelection sel;
    sel.arm();
    ASSERT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 15, 15), 10 * 1 + 10);
    grn_game.demolishSelection(sel);
    EXPECT_EQ(grn_game.money_, 10000 - 100 - 20);
    // Removing a building wakes its neighbours; those that went too took
    // their wake-ups with them.
    EXPECT_TRUE(grn_game.updateQueue().empty());
    EXPECT_EQ(grn_game.roadType(0).instanceCount(), 0);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 0);
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 16; ++y) {
            const RnMapTile& t = grn_map.tile(x, y);
            ASSERT_TRUE(t.isTileFree()) << x << "," << y;
            ASSERT_EQ(t.desirability_, 0) << x << "," << y;
            ASSERT_EQ(t.flags_, 7) << x << "," << y;
        }
    }
    runHours(2);
    EXPECT_TRUE(grn_game.updateQueue().empty());
}

}  // namespace
