// Copying a picture region out of a decoder plane: never past the plane, whatever the offset says.
#include "audio/video/VideoPlane.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// A plane of width x height whose sample at (x, y) is y * 16 + x, inside rows of `stride` bytes
// (the bytes past the width are 0xEE).
struct TestPlane
{
    TestPlane(uint32_t width, uint32_t height, uint32_t stride) : bytes(size_t(stride) * height, 0xEE)
    {
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                bytes[size_t(y) * stride + x] = uint8_t(y * 16 + x);
        plane = {bytes.data(), int32_t(stride), width, height};
    }
    std::vector<uint8_t> bytes;
    VideoPlane plane;
};

TEST(VideoPlaneTest, CopiesTheRegionAtItsOffset)
{
    TestPlane source(8, 6, 12);
    std::vector<uint8_t> out(4 * 3, 0);
    EXPECT_EQ(CopyVideoPlaneRegion(source.plane, 2, 1, 4, 3, out.data(), 4), 3u);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[3], 0x15);
    EXPECT_EQ(out[4 * 2 + 3], 0x35);
}

TEST(VideoPlaneTest, AnOffsetRegionStopsAtThePlaneEdges)
{
    TestPlane source(8, 6, 12);
    std::vector<uint8_t> out(8 * 6, 0);
    // The region claims the plane's full size from offset (6, 4): only 2 x 2 samples exist there.
    EXPECT_EQ(CopyVideoPlaneRegion(source.plane, 6, 4, 8, 6, out.data(), 8), 2u);
    EXPECT_EQ(out[0], 0x46);
    EXPECT_EQ(out[1], 0x47);
    EXPECT_EQ(out[2], 0) << "nothing from past the plane's width";
    EXPECT_EQ(out[8], 0x56);
    EXPECT_EQ(out[16], 0) << "nothing from past the plane's height";
    EXPECT_EQ(CopyVideoPlaneRegion(source.plane, 8, 0, 2, 2, out.data(), 8), 0u);
    EXPECT_EQ(CopyVideoPlaneRegion(source.plane, 0, 6, 2, 2, out.data(), 8), 0u);
    EXPECT_EQ(CopyVideoPlaneRegion(VideoPlane{}, 0, 0, 2, 2, out.data(), 8), 0u);
}

TEST(VideoPlaneTest, ANegativeStrideWalksTheRowsUpwards)
{
    TestPlane source(4, 4, 4);
    // The same samples seen bottom row first.
    VideoPlane flipped{source.bytes.data() + 12, -4, 4, 4};
    std::vector<uint8_t> out(2 * 2, 0);
    EXPECT_EQ(CopyVideoPlaneRegion(flipped, 1, 1, 2, 2, out.data(), 2), 2u);
    EXPECT_EQ(out[0], 0x21);
    EXPECT_EQ(out[2], 0x11);
}
} // namespace

namespace
{
// The picture's region in a plane, from the plane sizes alone.
TEST(VideoPlaneTest, ThePictureRegionFollowsThePlanesSubsamplingAndRoundsOutwards)
{
    const VideoPlane luma{nullptr, 64, 64, 48};
    const struct
    {
        const char* name;
        uint32_t planeWidth, planeHeight;
        uint32_t x, y, width, height; // the picture in luma samples
        uint32_t expectX, expectY, expectWidth, expectHeight;
    } cases[] = {
        {"luma", 64, 48, 8, 2, 40, 24, 8, 2, 40, 24},
        {"4:2:0", 32, 24, 8, 2, 40, 24, 4, 1, 20, 12},
        {"4:2:2", 32, 48, 8, 2, 40, 24, 4, 2, 20, 24},
        {"4:4:4", 64, 48, 8, 2, 40, 24, 8, 2, 40, 24},
        {"odd size", 32, 24, 0, 0, 63, 47, 0, 0, 32, 24},
        {"odd offset", 32, 24, 3, 1, 60, 46, 1, 0, 31, 24},
    };
    for (const auto& c : cases)
    {
        const VideoPlane plane{nullptr, int32_t(c.planeWidth), c.planeWidth, c.planeHeight};
        const VideoPlaneRegion region = PictureRegionOf(luma, plane, c.x, c.y, c.width, c.height);
        EXPECT_EQ(region.x, c.expectX) << c.name;
        EXPECT_EQ(region.y, c.expectY) << c.name;
        EXPECT_EQ(region.width, c.expectWidth) << c.name;
        EXPECT_EQ(region.height, c.expectHeight) << c.name;
        EXPECT_EQ(region.plane.width, c.planeWidth) << c.name;
    }
}
} // namespace
