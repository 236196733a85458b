// Table from unsigned keys (64 bits, or 32 where they fit, for entries half
// the size) to small values by open addressing: linear probing over a
// power-of-two table at most three quarters full, deletion by backward shift
// (no tombstones, so a lookup stops at the first free slot). The key whose
// bytes are all ones marks free slots; that key keeps its entry aside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace nex {

template <class V, class K = uint64_t>
class tHashIndex {
    static_assert(std::is_unsigned<K>::value && sizeof(K) <= 8, "keys are unsigned, at most 64 bits");

public:
    struct Entry {
        K key;
        V value;
    };

    size_t size() const { return count_; }
    // The bytes of its table.
    size_t bytes() const { return slots_.capacity() * sizeof(Entry); }

    // The value of key, nullptr when there is none.
    const V* find(K key) const {
        if (key == kFree) return has_free_key_ ? &free_key_entry_.value : nullptr;
        if (slots_.empty()) return nullptr;
        for (size_t i = home(key);; i = (i + 1) & mask_) {
            const Entry& e = slots_[i];
            if (e.key == key) return &e.value;
            if (e.key == kFree) return nullptr;
        }
    }
    V* find(K key) { return const_cast<V*>(static_cast<const tHashIndex&>(*this).find(key)); }

    // The value of key, added (value-initialised) when there was none.
    V* findOrAdd(K key, bool& added) {
        if (key == kFree) {
            added = !has_free_key_;
            if (added) {
                has_free_key_ = true;
                free_key_entry_.value = V();
                ++count_;
            }
            return &free_key_entry_.value;
        }
        if ((inTable() + 1) * 4 > slots_.size() * 3) grow(slots_.empty() ? 16 : slots_.size() * 2);
        for (size_t i = home(key);; i = (i + 1) & mask_) {
            Entry& e = slots_[i];
            if (e.key == key) {
                added = false;
                return &e.value;
            }
            if (e.key == kFree) {
                e.key = key;
                e.value = V();
                ++count_;
                added = true;
                return &e.value;
            }
        }
    }

    // Drops key's entry into out; false when there is none.
    bool take(K key, V& out) {
        if (key == kFree) {
            if (!has_free_key_) return false;
            out = free_key_entry_.value;
            has_free_key_ = false;
            --count_;
            return true;
        }
        if (slots_.empty()) return false;
        size_t hole = home(key);
        for (;; hole = (hole + 1) & mask_) {
            if (slots_[hole].key == key) break;
            if (slots_[hole].key == kFree) return false;
        }
        out = slots_[hole].value;
        // Backward shift: every entry of the run after the hole whose home is
        // not between the hole and itself moves into the hole, so that no run
        // has a gap.
        for (size_t j = (hole + 1) & mask_; slots_[j].key != kFree; j = (j + 1) & mask_) {
            size_t from_home = (j - home(slots_[j].key)) & mask_;
            if (from_home >= ((j - hole) & mask_)) {
                slots_[hole] = slots_[j];
                hole = j;
            }
        }
        slots_[hole].key = kFree;
        --count_;
        return true;
    }

    // Room for n entries without growing.
    void reserve(size_t n) {
        size_t size = slots_.empty() ? 16 : slots_.size();
        while (n * 4 > size * 3) size *= 2;
        if (size > slots_.size()) grow(size);
    }

    // No entries; the memory is given back.
    void release() {
        std::vector<Entry>().swap(slots_);
        mask_ = 0;
        shift_ = 64;
        count_ = 0;
        has_free_key_ = false;
    }

    // fn(key, value) for every entry, in no particular order.
    template <class Fn>
    void forEach(Fn fn) const {
        for (const Entry& e : slots_)
            if (e.key != kFree) fn(e.key, e.value);
        if (has_free_key_) fn(free_key_entry_.key, free_key_entry_.value);
    }

private:
    static constexpr K kFree = static_cast<K>(~K{0});

    size_t inTable() const { return count_ - (has_free_key_ ? 1 : 0); }

    size_t home(K k) const {
        // Fold the high half onto the low one, then spread the bits by a
        // Fibonacci multiply and take the top ones.
        const uint64_t key = k;
        uint64_t h = (key ^ (key >> 32)) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h >> shift_);
    }

    void grow(size_t size) {
        std::vector<Entry> old;
        old.swap(slots_);
        slots_.assign(size, Entry{kFree, V()});
        mask_ = size - 1;
        shift_ = 64;
        for (size_t s = size; s > 1; s >>= 1) --shift_;
        for (const Entry& e : old) {
            if (e.key == kFree) continue;
            size_t i = home(e.key);
            while (slots_[i].key != kFree) i = (i + 1) & mask_;
            slots_[i] = e;
        }
    }

    std::vector<Entry> slots_;
    size_t mask_ = 0;
    int shift_ = 64;
    size_t count_ = 0;
    bool has_free_key_ = false;
    Entry free_key_entry_{kFree, V()};
};

}  // namespace nex
