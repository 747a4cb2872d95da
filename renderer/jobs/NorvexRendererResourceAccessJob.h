// Renderer jobs: work that threads other than the render thread need done on the device (create,
// fill, read back or release device objects). A job travels either in the render command stream
// (immediate, game thread only) or through the renderer's bounded job queue, stamped with the number
// of commands written so far so that it runs only after them. Its poster may wait for it.
//
// Every wait ends: a queued job whose wait reaches the time limit is taken back out of the queue
// (logged) and the wait answers false; an immediate job is waited for by a synchronous submit.
//
// Posting and waiting: any thread (immediate jobs: the game thread). Run: the render thread.
#pragma once

#include "platform/os/Sync.h"

#include <atomic>
#include <cstdint>
#include <memory>

class NorvexRenderer;

// Base of every renderer job.
class NorvexRendererResourceAccessJob
{
public:
    NorvexRendererResourceAccessJob() = default;
    // Waits for a posted job first (unless fire-and-forget).
    virtual ~NorvexRendererResourceAccessJob();
    NorvexRendererResourceAccessJob(const NorvexRendererResourceAccessJob&) = delete;
    NorvexRendererResourceAccessJob& operator=(const NorvexRendererResourceAccessJob&) = delete;

    // Cost units counted against the per-call limit of the queue.
    virtual uint32_t GetCost() const { return 0; }
    // Render thread: does the work; false keeps the job current to run again later.
    virtual bool Run(NorvexRenderer& renderer);

    // Waits until the posted job has run; false when the time limit ended the wait (the job was
    // taken out of the queue and did not run) or no renderer runs it.
    bool Wait();

    void SetImmediate(bool immediate) { m_immediate = immediate; }
    bool IsImmediate() const { return m_immediate; }
    // The render side destroys the job when finished; nobody waits.
    void SetFireAndForget(bool on)
    {
        m_fireAndForget = on;
        if (on)
            m_wantsEvent = false;
    }
    bool IsFireAndForget() const { return m_fireAndForget; }
    void SetWantsEvent(bool on) { m_wantsEvent = on; }
    bool IsDone() const { return m_done.load(std::memory_order_acquire) != 0; }
    uint32_t GetFrameStamp() const { return m_frameStamp.load(std::memory_order_acquire); }

    // Longest wait for a queued job, in milliseconds (10 s; tests shorten it).
    static void SetWaitLimitMs(uint32_t milliseconds) { s_waitLimitMs.store(milliseconds, std::memory_order_relaxed); }
    static uint32_t GetWaitLimitMs() { return s_waitLimitMs.load(std::memory_order_relaxed); }

private:
    friend class RendererJobQueue;
    friend bool PostRendererJob(NorvexRendererResourceAccessJob* job, bool wait);
    friend bool RunImmediateJob(NorvexRenderer& renderer, NorvexRendererResourceAccessJob* job);

    // Render side: the job finished.
    void Finish();

    static std::atomic<uint32_t> s_waitLimitMs;

    std::atomic<uint32_t> m_frameStamp{0};
    std::atomic<uint8_t> m_done{1};
    std::atomic<bool> m_finished{false}; // set by the render side
    std::unique_ptr<os::Event> m_event;
    bool m_wantsEvent = false;
    bool m_fireAndForget = false;
    bool m_immediate = false;
};

// Posts a job (once while it is not done) and, with wait, returns when it has run; false when it
// could not be posted or the wait did not see it run.
bool PostRendererJob(NorvexRendererResourceAccessJob* job, bool wait);
// Render thread, opcode 51: runs an immediate job to its end.
bool RunImmediateJob(NorvexRenderer& renderer, NorvexRendererResourceAccessJob* job);
