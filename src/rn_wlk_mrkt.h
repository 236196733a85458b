// Market walkers: carry goods from their market to the houses on their round.
// The record and the type record that owns the walkers; the walk itself
// comes with the walkers' own code.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

class RnWalkerMrkt final : public RnWalkerGeneric {
public:
    RnWalkerMrkt() = default;
    RnWalkerMrkt(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move,
                 uint16_t amount)
        : RnWalkerGeneric(RnIdWlkMrkt, home, start, t, smooth_move), amount_(amount) {}

    // LATER: The walk comes with the walkers' own code; until then a walker asks
    // for no wake-up.
    DaxGameTime update(DaxGameTime /*now*/) override { return kRnNoWakeTime; }

    // What the target asked for when it was chosen (saved with the walker).
    uint16_t amount_ = 0;
};

class RnWalkerMrktType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }
    // Every live walker of the type heading for oid loses its target and
    // its cached path.
    void dropTarget(const RnObjectID& oid);

    uint16_t distance_to_return_ = 0;
    uint16_t tiles_without_houses_ = 0;
    RnWalkerImages images_;
    nex::AppendableWithFreeList<RnWalkerMrkt, kRnInstanceBlock> instances_;
};
