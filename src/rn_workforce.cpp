// The workforce network: nodes and edges, the augmenting-path assignment,
// the notices to the buildings, the traces; and the worker requirements of
// the workplace kinds.
#include "rn_workforce.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "rn_bld_hous.h"
#include "rn_game.h"

namespace {

// Log class of the workforce traces.
constexpr int kTrace = 8;

// Grows a table by node id to n entries. Nodes join one at a time, so the
// tables grow by an eighth at a time rather than double: a doubled table
// would hold up to half again as much unused room for the life of the town.
template <class T>
void growTo(std::vector<T>& v, size_t n) {
    if (v.size() >= n) return;
    if (n > v.capacity()) v.reserve(n + n / 8 + 16);
    v.resize(n);
}

// The buildings of grn_game: houses and workplaces are looked up by id and
// woken through the game's update queue.
class RnGameWorkforceBuildings : public RnWorkforceBuildingsIfc {
public:
    DaxMapPositionF centreOnMap(const RnObjectID& oid) override { return grn_game.buildingByOid(oid).centreOnMap(); }
    int curNumWorkers(const RnObjectID& house) override { return grn_game.housByOid(house).curNumWorkers(); }
    bool setEmployed(const RnObjectID& house, uint16_t n) override {
        RnHous& h = grn_game.housByOid(house);
        bool changed = h.employed() != n;
        h.setEmployed(n);
        return changed;
    }
    void workersChanged(const RnObjectID& oid, DaxGameTime t) override {
        grn_game.buildingByOid(oid).workersChanged(t);
        grn_game.updateQueue().schedule(t, oid);
    }
    DaxGameTime now() override { return rnNow(); }
};

RnGameWorkforceBuildings g_game_buildings;

// Whether two tables hold the same records, byte for byte.
template <class T, int B>
bool sameTable(const nex::tappend<T, B>& a, const nex::tappend<T, B>& b) {
    if (a.size() != b.size()) return false;
    for (int32_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a.unchecked(i), &b.unchecked(i), sizeof(T)) != 0) return false;
    return true;
}

bool sameIdList(const nex::tIndexList& a, const nex::tIndexList& b) {
    return std::memcmp(&a.head(), &b.head(), sizeof(nex::tIndexList::Head_)) == 0 && sameTable(a.links(), b.links());
}

// Whether two graphs would be saved as the same bytes.
bool sameGraph(const tDiGraph& a, const tDiGraph& b) {
    return sameIdList(a.nodeIdList(), b.nodeIdList()) && sameIdList(a.edgeIdList(), b.edgeIdList()) &&
           sameTable(a.edgeTable(), b.edgeTable()) && sameTable(a.nodeTable(), b.nodeTable()) &&
           std::memcmp(&a.adjacencyHead(), &b.adjacencyHead(), sizeof(tDiGraph::AdjPool)) == 0 &&
           sameTable(a.adjacencyLinks(), b.adjacencyLinks());
}

}  // namespace

RnWorkforceBuildingsIfc* rnGameWorkforceBuildings() { return &g_game_buildings; }

// ---------------------------------------------------------------------------
// The nodes of the buildings.

void RnOidNodeMap::set(const RnObjectID& oid, int32_t node) {
    const size_t t = table(oid);
    if (t == kNoTable || node == 0) {
        erase(oid);
        bool added = false;
        *others_.findOrAdd(oid.word(), added) = node;
        ++count_;
        return;
    }
    if (others_.size() != 0) erase(oid);
    if (tables_.size() <= t) tables_.resize(t + 1);
    std::vector<int32_t>& v = tables_[t];
    const size_t i = static_cast<size_t>(oid.bld_idx_);
    // Instance indices come one after another, as node ids do.
    growTo(v, i + 1);
    if (v[i] == 0) ++count_;
    v[i] = node;
}

void RnOidNodeMap::erase(const RnObjectID& oid) {
    int32_t gone = 0;
    if (others_.size() != 0 && others_.take(oid.word(), gone)) --count_;
    const size_t t = table(oid);
    if (t >= tables_.size()) return;
    std::vector<int32_t>& v = tables_[t];
    const size_t i = static_cast<size_t>(oid.bld_idx_);
    if (i < v.size() && v[i] != 0) {
        v[i] = 0;
        --count_;
    }
}

std::vector<RnOidNodeMap::Entry> RnOidNodeMap::ordered() const {
    std::vector<Entry> out;
    out.reserve(count_);
    for (size_t t = 0; t < tables_.size(); ++t) {
        const std::vector<int32_t>& v = tables_[t];
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i] == 0) continue;
            RnObjectID oid;
            oid.kind_ = static_cast<int16_t>(RnIdBldRoad + static_cast<int>(t / kTypesPerKind));
            oid.type_idx_ = static_cast<int16_t>(t % kTypesPerKind);
            oid.bld_idx_ = static_cast<int32_t>(i);
            out.emplace_back(oid, v[i]);
        }
    }
    others_.forEach([&out](uint64_t k, int32_t node) { out.emplace_back(RnObjectID::fromWord(k), node); });
    std::sort(out.begin(), out.end(),
              [](const Entry& a, const Entry& b) { return RnObjectIDLess()(a.first, b.first); });
    return out;
}

// ---------------------------------------------------------------------------
// The index of node positions.

void RnWorkforceIndex::clear() {
    places_.clear();
    next_order_ = 0;
    houses_.clear();
    for (Cells& c : sinks_) c.clear();
    sink_count_.fill(0);
}

int RnWorkforceIndex::rangeClass(uint16_t range) {
    int k = 0;
    while (k < kRangeClasses - 1 && (range >> (k + 1)) != 0) ++k;
    return k;
}

int32_t RnWorkforceIndex::cellOf(float v, int32_t size) {
    return static_cast<int32_t>(std::floor(v / static_cast<float>(size)));
}

uint64_t RnWorkforceIndex::key(int32_t cx, int32_t cy) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) | static_cast<uint32_t>(cy);
}

void RnWorkforceIndex::dropFrom(Cells& cells, uint64_t k, int32_t node) {
    auto it = cells.find(k);
    if (it == cells.end()) return;
    std::vector<int32_t>& v = it->second;
    auto pos = std::find(v.begin(), v.end(), node);
    if (pos == v.end()) return;
    *pos = v.back();
    v.pop_back();
    if (v.empty()) cells.erase(it);
}

void RnWorkforceIndex::add(int32_t node, bool is_source, const DaxMapPositionF& centre, uint16_t range) {
    growTo(places_, static_cast<size_t>(node));
    places_[static_cast<size_t>(node - 1)] = Place{centre, next_order_++};
    if (is_source) {
        houses_[key(cellOf(centre.x, kHouseCell), cellOf(centre.y, kHouseCell))].push_back(node);
    } else {
        int k = rangeClass(range);
        int32_t size = 2 << k;
        sinks_[static_cast<size_t>(k)][key(cellOf(centre.x, size), cellOf(centre.y, size))].push_back(node);
        ++sink_count_[static_cast<size_t>(k)];
    }
}

void RnWorkforceIndex::remove(int32_t node, bool is_source, uint16_t range) {
    const DaxMapPositionF& c = centre(node);
    if (is_source) {
        dropFrom(houses_, key(cellOf(c.x, kHouseCell), cellOf(c.y, kHouseCell)), node);
    } else {
        int k = rangeClass(range);
        int32_t size = 2 << k;
        dropFrom(sinks_[static_cast<size_t>(k)], key(cellOf(c.x, size), cellOf(c.y, size)), node);
        --sink_count_[static_cast<size_t>(k)];
    }
}

void RnWorkforceIndex::housesNear(const DaxMapPositionF& centre, uint16_t range, std::vector<int32_t>& out) const {
    // One tile more than the range, so that no rounding of the distance
    // leaves a house in range outside the cells looked at.
    float r = static_cast<float>(range) + 1.0f;
    int32_t x0 = cellOf(centre.x - r, kHouseCell);
    int32_t x1 = cellOf(centre.x + r, kHouseCell);
    int32_t y0 = cellOf(centre.y - r, kHouseCell);
    int32_t y1 = cellOf(centre.y + r, kHouseCell);
    int64_t cells = (static_cast<int64_t>(x1) - x0 + 1) * (static_cast<int64_t>(y1) - y0 + 1);
    if (cells > static_cast<int64_t>(houses_.size())) {
        // A range wider than the town: every house is a candidate.
        for (const auto& cell : houses_) out.insert(out.end(), cell.second.begin(), cell.second.end());
        return;
    }
    for (int32_t cx = x0; cx <= x1; ++cx) {
        for (int32_t cy = y0; cy <= y1; ++cy) {
            auto it = houses_.find(key(cx, cy));
            if (it != houses_.end()) out.insert(out.end(), it->second.begin(), it->second.end());
        }
    }
}

void RnWorkforceIndex::sinksNear(const DaxMapPositionF& centre, std::vector<int32_t>& out) const {
    for (int k = 0; k < kRangeClasses; ++k) {
        if (sink_count_[static_cast<size_t>(k)] == 0) continue;
        const Cells& cells = sinks_[static_cast<size_t>(k)];
        int32_t size = 2 << k;
        int32_t cx = cellOf(centre.x, size);
        int32_t cy = cellOf(centre.y, size);
        for (int32_t dx = -1; dx <= 1; ++dx) {
            for (int32_t dy = -1; dy <= 1; ++dy) {
                auto it = cells.find(key(cx + dx, cy + dy));
                if (it != cells.end()) out.insert(out.end(), it->second.begin(), it->second.end());
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The edges.

int32_t RnWorkforceGraph::addNode() {
    const int32_t n = node_ids_.append();
    growTo(nodes_, static_cast<size_t>(node_ids_.limit()));
    at(n) = NodeEdges();
    return n;
}

void RnWorkforceGraph::removeNode(int32_t n) {
    at(n) = NodeEdges();
    node_ids_.free(n);
}

int32_t RnWorkforceGraph::newEdgeId() {
    ++edge_count_;
    if (!free_edges_.empty()) {
        const int32_t e = free_edges_.back();
        free_edges_.pop_back();
        return e;
    }
    // Id 0 is never an edge: a list used for the first time starts at 1.
    if (edge_limit_ == 0) edge_limit_ = 1;
    return edge_limit_++;
}

int32_t RnWorkforceGraph::addEdge(int32_t house, int32_t sink) {
    const int32_t e = newEdgeId();
    OutList& out = at(house).out;
    // Lists grow one edge at a time as workplaces join, and hold most of the
    // network's bytes: a sixteenth more room at a time keeps the unused part
    // small (the copies come only as buildings are placed).
    if (out.size() == out.capacity()) out.reserve(out.size() + out.size() / 16 + 4);
    out.push_back(Out{sink, e});
    ++at(sink).in_count;
    return e;
}

void RnWorkforceGraph::reserveOut(int32_t house, size_t n) { at(house).out.reserve(at(house).out.size() + n); }

void RnWorkforceGraph::removeEdge(int32_t house, size_t pos) {
    OutList& out = at(house).out;
    const Out gone = out[pos];
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(pos));
    --at(gone.sink).in_count;
    free_edges_.push_back(gone.edge);
    --edge_count_;
}

void RnWorkforceGraph::removeEdges(int32_t house) {
    OutList& out = at(house).out;
    for (const Out& o : out) {
        --at(o.sink).in_count;
        free_edges_.push_back(o.edge);
    }
    edge_count_ -= static_cast<int32_t>(out.size());
    OutList().swap(out);
}

void RnWorkforceGraph::restore(const nex::tIndexList& node_ids, int32_t edge_limit, std::vector<int32_t> free_edges,
                               std::vector<OutList> outs) {
    node_ids_ = node_ids;
    nodes_.assign(static_cast<size_t>(node_ids_.limit()), NodeEdges());
    edge_limit_ = edge_limit;
    free_edges_ = std::move(free_edges);
    edge_count_ = 0;
    for (size_t n = 0; n < outs.size() && n < nodes_.size(); ++n) {
        nodes_[n].out = std::move(outs[n]);
        edge_count_ += static_cast<int32_t>(nodes_[n].out.size());
        for (const Out& o : nodes_[n].out) ++at(o.sink).in_count;
    }
}

// ---------------------------------------------------------------------------
// The network.

RnWorkforce::RnWorkforce() : buildings_(rnGameWorkforceBuildings()) {}

void RnWorkforce::setBuildings(RnWorkforceBuildingsIfc* buildings) {
    buildings_ = buildings ? buildings : rnGameWorkforceBuildings();
}

int32_t RnWorkforce::nodeOf(const RnObjectID& oid) const {
    auto it = oid_node_map_.find(oid);
    return it == oid_node_map_.end() ? 0 : *it;
}

void RnWorkforce::checkTotals() const {
    DAX_ASSERT(total_assignments_ >= 0);
    DAX_ASSERT(total_assignments_ <= total_workers_);
    DAX_ASSERT(total_assignments_ <= total_jobs_);
}

void RnWorkforce::growScratch() {
    size_t n = static_cast<size_t>(gr_.nodeLimit());
    growTo(links_, n);
    growTo(scratch_, n);
}

// --- Parts ------------------------------------------------------------------

int32_t RnWorkforce::newPart(const NodeData& data) {
    Part p;
    p.parent = static_cast<int32_t>(parts_.size());
    (data.is_source_ ? p.free_workers : p.free_jobs) = data.pplFree();
    if (parts_.size() == parts_.capacity()) parts_.reserve(parts_.size() + parts_.size() / 8 + 16);
    parts_.push_back(p);
    return p.parent;
}

int32_t RnWorkforce::findPart(int32_t slot) {
    while (parts_[static_cast<size_t>(slot)].parent != slot) {
        Part& p = parts_[static_cast<size_t>(slot)];
        p.parent = parts_[static_cast<size_t>(p.parent)].parent;
        slot = p.parent;
    }
    return slot;
}

void RnWorkforce::joinParts(int32_t a, int32_t b) {
    a = findPart(a);
    b = findPart(b);
    if (a == b) return;
    if (parts_[static_cast<size_t>(a)].size < parts_[static_cast<size_t>(b)].size) std::swap(a, b);
    Part& pa = parts_[static_cast<size_t>(a)];
    Part& pb = parts_[static_cast<size_t>(b)];
    pb.parent = a;
    pa.size += pb.size;
    pa.free_workers += pb.free_workers;
    pa.free_jobs += pb.free_jobs;
}

// The parts of the nodes as they are connected now.
void RnWorkforce::rebuildParts() {
    parts_.clear();
    dead_parts_ = 0;
    for (int32_t n = gr_.firstNode(); n != 0; n = gr_.nextNode(n)) links(n).part = newPart(nodeData(n));
    for (int32_t n = gr_.firstNode(); n != 0; n = gr_.nextNode(n))
        for (const RnWorkforceGraph::Out& o : gr_.out(n)) joinParts(links(n).part, links(o.sink).part);
}

void RnWorkforce::changePeople(int32_t n, int delta) {
    NodeData& d = node(n);
    d.people_ = static_cast<uint16_t>(d.people_ + delta);
    Part& p = parts_[static_cast<size_t>(findPart(links(n).part))];
    (d.is_source_ ? p.free_workers : p.free_jobs) += delta;
}

void RnWorkforce::changeAssigned(int32_t n, int delta) {
    NodeData& d = node(n);
    d.ppl_assigned_ = static_cast<uint16_t>(d.ppl_assigned_ + delta);
    Part& p = parts_[static_cast<size_t>(findPart(links(n).part))];
    (d.is_source_ ? p.free_workers : p.free_jobs) -= delta;
}

// --- Nodes and edges --------------------------------------------------------

int32_t RnWorkforce::addNode(const NodeData& data) {
    int32_t n = gr_.addNode();
    node_data_.resizeFill(gr_.nodeLimit(), NodeData());
    node(n) = data;
    growScratch();
    NodeLinks& l = links(n);
    l = NodeLinks();
    l.part = newPart(data);
    oid_node_map_.set(data.oid_, n);
    index_.add(n, data.is_source_, buildings_->centreOnMap(data.oid_), data.range_);
    return n;
}

void RnWorkforce::housesInRange(int32_t sink, std::vector<int32_t>& candidates, std::vector<Near>& out,
                                bool sorted) const {
    const uint16_t range = nodeData(sink).range_;
    candidates.clear();
    out.clear();
    index_.housesNear(index_.centre(sink), range, candidates);
    for (int32_t h : candidates) {
        float d;
        if (inRange(h, sink, range, d)) out.push_back(Near{h, d, index_.order(h)});
    }
    if (sorted) std::sort(out.begin(), out.end(), [](const Near& a, const Near& b) { return a.order < b.order; });
}

size_t RnWorkforce::findOut(int32_t house, int32_t sink) const {
    const RnWorkforceGraph::OutList& out = gr_.out(house);
    const uint64_t key = index_.order(sink);
    auto it = std::lower_bound(out.begin(), out.end(), key, [this](const RnWorkforceGraph::Out& o, uint64_t k) {
        return index_.order(o.sink) < k;
    });
    return it != out.end() && it->sink == sink ? static_cast<size_t>(it - out.begin()) : out.size();
}

int32_t RnWorkforce::findEdge(int32_t house, int32_t sink) const {
    const size_t pos = findOut(house, sink);
    return pos < gr_.out(house).size() ? gr_.out(house)[pos].edge : 0;
}

uint16_t RnWorkforce::assignedOn(int32_t house, int32_t edge) const {
    for (const Load& le : links(house).loaded)
        if (le.edge == edge) return le.assigned;
    return 0;
}

void RnWorkforce::markLoaded(int32_t n, const Load& entry, bool loaded) {
    std::vector<Load>& v = links(n).loaded;
    const uint64_t key = index_.order(entry.other);
    auto it = std::lower_bound(v.begin(), v.end(), key,
                               [this](const Load& le, uint64_t k) { return index_.order(le.other) < k; });
    if (loaded) {
        v.insert(it, entry);
    } else if (it != v.end() && it->edge == entry.edge) {
        v.erase(it);
    }
}

void RnWorkforce::changeEdge(int32_t house, int32_t sink, int32_t e, int delta) {
    std::vector<Load>& hl = links(house).loaded;
    auto it = std::find_if(hl.begin(), hl.end(), [e](const Load& le) { return le.edge == e; });
    const int before = it == hl.end() ? 0 : it->assigned;
    const int after = before + delta;
    if ((before == 0) == (after == 0)) {
        if (it != hl.end()) it->assigned = static_cast<uint16_t>(after);
        for (Load& le : links(sink).loaded)
            if (le.edge == e) le.assigned = static_cast<uint16_t>(after);
        return;
    }
    const bool loaded = after != 0;
    markLoaded(house, Load{sink, e, static_cast<uint16_t>(after)}, loaded);
    markLoaded(sink, Load{house, e, static_cast<uint16_t>(after)}, loaded);
}

void RnWorkforce::releaseEdges(int32_t n, NodeSet& ends) {
    // A copy: each release takes the edge off the list.
    const std::vector<Load> loaded = links(n).loaded;
    const bool house = node(n).is_source_;
    for (const Load& le : loaded) {
        const int32_t o = le.other;
        const NodeData& oinf = node(o);
        const EdgeData einf{le.assigned, 0.0f};
        ends.insert(o);
        DAX_ASSERT(oinf.ppl_assigned_ >= einf.assigned_);
        changeAssigned(o, -einf.assigned_);
        changeEdge(house ? n : o, house ? o : n, le.edge, -einf.assigned_);
        DAX_ASSERT(oinf.pplFree() >= 0);
    }
}

void RnWorkforce::dropNode(int32_t n, const RnObjectID& oid) {
    NodeData& ninf = node(n);
    NodeLinks& l = links(n);
    // The node's own free capacity leaves its part.
    Part& p = parts_[static_cast<size_t>(findPart(l.part))];
    (ninf.is_source_ ? p.free_workers : p.free_jobs) -= ninf.pplFree();
    // The edges go in list order, their ids freed in that order.
    if (ninf.is_source_) {
        gr_.removeEdges(n);
    } else {
        std::vector<int32_t> candidates;
        std::vector<Near> houses;
        housesInRange(n, candidates, houses, true);
        for (const Near& h : houses) {
            const size_t pos = findOut(h.node, n);
            if (pos < gr_.out(h.node).size()) gr_.removeEdge(h.node, pos);
        }
    }
    index_.remove(n, ninf.is_source_, ninf.range_);
    ninf = NodeData();
    l = NodeLinks();
    oid_node_map_.erase(oid);
    gr_.removeNode(n);
    // Parts never split; once many nodes went, they are found afresh.
    if (++dead_parts_ > 64 && dead_parts_ > gr_.nodeCount()) rebuildParts();
}

bool RnWorkforce::inRange(int32_t a, int32_t b, uint16_t range, float& d) const {
    d = daxDistanceF(index_.centre(a), index_.centre(b));
    return d <= static_cast<float>(range);
}

void RnWorkforce::sortByOrder(std::vector<int32_t>& nodes) const {
    std::sort(nodes.begin(), nodes.end(),
              [this](int32_t a, int32_t b) { return index_.order(a) < index_.order(b); });
}

void RnWorkforce::addSource(const RnObjectID& oid, uint16_t workers) {
    DAX_ASSERT(people_type_idx_>=0);
    auto it1 = oid_node_map_.find(oid);
    DAX_ASSERT(it1 == oid_node_map_.end());
    int32_t new_node = addNode(NodeData{oid, workers, 0, true, 0});
    daxLogMessage(1, kTrace, "pt=%d add srce: [%hd:%hd,%d] node=%d ppl=%d", people_type_idx_, oid.kind_,
                  oid.type_idx_, oid.bld_idx_, new_node, workers);

    // The workplaces that reach the house, in node order. The house is new,
    // so it has no edge to any of them yet.
    bool trace = dax_config.logEnabled(2, kTrace);
    candidates_.clear();
    index_.sinksNear(index_.centre(new_node), candidates_);
    sortByOrder(candidates_);
    size_t reached = 0;
    for (int32_t node : candidates_) {
        float d;
        if (inRange(new_node, node, this->node(node).range_, d)) candidates_[reached++] = node;
    }
    candidates_.resize(reached);
    gr_.reserveOut(new_node, reached);
    for (int32_t node : candidates_) {
        DAX_ASSERT(0 == gr_.inDeg(new_node));
        DAX_ASSERT(0 == gr_.outDeg(node));
        int32_t e = gr_.addEdge(new_node, node);
        joinParts(links(new_node).part, links(node).part);
        if (trace)
            daxLogMessage(2, kTrace, "  edge=%d srce=%d (%d) --> sink=%d (%d,%d)", e, new_node, gr_.outDeg(new_node),
                          node, gr_.inDeg(node), gr_.outDeg(node));
    }

    // A new house offers no workers yet; one that does starts with them in
    // the totals and looks for work at once.
    if (workers > 0) {
        total_workers_ += workers;
        checkTotals();
        NodeSet chg_nodes;
        incrementFlow(new_node, chg_nodes);
        setAssignedWorkers(chg_nodes);
    }
}

void RnWorkforce::addSink(const RnObjectID& oid, uint16_t workers, uint16_t range) {
    auto it1 = oid_node_map_.find(oid);
    DAX_ASSERT(it1 == oid_node_map_.end());
    int32_t new_node = addNode(NodeData{oid, workers, range, false, 0});
    daxLogMessage(1, kTrace, "pt=%d add sink: [%hd:%hd,%d] node=%d ppl=%d range=%d", people_type_idx_, oid.kind_,
                  oid.type_idx_, oid.bld_idx_, new_node, workers, range);

    bool trace = dax_config.logEnabled(2, kTrace);
    housesInRange(new_node, candidates_, near_, true);
    for (const Near& h : near_) {
        const int32_t node = h.node;
        DAX_ASSERT(0 == gr_.inDeg(node));
        DAX_ASSERT(0 == gr_.outDeg(new_node));
        int32_t e = gr_.addEdge(node, new_node);
        joinParts(links(node).part, links(new_node).part);
        if (trace)
            daxLogMessage(2, kTrace, "  edge=%d srce=%d (%d) --> sink=%d (%d)", e, node, gr_.outDeg(node), new_node,
                          gr_.inDeg(new_node));
    }

    total_jobs_ += workers;
    checkTotals();
    NodeSet chg_nodes;
    incrementFlow(new_node, chg_nodes);
    setAssignedWorkers(chg_nodes);
}

// --- The search -------------------------------------------------------------

const RnWorkforce::PathLabel& RnWorkforce::label(int32_t n) const {
    static const PathLabel unreached;
    size_t i = static_cast<size_t>(n);
    return i < scratch_.size() && scratch_[i].stamp == stamp_ ? scratch_[i].label : unreached;
}

int32_t RnWorkforce::pathEdge(int32_t n) {
    const PathLabel& l = label(n);
    if (l.edge != 0) return l.edge;
    // A step from a workplace to a house: the edge is looked up when the
    // path is taken, not for every step.
    return node(n).is_source_ ? findEdge(n, l.prev_node) : findEdge(l.prev_node, n);
}

void RnWorkforce::traceVisited() const {
    if (!dax_config.logEnabled(1, kTrace)) return;
    dump(NodeSet(scan_.begin(), scan_.end()));
}

// The scan list grows in the order nodes are first labelled and every node
// is scanned once with the label it has by then: a later improvement of a
// label is not carried on to the nodes already reached from it. A candidate
// label no shorter than the best end found so far is dropped, which keeps a
// search that has found an end to the nodes nearer than it.
int32_t RnWorkforce::searchPath(int32_t s, int k, bool trace) {
    const bool side = node(s).is_source_;
    // Without free capacity on the other side of its part no path can end:
    // the search would only walk the network.
    const Part& part = parts_[static_cast<size_t>(findPart(links(s).part))];
    const int32_t free_other = side ? part.free_jobs : part.free_workers;

    if (++stamp_ == 0) {
        for (Scratch& sc : scratch_) sc.stamp = 0;
        stamp_ = 1;
    }
    scan_.clear();
    scratch_[static_cast<size_t>(s)] = Scratch{PathLabel{0.0f, 999, 0, 0}, stamp_};
    scan_.push_back(s);

    float bound = kUnreached;
    int32_t end = 0;
    // One step from n (label ln) to o along edge x (0: not looked up) of
    // length d; assigned is what x carries when o is on the start side.
    auto step = [&](int32_t n, const NodeData& ninf, const PathLabel& ln, int32_t x, int32_t o, float d,
                    uint16_t assigned) {
        const float dist = ln.dist + d;
        if (dist >= bound) return;
        const NodeData& oinf = node_data_.unchecked(o - 1);
        Scratch& so = scratch_[static_cast<size_t>(o)];
        const bool reached = so.stamp == stamp_;
        const float odist = reached ? so.label.dist : kUnreached;
        int16_t cap;
        if (oinf.is_source_ == side) {
            // Against the edge: moves a worker that is assigned there.
            if (assigned == 0) return;
            if (!(static_cast<double>(dist) < static_cast<double>(odist) - 0.01)) return;
            cap = std::min<int16_t>(static_cast<int16_t>(assigned), ln.cap);
        } else {
            if (!(dist < odist)) return;
            uint16_t c = std::min(oinf.people_, ninf.people_);
            cap = static_cast<int16_t>(std::min(c, static_cast<uint16_t>(ln.cap)));
        }
        so.label = PathLabel{dist, cap, n, x};
        if (!reached) {
            so.stamp = stamp_;
            scan_.push_back(o);
        }
        if (oinf.is_source_ != side && oinf.pplFree() > 0) {
            bound = dist;
            end = o;
            if (trace) daxLogMessage(2, kTrace, "augm.path candidate found: end=N(%d) bound=%f", o, bound);
        }
    };
    // A node on the other side that is no end and carries no workers leads
    // nowhere; leaving it out changes no other label and no order (and
    // spares its distance).
    auto leadsNowhere = [this](int32_t o) {
        const NodeData& oinf = node_data_.unchecked(o - 1);
        return oinf.ppl_assigned_ == 0 && oinf.pplFree() <= 0;
    };
    for (size_t i = 0; i < scan_.size() && free_other > 0; ++i) {
        const int32_t n = scan_[i];
        // A copy: the steps below write other labels of the same table.
        const PathLabel ln = scratch_[static_cast<size_t>(n)].label;
        // Every step from a node no nearer than the best end is dropped.
        if (ln.dist >= bound) continue;
        const NodeData& ninf = node_data_.unchecked(n - 1);
        if (ninf.is_source_ != side) {
            // Every edge of n leads back to the start side: only those that
            // carry workers can be stepped along, in edge-list order.
            for (const Load& le : links(n).loaded) {
                const float d = side ? edgeDist(le.other, n) : edgeDist(n, le.other);
                step(n, ninf, ln, le.edge, le.other, d, le.assigned);
            }
        } else if (side) {
            const DaxMapPositionF& c = index_.centre(n);
            for (const RnWorkforceGraph::Out& o : gr_.out(n)) {
                // The bound first: once an end is found most steps end
                // there, without a look at the workplace.
                const float d = daxDistanceF(c, index_.centre(o.sink));
                if (ln.dist + d >= bound || leadsNowhere(o.sink)) continue;
                step(n, ninf, ln, o.edge, o.sink, d, 0);
            }
        } else {
            const Near* first;
            const Near* last;
            foundHouses(n, first, last);
            for (const Near* h = first; h != last; ++h) {
                if (ln.dist + h->dist >= bound || leadsNowhere(h->node)) continue;
                step(n, ninf, ln, 0, h->node, h->dist, 0);
            }
        }
    }
    if (end == 0) {
        if (trace) daxLogMessage(2, kTrace, "augm.path %d not found", k);
        traceVisited();
    }
    return end;
}

void RnWorkforce::foundHouses(int32_t n, const Near*& first, const Near*& last) {
    FoundSpan& span = found_spans_[static_cast<size_t>(n)];
    if (span.mark != found_mark_) {
        housesInRange(n, candidates_, near_, true);
        span.mark = found_mark_;
        span.begin = static_cast<uint32_t>(houses_found_.size());
        houses_found_.insert(houses_found_.end(), near_.begin(), near_.end());
        span.end = static_cast<uint32_t>(houses_found_.size());
    }
    first = houses_found_.data() + span.begin;
    last = houses_found_.data() + span.end;
}

void RnWorkforce::incrementFlow(int32_t start_node, NodeSet& chg_nodes) {
    growTo(found_spans_, static_cast<size_t>(gr_.nodeLimit()));
    if (++found_mark_ == 0) {
        for (FoundSpan& span : found_spans_) span.mark = 0;
        found_mark_ = 1;
    }
    fillFrom(start_node, chg_nodes);
    // What a big search found is not kept between changes.
    if (houses_found_.capacity() > 4096) std::vector<Near>().swap(houses_found_);
    houses_found_.clear();
}

void RnWorkforce::fillFrom(int32_t start_node, NodeSet& chg_nodes) {
    daxLogMessage(1, kTrace, "incrementFlow N(%d)", start_node);
    const bool trace = dax_config.logEnabled(2, kTrace);
    const bool side = node(start_node).is_source_;
    for (int k = 1;;) {
        const int32_t end_node = searchPath(start_node, k, trace);
        if (end_node == 0) {
            DAX_ASSERT(gr_.isNodeValid(start_node));
            return;
        }
        const NodeData& ninf_start = node(start_node);
        const NodeData& ninf_end = node(end_node);
        int16_t current_flow = std::min(ninf_start.pplFree(), ninf_end.pplFree());
        if (trace) {
            daxLogMessage(2, kTrace, "collect augm.path %d", k);
            daxLogMessage(2, kTrace, "augm.path end at N(%d) a=%hd", end_node, ninf_end.ppl_assigned_);
            daxLogMessage(2, kTrace, "augm.path start at N(%d) a=%hd", start_node, ninf_start.ppl_assigned_);
        }
        float path_dist = 0.0f;
        int32_t node = end_node;
        while (gr_.isNodeValid(label(node).prev_node)) {
            const PathLabel& l = label(node);
            if (this->node(node).is_source_ == side) {
                // Reached against an edge that carries workers.
                const int32_t house = side ? node : l.prev_node;
                current_flow = std::min<int16_t>(current_flow, static_cast<int16_t>(assignedOn(house, l.edge)));
            }
            path_dist += l.dist;
            node = l.prev_node;
        }
        DAX_ASSERT(node==start_node);
        if (trace)
            daxLogMessage(2, kTrace, "augm.path %d found with distance=%f flow=%hd", k, path_dist, current_flow);
        DAX_ASSERT(current_flow > 0);

        changeAssigned(start_node, current_flow);
        DAX_ASSERT(ninf_start.pplFree() >= 0);
        chg_nodes.insert(start_node);
        changeAssigned(end_node, current_flow);
        DAX_ASSERT(ninf_end.pplFree() >= 0);
        chg_nodes.insert(end_node);
        total_assignments_ += current_flow;
        checkTotals();

        // The nodes inside the path keep their counts: a house there moves a
        // worker to another workplace, a workplace swaps one house's worker
        // for another's.
        for (node = end_node; node != start_node; node = label(node).prev_node) {
            const int32_t prev = label(node).prev_node;
            const bool house = this->node(node).is_source_;
            changeEdge(house ? node : prev, house ? prev : node, pathEdge(node),
                       house == side ? -current_flow : current_flow);
        }
        if (trace) daxLogMessage(2, kTrace, "pushed flow %hd along path %d distance %f", current_flow, k, path_dist);
        traceVisited();

        if (ninf_start.pplFree() == 0) {
            daxLogMessage(1, kTrace, "quit: pplFree==0");
            return;
        }
        if (++k >= kMaxPaths) return;
    }
}

void RnWorkforce::setAssignedWorkers(const NodeSet& chg_nodes) {
    daxLogMessage(1, kTrace, "setAssignedWorkers pt=%d %d nodes", people_type_idx_,
                  static_cast<int>(chg_nodes.size()));
    for (int32_t n : chg_nodes) {
        const NodeData& ninf = node(n);
        DAX_ASSERT(ninf.pplFree() >= 0);
        DaxGameTime t = buildings_->now();
        t.addHours(2.0f);
        if (ninf.is_source_) {
            bool changed = buildings_->setEmployed(ninf.oid_, ninf.ppl_assigned_);
            HouseRef house{buildings_, ninf.oid_};
            DAX_ASSERT(house.curNumWorkers() == ninf.people_);
            if (changed) buildings_->workersChanged(ninf.oid_, t);
        } else {
            buildings_->workersChanged(ninf.oid_, t);
        }
    }
}

// --- Changes of houses and workplaces ----------------------------------------

void RnWorkforce::updateSource(const RnObjectID& oid, int16_t delta) {
    DAX_ASSERT(delta!=0);
    auto it1 = oid_node_map_.find(oid);
    DAX_ASSERT(it1 != oid_node_map_.end());
    const int32_t upd_node = *it1;
    const NodeData& nupd_inf = node(upd_node);
    const RnObjectID& upd_oid = oid;
    DAX_ASSERT(upd_oid == nupd_inf.oid_);
    HouseRef house{buildings_, oid};
    DAX_ASSERT(nupd_inf.people_+delta == house.curNumWorkers());
    daxLogMessage(1, kTrace, "pt=%d upd srce: [%hd:%hd,%d] node=%d (%d) delta=%d", people_type_idx_, oid.kind_,
                  oid.type_idx_, oid.bld_idx_, upd_node, gr_.outDeg(upd_node), delta);

    if (delta > 0) {
        // A house that had free workers already found no free job when it
        // last looked; only a full one looks again.
        const bool was_full = nupd_inf.people_ == nupd_inf.ppl_assigned_;
        changePeople(upd_node, delta);
        total_workers_ += delta;
        checkTotals();
        if (was_full) {
            NodeSet chg_nodes;
            incrementFlow(upd_node, chg_nodes);
            setAssignedWorkers(chg_nodes);
        }
        return;
    }

    changePeople(upd_node, delta);
    total_workers_ += delta;
    int excess = nupd_inf.ppl_assigned_ - nupd_inf.people_;
    if (excess <= 0) {
        checkTotals();
        return;
    }
    total_assignments_ -= excess;
    checkTotals();

    // The workers leave their nearest workplaces first (ties by edge id).
    struct Leave {
        float dist;
        int32_t edge;
        int32_t sink;
        uint16_t assigned;
        bool operator<(const Leave& o) const { return dist != o.dist ? dist < o.dist : edge < o.edge; }
    };
    std::vector<Leave> loaded;
    for (const Load& le : links(upd_node).loaded)
        loaded.push_back(Leave{edgeDist(upd_node, le.other), le.edge, le.other, le.assigned});
    std::sort(loaded.begin(), loaded.end());
    NodeSet released;
    for (const Leave& le : loaded) {
        if (excess <= 0) break;
        const int32_t w = le.sink;
        const NodeData& oinf = node(w);
        const EdgeData einf{le.assigned, le.dist};
        DAX_ASSERT(einf.assigned_>0);
        int taken;
        if (einf.assigned_ < excess) {
            DAX_ASSERT(oinf.ppl_assigned_ >= einf.assigned_);
            taken = einf.assigned_;
        } else {
            const int delta_to_distribute = excess;
            DAX_ASSERT(oinf.ppl_assigned_ >= delta_to_distribute);
            taken = delta_to_distribute;
        }
        changeAssigned(w, -taken);
        changeAssigned(upd_node, -taken);
        changeEdge(upd_node, w, le.edge, -taken);
        excess -= taken;
        released.insert(w);
        DAX_ASSERT(oinf.pplFree() >= 0);
    }
    // The workplaces that lost workers look for other houses.
    NodeSet chg_nodes = released;
    for (int32_t w : released) incrementFlow(w, chg_nodes);
    chg_nodes.insert(upd_node);
    setAssignedWorkers(chg_nodes);
}

void RnWorkforce::removeSource(const RnObjectID& oid) {
    auto it1 = oid_node_map_.find(oid);
    DAX_ASSERT(it1 != oid_node_map_.end());
    removeNode(oid, *it1);
}

void RnWorkforce::removeSink(const RnObjectID& oid) {
    auto it1 = oid_node_map_.find(oid);
    if (it1 == oid_node_map_.end()) return;
    removeNode(oid, *it1);
}

void RnWorkforce::removeNode(const RnObjectID& oid, int32_t rem_node) {
    const NodeData& rinf = node(rem_node);
    const bool house = rinf.is_source_;
    daxLogMessage(1, kTrace, "pt=%hu rem %s: [%hd:%hd,%d] node=%d", static_cast<unsigned short>(people_type_idx_),
                  house ? "srce" : "sink", oid.kind_, oid.type_idx_, oid.bld_idx_, rem_node);
    DAX_ASSERT(gr_.isNodeValid(rem_node));
    (house ? total_workers_ : total_jobs_) -= rinf.people_;
    total_assignments_ -= rinf.ppl_assigned_;
    checkTotals();
    NodeSet released;
    releaseEdges(rem_node, released);
    dropNode(rem_node, oid);
    // The nodes that lost workers or workplaces through it look for others.
    NodeSet chg_nodes = released;
    for (int32_t n : released) incrementFlow(n, chg_nodes);
    setAssignedWorkers(chg_nodes);
}

int RnWorkforce::requestMoreWorkers(const RnObjectID& oid) {
    auto it = oid_node_map_.find(oid);
    DAX_ASSERT(it != oid_node_map_.end());
    const int32_t req_node = *it;
    const NodeData& ninf = node(req_node);
    daxLogMessage(1, kTrace, "requestMoreWorkers pt=%d [%hd:%hd,%d] node=%d ppl=%d ass=%d", people_type_idx_,
                  oid.kind_, oid.type_idx_, oid.bld_idx_, req_node, ninf.people_, ninf.ppl_assigned_);
    DAX_ASSERT(ninf.people_ > 0);
    DAX_ASSERT(ninf.pplFree() >= 0);
    DAX_ASSERT(!ninf.is_source_);
    if (ninf.pplFree() == 0) return 0;

    // The workplace to take a worker from: of the workplaces that share a
    // house with this one, the one with the most workers, the farther on a
    // tie, the first found on an exact tie.
    const DaxMapPositionF& rc = index_.centre(req_node);
    const DaxMapPositionI req_tile(static_cast<int>(rc.x), static_cast<int>(rc.y));
    float best_dist = 0.0f;
    uint16_t best_assigned = 0;
    int32_t best_node = 0;
    int32_t best_house = 0;
    int32_t best_edge_out = 0;  // house -> the other workplace
    std::vector<int32_t> candidates;
    std::vector<Near> houses;
    housesInRange(req_node, candidates, houses, true);
    for (const Near& in : houses) {
        const int32_t h = in.node;
        const NodeData& oinf = node(h);
        DAX_ASSERT(oinf.is_source_);
        if (oinf.people_ == 0) continue;
        if (oinf.pplFree() > 0) {
            // The house should have found this workplace when it last looked;
            // mend it on the spot.
            const int32_t e = findEdge(h, req_node);
            daxLogMessage(1, 1, "unexpected: free workers found [%hd:%hd,%d] node=%d ppl=%d ass=%d edge=%d ass=%d",
                          oinf.oid_.kind_, oinf.oid_.type_idx_, oinf.oid_.bld_idx_, h, oinf.people_,
                          oinf.ppl_assigned_, e, assignedOn(h, e));
            changeAssigned(h, 1);
            changeAssigned(req_node, 1);
            changeEdge(h, req_node, e, 1);
            ++total_assignments_;
            checkTotals();
            NodeSet chg_nodes{req_node, h};
            DAX_ASSERT(chg_nodes.size()==2);
            setAssignedWorkers(chg_nodes);
            dump(chg_nodes);
            return 1;
        }
        if (oinf.ppl_assigned_ == 0) continue;
        // Only the edges that carry workers can give one up.
        for (const Load& le : links(h).loaded) {
            const int32_t y = le.edge;
            const int32_t x = le.other;
            const NodeData& xinf = node(x);
            DAX_ASSERT(!xinf.is_source_);
            if (xinf.oid_ == ninf.oid_) continue;
            DAX_ASSERT(xinf.people_ > 0);
            if (xinf.ppl_assigned_ == 0) continue;
            const DaxMapPositionF& xc = index_.centre(x);
            const float d = daxDistanceI(req_tile, DaxMapPositionI(static_cast<int>(xc.x), static_cast<int>(xc.y)));
            if (xinf.ppl_assigned_ > best_assigned || (xinf.ppl_assigned_ == best_assigned && d > best_dist)) {
                best_dist = d;
                best_assigned = xinf.ppl_assigned_;
                best_node = x;
                best_house = h;
                best_edge_out = y;
            }
        }
    }
    if (!(best_dist > 0.0f)) return 0;

    const NodeData& xinf = node(best_node);
    daxLogMessage(1, kTrace, "found node=%d via node=%d [%hd:%hd,%d]", best_node, best_house, xinf.oid_.kind_,
                  xinf.oid_.type_idx_, xinf.oid_.bld_idx_);
    const EdgeData einf2{assignedOn(best_house, best_edge_out), 0.0f};
    DAX_ASSERT(xinf.ppl_assigned_ > 0);
    DAX_ASSERT(ninf.ppl_assigned_ < ninf.people_);
    DAX_ASSERT(einf2.assigned_ > 0);
    changeAssigned(best_node, -1);
    changeAssigned(req_node, 1);
    changeEdge(best_house, req_node, findEdge(best_house, req_node), 1);
    changeEdge(best_house, best_node, best_edge_out, -1);
    NodeSet chg_nodes{req_node, best_node};
    DAX_ASSERT(chg_nodes.size()==2);
    setAssignedWorkers(chg_nodes);
    dump(chg_nodes);
    return 1;
}

uint16_t RnWorkforce::pplAssigned(const RnObjectID& oid) const {
    auto it = oid_node_map_.find(oid);
    DAX_ASSERT(it != oid_node_map_.end());
    const NodeData& ninf = nodeData(*it);
    DAX_ASSERT(ninf.pplFree() >= 0);
    return ninf.ppl_assigned_;
}

int16_t RnWorkforce::pplInRange(const RnObjectID& oid) const {
    auto it = oid_node_map_.find(oid);
    DAX_ASSERT(it != oid_node_map_.end());
    const NodeData& ninf = nodeData(*it);
    DAX_ASSERT(ninf.pplFree() >= 0);
    if (ninf.is_source_) return 0;
    std::vector<int32_t> candidates;
    std::vector<Near> houses;
    housesInRange(*it, candidates, houses, false);
    // Summed wide: a 16-bit sum wraps to a negative count, or to 0 (no
    // workers in range) at 65536.
    int32_t sum = 0;
    for (const Near& h : houses) sum += nodeData(h.node).people_;
    return static_cast<int16_t>(std::min<int32_t>(sum, 32767));
}

bool RnWorkforce::nodeCounts(const RnObjectID& oid, WorkerCounts& counts) const {
    auto it = oid_node_map_.find(oid);
    if (it == oid_node_map_.end()) return false;
    const NodeData& ninf = nodeData(*it);
    DAX_ASSERT(ninf.pplFree() >= 0);
    if (ninf.is_source_) {
        counts.hous_assigned_ = ninf.ppl_assigned_;
        counts.hous_workers_ = ninf.people_;
    } else {
        counts.sink_assigned_ = ninf.ppl_assigned_;
        counts.sink_jobs_ = ninf.people_;
    }
    return true;
}

void RnWorkforce::dump(const NodeSet& nodes) const {
    if (!dax_config.logEnabled(1, kTrace)) return;
    daxLogMessage(1, kTrace, "network for pt=%d has %d nodes and %d edges:", people_type_idx_, gr_.nodeCount(),
                  gr_.edgeCount());
    int sources = 0;
    int sinks = 0;
    std::vector<int32_t> candidates;
    std::vector<Near> houses;
    for (bool houses_now : {true, false}) {
        for (int32_t n : nodes) {
            const NodeData& ninf = nodeData(n);
            if (ninf.is_source_ != houses_now) continue;
            const RnObjectID& oid = ninf.oid_;
            daxLogMessage(1, kTrace, houses_now ? "srce: N(%d) [%hd:%hd,%d] (%d edges) ppl=%d ass=%d"
                                                : "sink: N(%d) [%hd:%hd,%d] (%d edges) ppl=%d ass=%d",
                          n, oid.kind_, oid.type_idx_, oid.bld_idx_, houses_now ? gr_.outDeg(n) : gr_.inDeg(n),
                          ninf.people_, ninf.ppl_assigned_);
            ++(houses_now ? sources : sinks);
            auto line = [&](int32_t house, int32_t e, int32_t o) {
                daxLogMessage(1, kTrace, "  -> %cE(%d) oppo=N(%d) flow=%d", nodes.count(o) != 0 ? '*' : ' ', e, o,
                              assignedOn(house, e));
            };
            if (houses_now) {
                for (const RnWorkforceGraph::Out& o : gr_.out(n)) line(n, o.edge, o.sink);
            } else {
                housesInRange(n, candidates, houses, true);
                for (const Near& h : houses) line(h.node, findEdge(h.node, n), h.node);
            }
        }
    }
    daxLogMessage(1, kTrace, "partial network output complete, #srce=%d #sink=%d", sources, sinks);
}

// --- The graph a save holds ---------------------------------------------------

// The directed graph keeps an edge in a cell of its house's out-list and one
// of its workplace's in-list. Edges are only ever added and removed whole
// (in-cell first, out-cell second; removed out-cell first), and cells and
// edge ids are both reused last freed first, so edge e always has the
// in-cell 2e - 1 and the out-cell 2e, and the freed cells pair up with the
// freed ids. An edge is made when the later of its two ends joins, in the
// order the earlier ends joined; so both the edge list and each node's
// lists run in the join order of the ends.
RnWorkforce::GraphImage RnWorkforce::graphImage() const {
    GraphImage img;
    tDiGraph& g = img.graph;
    g.nodeIdList() = gr_.nodeIds();
    const int32_t node_limit = gr_.nodeIds().isInitialised() ? gr_.nodeLimit() : 1;
    g.nodeTable().resizeFill(node_limit - 1, tDiGraph::NodeInf_{});

    const int32_t limit = gr_.edgeLimit();
    const int32_t ids = limit > 0 ? limit - 1 : 0;
    img.edges.assign(static_cast<size_t>(ids), EdgeData());
    g.edgeTable().resizeFill(ids, tDiGraph::EdgeInf_{});
    for (int32_t e = 1; e <= ids; ++e) g.edgeTable().unchecked(e - 1) = tDiGraph::EdgeInf_{0, 0, 2 * e, 2 * e - 1};
    tDiGraph::AdjTable& cells = g.adjacencyLinks();
    cells.resizeFill(2 * ids + 1, tDiGraph::AdjLink{0, 0, 0});

    // Appends edge e to one list of a node: cell c, the list's head h.
    auto append = [&cells](tDiGraph::AdjHead& h, int32_t c, int32_t e) {
        tDiGraph::AdjLink& cell = cells.unchecked(c);
        cell = tDiGraph::AdjLink{h.count_ > 0 ? h.last_ : 0, 0, e};
        if (h.count_ > 0) cells.unchecked(h.last_).next_ = c;
        else h.first_ = c;
        h.last_ = c;
        ++h.count_;
    };
    // The houses in join order (the node list's): their out-lists, and the
    // in-lists of their workplaces, which run in the join order of the
    // houses. Also the edges each workplace made when it joined (those to
    // houses that joined before it), in their order.
    std::vector<std::vector<int32_t>> made(static_cast<size_t>(gr_.nodeLimit()));
    for (int32_t h = gr_.firstNode(); h != 0; h = gr_.nextNode(h)) {
        if (!nodeData(h).is_source_) continue;
        const uint64_t h_order = index_.order(h);
        for (const RnWorkforceGraph::Out& o : gr_.out(h)) {
            const int32_t e = o.edge;
            g.edgeTable().unchecked(e - 1).source_ = h;
            g.edgeTable().unchecked(e - 1).target_ = o.sink;
            append(g.nodeTable().unchecked(h - 1).out_, 2 * e, e);
            append(g.nodeTable().unchecked(o.sink - 1).in_, 2 * e - 1, e);
            img.edges[static_cast<size_t>(e - 1)] = EdgeData{0, edgeDist(h, o.sink)};
            if (index_.order(o.sink) > h_order) made[static_cast<size_t>(o.sink)].push_back(e);
        }
        for (const Load& le : links(h).loaded) img.edges[static_cast<size_t>(le.edge - 1)].assigned_ = le.assigned;
    }

    // The edge ids: live ones in the order they were made, freed ones
    // chained from the last freed.
    tDiGraph::IdList& edge_ids = g.edgeIdList();
    if (limit > 0) {
        nex::tIndexList::Links& links = edge_ids.links();
        links.resizeFill(limit, nex::tIndexList::Link_{0, 0});
        int32_t last = 0;
        auto link = [&links, &last](int32_t e) {
            links.unchecked(last).next_ = e;
            links.unchecked(e).prev_ = last;
            last = e;
        };
        for (int32_t n = gr_.firstNode(); n != 0; n = gr_.nextNode(n)) {
            if (nodeData(n).is_source_) {
                const uint64_t n_order = index_.order(n);
                for (const RnWorkforceGraph::Out& o : gr_.out(n)) {
                    if (index_.order(o.sink) > n_order) break;
                    link(o.edge);
                }
            } else {
                for (int32_t e : made[static_cast<size_t>(n)]) link(e);
            }
        }
        links.unchecked(last).next_ = 0;
        links.unchecked(0).prev_ = last;
        const std::vector<int32_t>& freed = gr_.freeEdges();
        const int32_t nfree = static_cast<int32_t>(freed.size());
        for (int32_t k = 0; k < nfree; ++k) {
            const int32_t e = freed[static_cast<size_t>(k)];
            links.unchecked(e) = nex::tIndexList::Link_{-1, k > 0 ? freed[static_cast<size_t>(k - 1)] : 0};
            cells.unchecked(2 * e - 1).next_ = 2 * e;
            cells.unchecked(2 * e).next_ = k > 0 ? 2 * freed[static_cast<size_t>(k - 1)] - 1 : -1;
        }
        edge_ids.head() = nex::tIndexList::Head_{limit - 1, gr_.edgeCount(), nfree, nfree > 0 ? freed.back() : 0};
        g.adjacencyHead() =
            tDiGraph::AdjPool{2 * ids, 2 * gr_.edgeCount(), 2 * nfree, nfree > 0 ? 2 * freed.back() - 1 : -1};
    }
    return img;
}

void RnWorkforce::rebuildDerived() {
    index_.clear();
    links_.assign(static_cast<size_t>(gr_.nodeLimit()), NodeLinks());
    scratch_.clear();
    growScratch();
    for (int32_t n = gr_.firstNode(); n != 0; n = gr_.nextNode(n)) {
        const NodeData& ninf = nodeData(n);
        index_.add(n, ninf.is_source_, buildings_->centreOnMap(ninf.oid_), ninf.range_);
    }
}

bool RnWorkforce::restoreGraph(const GraphImage& image) {
    const tDiGraph& g = image.graph;
    auto fail = [this] {
        gr_ = RnWorkforceGraph();
        links_.clear();
        parts_.clear();
        index_.clear();
        return false;
    };
    // The nodes and their order first: the lists are checked against it.
    gr_ = RnWorkforceGraph();
    gr_.restore(g.nodeIdList(), 0, {}, {});
    rebuildDerived();

    const nex::tIndexList& edge_ids = g.edgeIdList();
    const int32_t limit = edge_ids.isInitialised() ? edge_ids.limit() : 0;
    if (static_cast<int64_t>(image.edges.size()) < (limit > 0 ? limit - 1 : 0)) return fail();
    std::vector<int32_t> freed(static_cast<size_t>(edge_ids.freeCount()));
    for (int32_t k = edge_ids.freeCount(), e = edge_ids.head().free_head_; k-- > 0; e = edge_ids.next(e)) {
        if (e <= 0 || e >= limit) return fail();
        freed[static_cast<size_t>(k)] = e;
    }
    std::vector<RnWorkforceGraph::OutList> outs(static_cast<size_t>(gr_.nodeLimit()));
    for (int32_t n = g.firstNode(); n != 0; n = g.nextNode(n)) {
        if (!nodeData(n).is_source_) continue;
        RnWorkforceGraph::OutList& out = outs[static_cast<size_t>(n)];
        out.reserve(static_cast<size_t>(g.outDeg(n)));
        for (tDiGraph::OutEdgeIterator it(g, n); it; ++it) {
            const int32_t s = it.target();
            const EdgeData& ed = image.edgeData(it.edge());
            float d;
            // Within range, at the distance the positions give, and in the
            // order the workplaces joined in.
            if (nodeData(s).is_source_ || !inRange(n, s, nodeData(s).range_, d) || !(d == ed.dist_) ||
                (!out.empty() && index_.order(out.back().sink) >= index_.order(s)))
                return fail();
            out.push_back(RnWorkforceGraph::Out{s, it.edge()});
        }
    }
    gr_.restore(g.nodeIdList(), limit, std::move(freed), std::move(outs));

    // Every house in a workplace's range has its edge.
    for (int32_t n = gr_.firstNode(); n != 0; n = gr_.nextNode(n)) {
        if (nodeData(n).is_source_) continue;
        housesInRange(n, candidates_, near_, false);
        if (static_cast<int32_t>(near_.size()) != gr_.inDeg(n)) return fail();
        for (const Near& h : near_)
            if (findEdge(h.node, n) == 0) return fail();
    }
    // The edges that carry workers, in the order of each node's list.
    for (int32_t h = gr_.firstNode(); h != 0; h = gr_.nextNode(h)) {
        for (const RnWorkforceGraph::Out& o : gr_.out(h)) {
            const uint16_t a = image.edgeData(o.edge).assigned_;
            if (a == 0) continue;
            links(h).loaded.push_back(Load{o.sink, o.edge, a});
            links(o.sink).loaded.push_back(Load{h, o.edge, a});
        }
    }
    rebuildParts();

    // Whatever else the graph holds (the edge order, the cells, the freed
    // ids) must be what this network leaves.
    const GraphImage mine = graphImage();
    if (!sameGraph(mine.graph, g)) return fail();
    return true;
}

// ---------------------------------------------------------------------------
// Worker requirements of the workplace kinds.

RnWorkforce* rnWorkforceOf(int16_t ppl_type_idx) {
    if (ppl_type_idx < 0) return nullptr;
    return &grn_game.peoplType(ppl_type_idx).workforce_;
}

void rnAddWorkplace(const RnObjectID& oid, RnWorkerReqs reqs) {
    for (const RnWorkerReq& req : reqs) {
        if (RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_)) wkf->addSink(oid, req.num_req_, req.range_);
    }
}

void rnRemoveWorkplace(const RnObjectID& oid, RnWorkerReqs reqs) {
    for (const RnWorkerReq& req : reqs) {
        if (RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_)) wkf->removeSink(oid);
    }
}

int rnRequestMoreWorkers(const RnObjectID& oid, RnWorkerReqs reqs) {
    int changed = 0;
    for (const RnWorkerReq& req : reqs) {
        RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_);
        if (wkf && req.num_req_ > 0 && wkf->nodeOf(oid) != 0) changed += wkf->requestMoreWorkers(oid);
    }
    return changed;
}

bool rnHasWorkers(const RnGenericBuilding& b, RnWorkerReqs reqs) {
    if (b.isDestroyed()) return false;
    for (const RnWorkerReq& req : reqs) {
        RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_);
        if (wkf && wkf->pplInRange(b.oid_) != 0) return true;
    }
    return false;
}

float rnFillRatio(const RnObjectID& oid, const RnWorkerReq& req) {
    RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_);
    if (!wkf || req.num_req_ == 0) return 0.0f;
    return static_cast<float>(wkf->pplAssigned(oid)) / static_cast<float>(req.num_req_);
}

float rnSingleWorkerRatio(const RnGenericBuilding& b, const RnWorkerReq& req) {
    if (b.isDestroyed()) return 0.0f;
    return rnFillRatio(b.oid_, req);
}
