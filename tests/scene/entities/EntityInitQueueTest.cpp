#include "scene/entities/EntityInitQueue.h"

#include "support/ScriptedSceneTest.h"

#include <lua.hpp>

#include <string>

namespace
{
class EntityInitQueueTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        Run("log = '' "
            "function Entity:OnInit(pass) log = log .. self:GetName() .. ':' .. pass .. ' ' "
            "  if self:GetName() == doomed then self:DeleteMe() end end");
        m_log.Clear();
    }

    void Run(const char* chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk, 0)) << chunk; }
    std::string Log()
    {
        lua_getglobal(gLua.GetState(), "log");
        std::string text = lua_tostring(gLua.GetState(), -1);
        lua_pop(gLua.GetState(), 1);
        return text;
    }
    EntityTemplate* WithPasses(uint32_t passes)
    {
        EntityTemplate* entityTemplate = MakeTemplate(CenteredBox(1.0f));
        entityTemplate->SetInitializationPassCount(passes);
        return entityTemplate;
    }
    Entity* CreateInGame(EntityTemplate* entityTemplate)
    {
        Entity* entity = gEntityManager.CreateEntity(entityTemplate, nullptr, Matrix::ONE, 0, nullptr);
        gEntityManager.CallOnInitHooks(entity);
        return entity;
    }
};

TEST_F(EntityInitQueueTest, OneEntityGetsEachPassInOrder)
{
    CreateInGame(WithPasses(3));
    CreateInGame(WithPasses(0));
    EXPECT_EQ(Log(), "*1:0 *1:1 *1:2 ");
    EXPECT_FALSE(EntityInitQueue::IsOpen());
}

TEST_F(EntityInitQueueTest, EntitiesCreatedTogetherFinishEachPassBeforeTheNext)
{
    ASSERT_TRUE(EntityInitQueue::Begin());
    EXPECT_FALSE(EntityInitQueue::Begin());
    EXPECT_TRUE(EntityInitQueue::IsOpen());
    CreateInGame(WithPasses(1));
    CreateInGame(WithPasses(2));
    CreateInGame(WithPasses(2));
    EXPECT_EQ(Log(), "");
    EntityInitQueue::Flush();
    EXPECT_EQ(Log(), "*1:0 *2:0 *3:0 *2:1 *3:1 ");
}

TEST_F(EntityInitQueueTest, AnEntityDeletedByItsOwnHandlerGetsNoMorePasses)
{
    Run("doomed = '*1'");
    ASSERT_TRUE(EntityInitQueue::Begin());
    Entity* doomed = CreateInGame(WithPasses(3));
    SafePointer<Entity> watch(doomed);
    CreateInGame(WithPasses(2));
    EntityInitQueue::Flush();
    EXPECT_FALSE(watch);
    EXPECT_EQ(Log(), "*1:0 *2:0 *2:1 ");
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
}

// One made by a handler runs at once the passes already past; one with more joins the running pass.
TEST_F(EntityInitQueueTest, AnEntityMadeDuringAFlushCatchesUpThenJoinsTheRunningPass)
{
    static EntityTemplate* sWithPasses[4];
    for (uint32_t passes = 0; passes < 4; ++passes)
        sWithPasses[passes] = WithPasses(passes);
    lua_register(gLua.GetState(), "Spawn", [](lua_State* state) {
        gEntityManager.CallOnInitHooks(
            gEntityManager.CreateEntity(sWithPasses[lua_tointeger(state, 1)], nullptr, Matrix::ONE, 0, nullptr));
        return 0;
    });
    Run("function Entity:OnInit(pass) log = log .. self:GetName() .. ':' .. pass .. ' ' "
        "  if self:GetName() == '*1' and pass > 0 then Spawn(pass == 1 and 3 or 1) end end");
    CreateInGame(sWithPasses[3]);
    EXPECT_EQ(Log(), "*1:0 *1:1 *2:0 *2:1 *1:2 *3:0 *2:2 ");
}

TEST_F(EntityInitQueueTest, SceneStartUpRunsThePassesOfEveryEntity)
{
    Entity* a = gEntityManager.CreateEntity(WithPasses(2), nullptr, Matrix::ONE, 0, nullptr);
    Entity* b = gEntityManager.CreateEntity(WithPasses(1), nullptr, Matrix::ONE, 0, nullptr);
    Entity* skipped = gEntityManager.CreateEntity(WithPasses(1), nullptr, Matrix::ONE, 0, nullptr);
    a->SetName("a");
    b->SetName("b");
    skipped->SetName("skipped");
    skipped->RaiseFlag(ENTITYFLAG_COMPOUND_ELEMENT, false);
    gGame.GetEntityLists().InitSceneEntities();
    EXPECT_EQ(Log(), "a:0 b:0 a:1 ");
}

TEST_F(EntityInitQueueTest, OnlyAnEntityWithANetworkRoleHearsItsNetworkEnd)
{
    Run("function Entity:OnNetDestroy() log = log .. self:GetName() .. ' ' end");
    Entity* local = CreateInGame(WithPasses(0));
    Entity* proxy = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_PROXY);
    local->SetName("local");
    proxy->SetName("proxy");
    gEntityManager.ClearReplicationMarks();
    gEntityManager.ClearReplicationMarks();
    EXPECT_EQ(Log(), "proxy ");
}

TEST_F(EntityInitQueueTest, SchedulingNeedsARunningGameUnlessTheGlobalSchedulerIsAsked)
{
    Entity* e = CreateInGame(WithPasses(0));
    e->ScheduleScriptCall("Later", 1.0f, Game::kGlobalScheduler);
    e->ScheduleCallback(7, 2.0f, 0);
    EXPECT_NEAR(e->GetCallbackTimeLeft(7, 0), 2.0f, 1e-3f);
    EXPECT_FLOAT_EQ(e->GetCallbackTimeLeft(8, 0), -1.0f);
    SafePointer<Entity> held(e);
    gGame.Close();
    EXPECT_FALSE(held) << "the game's close renews the scene";
    e = CreateInGame(WithPasses(0));
    ASSERT_NE(e, nullptr);
    m_log.Clear();
    e->ScheduleScriptCall("Later", 1.0f, 0);
    EXPECT_TRUE(m_log.Contains("Cannot schedule script [Later] because the game is not active", CONSOLE_ERROR));
    e->ScheduleCallback(3, 1.0f, Game::kGameplayScheduler);
    EXPECT_TRUE(m_log.Contains("Cannot schedule callback [3] because the game is not active", CONSOLE_ERROR));
    EXPECT_FLOAT_EQ(e->GetCallbackTimeLeft(7, 0), -1.0f);
    e->DeleteScriptCalls("Later");
    gGame.Init(&m_delegate);
}
} // namespace
