#include "renderer/resources/TextureFile.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "renderer/jobs/RendererJobs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr size_t kNameCapacity = 260;

uint32_t ReadTextureU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void WriteU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void WriteU16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The name cut to the characters a path may hold, and at its last '|'.
void CopyCut(char* out, const char* name)
{
    std::snprintf(out, kNameCapacity, "%s", name != nullptr ? name : "");
    if (char* pipe = std::strrchr(out, '|'))
        *pipe = 0;
}
} // namespace

uint64_t TextureFileHeader::GetDataBytes(uint32_t levelsUsed) const
{
    uint64_t total = 0;
    for (uint32_t k = 0; k < levelsUsed && k < kMaxLevels; ++k)
        total += uint64_t(levels[k].faceBytes) * GetFaceCount();
    return total;
}

uint64_t TextureFileHeader::GetFaceOffset(uint32_t level, uint32_t face) const
{
    return kSize + GetDataBytes(level) + uint64_t(face) * levels[level].faceBytes;
}

bool TextureFileHeader::Parse(const uint8_t* bytes, size_t size, TextureFileHeader* header)
{
    if (bytes == nullptr || size < kSize)
        return false;
    header->width = ReadTextureU32(bytes);
    header->height = ReadTextureU32(bytes + 4);
    header->format = ReadTextureU32(bytes + 8);
    header->levelCount = bytes[12];
    header->flags = bytes[13];
    for (uint32_t k = 0; k < kMaxLevels; ++k)
    {
        const uint8_t* entry = bytes + 16 + 8 * k;
        header->levels[k] = {ReadU16(entry), ReadU16(entry + 2), ReadTextureU32(entry + 4)};
    }
    return true;
}

void TextureFileHeader::Write(uint8_t* bytes) const
{
    std::memset(bytes, 0, kSize);
    WriteU32(bytes, width);
    WriteU32(bytes + 4, height);
    WriteU32(bytes + 8, format);
    bytes[12] = levelCount;
    bytes[13] = flags;
    for (uint32_t k = 0; k < kMaxLevels; ++k)
    {
        uint8_t* entry = bytes + 16 + 8 * k;
        WriteU16(entry, levels[k].width);
        WriteU16(entry + 2, levels[k].height);
        WriteU32(entry + 4, levels[k].faceBytes);
    }
}

bool TextureFileHeader::Validate(uint64_t imageBytes, const char* name) const
{
    if (levelCount == 0 || levelCount > kMaxLevels)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: %u mip levels (1 to %u allowed)", name, levelCount, kMaxLevels);
        return false;
    }
    if (width == 0 || width > 65535 || GetEdgeHeight() == 0 || GetEdgeHeight() > 65535)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: size %ux%u out of range", name, width, GetEdgeHeight());
        return false;
    }
    // Entry levelCount-1 is the largest level; each smaller entry halves (never below 1).
    uint32_t w = width;
    uint32_t h = GetEdgeHeight();
    for (int32_t k = int32_t(levelCount) - 1; k >= 0; --k)
    {
        uint32_t pitch = 0;
        uint32_t bytes = 0;
        if (!ComputeSurfacePitch(w, h, gpu::Format(format), &pitch, &bytes))
        {
            gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: unsupported pixel format %u", name, format);
            return false;
        }
        const Level& level = levels[k];
        if (level.width != w || level.height != h || level.faceBytes != bytes)
        {
            gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: level %d is %ux%u with %u bytes, expected %ux%u with %u",
                           name, k, level.width, level.height, level.faceBytes, w, h, bytes);
            return false;
        }
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    const uint64_t data = GetDataBytes(levelCount);
    if (kSize + data != imageBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: levels need %llu bytes but the file holds %llu", name,
                       static_cast<unsigned long long>(kSize + data), static_cast<unsigned long long>(imageBytes));
        return false;
    }
    return true;
}

void BuildTextureFilePath(char* out, size_t outSize, const char* resourceName)
{
    char name[kNameCapacity];
    CopyCut(name, resourceName);
    if (char* dot = std::strrchr(name, '.'))
        std::snprintf(dot, kNameCapacity - size_t(dot - name), ".texture");
    std::snprintf(out, outSize, "%s", name);
}

bool BuildTexturePatchPath(char* out, size_t outSize, const char* resourceName)
{
    if (outSize != 0)
        out[0] = 0;
    const char* pipe = resourceName != nullptr ? std::strrchr(resourceName, '|') : nullptr;
    if (pipe == nullptr)
        return false;
    int number = 0;
    char rest[16] = {};
    // Two digits, then exactly ".patch".
    if (std::strlen(pipe + 1) != 8 || std::sscanf(pipe + 1, "%2d%15s", &number, rest) != 2 ||
        !(pipe[1] >= '0' && pipe[1] <= '9' && pipe[2] >= '0' && pipe[2] <= '9') || std::strcmp(rest, ".patch") != 0)
        return false;
    std::snprintf(out, outSize, "%.*s.%s", int(pipe - resourceName), resourceName, pipe + 1);
    return true;
}

void TexturePatchApply(FileReader& patch, uint8_t* image, uint32_t imageBytes)
{
    uint32_t unused = 0;
    if (!patch.ReadU32(unused))
        return;
    uint32_t position = 0;
    uint16_t skip = 0;
    uint16_t length = 0;
    while (position < imageBytes && patch.GetRemaining() >= 4 && patch.ReadU16(skip) && patch.ReadU16(length))
    {
        position += std::min<uint32_t>(skip, imageBytes - position);
        const uint32_t count = std::min<uint32_t>(length, imageBytes - position);
        if (!patch.Read(image + position, count))
            return;
        position += count;
    }
}
