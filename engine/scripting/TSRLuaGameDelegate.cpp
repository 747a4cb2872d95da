#include "engine/scripting/TSRLuaGameDelegate.h"

#include "engine/scripting/LuaScriptRegistry.h"
#include "engine/scripting/LuaWrapper.h"
#include "scene/entities/Entity.h"
#include "scriptapi/LuaUnicodeString.h"

#include <lua.hpp>

namespace
{
// The game layer's one-time start-up runs once per process, whatever delegates come and go.
bool gFirstStartupDone = false;
} // namespace

bool TSRLuaGameDelegate::CanSleep()
{
    if (!CallOwnForm("CanSleep", 0, 1))
        return true;
    const bool result = gLua.GetBoolAt(-1);
    gLua.Pop(1);
    return result;
}

void TSRLuaGameDelegate::PublishOnce()
{
    if (m_scriptPackagesOpened)
        return;
    PublishScriptObjects();
    m_scriptPackagesOpened = true;
}

void TSRLuaGameDelegate::RunStartupScripts()
{
    if (!gFirstStartupDone)
    {
        gFirstStartupDone = true;
        OnFirstStartup();
    }
    PublishOnce();
    RunMainScript();
}

void TSRLuaGameDelegate::RunDistributionStartup(int32_t, int32_t)
{
    PublishOnce();
    RunDistributionMain();
}

bool TSRLuaGameDelegate::OnInit()
{
    GameDelegate::OnInit();
    return CallGameForm("OnInit");
}

bool TSRLuaGameDelegate::OnSwitchScene(const char* sceneName)
{
    gLua.PushString(sceneName);
    return CallGameForm("OnSwitchScene", 1);
}

bool TSRLuaGameDelegate::OnGameCenterMatchingCompleted(bool success)
{
    gLua.PushBool(success);
    return CallOwnForm("OnGameCenterMatchingCompleted", 1);
}

bool TSRLuaGameDelegate::OnBigFrameTick()
{
    const bool result = GameDelegate::OnBigFrameTick();
    CallOwnForm("OnBigFrameTick");
    return result;
}

bool TSRLuaGameDelegate::OnTick()
{
    gLua.ProfilerEnter();
    return CallOwnForm("OnTick");
}

bool TSRLuaGameDelegate::OnAfterTick()
{
    const bool result = CallOwnForm("OnAfterTick");
    gLua.ProfilerLeave();
    return result;
}

bool TSRLuaGameDelegate::OnInputEvent(int32_t event, uint32_t value)
{
    gLua.PushInt(event);
    gLua.PushUnsigned(value);
    return CallOwnForm("OnInputEvent", 2);
}

bool TSRLuaGameDelegate::OnChatMessage(bool flag, int32_t value, const char16_t* text)
{
    gLua.PushBool(flag);
    gLua.PushInt(value);
    LuaUnicodeString* string = new LuaUnicodeString(text);
    if (!gLua.PushOwnedUserType(string, "LuaUnicodeString"))
    {
        delete string;
        gLua.Pop(2);
        return false;
    }
    return CallOwnForm("OnChatMessage", 3);
}

bool TSRLuaGameDelegate::OnLobbyGameStartRequest(uint32_t a, int32_t b, bool c, bool d)
{
    gLua.PushUnsigned(a);
    gLua.PushInt(b);
    gLua.PushBool(c);
    gLua.PushBool(d);
    return CallOwnForm("OnLobbyGameStartRequest", 4);
}

bool TSRLuaGameDelegate::OnLobbyError(int32_t code)
{
    return CallWithInt("OnLobbyError", code);
}

bool TSRLuaGameDelegate::CallWithInt(const char* method, int32_t value)
{
    gLua.PushInt(value);
    return CallOwnForm(method, 1);
}

bool TSRLuaGameDelegate::CallWithPlayer(const char* method, Player* player)
{
    if (!gLua.PushUserType(player, "Player"))
        return false;
    return CallOwnForm(method, 1);
}

bool TSRLuaGameDelegate::OnPlayerConnecting()
{
    // A failed call pushed no result: there is nothing to pop then.
    if (!CallOwnForm("OnPlayerConnecting", 0, 1))
        return false;
    const bool result = gLua.GetBoolAt(-1);
    gLua.Pop(1);
    return result;
}

bool TSRLuaGameDelegate::OnPlayerDisconnected(Player* player, uint32_t reason)
{
    if (!gLua.PushUserType(player, "Player"))
        return false;
    gLua.PushUnsigned(reason);
    return CallOwnForm("OnPlayerDisconnected", 2);
}

bool TSRLuaGameDelegate::OnReplicatedPropertiesArrived(Entity* entity)
{
    return gLua.SetEntityReplicatedProperty(entity);
}

bool TSRLuaGameDelegate::OnReplicatedMethodArrived(uint32_t functionId, const ScriptReplicatedArgument* arguments,
                                                   uint32_t argumentCount)
{
    return gLua.CallReplicatedMethod(functionId, arguments, argumentCount);
}

bool TSRLuaGameDelegate::OnTornOff(LuaBaseClass* object)
{
    return gLua.CallObjectMethod(object, "OnTornOff", 0, 0);
}

void TSRLuaGameDelegate::RunSceneScript()
{
    ::RunSceneScript();
}

void TSRLuaGameDelegate::ReportCommonResources(const char* sceneName, DynarraySafe<NameString>& list)
{
    ::ReportCommonResources(sceneName, list);
}

void TSRLuaGameDelegate::ReportLocalSceneResources(const char* sceneName, DynarraySafe<NameString>& list)
{
    ::ReportLocalSceneResources(sceneName, list);
}
