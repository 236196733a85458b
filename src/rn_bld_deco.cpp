// Decoration buildings: records, placement and removal. The decoration's
// update, its goods and its service come with their own code.
#include "rn_bld_deco.h"

#include "dax2/dax_error.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_map.h"

int RnBuildingTimedData::remainingPermille(DaxGameTime t) const {
    if (t.value() <= first_.value()) return 1000;
    if (t.value() >= second_.value()) return 0;
    return static_cast<int>(static_cast<uint64_t>(second_.value() - t.value()) * 1000u /
                            (second_.value() - first_.value()));
}

RnDeco::RnDeco(const RnDecoType& type, int x, int y) : RnSimpleBuilding(RnIdBldDeco, x, y) {
    for (const RnGoodsAmount& g : type.goods_) goods_[g.good_type_idx_] = RnDecoInpInf();
}

const RnDecoType& RnDeco::decoType() const { return grn_game.decoType(oid_.type_idx_); }

// LATER: The decoration's effect, goods and service come with its own code; until
// then it asks for no wake-up.
DaxGameTime RnDeco::update(DaxGameTime /*now*/) { return kRnNoWakeTime; }

// LATER: Starting the effect after a delivery comes with the decoration's own code.
void RnDeco::goodsArrived(DaxGameTime /*t*/) {}

void RnDeco::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) { DAX_ASSERT(false); }

bool RnDeco::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

int RnDeco::ownAttr() const {
    const RnDecoType& type = decoType();
    return (flags_ & kActive) != 0 ? type.own_attr_act_ : type.own_attr_def_;
}

void RnDeco::release() {
    if (isDestroyed()) return;
    // Here every goods entry is unlinked from its near storage (its demand
    // returned), once those exist.
    grn_game.releaseWalkers(oid_);
    goods_.clear();
    rnSpreadOwnAttr(*this, rnNow(), ownAttr(), 0);
}

RnGenericBuilding* RnDecoType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnDecoType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnDeco& obj = rnAddInstance(instances_, *this, RnDeco(*this, x, y));
    rnPlaceOnMap(obj, floor_image_, image_defunc_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_def_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnDecoType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnDeco& obj = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(obj.pos_on_map_==DaxMapPositionI(tx,ty));
    obj.release();
    obj.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

uint16_t RnDecoType::amountForGoods(int16_t goods) const {
    for (const RnGoodsAmount& g : goods_)
        if (g.good_type_idx_ == goods) return g.amount_;
    return 0;
}
