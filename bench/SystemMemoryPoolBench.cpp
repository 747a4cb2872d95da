// Allocate/free churn in a SystemMemoryPool (the resource pools' allocator) beside malloc/free of
// the same sizes in the same order: 256 live chunks of 64 B to 64 KB, one freed and one allocated
// per step. Both sides run in turn within each iteration; "x_malloc" is the median of the per-pair
// speed ratios (above 1: the pool is faster).
#include "PairedRatio.h"

#include "core/memory/SystemMemoryPool.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace
{
constexpr int kLive = 256;
constexpr int kSteps = 4096;

void BM_PoolChurnVsMalloc(benchmark::State& state)
{
    std::mt19937 random(7);
    std::vector<uint32_t> sizes(kSteps);
    std::vector<uint32_t> victims(kSteps);
    for (int i = 0; i < kSteps; ++i)
    {
        sizes[size_t(i)] = 64u << (random() % 11);
        victims[size_t(i)] = random() % kLive;
    }
    SystemMemoryPool pool;
    if (!pool.Init(64u << 20, 16, 0))
    {
        state.SkipWithError("pool block could not be allocated");
        return;
    }
    std::vector<SystemMemoryChunk*> chunks(kLive, nullptr);
    std::vector<void*> blocks(kLive, nullptr);
    for (int i = 0; i < kLive; ++i)
    {
        chunks[size_t(i)] = pool.Allocate(sizes[size_t(i)]);
        blocks[size_t(i)] = std::malloc(sizes[size_t(i)]);
    }
    PairedRatio ratio;
    bool ok = true;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (int i = 0; i < kSteps; ++i)
                {
                    SystemMemoryChunk*& slot = chunks[victims[size_t(i)]];
                    if (slot != nullptr)
                        pool.Free(slot);
                    slot = pool.Allocate(sizes[size_t(i)]);
                    ok = ok && slot != nullptr;
                }
            },
            [&] {
                for (int i = 0; i < kSteps; ++i)
                {
                    void*& slot = blocks[victims[size_t(i)]];
                    std::free(slot);
                    slot = std::malloc(sizes[size_t(i)]);
                    benchmark::DoNotOptimize(slot);
                }
            });
    }
    for (int i = 0; i < kLive; ++i)
    {
        if (chunks[size_t(i)] != nullptr)
            pool.Free(chunks[size_t(i)]);
        std::free(blocks[size_t(i)]);
    }
    pool.Release();
    if (!ok)
        state.SkipWithError("the pool ran out of room");
    state.SetItemsProcessed(int64_t(state.iterations()) * kSteps * 2);
    ratio.Report(state, "x_malloc");
}
BENCHMARK(BM_PoolChurnVsMalloc)->MinTime(1.0);
} // namespace
