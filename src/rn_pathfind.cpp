// Road floods with their evaluators, the path finder and the plain building
// flood.
#include "rn_pathfind.h"

#include <algorithm>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_road_graph.h"

namespace {

// Path-finder lines go to log kind 4.
constexpr int kPathLogKind = 4;

// The unit steps and the opposites of directions 0 to 4, looked up once.
struct Offsets {
    Offsets() {
        for (int d = DirNone; d <= DirYMinus; ++d) {
            off[d] = daxDirectionOffset(d);
            back[d] = static_cast<uint8_t>(daxOppositeDirection(d));
        }
    }
    DaxMapPositionI off[5];
    uint8_t back[5];
};
const Offsets kSteps;

// The window of a search that reaches at most reach steps from the
// positions given, clipped to the map.
template <class T>
void resetAround(RnTileVisits<T>& visits, const DaxMapPositionI* pos, size_t n, int reach) {
    int x0 = pos[0].x, x1 = pos[0].x, y0 = pos[0].y, y1 = pos[0].y;
    for (size_t i = 1; i < n; ++i) {
        x0 = std::min<int>(x0, pos[i].x);
        x1 = std::max<int>(x1, pos[i].x);
        y0 = std::min<int>(y0, pos[i].y);
        y1 = std::max<int>(y1, pos[i].y);
    }
    int last = grn_map.size() - 1;
    visits.reset(std::max(0, x0 - reach), std::max(0, y0 - reach), std::min(last, x1 + reach),
                 std::min(last, y1 + reach));
}

// How many queued tiles ahead a flood asks for the map tiles it will read.
constexpr size_t kPrefetchAhead = 8;
// How many queued nodes ahead a flood over the road graph asks for the node
// it will expand (the queue seldom runs further ahead than a ring).
constexpr size_t kNodesAhead = 4;

// Brings the map tiles beside pos towards the cache (only those on the map).
void prefetchAround(const DaxMapPositionI& pos) {
    for (int d = DirXPlus; d <= DirYMinus; ++d) {
        const DaxMapPositionI q = pos + kSteps.off[d];
        if (grn_map.isOnMap(q)) __builtin_prefetch(&grn_map.tile(q));
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Floods

void RnFloodTarget::setTarget(const RnObjectID& atarget_oid, int amount) {
    DAX_ASSERT(atarget_oid.isBuilding());
    target_oid_ = atarget_oid;
    amount_ = amount;
}

// How a flood prices a building: the distance weight per road step and, for
// a walker on its way, the home centre whose distance adds to the cost.
struct RnFloodBase::Cost {
    // What the distance from the home adds to the cost of a building on
    // tile p: a factor of 1 without a home.
    float homeFactor(const DaxMapPositionI& p) const {
        if (!from_home) return 1.0f;
        return static_cast<float>(daxManhattanDistanceI(home_centre, p)) * grn_config.path_home_weight_ + 1.0f;
    }

    float dist_weight;
    bool from_home;
    DaxMapPositionI home_centre;
};

RnFloodBase::RnFloodBase(uint16_t tiles_without_houses) : tiles_without_houses_(tiles_without_houses) {}

bool RnFloodBase::keepIfBetter(float score, uint16_t dist, const RnMapStep& step, RnFloodPosInfo& out) {
    if (!(score > best_score_)) return false;
    best_score_ = score;
    target_grid_pos_ = step.pos_;
    out.dist_ = dist;
    out.no_house_dist_ = 0;
    out.prev_ = static_cast<uint8_t>(daxOppositeDirection(step.dir_));
    return true;
}

bool RnFloodBase::floodFromTile(RnFloodTarget& target, const RnObjectID& home, const DaxMapPositionI& start,
                                uint16_t range, uint16_t max_dist) {
    DAX_ASSERT(target.target_oid_.isNull());
    DAX_ASSERT(max_dist > 0);
    DAX_ASSERT(range >= max_dist);
    Cost cost{grn_config.path_dist_weight_, true, grn_game.buildingByOid(home).centreTile()};
    return flood(target, home, &start, 1, max_dist, cost);
}

bool RnFloodBase::floodFromStarts(RnFloodTarget& target, const RnObjectID& own,
                                  const std::vector<DaxMapPositionI>& start_positions, uint16_t max_dist) {
    DAX_ASSERT(target.target_oid_.isNull());
    DAX_ASSERT(max_dist > 0);
    DAX_ASSERT(start_positions.size() > 0);
    Cost cost{0.125f, false, DaxMapPositionI::none()};
    return flood(target, own, start_positions.data(), start_positions.size(), max_dist, cost);
}

bool RnFloodBase::flood(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts,
                        size_t nstarts, uint16_t max_dist, const Cost& cost) {
    best_score_ = 0.0f;
    // Without the skipping every type counts as asked and admitted.
    skip_types_ = grn_caches.flood_kinds_;
    const uint64_t all = skip_types_ ? 0 : ~uint64_t(0);
    std::fill(std::begin(types_asked_), std::end(types_asked_), all);
    std::fill(std::begin(types_admitted_), std::end(types_admitted_), all);
    if (grn_caches.flood_reach_) {
        // A start off the roads ends the flood on the tiles when it comes up
        // (the road graph knows only road tiles).
        bool on_roads = true;
        for (size_t i = 0; i < nstarts && on_roads; ++i)
            on_roads = grn_map.isOnMap(starts[i]) && grn_map.tile(starts[i]).isRoad();
        if (on_roads) return floodGraph(target, skip, starts, nstarts, max_dist, cost);
    }
    return floodTiles(target, skip, starts, nstarts, max_dist, cost);
}

bool RnFloodBase::admitsUnknown(const RnObjectID& oid, unsigned code) {
    bool yes = true;
    if (skip_types_) {
        // A type the game does not know is looked up as before (and raises).
        const RnGenericBuildingType* type = grn_game.buildingTypeAt(oid.kind_, oid.type_idx_);
        yes = !type || admitsType(*type);
    }
    if (code < RnRoadGraph::kTypeCodes) {
        types_asked_[code / 64] |= uint64_t(1) << (code % 64);
        if (yes) types_admitted_[code / 64] |= uint64_t(1) << (code % 64);
    }
    return yes;
}

RnGenericBuilding& RnFloodBase::findBuilding(const RnObjectID& bld) {
    RnGenericBuilding& b = grn_game.buildingByOid(bld);
    if (object_slot_ >= 0) graph_->keepObject(object_slot_, &b);
    return b;
}

template <class At>
void RnFloodBase::traceBack(RnFloodTarget& target, At at) const {
    DAX_ASSERT(!target.target_oid_.isNull());
    DAX_ASSERT(target.target_oid_.isBuilding());
    target.path_.clear();
    DaxMapPositionI p = target_grid_pos_;
    const RnFloodPosInfo* found = at(p, DirNone);
    uint16_t last_dist = 10000;
    for (;;) {
        DAX_ASSERT(found != nullptr);
        const RnFloodPosInfo& pinf = *found;
        DAX_ASSERT(pinf.dist_ < last_dist);
        DAX_ASSERT((pinf.dist_==0) == (pinf.prev_==DirNone));
        last_dist = pinf.dist_;
        if (pinf.prev_ == DirNone) break;
        if (pinf.dist_ < target.path_.max_steps_) target.path_.pushFront(daxOppositeDirection(pinf.prev_));
        p = p + kSteps.off[pinf.prev_];
        found = at(p, pinf.prev_);
    }
    target.start_pos_ = p;
}

bool RnFloodBase::floodTiles(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts,
                             size_t nstarts, uint16_t max_dist, const Cost& cost) {
    RnTileVisits<RnFloodPosInfo> visited;
    RnOidSeen evaluated;
    resetAround(visited, starts, nstarts, max_dist);
    std::vector<DaxMapPositionI>& queue = visited.queue();
    for (size_t i = 0; i < nstarts; ++i) {
        visited.set(starts[i], RnFloodPosInfo{0, 0, DirNone});
        queue.push_back(starts[i]);
    }

    uint16_t cur_dist = 0;
    bool stop = false;
    for (size_t i = 0; i < queue.size() && !stop; ++i) {
        const DaxMapPositionI pos = queue[i];
        // The tiles around a queued tile are read when it is expanded; asking
        // for them a few tiles ahead hides most of the map's cache misses.
        if (i + kPrefetchAhead < queue.size()) prefetchAround(queue[i + kPrefetchAhead]);
        // Only a start can be off the roads: every other tile was queued as a road.
        if (i < nstarts && !grn_map.tile(pos).isRoad()) return false;
        RnFloodPosInfo& pinf_here = *visited.find(pos);
        DAX_ASSERT(pinf_here.dist_ == cur_dist || pinf_here.dist_ == cur_dist+1);
        cur_dist = pinf_here.dist_;
        if (pinf_here.dist_ >= max_dist) continue;
        if (tiles_without_houses_ != 0 && pinf_here.no_house_dist_ > tiles_without_houses_) continue;
        const float w_d = static_cast<float>(pinf_here.dist_) * cost.dist_weight + 1.0f;
        // No building asks for more than 1000: beyond here none can win.
        if (best_score_ > 0.0f && 1000.0f / w_d < best_score_) break;

        // Every neighbour of a tile below max_dist lies in the window, which
        // ends where the map ends.
        RnFloodPosInfo* fresh[4];
        int nfresh = 0;
        for (int d = DirXPlus; d <= DirYMinus; ++d) {
            const RnMapStep dk{d, pos + kSteps.off[d]};
            if (!visited.covers(dk.pos_)) continue;
            const RnObjectID& oid = grn_map.tile(dk.pos_).oid_;
            if (oid.kind_ == RnIdBldRoad) {
                bool is_new;
                RnFloodPosInfo* m = visited.reach(
                    dk.pos_, RnFloodPosInfo{static_cast<uint16_t>(pinf_here.dist_ + 1), kRnFloodUnset, kSteps.back[d]},
                    is_new);
                if (is_new) {
                    fresh[nfresh++] = m;
                    queue.push_back(dk.pos_);
                }
                continue;
            }
            if (oid.kind_ == RnIdBldHous) pinf_here.no_house_dist_ = 0;
            if (oid.isBuilding() && oid != skip && admits(oid, RnRoadGraph::typeCode(oid)) && evaluated.insert(oid)) {
                RnFloodPosInfo out;
                DAX_ASSERT(visited.find(dk.pos_) == nullptr);
                evaluate(oid, static_cast<uint16_t>(pinf_here.dist_ + 1), w_d * cost.homeFactor(dk.pos_), dk, out);
                if (out.dist_ < kRnFloodUnset) visited.set(dk.pos_, out);
                if (satisfied()) {
                    stop = true;
                    break;
                }
            }
        }
        // A house met in a later direction still counts for the tiles found
        // in an earlier one.
        const uint16_t since_house = static_cast<uint16_t>(pinf_here.no_house_dist_ + 1);
        for (int k = 0; k < nfresh; ++k) fresh[k]->no_house_dist_ = std::min(fresh[k]->no_house_dist_, since_house);
    }
    if (target.amount_ == 0) return false;
    traceBack(target, [&visited](const DaxMapPositionI& p, int /*dir*/) { return visited.find(p); });
    return true;
}

// The same walk as floodTiles, node by node of the road graph: the same
// tiles in the same order, the same buildings evaluated in the same order
// with the same distance and cost.
bool RnFloodBase::floodGraph(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts,
                             size_t nstarts, uint16_t max_dist, const Cost& cost) {
    const RnRoadGraph& graph = grn_map.roadGraph();
    const uint64_t version = graph.version();
    const RnRoadGraph::Node* const nodes = graph.nodes();
    RnNodeVisits<RnFloodPosInfo> visited;
    visited.reset(graph.nodeLimit(), graph.slotLimit(), nstarts);
    int32_t* const q = visited.queue();
    for (size_t i = 0; i < nstarts; ++i) {
        const int32_t n = graph.nodeAt(starts[i]);
        DAX_ASSERT(n >= 0);
        visited.set(n, RnFloodPosInfo{0, 0, DirNone});
        q[i] = n;
    }
    // The objects the slots keep, while the instance lists keep them where
    // they were found.
    const bool objects = grn_caches.flood_objects_;
    if (objects) graph.dropObjectsIfMoved(grn_instance_epoch);
    graph_ = &graph;
    // The skipped building counts as met from the start.
    const int32_t skip_slot = skip.isBuilding() ? graph.slotOf(skip) : -1;
    if (skip_slot >= 0) visited.meet(skip_slot);

    const uint16_t limit = tiles_without_houses_;
    size_t tail = nstarts;
    uint16_t cur_dist = 0;
    // The distance weight and the score bound of the current ring.
    float w_d = 1.0f;
    float bound = 0.0f;
    uint16_t weighed_dist = kRnFloodUnset;
    for (size_t i = 0; i < tail; ++i) {
        const int32_t n = q[i];
        // Most nodes the flood expands are not in the cache yet.
        if (i + kNodesAhead < tail) __builtin_prefetch(&nodes[q[i + kNodesAhead]]);
        RnFloodPosInfo& pinf_here = *visited.find(n);
        DAX_ASSERT(pinf_here.dist_ == cur_dist || pinf_here.dist_ == cur_dist+1);
        cur_dist = pinf_here.dist_;
        if (pinf_here.dist_ >= max_dist) continue;
        if (limit != 0 && pinf_here.no_house_dist_ > limit) continue;
        if (pinf_here.dist_ != weighed_dist) {
            weighed_dist = pinf_here.dist_;
            w_d = static_cast<float>(pinf_here.dist_) * cost.dist_weight + 1.0f;
            bound = 1000.0f / w_d;
        }
        if (best_score_ > 0.0f && bound < best_score_) break;

        const RnRoadGraph::Node& node = nodes[n];
        // The house mark is known before the directions: the road tiles found
        // here count from it whichever direction it lies in.
        if (node.house_beside_) pinf_here.no_house_dist_ = 0;
        const uint16_t since_house = std::min(kRnFloodUnset, static_cast<uint16_t>(pinf_here.no_house_dist_ + 1));
        const uint16_t next_dist = static_cast<uint16_t>(pinf_here.dist_ + 1);
        bool stop = false;
        for (int d = DirXPlus; d <= DirYMinus; ++d) {
            const int32_t link = node.link_[d - 1];
            if (RnRoadGraph::isRoadLink(link)) {
                if (visited.reachOnce(link, RnFloodPosInfo{next_dist, since_house, kSteps.back[d]})) q[tail++] = link;
                continue;
            }
            if (!RnRoadGraph::isBuildingLink(link)) continue;
            const int32_t slot = RnRoadGraph::slotOfLink(link);
            // The building's id is read only for a type not asked before.
            const RnObjectID& oid = graph.building(slot);
            if (!admits(oid, node.code_[d - 1]) || !visited.meet(slot)) continue;
            const RnMapStep dk{d, node.pos_ + kSteps.off[d]};
            RnFloodPosInfo out;
            if (objects) {
                object_slot_ = slot;
                object_ = graph.object(slot);
            }
            evaluate(oid, next_dist, w_d * cost.homeFactor(dk.pos_), dk, out);
            object_slot_ = -1;
            object_ = nullptr;
            if (out.dist_ < kRnFloodUnset) visited.buildings().push_back({dk.pos_, out, n});
            if (satisfied()) {
                stop = true;
                break;
            }
        }
        if (stop) break;
    }
    // The evaluations changed no road or building.
    DAX_ASSERT(graph.version() == version);
    if (target.amount_ == 0) return false;
    // From the chosen building's tile to the node it was reached from, then
    // from node to node along the steps back.
    int32_t next = -1;  // the node one step back from the record last given
    auto nodeRecord = [&](int32_t n) -> const RnFloodPosInfo* {
        next = -1;
        const RnFloodPosInfo* found = visited.find(n);
        if (found && found->prev_ != DirNone) {
            const int32_t back = graph.node(n).link_[found->prev_ - 1];
            if (RnRoadGraph::isRoadLink(back)) next = back;
        }
        return found;
    };
    traceBack(target, [&](const DaxMapPositionI& p, int dir) -> const RnFloodPosInfo* {
        if (dir == DirNone) {
            const auto& records = visited.buildings();
            for (auto it = records.rbegin(); it != records.rend(); ++it) {
                if (it->pos != p) continue;
                next = it->node;
                return &it->value;
            }
        } else if (next >= 0 && graph.node(next).pos_ == p) {
            return nodeRecord(next);
        }
        // A record off the usual way: looked up by position.
        const int32_t n = graph.nodeAt(p);
        return n < 0 ? nullptr : nodeRecord(n);
    });
    return true;
}

RnFloodWalkerBldr::RnFloodWalkerBldr(RnFloodTarget& target, DaxGameTime now, const RnObjectID& builder)
    : RnFloodBase(0), now_(now), key_(builder), target_(target) {}

void RnFloodWalkerBldr::evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                                 RnFloodPosInfo& out) {
    uint16_t amount = buildingOf(bld).materialNeed(now_, key_);
    if (amount != 0 && keepIfBetter(static_cast<float>(amount) / cost, dist, step, out))
        target_.setTarget(bld, amount);
}

RnFloodWalkerMrkt::RnFloodWalkerMrkt(RnFloodTarget& target, DaxGameTime now, const RnObjectID& market,
                                     uint16_t tiles_without_houses)
    : RnFloodBase(tiles_without_houses), now_(now), key_(market), target_(target) {}

void RnFloodWalkerMrkt::evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                                 RnFloodPosInfo& out) {
    uint16_t amount = buildingOf(bld).marketNeed(now_, key_);
    if (amount != 0 && keepIfBetter(static_cast<float>(amount) / cost, dist, step, out))
        target_.setTarget(bld, amount);
}

RnFloodWalkerServ::RnFloodWalkerServ(RnFloodTarget& target, DaxGameTime now, int16_t service,
                                     uint16_t tiles_without_houses)
    : RnFloodBase(tiles_without_houses), now_(now), key_(service), target_(target) {}

void RnFloodWalkerServ::evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                                 RnFloodPosInfo& out) {
    uint16_t amount = buildingOf(bld).serviceNeed(now_, key_, 1);
    if (amount != 0 && keepIfBetter(static_cast<float>(amount) / cost, dist, step, out))
        target_.setTarget(bld, amount);
}

RnFloodWalkerProd::RnFloodWalkerProd(RnFloodTargetProd& target, DaxGameTime now, const RnGoodsSet& goods,
                                     bool allow_storages)
    : RnFloodBase(0), now_(now), allow_storages_(allow_storages), goods_(goods), target_(target) {}

bool RnFloodWalkerProd::admitsType(const RnGenericBuildingType& type) const {
    if (type.kind() == RnIdBldStor && !allow_storages_) return false;
    return std::any_of(goods_.begin(), goods_.end(), [&type](int16_t g) { return type.mayNeedGoods(g); });
}

void RnFloodWalkerProd::evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                                 RnFloodPosInfo& out) {
    if (bld.kind_ == RnIdBldStor && !allow_storages_) return;
    RnGenericBuilding& b = buildingOf(bld);
    for (int16_t goods : goods_) {
        uint16_t amount = b.goodsNeed(now_, goods, true);
        if (amount != 0 && keepIfBetter(static_cast<float>(amount) / cost, dist, step, out)) {
            target_.setTarget(bld, amount);
            target_.goods_type_ = goods;
        }
    }
}

// ---------------------------------------------------------------------------
// Path finder

RnMapFloodPathFinder::RnMapFloodPathFinder(const DaxMapPositionI& start, const RnGenericBuilding& building,
                                           const RnGenericBuildingType& type)
    : start_(start),
      anchor_(building.pos_on_map_),
      width_(type.width_),
      height_(type.height_),
      radius_(static_cast<uint16_t>(std::max(type.width_, type.height_))) {
    grn_map.adjacentRoads(targets_, anchor_.x, anchor_.y, width_, height_);
    if (dax_config.logEnabled(2, kPathLogKind)) {
        for (const DaxMapPositionI& t : targets_) daxLogMessage(2, kPathLogKind, "trg tile=(%d,%d)", t.x, t.y);
    }
}

bool RnMapFloodPathFinder::isTarget(const DaxMapPositionI& p) const {
    // The target tiles lie around the footprint: most tiles fail here.
    if (p.x < anchor_.x - width_ || p.x > anchor_.x + 1 || p.y < anchor_.y - height_ || p.y > anchor_.y + 1)
        return false;
    return std::find(targets_.begin(), targets_.end(), p) != targets_.end();
}

void RnMapFloodPathFinder::search(uint16_t max_range) {
    result_ = 0;
    found_ = DaxMapPositionI::none();
    if (isTarget(start_)) {
        found_ = start_;
        result_ = 1;
        return;
    }
    if (!grn_map.isOnMap(start_) || !grn_map.tile(start_).isRoad()) return;
    const bool trace = dax_config.logEnabled(1, kPathLogKind);
    if (trace) daxLogMessage(1, kPathLogKind, "RnMapFloodPathFinder: start=(%d,%d)", start_.x, start_.y);
    // New tiles must lie closer to the anchor than this; a start further out
    // than one step beyond it can reach none.
    const int bound = radius_ + max_range;
    if (daxManhattanDistanceI(anchor_, start_) > bound) {
        if (trace) daxLogMessage(2, kPathLogKind, "start %3d (%3d,%3d) dir=%d len=%d", 1, start_.x, start_.y, 0, 0);
        return;
    }
    resetAround(visited_, &anchor_, 1, bound);
    std::vector<DaxMapPositionI>& queue_ = visited_.queue();
    visited_.set(start_, PathInfo{DirNone, 0});
    queue_.push_back(start_);
    if (trace)
        daxLogMessage(2, kPathLogKind, "start %3d (%3d,%3d) dir=%d len=%d", static_cast<int>(queue_.size()),
                      start_.x, start_.y, 0, 0);

    for (size_t i = 0; i < queue_.size() && result_ == 0; ++i) {
        const DaxMapPositionI pos = queue_[i];
        const RnMapTile& tile = grn_map.tile(pos);
        DAX_ASSERT(tile.isRoad());
        const PathInfo data = *visited_.find(pos);
        if (trace)
            daxLogMessage(2, kPathLogKind, "entry %3d (%3d,%3d) dir=%d len=%d", static_cast<int>(i), pos.x, pos.y,
                          data.dir_, data.length_);
        for (int d = DirXPlus; d <= DirYMinus; ++d) {
            const RnMapStep dk{d, pos + kSteps.off[d]};
            if (!grn_map.isOnMap(dk.pos_) || !grn_map.tile(dk.pos_).isRoad()) continue;
            const int len = data.length_ + 1;
            PathInfo* it_visited = visited_.find(dk.pos_);
            if (!it_visited) {
                if (daxManhattanDistanceI(anchor_, dk.pos_) >= bound) {
                    if (trace)
                        daxLogMessage(2, kPathLogKind, "newnb %3d (%3d,%3d) dir=%d len=%d -> skip because bound",
                                      static_cast<int>(queue_.size()), dk.pos_.x, dk.pos_.y, d, len);
                    continue;
                }
                if (data.length_ > max_range) {
                    if (trace)
                        daxLogMessage(2, kPathLogKind, "newnb %3d (%3d,%3d) dir=%d len=%d -> skip because max_range",
                                      static_cast<int>(queue_.size()), dk.pos_.x, dk.pos_.y, d, len);
                    continue;
                }
                if (trace)
                    daxLogMessage(2, kPathLogKind, "newnb %3d (%3d,%3d) dir=%d len=%d",
                                  static_cast<int>(queue_.size()), dk.pos_.x, dk.pos_.y, d, len);
                DAX_ASSERT(visited_.find(queue_.back())->length_ <=data.length_+1);
                visited_.set(dk.pos_, PathInfo{static_cast<uint8_t>(d), static_cast<uint16_t>(len)});
                queue_.push_back(dk.pos_);
            } else {
                if (trace)
                    daxLogMessage(2, kPathLogKind, "found %3d (%3d,%3d) dir=%d len=%d", -1, dk.pos_.x, dk.pos_.y,
                                  it_visited->dir_, it_visited->length_);
                DAX_ASSERT(it_visited->length_+1 >= data.length_);
                DAX_ASSERT(data.length_+1 >= it_visited->length_);
            }
            if (isTarget(dk.pos_)) {
                found_ = dk.pos_;
                DAX_ASSERT(dk.dir_ != DirNone);
                result_ = 2;
                break;
            }
        }
    }
}

int RnMapFloodPathFinder::tracePath(RnPathCache& path) {
    path.clear();
    if (result_ != 2) return result_;
    DaxMapPositionI p = found_;
    PathInfo data;
    for (;;) {
        const PathInfo* it_visited = visited_.find(p);
        DAX_ASSERT(it_visited != nullptr);
        data = *it_visited;
        if (data.dir_ == DirNone) break;
        if (data.length_ <= path.max_steps_) path.pushFront(data.dir_);
        p = p + kSteps.off[daxOppositeDirection(data.dir_)];
    }
    DAX_ASSERT(data.length_ == 0);
    return result_;
}

int findPathToBuilding(RnPathCache& path, const DaxMapPositionI& start, const RnGenericBuilding& building,
                       const RnGenericBuildingType& type, uint16_t max_range) {
    RnMapFloodPathFinder finder(start, building, type);
    finder.search(max_range);
    return finder.tracePath(path);
}

// ---------------------------------------------------------------------------
// Plain building flood

void RnMaterialNeededVisitor::visit(const RnObjectID& bld, int /*dist*/) {
    grn_game.buildingByOid(bld).listMaterials(goods_);
}

void floodVisitBuildings(const RnGenericBuilding& building, uint16_t max_dist, RnMapFlooderVisitor& visitor) {
    const RnGenericBuildingType& type = building.buildingType();
    std::vector<DaxMapPositionI> starts;
    grn_map.adjacentRoads(starts, building.pos_on_map_.x, building.pos_on_map_.y, type.width_, type.height_);
    if (dax_config.logEnabled(2, kPathLogKind)) {
        for (const DaxMapPositionI& s : starts) daxLogMessage(2, kPathLogKind, "start tile=(%d,%d)", s.x, s.y);
    }
    if (starts.empty()) return;
    RnOidSeen met;
    met.insert(building.oid_);
    RnTileVisits<int> visited;
    resetAround(visited, starts.data(), starts.size(), max_dist);
    std::vector<DaxMapPositionI>& queue = visited.queue();
    for (const DaxMapPositionI& s : starts) {
        visited.set(s, 1);
        queue.push_back(s);
    }
    for (size_t i = 0; i < queue.size(); ++i) {
        const DaxMapPositionI pos = queue[i];
        const RnMapTile& tile = grn_map.tile(pos);
        DAX_ASSERT(tile.isRoad());
        const int dist = *visited.find(pos);
        // Buildings are looked for around every tile, roads followed only
        // below the distance.
        for (int d = DirXPlus; d <= DirYMinus; ++d) {
            const RnMapStep dk{d, pos + kSteps.off[d]};
            if (!grn_map.isOnMap(dk.pos_)) continue;
            const RnObjectID& oid = grn_map.tile(dk.pos_).oid_;
            if (oid.kind_ == RnIdBldRoad) {
                if (dist >= max_dist) continue;
                const int* known = visited.find(dk.pos_);
                if (!known) {
                    visited.set(dk.pos_, dist + 1);
                    queue.push_back(dk.pos_);
                } else {
                    const int dk_dist = *known;
                    DAX_ASSERT(dk_dist >= dist-1);
                    DAX_ASSERT(dist+1 >= dk_dist);
                }
            } else if (oid.isBuilding() && met.insert(oid)) {
                visitor.visit(oid, dist);
            }
        }
    }
}
