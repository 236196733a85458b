// The Lua runner: state set-up and the one-open-at-a-time rule, the system
// functions, running scripts and script functions, and how failures inside
// registered functions reach the script and the log.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_msg.h"
#include "nex/texcept.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

class LuaTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_log_ = dax_config.log_path_;
        saved_search_ = dax_config.search_path_;
        saved_language_ = dax_config.language_;
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 1;
        dax_config.log_path_.clear();
        dax_config.search_path_ = {tmp_.path()};
        dax_config.language_ = "en";
        DaxLog::reset();
        lua_.init();
        ASSERT_TRUE(lua_.isOpen());
    }
    void TearDown() override {
        lua_.close();
        while (!daxErrorScript().empty()) {
            daxPopErrorScript();
        }
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.log_path_ = saved_log_;
        dax_config.search_path_ = saved_search_;
        dax_config.language_ = saved_language_;
        DaxLog::reset();
    }

    // Writes a script into the search directory and runs it by its name.
    int run(const std::string& name, const std::string& text) {
        tmp_.write(name, text);
        return lua_.run_script(name.c_str(), false);
    }

    // The first logged line that starts with prefix, or "".
    std::string loggedStarting(const std::string& prefix) {
        for (const auto& l : consoleTexts()) {
            if (l.compare(0, prefix.size(), prefix) == 0) return l;
        }
        return "";
    }

    std::string globalString(const char* name) {
        lua_State* L = lua_.state();
        lua_getglobal(L, name);
        const char* s = lua_tostring(L, -1);
        std::string out = s ? s : "<nil>";
        lua_pop(L, 1);
        return out;
    }
    int globalType(const char* name) {
        lua_getglobal(lua_.state(), name);
        int t = lua_type(lua_.state(), -1);
        lua_pop(lua_.state(), 1);
        return t;
    }

    TempDir tmp_;
    DaxLua lua_;
    int saved_level_ = 0, saved_ltype_ = 0;
    std::string saved_log_, saved_language_;
    std::vector<std::string> saved_search_;
};

// A registered function that returns where the error context points:
// "function|script|line".
int whereAmI(lua_State* L) {
    std::string s = daxErrorFunction() + "|" + daxErrorScript() + "|" + std::to_string(daxErrorLine());
    lua_pushstring(L, s.c_str());
    return 0;
}

TEST_F(LuaTest, InitOpensLibrariesListsBuiltinsAndRegistersSystemFunctions) {
    lua_State* L = lua_.state();
    EXPECT_EQ(&lua_, DaxLua::current());
    for (const char* f : {"logmsg", "logerr", "import_language_strings", "add_author", "dofile",
                          "dofileopt", "save_images", "open_file", "read_file", "read_bitmap"}) {
        EXPECT_EQ(LUA_TFUNCTION, globalType(f)) << f;
        EXPECT_TRUE(loggedLine(std::string("register function ") + f)) << f;
    }
    // The tile functions come only with registerTileFunctions.
    EXPECT_EQ(LUA_TNIL, globalType("read_1tile__"));
    lua_.registerTileFunctions();
    for (const char* f : {"set_iso_tile_size", "set_rect_tile_size", "read_ground_tile", "read_1tile__",
                          "read_mtile__"}) {
        EXPECT_EQ(LUA_TFUNCTION, globalType(f)) << f;
        EXPECT_TRUE(loggedLine(std::string("register function ") + f)) << f;
    }
    // Only the five libraries: no io, no os.
    for (const char* lib : {"string", "table", "math", "package"}) {
        EXPECT_EQ(LUA_TTABLE, globalType(lib)) << lib;
    }
    EXPECT_EQ(LUA_TNIL, globalType("io"));
    EXPECT_EQ(LUA_TNIL, globalType("os"));

    auto listed = [&](const char* name) {
        lua_getglobal(L, name);
        bool in = lua_.isListedGlobal(lua_topointer(L, -1));
        lua_pop(L, 1);
        return in;
    };
    EXPECT_TRUE(listed("print"));
    EXPECT_TRUE(listed("string"));
    EXPECT_TRUE(listed("_G"));
    EXPECT_FALSE(listed("logmsg"));  // registered after the listing
    EXPECT_FALSE(listed("dofile"));  // ours replaces the built-in one

    const std::vector<std::string> order = {"lua initialized successfully", "system key=print",
                                            "lua global functions and tables listed",
                                            "register function logmsg", "system functions registered"};
    auto lines = consoleTexts();
    size_t at = 0;
    for (const auto& l : lines) {
        if (at < order.size() && l == order[at]) ++at;
    }
    EXPECT_EQ(order.size(), at) << "missing or out of order: " << (at < order.size() ? order[at] : "");
}

TEST_F(LuaTest, ClosedRunnerCanBeOpenedAgainAndByAnotherOne) {
    lua_.close();
    EXPECT_FALSE(lua_.isOpen());
    EXPECT_EQ(nullptr, DaxLua::current());
    EXPECT_TRUE(lua_.builtinGlobals().empty());
    {
        DaxLua other;
        other.init();
        EXPECT_EQ(&other, DaxLua::current());
    }
    EXPECT_EQ(nullptr, DaxLua::current());
    lua_.init();
    EXPECT_EQ(&lua_, DaxLua::current());
    EXPECT_FALSE(lua_.builtinGlobals().empty());
}

TEST_F(LuaTest, OnlyOneRunnerIsOpenAtATime) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(lua_.init(), "dax2\\\\dax_lua:508 lp_lua already initialized");
    EXPECT_DEATH(
        {
            DaxLua second;
            second.init();
        },
        "dax2\\\\dax_lua:508 lp_lua already initialized");
    // A runner that was never opened may come and go.
    { DaxLua idle; }
    EXPECT_EQ(&lua_, DaxLua::current());
}

TEST_F(LuaTest, LogFunctionsJoinTheirArguments) {
    EXPECT_EQ(0, run("log.lua", "logmsg('a', 1, true)\nlogerr('x', 2.5, nil, {})\nlogmsg()\n"));
    EXPECT_TRUE(loggedLine("LUA: a1?"));
    EXPECT_TRUE(loggedLine("ERR: x2.5??"));
    EXPECT_TRUE(loggedLine("LUA: "));
}

TEST_F(LuaTest, RunScriptReportsMissingFilesAndErrorsAndKeepsTheStack) {
    lua_State* L = lua_.state();
    const int top = lua_gettop(L);
    EXPECT_EQ(0, lua_.run_script("missing.lua", true));
    EXPECT_EQ("", loggedStarting("can't find file"));  // optional: no error line
    EXPECT_EQ(-1, lua_.run_script("missing.lua", false));
    EXPECT_TRUE(loggedLine("can't find file missing.lua"));

    EXPECT_EQ(LUA_ERRSYNTAX, run("syntax.lua", "x = = 1\n"));
    EXPECT_NE("", loggedStarting("LUA ERR: "));
    EXPECT_EQ(LUA_ERRRUN, run("runtime.lua", "local t = nil\nt.x = 1\n"));
    EXPECT_NE("", loggedStarting("LUA ERR: " + tmp_.file("runtime.lua") + ":2:"));
    EXPECT_EQ(LUA_ERRRUN, run("object.lua", "error({})\n"));
    EXPECT_TRUE(loggedLine("LUA ERR: (error object is not a string)"));

    EXPECT_EQ(0, run("results.lua", "return 1, 2, 3\n"));
    EXPECT_EQ(top, lua_gettop(L));

    EXPECT_TRUE(loggedLine("enter run_script(results.lua)"));
    EXPECT_TRUE(loggedLine("loaded file " + tmp_.file("results.lua")));
    EXPECT_NE("", loggedStarting("leave run_script(results.lua): rc=0 runtime="));
    EXPECT_NE("", loggedStarting("leave run_script(runtime.lua): rc=2 runtime="));

    // A path that exists as given is run without the search.
    TempDir other;
    other.write("direct.lua", "direct = 1\n");
    EXPECT_EQ(0, lua_.run_script(other.file("direct.lua").c_str(), false));
    EXPECT_EQ("1", globalString("direct"));
}

TEST_F(LuaTest, ScriptErrorsNameScriptLineAndFunction) {
    EXPECT_EQ(LUA_ERRRUN, run("ddm.lua", "logmsg('start')\n-- comment\n\nadd_author(0, 'x')\n"));
    EXPECT_TRUE(loggedLine("LUA ERR: ddm.lua(4) in add_author: parameter 1 not gt 0: 0"));
    EXPECT_TRUE(loggedLine("ddm.lua(4) in add_author: parameter 1 not gt 0: 0"));
    // Nothing of the script is left in the error context.
    EXPECT_EQ("", daxErrorFunction());
    EXPECT_EQ("", daxErrorScript());
    EXPECT_EQ(0, daxErrorLine());
    EXPECT_EQ("plain", raisedFor("plain"));
}

TEST_F(LuaTest, FunctionNameIsClearedAfterAFailedCall) {
    lua_.registerFunction("where", whereAmI);
    EXPECT_EQ(0, run("t.lua",
                     "local ok, e = pcall(read_bitmap, {'x'}, {})\n"
                     "err = e\n"
                     "after = where()\n"
                     "ok, e = pcall(dofile)\n"
                     "err2 = e\n"));
    EXPECT_EQ("t.lua(1) in read_bitmap: no bitmap file opened", globalString("err"));
    EXPECT_EQ("where|t.lua|3", globalString("after"));
    EXPECT_EQ("t.lua(4) in dofile: wrong number of parameters: 0, expected 1", globalString("err2"));
    EXPECT_EQ("plain", raisedFor("plain"));
}

TEST_F(LuaTest, NestedScriptsKeepTheirOwnPositions) {
    lua_.registerFunction("where", whereAmI);
    tmp_.write("inner.lua", "local x = 1\ninner = where()\nadd_author(0, 'y')\n");
    EXPECT_EQ(0, run("outer.lua",
                     "local ok, e = pcall(dofile, 'inner.lua')\n"
                     "code = e\n"
                     "outer = where()\n"));
    EXPECT_EQ("where|inner.lua|2", globalString("inner"));
    EXPECT_EQ("where|outer.lua|3", globalString("outer"));
    // The inner run logs its own error and the outer script gets its status.
    EXPECT_TRUE(loggedLine("LUA ERR: inner.lua(3) in add_author: parameter 1 not gt 0: 0"));
    EXPECT_EQ("2", globalString("code"));
}

TEST_F(LuaTest, TheLastErrorSaysWhyTheRunFailed) {
    TempDir second;
    dax_config.search_path_ = {tmp_.path(), second.path()};
    tmp_.write("bad.lua", "x = 1\nerror('boom')\n");
    tmp_.write("syntax.lua", "x = 1\n\nlocal y = = 2\n");
    const std::string searched = " in " + tmp_.path() + " or " + second.path();
    struct Case {
        const char* name;
        const char* script;  // run as t.lua; null: run name itself
        std::string why;     // the start of the reason; "" for none
    } cases[] = {
        {"missing.lua", nullptr, "can't find file missing.lua" + searched},
        {"syntax.lua", nullptr, tmp_.file("syntax.lua") + ":3: unexpected symbol near '='"},
        {"raised", "x = 1\nadd_author(0, 'x')\n", "t.lua(2) in add_author: parameter 1 not gt 0: 0"},
        {"runtime", "local t = nil\nt.x = 1\n", tmp_.file("t.lua") + ":2: attempt to index local 't'"},
        {"not a string", "error({})\n", "t.lua: (error object is not a string)"},
        {"code", "fail_with_code()\n", "t.lua: 7"},
        // The inner script's reason, not the status the outer one got.
        {"nested error", "dofile('bad.lua')\n", tmp_.file("bad.lua") + ":2: boom"},
        {"nested missing", "x = 1\ndofile('gone.lua')\n", "can't find file gone.lua" + searched},
        // A failure the script caught is not the run's.
        {"caught", "pcall(dofile, 'bad.lua')\n", ""},
        {"good", "x = 1\n", ""},
    };
    lua_.registerFunction("fail_with_code", [](lua_State*) -> int { return 7; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int rc = c.script ? run("t.lua", c.script) : lua_.run_script(c.name, false);
        EXPECT_EQ(rc != 0, !c.why.empty());
        EXPECT_EQ(lua_.lastError().substr(0, c.why.size()), c.why) << lua_.lastError();
        if (c.why.empty()) {
            EXPECT_EQ(lua_.lastError(), "");
        }
    }
    // A missing optional script is no failure; an absolute name was looked
    // for nowhere else.
    EXPECT_EQ(0, lua_.run_script("missing.lua", true));
    EXPECT_EQ("", lua_.lastError());
    EXPECT_EQ(-1, lua_.run_script("/nowhere/missing.lua", false));
    EXPECT_EQ("can't find file /nowhere/missing.lua", lua_.lastError());
    // The log keeps its own lines.
    EXPECT_TRUE(loggedLine("can't find file missing.lua"));
    EXPECT_TRUE(loggedLine("LUA ERR: " + tmp_.file("bad.lua") + ":2: boom"));
}

TEST_F(LuaTest, DofileAndDofileopt) {
    tmp_.write("good.lua", "good = 5\n");
    tmp_.write("bad.lua", "error('boom')\n");
    EXPECT_EQ(0, run("main.lua",
                     "dofileopt('missing.lua')\n"
                     "reached = 1\n"
                     "local ok, e = pcall(dofile, 'missing.lua')\n"
                     "miss = e\n"
                     "ok, e = pcall(dofile, 'bad.lua')\n"
                     "bad = e\n"
                     "dofile('good.lua')\n"
                     "dofileopt('good.lua')\n"));
    EXPECT_EQ("1", globalString("reached"));
    EXPECT_EQ(LUA_TNUMBER, globalType("miss"));
    EXPECT_EQ("-1", globalString("miss"));
    EXPECT_EQ("2", globalString("bad"));
    EXPECT_TRUE(loggedLine("LUA ERR: " + tmp_.file("bad.lua") + ":1: boom"));
    EXPECT_EQ("5", globalString("good"));
}

TEST_F(LuaTest, InvokeTurnsEveryFailureIntoALuaError) {
    lua_.registerFunction("t_dax", [](lua_State*) -> int { daxRaiseError("dax %d", 1); });
    lua_.registerFunction("t_std", [](lua_State*) -> int { throw std::runtime_error("std bad"); });
    lua_.registerFunction("t_nex", [](lua_State*) -> int { throw nex::tExRange("f.h", 9, 5, 0, 3); });
    lua_.registerFunction("t_other", [](lua_State*) -> int { throw 42; });
    lua_.registerFunction("t_code", [](lua_State*) -> int { return 7; });
    lua_.registerFunction("t_results", [](lua_State* L) -> int {
        lua_pushinteger(L, 11);
        lua_pushstring(L, "r");
        return 0;
    });
    EXPECT_EQ(0, run("t.lua",
                     "ok, e1 = pcall(t_dax)\n"
                     "ok, e2 = pcall(t_std)\n"
                     "ok, e3 = pcall(t_nex)\n"
                     "ok, e4 = pcall(t_other)\n"
                     "ok, e5 = pcall(t_code)\n"
                     "r1, r2, r3 = t_results('arg')\n"));
    EXPECT_EQ("t.lua(1) in t_dax: dax 1", globalString("e1"));
    EXPECT_EQ("t.lua(2) in t_std: std bad", globalString("e2"));
    std::string e3 = globalString("e3");
    EXPECT_EQ(0u, e3.find("t.lua(3) in t_nex: ")) << e3;
    EXPECT_NE(std::string::npos, e3.find("index 5 out of range (0-3)")) << e3;
    EXPECT_EQ("t.lua(4) in t_other: unknown exception", globalString("e4"));
    EXPECT_EQ(LUA_TNUMBER, globalType("e5"));
    EXPECT_EQ("7", globalString("e5"));
    // Results are what the function pushed above its arguments.
    EXPECT_EQ("11", globalString("r1"));
    EXPECT_EQ("r", globalString("r2"));
    EXPECT_EQ(LUA_TNIL, globalType("r3"));
    EXPECT_EQ("", daxErrorFunction());

    // Called straight from C++ (no script run around it to tidy up): the
    // failed function's name is gone from the error context all the same.
    lua_State* L = lua_.state();
    for (const char* f : {"t_dax", "t_std", "t_other", "t_code"}) {
        lua_getglobal(L, f);
        EXPECT_NE(0, lua_pcall(L, 0, 0, 0)) << f;
        lua_pop(L, 1);
        EXPECT_EQ("", daxErrorFunction()) << f;
        EXPECT_EQ("plain", raisedFor("plain")) << f;
    }
}

TEST_F(LuaTest, RunFunctionCallsGlobalsByName) {
    lua_State* L = lua_.state();
    ASSERT_EQ(0, run("f.lua",
                     "function f() called = (called or 0) + 1 end\n"
                     "function g()\n  error('gg')\nend\n"
                     "tbl = {1, {2}}\n"));
    const int top = lua_gettop(L);
    EXPECT_EQ(0, lua_.runFunction_v_v("f"));
    EXPECT_EQ("1", globalString("called"));
    EXPECT_EQ(-1, lua_.runFunction_v_v("nope"));
    EXPECT_TRUE(loggedLine("LUA function nope not found"));
    EXPECT_TRUE(loggedLine("arg 1: nil"));
    EXPECT_EQ(-1, lua_.runFunction_v_v("tbl"));
    EXPECT_TRUE(loggedLine("LUA function tbl not found"));
    EXPECT_TRUE(loggedLine("arg 1: table"));
    EXPECT_TRUE(loggedLine("  idx=1: num 1"));
    EXPECT_TRUE(loggedLine("  idx=2: table"));
    EXPECT_EQ(LUA_ERRRUN, lua_.runFunction_v_v("g"));
    EXPECT_TRUE(loggedLine("LUA ERR: " + tmp_.file("f.lua") + ":3: gg"));
    EXPECT_EQ(top, lua_gettop(L));
    // The line the function ran at does not stick to later errors.
    EXPECT_EQ(0, daxErrorLine());
    EXPECT_EQ("plain", raisedFor("plain"));
}

TEST_F(LuaTest, DumpOfATableThatContainsItselfEnds) {
    lua_State* L = lua_.state();
    ASSERT_EQ(0, run("loop.lua", "loop = {}\nloop[1] = loop\nloop[2] = 'end'\n"));
    lua_getglobal(L, "loop");
    daxLuaDumpStack(L);
    lua_pop(L, 1);
    EXPECT_TRUE(loggedLine("arg 1: table"));
    EXPECT_TRUE(loggedLine("  idx=2: str end"));
}

TEST_F(LuaTest, AddAuthorAndImportedTexts) {
    tmp_.write("mod.en.txt", "990102 Imported text\n");
    EXPECT_EQ(0, run("texts.lua",
                     "add_author(990101, 'Alice')\n"
                     "add_author(990101, 'Bob')\n"
                     "import_language_strings('mod')\n"
                     "ok, e = pcall(import_language_strings, 'nomod')\n"
                     "ok, e2 = pcall(add_author, 1)\n"));
    EXPECT_EQ("Alice", dax_strings.get(990101));
    EXPECT_EQ("Imported text", dax_strings.get(990102));
    EXPECT_EQ("texts.lua(4) in import_language_strings: can't find file nomod.en.txt", globalString("e"));
    EXPECT_EQ("texts.lua(5) in add_author: wrong number of parameters: 1, expected 2", globalString("e2"));
    dax_strings.clearImported();
}

TEST_F(LuaTest, SaveImagesSetsTheExportFlag) {
    const bool saved = dax_bitmaps.exportFlag();
    EXPECT_EQ(0, run("s.lua", "save_images(1)\n"));
    EXPECT_TRUE(dax_bitmaps.exportFlag());
    EXPECT_EQ(0, run("s.lua", "save_images(0)\nok, e = pcall(save_images, 2)\n"));
    EXPECT_FALSE(dax_bitmaps.exportFlag());
    EXPECT_EQ("s.lua(2) in save_images: parameter 1 not 0 or 1: 2", globalString("e"));
    dax_bitmaps.setExportFlag(saved);
}

}  // namespace
