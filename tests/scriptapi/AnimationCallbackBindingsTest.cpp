// Scripts hear of their animations: a callback object made in Lua rides in AnimationParams and
// forwards AnimationEnded and CallbackPointReached to its listener entity's script methods; sound
// sync objects are built in Lua and ride along too.
#include "effects/animation/EntityAnimationCallbackObject.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"

#include <lua.hpp>
#include <tolua++.h>

#include <string>

namespace
{
class AnimationCallbackBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        SimpleGUID guid;
        guid.Generate();
        auto* listener = new EntityTemplate;
        listener->SetLuaClass("Listener");
        ASSERT_NE(RegisterStubAtPath("units/Listener", guid, listener), nullptr);
        gLua.RegisterClass("Listener", "Entity");
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    void Run(const std::string& chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk.c_str(), 0)) << chunk; }
    std::string Global(const char* name)
    {
        lua_getglobal(gLua.GetState(), name);
        const char* text = lua_tostring(gLua.GetState(), -1);
        std::string result = text != nullptr ? text : "<nil>";
        lua_pop(gLua.GetState(), 1);
        return result;
    }
    template <typename T>
    T* GlobalObject(const char* name)
    {
        lua_getglobal(gLua.GetState(), name);
        T* object = static_cast<T*>(tolua_tousertype(gLua.GetState(), -1, nullptr));
        lua_pop(gLua.GetState(), 1);
        return object;
    }
};
} // namespace

TEST_F(AnimationCallbackBindingsTest, TheListenersScriptMethodsHearTheCalls)
{
    Run("heard = ''"
        " function Listener:AnimationEnded(id, ranToEnd) heard = heard .. 'ended ' .. id .. ' ' .. ranToEnd .. ';' end"
        " function Listener:CallbackPointReached(id) heard = heard .. 'point ' .. id .. ';' end"
        " hero = gEntityManager:CreateEntityInGame('units/Listener', nil, Matrix:new_local(), 0)"
        " callback = EntityAnimationCallbackObject:new(hero)"
        " params = AnimationParams:new_local()"
        " params.CallbackObject = callback"
        " same = tostring(params.CallbackObject == callback and callback:GetListener() == hero)");
    EXPECT_EQ(Global("same"), "true");
    AnimationParams* params = GlobalObject<AnimationParams>("params");
    ASSERT_NE(params, nullptr);
    AnimationCallbackObject* callback = params->GetCallbackObject();
    ASSERT_NE(callback, nullptr);
    callback->CallbackPointReached(4);
    callback->AnimationEnded(4, 1);
    callback->AnimationEnded(-1, 0);
    EXPECT_EQ(Global("heard"), "point 4;ended 4 1;ended -1 0;");

    // A dead listener hears nothing; a deleted callback object leaves the field empty.
    Run("hero:DeleteMe()");
    callback->AnimationEnded(5, 1);
    EXPECT_EQ(Global("heard"), "point 4;ended 4 1;ended -1 0;");
    Run("callback:delete() empty = tostring(params.CallbackObject == nil)");
    EXPECT_EQ(Global("empty"), "true");
    EXPECT_EQ(params->GetCallbackObject(), nullptr);
}

TEST_F(AnimationCallbackBindingsTest, ScriptsBuildSoundSyncObjectsForTheirParameters)
{
    Run("hero = gEntityManager:CreateEntityInGame('units/Listener', nil, Matrix:new_local(), 0)"
        " sync = AnimationSoundSyncObject:new(hero)"
        " sync:AddSoundEvent(0.5, 'step.wav', 4, 30, 2)"
        " sync:AddSoundEvent(2, '', 0, 0, 0)"
        " params = AnimationParams:new_local()"
        " params.SyncObject = sync"
        " same = tostring(params.SyncObject == sync)");
    EXPECT_EQ(Global("same"), "true");
    AnimationParams* params = GlobalObject<AnimationParams>("params");
    ASSERT_NE(params, nullptr);
    AnimationSoundSyncObject* sync = params->GetSyncObject();
    ASSERT_NE(sync, nullptr);
    ASSERT_EQ(sync->GetEvents().Count(), 2);
    EXPECT_EQ(sync->GetEvents()[0].position, 32768u);
    EXPECT_STREQ(sync->GetEvents()[0].sound.CStr(), "step.wav");
    EXPECT_EQ(sync->GetEvents()[0].channel, 2u);
    EXPECT_EQ(sync->GetEvents()[1].position, 65536u);
    Run("params:LoadDefaults() cleared = tostring(params.SyncObject == nil) params.SyncObject = sync");
    EXPECT_EQ(Global("cleared"), "true");
    Run("sync:Clear() sync:delete()");
    EXPECT_EQ(params->GetSyncObject(), nullptr);
}
