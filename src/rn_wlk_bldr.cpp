// Builder walkers and their type's operations.
#include "rn_wlk_bldr.h"

#include "rn_pathfind.h"

void RnWalkerBldr::setDirectionImage(DaxDirection dir) {
    if (dir >= DirXPlus && dir <= DirYMinus) image_ = grn_game.bldrWalkerType(oid_.type_idx_).images_.imageFor(dir);
}

uint16_t RnWalkerBldr::needOf(const RnGenericBuilding& b, DaxGameTime t) const {
    return b.materialNeed(t, home_oid_);
}

void RnWalkerBldr::deliverTo(RnGenericBuilding& b, DaxGameTime t) { b.materialDelivered(t, home_oid_); }

bool RnWalkerBldr::findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) {
    RnFloodWalkerBldr flood(target, now, home_oid_);
    return flood.floodFromTile(target, home_oid_, tilePos(), distanceToReturn(), max_dist);
}

uint16_t RnWalkerBldr::typeDistanceToReturn() const {
    return grn_game.bldrWalkerType(oid_.type_idx_).distance_to_return_;
}

void RnWalkerBldrType::dropTarget(const RnObjectID& oid) { rnDropWalkerTargets(instances_, oid); }

int RnWalkerBldrType::removeWalkersOf(const RnObjectID& home) { return rnRemoveWalkersOf(instances_, home); }
