// The walker's move from tile to tile, and the trips of the searching and the
// carrying walkers.
#include "rn_wlk_generic.h"

#include <algorithm>
#include <cstring>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_random.h"
#include "rn_bld_road.h"
#include "rn_file_load.h"
#include "rn_pathfind.h"

namespace {

DaxMapPositionI tileOf(const RnWalkerWaypoint& w) {
    return DaxMapPositionI(static_cast<int>(w.x_), static_cast<int>(w.y_));
}

DaxGameTime hoursLater(DaxGameTime t, float hours) {
    t.addHours(hours);
    return t;
}

// Walker times between tiles are at least this many hours.
constexpr float kMinTileHours = 0.1f;
// A home short of workers slows its walkers down to at most a fifth.
constexpr float kMinEfficiency = 0.2f;

}  // namespace

// ---------------------------------------------------------------------------
// Moving

RnWalkerGeneric::RnWalkerGeneric(int16_t kind, const RnObjectID& home, const DaxMapPositionI& start, DaxGameTime t,
                                 bool smooth_move) {
    oid_ = RnObjectID(kind, -1, -1);
    is_active_ = true;
    wake_time_ = t;
    home_oid_ = home;
    RnWalkerWaypoint centre{start.x + 0.5f, start.y + 0.5f, t};
    from_ = centre;
    at_ = centre;
    to_ = centre;
    state_ = (static_cast<uint32_t>(kAtTile) << kPhaseShift) | (smooth_move ? kSmoothMove : 0u);
}

DaxMapPositionI RnWalkerGeneric::tilePos() const { return tileOf(to_); }

void RnWalkerGeneric::startMove(const RnMapStep& step) {
    const DaxMapPositionI earlier = tileOf(from_);
    from_ = to_;
    to_.x_ = step.pos_.x + 0.5f;
    to_.y_ = step.pos_.y + 0.5f;
    to_.time_ = hoursLater(wake_time_, tileTime(earlier));
    wake_time_ = daxLerpGameTime(from_.time_, to_.time_, 0.5);
    state_ = (state_ & ~kHeadingMask) | (static_cast<uint32_t>(step.dir_) << kHeadingShift);
    setDirectionImage(step.dir_);
}

namespace {

// The road's speed factor from its tile when the tile knows it, else from
// the road itself: the same operations, so the same bits.
float speedFactorOf(const RnMapTile& tile) {
    if (grn_caches.road_speed_ && tile.road_speed_ != 0) return static_cast<float>(tile.road_speed_) / 100.0f;
    return grn_game.roadByOid(tile.oid_).speedFactor();
}

}  // namespace

float RnWalkerGeneric::tileTime(const DaxMapPositionI& earlier) const {
    const float base = grn_game.walkerType(oid_.typeId()).hours_for_1tile_road_;
    const RnMapTile& next_pos_tile = grn_map.tile(tileOf(to_));
    DAX_ASSERT(next_pos_tile.isRoad());
    const float t1 = base / speedFactorOf(next_pos_tile);
    float t2 = t1;
    if (grn_map.isOnMap(earlier) && grn_map.tile(earlier).isRoad()) t2 = base / speedFactorOf(grn_map.tile(earlier));
    const RnGenericBuilding* home = grn_game.liveBuilding(home_oid_);
    float e = home ? home->efficiency() : 1.0f;
    if (e < kMinEfficiency) e = kMinEfficiency;
    float h = (t1 + t2) * 0.5f / e;
    if (h < kMinTileHours) h = kMinTileHours;
    return h;
}

DaxDirection RnWalkerGeneric::popStep() {
    int n = cachedSteps();
    if (n == 0) return DirNone;
    DaxDirection dir = steps_[0];
    std::memmove(steps_, steps_ + 1, static_cast<size_t>(kMaxSteps - 1));
    steps_[kMaxSteps - 1] = 0;
    state_ = (state_ & ~kCachedStepsMask) | (static_cast<uint32_t>(n - 1) << kCachedStepsShift);
    return dir;
}

void RnWalkerGeneric::cachePath(const RnPathCache& path, int first) {
    DAX_ASSERT(first >= 0 && first <= path.size());
    int n = path.size() - first;
    DAX_ASSERT(n <= kMaxSteps);
    for (int i = 0; i < n; ++i) {
        DaxDirection dir = path.at(first + i);
        DAX_ASSERT(dir!=DirNone);
        steps_[i] = static_cast<uint8_t>(dir);
    }
    state_ = (state_ & ~kCachedStepsMask) | (static_cast<uint32_t>(n) << kCachedStepsShift);
}

RnMapStep RnWalkerGeneric::randomRoadNeighbour() const {
    const DaxMapPositionI here = tileOf(at_);
    const DaxMapPositionI came_from = tileOf(from_);
    RnMapStep candidates[4];
    int n = 0;
    for (int d = DirXPlus; d <= DirYMinus; ++d) {
        DaxMapPositionI p = here + daxDirectionOffset(d);
        if (p == came_from || !isWalkableRoad(p)) continue;
        candidates[n++] = RnMapStep{d, p};
    }
    if (n == 0) return RnMapStep();
    int i = static_cast<int>(dax_random.real() * n);
    return candidates[std::min(i, n - 1)];
}

DaxMapPositionF RnWalkerGeneric::interpolatedPos(DaxGameTime t) const {
    const uint32_t a = from_.time_.value();
    const uint32_t b = to_.time_.value();
    if ((state_ & kSmoothMove) != 0 && a != 0 && b != 0 && a < b && a <= t.value() && t.value() <= b) {
        float f = static_cast<float>(t.value() - a) / static_cast<float>(b - a);
        return daxLerpF(DaxMapPositionF(from_.x_, from_.y_), DaxMapPositionF(to_.x_, to_.y_), f);
    }
    return DaxMapPositionF(at_.x_, at_.y_);
}

void RnWalkerGeneric::leaveTile() {
    if (phase() == kFirstHalf) {
        bool rc1 = grn_map.tile(tileOf(at_)).removeWalker(*this);
        DAX_ASSERT(rc1);
    } else {
        bool rc2 = grn_map.tile(tileOf(to_)).removeWalker(*this);
        DAX_ASSERT(rc2);
    }
}

bool RnWalkerGeneric::advanceMove(DaxGameTime now, DaxGameTime& wake, bool& arrived) {
    if (now.value() < wake_time_.value()) DAX_ASSERT(false);
    arrived = false;
    if (isFinished()) {
        wake = kRnNoWakeTime;
        return false;
    }
    switch (phase()) {
        case kFirstHalf: {
            // Halfway: the walker changes tiles.
            bool rc1 = grn_map.tile(tileOf(at_)).removeWalker(*this);
            DAX_ASSERT(rc1);
            grn_map.tile(tileOf(to_)).addWalker(*this);
            at_.x_ = (at_.x_ + to_.x_) * 0.5f;
            at_.y_ = (at_.y_ + to_.y_) * 0.5f;
            at_.time_ = wake_time_;
            wake_time_ = to_.time_;
            setPhase(kSecondHalf);
            wake = to_.time_;
            return false;
        }
        case kSecondHalf: {
            setPhase(kAtTile);
            uint32_t walked = std::min<uint32_t>(state_ & kStepsWalkedMask, kRnMaxStepsWalked - 1) + 1;
            state_ = (state_ & ~kStepsWalkedMask) | walked;
            at_ = RnWalkerWaypoint{to_.x_, to_.y_, wake_time_};
            arrived = true;
            return true;
        }
        case kAtTile:
            return true;
        default:
            DAX_ASSERT(false);
            return false;
    }
}

DaxGameTime RnWalkerGeneric::finish(DaxGameTime now, bool never_left) {
    RnGenericBuilding* home = grn_game.liveBuilding(home_oid_);
    if (!home) return finishWithoutHome();
    state_ |= kFinished;
    state_ &= ~(kOutcomeLow | kOutcomeHigh);
    if (never_left) state_ |= kOutcomeLow;
    DaxGameTime t = hoursLater(now, 1.0f);
    home->walkerReturned(t, oid_);
    grn_game.updateQueue().schedule(t, home_oid_);
    return t;
}

DaxGameTime RnWalkerGeneric::finishWithoutHome() {
    daxLogMessage(3, 1, "walker [%hd:%hd,%d] stops: its home [%hd:%hd,%d] is gone", oid_.kind_, oid_.type_idx_,
                  oid_.bld_idx_, home_oid_.kind_, home_oid_.type_idx_, home_oid_.bld_idx_);
    releaseTarget();
    forgetPath();
    state_ |= kFinished;
    state_ &= ~(kOutcomeLow | kOutcomeHigh);
    return kRnNoWakeTime;
}

RnMapStep RnWalkerGeneric::stepTowards(DaxDirection dir) const {
    RnMapStep dk{dir, tilePos() + daxDirectionOffset(dir)};
    DAX_ASSERT(grn_map.isOnMap(dk.pos_));
    return dk;
}

RnMapStep RnWalkerGeneric::nextCachedStep() {
    DaxDirection next_dir = popStep();
    DAX_ASSERT(next_dir!=DirNone);
    return stepTowards(next_dir);
}

bool RnWalkerGeneric::isWalkableRoad(const DaxMapPositionI& pos) {
    if (!grn_map.isOnMap(pos)) return false;
    const RnMapTile& tile = grn_map.tile(pos);
    return tile.isWalkable() && tile.isRoad();
}

DaxGameTime RnWalkerGeneric::move(const RnMapStep& step) {
    startMove(step);
    setPhase(kFirstHalf);
    return wake_time_;
}

DaxBitmapIndex RnWalkerImages::imageFor(DaxDirection dir) const {
    // Headings 1 to 4 show "ru", "lo", "lu" and "ro".
    static const int kName[5] = {-1, 1, 2, 3, 0};
    if (dir < DirXPlus || dir > DirYMinus) return kDaxNoBitmap;
    if (found_generation_ != dax_bitmaps.generation()) {
        for (int k = 0; k < 4; ++k) found_[k] = dax_bitmaps.findVariant(names_[k], 0);
        found_generation_ = dax_bitmaps.generation();
    }
    return found_[kName[dir]];
}

// ---------------------------------------------------------------------------
// Searching walkers

RnWalkerSearching::RnWalkerSearching(int16_t kind, const RnObjectID& home, const RnFloodTarget& target,
                                     DaxGameTime t, bool smooth_move)
    : RnWalkerGeneric(kind, home, target.start_pos_, t, smooth_move), amount_(static_cast<uint16_t>(target.amount_)) {
    target_building_oid_ = target.target_oid_;
    cachePath(target.path_, 0);
}

uint16_t RnWalkerSearching::distanceToReturn() const {
    return std::min<uint16_t>(typeDistanceToReturn(), kRnMaxDistanceToReturn);
}

DaxGameTime RnWalkerSearching::update(DaxGameTime now) {
    DaxGameTime wake;
    bool arrived = false;
    if (!advanceMove(now, wake, arrived)) return wake;
    if (!grn_game.liveBuilding(home_oid_)) return finishWithoutHome();
    if (arrived && !isReturning() && stepsWalked() > distanceToReturn()) {
        releaseTarget();
        state_ |= kReturning;
    }
    return decide(now);
}

bool RnWalkerSearching::serveNeighbours() {
    bool served = false;
    const DaxMapPositionI here = tilePos();
    for (int d = DirXPlus; d <= DirYMinus; ++d) {
        DaxMapPositionI p = here + daxDirectionOffset(d);
        if (!grn_map.isOnMap(p)) continue;
        const RnObjectID oid = grn_map.tile(p).oid_;
        // A road never needs anything: most neighbours are roads, so they
        // are passed before any lookup.
        if (!oid.isBuilding() || oid.kind_ == RnIdBldRoad) continue;
        // Nor do the types that never need this walker (a type the game
        // does not know is looked up below, and raises there).
        if (grn_caches.flood_kinds_) {
            const RnGenericBuildingType* type = grn_game.buildingTypeAt(oid.kind_, oid.type_idx_);
            if (type && !mayNeed(*type)) continue;
        }
        RnGenericBuilding& b = grn_game.buildingByOid(oid);
        if (needOf(b, wake_time_) == 0) continue;
        deliverTo(b, wake_time_);
        served = true;
    }
    return served;
}

bool RnWalkerSearching::targetWants(DaxGameTime now) const {
    const RnGenericBuilding* target = grn_game.liveBuilding(target_building_oid_);
    return target && needOf(*target, now) >= amount_;
}

DaxGameTime RnWalkerSearching::decide(DaxGameTime now) {
    if (serveNeighbours()) state_ |= kDelivered;
    if (!target_building_oid_.isNull()) {
        DAX_ASSERT(target_building_oid_.isBuilding());
        if (!grn_game.liveBuilding(target_building_oid_)) {
            // Gone or a ruin: whoever removed it has dealt with its marks.
            target_building_oid_.setNull();
            forgetPath();
        }
    }
    const uint16_t distance_to_return = distanceToReturn();
    RnMapStep step;
    if (!isReturning()) {
        if (cachedSteps() > 0) {
            RnMapStep dk = nextCachedStep();
            if (isWalkableRoad(dk.pos_) && targetWants(now)) step = dk;
        }
        if (step.dir_ == DirNone) {
            releaseTarget();
            if (stepsWalked() < distance_to_return) {
                RnFloodTarget target;
                uint16_t max_dist = static_cast<uint16_t>(distance_to_return - stepsWalked());
                if (findTarget(target, now, max_dist)) {
                    DAX_ASSERT(target.path_.size()>0);
                    RnMapStep dk = stepTowards(target.path_.at(0));
                    cachePath(target.path_, 1);
                    amount_ = static_cast<uint16_t>(target.amount_);
                    target_building_oid_ = target.target_oid_;
                    announceTo(grn_game.buildingByOid(target_building_oid_));
                    // The first step is checked as cached ones are: beside
                    // the walker it leads into the target itself.
                    if (isWalkableRoad(dk.pos_)) step = dk;
                } else {
                    state_ |= kReturning;
                }
            } else {
                state_ |= kReturning;
            }
        }
    }
    if (isReturning() && step.dir_ == DirNone) {
        releaseTarget();
        if (cachedSteps() > 0) {
            RnMapStep dk = nextCachedStep();
            if (isWalkableRoad(dk.pos_)) step = dk;
        }
        if (step.dir_ == DirNone) {
            if (stepsWalked() == 0) return finish(now, true);
            const RnGenericBuilding& home = grn_game.buildingByOid(home_oid_);
            RnPathCache result_path;
            int found = findPathToBuilding(result_path, tilePos(), home, home.buildingType(), distance_to_return);
            if (found == 1) return finish(now);
            if (found == 2) {
                DAX_ASSERT(result_path.size()>0);
                step = stepTowards(result_path.at(0));
                cachePath(result_path, 1);
            }
        }
    }
    if (step.dir_ == DirNone) {
        releaseTarget();
        step = randomRoadNeighbour();
    }
    if (step.dir_ != DirNone && distance_to_return >= stepsWalked() / 2 && stepsWalked() < kRnMaxStepsWalked)
        return move(step);
    releaseTarget();
    forgetPath();
    return finish(now);
}

// ---------------------------------------------------------------------------
// Carrying walkers

void RnWalkerCarrying::releaseTarget() {
    RnGenericBuilding* target = grn_game.liveBuilding(target_building_oid_);
    if (target) target->goodsPromised(goodsType(), -lots());
    target_building_oid_.setNull();
}

void RnWalkerCarrying::recall() {
    state_ |= kFinished;
    releaseTarget();
    RnGenericBuilding* home = grn_game.liveBuilding(home_oid_);
    if (!home) return;
    DaxGameTime t = hoursLater(rnNow(), 1.0f);
    home->walkerReturned(t, oid_);
    grn_game.updateQueue().schedule(t, home_oid_);
}

DaxGameTime RnWalkerCarrying::update(DaxGameTime now) {
    DaxGameTime wake;
    bool arrived = false;
    if (!advanceMove(now, wake, arrived)) return wake;
    if (!grn_game.liveBuilding(home_oid_)) return finishWithoutHome();
    return decide(now);
}

DaxGameTime RnWalkerCarrying::decide(DaxGameTime now) {
    DAX_ASSERT(target_building_oid_.isBuilding());
    RnGenericBuilding* target = grn_game.liveBuilding(target_building_oid_);
    if (!target) {
        target_building_oid_.setNull();
        forgetPath();
        return finish(now);
    }
    const int range = typeRange();
    RnMapStep step;
    if (cachedSteps() > 0) {
        RnMapStep dk = nextCachedStep();
        if (isWalkableRoad(dk.pos_)) {
            step = dk;
        } else {
            // The road changed under the cached path (or it ends in the
            // target itself): the path finder takes over from here.
            forgetPath();
        }
    }
    if (step.dir_ == DirNone) {
        RnPathCache result_path;
        uint16_t max_range = static_cast<uint16_t>(std::min(range, kRnMaxStepsWalked));
        int found = findPathToBuilding(result_path, tilePos(), *target, target->buildingType(), max_range);
        if (found == 2) {
            DAX_ASSERT(result_path.size()>0);
            step = stepTowards(result_path.at(0));
            cachePath(result_path, 1);
        } else if (found == 1) {
            target->goodsDelivered(now, goodsType(), lots());
            target->goodsArrived(now);
            target_building_oid_.setNull();
            state_ |= kFinished | kDelivered;
            return finish(now);
        }
    }
    if (step.dir_ != DirNone && range >= stepsWalked() && stepsWalked() < kRnMaxStepsWalked) return move(step);
    releaseTarget();
    forgetPath();
    return finish(now);
}

// ---------------------------------------------------------------------------
// Save game

namespace {

// The object head and RnWalkerPersData (104 bytes).
template <class Io, class W>
void walkerFields(Io& io, W& w) {
    rnObjectHeadFields(io, w);
    io.time(w.wake_time_);
    io.oid(w.home_oid_);
    io.oid(w.next_walker_);
    io.i32(w.image_);
    for (auto* p : {&w.from_, &w.at_, &w.to_}) {
        io.f32(p->x_);
        io.f32(p->y_);
        io.time(p->time_);
    }
    io.bytes(w.steps_, RnWalkerPersData::kMaxSteps);
    io.oid(w.target_building_oid_);
    io.u32(w.state_);
}

}  // namespace

void RnWalkerSearching::save(RnSaveBuffer& out) const {
    walkerFields(out, *this);
    out.u16(amount_);
}

void RnWalkerSearching::load(RnSaveLoader& in, RnLoadContext& /*ctx*/) {
    walkerFields(in, *this);
    in.u16(amount_);
}

void RnWalkerCarrying::save(RnSaveBuffer& out) const { walkerFields(out, *this); }

void RnWalkerCarrying::load(RnSaveLoader& in, RnLoadContext& /*ctx*/) { walkerFields(in, *this); }
