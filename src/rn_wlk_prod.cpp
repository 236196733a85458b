// Production walkers and their type's operations.
#include "rn_wlk_prod.h"

#include "rn_pathfind.h"

RnWalkerProd::RnWalkerProd(const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t, bool smooth_move)
    : RnWalkerCarrying(RnIdWlkProd, home, target.start_pos_, t, smooth_move) {
    target_building_oid_ = target.target_oid_;
    cachePath(target.path_, 0);
}

void RnWalkerProd::setDirectionImage(DaxDirection /*dir*/) { image_ = grn_game.prodWalkerType(oid_.type_idx_).image_; }

int RnWalkerProd::typeRange() const { return grn_game.prod_walker_range_; }

int RnWalkerProdType::recallWalkersTo(const RnObjectID& oid) { return rnRecallWalkers(instances_, oid); }

int RnWalkerProdType::removeWalkersOf(const RnObjectID& home) { return rnRemoveWalkersOf(instances_, home); }
