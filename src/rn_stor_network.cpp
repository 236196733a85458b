// The storage network: its graph and payload tables, the road flood by which
// a storage rebuilds its links, and the transport planner that reads them.
#include "rn_stor_network.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "dax2/dax_error.h"
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
    setEdgeQuietly(node_from, node_to, data);
    linksChanged();
}

void RnStorageNetwork::setEdgeQuietly(int32_t node_from, int32_t node_to, const RnStorNetEdgeData& data) {
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
    removeOutEdgesQuietly(node);
    linksChanged();
}

void RnStorageNetwork::removeOutEdgesQuietly(int32_t node) {
    DAX_ASSERT(gr_.isNodeValid(node));
    std::vector<int32_t> out;
    for (nex::tDiGraph::OutEdgeIterator it(gr_, node); it.edge() != 0; ++it) out.push_back(it.edge());
    for (int32_t e : out) gr_.removeEdge(e);
}

void RnStorageNetwork::replaceOutEdges(int32_t node, const std::vector<OutLink>& links) {
    // What a shortest-path tree reads of the node: its targets and road
    // lengths in the order of its out-list.
    auto shape = [this, node](std::vector<std::pair<int32_t, int16_t>>& out) {
        for (nex::tDiGraph::OutEdgeIterator it(gr_, node); it.edge() != 0; ++it)
            out.emplace_back(it.target(), edges_.at(it.edge() - 1).dist_);
    };
    std::vector<std::pair<int32_t, int16_t>> before;
    shape(before);
    removeOutEdgesQuietly(node);
    for (const OutLink& link : links) setEdgeQuietly(node, link.target_, link.data_);
    std::vector<std::pair<int32_t, int16_t>> after;
    shape(after);
    if (after != before) linksChanged();
}

int32_t RnStorageNetwork::addNode() {
    const int32_t node = gr_.addNode();
    linksChanged();
    return node;
}

void RnStorageNetwork::removeNode(int32_t node) {
    gr_.removeNode(node);
    linksChanged();
}

RnStorageNetwork::PlanTree& RnStorageNetwork::planTreeSlot(int32_t node) const {
    DAX_ASSERT(gr_.isNodeValid(node));
    const size_t limit = static_cast<size_t>(gr_.nodeLimit() - 1);
    if (plan_trees_.size() < limit) plan_trees_.resize(limit);
    PlanTree& tree = plan_trees_[static_cast<size_t>(node - 1)];
    if (!tree.empty() && (tree.node_count_ != gr_.nodeCount() || tree.edge_count_ != gr_.edgeCount())) {
        plan_trees_.clear();
        plan_trees_.resize(limit);
        return plan_trees_[static_cast<size_t>(node - 1)];
    }
    return tree;
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
    network.removeNode(network_node_);
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
    // The links found, put in place of the old ones at the end.
    std::vector<RnStorageNetwork::OutLink> links;

    std::vector<DaxMapPositionI> starts;
    grn_map.adjacentRoads(starts, pos_on_map_.x, pos_on_map_.y, typ.width_, typ.height_);
    if (starts.empty()) {
        network.replaceOutEdges(network_node_, links);
        return;
    }
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
            links.push_back({grn_game.storByOid(target).network_node_, data});
        }
    }
    network.replaceOutEdges(network_node_, links);
}

// ---------------------------------------------------------------------------
// Transport planner

namespace {

// The planner's working tables, kept from one plan to the next so that a
// plan allocates nothing once they have grown to the network.
struct RnStorPlanScratch {
    // By node id, while a tree is built: road length from the sender (9999
    // unreached), the predecessor in the tree (0 none), the position in the
    // queue (-1 not queued) and the index in the settling order (-1 not
    // settled).
    std::vector<int32_t> dist;
    std::vector<int32_t> pred;
    std::vector<int32_t> heap_pos;
    std::vector<int32_t> settled_at;
    // The queue: a four-way heap of node ids keyed by their dist.
    std::vector<int32_t> heap;
    // The nodes in settling order while a tree is built, and the tree when
    // the planner keeps none.
    std::vector<int32_t> settled;
    RnStorageNetwork::PlanTree tree;
    // By settling index: the storage while it stands and the demand of the
    // goods type at hand.
    std::vector<const RnStor*> stor;
    std::vector<double> demand;
    // By out-edge of the sender, in the graph's order: the edge, its target
    // and the target's storage.
    struct Out {
        int32_t edge;
        int32_t target;
        const RnStor* stor;
    };
    std::vector<Out> out;
    std::vector<int16_t> candidates;

    // The child of heap position p with the smallest key (the first of
    // equal ones), -1 without children.
    int32_t minChild(int32_t p) const {
        const int32_t first = 4 * p + 1;
        const int32_t n = static_cast<int32_t>(heap.size());
        if (first >= n) return -1;
        int32_t best = first;
        const int32_t end = first + 4 < n ? first + 4 : n;
        for (int32_t c = first + 1; c < end; ++c)
            if (dist[heap[c]] < dist[heap[best]]) best = c;
        return best;
    }
    void siftUp(int32_t p) {
        const int32_t e = heap[p];
        const int32_t key = dist[e];
        while (p > 0) {
            const int32_t q = (p - 1) / 4;
            const int32_t parent = heap[q];
            if (key >= dist[parent]) break;
            heap[p] = parent;
            heap_pos[parent] = p;
            p = q;
        }
        heap[p] = e;
        heap_pos[e] = p;
    }
    void push(int32_t node) {
        heap.push_back(node);
        siftUp(static_cast<int32_t>(heap.size()) - 1);
    }
    // Removes the node with the smallest dist: the last entry takes the
    // root's place and sinks.
    int32_t popMin() {
        const int32_t root = heap[0];
        heap_pos[root] = -1;
        if (heap.size() > 1) heap[0] = heap.back();
        heap.pop_back();
        if (!heap.empty()) {
            const int32_t m = heap[0];
            int32_t p = 0;
            int32_t c = minChild(0);
            while (c >= 0 && dist[heap[c]] < dist[m]) {
                const int32_t child = heap[c];
                heap[p] = child;
                heap_pos[child] = p;
                p = c;
                c = minChild(c);
            }
            heap[p] = m;
            heap_pos[m] = p;
        }
        return root;
    }
};

thread_local RnStorPlanScratch t_plan;

// The shortest roads from the sender over the links; the tree lists the
// nodes in the order their distance became final.
void buildPlanTree(const RnStorageNetwork& network, int32_t sender, RnStorPlanScratch& sc,
                   RnStorageNetwork::PlanTree& tree) {
    const nex::tDiGraph& gr = network.gr_;
    const size_t limit = static_cast<size_t>(gr.nodeLimit());
    sc.dist.assign(limit, 9999);
    sc.pred.assign(limit, 0);
    sc.heap_pos.assign(limit, -1);
    sc.settled_at.assign(limit, -1);
    sc.heap.clear();
    sc.settled.clear();
    sc.dist[sender] = 0;
    sc.push(sender);
    while (!sc.heap.empty()) {
        const int32_t u = sc.popMin();
        const int d = sc.dist[u];
        sc.settled_at[u] = static_cast<int32_t>(sc.settled.size());
        sc.settled.push_back(u);
        for (nex::tDiGraph::OutEdgeIterator it(gr, u); it.edge() != 0; ++it) {
            const int32_t v = it.target();
            // A link is never shorter than nothing, whatever a file says.
            const int m = d + std::max<int>(0, network.edgeData(it.edge()).dist_);
            if (m >= sc.dist[v]) continue;
            sc.dist[v] = m;
            sc.pred[v] = u;
            if (sc.heap_pos[v] >= 0) {
                sc.siftUp(sc.heap_pos[v]);
            } else {
                sc.push(v);
            }
        }
    }
    // The demand passes to the predecessor, except to the sender itself.
    tree.reached_ = static_cast<int32_t>(sc.settled.size());
    tree.wide_ = gr.nodeLimit() > 0x10000;
    tree.cells_.clear();
    tree.cells_.reserve(static_cast<size_t>((tree.wide_ ? 2 : 1) * tree.reached_ + gr.outDeg(sender)));
    for (const int32_t n : sc.settled) {
        const int32_t j = sc.pred[n];
        const uint32_t pred_cell =
            (j != 0 && j != sender && gr.isNodeValid(j)) ? static_cast<uint32_t>(sc.settled_at[j] + 1) : 0u;
        if (tree.wide_) {
            tree.cells_.push_back(static_cast<uint32_t>(n));
            tree.cells_.push_back(pred_cell);
        } else {
            tree.cells_.push_back(static_cast<uint32_t>(n) | (pred_cell << 16));
        }
    }
    for (nex::tDiGraph::OutEdgeIterator it(gr, sender); it.edge() != 0; ++it)
        tree.cells_.push_back(static_cast<uint32_t>(sc.settled_at[it.target()] + 1));
    tree.node_count_ = gr.nodeCount();
    tree.edge_count_ = gr.edgeCount();
}

// The live storage of the type on a node, null otherwise.
const RnStor* planNodeStor(const RnStorageNetwork& network, int32_t node, int16_t type_idx) {
    const RnGenericBuilding* b = grn_game.liveBuilding(network.nodeObject(node));
    if (b && b->oid_.kind_ == RnIdBldStor && b->oid_.type_idx_ == type_idx) return static_cast<const RnStor*>(b);
    return nullptr;
}

}  // namespace

bool RnStor::planTransport(RnStorTransportPlan& plan) const {
    const RnStorType& type = storType();
    const RnStorageNetwork& network = type.network_;
    const nex::tDiGraph& gr = network.gr_;
    if (gr.nodeCount() < 2 || !gr.isNodeValid(network_node_)) return false;
    const int cap = grn_game.storage_walker_capacity_;
    RnStorPlanScratch& sc = t_plan;
    sc.candidates.clear();
    for (const auto& g : goods_stored_)
        if (g.second.stored_nlots_ >= cap) sc.candidates.push_back(g.first);
    if (sc.candidates.empty()) return false;

    // Only the sender's neighbours can be chosen, and only one that can take
    // a load and holds fewer lots than the sender (or that plus two loads)
    // whatever the demand; a goods type without such a neighbour is passed
    // over, and without any such type the roads further out are not needed.
    const RnStor* self = planNodeStor(network, network_node_, oid_.type_idx_);
    sc.out.clear();
    for (nex::tDiGraph::OutEdgeIterator it(gr, network_node_); it.edge() != 0; ++it)
        sc.out.push_back({it.edge(), it.target(), planNodeStor(network, it.target(), oid_.type_idx_)});
    auto lots = [](const RnStor* s, int16_t g, int& stored, int& total, double& demand) {
        stored = 0;
        total = 0;
        demand = 0.0;
        if (!s) return false;
        auto e = s->goods_stored_.find(g);
        if (e == s->goods_stored_.end()) return false;
        stored = e->second.stored_nlots_;
        total = e->second.stored_nlots_ + e->second.promised_nlots_;
        demand = e->second.demand_;
        return true;
    };
    // Only the goods types with a neighbour that may take them are rated.
    size_t open = 0;
    for (size_t k = 0; k < sc.candidates.size(); ++k) {
        const int16_t g = sc.candidates[k];
        const int capacity = type.capacityForGoods(g);
        int s = 0, total = 0;
        double demand = 0.0;
        lots(self, g, s, total, demand);
        for (const RnStorPlanScratch::Out& o : sc.out) {
            int stored = 0;
            if (lots(o.stor, g, stored, total, demand) && capacity - total >= cap &&
                (total < s || total + 2 * cap < s)) {
                sc.candidates[open++] = g;
                break;
            }
        }
    }
    if (open == 0) return false;
    sc.candidates.resize(open);

    // The sender's tree, kept until the links change.
    const bool keep = grn_caches.stor_trees_;
    RnStorageNetwork::PlanTree* tree = keep ? &network.planTreeSlot(network_node_) : &sc.tree;
    if (!keep || tree->empty() || tree->outCount() != static_cast<int32_t>(sc.out.size()))
        buildPlanTree(network, network_node_, sc, *tree);

    // The storages of the nodes reached, looked up once for every goods type.
    const int32_t reached = tree->reached_;
    sc.stor.resize(static_cast<size_t>(reached));
    sc.demand.resize(static_cast<size_t>(reached));
    for (int32_t i = 0; i < reached; ++i) sc.stor[i] = planNodeStor(network, tree->node(i), oid_.type_idx_);

    double best = 0.0001;
    int32_t chosen_edge = 0;
    int16_t chosen_goods = -1;
    for (int16_t g : sc.candidates) {
        const int capacity = type.capacityForGoods(g);
        for (int32_t i = 0; i < reached; ++i) {
            int stored = 0, total = 0;
            lots(sc.stor[i], g, stored, total, sc.demand[i]);
        }
        // The demand further out flows back towards the sender's neighbours.
        // A node settles after its predecessor, so walking back the settling
        // order hands each node's demand on before its predecessor passes it
        // further.
        for (int32_t i = reached; i-- > 0;) {
            const int32_t j = tree->predAt(i);
            if (j < 0) continue;
            if (sc.demand[j] > sc.demand[i]) sc.demand[j] += sc.demand[i];
        }
        int s = 0, total = 0;
        double demand = 0.0;
        lots(self, g, s, total, demand);
        for (size_t k = 0; k < sc.out.size(); ++k) {
            const RnStorPlanScratch::Out& o = sc.out[k];
            int stored = 0;
            const bool known = lots(o.stor, g, stored, total, demand);
            // A neighbour out of reach (a link of 9999 or more) keeps its own
            // demand.
            const int32_t at = tree->outAt(static_cast<int32_t>(k));
            if (at >= 0) demand = sc.demand[static_cast<size_t>(at)];
            if (!known || capacity - total < cap || !(demand < best)) continue;
            if (total < s && total + demand + 2 * cap < s) {
                best = demand;
            } else if (demand * 0.5 < best && total + 2 * cap < s) {
                best = demand * 0.5;
            } else {
                continue;
            }
            chosen_edge = o.edge;
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
