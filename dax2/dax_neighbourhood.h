// A table of tile offsets around a centre, grouped by distance (truncated to
// a whole number), nearest group first: all tiles within radius r are the
// first count(r) offsets, so callers walk them without computing distances.
#pragma once

#include <cstdint>
#include <vector>

#include "dax2/dax_geometry.h"

class DaxNeighbourhood {
public:
    explicit DaxNeighbourhood(bool manhattan = false) : manhattan_(manhattan ? 1 : 0) {}

    // Switches the metric; a change drops the table, which must be built again.
    void setManhattan(bool manhattan);
    bool isManhattan() const { return manhattan_ != 0; }

    // Makes groups for the distances 0 to r - 1 from the square |x|, |y| < r;
    // within a group offsets run x ascending, then y ascending. A table that
    // already covers r is kept (building smaller never shrinks it).
    void build(uint16_t r);
    // Number of distance groups built.
    int radiusCount() const { return static_cast<int>(nb_sizes_.size()); }
    // Number of offsets whose distance is at most radius (fatal when radius
    // is not below radiusCount()).
    int count(uint16_t radius) const;
    // Offset i among those within radius (fatal when out of range).
    const DaxMapPositionI& offset(uint16_t radius, int i) const;
    void clear();

private:
    int manhattan_;
    std::vector<int> nb_sizes_;
    std::vector<DaxMapPositionI> offsets_;
};

// The game's two shared tables, sized for the loaded content once its model
// is checked: the Manhattan one for road and walker reaches, the Euclidean
// one for the resources around production buildings.
extern DaxNeighbourhood dax_neighbourhood_manh;
extern DaxNeighbourhood dax_neighbourhood_eucl;
