// The hashed index of 64-bit keys: long random runs against std::map, with
// keys that share their home slot, the key of all ones and growth; reserve
// and release.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "nex/thash.h"

namespace {

// Every entry of the model is found with its value, forEach meets each
// once, and the size agrees.
void expectSame(const nex::tHashIndex<int32_t>& h, const std::map<uint64_t, int32_t>& model) {
    ASSERT_EQ(h.size(), model.size());
    for (const auto& e : model) {
        const int32_t* v = h.find(e.first);
        ASSERT_NE(v, nullptr) << e.first;
        ASSERT_EQ(*v, e.second);
    }
    std::map<uint64_t, int32_t> seen;
    h.forEach([&seen](uint64_t k, int32_t v) { ASSERT_TRUE(seen.emplace(k, v).second) << k; });
    ASSERT_EQ(seen, model);
}

}  // namespace

TEST(HashIndex, AgreesWithAMapOverLongRuns) {
    std::mt19937_64 rng(99);
    // Few distinct keys, so that adds, finds and takes meet often; some
    // differ only in their high half, which folds onto the low one, and one
    // is the all-ones key that marks free slots.
    std::vector<uint64_t> keys{~uint64_t{0}, 0};
    for (int i = 0; i < 300; ++i) keys.push_back(rng());
    for (uint64_t k = 1; k < 40; ++k) keys.push_back((k << 32) | k);
    nex::tHashIndex<int32_t> h;
    std::map<uint64_t, int32_t> model;
    for (int step = 0; step < 60000; ++step) {
        const uint64_t k = keys[rng() % keys.size()];
        // Adds win in the first half, takes in the second: the table grows,
        // then empties with long runs shifted back.
        const bool add = rng() % 100 < (step < 30000 ? 70u : 30u);
        if (add) {
            bool added = false;
            int32_t* v = h.findOrAdd(k, added);
            ASSERT_EQ(added, model.count(k) == 0) << step;
            if (added) {
                ASSERT_EQ(*v, 0);
            }
            *v = step;
            model[k] = step;
        } else {
            int32_t out = -1;
            const bool had = h.take(k, out);
            auto it = model.find(k);
            ASSERT_EQ(had, it != model.end()) << step;
            if (had) {
                ASSERT_EQ(out, it->second);
                model.erase(it);
            }
            ASSERT_EQ(h.find(k), nullptr);
        }
        if (step % 251 == 0) {
            ASSERT_NO_FATAL_FAILURE(expectSame(h, model)) << step;
        }
    }
    ASSERT_NO_FATAL_FAILURE(expectSame(h, model));
}

TEST(HashIndex, ReserveKeepsTheEntriesAndReleaseEmpties) {
    nex::tHashIndex<int32_t> h;
    std::map<uint64_t, int32_t> model;
    bool added = false;
    for (uint64_t k = 0; k < 50; ++k) *h.findOrAdd(k * 977, added) = static_cast<int32_t>(k);
    for (uint64_t k = 0; k < 50; ++k) model[k * 977] = static_cast<int32_t>(k);
    *h.findOrAdd(~uint64_t{0}, added) = 7;
    model[~uint64_t{0}] = 7;
    h.reserve(5000);
    ASSERT_NO_FATAL_FAILURE(expectSame(h, model));
    h.release();
    EXPECT_EQ(h.size(), 0u);
    EXPECT_EQ(h.find(977), nullptr);
    EXPECT_EQ(h.find(~uint64_t{0}), nullptr);
    int32_t out = 0;
    EXPECT_FALSE(h.take(~uint64_t{0}, out));
    *h.findOrAdd(3, added) = 4;
    EXPECT_TRUE(added);
    EXPECT_EQ(*h.find(3), 4);
}
