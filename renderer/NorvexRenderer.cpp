#include "renderer/NorvexRenderer.h"

#include "engine/Game.h"
#include "engine/profiler/Profiler.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"
#include "renderer/RendererThreadCheck.h"
#include "renderer/resources/Resource.h"

#include <climits>

namespace
{
// The render thread's first answer comes within milliseconds; a thread that gives none in this time
// is stuck, and the game should not wait for it for ever.
constexpr uint32_t kDefaultStartWaitLimitMs = 10000;
} // namespace

NorvexRenderer* gRenderer = nullptr;

NorvexRenderer::NorvexRenderer()
    : BaseThread("Renderer", kRendererRingBytes, false, 0, 0), m_workSemaphore(0, INT_MAX),
      m_presentSemaphore(0, INT_MAX), m_startWaitLimitMs(kDefaultStartWaitLimitMs)
{
    SetWakeSemaphore(&m_workSemaphore);
    gRenderer = this;
}

NorvexRenderer::~NorvexRenderer()
{
    Close();
    if (gRenderer == this)
        gRenderer = nullptr;
}

bool NorvexRenderer::IsGameThread() const
{
    const uint32_t id = m_gameThreadId.load(std::memory_order_acquire);
    return id == 0 || id == os::CurrentThreadId();
}

bool NorvexRenderer::IsRenderSide() const
{
    const uint32_t renderThread = GetThreadId();
    if (renderThread == 0 || renderThread == os::CurrentThreadId())
        return true;
    return m_gameHoldsDevice.load(std::memory_order_acquire) && IsGameThread();
}

bool NorvexRenderer::Init(void* window, bool fullScreen)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexRenderer::Init");
    m_gameThreadId.store(os::CurrentThreadId(), std::memory_order_release);
    m_deviceManager.ClearQuitRequest();
    if (!IsRunning() && !Start())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "NorvexRenderer: the render thread could not be started");
        return false;
    }
    m_fullScreen = fullScreen;
    m_window = window;
    gGame.NotifyDelegateBeforeRendererSetup();
    DeviceParams params;
    m_deviceManager.BuildDeviceParams(0, 0, true, fullScreen, &params);
    m_deviceManager.SetDeviceParams(params);
    m_stream.GetWriter().OpenBlock();
    {
        const DeviceHandoff handoff(*this);
        if (!m_deviceManager.InitDX(window))
            return false;
    }
    m_stream.SetOpen(true);
    if (SubmitFirstBlock())
        return true;
    m_stream.SetOpen(false);
    return false;
}

bool NorvexRenderer::SubmitFirstBlock()
{
    // A synchronous submit whose wait has a limit: the event is a member, so a render thread that
    // answers late still sets a live object.
    RenderCommandWriter& writer = m_stream.GetWriter();
    writer.CloseBlock(RENDER_OP_END_SYNC);
    m_firstBlockDone.Reset();
    os::Event* const done = &m_firstBlockDone;
    if (PostCommand(THREAD_COMMAND_DONE, &done, sizeof(done)) && !m_firstBlockDone.Wait(m_startWaitLimitMs))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "NorvexRenderer: the render thread has not run its first commands "
                       "within %u ms; the renderer is not started",
                       m_startWaitLimitMs);
        return false;
    }
    writer.OpenBlock();
    return true;
}

void NorvexRenderer::Close()
{
    RenderCommandWriter& writer = m_stream.GetWriter();
    if (m_stream.IsOpen())
    {
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexRenderer closing...");
        writer.CloseBlock(RENDER_OP_END_SYNC);
        Flush();
        // Jobs run on the render thread only, which may still be drawing blank frames.
        WaitForQueuedJobs(10);
        // The device belongs to the render thread: it is closed there, as the last command.
        writer.OpenBlock();
        writer.WriteCommand(RENDER_OP_CLOSE_DX, 0);
        writer.CloseBlock(RENDER_OP_END_BLOCK);
        m_stream.SetOpen(false);
        Stop();
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexRenderer closed");
        return;
    }
    // A failed Init leaves its first block open and perhaps a half-made device.
    if (writer.HasOpenBlock())
        writer.CloseBlock(RENDER_OP_END_BLOCK);
    Stop();
    if (m_deviceManager.HasDevice())
        m_deviceManager.CloseDX();
    m_presenter.Stop();
}

void NorvexRenderer::Tick()
{
    const bool hadWork = !GetRing().IsEmpty();
    BaseThread::Tick();
    m_executor.RunIdleWork(hadWork);
}

void NorvexRenderer::WaitForWork()
{
    // The worker's own idle wait: every block, job, flush and stop releases the semaphore, so it
    // always ends. The record's own count stays for it.
    m_workSemaphore.Wait(os::kInfinite);
    m_workSemaphore.Release(1);
}

void NorvexRenderer::WaitForWorkFor(uint32_t milliseconds)
{
    if (m_workSemaphore.Wait(milliseconds))
        m_workSemaphore.Release(1);
}

// Cannot deadlock: the render thread runs queued jobs on every tick whatever the game thread does,
// and after the synchronous submit before this wait every job's stamp has been reached.
void NorvexRenderer::WaitForQueuedJobs(uint32_t stepMs)
{
    NORVEX_CHECK_GAME_THREAD(*this);
    while (m_jobs.GetJobsQueued() != m_jobs.GetJobsDone())
        os::Sleep(stepMs);
}

bool NorvexRenderer::ProcessResourceJobs(uint32_t costLimit, float budgetSeconds)
{
    return m_jobs.Process(costLimit, budgetSeconds);
}

void NorvexRenderer::DrainResourceJobs()
{
    while (!ProcessResourceJobs(0, RendererJobQueue::kNoTimeBudget))
    {
    }
}

void NorvexRenderer::UpdateFrameStatistics()
{
    const Time now = Time::Now();
    const Time idleTotal = GetIdleTime();
    m_statisticsFrameSeconds = float((now - m_lastStatisticsTime).ToSeconds());
    m_statisticsIdleSeconds = float((idleTotal - m_lastIdleTotal).ToSeconds());
    m_lastStatisticsTime = now;
    m_lastIdleTotal = idleTotal;
    if (m_executor.GetPresentsExecuted() == 0)
        return;
    // These channels are sampled on the render thread: they are written under the profiler's lock.
    const float frameMs = m_statisticsFrameSeconds * 1000.0f;
    gProfiler.SetValue(PROFILER_RENDER_IDLE, m_statisticsIdleSeconds * 1000.0f, kProfilerCallerOtherThread);
    gProfiler.SetValue(PROFILER_FRAME_TIME, frameMs, kProfilerCallerOtherThread);
    gProfiler.SetValue(PROFILER_FPS, frameMs, kProfilerCallerOtherThread);
    gProfiler.SetValue(PROFILER_DRAW_CALLS, float(m_executor.GetPresentedDrawCalls()), kProfilerCallerOtherThread);
    gProfiler.SetValue(PROFILER_TRIANGLES, float(m_executor.GetPresentedPrimitives()), kProfilerCallerOtherThread);
    // Channel 18 keeps its name ("UIInst") but graphs the resources made and not yet deleted.
    gProfiler.SetValue(PROFILER_UI_INSTANCES, float(Resource::GetLiveCount()), kProfilerCallerOtherThread);
}

#ifdef NORVEX_THREAD_CHECKS
void ReportWrongRendererThread(const char* function, const char* expected)
{
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "NorvexRenderer: %s called outside %s", function, expected);
}
#endif

void NorvexRenderer::SetHoldFlag(uint8_t flag)
{
    os::ScopedLock lock(m_displayLock);
    m_holdFlag.store(flag, std::memory_order_release);
}
