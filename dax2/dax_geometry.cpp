#include "dax2/dax_geometry.h"

#include <cmath>
#include <cstdlib>

float DaxMapPositionI::length() const {
    // In double: 2 * 32768^2 does not fit an int.
    double dx = x;
    double dy = y;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

float DaxMapPositionI::manhattanLength() const {
    return static_cast<float>(std::abs(x) + std::abs(y));
}

float daxDistanceI(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return DaxMapPositionI(a.x - b.x, a.y - b.y).length();
}

DaxMapPositionF daxLerpF(const DaxMapPositionF& a, const DaxMapPositionF& b, float t) {
    return DaxMapPositionF((1.0f - t) * a.x + t * b.x, (1.0f - t) * a.y + t * b.y);
}
