// Writes texture files and their "%02d.patch" overlays for tests and the demo data: a texture of a
// given size, format, level count and (for cube maps) six faces whose texels come from a function,
// laid out smallest level first as the engine reads them. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What a texture file holds; texels are packed ARGB, encoded into the format.
struct TextureFileSpec
{
    uint32_t width = 1;
    uint32_t height = 1;
    bool cube = false;
    // A8R8G8B8 (21), X8R8G8B8 (22), A8 (28) or L8 (50).
    uint32_t format = 21;
    // At most 16; level 0 is the largest.
    uint32_t levels = 1;
    uint8_t flags = 0;
    // (face, level, x, y) -> ARGB.
    std::function<uint32_t(uint32_t, uint32_t, uint32_t, uint32_t)> texel;
};

// One run of a patch file: skip bytes, then overwrite with `bytes`.
struct TexturePatchRun
{
    uint16_t skip;
    std::string bytes;
};

// The file image; false (out empty) for a format it cannot encode or bad sizes.
bool BuildTextureFile(const TextureFileSpec& spec, std::string& out);
// The patch file: the unused leading u32, then the runs.
std::string BuildTexturePatch(const std::vector<TexturePatchRun>& runs);
