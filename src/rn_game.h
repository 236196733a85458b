// The central game object grn_game: model constants, money and population,
// the two game names, the type tables (resources, terrains, people, goods,
// five walker kinds, eight building kinds, which own every building and
// walker) and the update queue; with the lookups, build orders, demolitions
// and the per-tick update.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_oid.h"
#include "rn_game_update.h"
#include "rn_placement.h"
#include "rn_types.h"

struct RnMapTile;

class RnGenericObject;
class RnGenericBuilding;
class RnGenericBuildingType;
class RnWalkerGeneric;
class RnWalkerGenericType;

class RnRoad;
class RnHous;
class RnServ;
class RnStor;
class RnProd;
class RnMrkt;
class RnDeco;
class RnBldr;
class RnRoadType;
class RnHousType;
class RnServType;
class RnStorType;
class RnProdType;
class RnMrktType;
class RnDecoType;
class RnBldrType;

class RnWalkerServType;
class RnWalkerProdType;
class RnWalkerMrktType;
class RnWalkerStorType;
class RnWalkerBldrType;

// The services the per-tick update and the game loop drive that live outside
// the world core: the save writer, the timed script trigger and the
// statistics. Installed by the program; without one those steps are skipped.
class RnTickServicesIfc {
public:
    virtual ~RnTickServicesIfc() = default;
    // Report a failed background save, if one failed.
    virtual void reportSaveError() = 0;
    // Run the script job (kind 32 and above) due at t; returns its next wake
    // time (kRnNoWakeTime: none).
    virtual DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) = 0;
    // Statistics roll-over (RnGame::rollStatistics): the long form also
    // starts a new period of the produced and consumed counters.
    virtual void rollStatistics(bool long_form) = 0;
    // The statistics log (RnGame::logStatistics).
    virtual void logStatistics() = 0;
    // Start an autosave.
    virtual void autoSave() = 0;
    // Write the "lastsave" game synchronously (the window is closing).
    virtual void saveLastSave() = 0;
};

// What the world asks of the game interface. Installed by the program;
// without one (tests, headless programs) there is no interface to tell.
class RnUiServicesIfc {
public:
    virtual ~RnUiServicesIfc() = default;
    // Back to the system's default mouse cursor: the world's cursor images
    // are about to go with its bitmaps.
    virtual void setDefaultCursor() = 0;
};

class RnGame {
public:
    RnGame();
    ~RnGame();
    RnGame(const RnGame&) = delete;
    RnGame& operator=(const RnGame&) = delete;

    // Model properties (set by the data-model script).
    int32_t hours_incr_desirability_ = 0;
    int32_t hours_decr_desirability_ = 0;
    int16_t map_range_desirability_ = 10;  // 1..15: reach of desirability changes
    int16_t prod_walker_range_ = 24;
    int16_t storage_walker_range_ = 32;
    int16_t storage_walker_capacity_ = 4;
    int16_t storage_walker_speed_ = 0;
    int16_t storage_network_update_hours_ = 24;
    int16_t resource_efficiency_update_hours_ = 0;

    std::string map_name_;   // base name of the map script; part of save names
    std::string game_name_;  // name the player gave the game
    int32_t money_ = 0;
    // Taxes not yet a whole coin, booked with the next collection. Not
    // saved: a loaded game loses less than a coin.
    double tax_carry_ = 0.0;
    bool disable_unused_prod_ = false;
    int32_t saved_value_ = 0;
    uint32_t population_ = 0;
    uint32_t last_milestone_ = 0;
    int32_t autosave_week_ = 0;   // markers of the last autosave check; 0: not set
    int32_t autosave_month_ = 0;
    int32_t autosave_year_ = 0;
    std::set<std::pair<int16_t, int16_t>> advice_given_;  // (message id, type id) posted
    int32_t advice_day_ = -1;  // game day of the last advice check; -1: none yet

    // Game lifecycle.
    // Empties the world: map, bitmaps, trigger, every type table with its
    // instances, the queue and the imported texts. Money, names and model
    // constants stay until the next reset or load.
    void clear();
    // Names, clock, counters and model defaults of a new game; money 10000.
    void resetForNewGame(const char* map_name, const char* game_name);
    // Whether a world was loaded to the end (data model, map and new game or
    // save); set by whoever finishes loading, cleared by clear(). Only such a
    // world is saved when the window closes.
    bool isWorldLoaded() const { return world_loaded_; }
    void setWorldLoaded(bool loaded) { world_loaded_ = loaded; }
    // Clears bit 4 (on the current map) of every terrain.
    void clearTerrainOnMapMarks();
    // The model check after the data-model and map scripts have run: derives
    // what the running game needs from the types (which production types
    // work on this map and which serve a house level, the goods' usage
    // flags, the goods each market and storage type handles and the storage
    // type of each goods), logs a report of the model and sizes the shared
    // neighbourhood tables. Raises a DaxException for content that cannot
    // work: a goods flow that does not close (markets or builders missing or
    // useless, material nobody distributes), goods defined before the goods
    // they are made from, a goods type two storage types take, a market or
    // storage type with nothing to handle.
    void validateModel();

    // Statistics (rn_game_stats.cpp).
    // Recomputes every goods type's weekly rates and counts from the types
    // and their buildings, then, once per game day, posts the first advice
    // of the day not yet given in this game.
    void updateGoodsStatistics();
    // A new period (period_changed) first moves the running produced and
    // consumed counters to the last period's; then the rates are recomputed.
    void rollStatistics(bool period_changed);
    // The statistics log lines (level 2, class 16).
    void logStatistics();
    // Books taxes, which come in parts of a coin: the whole coins go to the
    // money, the rest waits in tax_carry_. A collector that passes a house
    // often thus brings as much as one that passes seldom.
    void bookTaxes(double amount);
    // People moved in (delta > 0) or out; posts message 3001 when the
    // population passes a milestone above the last one announced.
    void changePopulation(int delta);

    // Player actions.
    // Lets the type named by the list preview a build at (x, y) .. (x2, y2);
    // returns its cost, or -1 when it cannot be built there (or a position is
    // off the map, or the type is unknown: the list is then left empty).
    int32_t addPhantom(RnPhantomList& list, int x, int y, int x2, int y2);
    // Builds every previewed building, wakes each now and takes the total
    // cost from the money. (x, y) is the position the order was given at.
    // An entry whose footprint is no longer free (a walker stepped onto it
    // after the preview) is skipped and its cost not taken.
    RnPhantomList& placeBuildings(RnPhantomList& list, int x, int y);
    // Fills the selection with the roads and buildings on the rectangle's
    // tiles; returns their total cost, or -1 when a corner is off the map.
    int32_t selectBuildingsInRect(RnSelection& selection, int x0, int y0, int x1, int y1);
    // Removes the selected roads and buildings that still stand and takes
    // the cost of those removed from the money.
    void demolishSelection(RnSelection& selection);

    // Defines the map's script trigger and schedules its first run at game
    // time 0 + first_after_hours.
    void setTrigger(const std::string& script_file, const std::string& function_name, uint32_t period_hours,
                    uint32_t first_after_hours);

    // Per-tick update: runs the due jobs of the queue, rolls the statistics,
    // starts autosaves.
    void update();
    // Spreads a building's change of desirability from old_value to
    // new_value over the tiles around its footprint and wakes the buildings
    // whose tiles changed.
    void spreadDesirability(DaxGameTime now, int old_value, int new_value, int x, int y, int16_t w, int16_t h);
    RnGameUpdateQueue& updateQueue() { return update_queue_; }
    const RnGameUpdateQueue& updateQueue() const { return update_queue_; }

    // Hooks installed by the program (not owned; null: not there).
    RnTickServicesIfc* tickServices() const { return tick_services_; }
    void setTickServices(RnTickServicesIfc* services) { tick_services_ = services; }
    RnUiServicesIfc* uiServices() const { return ui_services_; }
    void setUiServices(RnUiServicesIfc* services) { ui_services_ = services; }

    // Registration: copies the record into its table and returns its index.
    // A known id raises "<table> %d already defined"; a full table raises
    // "<table> %d can't be added, there can only be %d".
    int16_t addResource(const RnResource& rec);
    int16_t addTerrain(const RnTerrain& rec);
    int16_t addPeoplType(const RnPeoplType& rec);
    int16_t addGoodsType(const RnGoodsType& rec);
    int16_t addBldrWalkerType(const RnWalkerBldrType& rec);
    int16_t addMrktWalkerType(const RnWalkerMrktType& rec);
    int16_t addProdWalkerType(const RnWalkerProdType& rec);
    int16_t addServWalkerType(const RnWalkerServType& rec);
    int16_t addStorWalkerType(const RnWalkerStorType& rec);
    int16_t addRoadType(const RnRoadType& rec);
    int16_t addHousType(const RnHousType& rec);
    int16_t addServType(const RnServType& rec);
    int16_t addStorType(const RnStorType& rec);
    int16_t addProdType(const RnProdType& rec);
    int16_t addMrktType(const RnMrktType& rec);
    int16_t addDecoType(const RnDecoType& rec);
    int16_t addBldrType(const RnBldrType& rec);
    // A goods type comes with a production and a storage walker type of the
    // same id at the same index. checkGoodsTypeFree raises as the three add
    // functions would (a known id, a full table) and when the tables are out
    // of step, changing nothing; addGoodsTypeWithWalkers checks the same and
    // then adds all three.
    void checkGoodsTypeFree(int32_t id) const;
    int16_t addGoodsTypeWithWalkers(const RnGoodsType& goods, const RnWalkerProdType& prod,
                                    const RnWalkerStorType& stor);

    // The records of each table in index order.
    std::vector<RnResource>& resources();
    std::vector<RnTerrain>& terrains();
    const std::vector<RnTerrain>& terrains() const;
    std::vector<RnPeoplType>& peoplTypes();
    std::vector<RnGoodsType>& goodsTypes();
    std::vector<RnWalkerBldrType>& bldrWalkerTypes();
    std::vector<RnWalkerMrktType>& mrktWalkerTypes();
    std::vector<RnWalkerProdType>& prodWalkerTypes();
    std::vector<RnWalkerServType>& servWalkerTypes();
    std::vector<RnWalkerStorType>& storWalkerTypes();
    std::vector<RnBldrType>& bldrTypes();
    std::vector<RnDecoType>& decoTypes();
    std::vector<RnHousType>& housTypes();
    std::vector<RnMrktType>& mrktTypes();
    std::vector<RnProdType>& prodTypes();
    std::vector<RnRoadType>& roadTypes();
    std::vector<RnServType>& servTypes();
    std::vector<RnStorType>& storTypes();

    // Records by index; an index out of range is a fatal check.
    RnWalkerBldrType& bldrWalkerType(int16_t idx);
    RnWalkerMrktType& mrktWalkerType(int16_t idx);
    RnWalkerProdType& prodWalkerType(int16_t idx);
    RnWalkerServType& servWalkerType(int16_t idx);
    RnWalkerStorType& storWalkerType(int16_t idx);
    RnResource& resource(int16_t idx);
    RnTerrain& terrain(int16_t idx);
    const RnTerrain& terrain(int16_t idx) const;
    RnPeoplType& peoplType(int16_t idx);
    RnGoodsType& goodsType(int16_t idx);
    RnBldrType& bldrType(int16_t idx);
    RnDecoType& decoType(int16_t idx);
    RnHousType& housType(int16_t idx);
    RnMrktType& mrktType(int16_t idx);
    RnProdType& prodType(int16_t idx);
    RnRoadType& roadType(int16_t idx);
    RnServType& servType(int16_t idx);
    RnStorType& storType(int16_t idx);

    // Type records by kind and index. A kind outside roads and buildings
    // (walkers) is a fatal check; kinds 9 to 15 (21 to 31) raise "building
    // type not found: [%hd:%hd]" ("walker type not found: [%hd:%hd]"). An
    // index from a file or script outside its table raises the same.
    RnGenericBuildingType& buildingType(const RnObjectTypeID& otx);
    RnGenericBuildingType& buildingTypeOfTile(const RnMapTile& tile);
    RnWalkerGenericType& walkerType(const RnObjectTypeID& otx);

    // Script id -> index; an unknown id raises "<table> %d not found".
    int16_t resourceIdx(int32_t id) const;
    int16_t terrainIdx(int32_t id) const;
    int16_t peoplTypeIdx(int32_t id) const;
    int16_t goodsTypeIdx(int32_t id) const;
    int16_t bldrWalkerTypeIdx(int32_t id) const;
    int16_t mrktWalkerTypeIdx(int32_t id) const;
    int16_t servWalkerTypeIdx(int32_t id) const;
    int16_t bldrTypeIdx(int32_t id) const;
    int16_t decoTypeIdx(int32_t id) const;
    int16_t housTypeIdx(int32_t id) const;
    int16_t mrktTypeIdx(int32_t id) const;
    int16_t prodTypeIdx(int32_t id) const;
    int16_t roadTypeIdx(int32_t id) const;
    int16_t servTypeIdx(int32_t id) const;
    int16_t storTypeIdx(int32_t id) const;
    // Script id -> index, -1 when unknown.
    int16_t findBldrWalkerTypeIdx(int32_t id) const;
    int16_t findMrktWalkerTypeIdx(int32_t id) const;
    int16_t findProdWalkerTypeIdx(int32_t id) const;
    int16_t findServWalkerTypeIdx(int32_t id) const;
    int16_t findStorWalkerTypeIdx(int32_t id) const;
    int16_t findBldrTypeIdx(int32_t id) const;
    int16_t findDecoTypeIdx(int32_t id) const;
    int16_t findHousTypeIdx(int32_t id) const;
    int16_t findMrktTypeIdx(int32_t id) const;
    int16_t findProdTypeIdx(int32_t id) const;
    int16_t findRoadTypeIdx(int32_t id) const;
    int16_t findServTypeIdx(int32_t id) const;
    int16_t findStorTypeIdx(int32_t id) const;
    // The index of a type id of kind 1..8 or 16..20; another kind or an
    // unknown id raises "type index not found for type %d,%u".
    int16_t typeIdxOfKey(int kind, unsigned id) const;
    // The building type of (kind 1..8, script id), or null.
    RnGenericBuildingType* findBuildingType(int kind, int id);
    const RnGenericBuildingType* findBuildingTypeConst(int kind, int id) const;

    // Instances by object id. The typed forms check the kind fatally; the
    // instance list refuses a free slot or an index out of range.
    RnBldr& bldrByOid(const RnObjectID& oid);
    RnDeco& decoByOid(const RnObjectID& oid);
    RnHous& housByOid(const RnObjectID& oid);
    RnMrkt& mrktByOid(const RnObjectID& oid);
    RnProd& prodByOid(const RnObjectID& oid);
    RnRoad& roadByOid(const RnObjectID& oid);
    RnServ& servByOid(const RnObjectID& oid);
    RnStor& storByOid(const RnObjectID& oid);
    // A road or building (fatal unless the id is one); kinds 9 to 15 raise
    // "building not found: [%hd:%hd,%d]".
    RnGenericBuilding& buildingByOid(const RnObjectID& oid);
    // A walker (fatal unless the id is one); kinds 21 to 31 raise "walker
    // not found: [%hd:%hd,%d]".
    RnWalkerGeneric& walkerByOid(const RnObjectID& oid);
    // The object of kind 1..8 or 16..20, null for any other kind.
    RnGenericObject* objectByOid(const RnObjectID& oid);
    // The id names a live object (slot in use; a building also not
    // destroyed). False for other kinds, unknown types and bad indices.
    bool isObjectAlive(const RnObjectID& oid);
    // The road or building of the id while it is alive (as isObjectAlive
    // says), else null: what walkers use to reach their home and target.
    RnGenericBuilding* liveBuilding(const RnObjectID& oid);

    // A building goes away (removed or a ruin): the walkers it sent are
    // removed, and walkers heading for it lose it (searching walkers look
    // for another target, carrying walkers finish where they are).
    void releaseWalkers(const RnObjectID& building);

    // Building types that the eight tables do not hold (buildings a test
    // brings along): each is found by the lookups under its kind at the type
    // index returned, from kExtraTypeBase on, like the tables' types. Not
    // owned; clear() forgets them.
    static constexpr int16_t kExtraTypeBase = 0x4000;
    int16_t addExtraBuildingType(RnGenericBuildingType& type);

    // The building type of (kind 1..8, type index); null for any other
    // kind or an index out of range.
    RnGenericBuildingType* buildingTypeAt(int kind, int type_idx);

private:
    // Prefetch hints for the update of the job of an id word that comes
    // soon: the first step loads the cell of the table of live objects that
    // names it, the second (a few jobs later, the cell then at hand) the
    // object's first lines. Nothing is looked up for real or changed.
    void prefetchCell(uint64_t word);
    void prefetchObject(uint64_t word);
    // What fn(instance list, instance index) gives for the object of an id
    // word, null when no building or walker table has its type.
    template <class Fn>
    const void* onInstances(uint64_t word, Fn fn);
    // The walker type and the live objects of the tables; null for any
    // other kind, an index out of range or a free slot.
    RnWalkerGenericType* walkerTypeAt(int kind, int type_idx);
    RnGenericBuilding* buildingAt(const RnObjectID& oid);
    RnWalkerGeneric* walkerAt(const RnObjectID& oid);
    // The one place that maps object kinds to tables: fn gets the table of
    // a building kind (1..8) or walker kind (16..20); other kinds give none.
    // Game is RnGame or const RnGame.
    template <class Game, class Fn, class R>
    static R onBuildingTable(Game& game, int kind, Fn fn, R none);
    template <class Game, class Fn, class R>
    static R onWalkerTable(Game& game, int kind, Fn fn, R none);

    RnTypeTable<RnResource> resources_;
    RnTypeTable<RnTerrain> terrains_;
    RnTypeTable<RnPeoplType> peopl_types_;
    RnTypeTable<RnGoodsType> goods_types_;
    RnTypeTable<RnWalkerBldrType> bldr_walker_types_;
    RnTypeTable<RnWalkerMrktType> mrkt_walker_types_;
    RnTypeTable<RnWalkerProdType> prod_walker_types_;
    RnTypeTable<RnWalkerServType> serv_walker_types_;
    RnTypeTable<RnWalkerStorType> stor_walker_types_;
    RnTypeTable<RnBldrType> bldr_types_;
    RnTypeTable<RnDecoType> deco_types_;
    RnTypeTable<RnHousType> hous_types_;
    RnTypeTable<RnMrktType> mrkt_types_;
    RnTypeTable<RnProdType> prod_types_;
    RnTypeTable<RnRoadType> road_types_;
    RnTypeTable<RnServType> serv_types_;
    RnTypeTable<RnStorType> stor_types_;
    RnGameUpdateQueue update_queue_;
    std::vector<RnGenericBuildingType*> extra_building_types_;

    bool world_loaded_ = false;
    RnTickServicesIfc* tick_services_ = nullptr;
    RnUiServicesIfc* ui_services_ = nullptr;
};

extern RnGame grn_game;
