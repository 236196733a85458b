// The update queue (order, bring-forward rule, removal) and the per-tick
// update (due jobs, re-scheduling, statistics roll-over, autosave).
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

RnObjectID job(int32_t n) { return RnObjectID(RnIdScriptJob, 0, n); }

class QueueTest : public WorldTest {
protected:
    RnGameUpdateQueue& q() { return grn_game.updateQueue(); }
    std::vector<int32_t> order() {
        std::vector<int32_t> out;
        for (const auto& j : q().jobs()) out.push_back(j.oid.bld_idx_);
        return out;
    }
};

TEST_F(QueueTest, JobsAreOnlyBroughtForward) {
    q().schedule(100, job(1));
    q().schedule(120, job(1));
    ASSERT_EQ(q().size(), 1u);
    EXPECT_EQ(q().front().time_for_next_update.value(), 100u);
    EXPECT_EQ(q().front().seq, 1u);

    q().schedule(80, job(1));
    ASSERT_EQ(q().size(), 1u);
    EXPECT_EQ(q().front().time_for_next_update.value(), 80u);
    EXPECT_EQ(q().front().seq, 2u);  // a replaced job takes a new number
    DaxGameTime t;
    ASSERT_TRUE(q().pendingTime(job(1), t));
    EXPECT_EQ(t.value(), 80u);
    EXPECT_EQ(q().objectMap().size(), 1u);
}

TEST_F(QueueTest, OrderIsTimeThenSchedulingOrder) {
    q().schedule(50, job(3));
    q().schedule(20, job(1));
    q().schedule(50, job(2));
    q().schedule(20, job(4));
    EXPECT_EQ(order(), (std::vector<int32_t>{1, 4, 3, 2}));
    q().pop();
    EXPECT_EQ(order(), (std::vector<int32_t>{4, 3, 2}));
    DaxGameTime t;
    EXPECT_FALSE(q().pendingTime(job(1), t));
}

TEST_F(QueueTest, RemoveTakesOnlyThatObjectsJob) {
    q().schedule(50, job(1));
    q().schedule(50, job(2));
    q().schedule(50, job(3));
    q().remove(job(2));
    q().remove(job(7));  // nothing pending: ignored
    EXPECT_EQ(order(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(q().objectMap().size(), 2u);
    q().clear();
    EXPECT_TRUE(q().empty());
    q().schedule(1, job(1));
    EXPECT_EQ(q().front().seq, 1u);  // numbering starts again after clear
}

TEST_F(QueueTest, ObjectMapOrdersByInstanceIndexFirst) {
    RnGameUpdateQueue::OidLess less;
    EXPECT_TRUE(less(RnObjectID(5, 3, 1), RnObjectID(1, 0, 2)));
    EXPECT_TRUE(less(RnObjectID(1, 0, 2), RnObjectID(2, 0, 2)));   // same type index: the kind decides
    EXPECT_TRUE(less(RnObjectID(2, 7, 2), RnObjectID(1, 8, 2)));   // the type index is the high half
    EXPECT_TRUE(less(RnObjectID(2, 0, 2), RnObjectID(1, 1, 2)));   // type index in the high half
    EXPECT_TRUE(less(RnObjectID(1, 0, -1), RnObjectID(1, 0, 0)));  // instance index is signed
    EXPECT_TRUE(less(RnObjectID(1, 0, 0), RnObjectID(1, -1, 0)));  // type half is unsigned
}

TEST_F(QueueTest, TickRunsDueJobsWithTheirOwnTime) {
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    q().schedule(30, job(1));
    q().schedule(10, job(2));
    q().schedule(10, job(3));
    q().schedule(31, job(4));
    setNow(30);
    grn_game.update();
    ASSERT_EQ(svc.runs.size(), 3u);
    EXPECT_EQ(svc.runs[0].job, 2);
    EXPECT_EQ(svc.runs[0].time, 10u);  // the job's time, not now
    EXPECT_EQ(svc.runs[1].job, 3);
    EXPECT_EQ(svc.runs[2].job, 1);
    EXPECT_EQ(svc.runs[2].time, 30u);
    EXPECT_EQ(order(), (std::vector<int32_t>{4}));  // returned 0: not rescheduled
    EXPECT_EQ(svc.save_error_checks, 1);
}

TEST_F(QueueTest, EarlierNextTimeWarnsAndRunsAgainInTheSameTick) {
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    svc.next_times = {5, 200};
    q().schedule(10, job(1));
    setNow(20);
    grn_game.update();
    ASSERT_EQ(svc.runs.size(), 2u);
    EXPECT_EQ(svc.runs[1].time, 5u);
    EXPECT_TRUE(loggedContaining("next_upd_time(5) < job.time_for_next_update(10) [32:0,1]"));
    ASSERT_EQ(q().size(), 1u);
    EXPECT_EQ(q().front().time_for_next_update.value(), 200u);
}

TEST_F(QueueTest, RemovedJobNeverRuns) {
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    q().schedule(10, job(1));
    q().schedule(10, job(2));
    q().remove(job(1));
    setNow(10);
    grn_game.update();
    ASSERT_EQ(svc.runs.size(), 1u);
    EXPECT_EQ(svc.runs[0].job, 2);
}

TEST_F(QueueTest, StatisticsRollByPopulationAndMonth) {
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    setNow(0);
    grn_game.update();
    // First tick: the daily short roll and the monthly long roll with its log.
    EXPECT_EQ(svc.rolls, (std::vector<bool>{false, true}));
    EXPECT_EQ(svc.stat_logs, 1);

    grn_game.update();  // same day: the week was never remembered, so it rolls once
    EXPECT_EQ(svc.rolls.size(), 3u);
    grn_game.update();
    EXPECT_EQ(svc.rolls.size(), 3u);

    setNow(DaxGameTime::kPerDay);  // next day, small town: daily roll
    grn_game.update();
    EXPECT_EQ(svc.rolls.size(), 4u);

    grn_game.population_ = 200;  // middling town: weekly only
    setNow(2 * DaxGameTime::kPerDay);
    grn_game.update();
    EXPECT_EQ(svc.rolls.size(), 4u);
    setNow(DaxGameTime::kPerWeek);
    grn_game.update();
    EXPECT_EQ(svc.rolls.size(), 5u);

    grn_game.population_ = 1000;  // big town: monthly only
    setNow(DaxGameTime::kPerWeek * 2);
    grn_game.update();
    EXPECT_EQ(svc.rolls.size(), 5u);
    setNow(32 * DaxGameTime::kPerDay);
    grn_game.update();
    ASSERT_EQ(svc.rolls.size(), 6u);
    EXPECT_TRUE(svc.rolls.back());
    EXPECT_EQ(svc.stat_logs, 2);
}

TEST_F(QueueTest, AutosaveByChosenPeriod) {
    struct Case {
        int freq;
        uint32_t next;  // a time in the next period of the choice
    };
    const Case cases[] = {
        {1, DaxGameTime::kPerWeek},
        {2, 31 * DaxGameTime::kPerDay},
        {3, DaxGameTime::kPerYear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freq);
        RecordingServices svc;
        grn_game.setTickServices(&svc);
        grn_game.autosave_week_ = grn_game.autosave_month_ = grn_game.autosave_year_ = 0;
        grn_config.freq_autosave_ = c.freq;
        setNow(0);
        grn_game.update();
        EXPECT_EQ(svc.autosaves, 0);  // the first tick only sets the markers
        EXPECT_EQ(grn_game.autosave_week_, 1);
        EXPECT_EQ(grn_game.autosave_month_, 1);
        EXPECT_EQ(grn_game.autosave_year_, 1);
        setNow(c.next - 1);
        grn_game.update();
        EXPECT_EQ(svc.autosaves, 0);
        setNow(c.next);
        grn_game.update();
        EXPECT_EQ(svc.autosaves, 1);
        grn_game.update();
        EXPECT_EQ(svc.autosaves, 1);  // markers refreshed
        grn_game.setTickServices(nullptr);
    }
    RecordingServices svc;
    grn_game.setTickServices(&svc);
    grn_config.freq_autosave_ = 0;
    setNow(5 * DaxGameTime::kPerYear);
    grn_game.update();
    EXPECT_EQ(svc.autosaves, 0);
}

using QueueDeathTest = QueueTest;

TEST_F(QueueDeathTest, SchedulingAMissingObjectIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(grn_game.updateQueue().schedule(10, RnObjectID(RnIdBldRoad, 0, 0)), "rn_game_update:[0-9]+ pobj");
    makeMap(4);
    addRoadType();
    RnObjectID road = grn_game.roadType(0).createBuilding(1, 1);
    grn_game.roadByOid(road).is_active_ = false;
    EXPECT_DEATH(grn_game.updateQueue().schedule(10, road), "rn_game_update:[0-9]+ pobj->is_active_");
}

}  // namespace
