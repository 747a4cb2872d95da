// Commands posted to a worker and drained by it, per second: a BaseThread's command ring beside a
// single-producer queue with a blocking consumer carrying the same payloads. Each batch ends when
// the consumer has taken everything, so both sides pay for the hand-off.
#include "core/threads/BaseThread.h"

#include <benchmark/benchmark.h>
#include <readerwriterqueue/readerwriterqueue.h>

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

namespace
{
// A batch fits the 1 MiB ring, so the producer never meets the full-ring back-off (20 ms sleeps).
constexpr int kBatch = 1024;
constexpr uint32_t kCommand = kFirstSubclassCommand;

// Commands per second of the ring, by payload size, for the ratio reported beside the queue.
std::map<int64_t, double> gRingRate;

class DrainThread : public BaseThread
{
public:
    explicit DrainThread(uint32_t payloadBytes)
        : BaseThread("BenchDrain", 1u << 20, false, os::kInfinite, 0), m_payloadBytes(payloadBytes)
    {
    }
    ~DrainThread() override { Stop(); }
    uint64_t GetChecksum() const { return m_checksum.load(std::memory_order_relaxed); }

protected:
    void HandleCommand(const uint8_t*) override
    {
        uint8_t payload[256];
        GetRing().Read(payload, m_payloadBytes);
        m_checksum.store(m_checksum.load(std::memory_order_relaxed) + payload[0], std::memory_order_relaxed);
    }

private:
    const uint32_t m_payloadBytes;
    std::atomic<uint64_t> m_checksum{0};
};

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

void BM_BaseThreadRing(benchmark::State& state)
{
    const uint32_t payloadBytes = static_cast<uint32_t>(state.range(0));
    DrainThread thread(payloadBytes);
    thread.Start();
    uint8_t payload[256] = {1};
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            thread.PostCommand(kCommand, payload, payloadBytes);
        thread.Flush();
    }
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    benchmark::DoNotOptimize(thread.GetChecksum());
    const double commands = double(state.iterations()) * kBatch;
    state.SetItemsProcessed(int64_t(commands));
    state.SetBytesProcessed(int64_t(commands * payloadBytes));
    gRingRate[state.range(0)] = commands / seconds;
}

template <size_t kBytes>
void BM_ReaderWriterQueue(benchmark::State& state)
{
    using Payload = std::array<uint8_t, kBytes>;
    moodycamel::BlockingReaderWriterQueue<Payload> queue(kBatch);
    std::atomic<uint64_t> taken{0};
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> checksum{0};
    std::thread consumer([&] {
        Payload payload{};
        while (!stop.load(std::memory_order_acquire))
        {
            if (queue.wait_dequeue_timed(payload, std::chrono::milliseconds(10)))
            {
                checksum.store(checksum.load(std::memory_order_relaxed) + payload[0], std::memory_order_relaxed);
                taken.fetch_add(1, std::memory_order_release);
            }
        }
    });
    Payload payload{};
    payload[0] = 1;
    uint64_t posted = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            queue.enqueue(payload);
        posted += kBatch;
        while (taken.load(std::memory_order_acquire) != posted)
            std::this_thread::yield();
    }
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    stop.store(true, std::memory_order_release);
    consumer.join();
    benchmark::DoNotOptimize(checksum.load());
    const double commands = double(state.iterations()) * kBatch;
    state.SetItemsProcessed(int64_t(commands));
    state.SetBytesProcessed(int64_t(commands * kBytes));
    const auto ring = gRingRate.find(int64_t(kBytes));
    if (ring != gRingRate.end())
        state.counters["ring_vs_queue"] = ring->second / (commands / seconds);
}
} // namespace

BENCHMARK(BM_BaseThreadRing)->Arg(16)->Arg(256)->UseRealTime();
BENCHMARK_TEMPLATE(BM_ReaderWriterQueue, 16)->UseRealTime();
BENCHMARK_TEMPLATE(BM_ReaderWriterQueue, 256)->UseRealTime();
