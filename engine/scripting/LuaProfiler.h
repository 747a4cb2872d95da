// Lua profiler: counts and times the script functions run from engine-made script calls. The
// wrapper brackets each such call with OnCallBegin/OnCallEnd; while grabbing, a Lua call/return
// hook times every Lua function entered from there. Recursion counts every call but times only the
// outermost activation. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>

struct lua_State;
struct lua_Debug;

// Per-function call counts and times of script work, driven by text commands.
class LuaProfiler
{
public:
    enum Mode : uint32_t
    {
        MODE_OFF = 0,
        MODE_GRAB = 1,
        MODE_ARMED_FOR_TICK = 2,
        MODE_GRAB_TICK = 3,
    };

    // One distinct function (record 0 is the engine-side "ProfilerContext").
    struct Record
    {
        char key[256];
        char functionName[64];
        int64_t startTicks;
        int64_t totalTicks;
        int64_t childTicks;
        uint32_t depth;
        uint32_t count;
        int32_t parent;
    };

    void Command(lua_State* state, const char* command);
    void OnTickBegin();
    void OnTickEnd();
    // Inline: every script call by name passes here, and the profiler is mostly off.
    void OnCallBegin(lua_State* state)
    {
        if (IsGrabbing())
            BeginGrabbedCall(state);
    }
    void OnCallEnd(lua_State* state)
    {
        if (IsGrabbing())
            EndGrabbedCall(state);
    }

    Mode GetMode() const { return m_mode; }
    const Dynarray<Record>& GetRecords() const { return m_records; }

private:
    bool IsGrabbing() const { return m_mode == MODE_GRAB || m_mode == MODE_GRAB_TICK; }
    void BeginGrabbedCall(lua_State* state);
    void EndGrabbedCall(lua_State* state);
    static void Hook(lua_State* state, lua_Debug* info);
    void OnHook(lua_State* state, lua_Debug* info);
    void Clear();
    void Report() const;
    void ReportLuaTable(lua_State* state) const;
    int32_t FindOrAddRecord(const char* key, const char* functionName, bool add);
    void BeginRecord(int32_t index);
    void EndRecord(int32_t index, int64_t nowTicks);
    void SetHook(lua_State* state, bool on);

    Mode m_mode = MODE_OFF;
    Dynarray<Record> m_records;
    Dynarray<uint32_t> m_callStack;
};
