// Reading a 64 MB container entry through the file system, stored and gzip-wrapped, beside plain
// fread of the same bytes and one zlib uncompress call over the same data. The last benchmark
// reports the ratios (container time / baseline time). The data is made at start in a temporary
// folder and removed at exit.
#include "core/filesystem/FileSystem.h"
#include "tools/datakit/ContainerWriter.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr size_t kEntrySize = 64u << 20;
constexpr uint32_t kReadStep = 65536;

struct BenchData
{
    std::string folder;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> zlibBytes;
    bool ready = false;

    BenchData()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        folder = pattern;
        std::mt19937 random(42);
        static const char* kWords[] = {"tower ", "squad ", "level ", "guard ", "scene ", "mesh ", "light "};
        bytes.reserve(kEntrySize);
        while (bytes.size() < kEntrySize)
        {
            if (random() % 3 == 0)
                bytes.push_back(static_cast<uint8_t>(random()));
            else
                for (const char* c = kWords[random() % 7]; *c && bytes.size() < kEntrySize; ++c)
                    bytes.push_back(static_cast<uint8_t>(*c));
        }
        ContainerWriter stored(0);
        ContainerWriter gzip(1);
        if (!stored.Add("entry.bin", bytes) || !stored.Write(folder + "/stored.dat") || !gzip.Add("entry.bin", bytes) ||
            !gzip.Write(folder + "/gzip.dat"))
            return;
        FILE* plain = std::fopen((folder + "/plain.bin").c_str(), "wb");
        if (plain == nullptr || std::fwrite(bytes.data(), bytes.size(), 1, plain) != 1)
            return;
        std::fclose(plain);
        uLongf zlibSize = compressBound(static_cast<uLong>(bytes.size()));
        zlibBytes.resize(zlibSize);
        if (compress2(zlibBytes.data(), &zlibSize, bytes.data(), static_cast<uLong>(bytes.size()), 6) != Z_OK)
            return;
        zlibBytes.resize(zlibSize);
        ready = gFileSystem.MountContainer("stored", (folder + "/stored.dat").c_str(), 0, 0x5BD1E995u, 0) &&
                gFileSystem.MountContainer("gzip", (folder + "/gzip.dat").c_str(), 1, 0x5BD1E995u, 0);
    }

    ~BenchData()
    {
        gFileSystem.UnmountAll();
        std::error_code error;
        if (!folder.empty())
            std::filesystem::remove_all(folder, error);
    }
};

BenchData& Data()
{
    static BenchData data;
    return data;
}

std::map<std::string, double> gSecondsPerRun;

template <typename Body>
void Measure(benchmark::State& state, const char* name, Body body)
{
    if (!Data().ready)
    {
        state.SkipWithError("benchmark data could not be made");
        return;
    }
    std::vector<uint8_t> buffer(kReadStep);
    double total = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!body(buffer))
        {
            state.SkipWithError("read failed");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    gSecondsPerRun[name] = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kEntrySize));
}

bool ReadEntry(const char* path, std::vector<uint8_t>& buffer)
{
    auto stream = gFileSystem.OpenInputStream(path, nullptr, nullptr, 0);
    if (!stream || stream->GetSize() != kEntrySize)
        return false;
    for (size_t done = 0; done < kEntrySize; done += kReadStep)
        if (!stream->Read(buffer.data(), kReadStep))
            return false;
    benchmark::DoNotOptimize(buffer.data());
    return true;
}

void ContainerStored(benchmark::State& state)
{
    Measure(state, "stored", [](std::vector<uint8_t>& buffer) { return ReadEntry("stored/entry.bin", buffer); });
}

void PlainFread(benchmark::State& state)
{
    Measure(state, "fread", [](std::vector<uint8_t>& buffer) {
        FILE* file = std::fopen((Data().folder + "/plain.bin").c_str(), "rb");
        if (file == nullptr)
            return false;
        bool ok = true;
        for (size_t done = 0; done < kEntrySize && ok; done += kReadStep)
            ok = std::fread(buffer.data(), kReadStep, 1, file) == 1;
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
        return ok;
    });
}

void ContainerGzip(benchmark::State& state)
{
    Measure(state, "gzip", [](std::vector<uint8_t>& buffer) { return ReadEntry("gzip/entry.bin", buffer); });
}

void ZlibUncompress(benchmark::State& state)
{
    std::vector<uint8_t> out(kEntrySize);
    Measure(state, "uncompress", [&out](std::vector<uint8_t>&) {
        uLongf size = static_cast<uLongf>(out.size());
        const bool ok = uncompress(out.data(), &size, Data().zlibBytes.data(), static_cast<uLong>(Data().zlibBytes.size())) == Z_OK;
        benchmark::DoNotOptimize(out.data());
        return ok && size == kEntrySize;
    });
}

void Ratios(benchmark::State& state)
{
    for (auto _ : state)
    {
    }
    auto ratio = [](const char* a, const char* b) {
        return gSecondsPerRun.count(a) && gSecondsPerRun.count(b) ? gSecondsPerRun[a] / gSecondsPerRun[b] : 0.0;
    };
    state.counters["stored_vs_fread"] = ratio("stored", "fread");
    state.counters["gzip_vs_uncompress"] = ratio("gzip", "uncompress");
}
} // namespace

BENCHMARK(ContainerStored)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PlainFread)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ContainerGzip)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ZlibUncompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(Ratios)->Iterations(1);
