// The sample world of data/ loaded the way the loading screen loads it, and a
// small town laid on its map with a building of every kind, people at work,
// walkers on the roads and a link of the storage network: what the save
// tests, the loader's fuzz harness and the save benchmarks save and load.
#pragma once

#include <string>

#include "dax2/dax_oid.h"
#include "support/sample_world_ids.h"

namespace savetown {

// Type ids of the sample data model.
using namespace sample_world;

// Builds as the player does: preview, then the order (paid, woken now).
// False when the preview refuses the place.
bool place(int kind, int id, int x, int y, int x2, int y2);
// Takes down what stands on the tile, as the player does (paid). False when
// nothing stood there or it still stands.
bool demolish(int x, int y);

// Loads the sample world of data_dir (ending in '/') into a cleared game as a
// new game "Testhausen": initial data, icons, data model, map and, with
// trigger, the trigger's script. Returns "" or the stage that failed. The
// framework's search path is set to data_dir (callers restore it).
std::string loadSampleWorld(const std::string& data_dir, bool trigger = true);

// loadSampleWorld, made fast for callers that need a fresh sample world
// again and again: the world is loaded once, and later calls put back what a
// load or a running game changes (the type tables with their instances and
// networks, the map tiles, the update queue, the game's fields, the clock
// and the trigger) from a copy taken then. A world that was cleared or
// replaced in between is loaded afresh.
std::string freshSampleWorld(const std::string& data_dir, bool trigger = true);

// Lays the town on the sample map at game time now: roads, four houses with
// people offering workers, a well, two storehouses with a link between them,
// a market, a builder's yard, a woodcutter, a sawmill, a farm, a garden and a
// fountain, a searching walker of each kind on its round and a finished
// production and storage walker waiting on the road. Returns "" or what
// could not be placed.
std::string buildTown();

// Sends a service walker from the well onto the road in front of it, on
// its way to the house at 25,29 with four steps cached; returns its id.
RnObjectID sendServiceWalker();

// A town over the whole map of the current world, blocks of kGridBlock
// tiles: a grid of roads, seven houses in most blocks, a block of
// workplaces (well, storehouse, market, builder's yard, sawmill, farm,
// garden, fountain) in every twelfth and a woodcutter in each block of
// every eighth row. What the terrain refuses is left out.
constexpr int kGridBlock = 10;
void buildGridTown();

// Runs the clock and the per-tick update for game hours, one logic tick at a
// time as the game loop does.
void runHours(int hours);

}  // namespace savetown
