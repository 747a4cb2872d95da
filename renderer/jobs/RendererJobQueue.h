// The renderer's bounded job queue: an 8192-byte record ring (512 bytes kept free) of jobs
// (type 1, a job pointer) and queued calls (type 2, a function, a sub-command, an object and the
// caller's extra bytes). Posters on any thread hold the queue lock while they write a record; the
// render thread takes records and runs jobs under the same lock, so a poster whose wait ran out can
// take its job back out safely. Records are stamped: a job runs only once the render thread has
// executed every command written before it was queued.
#pragma once

#include "core/threads/CommandRingBuffer.h"
#include "platform/os/Sync.h"
#include "renderer/RenderCommands.h"

#include <atomic>
#include <cstdint>
#include <vector>

class NorvexRenderer;
class NorvexRendererResourceAccessJob;

// A queued call's function: reads exactly its own extra bytes from the reader.
using RendererQueuedCall = void (*)(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                    CommandRingBuffer& reader);

// Jobs and queued calls waiting for the render thread (one per renderer).
class RendererJobQueue
{
public:
    static constexpr uint32_t kRingBytes = 8192;
    // Warning cadence while the ring is full: the 1st, 11th, 21st... try.
    static constexpr uint32_t kWarnEveryTries = 10;
    // A time budget that never runs out (the largest float): Process stops only at an empty queue
    // or at a job whose stamp is ahead of the executed commands.
    static constexpr float kNoTimeBudget = 3.4028235e38f;

    explicit RendererJobQueue(NorvexRenderer& renderer);
    RendererJobQueue(const RendererJobQueue&) = delete;
    RendererJobQueue& operator=(const RendererJobQueue&) = delete;

    // Any thread: stamps and queues a job; waits in 10 ms steps while the ring is full.
    void Enqueue(NorvexRendererResourceAccessJob* job);
    // Any thread: locks the queue and reserves a call record; the caller writes extraBytes through
    // the returned ring and then calls ReleaseLock. Null (lock not held, logged) when it cannot fit.
    CommandRingBuffer* BeginQueuedCall(RendererQueuedCall function, void* object, uint32_t subCommand,
                                       uint32_t extraBytes);
    void ReleaseLock();
    // Any thread: takes a posted job that has not run yet back out of the queue, so that it can die; false when it
    // has run after all.
    bool Cancel(NorvexRendererResourceAccessJob* job);

    // Render thread: runs records until the cost limit (0: none) or the time budget in seconds is
    // reached, or a job's stamp is ahead of the executed commands. True when the queue is empty.
    bool Process(uint32_t costLimit, float budgetSeconds);

    uint32_t GetJobsQueued() const { return m_jobsQueued.load(std::memory_order_acquire); }
    uint32_t GetJobsDone() const { return m_jobsDone.load(std::memory_order_acquire); }

private:
    enum RecordType : uint32_t
    {
        RECORD_JOB = 1,
        RECORD_CALL = 2,
    };
    // Render thread, under the lock.
    void CountDone();

    NorvexRenderer& m_renderer;
    os::CriticalSection m_lock;
    CommandRingBuffer m_ring;
    NorvexRendererResourceAccessJob* m_current = nullptr; // under the lock
    std::vector<NorvexRendererResourceAccessJob*> m_cancelled; // taken back while in the ring
    std::atomic<uint32_t> m_jobsQueued{0};
    std::atomic<uint32_t> m_jobsDone{0};
};
