// The road graph of the floods.
#include "rn_road_graph.h"

#include <algorithm>

#include "rn_map.h"

namespace {

const DaxMapPositionI kOffsets[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// A free number of the array, else a new one at its end.
template <class T>
int32_t takeNumber(std::vector<T>& items, std::vector<int32_t>& free) {
    if (free.empty()) {
        items.emplace_back();
        return static_cast<int32_t>(items.size() - 1);
    }
    const int32_t n = free.back();
    free.pop_back();
    return n;
}

}  // namespace

void RnRoadGraph::update(const RnMap& map) {
    if (!read_) {
        readAll(map);
        return;
    }
    if (changed_.empty()) return;
    ++version_;
    // Road tiles that came or went first, so that the links below find every
    // road node.
    for (const DaxMapPositionI& p : changed_) {
        const bool road = map.isOnMap(p) && map.tile(p).isRoad();
        const int32_t n = nodeAt(p);
        if (road && n < 0) addNode(p);
        if (!road && n >= 0) removeNode(n);
    }
    for (const DaxMapPositionI& p : changed_) {
        int32_t n = nodeAt(p);
        if (n >= 0) linkNode(map, n);
        for (const DaxMapPositionI& o : kOffsets) {
            n = nodeAt(p + o);
            if (n >= 0) linkNode(map, n);
        }
    }
    changed_.clear();
}

void RnRoadGraph::tileChanged(const DaxMapPositionI& p) {
    if (!read_) return;
    // A long list of changes (a whole town placed while nothing floods) is
    // cheaper read afresh.
    if (changed_.size() > 1024 + nodes_.size()) {
        clear();
        return;
    }
    changed_.push_back(p);
}

void RnRoadGraph::clear() {
    read_ = false;
    ++version_;
    std::vector<Node>().swap(nodes_);
    std::vector<int32_t>().swap(free_nodes_);
    node_of_.release();
    std::vector<Slot>().swap(slots_);
    std::vector<int32_t>().swap(free_slots_);
    slot_of_.release();
    std::vector<DaxMapPositionI>().swap(changed_);
}

int32_t RnRoadGraph::slotOf(const RnObjectID& oid) const { return numberOf(slot_of_, oidKey(oid)); }

void RnRoadGraph::dropObjectsIfMoved(uint64_t instance_epoch) const {
    if (object_epoch_.value == instance_epoch) return;
    for (const Slot& s : slots_) s.object_ = nullptr;
    object_epoch_.value = instance_epoch;
}

int32_t RnRoadGraph::nodeAt(const DaxMapPositionI& p) const { return numberOf(node_of_, posKey(p)); }

size_t RnRoadGraph::memoryBytes() const {
    return sizeof(*this) + nodes_.capacity() * sizeof(Node) + free_nodes_.capacity() * sizeof(int32_t) +
           slots_.capacity() * sizeof(Slot) + free_slots_.capacity() * sizeof(int32_t) +
           changed_.capacity() * sizeof(DaxMapPositionI) + node_of_.bytes() + slot_of_.bytes();
}

void RnRoadGraph::readAll(const RnMap& map) {
    clear();
    // Numbered square by square, so that the nodes a flood walks lie close
    // together in memory.
    constexpr int kSquare = 16;
    const int side = map.size();
    for (int x0 = 0; x0 < side; x0 += kSquare) {
        for (int y0 = 0; y0 < side; y0 += kSquare) {
            for (int x = x0; x < std::min(side, x0 + kSquare); ++x) {
                for (int y = y0; y < std::min(side, y0 + kSquare); ++y) {
                    if (map.tile(x, y).isRoad()) addNode(DaxMapPositionI(x, y));
                }
            }
        }
    }
    for (size_t n = 0; n < nodes_.size(); ++n) linkNode(map, static_cast<int32_t>(n));
    // Later changes add a few at a time.
    nodes_.shrink_to_fit();
    slots_.shrink_to_fit();
    read_ = true;
    ++version_;
}

void RnRoadGraph::addNode(const DaxMapPositionI& p) {
    const int32_t n = takeNumber(nodes_, free_nodes_);
    nodes_[static_cast<size_t>(n)] = Node();
    nodes_[static_cast<size_t>(n)].pos_ = p;
    bool added = false;
    *node_of_.findOrAdd(posKey(p), added) = n;
}

void RnRoadGraph::removeNode(int32_t n) {
    unlinkNode(n);
    int32_t gone = -1;
    node_of_.take(posKey(nodes_[static_cast<size_t>(n)].pos_), gone);
    nodes_[static_cast<size_t>(n)] = Node();
    free_nodes_.push_back(n);
}

void RnRoadGraph::linkNode(const RnMap& map, int32_t n) {
    unlinkNode(n);
    Node& node = nodes_[static_cast<size_t>(n)];
    for (int d = 0; d < 4; ++d) {
        const DaxMapPositionI q = node.pos_ + kOffsets[d];
        if (!map.isOnMap(q)) continue;
        const RnObjectID& oid = map.tile(q).oid_;
        if (oid.kind_ == RnIdBldRoad) {
            // A road tile nobody reported has no node: nothing leads there.
            node.link_[d] = nodeAt(q);
            continue;
        }
        if (oid.kind_ == RnIdBldHous) node.house_beside_ = true;
        if (!oid.isBuilding()) continue;
        node.link_[d] = buildingLink(acquireSlot(oid));
        node.code_[d] = typeCode(oid);
    }
}

void RnRoadGraph::unlinkNode(int32_t n) {
    Node& node = nodes_[static_cast<size_t>(n)];
    for (int32_t& link : node.link_) {
        if (isBuildingLink(link)) releaseSlot(slotOfLink(link));
        link = kNoLink;
    }
    for (uint16_t& code : node.code_) code = kTypeCodes;
    node.house_beside_ = false;
}

int32_t RnRoadGraph::acquireSlot(const RnObjectID& oid) {
    bool added = false;
    int32_t& known = *slot_of_.findOrAdd(oidKey(oid), added);
    if (added) {
        known = takeNumber(slots_, free_slots_);
        slots_[static_cast<size_t>(known)].oid_ = oid;
    }
    const int32_t slot = known;
    ++slots_[static_cast<size_t>(slot)].refs_;
    return slot;
}

void RnRoadGraph::releaseSlot(int32_t slot) {
    Slot& s = slots_[static_cast<size_t>(slot)];
    if (--s.refs_ > 0) return;
    int32_t gone = -1;
    slot_of_.take(oidKey(s.oid_), gone);
    s = Slot();
    free_slots_.push_back(slot);
}

bool RnRoadGraph::matches(const RnMap& map) const {
    RnRoadGraph fresh;
    fresh.readAll(map);
    if (!read_ || fresh.node_of_.size() != node_of_.size() || fresh.slot_of_.size() != slot_of_.size()) return false;
    std::vector<int32_t> refs(slots_.size(), 0);
    for (size_t i = 0; i < nodes_.size(); ++i) {
        const Node& mine = nodes_[i];
        if (mine.pos_.isNone()) continue;  // a free node
        const int32_t m = fresh.nodeAt(mine.pos_);
        if (m < 0 || nodeAt(mine.pos_) != static_cast<int32_t>(i)) return false;
        const Node& theirs = fresh.node(m);
        if (mine.house_beside_ != theirs.house_beside_) return false;
        for (int d = 0; d < 4; ++d) {
            const int32_t a = mine.link_[d];
            const int32_t b = theirs.link_[d];
            if (isRoadLink(a) != isRoadLink(b) || isBuildingLink(a) != isBuildingLink(b)) return false;
            if (isRoadLink(a) && node(a).pos_ != fresh.node(b).pos_) return false;
            if (isBuildingLink(a)) {
                if (building(slotOfLink(a)) != fresh.building(slotOfLink(b))) return false;
                ++refs[static_cast<size_t>(slotOfLink(a))];
            }
        }
    }
    for (size_t s = 0; s < slots_.size(); ++s)
        if (refs[s] != slots_[s].refs_) return false;
    return true;
}
