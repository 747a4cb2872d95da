#include "core/threads/BaseThread.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "platform/os/MessageQueue.h"
#include "platform/os/ProcessBarrier.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace
{
constexpr uint32_t kFullRingSleepMs = 20;
// A worker that reads each record as soon as it lands shares the producer's lines while they are
// still being written: every look moves the write offset's line and the record's line between the
// cores, the producer waits for them at its next posts, and the two settle at the pace of those
// transfers. When a look found less than kChaseSpanBytes, the worker leaves the ring alone for
// kChasePause so that the producer gets ahead, and the next look finds a run of whole lines.
constexpr uint32_t kChaseSpanBytes = 4096;
constexpr std::chrono::nanoseconds kChasePause{1000};
// How long an idle worker keeps looking at its ring before it sleeps, and a flusher at the ring
// before it sleeps on its event. Measured on the steady clock: tests may stop the engine's counter.
constexpr std::chrono::microseconds kSpinTime{50};
// Flush and Stop wait without a limit, but say so when the worker takes this long.
constexpr uint32_t kSlowWaitReportMs = 10000;
// Pauses between two looks: a waiter that looks without a break keeps pulling the line the other
// side is writing.
constexpr int kPausesPerLook = 4;

void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    asm volatile("" ::: "memory");
#endif
}

// True as soon as done() holds; false once kSpinTime has passed. The spin never yields the core: on
// a busy machine a yield hands it to another runnable thread for a whole time slice, milliseconds
// for a wait that was worth microseconds; a waiter that runs out of spin sleeps on an event instead.
template <typename Done>
bool SpinUntil(Done&& done)
{
    if (done())
        return true;
    // The clock is read only once the first look failed: a worker chasing its producer finds the
    // next command at once most of the time.
    const auto deadline = std::chrono::steady_clock::now() + kSpinTime;
    for (uint32_t i = 1;; ++i)
    {
        for (int pause = 0; pause < kPausesPerLook; ++pause)
            Pause();
        if (done())
            return true;
        if ((i & 15u) == 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}
} // namespace

BaseThread::BaseThread(const char* name, uint32_t ringBytes, bool producerLock, uint32_t waitTimeoutMs,
                       uintptr_t subclassWord)
    : m_ring(ringBytes, THREAD_COMMAND_NOP), m_name(name != nullptr ? name : ""), m_configuredTimeoutMs(waitTimeoutMs),
      m_subclassWord(subclassWord), m_sleepBarrier(os::RegisterProcessBarrier()),
      m_producerLock(producerLock ? std::make_unique<os::CriticalSection>() : nullptr), m_currentTimeoutMs(waitTimeoutMs)
{
}

// Last resort only: by now the subclass part is gone, so subclasses stop in their own destructor.
BaseThread::~BaseThread()
{
    BaseThread::Stop();
}

bool BaseThread::Start()
{
    if (m_thread.IsRunning())
        return false;
    m_exitRequested = false;
    m_exitEvent = nullptr;
    m_currentTimeoutMs = m_configuredTimeoutMs;
    const bool started = m_thread.Start(m_name.c_str(), &BaseThread::ThreadEntry, this);
    m_threadId.store(m_thread.GetId(), std::memory_order_release);
    PostCommand(THREAD_COMMAND_INIT, nullptr, 0);
    return started;
}

void BaseThread::Stop()
{
    if (!m_thread.IsRunning() || IsCurrentThread())
        return;
    os::Event exited(false);
    os::Event* const exitedPointer = &exited;
    PostCommand(THREAD_COMMAND_EXIT, &exitedPointer, sizeof(exitedPointer));
    WaitForEvent(exited, "stop");
    m_thread.Join();
    m_exitEvent = nullptr;
    m_threadId.store(0, std::memory_order_release);
}

bool BaseThread::IsCurrentThread() const
{
    const uint32_t id = GetThreadId();
    return id != 0 && id == os::CurrentThreadId();
}

bool BaseThread::BeginCommandSlow(uint32_t id, uint32_t payloadBytes)
{
    // Waiting would never end: no amount of draining makes room for this record.
    if (payloadBytes >= m_ring.GetMaxPayload())
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Thread \"%s\": command %u with %u payload bytes never fits its %u-byte ring",
                       m_name.c_str(), id, payloadBytes, m_ring.GetCapacity());
        return false;
    }
    if (m_producerLock)
        m_producerLock->Enter();
    if (m_ring.BeginWrite(id, payloadBytes))
        return true;
    m_wakeEvent.Set();
    for (;;)
    {
        // Announced before the last look, so room the worker frees from here on wakes this wait.
        m_producerWaiting.store(true, std::memory_order_seq_cst);
        if (m_ring.BeginWrite(id, payloadBytes))
            break;
        m_spaceEvent.Wait(kFullRingSleepMs);
    }
    m_producerWaiting.store(false, std::memory_order_relaxed);
    return true;
}

void BaseThread::WakeSleepingWorker()
{
    // One wake per announced sleep: the producers of a batch posted while the worker is still
    // waking would otherwise each take the event's lock that the waking worker needs.
    if (m_workerSleeping.exchange(false, std::memory_order_seq_cst))
        m_wakeEvent.Set();
}

void BaseThread::EndCommandSlow()
{
    if (m_producerLock)
        m_producerLock->Leave();
    if (m_wakeSemaphore != nullptr)
        m_wakeSemaphore->Release(1);
}

// Each flush waits on an event of its own: with one shared done event two flushers could wake each
// other before their own commands ran.
void BaseThread::Flush()
{
    if (!m_thread.IsRunning() || IsCurrentThread())
        return;
    os::Event done(false);
    os::Event* const donePointer = &done;
    if (!PostCommand(THREAD_COMMAND_DONE, &donePointer, sizeof(donePointer)))
        return;
    // A short drain is cheaper to watch than to sleep on. The watch is on the done event alone: the
    // ring's read offset changes with every command, and each look at it would take that line from
    // the worker in the middle of its drain.
    SpinUntil([&done] { return done.IsSet(); });
    WaitForEvent(done, "flush");
}

void BaseThread::SetIdle(bool idle)
{
    const uint8_t flag = idle ? 1 : 0;
    PostCommand(THREAD_COMMAND_IDLE, &flag, sizeof(flag));
}

bool BaseThread::PostCall(ThreadCall call, uintptr_t argument)
{
    // Function and argument are pointer-sized (64-bit) words.
    uint8_t payload[sizeof(call) + sizeof(argument)];
    std::memcpy(payload, &call, sizeof(call));
    std::memcpy(payload + sizeof(call), &argument, sizeof(argument));
    return PostCommand(THREAD_COMMAND_CALL, payload, sizeof(payload));
}

// 64-bit builds compute in SSE registers, whose precision needs no per-thread set-up.
void BaseThread::ThreadInit()
{
}

void BaseThread::ThreadExit()
{
}

void BaseThread::HandleCommand(const uint8_t*)
{
}

void BaseThread::Tick()
{
    m_tickCount.fetch_add(1, std::memory_order_relaxed);
    ProcessCommands();
}

void BaseThread::ProcessCommands()
{
    m_lastTickHadWork = !m_ring.IsEmpty();
    if (!m_lastTickHadWork)
    {
        if (m_idleTicks == 0)
            m_idleStart = Time::Now();
        ++m_idleTicks;
        return;
    }
    if (m_idleTicks != 0)
    {
        m_idleTime.fetch_add((Time::Now() - m_idleStart).GetTicks(), std::memory_order_relaxed);
        m_idleTicks = 0;
    }
    while (m_ring.BeginRead())
    {
        // Nearly every record is the subclass's: it goes straight to HandleCommand, without a call
        // through the built-in dispatch.
        const uint32_t id = m_ring.GetReadId();
        bool ran = true;
        if (id >= kFirstSubclassCommand)
            HandleCommand(m_ring.GetReadRecord());
        else
            ran = ExecuteBuiltInCommand(id);
        if (ran && m_wakeSemaphore != nullptr)
            m_wakeSemaphore->Wait(os::kInfinite);
        m_ring.EndRead();
        if (m_producerWaiting.load(std::memory_order_relaxed) &&
            m_ring.GetFillLevel() <= m_ring.GetCapacity() / 2)
            WakeWaitingProducer();
        OnCommandDone();
        if (!m_ring.HasSeenUnreadRecord() && m_ring.GetLastLookSpan() < kChaseSpanBytes)
            LetProducerGetAhead();
    }
}

void BaseThread::LetProducerGetAhead() const
{
    const auto until = std::chrono::steady_clock::now() + kChasePause;
    do
        for (int idle = 0; idle < 64; ++idle)
            asm volatile("");
    while (std::chrono::steady_clock::now() < until);
}

void BaseThread::WakeWaitingProducer()
{
    if (m_producerWaiting.exchange(false, std::memory_order_acq_rel))
        m_spaceEvent.Set();
}

bool BaseThread::SpinForWork() const
{
    return SpinUntil([this] { return !m_ring.IsEmpty(); });
}

// Runs a record with an id below kFirstSubclassCommand; false for the ids that are not followed by
// the wake semaphore's wait.
bool BaseThread::ExecuteBuiltInCommand(uint32_t id)
{
    switch (id)
    {
    case THREAD_COMMAND_INIT:
        ThreadInit();
        return true;
    case THREAD_COMMAND_EXIT:
    {
        os::Event* exited = nullptr;
        m_ring.Read(&exited, sizeof(exited));
        ThreadExit();
        m_exitEvent = exited;
        m_exitRequested = true;
        return false;
    }
    case THREAD_COMMAND_IDLE:
    {
        uint8_t idle = 0;
        m_ring.Read(&idle, sizeof(idle));
        m_currentTimeoutMs = idle != 0 ? os::kInfinite : m_configuredTimeoutMs;
        return false;
    }
    case THREAD_COMMAND_DONE:
    {
        os::Event* done = nullptr;
        m_ring.Read(&done, sizeof(done));
        if (done != nullptr)
            done->Set();
        return true;
    }
    case THREAD_COMMAND_CALL:
    {
        ThreadCall call = nullptr;
        uintptr_t argument = 0;
        if (m_ring.Read(&call, sizeof(call)) && m_ring.Read(&argument, sizeof(argument)) && call != nullptr)
            call(*this, argument, m_ring);
        return true;
    }
    default: // THREAD_COMMAND_NOP and the wrap marker
        return false;
    }
}

void BaseThread::ThreadEntry(void* argument)
{
    static_cast<BaseThread*>(argument)->RunLoop();
}

void BaseThread::RunLoop()
{
    // Known before the first Tick, so hooks that flush their own thread return at once.
    m_threadId.store(os::CurrentThreadId(), std::memory_order_release);
    while (!m_exitRequested)
    {
        if (m_currentTimeoutMs != 0 && !(m_lastTickHadWork && SpinForWork()))
        {
            m_workerSleeping.store(true, std::memory_order_seq_cst);
            // Every commit made before this barrier is seen by the look below; every one after it
            // sees the announcement. Should the barrier fail, a missed commit waits at most a step.
            const uint32_t timeoutMs = !m_sleepBarrier || os::ProcessBarrier()
                                           ? m_currentTimeoutMs
                                           : std::min(m_currentTimeoutMs, kFullRingSleepMs);
            // A producer that found the ring full before this thread drained it sleeps too.
            if (m_producerWaiting.load(std::memory_order_seq_cst))
                WakeWaitingProducer();
            if (m_ring.IsEmpty())
                os::WaitForEventOrMessage(m_wakeEvent, timeoutMs);
            m_workerSleeping.store(false, std::memory_order_relaxed);
        }
        os::Message message;
        while (os::PeekMessage(message, true))
            os::DispatchMessage(message);
        Tick();
    }
    if (m_exitEvent != nullptr)
        m_exitEvent->Set();
}

void BaseThread::WaitForEvent(os::Event& event, const char* what)
{
    while (!event.Wait(kSlowWaitReportMs))
        gConsole.Warning(CONSOLE_CHANNEL_CORE, "Still waiting for thread \"%s\" to %s", m_name.c_str(), what);
}
