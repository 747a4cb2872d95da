// Fuzz target of the container index loader: arbitrary index bytes, then lookups.
#include "core/filesystem/ContainerIndex.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ContainerIndex index;
    if (!index.LoadFromMemory(data, size, "fuzz"))
        return 0;
    ContainerIndexRecord record;
    static const char* kPaths[] = {"/scripts/main.lua", "/abc", "/SCENES/level01.scene", "/", ""};
    for (const char* path : kPaths)
        index.Find(path, record);
    for (uint32_t i = 0; i < index.GetCount(); ++i)
        (void)index.GetRecord(i);
    return 0;
}
