// Storage walkers and their type's operations.
#include "rn_wlk_stor.h"

#include <cstring>

RnWalkerStor::RnWalkerStor(const RnObjectID& home, const RnStorTransportPlan& plan, DaxGameTime t, bool smooth_move)
    : RnWalkerCarrying(RnIdWlkStor, home, plan.start_, t, smooth_move) {
    target_building_oid_ = plan.target_;
    setPath(plan.steps_, plan.len_);
}

void RnWalkerStor::setPath(const uint8_t* steps, int count) {
    DAX_ASSERT(count >= 0 && count <= kMaxSteps);
    std::memcpy(steps_, steps, static_cast<size_t>(count));
    state_ = (state_ & ~kCachedStepsMask) | (static_cast<uint32_t>(count) << kCachedStepsShift);
}

void RnWalkerStor::setDirectionImage(DaxDirection /*dir*/) { image_ = grn_game.storWalkerType(oid_.type_idx_).image_; }

int RnWalkerStor::lots() const { return grn_game.storage_walker_capacity_; }

int RnWalkerStor::typeRange() const { return grn_game.storage_walker_range_; }

int RnWalkerStorType::recallWalkersTo(const RnObjectID& oid) { return rnRecallWalkers(instances_, oid); }

int RnWalkerStorType::removeWalkersOf(const RnObjectID& home) { return rnRemoveWalkersOf(instances_, home); }
