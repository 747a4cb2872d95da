// Light probe map files over arbitrary bytes: a map that loads holds exactly the cells and probes
// its header counts, and a refused one is empty.
#include "fuzz/support/MountedFuzzFolder.h"
#include "renderer/LightProbeMap.h"

#include <cstdint>


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const MountedFuzzFolder scenes("scenes", "lpdfuzz");
    scenes.Write("fuzz.lpd", data, size);
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
