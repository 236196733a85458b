// Object ids (layout, predicates, fill-once setters) and the MT19937
// generator.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "dax2/dax_oid.h"
#include "dax2/dax_random.h"

namespace {

TEST(RnObjectID, NullAndConstructors) {
    RnObjectTypeID tnull;
    EXPECT_EQ(tnull.kind_, 0);
    EXPECT_EQ(tnull.type_idx_, -1);

    RnObjectID null;
    EXPECT_EQ(null, RnObjectID(0, -1, -1));
    EXPECT_TRUE(null.isNull());

    RnObjectID a(RnIdBldStor, 3, 17);
    EXPECT_EQ(a.id(), RnIdBldStor);
    EXPECT_EQ(a.typeIdx(), 3);
    EXPECT_EQ(a.bldIdx(), 17);
    EXPECT_FALSE(a.isNull());
    EXPECT_EQ(RnObjectID(RnObjectTypeID(RnIdBldStor, 3), 17), a);
    EXPECT_EQ(a.typeId(), RnObjectTypeID(RnIdBldStor, 3));

    a.setNull();
    EXPECT_EQ(a, null);
    RnObjectTypeID t(RnIdWlkProd, 2);
    t.setNull();
    EXPECT_EQ(t, tnull);
}

TEST(RnObjectID, EqualityComparesAllThreeFields) {
    const RnObjectID base(RnIdBldHous, 1, 5);
    EXPECT_EQ(base, RnObjectID(RnIdBldHous, 1, 5));
    EXPECT_NE(base, RnObjectID(RnIdBldServ, 1, 5));
    EXPECT_NE(base, RnObjectID(RnIdBldHous, 2, 5));
    EXPECT_NE(base, RnObjectID(RnIdBldHous, 1, 6));
}

TEST(RnObjectID, RawLayoutAsSaved) {
    const RnObjectID id(RnIdWlkStor, 0x1234, 0x01020304);
    unsigned char raw[8];
    std::memcpy(raw, &id, sizeof(raw));
    int16_t kind, type_idx;
    int32_t bld_idx;
    std::memcpy(&kind, raw, 2);
    std::memcpy(&type_idx, raw + 2, 2);
    std::memcpy(&bld_idx, raw + 4, 4);
    EXPECT_EQ(kind, RnIdWlkStor);
    EXPECT_EQ(type_idx, 0x1234);
    EXPECT_EQ(bld_idx, 0x01020304);

    // The first half as one word: kind low, type index high.
    EXPECT_EQ(RnObjectTypeID(2, 1).packed(), 0x00010002u);
    EXPECT_EQ(RnObjectTypeID(0, -1).packed(), 0xFFFF0000u);
    // The whole id as one word and back, negative fields too.
    EXPECT_EQ(RnObjectID(2, 1, 7).word(), 0x0000000700010002ull);
    for (const RnObjectID& o : {id, RnObjectID(), RnObjectID(-1, -1, -1), RnObjectID(32, -3, INT32_MIN)})
        EXPECT_EQ(RnObjectID::fromWord(o.word()), o);
    EXPECT_EQ(RnObjectID(-1, -1, -1).word(), ~uint64_t{0});
}

TEST(RnObjectID, KindPredicates) {
    struct Case {
        int16_t kind, type_idx;
        bool road_or_building, building, walker;
    };
    const Case cases[] = {
        {0, -1, false, false, false},
        {0, 0, false, false, false},
        {RnIdBldRoad, 0, true, false, false},
        {RnIdBldHous, 0, true, true, false},
        {RnIdBldBldr, 4, true, true, false},
        {15, 0, true, true, false},          // no table, yet passes
        {RnIdBldHous, -1, false, false, false},
        {RnIdWlkServ, 0, false, false, true},
        {RnIdWlkBldr, 2, false, false, true},
        {31, 0, false, false, true},
        {RnIdWlkServ, -1, false, false, false},
        {32, 0, false, false, false},        // script jobs
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + ":" + std::to_string(c.type_idx));
        RnObjectID id(c.kind, c.type_idx, 0);
        EXPECT_EQ(id.isRoadOrBuilding(), c.road_or_building);
        EXPECT_EQ(id.isBuilding(), c.building);
        EXPECT_EQ(id.isWalker(), c.walker);
    }
}

TEST(RnObjectID, IndicesAreFilledOnce) {
    RnObjectID id(RnIdBldProd, -1, -1);
    id.setTypeIdx(7);
    id.setBldIdx(0);
    EXPECT_EQ(id, RnObjectID(RnIdBldProd, 7, 0));
    // Any negative type index counts as unset.
    RnObjectID other(RnIdBldProd, -5, -1);
    other.setTypeIdx(2);
    EXPECT_EQ(other.typeIdx(), 2);
}

using RnObjectIDDeathTest = ::testing::Test;

TEST_F(RnObjectIDDeathTest, SettingAnIndexTwiceStopsTheProgram) {
    RnObjectID id(RnIdBldProd, 3, 4);
    EXPECT_DEATH(id.setTypeIdx(1), "dax2\\\\dax_oid:26 type_idx_<0");
    EXPECT_DEATH(id.setBldIdx(1), "dax2\\\\dax_oid:54 bld_idx_==-1");
    RnObjectID fresh(RnIdBldProd, 3, -1);
    EXPECT_DEATH(fresh.setBldIdx(-1), "dax2\\\\dax_oid:55 aidx>=0");
    // An id with an instance index other than -1 (say -2) is not "unset".
    RnObjectID odd(RnIdBldProd, 3, -2);
    EXPECT_DEATH(odd.setBldIdx(0), "dax2\\\\dax_oid:54 bld_idx_==-1");
}

TEST(DaxRandom, ReferenceSequenceForSeed5489) {
    DaxRandom r(5489u);
    EXPECT_EQ(r.next32(), 3499211612u);
    EXPECT_EQ(r.next32(), 581869302u);
    EXPECT_EQ(r.next32(), 3890346734u);
    EXPECT_EQ(r.next32(), 3586334585u);
    EXPECT_EQ(r.next32(), 545404204u);
    for (int i = 6; i < 10000; ++i) {
        r.next32();
    }
    EXPECT_EQ(r.next32(), 4123659995u);

    // The default generator starts from the same seed.
    DaxRandom d;
    EXPECT_EQ(d.next32(), 3499211612u);
}

TEST(DaxRandom, MatchesTheStandardTwisterForOtherSeedsAndReseeds) {
    for (uint32_t s : {0u, 1u, 4357u, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(s);
        DaxRandom r(s);
        std::mt19937 ref(s);
        // Three blocks of 624: every regeneration path is covered.
        for (int i = 0; i < 3 * 624 + 5; ++i) {
            ASSERT_EQ(r.next32(), ref()) << "output " << i;
        }
        // Reseeding starts the sequence again, whatever state it was in.
        r.seed(s);
        ref.seed(s);
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(r.next32(), ref()) << "after reseed " << i;
        }
    }
}

TEST(DaxRandom, RealCoversBothEnds) {
    EXPECT_EQ(DaxRandom::toReal(0u), 0.0);
    // The largest output gives exactly 1.0: callers that index with it clamp.
    EXPECT_EQ(DaxRandom::toReal(0xFFFFFFFFu), 1.0);
    EXPECT_DOUBLE_EQ(DaxRandom::toReal(0x80000000u), 2147483648.0 / 4294967295.0);

    DaxRandom r(4357u);
    DaxRandom same(4357u);
    for (int i = 0; i < 10000; ++i) {
        const double v = r.real();
        ASSERT_EQ(v, same.next32() / 4294967295.0);
        ASSERT_GE(v, 0.0);
        ASSERT_LE(v, 1.0);
    }
}

}  // namespace
