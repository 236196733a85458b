// Roads: levels that follow the desirability of the tile, placement by
// dragging, removal and the after-load checks.
#include "rn_bld_road.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "rn.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_placement.h"
#include "rn_file_load.h"


// ---------------------------------------------------------------------------
// Road

const RnRoadType& RnRoad::roadType() const { return grn_game.roadType(oid_.type_idx_); }

const RnRoadLevelDesc& RnRoad::levelDesc() const {
    const RnRoadType& rt = roadType();
    if (cur_level_ >= rt.level_descs_.size())
        daxRaiseError("road [%hd:%hd,%d] is at level %d, its type has %d levels", oid_.kind_, oid_.type_idx_,
                      oid_.bld_idx_, cur_level_, static_cast<int>(rt.level_descs_.size()));
    return rt.level_descs_[cur_level_];
}

void RnRoad::desirabilityChanged(DaxGameTime t) {
    rnNoteFirst(state_bits_, kAttrPending, t_attr_, t);
}

void RnRoad::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) { DAX_ASSERT(false); }

void RnRoad::levelUp(const RnRoadType& rt) {
    DAX_ASSERT(cur_level_+1u < rt.level_descs_.size());
    cur_level_ = static_cast<uint8_t>(cur_level_ + 1);
    grn_map.tile(pos_on_map_).gnd_bmp_idx_ = dax_bitmaps.randomVariant(rt.level_descs_[cur_level_].image_);
    showSpeed(rt);
}

void RnRoad::setLevel(uint8_t level) {
    cur_level_ = level;
    showSpeed(roadType());
}

void RnRoad::showSpeed(const RnRoadType& rt) const {
    grn_map.tile(pos_on_map_).road_speed_ = cur_level_ < rt.level_descs_.size() ? rt.level_descs_[cur_level_].speed_ : 0;
}

DaxGameTime RnRoad::update(DaxGameTime now) {
    if ((state_bits_ & kAttrPending) != 0 && now.value() >= t_attr_.value()) {
        state_bits_ = static_cast<uint8_t>(state_bits_ & ~kAttrPending);
        const RnRoadType& rt = roadType();
        int old_attr = levelDesc().own_attr_;
        int d = grn_map.tile(pos_on_map_).desirability_;
        while (cur_level_ > 0 && d < rt.level_descs_[cur_level_].needed_attr_) {
            DAX_ASSERT(cur_level_>0);
            cur_level_ = static_cast<uint8_t>(cur_level_ - 1);
            grn_map.tile(pos_on_map_).gnd_bmp_idx_ = dax_bitmaps.randomVariant(rt.level_descs_[cur_level_].image_);
        }
        while (cur_level_ + 1u < rt.level_descs_.size() && d >= rt.level_descs_[cur_level_ + 1].needed_attr_)
            levelUp(rt);
        showSpeed(rt);
        rnSpreadOwnAttr(*this, now, old_attr, rt.level_descs_[cur_level_].own_attr_);
    }
    if ((state_bits_ & kAttrPending) != 0 && t_attr_.value() > now.value()) return t_attr_;
    return kRnNoWakeTime;
}

float RnRoad::speedFactor() const { return static_cast<float>(levelDesc().speed_) / 100.0f; }

void RnRoad::verifyOnMap() const {
    int x = pos_on_map_.x;
    int y = pos_on_map_.y;
    if (!grn_map.isOnMap(x, y)) daxRaiseError("not on map: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
    const RnMapTile& tile = grn_map.tile(x, y);
    if (tile.oid_ != oid_) {
        const RnObjectID& at = tile.oid_;
        daxLogMessage(0, 0, "road [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, x, y);
        if (at.kind_ == RnIdBldRoad && at.type_idx_ >= 0 &&
            static_cast<size_t>(at.type_idx_) < grn_game.roadTypes().size()) {
            const RnGenericBuilding* other = grn_game.roadType(at.type_idx_).findInstance(at.bld_idx_);
            if (other)
                daxLogMessage(0, 0, "road [%hd:%hd,%d] at pos %d,%d has tile.oid [%hd:%hd,%d]", other->oid_.kind_,
                              other->oid_.type_idx_, other->oid_.bld_idx_, other->pos_on_map_.x,
                              other->pos_on_map_.y, at.kind_, at.type_idx_, at.bld_idx_);
        }
        daxRaiseError("road [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                      oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, x, y);
    }
    if ((tile.flags_ & kRnTileRoadsAllowed) == 0)
        daxRaiseError("can build road property violated: [%hd:%hd,%d]", oid_.kind_, oid_.type_idx_, oid_.bld_idx_);
}

bool RnRoad::checkOid(RnRoadType& rt) {
    int x = pos_on_map_.x;
    int y = pos_on_map_.y;
    RnObjectID at;
    if (grn_map.isOnMap(x, y)) {
        at = grn_map.tile(x, y).oid_;
        if (at == oid_) {
            // The tiles of a save carry no speeds.
            showSpeed(rt);
            return false;
        }
    }
    daxLogMessage(0, 0, "road [%hd:%hd,%d] has inconsistent oid [%hd:%hd,%d] at pos %d,%d", oid_.kind_,
                  oid_.type_idx_, oid_.bld_idx_, at.kind_, at.type_idx_, at.bld_idx_, x, y);
    // Its desirability is taken back only where it could have been spread.
    if (grn_map.isOnMap(x, y) && cur_level_ < rt.level_descs_.size())
        rnSpreadOwnAttr(*this, rnNow(), rt.level_descs_[cur_level_].own_attr_, 0);
    // A saved game brings the road's wake-up with it; left in the queue it
    // would name a freed slot when it comes due.
    grn_game.updateQueue().remove(oid_);
    is_active_ = false;
    rt.instances_.remove(oid_.bld_idx_);
    return true;
}

// ---------------------------------------------------------------------------
// Road type

RnGenericBuilding* RnRoadType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnRoadType::createBuilding(int x, int y) {
    // A new road starts two levels up; a type with fewer than three levels
    // cannot hold one, and an anchor off the map has no tile to mark. Both
    // are refused before anything changes.
    if (level_descs_.size() < 3)
        daxRaiseError("road type id=%d has %d levels, a road needs at least 3", type_id_,
                      static_cast<int>(level_descs_.size()));
    if (!grn_map.isOnMap(x, y)) daxRaiseError("road position %d,%d is not on the map", x, y);
    RnRoad& road = rnAddInstance(instances_, *this, RnRoad(x, y));
    road.levelUp(*this);
    road.levelUp(*this);
    RnMapTile& tile0 = grn_map.tile(x, y);
    DAX_ASSERT(tile0.isTileFree());
    tile0.gnd_bmp_idx_ = dax_bitmaps.randomVariant(level_descs_[road.cur_level_].image_);
    tile0.oid_ = road.oid_;
    tile0.second_bmp_idx_ = -2;
    tile0.flags_ = static_cast<uint16_t>(tile0.flags_ | kRnTileWalkable);
    road.showSpeed(*this);
    grn_map.objectChanged(x, y);
    DaxGameTime now = rnNow();
    road.desirabilityChanged(now);
    rnSpreadOwnAttr(road, now, 0, level_descs_[road.cur_level_].own_attr_);
    return road.oid_;
}

void RnRoadType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnRoad& road = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(road.pos_on_map_ == DaxMapPositionI(tx,ty));
    rnSpreadOwnAttr(road, rnNow(), road.levelDesc().own_attr_, 0);
    road.is_active_ = false;
    instances_.remove(idx);
    grn_map.tile(tx, ty).resetToTerrain();
    grn_map.objectChanged(tx, ty);
}

std::string RnRoadType::phantomImage() const {
    if (level_descs_.empty()) daxRaiseError("no phantom image available for road type id=%d", type_id_);
    return level_descs_[0].image_;
}

bool RnRoadType::blockedForRoad(int x, int y) {
    if (!grn_map.isOnMap(x, y)) return true;
    const RnMapTile& tile = grn_map.tile(x, y);
    if (tile.oid_.kind_ != RnIdNone && tile.oid_.kind_ != RnIdBldRoad) return true;
    return (tile.flags_ & kRnTileRoadsAllowed) == 0;
}

bool RnRoadType::holdsRoad(int x, int y) {
    const RnObjectID& oid = grn_map.tile(x, y).oid_;
    return oid.kind_ == RnIdBldRoad && oid.type_idx_ >= 0;
}

int RnRoadType::addPhantom(RnPhantomList& list, int x1, int y1, int x2, int y2) {
    int bld_id = list.kind();
    DAX_ASSERT(bld_id == RnIdBldRoad);
    DaxBitmapIndex img = dax_bitmaps.findVariant(phantomImage(), 0);
    if (blockedForRoad(x1, y1)) return -1;
    if (!holdsRoad(x1, y1)) list.add(img, cost_, x1, y1);
    int x = x1;
    int y = y1;
    int sx = x2 < x1 ? -1 : 1;
    int sy = y2 < y1 ? -1 : 1;
    for (;;) {
        while (x != x2 && !blockedForRoad(x + sx, y)) {
            x += sx;
            if (!holdsRoad(x, y)) list.add(img, cost_, x, y);
        }
        if (y == y2 || blockedForRoad(x, y + sy)) break;
        y += sy;
        if (!holdsRoad(x, y)) list.add(img, cost_, x, y);
    }
    return (x == x2 && y == y2) ? list.totalCost() : -1;
}

int RnRoadType::maxUsedLevel() const {
    int level = 0;
    for (const RnRoad& road : instances_) level = std::max(level, static_cast<int>(road.cur_level_));
    return level;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class R>
void roadFields(Io& io, R& r) {
    rnBuildingHeadFields(io, r);
    io.u8(r.cur_level_);
    io.u8(r.state_bits_);
    io.u16(r.reserved_);
    io.time(r.t_attr_);
}

}  // namespace

void RnRoad::save(RnSaveBuffer& out) const { roadFields(out, *this); }

void RnRoad::load(RnSaveLoader& in, RnLoadContext& /*ctx*/) { roadFields(in, *this); }
