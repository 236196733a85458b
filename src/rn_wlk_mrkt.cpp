// Market walkers and their type's operations.
#include "rn_wlk_mrkt.h"

#include "rn_pathfind.h"

void RnWalkerMrkt::setDirectionImage(DaxDirection dir) {
    if (dir >= DirXPlus && dir <= DirYMinus) image_ = grn_game.mrktWalkerType(oid_.type_idx_).images_.imageFor(dir);
}

uint16_t RnWalkerMrkt::needOf(const RnGenericBuilding& b, DaxGameTime t) const { return b.marketNeed(t, home_oid_); }

void RnWalkerMrkt::deliverTo(RnGenericBuilding& b, DaxGameTime t) { b.marketDelivered(t, home_oid_); }

// A house the walker heads for is not marked: the marks of a house name
// services, and a market walker carries none.
bool RnWalkerMrkt::findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) {
    const RnWalkerMrktType& type = grn_game.mrktWalkerType(oid_.type_idx_);
    RnFloodWalkerMrkt flood(target, now, home_oid_, type.tiles_without_houses_);
    return flood.floodFromTile(target, home_oid_, tilePos(), distanceToReturn(), max_dist);
}

uint16_t RnWalkerMrkt::typeDistanceToReturn() const {
    return grn_game.mrktWalkerType(oid_.type_idx_).distance_to_return_;
}

void RnWalkerMrktType::dropTarget(const RnObjectID& oid) { rnDropWalkerTargets(instances_, oid); }

int RnWalkerMrktType::removeWalkersOf(const RnObjectID& home) { return rnRemoveWalkersOf(instances_, home); }
