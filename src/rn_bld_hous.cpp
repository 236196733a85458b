// Houses: records, placement and removal. The people, levels, goods and
// services of a house come with its own code.
#include "rn_bld_hous.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_workforce.h"

RnHous::RnHous(int x, int y, DaxGameTime now) : RnGenericBuilding(RnIdBldHous, x, y) {
    flags_ = kPplPending;
    t_ppl_ = now;
}

const RnHousType& RnHous::housType() const { return grn_game.housType(oid_.type_idx_); }

int RnHous::averageDesirability() const {
    const RnHousType& type = housType();
    int sum = 0;
    int n = 0;
    for (int x = pos_on_map_.x - type.width_ + 1; x <= pos_on_map_.x; ++x) {
        for (int y = pos_on_map_.y - type.height_ + 1; y <= pos_on_map_.y; ++y) {
            if (!grn_map.isOnMap(x, y)) continue;
            sum += grn_map.tile(x, y).desirability_;
            ++n;
        }
    }
    return n > 0 ? static_cast<int16_t>(sum / n) : 0;
}

// People, levels, goods and services come with the house's own code; until
// then it asks for no wake-up.
DaxGameTime RnHous::update(DaxGameTime /*now*/) { return kRnNoWakeTime; }

void RnHous::desirabilityChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kAttrPending, t_attr_, t);
}

void RnHous::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnHous::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) { DAX_ASSERT(false); }

bool RnHous::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

void RnHous::emptyHouse(const RnHousType& type) {
    if (isDestroyed()) return;
    // LATER: the people leave here (their count goes to 0) with the house's
    // own code; until then only their workers leave, and the house leaves
    // the workforce.
    offerWorkers(type, 0);
    if (RnWorkforce* wkf = rnWorkforceOf(type.ppl_type_idx_)) wkf->removeSource(oid_);
    grn_game.releaseWalkers(oid_);
    int level = curLevel();
    int own = static_cast<size_t>(level) < type.level_descs_.size() ? type.level_descs_[level].own_attr_ : 0;
    rnSpreadOwnAttr(*this, rnNow(), own, 0);
    state_ &= ~kLevelMask;
    services_.clear();
    goods_.clear();
    material_in_store_.clear();
}

void RnHous::setEmployed(uint16_t n) {
    const int new_num_ = n;
    const int cur_num_workers_ = curNumWorkers();
    DAX_ASSERT(new_num_ <= cur_num_workers_);
    flags_ = (flags_ & ~(kWorkersMask << kEmployedShift)) | (static_cast<uint32_t>(n) << kEmployedShift);
}

void RnHous::offerWorkers(const RnHousType& type, int n) {
    n = std::clamp(n, 0, static_cast<int>(kWorkersMask));
    const int old = curNumWorkers();
    if (n == old) return;
    flags_ = (flags_ & ~kWorkersMask) | static_cast<uint32_t>(n);
    if (RnWorkforce* wkf = rnWorkforceOf(type.ppl_type_idx_)) wkf->updateSource(oid_, static_cast<int16_t>(n - old));
}

RnGenericBuilding* RnHousType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnHousType::createBuilding(int x, int y) {
    if (level_descs_.empty()) daxRaiseError("house type id=%d has no levels", type_id_);
    rnCheckFootprintOnMap(*this, x, y);
    DaxGameTime now = rnNow();
    RnHous& obj = rnAddInstance(instances_, *this, RnHous(x, y, now));
    if (RnWorkforce* wkf = rnWorkforceOf(ppl_type_idx_)) wkf->addSource(obj.oid_, obj.curNumWorkers());
    rnPlaceOnMap(obj, level_descs_[0].floor_image_, level_descs_[0].image_);
    rnSpreadOwnAttr(obj, now, 0, level_descs_[0].own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnHousType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnHous& house = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(house.pos_on_map_==DaxMapPositionI(tx,ty));
    house.emptyHouse(*this);
    house.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

std::string RnHousType::phantomImage() const {
    if (level_descs_.empty()) daxRaiseError("no phantom image available for house type id=%d", type_id_);
    const RnHousLevelDesc& last = level_descs_.back();
    return last.floor_image_.empty() ? last.image_ : last.floor_image_;
}

int RnHousType::maxUsedLevel() const {
    int level = 0;
    for (const RnHous& h : instances_) level = std::max(level, h.curLevel());
    return level;
}
