// Texture file images as the loader and the creation job read them: a header that passes the checks
// must describe level data lying wholly inside the image. The same bytes also serve as a resource
// name for the path builders.
#include "renderer/resources/TextureFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    char path[260];
    BuildTextureFilePath(path, sizeof(path), name.c_str());
    BuildTexturePatchPath(path, sizeof(path), name.c_str());

    TextureFileHeader header;
    if (!TextureFileHeader::Parse(data, size, &header) || !header.Validate(size, "fuzz"))
        return 0;
    volatile uint8_t sum = 0;
    for (uint32_t level = 0; level < header.levelCount; ++level)
        for (uint32_t face = 0; face < header.GetFaceCount(); ++face)
        {
            const uint64_t offset = header.GetFaceOffset(level, face);
            const uint64_t end = offset + header.levels[level].faceBytes;
            if (offset < TextureFileHeader::kSize || end > size)
                __builtin_trap();
            if (end > offset)
                sum = sum + data[offset] + data[end - 1];
        }
    // The header writes back to the bytes it was read from, table and all.
    uint8_t written[TextureFileHeader::kSize];
    header.Write(written);
    for (size_t i = 0; i < TextureFileHeader::kSize; ++i)
        if (i != 14 && i != 15 && written[i] != data[i])
            __builtin_trap();
    return 0;
}
