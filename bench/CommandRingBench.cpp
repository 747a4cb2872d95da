// Commands posted to a worker and drained by it: a BaseThread's command ring beside a
// single-producer queue with a blocking consumer carrying the same payloads, holding as many
// commands as the ring. Each batch ends with a marker that the consumer answers (our Flush's
// command; the queue's marker item and a semaphore of the queue's library), and the producer waits
// for that answer the same way on both sides: it watches for it as long as Flush does, then sleeps
// on its event or the semaphore. Both consumers read their payload with its size known, as a
// handler of one command would. The two sides run in turn within each iteration, each after a
// pause long enough for both consumers to have gone to sleep, so neither side's consumer is still
// spinning when the other's batch starts and every batch wakes its consumer; the reported ratio is
// the median of the per-pair ratios. "loaded:1" runs the same pairs while busy threads hold every
// core the benchmark may use; "loaded:0" is only as quiet as the machine is. With three or more
// CPUs in its affinity mask the benchmark pins the producer to the first CPU and both consumers to
// the second ("swap:1": the third). Both consumers share one CPU because how far apart two cores
// are decides much of a hand-off's cost: on a virtual machine that distance changes from run to
// run, and consumers on different CPUs would measure the placement rather than the hand-off.
#include "PairedRatio.h"

#include "core/threads/BaseThread.h"

#include <benchmark/benchmark.h>
#include <readerwriterqueue/readerwriterqueue.h>

#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace
{
// The CPUs the benchmark may use (its affinity mask), in order.
std::vector<int> AllowedCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof(set), &set) == 0)
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &set))
                cpus.push_back(cpu);
    return cpus;
}

// Pins the calling thread; a negative cpu leaves it to the scheduler.
void PinCurrentThread(int cpu)
{
    if (cpu < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(0, sizeof(set), &set);
}

void PinWorker(BaseThread&, uintptr_t cpu, CommandRingBuffer&)
{
    PinCurrentThread(int(intptr_t(cpu)));
}

// Where the producer and the two consumers run (-1: anywhere the mask allows).
struct Placement
{
    int producer = -1;
    int consumers = -1;
};

Placement PlaceThreads(bool otherConsumerCpu)
{
    const std::vector<int> cpus = AllowedCpus();
    if (cpus.size() < 3)
        return {};
    return Placement{cpus[0], otherConsumerCpu ? cpus[2] : cpus[1]};
}

// Longer than either consumer looks for work before it sleeps (our worker: 50 us; the queue's:
// 1024 looks), so each timed batch starts with its consumer asleep.
void LetConsumersSleep()
{
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// A batch fits the 1 MiB ring, so the producer never meets a full ring here.
constexpr int kBatch = 1024;
constexpr uint32_t kCommand = kFirstSubclassCommand;

template <uint32_t kPayloadBytes>
class DrainThread : public BaseThread
{
public:
    explicit DrainThread(uint32_t ringBytes, uint32_t spinPerCommand = 0)
        : BaseThread("BenchDrain", ringBytes, false, os::kInfinite, 0), m_spinPerCommand(spinPerCommand)
    {
    }
    ~DrainThread() override { Stop(); }
    uint64_t GetChecksum() const { return m_checksum.load(std::memory_order_acquire); }

protected:
    void HandleCommand(const uint8_t*) override
    {
        uint8_t payload[kPayloadBytes];
        if (!GetRing().Read(payload, kPayloadBytes))
            return;
        uint64_t sum = m_checksum.load(std::memory_order_relaxed) + payload[0];
        for (uint32_t i = 0; i < m_spinPerCommand; ++i)
            benchmark::DoNotOptimize(sum += i);
        m_checksum.store(sum, std::memory_order_release);
    }

private:
    const uint32_t m_spinPerCommand;
    std::atomic<uint64_t> m_checksum{0};
};

// How long our Flush watches for its answer before it sleeps on its event, and how it spaces its
// looks.
constexpr std::chrono::microseconds kFlushSpin{50};
constexpr int kPausesPerLook = 4;

// Looks at done() until it holds or kFlushSpin has passed, as our Flush does before its event wait.
template <typename Done>
void SpinLikeFlush(Done&& done)
{
    if (done())
        return;
    const auto deadline = std::chrono::steady_clock::now() + kFlushSpin;
    for (uint32_t i = 1;; ++i)
    {
        for (int pause = 0; pause < kPausesPerLook; ++pause)
        {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#else
            asm volatile("" ::: "memory");
#endif
        }
        if (done() || ((i & 15u) == 0 && std::chrono::steady_clock::now() >= deadline))
            return;
    }
}

// The reference: a blocking single-producer queue. Its consumer answers each batch's marker item
// through the library's own semaphore, which the producer watches and then waits on as our Flush
// watches and waits on its event. The semaphore and the consumer's checksum have lines of their
// own, so the producer's looks do not take a line the consumer writes for every item.
template <size_t kBytes>
class QueueConsumer
{
public:
    using Payload = std::array<uint8_t, kBytes>;

    QueueConsumer(int cpu, size_t capacity) : m_queue(capacity)
    {
        m_thread = std::thread([this, cpu] {
            PinCurrentThread(cpu);
            Payload payload{};
            while (!m_stop.load(std::memory_order_acquire))
            {
                if (m_queue.wait_dequeue_timed(payload, std::chrono::milliseconds(10)))
                {
                    m_checksum.store(m_checksum.load(std::memory_order_relaxed) + payload[0],
                                     std::memory_order_release);
                    if (payload[kMarkerByte] != 0)
                        m_batchDone.signal();
                }
            }
        });
    }
    ~QueueConsumer()
    {
        m_stop.store(true, std::memory_order_release);
        m_thread.join();
    }

    void PostBatch()
    {
        Payload payload{};
        payload[0] = 1;
        for (int i = 0; i < kBatch; ++i)
            m_queue.enqueue(payload);
        Payload marker{};
        marker[kMarkerByte] = 1;
        m_queue.enqueue(marker);
        SpinLikeFlush([this] { return m_batchDone.availableApprox() != 0; });
        m_batchDone.wait();
    }

private:
    static constexpr size_t kMarkerByte = kBytes - 1;

    moodycamel::BlockingReaderWriterQueue<Payload> m_queue;
    alignas(64) moodycamel::spsc_sema::LightweightSemaphore m_batchDone;
    alignas(64) std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_checksum{0};
    std::thread m_thread;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Threads that keep every core of the benchmark's own set busy while they live, so that the
// load case does not depend on what else the machine happens to run.
class BusyCores
{
public:
    explicit BusyCores(unsigned threads)
    {
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] {
                uint64_t sum = 0;
                while (!m_stop.load(std::memory_order_relaxed))
                    benchmark::DoNotOptimize(sum += 1);
            });
    }
    ~BusyCores()
    {
        m_stop.store(true, std::memory_order_relaxed);
        for (std::thread& thread : m_threads)
            thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// As many busy threads as the benchmark may use cores (its affinity mask).
unsigned CoresAvailable()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0)
        return std::thread::hardware_concurrency();
    return unsigned(CPU_COUNT(&set));
}

template <size_t kBytes>
void BM_RingVsQueue(benchmark::State& state)
{
    // Argument 1: the same batches while busy threads hold every core the benchmark may use.
    std::unique_ptr<BusyCores> busy = state.range(0) != 0 ? std::make_unique<BusyCores>(CoresAvailable()) : nullptr;
    const Placement placement = PlaceThreads(state.range(1) != 0);
    constexpr uint32_t kRingBytes = 1u << 20;
    DrainThread<kBytes> thread(kRingBytes);
    thread.Start();
    thread.PostCall(&PinWorker, uintptr_t(intptr_t(placement.consumers)));
    QueueConsumer<kBytes> queue(placement.consumers, kRingBytes / CommandRingBuffer::Stride(kBytes));
    cpu_set_t ownCpus;
    sched_getaffinity(0, sizeof(ownCpus), &ownCpus);
    PinCurrentThread(placement.producer);
    uint8_t payload[256] = {1};
    PairedRatio ratio;
    // Our side split in two: posting the batch, then the Flush that waits for the worker to finish it.
    std::vector<double> posting;
    std::vector<double> flushing;
    const auto ours = [&] {
        LetConsumersSleep();
        const double post = PairedRatio::Time([&] {
            for (int i = 0; i < kBatch; ++i)
                thread.PostCommand(kCommand, payload, kBytes);
        });
        const double flush = PairedRatio::Time([&] { thread.Flush(); });
        posting.push_back(post);
        flushing.push_back(flush);
        return post + flush;
    };
    const auto reference = [&] {
        LetConsumersSleep();
        return PairedRatio::Time([&] { queue.PostBatch(); });
    };
    for (auto _ : state)
    {
        // The order alternates so that neither side always runs first.
        if ((ratio.Count() & 1u) == 0)
        {
            const double oursSeconds = ours();
            ratio.Add(oursSeconds, reference());
        }
        else
        {
            const double referenceSeconds = reference();
            ratio.Add(ours(), referenceSeconds);
        }
    }
    sched_setaffinity(0, sizeof(ownCpus), &ownCpus);
    benchmark::DoNotOptimize(thread.GetChecksum());
    state.SetItemsProcessed(int64_t(state.iterations()) * kBatch * 2);
    ratio.Report(state, "ring_vs_queue");
    state.counters["post_s"] = Median(posting);
    state.counters["flush_s"] = Median(flushing);
}

// A producer outrunning the worker on a 64 KB ring: 20,000 commands of 256 bytes, each taking the
// worker a little work, so the producer keeps meeting a full ring.
void BM_FullRing64K(benchmark::State& state)
{
    constexpr int kCommands = 20000;
    DrainThread<256> thread(64u << 10, 200);
    thread.Start();
    uint8_t payload[256] = {1};
    for (auto _ : state)
    {
        for (int i = 0; i < kCommands; ++i)
            thread.PostCommand(kCommand, payload, 256);
        thread.Flush();
    }
    benchmark::DoNotOptimize(thread.GetChecksum());
    state.SetItemsProcessed(int64_t(state.iterations()) * kCommands);
}

// One command from post to execution on an idle worker, and the Flush round trip.
void BM_PostToExecuteLatency(benchmark::State& state)
{
    DrainThread<16> thread(1u << 16);
    thread.Start();
    uint8_t payload[16] = {1};
    uint64_t expected = thread.GetChecksum();
    for (auto _ : state)
    {
        thread.PostCommand(kCommand, payload, 16);
        ++expected;
        while (thread.GetChecksum() != expected)
            std::this_thread::yield();
    }
}

void BM_FlushRoundTrip(benchmark::State& state)
{
    DrainThread<16> thread(1u << 16);
    thread.Start();
    for (auto _ : state)
        thread.Flush();
}
} // namespace

BENCHMARK_TEMPLATE(BM_RingVsQueue, 16)
    ->ArgNames({"loaded", "swap"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_TEMPLATE(BM_RingVsQueue, 256)
    ->ArgNames({"loaded", "swap"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_FullRing64K)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostToExecuteLatency)->UseRealTime();
BENCHMARK(BM_FlushRoundTrip)->UseRealTime();
