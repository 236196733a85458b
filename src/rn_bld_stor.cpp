// Storage buildings: records, placement, removal and the demand balance of
// the linked buildings. The storage's update, walkers and network come with
// their own code.
#include "rn_bld_stor.h"

#include "dax2/dax_error.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_workforce.h"

RnStor::RnStor(const RnStorType& type, int x, int y) : RnSimpleBuilding(RnIdBldStor, x, y) {
    for (int16_t g : type.distribute_goods_) goods_stored_[g] = RnStorAmountInf();
    DAX_ASSERT(goods_stored_.size()>0);
}

const RnStorType& RnStor::storType() const { return grn_game.storType(oid_.type_idx_); }

// The worker re-check. LATER: the storage's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnStor::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnStor::hasWorkers() const { return rnHasWorkers(*this, RnWorkerReqs(storType().workerReq())); }

void RnStor::updateWorkerRatio() { efficiency_ = rnSingleWorkerRatio(*this, storType().workerReq()); }

void RnStor::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Re-evaluating the stock after a delivery comes with the storage's own code.
void RnStor::goodsArrived(DaxGameTime /*t*/) {}

// LATER: Collecting returned walkers comes with the walkers' own code.
void RnStor::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

bool RnStor::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

void RnStor::adjustDemand(int16_t goods, int delta) {
    auto it = goods_stored_.find(goods);
    DAX_ASSERT(it!=goods_stored_.end());
    it->second.demand_ = static_cast<int16_t>(it->second.demand_ + delta);
}

void RnStor::shutDown(const RnStorType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, RnWorkerReqs(type.workerReq()));
    // LATER: the storage leaves its network, the buildings around it forget
    // it and walkers heading here or sent from here are dealt with here,
    // once those exist.
    grn_game.dropBldrWalkerTargets(oid_);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

RnGenericBuilding* RnStorType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnStorType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    // The storage gets its node in the type's network here once the network
    // exists.
    RnStor& obj = rnAddInstance(instances_, *this, RnStor(*this, x, y));
    rnAddWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    // The goods statistics are recomputed here once they exist.
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
    // The goods statistics are recomputed here once they exist.
}

uint16_t RnStorType::capacityForGoods(int16_t goods) const {
    return distribute_goods_.count(goods) != 0 ? capacity_ : static_cast<uint16_t>(0);
}
