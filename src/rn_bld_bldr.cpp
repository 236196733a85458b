// Builder buildings: the update with its timers, ordering material at the
// near storages, the hand-over to sites, the walkers' departures and returns,
// and the checks after loading.
#include "rn_bld_bldr.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_bldr.h"
#include "rn_file_load.h"

namespace {

// A builder keeps an entry for each goods type it distributes that some type
// uses as building material.
bool keepsEntryFor(const RnBldrType& type, int16_t goods) {
    return type.goods_allowed_.count(goods) != 0 && grn_game.goodsType(goods).used_mat_;
}

}  // namespace

RnBldr::RnBldr(const RnBldrType& type, int x, int y) : RnSimpleBuilding(RnIdBldBldr, x, y) {
    for (int16_t g : type.goods_allowed_)
        if (keepsEntryFor(type, g)) goods_stored_[g] = RnBldrAmountInf();
}

const RnBldrType& RnBldr::bldrType() const { return grn_game.bldrType(oid_.type_idx_); }

DaxGameTime RnBldr::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnBldrType& typ = bldrType();
    // A builder type keeps no material of its own: these steps find none
    // (unless a loaded game holds some) and leave the supply check clear.
    if (rnMaterialStep(*this, typ, now)) return kRnNoWakeTime;
    rnWorkerStep(*this, now);
    if (rnNearCheckDue(*this, now)) {
        std::map<int16_t, RnObjectID> found = rnNearStoragesFor(*this, goods_stored_);
        RnGoodsSet used;
        RnMaterialNeededVisitor visitor(used);
        floodVisitBuildings(*this, typ.walker_range_, visitor);
        applyNearStorages(found, used);
    }
    rnWalkerSteps(*this, now, typ.req_num_bldr_walkers_, [this, &typ](DaxGameTime t) {
        flags_ |= kSpwnPending;
        t_spwn_ = rnRespawnTime(t, typ.hours_respawn_);
    });
    return rnWorkplaceWake(*this);
}

bool RnBldr::hasWorkers() const { return rnHasWorkers(*this, bldrType().worker_reqs_); }

void RnBldr::updateWorkerRatio() { efficiency_ = rnMeanWorkerRatio(*this, bldrType()); }

void RnBldr::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnBldr::walkerReturned(DaxGameTime t, const RnObjectID& wlk_oid) {
    DAX_ASSERT(wlk_oid.id()==RnIdWlkBldr);
    rnNoteFirst(flags_, kKillPending, t_kill_, t);
}

bool RnBldr::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

bool RnBldr::refersTo(const RnObjectID& oid) const {
    for (const auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) return true;
    return false;
}

uint32_t RnBldr::problemFlags() const { return rnProblemFlags(*this); }

uint16_t RnBldr::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    return rnLotEntryNeed(it->second, goods, bldrType().capacityForGoods(goods), with_promised);
}

void RnBldr::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount_nlots) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    rnLotEntryDelivered(it->second, goods, amount_nlots);
}

void RnBldr::goodsPromised(int16_t goods, int nlots) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    rnLotEntryPromised(it->second, goods, nlots);
}

void RnBldr::forgetObject(const RnObjectID& oid) {
    for (auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) g.second.near_storage_.setNull();
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
    return rnLotEntryTake(it->second, goods, amount);
}

int RnBldr::demandLots(int16_t goods, const RnBldrAmountInf& entry) const {
    // The type's capacity, whether or not it still distributes the goods: an
    // entry the type dropped withdraws what it registered.
    return bldrType().capacity_ - entry.stored_ / rnLotSize(goods) - entry.promisedLots();
}

void RnBldr::setGoodsLink(int16_t goods, RnBldrAmountInf& entry, const RnObjectID& storage, bool ordering) {
    if (entry.ordering() == ordering && (entry.near_storage_ == storage || !entry.ordering())) return;
    if (entry.ordering()) rnPassDemand(entry.near_storage_, goods, demandLots(goods, entry));
    entry.near_storage_ = storage;
    entry.word_ = static_cast<uint16_t>((entry.word_ & RnBldrAmountInf::kPromisedMask) |
                                        (ordering ? RnBldrAmountInf::kOrdering : 0u));
    if (entry.ordering()) rnPassDemand(entry.near_storage_, goods, -demandLots(goods, entry));
}

void RnBldr::clearNearStorages() {
    for (auto& [g, e] : goods_stored_) setGoodsLink(g, e, RnObjectID(), false);
}

void RnBldr::applyNearStorages(const std::map<int16_t, RnObjectID>& found, const RnGoodsSet& used) {
    for (auto& [g, e] : goods_stored_) {
        auto it = found.find(g);
        setGoodsLink(g, e, it == found.end() ? RnObjectID() : it->second, used.count(g) != 0 || e.ordering());
    }
}

void RnBldr::sendWalker(DaxGameTime t) {
    const RnBldrType& typ = bldrType();
    RnWalkerBldrType& wt = grn_game.bldrWalkerType(typ.walker_type_idx_);
    rnDepartWalker(*this, wt.instances_, typ.walker_type_idx_, wt.smooth_move_, t, typ.req_num_bldr_walkers_,
                   typ.hours_respawn_, [](const RnObjectID&) {});
}

void RnBldr::collectReturnedWalkers(DaxGameTime /*t*/) {
    const RnBldrType& typ = bldrType();
    rnCollectWorkplaceWalkers(*this, grn_game.bldrWalkerType(typ.walker_type_idx_).instances_,
                              typ.req_num_bldr_walkers_);
}

void RnBldr::shutDown(const RnBldrType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, type.worker_reqs_);
    clearNearStorages();
    grn_game.releaseWalkers(oid_);
    rnSetWalkersOut(*this, 0);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

void RnBldr::checkGoods() {
    const RnBldrType& typ = bldrType();
    for (int16_t g : typ.goods_allowed_)
        if (keepsEntryFor(typ, g) && goods_stored_.count(g) == 0) goods_stored_[g] = RnBldrAmountInf();
    for (auto it = goods_stored_.begin(); it != goods_stored_.end();) {
        if (typ.goods_allowed_.count(it->first) != 0) {
            ++it;
            continue;
        }
        daxLogMessage(1, 2, "bldr [%hd:%hd,%d] has material %s that it cannot distribute, %s", oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_, grn_game.goodsType(it->first).name_.c_str(), typ.name_.c_str());
        // Its share of the storage's demand goes with it.
        setGoodsLink(it->first, it->second, RnObjectID(), false);
        it = goods_stored_.erase(it);
    }
}

void RnBldr::verifyMaterialNeeds() { rnVerifyMaterialNeeds(*this); }

bool RnBldr::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerBldrType& walkers = grn_game.bldrWalkerType(bldrType().walker_type_idx_);
    RnFloodWalkerBldr flood(target, now, oid_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}

// ---------------------------------------------------------------------------
// Builder type

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

DaxDialogIfc* RnBldr::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createBldrDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void bldrFields(Io& io, B& b) {
    rnWorkplaceHeadFields(io, b);
    io.goodsMap(b.goods_stored_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.stored_);
        f.u16(e.word_);
        f.oid(e.near_storage_);
    });
    io.shortList(b.levels_);
    rnMaterialMapFields(io, b.material_in_store_);
}

}  // namespace

void RnBldr::save(RnSaveBuffer& out) const { bldrFields(out, *this); }

void RnBldr::load(RnSaveLoader& in, RnLoadContext& ctx) {
    bldrFields(in, *this);
    for (auto& e : goods_stored_) ctx.remapStorage(e.second.near_storage_);
}
