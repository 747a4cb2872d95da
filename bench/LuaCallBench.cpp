// Script call costs: a script method called by name through the wrapper beside a raw lua_pcall of
// the same function, and a tolua++-bound engine method beside a plain Lua C function making an
// equivalent type check. Both sides of a pair run in turn within each iteration; the reported
// ratios are medians of the per-pair time ratios (wrapper/raw and bound/plain).
#include "PairedRatio.h"

#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/scripting/LuaWrapper.h"

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstring>

namespace
{
struct ScriptState
{
    ScriptState()
    {
        gLua.Init();
        luaL_dostring(gLua.GetState(), "gCount = 0 function Game:Nop(a) gCount = gCount + 1 end");
        lua_register(gLua.GetState(), "PlainSeconds", &PlainSeconds);
        luaL_dostring(gLua.GetState(), "function BoundLoop(n) for i = 1, n do gEngineTimer:GetSeconds() end end\n"
                                       "function PlainLoop(n) for i = 1, n do PlainSeconds(gEngineTimer) end end");
        lua_settop(gLua.GetState(), 0);
    }
    ~ScriptState() { gLua.Close(); }

    // The check a bound method makes of its self: a userdata whose metatable is registered under
    // the class's name.
    static int PlainSeconds(lua_State* state)
    {
        bool isTimer = false;
        if (lua_isuserdata(state, 1) && lua_getmetatable(state, 1))
        {
            lua_rawget(state, LUA_REGISTRYINDEX);
            const char* const name = lua_tostring(state, -1);
            isTimer = name != nullptr && std::strcmp(name, "EngineTimer") == 0;
            lua_pop(state, 1);
        }
        if (!isTimer)
            return luaL_error(state, "PlainSeconds needs an EngineTimer");
        const EngineTimer* const timer = *static_cast<EngineTimer* const*>(lua_touserdata(state, 1));
        lua_pushnumber(state, timer->GetSeconds());
        return 1;
    }
};

ScriptState& State()
{
    static ScriptState state;
    return state;
}

void WrapperCall()
{
    gLua.PushInt(1);
    gLua.ExecuteMethod(1, 0, &gGame, "Game", "Nop");
}

void RawCall(lua_State* state)
{
    lua_getglobal(state, "Game");
    lua_getfield(state, -1, "Nop");
    lua_remove(state, -2);
    lua_getglobal(state, "gGame");
    lua_pushnumber(state, 1);
    lua_pcall(state, 2, 0, 0);
}

void RunLoop(lua_State* state, const char* function, int count)
{
    lua_getglobal(state, function);
    lua_pushnumber(state, count);
    lua_pcall(state, 1, 0, 0);
}

void BM_WrapperVsRawCall(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    constexpr int kCalls = 2000;
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [] {
                for (int i = 0; i < kCalls; ++i)
                    WrapperCall();
            },
            [lua] {
                for (int i = 0; i < kCalls; ++i)
                    RawCall(lua);
            });
    }
    state.counters["wrapper/raw"] = ratio.TimeRatio();
    state.counters["wrapper_ns"] = ratio.MedianOurs() * 1e9 / kCalls;
    state.counters["raw_ns"] = ratio.MedianReference() * 1e9 / kCalls;
}
BENCHMARK(BM_WrapperVsRawCall)->MinTime(1.0);

void BM_BoundVsPlainFunction(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    constexpr int kCalls = 2000;
    PairedRatio ratio;
    for (auto _ : state)
        ratio.Measure([lua] { RunLoop(lua, "BoundLoop", kCalls); }, [lua] { RunLoop(lua, "PlainLoop", kCalls); });
    state.counters["bound/plain"] = ratio.TimeRatio();
    state.counters["bound_ns"] = ratio.MedianOurs() * 1e9 / kCalls;
    state.counters["plain_ns"] = ratio.MedianReference() * 1e9 / kCalls;
}
BENCHMARK(BM_BoundVsPlainFunction)->MinTime(1.0);
} // namespace
