// Instance list with free slots: stable indices, reuse last freed first,
// refused access to free slots, iteration over the slots in use, copying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nex/appendablewithfreelist.h"
#include "nex_test_util.h"

namespace {

struct Obj {
    int32_t id = 0;
    std::string name;
};

using List = nex::AppendableWithFreeList<Obj>;

std::vector<int32_t> indicesOf(const List& list) {
    std::vector<int32_t> out;
    for (auto it = list.begin(); it != list.end(); ++it) {
        EXPECT_EQ(it->id, it.index());
        out.push_back(it.index());
    }
    return out;
}

}  // namespace

TEST(AppendableWithFreeList, ReusesTheLastFreedSlotFirst) {
    List list;
    EXPECT_EQ(list.add(Obj{0, "a"}), 0);
    EXPECT_EQ(list.add(Obj{1, "b"}), 1);
    EXPECT_EQ(list.add(Obj{2, "c"}), 2);
    list.remove(1);
    list.remove(0);
    EXPECT_EQ(list.liveCount(), 1);
    EXPECT_EQ(list.freeCount(), 2);
    EXPECT_EQ(list.add(Obj{0, "d"}), 0);
    EXPECT_EQ(list.add(Obj{1, "e"}), 1);
    EXPECT_EQ(list.size(), 3);
    EXPECT_EQ(list.freeCount(), 0);
    EXPECT_EQ(list.add(Obj{3, "f"}), 3);
    EXPECT_EQ(list[0].name, "d");
    EXPECT_EQ(list[1].name, "e");
    EXPECT_EQ(list[2].name, "c");
}

TEST(AppendableWithFreeList, ElementsStayInPlaceAcrossBlocks) {
    List list;
    for (int32_t i = 0; i < 200; ++i) ASSERT_EQ(list.add(Obj{i, ""}), i);
    const Obj* p5 = &list[5];
    for (int32_t i = 199; i >= 60; i -= 3) list.remove(i);
    for (int32_t i = 0; i < 300; ++i) list.add(Obj{-1, ""});
    EXPECT_EQ(&list[5], p5);
    EXPECT_EQ(list.liveCount(), 200 - 47 + 300);
    EXPECT_EQ(list.size(), 200 + 300 - 47);
}

TEST(AppendableWithFreeList, FreeAndOutOfRangeSlotsAreRefused) {
    List list;
    for (int32_t i = 0; i < 5; ++i) list.add(Obj{i, "x"});
    list.remove(3);
    const List& clist = list;
    struct Case {
        int32_t index;
        bool viaConst;
        std::string expected;
    };
    const Case cases[] = {
        {3, false, "nex\\appendablewithfreelist.h line 79: 16103 index 3 out of range (0-5)"},
        {3, true, "nex\\appendablewithfreelist.h line 85: 16103 index 3 out of range (0-5)"},
        {-1, false, "nex\\appendablewithfreelist.h line 79: 16103 index -1 out of range (0-5)"},
        {5, true, "nex\\appendablewithfreelist.h line 85: 16103 index 5 out of range (0-5)"},
    };
    for (const Case& c : cases) {
        NexThrown t = nexCatch([&] {
            if (c.viaConst) (void)clist[c.index];
            else (void)list[c.index];
        });
        EXPECT_EQ(t.text, c.expected);
    }
    EXPECT_FALSE(list.isUsed(3));
    EXPECT_TRUE(list.isUsed(4));
    EXPECT_EQ(nexCatch([&] { (void)list.isUsed(5); }).text,
              "nex\\tappend.h line 143: 16103 index 5 out of range (0-5)");
    EXPECT_EQ(nexCatch([&] { list.remove(-1); }).text,
              "nex\\tappend.h line 150: 16103 index -1 out of range (0-5)");
}

// Freeing a slot twice used to push it on the free list twice, so two later
// objects got the same instance index.
TEST(AppendableWithFreeList, RemovingAFreeSlotIsRefused) {
    List list;
    for (int32_t i = 0; i < 4; ++i) list.add(Obj{i, ""});
    list.remove(2);
    NexThrown t = nexCatch([&] { list.remove(2); });
    EXPECT_EQ(t.code, 16103);
    EXPECT_EQ(t.text, "nex\\appendablewithfreelist.h line 92: 16103 index 2 out of range (0-4)");
    EXPECT_EQ(list.liveCount(), 3);
    EXPECT_EQ(list.freeCount(), 1);
    int32_t a = list.add(Obj{});
    int32_t b = list.add(Obj{});
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 4);
}

TEST(AppendableWithFreeList, RemovedObjectIsLeftUntouched) {
    List list;
    list.add(Obj{0, "kept"});
    list.remove(0);
    EXPECT_EQ(list.slots()[0].value.name, "kept");
    EXPECT_EQ(list.slots()[0].flags & List::kUsedBit, 0u);
    list.add(Obj{7, "new"});
    EXPECT_EQ(list.slots()[0].flags, List::kInUse);
    EXPECT_EQ(list[0].name, "new");
}

TEST(AppendableWithFreeList, IteratesTheSlotsInUseInIndexOrder) {
    List list;
    EXPECT_TRUE(list.begin() == list.end());
    for (int32_t i = 0; i < 130; ++i) list.add(Obj{i, ""});
    std::vector<int32_t> expected;
    for (int32_t i = 0; i < 130; ++i) {
        if (i % 3 == 0 || i == 129) list.remove(i);
        else expected.push_back(i);
    }
    EXPECT_EQ(indicesOf(list), expected);
    for (Obj& o : list) o.name = "seen";
    EXPECT_EQ(list[1].name, "seen");

    for (int32_t i : expected) list.remove(i);
    EXPECT_EQ(list.liveCount(), 0);
    EXPECT_TRUE(list.begin() == list.end());
    const List& clist = list;
    EXPECT_TRUE(clist.begin() == clist.end());
}

TEST(AppendableWithFreeList, CopyKeepsSlotsAndFreeChain) {
    List list;
    for (int32_t i = 0; i < 70; ++i) list.add(Obj{i, std::to_string(i)});
    list.remove(10);
    list.remove(65);
    List copy(list);
    EXPECT_EQ(copy.liveCount(), 68);
    EXPECT_EQ(copy.size(), 70);
    EXPECT_EQ(indicesOf(copy), indicesOf(list));
    EXPECT_EQ(copy[64].name, "64");
    EXPECT_EQ(copy.add(Obj{65, "x"}), 65);
    EXPECT_EQ(copy.add(Obj{10, "y"}), 10);
    EXPECT_FALSE(list.isUsed(65));

    List assigned;
    assigned.add(Obj{0, "old"});
    assigned = list;
    EXPECT_EQ(assigned.liveCount(), 68);
    EXPECT_EQ(assigned.add(Obj{}), 65);

    list.clear();
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.liveCount(), 0);
    EXPECT_EQ(list.add(Obj{0, ""}), 0);
}
