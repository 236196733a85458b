// The game object: registration, clearing and reset, lookups, build orders,
// demolitions, the rectangle selection and the area effect.
#include <climits>

#include "rn_bld_deco.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class GameTest : public WorldTest {};

TEST_F(GameTest, RegistrationGivesIndicesInOrder) {
    for (int32_t id : {7, 3, 12}) grn_game.addGoodsType(RnGoodsType("g", id, 1, 1, -2));
    EXPECT_EQ(grn_game.goodsTypeIdx(7), 0);
    EXPECT_EQ(grn_game.goodsTypeIdx(3), 1);
    EXPECT_EQ(grn_game.goodsTypeIdx(12), 2);
    EXPECT_EQ(grn_game.goodsType(1).id_, 3);

    EXPECT_EQ(raised([] { grn_game.addGoodsType(RnGoodsType("dup", 3, 1, 1, -2)); }),
              "goods type 3 already defined");
    EXPECT_EQ(grn_game.goodsTypes().size(), 3u);
    EXPECT_EQ(grn_game.goodsType(1).name_, "g");

    // The same id in another table is no conflict.
    EXPECT_EQ(grn_game.addPeoplType(RnPeoplType(3, "workers")), 0);
}

TEST_F(GameTest, DuplicateMessagesNameTheirTable) {
    struct Case {
        const char* expected;
        void (*add)();
    };
    const Case cases[] = {
        {"resource 4 already defined", [] { grn_game.addResource(RnResource(4, "r", 1)); }},
        {"terrain 4 already defined",
         [] {
             const float c[4] = {0, 0, 0, 1};
             grn_game.addTerrain(RnTerrain("t", 4, "f", "", c, 0, true, true, true, true));
         }},
        {"people type 4 already defined", [] { grn_game.addPeoplType(RnPeoplType(4, "p")); }},
        {"road type 4 already defined", [] { addRoadType(4); }},
        {"service type 4 already defined", [] { addServType(4); }},
        {"deko type 4 already defined",
         [] {
             RnDecoType d;
             d.type_id_ = 4;
             grn_game.addDecoType(d);
         }},
        {"serv walker type 4 already defined",
         [] {
             RnWalkerServType w;
             w.type_id_ = 4;
             grn_game.addServWalkerType(w);
         }},
        {"prod walker type 4 already defined",
         [] {
             RnWalkerProdType w;
             w.type_id_ = 4;
             grn_game.addProdWalkerType(w);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        c.add();
        EXPECT_EQ(raised(c.add), c.expected);
    }
}

TEST_F(GameTest, FullTableRefusesBeforeInserting) {
    for (int32_t i = 0; i < RnTypeTable<RnResource>::kMaxRecords; ++i) grn_game.addResource(RnResource(i, "", 0));
    EXPECT_EQ(grn_game.resourceIdx(32766), 32766);
    EXPECT_EQ(raised([] { grn_game.addResource(RnResource(99999, "", 0)); }),
              "resource 99999 can't be added, there can only be 32767");
    EXPECT_EQ(grn_game.resources().size(), 32767u);
    EXPECT_EQ(raised([] { grn_game.resourceIdx(99999); }), "resource 99999 not found");
    // A known id is still reported as such.
    EXPECT_EQ(raised([] { grn_game.addResource(RnResource(5, "", 0)); }), "resource 5 already defined");
}

TEST_F(GameTest, ClearEmptiesTheWorldButKeepsTheMoney) {
    makeMap(8);
    addRoadType();
    addServType();
    grn_game.updateQueue().schedule(5, RnObjectID(RnIdScriptJob, 0, 0));
    grn_game.money_ = 1234;
    grn_game.setWorldLoaded(true);
    grn_game.clear();
    EXPECT_TRUE(grn_game.terrains().empty());
    EXPECT_TRUE(grn_game.resources().empty());
    EXPECT_TRUE(grn_game.roadTypes().empty());
    EXPECT_TRUE(grn_game.servTypes().empty());
    EXPECT_EQ(grn_game.findRoadTypeIdx(100), -1);
    EXPECT_TRUE(grn_game.updateQueue().empty());
    EXPECT_EQ(grn_map.size(), 0);
    EXPECT_TRUE(loggedContaining("game cleared"));
    EXPECT_EQ(grn_game.money_, 1234);
    EXPECT_FALSE(grn_game.isWorldLoaded());
}

TEST_F(GameTest, ClearTellsTheInterfaceToDropTheWorldsCursor) {
    struct CursorResets : RnUiServicesIfc {
        void setDefaultCursor() override { ++resets; }
        int resets = 0;
    } ui;
    grn_game.clear();  // no interface installed: nobody to tell
    grn_game.setUiServices(&ui);
    grn_game.clear();
    grn_game.setUiServices(nullptr);
    EXPECT_EQ(ui.resets, 1);
}

TEST_F(GameTest, ResetForNewGame) {
    setNow(5000);
    grn_game.money_ = 5;
    grn_game.population_ = 77;
    grn_game.map_range_desirability_ = 3;
    grn_game.hours_incr_desirability_ = 9;
    grn_game.autosave_month_ = 4;
    grn_game.saved_value_ = 8;
    grn_game.resetForNewGame("island", "my town");
    EXPECT_EQ(grn_game.map_name_, "island");
    EXPECT_EQ(grn_game.game_name_, "my town");
    EXPECT_EQ(grn_game.money_, 10000);
    EXPECT_EQ(grn_game.population_, 0u);
    EXPECT_EQ(grn_game.last_milestone_, 0u);
    EXPECT_EQ(grn_game.hours_incr_desirability_, 1);
    EXPECT_EQ(grn_game.hours_decr_desirability_, 1);
    EXPECT_EQ(grn_game.map_range_desirability_, 10);
    EXPECT_EQ(grn_game.autosave_month_, 0);
    EXPECT_EQ(grn_game.saved_value_, 0);
    EXPECT_EQ(dax_gameclock.gameTime().value(), 0u);
}

TEST_F(GameTest, TerrainMarksAreCleared) {
    makeMap(2);
    grn_game.terrain(kOre).flags_ |= kRnTerrainOnMap;
    grn_game.clearTerrainOnMapMarks();
    EXPECT_FALSE(grn_game.terrain(kOre).isOnMap());
    EXPECT_FALSE(grn_game.terrain(kOre).allowsBuildings());
    EXPECT_TRUE(grn_game.terrain(kOre).allowsRoads());
}

TEST_F(GameTest, LookupFailuresRaise) {
    makeMap(4);
    addRoadType();
    struct Case {
        const char* expected;
        void (*call)();
    };
    const Case cases[] = {
        {"building not found: [9:0,0]", [] { grn_game.buildingByOid(RnObjectID(9, 0, 0)); }},
        {"building not found: [1:0,3]", [] { grn_game.buildingByOid(RnObjectID(1, 0, 3)); }},
        {"building type not found: [12:0]", [] { grn_game.buildingType(RnObjectTypeID(12, 0)); }},
        // An index read from a file that names no record.
        {"building type not found: [1:5]", [] { grn_game.buildingType(RnObjectTypeID(1, 5)); }},
        {"walker not found: [21:0,0]", [] { grn_game.walkerByOid(RnObjectID(21, 0, 0)); }},
        {"walker not found: [16:0,0]", [] { grn_game.walkerByOid(RnObjectID(16, 0, 0)); }},
        {"walker type not found: [25:0]", [] { grn_game.walkerType(RnObjectTypeID(25, 0)); }},
        {"type index not found for type 17,99", [] { grn_game.typeIdxOfKey(17, 99); }},
        {"type index not found for type 40,100", [] { grn_game.typeIdxOfKey(40, 100); }},
        {"deko type 5 not found", [] { grn_game.decoTypeIdx(5); }},
        {"terrain 99 not found", [] { grn_game.terrainIdx(99); }},
        {"serv walker type 5 not found", [] { grn_game.servWalkerTypeIdx(5); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(raised(c.call), c.expected);
    }
    EXPECT_EQ(grn_game.typeIdxOfKey(RnIdBldRoad, 100), 0);
    RnWalkerServType wt;
    wt.type_id_ = 700;
    grn_game.addServWalkerType(wt);
    EXPECT_EQ(grn_game.typeIdxOfKey(RnIdWlkServ, 700), 0);
    EXPECT_EQ(raised([] { grn_game.typeIdxOfKey(RnIdWlkMrkt, 700); }), "type index not found for type 18,700");
    EXPECT_EQ(&grn_game.walkerType(RnObjectTypeID(RnIdWlkServ, 0)), &grn_game.servWalkerType(0));
    EXPECT_EQ(grn_game.findServTypeIdx(100), -1);
    EXPECT_EQ(grn_game.findBuildingType(RnIdBldRoad, 100), &grn_game.roadType(0));
    EXPECT_EQ(grn_game.findBuildingType(RnIdBldServ, 100), nullptr);
    EXPECT_EQ(grn_game.findBuildingTypeConst(9, 100), nullptr);
    EXPECT_EQ(grn_game.objectByOid(RnObjectID(RnIdScriptJob, 0, 0)), nullptr);
    EXPECT_EQ(grn_game.objectByOid(RnObjectID(RnIdBldRoad, 3, 0)), nullptr);
}

TEST_F(GameTest, ObjectsByIdAndAliveness) {
    makeMap(8);
    addRoadType();
    addServType();
    RnObjectID road = grn_game.roadType(0).createBuilding(1, 1);
    RnObjectID serv = grn_game.servType(0).createBuilding(4, 4);
    EXPECT_EQ(&grn_game.roadByOid(road), grn_game.objectByOid(road));
    EXPECT_EQ(&grn_game.servByOid(serv), &grn_game.buildingByOid(serv));
    EXPECT_EQ(grn_game.buildingTypeOfTile(grn_map.tile(3, 3)).typeId(), 300);
    EXPECT_TRUE(grn_game.isObjectAlive(road));
    EXPECT_TRUE(grn_game.isObjectAlive(serv));
    EXPECT_FALSE(grn_game.isObjectAlive(RnObjectID(RnIdBldRoad, 0, -1)));
    EXPECT_FALSE(grn_game.isObjectAlive(RnObjectID(RnIdBldRoad, 0, 1)));
    EXPECT_FALSE(grn_game.isObjectAlive(RnObjectID(RnIdBldRoad, 4, 0)));
    EXPECT_FALSE(grn_game.isObjectAlive(RnObjectID(RnIdScriptJob, 0, 0)));
    grn_game.servByOid(serv).flags_ |= RnServ::kDestroyed;  // a ruin
    EXPECT_FALSE(grn_game.isObjectAlive(serv));
    grn_game.roadType(0).removeBuilding(grn_map.tile(1, 1), 1, 1);
    EXPECT_FALSE(grn_game.isObjectAlive(road));
    EXPECT_EQ(grn_game.objectByOid(road), nullptr);
}

using GameDeathTest = GameTest;

TEST_F(GameDeathTest, ProgramErrorsAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(grn_game.buildingByOid(RnObjectID()), "rn_game_objects:[0-9]+ oid.isRoadOrBuilding\\(\\)");
    EXPECT_DEATH(grn_game.goodsType(0), "idx>=0 && \\(size_t\\)idx<goods_types_.size\\(\\)");
    EXPECT_DEATH(grn_game.housByOid(RnObjectID(RnIdBldRoad, 0, 0)), "oid.id\\(\\)==RnIdBldHous");
    EXPECT_DEATH(grn_game.walkerType(RnObjectTypeID(RnIdBldRoad, 0)), "otx.isWalker\\(\\)");
    RnSelection sel;
    EXPECT_DEATH(grn_game.selectBuildingsInRect(sel, 0, 0, 1, 1), "src\\\\rn_game:[0-9]+ selection.isValid\\(\\)");
}

class BuildTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(12);
        addRoadType();
        addServType();  // 2 by 2
    }
    RnObjectID build(int x, int y) { return grn_game.servType(0).createBuilding(x, y); }
    std::vector<RnObjectID> selected(const RnSelection& sel) {
        std::vector<RnObjectID> out;
        for (const auto& e : sel.entries()) out.push_back(e.oid_);
        return out;
    }
};

TEST_F(BuildTest, PreviewAndPlacement) {
    RnPhantomList list;
    list.setType(RnIdBldServ, 300);
    EXPECT_EQ(grn_game.addPhantom(list, 3, 3, 3, 3), 50);
    EXPECT_EQ(grn_game.addPhantom(list, 3, 3, 12, 3), -1);  // second corner off the map
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(grn_game.addPhantom(list, 0, 0, 0, 0), -1);   // footprint off the map: entry kept
    EXPECT_EQ(list.entries().size(), 1u);

    ASSERT_EQ(grn_game.addPhantom(list, 5, 5, 5, 5), 50);
    setNow(40);
    grn_game.placeBuildings(list, 5, 5);
    EXPECT_EQ(grn_game.money_, 10000 - 50);
    const RnObjectID oid(RnIdBldServ, 0, 0);
    EXPECT_EQ(grn_map.tile(4, 4).oid_, oid);
    DaxGameTime t;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(oid, t));
    EXPECT_EQ(t.value(), 40u);
    EXPECT_TRUE(loggedContaining("b: [3:0,0] at x=5,y=5 time=40"));

    // The tiles are taken now: the same preview fails, with its entry.
    EXPECT_EQ(grn_game.addPhantom(list, 5, 5, 5, 5), -1);
    EXPECT_EQ(list.entries().size(), 1u);

    RnPhantomList unknown;
    unknown.setType(RnIdBldServ, 999);
    EXPECT_EQ(grn_game.addPhantom(unknown, 5, 5, 5, 5), -1);
    grn_game.placeBuildings(unknown, 5, 5);
    EXPECT_EQ(grn_game.money_, 10000 - 50);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 1);
}

TEST_F(BuildTest, EntriesWhoseFootprintWasTakenSinceThePreviewAreSkipped) {
    // A building: a walker steps onto one of its four tiles after the preview.
    RnPhantomList house;
    house.setType(RnIdBldServ, 300);
    ASSERT_EQ(grn_game.addPhantom(house, 5, 5, 5, 5), 50);
    RnObjectID walker = addWalker();
    grn_map.tile(4, 5).addWalker(walker);
    setNow(40);
    grn_game.placeBuildings(house, 5, 5);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 0);
    EXPECT_EQ(grn_game.money_, 10000);
    EXPECT_TRUE(grn_game.updateQueue().empty());
    EXPECT_TRUE(grn_map.tile(5, 5).oid_.isNull());
    EXPECT_EQ(grn_map.tile(4, 5).walker_head_, walker);
    EXPECT_TRUE(loggedContaining("b: 5,5 is taken, nothing built"));

    // A dragged road: the walker's tile is left out, the rest is built and
    // paid for.
    RnPhantomList roads;
    roads.setType(RnIdBldRoad, 100);
    ASSERT_EQ(grn_game.addPhantom(roads, 2, 8, 5, 8), 4 * 5);
    grn_map.tile(4, 5).removeWalker(walker);
    grn_map.tile(3, 8).addWalker(walker);
    grn_game.placeBuildings(roads, 2, 8);
    EXPECT_EQ(grn_game.roadType(0).instanceCount(), 3);
    EXPECT_EQ(grn_game.money_, 10000 - 3 * 5);
    EXPECT_TRUE(grn_map.tile(3, 8).oid_.isNull());
    EXPECT_EQ(grn_map.tile(4, 8).oid_.kind_, RnIdBldRoad);
    EXPECT_EQ(grn_game.updateQueue().size(), 3u);
}

TEST_F(BuildTest, RectangleSelectionInEitherOrder) {
    RnObjectID a = build(2, 2), b = build(6, 3);
    RnObjectID road = grn_game.roadType(0).createBuilding(9, 9);
    RnSelection sel;
    sel.arm();
    EXPECT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 9, 9), 21);
    EXPECT_EQ(selected(sel), (std::vector<RnObjectID>{a, b, road}));
    RnSelection rev;
    rev.arm();
    EXPECT_EQ(grn_game.selectBuildingsInRect(rev, 9, 9, 0, 0), 21);
    std::vector<RnObjectID> r = selected(rev);
    std::sort(r.begin(), r.end(), RnGameUpdateQueue::OidLess());
    std::vector<RnObjectID> s = selected(sel);
    std::sort(s.begin(), s.end(), RnGameUpdateQueue::OidLess());
    EXPECT_EQ(r, s);
    // Anchors, not the tiles hit.
    EXPECT_EQ(rev.entries().back().x_, 2);
    EXPECT_EQ(rev.entries().back().y_, 2);

    EXPECT_EQ(grn_game.selectBuildingsInRect(sel, 1, 1, 1, 1), 10);  // one tile of a
    EXPECT_EQ(selected(sel), (std::vector<RnObjectID>{a}));
    EXPECT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 0, 0), 0);
    EXPECT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 12, 0), -1);
    EXPECT_EQ(grn_game.selectBuildingsInRect(sel, -1, 0, 3, 3), -1);
}

TEST_F(BuildTest, DemolitionRemovesAllAndChargesOnce) {
    RnObjectID a = build(2, 2), b = build(6, 3), c = build(9, 9);
    for (RnObjectID oid : {a, b, c}) grn_game.updateQueue().schedule(500, oid);
    RnSelection sel;
    sel.arm();
    ASSERT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 11, 11), 30);
    grn_game.demolishSelection(sel);
    EXPECT_EQ(grn_game.money_, 10000 - 30);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 0);
    EXPECT_TRUE(grn_game.updateQueue().empty());
    EXPECT_TRUE(grn_map.tile(1, 1).isTileFree());
    EXPECT_TRUE(loggedContaining("d: [3:0,1] at x=6,y=3 time=0"));
}

TEST_F(BuildTest, MoneyStopsAtTheEndsOfItsRange) {
    // Coffers near either end of what the game counts (a rich town, or a
    // save edited by hand): taxes and a demolition do not wrap them round.
    grn_game.money_ = INT32_MAX - 1;
    grn_game.tax_carry_ = 0.0;
    grn_game.bookTaxes(10.0);
    EXPECT_EQ(grn_game.money_, INT32_MAX);
    build(2, 2);
    grn_game.money_ = INT32_MIN + 5;
    RnSelection sel;
    sel.arm();
    ASSERT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 3, 3), 10);
    grn_game.demolishSelection(sel);
    EXPECT_EQ(grn_game.money_, INT32_MIN);
}

TEST_F(BuildTest, DemolitionSkipsStaleEntriesAndChargesWhatWasRemoved) {
    RnObjectID a = build(2, 2), b = build(6, 3), c = build(9, 9), e = build(3, 8);
    RnSelection sel;
    sel.arm();
    ASSERT_EQ(grn_game.selectBuildingsInRect(sel, 0, 0, 11, 11), 40);
    // b and e go before the order is carried out. The next building takes
    // b's freed slot, so it carries b's id, and covers b's anchor tile.
    grn_game.servType(0).removeBuilding(grn_map.tile(3, 8), 3, 8);
    grn_game.servType(0).removeBuilding(grn_map.tile(6, 3), 6, 3);
    RnObjectID d = build(7, 4);
    ASSERT_EQ(d, b);
    ASSERT_EQ(grn_map.tile(6, 3).oid_, d);
    grn_game.updateQueue().schedule(100, a);
    grn_game.demolishSelection(sel);
    EXPECT_FALSE(grn_game.isObjectAlive(a));
    EXPECT_FALSE(grn_game.isObjectAlive(c));  // entries after the stale ones still go
    EXPECT_FALSE(grn_game.isObjectAlive(e));
    EXPECT_TRUE(grn_game.isObjectAlive(d));   // not what the player selected
    EXPECT_EQ(grn_map.tile(7, 4).oid_, d);
    EXPECT_EQ(grn_game.money_, 10000 - 20);
    EXPECT_TRUE(grn_game.updateQueue().empty());
}

class DesirabilityTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(30);
        grn_game.hours_incr_desirability_ = 2;
        grn_game.hours_decr_desirability_ = 3;
    }
    static int16_t d(int x, int y) { return grn_map.tile(x, y).desirability_; }
};

TEST_F(DesirabilityTest, SpreadByDistanceAndRestore) {
    grn_game.spreadDesirability(0, 0, 50, 15, 15, 1, 1);
    EXPECT_EQ(d(15, 15), 0);   // own footprint
    EXPECT_EQ(d(16, 15), 50);  // d2 = 1: in full
    EXPECT_EQ(d(17, 17), 50);  // d2 = 8
    EXPECT_EQ(d(18, 15), 45);  // d2 = 9: 50 * 9 / 10
    EXPECT_EQ(d(15, 11), 26);  // d2 = 16: 50 * 9 / 17 = 26.47
    EXPECT_EQ(d(24, 15), 5);   // d2 = 81: 50 * 9 / 82 = 5.49
    EXPECT_EQ(d(25, 15), 0);   // d2 = 100 = r * r: out of range
    EXPECT_EQ(d(5, 15), 0);
    grn_game.spreadDesirability(0, 50, 0, 15, 15, 1, 1);
    for (int x = 0; x < 30; ++x) {
        for (int y = 0; y < 30; ++y) ASSERT_EQ(d(x, y), 0) << x << "," << y;
    }
    grn_game.spreadDesirability(0, 7, 7, 15, 15, 1, 1);  // no change: nothing touched
    EXPECT_EQ(d(16, 15), 0);

    // At the corners the tiles off the map are left out; the rest returns to 0.
    for (int anchor : {1, 29}) {  // 2 by 2 footprints in two corners
        SCOPED_TRACE(anchor);
        grn_game.spreadDesirability(0, 0, 50, anchor, anchor, 2, 2);
        EXPECT_EQ(d(anchor == 1 ? 2 : 27, anchor == 1 ? 2 : 27), 50);
        grn_game.spreadDesirability(0, 50, 0, anchor, anchor, 2, 2);
    }
    for (int x = 0; x < 30; ++x) {
        for (int y = 0; y < 30; ++y) ASSERT_EQ(d(x, y), 0) << x << "," << y;
    }
}

TEST_F(DesirabilityTest, FootprintCentreAndRange) {
    grn_game.map_range_desirability_ = 4;
    grn_game.spreadDesirability(0, 0, 20, 10, 10, 3, 2);  // covers 8..10 by 9..10, centre (9, 9.5)
    for (int x = 8; x <= 10; ++x) {
        for (int y = 9; y <= 10; ++y) EXPECT_EQ(d(x, y), 0);
    }
    EXPECT_EQ(d(7, 9), 20);   // d2 = 4.25
    EXPECT_EQ(d(11, 10), 20);
    EXPECT_EQ(d(9, 12), 20);  // d2 = 6.25
    EXPECT_EQ(d(9, 7), 20);
    EXPECT_EQ(d(12, 10), 17); // d2 = 9.25: 20 * 9 / 10.25 = 17.56, truncated
    EXPECT_EQ(d(6, 9), 17);
    EXPECT_EQ(d(9, 13), 13);  // d2 = 12.25: 13.58
    EXPECT_EQ(d(13, 10), 0);  // d2 = 16.25 >= 16
    EXPECT_EQ(d(9, 14), 0);
}

TEST_F(DesirabilityTest, BuildingsOnChangedTilesAreWoken) {
    addRoadType();
    grn_game.map_range_desirability_ = 2;
    RnObjectID road = grn_game.roadType(0).createBuilding(16, 15);
    grn_game.updateQueue().clear();
    RnRoad& r = grn_game.roadByOid(road);
    r.state_bits_ = 0;
    setNow(100);
    grn_game.spreadDesirability(100, 0, 10, 15, 15, 1, 1);
    EXPECT_EQ(d(16, 15), 10);
    EXPECT_NE(r.state_bits_ & RnRoadPersData::kAttrPending, 0);
    EXPECT_EQ(r.t_attr_.value(), 100u + 2 * 12);
    DaxGameTime t;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(road, t));
    EXPECT_EQ(t.value(), 124u);

    r.state_bits_ = 0;
    grn_game.spreadDesirability(100, 10, 0, 15, 15, 1, 1);  // a decrease uses its own delay
    EXPECT_EQ(r.t_attr_.value(), 100u + 3 * 12);
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(road, t));
    EXPECT_EQ(t.value(), 124u);  // the earlier job stays
}

}  // namespace
