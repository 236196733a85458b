// Bag: a block list whose removal fills the hole with the last element, so
// removing is constant time and the order of the elements is not kept.
#pragma once

#include <cstdint>

#include "nex/tappend.h"

namespace nex {

template <class T, int B = 128>
class tbag : public tappend<T, B> {
public:
    static constexpr int kLineRemove = 51;

    using tappend<T, B>::tappend;

    // Copies the last element into position i and drops the last position.
    void remove(int32_t i) {
        int32_t n = this->size();
        if (n == 0) throw tExRange(src::tbag, kLineRemove, 0, 0, n);
        T& slot = (*this)[i];
        if (i != n - 1) slot = this->unchecked(n - 1);
        this->removeLast();
    }
};

}  // namespace nex
