// Decoration buildings: the effect window and its supply by goods or by a
// service, the near-storage links of their goods, building material and
// ruin, placement, removal and the checks after loading.
#include "rn_bld_deco.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_file_load.h"

namespace {

// A renewal within this many hours of the previous start leaves the shown
// image alone.
constexpr uint32_t kImageRenewHours = 8;

DaxGameTime plusHours(DaxGameTime t, float h) {
    DaxGameTime r = t;
    r.addHours(h);
    return r;
}

// The live storage of a link that keeps the goods type, else null.
RnStor* linkedStorage(const RnObjectID& link, int16_t goods) {
    if (link.kind_ != RnIdBldStor) return nullptr;
    RnGenericObject* obj = grn_game.objectByOid(link);
    if (!obj) return nullptr;
    RnStor* stor = static_cast<RnStor*>(obj);
    return stor->storesGoods(goods) ? stor : nullptr;
}

void adjustStorageDemand(const RnObjectID& link, int16_t goods, int delta) {
    if (delta == 0) return;
    if (RnStor* stor = linkedStorage(link, goods)) stor->adjustDemand(goods, delta);
}

}  // namespace

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

DaxGameTime RnDeco::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnDecoType& typ = decoType();
    // The first update of a new decoration fills its material.
    if (materialRanOut(now, flags_, kBldPending, t_bld_)) {
        release();
        flags_ |= kDestroyed;
        rnShowRuin(*this);
        flags_ &= ~(kGdsPending | kNearPending | kBldPending);
        return kRnNoWakeTime;
    }
    if ((flags_ & kGdsPending) != 0 && now.value() >= t_gds_.value()) {
        flags_ &= ~kGdsPending;
        checkSupply(t_gds_);
    } else if ((flags_ & kGdsPending) == 0 && goods_.empty() && typ.service_type_idx_ < 0) {
        // Needing neither goods nor a service, it supplies itself.
        checkSupply(now);
    }
    if ((flags_ & kNearPending) == 0 && !goods_.empty()) {
        flags_ |= kNearPending;
        t_near_ = plusHours(now, 2.0f);
    }
    if ((flags_ & kNearPending) != 0 && now.value() >= t_near_.value()) {
        const float hours = std::max<int16_t>(1, grn_game.storage_network_update_hours_);
        t_near_ = plusHours(t_near_, hours);
        if (t_near_.value() <= now.value()) t_near_ = plusHours(now, hours);
        searchNearStorages();
    }
    DaxGameTime next = DaxGameTime::null();
    if ((flags_ & kNearPending) != 0) next = std::min(next, t_near_);
    if ((flags_ & kGdsPending) != 0) next = std::min(next, t_gds_);
    if ((flags_ & kBldPending) != 0) next = std::min(next, t_bld_);
    return next.isNull() ? kRnNoWakeTime : next;
}

// ---------------------------------------------------------------------------
// The effect

int RnDeco::ownAttr() const {
    const RnDecoType& type = decoType();
    return (flags_ & kActive) != 0 ? type.own_attr_act_ : type.own_attr_def_;
}

bool RnDeco::consume() {
    if (isDestroyed()) return false;
    const RnDecoType& type = decoType();
    if (goods_.empty()) return type.service_type_idx_ < 0;
    for (const auto& [g, e] : goods_)
        if (e.stored_ < type.amountForGoods(g)) return false;
    for (auto& [g, e] : goods_) {
        const uint16_t amount = type.amountForGoods(g);
        e.stored_ = static_cast<uint16_t>(e.stored_ - amount);
        adjustStorageDemand(e.near_storage_, g, -amount);
        RnGoodsType& goods = grn_game.goodsType(g);
        goods.consumed_cur_ += static_cast<uint32_t>(amount) * goods.lot_size_;
    }
    return true;
}

bool RnDeco::checkSupply(DaxGameTime t) {
    if (isDestroyed() || (flags_ & kGdsPending) != 0) return false;
    if (consume()) {
        activate(t);
        return true;
    }
    deactivate(t);
    return false;
}

void RnDeco::activate(DaxGameTime t) {
    const RnDecoType& type = decoType();
    const RnGenericBuildingType& gtype = type;
    const bool was_active = (flags_ & kActive) != 0;
    if (!was_active) {
        flags_ |= kActive;
        rnSpreadOwnAttr(*this, t, type.own_attr_def_, type.own_attr_act_);
    }
    // A decoration that was defunct shows its active image at once; a
    // renewal soon after the previous start keeps the image as it is.
    if (!was_active || effect_.first_.value() + kImageRenewHours * DaxGameTime::kPerHour < t.value())
        grn_map.setBuildingImages(oid_, pos_on_map_.x, pos_on_map_.y, gtype.width_, gtype.height_, nullptr,
                                  type.image_.c_str());
    effect_.first_ = t;
    effect_.second_ = plusHours(t, type.effectHours());
    flags_ |= kGdsPending;
    t_gds_ = effect_.second_;
    grn_game.updateQueue().schedule(t_gds_, oid_);
}

void RnDeco::deactivate(DaxGameTime t) {
    if ((flags_ & kActive) == 0) return;
    const RnDecoType& type = decoType();
    const RnGenericBuildingType& gtype = type;
    flags_ &= ~kActive;
    rnSpreadOwnAttr(*this, t, type.own_attr_act_, type.own_attr_def_);
    grn_map.setBuildingImages(oid_, pos_on_map_.x, pos_on_map_.y, gtype.width_, gtype.height_, nullptr,
                              type.image_defunc_.c_str());
}

// ---------------------------------------------------------------------------
// Slots

void RnDeco::goodsArrived(DaxGameTime t) {
    if (isDestroyed() || (flags_ & kGdsPending) != 0) return;
    if (consume()) {
        activate(t);
        grn_game.updateQueue().schedule(t, oid_);
    } else {
        deactivate(t);
    }
}

void RnDeco::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) { DAX_ASSERT(false); }

bool RnDeco::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

bool RnDeco::refersTo(const RnObjectID& oid) const {
    for (const auto& [g, e] : goods_)
        if (e.near_storage_ == oid) return true;
    return false;
}

void RnDeco::forgetObject(const RnObjectID& oid) {
    for (auto& [g, e] : goods_)
        if (e.near_storage_ == oid) e.near_storage_ = RnObjectID();
}

bool RnDeco::inputsAvailable() const {
    if (isDestroyed() || (flags_ & kGdsPending) != 0) return true;
    const RnDecoType& type = decoType();
    if (!goods_.empty()) {
        for (const auto& [g, e] : goods_)
            if (e.stored_ + e.promised_ < type.amountForGoods(g)) return false;
        return true;
    }
    if (type.service_type_idx_ < 0) return true;
    return serviceNeed(rnNow(), type.service_type_idx_, 1) <= 900;
}

int RnDeco::inputLevel() const {
    if (isDestroyed()) return 0;
    const int capacity = decoType().in_capa_;
    if (goods_.empty() || capacity == 0) return 1000;
    int lowest = capacity;
    for (const auto& [g, e] : goods_) lowest = std::min(lowest, e.stored_ + e.promised_);
    return lowest * 1000 / capacity;
}

uint16_t RnDeco::goodsNeed(DaxGameTime /*t*/, int16_t goods, bool with_promised) const {
    if (isDestroyed()) return 0;
    auto it = goods_.find(goods);
    if (it == goods_.end()) return 0;
    const int capacity = decoType().in_capa_;
    const int have = it->second.stored_ + (with_promised ? it->second.promised_ : 0);
    if (have >= capacity) return 0;
    return static_cast<uint16_t>((capacity - have) * 1000 / capacity);
}

void RnDeco::goodsPromised(int16_t goods, int amount) {
    auto it = goods_.find(goods);
    if (it == goods_.end()) DAX_ASSERT(false);
    RnDecoInpInf& inf = it->second;
    inf.promised_ = static_cast<uint16_t>(std::clamp(inf.promised_ + amount, 0, 0xFFFF));
    adjustStorageDemand(inf.near_storage_, goods, amount);
}

void RnDeco::goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount) {
    auto it = goods_.find(goods);
    if (it == goods_.end()) DAX_ASSERT(false);
    RnDecoInpInf& inf = it->second;
    DAX_ASSERT(inf.promised_>=amount);
    inf.promised_ = static_cast<uint16_t>(inf.promised_ - amount);
    inf.stored_ = static_cast<uint16_t>(inf.stored_ + amount);
}

uint16_t RnDeco::serviceNeed(DaxGameTime t, int16_t service, int flag) const {
    if (isDestroyed()) return 0;
    const int16_t required = decoType().service_type_idx_;
    if (required < 0 || required != service) return 0;
    if ((flags_ & kServicePending) != 0 && flag == 0) return 0;
    return static_cast<uint16_t>(1000 - effect_.remainingPermille(t));
}

void RnDeco::serviceDelivered(DaxGameTime t, int16_t service) {
    if (isDestroyed() || service != decoType().service_type_idx_) return;
    activate(t);
}

void RnDeco::setServicePending(int16_t service, bool on) {
    if (service != decoType().service_type_idx_) return;
    if (on)
        flags_ |= kServicePending;
    else
        flags_ &= ~kServicePending;
}

// ---------------------------------------------------------------------------
// Near storages

void RnDeco::setLink(int16_t goods, RnDecoInpInf& entry, const RnObjectID& storage) {
    if (entry.near_storage_ == storage) return;
    // What the linked storage should bring to fill the decoration up.
    const int wanted = decoType().in_capa_ - entry.promised_ - entry.stored_;
    adjustStorageDemand(entry.near_storage_, goods, wanted);
    entry.near_storage_ = storage;
    adjustStorageDemand(entry.near_storage_, goods, -wanted);
}

void RnDeco::searchNearStorages() {
    std::map<int16_t, RnObjectID> found;
    for (const auto& [g, e] : goods_) found[g] = RnObjectID();
    linkNearStorages(found);
    for (auto& [g, e] : goods_) setLink(g, e, found[g]);
}

void RnDeco::release() {
    if (isDestroyed()) return;
    for (auto& [g, e] : goods_) setLink(g, e, RnObjectID());
    grn_game.releaseWalkers(oid_);
    goods_.clear();
    rnSpreadOwnAttr(*this, rnNow(), ownAttr(), 0);
}

// ---------------------------------------------------------------------------
// Checks after loading

bool RnDeco::verifyMaterialNeeds(const RnDecoType& type) {
    if (isDestroyed()) return false;
    const bool changed = checkMaterialNeeds(type, rnNow());
    // A type without material has no supply check left, whatever the save says.
    if (type.build_material_.empty()) flags_ &= ~kBldPending;
    if (!changed) return false;
    if ((flags_ & kBldPending) != 0) grn_game.updateQueue().schedule(t_bld_, oid_);
    return true;
}

void RnDeco::checkGoods(const RnDecoType& type) {
    const RnObjectID& o = oid_;
    for (const RnGoodsAmount& ga : type.goods_) {
        const int16_t g = ga.good_type_idx_;
        auto it = goods_.find(g);
        if (it == goods_.end()) {
            goods_[g] = RnDecoInpInf();
            daxLogMessage(1, 2, "add new goods type %d to deco [%hd:%hd,%d]", g, o.kind_, o.type_idx_, o.bld_idx_);
            continue;
        }
        RnObjectID& link = it->second.near_storage_;
        if (link.isNull() || linkedStorage(link, g)) continue;
        daxLogMessage(1, 2, "near_stor [%hd:%hd,%d] cleared for goods type %d service [%hd:%hd,%d]", link.kind_,
                      link.type_idx_, link.bld_idx_, g, o.kind_, o.type_idx_, o.bld_idx_);
        link = RnObjectID();
    }
    if (goods_.size() > type.goods_.size())
        daxRaiseError("deco [%hd:%hd,%d] has goods which are not allowed with deco type", o.kind_, o.type_idx_,
                      o.bld_idx_);
}

// ---------------------------------------------------------------------------
// Decoration type

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

DaxDialogIfc* RnDeco::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createDecoDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class B>
void decoFields(Io& io, B& b) {
    rnBuildingHeadFields(io, b);
    io.u32(b.flags_);
    io.time(b.t_gds_);
    io.time(b.t_near_);
    io.time(b.t_bld_);
    io.time(b.effect_.first_);
    io.time(b.effect_.second_);
    io.goodsMap(b.goods_, RnSaveKeys::Goods, [](Io& f, auto& e) {
        f.u16(e.stored_);
        f.u16(e.promised_);
        f.oid(e.near_storage_);
    });
    rnMaterialMapFields(io, b.material_in_store_);
}

}  // namespace

void RnDeco::save(RnSaveBuffer& out) const { decoFields(out, *this); }

void RnDeco::load(RnSaveLoader& in, RnLoadContext& ctx) {
    decoFields(in, *this);
    for (auto& e : goods_) ctx.remapStorage(e.second.near_storage_);
}
