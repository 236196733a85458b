// Production buildings: records, placement with the resource rule, and
// removal. The production cycle, the walkers and the near-storage links come
// with their own code.
#include "rn_bld_prod.h"

#include "dax2/dax_error.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_placement.h"

RnProd::RnProd(const RnProdType& type, int x, int y) : RnSimpleBuilding(RnIdBldProd, x, y) {
    flags_ = kEffPending;
    resource_factor_ = 1.0f;
    for (const RnGoodsOutput& out : type.output_goods_) output_goods_in_store_[out.good_type_idx_] = RnProdOutInf();
    for (const RnGoodsAmount& in : type.input_goods_) input_goods_[in.good_type_idx_] = RnProdInpInf();
}

const RnProdType& RnProd::prodType() const { return grn_game.prodType(oid_.type_idx_); }

// The worker re-check. LATER: the production building's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnProd::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnProd::hasWorkers() const { return rnHasWorkers(*this, prodType().worker_reqs_); }

void RnProd::updateWorkerRatio() { worker_factor_ = rnMeanWorkerRatio(*this, prodType()); }

void RnProd::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Restarting the cycle after a delivery comes with the building's own code.
void RnProd::goodsArrived(DaxGameTime /*t*/) {}

// LATER: taking returned walkers back (rnCollectFinishedWalkers) comes with
// the building's own code.
void RnProd::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

float RnProd::efficiency() const { return isDestroyed() ? 0.0f : worker_factor_ * resource_factor_; }

bool RnProd::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

void RnProd::shutDown(const RnProdType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    // LATER: its roaming markers are released here, once those exist.
    grn_game.releaseWalkers(oid_);
    input_goods_.clear();
    output_goods_in_store_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
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

bool RnProd::findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now,
                                  const std::vector<DaxMapPositionI>& starts, const RnGoodsSet& goods) const {
    RnFloodWalkerProd flood(target, now, goods, true);
    return flood.floodFromStarts(target, oid_, starts, static_cast<uint16_t>(grn_game.prod_walker_range_));
}
