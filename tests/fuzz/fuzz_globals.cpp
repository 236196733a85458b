// The trigger's saved globals: globals built from the input (numbers of
// every kind, strings, tables shared, nested or holding themselves, names
// that are numbers), collected, given back to a fresh state and collected
// again must come out unchanged; whatever the collector accepts the restore
// must accept. A list of entries read from the input (as a damaged save
// could hold) is restored or refused without harm, and what a restore
// accepted round-trips the same way.
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_error.h"
#include "fuzz_support.h"
#include "nex/texcept.h"
#include "rn_lua_maploader.h"
#include "rn_trigger.h"

namespace {

using Flat = std::map<std::vector<std::string>, std::string>;

// The entries as a map from key path to value, so that the order lua_next
// takes does not matter; false when the list is not well formed.
bool flatten(const std::vector<RnScriptDataEntry>& data, Flat& out) {
    std::vector<std::string> path;
    for (const RnScriptDataEntry& e : data) {
        std::string key = e.key_kind_ == kRnScriptKeyInt ? "i" + std::to_string(e.int_key_) : "s" + e.str_key_;
        if (e.value_kind_ == kRnScriptTableEnd) {
            if (path.empty() || path.back() != key) return false;
            path.pop_back();
            continue;
        }
        path.push_back(key);
        char num[64];
        std::string value;
        switch (e.value_kind_) {
            case kRnScriptNumber:
                std::snprintf(num, sizeof num, "%a", e.num_value_);
                value = std::string("n") + num;
                break;
            case kRnScriptInteger: value = "i" + std::to_string(e.int_value_); break;
            case kRnScriptString: value = "s" + e.str_value_; break;
            case kRnScriptTableStart: value = "t"; break;
            default: return false;
        }
        if (!out.emplace(path, value).second) return false;
        if (e.value_kind_ != kRnScriptTableStart) path.pop_back();
    }
    return path.empty();
}

// A trigger runner with its state open for the time of one step.
class Runner {
public:
    Runner() {
        lua_.registerFunctions();
        FUZZ_CHECK(lua_.loadFile((fuzzTempDir() + "no_such_trigger.lua").c_str()) == 0, "empty trigger script");
    }
    ~Runner() { lua_.close(); }
    RnTriggerLua& lua() { return lua_; }
    lua_State* L() { return lua_.state(); }

private:
    RnTriggerLua lua_;
};

template <class Fn>
bool refused(Fn fn) {
    try {
        fn();
    } catch (const DaxException&) {
        return true;
    } catch (const nex::tExceptBase&) {
        return true;
    }
    return false;
}

const char* const kNames[] = {"a", "b", "game", "map", "_x", "x", "name_longer_than_15", "", "1", "t"};

// Pushes a value the input chooses; tables come from the pool at pool..pool+7.
void pushValue(lua_State* L, FuzzInput& in, int pool) {
    switch (in.byte() % 10) {
        case 0: lua_pushinteger(L, static_cast<lua_Integer>(static_cast<int32_t>(in.u32()))); break;
        case 1: {
            const double special[] = {0.5, -0.0, 2147483648.0, -2147483649.0, 1e300,
                                      std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN(), 4294967296.0};
            lua_pushnumber(L, special[in.byte() % 8]);
            break;
        }
        case 2: {
            uint64_t bits = static_cast<uint64_t>(in.u32()) | (static_cast<uint64_t>(in.u32()) << 32);
            double d;
            std::memcpy(&d, &bits, sizeof d);
            lua_pushnumber(L, d);
            break;
        }
        case 3:
        case 4: {
            std::string s = in.bytes(20);
            lua_pushlstring(L, s.data(), s.size());
            break;
        }
        case 5: lua_pushboolean(L, in.flag()); break;
        default: lua_pushvalue(L, pool + in.byte() % 8); break;
    }
}

void pushKey(lua_State* L, FuzzInput& in) {
    switch (in.byte() % 4) {
        case 0: lua_pushinteger(L, static_cast<lua_Integer>(in.range(-3, 12))); break;
        case 1: lua_pushnumber(L, in.flag() ? 1.5 : 4294967296.0); break;
        case 2: {
            std::string s = in.bytes(18);
            lua_pushlstring(L, s.data(), s.size());
            break;
        }
        default: lua_pushstring(L, kNames[in.byte() % (sizeof(kNames) / sizeof(kNames[0]))]); break;
    }
}

// Builds globals from the input: a pool of eight tables, filled and linked
// (sharing and cycles included), some of them and other values set as
// globals.
void buildGlobals(lua_State* L, FuzzInput& in) {
    const int pool = lua_gettop(L) + 1;
    for (int i = 0; i < 8; ++i) lua_newtable(L);
    const int steps = static_cast<int>(in.range(0, 60));
    for (int i = 0; i < steps && !in.empty(); ++i) {
        const bool global = in.byte() % 3 == 0;
        const int table = global ? LUA_GLOBALSINDEX : pool + in.byte() % 8;
        pushKey(L, in);
        pushValue(L, in, pool);
        if (lua_isnil(L, -2) || (lua_isnumber(L, -2) && std::isnan(lua_tonumber(L, -2)))) {
            lua_pop(L, 2);
            continue;
        }
        lua_rawset(L, table);
    }
    lua_settop(L, pool - 1);
}

// Collects from a state with the globals the step made, then restores that
// into a fresh state and collects again: both must agree.
void roundTrip(const std::vector<RnScriptDataEntry>& saved) {
    Flat before;
    FUZZ_CHECK(flatten(saved, before), "the collector wrote a list it cannot read");
    Runner fresh;
    FUZZ_CHECK(!refused([&] { fresh.lua().restoreGlobals(saved); }), "the restore refused what was collected");
    std::vector<RnScriptDataEntry> again;
    FUZZ_CHECK(!refused([&] { fresh.lua().saveGlobals(again); }), "restored globals cannot be collected");
    Flat after;
    FUZZ_CHECK(flatten(again, after), "the collector wrote a list it cannot read");
    FUZZ_CHECK(before == after, "globals changed on the way through a save");
}

// Entries as a damaged save could hold them.
std::vector<RnScriptDataEntry> readEntries(FuzzInput& in) {
    std::vector<RnScriptDataEntry> data;
    const int n = static_cast<int>(in.range(0, 40));
    for (int i = 0; i < n; ++i) {
        RnScriptDataEntry e;
        e.key_kind_ = static_cast<int32_t>(in.range(-1, 2));
        e.int_key_ = static_cast<int32_t>(in.range(-2, 5));
        e.str_key_ = kNames[in.byte() % (sizeof(kNames) / sizeof(kNames[0]))];
        e.value_kind_ = static_cast<int32_t>(in.range(0, 6));
        e.int_value_ = static_cast<int32_t>(in.u32());
        e.num_value_ = static_cast<double>(static_cast<int32_t>(in.u32())) / 7.0;
        e.str_value_ = in.bytes(16);
        data.push_back(e);
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    FuzzInput in(data, size);
    std::vector<RnScriptDataEntry> saved;
    bool accepted = false;
    {
        Runner runner;
        if (in.flag()) {
            buildGlobals(runner.L(), in);
        } else {
            const std::vector<RnScriptDataEntry> entries = readEntries(in);
            if (refused([&] { runner.lua().restoreGlobals(entries); })) {
                fuzzForgetLog();
                return 0;
            }
        }
        const int top = lua_gettop(runner.L());
        accepted = !refused([&] { runner.lua().saveGlobals(saved); });
        FUZZ_CHECK(lua_gettop(runner.L()) == top, "the collector left the stack changed");
    }
    if (accepted) roundTrip(saved);
    fuzzForgetLog();
    return 0;
}
