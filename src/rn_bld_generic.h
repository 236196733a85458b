// The object model of the world's roads and buildings: the root of every
// object the update queue wakes (RnGenericObject), the building interface
// (RnGenericBuilding, 31 slots after the three of the root), the building
// with a store of building material (RnSimpleBuilding), the material record
// with its wear arithmetic, and the base classes of the building type records
// that own the buildings by value.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "rn_instances.h"

class DaxDialogIfc;
class RnLoadContext;
class RnSaveBuffer;
class RnSaveLoader;
struct RnMapTile;
class RnPhantomList;
class RnGenericBuildingType;
class RnSimpleBuildingType;
class RnBldr;
class RnDeco;
class RnHous;
class RnMrkt;
class RnProd;
class RnServ;
class RnStor;

// The wake time an update returns when it wants no further update (timers
// use the null DaxGameTime, -1, for "not set"; the queue never schedules 0).
constexpr DaxGameTime kRnNoWakeTime{0};

// The two rules of building timers. Each timer of a kind has a pending bit in
// the kind's flags word and means something only while that bit is set.
// A note asking for a re-check keeps the first time asked for (the bit set
// means a re-check is already on its way).
template <class Flags, class Bit>
void rnNoteFirst(Flags& flags, Bit bit, DaxGameTime& timer, DaxGameTime t) {
    if ((flags & bit) != 0) return;
    timer = t;
    flags = static_cast<Flags>(flags | bit);
}
// A re-scheduling keeps the earliest time; returns whether the timer changed.
template <class Flags, class Bit>
bool rnNoteEarliest(Flags& flags, Bit bit, DaxGameTime& timer, DaxGameTime t) {
    if ((flags & bit) != 0 && t.value() >= timer.value()) return false;
    timer = t;
    flags = static_cast<Flags>(flags | bit);
    return true;
}

// Root of buildings and walkers: the object's id and whether its slot in the
// type's instance list is in use. Objects live by value in those lists and are
// never deleted through this base (hence no virtual destructor).
class RnGenericObject {
public:
    RnGenericObject() = default;
    RnGenericObject(const RnGenericObject&) = default;
    RnGenericObject& operator=(const RnGenericObject&) = default;

    // Slot 0: does the due work at the job's time and returns the time of the
    // next wake-up, kRnNoWakeTime for none.
    virtual DaxGameTime update(DaxGameTime now) = 0;
    // Slots 1 and 2: the object's record in a save game, appended to the
    // save buffer and read back (the ids it names translated through ctx).
    // A kind without a record raises "cannot save object [%hd:%hd,%d]" and
    // "cannot load object [%hd:%hd,%d]".
    virtual void save(RnSaveBuffer& out) const;
    virtual void load(RnSaveLoader& in, RnLoadContext& ctx);

    RnObjectID oid_;
    bool is_active_ = false;

protected:
    ~RnGenericObject() = default;
};

// Builds the info dialogs of buildings. The game interface installs one in
// grn_building_dialogs; the world itself never builds a dialog, and without
// a factory (tests, no screens) there is none.
class RnBuildingDialogFactoryIfc {
public:
    virtual ~RnBuildingDialogFactoryIfc() = default;
    // The plain text dialog of a building without a dialog of its own: the
    // type's name as caption, the text, and numbered text 100 on its ok
    // button. Null when it cannot be made.
    virtual DaxDialogIfc* createTextDialog(const std::string& caption, const std::string& text) = 0;
    // The info dialogs of the seven kinds with a dialog of their own, built
    // from the building as it is now (the dialog does not follow later
    // changes). Null when it cannot be made; a factory without the kind's
    // dialog gives none.
    virtual DaxDialogIfc* createBldrDialog(const RnBldr& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createDecoDialog(const RnDeco& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createHousDialog(const RnHous& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createMrktDialog(const RnMrkt& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createProdDialog(const RnProd& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createServDialog(const RnServ& /*b*/) { return nullptr; }
    virtual DaxDialogIfc* createStorDialog(const RnStor& /*b*/) { return nullptr; }
};
// Not owned; null until the interface installs one.
extern RnBuildingDialogFactoryIfc* grn_building_dialogs;

// One building material of a type: goods type, the full stock a building
// keeps and the game hours one unit lasts (6 bytes, as the data model and the
// house levels store it).
struct RnMaterialEntry {
    int16_t good_type_idx_ = -1;
    uint16_t amount_ = 0;
    uint16_t hours_ = 0;
};
static_assert(sizeof(RnMaterialEntry) == 6, "material entries are 6 bytes");

// A stock of building material: full up to time_level1_, worn down linearly
// to 0 at time_level0_, one unit lasting a fixed number of hours. Saved raw.
struct RnMaterialInf {
    DaxGameTime time_level1_{0};
    DaxGameTime time_level0_{0};
    uint16_t amount_ = 0;
    uint16_t pad_ = 0;

    // Units left at t.
    float amountAt(DaxGameTime t) const;
    // Lowers limit to the next time after now at which the stock changes.
    void nextEvent(DaxGameTime& limit, DaxGameTime now) const;
    // n units arrive at now, each lasting hours (also starts a zeroed record
    // as a full stock). Refuses hours of 0 with a DaxException.
    void add(DaxGameTime now, uint16_t n, uint16_t hours);
    // The type's entry changed to new_max units of new_hours each; returns
    // whether the record changed. Refuses new_hours of 0 with a
    // DaxException.
    bool relevel(DaxGameTime now, uint16_t new_max, uint16_t new_hours);
};
static_assert(sizeof(RnMaterialInf) == 12, "RnMaterialInf is saved as 12 raw bytes");

// A goods type with an amount (needs and inputs of the data model).
struct RnGoodsAmount {
    int16_t good_type_idx_ = -1;
    uint16_t amount_ = 0;
};

// A goods type a production type makes: amount per cycle and the cycle's
// game hours.
struct RnGoodsOutput {
    int16_t good_type_idx_ = -1;
    int16_t amount_ = 0;
    int16_t time_ = 0;
};

// A worker requirement of a workplace type: people type, number required
// and the range of the workplace in the workforce network.
struct RnWorkerReq {
    int16_t ppl_type_idx_ = -1;
    uint16_t num_req_ = 0;
    uint16_t range_ = 0;
};
static_assert(sizeof(RnWorkerReq) == 6, "RnWorkerReq is 6 bytes in save games");

// Goods types that the material flood collects.
using RnGoodsSet = std::set<int16_t>;

// Base of roads and buildings: the anchor tile and the slots through which
// buildings, walkers and the interface talk to each other. The anchor is the
// bottom-right tile: a type of width w and height h covers x-w+1..x and
// y-h+1..y.
class RnGenericBuilding : public RnGenericObject {
public:
    // Null id, inactive, no position: a blank for a load.
    RnGenericBuilding();
    // A building being placed: id (kind, -1, -1) until its type registers
    // it, active, anchored at (x, y).
    RnGenericBuilding(int16_t kind, int x, int y);
    RnGenericBuilding(const RnGenericBuilding&) = default;
    RnGenericBuilding& operator=(const RnGenericBuilding&) = default;

    // Slots 3 to 33, in this order. t is a game time; goods and service
    // types are 16-bit type indices.
    virtual void desirabilityChanged(DaxGameTime t) = 0;
    virtual void workersChanged(DaxGameTime t) = 0;
    virtual void goodsArrived(DaxGameTime t) = 0;
    virtual void walkerReturned(DaxGameTime t, const RnObjectID& walker) = 0;
    // Append the debug line and the status text to buf, "\n" first when sep
    // is set; return the new length of buf.
    virtual int debugText(std::string& buf, bool sep) const = 0;
    virtual int infoText(std::string& buf, bool sep) const = 0;
    // The info dialog: by default (roads) a plain text dialog of the info
    // and debug texts with the type's name as caption, made by
    // grn_building_dialogs; null when both texts are empty or no factory is
    // installed. The other kinds ask the factory for their own dialog.
    virtual DaxDialogIfc* createDialog() const;
    virtual float efficiency() const { return 1.0f; }
    virtual float supplyRatio() const { return 1.0f; }
    virtual bool refersTo(const RnObjectID& /*oid*/) const { return false; }
    virtual uint32_t problemFlags() const { return 0; }
    virtual bool hasWorkers() const { return true; }
    virtual bool inputsAvailable() const { return true; }
    virtual int inputLevel() const { return 1000; }
    virtual int outputLevel() const { return 0; }
    virtual int16_t shortMaterial() const { return 0; }
    virtual bool hasUnmetNeeds() const { return false; }
    virtual bool isDestroyed() const { return false; }
    // After loading: every footprint tile on the map, buildable with occupied
    // tiles allowed, and the anchor carrying this id; raises otherwise.
    virtual void verifyOnMap() const;
    virtual uint16_t materialNeed(DaxGameTime /*t*/, const RnObjectID& /*builder*/) const { return 0; }
    // The booking slots fail with the fatal check "false" on kinds that do
    // not take the booking.
    virtual void materialDelivered(DaxGameTime t, const RnObjectID& builder);
    virtual void listMaterials(RnGoodsSet& /*goods*/) const {}
    virtual uint16_t marketNeed(DaxGameTime /*t*/, const RnObjectID& /*market*/) const { return 0; }
    virtual void marketDelivered(DaxGameTime t, const RnObjectID& market);
    virtual uint16_t goodsNeed(DaxGameTime /*t*/, int16_t /*goods*/, bool /*with_promised*/) const { return 0; }
    virtual void goodsDelivered(DaxGameTime t, int16_t goods, int amount);
    virtual void goodsPromised(int16_t goods, int amount);
    virtual uint16_t serviceNeed(DaxGameTime /*t*/, int16_t /*service*/, int /*flag*/) const { return 0; }
    virtual void serviceDelivered(DaxGameTime t, int16_t service);
    virtual void setServicePending(int16_t service, bool on);
    virtual void forgetObject(const RnObjectID& /*oid*/) {}

    // The building's type record (through the game's tables).
    const RnGenericBuildingType& buildingType() const;
    // Footprint centre (x - (w-1)/2, y - (h-1)/2) and the same truncated.
    DaxMapPositionF centreOnMap() const;
    DaxMapPositionI centreTile() const;
    static DaxMapPositionI stepPosition(const DaxMapPositionI& pos, DaxDirection dir);

    DaxMapPositionI pos_on_map_;

protected:
    // Buildings live by value in their type's instance list, never deleted
    // through a base.
    ~RnGenericBuilding() = default;
    // Appends "\n" when sep is set (the texts' separator).
    static void appendSeparator(std::string& buf, bool sep);
};

// A building with a store of building material: the six kinds other than
// road and house. The material slots (11, 18, 22, 23, 24) are shared here.
class RnSimpleBuilding : public RnGenericBuilding {
public:
    using MaterialMap = std::map<int16_t, RnMaterialInf>;

    RnSimpleBuilding() = default;
    RnSimpleBuilding(int16_t kind, int x, int y) : RnGenericBuilding(kind, x, y) {}

    float supplyRatio() const override;
    int16_t shortMaterial() const override;
    uint16_t materialNeed(DaxGameTime t, const RnObjectID& builder) const override;
    void materialDelivered(DaxGameTime t, const RnObjectID& builder) override;
    void listMaterials(RnGoodsSet& goods) const override;

    // Slot 34: ask for a supply check at t; the earliest request wins.
    // Returns whether the stored time changed.
    virtual bool scheduleSupplyCheck(DaxGameTime t) = 0;

    // The earliest run-out time of the stored materials, 0 with none.
    DaxGameTime earliestRunOut() const;
    // Brings the store in line with the type's materials after loading:
    // adds missing materials full, relevels changed ones and drops the ones
    // the type no longer lists. Returns whether anything changed.
    bool checkMaterialNeeds(const RnSimpleBuildingType& type, DaxGameTime now);
    // Fills the store full at now with every material of the type (a new
    // building).
    void startMaterials(const RnSimpleBuildingType& type, DaxGameTime now);
    // The material step of a kind's update (flags and bld_bit are the kind's
    // flags word and supply-check bit, t_bld its timer): a new building's
    // store is filled and its supply check scheduled; a due check returns
    // true when a material has run out (the building falls to ruin), else
    // moves the check to the next run-out time.
    bool materialRanOut(DaxGameTime now, const uint32_t& flags, uint32_t bld_bit, DaxGameTime& t_bld);

    // The type's simple part.
    const RnSimpleBuildingType& simpleType() const;

    // Links each goods type of the map whose entry has no link yet
    // (instance index -1) to the first storage reached along the roads,
    // within prod_walker_range steps, that is not a ruin and keeps that goods
    // type. Returns how many entries were linked. Not for roads, houses and
    // storages.
    int linkNearStorages(std::map<int16_t, RnObjectID>& goods) const;
    // Gives levels one value per house type: the highest current level of
    // the houses of that type reachable along the roads within max_dist
    // steps, going on past houseless road for at most since_house_limit
    // tiles (0: no limit). Not for roads, houses and storages.
    void floodHouseLevels(std::vector<int16_t>& levels, uint16_t max_dist, uint16_t since_house_limit) const;

    MaterialMap material_in_store_;

protected:
    ~RnSimpleBuilding() = default;

private:
    // The lowest amountAt(now) / entry amount over the type's materials and
    // the goods type that gave it; 1.0 and 0 with none.
    float lowestRatio(int16_t& goods) const;
};

// The key of a building type as saves store it: script id and footprint.
struct RnGenericBuildingTypeKey {
    int32_t type_id_ = 0;
    int16_t width_ = 1;
    int16_t height_ = 1;
};
static_assert(sizeof(RnGenericBuildingTypeKey) == 8, "the building type key is 8 bytes in save games");

// Base of all building type records: what the buildings of a type share and
// the five operations that create, remove and preview them. Each kind type
// owns its buildings in an instance list.
class RnGenericBuildingType : public RnGenericBuildingTypeKey {
public:
    explicit RnGenericBuildingType(int16_t kind) : kind_(kind) {}
    RnGenericBuildingType(const RnGenericBuildingType&) = default;
    RnGenericBuildingType& operator=(const RnGenericBuildingType&) = default;
    virtual ~RnGenericBuildingType() = default;

    // Slot 0: builds a building with its anchor at (x, y), places it and
    // returns its id.
    virtual RnObjectID createBuilding(int x, int y) = 0;
    // Slot 1: removes the building whose anchor tile is (tx, ty).
    virtual void removeBuilding(const RnMapTile& tile, int tx, int ty) = 0;
    // Slot 2: the image of the placement preview.
    virtual std::string phantomImage() const = 0;
    // Slot 3: live buildings of the type.
    virtual int instanceCount() const = 0;
    // Slot 4: adds the preview of a building at (x, y) to the list; returns
    // the list's total cost when the footprint can be built, else -1.
    virtual int addPhantom(RnPhantomList& list, int x, int y, int x2, int y2);

    // The live building at an instance index, null for a free slot or an
    // index out of range.
    virtual RnGenericBuilding* findInstance(int32_t idx) = 0;
    const RnGenericBuilding* findInstance(int32_t idx) const {
        return const_cast<RnGenericBuildingType*>(this)->findInstance(idx);
    }

    int16_t kind() const { return kind_; }
    int32_t typeId() const { return type_id_; }

    int16_t kind_;
    std::string name_;
    uint8_t flat_ = 0;
    uint8_t deprecated_ = 0;
    int32_t cost_ = 0;
    // Added to the cost of a demolition selection.
    int32_t demolition_cost_ = 0;
    // Mini-map colour (r, g, b, a).
    float colour_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // Drawn over the footprint of a destroyed building; empty until set.
    std::string ruin_image_;

protected:
    // The shared preview: footprint at anchor (x, y) tested with the map's
    // area test and the resource mask; the preview entry is added with the
    // type's cost whether or not the test passed.
    int addPhantomArea(RnPhantomList& list, int x, int y, uint16_t resource_mask);
};

// Base of the six simple kinds' types: building material, images and the
// desirability the buildings spread.
class RnSimpleBuildingType : public RnGenericBuildingType {
public:
    explicit RnSimpleBuildingType(int16_t kind) : RnGenericBuildingType(kind) {}

    // The floor image when there is one, else the building image.
    std::string phantomImage() const override;

    std::vector<RnMaterialEntry> build_material_;
    std::string image_;
    std::string floor_image_;
    int16_t own_attr_ = 0;
};

// The current game time of the global clock.
DaxGameTime rnNow();

// The index of a type record in its kind's table of the game (from its kind
// and script id); raises when the game does not know the type.
int16_t rnTypeIndex(const RnGenericBuildingType& type);

// Adds a new building to its type's instance list: its id takes the type's
// index and then the slot's index, and the stored copy gets the id. Returns
// the stored building.
template <class Obj>
Obj& rnAddInstance(RnInstanceList<Obj>& list, const RnGenericBuildingType& type, Obj building) {
    building.oid_.setTypeIdx(rnTypeIndex(type));
    int32_t idx = list.add(building);
    Obj& obj = list[idx];
    obj.oid_.setBldIdx(idx);
    DAX_ASSERT(obj.is_active_);
    return obj;
}

// The live building at the tile's instance index (fatal when there is none).
template <class Obj>
Obj& rnInstanceOfTile(RnInstanceList<Obj>& list, const RnObjectID& tile_oid) {
    return list[tile_oid.bld_idx_];
}

// Spreads the change of a building's own desirability (old to new value)
// over the tiles around its footprint at time t.
void rnSpreadOwnAttr(const RnGenericBuilding& b, DaxGameTime t, int old_value, int new_value);

// Marks a simple building's footprint on the map with the given images.
void rnPlaceOnMap(const RnGenericBuilding& b, const std::string& floor_image, const std::string& image);
// Raises "building position %d,%d is not on the map" unless the whole
// footprint of the type anchored at (x, y) lies on the map.
void rnCheckFootprintOnMap(const RnGenericBuildingType& type, int x, int y);

// The storage a goods entry's link names while it stands and keeps the
// goods; null for a null link, a storage gone or a ruin (its links are
// being forgotten), or one that no longer keeps the goods.
RnStor* rnLinkedStorage(const RnObjectID& storage, int16_t goods);
// A linked building's share of that storage's demand for goods changes by
// delta (RnStor::adjustDemand); nothing happens without such a storage.
void rnPassDemand(const RnObjectID& storage, int16_t goods, int delta);

// Posts numbered message `number` (its text from the language file) at the
// building's anchor tile.
void rnPostBuildingMessage(int number, const RnGenericBuilding& b);
// A building that became a ruin: its type's ruin image, when the type has
// one, replaces its building image.
void rnShowRuinImage(const RnGenericBuilding& b);

// The lowest amountAt(now) / amount over the material entries, each of
// which must be in the store, and the goods type that gave it; 1.0 and 0
// with none.
float rnLowestMaterialRatio(const std::map<int16_t, RnMaterialInf>& store, const std::vector<RnMaterialEntry>& entries,
                            DaxGameTime now, int16_t& goods);

// The score of a need for material or goods, in per mille of the full
// amount: what is missing counts a tenth, what the supplier offers of it nine
// tenths; a score below 700 counts half.
int rnNeedScore(double missing, double offered, double full);

// The log lines of a material store brought in line with its type after
// loading: a material added, one whose properties changed, one dropped.
void rnLogNewMaterial(const RnObjectID& oid, int16_t goods);
void rnLogChangedMaterial(const RnObjectID& oid, int16_t goods, const std::string& type_name);
void rnLogDroppedMaterial(const RnObjectID& oid, int16_t goods, const std::string& type_name);

// A building falls to ruin: its ruin image (rnShowRuinImage) and message
// 3002 at its anchor.
void rnShowRuin(const RnGenericBuilding& b);

// Appends printf-style text to a text buffer (cut at kDaxMsgBufSize - 1
// characters).
void rnAppendf(std::string& buf, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// The head of the info text of the simple kinds: separator, the type's name,
// and "\nbuilding is destroyed!" for a ruin. Returns whether the building is
// destroyed (the text ends there).
bool rnInfoTextHead(const RnGenericBuilding& b, std::string& buf, bool sep);
