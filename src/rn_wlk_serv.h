// Service walkers: carry a service from their service building to the houses
// and decorations on their round.
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

// The service a walker carries is its home's service building type: the
// home's own flood, the houses' service needs and the pending marks all use
// that index.
class RnWalkerServ final : public RnWalkerSearching {
public:
    RnWalkerServ() = default;
    RnWalkerServ(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move,
                 uint16_t amount)
        : RnWalkerSearching(RnIdWlkServ, home, start, t, smooth_move, amount) {}
    // Sent to the target the home's flood chose, along its path.
    RnWalkerServ(const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t, bool smooth_move)
        : RnWalkerSearching(RnIdWlkServ, home, target, t, smooth_move) {}

    void setDirectionImage(DaxDirection dir) override;
    // The target is told that no service walker is on its way any more.
    void releaseTarget() override;

    int16_t serviceType() const { return home_oid_.type_idx_; }

protected:
    uint16_t needOf(const RnGenericBuilding& b, DaxGameTime t) const override;
    bool mayNeed(const RnGenericBuildingType& type) const override { return type.mayNeedService(serviceType()); }
    void deliverTo(RnGenericBuilding& b, DaxGameTime t) override;
    bool findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) override;
    void announceTo(RnGenericBuilding& target) override;
    uint16_t typeDistanceToReturn() const override;
};

class RnWalkerServType : public RnWalkerGenericType {
public:
    int instanceCount() const { return instances_.liveCount(); }
    // Every live walker of the type heading for oid lets go of it (the
    // building is told that no walker comes) and forgets its cached path.
    void dropTarget(const RnObjectID& oid);
    // Removes every walker that home sent; returns how many.
    int removeWalkersOf(const RnObjectID& home);

    uint16_t distance_to_return_ = 0;
    uint16_t tiles_without_houses_ = 0;
    RnWalkerImages images_;
    RnWalkerList<RnWalkerServ> instances_;
};
