// Markets: the update with its timers, the goods switches and wanted bits,
// the near-storage links with the lots they order, the hand-over to houses,
// the walkers' departures and returns, and the checks after loading.
#include "rn_bld_mrkt.h"

#include <algorithm>
#include <set>

#include "dax2/dax_error.h"
#include "rn_bld_hous.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_workforce.h"
#include "rn_wlk_mrkt.h"
#include "rn_file_load.h"

RnMrkt::RnMrkt(const RnMrktType& type, int x, int y) : RnSimpleBuilding(RnIdBldMrkt, x, y) {
    for (int16_t g : type.distribute_goods_) {
        RnMrktAmountInf entry;
        entry.word_ = RnMrktAmountInf::kEnabled;
        goods_stored_[g] = entry;
    }
}

const RnMrktType& RnMrkt::mrktType() const { return grn_game.mrktType(oid_.type_idx_); }

DaxGameTime RnMrkt::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnMrktType& typ = mrktType();
    if (rnMaterialStep(*this, typ, now)) return kRnNoWakeTime;
    rnWorkerStep(*this, now);
    if (rnNearCheckDue(*this, now)) {
        const RnWalkerMrktType& wt = grn_game.mrktWalkerType(typ.walker_type_idx_);
        std::vector<int16_t> levels;
        floodHouseLevels(levels, wt.distance_to_return_, wt.tiles_without_houses_);
        applyNearStorages(rnNearStoragesFor(*this, goods_stored_), levels);
    }
    rnWalkerSteps(*this, now, typ.num_walkers_, [this, &typ](DaxGameTime t) {
        flags_ |= kSpwnPending;
        t_spwn_ = rnRespawnTime(t, typ.hours_respawn_);
    });
    return rnWorkplaceWake(*this);
}

bool RnMrkt::hasWorkers() const { return rnHasWorkers(*this, RnWorkerReqs(mrktType().workerReq())); }

void RnMrkt::updateWorkerRatio() { efficiency_ = rnSingleWorkerRatio(*this, mrktType().workerReq()); }

void RnMrkt::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnMrkt::walkerReturned(DaxGameTime t, const RnObjectID& wlk_oid) {
    DAX_ASSERT(wlk_oid.id()==RnIdWlkMrkt);
    rnNoteFirst(flags_, kKillPending, t_kill_, t);
}

bool RnMrkt::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

bool RnMrkt::refersTo(const RnObjectID& oid) const {
    for (const auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) return true;
    return false;
}

uint32_t RnMrkt::problemFlags() const { return rnProblemFlags(*this); }

int RnMrkt::inputLevel() const {
    if (isDestroyed()) return 0;
    const int capacity = mrktType().capacity_;
    int lowest = 1000;
    for (const auto& [g, e] : goods_stored_) {
        if (!e.ordering()) continue;
        const int cap = capacity * rnLotSize(g);
        const int level = e.amount_ + e.promisedLots() * rnLotSize(g);
        if (level < cap) lowest = std::min(lowest, level * 1000 / cap);
    }
    return lowest;
}

uint16_t RnMrkt::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return 0;
    return rnLotEntryNeed(it->second, goods, mrktType().capacity_, with_promised);
}

void RnMrkt::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount_nlots) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    rnLotEntryDelivered(it->second, goods, amount_nlots);
}

void RnMrkt::goodsPromised(int16_t goods, int nlots) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) DAX_ASSERT(false);
    rnLotEntryPromised(it->second, goods, nlots);
}

void RnMrkt::forgetObject(const RnObjectID& oid) {
    for (auto& g : goods_stored_)
        if (g.second.near_storage_ == oid) g.second.near_storage_.setNull();
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
    return rnLotEntryTake(it->second, goods, amount);
}

int RnMrkt::demandLots(int16_t goods, const RnMrktAmountInf& entry) const {
    if (!entry.wanted()) return 0;
    return mrktType().capacity_ - entry.amount_ / rnLotSize(goods) - entry.promisedLots();
}

void RnMrkt::setGoodsLink(int16_t goods, RnMrktAmountInf& entry, const RnObjectID& storage, bool wanted, bool on) {
    if (entry.wanted() == wanted && entry.enabled() == on && (entry.near_storage_ == storage || !entry.ordering()))
        return;
    if (entry.ordering()) rnPassDemand(entry.near_storage_, goods, demandLots(goods, entry));
    entry.near_storage_ = storage;
    entry.word_ = static_cast<uint16_t>((entry.word_ & RnMrktAmountInf::kPromisedMask) |
                                        (wanted ? RnMrktAmountInf::kWanted : 0u) |
                                        (on ? RnMrktAmountInf::kEnabled : 0u));
    if (entry.ordering()) rnPassDemand(entry.near_storage_, goods, -demandLots(goods, entry));
}

void RnMrkt::setGoodsEnabled(int16_t goods, bool on) {
    auto it = goods_stored_.find(goods);
    if (it == goods_stored_.end()) return;
    setGoodsLink(goods, it->second, it->second.near_storage_, it->second.wanted(), on);
}

void RnMrkt::clearNearStorages() {
    for (auto& [g, e] : goods_stored_) setGoodsLink(g, e, RnObjectID(), false, e.enabled());
}

void RnMrkt::applyNearStorages(const std::map<int16_t, RnObjectID>& found, const std::vector<int16_t>& levels) {
    const std::vector<RnHousType>& house_types = grn_game.housTypes();
    if (house_levels_.size() != house_types.size()) house_levels_.assign(house_types.size(), 0);
    const bool changed = levels != house_levels_;
    std::set<int16_t> marked;
    if (changed) {
        house_levels_ = levels;
        for (size_t i = 0; i < house_types.size() && i < levels.size(); ++i) {
            const std::vector<RnHousLevelDesc>& descs = house_types[i].level_descs_;
            const int last = std::min<int>(levels[i] + 1, static_cast<int>(descs.size()) - 1);
            for (int level = 0; level <= last; ++level) {
                for (const RnHousGoodsNeed& need : descs[static_cast<size_t>(level)].goods_)
                    marked.insert(need.good_type_idx_);
            }
        }
    }
    for (auto& [g, e] : goods_stored_) {
        const bool wanted = changed ? marked.count(g) != 0 : e.wanted();
        auto it = found.find(g);
        setGoodsLink(g, e, it == found.end() ? RnObjectID() : it->second, wanted, e.enabled());
    }
}

void RnMrkt::sendWalker(DaxGameTime t) {
    const RnMrktType& typ = mrktType();
    RnWalkerMrktType& wt = grn_game.mrktWalkerType(typ.walker_type_idx_);
    rnDepartWalker(*this, wt.instances_, typ.walker_type_idx_, wt.smooth_move_, t, typ.num_walkers_,
                   typ.hours_respawn_, [](const RnObjectID&) {});
}

void RnMrkt::collectReturnedWalkers(DaxGameTime /*t*/) {
    const RnMrktType& typ = mrktType();
    rnCollectWorkplaceWalkers(*this, grn_game.mrktWalkerType(typ.walker_type_idx_).instances_, typ.num_walkers_);
}

void RnMrkt::shutDown(const RnMrktType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, RnWorkerReqs(type.workerReq()));
    clearNearStorages();
    grn_game.releaseWalkers(oid_);
    rnSetWalkersOut(*this, 0);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

void RnMrkt::checkGoods() {
    const RnMrktType& typ = mrktType();
    for (int16_t g : typ.distribute_goods_) {
        if (goods_stored_.count(g) != 0) continue;
        RnMrktAmountInf entry;
        entry.word_ = RnMrktAmountInf::kEnabled;
        goods_stored_[g] = entry;
        daxLogMessage(1, 2, "add new goods type %d to market [%hd:%hd,%d]", g, oid_.kind_, oid_.type_idx_,
                      oid_.bld_idx_);
    }
    rnDropStaleLinks(goods_stored_, oid_, "market");
    for (const auto& g : goods_stored_) {
        if (typ.distribute_goods_.count(g.first) == 0)
            daxRaiseError("market [%hd:%hd,%d] has goods which are not allowed with market type %s", oid_.kind_,
                          oid_.type_idx_, oid_.bld_idx_, typ.name_.c_str());
    }
}

void RnMrkt::verifyMaterialNeeds() { rnVerifyMaterialNeeds(*this); }

bool RnMrkt::findWalkerTarget(RnFloodTarget& target, DaxGameTime now,
                              const std::vector<DaxMapPositionI>& starts) const {
    const RnWalkerMrktType& walkers = grn_game.mrktWalkerType(mrktType().walker_type_idx_);
    RnFloodWalkerMrkt flood(target, now, oid_, walkers.tiles_without_houses_);
    return flood.floodFromStarts(target, oid_, starts, walkers.distance_to_return_);
}

// ---------------------------------------------------------------------------
// Market type

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

DaxDialogIfc* RnMrkt::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createMrktDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void mrktFields(Io& io, B& b) {
    rnWorkplaceHeadFields(io, b);
    io.goodsMap(b.goods_stored_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.amount_);
        f.u16(e.word_);
        f.oid(e.near_storage_);
    });
    rnMaterialMapFields(io, b.material_in_store_);
    io.shortList(b.house_levels_);
}

}  // namespace

void RnMrkt::save(RnSaveBuffer& out) const { mrktFields(out, *this); }

void RnMrkt::load(RnSaveLoader& in, RnLoadContext& ctx) {
    mrktFields(in, *this);
    for (auto& e : goods_stored_) ctx.remapStorage(e.second.near_storage_);
}
