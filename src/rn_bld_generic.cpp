// The object model of roads and buildings: default slots, the building
// material arithmetic and the shared steps of placing and previewing.
#include "rn_bld_generic.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "rn.h"
#include "rn_bld_bldr.h"
#include "rn_bld_hous.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_placement.h"

namespace {

// Game hours (as a float) from start to t; 0 when t is not after start.
float hoursBetween(DaxGameTime start, DaxGameTime t) {
    if (t.value() <= start.value()) return 0.0f;
    return static_cast<float>(t.value() - start.value()) / static_cast<float>(DaxGameTime::kPerHour);
}

// t plus n units of hours each.
DaxGameTime plusHours(DaxGameTime t, uint32_t n, uint32_t hours) {
    DaxGameTime r = t;
    r.addHours(static_cast<float>(n) * static_cast<float>(hours));
    return r;
}

void refuseZeroHours(uint16_t hours) {
    if (hours == 0) daxRaiseError("building material must last more than 0 hours per unit");
}

// The road flood that links goods entries to the first storage keeping
// them; it is done once every entry has a link.
class NearStorageFlood : public RnFloodBase {
public:
    explicit NearStorageFlood(std::map<int16_t, RnObjectID>& goods) : RnFloodBase(0), goods_(goods) {}
    void evaluate(const RnObjectID& bld, uint16_t /*dist*/, float /*cost*/, const RnMapStep& /*step*/,
                  RnFloodPosInfo& /*out*/) override {
        if (bld.kind_ != RnIdBldStor) return;
        const RnStor& stor = grn_game.storByOid(bld);
        if (stor.isDestroyed()) return;
        for (auto& entry : goods_) {
            if (entry.second.bld_idx_ != -1 || !stor.storesGoods(entry.first)) continue;
            entry.second = bld;
            ++linked_;
        }
    }
    bool satisfied() const override { return linked_ == goods_.size(); }

    std::map<int16_t, RnObjectID>& goods_;
    size_t linked_ = 0;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override { return type.kind() == RnIdBldStor; }
};

// The road flood that notes the highest level of each house type it meets.
class HouseLevelFlood : public RnFloodBase {
public:
    HouseLevelFlood(std::vector<int16_t>& levels, uint16_t since_house_limit)
        : RnFloodBase(since_house_limit), levels_(levels) {}
    void evaluate(const RnObjectID& bld, uint16_t /*dist*/, float /*cost*/, const RnMapStep& /*step*/,
                  RnFloodPosInfo& /*out*/) override {
        if (bld.kind_ != RnIdBldHous) return;
        int16_t level = static_cast<int16_t>(grn_game.housByOid(bld).curLevel());
        int16_t& highest = levels_[static_cast<size_t>(bld.type_idx_)];
        highest = std::max(highest, level);
    }

    std::vector<int16_t>& levels_;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override { return type.kind() == RnIdBldHous; }
};

// The road tiles beside a building's footprint, where its floods start.
std::vector<DaxMapPositionI> roadsAround(const RnGenericBuilding& b) {
    const RnGenericBuildingType& type = b.buildingType();
    std::vector<DaxMapPositionI> starts;
    grn_map.adjacentRoads(starts, b.pos_on_map_.x, b.pos_on_map_.y, type.width_, type.height_);
    return starts;
}

}  // namespace

RnBuildingDialogFactoryIfc* grn_building_dialogs = nullptr;

// ---------------------------------------------------------------------------
// Root object

void RnGenericObject::save(RnSaveBuffer& /*out*/) const {
    daxRaiseError("cannot save object [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
}

void RnGenericObject::load(RnSaveLoader& /*in*/, RnLoadContext& /*ctx*/) {
    daxRaiseError("cannot load object [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
}

// ---------------------------------------------------------------------------
// Building material

float RnMaterialInf::amountAt(DaxGameTime t) const {
    if (t.value() <= time_level1_.value()) return static_cast<float>(amount_);
    if (t.value() < time_level0_.value()) {
        double left = static_cast<double>(time_level0_.value() - t.value());
        double span = static_cast<double>(time_level0_.value() - time_level1_.value());
        return static_cast<float>(left * amount_ / span);
    }
    return 0.0f;
}

void RnMaterialInf::nextEvent(DaxGameTime& limit, DaxGameTime now) const {
    if (time_level1_.value() != 0 && now.value() < time_level1_.value() && time_level1_.value() < limit.value())
        limit = time_level1_;
    if (time_level0_.value() != 0 && now.value() <= time_level0_.value() && time_level0_.value() < limit.value())
        limit = time_level0_;
}

void RnMaterialInf::add(DaxGameTime now, uint16_t n, uint16_t hours) {
    DaxGameTime xtime1 = now;
    DAX_ASSERT(xtime1 >= time_level1_);
    refuseZeroHours(hours);
    uint32_t consumed = static_cast<uint32_t>(hoursBetween(time_level1_, now) / static_cast<float>(hours));
    if (consumed >= amount_) {
        // Used up: a fresh stock starts now.
        amount_ = n;
        time_level1_ = now;
        time_level0_ = plusHours(now, n, hours);
        return;
    }
    amount_ = static_cast<uint16_t>(amount_ - consumed);
    time_level1_ = plusHours(time_level1_, consumed, hours);
    DAX_ASSERT(time_level1_<time_level0_);
    amount_ = static_cast<uint16_t>(std::min<uint32_t>(0xFFFFu, static_cast<uint32_t>(amount_) + n));
    time_level0_ = plusHours(time_level0_, n, hours);
}

bool RnMaterialInf::relevel(DaxGameTime now, uint16_t new_max_amount, uint16_t new_hours) {
    DaxGameTime xtime1 = now;
    DAX_ASSERT(xtime1 >= time_level1_);
    DAX_ASSERT(new_max_amount>0);
    refuseZeroHours(new_hours);
    if (amount_ == 0) return false;
    uint32_t whole_hours = (time_level0_.value() - time_level1_.value()) / DaxGameTime::kPerHour;
    uint32_t old_hours = whole_hours / amount_;
    if (old_hours == new_hours) return false;
    // A stock whose units lasted less than an hour each is taken as worn
    // out: the division below would be by zero.
    uint32_t consumed = amount_;
    if (old_hours > 0)
        consumed = static_cast<uint32_t>(hoursBetween(time_level1_, now) / static_cast<float>(old_hours));
    if (consumed >= amount_) {
        // Nothing is left: the stock ends now at 0.
        amount_ = 0;
        time_level1_ = now;
        time_level0_ = now;
        return true;
    }
    if (consumed > 0) {
        amount_ = static_cast<uint16_t>(amount_ - consumed);
        // The consumed units wore off at their old rate; advancing by the new
        // rate could move the full-stock time past now (or past the run-out
        // time) and break every later delivery.
        time_level1_ = plusHours(time_level1_, consumed, old_hours);
        DAX_ASSERT(time_level1_<time_level0_);
    }
    amount_ = std::min(amount_, new_max_amount);
    time_level0_ = plusHours(time_level1_, amount_, new_hours);
    return true;
}

// ---------------------------------------------------------------------------
// Shared helpers

DaxGameTime rnNow() { return dax_gameclock.gameTime(); }

int16_t rnTypeIndex(const RnGenericBuildingType& type) {
    return grn_game.typeIdxOfKey(type.kind(), static_cast<unsigned>(type.type_id_));
}

void rnSpreadOwnAttr(const RnGenericBuilding& b, DaxGameTime t, int old_value, int new_value) {
    const RnGenericBuildingType& type = b.buildingType();
    grn_game.spreadDesirability(t, old_value, new_value, b.pos_on_map_.x, b.pos_on_map_.y, type.width_,
                                type.height_);
}

void rnPlaceOnMap(const RnGenericBuilding& b, const std::string& floor_image, const std::string& image) {
    const RnGenericBuildingType& type = b.buildingType();
    grn_map.placeBuilding(b.oid_, b.pos_on_map_.x, b.pos_on_map_.y, type.width_, type.height_,
                          floor_image.c_str(), image.c_str());
}

void rnCheckFootprintOnMap(const RnGenericBuildingType& type, int x, int y) {
    if (!grn_map.isAreaOnMap(x, y, type.width_, type.height_))
        daxRaiseError("building position %d,%d is not on the map", x, y);
}

RnStor* rnLinkedStorage(const RnObjectID& storage, int16_t goods) {
    if (storage.kind_ != RnIdBldStor) return nullptr;
    RnGenericBuilding* b = grn_game.liveBuilding(storage);
    if (!b) return nullptr;
    RnStor* stor = static_cast<RnStor*>(b);
    return stor->storesGoods(goods) ? stor : nullptr;
}

void rnPassDemand(const RnObjectID& storage, int16_t goods, int delta) {
    if (delta == 0) return;
    if (RnStor* stor = rnLinkedStorage(storage, goods)) stor->adjustDemand(goods, delta);
}

void rnPostBuildingMessage(int number, const RnGenericBuilding& b) {
    dax_msgmgr.post(number, rnMsg(number), b.pos_on_map_);
}

void rnShowRuinImage(const RnGenericBuilding& b) {
    const RnGenericBuildingType& type = b.buildingType();
    if (type.ruin_image_.empty()) return;
    grn_map.setBuildingImages(b.oid_, b.pos_on_map_.x, b.pos_on_map_.y, type.width_, type.height_, nullptr,
                              type.ruin_image_.c_str());
}

void rnAppendf(std::string& buf, const char* fmt, ...) {
    char tmp[kDaxMsgBufSize];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(tmp, sizeof(tmp), fmt, args);
    va_end(args);
    if (n > 0) buf.append(tmp, std::min<size_t>(static_cast<size_t>(n), sizeof(tmp) - 1));
}

int rnNeedScore(double missing, double offered, double full) {
    if (full <= 0.0) return 0;
    int score = static_cast<int>((missing * 0.1 + offered * 0.9) * 1000.0 / full);
    return score < 700 ? score / 2 : score;
}

void rnLogNewMaterial(const RnObjectID& oid, int16_t goods) {
    daxLogMessage(1, 2, "prod [%hd:%hd,%d] needs new material %d,%s", oid.kind_, oid.type_idx_, oid.bld_idx_, goods,
                  grn_game.goodsType(goods).name_.c_str());
}

void rnLogChangedMaterial(const RnObjectID& oid, int16_t goods, const std::string& type_name) {
    daxLogMessage(1, 2, "prod [%hd:%hd,%d] has changed material %s properties with prod type %s", oid.kind_,
                  oid.type_idx_, oid.bld_idx_, grn_game.goodsType(goods).name_.c_str(), type_name.c_str());
}

void rnLogDroppedMaterial(const RnObjectID& oid, int16_t goods, const std::string& type_name) {
    daxLogMessage(1, 2, "prod [%hd:%hd,%d] has material %s which is not required with prod type %s", oid.kind_,
                  oid.type_idx_, oid.bld_idx_, grn_game.goodsType(goods).name_.c_str(), type_name.c_str());
}

void rnShowRuin(const RnGenericBuilding& b) {
    rnShowRuinImage(b);
    rnPostBuildingMessage(3002, b);
}

bool rnInfoTextHead(const RnGenericBuilding& b, std::string& buf, bool sep) {
    if (sep) buf += '\n';
    buf += b.buildingType().name_;
    if (!b.isDestroyed()) return false;
    buf += "\nbuilding is destroyed!";
    return true;
}

// ---------------------------------------------------------------------------
// Generic building

RnGenericBuilding::RnGenericBuilding() : pos_on_map_(DaxMapPositionI::none()) {}

RnGenericBuilding::RnGenericBuilding(int16_t kind, int x, int y) : pos_on_map_(x, y) {
    oid_ = RnObjectID(kind, -1, -1);
    is_active_ = true;
}

void RnGenericBuilding::appendSeparator(std::string& buf, bool sep) {
    if (sep) buf += '\n';
}

DaxDialogIfc* RnGenericBuilding::createDialog() const {
    std::string buf;
    infoText(buf, false);
    debugText(buf, !buf.empty());
    if (buf.empty()) return nullptr;
    if (!grn_building_dialogs) return nullptr;
    return grn_building_dialogs->createTextDialog(buildingType().name_, buf);
}

void RnGenericBuilding::verifyOnMap() const {
    const RnGenericBuildingType& type = buildingType();
    int x = pos_on_map_.x;
    int y = pos_on_map_.y;
    if (!grn_map.isAreaOnMap(x, y, type.width_, type.height_))
        daxRaiseError("not all on map: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
    if (!grn_map.canBuildArea(x, y, type.width_, type.height_, true, 0))
        daxRaiseError("can't build here: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
    // Every tile of the footprint, not only the anchor: the game redraws
    // and clears a building over its whole footprint.
    for (int i = x - type.width_ + 1; i <= x; ++i) {
        for (int j = y - type.height_ + 1; j <= y; ++j) {
            const RnObjectID& at = grn_map.tile(i, j).oid_;
            if (at != oid_)
                daxRaiseError("bldg [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                              oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, i, j);
        }
    }
}

void RnGenericBuilding::materialDelivered(DaxGameTime /*t*/, const RnObjectID& /*builder*/) { DAX_ASSERT(false); }
void RnGenericBuilding::marketDelivered(DaxGameTime /*t*/, const RnObjectID& /*market*/) { DAX_ASSERT(false); }
void RnGenericBuilding::goodsDelivered(DaxGameTime /*t*/, int16_t /*goods*/, int /*amount*/) { DAX_ASSERT(false); }
void RnGenericBuilding::goodsPromised(int16_t /*goods*/, int /*amount*/) { DAX_ASSERT(false); }
void RnGenericBuilding::serviceDelivered(DaxGameTime /*t*/, int16_t /*service*/) { DAX_ASSERT(false); }
void RnGenericBuilding::setServicePending(int16_t /*service*/, bool /*on*/) { DAX_ASSERT(false); }

const RnGenericBuildingType& RnGenericBuilding::buildingType() const { return grn_game.buildingType(oid_.typeId()); }

DaxMapPositionF RnGenericBuilding::centreOnMap() const {
    const RnGenericBuildingType& type = buildingType();
    return DaxMapPositionF(pos_on_map_.x - (type.width_ - 1) / 2.0f, pos_on_map_.y - (type.height_ - 1) / 2.0f);
}

DaxMapPositionI RnGenericBuilding::centreTile() const {
    DaxMapPositionF c = centreOnMap();
    return DaxMapPositionI(static_cast<int>(c.x), static_cast<int>(c.y));
}

DaxMapPositionI RnGenericBuilding::stepPosition(const DaxMapPositionI& pos, DaxDirection dir) {
    return pos + daxDirectionOffset(dir);
}

// ---------------------------------------------------------------------------
// Simple building: the material slots

const RnSimpleBuildingType& RnSimpleBuilding::simpleType() const {
    return static_cast<const RnSimpleBuildingType&>(buildingType());
}

float RnSimpleBuilding::lowestRatio(int16_t& goods) const {
    return rnLowestMaterialRatio(material_in_store_, simpleType().build_material_, rnNow(), goods);
}

float rnLowestMaterialRatio(const std::map<int16_t, RnMaterialInf>& store, const std::vector<RnMaterialEntry>& entries,
                            DaxGameTime now, int16_t& goods) {
    float lowest = 1.0f;
    goods = 0;
    for (const RnMaterialEntry& entry : entries) {
        auto it = store.find(entry.good_type_idx_);
        DAX_ASSERT(it!=store.end());
        if (entry.amount_ == 0) continue;  // nothing is needed of it
        float ratio = it->second.amountAt(now) / static_cast<float>(entry.amount_);
        if (ratio < lowest) {
            lowest = ratio;
            goods = entry.good_type_idx_;
        }
    }
    return lowest;
}

float RnSimpleBuilding::supplyRatio() const {
    if (isDestroyed() || material_in_store_.empty()) return 0.0f;
    int16_t goods = 0;
    return lowestRatio(goods);
}

int16_t RnSimpleBuilding::shortMaterial() const {
    if (isDestroyed() || material_in_store_.empty()) return 0;
    int16_t goods = 0;
    float lowest = lowestRatio(goods);
    return lowest < 0.2f ? goods : static_cast<int16_t>(0);
}

uint16_t RnSimpleBuilding::materialNeed(DaxGameTime t, const RnObjectID& builder) const {
    if (material_in_store_.empty() || isDestroyed()) return 0;
    const RnBldr* supplier = builder.bld_idx_ == -1 ? nullptr : &grn_game.bldrByOid(builder);
    const RnSimpleBuildingType& typ = simpleType();
    int sum = 0;
    int count = 0;
    for (const RnMaterialEntry& entry : typ.build_material_) {
        auto it = material_in_store_.find(entry.good_type_idx_);
        DAX_ASSERT(it!=material_in_store_.end());
        float have = it->second.amountAt(t);
        if (have >= static_cast<float>(entry.amount_)) continue;
        uint16_t missing = static_cast<uint16_t>(static_cast<float>(entry.amount_) - have);
        uint16_t offered = supplier ? supplier->available(entry.good_type_idx_, missing) : missing;
        if (offered == 0) continue;
        sum += rnNeedScore(missing, offered, entry.amount_);
        ++count;
    }
    return count == 0 ? 0 : static_cast<uint16_t>(sum / count);
}

void RnSimpleBuilding::materialDelivered(DaxGameTime t, const RnObjectID& builder) {
    if (isDestroyed()) return;
    DAX_ASSERT(material_in_store_.size() > 0);
    RnBldr& bldr = grn_game.bldrByOid(builder);
    const RnSimpleBuildingType& typ = simpleType();
    for (auto itm = typ.build_material_.begin(); itm != typ.build_material_.end(); ++itm) {
        auto it = material_in_store_.find(itm->good_type_idx_);
        DAX_ASSERT(it!=material_in_store_.end());
        float have = it->second.amountAt(t);
        if (static_cast<float>(itm->amount_) <= have) continue;
        uint16_t n = bldr.takeGoods(itm->good_type_idx_, static_cast<uint16_t>(itm->amount_ - have));
        if (n == 0) continue;
        DAX_ASSERT(itm->good_type_idx_==it->first);
        it->second.add(t, n, itm->hours_);
    }
}

void RnSimpleBuilding::listMaterials(RnGoodsSet& goods) const {
    for (const auto& m : material_in_store_) goods.insert(m.first);
}

DaxGameTime RnSimpleBuilding::earliestRunOut() const {
    if (material_in_store_.empty()) return DaxGameTime(0);
    DaxGameTime earliest = material_in_store_.begin()->second.time_level0_;
    for (const auto& m : material_in_store_)
        if (m.second.time_level0_.value() < earliest.value()) earliest = m.second.time_level0_;
    return earliest;
}

void RnSimpleBuilding::startMaterials(const RnSimpleBuildingType& type, DaxGameTime now) {
    for (const RnMaterialEntry& entry : type.build_material_) {
        RnMaterialInf rec;
        rec.add(now, entry.amount_, entry.hours_);
        material_in_store_[entry.good_type_idx_] = rec;
    }
}

bool RnSimpleBuilding::materialRanOut(DaxGameTime now, const uint32_t& flags, uint32_t bld_bit, DaxGameTime& t_bld) {
    const RnSimpleBuildingType& typ = simpleType();
    if (!typ.build_material_.empty() && material_in_store_.empty()) {
        startMaterials(typ, now);
        for (const auto& m : material_in_store_) scheduleSupplyCheck(m.second.time_level0_);
        const bool upd_builder_pending_ = (flags & bld_bit) != 0;
        DAX_ASSERT(upd_builder_pending_);
    }
    if ((flags & bld_bit) == 0 || now.value() < t_bld.value()) return false;
    DAX_ASSERT(typ.build_material_.size()>0);
    DAX_ASSERT(material_in_store_.size()>0);
    const DaxGameTime run_out = earliestRunOut();
    if (now.value() >= run_out.value()) return true;
    t_bld = run_out;
    return false;
}

bool RnSimpleBuilding::checkMaterialNeeds(const RnSimpleBuildingType& type, DaxGameTime now) {
    bool changed = false;
    std::set<int16_t> noted;
    for (const auto& m : material_in_store_) noted.insert(m.first);
    for (const RnMaterialEntry& entry : type.build_material_) {
        auto it = material_in_store_.find(entry.good_type_idx_);
        if (it == material_in_store_.end()) {
            RnMaterialInf rec;
            rec.add(now, entry.amount_, entry.hours_);
            material_in_store_[entry.good_type_idx_] = rec;
            scheduleSupplyCheck(rec.time_level0_);
            changed = true;
            rnLogNewMaterial(oid_, entry.good_type_idx_);
            continue;
        }
        noted.erase(entry.good_type_idx_);
        if (it->second.relevel(now, entry.amount_, entry.hours_)) {
            changed = true;
            scheduleSupplyCheck(it->second.time_level0_);
            rnLogChangedMaterial(oid_, entry.good_type_idx_, type.name_);
        }
    }
    for (int16_t g : noted) {
        material_in_store_.erase(g);
        changed = true;
        rnLogDroppedMaterial(oid_, g, type.name_);
    }
    return changed;
}

int RnSimpleBuilding::linkNearStorages(std::map<int16_t, RnObjectID>& goods) const {
    DAX_ASSERT(oid_.id() != RnIdBldRoad);
    DAX_ASSERT(oid_.id() != RnIdBldHous);
    DAX_ASSERT(oid_.id() != RnIdBldStor);
    const std::vector<DaxMapPositionI> starts = roadsAround(*this);
    const uint16_t range = static_cast<uint16_t>(std::max<int16_t>(0, grn_game.prod_walker_range_));
    if (starts.empty() || goods.empty() || range == 0) return 0;
    NearStorageFlood flood(goods);
    RnFloodTarget none;
    flood.floodFromStarts(none, oid_, starts, range);
    return static_cast<int>(flood.linked_);
}

void RnSimpleBuilding::floodHouseLevels(std::vector<int16_t>& levels, uint16_t max_dist,
                                        uint16_t since_house_limit) const {
    DAX_ASSERT(oid_.id() != RnIdBldRoad);
    DAX_ASSERT(oid_.id() != RnIdBldHous);
    DAX_ASSERT(oid_.id() != RnIdBldStor);
    levels.assign(grn_game.housTypes().size(), 0);
    const std::vector<DaxMapPositionI> starts = roadsAround(*this);
    if (starts.empty() || max_dist == 0) return;
    HouseLevelFlood flood(levels, since_house_limit);
    RnFloodTarget none;
    flood.floodFromStarts(none, oid_, starts, max_dist);
}

// ---------------------------------------------------------------------------
// Building types

int RnGenericBuildingType::addPhantomArea(RnPhantomList& list, int x, int y, uint16_t resource_mask) {
    bool ok = grn_map.canBuildArea(x, y, width_, height_, false, resource_mask);
    DaxBitmapIndex img = dax_bitmaps.findVariant(phantomImage(), 0);
    list.add(img, cost_, x, y);
    return ok ? list.totalCost() : -1;
}

int RnGenericBuildingType::addPhantom(RnPhantomList& list, int x, int y, int /*x2*/, int /*y2*/) {
    return addPhantomArea(list, x, y, 0);
}

std::string RnSimpleBuildingType::phantomImage() const { return floor_image_.empty() ? image_ : floor_image_; }
