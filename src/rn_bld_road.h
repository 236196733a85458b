// Roads: one-tile buildings on which walkers move and along which the floods
// run. A road sits at one level of its type, chosen by the desirability of its
// tile; the level gives its image, its own desirability and the walking speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rn_bld_generic.h"

// One level of a road type.
struct RnRoadLevelDesc {
    std::string image_;      // the tile image is a random variant of it
    std::string name_;       // display name of the level
    int32_t text_id_ = 0;    // text number of the name
    int16_t own_attr_ = 0;   // desirability the road adds around itself
    int16_t needed_attr_ = 0;  // desirability total the tile needs
    int16_t speed_ = 100;    // walking speed in per cent
};

// The persistent part of a road (8 bytes, saved raw). Read as one 32-bit
// word its bits 0-7 are the level and bit 8 the pending bit of t_attr.
struct RnRoadPersData {
    static constexpr uint8_t kAttrPending = 1u;  // in state_bits_ (word bit 8)

    uint8_t cur_level_ = 0;    // index into the type's level_descs_
    uint8_t state_bits_ = 0;
    uint16_t reserved_ = 0;    // always 0
    DaxGameTime t_attr_{0};    // desirability re-check while pending
};
static_assert(sizeof(RnRoadPersData) == 8, "RnRoadPersData is saved as 8 raw bytes");

class RnRoadType;

// A road tile.
class RnRoad final : public RnGenericBuilding, public RnRoadPersData {
public:
    RnRoad() = default;
    RnRoad(int x, int y) : RnGenericBuilding(RnIdBldRoad, x, y) {}

    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime t) override;
    void workersChanged(DaxGameTime /*t*/) override {}
    void goodsArrived(DaxGameTime /*t*/) override {}
    // Roads send no walkers: fatal check "false".
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    void verifyOnMap() const override;

    // One level up; the tile shows the new level's image and speed.
    void levelUp(const RnRoadType& rt);
    // Puts the road at a level of its type without the image or the
    // desirability that go with it (tests set up roads so); the tile shows
    // the level's speed.
    void setLevel(uint8_t level);
    // Writes the speed of the road's level into its tile
    // (RnMapTile::road_speed_), 0 for a level the type lacks.
    void showSpeed(const RnRoadType& rt) const;
    // The walkers' speed factor on this road: the level's speed / 100.
    float speedFactor() const;
    // After loading: a road whose tile does not carry its id is dropped
    // (its desirability taken back, its pending wake-up removed, its slot
    // freed). Returns whether it was.
    bool checkOid(RnRoadType& rt);

    const RnRoadType& roadType() const;
    const RnRoadLevelDesc& levelDesc() const;
};

// A road type: footprint 1 by 1, its levels and its roads.
class RnRoadType : public RnGenericBuildingType {
public:
    RnRoadType() : RnGenericBuildingType(RnIdBldRoad) { flat_ = 1; }

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    // Level 0's image; raises "no phantom image available for road type
    // id=%d" for a type without levels.
    std::string phantomImage() const override;
    int instanceCount() const override { return instances_.liveCount(); }
    // Drags a line of roads from (x1, y1) to (x2, y2), first along x, then
    // along y; tiles that already hold a road are not listed and cost nothing.
    int addPhantom(RnPhantomList& list, int x1, int y1, int x2, int y2) override;
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The highest level of the type's live roads, 0 with none.
    int maxUsedLevel() const;

    std::vector<RnRoadLevelDesc> level_descs_;
    RnInstanceList<RnRoad> instances_;

private:
    // A tile a dragged road cannot enter: off the map, holding a building
    // that is not a road, or not allowing roads.
    static bool blockedForRoad(int x, int y);
    // Whether the tile holds a road of a valid type.
    static bool holdsRoad(int x, int y);
};
