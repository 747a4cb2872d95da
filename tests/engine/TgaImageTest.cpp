#include "engine/TgaImage.h"

#include "core/filesystem/FileSystem.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/TgaWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// An 18-byte header, written field by field.
std::vector<uint8_t> Header(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                            uint8_t idLength = 0, uint8_t colourMapType = 0, uint16_t mapLength = 0,
                            uint8_t mapBits = 0)
{
    return {idLength,
            colourMapType,
            type,
            0,
            0,
            uint8_t(mapLength & 0xFF),
            uint8_t(mapLength >> 8),
            mapBits,
            0,
            0,
            0,
            0,
            uint8_t(width & 0xFF),
            uint8_t(width >> 8),
            uint8_t(height & 0xFF),
            uint8_t(height >> 8),
            depth,
            descriptor};
}

void Append(std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> more)
{
    bytes.insert(bytes.end(), more);
}

bool Decode(TgaImage& image, const std::vector<uint8_t>& bytes)
{
    return image.Decode(bytes.data(), bytes.size(), "cursor", "Textures");
}
} // namespace

TEST(TgaImageTest, RowsEndUpBottomFirstWhateverTheFileOrder)
{
    // File rows: first (1,2,3,4) (5,6,7,8), second (9,10,11,12) (13,14,15,16).
    for (const bool topFirst : {true, false})
    {
        std::vector<uint8_t> bytes = Header(2, 2, 2, 32, topFirst ? 0x20 : 0x00);
        Append(bytes, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
        TgaImage image;
        ASSERT_TRUE(Decode(image, bytes));
        EXPECT_EQ(image.GetWidth(), 2u);
        EXPECT_EQ(image.GetHeight(), 2u);
        EXPECT_EQ(image.GetFormat(), TgaImage::kFormatBGRA8);
        EXPECT_EQ(image.GetSize(), 16u);
        const uint32_t firstFileRow = topFirst ? 1 : 0;
        EXPECT_EQ(image.GetPixel(0, firstFileRow), 0x04030201u) << "top-first " << topFirst;
        EXPECT_EQ(image.GetPixel(1, firstFileRow), 0x08070605u);
        EXPECT_EQ(image.GetPixel(0, 1 - firstFileRow), 0x0C0B0A09u);
        EXPECT_EQ(image.GetPixel(1, 1 - firstFileRow), 0x100F0E0Du);
    }
}

// Every storage order the descriptor names, at both depths: the image always reads as seen, bottom
// row first and left column first. A 3 x 2 picture tells rows and columns apart.
TEST(TgaImageTest, EveryStorageOrderReadsAsTheImageIsSeen)
{
    const std::vector<uint32_t> seen = {0x11010203u, 0x22040506u, 0x33070809u,  // top row
                                        0x440A0B0Cu, 0x550D0E0Fu, 0x66101112u}; // bottom row
    for (const uint8_t depth : {uint8_t(24), uint8_t(32)})
        for (const bool topFirst : {false, true})
            for (const bool rightFirst : {false, true})
            {
                SCOPED_TRACE(testing::Message() << int(depth) << " bits, top first " << topFirst << ", right first "
                                                << rightFirst);
                TgaSpec spec;
                spec.width = 3;
                spec.height = 2;
                spec.pixels = seen;
                spec.depth = depth;
                spec.topFirst = topFirst;
                spec.rightFirst = rightFirst;
                TgaImage image;
                ASSERT_TRUE(Decode(image, TgaWriter::EncodeTga(spec)));
                for (uint32_t y = 0; y < 2; ++y)
                    for (uint32_t x = 0; x < 3; ++x)
                    {
                        const uint32_t expected = seen[(1 - y) * 3 + x];
                        EXPECT_EQ(image.GetPixel(x, y), depth == 32 ? expected : (expected | 0xFF000000u))
                            << x << "," << y;
                    }
            }
}

// Written by hand, not by the kit: a 2 x 1 file that stores its right pixel first.
TEST(TgaImageTest, ARightToLeftRowIsNotMirrored)
{
    std::vector<uint8_t> bytes = Header(2, 2, 1, 32, 0x18);
    Append(bytes, {0xB1, 0xB2, 0xB3, 0xB4, 0xA1, 0xA2, 0xA3, 0xA4});
    TgaImage image;
    ASSERT_TRUE(Decode(image, bytes));
    EXPECT_EQ(image.GetPixel(0, 0), 0xA4A3A2A1u);
    EXPECT_EQ(image.GetPixel(1, 0), 0xB4B3B2B1u);
}

TEST(TgaImageTest, TwentyFourBitPixelsGetFullAlpha)
{
    std::vector<uint8_t> bytes = Header(2, 3, 1, 24, 0);
    Append(bytes, {10, 20, 30, 40, 50, 60, 70, 80, 90});
    TgaImage image;
    ASSERT_TRUE(Decode(image, bytes));
    EXPECT_EQ(image.GetPixel(0, 0), 0xFF1E140Au);
    EXPECT_EQ(image.GetPixel(1, 0), 0xFF3C3228u);
    EXPECT_EQ(image.GetPixel(2, 0), 0xFF5A5046u);
    EXPECT_EQ(image.GetPixel(3, 0), 0u);
    EXPECT_EQ(image.GetPixel(0, 1), 0u);
}

// Each map entry takes whole bytes: eight 15-bit entries fill 16 bytes, not 15. A map of more
// than 255 entries needs the high byte of its length.
TEST(TgaImageTest, TheImageIdAndColourMapAreSkippedNotReadAsPixels)
{
    struct Map
    {
        uint16_t entries;
        uint8_t bits;
        size_t bytes;
    };
    for (const Map map : {Map{2, 24, 6}, Map{8, 15, 16}, Map{300, 8, 300}})
    {
        std::vector<uint8_t> bytes = Header(2, 1, 1, 32, 0, 3, 1, map.entries, map.bits);
        Append(bytes, {0xEE, 0xEE, 0xEE}); // image id
        bytes.insert(bytes.end(), map.bytes, 0xDD);
        Append(bytes, {0x11, 0x22, 0x33, 0x44});
        TgaImage image;
        ASSERT_TRUE(Decode(image, bytes)) << int(map.bits);
        EXPECT_EQ(image.GetPixel(0, 0), 0x44332211u) << int(map.bits);
    }
}

TEST(TgaImageTest, UnsupportedShortAndOversizedFilesAreRefusedAndLeaveNothing)
{
    ConsoleCapture log;
    std::vector<uint8_t> good = Header(2, 2, 1, 32, 0);
    Append(good, {1, 2, 3, 4, 5, 6, 7, 8});

    std::vector<std::vector<uint8_t>> bad;
    bad.push_back(Header(10, 2, 1, 32, 0)); // run-length encoded
    bad.push_back(Header(2, 2, 1, 16, 0));  // 16 bits a pixel
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 17));
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 1)); // last pixel cut short
    std::vector<uint8_t> idPastEnd = Header(2, 1, 1, 32, 0, 200);
    Append(idPastEnd, {1, 2, 3, 4});
    bad.push_back(idPastEnd);
    // 65535 x 65535 x 4 passes 32 bits; the file holds one pixel.
    std::vector<uint8_t> huge = Header(2, 0xFFFF, 0xFFFF, 32, 0);
    Append(huge, {1, 2, 3, 4});
    bad.push_back(huge);

    for (size_t i = 0; i < bad.size(); ++i)
    {
        TgaImage image;
        ASSERT_TRUE(Decode(image, good));
        log.Clear();
        EXPECT_FALSE(Decode(image, bad[i])) << "case " << i;
        EXPECT_EQ(image.GetPixels(), nullptr) << "case " << i;
        EXPECT_EQ(image.GetWidth(), 0u);
        EXPECT_EQ(image.GetSize(), 0u);
        EXPECT_EQ(image.GetFormat(), 0u) << "a refused image has no format for the cursor to trust";
        EXPECT_TRUE(log.Contains("Unsupported TGA format (cursor,Textures)", CONSOLE_ERROR)) << "case " << i;
    }
}

TEST(TgaImageTest, ReadsThroughTheFileSystemAndAMissingFileSaysNothing)
{
    TempFolder folder;
    std::vector<uint8_t> bytes = Header(2, 1, 1, 32, 0);
    Append(bytes, {9, 8, 7, 6});
    folder.WriteFile("arrow.tga", std::string(bytes.begin(), bytes.end()));
    gFileSystem.MountDirectory("Textures", folder.Path().c_str());
    ConsoleCapture log;
    TgaImage image;
    EXPECT_TRUE(image.Read("arrow", "tga", "Textures"));
    EXPECT_EQ(image.GetPixel(0, 0), 0x06070809u);
    EXPECT_FALSE(image.Read("absent", "tga", "Textures"));
    EXPECT_EQ(image.GetPixels(), nullptr) << "a new read frees the earlier pixels first";
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 0u);
    gFileSystem.UnmountAll();
}
