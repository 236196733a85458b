// Block list and bag: growth without moving elements, the block table's
// growth steps, resizing, range checks and copying.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nex/tappend.h"
#include "nex/tbag.h"
#include "nex_test_util.h"

namespace {

// A record whose default is not all zeros, like one holding a null object id.
struct Rec {
    int16_t kind = 0;
    int16_t type = -1;
    int32_t index = -1;
};

}  // namespace

TEST(Tappend, GrowsBlockByBlockWithoutMovingElements) {
    nex::tappend<int32_t, 128> list;
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.capacity(), 0);
    EXPECT_EQ(list.blockCount(), 0);
    for (int32_t i = 0; i < 128; ++i) list.append(i);
    EXPECT_EQ(list.blockCount(), 1);
    const int32_t* first = &list[0];
    list.append(128);
    EXPECT_EQ(list.blockCount(), 2);
    EXPECT_EQ(list.capacity(), 256);
    EXPECT_EQ(&list[0], first);
    for (int32_t i = 0; i < 5000; ++i) list.append(129 + i);
    EXPECT_EQ(&list[0], first);
    for (int32_t i = 0; i < list.size(); ++i) ASSERT_EQ(list[i], i);
}

TEST(Tappend, BlockTableDoublesThenGrowsLinearly) {
    nex::tappend<uint8_t, 1> list;
    std::vector<int32_t> steps;
    for (int32_t b = 0; b < 262145; ++b) {
        list.grow();
        if (steps.empty() || steps.back() != list.tableCapacity()) steps.push_back(list.tableCapacity());
    }
    std::vector<int32_t> expected;
    for (int32_t c = 2; c <= 131072; c *= 2) expected.push_back(c);
    expected.push_back(262144);
    expected.push_back(393216);
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(list.capacity(), 262145);
}

TEST(Tappend, NewSlotsHoldDefaultValues) {
    nex::tappend<Rec, 64> recs;
    recs.resize(70);
    for (int32_t i = 0; i < 70; ++i) {
        ASSERT_EQ(recs[i].kind, 0);
        ASSERT_EQ(recs[i].type, -1);
        ASSERT_EQ(recs[i].index, -1);
    }
    nex::tappend<double, 16> zeros;
    zeros.resize(20);
    for (double d : zeros) EXPECT_EQ(d, 0.0);
}

TEST(Tappend, ResizeShrinkGrowAndFree) {
    nex::tappend<int32_t, 4> list(6, 7);
    EXPECT_EQ(list.size(), 6);
    EXPECT_EQ(list.capacity(), 8);
    list.resize(2);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.capacity(), 8);  // blocks are kept
    list.resizeFill(5, 9);
    EXPECT_EQ(list[1], 7);
    EXPECT_EQ(list[2], 9);
    EXPECT_EQ(list[4], 9);
    list.resizeFill(3, 1);  // shrinking assigns nothing
    EXPECT_EQ(list[2], 9);
    list.reserve(17);
    EXPECT_EQ(list.capacity(), 20);
    EXPECT_EQ(list.size(), 3);
    list.resize(-1);
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.capacity(), 0);
    EXPECT_EQ(list.blockCount(), 0);
    EXPECT_EQ(list.tableCapacity(), 0);
    list.append(3);
    EXPECT_EQ(list[0], 3);
}

TEST(Tappend, IndexArithmeticOfBlocksThatAreNoPowerOfTwo) {
    nex::tappend<int32_t, 3> list;
    for (int32_t i = 0; i < 100; ++i) list.append(i * 2);
    EXPECT_EQ(list.blockCount(), 34);
    for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(list[i], i * 2);
    EXPECT_EQ(nex::tappend<int32_t>::kShift, 7);
    EXPECT_EQ((nex::tappend<int32_t, 64>::kShift), 6);
    EXPECT_EQ((nex::tappend<int32_t, 3>::kShift), 0);
}

TEST(Tappend, EveryAccessorChecksItsRange) {
    nex::tappend<int32_t, 4> list(5, 0);
    const auto& clist = list;
    struct Case {
        const char* what;
        std::function<void(int32_t)> access;
        int line;
    };
    const Case cases[] = {
        {"operator[]", [&](int32_t i) { (void)list[i]; }, 143},
        {"const operator[]", [&](int32_t i) { (void)clist[i]; }, 150},
        {"at", [&](int32_t i) { (void)list.at(i); }, 157},
        {"const at", [&](int32_t i) { (void)clist.at(i); }, 164},
        {"iterator", [&](int32_t i) { (void)*nex::tappend<int32_t, 4>::iterator(&list, i); }, 150},
    };
    for (const Case& c : cases) {
        for (int32_t bad : {-1, 5, 1000}) {
            NexThrown t = nexCatch([&] { c.access(bad); });
            ASSERT_TRUE(t.thrown) << c.what << " " << bad;
            EXPECT_EQ(t.code, 16103);
            EXPECT_EQ(t.text, "nex\\tappend.h line " + std::to_string(c.line) + ": 16103 index " +
                                  std::to_string(bad) + " out of range (0-5)")
                << c.what;
        }
        EXPECT_NO_THROW(c.access(0));
        EXPECT_NO_THROW(c.access(4));
    }
    EXPECT_EQ(list.size(), 5);
    nex::tappend<int32_t, 4> empty;
    EXPECT_THROW(empty.removeLast(), tExRange);
}

TEST(Tappend, CopyAssignmentCopiesBlockByBlock) {
    nex::tappend<int32_t, 8> a;
    for (int32_t i = 0; i < 21; ++i) a.append(i);
    nex::tappend<int32_t, 8> b(40, -5);
    b = a;
    EXPECT_EQ(b.size(), 21);
    for (int32_t i = 0; i < 21; ++i) ASSERT_EQ(b[i], i);
    b[0] = 99;
    EXPECT_EQ(a[0], 0);

    const int32_t* before = &a[0];
    nex::tappend<int32_t, 8>& self = a;
    a = self;
    EXPECT_EQ(&a[0], before);
    EXPECT_EQ(a.size(), 21);

    nex::tappend<int32_t, 8> c(a);
    EXPECT_EQ(c.size(), 21);
    EXPECT_EQ(c[20], 20);
    EXPECT_NE(&c[0], &a[0]);

    nex::tappend<int32_t, 8> d(std::move(c));
    EXPECT_EQ(d.size(), 21);
    EXPECT_EQ(c.size(), 0);  // NOLINT: moved-from list is empty
    c.append(1);
    EXPECT_EQ(c[0], 1);
}

TEST(Tappend, RangeForVisitsElementsInOrder) {
    nex::tappend<int32_t, 2> list;
    for (int32_t i = 0; i < 7; ++i) list.append(i);
    int32_t expected = 0;
    for (int32_t v : list) EXPECT_EQ(v, expected++);
    EXPECT_EQ(expected, 7);
    for (int32_t& v : list) v *= 10;
    EXPECT_EQ(list[6], 60);
}

TEST(Tbag, RemoveMovesTheLastElementIntoTheHole) {
    nex::tbag<int32_t> bag;
    for (int32_t v : {10, 11, 12, 13}) bag.append(v);
    bag.remove(1);
    ASSERT_EQ(bag.size(), 3);
    EXPECT_EQ(bag[0], 10);
    EXPECT_EQ(bag[1], 13);
    EXPECT_EQ(bag[2], 12);
    bag.remove(2);  // the last one: nothing moves
    ASSERT_EQ(bag.size(), 2);
    EXPECT_EQ(bag[1], 13);
    bag.remove(0);
    bag.remove(0);
    EXPECT_EQ(bag.size(), 0);
}

TEST(Tbag, RemoveChecksItsIndex) {
    nex::tbag<int32_t> bag;
    NexThrown t = nexCatch([&] { bag.remove(0); });
    EXPECT_EQ(t.text, "nex\\tbag.h line 51: 16103 index 0 out of range (0-0)");
    bag.append(1);
    bag.append(2);
    t = nexCatch([&] { bag.remove(2); });
    EXPECT_EQ(t.text, "nex\\tappend.h line 143: 16103 index 2 out of range (0-2)");
    t = nexCatch([&] { bag.remove(-1); });
    EXPECT_EQ(t.code, 16103);
    EXPECT_EQ(bag.size(), 2);
    EXPECT_EQ(bag[1], 2);
}
