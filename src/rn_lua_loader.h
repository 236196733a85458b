// The Lua runners of the data scripts. RnLuaPreloader runs plain data
// scripts (the initial-data script, the preload script) with the framework's
// system functions only; RnLuaModelLoader runs the data-model script with the
// framework's tile functions and the 21 content functions, which fill the type
// tables of grn_game and the build menu and draw multi-tile images.
//
// Like every DaxLua, at most one of them is open at a time: close (or
// destroy) a loader before another runner is initialised.
#pragma once

#include "dax2/dax_lua.h"

struct ALLEGRO_BITMAP;

// Opens the Lua state of a runner for purpose ("run a map script", ...).
// While another runner's state is open it raises "another Lua state is open,
// can't %s" instead of reaching the framework's fatal check, and it raises
// when no state can be made: a loading stage can report either and go on.
void rnOpenLuaState(DaxLua& lua, const char* purpose);

// Runs plain data scripts.
class RnLuaPreloader : public DaxLua {
public:
    // Opens the Lua state with the framework's system functions
    // (rnOpenLuaState).
    void init();
    // Runs the file (it must exist): 0 on success, else the run's result
    // (-1 for a file found nowhere, the Lua status of a failed run).
    int run(const char* file);
};

// Runs the data-model script.
class RnLuaModelLoader : public DaxLua {
public:
    RnLuaModelLoader() = default;
    // Destroys a multi-tile the script left open (unless another runner's
    // state is the open one), then closes the state.
    ~RnLuaModelLoader() override;

    // Opens the Lua state (rnOpenLuaState), then destroys any open
    // multi-tile, forgets earlier model properties (a goods type needs
    // set_model_properties of this run first), empties the build menu,
    // registers the system and tile functions and the content functions in
    // table order, each logged "register function %s".
    void init();
    // Creates an empty global table "game" and runs the file (it must
    // exist); returns the run result, nonzero on failure. When the run
    // failed, a multi-tile it left open is destroyed.
    int run(const char* file);
    // Destroys any open multi-tile (unless another runner's state is the
    // open one) and closes the state.
    void close();
};

// Sets the Lua stack top back to where it was when the guard was made, on
// every exit: a raised error skips the pops of the code it leaves, and a
// registered function must return nothing it did not mean to.
class RnLuaStackGuard {
public:
    explicit RnLuaStackGuard(lua_State* L);
    ~RnLuaStackGuard();
    RnLuaStackGuard(const RnLuaStackGuard&) = delete;
    RnLuaStackGuard& operator=(const RnLuaStackGuard&) = delete;

private:
    lua_State* L_;
    int top_;
};

// A content function of the data model: its Lua name and its body.
struct RnContentFunction {
    const char* name_;
    DaxLuaFunction fn_;
};

// The 21 content functions in registration order.
constexpr int kRnContentFunctionCount = 21;
extern const RnContentFunction kRnContentFunctions[kRnContentFunctionCount];

// The open multi-tile (begin_mtile .. store_mtile), one per process.
// Whether one is open.
bool rnMtileIsOpen();
// Its temporary bitmap (a memory bitmap), null when none is open.
ALLEGRO_BITMAP* rnMtileBitmap();
// Destroys the open multi-tile, if any.
void rnMtileDestroy();

// Whether set_model_properties has run since the model loader's last init.
bool rnModelPropertiesSet();
void rnSetModelPropertiesSet(bool set);

// Bodies of the content functions (rn_lua_loader.cpp: the image functions;
// rn_lua_types.cpp: the types, the menu entries and the model properties).
int rnLuaBeginMtile(lua_State* L);
int rnLuaStoreMtile(lua_State* L);
int rnLuaDrawGround(lua_State* L);
int rnLuaDrawHouse(lua_State* L);
int rnLuaCreateResource(lua_State* L);
int rnLuaCreateTerrain(lua_State* L);
int rnLuaCreatePeopleType(lua_State* L);
int rnLuaCreateGoodsType(lua_State* L);
int rnLuaCreateServiceWalkerType(lua_State* L);
int rnLuaCreateMarketWalkerType(lua_State* L);
int rnLuaCreateBuilderWalkerType(lua_State* L);
int rnLuaCreateRoadType(lua_State* L);
int rnLuaCreateHouseType(lua_State* L);
int rnLuaCreateServiceType(lua_State* L);
int rnLuaCreateStorageType(lua_State* L);
int rnLuaCreateMarketType(lua_State* L);
int rnLuaCreateBuilderType(lua_State* L);
int rnLuaCreateProductionType(lua_State* L);
int rnLuaCreateDekoType(lua_State* L);
int rnLuaDefineMenuEntry(lua_State* L);
int rnLuaSetModelProperties(lua_State* L);
