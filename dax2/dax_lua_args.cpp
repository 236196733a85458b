#include "dax2/dax_lua_args.h"

#include <cmath>
#include <cstdio>
#include <limits>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_error.h"

namespace {

// The text of Tchk_range's last failure.
char g_range_text[64];

// Relative (negative) stack positions become absolute ones, so that pushing
// a key does not move the table and messages name a stable position.
int absIndex(lua_State* L, int index) {
    if (index < 0 && index > LUA_REGISTRYINDEX) {
        return lua_gettop(L) + index + 1;
    }
    return index;
}

void requireTable(lua_State* L, int table) {
    if (!lua_istable(L, table)) {
        daxRaiseError("table expected at %d", table);
    }
}

// The number text of a value that failed the int32 conversion, written the
// way "%d" writes an integral one.
void numberText(char* buf, size_t size, double number) {
    if (std::isnan(number)) {
        std::snprintf(buf, size, "nan");
    } else if (std::isinf(number)) {
        std::snprintf(buf, size, number < 0 ? "-inf" : "inf");
    } else {
        std::snprintf(buf, size, "%.0f", std::trunc(number));
    }
}

// Failure text for a value outside int32: the checker's, or the int32 range
// when the checker accepts everything (its own text is empty).
const char* wideFailText(const Tchk_Ifc& chk) {
    const char* text = chk.failText();
    return text[0] ? text : "not between -2147483648 and 2147483647";
}

// Pushes table[key] without metamethods (a metamethod could raise a Lua
// error through our frames).
void pushField(lua_State* L, int table, const char* name) {
    lua_pushstring(L, name);
    lua_rawget(L, table);
}

void pushElement(lua_State* L, int table, int element) {
    lua_pushinteger(L, element);
    lua_rawget(L, table);
}

// Reads the number on top of the stack as a checked integer. The caller has
// tested that it is a number; the value stays on the stack.
template <class Fail>
int32_t checkedTopInt(lua_State* L, const Tchk_Ifc& chk, Fail fail) {
    double number = lua_tonumber(L, -1);
    int32_t value = 0;
    if (!daxLuaNumberToInt32(number, value)) {
        char text[64];
        numberText(text, sizeof(text), number);
        fail(wideFailText(chk), text);
    }
    if (!chk.checkInt(value)) {
        char text[16];
        std::snprintf(text, sizeof(text), "%d", value);
        fail(chk.failText(), text);
    }
    return value;
}

}  // namespace

const char* Tchk_range::failText() const {
    std::snprintf(g_range_text, sizeof(g_range_text), "not between %d and %d", min_, max_);
    return g_range_text;
}

bool daxLuaNumberToInt32(double number, int32_t& out) {
    if (!std::isfinite(number)) {
        return false;
    }
    double t = std::trunc(number);
    if (t < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        t > static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    out = static_cast<int32_t>(t);
    return true;
}

int daxLuaCheckArgCount(lua_State*, int count, int expected) {
    if (count != expected) {
        daxRaiseError("wrong number of parameters: %d, expected %d", count, expected);
    }
    return count;
}

int daxLuaCheckArgRange(lua_State*, int count, int min, int max) {
    if (min < 0) {
        daxRaiseError("check_min must not be <0: %d", min);
    }
    if (max < min && max != -1) {
        daxRaiseError("check_max must be -1 or at least check_min (%d): %d", min, max);
    }
    if (count < min) {
        daxRaiseError("wrong number of parameters: %d, expected at least %d", count, min);
    }
    if (max >= min && count > max) {
        daxRaiseError("wrong number of parameters: %d, expected %d-%d", count, min, max);
    }
    return count;
}

int daxLuaCheckTable(lua_State* L, int index, int min, int max) {
    index = absIndex(L, index);
    if (min < 0) {
        daxRaiseError("check_min must not be <0: %d", min);
    }
    if (max < min && max != -1) {
        daxRaiseError("check_max must be -1 or at least check_min (%d): %d", min, max);
    }
    requireTable(L, index);
    size_t raw = lua_objlen(L, index);
    int len = raw > static_cast<size_t>(std::numeric_limits<int>::max())
                  ? std::numeric_limits<int>::max()
                  : static_cast<int>(raw);
    if (min < max) {
        if (len < min || len > max) {
            daxRaiseError("table row %d has %d entries, expected %d-%d", index, len, min, max);
        }
    } else if (max < min) {
        if (len < min) {
            daxRaiseError("table row %d has %d entries, expected at least %d", index, len, min);
        }
    } else if (len != min) {
        daxRaiseError("table row %d has %d entries, expected %d", index, len, min);
    }
    return len;
}

int daxLuaGetInt(lua_State* L, int index, const Tchk_Ifc& chk) {
    index = absIndex(L, index);
    if (!lua_isnumber(L, index)) {
        daxRaiseError("parameter %d is not an integer", index);
    }
    lua_pushvalue(L, index);
    int32_t v = checkedTopInt(L, chk, [index](const char* why, const char* value) {
        daxRaiseError("parameter %d %s: %s", index, why, value);
    });
    lua_pop(L, 1);
    return v;
}

const char* daxLuaGetString(lua_State* L, int index) {
    index = absIndex(L, index);
    if (!lua_isstring(L, index)) {
        daxRaiseError("parameter %d is not a string", index);
    }
    return lua_tostring(L, index);
}

int daxLuaGetTableInt(lua_State* L, int table, int element, const Tchk_Ifc& chk) {
    table = absIndex(L, table);
    requireTable(L, table);
    pushElement(L, table, element);
    if (lua_type(L, -1) != LUA_TNUMBER) {
        daxRaiseError("parameter %d of table %d is not a number", element, table);
    }
    int32_t v = checkedTopInt(L, chk, [element, table](const char* why, const char* value) {
        daxRaiseError("parameter %d of table %d %s: %s", element, table, why, value);
    });
    lua_pop(L, 1);
    return v;
}

const char* daxLuaGetTableString(lua_State* L, int table, int element) {
    table = absIndex(L, table);
    requireTable(L, table);
    pushElement(L, table, element);
    if (lua_type(L, -1) != LUA_TSTRING) {
        daxRaiseError("parameter %d of table %d is not a string", element, table);
    }
    // The string stays alive as an element of the table.
    const char* s = lua_tostring(L, -1);
    lua_pop(L, 1);
    return s;
}

namespace {

// Reads a present integer field on top of the stack and pops it.
int32_t fieldIntOnTop(lua_State* L, int table, const char* name, const Tchk_Ifc& chk) {
    if (lua_type(L, -1) != LUA_TNUMBER) {
        daxRaiseError("parameter %s of table %d is not a number", name, table);
    }
    int32_t v = checkedTopInt(L, chk, [name, table](const char* why, const char* value) {
        daxRaiseError("parameter %s of table %d %s: %s", name, table, why, value);
    });
    lua_pop(L, 1);
    return v;
}

double fieldNumberOnTop(lua_State* L, int table, const char* name, const Tchk_Ifc& chk) {
    if (lua_type(L, -1) != LUA_TNUMBER) {
        daxRaiseError("parameter %s of table %d is not a number", name, table);
    }
    double v = lua_tonumber(L, -1);
    if (!chk.checkDouble(v)) {
        daxRaiseError("parameter %s of table %d %s: %lf", name, table, chk.failText(), v);
    }
    lua_pop(L, 1);
    return v;
}

const char* fieldStringOnTop(lua_State* L, int table, const char* name) {
    if (lua_type(L, -1) != LUA_TSTRING) {
        daxRaiseError("parameter %s of table %d is not a string", name, table);
    }
    const char* s = lua_tostring(L, -1);
    lua_pop(L, 1);
    return s;
}

// Pushes the field; false (with the nil popped) when it is missing.
bool pushPresentField(lua_State* L, int table, const char* name) {
    requireTable(L, table);
    pushField(L, table, name);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

}  // namespace

int daxLuaGetFieldInt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxRaiseError("missing required parameter %s of table %d", name, table);
    }
    return fieldIntOnTop(L, table, name, chk);
}

int daxLuaGetFieldIntOpt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk, int def) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxLogMessage(3, 1, "parameter %s of table %d not found, using default value %d", name, table,
                      def);
        return def;
    }
    return fieldIntOnTop(L, table, name, chk);
}

double daxLuaGetFieldNumber(lua_State* L, int table, const char* name, const Tchk_Ifc& chk) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxRaiseError("missing required parameter %s of table %d", name, table);
    }
    return fieldNumberOnTop(L, table, name, chk);
}

double daxLuaGetFieldNumberOpt(lua_State* L, int table, const char* name, const Tchk_Ifc& chk,
                               double def) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxLogMessage(3, 1, "parameter %s of table %d not found, using default value %lf", name,
                      table, def);
        return def;
    }
    return fieldNumberOnTop(L, table, name, chk);
}

const char* daxLuaGetFieldString(lua_State* L, int table, const char* name) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxRaiseError("missing required parameter %s of table %d", name, table);
    }
    return fieldStringOnTop(L, table, name);
}

const char* daxLuaGetFieldStringOpt(lua_State* L, int table, const char* name, const char* def) {
    table = absIndex(L, table);
    if (!pushPresentField(L, table, name)) {
        daxLogMessage(3, 1, "parameter %s of table %d not found, using default value '%s'", name,
                      table, def ? def : "");
        return def;
    }
    return fieldStringOnTop(L, table, name);
}

ALLEGRO_COLOR daxLuaGetColor(lua_State* L, int table, int element) {
    table = absIndex(L, table);
    requireTable(L, table);
    pushElement(L, table, element);
    int colour = lua_gettop(L);
    daxLuaCheckTable(L, colour, 3, 3);
    Tchk_range channel(0, 255);
    int r = daxLuaGetTableInt(L, colour, 1, channel);
    int g = daxLuaGetTableInt(L, colour, 2, channel);
    int b = daxLuaGetTableInt(L, colour, 3, channel);
    lua_pop(L, 1);
    return al_map_rgb(static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                      static_cast<unsigned char>(b));
}
