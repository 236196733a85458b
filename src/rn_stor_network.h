// The storage network of a storage type: a directed graph whose nodes are the
// storages of the type and whose edges lead from a storage to the storages of
// the type it reaches first along the roads, each with the road length and
// the first steps of the road. The storages rebuild their own out-edges
// (RnStor::updateNetworkLinks); the transport planner (RnStor::planTransport)
// reads the graph to move goods towards the storages that need them.
#pragma once

#include <cstdint>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "nex/tappend.h"
#include "nex/tgraph.h"

// A road link of the storage network (24 bytes): where the road starts
// beside the source storage, its length to the tile beside the target, and
// its first steps in walking order.
struct RnStorNetEdgeData {
    DaxMapPositionI start_ = DaxMapPositionI::none();
    int16_t dist_ = 0;
    uint16_t len_ = 0;
    uint8_t steps_[16] = {};
};
static_assert(sizeof(RnStorNetEdgeData) == 24, "storage network edges are 24 bytes");

// The graph with its two payload tables: entry id - 1 of the node table holds
// the storage of node id, entry id - 1 of the edge table the road of edge id.
// Node and edge ids start at 1. Saves keep the graph and both tables as they
// stand. The graph changes only through the methods here (or the loader,
// which calls linksChanged): the transport planner keeps each sender's
// shortest-path tree until the links change.
class RnStorageNetwork {
public:
    // A sender's shortest-path tree as the transport planner reads it: the
    // nodes it reaches in the order their road length became final, each with
    // the settling index of the predecessor it hands its demand to, then for
    // each out-edge of the sender in the graph's order the settling index of
    // its target. Narrow (node ids below 65536): one cell per node, the node
    // in the low half and the predecessor's index plus one in the high half
    // (0 none); wide: two cells, the node and that index plus one. An
    // out-edge's cell holds its target's index plus one (0 out of reach).
    // Built for the graph's node and edge counts at the time, a check against
    // a change that bypassed the methods here.
    struct PlanTree {
        std::vector<uint32_t> cells_;
        int32_t reached_ = 0;
        bool wide_ = false;
        int32_t node_count_ = 0;
        int32_t edge_count_ = 0;

        bool empty() const { return cells_.empty(); }
        int32_t node(int32_t i) const {
            return wide_ ? static_cast<int32_t>(cells_[2 * i]) : static_cast<int32_t>(cells_[i] & 0xFFFFu);
        }
        // The predecessor's settling index, -1 none.
        int32_t predAt(int32_t i) const {
            return static_cast<int32_t>(wide_ ? cells_[2 * i + 1] : cells_[i] >> 16) - 1;
        }
        int32_t outCount() const { return static_cast<int32_t>(cells_.size()) - (wide_ ? 2 : 1) * reached_; }
        // The settling index of the k-th out-edge's target, -1 out of reach.
        int32_t outAt(int32_t k) const { return static_cast<int32_t>(cells_[(wide_ ? 2 : 1) * reached_ + k]) - 1; }
    };

    using NodeTable = nex::tappend<RnObjectID, 128>;
    using EdgeTable = nex::tappend<RnStorNetEdgeData, 128>;

    // The save games' type check of the network: the graph's data signature
    // plus 32.
    static int32_t typeSignature() { return nex::tDiGraph::dataSignature() + 32; }

    // The storage of a node (fatal unless the node is in the graph); the
    // node table grows to the graph's node ids, new entries null.
    void setNodeObject(int32_t node, const RnObjectID& oid);
    const RnObjectID& nodeObject(int32_t node) const;
    // The link from one node to another, added when there is none yet (the
    // edge table grows to the graph's edge ids with default records).
    void setEdge(int32_t node_from, int32_t node_to, const RnStorNetEdgeData& data);
    const RnStorNetEdgeData& edgeData(int32_t edge) const;
    // Drops every link leaving the node (their records stay in the table).
    void removeOutEdges(int32_t node);
    // The links leaving the node replaced by these, in this order: the same
    // steps as removeOutEdges and setEdge for each, but the planner's trees
    // stay when every target and road length is as before.
    struct OutLink {
        int32_t target_;
        RnStorNetEdgeData data_;
    };
    void replaceOutEdges(int32_t node, const std::vector<OutLink>& links);
    // A node for a new storage, and its removal with every link at it.
    int32_t addNode();
    void removeNode(int32_t node);
    // Drops the planner's trees; called on every change of the links.
    void linksChanged() { plan_trees_.clear(); }

    // The planner's tree slot of a sender: empty when there is no tree for
    // the links as they stand (the planner then fills it).
    PlanTree& planTreeSlot(int32_t node) const;

    // The payload tables, for the save games.
    NodeTable& nodeObjects() { return nodes_; }
    const NodeTable& nodeObjects() const { return nodes_; }
    EdgeTable& edgeRecords() { return edges_; }
    const EdgeTable& edgeRecords() const { return edges_; }

    nex::tDiGraph gr_;

private:
    void removeOutEdgesQuietly(int32_t node);
    void setEdgeQuietly(int32_t node_from, int32_t node_to, const RnStorNetEdgeData& data);

    NodeTable nodes_;
    EdgeTable edges_;
    // The planner's trees by node id - 1; never saved.
    mutable std::vector<PlanTree> plan_trees_;
};
