#include "engine/scripting/LuaProfiler.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"

#include <lua.hpp>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace
{
// The state has one hook; this is the profiler that installed it.
LuaProfiler* gHookOwner = nullptr;

double ToSeconds(int64_t ticks)
{
    return double(ticks) / double(os::kCounterFrequency);
}

void CopyText(char* out, size_t size, const char* text)
{
    std::snprintf(out, size, "%s", text != nullptr ? text : "");
}

// "<source>|<first>-<last>", the source cut and marked with "..." when the whole would not fit.
void MakeFunctionKey(char* key, size_t size, const lua_Debug& info)
{
    char lines[32];
    const int linesLength = std::snprintf(lines, sizeof(lines), "|%d-%d", info.linedefined, info.lastlinedefined);
    const std::string_view source(info.source);
    std::string text;
    if (source.size() + size_t(linesLength) <= size - 1)
        text.append(source);
    else
        text.append(source.substr(0, size - 1 - size_t(linesLength) - 3)).append("...");
    text.append(lines);
    std::memcpy(key, text.c_str(), text.size() + 1);
}
} // namespace

void LuaProfiler::Command(lua_State* state, const char* command)
{
    const char* text = command != nullptr ? command : "";
    if (std::strcmp(text, "report") == 0)
        Report();
    else if (std::strcmp(text, "reportLuaTable") == 0)
    {
        if (state != nullptr)
            ReportLuaTable(state);
    }
    else if (std::strcmp(text, "grab") == 0)
    {
        if (m_mode == MODE_OFF)
            Clear();
        m_mode = MODE_GRAB;
    }
    else if (std::strcmp(text, "grabOneTick") == 0)
    {
        if (m_mode == MODE_OFF || m_mode == MODE_GRAB)
        {
            Clear();
            m_mode = MODE_ARMED_FOR_TICK;
        }
        else if (m_mode == MODE_GRAB_TICK)
            m_mode = MODE_ARMED_FOR_TICK;
    }
    else
    {
        if (state != nullptr)
            SetHook(state, false);
        m_mode = MODE_OFF;
    }
}

void LuaProfiler::OnTickBegin()
{
    if (m_mode == MODE_ARMED_FOR_TICK)
        m_mode = MODE_GRAB_TICK;
}

void LuaProfiler::OnTickEnd()
{
    if (m_mode == MODE_GRAB_TICK)
        m_mode = MODE_OFF;
}

void LuaProfiler::BeginGrabbedCall(lua_State* state)
{
    if (m_records.IsEmpty())
        FindOrAddRecord("ProfilerContext", "ProfilerContext", true);
    BeginRecord(0);
    if (m_records[0].depth == 1)
        SetHook(state, true);
}

void LuaProfiler::EndGrabbedCall(lua_State* state)
{
    // Grabbing may have started (or the records been cleared) inside this very call: then there
    // is no open context to close.
    if (m_records.IsEmpty() || m_records[0].depth == 0)
        return;
    const int64_t now = os::QueryCounter();
    // A script error unwinds Lua functions without return events: close what they left open.
    while (!m_callStack.IsEmpty() && m_callStack[m_callStack.Count() - 1] != 0)
        EndRecord(int32_t(m_callStack[m_callStack.Count() - 1]), now);
    EndRecord(0, now);
    if (m_records[0].depth == 0)
        SetHook(state, false);
}

void LuaProfiler::Hook(lua_State* state, lua_Debug* info)
{
    if (gHookOwner != nullptr)
        gHookOwner->OnHook(state, info);
}

void LuaProfiler::OnHook(lua_State* state, lua_Debug* info)
{
    // The hook can outlive its context: re-arming or clearing from inside a grabbed call leaves it
    // set. Only script work inside an open engine call is timed, so record 0 stays the context.
    if ((m_mode != MODE_GRAB && m_mode != MODE_GRAB_TICK) || m_records.IsEmpty() || m_records[0].depth == 0)
        return;
    const int64_t now = os::QueryCounter();
    if (info->event == LUA_HOOKTAILRET)
    {
        if (!m_callStack.IsEmpty())
            EndRecord(int32_t(m_callStack[m_callStack.Count() - 1]), now);
        return;
    }
    if (lua_getinfo(state, "nS", info) == 0 || std::strcmp(info->what, "Lua") != 0)
        return;
    char key[sizeof(Record::key)];
    MakeFunctionKey(key, sizeof(key), *info);
    if (info->event == LUA_HOOKCALL)
        BeginRecord(FindOrAddRecord(key, info->name, true));
    else if (info->event == LUA_HOOKRET)
    {
        const int32_t index = FindOrAddRecord(key, nullptr, false);
        // A function entered before the hook went on returns without a record to close.
        if (index < 0 || m_records[index].depth == 0)
            return;
        // An error the script caught unwound the functions above this one without return events.
        // Ending this record pops the top of the call stack, so they are closed first: a stale top
        // would otherwise be left with no depth, and closing the context could never pop it.
        while (!m_callStack.IsEmpty() && int32_t(m_callStack[m_callStack.Count() - 1]) != index &&
               m_callStack[m_callStack.Count() - 1] != 0)
            EndRecord(int32_t(m_callStack[m_callStack.Count() - 1]), now);
        EndRecord(index, now);
    }
}

void LuaProfiler::Clear()
{
    m_records.Clear();
    m_callStack.Clear();
}

void LuaProfiler::Report() const
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "======= Lua Profiler data ==========");
    for (const Record& record : m_records)
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "%s, [%s], count %d, totalTime=%0.4f, childTime=%0.4f", record.key,
                        record.functionName, int(record.count), ToSeconds(record.totalTicks),
                        ToSeconds(record.childTicks));
}

void LuaProfiler::ReportLuaTable(lua_State* state) const
{
    lua_createtable(state, m_records.Count(), 0);
    for (int32_t i = 0; i < m_records.Count(); ++i)
    {
        const Record& record = m_records[i];
        lua_createtable(state, 0, 5);
        lua_pushstring(state, record.key);
        lua_setfield(state, -2, "source");
        lua_pushstring(state, record.functionName);
        lua_setfield(state, -2, "funcName");
        lua_pushnumber(state, record.count);
        lua_setfield(state, -2, "count");
        lua_pushnumber(state, ToSeconds(record.totalTicks));
        lua_setfield(state, -2, "totalTime");
        lua_pushnumber(state, ToSeconds(record.childTicks));
        lua_setfield(state, -2, "childTime");
        lua_rawseti(state, -2, i + 1);
    }
    lua_setglobal(state, "gLuaProfilerReport");
}

int32_t LuaProfiler::FindOrAddRecord(const char* key, const char* functionName, bool add)
{
    for (int32_t i = 0; i < m_records.Count(); ++i)
        if (std::strcmp(m_records[i].key, key) == 0)
            return i;
    if (!add)
        return -1;
    Record record{};
    CopyText(record.key, sizeof(record.key), key);
    CopyText(record.functionName, sizeof(record.functionName), functionName);
    record.parent = -1;
    return m_records.Add(record);
}

void LuaProfiler::BeginRecord(int32_t index)
{
    Record& record = m_records[index];
    // Only the outermost activation of a recursion is timed.
    if (record.depth == 0)
    {
        record.parent = m_callStack.IsEmpty() ? -1 : int32_t(m_callStack[m_callStack.Count() - 1]);
        record.startTicks = os::QueryCounter();
    }
    ++record.count;
    ++record.depth;
    m_callStack.Add(uint32_t(index));
}

void LuaProfiler::EndRecord(int32_t index, int64_t nowTicks)
{
    Record& record = m_records[index];
    if (record.depth == 0)
        return;
    --record.depth;
    if (!m_callStack.IsEmpty())
        m_callStack.RemoveAt(m_callStack.Count() - 1);
    if (record.depth != 0)
        return;
    const int64_t elapsed = nowTicks - record.startTicks;
    record.totalTicks += elapsed;
    if (record.parent >= 0)
        m_records[record.parent].childTicks += elapsed;
    record.parent = -1;
}

void LuaProfiler::SetHook(lua_State* state, bool on)
{
    if (on)
    {
        gHookOwner = this;
        lua_sethook(state, &LuaProfiler::Hook, LUA_MASKCALL | LUA_MASKRET, 0);
    }
    else
        lua_sethook(state, nullptr, 0, 0);
}
