#include "renderer/NorvexRenderer.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"

#include <climits>
#include <cstring>

namespace
{
constexpr uint8_t kRendererChannel = 2;
constexpr uint8_t kRenderThreadChannel = 5;
constexpr uint32_t kIdleTicksBeforeSleep = 16;
// A present that never comes (its block abandoned, the thread stuck) must not hang the game for ever.
constexpr uint32_t kPresentWaitLimitMs = 2000;
} // namespace

NorvexRenderer* gRenderer = nullptr;

NorvexRenderer::NorvexRenderer()
    : BaseThread("Renderer", kRendererRingBytes, false, 0, 0), m_writer(*this), m_workSemaphore(0, INT_MAX),
      m_presentSemaphore(0, INT_MAX)
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

bool NorvexRenderer::Init(void* window, bool fullScreen)
{
    gConsole.Printf(CONSOLE_INFO, kRendererChannel, "NorvexRenderer::Init");
    m_quitRequested.store(false, std::memory_order_release);
    if (!IsRunning() && !Start())
    {
        gConsole.Error(kRendererChannel, "NorvexRenderer: the render thread could not be started");
        return false;
    }
    m_fullScreen = fullScreen;
    m_window = window;
    BuildDeviceParams(0, 0, true, fullScreen, &m_params);
    m_writer.OpenBlock();
    if (!InitDX(window, fullScreen))
        return false;
    m_streamOpen = true;
    SubmitCommands(true);
    return true;
}

void NorvexRenderer::Close()
{
    if (m_streamOpen)
    {
        gConsole.Printf(CONSOLE_INFO, kRendererChannel, "NorvexRenderer closing...");
        m_writer.CloseBlock(RENDER_OP_END_SYNC);
        Flush();
        // Jobs run on the render thread only, which may still be drawing blank frames.
        while (m_jobs.GetJobsQueued() != m_jobs.GetJobsDone())
            os::Sleep(10);
        // The device belongs to the render thread: it is closed there, as the last command.
        m_writer.OpenBlock();
        m_writer.WriteCommand(RENDER_OP_CLOSE_DX, 0);
        m_writer.CloseBlock(RENDER_OP_END_BLOCK);
        m_streamOpen = false;
        Stop();
        gConsole.Printf(CONSOLE_INFO, kRendererChannel, "NorvexRenderer closed");
        return;
    }
    // A failed Init leaves its first block open and perhaps a half-made device.
    if (m_writer.HasOpenBlock())
        m_writer.CloseBlock(RENDER_OP_END_BLOCK);
    Stop();
    if (m_device || m_factory)
        CloseDX();
    m_presenter.Stop();
}

void NorvexRenderer::EndBatch(uint32_t endMarker)
{
    m_writer.CloseBlock(endMarker);
    if (endMarker == RENDER_OP_END_SYNC)
        Flush();
    m_writer.OpenBlock();
}

void NorvexRenderer::SubmitCommands(bool sync)
{
    if (!m_streamOpen || (!sync && m_writer.IsBlockEmpty()))
        return;
    EndBatch(sync ? RENDER_OP_END_SYNC : RENDER_OP_END_BLOCK);
}

void NorvexRenderer::SubmitFrameSection(uint32_t framesAhead)
{
    SubmitCommands(false);
    while (m_framesWaited + framesAhead < m_presentsWritten)
    {
        ++m_framesWaited;
        if (!m_presentSemaphore.Wait(kPresentWaitLimitMs))
        {
            gConsole.Warning(kRendererChannel, "The render thread has not presented for %u ms; frame pacing skipped",
                             kPresentWaitLimitMs);
            m_framesWaited = m_presentsWritten;
            break;
        }
    }
}

void NorvexRenderer::WaitForThread(BaseThread& thread)
{
    SubmitCommands(false);
    thread.Flush();
}

void NorvexRenderer::UpdateFrameStatistics()
{
    const Time now = Time::Now();
    const Time idleTotal = GetIdleTime();
    m_statisticsFrameSeconds = float((now - m_lastStatisticsTime).ToSeconds());
    m_statisticsIdleSeconds = float((idleTotal - m_lastIdleTotal).ToSeconds());
    m_lastStatisticsTime = now;
    m_lastIdleTotal = idleTotal;
}

void NorvexRenderer::EnableLoadingFrames(bool enable)
{
    os::ScopedLock lock(m_displayLock);
    m_loadingFramesAllowed = enable;
}

bool NorvexRenderer::ProcessResourceJobs(uint32_t costLimit, float budgetSeconds)
{
    return m_jobs.Process(costLimit, budgetSeconds);
}

void NorvexRenderer::HandleCommand(const uint8_t* record)
{
    uint32_t id = 0;
    std::memcpy(&id, record, sizeof(id));
    if (id == kRenderBlockRecordId)
    {
        ExecuteCommands();
        return;
    }
    gConsole.Error(kRenderThreadChannel, "NorvexRenderer: unknown ring record %u", id);
}

void NorvexRenderer::Tick()
{
    const bool hadWork = !GetRing().IsEmpty();
    BaseThread::Tick();
    m_consecutiveIdleTicks = hadWork ? 0 : m_consecutiveIdleTicks + 1;
    if (m_blankMode)
        RenderBlankFrame();
    else
    {
        if (m_loadingScreen != nullptr && !IsDeviceResetPending())
            PumpLoadingScreen();
        if (m_consecutiveIdleTicks > kIdleTicksBeforeSleep)
            SleepUntilWork();
    }
    ProcessResourceJobs(1000, 0.01f);
}

void NorvexRenderer::SleepUntilWork()
{
    // Sleep until the next block, flush or stop arrives; the record's own count stays for it.
    m_workSemaphore.Wait(os::kInfinite);
    m_workSemaphore.Release(1);
    m_consecutiveIdleTicks = 0;
}

void NorvexRenderer::ExecuteCommands()
{
    CommandRingBuffer& ring = GetRing();
    for (;;)
    {
        if (m_loadingScreen != nullptr)
            PumpLoadingScreen();
        const uint32_t misalign = uint32_t(reinterpret_cast<uintptr_t>(ring.GetReadCursor()) & 3u);
        if (misalign != 0)
            ring.SkipRead(4 - misalign);
        uint32_t opcode = 0;
        if (!ring.Read(&opcode, sizeof(opcode)))
        {
            gConsole.Error(kRenderThreadChannel, "Render command block ends without an end marker, previous: %u",
                           m_previousOpcode);
            return;
        }
        if (opcode >= kRenderOpcodeCount || kOpcodes[opcode].handler == nullptr)
        {
            // Commands carry no length: what follows an unknown opcode cannot be found, so the rest of
            // the block is dropped rather than decoded as garbage.
            gConsole.Error(kRenderThreadChannel, "Unknown NR task: %u, previous: %u", opcode, m_previousOpcode);
            gConsole.Error(kRenderThreadChannel, "The rest of the render command block (%u bytes) is dropped",
                           ring.GetReadLeft());
            m_previousOpcode = opcode;
            return;
        }
        m_readOk = true;
        const Handler handler = kOpcodes[opcode].handler;
        (this->*handler)(opcode);
        m_previousOpcode = opcode;
        m_commandsExecuted.fetch_add(1, std::memory_order_acq_rel);
        if (!m_readOk)
        {
            gConsole.Error(kRenderThreadChannel, "Render command %u reads past the end of its block; the block is dropped",
                           opcode);
            return;
        }
        if (opcode == RENDER_OP_END_BLOCK || opcode == RENDER_OP_END_SYNC)
            return;
    }
}

void NorvexRenderer::SkipPayload(uint32_t bytes)
{
    m_readOk = m_readOk && GetRing().SkipRead(bytes);
}

void NorvexRenderer::SkipBoneArray()
{
    const uint32_t count = Get<uint32_t>();
    if (!m_readOk)
        return;
    if (uint64_t(count) * renderpayload::kBoneMatrix + 16 > GetRing().GetReadLeft())
    {
        m_readOk = false;
        return;
    }
    const uint32_t pad = GetRing().AlignRead16();
    SkipPayload(count * renderpayload::kBoneMatrix + 16 - pad);
}

void NorvexRenderer::ReportNotBuilt(uint32_t opcode)
{
    if (m_notBuiltReported[opcode])
        return;
    m_notBuiltReported[opcode] = true;
    gConsole.Warning(kRenderThreadChannel, "Render command %u (%s) is not built yet; its commands are read and dropped",
                     opcode, kOpcodes[opcode].feature ? kOpcodes[opcode].feature : "?");
}
