// Indexed 4-ary min-heap: pop order, decrease-key through the handle, the
// errors, and a randomised run against a sorted model.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "nex/tgraph_algo.h"
#include "nex_test_util.h"

namespace {

// Every entry sits where its position says and no child is smaller than
// its parent.
void expectHeap(const nex::tPrioQueue& q) {
    for (int32_t p = 0; p < q.size(); ++p) {
        ASSERT_EQ(q.at(p)->position_, p);
        if (p > 0) {
            ASSERT_LE(q.at((p - 1) / 4)->key_, q.at(p)->key_);
        }
    }
}

}  // namespace

TEST(PrioQueue, PopsInKeyOrder) {
    nex::tPrioQueue q;
    q.push(5, 50);
    q.push(3, 30);
    q.push(3, 31);
    q.push(9, 90);
    EXPECT_EQ(q.size(), 4);
    std::vector<int32_t> values;
    while (!q.empty()) values.push_back(q.popMin());
    ASSERT_EQ(values.size(), 4u);
    std::sort(values.begin(), values.begin() + 2);
    EXPECT_EQ(values, (std::vector<int32_t>{30, 31, 50, 90}));
}

TEST(PrioQueue, LoweredKeyIsRepairedBySiftUp) {
    nex::tPrioQueue q;
    std::vector<nex::tPrioQueue::Entry*> handles;
    for (int32_t i = 0; i < 40; ++i) handles.push_back(q.push(100 + i, i));
    expectHeap(q);
    handles[37]->key_ = 1;
    q.siftUp(handles[37], handles[37]->position_);
    handles[21]->key_ = 2;
    q.siftUp(handles[21]);
    expectHeap(q);
    // By heap position alone.
    handles[33]->key_ = 3;
    q.siftUp(handles[33]->position_);
    expectHeap(q);
    EXPECT_EQ(q.peekMin()->value_, 37);
    EXPECT_EQ(q.popMin(), 37);
    EXPECT_EQ(q.popMin(), 21);
    EXPECT_EQ(q.popMin(), 33);
    EXPECT_EQ(q.popMin(), 0);
    expectHeap(q);
}

TEST(PrioQueue, MinChildPrefersTheFirstOfEqualKeys) {
    nex::tPrioQueue q;
    q.push(0, 0);
    for (int32_t key : {7, 4, 4, 9}) q.push(key, key);
    EXPECT_EQ(q.minChild(0), 2);
    EXPECT_EQ(q.minChild(1), -1);
    q.push(1, 1);  // the fifth child lands under position 1
    EXPECT_EQ(q.minChild(1), 5);
}

TEST(PrioQueue, Errors) {
    nex::tPrioQueue q;
    NexThrown t = nexCatch([&] { q.popMin(); });
    EXPECT_EQ(t.text, "nex\\tappend.h line 150: 16103 index 0 out of range (0-0)");

    nex::tPrioQueue::Entry* e = q.push(4, 4);
    t = nexCatch([&] { q.siftUp(e, -1); });
    EXPECT_EQ(t.code, 16103);
    EXPECT_EQ(t.text, "nex\\tgraph_algo line 89: 16103 index must be >= 0");
    EXPECT_THROW(q.siftUp(e, -1), tExcept);
    EXPECT_EQ(nexCatch([&] { q.siftUp(-1); }).text, "nex\\tgraph_algo line 89: 16103 index must be >= 0");
    EXPECT_EQ(nexCatch([&] { q.siftUp(1); }).text, "nex\\tappend.h line 143: 16103 index 1 out of range (0-1)");

    // A position that does not hold the entry would duplicate it in the heap.
    nex::tPrioQueue::Entry* f = q.push(8, 8);
    t = nexCatch([&] { q.siftUp(f, 0); });
    EXPECT_EQ(t.text, "nex\\tgraph_algo line 90: 16103 index 0 out of range (0-2)");
    EXPECT_EQ(nexCatch([&] { q.siftUp(f, 2); }).code, 16103);
    expectHeap(q);
    EXPECT_EQ(q.popMin(), 4);
    EXPECT_EQ(q.popMin(), 8);
    EXPECT_THROW(q.popMin(), tExRange);
}

TEST(PrioQueue, RandomRunMatchesASortedModel) {
    std::mt19937 rng(4357);
    nex::tPrioQueue q;
    std::map<int32_t, nex::tPrioQueue::Entry*> live;  // value -> handle
    std::multimap<int32_t, int32_t> model;            // key -> value
    int32_t next_value = 0;
    for (int32_t step = 0; step < 20000; ++step) {
        int32_t op = static_cast<int32_t>(rng() % 10);
        if (op < 5 || live.empty()) {
            int32_t key = static_cast<int32_t>(rng() % 1000);
            live[next_value] = q.push(key, next_value);
            model.emplace(key, next_value);
            ++next_value;
        } else if (op < 7) {
            auto it = live.begin();
            std::advance(it, rng() % live.size());
            nex::tPrioQueue::Entry* e = it->second;
            int32_t lower = e->key_ - static_cast<int32_t>(rng() % 50);
            auto range = model.equal_range(e->key_);
            for (auto m = range.first; m != range.second; ++m)
                if (m->second == e->value_) {
                    model.erase(m);
                    break;
                }
            model.emplace(lower, e->value_);
            e->key_ = lower;
            q.siftUp(e, e->position_);
        } else {
            int32_t min_key = model.begin()->first;
            ASSERT_EQ(q.peekMin()->key_, min_key);
            int32_t v = q.popMin();
            auto range = model.equal_range(min_key);
            auto m = range.first;
            while (m != range.second && m->second != v) ++m;
            ASSERT_TRUE(m != range.second) << "popped value " << v << " does not have the smallest key";
            model.erase(m);
            live.erase(v);
        }
        ASSERT_EQ(q.size(), static_cast<int32_t>(model.size()));
    }
    expectHeap(q);
}
