// The update queue, the per-tick update of the game object and the area
// effect of desirability.
#include "rn_game_update.h"

#include <algorithm>
#include <functional>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "rn.h"
#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_map.h"

namespace {

const char* const kSrc = "src\\rn_game_update";

// Queue trace lines: level 1, class 2.
constexpr int kTraceLevel = 1;
constexpr int kTraceClass = 2;

void traceJob(const char* what, const RnGameUpdateQueue::Job& job) {
    daxLogMessage(kTraceLevel, kTraceClass, "%s %d %d [%hd:%hd,%d]", what,
                  static_cast<int>(job.time_for_next_update.value()), static_cast<int>(job.seq), job.oid.kind_,
                  job.oid.type_idx_, job.oid.bld_idx_);
}

// Stale entries beyond half the number of pending jobs that make the buckets
// be compacted: a few, so that small queues are not compacted on every
// removal. Half keeps the entries within 1.5 times the pending jobs, and a
// compaction comes only after as many new stale entries as a third of what
// it scans.
constexpr size_t kStaleSlack = 64;

// The room a bucket starts with and keeps when it is reused: most times take
// a few jobs, those of the next few minutes of a big town thousands.
constexpr size_t kSmallBucket = 16;

// The day, week and month the statistics last rolled at. They belong to the
// running program, not to a game: a new game or a load does not reset them.
int g_stat_day = -1;
int g_stat_week = -1;
int g_stat_month = -1;

}  // namespace

void rnResetStatisticsMarks() {
    g_stat_day = -1;
    g_stat_week = -1;
    g_stat_month = -1;
}

// --- The tables by type --------------------------------------------------------

int32_t RnGameUpdateQueue::Index::directCell(uint32_t half) {
    const uint32_t kind = half & 0xffffu;
    const uint32_t type = half >> 16;
    return kind < kDirectKinds && type < kDirectTypes ? static_cast<int32_t>(kind * kDirectTypes + type) : -1;
}

int32_t RnGameUpdateQueue::Index::typeOf(uint32_t half) const {
    const int32_t cell = directCell(half);
    if (cell >= 0) return direct_.empty() ? -1 : direct_[static_cast<size_t>(cell)];
    if (type_map_.empty()) return -1;
    const size_t mask = type_map_.size() - 1;
    for (size_t i = (half * 0x9E3779B9u) & mask;; i = (i + 1) & mask) {
        const TypeRef& r = type_map_[i];
        if (r.type < 0) return -1;
        if (r.half == half) return r.type;
    }
}

int32_t RnGameUpdateQueue::Index::addType(uint32_t half) {
    const int32_t type = static_cast<int32_t>(types_.size());
    types_.push_back(Type());
    types_.back().half = half;
    const int32_t cell = directCell(half);
    if (cell >= 0) {
        if (direct_.empty()) direct_.assign(kDirectKinds * kDirectTypes, -1);
        direct_[static_cast<size_t>(cell)] = type;
        return type;
    }
    // At most half of the map in use; it is rebuilt from the tables when it
    // grows.
    if (types_.size() * 2 > type_map_.size()) {
        type_map_.assign(type_map_.empty() ? 16 : type_map_.size() * 2, TypeRef{0, -1});
        const size_t mask = type_map_.size() - 1;
        for (size_t t = 0; t < types_.size(); ++t) {
            if (directCell(types_[t].half) >= 0) continue;
            size_t i = (types_[t].half * 0x9E3779B9u) & mask;
            while (type_map_[i].type >= 0) i = (i + 1) & mask;
            type_map_[i] = TypeRef{types_[t].half, static_cast<int32_t>(t)};
        }
    } else {
        const size_t mask = type_map_.size() - 1;
        size_t i = (half * 0x9E3779B9u) & mask;
        while (type_map_[i].type >= 0) i = (i + 1) & mask;
        type_map_[i] = TypeRef{half, type};
    }
    return type;
}

void RnGameUpdateQueue::Index::setUsed(Type& type, size_t i, bool on) {
    const uint64_t bit = uint64_t{1} << (i % 64);
    type.used[i / 64] = on ? type.used[i / 64] | bit : type.used[i / 64] & ~bit;
    if (on) {
        ++type.count;
        ++count_;
    } else {
        --type.count;
        --count_;
    }
}

const RnGameUpdateQueue::Index::Slot* RnGameUpdateQueue::Index::find(uint64_t key) const {
    const int32_t idx = static_cast<int32_t>(key >> 32);
    const int32_t t = idx >= 0 ? typeOf(static_cast<uint32_t>(key)) : -1;
    if (t >= 0 && types_[static_cast<size_t>(t)].has(static_cast<size_t>(idx)))
        return &types_[static_cast<size_t>(t)].slots[static_cast<size_t>(idx)];
    return hashed_.size() != 0 ? hashed_.find(key) : nullptr;
}

RnGameUpdateQueue::Index::Slot* RnGameUpdateQueue::Index::findOrAdd(uint64_t key, bool& added) {
    const int32_t idx = static_cast<int32_t>(key >> 32);
    if (idx >= 0) {
        const uint32_t half = static_cast<uint32_t>(key);
        int32_t t = typeOf(half);
        if (t < 0) t = addType(half);
        Type& type = types_[static_cast<size_t>(t)];
        const size_t i = static_cast<size_t>(idx);
        if (type.has(i)) {
            added = false;
            return &type.slots[i];
        }
        // An id kept in the hashed table before its type's table reached it
        // stays there. The table grows to the index (doubling, for the
        // indices to come) while at most half of it (and a few slots) is
        // unused.
        const bool dense = i < type.slots.size() || i < 2 * (type.count + 1) + 64;
        if (dense && (hashed_.size() == 0 || !hashed_.find(key))) {
            if (i >= type.slots.size()) {
                const size_t size = std::max(i + 1, std::min(2 * type.slots.size(), 2 * (type.count + 1) + 64));
                type.slots.resize(size);
                type.used.resize((size + 63) / 64, 0);
            }
            setUsed(type, i, true);
            added = true;
            return &type.slots[i];
        }
    }
    return hashed_.findOrAdd(key, added);
}

bool RnGameUpdateQueue::Index::take(uint64_t key, Slot& out) {
    const int32_t idx = static_cast<int32_t>(key >> 32);
    const int32_t t = idx >= 0 ? typeOf(static_cast<uint32_t>(key)) : -1;
    if (t >= 0 && types_[static_cast<size_t>(t)].has(static_cast<size_t>(idx))) {
        Type& type = types_[static_cast<size_t>(t)];
        out = type.slots[static_cast<size_t>(idx)];
        setUsed(type, static_cast<size_t>(idx), false);
        return true;
    }
    return hashed_.size() != 0 && hashed_.take(key, out);
}

void RnGameUpdateQueue::Index::release() {
    std::vector<Type>().swap(types_);
    std::vector<TypeRef>().swap(type_map_);
    std::vector<int32_t>().swap(direct_);
    count_ = 0;
    hashed_.release();
}

bool RnGameUpdateQueue::isPending(const Entry& e) const {
    const Index::Slot* slot = index_.find(e.oid);
    return slot && ((static_cast<uint64_t>(slot->time) << 32) | slot->seq) == e.key;
}

// --- Buckets by time -------------------------------------------------------------

int32_t RnGameUpdateQueue::bucketOf(uint32_t time) const {
    if (times_.empty()) return -1;
    const size_t mask = times_.size() - 1;
    for (size_t i = time & mask;; i = (i + 1) & mask) {
        if (times_[i].bucket < 0) return -1;
        if (times_[i].time == time) return times_[i].bucket;
    }
}

void RnGameUpdateQueue::addTime(uint32_t time, int32_t bucket) {
    // At most half of the table in use; it is rebuilt from the order when it
    // grows.
    if (2 * (order_.size() + 1) > times_.size()) {
        times_.assign(std::max<size_t>(64, 2 * times_.size()), TimeCell{0, -1});
        for (uint64_t o : order_) addTime(static_cast<uint32_t>(o >> 32), static_cast<int32_t>(o & 0xffffffffu));
    }
    const size_t mask = times_.size() - 1;
    size_t i = time & mask;
    while (times_[i].bucket >= 0) i = (i + 1) & mask;
    times_[i] = TimeCell{time, bucket};
}

void RnGameUpdateQueue::eraseTime(uint32_t time) {
    const size_t mask = times_.size() - 1;
    size_t i = time & mask;
    while (times_[i].time != time || times_[i].bucket < 0) i = (i + 1) & mask;
    // Later cells of the run move back into the hole when their home cell
    // does not lie between the hole and them, so that no search stops early.
    for (size_t j = i;;) {
        times_[i].bucket = -1;
        for (;;) {
            j = (j + 1) & mask;
            if (times_[j].bucket < 0) return;
            const size_t home = times_[j].time & mask;
            const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (!stays) break;
        }
        times_[i] = times_[j];
        i = j;
    }
}

int32_t RnGameUpdateQueue::newBucket(uint32_t time) {
    int32_t b;
    if (!free_.empty()) {
        b = free_.back();
        free_.pop_back();
    } else {
        b = static_cast<int32_t>(buckets_.size());
        buckets_.emplace_back();
        buckets_.back().entries.reserve(kSmallBucket);
    }
    addTime(time, b);
    order_.push_back((static_cast<uint64_t>(time) << 32) | static_cast<uint32_t>(b));
    std::push_heap(order_.begin(), order_.end(), std::greater<uint64_t>());
    return b;
}

void RnGameUpdateQueue::freeBucket(int32_t bucket) {
    Bucket& b = buckets_[static_cast<size_t>(bucket)];
    b.head = 0;
    // A bucket is reused for any time, most of which take few jobs: it keeps
    // only the room of a small one.
    if (b.entries.capacity() > kSmallBucket) {
        std::vector<Entry>().swap(b.entries);
        b.entries.reserve(kSmallBucket);
    } else {
        b.entries.clear();
    }
    free_.push_back(bucket);
}

void RnGameUpdateQueue::insert(const Entry& e) {
    const uint32_t time = static_cast<uint32_t>(e.key >> 32);
    int32_t b = bucketOf(time);
    if (b < 0) b = newBucket(time);
    Bucket& bucket = buckets_[static_cast<size_t>(b)];
    std::vector<Entry>& v = bucket.entries;
    // The first bucket may take new jobs while its front goes: when it is
    // full and at least half gone, the rest moves to its start rather than
    // growing it (each moved entry paid for by a gone one).
    if (bucket.head > 0 && v.size() == v.capacity() && 2 * bucket.head >= v.size()) {
        v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(bucket.head));
        bucket.head = 0;
    }
    // Numbers grow with each job, so the new job is the bucket's last, unless
    // the counter wrapped or a save gave numbers beyond it.
    if (v.size() == bucket.head || v.back().key < e.key) {
        v.push_back(e);
        return;
    }
    auto at = std::upper_bound(v.begin() + static_cast<std::ptrdiff_t>(bucket.head), v.end(), e.key,
                               [](uint64_t key, const Entry& x) { return key < x.key; });
    v.insert(at, e);
}

void RnGameUpdateQueue::dropTop() {
    const int32_t b = static_cast<int32_t>(order_.front() & 0xffffffffu);
    Bucket& bucket = buckets_[static_cast<size_t>(b)];
    if (++bucket.head < bucket.entries.size()) return;
    eraseTime(static_cast<uint32_t>(order_.front() >> 32));
    std::pop_heap(order_.begin(), order_.end(), std::greater<uint64_t>());
    order_.pop_back();
    freeBucket(b);
}

void RnGameUpdateQueue::releaseBuckets() {
    std::vector<Bucket>().swap(buckets_);
    std::vector<int32_t>().swap(free_);
    std::vector<uint64_t>().swap(order_);
    std::vector<TimeCell>().swap(times_);
}

void RnGameUpdateQueue::dropStaleTop() {
    if (index_.size() == 0) {
        // Nothing pending: every bucket left holds only stale entries.
        while (!order_.empty()) {
            const int32_t b = static_cast<int32_t>(order_.back() & 0xffffffffu);
            eraseTime(static_cast<uint32_t>(order_.back() >> 32));
            order_.pop_back();
            freeBucket(b);
        }
        stale_ = 0;
        return;
    }
    while (stale_ > 0 && !isPending(top())) {
        dropTop();
        --stale_;
    }
}

void RnGameUpdateQueue::addStale() {
    ++stale_;
    if (stale_ > index_.size() / 2 + kStaleSlack) rebuild();
}

void RnGameUpdateQueue::rebuild() {
    std::vector<uint64_t> order;
    order.swap(order_);
    std::fill(times_.begin(), times_.end(), TimeCell{0, -1});
    for (uint64_t o : order) {
        const int32_t b = static_cast<int32_t>(o & 0xffffffffu);
        Bucket& bucket = buckets_[static_cast<size_t>(b)];
        size_t kept = 0;
        for (size_t i = bucket.head; i < bucket.entries.size(); ++i)
            if (isPending(bucket.entries[i])) bucket.entries[kept++] = bucket.entries[i];
        bucket.entries.resize(kept);
        bucket.head = 0;
        if (bucket.entries.capacity() > 4 * kept + kSmallBucket) bucket.entries.shrink_to_fit();
        if (kept == 0) {
            freeBucket(b);
        } else {
            addTime(static_cast<uint32_t>(o >> 32), b);
            order_.push_back(o);
        }
    }
    std::make_heap(order_.begin(), order_.end(), std::greater<uint64_t>());
    stale_ = 0;
}

void RnGameUpdateQueue::schedule(DaxGameTime time, const RnObjectID& oid) {
    if (oid.kind_ < RnIdScriptJob) {
        RnGame& game = owner_ ? *owner_ : grn_game;
        RnGenericObject* pobj = game.objectByOid(oid);
        DAX_ASSERT_AT(pobj, kSrc, __LINE__);
        DAX_ASSERT_AT(pobj->is_active_, kSrc, __LINE__);
    }
    bool added = false;
    Index::Slot* entry = index_.findOrAdd(oid.word(), added);
    const bool trace = dax_config.logEnabled(kTraceLevel, kTraceClass);
    if (!added) {
        // Jobs are only brought forward, never postponed.
        if (time.value() >= entry->time) return;
        if (trace) traceJob("rem", Job{oid, entry->time, entry->seq});
    }
    ++seq_;
    entry->time = time.value();
    entry->seq = seq_;
    Job job{oid, time, seq_};
    // A replaced job is later than this one, so the top stays pending.
    insert(entryOf(job));
    if (trace) traceJob("add", job);
    if (!added) addStale();
}

void RnGameUpdateQueue::remove(const RnObjectID& oid) {
    Index::Slot gone;
    if (!index_.take(oid.word(), gone)) return;
    const Job job{oid, gone.time, gone.seq};
    if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("rem", job);
    // The top is pending: either it is this job, or it stays the top.
    if (top().key == keyOf(job) && top().oid == job.oid.word()) {
        dropTop();
        dropStaleTop();
    } else {
        addStale();
    }
}

void RnGameUpdateQueue::pop() {
    if (empty()) return;
    const Entry& first = top();
    if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("pop", jobOf(first));
    Index::Slot gone;
    index_.take(first.oid, gone);
    dropTop();
    dropStaleTop();
}

void RnGameUpdateQueue::clear() {
    releaseBuckets();
    index_.release();
    stale_ = 0;
    seq_ = 0;
}

bool RnGameUpdateQueue::pendingTime(const RnObjectID& oid, DaxGameTime& time) const {
    const Index::Slot* entry = index_.find(oid.word());
    if (!entry) return false;
    time = DaxGameTime(entry->time);
    return true;
}

RnGameUpdateQueue::ObjectMap RnGameUpdateQueue::objectMap() const {
    ObjectMap out;
    out.reserve(index_.size());
    index_.forEach([&out](uint64_t key, const Index::Slot& e) {
        out.push_back({RnObjectID::fromWord(key), DaxGameTime(e.time)});
    });
    std::sort(out.begin(), out.end(), [](const Pending& a, const Pending& b) { return OidLess()(a.oid, b.oid); });
    return out;
}

RnGameUpdateQueue::JobList RnGameUpdateQueue::jobs() const {
    JobList out;
    out.reserve(index_.size());
    for (uint64_t o : order_) {
        const Bucket& b = buckets_[static_cast<uint32_t>(o)];
        for (size_t i = b.head; i < b.entries.size(); ++i)
            if (stale_ == 0 || isPending(b.entries[i])) out.push_back(jobOf(b.entries[i]));
    }
    std::sort(out.begin(), out.end(), JobLess());
    return out;
}

bool RnGameUpdateQueue::restore(int32_t seq, const ObjectMap& objects, JobList jobs) {
    if (objects.size() != jobs.size()) return false;
    std::sort(jobs.begin(), jobs.end(), JobLess());
    for (size_t i = 1; i < jobs.size(); ++i)
        if (keyOf(jobs[i - 1]) == keyOf(jobs[i])) return false;
    // Entered by ascending instance index, so that each type's table grows
    // without gaps.
    std::vector<const Job*> by_oid;
    by_oid.reserve(jobs.size());
    for (const Job& job : jobs) by_oid.push_back(&job);
    std::sort(by_oid.begin(), by_oid.end(), [](const Job* a, const Job* b) { return OidLess()(a->oid, b->oid); });
    Index index;
    for (const Job* job : by_oid) {
        bool added = false;
        Index::Slot* entry = index.findOrAdd(job->oid.word(), added);
        if (!added) return false;
        entry->time = job->time_for_next_update.value();
        entry->seq = job->seq;
    }
    // With as many entries as jobs, each naming a different object with its
    // job's time, the map and the jobs agree.
    std::vector<RnObjectID> oids;
    oids.reserve(objects.size());
    for (const Pending& p : objects) {
        const Index::Slot* entry = index.find(p.oid.word());
        if (!entry || entry->time != p.time.value()) return false;
        oids.push_back(p.oid);
    }
    std::sort(oids.begin(), oids.end(), OidLess());
    if (std::adjacent_find(oids.begin(), oids.end()) != oids.end()) return false;

    seq_ = static_cast<uint32_t>(seq);
    releaseBuckets();
    index_ = std::move(index);
    // Sorted jobs go to the back of their buckets.
    for (const Job& job : jobs) insert(entryOf(job));
    stale_ = 0;
    return true;
}

void RnGame::update() {
    DaxGameTime now = dax_gameclock.gameTime();
    if (tick_services_) tick_services_->reportSaveError();
    // The objects a tick wakes lie all over memory, and each update starts
    // with a miss on its object. The due jobs of a time are read in order
    // from its bucket, so the queue's entry, the live table's cell and the
    // object of the jobs a little ahead are loaded while this one runs.
    constexpr size_t kCellAhead = 16;
    constexpr size_t kObjectAhead = 8;
    // (Script jobs, and the ends of buckets, give nothing to load.)
    auto object = [](uint64_t word) {
        const int16_t kind = static_cast<int16_t>(word & 0xFFFFu);
        return kind > RnIdNone && kind < RnIdScriptJob;
    };
    while (!update_queue_.empty()) {
        RnGameUpdateQueue::Job job = update_queue_.front();
        if (job.time_for_next_update.value() > now.value()) break;
        const uint64_t far = update_queue_.upcoming(kCellAhead);
        if (object(far)) {
            update_queue_.prefetchIndex(far);
            prefetchCell(far);
        }
        const uint64_t near = update_queue_.upcoming(kObjectAhead);
        if (object(near)) prefetchObject(near);
        update_queue_.pop();
        DaxGameTime next_upd_time = kRnNoWakeTime;
        if (job.oid.kind_ < RnIdScriptJob) {
            RnGenericObject* pobj = objectByOid(job.oid);
            DAX_ASSERT_AT(pobj, kSrc, __LINE__);
            next_upd_time = pobj->update(job.time_for_next_update);
            // Objects are removed by others (through the queue's remove),
            // never by their own update.
            DAX_ASSERT_AT(pobj->is_active_, kSrc, __LINE__);
        } else if (tick_services_) {
            next_upd_time = tick_services_->runScriptJob(job.oid, job.time_for_next_update);
        }
        if (next_upd_time.value() > kRnNoWakeTime) {
            if (next_upd_time.value() < job.time_for_next_update.value()) {
                daxLogMessage(1, 1, "next_upd_time(%d) < job.time_for_next_update(%d) [%hd:%hd,%d]",
                              static_cast<int>(next_upd_time.value()),
                              static_cast<int>(job.time_for_next_update.value()), job.oid.kind_,
                              job.oid.type_idx_, job.oid.bld_idx_);
            }
            update_queue_.schedule(next_upd_time, job.oid);
        }
    }

    // Statistics roll over daily while the town is small, weekly while it is
    // middling, and in full every month.
    int day = static_cast<int>(now.totalDays());
    int week = now.week();
    int month = now.monthCount();
    if (population_ < 100 && day != g_stat_day) {
        g_stat_day = day;
        if (tick_services_) tick_services_->rollStatistics(false);
    } else if (population_ < 500 && week != g_stat_week) {
        g_stat_week = week;
        if (tick_services_) tick_services_->rollStatistics(false);
    }
    if (month != g_stat_month) {
        g_stat_month = month;
        if (tick_services_) {
            tick_services_->rollStatistics(true);
            tick_services_->logStatistics();
        }
    }

    int year = now.year();
    if (autosave_week_ == 0) autosave_week_ = week;
    if (autosave_month_ == 0) autosave_month_ = month;
    if (autosave_year_ == 0) autosave_year_ = year;
    bool due = false;
    switch (grn_config.freq_autosave_) {
        case 1: due = week != autosave_week_; break;
        case 2: due = month != autosave_month_; break;
        case 3: due = year != autosave_year_; break;
        default: break;
    }
    if (due) {
        if (tick_services_) tick_services_->autoSave();
        autosave_week_ = week;
        autosave_month_ = month;
        autosave_year_ = year;
    }
}

void RnGame::spreadDesirability(DaxGameTime now, int old_value, int new_value, int x, int y, int16_t w,
                                int16_t h) {
    if (old_value == new_value) return;
    int r = static_cast<uint16_t>(map_range_desirability_);
    float cx = static_cast<float>(x) - static_cast<float>(w - 1) / 2.0f;
    float cy = static_cast<float>(y) - static_cast<float>(h - 1) / 2.0f;
    float r2 = static_cast<float>(r * r);
    for (int i = x - w - r + 1; i < x + r; ++i) {
        for (int j = y - h - r + 1; j < y + r; ++j) {
            if (!grn_map.isOnMap(i, j)) continue;
            if (i > x - w && i <= x && j > y - h && j <= y) continue;  // own footprint
            float dx = static_cast<float>(i) - cx;
            float dy = static_cast<float>(j) - cy;
            float d2 = dx * dx + dy * dy;
            if (d2 >= r2) continue;
            float o = static_cast<float>(old_value);
            float n = static_cast<float>(new_value);
            if (d2 >= 9.0f) {
                float factor = 9.0f / (d2 + 1.0f);
                o *= factor;
                n *= factor;
            }
            int delta = static_cast<int>(n) - static_cast<int>(o);
            if (delta == 0) continue;
            RnMapTile& tile = grn_map.tile(i, j);
            tile.desirability_ = static_cast<int16_t>(tile.desirability_ + delta);
            if (!tile.oid_.isRoadOrBuilding()) continue;
            int hours = delta > 0 ? hours_incr_desirability_ : hours_decr_desirability_;
            DaxGameTime t(now.value() + static_cast<uint32_t>(hours) * DaxGameTime::kPerHour);
            RnGenericBuilding& obj = buildingByOid(tile.oid_);
            DAX_ASSERT_AT(obj.is_active_, kSrc, __LINE__);
            obj.desirabilityChanged(t);
            update_queue_.schedule(t, tile.oid_);
        }
    }
}
