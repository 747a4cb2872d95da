// The script side of Entity: calling its script methods, the tick list and delayed script calls.
// Main thread only.
#include "scene/entities/Entity.h"

#include "core/console/GameConsole.h"
#include "engine/Game.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "engine/scripting/ScriptSchedulerHelper.h"

#include <lua.hpp>

namespace
{
constexpr double kTicksPerSecond = 10000000.0;
} // namespace

bool Entity::CallScriptMethod(const char* method, int argumentCount)
{
    lua_State* const state = gLua.GetState();
    if (state == nullptr)
        return false;
    // A script class without the method skips the call quietly.
    bool present = false;
    if (gLua.IsKnownClass(GetScriptClassName()) && gLua.PushObject(this))
    {
        lua_getfield(state, -1, method);
        present = lua_isfunction(state, -1);
        lua_pop(state, 2);
    }
    if (!present)
    {
        lua_pop(state, argumentCount);
        return false;
    }
    return gLua.ExecuteMethod(argumentCount, 0, this, GetScriptClassName(), method);
}

void Entity::OnProcTargetingAnimRotStart()
{
    if (EntityGameplayDelegate* const delegate = GetGameplayDelegate())
        delegate->OnProcTargetingAnimRotStart(this);
    else
        ExecuteScript("OnProcTargetingAnimRotStart");
}

void Entity::OnProcTargetingAnimRotStop()
{
    if (EntityGameplayDelegate* const delegate = GetGameplayDelegate())
        delegate->OnProcTargetingAnimRotStop(this);
    else
        ExecuteScript("OnProcTargetingAnimRotStop");
}

void Entity::ExecuteScript(const char* functionName)
{
    GameDelegate* const delegate = gGame.GetDelegate();
    if (functionName != nullptr && delegate != nullptr && delegate->IsGameRunning())
        CallScriptMethod(functionName, 0);
}

void Entity::EnableTickCallback()
{
    gGame.GetEntityLists().AddScriptTickEntity(this);
}

void Entity::DisableTickCallback()
{
    gGame.GetEntityLists().RemoveScriptTickEntity(this);
}

void Entity::ScheduleScriptCall(const char* functionName, float delaySeconds, uint32_t flags)
{
    int64_t now = 0;
    ScriptSchedulerHelper* const scheduler = gGame.SelectScheduler(flags, now);
    if (scheduler == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot schedule script [%s] because the game is not active",
                       functionName != nullptr ? functionName : "");
        return;
    }
    scheduler->AddCall(this, functionName, now, delaySeconds, flags);
}

void Entity::ScheduleCallback(uint32_t callback, float delaySeconds, uint32_t flags)
{
    int64_t now = 0;
    ScriptSchedulerHelper* const scheduler = gGame.SelectScheduler(flags, now);
    if (scheduler == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot schedule callback [%d] because the game is not active",
                       int(callback));
        return;
    }
    scheduler->AddOwnedCall(this, callback, now, delaySeconds, flags);
}

void Entity::DeleteScriptCalls(const char* functionName)
{
    gGame.DeleteScheduledScriptCalls(this, functionName);
}

void Entity::DeleteCallbacks(uint32_t callback)
{
    gGame.DeleteScheduledCallbacks(this, callback);
}

float Entity::GetCallbackTimeLeft(uint32_t callback, uint32_t flags)
{
    int64_t now = 0;
    ScriptSchedulerHelper* const scheduler = gGame.SelectScheduler(flags, now);
    if (scheduler == nullptr)
        return -1.0f;
    const std::optional<int64_t> due = scheduler->FindByOwnerAndId(this, callback);
    if (!due)
        return -1.0f;
    return float(double(*due - now) / kTicksPerSecond);
}
