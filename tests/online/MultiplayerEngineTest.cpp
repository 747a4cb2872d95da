// ctest-labels: thread
#include "engine/Game.h"
#include "engine/profiler/Profiler.h"
#include "online/MultiplayerEngine.h"
#include "scene/entities/EntityManager.h"
#include "support/ConsoleCapture.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(MultiplayerEngineTest, IdleEngineHasAuthorityAndReportsDriverCommandsOnItsThread)
{
    ConsoleCapture log;
    MultiplayerEngine engine;
    ASSERT_TRUE(engine.Start());
    EXPECT_EQ(engine.GetMode(), uint32_t(MultiplayerEngine::MODE_NONE));
    EXPECT_TRUE(engine.HasAuthority());
    EXPECT_TRUE(engine.IsIdle());

    // Without a session the complete state has no peer to go to.
    engine.SendCompleteState(1234);
    engine.Flush();
    EXPECT_EQ(engine.GetCommandsReceived(), 1u);
    EXPECT_FALSE(log.Contains("needs the network driver"));
    engine.SetMode(MultiplayerEngine::MODE_SERVER);
    EXPECT_TRUE(engine.HasAuthority());
    EXPECT_FALSE(engine.IsIdle()) << "a running session keeps the engine busy";
    engine.SendCompleteState(99);
    engine.Flush();
    EXPECT_EQ(engine.GetCommandsReceived(), 2u);
    EXPECT_TRUE(log.Contains("command 18 (99) needs the network driver"));

    engine.Stop();
}

namespace
{
// A server whose peer has joined, as the network driver would set it up.
class MultiplayerReplicationTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_engine.SetMode(MultiplayerEngine::MODE_SERVER);
        m_engine.SetPeerConnected(true);
        gMultiplayerEngine = &m_engine;
    }
    void TearDown() override
    {
        gMultiplayerEngine = nullptr;
        gGame.GetEntityLists().Clear();
        SceneTest::TearDown();
    }
    Entity* Authority() { return Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY); }

    MultiplayerEngine m_engine;
};
} // namespace

TEST_F(MultiplayerReplicationTest, AConnectedServerGathersWhatThePeerIsToHearUntilTheSendPass)
{
    Entity* b = Authority();
    Entity* a = Authority();
    const uint16_t midA = a->GetMID();
    const uint16_t midB = b->GetMID();
    ASSERT_LT(midA, kDynamicMIDCount);
    ASSERT_LT(midB, kDynamicMIDCount);
    EXPECT_EQ(m_engine.GetSlotEntity(midA), a);
    EXPECT_EQ(m_engine.GetSlotEntity(midB), b);
    ASSERT_EQ(m_engine.GetEntitiesToSend().Count(), 2);
    EXPECT_EQ(m_engine.GetEntitiesToSend()[0].Get(), b);
    EXPECT_EQ(m_engine.GetEntitiesToSend()[1].Get(), a);
    m_engine.MarkChanged(a);
    EXPECT_EQ(m_engine.GetMIDState(midA), 1);
    EXPECT_EQ(m_engine.GetMIDState(midB), 0);

    // Destroyed before the send pass: the peer never hears of it, and its id is free again.
    const uint32_t inUse = gEntityManager.GetDynamicMIDsInUse();
    gEntityManager.DestroyEntity(b);
    EXPECT_TRUE(m_log.Contains("Created and destroyed authoritative entity mid:" + std::to_string(midB) +
                                   " in same frame before flushing update. Entity won't be replicated.",
                               CONSOLE_WARNING));
    ASSERT_EQ(m_engine.GetEntitiesToSend().Count(), 1);
    EXPECT_EQ(m_engine.GetEntitiesToSend()[0].Get(), a);
    EXPECT_TRUE(m_engine.GetDestroyedMIDs().IsEmpty());
    EXPECT_EQ(m_engine.GetSlotEntity(midB), nullptr);
    EXPECT_EQ(gEntityManager.GetDynamicMIDsInUse(), inUse - 1);

    // The send pass hands everything over (the missing driver is said once) and starts afresh.
    Dynarray<uint8_t> state;
    state.Add(7);
    state.Add(9);
    m_engine.QueueEntityState(state);
    ASSERT_EQ(m_engine.GetOutgoingEntityStates().Count(), 2);
    m_engine.SendEntityStates();
    EXPECT_TRUE(m_engine.GetOutgoingEntityStates().IsEmpty());
    EXPECT_TRUE(m_log.Contains("sending to the peer needs the network driver, which is not built yet"));
    EXPECT_TRUE(m_engine.GetEntitiesToSend().IsEmpty());
    EXPECT_EQ(m_engine.GetMIDState(midA), 0);
    EXPECT_EQ(m_engine.GetSlotEntity(midA), a) << "the slot is kept while the entity lives";

    // Sent already: tearing off and destroying are queued for the peer.
    m_engine.TearOff(a);
    EXPECT_TRUE(a->IsTornOff());
    ASSERT_EQ(m_engine.GetTornOffMIDs().Count(), 1);
    EXPECT_EQ(m_engine.GetTornOffMIDs()[0], midA);
    m_log.Clear();
    gEntityManager.DestroyEntity(a);
    ASSERT_EQ(m_engine.GetDestroyedMIDs().Count(), 1);
    EXPECT_EQ(m_engine.GetDestroyedMIDs()[0], midA);
    EXPECT_EQ(m_engine.GetSlotEntity(midA), nullptr);
    EXPECT_FALSE(m_log.Contains("Created and destroyed"));
    m_engine.SendEntityStates();
    EXPECT_TRUE(m_engine.GetDestroyedMIDs().IsEmpty());
    EXPECT_TRUE(m_engine.GetTornOffMIDs().IsEmpty());
}

// The last id has no slot: nothing about it is kept or queued.
TEST_F(MultiplayerReplicationTest, AnIdPastTheSlotsIsNeverTracked)
{
    Entity* a = Authority();
    m_engine.SendEntityStates();
    a->SetMID(MultiplayerEngine::kMIDSlots);
    m_engine.RegisterReplicatedEntity(a);
    m_engine.MarkChanged(a);
    m_engine.TearOff(a);
    EXPECT_TRUE(m_engine.GetEntitiesToSend().IsEmpty());
    EXPECT_TRUE(m_engine.GetTornOffMIDs().IsEmpty());
    EXPECT_EQ(m_engine.GetMIDState(MultiplayerEngine::kMIDSlots), 0);
    EXPECT_EQ(m_engine.GetSlotEntity(MultiplayerEngine::kMIDSlots), nullptr);
}

TEST_F(MultiplayerReplicationTest, WithoutAPeerOnlyTheChangeStatesAreKept)
{
    m_engine.SetPeerConnected(false);
    Entity* a = Authority();
    const uint16_t mid = a->GetMID();
    ASSERT_LT(mid, kDynamicMIDCount) << "the id is handed out all the same";
    EXPECT_EQ(m_engine.GetSlotEntity(mid), nullptr);
    EXPECT_TRUE(m_engine.GetEntitiesToSend().IsEmpty());
    m_engine.MarkChanged(a);
    EXPECT_EQ(m_engine.GetMIDState(mid), 1);
    m_engine.TearOff(a);
    EXPECT_TRUE(m_engine.GetTornOffMIDs().IsEmpty());
    gEntityManager.DestroyEntity(a);
    EXPECT_TRUE(m_engine.GetDestroyedMIDs().IsEmpty());
    EXPECT_EQ(m_engine.GetMIDState(mid), 0) << "a destroyed entity's id has no state";
    m_engine.SendEntityStates();
    EXPECT_FALSE(m_log.Contains("not built yet"));
}

TEST(MultiplayerEngineTest, TheProfilerShowsTheEntityManagersMultiplayerIdCounts)
{
    MultiplayerEngine engine;
    gEntityManager.ClearMIDLookup();
    const uint16_t dynamic[3] = {gEntityManager.AllocDynamicMID(), gEntityManager.AllocDynamicMID(),
                                 gEntityManager.AllocDynamicMID()};
    gEntityManager.AllocStaticMID();
    gEntityManager.AllocStaticMID();
    gEntityManager.FreeMID(dynamic[1]);

    gProfiler.SetValue(PROFILER_NET_DYNAMIC_MID, 99.0f, PROFILER_SOURCE_MAIN);
    engine.ProcessCallbackMessages();
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_NET_DYNAMIC_MID), 2.0f) << "in use, not ever handed out";
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_NET_STATIC_MID), 2.0f);

    gEntityManager.ClearMIDLookup();
    engine.ProcessCallbackMessages();
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_NET_DYNAMIC_MID), 0.0f);
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_NET_STATIC_MID), 0.0f);
}

TEST(MultiplayerEngineTest, ConnectLobbyArgumentPostsTheJoinOnlyForADecimalId)
{
    ConsoleCapture log;
    MultiplayerEngine engine;
    ASSERT_TRUE(engine.Start());
    engine.SetCommandLine({"game", "+connect_lobby"});
    engine.OnMainMenuShowForTheFirstTime();
    engine.SetCommandLine({"game", "+connect_lobby", "12x"});
    engine.OnMainMenuShowForTheFirstTime();
    engine.Flush();
    EXPECT_EQ(engine.GetCommandsReceived(), 0u);
    EXPECT_TRUE(log.Contains("Ignoring +connect_lobby with the lobby id \"12x\"", CONSOLE_WARNING));

    engine.SetCommandLine({"game", "+connect_lobby", "109775240917405708"});
    engine.OnMainMenuShowForTheFirstTime();
    engine.Flush();
    EXPECT_EQ(engine.GetCommandsReceived(), 1u);
    EXPECT_TRUE(log.Contains("command 23 (109775240917405708)"));
}

TEST(MultiplayerEngineTest, GameStartsAndEndsTheIdleEngine)
{
    Game game;
    game.Init(nullptr);
    ASSERT_NE(game.GetMultiplayerEngine(), nullptr);
    EXPECT_TRUE(game.GetMultiplayerEngine()->IsRunning());
    MultiplayerEngine& engine = *game.GetMultiplayerEngine(); // 1 MiB, no lock, 50 ms
    EXPECT_TRUE(engine.GetRing().GetCapacity() == 1048576u && !engine.HasProducerLock() &&
                engine.GetConfiguredTimeout() == 50u && engine.GetSubclassWord() == 0x400000u);
    EXPECT_TRUE(game.GetMultiplayerEngine()->IsIdle());
    EXPECT_EQ(game.GetInGameStore(), nullptr);
    game.Close();
    EXPECT_EQ(game.GetMultiplayerEngine(), nullptr);
}
