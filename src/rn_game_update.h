// The update queue: one pending wake-up job per object, ordered by time and
// then by the order in which the jobs were scheduled. The per-tick update of
// the game object pops and runs the due jobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_oid.h"
#include "nex/thash.h"
// kRnNoWakeTime: the time an update returns to ask not to be woken again.
#include "rn_bld_generic.h"

class RnGame;

// The jobs of each due time sit in a bucket of their own, in the order of
// their numbers; a small heap orders the buckets by time, and a table keyed
// by the time finds a time's bucket. An open-addressing index maps each
// object to the time and number of its one pending job. A job that is
// replaced or removed is only dropped from the index: its bucket entry goes
// stale and is discarded when it reaches the front, or when stale entries
// reach half the pending jobs and the buckets are compacted. Jobs are
// scheduled in number order, so a new job is almost always appended to its
// bucket, and the due jobs of a tick are read front to back: scheduling and
// popping cost O(1) (amortised) for the many jobs that share a time, and
// O(log b) once per time for its bucket among b buckets.
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
    // One entry of the object map: an object and the time of its pending job.
    struct Pending {
        RnObjectID oid;
        DaxGameTime time;
    };
    using ObjectMap = std::vector<Pending>;  // in OidLess order of the objects
    using JobList = std::vector<Job>;        // in JobLess order

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
    // No jobs, sequence counter 0; the memory is given back.
    void clear();

    bool empty() const { return index_.size() == 0; }
    size_t size() const { return index_.size(); }
    // The first job; the queue must not be empty.
    Job front() const { return jobOf(top()); }
    // The time of the object's pending job, if it has one.
    bool pendingTime(const RnObjectID& oid, DaxGameTime& time) const;
    // The id word of the entry `ahead` places behind the first one in the
    // first bucket, 0 when there is none. The entry may be stale: this is a
    // hint of what comes, for prefetching, and must not decide anything.
    uint64_t upcoming(size_t ahead) const {
        if (order_.empty()) return 0;
        const Bucket& b = buckets_[static_cast<uint32_t>(order_.front())];
        const size_t i = b.head + ahead;
        return i < b.entries.size() ? b.entries[i].oid : 0;
    }
    // Starts loading the index entry of an id word into the cache.
    void prefetchIndex(uint64_t key) const { index_.prefetch(key); }

    // For the save writer and loader: the state as it stands, in the orders
    // it is saved in (built on each call).
    int32_t sequence() const { return static_cast<int32_t>(seq_); }
    ObjectMap objectMap() const;
    JobList jobs() const;
    // Replaces the whole state (loading) when the map and the jobs agree:
    // every object once in each, with the same time, and no two jobs with the
    // same time and number. Otherwise returns false and changes nothing.
    bool restore(int32_t seq, const ObjectMap& objects, JobList jobs);

private:
    // Object -> (time, sequence number) of its pending job. The objects of
    // one type (one kind and type index) have instance indices from 0 up,
    // few of them unused: they sit in a table of their type by instance
    // index, which costs no hashing and keeps a type's entries together.
    // An id whose table would be more than half empty, and any id with a
    // negative index, goes into a hashed table beside them instead.
    class Index {
    public:
        struct Slot {
            uint32_t time;
            uint32_t seq;
        };
        size_t size() const { return count_ + hashed_.size(); }
        // The entry of key, nullptr when there is none.
        const Slot* find(uint64_t key) const;
        // The entry of key, added (time and seq unset) when there was none.
        Slot* findOrAdd(uint64_t key, bool& added);
        // Drops key's entry into out; false when there is none.
        bool take(uint64_t key, Slot& out);
        // Starts loading the slot of key (in a type's table) into the cache.
        void prefetch(uint64_t key) const {
            const int32_t idx = static_cast<int32_t>(key >> 32);
            const int32_t t = idx >= 0 ? typeOf(static_cast<uint32_t>(key)) : -1;
            if (t < 0) return;
            const Type& type = types_[static_cast<size_t>(t)];
            if (static_cast<size_t>(idx) < type.slots.size()) __builtin_prefetch(&type.slots[static_cast<size_t>(idx)]);
        }
        void release();
        // fn(key, slot) for every entry, in no particular order.
        template <class Fn>
        void forEach(Fn fn) const {
            for (const Type& t : types_) {
                for (size_t w = 0; w < t.used.size(); ++w) {
                    for (uint64_t bits = t.used[w]; bits != 0; bits &= bits - 1) {
                        const size_t i = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
                        fn(static_cast<uint64_t>(t.half) | (static_cast<uint64_t>(i) << 32), t.slots[i]);
                    }
                }
            }
            hashed_.forEach(fn);
        }

    private:
        // The table of one type: slots by instance index, a bit per slot
        // in use.
        struct Type {
            uint32_t half = 0;  // the id's type half (kind low, type index high)
            size_t count = 0;
            std::vector<Slot> slots;
            std::vector<uint64_t> used;
            bool has(size_t i) const { return i < slots.size() && (used[i / 64] >> (i % 64) & 1u) != 0; }
        };
        // Marks slot i of a type in use or free, keeping the counts.
        void setUsed(Type& type, size_t i, bool on);
        // The table of a type half, -1 when it has none.
        int32_t typeOf(uint32_t half) const;
        int32_t addType(uint32_t half);
        // The cell of direct_ of a kind and type index below the bounds
        // (those of the game's objects and script jobs), -1 for others.
        static int32_t directCell(uint32_t half);
        static constexpr uint32_t kDirectKinds = 64;
        static constexpr uint32_t kDirectTypes = 64;

        std::vector<Type> types_;
        // Type half -> table, linear probing; -1 marks a free slot.
        struct TypeRef {
            uint32_t half;
            int32_t type;
        };
        std::vector<TypeRef> type_map_;
        // Kind and type index -> table, -1 for none; made with the first
        // type that fits, the others go through type_map_.
        std::vector<int32_t> direct_;
        size_t count_ = 0;                // entries in the type tables
        nex::tHashIndex<Slot> hashed_;
    };

    // A bucket entry: (time, sequence number) as one number that orders as
    // the jobs do, and the object's id word.
    struct Entry {
        uint64_t key;
        uint64_t oid;
    };
    // The jobs of one time in number order (unsigned); those before head
    // have gone.
    struct Bucket {
        std::vector<Entry> entries;
        size_t head = 0;
    };
    // One cell of the time table: a time and its bucket, -1 for a free cell.
    struct TimeCell {
        uint32_t time;
        int32_t bucket;
    };

    static uint64_t keyOf(const Job& job) {
        return (static_cast<uint64_t>(job.time_for_next_update.value()) << 32) | job.seq;
    }
    static Entry entryOf(const Job& job) { return Entry{keyOf(job), job.oid.word()}; }
    static Job jobOf(const Entry& e) {
        return Job{RnObjectID::fromWord(e.oid), DaxGameTime(static_cast<uint32_t>(e.key >> 32)),
                   static_cast<uint32_t>(e.key)};
    }
    // The first entry of the earliest bucket; there must be one.
    const Entry& top() const {
        const Bucket& b = buckets_[static_cast<uint32_t>(order_.front())];
        return b.entries[b.head];
    }
    bool isPending(const Entry& e) const;
    // Adds e to the bucket of its time (made when there is none).
    void insert(const Entry& e);
    // The bucket of a time, -1 when there is none.
    int32_t bucketOf(uint32_t time) const;
    void addTime(uint32_t time, int32_t bucket);
    void eraseTime(uint32_t time);
    // A fresh bucket for a time, entered in the table and the order.
    int32_t newBucket(uint32_t time);
    // Gives an emptied bucket back for reuse.
    void freeBucket(int32_t bucket);
    // Drops the first entry, and its bucket when that is then empty.
    void dropTop();
    // After the top went: drops the stale entries that came to the front
    // (all of them when nothing is pending).
    void dropStaleTop();
    // Counts a job that left the index but not its bucket; compacts the
    // buckets when stale entries reach half the pending jobs.
    void addStale();
    void rebuild();
    // Every bucket and time dropped; the memory is given back.
    void releaseBuckets();

    RnGame* owner_;
    uint32_t seq_ = 0;  // wraps like the unsigned numbers it hands out
    std::vector<Bucket> buckets_;  // by number; those not in use are listed in free_
    std::vector<int32_t> free_;
    std::vector<uint64_t> order_;       // min-heap of (time << 32 | bucket) of the buckets in use
    std::vector<TimeCell> times_;       // time -> bucket; linear probing from the time itself
    size_t stale_ = 0;                  // bucket entries no longer pending
    Index index_;
};
static_assert(sizeof(RnGameUpdateQueue::Job) == 16, "an update job is saved as 16 bytes");

// Forgets the day, week and month the statistics last rolled over at, so the
// next tick rolls all of them as the first tick of the program does.
void rnResetStatisticsMarks();
