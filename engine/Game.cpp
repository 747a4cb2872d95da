#include "engine/Game.h"

#include "audio/sound/SoundEngine.h"
#include "audio/video/VideoEngine.h"
#include "core/console/GameConsole.h"
#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/NorvexEngine.h"
#include "ui/screens/UIGameConsoleScreen.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "gameplay/physics/PhysicsThread.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "online/InGameStore.h"
#include "online/MultiplayerEngine.h"
#include "online/NorvexAnalytics.h"
#include "online/ServerRequestThread.h"
#include "platform/steam/Steam.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/cameras/CameraClocks.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/EntityBlender.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SceneEntity.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "ui/elements/UIElement.h"
#include "ui/screens/UIScreen.h"
#include "ui/text/StringReplacementContainer.h"

Game gGame;
bool gSceneSwitchInProgress = false;
bool gGameExists = false;

namespace
{
NorvexRenderer* OpenRenderer()
{
    return gRenderer != nullptr && gRenderer->IsStreamOpen() ? gRenderer : nullptr;
}

// Publishes the engine to scripts, or clears the global for none.
void PublishMultiplayerEngine(MultiplayerEngine* engine)
{
    if (gLua.GetState() != nullptr && gLua.IsKnownClass("MultiplayerEngine"))
        gLua.RegisterGlobalObject(engine, "MultiplayerEngine", "gMultiplayerEngine");
}
} // namespace

Game::Game() : m_inputManager(std::make_unique<InputManager>(this)) {}

// Close has run in a program that started the game; what is left is memory and the cursor.
Game::~Game()
{
    m_screenStack.Clear(false);
    // Only a game that never closed still holds its console; no render thread runs at exit.
    if (gConsole.GetListener() == &Game::OnConsoleMessage)
        gConsole.SetListener(nullptr);
    delete m_consoleScreen;
    DestroyCursor();
}

void Game::Init(void* window, uint32_t width, uint32_t height, GameDelegate* delegate, const char* const* argv,
                int argc)
{
    gSceneSwitchInProgress = true;
    m_firstSceneSwitched = false;
    m_afterFirstSceneNotified = false;
    m_lastSwitchedScene.reset();
    m_arguments.clear();
    for (int i = 0; argv != nullptr && i < argc; ++i)
        m_arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");

    m_multiplayerEngine = std::make_unique<MultiplayerEngine>();
    m_multiplayerEngine->SetCommandLine(m_arguments);
    if (!m_multiplayerEngine->Start())
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "The multiplayer thread could not be started");
    gMultiplayerEngine = m_multiplayerEngine.get();
    PublishMultiplayerEngine(m_multiplayerEngine.get());

    m_window = window;
    m_screenWidth = width;
    m_screenHeight = height;
    CentreCursor();

    LoadTouchHelper();

    EnableHardwareCursor(false, false);

    m_delegate = delegate;
    if (NorvexRenderer* const renderer = OpenRenderer())
    {
        renderer->SetGameDelegate(delegate);
        uint8_t block[OutlineParams::kRenderBlockBytes];
        gProjectConfig.m_outline.WriteRenderBlock(block);
        renderer->SetOutlineParams(block);
        gProjectConfig.m_uiOutline.WriteRenderBlock(block);
        renderer->SetOutlineParamsB(block);
    }

    if (delegate != nullptr && delegate->IsAnalyticsEnabled())
    {
        m_analyticsStarted = gServerRequestThread.Start();
        if (m_analyticsStarted)
            gNorvexAnalytics.GrowRequestPool();
        else
            gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "The analytics request thread could not be started");
    }

    m_outlineParams = gProjectConfig.m_outline;
    m_renderPassFlags = 0;
    if (EngineConfig* const config = gNorvexEngine.GetConfig(); config != nullptr && OpenRenderer() != nullptr)
        gProfiler.Init(&config->m_inGameProfilers);

    m_screenWidth = width;
    m_screenHeight = height;
    UIScreen::OnResolutionChanged(width, height, true, true);
    m_initialised = true;
    m_quitting = false;

    // Devices left from an earlier start give back what they changed before new ones take over;
    // the keyboard opens through DirectInput, so the interface comes first.
    m_inputManager->Shutdown();
    m_inputManager->InitDirectInput();
    m_inputManager->InitDevices(window);
    // The camera reads the game's clocks from here on, and its blends the frame step.
    gCameraClocks.Install(&m_gameplayTimer, &m_smoothGameTimer, &m_smoothGameplayTimer, &m_frameStep);
    gSceneEnvironment.InstallClocks(&m_smoothGameTimer, &m_smoothGameplayTimer);
    EntityBlender::InstallClock(&m_smoothGameTimer);
    DeleteCameraController();
    m_cameraController = new GameCameraController(width, height);
    ResetAllTimers();
    CreateConsoleScreen();
    m_gameScheduler = std::make_unique<ScriptSchedulerHelper>();
    m_gameplayScheduler = std::make_unique<ScriptSchedulerHelper>();
    gGameExists = true;
    m_inGameStore = InGameStore::CreateFromProject(gProjectConfig);

    if (delegate != nullptr)
        delegate->RunStartupScripts();
    if (gEntityManager.GetSceneRoot() != nullptr)
        gSequenceSystem.EnableAndReset(true);
    if (delegate != nullptr)
        delegate->OnInit();
    m_entityLists.InitSceneEntities();
    if (delegate != nullptr)
        delegate->OnAfterInit();
    m_cameraController->Update();

    ShowLoadingScreen();

    m_gameTimer.ResetTime(0);
    m_gameplayTimer.ResetTime(0);
    RestartFrameClock();
    m_frameCount = 0;
    m_tickCount = 0;
    m_updateCount = 0;
    ResetTimeMultiplier();
    gSceneSwitchInProgress = false;
}

void Game::Close()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Game closing...");
    gDefaultReplacementContainer.Clear(false);
    TurnLoadingScreenOff();
    if (NorvexRenderer* const renderer = OpenRenderer())
        renderer->SubmitCommands(false);

    const Time waitStart = Time::Now();
    while (m_delegate != nullptr && !m_delegate->IsReadyToClose() &&
           (Time::Now() - waitStart).ToSeconds() < kCloseWaitSeconds)
        steam::RunCallbacks();

    gSequenceSystem.StopAllSequences(true);
    if (m_initialised)
    {
        if (m_delegate != nullptr)
            m_delegate->OnClose();
        m_inputManager->Shutdown();
    }

    SceneParametersEntity::DeactivateOverrideParams();
    m_entityLists.FireDueEntityCalls(true, gEngineClock.GetRealTime());
    m_window = nullptr;

    if (gSoundEngine != nullptr && gSoundEngine->IsRunning())
    {
        gSoundEngine->StopSound(kAllSoundInstances, 0.8f, nullptr);
        gSoundEngine->SetChannelFrequencyRatio(kAllSoundChannels, 1.0f, 3.0f, 0);
    }
    if (gVideoEngine != nullptr)
        gVideoEngine->Stop();

    // Unpublished before it goes: every entity that dies below asks the global, which is null by then.
    PublishMultiplayerEngine(nullptr);
    gMultiplayerEngine = nullptr;
    m_multiplayerEngine.reset();

    if (gEntityManager.IsInitialized())
        gEntityManager.NewScene();
    TriggerOccupancyTracker::ClearPendingList();
    DisableUIMemoryGuard();

    if (m_initialised)
    {
        if (m_delegate != nullptr)
            m_delegate->OnAfterClose();
        m_initialised = false;
    }

    m_entityLists.Clear();
    DeleteCameraController();
    gCameraClocks.Uninstall();
    gSceneEnvironment.InstallClocks(nullptr, nullptr);
    EntityBlender::InstallClock(nullptr);
    m_inGameStore.reset();
    m_screenStack.Clear(true);
    if (UIScreen* const screen = m_preFSEScreen.Get())
        screen->Release();
    if (UIScreen* const screen = m_loadingScreen.Get())
        screen->Release();
    m_preFSEScreen = nullptr;
    m_loadingScreen = nullptr;
    ReleaseConsoleScreen();
    m_pendingKeyBindCommand.reset();
    m_pendingSceneName.reset();
    m_switchPending = false;
    m_switchFlags = 0;
    m_sceneVariation = kNoVariation;
    m_switchSemaphore = nullptr;
    m_gameScheduler.reset();
    m_gameplayScheduler.reset();

    if (m_analyticsStarted)
    {
        // The thread still hands queued requests back to the pool until it stops.
        gServerRequestThread.Stop();
        gNorvexAnalytics.ClearPool();
    }
    m_analyticsStarted = false;
    PhysicsServices::StopForGameClose();
    FreeTouchHelper();
    if (EngineConfig* const config = gNorvexEngine.GetConfig(); config != nullptr && OpenRenderer() != nullptr)
        gProfiler.Init(&config->m_editorProfilers);

    RestoreSystemCursor();
    DestroyCursor();
    m_cursorFileName.clear();
    // The texture belongs to the resource manager, which the engine closes after the game.
    SetSoftwareCursorTexture(nullptr);
    gGameExists = false;
    // The delegate may die after the close; a later close or entity must not reach it.
    m_delegate = nullptr;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Game closed");
}

void Game::DeleteCameraController()
{
    // A start over a running game makes a new one, so the old one goes here too.
    if (m_cameraController == nullptr)
        return;
    m_cameraController->DeleteAllSubcontrollers();
    delete m_cameraController;
    m_cameraController = nullptr;
}

void Game::SetSize(uint32_t width, uint32_t height, bool silent)
{
    m_requestedWidth = 0;
    m_requestedHeight = 0;
    m_screenWidth = width;
    m_screenHeight = height;
    if (!silent)
    {
        UIScreen::OnResolutionChanged(width, height, true, true);
        if (gResourceManager != nullptr && gResourceManager->IsInitialised())
            gResourceManager->PostCommand(RESOURCE_POOL_FONTS, 0, 0);
    }
    if (m_delegate != nullptr)
        m_delegate->OnScreenResolutionChanged();
}

void Game::RequestScreenResoultionChange(uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0)
        return;
    m_requestedWidth = width;
    m_requestedHeight = height;
}

bool Game::TakeResolutionRequest(uint32_t& width, uint32_t& height)
{
    if (m_requestedWidth == 0 || m_requestedHeight == 0)
        return false;
    width = m_requestedWidth;
    height = m_requestedHeight;
    m_requestedWidth = 0;
    m_requestedHeight = 0;
    return true;
}

void Game::RequestFullScreen(bool value)
{
    m_fullScreenRequested = true;
    m_fullScreenValue = value;
}

bool Game::TakeFullScreenRequest(bool& value)
{
    if (!m_fullScreenRequested)
        return false;
    value = m_fullScreenValue;
    m_fullScreenRequested = false;
    return true;
}

void Game::Quit()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "gGame::Quit");
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_delegate != nullptr)
        m_delegate->OnQuit();
}

bool Game::CanSleep() const
{
    if (!m_allowSleep)
        return false;
    if (m_multiplayerEngine != nullptr && !m_multiplayerEngine->IsIdle())
        return false;
    return m_delegate == nullptr || m_delegate->CanSleep();
}

void Game::SetTimeMultiplier(float target, float durationSeconds, float)
{
    m_timeMultiplier.Start(Time(gEngineTimer.GetTicks()), target, durationSeconds, EASING_LINEAR);
}

float Game::UpdateTimeMultiplier()
{
    m_timeMultiplier.Update(Time(gEngineTimer.GetTicks()));
    return m_timeMultiplier.GetCurrent();
}

void Game::TickTimers(float stepSeconds)
{
    m_gameTimer.Tick(stepSeconds);
    m_gameplayTimer.Tick(stepSeconds);
}

void Game::ResetTimers()
{
    m_gameTimer.Reset();
    m_gameplayTimer.Reset();
}

void Game::ResetAllTimers()
{
    for (GameTimer* timer : {&m_gameTimer, &m_gameplayTimer, &m_smoothGameTimer, &m_smoothGameplayTimer})
        timer->Reset();
}

ScriptSchedulerHelper* Game::SelectScheduler(uint32_t flags, int64_t& nowTicks) const
{
    switch (flags & kSchedulerMask)
    {
    case kGameplayScheduler:
        nowTicks = GetGameplayTimerTicks();
        return m_gameplayScheduler.get();
    case kGlobalScheduler:
        nowTicks = gEngineTimer.GetTicks();
        return &gGlobalScriptScheduler;
    default:
        nowTicks = GetGameTimerTicks();
        return m_gameScheduler.get();
    }
}

void Game::ScheduleScriptCall(const char* text, float delaySeconds, uint32_t flags)
{
    int64_t now = 0;
    ScriptSchedulerHelper* const scheduler = SelectScheduler(flags, now);
    if (scheduler != nullptr)
        scheduler->AddCall(nullptr, text, now, delaySeconds, flags);
}

void Game::DeleteScheduledScriptCalls(const Entity* owner, const char* name)
{
    // All three: a call cancelled in two of them would still run from the third.
    if (m_gameScheduler != nullptr)
        m_gameScheduler->DeleteByName(owner, name);
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->DeleteByName(owner, name);
    gGlobalScriptScheduler.DeleteByName(owner, name);
}

void Game::DeleteScheduledCallbacks(const Entity* owner, uint32_t id)
{
    if (m_gameScheduler != nullptr)
        m_gameScheduler->DeleteByOwnerAndId(owner, id);
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->DeleteByOwnerAndId(owner, id);
    gGlobalScriptScheduler.DeleteByOwnerAndId(owner, id);
}

void Game::UpdateSchedulers()
{
    if (m_gameScheduler != nullptr)
        m_gameScheduler->Update(GetGameTimerTicks());
    if (m_gameplayScheduler != nullptr)
        m_gameplayScheduler->Update(GetGameplayTimerTicks());
}
