// Houses: the stock and service entries, people moving in and out, the
// jobless limits, levels up and down with their timers, ruin and removal,
// the needs that builders, markets and service walkers answer, tax, and the
// checks after loading.
#include <algorithm>
#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "test_hous_fixture.h"

using namespace worldtest;

namespace {

using P = RnHousPersData;

// ---------------------------------------------------------------------------
// Entries

TEST(HouseEntryTest, AGoodsStockWearsWithThePeople) {
    const uint32_t t = 1000;
    const uint32_t h = DaxGameTime::kPerHour;
    struct Case {
        int people, units;
        uint32_t at;
        int amount, missing;
    } cases[] = {
        // 2 units a person lasting 24 hours each: 8 units last 4 people 48 hours.
        {4, 8, t, 8, 0},
        {4, 8, t + 1 * h, 8, 0},  // 7.83 rounded up
        {4, 8, t + 24 * h, 4, 4},
        {4, 8, t + 47 * h, 1, 7},
        {4, 8, t + 48 * h, 0, 8},
        {1, 8, t + 96 * h, 4, 0},  // one person takes four times as long
        {4, 0, t, 0, 8},
    };
    for (const Case& c : cases) {
        RnHouseGoodsData e;
        e.cap_ = 2;
        e.hours_ = 24;
        e.restock(DaxGameTime(t), c.units, c.people);
        EXPECT_EQ(e.full_until_.value(), t);
        EXPECT_EQ(e.empty_at_.value(), t + static_cast<uint32_t>(24 * h * c.units / c.people));
        EXPECT_EQ(e.amountAt(DaxGameTime(c.at)), c.amount) << c.people << " " << c.units << " " << c.at - t;
        EXPECT_EQ(e.missingAt(DaxGameTime(c.at), c.people), c.missing);
    }
    // The next change after t is the empty time; after that there is none.
    RnHouseGoodsData e;
    e.cap_ = 2;
    e.hours_ = 24;
    e.restock(DaxGameTime(t), 8, 4);
    DaxGameTime limit = DaxGameTime::null();
    e.nextEvent(limit, DaxGameTime(t));
    EXPECT_EQ(limit.value(), t + 48 * h);
    limit = DaxGameTime::null();
    e.nextEvent(limit, e.empty_at_);
    EXPECT_TRUE(limit.isNull());
}

TEST(HouseEntryTest, AServiceIntervalInPerMille) {
    RnHouseServiceData e;
    EXPECT_EQ(e.elapsedPermille(DaxGameTime(5)), 1000);  // never served: needed
    e.served_at_ = 1000;
    e.needed_again_at_ = 1000 + 48 * DaxGameTime::kPerHour;
    struct Case {
        uint32_t at;
        int permille;
    } cases[] = {{900, 0}, {1000, 0}, {1000 + 12 * 12, 250}, {1000 + 24 * 12, 500}, {1000 + 48 * 12, 1000},
                 {9000, 1000}};
    for (const Case& c : cases) EXPECT_EQ(e.elapsedPermille(DaxGameTime(c.at)), c.permille) << c.at;
    DaxGameTime limit = DaxGameTime::null();
    e.nextEvent(limit, DaxGameTime(900));
    EXPECT_EQ(limit.value(), 1000u);
    limit = DaxGameTime::null();
    e.nextEvent(limit, DaxGameTime(1000));
    EXPECT_EQ(limit.value(), 1000u + 48 * 12);
}

TEST(HouseEntryTest, ServiceEntriesAreWalkedInServiceOrderWhateverTheirArrival) {
    RnHouseServices s;
    auto walk = [&s] {
        std::vector<int> keys;
        for (const auto& [service, e] : s) keys.push_back(service * 1000 + static_cast<int>(e.level_word_));
        return keys;
    };
    s[5].level_word_ = 1;
    s[2].level_word_ = 2;
    s[7].level_word_ = 3;
    s[2].level_word_ = 4;  // the same entry again
    EXPECT_EQ(walk(), (std::vector<int>{2004, 5001, 7003}));
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(s.count(3), 0u);
    EXPECT_EQ(s.find(3), s.end());
    EXPECT_EQ(s.find(-1), s.end());
    EXPECT_EQ(s.find(99), s.end());
    EXPECT_EQ(s.find(5)->second.level_word_, 1);
    EXPECT_EQ(s.erase(7), 1u);
    EXPECT_EQ(s.erase(7), 0u);
    EXPECT_EQ(s.erase(0), 0u);
    EXPECT_EQ(walk(), (std::vector<int>{2004, 5001}));
    s[7].level_word_ = 9;  // back with a fresh entry
    EXPECT_EQ(s.at(7).level_word_, 9);
    RnHouseServices other;
    other[1].level_word_ = 6;
    s.swap(other);
    EXPECT_EQ(walk(), (std::vector<int>{1006}));
    s.clear();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.begin(), s.end());
    EXPECT_EQ(other.size(), 3u);
}

TEST(HouseEntryTest, ServiceEntriesKeepTheirValuesWhenTheyMoveBetweenRecordAndHeap) {
    // Slots 0 and 1 sit in the record; a higher index moves every slot to
    // the heap, and erasing it moves them back.
    auto keys = [](const RnHouseServices& s) {
        std::vector<int> out;
        for (const auto& [service, e] : s) out.push_back(service * 1000 + static_cast<int>(e.served_at_.value()));
        return out;
    };
    RnHouseServices s;
    s[1].served_at_ = 11;
    s[0].served_at_ = 10;
    const RnHouseServices small = s;
    s[4].served_at_ = 14;
    EXPECT_EQ(keys(s), (std::vector<int>{10, 1011, 4014}));
    RnHouseServices copy = s;  // a copy owns its own heap slots
    copy[0].served_at_ = 20;
    RnHouseServices assigned;
    assigned = copy;
    EXPECT_EQ(s.erase(4), 1u);
    EXPECT_EQ(keys(s), (std::vector<int>{10, 1011}));
    EXPECT_EQ(s.find(4), s.end());
    s[1].served_at_ = 21;
    EXPECT_EQ(keys(s), (std::vector<int>{10, 1021}));
    EXPECT_EQ(keys(copy), (std::vector<int>{20, 1011, 4014}));
    EXPECT_EQ(keys(assigned), (std::vector<int>{20, 1011, 4014}));
    EXPECT_EQ(keys(small), (std::vector<int>{10, 1011}));
    EXPECT_EQ(copy.erase(0), 1u);  // a gap below the top keeps the slots
    EXPECT_EQ(keys(copy), (std::vector<int>{1011, 4014}));
    RnHouseServices moved = std::move(copy);
    EXPECT_EQ(keys(moved), (std::vector<int>{1011, 4014}));
    moved.clear();
    EXPECT_TRUE(moved.empty());
    moved[3].served_at_ = 3;
    EXPECT_EQ(keys(moved), (std::vector<int>{3003}));
}

TEST(HouseEntryTest, GoodsEntriesAreWalkedInGoodsOrderInRecordAndOnHeap) {
    // Two entries sit in the record, a third moves all to the heap and
    // erasing one moves them back; copies own their entries.
    auto walk = [](const RnHouseGoods& g) {
        std::vector<int> out;
        for (const auto& [goods, e] : g) out.push_back(goods * 1000 + e.amount_);
        return out;
    };
    RnHouseGoods g;
    g[7].amount_ = 1;
    g[2].amount_ = 2;
    g[2].amount_ = 3;  // the same entry again
    EXPECT_EQ(walk(g), (std::vector<int>{2003, 7001}));
    const RnHouseGoods two = g;
    g[4].amount_ = 4;
    g[0].amount_ = 5;
    EXPECT_EQ(walk(g), (std::vector<int>{5, 2003, 4004, 7001}));
    RnHouseGoods copy = g;
    copy[4].amount_ = 9;
    EXPECT_EQ(g.find(4)->second.amount_, 4);
    EXPECT_EQ(g.erase(2), 1u);
    EXPECT_EQ(g.erase(2), 0u);
    EXPECT_EQ(g.erase(0), 1u);
    EXPECT_EQ(walk(g), (std::vector<int>{4004, 7001}));
    EXPECT_EQ(g.find(0), g.end());
    EXPECT_EQ(g.count(7), 1u);
    EXPECT_EQ(g.at(7).amount_, 1);
    EXPECT_EQ(walk(copy), (std::vector<int>{5, 2003, 4009, 7001}));
    EXPECT_EQ(walk(two), (std::vector<int>{2003, 7001}));
    copy.swap(g);
    EXPECT_EQ(walk(g), (std::vector<int>{5, 2003, 4009, 7001}));
    g.clear();
    EXPECT_TRUE(g.empty());
    EXPECT_EQ(g.begin(), g.end());
}

// ---------------------------------------------------------------------------
// People and workers

using HouseTest = TownTest;

TEST_F(HouseTest, ANewHouseHoldsTheEntriesOfItsLevelAndTheNext) {
    RnHous& h = newHouse(77);
    EXPECT_EQ(h.curLevel(), 0);
    EXPECT_EQ(h.people(), 0);
    EXPECT_EQ(h.flags_, P::kPplPending);
    EXPECT_EQ(h.t_ppl_.value(), 77u);
    // Level 1's planks are there, empty: they wait for a builder.
    ASSERT_EQ(h.material_in_store_.count(kPlanks), 1u);
    EXPECT_EQ(h.material_in_store_[kPlanks].amount_, 0);
    EXPECT_TRUE(h.goods_.empty());
    EXPECT_TRUE(h.services_.empty());
    // Level 0 needing material starts with it full and a supply check.
    houseType().level_descs_[0].material_ = RnMaterialEntry{0, 3, 10};
    RnHous& g = newHouse(100, 12, 12);
    EXPECT_EQ(g.material_in_store_[0].amount_, 3);
    EXPECT_EQ(g.material_in_store_[0].time_level0_.value(), 100u + hours(30));
    EXPECT_EQ(g.flags_, P::kPplPending | P::kBldPending);
    EXPECT_EQ(g.t_bld_.value(), 100u + hours(30));
}

TEST_F(HouseTest, PeopleMoveInOneAtATimeAndOfferTheirWorkers) {
    RnHous& h = newHouse(0);
    RnWorkforce& wkf = grn_game.peoplType(0).workforce_;
    // Each move is followed by a desirability re-check an hour later, from
    // which the next move is timed kImmigrate hours ahead.
    struct Case {
        uint32_t at;
        int people;
    } cases[] = {{0, 1}, {hours(3) - 1, 1}, {hours(3), 2}, {hours(6), 3}, {hours(9), 4}, {hours(48), 4}};
    for (const Case& c : cases) {
        runTo(c.at);
        EXPECT_EQ(h.people(), c.people) << c.at;
        EXPECT_EQ(h.curNumWorkers(), c.people / 2);
        EXPECT_EQ(wkf.nodeData(wkf.nodeOf(h.oid_)).people_, c.people / 2);
        EXPECT_EQ(grn_game.population_, static_cast<uint32_t>(c.people));
        EXPECT_EQ(grn_game.peoplType(0).population_, c.people);
    }
    // A house stays awake at least once a day.
    DaxGameTime next;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(h.oid_, next));
    EXPECT_LE(next.value(), hours(48) + DaxGameTime::kPerDay);
}

TEST_F(HouseTest, TooManyJoblessForOneMore) {
    RnHous& h = houseWith(0);
    RnHousType& t = houseType();
    struct Case {
        int percent, limit, n, employed;
        bool too_many;
    } cases[] = {
        // 10 people at 50 per cent: 5 workers expected.
        {50, 39, 10, 3, true},   // 2 jobless are 40 per cent
        {50, 40, 10, 3, false},
        {50, 0, 10, 4, false},   // one jobless never counts
        {50, 0, 3, 0, false},    // 1 worker expected
        {100, 59, 5, 2, true},   // 3 of 5
        {100, 60, 5, 2, false},
    };
    for (const Case& c : cases) {
        t.percent_workers_ = static_cast<int16_t>(c.percent);
        t.percent_workers_without_job1_ = static_cast<int16_t>(c.limit);
        h.flags_ = (static_cast<uint32_t>(c.employed) << P::kEmployedShift) | 0xFFu;
        EXPECT_EQ(h.tooManyJobless(c.n), c.too_many) << c.percent << " " << c.limit << " " << c.n << " " << c.employed;
    }
}

TEST_F(HouseTest, TheJoblessStateSendsPeopleAwayAndTimesAFall) {
    RnHous& h = houseWith(8);
    houseType().percent_workers_without_job2_ = 39;
    raise(h, 0);
    setDesirability(15);
    EXPECT_EQ(h.curNumWorkers(), 4);
    struct Case {
        int employed;
        bool jobless;
    } cases[] = {{4, false}, {3, false}, {2, true}, {0, true}};  // jobless 0, 1, 2 (50 %), 4
    for (const Case& c : cases) {
        h.setEmployed(static_cast<uint16_t>(c.employed));
        h.workersChanged(DaxGameTime(10));
        h.update(DaxGameTime(10));
        EXPECT_EQ((h.flags_ & P::kTooManyJobless) != 0, c.jobless) << c.employed;
    }
    // Jobless: one leaves every kLeave hours; no one moves in.
    EXPECT_NE(h.flags_ & P::kPplPending, 0u);
    EXPECT_EQ(h.t_ppl_.value(), 10u + hours(kLeave));
    grn_game.updateQueue().schedule(DaxGameTime(10), h.oid_);
    runTo(10 + hours(kLeave));
    EXPECT_EQ(h.people(), 7);
    // Once no more people live there than level 0 holds, a fall is timed
    // at the next check.
    runTo(hours(17));
    EXPECT_EQ(h.people(), 4);
    EXPECT_NE(h.flags_ & P::kLvlPending, 0u);
    EXPECT_GT(h.t_lvl_.value(), hours(17));
    EXPECT_EQ(h.curLevel(), 1);
}

TEST_F(HouseTest, AnOverfullHouseLosesOnePersonAtATime) {
    RnHous& h = houseWith(7);
    grn_game.updateQueue().schedule(DaxGameTime(0), h.oid_);
    runTo(0);
    EXPECT_EQ(h.t_ppl_.value(), hours(kLeave));
    runTo(hours(kLeave));
    EXPECT_EQ(h.people(), 6);
    runTo(hours(48));
    EXPECT_EQ(h.people(), 4);
    EXPECT_EQ(h.curNumWorkers(), 2);
    EXPECT_EQ(grn_game.population_, 4u);
}

// ---------------------------------------------------------------------------
// Levels

TEST_F(HouseTest, ARiseWaitsForItsTimerAndNeedsTheNextLevelsMaterial) {
    for (bool planks : {false, true}) {
        SCOPED_TRACE(planks ? "with planks" : "without planks");
        TearDown();
        SetUp();
        RnHous& h = houseWith(4, 100);
        if (planks) h.material_in_store_[kPlanks].add(DaxGameTime(100), kPlanksAmount, kPlanksHours);
        setDesirability(15);
        h.desirabilityChanged(DaxGameTime(100));
        grn_game.updateQueue().schedule(DaxGameTime(100), h.oid_);
        runTo(100);
        ASSERT_NE(h.flags_ & P::kLvlPending, 0u);
        EXPECT_EQ(h.t_lvl_.value(), 100u + hours(kUp));
        runTo(100 + hours(kUp) - 1);
        EXPECT_EQ(h.curLevel(), 0);
        runTo(100 + hours(kUp));
        EXPECT_EQ(h.curLevel(), planks ? 1 : 0);
        if (!planks) {
            // The rise failed; nothing is timed until another check
            // qualifies.
            EXPECT_EQ(h.flags_ & P::kLvlPending, 0u);
            continue;
        }
        const uint32_t up = 100 + hours(kUp);
        EXPECT_EQ(h.peopleTarget(), 8);
        // The planks start to wear at the rise, from their own amount.
        const RnMaterialInf& m = h.material_in_store_[kPlanks];
        EXPECT_EQ(m.time_level1_.value(), up);
        EXPECT_EQ(m.time_level0_.value(), up + hours(kPlanksAmount * kPlanksHours));
        EXPECT_NE(h.flags_ & P::kBldPending, 0u);
        EXPECT_EQ(h.t_bld_.value(), m.time_level0_.value());
        // Level 2's needs are there, unmet.
        EXPECT_EQ(h.goods_.size(), 1u);
        EXPECT_EQ(h.goods_[kFood].level_, 2);
        EXPECT_EQ(h.services_.size(), 2u);
        EXPECT_FALSE(h.services_[kWell].isTax());
        EXPECT_TRUE(h.services_[kTax].isTax());
        // The house spreads its new level's desirability (2 instead of 1).
        EXPECT_EQ(grn_map.tile(6, 5).desirability_, 2);
    }
}

TEST_F(HouseTest, AFallWaitsForItsTimerAndDropsTheEntriesAboveTheNewLevel) {
    RnHous& h = houseWith(8, 0);  // full at level 1: nobody moves
    raise(h, 0);
    setDesirability(5);  // below level 1's 10
    h.desirabilityChanged(DaxGameTime(24));
    grn_game.updateQueue().schedule(DaxGameTime(24), h.oid_);
    runTo(24);
    EXPECT_EQ(h.t_lvl_.value(), 24u + hours(kDown));
    runTo(24 + hours(kDown) - 1);
    EXPECT_EQ(h.curLevel(), 1);
    runTo(24 + hours(kDown));
    EXPECT_EQ(h.curLevel(), 0);
    EXPECT_EQ(h.peopleTarget(), 4);
    EXPECT_TRUE(h.goods_.empty());
    EXPECT_TRUE(h.services_.empty());
    ASSERT_EQ(h.material_in_store_.size(), 1u);  // level 1's, for the next rise
}

TEST_F(HouseTest, TheTopLevelNeverRisesAndLevelZeroNeverFalls) {
    RnHous& h = houseWith(4, 0);
    setDesirability(-500);
    h.flags_ |= P::kAttrPending | P::kLvlPending;
    h.update(DaxGameTime(0));
    EXPECT_EQ(h.curLevel(), 0);
    EXPECT_EQ(h.flags_ & P::kLvlPending, 0u);

    raise(h, 0);
    raise(h, 0);
    h.setPeopleTarget(12);
    h.peopleArrive(houseType(), 8);
    setDesirability(500);
    for (auto& [s, e] : h.services_) e.needed_again_at_ = 100000;
    for (auto& [g, e] : h.goods_) e.restock(DaxGameTime(0), 1000, 12);
    h.flags_ |= P::kAttrPending | P::kSrvPending | P::kGdsPending;
    h.t_attr_ = h.t_srv_ = h.t_gds_ = 0;
    h.update(DaxGameTime(10));
    EXPECT_EQ(h.curLevel(), 2);
    EXPECT_EQ(h.flags_ & P::kLvlPending, 0u);
}

TEST_F(HouseTest, AFallLeavingOnlyTheNextLevelsMaterialIsNoRuin) {
    RnHous& h = houseWith(4, 0);
    raise(h, 0);
    const uint32_t run_out = hours(kPlanksAmount * kPlanksHours);
    ASSERT_EQ(h.t_bld_.value(), run_out);
    h.levelDown(houseType());
    // The planks now wait for the next rise; their wear does not count.
    grn_game.updateQueue().schedule(DaxGameTime(run_out), h.oid_);
    runTo(run_out);
    EXPECT_FALSE(h.isDestroyed());
    EXPECT_EQ(h.flags_ & P::kBldPending, 0u);
    EXPECT_EQ(h.people(), 4);
}

TEST_F(HouseTest, MaterialRunningOutLeavesAnEmptyRuin) {
    RnHous& h = houseWith(6, 0);
    raise(h, 0);
    setDesirability(15);  // level 1 is kept
    rnSpreadOwnAttr(h, DaxGameTime(0), 1, 2);
    grn_game.updateQueue().schedule(DaxGameTime(0), h.oid_);
    const size_t messages = dax_msgmgr.history().size();
    const uint32_t run_out = hours(kPlanksAmount * kPlanksHours);
    runTo(run_out - 1);
    EXPECT_FALSE(h.isDestroyed());
    runTo(run_out);
    EXPECT_TRUE(h.isDestroyed());
    EXPECT_EQ(h.people(), 0);
    EXPECT_EQ(h.curLevel(), 0);
    EXPECT_EQ(h.curNumWorkers(), 0);
    EXPECT_EQ(grn_game.population_, 0u);
    EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(h.oid_), 0);
    EXPECT_TRUE(h.material_in_store_.empty() && h.goods_.empty() && h.services_.empty());
    EXPECT_EQ(h.flags_ & (0x7Fu << 17), 0u);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 0);
    ASSERT_EQ(dax_msgmgr.history().size(), messages + 1);
    EXPECT_EQ(dax_msgmgr.history().back().number_, 3002);
    EXPECT_EQ(dax_msgmgr.history().back().pos_, DaxMapPositionI(5, 5));
    // A ruin asks for nothing and is never woken again.
    EXPECT_EQ(h.update(DaxGameTime(run_out + 1)), kRnNoWakeTime);
    EXPECT_EQ(h.serviceNeed(DaxGameTime(run_out), kWell, 1), 0);
    EXPECT_EQ(h.materialNeed(DaxGameTime(run_out), RnObjectID(RnIdBldBldr, -1, -1)), 0);
    EXPECT_EQ(h.supplyRatio(), 0.0f);
    // Removing the ruin changes the neighbourhood no more.
    houseType().removeBuilding(grn_map.tile(5, 5), 5, 5);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 0);
}

TEST_F(HouseTest, RemovingAHouseLetsItsPeopleGo) {
    RnHous& h = houseWith(4, 0);
    raise(h, 0);
    rnSpreadOwnAttr(h, DaxGameTime(0), 1, 2);
    const RnObjectID oid = h.oid_;
    houseType().removeBuilding(grn_map.tile(5, 5), 5, 5);
    EXPECT_EQ(houseType().instanceCount(), 0);
    EXPECT_EQ(grn_game.population_, 0u);
    EXPECT_EQ(grn_game.peoplType(0).population_, 0);
    EXPECT_EQ(grn_game.peoplType(0).workforce_.nodeOf(oid), 0);
    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 24; ++y) ASSERT_EQ(grn_map.tile(x, y).desirability_, 0) << x << "," << y;
}

// ---------------------------------------------------------------------------
// Needs and supply

// A level-1 house of 4 people whose neighbourhood would let it rise.
class HouseNeedTest : public TownTest {
protected:
    RnHous& levelOne() {
        RnHous& h = houseWith(4, 0);
        raise(h, 0);
        setDesirability(25);
        return h;
    }
};

TEST_F(HouseNeedTest, ServiceNeedAndTheMarkOfAWalkerOnItsWay) {
    RnHous& h = levelOne();
    RnHouseServiceData& e = h.services_[kWell];
    e.served_at_ = 1000;
    e.needed_again_at_ = 1000 + hours(48);
    const DaxGameTime mid(1000 + hours(24));
    EXPECT_EQ(h.serviceNeed(mid, kWell, 0), 500);
    h.setServicePending(kWell, true);
    EXPECT_EQ(h.serviceNeed(mid, kWell, 0), 0);
    EXPECT_EQ(h.serviceNeed(mid, kWell, 1), 500);
    h.setServicePending(kWell, false);
    EXPECT_EQ(h.serviceNeed(mid, kWell, 0), 500);
    EXPECT_EQ(h.serviceNeed(mid, 7, 1), 0);  // no such need

    // A service restarts the interval and wakes the house then.
    grn_game.updateQueue().remove(h.oid_);
    h.serviceDelivered(mid, kWell);
    EXPECT_EQ(e.served_at_.value(), mid.value());
    EXPECT_EQ(e.needed_again_at_.value(), mid.value() + hours(48));
    EXPECT_EQ(h.serviceNeed(mid, kWell, 0), 0);
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(h.oid_, wake));
    EXPECT_EQ(wake.value(), mid.value());
    EXPECT_EQ(h.t_srv_.value(), mid.value());
}

TEST_F(HouseNeedTest, TaxIsBookedForThePartOfTheIntervalPassed) {
    RnHous& h = levelOne();
    ASSERT_EQ(h.curNumWorkers(), 2);
    struct Case {
        uint32_t served_at, at;
        int money;     // 2 workers x 50 % x 100 % = 1 a full interval
        double carry;  // the part of a coin left for the next collection
    } cases[] = {
        {0, 0, 1, 0.0},                      // never served: a full interval
        {1000, 1000 + hours(12), 0, 0.5},    // half: waits for the next
        {1000, 1000 + hours(18), 0, 0.75},
        {1000, 1000 + hours(24), 1, 0.0},
        {1000, 1000 + hours(40), 1, 0.0},
    };
    houseType().tax_percent_ = 100;
    for (const Case& c : cases) {
        RnHouseServiceData& e = h.services_[kTax];
        e.served_at_ = c.served_at;
        e.needed_again_at_ = c.served_at == 0 ? 0 : c.served_at + hours(24);
        grn_game.money_ = 100;
        grn_game.tax_carry_ = 0.0;
        h.serviceDelivered(DaxGameTime(c.at), kTax);
        EXPECT_EQ(grn_game.money_, 100 + c.money) << c.at;
        EXPECT_DOUBLE_EQ(grn_game.tax_carry_, c.carry) << c.at;
        EXPECT_EQ(e.needed_again_at_.value(), c.at + hours(24));
    }
    // A collector passing every six hours brings a quarter of a coin each
    // time: six passes book one coin and carry half of one, where dropping
    // each pass's fraction booked nothing at all.
    RnHouseServiceData& e = h.services_[kTax];
    e.served_at_ = 1000;
    e.needed_again_at_ = 1000 + hours(24);
    grn_game.money_ = 100;
    grn_game.tax_carry_ = 0.0;
    for (uint32_t i = 1; i <= 6; ++i) h.serviceDelivered(DaxGameTime(1000 + i * hours(6)), kTax);
    EXPECT_EQ(grn_game.money_, 101);
    EXPECT_DOUBLE_EQ(grn_game.tax_carry_, 0.5);
    // Half an interval books half a full interval's tax.
    h.peopleArrive(houseType(), 4);  // 4 workers: 2 a full interval
    e.served_at_ = 1000;
    e.needed_again_at_ = 1000 + hours(24);
    grn_game.money_ = 100;
    grn_game.tax_carry_ = 0.0;
    h.serviceDelivered(DaxGameTime(1000 + hours(12)), kTax);
    EXPECT_EQ(grn_game.money_, 101);
    // A service without tax books none.
    grn_game.money_ = 100;
    h.serviceDelivered(DaxGameTime(5000), kWell);
    EXPECT_EQ(grn_game.money_, 100);
    // A new game starts without a carry.
    grn_game.tax_carry_ = 0.5;
    grn_game.resetForNewGame("map", "game");
    EXPECT_EQ(grn_game.tax_carry_, 0.0);
}

TEST_F(HouseNeedTest, MarketGoodsAreScoredInPerMilleAndRestockTheHouse) {
    RnHous& h = levelOne();
    RnMrktType mt;
    mt.type_id_ = 600;
    mt.name_ = "market";
    mt.distribute_goods_ = {kFood};
    RnMrkt& m = grn_game.mrktByOid(grn_game.mrktType(grn_game.addMrktType(mt)).createBuilding(9, 9));
    const DaxGameTime t(500);
    // Food belongs to level 2: it counts while the house could rise, at the
    // level-up priority.
    grn_config.levelup_priority_ = 0.5f;
    struct Case {
        int stored;
        int desirability;
        int need;
    } cases[] = {
        {0, 25, 0},    // nothing to offer
        {8, 25, 250},  // all 8 missing offered: 1000 at half priority, halved below 700
        {4, 25, 137},  // (8 x 0.1 + 4 x 0.9) x 1000 / 8 = 550 at half priority, halved
        {8, 15, 0},    // the next level is out of reach
    };
    for (const Case& c : cases) {
        m.goods_stored_[kFood].amount_ = static_cast<uint16_t>(c.stored);
        setDesirability(c.desirability);
        EXPECT_EQ(h.marketNeed(t, m.oid_), c.need) << c.stored << " " << c.desirability;
    }
    // Needs of the current level count in full.
    struct Score {
        double missing, offered, full;
        int score;
    } scores[] = {{8, 8, 8, 1000}, {7, 7, 8, 875}, {8, 4, 8, 275}, {0, 0, 8, 0}, {1, 1, 0, 0}};
    for (const Score& c : scores) EXPECT_EQ(rnNeedScore(c.missing, c.offered, c.full), c.score);

    // A delivery takes what is missing and restocks the house.
    setDesirability(25);
    m.goods_stored_[kFood].amount_ = 8;
    grn_game.updateQueue().remove(h.oid_);
    h.marketDelivered(t, m.oid_);
    EXPECT_EQ(m.goods_stored_[kFood].amount_, 0);
    const RnHouseGoodsData& e = h.goods_[kFood];
    EXPECT_EQ(e.amountAt(t), 8);
    EXPECT_EQ(e.empty_at_.value(), t.value() + hours(48));
    EXPECT_EQ(grn_game.goodsType(kFood).consumed_cur_, 8u);
    // The house is woken when the stock changes next.
    EXPECT_NE(h.flags_ & P::kGdsPending, 0u);
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(h.oid_, wake));
    EXPECT_EQ(wake.value(), h.t_gds_.value());
    EXPECT_EQ(h.marketNeed(t, m.oid_), 0);
}

TEST_F(HouseNeedTest, MaterialIsScoredAndTakenFromTheBuilder) {
    RnHous& h = houseWith(4, 0);
    RnBldrType bt;
    bt.type_id_ = 800;
    bt.name_ = "builder";
    bt.goods_allowed_ = {kPlanks};
    RnBldr& b = grn_game.bldrByOid(grn_game.bldrType(grn_game.addBldrType(bt)).createBuilding(9, 9));
    grn_config.levelup_priority_ = 0.5f;
    const DaxGameTime t(100);
    const RnObjectID none(RnIdBldBldr, -1, -1);
    // The planks belong to level 1, the next level: they count while the
    // house could rise.
    setDesirability(0);
    EXPECT_EQ(h.materialNeed(t, none), 0);
    setDesirability(15);
    EXPECT_EQ(h.materialNeed(t, none), 500);         // 1000 at half priority
    EXPECT_EQ(h.materialNeed(t, b.oid_), 0);         // the builder has none
    b.goods_stored_[kPlanks].stored_ = 1;
    EXPECT_EQ(h.materialNeed(t, b.oid_), 137);       // (0.2 + 0.9) x 500 = 550, halved, at half priority

    grn_game.updateQueue().remove(h.oid_);
    h.materialDelivered(t, b.oid_);
    EXPECT_EQ(b.goods_stored_[kPlanks].stored_, 0);
    EXPECT_EQ(h.material_in_store_[kPlanks].amount_, 1);
    // The house re-evaluates at once.
    EXPECT_NE(h.flags_ & P::kReevaluate, 0u);
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(h.oid_, wake));
    EXPECT_EQ(wake.value(), t.value());
    RnGoodsSet listed;
    h.listMaterials(listed);
    EXPECT_EQ(listed, RnGoodsSet{kPlanks});
}

TEST_F(HouseNeedTest, SupplyOfTheLevelsMaterial) {
    RnHous& h = levelOne();
    struct Case {
        uint32_t at;
        float ratio;
        int16_t short_of;
    } cases[] = {
        {0, 1.0f, 0},
        {hours(100), 0.5f, 0},
        {hours(170), 0.15f, kPlanks},
        {hours(200), 0.0f, kPlanks},
    };
    for (const Case& c : cases) {
        setNow(c.at);
        EXPECT_FLOAT_EQ(h.supplyRatio(), c.ratio) << c.at;
        EXPECT_EQ(h.shortMaterial(), c.short_of) << c.at;
    }
    // The next level's material does not count while it waits.
    h.levelDown(houseType());
    EXPECT_EQ(h.supplyRatio(), 1.0f);
}

TEST_F(HouseNeedTest, InputsAndUnmetNeedsFollowTheLevel) {
    RnHous& h = levelOne();
    setNow(1000);
    // Level 1 needs neither goods nor services.
    EXPECT_TRUE(h.inputsAvailable());
    EXPECT_FALSE(h.hasUnmetNeeds());
    setDesirability(5);
    EXPECT_TRUE(h.hasUnmetNeeds());

    // At level 2 the well and the food count; the tax office does not.
    setDesirability(25);
    raise(h, 0);
    h.peopleArrive(houseType(), 4);  // 8 people
    struct Case {
        uint32_t well_until;
        int food;
        bool inputs, met;
    } cases[] = {
        {5000, 16, true, true},
        {0, 16, false, false},     // the well is overdue
        {1050, 16, false, true},   // 950 per mille passed: running out
        {5000, 0, false, false},   // no food
        {5000, 3, false, true},    // 3 of 16: less than a quarter
        {5000, 4, true, true},
    };
    for (const Case& c : cases) {
        RnHouseServiceData& well = h.services_[kWell];
        well.served_at_ = c.well_until == 0 ? 0 : c.well_until - 1000;
        well.needed_again_at_ = c.well_until;
        RnHouseGoodsData& food = h.goods_[kFood];
        food.full_until_ = 2000;
        food.empty_at_ = c.food == 0 ? 0 : 3000;
        food.amount_ = static_cast<uint16_t>(c.food);
        EXPECT_EQ(h.inputsAvailable(), c.inputs) << c.well_until << " " << c.food;
        EXPECT_EQ(!h.hasUnmetNeeds(), c.met) << c.well_until << " " << c.food;
    }
    // A house at level 0 has all it needs.
    RnHous& g = houseWith(2, 0, 12, 12);
    EXPECT_TRUE(g.inputsAvailable());
    EXPECT_FALSE(g.hasUnmetNeeds());
}

TEST_F(HouseNeedTest, ServicesAndGoodsRaiseTheHouseAndTheirLossBringsItDown) {
    houseType().level_descs_[2].people_max_ = 8;  // nobody moves in: the stock lasts as timed
    RnHous& h = levelOne();
    h.peopleArrive(houseType(), 4);  // full at level 1
    grn_game.updateQueue().schedule(DaxGameTime(0), h.oid_);
    runTo(hours(1));
    EXPECT_EQ(h.curLevel(), 1);
    // Serve both services and stock the food for 48 hours: the rise is
    // timed.
    const uint32_t t = hours(2);
    h.serviceDelivered(DaxGameTime(t), kWell);
    h.serviceDelivered(DaxGameTime(t), kTax);
    h.goods_[kFood].restock(DaxGameTime(t), 16, 8);
    h.flags_ |= P::kGdsPending;
    h.t_gds_ = t;
    runTo(t);
    ASSERT_NE(h.flags_ & P::kLvlPending, 0u);
    EXPECT_EQ(h.t_lvl_.value(), t + hours(kUp));
    runTo(t + hours(kUp));
    EXPECT_EQ(h.curLevel(), 2);
    // The tax office is not needed for the level; the well and the food
    // run out after 48 hours and the fall is timed then.
    runTo(t + hours(47));
    EXPECT_EQ(h.flags_ & P::kLvlPending, 0u);
    runTo(t + hours(48));
    ASSERT_NE(h.flags_ & P::kLvlPending, 0u);
    EXPECT_EQ(h.t_lvl_.value(), t + hours(48) + hours(kDown));
    runTo(t + hours(48) + hours(kDown) - 1);
    EXPECT_EQ(h.curLevel(), 2);
    runTo(t + hours(48) + hours(kDown));
    EXPECT_EQ(h.curLevel(), 1);
}

TEST_F(HouseNeedTest, ARiseAndAFallEachComeAtTheirOwnTime) {
    // Level 1 holds at desirability 10, level 2 wants 20 and the well and
    // food. The rise is timed when both are supplied, the fall when the
    // neighbourhood drops to 5; either comes first, the other an hour later.
    // "Cured": the neighbourhood is back at 25 an hour after that.
    struct Case {
        const char* what;
        bool rise_first;
        bool cured;
        uint32_t change_at;  // from t0
        int level;           // from then on
    } cases[] = {
        {"rise timed, then a failing check", true, false, hours(1 + kDown), 0},
        {"rise timed, then a failing check, cured", true, true, hours(kUp), 2},
        {"fall timed, then a check that would rise", false, false, hours(kDown), 0},
        {"fall timed, then a check that would rise, cured", false, true, hours(1 + kUp), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        houseType().level_descs_[2].people_max_ = 8;  // nobody moves in
        RnHous& h = levelOne();
        h.peopleArrive(houseType(), 4);
        grn_game.updateQueue().schedule(DaxGameTime(0), h.oid_);
        const uint32_t t0 = hours(2);
        runTo(t0 - 1);
        auto supply = [&](uint32_t t) {
            h.serviceDelivered(DaxGameTime(t), kWell);
            h.serviceDelivered(DaxGameTime(t), kTax);
            h.goods_[kFood].restock(DaxGameTime(t), 100, 8);
            h.flags_ |= P::kGdsPending;
            h.t_gds_ = t;
        };
        auto neighbourhood = [&](int value, uint32_t t) {
            setDesirability(value);
            h.desirabilityChanged(DaxGameTime(t));
            grn_game.updateQueue().schedule(DaxGameTime(t), h.oid_);
        };
        if (c.rise_first) {
            supply(t0);
            runTo(t0);
            neighbourhood(5, t0 + hours(1));
        } else {
            neighbourhood(5, t0);
            runTo(t0);
            supply(t0 + hours(1));
        }
        runTo(t0 + hours(1));
        if (c.cured) neighbourhood(25, t0 + hours(2));
        runTo(t0 + c.change_at - 1);
        EXPECT_EQ(h.curLevel(), 1);
        runTo(t0 + c.change_at);
        EXPECT_EQ(h.curLevel(), c.level);
        // The other change does not follow.
        runTo(t0 + hours(1 + kDown + kUp));
        EXPECT_EQ(h.curLevel(), c.level);
    }
}

TEST_F(HouseNeedTest, ALevelChangeTimedWithoutItsKindIsDecidedEitherWayAtItsTime) {
    // As games saved before rises and falls were told apart hold it.
    for (int neighbourhood : {5, 25}) {
        SCOPED_TRACE(neighbourhood);
        TearDown();
        SetUp();
        houseType().level_descs_[2].people_max_ = 8;
        RnHous& h = levelOne();
        h.peopleArrive(houseType(), 4);
        h.serviceDelivered(DaxGameTime(0), kWell);
        h.goods_[kFood].restock(DaxGameTime(0), 100, 8);
        setDesirability(neighbourhood);
        h.flags_ |= P::kLvlPending;
        h.t_lvl_ = hours(3);
        grn_game.updateQueue().schedule(DaxGameTime(0), h.oid_);
        runTo(hours(3) - 1);
        EXPECT_EQ(h.curLevel(), 1);
        runTo(hours(3));
        EXPECT_EQ(h.curLevel(), neighbourhood < 10 ? 0 : 2);
    }
}

TEST_F(HouseNeedTest, AWalkerPassingOftenDoesNotPutOffTheRise) {
    houseType().level_descs_[2].people_max_ = 8;
    RnHous& h = levelOne();
    h.peopleArrive(houseType(), 4);
    h.goods_[kFood].restock(DaxGameTime(0), 100, 8);
    h.serviceDelivered(DaxGameTime(0), kTax);
    // The well's walker passes every 2 hours, more often than a rise takes.
    for (uint32_t t = 0; t <= hours(kUp); t += hours(2)) {
        h.serviceDelivered(DaxGameTime(t), kWell);
        runTo(t);
    }
    EXPECT_EQ(h.curLevel(), 2);
}

// ---------------------------------------------------------------------------
// Walkers of real homes

TEST_F(HouseNeedTest, ServiceMarketAndBuilderWalkersServeRealHouses) {
    for (int x = 0; x < 12; ++x) addRoad(x, 6);
    RnHous& h = levelOne();
    RnServ& well = grn_game.servByOid(grn_game.servType(kWell).createBuilding(1, 5));
    RnMrktType mt;
    mt.type_id_ = 600;
    mt.distribute_goods_ = {kFood};
    mt.walker_type_idx_ = 0;
    RnMrkt& m = grn_game.mrktByOid(grn_game.mrktType(grn_game.addMrktType(mt)).createBuilding(9, 5));
    m.goods_stored_[kFood].amount_ = 20;
    RnBldrType bt;
    bt.type_id_ = 800;
    bt.goods_allowed_ = {kPlanks};
    RnBldr& b = grn_game.bldrByOid(grn_game.bldrType(grn_game.addBldrType(bt)).createBuilding(10, 5));
    b.goods_stored_[kPlanks].stored_ = 5;
    setNow(hours(100));  // half the planks are worn
    const DaxGameTime t(hours(100));

    RnFloodTarget target;
    RnFloodWalkerServ serv_flood(target, t, kWell, 0);
    ASSERT_TRUE(serv_flood.floodFromStarts(target, well.oid_, roadsAround(well), 10));
    EXPECT_EQ(target.target_oid_, h.oid_);
    h.setServicePending(kWell, true);
    RnWalkerServ& sw = send(servWalkers(), RnWalkerServ(well.oid_, target, t, false));
    runWalker(sw);
    EXPECT_GT(h.services_[kWell].served_at_.value(), t.value());
    EXPECT_EQ(h.services_[kWell].level_word_ & RnHouseServiceData::kWalkerOnWay, 0);

    RnFloodTarget mtarget;
    RnFloodWalkerMrkt mrkt_flood(mtarget, t, m.oid_, 0);
    ASSERT_TRUE(mrkt_flood.floodFromStarts(mtarget, m.oid_, roadsAround(m), 10));
    EXPECT_EQ(mtarget.target_oid_, h.oid_);
    runWalker(send(mrktWalkers(), RnWalkerMrkt(m.oid_, mtarget, t, false)));
    EXPECT_EQ(m.goods_stored_[kFood].amount_, 12);
    EXPECT_EQ(h.goods_[kFood].amount_, 8);

    RnFloodTarget btarget;
    RnFloodWalkerBldr bldr_flood(btarget, t, b.oid_);
    ASSERT_TRUE(bldr_flood.floodFromStarts(btarget, b.oid_, roadsAround(b), 10));
    EXPECT_EQ(btarget.target_oid_, h.oid_);
    runWalker(send(bldrWalkers(), RnWalkerBldr(b.oid_, btarget, t, false)));
    EXPECT_EQ(b.goods_stored_[kPlanks].stored_, 4);
    EXPECT_EQ(h.material_in_store_[kPlanks].amount_, 2);
}

// ---------------------------------------------------------------------------
// After loading

TEST_F(HouseTest, VerifyBringsTheEntriesInLineWithAChangedType) {
    RnHous& h = houseWith(4, 0);
    raise(h, 0);
    h.services_[kWell].served_at_ = 333;
    h.goods_[kFood].amount_ = 5;
    RnHousType& t = houseType();
    t.level_descs_[2].goods_[0].cap_ = 3;
    t.level_descs_[2].services_ = {RnHousServiceNeed{kWell, 48}};
    t.level_descs_[1].services_ = {RnHousServiceNeed{kTax, 24}};
    clearConsole();
    h.verify(t);
    EXPECT_TRUE(loggedContaining("Hous verify: [2:0,0] gd=1 chg max cap 2 to 3"));
    EXPECT_TRUE(loggedContaining("Hous verify: [2:0,0] sd=1 chg level 2 to 1"));
    EXPECT_TRUE(loggedContaining("Hous verify: [2:0,0] replace service_data: 2 elements by 2"));
    EXPECT_TRUE(loggedContaining("Hous verify: [2:0,0] replace goods_data: 1 elements by 1"));
    EXPECT_EQ(h.services_[kTax].level(), 1);
    EXPECT_EQ(h.services_[kWell].served_at_.value(), 333u);  // times and amounts are kept
    EXPECT_EQ(h.goods_[kFood].cap_, 3);
    EXPECT_EQ(h.goods_[kFood].amount_, 5);
    // Nothing changed: nothing replaced.
    clearConsole();
    h.verify(t);
    EXPECT_FALSE(loggedContaining("Hous verify"));

    // A level the type does not have stops the load.
    t.level_descs_.resize(1);
    EXPECT_EQ(raised([&] { h.verify(t); }), "house [2:0,0] at level 1 does not fit its type's 1 levels");
}

TEST_F(HouseTest, VerifyMaterialNeedsFollowsTheLevelsMaterial) {
    RnHous& h = houseWith(4, 0);
    RnHousType& t = houseType();
    t.level_descs_[0].material_ = RnMaterialEntry{kFood, 3, 10};  // new at level 0
    t.level_descs_[1].material_.hours_ = 50;                     // changed, next level
    h.material_in_store_[0] = RnMaterialInf();                    // no longer listed
    clearConsole();
    setNow(100);
    grn_game.updateQueue().remove(h.oid_);
    EXPECT_TRUE(h.verifyMaterialNeeds(t));
    EXPECT_TRUE(loggedContaining("prod [2:0,0] needs new material 1,food"));
    EXPECT_TRUE(loggedContaining("prod [2:0,0] has material wood which is not required with prod type house"));
    EXPECT_EQ(h.material_in_store_.size(), 2u);
    EXPECT_EQ(h.material_in_store_[kFood].amount_, 3);
    EXPECT_EQ(h.t_bld_.value(), 100u + hours(30));
    DaxGameTime wake;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(h.oid_, wake));
    EXPECT_EQ(wake.value(), h.t_bld_.value());
    EXPECT_FALSE(h.verifyMaterialNeeds(t));
}

}  // namespace
