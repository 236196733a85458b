// Builder walkers: carry building material from their builder building to the
// buildings on their round whose material wears off.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

// The home is a builder building: the sites take their material from its
// store through the walker.
class RnWalkerBldr final : public RnWalkerSearching {
public:
    RnWalkerBldr() = default;
    RnWalkerBldr(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move,
                 uint16_t amount)
        : RnWalkerSearching(RnIdWlkBldr, home, start, t, smooth_move, amount) {}
    // Sent to the site the builder's flood chose, along its path.
    RnWalkerBldr(const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t, bool smooth_move)
        : RnWalkerSearching(RnIdWlkBldr, home, target, t, smooth_move) {}

    void setDirectionImage(DaxDirection dir) override;

protected:
    uint16_t needOf(const RnGenericBuilding& b, DaxGameTime t) const override;
    bool mayNeed(const RnGenericBuildingType& type) const override { return type.mayNeedMaterial(); }
    void deliverTo(RnGenericBuilding& b, DaxGameTime t) override;
    bool findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) override;
    uint16_t typeDistanceToReturn() const override;
};

class RnWalkerBldrType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }
    // Every live walker of the type heading for oid loses its target and
    // its cached path.
    void dropTarget(const RnObjectID& oid);
    // Removes every walker that home sent; returns how many.
    int removeWalkersOf(const RnObjectID& home);

    uint16_t distance_to_return_ = 0;
    RnWalkerImages images_;
    RnWalkerList<RnWalkerBldr> instances_;
};
