#include "dax2/dax_neighbourhood.h"

#include <cmath>
#include <cstdlib>

#include "dax2/dax_error.h"

// The check texts and positions below are fixed: tools and bug reports match
// the "dax2\dax_neighbourhood" lines.

void DaxNeighbourhood::setManhattan(bool manhattan) {
    int m = manhattan ? 1 : 0;
    if (m != manhattan_) {
        manhattan_ = m;
        clear();
    }
}

void DaxNeighbourhood::build(uint16_t r) {
    // Building the same radius again would give the same table.
    if (r <= nb_sizes_.size()) {
        return;
    }
    clear();
    const int n = r;
    std::vector<std::vector<DaxMapPositionI>> groups(n);
    for (int x = 1 - n; x <= n - 1; ++x) {
        for (int y = 1 - n; y <= n - 1; ++y) {
            int d;
            if (manhattan_) {
                d = std::abs(x) + std::abs(y);
            } else {
                double dx = x;
                double dy = y;
                d = static_cast<int>(std::sqrt(dx * dx + dy * dy));
            }
            if (d < n) {
                groups[d].push_back(DaxMapPositionI(x, y));
            }
        }
    }
    nb_sizes_.resize(n);
    for (int d = 0; d < n; ++d) {
        offsets_.insert(offsets_.end(), groups[d].begin(), groups[d].end());
        nb_sizes_[d] = static_cast<int>(offsets_.size());
    }
}

int DaxNeighbourhood::count(uint16_t radius) const {
    DAX_ASSERT_AT(radius < nb_sizes_.size(), "dax2\\dax_neighbourhood", 55);
    return nb_sizes_[radius];
}

const DaxMapPositionI& DaxNeighbourhood::offset(uint16_t radius, int i) const {
    DAX_ASSERT_AT(radius < nb_sizes_.size(), "dax2\\dax_neighbourhood", 69);
    // A negative index would read before the table.
    DAX_ASSERT_AT(i >= 0, "dax2\\dax_neighbourhood", 70);
    DAX_ASSERT_AT(i < nb_sizes_[radius], "dax2\\dax_neighbourhood", 70);
    return offsets_[static_cast<size_t>(i)];
}

void DaxNeighbourhood::clear() {
    nb_sizes_.clear();
    offsets_.clear();
}

DaxNeighbourhood dax_neighbourhood_manh(true);
DaxNeighbourhood dax_neighbourhood_eucl(false);
