// The update queue, the per-tick update of the game object and the area
// effect of desirability.
#include "rn_game_update.h"

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

RnGameUpdateQueue::JobSet::iterator RnGameUpdateQueue::findJob(const RnObjectID& oid, DaxGameTime time) {
    Job probe{oid, time, 0};
    for (auto it = jobs_.lower_bound(probe); it != jobs_.end(); ++it) {
        if (it->time_for_next_update.value() != time.value()) break;
        if (it->oid == oid) return it;
    }
    return jobs_.end();
}

void RnGameUpdateQueue::schedule(DaxGameTime time, const RnObjectID& oid) {
    if (oid.kind_ < RnIdScriptJob) {
        RnGame& game = owner_ ? *owner_ : grn_game;
        RnGenericObject* pobj = game.objectByOid(oid);
        DAX_ASSERT_AT(pobj, kSrc, __LINE__);
        DAX_ASSERT_AT(pobj->is_active_, kSrc, __LINE__);
    }
    auto found = objects_.find(oid);
    if (found != objects_.end()) {
        DaxGameTime t_old = found->second;
        // Jobs are only brought forward, never postponed.
        if (time.value() >= t_old.value()) return;
        auto jt = findJob(oid, t_old);
        if (jt != jobs_.end()) {
            if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("rem", *jt);
            jobs_.erase(jt);
        }
        objects_.erase(found);
    }
    ++seq_;
    Job job{oid, time, static_cast<uint32_t>(seq_)};
    jobs_.insert(job);
    objects_.emplace(oid, time);
    if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("add", job);
}

void RnGameUpdateQueue::remove(const RnObjectID& oid) {
    auto found = objects_.find(oid);
    if (found == objects_.end()) return;
    auto jt = findJob(oid, found->second);
    if (jt != jobs_.end()) {
        if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("rem", *jt);
        jobs_.erase(jt);
    }
    objects_.erase(found);
}

void RnGameUpdateQueue::pop() {
    if (jobs_.empty()) return;
    auto it = jobs_.begin();
    if (dax_config.logEnabled(kTraceLevel, kTraceClass)) traceJob("pop", *it);
    objects_.erase(it->oid);
    jobs_.erase(it);
}

void RnGameUpdateQueue::clear() {
    objects_.clear();
    jobs_.clear();
    seq_ = 0;
}

bool RnGameUpdateQueue::pendingTime(const RnObjectID& oid, DaxGameTime& time) const {
    auto found = objects_.find(oid);
    if (found == objects_.end()) return false;
    time = found->second;
    return true;
}

void RnGameUpdateQueue::restore(int32_t seq, ObjectMap objects, JobSet jobs) {
    seq_ = seq;
    objects_ = std::move(objects);
    jobs_ = std::move(jobs);
}

void RnGame::update() {
    DaxGameTime now = dax_gameclock.gameTime();
    if (tick_services_) tick_services_->reportSaveError();
    // Named as the queue's job set so that the check below reads as it is.
    const RnGameUpdateQueue::JobSet& queue_ = update_queue_.jobs();
    while (!queue_.empty()) {
        auto it = queue_.begin();
        DAX_ASSERT_AT(it != queue_.end(), kSrc, __LINE__);
        RnGameUpdateQueue::Job job = *it;
        if (job.time_for_next_update.value() > now.value()) break;
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
