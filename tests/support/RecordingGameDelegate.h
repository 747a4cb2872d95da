// A game delegate that records the hooks the Game calls, in order, with switches for the answers
// the Game asks of it. Test thread only.
#pragma once

#include "engine/scripting/GameDelegate.h"
#include "platform/os/Clock.h"

#include <string>
#include <vector>

class RecordingGameDelegate : public GameDelegate
{
public:
    std::vector<std::string> calls;
    bool analytics = false;
    bool fixedTick = true;
    bool canSleep = true;
    bool unloadsResources = false;
    bool allowSwitch = true;
    bool bigFrameTick = true;
    bool readyToClose = true;
    // Hook names that are not recorded (the per-frame ones by default).
    std::vector<std::string> quiet = {"OnTickInput", "OnEndOfFrame", "OnSmoothTick", "OnBigFrameTick",
                                      "OnAfterTick", "OnTick", "IsReadyToClose", "OnPauseTick"};
    int ticks = 0;
    // Manual-counter ticks each OnTick takes.
    int64_t tickDuration = 0;
    int smoothTicks = 0;
    int pauseTicks = 0;
    int readyQueries = 0;
    std::vector<Entity*> scriptsStarted;
    std::string deviceChanges;

    size_t Count(const std::string& name) const
    {
        size_t count = 0;
        for (const std::string& call : calls)
            count += call == name;
        return count;
    }
    // The recorded calls joined with ";".
    std::string Joined() const
    {
        std::string text;
        for (const std::string& call : calls)
            text += call + ";";
        return text;
    }

    bool IsReadyToClose() override
    {
        ++readyQueries;
        Record("IsReadyToClose");
        return readyToClose;
    }
    bool IsAnalyticsEnabled() override { return analytics; }
    bool UsesFixedTick() override { return fixedTick; }
    bool CanSleep() override { return canSleep; }
    bool UnloadsResourcesOnDeactivate() override { return unloadsResources; }
    void RunStartupScripts() override { Record("RunStartupScripts"); }
    void StartEntityScript(Entity* entity) override { scriptsStarted.push_back(entity); }
    void OnBeforeDeviceChange() override { deviceChanges += "before;"; }
    void OnAfterDeviceChange() override { deviceChanges += "after;"; }
    bool OnInit() override
    {
        Record("OnInit");
        return GameDelegate::OnInit();
    }
    bool OnAfterInit() override { return Record("OnAfterInit"); }
    void OnBeforeRendererSetup() override { Record("OnBeforeRendererSetup"); }
    bool OnQuit() override { return Record("OnQuit"); }
    bool OnClose() override { return Record("OnClose"); }
    bool OnAfterClose() override { return Record("OnAfterClose"); }
    bool CanSwitchScene(const char* sceneName) override
    {
        Record(std::string("CanSwitchScene:") + sceneName);
        return allowSwitch;
    }
    bool OnSwitchScene(const char* sceneName) override { return Record(std::string("OnSwitchScene:") + sceneName); }
    bool OnSwitchSceneAfterNetEntitiesDestroyed() override { return Record("OnSwitchSceneAfterNetEntitiesDestroyed"); }
    bool OnDuringSwitchScene() override { return Record("OnDuringSwitchScene"); }
    bool OnAfterSwitchScene() override { return Record("OnAfterSwitchScene"); }
    void OnAfterFirstScene() override { Record("OnAfterFirstScene"); }
    void OnAfterSwitchComplete() override { Record("OnAfterSwitchComplete"); }
    bool OnAppActivate(int32_t value) override { return Record("OnAppActivate:" + std::to_string(value)); }
    bool OnAppDeactivate(int32_t value) override { return Record("OnAppDeactivate:" + std::to_string(value)); }
    bool OnBigFrameTick() override
    {
        Record("OnBigFrameTick");
        return bigFrameTick;
    }
    bool OnTick() override
    {
        ++ticks;
        os::AdvanceManualCounter(tickDuration);
        return Record("OnTick");
    }
    bool OnSmoothTick() override
    {
        ++smoothTicks;
        return Record("OnSmoothTick");
    }
    bool OnPauseTick() override
    {
        ++pauseTicks;
        return Record("OnPauseTick");
    }
    bool OnAfterTick() override { return Record("OnAfterTick"); }
    void OnEndOfFrame() override { Record("OnEndOfFrame"); }
    bool OnTickInput() override { return Record("OnTickInput"); }
    bool OnInputEvent(int32_t event, uint32_t value) override
    {
        return Record("OnInputEvent:" + std::to_string(event) + ":" + std::to_string(value));
    }
    bool OnScreenResolutionChanged() override { return Record("OnScreenResolutionChanged"); }
    bool OnInputConfigChanged() override { return Record("OnInputConfigChanged"); }
    void OnConfigSaved() override { Record("OnConfigSaved"); }
    void OnBeforeSceneRender(uint32_t passFlags, uint32_t) override
    {
        Record("OnBeforeSceneRender:" + std::to_string(passFlags));
    }
    void OnAfterSceneRender(uint32_t passFlags, uint32_t) override
    {
        Record("OnAfterSceneRender:" + std::to_string(passFlags));
    }
    void OnPostRender() override { Record("OnPostRender"); }
    void OnRenderTargetsCreated(uint32_t rw, uint32_t rh, uint32_t bw, uint32_t bh) override
    {
        Record("OnRenderTargetsCreated:" + std::to_string(rw) + "x" + std::to_string(rh) + "/" + std::to_string(bw) +
               "x" + std::to_string(bh));
    }
    void OnRenderTargetsReleased() override { Record("OnRenderTargetsReleased"); }
    void OnOverlay() override { Record("OnOverlay"); }
    void OnMainMenuEntered() override { Record("OnMainMenuEntered"); }
    void OnMainMenuLeft() override { Record("OnMainMenuLeft"); }
    void OnAfterMainMenuSceneLoaded() override { Record("OnAfterMainMenuSceneLoaded"); }
    void OnBeforeMainMenuSceneUnloaded() override { Record("OnBeforeMainMenuSceneUnloaded"); }

private:
    bool Record(const std::string& name)
    {
        const std::string hook = name.substr(0, name.find(':'));
        for (const std::string& skip : quiet)
            if (skip == hook)
                return true;
        calls.push_back(name);
        return true;
    }
};
