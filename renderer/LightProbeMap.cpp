#include "renderer/LightProbeMap.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"

#include <cstdio>

void LightProbeMap::Clear()
{
    for (uint32_t layer = 0; layer < kLayerCount; ++layer)
    {
        m_cells[layer] = std::vector<uint32_t>();
        m_probes[layer] = std::vector<uint8_t>();
        m_probeCounts[layer] = 0;
    }
    m_width = 0;
    m_height = 0;
    m_rectangle = Vector(0.0f, 0.0f, 1.0f, 1.0f);
}

bool LightProbeMap::Load(const char* sceneName)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Loading game light probe map %s",
                    sceneName != nullptr ? sceneName : "");
    Clear();
    if (sceneName == nullptr)
        return false;
    char name[kMaxNameLength + 1];
    std::snprintf(name, sizeof(name), "%s", sceneName);
    FileReader file(name, "lpd", "scenes", 0);
    // A scene without a map is no fault; a map that is there but cannot be used is.
    if (!file.IsOpen())
        return false;
    char path[kMaxNameLength + 16];
    std::snprintf(path, sizeof(path), "scenes/%s.lpd", name);

    uint32_t magic = 0;
    uint16_t versionA = 0, versionB = 0, width = 0, height = 0;
    uint32_t counts[kLayerCount] = {};
    float rectangle[4] = {};
    bool read = file.ReadU32(magic) && file.ReadU16(versionA) && file.ReadU16(versionB) && file.ReadU16(width) &&
                file.ReadU16(height);
    for (uint32_t layer = 0; read && layer < kLayerCount; ++layer)
        read = file.ReadU32(counts[layer]);
    for (uint32_t i = 0; read && i < 4; ++i)
        read = file.ReadF32(rectangle[i]);
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Light probe map %s ends inside its %u-byte header", path, kHeaderBytes);
        return false;
    }
    if (magic != kMagic || versionA != 4 || versionB != 4)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Light probe map %s has magic 0x%08X, version %u.%u (0x%08X, 4.4 expected)",
                       path, magic, unsigned(versionA), unsigned(versionB), kMagic);
        return false;
    }

    // The counts come from the file: all four layers must be there before anything is allocated, so a
    // damaged file neither over-reads nor leaves a half-filled map behind.
    const uint64_t cellCount = uint64_t(width) * height;
    uint64_t needed = 0;
    for (uint32_t count : counts)
        needed += cellCount * 4 + uint64_t(count) * kProbeBytes;
    if (needed > file.GetRemaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Light probe map %s holds %u bytes after its header but its counts need %llu",
                       path, file.GetRemaining(), static_cast<unsigned long long>(needed));
        return false;
    }

    for (uint32_t layer = 0; layer < kLayerCount; ++layer)
    {
        std::vector<uint32_t>& cells = m_cells[layer];
        cells.resize(size_t(cellCount));
        for (uint32_t& cell : cells)
            read = read && file.ReadU32(cell);
        m_probes[layer].resize(size_t(counts[layer]) * kProbeBytes);
        read = read && file.Read(m_probes[layer].data(), uint32_t(m_probes[layer].size()));
        m_probeCounts[layer] = counts[layer];
    }
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Light probe map %s cannot be read", path);
        Clear();
        return false;
    }
    m_width = width;
    m_height = height;
    m_rectangle = Vector(rectangle[0], rectangle[1], rectangle[2], rectangle[3]);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "Loaded game light probe map (%dx%d)", int(width),
                    int(height));
    return true;
}
