// The instance lists that hold the buildings and walkers of a type by value,
// with what the world keeps beside their slots so that it need not search
// them: a table of the live objects by instance index (objects by id) and,
// for walkers, the walkers each home has sent.
#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dax2/dax_oid.h"
#include "nex/appendablewithfreelist.h"
#include "rn.h"

// Instance lists of building and walker types grow in blocks of 16 objects:
// a type's list holds at most 15 slots never used (a town has dozens of
// types, and an object takes up to a few hundred bytes).
constexpr int kRnInstanceBlock = 16;

// Counts the times an instance list freed or gave up the storage of its
// slots (cleared, assigned to or destroyed). The slots never move while the
// list grows or has objects added and removed, so the address of an
// instance slot stays good while the count is the same.
extern uint64_t grn_instance_epoch;

// The live object at an instance index, null for a free slot or an index
// out of range (negative ones included), read from the slot's own flag.
template <class Obj>
Obj* rnLiveInstance(nex::AppendableWithFreeList<Obj, kRnInstanceBlock>& list, int32_t idx) {
    if (static_cast<uint32_t>(idx) >= static_cast<uint32_t>(list.size()) || !list.isUsed(idx)) return nullptr;
    return &list[idx];
}

// The instance list of a building or walker type. Beside the slots it keeps
// a table of the live objects by instance index (grn_caches.building_index_):
// a lookup by id reads one pointer instead of the slot's flag, which lies
// behind the object, on another cache line than the fields the caller
// reads. The table follows every slot taken and freed while the switch is
// on; with the switch off, or after the list was cleared or copied (a copy
// would point into the other list's slots), it is dropped and built again
// from the slots at the next lookup with the switch on.
//
// The list is not a nex list to its users (only the add, remove and clear
// here keep the table), but reads like one.
template <class Obj>
class RnInstanceList : private nex::AppendableWithFreeList<Obj, kRnInstanceBlock> {
    using Base = nex::AppendableWithFreeList<Obj, kRnInstanceBlock>;

public:
    using typename Base::const_iterator;
    using typename Base::iterator;
    using typename Base::value_type;
    using Base::begin;
    using Base::end;
    using Base::freeCount;
    using Base::freeHead;
    using Base::isUsed;
    using Base::liveCount;
    using Base::size;
    using Base::slots;
    using Base::operator[];

    RnInstanceList() = default;
    RnInstanceList(const RnInstanceList& other) : Base(other) {}
    RnInstanceList(RnInstanceList&&) noexcept = default;
    RnInstanceList& operator=(const RnInstanceList& other) {
        ++grn_instance_epoch;
        Base::operator=(other);
        dropTable();
        return *this;
    }
    RnInstanceList& operator=(RnInstanceList&& other) noexcept {
        ++grn_instance_epoch;
        Base::operator=(std::move(other));
        live_ = std::move(other.live_);
        has_table_ = other.has_table_;
        other.has_table_ = false;
        return *this;
    }
    ~RnInstanceList() { ++grn_instance_epoch; }

    int32_t add(const Obj& value) {
        const int32_t idx = Base::add(value);
        if (tableKept()) {
            if (static_cast<size_t>(idx) >= live_.size()) {
                // Indices come one after another: an eighth more room at a
                // time instead of double keeps the unused part small.
                const size_t n = static_cast<size_t>(idx) + 1;
                if (n > live_.capacity()) live_.reserve(n + n / 8 + 16);
                live_.resize(n, nullptr);
            }
            live_[static_cast<size_t>(idx)] = &Base::operator[](idx);
        }
        return idx;
    }
    void remove(int32_t idx) {
        Base::remove(idx);
        if (tableKept()) live_[static_cast<size_t>(idx)] = nullptr;
    }
    void clear() {
        ++grn_instance_epoch;
        Base::clear();
        dropTable();
    }

    // The live object at an instance index, null for a free slot or an
    // index out of range: from the table while the switch is on, else from
    // the slot's flag.
    Obj* find(int32_t idx) {
        if (!grn_caches.building_index_) return rnLiveInstance<Obj>(static_cast<Base&>(*this), idx);
        if (!has_table_) buildTable();
        return static_cast<uint32_t>(idx) < live_.size() ? live_[static_cast<size_t>(idx)] : nullptr;
    }

    // For prefetching only (nothing is built or changed): the table's cell
    // of idx, and the object the table holds there; null when the list
    // keeps no table or idx is out of it.
    Obj* const* cellOf(int32_t idx) const {
        return has_table_ && static_cast<uint32_t>(idx) < live_.size() ? &live_[static_cast<size_t>(idx)] : nullptr;
    }
    Obj* peek(int32_t idx) const {
        Obj* const* cell = cellOf(idx);
        return cell ? *cell : nullptr;
    }

private:
    // Whether the table is kept up: a table that would miss a change is
    // dropped instead.
    bool tableKept() {
        if (has_table_ && !grn_caches.building_index_) dropTable();
        return has_table_;
    }
    void dropTable() {
        live_.clear();
        live_.shrink_to_fit();
        has_table_ = false;
    }
    void buildTable() {
        live_.assign(static_cast<size_t>(Base::size()), nullptr);
        for (auto it = Base::begin(); it != Base::end(); ++it) live_[static_cast<size_t>(it.index())] = &*it;
        has_table_ = true;
    }

    std::vector<Obj*> live_;
    bool has_table_ = false;
};

// The same for an instance list, through its table when it keeps one.
template <class Obj>
Obj* rnLiveInstance(RnInstanceList<Obj>& list, int32_t idx) {
    return list.find(idx);
}

// The instance indices of the walkers of one walker type by the home that
// sent them, each home's in ascending order (the order of the instance
// list); walkers whose home names no building (instance index -1: a saved
// walker whose home did not come back) are kept apart.
class RnHomeIndex {
public:
    void add(const RnObjectID& home, int32_t idx);
    void remove(const RnObjectID& home, int32_t idx);
    void clear();
    // The walkers home sent; home must name a building.
    const std::vector<int32_t>& walkersOf(const RnObjectID& home) const;
    // The walkers whose home names no building.
    const std::vector<int32_t>& homeless() const { return homeless_; }

private:
    static uint64_t key(const RnObjectID& home) {
        return (static_cast<uint64_t>(home.packed()) << 32) | static_cast<uint32_t>(home.bld_idx_);
    }
    std::vector<int32_t>& listOf(const RnObjectID& home);

    std::unordered_map<uint64_t, std::vector<int32_t>> by_home_;
    std::vector<int32_t> homeless_;
};

// The instance list of a walker type. Beside the table of live walkers it
// keeps the walkers of each home (grn_caches.finished_walkers_), so that a
// home takes back its finished walkers, and a home that goes away removes
// its walkers, without looking at every walker of the type. A walker's home
// is fixed while it is in the list (the loader, which sets the homes of
// the walkers it reads, clears the list first); the index follows the
// slots as the table of live walkers does, under its own switch.
template <class W>
class RnWalkerList : public RnInstanceList<W> {
    using Base = RnInstanceList<W>;

public:
    RnWalkerList() = default;
    RnWalkerList(const RnWalkerList& other) : Base(other) {}
    RnWalkerList(RnWalkerList&&) noexcept = default;
    RnWalkerList& operator=(const RnWalkerList& other) {
        Base::operator=(other);
        dropHomes();
        return *this;
    }
    RnWalkerList& operator=(RnWalkerList&&) noexcept = default;
    ~RnWalkerList() = default;

    int32_t add(const W& walker) {
        const int32_t idx = Base::add(walker);
        if (homesKept()) homes_.add(walker.home_oid_, idx);
        return idx;
    }
    void remove(int32_t idx) {
        Base::remove(idx);
        // The freed slot keeps the walker as it was until it is taken again.
        if (homesKept()) homes_.remove(this->slots().unchecked(idx).value.home_oid_, idx);
    }
    void clear() {
        Base::clear();
        dropHomes();
    }

    // The instance indices of the walkers whose home is home, ascending
    // (home names a building), or of those whose home names none (home's
    // instance index -1). Only while grn_caches.finished_walkers_ is on.
    const std::vector<int32_t>& walkersOf(const RnObjectID& home) {
        if (!has_homes_) buildHomes();
        return home.bld_idx_ == -1 ? homes_.homeless() : homes_.walkersOf(home);
    }

private:
    bool homesKept() {
        if (has_homes_ && !grn_caches.finished_walkers_) dropHomes();
        return has_homes_;
    }
    void dropHomes() {
        homes_.clear();
        has_homes_ = false;
    }
    void buildHomes() {
        homes_.clear();
        for (auto it = Base::begin(); it != Base::end(); ++it) homes_.add(it->home_oid_, it.index());
        has_homes_ = true;
    }

    RnHomeIndex homes_;
    bool has_homes_ = false;
};
