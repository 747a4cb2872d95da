// Render commands written, submitted and executed per second against the raw command ring of a
// worker thread carrying the same payloads; "vs_ring" is the render stream's rate over the ring's.
#include "core/threads/BaseThread.h"
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>

namespace
{
constexpr uint32_t kBatch = 256; // commands per asynchronous submit

// Reads the argument bytes named by the sub-command, as a render-side object would.
void ConsumeArguments(NorvexRenderer&, uint32_t argumentBytes, CommandRingBuffer& reader)
{
    uint8_t scratch[kMaxRenderPayloadBytes];
    reader.Read(scratch, argumentBytes);
    benchmark::DoNotOptimize(scratch[0]);
}

// A worker that reads each record's payload, for the raw ring.
class RingConsumer : public BaseThread
{
public:
    RingConsumer() : BaseThread("RingBench", kRendererRingBytes, false, os::kInfinite, 0) {}
    ~RingConsumer() override { Stop(); }

protected:
    void HandleCommand(const uint8_t*) override
    {
        uint8_t scratch[kMaxRenderPayloadBytes];
        GetRing().Read(scratch, GetRing().GetReadPayloadSize());
        benchmark::DoNotOptimize(scratch[0]);
    }
};

// Seconds per command of the raw ring for a payload size, measured once.
double RingSecondsPerCommand(uint32_t payloadBytes)
{
    static std::map<uint32_t, double> cache;
    if (auto it = cache.find(payloadBytes); it != cache.end())
        return it->second;
    RingConsumer consumer;
    consumer.Start();
    uint8_t payload[kMaxRenderPayloadBytes] = {};
    constexpr uint32_t kCommands = 200000;
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < kCommands; ++i)
        consumer.PostCommand(kFirstSubclassCommand, payload, payloadBytes);
    consumer.Flush();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return cache[payloadBytes] = seconds / kCommands;
}

void RenderCommands(benchmark::State& state)
{
    const uint32_t payloadBytes = uint32_t(state.range(0));
    const uint32_t argumentBytes = payloadBytes - renderpayload::kCallHeader;
    gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
    config.desktopWidth = 64;
    config.desktopHeight = 64;
    gpu::SetDisplayConfig(config);
    NorvexRenderer renderer;
    if (!renderer.Init(nullptr, false))
    {
        state.SkipWithError("no device");
        return;
    }
    uint8_t arguments[kMaxRenderPayloadBytes] = {};
    for (auto _ : state)
    {
        for (uint32_t i = 0; i < kBatch; ++i)
            if (renderer.WriteCall(&ConsumeArguments, argumentBytes, argumentBytes))
                renderer.GetWriter().Write(arguments, argumentBytes);
        renderer.SubmitCommands(false);
    }
    renderer.SubmitCommands(true);
    renderer.Close();
    state.SetItemsProcessed(int64_t(state.iterations()) * kBatch);
    state.SetBytesProcessed(int64_t(state.iterations()) * kBatch * payloadBytes);
}

// The ratio needs the stream's own wall time including the final drain, so it is measured apart.
void RenderCommandsVsRing(benchmark::State& state)
{
    const uint32_t payloadBytes = uint32_t(state.range(0));
    const uint32_t argumentBytes = payloadBytes - renderpayload::kCallHeader;
    const double ringSeconds = RingSecondsPerCommand(payloadBytes);
    gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
    NorvexRenderer renderer;
    if (!renderer.Init(nullptr, false))
    {
        state.SkipWithError("no device");
        return;
    }
    uint8_t arguments[kMaxRenderPayloadBytes] = {};
    constexpr uint32_t kCommands = 200000;
    double ratio = 0.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        for (uint32_t i = 0; i < kCommands; ++i)
        {
            if (renderer.WriteCall(&ConsumeArguments, argumentBytes, argumentBytes))
                renderer.GetWriter().Write(arguments, argumentBytes);
            if (i % kBatch == kBatch - 1)
                renderer.SubmitCommands(false);
        }
        renderer.SubmitCommands(true);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ratio = (ringSeconds * kCommands) / seconds;
    }
    renderer.Close();
    state.counters["ring_commands_per_s"] = 1.0 / ringSeconds;
    state.counters["vs_ring"] = ratio;
    state.SetItemsProcessed(int64_t(state.iterations()) * kCommands);
}

void RawRing(benchmark::State& state)
{
    const uint32_t payloadBytes = uint32_t(state.range(0));
    RingConsumer consumer;
    consumer.Start();
    uint8_t payload[kMaxRenderPayloadBytes] = {};
    for (auto _ : state)
        for (uint32_t i = 0; i < kBatch; ++i)
            consumer.PostCommand(kFirstSubclassCommand, payload, payloadBytes);
    consumer.Flush();
    state.SetItemsProcessed(int64_t(state.iterations()) * kBatch);
    state.SetBytesProcessed(int64_t(state.iterations()) * kBatch * payloadBytes);
}
} // namespace

BENCHMARK(RenderCommands)->Arg(16)->Arg(256)->UseRealTime();
BENCHMARK(RawRing)->Arg(16)->Arg(256)->UseRealTime();
BENCHMARK(RenderCommandsVsRing)->Arg(16)->Arg(256)->Iterations(3)->UseRealTime();
