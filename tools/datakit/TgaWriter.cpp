#include "tools/datakit/TgaWriter.h"

#include <cstdio>

namespace TgaWriter
{
std::vector<uint8_t> EncodeTga(const TgaSpec& spec)
{
    if (spec.width == 0 || spec.height == 0 || spec.width > 0xFFFF || spec.height > 0xFFFF ||
        spec.pixels.size() != size_t(spec.width) * spec.height || (spec.depth != 24 && spec.depth != 32))
    {
        std::fprintf(stderr, "datakit: a TGA needs 1 to 65535 pixels a side, all its pixels and 24 or 32 bits\n");
        return {};
    }
    const uint8_t descriptor = uint8_t((spec.topFirst ? kTopToBottom : 0) | (spec.rightFirst ? kRightToLeft : 0) |
                                       (spec.depth == 32 ? 8 : 0));
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                uint8_t(spec.width), uint8_t(spec.width >> 8),
                                uint8_t(spec.height), uint8_t(spec.height >> 8),
                                spec.depth, descriptor};
    for (uint32_t fileRow = 0; fileRow < spec.height; ++fileRow)
    {
        const uint32_t row = spec.topFirst ? fileRow : spec.height - 1 - fileRow;
        for (uint32_t fileColumn = 0; fileColumn < spec.width; ++fileColumn)
        {
            const uint32_t column = spec.rightFirst ? spec.width - 1 - fileColumn : fileColumn;
            const uint32_t pixel = spec.pixels[size_t(row) * spec.width + column];
            for (uint32_t byte = 0; byte < spec.depth / 8u; ++byte)
                out.push_back(uint8_t(pixel >> (8 * byte)));
        }
    }
    return out;
}
} // namespace TgaWriter
