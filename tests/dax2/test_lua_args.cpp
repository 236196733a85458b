// The Lua argument readers and the value checkers: every message, the
// narrowing of Lua numbers to int32, defaults of the optional readers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua_args.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"

namespace {

// A bare Lua state whose stack the readers work on, with the log captured
// in the console queue.
class LuaArgsTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_path_ = dax_config.log_path_;
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 1;
        dax_config.log_path_.clear();
        DaxLog::reset();
        L = luaL_newstate();
        luaL_openlibs(L);
    }
    void TearDown() override {
        lua_close(L);
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.log_path_ = saved_path_;
        DaxLog::reset();
    }

    // Empties the stack and pushes the values the chunk returns.
    void push(const std::string& chunk) {
        lua_settop(L, 0);
        ASSERT_EQ(0, luaL_loadstring(L, ("return " + chunk).c_str())) << chunk;
        ASSERT_EQ(0, lua_pcall(L, 0, LUA_MULTRET, 0)) << chunk;
    }

    // The message f raises, or "<none>".
    static std::string raised(const std::function<void()>& f) { return raisedBy(f, "<none>"); }

    lua_State* L = nullptr;
    int saved_level_ = 0, saved_ltype_ = 0;
    std::string saved_path_;
};

TEST(LuaCheckers, AcceptAndRejectAsTheirRangesSay) {
    const Tchk_none none;
    const Tchk_bool boolean;
    const Tchk_gt0s gt0s;
    const Tchk_ge0s ge0s;
    const Tchk_short shrt;
    const Tchk_gt0i gt0i;
    const Tchk_ge0i ge0i;
    const Tchk_range range(-5, 10);
    struct Case {
        const Tchk_Ifc* chk;
        const char* text;
        std::vector<int32_t> ints_ok, ints_bad;
        std::vector<double> nums_ok, nums_bad;
    };
    const Case cases[] = {
        {&none, "", {INT32_MIN, 0, INT32_MAX}, {}, {-1e300, 0.5, 1e300}, {}},
        {&boolean, "not 0 or 1", {0, 1}, {-1, 2}, {}, {0.0, 1.0, 0.5}},
        {&gt0s, "not between 1 and 32767", {1, 32767}, {0, -1, 32768}, {0.5, 32767.0}, {0.0, 32767.5}},
        {&ge0s, "not between 0 and 32767", {0, 32767}, {-1, 32768}, {0.0, 32767.0}, {-0.5, 32768.0}},
        {&shrt, "not between -32768 and 32767", {-32768, 32767}, {-32769, 32768}, {-32768.0}, {32767.5}},
        {&gt0i, "not gt 0", {1, INT32_MAX}, {0, INT32_MIN}, {1e-9, 2147483647.0}, {0.0, 2147483648.0}},
        {&ge0i, "not ge 0", {0, INT32_MAX}, {-1}, {0.0, 2147483647.0}, {-1e-9, 2147483648.0}},
        {&range, "not between -5 and 10", {-5, 0, 10}, {-6, 11}, {-5.0, 10.0}, {-5.5, 10.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_STREQ(c.text, c.chk->failText());
        for (int32_t v : c.ints_ok) EXPECT_TRUE(c.chk->checkInt(v)) << v;
        for (int32_t v : c.ints_bad) EXPECT_FALSE(c.chk->checkInt(v)) << v;
        for (double v : c.nums_ok) EXPECT_TRUE(c.chk->checkDouble(v)) << v;
        for (double v : c.nums_bad) EXPECT_FALSE(c.chk->checkDouble(v)) << v;
    }
    // NaN passes no bounded checker.
    EXPECT_FALSE(gt0i.checkDouble(std::nan("")));
    EXPECT_FALSE(range.checkDouble(std::nan("")));
}

TEST(LuaCheckers, NarrowingNeverWraps) {
    struct Case {
        double in;
        bool ok;
        int32_t out;
    };
    const Case cases[] = {
        {2.7, true, 2},
        {-2.7, true, -2},
        {2147483647.9, true, INT32_MAX},
        {-2147483648.5, true, INT32_MIN},
        {2147483648.0, false, 0},
        {-2147483649.0, false, 0},
        {4294967296.0, false, 0},
        {std::nan(""), false, 0},
        {INFINITY, false, 0},
        {-INFINITY, false, 0},
    };
    for (const Case& c : cases) {
        int32_t out = 0;
        EXPECT_EQ(c.ok, daxLuaNumberToInt32(c.in, out)) << c.in;
        if (c.ok) {
            EXPECT_EQ(c.out, out) << c.in;
        }
    }
}

TEST_F(LuaArgsTest, CountAndTableLengthChecks) {
    struct Case {
        const char* values;  // pushed first (the table, if any, is at 1)
        std::function<int(lua_State*)> check;
        const char* error;   // nullptr: passes with result
        int result;
    };
    const Case cases[] = {
        {"nil", [](lua_State* L) { return daxLuaCheckArgCount(L, 2, 2); }, nullptr, 2},
        {"nil", [](lua_State* L) { return daxLuaCheckArgCount(L, 2, 3); },
         "wrong number of parameters: 2, expected 3", 0},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 0, 1, -1); },
         "wrong number of parameters: 0, expected at least 1", 0},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 1, 2, 4); },
         "wrong number of parameters: 1, expected at least 2", 0},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 5, 2, 4); },
         "wrong number of parameters: 5, expected 2-4", 0},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 9, 2, -1); }, nullptr, 9},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 3, 3, 3); }, nullptr, 3},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 1, -1, 3); },
         "check_min must not be <0: -1", 0},
        {"nil", [](lua_State* L) { return daxLuaCheckArgRange(L, 1, 3, 2); },
         "check_max must be -1 or at least check_min (3): 2", 0},
        {"{}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 0, 2); }, nullptr, 0},
        {"{1, 2}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 0, 2); }, nullptr, 2},
        {"{1, 2, 3}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 0, 2); },
         "table row 1 has 3 entries, expected 0-2", 0},
        {"{1, 2, 3}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 3, 3); }, nullptr, 3},
        {"{1, 2, 3, 4}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 3, 3); },
         "table row 1 has 4 entries, expected 3", 0},
        {"{1}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 2, -1); },
         "table row 1 has 1 entries, expected at least 2", 0},
        {"{1, 2, 3, 4, 5}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 2, -1); }, nullptr, 5},
        {"5, {1}", [](lua_State* L) { return daxLuaCheckTable(L, -1, 2, -1); },
         "table row 2 has 1 entries, expected at least 2", 0},
        {"5", [](lua_State* L) { return daxLuaCheckTable(L, 1, 0, -1); }, "table expected at 1", 0},
        {"{}", [](lua_State* L) { return daxLuaCheckTable(L, 1, -2, 3); }, "check_min must not be <0: -2", 0},
        {"{}", [](lua_State* L) { return daxLuaCheckTable(L, 1, 4, 3); },
         "check_max must be -1 or at least check_min (4): 3", 0},
    };
    for (const Case& c : cases) {
        push(c.values);
        int result = -99;
        std::string got = raised([&] { result = c.check(L); });
        if (c.error) {
            EXPECT_EQ(c.error, got) << c.values;
        } else {
            EXPECT_EQ("<none>", got) << c.values;
            EXPECT_EQ(c.result, result) << c.values;
        }
    }
}

// One reader call on pushed values: the text it raises, or its value as
// text.
struct ReadCase {
    const char* values;
    std::function<std::string(lua_State*)> read;
    const char* expected;
};

std::string str(int v) { return std::to_string(v); }
std::string str(const char* s) { return s ? std::string("'") + s + "'" : "null"; }
std::string num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%g", v);
    return buf;
}

TEST_F(LuaArgsTest, ReadersReturnValuesOrRaiseTheirMessages) {
    const Tchk_gt0s gt0s;
    const Tchk_none none;
    const Tchk_gt0i gt0i;
    const ReadCase cases[] = {
        // stack arguments
        {"7", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0s)); }, "7"},
        {"'12'", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0s)); }, "12"},
        {"2.7", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, none)); }, "2"},
        {"-2.7", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, none)); }, "-2"},
        {"'abc'", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0s)); },
         "parameter 1 is not an integer"},
        {"1, nil", [&](lua_State* L) { return str(daxLuaGetInt(L, 2, gt0s)); },
         "parameter 2 is not an integer"},
        {"0", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0s)); },
         "parameter 1 not between 1 and 32767: 0"},
        {"1, 32768", [&](lua_State* L) { return str(daxLuaGetInt(L, -1, gt0s)); },
         "parameter 2 not between 1 and 32767: 32768"},
        {"4294967297", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0i)); },
         "parameter 1 not gt 0: 4294967297"},
        {"2^31", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, none)); },
         "parameter 1 not between -2147483648 and 2147483647: 2147483648"},
        {"0/0", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0i)); }, "parameter 1 not gt 0: nan"},
        {"-math.huge", [&](lua_State* L) { return str(daxLuaGetInt(L, 1, gt0i)); },
         "parameter 1 not gt 0: -inf"},
        {"'abc'", [&](lua_State* L) { return str(daxLuaGetString(L, 1)); }, "'abc'"},
        {"5", [&](lua_State* L) { return str(daxLuaGetString(L, 1)); }, "'5'"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetString(L, 1)); }, "parameter 1 is not a string"},
        {"true", [&](lua_State* L) { return str(daxLuaGetString(L, 1)); }, "parameter 1 is not a string"},
        // array elements
        {"{3, 'x'}", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 1, 1, gt0s)); }, "3"},
        {"{3, 'x'}", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 1, 2, gt0s)); },
         "parameter 2 of table 1 is not a number"},
        {"{3}", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 1, 2, gt0s)); },
         "parameter 2 of table 1 is not a number"},
        {"0, {0}", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 2, 1, gt0s)); },
         "parameter 1 of table 2 not between 1 and 32767: 0"},
        {"{1e10}", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 1, 1, gt0i)); },
         "parameter 1 of table 1 not gt 0: 10000000000"},
        {"7", [&](lua_State* L) { return str(daxLuaGetTableInt(L, 1, 1, gt0s)); }, "table expected at 1"},
        {"{'a', 2}", [&](lua_State* L) { return str(daxLuaGetTableString(L, 1, 1)); }, "'a'"},
        {"{'a', 2}", [&](lua_State* L) { return str(daxLuaGetTableString(L, 1, 2)); },
         "parameter 2 of table 1 is not a string"},
        // named fields
        {"{w = 4}", [&](lua_State* L) { return str(daxLuaGetFieldInt(L, 1, "w", gt0s)); }, "4"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetFieldInt(L, 1, "w", gt0s)); },
         "missing required parameter w of table 1"},
        {"{w = 'a'}", [&](lua_State* L) { return str(daxLuaGetFieldInt(L, 1, "w", gt0s)); },
         "parameter w of table 1 is not a number"},
        {"{w = 0}", [&](lua_State* L) { return str(daxLuaGetFieldInt(L, 1, "w", gt0s)); },
         "parameter w of table 1 not between 1 and 32767: 0"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetFieldIntOpt(L, 1, "w", gt0s, -1)); }, "-1"},
        {"{w = 'a'}", [&](lua_State* L) { return str(daxLuaGetFieldIntOpt(L, 1, "w", gt0s, 5)); },
         "parameter w of table 1 is not a number"},
        {"{w = 0}", [&](lua_State* L) { return str(daxLuaGetFieldIntOpt(L, 1, "w", gt0s, 5)); },
         "parameter w of table 1 not between 1 and 32767: 0"},
        {"{w = 9}", [&](lua_State* L) { return str(daxLuaGetFieldIntOpt(L, 1, "w", gt0s, 5)); }, "9"},
        {"{hw = 0.5}", [&](lua_State* L) { return num(daxLuaGetFieldNumber(L, 1, "hw", none)); }, "0.5"},
        {"{}", [&](lua_State* L) { return num(daxLuaGetFieldNumber(L, 1, "hw", none)); },
         "missing required parameter hw of table 1"},
        {"{hw = {}}", [&](lua_State* L) { return num(daxLuaGetFieldNumber(L, 1, "hw", none)); },
         "parameter hw of table 1 is not a number"},
        {"{hw = -1}", [&](lua_State* L) { return num(daxLuaGetFieldNumber(L, 1, "hw", gt0i)); },
         "parameter hw of table 1 not gt 0: -1.000000"},
        {"{}", [&](lua_State* L) { return num(daxLuaGetFieldNumberOpt(L, 1, "hw", none, 1.5)); }, "1.5"},
        {"{hw = 0}", [&](lua_State* L) { return num(daxLuaGetFieldNumberOpt(L, 1, "hw", gt0i, 1.5)); },
         "parameter hw of table 1 not gt 0: 0.000000"},
        {"{n = 'x'}", [&](lua_State* L) { return str(daxLuaGetFieldString(L, 1, "n")); }, "'x'"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetFieldString(L, 1, "n")); },
         "missing required parameter n of table 1"},
        {"{n = 1}", [&](lua_State* L) { return str(daxLuaGetFieldString(L, 1, "n")); },
         "parameter n of table 1 is not a string"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetFieldStringOpt(L, 1, "n", "dflt")); }, "'dflt'"},
        {"{}", [&](lua_State* L) { return str(daxLuaGetFieldStringOpt(L, 1, "n", nullptr)); }, "null"},
        {"{n = false}", [&](lua_State* L) { return str(daxLuaGetFieldStringOpt(L, 1, "n", "d")); },
         "parameter n of table 1 is not a string"},
        {"'t'", [&](lua_State* L) { return str(daxLuaGetFieldInt(L, 1, "w", gt0s)); }, "table expected at 1"},
    };
    for (const ReadCase& c : cases) {
        push(c.values);
        const int top = lua_gettop(L);
        std::string got;
        std::string err = raised([&] { got = c.read(L); });
        if (err != "<none>") {
            got = err;
        } else {
            EXPECT_EQ(top, lua_gettop(L)) << "stack after " << c.values;
        }
        EXPECT_EQ(c.expected, got) << c.values;
    }
}

TEST_F(LuaArgsTest, ReturnedStringsStayValidWhileTheTableLives) {
    push("{'name', key = 'value'}");
    const char* a = daxLuaGetTableString(L, 1, 1);
    const char* b = daxLuaGetFieldString(L, 1, "key");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_STREQ("name", a);
    EXPECT_STREQ("value", b);
}

TEST_F(LuaArgsTest, OptionalReadersLogTheDefaults) {
    push("{}");
    daxLuaGetFieldIntOpt(L, 1, "var", Tchk_short(), 1);
    daxLuaGetFieldNumberOpt(L, 1, "hw", Tchk_none(), 1.0);
    daxLuaGetFieldStringOpt(L, 1, "img", "road");
    EXPECT_TRUE(loggedLine("parameter var of table 1 not found, using default value 1"));
    EXPECT_TRUE(loggedLine("parameter hw of table 1 not found, using default value 1.000000"));
    EXPECT_TRUE(loggedLine("parameter img of table 1 not found, using default value 'road'"));
}

TEST_F(LuaArgsTest, ColourIsATableOfThreeChannels) {
    push("{ {10, 20, 30}, {1, 2, 3, 4}, {1, 2, 256}, 5, {1, 2} }");
    unsigned char r = 0, g = 0, b = 0, a = 0;
    al_unmap_rgba(daxLuaGetColor(L, 1, 1), &r, &g, &b, &a);
    EXPECT_EQ(10, r);
    EXPECT_EQ(20, g);
    EXPECT_EQ(30, b);
    EXPECT_EQ(255, a);
    EXPECT_EQ(1, lua_gettop(L));
    // The element is pushed on top of the table at 1, so it is at 2.
    EXPECT_EQ("table row 2 has 4 entries, expected 3", raised([&] { daxLuaGetColor(L, 1, 2); }));
    lua_settop(L, 1);
    EXPECT_EQ("parameter 3 of table 2 not between 0 and 255: 256", raised([&] { daxLuaGetColor(L, 1, 3); }));
    lua_settop(L, 1);
    EXPECT_EQ("table expected at 2", raised([&] { daxLuaGetColor(L, 1, 4); }));
    lua_settop(L, 1);
    EXPECT_EQ("table row 2 has 2 entries, expected 3", raised([&] { daxLuaGetColor(L, 1, 5); }));
}

TEST_F(LuaArgsTest, RangeTextIsRebuiltForEachChecker) {
    Tchk_range a(0, 255), b(-3, 3);
    EXPECT_STREQ("not between 0 and 255", a.failText());
    EXPECT_STREQ("not between -3 and 3", b.failText());
}

TEST_F(LuaArgsTest, MetatablesAreNotConsulted) {
    // An __index that raises would jump over the reader's C++ frame; the
    // readers look fields up raw, so it is never called.
    push("setmetatable({}, {__index = function() error('no') end})");
    EXPECT_EQ("missing required parameter w of table 1",
              raised([&] { daxLuaGetFieldInt(L, 1, "w", Tchk_none()); }));
    EXPECT_EQ(7, daxLuaGetFieldIntOpt(L, 1, "w", Tchk_none(), 7));
}

}  // namespace
