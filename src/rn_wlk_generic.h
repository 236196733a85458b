// Walkers: people that buildings send along the roads with goods, services
// or building material. Here are the common walker record, the move from tile
// to tile in two halves, the two families of walkers (searching walkers that
// serve on their way and turn home, carrying walkers with one fixed target),
// the common part of the walker type records that own the walkers by value,
// and the steps by which buildings send, collect and remove walkers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathonmap.h"

struct RnFloodTarget;

// The steps-walked count of a walker has 8 bits. A searching walker turns
// home after at most this many steps and gives up after twice as many plus
// two, so its count never wraps; the loader refuses a longer
// distance_to_return, and walker logic never uses more.
constexpr int kRnMaxDistanceToReturn = 126;
// The count stops here; a walker whose count has reached it starts no move,
// whatever its range.
constexpr int kRnMaxStepsWalked = 255;

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
    static constexpr uint32_t kHeadingMask = 7u << 16;
    static constexpr int kPhaseShift = 19;                  // bits 19-21
    static constexpr uint32_t kPhaseMask = 7u << 19;
    // Came home without having taken a step.
    static constexpr uint32_t kOutcomeLow = 1u << 22;
    static constexpr uint32_t kOutcomeHigh = 1u << 23;
    static constexpr uint32_t kDelivered = 1u << 24;
    static constexpr uint32_t kSmoothMove = 1u << 25;

    // Phases: at a tile, first and second half of a move.
    static constexpr int kAtTile = 1;
    static constexpr int kFirstHalf = 2;
    static constexpr int kSecondHalf = 3;

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
    bool isReturning() const { return (state_ & kReturning) != 0; }
    int stepsWalked() const { return static_cast<int>(state_ & kStepsWalkedMask); }
    int cachedSteps() const { return static_cast<int>((state_ & kCachedStepsMask) >> kCachedStepsShift); }
    DaxDirection heading() const { return static_cast<DaxDirection>((state_ & kHeadingMask) >> kHeadingShift); }
};
static_assert(sizeof(RnWalkerPersData) == 88, "RnWalkerPersData is saved as 88 raw bytes");

// Base of the five walker kinds: everything about moving. A move from one
// tile to the next takes two updates: at its start (at the tile) and at its
// midpoint, where the walker changes tiles; the arrival is handled at the
// next wake time together with the kind's decision at the new tile.
class RnWalkerGeneric : public RnGenericObject, public RnWalkerPersData {
public:
    // A blank for a load.
    RnWalkerGeneric() = default;
    // A new walker of a kind, sent by home from the tile start at time t:
    // id (kind, -1, -1) until its type registers it, active, at phase 1 on
    // the start tile's centre.
    RnWalkerGeneric(int16_t kind, const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t,
                    bool smooth_move);
    RnWalkerGeneric(const RnWalkerGeneric&) = default;
    RnWalkerGeneric& operator=(const RnWalkerGeneric&) = default;

    // Slot 3: the image for a heading (1 to 4).
    virtual void setDirectionImage(DaxDirection dir) = 0;
    // Lets go of the target: tells it what it must know when this walker no
    // longer comes, then forgets it (the cached steps stay).
    virtual void releaseTarget() { target_building_oid_.setNull(); }

    // Starts the move to the step's tile; the new wake time (the move's
    // midpoint) is in wake_time_. The caller sets phase 2.
    void startMove(const RnMapStep& step);
    // Hours of the move to to_, with earlier the tile the previous move
    // started from (the start tile on the first move).
    float tileTime(const DaxMapPositionI& earlier) const;
    // The next cached direction, DirNone when none is left.
    DaxDirection popStep();
    // Caches the path's directions from index first on.
    void cachePath(const RnPathCache& path, int first);
    void forgetPath() { state_ &= ~kCachedStepsMask; }
    // A road beside the walker's tile other than the one it came from,
    // chosen at random; {DirNone, none} when there is none.
    RnMapStep randomRoadNeighbour() const;
    // Where to draw the walker at game time t.
    DaxMapPositionF interpolatedPos(DaxGameTime t) const;
    // Takes the walker off the walker list of the tile it is registered on.
    void leaveTile();

    // The tile the walker stands on (while moving: the tile it heads for).
    DaxMapPositionI tilePos() const;
    void setPhase(int phase) { state_ = (state_ & ~kPhaseMask) | (static_cast<uint32_t>(phase) << kPhaseShift); }

protected:
    // The part of an update every kind shares: checks the time, ends an
    // update of a finished walker and runs the two halves of a move. True
    // when the walker stands at a tile and its kind decides what comes next
    // (arrived: it has just come to the tile); otherwise wake is the time to
    // return.
    bool advanceMove(DaxGameTime now, DaxGameTime& wake, bool& arrived);
    // Ends the trip: tells the home, which is woken an hour later to take the
    // walker back; returns that time. With never_left the walker came home
    // without a step (outcome bit 22).
    DaxGameTime finish(DaxGameTime now, bool never_left = false);
    // The home is gone: the walker lets go of its target and stops where it
    // stands; nobody is told. Returns kRnNoWakeTime.
    DaxGameTime finishWithoutHome();
    // The next cached step from the walker's tile; DirNone and a tile off the
    // map are fatal.
    RnMapStep nextCachedStep();
    // The step in direction dir from the walker's tile (fatal checks as for
    // cached steps).
    RnMapStep stepTowards(DaxDirection dir) const;
    // A step a walker may take: onto a walkable road tile.
    static bool isWalkableRoad(const DaxMapPositionI& pos);
    // Starts the move and returns its wake time.
    DaxGameTime move(const RnMapStep& step);

    // Walkers live by value in their types' lists, never deleted through a
    // base.
    ~RnWalkerGeneric() = default;
};

// Builder, market and service walkers: they leave with a first target,
// serve every building beside their road that needs them, look for a new
// target by a road flood whenever they have no path, turn home after
// distance_to_return steps and walk home by the path finder.
class RnWalkerSearching : public RnWalkerGeneric {
public:
    RnWalkerSearching() = default;
    RnWalkerSearching(int16_t kind, const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t,
                      bool smooth_move, uint16_t amount)
        : RnWalkerGeneric(kind, home, start, t, smooth_move), amount_(amount) {}
    // The first target and path come from the home's flood.
    RnWalkerSearching(int16_t kind, const RnObjectID& home, const RnFloodTarget& target, DaxGameTime t,
                      bool smooth_move);

    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game: the walker's and the amount.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;

    // What the target asked for when it was chosen (saved with the walker).
    uint16_t amount_ = 0;

protected:
    // The kind's need and hand-over at a building.
    virtual uint16_t needOf(const RnGenericBuilding& b, DaxGameTime t) const = 0;
    // Whether a building of the type can need the kind at all (needOf not
    // 0 in some state): the steps pass the others before looking them up.
    virtual bool mayNeed(const RnGenericBuildingType& /*type*/) const { return true; }
    virtual void deliverTo(RnGenericBuilding& b, DaxGameTime t) = 0;
    // A flood from the walker's tile with the kind's evaluator.
    virtual bool findTarget(RnFloodTarget& target, DaxGameTime now, uint16_t max_dist) = 0;
    // A new target chosen on the way is told that this walker comes.
    virtual void announceTo(RnGenericBuilding& /*target*/) {}
    // The type's distance_to_return.
    virtual uint16_t typeDistanceToReturn() const = 0;

    // distance_to_return as the walker logic uses it (at most 126).
    uint16_t distanceToReturn() const;

    ~RnWalkerSearching() = default;

private:
    DaxGameTime decide(DaxGameTime now);
    bool serveNeighbours();
    bool targetWants(DaxGameTime now) const;
};

// Production and storage walkers: they carry lots to one fixed target,
// follow their cached steps and then the path finder, deliver beside the
// target and finish there.
class RnWalkerCarrying : public RnWalkerGeneric {
public:
    RnWalkerCarrying() = default;
    RnWalkerCarrying(int16_t kind, const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t,
                     bool smooth_move)
        : RnWalkerGeneric(kind, home, start, t, smooth_move) {}

    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    // Cancels the promise at the target and forgets it.
    void releaseTarget() override;
    // The target went away: the walker finishes where it is and its home is
    // told an hour from now.
    void recall();

    // The goods type carried: the walker type's index.
    int16_t goodsType() const { return oid_.type_idx_; }
    // Lots carried.
    virtual int lots() const = 0;

protected:
    // The kind's range in steps.
    virtual int typeRange() const = 0;

    ~RnWalkerCarrying() = default;

private:
    DaxGameTime decide(DaxGameTime now);
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
    // The image of a heading: 1 "ru", 2 "lo", 3 "lu", 4 "ro"; -2 for none.
    // Walkers ask at every step: the images are looked up by name once per
    // generation of the bitmap registry.
    DaxBitmapIndex imageFor(DaxDirection dir) const;

private:
    mutable DaxBitmapIndex found_[4] = {kDaxNoBitmap, kDaxNoBitmap, kDaxNoBitmap, kDaxNoBitmap};
    mutable uint64_t found_generation_ = 0;
};

// Sends a walker: adds it to its type's instance list, gives it the type
// index and its instance index, shows the image of its first heading, puts
// it on its start tile and schedules it at its wake time. Its home must be
// alive: a building sends walkers only once it stands in its own instance
// list. Returns the walker's id.
template <class W>
RnObjectID rnSendWalker(RnWalkerList<W>& list, int16_t type_idx, const W& walker) {
    DAX_ASSERT(grn_game.isObjectAlive(walker.home_oid_));
    int32_t idx = list.add(walker);
    W& w = list[idx];
    w.oid_.setTypeIdx(type_idx);
    w.oid_.setBldIdx(idx);
    w.setDirectionImage(w.cachedSteps() > 0 ? static_cast<DaxDirection>(w.steps_[0]) : DirXPlus);
    grn_map.tile(w.tilePos()).addWalker(w);
    grn_game.updateQueue().schedule(w.wake_time_, w.oid_);
    return w.oid_;
}

// Takes the walker at idx out of the world: off its tile, out of the update
// queue, its slot freed.
template <class W>
void rnReleaseWalker(RnWalkerList<W>& list, int32_t idx) {
    W& w = list[idx];
    w.leaveTile();
    grn_game.updateQueue().remove(w.oid_);
    w.is_active_ = false;
    list.remove(idx);
}

// The instance indices, ascending, of the walkers of the list that pass
// test, which accepts only walkers whose home is home (with instance index
// -1: any home that names no building). The candidates come from the
// list's walkers by home while it keeps them, else every walker is tested.
template <class W, class Test>
std::vector<int32_t> rnWalkersOfHome(RnWalkerList<W>& list, const RnObjectID& home, Test test) {
    std::vector<int32_t> found;
    if (grn_caches.finished_walkers_) {
        for (int32_t idx : list.walkersOf(home))
            if (test(static_cast<const W&>(list[idx]))) found.push_back(idx);
    } else {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (test(static_cast<const W&>(*it))) found.push_back(it.index());
    }
    return found;
}

// Takes back the finished walkers that home sent: each is shown to fn (the
// home reads its outcome), lets go of its target and is released. Returns
// how many.
template <class W, class Fn>
int rnCollectFinishedWalkers(RnWalkerList<W>& list, const RnObjectID& home, Fn fn) {
    const std::vector<int32_t> done =
        rnWalkersOfHome(list, home, [&home](const W& w) { return w.isFinished() && w.home_oid_ == home; });
    for (int32_t idx : done) {
        W& w = list[idx];
        fn(static_cast<const W&>(w));
        w.releaseTarget();
        rnReleaseWalker(list, idx);
    }
    return static_cast<int>(done.size());
}

// Takes back the finished walkers whose home names no building (a saved
// walker whose home did not come back): nobody else would. Each lets go of
// its target and is released.
template <class W>
void rnCollectHomelessWalkers(RnWalkerList<W>& list) {
    const std::vector<int32_t> done = rnWalkersOfHome(
        list, RnObjectID(), [](const W& w) { return w.isFinished() && w.home_oid_.bld_idx_ == -1; });
    for (int32_t idx : done) {
        list[idx].releaseTarget();
        rnReleaseWalker(list, idx);
    }
}

// Every walker heading for target lets go of it and forgets its cached
// path (searching walkers, whose target goes away).
template <class W>
void rnDropWalkerTargets(RnWalkerList<W>& list, const RnObjectID& target) {
    for (W& w : list) {
        if (w.target_building_oid_ != target) continue;
        w.releaseTarget();
        w.forgetPath();
    }
}

// Every walker on its way to target finishes where it is (carrying walkers,
// whose target goes away): the promise at the target is cancelled and the
// home is told, and woken an hour from now to take it back. Returns how
// many.
template <class W>
int rnRecallWalkers(RnWalkerList<W>& list, const RnObjectID& target) {
    int count = 0;
    for (W& w : list) {
        if (w.target_building_oid_ != target || w.isFinished()) continue;
        w.recall();
        ++count;
    }
    return count;
}

// Removes every walker that home sent, finished or not: each lets go of its
// target and is released. Returns how many.
template <class W>
int rnRemoveWalkersOf(RnWalkerList<W>& list, const RnObjectID& home) {
    const std::vector<int32_t> found = rnWalkersOfHome(list, home, [&home](const W& w) { return w.home_oid_ == home; });
    for (int32_t idx : found) {
        W& w = list[idx];
        w.state_ |= RnWalkerPersData::kFinished;
        w.releaseTarget();
        rnReleaseWalker(list, idx);
    }
    return static_cast<int>(found.size());
}
