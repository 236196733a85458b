// Map positions, directions, distances, interpolation and the neighbourhood
// table.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_neighbourhood.h"

namespace {

using P = DaxMapPositionI;

TEST(DaxMapPositionI, NoneAndEquality) {
    EXPECT_EQ(P::none(), P(-32768, -32768));
    EXPECT_TRUE(P::none().isNone());
    EXPECT_FALSE(P(-32768, 0).isNone());
    EXPECT_EQ(P(), P(0, 0));
    EXPECT_NE(P::none(), P());
    EXPECT_NE(P(1, 2), P(2, 1));
    EXPECT_EQ(P(3, -4) + P(-1, 1), P(2, -3));
    EXPECT_EQ(P(3, -4) - P(-1, 1), P(4, -5));
    EXPECT_TRUE(P(1, 9) < P(2, 0));
    EXPECT_TRUE(P(1, 0) < P(1, 1));
    EXPECT_FALSE(P(1, 1) < P(1, 1));
}

TEST(DaxDirection, OppositesAndSteps) {
    struct Case {
        int dir, opposite;
        P step;
    };
    const Case cases[] = {
        {DirNone, DirNone, P(0, 0)}, {1, 2, P(1, 0)},  {2, 1, P(-1, 0)},      {3, 4, P(0, 1)},
        {4, 3, P(0, -1)},            {5, 0, P(0, 0)},  {-1, 0, P(0, 0)},     {1000, 0, P(0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir);
        EXPECT_EQ(daxOppositeDirection(c.dir), c.opposite);
        EXPECT_EQ(daxDirectionOffset(c.dir), c.step);
    }
    for (int d = 1; d <= 4; ++d) {
        EXPECT_EQ(daxDirectionOffset(d) + daxDirectionOffset(daxOppositeDirection(d)), P(0, 0));
    }
}

TEST(DaxGeometry, Distances) {
    struct Case {
        P a, b;
        float euclid;
        int manhattan;
    };
    const Case cases[] = {
        {P(0, 0), P(3, 4), 5.0f, 7},
        {P(-2, 1), P(1, -3), 5.0f, 7},
        {P(7, 7), P(7, 7), 0.0f, 0},
        {P(100, 0), P(0, 0), 100.0f, 100},
        {P::none(), P::none(), 0.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.a.x) + "," + std::to_string(c.a.y));
        EXPECT_FLOAT_EQ(daxDistanceI(c.a, c.b), c.euclid);
        EXPECT_FLOAT_EQ(daxDistanceI(c.b, c.a), c.euclid);
        EXPECT_EQ(daxManhattanDistanceI(c.a, c.b), c.manhattan);
    }
    EXPECT_FLOAT_EQ(P(3, -4).length(), 5.0f);
    EXPECT_FLOAT_EQ(P(3, -4).manhattanLength(), 7.0f);
    // Both coordinates at the int16 minimum: the squares do not fit an int.
    EXPECT_FLOAT_EQ(P::none().length(), static_cast<float>(32768.0 * std::sqrt(2.0)));
    EXPECT_FLOAT_EQ(P::none().manhattanLength(), 65536.0f);

    EXPECT_FLOAT_EQ(daxDistanceF(DaxMapPositionF(0.5f, 0.5f), DaxMapPositionF(3.5f, 4.5f)), 5.0f);
}

TEST(DaxGeometry, LerpF) {
    const DaxMapPositionF a(2.0f, -4.0f);
    const DaxMapPositionF b(6.0f, 4.0f);
    EXPECT_EQ(daxLerpF(a, b, 0.0f), a);
    EXPECT_EQ(daxLerpF(a, b, 1.0f), b);
    EXPECT_EQ(daxLerpF(a, b, 0.25f), DaxMapPositionF(3.0f, -2.0f));
    EXPECT_EQ(DaxMapPositionF(P(3, -2)), DaxMapPositionF(3.0f, -2.0f));
}

std::vector<P> offsetsOf(const DaxNeighbourhood& nb, int radius) {
    std::vector<P> out;
    for (int i = 0; i < nb.count(static_cast<uint16_t>(radius)); ++i) {
        out.push_back(nb.offset(static_cast<uint16_t>(radius), i));
    }
    return out;
}

TEST(DaxNeighbourhood, EuclideanRadiusTwo) {
    DaxNeighbourhood nb;
    EXPECT_FALSE(nb.isManhattan());
    nb.build(2);
    ASSERT_EQ(nb.radiusCount(), 2);
    EXPECT_EQ(nb.count(0), 1);
    EXPECT_EQ(nb.count(1), 9);
    // sqrt(2) truncates to 1: the diagonals are in the first ring.
    const std::vector<P> expected = {P(0, 0),  P(-1, -1), P(-1, 0), P(-1, 1), P(0, -1),
                                     P(0, 1),  P(1, -1),  P(1, 0),  P(1, 1)};
    EXPECT_EQ(offsetsOf(nb, 1), expected);
}

TEST(DaxNeighbourhood, ManhattanRadiusTwo) {
    DaxNeighbourhood nb(true);
    EXPECT_TRUE(nb.isManhattan());
    nb.build(2);
    ASSERT_EQ(nb.radiusCount(), 2);
    EXPECT_EQ(nb.count(0), 1);
    EXPECT_EQ(nb.count(1), 5);
    const std::vector<P> expected = {P(0, 0), P(-1, 0), P(0, -1), P(0, 1), P(1, 0)};
    EXPECT_EQ(offsetsOf(nb, 1), expected);
}

TEST(DaxNeighbourhood, SizesForLargerRadii) {
    DaxNeighbourhood eu;
    eu.build(4);
    // Group 2 fills the 5x5 square (2*sqrt(2) < 3); group 3 adds the ring
    // of distance 3 to 3.99 that fits in the 7x7 square.
    EXPECT_EQ(offsetsOf(eu, 2).size(), 25u);
    EXPECT_EQ(eu.count(3), 45);

    DaxNeighbourhood mh(true);
    mh.build(4);
    EXPECT_EQ(mh.count(0), 1);
    EXPECT_EQ(mh.count(1), 5);
    EXPECT_EQ(mh.count(2), 13);
    EXPECT_EQ(mh.count(3), 25);
}

// Every offset of group d has truncated distance d, the groups follow each
// other, every point of the scanned square with a distance below r appears
// exactly once, and within a group x ascends, then y.
void checkTable(bool manhattan, int r) {
    SCOPED_TRACE(std::string(manhattan ? "manhattan" : "euclidean") + " r=" + std::to_string(r));
    DaxNeighbourhood nb(manhattan);
    nb.build(static_cast<uint16_t>(r));
    ASSERT_EQ(nb.radiusCount(), r);
    auto dist = [&](const P& p) {
        return manhattan ? std::abs(p.x) + std::abs(p.y)
                         : static_cast<int>(std::sqrt(double(p.x) * p.x + double(p.y) * p.y));
    };
    std::set<P> seen;
    int begin = 0;
    for (int d = 0; d < r; ++d) {
        const int end = nb.count(static_cast<uint16_t>(d));
        ASSERT_GE(end, begin);
        for (int i = begin; i < end; ++i) {
            const P& p = nb.offset(static_cast<uint16_t>(r - 1), i);
            EXPECT_EQ(dist(p), d) << p.x << "," << p.y;
            EXPECT_LT(std::abs(p.x), r);
            EXPECT_LT(std::abs(p.y), r);
            EXPECT_TRUE(seen.insert(p).second) << "twice: " << p.x << "," << p.y;
            if (i > begin) {
                EXPECT_TRUE(nb.offset(static_cast<uint16_t>(r - 1), i - 1) < p);
            }
        }
        begin = end;
    }
    size_t inside = 0;
    for (int x = 1 - r; x < r; ++x) {
        for (int y = 1 - r; y < r; ++y) {
            if (dist(P(x, y)) < r) {
                ++inside;
            }
        }
    }
    EXPECT_EQ(seen.size(), inside);
    EXPECT_EQ(nb.offset(0, 0), P(0, 0));
}

TEST(DaxNeighbourhood, TablesAreComplete) {
    for (int r : {1, 3, 7, 12}) {
        checkTable(false, r);
        checkTable(true, r);
    }
}

TEST(DaxNeighbourhood, RebuildKeepsLargerTableAndClearEmpties) {
    DaxNeighbourhood nb;
    nb.build(5);
    const std::vector<P> before = offsetsOf(nb, 4);
    nb.build(2);
    EXPECT_EQ(nb.radiusCount(), 5);
    nb.build(5);
    EXPECT_EQ(offsetsOf(nb, 4), before);
    nb.build(6);
    EXPECT_EQ(nb.radiusCount(), 6);
    EXPECT_EQ(offsetsOf(nb, 4), before);  // a prefix of the larger table

    nb.clear();
    EXPECT_EQ(nb.radiusCount(), 0);
    nb.build(0);
    EXPECT_EQ(nb.radiusCount(), 0);

    // Changing the metric drops the table, so the next build uses it.
    nb.build(3);
    nb.setManhattan(true);
    EXPECT_EQ(nb.radiusCount(), 0);
    nb.build(2);
    EXPECT_EQ(nb.count(1), 5);
    nb.setManhattan(true);  // unchanged: the table stays
    EXPECT_EQ(nb.radiusCount(), 2);
}

using DaxNeighbourhoodDeathTest = ::testing::Test;

TEST_F(DaxNeighbourhoodDeathTest, OutOfRangeAccessStopsTheProgram) {
    DaxNeighbourhood nb;
    EXPECT_DEATH(nb.count(0), "dax2\\\\dax_neighbourhood:55 radius < nb_sizes_\\.size\\(\\)");
    nb.build(3);
    EXPECT_DEATH(nb.count(static_cast<uint16_t>(nb.radiusCount())),
                 "dax2\\\\dax_neighbourhood:55 radius < nb_sizes_\\.size\\(\\)");
    EXPECT_DEATH(nb.offset(3, 0), "dax2\\\\dax_neighbourhood:69 radius < nb_sizes_\\.size\\(\\)");
    EXPECT_DEATH(nb.offset(1, nb.count(1)), "dax2\\\\dax_neighbourhood:70 i < nb_sizes_\\[radius\\]");
    // A negative index would read before the table.
    EXPECT_DEATH(nb.offset(1, -1), "dax2\\\\dax_neighbourhood:70 i >= 0");
}

}  // namespace
