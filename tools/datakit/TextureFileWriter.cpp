#include "tools/datakit/TextureFileWriter.h"

#include "renderer/resources/TextureFile.h"

#include <algorithm>

namespace
{
uint32_t BytesPerTexel(uint32_t format)
{
    switch (format)
    {
    case 21:
    case 22: return 4;
    case 28:
    case 50: return 1;
    default: return 0;
    }
}

void AppendTexel(std::string& out, uint32_t format, uint32_t argb)
{
    if (format == 21 || format == 22)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(char(argb >> (8 * i)));
    }
    else if (format == 28)
        out.push_back(char(argb >> 24));
    else
        out.push_back(char(argb >> 16));
}

void AppendU16(std::string& out, uint16_t value)
{
    out.push_back(char(value));
    out.push_back(char(value >> 8));
}
} // namespace

bool BuildTextureFile(const TextureFileSpec& spec, std::string& out)
{
    out.clear();
    const uint32_t texelBytes = BytesPerTexel(spec.format);
    if (texelBytes == 0 || spec.levels == 0 || spec.levels > TextureFileHeader::kMaxLevels || spec.width == 0 ||
        spec.width > 65535 || spec.height == 0 || spec.height > 65535 || !spec.texel)
        return false;
    TextureFileHeader header;
    header.width = spec.width;
    header.height = spec.cube ? TextureFileHeader::kCubeHeight : spec.height;
    header.format = spec.format;
    header.levelCount = uint8_t(spec.levels);
    header.flags = spec.flags;
    const uint32_t height = spec.cube ? spec.width : spec.height;
    // Table entry k is device level levels-1-k: the smallest first.
    for (uint32_t level = 0; level < spec.levels; ++level)
    {
        const uint32_t w = std::max(1u, spec.width >> level);
        const uint32_t h = std::max(1u, height >> level);
        header.levels[spec.levels - 1 - level] = {uint16_t(w), uint16_t(h), w * h * texelBytes};
    }
    out.resize(TextureFileHeader::kSize);
    header.Write(reinterpret_cast<uint8_t*>(out.data()));
    const uint32_t faces = header.GetFaceCount();
    for (uint32_t k = 0; k < spec.levels; ++k)
    {
        const uint32_t level = spec.levels - 1 - k;
        for (uint32_t face = 0; face < faces; ++face)
            for (uint32_t y = 0; y < header.levels[k].height; ++y)
                for (uint32_t x = 0; x < header.levels[k].width; ++x)
                    AppendTexel(out, spec.format, spec.texel(face, level, x, y));
    }
    return true;
}

std::string BuildTexturePatch(const std::vector<TexturePatchRun>& runs)
{
    std::string out(4, '\0');
    for (const TexturePatchRun& run : runs)
    {
        AppendU16(out, run.skip);
        AppendU16(out, uint16_t(run.bytes.size()));
        out += run.bytes;
    }
    return out;
}
