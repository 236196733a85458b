// The texts the game's screens show about the running world: the status and
// population lines of the run screen, what is on a map tile, the tooltips of
// the build menu, and the goods, service and header lines of the info
// dialogs. Every text is appended to a caller's buffer; the counts returned
// are the buffer's new length.
#pragma once

#include <cstdint>
#include <string>

#include "dax2/dax_oid.h"

struct RnMapTile;
struct RnPeoplType;
class RnGenericBuilding;
class RnSimpleBuilding;
class RnServType;

// Money, speed in per cent (0 while paused) and the date; with debugging
// enabled also the time of day. The text lives in a buffer of this module,
// overwritten by the next call of either line.
const char* rnStatusLine();
// The population, the people at work, the jobs open and the people without
// work; with debugging enabled a figure of how far the houses have risen.
const char* rnPopulationLine();

// How the people of a type fare: their number, then those at work, the open
// jobs and those without work, and ".". Nothing when the type has neither
// people nor workers nor jobs.
int rnPeopleWorkforceSummary(const RnPeoplType& ppl, std::string& buf);

// What stands on a tile for the player: the terrain's name, or the info text
// of the road or building on it (with its debug text after it when
// with_debug), then the note of the tile's image, if it has one.
int rnTileInfo(std::string& buf, const RnMapTile& tile, bool with_debug);
// The tile's debug lines, as many as the debug level asks for: position and
// occupant, desirability, images, terrain and flags, and the walkers on it.
int rnTileDebugInfo(std::string& buf, int x, int y, const RnMapTile& tile);

// The tooltip of a build-menu entry: the building type of (kind, type id)
// with its cost, what it needs and what it does. An unknown type prints
// name alone.
int rnBuildMenuTooltip(std::string& buf, int kind, int type_id, const std::string& name);

// A goods type's line: made and used a week; with balance, its stock and
// need over all buildings; with storage, the state of the goods in the
// storage building stor.
int rnGoodsLine(std::string& buf, int16_t goods, const RnObjectID& stor, bool balance, bool storage);
// The stock of a goods type over all buildings and what they still need of
// it.
void rnGoodsBalance(int16_t goods, int& stock, int& need);
// The name of a goods type, "??" for an index the table does not hold.
const char* rnGoodsName(int16_t goods);

// How well a service type reaches its receivers, how many of its buildings
// stand, and its input goods.
int rnServiceBlock(std::string& buf, const RnServType& type);
// The header of a building's info dialog: the count line of its type and the
// goods lines of what it handles.
int rnBuildingHeader(std::string& buf, const RnGenericBuilding& b);
// The supply line of a building short of material.
int rnSupplyLine(std::string& buf, const RnGenericBuilding& b);
// The building material of a simple building: the supply in per cent and
// the names of the goods it keeps.
int rnMaterialSummary(std::string& buf, const RnSimpleBuilding& b);
