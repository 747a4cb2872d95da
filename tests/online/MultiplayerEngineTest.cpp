// ctest-labels: thread
#include "engine/Game.h"
#include "engine/profiler/Profiler.h"
#include "online/MultiplayerEngine.h"
#include "scene/entities/EntityManager.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

TEST(MultiplayerEngineTest, IdleEngineHasAuthorityAndReportsDriverCommandsOnItsThread)
{
    ConsoleCapture log;
    MultiplayerEngine engine;
    ASSERT_TRUE(engine.Start());
    EXPECT_EQ(engine.GetMode(), uint32_t(MultiplayerEngine::MODE_NONE));
    EXPECT_TRUE(engine.HasAuthority());
    EXPECT_TRUE(engine.IsIdle());

    engine.SendCompleteState(1234);
    engine.Flush();
    EXPECT_EQ(engine.GetCommandsReceived(), 1u);
    EXPECT_TRUE(log.Contains("command 18 (1234) needs the network driver"));

    engine.Stop();
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
    engine.SetCommandLine({"game", "+connect_lobby", "12x"});
    engine.OnMainMenuShowForTheFirstTime();
    engine.SetCommandLine({"game", "+connect_lobby"});
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
    EXPECT_TRUE(game.GetMultiplayerEngine()->IsIdle());
    EXPECT_EQ(game.GetInGameStore(), nullptr);
    game.Close();
    EXPECT_EQ(game.GetMultiplayerEngine(), nullptr);
}
