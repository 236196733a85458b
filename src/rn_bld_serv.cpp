// Service buildings: records, placement and removal. The building's update,
// its walkers and its near-storage links come with their own code.
#include "rn_bld_serv.h"

#include "dax2/dax_error.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_serv.h"

RnServ::RnServ(const RnServType& type, int x, int y) : RnSimpleBuilding(RnIdBldServ, x, y) {
    for (const RnGoodsAmount& need : type.needs_) goods_stored_[need.good_type_idx_] = RnServGoodsEntry();
}

const RnServType& RnServ::servType() const { return grn_game.servType(oid_.type_idx_); }

// The worker re-check. LATER: the service building's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnServ::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnServ::hasWorkers() const { return rnHasWorkers(*this, servType().worker_reqs_); }

void RnServ::updateWorkerRatio() { efficiency_ = rnMeanWorkerRatio(*this, servType()); }

void RnServ::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Re-evaluating the stock after a delivery comes with the building's own code.
void RnServ::goodsArrived(DaxGameTime /*t*/) {}

// LATER: taking returned walkers back (rnCollectFinishedWalkers) comes with
// the building's own code.
void RnServ::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

bool RnServ::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

void RnServ::shutDown(const RnServType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    // LATER: the building unlinks its near storages (returning their
    // demand) here, once those exist.
    grn_game.releaseWalkers(oid_);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

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

bool RnServ::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerServType& walkers = grn_game.servWalkerType(servType().walker_type_idx_);
    RnFloodWalkerServ flood(target, now, oid_.type_idx_, walkers.tiles_without_houses_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}

void RnServType::countServedHouses(int& badly, int& well) const {
    badly = 0;
    well = 0;
    const int16_t type_idx = rnTypeIndex(*this);
    DAX_ASSERT(type_idx >= 0);
    const DaxGameTime now = rnNow();
    auto count = [&](int elapsed) { ++(elapsed > 900 ? badly : well); };
    for (const RnHousType& ht : grn_game.housTypes()) {
        for (const RnHous& h : ht.instances_) {
            auto it = h.services_.find(type_idx);
            if (it != h.services_.end()) count(it->second.elapsedPermille(now));
        }
    }
    for (const RnDecoType& dt : grn_game.decoTypes()) {
        if (dt.service_type_idx_ != type_idx) continue;
        for (const RnDeco& d : dt.instances_) count(1000 - d.effect_.remainingPermille(now));
    }
}
