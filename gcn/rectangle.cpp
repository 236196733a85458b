#include "gcn/rectangle.hpp"

#include <algorithm>

namespace gcn {

Rectangle Rectangle::intersection(const Rectangle& o) const {
    Rectangle r;
    r.x = std::max(x, o.x);
    r.y = std::max(y, o.y);
    if (isEmpty() || o.isEmpty()) {
        return r;
    }
    // 64-bit edges: x + width of two large ints must not overflow.
    const long long right = std::min(static_cast<long long>(x) + width, static_cast<long long>(o.x) + o.width);
    const long long bottom = std::min(static_cast<long long>(y) + height, static_cast<long long>(o.y) + o.height);
    const long long w = right - r.x;
    const long long h = bottom - r.y;
    if (w <= 0 || h <= 0) {
        return r;
    }
    r.width = static_cast<int>(w);
    r.height = static_cast<int>(h);
    return r;
}

}  // namespace gcn
