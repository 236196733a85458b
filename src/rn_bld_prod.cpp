// Production buildings: the cycle from inputs to outputs, the walker
// dispatch, the near-storage links and their demand, the resource factor with
// its roaming markers, placement, removal and the checks after loading.
#include "rn_bld_prod.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_neighbourhood.h"
#include "dax2/dax_random.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_placement.h"
#include "rn_file_load.h"
#include "rn_wlk_prod.h"
#include "rn_workforce.h"

namespace {

// Efficiency below this runs no cycle and sends no walker.
constexpr float kMinEfficiency = 0.01f;
// The resource factor is updated once a game day.
constexpr float kResourceHours = 24.0f;
// The first near-storage refresh comes this long after the first update.
constexpr float kFirstNearHours = 2.0f;

DaxGameTime hoursAfter(DaxGameTime t, float hours) {
    t.addHours(hours);
    return t;
}

// A timer re-armed hours after now, but never at now itself: an update that
// asks to be woken at its own time with nothing done would run forever.
DaxGameTime laterThan(DaxGameTime now, float hours) {
    DaxGameTime t = hoursAfter(now, hours);
    return t.value() > now.value() ? t : DaxGameTime(now.value() + 1);
}

// A marked position as the building keeps it: the int32 whose bytes are
// the DaxMapPositionI.
int32_t packPos(const DaxMapPositionI& p) {
    int32_t v = 0;
    std::memcpy(&v, &p, sizeof(v));
    return v;
}

DaxMapPositionI unpackPos(int32_t v) {
    int16_t xy[2];
    std::memcpy(xy, &v, sizeof(xy));
    return DaxMapPositionI(xy[0], xy[1]);
}

int outputAmount(const RnProdOutInf& out) { return out.stored_ & RnProdOutInf::kAmountMask; }

void logLinkCleared(const RnObjectID& stor, const char* what, int16_t goods, const RnObjectID& oid) {
    daxLogMessage(1, 2, "near_stor [%hd:%hd,%d] cleared for %s goods type %d prod [%hd:%hd,%d]", stor.kind_,
                  stor.type_idx_, stor.bld_idx_, what, goods, oid.kind_, oid.type_idx_, oid.bld_idx_);
}

// The entries of a goods map of a loaded building against the goods types
// of its type: what is missing is added, links to storages that no longer
// keep the goods are dropped, goods the type does not list are refused.
template <class Map, class List>
void checkGoodsEntries(Map& map, const List& listed, const char* what, const RnObjectID& oid) {
    for (const auto& entry : listed) {
        if (map.count(entry.good_type_idx_) != 0) continue;
        map[entry.good_type_idx_] = typename Map::mapped_type();
        daxLogMessage(1, 2, "add new %s goods type %d to prod [%hd:%hd,%d]", what, entry.good_type_idx_, oid.kind_,
                      oid.type_idx_, oid.bld_idx_);
    }
    for (auto& [goods, e] : map) {
        if (e.near_storage_.isNull() || rnLinkedStorage(e.near_storage_, goods)) continue;
        logLinkCleared(e.near_storage_, what, goods, oid);
        e.near_storage_.setNull();
    }
    if (map.size() > listed.size())
        daxRaiseError("prod [%hd:%hd,%d] has %s goods which are not allowed with prod type", oid.kind_,
                      oid.type_idx_, oid.bld_idx_, what);
}

}  // namespace

RnProd::RnProd(const RnProdType& type, int x, int y) : RnSimpleBuilding(RnIdBldProd, x, y) {
    flags_ = kEffPending;
    resource_factor_ = 1.0f;
    for (const RnGoodsOutput& out : type.output_goods_) output_goods_in_store_[out.good_type_idx_] = RnProdOutInf();
    for (const RnGoodsAmount& in : type.input_goods_) input_goods_[in.good_type_idx_] = RnProdInpInf();
}

const RnProdType& RnProd::prodType() const { return grn_game.prodType(oid_.type_idx_); }

// ---------------------------------------------------------------------------
// The update

DaxGameTime RnProd::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnProdType& typ = prodType();

    // Building material: a new building starts with a full store.
    if (materialRanOut(now, flags_, kBldPending, t_bld_)) {
        fallToRuin();
        return kRnNoWakeTime;
    }

    if ((flags_ & kEffPending) != 0 && now.value() >= t_eff_.value()) {
        if (typ.resource_bld_type_ == kRnResAroundBld) {
            updateResourceFactor(typ);
            // A fixed daily period, whatever resource_efficiency_update_hours
            // says.
            if (t_eff_.value() == 0) t_eff_ = now;
            t_eff_ = hoursAfter(t_eff_, kResourceHours);
        } else {
            resource_factor_ = 1.0f;
            flags_ &= ~kEffPending;
        }
    }

    if ((flags_ & kWkfPending) != 0 && now.value() >= t_wkf_.value()) {
        updateWorkerFactor();
        flags_ &= ~kWkfPending;
        startCycles(t_wkf_);
    }

    if ((flags_ & kNearPending) == 0) {
        flags_ |= kNearPending;
        t_near_ = hoursAfter(now, kFirstNearHours);
    } else if (now.value() >= t_near_.value()) {
        t_near_ = hoursAfter(t_near_, std::max<float>(1.0f, grn_game.storage_network_update_hours_));
        std::map<int16_t, RnObjectID> near;
        for (const auto& out : output_goods_in_store_) near[out.first] = RnObjectID();
        for (const auto& in : input_goods_) near[in.first] = RnObjectID();
        linkNearStorages(near);
        applyNearStorages(near);
    }

    // Finished cycles: the goods go into the store, and the next cycle
    // starts where the last one ended when inputs and room allow.
    for (auto& [goods, out] : output_goods_in_store_) {
        if ((out.stored_ & RnProdOutInf::kCycleRunning) == 0 || now.value() < out.ready_time_.value()) continue;
        out.stored_ &= RnProdOutInf::kAmountMask;
        const RnGoodsOutput* def = nullptr;
        for (const RnGoodsOutput& d : typ.output_goods_)
            if (d.good_type_idx_ == goods) def = &d;
        if (!def) continue;
        adjustOutput(goods, def->amount_, typ.out_capa_);
        advanceOutput(out.ready_time_, out, *def);
    }

    if ((flags_ & kKillPending) != 0 && now.value() >= t_kill_.value()) {
        flags_ &= ~kKillPending;
        removeFinishedWalkers();
    }

    if ((flags_ & kSpwnPending) != 0 && now.value() >= t_spwn_.value()) {
        flags_ &= ~kSpwnPending;
        sendProdWalker(now);
    }
    if ((flags_ & kSpwnPending) == 0 && walkerCount() < typ.num_walkers_ && efficiency() >= kMinEfficiency) {
        t_spwn_ = laterThan(now, typ.hours_respawn_);
        flags_ |= kSpwnPending;
    }

    uint32_t wake = std::numeric_limits<uint32_t>::max();
    auto earliest = [&wake, this](uint32_t bit, DaxGameTime t) {
        if ((flags_ & bit) != 0) wake = std::min(wake, t.value());
    };
    earliest(kSpwnPending, t_spwn_);
    earliest(kKillPending, t_kill_);
    earliest(kWkfPending, t_wkf_);
    earliest(kNearPending, t_near_);
    for (const auto& out : output_goods_in_store_) {
        if ((out.second.stored_ & RnProdOutInf::kCycleRunning) != 0)
            wake = std::min(wake, out.second.ready_time_.value());
    }
    earliest(kEffPending, t_eff_);
    earliest(kBldPending, t_bld_);
    return wake == std::numeric_limits<uint32_t>::max() ? kRnNoWakeTime : DaxGameTime(wake);
}

void RnProd::fallToRuin() {
    const RnProdType& typ = prodType();
    shutDown(typ);
    flags_ |= kDestroyed;
    flags_ &= ~(kWkfPending | kNearPending | kBldPending | kSpwnPending);
    for (auto& out : output_goods_in_store_) out.second.stored_ &= RnProdOutInf::kAmountMask;
    rnShowRuin(*this);
}

// ---------------------------------------------------------------------------
// Workers and notices

bool RnProd::hasWorkers() const { return rnHasWorkers(*this, prodType().worker_reqs_); }

void RnProd::updateWorkerFactor() { worker_factor_ = rnMeanWorkerRatio(*this, prodType()); }

void RnProd::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnProd::goodsArrived(DaxGameTime t) {
    if (startCycles(t)) grn_game.updateQueue().schedule(t, oid_);
}

void RnProd::walkerReturned(DaxGameTime t, const RnObjectID& wlk_oid) {
    DAX_ASSERT(wlk_oid.id()==RnIdWlkProd);
    rnNoteFirst(flags_, kKillPending, t_kill_, t);
}

float RnProd::efficiency() const { return isDestroyed() ? 0.0f : worker_factor_ * resource_factor_; }

bool RnProd::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

uint32_t RnProd::problemFlags() const {
    const uint32_t bits = flags_ & kProblemBits;
    return bits == kProblemBits ? bits | 1u : bits;
}

bool RnProd::refersTo(const RnObjectID& oid) const {
    for (const auto& in : input_goods_)
        if (in.second.near_storage_ == oid) return true;
    for (const auto& out : output_goods_in_store_)
        if (out.second.near_storage_ == oid) return true;
    return false;
}

void RnProd::forgetObject(const RnObjectID& oid) {
    for (auto& in : input_goods_)
        if (in.second.near_storage_ == oid) in.second.near_storage_.setNull();
    for (auto& out : output_goods_in_store_)
        if (out.second.near_storage_ == oid) out.second.near_storage_.setNull();
}

// ---------------------------------------------------------------------------
// Goods

bool RnProd::inputsAvailable() const {
    const RnProdType& typ = prodType();
    if (typ.input_goods_.empty()) return true;
    for (const auto& out : output_goods_in_store_)
        if ((out.second.stored_ & RnProdOutInf::kCycleRunning) != 0) return true;
    for (const RnGoodsAmount& need : typ.input_goods_) {
        auto it = input_goods_.find(need.good_type_idx_);
        if (it == input_goods_.end() || it->second.stored_ + it->second.promised_ < need.amount_) return false;
    }
    return true;
}

int RnProd::inputLevel() const {
    if (isDestroyed()) return 0;
    const int capa = prodType().in_capa_;
    if (capa <= 0) return 0;
    int lowest = capa;
    for (const auto& in : input_goods_) lowest = std::min(lowest, in.second.stored_ + in.second.promised_);
    return static_cast<int>(1000.0 * lowest / capa);
}

int RnProd::outputLevel() const {
    if (isDestroyed()) return 0;
    const int capa = prodType().out_capa_;
    if (capa <= 0) return 0;
    int lowest = capa;
    for (const auto& out : output_goods_in_store_) lowest = std::min(lowest, outputAmount(out.second));
    return lowest * 1000 / capa;
}

uint16_t RnProd::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = input_goods_.find(goods);
    if (it == input_goods_.end()) return 0;
    const uint16_t capa = prodType().in_capa_;
    const uint16_t have = static_cast<uint16_t>(it->second.stored_ + (with_promised ? it->second.promised_ : 0));
    if (have >= capa) return 0;
    const float f = static_cast<float>(capa - have) / static_cast<float>(capa);
    return static_cast<uint16_t>(1000.0f * f * f);
}

void RnProd::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount) {
    auto it = input_goods_.find(goods);
    if (it == input_goods_.end()) DAX_ASSERT(false);
    RnProdInpInf& inf = it->second;
    DAX_ASSERT(inf.promised_>=amount);
    inf.promised_ = static_cast<uint16_t>(inf.promised_ - amount);
    inf.stored_ = static_cast<uint16_t>(inf.stored_ + amount);
}

void RnProd::goodsPromised(int16_t goods, int amount) {
    auto it = input_goods_.find(goods);
    if (it == input_goods_.end()) DAX_ASSERT(false);
    it->second.promised_ = static_cast<uint16_t>(it->second.promised_ + amount);
    // A promise takes room the storage no longer needs to fill.
    rnPassDemand(it->second.near_storage_, goods, amount);
}

int RnProd::inputRoom(const RnProdInpInf& in) const {
    return prodType().in_capa_ - in.promised_ - in.stored_;
}

void RnProd::adjustOutput(int16_t goods, int delta, int cap) {
    auto it = output_goods_in_store_.find(goods);
    if (it == output_goods_in_store_.end()) DAX_ASSERT(false);
    RnProdOutInf& out = it->second;
    const int before = outputAmount(out);
    int after = 0;
    if (delta < 0) {
        after = std::max(0, before + delta);
    } else {
        after = std::max(before, std::min(before + delta, std::min<int>(cap, RnProdOutInf::kAmountMask)));
        RnGoodsType& gt = grn_game.goodsType(goods);
        gt.produced_cur_ += static_cast<uint32_t>(after - before) * gt.lot_size_;
    }
    out.stored_ = static_cast<uint16_t>((out.stored_ & RnProdOutInf::kCycleRunning) | after);
    rnPassDemand(out.near_storage_, goods, after - before);
}

// ---------------------------------------------------------------------------
// The cycle

bool RnProd::startCycles(DaxGameTime t) {
    if (isDestroyed() || efficiency() < kMinEfficiency) return false;
    const RnProdType& typ = prodType();
    bool any = false;
    for (const RnGoodsOutput& def : typ.output_goods_) {
        auto it = output_goods_in_store_.find(def.good_type_idx_);
        DAX_ASSERT(it != output_goods_in_store_.end());
        if (advanceOutput(t, it->second, def)) any = true;
    }
    return any;
}

bool RnProd::advanceOutput(DaxGameTime t, RnProdOutInf& out, const RnGoodsOutput& def) {
    const float e = efficiency();
    if (isDestroyed() || e < kMinEfficiency) return false;
    const DaxGameTime ready = hoursAfter(t, static_cast<float>(def.time_) / e);
    if ((out.stored_ & RnProdOutInf::kCycleRunning) != 0) {
        // More workers shorten a running cycle; fewer never lengthen it.
        if (ready.value() >= out.ready_time_.value()) return false;
        out.ready_time_ = ready;
        return true;
    }
    if (!consumeInputs(out, def)) return false;
    out.stored_ |= RnProdOutInf::kCycleRunning;
    out.ready_time_ = ready;
    return true;
}

bool RnProd::consumeInputs(const RnProdOutInf& out, const RnGoodsOutput& def) {
    if (isDestroyed()) return false;
    const RnProdType& typ = prodType();
    // The output this cycle is for must have room for what it makes.
    if (outputAmount(out) + def.amount_ > typ.out_capa_) return false;
    for (const RnGoodsAmount& need : typ.input_goods_) {
        auto it = input_goods_.find(need.good_type_idx_);
        if (it == input_goods_.end() || it->second.stored_ < need.amount_) return false;
    }
    for (const RnGoodsAmount& need : typ.input_goods_) {
        RnProdInpInf& in = input_goods_[need.good_type_idx_];
        in.stored_ = static_cast<uint16_t>(in.stored_ - need.amount_);
        // The room freed is need the storage should cover again.
        rnPassDemand(in.near_storage_, need.good_type_idx_, -static_cast<int>(need.amount_));
        RnGoodsType& gt = grn_game.goodsType(need.good_type_idx_);
        gt.consumed_cur_ += static_cast<uint32_t>(need.amount_) * gt.lot_size_;
    }
    return true;
}

int RnProd::cycleProgressPercent() const {
    const RnProdType& typ = prodType();
    const float e = efficiency();
    if (isDestroyed() || e < kMinEfficiency || typ.output_goods_.size() != 1) return -1;
    DAX_ASSERT(typ.output_goods_.size() == output_goods_in_store_.size());
    const RnProdOutInf& out = output_goods_in_store_.begin()->second;
    const DaxGameTime now = rnNow();
    if ((out.stored_ & RnProdOutInf::kCycleRunning) == 0 || out.ready_time_.value() < now.value()) return -1;
    const int cycle = static_cast<int>(static_cast<float>(typ.output_goods_[0].time_) / e);
    const int left = static_cast<int>(out.ready_time_.totalHours()) - static_cast<int>(now.totalHours());
    if (cycle <= 0 || left > cycle) return -1;
    return (cycle - left) * 100 / cycle;
}

// ---------------------------------------------------------------------------
// Near storages

void RnProd::setInputNearStorage(int16_t goods, RnProdInpInf& in, const RnObjectID& stor) {
    if (in.near_storage_ == stor) return;
    const int room = inputRoom(in);
    rnPassDemand(in.near_storage_, goods, room);
    in.near_storage_ = stor;
    rnPassDemand(in.near_storage_, goods, -room);
}

void RnProd::applyNearStorages(const std::map<int16_t, RnObjectID>& near) {
    auto linkOf = [&near](int16_t goods) {
        auto it = near.find(goods);
        return it == near.end() ? RnObjectID() : it->second;
    };
    for (auto& [goods, in] : input_goods_) setInputNearStorage(goods, in, linkOf(goods));
    for (auto& [goods, out] : output_goods_in_store_) {
        const RnObjectID stor = linkOf(goods);
        if (stor == out.near_storage_) continue;
        rnPassDemand(out.near_storage_, goods, -outputAmount(out));
        out.near_storage_ = stor;
        rnPassDemand(out.near_storage_, goods, outputAmount(out));
    }
}

// ---------------------------------------------------------------------------
// Production walkers

void RnProd::setWalkerCount(int n) {
    flags_ = (flags_ & ~kWalkerCountMask) | ((static_cast<uint32_t>(n) << kWalkerCountShift) & kWalkerCountMask);
}

void RnProd::sendProdWalker(DaxGameTime now) {
    if (isDestroyed()) return;
    const RnProdType& typ = prodType();
    if (walkerCount() < typ.num_walkers_) {
        RnGoodsSet candidates;
        for (const auto& out : output_goods_in_store_)
            if (outputAmount(out.second) > 0) candidates.insert(out.first);
        if (candidates.empty()) {
            // Nothing to send; the next update arms the timer again.
            flags_ &= ~kProblemBits;
            return;
        }
        std::vector<DaxMapPositionI> starts;
        grn_map.adjacentRoads(starts, pos_on_map_.x, pos_on_map_.y, typ.width_, typ.height_);
        RnFloodTargetProd target;
        if (starts.empty()) {
            flags_ |= kProblemBits;
            dax_msgmgr.post(3003, rnMsg(3003), pos_on_map_);
        } else if (!findProdWalkerTarget(target, now, starts, candidates)) {
            flags_ = (flags_ & ~kProblemBits) | kNoTarget;
        } else {
            flags_ &= ~kProblemBits;
            DAX_ASSERT(!target.target_oid_.isNull());
            DAX_ASSERT(target.target_oid_.isBuilding());
            const int16_t goods = target.goods_type_;
            RnWalkerProdType& walkers = grn_game.prodWalkerType(goods);
            rnSendWalker(walkers.instances_, goods, RnWalkerProd(oid_, target, now, walkers.smooth_move_));
            setWalkerCount(walkerCount() + 1);
            grn_game.buildingByOid(target.target_oid_).goodsPromised(goods, 1);
            adjustOutput(goods, -1, 65535);
            startCycles(now);
        }
    }
    if (walkerCount() < typ.num_walkers_) {
        flags_ |= kSpwnPending;
        t_spwn_ = laterThan(now, typ.hours_respawn_);
    }
}

void RnProd::removeFinishedWalkers() {
    for (const auto& out : output_goods_in_store_) {
        RnWalkerProdType& walkers = grn_game.prodWalkerType(out.first);
        rnCollectFinishedWalkers(walkers.instances_, oid_, [this](const RnWalkerProd& w) {
            const int num_current_prod_walkers_ = walkerCount();
            DAX_ASSERT(num_current_prod_walkers_>0);
            setWalkerCount(num_current_prod_walkers_ - 1);
            const uint32_t outcome = (w.state_ >> 22) & 3u;
            flags_ = (flags_ & ~kProblemBits) | (outcome << 10);
        });
        // A finished walker whose home is gone (a save's walker whose home
        // did not come back) has nobody to take it in: any producer of its
        // goods clears it away.
        rnCollectHomelessWalkers(walkers.instances_);
    }
}

bool RnProd::findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now,
                                  const std::vector<DaxMapPositionI>& starts, const RnGoodsSet& goods) const {
    RnFloodWalkerProd flood(target, now, goods, true);
    return flood.floodFromStarts(target, oid_, starts, static_cast<uint16_t>(grn_game.prod_walker_range_));
}

// ---------------------------------------------------------------------------
// Resources

void RnProd::releaseMarkedTiles() {
    for (int32_t packed : marked_tiles_) {
        const DaxMapPositionI p = unpackPos(packed);
        if (!grn_map.isOnMap(p)) continue;
        RnMapTile& tile = grn_map.tile(p);
        tile.flags_ &= static_cast<uint16_t>(~kRnTileProdImage);
        if (tile.oid_.isRoadOrBuilding()) continue;
        tile.resetToTerrain();
        grn_map.objectChanged(p.x, p.y);
    }
    marked_tiles_.clear();
}

void RnProd::updateResourceFactor(const RnProdType& pt) {
    DAX_ASSERT(pt.resource_bld_type_==kRnResAroundBld);
    DAX_ASSERT(pt.resource_idx_>=0);
    releaseMarkedTiles();
    // Start-up sizes the table for every radius the content allows; a
    // radius beyond it (a type made elsewhere) grows it rather than fail.
    if (pt.resource_radius_ >= dax_neighbourhood_eucl.radiusCount())
        dax_neighbourhood_eucl.build(static_cast<uint16_t>(pt.resource_radius_ + 1));
    const uint16_t mask = pt.resourceMask();
    const DaxMapPositionI centre = centreTile();
    const int n = dax_neighbourhood_eucl.count(pt.resource_radius_);
    int total = 0;
    int matching = 0;
    std::vector<DaxMapPositionI> candidates;
    for (int i = 0; i < n; ++i) {
        const DaxMapPositionI p = centre + dax_neighbourhood_eucl.offset(pt.resource_radius_, i);
        if (!grn_map.isOnMap(p)) continue;
        ++total;
        if ((grn_map.resourceMaskAt(p.x, p.y) & mask) == 0) continue;
        const RnMapTile& tile = grn_map.tile(p);
        const bool own = tile.oid_ == oid_;
        if (tile.oid_.isRoadOrBuilding() && !own) continue;
        ++matching;
        if (!own && (tile.flags_ & kRnTileProdImage) == 0 && pt.num_roaming_ > 0) candidates.push_back(p);
    }
    const float pct = total > 0 ? static_cast<float>(matching) * 100.0f / static_cast<float>(total) : 0.0f;
    resource_factor_ = pct < pt.resource_percent_ ? pct / pt.resource_percent_ : 1.0f;
    if (pt.num_roaming_ == 0) return;

    // The markers go on candidates drawn at random, each at most once.
    const size_t count = candidates.size();
    const size_t markers = std::min(count, static_cast<size_t>((pt.num_roaming_ + 0.98f) * resource_factor_));
    for (size_t i = 0; i < markers; ++i) {
        if (i + 1 < count) {
            // One of the candidates after i takes its place.
            const double r = std::min(dax_random.real(), 0.999999999);
            const size_t j = std::min(count - 1, i + 1 + static_cast<size_t>(r * static_cast<double>(count - 1 - i)));
            std::swap(candidates[i], candidates[j]);
        }
        RnMapTile& tile = grn_map.tile(candidates[i]);
        DAX_ASSERT(!tile.oid_.isRoadOrBuilding());
        tile.second_bmp_idx_ = dax_bitmaps.randomVariant(pt.roam_image_);
        tile.flags_ |= kRnTileProdImage;
        marked_tiles_.push_back(packPos(candidates[i]));
    }
}

// ---------------------------------------------------------------------------
// Decay and removal

void RnProd::shutDown(const RnProdType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    // Walkers heading here give up (their promises come back) while the
    // goods entries are still there to take them.
    grn_game.releaseWalkers(oid_);
    setWalkerCount(0);
    // The storages no longer count on what this building offered or needed.
    applyNearStorages({});
    input_goods_.clear();
    output_goods_in_store_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
    releaseMarkedTiles();
}

RnGenericBuilding* RnProdType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnProdType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnProd& obj = rnAddInstance(instances_, *this, RnProd(*this, x, y));
    rnAddWorkplace(obj.oid_, worker_reqs_);
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnProdType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnProd& obj = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(obj.pos_on_map_==DaxMapPositionI(tx,ty));
    obj.shutDown(*this);
    // Also for a ruin, whatever its decay did: no sink may outlive the
    // building.
    rnRemoveWorkplace(obj.oid_, worker_reqs_);
    obj.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

// ---------------------------------------------------------------------------
// Placement

uint16_t RnProdType::resourceMask() const {
    if (resource_bld_type_ == kRnResNone || resource_idx_ < 0 || resource_idx_ > 15) return 0;
    return static_cast<uint16_t>(1u << resource_idx_);
}

int RnProdType::addPhantom(RnPhantomList& list, int x, int y, int /*x2*/, int /*y2*/) {
    uint16_t mask = resourceMask();
    bool on_resource = resource_bld_type_ == kRnResUnderBld || resource_bld_type_ == kRnResAroundBld;
    int result = addPhantomArea(list, x, y, on_resource ? mask : 0);
    if (!grn_map.isAreaOnMap(x, y, width_, height_)) return -1;
    bool ok = true;
    switch (resource_bld_type_) {
    case kRnResUnderBld:
        ok = grn_map.canBuildOnResource(mask, x, y, width_, height_, false);
        break;
    case kRnResNextToBld:
        ok = grn_map.canBuildNextToResource(mask, x, y, width_, height_, false);
        break;
    case kRnResAroundBld:
        ok = grn_map.canBuildPartlyOnResource(mask, x, y, width_, height_, false);
        break;
    default:
        break;
    }
    return ok ? result : -1;
}

uint16_t RnProdType::inputAmountForGoods(int16_t goods) const {
    for (const RnGoodsAmount& in : input_goods_)
        if (in.good_type_idx_ == goods) return in.amount_;
    return 0;
}

uint16_t RnProdType::outputAmountForGoods(int16_t goods) const {
    for (const RnGoodsOutput& out : output_goods_)
        if (out.good_type_idx_ == goods) return static_cast<uint16_t>(out.amount_);
    return 0;
}

// ---------------------------------------------------------------------------
// After loading

bool RnProd::logInconsistentOid() const {
    const RnGenericBuildingType& type = buildingType();
    const int x = pos_on_map_.x;
    const int y = pos_on_map_.y;
    // The first tile of the footprint that does not name the building: the
    // game redraws and clears a building over its whole footprint.
    DaxMapPositionI wrong = DaxMapPositionI::none();
    for (int tx = x - type.width_ + 1; tx <= x && wrong.isNone(); ++tx) {
        for (int ty = y - type.height_ + 1; ty <= y; ++ty) {
            if (grn_map.tile(tx, ty).oid_ == oid_) continue;
            wrong = DaxMapPositionI(tx, ty);
            break;
        }
    }
    if (wrong.isNone()) return false;
    const RnObjectID& at = grn_map.tile(wrong.x, wrong.y).oid_;
    daxLogMessage(1, 2, "prod [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                  oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, wrong.x, wrong.y);
    for (int tx = x - type.width_ + 1; tx <= x; ++tx) {
        for (int ty = y - type.height_ + 1; ty <= y; ++ty) {
            const RnObjectID& t = grn_map.tile(tx, ty).oid_;
            daxLogMessage(1, 2, "tile [%hd:%hd,%d] at (%d,%d)", t.kind_, t.type_idx_, t.bld_idx_, tx, ty);
        }
    }
    return true;
}

void RnProd::verifyOnMap() const {
    const RnProdType& typ = prodType();
    const int x = pos_on_map_.x;
    const int y = pos_on_map_.y;
    if (!grn_map.isAreaOnMap(x, y, typ.width_, typ.height_))
        daxRaiseError("not all on map: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
    if (logInconsistentOid()) {
        const RnObjectID& at = grn_map.tile(x, y).oid_;
        daxRaiseError("prod [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, x, y);
    }
    const uint16_t mask = typ.resourceMask();
    switch (typ.resource_bld_type_) {
    case kRnResUnderBld:
        if (!grn_map.canBuildOnResource(mask, x, y, typ.width_, typ.height_, true))
            daxRaiseError("resource under condition violated");
        return;
    case kRnResNextToBld:
        if (!grn_map.canBuildNextToResource(mask, x, y, typ.width_, typ.height_, true))
            daxRaiseError("resource next to condition violated");
        break;
    case kRnResAroundBld:
        if (!grn_map.canBuildPartlyOnResource(mask, x, y, typ.width_, typ.height_, true))
            daxRaiseError("resource around condition violated");
        break;
    default:
        break;
    }
    if (!grn_map.canBuildArea(x, y, typ.width_, typ.height_, true, mask))
        daxRaiseError("can't build here on map: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
}

void RnProd::verifyMaterialNeeds() {
    const RnProdType& typ = prodType();
    const bool changed = checkMaterialNeeds(typ, rnNow());
    // A type that no longer lists material has no supply check left.
    if (typ.build_material_.empty()) flags_ &= ~kBldPending;
    if (changed && (flags_ & kBldPending) != 0) grn_game.updateQueue().schedule(t_bld_, oid_);
}

void RnProd::checkInputGoods() { checkGoodsEntries(input_goods_, prodType().input_goods_, "input", oid_); }

void RnProd::checkOutputGoods() {
    checkGoodsEntries(output_goods_in_store_, prodType().output_goods_, "output", oid_);
}

void RnProd::checkOidAndWalkers() {
    RnProdType& typ = grn_game.prodType(oid_.type_idx_);
    const int x = pos_on_map_.x;
    const int y = pos_on_map_.y;
    const bool on_map = grn_map.isAreaOnMap(x, y, typ.width_, typ.height_);
    if (!on_map || logInconsistentOid()) {
        if (!on_map)
            daxLogMessage(1, 2, "prod [%hd:%hd,%d] at pos %d,%d is not on the map", oid_.kind_, oid_.type_idx_,
                          oid_.bld_idx_, x, y);
        for (int tx = x - typ.width_ + 1; tx <= x; ++tx) {
            for (int ty = y - typ.height_ + 1; ty <= y; ++ty) {
                if (!grn_map.isOnMap(tx, ty) || grn_map.tile(tx, ty).oid_ != oid_) continue;
                grn_map.tile(tx, ty).resetToTerrain();
                grn_map.objectChanged(tx, ty);
            }
        }
        shutDown(typ);
        rnRemoveWorkplace(oid_, typ.worker_reqs_);
        grn_game.updateQueue().remove(oid_);
        is_active_ = false;
        typ.instances_.remove(oid_.bld_idx_);
        return;
    }
    int count = 0;
    for (const auto& out : output_goods_in_store_) {
        for (const RnWalkerProd& w : grn_game.prodWalkerType(out.first).instances_)
            if (w.home_oid_ == oid_) ++count;
    }
    setWalkerCount(std::min(count, 15));
}

DaxDialogIfc* RnProd::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createProdDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void prodFields(Io& io, B& b) {
    rnBuildingHeadFields(io, b);
    io.u32(b.flags_);
    io.time(b.t_wkf_);
    io.time(b.t_near_);
    io.time(b.t_eff_);
    io.time(b.t_bld_);
    io.time(b.t_spwn_);
    io.time(b.t_kill_);
    io.f32(b.worker_factor_);
    io.f32(b.resource_factor_);
    io.goodsMap(b.input_goods_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.stored_);
        f.u16(e.promised_);
        f.oid(e.near_storage_);
    });
    io.goodsMap(b.output_goods_in_store_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.stored_);
        f.pad(2);
        f.time(e.ready_time_);
        f.oid(e.near_storage_);
    });
    io.intList(b.marked_tiles_);
    rnMaterialMapFields(io, b.material_in_store_);
}

}  // namespace

void RnProd::save(RnSaveBuffer& out) const { prodFields(out, *this); }

void RnProd::load(RnSaveLoader& in, RnLoadContext& ctx) {
    prodFields(in, *this);
    for (auto& e : input_goods_) ctx.remapStorage(e.second.near_storage_);
    for (auto& e : output_goods_in_store_) ctx.remapStorage(e.second.near_storage_);
}
