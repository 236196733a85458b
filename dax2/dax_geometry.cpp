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

DaxDirection daxOppositeDirection(DaxDirection d) {
    switch (d) {
    case DirXPlus:
        return DirXMinus;
    case DirXMinus:
        return DirXPlus;
    case DirYPlus:
        return DirYMinus;
    case DirYMinus:
        return DirYPlus;
    default:
        return DirNone;
    }
}

DaxMapPositionI daxDirectionOffset(DaxDirection d) {
    switch (d) {
    case DirXPlus:
        return DaxMapPositionI(1, 0);
    case DirXMinus:
        return DaxMapPositionI(-1, 0);
    case DirYPlus:
        return DaxMapPositionI(0, 1);
    case DirYMinus:
        return DaxMapPositionI(0, -1);
    default:
        return DaxMapPositionI(0, 0);
    }
}

float daxDistanceI(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return DaxMapPositionI(a.x - b.x, a.y - b.y).length();
}

int daxManhattanDistanceI(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    DaxMapPositionI d(a.x - b.x, a.y - b.y);
    return std::abs(d.x) + std::abs(d.y);
}

DaxMapPositionF daxLerpF(const DaxMapPositionF& a, const DaxMapPositionF& b, float t) {
    return DaxMapPositionF((1.0f - t) * a.x + t * b.x, (1.0f - t) * a.y + t * b.y);
}
