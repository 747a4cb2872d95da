// The Game's animation and replicated-state lists: each entity once, dead entries dropped, a
// used-up state queue leaving the list, the walks at their points of the frame (after each tick,
// at the frame's end, before the ticks), and an honest log line while no kind installs its work.

#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"

#include <map>
#include <string>
#include <vector>

namespace
{
constexpr int64_t kFrame15 = os::kCounterFrequency / 15;

std::vector<std::string> gSteps;
std::map<Entity*, int> gStatesLeft;
uint64_t gLastStateTime = 0;
RecordingGameDelegate* gDelegate = nullptr;

std::string Tagged(const char* what, Entity* entity)
{
    return std::string(what) + ":" + entity->GetName();
}
void Animate(Entity* entity)
{
    gSteps.push_back(Tagged("animate", entity) + "@" + std::to_string(gDelegate != nullptr ? gDelegate->ticks : -1));
}
void ApplyAnimation(Entity* entity)
{
    gSteps.push_back(Tagged("end", entity));
}
bool ReadState(Entity* entity, uint64_t realMicroseconds)
{
    gSteps.push_back(Tagged("state", entity));
    gLastStateTime = realMicroseconds;
    return --gStatesLeft[entity] > 0;
}

class GameEntityListsFrameTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gSteps.clear();
        gStatesLeft.clear();
        gDelegate = &m_delegate;
        m_saved = gGame.GetEntityLists().GetOperations();
    }
    void TearDown() override
    {
        gGame.GetEntityLists().Clear();
        gGame.GetEntityLists().InstallOperations(m_saved);
        gDelegate = nullptr;
        SceneTest::TearDown();
    }
    Entity* Named(const char* name)
    {
        Entity* entity = Create();
        entity->SetName(name);
        return entity;
    }
    static void InstallAll()
    {
        GameEntityLists::Operations operations;
        operations.animate = &Animate;
        operations.applyReplicatedAnimation = &ApplyAnimation;
        operations.readReplicatedState = &ReadState;
        gGame.GetEntityLists().InstallOperations(operations);
    }

    RecordingGameDelegate m_delegate;
    GameEntityLists::Operations m_saved;
};
} // namespace

TEST_F(GameEntityListsFrameTest, EntriesAreKeptOnceAndDeadOnesDropped)
{
    InstallAll();
    Entity* a = Named("a");
    Entity* b = Named("b");
    GameEntityLists& lists = gGame.GetEntityLists();
    lists.AddTickAnimatedEntity(a);
    lists.AddTickAnimatedEntity(a);
    lists.AddTickAnimatedEntity(b);
    lists.AddTickAnimatedEntity(nullptr);
    EXPECT_EQ(lists.GetTickAnimated().Count(), 2);
    gEntityManager.DeleteEntity(b);
    lists.AnimateTickEntities();
    EXPECT_EQ(gSteps, (std::vector<std::string>{"animate:a@0"}));
    EXPECT_EQ(lists.GetTickAnimated().Count(), 1) << "the dead entry is dropped";

    // The end-of-frame list is its own.
    lists.AddEndOfFrameAnimatedEntity(a);
    gSteps.clear();
    lists.ApplyEndOfFrameAnimation();
    EXPECT_EQ(gSteps, (std::vector<std::string>{"end:a"}));

    // A state queue that is used up takes its entity out; the others stay.
    Entity* c = Named("c");
    gStatesLeft[a] = 2;
    gStatesLeft[c] = 1;
    lists.AddReplicatedStateEntity(a);
    lists.AddReplicatedStateEntity(c);
    gSteps.clear();
    lists.ApplyReplicatedStates(1234);
    EXPECT_EQ(gSteps, (std::vector<std::string>{"state:a", "state:c"}));
    EXPECT_EQ(gLastStateTime, 1234u);
    ASSERT_EQ(lists.GetReplicatedState().Count(), 1);
    EXPECT_EQ(lists.GetReplicatedState()[0].Get(), a);
    lists.ApplyReplicatedStates(1300);
    EXPECT_EQ(lists.GetReplicatedState().Count(), 0);

    lists.Clear();
    EXPECT_EQ(lists.GetTickAnimated().Count(), 0);
    EXPECT_EQ(lists.GetEndOfFrameAnimated().Count(), 0);
}

namespace
{
Entity* gLeaving = nullptr;
void AnimateAndTakeOneOut(Entity* entity)
{
    Animate(entity);
    gGame.GetEntityLists().RemoveTickAnimatedEntity(gLeaving);
}
} // namespace

TEST_F(GameEntityListsFrameTest, AnEntityTakenOutLeavesAtOnceOrAfterTheWalk)
{
    GameEntityLists& lists = gGame.GetEntityLists();
    Entity* a = Named("a");
    Entity* b = Named("b");
    Entity* c = Named("c");
    lists.AddTickAnimatedEntity(a);
    lists.AddTickAnimatedEntity(b);
    lists.AddTickAnimatedEntity(c);
    lists.RemoveTickAnimatedEntity(b);
    ASSERT_EQ(lists.GetTickAnimated().Count(), 2);
    EXPECT_EQ(lists.GetTickAnimated()[0].Get(), a);
    EXPECT_EQ(lists.GetTickAnimated()[1].Get(), c);

    // Taken out during the walk: not animated, every other entry still is, and the entry is gone after.
    lists.AddTickAnimatedEntity(b);
    GameEntityLists::Operations operations;
    operations.animate = &AnimateAndTakeOneOut;
    lists.InstallOperations(operations);
    gLeaving = c;
    lists.AnimateTickEntities();
    EXPECT_EQ(gSteps, (std::vector<std::string>{"animate:a@0", "animate:b@0"}));
    ASSERT_EQ(lists.GetTickAnimated().Count(), 2);
    EXPECT_EQ(lists.GetTickAnimated()[1].Get(), b);

    // An entry taking itself out does not make the walk skip the next one.
    gSteps.clear();
    gLeaving = a;
    lists.AnimateTickEntities();
    EXPECT_EQ(gSteps, (std::vector<std::string>{"animate:a@0", "animate:b@0"}));
    EXPECT_EQ(lists.GetTickAnimated().Count(), 1);
    gLeaving = nullptr;
}

TEST_F(GameEntityListsFrameTest, WithoutTheKindsWorkTheListsSaySoOnce)
{
    gGame.GetEntityLists().InstallOperations(GameEntityLists::Operations());
    gGame.GetEntityLists().ForgetReports();
    gGame.GetEntityLists().AnimateTickEntities();
    EXPECT_FALSE(m_log.Contains("MeshEntity::Animate")) << "an empty list needs nothing";
    Entity* a = Named("a");
    gGame.GetEntityLists().AddTickAnimatedEntity(a);
    gGame.GetEntityLists().AddReplicatedStateEntity(a);
    gGame.GetEntityLists().AnimateTickEntities();
    gGame.GetEntityLists().AnimateTickEntities();
    gGame.GetEntityLists().ApplyReplicatedStates(0);
    size_t reports = 0;
    for (const CapturedMessage& message : m_log.Messages())
        reports += message.text == "MeshEntity::Animate is not built yet";
    EXPECT_EQ(reports, 1u);
    EXPECT_TRUE(m_log.Contains("Entity::ReadMPProperties is not built yet"));
    EXPECT_EQ(gGame.GetEntityLists().GetReplicatedState().Count(), 1) << "kept for the reader to come";
}

TEST_F(GameEntityListsFrameTest, TheFrameWalksTheListsAtTheirPoints)
{
    os::EnableManualCounter(os::QueryCounter());
    gEngineTimer.Reset();
    gEngineClock.Reset();
    gGame.Init(&m_delegate);
    InstallAll();
    Entity* mesh = Named("mesh");
    Entity* proxy = Named("proxy");
    gStatesLeft[proxy] = 100;
    gGame.GetEntityLists().AddTickAnimatedEntity(mesh);
    gGame.GetEntityLists().AddEndOfFrameAnimatedEntity(mesh);
    gGame.GetEntityLists().AddReplicatedStateEntity(proxy);

    // Frames of one tick's length until one runs a tick (the first ones settle the frame clock).
    int ticksBefore = 0;
    for (int i = 0; i < 10; ++i)
    {
        gSteps.clear();
        ticksBefore = m_delegate.ticks;
        os::AdvanceManualCounter(kFrame15);
        gGame.Update(true);
        if (m_delegate.ticks != ticksBefore)
            break;
    }
    ASSERT_EQ(m_delegate.ticks, ticksBefore + 1);
    // States before the tick, the animation after the tick's OnTick, the replicated animation last.
    EXPECT_EQ(gSteps, (std::vector<std::string>{"state:proxy", "animate:mesh@" + std::to_string(ticksBefore + 1),
                                                "end:mesh"}));
    EXPECT_EQ(gLastStateTime, gEngineClock.GetRealTime());

    gGame.Close();
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 0) << "the close empties the lists";
    EXPECT_EQ(gGame.GetEntityLists().GetReplicatedState().Count(), 0);
    os::DisableManualCounter();
}
