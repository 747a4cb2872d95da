// The Game's animation and replicated-state lists: each entity once, dead entries dropped, a
// used-up state queue leaving the list, the walks at their points of the frame (after each tick,
// at the frame's end, before the ticks).

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
RecordingGameDelegate* gDelegate = nullptr;

// A received state record, written by hand: due time, mask 1 ("PosXZ"), x and z.
std::vector<uint8_t> PositionState(uint64_t due, float x, float z)
{
    std::vector<uint8_t> bytes;
    auto put = [&bytes](const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    };
    const uint64_t mask = 1;
    put(&due, 8);
    put(&mask, 8);
    put(&x, 4);
    put(&z, 4);
    return bytes;
}
void Receive(Entity* entity, uint64_t due, float x, float z)
{
    const std::vector<uint8_t> bytes = PositionState(due, x, z);
    entity->QueueReceivedMPState(bytes.data(), bytes.size());
}

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

class GameEntityListsFrameTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gSteps.clear();
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

    // The end-of-frame list is its own, and drops its dead entries too.
    EXPECT_TRUE(lists.GetEndOfFrameAnimated().IsEmpty());
    Entity* d = Named("d");
    lists.AddEndOfFrameAnimatedEntity(a);
    lists.AddEndOfFrameAnimatedEntity(d);
    gEntityManager.DeleteEntity(d);
    gSteps.clear();
    lists.ApplyEndOfFrameAnimation();
    EXPECT_EQ(gSteps, (std::vector<std::string>{"end:a"}));
    EXPECT_EQ(lists.GetEndOfFrameAnimated().Count(), 1) << "the dead entry is dropped";

    // The states due by the walk's time are applied; a used-up queue takes its entity out, one with
    // a later state stays.
    Entity* c = Named("c");
    Receive(a, 1000, 1.0f, 2.0f);
    Receive(a, 1300, 3.0f, 4.0f);
    Receive(c, 1234, 5.0f, 6.0f);
    lists.AddReplicatedStateEntity(a);
    lists.AddReplicatedStateEntity(c);
    lists.ApplyReplicatedStates(1234);
    EXPECT_FLOAT_EQ(a->GetGlobalPosition().x, 1.0f);
    EXPECT_FLOAT_EQ(a->GetGlobalPosition().z, 2.0f);
    EXPECT_FLOAT_EQ(c->GetGlobalPosition().x, 5.0f) << "due at the walk's time: applied";
    ASSERT_EQ(lists.GetReplicatedState().Count(), 1);
    EXPECT_EQ(lists.GetReplicatedState()[0].Get(), a);
    lists.ApplyReplicatedStates(1300);
    EXPECT_FLOAT_EQ(a->GetGlobalPosition().x, 3.0f);
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

TEST_F(GameEntityListsFrameTest, TheFrameWalksTheListsAtTheirPoints)
{
    os::EnableManualCounter(os::QueryCounter());
    gEngineTimer.Reset();
    gEngineClock.Reset();
    gGame.Init(&m_delegate);
    InstallAll();
    Entity* mesh = Named("mesh");
    Entity* proxy = Named("proxy");
    Receive(proxy, 0, 7.0f, 8.0f);
    Receive(proxy, ~uint64_t(0), 9.0f, 9.0f);
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
    // The animation after the tick's OnTick, the replicated animation last; the received state that
    // was due is applied and the later one waits.
    EXPECT_EQ(gSteps, (std::vector<std::string>{"animate:mesh@" + std::to_string(ticksBefore + 1), "end:mesh"}));
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().x, 7.0f);
    EXPECT_EQ(gGame.GetEntityLists().GetReplicatedState().Count(), 1);

    gGame.Close();
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 0) << "the close empties the lists";
    EXPECT_EQ(gGame.GetEntityLists().GetReplicatedState().Count(), 0);
    os::DisableManualCounter();
}
