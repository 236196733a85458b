// Storage buildings: the update with its timers, the goods slots, the two
// walker kinds, decay and removal, the checks after loading, and the type's
// placement. The storage network and the transport planner are in
// rn_stor_network.
#include "rn_bld_stor.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "dax2/dax_error.h"
#include "rn.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_stor.h"
#include "rn_workforce.h"
#include "rn_file_load.h"

namespace {

// The storage's message when it finds no road beside it.
constexpr int kMsgNoRoad = 3003;

// What tells the two walker kinds of a storage apart: their bits in the
// flags word, their timers and their limits in the type.
struct WalkerSide {
    uint32_t spwn_bit;
    uint32_t kill_bit;
    int count_shift;
    int outcome_shift;
    DaxGameTime RnStorPersData::*t_spwn;
    uint16_t RnStorType::*limit;
    uint16_t RnStorType::*respawn_hours;
};

const WalkerSide kProdSide{RnStorPersData::kProdSpwnPending, RnStorPersData::kProdKillPending,
                           RnStorPersData::kProdCountShift,  RnStorPersData::kProdOutcomeShift,
                           &RnStorPersData::t_prod_spwn_,    &RnStorType::num_prod_walkers_,
                           &RnStorType::hours_respawn_prod_walker_};
const WalkerSide kStorSide{RnStorPersData::kStorSpwnPending, RnStorPersData::kStorKillPending,
                           RnStorPersData::kStorCountShift,  RnStorPersData::kStorOutcomeShift,
                           &RnStorPersData::t_stor_spwn_,    &RnStorType::num_stor_walkers_,
                           &RnStorType::hours_respawn_stor_walker_};

int walkersOut(const RnStorPersData& s, const WalkerSide& side) {
    return static_cast<int>((s.flags_ >> side.count_shift) & 15u);
}

void setWalkersOut(RnStorPersData& s, const WalkerSide& side, int n) {
    const uint32_t v = static_cast<uint32_t>(std::min(std::max(n, 0), 15));
    s.flags_ = (s.flags_ & ~(15u << side.count_shift)) | (v << side.count_shift);
}

void setOutcome(RnStorPersData& s, const WalkerSide& side, uint32_t outcome) {
    s.flags_ = (s.flags_ & ~(3u << side.outcome_shift)) | ((outcome & 3u) << side.outcome_shift);
}

// t plus a number of game hours. A storage waits at least an hour: a
// wake-up at the same time would run again within the same tick for ever.
DaxGameTime hoursAfter(DaxGameTime t, int hours) {
    t.addHours(static_cast<float>(std::max(hours, 1)));
    return t;
}

// Counts the walkers of a list that home sent.
template <class W>
int countWalkersOf(const RnWalkerList<W>& list, const RnObjectID& home) {
    int n = 0;
    for (const W& w : list) n += w.home_oid_ == home ? 1 : 0;
    return n;
}

// Takes back the finished walkers of a list that the storage sent, noting
// each one's outcome, and the finished ones whose home is gone.
template <class W>
void collectWalkers(RnStor& s, const WalkerSide& side, RnWalkerList<W>& list) {
    rnCollectFinishedWalkers(list, s.oid_, [&s, &side](const W& w) {
        DAX_ASSERT(walkersOut(s, side) > 0);
        setOutcome(s, side, (w.state_ >> 22) & 3u);
        setWalkersOut(s, side, walkersOut(s, side) - 1);
    });
    rnCollectHomelessWalkers(list);
}

// Tells every building within reach of the storage's links, other than the
// storage, that it goes away: the buildings that may hold a near-storage
// link to it stand within the longest walker range of it (plus the largest
// footprint) along the roads, so within that Manhattan distance too.
void forgetAround(const RnStor& s) {
    const int reach = std::max({grn_config.walker_target_radius_, static_cast<int>(grn_game.prod_walker_range_),
                                static_cast<int>(grn_game.storage_walker_range_)}) +
                      8;
    const DaxMapPositionI centre = s.centreTile();
    RnOidSeen told;
    told.insert(s.oid_);
    for (int dx = -reach; dx <= reach; ++dx) {
        const int dy_max = reach - std::abs(dx);
        for (int dy = -dy_max; dy <= dy_max; ++dy) {
            const DaxMapPositionI p(centre.x + dx, centre.y + dy);
            if (!grn_map.isOnMap(p)) continue;
            const RnObjectID& oid = grn_map.tile(p).oid_;
            if (!oid.isBuilding() || !told.insert(oid)) continue;
            grn_game.buildingByOid(oid).forgetObject(s.oid_);
        }
    }
}

}  // namespace

RnStor::RnStor(const RnStorType& type, int x, int y) : RnSimpleBuilding(RnIdBldStor, x, y) {
    for (int16_t g : type.distribute_goods_) goods_stored_[g] = RnStorAmountInf();
    DAX_ASSERT(goods_stored_.size()>0);
}

const RnStorType& RnStor::storType() const { return grn_game.storType(oid_.type_idx_); }

// ---------------------------------------------------------------------------
// Update

DaxGameTime RnStor::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnStorType& typ = storType();

    // Building material: a new storage starts with a full store.
    if (!typ.build_material_.empty() && material_in_store_.empty()) {
        startMaterials(typ, now);
        for (const auto& m : material_in_store_) scheduleSupplyCheck(m.second.time_level0_);
        const bool upd_builder_pending_ = (flags_ & kBldPending) != 0;
        DAX_ASSERT(upd_builder_pending_);
    }
    if ((flags_ & kBldPending) != 0 && now.value() >= t_bld_.value()) {
        DAX_ASSERT(typ.build_material_.size()>0);
        DAX_ASSERT(material_in_store_.size()>0);
        const DaxGameTime run_out = earliestRunOut();
        if (now.value() >= run_out.value()) {
            shutDown(typ);
            flags_ |= kDestroyed;
            rnShowRuin(*this);
            flags_ &= ~(kWkfPending | kNearPending | kBldPending | kProdSpwnPending | kStorSpwnPending);
            return kRnNoWakeTime;
        }
        t_bld_ = run_out;
    }

    if ((flags_ & kWkfPending) != 0 && now.value() >= t_wkf_.value()) {
        updateWorkerRatio();
        flags_ &= ~kWkfPending;
        armProdWalkerTimer(t_wkf_);
    }

    // The network links: first two hours after the first update, then every
    // storage_network_update_hours from the previous refresh.
    if ((flags_ & kNearPending) == 0 && !goods_stored_.empty()) {
        flags_ |= kNearPending;
        t_near_ = hoursAfter(now, 2);
    }
    if ((flags_ & kNearPending) != 0 && now.value() >= t_near_.value()) {
        t_near_ = hoursAfter(t_near_, grn_game.storage_network_update_hours_);
        // Long asleep (after a load): the next refresh is a period from now.
        if (t_near_.value() <= now.value()) t_near_ = hoursAfter(now, grn_game.storage_network_update_hours_);
        updateNetworkLinks();
    }

    if ((flags_ & kProdKillPending) != 0 && now.value() >= t_prod_kill_.value()) {
        flags_ &= ~kProdKillPending;
        removeFinishedProdWalkers();
    }
    if ((flags_ & kProdSpwnPending) != 0 && now.value() >= t_prod_spwn_.value()) {
        flags_ &= ~kProdSpwnPending;
        sendProdWalker(now);
    }
    armProdWalkerTimer(now);

    if ((flags_ & kStorKillPending) != 0 && now.value() >= t_stor_kill_.value()) {
        flags_ &= ~kStorKillPending;
        removeFinishedStorWalkers();
    }
    if ((flags_ & kStorSpwnPending) != 0 && now.value() >= t_stor_spwn_.value()) {
        flags_ &= ~kStorSpwnPending;
        sendStorWalker(now);
    }
    armStorWalkerTimer(now);

    const struct {
        uint32_t bit;
        DaxGameTime t;
    } timers[] = {{kWkfPending, t_wkf_},           {kNearPending, t_near_},          {kBldPending, t_bld_},
                  {kProdSpwnPending, t_prod_spwn_}, {kProdKillPending, t_prod_kill_}, {kStorSpwnPending, t_stor_spwn_},
                  {kStorKillPending, t_stor_kill_}};
    DaxGameTime next = kRnNoWakeTime;
    for (const auto& timer : timers) {
        if ((flags_ & timer.bit) == 0) continue;
        if (next.value() == kRnNoWakeTime || timer.t.value() < next.value()) next = timer.t;
    }
    return next;
}

// ---------------------------------------------------------------------------
// Slots

bool RnStor::hasWorkers() const { return rnHasWorkers(*this, RnWorkerReqs(storType().workerReq())); }

void RnStor::updateWorkerRatio() { efficiency_ = rnSingleWorkerRatio(*this, storType().workerReq()); }

void RnStor::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnStor::goodsArrived(DaxGameTime t) {
    if (armProdWalkerTimer(t)) grn_game.updateQueue().schedule(t_prod_spwn_, oid_);
    if (armStorWalkerTimer(t)) grn_game.updateQueue().schedule(t_stor_spwn_, oid_);
}

void RnStor::walkerReturned(DaxGameTime t, const RnObjectID& walker) {
    const int16_t type_id = walker.kind_;
    DAX_ASSERT(type_id==RnIdWlkProd || type_id==RnIdWlkStor);
    if (type_id == RnIdWlkProd) {
        rnNoteFirst(flags_, kProdKillPending, t_prod_kill_, t);
    } else {
        rnNoteFirst(flags_, kStorKillPending, t_stor_kill_, t);
    }
}

uint32_t RnStor::problemFlags() const {
    return prodOutcome() == kOutcomeNoRoad || storOutcome() == kOutcomeNoRoad ? 1u : 0u;
}

bool RnStor::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

uint16_t RnStor::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    const int cap = storType().capacityForGoods(goods);
    const int have = it->second.stored_nlots_ + (with_promised ? it->second.promised_nlots_ : 0);
    if (have >= cap) return 0;
    const int need = static_cast<int>(static_cast<double>(cap - have) / cap * 1000.0);
    return static_cast<uint16_t>(std::min(need, 250));
}

void RnStor::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    RnStorAmountInf& aa = it->second;
    const int amount_nlots = amount;
    DAX_ASSERT(aa.promised_nlots_>=amount_nlots);
    aa.promised_nlots_ = static_cast<uint16_t>(aa.promised_nlots_ - amount_nlots);
    aa.stored_nlots_ = static_cast<uint16_t>(std::min(0xFFFF, aa.stored_nlots_ + amount_nlots));
}

void RnStor::goodsPromised(int16_t goods, int amount) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    it->second.promised_nlots_ = static_cast<uint16_t>(it->second.promised_nlots_ + amount);
}

void RnStor::adjustDemand(int16_t goods, int delta) {
    auto it = goods_stored_.find(goods);
    DAX_ASSERT(it!=goods_stored_.end());
    it->second.demand_ = static_cast<int16_t>(it->second.demand_ + delta);
}

void RnStor::adjustStock(int16_t goods, int delta, int cap) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    RnStorAmountInf& a = it->second;
    if (delta < 0) {
        a.stored_nlots_ = a.stored_nlots_ < -delta ? 0 : static_cast<uint16_t>(a.stored_nlots_ + delta);
    } else {
        a.stored_nlots_ = static_cast<uint16_t>(std::min(a.stored_nlots_ + delta, std::max(cap, 0)));
    }
}

// ---------------------------------------------------------------------------
// Walkers

namespace {

bool armTimer(RnStor& s, const WalkerSide& side, DaxGameTime t) {
    if ((s.flags_ & side.spwn_bit) != 0 || s.efficiency() <= 0.01f || s.isDestroyed()) return false;
    const RnStorType& typ = s.storType();
    if (walkersOut(s, side) >= typ.*side.limit) return false;
    s.flags_ |= side.spwn_bit;
    s.*side.t_spwn = hoursAfter(t, typ.*side.respawn_hours);
    return true;
}

// The first steps of a departure: false when nothing is to be sent (a ruin,
// every walker out, or no goods type with min_lots in store). Otherwise the
// candidate goods types and the road tiles beside the storage; without such
// a tile the outcome is "no road" and message 3003 is posted.
bool prepareDeparture(RnStor& s, const WalkerSide& side, int min_lots, RnGoodsSet& goods,
                      std::vector<DaxMapPositionI>& starts) {
    if (s.isDestroyed() || walkersOut(s, side) >= s.storType().*side.limit) return false;
    for (const auto& g : s.goods_stored_)
        if (g.second.stored_nlots_ >= min_lots) goods.insert(g.first);
    if (goods.empty()) {
        setOutcome(s, side, RnStorPersData::kOutcomeSent);
        return false;
    }
    const RnStorType& typ = s.storType();
    grn_map.adjacentRoads(starts, s.pos_on_map_.x, s.pos_on_map_.y, typ.width_, typ.height_);
    if (starts.empty()) {
        setOutcome(s, side, RnStorPersData::kOutcomeNoRoad);
        rnPostBuildingMessage(kMsgNoRoad, s);
    }
    return true;
}

// The last step of a departure: the timer again while walkers are left.
void rearm(RnStor& s, const WalkerSide& side, DaxGameTime now) {
    const RnStorType& typ = s.storType();
    if (walkersOut(s, side) >= typ.*side.limit) return;
    s.flags_ |= side.spwn_bit;
    s.*side.t_spwn = hoursAfter(now, typ.*side.respawn_hours);
}

}  // namespace

bool RnStor::armProdWalkerTimer(DaxGameTime t) { return armTimer(*this, kProdSide, t); }

bool RnStor::armStorWalkerTimer(DaxGameTime t) { return armTimer(*this, kStorSide, t); }

void RnStor::sendProdWalker(DaxGameTime now) {
    RnGoodsSet goods;
    std::vector<DaxMapPositionI> starts;
    if (!prepareDeparture(*this, kProdSide, 1, goods, starts)) return;
    if (!starts.empty()) {
        RnFloodTargetProd target;
        if (!findProdWalkerTarget(target, now, starts, goods)) {
            setOutcome(*this, kProdSide, kOutcomeNoTarget);
        } else {
            setOutcome(*this, kProdSide, kOutcomeSent);
            DAX_ASSERT(!target.target_oid_.isNull());
            DAX_ASSERT(target.target_oid_.isBuilding());
            const int16_t g = target.goods_type_;
            RnWalkerProdType& wt = grn_game.prodWalkerType(g);
            rnSendWalker(wt.instances_, g, RnWalkerProd(oid_, target, now, wt.smooth_move_));
            setWalkersOut(*this, kProdSide, walkersOut(*this, kProdSide) + 1);
            grn_game.buildingByOid(target.target_oid_).goodsPromised(g, 1);
            adjustStock(g, -1, storType().capacity_);
        }
    }
    rearm(*this, kProdSide, now);
}

void RnStor::sendStorWalker(DaxGameTime now) {
    RnGoodsSet goods;
    std::vector<DaxMapPositionI> starts;
    const int cap = grn_game.storage_walker_capacity_;
    if (!prepareDeparture(*this, kStorSide, cap, goods, starts)) return;
    if (!starts.empty()) {
        RnStorTransportPlan plan;
        bool planned = planTransport(plan);
        if (planned && std::find(starts.begin(), starts.end(), plan.start_) == starts.end()) {
            // The roads changed since the last refresh: the links are
            // rebuilt from the roads there are now.
            updateNetworkLinks();
            planned = planTransport(plan) && std::find(starts.begin(), starts.end(), plan.start_) != starts.end();
        }
        if (!planned) {
            setOutcome(*this, kStorSide, kOutcomeNoTarget);
        } else {
            setOutcome(*this, kStorSide, kOutcomeSent);
            RnStor& target = grn_game.storByOid(plan.target_);
            const int16_t g = plan.goods_type_;
            RnWalkerStorType& wt = grn_game.storWalkerType(g);
            rnSendWalker(wt.instances_, g, RnWalkerStor(oid_, plan, now, wt.smooth_move_));
            setWalkersOut(*this, kStorSide, walkersOut(*this, kStorSide) + 1);
            target.goodsPromised(g, cap);
            adjustStock(g, -cap, storType().capacity_);
        }
    }
    rearm(*this, kStorSide, now);
}

void RnStor::removeFinishedProdWalkers() {
    for (const auto& g : goods_stored_) collectWalkers(*this, kProdSide, grn_game.prodWalkerType(g.first).instances_);
}

void RnStor::removeFinishedStorWalkers() {
    for (const auto& g : goods_stored_) collectWalkers(*this, kStorSide, grn_game.storWalkerType(g.first).instances_);
}

bool RnStor::findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now,
                                  const std::vector<DaxMapPositionI>& starts, const RnGoodsSet& goods) const {
    RnFloodWalkerProd flood(target, now, goods, false);
    return flood.floodFromStarts(target, oid_, starts, static_cast<uint16_t>(grn_game.prod_walker_range_));
}

// ---------------------------------------------------------------------------
// Decay, removal and the checks after loading

void RnStor::shutDown(const RnStorType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, RnWorkerReqs(type.workerReq()));
    removeNetworkNode();
    forgetAround(*this);
    grn_game.releaseWalkers(oid_);
    setWalkersOut(*this, kProdSide, 0);
    setWalkersOut(*this, kStorSide, 0);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

void RnStor::verifyMaterialNeeds() {
    const bool changed = checkMaterialNeeds(storType(), rnNow());
    // A type without material has no supply check left, whatever the save says.
    if (storType().build_material_.empty()) flags_ &= ~kBldPending;
    if (changed && (flags_ & kBldPending) != 0) grn_game.updateQueue().schedule(t_bld_, oid_);
    // A ruin keeps no node. A save that still gives it one (only a damaged
    // or edited file does) loses the node and its links here as a decay
    // would drop them: a node left behind names no storage, and the save of
    // this world would not load again.
    if (isDestroyed() && network_node_ > 0) {
        if (storType().network_.gr_.isNodeValid(network_node_)) {
            removeNetworkNode();
        } else {
            network_node_ = 0;
        }
    }
}

void RnStor::recountWalkers() {
    int n_prod = 0;
    int n_stor = 0;
    for (const auto& g : goods_stored_) {
        n_prod += countWalkersOf(grn_game.prodWalkerType(g.first).instances_, oid_);
        n_stor += countWalkersOf(grn_game.storWalkerType(g.first).instances_, oid_);
    }
    setWalkersOut(*this, kProdSide, n_prod);
    setWalkersOut(*this, kStorSide, n_stor);
}

void RnStor::checkDistribution() {
    const RnStorType& st = storType();
    for (int16_t g : st.distribute_goods_) goods_stored_.emplace(g, RnStorAmountInf());
    if (goods_stored_.size() > st.distribute_goods_.size()) {
        std::vector<int16_t> dropped;
        for (const auto& g : goods_stored_)
            if (st.distribute_goods_.count(g.first) == 0) dropped.push_back(g.first);
        for (int16_t g : dropped) {
            // The walkers coming here with the goods give up while the entry
            // still takes their cancelled promises.
            RnWalkerProdType& pw = grn_game.prodWalkerType(g);
            pw.recallWalkersTo(oid_);
            const int n_prod_wlk = pw.removeWalkersOf(oid_);
            DAX_ASSERT(n_prod_wlk <= walkersOut(*this, kProdSide));
            setWalkersOut(*this, kProdSide, walkersOut(*this, kProdSide) - n_prod_wlk);
            RnWalkerStorType& sw = grn_game.storWalkerType(g);
            sw.recallWalkersTo(oid_);
            const int n_stor_wlk = sw.removeWalkersOf(oid_);
            DAX_ASSERT(n_stor_wlk <= walkersOut(*this, kStorSide));
            setWalkersOut(*this, kStorSide, walkersOut(*this, kStorSide) - n_stor_wlk);
            goods_stored_.erase(g);
        }
    }
    DAX_ASSERT(goods_stored_.size() == st.distribute_goods_.size());
}

// ---------------------------------------------------------------------------
// The type

RnGenericBuilding* RnStorType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnStorType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnStor& obj = rnAddInstance(instances_, *this, RnStor(*this, x, y));
    obj.network_node_ = network_.addNode();
    network_.setNodeObject(obj.network_node_, obj.oid_);
    rnAddWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnStorType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnStor& obj = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(obj.pos_on_map_==DaxMapPositionI(tx,ty));
    obj.shutDown(*this);
    // Also for a ruin, whatever its decay did: no sink may outlive the
    // building.
    rnRemoveWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    obj.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

uint16_t RnStorType::capacityForGoods(int16_t goods) const {
    return distribute_goods_.count(goods) != 0 ? capacity_ : static_cast<uint16_t>(0);
}

DaxDialogIfc* RnStor::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createStorDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void storFields(Io& io, B& b) {
    rnBuildingHeadFields(io, b);
    io.u32(b.flags_);
    io.time(b.t_wkf_);
    io.time(b.t_near_);
    io.time(b.t_bld_);
    io.time(b.t_prod_spwn_);
    io.time(b.t_prod_kill_);
    io.time(b.t_stor_spwn_);
    io.time(b.t_stor_kill_);
    io.f32(b.efficiency_);
    io.i32(b.network_node_);
    io.goodsMap(b.goods_stored_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.stored_nlots_);
        f.u16(e.promised_nlots_);
        f.i16(e.demand_);
    });
    rnMaterialMapFields(io, b.material_in_store_);
}

}  // namespace

void RnStor::save(RnSaveBuffer& out) const { storFields(out, *this); }

void RnStor::load(RnSaveLoader& in, RnLoadContext& /*ctx*/) { storFields(in, *this); }
