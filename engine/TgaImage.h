// TgaImage: an uncompressed true-colour TGA file read into 32-bit pixels (blue, green, red, alpha),
// bottom row first, left column first, whatever order the file stores them in. The Game builds the hardware cursor from one. Main thread (any one thread per
// image).
#pragma once

#include <cstdint>
#include <memory>

// A decoded TGA image.
class TgaImage
{
public:
    static constexpr uint32_t kFormatBGRA8 = 1;
    static constexpr uint32_t kHeaderBytes = 18;
    static constexpr uint8_t kTypeTrueColour = 2;
    // Descriptor bit: the file stores its top row first.
    static constexpr uint8_t kTopOrigin = 0x20;
    // Descriptor bit: each row stores its rightmost pixel first.
    static constexpr uint8_t kRightOrigin = 0x10;

    TgaImage() = default;
    TgaImage(const TgaImage&) = delete;
    TgaImage& operator=(const TgaImage&) = delete;

    // Reads "<path>.<extension>" below base. False without a message when the file does not open;
    // false with "Unsupported TGA format (%s,%s)" (image left empty) when it is not an
    // uncompressed 24- or 32-bit image or its pixels are cut short.
    bool Read(const char* path, const char* extension, const char* base);
    // Decodes a whole file held in memory; `path` and `base` only name it in the message.
    bool Decode(const uint8_t* data, size_t size, const char* path, const char* base);
    // Frees the pixels and zeroes the record.
    void Free();

    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    uint32_t GetFormat() const { return m_format; }
    uint32_t GetSize() const { return m_size; }
    const uint8_t* GetPixels() const { return m_pixels.get(); }
    // The pixel of image row y (0 = bottom) and column x, as 0xAARRGGBB.
    uint32_t GetPixel(uint32_t x, uint32_t y) const;

private:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint32_t m_format = 0;
    uint32_t m_size = 0;
    std::unique_ptr<uint8_t[]> m_pixels;
};
