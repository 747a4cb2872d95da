// bitlib: 32-bit integer operations for scripts. Numbers are taken modulo 2^32 and results given
// back as signed 32-bit values; shift counts outside 0-31 shift everything out.
#include "scriptapi/ScriptApi.h"

#include <lua.hpp>

#include <cmath>
#include <cstdint>

namespace
{
uint32_t CheckBits(lua_State* state, int index)
{
    const double value = luaL_checknumber(state, index);
    if (!std::isfinite(value))
        return 0;
    const double wrapped = std::fmod(std::trunc(value), 4294967296.0);
    return uint32_t(int64_t(wrapped < 0 ? wrapped + 4294967296.0 : wrapped));
}

int PushBits(lua_State* state, uint32_t bits)
{
    lua_pushnumber(state, lua_Number(int32_t(bits)));
    return 1;
}

int BitNot(lua_State* state)
{
    return PushBits(state, ~CheckBits(state, 1));
}

int BitIntegerModulo(lua_State* state)
{
    const int32_t a = int32_t(CheckBits(state, 1));
    const int32_t b = int32_t(CheckBits(state, 2));
    if (b == 0)
        return luaL_error(state, "bitlib: imod by zero");
    if (b == -1)
        return PushBits(state, 0);
    return PushBits(state, uint32_t(a % b));
}

template <typename TOperation>
int Fold(lua_State* state, TOperation operation)
{
    uint32_t result = CheckBits(state, 1);
    const int count = lua_gettop(state);
    for (int i = 2; i <= count; ++i)
        result = operation(result, CheckBits(state, i));
    return PushBits(state, result);
}

int BitAnd(lua_State* state)
{
    return Fold(state, [](uint32_t a, uint32_t b) { return a & b; });
}

int BitOr(lua_State* state)
{
    return Fold(state, [](uint32_t a, uint32_t b) { return a | b; });
}

int BitXor(lua_State* state)
{
    return Fold(state, [](uint32_t a, uint32_t b) { return a ^ b; });
}

int BitLeftShift(lua_State* state)
{
    const uint32_t a = CheckBits(state, 1);
    const uint32_t n = CheckBits(state, 2);
    return PushBits(state, n < 32 ? a << n : 0);
}

int BitRightShift(lua_State* state)
{
    const uint32_t a = CheckBits(state, 1);
    const uint32_t n = CheckBits(state, 2);
    return PushBits(state, n < 32 ? a >> n : 0);
}

int BitArithmeticRightShift(lua_State* state)
{
    const int32_t a = int32_t(CheckBits(state, 1));
    const uint32_t n = CheckBits(state, 2);
    return PushBits(state, uint32_t(n < 32 ? a >> n : (a < 0 ? -1 : 0)));
}

// Toggles bit n of a.
int BitChange(lua_State* state)
{
    const uint32_t a = CheckBits(state, 1);
    const uint32_t n = CheckBits(state, 2);
    return PushBits(state, n < 32 ? a ^ (1u << n) : a);
}

const luaL_Reg kBitLibFunctions[] = {
    {"bnot", BitNot},
    {"imod", BitIntegerModulo},
    {"band", BitAnd},
    {"bor", BitOr},
    {"bxor", BitXor},
    {"lshift", BitLeftShift},
    {"rshift", BitRightShift},
    {"arshift", BitArithmeticRightShift},
    {"bchg", BitChange},
    {nullptr, nullptr},
};
} // namespace

int luaopen_bitlib(lua_State* state)
{
    luaL_register(state, "bitlib", kBitLibFunctions);
    return 1;
}
