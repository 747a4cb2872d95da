// The render thread's cost of ordering gathered mesh draws: 10,000 records (ten flushes of 1,000)
// over 40 meshes and 2 presets sorted by depth key and run keys, against sorting their depth keys
// alone as the reference. Device calls are not measured here.
#include "renderer/MeshTemplateRenderingData.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace
{
constexpr uint32_t kRecords = 10000;
constexpr uint32_t kFlush = 1000;

std::vector<MeshGatherRecord> MakeRecords()
{
    std::mt19937 random(7);
    std::vector<MeshGatherRecord> records(kRecords);
    for (MeshGatherRecord& record : records)
    {
        record.data = reinterpret_cast<const MeshTemplateRenderingData*>(uintptr_t(0x1000 + 64 * (random() % 40)));
        record.presetIndex = random() % 2;
        // Coarse keys, as a few depth bands of a strategy camera give.
        record.depthKey = 10000.0f + float(random() % 16);
    }
    return records;
}

void BM_SortGatheredRecords(benchmark::State& state)
{
    const std::vector<MeshGatherRecord> source = MakeRecords();
    std::vector<MeshGatherRecord> records;
    for (auto _ : state)
    {
        records = source;
        uint32_t runs = 0;
        for (uint32_t first = 0; first < kRecords; first += kFlush)
        {
            MeshGatherRecord* const chunk = records.data() + first;
            MeshTemplateRenderingData::SortGathered(chunk, kFlush);
            for (uint32_t i = 1; i <= kFlush; ++i)
                runs += i == kFlush || chunk[i].data != chunk[i - 1].data ||
                        chunk[i].presetIndex != chunk[i - 1].presetIndex;
        }
        benchmark::DoNotOptimize(runs);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void BM_SortDepthKeysReference(benchmark::State& state)
{
    const std::vector<MeshGatherRecord> source = MakeRecords();
    std::vector<float> keys;
    for (auto _ : state)
    {
        keys.clear();
        for (const MeshGatherRecord& record : source)
            keys.push_back(record.depthKey);
        for (uint32_t first = 0; first < kRecords; first += kFlush)
            std::stable_sort(keys.begin() + first, keys.begin() + first + kFlush);
        benchmark::DoNotOptimize(keys.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}
} // namespace

BENCHMARK(BM_SortGatheredRecords)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SortDepthKeysReference)->Unit(benchmark::kMicrosecond);
