// The timed script trigger and its Lua runner: post_msg, the game and map
// tables, calling the trigger function, and collecting and restoring the
// script's global data.
#include "rn_trigger.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <exception>
#include <set>
#include <string>
#include <unordered_set>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_msg.h"
#include "nex/texcept.h"
#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_map.h"

RnScriptTrigger grn_trigger;

namespace {

// post_msg (message number, text): a message without a map position.
int luaPostMsg(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    int number = daxLuaGetInt(L, 1, Tchk_gt0i());
    const char* text = daxLuaGetString(L, 2);
    dax_msgmgr.postNoPos(number, text);
    return 0;
}

// Lua calls this for an error outside any protected call; Lua would end the
// process after it returns, so it never returns.
int luaPanic(lua_State* L) {
    const char* text = lua_tostring(L, -1);
    daxRaiseError("LUA panic! %s", text ? text : "?");
}

void needStack(lua_State* L, int n) {
    if (!lua_checkstack(L, n)) daxRaiseError("LUA stack overflow while restoring global data");
}

// The global table game (created anew when the script replaced it by
// something else), pushed on the stack.
void pushGameTable(lua_State* L) {
    lua_pushstring(L, "game");
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_istable(L, -1)) return;
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushstring(L, "game");
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

void setNumberField(lua_State* L, int table, const char* key, double value) {
    lua_pushstring(L, key);
    lua_pushnumber(L, value);
    lua_rawset(L, table);
}

// A Lua number that is a whole number of 32 bits.
bool asInt32(double n, int32_t& out) {
    if (!(n == std::floor(n)) || n < -2147483648.0 || n > 2147483647.0) return false;
    out = static_cast<int32_t>(n);
    return true;
}

// Collects the pairs of a table into entries, for saveGlobals. Only what
// restoreGlobals gives back is collected: a number key at the top level
// (a global has a name) is skipped, and a table met a second time (shared
// by two keys, or holding itself) is refused, since the flat list can only
// copy it, once for every reference, which grows without bound.
class GlobalsCollector {
public:
    GlobalsCollector(lua_State* L, const DaxLua& lua, std::vector<RnScriptDataEntry>& out)
        : L_(L), lua_(lua), out_(out) {}

    // The pairs of the table at stack index table (absolute) at depth.
    void visit(int table, int depth) {
        if (depth > kRnScriptMaxDepth) daxRaiseError("global data in LUA nested too deep: %d", depth);
        if (!tables_.insert(lua_topointer(L_, table)).second) {
            daxRaiseError("global data in LUA: table %s is referenced more than once, the globals are not saved",
                          path_.c_str());
        }
        if (!lua_checkstack(L_, 4)) daxRaiseError("LUA stack overflow while collecting global data");
        lua_pushnil(L_);
        while (lua_next(L_, table) != 0) {
            visitPair(depth);
            lua_pop(L_, 1);
        }
    }

private:
    // Key at -2, value at -1; both stay on the stack.
    void visitPair(int depth) {
        int vtype = lua_type(L_, -1);
        if (vtype == LUA_TNIL || vtype == LUA_TFUNCTION || vtype == LUA_TTHREAD) return;
        if (vtype == LUA_TBOOLEAN || vtype == LUA_TUSERDATA || vtype == LUA_TLIGHTUSERDATA) return;
        const void* identity = lua_topointer(L_, -1);
        if (identity != nullptr && lua_.isListedGlobal(identity)) return;

        RnScriptDataEntry e;
        int ktype = lua_type(L_, -2);
        if (ktype == LUA_TNUMBER) {
            // lua_tonumber leaves the key as it is (lua_tostring would turn
            // it into a string and break the traversal).
            double k = lua_tonumber(L_, -2);
            if (!asInt32(k, e.int_key_)) {
                daxLogMessage(1, 1, "global data: key %g is no 32-bit integer, not saved", k);
                return;
            }
            if (depth == 0) {
                daxLogMessage(1, 1, "global data: global [%d] has a number for a name, not saved", e.int_key_);
                return;
            }
            e.key_kind_ = kRnScriptKeyInt;
        } else if (ktype == LUA_TSTRING) {
            size_t len = 0;
            const char* k = lua_tolstring(L_, -2, &len);
            std::string key(k, len);
            if (depth == 0 && (key.empty() || key[0] == '_' || key == "game" || key == "map")) return;
            if (len > RnScriptDataEntry::kMaxStringLength) {
                daxLogMessage(0, 0, "global data: name %s is longer than %d characters, not saved", key.c_str(),
                              static_cast<int>(RnScriptDataEntry::kMaxStringLength));
                return;
            }
            e.key_kind_ = kRnScriptKeyString;
            e.str_key_ = std::move(key);
        } else {
            return;
        }

        if (vtype == LUA_TNUMBER) {
            double n = lua_tonumber(L_, -1);
            if (asInt32(n, e.int_value_)) {
                e.value_kind_ = kRnScriptInteger;
            } else {
                e.value_kind_ = kRnScriptNumber;
                e.num_value_ = n;
            }
            out_.push_back(std::move(e));
        } else if (vtype == LUA_TSTRING) {
            size_t len = 0;
            const char* s = lua_tolstring(L_, -1, &len);
            if (len > RnScriptDataEntry::kMaxStringLength) {
                daxLogMessage(0, 0, "global data: text of %s is longer than %d characters, not saved",
                              keyText(e).c_str(), static_cast<int>(RnScriptDataEntry::kMaxStringLength));
                return;
            }
            e.value_kind_ = kRnScriptString;
            e.str_value_.assign(s, len);
            out_.push_back(std::move(e));
        } else if (vtype == LUA_TTABLE) {
            e.value_kind_ = kRnScriptTableStart;
            out_.push_back(e);
            const size_t outer = path_.size();
            if (depth > 0 && e.key_kind_ == kRnScriptKeyString) path_ += '.';
            path_ += keyText(e);
            visit(lua_gettop(L_), depth + 1);
            path_.resize(outer);
            e.value_kind_ = kRnScriptTableEnd;
            out_.push_back(std::move(e));
        }
    }

    static std::string keyText(const RnScriptDataEntry& e) {
        return e.key_kind_ == kRnScriptKeyInt ? "[" + std::to_string(e.int_key_) + "]" : e.str_key_;
    }

    lua_State* L_;
    const DaxLua& lua_;
    std::vector<RnScriptDataEntry>& out_;
    std::unordered_set<const void*> tables_;  // every table visited
    std::string path_;                        // the keys to the table being visited
};

// The "gd:" trace of collected global data.
void logGlobals(const std::vector<RnScriptDataEntry>& data) {
    int open = 0;
    for (const RnScriptDataEntry& e : data) {
        if (e.value_kind_ == kRnScriptTableEnd) {
            if (open > 0) --open;
            continue;
        }
        std::string line = "gd: ";
        line.append(static_cast<size_t>(open), ' ');
        char buf[64];
        if (e.key_kind_ == kRnScriptKeyInt) {
            std::snprintf(buf, sizeof(buf), "[%d]=", e.int_key_);
            line += buf;
        } else {
            if (open > 0) line += '.';
            line += e.str_key_ + "=";
        }
        switch (e.value_kind_) {
            case kRnScriptNumber:
                std::snprintf(buf, sizeof(buf), "%lf", e.num_value_);
                line += buf;
                break;
            case kRnScriptInteger:
                line += std::to_string(e.int_value_);
                break;
            case kRnScriptString:
                line += "'" + e.str_value_ + "'";
                break;
            case kRnScriptTableStart:
                line += "table";
                ++open;
                break;
            default:
                break;
        }
        daxLogMessage(3, 16, "%s", line.c_str());
    }
}

// Restores entries into the table on top of the stack, from data[pos] until
// an end entry (consumed) or the end of data.
void fillTable(lua_State* L, const std::vector<RnScriptDataEntry>& data, size_t& pos, int depth) {
    if (depth > kRnScriptMaxDepth) daxRaiseError("global data in LUA nested too deep: %d", depth);
    const int table = lua_gettop(L);
    const std::string indent(static_cast<size_t>(depth), ' ');
    while (pos < data.size()) {
        const RnScriptDataEntry& e = data[pos++];
        if (e.value_kind_ == kRnScriptTableEnd) return;
        needStack(L, 3);
        std::string key;
        if (e.key_kind_ == kRnScriptKeyInt) {
            lua_pushinteger(L, e.int_key_);
            key = "[" + std::to_string(e.int_key_) + "]=";
        } else if (e.key_kind_ == kRnScriptKeyString) {
            lua_pushlstring(L, e.str_key_.data(), e.str_key_.size());
            key = "." + e.str_key_ + "=";
        } else {
            daxRaiseError("invalid key type: %d", e.key_kind_);
        }
        switch (e.value_kind_) {
            case kRnScriptNumber:
                lua_pushnumber(L, e.num_value_);
                daxLogMessage(3, 16, "%s%s%lf", indent.c_str(), key.c_str(), e.num_value_);
                break;
            case kRnScriptInteger:
                lua_pushinteger(L, e.int_value_);
                daxLogMessage(3, 16, "%s%s%d", indent.c_str(), key.c_str(), e.int_value_);
                break;
            case kRnScriptString:
                lua_pushlstring(L, e.str_value_.data(), e.str_value_.size());
                daxLogMessage(3, 16, "%s%s'%s'", indent.c_str(), key.c_str(), e.str_value_.c_str());
                break;
            case kRnScriptTableStart:
                lua_newtable(L);
                daxLogMessage(3, 16, "%s%stable", indent.c_str(), key.c_str());
                fillTable(L, data, pos, depth + 1);
                break;
            default:
                daxRaiseError("unsupported type found: %d", e.value_kind_);
        }
        lua_rawset(L, table);
    }
}

// The error text of anything a trigger run may throw.
template <class Fn>
bool guarded(Fn fn, std::string& error) {
    try {
        fn();
        return true;
    } catch (const DaxException& e) {
        error = e.what();
    } catch (const nex::tExceptBase& e) {
        error = e.text();
    } catch (const std::exception& e) {
        error = e.what();
    }
    return false;
}

}  // namespace

// --- RnTriggerLua -----------------------------------------------------------

void RnTriggerLua::registerFunctions() {
    rnOpenLuaState(*this, "start the trigger");
    registerLoggedFunction("post_msg", luaPostMsg);
    lua_atpanic(L, luaPanic);
}

int RnTriggerLua::loadFile(const char* file_name) {
    DAX_ASSERT(L != nullptr);
    const int top = lua_gettop(L);
    lua_pushstring(L, "game");
    lua_newtable(L);
    lua_rawset(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, "map");
    lua_newtable(L);
    setNumberField(L, lua_gettop(L), "size", grn_map.size());
    lua_rawset(L, LUA_GLOBALSINDEX);
    if (lua_gettop(L) != top) daxRaiseError("stack not consistent");
    return run_script(file_name, true);
}

int RnTriggerLua::callTrigger(const char* function_name, DaxGameTime t) {
    DAX_ASSERT(L != nullptr);
    const int top = lua_gettop(L);
    const double cash_given = grn_game.money_;
    {
        RnLuaStackGuard guard(L);
        pushGameTable(L);
        const int game = lua_gettop(L);
        setNumberField(L, game, "population", grn_game.population_);
        setNumberField(L, game, "cash", cash_given);
        setNumberField(L, game, "time", t.value());
        lua_pop(L, 1);
        if (lua_gettop(L) != top) daxRaiseError("stack not consistent");
    }

    int rc = runFunction_v_v(function_name);
    if (rc != 0) return rc;

    RnLuaStackGuard guard(L);
    pushGameTable(L);
    const int game = lua_gettop(L);
    // Only a cash the script changed is taken back and checked: the money may
    // well be 0 or below when the script leaves it alone.
    lua_pushstring(L, "cash");
    lua_rawget(L, game);
    bool unchanged = lua_type(L, -1) == LUA_TNUMBER && lua_tonumber(L, -1) == cash_given;
    lua_pop(L, 1);
    if (!unchanged) grn_game.money_ = daxLuaGetFieldInt(L, game, "cash", Tchk_gt0i());
    return 0;
}

void RnTriggerLua::saveGlobals(std::vector<RnScriptDataEntry>& out) {
    DAX_ASSERT(L != nullptr);
    std::vector<RnScriptDataEntry> data;
    {
        RnLuaStackGuard guard(L);
        GlobalsCollector collector(L, *this, data);
        collector.visit(LUA_GLOBALSINDEX, 0);
    }
    if (dax_config.logEnabled(3, 1)) logGlobals(data);
    out.swap(data);
}

void RnTriggerLua::restoreGlobals(const std::vector<RnScriptDataEntry>& data) {
    DAX_ASSERT(L != nullptr);
    RnLuaStackGuard guard(L);
    daxLogMessage(2, 16, "restore global data for script: %d entries", static_cast<int>(data.size()));
    size_t pos = 0;
    while (pos < data.size()) {
        const RnScriptDataEntry& e = data[pos++];
        if (e.key_kind_ != kRnScriptKeyString) daxRaiseError("non-string key is not allowed for global index");
        needStack(L, 3);
        const char* name = e.str_key_.c_str();
        lua_pushlstring(L, e.str_key_.data(), e.str_key_.size());
        switch (e.value_kind_) {
            case kRnScriptNumber:
                lua_pushnumber(L, e.num_value_);
                daxLogMessage(3, 16, "%s=%lf", name, e.num_value_);
                break;
            case kRnScriptInteger:
                lua_pushinteger(L, e.int_value_);
                daxLogMessage(3, 16, "%s=%d", name, e.int_value_);
                break;
            case kRnScriptString:
                lua_pushlstring(L, e.str_value_.data(), e.str_value_.size());
                daxLogMessage(3, 16, "%s='%s'", name, e.str_value_.c_str());
                break;
            case kRnScriptTableStart:
                lua_newtable(L);
                daxLogMessage(3, 1, "%s=table", name);
                fillTable(L, data, pos, 1);
                break;
            default:
                daxRaiseError("unsupported type found: %d", e.value_kind_);
        }
        lua_rawset(L, LUA_GLOBALSINDEX);
    }
    daxLogMessage(3, 16, "restore completed");
}

// --- RnScriptTrigger --------------------------------------------------------

RnScriptTrigger::~RnScriptTrigger() {
    if (runner_) runner_->close();
}

void RnScriptTrigger::define(const std::string& script_file, const std::string& function_name,
                             uint32_t period_hours) {
    script_file_ = script_file;
    function_name_ = function_name;
    period_ = period_hours;
}

int RnScriptTrigger::loadScript() {
    load_error_.clear();
    if (period_ == 0 || runner_) return 0;
    // One Lua state at a time: while a loader's state is still open the
    // runner refuses to open its own (logged below) instead of ending the
    // program.
    auto runner = std::make_unique<RnTriggerLua>();
    int rc = -1;
    std::string error;
    bool ok = guarded(
        [&] {
            runner->registerFunctions();
            rc = runner->loadFile(script_file_.c_str());
        },
        error);
    if (!ok || rc != 0) {
        if (!ok) daxLogMessage(1, 1, "%s", error.c_str());
        daxLogMessage(1, 1, "error loading script %s", script_file_.c_str());
        load_error_ = ok ? runner->lastError() : error;
        // A runner whose script failed would keep the one Lua state open and
        // make the next loadScript report success; drop it.
        runner->close();
        return rc != 0 ? rc : -1;
    }
    runner_ = std::move(runner);
    return 0;
}

DaxGameTime RnScriptTrigger::run(DaxGameTime t) {
    if (period_ == 0) return kRnNoWakeTime;
    const DaxGameTime next(t.value() + period_ * DaxGameTime::kPerHour);
    std::string error;
    bool ok = guarded(
        [&] {
            if (!runner_) daxRaiseError("no LUA runner for trigger definition");
            if (restore_pending_) {
                // Cleared first: data that cannot be restored must not stop
                // every later run.
                restore_pending_ = false;
                runner_->restoreGlobals(data_);
            }
            daxLogMessage(2, 16, "trigger starting at %04d/%02d/%02d-%02d:%02d", t.year(), t.month(),
                          t.dayOfMonth(), t.hour(), t.minute());
            runner_->callTrigger(function_name_.c_str(), t);
            daxLogMessage(2, 16, "trigger ending");
            runner_->saveGlobals(data_);
        },
        error);
    if (!ok) {
        // The run stops here: the money and the saved globals stay as the
        // last good run left them, and the trigger runs again next period.
        daxLogMessage(0, 0, "trigger %s failed: %s", function_name_.c_str(), error.c_str());
    }
    return next;
}

void RnScriptTrigger::reset() {
    script_file_.clear();
    function_name_.clear();
    period_ = 0;
    data_.clear();
    restore_pending_ = false;
    load_error_.clear();
    if (runner_) {
        runner_->close();
        runner_.reset();
    }
}

void RnGame::setTrigger(const std::string& script_file, const std::string& function_name, uint32_t period_hours,
                        uint32_t first_after_hours) {
    grn_trigger.define(script_file, function_name, period_hours);
    updateQueue().schedule(DaxGameTime(first_after_hours * DaxGameTime::kPerHour),
                                    RnScriptTrigger::jobId());
}

DaxGameTime rnRunScriptJob(const RnObjectID& job, DaxGameTime t) {
    if (job == RnScriptTrigger::jobId()) return grn_trigger.run(t);
    daxLogMessage(1, 1, "unknown script job [%hd:%hd,%d] dropped", job.kind_, job.type_idx_, job.bld_idx_);
    return kRnNoWakeTime;
}
