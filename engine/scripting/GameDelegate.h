// Game delegates: the event hooks through which the Game and the engine tell the game what happens
// (life cycle, ticks, input, scene switches, activation, lobby and multiplayer events).
//
// GameDelegate gives every hook a neutral default. LuaGameDelegate adds the two ways of calling a
// script method of the hook's name: the Game form (class "Game", self = gGame) and the own form
// (the delegate's script class, self = the delegate). TSRLuaGameDelegate forwards the hooks to
// scripts; the game layer derives PCMacGameDelegate and TessarineGameDelegate from it.
// A failing script hook is only logged by the Lua wrapper; the engine goes on. Main thread only.
#pragma once

#include <cstdint>
#include <string>

class Entity;
class LuaBaseClass;
class NameString;
class Player;
struct Vector;
class GameDelegateProfilesModule;
struct ScriptReplicatedArgument;
template <typename T>
class DynarraySafe;

// The neutral hooks; see the design comment above.
class GameDelegate
{
public:
    GameDelegate() = default;
    virtual ~GameDelegate();
    GameDelegate(const GameDelegate&) = delete;
    GameDelegate& operator=(const GameDelegate&) = delete;

    virtual void OnBeforeDeviceChange() {}
    virtual void OnAfterDeviceChange() {}
    // An entity's script method runs only while this answers true.
    virtual bool IsGameRunning() { return false; }
    // Game::Close waits (up to 10 s) until this answers true.
    virtual bool IsReadyToClose() { return true; }
    virtual bool IsAnalyticsEnabled() { return false; }
    // The frame runs whole logic ticks while this answers true.
    virtual bool UsesFixedTick() { return true; }
    virtual bool CanSleep() { return true; }
    // Game::Init, before OnInit (and before the scene's OnInit passes): the start-up scripts define
    // what OnInit then calls.
    virtual void RunStartupScripts() {}

    virtual bool OnInit();
    virtual bool OnAfterInit() { return true; }
    virtual bool OnQuit() { return true; }
    virtual bool OnClose() { return true; }
    virtual bool OnAfterClose() { return true; }

    // Game::SwitchScene drops the request when this answers false.
    virtual bool CanSwitchScene(const char* sceneName)
    {
        (void)sceneName;
        return true;
    }
    virtual bool OnSwitchScene(const char* sceneName)
    {
        (void)sceneName;
        return true;
    }
    virtual bool OnSwitchSceneAfterNetEntitiesDestroyed() { return true; }
    virtual bool OnDuringSwitchScene() { return true; }
    virtual bool OnAfterSwitchScene() { return true; }
    virtual void OnAfterFirstScene() {}
    virtual void OnAfterSwitchComplete() {}
    virtual bool OnAppActivate(int32_t value)
    {
        (void)value;
        return true;
    }
    virtual bool OnAppDeactivate(int32_t value)
    {
        (void)value;
        return true;
    }
    // Game::Deactivate unloads the resources when this answers true.
    virtual bool UnloadsResourcesOnDeactivate() { return false; }

    virtual bool OnCancelCurrentGame() { return true; }
    virtual bool OnGameCenterMatchingCompleted(bool success)
    {
        (void)success;
        return true;
    }
    virtual bool OnMultiplayerRoomCreated() { return true; }
    virtual bool OnMultiplayerRoomJoined() { return true; }
    // Each new entity, and every entity at scene start-up, has its script started here.
    virtual void StartEntityScript(Entity* entity) { (void)entity; }
    virtual bool OnBigFrameTick() { return true; }
    virtual void OnEndOfFrame() {}
    virtual bool OnTick() { return true; }
    virtual bool OnSmoothTick() { return true; }
    virtual bool OnAfterTick() { return true; }
    virtual bool OnPauseTick() { return true; }
    virtual bool OnTickInput() { return true; }
    virtual bool OnInputEvent(int32_t event, uint32_t value)
    {
        (void)event;
        (void)value;
        return true;
    }
    virtual bool OnInputConfigChanged() { return true; }
    // Would append the profile overlay and its screen to the UI screen stack; no overlay exists in
    // this build, so there is nothing to add.
    virtual void AddProfileOverlay() {}
    virtual bool OnScreenResolutionChanged() { return true; }
    virtual void OnPostRender() {}
    virtual void OnOverlay() {}
    // LUAConfigHelper::SaveConfig, after the configuration was written.
    virtual void OnConfigSaved() {}
    // The next start-up script hook opens the script packages again.
    virtual void ReopenScriptPackages() {}
    virtual bool OnBackPressed() { return true; }
    virtual bool OnXBoxLiveLoginFinished() { return true; }
    virtual void OnBeforeRendererSetup() {}
    // Render thread: the renderer's targets were made (render-target and back-buffer sizes), or
    // released before a reset or shutdown.
    virtual void OnRenderTargetsCreated(uint32_t renderWidth, uint32_t renderHeight, uint32_t backBufferWidth,
                                        uint32_t backBufferHeight)
    {
        (void)renderWidth;
        (void)renderHeight;
        (void)backBufferWidth;
        (void)backBufferHeight;
    }
    virtual void OnRenderTargetsReleased() {}
    // Render thread, inside gathered scene rendering: before and after the deferred scene passes,
    // after the "Normals" pass and after the "Compose" pass.
    virtual void OnBeforeScenePasses() {}
    virtual void OnAfterScenePasses() {}
    virtual void OnAfterNormalsPass() {}
    virtual void OnAfterComposePass() {}
    // Render thread, from the post-processing composite: the scene set's four custom colours, which
    // the delegate may change before they are uploaded.
    virtual void OnPostProcessColors(Vector* colors4) { (void)colors4; }

    virtual bool OnChatMessage(bool flag, int32_t value, const char16_t* text)
    {
        (void)flag;
        (void)value;
        (void)text;
        return true;
    }
    virtual bool OnLobbyUpdated() { return true; }
    virtual bool OnLobbyJoinRequested() { return true; }
    virtual bool OnLobbyGameStartRequest(uint32_t a, int32_t b, bool c, bool d)
    {
        (void)a;
        (void)b;
        (void)c;
        (void)d;
        return true;
    }
    virtual bool OnLobbyError(int32_t code)
    {
        (void)code;
        return true;
    }
    virtual void OnMainMenuEntered() {}
    virtual void OnMainMenuLeft() {}
    virtual void OnAfterMainMenuSceneLoaded() {}
    virtual void OnBeforeMainMenuSceneUnloaded() {}

    // The distribution tool's start-up, in place of RunStartupScripts.
    virtual void RunDistributionStartup(int32_t a, int32_t b)
    {
        (void)a;
        (void)b;
    }
    // The second hook scripts see as "OnClose" (after the distribution start-up).
    virtual bool OnDistributionClose() { return true; }
    virtual void ReportCommonResources(const char* sceneName, DynarraySafe<NameString>& list)
    {
        (void)sceneName;
        (void)list;
    }
    virtual void ReportLocalSceneResources(const char* sceneName, DynarraySafe<NameString>& list)
    {
        (void)sceneName;
        (void)list;
    }

    // Runs a store request over a store made from the data the Game read at start; false when the
    // project has no store data.
    virtual bool OpenInGameStore(uint32_t request, uint32_t argument);
    // Asked before a sequence action starts a sequence; non-zero means the delegate handled it.
    virtual uint32_t StartSequenceOverride(const char* sequenceName, bool gameplayTime)
    {
        (void)sequenceName;
        (void)gameplayTime;
        return 0;
    }
    // True while a process-wide counter (1 at start) is a multiple of 100; otherwise the counter
    // takes a new random value and the answer is false.
    virtual bool PassesCounterTest();
    // Two text queries: each sets its output to "?" and answers 0.
    virtual uint32_t QueryText(std::u16string& out)
    {
        out = u"?";
        return 0;
    }
    virtual uint32_t QueryOtherText(std::u16string& out)
    {
        out = u"?";
        return 0;
    }

    virtual bool OnGameHosted(int32_t value)
    {
        (void)value;
        return true;
    }
    virtual bool OnGameJoined(int32_t value)
    {
        (void)value;
        return true;
    }
    virtual bool OnGameDisconnected(int32_t value)
    {
        (void)value;
        return true;
    }
    virtual bool OnPlayerConnecting() { return true; }
    virtual bool OnPlayerConnected(Player* player)
    {
        (void)player;
        return true;
    }
    virtual bool OnPlayerReady(Player* player)
    {
        (void)player;
        return true;
    }
    virtual bool OnPlayerDisconnected(Player* player, uint32_t reason)
    {
        (void)player;
        (void)reason;
        return true;
    }
    virtual bool OnPlayerConnectionStall(Player* player)
    {
        (void)player;
        return true;
    }
    virtual bool OnPlayerConnectionResume(Player* player)
    {
        (void)player;
        return true;
    }
    virtual bool OnReplicatedPropertiesArrived(Entity* entity)
    {
        (void)entity;
        return true;
    }
    virtual bool OnReplicatedMethodArrived(uint32_t functionId, const ScriptReplicatedArgument* arguments,
                                           uint32_t argumentCount)
    {
        (void)functionId;
        (void)arguments;
        (void)argumentCount;
        return true;
    }
    virtual bool OnTornOff(LuaBaseClass* object)
    {
        (void)object;
        return true;
    }
    // Around the main scene pass of Game::Render: its pass flags and outline flag.
    virtual void OnBeforeSceneRender(uint32_t passFlags, uint32_t outlineFlag)
    {
        (void)passFlags;
        (void)outlineFlag;
    }
    virtual void OnAfterSceneRender(uint32_t passFlags, uint32_t outlineFlag)
    {
        (void)passFlags;
        (void)outlineFlag;
    }

    // Factory of the gamer-profile module; the base delegate gives none.
    virtual GameDelegateProfilesModule* CreateProfilesModule() { return nullptr; }
    GameDelegateProfilesModule* GetProfilesModule() const { return m_profilesModule; }

private:
    GameDelegateProfilesModule* m_profilesModule = nullptr;
};
