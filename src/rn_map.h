// The square tile map of the world (grn_map): per tile its terrain, images,
// the road or building on it, the walkers on it, its desirability total and
// flag bits; plus the footprint tests and marks used when placing buildings.
#pragma once

#include <cstdint>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "rn_road_graph.h"

class RnWalkerGeneric;

// Flag bits of a map tile. Bits 0 to 2 are copied from the terrain.
enum : uint16_t {
    kRnTileWalkable = 0x01,
    kRnTileRoadsAllowed = 0x02,
    kRnTileBuildingsAllowed = 0x04,
    // A production building gave this free tile its roaming image.
    kRnTileProdImage = 0x10,
};

// One map cell, 32 bytes, saved raw.
struct RnMapTile {
    // No road, building or walker on the tile.
    bool isTileFree() const { return oid_.kind_ == RnIdNone && walker_head_.bld_idx_ == -1; }
    // A road stands here (walkers move only on roads).
    bool isRoad() const { return oid_.kind_ == RnIdBldRoad; }
    bool isWalkable() const { return (flags_ & kRnTileWalkable) != 0; }
    // Pushes a walker onto the front of the tile's walker list.
    void addWalker(const RnObjectID& walker);
    void addWalker(RnWalkerGeneric& walker);
    // Unlinks a walker from the list; false (and nothing changed) when it is
    // not on it. A walker in hand saves looking it up by id.
    bool removeWalker(const RnObjectID& walker);
    bool removeWalker(RnWalkerGeneric& walker);
    // Images, object and flag bits 0 to 2 back from the terrain, bit 4 and
    // the road speed cleared; walkers, terrain index and desirability stay.
    void resetToTerrain();

    int32_t gnd_bmp_idx_ = -2;     // ground image (on a building's anchor: its first image)
    int32_t second_bmp_idx_ = -2;  // overlay or the building's second image
    RnObjectID oid_;               // road or building standing here
    RnObjectID walker_head_;       // first walker standing here
    int16_t terrain_idx_ = -1;
    int16_t desirability_ = 0;     // signed total spread onto the tile
    uint16_t flags_ = kRnTileWalkable | kRnTileRoadsAllowed | kRnTileBuildingsAllowed;
    // On a road tile the walking speed of the road's level in per cent, 0
    // where unknown (grn_caches.road_speed_): a walker's step reads it here
    // instead of from the road and its type. A save writes 0 in its place.
    int16_t road_speed_ = 0;
};
static_assert(sizeof(RnMapTile) == 32, "RnMapTile is saved as 32 raw bytes");

// The map: n rows (x) of n tiles (y). A building of width w and height h
// anchored at (x, y) covers x-w+1..x by y-h+1..y (anchor bottom-right).
class RnMap {
public:
    // The tiles of a map may take at most this many bytes (side 5792).
    static constexpr uint64_t kMaxTileBytes = uint64_t(1) << 30;
    // The largest side those bytes allow.
    static constexpr int kMaxSide = 5792;
    static_assert(uint64_t(kMaxSide) * kMaxSide * sizeof(RnMapTile) <= kMaxTileBytes &&
                      uint64_t(kMaxSide + 1) * (kMaxSide + 1) * sizeof(RnMapTile) > kMaxTileBytes,
                  "kMaxSide follows from kMaxTileBytes");

    RnMap() = default;
    ~RnMap();
    // A copy holds its own tiles (tests keep a world aside this way).
    RnMap(const RnMap& other) { *this = other; }
    RnMap& operator=(const RnMap& other);

    int size() const { return static_cast<int>(side_); }
    bool isOnMap(int x, int y) const {
        return static_cast<unsigned>(x) < side_ && static_cast<unsigned>(y) < side_;
    }
    bool isOnMap(const DaxMapPositionI& p) const { return isOnMap(p.x, p.y); }

    // Unchecked access: callers test isOnMap (or a footprint test) first.
    RnMapTile& tile(int x, int y) { return tiles_[index(x, y)]; }
    const RnMapTile& tile(int x, int y) const { return tiles_[index(x, y)]; }
    RnMapTile& tile(const DaxMapPositionI& p) { return tiles_[index(p.x, p.y)]; }
    const RnMapTile& tile(const DaxMapPositionI& p) const { return tiles_[index(p.x, p.y)]; }
    // A position between tiles, each coordinate truncated toward zero.
    RnMapTile& tile(float x, float y) { return tile(static_cast<int>(x), static_cast<int>(y)); }
    RnMapTile& tile(const DaxMapPositionF& p) { return tile(p.x, p.y); }

    // Discards the old tiles and makes n by n fresh ones. Raises "map too
    // large: %u" (the old map untouched) when the tiles would exceed
    // kMaxTileBytes.
    void createEmpty(unsigned n);
    // Releases every tile; the side becomes 0.
    void clear();

    // Marks the footprint with the building's id (every tile must be free),
    // makes it unwalkable and gives the anchor tile random variants of the
    // two images (null or unknown names: no image).
    void placeBuilding(const RnObjectID& oid, int x, int y, int16_t w, int16_t h, const char* first_image,
                       const char* second_image);
    // Replaces the anchor images of a building's footprint; a null name
    // leaves that image as it is.
    void setBuildingImages(const RnObjectID& oid, int x, int y, int16_t w, int16_t h, const char* first_image,
                           const char* second_image);
    // Every footprint tile back to its terrain.
    void resetArea(int x, int y, int16_t w, int16_t h);
    // Code that sets or clears a tile's road or building itself (oid_, or
    // RnMapTile::resetToTerrain) reports the tile here; placeBuilding and
    // resetArea report theirs.
    void objectChanged(int x, int y) { road_graph_.tileChanged(DaxMapPositionI(x, y)); }
    // Any tile's road or building may have changed (the tiles of a save
    // were read).
    void objectsReplaced() { road_graph_.clear(); }
    // The road graph of the floods, brought up to date with the tiles.
    const RnRoadGraph& roadGraph() {
        road_graph_.update(*this);
        return road_graph_;
    }

    bool isAreaOnMap(int x, int y, int16_t w, int16_t h) const;
    // Every footprint tile on the map and free (no road, building or
    // walker on it).
    bool isAreaFree(int x, int y, int16_t w, int16_t h) const;
    // Every footprint tile on the map, free unless allow_occupied, and either
    // allowing buildings or on a terrain carrying a resource of the mask.
    bool canBuildArea(int x, int y, int16_t w, int16_t h, bool allow_occupied, uint16_t resource_mask) const;
    // As canBuildArea, and at least one tile is on a resource of the mask.
    bool canBuildPartlyOnResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h,
                                  bool allow_occupied) const;
    // Every tile on the map, free unless allow_occupied, on a resource of the
    // mask (buildings need not be allowed there).
    bool canBuildOnResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h, bool allow_occupied) const;
    // canBuildArea without resources, and a tile next to a side of the
    // footprint carries a resource of the mask.
    bool canBuildNextToResource(uint16_t resource_mask, int x, int y, int16_t w, int16_t h,
                                bool allow_occupied) const;
    // The road tiles next to the sides of the footprint (not the corners), in
    // the order the floods take them: row y+1, row y-h, column x+1, column
    // x-w, each scanned from the anchor side.
    void adjacentRoads(std::vector<DaxMapPositionI>& out, int x, int y, int16_t w, int16_t h) const;

    // The resource mask of the terrain under a tile (0 for a tile without a
    // known terrain).
    uint16_t resourceMaskAt(int x, int y) const;

private:
    void footprintChanged(int x, int y, int16_t w, int16_t h);
    // Frees the tiles and the road graph, then takes room for n by n tiles
    // (not yet constructed; none for 0).
    void allocate(unsigned n);

    // Tile (x, y) is tiles_[x * side_ + y], as the rows of a save lie.
    size_t index(int x, int y) const { return static_cast<size_t>(x) * side_ + static_cast<size_t>(y); }

    RnMapTile* tiles_ = nullptr;
    unsigned side_ = 0;
    RnRoadGraph road_graph_;
};

extern RnMap grn_map;
