// Small geometry on the tile grid: integer and float map positions, the four
// grid directions, distances and interpolation.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

// A tile position; (-32768, -32768) is "no position". Saved as 4 raw bytes.
struct DaxMapPositionI {
    static constexpr int16_t kNoneCoord = -32768;

    constexpr DaxMapPositionI() = default;
    constexpr DaxMapPositionI(int ax, int ay) : x(static_cast<int16_t>(ax)), y(static_cast<int16_t>(ay)) {}

    static constexpr DaxMapPositionI none() { return DaxMapPositionI(kNoneCoord, kNoneCoord); }
    constexpr bool isNone() const { return x == kNoneCoord && y == kNoneCoord; }

    // Euclidean and Manhattan length of the position taken as a vector.
    float length() const;
    float manhattanLength() const;

    int16_t x = 0;
    int16_t y = 0;
};
static_assert(sizeof(DaxMapPositionI) == 4, "DaxMapPositionI is saved as one int32");

constexpr bool operator==(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return a.x == b.x && a.y == b.y;
}
constexpr bool operator!=(const DaxMapPositionI& a, const DaxMapPositionI& b) { return !(a == b); }
// x first, then y: lets positions key ordered containers.
constexpr bool operator<(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}
// Sum and difference per coordinate (a centre plus an offset, a step).
constexpr DaxMapPositionI operator+(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return DaxMapPositionI(a.x + b.x, a.y + b.y);
}
constexpr DaxMapPositionI operator-(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    return DaxMapPositionI(a.x - b.x, a.y - b.y);
}

// A position between tiles (walkers drawn between two tiles).
struct DaxMapPositionF {
    constexpr DaxMapPositionF() = default;
    constexpr DaxMapPositionF(float ax, float ay) : x(ax), y(ay) {}
    constexpr explicit DaxMapPositionF(const DaxMapPositionI& p) : x(p.x), y(p.y) {}

    float x = 0.0f;
    float y = 0.0f;
};

constexpr bool operator==(const DaxMapPositionF& a, const DaxMapPositionF& b) {
    return a.x == b.x && a.y == b.y;
}
constexpr bool operator!=(const DaxMapPositionF& a, const DaxMapPositionF& b) { return !(a == b); }

// A step direction on the grid. 1 and 2, 3 and 4 are opposites.
using DaxDirection = int;
enum : int {
    DirNone = 0,
    DirXPlus = 1,   // (+1, 0)
    DirXMinus = 2,  // (-1, 0)
    DirYPlus = 3,   // (0, +1)
    DirYMinus = 4,  // (0, -1)
};

// The direction helpers and the Manhattan distance are inline: walkers and
// floods take them for every tile they look at.

// The opposite of a direction; DirNone for anything but 1 to 4.
inline DaxDirection daxOppositeDirection(DaxDirection d) {
    switch (d) {
    case DirXPlus: return DirXMinus;
    case DirXMinus: return DirXPlus;
    case DirYPlus: return DirYMinus;
    case DirYMinus: return DirYPlus;
    default: return DirNone;
    }
}
// The unit step of a direction; (0, 0) for anything but 1 to 4.
inline DaxMapPositionI daxDirectionOffset(DaxDirection d) {
    switch (d) {
    case DirXPlus: return DaxMapPositionI(1, 0);
    case DirXMinus: return DaxMapPositionI(-1, 0);
    case DirYPlus: return DaxMapPositionI(0, 1);
    case DirYMinus: return DaxMapPositionI(0, -1);
    default: return DaxMapPositionI(0, 0);
    }
}

// Distances of two tile positions. The coordinate differences are taken as
// int16 (they wrap only for positions further apart than any map).
float daxDistanceI(const DaxMapPositionI& a, const DaxMapPositionI& b);
inline int daxManhattanDistanceI(const DaxMapPositionI& a, const DaxMapPositionI& b) {
    const DaxMapPositionI d(a.x - b.x, a.y - b.y);
    return std::abs(d.x) + std::abs(d.y);
}
// Euclidean distance of two float positions, in float precision. Inline:
// the workforce's searches take one for every step.
inline float daxDistanceF(const DaxMapPositionF& a, const DaxMapPositionF& b) {
    float dx = a.x - b.x;
    float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}
// ((1 - t) * a + t * b) per coordinate.
DaxMapPositionF daxLerpF(const DaxMapPositionF& a, const DaxMapPositionF& b, float t);
