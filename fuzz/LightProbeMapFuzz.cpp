// Light probe map files over arbitrary bytes: a map that loads holds exactly the cells and probes
// its header counts, and a refused one is empty.
#include "core/filesystem/FileSystem.h"
#include "renderer/LightProbeMap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
// The "scenes" folder for the whole run.
struct FuzzFolder
{
    FuzzFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-lpdfuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || !gFileSystem.MountDirectory("scenes", pattern.c_str()))
            std::abort();
        folder = pattern;
    }
    ~FuzzFolder()
    {
        gFileSystem.UnmountAll();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::string folder;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzFolder world;
    FILE* file = std::fopen((world.folder + "/fuzz.lpd").c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size != 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
    LightProbeMap map;
    const bool loaded = map.Load("fuzz");
    uint64_t bytes = LightProbeMap::kHeaderBytes;
    for (uint32_t layer = 0; layer < LightProbeMap::kLayerCount; ++layer)
    {
        const uint64_t cells = map.GetCells(layer).size();
        const uint64_t probes = map.GetProbes(layer).size();
        if (cells != uint64_t(map.GetWidth()) * map.GetHeight() ||
            probes != uint64_t(map.GetProbeCount(layer)) * LightProbeMap::kProbeBytes || (!loaded && cells + probes != 0))
            __builtin_trap();
        bytes += cells * 4 + probes;
    }
    if (loaded && bytes > size)
        __builtin_trap();
    return 0;
}
