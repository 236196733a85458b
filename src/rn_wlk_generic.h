// Walkers: people that buildings send along the roads with goods, services
// or building material. Here are the common walker record and the common part
// of the walker type records that own the walkers by value; how walkers move
// and what they do comes with their own code.
#pragma once

#include <cstdint>
#include <string>

#include "rn_bld_generic.h"

// A point of a walker's move: a position (tile centres are x + 0.5,
// y + 0.5) and the game time the walker is there.
struct RnWalkerWaypoint {
    float x_ = 0.0f;
    float y_ = 0.0f;
    DaxGameTime time_{0};
};
static_assert(sizeof(RnWalkerWaypoint) == 12, "walker waypoints are 12 bytes");

// Persistent part of a walker (88 bytes, saved raw).
struct RnWalkerPersData {
    static constexpr int kMaxSteps = 16;
    // Bits of state_.
    static constexpr uint32_t kStepsWalkedMask = 0xFFu;     // bits 0-7
    static constexpr int kCachedStepsShift = 8;             // bits 8-13
    static constexpr uint32_t kCachedStepsMask = 0x3Fu << 8;
    static constexpr uint32_t kReturning = 1u << 14;
    static constexpr uint32_t kFinished = 1u << 15;
    static constexpr int kHeadingShift = 16;                // bits 16-18
    static constexpr int kPhaseShift = 19;                  // bits 19-21
    static constexpr uint32_t kPhaseMask = 7u << 19;
    static constexpr uint32_t kOutcomeLow = 1u << 22;
    static constexpr uint32_t kOutcomeHigh = 1u << 23;
    static constexpr uint32_t kDelivered = 1u << 24;
    static constexpr uint32_t kSmoothMove = 1u << 25;

    DaxGameTime wake_time_{0};
    RnObjectID home_oid_;
    RnObjectID next_walker_;
    DaxBitmapIndex image_ = kDaxNoBitmap;
    RnWalkerWaypoint from_;
    RnWalkerWaypoint at_;
    RnWalkerWaypoint to_;
    uint8_t steps_[kMaxSteps] = {};
    RnObjectID target_building_oid_;
    uint32_t state_ = 0;

    int phase() const { return static_cast<int>((state_ & kPhaseMask) >> kPhaseShift); }
    bool isFinished() const { return (state_ & kFinished) != 0; }
    // The target went away: no target, and the cached path to it is void.
    void forgetTarget() {
        target_building_oid_.setNull();
        state_ &= ~kCachedStepsMask;
    }
};
static_assert(sizeof(RnWalkerPersData) == 88, "RnWalkerPersData is saved as 88 raw bytes");

// Base of the five walker kinds.
class RnWalkerGeneric : public RnGenericObject, public RnWalkerPersData {
public:
    // A blank for a load.
    RnWalkerGeneric() = default;
    // A new walker of a kind, sent by home from the tile start at time t:
    // id (kind, -1, -1) until its type registers it, active, at phase 1 on
    // the start tile's centre.
    RnWalkerGeneric(int16_t kind, const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t,
                    bool smooth_move) {
        oid_ = RnObjectID(kind, -1, -1);
        is_active_ = true;
        wake_time_ = t;
        home_oid_ = home;
        RnWalkerWaypoint centre{start.x + 0.5f, start.y + 0.5f, t};
        from_ = centre;
        at_ = centre;
        to_ = centre;
        state_ = (1u << kPhaseShift) | (smooth_move ? kSmoothMove : 0u);
    }
    RnWalkerGeneric(const RnWalkerGeneric&) = default;
    RnWalkerGeneric& operator=(const RnWalkerGeneric&) = default;

    // Where the walker is drawn at game time t: a walker drawn between tiles
    // (bit 25) whose current move runs from a nonzero time a to a later
    // nonzero time b, with a <= t <= b, is that part of the way from from_
    // to to_; any other walker stands at at_.
    DaxMapPositionF interpolatedPos(DaxGameTime t) const {
        const uint32_t a = from_.time_.value();
        const uint32_t b = to_.time_.value();
        const uint32_t now = t.value();
        if ((state_ & kSmoothMove) != 0 && a != 0 && b != 0 && a < b && a <= now && now <= b) {
            const float f = static_cast<float>(now - a) / static_cast<float>(b - a);
            return daxLerpF(DaxMapPositionF(from_.x_, from_.y_), DaxMapPositionF(to_.x_, to_.y_), f);
        }
        return DaxMapPositionF(at_.x_, at_.y_);
    }

protected:
    // Walkers live by value in their type's instance list, never deleted
    // through a base.
    ~RnWalkerGeneric() = default;
};

// The common part of the walker type records: script id, name, the hours one
// road tile takes and whether walkers are drawn between tiles.
class RnWalkerGenericType {
public:
    int32_t typeId() const { return type_id_; }

    int32_t type_id_ = 0;
    std::string name_;
    float hours_for_1tile_road_ = 1.0f;
    bool smooth_move_ = false;
};

// The direction images of service, market and builder walkers (keys "ro",
// "ru", "lo", "lu" in this order).
struct RnWalkerImages {
    std::string names_[4];
};
