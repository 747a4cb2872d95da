#include "engine/TgaImage.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"

#include <vector>

namespace
{
uint16_t ReadU16(const uint8_t* at)
{
    return uint16_t(at[0] | (at[1] << 8));
}

bool Refuse(const char* path, const char* base)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unsupported TGA format (%s,%s)", path != nullptr ? path : "",
                   base != nullptr ? base : "");
    return false;
}
} // namespace

bool TgaImage::Read(const char* path, const char* extension, const char* base)
{
    Free();
    FileReader reader;
    if (!reader.Open(path, extension, base, 0))
        return false;
    std::vector<uint8_t> bytes(reader.GetSize());
    if (!bytes.empty() && !reader.Read(bytes.data(), uint32_t(bytes.size())))
        return Refuse(path, base);
    return Decode(bytes.data(), bytes.size(), path, base);
}

bool TgaImage::Decode(const uint8_t* data, size_t size, const char* path, const char* base)
{
    Free();
    if (data == nullptr || size < kHeaderBytes)
        return Refuse(path, base);
    const uint8_t idLength = data[0];
    const uint8_t colourMapType = data[1];
    const uint8_t imageType = data[2];
    const uint16_t colourMapLength = ReadU16(data + 5);
    const uint8_t colourMapBits = data[7];
    const uint32_t width = ReadU16(data + 12);
    const uint32_t height = ReadU16(data + 14);
    const uint8_t depth = data[16];
    const uint8_t descriptor = data[17];
    if (imageType != kTypeTrueColour || (depth != 24 && depth != 32))
        return Refuse(path, base);

    // The image-ID field and any colour map sit between the header and the pixels: skipping them
    // keeps their bytes from being read as pixels. Each map entry takes whole bytes (a 15-bit entry
    // two), so the map is not packed to the bit.
    uint64_t offset = kHeaderBytes + uint64_t(idLength);
    if (colourMapType != 0)
        offset += uint64_t(colourMapLength) * ((colourMapBits + 7u) / 8u);
    const uint64_t bytesPerPixel = depth / 8u;
    const uint64_t rowBytes = uint64_t(width) * bytesPerPixel;
    const uint64_t imageBytes = uint64_t(width) * height * 4u;
    // Every row must be in the file, and the pixel block must fit its 32-bit size.
    if (offset > size || rowBytes * height > size - offset || imageBytes > 0xFFFFFFFFull)
        return Refuse(path, base);

    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t(imageBytes)]);
    const bool topFirst = (descriptor & kTopOrigin) != 0;
    // Files that store rows right to left exist (tools write them on request): read as left to
    // right, every such image would come out mirrored.
    const bool rightFirst = (descriptor & kRightOrigin) != 0;
    const uint8_t* source = data + offset;
    for (uint32_t y = 0; y < height; ++y, source += rowBytes)
    {
        const uint32_t row = topFirst ? height - 1 - y : y;
        uint8_t* target = pixels.get() + size_t(row) * width * 4u;
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint8_t* in = source + size_t(x) * bytesPerPixel;
            uint8_t* out = target + size_t(rightFirst ? width - 1 - x : x) * 4u;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = depth == 32 ? in[3] : 255;
        }
    }
    m_width = width;
    m_height = height;
    m_format = kFormatBGRA8;
    m_size = uint32_t(imageBytes);
    m_pixels = std::move(pixels);
    return true;
}

void TgaImage::Free()
{
    m_pixels.reset();
    m_width = 0;
    m_height = 0;
    m_format = 0;
    m_size = 0;
}

uint32_t TgaImage::GetPixel(uint32_t x, uint32_t y) const
{
    if (m_pixels == nullptr || x >= m_width || y >= m_height)
        return 0;
    const uint8_t* p = m_pixels.get() + (size_t(y) * m_width + x) * 4u;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
