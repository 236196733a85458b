// The update queue (order, bring-forward rule, removal) and the per-tick
// update (due jobs, re-scheduling, statistics roll-over, autosave).
#include <map>
#include <random>
#include <tuple>

#include "test_game_fixture.h"

using namespace worldtest;

namespace {

using Job = RnGameUpdateQueue::Job;
using JobTuple = std::tuple<int16_t, int16_t, int32_t, uint32_t, uint32_t>;  // id, time, number

RnObjectID job(int32_t n) { return RnObjectID(RnIdScriptJob, 0, n); }

JobTuple tupleOf(const Job& j) {
    return JobTuple(j.oid.kind_, j.oid.type_idx_, j.oid.bld_idx_, j.time_for_next_update.value(), j.seq);
}

std::vector<JobTuple> tuplesOf(const RnGameUpdateQueue::JobList& jobs) {
    std::vector<JobTuple> out;
    for (const Job& j : jobs) out.push_back(tupleOf(j));
    return out;
}

std::vector<std::tuple<int16_t, int16_t, int32_t, uint32_t>> tuplesOf(const RnGameUpdateQueue::ObjectMap& map) {
    std::vector<std::tuple<int16_t, int16_t, int32_t, uint32_t>> out;
    for (const auto& p : map) out.emplace_back(p.oid.kind_, p.oid.type_idx_, p.oid.bld_idx_, p.time.value());
    return out;
}

// The queue's rules written plainly: one job per object, found by a scan
// for the least (time, number) when popping.
struct ReferenceQueue {
    uint32_t seq = 0;
    std::map<RnObjectID, Job, RnGameUpdateQueue::OidLess> pending;

    void schedule(uint32_t t, const RnObjectID& oid) {
        auto it = pending.find(oid);
        if (it != pending.end() && t >= it->second.time_for_next_update.value()) return;
        pending[oid] = Job{oid, t, ++seq};
    }
    void remove(const RnObjectID& oid) { pending.erase(oid); }
    RnGameUpdateQueue::JobList jobs() const {
        RnGameUpdateQueue::JobList out;
        for (const auto& p : pending) out.push_back(p.second);
        std::sort(out.begin(), out.end(), RnGameUpdateQueue::JobLess());
        return out;
    }
    Job front() const {
        auto less = [](const auto& a, const auto& b) { return RnGameUpdateQueue::JobLess()(a.second, b.second); };
        return std::min_element(pending.begin(), pending.end(), less)->second;
    }
    void pop() {
        if (!pending.empty()) pending.erase(front().oid);
    }
    RnGameUpdateQueue::ObjectMap objectMap() const {
        RnGameUpdateQueue::ObjectMap out;
        for (const auto& p : pending) out.push_back({p.first, p.second.time_for_next_update});
        return out;
    }
};

class QueueTest : public WorldTest {
protected:
    RnGameUpdateQueue& q() { return grn_game.updateQueue(); }
    std::vector<int32_t> order() {
        std::vector<int32_t> out;
        for (const auto& j : q().jobs()) out.push_back(j.oid.bld_idx_);
        return out;
    }
    // A long random run from a queue whose counter stands at first_seq.
    void agreesWithThePlainRules(uint32_t first_seq);
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

TEST_F(QueueTest, TiesKeepSchedulingOrderThroughRemovalAndReplacement) {
    for (int32_t n = 1; n <= 6; ++n) q().schedule(50, job(n));
    q().remove(job(1));  // the front
    q().remove(job(4));  // among the ties
    EXPECT_EQ(order(), (std::vector<int32_t>{2, 3, 5, 6}));
    clearConsole();
    q().schedule(40, job(5));  // forward, past the ties
    EXPECT_TRUE(loggedLine("rem 50 5 [32:0,5]"));
    EXPECT_TRUE(loggedLine("add 40 7 [32:0,5]"));
    q().schedule(60, job(3));  // later: kept
    q().schedule(50, job(6));  // the same time: kept with its number
    EXPECT_EQ(order(), (std::vector<int32_t>{5, 2, 3, 6}));
    q().schedule(45, job(6));
    EXPECT_EQ(tuplesOf(q().jobs()), (std::vector<JobTuple>{JobTuple(32, 0, 5, 40, 7), JobTuple(32, 0, 6, 45, 8),
                                                           JobTuple(32, 0, 2, 50, 2), JobTuple(32, 0, 3, 50, 3)}));
    q().pop();
    EXPECT_TRUE(loggedLine("pop 40 7 [32:0,5]"));
    q().remove(job(6));  // the new front
    EXPECT_EQ(q().front().oid, job(2));
    EXPECT_EQ(q().size(), 2u);
    q().remove(job(3));
    q().remove(job(2));
    EXPECT_TRUE(q().empty());
    q().schedule(70, job(9));
    EXPECT_EQ(tuplesOf(q().jobs()), (std::vector<JobTuple>{JobTuple(32, 0, 9, 70, 9)}));
}

// Long random runs with many ties, replacements and removals, checked
// against the plain rules after every step; once from a fresh queue, once
// from a counter that wraps to 0 halfway (the new numbers then come first
// among the jobs of their time).
TEST_F(QueueTest, AgreesWithThePlainRulesOverLongRuns) {
    for (uint32_t first_seq : {0u, 0xFFFFFFFFu - 5000u}) {
        SCOPED_TRACE(first_seq);
        agreesWithThePlainRules(first_seq);
    }
}

void QueueTest::agreesWithThePlainRules(uint32_t first_seq) {
    dax_config.debug_level_ = 0;  // no trace lines for thousands of steps
    std::mt19937 rng(4357);
    std::vector<RnObjectID> ids;
    for (int16_t kind = RnIdScriptJob; kind < RnIdScriptJob + 3; ++kind)
        for (int16_t type = -1; type < 3; ++type)
            for (int32_t idx = -3; idx < 22; ++idx) ids.emplace_back(kind, type, idx);
    // Indices past the dense start of their type's table: some are kept
    // aside until the table reaches them (or for good).
    for (int32_t idx : {40, 70, 90, 100, 130, 1000, 1 << 30}) ids.emplace_back(RnIdScriptJob, 0, idx);
    RnGameUpdateQueue queue;
    ASSERT_TRUE(queue.restore(static_cast<int32_t>(first_seq), {}, {}));
    ReferenceQueue ref;
    ref.seq = first_seq;
    auto pick = [&] { return ids[rng() % ids.size()]; };
    // Mostly a handful of times, so that many jobs share one.
    auto time = [&] { return rng() % 8 == 0 ? rng() % 1000 : 500 + rng() % 4; };
    for (int step = 0; step < 40000; ++step) {
        // Pops are rare in the first half, so stale entries pile up.
        unsigned pop_share = step < 20000 ? 5 : 40;
        unsigned r = rng() % 100;
        if (r < pop_share) {
            queue.pop();
            ref.pop();
        } else if (r < pop_share + 30) {
            RnObjectID oid = pick();
            queue.remove(oid);
            ref.remove(oid);
        } else {
            RnObjectID oid = pick();
            uint32_t t = time();
            queue.schedule(t, oid);
            ref.schedule(t, oid);
        }
        ASSERT_EQ(queue.size(), ref.pending.size()) << "step " << step;
        if (!queue.empty()) {
            ASSERT_EQ(tupleOf(queue.front()), tupleOf(ref.front())) << "step " << step;
        }
        if (step % 97 == 0) {
            ASSERT_EQ(tuplesOf(queue.jobs()), tuplesOf(ref.jobs())) << "step " << step;
            ASSERT_EQ(tuplesOf(queue.objectMap()), tuplesOf(ref.objectMap())) << "step " << step;
            ASSERT_EQ(queue.sequence(), static_cast<int32_t>(ref.seq));
            for (const RnObjectID& oid : ids) {
                DaxGameTime t;
                auto it = ref.pending.find(oid);
                ASSERT_EQ(queue.pendingTime(oid, t), it != ref.pending.end());
                if (it != ref.pending.end()) {
                    ASSERT_EQ(t.value(), it->second.time_for_next_update.value());
                }
            }
        }
    }
}

TEST_F(QueueTest, RestoredQueueContinuesInTheSameOrder) {
    dax_config.debug_level_ = 0;
    for (int32_t n = 0; n < 200; ++n) q().schedule(100 + static_cast<uint32_t>(n % 3), job(n));
    for (int32_t n = 0; n < 200; n += 3) q().remove(job(n));
    for (int32_t n = 1; n < 200; n += 5) q().schedule(99, job(n));
    q().pop();
    RnGameUpdateQueue::ObjectMap map = q().objectMap();
    RnGameUpdateQueue::JobList jobs = q().jobs();
    ASSERT_EQ(map.size(), jobs.size());

    RnGameUpdateQueue restored;
    ASSERT_TRUE(restored.restore(q().sequence(), map, jobs));
    EXPECT_EQ(restored.sequence(), q().sequence());
    EXPECT_EQ(tuplesOf(restored.jobs()), tuplesOf(jobs));
    EXPECT_EQ(tuplesOf(restored.objectMap()), tuplesOf(map));
    // The file may list the map in any order; the jobs are read in theirs.
    std::reverse(map.begin(), map.end());
    std::reverse(jobs.begin(), jobs.end());
    RnGameUpdateQueue shuffled;
    ASSERT_TRUE(shuffled.restore(q().sequence(), map, jobs));

    std::vector<JobTuple> ran[3];
    RnGameUpdateQueue* queues[3] = {&q(), &restored, &shuffled};
    for (int i = 0; i < 3; ++i) {
        RnGameUpdateQueue& x = *queues[i];
        x.schedule(100, job(500));
        x.schedule(98, job(2));
        x.remove(job(4));
        while (!x.empty()) {
            ran[i].push_back(tupleOf(x.front()));
            x.pop();
        }
    }
    EXPECT_EQ(ran[1], ran[0]);
    EXPECT_EQ(ran[2], ran[0]);
    EXPECT_EQ(ran[0].size(), 145u);
}

TEST_F(QueueTest, RestoreRefusesAMapAndJobsThatDisagree) {
    const RnObjectID a = job(1), b = job(2), c = job(3);
    struct Case {
        const char* what;
        RnGameUpdateQueue::ObjectMap map;
        RnGameUpdateQueue::JobList jobs;
    };
    const Case cases[] = {
        {"another time in the map", {{a, 11}, {b, 20}}, {{a, 10, 1}, {b, 20, 2}}},
        {"a job missing from the map", {{a, 10}}, {{a, 10, 1}, {b, 20, 2}}},
        {"another object in the map", {{a, 10}, {c, 20}}, {{a, 10, 1}, {b, 20, 2}}},
        {"an object twice in the map", {{a, 10}, {a, 10}}, {{a, 10, 1}, {b, 20, 2}}},
        {"an object with two jobs", {{a, 10}, {a, 20}}, {{a, 10, 1}, {a, 20, 2}}},
        {"two jobs with one time and number", {{a, 10}, {b, 10}}, {{a, 10, 1}, {b, 10, 1}}},
    };
    q().schedule(5, job(9));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(q().restore(7, c.map, c.jobs));
        EXPECT_EQ(tuplesOf(q().jobs()), (std::vector<JobTuple>{JobTuple(32, 0, 9, 5, 1)}));
        EXPECT_EQ(q().sequence(), 1);
    }
    EXPECT_TRUE(q().restore(7, {{b, 20}, {a, 10}}, {{b, 20, 2}, {a, 10, 1}}));
    EXPECT_EQ(q().sequence(), 7);
    EXPECT_EQ(q().front().oid, a);
}

TEST_F(QueueTest, RestoredEdgeValuesKeepWorking) {
    // The id of all ones and a counter at the top of its range: the next
    // number wraps to 0x80000000 and is saved as the counter's bits.
    const RnObjectID ones(-1, -1, -1);
    ASSERT_TRUE(q().restore(INT32_MAX, {{job(1), 3}, {ones, 3}}, {{ones, 3, 5}, {job(1), 3, 6}}));
    DaxGameTime t;
    ASSERT_TRUE(q().pendingTime(ones, t));
    EXPECT_EQ(t.value(), 3u);
    q().schedule(3, job(2));
    EXPECT_EQ(q().sequence(), INT32_MIN);
    EXPECT_EQ(tuplesOf(q().objectMap()),
              (std::vector<std::tuple<int16_t, int16_t, int32_t, uint32_t>>{{-1, -1, -1, 3}, {32, 0, 1, 3}, {32, 0, 2, 3}}));
    EXPECT_EQ(tuplesOf(q().jobs()), (std::vector<JobTuple>{JobTuple(-1, -1, -1, 3, 5), JobTuple(32, 0, 1, 3, 6),
                                                           JobTuple(32, 0, 2, 3, 0x80000000u)}));
    q().remove(ones);
    EXPECT_FALSE(q().pendingTime(ones, t));
    EXPECT_EQ(q().front().oid, job(1));
    EXPECT_EQ(q().size(), 2u);
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
