// Directed multigraph with stable small integer ids for nodes and edges; each
// node keeps its in- and out-edge lists so incident edges are walked without
// a search. Holders keep their own payload tables indexed by id - 1.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "nex/tappend.h"
#include "nex/tbag.h"
#include "nex/texcept.h"

namespace nex {

// Hands out small positive ids, reuses freed ones (last freed first) and
// keeps the live ids in a doubly linked ring through the sentinel 0, in the
// order they were linked.
class tIndexList {
public:
    struct Head_ {
        int32_t used_;        // ids ever created, not counting 0; -1 before first use
        int32_t count_;       // live ids
        int32_t free_count_;  // freed ids waiting for reuse
        int32_t free_head_;   // the most recently freed id
    };
    struct Link_ {
        int32_t prev_;  // previous id in the ring; -1 marks a freed id
        int32_t next_;  // next id in the ring, or the next freed id (0 after the last)
    };
    static_assert(sizeof(Head_) == 16, "saved as four int32");
    static_assert(sizeof(Link_) == 8, "saved as the 8-byte \"_ListInf\" slot");

    using Links = tappend<Link_, 128>;

    static constexpr int kLineInit = 59;
    static constexpr int kLineInsert = 75;

    tIndexList() = default;
    tIndexList(const tIndexList&) = default;
    tIndexList& operator=(const tIndexList&) = default;
    // A moved-from list is uninitialised again, ready for use.
    tIndexList(tIndexList&& other) noexcept : head_(other.head_), links_(std::move(other.links_)) {
        other.head_ = Head_{-1, 0, 0, 0};
    }
    tIndexList& operator=(tIndexList&& other) noexcept {
        if (&other != this) {
            head_ = other.head_;
            links_ = std::move(other.links_);
            other.head_ = Head_{-1, 0, 0, 0};
        }
        return *this;
    }

    // Runs on the first use of the list; a second call throws 16001.
    void init() {
        if (head_.used_ != -1) throw tExcept(src::tgraph, kLineInit, kNexErrInit, "");
        head_ = Head_{0, 0, 0, 0};
        links_.reserve(1);
        links_.resize(1);
        links_.unchecked(0) = Link_{0, 0};
    }

    // An id that is not yet linked into the ring.
    int32_t allocate() {
        ensureInit();
        int32_t id;
        if (head_.free_count_ > 0) {
            id = head_.free_head_;
            head_.free_head_ = links_[id].next_;
            --head_.free_count_;
        } else {
            id = links_.size();
            links_.append(Link_{0, 0});
            ++head_.used_;
        }
        ++head_.count_;
        return id;
    }

    // Links a new id after (or before) id, which must be 0 or a live id.
    int32_t insert(int32_t id, bool after) {
        ensureInit();
        if (id != 0 && !isValid(id)) throw tExRange(src::tgraph, kLineInsert, id, 0, limit());
        int32_t n = allocate();
        Link_& ref = links_[id];
        Link_& link = links_[n];
        if (after) {
            link.prev_ = id;
            link.next_ = ref.next_;
            links_[ref.next_].prev_ = n;
            ref.next_ = n;
        } else {
            link.next_ = id;
            link.prev_ = ref.prev_;
            links_[ref.prev_].next_ = n;
            ref.prev_ = n;
        }
        return n;
    }

    // A new id at the end of the ring.
    int32_t append() {
        ensureInit();
        return insert(links_.unchecked(0).prev_, true);
    }

    // Unlinks id and queues it for reuse. 0, ids never handed out and ids
    // already free are ignored: freeing them would corrupt the ring.
    void free(int32_t id) {
        ensureInit();
        if (!isValid(id)) return;
        Link_& link = links_.unchecked(id);
        links_[link.prev_].next_ = link.next_;
        links_[link.next_].prev_ = link.prev_;
        link.next_ = head_.free_count_ > 0 ? head_.free_head_ : 0;
        link.prev_ = -1;
        ++head_.free_count_;
        --head_.count_;
        head_.free_head_ = id;
    }

    bool isValid(int32_t id) const {
        return id > 0 && id < links_.size() && links_.unchecked(id).prev_ >= 0;
    }

    // The ring's neighbours of id; next(0) is the first live id, 0 ends.
    int32_t next(int32_t id) const {
        if (id == 0 && links_.empty()) return 0;
        return links_[id].next_;
    }
    int32_t prev(int32_t id) const {
        if (id == 0 && links_.empty()) return 0;
        return links_[id].prev_;
    }

    // Exclusive upper bound of the ids (sizes payload tables).
    int32_t limit() const { return links_.size(); }
    int32_t count() const { return head_.count_; }
    int32_t freeCount() const { return head_.free_count_; }
    int32_t used() const { return head_.used_; }
    bool isInitialised() const { return head_.used_ != -1; }

    // Back to an initialised empty list; with release the blocks are freed,
    // otherwise kept for reuse.
    void clear(bool release) {
        if (release) links_.clear();
        head_ = Head_{0, 0, 0, 0};
        links_.resize(1);
        links_.unchecked(0) = Link_{0, 0};
    }

    // The raw parts, for the save writer and loader.
    Head_& head() { return head_; }
    const Head_& head() const { return head_; }
    Links& links() { return links_; }
    const Links& links() const { return links_; }

    // True when the header, the ring and the free chain agree (as after a
    // load from a file).
    bool verify() const {
        if (head_.used_ == -1) return links_.empty() && head_.count_ == 0 && head_.free_count_ == 0;
        int32_t n = links_.size();
        if (n < 1 || head_.used_ != n - 1 || head_.count_ < 0 || head_.free_count_ < 0 ||
            head_.count_ + head_.free_count_ != head_.used_)
            return false;
        int32_t id = 0;
        for (int32_t steps = 0;; ++steps) {
            if (steps > head_.count_) return false;
            int32_t next = links_.unchecked(id).next_;
            if (next < 0 || next >= n || links_.unchecked(next).prev_ != id) return false;
            id = next;
            if (id == 0) {
                if (steps != head_.count_) return false;
                break;
            }
        }
        std::vector<char> seen(static_cast<size_t>(n), 0);
        id = head_.free_head_;
        for (int32_t k = 0; k < head_.free_count_; ++k) {
            if (id <= 0 || id >= n || seen[static_cast<size_t>(id)] || links_.unchecked(id).prev_ != -1)
                return false;
            seen[static_cast<size_t>(id)] = 1;
            id = links_.unchecked(id).next_;
        }
        return true;
    }

private:
    void ensureInit() {
        if (head_.used_ == -1) init();
    }

    Head_ head_{-1, 0, 0, 0};
    Links links_;
};

// The directed graph. A graph may be a view on a super graph: a view refuses
// additions and cannot be saved.
class tDiGraph {
public:
    using IdList = tIndexList;

    struct EdgeInf_ {
        int32_t source_;    // node where the edge starts
        int32_t target_;    // node where it ends
        int32_t out_link_;  // the edge's cell in the source's out-list
        int32_t in_link_;   // the edge's cell in the target's in-list
    };
    // Head of one node list ("Head_" in saved data).
    struct AdjHead {
        int32_t first_;
        int32_t last_;
        int32_t count_;
    };
    // Adjacency record of a node: the in-list (edges ending here) first,
    // then the out-list (edges starting here).
    struct NodeInf_ {
        AdjHead in_;
        AdjHead out_;
    };
    // One list cell ("Link_" in saved data); cell 0 is the all-zero null cell.
    struct AdjLink {
        int32_t prev_;  // 0 at the first cell
        int32_t next_;  // 0 at the last cell
        int32_t edge_;  // 0 in a free or null cell
    };
    // Header of the cell pool, laid out like an index list's.
    struct AdjPool {
        int32_t used_;
        int32_t count_;
        int32_t free_count_;
        int32_t free_head_;
    };
    static_assert(sizeof(EdgeInf_) == 16, "saved as the 16-byte \"EdgeInf_\" record");
    static_assert(sizeof(NodeInf_) == 24, "saved as the 24-byte \"NodeInf_\" record");
    static_assert(sizeof(AdjHead) == 12, "saved size checked as \"Head_\"");
    static_assert(sizeof(AdjLink) == 12, "saved as the 12-byte \"Link_\" entry");
    static_assert(sizeof(AdjPool) == 16, "saved as four int32");

    using EdgeTable = tappend<EdgeInf_, 128>;
    using NodeTable = tappend<NodeInf_, 128>;
    using AdjTable = tappend<AdjLink, 128>;

    // Signature of the graph's data in the save file's type check.
    static constexpr int32_t kDataSignature = 152;
    static int32_t dataSignature() { return kDataSignature; }

    static constexpr int kLineAddNode = 468;
    static constexpr int kLineAddEdge = 480;
    static constexpr int kLineAddEdgeSource = 484;
    static constexpr int kLineAddEdgeTarget = 486;
    static constexpr int kLineIsEdge = 434;
    static constexpr int kLineRemoveEdge = 540;
    static constexpr int kLineRemoveEdgeSource = 544;
    static constexpr int kLineRemoveEdgeTarget = 546;
    static constexpr int kLineRemoveEdgeCells = 548;
    static constexpr int kLineRemoveNode = 580;
    static constexpr int kLineVerify = 620;

    tDiGraph() { resetPool(); }
    tDiGraph(const tDiGraph&) = default;
    tDiGraph& operator=(const tDiGraph&) = default;
    ~tDiGraph() = default;

    // A copy of super that is a view on it.
    static tDiGraph makeView(const tDiGraph& super) {
        tDiGraph view(super);
        view.super_ = &super;
        return view;
    }

    const tDiGraph* superGraph() const { return super_; }
    void setSuperGraph(const tDiGraph* super) { super_ = super; }
    bool isView() const { return super_ != nullptr; }

    // Empties the graph; with release its memory is freed, otherwise kept.
    void clear(bool release) {
        node_ids_.clear(release);
        edge_ids_.clear(release);
        if (release) {
            edges_.clear();
            nodes_.clear();
            adj_links_.clear();
        } else {
            edges_.resize(0);
            nodes_.resize(0);
        }
        resetPool();
    }

    int32_t addNode() {
        if (isView()) throw tExcept(src::tgraph, kLineAddNode, kNexErrView, "no nodes added to a subgraph view");
        int32_t id = node_ids_.append();
        // A reused id keeps its record, emptied when its edges went.
        while (nodes_.size() < id) nodes_.append(NodeInf_{});
        return id;
    }

    int32_t addEdge(int32_t source, int32_t target) {
        if (isView()) throw tExcept(src::tgraph, kLineAddEdge, kNexErrView, "no edges added to a subgraph view");
        if (!isNode(source)) throw tExcept(src::tgraph, kLineAddEdgeSource, kNexErrNode, "source node not valid");
        if (!isNode(target)) throw tExcept(src::tgraph, kLineAddEdgeTarget, kNexErrNode, "target node not valid");
        const NodeTable& records = nodes_;
        records.at(source - 1);
        records.at(target - 1);
        int32_t id = edge_ids_.append();
        // A reused id keeps its record; the table grows only for new ids.
        while (edges_.size() < id) edges_.append(EdgeInf_{});
        int32_t in = appendCell(nodes_.unchecked(target - 1).in_, id);
        int32_t out = appendCell(nodes_.unchecked(source - 1).out_, id);
        edges_.unchecked(id - 1) = EdgeInf_{source, target, out, in};
        return id;
    }

    void removeEdge(int32_t e) {
        if (!isEdge(e)) throw tExcept(src::tgraph, kLineRemoveEdge, kNexErrEdge, "edge not valid");
        EdgeInf_& inf = edges_.unchecked(e - 1);
        if (!isNode(inf.source_))
            throw tExcept(src::tgraph, kLineRemoveEdgeSource, kNexErrNode, "source node not valid");
        if (!isNode(inf.target_))
            throw tExcept(src::tgraph, kLineRemoveEdgeTarget, kNexErrNode, "target node not valid");
        // The cells must name this edge; anything else is a damaged graph
        // (for instance from a bad file), and unlinking would spread it.
        if (!cellHolds(inf.out_link_, e) || !cellHolds(inf.in_link_, e))
            throw tExcept(src::tgraph, kLineRemoveEdgeCells, kNexErrGraph, "tDiGraph inconsistent");
        removeCell(nodes_.at(inf.source_ - 1).out_, inf.out_link_);
        removeCell(nodes_.at(inf.target_ - 1).in_, inf.in_link_);
        inf.source_ = 0;
        inf.target_ = 0;
        edge_ids_.free(e);
    }

    // Removes the node's edges (a loop edge once) and then the node. The
    // edges are collected first, since removing one changes the lists; a
    // loop edge sits in both lists of the node and is taken from the
    // out-list only, so the work is linear in the node's degree (a table of
    // marks over all edge ids would make it linear in the graph's size).
    void removeNode(int32_t n) {
        if (!isNode(n)) throw tExcept(src::tgraph, kLineRemoveNode, kNexErrNode, "node not valid");
        tbag<int32_t, 64> incident;
        const NodeInf_& inf = nodes_.at(n - 1);
        for (const AdjHead* h : {&inf.out_, &inf.in_}) {
            // A list longer than its count is damaged; stop rather than loop.
            int32_t k = 0;
            for (int32_t c = h->first_; adj_links_[c].edge_ != 0 && k++ <= h->count_; c = adj_links_[c].next_) {
                int32_t e = adj_links_[c].edge_;
                if (h == &inf.in_ && isLoop(e, n)) continue;
                incident.append(e);
            }
        }
        for (int32_t k = 0; k < incident.size(); ++k) removeEdge(incident[k]);
        node_ids_.free(n);
    }

    bool isNode(int32_t id) const { return node_ids_.isValid(id); }
    bool isNodeValid(int32_t id) const { return isNode(id); }

    // A live edge whose ends are not live nodes means the graph is damaged.
    bool isEdge(int32_t id) const {
        if (!edge_ids_.isValid(id)) return false;
        if (id > edges_.size()) throw tExcept(src::tgraph, kLineIsEdge, kNexErrGraph, "tDiGraph inconsistent");
        const EdgeInf_& inf = edges_.unchecked(id - 1);
        if (!isNode(inf.source_) || !isNode(inf.target_))
            throw tExcept(src::tgraph, kLineIsEdge, kNexErrGraph, "tDiGraph inconsistent");
        return true;
    }
    bool isEdgeValid(int32_t id) const { return isEdge(id); }

    // The oldest edge from source to target, 0 when there is none.
    int32_t findEdge(int32_t source, int32_t target) const {
        if (!isNode(source)) return 0;
        for (OutEdgeIterator it(*this, source); it.edge() != 0; ++it)
            if (it.target() == target) return it.edge();
        return 0;
    }

    // Exclusive upper bounds of the ids, to size payload tables.
    int32_t nodeLimit() const { return node_ids_.limit(); }
    int32_t edgeLimit() const { return edge_ids_.limit(); }
    int32_t nodeCount() const { return node_ids_.count(); }
    int32_t edgeCount() const { return edge_ids_.count(); }

    // Iteration over the live ids in list order: first, then next until 0.
    int32_t firstNode() const { return node_ids_.next(0); }
    int32_t nextNode(int32_t n) const { return node_ids_.next(n); }
    int32_t firstEdge() const { return edge_ids_.next(0); }
    int32_t nextEdge(int32_t e) const { return edge_ids_.next(e); }

    // Degrees of node n (0 for a freed id whose record is still there).
    int32_t inDeg(int32_t n) const { return nodes_.at(n - 1).in_.count_; }
    int32_t outDeg(int32_t n) const { return nodes_.at(n - 1).out_.count_; }

    // The adjacency record at index node id - 1.
    const NodeInf_& nodeAdjacency(int32_t index) const { return nodes_.at(index); }

    // The record of edge e.
    const EdgeInf_& edgeInfo(int32_t e) const { return edges_.at(e - 1); }
    int32_t edgeSource(int32_t e) const { return edgeInfo(e).source_; }
    int32_t edgeTarget(int32_t e) const { return edgeInfo(e).target_; }
    // The end of e that is not n (n itself for a loop).
    int32_t opposite(int32_t e, int32_t n) const {
        const EdgeInf_& inf = edgeInfo(e);
        return inf.source_ == n ? inf.target_ : inf.source_;
    }

    // Walks one list of a node. Removing the current edge ends the walk's
    // validity: collect the ids first when edges are to be removed.
    class ListIterator {
    public:
        int32_t edge() const { return edge_; }
        bool atEnd() const { return edge_ == 0; }
        explicit operator bool() const { return edge_ != 0; }
        int32_t source() const { return graph_->edgeSource(edge_); }
        int32_t target() const { return graph_->edgeTarget(edge_); }
        ListIterator& operator++() {
            cell_ = graph_->adj_links_[cell_].next_;
            edge_ = graph_->adj_links_[cell_].edge_;
            return *this;
        }

    protected:
        ListIterator(const tDiGraph& g, const AdjHead& h)
            : graph_(&g), cell_(h.first_), edge_(g.adj_links_[h.first_].edge_) {}
        const tDiGraph* graph_;
        int32_t cell_;
        int32_t edge_;
    };

    class OutEdgeIterator : public ListIterator {
    public:
        OutEdgeIterator(const tDiGraph& g, int32_t node) : ListIterator(g, g.nodes_.at(node - 1).out_) {}
    };

    class InEdgeIterator : public ListIterator {
    public:
        InEdgeIterator(const tDiGraph& g, int32_t node) : ListIterator(g, g.nodes_.at(node - 1).in_) {}
    };

    // All edges of a node: the out-list, then the in-list (a loop edge comes
    // once in each).
    class EdgeIterator {
    public:
        EdgeIterator(const tDiGraph& g, int32_t node) : graph_(&g), node_(node) {
            const NodeInf_& inf = g.nodes_.at(node - 1);
            cell_ = inf.out_.first_;
            edge_ = g.adj_links_[cell_].edge_;
            if (edge_ == 0) enterInList();
        }
        int32_t edge() const { return edge_; }
        bool atEnd() const { return state_ == 2; }
        explicit operator bool() const { return state_ != 2; }
        // 0 while in the out-list, 1 in the in-list, 2 at the end.
        int32_t state() const { return state_; }
        bool isOut() const { return state_ == 0; }
        int32_t source() const { return graph_->edgeSource(edge_); }
        int32_t target() const { return graph_->edgeTarget(edge_); }
        // The other end of the current edge seen from the node.
        int32_t other() const { return state_ == 0 ? target() : source(); }
        EdgeIterator& operator++() {
            if (state_ == 2) return *this;
            cell_ = graph_->adj_links_[cell_].next_;
            edge_ = graph_->adj_links_[cell_].edge_;
            if (edge_ == 0) {
                if (state_ == 0) enterInList();
                else state_ = 2;
            }
            return *this;
        }

    private:
        void enterInList() {
            state_ = 1;
            cell_ = graph_->nodes_.at(node_ - 1).in_.first_;
            edge_ = graph_->adj_links_[cell_].edge_;
            if (edge_ == 0) state_ = 2;
        }
        const tDiGraph* graph_;
        int32_t node_;
        int32_t state_ = 0;
        int32_t cell_ = 0;
        int32_t edge_ = 0;
    };

    // The raw parts, for the save writer and loader (which fills them after
    // clear and should then call verify).
    IdList& nodeIdList() { return node_ids_; }
    const IdList& nodeIdList() const { return node_ids_; }
    IdList& edgeIdList() { return edge_ids_; }
    const IdList& edgeIdList() const { return edge_ids_; }
    EdgeTable& edgeTable() { return edges_; }
    const EdgeTable& edgeTable() const { return edges_; }
    NodeTable& nodeTable() { return nodes_; }
    const NodeTable& nodeTable() const { return nodes_; }
    AdjPool& adjacencyHead() { return adj_pool_; }
    const AdjPool& adjacencyHead() const { return adj_pool_; }
    AdjTable& adjacencyLinks() { return adj_links_; }
    const AdjTable& adjacencyLinks() const { return adj_links_; }

    // Checks every invariant: the id lists, both ends and both cells of each
    // live edge, each live node's lists and counts, and the cell pool.
    // Throws tExcept 16110 "tDiGraph inconsistent" when one fails.
    void verify() const {
        if (!checkAll()) throw tExcept(src::tgraph, kLineVerify, kNexErrGraph, "tDiGraph inconsistent");
    }

private:
    void resetPool() {
        adj_pool_ = AdjPool{0, 0, 0, -1};
        adj_links_.resize(1);
        adj_links_.unchecked(0) = AdjLink{0, 0, 0};
    }

    // Whether e is a live edge from n to n.
    bool isLoop(int32_t e, int32_t n) const {
        if (!edge_ids_.isValid(e) || e > edges_.size()) return false;
        const EdgeInf_& inf = edges_.unchecked(e - 1);
        return inf.source_ == n && inf.target_ == n;
    }

    bool cellHolds(int32_t c, int32_t e) const {
        return c > 0 && c < adj_links_.size() && adj_links_.unchecked(c).edge_ == e;
    }

    // Appends edge e to list h; returns its cell.
    int32_t appendCell(AdjHead& h, int32_t e) {
        int32_t c;
        if (adj_pool_.free_count_ > 0) {
            c = adj_pool_.free_head_;
            adj_pool_.free_head_ = adj_links_[c].next_;
            --adj_pool_.free_count_;
        } else {
            c = adj_links_.size();
            adj_links_.appendSlot();
            ++adj_pool_.used_;
        }
        ++adj_pool_.count_;
        AdjLink& cell = adj_links_[c];
        cell = AdjLink{0, 0, 0};
        if (h.count_ > 0) {
            cell.prev_ = h.last_;
            adj_links_[h.last_].next_ = c;
        } else {
            h.first_ = c;
        }
        cell.next_ = 0;
        h.last_ = c;
        cell.edge_ = e;
        ++h.count_;
        return c;
    }

    void removeCell(AdjHead& h, int32_t c) {
        AdjLink& cell = adj_links_[c];
        if (h.count_ == 1) {
            h.first_ = 0;
            h.last_ = 0;
        } else if (c == h.last_) {
            h.last_ = cell.prev_;
            adj_links_[h.last_].next_ = 0;
        } else if (c == h.first_) {
            h.first_ = cell.next_;
            adj_links_[h.first_].prev_ = 0;
        } else {
            adj_links_[cell.prev_].next_ = cell.next_;
            adj_links_[cell.next_].prev_ = cell.prev_;
        }
        cell.edge_ = 0;
        --h.count_;
        cell.prev_ = 0;
        cell.next_ = adj_pool_.free_head_;
        adj_pool_.free_head_ = c;
        ++adj_pool_.free_count_;
        --adj_pool_.count_;
    }

    // Walks list h of node n; false unless every cell lies in the pool, was
    // not met before (in this or another list), names a live edge that
    // refers back to node and cell, and the links and the count agree. The
    // cells walked are marked in seen.
    // live[e] tells whether e is a live edge id (edge_ids_.isValid, taken
    // once for all lists).
    bool checkList(const AdjHead& h, int32_t n, bool out, std::vector<char>& seen,
                   const std::vector<char>& live) const {
        int32_t cells = adj_links_.size();
        if (h.count_ > cells) return false;
        int32_t prev = 0;
        int32_t c = h.first_;
        for (int32_t k = 0; k < h.count_; ++k) {
            if (c <= 0 || c >= cells || seen[static_cast<size_t>(c)]) return false;
            seen[static_cast<size_t>(c)] = 1;
            const AdjLink& cell = adj_links_.unchecked(c);
            if (cell.prev_ != prev || cell.edge_ <= 0 || static_cast<size_t>(cell.edge_) >= live.size() ||
                !live[static_cast<size_t>(cell.edge_)] || cell.edge_ > edges_.size())
                return false;
            const EdgeInf_& inf = edges_.unchecked(cell.edge_ - 1);
            if (out ? (inf.source_ != n || inf.out_link_ != c) : (inf.target_ != n || inf.in_link_ != c))
                return false;
            prev = c;
            c = cell.next_;
        }
        return c == 0 && h.last_ == prev && (h.count_ > 0 || h.first_ == 0);
    }

    bool checkAll() const {
        if (!node_ids_.verify() || !edge_ids_.verify()) return false;
        if (adj_links_.empty() || adj_links_.unchecked(0).edge_ != 0) return false;
        if (node_ids_.limit() > nodes_.size() + 1 || edge_ids_.limit() > edges_.size() + 1) return false;
        // Every cell of the pool is met once: in one node list, or free. A
        // cell in two lists would be freed twice by removeEdge and then
        // handed out twice.
        std::vector<char> seen(static_cast<size_t>(adj_links_.size()), 0);
        std::vector<char> live(static_cast<size_t>(edge_ids_.limit()), 0);
        for (int32_t e = 1; e < edge_ids_.limit(); ++e) live[static_cast<size_t>(e)] = edge_ids_.isValid(e) ? 1 : 0;
        int64_t in_total = 0;
        int64_t out_total = 0;
        for (int32_t n = firstNode(); n != 0; n = nextNode(n)) {
            const NodeInf_& inf = nodes_.unchecked(n - 1);
            if (inf.in_.count_ < 0 || inf.out_.count_ < 0) return false;
            if (!checkList(inf.in_, n, false, seen, live) || !checkList(inf.out_, n, true, seen, live)) return false;
            in_total += inf.in_.count_;
            out_total += inf.out_.count_;
        }
        int64_t marked = in_total + out_total;
        int32_t edges = edgeCount();
        // No pass over the edges is needed: an out-list cell c of node n
        // names a live edge e with source n and out-link c, so two cells
        // naming one edge would be the same cell, which seen refuses. The
        // out-lists thus name distinct live edges, as many as there are
        // live edges (the id list's check makes the live ids count many):
        // each live edge once, starting at a live node, its out-link a cell
        // holding it. The same holds for the in-lists and targets.
        if (in_total != edges || out_total != edges) return false;
        // The pool: every cell ever made is either in a list or free.
        if (adj_pool_.used_ != adj_links_.size() - 1 || adj_pool_.count_ != 2 * edges ||
            adj_pool_.count_ + adj_pool_.free_count_ != adj_pool_.used_)
            return false;
        int32_t c = adj_pool_.free_head_;
        for (int32_t k = 0; k < adj_pool_.free_count_; ++k) {
            if (c <= 0 || c >= adj_links_.size() || seen[static_cast<size_t>(c)] ||
                adj_links_.unchecked(c).edge_ != 0)
                return false;
            seen[static_cast<size_t>(c)] = 1;
            ++marked;
            c = adj_links_.unchecked(c).next_;
        }
        return marked == adj_pool_.used_;
    }

    IdList node_ids_;
    IdList edge_ids_;
    EdgeTable edges_;
    NodeTable nodes_;
    AdjPool adj_pool_{0, 0, 0, -1};
    AdjTable adj_links_;
    const tDiGraph* super_ = nullptr;
};

}  // namespace nex

using nex::tDiGraph;
