// Market walkers: carry goods from their market to the houses on their round.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

class RnWalkerMrkt final : public RnWalkerSearching {
public:
    RnWalkerMrkt() = default;
    RnWalkerMrkt(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move,
                 uint16_t amount)
        : RnWalkerSearching(RnIdWlkMrkt, home, start, t, smooth_move, amount) {}
    // Sent to the house the market's flood chose, along its path.
    RnWalkerMrkt(const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t, bool smooth_move)
        : RnWalkerSearching(RnIdWlkMrkt, home, target, t, smooth_move) {}

    void setDirectionImage(DaxDirection dir) override;

protected:
    uint16_t needOf(const RnGenericBuilding& b, DaxGameTime t) const override;
    bool mayNeed(const RnGenericBuildingType& type) const override { return type.mayNeedMarketGoods(); }
    void deliverTo(RnGenericBuilding& b, DaxGameTime t) override;
    bool findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) override;
    uint16_t typeDistanceToReturn() const override;
};

class RnWalkerMrktType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }
    // Every live walker of the type heading for oid loses its target and
    // its cached path.
    void dropTarget(const RnObjectID& oid);
    // Removes every walker that home sent; returns how many.
    int removeWalkersOf(const RnObjectID& home);

    uint16_t distance_to_return_ = 0;
    uint16_t tiles_without_houses_ = 0;
    RnWalkerImages images_;
    RnWalkerList<RnWalkerMrkt> instances_;
};
