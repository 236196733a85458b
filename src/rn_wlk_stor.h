// Storage walkers: carry a load of lots of a goods type from one storage to a
// neighbour in the storage network, as the sender's transport plan says.
// One type record per goods type (at the goods type's index).
#pragma once

#include <cstdint>

#include "rn_wlk_generic.h"

// What the transport planner chose: where the walker starts, the target
// storage, the goods type and the first steps of the road to it.
struct RnStorTransportPlan {
    DaxMapPositionI start_ = DaxMapPositionI::none();
    RnObjectID target_;
    int16_t goods_type_ = -1;
    uint16_t len_ = 0;
    uint8_t steps_[WLK_MAX_PATH_CACHE] = {};
};

class RnWalkerStor final : public RnWalkerCarrying {
public:
    RnWalkerStor() = default;
    RnWalkerStor(const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t, bool smooth_move)
        : RnWalkerCarrying(RnIdWlkStor, home, start, t, smooth_move) {}
    // Sent along the plan's edge to its target storage.
    RnWalkerStor(const RnObjectID& home, const RnStorTransportPlan& plan, DaxGameTime t, bool smooth_move);

    void setDirectionImage(DaxDirection dir) override;
    // storage_walker_capacity lots.
    int lots() const override;
    // Caches count steps (at most 16).
    void setPath(const uint8_t* steps, int count);

protected:
    int typeRange() const override;
};

class RnWalkerStorType : public RnWalkerGenericType {
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
    RnWalkerList<RnWalkerStor> instances_;
};
