// The build order preview and the demolition selection.
#include "rn_bld_serv.h"
#include "rn_placement.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

void expectBox(const RnBoundingBox& b, int min_x, int max_x, int min_y, int max_y) {
    EXPECT_EQ(b.min_x_, min_x);
    EXPECT_EQ(b.max_x_, max_x);
    EXPECT_EQ(b.min_y_, min_y);
    EXPECT_EQ(b.max_y_, max_y);
}

TEST(PhantomListTest, EntriesCostAndBox) {
    RnPhantomList list;
    EXPECT_FALSE(list.isValid());
    expectBox(list.box(), -1, -1, -1, -1);
    EXPECT_EQ(list.imageAt(0, 0), -2);
    list.setType(RnIdBldRoad, 100);
    EXPECT_TRUE(list.isValid());
    list.add(7, 5, 3, 4);
    list.add(8, 5, 1, 6);
    list.add(9, 0, 3, 4);  // a second entry on the same tile: the first wins
    EXPECT_EQ(list.totalCost(), 10);
    expectBox(list.box(), 1, 3, 4, 6);
    EXPECT_EQ(list.imageAt(3, 4), 7);
    EXPECT_EQ(list.imageAt(1, 6), 8);
    EXPECT_EQ(list.imageAt(2, 5), -2);

    list.clearEntries();
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(list.totalCost(), 0);
    expectBox(list.box(), -1, -1, -1, -1);
    EXPECT_EQ(list.kind(), RnIdBldRoad);  // still armed
    EXPECT_EQ(list.typeId(), 100);

    list.clear();
    EXPECT_EQ(list.kind(), RnIdBldNone);
    EXPECT_EQ(list.typeId(), 0);
    list.setType(RnIdBldServ, 300);  // usable again
    EXPECT_EQ(list.kind(), RnIdBldServ);
}

TEST(PhantomListDeathTest, ArmingTwiceIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnPhantomList list;
    list.setType(RnIdBldRoad, 100);
    EXPECT_DEATH(list.setType(RnIdBldServ, 300), "rn_types:[0-9]+ bld_id_==RnIdBldNone");
}

TEST(SelectionTest, EachBuildingOnceWithItsFootprint) {
    RnServType type;
    type.width_ = 3;
    type.height_ = 2;
    type.cost_ = 50;
    type.demolition_cost_ = 10;
    RnSelection sel;
    EXPECT_FALSE(sel.isValid());
    sel.arm();
    EXPECT_TRUE(sel.isValid());
    RnObjectID a(RnIdBldServ, 0, 0), b(RnIdBldServ, 0, 1);
    sel.add(a, type, 10, 10);
    sel.add(a, type, 10, 10);
    EXPECT_EQ(sel.entries().size(), 1u);
    EXPECT_EQ(sel.totalCost(), 10);  // the demolition cost, counted once
    expectBox(sel.box(), 8, 10, 9, 10);
    sel.add(b, type, 4, 20);
    EXPECT_EQ(sel.totalCost(), 20);
    expectBox(sel.box(), 2, 10, 9, 20);
    EXPECT_TRUE(sel.contains(b));
    EXPECT_FALSE(sel.contains(RnObjectID(RnIdBldServ, 1, 1)));

    sel.clearEntries();
    EXPECT_TRUE(sel.isValid());
    EXPECT_EQ(sel.totalCost(), 0);
    expectBox(sel.box(), -1, -1, -1, -1);
    sel.clear();
    EXPECT_FALSE(sel.isValid());
}

}  // namespace
