// Block list: a growable array kept in fixed-size blocks of B elements, so
// elements never move and references to them stay valid while the list grows.
#pragma once

#include <cstdint>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

#include "nex/texcept.h"

namespace nex {

// Out of memory while growing a list; the list is left as it was.
class tBadAlloc : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

template <class T, int B = 128>
class tappend {
    static_assert(B > 0, "a block holds at least one element");

public:
    using value_type = T;
    static constexpr int32_t kBlockSize = B;
    // log2 of B when B is a power of two (index arithmetic is a shift and a
    // mask), else 0 and the index is divided by B.
    static constexpr int32_t kShift = [] {
        if ((B & (B - 1)) != 0) return 0;
        int32_t s = 0;
        while ((1 << s) < B) ++s;
        return s;
    }();
    // The block table doubles up to this many entries, then grows by it.
    static constexpr int32_t kTableStep = 0x20000;

    // Lines the range checks report, one per accessor.
    static constexpr int kLineGet = 143;
    static constexpr int kLineGetConst = 150;
    static constexpr int kLineAt = 157;
    static constexpr int kLineAtConst = 164;

    tappend() = default;

    tappend(int32_t n, const T& value) { resizeFill(n, value); }

    tappend(const tappend& other) { copyFrom(other); }

    tappend(tappend&& other) noexcept { swap(other); }

    tappend& operator=(const tappend& other) {
        if (&other != this) copyFrom(other);
        return *this;
    }

    tappend& operator=(tappend&& other) noexcept {
        if (&other != this) {
            clear();
            swap(other);
        }
        return *this;
    }

    ~tappend() { clear(); }

    void swap(tappend& other) noexcept {
        std::swap(items_, other.items_);
        std::swap(nblocks_, other.nblocks_);
        std::swap(table_capacity_, other.table_capacity_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    int32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int32_t capacity() const { return capacity_; }
    int32_t blockCount() const { return nblocks_; }
    int32_t tableCapacity() const { return table_capacity_; }

    // Appends one block of default-valued elements.
    void grow() {
        if (capacity_ > INT32_MAX - B) throw tBadAlloc();
        T* block = nullptr;
        try {
            block = new T[B]();
        } catch (const std::bad_alloc&) {
            throw tBadAlloc();
        }
        if (nblocks_ == table_capacity_) {
            int32_t c = table_capacity_;
            int32_t nc = c <= kTableStep ? (c * 2 < 2 ? 2 : c * 2) : c + kTableStep;
            T** table = new (std::nothrow) T*[static_cast<size_t>(nc)];
            if (!table) {
                delete[] block;
                throw tBadAlloc();
            }
            for (int32_t b = 0; b < nblocks_; ++b) table[b] = items_[b];
            delete[] items_;
            items_ = table;
            table_capacity_ = nc;
        }
        items_[nblocks_++] = block;
        capacity_ += B;
    }

    void reserve(int32_t n) {
        while (capacity_ < n) grow();
    }

    // A negative n frees everything. Otherwise the list gets n elements; the
    // new ones are whatever the blocks hold (default values in fresh blocks).
    void resize(int32_t n) {
        if (n < 0) {
            clear();
            return;
        }
        reserve(n);
        size_ = n;
    }

    // Resizes to n and sets every element from the old size on to value.
    void resizeFill(int32_t n, const T& value) {
        int32_t old = size_;
        resize(n);
        for (int32_t i = old; i < size_; ++i) unchecked(i) = value;
    }

    T& append(const T& value) {
        T& slot = appendSlot();
        slot = value;
        return slot;
    }

    T& append(T&& value) {
        T& slot = appendSlot();
        slot = std::move(value);
        return slot;
    }

    // Takes the next slot as it is (a default value in a fresh block) and
    // returns it; for callers that fill the element in place.
    T& appendSlot() {
        if (size_ == capacity_) grow();
        return unchecked(size_++);
    }

    // Drops the last element (it stays constructed in its block).
    void removeLast() {
        if (size_ == 0) throw tExRange(src::tappend, kLineGet, 0, 0, size_);
        --size_;
    }

    T& back() { return (*this)[size_ - 1]; }
    const T& back() const { return (*this)[size_ - 1]; }

    // Range-checked access; a failure throws tExRange naming the accessor's
    // line. Tables indexed by a 1-based id are read at id - 1.
    T& operator[](int32_t i) {
        checkIndex(i, kLineGet);
        return unchecked(i);
    }
    const T& operator[](int32_t i) const {
        checkIndex(i, kLineGetConst);
        return unchecked(i);
    }
    T& at(int32_t i) {
        checkIndex(i, kLineAt);
        return unchecked(i);
    }
    const T& at(int32_t i) const {
        checkIndex(i, kLineAtConst);
        return unchecked(i);
    }

    // For internal loops whose bounds are already known.
    T& unchecked(int32_t i) { return items_[blockOf(i)][offsetOf(i)]; }
    const T& unchecked(int32_t i) const { return items_[blockOf(i)][offsetOf(i)]; }

    void checkIndex(int32_t i, int line) const {
        if (i < 0 || i >= size_) throw tExRange(src::tappend, line, i, 0, size_);
    }

    void clear() {
        for (int32_t b = 0; b < nblocks_; ++b) delete[] items_[b];
        delete[] items_;
        items_ = nullptr;
        nblocks_ = 0;
        table_capacity_ = 0;
        size_ = 0;
        capacity_ = 0;
    }

    template <bool Const>
    class Iter {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using List = std::conditional_t<Const, const tappend, tappend>;
        using reference = std::conditional_t<Const, const T&, T&>;
        using pointer = std::conditional_t<Const, const T*, T*>;

        Iter(List* list, int32_t index) : list_(list), index_(index) {}
        reference operator*() const {
            list_->checkIndex(index_, kLineGetConst);
            return list_->unchecked(index_);
        }
        pointer operator->() const { return &**this; }
        Iter& operator++() {
            ++index_;
            return *this;
        }
        Iter operator++(int) {
            Iter old = *this;
            ++index_;
            return old;
        }
        bool operator==(const Iter& o) const { return index_ == o.index_ && list_ == o.list_; }
        bool operator!=(const Iter& o) const { return !(*this == o); }
        int32_t index() const { return index_; }

    private:
        List* list_;
        int32_t index_;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, size_); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size_); }

private:
    static int32_t blockOf(int32_t i) {
        if constexpr ((B & (B - 1)) == 0) return i >> kShift;
        else return i / B;
    }
    static int32_t offsetOf(int32_t i) {
        if constexpr ((B & (B - 1)) == 0) return i & (B - 1);
        else return i % B;
    }

    void copyFrom(const tappend& other) {
        reserve(other.size_);
        size_ = other.size_;
        // Whole blocks at a time: the same block layout on both sides.
        for (int32_t b = 0; b * B < size_; ++b) {
            int32_t n = size_ - b * B < B ? size_ - b * B : B;
            const T* from = other.items_[b];
            T* to = items_[b];
            for (int32_t k = 0; k < n; ++k) to[k] = from[k];
        }
    }

    T** items_ = nullptr;
    int32_t nblocks_ = 0;
    int32_t table_capacity_ = 0;
    int32_t size_ = 0;
    int32_t capacity_ = 0;
};

}  // namespace nex
