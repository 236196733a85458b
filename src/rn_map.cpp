// The tile map: creation, walker lists, building marks and footprint tests.
#include "rn_map.h"

#include <memory>
#include <type_traits>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_platform.h"
#include "rn_game.h"
#include "rn_wlk_generic.h"

RnMap grn_map;

namespace {

const char* const kSrc = "src\\rn_map";

// A random variant of a named image, -2 for no name or no image.
int32_t randomImage(const char* name) {
    if (!name || !*name) return kDaxNoBitmap;
    int n = dax_bitmaps.randomVariantNumber(name);
    if (n < 0) return kDaxNoBitmap;
    return dax_bitmaps.findVariant(name, n);
}

constexpr uint16_t kTerrainTileBits = kRnTileWalkable | kRnTileRoadsAllowed | kRnTileBuildingsAllowed;

}  // namespace

void RnMapTile::addWalker(const RnObjectID& walker) { addWalker(grn_game.walkerByOid(walker)); }

void RnMapTile::addWalker(RnWalkerGeneric& w) {
    w.next_walker_ = walker_head_;
    walker_head_ = w.oid_;
}

bool RnMapTile::removeWalker(const RnObjectID& walker) {
    // Only a walker found on the list is looked up by its id.
    for (RnObjectID cur = walker_head_; cur.bld_idx_ != -1; cur = grn_game.walkerByOid(cur).next_walker_)
        if (cur == walker) return removeWalker(grn_game.walkerByOid(walker));
    return false;
}

bool RnMapTile::removeWalker(RnWalkerGeneric& w) {
    if (walker_head_ == w.oid_) {
        walker_head_ = w.next_walker_;
        w.next_walker_.setNull();
        return true;
    }
    RnObjectID cur = walker_head_;
    while (cur.bld_idx_ != -1) {
        RnWalkerGeneric& c = grn_game.walkerByOid(cur);
        if (c.next_walker_ == w.oid_) {
            c.next_walker_ = w.next_walker_;
            w.next_walker_.setNull();
            return true;
        }
        cur = c.next_walker_;
    }
    return false;
}

void RnMapTile::resetToTerrain() {
    oid_.setNull();
    road_speed_ = 0;
    flags_ = static_cast<uint16_t>(flags_ & ~(kTerrainTileBits | kRnTileProdImage));
    // A tile without a known terrain (never given one, or a bad index from a
    // file) gets the values of a fresh tile instead of reading past the table.
    if (terrain_idx_ < 0 || static_cast<size_t>(terrain_idx_) >= grn_game.terrains().size()) {
        gnd_bmp_idx_ = kDaxNoBitmap;
        second_bmp_idx_ = kDaxNoBitmap;
        flags_ |= kTerrainTileBits;
        return;
    }
    const RnTerrain& t = grn_game.terrain(terrain_idx_);
    gnd_bmp_idx_ = dax_bitmaps.randomVariant(t.floor_name_);
    second_bmp_idx_ = t.image_name_.empty() ? kDaxNoBitmap : dax_bitmaps.randomVariant(t.image_name_);
    flags_ |= static_cast<uint16_t>(t.flags_) & kTerrainTileBits;
}

void RnMap::createEmpty(unsigned n) {
    // The tile count in 64 bits (it cannot overflow there for any unsigned
    // side), compared with the tiles the byte limit allows: n * n * 32 in
    // 32 bits wraps for sides a file or script can ask for.
    uint64_t tiles = uint64_t(n) * uint64_t(n);
    if (tiles > kMaxTileBytes / sizeof(RnMapTile)) daxRaiseError("map too large: %u", n);
    allocate(n);
    std::uninitialized_fill_n(tiles_, static_cast<size_t>(tiles), RnMapTile());
    daxLogMessage(2, 1, "created new empty map of size %d", static_cast<int>(n));
}

static_assert(std::is_trivially_destructible<RnMapTile>::value, "the map frees its tiles without destroying them");

RnMap::~RnMap() { daxFreeLarge(tiles_); }

RnMap& RnMap::operator=(const RnMap& other) {
    if (this == &other) return *this;
    allocate(other.side_);
    std::uninitialized_copy_n(other.tiles_, static_cast<size_t>(side_) * side_, tiles_);
    road_graph_ = other.road_graph_;
    return *this;
}

void RnMap::allocate(unsigned n) {
    clear();
    if (n == 0) return;
    void* block = daxAllocLarge(static_cast<size_t>(n) * n * sizeof(RnMapTile));
    if (!block) daxRaiseError("not enough memory for a map of size %u", n);
    tiles_ = static_cast<RnMapTile*>(block);
    side_ = n;
}

void RnMap::clear() {
    // The tiles are plain data: nothing to destroy.
    daxFreeLarge(tiles_);
    tiles_ = nullptr;
    side_ = 0;
    road_graph_.clear();
}

void RnMap::footprintChanged(int x, int y, int16_t w, int16_t h) {
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) objectChanged(i, j);
    }
}

void RnMap::placeBuilding(const RnObjectID& oid, int x, int y, int16_t w, int16_t h, const char* first_image,
                          const char* second_image) {
    DAX_ASSERT_AT(isAreaOnMap(x, y, w, h), kSrc, __LINE__);
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            RnMapTile& tile = RnMap::tile(i, j);
            DAX_ASSERT_AT(tile.isTileFree(), kSrc, __LINE__);
            tile.oid_ = oid;
            tile.second_bmp_idx_ = kDaxNoBitmap;
            tile.flags_ = static_cast<uint16_t>(tile.flags_ & ~kRnTileWalkable);
        }
    }
    RnMapTile& anchor = tile(x, y);
    anchor.gnd_bmp_idx_ = randomImage(first_image);
    anchor.second_bmp_idx_ = randomImage(second_image);
    footprintChanged(x, y, w, h);
}

void RnMap::setBuildingImages(const RnObjectID& oid, int x, int y, int16_t w, int16_t h, const char* first_image,
                              const char* second_image) {
    DAX_ASSERT_AT(isAreaOnMap(x, y, w, h), kSrc, __LINE__);
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            const RnMapTile& tile = RnMap::tile(i, j);
            DAX_ASSERT_AT(!tile.isTileFree(), kSrc, __LINE__);
            DAX_ASSERT_AT(tile.oid_ == oid, kSrc, __LINE__);
        }
    }
    RnMapTile& anchor = tile(x, y);
    if (first_image) anchor.gnd_bmp_idx_ = randomImage(first_image);
    if (second_image) anchor.second_bmp_idx_ = randomImage(second_image);
}

void RnMap::resetArea(int x, int y, int16_t w, int16_t h) {
    DAX_ASSERT_AT(isAreaOnMap(x, y, w, h), kSrc, __LINE__);
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) tile(i, j).resetToTerrain();
    }
    footprintChanged(x, y, w, h);
}

bool RnMap::isAreaOnMap(int x, int y, int16_t w, int16_t h) const {
    if (w <= 0 || h <= 0) return false;
    return isOnMap(x, y) && isOnMap(x - w + 1, y - h + 1);
}

bool RnMap::isAreaFree(int x, int y, int16_t w, int16_t h) const {
    if (!isAreaOnMap(x, y, w, h)) return false;
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            if (!tile(i, j).isTileFree()) return false;
        }
    }
    return true;
}

uint16_t RnMap::resourceMaskAt(int x, int y) const {
    int16_t t = tile(x, y).terrain_idx_;
    const auto& terrains = grn_game.terrains();
    if (t < 0 || static_cast<size_t>(t) >= terrains.size()) return 0;
    return static_cast<uint16_t>(terrains[t].resource_mask_);
}

bool RnMap::canBuildArea(int x, int y, int16_t w, int16_t h, bool allow_occupied, uint16_t resource_mask) const {
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            if (!isOnMap(i, j)) return false;
            const RnMapTile& tile = RnMap::tile(i, j);
            if (!allow_occupied && !tile.isTileFree()) return false;
            if (resource_mask != 0 && (resourceMaskAt(i, j) & resource_mask) != 0) continue;
            if ((tile.flags_ & kRnTileBuildingsAllowed) == 0) return false;
        }
    }
    return true;
}

bool RnMap::canBuildPartlyOnResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h,
                                     bool allow_occupied) const {
    bool on_resource = false;
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            if (!isOnMap(i, j)) return false;
            const RnMapTile& tile = RnMap::tile(i, j);
            if (!allow_occupied && !tile.isTileFree()) return false;
            if ((resourceMaskAt(i, j) & resource_mask) != 0) {
                on_resource = true;
                continue;
            }
            if ((tile.flags_ & kRnTileBuildingsAllowed) == 0) return false;
        }
    }
    return on_resource;
}

bool RnMap::canBuildOnResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h,
                               bool allow_occupied) const {
    for (int i = x - w + 1; i <= x; ++i) {
        for (int j = y - h + 1; j <= y; ++j) {
            if (!isOnMap(i, j)) return false;
            if (!allow_occupied && !tile(i, j).isTileFree()) return false;
            if ((resourceMaskAt(i, j) & resource_mask) == 0) return false;
        }
    }
    return true;
}

bool RnMap::canBuildNextToResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h,
                                   bool allow_occupied) const {
    if (!canBuildArea(x, y, w, h, allow_occupied, 0)) return false;
    auto wanted = [&](int i, int j) { return isOnMap(i, j) && (resourceMaskAt(i, j) & resource_mask) != 0; };
    for (int i = x - w + 1; i <= x; ++i) {
        if (wanted(i, y - h) || wanted(i, y + 1)) return true;
    }
    for (int i : {x - w, x + 1}) {
        for (int j = y - h + 1; j <= y; ++j) {
            if (wanted(i, j)) return true;
        }
    }
    return false;
}

void RnMap::adjacentRoads(std::vector<DaxMapPositionI>& out, int x, int y, int16_t w, int16_t h) const {
    out.clear();
    auto take = [&](int i, int j) {
        if (isOnMap(i, j) && tile(i, j).oid_.kind_ == RnIdBldRoad) out.emplace_back(i, j);
    };
    for (int i = x; i >= x - w + 1; --i) take(i, y + 1);
    for (int i = x; i >= x - w + 1; --i) take(i, y - h);
    for (int j = y; j >= y - h + 1; --j) take(x + 1, j);
    for (int j = y; j >= y - h + 1; --j) take(x - w, j);
}
