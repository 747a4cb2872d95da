// Game::Update: the logic of one turn of the main loop, and the multiplayer step it ends with.
// Main thread only.
//
// Logic advances in whole ticks of 1/15 s of game time. The real time since the last frame (at
// most one tick of it: a longer stall is dropped from game time, not caught up) is added to
// lastFrameTime; the ticks due are the whole ticks of lastFrameTime - tickBase under the time
// multiplier, and tickBase moves on by the real time they consumed. The frame of a scene switch
// runs none (scale 0).
#include "engine/Game.h"

#include "core/console/GameConsole.h"
#include "effects/sfx/SFXDefinition.h"
#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/NorvexEngine.h"
#include "engine/input/InputManager.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "gameplay/behaviour/BehaviourTreeAgents.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "gameplay/physics/PhysicsThread.h"
#include "online/MultiplayerEngine.h"
#include "renderer/FrameClock.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/entities/EntityBlender.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/Entity.h"
#include "scene/kinds/TriggerOccupancy.h"
#include "ui/elements/UIElement.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kMain = 0;
constexpr uint32_t kNavigationPad = 0x100;

Time SecondsToTime(double seconds)
{
    return Time(int64_t(seconds * double(Time::GetFrequency())));
}

// A profiler timer around a stage; untimed stages (smooth mode) pass false.
class StageTimer
{
public:
    StageTimer(uint32_t channel, bool timed) : m_channel(channel), m_timed(timed)
    {
        if (m_timed)
            gProfiler.StartTimer(m_channel, kMain);
    }
    ~StageTimer()
    {
        if (m_timed)
            gProfiler.StopTimer(m_channel, kMain);
    }
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

private:
    uint32_t m_channel;
    bool m_timed;
};
} // namespace

void Game::RestartFrameClock()
{
    m_lastFrameTime = Time::Now();
    m_tickBase = m_lastFrameTime;
    m_sendTime = EngineClock::GetCurrentTime();
}

void Game::Update(bool allowRender)
{
    m_windowActive = allowRender;
    if (!allowRender && !m_switchPending && CanSleep())
    {
        gEngineTimer.Advance(true);
        ExecuteConsoleCommands();
        m_smoothGameTimer.Tick(0.0f);
        m_smoothGameplayTimer.Tick(0.0f);
        return;
    }

    gEngineTimer.Advance(false);
    float scale = 1.0f;
    if (m_switchPending)
    {
        ProcessPendingSceneSwitch();
        // The load time does not count as a frame.
        gEngineTimer.Advance(true);
        scale = 0.0f;
    }

    ++m_updateCount;
    if (m_delegate != nullptr && !m_delegate->OnBigFrameTick())
    {
        // Frozen: no backlog builds up for the frames that do not run.
        RestartFrameClock();
        return;
    }

    m_frameMultiplier = UpdateTimeMultiplier();

    const Time now = Time::Now();
    const Time tick = SecondsToTime(kTickSeconds);
    int64_t elapsed = std::max<int64_t>((now - m_lastFrameTime).GetTicks(), 0);
    if (elapsed > tick.GetTicks())
    {
        // The time beyond one tick is dropped from game time.
        m_tickBase += Time((now - tick).GetTicks() - m_lastFrameTime.GetTicks());
        m_lastFrameTime = now - tick;
        elapsed = tick.GetTicks();
    }
    m_lastFrameTime += Time(elapsed);
    const float dt = float(Time(elapsed).ToSeconds());

    std::copy(m_frameTimes + 1, m_frameTimes + 4, m_frameTimes);
    m_frameTimes[3] = dt;
    m_frameStep = (m_frameTimes[0] + m_frameTimes[1] + m_frameTimes[2] + m_frameTimes[3]) * 0.25f;
    gProfiler.SetValue(PROFILER_TOTAL_FRAME_TIME, m_frameStep * 1000.0f, kMain);

    const double gameDue = std::max((m_lastFrameTime - m_tickBase).ToSeconds(), 0.0);
    const double speed = double(m_frameMultiplier) * double(scale);
    const uint32_t dueTicks = uint32_t(std::max(gameDue * speed * double(kDueTickFactor), 0.0));
    if (dueTicks > 0)
        m_tickBase += SecondsToTime(double(dueTicks) * double(kTickSeconds) / speed);

    m_frameStep = scale * m_frameMultiplier * m_frameStep;
    const uint32_t wholeSteps = uint32_t(std::max(kSmoothStepFactor * m_frameStep, 0.0f));
    const float remainder = std::max(m_frameStep - float(wholeSteps) * kTickSeconds, 0.0f);
    const uint32_t smoothSteps = wholeSteps == 0 || remainder > kSmoothThreshold ? wholeSteps + 1 : wholeSteps;

    const bool fixedMode = m_delegate != nullptr && m_delegate->UsesFixedTick();
    const uint32_t ticks = fixedMode ? dueTicks : smoothSteps;
    gProfiler.SetValue(PROFILER_GAME_TICK_COUNT, float(ticks), kMain);
    gProfiler.StartTimer(PROFILER_GAME_TICK, kMain);

    gEngineClock.Update(fixedMode ? int32_t(dueTicks) : -1, m_frameMultiplier);

    {
        StageTimer timer(PROFILER_TEST_D, true);
        m_entityLists.FireDueEntityCalls(false, gEngineClock.GetRealTime());
        m_entityLists.ApplyReplicatedStates(gEngineClock.GetRealTime());
        if (m_multiplayerEngine != nullptr)
            m_multiplayerEngine->DispatchReceivedMethodCalls(0);
        ExecuteConsoleCommands();
    }

    const bool logicPaused = m_gameTimer.IsPaused();
    const bool uiPaused = m_gameplayTimer.IsPaused() || m_screenStack.IsAnyVisibleScreenFlagged();
    ++m_frameCount;
    const bool sceneBlocked = m_screenStack.IsSceneRenderingBlocked();

    if (fixedMode)
        RunFixedTicks(dueTicks, logicPaused, uiPaused, sceneBlocked);
    else
        RunSmoothSteps(smoothSteps, wholeSteps, remainder, uiPaused, sceneBlocked);

    RunFrameTail(dueTicks);
}

void Game::UpdateEngine(bool sceneBlocked)
{
    gNorvexEngine.Update(FrameClock::Of(m_smoothGameTimer), FrameClock::Of(m_smoothGameplayTimer), sceneBlocked);
    gProfiler.SetValue(PROFILER_MAIN_FRAME_TIME, m_gameTimer.GetLastStep() * 1000.0f, kMain);
    ProcessInput(m_windowActive);
}

void Game::RunTickWork(bool timed)
{
    {
        StageTimer timer(PROFILER_TEST_E, timed);
        if (m_gameScheduler != nullptr)
            m_gameScheduler->Update(GetGameTimerTicks());
    }
    {
        StageTimer timer(PROFILER_TEST_F, timed);
        if (m_delegate != nullptr)
            m_delegate->OnTick();
    }
    {
        StageTimer timer(PROFILER_TEST_G, timed);
        m_entityLists.TickScriptEntities();
        gBehaviourTreeAgents.TickAll();
    }
    {
        StageTimer timer(PROFILER_TEST_H, timed);
        if (m_delegate != nullptr)
            m_delegate->OnAfterTick();
    }
    {
        StageTimer timer(PROFILER_TEST_I, timed);
        TriggerOccupancy::ProcessPendingEntities();
    }
}

void Game::RunFrameSmoothing()
{
    EntityBlender::UpdateAll();
    SFXDefinition::TakeArrivedTemplatesOfAll();
    if (m_cameraController != nullptr)
        m_cameraController->Update();
    if (NavigationGrid* grid = gEntityManager.GetNavigationGrid(); grid != nullptr && grid->IsDirty())
        grid->RebuildDynamicOccupancy();
}

void Game::RunFixedTicks(uint32_t ticks, bool logicPaused, bool uiPaused, bool sceneBlocked)
{
    TickTimers(0.0f);
    m_smoothGameTimer.Tick(m_frameStep);
    m_smoothGameplayTimer.Tick(m_frameStep);
    UpdateEngine(sceneBlocked);
    {
        StageTimer timer(PROFILER_TEST_B, true);
        if (m_delegate != nullptr)
            m_delegate->OnSmoothTick();
    }
    {
        StageTimer timer(PROFILER_TEST_C, true);
        m_entityLists.SmoothTickScriptEntities();
    }
    for (uint32_t i = 0; i < ticks; ++i)
    {
        if (!logicPaused && !uiPaused)
        {
            StageTimer timer(PROFILER_PHYSICS_TIME, true);
            gPhysicsWorld.Step(kTickSeconds);
        }
        ++m_tickCount;
        m_gameTimer.Tick(kTickSeconds);
        m_gameplayTimer.Tick(uiPaused ? 0.0f : kTickSeconds);
        if (!logicPaused)
            RunTickWork(true);
        if (!uiPaused)
        {
            StageTimer timer(PROFILER_TEST_J, true);
            if (m_gameplayScheduler != nullptr)
                m_gameplayScheduler->Update(GetGameplayTimerTicks());
        }
        m_entityLists.AnimateTickEntities();
    }
    StageTimer timer(PROFILER_TEST_L, true);
    RunFrameSmoothing();
}

void Game::RunSmoothSteps(uint32_t steps, uint32_t wholeSteps, float remainder, bool uiPaused, bool sceneBlocked)
{
    for (uint32_t k = 0; k < steps; ++k)
    {
        // The step after the whole ticks carries the remainder (absent when it was too small).
        const float step = k == wholeSteps ? remainder : kTickSeconds;
        m_gameTimer.Tick(step);
        m_gameplayTimer.Tick(uiPaused ? 0.0f : step);
        m_smoothGameTimer.Tick(step);
        m_smoothGameplayTimer.Tick(uiPaused ? 0.0f : step);
        UpdateEngine(sceneBlocked);
        // Tested at each step: a script may pause or resume the clock inside one.
        if (!m_gameTimer.IsPaused())
            RunTickWork(false);
        else if (m_delegate != nullptr)
            m_delegate->OnPauseTick();
        if (!m_gameplayTimer.IsPaused() && m_gameplayScheduler != nullptr)
            m_gameplayScheduler->Update(GetGameplayTimerTicks());
        RunFrameSmoothing();
        m_entityLists.AnimateTickEntities();
    }
}

void Game::RunFrameTail(uint32_t ticks)
{
    if (m_delegate != nullptr)
        m_delegate->OnEndOfFrame();
    m_entityLists.ApplyEndOfFrameAnimation();
    UpdateMultiplayer(ticks, 0);
    const Vector cursor = m_inputManager->GetCursorPosition();
    m_screenStack.UpdateMouseOver(cursor);
    m_screenStack.UpdateNavigation(GetXControllerAnalogInput(kNavigationPad));
    UIElement::FinishDeferredDeletion();
    gProfiler.SetValue(PROFILER_ENTITY_INST, float(gEntityManager.GetLiveEntityCount()), kMain);
    gProfiler.StopTimer(PROFILER_GAME_TICK, kMain);
    m_screenStack.UpdateMouseOver(m_inputManager->GetCursorPosition());
    m_inputManager->EndFrame();
}

void Game::UpdateMultiplayer(uint32_t ticks, uint64_t offsetMicroseconds)
{
    const uint64_t now = EngineClock::GetCurrentTime();
    const uint64_t t = now > offsetMicroseconds ? now - offsetMicroseconds : 0;
    if (m_sendTime > t)
        m_sendTime = t;
    uint64_t steps = 0;
    if (ticks > 0)
    {
        steps = std::min<uint64_t>((t - m_sendTime) / kSendIntervalMicroseconds, ticks);
        m_sendTime += steps * kSendIntervalMicroseconds;
        const uint64_t rest = t - m_sendTime;
        // A sender that lags by three intervals or more catches up at once.
        if (rest >= 3 * kSendIntervalMicroseconds)
        {
            const uint64_t more = rest / kSendIntervalMicroseconds;
            steps += more;
            m_sendTime += more * kSendIntervalMicroseconds;
        }
    }
    if (steps > 0)
    {
        if (m_multiplayerEngine != nullptr)
        {
            StageTimer timer(PROFILER_NET_TICK_MAIN, true);
            m_multiplayerEngine->SendCompleteState(t);
        }
        if (m_multiplayerEngine == nullptr || m_multiplayerEngine->HasAuthority())
        {
            const uint32_t timeLow = uint32_t(t);
            const uint32_t timeHigh = uint32_t(t >> 32);
            const uint32_t previousLow = uint32_t(m_previousSendTime);
            const uint32_t previousHigh = uint32_t(m_previousSendTime >> 32);
            m_entityLists.SendChangedEntities(timeLow, timeHigh, previousLow, previousHigh);
            m_entityLists.WriteUpdatedEntities(timeLow, timeHigh, previousLow, previousHigh);
            if (m_multiplayerEngine != nullptr)
                m_multiplayerEngine->SendEntityStates();
        }
        m_previousSendTime = t;
    }
    StageTimer timer(PROFILER_NET_TICK_MAIN, true);
    if (m_multiplayerEngine != nullptr)
        m_multiplayerEngine->ProcessCallbackMessages();
}
