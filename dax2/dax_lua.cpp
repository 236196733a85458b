#include "dax2/dax_lua.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_lua_bitmap.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "nex/texcept.h"

namespace {

DaxLua* g_current = nullptr;

// Nested tables deeper than this are not dumped (a table may contain
// itself).
constexpr int kMaxDumpDepth = 8;

// Copies text into a message buffer, cut to its size.
void copyText(char* dst, const char* text) {
    std::snprintf(dst, kDaxMsgBufSize, "%s", text ? text : "");
}

// The text of a C++ exception that is not a DaxException, decorated with
// the script position and function like a raised error (and logged).
void decorate(char* dst, const char* text) {
    try {
        daxRaiseError("%s", text);
    } catch (const DaxException& e) {
        copyText(dst, e.what());
    } catch (...) {
        copyText(dst, text);
    }
}

// The C closure behind every registered function: upvalue 1 is the Lua
// name, upvalue 2 a userdata holding the body.
int trampoline(lua_State* L) {
    const char* name = lua_tostring(L, lua_upvalueindex(1));
    DaxLuaFunction fn = nullptr;
    std::memcpy(&fn, lua_touserdata(L, lua_upvalueindex(2)), sizeof(fn));
    return daxLuaInvoke(L, name, fn);
}

// Line hook: the running line becomes the line of the error context, so
// errors raised from script calls name it.
void lineHook(lua_State*, lua_Debug* ar) {
    if (ar->event == LUA_HOOKLINE) {
        daxSetErrorLine(ar->currentline);
    }
}

// Joins the arguments behind prefix: strings and numbers as text, anything
// else as "?".
void joinArgs(lua_State* L, const char* prefix, char* buf) {
    size_t n = static_cast<size_t>(std::snprintf(buf, kDaxMsgBufSize, "%s", prefix));
    int top = lua_gettop(L);
    for (int i = 1; i <= top && n < kDaxMsgBufSize - 1; ++i) {
        // lua_tostring converts a number argument in place, which is fine
        // for a value on our own stack.
        const char* s = (lua_type(L, i) == LUA_TSTRING || lua_type(L, i) == LUA_TNUMBER)
                            ? lua_tostring(L, i)
                            : "?";
        int w = std::snprintf(buf + n, kDaxMsgBufSize - n, "%s", s);
        if (w < 0) {
            break;
        }
        n += static_cast<size_t>(w);
    }
}

int luaLogmsg(lua_State* L) {
    char buf[kDaxMsgBufSize];
    joinArgs(L, "LUA: ", buf);
    daxLogMessage(2, 1, "%s", buf);
    return 0;
}

int luaLogerr(lua_State* L) {
    char buf[kDaxMsgBufSize];
    joinArgs(L, "ERR: ", buf);
    daxLogMessage(1, 1, "%s", buf);
    return 0;
}

int luaImportLanguageStrings(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    std::string path = daxLuaGetString(L, 1);
    path += ".";
    path += dax_config.language_;
    path += ".txt";
    daxFindFile(path);
    dax_strings.loadFile(path.c_str(), true);
    return 0;
}

int luaAddAuthor(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    int number = daxLuaGetInt(L, 1, Tchk_gt0i());
    const char* text = daxLuaGetString(L, 2);
    dax_strings.addString(number, text, false);
    return 0;
}

int runFile(lua_State* L, bool optional) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    const char* name = daxLuaGetString(L, 1);
    DaxLua* lua = DaxLua::current();
    if (!lua || lua->state() != L) {
        daxRaiseError("no open Lua runner for this state");
    }
    return lua->run_script(name, optional);
}

int luaDofile(lua_State* L) { return runFile(L, false); }
int luaDofileopt(lua_State* L) { return runFile(L, true); }

int luaSaveImages(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    int on = daxLuaGetInt(L, 1, Tchk_bool());
    dax_bitmaps.setExportFlag(on != 0);
    return 0;
}

// The text of the error object on top of the stack.
const char* errorText(lua_State* L) {
    const char* s = lua_tostring(L, -1);
    return s ? s : "(error object is not a string)";
}

}  // namespace

int daxLuaInvoke(lua_State* L, const char* name, DaxLuaFunction fn) {
    // Only plain buffers live in this frame: lua_error below jumps out of it.
    char message[kDaxMsgBufSize];
    char previous[kDaxMsgBufSize];
    copyText(previous, daxErrorFunction().c_str());
    int base = lua_gettop(L);
    int code = 0;
    bool failed = false;
    try {
        daxSetErrorFunction(name);
        code = fn(L);
    } catch (const DaxException& e) {
        copyText(message, e.what());
        failed = true;
    } catch (const std::exception& e) {
        decorate(message, e.what());
        failed = true;
    } catch (const nex::tExceptBase& e) {
        decorate(message, e.text());
        failed = true;
    } catch (...) {
        decorate(message, "unknown exception");
        failed = true;
    }
    try {
        daxSetErrorFunction(previous);
    } catch (...) {
        // Keeping a name needs no memory when it is empty; nothing to do.
    }
    if (failed) {
        lua_pushstring(L, message);
        return lua_error(L);
    }
    if (code != 0) {
        lua_pushinteger(L, code);
        return lua_error(L);
    }
    int results = lua_gettop(L) - base;
    return results > 0 ? results : 0;
}

DaxLua* DaxLua::current() { return g_current; }

DaxLua::~DaxLua() {
    if (g_current == this || g_current == nullptr) {
        daxLuaReleaseBitmapFile();
        daxSetErrorLine(0);
    }
    close();
}

void DaxLua::init() {
    if (g_current != nullptr) {
        daxAssertFailed("dax2\\dax_lua", 508, "lp_lua already initialized");
    }
    if (L) {
        return;
    }
    L = luaL_newstate();
    if (!L) {
        daxLogMessage(1, 1, "can't create the Lua state");
        return;
    }
    g_current = this;

    const struct {
        const char* name;
        lua_CFunction open;
    } libs[] = {
        {"", luaopen_base},
        {LUA_LOADLIBNAME, luaopen_package},
        {LUA_TABLIBNAME, luaopen_table},
        {LUA_STRLIBNAME, luaopen_string},
        {LUA_MATHLIBNAME, luaopen_math},
    };
    for (const auto& lib : libs) {
        lua_pushcfunction(L, lib.open);
        lua_pushstring(L, lib.name);
        lua_call(L, 1, 0);
    }
    daxLogMessage(2, 1, "lua initialized successfully");

    bool detail = dax_config.logEnabled(3, 1);
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX) != 0) {
        if (detail) {
            // No lua_tostring on the key: it would disturb lua_next.
            if (lua_type(L, -2) == LUA_TNUMBER) {
                int32_t idx = 0;
                daxLuaNumberToInt32(lua_tonumber(L, -2), idx);
                daxLogMessage(3, 1, "system idx=%d", idx);
            } else if (lua_type(L, -2) == LUA_TSTRING) {
                daxLogMessage(3, 1, "system key=%s", lua_tostring(L, -2));
            }
        }
        if (lua_isfunction(L, -1)) {
            const void* p = lua_topointer(L, -1);
            listedGlobals.insert(p);
            daxLogMessage(4, 1, " -> add function %p", p);
        } else if (lua_istable(L, -1)) {
            const void* p = lua_topointer(L, -1);
            listedGlobals.insert(p);
            daxLogMessage(3, 1, " -> add table %p", p);
        }
        lua_pop(L, 1);
    }
    daxLogMessage(2, 1, "lua global functions and tables listed");

    registerLoggedFunction("logmsg", luaLogmsg);
    registerLoggedFunction("logerr", luaLogerr);
    registerLoggedFunction("import_language_strings", luaImportLanguageStrings);
    registerLoggedFunction("add_author", luaAddAuthor);
    registerLoggedFunction("dofile", luaDofile);
    registerLoggedFunction("dofileopt", luaDofileopt);
    registerLoggedFunction("save_images", luaSaveImages);
    daxLuaRegisterBitmapFunctions(*this);
    daxLogMessage(2, 1, "system functions registered");
}

void DaxLua::close() {
    if (g_current == this) {
        g_current = nullptr;
        daxLuaReleaseBitmapFile();
    }
    if (L) {
        lua_close(L);
        L = nullptr;
    }
    listedGlobals.clear();
}

void DaxLua::registerFunction(const char* name, DaxLuaFunction fn) {
    DAX_ASSERT(L != nullptr);
    lua_pushstring(L, name);
    lua_pushstring(L, name);
    void* holder = lua_newuserdata(L, sizeof(fn));
    std::memcpy(holder, &fn, sizeof(fn));
    lua_pushcclosure(L, trampoline, 2);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void DaxLua::registerLoggedFunction(const char* name, DaxLuaFunction fn) {
    registerFunction(name, fn);
    daxLogMessage(3, 1, "register function %s", name);
}

void DaxLua::registerTileFunctions() {
    DAX_ASSERT(L != nullptr);
    daxLuaRegisterTileFunctions(*this);
}

int DaxLua::run_script(const char* name, bool optional) {
    DAX_ASSERT(L != nullptr);
    daxLogMessage(2, 1, "enter run_script(%s)", name);
    // A script this one runs records its own failure here; a run that
    // fails with the inner one's status keeps that reason.
    last_error_.clear();
    std::string path = name;
    if (!daxFileExists(path.c_str())) {
        // A missing optional script is no error: look quietly first, so the
        // log does not get an error line for it.
        if (optional && !daxSearchFile(path)) {
            return 0;
        }
        try {
            daxFindFile(path);
        } catch (const DaxException&) {
            if (optional) {
                return 0;
            }
            last_error_ = daxFileNotFoundText(name);
            return -1;
        }
    }
    const int top = lua_gettop(L);
    const int saved_line = daxErrorLine();
    const std::string saved_function = daxErrorFunction();
    const uint32_t start = daxRealTime();
    lua_sethook(L, lineHook, LUA_MASKLINE, 0);

    int rc = luaL_loadfile(L, path.c_str());
    if (rc != 0) {
        noteFailure(name);
        daxLogMessage(1, 1, "LUA ERR: %s", errorText(L));
    } else {
        daxLogMessage(2, 1, "loaded file %s", path.c_str());
        daxPushErrorScript(name);
        rc = lua_pcall(L, 0, LUA_MULTRET, 0);
        if (rc != 0) {
            noteFailure(name);
            daxLogMessage(1, 1, "LUA ERR: %s", errorText(L));
        } else {
            // Failures of scripts it ran and caught are not this run's.
            last_error_.clear();
        }
        daxPopErrorScript();
    }
    // Drop the error message or the script's results.
    lua_settop(L, top);
    daxSetErrorLine(saved_line);
    daxSetErrorFunction(saved_function.c_str());

    uint32_t elapsed = daxRealTime() - start;
    daxLogMessage(2, 1, "leave run_script(%s): rc=%d runtime=%.3f", name, rc, elapsed / 100.0);
    return rc;
}

void DaxLua::noteFailure(const char* name) {
    // Called before the log line, which turns a number into a string.
    // Lua's own messages and raised framework errors begin with the script
    // and line. A number is the status of a script this one ran (whose
    // reason is kept) or an error code of a registered function.
    if (lua_type(L, -1) == LUA_TSTRING) {
        last_error_ = lua_tostring(L, -1);
    } else if (last_error_.empty()) {
        last_error_ = std::string(name) + ": " + errorText(L);
    }
}

int DaxLua::runFunction_v_v(const char* name) {
    DAX_ASSERT(L != nullptr);
    daxLogMessage(4, 1, "enter runFunction_v_v(%s)", name);
    // A raw look-up: a metatable on the globals must not run here, outside
    // any protected call.
    lua_pushstring(L, name);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (!lua_isfunction(L, -1)) {
        daxLogMessage(1, 1, "LUA function %s not found", name);
        daxLuaDumpStack(L);
        lua_pop(L, 1);
        return -1;
    }
    const int saved_line = daxErrorLine();
    const std::string saved_function = daxErrorFunction();
    int rc = lua_pcall(L, 0, 0, 0);
    if (rc != 0) {
        daxLogMessage(1, 1, "LUA ERR: %s", errorText(L));
        lua_pop(L, 1);
    }
    daxSetErrorLine(saved_line);
    daxSetErrorFunction(saved_function.c_str());
    daxLogMessage(4, 1, "leave runFunction_v_v(%s): rc=%d", name, rc);
    return rc;
}

void daxLuaDumpStack(lua_State* L) {
    if (!dax_config.logEnabled(3, 1)) {
        return;
    }
    int top = lua_gettop(L);
    for (int i = 1; i <= top; ++i) {
        switch (lua_type(L, i)) {
        case LUA_TNIL:
            daxLogMessage(3, 1, "arg %d: nil", i);
            break;
        case LUA_TNUMBER: {
            int32_t v = 0;
            if (daxLuaNumberToInt32(lua_tonumber(L, i), v)) {
                daxLogMessage(3, 1, "arg %d: num=%d", i, v);
            } else {
                daxLogMessage(3, 1, "arg %d: num=%g", i, lua_tonumber(L, i));
            }
            break;
        }
        case LUA_TSTRING:
            daxLogMessage(3, 1, "arg %d: str=%s", i, lua_tostring(L, i));
            break;
        case LUA_TBOOLEAN:
            daxLogMessage(3, 1, "arg %d: bool=%d", i, lua_toboolean(L, i));
            break;
        case LUA_TFUNCTION:
            daxLogMessage(3, 1, "arg %d: func=%p", i, lua_topointer(L, i));
            break;
        case LUA_TTABLE:
            daxLogMessage(3, 1, "arg %d: table", i);
            daxLuaDumpTable(0, L, i);
            break;
        default:
            daxLogMessage(3, 1, "arg %d: other=%d", i, lua_type(L, i));
            break;
        }
    }
}

void daxLuaDumpTable(int depth, lua_State* L, int index) {
    if (!dax_config.logEnabled(3, 1)) {
        return;
    }
    if (index < 0 && index > LUA_REGISTRYINDEX) {
        index = lua_gettop(L) + index + 1;
    }
    int pad = depth < 0 ? 0 : depth;
    size_t raw = lua_objlen(L, index);
    int len = raw > 0x7fffffff ? 0x7fffffff : static_cast<int>(raw);
    daxLogMessage(3, 1, "%*s i=%d", pad, "", index);
    daxLogMessage(3, 1, "%*stable: p=%p sz=%d", pad, "", lua_topointer(L, index), len);
    for (int i = 1; i <= len; ++i) {
        lua_rawgeti(L, index, i);
        switch (lua_type(L, -1)) {
        case LUA_TNIL:
            daxLogMessage(3, 1, "%*s  idx=%d: nil", pad, "", i);
            break;
        case LUA_TNUMBER: {
            int32_t v = 0;
            if (daxLuaNumberToInt32(lua_tonumber(L, -1), v)) {
                daxLogMessage(3, 1, "%*s  idx=%d: num %d", pad, "", i, v);
            } else {
                daxLogMessage(3, 1, "%*s  idx=%d: num %g", pad, "", i, lua_tonumber(L, -1));
            }
            break;
        }
        case LUA_TSTRING:
            daxLogMessage(3, 1, "%*s  idx=%d: str %s", pad, "", i, lua_tostring(L, -1));
            break;
        case LUA_TTABLE:
            daxLogMessage(3, 1, "%*s  idx=%d: table", pad, "", i);
            if (depth < kMaxDumpDepth) {
                daxLuaDumpTable(depth + 1, L, lua_gettop(L));
            }
            break;
        default:
            daxLogMessage(3, 1, "%*s  idx=%d: type=%d", pad, "", i, lua_type(L, -1));
            break;
        }
        lua_pop(L, 1);
    }
}
