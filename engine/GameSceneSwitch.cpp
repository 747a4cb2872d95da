// Scene switching and app activation. Main thread only.
//
// A switch is requested at any time and carried out at the start of the next Update, under the
// loading screen: the old scene goes, the new scene's lightmaps, resources, optimised templates and
// binary scene load, the delegate hears of each stage and the clocks restart. Activation follows
// the window focus and pauses or resumes the sound side and the taps.
#include "engine/Game.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundPauseSwitch.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystemTimes.h"
#include "core/time/Time.h"
#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/TriggerOccupancy.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/TemplateManager.h"
#include "ui/screens/UIScreen.h"

#include <algorithm>

namespace
{
constexpr uint32_t kFadeSleepMs = 300;
constexpr float kFadeSeconds = 0.2f;
constexpr uint32_t kSceneLoadFlags = BinarySceneReader::kApplyNavigationGrid | BinarySceneReader::kReadSequences |
                                     BinarySceneReader::kSceneAlreadyStarted;
constexpr uint32_t kSemaphoreWaitStepMs = 100;
constexpr uint32_t kReloadAll = 1;
constexpr uint32_t kUnloadAll = 1;

NorvexRenderer* OpenRenderer()
{
    return gRenderer != nullptr && gRenderer->IsStreamOpen() ? gRenderer : nullptr;
}

ResourceManager* RunningResourceManager()
{
    return gResourceManager != nullptr && gResourceManager->IsInitialised() ? gResourceManager : nullptr;
}

void SubmitRenderer(bool sync)
{
    if (NorvexRenderer* const renderer = OpenRenderer())
        renderer->SubmitCommands(sync);
}

void FlushResourceThread()
{
    if (ResourceManager* const resources = RunningResourceManager())
    {
        // The resource thread may wait on the renderer: everything written goes first.
        SubmitRenderer(false);
        resources->Flush();
    }
}

void SetRendererLoadingScreen(UIScreen* screen, uint8_t option)
{
    if (NorvexRenderer* const renderer = OpenRenderer())
        renderer->SetLoadingScreen(screen, 1, option);
}

bool SoundThreadRuns()
{
    return gSoundEngine != nullptr && gSoundEngine->IsRunning();
}

double SecondsSince(const Time& start)
{
    return (Time::Now() - start).ToSeconds();
}
} // namespace

void Game::SwitchScene(const char* sceneName, uint8_t flags, uint8_t variation, os::Semaphore* semaphore)
{
    if (variation != kNoVariation)
    {
        const int32_t count = gProjectConfig.m_sceneVariations.Count();
        variation = count == 0 ? kNoVariation : uint8_t(std::min<int32_t>(variation, count - 1));
    }
    // A refused request leaves the earlier one as it was: freeing its name first would leave a
    // pending switch to no scene.
    if (m_delegate != nullptr && !m_delegate->CanSwitchScene(sceneName != nullptr ? sceneName : ""))
        return;
    if (sceneName != nullptr && sceneName[0] != '\0')
        m_pendingSceneName = std::string(sceneName);
    else
        m_pendingSceneName.reset();
    m_switchFlags = flags;
    m_sceneVariation = variation;
    m_switchSemaphore = semaphore;
    m_switchPending = true;
}

bool Game::IsLastSwitchedSceneEqual(const char* name) const
{
    const bool nameEmpty = name == nullptr || name[0] == '\0';
    if (!m_lastSwitchedScene || m_lastSwitchedScene->empty())
        return nameEmpty;
    return !nameEmpty && *m_lastSwitchedScene == name;
}

void Game::ProcessPendingSceneSwitch()
{
    if (!m_switchPending)
    {
        m_switchFlags = 0;
        m_sceneVariation = kNoVariation;
        return;
    }
    gSceneSwitchInProgress = true;
    m_firstSceneSwitched = true;
    const Time start = Time::Now();
    // A request without a name switches to an empty scene: every step takes "" for it.
    const std::string sceneName = m_pendingSceneName.value_or(std::string());
    const char* const name = sceneName.c_str();

    if (m_delegate != nullptr)
        m_delegate->OnSwitchScene(name);
    m_entityLists.FireDueEntityCalls(true, gEngineClock.GetRealTime());
    gEntityManager.ClearReplicationMarks();
    if (m_delegate != nullptr)
        m_delegate->OnSwitchSceneAfterNetEntitiesDestroyed();

    SetRendererLoadingScreen(m_loadingScreen.Get(), m_loadingScreenOption);
    m_currentVariation = m_sceneVariation;

    if (gEntityManager.IsInitialized())
        gEntityManager.NewScene();
    TriggerOccupancy::ClearPendingEntities();
    gLua.CollectGarbage(true);
    gSceneEnvironment.LoadLightmaps(sceneName.empty() ? nullptr : name, m_currentVariation);

    Time stageStart = Time::Now();
    if ((m_switchFlags & SWITCH_KEEP_TEMPLATES) == 0)
        gTemplateManager.UnloadUnusedTemplates();

    uint8_t* sceneBuffer = nullptr;
    int64_t fileTimes[FILESYSTEM_TIME_KIND_COUNT];
    for (uint32_t kind = 0; kind < FILESYSTEM_TIME_KIND_COUNT; ++kind)
        fileTimes[kind] = GetFileSystemTime(FileSystemTimeKind(kind));
    ResourceManager* const resources = RunningResourceManager();
    if (resources != nullptr && !sceneName.empty())
    {
        SubmitRenderer(false);
        resources->PostPreloadResourceList(name, "ResList", "scenes");
        resources->PostReadFile(&sceneBuffer, name, "BinaryScene", "scenes");
        FlushResourceThread();
    }
    double fileSeconds[FILESYSTEM_TIME_KIND_COUNT];
    for (uint32_t kind = 0; kind < FILESYSTEM_TIME_KIND_COUNT; ++kind)
        fileSeconds[kind] = FileSystemTimeSeconds(fileTimes[kind], GetFileSystemTime(FileSystemTimeKind(kind)));
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE,
                    "Resource preloaded in %f sec. Decompression time: %f, wait for read time: %f, read time: %f",
                    SecondsSince(stageStart), fileSeconds[FILESYSTEM_TIME_DECOMPRESSION],
                    fileSeconds[FILESYSTEM_TIME_READ_WAIT], fileSeconds[FILESYSTEM_TIME_READ]);

    if (sceneBuffer != nullptr)
    {
        stageStart = Time::Now();
        gTemplateManager.LoadOptimizedTemplates(name, "scenes", uint8_t(m_currentVariation));
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Optimized templates loaded in %f sec",
                        SecondsSince(stageStart));
        stageStart = Time::Now();
        BinarySceneReader::LoadBinarySceneFile(name, "scenes", kSceneLoadFlags, 0, uint8_t(m_currentVariation));
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Scene deserialized in %f sec", SecondsSince(stageStart));
        delete[] sceneBuffer;
    }
    gEntityManager.SetSceneName(name);
    SetCurrentScene(name);
    m_sceneVariants = gProjectConfig.m_sceneVariations;
    m_sceneVariantIndex = m_currentVariation == kNoVariation ? -1 : int32_t(m_currentVariation);

    for (GameTimer* timer : {&m_gameTimer, &m_gameplayTimer, &m_smoothGameTimer, &m_smoothGameplayTimer})
        timer->ResetTime(0);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Scene data loaded in %f seconds (%f since program start)",
                    SecondsSince(start), Time::Now().ToSeconds());

    if (m_delegate != nullptr)
        m_delegate->OnDuringSwitchScene();
    m_entityLists.InitSceneEntities();
    if (m_delegate != nullptr)
        m_delegate->OnAfterSwitchScene();

    SubmitRenderer(false);
    FlushResourceThread();
    m_entityLists.FireDueEntityCalls(true, gEngineClock.GetRealTime());
    gLua.CollectGarbage(false);

    bool hideLoadingScreen = (m_switchFlags & SWITCH_KEEP_LOADING_SCREEN) == 0;
    if (m_switchSemaphore != nullptr)
        WaitForSwitchSemaphore(hideLoadingScreen);

    if (m_cameraController != nullptr)
        m_cameraController->Update();
    if (NorvexRenderer* const renderer = OpenRenderer())
    {
        FrameClock engineClock;
        engineClock.accumulatedCounter = uint64_t(gEngineTimer.GetTicks());
        engineClock.lastStepSeconds = gEngineTimer.GetLastStepSeconds();
        renderer->SetFrameTimes(engineClock, FrameClock::Of(m_smoothGameTimer), FrameClock::Of(m_smoothGameplayTimer),
                                0);
    }
    if (hideLoadingScreen)
        HideLoadingScreen(true);

    if (m_delegate != nullptr)
    {
        if (m_firstSceneSwitched && !m_afterFirstSceneNotified)
        {
            m_afterFirstSceneNotified = true;
            m_delegate->OnAfterFirstScene();
        }
        m_delegate->OnAfterSwitchComplete();
    }

    m_gameTimer.ResetTime(0);
    m_gameplayTimer.ResetTime(0);
    m_switchPending = false;
    m_lastSwitchedScene = sceneName;
    m_pendingSceneName.reset();
    m_switchSemaphore = nullptr;
    RestartFrameClock();
    m_tickCount = 0;
    m_frameCount = 0;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Scene switched in %f seconds (%f since program start)",
                    SecondsSince(start), Time::Now().ToSeconds());
    gSceneSwitchInProgress = false;
    m_switchFlags = 0;
    m_sceneVariation = kNoVariation;
}

void Game::WaitForSwitchSemaphore(bool& hideLoadingScreen)
{
    os::Semaphore* const semaphore = m_switchSemaphore;
    const bool waitFirst = (m_switchFlags & SWITCH_WAIT_BEFORE_HIDING) != 0;
    if (!waitFirst && m_loadingScreen && hideLoadingScreen)
    {
        if (semaphore->Wait(0))
        {
            hideLoadingScreen = true;
            return;
        }
        HideLoadingScreen(true);
        hideLoadingScreen = false;
    }
    // Only another party can signal it, and it may need this thread's render commands or never
    // come: everything written is handed over first and the wait is bounded.
    SubmitRenderer(false);
    uint32_t waited = 0;
    bool signalled = false;
    while (!signalled && waited < m_switchWaitLimitMs)
    {
        const uint32_t step = std::min(kSemaphoreWaitStepMs, m_switchWaitLimitMs - waited);
        signalled = semaphore->Wait(step);
        waited += step;
    }
    if (!signalled)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Scene switch: the switch semaphore was not signalled within %u ms",
                         m_switchWaitLimitMs);
    if (waitFirst)
        if (NorvexRenderer* const renderer = OpenRenderer())
            renderer->SetHoldFlag(1);
}

void Game::HideLoadingScreen(bool fade)
{
    UIScreen* const screen = m_loadingScreen.Get();
    const bool fades = fade && screen != nullptr && screen->FadesOut();
    if (fades)
    {
        screen->RemoveAllActions(-1);
        screen->ChangeColorRGBA(kFadeSeconds, 1.0f, 1.0f, 1.0f, 0.0f, 0, 0);
        SubmitRenderer(false);
        os::Sleep(kFadeSleepMs);
    }
    SetRendererLoadingScreen(nullptr, 0);
}

void Game::ReloadUnloadedResources()
{
    if (!m_resourcesUnloaded)
        return;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Loading unloaded resources");
    if (UIScreen* const screen = m_loadingScreen.Get())
    {
        screen->RemoveAllActions(-1);
        screen->SetColorRGBA(1.0f, 1.0f, 1.0f, 1.0f);
        SetRendererLoadingScreen(screen, m_loadingScreenOption);
    }
    if (ResourceManager* const resources = RunningResourceManager())
        resources->PostReloadResources(kReloadAll, true);
    m_resourcesUnloaded = false;
    HideLoadingScreen(true);
}

void Game::Activate(bool suspend)
{
    if (suspend)
    {
        if (!m_suspended)
            return;
        m_suspended = false;
        if (!m_deactivated)
            ReloadUnloadedResources();
        if (m_delegate != nullptr)
            m_delegate->OnAppActivate(1);
        return;
    }
    if (!m_deactivated)
        return;
    m_deactivated = false;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Activating the app");
    if (SoundThreadRuns())
    {
        gSoundEngine->ResumeAfterActivation();
        gSoundEngine->FadeMasterVolume(1.0f, 1.0f, 0);
        gSoundEngine->SetIdle(false);
    }
    if (!m_suspended)
        ReloadUnloadedResources();
    gSoundPauseSwitch.OnActivate();
    if (m_delegate != nullptr)
        m_delegate->OnAppActivate(0);
}

void Game::Deactivate(bool suspend)
{
    if (!suspend)
    {
        if (!m_deactivated)
        {
            m_deactivated = true;
            gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Deactivating the app");
            gSoundPauseSwitch.OnDeactivate();
            if (SoundThreadRuns())
            {
                gSoundEngine->FadeMasterVolume(0.0f, 1.0f, 0);
                if (CanSleep())
                    gSoundEngine->SetIdle(true);
                gSoundEngine->PauseForDeactivation();
            }
            m_inputManager->EndAllTaps();
            if (m_delegate != nullptr)
                m_delegate->OnAppDeactivate(0);
        }
    }
    else if (!m_suspended)
    {
        m_suspended = true;
        m_inputManager->EndAllTaps();
        if (m_delegate != nullptr)
            m_delegate->OnAppDeactivate(1);
    }

    if (!m_unloadOnDeactivation || m_resourcesUnloaded || m_delegate == nullptr ||
        !m_delegate->UnloadsResourcesOnDeactivate())
        return;
    ResourceManager* const resources = RunningResourceManager();
    if (suspend)
    {
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Unloading resources on deactivation");
        ShowLoadingScreen();
        if (resources != nullptr)
        {
            resources->PostUnloadResourceData(kUnloadAll, true);
            FlushResourceThread();
        }
        SubmitRenderer(true);
        HideLoadingScreen(true);
    }
    else if (resources != nullptr)
        resources->PostUnloadResourceData(kUnloadAll, true);
    m_resourcesUnloaded = true;
}
