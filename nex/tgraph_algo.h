// Helpers of the graph searches: an indexed 4-ary min-heap whose entries know
// their heap position, so a lowered key is repaired by one sift-up.
#pragma once

#include <cstdint>
#include <new>

#include "nex/tbag.h"
#include "nex/texcept.h"

namespace nex {

class tPrioQueue {
public:
    // A queued (key, value) pair; the handle push returns. It is freed when
    // popped, so a caller that keeps handles drops the popped one.
    struct Entry {
        int32_t key_;       // smaller comes first
        int32_t value_;     // the caller's payload (a node id)
        int32_t position_;  // current index in the heap
    };

    static constexpr int kLinePush = 81;
    static constexpr int kLineSiftUp = 89;
    static constexpr int kLineStale = 90;

    tPrioQueue() = default;
    tPrioQueue(const tPrioQueue&) = delete;
    tPrioQueue& operator=(const tPrioQueue&) = delete;
    ~tPrioQueue() { clear(); }

    Entry* push(int32_t key, int32_t value) {
        Entry* e = new (std::nothrow) Entry{key, value, -1};
        if (!e) throw tExMalloc(src::tgraph_algo, kLinePush);
        try {
            entries_.append(e);
        } catch (...) {
            delete e;
            throw;
        }
        siftUp(e, entries_.size() - 1);
        return e;
    }

    // Moves entry e, which sits at heap position p, towards the root while
    // its key is smaller than its parent's; used after lowering e's key.
    void siftUp(Entry* e, int32_t p) {
        if (p < 0) throw tExcept(src::tgraph_algo, kLineSiftUp, kNexErrRange, "index must be >= 0");
        // A handle that is not at p (popped, or a wrong position) would
        // leave one entry twice in the heap and lose another.
        if (p >= entries_.size() || entries_.unchecked(p) != e)
            throw tExRange(src::tgraph_algo, kLineStale, p, 0, entries_.size());
        while (p > 0) {
            int32_t q = (p - 1) / 4;
            Entry* parent = entries_[q];
            if (e->key_ >= parent->key_) break;
            entries_[p] = parent;
            parent->position_ = p;
            p = q;
        }
        entries_[p] = e;
        e->position_ = p;
    }

    void siftUp(Entry* e) { siftUp(e, e->position_); }

    // The same for the entry at heap position p, for callers that keep
    // positions rather than handles.
    void siftUp(int32_t p) {
        if (p < 0) throw tExcept(src::tgraph_algo, kLineSiftUp, kNexErrRange, "index must be >= 0");
        siftUp(entries_[p], p);
    }

    // The child of p with the smallest key (the first of equal ones), -1 when
    // p has no child.
    int32_t minChild(int32_t p) const {
        int32_t first = 4 * p + 1;
        int32_t n = entries_.size();
        if (first >= n) return -1;
        int32_t best = first;
        int32_t end = first + 4 < n ? first + 4 : n;
        for (int32_t c = first + 1; c < end; ++c)
            if (entries_[c]->key_ < entries_[best]->key_) best = c;
        return best;
    }

    // Removes the entry with the smallest key and returns its value.
    int32_t popMin() {
        if (entries_.empty())
            throw tExRange(src::tappend, tappend<Entry*>::kLineGetConst, 0, 0, entries_.size());
        Entry* root = entries_[0];
        int32_t value = root->value_;
        delete root;
        entries_.remove(0);
        if (!entries_.empty()) {
            Entry* m = entries_[0];
            int32_t p = 0;
            int32_t c = minChild(0);
            while (c >= 0 && entries_[c]->key_ < m->key_) {
                Entry* child = entries_[c];
                entries_[p] = child;
                child->position_ = p;
                p = c;
                c = minChild(c);
            }
            entries_[p] = m;
            m->position_ = p;
        }
        return value;
    }

    // The entry with the smallest key, null when the queue is empty.
    const Entry* peekMin() const { return entries_.empty() ? nullptr : entries_[0]; }

    int32_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // The entry at heap position p (range-checked).
    const Entry* at(int32_t p) const { return entries_[p]; }

    // Frees every entry; the queue can be used again.
    void clear() {
        for (int32_t i = 0; i < entries_.size(); ++i) delete entries_.unchecked(i);
        entries_.clear();
    }

private:
    tbag<Entry*, 128> entries_;
};

}  // namespace nex
