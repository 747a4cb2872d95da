// Finding the picture in a decoded plane and copying it into a texture's memory. Any thread; no
// shared state.
#pragma once

#include <cstdint>

// A plane of decoded samples as the decoder hands it out; the stride may be negative.
struct VideoPlane
{
    const uint8_t* data = nullptr;
    int32_t stride = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// The part of a plane that shows the picture.
struct VideoPlaneRegion
{
    VideoPlane plane;
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// Where the picture (x, y, width, height in luminance samples) lies in `plane`, scaled by the
// subsampling between the luminance plane and it (whatever the file's chroma format), widened to
// whole samples so that an odd picture keeps its last chroma column and row.
VideoPlaneRegion PictureRegionOf(const VideoPlane& luma, const VideoPlane& plane, uint32_t x, uint32_t y,
                                 uint32_t width, uint32_t height);

// How luminance texture coordinates scale onto a colour plane's texture. The region holds whole
// colour samples, so an odd picture W luminance samples wide spans only W / (2 ceil(W / 2)) of a
// colour texture ceil(W / 2) wide; spreading that texture over the whole picture would move colour
// edges towards the right and bottom.
struct VideoCoordScale
{
    float x = 1.0f;
    float y = 1.0f;
};
VideoCoordScale ChromaCoordScaleOf(const VideoPlaneRegion& luma, const VideoPlaneRegion& chroma);

// Copies the width x height region at (x, y) of the plane row by row to `destination`. Only the
// part inside the plane is read: a decoder plane ends where it ends, whatever a file's picture
// offset claims. Returns the rows copied.
uint32_t CopyVideoPlaneRegion(const VideoPlane& plane, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                              uint8_t* destination, int32_t destinationPitch);
