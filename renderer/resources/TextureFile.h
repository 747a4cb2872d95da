// The texture file: a 144-byte header (size, format, level count, flags and a table of up to 16
// levels) followed by the level data, smallest level first, so that a loader can drop the largest
// levels by reading less. For a cube map each level holds its six faces one after another.
// Layout (little-endian): u32 width, u32 height (kCubeHeight for a cube map of width x width faces),
// u32 pixel format, u8 level count, u8 flags, 2 unused bytes, 16 x {u16 width, u16 height, u32 bytes
// of one face}. Also the name rules of texture files and "%02d.patch" overlays, and the patch runs.
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

class FileReader;

// The decoded header of a texture file.
struct TextureFileHeader
{
    static constexpr uint32_t kSize = 144;
    static constexpr uint32_t kMaxLevels = 16;
    static constexpr uint32_t kCubeHeight = 0xFFFFFFFFu;
    // Flag bit 2: the loader skips one more level.
    static constexpr uint8_t kFlagSkipExtraLevel = 4;

    struct Level
    {
        uint16_t width;
        uint16_t height;
        uint32_t faceBytes;
    };

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    uint8_t levelCount = 0;
    uint8_t flags = 0;
    Level levels[kMaxLevels] = {};

    bool IsCube() const { return height == kCubeHeight; }
    uint32_t GetFaceCount() const { return IsCube() ? 6 : 1; }
    // Height in texels (the width for a cube map).
    uint32_t GetEdgeHeight() const { return IsCube() ? width : height; }
    // Bytes of level data of the first `levels` table entries, all faces.
    uint64_t GetDataBytes(uint32_t levels) const;
    // Offset in the file image of a face of table entry `level`.
    uint64_t GetFaceOffset(uint32_t level, uint32_t face) const;

    // Reads the 144 header bytes; no checks beyond the byte count.
    static bool Parse(const uint8_t* bytes, size_t size, TextureFileHeader* header);
    void Write(uint8_t* bytes) const;
    // Checks the header against an image of imageBytes bytes: a level count of 1 to 16, a format
    // whose levels can be laid out, table entries that halve down from the header's size with the
    // byte size of their format, and level data that fills the image exactly. Logs the reason.
    bool Validate(uint64_t imageBytes, const char* name) const;
};

// "ui/button.tga" -> "ui/button.texture"; a '|' suffix is cut first, a name without '.' keeps no
// extension. outSize at least 260.
void BuildTextureFilePath(char* out, size_t outSize, const char* resourceName);
// The patch file of a name whose text after its last '|' is "%02d.patch": the name with that '|'
// turned into '.'. False (out empty) when the name names no patch.
bool BuildTexturePatchPath(char* out, size_t outSize, const char* resourceName);
// Applies a patch file's runs ({u16 skip, u16 length, length bytes} after a leading u32) to an image,
// from its first byte; a run that reaches past the image is cut at its end and ends the patch.
void TexturePatchApply(FileReader& patch, uint8_t* image, uint32_t imageBytes);
