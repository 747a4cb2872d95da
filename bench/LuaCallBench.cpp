// Script call costs: a script method called by name through the wrapper beside a raw lua_pcall of
// the same function, and a tolua++-bound engine method beside a plain Lua C function. The *Ratio
// benchmarks time both sides of a pair in one run and report wrapper/raw and bound/plain.
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/scripting/LuaWrapper.h"

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <chrono>

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

    static int PlainSeconds(lua_State* state)
    {
        lua_pushnumber(state, gEngineTimer.GetSeconds());
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

template <typename TFunction>
double SecondsFor(TFunction function)
{
    const auto start = std::chrono::steady_clock::now();
    function();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WrapperExecuteMethod(benchmark::State& state)
{
    State();
    for (auto _ : state)
        WrapperCall();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WrapperExecuteMethod);

void BM_RawPcall(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    for (auto _ : state)
        RawCall(lua);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawPcall);

void BM_WrapperVsRawRatio(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    constexpr int kCalls = 20000;
    double ratio = 0.0;
    for (auto _ : state)
    {
        const double wrapper = SecondsFor([] {
            for (int i = 0; i < kCalls; ++i)
                WrapperCall();
        });
        const double raw = SecondsFor([lua] {
            for (int i = 0; i < kCalls; ++i)
                RawCall(lua);
        });
        ratio = wrapper / raw;
    }
    state.counters["wrapper/raw"] = ratio;
}
BENCHMARK(BM_WrapperVsRawRatio)->Iterations(5);

void BM_BoundEngineMethod(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    for (auto _ : state)
        RunLoop(lua, "BoundLoop", 1000);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BoundEngineMethod);

void BM_PlainCFunction(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    for (auto _ : state)
        RunLoop(lua, "PlainLoop", 1000);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PlainCFunction);

void BM_BoundVsPlainRatio(benchmark::State& state)
{
    lua_State* const lua = (State(), gLua.GetState());
    double ratio = 0.0;
    for (auto _ : state)
    {
        const double bound = SecondsFor([lua] { RunLoop(lua, "BoundLoop", 100000); });
        const double plain = SecondsFor([lua] { RunLoop(lua, "PlainLoop", 100000); });
        ratio = bound / plain;
    }
    state.counters["bound/plain"] = ratio;
}
BENCHMARK(BM_BoundVsPlainRatio)->Iterations(5);
} // namespace
