#include "renderer/jobs/RendererJobQueue.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kFullRetryMs = 10;
// 64-bit: a record's pointers are full width.
constexpr uint32_t kJobRecordBytes = sizeof(void*);
constexpr uint32_t kCallRecordBytes = sizeof(RendererQueuedCall) + sizeof(uint32_t) + sizeof(void*);
} // namespace

RendererJobQueue::RendererJobQueue(NorvexRenderer& renderer) : m_renderer(renderer), m_ring(kRingBytes, 0) {}

void RendererJobQueue::Enqueue(NorvexRendererResourceAccessJob* job)
{
    m_lock.Enter();
    for (uint32_t tries = 0; !m_ring.BeginWrite(RECORD_JOB, kJobRecordBytes); ++tries)
    {
        if (tries % kWarnEveryTries == 0)
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Resource creation queue is causing delay!!!");
        m_lock.Leave();
        os::Sleep(kFullRetryMs);
        m_lock.Enter();
    }
    job->m_frameStamp.store(m_renderer.GetCommandsWritten(), std::memory_order_release);
    m_ring.Write(&job, sizeof(job));
    m_ring.EndWrite();
    m_jobsQueued.fetch_add(1, std::memory_order_acq_rel);
    m_renderer.SignalJobWork();
    m_lock.Leave();
}

CommandRingBuffer* RendererJobQueue::BeginQueuedCall(RendererQueuedCall function, void* object, uint32_t subCommand,
                                                     uint32_t extraBytes)
{
    if (extraBytes >= m_ring.GetMaxPayload() - kCallRecordBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Queued renderer call of %u bytes cannot fit the job queue", extraBytes);
        return nullptr;
    }
    m_lock.Enter();
    for (uint32_t tries = 0; !m_ring.BeginWrite(RECORD_CALL, kCallRecordBytes + extraBytes); ++tries)
    {
        if (tries % kWarnEveryTries == 0)
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Resource creation queue is causing delay!!!");
        m_lock.Leave();
        os::Sleep(kFullRetryMs);
        m_lock.Enter();
    }
    m_ring.Write(&function, sizeof(function));
    m_ring.Write(&subCommand, sizeof(subCommand));
    m_ring.Write(&object, sizeof(object));
    return &m_ring;
}

void RendererJobQueue::ReleaseLock()
{
    m_ring.EndWrite();
    m_jobsQueued.fetch_add(1, std::memory_order_acq_rel);
    m_renderer.SignalJobWork();
    m_lock.Leave();
}

bool RendererJobQueue::Cancel(NorvexRendererResourceAccessJob* job)
{
    os::ScopedLock lock(m_lock);
    if (job->m_finished.load(std::memory_order_acquire))
        return false;
    if (m_current == job)
    {
        m_current = nullptr;
        CountDone();
        return true;
    }
    // Still in the ring: its record stays and is dropped when read. Records are read in order, so the
    // first record naming this address is this job even if a later job reuses the address.
    m_cancelled.push_back(job);
    return true;
}

void RendererJobQueue::CountDone()
{
    m_jobsDone.fetch_add(1, std::memory_order_acq_rel);
    m_renderer.ConsumeJobWork();
}

bool RendererJobQueue::Process(uint32_t costLimit, float budgetSeconds)
{
    os::ScopedLock lock(m_lock);
    int64_t start = 0;
    bool started = false;
    uint32_t cost = 0;
    const double budgetTicks = double(budgetSeconds) * double(os::kCounterFrequency);
    auto overBudget = [&] { return started && double(os::QueryCounter() - start) > budgetTicks; };
    for (;;)
    {
        bool hadRecord = false;
        if (m_current == nullptr && m_ring.BeginRead())
        {
            hadRecord = true;
            if (!started)
            {
                start = os::QueryCounter();
                started = true;
            }
            if (m_ring.GetReadId() == RECORD_JOB)
            {
                NorvexRendererResourceAccessJob* job = nullptr;
                m_ring.Read(&job, sizeof(job));
                const auto cancelled = std::find(m_cancelled.begin(), m_cancelled.end(), job);
                if (cancelled != m_cancelled.end())
                {
                    m_cancelled.erase(cancelled);
                    CountDone();
                }
                else
                {
                    m_current = job;
                }
            }
            else if (m_ring.GetReadId() == RECORD_CALL)
            {
                RendererQueuedCall function = nullptr;
                uint32_t subCommand = 0;
                void* object = nullptr;
                m_ring.Read(&function, sizeof(function));
                m_ring.Read(&subCommand, sizeof(subCommand));
                m_ring.Read(&object, sizeof(object));
                if (function != nullptr)
                    function(m_renderer, subCommand, object, m_ring);
                CountDone();
            }
            // Any other record is the ring's wrap marker: no work, and not one of the queued, so not
            // counted (a count past the queued ones would keep the close waiting for ever).
            m_ring.EndRead();
            if (overBudget())
                return false;
        }
        if (m_current == nullptr)
        {
            if (!hadRecord)
                return true;
            continue;
        }
        // Commands written before the job was queued must have run first.
        if (int32_t(m_current->GetFrameStamp() - m_renderer.GetCommandsExecuted()) > 0)
            return false;
        cost += m_current->GetCost();
        NorvexRendererResourceAccessJob* const job = m_current;
        if (job->Run(m_renderer))
        {
            m_current = nullptr;
            job->Finish();
            CountDone();
        }
        if ((costLimit != 0 && cost >= costLimit) || overBudget())
            return m_current == nullptr && m_ring.IsEmpty();
    }
}
