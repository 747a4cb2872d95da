// The textures the shader manager loads at start, as a white 4 x 4 texture under both system names.
// Answers the texture file (empty when it could not be built) for tests that add it under more names.
#pragma once

#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TextureFileWriter.h"

#include <string>

inline std::string AddSystemTextures(DataRoot& data)
{
    TextureFileSpec spec;
    spec.width = 4;
    spec.height = 4;
    spec.texel = [](uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFFFFFFFFu; };
    std::string white;
    if (!BuildTextureFile(spec, white))
        return std::string();
    data.AddFile("textures", "System/White_4x4$cxy.texture", white);
    data.AddFile("textures", "System/RefractionNoise.texture", white);
    return white;
}
