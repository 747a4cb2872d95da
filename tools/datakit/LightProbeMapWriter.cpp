#include "tools/datakit/LightProbeMapWriter.h"

#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TextureFileWriter.h"

#include <bit>

namespace
{
void AppendU16(std::string& out, uint16_t value)
{
    out.push_back(char(value));
    out.push_back(char(value >> 8));
}

void AppendU32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char(value >> (8 * i)));
}
} // namespace

std::string BuildLightProbeMap(const LightProbeMapSpec& spec)
{
    std::string out;
    AppendU32(out, 0x4C504400);
    AppendU16(out, 4);
    AppendU16(out, 4);
    AppendU16(out, spec.width);
    AppendU16(out, spec.height);
    for (const auto& probes : spec.probes)
        AppendU32(out, uint32_t(probes.size()));
    for (float value : spec.rectangle)
        AppendU32(out, std::bit_cast<uint32_t>(value));
    const size_t cellCount = size_t(spec.width) * spec.height;
    for (int layer = 0; layer < 4; ++layer)
    {
        for (size_t i = 0; i < cellCount; ++i)
            AppendU32(out, i < spec.cells[layer].size() ? spec.cells[layer][i] : 0);
        for (const auto& probe : spec.probes[layer])
            out.append(reinterpret_cast<const char*>(probe.data()), probe.size());
    }
    return out;
}

bool AddLightmapSet(DataRoot& data, const std::string& scene, const std::vector<uint32_t>& indices)
{
    for (uint32_t index : indices)
    {
        TextureFileSpec spec;
        spec.width = 2;
        spec.height = 2;
        spec.texel = [index](uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFF000000u | (index * 30 + 20) << 16; };
        std::string bytes;
        if (!BuildTextureFile(spec, bytes))
            return false;
        data.AddFile("scenes", scene + "_lm" + std::to_string(index) + ".texture", bytes);
    }
    return true;
}
