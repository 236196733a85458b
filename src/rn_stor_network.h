// The storage network of a storage type: a directed graph whose nodes are the
// storages of the type and whose edges lead from a storage to the storages of
// the type it reaches first along the roads, each with the road length and
// the first steps of the road. The storages rebuild their own out-edges
// (RnStor::updateNetworkLinks); the transport planner (RnStor::planTransport)
// reads the graph to move goods towards the storages that need them.
#pragma once

#include <cstdint>

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
// stand.
class RnStorageNetwork {
public:
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

    // The payload tables, for the save games.
    NodeTable& nodeObjects() { return nodes_; }
    const NodeTable& nodeObjects() const { return nodes_; }
    EdgeTable& edgeRecords() { return edges_; }
    const EdgeTable& edgeRecords() const { return edges_; }

    nex::tDiGraph gr_;

private:
    NodeTable nodes_;
    EdgeTable edges_;
};
