// The timed script trigger: its schedule through the update queue, the game
// table handed to the script, errors that must not leave the tick, the
// script's global data collected and restored, and the order in which the
// loaders' Lua states and the trigger's state may be open.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "dax2/dax_msg.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "test_map_loader_fixture.h"

namespace worldtest {
namespace {

// Tick services that hand script jobs to the trigger.
struct TriggerServices : RnTickServicesIfc {
    void reportSaveError() override {}
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override {
        times.push_back(t.value());
        return rnRunScriptJob(job, t);
    }
    void rollStatistics(bool) override {}
    void logStatistics() override {}
    void autoSave() override {}
    void saveLastSave() override {}
    std::vector<uint32_t> times;
};

class TriggerTest : public ScriptWorldTest {
protected:
    void SetUp() override {
        ScriptWorldTest::SetUp();
        grn_game.setTickServices(&services_);
        grn_map.createEmpty(20);
    }

    // Writes the trigger script and defines the trigger (as set_trigger does).
    void defineTrigger(const std::string& script, const std::string& function = "tick", uint32_t period = 24,
                       uint32_t first = 6) {
        std::string path = tmp_.write("trig.lua", script);
        grn_game.setTrigger(path, function, period, first);
    }

    // The trigger's Lua state (the trigger must be loaded).
    static lua_State* triggerState() {
        DaxLua* open = DaxLua::current();
        return open ? open->state() : nullptr;
    }
    static double globalNumber(const char* name) {
        lua_State* L = triggerState();
        lua_getglobal(L, name);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }
    static void runScriptText(const std::string& text) {
        lua_State* L = triggerState();
        ASSERT_EQ(0, luaL_loadbuffer(L, text.data(), text.size(), "test"));
        ASSERT_EQ(0, lua_pcall(L, 0, 0, 0));
    }

    // Runs the tick at every game time from..to (inclusive).
    void tickTo(uint32_t to) {
        for (uint32_t t = now_; t <= to; ++t) {
            setNow(t);
            grn_game.update();
        }
        now_ = to + 1;
    }

    TriggerServices services_;
    uint32_t now_ = 0;
};

// The collected entries as one line each: key, kind and value, table
// entries indented by their depth.
std::vector<std::string> describe(const std::vector<RnScriptDataEntry>& data) {
    std::vector<std::string> out;
    int depth = 0;
    for (const RnScriptDataEntry& e : data) {
        if (e.value_kind_ == kRnScriptTableEnd) --depth;
        std::string line(static_cast<size_t>(depth), ' ');
        line += e.key_kind_ == kRnScriptKeyInt ? "[" + std::to_string(e.int_key_) + "]" : e.str_key_;
        switch (e.value_kind_) {
            case kRnScriptNumber: line += " number " + std::to_string(e.num_value_); break;
            case kRnScriptInteger: line += " integer " + std::to_string(e.int_value_); break;
            case kRnScriptString: line += " string " + e.str_value_; break;
            case kRnScriptTableStart: line += " start"; break;
            case kRnScriptTableEnd: line += " end"; break;
            default: line += " ?"; break;
        }
        if (e.value_kind_ == kRnScriptTableStart) ++depth;
        out.push_back(line);
    }
    return out;
}

// The globals as a map from path to value text, so that the order lua_next
// takes does not matter.
void flatten(const std::vector<RnScriptDataEntry>& data, std::map<std::string, std::string>& out) {
    std::vector<std::string> path;
    for (const RnScriptDataEntry& e : data) {
        std::string key = e.key_kind_ == kRnScriptKeyInt ? "[" + std::to_string(e.int_key_) + "]" : e.str_key_;
        if (e.value_kind_ == kRnScriptTableEnd) {
            ASSERT_FALSE(path.empty());
            ASSERT_EQ(path.back(), key);
            path.pop_back();
            continue;
        }
        std::string full;
        for (const std::string& p : path) full += p + ".";
        full += key;
        switch (e.value_kind_) {
            case kRnScriptNumber: out[full] = "n" + std::to_string(e.num_value_); break;
            case kRnScriptInteger: out[full] = "i" + std::to_string(e.int_value_); break;
            case kRnScriptString: out[full] = "s" + e.str_value_; break;
            case kRnScriptTableStart:
                out[full] = "table";
                path.push_back(key);
                break;
            default: out[full] = "?"; break;
        }
    }
    ASSERT_TRUE(path.empty());
}

RnScriptDataEntry entry(int32_t key_kind, const std::string& key, int32_t kind, int32_t i = 0, double n = 0.0,
                        const std::string& s = "") {
    RnScriptDataEntry e;
    e.key_kind_ = key_kind;
    if (key_kind == kRnScriptKeyInt) e.int_key_ = std::stoi(key); else e.str_key_ = key;
    e.value_kind_ = kind;
    e.int_value_ = i;
    e.num_value_ = n;
    e.str_value_ = s;
    return e;
}

TEST_F(TriggerTest, RunsEveryPeriodFromTheFirstDelayAndLogsEachRun) {
    defineTrigger("count = 0\nfunction tick() count = count + 1; last = game.time end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    EXPECT_TRUE(grn_trigger.isLoaded());
    tickTo(700);
    EXPECT_EQ((std::vector<uint32_t>{72, 360, 648}), services_.times);
    EXPECT_EQ(3, globalNumber("count"));
    EXPECT_EQ(648, globalNumber("last"));
    EXPECT_TRUE(loggedContaining("trigger starting at 0001/01/01-06:00"));
    EXPECT_TRUE(loggedContaining("trigger starting at 0001/01/02-06:00"));
    EXPECT_TRUE(loggedContaining("trigger starting at 0001/01/03-06:00"));
    EXPECT_TRUE(loggedContaining("trigger ending"));
    DaxGameTime t;
    ASSERT_TRUE(grn_game.updateQueue().pendingTime(RnScriptTrigger::jobId(), t));
    EXPECT_EQ(936u, t.value());
}

TEST_F(TriggerTest, WithoutTriggerNothingIsLoadedOrScheduled) {
    EXPECT_EQ(0, grn_trigger.loadScript());
    EXPECT_FALSE(grn_trigger.isLoaded());
    EXPECT_EQ(nullptr, DaxLua::current());
    EXPECT_TRUE(grn_game.updateQueue().empty());
    EXPECT_EQ(kRnNoWakeTime, grn_trigger.run(72));
    EXPECT_EQ(kRnNoWakeTime, rnRunScriptJob(RnObjectID(RnIdScriptJob, 0, 5), 72));
    EXPECT_TRUE(loggedContaining("unknown script job [32:0,5] dropped"));
}

TEST_F(TriggerTest, GameTableCarriesPopulationCashTimeAndMapSize) {
    defineTrigger("function tick() seen = game.population .. ',' .. game.cash .. ',' .. game.time .. ','"
                  " .. map.size; game.cash = game.cash + 5 end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_game.population_ = 42;
    grn_game.money_ = 1000;
    EXPECT_EQ(72u + 288u, grn_trigger.run(72).value());
    lua_State* L = triggerState();
    EXPECT_EQ("42,1000,72,20", luaGlobalString(L, "seen"));
    EXPECT_EQ(1005, grn_game.money_);
}

TEST_F(TriggerTest, PostMsgPostsWithoutPosition) {
    defineTrigger("function tick() post_msg(1900, 'harvest festival') end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    size_t before = dax_msgmgr.history().size();
    grn_trigger.run(72);
    ASSERT_EQ(before + 1, dax_msgmgr.history().size());
    EXPECT_EQ(1900, dax_msgmgr.history().back().number_);
    EXPECT_EQ("harvest festival", dax_msgmgr.history().back().text_);
}

// Money may be 0 or below in play; a script that leaves cash alone must
// still run, and only a cash the script set is checked.
TEST_F(TriggerTest, CashIsCheckedOnlyWhenTheScriptChangedIt) {
    defineTrigger("mode = 'keep'\n"
                  "function tick() runs = (runs or 0) + 1\n"
                  "  if mode == 'zero' then game.cash = 0 elseif mode == 'set' then game.cash = 500 end end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_game.money_ = -50;
    EXPECT_EQ(360u, grn_trigger.run(72).value());
    EXPECT_EQ(-50, grn_game.money_);
    EXPECT_EQ(1, globalNumber("runs"));

    runScriptText("mode = 'set'");
    grn_trigger.run(360);
    EXPECT_EQ(500, grn_game.money_);

    // Setting 0 is refused with the reader's message; the money stays and the
    // trigger is scheduled again as usual.
    runScriptText("mode = 'zero'");
    clearConsole();
    EXPECT_EQ(936u, grn_trigger.run(648).value());
    EXPECT_EQ(500, grn_game.money_);
    EXPECT_TRUE(loggedContaining("parameter cash of table 1 not gt 0: 0"));
    EXPECT_TRUE(loggedContaining("trigger tick failed"));
    EXPECT_FALSE(loggedContaining("trigger ending"));
}

// An error inside a run is logged and the game goes on: the next job is
// scheduled and the globals of the last good run are kept for saving.
TEST_F(TriggerTest, FailedRunKeepsPreviousGlobalsAndIsScheduledAgain) {
    defineTrigger("level = 1\nfunction tick() level = level + 1; if level == 3 then game.cash = -1 end end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_game.money_ = 100;
    tickTo(72);
    std::map<std::string, std::string> after_first;
    flatten(grn_trigger.scriptData(), after_first);
    EXPECT_EQ("i2", after_first["level"]);

    clearConsole();
    tickTo(360);  // level 3: the run fails
    EXPECT_TRUE(loggedContaining("trigger tick failed"));
    std::map<std::string, std::string> kept;
    flatten(grn_trigger.scriptData(), kept);
    EXPECT_EQ(after_first, kept);
    EXPECT_EQ(100, grn_game.money_);

    tickTo(648);  // level 4: fine again
    std::map<std::string, std::string> later;
    flatten(grn_trigger.scriptData(), later);
    EXPECT_EQ("i4", later["level"]);
    EXPECT_EQ((std::vector<uint32_t>{72, 360, 648}), services_.times);
}

TEST_F(TriggerTest, LuaErrorsAndMissingFunctionsDoNotStopTheTrigger) {
    defineTrigger("function tick() n = (n or 0) + 1; error('boom') end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    EXPECT_EQ(360u, grn_trigger.run(72).value());
    EXPECT_TRUE(loggedContaining("boom"));
    EXPECT_TRUE(loggedContaining("trigger ending"));
    EXPECT_EQ(1, globalNumber("n"));

    grn_trigger.define(grn_trigger.scriptFile(), "missing", 24);
    EXPECT_EQ(648u, grn_trigger.run(360).value());
    EXPECT_TRUE(loggedContaining("LUA function missing not found"));
}

TEST_F(TriggerTest, RunWithoutRunnerIsLoggedNotThrown) {
    defineTrigger("function tick() end\n");
    clearConsole();
    DaxGameTime next;
    EXPECT_NO_THROW(next = grn_trigger.run(72));
    EXPECT_EQ(360u, next.value());
    EXPECT_TRUE(loggedContaining("no LUA runner for trigger definition"));
}

TEST_F(TriggerTest, ScriptThatFailsToLoadLeavesNoStateOpen) {
    defineTrigger("function tick( end\n");
    EXPECT_NE(0, grn_trigger.loadScript());
    EXPECT_TRUE(loggedContaining("error loading script"));
    EXPECT_FALSE(grn_trigger.isLoaded());
    EXPECT_EQ(nullptr, DaxLua::current());
    // A map loader can run afterwards.
    RnLuaMapLoader loader;
    loader.init();
    EXPECT_TRUE(loader.isOpen());
}

TEST_F(TriggerTest, MissingScriptFileCountsAsEmpty) {
    grn_game.setTrigger("nowhere.lua", "tick", 24, 6);
    EXPECT_EQ(0, grn_trigger.loadScript());
    EXPECT_TRUE(grn_trigger.isLoaded());
    EXPECT_EQ(360u, grn_trigger.run(72).value());
    EXPECT_TRUE(loggedContaining("LUA function tick not found"));
}

// One Lua state at a time: the trigger starts only once the loaders have
// closed theirs, and a loader cannot open beside a running trigger.
TEST_F(TriggerTest, LoaderStatesCloseBeforeTheTriggerStarts) {
    std::string trig = tmp_.write("trig.lua", "function tick() ran = 1 end\n");
    makeImage("maps/g.png", 8, 8, [](int, int) { return grassColour(); });
    std::string map = tmp_.write("maps/m.lua", std::string("load_map('g.png', ") + kColourTable +
                                                   ", 5000, {tolerance = 0})\nset_trigger('" + trig +
                                                   "', 'tick', 24, 6)\n");
    {
        RnLuaMapLoader loader;
        loader.init();
        ASSERT_EQ(0, loader.run(map.c_str(), nullptr));
        // Still open: the trigger refuses to start rather than abort.
        clearConsole();
        EXPECT_NE(0, grn_trigger.loadScript());
        EXPECT_TRUE(loggedContaining("another Lua state is open, can't start the trigger"));
        EXPECT_TRUE(loggedContaining("error loading script"));
        EXPECT_FALSE(grn_trigger.isLoaded());
        EXPECT_EQ(&loader, DaxLua::current());
    }
    EXPECT_EQ(nullptr, DaxLua::current());
    ASSERT_EQ(0, grn_trigger.loadScript());
    EXPECT_TRUE(grn_trigger.isLoaded());

    RnLuaMapLoader late;
    EXPECT_TRUE(contains(raised([&] { late.init(); }), "another Lua state is open"));
    RnTriggerLua second;
    EXPECT_TRUE(contains(raised([&] { second.registerFunctions(); }), "another Lua state is open"));

    // Clearing the game closes the trigger's state.
    grn_game.clear();
    EXPECT_FALSE(grn_trigger.isSet());
    EXPECT_FALSE(grn_trigger.isLoaded());
    EXPECT_EQ(nullptr, DaxLua::current());
    late.init();
    EXPECT_TRUE(late.isOpen());
}

TEST_F(TriggerTest, GlobalsAreCollectedAsAFlatDepthFirstList) {
    defineTrigger("x = 3\ny = 2.5\nt = {1, 'a', k = {z = 1}}\n"
                  "_hidden = 1\nflag = true\nfunction f() end\ngame.extra = 1\n"
                  "function tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    const std::vector<RnScriptDataEntry>& data = grn_trigger.scriptData();
    std::map<std::string, std::string> flat;
    flatten(data, flat);
    std::map<std::string, std::string> expected = {
        {"x", "i3"}, {"y", "n2.500000"}, {"t", "table"}, {"t.[1]", "i1"},
        {"t.[2]", "sa"}, {"t.k", "table"}, {"t.k.z", "i1"},
    };
    EXPECT_EQ(expected, flat);
    EXPECT_EQ(9u, data.size());

    // Depth-first: each table's end follows its contents, carrying its key.
    std::vector<std::string> lines = describe(data);
    auto at = [&](const std::string& line) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] == line) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_LT(at("t start"), at(" k start"));
    EXPECT_LT(at(" k start"), at("  z integer 1"));
    EXPECT_LT(at("  z integer 1"), at(" k end"));
    EXPECT_LT(at(" k end"), at("t end"));
    EXPECT_EQ(at("t end"), at("t start") + 6);

    // The trace of the collected data: one space per open table, "." before
    // a name inside a table, end entries print nothing.
    for (const char* line : {"gd: x=3", "gd: y=2.500000", "gd: t=table", "gd:  [1]=1", "gd:  [2]='a'",
                             "gd:  .k=table", "gd:   .z=1"}) {
        EXPECT_TRUE(loggedLine(line)) << line;
    }
}

// 64-bit Lua values and long strings: what fits 32 bits stays an integer,
// what does not becomes a number; keys that are not 32-bit integers and
// strings longer than a saved slot are refused with a log line, never cut.
TEST_F(TriggerTest, ValuesAreSavedOnlyInFormsThatSurviveASave) {
    defineTrigger("big = 4294967296\nneg = -2147483648\nmax = 2147483647\nfrac = -0.5\n"
                  "keys = {[1.5] = 1, [4294967296] = 2, [-3] = 3}\n"
                  "fits = '123456789012345'\nlong = '1234567890123456'\n"
                  "a_very_long_global_name = 1\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    std::map<std::string, std::string> flat;
    flatten(grn_trigger.scriptData(), flat);
    EXPECT_EQ("n4294967296.000000", flat["big"]);
    EXPECT_EQ("i-2147483648", flat["neg"]);
    EXPECT_EQ("i2147483647", flat["max"]);
    EXPECT_EQ("n-0.500000", flat["frac"]);
    EXPECT_EQ("i3", flat["keys.[-3]"]);
    EXPECT_EQ(0u, flat.count("keys.[1]"));
    EXPECT_EQ("s123456789012345", flat["fits"]);
    EXPECT_EQ(0u, flat.count("long"));
    EXPECT_EQ(0u, flat.count("a_very_long_global_name"));
    EXPECT_EQ(7u, flat.size());
    EXPECT_TRUE(loggedContaining("global data: key 1.5 is no 32-bit integer, not saved"));
    EXPECT_TRUE(loggedContaining("global data: key 4.29497e+09 is no 32-bit integer, not saved"));
    EXPECT_TRUE(loggedContaining("global data: text of long is longer than 15 characters, not saved"));
    EXPECT_TRUE(loggedContaining("global data: name a_very_long_global_name is longer than 15 characters, not saved"));
    for (const RnScriptDataEntry& e : grn_trigger.scriptData()) {
        EXPECT_LE(e.str_key_.size(), RnScriptDataEntry::kMaxStringLength);
        EXPECT_LE(e.str_value_.size(), RnScriptDataEntry::kMaxStringLength);
    }
}

TEST_F(TriggerTest, NestingIsLimitedWhenCollectingAndRestoring) {
    // Ten levels of tables are kept; eleven are refused.
    defineTrigger("function nest(n) local t = {v = 1} for i = 2, n do t = {t} end return t end\n"
                  "deep = nest(10)\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    EXPECT_EQ(21u, grn_trigger.scriptData().size());
    std::vector<RnScriptDataEntry> ten = grn_trigger.scriptData();

    runScriptText("deep = nest(11)");
    clearConsole();
    grn_trigger.run(360);
    EXPECT_TRUE(loggedContaining("global data in LUA nested too deep: 11"));
    EXPECT_EQ(21u, grn_trigger.scriptData().size());


    // Restoring eleven levels (data from a file) is refused the same way.
    std::vector<RnScriptDataEntry> eleven;
    eleven.push_back(entry(kRnScriptKeyString, "deep", kRnScriptTableStart));
    for (int i = 0; i < 10; ++i) eleven.push_back(entry(kRnScriptKeyInt, "1", kRnScriptTableStart));
    RnTriggerLua& lua = *static_cast<RnTriggerLua*>(DaxLua::current());
    EXPECT_TRUE(contains(raised([&] { lua.restoreGlobals(eleven); }), "global data in LUA nested too deep: 11"));
    EXPECT_NO_THROW(lua.restoreGlobals(ten));
}

// The flat list has no references: a table reached twice (from two keys,
// or from itself) would be written once per reference, which grows
// exponentially with shared levels. Such globals are refused as a whole and
// the last good list is kept.
TEST_F(TriggerTest, TableReachedTwiceIsRefusedAndOldDataKept) {
    defineTrigger("keep = 1\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    const std::vector<std::string> good = describe(grn_trigger.scriptData());
    ASSERT_EQ(std::vector<std::string>{"keep integer 1"}, good);

    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"a = {v = 1}; b = {inner = a}", "table "},
        {"self = {}; self.me = self", "table self.me is referenced more than once"},
        // Six levels of twenty references each would be 64 million entries.
        {"t = {v = 1} for i = 1, 6 do local u = {} for k = 1, 20 do u[k] = t end t = u end big = t",
         "is referenced more than once"},
    };
    uint32_t at = 360;
    for (const auto& c : cases) {
        runScriptText(c.script);
        clearConsole();
        grn_trigger.run(at);
        at += 288;
        EXPECT_TRUE(loggedContaining(c.error)) << c.script;
        EXPECT_TRUE(loggedContaining("the globals are not saved")) << c.script;
        EXPECT_EQ(good, describe(grn_trigger.scriptData())) << c.script;
        runScriptText("a = nil b = nil self = nil t = nil big = nil");
    }
    // The same values without sharing are saved.
    runScriptText("a = {v = 1}; b = {inner = {v = 1}}");
    grn_trigger.run(at);
    EXPECT_EQ(9u, grn_trigger.scriptData().size());
}

// What is collected is exactly what can be restored: a global named by a
// number is skipped (and logged) instead of saved and then refused by the
// restore, which would lose every global after it.
TEST_F(TriggerTest, NumberKeyedGlobalIsSkippedSoRestoreSucceeds) {
    defineTrigger("_G[1] = 5\n_G[2.5] = 1\nname = 'n'\nlist = {7, 8}\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    clearConsole();
    grn_trigger.run(72);
    EXPECT_TRUE(loggedContaining("global data: global [1] has a number for a name, not saved"));
    std::map<std::string, std::string> saved;
    flatten(grn_trigger.scriptData(), saved);
    EXPECT_EQ((std::map<std::string, std::string>{{"name", "sn"}, {"list", "table"}, {"list.[1]", "i7"},
                                                  {"list.[2]", "i8"}}),
              saved);

    RnTriggerLua& lua = *static_cast<RnTriggerLua*>(DaxLua::current());
    EXPECT_NO_THROW(lua.restoreGlobals(grn_trigger.scriptData()));
}

TEST_F(TriggerTest, RestoreRecreatesTheGlobals) {
    defineTrigger("x = 3\ny = 2.5\nt = {1, 'a', k = {z = 1}}\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    std::vector<RnScriptDataEntry> saved = grn_trigger.scriptData();
    std::map<std::string, std::string> before;
    flatten(saved, before);

    // A fresh game with the same definition, as the save loader leaves it.
    std::string script = grn_trigger.scriptFile();
    grn_trigger.reset();
    tmp_.write("trig.lua", "function tick() seen = t.k.z + x end\n");
    grn_trigger.define(script, "tick", 24);
    grn_trigger.scriptData() = saved;
    grn_trigger.setRestorePending(true);
    ASSERT_EQ(0, grn_trigger.loadScript());
    clearConsole();
    grn_trigger.run(360);
    EXPECT_FALSE(grn_trigger.restorePending());
    EXPECT_EQ(4, globalNumber("seen"));
    EXPECT_TRUE(loggedContaining("restore global data for script: 9 entries"));
    EXPECT_TRUE(loggedContaining("restore completed"));
    for (const char* line : {"x=3", "y=2.500000", "t=table", " [1]=1", " [2]='a'", " .k=table", "  .z=1"}) {
        EXPECT_TRUE(loggedLine(line)) << line;
    }

    // Restoring happens before the function runs.
    int restore_line = -1, start_line = -1, i = 0;
    for (const std::string& t : consoleTexts()) {
        if (t.find("restore global data") != std::string::npos) restore_line = i;
        if (t.find("trigger starting") != std::string::npos) start_line = i;
        ++i;
    }
    EXPECT_LT(restore_line, start_line);

    std::map<std::string, std::string> after;
    flatten(grn_trigger.scriptData(), after);
    after.erase("seen");
    EXPECT_EQ(before, after);
}

TEST_F(TriggerTest, RestoreRefusesDataNoScriptCouldHaveMade) {
    defineTrigger("function tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    RnTriggerLua& lua = *static_cast<RnTriggerLua*>(DaxLua::current());
    lua_State* L = lua.state();
    int top = lua_gettop(L);
    struct Case {
        std::vector<RnScriptDataEntry> data;
        const char* error;
    };
    const Case cases[] = {
        {{entry(kRnScriptKeyInt, "1", kRnScriptInteger, 5)}, "non-string key is not allowed for global index"},
        {{entry(kRnScriptKeyString, "a", kRnScriptTableEnd)}, "unsupported type found: 5"},
        {{entry(kRnScriptKeyString, "a", 9)}, "unsupported type found: 9"},
        {{entry(kRnScriptKeyString, "t", kRnScriptTableStart), entry(7, "x", kRnScriptInteger)},
         "invalid key type: 7"},
        {{entry(kRnScriptKeyString, "t", kRnScriptTableStart), entry(kRnScriptKeyString, "x", 0)},
         "unsupported type found: 0"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(contains(raised([&] { lua.restoreGlobals(c.data); }), c.error)) << c.error;
        EXPECT_EQ(top, lua_gettop(L)) << c.error;
    }

    // A table without its end entry ends with the data; wide tables are fine.
    std::vector<RnScriptDataEntry> wide{entry(kRnScriptKeyString, "w", kRnScriptTableStart)};
    for (int i = 1; i <= 5000; ++i) wide.push_back(entry(kRnScriptKeyInt, std::to_string(i), kRnScriptInteger, i));
    EXPECT_NO_THROW(lua.restoreGlobals(wide));
    runScriptText("wsum = 0 for i = 1, #w do wsum = wsum + w[i] end");
    EXPECT_EQ(5000.0 * 5001.0 / 2.0, globalNumber("wsum"));
}

TEST_F(TriggerTest, BadSavedDataFailsOneRunOnly) {
    defineTrigger("function tick() runs = (runs or 0) + 1 end\n");
    grn_trigger.scriptData() = {entry(kRnScriptKeyInt, "1", kRnScriptInteger, 5)};
    grn_trigger.setRestorePending(true);
    ASSERT_EQ(0, grn_trigger.loadScript());
    clearConsole();
    EXPECT_EQ(360u, grn_trigger.run(72).value());
    EXPECT_TRUE(loggedContaining("non-string key is not allowed for global index"));
    EXPECT_FALSE(grn_trigger.restorePending());
    grn_trigger.run(360);
    EXPECT_EQ(1, globalNumber("runs"));
}

TEST_F(TriggerTest, ResetForgetsEverything) {
    defineTrigger("x = 1\nfunction tick() end\n");
    ASSERT_EQ(0, grn_trigger.loadScript());
    grn_trigger.run(72);
    EXPECT_FALSE(grn_trigger.scriptData().empty());
    grn_trigger.setRestorePending(true);
    grn_trigger.reset();
    EXPECT_FALSE(grn_trigger.isSet());
    EXPECT_EQ("", grn_trigger.scriptFile());
    EXPECT_EQ("", grn_trigger.functionName());
    EXPECT_TRUE(grn_trigger.scriptData().empty());
    EXPECT_FALSE(grn_trigger.restorePending());
    EXPECT_FALSE(grn_trigger.isLoaded());
    EXPECT_EQ(nullptr, DaxLua::current());
}

}  // namespace
}  // namespace worldtest
