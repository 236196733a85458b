// Production walkers: carry one unit of a goods type from a production
// building or a storage to a building that needs it.
// One type record per goods type (at the goods type's index); the walk
// itself comes with the walkers' own code.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

class RnWalkerProd final : public RnWalkerGeneric {
public:
    RnWalkerProd() = default;
    RnWalkerProd(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move)
        : RnWalkerGeneric(RnIdWlkProd, home, start, t, smooth_move) {}

    // LATER: The walk comes with the walkers' own code; until then a walker asks
    // for no wake-up.
    DaxGameTime update(DaxGameTime /*now*/) override { return kRnNoWakeTime; }
};

class RnWalkerProdType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }

    // The image every walker of the type shows.
    DaxBitmapIndex image_ = kDaxNoBitmap;
    nex::AppendableWithFreeList<RnWalkerProd, kRnInstanceBlock> instances_;
};
