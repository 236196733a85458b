// Builder buildings: records, placement, removal and the material hand-over
// to sites. The builder's update, its walkers and its near-storage links come
// with their own code.
#include "rn_bld_bldr.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_bldr.h"

namespace {

// Units per lot of a goods type; a lot size of 0 counts as 1 so that the lot
// arithmetic never divides by zero.
int lotSize(int16_t goods) {
    int lot = grn_game.goodsType(goods).lot_size_;
    return lot > 0 ? lot : 1;
}

}  // namespace

RnBldr::RnBldr(const RnBldrType& type, int x, int y) : RnSimpleBuilding(RnIdBldBldr, x, y) {
    for (int16_t g : type.goods_allowed_)
        if (grn_game.goodsType(g).used_mat_) goods_stored_[g] = RnBldrAmountInf();
}

const RnBldrType& RnBldr::bldrType() const { return grn_game.bldrType(oid_.type_idx_); }

// The worker re-check. LATER: the builder's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnBldr::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnBldr::hasWorkers() const { return rnHasWorkers(*this, bldrType().worker_reqs_); }

void RnBldr::updateWorkerRatio() { efficiency_ = rnMeanWorkerRatio(*this, bldrType()); }

void RnBldr::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Re-evaluating the stock after a delivery comes with the builder's own code.
void RnBldr::goodsArrived(DaxGameTime /*t*/) {}

// LATER: taking returned walkers back (rnCollectFinishedWalkers) comes with
// the building's own code.
void RnBldr::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

bool RnBldr::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

uint16_t RnBldr::available(int16_t goods, uint16_t wanted) const {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    return std::min(it->second.stored_, wanted);
}

uint16_t RnBldr::takeGoods(int16_t goods, uint16_t amount) {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    RnBldrAmountInf& entry = it->second;
    uint16_t taken = std::min(entry.stored_, amount);
    int lot = lotSize(goods);
    int lots_before = entry.stored_ / lot;
    entry.stored_ = static_cast<uint16_t>(entry.stored_ - taken);
    int lots_after = entry.stored_ / lot;
    if (!entry.near_storage_.isNull() && lots_after != lots_before)
        grn_game.storByOid(entry.near_storage_).adjustDemand(goods, lots_after - lots_before);
    grn_game.goodsType(goods).consumed_cur_ += taken;
    return taken;
}

void RnBldr::shutDown(const RnBldrType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    // LATER: the builder unlinks its near storages here, once those exist.
    grn_game.releaseWalkers(oid_);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

RnGenericBuilding* RnBldrType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnBldrType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnBldr& obj = rnAddInstance(instances_, *this, RnBldr(*this, x, y));
    rnAddWorkplace(obj.oid_, worker_reqs_);
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnBldrType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnBldr& obj = rnInstanceOfTile(instances_, tile.oid_);
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

uint16_t RnBldrType::capacityForGoods(int16_t goods) const {
    return goods_allowed_.count(goods) != 0 ? capacity_ : static_cast<uint16_t>(0);
}

bool RnBldr::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerBldrType& walkers = grn_game.bldrWalkerType(bldrType().walker_type_idx_);
    RnFloodWalkerBldr flood(target, now, oid_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}
