// Service buildings: the update with its timers, the goods taken for each
// walker, the walkers' departures and returns, the near-storage links with
// their share of the storages' demand, and the checks after loading. Also
// the timer helpers markets and builders share.
#include "rn_bld_serv.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_serv.h"
#include "rn_file_load.h"

// ---------------------------------------------------------------------------
// Shared timer helpers

DaxGameTime rnRespawnTime(DaxGameTime t, int hours) {
    DaxGameTime r = t;
    r.addHours(static_cast<float>(hours));
    if (r.value() <= t.value()) r = DaxGameTime(t.value() + 1);
    return r;
}

int rnLotSize(int16_t goods) {
    const int lot = grn_game.goodsType(goods).lot_size_;
    return lot > 0 ? lot : 1;
}

DaxGameTime rnNextNearCheck(DaxGameTime t) { return rnRespawnTime(t, grn_game.storage_network_update_hours_); }

DaxGameTime rnEarliestPending(uint32_t flags, std::initializer_list<RnPendingTimer> timers) {
    DaxGameTime earliest = kRnNoWakeTime;
    bool any = false;
    for (const RnPendingTimer& t : timers) {
        if ((flags & t.bit) == 0) continue;
        if (!any || t.time.value() < earliest.value()) earliest = t.time;
        any = true;
    }
    return earliest;
}

// ---------------------------------------------------------------------------
// Service building

RnServ::RnServ(const RnServType& type, int x, int y) : RnSimpleBuilding(RnIdBldServ, x, y) {
    for (const RnGoodsAmount& need : type.needs_) goods_stored_[need.good_type_idx_] = RnServGoodsEntry();
}

const RnServType& RnServ::servType() const { return grn_game.servType(oid_.type_idx_); }

DaxGameTime RnServ::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnServType& typ = servType();
    if (rnMaterialStep(*this, typ, now)) return kRnNoWakeTime;
    if ((flags_ & kWkfPending) != 0 && now.value() >= t_wkf_.value()) {
        updateWorkerRatio();
        flags_ &= ~kWkfPending;
        scheduleSpawn(t_wkf_);
    }
    if (rnNearCheckDue(*this, now)) applyNearStorages(rnNearStoragesFor(*this, goods_stored_));
    rnWalkerSteps(*this, now, typ.req_num_serv_walkers_, [this](DaxGameTime t) { scheduleSpawn(t); });
    return rnWorkplaceWake(*this);
}

bool RnServ::hasWorkers() const { return rnHasWorkers(*this, servType().worker_reqs_); }

void RnServ::updateWorkerRatio() { efficiency_ = rnMeanWorkerRatio(*this, servType()); }

int RnServ::requestMoreWorkers() {
    if (isDestroyed()) return 0;
    return rnRequestMoreWorkers(oid_, servType().worker_reqs_);
}

void RnServ::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnServ::goodsArrived(DaxGameTime t) {
    if (scheduleSpawn(t)) grn_game.updateQueue().schedule(t, oid_);
}

void RnServ::walkerReturned(DaxGameTime t, const RnObjectID& wlk_oid) {
    DAX_ASSERT(wlk_oid.id()==RnIdWlkServ);
    rnNoteFirst(flags_, kKillPending, t_kill_, t);
}

bool RnServ::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

bool RnServ::refersTo(const RnObjectID& oid) const {
    for (const auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) return true;
    return false;
}

uint32_t RnServ::problemFlags() const { return rnProblemFlags(*this); }

bool RnServ::inputsAvailable() const {
    if (isDestroyed() || walkersOut() > 0 || goods_stored_.empty()) return true;
    const RnServType& typ = servType();
    for (const auto& [g, e] : goods_stored_) {
        if (e.amt_.stored_ + e.amt_.promised_ < typ.neededAmount(g)) return false;
    }
    return true;
}

int RnServ::inputLevel() const {
    if (isDestroyed()) return 0;
    const int capa = servType().in_capa_;
    if (capa == 0) return 0;
    int m = capa;
    for (const auto& g : goods_stored_) m = std::min(m, g.second.amt_.stored_ + g.second.amt_.promised_);
    return static_cast<uint16_t>(m * 1000 / capa);
}

uint16_t RnServ::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    const uint16_t capa = servType().in_capa_;
    uint16_t level = it->second.amt_.stored_;
    if (with_promised) level = static_cast<uint16_t>(level + it->second.amt_.promised_);
    if (level >= capa) return 0;
    return static_cast<uint16_t>((capa - level) * 1000 / capa);
}

void RnServ::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    RnServAmount& inf = it->second.amt_;
    DAX_ASSERT(inf.promised_>=amount);
    // The free capacity stays as it is: the storage's demand does not move.
    inf.promised_ = static_cast<uint16_t>(inf.promised_ - amount);
    inf.stored_ = static_cast<uint16_t>(inf.stored_ + amount);
}

void RnServ::goodsPromised(int16_t goods, int amount) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    RnServGoodsEntry& inf = it->second;
    inf.amt_.promised_ = static_cast<uint16_t>(inf.amt_.promised_ + amount);
    rnPassDemand(inf.near_storage_, goods, amount);
}

void RnServ::forgetObject(const RnObjectID& oid) {
    for (auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) g.second.near_storage_.setNull();
}

int RnServ::freeCapacity(const RnServGoodsEntry& entry) const {
    return static_cast<int>(servType().in_capa_) - entry.amt_.promised_ - entry.amt_.stored_;
}

bool RnServ::scheduleSpawn(DaxGameTime t) {
    if (efficiency_ <= 0.01f || (flags_ & (kSpwnPending | kDestroyed)) != 0) return false;
    const RnServType& typ = servType();
    if (!takeGoodsForWalker(typ)) return false;
    flags_ |= kSpwnPending | kGoodsTaken;
    t_spwn_ = rnRespawnTime(t, typ.hours_respawn_);
    return true;
}

bool RnServ::takeGoodsForWalker(const RnServType& type) {
    if (isDestroyed() || walkersOut() >= type.req_num_serv_walkers_) return false;
    for (const auto& [g, e] : goods_stored_) {
        if (e.amt_.stored_ < type.neededAmount(g)) return false;
    }
    for (auto& [g, e] : goods_stored_) {
        const uint16_t need = type.neededAmount(g);
        e.amt_.stored_ = static_cast<uint16_t>(e.amt_.stored_ - need);
        // The free capacity grew by what was taken.
        rnPassDemand(e.near_storage_, g, -static_cast<int>(need));
        RnGoodsType& goods = grn_game.goodsType(g);
        goods.consumed_cur_ += static_cast<uint32_t>(need) * goods.lot_size_;
    }
    return true;
}

void RnServ::giveBackGoodsOfWalker(const RnServType& type) {
    for (auto& [g, e] : goods_stored_) {
        const uint16_t need = type.neededAmount(g);
        e.amt_.stored_ = static_cast<uint16_t>(e.amt_.stored_ + need);
        rnPassDemand(e.near_storage_, g, need);
        // Counted as used when taken; a statistics period that ended since
        // keeps its count.
        RnGoodsType& goods = grn_game.goodsType(g);
        goods.consumed_cur_ -= std::min(goods.consumed_cur_, static_cast<uint32_t>(need) * goods.lot_size_);
    }
}

void RnServ::sendWalker(DaxGameTime t) {
    const RnServType& typ = servType();
    RnWalkerServType& wt = grn_game.servWalkerType(typ.walker_type_idx_);
    // The target is told that a walker is on its way, which uses the goods
    // taken for it (the next departure is armed without taking goods).
    rnDepartWalker(*this, wt.instances_, typ.walker_type_idx_, wt.smooth_move_, t, typ.req_num_serv_walkers_,
                   typ.hours_respawn_, [this](const RnObjectID& target) {
                       grn_game.buildingByOid(target).setServicePending(oid_.type_idx_, true);
                       flags_ &= ~kGoodsTaken;
                   });
    if ((flags_ & (kGoodsTaken | kSpwnPending)) == kGoodsTaken) {
        giveBackGoodsOfWalker(typ);
        flags_ &= ~kGoodsTaken;
    }
}

void RnServ::collectReturnedWalkers(DaxGameTime /*t*/) {
    const RnServType& typ = servType();
    rnCollectWorkplaceWalkers(*this, grn_game.servWalkerType(typ.walker_type_idx_).instances_,
                              typ.req_num_serv_walkers_);
}

void RnServ::shutDown(const RnServType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    clearNearStorages();
    // Its walkers go (their targets are told) and walkers heading here turn
    // elsewhere or give up.
    grn_game.releaseWalkers(oid_);
    rnSetWalkersOut(*this, 0);
    goods_stored_.clear();
    flags_ &= ~kGoodsTaken;
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

void RnServ::setNearStorage(int16_t goods, RnServGoodsEntry& entry, const RnObjectID& storage) {
    if (entry.near_storage_ == storage) return;
    const int f = freeCapacity(entry);
    rnPassDemand(entry.near_storage_, goods, f);
    entry.near_storage_ = storage;
    rnPassDemand(entry.near_storage_, goods, -f);
}

void RnServ::clearNearStorages() {
    for (auto& [g, e] : goods_stored_) setNearStorage(g, e, RnObjectID());
}

void RnServ::applyNearStorages(const std::map<int16_t, RnObjectID>& found) {
    for (auto& [g, e] : goods_stored_) {
        auto it = found.find(g);
        setNearStorage(g, e, it == found.end() ? RnObjectID() : it->second);
    }
}

void RnServ::checkGoods() {
    const RnServType& typ = servType();
    for (const RnGoodsAmount& need : typ.needs_) {
        if (goods_stored_.count(need.good_type_idx_) != 0) continue;
        goods_stored_[need.good_type_idx_] = RnServGoodsEntry();
        daxLogMessage(1, 2, "add new goods type %d to service [%hd:%hd,%d]", need.good_type_idx_, oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_);
    }
    rnDropStaleLinks(goods_stored_, oid_, "service");
    auto listed = [&typ](int16_t g) {
        return std::any_of(typ.needs_.begin(), typ.needs_.end(),
                           [g](const RnGoodsAmount& need) { return need.good_type_idx_ == g; });
    };
    if (std::any_of(goods_stored_.begin(), goods_stored_.end(), [&](const auto& e) { return !listed(e.first); }))
        daxRaiseError("service [%hd:%hd,%d] has goods which are not allowed with service type", oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_);
}

void RnServ::verifyMaterialNeeds() { rnVerifyMaterialNeeds(*this); }

bool RnServ::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerServType& walkers = grn_game.servWalkerType(servType().walker_type_idx_);
    RnFloodWalkerServ flood(target, now, oid_.type_idx_, walkers.tiles_without_houses_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}

// ---------------------------------------------------------------------------
// Service type

RnGenericBuilding* RnServType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnServType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnServ& obj = rnAddInstance(instances_, *this, RnServ(*this, x, y));
    rnAddWorkplace(obj.oid_, worker_reqs_);
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnServType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnServ& obj = rnInstanceOfTile(instances_, tile.oid_);
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

uint16_t RnServType::neededAmount(int16_t goods) const {
    for (const RnGoodsAmount& need : needs_)
        if (need.good_type_idx_ == goods) return need.amount_;
    return 0;
}

void RnServType::countServedHouses(int& badly, int& well) const {
    badly = 0;
    well = 0;
    const int16_t type_idx = rnTypeIndex(*this);
    DAX_ASSERT(type_idx >= 0);
    const DaxGameTime now = rnNow();
    auto count = [&](int need) { ++(need > 900 ? badly : well); };
    for (const RnHousType& ht : grn_game.housTypes()) {
        for (const RnHous& h : ht.instances_) {
            auto it = h.services_.find(type_idx);
            if (it != h.services_.end()) count(it->second.elapsedPermille(now));
        }
    }
    for (const RnDecoType& dt : grn_game.decoTypes()) {
        if (dt.service_type_idx_ != type_idx) continue;
        for (const RnDeco& d : dt.instances_) count(d.serviceNeed(now, type_idx, 1));
    }
}

DaxDialogIfc* RnServ::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createServDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void servFields(Io& io, B& b) {
    rnWorkplaceHeadFields(io, b);
    io.goodsMap(b.goods_stored_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.amt_.stored_);
        f.u16(e.amt_.promised_);
        f.oid(e.near_storage_);
    });
    rnMaterialMapFields(io, b.material_in_store_);
}

}  // namespace

void RnServ::save(RnSaveBuffer& out) const { servFields(out, *this); }

void RnServ::load(RnSaveLoader& in, RnLoadContext& ctx) {
    servFields(in, *this);
    for (auto& e : goods_stored_) ctx.remapStorage(e.second.near_storage_);
}
