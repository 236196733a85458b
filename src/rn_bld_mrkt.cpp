// Markets: records, placement and removal. The market's update, its walkers
// and its near-storage links come with their own code.
#include "rn_bld_mrkt.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_mrkt.h"

RnMrkt::RnMrkt(const RnMrktType& type, int x, int y) : RnSimpleBuilding(RnIdBldMrkt, x, y) {
    for (int16_t g : type.distribute_goods_) {
        RnMrktAmountInf entry;
        entry.word_ = RnMrktAmountInf::kEnabled;
        goods_stored_[g] = entry;
    }
}

const RnMrktType& RnMrkt::mrktType() const { return grn_game.mrktType(oid_.type_idx_); }

// The worker re-check. LATER: the market's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnMrkt::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnMrkt::hasWorkers() const { return rnHasWorkers(*this, RnWorkerReqs(mrktType().workerReq())); }

void RnMrkt::updateWorkerRatio() { efficiency_ = rnSingleWorkerRatio(*this, mrktType().workerReq()); }

void RnMrkt::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Re-evaluating the stock after a delivery comes with the market's own code.
void RnMrkt::goodsArrived(DaxGameTime /*t*/) {}

// LATER: taking returned walkers back (rnCollectFinishedWalkers) comes with
// the building's own code.
void RnMrkt::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

bool RnMrkt::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

uint16_t RnMrkt::available(int16_t goods, uint16_t wanted) const {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    return std::min(it->second.amount_, wanted);
}

bool RnMrkt::hasGoods(int16_t goods) const {
    if (isDestroyed()) return false;
    auto it = goods_stored_.find(goods);
    return it != goods_stored_.end() && it->second.amount_ > 0;
}

uint16_t RnMrkt::takeGoods(int16_t goods, uint16_t amount) {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    RnMrktAmountInf& entry = it->second;
    const uint16_t taken = std::min(entry.amount_, amount);
    const int lot = std::max<int>(1, grn_game.goodsType(goods).lot_size_);
    const int lots_before = entry.amount_ / lot;
    entry.amount_ = static_cast<uint16_t>(entry.amount_ - taken);
    const int lots_after = entry.amount_ / lot;
    // Demand is registered at the storage only while both bits are set.
    const uint16_t both = RnMrktAmountInf::kEnabled | RnMrktAmountInf::kWanted;
    if (!entry.near_storage_.isNull() && (entry.word_ & both) == both && lots_after != lots_before)
        grn_game.storByOid(entry.near_storage_).adjustDemand(goods, lots_after - lots_before);
    grn_game.goodsType(goods).consumed_cur_ += taken;
    return taken;
}

void RnMrkt::shutDown(const RnMrktType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, RnWorkerReqs(type.workerReq()));
    // LATER: the market unlinks its near storages here, once those exist.
    grn_game.releaseWalkers(oid_);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

RnGenericBuilding* RnMrktType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnMrktType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnMrkt& obj = rnAddInstance(instances_, *this, RnMrkt(*this, x, y));
    rnAddWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnMrktType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnMrkt& obj = rnInstanceOfTile(instances_, tile.oid_);
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

bool RnMrkt::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerMrktType& walkers = grn_game.mrktWalkerType(mrktType().walker_type_idx_);
    RnFloodWalkerMrkt flood(target, now, oid_, walkers.tiles_without_houses_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}
