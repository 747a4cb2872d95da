#include "audio/video/VideoPlane.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace
{
// Luminance samples per sample of a plane along one side: 1 or 2 for the formats that exist.
uint32_t Subsampling(uint32_t lumaSide, uint32_t planeSide)
{
    return planeSide != 0 ? std::max(lumaSide / planeSide, 1u) : 1u;
}
} // namespace

VideoPlaneRegion PictureRegionOf(const VideoPlane& luma, const VideoPlane& plane, uint32_t x, uint32_t y,
                                 uint32_t width, uint32_t height)
{
    const uint64_t stepX = Subsampling(luma.width, plane.width);
    const uint64_t stepY = Subsampling(luma.height, plane.height);
    VideoPlaneRegion region;
    region.plane = plane;
    region.x = uint32_t(x / stepX);
    region.y = uint32_t(y / stepY);
    region.width = uint32_t((uint64_t(x) + width + stepX - 1) / stepX - region.x);
    region.height = uint32_t((uint64_t(y) + height + stepY - 1) / stepY - region.y);
    return region;
}

VideoCoordScale ChromaCoordScaleOf(const VideoPlaneRegion& luma, const VideoPlaneRegion& chroma)
{
    const uint32_t stepX = Subsampling(luma.plane.width, chroma.plane.width);
    const uint32_t stepY = Subsampling(luma.plane.height, chroma.plane.height);
    VideoCoordScale scale;
    if (chroma.width != 0)
        scale.x = float(luma.width) / float(uint64_t(stepX) * chroma.width);
    if (chroma.height != 0)
        scale.y = float(luma.height) / float(uint64_t(stepY) * chroma.height);
    return scale;
}

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
