// Triggers without a gameplay delegate report to their script: "OnEnter" and "OnExit" with the
// entity, "OnCleared" without arguments.
#include "engine/scripting/LuaWrapper.h"
#include "support/TriggerTestSupport.h"

#include <lua.hpp>

namespace
{
class TriggerScriptTest : public TriggerTest
{
protected:
    void SetUp() override
    {
        TriggerTest::SetUp();
        ASSERT_TRUE(gLua.Init());
        ASSERT_TRUE(gLua.LoadAndCall("log = '' "
                                     "function Entity:OnEnter(e) log = log .. 'enter ' .. e:GetName() .. ' ' end "
                                     "function Entity:OnExit(e) log = log .. 'exit ' .. e:GetName() .. ' ' end "
                                     "function Entity:OnCleared() log = log .. 'cleared ' .. self:GetName() end",
                                     0));
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gLua.Close();
        TriggerTest::TearDown();
    }
    std::string Log()
    {
        lua_getglobal(gLua.GetState(), "log");
        std::string text = lua_tostring(gLua.GetState(), -1);
        lua_pop(gLua.GetState(), 1);
        return text;
    }
};
} // namespace

TEST_F(TriggerScriptTest, ReportsGoToTheTriggersScriptWithTheEntity)
{
    TriggerTemplate* t = MakeTriggerTemplate(5.0f);
    t->SetLuaClass("Entity");
    TriggerEntity* zone = MakeTrigger("zone", t, 100, 100);
    zone->SetGameplayDelegate(nullptr, false);
    Entity* unit = MakeUnit("unit", 100, 100);
    TriggerOccupancy::ProcessPendingEntities();
    MoveTo(unit, 300, 300);
    TriggerOccupancy::ProcessPendingEntities();
    zone->ClearInsideList();
    EXPECT_EQ(Log(), "enter unit exit unit cleared zone");
    const int top = lua_gettop(gLua.GetState());
    gLua.PushUnsigned(7);
    EXPECT_FALSE(zone->CallScriptMethod("OnNothing", 1));
    EXPECT_EQ(lua_gettop(gLua.GetState()), top) << "the missing method's argument is taken off";
    EXPECT_TRUE(zone->CallScriptMethod("OnCleared", 0));
}
