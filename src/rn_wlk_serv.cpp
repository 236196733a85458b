// Service walkers and their type's operations.
#include "rn_wlk_serv.h"

#include "rn_pathfind.h"

void RnWalkerServ::setDirectionImage(DaxDirection dir) {
    if (dir >= DirXPlus && dir <= DirYMinus) image_ = grn_game.servWalkerType(oid_.type_idx_).images_.imageFor(dir);
}

void RnWalkerServ::releaseTarget() {
    RnGenericBuilding* target = grn_game.liveBuilding(target_building_oid_);
    if (target) target->setServicePending(serviceType(), false);
    target_building_oid_.setNull();
}

uint16_t RnWalkerServ::needOf(const RnGenericBuilding& b, DaxGameTime t) const {
    return b.serviceNeed(t, serviceType(), 1);
}

void RnWalkerServ::deliverTo(RnGenericBuilding& b, DaxGameTime t) { b.serviceDelivered(t, serviceType()); }

bool RnWalkerServ::findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) {
    const RnWalkerServType& type = grn_game.servWalkerType(oid_.type_idx_);
    RnFloodWalkerServ flood(target, now, serviceType(), type.tiles_without_houses_);
    return flood.floodFromTile(target, home_oid_, tilePos(), distanceToReturn(), max_dist);
}

void RnWalkerServ::announceTo(RnGenericBuilding& target) { target.setServicePending(serviceType(), true); }

uint16_t RnWalkerServ::typeDistanceToReturn() const {
    return grn_game.servWalkerType(oid_.type_idx_).distance_to_return_;
}

void RnWalkerServType::dropTarget(const RnObjectID& oid) { rnDropWalkerTargets(instances_, oid); }

int RnWalkerServType::removeWalkersOf(const RnObjectID& home) { return rnRemoveWalkersOf(instances_, home); }
