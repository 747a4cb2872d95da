#include "platform/gpu/PngWriter.h"

#include "platform/gpu/GpuLog.h"

#include <zlib.h>

#include <cstdio>

namespace gpu
{
namespace
{
void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutU32(out, uint32_t(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, uInt(out.size() - typeAt));
    PutU32(out, uint32_t(crc));
}
} // namespace

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb)
{
    // Each row starts with filter type 0 (none): compression does the rest well enough for frames.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(height) * (size_t(width) * 3 + 1));
    for (uint32_t y = 0; y < height; ++y)
    {
        raw.push_back(0);
        const uint8_t* row = rgb.data() + size_t(y) * width * 3;
        raw.insert(raw.end(), row, row + size_t(width) * 3);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutU32(header, width);
    PutU32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, truecolour, deflate, no filter set, no interlace
    Chunk(out, "IHDR", header);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", {});
    return out;
}

bool WriteSurfacePng(const GpuSurface& surface, const std::string& path)
{
    const uint32_t width = surface.Desc().width, height = surface.Desc().height;
    std::vector<uint8_t> rgb;
    rgb.reserve(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t argb = surface.ReadPixelArgb(x, y);
            rgb.insert(rgb.end(), {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)});
        }
    const std::vector<uint8_t> png = EncodePng(width, height, rgb);
    const std::string temporary = path + ".part";
    FILE* file = png.empty() ? nullptr : std::fopen(temporary.c_str(), "wb");
    const bool written = file && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const bool closed = file && std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        LogError("frame image: %s could not be written", path.c_str());
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
} // namespace gpu
