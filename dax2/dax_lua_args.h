// Reading the arguments of C functions that Lua scripts call: count checks,
// typed readers for stack positions, array elements and named table fields,
// and the value checkers (Tchk_Ifc family) that validate numbers.
//
// Every failure raises a DaxException (daxRaiseError, so the message carries
// the script position and the running function); the invocation wrapper
// (daxLuaInvoke) turns it into a Lua error. The readers never raise Lua
// errors themselves and never run metamethods, so no longjmp can cross the
// C++ frame of a caller.
#pragma once

#include <cstdint>

#include <allegro5/allegro.h>

struct lua_State;

// A value checker: the integer and the floating test, and the text put into
// the reader's error message when a test fails. Checkers live on the stack
// of the reading function and are passed by reference; they are never
// deleted through this interface.
class Tchk_Ifc {
public:
    virtual bool checkInt(int32_t value) const = 0;
    virtual bool checkDouble(double value) const = 0;
    virtual const char* failText() const = 0;

protected:
    ~Tchk_Ifc() = default;
};

// Accepts everything.
class Tchk_none final : public Tchk_Ifc {
public:
    bool checkInt(int32_t) const override { return true; }
    bool checkDouble(double) const override { return true; }
    const char* failText() const override { return ""; }
};

// 0 or 1; no floating value passes, so it is used with integer readers only.
class Tchk_bool final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v == 0 || v == 1; }
    bool checkDouble(double) const override { return false; }
    const char* failText() const override { return "not 0 or 1"; }
};

// 1 .. 32767
class Tchk_gt0s final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v >= 1 && v <= 32767; }
    bool checkDouble(double x) const override { return x > 0 && x <= 32767; }
    const char* failText() const override { return "not between 1 and 32767"; }
};

// 0 .. 32767
class Tchk_ge0s final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v >= 0 && v <= 32767; }
    bool checkDouble(double x) const override { return x >= 0 && x <= 32767; }
    const char* failText() const override { return "not between 0 and 32767"; }
};

// -32768 .. 32767
class Tchk_short final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v >= -32768 && v <= 32767; }
    bool checkDouble(double x) const override { return x >= -32768 && x <= 32767; }
    const char* failText() const override { return "not between -32768 and 32767"; }
};

// > 0
class Tchk_gt0i final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v > 0; }
    bool checkDouble(double x) const override { return x > 0 && x <= 2147483647.0; }
    const char* failText() const override { return "not gt 0"; }
};

// >= 0
class Tchk_ge0i final : public Tchk_Ifc {
public:
    bool checkInt(int32_t v) const override { return v >= 0; }
    bool checkDouble(double x) const override { return x >= 0 && x <= 2147483647.0; }
    const char* failText() const override { return "not ge 0"; }
};

// min .. max inclusive. The failure text is formatted into one process-wide
// buffer: it stays valid until the next Tchk_range failure text is made.
class Tchk_range final : public Tchk_Ifc {
public:
    Tchk_range(int32_t min, int32_t max) : min_(min), max_(max) {}
    bool checkInt(int32_t v) const override { return v >= min_ && v <= max_; }
    bool checkDouble(double x) const override { return x >= min_ && x <= max_; }
    const char* failText() const override;

private:
    int32_t min_;
    int32_t max_;
};

// Converts a Lua number the way the integer readers do: truncation toward
// zero. False when the number is NaN, infinite or outside int32 after
// truncation; such a value fails every checker (never wraps).
bool daxLuaNumberToInt32(double number, int32_t& out);

// Stack indices below are Lua stack positions (1 = first argument); negative
// positions count from the top and are turned into absolute ones first, so
// messages name the absolute position. Element numbers are 1-based.

// Returns count when it equals expected; else raises
// "wrong number of parameters: %d, expected %d".
int daxLuaCheckArgCount(lua_State* L, int count, int expected);

// count must lie in min..max (max -1: no upper bound). Raises
// "check_min must not be <0: %d", "check_max must be -1 or at least
// check_min (%d): %d", "wrong number of parameters: %d, expected at least
// %d" or "wrong number of parameters: %d, expected %d-%d". Returns count.
int daxLuaCheckArgRange(lua_State* L, int count, int min, int max);

// The value at index must be a table ("table expected at %d") whose length
// (lua_objlen) lies in min..max: min < max a range ("table row %d has %d
// entries, expected %d-%d"), max -1 or below min a minimum ("... expected at
// least %d"), min == max an exact length ("... expected %d"). Returns the
// length.
int daxLuaCheckTable(lua_State* L, int index, int min, int max);

// Integer argument: "parameter %d is not an integer", "parameter %d %s: %d".
int daxLuaGetInt(lua_State* L, int index, const Tchk_Ifc& chk);
// String argument (a number is converted in place, as Lua does):
// "parameter %d is not a string". Valid while the argument is on the stack.
const char* daxLuaGetString(lua_State* L, int index);

// Element of the table at index (which must be a table: "table expected at
// %d"): "parameter %d of table %d is not a number", "parameter %d of table
// %d %s: %d".
int daxLuaGetTableInt(lua_State* L, int table, int element, const Tchk_Ifc& chk);
// String element (only real strings: the text must stay reachable from the
// table): "parameter %d of table %d is not a string".
const char* daxLuaGetTableString(lua_State* L, int table, int element);

// Named fields of the table at index. A nil field is missing.
int daxLuaGetFieldInt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk);
// A missing field logs "parameter %s of table %d not found, using default
// value %d" (level 3) and gives def unchecked; a present one is read as by
// daxLuaGetFieldInt.
int daxLuaGetFieldIntOpt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk, int def);
double daxLuaGetFieldNumber(lua_State* L, int table, const char* name, const Tchk_Ifc& chk);
double daxLuaGetFieldNumberOpt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk,
                               double def);
const char* daxLuaGetFieldString(lua_State* L, int table, const char* name);
// def may be null; a present field that is no string raises.
const char* daxLuaGetFieldStringOpt(lua_State* L, int table, const char* name, const char* def);

// Colour from element n of the table at index: itself a table of exactly 3
// integers r, g, b in 0..255. Returns al_map_rgb(r, g, b).
ALLEGRO_COLOR daxLuaGetColor(lua_State* L, int table, int element);
