// Instance list with free slots: objects live by value at a stable index (the
// instance index of their object id); removed slots are reused, last freed
// first, and the list never moves or shrinks its elements.
#pragma once

#include <cstdint>
#include <iterator>
#include <type_traits>
#include <utility>

#include "nex/tappend.h"

namespace nex {

template <class T, int B = 64>
class AppendableWithFreeList {
public:
    // Flag word of a slot: all ones while in use; with the top bit clear the
    // low 31 bits link to the next free slot.
    static constexpr uint32_t kInUse = 0xFFFFFFFFu;
    static constexpr uint32_t kUsedBit = 0x80000000u;
    static constexpr uint32_t kLinkMask = 0x7FFFFFFFu;

    // Lines the checks of this list report.
    static constexpr int kLineGet = 79;
    static constexpr int kLineGetConst = 85;
    static constexpr int kLineRemoveFree = 92;

    struct Slot {
        T value;
        uint32_t flags;
    };

    using value_type = T;

    // Returns the instance index of the new object.
    int32_t add(const T& value) {
        if (free_count_ == 0) {
            Slot& slot = slots_.appendSlot();
            slot.value = value;
            slot.flags = kInUse;
            ++live_count_;
            return slots_.size() - 1;
        }
        int32_t index = free_head_;
        Slot& slot = slots_[index];
        int32_t next = static_cast<int32_t>(slot.flags & kLinkMask);
        slot.value = value;
        slot.flags = kInUse;
        free_head_ = next;
        ++live_count_;
        --free_count_;
        return index;
    }

    // Frees slot i for reuse; the object stays as it is until the slot is
    // taken again. Freeing a slot twice would hand one index to two objects,
    // so a free slot is refused like any bad index.
    void remove(int32_t i) {
        slots_.checkIndex(i, tappend<Slot, B>::kLineGetConst);
        Slot& slot = slots_.unchecked(i);
        if ((slot.flags & kUsedBit) == 0)
            throw tExRange(src::appendable, kLineRemoveFree, i, 0, slots_.size());
        slot.flags = static_cast<uint32_t>(free_head_) & kLinkMask;
        ++free_count_;
        --live_count_;
        free_head_ = i;
    }

    bool isUsed(int32_t i) const {
        slots_.checkIndex(i, tappend<Slot, B>::kLineGet);
        return (slots_.unchecked(i).flags & kUsedBit) != 0;
    }

    T& operator[](int32_t i) {
        checkInUse(i, kLineGet);
        return slots_.unchecked(i).value;
    }
    const T& operator[](int32_t i) const {
        checkInUse(i, kLineGetConst);
        return slots_.unchecked(i).value;
    }

    // Exclusive upper bound of the instance indices.
    int32_t size() const { return slots_.size(); }
    int32_t liveCount() const { return live_count_; }
    int32_t freeCount() const { return free_count_; }
    int32_t freeHead() const { return free_head_; }

    // Empties the list and frees its memory.
    void clear() {
        slots_.clear();
        free_head_ = 0;
        live_count_ = 0;
        free_count_ = 0;
    }

    // The slots with their flag words, for code that walks the raw table.
    const tappend<Slot, B>& slots() const { return slots_; }

    // Visits the slots in use in index order.
    template <bool Const>
    class Iter {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using List = std::conditional_t<Const, const AppendableWithFreeList, AppendableWithFreeList>;
        using reference = std::conditional_t<Const, const T&, T&>;
        using pointer = std::conditional_t<Const, const T*, T*>;

        Iter(List* list, int32_t index) : list_(list), index_(index) {}
        reference operator*() const {
            list_->slots_.checkIndex(index_, tappend<Slot, B>::kLineGetConst);
            return list_->slots_.unchecked(index_).value;
        }
        pointer operator->() const { return &**this; }
        Iter& operator++() {
            int32_t n = list_->slots_.size();
            do {
                ++index_;
            } while (index_ < n && (list_->slots_.unchecked(index_).flags & kUsedBit) == 0);
            return *this;
        }
        Iter operator++(int) {
            Iter old = *this;
            ++*this;
            return old;
        }
        bool operator==(const Iter& o) const { return index_ == o.index_ && list_ == o.list_; }
        bool operator!=(const Iter& o) const { return !(*this == o); }
        // The instance index of the current object.
        int32_t index() const { return index_; }

    private:
        List* list_;
        int32_t index_;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    iterator begin() { return ++iterator(this, -1); }
    iterator end() { return iterator(this, slots_.size()); }
    const_iterator begin() const { return ++const_iterator(this, -1); }
    const_iterator end() const { return const_iterator(this, slots_.size()); }

private:
    void checkInUse(int32_t i, int line) const {
        if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(slots_.size()) ||
            (slots_.unchecked(i).flags & kUsedBit) == 0)
            throw tExRange(src::appendable, line, i, 0, slots_.size());
    }

    tappend<Slot, B> slots_;
    int32_t free_head_ = 0;
    int32_t live_count_ = 0;
    int32_t free_count_ = 0;
};

}  // namespace nex
