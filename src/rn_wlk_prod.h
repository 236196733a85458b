// Production walkers: carry one lot of a goods type from a production
// building or a storage to the building its home's flood chose.
// One type record per goods type (at the goods type's index).
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

class RnWalkerProd final : public RnWalkerCarrying {
public:
    RnWalkerProd() = default;
    RnWalkerProd(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move)
        : RnWalkerCarrying(RnIdWlkProd, home, start, t, smooth_move) {}
    // Sent to the target of the home's flood, along its path. The goods
    // type is the walker type the home adds it to.
    RnWalkerProd(const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t, bool smooth_move);

    void setDirectionImage(DaxDirection dir) override;
    int lots() const override { return 1; }

protected:
    int typeRange() const override;
};

class RnWalkerProdType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }
    // Every walker heading for oid finishes where it is, its promise there
    // cancelled; its home is told. Returns how many.
    int recallWalkersTo(const RnObjectID& oid);
    // Removes every walker that home sent, cancelling their promises;
    // returns how many.
    int removeWalkersOf(const RnObjectID& home);

    // The image every walker of the type shows.
    DaxBitmapIndex image_ = kDaxNoBitmap;
    RnWalkerList<RnWalkerProd> instances_;
};
