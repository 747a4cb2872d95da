// Reading container entries through the file system beside the plain library doing the same job:
// a 64 MB stored entry beside fread of a plain file with the same bytes (in memory and, where the
// system lets pages be dropped, from disk), the same entry gzip-wrapped beside zlib inflating the
// very same compressed bytes, and 2,000 small stored entries beside fopen/fread/fclose of as many
// small files. The two sides run in turn within each iteration; the ratios are medians of the
// per-pair speed ratios (above 1: the container is faster). The data is made at start in a
// temporary folder and removed at exit.
#include "PairedRatio.h"

#include "core/filesystem/FileSystem.h"
#include "tools/datakit/ContainerWriter.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr size_t kEntrySize = 64u << 20;
constexpr uint32_t kReadStep = 65536;
constexpr int kSmallEntries = 2000;
constexpr size_t kSmallSize = 3000;

// "<prefix>e<index>.bin"
std::string SmallName(const char* prefix, int index)
{
    char name[512];
    std::snprintf(name, sizeof(name), "%se%d.bin", prefix, index);
    return name;
}

struct BenchData
{
    std::string folder;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> gzipBytes;
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
        ContainerWriter small(0);
        if (!ContainerWriter::GzipCompress(bytes.data(), bytes.size(), gzipBytes) || !stored.Add("entry.bin", bytes) ||
            !stored.Write(folder + "/stored.dat") ||
            !gzip.AddRaw("entry.bin", gzipBytes, static_cast<uint32_t>(bytes.size()), true) ||
            !gzip.Write(folder + "/gzip.dat") || !WriteFile(folder + "/plain.bin", bytes.data(), bytes.size()))
            return;
        std::filesystem::create_directory(folder + "/small");
        for (int i = 0; i < kSmallEntries; ++i)
        {
            const uint8_t* start = bytes.data() + size_t(i) * kSmallSize;
            if (!small.Add(SmallName("", i), std::vector<uint8_t>(start, start + kSmallSize)) ||
                !WriteFile(SmallName((folder + "/small/").c_str(), i), start, kSmallSize))
                return;
        }
        if (!small.Write(folder + "/small.dat"))
            return;
        ready = gFileSystem.MountContainer("stored", (folder + "/stored.dat").c_str(), 0, 0x5BD1E995u, 0) &&
                gFileSystem.MountContainer("gzip", (folder + "/gzip.dat").c_str(), 1, 0x5BD1E995u, 0) &&
                gFileSystem.MountContainer("small", (folder + "/small.dat").c_str(), 2, 0x5BD1E995u, 0);
    }

    ~BenchData()
    {
        gFileSystem.UnmountAll();
        std::error_code error;
        if (!folder.empty())
            std::filesystem::remove_all(folder, error);
    }

    static bool WriteFile(const std::string& path, const uint8_t* data, size_t size)
    {
        FILE* file = std::fopen(path.c_str(), "wb");
        const bool ok = file != nullptr && std::fwrite(data, size, 1, file) == 1;
        return file != nullptr && std::fclose(file) == 0 && ok;
    }
};

BenchData& Data()
{
    static BenchData data;
    return data;
}

// Asks the system to drop the file's pages (false where it keeps them, as on tmpfs).
bool DropFromMemory(const std::string& path)
{
    const int descriptor = open(path.c_str(), O_RDONLY);
    if (descriptor < 0)
        return false;
    const bool dropped = fdatasync(descriptor) == 0 && posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(descriptor);
    return dropped;
}

bool ReadEntry(const char* path, size_t size, std::vector<uint8_t>& buffer)
{
    auto stream = gFileSystem.OpenInputStream(path, nullptr, nullptr, 0);
    if (!stream || stream->GetSize() != size)
        return false;
    for (size_t done = 0; done < size; done += buffer.size())
    {
        const uint32_t step = static_cast<uint32_t>(std::min(buffer.size(), size - done));
        if (!stream->Read(buffer.data(), step))
            return false;
    }
    benchmark::DoNotOptimize(buffer.data());
    return true;
}

bool FreadFile(const std::string& path, size_t size, std::vector<uint8_t>& buffer)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bool ok = true;
    for (size_t done = 0; done < size && ok; done += buffer.size())
        ok = std::fread(buffer.data(), std::min(buffer.size(), size - done), 1, file) == 1;
    std::fclose(file);
    benchmark::DoNotOptimize(buffer.data());
    return ok;
}

void Pairs(benchmark::State& state, const char* name, size_t bytesPerSide, bool (*ours)(std::vector<uint8_t>&),
           bool (*reference)(std::vector<uint8_t>&), bool cold)
{
    if (!Data().ready)
    {
        state.SkipWithError("benchmark data could not be made");
        return;
    }
    std::vector<uint8_t> buffer(kReadStep);
    PairedRatio ratio;
    bool ok = true;
    bool dropped = true;
    for (auto _ : state)
    {
        if (cold)
        {
            state.PauseTiming();
            for (const char* file : {"/stored.dat", "/plain.bin"})
                dropped = DropFromMemory(Data().folder + file) && dropped;
            state.ResumeTiming();
        }
        ratio.Measure([&] { ok = ours(buffer) && ok; }, [&] { ok = reference(buffer) && ok; });
    }
    if (!ok)
        state.SkipWithError("read failed");
    if (cold && !dropped)
        state.SkipWithError("the system keeps these files in memory: no cold reads here");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytesPerSide) * 2);
    ratio.Report(state, name);
}

bool StoredEntry(std::vector<uint8_t>& buffer)
{
    return ReadEntry("stored/entry.bin", kEntrySize, buffer);
}

bool PlainFile(std::vector<uint8_t>& buffer)
{
    return FreadFile(Data().folder + "/plain.bin", kEntrySize, buffer);
}

bool GzipEntry(std::vector<uint8_t>& buffer)
{
    return ReadEntry("gzip/entry.bin", kEntrySize, buffer);
}

// The same gzip stream inflated by zlib into the same 64 KB steps.
bool ZlibInflate(std::vector<uint8_t>& buffer)
{
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK)
        return false;
    stream.next_in = Data().gzipBytes.data();
    stream.avail_in = static_cast<uInt>(Data().gzipBytes.size());
    size_t produced = 0;
    int result = Z_OK;
    while (result == Z_OK)
    {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&stream, Z_NO_FLUSH);
        produced += buffer.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    benchmark::DoNotOptimize(buffer.data());
    return result == Z_STREAM_END && produced == kEntrySize;
}

bool SmallEntries(std::vector<uint8_t>& buffer)
{
    bool ok = true;
    for (int i = 0; i < kSmallEntries && ok; ++i)
        ok = ReadEntry(SmallName("small/", i).c_str(), kSmallSize, buffer);
    return ok;
}

bool SmallFiles(std::vector<uint8_t>& buffer)
{
    bool ok = true;
    const std::string folder = Data().folder + "/small/";
    for (int i = 0; i < kSmallEntries && ok; ++i)
        ok = FreadFile(SmallName(folder.c_str(), i), kSmallSize, buffer);
    return ok;
}

void BM_StoredVsFread(benchmark::State& state)
{
    Pairs(state, "stored_vs_fread", kEntrySize, &StoredEntry, &PlainFile, false);
}

void BM_StoredVsFreadCold(benchmark::State& state)
{
    Pairs(state, "stored_vs_fread", kEntrySize, &StoredEntry, &PlainFile, true);
}

void BM_GzipVsInflate(benchmark::State& state)
{
    Pairs(state, "gzip_vs_inflate", kEntrySize, &GzipEntry, &ZlibInflate, false);
}

void BM_SmallEntriesVsFiles(benchmark::State& state)
{
    Pairs(state, "entries_vs_files", size_t(kSmallEntries) * kSmallSize, &SmallEntries, &SmallFiles, false);
}
} // namespace

BENCHMARK(BM_StoredVsFread)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_StoredVsFreadCold)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_GzipVsInflate)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_SmallEntriesVsFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
