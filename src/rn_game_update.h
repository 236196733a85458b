// The update queue: one pending wake-up job per object, ordered by time and
// then by the order in which the jobs were scheduled. The per-tick update of
// the game object pops and runs the due jobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_oid.h"
#include "nex/thash.h"
// kRnNoWakeTime: the time an update returns to ask not to be woken again.
#include "rn_bld_generic.h"

class RnGame;

// The jobs live in a 4-ary min-heap keyed by (time, sequence number); an
// open-addressing index maps each object to the time and number of its one
// pending job. A job that is replaced or removed is only dropped from the
// index: its heap entry goes stale and is discarded when it reaches the top,
// or when stale entries reach half the pending jobs and the heap is rebuilt.
// So scheduling, removal and popping cost O(log n) (amortised) however many
// jobs share a time, and no heap move touches the index. Each heap entry
// carries its key as one number and the four children of an entry share one
// cache line, so that a step down the heap costs one compare per child and at
// most one line from memory.
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
    Job front() const { return jobOf(heap()[0]); }
    // The time of the object's pending job, if it has one.
    bool pendingTime(const RnObjectID& oid, DaxGameTime& time) const;

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

        std::vector<Type> types_;
        // Type half -> table, linear probing; -1 marks a free slot.
        struct TypeRef {
            uint32_t half;
            int32_t type;
        };
        std::vector<TypeRef> type_map_;
        mutable int32_t last_type_ = -1;  // the table found last
        size_t count_ = 0;                // entries in the type tables
        nex::tHashIndex<Slot> hashed_;
    };

    // A heap entry: (time, sequence number) as one number that orders as the
    // jobs do, and the object's id word.
    struct Entry {
        uint64_t key;
        uint64_t oid;
    };
    // Storage for the heap aligned to a cache line.
    template <class T>
    struct LineAllocator {
        using value_type = T;
        LineAllocator() = default;
        template <class U>
        LineAllocator(const LineAllocator<U>&) {}
        T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64))); }
        void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t(64)); }
        bool operator==(const LineAllocator&) const { return true; }
        bool operator!=(const LineAllocator&) const { return false; }
    };
    // The heap's root sits after kPad unused entries, which puts the
    // children 4i+1..4i+4 of entry i on one 64-byte line.
    static constexpr size_t kPad = 3;
    static_assert(sizeof(Entry) * 4 == 64, "four children fill a cache line");

    static uint64_t keyOf(const Job& job) {
        return (static_cast<uint64_t>(job.time_for_next_update.value()) << 32) | job.seq;
    }
    static Entry entryOf(const Job& job) { return Entry{keyOf(job), job.oid.word()}; }
    static Job jobOf(const Entry& e) {
        return Job{RnObjectID::fromWord(e.oid), DaxGameTime(static_cast<uint32_t>(e.key >> 32)),
                   static_cast<uint32_t>(e.key)};
    }
    // The heap's entries, root first.
    Entry* heap() { return heap_.data() + kPad; }
    const Entry* heap() const { return heap_.data() + kPad; }
    size_t heapSize() const { return heap_.empty() ? 0 : heap_.size() - kPad; }
    bool isPending(const Entry& e) const;
    void push(const Entry& e);
    // Puts e into the hole at pos and moves it down to its place.
    void siftDown(size_t pos, Entry e);
    void popTop();
    // After the top went: drops the stale entries that came to the top (all
    // of them when nothing is pending).
    void dropStaleTop();
    // Counts a job that left the index but not the heap; rebuilds the heap
    // without stale entries when they reach half the pending jobs.
    void addStale();
    void rebuild();

    RnGame* owner_;
    uint32_t seq_ = 0;  // wraps like the unsigned numbers it hands out
    std::vector<Entry, LineAllocator<Entry>> heap_;  // kPad unused entries, then the heap
    size_t stale_ = 0;  // heap entries no longer pending
    Index index_;
};
static_assert(sizeof(RnGameUpdateQueue::Job) == 16, "an update job is saved as 16 bytes");

// Forgets the day, week and month the statistics last rolled over at, so the
// next tick rolls all of them as the first tick of the program does.
void rnResetStatisticsMarks();
