// The Lua 5.1 glue: DaxLua owns the program's one Lua state, registers the
// framework's system functions, runs script files and calls script
// functions; daxLuaInvoke is the entry of every C function a script calls.
#pragma once

#include <set>
#include <string>

struct lua_State;

// The body of a function that scripts call. It reads its arguments with the
// readers of dax_lua_args.h and may raise DaxException (daxRaiseError) or
// any other C++ exception; it must never raise a Lua error itself (lua_error,
// luaL_error, luaL_check*), since that would jump over C++ frames. It
// returns 0 on success, with its results (if any) pushed above its
// arguments; a nonzero return is an error code that becomes a Lua error.
using DaxLuaFunction = int (*)(lua_State* L);

// The framework's Lua runner. At most one DaxLua is open (initialised) at a
// time; the system functions reach it through DaxLua::current(). The game's
// loaders and the trigger runner derive from it and register their own
// functions on its state.
class DaxLua {
public:
    DaxLua() = default;
    // Releases the current bitmap sheet and resets the script line of the
    // error context (when this is, or no other DaxLua is, the open one),
    // then closes the state.
    virtual ~DaxLua();
    DaxLua(const DaxLua&) = delete;
    DaxLua& operator=(const DaxLua&) = delete;

    // Creates the state, opens the base, package, table, string and math
    // libraries, records the built-in globals (listedGlobals) and registers
    // the system and bitmap functions. Initialising while any DaxLua is open
    // (this one or another) is the fatal check "lp_lua already initialized".
    // If the state cannot be created the object stays closed.
    void init();
    // Closes the state (if any), empties listedGlobals and stops being the
    // open DaxLua; releases the bitmap sheet when this was the open one.
    // A closed DaxLua can be initialised anew.
    void close();

    bool isOpen() const { return L != nullptr; }
    lua_State* state() const { return L; }
    // Whether a value (by lua_topointer identity) was a global function or
    // table right after the standard libraries were opened.
    bool isListedGlobal(const void* p) const { return listedGlobals.count(p) != 0; }
    const std::set<const void*>& builtinGlobals() const { return listedGlobals; }

    // Sets the global name to a C closure that enters fn through
    // daxLuaInvoke (so fn must not be wrapped again). Does not log.
    void registerFunction(const char* name, DaxLuaFunction fn);
    // registerFunction, then the log line "register function %s" (level 3)
    // that every system and content function gets.
    void registerLoggedFunction(const char* name, DaxLuaFunction fn);
    // Registers set_iso_tile_size, set_rect_tile_size, read_ground_tile,
    // read_1tile__ and read_mtile__ (the data-model loader calls it).
    void registerTileFunctions();

    // Runs a script file: a name that is no existing file is looked up on
    // the search path. Returns 0 on success, the Lua status of a load or run
    // error (logged "LUA ERR: %s"), and for a file found nowhere 0 when
    // optional, else -1. Values the script returns are dropped, so the stack
    // is as before. The error context names the script (as given) and its
    // running line while it runs; line and function name are restored after.
    int run_script(const char* name, bool optional);
    // Why the last run_script failed, in words for the player: for a file
    // found nowhere "can't find file <name> in <search path>", for a load
    // or run error the script's message with its file and line (for a
    // script that failed in a script it ran, the inner script's). Empty
    // after a run that succeeded.
    const std::string& lastError() const { return last_error_; }
    // Calls the global function name without arguments or results. Returns
    // the lua_pcall status (0 done), or -1 when the global is no function.
    int runFunction_v_v(const char* name);

    // The open DaxLua, or null.
    static DaxLua* current();

protected:
    lua_State* L = nullptr;
    // Global functions and tables present right after the standard
    // libraries were opened (the built-ins), by identity.
    std::set<const void*> listedGlobals;

private:
    // Records why the run of script name failed, from the error object on
    // top of the stack.
    void noteFailure(const char* name);

    std::string last_error_;
};

// Runs fn as the registered Lua function name: records name as the running
// function of the error context, calls fn, and turns a C++ exception into a
// Lua error carrying its text (decorated like daxRaiseError) or a nonzero
// return into a Lua error carrying the number. The previous function name is
// back in the error context on every exit. Returns the number of results.
int daxLuaInvoke(lua_State* L, const char* name, DaxLuaFunction fn);

// Logs every value on the stack (level 3).
void daxLuaDumpStack(lua_State* L);
// Logs the array part of the table at index (level 3), nested tables
// indented by depth; nesting deeper than a few levels is not followed, so a
// table that contains itself ends.
void daxLuaDumpTable(int depth, lua_State* L, int index);
