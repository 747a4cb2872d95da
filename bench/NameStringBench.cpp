// Interning names: the NameString pool beside a hash map doing the same job (a lock, a reference
// count per text, its length): intern a text, then release it. Each iteration runs a batch on both
// sides in turn and "x_hash_map" is the median of the per-batch ratios (above 1: the pool is faster).
#include "PairedRatio.h"

#include "core/strings/NameString.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace
{
constexpr int kPoolNames = 4096;

// The reference: texts with a reference count under one lock, as the pool keeps them.
class CountedSet
{
public:
    const char* Intern(std::string_view text)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_entries.find(text);
        if (found == m_entries.end())
            found = m_entries.emplace(std::string(text), 0u).first;
        ++found->second;
        return found->first.c_str();
    }
    void Release(std::string_view text)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_entries.find(text);
        if (found != m_entries.end() && --found->second == 0)
            m_entries.erase(found);
    }

private:
    struct TransparentHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::mutex m_mutex;
    std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> m_entries;
};

std::vector<std::string> MakeTexts(const char* prefix, int count)
{
    std::vector<std::string> texts;
    char buffer[64];
    for (int i = 0; i < count; ++i)
    {
        std::snprintf(buffer, sizeof(buffer), "%s/entity_%05d", prefix, int((i * 2654435761u) % 100000));
        texts.emplace_back(buffer);
    }
    return texts;
}

const std::vector<std::string>& PresentTexts()
{
    static const std::vector<std::string> texts = MakeTexts("scene", kPoolNames);
    return texts;
}

const std::vector<std::string>& MissingTexts()
{
    static const std::vector<std::string> texts = MakeTexts("other", kPoolNames);
    return texts;
}

// Interns and releases every text once per side; with `present` held, these are hits, otherwise
// each text is added and removed again.
void InternRelease(benchmark::State& state, const std::vector<std::string>& texts)
{
    std::vector<NameString> held;
    CountedSet set;
    for (const std::string& text : PresentTexts())
    {
        held.emplace_back(text.c_str());
        set.Intern(text);
    }
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (const std::string& text : texts)
                {
                    const NameString name(text.c_str());
                    benchmark::DoNotOptimize(name.Length());
                }
            },
            [&] {
                for (const std::string& text : texts)
                {
                    const char* const interned = set.Intern(text);
                    benchmark::DoNotOptimize(interned);
                    set.Release(text);
                }
            });
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kPoolNames * 2);
    ratio.Report(state, "x_hash_map");
}

void BM_InternReleaseHits(benchmark::State& state)
{
    InternRelease(state, PresentTexts());
}

void BM_InternReleaseMisses(benchmark::State& state)
{
    InternRelease(state, MissingTexts());
}

// Heap bytes in use, large (mapped) blocks included.
size_t HeapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// 65,536 names made and then released in the order they were made; also the heap bytes per name
// (blocks and index together, on the first pass) while they are alive.
void BM_BulkCreateRelease(benchmark::State& state)
{
    constexpr int kNames = 65536;
    std::vector<std::string> unique;
    char buffer[64];
    for (int i = 0; i < kNames; ++i)
    {
        std::snprintf(buffer, sizeof(buffer), "bulk/entity_%05d", i);
        unique.emplace_back(buffer);
    }
    double bytesPerName = 0.0;
    for (auto _ : state)
    {
        const size_t heapBefore = HeapBytes();
        std::vector<NameString> names;
        names.reserve(kNames);
        const size_t vectorBytes = HeapBytes() - heapBefore;
        for (const std::string& text : unique)
            names.emplace_back(text.c_str());
        // The first pass also pays for the pool's index growing; later passes reuse it.
        if (bytesPerName == 0.0)
            bytesPerName = double(HeapBytes() - heapBefore - vectorBytes) / kNames;
        for (NameString& name : names)
            name = NameString();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kNames);
    state.counters["heap_bytes_per_name"] = bytesPerName;
}
} // namespace

BENCHMARK(BM_InternReleaseHits)->MinTime(1.0);
BENCHMARK(BM_InternReleaseMisses)->MinTime(1.0);
BENCHMARK(BM_BulkCreateRelease)->Unit(benchmark::kMillisecond);
