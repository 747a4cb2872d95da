#include "renderer/jobs/NorvexRendererResourceAccessJob.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/RendererJobQueue.h"

namespace
{
constexpr uint32_t kWaitStepMs = 10;
// An immediate job that answers "not finished" is run again at most this often.
constexpr uint32_t kImmediateRunLimit = 64;
} // namespace

std::atomic<uint32_t> NorvexRendererResourceAccessJob::s_waitLimitMs{10000};

NorvexRendererResourceAccessJob::~NorvexRendererResourceAccessJob()
{
    if (!m_fireAndForget)
        Wait();
}

bool NorvexRendererResourceAccessJob::Run(NorvexRenderer&)
{
    return true;
}

void NorvexRendererResourceAccessJob::Finish()
{
    if (m_fireAndForget)
    {
        delete this;
        return;
    }
    // The waiter may destroy the job and its event as soon as it sees the finished flag: set it last.
    if (m_event)
        m_event->Set();
    m_finished.store(true, std::memory_order_release);
}

bool NorvexRendererResourceAccessJob::Wait()
{
    if (IsDone())
        return m_finished.load(std::memory_order_acquire);
    bool ran = false;
    if (m_immediate)
    {
        // The job sits in the command stream: a synchronous submit returns once it has run.
        if (gRenderer != nullptr && gRenderer->IsStreamOpen())
            gRenderer->SubmitCommands(true);
        ran = m_finished.load(std::memory_order_acquire);
    }
    else
    {
        // The job runs only after every command written before it was queued: the game thread,
        // waiting with some of those still in its own block, hands them over first, or it would
        // wait out the whole limit for commands only it can submit.
        if (gRenderer != nullptr && gRenderer->IsStreamOpen() && gRenderer->IsGameThread())
            gRenderer->SubmitCommands(false);
        const uint32_t limit = GetWaitLimitMs();
        for (uint32_t waited = 0;; waited += kWaitStepMs)
        {
            if (m_finished.load(std::memory_order_acquire))
            {
                ran = true;
                break;
            }
            if (waited >= limit || gRenderer == nullptr)
            {
                RendererJobQueue* queue = gRenderer != nullptr ? &gRenderer->GetJobQueue() : nullptr;
                ran = queue == nullptr || !queue->Cancel(this) ? m_finished.load(std::memory_order_acquire) : false;
                if (!ran)
                    gConsole.Error(CONSOLE_CHANNEL_RENDER,
                                   "Renderer job not run within %u ms (stamp %u); it is taken out of the queue",
                                   limit, GetFrameStamp());
                break;
            }
            if (m_event)
                m_event->Wait(kWaitStepMs);
            else
                os::Sleep(kWaitStepMs);
        }
    }
    m_event.reset();
    m_done.store(1, std::memory_order_release);
    return ran;
}

bool PostRendererJob(NorvexRendererResourceAccessJob* job, bool wait)
{
    if (job == nullptr)
        return false;
    if (gRenderer == nullptr || (job->m_immediate && !gRenderer->IsStreamOpen()))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Renderer job posted while no renderer runs");
        if (job->m_fireAndForget)
            delete job;
        return false;
    }
    // A fire-and-forget job may be gone as soon as it is queued: read its settings first.
    const bool fireAndForget = job->m_fireAndForget;
    const bool immediate = job->m_immediate;
    if (job->IsDone())
    {
        job->m_finished.store(false, std::memory_order_relaxed);
        job->m_done.store(0, std::memory_order_relaxed);
        // A waited job always gets an event, so that the wait has something that ends it.
        if ((job->m_wantsEvent || wait) && !fireAndForget)
            job->m_event = std::make_unique<os::Event>(false);
        // No fence needed: both roads publish the job through a ring commit (a release store) that
        // the render thread reads with acquire, so it sees these stores; a fence would also hide
        // the hand-off from ThreadSanitizer.
        if (immediate)
        {
            if (gRenderer->WriteCommand(RENDER_OP_RUN_JOB, renderpayload::kPointer))
                gRenderer->GetWriter().Put(reinterpret_cast<uintptr_t>(job));
        }
        else
        {
            gRenderer->GetJobQueue().Enqueue(job);
        }
    }
    if (immediate)
        gRenderer->SubmitCommands(false);
    // From here on a fire-and-forget job belongs to the render side.
    if (wait && !fireAndForget)
        return job->Wait();
    return true;
}

bool RunImmediateJob(NorvexRenderer& renderer, NorvexRendererResourceAccessJob* job)
{
    if (job == nullptr)
        return false;
    for (uint32_t run = 0; run < kImmediateRunLimit; ++run)
        if (job->Run(renderer))
        {
            job->Finish();
            return true;
        }
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "Immediate renderer job did not finish in %u runs", kImmediateRunLimit);
    return false;
}
