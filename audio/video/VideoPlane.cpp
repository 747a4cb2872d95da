#include "audio/video/VideoPlane.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

uint32_t CopyVideoPlaneRegion(const VideoPlane& plane, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                              uint8_t* destination, int32_t destinationPitch)
{
    if (plane.data == nullptr || destination == nullptr || x >= plane.width || y >= plane.height)
        return 0;
    const uint32_t columns = std::min(width, plane.width - x);
    const uint32_t rows = std::min(height, plane.height - y);
    for (uint32_t row = 0; row < rows; ++row)
    {
        const uint8_t* source = plane.data + std::ptrdiff_t(y + row) * plane.stride + x;
        std::memcpy(destination + std::ptrdiff_t(row) * destinationPitch, source, columns);
    }
    return rows;
}
