#include "ScriptTestSupport.h"

#include "engine/Game.h"
#include "game/TessarineGameDelegate.h"
#include "scene/entities/Entity.h"

#include <functional>
#include <vector>

namespace
{
// Every hook name either form may call; the recorder sits in both classes, so a hook that uses
// the wrong form is caught by the form it records.
const char* const kHookNames[] = {
    "OnInit", "OnAfterInit", "OnQuit", "OnClose", "OnAfterClose", "OnSwitchScene",
    "OnSwitchSceneAfterNetEntitiesDestroyed", "OnDuringSwitchScene", "OnAfterSwitchScene", "OnAppActivate",
    "OnAppDeactivate", "OnCancelCurrentGame", "OnGameCenterMatchingCompleted", "OnMultiplayerRoomCreated",
    "OnMultiplayerRoomJoined", "OnBigFrameTick", "OnTick", "OnSmoothTick", "OnAfterTick", "OnPauseTick",
    "OnTickInput", "OnInputEvent", "OnInputConfigChanged", "OnScreenResolutionChanged", "OnBackPressed",
    "OnXBoxLiveLoginFinished", "OnChatMessage", "OnLobbyUpdated", "OnLobbyJoinRequested",
    "OnLobbyGameStartRequest", "OnLobbyError", "OnGameHosted", "OnGameJoined", "OnGameDisconnected",
    "OnPlayerConnecting", "OnPlayerConnected", "OnPlayerReady", "OnPlayerDisconnected",
    "OnPlayerConnectionStall", "OnPlayerConnectionResume", "CanSleep", "OnTornOff", "OnPropertiesReplicated"};

struct ScriptEntity : Entity
{
};

class GameDelegateTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        m_delegate.ReopenScriptPackages();
        m_delegate.PublishScriptObjects();
        gLua.RegisterClass("Player", nullptr);
        std::string names;
        for (const char* name : kHookNames)
            names += std::string("'") + name + "',";
        Run("gCalls = {} gResults = {}\n"
            "local function describe(v) if type(v) == 'userdata' then return tolua.type(v) end return tostring(v) end\n"
            "local function recorder(name) return function(self, ...)\n"
            "  local form = (self == gGame and 'Game') or (self == gGameDelegate and 'Own') or describe(self)\n"
            "  local parts = {} for i = 1, select('#', ...) do parts[#parts + 1] = describe(select(i, ...)) end\n"
            "  table.insert(gCalls, form .. '.' .. name .. '(' .. table.concat(parts, ',') .. ')')\n"
            "  return gResults[name] end end\n"
            "for _, name in ipairs({" + names + "}) do\n"
            "  Game[name] = recorder(name) TessarineGameDelegate[name] = recorder(name) Entity[name] = recorder(name)\n"
            "end");
        m_log.Clear();
    }

    std::string TakeCalls()
    {
        Run("gJoined = table.concat(gCalls, ';') gCalls = {}");
        return GlobalString("gJoined");
    }

    TessarineGameDelegate m_delegate;
};

TEST_F(GameDelegateTest, EveryHookCallsItsScriptMethodInItsForm)
{
    Player* const player = reinterpret_cast<Player*>(&m_delegate);
    ScriptEntity entity;
    const std::u16string chat = u"hi";
    Run("gReplicated = ReplicateMethod(function(...) table.insert(gCalls, 'Replicated:' .. select('#', ...)) end)");
    const uint32_t replicated = uint32_t(GlobalNumber("gReplicated"));
    const ScriptReplicatedArgument twoNils[2];
    struct Row
    {
        std::function<void(TessarineGameDelegate&)> hook;
        const char* expected;
    };
    const Row rows[] = {
        {[](auto& d) { d.OnInit(); }, "Game.OnInit()"},
        {[](auto& d) { d.OnAfterInit(); }, "Game.OnAfterInit()"},
        {[](auto& d) { d.OnQuit(); }, "Own.OnQuit()"},
        {[](auto& d) { d.OnClose(); }, "Game.OnClose()"},
        {[](auto& d) { d.OnDistributionClose(); }, "Game.OnClose()"},
        {[](auto& d) { d.OnAfterClose(); }, "Game.OnAfterClose()"},
        {[](auto& d) { d.OnSwitchScene("Level3"); }, "Game.OnSwitchScene(Level3)"},
        {[](auto& d) { d.OnSwitchSceneAfterNetEntitiesDestroyed(); }, "Game.OnSwitchSceneAfterNetEntitiesDestroyed()"},
        {[](auto& d) { d.OnDuringSwitchScene(); }, "Game.OnDuringSwitchScene()"},
        {[](auto& d) { d.OnAfterSwitchScene(); }, "Game.OnAfterSwitchScene()"},
        {[](auto& d) { d.OnAppActivate(1); }, "Game.OnAppActivate()"},
        {[](auto& d) { d.OnAppDeactivate(0); }, "Game.OnAppDeactivate()"},
        {[](auto& d) { d.OnCancelCurrentGame(); }, "Own.OnCancelCurrentGame()"},
        {[](auto& d) { d.OnGameCenterMatchingCompleted(true); }, "Own.OnGameCenterMatchingCompleted(true)"},
        {[](auto& d) { d.OnMultiplayerRoomCreated(); }, "Own.OnMultiplayerRoomCreated()"},
        {[](auto& d) { d.OnMultiplayerRoomJoined(); }, "Own.OnMultiplayerRoomJoined()"},
        {[](auto& d) { d.OnBigFrameTick(); }, "Own.OnBigFrameTick()"},
        {[](auto& d) { d.OnTick(); }, "Own.OnTick()"},
        {[](auto& d) { d.OnSmoothTick(); }, "Own.OnSmoothTick()"},
        {[](auto& d) { d.OnAfterTick(); }, "Own.OnAfterTick()"},
        {[](auto& d) { d.OnPauseTick(); }, "Own.OnPauseTick()"},
        {[](auto& d) { d.OnTickInput(); }, "Own.OnTickInput()"},
        {[](auto& d) { d.OnInputEvent(-3, 0xFFFFFFFFu); }, "Own.OnInputEvent(-3,4294967295)"},
        {[](auto& d) { d.OnInputConfigChanged(); }, "Game.OnInputConfigChanged()"},
        {[](auto& d) { d.OnScreenResolutionChanged(); }, "Game.OnScreenResolutionChanged()"},
        {[](auto& d) { d.OnBackPressed(); }, "Game.OnBackPressed()"},
        {[](auto& d) { d.OnXBoxLiveLoginFinished(); }, "Game.OnXBoxLiveLoginFinished()"},
        {[&](auto& d) { d.OnChatMessage(true, 5, chat.c_str()); }, "Own.OnChatMessage(true,5,LuaUnicodeString)"},
        {[](auto& d) { d.OnLobbyUpdated(); }, "Own.OnLobbyUpdated()"},
        {[](auto& d) { d.OnLobbyJoinRequested(); }, "Own.OnLobbyJoinRequested()"},
        {[](auto& d) { d.OnLobbyGameStartRequest(4000000000u, -2, true, false); },
         "Own.OnLobbyGameStartRequest(4000000000,-2,true,false)"},
        {[](auto& d) { d.OnLobbyError(7); }, "Own.OnLobbyError(7)"},
        {[](auto& d) { d.OnGameHosted(1); }, "Own.OnGameHosted(1)"},
        {[](auto& d) { d.OnGameJoined(2); }, "Own.OnGameJoined(2)"},
        {[](auto& d) { d.OnGameDisconnected(3); }, "Own.OnGameDisconnected(3)"},
        {[](auto& d) { d.OnPlayerConnecting(); }, "Own.OnPlayerConnecting()"},
        {[&](auto& d) { d.OnPlayerConnected(player); }, "Own.OnPlayerConnected(Player)"},
        {[&](auto& d) { d.OnPlayerReady(player); }, "Own.OnPlayerReady(Player)"},
        {[&](auto& d) { d.OnPlayerDisconnected(player, 9); }, "Own.OnPlayerDisconnected(Player,9)"},
        {[&](auto& d) { d.OnPlayerConnectionStall(player); }, "Own.OnPlayerConnectionStall(Player)"},
        {[&](auto& d) { d.OnPlayerConnectionResume(player); }, "Own.OnPlayerConnectionResume(Player)"},
        {[](auto& d) { d.CanSleep(); }, "Own.CanSleep()"},
        {[&](auto& d) { d.OnTornOff(&entity); }, "Entity.OnTornOff()"},
        {[&](auto& d) { d.OnReplicatedPropertiesArrived(&entity); }, "Entity.OnPropertiesReplicated()"},
        {[&](auto& d) { d.OnReplicatedMethodArrived(replicated, twoNils, 2); }, "Replicated:2"},
    };
    for (const Row& row : rows)
    {
        row.hook(m_delegate);
        EXPECT_EQ(TakeCalls(), row.expected);
        EXPECT_EQ(Depth(), 0) << row.expected;
    }
    EXPECT_FALSE(m_log.Contains("LUA"));
    EXPECT_STREQ(gGame.GetSoftwareCursorName(), "tessaryCursor.tiff");
}

TEST_F(GameDelegateTest, QueriesReadTheirScriptResults)
{
    Run("gResults.CanSleep = nil gResults.OnPlayerConnecting = true");
    EXPECT_FALSE(m_delegate.CanSleep());
    EXPECT_TRUE(m_delegate.OnPlayerConnecting());
    Run("gResults.CanSleep = true gResults.OnPlayerConnecting = false");
    EXPECT_TRUE(m_delegate.CanSleep());
    EXPECT_FALSE(m_delegate.OnPlayerConnecting()) << "the script turns the player away";

    // Failed calls: CanSleep reads true, OnPlayerConnecting false, and neither pops a result that
    // was never pushed.
    Run("function TessarineGameDelegate:CanSleep() error('no') end "
        "function TessarineGameDelegate:OnPlayerConnecting() error('no') end");
    lua_pushstring(L(), "below");
    EXPECT_TRUE(m_delegate.CanSleep());
    EXPECT_FALSE(m_delegate.OnPlayerConnecting());
    EXPECT_EQ(Depth(), 1);
    lua_pop(L(), 1);
}

TEST_F(GameDelegateTest, MissingHooksAndUnknownClassesOnlyLog)
{
    Run("TessarineGameDelegate.OnTick = nil");
    lua_pushstring(L(), "below");
    EXPECT_FALSE(m_delegate.OnTick());
    EXPECT_TRUE(m_log.Contains("Variable \"OnTick\" is not function but nil in TessarineGameDelegate class"));
    // An object whose class the bindings do not know never reaches tolua.
    lua_pushnil(L());
    lua_setfield(L(), LUA_REGISTRYINDEX, "Player");
    EXPECT_FALSE(m_delegate.OnPlayerDisconnected(reinterpret_cast<Player*>(&m_delegate), 1));
    EXPECT_TRUE(m_log.Contains("unknown LUA class Player"));
    // Replicated properties: no entity, or an entity without the method, is no call.
    EXPECT_FALSE(m_delegate.OnReplicatedPropertiesArrived(nullptr));
    EXPECT_TRUE(m_log.Contains("Cannot push the entity for its replicated properties", CONSOLE_ERROR));
    Run("Entity.OnPropertiesReplicated = nil");
    ScriptEntity entity;
    EXPECT_FALSE(m_delegate.OnReplicatedPropertiesArrived(&entity));
    EXPECT_EQ(Depth(), 1);
    lua_pop(L(), 1);
}

TEST_F(GameDelegateTest, ChatTextBelongsToTheScript)
{
    Run("function TessarineGameDelegate:OnChatMessage(flag, value, text) gLength = text:GetLength() gKept = text end");
    const std::u16string chat = u"hello";
    EXPECT_TRUE(m_delegate.OnChatMessage(false, 0, chat.c_str()));
    EXPECT_EQ(GlobalNumber("gLength"), 5);
    Run("gKept = nil collectgarbage()");
    // Without the text's class the call is refused with the stack as it was.
    Run("debug.getregistry().LuaUnicodeString = nil");
    EXPECT_FALSE(m_delegate.OnChatMessage(false, 0, chat.c_str()));
    EXPECT_EQ(Depth(), 0);
}

TEST_F(GameDelegateTest, StartUpScriptsRunMainAndDistributionMain)
{
    m_folder.WriteFile("common/scripts/Main.lua", "gMainRuns = (gMainRuns or 0) + 1\n");
    m_folder.WriteFile("common/scripts/DistributionMain.lua", "gDistributionRuns = 1\n");
    m_delegate.RunStartupScripts();
    m_delegate.RunDistributionStartup(0, 0);
    EXPECT_EQ(GlobalNumber("gMainRuns"), 1);
    EXPECT_EQ(GlobalNumber("gDistributionRuns"), 1);
    EXPECT_EQ(TakeCalls(), "Game.OnInit()");
    Run("assert(gGameDelegate == gGameDelegate and tolua.type(gGameDelegate) == 'TessarineGameDelegate')");
}
} // namespace

TEST(GameDelegateHooksTest, FixedResultHooksAnswerTheirNeutralValues)
{
    GameDelegate base;
    TessarineGameDelegate game;
    for (GameDelegate* delegate : {&base, static_cast<GameDelegate*>(&game)})
    {
        EXPECT_EQ(delegate->StartSequenceOverride("Intro", true), 0u);
        EXPECT_FALSE(delegate->OpenInGameStore(1, 2));
        std::u16string text = u"unchanged";
        EXPECT_EQ(delegate->QueryText(text), 0u);
        EXPECT_EQ(text, u"?");
        text = u"unchanged";
        EXPECT_EQ(delegate->QueryOtherText(text), 0u);
        EXPECT_EQ(text, u"?");
        delegate->OnBeforeSceneRender(0x9000, 0x80000);
        delegate->OnAfterSceneRender(0x9000, 0x80000);
        delegate->AddProfileOverlay();
        delegate->StartEntityScript(nullptr);
        EXPECT_TRUE(base.OnDistributionClose());
    }
    // The base lets everything go on: every question but these three answers yes.
    GameDelegate& d = base;
    EXPECT_FALSE(d.IsGameRunning() || d.IsAnalyticsEnabled() || d.UnloadsResourcesOnDeactivate());
    const std::vector<bool> answers = {
        d.IsReadyToClose(), d.UsesFixedTick(), d.CanSleep(), d.OnAfterInit(), d.OnQuit(), d.OnClose(),
        d.OnAfterClose(), d.CanSwitchScene("s"), d.OnSwitchScene("s"), d.OnSwitchSceneAfterNetEntitiesDestroyed(),
        d.OnDuringSwitchScene(), d.OnAfterSwitchScene(), d.OnAppActivate(1), d.OnAppDeactivate(0),
        d.OnCancelCurrentGame(), d.OnGameCenterMatchingCompleted(false), d.OnMultiplayerRoomCreated(),
        d.OnMultiplayerRoomJoined(), d.OnBigFrameTick(), d.OnTick(), d.OnSmoothTick(), d.OnAfterTick(),
        d.OnPauseTick(), d.OnTickInput(), d.OnInputEvent(1, 2), d.OnInputConfigChanged(),
        d.OnScreenResolutionChanged(), d.OnBackPressed(), d.OnXBoxLiveLoginFinished(), d.OnChatMessage(false, 0, u"x"),
        d.OnLobbyUpdated(), d.OnLobbyJoinRequested(), d.OnLobbyGameStartRequest(1, 2, true, false), d.OnLobbyError(3),
        d.OnGameHosted(1), d.OnGameJoined(1), d.OnGameDisconnected(1), d.OnPlayerConnecting(),
        d.OnPlayerConnected(nullptr), d.OnPlayerReady(nullptr), d.OnPlayerDisconnected(nullptr, 0),
        d.OnPlayerConnectionStall(nullptr), d.OnPlayerConnectionResume(nullptr),
        d.OnReplicatedPropertiesArrived(nullptr), d.OnReplicatedMethodArrived(0, nullptr, 0), d.OnTornOff(nullptr)};
    EXPECT_EQ(answers, std::vector<bool>(answers.size(), true));
}

TEST(GameDelegateHooksTest, CounterTestHoldsOnlyOnMultiplesOfAHundred)
{
    // The counter starts at 1: the first answer is false and draws a new value; once a drawn value
    // is a multiple of 100 the answer stays true, since the counter is then left alone.
    GameDelegate delegate;
    EXPECT_FALSE(delegate.PassesCounterTest());
    int falses = 1;
    while (falses < 1000000 && !delegate.PassesCounterTest())
        ++falses;
    ASSERT_LT(falses, 1000000);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(delegate.PassesCounterTest());
}
