// Interning names: the NameString pool beside std::unordered_set<std::string> doing the same job
// (find the text, insert it when missing). Each NameString case runs after its standard-library
// twin and reports "x_unordered_set", the set's time per name divided by the pool's.
#include "core/strings/NameString.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace
{
constexpr int kPoolNames = 4096;

struct TransparentHash
{
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
using StringSet = std::unordered_set<std::string, TransparentHash, std::equal_to<>>;

std::vector<std::string> MakeTexts(const char* prefix, int count)
{
    std::vector<std::string> texts;
    char buffer[64];
    for (int i = 0; i < count; ++i)
    {
        std::snprintf(buffer, sizeof(buffer), "%s/entity_%05d", prefix, (i * 2654435761u) % 100000);
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

// Nanoseconds per name of the last standard-library run, for the ratio of the run after it.
double gSetNanosecondsPerName[2] = {0, 0};

template <typename Loop>
void Timed(benchmark::State& state, int slot, bool isPool, Loop loop)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        loop();
    const double nanoseconds = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    const double perName = nanoseconds / double(state.iterations());
    state.SetItemsProcessed(state.iterations());
    if (!isPool)
        gSetNanosecondsPerName[slot] = perName;
    else if (gSetNanosecondsPerName[slot] > 0)
        state.counters["x_unordered_set"] = gSetNanosecondsPerName[slot] / perName;
}

void StringSetHits(benchmark::State& state)
{
    StringSet set(PresentTexts().begin(), PresentTexts().end());
    size_t next = 0;
    Timed(state, 0, false, [&] {
        const std::string& text = PresentTexts()[next++ % kPoolNames];
        auto found = set.find(std::string_view(text));
        if (found == set.end())
            found = set.emplace(text).first;
        benchmark::DoNotOptimize(found->data());
    });
}

void NameStringHits(benchmark::State& state)
{
    std::vector<NameString> held;
    for (const std::string& text : PresentTexts())
        held.emplace_back(text.c_str());
    size_t next = 0;
    Timed(state, 0, true, [&] {
        const NameString name(PresentTexts()[next++ % kPoolNames].c_str());
        benchmark::DoNotOptimize(name.CStr());
    });
}

// A miss interns a new text and drops it again, so the pool keeps its size.
void StringSetMisses(benchmark::State& state)
{
    StringSet set(PresentTexts().begin(), PresentTexts().end());
    size_t next = 0;
    Timed(state, 1, false, [&] {
        const std::string& text = MissingTexts()[next++ % kPoolNames];
        auto found = set.find(std::string_view(text));
        if (found == set.end())
            found = set.emplace(text).first;
        benchmark::DoNotOptimize(found->data());
        set.erase(found);
    });
}

void NameStringMisses(benchmark::State& state)
{
    std::vector<NameString> held;
    for (const std::string& text : PresentTexts())
        held.emplace_back(text.c_str());
    size_t next = 0;
    Timed(state, 1, true, [&] {
        const NameString name(MissingTexts()[next++ % kPoolNames].c_str());
        benchmark::DoNotOptimize(name.CStr());
    });
}
} // namespace

BENCHMARK(StringSetHits);
BENCHMARK(NameStringHits);
BENCHMARK(StringSetMisses);
BENCHMARK(NameStringMisses);
