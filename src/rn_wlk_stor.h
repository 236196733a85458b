// Storage walkers: carry lots of a goods type from one storage to another of
// the same type.
// One type record per goods type (at the goods type's index); the walk
// itself comes with the walkers' own code.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

class RnWalkerStor final : public RnWalkerGeneric {
public:
    RnWalkerStor() = default;
    RnWalkerStor(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move)
        : RnWalkerGeneric(RnIdWlkStor, home, start, t, smooth_move) {}

    // LATER: The walk comes with the walkers' own code; until then a walker asks
    // for no wake-up.
    DaxGameTime update(DaxGameTime /*now*/) override { return kRnNoWakeTime; }
};

class RnWalkerStorType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }

    // The image every walker of the type shows.
    DaxBitmapIndex image_ = kDaxNoBitmap;
    nex::AppendableWithFreeList<RnWalkerStor, kRnInstanceBlock> instances_;
};
