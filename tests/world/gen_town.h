// Towns generated from the sample world's model, laid out in blocks of
// houses, services, producers and storages along a grid of streets, placed
// as the player places them; and a player who keeps changing a town, taking
// roads and buildings down and putting them up again, driven by a seed.
// What the outcome tests play and the town benchmark times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace gentown {

// How a town is generated. Blocks of 35 lots each are laid around the map's
// centre until the buildings are reached.
struct Plan {
    int side = 512;        // the map's side
    int buildings = 1000;  // at least this many buildings (roads not counted)
    // The model's walker limits raised and every building that sends walkers
    // trying again an hour after a departure: many walkers out (the sample
    // model's own limits of one or two keep few).
    bool busy = false;
};

// Something the player builds: one building, or a piece of road from
// (x, y) to (x2, y2).
struct Site {
    int16_t kind;
    int32_t id;
    int x, y, x2, y2;
};

// Builds the site as the player does (savetown::place).
bool place(const Site& site);

// A cleared game with the sample world's model (the framework's search path
// must lead to it) and the plan's empty land: grass with a wood in each
// block, the money of a rich town and, for a busy plan, the raised walker
// limits. A town's saves load over this. Returns "" or what failed.
std::string makeLand(const Plan& plan);
// Lays the plan's town on its land at the current game time: the streets,
// then the blocks lot by lot. Returns "" or what could not be placed.
std::string placeTown(const Plan& plan);
// The buildings placeTown places, block by block and lot by lot.
std::vector<Site> lots(const Plan& plan);
// Pieces of road one tile long, two per block, one in the middle of its
// street and one down its side street: what the player may take up and lay
// again.
std::vector<Site> roadPieces(const Plan& plan);

// A player who changes a town now and then: each change either takes down
// a building or a piece of road that stands (walkers out or not) or puts up
// again one that was taken down. A third of what is taken down are roads;
// buildings are picked kind by kind, so that the few storages and services
// go as often as the many houses. Its own generator drives it, so the
// town's random draws are not touched.
class Changes {
public:
    Changes(std::vector<Site> buildings, std::vector<Site> roads, uint32_t seed, size_t most_down = 12);
    // One change; returns what it did ("" when nothing could be done).
    std::string step();
    // Sites taken down and not yet put up again.
    size_t down() const { return down_.size(); }

private:
    std::vector<std::vector<Site>> kinds_;  // the buildings by kind
    std::vector<Site> roads_;
    std::vector<Site> down_;  // in the order they went
    std::mt19937 rng_;
    size_t most_down_;

    size_t below(size_t n) { return static_cast<size_t>(rng_() % n); }
};

// The buildings of the game, roads not counted.
int countBuildings();

}  // namespace gentown
