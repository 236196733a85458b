// The update queue: one pending wake-up job per object, ordered by time and
// then by the order in which the jobs were scheduled. The per-tick update of
// the game object pops and runs the due jobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>

#include "dax2/dax_clock.h"
#include "dax2/dax_oid.h"
// kRnNoWakeTime: the time an update returns to ask not to be woken again.
#include "rn_bld_generic.h"

class RnGame;

class RnGameUpdateQueue {
public:
    // One pending wake-up, 16 bytes as saved.
    struct Job {
        RnObjectID oid;                    // object, or a script job id of kind 32 and above
        DaxGameTime time_for_next_update;  // when it is due
        uint32_t seq = 0;                  // order of scheduling
    };
    // By time, then by sequence number (both unsigned).
    struct JobLess {
        bool operator()(const Job& a, const Job& b) const {
            if (a.time_for_next_update.value() != b.time_for_next_update.value())
                return a.time_for_next_update.value() < b.time_for_next_update.value();
            return a.seq < b.seq;
        }
    };
    // Saved order of the object map: instance index (signed) first, then the
    // type half (kind low, type index high) as an unsigned word.
    struct OidLess {
        bool operator()(const RnObjectID& a, const RnObjectID& b) const {
            if (a.bld_idx_ != b.bld_idx_) return a.bld_idx_ < b.bld_idx_;
            return a.packed() < b.packed();
        }
    };
    using ObjectMap = std::map<RnObjectID, DaxGameTime, OidLess>;
    using JobSet = std::set<Job, JobLess>;

    // The objects of kinds below 32 are looked up in the owner (the global
    // game object when none is given).
    explicit RnGameUpdateQueue(RnGame* owner = nullptr) : owner_(owner) {}
    RnGameUpdateQueue(const RnGameUpdateQueue&) = delete;
    RnGameUpdateQueue& operator=(const RnGameUpdateQueue&) = delete;

    // Wakes oid at time. An object (kind below 32) must exist and be active.
    // A pending job that is not later than time is kept: jobs are only ever
    // brought forward.
    void schedule(DaxGameTime time, const RnObjectID& oid);
    // Drops the object's pending job, if any.
    void remove(const RnObjectID& oid);
    // Drops the first job, if any.
    void pop();
    // No jobs, sequence counter 0.
    void clear();

    bool empty() const { return jobs_.empty(); }
    size_t size() const { return jobs_.size(); }
    // The first job; the queue must not be empty.
    const Job& front() const { return *jobs_.begin(); }
    // The time of the object's pending job, if it has one.
    bool pendingTime(const RnObjectID& oid, DaxGameTime& time) const;

    // For the save writer and loader: the state as it stands.
    int32_t sequence() const { return seq_; }
    const ObjectMap& objectMap() const { return objects_; }
    const JobSet& jobs() const { return jobs_; }
    // Replaces the whole state (loading); the caller checks that map and set
    // agree.
    void restore(int32_t seq, ObjectMap objects, JobSet jobs);

private:
    JobSet::iterator findJob(const RnObjectID& oid, DaxGameTime time);

    RnGame* owner_;
    int32_t seq_ = 0;
    ObjectMap objects_;
    JobSet jobs_;
};
static_assert(sizeof(RnGameUpdateQueue::Job) == 16, "an update job is saved as 16 bytes");

// Forgets the day, week and month the statistics last rolled over at, so the
// next tick rolls all of them as the first tick of the program does.
void rnResetStatisticsMarks();
