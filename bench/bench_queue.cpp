// The update queue against a bare std::priority_queue of (time, sequence, id)
// doing the same heap work in the same run: filling, draining, a week of ticks
// of a busy town, removing and bringing forward jobs among many due at the
// same time (removal against a bare heap that knows where each job stands,
// since the queue takes out a named job, not the first). Each BM_Queue* has
// a BM_Base* twin; compare the two.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <queue>
#include <vector>

#include "bench_clock.h"
#include "dax2/dax_clock.h"
#include "rn_game.h"

namespace {

constexpr int32_t kObjects = 100000;

// Script-job ids: the queue takes them without an object lookup, so the
// figures are those of the queue alone.
RnObjectID jobId(int32_t i) { return RnObjectID(RnIdScriptJob, 0, i); }

// Times spread over a game week, as wake-ups of a busy town are.
uint32_t timeOf(int32_t i) { return 1000u + static_cast<uint32_t>((i * 7919) % 2016); }

// The baseline: a binary heap of bare jobs ordered by time, then sequence.
struct BaseJob {
    uint32_t time;
    uint32_t seq;
    RnObjectID oid;
};
struct BaseLater {
    bool operator()(const BaseJob& a, const BaseJob& b) const {
        if (a.time != b.time) return a.time > b.time;
        return a.seq > b.seq;
    }
};
using BaseQueue = std::priority_queue<BaseJob, std::vector<BaseJob>, BaseLater>;

// Bytes the heap holds at the moment, allocator overhead included.
size_t heapBytes() { return mallinfo2().uordblks; }

void fill(RnGameUpdateQueue& q, int32_t n) {
    for (int32_t i = 0; i < n; ++i) q.schedule(timeOf(i), jobId(i));
}

void fill(BaseQueue& q, int32_t n, uint32_t& seq) {
    for (int32_t i = 0; i < n; ++i) q.push({timeOf(i), ++seq, jobId(i)});
}

void BM_QueueFill(benchmark::State& state) {
    RnGameUpdateQueue& q = grn_game.updateQueue();
    q.clear();
    size_t before = heapBytes();
    size_t bytes = 0;
    for (auto _ : state) {
        q.clear();
        fill(q, kObjects);
        bytes = heapBytes() - before;
        benchmark::DoNotOptimize(q.size());
    }
    q.clear();
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.counters["bytes_per_job"] = static_cast<double>(bytes) / kObjects;
}
BENCHMARK(BM_QueueFill)->Unit(benchmark::kMillisecond);

void BM_BaseFill(benchmark::State& state) {
    size_t before = heapBytes();
    size_t bytes = 0;
    for (auto _ : state) {
        BaseQueue q;
        uint32_t seq = 0;
        fill(q, kObjects, seq);
        bytes = heapBytes() - before;
        benchmark::DoNotOptimize(q.size());
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
    state.counters["bytes_per_job"] = static_cast<double>(bytes) / kObjects;
}
BENCHMARK(BM_BaseFill)->Unit(benchmark::kMillisecond);

void BM_QueueDrain(benchmark::State& state) {
    RnGameUpdateQueue& q = grn_game.updateQueue();
    for (auto _ : state) {
        state.PauseTiming();
        q.clear();
        fill(q, kObjects);
        state.ResumeTiming();
        while (!q.empty()) q.pop();
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_QueueDrain)->Unit(benchmark::kMillisecond);

void BM_BaseDrain(benchmark::State& state) {
    BaseQueue q;
    for (auto _ : state) {
        state.PauseTiming();
        uint32_t seq = 0;
        fill(q, kObjects, seq);
        state.ResumeTiming();
        while (!q.empty()) q.pop();
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_BaseDrain)->Unit(benchmark::kMillisecond);

// A week of ticks of a town of 20,000 objects: three in four are walkers
// stepping every 1 to 3 units, the rest buildings waking every 1 to 24 hours.
constexpr int32_t kTownObjects = 20000;

uint32_t wakeInterval(int32_t i) {
    if (i % 4 != 3) return 1u + static_cast<uint32_t>(i % 3);
    return 12u + static_cast<uint32_t>((i * 31) % 277);
}

// The town's objects as script jobs of the tick: each asks to be woken again
// after its interval.
struct TownServices : RnTickServicesIfc {
    void reportSaveError() override {}
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override {
        ++wakeups;
        return t.value() + wakeInterval(job.bld_idx_);
    }
    void rollStatistics(bool) override {}
    void logStatistics() override {}
    void autoSave() override {}
    void saveLastSave() override {}
    int64_t wakeups = 0;
};

void BM_QueueWeekOfTicks(benchmark::State& state) {
    TownServices services;
    grn_game.setTickServices(&services);
    RnGameUpdateQueue& q = grn_game.updateQueue();
    for (auto _ : state) {
        state.PauseTiming();
        q.clear();
        for (int32_t i = 0; i < kTownObjects; ++i) q.schedule(1 + wakeInterval(i), jobId(i));
        state.ResumeTiming();
        for (uint32_t now = 1; now <= DaxGameTime::kPerWeek; ++now) {
            benchSetNow(now);
            grn_game.update();
        }
    }
    q.clear();
    grn_game.setTickServices(nullptr);
    dax_gameclock.reset();
    state.SetItemsProcessed(services.wakeups);
}
BENCHMARK(BM_QueueWeekOfTicks)->Unit(benchmark::kMillisecond);

void BM_BaseWeekOfTicks(benchmark::State& state) {
    int64_t wakeups = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BaseQueue q;
        uint32_t seq = 0;
        for (int32_t i = 0; i < kTownObjects; ++i) q.push({1 + wakeInterval(i), ++seq, jobId(i)});
        state.ResumeTiming();
        for (uint32_t now = 1; now <= DaxGameTime::kPerWeek; ++now) {
            while (!q.empty() && q.top().time <= now) {
                BaseJob job = q.top();
                q.pop();
                ++wakeups;
                q.push({job.time + wakeInterval(job.oid.bld_idx_), ++seq, job.oid});
            }
        }
        benchmark::DoNotOptimize(q.size());
    }
    state.SetItemsProcessed(wakeups);
}
BENCHMARK(BM_BaseWeekOfTicks)->Unit(benchmark::kMillisecond);

// A whole town due at the same time; one job after another is removed and
// scheduled again (it goes to the back of its time).
constexpr uint32_t kSameTime = 5000;

void BM_QueueRemoveSameTime(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    RnGameUpdateQueue& q = grn_game.updateQueue();
    q.clear();
    for (int32_t i = 0; i < n; ++i) q.schedule(kSameTime, jobId(i));
    int32_t k = 0;
    for (auto _ : state) {
        q.remove(jobId(k));
        q.schedule(kSameTime, jobId(k));
        k = (k + 7919) % n;
    }
    q.clear();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueueRemoveSameTime)->Arg(1000)->Arg(20000);

// The bare work of the same: a binary heap whose jobs know their place
// (a table by job number), the named job taken out from where it stands and
// the new one put in.
class BaseIndexedHeap {
public:
    explicit BaseIndexedHeap(int32_t n) : place_(static_cast<size_t>(n), -1) {}
    void push(const BaseJob& job) {
        heap_.push_back(job);
        up(heap_.size() - 1);
    }
    void remove(int32_t id) {
        const size_t at = static_cast<size_t>(place_[static_cast<size_t>(id)]);
        place_[static_cast<size_t>(id)] = -1;
        const BaseJob last = heap_.back();
        heap_.pop_back();
        if (at == heap_.size()) return;
        heap_[at] = last;
        place_[static_cast<size_t>(last.oid.bld_idx_)] = static_cast<int32_t>(at);
        up(at);
        down(static_cast<size_t>(place_[static_cast<size_t>(last.oid.bld_idx_)]));
    }

private:
    static bool less(const BaseJob& a, const BaseJob& b) { return a.time != b.time ? a.time < b.time : a.seq < b.seq; }
    void set(size_t at, const BaseJob& job) {
        heap_[at] = job;
        place_[static_cast<size_t>(job.oid.bld_idx_)] = static_cast<int32_t>(at);
    }
    void up(size_t at) {
        const BaseJob job = heap_[at];
        while (at > 0 && less(job, heap_[(at - 1) / 2])) {
            set(at, heap_[(at - 1) / 2]);
            at = (at - 1) / 2;
        }
        set(at, job);
    }
    void down(size_t at) {
        const BaseJob job = heap_[at];
        for (;;) {
            size_t c = 2 * at + 1;
            if (c >= heap_.size()) break;
            if (c + 1 < heap_.size() && less(heap_[c + 1], heap_[c])) ++c;
            if (!less(heap_[c], job)) break;
            set(at, heap_[c]);
            at = c;
        }
        set(at, job);
    }

    std::vector<BaseJob> heap_;
    std::vector<int32_t> place_;  // by job number
};

void BM_BaseRemoveSameTime(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    BaseIndexedHeap q(n);
    uint32_t seq = 0;
    for (int32_t i = 0; i < n; ++i) q.push({kSameTime, ++seq, jobId(i)});
    int32_t k = 0;
    for (auto _ : state) {
        q.remove(k);
        q.push({kSameTime, ++seq, jobId(k)});
        k = (k + 7919) % n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaseRemoveSameTime)->Arg(1000)->Arg(20000);

// Bringing jobs forward: the pending job is found and replaced by an earlier
// one. Arg 0: 100,000 jobs spread over a week; otherwise that many jobs all
// due at the same time.
void BM_QueueBringForward(benchmark::State& state) {
    const int32_t spread = state.range(0) == 0;
    const int32_t n = spread ? kObjects : static_cast<int32_t>(state.range(0));
    RnGameUpdateQueue& q = grn_game.updateQueue();
    auto refill = [&] {
        q.clear();
        for (int32_t i = 0; i < n; ++i) q.schedule(spread ? timeOf(i) : kSameTime, jobId(i));
    };
    refill();
    uint32_t shift = 1;
    int32_t k = 0;
    for (auto _ : state) {
        q.schedule((spread ? timeOf(k) : kSameTime) - shift, jobId(k));
        k = (k + 7919) % n;
        if (k == 0 && ++shift >= 1000) {
            state.PauseTiming();
            refill();
            shift = 1;
            state.ResumeTiming();
        }
    }
    q.clear();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueueBringForward)->Arg(0)->Arg(1000)->Arg(20000);

// The heap work of the same: the earlier job in, one out to keep the size.
void BM_BaseBringForward(benchmark::State& state) {
    const int32_t spread = state.range(0) == 0;
    const int32_t n = spread ? kObjects : static_cast<int32_t>(state.range(0));
    BaseQueue q;
    uint32_t seq = 0;
    for (int32_t i = 0; i < n; ++i) q.push({spread ? timeOf(i) : kSameTime, ++seq, jobId(i)});
    uint32_t shift = 1;
    int32_t k = 0;
    for (auto _ : state) {
        q.push({(spread ? timeOf(k) : kSameTime) - shift, ++seq, jobId(k)});
        q.pop();
        k = (k + 7919) % n;
        if (k == 0 && ++shift >= 1000) shift = 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaseBringForward)->Arg(0)->Arg(1000)->Arg(20000);

}  // namespace
