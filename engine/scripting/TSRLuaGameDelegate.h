// The script delegate: forwards each hook to the script method of the same name. Main thread only.
#pragma once

#include "engine/scripting/LuaGameDelegate.h"

// Script class "TSRGameDelegate"; the game layer derives its own delegates from it.
class TSRLuaGameDelegate : public LuaGameDelegate
{
public:
    const char* GetScriptClassName() const override { return "TSRGameDelegate"; }

    bool IsGameRunning() override { return true; }
    bool CanSleep() override;
    void RunStartupScripts() override;

    bool OnInit() override;
    bool OnAfterInit() override { return CallGameForm("OnAfterInit"); }
    bool OnQuit() override { return CallOwnForm("OnQuit"); }
    bool OnClose() override { return CallGameForm("OnClose"); }
    bool OnAfterClose() override { return CallGameForm("OnAfterClose"); }
    bool OnDistributionClose() override { return CallGameForm("OnClose"); }

    bool OnSwitchScene(const char* sceneName) override;
    bool OnSwitchSceneAfterNetEntitiesDestroyed() override
    {
        return CallGameForm("OnSwitchSceneAfterNetEntitiesDestroyed");
    }
    bool OnDuringSwitchScene() override { return CallGameForm("OnDuringSwitchScene"); }
    bool OnAfterSwitchScene() override { return CallGameForm("OnAfterSwitchScene"); }
    bool OnAppActivate(int32_t) override { return CallGameForm("OnAppActivate"); }
    bool OnAppDeactivate(int32_t) override { return CallGameForm("OnAppDeactivate"); }

    bool OnCancelCurrentGame() override { return CallOwnForm("OnCancelCurrentGame"); }
    bool OnGameCenterMatchingCompleted(bool success) override;
    bool OnMultiplayerRoomCreated() override { return CallOwnForm("OnMultiplayerRoomCreated"); }
    bool OnMultiplayerRoomJoined() override { return CallOwnForm("OnMultiplayerRoomJoined"); }

    bool OnBigFrameTick() override;
    bool OnTick() override;
    bool OnSmoothTick() override { return CallOwnForm("OnSmoothTick"); }
    bool OnAfterTick() override;
    bool OnPauseTick() override { return CallOwnForm("OnPauseTick"); }
    bool OnTickInput() override { return CallOwnForm("OnTickInput"); }
    bool OnInputEvent(int32_t event, uint32_t value) override;
    bool OnInputConfigChanged() override { return CallGameForm("OnInputConfigChanged"); }
    bool OnScreenResolutionChanged() override { return CallGameForm("OnScreenResolutionChanged"); }
    void ReopenScriptPackages() override { m_scriptPackagesOpened = false; }
    bool OnBackPressed() override { return CallGameForm("OnBackPressed"); }
    bool OnXBoxLiveLoginFinished() override { return CallGameForm("OnXBoxLiveLoginFinished"); }

    bool OnChatMessage(bool flag, int32_t value, const char16_t* text) override;
    bool OnLobbyUpdated() override { return CallOwnForm("OnLobbyUpdated"); }
    bool OnLobbyJoinRequested() override { return CallOwnForm("OnLobbyJoinRequested"); }
    bool OnLobbyGameStartRequest(uint32_t a, int32_t b, bool c, bool d) override;
    bool OnLobbyError(int32_t code) override;

    void RunDistributionStartup(int32_t a, int32_t b) override;
    void ReportCommonResources(const char* sceneName, DynarraySafe<NameString>& list) override;
    void ReportLocalSceneResources(const char* sceneName, DynarraySafe<NameString>& list) override;

    bool OnGameHosted(int32_t value) override { return CallWithInt("OnGameHosted", value); }
    bool OnGameJoined(int32_t value) override { return CallWithInt("OnGameJoined", value); }
    bool OnGameDisconnected(int32_t value) override { return CallWithInt("OnGameDisconnected", value); }
    bool OnPlayerConnecting() override;
    bool OnPlayerConnected(Player* player) override { return CallWithPlayer("OnPlayerConnected", player); }
    bool OnPlayerReady(Player* player) override { return CallWithPlayer("OnPlayerReady", player); }
    bool OnPlayerDisconnected(Player* player, uint32_t reason) override;
    bool OnPlayerConnectionStall(Player* player) override
    {
        return CallWithPlayer("OnPlayerConnectionStall", player);
    }
    bool OnPlayerConnectionResume(Player* player) override
    {
        return CallWithPlayer("OnPlayerConnectionResume", player);
    }
    bool OnReplicatedPropertiesArrived(Entity* entity) override;
    bool OnReplicatedMethodArrived(uint32_t functionId, const ScriptReplicatedArgument* arguments,
                                   uint32_t argumentCount) override;
    bool OnTornOff(LuaBaseClass* object) override;

    // Runs the current scene's script (its variant's, outside the main menu).
    virtual void RunSceneScript();
    // Opens the script packages and publishes the delegate as "gGameDelegate".
    virtual void PublishScriptObjects() = 0;
    // Once per process, before the first start-up scripts.
    virtual void OnFirstStartup() = 0;

private:
    bool CallWithInt(const char* method, int32_t value);
    bool CallWithPlayer(const char* method, Player* player);
    void PublishOnce();

    bool m_scriptPackagesOpened = false;
};
