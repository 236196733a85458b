// Index list: id order, reuse order, ignored frees and the ring.
#include <gtest/gtest.h>

#include <vector>

#include "nex/tgraph.h"
#include "nex_test_util.h"

namespace {

std::vector<int32_t> ring(const nex::tIndexList& list) {
    std::vector<int32_t> ids;
    for (int32_t id = list.next(0); id != 0; id = list.next(id)) ids.push_back(id);
    // The ring must read the same backwards.
    std::vector<int32_t> back;
    for (int32_t id = list.prev(0); id != 0; id = list.prev(id)) back.insert(back.begin(), id);
    EXPECT_EQ(ids, back);
    return ids;
}

}  // namespace

TEST(IndexList, FreshListInitialisesOnFirstUse) {
    nex::tIndexList list;
    EXPECT_FALSE(list.isInitialised());
    EXPECT_EQ(list.next(0), 0);
    EXPECT_EQ(list.limit(), 0);
    EXPECT_FALSE(list.isValid(0));
    EXPECT_FALSE(list.isValid(1));
    EXPECT_TRUE(list.verify());
    list.init();
    EXPECT_EQ(list.limit(), 1);
    EXPECT_EQ(list.used(), 0);
    NexThrown t = nexCatch([&] { list.init(); });
    EXPECT_EQ(t.code, 16001);
    EXPECT_EQ(t.text, "nex\\tgraph line 59: 16001 ");

    nex::tIndexList lazy;
    EXPECT_EQ(lazy.append(), 1);
    EXPECT_EQ(lazy.limit(), 2);
    EXPECT_TRUE(lazy.verify());
}

TEST(IndexList, FreedIdsAreReusedLastFreedFirst) {
    nex::tIndexList list;
    for (int32_t i = 1; i <= 3; ++i) EXPECT_EQ(list.append(), i);
    list.free(2);
    EXPECT_FALSE(list.isValid(2));
    EXPECT_EQ(list.append(), 2);
    EXPECT_EQ(ring(list), (std::vector<int32_t>{1, 3, 2}));

    list.free(1);
    list.free(3);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.freeCount(), 2);
    EXPECT_EQ(list.append(), 3);
    EXPECT_EQ(list.append(), 1);
    EXPECT_EQ(list.append(), 4);
    EXPECT_EQ(ring(list), (std::vector<int32_t>{2, 3, 1, 4}));
    EXPECT_EQ(list.used(), 4);
    EXPECT_TRUE(list.verify());
}

TEST(IndexList, InsertLinksBeforeOrAfter) {
    nex::tIndexList list;
    int32_t a = list.append();
    int32_t b = list.append();
    int32_t c = list.insert(a, true);
    int32_t d = list.insert(a, false);
    int32_t e = list.insert(0, true);  // after the sentinel: the new first
    EXPECT_EQ(ring(list), (std::vector<int32_t>{e, d, a, c, b}));
    EXPECT_TRUE(list.verify());
    // Linking next to a freed id would splice the free chain into the ring.
    list.free(c);
    NexThrown t = nexCatch([&] { list.insert(c, true); });
    EXPECT_EQ(t.code, 16103);
    EXPECT_EQ(nexCatch([&] { list.insert(99, false); }).code, 16103);
    EXPECT_EQ(ring(list), (std::vector<int32_t>{e, d, a, b}));
    EXPECT_TRUE(list.verify());
}

// Freeing 0, an unknown id or an id that is already free used to write
// through index -1 or put the id on the free chain twice; it changes nothing.
TEST(IndexList, FreeOfInvalidIdsChangesNothing) {
    nex::tIndexList list;
    for (int32_t i = 0; i < 4; ++i) list.append();
    list.free(3);
    const nex::tIndexList::Head_ before = list.head();
    for (int32_t id : {0, 3, -1, 4 + 1, 1000}) {
        list.free(id);
        EXPECT_EQ(list.count(), before.count_) << id;
        EXPECT_EQ(list.freeCount(), before.free_count_) << id;
        EXPECT_EQ(list.head().free_head_, before.free_head_) << id;
    }
    EXPECT_EQ(ring(list), (std::vector<int32_t>{1, 2, 4}));
    EXPECT_TRUE(list.verify());
    EXPECT_EQ(list.append(), 3);
    EXPECT_EQ(list.append(), 5);
}

TEST(IndexList, ClearStartsOverWithOrWithoutReleasingMemory) {
    for (bool release : {false, true}) {
        nex::tIndexList list;
        for (int32_t i = 0; i < 300; ++i) list.append();
        list.free(7);
        list.clear(release);
        EXPECT_EQ(list.count(), 0);
        EXPECT_EQ(list.limit(), 1);
        EXPECT_EQ(list.next(0), 0);
        EXPECT_EQ(list.links().capacity(), release ? 128 : 384);
        EXPECT_EQ(list.append(), 1);
        EXPECT_EQ(list.append(), 2);
        EXPECT_TRUE(list.verify());
    }
}

TEST(IndexList, VerifyFindsDamagedLinks) {
    nex::tIndexList list;
    for (int32_t i = 0; i < 5; ++i) list.append();
    list.free(2);
    list.free(4);
    ASSERT_TRUE(list.verify());
    {
        nex::tIndexList bad(list);
        bad.links()[3].prev_ = 5;  // ring back-link broken
        EXPECT_FALSE(bad.verify());
    }
    {
        nex::tIndexList bad(list);
        bad.head().count_ = 4;
        EXPECT_FALSE(bad.verify());
    }
    {
        nex::tIndexList bad(list);
        bad.links()[4].next_ = 4;  // free chain runs in a circle
        EXPECT_FALSE(bad.verify());
    }
    {
        nex::tIndexList bad(list);
        bad.links()[5].next_ = 9;  // past the end
        EXPECT_FALSE(bad.verify());
    }
}
