// Localized string lookup by path: the compiled string table's search by halving over its sorted
// entries beside a std::unordered_map from path to text doing the same job. Each iteration looks
// up a batch of paths on both sides in turn and "x_unordered_map" is the median of the per-batch
// ratios (above 1: the table is faster).
#include "PairedRatio.h"

#include "tools/datakit/StringTableWriter.h"
#include "ui/text/CompiledGameStringCollection.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{
struct Tables
{
    CompiledGameStringCollection table;
    std::unordered_map<std::string, std::u16string> reference;
    std::vector<std::string> queries;
};

// `count` strings under paths as deep as the game's ("KX/System/UI/Menu/...").
Tables& Build(int count)
{
    static std::unordered_map<int, Tables> built;
    Tables& tables = built[count];
    if (!tables.queries.empty())
        return tables;
    std::vector<StringTableRow> rows(static_cast<size_t>(count));
    char path[96];
    for (int i = 0; i < count; ++i)
    {
        std::snprintf(path, sizeof(path), "KX/System/UI/Group%02d/Screen%03d/Label_%05d", i % 37, i % 211, i);
        rows[size_t(i)].path = path;
        rows[size_t(i)].texts[1] = u"Text " + std::u16string(1, char16_t(u'A' + i % 26));
        tables.reference.emplace(path, rows[size_t(i)].texts[1]);
        tables.queries.push_back(path);
    }
    const std::vector<uint8_t> file = StringTableWriter::EncodeStringTable(rows);
    tables.table.DeserializeFromMemory(file.data() + 4, file.size() - 4, 0);
    std::shuffle(tables.queries.begin(), tables.queries.end(), std::mt19937(7));
    return tables;
}

void BM_StringLookup(benchmark::State& state)
{
    Tables& tables = Build(int(state.range(0)));
    PairedRatio ratio;
    for (auto _ : state)
    {
        size_t found = 0;
        size_t referenceFound = 0;
        ratio.Measure(
            [&] {
                for (const std::string& query : tables.queries)
                {
                    const GameString* string = tables.table.Find(query.c_str());
                    found += string != nullptr && string->GetText(1) != nullptr;
                }
            },
            [&] {
                for (const std::string& query : tables.queries)
                {
                    const auto it = tables.reference.find(query);
                    referenceFound += it != tables.reference.end() && !it->second.empty();
                }
            });
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(referenceFound);
        if (found != referenceFound)
            state.SkipWithError("the two sides found different strings");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(tables.queries.size()));
    ratio.Report(state, "x_unordered_map");
}
BENCHMARK(BM_StringLookup)->Arg(500)->Arg(5000)->Arg(50000);
} // namespace
