// Storage buildings: records, placement, removal, the demand balance of the
// linked buildings, the storage network's tables and the transport planner.
// The storage's update, its walkers and the network's links come with their
// own code.
#include "rn_bld_stor.h"

#include <algorithm>
#include <cstring>

#include "dax2/dax_error.h"
#include "nex/tgraph_algo.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_wlk_stor.h"
#include "rn_workforce.h"

RnStor::RnStor(const RnStorType& type, int x, int y) : RnSimpleBuilding(RnIdBldStor, x, y) {
    for (int16_t g : type.distribute_goods_) goods_stored_[g] = RnStorAmountInf();
    DAX_ASSERT(goods_stored_.size()>0);
}

const RnStorType& RnStor::storType() const { return grn_game.storType(oid_.type_idx_); }

// The worker re-check. LATER: the storage's other timers come with its
// own code; until then its update runs the re-check alone.
DaxGameTime RnStor::update(DaxGameTime now) { return rnWorkerStep(*this, now); }

bool RnStor::hasWorkers() const { return rnHasWorkers(*this, RnWorkerReqs(storType().workerReq())); }

void RnStor::updateWorkerRatio() { efficiency_ = rnSingleWorkerRatio(*this, storType().workerReq()); }

void RnStor::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

// LATER: Re-evaluating the stock after a delivery comes with the storage's own code.
void RnStor::goodsArrived(DaxGameTime /*t*/) {}

// LATER: taking returned walkers back (rnCollectFinishedWalkers) comes with
// the building's own code.
void RnStor::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) {}

bool RnStor::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

void RnStor::adjustDemand(int16_t goods, int delta) {
    auto it = goods_stored_.find(goods);
    DAX_ASSERT(it!=goods_stored_.end());
    it->second.demand_ = static_cast<int16_t>(it->second.demand_ + delta);
}

void RnStor::shutDown(const RnStorType& type) {
    if (isDestroyed()) return;
    rnRemoveWorkplace(oid_, RnWorkerReqs(type.workerReq()));
    // LATER: the buildings around it forget it here, once those exist.
    RnStorageNetwork& network = grn_game.storType(oid_.type_idx_).network_;
    if (network.gr_.isNodeValid(network_node_)) network.gr_.removeNode(network_node_);
    network_node_ = 0;
    grn_game.releaseWalkers(oid_);
    goods_stored_.clear();
    rnSpreadOwnAttr(*this, rnNow(), type.own_attr_, 0);
}

RnGenericBuilding* RnStorType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

RnObjectID RnStorType::createBuilding(int x, int y) {
    rnCheckFootprintOnMap(*this, x, y);
    RnStor& obj = rnAddInstance(instances_, *this, RnStor(*this, x, y));
    obj.network_node_ = network_.gr_.addNode();
    network_.setNodeObject(obj.network_node_, obj.oid_);
    rnAddWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    rnPlaceOnMap(obj, floor_image_, image_);
    rnSpreadOwnAttr(obj, rnNow(), 0, own_attr_);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnStorType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnStor& obj = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(obj.pos_on_map_==DaxMapPositionI(tx,ty));
    obj.shutDown(*this);
    // Also for a ruin, whatever its decay did: no sink may outlive the
    // building.
    rnRemoveWorkplace(obj.oid_, RnWorkerReqs(workerReq()));
    obj.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

uint16_t RnStorType::capacityForGoods(int16_t goods) const {
    return distribute_goods_.count(goods) != 0 ? capacity_ : static_cast<uint16_t>(0);
}

// ---------------------------------------------------------------------------
// Storage network

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
            const RnGenericBuilding* b = grn_game.liveBuilding(network.nodeObject(n));
            if (!b || b->oid_.kind_ != RnIdBldStor || b->oid_.type_idx_ != oid_.type_idx_) continue;
            const GoodsMap& goods = static_cast<const RnStor*>(b)->goods_stored_;
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

bool RnStor::findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now,
                                  const std::vector<DaxMapPositionI>& starts, const RnGoodsSet& goods) const {
    RnFloodWalkerProd flood(target, now, goods, false);
    return flood.floodFromStarts(target, oid_, starts, static_cast<uint16_t>(grn_game.prod_walker_range_));
}
