// The storage network: its graph and payload tables, the road flood by which
// a storage rebuilds its links, and the transport planner that reads them.
#include "rn_stor_network.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "dax2/dax_error.h"
#include "nex/tgraph_algo.h"
#include "rn.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathonmap.h"
#include "rn_wlk_stor.h"

void RnStorageNetwork::setNodeObject(int32_t node, const RnObjectID& oid) {
    DAX_ASSERT(gr_.isNodeValid(node));
    if (nodes_.size() < gr_.nodeLimit() - 1) nodes_.resizeFill(gr_.nodeLimit() - 1, RnObjectID());
    nodes_[node - 1] = oid;
}

const RnObjectID& RnStorageNetwork::nodeObject(int32_t node) const { return nodes_.at(node - 1); }

void RnStorageNetwork::setEdge(int32_t node_from, int32_t node_to, const RnStorNetEdgeData& data) {
    DAX_ASSERT(gr_.isNodeValid(node_from));
    DAX_ASSERT(gr_.isNodeValid(node_to));
    int32_t edge = gr_.findEdge(node_from, node_to);
    if (edge == 0) {
        edge = gr_.addEdge(node_from, node_to);
        if (edges_.size() < gr_.edgeLimit() - 1) edges_.resizeFill(gr_.edgeLimit() - 1, RnStorNetEdgeData());
    }
    edges_[edge - 1] = data;
}

const RnStorNetEdgeData& RnStorageNetwork::edgeData(int32_t edge) const { return edges_.at(edge - 1); }

void RnStorageNetwork::removeOutEdges(int32_t node) {
    DAX_ASSERT(gr_.isNodeValid(node));
    std::vector<int32_t> out;
    for (nex::tDiGraph::OutEdgeIterator it(gr_, node); it.edge() != 0; ++it) out.push_back(it.edge());
    for (int32_t e : out) gr_.removeEdge(e);
}

// ---------------------------------------------------------------------------
// The links of a storage

namespace {

// The link flood's record of a road tile: its road distance from the
// nearest start tile, the direction back towards that start (DirNone at a
// start), and the first storage of the type seen beside it.
struct LinkFloodInfo {
    uint16_t dist_ = 9999;
    uint8_t prev_ = DirNone;
    RnObjectID stor_;
};

}  // namespace

void RnStor::removeNetworkNode() {
    RnStorageNetwork& network = grn_game.storType(oid_.type_idx_).network_;
    DAX_ASSERT(network.gr_.isNodeValid(network_node_));
    network.gr_.removeNode(network_node_);
    network_node_ = 0;
}

int RnStor::networkOutDegree() const {
    const nex::tDiGraph& gr = storType().network_.gr_;
    return gr.isNodeValid(network_node_) ? gr.outDeg(network_node_) : 0;
}

void RnStor::updateNetworkLinks() {
    if (isDestroyed()) return;
    const RnStorType& typ = storType();
    RnStorageNetwork& network = grn_game.storType(oid_.type_idx_).network_;
    network.removeOutEdges(network_node_);

    std::vector<DaxMapPositionI> starts;
    grn_map.adjacentRoads(starts, pos_on_map_.x, pos_on_map_.y, typ.width_, typ.height_);
    if (starts.empty()) return;
    const uint16_t range = static_cast<uint16_t>(std::max<int16_t>(grn_game.storage_walker_range_, 0));

    // Every tile the flood can reach lies within range steps of a start.
    RnTileVisits<LinkFloodInfo> visited;
    int x0 = starts[0].x, x1 = starts[0].x, y0 = starts[0].y, y1 = starts[0].y;
    for (const DaxMapPositionI& p : starts) {
        x0 = std::min<int>(x0, p.x);
        x1 = std::max<int>(x1, p.x);
        y0 = std::min<int>(y0, p.y);
        y1 = std::max<int>(y1, p.y);
    }
    const int last = grn_map.size() - 1;
    visited.reset(std::max(0, x0 - range), std::max(0, y0 - range), std::min(last, x1 + range),
                  std::min(last, y1 + range));
    std::vector<DaxMapPositionI>& queue = visited.queue();
    for (const DaxMapPositionI& p : starts) {
        visited.set(p, LinkFloodInfo{0, DirNone, RnObjectID()});
        queue.push_back(p);
    }

    RnOidSeen found;
    std::vector<RnObjectID> found_here;
    uint16_t cur_dist = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
        const DaxMapPositionI pos = queue[i];
        const RnMapTile& tile_here = grn_map.tile(pos);
        DAX_ASSERT(tile_here.isRoad());
        LinkFloodInfo* here = visited.find(pos);
        DAX_ASSERT(here != nullptr);
        LinkFloodInfo& pinf_here = *here;
        DAX_ASSERT(pinf_here.dist_ == cur_dist || pinf_here.dist_ == cur_dist+1);
        cur_dist = std::max(cur_dist, pinf_here.dist_);
        if (pinf_here.dist_ >= range) continue;

        found_here.clear();
        for (int d = DirXPlus; d <= DirYMinus; ++d) {
            const DaxMapPositionI next = pos + daxDirectionOffset(d);
            if (!grn_map.isOnMap(next)) continue;
            const RnObjectID& oid = grn_map.tile(next).oid_;
            if (oid.kind_ == RnIdBldRoad) {
                bool fresh = false;
                visited.reach(next,
                              LinkFloodInfo{static_cast<uint16_t>(pinf_here.dist_ + 1),
                                            static_cast<uint8_t>(daxOppositeDirection(d)), RnObjectID()},
                              fresh);
                if (fresh) queue.push_back(next);
            } else if (oid.kind_ == RnIdBldStor && oid.type_idx_ == oid_.type_idx_ && oid != oid_ &&
                       !grn_game.storByOid(oid).isDestroyed()) {
                if (pinf_here.stor_.isNull()) pinf_here.stor_ = oid;
                if (found.insert(oid)) found_here.push_back(oid);
            }
        }

        // The road back to a start: no link when it passes beside another
        // storage of the type, which would be reached first.
        for (const RnObjectID& target : found_here) {
            RnPathCache steps;
            DaxMapPositionI target_grid_pos = pos;
            uint16_t last_dist = 10000;
            bool blocked = false;
            for (;;) {
                const LinkFloodInfo* it = visited.find(target_grid_pos);
                DAX_ASSERT(it != nullptr);
                const LinkFloodInfo& pinf = *it;
                DAX_ASSERT(pinf.dist_ < last_dist);
                DAX_ASSERT((pinf.dist_==0) == (pinf.prev_==DirNone));
                last_dist = pinf.dist_;
                if (pinf.stor_.isBuilding() && pinf.stor_ != target && pinf.stor_ != oid_ && pinf.dist_ != 0) {
                    blocked = true;
                    break;
                }
                if (pinf.prev_ == DirNone) break;
                if (pinf.dist_ < steps.max_steps_) steps.pushFront(daxOppositeDirection(pinf.prev_));
                target_grid_pos = target_grid_pos + daxDirectionOffset(pinf.prev_);
            }
            if (blocked) continue;
            RnStorNetEdgeData data;
            data.start_ = target_grid_pos;
            data.dist_ = static_cast<int16_t>(pinf_here.dist_);
            data.len_ = static_cast<uint16_t>(steps.size());
            for (int k = 0; k < steps.size(); ++k) data.steps_[k] = static_cast<uint8_t>(steps.at(k));
            network.setEdge(network_node_, grn_game.storByOid(target).network_node_, data);
        }
    }
}

// ---------------------------------------------------------------------------
// Transport planner

namespace {

// What the planner knows of one node of the network.
struct RnStorPlanNode {
    int pred = 0;            // predecessor in the shortest-path tree, 0 none
    int dist = 9999;         // road length from the sender; 9999 unreached
    bool can_receive = false;
    double demand = 0.0;
    int stored = 0;
    int total = 0;           // stored plus promised
    nex::tPrioQueue::Entry* queued = nullptr;  // its queue entry while queued
    const RnStor* stor = nullptr;              // its storage while that stands
};

}  // namespace

bool RnStor::planTransport(RnStorTransportPlan& plan) const {
    const RnStorType& type = storType();
    const RnStorageNetwork& network = type.network_;
    const nex::tDiGraph& gr = network.gr_;
    if (gr.nodeCount() < 2 || !gr.isNodeValid(network_node_)) return false;
    const int cap = grn_game.storage_walker_capacity_;
    std::vector<int16_t> candidates;
    for (const auto& g : goods_stored_)
        if (g.second.stored_nlots_ >= cap) candidates.push_back(g.first);
    if (candidates.empty()) return false;

    // Shortest roads from the sender; settled lists the nodes in the order
    // their distance became final.
    nex::tappend<RnStorPlanNode, 128> nodes;
    nodes.resizeFill(gr.nodeLimit() - 1, RnStorPlanNode());
    auto rec = [&nodes](int32_t node) -> RnStorPlanNode& { return nodes[node - 1]; };
    std::vector<int32_t> settled;
    nex::tPrioQueue queue;
    rec(network_node_).dist = 0;
    rec(network_node_).queued = queue.push(0, network_node_);
    while (!queue.empty()) {
        const int d = queue.peekMin()->key_;
        const int32_t u = queue.popMin();
        rec(u).queued = nullptr;
        settled.push_back(u);
        for (nex::tDiGraph::OutEdgeIterator it(gr, u); it.edge() != 0; ++it) {
            RnStorPlanNode& v = rec(it.target());
            // A link is never shorter than nothing, whatever a file says.
            const int m = d + std::max<int>(0, network.edgeData(it.edge()).dist_);
            if (m >= v.dist) continue;
            if (v.queued) {
                if (m < v.queued->key_) {
                    v.queued->key_ = m;
                    queue.siftUp(v.queued);
                }
            } else {
                v.queued = queue.push(m, it.target());
            }
            v.dist = m;
            v.pred = u;
        }
    }

    // The storages of the nodes, looked up once for every goods type.
    for (int32_t n = gr.firstNode(); n != 0; n = gr.nextNode(n)) {
        const RnGenericBuilding* b = grn_game.liveBuilding(network.nodeObject(n));
        if (b && b->oid_.kind_ == RnIdBldStor && b->oid_.type_idx_ == oid_.type_idx_)
            rec(n).stor = static_cast<const RnStor*>(b);
    }

    double best = 0.0001;
    int32_t chosen_edge = 0;
    int16_t chosen_goods = -1;
    for (int16_t g : candidates) {
        const int capacity = type.capacityForGoods(g);
        for (int32_t n = gr.firstNode(); n != 0; n = gr.nextNode(n)) {
            RnStorPlanNode& r = rec(n);
            r.stored = 0;
            r.total = 0;
            r.demand = 0.0;
            r.can_receive = false;
            if (!r.stor) continue;
            const GoodsMap& goods = r.stor->goods_stored_;
            auto e = goods.find(g);
            if (e == goods.end()) continue;
            r.stored = e->second.stored_nlots_;
            r.total = e->second.stored_nlots_ + e->second.promised_nlots_;
            r.demand = e->second.demand_;
            r.can_receive = capacity - r.total >= cap;
        }
        // The demand further out flows back towards the sender's neighbours.
        // A node settles after its predecessor, so walking back the settling
        // order hands each node's demand on before its predecessor passes it
        // further.
        for (auto it = settled.rbegin(); it != settled.rend(); ++it) {
            const int32_t j = rec(*it).pred;
            if (j == 0 || j == network_node_ || !gr.isNodeValid(j)) continue;
            if (rec(j).demand > rec(*it).demand) rec(j).demand += rec(*it).demand;
        }
        const int s = rec(network_node_).stored;
        for (nex::tDiGraph::OutEdgeIterator it(gr, network_node_); it.edge() != 0; ++it) {
            const RnStorPlanNode& t = rec(it.target());
            if (!t.can_receive || !(t.demand < best)) continue;
            if (t.total < s && t.total + t.demand + 2 * cap < s) {
                best = t.demand;
            } else if (t.demand * 0.5 < best && t.total + 2 * cap < s) {
                best = t.demand * 0.5;
            } else {
                continue;
            }
            chosen_edge = it.edge();
            chosen_goods = g;
        }
    }
    if (chosen_edge == 0) return false;
    const RnStorNetEdgeData& edge = network.edgeData(chosen_edge);
    plan.start_ = edge.start_;
    plan.target_ = network.nodeObject(gr.edgeTarget(chosen_edge));
    plan.goods_type_ = chosen_goods;
    plan.len_ = std::min<uint16_t>(edge.len_, WLK_MAX_PATH_CACHE);
    std::memcpy(plan.steps_, edge.steps_, plan.len_);
    return true;
}
