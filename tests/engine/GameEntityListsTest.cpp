#include "engine/GameEntityLists.h"

#include "online/MultiplayerEngine.h"
#include "support/SceneTestSupport.h"

namespace
{
// An entity that counts how often it is destroyed through its kind's destroy step.
class CountingEntity : public Entity
{
public:
    void Destroy() override
    {
        ++destroyed;
        Entity::Destroy();
    }
    static int destroyed;
};
int CountingEntity::destroyed = 0;

class CountingTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new CountingEntity; }
};

class GameEntityListsTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        CountingEntity::destroyed = 0;
    }
    Entity* CreateCounting(Entity* parent = nullptr)
    {
        return gEntityManager.CreateEntity(&m_countingTemplate, parent, Matrix::ONE, 0, nullptr);
    }
    CountingTemplate m_countingTemplate;
    GameEntityLists m_lists;
};

TEST_F(GameEntityListsTest, TimedCallsRunWhenDueInTimeOrder)
{
    Entity* early = CreateCounting();
    Entity* late = CreateCounting();
    SafePointer<Entity> earlyWatch(early), lateWatch(late);
    m_lists.QueueTimedEntityCall(late, 2000, GameEntityLists::CALL_DESTROY);
    m_lists.QueueTimedEntityCall(early, 1000, GameEntityLists::CALL_DESTROY);
    Entity* tie = CreateCounting();
    m_lists.QueueTimedEntityCall(tie, 1000, GameEntityLists::CALL_DESTROY);
    m_lists.QueueTimedEntityCall(nullptr, 500, GameEntityLists::CALL_DESTROY);
    ASSERT_EQ(m_lists.GetTimedCalls().Count(), 3) << "no call for a missing entity";
    EXPECT_EQ(m_lists.GetTimedCalls()[0].entity.Get(), early);
    EXPECT_EQ(m_lists.GetTimedCalls()[1].entity.Get(), tie) << "calls due together keep the order queued";
    m_lists.FireDueEntityCalls(false, 1500);
    EXPECT_FALSE(earlyWatch);
    EXPECT_TRUE(lateWatch);
    EXPECT_EQ(m_lists.GetTimedCalls().Count(), 1);
    m_lists.FireDueEntityCalls(false, 2000);
    EXPECT_FALSE(lateWatch);
    EXPECT_EQ(CountingEntity::destroyed, 3);
}

TEST_F(GameEntityListsTest, AllRunsEveryCallWhateverItsTimeAndDeadEntitiesAreDropped)
{
    Entity* a = CreateCounting();
    Entity* b = CreateCounting();
    Entity* gone = CreateCounting();
    a->SetMID(40);
    m_lists.QueueEntityCall(a, GameEntityLists::CALL_NET_INIT);
    Entity* timed = CreateCounting();
    timed->SetMID(41);
    m_lists.QueueTimedEntityCall(timed, 1u << 29, GameEntityLists::CALL_NET_INIT);
    EXPECT_TRUE(m_lists.IsEntityCallQueued(40) && m_lists.IsEntityCallQueued(41) && !m_lists.IsEntityCallQueued(42));
    m_lists.QueueTimedEntityCall(b, 1u << 30, GameEntityLists::CALL_DESTROY);
    m_lists.QueueEntityCall(gone, GameEntityLists::CALL_DESTROY);
    gone->Destroy();
    a->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    m_lists.FireDueEntityCalls(true, 0);
    EXPECT_FALSE(a->HasFlag(ENTITYFLAG_DISABLE_UPDATE));
    EXPECT_FALSE(a->m_pendingNetworkCall);
    EXPECT_EQ(CountingEntity::destroyed, 2);
    EXPECT_TRUE(m_lists.GetTimedCalls().IsEmpty());
    EXPECT_TRUE(m_lists.GetUnsortedCalls().IsEmpty());
    EXPECT_FALSE(m_lists.IsEntityCallQueued(40) || m_lists.IsEntityCallQueued(41));
}

TEST_F(GameEntityListsTest, AnEntityStaysPendingWhileEitherQueueStillHoldsACallForIt)
{
    // A call that runs must not drop the later one, timed or not yet sorted, that waits behind it.
    Entity* timed = CreateCounting();
    Entity* unsorted = CreateCounting();
    SafePointer<Entity> timedWatch(timed), unsortedWatch(unsorted);
    m_lists.QueueTimedEntityCall(timed, 10, GameEntityLists::CALL_NET_INIT);
    m_lists.QueueTimedEntityCall(timed, 5000, GameEntityLists::CALL_DESTROY);
    m_lists.QueueTimedEntityCall(unsorted, 10, GameEntityLists::CALL_NET_INIT);
    m_lists.QueueEntityCall(unsorted, GameEntityLists::CALL_DESTROY);
    m_lists.FireDueEntityCalls(false, 100);
    EXPECT_TRUE(timed->m_pendingNetworkCall);
    EXPECT_TRUE(unsorted->m_pendingNetworkCall);
    m_lists.FireDueEntityCalls(true, 0);
    EXPECT_FALSE(timedWatch);
    EXPECT_FALSE(unsortedWatch);
}

TEST_F(GameEntityListsTest, DestroyCallsGiveUpTheMultiplayerId)
{
    Entity* e = CreateCounting();
    e->SetMID(9);
    m_lists.QueueEntityCall(e, GameEntityLists::CALL_DESTROY);
    EXPECT_EQ(e->GetMID(), NULL_ENTITY_MULTIPLAYER_ID);
    EXPECT_EQ(gEntityManager.GetEntityByMID(9), nullptr);
}

TEST_F(GameEntityListsTest, SubtreeRemovalRemovesTheChildFirstAndDropsItsOwnRecord)
{
    Entity* parent = CreateCounting();
    Entity* child = CreateCounting(parent);
    Entity* grandchild = CreateCounting(child);
    Entity* unrelated = CreateCounting();
    SafePointer<Entity> unrelatedWatch(unrelated);
    // The parent's removal comes first, the child's own removal later in the same walk, and an
    // unrelated call after both: none may be lost or run twice.
    m_lists.QueueTimedEntityCall(parent, 10, GameEntityLists::CALL_REMOVE_SUBTREE);
    m_lists.QueueTimedEntityCall(child, 20, GameEntityLists::CALL_REMOVE_SUBTREE);
    m_lists.QueueTimedEntityCall(unrelated, 30, GameEntityLists::CALL_DESTROY);
    m_lists.QueueTimedEntityCall(child, 5000, GameEntityLists::CALL_REMOVE_SUBTREE);
    (void)grandchild;
    m_lists.FireDueEntityCalls(false, 100);
    EXPECT_EQ(CountingEntity::destroyed, 4) << "parent, child, grandchild and the unrelated entity, once each";
    EXPECT_FALSE(unrelatedWatch);
    // The child's later removal record went with it.
    EXPECT_TRUE(m_lists.GetTimedCalls().IsEmpty());
}

TEST_F(GameEntityListsTest, ChangedEntitiesJoinTheUpdatedListOnceAndOnlyWithAuthority)
{
    Entity* a = Create();
    Entity* b = Create();
    m_lists.RegisterAnimatedEntity(a, true);
    m_lists.RegisterAnimatedEntity(a, true);
    EXPECT_EQ(m_lists.GetUpdatedList().Count(), 1);
    EXPECT_EQ(m_lists.GetChangedList().Count(), 1);
    MultiplayerEngine client;
    client.SetMode(MultiplayerEngine::MODE_CLIENT);
    gMultiplayerEngine = &client;
    m_lists.RegisterAnimatedEntity(b, true);
    gMultiplayerEngine = nullptr;
    EXPECT_EQ(m_lists.GetChangedList().Count(), 1);
    EXPECT_EQ(m_lists.GetUpdatedList().Count(), 2);
    EXPECT_EQ(m_lists.SendChangedEntities(0, 0, 0, 0), 1u);
    EXPECT_FALSE(a->m_inChangedList);
    EXPECT_TRUE(m_lists.GetChangedList().IsEmpty());
    m_lists.RegisterAnimatedEntity(a, true);
    m_lists.Clear();
    EXPECT_FALSE(a->m_inChangedList || a->m_inUpdatedList) << "cleared lists let their entities join again";
}

TEST_F(GameEntityListsTest, TickListSkipsAndDropsDeadEntries)
{
    Entity* a = Create();
    Entity* b = Create();
    m_lists.AddScriptTickEntity(a);
    m_lists.AddScriptTickEntity(b);
    m_lists.AddScriptTickEntity(a);
    EXPECT_EQ(m_lists.GetScriptTickList().Count(), 2);
    b->DeleteMe();
    m_lists.TickScriptEntities();
    EXPECT_EQ(m_lists.GetScriptTickList().Count(), 1);
    m_lists.RemoveScriptTickEntity(a);
    m_lists.SmoothTickScriptEntities();
    EXPECT_TRUE(m_lists.GetScriptTickList().IsEmpty());
}
} // namespace
