// The workforce network of one people type: houses offer workers (sources),
// workplaces ask for them within a range (sinks), an edge joins each house to
// every workplace whose range reaches it, and workers are assigned along
// shortest augmenting paths as houses grow and shrink and buildings come and
// go. Also the worker requirements of the workplace kinds: registering them,
// whether workers are in reach, and the worker ratio behind efficiency.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "nex/tappend.h"
#include "nex/thash.h"
#include "nex/tgraph.h"
#include "rn_bld_generic.h"

// What a network asks of the buildings it joins. The game's own
// implementation reads the buildings of grn_game and wakes them through its
// update queue; tests and benchmarks install lighter ones.
class RnWorkforceBuildingsIfc {
public:
    virtual ~RnWorkforceBuildingsIfc() = default;
    // The centre of the building's footprint (RnGenericBuilding::centreOnMap).
    virtual DaxMapPositionF centreOnMap(const RnObjectID& oid) = 0;
    // The workers a house offers now (RnHous::curNumWorkers).
    virtual int curNumWorkers(const RnObjectID& house) = 0;
    // Sets how many of a house's workers have a job; returns whether the
    // count changed.
    virtual bool setEmployed(const RnObjectID& house, uint16_t n) = 0;
    // The building's workers changed: it notes a re-check at t and is woken
    // then.
    virtual void workersChanged(const RnObjectID& oid, DaxGameTime t) = 0;
    // The current game time.
    virtual DaxGameTime now() = 0;
};

// The buildings of grn_game.
RnWorkforceBuildingsIfc* rnGameWorkforceBuildings();

// Ascending object id: kind, type index, instance index.
struct RnObjectIDLess {
    bool operator()(const RnObjectID& a, const RnObjectID& b) const {
        if (a.kind_ != b.kind_) return a.kind_ < b.kind_;
        if (a.type_idx_ != b.type_idx_) return a.type_idx_ < b.type_idx_;
        return a.bld_idx_ < b.bld_idx_;
    }
};

// The node of each building by its id: for the building kinds with type
// indices below 64, a table per kind and type by instance index (4 bytes a
// building, where a hashed entry takes 16 at a table three quarters full at
// most); other ids (none in a game) hashed. Saves list the entries by
// ascending id: ordered() sorts them on each call.
class RnOidNodeMap {
public:
    using Entry = std::pair<RnObjectID, int32_t>;

    // The building's node, nullptr (end()) when it has none.
    const int32_t* find(const RnObjectID& oid) const {
        const size_t t = table(oid);
        if (t == kNoTable) return others_.find(oid.word());
        if (t < tables_.size()) {
            const std::vector<int32_t>& v = tables_[t];
            const size_t i = static_cast<size_t>(oid.bld_idx_);
            if (i < v.size() && v[i] != 0) return &v[i];
        }
        // Node 0 (only a damaged save names it) is kept hashed.
        return others_.size() == 0 ? nullptr : others_.find(oid.word());
    }
    const int32_t* end() const { return nullptr; }
    // Adds the building's node or replaces it.
    void set(const RnObjectID& oid, int32_t node);
    // Room for n entries (the tables grow as instance indices come).
    void reserve(size_t n) { (void)n; }
    void erase(const RnObjectID& oid);
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The entries in ascending object id order.
    std::vector<Entry> ordered() const;

private:
    static constexpr size_t kTypesPerKind = 64;
    // Instance indices of tables lie below this (a damaged save may name
    // any).
    static constexpr int32_t kTableIndices = 1 << 22;
    static constexpr size_t kNoTable = ~size_t(0);
    // The table of a building kind and type (RnIdBldRoad to RnIdBldBldr,
    // type index below 64) with an instance index of 0 or more, below
    // kTableIndices; else kNoTable.
    static size_t table(const RnObjectID& oid) {
        const unsigned row = static_cast<unsigned>(oid.kind_ - RnIdBldRoad);
        const unsigned col = static_cast<unsigned>(oid.type_idx_);
        if (row >= RnIdBldBldr || col >= kTypesPerKind || oid.bld_idx_ < 0 || oid.bld_idx_ >= kTableIndices)
            return kNoTable;
        return row * kTypesPerKind + col;
    }

    std::vector<std::vector<int32_t>> tables_;  // by table; 0 for no node
    nex::tHashIndex<int32_t> others_;           // ids without a table, and node 0
    size_t count_ = 0;
};

// Where the nodes of a network stand and in which order they joined its
// node list: finds the nodes that may be in range of a new node without a
// scan of the whole network. Derived from the buildings; not saved.
class RnWorkforceIndex {
public:
    // Houses are kept in cells of this many tiles.
    static constexpr int kHouseCell = 16;
    // Workplaces are kept by range class k (ranges below 2^(k+1)) in cells
    // of 2^(k+1) tiles, so that every workplace that reaches a house lies in
    // the 3 by 3 cells around it.
    static constexpr int kRangeClasses = 16;

    void clear();
    // A node joins at the end of the node list.
    void add(int32_t node, bool is_source, const DaxMapPositionF& centre, uint16_t range);
    void remove(int32_t node, bool is_source, uint16_t range);

    // Appends the houses that may lie within range of centre (a superset of
    // those that do).
    void housesNear(const DaxMapPositionF& centre, uint16_t range, std::vector<int32_t>& out) const;
    // Appends the workplaces whose range may reach centre.
    void sinksNear(const DaxMapPositionF& centre, std::vector<int32_t>& out) const;

    const DaxMapPositionF& centre(int32_t node) const { return places_[static_cast<size_t>(node - 1)].centre; }
    // Rises with every node added: the node list's order.
    uint64_t order(int32_t node) const { return places_[static_cast<size_t>(node - 1)].order; }

private:
    struct Place {
        DaxMapPositionF centre;
        uint64_t order = 0;
    };
    using Cells = std::unordered_map<uint64_t, std::vector<int32_t>>;

    static int rangeClass(uint16_t range);
    static int32_t cellOf(float v, int32_t size);
    static uint64_t key(int32_t cx, int32_t cy);
    static void dropFrom(Cells& cells, uint64_t k, int32_t node);

    std::vector<Place> places_;  // by node id - 1
    uint64_t next_order_ = 0;
    Cells houses_;
    std::array<Cells, kRangeClasses> sinks_;
    std::array<int32_t, kRangeClasses> sink_count_{};
};

// The edges of a workforce network, each kept once: in the list of its
// house, as the workplace it leads to and its id. A workplace keeps no list:
// it has an edge to every house within its range, and the network finds
// those through the positions. Ids are handed out as the directed graph's
// id lists hand them out (a freed id comes back first, the last freed
// before the others), so that the graph a save holds follows from these
// lists and the order the nodes joined in (RnWorkforce::graphImage).
class RnWorkforceGraph {
public:
    // An edge in its house's list.
    struct Out {
        int32_t sink;
        int32_t edge;
    };
    using OutList = std::vector<Out>;

    bool isNodeValid(int32_t n) const { return node_ids_.isValid(n); }
    // Exclusive upper bound of the node ids.
    int32_t nodeLimit() const { return node_ids_.limit(); }
    int32_t nodeCount() const { return node_ids_.count(); }
    // The nodes in the order they joined: first, then next until 0.
    int32_t firstNode() const { return node_ids_.next(0); }
    int32_t nextNode(int32_t n) const { return node_ids_.next(n); }
    int32_t edgeCount() const { return edge_count_; }
    // Exclusive upper bound of the edge ids; 0 before the first edge.
    int32_t edgeLimit() const { return edge_limit_; }

    // A house's edges in list order (ascending join order of their
    // workplaces); empty for a workplace.
    const OutList& out(int32_t n) const { return nodes_[static_cast<size_t>(n)].out; }
    int32_t outDeg(int32_t n) const { return static_cast<int32_t>(out(n).size()); }
    // A workplace's number of edges; 0 for a house.
    int32_t inDeg(int32_t n) const { return nodes_[static_cast<size_t>(n)].in_count; }

    int32_t addNode();
    // Drops a node whose edges are gone.
    void removeNode(int32_t n);
    // A new edge at the end of the house's list; returns its id.
    int32_t addEdge(int32_t house, int32_t sink);
    // Makes room for n more edges in the house's list.
    void reserveOut(int32_t house, size_t n);
    // Drops the edge at pos of the house's list (its id is freed).
    void removeEdge(int32_t house, size_t pos);
    // Drops every edge of a house, in list order.
    void removeEdges(int32_t house);

    // The parts the graph image is made from and a restore fills.
    const nex::tIndexList& nodeIds() const { return node_ids_; }
    // The freed edge ids, the next to be reused last.
    const std::vector<int32_t>& freeEdges() const { return free_edges_; }
    // Replaces everything: the node ids, the edge id limit (0: never used),
    // the freed edge ids and the houses' lists (by node id).
    void restore(const nex::tIndexList& node_ids, int32_t edge_limit, std::vector<int32_t> free_edges,
                 std::vector<OutList> outs);

private:
    struct NodeEdges {
        OutList out;
        int32_t in_count = 0;
    };
    NodeEdges& at(int32_t n) { return nodes_[static_cast<size_t>(n)]; }
    int32_t newEdgeId();

    nex::tIndexList node_ids_;
    std::vector<NodeEdges> nodes_;  // by node id
    int32_t edge_limit_ = 0;
    int32_t edge_count_ = 0;
    std::vector<int32_t> free_edges_;
};

// The network of one people type, held by value in its people type record.
class RnWorkforce {
public:
    // Payload of a node (16 bytes, saved raw).
    struct NodeData {
        RnObjectID oid_;            // the house or workplace
        uint16_t people_ = 0;       // house: workers offered; workplace: workers required
        uint16_t range_ = 0;        // workplace: range of its requirement; house: 0
        bool is_source_ = false;    // a house
        uint16_t ppl_assigned_ = 0; // house: workers with a job; workplace: workers it has

        int16_t pplFree() const { return static_cast<int16_t>(people_ - ppl_assigned_); }
    };
    static_assert(sizeof(NodeData) == 16, "NodeData is saved as 16 raw bytes");

    // Payload of an edge as saved (8 bytes). The network keeps neither: the
    // distance follows from the positions, and only edges that carry
    // workers have a count.
    struct EdgeData {
        uint16_t assigned_ = 0;  // workers of the house working at the workplace
        float dist_ = 0.0f;      // distance of the two centres
    };
    static_assert(sizeof(EdgeData) == 8, "EdgeData is saved as 8 bytes");

    // Label of a node reached by one augmenting-path search.
    struct PathLabel {
        float dist = kUnreached;  // length of the best path found to it
        int16_t cap = 999;        // smallest amount met along that path
        int32_t prev_node = 0;    // previous node of that path, 0 none
        int32_t edge = 0;         // edge from the previous node, 0 none (or not looked up yet)
    };

    // Worker counts of one building for the overview: a house fills the
    // first two, a workplace the last two.
    struct WorkerCounts {
        uint16_t hous_assigned_ = 0;
        uint16_t hous_workers_ = 0;
        uint16_t sink_assigned_ = 0;
        uint16_t sink_jobs_ = 0;
    };

    // The network's graph and edge payloads as a save holds them: the
    // directed graph that the same operations would have left, with every
    // id, list and freed cell where that graph keeps it.
    struct GraphImage {
        tDiGraph graph;
        std::vector<EdgeData> edges;  // by edge id - 1
        const EdgeData& edgeData(int32_t e) const { return edges[static_cast<size_t>(e - 1)]; }
    };

    using NodeSet = std::set<int32_t>;
    using OidNodeMap = RnOidNodeMap;
    using NodeTable = nex::tappend<NodeData, 128>;

    // The distance of a node not yet reached; paths this long are not found.
    static constexpr float kUnreached = 9999.0f;
    // Searches one call of incrementFlow runs at most, plus one.
    static constexpr int kMaxPaths = 99999;
    // The network's layout in the save game's type check.
    static int32_t dataSignature() { return tDiGraph::dataSignature() + 54; }

    RnWorkforce();

    void setPeopleTypeIdx(int16_t idx) { people_type_idx_ = idx; }
    int16_t peopleTypeIdx() const { return people_type_idx_; }
    // The buildings the network talks to; null for the game's own.
    void setBuildings(RnWorkforceBuildingsIfc* buildings);

    // A new house offering workers (0 for a new house): its edges, no
    // assignment.
    void addSource(const RnObjectID& oid, uint16_t workers);
    // The house's offer changed by delta (not 0); the house has changed its
    // count already.
    void updateSource(const RnObjectID& oid, int16_t delta);
    void removeSource(const RnObjectID& oid);
    // A new workplace requiring workers within range; it is staffed at once
    // as far as houses in range have free workers.
    void addSink(const RnObjectID& oid, uint16_t workers, uint16_t range);
    // An unknown id is ignored.
    void removeSink(const RnObjectID& oid);
    // Moves one worker to the workplace from the workplace of a shared house
    // that has the most workers (the farther on a tie); 1 when an assignment
    // changed, else 0.
    int requestMoreWorkers(const RnObjectID& oid);

    // Fills the free capacity of start_node along shortest augmenting paths;
    // the two ends of each path go into chg_nodes.
    void incrementFlow(int32_t start_node, NodeSet& chg_nodes);
    // Tells the buildings of the nodes that their workers changed.
    void setAssignedWorkers(const NodeSet& chg_nodes);
    // Trace of the nodes and their edges (log level 1, class 8).
    void dump(const NodeSet& nodes) const;

    uint16_t pplAssigned(const RnObjectID& oid) const;
    // Workplace: the workers of every house in range, assigned here or not
    // (at most 32767); house: 0.
    int16_t pplInRange(const RnObjectID& oid) const;
    // Writes the building's pair of counts; false when it has no node.
    bool nodeCounts(const RnObjectID& oid, WorkerCounts& counts) const;
    bool hasNodes() const { return !oid_node_map_.empty(); }

    // The building's node, 0 when it has none.
    int32_t nodeOf(const RnObjectID& oid) const;
    int32_t totalWorkers() const { return total_workers_; }
    int32_t totalJobs() const { return total_jobs_; }
    int32_t totalAssignments() const { return total_assignments_; }
    int32_t edgeCount() const { return gr_.edgeCount(); }

    // The raw parts, for the save writer and loader and for checks.
    const OidNodeMap& oidNodeMap() const { return oid_node_map_; }
    const RnWorkforceGraph& graph() const { return gr_; }
    const NodeData& nodeData(int32_t node) const { return node_data_[node - 1]; }
    // The graph and edge payloads a save writes (built on each call).
    GraphImage graphImage() const;
    // Takes the graph and edge payloads of a save, once the node payloads
    // are in place, and rebuilds what is derived from them. False (and the
    // graph left empty) when the image is not what graphImage would give
    // for it: an edge missing between a house and a workplace in its range
    // or joining two out of range, a distance other than the positions
    // give, or ids, lists or freed cells other than the network's
    // operations leave. Such a network would not be saved again as read.
    bool restoreGraph(const GraphImage& image);

private:
    // Fills the raw parts from a save.
    friend class RnSaveLoader;

    // A house as the fatal checks name it.
    struct HouseRef {
        RnWorkforceBuildingsIfc* buildings;
        RnObjectID oid;
        int curNumWorkers() const { return buildings->curNumWorkers(oid); }
    };
    // A node within reach of another, with the distance of their centres.
    struct Near {
        int32_t node;
        float dist;
        uint64_t order;  // the node's join order
    };
    // An edge that carries workers, in the lists of both its ends, in
    // their edge-list order: the other end, the edge and its workers. A
    // search steps against an edge only when it carries workers, so it
    // walks these instead of a whole list, in the same order.
    struct Load {
        int32_t other;
        int32_t edge;
        uint16_t assigned;
    };
    // The derived state of a node.
    struct NodeLinks {
        std::vector<Load> loaded;
        int32_t part = 0;  // its slot in parts_
    };
    // A connected part of the network with the free workers of its houses
    // and the free jobs of its workplaces. Parts are joined by every edge
    // made and never split when nodes go, so a part may hold nodes that are
    // no longer connected: it then counts too much, never too little. A
    // search whose part has no free capacity on the other side cannot end.
    struct Part {
        int32_t parent = 0;
        int32_t size = 1;
        int32_t free_workers = 0;
        int32_t free_jobs = 0;
    };
    // Search scratch of a node: its label, valid while stamp is the
    // current one.
    struct Scratch {
        PathLabel label;
        uint32_t stamp = 0;
    };

    NodeData& node(int32_t n) { return node_data_[n - 1]; }
    NodeLinks& links(int32_t n) { return links_[static_cast<size_t>(n)]; }
    const NodeLinks& links(int32_t n) const { return links_[static_cast<size_t>(n)]; }
    int32_t addNode(const NodeData& data);
    // The distance of a house's and a workplace's centres, as their edge
    // has it.
    float edgeDist(int32_t house, int32_t sink) const {
        return daxDistanceF(index_.centre(house), index_.centre(sink));
    }
    // The houses within a workplace's range, the ends of its edges: in
    // list order (ascending join order) when sorted, else as found.
    // candidates is scratch.
    void housesInRange(int32_t sink, std::vector<int32_t>& candidates, std::vector<Near>& out, bool sorted) const;
    // The place of the edge to sink in the house's list; the list's size
    // when there is none.
    size_t findOut(int32_t house, int32_t sink) const;
    // The edge from house to sink, 0 when there is none.
    int32_t findEdge(int32_t house, int32_t sink) const;
    // The workers an edge carries.
    uint16_t assignedOn(int32_t house, int32_t edge) const;
    // The edge by which a search reached n from its previous node.
    int32_t pathEdge(int32_t n);
    // A house or workplace leaves: its workers are released, the node and
    // its edges go, and the other ends look for work or workers again.
    void removeNode(const RnObjectID& oid, int32_t rem_node);
    // Removes a node whose loaded edges were released, and its edges.
    void dropNode(int32_t n, const RnObjectID& oid);
    // Frees the loaded edges of a node being removed; their other ends go
    // into ends.
    void releaseEdges(int32_t n, NodeSet& ends);
    // The two counts of a node change; every change of people_ and
    // ppl_assigned_ goes through here, to keep the parts' free counts.
    void changePeople(int32_t n, int delta);
    void changeAssigned(int32_t n, int delta);
    // Changes the workers the edge from house to sink carries, keeping the
    // loaded lists.
    void changeEdge(int32_t house, int32_t sink, int32_t e, int delta);
    // Inserts or drops the entry of edge e in n's loaded list.
    void markLoaded(int32_t n, const Load& entry, bool loaded);
    int32_t newPart(const NodeData& data);
    int32_t findPart(int32_t slot);
    void joinParts(int32_t a, int32_t b);
    void rebuildParts();
    // The position index and empty links from the nodes, in node order.
    void rebuildDerived();
    void checkTotals() const;
    // The exact distance of two nodes' centres when it is within range.
    bool inRange(int32_t a, int32_t b, uint16_t range, float& d) const;
    // Orders candidate nodes as the node list does.
    void sortByOrder(std::vector<int32_t>& nodes) const;
    // One shortest-path search from s; the end node found, 0 for none.
    int32_t searchPath(int32_t s, int k, bool trace);
    // incrementFlow's searches, one after another.
    void fillFrom(int32_t start_node, NodeSet& chg_nodes);
    // The houses of workplace n in list order, found once per
    // incrementFlow: [first, last).
    void foundHouses(int32_t n, const Near*& first, const Near*& last);
    const PathLabel& label(int32_t n) const;
    void traceVisited() const;
    void growScratch();

    int16_t people_type_idx_ = -1;
    OidNodeMap oid_node_map_;
    RnWorkforceGraph gr_;
    NodeTable node_data_;
    int32_t total_workers_ = 0;
    int32_t total_jobs_ = 0;
    int32_t total_assignments_ = 0;

    // Derived from the above and the buildings; not saved.
    RnWorkforceBuildingsIfc* buildings_;
    RnWorkforceIndex index_;
    std::vector<NodeLinks> links_;        // by node id
    std::vector<Part> parts_;             // by slot; slots of removed nodes stay until a rebuild
    int32_t dead_parts_ = 0;
    std::vector<Scratch> scratch_;        // by node id
    uint32_t stamp_ = 0;
    std::vector<int32_t> scan_;           // a node enters once, when first labelled
    std::vector<int32_t> candidates_;
    std::vector<Near> near_;
    // The houses of the workplaces a search scanned, kept for the later
    // searches of the same incrementFlow (nothing joins or leaves in
    // between): a span of houses_found_ per node, valid while its mark is
    // the current one.
    struct FoundSpan {
        uint32_t mark = 0;
        uint32_t begin = 0;
        uint32_t end = 0;
    };
    std::vector<Near> houses_found_;
    std::vector<FoundSpan> found_spans_;  // by node id
    uint32_t found_mark_ = 0;
};

// ---------------------------------------------------------------------------
// Worker requirements of the workplace kinds.

// The network of a people type; null for a negative index (a building type
// made without a people type employs nobody and houses no workers).
RnWorkforce* rnWorkforceOf(int16_t ppl_type_idx);

// The worker requirements of a workplace: its type's list, or the one
// requirement of a market or storage type (none without a worker type).
class RnWorkerReqs {
public:
    RnWorkerReqs(const std::vector<RnWorkerReq>& list) : first_(list.data()), last_(list.data() + list.size()) {}
    explicit RnWorkerReqs(const RnWorkerReq& one)
        : first_(&one), last_(&one + (one.ppl_type_idx_ >= 0 ? 1 : 0)) {}
    const RnWorkerReq* begin() const { return first_; }
    const RnWorkerReq* end() const { return last_; }
    size_t size() const { return static_cast<size_t>(last_ - first_); }

private:
    const RnWorkerReq* first_;
    const RnWorkerReq* last_;
};

// A new workplace joins the network of each requirement's people type, in
// list order. Call once the building is active in its instance list.
void rnAddWorkplace(const RnObjectID& oid, RnWorkerReqs reqs);
// The workplace leaves those networks; ids they do not know are ignored, so
// removal may call it whether or not the ruin did already.
void rnRemoveWorkplace(const RnObjectID& oid, RnWorkerReqs reqs);
// The workplace asks the network of each requirement for one more worker
// (the info dialog's worker button); returns how many assignments changed.
// A workplace that is not in a network (a ruin) gets none.
int rnRequestMoreWorkers(const RnObjectID& oid, RnWorkerReqs reqs);
// Whether any house of a needed people type with workers lies in range
// (assigned here or not); false for a ruin.
bool rnHasWorkers(const RnGenericBuilding& b, RnWorkerReqs reqs);
// The fill fraction of one requirement: workers assigned / required.
float rnFillRatio(const RnObjectID& oid, const RnWorkerReq& req);

// The worker ratio of a kind with a requirement list: the mean of the fill
// fractions; 0 for a ruin.
template <class Type>
float rnMeanWorkerRatio(const RnGenericBuilding& b, const Type& typ) {
    if (b.isDestroyed()) return 0.0f;
    float ratio = 0.0f;
    for (const RnWorkerReq& req : typ.worker_reqs_) ratio += rnFillRatio(b.oid_, req);
    DAX_ASSERT(typ.worker_reqs_.size()>0);
    return ratio / static_cast<float>(typ.worker_reqs_.size());
}

// The worker ratio of a kind with one requirement (market, storage); 0 for a
// ruin or without a worker type.
float rnSingleWorkerRatio(const RnGenericBuilding& b, const RnWorkerReq& req);

// The worker step of a workplace's update: once its re-check mark is set and
// its time has come, the worker ratio follows the assignments and the mark
// is cleared. Returns the time the building still wants to be woken for it,
// kRnNoWakeTime for none.
template <class Bld>
DaxGameTime rnWorkerStep(Bld& b, DaxGameTime now) {
    if ((b.flags_ & Bld::kWkfPending) != 0 && now.value() >= b.t_wkf_.value()) {
        b.updateWorkerRatio();
        b.flags_ &= ~Bld::kWkfPending;
    }
    return (b.flags_ & Bld::kWkfPending) != 0 ? b.t_wkf_ : kRnNoWakeTime;
}
